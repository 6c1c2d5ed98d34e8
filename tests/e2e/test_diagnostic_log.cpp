// The process services through the test CGI program: the diagnostic log lines of cgi_log and the
// results of web_system.
#include "support/cgi_runner.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {
const std::string text_header = "Content-type: text/plain\r\n\r\n";
const std::string log_file = "/mnt/nand/cgi_log.txt";

cgi_result write_log(const test_root &root, const std::string &data)
{
    cgi_request request;
    request.program = NVR_TEST_CGI;
    request.path_info = "/logt";
    request.query = data;
    request.env = {{"TZ", "UTC"}};
    return run_cgi(root, request);
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// One parsed line "[kelp debug] YYYY-MM-DD hh:mm:ss  diag_table:<line> in log_lines: <message>".
struct log_entry {
    time_t when = 0;
    int line = 0;
    std::string message;
};

bool parse_log_line(const std::string &text, log_entry &entry)
{
    static const std::regex head(R"(\[kelp debug\] (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)  diag_table:(\d+) in log_lines: )");
    std::smatch m;
    if (!std::regex_search(text, m, head, std::regex_constants::match_continuous))
        return false;
    struct tm t {};
    if (strptime(m.str(1).c_str(), "%Y-%m-%d %H:%M:%S", &t) == nullptr)
        return false;
    entry.when = timegm(&t);
    entry.line = std::stoi(m.str(2));
    entry.message = m.suffix();
    return true;
}

// The handler's answer names the source line it logged from.
int reported_line(const std::string &out)
{
    const std::string lead = text_header + "line:";
    if (out.compare(0, lead.size(), lead) != 0)
        return -1;
    return std::stoi(out.substr(lead.size()));
}
}  // namespace

// Lines are appended to what earlier requests left.
TEST(DiagnosticLog, LineCarriesTimeUnitLineRoutineAndMessageVerbatim)
{
    test_root root;
    write_file(root.file(log_file), "earlier line\n");
    time_t before = time(nullptr);
    cgi_result r = write_log(root, "2:tag %s%n%%");
    time_t after = time(nullptr);
    ASSERT_EQ(r.exit_status, 0);
    int line = reported_line(r.out);
    ASSERT_GT(line, 0) << r.out;
    EXPECT_EQ(r.out, text_header + "line:" + std::to_string(line) + " failed:0");
    ASSERT_EQ(write_log(root, "1:second").exit_status, 0);

    std::string log = read_file(root.file(log_file));
    ASSERT_EQ(log.back(), '\n');
    std::vector<std::string> lines = lines_of(log);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "earlier line");
    for (int i = 0; i < 3; ++i) {
        log_entry e;
        ASSERT_TRUE(parse_log_line(lines[i + 1], e)) << lines[i + 1];
        EXPECT_GE(e.when, before);
        EXPECT_EQ(e.line, line);
        if (i < 2) {
            EXPECT_LE(e.when, after);
            EXPECT_EQ(e.message, "tag %s%n%% " + std::to_string(i));
        } else {
            EXPECT_EQ(e.message, "second 0");
        }
    }
}

// A message too long for the line buffer is cut, but the line still ends where it should, so the
// next line starts on a line of its own.
TEST(DiagnosticLog, OverlongMessageIsCutToWholeLine)
{
    test_root root;
    cgi_result r = write_log(root, "2:long");
    ASSERT_EQ(r.exit_status, 0);
    std::string log = read_file(root.file(log_file));
    ASSERT_EQ(log.size(), 2u * 2047u);
    std::vector<std::string> lines = lines_of(log);
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string &line : lines) {
        log_entry e;
        ASSERT_TRUE(parse_log_line(line, e));
        EXPECT_EQ(e.message, std::string(e.message.size(), 'x'));
    }
}

TEST(DiagnosticLog, UnwritableLogReportsFailure)
{
    test_root root;
    std::filesystem::remove_all(root.file("/mnt/nand"));
    cgi_result r = write_log(root, "3:lost");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_NE(r.out.find("failed:3"), std::string::npos) << r.out;
}

// Two request processes logging at the same time: every line arrives whole, each writer's lines in
// its own order.
TEST(DiagnosticLog, ConcurrentWritersLeaveOnlyWholeLines)
{
    test_root root;
    const int count = 1500;
    const std::string tags[] = {std::string(900, 'A'), std::string(900, 'B')};
    cgi_result results[2];
    std::thread writers[2];
    for (int w = 0; w < 2; ++w)
        writers[w] = std::thread([&, w] { results[w] = write_log(root, std::to_string(count) + ":" + tags[w]); });
    for (std::thread &t : writers)
        t.join();
    for (const cgi_result &r : results)
        ASSERT_NE(r.out.find("failed:0"), std::string::npos) << r.out;

    std::string log = read_file(root.file(log_file));
    ASSERT_EQ(log.back(), '\n');
    std::map<std::string, int> next;
    int total = 0;
    for (const std::string &line : lines_of(log)) {
        log_entry e;
        ASSERT_TRUE(parse_log_line(line, e)) << line.substr(0, 120);
        const std::string &message = e.message;
        size_t space = message.rfind(' ');
        ASSERT_NE(space, std::string::npos);
        std::string tag = message.substr(0, space);
        ASSERT_TRUE(tag == tags[0] || tag == tags[1]) << message.substr(0, 120);
        EXPECT_EQ(std::stoi(message.substr(space + 1)), next[tag]++);
        ++total;
    }
    EXPECT_EQ(total, 2 * count);
}

// The command's output shares the response stream: what the handler wrote before stays before it.
TEST(WebSystem, ResultFollowsTheCommandsExitStatus)
{
    test_root root;
    const std::pair<std::string, std::string> cases[] = {
        {"exit0", "before\nresult:0"},  {"exit1", "before\nresult:-1"},   {"exit7", "before\nresult:-1"},
        {"signal", "before\nresult:-1"}, {"missing", "before\nresult:-1"}, {"echo", "before\nfrom-shell\nresult:0"},
    };
    for (const auto &[command, answer] : cases) {
        cgi_request request;
        request.program = NVR_TEST_CGI;
        request.path_info = "/wsys";
        request.query = command;
        cgi_result r = run_cgi(root, request);
        EXPECT_EQ(r.exit_status, 0) << command;
        EXPECT_EQ(r.out, text_header + answer) << command;
    }
}
