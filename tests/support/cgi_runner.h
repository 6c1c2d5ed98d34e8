// Running a CGI program the way a web server does: a fresh process with a CGI environment, the body
// on a pipe to its standard input, and standard output and standard error captured byte for byte.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A private VX_ROOT with the device directories the program expects (/tmp, /mnt/nand, /mnt/nand/app,
// /mnt/nand2, /var/run); removed with everything in it when the object goes.
class test_root {
public:
    test_root();
    ~test_root();
    test_root(const test_root &) = delete;
    test_root &operator=(const test_root &) = delete;

    const std::string &path() const { return root_; }
    // The file-system path of a device path ("/tmp/x" -> "<root>/tmp/x").
    std::string file(const std::string &device_path) const { return root_ + device_path; }

private:
    std::string root_;
};

struct cgi_request {
    std::string program = NVR_CGI;
    std::string method = "GET";
    std::string path_info;
    std::string query;
    std::string content_type;
    std::string body;
    std::optional<std::string> content_length;  // unset: the body's size for a POST, none for a GET
    std::vector<std::pair<std::string, std::string>> env;  // further variables (HTTP_COOKIE, ...)
    bool close_stdin = true;  // false: the write end stays open, so a read of stdin would block
    int timeout_ms = 20000;
};

struct cgi_result {
    std::string out;
    std::string err;
    int exit_status = -1;  // 0-255, or -1 when killed by a signal
    bool timed_out = false;
};

cgi_result run_cgi(const test_root &root, const cgi_request &request);

// Runs any program of the build with arguments and the given extra environment; same capture.
cgi_result run_program(const test_root &root, const std::vector<std::string> &argv,
                       const std::vector<std::pair<std::string, std::string>> &env = {},
                       const std::string &input = "", int timeout_ms = 20000);

// execve for a test's own child processes. A cross-built test runs in an emulator (qemu user mode)
// where the kernel cannot start the build's programs by itself: a program it refuses as no executable
// of this machine is started through the build's emulator instead, while the host's own programs
// are started directly. Allocates nothing, so it may follow a fork; returns only on failure.
void exec_program(char *const argv[], char *const envp[]);

// The emulator command a cross-built test starts the build's programs with ("" on the build machine
// itself): its full path and options, as one line.
std::string test_emulator_command();

// Whole file contents ("" when missing), and whether a file exists.
std::string read_file(const std::string &path);
bool file_exists(const std::string &path);
void write_file(const std::string &path, const std::string &data);
