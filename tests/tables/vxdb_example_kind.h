// A worked example of a database record kind, for the tests of the database library and the vxdb
// tool: a per-channel record with one field of every kind of type the field descriptions know,
// including a nested struct in a two-level array.
#pragma once

#include "vxdb/vxdb_record.h"

#include <cstddef>
#include <cstdint>

struct example_slot {
    char start[6];
    char end[6];
    int32_t action;
};
static_assert(sizeof(example_slot) == 16);

struct example_rec {
    int32_t channel;  // the index: 0..63
    int32_t enable;
    char name[32];
    char labels[2][8];
    uint64_t mask;
    int64_t offset;
    int16_t level;
    uint8_t flag;
    unsigned char area[4];
    int32_t zones[3];
    double ratio;
    example_slot slots[2][2];
};
static_assert(sizeof(example_rec) == 168);
static_assert(offsetof(example_rec, mask) == 56 && offsetof(example_rec, area) == 75);

inline constexpr vxdb_field example_slot_fields[] = {
    VXDB_FIELD(example_slot, start),
    VXDB_FIELD(example_slot, end),
    VXDB_FIELD(example_slot, action),
};
VXDB_DESCRIBE_STRUCT(example_slot, example_slot_fields);

inline constexpr vxdb_field example_fields[] = {
    VXDB_FIELD(example_rec, channel), VXDB_FIELD(example_rec, enable), VXDB_FIELD(example_rec, name),
    VXDB_FIELD(example_rec, labels),  VXDB_FIELD(example_rec, mask),   VXDB_FIELD(example_rec, offset),
    VXDB_FIELD(example_rec, level),   VXDB_FIELD(example_rec, flag),   VXDB_FIELD(example_rec, area),
    VXDB_FIELD(example_rec, zones),   VXDB_FIELD(example_rec, ratio),  VXDB_FIELD(example_rec, slots),
};

inline constexpr vxdb_kind example_kind = {"example", sizeof(example_rec), 0, 63,
                                           VXDB_INDEX_AT(example_rec, channel), VXDB_FIELDS(example_fields)};

// A kind without an index field: the caller names the index, 1 to 3.
struct port_rec {
    int32_t ssh;
    char host[12];
};
inline constexpr vxdb_field port_fields[] = {VXDB_FIELD(port_rec, ssh), VXDB_FIELD(port_rec, host)};
inline constexpr vxdb_kind port_kind = {"port", sizeof(port_rec), 1, 3, VXDB_NO_INDEX, VXDB_FIELDS(port_fields)};
