#include "vxsocket/vx_socket.h"
#include "vxrt/vx_path.h"
#include "vxsocket/vxs_frame.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
// One connection to the main service; shared by the client, its delivery thread (if any) and a
// vx_sock_receive in progress, and closed when the last of them lets go.
struct connection {
    int fd = -1;
    vx_sock_callback callback = nullptr;
    bool send_only = false;
    std::atomic<bool> ended{false};  // nothing more is read from it: the next send connects again
    std::mutex delivering;           // held while a frame read by vx_sock_receive is in the callback
    bool closed = false;             // set under `delivering`: no callback may start any more

    ~connection()
    {
        if (fd >= 0)
            close(fd);
    }
};

struct client {
    std::mutex lock;  // serialises init, send and uninit; callbacks never run under it
    bool ready = false;
    vx_sock_callback callback = nullptr;
    std::string path;
    bool send_only = false;
    bool caller_reads = false;
    uint32_t next_sequence = 1;
    std::shared_ptr<connection> conn;
    std::thread delivery;
};

// Never destroyed: a delivery thread may still be running while static objects go away.
client &the_client()
{
    static client *c = new client;
    return *c;
}

// True while this thread runs the callback.
thread_local bool in_callback = false;

// Handed to the callback for a zero-length payload: a valid pointer that reads as zeros.
alignas(16) const unsigned char empty_payload[16] = {};

void run_callback(const connection &conn, const vxs_header &header, const std::vector<unsigned char> &payload)
{
    in_callback = true;
    conn.callback(nullptr, &header, payload.empty() ? empty_payload : payload.data());
    in_callback = false;
}

// End of stream, an error, a garbled or cut frame: no later byte can be trusted to start a frame.
void end_connection(connection &conn)
{
    shutdown(conn.fd, SHUT_RDWR);
    conn.ended = true;
}

void deliver(std::shared_ptr<connection> conn)
{
    vxs_header header{};
    std::vector<unsigned char> payload;
    while (vxs_read_frame(conn->fd, &header, &payload) == 0) {
        if (!conn->send_only)
            run_callback(*conn, header, payload);
    }
    end_connection(*conn);
}

using steady = vxs_clock;

// A frame that has begun to arrive may pause this long between two pieces: the service writes header
// and payload separately and may be descheduled in between, while a service that stops half-way must
// not hold the request forever.
constexpr int frame_pause_limit_ms = 5000;

steady::time_point deadline_after(int timeout_ms)
{
    if (timeout_ms < 0)
        return vxs_no_deadline;
    return steady::now() + std::chrono::milliseconds(timeout_ms);
}

// Reads exactly `size` bytes of a begun frame: each piece within the pause limit of the last one, and
// the last by `deadline`. A service dripping its reply must not stretch the caller's wait piece by
// piece. 0, or -1 at end of stream, on an error, after too long a pause or at the deadline.
int read_frame_part(int fd, void *data, size_t size, steady::time_point deadline)
{
    return vxs_read_all(fd, data, size, frame_pause_limit_ms, deadline);
}

// Closes the connection and waits for whoever delivers its frames. Caller holds c.lock.
void close_connection(client &c)
{
    if (!c.conn)
        return;
    shutdown(c.conn->fd, SHUT_RDWR);  // wakes the delivery thread's read, or a vx_sock_receive's poll
    if (c.delivery.joinable())
        c.delivery.join();
    {
        std::lock_guard<std::mutex> guard(c.conn->delivering);
        c.conn->closed = true;
    }
    c.conn.reset();
}

int connect_socket(const std::string &device_path)
{
    std::string file = vx_path(device_path.c_str());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (file.size() >= sizeof address.sun_path)
        return -1;
    memcpy(address.sun_path, file.c_str(), file.size() + 1);

    // Non-blocking: a service whose listen queue is full (it has stopped accepting) would otherwise
    // hold connect() for ever. Such a connection fails at once (EAGAIN) and counts as a failed
    // attempt of the caller's retries. Reads wait in poll, so the socket is blocking again after.
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int open_connection(client &c)
{
    int fd = connect_socket(c.path);
    if (fd < 0)
        return -1;
    auto conn = std::make_shared<connection>();
    conn->fd = fd;
    conn->callback = c.callback;
    conn->send_only = c.send_only;
    if (!c.caller_reads) {
        try {
            c.delivery = std::thread(deliver, conn);
        } catch (...) {
            return -1;  // conn closes the socket
        }
    }
    c.conn = conn;
    c.next_sequence = 1;
    return 0;
}

// Joins the delivery thread when a static object's destructor closes the process with a client open.
struct client_closer {
    ~client_closer() { vx_sock_uninit(); }
} g_client_closer;
}  // namespace

int vx_sock_init(vx_sock_callback callback, int /*reserved*/, int /*version*/, const char *path, int flags)
{
    if (callback == nullptr || path == nullptr)
        return -1;
    client &c = the_client();
    std::lock_guard<std::mutex> guard(c.lock);
    close_connection(c);
    c.callback = callback;
    c.path = path;
    c.send_only = (flags & VX_SOCK_SEND_ONLY) != 0;
    c.caller_reads = (flags & VX_SOCK_CALLER_READS) != 0;
    c.ready = true;
    return 0;
}

int vx_sock_send_msg(int /*target*/, int code, const void *payload, int length, int /*options*/)
{
    return vx_sock_send_msg_within(code, payload, length, -1);
}

int vx_sock_send_msg_within(int code, const void *payload, int length, int timeout_ms)
{
    const steady::time_point deadline = deadline_after(timeout_ms);
    if (length < 0 || length > VXS_MAX_PAYLOAD || (length > 0 && payload == nullptr))
        return -1;
    client &c = the_client();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.ready)
        return -1;
    if (c.conn && c.conn->ended)
        close_connection(c);
    if (!c.conn && open_connection(c) != 0)
        return -1;

    // A service that accepted the connection but reads nothing must not hold the send once the
    // socket's buffer is full.
    uint32_t flags = c.send_only ? VXS_FLAG_SEND_ONLY : 0;
    if (vxs_write_frame(c.conn->fd, c.next_sequence, code, flags, payload, length, deadline) != 0) {
        // Part of the frame may be out: this connection can carry nothing more.
        close_connection(c);
        return -1;
    }
    ++c.next_sequence;
    return 0;
}

int vx_sock_receive(int timeout_ms, int frame_ms)
{
    if (in_callback)
        return -1;
    const steady::time_point deadline = steady::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    const steady::time_point frame_deadline = deadline_after(frame_ms);
    client &c = the_client();
    std::shared_ptr<connection> conn;
    {
        std::lock_guard<std::mutex> guard(c.lock);
        if (!c.ready || !c.caller_reads || !c.conn || c.conn->ended)
            return -1;
        conn = c.conn;
    }

    int ready = vxs_wait(conn->fd, POLLIN, deadline);
    if (ready == 0)
        return 0;
    vxs_header header{};
    std::vector<unsigned char> payload;
    if (ready < 0 || read_frame_part(conn->fd, &header, sizeof header, frame_deadline) != 0 ||
        !vxs_header_valid(header)) {
        end_connection(*conn);
        return -1;
    }
    payload.resize(static_cast<size_t>(header.length));
    if (read_frame_part(conn->fd, payload.data(), payload.size(), frame_deadline) != 0) {
        end_connection(*conn);
        return -1;
    }
    std::lock_guard<std::mutex> guard(conn->delivering);
    if (conn->closed)
        return -1;
    if (!conn->send_only)
        run_callback(*conn, header, payload);
    return 1;
}

int vx_sock_uninit()
{
    if (in_callback)
        return -1;  // called from the callback: waiting for ourselves would never return
    client &c = the_client();
    std::lock_guard<std::mutex> guard(c.lock);
    close_connection(c);
    c.ready = false;
    c.callback = nullptr;
    return 0;
}
