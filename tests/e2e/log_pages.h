// Shared pieces of the end-to-end tests of the log pages: the query bytes the main service reads, the
// bodies the pages send, and the replies of the main service, all in UTC.
#pragma once

#include "e2e/page_table.h"
#include "system/log_records.h"
#include "system/system_codes.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace log_pages {

constexpr int32_t DEC_1 = 1796083200;      // 2026-12-01 00:00:00 UTC
constexpr int32_t DEC_8_END = 1796774399;  // 2026-12-08 23:59:59
constexpr int32_t DEC_7_MORNING = 1796638530;  // 2026-12-07 10:15:30

inline cgi_request log_post(const std::string &path, const std::string &body, const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request = page_post(path, body, wait_ms);
    request.env.push_back({"TZ", "UTC"});
    return request;
}

// JSON members in order; `changes` replace a member of the same name or are added, `omit` are left out.
using members = std::vector<std::pair<std::string, std::string>>;
inline std::string json_of(const members &base, const members &changes = {}, const std::vector<std::string> &omit = {})
{
    members all = base;
    for (const auto &[key, value] : changes) {
        bool replaced = false;
        for (auto &member : all)
            if (member.first == key)
                member.second = value, replaced = true;
        if (!replaced)
            all.push_back({key, value});
    }
    std::string text = "{";
    for (const auto &[key, value] : all) {
        bool left_out = false;
        for (const std::string &o : omit)
            left_out = left_out || o == key;
        if (!left_out)
            text += (text.size() > 1 ? "," : "") + ("\"" + key + "\":" + value);
    }
    return text + "}";
}

inline const members search_body = {
    {"language", "\"en\""}, {"mainType", "2"}, {"subTypeArr", "[11,12]"},
    {"startTime", "\"2026-12-01 00:00:00\""}, {"endTime", "\"2026-12-08 23:59:59\""}, {"curPageNum", "3"},
    {"chnMask", "\"1010\""}, {"searchNoChn", "1"},
};
inline const members export_body = {
    {"language", "\"en\""}, {"mainType", "4"}, {"subTypeArr", "[11,10,10]"},
    {"startTime", "\"2026-12-01T00:00:00\""}, {"endTime", "\"2026-12-08T23:59:59\""}, {"curPageNum", "7"},
    {"ch", "\"5\""}, {"na", "1"},
};

// The 840 bytes the main service reads, for the whole first week of December.
inline std::string query_bytes(int32_t main_type, std::vector<int64_t> sub_types, int32_t page, uint64_t mask,
                               int32_t no_channel)
{
    log_query q{};
    q.start_time = DEC_1;
    q.end_time = DEC_8_END;
    q.main_type = main_type;
    for (size_t i = 0; i < sub_types.size(); ++i)
        q.sub_types[i] = sub_types[i];
    q.sub_type_count = static_cast<int32_t>(sub_types.size());
    q.page = page;
    q.channel_mask = mask;
    q.no_channel = no_channel;
    return fms_record(q);
}

// Reply 8495 of the whole 68008 bytes: the header as given, the entries from the first slot.
inline std::string page_reply(int32_t total, int32_t count, const std::vector<operation_log> &entries = {})
{
    auto reply = std::make_unique<log_search_reply>();
    *reply = log_search_reply{};
    reply->total = total;
    reply->count = count;
    for (size_t i = 0; i < entries.size(); ++i)
        reply->entries[i] = entries[i];
    return fms_record(*reply);
}

inline std::string export_reply(const std::string &path)
{
    log_export_reply reply{};
    memcpy(reply.path, path.data(), std::min(path.size(), sizeof reply.path));
    return fms_record(reply);
}

template <size_t N> void fill(char (&field)[N], const std::string &text)
{
    memset(field, 0, N);
    memcpy(field, text.data(), std::min(text.size(), N));
}

inline operation_log entry(int32_t main_type, int64_t sub_type, int64_t pts, int32_t parameter, int32_t chan_no,
                           const std::string &user, const std::string &ip)
{
    operation_log e{};
    e.main_type = main_type;
    e.sub_type = sub_type;
    e.pts = pts;
    e.parameter_type = parameter;
    e.remote = 1;
    e.chan_no = chan_no;
    fill(e.user, user);
    fill(e.ip, ip);
    return e;
}

}  // namespace log_pages
