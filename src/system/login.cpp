// Log-in pages: the password check of "/1000" and the e-mail link of "/1018".
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_env.h"
#include "link/web_ipc.h"
#include "link/web_json.h"
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "link/web_session.h"
#include "system/login_guard.h"
#include "system/session.h"
#include "system/system_codes.h"
#include "system/system_module.h"
#include "system/user_db.h"
#include "system/user_keys.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <strings.h>

namespace {
constexpr int LOGIN_REFUSED = -1;
constexpr int LOGIN_NOT_HERE = -2;  // an account of a type that may not use the web interface
constexpr int LOGIN_UNREADABLE = -3;  // not an answer: the accounts cannot be read

constexpr int MAIL_COOKIE_SECONDS = 600;  // also the life of the e-mail link's session

// The login request: the name and the password hash as the page computed it.
struct login_request {
    char userName[256];
    char md5[33];
};
const json_field login_keys[] = {
    JSON_TEXT("userName", login_request, userName, JF_OPTIONAL),
    JSON_TEXT("md5", login_request, md5, JF_OPTIONAL),
};

// The account part of the login answer. "remotePermisson" is spelled as the pages read it here.
const json_field login_answer_keys[] = {
    JSON_OUT_INT("type", user_record, type),
    JSON_OUT_TEXT("userName", user_record, name),
    JSON_OUT_INT("permission", user_record, permission),
    USER_LOCAL_RIGHTS_KEYS,
    JSON_OUT_INT("remotePermisson", user_record, remotePermission),
    USER_REMOTE_RIGHTS_KEYS,
};

// The text of the e-mail link, for the main service to judge (request 3504).
struct mail_link_check {
    char link[256];
};
static_assert(sizeof(mail_link_check) == 256);

// The cookies of a valid e-mail link: a short-lived session of its own.
struct cookie {
    const char *name;
    const char *value;
};
const cookie mail_cookies[] = {
    {"userName", "temp"}, {"userType", "2"}, {"permission", "0"}, {"sessionId", "0"}, {"language", "en-US"},
};

// The account's type when the hash matches, LOGIN_NOT_HERE for an account that may not log in here,
// LOGIN_REFUSED otherwise, LOGIN_UNREADABLE when the accounts cannot be read. Nothing to compare (no
// name, no hash, or an account without a stored hash) never matches.
int check_login(const login_request &login, user_record *user)
{
    if (login.userName[0] == '\0' || login.md5[0] == '\0')
        return LOGIN_REFUSED;
    user->id = -1;
    const int found = read_user_by_name(VXDB_MAIN_DB, login.userName, user);
    if (found < 0)
        return LOGIN_UNREADABLE;
    if (found != 0 || user->password[0] == '\0')
        return LOGIN_REFUSED;
    if (user->type == USER_TYPE_NO_WEB)
        return LOGIN_NOT_HERE;
    return strncasecmp(user->password, login.md5, sizeof user->password) == 0 ? user->type : LOGIN_REFUSED;
}

// The session gate's parameter: 1 on (any value but 0), 0 off or absent, -1 when it cannot be read.
int session_gate_state()
{
    int check = 0;
    if (get_param_int_checked(VXDB_MAIN_DB, "web_session_check", 0, &check) != 0)
        return -1;
    return check != 0 ? 1 : 0;
}

// Stores the session a login hands out, for the gate to find. 0, or -1.
int store_session(const char *session_id, int32_t user_id, const char *name, int32_t type, int32_t remote_settings,
                  int lifetime_s, time_t now)
{
    web_session session{};
    session.user_id = user_id;
    snprintf(session.id, sizeof session.id, "%s", session_id);
    snprintf(session.name, sizeof session.name, "%s", name);
    snprintf(session.address, sizeof session.address, "%s", cgiRemoteAddr != nullptr ? cgiRemoteAddr : "");
    session.type = type;
    session.remote_settings = remote_settings;
    session.lifetime_s = lifetime_s;
    session.created = now;
    session.last_seen = now;
    return web_session_store(&session);
}

int store_login_session(const char *session_id, const user_record &user, time_t now)
{
    int lifetime_s = WEB_SESSION_MAX_S;
    if (get_param_int_checked(VXDB_MAIN_DB, "web_session_max_s", WEB_SESSION_MAX_S, &lifetime_s) != 0)
        return -1;
    if (lifetime_s <= 0)
        lifetime_s = WEB_SESSION_MAX_S;
    return store_session(session_id, user.id, user.name, user.type, user.remoteSettings, lifetime_s, now);
}

// The device facts that follow the account in the login answer.
struct device_facts {
    char hardware[32];
    char software[256];
    char model[256];
    int failover_mode;
    int same_channel;
};

// 0, or -1 when any of them cannot be read: a device must not present itself with made-up versions
// because its database was busy. A key that is not stored reads as its default.
int read_device_facts(device_facts *facts)
{
    const char *db = VXDB_MAIN_DB;
    if (get_param_value_checked(db, "hardware_version", "V1.1", facts->hardware, sizeof facts->hardware) != 0 ||
        get_param_value_checked(db, "software_version", "7x.7.0.9", facts->software, sizeof facts->software) != 0 ||
        get_param_value_checked(db, "model", "", facts->model, sizeof facts->model) != 0 ||
        get_param_int_checked(db, "failover_mode", 0, &facts->failover_mode) != 0 ||
        get_param_int_checked(db, "same_channel_exist", 0, &facts->same_channel) != 0)
        return -1;
    facts->same_channel = facts->same_channel == 2 ? 1 : 0;
    return 0;
}

void add_session_facts(json_object *answer, const char *session_id, const device_facts &facts)
{
    json_object_object_add(answer, "sessionId", json_object_new_string(session_id));
    json_object_object_add(answer, "failoverMode", json_object_new_int(facts.failover_mode));
    json_object_object_add(answer, "sameChannel", json_object_new_int(facts.same_channel));
    json_object_object_add(answer, "hardwareVersion", json_object_new_string(facts.hardware));
    json_object_object_add(answer, "softwareVersion", json_object_new_string(facts.software));
    json_object_object_add(answer, "model", json_object_new_string(facts.model));
}

// The login's operation-log record, of a login or a refused one: there is no session yet, so the
// login name stands in.
void send_login_log(const oplog_kind &kind, const char *login_name)
{
    operation_log record;
    cgi_init_log_info(&record);
    record.main_type = kind.main_type;
    record.sub_type = kind.sub_type;
    record.parameter_type = kind.parameter_type;
    memset(record.user, 0, sizeof record.user);
    snprintf(record.user, sizeof record.user, "%s", login_name);
    cgi_send_log_record(on_system_ipc_callback, &record);
}

// Reply 8504: a valid link (0) gets the temporary session's cookies and the live page, any other
// value the start page.
int on_user_login_from_mail_cb(int count, const void *payload)
{
    int32_t status = 0;
    cgi_reply_result(count, payload, &status);
    if (status == 0) {
        // With the gate on, the link's session is a stored one, so the pages it opens pass the gate.
        char session_id[SESSION_ID_SIZE] = "0";
        const int gate = session_gate_state();
        if (gate < 0 || (gate == 1 && (get_session_id(session_id) != 0 ||
                                       store_session(session_id, WEB_SESSION_TEMP_USER, "temp", 2, 0,
                                                     MAIL_COOKIE_SECONDS, time(nullptr)) != 0))) {
            cgi_error_to_webserver(CGI_TEXT);
            return CGI_REPLY_ANSWERED;
        }
        char domain[COOKIE_DOMAIN_SIZE];
        mail_cookie_domain(cgiServerAddr, domain);
        for (const cookie &c : mail_cookies) {
            const char *value = strcmp(c.name, "sessionId") == 0 ? session_id : c.value;
            cgiHeaderCookieSetString(c.name, value, MAIL_COOKIE_SECONDS, "/", domain);
        }
        cgiHeaderLocation("../../html/index.html");
    } else {
        cgiHeaderLocation("../../html/home.html");
    }
    fflush(cgiOut);
    return CGI_REPLY_ANSWERED;
}

const cgi_reply_route login_routes[] = {
    {reply_of(MAIL_LINK_CHECK), CGI_RESULT_SIZE, on_user_login_from_mail_cb},
};
}  // namespace

const cgi_reply_table system_login_replies = {CGI_ROWS(login_routes)};

// "/1000": checks the name and password hash; answers the account's rights with a fresh session id.
// Every answer, refusals included, is a JSON object under the plain-text header.
void on_user_login(const char *data)
{
    login_request login{};
    if (json_read_request(data, login_keys, &login) != 0)
        return;  // the login page expects no answer to an unreadable body
    config_ssl_params();

    // With the gate on, a login is stored as a session, and an address that keeps guessing is held
    // back: refused as a wrong password is, without comparing anything.
    const int gate = session_gate_state();
    const time_t now = time(nullptr);
    bool counted = false;
    int held = 0;
    if (gate < 0 || (gate == 1 && (held = login_guard_held(cgiRemoteAddr, login.userName, now, &counted)) < 0)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }

    user_record user{};
    const int type = held ? LOGIN_REFUSED : check_login(login, &user);
    if (type == LOGIN_UNREADABLE) {
        cgi_error_to_webserver(CGI_TEXT);  // neither counted nor logged: nothing was compared
        return;
    }
    json_ptr answer(json_object_new_object());
    if (type < 0) {
        if (gate == 1) {
            if (!held)
                login_guard_refused(cgiRemoteAddr, login.userName, now);  // the refusal stands either way
            send_login_log(LOG_LOGIN_REFUSED, login.userName);
        }
        json_object_object_add(answer.get(), "type", json_object_new_int(type));
        cgi_answer_json_as_text(answer.get());
        return;
    }
    json_add_fields(answer.get(), login_answer_keys, &user);
    device_facts facts{};
    char session_id[SESSION_ID_SIZE];
    if (read_device_facts(&facts) != 0 || get_session_id(session_id) != 0 ||
        (gate == 1 && store_login_session(session_id, user, now) != 0)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    if (counted)
        login_guard_passed(cgiRemoteAddr, login.userName);
    add_session_facts(answer.get(), session_id, facts);
    send_login_log(LOG_LOGIN, login.userName);
    cgi_answer_json_as_text(answer.get());
}

// "/1018": asks the main service whether the e-mail link is valid; the reply routine answers.
void on_user_login_from_mail(const char *data)
{
    mail_link_check check{};
    snprintf(check.link, sizeof check.link, "%s", data != nullptr ? data : "");
    cgi_exchange(on_system_ipc_callback, MAIL_LINK_CHECK, sizeof check, &check, CGI_TEXT);
}
