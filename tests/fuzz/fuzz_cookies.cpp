// What the program reads from the Cookie, Host and Origin headers, on arbitrary text: the cookie user
// of the operation log (get_current_username), the cookie domain of a login (mail_cookie_domain), the
// session gate's cookie items (cgi_cookie_item) and its Origin/Host comparison
// (cgi_origin_is_other_host).
//
// The first input byte chooses the cookie item name; the rest, up to a zero byte, is the header text;
// where two texts are needed (Origin and Host) a byte 1 separates them. Each reader must agree exactly
// with a plain reading written with whole-string operations, never write beyond its buffer and always
// terminate it; an origin naming the host itself, with the scheme's default port or without, is never
// another host.
#include "front/session_gate.h"
#include "link/web_env.h"
#include "link/web_oplog.h"
#include "system/session.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char *const names[] = {"sessionId", "userName", "a", "", "user", "sessionId=", " x"};

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_cookies: %s\n", what);
    abort();
}

// The item value after "userName" and one more character; a value still holding '=' keeps what
// follows its first '='.
std::string ref_username(const std::string &cookie, size_t size)
{
    const size_t match = cookie.find("userName");
    if (match == std::string::npos)
        return "";
    std::string value = cookie.substr(std::min(match + 9, cookie.size()));
    value = value.substr(0, value.find(';'));
    const size_t equals = value.find('=');
    if (equals != std::string::npos)
        value = value.substr(equals + 1);
    return value.substr(0, size - 1);
}

bool host_character(char c)
{
    return isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

std::string ref_domain(const std::string &host)
{
    const std::string name = host.substr(0, host.find(':'));
    if (name.size() >= COOKIE_DOMAIN_SIZE)
        return "";
    for (char c : name) {
        if (!host_character(c))
            return "";
    }
    return name;
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

// The value of the first item "name=value" of the ';'-separated list, blanks around the item cut.
bool ref_cookie_item(const std::string &cookie, const std::string &name, std::string &value)
{
    size_t start = 0;
    for (;;) {
        size_t end = cookie.find(';', start);
        std::string item = cookie.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t lead = 0;
        while (lead < item.size() && blank(item[lead]))
            ++lead;
        item = item.substr(lead);
        if (item.size() > name.size() && item.compare(0, name.size(), name) == 0 && item[name.size()] == '=') {
            value = item.substr(name.size() + 1);
            while (!value.empty() && blank(value.back()))
                value.pop_back();
            return true;
        }
        if (end == std::string::npos || end + 1 >= cookie.size())
            return false;
        start = end + 1;
    }
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string without_port(const std::string &authority, const std::string &port)
{
    if (!port.empty() && authority.size() > port.size() &&
        authority.compare(authority.size() - port.size(), port.size(), port) == 0)
        return authority.substr(0, authority.size() - port.size());
    return authority;
}

bool ref_other_host(const std::string &origin, const std::string &host)
{
    const size_t separator = origin.find("://");
    if (separator == std::string::npos)
        return true;
    const std::string scheme = lower(origin.substr(0, separator));
    const std::string port = scheme == "http" ? ":80" : scheme == "https" ? ":443" : "";
    std::string authority = origin.substr(separator + 3);
    authority = without_port(authority.substr(0, authority.find('/')), port);
    return authority.empty() || lower(authority) != lower(without_port(host, port));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string name = names[data[0] % (sizeof names / sizeof names[0])];
    const std::string text(std::string(reinterpret_cast<const char *>(data + 1), size - 1).c_str());
    cgiCookie = text.c_str();

    for (size_t buffer_size : {1, 2, 17, 64}) {
        char buffer[80];
        memset(buffer, 0x7e, sizeof buffer);
        const int got = get_current_username(buffer, buffer_size);
        if (got != (text.find("userName") == std::string::npos ? -1 : 0))
            fail("get_current_username found another item");
        if (buffer[buffer_size] != 0x7e || buffer[sizeof buffer - 1] != 0x7e)
            fail("get_current_username wrote beyond its buffer");
        if (ref_username(text, buffer_size) != buffer)
            fail("get_current_username disagrees with the plain reading");
    }

    char domain[COOKIE_DOMAIN_SIZE + 8];
    memset(domain, 0x7e, sizeof domain);
    mail_cookie_domain(text.c_str(), domain);
    if (domain[COOKIE_DOMAIN_SIZE] != 0x7e || memchr(domain, '\0', COOKIE_DOMAIN_SIZE) == nullptr)
        fail("mail_cookie_domain wrote beyond its buffer or left it unterminated");
    if (ref_domain(text) != domain)
        fail("mail_cookie_domain disagrees with the plain reading");

    size_t length = 12345;
    const char *item = cgi_cookie_item(text.c_str(), name.c_str(), &length);
    std::string value;
    const bool found = ref_cookie_item(text, name, value);
    if ((item != nullptr) != found)
        fail("cgi_cookie_item found a different item");
    if (item != nullptr) {
        if (item < text.c_str() || item + length > text.c_str() + text.size())
            fail("cgi_cookie_item points outside the cookie");
        if (std::string(item, length) != value)
            fail("cgi_cookie_item read another value");
    }

    const size_t separator = text.find('\x01');
    const std::string origin = separator == std::string::npos ? "http://" + text : text.substr(0, separator);
    const std::string host = separator == std::string::npos ? text : text.substr(separator + 1);
    const bool other = cgi_origin_is_other_host(origin.c_str(), host.c_str());
    if (other != ref_other_host(origin, host))
        fail("cgi_origin_is_other_host disagrees with the plain reading");
    if (!host.empty() && host.find('/') == std::string::npos) {
        for (const char *scheme : {"http://", "HTTPS://", "ws://"}) {
            if (cgi_origin_is_other_host((scheme + host).c_str(), host.c_str()))
                fail("an origin naming the host itself counts as another host");
        }
        if (host.find(':') == std::string::npos &&
            (cgi_origin_is_other_host(("http://" + host + ":80").c_str(), host.c_str()) ||
             cgi_origin_is_other_host(("https://" + host).c_str(), (host + ":443").c_str())))
            fail("the scheme's default port made the host another");
    }
    return 0;
}
