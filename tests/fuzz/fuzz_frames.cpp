// The frame reader on arbitrary byte streams: vxs_read_frame over a socket pair, the client's
// vx_sock_receive over a connection to a listening socket that plays the main service, and the
// handler's exchange (cgi_start_ipc) over such a connection.
//
// Input: byte 0 chooses the frame deadline of vx_sock_receive (frame_ms -1 to 6), byte 1 the request
// code (one of a fixed list and the requests the modules' reply rules name, or with bit 7 set the next
// four bytes as they stand); the rest is what the peer sends before it closes its side. The readers
// must deliver exactly the frames a plain reading of the bytes finds (24-byte headers with the magic,
// a header size of 24 and a length of 0 to 16 MiB, each followed by its whole payload) in order, stop
// at the first garbled header or cut frame, and never wait once the peer has closed; a frame already
// whole is delivered however short its deadline. The exchange hands its callback exactly those frames
// whose code is a reply the request can have: request + 5000, or a pair of a module's reply rules.
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
#include "system/system_module.h"
#include "video/video_module.h"
#include "vxsocket/vx_socket.h"
#include "vxsocket/vxs_frame.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {
char root_dir[] = "/tmp/fuzz-frames-XXXXXX";
int listener = -1;

struct frame {
    vxs_header header;
    std::vector<unsigned char> payload;
    bool operator==(const frame &other) const
    {
        return memcmp(&header, &other.header, sizeof header) == 0 && payload == other.payload;
    }
};
std::vector<frame> delivered;

// Every module, for the reply rules they register with the exchange.
const web_table *const modules[] = {
    &storage_table, &status_table, &video_table,  &camera_table, &record_table, &network_table,
    &stream_table,  &ptz_table,    &system_table, &batch_table,  &alarm_table,
};
std::vector<std::pair<int32_t, int32_t>> reply_rules;
// Request codes byte 1 chooses from (below 0x80): these, then the requests of the reply rules.
std::vector<int32_t> requests = {1234, 0, -5000, INT32_MAX - 5000, INT32_MAX - 4999, INT32_MAX, INT32_MIN};

// The exchange's cap on its waits; a wait that long on a closed stream is a failure.
constexpr int exchange_cap_ms = 5000;

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_frames: %s\n", what);
    abort();
}

std::vector<frame> ref_frames(const uint8_t *data, size_t size)
{
    std::vector<frame> frames;
    size_t p = 0;
    while (size - p >= sizeof(vxs_header)) {
        frame f;
        memcpy(&f.header, data + p, sizeof f.header);
        if (memcmp(f.header.magic, "VXS1", 4) != 0 || f.header.header_size != 24 || f.header.length < 0 ||
            f.header.length > 16 * 1024 * 1024)
            break;
        p += sizeof f.header;
        if (size - p < static_cast<size_t>(f.header.length))
            break;
        f.payload.assign(data + p, data + p + f.header.length);
        p += static_cast<size_t>(f.header.length);
        frames.push_back(std::move(f));
    }
    return frames;
}

void on_reply(void *, const void *header, const void *payload)
{
    frame f;
    memcpy(&f.header, header, sizeof f.header);
    const unsigned char *bytes = static_cast<const unsigned char *>(payload);
    f.payload.assign(bytes, bytes + f.header.length);
    delivered.push_back(std::move(f));
}

// The plain reading of "a reply the request can have".
bool reply_expected(int32_t request, int32_t reply)
{
    if (static_cast<int64_t>(request) + 5000 == reply)
        return true;
    for (const auto &rule : reply_rules) {
        if (rule.first == request && rule.second == reply)
            return true;
    }
    return false;
}

void send_and_close(int fd, const uint8_t *data, size_t size)
{
    if (size > 0 && vxs_write_all(fd, data, size) != 0)
        fail("the stream cannot be written");
    shutdown(fd, SHUT_WR);
}

void check_read_frame(const uint8_t *data, size_t size, const std::vector<frame> &want)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        fail("no socket pair");
    send_and_close(pair[1], data, size);
    std::vector<frame> got;
    frame f;
    while (vxs_read_frame(pair[0], &f.header, &f.payload) == 0)
        got.push_back(f);
    close(pair[0]);
    close(pair[1]);
    if (got != want)
        fail("vxs_read_frame read other frames than the plain reading");
}

void check_receive(int32_t request_code, int frame_ms, const uint8_t *data, size_t size, const std::vector<frame> &want)
{
    if (vx_sock_init(on_reply, 0, 3, "/var/run/vxsocket", VX_SOCK_CALLER_READS) != 0 ||
        vx_sock_send_msg(1, request_code, nullptr, 0, 0) != 0)
        fail("the client cannot reach the listening socket");
    const int service = accept(listener, nullptr, nullptr);
    vxs_header request;
    std::vector<unsigned char> request_payload;
    if (service < 0 || vxs_read_frame(service, &request, &request_payload) != 0 || request.code != request_code)
        fail("the request did not arrive");
    send_and_close(service, data, size);
    delivered.clear();
    int got;
    for (size_t frames = 0; (got = vx_sock_receive(10000, frame_ms)) == 1; ++frames) {
        if (frames > want.size())
            fail("vx_sock_receive delivered more frames than the stream holds");
    }
    if (got == 0)
        fail("vx_sock_receive waited for a frame on a closed stream");
    vx_sock_uninit();
    close(service);
    if (delivered != want)
        fail("vx_sock_receive delivered other frames than the plain reading");
}

// The service's side of an exchange: takes the connection and the request, then sends the stream and
// closes its side. The client may end the connection before the stream is out (a garbled header):
// a failed write is no fault here.
int serve_exchange(int32_t request_code, const uint8_t *data, size_t size)
{
    const int service = accept(listener, nullptr, nullptr);
    vxs_header request;
    std::vector<unsigned char> request_payload;
    if (service < 0 || vxs_read_frame(service, &request, &request_payload) != 0 || request.code != request_code)
        fail("the exchange's request did not arrive");
    if (size > 0)
        vxs_write_all(service, data, size);
    shutdown(service, SHUT_WR);
    return service;
}

void check_exchange(int32_t request_code, const uint8_t *data, size_t size, const std::vector<frame> &want)
{
    std::vector<frame> expected;
    for (const frame &f : want) {
        if (reply_expected(request_code, f.header.code))
            expected.push_back(f);
    }
    delivered.clear();
    int service = -1;
    std::thread peer([&] { service = serve_exchange(request_code, data, size); });
    const auto start = std::chrono::steady_clock::now();
    cgi_start_ipc(on_reply, request_code, 0, nullptr, CGI_IPC_WAIT);
    const auto waited = std::chrono::steady_clock::now() - start;
    cgi_stop_ipc();
    peer.join();
    close(service);
    if (waited >= std::chrono::milliseconds(exchange_cap_ms))
        fail("the exchange waited for a reply on a closed stream");
    if (delivered != expected)
        fail("the exchange handed on other frames than the replies its request can have");
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (mkdtemp(root_dir) == nullptr)
        fail("no temporary root");
    setenv("VX_ROOT", root_dir, 1);
    setenv("VX_IPC_TIMEOUT_MS", std::to_string(exchange_cap_ms).c_str(), 1);
    for (const web_table *table : modules) {
        for (int i = 0; table->waits != nullptr && i < table->waits->reply_count; ++i) {
            reply_rules.emplace_back(table->waits->replies[i].request, table->waits->replies[i].reply);
            requests.push_back(table->waits->replies[i].request);
        }
    }
    for (const char *dir : {"/var", "/var/run"})
        mkdir((std::string(root_dir) + dir).c_str(), 0755);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s/var/run/vxsocket", root_dir);
    listener = socket(AF_UNIX, SOCK_STREAM, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0)
        fail("no listening socket");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const uint8_t *end = data + size;
    const int frame_ms = data < end ? *data++ % 8 - 1 : -1;
    int32_t request = requests[0];
    if (data < end) {
        const uint8_t choice = *data++;
        if (choice < 0x80) {
            request = requests[choice % requests.size()];
        } else if (end - data >= 4) {
            memcpy(&request, data, sizeof request);
            data += sizeof request;
        }
    }
    const size_t stream = static_cast<size_t>(end - data);
    const std::vector<frame> want = ref_frames(data, stream);
    check_read_frame(data, stream, want);
    check_receive(request, frame_ms, data, stream, want);
    check_exchange(request, data, stream, want);
    return 0;
}
