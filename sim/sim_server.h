// The listening side of the simulated main service: the stream socket "/var/run/vxsocket" (under
// VX_ROOT), one thread per client connection, VXS1 frames in and out (vxsocket/vxs_frame.h).
//
// Each connection is served in order: a request is read, handled (sim_dispatch.h), logged, and its
// reply, if it has one, goes out with the request's sequence number before the next request is read.
// A garbled frame closes that connection only. stop() ends everything: the socket file is removed,
// open connections are shut, replies still waiting are dropped.
#pragma once

#include "sim_dispatch.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class sim_server {
public:
    sim_server(sim_context &context, int reply_delay_ms) : context_(context), reply_delay_ms_(reply_delay_ms) {}
    ~sim_server() { stop(); }
    sim_server(const sim_server &) = delete;
    sim_server &operator=(const sim_server &) = delete;

    // Creates the socket's directory, removes a stale socket file and listens. -1 (with a message in
    // *error) when the path does not fit a socket address, another service answers there, or the
    // socket cannot be set up.
    int listen(const std::string &socket_file, std::string *error);

    // Accepts connections until `stop_fd` becomes readable (a signalfd of SIGINT and SIGTERM).
    void run(int stop_fd);

    void stop();

private:
    struct connection {
        int fd = -1;
        int number = 0;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void serve(connection *conn);
    bool pause(int delay_ms);  // false when stopping
    void reap();               // joins the threads of finished connections

    sim_context &context_;
    int reply_delay_ms_ = 0;
    std::string socket_file_;
    int listen_fd_ = -1;
    int connections_ = 0;
    std::mutex lock_;
    std::condition_variable stopping_changed_;
    bool stopping_ = false;
    std::list<std::unique_ptr<connection>> open_;
};
