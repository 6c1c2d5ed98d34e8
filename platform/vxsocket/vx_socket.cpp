#include "vxsocket/vx_socket.h"
#include "vxrt/vx_path.h"
#include "vxsocket/vxs_frame.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
// What a delivery thread needs; shared with the client so that a send can see the connection end.
struct connection {
    int fd = -1;
    vx_sock_callback callback = nullptr;
    bool send_only = false;
    std::atomic<bool> ended{false};  // the delivery thread has stopped reading
};

struct client {
    std::mutex lock;  // serialises init, send and uninit; the delivery thread never takes it
    bool ready = false;
    vx_sock_callback callback = nullptr;
    std::string path;
    bool send_only = false;
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

// Handed to the callback for a zero-length payload: a valid pointer that reads as zeros.
alignas(16) const unsigned char empty_payload[16] = {};

void deliver(std::shared_ptr<connection> conn)
{
    vxs_header header{};
    std::vector<unsigned char> payload;
    while (vxs_read_frame(conn->fd, &header, &payload) == 0) {
        if (conn->send_only)
            continue;
        conn->callback(nullptr, &header, payload.empty() ? empty_payload : payload.data());
    }
    // End of stream, an error, or a garbled frame: no later byte can be trusted to start a frame.
    shutdown(conn->fd, SHUT_RDWR);
    conn->ended = true;
}

// Closes the connection and waits for its delivery thread. Caller holds c.lock.
void close_connection(client &c)
{
    if (!c.conn)
        return;
    shutdown(c.conn->fd, SHUT_RDWR);  // wakes the delivery thread's read
    if (c.delivery.joinable())
        c.delivery.join();
    close(c.conn->fd);
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

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
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
    try {
        c.delivery = std::thread(deliver, conn);
    } catch (...) {
        close(fd);
        return -1;
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
    c.send_only = (flags == VX_SOCK_SEND_ONLY);
    c.ready = true;
    return 0;
}

int vx_sock_send_msg(int /*target*/, int code, const void *payload, int length, int /*options*/)
{
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
    if (vxs_write_frame(c.conn->fd, c.next_sequence, code, flags, payload, length) != 0) {
        // Part of the frame may be out: this connection can carry nothing more.
        close_connection(c);
        return -1;
    }
    ++c.next_sequence;
    return 0;
}

int vx_sock_uninit()
{
    client &c = the_client();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.delivery.joinable() && c.delivery.get_id() == std::this_thread::get_id())
        return -1;  // called from the callback: joining ourselves would never return
    close_connection(c);
    c.ready = false;
    c.callback = nullptr;
    return 0;
}
