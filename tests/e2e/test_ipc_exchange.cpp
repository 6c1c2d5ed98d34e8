// The exchange through the real test CGI program and the fake main service: what reaches the main
// service byte for byte, and exactly one response on standard output whatever the replies do.
#include "support/cgi_runner.h"
#include "support/fake_main_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace {
using clock_type = std::chrono::steady_clock;

const std::string text_header = "Content-type: text/plain\r\n\r\n";
const std::string json_header = "Content-type: application/json\r\n\r\n";
const std::string json_error = json_header + "{status:\"CGI ERROR\"}";

cgi_request probe_request(const std::string &path, const std::string &body, const std::string &timeout_ms)
{
    cgi_request request;
    request.program = NVR_TEST_CGI;
    request.method = "POST";
    request.path_info = path;
    request.content_type = "application/json";
    request.body = body;
    request.env = {{"VX_IPC_TIMEOUT_MS", timeout_ms}};
    request.timeout_ms = 15000;
    return request;
}

// The probe record of the test handlers, laid out by hand: id, reserved, 1 << id, name[16].
std::string probe_bytes(int32_t id, const std::string &name)
{
    std::string bytes = fms_int(id) + fms_int(0) + fms_record(int64_t{1} << id);
    std::string field = name.substr(0, 15);
    field.resize(16, '\0');
    return bytes + field;
}

// Runs the program; a sanitizer report or a crash in it fails the test as well.
cgi_result run_probe(const test_root &root, const cgi_request &request)
{
    cgi_result r = run_cgi(root, request);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    return r;
}

int elapsed_ms(clock_type::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - since).count());
}

TEST(IpcExchange, ReplyIsAnsweredByTheDispatcherAndTheRequestBytesAreExact)
{
    test_root root;
    fake_main_service fms(root);
    fms.script(9901, fms_script().reply(14901, fms_int(0), 20));
    auto start = clock_type::now();
    cgi_result r = run_probe(root, probe_request("/ipcw", "{\"id\":3,\"name\":\"front door camera 1\"}", "10000"));
    EXPECT_LT(elapsed_ms(start), 5000) << "the wait must end with the reply";
    EXPECT_EQ(r.out, json_header + "{ \"status\": 0 }");

    std::vector<fms_request> requests = fms.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, 9901);
    EXPECT_EQ(requests[0].sequence, 1u);
    EXPECT_EQ(requests[0].flags, 0u);
    EXPECT_EQ(requests[0].payload, probe_bytes(3, "front door camera 1"));
}

TEST(IpcExchange, NoReplyGivesTheErrorFormAfterTheCappedWait)
{
    test_root root;
    fake_main_service fms(root);
    auto start = clock_type::now();
    cgi_result r = run_probe(root, probe_request("/ipcw", "{\"id\":1}", "300"));
    EXPECT_GE(elapsed_ms(start), 300);
    EXPECT_EQ(r.out, json_error);
    EXPECT_EQ(fms.requests().size(), 1u);
}

TEST(IpcExchange, MainServiceStartingLateStillGetsTheRequestOnce)
{
    test_root root;
    fake_main_service fms(root, false);
    fms.script(9901, fms_script().reply(14901, fms_int(7)));
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        fms.listen();
    });
    cgi_result r = run_probe(root, probe_request("/ipcw", "{\"id\":2,\"name\":\"x\"}", "5000"));
    late.join();
    EXPECT_EQ(r.out, json_header + "{ \"status\": 7 }");
    ASSERT_EQ(fms.requests().size(), 1u);
    EXPECT_EQ(fms.requests()[0].payload, probe_bytes(2, "x"));
}

TEST(IpcExchange, SendOnlyReturnsAtOnceAndDropsReplies)
{
    test_root root;
    fake_main_service fms(root);
    // A reply comes at once; the handler holds the client 200 ms, so it would be delivered if it could.
    fms.script(9901, fms_script().reply(14901, fms_int(0)));
    cgi_result r = run_probe(root, probe_request("/ipcs", "{\"id\":4,\"name\":\"side\",\"hold\":200}", "5000"));
    EXPECT_EQ(r.out, text_header + "OK");
    ASSERT_EQ(fms.requests().size(), 1u);
    EXPECT_EQ(fms.requests()[0].flags, 1u);
    EXPECT_EQ(fms.requests()[0].payload, probe_bytes(4, "side"));

    // Without the cap a waiting request would take 40 s here.
    cgi_request uncapped = probe_request("/ipcs", "{\"id\":4}", "");
    uncapped.env.clear();
    auto start = clock_type::now();
    EXPECT_EQ(run_probe(root, uncapped).out, text_header + "OK");
    EXPECT_LT(elapsed_ms(start), 3000);
}

// Whatever the replies do, standard output holds exactly one response: the routine's answer, or
// the error form when the wait gave up.
TEST(IpcExchange, OneResponseWhateverTheRepliesDo)
{
    const struct {
        const char *what, *path;
        int32_t code;
        fms_script script;
        const char *body, *timeout_ms;
        std::string answer;
    } cases[] = {
        {"a failure flag ends the wait like success", "/ipcw", 9901, fms_script().reply(14903, fms_int(1)),
         "{\"id\":0}", "10000", text_header + "FAILED"},
        // The wait gives up at 200 ms; the reply comes at 400 ms while the handler keeps the client
        // open until 700 ms.
        {"a late reply while the client is still open", "/ipcw", 9901,
         fms_script().reply(14901, fms_int(0), 400), "{\"id\":1,\"hold\":500}", "200", json_error},
        {"unknown reply codes are ignored", "/ipcw", 9901,
         fms_script().reply(14999, fms_int(3)).reply(14901, fms_int(5), 30), "{\"id\":1}", "5000",
         json_header + "{ \"status\": 5 }"},
        {"the reply of another request is ignored though the dispatcher knows it", "/ipcw", 9901,
         fms_script().reply(14904, fms_int(3)).reply(14901, fms_int(5), 30), "{\"id\":1}", "5000",
         json_header + "{ \"status\": 5 }"},
        {"another request's second reply code is no reply to this one", "/ipcm", 9904,
         fms_script().reply(14903, fms_int(1)).reply(14904, fms_int(4), 30).reply(14904, fms_int(-1)), "", "5000",
         json_header + "[4]"},
        {"the request's own code is no reply", "/ipcw", 9901,
         fms_script().reply(14999, fms_int(3)).reply(9901, fms_int(3)), "{\"id\":1}", "300", json_error},
        {"a zero-length reply reaches the routine with a payload", "/ipcz", 9905, fms_script().reply(14905), "",
         "5000", text_header + "payload:set length:0"},
        {"a reply with a payload", "/ipcz", 9905, fms_script().reply(14905, "abc"), "", "5000",
         text_header + "payload:set length:3"},
        {"frames arrive in order and only one response is written", "/ipcm", 9904,
         fms_script()
             .reply(14904, fms_int(3))
             .reply(14904, fms_int(1))
             .reply(14904, fms_int(2), 20)
             .reply(14904, fms_int(-1))
             .reply(14904, fms_int(9))
             .reply(14904, fms_int(-1)),
         "", "5000", json_header + "[3,1,2]"},
        {"a stream goes on after the wait", "/ipce", 9906,
         fms_script().reply(14906, fms_int(1)).reply(14906, fms_int(2), 300).reply(14906, fms_int(-1), 50), "",
         "100", json_header + "[1,2]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test_root root;
        fake_main_service fms(root);
        fms.script(c.code, c.script);
        auto start = clock_type::now();
        EXPECT_EQ(run_probe(root, probe_request(c.path, c.body, c.timeout_ms)).out, c.answer);
        EXPECT_LT(elapsed_ms(start), 5000) << "the wait must end with the reply";
        ASSERT_EQ(fms.requests().size(), 1u);
        EXPECT_EQ(fms.requests()[0].code, c.code);
        if (c.code == 9905) {
            EXPECT_EQ(fms.requests()[0].payload, "");  // the routine sends no payload
        }
    }
}

// A main service that has stopped accepting: its listen queue is full, so a blocking connect would
// wait for ever. The page answers its error form once the send-retry period (the cap) is over.
TEST(IpcExchange, ServiceThatNeverAcceptsCostsOnlyTheSendPeriod)
{
    test_root root;
    stalled_main_service stalled(root);
    ASSERT_TRUE(stalled.fill());

    auto start = clock_type::now();
    cgi_result r = run_probe(root, probe_request("/ipcw", "{\"id\":1}", "800"));
    const int waited = elapsed_ms(start);
    EXPECT_EQ(r.out, json_error);
    EXPECT_GE(waited, 800);
    EXPECT_LT(waited, 800 + 2000) << "connecting must give up with the send period";
}

// A reply that comes in slow pieces must be whole by the reply's deadline, not by a pause limit per
// piece; one that completes in time is read whole although it spans many 40 ms polls.
TEST(IpcExchange, ReplyInSlowPiecesIsBoundByTheDeadline)
{
    const std::string frame = fms_header("VXS1", 24, 1, 14901, 0, 4) + fms_int(6);
    auto dripped = [&frame](int pause_ms) {
        fms_script script;
        for (size_t at = 0; at < frame.size(); at += 4)
            script.raw(frame.substr(at, 4), pause_ms);
        return script;
    };
    const struct {
        const char *what;
        int pause_ms;
        const char *timeout_ms;
        int bound_ms;
        std::string answer;
    } cases[] = {
        // Seven pieces 300 ms apart end at 2.1 s: past the 800 ms cap.
        {"dripping past the deadline", 300, "800", 800 + 1500, json_error},
        {"dripping within the deadline", 60, "5000", 3000, json_header + "{ \"status\": 6 }"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test_root root;
        fake_main_service fms(root);
        fms.script(9901, dripped(c.pause_ms));
        auto start = clock_type::now();
        EXPECT_EQ(run_probe(root, probe_request("/ipcw", "{\"id\":1}", c.timeout_ms)).out, c.answer);
        EXPECT_LT(elapsed_ms(start), c.bound_ms);
    }
}
}  // namespace
