// Shared utilities: session cookie, operation-log record, file helpers, file lock, chip and MAC texts.
#include "link/audio_files.h"
#include "link/web_device.h"
#include "link/web_env.h"
#include "link/web_files.h"
#include "link/web_log.h"
#include "link/web_oplog.h"
#include "link/web_request.h"
#include "support/device_root.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_record.h"
#include "vxrt/vx_alloc.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {
std::string user_from_cookie(const char *cookie, size_t size = 64, int *rc = nullptr)
{
    cgiCookie = cookie;
    char buffer[256];
    memset(buffer, 'x', sizeof buffer);
    int result = get_current_username(buffer, size);
    if (rc != nullptr)
        *rc = result;
    return buffer;
}
}  // namespace

// The user name item wherever it stands; a value that still holds '=' keeps what follows its first
// '='; a cookie that ends inside the item name has nothing after it; long names are cut to the buffer.
TEST(CurrentUser, TakesTheUserNameItemWhereverItStands)
{
    const std::string long_cookie = "userName=" + std::string(200, 'u');
    const struct {
        const char *cookie;
        size_t size;
        std::string user;
        int rc;
    } cases[] = {
        {"sessionId=123; userName=admin; lang=en", 64, "admin", 0},
        {"lang=en; userName=operator", 64, "operator", 0},
        {"userName=a=b; x=1", 64, "b", 0},
        {"sessionId=1; lang=en", 64, "", -1},
        {"userName", 64, "", 0},
        {long_cookie.c_str(), 64, std::string(63, 'u'), 0},
        {long_cookie.c_str(), 1, "", 0},
    };
    for (const auto &c : cases) {
        int rc = -2;
        EXPECT_EQ(user_from_cookie(c.cookie, c.size, &rc), c.user) << c.cookie << " " << c.size;
        EXPECT_EQ(rc, c.rc) << c.cookie << " " << c.size;
    }
}

TEST(OperationLog, InitialRecordBytes)
{
    cgiCookie = "sessionId=99; userName=admin";
    std::string address(60, '1');  // longer than the field
    cgiRemoteAddr = address.c_str();
    operation_log record;
    memset(&record, 0xAB, sizeof record);
    ASSERT_EQ(cgi_init_log_info(&record), 0);
    EXPECT_EQ(cgi_init_log_info(nullptr), -1);

    unsigned char expected[680] = {};
    expected[0] = 4;   // main type
    expected[36] = 1;  // remote flag
    memset(expected + 44, '1', 45);
    memcpy(expected + 90, "admin", 5);
    EXPECT_EQ(memcmp(&record, expected, sizeof expected), 0);

    cgiCookie = "";
    cgiRemoteAddr = "";
}

TEST(OperationLog, DetailBlockEncoding)
{
    operation_log record{};
    const unsigned char block[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    ASSERT_EQ(vxfs_log_pack_detail(&record, 107, block, sizeof block), 0);
    int32_t kind, length;
    memcpy(&kind, record.detail, 4);
    memcpy(&length, record.detail + 4, 4);
    EXPECT_EQ(kind, 107);
    EXPECT_EQ(length, 20);
    EXPECT_EQ(memcmp(record.detail + 8, block, sizeof block), 0);
    EXPECT_EQ(record.size, 28);

    // A block larger than the detail field is cut, never written past it.
    std::string big(600, 'z');
    ASSERT_EQ(vxfs_log_pack_detail(&record, 102, big.data(), static_cast<int>(big.size())), 0);
    EXPECT_EQ(record.size, 512);
    EXPECT_EQ(record.reserved3[0], 0);
    EXPECT_EQ(vxfs_log_pack_detail(&record, 1, nullptr, 4), -1);
    EXPECT_EQ(vxfs_log_pack_detail(nullptr, 1, block, 4), -1);
}

TEST(FileHelpers, WholeFileReadAndWrite)
{
    device_root p;
    int length = -1;
    EXPECT_EQ(vx_get_file_data("/tmp/missing", &length), nullptr);
    EXPECT_EQ(length, 0);

    std::string data("abc\0def", 7);
    ASSERT_EQ(vx_wirte_file_data("/tmp/data.bin", data.data(), static_cast<int>(data.size())), 0);
    EXPECT_EQ(read_file(p.file("/tmp/data.bin")), data);
    unsigned char *block = vx_get_file_data("/tmp/data.bin", &length);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), static_cast<size_t>(length)), data);
    __vx_free(block, "test", __LINE__);

    ASSERT_EQ(vx_wirte_file_data("/tmp/data.bin", "", 0), 0);  // truncates
    EXPECT_EQ(vx_get_file_data("/tmp/data.bin", &length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(vx_wirte_file_data("/no/such/dir/file", "x", 1), -1);
}

TEST(FileHelpers, ExistenceMoveAndDelete)
{
    device_root p;
    write_file(p.file("/tmp/a"), "1");
    ASSERT_EQ(symlink(p.file("/tmp").c_str(), p.file("/tmp/link").c_str()), 0);
    EXPECT_EQ(IsFileExisted("/tmp/a"), 0);
    EXPECT_EQ(IsFileExisted("/tmp/b"), -1);
    EXPECT_EQ(IsFileExisted(""), -1);
    EXPECT_EQ(IsDirExisted("/tmp"), 0);
    EXPECT_EQ(IsDirExisted("/tmp/link"), -1);  // the link itself is no directory
    EXPECT_EQ(IsDirExisted("/tmp/a"), -1);

    // Names a shell would interpret are plain names here.
    EXPECT_EQ(RemoveFile("/tmp/a", "/tmp/b; touch x $(id)"), 0);
    EXPECT_TRUE(file_exists(p.file("/tmp/b; touch x $(id)")));
    EXPECT_EQ(DeleteFile("/tmp/b; touch x $(id)"), 0);
    EXPECT_FALSE(file_exists(p.file("/tmp/b; touch x $(id)")));
    EXPECT_EQ(DeleteFile("/tmp/b"), -1);
    EXPECT_EQ(RemoveFile(nullptr, "/tmp/x"), -1);
}

TEST(FileLock, ExcludesOtherProcessesUntilUnlocked)
{
    device_root p;
    int fd = file_lock("/tmp/cgilockfile");
    ASSERT_GE(fd, 0);
    struct stat st {};
    ASSERT_EQ(stat(p.file("/tmp/cgilockfile").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    auto other_can_lock = [&] {
        pid_t pid = fork();
        if (pid == 0) {
            int other = open(p.file("/tmp/cgilockfile").c_str(), O_RDWR);
            _exit(other >= 0 && lockf(other, F_TLOCK, 0) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(other_can_lock());
    file_unlock(fd);
    EXPECT_TRUE(other_can_lock());
    file_unlock(-1);  // nothing to do
    EXPECT_EQ(file_lock(nullptr), -1);
}

TEST(ChipInfo, ReadsTheIdentificationAfterReadOld)
{
    device_root p;
    std::string bin = p.file("/bin");
    mkdir(bin.c_str(), 0755);
    std::string tool = bin + "/vxchip_update";
    write_file(tool, "#!/bin/sh\necho \"args:$*\"\necho 'Read old:abc'\necho 'Read old:second'\n");
    chmod(tool.c_str(), 0755);
    std::string old_path = getenv("PATH");
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);

    // A file another process left, or planted, under a fixed name is neither read nor replaced, and
    // the tool's output leaves nothing behind.
    write_file(p.file("/tmp/chipinfo.txt"), "Read old:planted\n");
    char buffer[64];
    EXPECT_EQ(get_chip_info(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "abc\n");
    EXPECT_EQ(read_file(p.file("/tmp/chipinfo.txt")), "Read old:planted\n");
    unlink(p.file("/tmp/chipinfo.txt").c_str());
    EXPECT_EQ(rmdir(p.file("/tmp").c_str()), 0);  // empty
    mkdir(p.file("/tmp").c_str(), 0755);
    EXPECT_EQ(get_chip_info(buffer, 3), 0);
    EXPECT_STREQ(buffer, "ab");

    write_file(tool, "#!/bin/sh\necho nothing here\n");
    EXPECT_EQ(get_chip_info(buffer, sizeof buffer), 255);
    setenv("PATH", old_path.c_str(), 1);
    EXPECT_EQ(get_chip_info(buffer, sizeof buffer), 255);  // no tool at all
}

TEST(DeviceTexts, MacAddressesAndPlateCameraTypes)
{
    char first[MAC_TEXT_SIZE], second[MAC_TEXT_SIZE];
    ASSERT_EQ(get_mac_addr(first, second), 0);
    EXPECT_EQ(strlen(first), 17u);
    EXPECT_EQ(strlen(second), 17u);
    if (access("/sys/class/net/eth1", F_OK) != 0) {
        EXPECT_STREQ(second, "02:00:00:00:00:02");
    }
    if (access("/sys/class/net/eth0", F_OK) != 0) {
        EXPECT_STREQ(first, "02:00:00:00:00:01");
    } else {
        EXPECT_STRNE(first, "02:00:00:00:00:01");
    }

    EXPECT_EQ(on_cgi_is_vx_lpr(11), 1);
    EXPECT_EQ(on_cgi_is_vx_lpr(14), 1);
    EXPECT_EQ(on_cgi_is_vx_lpr(10), 0);
    EXPECT_EQ(on_cgi_is_vx_lpr(15), 0);
}

TEST(AudioFiles, MaskOfSlotsHoldingAFile)
{
    device_root p;
    EXPECT_EQ(get_audio_file_id_mask(), 0u);  // no database yet
    const vxdb_kind *kind = vxdb_find_kind("alarm_audio_file");
    ASSERT_NE(kind, nullptr);
    alarm_audio_file file{};
    file.in_use = 1;
    ASSERT_EQ(vxdb_write_at(VXDB_MAIN_DB, *kind, 0, &file), 0);
    ASSERT_EQ(vxdb_write_at(VXDB_MAIN_DB, *kind, 9, &file), 0);
    file.in_use = 2;  // only 1 means a file
    ASSERT_EQ(vxdb_write_at(VXDB_MAIN_DB, *kind, 4, &file), 0);
    EXPECT_EQ(get_audio_file_id_mask(), (1u << 0) | (1u << 9));
    vxdb_close_all();
}

TEST(ParseInt, OnlyWholeDecimalNumbersInRange)
{
    int v = 99;
    EXPECT_EQ(web_parse_int("36", 0, 36, &v), 0);
    EXPECT_EQ(v, 36);
    EXPECT_EQ(web_parse_int("-1", -1, 5, &v), 0);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(web_parse_int("+7", 0, 36, &v), 0);
    EXPECT_EQ(v, 7);
    v = 99;
    for (const char *bad : {"", "abc", "5x", " 5", "5 ", "37", "-", "+", "99999999999999999999", "0x10", "port=5"})
        EXPECT_EQ(web_parse_int(bad, 0, 36, &v), -1) << bad;
    EXPECT_EQ(v, 99);
    EXPECT_EQ(web_parse_int(nullptr, 0, 1, &v), -1);
}

// A body is a whole value or nothing; each body sits in a buffer of exactly its size, so that a read
// past its terminating zero (a trailing line comment once made one) fails under the address sanitizer.
// json-c reads comments as white space.
TEST(ParseInt, WholeRequestValue)
{
    const struct {
        const char *body;
        int result, value;
    } rows[] = {
        {"5", 0, 5}, {" 36 \n", 0, 36}, {"\"7\"", 0, 7}, {"-1", 0, -1}, {"37", -1, 99}, {"5x", -1, 99},
        {"1 6", -1, 99}, {"\" 5\"", -1, 99}, {"5//", 0, 5}, {"5// c", 0, 5}, {"5/* c */", 0, 5}, {"5/* c */x", -1, 99},
        {"[5]", -1, 99}, {"", -1, 99},
    };
    for (const auto &row : rows) {
        const size_t size = strlen(row.body) + 1;
        std::unique_ptr<char[]> body(new char[size]);
        memcpy(body.get(), row.body, size);
        int v = 99;
        EXPECT_EQ(json_read_int_request(body.get(), -1, 36, &v), row.result) << row.body;
        EXPECT_EQ(v, row.value) << row.body;
    }
}
