#include "vxrt/vx_spawn.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char **environ;

int vx_spawn_wait(const char *const argv[])
{
    if (argv == nullptr || argv[0] == nullptr)
        return -1;
    pid_t pid = 0;
    // posix_spawn takes char *const[] for historical reasons; it never writes through them.
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char *const *>(argv), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
