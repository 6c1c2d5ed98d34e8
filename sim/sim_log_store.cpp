#include "sim_log_store.h"

#include "vxrt/vx_path.h"
#include "vxrt/vx_trans.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
constexpr int64_t HOUR = 3600;
constexpr int64_t DAY = 24 * HOUR;
constexpr int64_t ALL_SUB_TYPES = 10;
constexpr int32_t ALL_MAIN_TYPES = 1;

std::string words(int64_t id)
{
    char text[128];
    trans_get_value(id, text, sizeof text);
    return text;
}

template <size_t N> void copy_text(char (&field)[N], const char *text)
{
    memset(field, 0, N);
    strncpy(field, text, N - 1);
}
}  // namespace

std::string sim_log_description(const operation_log &entry)
{
    std::string text = words(entry.sub_type);
    if (text.empty())
        text = "Log entry " + std::to_string(entry.main_type) + "/" + std::to_string(entry.sub_type);
    const std::string parameter = words(entry.parameter_type);
    if (!parameter.empty() && entry.parameter_type != 900)
        text += ": " + parameter;
    if (entry.chan_no != 0)
        text += ", channel " + std::to_string(entry.chan_no);
    const std::string user(entry.user, strnlen(entry.user, sizeof entry.user));
    const std::string ip(entry.ip, strnlen(entry.ip, sizeof entry.ip));
    if (!user.empty())
        text += ", by " + user;
    if (!ip.empty())
        text += " from " + ip;
    return text;
}

sim_log_store::sim_log_store(int64_t now)
{
    const int64_t start = now - 3 * DAY;
    seed(8, 500, start, 900, 0, "", "", "System power on, firmware 7x.7.0.9");
    for (int32_t port = 1; port <= 4; ++port)
        seed(8, 505, start + 20 + port, 900, port, "", "", ("Disk found on port " + std::to_string(port)).c_str());
    seed(8, 513, start + 40, 900, 0, "", "", "Network connected, eth0 up at 1000 Mbit/s");
    seed(4, 201, start + 2 * HOUR, 900, 0, "admin", "192.168.1.20", "Remote login, user admin");
    seed(4, 204, start + 2 * HOUR + 300, 903, 2, "admin", "192.168.1.20",
         "Camera 2 renamed to \"Gate, north\"");
    seed(2, 11, start + 9 * HOUR, 909, 2, "", "", "Motion detection start on camera 2");
    seed(2, 12, start + 9 * HOUR + 45, 909, 2, "", "", "Motion detection end on camera 2");
    seed(32, 404, start + DAY + 3 * HOUR, 900, 0, "", "", "Network disconnected: eth0 link down");
    seed(8, 513, start + DAY + 3 * HOUR + 95, 900, 0, "", "", "Network connected, eth0 up at 1000 Mbit/s");
    seed(4, 229, start + DAY + 7 * HOUR, 900, 0, "root", "::ffff:203.0.113.9", "Remote login refused, user root");
    seed(4, 201, start + 2 * DAY + HOUR, 900, 0, "operator", "fe80::1%eth0", "Remote login, user operator");
    seed(4, 207, start + 2 * DAY + HOUR + 600, 900, 3, "operator", "fe80::1%eth0",
         "Disk 3 formatted, quick format, \"data\" partition");
    seed(32, 400, start + 2 * DAY + 5 * HOUR, 900, 1, "", "", "Disk 1 full, overwriting the oldest recordings");
    seed(64, 600, start + 2 * DAY + 6 * HOUR, 900, 0, "", "", "Main service: stream 1, 25 fps, 4096 kbit/s");
}

void sim_log_store::seed(int32_t main_type, int64_t sub_type, int64_t pts, int32_t parameter_type, int32_t chan_no,
                         const char *user, const char *ip, const char *description)
{
    stored item{};
    item.entry.main_type = main_type;
    item.entry.sub_type = sub_type;
    item.entry.pts = pts;
    item.entry.parameter_type = parameter_type;
    item.entry.chan_no = chan_no;
    item.entry.remote = *user != '\0' ? 1 : 0;
    copy_text(item.entry.user, user);
    copy_text(item.entry.ip, ip);
    item.description = description;
    entries_.push_back(item);
}

std::string sim_log_store::add(operation_log entry, int64_t now)
{
    if (entry.pts == 0)
        entry.pts = now;
    stored item{entry, sim_log_description(entry)};
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back(item);
    return item.description;
}

size_t sim_log_store::size()
{
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}

// Every main type for 1; every sub type when the list is empty or starts with 10; every channel for
// a mask of 0, and an entry about no channel (0) whatever the mask.
bool sim_log_store::matches(const log_query &query, const operation_log &entry)
{
    if (entry.pts < query.start_time || entry.pts > query.end_time)
        return false;
    if (query.main_type != ALL_MAIN_TYPES && entry.main_type != query.main_type)
        return false;
    const int count = std::clamp(query.sub_type_count, 0, LOG_MAX_SUB_TYPES);
    if (count > 0 && query.sub_types[0] != ALL_SUB_TYPES &&
        std::find(query.sub_types, query.sub_types + count, entry.sub_type) == query.sub_types + count)
        return false;
    if (query.channel_mask != 0 && entry.chan_no != 0 &&
        (entry.chan_no < 1 || entry.chan_no > 64 || ((query.channel_mask >> (entry.chan_no - 1)) & 1) == 0))
        return false;
    return true;
}

std::vector<const sim_log_store::stored *> sim_log_store::matching(const log_query &query)
{
    // Newest first; of entries of the same second, the one stored last first.
    std::vector<const stored *> found;
    for (auto item = entries_.rbegin(); item != entries_.rend(); ++item) {
        if (matches(query, item->entry))
            found.push_back(&*item);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const stored *a, const stored *b) { return a->entry.pts > b->entry.pts; });
    return found;
}

log_search_reply sim_log_store::search(const log_query &query)
{
    log_search_reply reply{};
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<const stored *> found = matching(query);
    const size_t first = static_cast<size_t>(std::max(query.page, 1) - 1) * LOG_PAGE_ENTRIES;
    reply.total = static_cast<int32_t>(found.size());
    for (size_t i = first; i < found.size() && reply.count < LOG_PAGE_ENTRIES; ++i)
        reply.entries[reply.count++] = found[i]->entry;
    return reply;
}

int sim_log_store::export_to(const log_query &query, const std::string &path)
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<const stored *> found = matching(query);
    FILE *file = fopen(vx_path(path.c_str()).c_str(), "wbe");
    if (file == nullptr)
        return -1;
    const int32_t count = static_cast<int32_t>(found.size());
    bool written = fwrite(&count, sizeof count, 1, file) == 1;
    auto item = std::make_unique<log_result_entry>();
    for (const stored *s : found) {
        *item = log_result_entry{};
        item->entry = s->entry;
        memcpy(item->description, s->description.data(), std::min(s->description.size(), sizeof item->description - 1));
        written = written && fwrite(item.get(), sizeof *item, 1, file) == 1;
    }
    if (fclose(file) != 0 || !written)
        return -1;
    return count;
}

std::string sim_log_store::detail(const operation_log &entry)
{
    std::lock_guard<std::mutex> guard(lock_);
    for (const stored &item : entries_) {
        const operation_log &e = item.entry;
        if (e.pts == entry.pts && e.main_type == entry.main_type && e.sub_type == entry.sub_type &&
            e.chan_no == entry.chan_no)
            return item.description;
    }
    return sim_log_description(entry);
}
