// Compiled by the tests, not built: a key table row must fit its member. With WRONG_MEMBER set, one row
// names a member of the wrong type and the file must not compile; without it, the same file compiles
// (so a failure can only come from that row).
#include "link/json_fields.h"

struct sample {
    int32_t port;
    char name[8];
    double ratio;
};

#if WRONG_MEMBER == 1
const json_field keys[] = {JSON_INT("name", sample, name, JF_OPTIONAL, JF_ANY)};  // a text as an integer
#elif WRONG_MEMBER == 2
const json_field keys[] = {JSON_TEXT("port", sample, port, JF_OPTIONAL)};  // an integer as a text
#elif WRONG_MEMBER == 3
const json_field keys[] = {JSON_INT("ratio", sample, ratio, JF_OPTIONAL, JF_ANY)};  // a fraction
#elif WRONG_MEMBER == 4
const json_field keys[] = {JSON_OUT_MIB("port", sample, port)};  // sizes are 64-bit byte counts
#else
const json_field keys[] = {
    JSON_INT("port", sample, port, JF_OPTIONAL, JF_ANY),
    JSON_TEXT("name", sample, name, JF_OPTIONAL),
};
#endif
