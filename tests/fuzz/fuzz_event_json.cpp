// The event request converters on arbitrary request bodies: schedules (three shapes), the
// white-LED, warning-light and people-counting lists, PTZ lists, HTTP settings, the alarm-output
// pair, the copy mask and query sections.
//
// Input: byte 0 picks the event channel (-2..65), byte 1 the event kind (-1..31), byte 2 the size
// for the query section (0..40); the rest is the body. Besides the sanitizers: a converter that
// returns -1 leaves its record exactly as it was; one that returns 0 wrote nothing past its record,
// only inside the shape it reads (days, segments, 16 or 64 entries, the event channel's block),
// left every text terminated within its field and named the event channel in the entries it filled;
// the copy mask equals a plain reading of the counted elements; the section equals a plain string
// search, cut and terminated within its size, with nothing written past it.
#include "link/event_actions.h"
#include "link/event_kinds.h"
#include "link/event_request.h"
#include "link/event_schedule.h"
#include "link/web_json.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {
[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_event_json: %s\n", what);
    abort();
}

bool all_bytes(const void *data, size_t size, unsigned char value)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != value)
            return false;
    }
    return true;
}

// A record between two guards of 0xa5, filled with 0x5a before the call.
template <typename T>
struct guarded {
    unsigned char before[16];
    T record;
    unsigned char after[16];
    guarded()
    {
        memset(before, 0xa5, sizeof before);
        memset(after, 0xa5, sizeof after);
        memset(&record, 0x5a, sizeof record);
    }
    void check(int rc) const
    {
        if (!all_bytes(before, sizeof before, 0xa5) || !all_bytes(after, sizeof after, 0xa5))
            fail("a converter wrote past its record");
        if (rc != 0 && rc != -1)
            fail("a converter returned neither 0 nor -1");
        if (rc == -1 && !all_bytes(&record, sizeof record, 0x5a))
            fail("a refused conversion changed the record");
    }
};

void check_text(const char *field, size_t size)
{
    if (memchr(field, '\0', size) == nullptr)
        fail("a text was left without its terminator");
}

void schedules(json_object *request)
{
    for (int form = 0; form < 3; ++form) {
        auto g = std::make_unique<guarded<event_schedule>>();
        const int rc = form == 0 ? get_schedule_by_json(request, "schedule", &g->record)
                       : form == 1 ? get_schedule_by_json_ex(request, "schedule", &g->record)
                                   : get_schedule_by_json_ipc(request, "schedule", &g->record);
        g->check(rc);
        if (rc != 0)
            continue;
        const int days = form == 2 ? SCHEDULE_IPC_DAYS : SCHEDULE_SHOWN_DAYS;
        const int items = form == 2 ? SCHEDULE_IPC_ITEMS : SCHEDULE_SHOWN_ITEMS;
        for (int d = 0; d < SCHEDULE_DAYS; ++d) {
            const schedule_day &day = g->record.days[d];
            if (day.valid != (form == 2 && d < days ? 1 : 0) || day.reserved != 0)
                fail("a day's valid word is not what its shape says");
            for (int s = 0; s < SCHEDULE_ITEMS; ++s) {
                const schedule_item &item = day.items[s];
                check_text(item.start_time, sizeof item.start_time);
                check_text(item.end_time, sizeof item.end_time);
                if ((d >= days || s >= items) && !all_bytes(&item, sizeof item, 0))
                    fail("a segment outside the shape was filled");
                if (item.reserved != 0 || (form == 2 && item.action_type != 0))
                    fail("a segment word the shape does not carry was set");
            }
        }
        json_ptr answer(form == 2 ? get_schedule_json_object_ipc(&g->record) : get_schedule_json_object(&g->record));
        if (!answer || json_object_array_length(answer.get()) != SCHEDULE_SHOWN_DAYS)
            fail("a schedule gave no answer of eight days");
    }
}

template <typename Block>
void check_block(const Block &block, int chn)
{
    bool ended = false;
    for (const auto &entry : block.entries) {
        if (entry.chn_id == ACTION_ENTRY_UNUSED) {
            Block empty{};
            empty.entries[0].chn_id = ACTION_ENTRY_UNUSED;
            if (memcmp(&entry, &empty.entries[0], sizeof entry) != 0)
                fail("an unused list slot holds values");
            ended = true;
        } else if (ended || entry.chn_id != chn) {
            fail("a filled list entry does not name the event channel, or follows an unused one");
        }
    }
}

template <typename Table>
void check_table(const Table &table, int chn)
{
    for (int b = 0; b < EVENT_CHANNELS; ++b) {
        if (b == chn)
            check_block(table.blocks[b], chn);
        else if (!all_bytes(&table.blocks[b], sizeof table.blocks[b], 0))
            fail("a block of another channel was filled");
    }
}

void action_lists(json_object *request, int chn, int type)
{
    auto white = std::make_unique<guarded<whiteled_params_table>>();
    int rc = get_white_params_by_json(chn, &white->record, request, "white");
    white->check(rc);
    if (rc == 0)
        check_table(white->record, chn);

    auto light = std::make_unique<guarded<warning_light_params_table>>();
    rc = get_warning_light_params_by_json(chn, &light->record, request, "light");
    light->check(rc);
    if (rc == 0)
        check_table(light->record, chn);

    guarded<whiteled_params_block> counting;
    rc = get_pcnt_white_params_by_json(chn, &counting.record, request, "white");
    counting.check(rc);
    if (rc == 0)
        check_block(counting.record, chn);
    if ((rc == 0) != (white->record.blocks[0].entries[0].chn_id != 0x5a5a5a5a))
        fail("the people-counting list and the white-LED list disagree");

    guarded<ptz_action_list> ptz;
    json_object *array = nullptr;
    json_object_object_get_ex(request, "ptz", &array);
    rc = get_ptz_params_by_json(chn, type, array, &ptz.record);
    ptz.check(rc);
    if (rc == 0) {
        const size_t most = type == EVENT_KIND_PEOPLE_COUNTING ? PTZ_PEOPLECNT_ENTRIES : PTZ_LIST_ENTRIES;
        const size_t taken = std::min(json_object_array_length(array), most);
        for (size_t i = 0; i < PTZ_LIST_ENTRIES; ++i) {
            const ptz_action_entry &e = ptz.record.entries[i];
            if (i < taken ? e.chn_id != chn || e.reserved != 0 : !all_bytes(&e, sizeof e, 0))
                fail("a PTZ entry is not what the array gave");
        }
    }

    guarded<http_notification_params> http;
    rc = get_http_params_by_json(chn, &http.record, request, "http");
    http.check(rc);
    if (rc == 0) {
        check_text(http.record.url, sizeof http.record.url);
        check_text(http.record.username, sizeof http.record.username);
        check_text(http.record.password, sizeof http.record.password);
        if (http.record.chn_id != chn || http.record.pad != 0)
            fail("HTTP settings without their channel");
    }

    guarded<chn_alarmout_entry[2]> pair;
    rc = get_event_chn_alarmout_by_object(chn, request, "pair", pair.record);
    pair.check(rc);
    for (int i = 0; rc == 0 && i < 2; ++i) {
        const chn_alarmout_entry &e = pair.record[i];
        if (all_bytes(&e, sizeof e, 0x5a))
            continue;
        check_text(e.value, sizeof e.value);
        if (e.chn_id != chn || e.index != i)
            fail("an alarm-output entry without its channel and place");
    }
}

// A plain reading of the copy mask: a JSON integer, or a string of nothing but a decimal integer.
bool plain_int(json_object *value, long long *out)
{
    if (json_object_is_type(value, json_type_int)) {
        *out = json_object_get_int64(value);
        return *out != INT64_MAX;
    }
    if (!json_object_is_type(value, json_type_string))
        return false;
    const char *text = json_object_get_string(value);
    char *end = nullptr;
    errno = 0;
    *out = strtoll(text, &end, 10);
    return end != text && *end == '\0' && errno == 0;
}

void copy_mask(json_object *request)
{
    json_object *count_member = nullptr, *channels = nullptr;
    long long count = 0;
    uint64_t expected = 0;
    if (json_object_object_get_ex(request, "copyCnt", &count_member) && plain_int(count_member, &count) &&
        count >= 1 && count <= INT32_MAX && json_object_object_get_ex(request, "copyChn", &channels) &&
        json_object_is_type(channels, json_type_array)) {
        for (size_t i = 0; i < json_object_array_length(channels) && i < static_cast<size_t>(count); ++i) {
            long long n = -1;
            if (plain_int(json_object_array_get_idx(channels, i), &n) && n >= 0 && n < 64)
                expected |= uint64_t{1} << n;
        }
    }
    if (get_copy_flag_by_json(request, "copyChn", "copyCnt") != expected)
        fail("the copy mask differs from a plain reading");
}

void section(const std::string &body, int size)
{
    // The pattern: the body's first three characters (or fewer), looked for in the whole body; both
    // as C strings, up to their first NUL.
    const std::string pattern = body.substr(0, std::min<size_t>(3, body.size()));
    char out[64];
    memset(out, '#', sizeof out);
    const int rc = get_section_info(body.c_str(), pattern.c_str(), out, size);
    const std::string text(body.c_str()), plain_pattern(pattern.c_str());
    const size_t at = plain_pattern.empty() ? std::string::npos : text.find(plain_pattern);
    const int expected_rc = size < 1 || text.empty() || at == std::string::npos ? -1 : 0;
    if (rc != expected_rc)
        fail("the section's result differs from a plain search");
    for (int i = size + 1; i < static_cast<int>(sizeof out); ++i) {
        if (out[i] != '#')
            fail("the section was written past its size");
    }
    if (rc == 0) {
        const std::string after = text.substr(at + plain_pattern.size());
        const std::string expected = after.substr(0, std::min(after.find('?'), static_cast<size_t>(size - 1)));
        if (out[expected.size()] != '\0' || std::string(out) != expected)
            fail("the section differs from a plain search");
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int chn = data[0] % 68 - 2;
    const int type = data[1] % 33 - 1;
    const int section_size = data[2] % 41;
    const std::string body(reinterpret_cast<const char *>(data) + 3, size - 3);
    section(body, section_size);
    json_ptr request(get_request_tokener_json_object(body.c_str()));
    if (!request)
        return 0;
    schedules(request.get());
    action_lists(request.get(), chn, type);
    copy_mask(request.get());
    return 0;
}
