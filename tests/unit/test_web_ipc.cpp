// The exchange inside one process: how long cgi_start_ipc waits, and which replies may still reach the
// handler's callback once the wait is over.
#include "alarm/alarm_module.h"
#include "batch/batch_module.h"
#include "camera/camera_module.h"
#include "link/web_ipc.h"
#include "network/network_module.h"
#include "ptz/ptz_module.h"
#include "record/record_module.h"
#include "status/status_module.h"
#include "storage/storage_module.h"
#include "stream/stream_module.h"
#include "support/device_root.h"
#include "support/fake_main_service.h"
#include "system/system_module.h"
#include "video/video_module.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {
using clock_type = std::chrono::steady_clock;

std::atomic<int> g_calls{0};
std::atomic<int> g_flag_to_set{1};
std::atomic<int> g_callback_delay_ms{0};
std::atomic<std::thread::id> g_callback_thread;
std::atomic<int> g_last_code{0};

// A dispatcher that takes its time if asked to, then sets the flag it was told to.
void counting_callback(void * /*unused*/, const void *header, const void *payload)
{
    if (payload == nullptr || cgi_reply_code(header) == 0)
        return;
    ++g_calls;
    g_last_code = cgi_reply_code(header);
    g_callback_thread = std::this_thread::get_id();
    if (g_callback_delay_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(g_callback_delay_ms.load()));
    g_callback_done = g_flag_to_set.load();
}

int elapsed_ms(clock_type::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - since).count());
}

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VX_IPC_TIMEOUT_MS");
        g_calls = 0;
        g_flag_to_set = 1;
        g_callback_delay_ms = 0;
    }
    void TearDown() override
    {
        cgi_stop_ipc();
        unsetenv("VX_IPC_TIMEOUT_MS");
    }
    device_root dev;
    const test_root &root = dev.root;
};

TEST_F(Exchange, WaitEndsAsSoonAsTheReplyIsHandledWhateverFlagItSets)
{
    fake_main_service fms(root);
    fms.script(3433, fms_script().reply(8433, fms_int(0), 30));
    for (int flag : {1, 2, -7}) {
        g_flag_to_set = flag;
        auto start = clock_type::now();
        ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
        int waited = elapsed_ms(start);
        EXPECT_EQ(g_callback_done.load(), flag);
        EXPECT_LT(waited, 2000) << "the wait is 40 s when the reply does not end it";
        EXPECT_EQ(cgi_stop_ipc(), 0);
    }
}

TEST_F(Exchange, ReplyIsHandledOnTheWaitingThreadAndAClosedConnectionEndsTheWait)
{
    fake_main_service fms(root);
    fms.script(3433, fms_script().reply(8433, fms_int(0), 20));
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    EXPECT_EQ(g_callback_done.load(), 1);
    EXPECT_EQ(g_callback_thread.load(), std::this_thread::get_id()) << "no thread is started for an exchange";
    EXPECT_EQ(cgi_stop_ipc(), 0);

    // Closed without a reply: the 40 s wait ends at once, with the flag clear.
    fms.script(3433, fms_script().close());
    auto start = clock_type::now();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    EXPECT_LT(elapsed_ms(start), 2000);
    EXPECT_EQ(g_callback_done.load(), 0);
    EXPECT_EQ(g_calls.load(), 1);
}

TEST_F(Exchange, FlagSetByAnotherThreadEndsTheWaitWithinAPoll)
{
    fake_main_service fms(root);
    std::thread setter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cgi_set_callback_done(3);
    });
    auto start = clock_type::now();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    int waited = elapsed_ms(start);
    setter.join();
    EXPECT_EQ(g_callback_done.load(), 3);
    EXPECT_GE(waited, 90);
    EXPECT_LT(waited, 2000);
}

TEST_F(Exchange, NoReplyWaitsForTheCappedTime)
{
    fake_main_service fms(root);
    setenv("VX_IPC_TIMEOUT_MS", "250", 1);
    auto start = clock_type::now();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    int waited = elapsed_ms(start);
    EXPECT_EQ(g_callback_done.load(), 0);
    EXPECT_GE(waited, 240);
    EXPECT_LT(waited, 2000);
}

TEST_F(Exchange, LateReplyNeverReachesTheCallback)
{
    fake_main_service fms(root);
    setenv("VX_IPC_TIMEOUT_MS", "100", 1);
    fms.script(3433, fms_script().reply(8433, fms_int(0), 250).close());
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    EXPECT_EQ(g_callback_done.load(), 0);
    // The client is still open when the reply comes; the fake closes once it has sent it.
    ASSERT_TRUE(fms.wait_closed_connections(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g_calls.load(), 0);
    EXPECT_EQ(g_callback_done.load(), 0);
}

TEST_F(Exchange, ReplyBeingHandledAtTheTimeOutCompletesBeforeTheWaitGivesUp)
{
    fake_main_service fms(root);
    setenv("VX_IPC_TIMEOUT_MS", "150", 1);
    fms.script(3433, fms_script().reply(8433, fms_int(0), 30));
    g_callback_delay_ms = 400;
    auto start = clock_type::now();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    EXPECT_GE(elapsed_ms(start), 400);
    EXPECT_EQ(g_callback_done.load(), 1);
    EXPECT_EQ(g_calls.load(), 1);
}

TEST_F(Exchange, OneRequestOneResponseAfterTheReplyWasHandled)
{
    fake_main_service fms(root);
    fms.script(3433, fms_script().reply(8433, fms_int(0)).reply(8433, fms_int(0)).close());
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    ASSERT_TRUE(fms.wait_closed_connections(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g_calls.load(), 1);
}

TEST_F(Exchange, StreamKeepsDeliveringAfterTheWaitUntilStop)
{
    fake_main_service fms(root);
    setenv("VX_IPC_TIMEOUT_MS", "50", 1);
    fms.script(3700, fms_script().reply(8700, fms_int(1), 150).reply(8700, fms_int(2)).reply(8700, fms_int(3), 2000));
    g_flag_to_set = 0;  // like the export: the routine never sets the flag
    ASSERT_EQ(cgi_start_ipc_stream(counting_callback, 3700, 0, nullptr), 0);
    EXPECT_EQ(g_calls.load(), 0);
    for (int i = 0; i < 300 && g_calls < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(g_calls.load(), 2);
    EXPECT_EQ(cgi_stop_ipc(), 0);
    // The third frame would come 2 s later; stop has closed the client.
    EXPECT_EQ(g_calls.load(), 2);
}

TEST_F(Exchange, SendOnlyReturnsAtOnceWithTheFlagClear)
{
    fake_main_service fms(root);
    fms.script(3485, fms_script().reply(8485, fms_int(0)));
    g_callback_done = 5;
    auto start = clock_type::now();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3485, 4, "abcd", CGI_IPC_SEND_ONLY), 0);
    EXPECT_LT(elapsed_ms(start), 500);
    EXPECT_EQ(g_callback_done.load(), 0);
    ASSERT_TRUE(fms.wait_requests(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(cgi_stop_ipc(), 0);
    EXPECT_EQ(g_calls.load(), 0);
    EXPECT_EQ(fms.requests()[0].flags, 1u);
    EXPECT_EQ(fms.requests()[0].payload, "abcd");
}

// A reply the request cannot have (here the format result while the disk list is awaited) never
// reaches the dispatcher, and the diagnostic log says it was dropped.
TEST_F(Exchange, RepliesOfOtherRequestsAreDroppedAndLogged)
{
    fake_main_service fms(root);
    fms.script(3433, fms_script().reply(8434, fms_int(0)).reply(8496, fms_int(0)).reply(8433, fms_int(0), 30));
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3433, 0, nullptr, CGI_IPC_WAIT), 0);
    EXPECT_EQ(g_calls.load(), 1);
    EXPECT_EQ(g_last_code.load(), 8433);
    const std::string log = read_file(root.file("/mnt/nand/cgi_log.txt"));
    EXPECT_NE(log.find("reply 8434 dropped: request 3433"), std::string::npos) << log;
    EXPECT_NE(log.find("reply 8496 dropped: request 3433"), std::string::npos) << log;
}

TEST_F(Exchange, NullCallbackSendsNothing)
{
    fake_main_service fms(root);
    EXPECT_EQ(cgi_start_ipc(nullptr, 1111, 0, nullptr, CGI_IPC_SEND_ONLY), -1);
    cgi_stop_ipc();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 2222, 0, nullptr, CGI_IPC_SEND_ONLY), 0);
    ASSERT_TRUE(fms.wait_requests(1));
    cgi_stop_ipc();
    ASSERT_EQ(fms.requests().size(), 1u);
    EXPECT_EQ(fms.requests()[0].code, 2222);
}

TEST_F(Exchange, UnreachableServiceCostsOnlyTheCappedRetryPeriod)
{
    setenv("VX_IPC_TIMEOUT_MS", "200", 1);
    auto start = clock_type::now();
    ASSERT_EQ(cgi_start_ipc(counting_callback, 3434, 0, nullptr, CGI_IPC_WAIT), 0);
    int waited = elapsed_ms(start);
    EXPECT_EQ(g_callback_done.load(), 0);
    EXPECT_GE(waited, 190);
    EXPECT_LT(waited, 1000) << "a request that never went out is not waited for";
}

// The long waits of the main service's protocol. The modules list them next to their own requests;
// together they must be this table exactly: no code missing, none added, none listed twice.
TEST(ExchangeTable, ModulesTogetherListEveryLongWaitOnce)
{
    std::map<int, int> expected;
    for (int code : {1153, 1171, 3102, 3104, 3223, 3259, 3263, 3360, 3365, 3401, 3535})
        expected[code] = 3000;
    for (int code : {1701, 1713, 1716, 3200, 3201, 3202, 3203, 3204, 3205, 3227, 3402, 3409, 3420, 3440, 3528})
        expected[code] = 6000;
    for (int code : {3230, 3350, 3434, 3494, 3495})
        expected[code] = 15000;
    expected[3379] = 30000;
    expected[3700] = expected[3702] = 1500;

    std::map<int, int> listed;
    for (const cgi_wait_table *waits : {&storage_waits, &status_waits, &video_waits, &camera_waits, &record_waits,
                                        &network_waits, &stream_waits, &ptz_waits, &system_waits, &batch_waits,
                                        &alarm_waits}) {
        for (int i = 0; i < waits->count; ++i) {
            EXPECT_TRUE(listed.emplace(waits->rules[i].code, waits->rules[i].polls).second) << waits->rules[i].code;
            EXPECT_EQ(cgi_ipc_poll_count(waits->rules[i].code), waits->rules[i].polls) << "registered";
        }
    }
    EXPECT_EQ(listed, expected);
    for (int code : {3433, 0, 3485, 8434})
        EXPECT_EQ(cgi_ipc_poll_count(code), 1000) << code;
}

// A request's replies: its rule's code, and the other codes its module lists for it only.
TEST(ExchangeTable, OnlyTheRepliesARequestCanHaveAreExpected)
{
    const struct {
        int request, reply;
        bool expected;
    } cases[] = {
        {3433, 8433, true},   {3433, 8434, false}, {3433, 3433, false},   {3433, 8496, false},
        {3421, 8421, true},   {3421, 8496, true},  {3420, 8496, false},   {3421, 8422, false},
        {0, 5000, true},      {0, 0, false},       {INT32_MAX, INT32_MIN, false},
        {INT32_MAX - 5000, INT32_MAX, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(cgi_reply_expected(c.request, c.reply), c.expected) << c.request << " " << c.reply;
}

TEST(ExchangeTable, ReplyHeaderFields)
{
    unsigned char header[24] = {};
    const int32_t code = 8433, length = -9;
    memcpy(header + 12, &code, 4);
    memcpy(header + 20, &length, 4);
    EXPECT_EQ(cgi_reply_code(header), 8433);
    EXPECT_EQ(cgi_reply_length(header), -9);
}
}  // namespace
