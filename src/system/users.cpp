// User account pages: list, add, change and delete the device's accounts, and list the factory
// accounts. Accounts live in the configuration database; after a change the main service is told to
// reload them (request 3505).
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_ipc.h"
#include "link/web_json.h"
#include "link/web_oplog.h"
#include "link/web_refusal.h"
#include "link/web_request.h"
#include "link/web_session.h"
#include "system/system_codes.h"
#include "system/system_module.h"
#include "system/user_db.h"
#include "system/user_keys.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_path.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
// A user object of "/6070".
const json_field user_list_keys[] = {
    JSON_OUT_INT("id", user_record, id),
    JSON_OUT_INT("enable", user_record, enable),
    JSON_OUT_TEXT("name", user_record, name),
    JSON_OUT_TEXT("password", user_record, password),
    JSON_OUT_INT("type", user_record, type),
    JSON_OUT_INT("permission", user_record, permission),
    USER_LOCAL_RIGHTS_KEYS,
    JSON_OUT_INT("remotePermission", user_record, remotePermission),
    USER_REMOTE_RIGHTS_KEYS,
};

// A factory account of "/6074".
const json_field oem_user_keys[] = {
    JSON_OUT_INT("id", oem_user_record, id),
    JSON_OUT_INT("enable", oem_user_record, enable),
    JSON_OUT_TEXT("name", oem_user_record, name),
    JSON_OUT_TEXT("password", oem_user_record, password),
    JSON_OUT_INT("type", oem_user_record, type),
    JSON_OUT_INT("permission", oem_user_record, permission),
    JSON_OUT_INT("remotePermission", oem_user_record, remotePermission),
};

// A new account ("/6071"): who, of which type, the summary permissions, and any of the rights
// (absent ones stay 0). Name and password must not be empty either.
const json_field new_user_keys[] = {
    JSON_TEXT("name", user_record, name, JF_REQUIRED),
    JSON_TEXT("password", user_record, password, JF_REQUIRED),
    JSON_INT("type", user_record, type, JF_REQUIRED, USER_TYPE_RANGE),
    JSON_INT("permission", user_record, permission, JF_REQUIRED, USER_PERMISSION_RANGE),
    JSON_INT("remotePermission", user_record, remotePermission, JF_REQUIRED, USER_PERMISSION_RANGE),
    USER_LOCAL_RIGHTS_KEYS,
    USER_REMOTE_RIGHTS_KEYS,
};

// A change of an account ("/6072"): which account, and its new name and password. An empty or
// absent text keeps the stored one; a new name is kept to the characters that tell names apart.
struct user_change {
    int32_t id;
    char name[USER_NAME_MATCH + 1];
    char password[sizeof user_record::password];
};
const json_field user_change_keys[] = {
    JSON_INT("id", user_change, id, JF_REQUIRED, 0, MAX_USERS - 1),
    JSON_TEXT("name", user_change, name, JF_OPTIONAL),
    JSON_TEXT("password", user_change, password, JF_OPTIONAL),
};
// What else a change may set; the channel masks and the summary permissions stay as stored.
const json_field user_settings_keys[] = {
    JSON_INT("type", user_record, type, JF_OPTIONAL, USER_TYPE_RANGE),
    USER_LOCAL_RIGHTS_KEYS,
    USER_REMOTE_RIGHTS_KEYS,
};

// A deletion ("/6073").
struct user_deletion {
    int32_t id;
    int32_t type;
};
const json_field user_deletion_keys[] = {
    JSON_INT("id", user_deletion, id, JF_REQUIRED, 0, MAX_USERS - 1),
    JSON_INT("type", user_deletion, type, JF_REQUIRED, USER_TYPE_RANGE),
};

// Request 3505, send only: the main service reloads its accounts. `id` names the account that
// changed; none after an addition.
void notify_user_table_changed(const int32_t *id)
{
    cgi_send_request(on_system_ipc_callback, USER_TABLE_CHANGED, id != nullptr ? sizeof *id : 0, id);
}

// Whether the request's session may make this change: with the gate on, an administrator may change
// any account in every way; any other session only its own name and password.
bool may_change(json_object *request, int32_t id)
{
    const web_session *session = web_current_session();
    if (session == nullptr || session->type == 0)
        return true;
    if (id != session->user_id)
        return false;
    for (const json_field &field : user_settings_keys) {
        if (json_object_object_get_ex(request, field.key, nullptr))
            return false;
    }
    // Not stored by a change, but asking for them is asking for rights all the same.
    for (const char *key : {"permission", "remotePermission"}) {
        if (json_object_object_get_ex(request, key, nullptr))
            return false;
    }
    return true;
}

// Stored sessions take the account's new state (a freed or disabled account's sessions end). Kept up
// also with the gate off, so no session outlives its account when the gate is switched on again;
// only with the gate on does a failure change the answer.
bool sessions_follow(const user_record &account)
{
    const int rc = web_session_account_changed(account.id, account.enable == 1, account.type, account.remoteSettings);
    return rc == 0 || web_current_session() == nullptr;
}

template <typename Record> bool in_use(const Record &account)
{
    return account.enable != 0;
}
}  // namespace

// "/6070": every account in use.
void on_get_user_list(const char * /*data*/)
{
    static user_record users[MAX_USERS];
    int count = 0;
    if (read_users(VXDB_MAIN_DB, users, MAX_USERS, &count) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    json_ptr list(json_record_array<user_record>(users, count, user_list_keys, in_use<user_record>));
    cgi_answer_json(list.get());
}

// "/6071": adds an account; answers its id, "FAILED_FULL" or "SAMEUSER", nothing to bad input.
void on_add_new_user(const char *data)
{
    const int in_use = read_user_count(VXDB_MAIN_DB);
    if (in_use < 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    if (in_use >= MAX_USERS) {
        cgi_answer_text("FAILED_FULL");
        return;
    }
    user_record user{};
    if (json_read_request(data, new_user_keys, &user) != 0 || user.name[0] == '\0' || user.password[0] == '\0')
        return;
    user.enable = 1;
    set_channel_masks(&user);
    snprintf(user.init_flag, sizeof user.init_flag, "0");
    // The name check and the free slot are decided in the transaction that stores the account.
    const int added = add_user(VXDB_MAIN_DB, &user);
    if (added == USER_SAME_NAME || added == USER_TABLE_FULL) {
        cgi_answer_text(added == USER_SAME_NAME ? "SAMEUSER" : "FAILED_FULL");
        return;
    }
    if (added != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    notify_user_table_changed(nullptr);
    cgi_send_operation_log(on_system_ipc_callback, LOG_USER_ADDED, 0);
    char answer[16];
    snprintf(answer, sizeof answer, "id=%d", user.id);
    cgi_answer_text(answer);
}

// "/6072": changes an account in use; keys that are absent keep their stored values. Answers "OK"
// or "SAMEUSER", nothing to bad input.
void on_set_user_info(const char *data)
{
    json_ptr request(get_request_tokener_json_object(data));
    user_change change{};
    user_record user{};
    if (json_read_fields(request.get(), user_change_keys, &change) != 0)
        return;
    if (!may_change(request.get(), change.id)) {
        cgi_refuse_forbidden("an account change that needs an administrator", web_current_session()->name);
        return;
    }
    // Read, merge, name check and write in one transaction: concurrent changes of the account queue.
    const int changed = change_user(
        VXDB_MAIN_DB, change.id,
        [&](user_record &stored) {
            if (json_read_fields(request.get(), user_settings_keys, &stored) != 0)
                return USER_NOT_IN_USE;  // refused like a slot not in use: no answer
            if (change.name[0] != '\0') {
                memset(stored.name, 0, sizeof stored.name);
                memcpy(stored.name, change.name, sizeof change.name);
            }
            if (change.password[0] != '\0')
                memcpy(stored.password, change.password, sizeof stored.password);
            return 0;
        },
        &user);
    if (changed == USER_NOT_IN_USE)
        return;
    if (changed == USER_SAME_NAME) {
        cgi_answer_text("SAMEUSER");
        return;
    }
    if (changed != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    notify_user_table_changed(&user.id);
    if (!sessions_follow(user)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    cgi_answer_text("OK");
}

// "/6073": frees an account's slot; answers "OK", nothing to bad input.
void on_del_user_info(const char *data)
{
    user_deletion deletion{};
    if (json_read_request(data, user_deletion_keys, &deletion) != 0)
        return;
    user_record blank{};
    blank.id = deletion.id;
    if (write_user(VXDB_MAIN_DB, &blank) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    notify_user_table_changed(&blank.id);
    cgi_send_operation_log(on_system_ipc_callback, LOG_USER_DELETED, 0);
    if (!sessions_follow(blank)) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    cgi_answer_text("OK");
}

// "/6074": the factory accounts in use; nothing on a device without the factory database.
void on_get_oem_user_list(const char * /*data*/)
{
    if (access(vx_path(VXDB_OEM_DB).c_str(), F_OK) != 0)
        return;
    static oem_user_record users[MAX_USERS];
    int count = 0;
    if (read_users_oem(VXDB_OEM_DB, users, MAX_USERS, &count) < 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    json_ptr list(json_record_array<oem_user_record>(users, count, oem_user_keys, in_use<oem_user_record>));
    cgi_answer_json(list.get());
}

// "/6077": the main service reloads the accounts.
void on_cgi_set_user_info(const char * /*data*/)
{
    notify_user_table_changed(nullptr);
    cgi_answer_text("OK");
}

// "/1024": the pages have taken note of changed permissions.
void on_clear_permission_update(const char * /*data*/)
{
    if (set_param_int(VXDB_MAIN_DB, "permission_update", 0) != 0) {
        cgi_error_to_webserver(CGI_TEXT);
        return;
    }
    cgi_answer_text("OK");
}
