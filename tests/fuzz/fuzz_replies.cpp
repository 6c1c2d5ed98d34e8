// Reply decoding: the storage, system and video modules' dispatchers (cgi_dispatch_reply over their route
// tables) on frames of arbitrary codes and lengths, the disk list's merge with the configured network
// disks included.
//
// Input: byte 0 chooses the reply code (one of the routes' codes, or with 0xf0 and up the next four
// bytes as they stand), byte 1 the payload length (bit 7: the whole rest; else at most that many
// bytes); the rest is the payload. Each frame goes to every dispatcher. Besides the sanitizers: a code
// without a route, and a payload shorter than one record of a records route, answer nothing and leave
// the completion flag alone; an answer is written exactly when the flag says one was (the format
// reply's results without a text excepted); the disk list is JSON naming each port 1-36 at most once,
// every reported port with the last record reported for it, and every configured network disk with
// the address stored for it. The database is a private one under VX_ROOT; the answers go to a memory
// file in place of standard output.
#include "link/web_env.h"
#include "link/web_ipc.h"
#include "link/web_json.h"
#include "link/web_request.h"
#include "storage/disk_db.h"
#include "storage/storage_codes.h"
#include "storage/storage_module.h"
#include "storage/storage_records.h"
#include "system/system_module.h"
#include "video/video_module.h"
#include "vxdb/vxdb.h"
#include "vxsocket/vxs_frame.h"

#include <sys/mman.h>
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
char root_dir[] = "/tmp/fuzz-replies-XXXXXX";
int answer_fd = -1;

// Enabled network disks of the database; 9 is stored disabled, 0 and 37 out of range.
const disk_record configured[] = {
    {1, 1, "nas", "10.0.0.1", "/share", DISK_TYPE_NFS, 0, 0, 0, "u", "p"},
    {5, 1, "smb", "10.0.0.5", "/video", DISK_TYPE_SMB, 2, 1, 0, "", ""},
    {36, 1, "last", "10.0.0.36", "/x", DISK_TYPE_NFS, 0, 0, 0, "", ""},
    {9, 0, "off", "10.0.0.9", "/off", DISK_TYPE_NFS, 0, 0, 0, "", ""},
};

struct route_code {
    int32_t code;
    size_t record_size;  // 0: a list, run without records too
};
std::vector<route_code> codes;

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_replies: %s\n", what);
    abort();
}

std::string take_answer()
{
    fflush(stdout);
    std::string text;
    char chunk[4096];
    lseek(answer_fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(answer_fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<size_t>(n));
    if (ftruncate(answer_fd, 0) != 0 || lseek(answer_fd, 0, SEEK_SET) != 0)
        fail("the answer file cannot be emptied");
    return text;
}

void add_codes(const cgi_reply_table &table)
{
    for (int i = 0; i < table.count; ++i)
        codes.push_back({table.routes[i].code, table.routes[i].shape == CGI_LIST ? 0 : table.routes[i].record_size});
}

const route_code *route_of(int32_t code)
{
    for (const route_code &r : codes) {
        if (r.code == code)
            return &r;
    }
    return nullptr;
}

void check_disk_list(const std::string &answer, const unsigned char *payload, size_t length)
{
    const std::string header = "Content-type: application/json\r\n\r\n";
    if (answer.compare(0, header.size(), header) != 0)
        fail("the disk list lacks its header");
    json_ptr list(json_tokener_parse(answer.c_str() + header.size()));
    json_object *disks = nullptr;
    if (!list || !json_object_object_get_ex(list.get(), "HDD", &disks) || !json_object_is_type(disks, json_type_array))
        fail("the disk list is no JSON object with an HDD array");
    std::map<int, json_object *> listed;
    for (size_t i = 0; i < json_object_array_length(disks); ++i) {
        json_object *disk = json_object_array_get_idx(disks, i), *port = nullptr;
        json_object_object_get_ex(disk, "portId", &port);
        const int id = json_object_get_int(port);
        if (id < 1 || id > MAX_DISK_PORTS || !listed.emplace(id, disk).second)
            fail("the disk list names a port outside 1-36 or twice");
    }
    std::map<int, disk_status> reported;
    for (size_t offset = 0; offset + sizeof(disk_status) <= length; offset += sizeof(disk_status)) {
        disk_status disk;
        memcpy(&disk, payload + offset, sizeof disk);
        if (disk.port_id >= 1 && disk.port_id <= MAX_DISK_PORTS)
            reported[disk.port_id] = disk;
    }
    for (const auto &[id, disk] : reported) {
        auto it = listed.find(id);
        json_object *state = nullptr;
        if (it == listed.end() || !json_object_object_get_ex(it->second, "state", &state) ||
            json_object_get_int(state) != disk.state)
            fail("a reported disk is missing or not the last record of its port");
    }
    for (const disk_record &db : configured) {
        if (db.enable != 1)
            continue;
        auto it = listed.find(db.id);
        if (it == listed.end())
            fail("a configured network disk is missing");
        auto rep = reported.find(db.id);
        if (rep != reported.end() && rep->second.disk_type != DISK_TYPE_NFS && rep->second.disk_type != DISK_TYPE_SMB)
            continue;
        json_object *address = nullptr;
        json_object_object_get_ex(it->second, "address", &address);
        if (strcmp(json_object_get_string(address), db.address) != 0)
            fail("a configured network disk lost its stored address");
    }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (mkdtemp(root_dir) == nullptr)
        fail("no temporary root");
    setenv("VX_ROOT", root_dir, 1);
    for (const char *dir : {"/mnt", "/mnt/nand", "/mnt/nand/app", "/tmp", "/var", "/var/run"})
        mkdir((std::string(root_dir) + dir).c_str(), 0755);
    for (const disk_record &disk : configured) {
        if (write_disk(VXDB_MAIN_DB, &disk) != 0)
            fail("the configured disks cannot be stored");
    }
    answer_fd = memfd_create("fuzz-replies-answer", 0);
    if (answer_fd < 0 || dup2(answer_fd, STDOUT_FILENO) < 0)
        fail("no answer file");
    answer_fd = STDOUT_FILENO;
    cgiOut = stdout;
    for (const cgi_reply_table *table : {&storage_disk_replies, &storage_format_replies, &storage_raid_replies,
                                         &system_login_replies, &system_log_search_replies,
                                         &system_log_export_replies, &video_motion_map_replies,
                                         &video_camera_event_replies})
        add_codes(*table);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    int32_t code = codes[data[0] % codes.size()].code;
    size_t start = 2;
    if (data[0] >= 0xf0 && size >= 6) {
        memcpy(&code, data + 2, sizeof code);
        start = 6;
    }
    size_t length = size - start;
    if ((data[1] & 0x80) == 0 && length > data[1])
        length = data[1];
    // The client hands routines a payload aligned for any record.
    std::vector<max_align_t> aligned(length / sizeof(max_align_t) + 1);
    unsigned char *payload = reinterpret_cast<unsigned char *>(aligned.data());
    memcpy(payload, data + start, length);
    const vxs_header header = vxs_make_header(1, code, 0, static_cast<int32_t>(length));

    const route_code *route = route_of(code);
    for (void (*dispatcher)(void *, const void *, const void *) : {on_storage_ipc_callback, on_system_ipc_callback,
                                                                        on_video_ipc_callback}) {
        g_callback_done = 0;
        dispatcher(nullptr, &header, payload);
        const int done = g_callback_done;
        const std::string answer = take_answer();
        if ((route == nullptr || (route->record_size > 0 && length < route->record_size)) && (done != 0 || !answer.empty()))
            fail("a frame without a usable route answered");
        if (done == CGI_REPLY_MORE)
            fail("a one-frame reply asked for more");
        if (code != reply_of(DISK_FORMAT) && (done != 0) != !answer.empty())
            fail("the completion flag and the answer disagree");
        if (code == reply_of(DISK_LIST) && dispatcher == on_storage_ipc_callback)
            check_disk_list(answer, payload, length);
    }
    return 0;
}
