// Key tables on arbitrary request bodies.
//
// The body is read against a table with a field of every integer size and sign and a text field.
// Besides the sanitizers: a read either fails and leaves the record untouched, or every integer it
// stored lies within its field and the table's range, and the text field stays terminated; and a body
// holding an integer literal beyond 64 bits never parses (json-c would store the nearest value).
#include "link/json_fields.h"
#include "link/web_json.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
struct record {
    int8_t tiny;
    uint8_t byte;
    int16_t small;
    uint16_t port;
    int32_t number;
    uint32_t flags;
    int64_t wide;
    uint64_t mask;
    char name[9];
};

const json_field keys[] = {
    JSON_INT("a", record, tiny, JF_OPTIONAL, JF_ANY),    JSON_INT("b", record, byte, JF_OPTIONAL, JF_ANY),
    JSON_INT("c", record, small, JF_OPTIONAL, -5, 5),     JSON_INT("d", record, port, JF_OPTIONAL, 1, 65535),
    JSON_INT("e", record, number, JF_REQUIRED, JF_ANY),   JSON_INT("f", record, flags, JF_OPTIONAL, JF_ANY),
    JSON_INT("g", record, wide, JF_OPTIONAL, JF_ANY),     JSON_INT("h", record, mask, JF_OPTIONAL, 0, 1000),
    JSON_TEXT("i", record, name, JF_OPTIONAL),
};

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_json_fields: %s\n", what);
    abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    json_ptr request(get_request_tokener_json_object(body.c_str()));

    record r;
    memset(&r, 0x5a, sizeof r);
    record before = r;
    if (json_read_fields(request.get(), keys, &r) != 0) {
        if (memcmp(&r, &before, sizeof r) != 0)
            fail("a refused read changed the record");
        return 0;
    }
    if ((r.small != before.small && (r.small < -5 || r.small > 5)) ||
        (r.port != before.port && r.port < 1) || (r.mask != before.mask && r.mask > 1000))
        fail("a value outside the table's range was stored");
    if (memchr(r.name, '\0', sizeof r.name) == nullptr && memcmp(r.name, before.name, sizeof r.name) != 0)
        fail("the text field lost its terminating zero");
    json_ptr answer(json_object_new_object());
    json_add_fields(answer.get(), keys, &r);
    return 0;
}
