// The session gate through nvr.cgi: with "web_session_check" on, a request without a live session
// holding its page's right, or sent from another site, is refused before anything is read, sent,
// stored or uploaded; with a session that holds the right the page answers as it always did.
#include "e2e/system_pages.h"
#include "front/session_gate.h"
#include "link/web_session.h"
#include "storage/storage_codes.h"
#include "vxdb/vxdb_param.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using system_pages::device;

const char *const ADMIN_ID = "10000000000000000000000000000001";
const char *const OPERATOR_ID = "10000000000000000000000000000002";   // type 1 with remoteSettings
const char *const VIEWER_ID = "10000000000000000000000000000003";     // type 1 without
const char *const IDLE_ID = "10000000000000000000000000000004";       // seen last an hour ago
const char *const AGED_ID = "10000000000000000000000000000005";       // signed in 14 hours ago
const char *const SPACED_ID = "10000000000000000000000000000006";     // "ana maria", type 1 with settings

const std::string UNAUTHORIZED = "Status: 401 Unauthorized\r\nContent-type: text/plain\r\n\r\nUNAUTHORIZED";
const std::string FORBIDDEN = "Status: 403 Forbidden\r\nContent-type: text/plain\r\n\r\nFORBIDDEN";

void store_session(const char *id, const char *name, int type, int remote_settings, int64_t signed_in_ago,
                   int64_t seen_ago)
{
    web_session session{};
    session.user_id = type == 0 ? 0 : 1;
    snprintf(session.id, sizeof session.id, "%s", id);
    snprintf(session.name, sizeof session.name, "%s", name);
    snprintf(session.address, sizeof session.address, "127.0.0.1");
    session.type = type;
    session.remote_settings = remote_settings;
    session.lifetime_s = WEB_SESSION_MAX_S;
    const int64_t now = time(nullptr);
    session.created = now - signed_in_ago;
    session.last_seen = now - seen_ago;
    ASSERT_EQ(web_session_store(&session), 0) << name;
}

// A device with the gate on and one session of each kind.
void gate_on(int check = 1)
{
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "web_session_check", check), 0);
    store_session(ADMIN_ID, "admin", 0, 1, 10, 0);
    store_session(OPERATOR_ID, "operator", 1, 1, 10, 0);
    store_session(VIEWER_ID, "viewer", 1, 0, 10, 0);
    store_session(IDLE_ID, "admin", 0, 1, 7200, 3600);
    store_session(AGED_ID, "admin", 0, 1, 50400, 0);
    store_session(SPACED_ID, "ana maria", 1, 1, 10, 0);
    vxdb_close_all();
}

// The request with `cookie` as its only cookie header ("" for none) and the extra variables.
cgi_request with(cgi_request request, const std::string &cookie,
                 std::vector<std::pair<std::string, std::string>> extra = {})
{
    std::erase_if(request.env, [](const auto &v) { return v.first == "HTTP_COOKIE"; });
    if (!cookie.empty())
        request.env.emplace_back("HTTP_COOKIE", cookie);
    request.env.emplace_back("HTTP_HOST", "192.168.1.10");
    for (auto &v : extra)
        request.env.push_back(std::move(v));
    return request;
}

std::string session(const char *id)
{
    return std::string("sessionId=") + id + "; lang=en";
}

// A body the process must never read: stdin stays open, so a read waits until the test gives up.
cgi_request unread(cgi_request request)
{
    request.close_stdin = false;
    request.content_length = std::to_string(request.body.size() + 64);
    request.timeout_ms = 5000;
    return request;
}

cgi_request upload(const std::string &path)
{
    const std::string mark = "----gateBoundary";
    cgi_request request = page_post(path, "--" + mark +
                                              "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"x.bin\"\r\n"
                                              "Content-Type: application/octet-stream\r\n\r\nDATA\r\n--" + mark + "--\r\n");
    request.content_type = "multipart/form-data; boundary=" + mark;
    return unread(request);
}

std::vector<std::string> files_in(const std::string &directory)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    return names;
}

struct refusal {
    const char *label;
    cgi_request request;
    std::string answer;
    bool live_session;  // the diagnostic log names the refusal
};

// Each row is refused with exactly its answer and one line on standard error naming the page; the
// process read no body, sent nothing, stored nothing and left nothing in /tmp; the diagnostic log
// has the line only when a live session was carried; no line ever holds a session id.
void run_gate_refusals(const device &dev, fake_main_service &fms, const std::vector<refusal> &rows)
{
    const std::string db = dev.file("/mnt/nand/app/vxdb.db");
    const std::string log = dev.file("/mnt/nand/cgi_log.txt");
    vxdb_close_all();
    const std::string stored = read_file(db);
    for (const refusal &row : rows) {
        SCOPED_TRACE(row.label);
        std::remove(log.c_str());
        cgi_result r = run_cgi(dev.root, row.request);
        EXPECT_FALSE(r.timed_out) << "the body was read";
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, row.answer);
        EXPECT_EQ(r.err.rfind("nvr.cgi: refused " + row.request.path_info + " (", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        const std::string logged = read_file(log);
        if (row.live_session)
            EXPECT_NE(logged.find("refused " + row.request.path_info), std::string::npos) << logged;
        else
            EXPECT_EQ(logged, "");
        for (const char *id : {ADMIN_ID, OPERATOR_ID, VIEWER_ID, IDLE_ID, AGED_ID}) {
            EXPECT_EQ(r.err.find(id), std::string::npos);
            EXPECT_EQ(logged.find(id), std::string::npos);
        }
        EXPECT_TRUE(files_in(dev.file("/tmp")).empty());
        fms.wait_idle();
        EXPECT_TRUE(fms.requests().empty());
        vxdb_close_all();
        EXPECT_TRUE(read_file(db) == stored) << "the database changed";
    }
}

const std::string new_user = R"({"name":"mallory","password":"0123456789abcdef0123456789abcdef","type":0})";
}  // namespace

TEST(SessionGate, RefusesWithoutALiveSessionHoldingTheRight)
{
    device dev;
    gate_on();
    fake_main_service fms(dev.root);
    const cgi_request add = unread(page_post("/6071", new_user, NO_REPLY_WAIT_MS));
    const cgi_request format = page_get("/6102", "{\"portId\":2}", NO_REPLY_WAIT_MS);
    const cgi_request disk = unread(page_post("/6101", R"({"portId":3,"property":1})", NO_REPLY_WAIT_MS));
    cgi_request on_test_page = page_get("/ipcw", "", NO_REPLY_WAIT_MS);
    on_test_page.program = NVR_TEST_CGI;
    const std::string cross = "http://evil.example";
    run_gate_refusals(dev, fms, {
        {"no cookie", with(add, ""), UNAUTHORIZED, false},
        {"a user name but no session", with(add, "userName=admin; lang=en"), UNAUTHORIZED, false},
        {"an unknown id", with(add, session("10000000000000000000000000000009")), UNAUTHORIZED, false},
        {"an id one digit longer", with(add, std::string("sessionId=") + ADMIN_ID + "0"), UNAUTHORIZED, false},
        {"an empty id", with(add, "sessionId=; userName=admin"), UNAUTHORIZED, false},
        {"idle too long", with(add, session(IDLE_ID)), UNAUTHORIZED, false},
        {"older than its lifetime", with(add, session(AGED_ID)), UNAUTHORIZED, false},
        {"the user name of another user", with(add, session(OPERATOR_ID) + "; userName=admin"), UNAUTHORIZED, true},
        {"no settings right", with(disk, session(VIEWER_ID)), FORBIDDEN, true},
        {"type 1 on an administrator page", with(add, session(OPERATOR_ID)), FORBIDDEN, true},
        {"type 1 formats a disk", with(format, session(OPERATOR_ID)), FORBIDDEN, true},
        {"Sec-Fetch-Site cross-site", with(add, session(ADMIN_ID), {{"HTTP_SEC_FETCH_SITE", "cross-site"}}),
         FORBIDDEN, true},
        {"Origin of another host", with(add, session(ADMIN_ID), {{"HTTP_ORIGIN", cross}}), FORBIDDEN, true},
        {"Origin of another port", with(add, session(ADMIN_ID), {{"HTTP_ORIGIN", "http://192.168.1.10:8080"}}),
         FORBIDDEN, true},
        {"an opaque Origin", with(add, session(ADMIN_ID), {{"HTTP_ORIGIN", "null"}}), FORBIDDEN, true},
        {"an upload without a session", with(upload("/6102"), ""), UNAUTHORIZED, false},
        {"an upload without the right", with(upload("/6101"), session(VIEWER_ID)), FORBIDDEN, true},
        {"a page without a declared right", with(on_test_page, session(ADMIN_ID)), FORBIDDEN, true},
    });
}

TEST(SessionGate, ASessionHoldingTheRightGetsThePageAsBefore)
{
    device dev;
    gate_on();
    fake_main_service fms(dev.root);
    const cgi_request mode = page_get("/6108");
    const cgi_request disk = page_post("/6101", R"({"portId":3,"property":1})");
    const std::string ana = std::string("sessionId=") + SPACED_ID;
    run_exchanges(dev.root, fms, {
        {.request = with(mode, session(ADMIN_ID) + "; userName=admin"), .answer = TEXT + "0"},
        {.request = with(mode, session(OPERATOR_ID), {{"HTTP_SEC_FETCH_SITE", "same-origin"}}),
         .answer = TEXT + "0"},
        {.request = with(mode, session(OPERATOR_ID), {{"HTTP_ORIGIN", "http://192.168.1.10"}}), .answer = TEXT + "0"},
        {.request = with(mode, session(ADMIN_ID), {{"HTTP_ORIGIN", "HTTP://192.168.1.10:80/"}}),
         .answer = TEXT + "0"},
        // The operation log names the session's user, whatever cookie came with it.
        {.request = with(disk, session(OPERATOR_ID)),
         .sent = {notifies(DISK_SETTINGS, ints({3, 1, 0, 0})), logs(LOG_DISK_SETTINGS, 3, "operator")},
         .answer = TEXT + "OK"},
        {.request = with(disk, ana + "; userName=ana%20maria"),
         .sent = {notifies(DISK_SETTINGS, ints({3, 1, 0, 0})), logs(LOG_DISK_SETTINGS, 3, "ana maria")},
         .answer = TEXT + "OK"},
        {.request = with(disk, ana + "; userName=ana maria"),
         .sent = {notifies(DISK_SETTINGS, ints({3, 1, 0, 0})), logs(LOG_DISK_SETTINGS, 3, "ana maria")},
         .answer = TEXT + "OK"},
        {.request = with(disk, session(ADMIN_ID)),
         .sent = {notifies(DISK_SETTINGS, ints({3, 1, 0, 0})), logs(LOG_DISK_SETTINGS, 3, "admin")},
         .answer = TEXT + "OK"},
    });
}

TEST(SessionGate, OffWhenTheKeyIsZeroAndClosedWhenItCannotBeRead)
{
    device dev;
    gate_on(0);
    fake_main_service fms(dev.root);
    const cgi_request mode = page_get("/6108");
    run_exchanges(dev.root, fms, {
        {.request = with(mode, ""), .answer = TEXT + "0"},
        {.request = with(mode, session("1"), {{"HTTP_SEC_FETCH_SITE", "cross-site"}}), .answer = TEXT + "0"},
        {.request = with(page_post("/6101", R"({"portId":3,"property":1})"), "userName=someone"),
         .sent = {notifies(DISK_SETTINGS, ints({3, 1, 0, 0})), logs(LOG_DISK_SETTINGS, 3, "someone")},
         .answer = TEXT + "OK"},
    });

    vxdb_close_all();
    fms.wait_idle();
    const size_t sent = fms.requests().size();
    write_file(dev.file("/mnt/nand/app/vxdb.db"), std::string(8192, 'x'));
    cgi_result refused = run_cgi(dev.root, with(page_post("/6101", R"({"portId":3,"property":1})"), session(ADMIN_ID)));
    EXPECT_EQ(refused.out, UNAUTHORIZED);
    fms.wait_idle();
    EXPECT_EQ(fms.requests().size(), sent);
    // The sign-in page never asks the gate.
    cgi_result login = run_cgi(dev.root, with(page_post("/1000", "not json"), ""));
    EXPECT_EQ(login.out.find("Status: 401"), std::string::npos) << login.out;
}

TEST(SessionGate, CookieItemsAndOrigins)
{
    struct {
        const char *cookie, *name, *value;
    } items[] = {
        {"sessionId=12; userName=admin", "sessionId", "12"},
        {"sessionId=12; userName=admin", "userName", "admin"},
        {"xsessionId=9; sessionId=12", "sessionId", "12"},
        {"sessionId=12 ;userName=a b ", "userName", "a b"},
        {"sessionIdx=1", "sessionId", nullptr},
        {"sessionId", "sessionId", nullptr},
        {"", "sessionId", nullptr},
        {"userName=sessionId=5", "sessionId", nullptr},
        {"sessionId=; a=1", "sessionId", ""},
    };
    for (const auto &c : items) {
        size_t length = 0;
        const char *value = cgi_cookie_item(c.cookie, c.name, &length);
        if (c.value == nullptr) {
            EXPECT_EQ(value, nullptr) << c.cookie;
        } else {
            ASSERT_NE(value, nullptr) << c.cookie;
            EXPECT_EQ(std::string(value, length), c.value) << c.cookie;
        }
    }

    struct {
        const char *origin, *host;
        bool other;
    } origins[] = {
        {"http://nvr.local", "nvr.local", false},     {"https://NVR.local", "nvr.local", false},
        {"http://nvr.local:80", "nvr.local", false},  {"http://nvr.local", "nvr.local:80", false},
        {"https://nvr.local:443", "nvr.local", false}, {"http://nvr.local:8080", "nvr.local:8080", false},
        {"https://nvr.local:80", "nvr.local", true},  {"http://nvr.local:8080", "nvr.local", true},
        {"http://nvr.local.evil", "nvr.local", true}, {"http://nvr", "nvr.local", true},
        {"null", "nvr.local", true},                  {"http://", "", true},
        {"http://[::1]:81", "[::1]:81", false},
    };
    for (const auto &c : origins)
        EXPECT_EQ(cgi_origin_is_other_host(c.origin, c.host), c.other) << c.origin << " " << c.host;
}
