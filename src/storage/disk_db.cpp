#include "storage/disk_db.h"
#include "link/web_log.h"
#include "vxdb/vxdb_record.h"
#include "vxdb/vxdb_txn.h"

namespace {
constexpr vxdb_field disk_record_fields[] = {
    VXDB_FIELD(disk_record, id),        VXDB_FIELD(disk_record, enable),   VXDB_FIELD(disk_record, vendor),
    VXDB_FIELD(disk_record, address),   VXDB_FIELD(disk_record, directory), VXDB_FIELD(disk_record, type),
    VXDB_FIELD(disk_record, group),     VXDB_FIELD(disk_record, property), VXDB_FIELD(disk_record, reserved),
    VXDB_FIELD(disk_record, user),      VXDB_FIELD(disk_record, password),
};

int failed(const char *path, const char *what)
{
    cgi_log(__FILE__, __LINE__, "disk table", "%s: %s cannot be read (locked past the time-out, I/O error or not a "
            "database)", what, path);
    return -1;
}
}  // namespace

const vxdb_kind disk_kind = {"disk", sizeof(disk_record), 0, MAX_DISK_PORTS, VXDB_INDEX_AT(disk_record, id),
                             VXDB_FIELDS(disk_record_fields)};
VXDB_REGISTER_KIND(disk_kind);

int read_disk(const char *path, disk_record *record, int port)
{
    const int rc = vxdb_view(path, disk_kind, [&](vxdb_txn &txn) { return txn.read(port, record); });
    return rc < 0 ? failed(path, "disk record") : rc;
}

int read_disks(const char *path, disk_record *records, int capacity, int *count)
{
    *count = 0;
    const int rc = vxdb_view(path, disk_kind, [&](vxdb_txn &txn) {
        const int n = txn.read_slots(records, capacity);
        *count = n < 0 ? 0 : n;
        return n < 0 ? -1 : 0;
    });
    return rc < 0 ? failed(path, "disk list") : *count;
}

int write_disk(const char *path, const disk_record *record)
{
    return vxdb_write(path, disk_kind, record);
}
