// The system pages' requests: the login from an e-mail link and the notice that the user table
// changed.
#include "sim_log.h"
#include "sim_module.h"

#include "system/log_records.h"
#include "system/system_codes.h"
#include "system/user_db.h"
#include "vxdb/vxdb.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <memory>
#include <mutex>

namespace {
constexpr size_t MAIL_LINK_SIZE = 256;

void on_user_table_changed(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
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
    if (sim_read_record(payload, &id))
        answer.note = sim_format("user table changed: user %d; %d accounts enabled", id, accounts);
    else
        answer.note = sim_format("user table changed; %d accounts enabled", accounts);
}

void on_mail_link_check(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    char text[MAIL_LINK_SIZE] = {};
    if (!payload.empty())
        memcpy(text, payload.data(), std::min(payload.size(), sizeof text - 1));
    bool valid = payload.size() >= MAIL_LINK_SIZE && sim_mail_link_valid(text, sizeof text, context.mail_token);
    sim_reply_int(answer, code, valid ? 0 : 1);
    answer.note = sim_format("login from e-mail link \"%s\": %s", sim_printable(text, sizeof text).c_str(),
                             valid ? "valid (0)" : "refused (1)");
    if (payload.size() < MAIL_LINK_SIZE)
        answer.note += " (" + sim_short_payload(payload, MAIL_LINK_SIZE) + ")";
}

// The language the device's own screens show, as the service command "setlang" sets it.
std::atomic<int32_t> device_language{0};

void on_set_language(sim_context &, int32_t, const sim_payload &payload, sim_answer &answer)
{
    int32_t language;
    if (!sim_read_record(payload, &language)) {
        answer.note = "set language: " + sim_short_payload(payload, sizeof language);
        return;
    }
    const int32_t before = device_language.exchange(language);
    answer.note = sim_format("set language: %d (was %d)", language, before);
}

// The device log's requests: a search answers one page, an export a result file under /tmp, a
// detail request the entry's text.
std::string describe_query(const log_query &query)
{
    return sim_format("main type %d, %d sub types (first %" PRId64 "), %d..%d, channels 0x%" PRIx64 ", page %d",
                      query.main_type, query.sub_type_count, query.sub_types[0], query.start_time, query.end_time,
                      query.channel_mask, query.page);
}

void on_log_search(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    log_query query;
    auto reply = std::make_unique<log_search_reply>();
    if (!sim_read_record(payload, &query))
        answer.note = "log search: " + sim_short_payload(payload, sizeof query);
    else if (context.log != nullptr)
        *reply = context.log->search(query);
    sim_reply_bytes(answer, reply_of(code), reply.get(), sizeof *reply);
    if (answer.note.empty())
        answer.note = sim_format("log search: %s: %d matches, %d in this page", describe_query(query).c_str(),
                                 reply->total, reply->count);
}

void on_log_export(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    static std::atomic<int> exports{0};
    log_query query;
    log_export_reply reply{};
    if (!sim_read_record(payload, &query)) {
        answer.note = "log export: " + sim_short_payload(payload, sizeof query);
    } else if (context.log != nullptr) {
        snprintf(reply.path, sizeof reply.path, "/tmp/log_export_%d.dat", ++exports);
        const int written = context.log->export_to(query, reply.path);
        answer.note = sim_format("log export: %s: %d entries to %s", describe_query(query).c_str(), written, reply.path);
        if (written < 0)
            reply = log_export_reply{};
    }
    sim_reply_bytes(answer, reply_of(code), &reply, sizeof reply);
}

void on_log_detail(sim_context &context, int32_t code, const sim_payload &payload, sim_answer &answer)
{
    operation_log entry;
    if (!sim_read_record(payload, &entry)) {
        answer.note = "log detail: " + sim_short_payload(payload, sizeof entry);
        return;
    }
    const std::string text = context.log != nullptr ? context.log->detail(entry) : sim_log_description(entry);
    sim_reply_bytes(answer, reply_of(code), text.data(), text.size());
    answer.note = sim_format("log detail of %d/%" PRId64 " at %" PRId64 ": \"%s\"", entry.main_type, entry.sub_type,
                             entry.pts, sim_printable(text.c_str(), text.size() + 1, 120).c_str());
}

const sim_request system_requests[] = {
    {MAIL_LINK_CHECK, on_mail_link_check},
    {USER_TABLE_CHANGED, on_user_table_changed},
    {SET_LANGUAGE, on_set_language},
    {LOG_SEARCH, on_log_search},
    {LOG_EXPORT, on_log_export},
    {LOG_DETAIL, on_log_detail},
};
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

const sim_module sim_system_module = {"system", system_requests, {}};
