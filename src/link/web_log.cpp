#include "link/web_log.h"
#include "vxrt/vx_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace {
constexpr const char *cgi_log_path = "/mnt/nand/cgi_log.txt";
constexpr int cgi_log_line_size = 2048;
}

int cgi_log(const char *unit, int line, const char *routine, const char *format, ...)
{
    char message[cgi_log_line_size] = {};
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        vsnprintf(message, sizeof message, format, args);
        va_end(args);
    }

    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char when[64];
    snprintf(when, sizeof when, "%4d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);

    char text[cgi_log_line_size];
    int length = snprintf(text, sizeof text, "[kelp debug] %s  %s:%d in %s: %s\n", when,
                          unit ? unit : "", line, routine ? routine : "", message);
    if (length < 0)
        return -1;
    if (length >= static_cast<int>(sizeof text)) {
        // Cut to the buffer, but keep the line ending: a line without one would swallow the next.
        length = sizeof text - 1;
        text[length - 1] = '\n';
    }

    // O_APPEND and one write() per line: lines of concurrent processes stay whole.
    int fd = open(vx_path(cgi_log_path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    ssize_t written = write(fd, text, static_cast<size_t>(length));
    close(fd);
    return written == length ? 0 : -1;
}
