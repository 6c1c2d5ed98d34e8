// Text helpers of the platform: URL coding of values the pages exchange, and bounded copies of text
// fields that may lack their terminating zero.
//
// Every writer here takes the size of its output buffer, never writes past it and always leaves the
// output terminated (for a size of at least 1). An output that does not fit is cut between whole
// characters of the coded form: an escape is never split.
#pragma once

#include <cstddef>

// Percent-encodes `text`: letters, digits and "-._~" stay, every other byte becomes "%XX" (upper-case
// hex). 0 when the whole text was encoded; -1 when an argument is null, `size` is 0 or the output
// was cut (it then holds what fitted).
int get_url_encode(const char *text, char *out, size_t size);

// Decodes "%XX" escapes (either case of hex digit); a '%' not followed by two hex digits is kept as
// it is, and '+' stays '+'. A decoded zero byte ends the text. 0 when the whole text was decoded; -1
// when an argument is null, `size` is 0 or the output was cut.
int get_url_decode(const char *text, char *out, size_t size);

// Copies the text of a fixed field of `field_size` bytes (read up to its first zero byte or its end)
// into `out`, cut to size - 1 characters, and zero-fills the rest of `out`. Returns the length copied.
size_t vx_copy_text(char *out, size_t size, const char *field, size_t field_size);
