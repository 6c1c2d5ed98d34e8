// "/vb.htm" options that set or read one setting: the language of the main service, the decoding and
// HDMI hot-plug parameters, and the software version.
#include "link/web_answer.h"
#include "link/web_request.h"
#include "system/system_codes.h"
#include "system/system_module.h"
#include "system/vb_option.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
constexpr size_t version_size = 256;

// Stores a text parameter that may not exist yet; "OK", or "ERROR" when it could not be written.
void store_text_param(const char *key, const char *value)
{
    const int stored = check_param_key(VXDB_MAIN_DB, key) != 0 ? add_param_value(VXDB_MAIN_DB, key, value)
                                                                : set_param_value(VXDB_MAIN_DB, key, value);
    cgi_answer_text(stored == 0 ? "OK" : "ERROR");
}
}  // namespace

void on_vb_setlang(const http_option *option)
{
    // Read as the service tools write it: leading digits of a decimal number, kept to 32 bits.
    const long long value = strtoll(option->value, nullptr, 10);
    const int32_t language = static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
    cgi_send_request(on_system_ipc_callback, SET_LANGUAGE, sizeof language, &language);
    cgi_answer_text("OK");
}

void on_vb_setdefault(const http_option * /*option*/)
{
}

void on_vb_decode(const http_option *option)
{
    store_text_param("decode", option->value);
}

void on_vb_hotplug(const http_option *option)
{
    store_text_param("hdmihotplug", option->value);
}

void on_vb_softversion(const http_option * /*option*/)
{
    char version[version_size];
    get_param_value(VXDB_MAIN_DB, "software_version", version, sizeof version, "7x.7.0.9");
    cgi_answer_text(version);
}
