// The system module: its web resources and their handlers, its reply dispatcher (which every request
// of the module names), the reply routes of each source file, and its long waits.
#pragma once

#include "link/web_request.h"
#include "link/web_res.h"

extern const web_table system_table;
extern const cgi_wait_table system_waits;

// Routes a reply of the main service to the routine of its reply code (system_ipc.cpp).
void on_system_ipc_callback(void *unused, const void *header, const void *payload);
extern const cgi_reply_table system_login_replies;
extern const cgi_reply_table system_log_search_replies;
extern const cgi_reply_table system_log_export_replies;

// Log-in (login.cpp)
void on_user_login(const char *data);            // "/1000"
void on_user_login_from_mail(const char *data);  // "/1018"

// User accounts (users.cpp)
void on_get_user_list(const char *data);            // "/6070"
void on_add_new_user(const char *data);             // "/6071"
void on_set_user_info(const char *data);            // "/6072"
void on_del_user_info(const char *data);            // "/6073"
void on_get_oem_user_list(const char *data);        // "/6074"
void on_cgi_set_user_info(const char *data);        // "/6077"
void on_clear_permission_update(const char *data);  // "/1024"

// Service commands (vb_option.cpp)
void on_vb_option(const char *data);  // "/vb.htm"
// The device log (log_search.cpp, log_export.cpp, log_types.cpp)
void on_get_log_info(const char *data);        // "/1002"
void on_download_logfile(const char *data);    // "/1003"
void on_get_log_types(const char *data);       // "/1015"
void on_get_log_details(const char *data);     // "/1021"
void on_check_download_log(const char *data);  // "/1022"
