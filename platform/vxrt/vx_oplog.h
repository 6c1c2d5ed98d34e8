// The operation-log record: what the main service writes into the device's log when a user changes
// something (request 3485, send only; 3509 adds a 64-bit channel mask after it). The log search,
// export and detail pages read the same layout back.
#pragma once

#include <cstddef>
#include <cstdint>

struct operation_log {
    int32_t main_type;         // 4 for almost every operation
    int32_t reserved0;
    int64_t sub_type;          // operation kind, 200 to 227
    int64_t reserved1;
    int64_t pts;               // seconds since 1970; 0 in records this program sends
    int32_t parameter_type;    // which setting, 900 to 925
    int32_t remote;            // 1: the change came through the web interface
    int32_t chan_no;           // channel, disk or port the change concerns
    char ip[46];               // client address
    char user[64];             // user name from the session cookie
    char reserved2[2];
    int32_t size;              // bytes of `detail` in use
    unsigned char detail[512]; // packed by vxfs_log_pack_detail
    char reserved3[8];
};
static_assert(sizeof(operation_log) == 680);
static_assert(offsetof(operation_log, main_type) == 0);
static_assert(offsetof(operation_log, sub_type) == 8);
static_assert(offsetof(operation_log, pts) == 24);
static_assert(offsetof(operation_log, parameter_type) == 32);
static_assert(offsetof(operation_log, remote) == 36);
static_assert(offsetof(operation_log, chan_no) == 40);
static_assert(offsetof(operation_log, ip) == 44);
static_assert(offsetof(operation_log, user) == 90);
static_assert(offsetof(operation_log, size) == 156);
static_assert(offsetof(operation_log, detail) == 160);
static_assert(offsetof(operation_log, reserved3) == 672);

// The record of request 3509: one change logged for every channel of the mask.
struct operation_log_mask {
    operation_log log;
    uint64_t channel_mask;
};
static_assert(sizeof(operation_log_mask) == 688);
static_assert(offsetof(operation_log_mask, channel_mask) == 680);

// Packs a detail block into the record. Encoding of `detail`:
//   bytes 0-3  detail kind (signed 32-bit, little-endian)
//   bytes 4-7  block length in bytes as stored (signed 32-bit)
//   bytes 8-   the block, cut to the 504 bytes that fit
// and `size` is set to 8 plus the stored block length. Returns 0, or -1 for a null record, a negative
// length or a null block with a non-zero length (the record is then unchanged).
int vxfs_log_pack_detail(operation_log *record, int kind, const void *block, int length);
