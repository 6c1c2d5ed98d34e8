#include "system/session.h"
#include "vxrt/vx_path.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace {
const char *const ssl_dirs[] = {"/mnt/nand/ssl", "/mnt/nand/ssl/tmp"};

// Fills `bytes` from the kernel: getrandom, or /dev/urandom on a kernel without it. (The kernel's
// device, not one of the recorder's paths: it is never placed under VX_ROOT.)
bool random_bytes(unsigned char *bytes, size_t count)
{
    size_t got = 0;
    while (got < count) {
        ssize_t n = getrandom(bytes + got, count - got, 0);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            break;
    }
    if (got == count)
        return true;
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    got = 0;
    while (got < count) {
        ssize_t n = read(fd, bytes + got, count - got);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fd);
    return got == count;
}

bool is_host_name_character(char c)
{
    return isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}
}  // namespace

int get_session_id(char *buffer)
{
    memset(buffer, 0, SESSION_ID_SIZE);
    size_t digits = 0;
    while (digits < SESSION_ID_DIGITS) {
        unsigned char bytes[SESSION_ID_DIGITS];
        if (!random_bytes(bytes, sizeof bytes)) {
            memset(buffer, 0, SESSION_ID_SIZE);
            return -1;
        }
        for (unsigned char b : bytes) {
            // 250 is the largest multiple of ten below 256: the bytes above it would favour 0 to 5.
            if (b < 250 && digits < SESSION_ID_DIGITS)
                buffer[digits++] = static_cast<char>('0' + b % 10);
        }
    }
    return 0;
}

void mail_cookie_domain(const char *host, char *domain)
{
    domain[0] = '\0';
    const size_t length = strcspn(host, ":");
    if (length >= COOKIE_DOMAIN_SIZE)
        return;
    for (size_t i = 0; i < length; ++i) {
        if (!is_host_name_character(host[i]))
            return;  // '[' of an IPv6 literal, or text that would change the cookie line
    }
    memcpy(domain, host, length);
    domain[length] = '\0';
}

void config_ssl_params()
{
    for (const char *dir : ssl_dirs)
        mkdir(vx_path(dir).c_str(), 0755);  // an existing directory is what we want
}
