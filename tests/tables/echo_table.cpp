// Test resources, linked only into the test CGI program: each handler writes back the request data
// it received, so the intake can be checked byte for byte before real handlers exist. When the data
// starts with a device path (an upload), the size of that file as the handler sees it follows.
//
// Registered before the module tables, so for these names the test handlers win in the test program.
#include "front/dispatchreq.h"
#include "vxrt/vx_path.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {
void echo_request(const char *data)
{
    printf("Content-type: text/plain\r\n\r\n%s", data);
    if (data[0] == '/') {
        const char *end = strstr(data, " & ");
        std::string path = end ? std::string(data, static_cast<size_t>(end - data)) : std::string(data);
        struct stat st {};
        if (stat(vx_path(path.c_str()).c_str(), &st) == 0)
            printf("\nfile:%lld", static_cast<long long>(st.st_size));
        else
            printf("\nfile:missing");
    }
}

const web_res echo_res[] = {
    {"/echo", echo_request}, {"/1010", echo_request}, {"/6082", echo_request}, {"/2079", echo_request},
    {"/1019", echo_request}, {"/oem", echo_request},  {"/6087", echo_request},
};

struct echo_registration {
    echo_registration() { WebResRegister(echo_res, static_cast<int>(std::size(echo_res))); }
    ~echo_registration() { WebResUnregister(echo_res, static_cast<int>(std::size(echo_res))); }
};

__attribute__((init_priority(150))) echo_registration g_echo_registration;
}  // namespace
