#include "link/event_db.h"
#include "link/event_kinds.h"
#include "link/web_log.h"
#include "vxdb/vxdb_txn.h"

#include <cstring>

// ---- Field descriptions, for the vxdb tool ----

constexpr vxdb_field schedule_item_fields[] = {
    VXDB_FIELD(schedule_item, start_time), VXDB_FIELD(schedule_item, end_time),
    VXDB_FIELD(schedule_item, action_type), VXDB_FIELD(schedule_item, reserved),
};
VXDB_DESCRIBE_STRUCT(schedule_item, schedule_item_fields);
constexpr vxdb_field schedule_day_fields[] = {
    VXDB_FIELD(schedule_day, items), VXDB_FIELD(schedule_day, valid), VXDB_FIELD(schedule_day, reserved),
};
VXDB_DESCRIBE_STRUCT(schedule_day, schedule_day_fields);
constexpr vxdb_field whiteled_entry_fields[] = {
    VXDB_FIELD(whiteled_params_entry, chn_id), VXDB_FIELD(whiteled_params_entry, chnid),
    VXDB_FIELD(whiteled_params_entry, mode), VXDB_FIELD(whiteled_params_entry, time),
};
VXDB_DESCRIBE_STRUCT(whiteled_params_entry, whiteled_entry_fields);
constexpr vxdb_field warning_light_entry_fields[] = {
    VXDB_FIELD(warning_light_params_entry, chn_id),    VXDB_FIELD(warning_light_params_entry, chnid),
    VXDB_FIELD(warning_light_params_entry, reserved0), VXDB_FIELD(warning_light_params_entry, reserved1),
    VXDB_FIELD(warning_light_params_entry, time),      VXDB_FIELD(warning_light_params_entry, reserved2),
};
VXDB_DESCRIBE_STRUCT(warning_light_params_entry, warning_light_entry_fields);
constexpr vxdb_field ptz_entry_fields[] = {
    VXDB_FIELD(ptz_action_entry, chn_id),          VXDB_FIELD(ptz_action_entry, acto_ptz_channel),
    VXDB_FIELD(ptz_action_entry, reserved),        VXDB_FIELD(ptz_action_entry, acto_ptz_type),
    VXDB_FIELD(ptz_action_entry, acto_ptz_preset), VXDB_FIELD(ptz_action_entry, acto_ptz_patrol),
    VXDB_FIELD(ptz_action_entry, acto_ptz_pattern),
};
VXDB_DESCRIBE_STRUCT(ptz_action_entry, ptz_entry_fields);

namespace {
constexpr vxdb_field event_schedule_fields[] = {VXDB_FIELD(event_schedule, days)};
constexpr vxdb_field whiteled_block_fields[] = {VXDB_FIELD(whiteled_params_block, entries)};
constexpr vxdb_field warning_light_block_fields[] = {VXDB_FIELD(warning_light_params_block, entries)};
constexpr vxdb_field ptz_list_fields[] = {VXDB_FIELD(ptz_action_list, entries)};
constexpr vxdb_field http_fields[] = {
    VXDB_FIELD(http_notification_params, chn_id), VXDB_FIELD(http_notification_params, url),
    VXDB_FIELD(http_notification_params, username), VXDB_FIELD(http_notification_params, password),
};

constexpr int LAST_CHANNEL = EVENT_CHANNELS - 1;
}  // namespace

// None of these records holds its own index: the row's index is the channel (PTZ lists: kind * 64 +
// channel), and what names the channel inside (chn_id) is set by the functions below.
const vxdb_kind event_schedule_kind = {"event_schedule", sizeof(event_schedule), 0, LAST_CHANNEL, VXDB_NO_INDEX,
                                       VXDB_FIELDS(event_schedule_fields)};
const vxdb_kind whiteled_params_kind = {"whiteled_params", sizeof(whiteled_params_block), 0, LAST_CHANNEL,
                                        VXDB_NO_INDEX, VXDB_FIELDS(whiteled_block_fields)};
const vxdb_kind warning_light_params_kind = {"warning_light_params", sizeof(warning_light_params_block), 0,
                                             LAST_CHANNEL, VXDB_NO_INDEX, VXDB_FIELDS(warning_light_block_fields)};
const vxdb_kind http_notification_kind = {"http_notification_params", sizeof(http_notification_params), 0,
                                          LAST_CHANNEL, VXDB_NO_INDEX, VXDB_FIELDS(http_fields)};
const vxdb_kind ptz_params_kind = {"ptz_params", sizeof(ptz_action_list), 0,
                                   EVENT_KIND_COUNT * EVENT_CHANNELS - 1, VXDB_NO_INDEX, VXDB_FIELDS(ptz_list_fields)};
const vxdb_kind peoplecnt_ptz_params_kind = {"peoplecnt_ptz_params", sizeof(ptz_action_list), 0, LAST_CHANNEL,
                                             VXDB_NO_INDEX, VXDB_FIELDS(ptz_list_fields)};
const vxdb_kind peoplecnt_wled_params_kind = {"peoplecnt_wled_params", sizeof(whiteled_params_block), 0,
                                              LAST_CHANNEL, VXDB_NO_INDEX, VXDB_FIELDS(whiteled_block_fields)};
VXDB_REGISTER_KIND(event_schedule_kind);
VXDB_REGISTER_KIND(whiteled_params_kind);
VXDB_REGISTER_KIND(warning_light_params_kind);
VXDB_REGISTER_KIND(http_notification_kind);
VXDB_REGISTER_KIND(ptz_params_kind);
VXDB_REGISTER_KIND(peoplecnt_ptz_params_kind);
VXDB_REGISTER_KIND(peoplecnt_wled_params_kind);

namespace {
bool channel_valid(int chn)
{
    return chn >= 0 && chn <= LAST_CHANNEL;
}

// 0 stored, 1 not stored (record zero), -1 when the file cannot be read or the index is not one of
// the kind's (record zero as well).
int read_row(const char *path, const vxdb_kind &kind, int index, void *record, const char *table)
{
    if (record == nullptr)
        return -1;
    memset(record, 0, kind.size);
    if (index < kind.first || index > kind.last)
        return -1;
    const int rc = vxdb_view(path, kind, [&](vxdb_txn &txn) { return txn.read(index, record); }, table);
    if (rc < 0) {
        memset(record, 0, kind.size);
        cgi_log(__FILE__, __LINE__, "event record", "%s of %s, index %d: %s cannot be read (locked past the "
                "time-out, I/O error or not a database)", kind.name, table ? table : kind.name, index, path);
    }
    return rc;
}

template <typename Block>
void mark_list(Block *block, int chn)
{
    for (auto &entry : block->entries) {
        if (entry.chn_id != ACTION_ENTRY_UNUSED)
            entry.chn_id = chn;
    }
}

// A list never stored is an empty list: every slot unused, so that a copy of it spreads no entries.
template <typename Block>
int read_list(const char *path, const vxdb_kind &kind, Block *block, const char *table, int chn)
{
    const int rc = read_row(path, kind, chn, block, table);
    if (rc != 0 && block != nullptr) {
        for (auto &entry : block->entries)
            entry.chn_id = ACTION_ENTRY_UNUSED;
    }
    return rc;
}

template <typename Block>
int write_list(const char *path, const vxdb_kind &kind, const Block *block, const char *table, int chn)
{
    if (block == nullptr || !channel_valid(chn))
        return -1;
    Block copy = *block;
    mark_list(&copy, chn);
    return vxdb_write_at(path, kind, chn, &copy, table);
}

template <typename Block>
void adjust_list(void *record, int channel)
{
    mark_list(static_cast<Block *>(record), channel);
}

void adjust_http(void *record, int channel)
{
    static_cast<http_notification_params *>(record)->chn_id = channel;
}

// Every entry of a PTZ list names its event channel, the empty ones too.
void adjust_ptz(void *record, int channel)
{
    for (auto &entry : static_cast<ptz_action_list *>(record)->entries)
        entry.chn_id = channel;
}

int write_ptz_list(const char *path, const vxdb_kind &kind, int index, const ptz_action_list *list, int chn)
{
    if (list == nullptr)
        return -1;
    ptz_action_list copy = *list;
    adjust_ptz(&copy, chn);
    return vxdb_write_at(path, kind, index, &copy);
}

bool ptz_key_valid(int type, int chn)
{
    return event_kind_valid(type) && channel_valid(chn);
}
}  // namespace

// ---- Schedules ----

int read_event_schedule(const char *path, event_schedule *schedule, const char *table, int chn)
{
    return read_row(path, event_schedule_kind, chn, schedule, table);
}

int write_event_schedule(const char *path, const event_schedule *schedule, const char *table, int chn)
{
    if (schedule == nullptr || !channel_valid(chn))
        return -1;
    return vxdb_write_at(path, event_schedule_kind, chn, schedule, table);
}

int copy_event_schedules(const char *path, const event_schedule *schedule, const char *table, uint64_t mask)
{
    return vxdb_write_copies(path, event_schedule_kind, schedule, mask, table);
}

int read_whiteled_effective_schedule(const char *path, event_schedule *schedule, const char *table, int chn)
{
    return read_event_schedule(path, schedule, table, chn);
}
int write_whiteled_effective_schedule(const char *path, const event_schedule *schedule, const char *table, int chn)
{
    return write_event_schedule(path, schedule, table, chn);
}
int copy_whiteled_effective_schedules(const char *path, const event_schedule *schedule, const char *table,
                                      uint64_t mask)
{
    return copy_event_schedules(path, schedule, table, mask);
}
int read_warning_light_effective_schedule(const char *path, event_schedule *schedule, const char *table, int chn)
{
    return read_event_schedule(path, schedule, table, chn);
}
int write_warning_light_effective_schedule(const char *path, const event_schedule *schedule, const char *table,
                                           int chn)
{
    return write_event_schedule(path, schedule, table, chn);
}
int copy_warning_light_effective_schedules(const char *path, const event_schedule *schedule, const char *table,
                                           uint64_t mask)
{
    return copy_event_schedules(path, schedule, table, mask);
}
int read_http_notification_schedule(const char *path, event_schedule *schedule, const char *table, int chn)
{
    return read_event_schedule(path, schedule, table, chn);
}
int write_http_notification_schedule(const char *path, const event_schedule *schedule, const char *table, int chn)
{
    return write_event_schedule(path, schedule, table, chn);
}
int copy_http_notification_schedules(const char *path, const event_schedule *schedule, const char *table,
                                     uint64_t mask)
{
    return copy_event_schedules(path, schedule, table, mask);
}

// ---- White-LED and warning-light lists ----

int read_whiteled_params(const char *path, whiteled_params_block *block, const char *table, int chn)
{
    return read_list(path, whiteled_params_kind, block, table, chn);
}

int write_whiteled_params_all(const char *path, const whiteled_params_block *block, const char *table, int chn)
{
    return write_list(path, whiteled_params_kind, block, table, chn);
}

int copy_whiteled_params(const char *path, const whiteled_params_block *block, const char *table, uint64_t mask)
{
    return vxdb_write_copies(path, whiteled_params_kind, block, mask, table, adjust_list<whiteled_params_block>);
}

int read_warning_light_params(const char *path, warning_light_params_block *block, const char *table, int chn)
{
    return read_list(path, warning_light_params_kind, block, table, chn);
}

int write_warning_light_params_all(const char *path, const warning_light_params_block *block, const char *table,
                                   int chn)
{
    return write_list(path, warning_light_params_kind, block, table, chn);
}

int copy_warning_light_params(const char *path, const warning_light_params_block *block, const char *table,
                              uint64_t mask)
{
    return vxdb_write_copies(path, warning_light_params_kind, block, mask, table,
                             adjust_list<warning_light_params_block>);
}

// ---- HTTP notification records ----

int read_http_notification_params(const char *path, http_notification_params *record, const char *table, int chn)
{
    return read_row(path, http_notification_kind, chn, record, table);
}

int write_http_notification_params(const char *path, const http_notification_params *record, const char *table,
                                   int chn)
{
    if (record == nullptr || !channel_valid(chn))
        return -1;
    return vxdb_write_at(path, http_notification_kind, chn, record, table);
}

int copy_http_notification_params(const char *path, const http_notification_params *record, const char *table,
                                  uint64_t mask)
{
    return vxdb_write_copies(path, http_notification_kind, record, mask, table, adjust_http);
}

int write_http_notification_params_batch(const char *path, const http_notification_params *records, int count,
                                         const char *table)
{
    if (records == nullptr || count < 0 || count > EVENT_CHANNELS)
        return -1;
    return vxdb_write_many(path, http_notification_kind, records, count, table);
}

int read_http_notification_params_batch(const char *path, http_notification_params *records, int count,
                                        const char *table)
{
    if (records == nullptr || count < 0)
        return -1;
    if (count > EVENT_CHANNELS)
        count = EVENT_CHANNELS;
    const int rc = vxdb_view(
        path, http_notification_kind,
        [&](vxdb_txn &txn) {
            for (int i = 0; i < count; ++i) {
                const int found = txn.read(i, &records[i]);
                if (found < 0)
                    return -1;
                if (found > 0)
                    records[i].chn_id = -1;
            }
            return 0;
        },
        table);
    if (rc != 0) {
        for (int i = 0; i < count; ++i) {
            records[i] = http_notification_params{};
            records[i].chn_id = -1;
        }
        cgi_log(__FILE__, __LINE__, "event record", "HTTP records of %s: %s cannot be read", table ? table : "-",
                path);
        return -1;
    }
    return count;
}

// ---- PTZ action lists ----

int read_ptz_params(const char *path, ptz_action_list *list, int type, int chn)
{
    if (!ptz_key_valid(type, chn)) {
        if (list != nullptr)
            *list = ptz_action_list{};
        return -1;
    }
    return read_row(path, ptz_params_kind, type * EVENT_CHANNELS + chn, list, nullptr);
}

int write_ptz_params_all(const char *path, const ptz_action_list *list, int type, int chn)
{
    if (!ptz_key_valid(type, chn))
        return -1;
    return write_ptz_list(path, ptz_params_kind, type * EVENT_CHANNELS + chn, list, chn);
}

int copy_ptz_params(const char *path, const ptz_action_list *list, int type, uint64_t mask)
{
    if (!event_kind_valid(type))
        return -1;
    return vxdb_write_copies(path, ptz_params_kind, list, mask, nullptr, adjust_ptz, type * EVENT_CHANNELS);
}

int read_peoplecnt_ptz_params(const char *path, ptz_action_list *list, int chn)
{
    return read_row(path, peoplecnt_ptz_params_kind, chn, list, nullptr);
}

int write_peoplecnt_ptz_params_ex(const char *path, const ptz_action_list *list, int chn)
{
    if (!channel_valid(chn))
        return -1;
    return write_ptz_list(path, peoplecnt_ptz_params_kind, chn, list, chn);
}

int copy_peoplecnt_ptz_params(const char *path, const ptz_action_list *list, uint64_t mask)
{
    return vxdb_write_copies(path, peoplecnt_ptz_params_kind, list, mask, nullptr, adjust_ptz);
}

int read_peoplecnt_wled_params(const char *path, whiteled_params_block *list, int chn)
{
    return read_list(path, peoplecnt_wled_params_kind, list, nullptr, chn);
}

int write_peoplecnt_wled_params(const char *path, const whiteled_params_block *list, int chn)
{
    return write_list(path, peoplecnt_wled_params_kind, list, nullptr, chn);
}

int copy_peoplecnt_wled_params(const char *path, const whiteled_params_block *list, uint64_t mask)
{
    return vxdb_write_copies(path, peoplecnt_wled_params_kind, list, mask, nullptr,
                             adjust_list<whiteled_params_block>);
}
