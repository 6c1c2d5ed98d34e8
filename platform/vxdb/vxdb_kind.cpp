#include "vxdb/vxdb_record.h"

#include "vxdb/vxdb_conn.h"

#include <cstring>

namespace {
// Filled by static constructors of the modules, so plain zero-initialised storage: it is ready
// before any constructor runs, whatever the order of the units.
const vxdb_kind *g_kinds[VXDB_MAX_KINDS];
size_t g_kind_count;
size_t g_refused;

bool field_fits(const vxdb_field &field, size_t container)
{
    if (field.name == nullptr || field.offset > container || field.size > container - field.offset)
        return false;
    switch (field.type) {
    case VXDB_INT8:
    case VXDB_UINT8:
        return field.size == 1;
    case VXDB_INT16:
    case VXDB_UINT16:
        return field.size == 2;
    case VXDB_INT32:
    case VXDB_UINT32:
    case VXDB_FLOAT:
        return field.size == 4;
    case VXDB_INT64:
    case VXDB_UINT64:
    case VXDB_DOUBLE:
        return field.size == 8;
    case VXDB_CHARS:
    case VXDB_BYTES:
        return field.size > 0;
    case VXDB_ARRAY:
        return field.count > 0 && field.members != nullptr && field.size % field.count == 0 &&
               field_fits(field.members[0], field.size / field.count);
    case VXDB_STRUCT:
        for (size_t i = 0; i < field.count; ++i) {
            if (field.members == nullptr || !field_fits(field.members[i], field.size))
                return false;
        }
        return true;
    }
    return false;
}
}  // namespace

int vxdb_check_kind(const vxdb_kind *kind)
{
    if (kind == nullptr || !vxdb_valid_table_name(kind->name) || kind->size == 0 || kind->first > kind->last)
        return -1;
    if (kind->index_offset != VXDB_NO_INDEX &&
        (kind->index_offset < 0 || static_cast<size_t>(kind->index_offset) + sizeof(int32_t) > kind->size))
        return -1;
    if (kind->field_count > 0 && kind->fields == nullptr)
        return -1;
    for (size_t i = 0; i < kind->field_count; ++i) {
        if (!field_fits(kind->fields[i], kind->size))
            return -1;
    }
    return 0;
}

int vxdb_register_kind(const vxdb_kind *kind)
{
    const vxdb_kind *existing = kind ? vxdb_find_kind(kind->name) : nullptr;
    if (existing == kind && kind != nullptr)
        return 0;  // the same row registered twice (a test program and a shared unit)
    if (existing != nullptr || vxdb_check_kind(kind) != 0 || g_kind_count >= VXDB_MAX_KINDS) {
        ++g_refused;
        return -1;
    }
    g_kinds[g_kind_count++] = kind;
    return 0;
}

const vxdb_kind *vxdb_find_kind(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (size_t i = 0; i < g_kind_count; ++i) {
        if (strcmp(g_kinds[i]->name, name) == 0)
            return g_kinds[i];
    }
    return nullptr;
}

size_t vxdb_kind_count()
{
    return g_kind_count;
}

const vxdb_kind *vxdb_kind_at(size_t i)
{
    return i < g_kind_count ? g_kinds[i] : nullptr;
}

size_t vxdb_kinds_refused()
{
    return g_refused;
}
