#include "link/web_env.h"

#include <ctime>
#include <string>

namespace {
const char *const day_names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const month_names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The text without CR and LF: a header value can never end the header early.
std::string header_safe(const char *text)
{
    std::string safe;
    for (const char *p = text ? text : ""; *p != '\0'; ++p) {
        if (*p != '\r' && *p != '\n')
            safe += *p;
    }
    return safe;
}
}  // namespace

void cgiHeaderLocation(const char *url)
{
    fprintf(cgiOut, "Location: %s\r\n\r\n", header_safe(url).c_str());
}

void cgiHeaderCookieSetString(const char *name, const char *value, int secondsToLive, const char *path,
                              const char *domain)
{
    time_t expires = time(nullptr) + secondsToLive;
    struct tm gmt {};
    gmtime_r(&expires, &gmt);
    fprintf(cgiOut, "Set-Cookie: %s=%s; domain=%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=%s\r\n",
            header_safe(name).c_str(), header_safe(value).c_str(), header_safe(domain).c_str(),
            day_names[gmt.tm_wday], gmt.tm_mday, month_names[gmt.tm_mon], gmt.tm_year + 1900, gmt.tm_hour,
            gmt.tm_min, gmt.tm_sec, header_safe(path).c_str());
}
