// The simulated main service as scripts and the demo use it: build/bin/nvr-sim started under a
// test_root, spoken to over its socket with VXS1 frames.
#include "support/cgi_runner.h"
#include "support/fake_main_service.h"
#include "support/raid_requests.h"

#include "storage/storage_codes.h"
#include "storage/storage_records.h"
#include "system/log_records.h"
#include "system/system_codes.h"
#include "video/video_codes.h"
#include "video/video_records.h"
#include "vxrt/vx_oplog.h"
#include "vxsocket/vxs_frame.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {
const std::string NVR_SIM = std::string(NVR_BIN_DIR) + "/nvr-sim";
const std::string VXDB = std::string(NVR_BIN_DIR) + "/vxdb";

// nvr-sim as a child process; its stdout lines "label: value" are collected until "ready".
class sim_process {
public:
    explicit sim_process(const test_root &root, std::vector<std::string> args = {}) : root_(root)
    {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            abort();
        std::vector<std::string> argv = {NVR_SIM, "--root", root.path(), "--log", log_file()};
        argv.insert(argv.end(), args.begin(), args.end());
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test that crashes leaves no service behind
            dup2(out[1], 1);
            std::vector<char *> raw;
            for (std::string &a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            exec_program(raw.data(), environ);
            _exit(127);
        }
        close(out[1]);
        read_until_ready(out[0]);
        close(out[0]);
    }
    ~sim_process()
    {
        if (pid_ > 0)
            stop(SIGKILL);
    }

    bool ready() const { return ready_; }
    std::string said(const std::string &label) const
    {
        auto it = said_.find(label);
        return it == said_.end() ? "" : it->second;
    }
    std::string log_file() const { return root_.path() + "/sim.log"; }
    std::string log() const { return read_file(log_file()); }

    // Sends the signal and waits; the exit status, or -1 when it ended by a signal.
    int stop(int signal_number = SIGTERM)
    {
        if (pid_ <= 0)
            return status_;
        kill(pid_, signal_number);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

private:
    void read_until_ready(int fd)
    {
        std::string pending;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ready_ && std::chrono::steady_clock::now() < deadline) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buffer[512];
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return;  // exited before listening
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                std::string line = pending.substr(0, end);
                size_t colon = line.find(": ");
                if (line == "ready")
                    ready_ = true;
                else if (colon != std::string::npos)
                    said_[line.substr(0, colon)] = line.substr(colon + 2);
            }
        }
    }

    const test_root &root_;
    pid_t pid_ = -1;
    int status_ = -1;
    bool ready_ = false;
    std::map<std::string, std::string> said_;
};

struct frame {
    vxs_header header{};
    std::string payload;
};

// One client connection speaking raw VXS1.
class connection {
public:
    explicit connection(const test_root &root)
    {
        std::string file = root.file("/var/run/vxsocket");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        memcpy(address.sun_path, file.c_str(), file.size() + 1);
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~connection()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool open() const { return fd_ >= 0; }

    // Sends a request and returns its sequence number.
    uint32_t send(int32_t code, const std::string &payload = "", uint32_t flags = 0)
    {
        uint32_t sequence = next_++;
        EXPECT_EQ(vxs_write_frame(fd_, sequence, code, flags, payload.data(), static_cast<int32_t>(payload.size())), 0);
        return sequence;
    }
    void send_raw(const std::string &bytes) { EXPECT_EQ(vxs_write_all(fd_, bytes.data(), bytes.size()), 0); }

    // The next frame, or nothing when none comes within the time or the service closed the connection.
    std::optional<frame> receive(int timeout_ms = 5000)
    {
        pollfd p = {fd_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0)
            return std::nullopt;
        frame f;
        std::vector<unsigned char> payload;
        if (vxs_read_frame(fd_, &f.header, &payload) != 0)
            return std::nullopt;
        f.payload.assign(payload.begin(), payload.end());
        return f;
    }
    // True when the service has closed its end (a read meets the end of the stream or a reset).
    bool closed_by_service(int timeout_ms = 5000)
    {
        pollfd p = {fd_, POLLIN, 0};
        char byte;
        return poll(&p, 1, timeout_ms) == 1 && read(fd_, &byte, 1) <= 0;
    }

    // A request that wants one integer back under reply_of(code).
    int32_t ask_int(int32_t code, const std::string &payload)
    {
        uint32_t sequence = send(code, payload);
        std::optional<frame> reply = receive();
        if (!reply) {
            ADD_FAILURE() << "no reply to " << code;
            return INT32_MIN;
        }
        EXPECT_EQ(reply->header.sequence, sequence);
        EXPECT_EQ(reply->header.code, reply_of(code));
        EXPECT_EQ(reply->payload.size(), 4u);
        int32_t value = INT32_MIN;
        memcpy(&value, reply->payload.data(), std::min<size_t>(4, reply->payload.size()));
        return value;
    }

    std::vector<disk_status> disk_list()
    {
        uint32_t sequence = send(DISK_LIST);
        std::optional<frame> reply = receive();
        std::vector<disk_status> list;
        if (!reply) {
            ADD_FAILURE() << "no disk list";
            return list;
        }
        EXPECT_EQ(reply->header.sequence, sequence);
        EXPECT_EQ(reply->header.code, reply_of(DISK_LIST));
        EXPECT_EQ(reply->payload.size() % sizeof(disk_status), 0u);
        list.resize(reply->payload.size() / sizeof(disk_status));
        memcpy(list.data(), reply->payload.data(), list.size() * sizeof(disk_status));
        return list;
    }

private:
    int fd_ = -1;
    uint32_t next_ = 1;
};

std::string raid(int id, int level, std::initializer_list<int> members)
{
    return fms_record(make_raid_request(id, level, members));
}

std::optional<disk_status> find_port(const std::vector<disk_status> &list, int port)
{
    for (const disk_status &d : list)
        if (d.port_id == port)
            return d;
    return std::nullopt;
}

std::string mail_link(const std::string &text)
{
    std::string field(256, '\0');
    field.replace(0, std::min<size_t>(text.size(), 255), text.substr(0, 255));
    return field;
}
}  // namespace

TEST(nvr_sim, SeedsTheDatabaseOnceWithTheAdministratorAndANetworkDisk)
{
    test_root root;
    std::string password, hash;
    {
        sim_process sim(root);
        ASSERT_TRUE(sim.ready());
        password = sim.said("admin password");
        hash = sim.said("admin md5");
        EXPECT_EQ(sim.stop(), 0);
    }
    ASSERT_EQ(password.size(), 12u);
    for (char c : password)
        EXPECT_TRUE(isalnum(static_cast<unsigned char>(c))) << password;
    cgi_result md5 = run_program(root, {"/usr/bin/md5sum"}, {}, password);
    ASSERT_EQ(md5.exit_status, 0);
    EXPECT_EQ(hash, md5.out.substr(0, 32));

    cgi_result admin = run_program(root, {VXDB, "dump", "user", "0"});
    ASSERT_EQ(admin.exit_status, 0) << admin.err;
    for (const std::string &member : std::vector<std::string>{"\"enable\": 1", "\"name\": \"admin\"", "\"password\": \"" + hash + "\"",
                               "\"type\": 0", "\"remoteShutdown\": 1", "\"localStorage\": 1",
                               "\"localliveview\": \"" + std::string(32, '1') + "\"",
                               "\"remote_playback_mask\": 4294967295"})
        EXPECT_NE(admin.out.find(member), std::string::npos) << member << " in " << admin.out;

    cgi_result nas = run_program(root, {VXDB, "dump", "disk", "9"});
    ASSERT_EQ(nas.exit_status, 0) << nas.err;
    for (const char *member : {"\"enable\": 1", "\"type\": 3", "\"address\": \"192.0.2.50\""})
        EXPECT_NE(nas.out.find(member), std::string::npos) << member << " in " << nas.out;
    EXPECT_EQ(run_program(root, {VXDB, "get", "max_cameras"}).out, "32\n");

    // A database with an account is the operator's: a second start seeds nothing and shows no password.
    EXPECT_EQ(run_program(root, {VXDB, "set", "model", "Bench unit"}).exit_status, 0);
    sim_process again(root);
    ASSERT_TRUE(again.ready());
    EXPECT_EQ(again.said("admin password"), "");
    EXPECT_EQ(run_program(root, {VXDB, "dump", "user", "0"}).out, admin.out);
    EXPECT_EQ(run_program(root, {VXDB, "get", "model"}).out, "Bench unit\n");

    // The disk the database configures is not one the device reports: the page shows it offline.
    connection client(root);
    ASSERT_TRUE(client.open());
    EXPECT_FALSE(find_port(client.disk_list(), 9).has_value());
}

TEST(nvr_sim, ReportsDisksAndKeepsRaidChanges)
{
    test_root root;
    sim_process sim(root, {"--seed", "5"});
    ASSERT_TRUE(sim.ready());
    connection client(root);
    ASSERT_TRUE(client.open());

    std::vector<disk_status> disks = client.disk_list();
    ASSERT_EQ(disks.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(disks[i].port_id, i + 1);
        uint64_t terabytes = uint64_t{1000000000000} << i;  // 1, 2, 4 and 8 TB as disk makers count
        EXPECT_GE(disks[i].total_size, terabytes);
        EXPECT_LT(disks[i].total_size, terabytes + terabytes / 100);
        EXPECT_NE(disks[i].vendor[0], '\0');
        EXPECT_LE(disks[i].used_size + disks[i].free_size, disks[i].total_size);
    }

    EXPECT_EQ(client.ask_int(RAID_CREATE, raid(10, 5, {1, 2, 4})), 0);
    std::vector<disk_status> with_array = client.disk_list();
    ASSERT_EQ(with_array.size(), 5u);
    std::optional<disk_status> array = find_port(with_array, 10);
    ASSERT_TRUE(array.has_value());
    EXPECT_EQ(array->raid_level, 5);
    EXPECT_EQ(array->raid_member_count, 3);
    EXPECT_EQ(array->raid_members[2], 4);
    EXPECT_EQ(array->total_size, 2 * disks[0].total_size);

    EXPECT_NE(client.ask_int(RAID_CREATE, raid(10, 1, {3, 4})), 0);  // id in use
    EXPECT_NE(client.ask_int(RAID_CREATE, raid(11, 1, {3, 4})), 0);  // 4 is a member
    EXPECT_EQ(client.ask_int(DISK_FORMAT, fms_record(int32_t{1})), 1);  // a member is USING
    EXPECT_EQ(client.ask_int(RAID_REMOVE, raid(10, 0, {})), 0);
    EXPECT_NE(client.ask_int(RAID_REMOVE, raid(10, 0, {})), 0);
    EXPECT_EQ(client.disk_list().size(), 4u);

    // A second client sees the same device.
    EXPECT_EQ(client.ask_int(HOT_SPARE_ON, fms_record(int32_t{3})), 0);
    connection other(root);
    ASSERT_TRUE(other.open());
    std::vector<disk_status> with_spare = other.disk_list();
    std::optional<disk_status> spare = find_port(with_spare, 3);
    ASSERT_TRUE(spare.has_value());
    EXPECT_EQ(spare->state, 5);
    EXPECT_EQ(other.ask_int(HOT_SPARE_OFF, fms_record(int32_t{3})), 0);

    EXPECT_EQ(other.ask_int(RAID_CREATE, raid(12, 1, {1, 2})), 0);
    rebuild_request rebuild{3, 12};
    EXPECT_EQ(other.ask_int(RAID_REBUILD, fms_record(rebuild)), 0);
    std::vector<disk_status> rebuilding = other.disk_list();
    array = find_port(rebuilding, 12);
    ASSERT_TRUE(array.has_value());
    EXPECT_EQ(array->raid_state, 1);
    EXPECT_EQ(array->raid_member_count, 3);
}

TEST(nvr_sim, FormatAnswersWhenDoneAndRefusesADiskInUse)
{
    test_root root;
    sim_process sim(root, {"--format-ms", "800"});
    ASSERT_TRUE(sim.ready());
    connection first(root), second(root);
    ASSERT_TRUE(first.open() && second.open());

    auto started = std::chrono::steady_clock::now();
    uint32_t sequence = first.send(DISK_FORMAT, fms_record(int32_t{2}));
    std::optional<disk_status> busy;
    for (int i = 0; i < 100 && !(busy && busy->state == 3); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::vector<disk_status> during = second.disk_list();
        busy = find_port(during, 2);
    }
    ASSERT_TRUE(busy.has_value());
    EXPECT_EQ(busy->state, 3);  // formatting
    EXPECT_EQ(second.ask_int(DISK_FORMAT, fms_record(int32_t{2})), 1);

    std::optional<frame> done = first.receive();
    ASSERT_TRUE(done.has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(800));
    EXPECT_EQ(done->header.sequence, sequence);
    EXPECT_EQ(done->header.code, reply_of(DISK_FORMAT));
    EXPECT_EQ(done->payload, fms_record(int32_t{0}));
    std::vector<disk_status> after = first.disk_list();
    std::optional<disk_status> formatted = find_port(after, 2);
    ASSERT_TRUE(formatted.has_value());
    EXPECT_EQ(formatted->state, 0);
    EXPECT_EQ(formatted->used_size, 0u);
    EXPECT_EQ(formatted->free_size, formatted->total_size);

    for (int32_t port : {0, 9, 37})
        EXPECT_EQ(first.ask_int(DISK_FORMAT, fms_record(port)), -1) << port;
    EXPECT_EQ(first.ask_int(DISK_FORMAT, ""), -1);  // no port at all
}

TEST(nvr_sim, UnknownAndSendOnlyRequestsGetNoReply)
{
    test_root root;
    sim_process sim(root);
    ASSERT_TRUE(sim.ready());
    connection client(root);
    ASSERT_TRUE(client.open());

    client.send(9999, "abc");
    client.send(DISK_LIST, "", VXS_FLAG_SEND_ONLY);
    disk_settings settings{2, 1, 7, 0};
    client.send(DISK_SETTINGS, fms_record(settings), VXS_FLAG_SEND_ONLY);
    operation_log record{};
    record.main_type = 4;
    record.sub_type = 207;
    record.parameter_type = 900;
    record.chan_no = 2;
    strcpy(record.user, "admin");
    strcpy(record.ip, "127.0.0.1");
    client.send(OPERATION_LOG, fms_record(record), VXS_FLAG_SEND_ONLY);
    client.send(USER_TABLE_CHANGED, "", VXS_FLAG_SEND_ONLY);

    // Requests are served in order, so the first frame back answers the disk list asked for now.
    uint32_t sequence = client.send(DISK_LIST);
    std::optional<frame> reply = client.receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->header.sequence, sequence);
    EXPECT_EQ(reply->header.code, reply_of(DISK_LIST));
    std::vector<disk_status> disks(reply->payload.size() / sizeof(disk_status));
    memcpy(disks.data(), reply->payload.data(), disks.size() * sizeof(disk_status));
    std::optional<disk_status> changed = find_port(disks, 2);
    ASSERT_TRUE(changed.has_value());
    EXPECT_EQ(changed->property, 1);
    EXPECT_EQ(changed->group, 7);
    EXPECT_FALSE(client.receive(200).has_value());

    std::string log = sim.log();
    EXPECT_NE(log.find("code 9999 flags 0 length 3: unknown code: no reply"), std::string::npos) << log;
    EXPECT_NE(log.find("main 4 sub 207 parameter 900 channel 2 remote 0 user \"admin\" ip \"127.0.0.1\""),
              std::string::npos) << log;
    EXPECT_NE(log.find("user table changed; 1 accounts enabled"), std::string::npos) << log;
}

TEST(nvr_sim, MailLinkIsValidOnlyWithThePrintedToken)
{
    test_root root;
    sim_process sim(root);
    ASSERT_TRUE(sim.ready());
    std::string token = sim.said("mail link token");
    ASSERT_EQ(token.size(), 16u);
    connection client(root);
    ASSERT_TRUE(client.open());
    EXPECT_EQ(client.ask_int(MAIL_LINK_CHECK, mail_link("channel=3&token=" + token)), 0);
    EXPECT_EQ(client.ask_int(MAIL_LINK_CHECK, mail_link("channel=3&token=" + token + "x")), 1);
    EXPECT_EQ(client.ask_int(MAIL_LINK_CHECK, mail_link("token=")), 1);
    EXPECT_EQ(client.ask_int(MAIL_LINK_CHECK, ("token=" + token)), 1);  // not the 256-byte record
}

TEST(nvr_sim, GarbledFrameClosesOnlyItsConnection)
{
    test_root root;
    sim_process sim(root);
    ASSERT_TRUE(sim.ready());
    connection bad(root), good(root);
    ASSERT_TRUE(bad.open() && good.open());
    vxs_header header = vxs_make_header(1, DISK_LIST, 0, 0);
    memcpy(header.magic, "VXS2", 4);
    bad.send_raw(fms_record(header));
    EXPECT_TRUE(bad.closed_by_service());
    EXPECT_EQ(good.disk_list().size(), 4u);

    connection huge(root);
    ASSERT_TRUE(huge.open());
    huge.send_raw(fms_record(vxs_make_header(1, DISK_LIST, 0, VXS_MAX_PAYLOAD + 1)));
    EXPECT_TRUE(huge.closed_by_service());
    EXPECT_EQ(good.disk_list().size(), 4u);
    EXPECT_NE(sim.log().find("garbled frame header, connection closed"), std::string::npos);
}

TEST(nvr_sim, StopsCleanlyOnSigtermAndRefusesASecondInstance)
{
    test_root root;
    std::string ready_file = root.path() + "/sim.ready";
    sim_process sim(root, {"--ready-file", ready_file});
    ASSERT_TRUE(sim.ready());
    EXPECT_EQ(read_file(ready_file).empty(), false);

    cgi_result second = run_program(root, {NVR_SIM, "--root", root.path()}, {}, "", 10000);
    EXPECT_EQ(second.exit_status, 1);
    EXPECT_NE(second.err.find("another main service is listening"), std::string::npos) << second.err;
    EXPECT_TRUE(file_exists(root.file("/var/run/vxsocket")));

    connection idle(root);  // a connection waiting for its next request does not hold up the stop
    ASSERT_TRUE(idle.open());
    EXPECT_EQ(idle.disk_list().size(), 4u);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_FALSE(file_exists(root.file("/var/run/vxsocket")));
    EXPECT_FALSE(file_exists(ready_file));
    EXPECT_TRUE(idle.closed_by_service(1000));

    // A socket file left by a service that was killed does not stop the next one.
    sim_process killed(root);
    ASSERT_TRUE(killed.ready());
    EXPECT_EQ(killed.stop(SIGKILL), -1);
    EXPECT_TRUE(file_exists(root.file("/var/run/vxsocket")));
    sim_process next(root);
    EXPECT_TRUE(next.ready());
    connection client(root);
    ASSERT_TRUE(client.open());
    EXPECT_EQ(client.disk_list().size(), 4u);
}

TEST(nvr_sim, KeepsTheOperationLogForTheLogPages)
{
    test_root root;
    sim_process sim(root);
    ASSERT_TRUE(sim.ready());
    connection client(root);
    ASSERT_TRUE(client.open());

    operation_log record{};
    record.main_type = 4;
    record.sub_type = 204;
    record.parameter_type = 919;
    record.remote = 1;
    record.chan_no = 3;
    strcpy(record.user, "tester");
    strcpy(record.ip, "192.0.2.7");
    client.send(OPERATION_LOG, fms_record(record), VXS_FLAG_SEND_ONLY);

    const auto now = static_cast<int32_t>(time(nullptr));
    log_query query{};
    query.start_time = now - 60;
    query.end_time = now + 60;
    query.main_type = 4;
    query.sub_types[0] = 204;
    query.sub_type_count = 1;
    query.channel_mask = 1 << 2;  // channel 3
    client.send(LOG_SEARCH, fms_record(query));
    std::optional<frame> page = client.receive();
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->header.code, reply_of(LOG_SEARCH));
    ASSERT_EQ(page->payload.size(), sizeof(log_search_reply));
    auto found = std::make_unique<log_search_reply>();
    memcpy(found.get(), page->payload.data(), sizeof *found);
    ASSERT_EQ(found->total, 1);
    ASSERT_EQ(found->count, 1);
    EXPECT_STREQ(found->entries[0].user, "tester");
    EXPECT_GE(found->entries[0].pts, now - 5);  // sent without a time: stored with its arrival's

    // Another channel, and the seeded entries of the last days by main type.
    query.channel_mask = 1;
    client.send(LOG_SEARCH, fms_record(query));
    page = client.receive();
    ASSERT_TRUE(page.has_value());
    memcpy(found.get(), page->payload.data(), std::min(page->payload.size(), sizeof *found));
    EXPECT_EQ(found->total, 0);
    query.start_time = now - 4 * 24 * 3600;
    query.main_type = 8;
    query.sub_types[0] = 10;
    query.channel_mask = 0;
    client.send(LOG_SEARCH, fms_record(query));
    page = client.receive();
    ASSERT_TRUE(page.has_value());
    memcpy(found.get(), page->payload.data(), std::min(page->payload.size(), sizeof *found));
    EXPECT_GE(found->total, 3);
    for (int i = 0; i < found->count; ++i)
        EXPECT_EQ(found->entries[i].main_type, 8);

    // The export writes a result file and names it.
    query.start_time = now - 60;
    query.main_type = 1;
    client.send(LOG_EXPORT, fms_record(query));
    std::optional<frame> exported = client.receive();
    ASSERT_TRUE(exported.has_value());
    EXPECT_EQ(exported->header.code, reply_of(LOG_EXPORT));
    ASSERT_EQ(exported->payload.size(), sizeof(log_export_reply));
    log_export_reply where{};
    memcpy(&where, exported->payload.data(), sizeof where);
    const std::string result = read_file(root.file(std::string(where.path, strnlen(where.path, sizeof where.path))));
    ASSERT_EQ(result.size(), sizeof(int32_t) + sizeof(log_result_entry)) << where.path;
    auto item = std::make_unique<log_result_entry>();
    memcpy(item.get(), result.data() + sizeof(int32_t), sizeof *item);
    EXPECT_EQ(item->entry.sub_type, 204);
    EXPECT_STREQ(item->entry.user, "tester");
    EXPECT_NE(std::string(item->description).find("Disk settings"), std::string::npos) << item->description;

    client.send(LOG_DETAIL, fms_record(item->entry));
    std::optional<frame> detail = client.receive();
    ASSERT_TRUE(detail.has_value());
    EXPECT_EQ(detail->header.code, reply_of(LOG_DETAIL));
    EXPECT_EQ(detail->payload, std::string(item->description));
}

// The motion map shows what the motion pages last sent the channel; the camera events answer from
// the database record the pages store and the camera's last settings; send-only notices get nothing.
TEST(nvr_sim, VideoEventsShowWhatWasStoredAndSent)
{
    test_root root;
    sim_process sim(root, {"--seed", "5"});
    ASSERT_TRUE(sim.ready());
    connection client(root);
    ASSERT_TRUE(client.open());
    auto ask = [&](int32_t code, int32_t channel) {
        const uint32_t sequence = client.send(code, fms_record(channel));
        std::optional<frame> reply = client.receive();
        if (reply) {
            EXPECT_EQ(reply->header.sequence, sequence);
            EXPECT_EQ(reply->header.code, reply_of(code));
        }
        return reply ? reply->payload : std::string("none");
    };

    motion_page_request page{};
    strcpy(page.area, "zz");
    page.sensitivity = 6;
    page.channel = 4;
    page.enable_ai = 1;
    client.send(MOTION_PAGE, fms_record(page), 1);
    motion_map_reply map{};
    const std::string bytes = ask(MOTION_MAP, 4);
    ASSERT_EQ(bytes.size(), sizeof map);
    memcpy(&map, bytes.data(), sizeof map);
    EXPECT_STREQ(map.map, "zz");
    EXPECT_EQ(map.sensitivity, 6);
    EXPECT_EQ(map.enable_ai, 1);
    const std::string stored = run_program(root, {VXDB, "dump", "motion", "4"}).out;
    EXPECT_NE(stored.find("\"sensitivity\": 6,"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\"motion_table\": \"zz\","), std::string::npos) << stored;

    motion_area_request area{};
    strcpy(area.area, "ab");
    area.sensitivity = 2;
    area.channel = 4;
    client.send(MOTION_AREA, fms_record(area), 1);
    memcpy(&map, ask(MOTION_MAP, 4).data(), sizeof map);
    EXPECT_STREQ(map.map, "ab");
    EXPECT_EQ(map.sensitivity, 2);
    EXPECT_EQ(map.enable_ai, 1);
    client.send(MOTION_MAP, fms_record(int32_t{64}));
    EXPECT_FALSE(client.receive(300).has_value());  // no such channel

    ASSERT_EQ(run_program(root, {VXDB, "load", "cameraio", "-"}, {},
                          R"({"channel": 2, "enable": 1, "tri_mask": 6, "tri_actions": 5})").exit_status, 0);
    client.send(CAMERA_IO_SET, fms_record(cameraio_request{2, 0, 3}), 1);
    cameraio_reply io{};
    const std::string io_bytes = ask(CAMERA_IO, 2);
    ASSERT_EQ(io_bytes.size(), sizeof io);
    memcpy(&io, io_bytes.data(), sizeof io);
    EXPECT_EQ(io.channel, 2);
    EXPECT_EQ(io.enable, 1);
    EXPECT_EQ(io.type, 3);
    EXPECT_EQ(io.tri_actions, 5);
    EXPECT_EQ(std::string(io.tri_channels), "011" + std::string(61, '0'));

    client.send(VOLUME_DETECT_SET, fms_record(volumedetect_request{7, 1, 2, 40, 5, 1, 2, 3}), 1);
    volumedetect_reply volume{};
    const std::string volume_bytes = ask(VOLUME_DETECT, 7);
    ASSERT_EQ(volume_bytes.size(), sizeof volume);
    memcpy(&volume, volume_bytes.data(), sizeof volume);
    EXPECT_EQ(volume.enable, 0);  // no record stored for the channel
    EXPECT_EQ(volume.volume, 40);
    EXPECT_EQ(volume.ongoing_event, 3);
    EXPECT_EQ(std::string(volume.tri_channels), std::string(64, '0'));

    client.send(MOTION_CHANGED, fms_record(int32_t{4}), 1);
    client.send(EXCEPTION_ACTIONS_CHANGED, "", 1);
    EXPECT_FALSE(client.receive(300).has_value());
}
