#include "vxrt/vx_text.h"

#include <cstring>

namespace {
bool is_unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
}  // namespace

int get_url_encode(const char *text, char *out, size_t size)
{
    if (text == nullptr || out == nullptr || size == 0)
        return -1;
    static const char digits[] = "0123456789ABCDEF";
    size_t used = 0;
    for (; *text != '\0'; ++text) {
        const auto c = static_cast<unsigned char>(*text);
        const size_t width = is_unreserved(c) ? 1 : 3;
        if (used + width > size - 1) {
            out[used] = '\0';
            return -1;
        }
        if (width == 1) {
            out[used++] = static_cast<char>(c);
        } else {
            out[used++] = '%';
            out[used++] = digits[c >> 4];
            out[used++] = digits[c & 0x0F];
        }
    }
    out[used] = '\0';
    return 0;
}

int get_url_decode(const char *text, char *out, size_t size)
{
    if (text == nullptr || out == nullptr || size == 0)
        return -1;
    size_t used = 0;
    while (*text != '\0') {
        char c = *text;
        size_t consumed = 1;
        if (c == '%') {
            const int high = hex_value(text[1]);
            const int low = high < 0 ? -1 : hex_value(text[2]);
            if (low >= 0) {
                c = static_cast<char>(high * 16 + low);
                consumed = 3;
            }
        }
        if (c == '\0')
            break;
        if (used + 1 > size - 1) {
            out[used] = '\0';
            return -1;
        }
        out[used++] = c;
        text += consumed;
    }
    out[used] = '\0';
    return 0;
}

size_t vx_copy_text(char *out, size_t size, const char *field, size_t field_size)
{
    if (out == nullptr || size == 0)
        return 0;
    size_t length = field == nullptr ? 0 : strnlen(field, field_size);
    if (length > size - 1)
        length = size - 1;
    if (length > 0)
        memcpy(out, field, length);
    memset(out + length, 0, size - length);
    return length;
}
