// The steps every handler shares, so that a handler reads like its row of the resource table:
//
//     raid_request raid{};
//     if (json_read_request(data, raid_keys, &raid) != 0)
//         return;                                    // pages of this kind get no answer to bad input
//     cgi_exchange(on_storage_ipc_callback, 3420, sizeof raid, &raid, CGI_TEXT);
//
// and the reading of a reply routine's payload.
#pragma once

#include "link/json_fields.h"
#include "link/web_ipc.h"

#include <cstddef>
#include <cstdint>

// Forms of an answer: the `type` of cgi_writeback_webserver and cgi_error_to_webserver.
constexpr int CGI_TEXT = 0;
constexpr int CGI_JSON = 1;

// Parses a JSON request body and reads it into `record` by its key table (json_read_fields). 0, or
// -1 when the body is missing, does not parse or fails the table (the record is then untouched).
int json_read_request(const char *data, const json_field *fields, size_t count, void *record);

template <size_t N> int json_read_request(const char *data, const json_field (&fields)[N], void *record)
{
    return json_read_request(data, fields, N, record);
}

// A request body that is one integer: a JSON integer, or a JSON string holding nothing but a decimal
// integer, in min..max. 0 with the value in *out, or -1 (out untouched).
int json_read_int_request(const char *data, long long min, long long max, int *out);

// A whole decimal integer in min..max: an optional sign and digits, nothing before or after them.
// 0 with the value in *out, or -1 (out untouched) for anything else, such as "", "abc", "5x", " 5".
int web_parse_int(const char *text, long long min, long long max, int *out);

// One request that waits for its reply: sends it, waits until the reply routine has answered,
// answers the error form `error_form` (CGI_TEXT or CGI_JSON) when no reply was handled, and closes.
// Returns g_callback_done as the wait left it (0: no reply, the error form was written).
int cgi_exchange(cgi_ipc_callback dispatcher, int code, int length, const void *payload, int error_form);

// One send-only request, closed at once. The main service's reply, if any, is never read.
void cgi_send_request(cgi_ipc_callback dispatcher, int code, int length, const void *payload);

// A module dispatcher's table: for each reply code, the size of the records its payload holds and the
// reply routine that gets their count and the payload.
using cgi_reply_routine = void (*)(int count, const void *payload);
struct cgi_reply_route {
    int code;
    size_t record_size;
    cgi_reply_routine routine;
};

// Runs the routine of the reply code in `header` with the number of whole records in the payload.
// A reply code without a route, or a null payload, runs nothing: the flag stays 0 and the handler
// answers its error form.
void cgi_dispatch_reply(const cgi_reply_route *routes, size_t count, const void *header, const void *payload);

template <size_t N>
void cgi_dispatch_reply(const cgi_reply_route (&routes)[N], const void *header, const void *payload)
{
    cgi_dispatch_reply(routes, N, header, payload);
}

// The number of whole records of `record_size` bytes in a reply payload of `length` bytes; a part of a
// record at the end does not count.
int cgi_reply_records(int length, size_t record_size);

// The result of a reply that carries one signed 32-bit integer: 0 with it in *result when `count`
// says a whole result is there, else -1 (nothing read).
int cgi_reply_result(int count, const void *payload, int32_t *result);
