// Spawns a program the way a web server starts a CGI request process, many times, and reports the
// median and 95th-percentile wall time per request and the peak resident memory of the children.
//
//   spawn-driver RUNS [--env NAME=VALUE]... [--stdin FILE] [--out FILE] [--remove PATH]
//                [--rss-runs N] [--times FILE] -- PROGRAM [ARGS...]
//
// --out keeps the answer of the first request (the others go to /dev/null) so the caller can check
// the route did what it should; --remove deletes PATH after every request, outside the timing;
// --times appends each request's time in microseconds to FILE, one a line, so that a caller can run
// the routes in turns and take the percentiles over all turns (a busy machine then weighs on every
// route alike).
//
// Memory: ru_maxrss of a child started with posix_spawn is not the child's own: the kernel records
// the high-water mark of the address space the child leaves at exec, and a vfork-style spawn leaves
// the parent's. So the peak is read separately, over --rss-runs further requests (default 20): each
// child is traced, stopped at its exit before its memory is released, and VmHWM is read from
// /proc/<pid>/status. Those requests are not timed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
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

namespace {
long vm_hwm_kib(pid_t pid)
{
    char name[64];
    snprintf(name, sizeof name, "/proc/%d/status", static_cast<int>(pid));
    FILE *file = fopen(name, "r");
    if (file == nullptr)
        return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, file) != nullptr) {
        if (strncmp(line, "VmHWM:", 6) == 0)
            kib = strtol(line + 6, nullptr, 10);
    }
    fclose(file);
    return kib;
}

// Runs the program once under ptrace and returns its VmHWM at exit, -1 when it could not be read.
long traced_peak_kib(char **program, char **envp, const char *input)
{
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int in = open(input, O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execve(program[0], program, envp);
        _exit(127);
    }
    int status;
    long peak = -1;
    // The first stop is the SIGTRAP after exec.
    if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status))
        return -1;
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void *>(PTRACE_O_TRACEEXIT));
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    while (waitpid(pid, &status, 0) == pid) {
        if (WIFEXITED(status) || WIFSIGNALED(status))
            break;
        if (WIFSTOPPED(status)) {
            int signal = 0;
            if ((status >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8)))
                peak = vm_hwm_kib(pid);
            else if (WSTOPSIG(status) != SIGTRAP)
                signal = WSTOPSIG(status);
            ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void *>(static_cast<long>(signal)));
        }
    }
    return peak;
}
}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr,
                "usage: %s RUNS [--env NAME=VALUE]... [--stdin FILE] [--out FILE] [--remove PATH]"
                " [--rss-runs N] [--times FILE] -- PROGRAM [ARGS...]\n",
                argv[0]);
        return 2;
    }
    int runs = atoi(argv[1]);
    int rss_runs = 20;
    std::vector<std::string> env;
    const char *input = "/dev/null";
    const char *first_output = nullptr;
    const char *remove_after = nullptr;
    const char *times_file = nullptr;
    int i = 2;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (strcmp(argv[i], "--env") == 0 && i + 1 < argc)
            env.push_back(argv[++i]);
        else if (strcmp(argv[i], "--stdin") == 0 && i + 1 < argc)
            input = argv[++i];
        else if (strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            first_output = argv[++i];
        else if (strcmp(argv[i], "--remove") == 0 && i + 1 < argc)
            remove_after = argv[++i];
        else if (strcmp(argv[i], "--rss-runs") == 0 && i + 1 < argc)
            rss_runs = atoi(argv[++i]);
        else if (strcmp(argv[i], "--times") == 0 && i + 1 < argc)
            times_file = argv[++i];
        else {
            fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (i + 1 >= argc || runs <= 0)
        return 2;
    char **program = argv + i + 1;
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<double> times;
    long spawn_maxrss_kib = 0;
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
        const char *output = run == 0 && first_output != nullptr ? first_output : "/dev/null";
        posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            ++failures;
        if (remove_after != nullptr)
            unlink(remove_after);
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        spawn_maxrss_kib = std::max(spawn_maxrss_kib, usage.ru_maxrss);
    }
    long peak_kib = -1;
    for (int run = 0; run < rss_runs; ++run) {
        peak_kib = std::max(peak_kib, traced_peak_kib(program, envp.data(), input));
        if (remove_after != nullptr)
            unlink(remove_after);
    }
    if (times_file != nullptr) {
        FILE *file = fopen(times_file, "a");
        if (file == nullptr) {
            perror(times_file);
            return 1;
        }
        for (double t : times)
            fprintf(file, "%.0f\n", t);
        fclose(file);
    }
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2];
    double p95 = times[std::min(times.size() - 1, times.size() * 95 / 100)];
    printf("runs %d median_us %.0f p95_us %.0f peak_rss_kib %ld spawn_maxrss_kib %ld failures %d\n",
           runs, median, p95, peak_kib, spawn_maxrss_kib, failures);
    return 0;
}
