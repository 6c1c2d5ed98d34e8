// What one module of the simulated main service declares: a table of the request codes it serves with
// state ({code, routine}), and a table of canned replies for codes whose page only needs fixed bytes
// back ({request, reply, bytes}). Each module lives in sim/sim_<module>.cpp; sim_dispatch.cpp lists
// the modules and looks a request up in their tables. The codes are the program's own, from the
// module's codes header, so the simulator cannot drift from what the pages send.
#pragma once

#include "sim_device.h"
#include "sim_log_store.h"

#include "link/link_codes.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

struct sim_context {
    sim_device *device = nullptr;
    std::string mail_token;  // what a valid e-mail link carries as "token=" (MAIL_LINK_CHECK)
    sim_log_store *log = nullptr;  // the device log (sim_log_store.h); none: records are only logged
};

struct sim_answer {
    bool known = false;      // a code this service serves
    bool reply = false;      // a reply frame goes back (never for a send-only request)
    int32_t code = 0;
    std::string payload;
    int delay_ms = 0;        // the request's own duration (a format), before any configured delay
    std::string note;        // the decoding of the request and the outcome, for the log
};

using sim_payload = std::vector<unsigned char>;

// Carries out one request: changes the device state, describes the request in answer.note, and sets
// the reply (sim_reply_int, sim_reply_bytes) when one goes back. The dispatcher withholds the reply of
// a send-only request, so a routine never looks at the flag. `code` tells apart the codes that share
// a routine.
using sim_routine = void (*)(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer);

struct sim_request {
    int32_t code;
    sim_routine routine;
};

// Payload bytes of a canned reply: a static record (sim_bytes_of) or a text with its length.
struct sim_bytes {
    const void *data;
    size_t size;
};

template <typename T>
constexpr sim_bytes sim_bytes_of(const T &record)
{
    return {&record, sizeof record};
}

struct sim_canned {
    int32_t request;
    int32_t reply;
    sim_bytes payload;
};

struct sim_module {
    const char *name;
    std::span<const sim_request> requests;
    std::span<const sim_canned> canned;
};

// The modules served, one per sim_<module>.cpp.
extern const sim_module sim_storage_module;
extern const sim_module sim_system_module;
extern const sim_module sim_video_module;
extern const sim_module sim_link_module;  // what every module sends: the operation log

// Helpers of the routines.

std::string sim_format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

// Copies the request's record into `record`; false (record zero) when the payload is too short to
// hold it. A longer payload is read for its first bytes, as the device would.
template <typename T>
bool sim_read_record(const sim_payload &payload, T *record)
{
    *record = T{};
    if (payload.size() < sizeof(T))
        return false;
    memcpy(record, payload.data(), sizeof(T));
    return true;
}

// "payload of N bytes, M needed", for the log.
std::string sim_short_payload(const sim_payload &payload, size_t needed);

// The reply to `request` under reply_of(request): one integer.
void sim_reply_int(sim_answer &answer, int32_t request, int32_t value);
void sim_reply_bytes(sim_answer &answer, int32_t reply_code, const void *data, size_t size);

// The rule of MAIL_LINK_CHECK (sim_system.cpp): the text holds "token=" followed by `token` and then
// its end or '&'.
bool sim_mail_link_valid(const char *text, size_t size, const std::string &token);
