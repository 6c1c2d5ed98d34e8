// Blocks of the request body for the multipart parser.
#include "front/cgi_body_reader.h"

#include "front/cgic.h"

#include <cstdio>
#include <cstring>

size_t body_block_size = body_block_max;

namespace {
// Room for a whole block behind the bytes a caller still holds.
unsigned char buffer[body_block_max + body_want_max];
}  // namespace

void body_start(body_reader &r)
{
    r = body_reader{};
    r.data = buffer;
    r.ended = cgiContentLength <= 0;
}

size_t body_fill(body_reader &r, size_t want)
{
    if (want > body_want_max)
        want = body_want_max;
    while (r.end - r.start < want && !r.ended) {
        // What is held moves to the front; fewer than `want` bytes, so a whole block fits behind.
        if (r.start > 0) {
            memmove(r.data, r.data + r.start, r.end - r.start);
            r.end -= r.start;
            r.start = 0;
        }
        size_t ask = body_block_size < 1 ? 1 : body_block_size > body_block_max ? body_block_max : body_block_size;
        long long left = cgiContentLength - r.taken;
        if (static_cast<long long>(ask) > left)
            ask = static_cast<size_t>(left);
        size_t got = fread(r.data + r.end, 1, ask, cgiIn);
        r.end += got;
        r.taken += static_cast<long long>(got);
        r.ended = got < ask || r.taken >= cgiContentLength;
    }
    return r.end - r.start;
}

size_t body_read(body_reader &r, unsigned char *out, size_t length)
{
    size_t held = body_fill(r, length);
    size_t count = held < length ? held : length;
    memcpy(out, r.data + r.start, count);
    r.start += count;
    return count;
}
