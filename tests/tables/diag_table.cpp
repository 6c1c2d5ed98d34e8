// Test resources for the process services, linked only into the test CGI program.
//
// "/logt" writes diagnostic lines with cgi_log; its data is "<count>:<tag>" and each line's message is
// "<tag> <sequence>" (the tag "long" stands for a 3000-character message). The answer names the source
// line of the call and the number of failed calls, so a test can predict every byte of the log.
//
// "/wsys" runs one of a few fixed commands through web_system, chosen by name, and answers the result.
// Request text never reaches the shell: it only selects a row of the table.
#include "front/dispatchreq.h"
#include "link/web_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {
constexpr const char *log_unit = "diag_table";
constexpr const char *log_routine = "log_lines";

void log_lines(const char *data)
{
    int count = 0;
    char tag[1024] = "";
    if (sscanf(data, "%d:%1023[^\n]", &count, tag) != 2)
        return;
    std::string message = strcmp(tag, "long") == 0 ? std::string(3000, 'x') : std::string(tag);
    const int line = __LINE__;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        // Request text goes in as an argument only: a '%' in the tag must reach the log as it is.
        if (cgi_log(log_unit, line, log_routine, "%s %d", message.c_str(), i) != 0)
            ++failed;
    }
    printf("Content-type: text/plain\r\n\r\nline:%d failed:%d", line, failed);
}

struct shell_case {
    const char *name;
    const char *command;
};

const shell_case shell_cases[] = {
    {"exit0", "exit 0"},
    {"exit1", "exit 1"},
    {"exit7", "exit 7"},
    {"signal", "kill -9 $$"},
    {"missing", "/nonexistent/command"},
    {"echo", "echo from-shell"},
};

void run_shell(const char *data)
{
    for (const shell_case &c : shell_cases) {
        if (strcmp(data, c.name) != 0)
            continue;
        printf("Content-type: text/plain\r\n\r\nbefore\n");
        int result = web_system(c.command);
        printf("result:%d", result);
        return;
    }
}

const web_res diag_res[] = {
    {"/logt", log_lines},
    {"/wsys", run_shell},
};

struct diag_registration {
    diag_registration() { WebResRegister(diag_res, static_cast<int>(std::size(diag_res))); }
    ~diag_registration() { WebResUnregister(diag_res, static_cast<int>(std::size(diag_res))); }
};

__attribute__((init_priority(150))) diag_registration g_diag_registration;
}  // namespace
