// The answers of a request refused before (or instead of) its page's work: no session, or a right the
// session does not hold. Each writes the whole answer, and one line naming the page and the reason
// to standard error (which the web server logs); the diagnostic log gets the line too when the
// request carried a live session, so that anonymous requests cannot fill the device's flash.
//
// The reason is our own fixed text, never request text, a password, a hash or a session id.
#pragma once

// `user`: the name of the live session the request carried, or null when it carried none.

// "Status: 401 Unauthorized", "UNAUTHORIZED" as plain text.
void cgi_refuse_unauthorized(const char *reason, const char *user = nullptr);

// "Status: 403 Forbidden", "FORBIDDEN" as plain text.
void cgi_refuse_forbidden(const char *reason, const char *user);

// The same for a handler behind the gate: the user is that of web_current_session().
void cgi_refuse_forbidden(const char *reason);
