// The split of a service command into options (ui_decodeing) and the option lookup, on arbitrary text.
//
// Input: byte 0 is the record count asked for (taken as it is, so counts beyond the 64 records come
// up); the rest is the text, up to its first zero byte. Besides the sanitizers: a count outside 1..64
// is refused and nothing is written; no record is written past the count; every name and value is
// terminated within its 64 bytes; the result and the records equal a plain reading of the rule (each
// character of a name or value within the first 64 of the text, none longer than 63); the '=' count
// and the bare-name test equal plain readings; the hash lookup finds exactly the entry a scan of the
// table finds.
#include "system/vb_option.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_vb_option: %s\n", what);
    abort();
}

struct option_text {
    std::string name, value;
};

// One piece of the text from `at` up to `stop` or the end; false when it is longer than 63 or one of
// its characters lies at position 64 or beyond.
bool ref_piece(const std::string &text, size_t *at, char stop, std::string *piece)
{
    size_t end = text.find(stop, *at);
    if (end == std::string::npos)
        end = text.size();
    *piece = text.substr(*at, end - *at);
    if (piece->size() > 63 || (!piece->empty() && end - 1 >= 64))
        return false;
    *at = end < text.size() ? end + 1 : end;
    return true;
}

bool ref_split(const std::string &data, int count, std::vector<option_text> *out)
{
    if (count < 1 || count > 64)
        return false;
    const std::string text = data.substr(0, 255);
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        option_text option;
        if (!ref_piece(text, &at, '=', &option.name) || !ref_piece(text, &at, '&', &option.value))
            return false;
        out->push_back(option);
    }
    return true;
}

const http_option_entry *scan_table(const char *name)
{
    for (const http_option_entry &entry : HttpOptionTable)
        if (strcmp(entry.name, name) == 0)
            return &entry;
    return nullptr;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size < 1)
        return 0;
    const int count = bytes[0];
    const std::string data(reinterpret_cast<const char *>(bytes + 1), strnlen(reinterpret_cast<const char *>(bytes + 1), size - 1));

    int equals = 0;
    for (size_t i = 0; i < data.size() && i < 255; ++i)
        equals += data[i] == '=' ? 1 : 0;
    if (get_httpoption_argnum(data.c_str()) != equals)
        fail("'=' count differs");
    bool bare = false;
    for (const char *name : {"oemclean", "velto", "debug", "softversion", ""})
        bare = bare || data == name;
    if (is_httpoption_no_arg(data.c_str()) != (bare ? 1 : 0))
        fail("bare name test differs");

    static http_option records[256];
    memset(records, 0x5a, sizeof records);
    const int rc = ui_decodeing(data.c_str(), records, count);
    std::vector<option_text> expected;
    const bool ok = ref_split(data, count, &expected);
    if ((rc == 0) != ok)
        fail("result differs from the plain split");
    // A refused count writes nothing; an accepted one nothing past its records.
    const int first_untouched = count >= 1 && count <= HTTP_OPTION_MAX ? count : 0;
    const auto *raw = reinterpret_cast<const unsigned char *>(records);
    for (size_t b = first_untouched * sizeof(http_option); b < sizeof records; ++b)
        if (raw[b] != 0x5a)
            fail("written past the records asked for");
    if (rc != 0)
        return 0;

    if (hash_table_init() != 0)
        fail("no table");
    for (int i = 0; i < count; ++i) {
        if (strnlen(records[i].name, HTTP_OPTION_TEXT) == HTTP_OPTION_TEXT ||
            strnlen(records[i].value, HTTP_OPTION_TEXT) == HTTP_OPTION_TEXT)
            fail("text not terminated");
        if (expected[i].name != records[i].name || expected[i].value != records[i].value)
            fail("record differs from the plain split");
        if (http_option_search(&records[i]) != scan_table(records[i].name))
            fail("lookup differs from a scan of the table");
    }
    hash_table_destory();
    return 0;
}
