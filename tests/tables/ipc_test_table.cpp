// Test resources for the main-service exchange, linked only into the test CGI program. They use the
// exchange the way module handlers do (parse, fill, exchange, answer, with a reply dispatcher), with
// request codes of their own that the fake main service in the tests answers:
//
//   /ipcw  JSON {"code", "id", "name", "hold"}: sends the probe record with `code` (default 9901) and
//          waits; the reply answers through the dispatcher. Without a reply: the JSON error form;
//          with flag 2: "FAILED". Then holds the client open `hold` ms before closing it.
//   /ipcs  the same request send-only; answers "OK" after closing the client.
//   /ipcz  request 9905 without payload; the reply routine describes the payload it was given.
//   /ipcm  request 9904; the reply is a series of frames, each one integer, ended by a negative one;
//          the answer lists them in the order they arrived.
//   /ipce  request 9906 as a stream: frames keep coming after the wait (as for the export); the
//          handler collects them until the end frame and answers the list.
#include "front/dispatchreq.h"
#include "link/web_ipc.h"
#include "link/web_json.h"
#include "link/web_request.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>

namespace {
constexpr int IPC_PROBE = 9901;          // reply 14901: one status integer
constexpr int IPC_PROBE_FAILED = 14903;  // a reply whose routine reports failure (flag 2)
constexpr int IPC_SERIES = 9904;         // reply 14904: one integer per frame, negative ends
constexpr int IPC_PAYLOAD = 9905;        // reply 14905: any payload, described back
constexpr int IPC_STREAM = 9906;         // reply 14906: like 14904, consumed after the wait

// The probe request: 32 bytes.
struct ipc_probe {
    int32_t id;
    int32_t reserved;
    int64_t mask;  // 1 << id
    char name[16];
};
static_assert(sizeof(ipc_probe) == 32);
static_assert(offsetof(ipc_probe, mask) == 8);
static_assert(offsetof(ipc_probe, name) == 16);

// Values of a series, filled on the delivery thread.
constexpr int series_capacity = 64;
int series[series_capacity];
int series_count = 0;
std::atomic<bool> stream_ended{false};

void hold_client(int hold_ms)
{
    if (hold_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(hold_ms));
}

void write_series()
{
    std::string text = "[";
    for (int i = 0; i < series_count; ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(series[i]);
    }
    text += "]";
    cgi_writeback_webserver(1, text.c_str());
}

// Adds one frame's value; true when it was the end frame.
bool collect_series(int count, const void *payload)
{
    if (count < 1)
        return false;
    int32_t value = 0;
    memcpy(&value, payload, sizeof value);
    if (value < 0)
        return true;
    if (series_count < series_capacity)
        series[series_count++] = value;
    return false;
}

int on_ipc_failed_cb(int /*count*/, const void * /*payload*/)
{
    return CGI_REPLY_FAILED;
}

int on_ipc_series_cb(int count, const void *payload)
{
    if (!collect_series(count, payload))
        return CGI_REPLY_MORE;
    write_series();
    return CGI_REPLY_ANSWERED;
}

int on_ipc_stream_cb(int count, const void *payload)
{
    if (collect_series(count, payload))
        stream_ended = true;
    return CGI_REPLY_MORE;
}

// Gets the payload's length in bytes (records of one byte), an empty payload too.
int on_ipc_payload_cb(int length, const void *payload)
{
    char text[64];
    snprintf(text, sizeof text, "payload:%s length:%d", payload != nullptr ? "set" : "null", length);
    cgi_writeback_webserver(0, text);
    return CGI_REPLY_ANSWERED;
}

const cgi_reply_route ipc_test_routes[] = {
    {reply_of(IPC_PROBE), CGI_RESULT_SIZE, on_cgi_common_json_cb},
    {IPC_PROBE_FAILED, CGI_RESULT_SIZE, on_ipc_failed_cb, CGI_LIST},
    {reply_of(IPC_SERIES), sizeof(int32_t), on_ipc_series_cb, CGI_LIST},
    {reply_of(IPC_PAYLOAD), 1, on_ipc_payload_cb, CGI_LIST},
    {reply_of(IPC_STREAM), sizeof(int32_t), on_ipc_stream_cb, CGI_LIST},
};
const cgi_reply_table ipc_test_replies = {CGI_ROWS(ipc_test_routes)};
const cgi_reply_table *const ipc_test_tables[] = {&ipc_test_replies};

void on_ipc_test_callback(void * /*unused*/, const void *header, const void *payload)
{
    cgi_dispatch_reply(ipc_test_tables, header, payload);
}

// Reads the probe keys; `code` and `hold` are optional.
int read_probe(const char *data, ipc_probe *probe, int *code, int *hold_ms)
{
    json_ptr request(get_request_tokener_json_object(data));
    if (!request || on_cgi_get_int_from_json(request.get(), "id", &probe->id) != 0)
        return -1;
    if (probe->id < 0 || probe->id > 63)
        return -1;
    probe->mask = int64_t{1} << probe->id;
    on_cgi_get_string_from_json(request.get(), "name", probe->name, sizeof probe->name);
    on_cgi_get_int_from_json(request.get(), "code", code);
    on_cgi_get_int_from_json(request.get(), "hold", hold_ms);
    return 0;
}

void on_ipc_wait(const char *data)
{
    ipc_probe probe{};
    int code = IPC_PROBE;
    int hold_ms = 0;
    if (read_probe(data, &probe, &code, &hold_ms) != 0) {
        cgi_error_to_webserver(1);
        return;
    }
    cgi_start_ipc(on_ipc_test_callback, code, sizeof probe, &probe, CGI_IPC_WAIT);
    if (g_callback_done == 0)
        cgi_error_to_webserver(1);
    else if (g_callback_done == 2)
        cgi_writeback_webserver(0, "FAILED");
    hold_client(hold_ms);
    cgi_stop_ipc();
}

void on_ipc_send_only(const char *data)
{
    ipc_probe probe{};
    int code = IPC_PROBE;
    int hold_ms = 0;
    if (read_probe(data, &probe, &code, &hold_ms) != 0) {
        cgi_error_to_webserver(0);
        return;
    }
    cgi_start_ipc(on_ipc_test_callback, code, sizeof probe, &probe, CGI_IPC_SEND_ONLY);
    hold_client(hold_ms);
    cgi_stop_ipc();
    cgi_writeback_webserver(0, g_callback_done == 0 ? "OK" : "FLAG SET");
}

void on_ipc_payload(const char * /*data*/)
{
    cgi_start_ipc(on_ipc_test_callback, IPC_PAYLOAD, 0, nullptr, CGI_IPC_WAIT);
    if (g_callback_done == 0)
        cgi_error_to_webserver(0);
    cgi_stop_ipc();
}

void on_ipc_series(const char * /*data*/)
{
    cgi_start_ipc(on_ipc_test_callback, IPC_SERIES, 0, nullptr, CGI_IPC_WAIT);
    if (g_callback_done == 0)
        cgi_error_to_webserver(1);
    cgi_stop_ipc();
}

void on_ipc_stream(const char * /*data*/)
{
    cgi_start_ipc_stream(on_ipc_test_callback, IPC_STREAM, 0, nullptr);
    for (int polls = 0; !stream_ended && polls < 500; ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    cgi_stop_ipc();
    if (stream_ended)
        write_series();
    else
        cgi_error_to_webserver(1);
}

// The probe's second reply code, declared as a module declares its own.
const cgi_reply_rule ipc_test_reply_rules[] = {
    {IPC_PROBE, IPC_PROBE_FAILED},
};
const cgi_wait_table ipc_test_waits = {nullptr, 0, CGI_ROWS(ipc_test_reply_rules)};

const web_res ipc_test_res[] = {
    {"/ipcw", on_ipc_wait},   {"/ipcs", on_ipc_send_only}, {"/ipcz", on_ipc_payload},
    {"/ipcm", on_ipc_series}, {"/ipce", on_ipc_stream},
};

struct ipc_test_registration {
    ipc_test_registration()
    {
        WebResRegister(ipc_test_res, static_cast<int>(std::size(ipc_test_res)));
        cgi_register_waits(&ipc_test_waits);
    }
    ~ipc_test_registration() { WebResUnregister(ipc_test_res, static_cast<int>(std::size(ipc_test_res))); }
};

__attribute__((init_priority(150))) ipc_test_registration g_ipc_test_registration;
}  // namespace
