#include "support/cgi_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

test_root::test_root()
{
    char dir[] = "/tmp/nvr-test-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        abort();
    root_ = dir;
    for (const char *sub : {"/tmp", "/mnt/nand/app", "/mnt/nand2", "/var/run"})
        std::filesystem::create_directories(root_ + sub);
}

test_root::~test_root()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

namespace {
struct process_io {
    std::vector<std::string> argv;
    std::vector<std::string> env;
    std::string input;
    bool close_stdin = true;
    int timeout_ms = 20000;
};

void set_nonblocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

cgi_result run_process(const process_io &io)
{
    cgi_result result;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        return result;

    std::vector<char *> argv, envp;
    for (const std::string &a : io.argv)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : io.env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        signal(SIGPIPE, SIG_DFL);
        exec_program(argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    set_nonblocking(in[1]);
    set_nonblocking(out[0]);
    set_nonblocking(err[0]);

    size_t written = 0;
    int in_fd = in[1];
    if (io.input.empty() && io.close_stdin) {
        close(in_fd);
        in_fd = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(io.timeout_ms);
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{out_open ? out[0] : -1, POLLIN, 0},
                         {err_open ? err[0] : -1, POLLIN, 0},
                         {(in_fd >= 0 && written < io.input.size()) ? in_fd : -1, POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        char buffer[65536];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            else if (n == 0 || errno != EAGAIN)
                (i == 0 ? out_open : err_open) = false;
        }
        if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in_fd, io.input.data() + written, io.input.size() - written);
            if (n > 0)
                written += static_cast<size_t>(n);
            if (n < 0 && errno != EAGAIN)
                written = io.input.size();  // the reader has gone (EPIPE): stop writing
            if (written == io.input.size() && io.close_stdin) {
                close(in_fd);
                in_fd = -1;
            }
        }
    }
    if (in_fd >= 0)
        close(in_fd);
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

struct sigpipe_ignored {
    sigpipe_ignored() { signal(SIGPIPE, SIG_IGN); }
} g_sigpipe_ignored;

// The emulator's words, read before main so that exec_program, called in the child of a fork of a
// threaded test, needs no allocation. NVR_TEST_EMULATOR (a full path and its options, "" for none)
// overrides the build's emulator.
struct emulator_command {
    std::vector<std::string> words;
    emulator_command()
    {
        const char *command = getenv("NVR_TEST_EMULATOR");
#ifdef NVR_TEST_EMULATOR_DEFAULT
        if (command == nullptr)
            command = NVR_TEST_EMULATOR_DEFAULT;
#endif
        std::istringstream in(command != nullptr ? command : "");
        for (std::string word; in >> word;)
            words.push_back(word);
    }
} g_emulator;
}  // namespace

void exec_program(char *const argv[], char *const envp[])
{
    execve(argv[0], argv, envp);
    if (errno != ENOEXEC || g_emulator.words.empty())
        return;
    char *emulated[64];
    size_t count = 0;
    while (argv[count] != nullptr)
        ++count;
    if (g_emulator.words.size() + count + 1 > std::size(emulated)) {
        errno = E2BIG;
        return;
    }
    size_t n = 0;
    for (const std::string &word : g_emulator.words)
        emulated[n++] = const_cast<char *>(word.c_str());
    for (size_t i = 0; i <= count; ++i)
        emulated[n++] = argv[i];
    execve(emulated[0], emulated, envp);
}

std::string test_emulator_command()
{
    std::string command;
    for (const std::string &word : g_emulator.words)
        command += (command.empty() ? "" : " ") + word;
    return command;
}

cgi_result run_cgi(const test_root &root, const cgi_request &request)
{
    process_io io;
    io.argv = {request.program};
    io.env = {"VX_ROOT=" + root.path(),
              "PATH=/usr/bin:/bin",
              "GATEWAY_INTERFACE=CGI/1.1",
              "REQUEST_METHOD=" + request.method,
              "PATH_INFO=" + request.path_info,
              "QUERY_STRING=" + request.query,
              "REMOTE_ADDR=127.0.0.1"};
    if (!request.content_type.empty())
        io.env.push_back("CONTENT_TYPE=" + request.content_type);
    if (request.content_length)
        io.env.push_back("CONTENT_LENGTH=" + *request.content_length);
    else if (!request.body.empty())
        io.env.push_back("CONTENT_LENGTH=" + std::to_string(request.body.size()));
    // A variable the request gives replaces the runner's own (REMOTE_ADDR of another client).
    for (const auto &[name, value] : request.env) {
        const std::string prefix = name + "=";
        std::erase_if(io.env, [&](const std::string &e) { return e.rfind(prefix, 0) == 0; });
        io.env.push_back(prefix + value);
    }
    for (const char *keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "VX_IPC_TIMEOUT_MS"}) {
        const char *value = getenv(keep);
        bool given = false;
        for (const auto &[name, v] : request.env)
            given = given || name == keep;
        if (value != nullptr && !given)
            io.env.push_back(std::string(keep) + "=" + value);
    }
    io.input = request.body;
    io.close_stdin = request.close_stdin;
    io.timeout_ms = request.timeout_ms;
    return run_process(io);
}

cgi_result run_program(const test_root &root, const std::vector<std::string> &argv,
                       const std::vector<std::pair<std::string, std::string>> &env, const std::string &input,
                       int timeout_ms)
{
    process_io io;
    io.argv = argv;
    io.env = {"VX_ROOT=" + root.path(), "PATH=/usr/bin:/bin"};
    for (const auto &[name, value] : env)
        io.env.push_back(name + "=" + value);
    for (const char *keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char *value = getenv(keep))
            io.env.push_back(std::string(keep) + "=" + value);
    }
    io.input = input;
    io.timeout_ms = timeout_ms;
    return run_process(io);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

bool file_exists(const std::string &path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

void write_file(const std::string &path, const std::string &data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}
