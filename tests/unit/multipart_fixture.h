// Runs the multipart parser in this process: the body comes from a memory stream, the boundary from
// a buffer of the test, temporary files go to a private VX_ROOT. A test may lower the size of the
// blocks the parser reads; it is back at the default for the next test.
#pragma once

#include "front/cgi_body_reader.h"
#include "front/cgi_form_list.h"
#include "support/cgi_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

class MultipartTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VX_ROOT", root_.path().c_str(), 1); }

    void TearDown() override
    {
        cgiFreeResources();
        close_input();
        cgiMultipartBoundary = saved_boundary_;
        cgiContentLength = 0;
        body_block_size = body_block_max;
        unsetenv("VX_ROOT");
    }

    // Parses `body` with `boundary` into a fresh entry list; `declared` is CONTENT_LENGTH (-1: the
    // body's size).
    cgiParseResultType parse(const std::string &body, const std::string &boundary = "bnd", long declared = -1)
    {
        cgiFreeResources();
        close_input();
        body_ = body;
        snprintf(boundary_, sizeof boundary_, "%s", boundary.c_str());
        cgiMultipartBoundary = boundary_;
        cgiContentLength = static_cast<int>(declared < 0 ? static_cast<long>(body_.size()) : declared);
        // fmemopen refuses a zero-sized buffer; one spare byte beyond the body is never part of it.
        body_.push_back('\0');
        cgiIn = fmemopen(body_.data(), body_.size() - 1 > 0 ? body_.size() - 1 : 1, "rb");
        if (body.empty())
            fgetc(cgiIn);  // an empty stream: already at its end
        return cgiParseMultipartInput();
    }

    // Bytes taken from the stream so far.
    long consumed() const { return ftell(cgiIn); }

    static std::vector<const cgiFormEntry *> entries()
    {
        std::vector<const cgiFormEntry *> list;
        for (const cgiFormEntry *e = cgi_form_list_first(); e != nullptr; e = e->next)
            list.push_back(e);
        return list;
    }

    static std::string value_of(const cgiFormEntry *e) { return std::string(e->value, e->valueLength); }

    std::string temp_file_content(const cgiFormEntry *e) const { return read_file(root_.file(e->tfileName)); }

    struct expected_entry {
        std::string name, file_name, content;  // file_name "" for an ordinary field
    };

    // Checks the entry list against `expected`, contents read back from memory or from the files.
    void expect_entries(const std::vector<expected_entry> &expected, const std::string &what) const
    {
        auto list = entries();
        ASSERT_EQ(list.size(), expected.size()) << what;
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_STREQ(list[i]->attr, expected[i].name.c_str()) << what;
            EXPECT_STREQ(list[i]->fileName, expected[i].file_name.c_str()) << what;
            EXPECT_EQ(list[i]->valueLength, static_cast<int>(expected[i].content.size())) << what;
            const std::string content =
                expected[i].file_name.empty() ? value_of(list[i]) : temp_file_content(list[i]);
            EXPECT_EQ(content, expected[i].content) << what;
        }
    }

    // Names of the files in the private /tmp.
    std::vector<std::string> temp_files() const
    {
        std::vector<std::string> names;
        for (const auto &f : std::filesystem::directory_iterator(root_.file("/tmp")))
            names.push_back(f.path().filename().string());
        return names;
    }

    test_root root_;

private:
    void close_input()
    {
        if (cgiIn != nullptr && cgiIn != stdin)
            fclose(cgiIn);
        cgiIn = nullptr;
    }

    std::string body_;
    char boundary_[1024] = "";
    char *saved_boundary_ = cgiMultipartBoundary;
};

// One part of a body with boundary `boundary`: the boundary line, the headers, an empty line, the
// content and the CR LF that belongs to the next delimiter.
inline std::string mp_part(const std::string &boundary, const std::string &headers, const std::string &content)
{
    return "--" + boundary + "\r\n" + headers + "\r\n" + content + "\r\n";
}

inline std::string mp_field(const std::string &boundary, const std::string &name, const std::string &content)
{
    return mp_part(boundary, "Content-Disposition: form-data; name=\"" + name + "\"\r\n", content);
}

inline std::string mp_file(const std::string &boundary, const std::string &name, const std::string &file_name,
                           const std::string &content, const std::string &type = "application/octet-stream")
{
    return mp_part(boundary,
                   "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file_name +
                       "\"\r\nContent-Type: " + type + "\r\n",
                   content);
}

inline std::string mp_close(const std::string &boundary)
{
    return "--" + boundary + "--\r\n";
}
