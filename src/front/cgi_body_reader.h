// The request body as the multipart parser reads it: cgiIn taken in large blocks, never beyond
// cgiContentLength bytes, so that the scan for a delimiter is a memchr over memory instead of one
// locked getc per byte. A body shorter than declared ends in a short read, not an error.
#pragma once

#include <cstddef>

// The largest block asked of cgiIn at once, and the size used unless a test lowers it.
constexpr size_t body_block_max = 64 * 1024;

// Bytes asked of cgiIn per read, 1 to body_block_max. Tests lower it to place block edges inside
// delimiters and line ends; the result of a parse never depends on it.
extern size_t body_block_size;

// Held bytes a caller may ask for at once (body_fill's `want`): a whole delimiter fits.
constexpr size_t body_want_max = 1024;

struct body_reader {
    unsigned char *data;  // the held bytes are data[start, end)
    size_t start;
    size_t end;
    long long taken;  // bytes taken from cgiIn so far
    bool ended;       // cgiIn gave all it will give: its end, an error or cgiContentLength bytes
};

// Starts reading the body on cgiIn afresh; one reader at a time (the buffer is process-wide).
void body_start(body_reader &r);

// Reads blocks until at least `want` (at most body_want_max) bytes are held or the body has ended;
// returns the count held. Held bytes do not move while no fill is made.
size_t body_fill(body_reader &r, size_t want);

// Reads up to `length` bytes; returns the count read.
size_t body_read(body_reader &r, unsigned char *out, size_t length);

// The next byte, or -1 at the end of the body.
inline int body_getc(body_reader &r)
{
    if (r.start == r.end && body_fill(r, 1) == 0)
        return -1;
    return r.data[r.start++];
}

// Gives back the last `length` bytes read, so that the next reads return them again, in their order.
// Only bytes of the latest read call: an earlier fill may have dropped older ones.
inline void body_unread(body_reader &r, size_t length)
{
    r.start -= length <= r.start ? length : r.start;
}
