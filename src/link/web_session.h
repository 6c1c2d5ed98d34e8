// Signed-in sessions: what "/1000" (and the e-mail link) store in the configuration database, what the
// session gate looks up for every request, and the session the gate let through, for handlers.
//
// Only used when the device's commissioning has switched the gate on (parameter "web_session_check"
// = 1); with it off, nothing here is read or written and every page behaves as before, except that an
// account change still updates or ends sessions stored earlier: none may outlive its account when the
// gate is switched on again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

constexpr int WEB_SESSION_MAX = 64;          // live sessions; a new one beyond drops the oldest
constexpr size_t WEB_SESSION_ID_SIZE = 33;   // 32 decimal digits and the end
constexpr int WEB_SESSION_IDLE_S = 1800;     // default of "web_session_idle_s"
constexpr int WEB_SESSION_MAX_S = 43200;     // default of "web_session_max_s"
constexpr int WEB_SESSION_TOUCH_S = 60;      // "last seen" is written at most this often
constexpr int32_t WEB_SESSION_TEMP_USER = -1; // the e-mail link's temporary session has no account

// One stored session (database kind "web_session", index = its slot 0..63; the layout is ours).
struct web_session {
    int32_t slot;              // index in the store
    int32_t user_id;           // the account's slot, WEB_SESSION_TEMP_USER for the e-mail link's
    char id[WEB_SESSION_ID_SIZE];
    char name[64];             // the account's name, as the "userName" cookie carries it
    char address[46];          // client address at sign-in (REMOTE_ADDR)
    char reserved[1];
    int32_t type;              // account type: 0 administrator .. 3; 2 for the temporary session
    int32_t remote_settings;   // the account's "remoteSettings" flag: the "settings" right
    int32_t lifetime_s;        // absolute lifetime: "web_session_max_s" at sign-in, or 600
    int64_t created;           // seconds since 1970
    int64_t last_seen;
};
static_assert(sizeof(web_session) == 184);
static_assert(offsetof(web_session, type) == 152 && offsetof(web_session, created) == 168);

// Stores a new session in one immediate transaction: a free slot, or the slot of the session seen
// longest ago when WEB_SESSION_MAX are stored (expired ones are free). `session.slot` is set. 0, or -1
// when the store cannot be written.
int web_session_store(web_session *session);

// The live session named `id` (compared in constant time): 0 with it in *out, its "last seen" moved to
// `now` when it is older than WEB_SESSION_TOUCH_S; 1 when no live session has that id (none, idle
// longer than "web_session_idle_s", or older than its lifetime); -1 when the store or the expiry keys
// cannot be read (busy past the deadline, I/O error): the caller refuses.
int web_session_find(const char *id, time_t now, web_session *out);

// After an account changed: its sessions take the new type and settings flag; an account that is no
// longer enabled loses its sessions. 0, or -1.
int web_session_account_changed(int32_t user_id, int enabled, int32_t type, int32_t remote_settings);

// The session the gate let this request through with, or null (gate off, or a page of right none).
const web_session *web_current_session();
void web_set_current_session(const web_session *session);
