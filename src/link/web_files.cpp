#include "link/web_files.h"
#include "vxrt/vx_alloc.h"
#include "vxrt/vx_path.h"
#include "vxrt/vx_spawn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

int file_lock(const char *path)
{
    if (path == nullptr)
        return -1;
    int fd = open(vx_path(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    while (lockf(fd, F_LOCK, 0) != 0) {
        if (errno != EINTR)
            break;  // the caller goes on without the lock, as with a file that cannot be opened
    }
    return fd;
}

void file_unlock(int fd)
{
    if (fd < 0)
        return;
    lockf(fd, F_ULOCK, 0);
    close(fd);
}

unsigned char *vx_get_file_data(const char *path, int *length)
{
    if (length != nullptr)
        *length = 0;
    if (path == nullptr || length == nullptr)
        return nullptr;
    int fd = open(vx_path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    unsigned char *data = nullptr;
    if (fstat(fd, &st) == 0 && st.st_size > 0 && st.st_size <= INT32_MAX)
        data = static_cast<unsigned char *>(__vx_malloc(static_cast<size_t>(st.st_size), "web_utils", __LINE__));
    size_t done = 0;
    while (data != nullptr && done < static_cast<size_t>(st.st_size)) {
        ssize_t n = read(fd, data + done, static_cast<size_t>(st.st_size) - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            __vx_free(data, "web_utils", __LINE__);
            data = nullptr;
            break;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (data != nullptr)
        *length = static_cast<int>(done);
    return data;
}

int vx_wirte_file_data(const char *path, const void *data, int length)
{
    if (path == nullptr || length < 0 || (data == nullptr && length > 0))
        return -1;
    int fd = open(vx_path(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    const auto *bytes = static_cast<const unsigned char *>(data);
    size_t done = 0;
    while (done < static_cast<size_t>(length)) {
        ssize_t n = write(fd, bytes + done, static_cast<size_t>(length) - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bool closed = close(fd) == 0;
    return closed && done == static_cast<size_t>(length) ? 0 : -1;
}

int IsFileExisted(const char *path)
{
    if (path == nullptr || path[0] == '\0')
        return -1;
    return access(vx_path(path).c_str(), F_OK) == 0 ? 0 : -1;
}

int IsDirExisted(const char *path)
{
    if (path == nullptr || path[0] == '\0')
        return -1;
    struct stat st {};
    return lstat(vx_path(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : -1;
}

int RemoveFile(const char *source, const char *target)
{
    if (source == nullptr || target == nullptr)
        return -1;
    std::string from = vx_path(source), to = vx_path(target);
    if (rename(from.c_str(), to.c_str()) == 0)
        return 0;
    if (errno != EXDEV)
        return -1;
    const char *argv[] = {"/bin/mv", from.c_str(), to.c_str(), nullptr};
    return vx_spawn_wait(argv) == 0 ? 0 : -1;
}

int DeleteFile(const char *path)
{
    if (path == nullptr)
        return -1;
    return unlink(vx_path(path).c_str()) == 0 ? 0 : -1;
}
