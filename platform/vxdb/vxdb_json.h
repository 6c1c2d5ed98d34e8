// Records as JSON, for the vxdb tool: one object per record whose member names are the struct's
// field names (the kind's field table). Integers are JSON numbers, char[N] fields strings (up to the
// first NUL), unsigned char[N] fields strings of two hex digits per byte, arrays JSON arrays and
// nested structs objects.
//
// Reading JSON back is strict, so that a typing mistake in a hand-edited file never writes a record
// the user did not mean: an unknown member, a value of the wrong JSON type, a number out of the
// field's range or a text or array longer than its field is an error. Members left out (or null)
// stay zero.
#pragma once

#include "vxdb/vxdb_record.h"

#include <json-c/json.h>

#include <string>

// A new JSON object for the record (the caller releases it), or null when out of memory.
json_object *vxdb_record_to_json(const vxdb_kind &kind, const void *record);

// Zeroes `record` and fills it from the JSON object. 0, or -1 with the reason in `*error`.
int vxdb_record_from_json(const vxdb_kind &kind, json_object *object, void *record, std::string *error);

inline constexpr int VXDB_ALL = -1;

// The stored record of `index` as an object (null when missing), or with VXDB_ALL every stored
// record as an array: for a kind with an index field the stored rows in index order; for one without,
// element i is index first + i, null where no row is stored (up to the last stored one). Released by
// the caller.
json_object *vxdb_dump(const char *path, const vxdb_kind &kind, int index, const char *table = nullptr);

// Stores the records of `data`: one object, or an array as vxdb_dump writes it (nulls are skipped). A
// record is stored under its index field, or for a kind without one under first + its position.
// Every record is checked before anything is written, and all are written in one transaction: a
// refused record or a failed write leaves the database as it was. The number of records stored, or -1
// with the reason in `*error`.
int vxdb_load(const char *path, const vxdb_kind &kind, json_object *data, std::string *error,
              const char *table = nullptr);
