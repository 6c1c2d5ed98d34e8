// The system exceptions ("/6999", "/6998"): one action word per exception kind, the mail interval of
// a recording failure, and an HTTP notification per named kind. The kinds and their names are the
// platform's (get_exception_name); a kind without a name is not shown.
#include "link/event_actions.h"
#include "link/event_db.h"
#include "link/event_json.h"
#include "link/event_records.h"
#include "link/web_answer.h"
#include "link/web_json.h"
#include "link/web_request.h"
#include "video/video_codes.h"
#include "video/video_db.h"
#include "video/video_module.h"
#include "video/video_records.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_txn.h"
#include "vxrt/vx_exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
constexpr size_t EXCEPTION_ACTIONS_REQUIRED = 8;  // fewer words than this leave the actions as stored
constexpr int EXCEPTION_NAME_SIZE = 32;

const json_field exception_keys[] = {
    JSON_INT("recordFailedMailInterval", trigger_alarms, record_failed_mail_interval, JF_OPTIONAL, JF_ANY),
};

// The first 12 words of "exception" (those not sent: 0). -1 when it is no array of at least 8
// integers.
int read_exception_actions(json_object *request, int32_t (&actions)[EXCEPTION_ACTIONS])
{
    json_object *list = event_array_member(request, "exception");
    if (list == nullptr || json_object_array_length(list) < EXCEPTION_ACTIONS_REQUIRED)
        return -1;
    for (size_t i = 0; i < EXCEPTION_ACTIONS; ++i) {
        actions[i] = 0;
        if (event_int(event_element(list, i), &actions[i]) != 0)
            return -1;
    }
    return 0;
}

// A record per kind: the kind's settings when "httpParams" names it, else not set (chn_id -1).
void read_exception_http(json_object *http, http_notification_params (&records)[EXCEPTION_KINDS])
{
    for (int kind = 0; kind < EXCEPTION_KINDS; ++kind) {
        http_notification_params &record = records[kind];
        memset(&record, 0, sizeof record);
        record.chn_id = -1;
        char name[EXCEPTION_NAME_SIZE];
        json_object *settings = nullptr;
        if (get_exception_name(kind, name, sizeof name) == 0 && name[0] != '\0' &&
            json_object_object_get_ex(http, name, &settings))
            get_http_params_by_object(kind, &record, settings);
    }
}

json_object *exception_http_object(const http_notification_params (&records)[EXCEPTION_KINDS])
{
    json_object *http = json_object_new_object();
    for (int kind = 0; kind < EXCEPTION_KINDS; ++kind) {
        char name[EXCEPTION_NAME_SIZE];
        if (get_exception_name(kind, name, sizeof name) != 0 || name[0] == '\0')
            continue;
        const http_notification_params &record = records[kind];
        json_object *settings = json_object_new_object();
        json_object_object_add(settings, "url", json_text_field(record.url, sizeof record.url));
        json_object_object_add(settings, "username", json_text_field(record.username, sizeof record.username));
        json_object_object_add(settings, "password", json_text_field(record.password, sizeof record.password));
        json_object_object_add(http, name, settings);
    }
    return http;
}
}  // namespace

void on_get_exception(const char * /*data*/)
{
    trigger_alarms actions{};
    http_notification_params records[EXCEPTION_KINDS];
    if (read_trigger_alarms(VXDB_MAIN_DB, &actions) < 0 ||
        read_http_notification_params_batch(VXDB_MAIN_DB, records, EXCEPTION_KINDS, EXCEPT_HTTP_NOTIFICATION_PARAMS) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    json_ptr answer(json_object_new_object());
    json_object_object_add(answer.get(), "httpParams", exception_http_object(records));
    json_object *list = json_object_new_array();
    for (int32_t action : actions.actions)
        json_object_array_add(list, json_object_new_int(action));
    json_object_object_add(answer.get(), "exception", list);
    json_object_object_add(answer.get(), "recordFailedMailInterval",
                           json_object_new_int(actions.record_failed_mail_interval));
    cgi_answer_json(answer.get());
}

void on_set_exception(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    int32_t words[EXCEPTION_ACTIONS];
    trigger_alarms probe{};
    if (read_exception_actions(request.get(), words) != 0 || json_read_fields(request.get(), exception_keys, &probe) != 0)
        return;
    // A mail interval left out keeps the stored one.
    const int rc = vxdb_change<trigger_alarms>(VXDB_MAIN_DB, trigger_alarms_kind, 0, [&](trigger_alarms &actions, bool) {
        std::copy(std::begin(words), std::end(words), actions.actions);
        return json_read_fields(request.get(), exception_keys, &actions);
    });
    if (rc != 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    cgi_send_request(on_video_ipc_callback, EXCEPTION_ACTIONS_CHANGED, 0, nullptr);

    json_object *http = event_member(request.get(), "httpParams");
    if (json_object_is_type(http, json_type_object)) {
        http_notification_params records[EXCEPTION_KINDS];
        read_exception_http(http, records);
        if (write_http_notification_params_batch(VXDB_MAIN_DB, records, EXCEPTION_KINDS,
                                                 EXCEPT_HTTP_NOTIFICATION_PARAMS) != 0) {
            cgi_error_to_webserver(CGI_JSON);
            return;
        }
        cgi_send_request(on_video_ipc_callback, EXCEPTION_HTTP_CHANGED, 0, nullptr);
    }
    json_ptr answer(json_object_new_object());
    json_object_object_add(answer.get(), "status", json_object_new_string("CGI SUCCESS"));
    cgi_answer_json(answer.get());
}
