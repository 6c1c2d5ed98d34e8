#include "front/intake.h"
#include "front/cgic.h"
#include "front/dispatchreq.h"
#include "front/session_gate.h"
#include "vxrt/vx_path.h"
#include "vxrt/vx_spawn.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {
constexpr size_t path_size = 128;
constexpr size_t query_size = 1024;
constexpr size_t post_size = 30720;
constexpr int post_max_lines = 128;
constexpr int file_name_size = 128;
constexpr size_t upload_data_size = 1088;
constexpr size_t param_size = 256;

// Uploads whose handlers read the body themselves or need no file: they receive "temp & <query>".
bool is_direct_upload_path(const char *path)
{
    return strcmp(path, "/1010") == 0 || strcmp(path, "/6082") == 0 || strcmp(path, "/2079") == 0;
}

// Uploads whose handlers consume the temporary file where the parser left it.
bool is_temp_file_upload_path(const char *path)
{
    return strcmp(path, "/1019") == 0 || strcmp(path, "/oem") == 0;
}

bool copy_path_info(char (&path)[path_size])
{
    snprintf(path, sizeof path, "%s", cgiPathInfo);
    return path[0] != '\0';
}

// The client's file name without any folder part, '\\' and '/' both counting as separators.
const char *base_name(const char *client_name)
{
    const char *base = client_name;
    for (const char *p = client_name; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            base = p + 1;
    }
    return base;
}

// The program's own files directly under /tmp: lock files, markers and the download pointer. An
// upload named like one would replace it (".export_down_file", which "/1013" downloads and removes, is
// covered by the rule on a leading '.').
const char *const fixed_tmp_names[] = {"cgilockfile", "pbdownload", "tmp_diagnostic", "vxcore", "log"};

// A name an upload may take under /tmp: not empty, not hidden (nor "." or ".."), and none of the
// program's own.
bool is_plain_base_name(const char *name)
{
    if (name[0] == '\0' || name[0] == '.')
        return false;
    for (const char *fixed : fixed_tmp_names) {
        if (strcmp(name, fixed) == 0)
            return false;
    }
    return true;
}

// Moves an upload without a shell: rename within the file system, /bin/mv with an argument vector
// across file systems. As before, the handler is called whatever the outcome.
void move_upload(const char *from, const char *to)
{
    std::string old_path = vx_path(from);
    std::string new_path = vx_path(to);
    if (rename(old_path.c_str(), new_path.c_str()) == 0 || errno != EXDEV)
        return;
    const char *argv[] = {"/bin/mv", old_path.c_str(), new_path.c_str(), nullptr};
    vx_spawn_wait(argv);
}

// The value after the first "param:" of the query string, up to the next '&'.
bool query_param(char (&value)[param_size])
{
    const char *start = strstr(cgiQueryString, "param:");
    if (start == nullptr)
        return false;
    start += strlen("param:");
    size_t length = strcspn(start, "&");
    if (length > sizeof value - 1)
        length = sizeof value - 1;
    memcpy(value, start, length);
    value[length] = '\0';
    return true;
}

void route_post()
{
    if (strcasecmp(cgiContentType, "application/x-www-form-urlencoded") == 0 ||
        strcasecmp(cgiContentType, "application/json") == 0) {
        cgiDealPost();
    }
}
}  // namespace

char *strrpl(char *destination, const char *source, const char *pattern, const char *replacement)
{
    size_t pattern_length = strlen(pattern);
    size_t replacement_length = strlen(replacement);
    char *out = destination;
    while (*source != '\0') {
        if (pattern_length > 0 && strncmp(source, pattern, pattern_length) == 0) {
            memcpy(out, replacement, replacement_length);
            out += replacement_length;
            source += pattern_length;
        } else {
            *out++ = *source++;
        }
    }
    *out = '\0';
    return destination;
}

void cgiDealGet()
{
    char path[path_size];
    if (!copy_path_info(path))
        return;
    char query[query_size];
    snprintf(query, sizeof query, "%s", cgiQueryString);
    char data[query_size] = {};
    strrpl(data, query, "%22", "\"");
    DispatchWebReq(path, data);
}

void cgiDealPost()
{
    char path[path_size];
    if (!copy_path_info(path))
        return;
    // Lives until the process ends (held here, so it stays reachable): handlers may keep pointers
    // into it. One buffer for the process: a second body (the fuzz target reads thousands) reuses it.
    static char *body = nullptr;
    if (body == nullptr)
        body = static_cast<char *>(malloc(post_size));
    if (body == nullptr)
        return;
    memset(body, 0, post_size);
    for (int line = 0; line < post_max_lines; ++line) {
        size_t length = strlen(body);
        size_t room = post_size - length;
        if (room <= 1)
            break;
        if (fgets(body + length, static_cast<int>(room), cgiIn) == nullptr)
            break;
    }
    DispatchWebReq(path, body);
}

void cgiDealUpload()
{
    char path[path_size];
    if (!copy_path_info(path))
        return;
    bool direct = is_direct_upload_path(path);

    char client_name[file_name_size] = "";
    if (!direct && cgiFormFileName("file", client_name, sizeof client_name) != cgiFormSuccess)
        return;
    char base[file_name_size];
    snprintf(base, sizeof base, "%s", base_name(client_name));

    const cgiFormEntry *file = cgiFormEntryFindFirst("file");
    if (!direct && file == nullptr)
        return;

    char data[upload_data_size] = {};
    if (direct) {
        snprintf(data, sizeof data, "%s & %s", "temp", cgiQueryString);
    } else if (is_temp_file_upload_path(path)) {
        snprintf(data, sizeof data, "%s & %s", file->tfileName, cgiQueryString);
    } else {
        // The client's name becomes a file name under /tmp: "", "." or ".." would name the folder
        // itself or its parent, and a hidden or fixed name a file of the program's own.
        if (!is_plain_base_name(base))
            return;
        char moved[upload_data_size];
        snprintf(moved, sizeof moved, "/tmp/%s", base);
        move_upload(file->tfileName, moved);
        char param[param_size];
        if (query_param(param))
            snprintf(data, sizeof data, "%s & %s", moved, param);
        else
            snprintf(data, sizeof data, "%s", moved);
    }
    DispatchWebReq(path, data);
}

int cgi_main()
{
    cgiCaptureEnvironment();
    if (!cgi_session_gate())
        return 0;

    if (strcasecmp(cgiRequestMethod, "post") == 0) {
        if (strcasecmp(cgiContentType, "multipart/form-data") == 0) {
            // The recorder upgrade never has its body read by this process.
            if (strcmp(cgiPathInfo, "/1010") != 0 && cgiParseMultipartInput() != cgiParseSuccess) {
                cgiFreeResources();  // no temporary file of a failed upload is left behind
                return -1;
            }
            cgiDealUpload();
        } else {
            route_post();
        }
    } else if (strcasecmp(cgiRequestMethod, "get") == 0) {
        cgiContentLength = static_cast<int>(strlen(cgiQueryString));
        cgiDealGet();
    }

    fflush(cgiOut);
    cgiFreeResources();
    return 0;
}
