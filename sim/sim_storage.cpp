// The storage pages' requests: the disk list, disk settings, formats, RAID arrays and hot spares,
// served from the simulated device (sim_device.h).
#include "sim_module.h"

#include "storage/storage_codes.h"
#include "storage/storage_records.h"

namespace {
void on_disk_list(sim_context &context, int32_t code, const sim_payload &, sim_answer &answer)
{
    std::vector<disk_status> list = context.device->disk_list();
    sim_reply_bytes(answer, reply_of(code), list.data(), list.size() * sizeof(disk_status));
    answer.note = sim_format("disk list: %zu records", list.size());
}

void on_disk_settings(sim_context &context, int32_t, const sim_payload &payload, sim_answer &answer)
{
    disk_settings settings;
    if (!sim_read_record(payload, &settings)) {
        answer.note = "disk settings: " + sim_short_payload(payload, sizeof settings);
        return;
    }
    bool known = context.device->set_disk(settings);
    answer.note = sim_format("disk settings: port %d property %d group %d private %d%s", settings.port,
                             settings.property, settings.group, settings.is_private, known ? "" : " (no such disk)");
}

void on_format(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    int32_t port;
    int32_t result = SIM_FORMAT_NO_DISK;
    int duration_ms = 0;
    if (sim_read_record(payload, &port))
        result = context.device->start_format(port, &duration_ms);
    else
        port = -1;
    sim_reply_int(answer, code, result);
    answer.delay_ms = duration_ms;  // the device answers when the format is done
    answer.note = sim_format("format port %d: result %d", port, result);
    if (result == SIM_FORMAT_OK)
        answer.note += sim_format(" after %d ms", duration_ms);
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

void on_raid_create(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    raid_request request;
    int32_t result = SIM_RAID_BAD_ID;
    if (sim_read_record(payload, &request))
        result = context.device->create_raid(request);
    sim_reply_int(answer, code, result);
    answer.note = sim_format("create RAID %d: enable %d level %d count %d members %s: result %d", request.raid_id,
                             request.enable, request.level, request.member_count, member_list(request).c_str(),
                             result);
}

void on_raid_remove(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    raid_request request;
    int32_t result = SIM_RAID_BAD_ID;
    if (sim_read_record(payload, &request))
        result = context.device->remove_raid(request.raid_id);
    sim_reply_int(answer, code, result);  // under 8421; the page also takes RAID_REMOVED, never sent here
    answer.note = sim_format("remove RAID %d: result %d", request.raid_id, result);
}

void on_hot_spare(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    int32_t port;
    int32_t result = SIM_RAID_NO_DISK;
    bool on = (code == HOT_SPARE_ON);
    if (sim_read_record(payload, &port))
        result = context.device->set_hot_spare(port, on);
    else
        port = -1;
    sim_reply_int(answer, code, result);
    answer.note = sim_format("hot spare %s port %d: result %d", on ? "on" : "off", port, result);
}

void on_raid_rebuild(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    rebuild_request request;
    int32_t result = SIM_RAID_BAD_ID;
    if (sim_read_record(payload, &request))
        result = context.device->rebuild_raid(request.disk_port, request.raid_port);
    sim_reply_int(answer, code, result);
    answer.note = sim_format("rebuild RAID %d onto port %d: result %d", request.raid_port, request.disk_port,
                             result);
}

const sim_request storage_requests[] = {
    {DISK_LIST, on_disk_list},
    {DISK_SETTINGS, on_disk_settings},
    {DISK_FORMAT, on_format},
    {RAID_CREATE, on_raid_create},
    {RAID_REMOVE, on_raid_remove},
    {HOT_SPARE_ON, on_hot_spare},
    {HOT_SPARE_OFF, on_hot_spare},
    {RAID_REBUILD, on_raid_rebuild},
};
}  // namespace

const sim_module sim_storage_module = {"storage", storage_requests, {}};
