#include "sim_log.h"

#include <sys/time.h>

#include <cstdarg>
#include <ctime>
#include <mutex>

namespace {
std::mutex log_lock;
FILE *log_file = nullptr;  // null: standard error
}  // namespace

int sim_log_open(const std::string &path)
{
    if (path.empty())
        return 0;
    FILE *file = fopen(path.c_str(), "ae");
    if (file == nullptr)
        return -1;
    setvbuf(file, nullptr, _IOLBF, 0);
    std::lock_guard<std::mutex> guard(log_lock);
    log_file = file;
    return 0;
}

void sim_log_close()
{
    std::lock_guard<std::mutex> guard(log_lock);
    if (log_file != nullptr)
        fclose(log_file);
    log_file = nullptr;
}

void sim_log(const char *format, ...)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    size_t n = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    snprintf(stamp + n, sizeof stamp - n, ".%03ld", static_cast<long>(now.tv_usec / 1000));

    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);

    std::lock_guard<std::mutex> guard(log_lock);
    FILE *out = log_file != nullptr ? log_file : stderr;
    fprintf(out, "%s %s\n", stamp, text);
    fflush(out);
}

std::string sim_printable(const char *text, size_t size, size_t limit)
{
    std::string out;
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        if (out.size() >= limit) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}
