#include "front/dispatchreq.h"
#include "link/web_log.h"

#include <cstring>

namespace {
// Zero-initialised, so the registry is valid before any static constructor runs.
web_res g_web_res[MAX_WEBREQ_COUNT];
unsigned char g_web_res_used[MAX_WEBREQ_COUNT];
int g_web_res_count;

bool same_name(const char (&slot)[8], const char *name)
{
    return strncmp(slot, name, sizeof slot) == 0 && strlen(name) < sizeof slot;
}
}  // namespace

int WebResRegister(const web_res *table, int count)
{
    if (table == nullptr || count <= 0)
        return -1;
    // One slot always stays free: the refusal starts at count + n == MAX_WEBREQ_COUNT.
    if (count >= MAX_WEBREQ_COUNT - g_web_res_count) {
        cgi_log("dispatchreq", 62, "", "%s", "[tarn debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)");
        return -1;
    }
    int next = 0;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT && next < count; ++slot) {
        if (g_web_res_used[slot])
            continue;
        g_web_res[slot] = table[next++];
        g_web_res[slot].name[sizeof g_web_res[slot].name - 1] = '\0';
        g_web_res_used[slot] = 1;
        ++g_web_res_count;
    }
    return 0;
}

int WebResUnregister(const web_res *table, int count)
{
    if (table == nullptr || count <= 0)
        return -1;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; ++slot) {
        if (!g_web_res_used[slot])
            continue;
        for (int i = 0; i < count; ++i) {
            if (strncmp(g_web_res[slot].name, table[i].name, sizeof table[i].name) == 0) {
                g_web_res[slot] = web_res{};
                g_web_res_used[slot] = 0;
                --g_web_res_count;
                break;
            }
        }
    }
    return 0;
}

const web_res *FindWebRes(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; ++slot) {
        if (g_web_res_used[slot] && same_name(g_web_res[slot].name, name))
            return &g_web_res[slot];
    }
    return nullptr;
}

void DispatchWebReq(const char *name, const char *data)
{
    const web_res *res = FindWebRes(name);
    if (res != nullptr && res->handler != nullptr)
        res->handler(data);
}

int WebResCount()
{
    return g_web_res_count;
}

const web_res *WebResSlot(int index)
{
    if (index < 0 || index >= MAX_WEBREQ_COUNT || !g_web_res_used[index])
        return nullptr;
    return &g_web_res[index];
}
