// The main-service client against the fake main service: framing in both directions, delivery order,
// garbled frames, the late socket, and the promise that no callback runs after vx_sock_uninit.
#include "support/device_root.h"
#include "support/fake_main_service.h"
#include "vxsocket/vx_socket.h"
#include "vxsocket/vxs_frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr const char *socket_path = "/var/run/vxsocket";

struct delivered {
    uint32_t sequence;
    int32_t code;
    int32_t length;
    bool payload_set;
    bool payload_aligned;
    std::string payload;
    std::thread::id thread;
};

// What the callback saw; one recorder per test.
struct recorder {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<delivered> frames;
    std::atomic<int> in_callback{0};
    int callback_delay_ms = 0;

    bool wait_frames(size_t count, int timeout_ms = 5000)
    {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] { return frames.size() >= count; });
    }
    size_t count()
    {
        std::lock_guard<std::mutex> guard(lock);
        return frames.size();
    }
};

recorder *g_recorder = nullptr;

void record_frame(void * /*unused*/, const void *header, const void *payload)
{
    ++g_recorder->in_callback;
    vxs_header h{};
    memcpy(&h, header, sizeof h);
    delivered d{h.sequence, h.code, h.length, payload != nullptr,
                reinterpret_cast<uintptr_t>(payload) % alignof(std::max_align_t) == 0, {},
                std::this_thread::get_id()};
    if (payload != nullptr)
        d.payload.assign(static_cast<const char *>(payload), static_cast<size_t>(h.length));
    if (g_recorder->callback_delay_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(g_recorder->callback_delay_ms));
    {
        std::lock_guard<std::mutex> guard(g_recorder->lock);
        g_recorder->frames.push_back(std::move(d));
    }
    g_recorder->arrived.notify_all();
    --g_recorder->in_callback;
}

class VxSocket : public ::testing::Test {
protected:
    void SetUp() override { g_recorder = &rec; }
    void TearDown() override
    {
        vx_sock_uninit();
        g_recorder = nullptr;
    }
    device_root dev;
    const test_root &root = dev.root;
    recorder rec;
};

// The largest payload is accepted.
TEST_F(VxSocket, DeliversEveryFrameInOrderWithAPayloadPointerEvenWhenEmpty)
{
    fake_main_service fms(root);
    std::string block(1000, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7);
    std::string largest(VXS_MAX_PAYLOAD, 'z');
    largest.back() = 'e';
    // The empty frame first: no earlier payload has left a buffer behind for it to point at.
    fms.script(7001, fms_script()
                         .reply(12001)
                         .reply(12002, fms_int(-3))
                         .reply(12003, block, 20)
                         .reply(12004, "")
                         .reply(12005, largest)
                         .reply(12006, "x"));

    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
    ASSERT_TRUE(rec.wait_frames(6, 20000));

    std::lock_guard<std::mutex> guard(rec.lock);
    ASSERT_EQ(rec.frames.size(), 6u);
    const int32_t codes[] = {12001, 12002, 12003, 12004, 12005, 12006};
    const std::string payloads[] = {"", fms_int(-3), block, "", largest, "x"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rec.frames[i].code, codes[i]);
        EXPECT_EQ(rec.frames[i].sequence, 1u);
        EXPECT_EQ(rec.frames[i].length, static_cast<int32_t>(payloads[i].size()));
        EXPECT_TRUE(rec.frames[i].payload_set) << "frame " << i;
        EXPECT_TRUE(rec.frames[i].payload_aligned) << "frame " << i;
        EXPECT_TRUE(rec.frames[i].payload == payloads[i]) << "frame " << i;
    }
}

TEST_F(VxSocket, RequestFramesCarryCodeSequenceFlagsAndPayload)
{
    fake_main_service fms(root);
    const unsigned char record[6] = {1, 0, 0xff, 'x', 0, 9};
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 3433, record, sizeof record, 0), 0);
    ASSERT_EQ(vx_sock_send_msg(1, -2, nullptr, 0, 0), 0);
    ASSERT_TRUE(fms.wait_requests(2));
    vx_sock_uninit();

    // A new cycle is a new connection, numbered from 1 again; send-only is marked in the flags.
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, VX_SOCK_SEND_ONLY), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 3485, record, 3, 0), 0);
    ASSERT_TRUE(fms.wait_requests(3));

    std::vector<fms_request> requests = fms.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].code, 3433);
    EXPECT_EQ(requests[0].sequence, 1u);
    EXPECT_EQ(requests[0].flags, 0u);
    EXPECT_EQ(requests[0].payload, std::string(reinterpret_cast<const char *>(record), sizeof record));
    EXPECT_EQ(requests[1].code, -2);
    EXPECT_EQ(requests[1].sequence, 2u);
    EXPECT_EQ(requests[1].payload, "");
    EXPECT_EQ(requests[1].connection, 1);
    EXPECT_EQ(requests[2].connection, 2);
    EXPECT_EQ(requests[2].sequence, 1u);
    EXPECT_EQ(requests[2].flags, 1u);
    EXPECT_EQ(requests[2].payload, std::string("\x01\x00\xff", 3));
}

TEST_F(VxSocket, RefusesBadArgumentsAndSendsWithoutInit)
{
    fake_main_service fms(root);
    EXPECT_EQ(vx_sock_init(nullptr, 0, 3, socket_path, 0), -1);
    EXPECT_EQ(vx_sock_send_msg(1, 1, nullptr, 0, 0), -1);  // not set up
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
    EXPECT_EQ(vx_sock_send_msg(1, 1, nullptr, 4, 0), -1);
    EXPECT_EQ(vx_sock_send_msg(1, 1, "abcd", -1, 0), -1);
    EXPECT_EQ(vx_sock_send_msg(1, 1, "abcd", VXS_MAX_PAYLOAD + 1, 0), -1);
    EXPECT_EQ(vx_sock_send_msg(1, 1, "abcd", 4, 0), 0);
    ASSERT_TRUE(fms.wait_requests(1));
    EXPECT_EQ(fms.requests().size(), 1u);
}

TEST_F(VxSocket, SendFailsUntilTheSocketIsThereThenConnects)
{
    fake_main_service fms(root, false);
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
    EXPECT_NE(vx_sock_send_msg(1, 3433, nullptr, 0, 0), 0);
    EXPECT_NE(vx_sock_send_msg(1, 3433, nullptr, 0, 0), 0);
    fms.script(3433, fms_script().reply(8433, fms_int(1)));
    fms.listen();
    ASSERT_EQ(vx_sock_send_msg(1, 3433, nullptr, 0, 0), 0);
    ASSERT_TRUE(rec.wait_frames(1));
    EXPECT_EQ(fms.requests().size(), 1u);
    EXPECT_EQ(fms.requests()[0].sequence, 1u);
}

// A service that takes the connection into its queue but never accepts or reads: a large frame gives
// up at the send's time limit; once the queue is full, connecting fails at once instead of blocking.
TEST_F(VxSocket, ServiceThatNeverAcceptsNeverBlocksTheSend)
{
    stalled_main_service stalled(root);
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, VX_SOCK_CALLER_READS), 0);
    const std::string large(4 * 1024 * 1024, 'x');
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vx_sock_send_msg_within(3433, large.data(), static_cast<int>(large.size()), 300), -1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));

    ASSERT_TRUE(stalled.fill());
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(vx_sock_send_msg(1, 3433, nullptr, 0, 0), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(VxSocket, ConnectsAgainAfterTheServiceClosedTheConnection)
{
    fake_main_service fms(root);
    fms.script(1, fms_script().close());
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 1, nullptr, 0, 0), 0);
    ASSERT_TRUE(fms.wait_closed_connections(1));
    bool sent = false;
    for (int i = 0; i < 100 && !sent; ++i) {
        sent = vx_sock_send_msg(1, 2, nullptr, 0, 0) == 0;
        if (!sent)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(sent);
    ASSERT_TRUE(fms.wait_requests(2));
    EXPECT_EQ(fms.requests()[1].code, 2);
    EXPECT_EQ(fms.requests()[1].connection, 2);
    EXPECT_EQ(fms.requests()[1].sequence, 1u);
}

TEST_F(VxSocket, GarbledFrameClosesTheConnectionAndNothingAfterItIsDelivered)
{
    const char good[4] = {'V', 'X', 'S', '1'};
    const char bad[4] = {'V', 'X', 'S', '2'};
    const std::string garbled[] = {
        fms_header(bad, 24, 1, 12001, 0, 0),
        fms_header(good, 23, 1, 12001, 0, 0),
        fms_header(good, 24, 1, 12001, 0, -1),
        fms_header(good, 24, 1, 12001, 0, VXS_MAX_PAYLOAD + 1),
    };
    for (const std::string &frame : garbled) {
        test_root own_root;
        setenv("VX_ROOT", own_root.path().c_str(), 1);
        recorder own;
        g_recorder = &own;
        fake_main_service fms(own_root);
        fms.script(7001, fms_script().reply(12001, fms_int(1)).raw(frame).reply(12002, fms_int(2), 50));

        ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
        ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
        // The client closes its side on the garbled header, before anyone calls vx_sock_uninit.
        EXPECT_TRUE(fms.wait_closed_connections(1));
        EXPECT_TRUE(own.wait_frames(1));
        vx_sock_uninit();
        ASSERT_EQ(own.count(), 1u);
        EXPECT_EQ(own.frames[0].code, 12001);
        g_recorder = &rec;
    }
}

TEST_F(VxSocket, SendOnlyClientReadsAndDropsReplies)
{
    fake_main_service fms(root);
    fms.script(3485, fms_script().reply(8485, fms_int(0)).reply(8485, fms_int(0)).close());
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, VX_SOCK_SEND_ONLY), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 3485, "abcd", 4, 0), 0);
    // The fake closes after its replies; by then the client has read them (or met the close).
    ASSERT_TRUE(fms.wait_closed_connections(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    vx_sock_uninit();
    EXPECT_EQ(rec.count(), 0u);
}

TEST_F(VxSocket, NoCallbackRunsOnceUninitHasReturned)
{
    fake_main_service fms(root);
    fms_script many;
    for (int i = 0; i < 400; ++i)
        many.reply(12001, fms_int(i));
    fms.script(7001, many);
    rec.callback_delay_ms = 2;

    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, 0), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
    ASSERT_TRUE(rec.wait_frames(5));
    EXPECT_EQ(vx_sock_uninit(), 0);
    EXPECT_EQ(rec.in_callback.load(), 0);
    size_t seen = rec.count();
    EXPECT_LT(seen, 400u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(rec.count(), seen);
    // What was delivered came in order.
    std::lock_guard<std::mutex> guard(rec.lock);
    for (size_t i = 0; i < rec.frames.size(); ++i)
        EXPECT_EQ(rec.frames[i].payload, fms_int(static_cast<int32_t>(i)));
}
// With the caller's whole deadline given, a begun frame must be whole by then, however short its
// pauses: a frame dripping past it ends the connection; one finished in time is read although it
// began within a much shorter wait.
TEST_F(VxSocket, CallerReadKeepsABegunFrameWithinTheDeadline)
{
    fake_main_service fms(root);
    const std::string frame = fms_header("VXS1", 24, 1, 12001, 0, 8) + "abcdefgh";
    auto dripped = [&frame](int pause_ms) {
        fms_script script;
        for (size_t at = 0; at < frame.size(); at += 4)
            script.raw(frame.substr(at, 4), pause_ms);
        return script;
    };
    fms.script(7000, dripped(30));   // whole after 240 ms
    fms.script(7001, dripped(100));  // whole after 800 ms
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, VX_SOCK_CALLER_READS), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 7000, nullptr, 0, 0), 0);
    EXPECT_EQ(vx_sock_receive(100, 2000), 1);
    ASSERT_EQ(rec.count(), 1u);
    EXPECT_EQ(rec.frames[0].payload, "abcdefgh");

    ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vx_sock_receive(300, 400), -1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(390));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
    EXPECT_EQ(rec.count(), 1u);
}

// A client whose caller reads: frames reach the callback only inside vx_sock_receive, on that thread.
TEST_F(VxSocket, CallerReadsOneFrameAtATimeOnItsOwnThread)
{
    fake_main_service fms(root);
    fms.script(7001, fms_script().reply(12001, fms_int(1)).reply(12002, "", 150).close());
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, VX_SOCK_CALLER_READS), 0);
    EXPECT_EQ(vx_sock_receive(10), -1) << "nothing is connected before the first send";
    ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
    EXPECT_EQ(vx_sock_receive(2000), 1);
    EXPECT_EQ(rec.count(), 1u);
    EXPECT_EQ(vx_sock_receive(20), 0) << "the second frame comes 150 ms later";
    EXPECT_EQ(vx_sock_receive(2000), 1);
    EXPECT_EQ(vx_sock_receive(2000), -1) << "the service has closed the connection";

    std::lock_guard<std::mutex> guard(rec.lock);
    ASSERT_EQ(rec.frames.size(), 2u);
    EXPECT_EQ(rec.frames[0].code, 12001);
    EXPECT_EQ(rec.frames[0].payload, fms_int(1));
    EXPECT_EQ(rec.frames[1].code, 12002);
    EXPECT_TRUE(rec.frames[1].payload_set);
    for (const delivered &d : rec.frames)
        EXPECT_EQ(d.thread, std::this_thread::get_id());
}

TEST_F(VxSocket, CallerReadWaitsForTheRestOfABegunFrameButNotForever)
{
    fake_main_service fms(root);
    std::string header = fms_header("VXS1", 24, 1, 12001, 0, 8);
    // The rest of the frame comes after the caller's time-out: a begun frame is still read whole.
    fms.script(7000, fms_script().raw(header + "abc").raw("defgh", 300));
    fms.script(7001, fms_script().raw(header + "abc"));  // 5 payload bytes never come
    fms.script(7002, fms_script().raw("VXS2" + header.substr(4)));
    ASSERT_EQ(vx_sock_init(record_frame, 0, 3, socket_path, VX_SOCK_CALLER_READS), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 7000, nullptr, 0, 0), 0);
    EXPECT_EQ(vx_sock_receive(100), 1);
    ASSERT_EQ(rec.count(), 1u);
    EXPECT_EQ(rec.frames[0].payload, "abcdefgh");

    ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vx_sock_receive(100), -1);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
    EXPECT_LT(waited, std::chrono::milliseconds(8000));

    ASSERT_EQ(vx_sock_send_msg(1, 7002, nullptr, 0, 0), 0);
    EXPECT_EQ(vx_sock_receive(2000), -1) << "a garbled header";
    ASSERT_TRUE(fms.wait_requests(3));
    EXPECT_EQ(fms.requests()[2].connection, 2);
    EXPECT_EQ(fms.requests()[2].sequence, 1u);
    EXPECT_EQ(rec.count(), 1u);
}

void receive_from_callback(void *, const void *, const void *)
{
    ++g_recorder->in_callback;
    std::lock_guard<std::mutex> guard(g_recorder->lock);
    g_recorder->frames.push_back(delivered{static_cast<uint32_t>(vx_sock_receive(0)), vx_sock_uninit(), 0,
                                           false, false, {}, std::this_thread::get_id()});
}

TEST_F(VxSocket, CallbackCannotReceiveOrUninit)
{
    fake_main_service fms(root);
    fms.script(7001, fms_script().reply(12001).reply(12002));
    ASSERT_EQ(vx_sock_init(receive_from_callback, 0, 3, socket_path, VX_SOCK_CALLER_READS), 0);
    ASSERT_EQ(vx_sock_send_msg(1, 7001, nullptr, 0, 0), 0);
    ASSERT_EQ(vx_sock_receive(2000), 1);
    EXPECT_EQ(vx_sock_receive(2000), 1) << "the connection is still open after the callback";
    std::lock_guard<std::mutex> guard(rec.lock);
    ASSERT_EQ(rec.frames.size(), 2u);
    EXPECT_EQ(rec.frames[0].sequence, static_cast<uint32_t>(-1));
    EXPECT_EQ(rec.frames[0].code, -1);
}
}  // namespace
