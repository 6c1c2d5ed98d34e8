// The device log as the main service exchanges it: the query of a search or an export, the page of
// entries a search returns, the export's answer, and the entries of the export's result file. An
// entry is the operation-log record (vxrt/vx_oplog.h).
#pragma once

#include "vxrt/vx_oplog.h"

#include <cstddef>
#include <cstdint>

constexpr int LOG_MAX_SUB_TYPES = 100;
constexpr int LOG_PAGE_ENTRIES = 100;
constexpr size_t LOG_DESCRIPTION_SIZE = 4096;
constexpr size_t LOG_RESULT_PATH_SIZE = 64;

// Requests 3495 (search) and 3494 (export); zero where not set. Times are local seconds in 32 bits.
struct log_query {
    int32_t start_time;
    int32_t end_time;
    int32_t main_type;  // 1, 2, 4, 8, 32, 64; 1 is every main type
    int32_t reserved0;
    int64_t sub_types[LOG_MAX_SUB_TYPES];  // a first value of 10 is every sub type
    int32_t sub_type_count;
    int32_t page;  // search: the page asked for, from 1; export: 1
    uint64_t channel_mask;  // bit i: channel i
    int32_t no_channel;  // search: "searchNoChn"; export: "na"
    int32_t reserved1;
};
static_assert(sizeof(log_query) == 840);
static_assert(offsetof(log_query, end_time) == 4 && offsetof(log_query, main_type) == 8);
static_assert(offsetof(log_query, reserved0) == 12 && offsetof(log_query, sub_types) == 16);
static_assert(offsetof(log_query, sub_type_count) == 816 && offsetof(log_query, page) == 820);
static_assert(offsetof(log_query, channel_mask) == 824 && offsetof(log_query, no_channel) == 832);
static_assert(offsetof(log_query, reserved1) == 836);

// Reply 8495: one page of a search, always the whole 100 slots.
struct log_search_reply {
    int32_t total;  // matches of the whole search
    int32_t count;  // entries in this page, from the first slot
    operation_log entries[LOG_PAGE_ENTRIES];
};
static_assert(sizeof(log_search_reply) == 68008);
static_assert(offsetof(log_search_reply, count) == 4 && offsetof(log_search_reply, entries) == 8);

// Reply 8494: where the main service wrote the export's result file.
struct log_export_reply {
    int32_t result;  // not read
    char path[LOG_RESULT_PATH_SIZE];  // a device path; may fill the field without a terminating zero
};
static_assert(sizeof(log_export_reply) == 68);
static_assert(offsetof(log_export_reply, path) == 4);

// The result file: an int32 entry count, then that many of these, back to back.
struct log_result_entry {
    operation_log entry;
    char description[LOG_DESCRIPTION_SIZE];  // may fill the field without a terminating zero
};
static_assert(sizeof(log_result_entry) == 680 + 4096);
static_assert(offsetof(log_result_entry, description) == 680);
