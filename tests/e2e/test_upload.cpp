// Multipart uploads through the real test CGI program: the request data each kind of upload path
// receives, where the uploaded file is while the handler runs and after the process has ended, and
// what is left behind when a request cannot be served.
#include "support/cgi_runner.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const std::string text_header = "Content-type: text/plain\r\n\r\n";
const std::string boundary = "----nvrFormBoundary7MA4YWxk";

// One part of a form; `disposition` is the text after "Content-Disposition: ".
struct form_part {
    std::string disposition;
    std::string content;
};

form_part field(const std::string &name, const std::string &value)
{
    return {"form-data; name=\"" + name + "\"", value};
}

form_part file_field(const std::string &client_name, const std::string &content)
{
    return {"form-data; name=\"file\"; filename=\"" + client_name + "\"", content};
}

std::string form_body(const std::vector<form_part> &parts, const std::string &mark = boundary)
{
    std::string body;
    for (const form_part &p : parts) {
        body += "--" + mark + "\r\nContent-Disposition: " + p.disposition + "\r\n";
        body += "Content-Type: application/octet-stream\r\n\r\n" + p.content + "\r\n";
    }
    return body + "--" + mark + "--\r\n";
}

cgi_request upload(const std::string &path, const std::string &query, const std::string &body)
{
    cgi_request request;
    request.program = NVR_TEST_CGI;
    request.method = "POST";
    request.path_info = path;
    request.query = query;
    request.content_type = "multipart/form-data; boundary=" + boundary;
    request.body = body;
    request.timeout_ms = 10000;
    return request;
}

// Binary content with CR LF "--" and prefixes of the boundary inside, as a real image could hold.
std::string file_content(size_t size)
{
    std::string content;
    const std::string tricky = "\r\n--" + boundary.substr(0, 9) + "\r\n-";
    for (size_t i = 0; content.size() < size; ++i)
        content += (i % 5 == 0) ? tricky : std::string(1, static_cast<char>(i * 37 % 256));
    content.resize(size);
    return content;
}

std::vector<std::string> temp_files(const test_root &root)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(root.file("/tmp")))
        names.push_back(e.path().filename().string());
    return names;
}

// "/tmp/cgic" and the six characters mkstemp chose.
bool is_temp_path(const std::string &path)
{
    if (path.size() != 15 || path.compare(0, 9, "/tmp/cgic") != 0)
        return false;
    for (size_t i = 9; i < path.size(); ++i) {
        if (!isalnum(static_cast<unsigned char>(path[i])))
            return false;
    }
    return true;
}

std::string echo_with_file(const std::string &data, size_t size)
{
    return text_header + data + "\nfile:" + std::to_string(size);
}
}  // namespace

// "/1010" never has its body read: it is dispatched even when the body is malformed, and the process
// ends although standard input stays open.
TEST(Upload, RecorderUpgradeIsDispatchedWithoutReadingTheBody)
{
    test_root root;
    for (const std::string &body : {std::string(), std::string("not a form at all"), form_body({})}) {
        cgi_request request = upload("/1010", "ver=2&md5=ab", body);
        request.close_stdin = false;
        request.timeout_ms = 5000;
        cgi_result r = run_cgi(root, request);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, text_header + "temp & ver=2&md5=ab");
    }
    EXPECT_TRUE(temp_files(root).empty());
}

// Their handlers read no file from the form: the parsed one is not kept. The data is cut to its buffer.
TEST(Upload, DirectPathsGetTempAndTheQuery)
{
    test_root root;
    std::string body = form_body({field("param", "x"), file_field("cam.bin", file_content(3000))});
    std::string long_query(2000, 'q');
    for (size_t i = 0; i < long_query.size(); i += 50)
        long_query[i] = '&';
    for (const char *path : {"/6082", "/2079", "/1010"}) {
        cgi_result r = run_cgi(root, upload(path, "ch=3&name=%22a%22", body));
        EXPECT_EQ(r.exit_status, 0) << path;
        EXPECT_EQ(r.out, text_header + "temp & ch=3&name=%22a%22") << path;
        r = run_cgi(root, upload(path, long_query, form_body({})));
        EXPECT_EQ(r.exit_status, 0) << path;
        EXPECT_EQ(r.out, text_header + ("temp & " + long_query).substr(0, 1087)) << path;
    }
    EXPECT_TRUE(temp_files(root).empty());
}

// Other paths get the upload moved to "/tmp/<client base name>", which stays for the handler's
// later work after the process has ended.
TEST(Upload, FileIsMovedToTmpUnderItsClientBaseName)
{
    test_root root;
    const std::string content = file_content(70000);
    const std::pair<std::string, std::string> names[] = {
        {"C:\\dir\\name.bin", "name.bin"},
        {"C:\\Users\\me/mixed\\up/cfg.dat", "cfg.dat"},
        {"plain.txt", "plain.txt"},
        {"log.txt", "log.txt"},  // near a fixed name, but not one
    };
    for (const auto &[client, base] : names) {
        cgi_result r = run_cgi(root, upload("/6087", "", form_body({file_field(client, content)})));
        EXPECT_EQ(r.exit_status, 0) << client;
        EXPECT_EQ(r.out, echo_with_file("/tmp/" + base, content.size())) << client;
        EXPECT_EQ(read_file(root.file("/tmp/" + base)), content) << client;
        struct stat st {};
        ASSERT_EQ(stat(root.file("/tmp/" + base).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << client;
    }
    EXPECT_EQ(temp_files(root).size(), 4u);
}

TEST(Upload, ParamValueOfTheQueryFollowsTheMovedPath)
{
    test_root root;
    const std::string body = form_body({field("param", "9"), file_field("C:\\dir\\name.bin", "12345")});
    const std::pair<std::string, std::string> cases[] = {
        {"param:7&x=1", "/tmp/name.bin & 7"},
        {"id=2&param:lang_en&param:8", "/tmp/name.bin & lang_en"},
        {"param:", "/tmp/name.bin & "},
        {"x=1&y=2", "/tmp/name.bin"},
        {"param:" + std::string(300, 'v') + "&z", "/tmp/name.bin & " + std::string(255, 'v')},
    };
    for (const auto &[query, data] : cases) {
        cgi_result r = run_cgi(root, upload("/6087", query, body));
        EXPECT_EQ(r.exit_status, 0) << query;
        EXPECT_EQ(r.out, echo_with_file(data, 5)) << query;
    }
}

// Client file names are data, never shell text: nothing in them is run, and the file lands under
// exactly that name.
TEST(Upload, HostileClientNamesAreNeverInterpreted)
{
    test_root root;
    const std::string names[] = {
        "$(touch pwned1)",
        "`touch pwned2`",
        "a;touch pwned3",
        "x'$(touch pwned4)'",
        "sp ace more.bin",
        "-rf",
    };
    std::vector<form_part> unquoted = {
        {"form-data; name=\"file\"; filename=q\"&&touch${IFS}pwned5&&\"", "unquoted"},
    };
    for (const std::string &name : names) {
        const std::string content = "content of " + name;
        cgi_result r = run_cgi(root, upload("/6087", "", form_body({file_field(name, content)})));
        EXPECT_EQ(r.exit_status, 0) << name;
        EXPECT_EQ(r.out, echo_with_file("/tmp/" + name, content.size())) << name;
        EXPECT_EQ(read_file(root.file("/tmp/" + name)), content) << name;
    }
    cgi_result r = run_cgi(root, upload("/6087", "", form_body(unquoted)));
    EXPECT_EQ(r.out, echo_with_file("/tmp/q\"&&touch${IFS}pwned5&&\"", 8));

    auto is_marker = [](const fs::path &p) { return p.filename().string().rfind("pwned", 0) == 0; };
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(root.path()))
        EXPECT_FALSE(is_marker(e.path())) << e.path();
    for (const fs::directory_entry &e : fs::directory_iterator(fs::current_path()))
        EXPECT_FALSE(is_marker(e.path())) << e.path();
    EXPECT_FALSE(file_exists("/pwned1"));
}

// A client name that leaves no usable base name ("", ".", ".."), names a hidden file or one of the
// program's own under /tmp, or does not fit the name buffer dispatches nothing, and the parsed upload
// is removed with the process.
TEST(Upload, ClientNameWithoutUsableBaseNameDispatchesNothing)
{
    test_root root;
    const std::string names[] = {"C:\\dir\\", "..", ".", "C:\\dir\\..", "up/..", "/", std::string(128, 'n'),
                                 ".export_down_file", "C:\\dir\\.hidden", "cgilockfile", "pbdownload",
                                 "tmp_diagnostic", "up/vxcore", "log"};
    for (const std::string &name : names) {
        cgi_result r = run_cgi(root, upload("/6087", "param:1", form_body({file_field(name, "data")})));
        EXPECT_EQ(r.exit_status, 0) << name;
        EXPECT_EQ(r.out, "") << name;
    }
    EXPECT_TRUE(temp_files(root).empty());
    std::vector<std::string> top;
    for (const fs::directory_entry &e : fs::directory_iterator(root.path()))
        top.push_back(e.path().filename().string());
    EXPECT_EQ(top.size(), 3u);  // tmp, mnt, var

    // The longest name that fits is served.
    const std::string longest = "C:\\d\\" + std::string(122, 'n');
    cgi_result r = run_cgi(root, upload("/6087", "", form_body({file_field(longest, "data")})));
    EXPECT_EQ(r.out, echo_with_file("/tmp/" + std::string(122, 'n'), 4));
}

TEST(Upload, FormWithoutAFileFieldDispatchesNothing)
{
    test_root root;
    const std::vector<form_part> forms[] = {
        {field("param", "1")},
        {{"form-data; name=\"file\"; filename=\"\"", "no name"}},
        {{"form-data; name=\"File\"; filename=\"a.bin\"", "wrong field name"}},
        {},
    };
    for (const char *path : {"/6087", "/oem", "/1019"}) {
        for (const std::vector<form_part> &form : forms) {
            cgi_result r = run_cgi(root, upload(path, "param:1", form_body(form)));
            EXPECT_EQ(r.exit_status, 0) << path;
            EXPECT_EQ(r.out, "") << path;
        }
    }
    EXPECT_TRUE(temp_files(root).empty());
}

// "/oem" and "/1019" consume the parser's temporary file where it is; it is gone once the process
// has ended.
TEST(Upload, PackageUploadsGetTheTemporaryFileForTheRequestOnly)
{
    test_root root;
    const std::string content = file_content(123457);
    for (const char *path : {"/oem", "/1019"}) {
        for (const char *client : {"pkg.bin", "C:\\dir\\.."}) {
            std::string body = form_body({field("param", "v"), file_field(client, content), field("file", "later")});
            cgi_result r = run_cgi(root, upload(path, "md5=0f&size=9", body));
            EXPECT_EQ(r.exit_status, 0) << path;
            EXPECT_TRUE(is_temp_path(r.out.substr(text_header.size(), 15))) << r.out;
            EXPECT_EQ(r.out, echo_with_file(r.out.substr(text_header.size(), 15) + " & md5=0f&size=9", content.size()))
                << path;
            EXPECT_TRUE(temp_files(root).empty()) << path;
        }
    }
}

TEST(Upload, BoundaryIsFoundAmongOtherContentTypeParameters)
{
    test_root root;
    const std::pair<std::string, std::string> types[] = {
        {"multipart/form-data; charset=UTF-8; Boundary=AbC123 trailing", "AbC123"},
        {"Multipart/Form-Data;BOUNDARY=xyz", "xyz"},
        {"multipart/form-data; charset=utf-8;  boundary=q-q\tmore", "q-q"},
    };
    for (const auto &[type, mark] : types) {
        cgi_request request = upload("/6087", "", form_body({file_field("b.bin", "bytes")}, mark));
        request.content_type = type;
        cgi_result r = run_cgi(root, request);
        EXPECT_EQ(r.exit_status, 0) << type;
        EXPECT_EQ(r.out, echo_with_file("/tmp/b.bin", 5)) << type;
    }
}

// CONTENT_LENGTH bounds what is read: a body shorter than declared ends the parse at the end of input,
// and with the exact length the process finishes even when the server keeps standard input open.
TEST(Upload, DeclaredLengthNeverMakesTheParserWait)
{
    test_root root;
    const std::string content = file_content(5000);
    std::string body = form_body({file_field("a.bin", content)});

    cgi_request longer = upload("/6087", "", body);
    longer.content_length = std::to_string(body.size() + 4096);
    cgi_result r = run_cgi(root, longer);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.out, echo_with_file("/tmp/a.bin", content.size()));

    // Ends right after a delimiter, without the closing "--": the form is complete all the same.
    std::string unclosed = body.substr(0, body.rfind("--\r\n"));
    for (const std::string &b : {body, unclosed}) {
        cgi_request open_input = upload("/6087", "", b);
        open_input.close_stdin = false;
        open_input.timeout_ms = 5000;
        r = run_cgi(root, open_input);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, echo_with_file("/tmp/a.bin", content.size()));
    }

    // A value beyond the 32-bit range counts as the largest, not as a wrapped small number.
    cgi_request huge = upload("/6087", "", body);
    huge.content_length = "4294967297";
    r = run_cgi(root, huge);
    EXPECT_EQ(r.out, echo_with_file("/tmp/a.bin", content.size()));
}

TEST(Upload, UnusableContentLengthCountsAsEmptyForm)
{
    test_root root;
    std::string body = form_body({file_field("a.bin", "abc")});
    for (const char *length : {"-5", "-2147483648", "abc", "", " x12"}) {
        cgi_request request = upload("/6087", "param:1", body);
        request.content_length = length;
        cgi_result r = run_cgi(root, request);
        EXPECT_EQ(r.exit_status, 0) << length;
        EXPECT_EQ(r.out, "") << length;

        request.path_info = "/6082";
        r = run_cgi(root, request);
        EXPECT_EQ(r.out, text_header + "temp & param:1") << length;
    }
    EXPECT_TRUE(temp_files(root).empty());
}

// A body that ends inside a part is a failed parse: no answer, exit status 255, and no temporary
// file of this request stays in /tmp, also of parts that were complete.
TEST(Upload, TruncatedBodyFailsWithoutLeavingFiles)
{
    test_root root;
    const std::string first = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"extra\"; filename=\"x.bin\"\r\n\r\n" +
                              file_content(2000) + "\r\n";
    const std::string cut = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.bin\"\r\n\r\n" +
                            file_content(3000);
    for (const char *path : {"/6087", "/oem", "/1019", "/6082"}) {
        for (const std::string &body : {cut, first + cut}) {
            cgi_result r = run_cgi(root, upload(path, "param:1", body));
            EXPECT_FALSE(r.timed_out) << path;
            EXPECT_EQ(r.exit_status, 255) << path;
            EXPECT_EQ(r.out, "") << path;
            EXPECT_TRUE(temp_files(root).empty()) << path;
        }
    }

    // The same when CONTENT_LENGTH ends the input inside the file.
    std::string whole = form_body({file_field("a.bin", file_content(3000))});
    cgi_request request = upload("/6087", "", whole);
    request.content_length = std::to_string(whole.size() - 500);
    cgi_result r = run_cgi(root, request);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(temp_files(root).empty());
}
