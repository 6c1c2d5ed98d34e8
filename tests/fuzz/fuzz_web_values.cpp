// The readers of whole request values: web_parse_int, json_read_int_request and the on_cgi_get_*
// accessors, on arbitrary text.
//
// The first input byte chooses the range (min, max) the integer readers get; the rest is the text.
// web_parse_int must agree exactly with a digit-by-digit reading (sign, digits, nothing else, within
// the range and 32 bits); json_read_int_request must read a bare integer literal or a quoted one the
// same way, and whatever it accepts lies in the range. The accessors must agree with each other, and
// the text accessor must stay within its buffer, terminated, holding a prefix of the member's text.
#include "link/web_json.h"
#include "link/web_request.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
struct range {
    long long min, max;
};
const range ranges[] = {
    {LLONG_MIN, LLONG_MAX}, {0, 1}, {-5, 5}, {1, 65535}, {INT_MIN, INT_MAX}, {0, 0}, {-1, 100000}, {10, 3},
};

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_web_values: %s\n", what);
    abort();
}

// The plain reading: an optional sign, at least one digit and nothing else; the value accumulated
// with saturation, so that any overflow is out of every range.
bool ref_parse_int(const std::string &text, long long min, long long max, int *out)
{
    size_t p = 0;
    bool negative = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+'))
        negative = text[p++] == '-';
    if (p == text.size())
        return false;
    long long magnitude = 0;
    for (; p < text.size(); ++p) {
        if (text[p] < '0' || text[p] > '9')
            return false;
        if (magnitude < (1LL << 40))
            magnitude = magnitude * 10 + (text[p] - '0');
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value < min || value > max || value < INT32_MIN || value > INT32_MAX)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool json_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The text between surrounding white space.
std::string trimmed(const std::string &text)
{
    size_t start = 0, end = text.size();
    while (start < end && json_space(text[start]))
        ++start;
    while (end > start && json_space(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}

// A JSON integer literal as the grammar has it: -?(0|[1-9][0-9]*).
bool is_json_integer(const std::string &t)
{
    size_t p = t.size() > 0 && t[0] == '-' ? 1 : 0;
    if (p == t.size())
        return false;
    if (t[p] == '0')
        return p + 1 == t.size();
    for (; p < t.size(); ++p) {
        if (t[p] < '0' || t[p] > '9')
            return false;
    }
    return true;
}

void check_accessors(const char *text, const char *key)
{
    json_ptr object(get_request_tokener_json_object(text));
    int by_text = 0x5a5a, by_object = 0x5a5a;
    const int a = on_cgi_get_value_by_json(text, key, &by_text);
    const int b = on_cgi_get_int_from_json(object.get(), key, &by_object);
    if (a != b || by_text != by_object)
        fail("on_cgi_get_value_by_json and on_cgi_get_int_from_json disagree");
    if (b != 0 && by_object != 0x5a5a)
        fail("a missing member changed the output");

    for (int size : {1, 2, 7, 64}) {
        char buffer[80];
        memset(buffer, 0x7e, sizeof buffer);
        const int got = on_cgi_get_string_from_json(object.get(), key, buffer, size);
        for (size_t i = static_cast<size_t>(size); i < sizeof buffer; ++i) {
            if (buffer[i] != 0x7e)
                fail("the text accessor wrote beyond its size");
        }
        if (got != 0) {
            if (buffer[0] != 0x7e)
                fail("a missing member changed the buffer");
            if (got != b)
                fail("the text and integer accessors disagree on the member");
            continue;
        }
        if (memchr(buffer, '\0', static_cast<size_t>(size)) == nullptr)
            fail("the text accessor left its buffer unterminated");
        json_object *member = nullptr;
        json_object_object_get_ex(object.get(), key, &member);
        if (strncmp(buffer, json_object_get_string(member), strlen(buffer)) != 0)
            fail("the text accessor copied something else than the member's text");
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const range r = ranges[data[0] % (sizeof ranges / sizeof ranges[0])];
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const char *c_text = text.c_str();  // cut at its first zero byte, as a CGI body would be
    const std::string seen(c_text);

    int got = 0x5a5a, want = 0x5a5a;
    const bool parsed = web_parse_int(c_text, r.min, r.max, &got) == 0;
    if (parsed != ref_parse_int(seen, r.min, r.max, &want) || got != want)
        fail("web_parse_int disagrees with the digit-by-digit reading");

    got = 0x5a5a;
    const bool whole = json_read_int_request(c_text, r.min, r.max, &got) == 0;
    if (whole && (got < r.min || got > r.max))
        fail("json_read_int_request accepted a value outside the range");
    if (!whole && got != 0x5a5a)
        fail("a refused value changed the output");
    const std::string value = trimmed(seen);
    want = 0x5a5a;
    if (is_json_integer(value)) {
        if (whole != ref_parse_int(value, r.min, r.max, &want) || (whole && got != want))
            fail("json_read_int_request misread an integer literal");
    } else if (value.size() >= 2 && value.front() == '"' && value.back() == '"' &&
               value.find_first_of("\"\\", 1) == value.size() - 1) {
        const std::string inner = value.substr(1, value.size() - 2);
        bool plain = true;
        for (char c : inner)
            plain = plain && static_cast<unsigned char>(c) >= 0x20;
        if (plain && (whole != ref_parse_int(inner, r.min, r.max, &want) || (whole && got != want)))
            fail("json_read_int_request misread a quoted integer");
    }

    for (const char *key : {"a", "id", "name", ""})
        check_accessors(c_text, key);
    return 0;
}
