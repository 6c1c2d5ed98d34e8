// The disk list ("/6100") and the settings of one disk ("/6101") through nvr.cgi and the fake main
// service, with the disk table of the database set up through the vxdb tool.
#include "e2e/page_table.h"
#include "storage/storage_codes.h"
#include "storage/storage_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
const std::string VXDB = std::string(NVR_BIN_DIR) + "/vxdb";

void vxdb(const test_root &root, const std::vector<std::string> &args, const std::string &input = "")
{
    std::vector<std::string> argv = {VXDB};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_EQ(run_program(root, argv, {}, input).exit_status, 0);
}

std::string stored_disk(const test_root &root, int port)
{
    return run_program(root, {VXDB, "dump", "disk", std::to_string(port)}).out;
}

disk_status reported(int port, const char *vendor, int type)
{
    disk_status d{};
    d.port_id = port;
    strncpy(d.vendor, vendor, sizeof d.vendor);
    d.disk_type = type;
    return d;
}

// One element of "HDD" as json-c writes it; texts as they appear in the answer ('/' escaped,
// account texts URL-encoded).
struct listed {
    int port = 0;
    std::string vendor{}, address{}, directory{};
    long long total = 0, used = 0, free = 0;  // MiB
    int type = 0, state = 0, group = 0, property = 0, usable = 0;
    int level = 0, raid_state = 0, progress = 0, members = 0;
    std::string user{}, password{};
    std::string mask = "0";
};

std::string element(const listed &d)
{
    auto n = [](long long v) { return std::to_string(v); };
    return "{ \"portId\": " + n(d.port) + ", \"vendorName\": \"" + d.vendor + "\", \"address\": \"" + d.address +
           "\", \"directory\": \"" + d.directory + "\", \"totalSize\": " + n(d.total) + ", \"usedSize\": " +
           n(d.used) + ", \"freeSize\": " + n(d.free) + ", \"hddType\": " + n(d.type) + ", \"state\": " +
           n(d.state) + ", \"group\": " + n(d.group) + ", \"property\": " + n(d.property) + ", \"bUsable\": " +
           n(d.usable) + ", \"raid_id\": " + n(d.port) + ", \"raid_level\": " + n(d.level) +
           ", \"raid_state\": " + n(d.raid_state) + ", \"raid_progress\": " + n(d.progress) +
           ", \"raid_sata_cnt\": " + n(d.members) + ", \"raid_task\": " + n(d.progress) + ", \"userName\": \"" +
           d.user + "\", \"password\": \"" + d.password + "\", \"raid_sata_port\": " + d.mask + " }";
}

std::string disk_list(const char *result, int esata, const std::vector<listed> &disks)
{
    std::string hdd;
    for (const listed &d : disks)
        hdd += (hdd.empty() ? "" : ", ") + element(d);
    return JSON + "{ \"resultString\": \"" + result + "\", \"esataType\": " + std::to_string(esata) +
           ", \"HDD\": [ " + hdd + (hdd.empty() ? "" : " ") + "], \"maxDiskNum\": 36 }";
}

// One reading of the disk list, answered with `reply`.
exchange_row disk_list_row(const std::string &reply, const std::string &answer,
                           std::function<void(const test_root &)> setup = {})
{
    return {.request = page_get("/6100", ""),
            .setup = std::move(setup),
            .script = {replies(DISK_LIST, reply)},
            .sent = {asks(DISK_LIST)},
            .answer = answer};
}
}  // namespace

TEST(DiskList, MergesReportedDisksWithConfiguredNetworkDisks)
{
    auto configured = [](const test_root &root) {
        vxdb(root, {"set", "esata_type", "2"});
        vxdb(root, {"load", "disk", "-"},
             R"([{"id": 5, "enable": 1, "vendor": "nas five", "address": "192.168.1.50", "directory": "/export/rec",
                  "type": 3, "group": 4, "property": 1, "user": "rec user", "password": "p@ss/w:rd"},
                 {"id": 7, "enable": 1, "vendor": "db7", "address": "x", "directory": "/y", "type": 3, "user": "u7"},
                 {"id": 9, "enable": 1, "vendor": "smb nine", "address": "fileserver", "directory": "/rec",
                  "type": 10, "group": 3, "property": 1, "user": "u9", "password": "p 9"},
                 {"id": 20, "enable": 0, "vendor": "off", "type": 3}])");
    };

    disk_status nfs = reported(5, "svc", DISK_TYPE_NFS);
    strcpy(nfs.address, "10.0.0.9");
    strcpy(nfs.directory, "/svc");
    strcpy(nfs.user, "svcuser");
    nfs.state = 1;
    nfs.usable = 1;
    nfs.group = 1;
    nfs.total_size = 1ull << 40;
    nfs.used_size = (3ull << 30) + 5;
    nfs.free_size = (1ull << 40) - (3ull << 30);
    disk_status local = reported(7, "ST4000", 1);
    local.state = 1;
    local.usable = 1;
    local.group = 2;
    local.property = 1;
    local.total_size = 4000787030016ull;
    disk_status first = reported(1, "WDC WD20", 1);
    first.state = 1;
    first.usable = 1;
    first.total_size = 2000398934016ull;
    std::string reply = fms_record(reported(1, "replaced", 1)) + fms_record(reported(0, "no port", 1)) +
                        fms_record(reported(37, "no slot", 1)) + fms_record(nfs) + fms_record(local) +
                        fms_record(first);

    run_exchanges({disk_list_row(
        reply,
        disk_list("OK", 2,
                  {
                      {.port = 1, .vendor = "WDC WD20", .total = 1907729, .type = 1, .state = 1, .usable = 1},
                      {.port = 5, .vendor = "nas five", .address = "192.168.1.50", .directory = "\\/export\\/rec",
                       .total = 1048576, .used = 3072, .free = 1045504, .type = 3, .state = 1, .group = 1,
                       .usable = 1, .user = "rec%20user", .password = "p%40ss%2Fw%3Ard"},
                      {.port = 7, .vendor = "ST4000", .total = 3815447, .type = 1, .state = 1, .group = 2,
                       .property = 1, .usable = 1},
                      {.port = 9, .vendor = "smb nine", .address = "fileserver", .directory = "\\/rec", .type = 10,
                       .state = 2, .group = 3, .property = 1, .user = "u9", .password = "p%209"},
                  }),
        configured)});
}

TEST(DiskList, AnswersNoOnlyWhenNothingIsReportedOrConfigured)
{
    run_exchanges({
        // A reply without records and no network disk configured.
        disk_list_row("", disk_list("NO", 0, {})),
        // A record whose port fits no slot still counts as reported.
        disk_list_row(fms_record(reported(0, "x", 1)), disk_list("OK", 0, {})),
        disk_list_row("", disk_list("OK", 0, {{.port = 36, .vendor = "nas", .type = 3, .state = 2}}),
                      [](const test_root &root) {
                          vxdb(root, {"load", "disk", "-"}, R"({"id": 36, "enable": 1, "vendor": "nas", "type": 3})");
                      }),
    });
}

TEST(DiskList, ReplyRecordsAreReadWithinTheirBounds)
{
    disk_status raid = reported(10, "raid", 5);
    raid.raid_level = 5;
    raid.raid_state = 1;
    raid.raid_progress = 40;
    raid.raid_member_count = 20;  // more than the list holds
    for (int i = 0; i < MAX_RAID_MEMBERS; ++i)
        raid.raid_members[i] = i + 1;
    memset(raid.user, 0x11, sizeof raid.user);
    disk_status wide = reported(11, "wide", 5);
    wide.raid_member_count = 5;
    const int32_t wide_members[] = {0, 33, 63, 64, -2};
    memcpy(wide.raid_members, wide_members, sizeof wide_members);
    disk_status negative = reported(12, "negative", 5);
    negative.raid_member_count = -3;
    negative.raid_members[0] = 4;
    // Texts filling their whole fields, without a terminating zero.
    disk_status full = reported(13, "", 1);
    memset(full.vendor, 'V', sizeof full.vendor);
    memset(full.address, 'A', sizeof full.address);
    memset(full.directory, 'D', sizeof full.directory);
    memset(full.user, '%', sizeof full.user);
    memset(full.password, 'p', sizeof full.password);
    std::string cut_record = fms_record(reported(14, "cut", 1)).substr(0, 300);

    std::string percent, control;
    for (int i = 0; i < 32; ++i) {
        percent += "%25";
        control += "%11";
    }
    run_exchanges({disk_list_row(
        fms_record(raid) + fms_record(wide) + fms_record(negative) + fms_record(full) + cut_record,
        disk_list("OK", 0,
                  {
                      {.port = 10, .vendor = "raid", .type = 5, .level = 5, .raid_state = 1, .progress = 40,
                       .members = 16, .user = control, .mask = "131070"},
                      {.port = 11, .vendor = "wide", .type = 5, .members = 5, .mask = "9223372045444710400"},
                      {.port = 12, .vendor = "negative", .type = 5},
                      {.port = 13, .vendor = std::string(63, 'V'), .address = std::string(63, 'A'),
                       .directory = std::string(63, 'D'), .type = 1, .user = percent,
                       .password = std::string(32, 'p')},
                  }))});
}

TEST(DiskList, WithoutAReplyAnswersTheJsonErrorForm)
{
    run_exchanges({
        {.request = page_get("/6100", "", NO_REPLY_WAIT_MS), .sent = {asks(DISK_LIST)}, .answer = JSON_ERROR},
        // A reply of a code the page cannot have is no reply.
        {.request = page_get("/6100", "", NO_REPLY_WAIT_MS),
         .script = {{DISK_LIST, fms_script().reply(14999, fms_record(reported(1, "x", 1)))}},
         .sent = {asks(DISK_LIST)},
         .answer = JSON_ERROR},
    });
}

// Replies of other requests (a format result, the second reply code of a RAID removal) arriving while
// the page waits for the disk list are dropped: the list still answers.
TEST(DiskList, RepliesOfOtherRequestsAreNotTakenForTheList)
{
    run_exchanges({
        {.request = page_get("/6100", ""),
         .script = {{DISK_LIST, fms_script()
                                    .reply(reply_of(DISK_FORMAT), fms_int(0))
                                    .reply(RAID_REMOVED, fms_int(0))
                                    .reply(reply_of(DISK_LIST), fms_record(reported(1, "x", 1)), 30)}},
         .sent = {asks(DISK_LIST)},
         .answer = disk_list("OK", 0, {{.port = 1, .vendor = "x", .type = 1}})},
    });
}

TEST(DiskSettings, AreStoredSentAndLogged)
{
    test_root root;
    fake_main_service fms(root);
    vxdb(root, {"load", "disk", "-"},
         R"({"id": 3, "enable": 1, "vendor": "nas3", "address": "10.1.1.3", "directory": "/d", "type": 3,
             "group": 5, "property": 0, "user": "u", "password": "p"})");
    auto stored = [](int group, int property) {
        return "{\n  \"id\": 3,\n  \"enable\": 1,\n  \"vendor\": \"nas3\",\n  \"address\": \"10.1.1.3\",\n  "
               "\"directory\": \"/d\",\n  \"type\": 3,\n  \"group\": " +
               std::to_string(group) + ",\n  \"property\": " + std::to_string(property) +
               ",\n  \"reserved\": 0,\n  \"user\": \"u\",\n  \"password\": \"p\"\n}\n";
    };
    // A change of `port`: sent and logged, and the port's disk stored as `disk`.
    auto change = [](const char *body, int port, const std::string &settings, const std::string &disk) {
        return exchange_row{.request = page_post("/6101", body),
                            .sent = {notifies(DISK_SETTINGS, settings), logs(LOG_DISK_SETTINGS, port)},
                            .answer = TEXT + "OK",
                            .read_state = [port](const test_root &r) { return stored_disk(r, port); },
                            .state = disk};
    };
    run_exchanges(root, fms,
                  {
                      change(R"({"portId":3,"property":1,"group":2,"private":1})", 3, ints({3, 1, 2, 1}), stored(2, 1)),
                      // A change without a group keeps the stored one; "private" defaults to 0.
                      change(R"({"portId":3,"property":0})", 3, ints({3, 0, 2, 0}), stored(2, 0)),
                      // A port without a stored disk gets a record of its own.
                      change(R"({"portId":"35","property":1,"group":4})", 35, ints({35, 1, 4, 0}),
                             "{\n  \"id\": 35,\n  \"enable\": 0,\n  \"vendor\": \"\",\n  \"address\": \"\",\n  "
                             "\"directory\": \"\",\n  \"type\": 0,\n  \"group\": 4,\n  \"property\": 1,\n  "
                             "\"reserved\": 0,\n  \"user\": \"\",\n  \"password\": \"\"\n}\n"),
                  });
}

TEST(DiskSettings, InvalidChangesAreNotAnsweredAndChangeNothing)
{
    test_root root;
    fake_main_service fms(root);
    run_refusals(root, fms,
                 {posts("/6101", {"", "not json", "[3, 1]", R"({"property":1})", R"({"portId":2})",
                                  R"({"portId":36,"property":1})", R"({"portId":-1,"property":1})",
                                  R"({"portId":2,"property":2})", R"({"portId":"abc","property":1})",
                                  R"({"portId":null,"property":1})", R"({"portId":2,"property":true})"})},
                 [](const test_root &r) { return file_exists(r.file("/mnt/nand/app/vxdb.db")) ? "created" : ""; });
    // Only the requests of a valid change ever reach the main service.
    run_exchanges(root, fms,
                  {{.request = page_post("/6101", R"({"portId":0,"property":0})"),
                    .sent = {notifies(DISK_SETTINGS, ints({0, 0, 0, 0})), logs(LOG_DISK_SETTINGS, 0)},
                    .answer = TEXT + "OK"}});
}
