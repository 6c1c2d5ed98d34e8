#include "vxrt/vx_spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char **environ;

int vx_spawn_wait(const char *const argv[], const char *stdout_path)
{
    if (argv == nullptr || argv[0] == nullptr)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdout_path != nullptr)
        posix_spawn_file_actions_addopen(&actions, 1, stdout_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    fflush(stdout);  // the child may share our standard output: keep the response in order
    pid_t pid = 0;
    // posix_spawnp takes char *const[] for historical reasons; it never writes through them.
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int vx_system(const char *command)
{
    if (command == nullptr)
        return -1;
    fflush(stdout);
    return system(command);
}
