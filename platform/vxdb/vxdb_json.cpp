#include "vxdb/vxdb_json.h"

#include "vxdb/vxdb_conn.h"
#include "vxdb/vxdb_txn.h"

#include <cstring>
#include <limits>
#include <vector>

namespace {
template <typename T>
T load_value(const unsigned char *at)
{
    T value;
    memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void store_value(unsigned char *at, T value)
{
    memcpy(at, &value, sizeof value);
}

json_object *field_to_json(const vxdb_field &field, const unsigned char *at)
{
    switch (field.type) {
    case VXDB_INT8:
        return json_object_new_int64(load_value<int8_t>(at));
    case VXDB_UINT8:
        return json_object_new_int64(load_value<uint8_t>(at));
    case VXDB_INT16:
        return json_object_new_int64(load_value<int16_t>(at));
    case VXDB_UINT16:
        return json_object_new_int64(load_value<uint16_t>(at));
    case VXDB_INT32:
        return json_object_new_int64(load_value<int32_t>(at));
    case VXDB_UINT32:
        return json_object_new_int64(load_value<uint32_t>(at));
    case VXDB_INT64:
        return json_object_new_int64(load_value<int64_t>(at));
    case VXDB_UINT64:
        return json_object_new_uint64(load_value<uint64_t>(at));
    case VXDB_FLOAT:
        return json_object_new_double(load_value<float>(at));
    case VXDB_DOUBLE:
        return json_object_new_double(load_value<double>(at));
    case VXDB_CHARS:
        return json_object_new_string_len(reinterpret_cast<const char *>(at),
                                          static_cast<int>(strnlen(reinterpret_cast<const char *>(at), field.size)));
    case VXDB_BYTES: {
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (size_t i = 0; i < field.size; ++i) {
            hex += digits[at[i] >> 4];
            hex += digits[at[i] & 15];
        }
        return json_object_new_string(hex.c_str());
    }
    case VXDB_ARRAY: {
        json_object *array = json_object_new_array();
        size_t step = field.size / field.count;
        for (size_t i = 0; array != nullptr && i < field.count; ++i)
            json_object_array_add(array, field_to_json(field.members[0], at + i * step));
        return array;
    }
    case VXDB_STRUCT: {
        json_object *object = json_object_new_object();
        for (size_t i = 0; object != nullptr && i < field.count; ++i) {
            const vxdb_field &member = field.members[i];
            json_object_object_add(object, member.name, field_to_json(member, at + member.offset));
        }
        return object;
    }
    }
    return nullptr;
}

// The kind as a struct field, so that a record and a nested struct are read and written alike.
vxdb_field record_field(const vxdb_kind &kind)
{
    return {kind.name, VXDB_STRUCT, 0, kind.size, kind.field_count, kind.fields};
}

bool fail(std::string *error, const std::string &where, const char *what)
{
    if (error != nullptr)
        *error = (where.empty() ? std::string("record") : where) + ": " + what;
    return false;
}

template <typename T>
bool integer_from_json(json_object *value, unsigned char *at, const std::string &where, std::string *error)
{
    if (!json_object_is_type(value, json_type_int))
        return fail(error, where, "not an integer");
    bool negative = json_object_get_int64(value) < 0;
    if constexpr (std::is_signed_v<T>) {
        int64_t v = json_object_get_int64(value);
        if ((!negative && json_object_get_uint64(value) > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) ||
            v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
            return fail(error, where, "out of range");
        store_value<T>(at, static_cast<T>(v));
    } else {
        uint64_t v = json_object_get_uint64(value);
        if (negative || v > std::numeric_limits<T>::max())
            return fail(error, where, "out of range");
        store_value<T>(at, static_cast<T>(v));
    }
    return true;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool field_from_json(const vxdb_field &field, json_object *value, unsigned char *at, const std::string &where,
                     std::string *error)
{
    if (value == nullptr)
        return true;  // null: stays zero
    switch (field.type) {
    case VXDB_INT8:
        return integer_from_json<int8_t>(value, at, where, error);
    case VXDB_UINT8:
        return integer_from_json<uint8_t>(value, at, where, error);
    case VXDB_INT16:
        return integer_from_json<int16_t>(value, at, where, error);
    case VXDB_UINT16:
        return integer_from_json<uint16_t>(value, at, where, error);
    case VXDB_INT32:
        return integer_from_json<int32_t>(value, at, where, error);
    case VXDB_UINT32:
        return integer_from_json<uint32_t>(value, at, where, error);
    case VXDB_INT64:
        return integer_from_json<int64_t>(value, at, where, error);
    case VXDB_UINT64:
        return integer_from_json<uint64_t>(value, at, where, error);
    case VXDB_FLOAT:
    case VXDB_DOUBLE:
        if (!json_object_is_type(value, json_type_double) && !json_object_is_type(value, json_type_int))
            return fail(error, where, "not a number");
        if (field.type == VXDB_FLOAT)
            store_value<float>(at, static_cast<float>(json_object_get_double(value)));
        else
            store_value<double>(at, json_object_get_double(value));
        return true;
    case VXDB_CHARS: {
        if (!json_object_is_type(value, json_type_string))
            return fail(error, where, "not a string");
        size_t length = static_cast<size_t>(json_object_get_string_len(value));
        if (length > field.size)  // a full field needs no terminator
            return fail(error, where, "text longer than the field");
        memcpy(at, json_object_get_string(value), length);
        return true;
    }
    case VXDB_BYTES: {
        if (!json_object_is_type(value, json_type_string))
            return fail(error, where, "not a hex string");
        const char *hex = json_object_get_string(value);
        size_t length = static_cast<size_t>(json_object_get_string_len(value));
        if (length % 2 != 0 || length / 2 > field.size)
            return fail(error, where, "hex string of the wrong length");
        for (size_t i = 0; i < length / 2; ++i) {
            int high = hex_digit(hex[2 * i]), low = hex_digit(hex[2 * i + 1]);
            if (high < 0 || low < 0)
                return fail(error, where, "not a hex string");
            at[i] = static_cast<unsigned char>(high * 16 + low);
        }
        return true;
    }
    case VXDB_ARRAY: {
        if (!json_object_is_type(value, json_type_array))
            return fail(error, where, "not an array");
        size_t length = json_object_array_length(value);
        if (length > field.count)
            return fail(error, where, "more elements than the field holds");
        size_t step = field.size / field.count;
        for (size_t i = 0; i < length; ++i) {
            std::string inner = where + "[" + std::to_string(i) + "]";
            if (!field_from_json(field.members[0], json_object_array_get_idx(value, i), at + i * step, inner, error))
                return false;
        }
        return true;
    }
    case VXDB_STRUCT: {
        if (!json_object_is_type(value, json_type_object))
            return fail(error, where, "not an object");
        json_object_object_foreach(value, name, member_value) {
            const vxdb_field *member = nullptr;
            for (size_t i = 0; i < field.count && member == nullptr; ++i) {
                if (strcmp(field.members[i].name, name) == 0)
                    member = &field.members[i];
            }
            std::string inner = where.empty() ? std::string(name) : where + "." + name;
            if (member == nullptr)
                return fail(error, inner, "no such field");
            if (!field_from_json(*member, member_value, at + member->offset, inner, error))
                return false;
        }
        return true;
    }
    }
    return fail(error, where, "field of unknown type");
}

struct dump_state {
    const vxdb_kind *kind;
    json_object *array;
};

void dump_row(int index, const void *record, void *context)
{
    auto *state = static_cast<dump_state *>(context);
    json_object *object = vxdb_record_to_json(*state->kind, record);
    if (state->kind->index_offset != VXDB_NO_INDEX) {
        json_object_array_add(state->array, object);
        return;
    }
    // Kinds without an index field show their index by the position.
    size_t position = static_cast<size_t>(static_cast<int64_t>(index) - state->kind->first);
    json_object_array_put_idx(state->array, position, object);
}
}  // namespace

json_object *vxdb_record_to_json(const vxdb_kind &kind, const void *record)
{
    return field_to_json(record_field(kind), static_cast<const unsigned char *>(record));
}

int vxdb_record_from_json(const vxdb_kind &kind, json_object *object, void *record, std::string *error)
{
    memset(record, 0, kind.size);
    if (!json_object_is_type(object, json_type_object)) {
        fail(error, "", "not an object");
        return -1;
    }
    return field_from_json(record_field(kind), object, static_cast<unsigned char *>(record), "", error) ? 0 : -1;
}

json_object *vxdb_dump(const char *path, const vxdb_kind &kind, int index, const char *table)
{
    if (index != VXDB_ALL) {
        std::vector<unsigned char> record(kind.size);
        if (vxdb_read(path, kind, index, record.data(), table) != 0)
            return nullptr;
        return vxdb_record_to_json(kind, record.data());
    }
    dump_state state{&kind, json_object_new_array()};
    if (state.array != nullptr)
        vxdb_for_each(path, kind, dump_row, &state, table);
    return state.array;
}

int vxdb_load(const char *path, const vxdb_kind &kind, json_object *data, std::string *error, const char *table)
{
    if (!vxdb_valid_table_name(table ? table : kind.name)) {
        if (error != nullptr)
            *error = "not a table name";
        return -1;
    }
    std::vector<json_object *> items;
    bool many = json_object_is_type(data, json_type_array);
    if (many) {
        for (size_t i = 0; i < json_object_array_length(data); ++i)
            items.push_back(json_object_array_get_idx(data, i));
    } else {
        items.push_back(data);
    }
    std::vector<unsigned char> records(items.size() * kind.size);
    std::vector<int> indexes;
    std::vector<size_t> filled;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == nullptr && many)
            continue;
        unsigned char *record = records.data() + i * kind.size;
        std::string reason;
        if (vxdb_record_from_json(kind, items[i], record, &reason) != 0) {
            if (error != nullptr)
                *error = "record " + std::to_string(i) + ": " + reason;
            return -1;
        }
        int64_t index = static_cast<int64_t>(kind.first) + static_cast<int64_t>(i);
        if (kind.index_offset != VXDB_NO_INDEX)
            index = load_value<int32_t>(record + kind.index_offset);
        if (index < kind.first || index > kind.last) {
            if (error != nullptr)
                *error = "record " + std::to_string(i) + ": index " + std::to_string(index) + " out of range " +
                         std::to_string(kind.first) + ".." + std::to_string(kind.last);
            return -1;
        }
        indexes.push_back(static_cast<int>(index));
        filled.push_back(i);
    }
    if (filled.empty())
        return 0;
    // One transaction: a write that fails half-way must not leave a mix of old and loaded records.
    const int stored = vxdb_update(
        path, kind,
        [&](vxdb_txn &txn) {
            for (size_t n = 0; n < filled.size(); ++n) {
                if (txn.write_at(indexes[n], records.data() + filled[n] * kind.size) != 0)
                    return -1;
            }
            return 0;
        },
        table);
    if (stored != 0) {
        if (error != nullptr)
            *error = "cannot write the database";
        return -1;
    }
    return static_cast<int>(filled.size());
}
