#include "front/session_gate.h"
#include "front/dispatchreq.h"
#include "link/web_env.h"
#include "link/web_refusal.h"
#include "link/web_session.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_text.h"

#include <cstring>
#include <ctime>
#include <strings.h>

namespace {
// Only the request being served: handlers read it through web_current_session().
web_session g_session;

bool copy_cookie(const char *name, char *out, size_t size)
{
    size_t length = 0;
    const char *value = cgi_cookie_item(cgiCookie, name, &length);
    if (value == nullptr || length >= size)
        return false;
    memcpy(out, value, length);
    out[length] = '\0';
    return true;
}

// A "userName" cookie is optional; when sent it must be the session's user, as the pages store it
// (plain) or as a browser may send it (percent-encoded).
bool user_cookie_matches(const web_session &session)
{
    size_t length = 0;
    if (cgi_cookie_item(cgiCookie, "userName", &length) == nullptr)
        return true;
    char sent[3 * sizeof session.name];
    if (!copy_cookie("userName", sent, sizeof sent))
        return false;
    if (strcmp(sent, session.name) == 0)
        return true;
    char decoded[sizeof sent];
    return get_url_decode(sent, decoded, sizeof decoded) == 0 && strcmp(decoded, session.name) == 0;
}

bool from_another_site()
{
    return strcasecmp(cgiSecFetchSite, "cross-site") == 0 ||
           (cgiOrigin[0] != '\0' && cgi_origin_is_other_host(cgiOrigin, cgiServerAddr));
}

// The administrator holds every right.
const char *missing_right(const web_session &session, web_right right)
{
    switch (right) {
    case web_right::none:
    case web_right::session:
        return nullptr;
    case web_right::settings:
        return session.type == 0 || session.remote_settings != 0 ? nullptr : "the settings right is needed";
    case web_right::admin:
        return session.type == 0 ? nullptr : "the administrator right is needed";
    case web_right::unset:
        break;
    }
    return "the page has no declared right";
}

// An authority without the scheme's default port, for comparison.
size_t authority_length(const char *authority, size_t length, const char *default_port)
{
    size_t port = strlen(default_port);
    if (port > 0 && length > port && strncmp(authority + length - port, default_port, port) == 0)
        return length - port;
    return length;
}
}  // namespace

const char *cgi_cookie_item(const char *cookie, const char *name, size_t *length)
{
    const size_t name_length = strlen(name);
    const char *item = cookie;
    while (item != nullptr && *item != '\0') {
        while (*item == ' ' || *item == '\t')
            ++item;
        const size_t item_length = strcspn(item, ";");
        if (item_length > name_length && strncmp(item, name, name_length) == 0 && item[name_length] == '=') {
            const char *value = item + name_length + 1;
            size_t value_length = item_length - name_length - 1;
            while (value_length > 0 && (value[value_length - 1] == ' ' || value[value_length - 1] == '\t'))
                --value_length;
            *length = value_length;
            return value;
        }
        item = item[item_length] == ';' ? item + item_length + 1 : nullptr;
    }
    return nullptr;
}

bool cgi_origin_is_other_host(const char *origin, const char *host)
{
    const char *separator = strstr(origin, "://");
    if (separator == nullptr)
        return true;
    const size_t scheme_length = static_cast<size_t>(separator - origin);
    const char *default_port = "";
    if (scheme_length == 4 && strncasecmp(origin, "http", 4) == 0)
        default_port = ":80";
    else if (scheme_length == 5 && strncasecmp(origin, "https", 5) == 0)
        default_port = ":443";
    const char *authority = separator + 3;
    size_t length = authority_length(authority, strcspn(authority, "/"), default_port);
    size_t host_length = authority_length(host, strlen(host), default_port);
    return length == 0 || length != host_length || strncasecmp(authority, host, length) != 0;
}

bool cgi_session_gate()
{
    const web_right right = WebResRight(cgiPathInfo);
    if (right == web_right::none)
        return true;
    int check = 0;
    if (get_param_int_checked(VXDB_MAIN_DB, "web_session_check", 0, &check) != 0) {
        cgi_refuse_unauthorized("the gate's parameter cannot be read");
        return false;
    }
    if (check == 0)
        return true;

    char id[WEB_SESSION_ID_SIZE];
    if (!copy_cookie("sessionId", id, sizeof id)) {
        cgi_refuse_unauthorized("no session");
        return false;
    }
    const int found = web_session_find(id, time(nullptr), &g_session);
    if (found < 0) {
        cgi_refuse_unauthorized("the session store cannot be read");
        return false;
    }
    if (found > 0) {
        cgi_refuse_unauthorized("no live session of that id");
        return false;
    }
    g_session.name[sizeof g_session.name - 1] = '\0';
    if (!user_cookie_matches(g_session)) {
        cgi_refuse_unauthorized("the user name cookie names another user", g_session.name);
        return false;
    }
    if (from_another_site()) {
        cgi_refuse_forbidden("a request from another site", g_session.name);
        return false;
    }
    if (const char *missing = missing_right(g_session, right)) {
        cgi_refuse_forbidden(missing, g_session.name);
        return false;
    }
    web_set_current_session(&g_session);
    return true;
}
