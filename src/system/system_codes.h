// Requests of the system pages to the main service, and what their operation-log records say.
#pragma once

#include "link/link_codes.h"

constexpr int32_t MAIL_LINK_CHECK = 3504;     // mail_link_check; reply: int32 status, 0 = valid link
constexpr int32_t USER_TABLE_CHANGED = 3505;  // none or int32 user id, send only
constexpr int32_t SYSTEM_UPGRADE = 1713;      // firmware upgrade of the recorder
constexpr int32_t ONLINE_DOWNLOAD = 1716;     // download of a firmware image
constexpr int32_t CAMERA_UPGRADE = 3350;      // firmware upgrade of a camera
constexpr int32_t CAMERA_UPGRADE_CHECK = 3365;
constexpr int32_t LOG_EXPORT = 3494;          // log query; reply: the export's result file
constexpr int32_t LOG_SEARCH = 3495;          // log query; reply: operation_log records
constexpr int32_t LOG_DETAIL = 3488;          // operation_log; reply: the entry's detail text
constexpr int32_t DIAGNOSIS_EXPORT = 3528;
constexpr int32_t SET_LANGUAGE = 4000;        // int32 language number, send only ("/vb.htm" setlang)

constexpr oplog_kind LOG_LOGIN = {4, 201, 900};
constexpr oplog_kind LOG_LOGIN_REFUSED = {4, 229, 900};  // user: the name the login was tried with
constexpr oplog_kind LOG_USER_ADDED = {4, 204, 921};
constexpr oplog_kind LOG_USER_DELETED = {4, 204, 922};
