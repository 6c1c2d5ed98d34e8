#include "sim_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace {
constexpr uint64_t TB = 1000ull * 1000 * 1000 * 1000;  // disk makers count in powers of ten

struct disk_model {
    const char *name;
    uint64_t size;
    bool formatted;
    int used_min, used_max;  // per cent of the size in use
};

// A recorder that has been running for a while: one disk nearly full (it overwrites the oldest
// recordings), one half used, one fresh from the box, one large and recently added.
const disk_model seeded_disks[] = {
    {"SIMDISK SD1000", 1 * TB + 204886016, true, 90, 99},
    {"SIMDISK SD2000", 2 * TB + 398934016, true, 30, 70},
    {"SIMDISK SD4000", 4 * TB + 787030016, false, 0, 0},
    {"SIMDISK SD8000", 8 * TB + 1563222016, true, 5, 40},
};

// Members an array needs at the least, by level; 0 for a level the device does not offer.
int min_members(int level)
{
    switch (level) {
    case 0:
    case 1:
        return 2;
    case 5:
        return 3;
    case 6:
    case 10:
        return 4;
    default:
        return 0;
    }
}

uint64_t array_size(int level, const std::vector<uint64_t> &member_sizes)
{
    uint64_t smallest = *std::min_element(member_sizes.begin(), member_sizes.end());
    uint64_t n = member_sizes.size();
    switch (level) {
    case 0:
        return smallest * n;
    case 1:
        return smallest;
    case 5:
        return smallest * (n - 1);
    case 6:
        return smallest * (n - 2);
    default:  // 10: mirrored pairs
        return smallest * (n / 2);
    }
}

void copy_text(char *field, size_t size, const std::string &text)
{
    snprintf(field, size, "%s", text.c_str());
}
}  // namespace

sim_device::sim_device(uint64_t seed, sim_timing timing, std::function<clock::time_point()> now)
    : timing_(timing), now_(std::move(now))
{
    std::mt19937_64 random(seed);
    int port = 1;
    for (const disk_model &model : seeded_disks) {
        volume v;
        v.port = port++;
        char serial[16];
        snprintf(serial, sizeof serial, "%08llX", static_cast<unsigned long long>(random() & 0xffffffffu));
        v.vendor = std::string(model.name) + " S/N " + serial;
        v.total_size = model.size;
        v.formatted = model.formatted;
        if (model.formatted) {
            std::uniform_int_distribution<int> percent(model.used_min, model.used_max);
            v.used_size = model.size / 100 * static_cast<uint64_t>(percent(random));
        }
        volumes_.push_back(v);
    }
}

sim_device::volume *sim_device::find(int port)
{
    for (volume &v : volumes_)
        if (v.port == port)
            return &v;
    return nullptr;
}

void sim_device::catch_up(clock::time_point now)
{
    for (volume &v : volumes_) {
        if (v.formatting && now >= v.format_end) {
            v.formatting = false;
            v.formatted = true;
            v.used_size = 0;
        }
        if (v.rebuilding && now - v.rebuild_start >= std::chrono::milliseconds(timing_.rebuild_ms))
            v.rebuilding = false;
    }
}

disk_status sim_device::status_of(const volume &v, clock::time_point now) const
{
    disk_status s{};
    s.port_id = v.port;
    copy_text(s.vendor, sizeof s.vendor, v.vendor);
    s.total_size = v.total_size;
    s.used_size = v.used_size;
    s.free_size = v.formatted ? v.total_size - v.used_size : 0;  // no file system, no free space
    s.disk_type = v.is_raid ? SIM_DISK_TYPE_RAID : SIM_DISK_TYPE_SATA;
    s.group = v.group;
    s.property = v.property;
    if (v.formatting)
        s.state = SIM_STATE_FORMATTING;
    else if (v.member_of != 0)
        s.state = SIM_STATE_RAID_MEMBER;
    else if (v.hot_spare)
        s.state = SIM_STATE_HOT_SPARE;
    else
        s.state = v.formatted ? SIM_STATE_NORMAL : SIM_STATE_UNFORMATTED;
    s.usable = (s.state == SIM_STATE_NORMAL && !v.rebuilding) ? 1 : 0;
    if (v.is_raid) {
        s.raid_level = v.raid_level;
        s.raid_state = v.rebuilding ? SIM_RAID_REBUILDING : SIM_RAID_NORMAL;
        if (v.rebuilding) {
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - v.rebuild_start).count();
            s.raid_progress = static_cast<int32_t>(std::min<int64_t>(99, elapsed * 100 / std::max(1, timing_.rebuild_ms)));
        }
        s.raid_member_count = static_cast<int32_t>(v.members.size());
        for (size_t i = 0; i < v.members.size() && i < MAX_RAID_MEMBERS; ++i)
            s.raid_members[i] = v.members[i];
    }
    return s;
}

std::vector<disk_status> sim_device::disk_list()
{
    std::lock_guard<std::mutex> guard(lock_);
    clock::time_point now = now_();
    catch_up(now);
    std::vector<disk_status> list;
    for (const volume &v : volumes_)
        list.push_back(status_of(v, now));
    return list;
}

bool sim_device::set_disk(const disk_settings &settings)
{
    std::lock_guard<std::mutex> guard(lock_);
    volume *v = find(settings.port);
    if (v == nullptr)
        return false;
    v->property = settings.property;
    v->group = settings.group;
    return true;
}

int sim_device::start_format(int port, int *duration_ms)
{
    std::lock_guard<std::mutex> guard(lock_);
    clock::time_point now = now_();
    catch_up(now);
    volume *v = find(port);
    if (v == nullptr)
        return SIM_FORMAT_NO_DISK;
    if (busy(*v) || v->member_of != 0 || v->hot_spare)
        return SIM_FORMAT_USING;
    v->formatting = true;
    v->format_end = now + std::chrono::milliseconds(timing_.format_ms);
    *duration_ms = timing_.format_ms;
    return SIM_FORMAT_OK;
}

int sim_device::create_raid(const raid_request &request)
{
    std::lock_guard<std::mutex> guard(lock_);
    catch_up(now_());
    if (request.raid_id < SIM_RAID_FIRST_ID || request.raid_id > SIM_RAID_LAST_ID || find(request.raid_id) != nullptr)
        return SIM_RAID_BAD_ID;

    // The list ends at its last non-zero entry; a 0 before that names port 0, which is no disk.
    int used = MAX_RAID_MEMBERS;
    while (used > 0 && request.members[used - 1] == 0)
        --used;
    std::vector<int> members(request.members, request.members + used);
    std::sort(members.begin(), members.end());
    if (std::adjacent_find(members.begin(), members.end()) != members.end())
        return SIM_RAID_NO_DISK;
    int needed = min_members(request.level);
    if (needed == 0 || static_cast<int>(members.size()) < needed || (request.level == 10 && members.size() % 2 != 0))
        return SIM_RAID_BAD_LEVEL;

    std::vector<uint64_t> sizes;
    for (int port : members) {
        volume *disk = find(port);
        if (disk == nullptr || disk->is_raid)
            return SIM_RAID_NO_DISK;
        if (disk->member_of != 0 || disk->hot_spare || busy(*disk))
            return SIM_RAID_BUSY;
        sizes.push_back(disk->total_size);
    }

    // Building an array wipes its members.
    for (int port : members) {
        volume *disk = find(port);
        disk->member_of = request.raid_id;
        disk->formatted = false;
        disk->used_size = 0;
    }
    volume array;
    array.port = request.raid_id;
    array.is_raid = true;
    array.raid_level = request.level;
    array.members = members;
    array.total_size = array_size(request.level, sizes);
    array.vendor = "RAID" + std::to_string(request.level) + " (" + std::to_string(members.size()) + " disks)";
    auto at = std::find_if(volumes_.begin(), volumes_.end(), [&](const volume &v) { return v.port > array.port; });
    volumes_.insert(at, array);
    return SIM_RAID_OK;
}

int sim_device::remove_raid(int raid_id)
{
    std::lock_guard<std::mutex> guard(lock_);
    catch_up(now_());
    volume *array = find(raid_id);
    if (array == nullptr || !array->is_raid)
        return SIM_RAID_BAD_ID;
    if (array->formatting)
        return SIM_RAID_BUSY;
    for (volume &v : volumes_) {
        if (v.member_of == raid_id) {
            v.member_of = 0;
            v.formatted = false;  // what the array wrote there is no file system of its own
            v.used_size = 0;
        }
    }
    volumes_.erase(volumes_.begin() + (array - volumes_.data()));
    return SIM_RAID_OK;
}

int sim_device::set_hot_spare(int port, bool on)
{
    std::lock_guard<std::mutex> guard(lock_);
    catch_up(now_());
    volume *disk = find(port);
    if (disk == nullptr || disk->is_raid)
        return SIM_RAID_NO_DISK;
    if (!on) {
        if (!disk->hot_spare)
            return SIM_RAID_BAD_ID;
        disk->hot_spare = false;
        return SIM_RAID_OK;
    }
    if (disk->hot_spare)
        return SIM_RAID_OK;
    if (disk->member_of != 0 || busy(*disk))
        return SIM_RAID_BUSY;
    // A spare stands ready to be written over by a rebuild; nothing on it is kept.
    disk->hot_spare = true;
    disk->formatted = false;
    disk->used_size = 0;
    return SIM_RAID_OK;
}

int sim_device::rebuild_raid(int disk_port, int raid_id)
{
    std::lock_guard<std::mutex> guard(lock_);
    clock::time_point now = now_();
    catch_up(now);
    volume *array = find(raid_id);
    if (array == nullptr || !array->is_raid)
        return SIM_RAID_BAD_ID;
    volume *disk = find(disk_port);
    if (disk == nullptr || disk->is_raid)
        return SIM_RAID_NO_DISK;
    if (busy(*array) || busy(*disk) || (disk->member_of != 0 && disk->member_of != raid_id))
        return SIM_RAID_BUSY;
    if (disk->member_of == 0) {
        if (array->members.size() >= MAX_RAID_MEMBERS)
            return SIM_RAID_BUSY;
        array->members.insert(std::upper_bound(array->members.begin(), array->members.end(), disk_port), disk_port);
        disk->member_of = raid_id;
        disk->hot_spare = false;
        disk->formatted = false;
        disk->used_size = 0;
    }
    array->rebuilding = true;
    array->rebuild_start = now;
    return SIM_RAID_OK;
}
