#include "front/cgic.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

char cgiContentTypeData[cgi_content_type_size];
char *cgiContentType = cgiContentTypeData;
char *cgiMultipartBoundary = cgiContentTypeData + cgi_content_type_size - 1;  // the last byte is always 0
int cgiContentLength;
FILE *cgiIn;

namespace {
struct env_variable {
    const char **variable;
    const char *name;
};

// In the order they are read.
const env_variable cgi_variables[] = {
    {&cgiServerSoftware, "SERVER_SOFTWARE"},
    {&cgiServerName, "SERVER_NAME"},
    {&cgiGatewayInterface, "GATEWAY_INTERFACE"},
    {&cgiServerProtocol, "SERVER_PROTOCOL"},
    {&cgiServerPort, "SERVER_PORT"},
    {&cgiRequestMethod, "REQUEST_METHOD"},
    {&cgiPathInfo, "PATH_INFO"},
    {&cgiPathTranslated, "PATH_TRANSLATED"},
    {&cgiScriptName, "SCRIPT_NAME"},
    {&cgiQueryString, "QUERY_STRING"},
    {&cgiRemoteHost, "REMOTE_HOST"},
    {&cgiRemoteAddr, "REMOTE_ADDR"},
    {&cgiAuthType, "AUTH_TYPE"},
    {&cgiRemoteUser, "REMOTE_USER"},
    {&cgiRemoteIdent, "REMOTE_IDENT"},
    {&cgiServerAddr, "HTTP_HOST"},
    {&cgiAccept, "HTTP_ACCEPT"},
    {&cgiUserAgent, "HTTP_USER_AGENT"},
    {&cgiReferrer, "HTTP_REFERER"},
    {&cgiCookie, "HTTP_COOKIE"},
    {&cgiSecFetchSite, "HTTP_SEC_FETCH_SITE"},
    {&cgiOrigin, "HTTP_ORIGIN"},
};

const char *env_or_empty(const char *name)
{
    const char *value = getenv(name);
    return value != nullptr ? value : "";
}

// Cuts the copied content type at its first ';' and finds the boundary parameter among the
// parameters that follow.
void split_content_type()
{
    char *semicolon = strchr(cgiContentTypeData, ';');
    while (semicolon != nullptr) {
        *semicolon = '\0';
        char *param = semicolon + 1;
        while (*param != '\0' && isspace(static_cast<unsigned char>(*param)))
            ++param;
        if (strncasecmp(param, "boundary=", 9) == 0) {
            cgiMultipartBoundary = param + 9;
            char *end = cgiMultipartBoundary;
            while (*end != '\0' && !isspace(static_cast<unsigned char>(*end)))
                ++end;
            *end = '\0';
            return;
        }
        semicolon = strchr(param, ';');
    }
}
}  // namespace

int cgiParseContentLength(const char *text)
{
    if (text == nullptr)
        return 0;
    errno = 0;
    char *end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (end == text || value <= 0)
        return 0;
    if (errno == ERANGE || value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

void cgiCaptureEnvironment()
{
    for (const env_variable &v : cgi_variables)
        *v.variable = env_or_empty(v.name);

    memset(cgiContentTypeData, 0, sizeof cgiContentTypeData);
    strncpy(cgiContentTypeData, env_or_empty("CONTENT_TYPE"), sizeof cgiContentTypeData - 1);
    cgiContentType = cgiContentTypeData;
    cgiMultipartBoundary = cgiContentTypeData + sizeof cgiContentTypeData - 1;
    split_content_type();

    cgiContentLength = cgiParseContentLength(getenv("CONTENT_LENGTH"));
    cgiFreeResources();
    cgiIn = stdin;
    cgiOut = stdout;
}
