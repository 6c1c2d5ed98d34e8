// What every module's codes share: the rule that names a reply after its request, the requests of the
// operation log, and the triple that says what an operation-log record is about.
#pragma once

#include <cstdint>
#include <iterator>

// The reply code of a request that follows the rule (request + 5000); the exceptions are named in the
// codes header of their module.
constexpr int32_t reply_of(int32_t request) { return request + 5000; }

constexpr int32_t OPERATION_LOG = 3485;       // operation_log, send only
constexpr int32_t OPERATION_LOG_MASK = 3509;  // operation_log_mask, send only

// What an operation-log record says was changed: main type, sub type (the operation) and parameter
// type (which setting). The channel or object number is given when it is sent.
struct oplog_kind {
    int32_t main_type;
    int64_t sub_type;
    int32_t parameter_type;
};

// A long wait: the number of 40 ms polls a reply to `code` is waited for, where it is not the
// default 1000.
struct cgi_wait_rule {
    int32_t code;
    int polls;
};

// A reply code a request has besides its rule's: {RAID_REMOVE, RAID_REMOVED}. The exchange hands a
// reply routine only the replies its request can have; any other frame is dropped and logged.
struct cgi_reply_rule {
    int32_t request;
    int32_t reply;
};

// A module's long waits and its requests' other reply codes, registered with the exchange at start
// (front/module_tables.cpp): {CGI_ROWS(storage_wait_rules), CGI_ROWS(storage_reply_rules)}.
struct cgi_wait_table {
    const cgi_wait_rule *rules;
    int count;
    const cgi_reply_rule *replies = nullptr;
    int reply_count = 0;
};

// The pointer and the count of a static array, for the tables of rows the modules declare:
// {CGI_ROWS(storage_res), &storage_waits}.
#define CGI_ROWS(array) array, static_cast<int>(std::size(array))
