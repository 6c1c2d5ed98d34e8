// The request intake on arbitrary input: the query string of a GET, the body of a URL-encoded or JSON
// POST, CONTENT_LENGTH and the content type's split into media type and boundary.
//
// The same input serves each reader (up to its first zero byte where the reader gets a C string; the
// POST body whole). Each must agree exactly with a plain reading written with whole-string
// operations: the query cut to 1023 characters with every "%22" turned into '"' (and strrpl with
// other patterns likewise); the body as at most 128 lines of at most 30719 bytes in all, a zero byte
// ending what a later line is appended to; CONTENT_LENGTH as leading digits after white space and a
// sign, 0 when negative or absent, INT_MAX beyond; the media type up to the first ';' and the boundary
// the value of the first "boundary=" parameter up to white space. The handler reached is a resource
// of this program registered under "/fz".
#include "front/cgic.h"
#include "front/dispatchreq.h"
#include "front/intake.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {
std::string handed;
int handed_count;

void record_request(const char *data)
{
    handed = data;
    ++handed_count;
}

const web_res fuzz_res[] = {{"/fz", record_request}};

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_intake: %s\n", what);
    abort();
}

std::string replace_all(const std::string &source, const std::string &pattern, const std::string &replacement)
{
    if (pattern.empty())
        return source;
    std::string out;
    size_t p = 0;
    for (size_t found; (found = source.find(pattern, p)) != std::string::npos; p = found + pattern.size())
        out += source.substr(p, found - p) + replacement;
    return out + source.substr(p);
}

// fgets, one line at a time, appended where the text read so far ends (at its first zero byte).
std::string ref_post_body(const std::string &input)
{
    const size_t post_size = 30720;
    std::string body;
    size_t p = 0;
    for (int line = 0; line < 128; ++line) {
        const size_t room = post_size - body.size();
        if (room <= 1 || p >= input.size())
            break;
        size_t take = 0;
        while (take < room - 1 && p + take < input.size()) {
            if (input[p + take++] == '\n')
                break;
        }
        body += input.substr(p, take);
        p += take;
        body = body.substr(0, strlen(body.c_str()));
    }
    return body;
}

int ref_content_length(const std::string &text)
{
    size_t p = 0;
    while (p < text.size() && isspace(static_cast<unsigned char>(text[p])))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+'))
        negative = text[p++] == '-';
    long long value = 0;
    size_t digits = 0;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p, ++digits) {
        if (value <= INT_MAX)
            value = value * 10 + (text[p] - '0');
    }
    if (digits == 0 || negative || value == 0)
        return 0;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

void ref_content_type(const std::string &text, std::string &media, std::string &boundary)
{
    const std::string copy = text.substr(0, cgi_content_type_size - 1);
    size_t semicolon = copy.find(';');
    media = copy.substr(0, semicolon);
    boundary.clear();
    while (semicolon != std::string::npos) {
        size_t param = semicolon + 1;
        while (param < copy.size() && isspace(static_cast<unsigned char>(copy[param])))
            ++param;
        if (strncasecmp(copy.c_str() + param, "boundary=", 9) == 0) {
            size_t end = param + 9;
            while (end < copy.size() && !isspace(static_cast<unsigned char>(copy[end])))
                ++end;
            boundary = copy.substr(param + 9, end - param - 9);
            return;
        }
        semicolon = copy.find(';', param);
    }
}

void capture(const char *text)
{
    setenv("QUERY_STRING", text, 1);
    setenv("CONTENT_TYPE", text, 1);
    setenv("CONTENT_LENGTH", text, 1);
    cgiCaptureEnvironment();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (WebResRegister(fuzz_res, 1) != 0)
        fail("the resource could not be registered");
    setenv("PATH_INFO", "/fz", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::string text(input.c_str());
    capture(text.c_str());

    if (cgiParseContentLength(text.c_str()) != ref_content_length(text) ||
        cgiContentLength != ref_content_length(text))
        fail("CONTENT_LENGTH read differently");

    std::string media, boundary;
    ref_content_type(text, media, boundary);
    if (media != cgiContentType || boundary != cgiMultipartBoundary)
        fail("the content type split differently");

    handed_count = 0;
    cgiDealGet();
    if (handed_count != 1 || handed != replace_all(text.substr(0, 1023), "%22", "\""))
        fail("the query reached the handler changed");

    // strrpl with the input's own pieces: source \x01 pattern \x01 replacement.
    const size_t first = text.find('\x01'), second = first == std::string::npos ? first : text.find('\x01', first + 1);
    if (second != std::string::npos) {
        const std::string source = text.substr(0, first), pattern = text.substr(first + 1, second - first - 1),
                          replacement = text.substr(second + 1);
        std::string out(source.size() * (replacement.size() + 1) + 1, '\x7e');
        strrpl(out.data(), source.c_str(), pattern.c_str(), replacement.c_str());
        if (std::string(out.c_str()) != replace_all(source, pattern, replacement))
            fail("strrpl differs from the whole-string replacement");
    }

    FILE *body = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (body == nullptr)
        return 0;
    cgiIn = body;
    handed_count = 0;
    cgiDealPost();
    fclose(body);
    cgiIn = stdin;
    if (handed_count != 1 || handed != ref_post_body(input))
        fail("the body reached the handler changed");
    return 0;
}
