// Settings records of a configuration database: one generic store per record kind and index.
//
// A record kind is a plain struct of a module plus one row that describes it (name, size, index
// range, where the record keeps its own index, and its fields). The rows live next to the structs;
// each module registers its kinds so that the vxdb tool can list, dump and load them:
//
//     struct motion_rec { int32_t channel; int32_t enable; char name[32]; uint64_t mask; };
//     static const vxdb_field motion_fields[] = {
//         VXDB_FIELD(motion_rec, channel), VXDB_FIELD(motion_rec, enable),
//         VXDB_FIELD(motion_rec, name), VXDB_FIELD(motion_rec, mask),
//     };
//     const vxdb_kind motion_kind = {"motion", sizeof(motion_rec), 0, 63,
//                                    VXDB_INDEX_AT(motion_rec, channel), VXDB_FIELDS(motion_fields)};
//     VXDB_REGISTER_KIND(motion_kind);
//
//     int read_motion(const char *path, motion_rec *rec, int channel)
//     { return vxdb_read(path, motion_kind, channel, rec); }
//     int write_motion(const char *path, const motion_rec *rec) { return vxdb_write(path, motion_kind, rec); }
//     int copy_motions(const char *path, int channel, uint64_t mask)
//     { return vxdb_copy(path, motion_kind, channel, mask); }
//
// Storage: table `records` (vxdb.h), one row per (kind, index) with the record's bytes as the blob.
// A kind whose records live in several named tables (a schedule shared by several events) passes the
// table name as the last argument; it must be letters, digits and '_' (at most 63), and stands in
// the row instead of the kind's name. A stored blob shorter than the struct reads back zero-filled,
// a longer one is cut.
//
// Every record a read hands back carries its index in its index field, also when the row is
// missing (then the rest is zero): a read-modify-write of a free slot stores under the right index,
// and one of an index out of range is refused by the write instead of overwriting another row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

// ---- Field descriptions (used by the vxdb tool's dump and load) ----

enum vxdb_type : int {
    VXDB_INT8,
    VXDB_UINT8,
    VXDB_INT16,
    VXDB_UINT16,
    VXDB_INT32,
    VXDB_UINT32,
    VXDB_INT64,
    VXDB_UINT64,
    VXDB_FLOAT,
    VXDB_DOUBLE,
    VXDB_CHARS,   // char[N]: text, ended by the first NUL or the end of the field
    VXDB_BYTES,   // unsigned char[N]: raw bytes
    VXDB_ARRAY,   // E[N]: `count` elements, each described by members[0] (offset 0 of the element)
    VXDB_STRUCT,  // a nested struct: `count` member fields, offsets relative to the struct
};

struct vxdb_field {
    const char *name;            // the struct member's name ("" for an array element)
    vxdb_type type;
    size_t offset;               // within the enclosing record, struct or array element
    size_t size;                 // bytes of the whole field
    size_t count;                // VXDB_ARRAY: elements; VXDB_STRUCT: member fields; else 0
    const vxdb_field *members;   // VXDB_ARRAY: the element; VXDB_STRUCT: the member fields
};

// Nested structs are described once, by VXDB_DESCRIBE_STRUCT(type, fields) at global scope after
// their field table (which must be constexpr).
template <typename S>
struct vxdb_struct_fields;

#define VXDB_DESCRIBE_STRUCT(S, table)                                        \
    template <>                                                               \
    struct vxdb_struct_fields<S> {                                            \
        static constexpr const vxdb_field *fields = table;                    \
        static constexpr size_t count = std::size(table);                     \
    }

template <typename M>
constexpr vxdb_field vxdb_describe(const char *name, size_t offset);

template <typename E>
inline constexpr vxdb_field vxdb_element = vxdb_describe<E>("", 0);

// The description of one struct member of type M, deduced from the type: integers and floating
// point numbers, char[N] text, unsigned char[N] bytes, arrays of any of them (char[N][M] is an array
// of texts) and described structs.
template <typename M>
constexpr vxdb_field vxdb_describe(const char *name, size_t offset)
{
    if constexpr (std::is_array_v<M>) {
        using E = std::remove_extent_t<M>;
        if constexpr (std::is_same_v<E, char>)
            return {name, VXDB_CHARS, offset, sizeof(M), 0, nullptr};
        else if constexpr (std::is_same_v<E, unsigned char>)
            return {name, VXDB_BYTES, offset, sizeof(M), 0, nullptr};
        else
            return {name, VXDB_ARRAY, offset, sizeof(M), std::extent_v<M>, &vxdb_element<E>};
    } else if constexpr (std::is_floating_point_v<M>) {
        static_assert(sizeof(M) == 4 || sizeof(M) == 8);
        return {name, sizeof(M) == 4 ? VXDB_FLOAT : VXDB_DOUBLE, offset, sizeof(M), 0, nullptr};
    } else if constexpr (std::is_integral_v<M>) {
        static_assert(!std::is_same_v<M, bool>, "store a flag as an integer");
        constexpr bool s = std::is_signed_v<M>;
        constexpr vxdb_type type = sizeof(M) == 1   ? (s ? VXDB_INT8 : VXDB_UINT8)
                                   : sizeof(M) == 2 ? (s ? VXDB_INT16 : VXDB_UINT16)
                                   : sizeof(M) == 4 ? (s ? VXDB_INT32 : VXDB_UINT32)
                                                    : (s ? VXDB_INT64 : VXDB_UINT64);
        return {name, type, offset, sizeof(M), 0, nullptr};
    } else {
        static_assert(std::is_class_v<M>, "no database description for this member type");
        return {name, VXDB_STRUCT, offset, sizeof(M), vxdb_struct_fields<M>::count, vxdb_struct_fields<M>::fields};
    }
}

// One row of a field table: the member's name, type, offset and size, all taken from the struct.
#define VXDB_FIELD(T, member) vxdb_describe<decltype(T::member)>(#member, offsetof(T, member))
#define VXDB_FIELDS(table) table, std::size(table)

// ---- Record kinds ----

inline constexpr int VXDB_NO_INDEX = -1;
#define VXDB_INDEX_AT(T, member) static_cast<int>(offsetof(T, member))

struct vxdb_kind {
    const char *name;            // also the row key; letters, digits and '_'
    size_t size;                 // sizeof the record struct
    int first;                   // valid indexes: first..last
    int last;
    int index_offset;            // offset of the int32 field holding the record's index, or VXDB_NO_INDEX
    const vxdb_field *fields;    // what the tool shows and loads; undescribed bytes stay zero on load
    size_t field_count;
};

// The registry of kinds, for the tool. Registering a second kind under a name already taken, or a
// kind that fails vxdb_check_kind, is refused (-1) and counted.
inline constexpr size_t VXDB_MAX_KINDS = 512;
int vxdb_register_kind(const vxdb_kind *kind);
const vxdb_kind *vxdb_find_kind(const char *name);
size_t vxdb_kind_count();
const vxdb_kind *vxdb_kind_at(size_t i);  // in registration order; null past the end
size_t vxdb_kinds_refused();              // every module's kinds are sound when this is 0

// 0 when the kind is usable: a valid name, a size, first <= last, the index field inside the record
// and every field (recursively) inside its container. Otherwise -1.
int vxdb_check_kind(const vxdb_kind *kind);

struct vxdb_kind_registrar {
    explicit vxdb_kind_registrar(const vxdb_kind &kind) { vxdb_register_kind(&kind); }
};
#define VXDB_REGISTER_KIND(kind) static const vxdb_kind_registrar kind##_registrar(kind)

// ---- The generic store ----
// `table`: null for the kind's own rows, or the name of one of the kind's named tables.

// Fills `record` with the stored record of `index` (zero-filled past a short blob) and sets its index
// field. 0 when the row exists; -1 (record zeroed, index field set) when it does not, the index is
// out of range or the file cannot be read.
int vxdb_read(const char *path, const vxdb_kind &kind, int index, void *record, const char *table = nullptr);

// Fills `records` (room for `capacity`) with the stored rows of the kind's range in index order and
// sets `*count`. The number of records, or -1 (count 0) when the file cannot be read.
int vxdb_read_many(const char *path, const vxdb_kind &kind, void *records, int capacity, int *count,
                   const char *table = nullptr);

// Fills `records[i]` with the record of index first + i for every slot of the range that fits in
// `capacity`, stored or not (a missing one is zero with its index set). The number of slots filled.
int vxdb_read_slots(const char *path, const vxdb_kind &kind, void *records, int capacity,
                    const char *table = nullptr);

// Stores the record under the index held in its index field (a kind without one: refused). 0, or -1
// when the index is out of range or the write fails.
int vxdb_write(const char *path, const vxdb_kind &kind, const void *record, const char *table = nullptr);

// Stores the record under `index`, setting its index field to match. 0, or -1.
int vxdb_write_at(const char *path, const vxdb_kind &kind, int index, const void *record,
                  const char *table = nullptr);

// Stores `count` records in one transaction: each under its index field, or for a kind without one
// records[i] under first + i. Nothing is stored when any index is out of range. 0, or -1.
int vxdb_write_many(const char *path, const vxdb_kind &kind, const void *records, int count,
                    const char *table = nullptr);

// Copies the record of `source` to every index n (0..63) whose bit n is set in `mask` and that lies
// in the kind's range, setting each copy's index field to n; the source's own bit is left alone.
// 0, or -1 (nothing copied) when the source row is missing or the write fails.
int vxdb_copy(const char *path, const vxdb_kind &kind, int source, uint64_t mask, const char *table = nullptr);

// Writes the in-memory record `source` to every index base + n whose bit n (0..63) is set in `mask`
// and that lies in the kind's range, in one transaction: each copy gets its index field set to
// base + n and then `adjust(copy, n)` (when given) rewrites whatever else names the channel. 0 (also
// for an empty mask, without touching the file), or -1 with nothing written.
int vxdb_write_copies(const char *path, const vxdb_kind &kind, const void *source, uint64_t mask,
                      const char *table = nullptr, void (*adjust)(void *record, int channel) = nullptr, int base = 0);

// Removes the row of `index` / every row of the kind. 0 (also when there was none), or -1.
int vxdb_delete(const char *path, const vxdb_kind &kind, int index, const char *table = nullptr);
int vxdb_delete_all(const char *path, const vxdb_kind &kind, const char *table = nullptr);

// The number of stored rows in the kind's range (0 when the file cannot be read).
int vxdb_count(const char *path, const vxdb_kind &kind, const char *table = nullptr);

// Calls `visit` with the index and record of every stored row of the kind's range in index order
// (the record as vxdb_read would give it, valid during the call; `visit` must not call this library,
// whose lock is held). The number of rows, or -1 when the file cannot be read.
int vxdb_for_each(const char *path, const vxdb_kind &kind, void (*visit)(int index, const void *record, void *context),
                  void *context, const char *table = nullptr);
