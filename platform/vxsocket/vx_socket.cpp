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
#include <cerrno>
#include <chrono>
#include <climits>
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

using steady = std::chrono::steady_clock;

// Waits until `fd` can be read or `deadline` has passed. 1 readable (or hung up), 0 time-out, -1 error.
int wait_readable(int fd, steady::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now()).count();
        pollfd p{fd, POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(std::clamp<long long>(left + 1, 0, INT_MAX)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n > 0)
            return 1;
        if (steady::now() >= deadline)
            return 0;
    }
}

// A frame that has begun to arrive may pause this long between two pieces: the service writes header
// and payload separately and may be descheduled in between, while a service that stops half-way must
// not hold the request forever.
constexpr std::chrono::milliseconds frame_pause_limit{5000};

// No deadline: a time point no wait reaches.
constexpr steady::time_point no_deadline = steady::time_point::max();

steady::time_point deadline_after(int timeout_ms)
{
    if (timeout_ms < 0)
        return no_deadline;
    return steady::now() + std::chrono::milliseconds(timeout_ms);
}

// Reads exactly `size` bytes of a begun frame: each piece within the pause limit of the last one, and
// the last by `deadline`. A service dripping its reply must not stretch the caller's wait piece by
// piece. 0, or -1 at end of stream, on an error, after too long a pause or at the deadline.
int read_frame_part(int fd, void *data, size_t size, steady::time_point deadline)
{
    char *p = static_cast<char *>(data);
    while (size > 0) {
        if (wait_readable(fd, std::min(deadline, steady::now() + frame_pause_limit)) <= 0)
            return -1;
        ssize_t n = read(fd, p, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return -1;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Writes all `size` bytes by `deadline`: a service that accepted the connection but reads nothing
// must not hold the send once the socket's buffer is full. 0, or -1 (the frame may be partly out).
int write_until(int fd, const void *data, size_t size, steady::time_point deadline)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now()).count();
                if (left <= 0)
                    return -1;
                pollfd waiting{fd, POLLOUT, 0};
                int ready = poll(&waiting, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
                if (ready < 0 && errno == EINTR)
                    continue;
                if (ready <= 0)
                    return -1;
                break;
            }
            continue;
        }
        if (n <= 0)
            return -1;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
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

    uint32_t flags = c.send_only ? VXS_FLAG_SEND_ONLY : 0;
    const vxs_header header = vxs_make_header(c.next_sequence, code, flags, length);
    if (write_until(c.conn->fd, &header, sizeof header, deadline) != 0 ||
        (length > 0 && write_until(c.conn->fd, payload, static_cast<size_t>(length), deadline) != 0)) {
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

    int ready = wait_readable(conn->fd, deadline);
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
