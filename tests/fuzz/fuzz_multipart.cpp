// The multipart parser on arbitrary bodies.
//
// The first input byte chooses the boundary (bits 0-2, or bit 7: one near the longest a delimiter may
// be), whether CONTENT_LENGTH claims more than the body holds (bit 3) and the size of the blocks the
// parser reads (bits 4-6, down to one byte, so that block edges fall inside delimiters and line ends);
// the rest is the body. Besides the sanitizers, the entries (contents read back from memory or from
// the temporary files) and the result must equal, exactly, those of the byte-by-byte parser the block
// reader replaced, and those of a plain reading of the same body; no temporary file may outlive the
// clean-up.
#include "multipart_bytewise.h"

#include "front/cgi_body_reader.h"
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

const size_t block_sizes[] = {body_block_max, 1, 2, 3, 7, 16, 255, 4096};

char boundary[1100];
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
    // A delimiter longer than this is refused, so never found.
    const size_t longest = 1022;
    size_t pos = first.size() > longest ? std::string::npos : in.find(first);
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
        size_t end = delimiter.size() > longest ? std::string::npos : in.find(delimiter, pos);
        if (end == std::string::npos)
            return form_field ? cgiParseIO : cgiParseSuccess;
        e.content = in.substr(pos, end - pos);
        if (form_field)
            entries.push_back(e);
        pos = after_boundary(in, end + delimiter.size());
    }
}

// An entry as the parser left it, its content read back from memory or from its temporary file.
struct seen_entry {
    std::string name, file_name, content_type, temp_file, content;
};

std::vector<seen_entry> seen_entries()
{
    std::vector<seen_entry> seen;
    for (const cgiFormEntry *e = cgi_form_list_first(); e != nullptr; e = e->next) {
        seen_entry x{e->attr, e->fileName, e->contentType, e->tfileName, ""};
        if (e->tfileName[0] != '\0') {
            if (e->value[0] != '\0' || e->fileName[0] == '\0')
                fail("file entry with a value or without a file name");
            x.content = file_content(e->tfileName);
        } else {
            if (e->fileName[0] != '\0')
                fail("file name without a temporary file");
            if (e->value[e->valueLength] != '\0')
                fail("value not terminated");
            x.content.assign(e->value, static_cast<size_t>(e->valueLength));
        }
        if (static_cast<int>(x.content.size()) != e->valueLength)
            fail("value length");
        seen.push_back(x);
    }
    return seen;
}

// Runs one parser on `body`; returns its result and the entries it built, then cleans up.
int run_parser(cgiParseResultType (*parser)(), const std::string &body, std::vector<seen_entry> &seen)
{
    std::string buffer = body;
    if (body.empty()) {
        cgiIn = empty_input;
        rewind(cgiIn);
    } else {
        cgiIn = fmemopen(buffer.data(), buffer.size(), "rb");
    }
    int result = parser();
    seen = seen_entries();
    if (cgiIn != empty_input)
        fclose(cgiIn);
    cgiIn = nullptr;

    cgiFreeResources();
    // Nothing may stay behind in /tmp: not the files of entries, nor the file of a failed part.
    std::string tmp = std::string(root_dir) + "/tmp";
    if (rmdir(tmp.c_str()) != 0)
        fail("files left in /tmp");
    mkdir(tmp.c_str(), 0700);
    return result;
}

void check_plain_reading(const std::string &body, long declared, int result, const std::vector<seen_entry> &seen)
{
    std::vector<ref_entry> expected;
    if (ref_parse(body, declared, boundary, expected) != result)
        fail("result differs from the plain reading");
    if (seen.size() != expected.size())
        fail("entry count differs from the plain reading");
    for (size_t i = 0; i < seen.size(); ++i) {
        const ref_entry &x = expected[i];
        const seen_entry &e = seen[i];
        if (x.name != e.name || x.file_name != e.file_name || x.content_type != e.content_type)
            fail("entry headers differ from the plain reading");
        if ((e.temp_file.empty()) != (x.file_name.empty()))
            fail("file entry differs from the plain reading");
        if (x.content != e.content)
            fail("content differs from the plain reading");
    }
}

void check_same(int result, const std::vector<seen_entry> &seen, int old_result, const std::vector<seen_entry> &old_seen)
{
    if (result != old_result)
        fail("result differs from the byte-by-byte parser");
    if (seen.size() != old_seen.size())
        fail("entry count differs from the byte-by-byte parser");
    for (size_t i = 0; i < seen.size(); ++i) {
        const seen_entry &e = seen[i], &x = old_seen[i];
        // Temporary file names are mkstemp's choice: only whether there is one can match.
        if (e.name != x.name || e.file_name != x.file_name || e.content_type != x.content_type ||
            e.temp_file.empty() != x.temp_file.empty() || e.content != x.content)
            fail("entry differs from the byte-by-byte parser");
    }
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
    if (data[0] & 0x80)
        snprintf(boundary, sizeof boundary, "%s", std::string(1018 + (data[0] & 3), 'x').c_str());
    else
        snprintf(boundary, sizeof boundary, "%s", boundaries[data[0] & 7]);
    cgiMultipartBoundary = boundary;
    const std::string body(reinterpret_cast<const char *>(data + 1), size - 1);
    cgiContentLength = static_cast<int>(body.size()) + ((data[0] & 8) ? 97 : 0);

    std::vector<seen_entry> old_seen, seen;
    int old_result = run_parser(bytewise::parse, body, old_seen);
    body_block_size = block_sizes[(data[0] >> 4) & 7];
    int result = run_parser(cgiParseMultipartInput, body, seen);
    body_block_size = body_block_max;

    check_same(result, seen, old_result, old_seen);
    check_plain_reading(body, cgiContentLength, result, seen);
    return 0;
}
