// URL coding and bounded text copies of the platform text helpers.
#include "vxrt/vx_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
// Runs a coder into a buffer of `size` bytes inside a larger one, so that a write past the end shows.
struct coded {
    int result;
    std::string text;
    bool overran;
};

coded run(int (*coder)(const char *, char *, size_t), const std::string &input, size_t size)
{
    char buffer[512];
    memset(buffer, '#', sizeof buffer);
    int result = coder(input.c_str(), buffer, size);
    bool overran = buffer[size] != '#';
    return {result, std::string(buffer, strnlen(buffer, size)), overran};
}
}  // namespace

TEST(UrlEncode, KeepsUnreservedCharactersAndEscapesEveryOtherByte)
{
    coded c = run(get_url_encode, "Ab9-._~ &=/%+:@\"\x01\xC3\xA9", 128);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.text, "Ab9-._~%20%26%3D%2F%25%2B%3A%40%22%01%C3%A9");
    // The longest account text (32 characters, all escaped) fits the disk list's 128-byte field.
    EXPECT_EQ(run(get_url_encode, std::string(32, '%'), 128).text.size(), 96u);
}

TEST(UrlEncode, CutsBetweenWholeEscapesAndNeverOverruns)
{
    for (size_t size = 1; size <= 8; ++size) {
        coded c = run(get_url_encode, "ab c", size);
        EXPECT_FALSE(c.overran) << size;
        EXPECT_EQ(c.result, size >= 7 ? 0 : -1) << size;
        const char *expected[] = {"", "", "a", "ab", "ab", "ab", "ab%20", "ab%20c", "ab%20c"};
        EXPECT_EQ(c.text, expected[size]) << size;
    }
    char out[4] = "xyz";
    EXPECT_EQ(get_url_encode(nullptr, out, sizeof out), -1);
    EXPECT_EQ(get_url_encode("a", out, 0), -1);
    EXPECT_STREQ(out, "xyz");
    EXPECT_EQ(get_url_encode("a", nullptr, 4), -1);
}

TEST(UrlDecode, DecodesEscapesAndKeepsMalformedOnes)
{
    EXPECT_EQ(run(get_url_decode, "%41b%2fc+d%C3%A9", 64).text, "Ab/c+d\xC3\xA9");
    EXPECT_EQ(run(get_url_decode, "100% %zz%4%", 64).text, "100% %zz%4%");
    EXPECT_EQ(run(get_url_decode, "ab%00cd", 64).text, "ab");
    // Every byte survives a round trip.
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    char encoded[1024];
    ASSERT_EQ(get_url_encode(all.c_str(), encoded, sizeof encoded), 0);
    EXPECT_EQ(run(get_url_decode, encoded, 300).text, all);
}

TEST(UrlDecode, CutsToTheBufferAndNeverOverruns)
{
    coded c = run(get_url_decode, "%41%42%43", 3);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.text, "AB");
    EXPECT_FALSE(c.overran);
    c = run(get_url_decode, "%41%42%43", 4);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.text, "ABC");
    EXPECT_EQ(get_url_decode("a", nullptr, 4), -1);
}

TEST(CopyText, ReadsAFieldWithoutItsZeroWithinTheField)
{
    const char field[4] = {'a', 'b', 'c', 'd'};  // no terminating zero, followed by other data
    char out[8];
    memset(out, '#', sizeof out);
    EXPECT_EQ(vx_copy_text(out, sizeof out, field, sizeof field), 4u);
    EXPECT_EQ(std::string(out, sizeof out), std::string("abcd\0\0\0\0", 8));
    EXPECT_EQ(vx_copy_text(out, 3, field, sizeof field), 2u);
    EXPECT_STREQ(out, "ab");
}
