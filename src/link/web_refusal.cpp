#include "link/web_refusal.h"
#include "link/web_env.h"
#include "link/web_log.h"
#include "link/web_session.h"

#include <cstdio>

namespace {
// Request text and stored names go into a log line: cut, and without anything that could end the
// line or forge another.
void printable_copy(const char *text, char *out, size_t size)
{
    size_t n = 0;
    for (; text != nullptr && text[n] != '\0' && n + 1 < size; ++n) {
        unsigned char c = static_cast<unsigned char>(text[n]);
        out[n] = (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    }
    out[n] = '\0';
}

void refuse(const char *status, const char *body, const char *reason, const char *user)
{
    fprintf(cgiOut, "Status: %s\r\nContent-type: text/plain\r\n\r\n%s", status, body);
    fflush(cgiOut);

    char page[64];
    printable_copy(cgiPathInfo, page, sizeof page);
    char name[64];
    printable_copy(user, name, sizeof name);
    char line[256];
    if (user != nullptr)
        snprintf(line, sizeof line, "refused %s (%s): %s, user %s", page, status, reason, name);
    else
        snprintf(line, sizeof line, "refused %s (%s): %s", page, status, reason);
    fprintf(stderr, "nvr.cgi: %s\n", line);
    if (user != nullptr)
        cgi_log("web_refusal", __LINE__, "refuse", "%s", line);
}
}  // namespace

void cgi_refuse_unauthorized(const char *reason, const char *user)
{
    refuse("401 Unauthorized", "UNAUTHORIZED", reason, user);
}

void cgi_refuse_forbidden(const char *reason, const char *user)
{
    refuse("403 Forbidden", "FORBIDDEN", reason, user);
}

void cgi_refuse_forbidden(const char *reason)
{
    const web_session *session = web_current_session();
    refuse("403 Forbidden", "FORBIDDEN", reason, session != nullptr ? session->name : nullptr);
}
