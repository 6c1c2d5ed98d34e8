// The vxdb tool's JSON loader (vxdb_record_from_json, vxdb_load) on arbitrary JSON, over every
// registered record kind.
//
// Input: byte 0 chooses the kind; the rest is the JSON text. Besides the sanitizers: a record read
// from JSON never spills past its size, and writing it back as JSON and reading that again gives the
// same bytes; vxdb_load refuses exactly when an element (nulls of an array skipped) is refused or its
// index lies outside the kind's range, stores every other one, and the database then holds, at each
// index, the record of the last element for it. The database is a private file under VX_ROOT.
#include "link/web_json.h"
#include "vxdb/vxdb_json.h"
#include "vxdb/vxdb_record.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
char root_dir[] = "/tmp/fuzz-vxdb-json-XXXXXX";
const char db_path[] = "/fuzz.db";
constexpr size_t guard = 16;

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_vxdb_json: %s\n", what);
    abort();
}

// The record of `object`, or an empty vector when it is refused.
std::vector<unsigned char> read_record(const vxdb_kind &kind, json_object *object)
{
    std::vector<unsigned char> record(kind.size + guard, 0xa5);
    std::string error;
    const int result = vxdb_record_from_json(kind, object, record.data(), &error);
    for (size_t i = kind.size; i < record.size(); ++i) {
        if (record[i] != 0xa5)
            fail("a record read from JSON spilled past its size");
    }
    record.resize(kind.size);
    if (result != 0) {
        if (error.empty())
            fail("a refused record gave no reason");
        return {};
    }
    json_ptr again(vxdb_record_to_json(kind, record.data()));
    std::vector<unsigned char> copy(kind.size);
    if (!again || vxdb_record_from_json(kind, again.get(), copy.data(), &error) != 0 || copy != record)
        fail("a record written back as JSON does not read as itself");
    return record;
}

int32_t index_of(const vxdb_kind &kind, const std::vector<unsigned char> &record, size_t position)
{
    if (kind.index_offset == VXDB_NO_INDEX)
        return static_cast<int32_t>(kind.first + static_cast<int64_t>(position));
    int32_t index;
    memcpy(&index, record.data() + kind.index_offset, sizeof index);
    return index;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // In memory where the machine has it: every input may write the database.
    static char shm_dir[] = "/dev/shm/fuzz-vxdb-json-XXXXXX";
    const char *root = mkdtemp(shm_dir) != nullptr ? shm_dir : mkdtemp(root_dir);
    if (root == nullptr || vxdb_kind_count() == 0)
        fail("no temporary root, or no kind registered");
    setenv("VX_ROOT", root, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const vxdb_kind &kind = *vxdb_kind_at(data[0] % vxdb_kind_count());
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    json_ptr value(json_tokener_parse(text.c_str()));
    if (!value)
        return 0;

    // The loader's reading, element by element.
    const bool many = json_object_is_type(value.get(), json_type_array);
    const size_t count = many ? json_object_array_length(value.get()) : 1;
    bool refused = false;
    int stored = 0;
    std::map<int32_t, std::vector<unsigned char>> expected;
    for (size_t i = 0; i < count; ++i) {
        json_object *item = many ? json_object_array_get_idx(value.get(), i) : value.get();
        if (item == nullptr && many)
            continue;
        std::vector<unsigned char> record = read_record(kind, item);
        const int64_t index = record.empty() ? 0 : index_of(kind, record, i);
        if (record.empty() || index < kind.first || index > kind.last) {
            refused = true;
            break;
        }
        expected[static_cast<int32_t>(index)] = std::move(record);
        ++stored;
    }

    std::string error;
    const int loaded = vxdb_load(db_path, kind, value.get(), &error);
    if (loaded != (refused ? -1 : stored))
        fail("vxdb_load stored another number of records than its elements allow");
    if (refused && error.empty())
        fail("vxdb_load refused without a reason");
    for (const auto &[index, record] : expected) {
        if (refused)
            break;
        json_ptr dumped(vxdb_dump(db_path, kind, index));
        std::vector<unsigned char> back(kind.size);
        if (!dumped || vxdb_record_from_json(kind, dumped.get(), back.data(), &error) != 0 || back != record)
            fail("the database does not hold the last record loaded for an index");
    }
    return 0;
}
