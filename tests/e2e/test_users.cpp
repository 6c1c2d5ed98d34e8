// The user account pages through the real program: the lists, adding, changing and deleting
// accounts with what each writes to the database and sends to the main service, and the input each
// refuses without an answer and without writing anything.
#include "e2e/page_table.h"
#include "e2e/system_pages.h"
#include "link/web_session.h"
#include "system/system_codes.h"
#include "vxdb/vxdb_param.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <ctime>
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

// The bytes of every slot's record, to show that a refused request changed nothing.
std::string all_slots()
{
    vxdb_close_all();
    std::string bytes;
    for (int id = 0; id < MAX_USERS; ++id) {
        user_record u{};
        read_user(VXDB_MAIN_DB, &u, id);
        bytes += fms_record(u);
    }
    return bytes;
}

const state_reader every_slot = [](const test_root &) { return all_slots(); };

// The bytes of the record in slot `id`.
state_reader slot(int id)
{
    return [id](const test_root &) { return fms_record(stored(id)); };
}

// What the add page sends for a new account: the table changed, then the log record.
const std::vector<sent_request> added = {notifies(USER_TABLE_CHANGED), logs(LOG_USER_ADDED)};

// A request of a user page with its text answer and what it sends.
exchange_row user_row(const char *path, const std::string &body, const std::string &answer,
                      std::vector<sent_request> sent = {})
{
    return {.request = page_post(path, body), .sent = std::move(sent), .answer = TEXT + answer};
}

// A name already taken: the SAMEUSER answer, nothing sent and every slot as it was.
exchange_row same_user(const char *path, const std::string &body)
{
    exchange_row row = user_row(path, body, "SAMEUSER");
    row.read_state = every_slot;
    row.state = all_slots();
    return row;
}

// A change of account `id` that leaves `changed` stored: announced with the id, not logged.
exchange_row change(int id, const std::string &body, const user_record &changed)
{
    exchange_row row = user_row("/6072", body, "OK", {notifies(USER_TABLE_CHANGED, fms_int(id))});
    row.read_state = slot(id);
    row.state = fms_record(changed);
    return row;
}

// Makes every write to the main database fail while reads go on: a file that cannot be read at all
// is refused before any page runs (the session gate cannot tell whether it is off).
void break_database(const test_root &root)
{
    vxdb_close_all();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(root.file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
    const char *refuse_writes =
        "CREATE TRIGGER no_record_writes BEFORE INSERT ON records BEGIN SELECT RAISE(ABORT, 'broken'); END;"
        "CREATE TRIGGER no_param_writes BEFORE INSERT ON params BEGIN SELECT RAISE(ABORT, 'broken'); END;";
    EXPECT_EQ(sqlite3_exec(db, refuse_writes, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
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

    exchange_row row = user_row("/6071",
                                "{\"name\":\"alice\",\"password\":\"" + HASH +
                                    "\",\"type\":2,\"permission\":5,\"remotePermission\":-1,"
                                    "\"localliveview\":\"101\",\"localplayback\":\"0110\",\"remoteliveview\":\"1\","
                                    "\"remoteplayback\":\"\",\"localLiveView\":1,\"remoteShutdown\":1}",
                                "id=1", added);
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
    row.read_state = slot(1);
    row.state = fms_record(expected);
    run_exchanges(dev.root, fms, {row});
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
    run_exchanges(dev.root, fms, {user_row("/6071", "not json", "FAILED_FULL"),
                                  user_row("/6071", new_user("bob"), "FAILED_FULL")});

    // A deleted account frees its slot again.
    user_record deleted{};
    deleted.id = 42;
    store(deleted);
    run_exchanges(dev.root, fms, {user_row("/6071", new_user("bob"), "id=42", added)});
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
    run_exchanges(dev.root, fms,
                  {
                      same_user("/6071", new_user(stem + "-second")),
                      // The name of a deleted account is free, and its slot is the lowest free one.
                      user_row("/6071", new_user("carol"), "id=1", added),
                      user_row("/6071", new_user(stem.substr(0, 30) + "-x"), "id=2", added),
                  });
}

// ---- "/6072" ----

// A change is announced with the account's id and not logged.
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
    user_record merged = bob;
    memset(merged.name, 0, sizeof merged.name);
    memcpy(merged.name, long_name.data(), 31);
    merged.type = 2;
    strcpy(merged.localliveview, "0101");
    merged.remoteStatus = 1;
    const std::string new_hash = "ffffffffffffffffffffffffffffffff";
    user_record rehashed = merged;
    memcpy(rehashed.password, new_hash.c_str(), 33);

    run_exchanges(dev.root, fms,
                  {
                      change(3,
                             "{\"id\":3,\"name\":\"" + long_name +
                                 "\",\"password\":\"\",\"type\":2,\"localliveview\":\"0101\",\"remoteStatus\":1,"
                                 "\"permission\":9,\"remotePermission\":9}",
                             merged),
                      change(3, "{\"id\":3,\"password\":\"" + new_hash + "\"}", rehashed),
                      // Its own name is no clash.
                      change(0, "{\"id\":0,\"name\":\"admin\"}", account(0, "admin")),
                  });
}

TEST(ChangeUser, NameOfAnotherAccountIsRefused)
{
    device dev;
    fake_main_service fms(dev.root);
    const std::string stem(31, 'c');
    store(account(0, "admin"));
    store(account(3, "bob"));
    store(account(5, stem + "-five"));
    run_exchanges(dev.root, fms, {same_user("/6072", "{\"id\":3,\"name\":\"admin\"}"),
                                  same_user("/6072", "{\"id\":3,\"name\":\"" + stem + "-three\"}")});
}

// ---- "/6073" ----

TEST(DeleteUser, FreesTheSlotAnnouncesAndLogsIt)
{
    device dev;
    fake_main_service fms(dev.root);
    for (int id = 0; id < 4; ++id)
        store(account_with_rights(id, "user" + std::to_string(id), 1));
    exchange_row removal = user_row("/6073", "{\"id\":2,\"type\":1}", "OK",
                                    {notifies(USER_TABLE_CHANGED, fms_int(2)), logs(LOG_USER_DELETED)});
    user_record blank{};
    blank.id = 2;
    removal.read_state = slot(2);
    removal.state = fms_record(blank);
    run_exchanges(dev.root, fms, {removal});

    std::string list = run_page(dev.root, page_get("/6070")).out;
    EXPECT_EQ(list.find("\"user2\""), std::string::npos);
    EXPECT_NE(list.find("\"user3\""), std::string::npos);
    run_exchanges(dev.root, fms, {user_row("/6071", new_user("user2"), "id=2", added)});
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
    const std::string hash = "\"password\":\"" + HASH + "\"";
    run_refusals(
        dev.root, fms,
        {
            posts("/6071",
                  {"", "not json", new_user("dave", ",\"type\":4"), new_user("dave", ",\"type\":-1"),
                   new_user("dave", ",\"type\":\"admin\""), new_user("dave", ",\"permission\":-2"),
                   new_user("dave", ",\"remotePermission\":-5"), new_user("dave", ",\"localLiveView\":4294967296"),
                   new_user(""),
                   "{\"name\":\"dave\"," + hash + ",\"permission\":0,\"remotePermission\":0}",   // no type
                   "{\"name\":\"dave\"," + hash + ",\"type\":0,\"remotePermission\":0}",         // no permission
                   "{\"name\":\"dave\"," + hash + ",\"type\":0,\"permission\":0}",               // no remote permission
                   "{" + hash + ",\"type\":0,\"permission\":0,\"remotePermission\":0}",            // no name
                   "{\"name\":\"dave\",\"type\":0,\"permission\":0,\"remotePermission\":0}",  // no password
                   "{\"name\":\"dave\",\"password\":\"\",\"type\":0,\"permission\":0,\"remotePermission\":0}"}),
            posts("/6072",
                  {"", "not json", "{\"id\":100,\"password\":\"x\"}", "{\"id\":-1,\"password\":\"x\"}",
                   "{\"id\":\"bob\",\"password\":\"x\"}", "{\"id\":3,\"type\":4}", "{\"id\":3,\"type\":-1}",
                   "{\"id\":3,\"localEvent\":\"yes\"}",
                   "{\"name\":\"x\",\"password\":\"x\"}",                    // no id
                   "{\"id\":1,\"password\":\"x\",\"name\":\"ghost\"}",    // a deleted account stays deleted
                   "{\"id\":7,\"password\":\"x\",\"name\":\"ghost\"}"}),  // a slot never used
            posts("/6073", {"", "not json", "{\"type\":0}", "{\"id\":3}", "{\"id\":100,\"type\":0}",
                            "{\"id\":-1,\"type\":0}", "{\"id\":3,\"type\":4}", "{\"id\":3,\"type\":-1}"}),
        },
        every_slot);
    EXPECT_EQ(read_user_count(VXDB_MAIN_DB), 2);
}

// A database that cannot be written: the error answer, and nothing is announced or logged.
TEST(UserPages, FailedWriteIsAnErrorAndNothingIsAnnounced)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(3, "bob"));
    break_database(dev.root);
    run_exchanges(dev.root, fms,
                  {user_row("/6071", new_user("carol"), "CGI ERROR"),
                   user_row("/6073", "{\"id\":3,\"type\":0}", "CGI ERROR"),
                   {.request = page_get("/1024"), .answer = TEXT_ERROR}});
}

// ---- Sessions of changed accounts ----

namespace {
// A stored session of account `user_id`; its id is the account's slot in 32 digits plus `n`.
std::string open_session(int32_t user_id, const char *name, int32_t type, int n = 0)
{
    web_session s{};
    s.user_id = user_id;
    snprintf(s.id, sizeof s.id, "%031d%d", user_id, n);
    snprintf(s.name, sizeof s.name, "%s", name);
    s.type = type;
    s.remote_settings = 0;
    s.lifetime_s = WEB_SESSION_MAX_S;
    s.created = s.last_seen = time(nullptr);
    EXPECT_EQ(web_session_store(&s), 0);
    vxdb_close_all();
    return s.id;
}

// The stored session's type and settings flag as "type/flag", or "none".
std::string session_state(const std::string &id)
{
    vxdb_close_all();
    web_session s{};
    if (web_session_find(id.c_str(), time(nullptr), &s) != 0)
        return "none";
    return std::to_string(s.type) + "/" + std::to_string(s.remote_settings);
}
}  // namespace

// Changing an account gives its sessions the new type and settings flag, deleting it ends them; the
// sessions of other accounts stay as they were. Also with the gate off: a session stored earlier must
// not outlive its account once the gate is on again.
TEST(UserPages, SessionsFollowAChangedOrDeletedAccount)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(3, "bob", HASH, 1));
    store(account(5, "carol", HASH, 1));
    const std::string bob_1 = open_session(3, "bob", 1, 1), bob_2 = open_session(3, "bob", 1, 2);
    const std::string carol = open_session(5, "carol", 1);

    run_exchanges(dev.root, fms,
                  {user_row("/6072", "{\"id\":3,\"type\":2,\"remoteSettings\":1}", "OK",
                            {notifies(USER_TABLE_CHANGED, fms_int(3))})});
    EXPECT_EQ(session_state(bob_1), "2/1");
    EXPECT_EQ(session_state(bob_2), "2/1");
    EXPECT_EQ(session_state(carol), "1/0");

    run_exchanges(dev.root, fms,
                  {user_row("/6073", "{\"id\":3,\"type\":2}", "OK",
                            {notifies(USER_TABLE_CHANGED, fms_int(3)), logs(LOG_USER_DELETED)})});
    EXPECT_EQ(session_state(bob_1), "none");
    EXPECT_EQ(session_state(bob_2), "none");
    EXPECT_EQ(session_state(carol), "1/0");
}

// ---- "/6077", "/6074", "/1024" ----

TEST(ReloadUsers, AnnouncesTheWholeTable)
{
    run_exchanges({{.request = page_get("/6077"), .sent = {notifies(USER_TABLE_CHANGED)}, .answer = TEXT + "OK"}});
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

// With the gate on, a session that is not an administrator's may change its own account's name and
// password, nothing else and no other account; an administrator's may change anything.
TEST(ChangeUser, WithTheGateOnOnlyAnAdministratorChangesMoreThanOwnNameAndPassword)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin", HASH, 0));
    store(account(3, "bob", HASH, 1));
    set_param_int(VXDB_MAIN_DB, "web_session_check", 1);
    const std::string admin = open_session(0, "admin", 0), bob = open_session(3, "bob", 1);
    auto as = [](const std::string &id, const char *name, const std::string &body) {
        cgi_request request = page_post("/6072", body);
        for (auto &[variable, value] : request.env) {
            if (variable == "HTTP_COOKIE")
                value = "sessionId=" + id + "; userName=" + name;
        }
        return request;
    };

    const std::string before = all_slots();
    for (const std::string &body : {"{\"id\":0,\"password\":\"" + HASH + "\"}", std::string("{\"id\":3,\"type\":0}"),
                                    std::string("{\"id\":3,\"remoteSettings\":1}"),
                                    std::string("{\"id\":3,\"localliveview\":\"1111\"}"),
                                    std::string("{\"id\":3,\"name\":\"bobby\",\"permission\":5}")}) {
        vxdb_close_all();
        cgi_result r = run_cgi(dev.root, as(bob, "bob", body));
        EXPECT_EQ(r.out, "Status: 403 Forbidden\r\nContent-type: text/plain\r\n\r\nFORBIDDEN") << body;
        EXPECT_NE(r.err, "") << body;  // the web server's log names the refusal
        EXPECT_EQ(all_slots(), before) << body;
    }
    ASSERT_TRUE(fms.wait_idle());
    EXPECT_EQ(fms.requests().size(), 0u);

    run_exchanges(dev.root, fms,
                  {{.request = as(bob, "bob", "{\"id\":3,\"name\":\"bobby\",\"password\":\"" + std::string(32, 'e') + "\"}"),
                    .sent = {notifies(USER_TABLE_CHANGED, fms_int(3))},
                    .answer = TEXT + "OK"},
                   {.request = as(admin, "admin", "{\"id\":3,\"type\":2,\"localliveview\":\"1\"}"),
                    .sent = {notifies(USER_TABLE_CHANGED, fms_int(3))},
                    .answer = TEXT + "OK"}});
    user_record changed = stored(3);
    EXPECT_STREQ(changed.name, "bobby");
    EXPECT_EQ(changed.type, 2);
    EXPECT_EQ(session_state(bob), "2/0");
}
