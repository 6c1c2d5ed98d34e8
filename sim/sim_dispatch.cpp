#include "sim_dispatch.h"
#include "sim_log.h"

#include "storage/storage_records.h"
#include "system/user_db.h"
#include "vxdb/vxdb.h"
#include "vxrt/vx_oplog.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {
using payload_bytes = std::vector<unsigned char>;

constexpr size_t MAIL_LINK_SIZE = 256;

std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *pattern, ...)
{
    char text[512];
    va_list args;
    va_start(args, pattern);
    vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// Copies the request's record into `record`; false (record zero) when the payload is too short to
// hold it. A longer payload is read for its first bytes, as the device would.
template <typename T>
bool read_record(const payload_bytes &payload, T *record)
{
    *record = T{};
    if (payload.size() < sizeof(T))
        return false;
    memcpy(record, payload.data(), sizeof(T));
    return true;
}

std::string short_payload(const payload_bytes &payload, size_t needed)
{
    return format("payload of %zu bytes, %zu needed", payload.size(), needed);
}

void reply_int(sim_answer &answer, int32_t code, int32_t value)
{
    answer.reply = true;
    answer.code = code + SIM_REPLY_OFFSET;
    answer.payload.assign(reinterpret_cast<const char *>(&value), sizeof value);
}

void on_disk_list(sim_context &context, const payload_bytes &, sim_answer &answer)
{
    std::vector<disk_status> list = context.device->disk_list();
    answer.reply = true;
    answer.code = SIM_DISK_LIST + SIM_REPLY_OFFSET;
    answer.payload.assign(reinterpret_cast<const char *>(list.data()), list.size() * sizeof(disk_status));
    answer.note = format("disk list: %zu records", list.size());
}

void on_disk_settings(sim_context &context, const payload_bytes &payload, sim_answer &answer)
{
    disk_settings settings;
    if (!read_record(payload, &settings)) {
        answer.note = "disk settings: " + short_payload(payload, sizeof settings);
        return;
    }
    bool known = context.device->set_disk(settings);
    answer.note = format("disk settings: port %d property %d group %d private %d%s", settings.port,
                         settings.property, settings.group, settings.is_private, known ? "" : " (no such disk)");
}

void on_format(sim_context &context, const payload_bytes &payload, sim_answer &answer)
{
    int32_t port;
    int32_t result = SIM_FORMAT_NO_DISK;
    int duration_ms = 0;
    if (read_record(payload, &port))
        result = context.device->start_format(port, &duration_ms);
    else
        port = -1;
    reply_int(answer, SIM_DISK_FORMAT, result);
    answer.delay_ms = duration_ms;  // the device answers when the format is done
    answer.note = format("format port %d: result %d", port, result);
    if (result == SIM_FORMAT_OK)
        answer.note += format(" after %d ms", duration_ms);
}

std::string member_list(const raid_request &request)
{
    std::string list;
    for (int32_t member : request.members) {
        if (member == 0)
            continue;
        if (!list.empty())
            list += ',';
        list += std::to_string(member);
    }
    return list.empty() ? "none" : list;
}

void on_raid_create(sim_context &context, const payload_bytes &payload, sim_answer &answer)
{
    raid_request request;
    int32_t result = SIM_RAID_BAD_ID;
    if (read_record(payload, &request))
        result = context.device->create_raid(request);
    reply_int(answer, SIM_RAID_CREATE, result);
    answer.note = format("create RAID %d: enable %d level %d count %d members %s: result %d", request.raid_id,
                         request.enable, request.level, request.member_count, member_list(request).c_str(), result);
}

void on_raid_remove(sim_context &context, const payload_bytes &payload, sim_answer &answer)
{
    raid_request request;
    int32_t result = SIM_RAID_BAD_ID;
    if (read_record(payload, &request))
        result = context.device->remove_raid(request.raid_id);
    reply_int(answer, SIM_RAID_REMOVE, result);
    answer.note = format("remove RAID %d: result %d", request.raid_id, result);
}

void on_hot_spare(sim_context &context, int32_t code, const payload_bytes &payload, sim_answer &answer)
{
    int32_t port;
    int32_t result = SIM_RAID_NO_DISK;
    bool on = (code == SIM_HOT_SPARE_ON);
    if (read_record(payload, &port))
        result = context.device->set_hot_spare(port, on);
    else
        port = -1;
    reply_int(answer, code, result);
    answer.note = format("hot spare %s port %d: result %d", on ? "on" : "off", port, result);
}

void on_raid_rebuild(sim_context &context, const payload_bytes &payload, sim_answer &answer)
{
    rebuild_request request;
    int32_t result = SIM_RAID_BAD_ID;
    if (read_record(payload, &request))
        result = context.device->rebuild_raid(request.disk_port, request.raid_port);
    reply_int(answer, SIM_RAID_REBUILD, result);
    answer.note = format("rebuild RAID %d onto port %d: result %d", request.raid_port, request.disk_port, result);
}

void on_users_changed(sim_context &, const payload_bytes &payload, sim_answer &answer)
{
    // The device reloads its accounts; here the reload is a count for the log. The count works in
    // a buffer of the database functions that two connections must not fill at once.
    static std::mutex accounts_lock;
    int accounts;
    {
        std::lock_guard<std::mutex> guard(accounts_lock);
        accounts = read_user_count(VXDB_MAIN_DB);
    }
    int32_t id;
    if (read_record(payload, &id))
        answer.note = format("user table changed: user %d; %d accounts enabled", id, accounts);
    else
        answer.note = format("user table changed; %d accounts enabled", accounts);
}

std::string describe_log(const operation_log &log)
{
    return format("main %d sub %" PRId64 " parameter %d channel %d remote %d user \"%s\" ip \"%s\" detail %d bytes",
                  log.main_type, log.sub_type, log.parameter_type, log.chan_no, log.remote,
                  sim_printable(log.user, sizeof log.user, 63).c_str(), sim_printable(log.ip, sizeof log.ip, 45).c_str(),
                  log.size);
}

void on_operation_log(sim_context &, int32_t code, const payload_bytes &payload, sim_answer &answer)
{
    if (code == SIM_OPERATION_LOG_MASK) {
        operation_log_mask record;
        if (!read_record(payload, &record))
            answer.note = "operation log (channels): " + short_payload(payload, sizeof record);
        else
            answer.note = "operation log: " + describe_log(record.log) +
                          format(" channels 0x%016" PRIx64, record.channel_mask);
        return;
    }
    operation_log record;
    if (!read_record(payload, &record))
        answer.note = "operation log: " + short_payload(payload, sizeof record);
    else
        answer.note = "operation log: " + describe_log(record);
}

void on_login_from_mail(sim_context &context, const payload_bytes &payload, sim_answer &answer)
{
    char text[MAIL_LINK_SIZE] = {};
    if (!payload.empty())
        memcpy(text, payload.data(), std::min(payload.size(), sizeof text - 1));
    bool valid = payload.size() >= MAIL_LINK_SIZE && sim_mail_link_valid(text, sizeof text, context.mail_token);
    reply_int(answer, SIM_USER_LOGIN_FROM_MAIL, valid ? 0 : 1);
    answer.note = format("login from e-mail link \"%s\": %s", sim_printable(text, sizeof text).c_str(),
                         valid ? "valid (0)" : "refused (1)");
    if (payload.size() < MAIL_LINK_SIZE)
        answer.note += " (" + short_payload(payload, MAIL_LINK_SIZE) + ")";
}
}  // namespace

bool sim_mail_link_valid(const char *text, size_t size, const std::string &token)
{
    if (token.empty())
        return false;
    std::string link(text, strnlen(text, size));
    const std::string key = "token=";
    for (size_t at = link.find(key); at != std::string::npos; at = link.find(key, at + 1)) {
        size_t value = at + key.size();
        if (link.compare(value, token.size(), token) == 0) {
            size_t end = value + token.size();
            if (end == link.size() || link[end] == '&')
                return true;
        }
    }
    return false;
}

sim_answer sim_dispatch(sim_context &context, int32_t code, bool send_only, const payload_bytes &payload)
{
    sim_answer answer;
    answer.known = true;
    switch (code) {
    case SIM_DISK_LIST:
        on_disk_list(context, payload, answer);
        break;
    case SIM_DISK_FORMAT:
        on_format(context, payload, answer);
        break;
    case SIM_DISK_SETTINGS:
        on_disk_settings(context, payload, answer);
        break;
    case SIM_RAID_CREATE:
        on_raid_create(context, payload, answer);
        break;
    case SIM_RAID_REMOVE:
        on_raid_remove(context, payload, answer);
        break;
    case SIM_HOT_SPARE_ON:
    case SIM_HOT_SPARE_OFF:
        on_hot_spare(context, code, payload, answer);
        break;
    case SIM_RAID_REBUILD:
        on_raid_rebuild(context, payload, answer);
        break;
    case SIM_USERS_CHANGED:
        on_users_changed(context, payload, answer);
        break;
    case SIM_OPERATION_LOG:
    case SIM_OPERATION_LOG_MASK:
        on_operation_log(context, code, payload, answer);
        break;
    case SIM_USER_LOGIN_FROM_MAIL:
        on_login_from_mail(context, payload, answer);
        break;
    default:
        answer.known = false;
        answer.note = "unknown code: no reply";
        return answer;
    }
    if (send_only && answer.reply) {
        answer.reply = false;
        answer.note += " (send-only: no reply)";
    }
    return answer;
}
