// The multipart/form-data parser.
//
// The body comes in blocks (front/cgi_body_reader.h). The delimiter is looked for with memchr on its
// first byte and a compare at each hit; content that merely resembles it stays content, and what
// lies between two delimiters goes to the part's sink in one piece per block. The first delimiter
// found is the one a byte-by-byte matcher would find: a failed compare moves on by one byte only.
#include "front/cgi_body_reader.h"
#include "front/cgi_form_list.h"
#include "vxrt/vx_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {
// The longest delimiter a boundary may give, CR LF "--" included; a longer one is refused before any
// byte is read.
constexpr int delimiter_max = 1022;
static_assert(delimiter_max <= static_cast<int>(body_want_max));
constexpr int header_text_size = 1024;  // header attributes, values and parameters: 1023 characters
constexpr size_t memory_start_size = 256;
constexpr const char *temp_template = "/tmp/cgicXXXXXX";

// Where the content of a part goes.
struct mp_sink {
    FILE *file;           // a file part's temporary file, or
    unsigned char *data;  // an ordinary field's content in memory, or neither (skipped content)
    size_t size;
    size_t capacity;
    long long length;
    bool failed;
};

void sink_write(mp_sink &sink, const unsigned char *bytes, size_t count)
{
    if (sink.failed || count == 0)
        return;
    if (sink.file != nullptr) {
        if (fwrite(bytes, 1, count, sink.file) != count)
            sink.failed = true;
    } else if (sink.data != nullptr) {
        size_t capacity = sink.capacity;
        while (sink.size + count >= capacity) {  // one byte always stays for the terminating zero
            if (capacity > SIZE_MAX / 2) {
                sink.failed = true;
                return;
            }
            capacity *= 2;
        }
        if (capacity != sink.capacity) {
            auto *bigger = static_cast<unsigned char *>(realloc(sink.data, capacity));
            if (bigger == nullptr) {
                sink.failed = true;
                return;
            }
            sink.data = bigger;
            sink.capacity = capacity;
        }
        memcpy(sink.data + sink.size, bytes, count);
        sink.size += count;
    }
    sink.length += static_cast<long long>(count);
}

// Moves the content before the next delimiter to `sink` and the reader past that delimiter; false
// when the body ends first (what it held is dropped with the part).
bool copy_past_delimiter(body_reader &s, const unsigned char *delim, size_t length, mp_sink &sink)
{
    for (;;) {
        size_t held = body_fill(s, length);
        if (held < length)
            return false;
        const unsigned char *bytes = s.data + s.start;
        // A delimiter can be compared only where the whole of it is held; the bytes after the last
        // such start may begin one and wait for the next block.
        size_t starts = held - length + 1;
        for (size_t at = 0; at < starts; ++at) {
            const void *hit = memchr(bytes + at, delim[0], starts - at);
            if (hit == nullptr)
                break;
            at = static_cast<size_t>(static_cast<const unsigned char *>(hit) - bytes);
            if (memcmp(bytes + at + 1, delim + 1, length - 1) == 0) {
                sink_write(sink, bytes, at);
                s.start += at + length;
                return true;
            }
        }
        sink_write(sink, bytes, starts);
        s.start += starts;
    }
}

// Copies bytes to `sink` until the delimiter ("--boundary" before the first part, CR LF "--boundary"
// after that) has been read, then takes the CR LF that ends the boundary line. A closing "--" is
// left for the caller to see.
cgiParseResultType copy_to_boundary(body_reader &s, bool first, mp_sink &sink)
{
    char delimiter[delimiter_max + 8];
    int length = snprintf(delimiter, sizeof delimiter, "%s--%s", first ? "" : "\r\n", cgiMultipartBoundary);
    if (length <= 0 || length > delimiter_max)
        return cgiParseIO;
    if (!copy_past_delimiter(s, reinterpret_cast<const unsigned char *>(delimiter), static_cast<size_t>(length), sink))
        return cgiParseIO;

    // The end of the boundary line: CR LF, or a bare CR or LF as header lines may end; "--" closes the
    // form and stays for the caller.
    unsigned char after[2];
    size_t got = body_read(s, after, 2);
    if (got == 2 && after[0] == '-')
        body_unread(s, 2);
    else if (got == 2 && (after[0] == '\r' || after[0] == '\n') && !(after[0] == '\r' && after[1] == '\n'))
        body_unread(s, 1);
    else if (got == 1)
        body_unread(s, 1);
    if (sink.failed)
        return sink.file != nullptr ? cgiParseIO : cgiParseMemory;
    return cgiParseSuccess;
}

void copy_cut(char *out, const char *begin, size_t length)
{
    if (length > header_text_size - 1)
        length = header_text_size - 1;
    memcpy(out, begin, length);
    out[length] = '\0';
}

// Reads one header line into attribute and value; a line ends at CR, LF or CR LF. Returns whether
// both are non-empty (an empty or malformed line ends the header block).
bool read_header_line(body_reader &s, char *attr, char *value)
{
    size_t attr_length = 0, value_length = 0;
    bool in_value = false;
    for (;;) {
        int c = body_getc(s);
        if (c < 0)
            break;
        if (c == '\r') {
            int next = body_getc(s);
            if (next >= 0 && next != '\n')
                body_unread(s, 1);
            break;
        }
        if (c == '\n')
            break;
        if (!in_value) {
            if (c == ':' && attr_length > 0)
                in_value = true;
            else if (!isspace(c) && attr_length < header_text_size - 1)
                attr[attr_length++] = static_cast<char>(c);
        } else if (value_length == 0 && isspace(c)) {
            continue;
        } else if (value_length < header_text_size - 1) {
            value[value_length++] = static_cast<char>(c);
        }
    }
    attr[attr_length] = '\0';
    value[value_length] = '\0';
    return attr_length > 0 && value_length > 0;
}

struct header_param {
    const char *name;
    char *value;  // header_text_size bytes
};

// Splits a header value into its first token and the wanted parameters (name=value or
// name="value"); parameters not present stay "".
void split_header_value(const char *text, char *first, header_param *params, int count)
{
    first[0] = '\0';
    for (int i = 0; i < count; ++i)
        params[i].value[0] = '\0';

    const char *p = text;
    while (isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (*p == '"') {
        const char *end = strchr(p + 1, '"');
        if (end == nullptr)
            end = p + strlen(p);
        copy_cut(first, p + 1, static_cast<size_t>(end - p - 1));
        p = *end ? end + 1 : end;
        while (*p != '\0' && *p != ';')
            ++p;
    } else {
        const char *end = strchrnul(p, ';');
        copy_cut(first, p, static_cast<size_t>(end - p));
        p = end;
    }

    while (*p == ';') {
        ++p;
        while (isspace(static_cast<unsigned char>(*p)))
            ++p;
        const char *name = p;
        while (isalnum(static_cast<unsigned char>(*p)))
            ++p;
        size_t name_length = static_cast<size_t>(p - name);
        while (isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (*p != '=')
            return;
        ++p;
        while (isspace(static_cast<unsigned char>(*p)))
            ++p;
        const char *value = p;
        size_t value_length;
        if (*p == '"') {
            value = p + 1;
            const char *end = strchr(value, '"');
            if (end == nullptr)
                end = value + strlen(value);
            value_length = static_cast<size_t>(end - value);
            p = *end ? end + 1 : end;
        } else {
            const char *end = strchrnul(p, ';');
            value_length = static_cast<size_t>(end - p);
            p = end;
        }
        for (int i = 0; i < count; ++i) {
            if (strlen(params[i].name) == name_length && strncasecmp(params[i].name, name, name_length) == 0)
                copy_cut(params[i].value, value, value_length);
        }
    }
}

// A new temporary file of mode 0600, open for writing; its device path goes to `device_path`.
FILE *open_temp_file(char *device_path, size_t size)
{
    std::string path = vx_path(temp_template);
    int fd = mkstemp(path.data());
    if (fd < 0)
        return nullptr;
    fchmod(fd, 0600);
    FILE *file = fdopen(fd, "w+b");
    if (file == nullptr) {
        close(fd);
        unlink(path.c_str());
        return nullptr;
    }
    // The device path is the template with mkstemp's six characters.
    size_t prefix = path.size() - strlen(temp_template);
    snprintf(device_path, size, "%s", path.c_str() + prefix);
    return file;
}


void replace_text(char *&field, char *text)
{
    free(field);
    field = text;
}

struct part_headers {
    char attr[header_text_size];
    char value[header_text_size];
    char disposition[header_text_size];
    char name[header_text_size];
    char file_name[header_text_size];
    char content_type[header_text_size];
};

void read_part_headers(body_reader &s, part_headers &h)
{
    h.disposition[0] = h.name[0] = h.file_name[0] = h.content_type[0] = '\0';
    while (read_header_line(s, h.attr, h.value)) {
        if (strcasecmp(h.attr, "Content-Disposition") == 0) {
            header_param params[] = {{"name", h.name}, {"filename", h.file_name}};
            split_header_value(h.value, h.disposition, params, 2);
        } else if (strcasecmp(h.attr, "Content-Type") == 0) {
            split_header_value(h.value, h.content_type, nullptr, 0);
        }
    }
}

// Parses one form-data part whose headers are read; appends its entry.
cgiParseResultType parse_part_content(body_reader &s, const part_headers &h)
{
    char temp_path[64] = "";
    mp_sink sink{};
    if (h.file_name[0] != '\0') {
        sink.file = open_temp_file(temp_path, sizeof temp_path);
        if (sink.file == nullptr)
            return cgiParseIO;
    } else {
        sink.data = static_cast<unsigned char *>(malloc(memory_start_size));
        if (sink.data == nullptr)
            return cgiParseMemory;
        sink.capacity = memory_start_size;
    }

    cgiParseResultType result = copy_to_boundary(s, false, sink);
    if (sink.file != nullptr && fclose(sink.file) != 0 && result == cgiParseSuccess)
        result = cgiParseIO;
    if (result != cgiParseSuccess) {
        if (temp_path[0] != '\0')
            unlink(vx_path(temp_path).c_str());
        free(sink.data);
        return result;
    }

    cgiFormEntry *entry = cgi_form_entry_new();
    char *value = nullptr;
    if (entry != nullptr) {
        if (sink.data != nullptr) {
            sink.data[sink.size] = '\0';
            value = static_cast<char *>(realloc(sink.data, sink.size + 1));
            if (value == nullptr)
                value = reinterpret_cast<char *>(sink.data);
            sink.data = nullptr;
        } else {
            value = strdup("");
        }
    }
    char *attr = entry ? strdup(h.name) : nullptr;
    char *file_name = entry ? strdup(h.file_name) : nullptr;
    char *content_type = entry ? strdup(h.content_type) : nullptr;
    char *tfile = entry ? strdup(temp_path) : nullptr;
    if (!entry || !value || !attr || !file_name || !content_type || !tfile) {
        free(sink.data);
        free(value);
        free(attr);
        free(file_name);
        free(content_type);
        if (temp_path[0] != '\0')
            unlink(vx_path(temp_path).c_str());
        free(tfile);
        cgi_form_entry_free(entry, false);
        return cgiParseMemory;
    }
    replace_text(entry->attr, attr);
    replace_text(entry->value, value);
    replace_text(entry->fileName, file_name);
    replace_text(entry->contentType, content_type);
    replace_text(entry->tfileName, tfile);
    entry->valueLength = sink.length > INT_MAX ? INT_MAX : static_cast<int>(sink.length);
    cgi_form_list_append(entry);
    return cgiParseSuccess;
}
}  // namespace

cgiParseResultType cgiParseMultipartInput()
{
    if (cgiContentLength <= 0)
        return cgiParseSuccess;

    body_reader s;
    body_start(s);
    static part_headers h;

    // Anything before the first boundary line is not ours; a body without one is an empty form.
    mp_sink skip{};
    cgiParseResultType result = copy_to_boundary(s, true, skip);
    if (result == cgiParseIO)
        return cgiParseSuccess;
    if (result != cgiParseSuccess)
        return result;

    for (;;) {
        unsigned char mark[2];
        size_t got = body_read(s, mark, 2);
        if (got < 2 || (mark[0] == '-' && mark[1] == '-'))
            return cgiParseSuccess;
        body_unread(s, 2);

        read_part_headers(s, h);
        if (strcasecmp(h.disposition, "form-data") != 0) {
            // Not a form field: pass over its content so the next part is read from its own headers.
            // A body that ends in it has lost nothing that would have been kept.
            result = copy_to_boundary(s, false, skip);
            if (result == cgiParseIO)
                return cgiParseSuccess;
        } else {
            result = parse_part_content(s, h);
        }
        if (result != cgiParseSuccess)
            return result;
    }
}
