// Password guessing through "/1000" with the session gate on: the hold of an address after 5 refusals
// of one name or 20 of any names, its end, the same name from another address, the log record of
// every refusal, and counters that never outgrow their slots.
#include "e2e/system_pages.h"
#include "system/login_guard.h"
#include "system/system_codes.h"
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_txn.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

using namespace system_pages;

namespace {
const std::string WRONG = "ffffffffffffffffffffffffffffffff";
const char *const OTHER_ADDRESS = "10.0.0.9";  // the runner's requests come from 127.0.0.1

std::string login_body(const std::string &name, const std::string &md5)
{
    return "{\"userName\":\"" + name + "\",\"md5\":\"" + md5 + "\"}";
}

// A refused login with the gate on: the refusal's usual answer and its log record.
exchange_row refused(const std::string &name, const std::string &md5 = WRONG)
{
    return {.request = page_post("/1000", login_body(name, md5)),
            .sent = {logs(LOG_LOGIN_REFUSED, 0, name.c_str())},
            .answer = TEXT + "{ \"type\": -1 }"};
}

// Whether a login of `name` with the right hash from `address` gets in.
bool logs_in(const test_root &root, const std::string &name, const char *address = "127.0.0.1")
{
    cgi_request request = page_post("/1000", login_body(name, HASH));
    request.env.push_back({"REMOTE_ADDR", address});
    std::string out = run_page(root, request).out;
    return out.rfind(TEXT + "{ \"type\": 0, \"userName\": \"" + name + "\"", 0) == 0;
}

const vxdb_kind &guard_kind()
{
    return *vxdb_find_kind("login_guard");
}

// Moves every stored counter `seconds` into the past, as if that time had gone by.
void age_counters(int seconds)
{
    vxdb_close_all();
    auto age = [&](vxdb_txn &txn) {
        login_guard_record all[LOGIN_GUARD_SLOTS];
        txn.read_slots(all, LOGIN_GUARD_SLOTS);
        for (login_guard_record &r : all) {
            if (r.last_failure == 0)
                continue;
            r.first_failure -= seconds;
            r.last_failure -= seconds;
            r.held_until = r.held_until != 0 ? r.held_until - seconds : 0;
            txn.write(&r);
        }
        return 0;
    };
    ASSERT_EQ(vxdb_update(VXDB_MAIN_DB, guard_kind(), age), 0);
    vxdb_close_all();
}

struct guarded_device {
    device dev;
    fake_main_service fms{dev.root};
    guarded_device()
    {
        store(account(0, "admin"));
        store(account(1, "bob"));
        set_param_int(VXDB_MAIN_DB, "web_session_check", 1);
    }
};
}  // namespace

TEST(LoginGuard, FiveRefusalsOfOneNameHoldThatNameFromThatAddress)
{
    guarded_device d;
    std::vector<exchange_row> rows(LOGIN_GUARD_NAME_TRIES, refused("admin"));
    rows.push_back(refused("admin", HASH));  // held: the right hash is not even compared
    run_exchanges(d.dev.root, d.fms, rows);

    EXPECT_TRUE(logs_in(d.dev.root, "bob")) << "another name from the same address";
    const time_t now = time(nullptr);
    EXPECT_TRUE(logs_in(d.dev.root, "admin", OTHER_ADDRESS)) << "the same name from elsewhere";
    EXPECT_EQ(login_guard_held("127.0.0.1", "admin", now + LOGIN_GUARD_HOLD_S + 1, nullptr), 0);

    // A minute later the name gets in again, and its success clears its count.
    age_counters(LOGIN_GUARD_HOLD_S);
    EXPECT_TRUE(logs_in(d.dev.root, "admin"));
    bool counted = true;
    EXPECT_EQ(login_guard_held("127.0.0.1", "admin", time(nullptr), &counted), 0);
    EXPECT_FALSE(counted);
}

// Refusals elsewhere do not hold this address, whatever the name.
TEST(LoginGuard, ANameHeldAtAnotherAddressLogsInHere)
{
    guarded_device d;
    const time_t now = time(nullptr);
    for (int i = 0; i < LOGIN_GUARD_ADDRESS_TRIES; ++i)
        ASSERT_EQ(login_guard_refused(OTHER_ADDRESS, "admin", now), 0);
    ASSERT_EQ(login_guard_held(OTHER_ADDRESS, "admin", now, nullptr), 1);
    EXPECT_TRUE(logs_in(d.dev.root, "admin"));
}

TEST(LoginGuard, TwentyRefusalsFromOneAddressHoldEveryName)
{
    guarded_device d;
    std::vector<exchange_row> rows;
    for (int i = 0; i < LOGIN_GUARD_ADDRESS_TRIES - 1; ++i)
        rows.push_back(refused("guess" + std::to_string(i)));
    run_exchanges(d.dev.root, d.fms, rows);
    EXPECT_TRUE(logs_in(d.dev.root, "admin")) << "19 refusals do not hold";

    run_exchanges(d.dev.root, d.fms, {refused("guess19"), refused("bob", HASH), refused("admin", HASH)});

    // Refusals spread over more than five minutes are not counted together.
    age_counters(LOGIN_GUARD_WINDOW_S + 1);
    run_exchanges(d.dev.root, d.fms, {refused("guess20")});
    EXPECT_TRUE(logs_in(d.dev.root, "bob"));
}

// With the gate off nothing is counted, held or logged.
TEST(LoginGuard, NothingWithTheGateOff)
{
    guarded_device d;
    set_param_int(VXDB_MAIN_DB, "web_session_check", 0);
    const exchange_row unlogged{.request = page_post("/1000", login_body("admin", WRONG)),
                                .answer = TEXT + "{ \"type\": -1 }"};
    std::vector<exchange_row> rows(LOGIN_GUARD_NAME_TRIES + 1, unlogged);
    run_exchanges(d.dev.root, d.fms, rows);
    EXPECT_TRUE(logs_in(d.dev.root, "admin"));
    vxdb_close_all();
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, guard_kind()), 0);
}

// Many addresses use no more than the fixed slots; the oldest counters make room for new ones, which
// still count and hold.
TEST(LoginGuard, CountersStayInTheirSlots)
{
    device dev;
    const time_t now = time(nullptr);
    for (int i = 0; i < 3 * LOGIN_GUARD_SLOTS; ++i) {
        const std::string address = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        ASSERT_EQ(login_guard_refused(address.c_str(), "admin", now - 3 * LOGIN_GUARD_SLOTS + i), 0);
    }
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, guard_kind()), LOGIN_GUARD_SLOTS);
    bool counted = true;
    EXPECT_EQ(login_guard_held("10.1.0.0", "admin", now, &counted), 0);
    EXPECT_FALSE(counted) << "the oldest counter made room";
    for (int i = 0; i < LOGIN_GUARD_NAME_TRIES; ++i)
        ASSERT_EQ(login_guard_refused("10.2.0.1", "admin", now), 0);
    EXPECT_EQ(login_guard_held("10.2.0.1", "admin", now, nullptr), 1);
    EXPECT_EQ(vxdb_count(VXDB_MAIN_DB, guard_kind()), LOGIN_GUARD_SLOTS);
}
