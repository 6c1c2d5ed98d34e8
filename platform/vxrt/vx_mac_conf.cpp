#include "vxrt/vx_mac_conf.h"
#include "vxrt/vx_path.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {
// Longest text the file may hold: the paired form, a line end and some trailing white space.
constexpr size_t max_file_text = 64;

// The bare digits of `text`, upper-case, into `digits`; false unless it is exactly one address in
// either form with nothing but white space after it.
bool parse_mac(const char *text, char *digits)
{
    int count = 0;
    int separators = 0;
    char separator = 0;
    const char *at = text;
    for (; *at != '\0' && !isspace(static_cast<unsigned char>(*at)); ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (isxdigit(c)) {
            if (count == VX_MAC_DIGITS)
                return false;
            digits[count++] = static_cast<char>(toupper(c));
            continue;
        }
        // A separator stands only between two pairs, and it is the same one throughout.
        if ((c != ':' && c != '-') || count % 2 != 0 || count == 0 || count == VX_MAC_DIGITS)
            return false;
        if (separator != 0 && separator != static_cast<char>(c))
            return false;
        separator = static_cast<char>(c);
        ++separators;
        if (!isxdigit(static_cast<unsigned char>(at[1])))
            return false;
    }
    for (; *at != '\0'; ++at)
        if (!isspace(static_cast<unsigned char>(*at)))
            return false;
    digits[count] = '\0';
    return count == VX_MAC_DIGITS && (separators == 0 || separators == VX_MAC_DIGITS / 2 - 1);
}
}  // namespace

int read_mac_conf(char *buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return -1;
    buffer[0] = '\0';
    if (size < VX_MAC_DIGITS + 1)
        return -1;
    FILE *file = fopen(vx_path(VX_MAC_CONF_FILE).c_str(), "re");
    if (file == nullptr)
        return -1;
    char text[max_file_text + 1] = {};
    const size_t length = fread(text, 1, max_file_text + 1, file);
    fclose(file);
    char digits[VX_MAC_DIGITS + 1];
    if (length > max_file_text || memchr(text, '\0', length) != nullptr || !parse_mac(text, digits))
        return -1;
    memcpy(buffer, digits, sizeof digits);
    return 0;
}
