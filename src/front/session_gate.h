// The session gate: with parameter "web_session_check" on, a request reaches its page only with a
// live session that holds the page's right (module tables, link/web_res.h), and only from the
// device's own pages. Runs before the body is read, so a refused request reads, stores, uploads and
// sends nothing.
#pragma once

#include <cstddef>

// true: go on (gate off, a page open to all, or a session that holds the right, which is then
// web_current_session()). false: the request was refused and its whole answer written.
bool cgi_session_gate();

// The value of the cookie item named exactly `name` in `cookie` ("a=1; b=2"): its start, and its
// length in *length; null when there is no such item.
const char *cgi_cookie_item(const char *cookie, const char *name, size_t *length);

// Whether `origin` (an Origin header: "scheme://host[:port]") names another host than `host` (the
// Host header), the scheme's default port counting as none. An origin that is no URL ("null") does.
bool cgi_origin_is_other_host(const char *origin, const char *host);
