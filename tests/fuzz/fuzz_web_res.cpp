// Resource lookup on arbitrary path names: FindWebRes, WebResRight and the registry's register and
// unregister.
//
// The input is a list of names separated by '\n'. Besides the sanitizers: each name resolves exactly
// as a plain search of the module tables in their fixed order finds it (a whole-name match of at most
// 7 characters, the first module's row winning), with a right exactly when a module holds it; a table
// of the names registered on top resolves the names no module holds to its own rows and leaves the
// modules' names with the modules' handlers; unregistering it gives the registry back as it was.
#include "alarm/alarm_module.h"
#include "batch/batch_module.h"
#include "camera/camera_module.h"
#include "front/dispatchreq.h"
#include "network/network_module.h"
#include "ptz/ptz_module.h"
#include "record/record_module.h"
#include "status/status_module.h"
#include "storage/storage_module.h"
#include "stream/stream_module.h"
#include "system/system_module.h"
#include "video/video_module.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
const web_table *const modules[] = {
    &storage_table, &status_table, &video_table,  &camera_table, &record_table, &network_table,
    &stream_table,  &ptz_table,    &system_table, &batch_table,  &alarm_table,
};

void fuzz_handler(const char *) {}

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_web_res: %s\n", what);
    abort();
}

const web_res *ref_find(const std::string &name)
{
    if (name.size() > 7)
        return nullptr;
    for (const web_table *table : modules) {
        for (int i = 0; i < table->count; ++i) {
            if (name == std::string(table->res[i].name, strnlen(table->res[i].name, sizeof table->res[i].name)))
                return &table->res[i];
        }
    }
    return nullptr;
}

void check_module_lookup(const std::string &name)
{
    const web_res *found = FindWebRes(name.c_str());
    const web_res *want = ref_find(name);
    if ((found == nullptr) != (want == nullptr) ||
        (found != nullptr && (found->handler != want->handler || strcmp(found->name, name.c_str()) != 0)))
        fail("FindWebRes disagrees with a search of the module tables");
    if ((WebResRight(name.c_str()) != web_right::unset) != (want != nullptr))
        fail("a page has a right exactly when a module holds it");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> names;
    for (size_t start = 0; start <= input.size();) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        names.push_back(std::string(input.substr(start, end - start).c_str()));
        start = end + 1;
    }
    if (names.size() > 64)
        names.resize(64);

    for (const std::string &name : names)
        check_module_lookup(name);

    std::vector<web_res> table;
    for (const std::string &name : names) {
        web_res res{};
        memcpy(res.name, name.data(), std::min(name.size(), sizeof res.name - 1));
        res.handler = fuzz_handler;
        table.push_back(res);
    }
    const int before = WebResCount();
    if (WebResRegister(table.data(), static_cast<int>(table.size())) != 0 ||
        WebResCount() != before + static_cast<int>(table.size()))
        fail("a table of names could not be registered");
    for (const std::string &name : names) {
        const web_res *found = FindWebRes(name.c_str());
        const web_res *module = ref_find(name);
        if (module != nullptr ? found == nullptr || found->handler != module->handler
                              : name.size() <= 7 && (found == nullptr || found->handler != fuzz_handler))
            fail("a registered name resolves to the wrong row");
        if (name.size() > 7 && found != nullptr && module == nullptr)
            fail("a name of more than 7 characters was found");
    }
    if (WebResUnregister(table.data(), static_cast<int>(table.size())) != 0)
        fail("the table could not be unregistered");
    // Unregistering by name frees the modules' rows of the same names too: put them back.
    std::vector<web_res> restore;
    for (const web_table *table_of_module : modules) {
        for (int i = 0; i < table_of_module->count; ++i) {
            if (FindWebRes(table_of_module->res[i].name) == nullptr)
                restore.push_back(table_of_module->res[i]);
        }
    }
    if (!restore.empty())
        WebResRegister(restore.data(), static_cast<int>(restore.size()));
    if (WebResCount() != before)
        fail("the registry did not come back to its size");
    for (const std::string &name : names)
        check_module_lookup(name);
    return 0;
}
