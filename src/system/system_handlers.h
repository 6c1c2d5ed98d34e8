// The system module's handlers, as system_table.cpp lists them. Each takes the request data string.
#pragma once

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
