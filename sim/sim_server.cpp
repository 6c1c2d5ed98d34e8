#include "sim_server.h"
#include "sim_log.h"

#include "vxsocket/vxs_frame.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {
enum class frame_read { ok, end, garbled };

// vxs_read_frame, telling a peer that went away from one that sent a frame nothing can follow.
frame_read read_request(int fd, vxs_header *header, std::vector<unsigned char> *payload)
{
    if (vxs_read_all(fd, header, sizeof *header) != 0)
        return frame_read::end;
    if (!vxs_header_valid(*header))
        return frame_read::garbled;
    payload->resize(static_cast<size_t>(header->length));
    if (header->length > 0 && vxs_read_all(fd, payload->data(), payload->size()) != 0)
        return frame_read::end;
    return frame_read::ok;
}

bool fill_address(const std::string &file, sockaddr_un *address)
{
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (file.size() >= sizeof address->sun_path)
        return false;
    memcpy(address->sun_path, file.c_str(), file.size() + 1);
    return true;
}

// True when a service accepts connections at the socket file.
bool someone_listens(const sockaddr_un &address)
{
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool answered = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}
}  // namespace

int sim_server::listen(const std::string &socket_file, std::string *error)
{
    sockaddr_un address;
    if (!fill_address(socket_file, &address)) {
        *error = "socket path too long for a socket address: " + socket_file;
        return -1;
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(socket_file).parent_path(), ignored);
    if (someone_listens(address)) {
        *error = "another main service is listening on " + socket_file;
        return -1;
    }
    unlink(socket_file.c_str());  // left behind by a service that did not stop cleanly

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0) {
        *error = "cannot listen on " + socket_file + ": " + strerror(errno);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    listen_fd_ = fd;
    socket_file_ = socket_file;
    return 0;
}

void sim_server::run(int stop_fd)
{
    for (;;) {
        pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            sim_log("poll failed: %s", strerror(errno));
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        reap();
        std::lock_guard<std::mutex> guard(lock_);
        auto conn = std::make_unique<connection>();
        conn->fd = fd;
        conn->number = ++connections_;
        connection *serving = conn.get();
        try {
            conn->thread = std::thread(&sim_server::serve, this, serving);
        } catch (...) {
            sim_log("#%d: no thread for the connection, closed", serving->number);
            close(fd);
            continue;
        }
        open_.push_back(std::move(conn));
    }
}

void sim_server::reap()
{
    std::list<std::unique_ptr<connection>> finished;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto it = open_.begin(); it != open_.end();) {
            if ((*it)->done) {
                finished.push_back(std::move(*it));
                it = open_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto &conn : finished) {
        conn->thread.join();
        close(conn->fd);
    }
}

void sim_server::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_)
            return;
        stopping_ = true;
        for (auto &conn : open_)
            shutdown(conn->fd, SHUT_RDWR);  // ends a read in progress
    }
    stopping_changed_.notify_all();
    if (listen_fd_ >= 0) {
        close(listen_fd_);
        unlink(socket_file_.c_str());
        listen_fd_ = -1;
    }
    for (auto &conn : open_) {
        conn->thread.join();
        close(conn->fd);
    }
    open_.clear();
}

bool sim_server::pause(int delay_ms)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (delay_ms > 0)
        stopping_changed_.wait_for(guard, std::chrono::milliseconds(delay_ms), [&] { return stopping_; });
    return !stopping_;
}

void sim_server::serve(connection *conn)
{
    vxs_header header{};
    std::vector<unsigned char> payload;
    frame_read got;
    while ((got = read_request(conn->fd, &header, &payload)) == frame_read::ok) {
        bool send_only = (header.flags & VXS_FLAG_SEND_ONLY) != 0;
        sim_answer answer = sim_dispatch(context_, header.code, send_only, payload);
        sim_log("#%d seq %u code %d flags %u length %d: %s", conn->number, header.sequence, header.code,
                header.flags, header.length, answer.note.c_str());
        if (!answer.reply)
            continue;
        if (!pause(answer.delay_ms + reply_delay_ms_))
            break;
        if (vxs_write_frame(conn->fd, header.sequence, answer.code, 0, answer.payload.data(),
                            static_cast<int32_t>(answer.payload.size())) != 0)
            break;
    }
    if (got == frame_read::garbled)
        sim_log("#%d: garbled frame header, connection closed", conn->number);
    shutdown(conn->fd, SHUT_RDWR);
    conn->done = true;
}
