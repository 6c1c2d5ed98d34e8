// The reader of the log export's result file (log_csv_rows) on arbitrary file contents.
//
// Input: the result file as the main service would write it (an int32 entry count, then entries of
// 680 + 4096 bytes). Besides the sanitizers: the rows are as many as the count says and the file
// holds, none for a negative count; a plain CSV reading of the output finds in every row the ten
// columns (the last empty after the closing comma), the row's number, and the entry's user name,
// channel and description exactly as the file holds them (texts up to their first zero byte or their
// field's end; "N/A" for an empty description).
#include "system/log_csv.h"
#include "system/log_records.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_log_result: %s\n", what);
    abort();
}

// RFC 4180 records: fields split at commas, quoted fields with doubled quotes, records ending in CR LF.
std::vector<std::vector<std::string>> read_csv(const std::string &text)
{
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields;
    std::string field;
    size_t p = 0;
    while (p < text.size()) {
        if (text[p] == '"') {
            for (++p;; ++p) {
                if (p >= text.size())
                    fail("a quoted field does not end");
                if (text[p] == '"' && p + 1 < text.size() && text[p + 1] == '"') {
                    field += '"';
                    ++p;
                } else if (text[p] == '"') {
                    ++p;
                    break;
                } else {
                    field += text[p];
                }
            }
        }
        if (p >= text.size())
            fail("a record without its end");
        if (text[p] == ',') {
            fields.push_back(field);
            field.clear();
            ++p;
        } else if (text.compare(p, 2, "\r\n") == 0) {
            fields.push_back(field);
            field.clear();
            records.push_back(fields);
            fields.clear();
            p += 2;
        } else if (text[p] == '"' || text[p] == '\r' || text[p] == '\n') {
            fail("a quote or line break in an unquoted field");
        } else {
            field += text[p++];
        }
    }
    if (!fields.empty() || !field.empty())
        fail("text after the last record");
    return records;
}

std::string bounded(const char *field, size_t size)
{
    return std::string(field, strnlen(field, size));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    FILE *file = fmemopen(size > 0 ? bytes.data() : nullptr, size, "rb");
    std::string csv;
    const int rows = log_csv_rows(file, &csv);
    if (file != nullptr)
        fclose(file);

    int32_t count = 0;
    if (size >= sizeof count)
        memcpy(&count, data, sizeof count);
    const size_t whole = size >= sizeof count ? (size - sizeof count) / sizeof(log_result_entry) : 0;
    const long long expected = count < 0 ? 0 : static_cast<long long>(whole) < count ? static_cast<long long>(whole) : count;
    if (rows != expected)
        fail("row count");

    const auto records = read_csv(csv);
    if (records.size() != static_cast<size_t>(rows))
        fail("records in the text");
    log_result_entry item;
    for (size_t n = 0; n < records.size(); ++n) {
        memcpy(&item, data + sizeof count + n * sizeof item, sizeof item);
        const std::vector<std::string> &r = records[n];
        if (r.size() != 10 || !r[9].empty())
            fail("columns of a row");
        if (r[0] != std::to_string(n + 1))
            fail("row number");
        if (r[5] != bounded(item.entry.user, sizeof item.entry.user))
            fail("user column");
        if (r[7] != std::to_string(item.entry.chan_no))
            fail("channel column");
        const std::string description = bounded(item.description, sizeof item.description);
        if (r[8] != (description.empty() ? "N/A" : description))
            fail("description column");
    }
    return 0;
}
