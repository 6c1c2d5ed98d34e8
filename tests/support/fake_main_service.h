// A scripted main service inside the test program: a thread that listens on the main-service socket
// of a test_root ($VX_ROOT/var/run/vxsocket), answers each request code the way a test says, and
// records every request it receives so the test can check the exact bytes a handler sent.
//
//     test_root root;
//     fake_main_service fms(root);
//     fms.script(DISK_LIST, fms_script().reply(reply_of(DISK_LIST), fms_record(disk)));  // one reply frame
//     cgi_result r = run_cgi(root, request);                                              // the handler talks to fms
//     ASSERT_TRUE(fms.wait_requests(1));
//     EXPECT_EQ(fms.requests()[0].payload, fms_record(expected_request));
//
// A request code without a script gets no reply (script_default changes that). Frames of one request
// go out in order on the connection the request came on, each after its own delay; the next request
// of that connection is read only when the script of the previous one has run.
#pragma once

#include "support/cgi_runner.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// What the fake does with a request: the frames it sends back, then whether it closes the connection.
struct fms_script {
    struct frame {
        int32_t code = 0;
        std::string payload;
        int delay_ms = 0;  // waited before this frame goes out
        std::string raw;   // when not empty: these bytes go out instead of a frame (garbled data)
    };
    std::vector<frame> frames;  // none: no reply
    bool close_after = false;

    // One reply frame carrying the request's sequence number.
    fms_script &reply(int32_t code, std::string payload = {}, int delay_ms = 0);
    // Bytes sent as they are, e.g. a header with a wrong magic.
    fms_script &raw(std::string bytes, int delay_ms = 0);
    // Closes the connection once the frames are out.
    fms_script &close();
};

// One request as the fake read it.
struct fms_request {
    int connection = 0;     // 1 for the first connection the fake accepted, then 2, ...
    uint32_t sequence = 0;  // the client's number for the request on its connection
    int32_t code = 0;
    uint32_t flags = 0;     // bit 0: send-only
    std::string payload;
    bool send_only() const { return (flags & 1) != 0; }
};

// Payload builders: one signed 32-bit integer, or the bytes of a record.
std::string fms_int(int32_t value);
template <typename T>
std::string fms_record(const T &record)
{
    return std::string(reinterpret_cast<const char *>(&record), sizeof record);
}
// A 24-byte frame header with the given fields, for building garbled frames with fms_script::raw.
std::string fms_header(const char magic[4], int32_t header_size, uint32_t sequence, int32_t code, uint32_t flags,
                       int32_t length);

class fake_main_service {
public:
    // Listens at once unless `listen_now` is false (then call listen() later: a late main service).
    explicit fake_main_service(const test_root &root, bool listen_now = true);
    ~fake_main_service();
    fake_main_service(const fake_main_service &) = delete;
    fake_main_service &operator=(const fake_main_service &) = delete;

    void listen();
    // Closes the listening socket and every connection; pending delays are cut short.
    void stop();

    void script(int32_t code, fms_script what);
    void script_default(fms_script what);
    // Forgets every script: no request gets a reply until the next script().
    void clear_scripts();

    // Every request so far, in the order the program sent them (by connection, then arrival).
    std::vector<fms_request> requests() const;
    // Waits until at least `count` requests have arrived. False on time-out.
    bool wait_requests(size_t count, int timeout_ms = 5000) const;

    // Connections that have ended (closed by either side), and a wait for them.
    int closed_connections() const;
    bool wait_closed_connections(int count, int timeout_ms = 5000) const;
    // Waits until every connection accepted so far has ended, its requests read and its scripts run:
    // once a program has exited, nothing more of what it sent on them can still arrive.
    bool wait_idle(int timeout_ms = 5000) const;

private:
    void accept_loop();
    void serve(int fd, int number);
    bool pause(int delay_ms);  // false when stopping

    std::string socket_path_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::map<int32_t, fms_script> scripts_;
    fms_script default_script_;
    std::vector<fms_request> requests_;
    std::set<int> open_fds_;
    int connections_ = 0;
    int closed_ = 0;
    bool stopping_ = false;
    int listen_fd_ = -1;
    int wake_fd_ = -1;
    std::thread acceptor_;
    std::vector<std::thread> servers_;
};

// A main service that has stopped accepting connections: it listens on the root's socket but never
// accepts, with a queue of one. `fill()` takes that one place itself, so that a further connect finds
// the queue full (a blocking connect would wait for ever). Closes everything when it goes.
class stalled_main_service {
public:
    explicit stalled_main_service(const test_root &root);
    ~stalled_main_service();
    stalled_main_service(const stalled_main_service &) = delete;
    stalled_main_service &operator=(const stalled_main_service &) = delete;

    // Connects until the queue is full. False when it never filled.
    bool fill();

private:
    std::string socket_path_;
    int listen_fd_ = -1;
    std::vector<int> queued_;
};
