#include "link/web_log.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

int web_system(const char *command)
{
    if (command == nullptr)
        return -1;
    fflush(stdout);  // the child shares our standard output: keep the response in order
    int status = system(command);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return 0;
}
