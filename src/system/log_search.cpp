// The log search ("/1002"), one page of entries at a time, and the detail text of one entry
// ("/1021"), both answered by the main service, which owns the log.
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_ipc.h"
#include "link/web_json.h"
#include "link/web_request.h"
#include "system/log_query.h"
#include "system/log_records.h"
#include "system/log_text.h"
#include "system/system_codes.h"
#include "system/system_module.h"
#include "vxrt/vx_trans.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {
constexpr int DETAIL_WORDS = sizeof operation_log::detail / 4;

// What the search's reply routine needs of its request.
char search_language[LOG_LANGUAGE_SIZE];
int32_t search_page;

int32_t big_endian_word(const unsigned char *bytes)
{
    return static_cast<int32_t>(uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
                                uint32_t{bytes[3]});
}

void put_big_endian_word(unsigned char *bytes, uint32_t word)
{
    bytes[0] = static_cast<unsigned char>(word >> 24);
    bytes[1] = static_cast<unsigned char>(word >> 16);
    bytes[2] = static_cast<unsigned char>(word >> 8);
    bytes[3] = static_cast<unsigned char>(word);
}

void add(json_object *object, const char *key, json_object *value)
{
    json_object_object_add(object, key, value);
}

json_object *text(const std::string &value)
{
    return json_object_new_string_len(value.data(), static_cast<int>(value.size()));
}

// One entry of the page, its numbers each followed by their words.
json_object *entry_object(const operation_log &entry, int number)
{
    json_object *object = json_object_new_object();
    add(object, "no", json_object_new_int(number));
    add(object, "mainTypeValue", json_object_new_int(entry.main_type));
    add(object, "mainType", text(log_main_type_text(entry.main_type)));
    add(object, "subTypeValue", json_object_new_int64(entry.sub_type));
    add(object, "subType", text(log_type_text(entry.sub_type)));
    add(object, "pts", json_object_new_int64(entry.pts));
    add(object, "ptc", text(log_local_time(entry.pts)));
    add(object, "parameterValue", json_object_new_int(entry.parameter_type));
    add(object, "parameter", text(log_type_text(entry.parameter_type)));
    add(object, "remote", json_object_new_int(entry.remote));
    add(object, "chanNo", json_object_new_int(entry.chan_no));
    add(object, "disk", json_object_new_int(log_channo_is_disk(entry.main_type, entry.sub_type)));
    add(object, "size", json_object_new_int(entry.size));
    add(object, "detail", text(log_field_text(reinterpret_cast<const char *>(entry.detail), sizeof entry.detail)));
    int32_t words[DETAIL_WORDS];
    for (int i = 0; i < DETAIL_WORDS; ++i)
        words[i] = big_endian_word(entry.detail + 4 * i);
    add(object, "detail2", json_int_array(words, DETAIL_WORDS));
    add(object, "ip", text(log_client_address(entry)));
    add(object, "user", text(log_field_text(entry.user, sizeof entry.user)));
    return object;
}

// 8495: the page. A reply shorter than the whole page holds no usable page: "ERROR", at once.
int on_log_search_info_cb(int count, const void *payload)
{
    if (count < 1)
        return cgi_writeback_webserver(CGI_JSON, "ERROR") == 0 ? CGI_REPLY_ANSWERED : CGI_REPLY_UNUSABLE;
    int32_t header[2];
    memcpy(header, payload, sizeof header);
    const int entries = header[1] < 0 ? 0 : header[1] > LOG_PAGE_ENTRIES ? LOG_PAGE_ENTRIES : header[1];
    const void *slots = static_cast<const unsigned char *>(payload) + offsetof(log_search_reply, entries);
    trans_init(search_language);
    json_ptr list(json_object_new_array());
    for (int i = 0; i < entries; ++i)
        json_object_array_add(list.get(), entry_object(cgi_reply_record<operation_log>(slots, i), i));
    trans_deinit();
    json_ptr answer(json_object_new_object());
    add(answer.get(), "count", json_object_new_int(header[0]));
    add(answer.get(), "num", json_object_new_int(entries));
    add(answer.get(), "curPageNum", json_object_new_int(search_page));
    add(answer.get(), "log", list.release());
    return cgi_answer_json(answer.get());
}

// The entry "/1021" asks about, as "/1002" listed it; members left out stay 0.
const json_field detail_keys[] = {
    JSON_INT("mainTypeValue", operation_log, main_type, JF_OPTIONAL, JF_ANY),
    JSON_INT("subTypeValue", operation_log, sub_type, JF_OPTIONAL, JF_ANY),
    JSON_INT("pts", operation_log, pts, JF_OPTIONAL, JF_ANY),
    JSON_INT("parameterValue", operation_log, parameter_type, JF_OPTIONAL, JF_ANY),
    JSON_INT("remote", operation_log, remote, JF_OPTIONAL, JF_ANY),
    JSON_INT("chanNo", operation_log, chan_no, JF_OPTIONAL, JF_ANY),
    JSON_INT("size", operation_log, size, JF_OPTIONAL, JF_ANY),
    JSON_TEXT("ip", operation_log, ip, JF_OPTIONAL),
    JSON_TEXT("user", operation_log, user, JF_OPTIONAL),
};

// "detail2": up to 128 integers, each 32 bits of the detail in big-endian order (a negative value is
// its two's complement, as "/1002" showed it). 0, or -1 for anything else.
int read_detail_words(json_object *request, operation_log *entry)
{
    json_object *words = nullptr;
    if (!json_object_object_get_ex(request, "detail2", &words) || json_object_is_type(words, json_type_null))
        return 0;
    if (!json_object_is_type(words, json_type_array) || json_object_array_length(words) > DETAIL_WORDS)
        return -1;
    for (size_t i = 0; i < json_object_array_length(words); ++i) {
        json_object *word = json_object_array_get_idx(words, i);
        const int64_t value = json_object_get_int64(word);
        if (!json_object_is_type(word, json_type_int) || value < INT32_MIN || value > UINT32_MAX)
            return -1;
        put_big_endian_word(entry->detail + 4 * i, static_cast<uint32_t>(value));
    }
    return 0;
}

// 8488: the detail text, as long as the reply's text runs.
int on_log_web_get_log_detail_cb(int count, const void *payload)
{
    const std::string detail(static_cast<const char *>(payload), strnlen(static_cast<const char *>(payload), count));
    return cgi_answer_text(detail.c_str());
}

const cgi_reply_route search_routes[] = {
    {reply_of(LOG_SEARCH), sizeof(log_search_reply), on_log_search_info_cb, CGI_LIST},
    {reply_of(LOG_DETAIL), 1, on_log_web_get_log_detail_cb},
};
}  // namespace

const cgi_reply_table system_log_search_replies = {CGI_ROWS(search_routes)};

// "/1002": one page of the entries that match the query.
void on_get_log_info(const char *data)
{
    log_query query;
    if (log_read_query(data, LOG_QUERY_SEARCH, &query, search_language) != 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    search_page = query.page;
    cgi_exchange(on_system_ipc_callback, LOG_SEARCH, sizeof query, &query, CGI_JSON);
}

// "/1021": the main service's detail text of the entry; nothing to a body that is not such an entry.
void on_get_log_details(const char *data)
{
    operation_log entry{};
    json_ptr request(get_request_tokener_json_object(data));
    if (!json_object_is_type(request.get(), json_type_object) || json_read_fields(request.get(), detail_keys, &entry) != 0)
        return;
    if (read_detail_words(request.get(), &entry) != 0)
        return;
    cgi_exchange(on_system_ipc_callback, LOG_DETAIL, sizeof entry, &entry, CGI_TEXT);
}
