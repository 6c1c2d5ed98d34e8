#include "storage/disk_db.h"
#include "vxdb/vxdb_record.h"

namespace {
constexpr vxdb_field disk_record_fields[] = {
    VXDB_FIELD(disk_record, id),        VXDB_FIELD(disk_record, enable),   VXDB_FIELD(disk_record, vendor),
    VXDB_FIELD(disk_record, address),   VXDB_FIELD(disk_record, directory), VXDB_FIELD(disk_record, type),
    VXDB_FIELD(disk_record, group),     VXDB_FIELD(disk_record, property), VXDB_FIELD(disk_record, reserved),
    VXDB_FIELD(disk_record, user),      VXDB_FIELD(disk_record, password),
};
const vxdb_kind disk_kind = {"disk", sizeof(disk_record), 0, MAX_DISK_PORTS, VXDB_INDEX_AT(disk_record, id),
                             VXDB_FIELDS(disk_record_fields)};
VXDB_REGISTER_KIND(disk_kind);
}  // namespace

int read_disk(const char *path, disk_record *record, int port)
{
    return vxdb_read(path, disk_kind, port, record);
}

int read_disks(const char *path, disk_record *records, int capacity, int *count)
{
    vxdb_read_many(path, disk_kind, records, capacity, count);
    return *count;
}

int write_disk(const char *path, const disk_record *record)
{
    return vxdb_write(path, disk_kind, record);
}
