// Lookups over the parsed form, and the two header writers.
#include "unit/multipart_fixture.h"

#include <ctime>

namespace {
// Everything the writer puts on a memory stream in place of standard output.
template <typename Write>
std::string captured(Write write)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *saved = cgiOut;
    cgiOut = open_memstream(&text, &size);
    write();
    fclose(cgiOut);
    cgiOut = saved;
    std::string out(text, size);
    free(text);
    return out;
}

std::string expected_cookie(const char *name, const char *value, time_t expires, const char *path,
                            const char *domain)
{
    struct tm gmt {};
    gmtime_r(&expires, &gmt);
    char when[64];
    strftime(when, sizeof when, "%a, %d-%b-%Y %H:%M:%S GMT", &gmt);  // C locale: English names
    return std::string("Set-Cookie: ") + name + "=" + value + "; domain=" + domain + "; expires=" + when +
           "; path=" + path + "\r\n";
}
}  // namespace

TEST_F(MultipartTest, LookupFindsTheFirstEntryOfAnExactName)
{
    const std::string body = mp_field("bnd", "name", "first") + mp_field("bnd", "Name", "other case") +
                             mp_field("bnd", "name", "second") + mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);
    ASSERT_NE(cgiFormEntryFindFirst("name"), nullptr);
    EXPECT_STREQ(cgiFormEntryFindFirst("name")->value, "first");
    EXPECT_STREQ(cgiFormEntryFindFirst("Name")->value, "other case");
    EXPECT_EQ(cgiFormEntryFindFirst("NAME"), nullptr);
    EXPECT_EQ(cgiFormEntryFindFirst("nam"), nullptr);
    EXPECT_EQ(cgiFormEntryFindFirst(""), nullptr);
    EXPECT_EQ(cgiFormEntryFindFirst(nullptr), nullptr);
}

TEST_F(MultipartTest, FileNameIsCopiedCutOrReportedMissing)
{
    const std::string body = mp_file("bnd", "file", "C:\\up\\fw.bin", "x") + mp_field("bnd", "param", "7") +
                             mp_file("bnd", "file", "second.bin", "y") + mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);

    char buffer[32];
    EXPECT_EQ(cgiFormFileName("file", buffer, sizeof buffer), cgiFormSuccess);
    EXPECT_STREQ(buffer, "C:\\up\\fw.bin");  // the first "file" field

    // Exactly fitting, then one character short.
    EXPECT_EQ(cgiFormFileName("file", buffer, 13), cgiFormSuccess);
    EXPECT_STREQ(buffer, "C:\\up\\fw.bin");
    EXPECT_EQ(cgiFormFileName("file", buffer, 12), cgiFormTruncated);
    EXPECT_STREQ(buffer, "C:\\up\\fw.bi");
    EXPECT_EQ(cgiFormFileName("file", buffer, 1), cgiFormTruncated);
    EXPECT_STREQ(buffer, "");

    strcpy(buffer, "stale");
    EXPECT_EQ(cgiFormFileName("param", buffer, sizeof buffer), cgiFormNoFileName);
    EXPECT_STREQ(buffer, "");
    strcpy(buffer, "stale");
    EXPECT_EQ(cgiFormFileName("missing", buffer, sizeof buffer), cgiFormNotFound);
    EXPECT_STREQ(buffer, "");
}

// The expiry is the given seconds from now in universal time, with English day and month names:
// offsets land on every weekday and month name, and a local zone far from UTC shows a writer that
// used local time.
TEST(FormHeaders, CookieExpiresTheGivenSecondsFromNowInUniversalTime)
{
    const char *saved_tz = getenv("TZ");
    std::string old_tz = saved_tz ? saved_tz : "";
    setenv("TZ", "NPT-5:45", 1);
    tzset();
    for (int day = 0; day < 400; day += 31) {
        int seconds = day * 86400 + 3723;
        time_t before = time(nullptr);
        std::string out = captured([&] { cgiHeaderCookieSetString("SID", "ab12", seconds, "/p", "192.0.2.7"); });
        time_t after = time(nullptr);
        bool matched = false;
        for (time_t t = before; t <= after; ++t)
            matched = matched || out == expected_cookie("SID", "ab12", t + seconds, "/p", "192.0.2.7");
        EXPECT_TRUE(matched) << out << "expected e.g. "
                             << expected_cookie("SID", "ab12", before + seconds, "/p", "192.0.2.7");
    }
    if (saved_tz)
        setenv("TZ", old_tz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// Request text (the domain comes from HTTP_HOST) must not be able to end the header and start another.
TEST(FormHeaders, LineBreaksNeverReachTheHeaders)
{
    std::string cookie = captured([] {
        cgiHeaderCookieSetString("a\r\nSet-Cookie: x", "v\n1", 60, "/\r", "evil.example\r\n\r\n<html>");
    });
    EXPECT_EQ(cookie.find_first_of("\r\n"), cookie.size() - 2) << cookie;
    EXPECT_EQ(cookie.rfind("Set-Cookie: aSet-Cookie: x=v1; domain=evil.example<html>; expires=", 0), 0u) << cookie;
    EXPECT_NE(cookie.find(" GMT; path=/\r\n"), std::string::npos) << cookie;

    EXPECT_EQ(captured([] { cgiHeaderLocation("/login.html?lang=en"); }), "Location: /login.html?lang=en\r\n\r\n");
    EXPECT_EQ(captured([] { cgiHeaderLocation("/x\r\nSet-Cookie: a=b"); }), "Location: /xSet-Cookie: a=b\r\n\r\n");
}
