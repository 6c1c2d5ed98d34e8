// The multipart parser on arbitrary bodies.
//
// The first input byte chooses the boundary (bits 0-2) and whether CONTENT_LENGTH claims more than
// the body holds (bit 3); the rest is the body. Besides the sanitizers, the entries (contents read
// back from memory or from the temporary files) and the result must equal those of a plain reading
// of the same body, and no temporary file may outlive the clean-up.
#include "front/cgi_form_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {
const char *const boundaries[] = {
    "b", "ab", "aaa", "--", "----WebKitFormBoundary7MA4YWxkTrZu0gW", "x-y", "AaB03x", "",
};

char boundary[64];
char root_dir[] = "/tmp/fuzz-multipart-XXXXXX";
FILE *empty_input;

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_multipart: %s\n", what);
    abort();
}

std::string file_content(const char *device_path)
{
    std::string path = std::string(root_dir) + device_path;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        fail("temporary file missing");
    std::string content;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        content.append(chunk, n);
    fclose(f);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || (st.st_mode & 07777) != 0600)
        fail("temporary file mode");
    return content;
}

// A second reading of the body, written the plain way: whole-string searches instead of the byte
// matcher and its put-back ring. Both must agree on every entry and on the result.
struct ref_entry {
    std::string name, file_name, content_type, content;
};

std::string cut(std::string text)
{
    if (text.size() > 1023)
        text.resize(1023);
    return text;
}

bool space(char c)
{
    return isspace(static_cast<unsigned char>(c)) != 0;
}

size_t skip_space(const std::string &t, size_t p)
{
    while (p < t.size() && space(t[p]))
        ++p;
    return p;
}

// Text up to `stop` (or the end) from `p`; `p` moves onto the stop character.
std::string take_until(const std::string &t, size_t &p, char stop)
{
    size_t end = t.find(stop, p);
    if (end == std::string::npos)
        end = t.size();
    std::string text = t.substr(p, end - p);
    p = end;
    return text;
}

void ref_split(const char *text, std::string &first, std::string *name, std::string *file_name)
{
    const std::string t(text);
    size_t p = skip_space(t, 0);
    if (p < t.size() && t[p] == '"') {
        ++p;
        first = cut(take_until(t, p, '"'));
        if (p < t.size())
            ++p;
        take_until(t, p, ';');
    } else {
        first = cut(take_until(t, p, ';'));
    }
    if (name)
        name->clear();
    if (file_name)
        file_name->clear();
    while (p < t.size() && t[p] == ';') {
        p = skip_space(t, p + 1);
        size_t start = p;
        while (p < t.size() && isalnum(static_cast<unsigned char>(t[p])))
            ++p;
        std::string param = t.substr(start, p - start);
        p = skip_space(t, p);
        if (p >= t.size() || t[p] != '=')
            return;
        p = skip_space(t, p + 1);
        std::string value;
        if (p < t.size() && t[p] == '"') {
            ++p;
            value = take_until(t, p, '"');
            if (p < t.size())
                ++p;
        } else {
            value = take_until(t, p, ';');
        }
        if (name && strcasecmp(param.c_str(), "name") == 0)
            *name = cut(value);
        if (file_name && strcasecmp(param.c_str(), "filename") == 0)
            *file_name = cut(value);
    }
}

bool ref_header_line(const std::string &in, size_t &pos, std::string &attr, std::string &value)
{
    size_t end = in.find_first_of("\r\n", pos);
    std::string line = in.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (end == std::string::npos)
        pos = in.size();
    else
        pos = end + (in[end] == '\r' && end + 1 < in.size() && in[end + 1] == '\n' ? 2 : 1);
    attr.clear();
    value.clear();
    size_t i = 0;
    for (; i < line.size(); ++i) {
        if (line[i] == ':' && !attr.empty())
            break;
        if (!space(line[i]) && attr.size() < 1023)
            attr += line[i];
    }
    if (i < line.size()) {
        for (++i; i < line.size(); ++i) {
            if (value.empty() && space(line[i]))
                continue;
            if (value.size() < 1023)
                value += line[i];
        }
    }
    return !attr.empty() && !value.empty();
}

size_t after_boundary(const std::string &in, size_t pos)
{
    if (in.size() - pos < 2 || in[pos] == '-')
        return pos;
    if (in[pos] == '\r' && in[pos + 1] == '\n')
        return pos + 2;
    if (in[pos] == '\r' || in[pos] == '\n')
        return pos + 1;
    return pos + 2;
}

int ref_parse(const std::string &body, long declared, const std::string &b, std::vector<ref_entry> &entries)
{
    if (declared <= 0)
        return cgiParseSuccess;
    const std::string in = body.substr(0, static_cast<size_t>(declared));
    const std::string first = "--" + b, delimiter = "\r\n--" + b;
    size_t pos = in.find(first);
    if (pos == std::string::npos)
        return cgiParseSuccess;
    pos = after_boundary(in, pos + first.size());
    for (;;) {
        if (in.size() - pos < 2 || in.compare(pos, 2, "--") == 0)
            return cgiParseSuccess;
        std::string disposition, type, attr, value;
        ref_entry e;
        while (ref_header_line(in, pos, attr, value)) {
            if (strcasecmp(attr.c_str(), "Content-Disposition") == 0)
                ref_split(value.c_str(), disposition, &e.name, &e.file_name);
            else if (strcasecmp(attr.c_str(), "Content-Type") == 0)
                ref_split(value.c_str(), e.content_type, nullptr, nullptr);
        }
        bool form_field = strcasecmp(disposition.c_str(), "form-data") == 0;
        size_t end = in.find(delimiter, pos);
        if (end == std::string::npos)
            return form_field ? cgiParseIO : cgiParseSuccess;
        e.content = in.substr(pos, end - pos);
        if (form_field)
            entries.push_back(e);
        pos = after_boundary(in, end + delimiter.size());
    }
}

void check_entries(const std::string &body, long declared, int result)
{
    std::vector<ref_entry> expected;
    if (ref_parse(body, declared, boundary, expected) != result)
        fail("result differs from the plain reading");
    size_t n = 0;
    for (const cgiFormEntry *e = cgi_form_list_first(); e != nullptr; e = e->next, ++n) {
        if (n >= expected.size())
            fail("more entries than the plain reading");
        const ref_entry &x = expected[n];
        if (x.name != e->attr || x.file_name != e->fileName || x.content_type != e->contentType)
            fail("entry headers differ");
        std::string content;
        if (e->tfileName[0] != '\0') {
            if (e->value[0] != '\0' || e->fileName[0] == '\0')
                fail("file entry with a value or without a file name");
            content = file_content(e->tfileName);
        } else {
            if (e->fileName[0] != '\0')
                fail("file name without a temporary file");
            if (e->value[e->valueLength] != '\0')
                fail("value not terminated");
            content.assign(e->value, static_cast<size_t>(e->valueLength));
        }
        if (static_cast<int>(content.size()) != e->valueLength)
            fail("value length");
        if (content != x.content)
            fail("content differs");
    }
    if (n != expected.size())
        fail("fewer entries than the plain reading");
}

void remove_root()
{
    rmdir((std::string(root_dir) + "/tmp").c_str());
    rmdir(root_dir);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (mkdtemp(root_dir) == nullptr)
        fail("mkdtemp");
    atexit(remove_root);
    mkdir((std::string(root_dir) + "/tmp").c_str(), 0700);
    setenv("VX_ROOT", root_dir, 1);
    empty_input = fopen("/dev/null", "rb");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1 << 20)
        return 0;
    snprintf(boundary, sizeof boundary, "%s", boundaries[data[0] & 7]);
    cgiMultipartBoundary = boundary;
    const std::string body(reinterpret_cast<const char *>(data + 1), size - 1);
    cgiContentLength = static_cast<int>(body.size()) + ((data[0] & 8) ? 97 : 0);

    std::string buffer = body;
    if (body.empty()) {
        cgiIn = empty_input;
        rewind(cgiIn);
    } else {
        cgiIn = fmemopen(buffer.data(), buffer.size(), "rb");
    }
    cgiParseResultType result = cgiParseMultipartInput();
    check_entries(body, cgiContentLength, result);
    if (cgiIn != empty_input)
        fclose(cgiIn);
    cgiIn = nullptr;

    cgiFreeResources();
    // Nothing may stay behind in /tmp: not the files of entries, nor the file of a failed part.
    std::string tmp = std::string(root_dir) + "/tmp";
    if (rmdir(tmp.c_str()) != 0)
        fail("files left in /tmp");
    mkdir(tmp.c_str(), 0700);
    return 0;
}
