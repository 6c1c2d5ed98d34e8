// URL coding and the bounded text copy of the platform (vxrt/vx_text.h) on arbitrary text.
//
// Input: byte 0 chooses the output size (1 to 256) for the cut cases; the rest is the text. Besides
// the sanitizers: decoding an encoded text gives it back (texts end at their first zero byte); both
// coders agree exactly with a plain reading; an output that does not fit is the longest prefix of
// the whole one that ends between coded characters, terminated, with nothing written past the size
// and -1 returned; vx_copy_text copies the field up to its zero byte, cut, and zero-fills the rest.
#include "vxrt/vx_text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_url_text: %s\n", what);
    abort();
}

// The coded pieces of a text, one per source character.
std::vector<std::string> ref_encode(const std::string &text)
{
    std::vector<std::string> pieces;
    for (unsigned char c : text) {
        if (isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            pieces.emplace_back(1, static_cast<char>(c));
        } else {
            char escape[4];
            snprintf(escape, sizeof escape, "%%%02X", c);
            pieces.emplace_back(escape);
        }
    }
    return pieces;
}

int hex(char c)
{
    const char *digits = "0123456789abcdef";
    const char *at = c != '\0' ? strchr(digits, tolower(static_cast<unsigned char>(c))) : nullptr;
    return at != nullptr ? static_cast<int>(at - digits) : -1;
}

// The decoded characters, up to a decoded zero byte.
std::string ref_decode(const std::string &text)
{
    std::string out;
    for (size_t p = 0; p < text.size(); ++p) {
        char c = text[p];
        if (c == '%' && p + 2 < text.size() && hex(text[p + 1]) >= 0 && hex(text[p + 2]) >= 0) {
            c = static_cast<char>(hex(text[p + 1]) * 16 + hex(text[p + 2]));
            p += 2;
        }
        if (c == '\0')
            break;
        out += c;
    }
    return out;
}

// Writes with `size`, checks the guard bytes after it, and returns the text written.
template <typename F> std::string bounded(size_t size, int *result, F write)
{
    std::vector<char> out(size + 16, '\x7e');
    *result = write(out.data(), size);
    for (size_t i = size; i < out.size(); ++i) {
        if (out[i] != '\x7e')
            fail("an output was written past its size");
    }
    if (memchr(out.data(), '\0', size) == nullptr)
        fail("an output was left unterminated");
    return std::string(out.data());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t cut = static_cast<size_t>(data[0]) + 1;
    const std::string input(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::string text(input.c_str());

    const std::vector<std::string> pieces = ref_encode(text);
    std::string whole;
    for (const std::string &piece : pieces)
        whole += piece;
    int result = 0;
    const std::string encoded = bounded(whole.size() + 1, &result, [&](char *out, size_t n) {
        return get_url_encode(text.c_str(), out, n);
    });
    if (result != 0 || encoded != whole)
        fail("get_url_encode disagrees with the plain encoding");
    const std::string decoded = bounded(text.size() + 1, &result, [&](char *out, size_t n) {
        return get_url_decode(encoded.c_str(), out, n);
    });
    if (result != 0 || decoded != text)
        fail("decoding the encoded text did not give it back");

    std::string prefix;
    for (const std::string &piece : pieces) {
        if (prefix.size() + piece.size() > cut - 1)
            break;
        prefix += piece;
    }
    const std::string cut_encoded = bounded(cut, &result, [&](char *out, size_t n) {
        return get_url_encode(text.c_str(), out, n);
    });
    if (cut_encoded != prefix || (result == 0) != (prefix == whole))
        fail("a cut encoding is not the longest whole-escape prefix");

    const std::string want = ref_decode(text);
    const std::string full = bounded(text.size() + 1, &result, [&](char *out, size_t n) {
        return get_url_decode(text.c_str(), out, n);
    });
    if (result != 0 || full != want)
        fail("get_url_decode disagrees with the plain decoding");
    const std::string cut_decoded = bounded(cut, &result, [&](char *out, size_t n) {
        return get_url_decode(text.c_str(), out, n);
    });
    if (cut_decoded != want.substr(0, cut - 1) || (result == 0) != (want.size() <= cut - 1))
        fail("a cut decoding is not the decoded prefix");

    // The input as a fixed field that may lack its zero byte.
    std::vector<char> copy(cut + 16, '\x7e');
    const size_t copied = vx_copy_text(copy.data(), cut, input.data(), input.size());
    const std::string field = input.substr(0, strnlen(input.data(), input.size())).substr(0, cut - 1);
    if (copied != field.size() || std::string(copy.data(), copied) != field)
        fail("vx_copy_text copied something else");
    for (size_t i = copied; i < copy.size(); ++i) {
        if (copy[i] != (i < cut ? '\0' : '\x7e'))
            fail("vx_copy_text did not zero-fill its output, or wrote past it");
    }
    return 0;
}
