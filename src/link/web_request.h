// The steps every handler shares, so that a handler reads like its row of the resource table:
//
//     raid_request raid{};
//     if (json_read_request(data, raid_keys, &raid) != 0)
//         return;                                    // pages of this kind get no answer to bad input
//     cgi_exchange(on_storage_ipc_callback, RAID_REBUILD, sizeof raid, &raid, CGI_TEXT);
//
// and the other side of the exchange: a module's reply dispatcher is a table of routes (reply code,
// record size, routine), run by cgi_dispatch_reply. A routine gets the number of whole records and
// the payload, answers, and returns the completion flag's value; the dispatcher stores it, so no
// routine can forget the flag:
//
//     int on_rebuild_raid_cb(int count, const void *payload);   // returns CGI_REPLY_ANSWERED
//     const cgi_reply_route raid_replies[] = {
//         {reply_of(RAID_REBUILD), sizeof(int32_t), cgi_reply_ok_error},
//     };
#pragma once

#include "link/json_fields.h"
#include "link/web_ipc.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// What a reply routine returns: the value of the completion flag g_callback_done.
constexpr int CGI_REPLY_UNUSABLE = 0;  // nothing answered: the wait ends, the handler answers its error form
constexpr int CGI_REPLY_ANSWERED = 1;  // the routine has written the response
constexpr int CGI_REPLY_FAILED = 2;    // handled, failure reported: the handler answers
// A frame of a reply that comes in several frames was taken; the wait goes on for the next one.
constexpr int CGI_REPLY_MORE = INT32_MIN;
// Any other value: the routine has answered, and the value is a status of the reply for the handler
// (a module names its own, from 3 up).

using cgi_reply_routine = int (*)(int count, const void *payload);

// The record size of a reply that carries one signed 32-bit result.
constexpr size_t CGI_RESULT_SIZE = sizeof(int32_t);

enum cgi_reply_shape : unsigned char {
    CGI_RECORDS,  // a reply without one whole record is unusable: the routine is not run
    CGI_LIST,     // a list: a reply without records still goes to the routine (an empty list)
};

// One row of a module's reply dispatcher: the reply code, the size of the records its payload holds,
// and the routine that gets their count and the payload.
struct cgi_reply_route {
    int32_t code;
    size_t record_size;
    cgi_reply_routine routine;
    cgi_reply_shape shape = CGI_RECORDS;
};

// The route rows of one source file; a module's dispatcher joins those of its files (by address, so
// that the join needs no order of initialisation between files):
//
//     const cgi_reply_table *const storage_replies[] = {&storage_disk_replies, &storage_raid_replies};
struct cgi_reply_table {
    const cgi_reply_route *routes;
    int count;
};

// Runs the route of the reply code in `header` and stores what its routine returns in the flag. A
// reply of a code without a route, or with a null payload, is dropped and the wait goes on. A reply
// that is unusable (too short for one whole record, or a routine that returned CGI_REPLY_UNUSABLE)
// ends the wait with the flag 0, so the handler answers its error form at once.
void cgi_dispatch_reply(const cgi_reply_table *const *tables, size_t count, const void *header, const void *payload);

template <size_t N>
void cgi_dispatch_reply(const cgi_reply_table *const (&tables)[N], const void *header, const void *payload)
{
    cgi_dispatch_reply(tables, N, header, payload);
}

// One request that waits for its reply: sends it, waits until the reply routine has answered,
// answers the error form `error_form` (CGI_TEXT or CGI_JSON) when it has not, and closes. Returns
// the flag as the reply routine left it: 0 (the error form was written), CGI_REPLY_ANSWERED,
// CGI_REPLY_FAILED (the handler answers) or a status of the reply.
int cgi_exchange(cgi_ipc_callback dispatcher, int code, int length, const void *payload, int error_form);

// One send-only request, closed at once. The main service's reply, if any, is never read.
void cgi_send_request(cgi_ipc_callback dispatcher, int code, int length, const void *payload);

// The number of whole records of `record_size` bytes in a reply payload of `length` bytes; a part of a
// record at the end does not count.
int cgi_reply_records(int length, size_t record_size);

// The result of a reply that carries one signed 32-bit integer: 0 with it in *result when `count`
// says a whole result is there, else -1 (nothing read).
int cgi_reply_result(int count, const void *payload, int32_t *result);

// Record `index` of a reply payload, copied into `record` (a payload need not be aligned for it).
template <typename Record> Record cgi_reply_record(const void *payload, int index)
{
    Record record;
    memcpy(&record, static_cast<const unsigned char *>(payload) + static_cast<size_t>(index) * sizeof record,
           sizeof record);
    return record;
}

// Copies each record of a reply into slots[number - first], its number being its `key` member; a
// record whose number has no slot is left out, and a later record of a number replaces an earlier one.
template <typename Record, size_t N, typename Key>
void cgi_reply_place(const void *payload, int count, Record (&slots)[N], Key Record::*key, int first)
{
    for (int i = 0; i < count; ++i) {
        const Record record = cgi_reply_record<Record>(payload, i);
        const long long slot = static_cast<long long>(record.*key) - first;
        if (slot >= 0 && slot < static_cast<long long>(N))
            slots[slot] = record;
    }
}
