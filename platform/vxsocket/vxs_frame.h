// The VXS1 frame: how every message between a client and the main service travels on the stream
// socket "/var/run/vxsocket".
//
// A frame is a 24-byte header followed by the payload. All header fields are little-endian; the
// targets are little-endian machines, so the header is read and written as the struct below. The
// client numbers its requests from 1 on each connection and a reply carries the number of the request
// it answers. Both ends use the blocking helpers here (the client library, the simulated main service
// and the test fake), so there is one reading of the format.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

static_assert(std::endian::native == std::endian::little, "VXS1 headers are little-endian");

struct vxs_header {
    char magic[4];         // "VXS1"
    int32_t header_size;   // 24
    uint32_t sequence;     // request number on this connection, from 1; a reply repeats it
    int32_t code;          // request code or reply code
    uint32_t flags;        // VXS_FLAG_SEND_ONLY on a request that wants no reply
    int32_t length;        // payload bytes, 0 to VXS_MAX_PAYLOAD
};
static_assert(sizeof(vxs_header) == 24);
static_assert(offsetof(vxs_header, header_size) == 4);
static_assert(offsetof(vxs_header, sequence) == 8);
static_assert(offsetof(vxs_header, code) == 12);
static_assert(offsetof(vxs_header, flags) == 16);
static_assert(offsetof(vxs_header, length) == 20);

constexpr char VXS_MAGIC[4] = {'V', 'X', 'S', '1'};
constexpr int32_t VXS_HEADER_SIZE = 24;
constexpr int32_t VXS_MAX_PAYLOAD = 16 * 1024 * 1024;
constexpr uint32_t VXS_FLAG_SEND_ONLY = 1;

inline vxs_header vxs_make_header(uint32_t sequence, int32_t code, uint32_t flags, int32_t length)
{
    vxs_header header{};
    memcpy(header.magic, VXS_MAGIC, sizeof header.magic);
    header.header_size = VXS_HEADER_SIZE;
    header.sequence = sequence;
    header.code = code;
    header.flags = flags;
    header.length = length;
    return header;
}

// A header the peer may be trusted with: anything else means the stream is out of step and the
// connection must be closed, since no later byte can be framed again.
inline bool vxs_header_valid(const vxs_header &header)
{
    return memcmp(header.magic, VXS_MAGIC, sizeof header.magic) == 0 && header.header_size == VXS_HEADER_SIZE &&
           header.length >= 0 && header.length <= VXS_MAX_PAYLOAD;
}

using vxs_clock = std::chrono::steady_clock;

// No deadline: a time point no wait reaches.
inline constexpr vxs_clock::time_point vxs_no_deadline = vxs_clock::time_point::max();

// Waits until `fd` has one of `events` (or has hung up) or `deadline` has passed. 1 ready, 0 time-out,
// -1 error.
inline int vxs_wait(int fd, short events, vxs_clock::time_point deadline)
{
    for (;;) {
        int timeout_ms = -1;
        if (deadline != vxs_no_deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - vxs_clock::now()).count();
            timeout_ms = static_cast<int>(std::clamp<long long>(left + 1, 0, INT_MAX));  // never wake early
        }
        pollfd waiting{fd, events, 0};
        const int ready = poll(&waiting, 1, timeout_ms);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready != 0)
            return ready > 0 ? 1 : -1;
        if (vxs_clock::now() >= deadline)
            return 0;
    }
}

// Writes all `size` bytes to the stream socket `fd`, by `deadline` when one is given: a peer that
// reads nothing must not hold the writer once the socket's buffer is full. 0, or -1 when the
// connection failed or the deadline passed (part of the bytes may be out; no SIGPIPE: the peer may be
// gone).
inline int vxs_write_all(int fd, const void *data, size_t size, vxs_clock::time_point deadline = vxs_no_deadline)
{
    const bool timed = deadline != vxs_no_deadline;
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL | (timed ? MSG_DONTWAIT : 0));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && timed && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (vxs_wait(fd, POLLOUT, deadline) <= 0)
                return -1;
            continue;
        }
        if (n <= 0)
            return -1;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Reads exactly `size` bytes. With `pause_ms` >= 0, no piece may take longer than that to come after
// the last one; with a `deadline`, the last piece must have come by then. 0, or -1 at end of stream,
// on an error, when the peer paused too long or at the deadline.
inline int vxs_read_all(int fd, void *data, size_t size, int pause_ms = -1,
                        vxs_clock::time_point deadline = vxs_no_deadline)
{
    const bool waits = pause_ms >= 0 || deadline != vxs_no_deadline;
    char *p = static_cast<char *>(data);
    while (size > 0) {
        if (waits) {
            const auto piece =
                pause_ms >= 0 ? std::min(deadline, vxs_clock::now() + std::chrono::milliseconds(pause_ms)) : deadline;
            if (vxs_wait(fd, POLLIN, piece) <= 0)
                return -1;
        }
        ssize_t n = read(fd, p, size);
        if (n < 0 && (errno == EINTR || (errno == EAGAIN && waits)))
            continue;
        if (n <= 0)
            return -1;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Writes one whole frame (by `deadline` when one is given). 0, or -1 for a bad length, a failed
// connection or a passed deadline (part of the frame may then have gone out: the connection is no
// longer usable).
inline int vxs_write_frame(int fd, uint32_t sequence, int32_t code, uint32_t flags, const void *payload,
                           int32_t length, vxs_clock::time_point deadline = vxs_no_deadline)
{
    if (length < 0 || length > VXS_MAX_PAYLOAD || (length > 0 && payload == nullptr))
        return -1;
    vxs_header header = vxs_make_header(sequence, code, flags, length);
    if (vxs_write_all(fd, &header, sizeof header, deadline) != 0)
        return -1;
    return length > 0 ? vxs_write_all(fd, payload, static_cast<size_t>(length), deadline) : 0;
}

// Reads one whole frame into `header` and `payload` (resized to the payload length). 0, or -1 at end
// of stream, on an error, or for a garbled header.
inline int vxs_read_frame(int fd, vxs_header *header, std::vector<unsigned char> *payload)
{
    if (vxs_read_all(fd, header, sizeof *header) != 0 || !vxs_header_valid(*header))
        return -1;
    payload->resize(static_cast<size_t>(header->length));
    return header->length > 0 ? vxs_read_all(fd, payload->data(), payload->size()) : 0;
}
