// The log-in pages through the real program: the password check of "/1000" with its answer and
// operation-log record, and the e-mail link of "/1018" with its cookies and redirects.
#include "e2e/system_pages.h"
#include "support/db_lock.h"
#include "link/web_session.h"
#include "system/system_codes.h"
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_record.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <ctime>
#include <string>
#include <vector>

using namespace system_pages;

namespace {
std::string login_body(const std::string &name, const std::string &md5)
{
    return "{\"userName\":\"" + name + "\",\"md5\":\"" + md5 + "\"}";
}

// The session id of a login answer, replaced by "<id>" in the answer. Empty when there is none.
std::string take_session_id(std::string *answer)
{
    const std::string key = "\"sessionId\": \"";
    size_t at = answer->find(key);
    if (at == std::string::npos)
        return "";
    at += key.size();
    size_t end = answer->find('"', at);
    std::string id = answer->substr(at, end - at);
    answer->replace(at, end - at, "<id>");
    return id;
}

bool is_session_id(const std::string &id)
{
    if (id.size() != 32)
        return false;
    for (char c : id) {
        if (!isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

const std::string admin_rights =
    "\"permission\": 7, \"localLiveView\": 11, \"localPlayback\": 12, \"localRetrieve\": 13, "
    "\"localSmartAnalysis\": 14, \"localEvent\": 15, \"localCamera\": 16, \"localStorage\": 17, "
    "\"localSettings\": 18, \"localStatus\": 19, \"localShutdown\": 20, \"localliveview\": \"1100\", "
    "\"localplayback\": \"1010\", \"remotePermisson\": -1, \"remoteLiveView\": 21, \"remotePlayback\": 22, "
    "\"remoteRetrieve\": 23, \"remoteSmartAnalysis\": 24, \"remoteEvent\": 25, \"remoteCamera\": 26, "
    "\"remoteStorage\": 27, \"remoteSettings\": 28, \"remoteStatus\": 29, \"remoteShutdown\": 30, "
    "\"remoteliveview\": \"0001\", \"remoteplayback\": \"1111\"";
}  // namespace

TEST(Login, AnswersTheRightsAndDeviceFactsAndLogsTheLogin)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account_with_rights(4, "admin", 1));
    set_param_int(VXDB_MAIN_DB, "failover_mode", 1);
    set_param_int(VXDB_MAIN_DB, "same_channel_exist", 2);
    set_param_value(VXDB_MAIN_DB, "hardware_version", "V2.3");
    set_param_value(VXDB_MAIN_DB, "software_version", "8.1.0.4");
    set_param_value(VXDB_MAIN_DB, "model", "N16-4K");

    // The hash compares without regard to case; the session cookie's user does not matter here.
    std::string upper = HASH;
    for (char &c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    cgi_result r = run_page(dev.root, page_post("/1000", login_body("admin", upper)));
    std::string id = take_session_id(&r.out);
    EXPECT_TRUE(is_session_id(id)) << id;
    EXPECT_EQ(r.out, TEXT + "{ \"type\": 1, \"userName\": \"admin\", " + admin_rights +
                         ", \"sessionId\": \"<id>\", \"failoverMode\": 1, \"sameChannel\": 1, "
                         "\"hardwareVersion\": \"V2.3\", \"softwareVersion\": \"8.1.0.4\", \"model\": \"N16-4K\" }");

    ASSERT_TRUE(fms.wait_requests(1));
    ASSERT_EQ(fms.requests().size(), 1u);
    expect_logged(fms.requests()[0], LOG_LOGIN, "admin");

    // The certificate directories exist after any login that could be read.
    EXPECT_TRUE(file_exists(dev.root.file("/mnt/nand/ssl/tmp")));

    // A second login in the same second gets another session id.
    std::string again = run_page(dev.root, page_post("/1000", login_body("admin", HASH))).out;
    std::string second_id = take_session_id(&again);
    EXPECT_TRUE(is_session_id(second_id)) << second_id;
    EXPECT_NE(second_id, id);
}

TEST(Login, DeviceFactsHaveTheirDefaultsAndAHashIsCutTo32Characters)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account_with_rights(0, "admin", 0));
    set_param_int(VXDB_MAIN_DB, "same_channel_exist", 1);  // only 2 means a shared channel

    cgi_result r = run_page(dev.root, page_post("/1000", login_body("admin", HASH + "ffff")));
    take_session_id(&r.out);
    EXPECT_EQ(r.out, TEXT + "{ \"type\": 0, \"userName\": \"admin\", " + admin_rights +
                         ", \"sessionId\": \"<id>\", \"failoverMode\": 0, \"sameChannel\": 0, "
                         "\"hardwareVersion\": \"V1.1\", \"softwareVersion\": \"7x.7.0.9\", \"model\": \"\" }");
}

namespace {
// Reads of the stored parameter `key` fail (an integer overflow as its row is stepped); every other
// key reads as stored.
void break_param_read(const test_root &root, const std::string &key)
{
    vxdb_close_all();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(root.file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
    const std::string sql = "ALTER TABLE params RENAME TO kept_params;"
                            "CREATE VIEW params AS SELECT key, CASE WHEN key = '" + key +
                            "' THEN abs(-9223372036854775807 - 1) ELSE value END AS value FROM kept_params;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}
}  // namespace

// A device fact that is stored but cannot be read is no default: the error form, and neither a
// session nor a log record.
TEST(Login, ADeviceFactThatCannotBeReadIsAnError)
{
    std::vector<exchange_row> rows;
    for (const char *key : {"hardware_version", "software_version", "model", "failover_mode", "same_channel_exist"}) {
        rows.push_back({.request = page_post("/1000", login_body("admin", HASH)),
                        .setup =
                            [key](const test_root &root) {
                                store(account(0, "admin"));
                                for (const char *fact : {"hardware_version", "software_version", "model",
                                                         "failover_mode", "same_channel_exist"})
                                    set_param_value(VXDB_MAIN_DB, fact, "2");
                                break_param_read(root, key);
                            },
                        .answer = TEXT_ERROR});
    }
    run_exchanges(rows);
}

// The database held locked by another process past the time-out (5 s): the error form, nothing sent.
TEST(Login, DatabaseLockedPastTheTimeOutIsAnError)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    set_param_value(VXDB_MAIN_DB, "model", "N16-4K");
    vxdb_close_all();
    cgi_result r;
    {
        lock_holder holder(dev.root.file(VXDB_MAIN_DB));
        r = run_cgi(dev.root, page_post("/1000", login_body("admin", HASH)));
    }
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, TEXT_ERROR);
    ASSERT_TRUE(fms.wait_idle());
    EXPECT_EQ(fms.requests().size(), 0u);
}

// A name matches an account on its first 31 characters; the answer carries the stored name and the
// log record the name the user typed.
TEST(Login, NameMatchesOnItsFirst31Characters)
{
    device dev;
    fake_main_service fms(dev.root);
    const std::string stored_name = std::string(31, 'n') + "-stored-tail";
    const std::string typed_name = std::string(31, 'n') + "-typed";
    store(account(2, stored_name));

    cgi_result r = run_page(dev.root, page_post("/1000", login_body(typed_name, HASH)));
    EXPECT_NE(r.out.find("\"userName\": \"" + stored_name + "\""), std::string::npos) << r.out;
    ASSERT_TRUE(fms.wait_requests(1));
    expect_logged(fms.requests()[0], LOG_LOGIN, typed_name.c_str());
}

TEST(Login, RefusalsAnswerTheirTypeAndLogNothing)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    store(account(1, "viewer", HASH, 3));  // may not use the web interface
    user_record deleted{};
    deleted.id = 2;  // a deleted slot: enable 0, no name, no hash
    store(deleted);
    user_record retired = account(3, "retired");
    retired.enable = 0;
    store(retired);
    store(account(4, "nohash", ""));
    store(account(5, "viewer-nohash", "", 3));

    // A refused login is not logged.
    auto refused = [](const std::string &body, int type) {
        return exchange_row{.request = page_post("/1000", body),
                            .answer = TEXT + "{ \"type\": " + std::to_string(type) + " }"};
    };
    run_exchanges(dev.root, fms,
                  {
                      refused(login_body("admin", "ffffffffffffffffffffffffffffffff"), -1),
                      refused(login_body("admin", HASH.substr(0, 31)), -1),
                      refused(login_body("nobody", HASH), -1),
                      refused(login_body("retired", HASH), -1),  // a free slot keeps its old name but is no account
                      refused(login_body("", ""), -1),           // would match the blank deleted slot
                      refused(login_body("admin", ""), -1),
                      refused(login_body("nohash", ""), -1),
                      refused(login_body("nohash", "x"), -1),
                      refused(login_body("viewer-nohash", HASH), -1),  // no stored hash: refused before the type counts
                      refused("{}", -1),
                      refused("{\"userName\":\"admin\"}", -1),
                      refused("{\"md5\":\"" + HASH + "\"}", -1),
                      refused(login_body("viewer", HASH), -2),
                      refused(login_body("viewer", "wrong"), -2),
                  });
}

// No answer, and none of the certificate directories a readable login creates.
TEST(Login, UnreadableBodyGetsNoAnswer)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    run_refusals(dev.root, fms, {posts("/1000", {"", "userName=admin", "{\"userName\":"}), gets("/1000", {""})},
                 [](const test_root &root) { return file_exists(root.file("/mnt/nand/ssl")) ? "created" : ""; });
}

// ---- The e-mail link ("/1018") ----

namespace {
const char *const mail_cookies[][2] = {
    {"userName", "temp"}, {"userType", "2"}, {"permission", "0"}, {"sessionId", "0"}, {"language", "en-US"},
};

cgi_request mail_link(const std::string &host, const std::string &query = "token=1", const char *wait_ms = REPLY_WAIT_MS)
{
    cgi_request request = page_get("/1018", query, wait_ms);
    request.env.push_back({"HTTP_HOST", host});
    return request;
}

std::vector<std::string> header_lines(const std::string &out)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = out.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(out.substr(at, end - at));
    lines.push_back(out.substr(at));  // what follows the last line end (nothing)
    return lines;
}

// The cookie domain the page set for a host, checked to be the same in all five cookies.
std::string cookie_domain(const test_root &root, fake_main_service &fms, const std::string &host)
{
    fms.script(MAIL_LINK_CHECK, fms_script().reply(reply_of(MAIL_LINK_CHECK), fms_int(0)));
    std::vector<std::string> lines = header_lines(run_page(root, mail_link(host)).out);
    if (lines.size() != 8)
        return "<" + std::to_string(lines.size()) + " lines>";
    std::string domain;
    for (int i = 0; i < 5; ++i) {
        size_t at = lines[i].find("; domain="), end = lines[i].find("; expires=");
        if (at == std::string::npos || end == std::string::npos)
            return "<no domain in " + lines[i] + ">";
        std::string d = lines[i].substr(at + 9, end - at - 9);
        if (i > 0 && d != domain)
            return "<domains differ>";
        domain = d;
    }
    return domain;
}
}  // namespace

TEST(MailLogin, ValidLinkSetsTheTemporarySessionCookiesAndOpensTheLivePage)
{
    device dev;
    fake_main_service fms(dev.root);
    fms.script(MAIL_LINK_CHECK, fms_script().reply(reply_of(MAIL_LINK_CHECK), fms_int(0)));

    const time_t before = time(nullptr);
    cgi_result r = run_page(dev.root, mail_link("192.168.1.5:8080", "token=ab12&mail=%22x%22"));
    const time_t after = time(nullptr);

    std::vector<std::string> lines = header_lines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    for (int i = 0; i < 5; ++i) {
        const std::string start = std::string("Set-Cookie: ") + mail_cookies[i][0] + "=" + mail_cookies[i][1] +
                                  "; domain=192.168.1.5; expires=";
        ASSERT_EQ(lines[i].rfind(start, 0), 0u) << lines[i];
        const std::string rest = lines[i].substr(start.size());
        // Ten minutes ahead, in universal time, with English day and month names.
        struct tm expiry {};
        const char *end = strptime(rest.c_str(), "%a, %d-%b-%Y %H:%M:%S GMT", &expiry);
        ASSERT_NE(end, nullptr) << lines[i];
        const time_t expires = timegm(&expiry);
        EXPECT_GE(expires, before + 600);
        EXPECT_LE(expires, after + 600);
        char text[64];
        strftime(text, sizeof text, "%a, %d-%b-%Y %H:%M:%S GMT; path=/", &expiry);
        EXPECT_EQ(rest, text);
    }
    EXPECT_EQ(lines[5], "Location: ../../html/index.html");
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "");

    // The link text goes to the main service as a 256-byte text (the query's %22 arrives as '"').
    ASSERT_EQ(fms.requests().size(), 1u);
    std::string expected = "token=ab12&mail=\"x\"";
    expected.resize(256, '\0');
    expect_sent(fms.requests()[0], asks(MAIL_LINK_CHECK, expected));
}

TEST(MailLogin, CookieDomainIsTheHostWithoutItsPortOrNothing)
{
    device dev;
    fake_main_service fms(dev.root);
    const std::string host48 = std::string(44, 'h') + ".com";
    EXPECT_EQ(cookie_domain(dev.root, fms, "nvr.example.com"), "nvr.example.com");
    EXPECT_EQ(cookie_domain(dev.root, fms, "10.0.0.2:80"), "10.0.0.2");
    EXPECT_EQ(cookie_domain(dev.root, fms, host48 + ":443"), host48);
    // No domain at all is safer than a wrong one: the browser then keeps the cookie for the host.
    EXPECT_EQ(cookie_domain(dev.root, fms, "[::1]:8080"), "");
    EXPECT_EQ(cookie_domain(dev.root, fms, "h" + host48), "");           // 49 characters
    EXPECT_EQ(cookie_domain(dev.root, fms, std::string(60, 'a')), "");
    EXPECT_EQ(cookie_domain(dev.root, fms, "evil.com; secure"), "");
    EXPECT_EQ(cookie_domain(dev.root, fms, ""), "");
}

// A link longer than the payload is cut to 255 characters and stays terminated.
TEST(MailLogin, InvalidLinkOpensTheStartPage)
{
    const std::string query(300, 'q');
    run_exchanges({{.request = mail_link("nvr.local", query),
                    .script = {replies(MAIL_LINK_CHECK, fms_int(7))},
                    .sent = {asks(MAIL_LINK_CHECK, std::string(255, 'q') + '\0')},
                    .answer = "Location: ../../html/home.html\r\n\r\n"}});
}

// No reply, a reply too short to hold the status, or such a reply with a whole one after it (the
// short one ends the wait; the later one is not taken): the text error form.
TEST(MailLogin, NoUsableReplyGivesTheTextErrorForm)
{
    std::string link = "token=1";
    link.resize(256, '\0');
    run_exchanges({
        {.request = mail_link("nvr.local", "token=1", NO_REPLY_WAIT_MS),
         .sent = {asks(MAIL_LINK_CHECK, link)},
         .answer = TEXT_ERROR},
        {.request = mail_link("nvr.local", "token=1", NO_REPLY_WAIT_MS),
         .script = {replies(MAIL_LINK_CHECK, std::string(2, '\0'))},
         .sent = {asks(MAIL_LINK_CHECK, link)},
         .answer = TEXT_ERROR},
        {.request = mail_link("nvr.local", "token=1"),
         .script = {unusable_then_whole(MAIL_LINK_CHECK, std::string(3, '\0'), fms_int(0))},
         .sent = {asks(MAIL_LINK_CHECK, link)},
         .answer = TEXT_ERROR},
    });
}

// ---- With the session gate on ----

namespace {
web_session stored_session(const std::string &id)
{
    vxdb_close_all();
    web_session s{};
    EXPECT_EQ(web_session_find(id.c_str(), time(nullptr), &s), 0) << id;
    return s;
}

int stored_sessions()
{
    vxdb_close_all();
    return vxdb_count(VXDB_MAIN_DB, *vxdb_find_kind("web_session"));
}
}  // namespace

// The answer is the one without the gate, but for its fresh id, which names a stored session; with
// the gate off nothing is stored.
TEST(Login, WithTheGateOnTheLoginStoresItsSession)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account_with_rights(4, "admin", 1));
    const std::string body = login_body("admin", HASH);

    std::string off = run_page(dev.root, page_post("/1000", body)).out;
    take_session_id(&off);
    EXPECT_EQ(stored_sessions(), 0);

    set_param_int(VXDB_MAIN_DB, "web_session_check", 1);
    set_param_int(VXDB_MAIN_DB, "web_session_max_s", 7200);
    const time_t before = time(nullptr);
    std::string on = run_page(dev.root, page_post("/1000", body)).out;
    const std::string id = take_session_id(&on);
    EXPECT_EQ(on, off);
    ASSERT_TRUE(is_session_id(id)) << id;

    web_session s = stored_session(id);
    EXPECT_EQ(s.user_id, 4);
    EXPECT_STREQ(s.name, "admin");
    EXPECT_EQ(s.type, 1);
    EXPECT_EQ(s.remote_settings, 28);
    EXPECT_STREQ(s.address, "127.0.0.1");
    EXPECT_EQ(s.lifetime_s, 7200);
    EXPECT_GE(s.created, before);
    EXPECT_EQ(s.last_seen, s.created);

    ASSERT_TRUE(fms.wait_requests(2));
    expect_logged(fms.requests()[1], LOG_LOGIN, "admin");
}

// A session that cannot be stored is no login: the error form, and no log record.
TEST(Login, WithTheGateOnASessionThatCannotBeStoredIsAnError)
{
    device dev;
    fake_main_service fms(dev.root);
    store(account(0, "admin"));
    set_param_int(VXDB_MAIN_DB, "web_session_check", 1);
    vxdb_close_all();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(dev.file(VXDB_MAIN_DB).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER no_sessions BEFORE INSERT ON records WHEN NEW.kind = 'web_session'"
                           " BEGIN SELECT RAISE(ABORT, 'full'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    run_exchanges(dev.root, fms, {{.request = page_post("/1000", login_body("admin", HASH)), .answer = TEXT_ERROR}});
}

// The e-mail link's cookies carry the id of a stored temporary session instead of "0".
TEST(MailLogin, WithTheGateOnTheLinkOpensATemporarySession)
{
    device dev;
    fake_main_service fms(dev.root);
    set_param_int(VXDB_MAIN_DB, "web_session_check", 1);
    fms.script(MAIL_LINK_CHECK, fms_script().reply(reply_of(MAIL_LINK_CHECK), fms_int(0)));
    const time_t before = time(nullptr);
    std::vector<std::string> lines = header_lines(run_page(dev.root, mail_link("nvr.local")).out);
    ASSERT_EQ(lines.size(), 8u);

    const std::string start = "Set-Cookie: sessionId=";
    ASSERT_EQ(lines[3].rfind(start, 0), 0u) << lines[3];
    const std::string id = lines[3].substr(start.size(), lines[3].find(';') - start.size());
    ASSERT_TRUE(is_session_id(id)) << id;
    for (int i : {0, 1, 2, 4}) {
        const std::string cookie = std::string("Set-Cookie: ") + mail_cookies[i][0] + "=" + mail_cookies[i][1] + ";";
        EXPECT_EQ(lines[i].rfind(cookie, 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines[5], "Location: ../../html/index.html");

    web_session s = stored_session(id);
    EXPECT_EQ(s.user_id, WEB_SESSION_TEMP_USER);
    EXPECT_STREQ(s.name, "temp");
    EXPECT_EQ(s.type, 2);
    EXPECT_EQ(s.remote_settings, 0);
    EXPECT_EQ(s.lifetime_s, 600);
    EXPECT_GE(s.created, before);
    EXPECT_EQ(web_session_find(id.c_str(), s.created + 601, &s), 1) << "lives ten minutes";
}
