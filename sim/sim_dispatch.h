// What the simulated main service does with one request: a switch from request code to one small
// routine per code, as the device's own dispatcher would have it. A routine changes the device state,
// describes the request for the log, and says which reply (if any) goes back and after how long.
#pragma once

#include "sim_device.h"

#include <cstdint>
#include <string>
#include <vector>

struct sim_context {
    sim_device *device = nullptr;
    std::string mail_token;  // what a valid e-mail link carries as "token=" (request 3504)
};

struct sim_answer {
    bool known = false;      // a code this service serves
    bool reply = false;      // a reply frame goes back (never for a send-only request)
    int32_t code = 0;
    std::string payload;
    int delay_ms = 0;        // the request's own duration (a format), before any configured delay
    std::string note;        // the decoding of the request and the outcome, for the log
};

// Codes served.
constexpr int32_t SIM_USER_LOGIN_FROM_MAIL = 3504;
constexpr int32_t SIM_USERS_CHANGED = 3505;
constexpr int32_t SIM_OPERATION_LOG = 3485;
constexpr int32_t SIM_OPERATION_LOG_MASK = 3509;
constexpr int32_t SIM_DISK_LIST = 3433;
constexpr int32_t SIM_DISK_FORMAT = 3434;
constexpr int32_t SIM_DISK_SETTINGS = 3435;
constexpr int32_t SIM_RAID_CREATE = 3420;
constexpr int32_t SIM_RAID_REMOVE = 3421;
constexpr int32_t SIM_HOT_SPARE_ON = 3423;
constexpr int32_t SIM_HOT_SPARE_OFF = 3424;
constexpr int32_t SIM_RAID_REBUILD = 3425;
constexpr int32_t SIM_REPLY_OFFSET = 5000;  // every reply here is the request code + 5000

// Handles one request. `send_only` requests are carried out but get no reply.
sim_answer sim_dispatch(sim_context &context, int32_t code, bool send_only, const std::vector<unsigned char> &payload);

// The rule for request 3504: the text holds "token=" followed by `token` and then its end or '&'.
bool sim_mail_link_valid(const char *text, size_t size, const std::string &token);
