// The user account pages through the real program: the lists, adding, changing and deleting
// accounts with what each writes to the database and sends to the main service, and the input each
// refuses without an answer and without writing anything.
#include "e2e/system_pages.h"
#include "vxdb/vxdb_param.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace system_pages;

namespace {
const std::string VXDB = std::string(NVR_BIN_DIR) + "/vxdb";

// An account with nothing but the keys the add page requires.
std::string new_user(const std::string &name, const std::string &extra = "")
{
    return "{\"name\":\"" + name + "\",\"password\":\"" + HASH +
           "\",\"type\":2,\"permission\":0,\"remotePermission\":0" + extra + "}";
}

// Every enabled slot's record, to show that a refused request changed nothing.
std::vector<user_record> all_slots()
{
    std::vector<user_record> slots;
    for (int id = 0; id < MAX_USERS; ++id)
        slots.push_back(stored(id));
    return slots;
}

bool same_slots(const std::vector<user_record> &a, const std::vector<user_record> &b)
{
    for (size_t i = 0; i < a.size(); ++i) {
        if (!same_bytes(a[i], b[i]))
            return false;
    }
    return a.size() == b.size();
}

// Makes the main database unusable: every read fails, every write fails.
void break_database(const test_root &root)
{
    vxdb_close_all();
    std::filesystem::remove(root.file(VXDB_MAIN_DB));
    std::filesystem::create_directories(root.file(VXDB_MAIN_DB));
}

const std::string admin_object =
    "{ \"id\": 0, \"enable\": 1, \"name\": \"admin\", \"password\": \"" + HASH +
    "\", \"type\": 1, \"permission\": 7, \"localLiveView\": 11, \"localPlayback\": 12, \"localRetrieve\": 13, "
    "\"localSmartAnalysis\": 14, \"localEvent\": 15, \"localCamera\": 16, \"localStorage\": 17, "
    "\"localSettings\": 18, \"localStatus\": 19, \"localShutdown\": 20, \"localliveview\": \"1100\", "
    "\"localplayback\": \"1010\", \"remotePermission\": -1, \"remoteLiveView\": 21, \"remotePlayback\": 22, "
    "\"remoteRetrieve\": 23, \"remoteSmartAnalysis\": 24, \"remoteEvent\": 25, \"remoteCamera\": 26, "
    "\"remoteStorage\": 27, \"remoteSettings\": 28, \"remoteStatus\": 29, \"remoteShutdown\": 30, "
    "\"remoteliveview\": \"0001\", \"remoteplayback\": \"1111\" }";

const std::string guest_object =
    "{ \"id\": 2, \"enable\": 1, \"name\": \"guest\", \"password\": \"" + HASH +
    "\", \"type\": 2, \"permission\": 0, \"localLiveView\": 0, \"localPlayback\": 0, \"localRetrieve\": 0, "
    "\"localSmartAnalysis\": 0, \"localEvent\": 0, \"localCamera\": 0, \"localStorage\": 0, "
    "\"localSettings\": 0, \"localStatus\": 0, \"localShutdown\": 0, \"localliveview\": \"\", "
    "\"localplayback\": \"\", \"remotePermission\": 0, \"remoteLiveView\": 0, \"remotePlayback\": 0, "
    "\"remoteRetrieve\": 0, \"remoteSmartAnalysis\": 0, \"remoteEvent\": 0, \"remoteCamera\": 0, "
    "\"remoteStorage\": 0, \"remoteSettings\": 0, \"remoteStatus\": 0, \"remoteShutdown\": 0, "
    "\"remoteliveview\": \"\", \"remoteplayback\": \"\" }";
}  // namespace

// ---- "/6070" ----

TEST(UserList, ListsTheAccountsInUseInSlotOrder)
{
    device dev;
    EXPECT_EQ(run_page(dev.root, page_get("/6070")).out, JSON + "[ ]");

    store(account_with_rights(0, "admin", 1));
    user_record deleted{};
    deleted.id = 1;
    store(deleted);
    store(account(2, "guest", HASH, 2));
    user_record retired = account(5, "retired");
    retired.enable = 0;
    store(retired);
    EXPECT_EQ(run_page(dev.root, page_get("/6070")).out, JSON + "[ " + admin_object + ", " + guest_object + " ]");
}

// ---- "/6071" ----

TEST(AddUser, StoresTheAccountWithItsMasksAnnouncesAndLogsIt)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    user_record deleted{};
    deleted.id = 1;
    store(deleted);

    cgi_result r = run_page(dev.root, page_post("/6071", "{\"name\":\"alice\",\"password\":\"" + HASH +
                                                             "\",\"type\":2,\"permission\":5,\"remotePermission\":-1,"
                                                             "\"localliveview\":\"101\",\"localplayback\":\"0110\","
                                                             "\"remoteliveview\":\"1\",\"remoteplayback\":\"\","
                                                             "\"localLiveView\":1,\"remoteShutdown\":1}"));
    EXPECT_EQ(r.out, TEXT + "id=1");

    user_record expected = account(1, "alice", HASH, 2);
    expected.permission = 5;
    expected.remotePermission = -1;
    strcpy(expected.localliveview, "101");
    strcpy(expected.localplayback, "0110");
    strcpy(expected.remoteliveview, "1");
    strcpy(expected.init_flag, "0");
    expected.localLiveView = 1;
    expected.remoteShutdown = 1;  // the other eighteen flags were absent: 0
    expected.local_liveview_mask = 0b101;
    expected.local_playback_mask = 0b0110;
    expected.remote_liveview_mask = 0b1;
    EXPECT_TRUE(same_bytes(stored(1), expected));

    ASSERT_TRUE(fms.wait_requests(2));
    ASSERT_EQ(fms.requests().size(), 2u);
    expect_table_changed(fms.requests()[0], "");
    expect_logged(fms.requests()[1], 204, 921);
}

TEST(AddUser, LongTextsAreCutToTheirFields)
{
    device dev;
    fake_main_service fms(dev.root);
    const std::string name(70, 'n'), password = HASH + "tail", channels(70, '1');
    cgi_result r = run_page(dev.root,
                            page_post("/6071", "{\"name\":\"" + name + "\",\"password\":\"" + password +
                                                   "\",\"type\":0,\"permission\":-1,\"remotePermission\":-1,"
                                                   "\"remoteplayback\":\"" + channels + "\"}"));
    EXPECT_EQ(r.out, TEXT + "id=0");
    user_record u = stored(0);
    EXPECT_EQ(std::string(u.name), name.substr(0, 63));
    EXPECT_EQ(std::string(u.password), HASH);
    EXPECT_EQ(std::string(u.remoteplayback), channels.substr(0, 64));
    EXPECT_EQ(u.remote_playback_mask, ~uint64_t{0});
}

TEST(AddUser, FullTableIsRefusedBeforeTheBodyIsRead)
{
    device dev;
    fake_main_service fms(dev.root);
    for (int id = 0; id < MAX_USERS; ++id)
        store(account(id, "user" + std::to_string(id)));
    EXPECT_EQ(run_page(dev.root, page_post("/6071", "not json")).out, TEXT + "FAILED_FULL");
    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user("bob"))).out, TEXT + "FAILED_FULL");

    // A deleted account frees its slot again.
    user_record deleted{};
    deleted.id = 42;
    store(deleted);
    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user("bob"))).out, TEXT + "id=42");
}

TEST(AddUser, NamesThatShareTheir31FirstCharactersAreTheSameName)
{
    device dev;
    fake_main_service fms(dev.root);
    const std::string stem(31, 's');
    store(account(0, stem + "-first"));
    user_record retired = account(1, "carol");
    retired.enable = 0;
    store(retired);
    const std::vector<user_record> before = all_slots();

    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user(stem + "-second"))).out, TEXT + "SAMEUSER");
    EXPECT_TRUE(same_slots(all_slots(), before));
    EXPECT_FALSE(fms.wait_requests(1, 200));

    // The name of a deleted account is free, and its slot is the lowest free one.
    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user("carol"))).out, TEXT + "id=1");
    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user(stem.substr(0, 30) + "-x"))).out, TEXT + "id=2");
}

// ---- "/6072" ----

TEST(ChangeUser, MergesThePresentKeysAndKeepsTheRest)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    user_record bob = account_with_rights(3, "bob", 1);
    bob.local_liveview_mask = 0b0011;
    store(bob);

    // A new name is kept to its first 31 characters; an empty password keeps the stored hash; the
    // masks and the summary permissions are not this page's to change.
    const std::string long_name = std::string(31, 'b') + "-tail";
    cgi_result r = run_page(dev.root, page_post("/6072", "{\"id\":3,\"name\":\"" + long_name +
                                                             "\",\"password\":\"\",\"type\":2,"
                                                             "\"localliveview\":\"0101\",\"remoteStatus\":1,"
                                                             "\"permission\":9,\"remotePermission\":9}"));
    EXPECT_EQ(r.out, TEXT + "OK");
    user_record expected = bob;
    memset(expected.name, 0, sizeof expected.name);
    memcpy(expected.name, long_name.data(), 31);
    expected.type = 2;
    strcpy(expected.localliveview, "0101");
    expected.remoteStatus = 1;
    EXPECT_TRUE(same_bytes(stored(3), expected));
    ASSERT_TRUE(fms.wait_requests(1));
    expect_table_changed(fms.requests()[0], fms_int(3));

    const std::string new_hash = "ffffffffffffffffffffffffffffffff";
    EXPECT_EQ(run_page(dev.root, page_post("/6072", "{\"id\":3,\"password\":\"" + new_hash + "\"}")).out, TEXT + "OK");
    memcpy(expected.password, new_hash.c_str(), 33);
    EXPECT_TRUE(same_bytes(stored(3), expected));

    // Its own name is no clash.
    EXPECT_EQ(run_page(dev.root, page_post("/6072", "{\"id\":0,\"name\":\"admin\"}")).out, TEXT + "OK");
    EXPECT_STREQ(stored(0).name, "admin");
    ASSERT_TRUE(fms.wait_requests(3));
    EXPECT_EQ(fms.requests().size(), 3u) << "a change is not logged";
    expect_table_changed(fms.requests()[2], fms_int(0));
}

TEST(ChangeUser, NameOfAnotherAccountIsRefused)
{
    device dev;
    fake_main_service fms(dev.root);
    const std::string stem(31, 'c');
    store(account(0, "admin"));
    store(account(3, "bob"));
    store(account(5, stem + "-five"));
    const std::vector<user_record> before = all_slots();
    EXPECT_EQ(run_page(dev.root, page_post("/6072", "{\"id\":3,\"name\":\"admin\"}")).out, TEXT + "SAMEUSER");
    EXPECT_EQ(run_page(dev.root, page_post("/6072", "{\"id\":3,\"name\":\"" + stem + "-three\"}")).out,
              TEXT + "SAMEUSER");
    EXPECT_TRUE(same_slots(all_slots(), before));
    EXPECT_FALSE(fms.wait_requests(1, 200));
}

// ---- "/6073" ----

TEST(DeleteUser, FreesTheSlotAnnouncesAndLogsIt)
{
    device dev;
    fake_main_service fms(dev.root);
    for (int id = 0; id < 4; ++id)
        store(account_with_rights(id, "user" + std::to_string(id), 1));

    EXPECT_EQ(run_page(dev.root, page_post("/6073", "{\"id\":2,\"type\":1}")).out, TEXT + "OK");
    user_record blank{};
    blank.id = 2;
    EXPECT_TRUE(same_bytes(stored(2), blank));
    ASSERT_TRUE(fms.wait_requests(2));
    expect_table_changed(fms.requests()[0], fms_int(2));
    expect_logged(fms.requests()[1], 204, 922);

    std::string list = run_page(dev.root, page_get("/6070")).out;
    EXPECT_EQ(list.find("\"user2\""), std::string::npos);
    EXPECT_NE(list.find("\"user3\""), std::string::npos);
    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user("user2"))).out, TEXT + "id=2");
}

// Input a page refuses gets no answer, changes no slot and reaches neither the table nor the log.
TEST(UserPages, RefuseInvalidInputWithoutAnAnswer)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    store(account(3, "bob"));
    user_record deleted{};
    deleted.id = 1;
    store(deleted);
    const std::vector<user_record> before = all_slots();
    const std::string hash = "\"password\":\"" + HASH + "\"";
    const std::pair<const char *, std::string> cases[] = {
        {"/6071", ""},
        {"/6071", "not json"},
        {"/6071", "{\"name\":\"dave\"," + hash + ",\"permission\":0,\"remotePermission\":0}"},  // no type
        {"/6071", new_user("dave", ",\"type\":4")},
        {"/6071", new_user("dave", ",\"type\":-1")},
        {"/6071", new_user("dave", ",\"type\":\"admin\"")},
        {"/6071", "{\"name\":\"dave\"," + hash + ",\"type\":0,\"remotePermission\":0}"},  // no permission
        {"/6071", new_user("dave", ",\"permission\":-2")},
        {"/6071", "{\"name\":\"dave\"," + hash + ",\"type\":0,\"permission\":0}"},  // no remote permission
        {"/6071", new_user("dave", ",\"remotePermission\":-5")},
        {"/6071", new_user("dave", ",\"localLiveView\":4294967296")},
        {"/6071", "{" + hash + ",\"type\":0,\"permission\":0,\"remotePermission\":0}"},  // no name
        {"/6071", new_user("")},
        {"/6071", "{\"name\":\"dave\",\"type\":0,\"permission\":0,\"remotePermission\":0}"},  // no password
        {"/6071", "{\"name\":\"dave\",\"password\":\"\",\"type\":0,\"permission\":0,\"remotePermission\":0}"},
        {"/6072", ""},
        {"/6072", "not json"},
        {"/6072", "{\"name\":\"x\",\"password\":\"x\"}"},  // no id
        {"/6072", "{\"id\":100,\"password\":\"x\"}"},
        {"/6072", "{\"id\":-1,\"password\":\"x\"}"},
        {"/6072", "{\"id\":\"bob\",\"password\":\"x\"}"},
        {"/6072", "{\"id\":1,\"password\":\"x\",\"name\":\"ghost\"}"},  // a deleted account stays deleted
        {"/6072", "{\"id\":7,\"password\":\"x\",\"name\":\"ghost\"}"},  // a slot never used
        {"/6072", "{\"id\":3,\"type\":4}"},
        {"/6072", "{\"id\":3,\"type\":-1}"},
        {"/6072", "{\"id\":3,\"localEvent\":\"yes\"}"},
        {"/6073", ""},
        {"/6073", "not json"},
        {"/6073", "{\"type\":0}"},
        {"/6073", "{\"id\":3}"},
        {"/6073", "{\"id\":100,\"type\":0}"},
        {"/6073", "{\"id\":-1,\"type\":0}"},
        {"/6073", "{\"id\":3,\"type\":4}"},
        {"/6073", "{\"id\":3,\"type\":-1}"},
    };
    for (const auto &[path, body] : cases)
        EXPECT_EQ(run_page(dev.root, page_post(path, body)).out, "") << path << " " << body;
    EXPECT_TRUE(same_slots(all_slots(), before));
    EXPECT_EQ(read_user_count(VXDB_MAIN_DB), 2);
    EXPECT_FALSE(fms.wait_requests(1, 200));
}

// A database that cannot be written: the error answer, and nothing is announced or logged.
TEST(UserPages, FailedWriteIsAnErrorAndNothingIsAnnounced)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(3, "bob"));
    break_database(dev.root);
    EXPECT_EQ(run_page(dev.root, page_post("/6071", new_user("carol"))).out, TEXT + "CGI ERROR");
    EXPECT_EQ(run_page(dev.root, page_post("/6073", "{\"id\":3,\"type\":0}")).out, TEXT + "CGI ERROR");
    EXPECT_EQ(run_page(dev.root, page_get("/1024")).out, TEXT + "CGI ERROR");
    EXPECT_FALSE(fms.wait_requests(1, 200));
}

// ---- "/6077", "/6074", "/1024" ----

TEST(ReloadUsers, AnnouncesTheWholeTable)
{
    device dev;
    fake_main_service fms(dev.root);
    EXPECT_EQ(run_page(dev.root, page_get("/6077")).out, TEXT + "OK");
    ASSERT_TRUE(fms.wait_requests(1));
    expect_table_changed(fms.requests()[0], "");
}

TEST(OemUsers, ListsTheFactoryAccountsInUseOnlyWhereTheDatabaseExists)
{
    device dev;
    EXPECT_EQ(run_page(dev.root, page_get("/6074")).out, "");

    cgi_result load = run_program(dev.root, {VXDB, "--db", VXDB_OEM_DB, "load", "oem_user", "-"}, {},
                                  "[{\"id\": 0, \"enable\": 1, \"name\": \"installer\", \"password\": \"" + HASH +
                                      "\", \"type\": 1, \"permission\": -1, \"remotePermission\": 3},"
                                      " {\"id\": 1, \"enable\": 0, \"name\": \"old\"}]");
    ASSERT_EQ(load.exit_status, 0) << load.err;
    EXPECT_EQ(run_page(dev.root, page_get("/6074")).out,
              JSON + "[ { \"id\": 0, \"enable\": 1, \"name\": \"installer\", \"password\": \"" + HASH +
                  "\", \"type\": 1, \"permission\": -1, \"remotePermission\": 3 } ]");
}

TEST(PermissionUpdate, IsClearedInTheDatabase)
{
    device dev;
    EXPECT_EQ(run_page(dev.root, page_get("/1024")).out, TEXT + "OK");
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "permission_update", 5), 0);

    set_param_int(VXDB_MAIN_DB, "permission_update", 1);
    EXPECT_EQ(run_page(dev.root, page_get("/1024")).out, TEXT + "OK");
    vxdb_close_all();
    EXPECT_EQ(get_param_int(VXDB_MAIN_DB, "permission_update", 5), 0);
}
