// Spawns a program the way a web server starts a CGI request process, many times, and reports the
// median and 95th-percentile wall time per request and the peak resident memory of the children.
//
//   spawn-driver RUNS [--env NAME=VALUE]... [--stdin FILE] -- PROGRAM [ARGS...]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s RUNS [--env NAME=VALUE]... [--stdin FILE] -- PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    int runs = atoi(argv[1]);
    std::vector<std::string> env;
    const char *input = "/dev/null";
    int i = 2;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (strcmp(argv[i], "--env") == 0 && i + 1 < argc)
            env.push_back(argv[++i]);
        else if (strcmp(argv[i], "--stdin") == 0 && i + 1 < argc)
            input = argv[++i];
    }
    if (i + 1 >= argc || runs <= 0)
        return 2;
    char **program = argv + i + 1;
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<double> times;
    long peak_kib = 0;
    for (int run = 0; run < runs; ++run) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        auto start = std::chrono::steady_clock::now();
        pid_t pid;
        if (posix_spawn(&pid, program[0], &actions, nullptr, program, envp.data()) != 0) {
            perror("posix_spawn");
            return 1;
        }
        int status;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        auto end = std::chrono::steady_clock::now();
        posix_spawn_file_actions_destroy(&actions);
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        peak_kib = std::max(peak_kib, usage.ru_maxrss);
    }
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2];
    double p95 = times[std::min(times.size() - 1, times.size() * 95 / 100)];
    printf("runs %d median_us %.0f p95_us %.0f peak_rss_kib %ld\n", runs, median, p95, peak_kib);
    return 0;
}
