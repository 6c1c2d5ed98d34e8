#include "link/web_request.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

int web_parse_int(const char *text, long long min, long long max, int *out)
{
    if (text == nullptr || out == nullptr)
        return -1;
    const char *digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (!isdigit(static_cast<unsigned char>(*digits)))
        return -1;
    errno = 0;
    char *end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || value < min || value > max || value < INT32_MIN || value > INT32_MAX)
        return -1;
    *out = static_cast<int>(value);
    return 0;
}
