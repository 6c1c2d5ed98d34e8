// The catalogue of log types ("/1015"): every main type and, for each, the sub types a search may
// ask for, with their names in the page's language.
#include "link/json_fields.h"
#include "link/web_answer.h"
#include "link/web_json.h"
#include "link/web_request.h"
#include "system/log_query.h"
#include "system/log_text.h"
#include "system/system_module.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_trans.h"

#include <cstdint>
#include <span>

namespace {
constexpr int64_t ALL_SUB_TYPES = 10;
constexpr int OEM_THERMAL = 90;  // the "oem_type" of devices whose cameras raise thermal alarms

// A run of sub type keys, first to last; `oem_only` runs are listed only on OEM_THERMAL devices.
struct key_run {
    int64_t first;
    int64_t last;
    bool oem_only = false;
};

const key_run event_keys[] = {{11, 14}, {15, 16, true}, {17, 30}, {33, 36}, {38, 41}, {37, 37}, {42, 42}, {43, 44}};
const key_run operation_keys[] = {{101, 144}, {200, 228}};
const key_run information_keys[] = {{500, 506}, {511, 521}};
const key_run exception_keys[] = {{400, 407}, {409, 413}};
const key_run debug_keys[] = {{600, 603}};

struct main_type_row {
    int32_t main_type;
    std::span<const key_run> sub_types;  // after ALL_SUB_TYPES, in this order
};
const main_type_row catalogue[] = {
    {1, {}},
    {2, event_keys},
    {4, operation_keys},
    {8, information_keys},
    {32, exception_keys},
    {64, debug_keys},
};

struct catalogue_request {
    char lan[LOG_LANGUAGE_SIZE];
};
const json_field catalogue_keys[] = {
    JSON_TEXT("lan", catalogue_request, lan, JF_REQUIRED),
};

json_object *type_object(int64_t key, const std::string &name)
{
    json_object *object = json_object_new_object();
    json_object_object_add(object, "key", json_object_new_int64(key));
    json_object_object_add(object, "name", json_object_new_string(name.c_str()));
    return object;
}

json_object *sub_type_list(const main_type_row &row, bool oem_thermal)
{
    json_object *list = json_object_new_array();
    json_object_array_add(list, type_object(ALL_SUB_TYPES, log_type_text(ALL_SUB_TYPES)));
    for (const key_run &run : row.sub_types) {
        if (run.oem_only && !oem_thermal)
            continue;
        for (int64_t key = run.first; key <= run.last; ++key)
            json_object_array_add(list, type_object(key, log_type_text(key)));
    }
    return list;
}
}  // namespace

// "/1015": {"mainType": [{key, name} ...], "subType": [[{key, name} ...] per main type]}.
void on_get_log_types(const char *data)
{
    catalogue_request request{};
    int oem_type = 0;
    if (json_read_request(data, catalogue_keys, &request) != 0 ||
        get_param_int_checked(VXDB_MAIN_DB, "oem_type", 0, &oem_type) != 0) {
        cgi_error_to_webserver(CGI_JSON);
        return;
    }
    trans_init(request.lan);
    json_ptr main_types(json_object_new_array());
    json_ptr sub_types(json_object_new_array());
    for (const main_type_row &row : catalogue) {
        json_object_array_add(main_types.get(), type_object(row.main_type, log_main_type_text(row.main_type)));
        json_object_array_add(sub_types.get(), sub_type_list(row, oem_type == OEM_THERMAL));
    }
    trans_deinit();
    json_ptr answer(json_object_new_object());
    json_object_object_add(answer.get(), "mainType", main_types.release());
    json_object_object_add(answer.get(), "subType", sub_types.release());
    cgi_answer_json(answer.get());
}
