// The frame reader on arbitrary byte streams: vxs_read_frame over a socket pair, and the client's
// vx_sock_receive over a connection to a listening socket that plays the main service.
//
// The input is what the peer sends before it closes its side. Both readers must deliver exactly the
// frames a plain reading of the bytes finds (24-byte headers with the magic, a header size of 24 and a
// length of 0 to 16 MiB, each followed by its whole payload) in order, stop at the first garbled
// header or cut frame, and never wait once the peer has closed.
#include "vxsocket/vx_socket.h"
#include "vxsocket/vxs_frame.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

void check_receive(const uint8_t *data, size_t size, const std::vector<frame> &want)
{
    if (vx_sock_init(on_reply, 0, 3, "/var/run/vxsocket", VX_SOCK_CALLER_READS) != 0 ||
        vx_sock_send_msg(1, 1234, nullptr, 0, 0) != 0)
        fail("the client cannot reach the listening socket");
    const int service = accept(listener, nullptr, nullptr);
    vxs_header request;
    std::vector<unsigned char> request_payload;
    if (service < 0 || vxs_read_frame(service, &request, &request_payload) != 0 || request.code != 1234)
        fail("the request did not arrive");
    send_and_close(service, data, size);
    delivered.clear();
    int got;
    for (size_t frames = 0; (got = vx_sock_receive(10000)) == 1; ++frames) {
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
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (mkdtemp(root_dir) == nullptr)
        fail("no temporary root");
    setenv("VX_ROOT", root_dir, 1);
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
    const std::vector<frame> want = ref_frames(data, size);
    check_read_frame(data, size, want);
    check_receive(data, size, want);
    return 0;
}
