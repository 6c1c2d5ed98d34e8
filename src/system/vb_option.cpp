// "/vb.htm": the option table, its hash, the split of a request into options, and the handler that
// runs them in order.
#include "link/web_answer.h"
#include "system/system_module.h"
#include "system/vb_option.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

http_option_entry HttpOptionTable[9] = {
    {"setlang", on_vb_setlang, 0, 1, nullptr},
    {"setdefault", on_vb_setdefault, 0, 1, nullptr},
    {"decode", on_vb_decode, 0, 1, nullptr},
    {"hotplug", on_vb_hotplug, 0, 1, nullptr},
    {"oemclean", on_vb_oemclean, 0, 1, nullptr},
    {"paratest", on_vb_paratest, 0, 1, nullptr},
    {"chipupdate", on_vb_chipupdate, 0, 1, nullptr},
    {"modelupdate", on_vb_modelupdate, 0, 1, nullptr},
    {"softversion", on_vb_softversion, 2, 1, nullptr},
};

// A request that is only one of these names is that option with the value "1"; "velto" and
// "debug" have no entry, so they are answered as unknown.
const char HTTP_OPTION_NO_ARG[HTTP_OPTION_NO_ARG_SLOTS][HTTP_OPTION_TEXT] = {
    "oemclean", "velto", "debug", "softversion",
};

namespace {
http_option_entry **cmd_hash = nullptr;

// Copies the characters of `text` from `at` up to `stop` or the end into `out`; false when one lies
// beyond the span of the options or there are more than fit. `at` is left on the stop character.
bool take_option_text(const char *text, int *at, char stop, char (&out)[HTTP_OPTION_TEXT])
{
    int length = 0;
    for (; text[*at] != '\0' && text[*at] != stop; ++*at) {
        if (*at >= HTTP_OPTION_SPAN || length == HTTP_OPTION_TEXT - 1)
            return false;
        out[length++] = text[*at];
    }
    out[length] = '\0';
    return true;
}

// Runs the options in order until one is unknown.
void run_options(const http_option *records, int count)
{
    for (int i = 0; i < count; ++i) {
        const http_option_entry *entry = http_option_search(&records[i]);
        if (entry == nullptr) {
            cgi_answer_text("ERROR");
            return;
        }
        entry->handler(&records[i]);
    }
}
}  // namespace

uint32_t hash_cal_value(const char *name)
{
    uint32_t h = 0;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c != '\0'; ++c)
        h = h * 37 + *c;
    return h;
}

int hash_table_init()
{
    hash_table_destory();
    cmd_hash = static_cast<http_option_entry **>(calloc(HTTP_OPTION_BUCKETS, sizeof *cmd_hash));
    if (cmd_hash == nullptr)
        return -1;
    for (http_option_entry &entry : HttpOptionTable)
        hash_insert_entry(static_cast<int>(hash_cal_value(entry.name) % HTTP_OPTION_BUCKETS), &entry);
    return 0;
}

void hash_table_destory()
{
    free(cmd_hash);
    cmd_hash = nullptr;
    for (http_option_entry &entry : HttpOptionTable)
        entry.next = nullptr;
}

void hash_insert_entry(int bucket, http_option_entry *entry)
{
    if (cmd_hash == nullptr || entry == nullptr || bucket < 0 || bucket >= HTTP_OPTION_BUCKETS)
        return;
    entry->next = cmd_hash[bucket];
    cmd_hash[bucket] = entry;
}

http_option_entry *http_option_search(const http_option *record)
{
    if (cmd_hash == nullptr || record == nullptr)
        return nullptr;
    const uint32_t bucket = hash_cal_value(record->name) % HTTP_OPTION_BUCKETS;
    for (http_option_entry *entry = cmd_hash[bucket]; entry != nullptr; entry = entry->next)
        if (strcmp(entry->name, record->name) == 0)
            return entry;
    return nullptr;
}

int is_httpoption_no_arg(const char *data)
{
    if (data == nullptr)
        return 0;
    for (const char *slot : HTTP_OPTION_NO_ARG)
        if (strcmp(slot, data) == 0)
            return 1;
    return 0;
}

int get_httpoption_argnum(const char *data)
{
    if (data == nullptr)
        return 0;
    int count = 0;
    for (int i = 0; i < HTTP_OPTION_COUNTED && data[i] != '\0'; ++i)
        count += data[i] == '=' ? 1 : 0;
    return count;
}

int ui_decodeing(const char *data, http_option *records, int count)
{
    if (data == nullptr || records == nullptr || count < 1 || count > HTTP_OPTION_MAX)
        return -1;
    char text[HTTP_OPTION_COUNTED + 1];
    snprintf(text, sizeof text, "%s", data);
    int at = 0;
    for (int i = 0; i < count; ++i) {
        if (!take_option_text(text, &at, '=', records[i].name))
            return -1;
        if (text[at] == '=')
            ++at;
        if (!take_option_text(text, &at, '&', records[i].value))
            return -1;
        if (text[at] == '&')
            ++at;
    }
    return 0;
}

void on_vb_option(const char *data)
{
    if (data == nullptr || hash_table_init() != 0) {
        cgi_answer_text("ERROR");
        return;
    }
    static http_option records[HTTP_OPTION_MAX];
    memset(records, 0, sizeof records);
    int count = 1;
    if (is_httpoption_no_arg(data)) {
        snprintf(records[0].name, sizeof records[0].name, "%s", data);
        snprintf(records[0].value, sizeof records[0].value, "1");
    } else {
        count = get_httpoption_argnum(data);
        if (count == 0 || ui_decodeing(data, records, count) != 0) {
            cgi_answer_text("PARAM ERROR");
            hash_table_destory();
            return;
        }
    }
    run_options(records, count);
    hash_table_destory();
}
