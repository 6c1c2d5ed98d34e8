#include "link/web_session.h"

#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_txn.h"

#include <cstring>

namespace {
constexpr vxdb_field web_session_fields[] = {
    VXDB_FIELD(web_session, slot),     VXDB_FIELD(web_session, user_id),
    VXDB_FIELD(web_session, id),       VXDB_FIELD(web_session, name),
    VXDB_FIELD(web_session, address),  VXDB_FIELD(web_session, type),
    VXDB_FIELD(web_session, remote_settings), VXDB_FIELD(web_session, lifetime_s),
    VXDB_FIELD(web_session, created),  VXDB_FIELD(web_session, last_seen),
};
const vxdb_kind web_session_kind = {"web_session", sizeof(web_session), 0, WEB_SESSION_MAX - 1,
                                    VXDB_INDEX_AT(web_session, slot), VXDB_FIELDS(web_session_fields)};
VXDB_REGISTER_KIND(web_session_kind);

web_session g_current;
bool g_has_current = false;

// A key the commissioning set to nothing usable counts as unset.
int positive_or(int value, int def)
{
    return value > 0 ? value : def;
}

bool is_live(const web_session &s, time_t now, int idle_s)
{
    if (s.id[0] == '\0')
        return false;
    const int64_t lifetime = positive_or(s.lifetime_s, WEB_SESSION_MAX_S);
    return now - s.last_seen <= idle_s && now - s.created <= lifetime;
}

// Every byte of the two ids is looked at whatever they hold, so the time taken tells nothing about how
// much of a guess was right.
bool same_id(const char (&stored)[WEB_SESSION_ID_SIZE], const char (&wanted)[WEB_SESSION_ID_SIZE])
{
    volatile unsigned char differ = 0;
    for (size_t i = 0; i < WEB_SESSION_ID_SIZE; ++i)
        differ = static_cast<unsigned char>(differ | (stored[i] ^ wanted[i]));
    return differ == 0;
}

int read_idle(vxdb_txn &txn, int *idle_s)
{
    int value = 0;
    if (txn.param_int("web_session_idle_s", WEB_SESSION_IDLE_S, &value) != 0)
        return -1;
    *idle_s = positive_or(value, WEB_SESSION_IDLE_S);
    return 0;
}
}  // namespace

int web_session_store(web_session *session)
{
    if (session == nullptr || session->id[0] == '\0')
        return -1;
    if (session->created == 0)
        session->created = time(nullptr);
    if (session->last_seen == 0)
        session->last_seen = session->created;
    return vxdb_update(VXDB_MAIN_DB, web_session_kind, [&](vxdb_txn &txn) {
        int idle_s = 0;
        static web_session stored[WEB_SESSION_MAX];
        if (read_idle(txn, &idle_s) != 0 || txn.read_slots(stored, WEB_SESSION_MAX) != WEB_SESSION_MAX)
            return -1;
        // The first slot without a live session, else the session seen longest ago.
        int slot = -1, oldest = 0;
        for (int i = 0; i < WEB_SESSION_MAX && slot < 0; ++i) {
            if (!is_live(stored[i], session->created, idle_s))
                slot = i;
            else if (stored[i].last_seen < stored[oldest].last_seen)
                oldest = i;
        }
        session->slot = slot >= 0 ? slot : oldest;
        return txn.write(session);
    });
}

int web_session_find(const char *id, time_t now, web_session *out)
{
    char wanted[WEB_SESSION_ID_SIZE] = {};
    if (id == nullptr || id[0] == '\0' || strlen(id) >= sizeof wanted)
        return 1;  // no stored id has that form; an empty one must not match a cleared slot
    memcpy(wanted, id, strlen(id));

    web_session found{};
    int rc = vxdb_view(VXDB_MAIN_DB, web_session_kind, [&](vxdb_txn &txn) {
        int idle_s = 0;
        static web_session stored[WEB_SESSION_MAX];
        if (read_idle(txn, &idle_s) != 0 || txn.read_slots(stored, WEB_SESSION_MAX) != WEB_SESSION_MAX)
            return -1;
        int match = -1;
        for (int i = 0; i < WEB_SESSION_MAX; ++i) {
            if (same_id(stored[i].id, wanted) && is_live(stored[i], now, idle_s))
                match = i;
        }
        if (match < 0)
            return 1;
        found = stored[match];
        return 0;
    });
    if (rc != 0)
        return rc < 0 ? -1 : 1;

    if (now - found.last_seen >= WEB_SESSION_TOUCH_S) {
        // Only this request's own session, and only when it is still the one stored. A touch that
        // cannot be written costs the session at most the minutes since the last one; the request
        // goes on.
        vxdb_update(VXDB_MAIN_DB, web_session_kind, [&](vxdb_txn &txn) {
            web_session current;
            if (txn.read(found.slot, &current) != 0 || !same_id(current.id, wanted) || current.last_seen >= now)
                return 1;
            current.last_seen = now;
            return txn.write(&current);
        });
        found.last_seen = now;
    }
    if (out != nullptr)
        *out = found;
    return 0;
}

int web_session_account_changed(int32_t user_id, int enabled, int32_t type, int32_t remote_settings)
{
    return vxdb_update(VXDB_MAIN_DB, web_session_kind, [&](vxdb_txn &txn) {
        static web_session stored[WEB_SESSION_MAX];
        if (txn.read_slots(stored, WEB_SESSION_MAX) != WEB_SESSION_MAX)
            return -1;
        for (web_session &s : stored) {
            if (s.id[0] == '\0' || s.user_id != user_id)
                continue;
            if (!enabled) {
                if (txn.remove(s.slot) != 0)
                    return -1;
                continue;
            }
            if (s.type == type && s.remote_settings == remote_settings)
                continue;
            s.type = type;
            s.remote_settings = remote_settings;
            if (txn.write(&s) != 0)
                return -1;
        }
        return 0;
    });
}

const web_session *web_current_session()
{
    return g_has_current ? &g_current : nullptr;
}

void web_set_current_session(const web_session *session)
{
    g_has_current = session != nullptr;
    if (session != nullptr)
        g_current = *session;
}
