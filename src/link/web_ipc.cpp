#include "link/web_ipc.h"
#include "link/web_log.h"
#include "vxsocket/vx_socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

std::atomic<int> g_callback_done{0};

namespace {
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr const char *main_service_socket = "/var/run/vxsocket";
constexpr int send_attempts = 3000;
constexpr milliseconds send_retry_pause{10};
constexpr milliseconds send_retry_period = send_retry_pause * send_attempts;
constexpr milliseconds poll_period{40};
constexpr int default_polls = 1000;

// The modules' long-wait tables, one per module.
constexpr int max_wait_tables = 16;
const cgi_wait_table *wait_tables[max_wait_tables];
int wait_table_count = 0;

enum class exchange_mode { wait, send_only, stream };

// The handler's side of the current exchange, shared with the thread that delivers a stream.
struct exchange {
    std::mutex lock;                  // held while a reply routine runs
    std::condition_variable replied;  // signalled after every delivered reply
    cgi_ipc_callback callback = nullptr;
    int request = 0;                  // the request code: only its replies reach `callback`
    bool accepting = false;           // replies still reach `callback`
    bool stream = false;
    std::atomic<bool> over{false};    // a reply was unusable: the wait ends without an answer
};

// Never destroyed: the client's delivery thread may run while static objects go away.
exchange &the_exchange()
{
    static exchange *x = new exchange;
    return *x;
}

// True on the thread running a reply routine (with the exchange's lock held).
thread_local bool in_delivery = false;

// VX_IPC_TIMEOUT_MS: a cap on every wait of the exchange, for tests. Unset or not a number: none.
std::optional<milliseconds> ipc_time_cap()
{
    const char *text = getenv("VX_IPC_TIMEOUT_MS");
    if (text == nullptr || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    long long value = strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE)
        return std::nullopt;
    return milliseconds(value);
}

void deliver_reply(void *unused, const void *header, const void *payload)
{
    exchange &x = the_exchange();
    std::lock_guard<std::mutex> guard(x.lock);
    if (!x.accepting)
        return;
    const int reply = cgi_reply_code(header);
    if (!cgi_reply_expected(x.request, reply)) {
        // A reply to another request (a late one of an earlier exchange, or the service's mistake)
        // must not answer this one.
        cgi_log("web_ipc", __LINE__, "deliver_reply", "reply %d dropped: request %d has no such reply", reply,
                x.request);
        return;
    }
    in_delivery = true;
    x.callback(unused, header, payload);
    in_delivery = false;
    x.replied.notify_all();
}

milliseconds time_left(steady_clock::time_point deadline)
{
    return std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now());
}

// Reads and handles replies on this thread until a reply routine has set the flag or `deadline` has
// passed. A frame is read only while the flag is clear, so a second reply can never add a second
// response. Each read waits at most one poll period for a frame to begin, so a flag set by another
// thread is seen as soon as with the 40 ms polls; a frame that has begun must be whole by the deadline.
// A connection the service has closed can bring no reply: the wait ends there.
void wait_for_reply(steady_clock::time_point deadline)
{
    while (g_callback_done == 0 && !the_exchange().over) {
        const milliseconds left = time_left(deadline);
        if (left.count() <= 0)
            return;
        const int frame_ms = static_cast<int>(std::min<milliseconds::rep>(left.count(), INT_MAX));
        if (vx_sock_receive(static_cast<int>(std::min(left, poll_period).count()), frame_ms) < 0)
            return;
    }
}

// Tries the send until it goes out, the attempts are used up or the period (the cap, when set) has
// passed; a connection the service does not accept is a failed attempt, and a frame the service does
// not read gives up at the end of the period.
bool send_request(int code, int length, const void *payload, std::optional<milliseconds> cap)
{
    const auto deadline = steady_clock::now() + (cap ? *cap : send_retry_period);
    for (int attempt = 1;; ++attempt) {
        const milliseconds left = time_left(deadline);
        if (left.count() <= 0)
            return false;
        if (vx_sock_send_msg_within(code, payload, length, static_cast<int>(std::min<milliseconds::rep>(
                                                                left.count(), INT_MAX))) == 0)
            return true;
        if (attempt >= send_attempts)
            return false;
        std::this_thread::sleep_for(std::min(send_retry_pause, std::max(time_left(deadline), milliseconds(0))));
    }
}

int start_exchange(cgi_ipc_callback callback, int code, int length, const void *payload, exchange_mode mode)
{
    if (callback == nullptr || in_delivery)
        return -1;
    exchange &x = the_exchange();

    // Closes a client left open by an earlier cycle before any state of this one is set. Only a stream
    // needs the client's delivery thread; otherwise this thread reads the reply itself while it waits.
    int client_flags = VX_SOCK_CALLER_READS;
    if (mode == exchange_mode::send_only)
        client_flags |= VX_SOCK_SEND_ONLY;
    else if (mode == exchange_mode::stream)
        client_flags = 0;
    vx_sock_init(deliver_reply, 0, 3, main_service_socket, client_flags);
    g_callback_done = 0;
    x.over = false;
    {
        std::lock_guard<std::mutex> guard(x.lock);
        x.callback = callback;
        x.request = code;
        x.accepting = (mode != exchange_mode::send_only);
        x.stream = (mode == exchange_mode::stream);
    }

    const std::optional<milliseconds> cap = ipc_time_cap();
    const bool sent = send_request(code, length, payload, cap);
    if (mode == exchange_mode::send_only)
        return 0;

    // A request that never went out gets no reply: there is nothing to wait for.
    milliseconds limit = sent ? poll_period * cgi_ipc_poll_count(code) : milliseconds(0);
    if (cap)
        limit = std::min(limit, *cap);
    const auto deadline = steady_clock::now() + limit;
    if (mode == exchange_mode::stream) {
        std::unique_lock<std::mutex> lock(x.lock);
        x.replied.wait_until(lock, deadline, [&x] { return g_callback_done != 0 || x.over; });
        return 0;
    }
    wait_for_reply(deadline);
    std::lock_guard<std::mutex> guard(x.lock);
    x.accepting = false;
    return 0;
}
}  // namespace

int cgi_start_ipc(cgi_ipc_callback callback, int code, int length, const void *payload, int flag)
{
    return start_exchange(callback, code, length, payload,
                          flag == CGI_IPC_SEND_ONLY ? exchange_mode::send_only : exchange_mode::wait);
}

int cgi_start_ipc_stream(cgi_ipc_callback callback, int code, int length, const void *payload)
{
    return start_exchange(callback, code, length, payload, exchange_mode::stream);
}

int cgi_stop_ipc()
{
    if (in_delivery)
        return -1;
    exchange &x = the_exchange();
    {
        std::lock_guard<std::mutex> guard(x.lock);
        x.accepting = false;
    }
    vx_sock_uninit();
    return 0;
}

void cgi_set_callback_done(int value)
{
    g_callback_done = value;
    if (in_delivery)
        return;  // the delivery wakes the wait when the routine returns
    exchange &x = the_exchange();
    // Taking the lock orders this store before the waiter's next look at the flag.
    { std::lock_guard<std::mutex> guard(x.lock); }
    x.replied.notify_all();
}

void cgi_end_wait()
{
    the_exchange().over = true;
}

int cgi_ipc_poll_count(int code)
{
    for (int t = 0; t < wait_table_count; ++t) {
        for (int i = 0; i < wait_tables[t]->count; ++i) {
            if (wait_tables[t]->rules[i].code == code)
                return wait_tables[t]->rules[i].polls;
        }
    }
    return default_polls;
}

bool cgi_reply_expected(int request, int reply)
{
    if (request <= INT32_MAX - 5000 && reply == reply_of(request))
        return true;
    for (int t = 0; t < wait_table_count; ++t) {
        for (int i = 0; i < wait_tables[t]->reply_count; ++i) {
            if (wait_tables[t]->replies[i].request == request && wait_tables[t]->replies[i].reply == reply)
                return true;
        }
    }
    return false;
}

int cgi_register_waits(const cgi_wait_table *waits)
{
    if (waits == nullptr || wait_table_count >= max_wait_tables)
        return -1;
    wait_tables[wait_table_count++] = waits;
    return 0;
}

int cgi_reply_code(const void *header)
{
    int32_t code = 0;
    if (header != nullptr)
        memcpy(&code, static_cast<const unsigned char *>(header) + 12, sizeof code);
    return code;
}

int cgi_reply_length(const void *header)
{
    int32_t length = 0;
    if (header != nullptr)
        memcpy(&length, static_cast<const unsigned char *>(header) + 20, sizeof length);
    return length;
}
