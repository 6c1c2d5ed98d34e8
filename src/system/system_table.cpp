#include "system/system_module.h"

namespace {
// Path names in the module's fixed order; each is added here as its handler is built.
const web_res system_resources[] = {
    {"/1000", on_user_login},
    {"/1002", on_get_log_info},
    {"/1003", on_download_logfile},
    {"/6070", on_get_user_list},
    {"/6071", on_add_new_user},
    {"/6072", on_set_user_info},
    {"/6073", on_del_user_info},
    {"/1015", on_get_log_types},
    {"/1018", on_user_login_from_mail},
    {"/vb.htm", on_vb_option},
    {"/6074", on_get_oem_user_list},
    {"/1021", on_get_log_details},
    {"/1022", on_check_download_log},
    {"/6077", on_cgi_set_user_info},
    {"/1024", on_clear_permission_update},
};

// Accounts, maintenance and upgrades are the administrator's (the default). The sign-in pages are
// open; a user may change their own account ("/6072" checks the finer rule itself) and clear their
// own notice of changed permissions.
const web_right_row system_rights[] = {
    WEB_RIGHT("/1000", none),
    WEB_RIGHT("/1018", none),
    WEB_RIGHT("/6072", session),
    WEB_RIGHT("/1024", session),
    // Any session may read the device log.
    WEB_RIGHT("/1002", session),
    WEB_RIGHT("/1003", session),
    WEB_RIGHT("/1015", session),
    WEB_RIGHT("/1021", session),
    WEB_RIGHT("/1022", session),
};
}  // namespace

const web_table system_table = {CGI_ROWS(system_resources), &system_waits, web_right::admin,
                                CGI_ROWS(system_rights)};
