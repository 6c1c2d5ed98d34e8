#include "support/fake_main_service.h"

#include "vxsocket/vxs_frame.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

fms_script &fms_script::reply(int32_t code, std::string payload, int delay_ms)
{
    frame f;
    f.code = code;
    f.payload = std::move(payload);
    f.delay_ms = delay_ms;
    frames.push_back(std::move(f));
    return *this;
}

fms_script &fms_script::raw(std::string bytes, int delay_ms)
{
    frame f;
    f.raw = std::move(bytes);
    f.delay_ms = delay_ms;
    frames.push_back(std::move(f));
    return *this;
}

fms_script &fms_script::close()
{
    close_after = true;
    return *this;
}

std::string fms_int(int32_t value)
{
    return fms_record(value);
}

std::string fms_header(const char magic[4], int32_t header_size, uint32_t sequence, int32_t code, uint32_t flags,
                       int32_t length)
{
    vxs_header header = vxs_make_header(sequence, code, flags, length);
    memcpy(header.magic, magic, sizeof header.magic);
    header.header_size = header_size;
    return fms_record(header);
}

fake_main_service::fake_main_service(const test_root &root, bool listen_now)
    : socket_path_(root.file("/var/run/vxsocket"))
{
    if (listen_now)
        listen();
}

fake_main_service::~fake_main_service()
{
    stop();
}

void fake_main_service::listen()
{
    if (listen_fd_ >= 0)
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path_.size() >= sizeof address.sun_path)
        abort();
    memcpy(address.sun_path, socket_path_.c_str(), socket_path_.size() + 1);
    unlink(socket_path_.c_str());
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wake_fd_ = eventfd(0, EFD_CLOEXEC);
    if (listen_fd_ < 0 || wake_fd_ < 0 ||
        bind(listen_fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listen_fd_, 64) != 0)
        abort();
    acceptor_ = std::thread(&fake_main_service::accept_loop, this);
}

void fake_main_service::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_)
            return;
        stopping_ = true;
    }
    changed_.notify_all();
    if (acceptor_.joinable()) {
        uint64_t one = 1;
        if (write(wake_fd_, &one, sizeof one) < 0)
            abort();
        acceptor_.join();
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (int fd : open_fds_)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread &server : servers_)
        server.join();
    if (listen_fd_ >= 0) {
        close(listen_fd_);
        close(wake_fd_);
        unlink(socket_path_.c_str());
    }
}

void fake_main_service::script(int32_t code, fms_script what)
{
    std::lock_guard<std::mutex> guard(lock_);
    scripts_[code] = std::move(what);
}

void fake_main_service::script_default(fms_script what)
{
    std::lock_guard<std::mutex> guard(lock_);
    default_script_ = std::move(what);
}

void fake_main_service::clear_scripts()
{
    std::lock_guard<std::mutex> guard(lock_);
    scripts_.clear();
    default_script_ = fms_script();
}

std::vector<fms_request> fake_main_service::requests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    // Each exchange of the program has a connection of its own, accepted in the order the program
    // connected; requests of two connections may be read in either order. Connection order, then
    // arrival, is the order the program sent them.
    std::vector<fms_request> sent = requests_;
    std::stable_sort(sent.begin(), sent.end(),
                     [](const fms_request &a, const fms_request &b) { return a.connection < b.connection; });
    return sent;
}

bool fake_main_service::wait_requests(size_t count, int timeout_ms) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                             [&] { return requests_.size() >= count; });
}

int fake_main_service::closed_connections() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return closed_;
}

bool fake_main_service::wait_closed_connections(int count, int timeout_ms) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] { return closed_ >= count; });
}

bool fake_main_service::wait_idle(int timeout_ms) const
{
    // A connection the program made before it exited is either accepted already or still waiting in
    // the listening socket's queue, where poll sees it without taking it.
    auto nothing_queued = [this] {
        pollfd listening = {listen_fd_, POLLIN, 0};
        return listen_fd_ < 0 || poll(&listening, 1, 0) == 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::unique_lock<std::mutex> guard(lock_);
    while (!(closed_ == connections_ && nothing_queued())) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        changed_.wait_for(guard, std::chrono::milliseconds(1));
    }
    return true;
}

void fake_main_service::accept_loop()
{
    for (;;) {
        pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        {
            // Taken and counted under the lock, so that wait_idle never sees a connection that is
            // neither queued nor counted.
            std::lock_guard<std::mutex> guard(lock_);
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            open_fds_.insert(fd);
            servers_.emplace_back(&fake_main_service::serve, this, fd, ++connections_);
        }
        changed_.notify_all();
    }
}

bool fake_main_service::pause(int delay_ms)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (delay_ms > 0)
        changed_.wait_for(guard, std::chrono::milliseconds(delay_ms), [&] { return stopping_; });
    return !stopping_;
}

void fake_main_service::serve(int fd, int number)
{
    vxs_header header{};
    std::vector<unsigned char> payload;
    while (vxs_read_frame(fd, &header, &payload) == 0) {
        fms_script what;
        {
            std::lock_guard<std::mutex> guard(lock_);
            fms_request request;
            request.connection = number;
            request.sequence = header.sequence;
            request.code = header.code;
            request.flags = header.flags;
            request.payload.assign(payload.begin(), payload.end());
            requests_.push_back(std::move(request));
            auto it = scripts_.find(header.code);
            what = (it != scripts_.end()) ? it->second : default_script_;
        }
        changed_.notify_all();

        bool open = true;
        for (const fms_script::frame &f : what.frames) {
            if (!pause(f.delay_ms)) {
                open = false;
                break;
            }
            int sent = f.raw.empty() ? vxs_write_frame(fd, header.sequence, f.code, 0, f.payload.data(),
                                                       static_cast<int32_t>(f.payload.size()))
                                     : vxs_write_all(fd, f.raw.data(), f.raw.size());
            if (sent != 0) {
                open = false;
                break;
            }
        }
        if (!open || what.close_after)
            break;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        shutdown(fd, SHUT_RDWR);
        close(fd);
        open_fds_.erase(fd);
        ++closed_;
    }
    changed_.notify_all();
}

namespace {
sockaddr_un socket_address(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        abort();
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}
}  // namespace

stalled_main_service::stalled_main_service(const test_root &root) : socket_path_(root.file("/var/run/vxsocket"))
{
    sockaddr_un address = socket_address(socket_path_);
    unlink(socket_path_.c_str());
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listen_fd_, 0) != 0)
        abort();
}

stalled_main_service::~stalled_main_service()
{
    for (int fd : queued_)
        close(fd);
    close(listen_fd_);
    unlink(socket_path_.c_str());
}

bool stalled_main_service::fill()
{
    sockaddr_un address = socket_address(socket_path_);
    for (int i = 0; i < 16; ++i) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            const bool full = errno == EAGAIN;
            close(fd);
            return full;
        }
        queued_.push_back(fd);
    }
    return false;
}
