// The multipart parser run in this process against bodies built here.
#include "unit/multipart_fixture.h"

#include <sys/stat.h>

#include <algorithm>

namespace {
std::string all_byte_values()
{
    std::string bytes;
    for (int round = 0; round < 2; ++round) {
        for (int c = 0; c < 256; ++c)
            bytes.push_back(static_cast<char>(c));
    }
    return bytes;
}
}  // namespace

TEST_F(MultipartTest, TwoPartUploadGivesTheFieldThenTheFileInItsOwnTemporaryFile)
{
    const std::string data("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\xff", 18);
    const std::string body = mp_field("bnd", "param", "7") +
                             mp_file("bnd", "file", "camera.bin", data, "image/png; charset=binary") +
                             mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);

    auto list = entries();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0]->attr, "param");
    EXPECT_EQ(value_of(list[0]), "7");
    EXPECT_STREQ(list[0]->fileName, "");
    EXPECT_STREQ(list[0]->contentType, "");
    EXPECT_STREQ(list[0]->tfileName, "");

    const cgiFormEntry *file = list[1];
    EXPECT_STREQ(file->attr, "file");
    EXPECT_STREQ(file->value, "");
    EXPECT_EQ(file->valueLength, static_cast<int>(data.size()));
    EXPECT_STREQ(file->fileName, "camera.bin");
    EXPECT_STREQ(file->contentType, "image/png");

    // A device path: the template with mkstemp's six characters, under the private root on disk.
    const std::string temp = file->tfileName;
    EXPECT_EQ(temp.rfind("/tmp/cgic", 0), 0u) << temp;
    EXPECT_EQ(temp.size(), strlen("/tmp/cgic") + 6) << temp;
    EXPECT_EQ(temp.find("XXXXXX"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(root_.file(temp).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_size, static_cast<off_t>(data.size()));
    EXPECT_EQ(temp_file_content(file), data);
}

// Content that resembles the delimiter, for a boundary: stored unchanged in memory and in a file.
struct near_miss {
    const char *boundary;
    std::string content;
};

void PrintTo(const near_miss &c, std::ostream *out)
{
    *out << "boundary \"" << c.boundary << "\", " << c.content.size() << " content bytes";
}

class MultipartNearMiss : public MultipartTest, public ::testing::WithParamInterface<near_miss> {};

TEST_P(MultipartNearMiss, ContentIsStoredUnchanged)
{
    const near_miss &c = GetParam();
    const std::string body = mp_field(c.boundary, "text", c.content) +
                             mp_file(c.boundary, "file", "f.bin", c.content) +
                             mp_field(c.boundary, "after", "end") + mp_close(c.boundary);
    ASSERT_EQ(parse(body, c.boundary), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(value_of(list[0]), c.content);
    EXPECT_EQ(list[0]->value[list[0]->valueLength], '\0');
    EXPECT_EQ(list[1]->valueLength, static_cast<int>(c.content.size()));
    EXPECT_EQ(temp_file_content(list[1]), c.content);
    EXPECT_EQ(value_of(list[2]), "end");
}

INSTANTIATE_TEST_SUITE_P(
    Delimiters, MultipartNearMiss,
    ::testing::Values(near_miss{"bnd", "a\r\n--bn b"}, near_miss{"bnd", "a\r\n--bnX"}, near_miss{"bnd", "\r\n-x"},
                      near_miss{"bnd", "\r\r\n--bn\r\n--b"}, near_miss{"bnd", "--bnd\r\nat the start"},
                      near_miss{"bnd", "at the end\r\n--bn"}, near_miss{"bnd", "ends in CR\r"},
                      near_miss{"bnd", "ends in CR LF\r\n"}, near_miss{"bnd", "ends in a dash\r\n-"},
                      near_miss{"bnd", "ends in two dashes\r\n--"}, near_miss{"bnd", ""},
                      near_miss{"bnd", all_byte_values()},
                      // Self-overlapping boundary: a failed match restarts inside the bytes given back.
                      near_miss{"aaa", "\r\n--aa\r\n--a"}, near_miss{"aaa", "\r\n--aa"},
                      near_miss{"ab", "\r\n--a"}, near_miss{"ab", "x\r\n--a\r\n--a-\r\n--"},
                      near_miss{"--", "\r\n---\r\n-"}));

TEST_F(MultipartTest, LongRunsOfNearMissesAreKept)
{
    std::string content;
    for (int i = 0; i < 700; ++i)
        content += "\r\n--bn" + std::string(1, i % 256 == 'd' ? 'D' : static_cast<char>(i));
    const std::string body = mp_file("bnd", "file", "f", content) + mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(temp_file_content(list[0]), content);
}

// The first boundary is found inside a preamble that holds a failed start of it: the bytes given
// back after one failed match are read again before those still waiting from an earlier one.
TEST_F(MultipartTest, FirstBoundaryIsFoundAfterPartialMatchesInThePreamble)
{
    ASSERT_EQ(parse("--a" + mp_field("ab", "f", "v") + mp_close("ab"), "ab"), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0]->attr, "f");
    EXPECT_EQ(value_of(list[0]), "v");
    cgiFreeResources();

    ASSERT_EQ(parse("preamble text\r\n-- --a-" + mp_field("ab", "g", "w") + mp_close("ab"), "ab"), cgiParseSuccess);
    list = entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(value_of(list[0]), "w");
}

TEST_F(MultipartTest, DispositionParametersAndHeaderNames)
{
    const std::string long_name(2000, 'n');
    const std::string body =
        mp_part("bnd", "Content-Disposition: form-data; name=\"file\"; filename=\"a;b c.bin\"\r\n", "1") +
        mp_part("bnd", "content-disposition: FORM-DATA; size=12; name=plain; filename=x.bin\r\nCONTENT-TYPE: text/csv;q=1\r\n",
                "22") +
        mp_part("bnd", "Content-Disposition :  form-data;  name = \"spaced\"\r\n", "333") +
        mp_part("bnd", "Content-Disposition: form-data; name=\"" + long_name + "\"\r\n", "4") +
        "--bnd\nContent-Disposition: form-data; name=\"lf\"\n\nbare LF lines\r\n" + mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_STREQ(list[0]->attr, "file");
    EXPECT_STREQ(list[0]->fileName, "a;b c.bin");
    EXPECT_EQ(temp_file_content(list[0]), "1");

    EXPECT_STREQ(list[1]->attr, "plain");
    EXPECT_STREQ(list[1]->fileName, "x.bin");
    EXPECT_STREQ(list[1]->contentType, "text/csv");
    EXPECT_EQ(temp_file_content(list[1]), "22");

    EXPECT_STREQ(list[2]->attr, "spaced");
    EXPECT_EQ(value_of(list[2]), "333");

    // The header value is cut to 1023 characters before it is split.
    EXPECT_EQ(std::string(list[3]->attr), long_name.substr(0, 1023 - strlen("form-data; name=\"")));
    EXPECT_STREQ(list[4]->attr, "lf");
    EXPECT_EQ(value_of(list[4]), "bare LF lines");
}

// A part that is no form field (or has no disposition at all) creates no entry, and its content,
// however much it looks like headers, is passed over: the parts after it are read as they are.
TEST_F(MultipartTest, PartThatIsNoFormFieldIsPassedOverWhole)
{
    const std::string forged = "Content-Disposition: form-data; name=\"forged\"\r\n\r\nnot a field";
    const std::string body = mp_part("bnd", "Content-Disposition: attachment; name=\"mixed\"\r\n", forged) +
                             mp_part("bnd", "", "no headers at all") +
                             mp_part("bnd", "Content-Type: text/plain\r\n", forged) +
                             mp_file("bnd", "file", "fw.bin", "DATA") + mp_field("bnd", "param", "p") +
                             mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0]->attr, "file");
    EXPECT_EQ(temp_file_content(list[0]), "DATA");
    EXPECT_STREQ(list[1]->attr, "param");
    EXPECT_EQ(cgiFormEntryFindFirst("forged"), nullptr);
    EXPECT_EQ(cgiFormEntryFindFirst("mixed"), nullptr);
}

TEST_F(MultipartTest, EmptyAndBoundlessBodiesAreEmptySubmissions)
{
    const std::string full = mp_field("bnd", "a", "1") + mp_close("bnd");
    EXPECT_EQ(parse(full, "bnd", 0), cgiParseSuccess);
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(consumed(), 0);

    EXPECT_EQ(parse("", "bnd", 100), cgiParseSuccess);
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(parse("no boundary anywhere in this body\r\n--bn", "bnd"), cgiParseSuccess);
    EXPECT_TRUE(entries().empty());
    // Only the boundary line, then the end: complete, nothing in it.
    EXPECT_EQ(parse("--bnd\r\n"), cgiParseSuccess);
    EXPECT_EQ(parse("--bnd"), cgiParseSuccess);
    EXPECT_EQ(parse("--bnd--"), cgiParseSuccess);
    EXPECT_TRUE(entries().empty());
}

TEST_F(MultipartTest, PreambleIsSkippedAndTheClosingBoundaryEndsTheForm)
{
    const std::string body = "This is a preamble.\r\n--bn\r\n" + mp_field("bnd", "early", "1") + mp_close("bnd") +
                             mp_field("bnd", "late", "2") + mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0]->attr, "early");

    // Without the closing "--" the form ends with the body.
    ASSERT_EQ(parse(mp_field("bnd", "x", "1") + mp_field("bnd", "y", "2") + "--bnd\r\n"), cgiParseSuccess);
    EXPECT_EQ(entries().size(), 2u);
}

TEST_F(MultipartTest, NeverReadsBeyondTheDeclaredLength)
{
    const std::string first = mp_field("bnd", "first", "1") + "--bnd";
    const std::string body = first + "\r\n" + mp_field("bnd", "second", "2").substr(7) + mp_close("bnd");
    ASSERT_EQ(parse(body, "bnd", static_cast<long>(first.size())), cgiParseSuccess);
    EXPECT_LE(consumed(), static_cast<long>(first.size()));
    auto list = entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0]->attr, "first");

    // Declared longer than the body: the parser stops at the end of the input, the form complete.
    const std::string whole = mp_file("bnd", "file", "f", "abc") + mp_close("bnd");
    ASSERT_EQ(parse(whole, "bnd", static_cast<long>(whole.size()) + 4096), cgiParseSuccess);
    ASSERT_EQ(entries().size(), 1u);
    EXPECT_EQ(temp_file_content(entries()[0]), "abc");
}

TEST_F(MultipartTest, BodyEndingInsideAPartFailsAndRemovesThatPartsFile)
{
    const std::string complete = mp_field("bnd", "param", "7") + mp_file("bnd", "file", "one.bin", "first file");
    const std::string cut_file = complete + "--bnd\r\nContent-Disposition: form-data; name=\"file2\"; "
                                            "filename=\"two.bin\"\r\n\r\nhalf of the sec";
    EXPECT_EQ(parse(cut_file, "bnd", static_cast<long>(cut_file.size()) + 100), cgiParseIO);
    // The complete entries stay for the clean-up; the cut part left no file behind.
    auto list = entries();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(temp_files(), std::vector<std::string>{std::string(list[1]->tfileName).substr(5)});
    cgiFreeResources();
    EXPECT_TRUE(temp_files().empty());

    EXPECT_EQ(parse(complete + "--bnd\r\nContent-Disposition: form-data; name=\"v\"\r\n\r\nshort"), cgiParseIO);
    EXPECT_EQ(parse(complete + "--bnd\r\nContent-Disposition: form-data; name=\"v\"\r\n\r\nshort\r\n--bn"), cgiParseIO);
    EXPECT_EQ(entries().size(), 2u);
    cgiFreeResources();
    EXPECT_TRUE(temp_files().empty());
}

// What a skipped part would have held is lost either way; the fields before it are whole.
TEST_F(MultipartTest, BodyEndingInsideAPassedOverPartEndsTheForm)
{
    const std::string body = mp_field("bnd", "param", "7") +
                             "--bnd\r\nContent-Disposition: attachment\r\n\r\nnever ends";
    ASSERT_EQ(parse(body), cgiParseSuccess);
    ASSERT_EQ(entries().size(), 1u);
    // Headers cut in the middle: no disposition, nothing to keep.
    ASSERT_EQ(parse(mp_field("bnd", "param", "7") + "--bnd\r\nContent-Dispos"), cgiParseSuccess);
    ASSERT_EQ(entries().size(), 1u);
}

TEST_F(MultipartTest, FieldValuesOfAnySizeKeepEveryByte)
{
    for (size_t size : {255u, 256u, 257u, 511u, 512u, 513u, 5000u}) {
        std::string content;
        for (size_t i = 0; i < size; ++i)
            content.push_back(static_cast<char>(i % 7 == 3 ? 0 : 'a' + i % 26));
        ASSERT_EQ(parse(mp_field("bnd", "v", content) + mp_close("bnd")), cgiParseSuccess) << size;
        auto list = entries();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->valueLength, static_cast<int>(size));
        EXPECT_EQ(value_of(list[0]), content) << size;
        EXPECT_EQ(list[0]->value[size], '\0');
        cgiFreeResources();
    }
}

TEST_F(MultipartTest, EveryFilePartHasItsOwnTemporaryFileAndTheCleanUpRemovesThemAll)
{
    std::string body;
    for (int i = 0; i < 12; ++i) {
        const std::string number = std::to_string(i);  // named: see tests/support/catalogue.cpp
        body += mp_file("bnd", "f" + number, "n" + number, std::string(100 * i, 'x'));
    }
    body += mp_close("bnd");
    ASSERT_EQ(parse(body), cgiParseSuccess);
    auto list = entries();
    ASSERT_EQ(list.size(), 12u);
    std::vector<std::string> temps;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i]->valueLength, static_cast<int>(100 * i));
        EXPECT_EQ(temp_file_content(list[i]).size(), 100 * i);
        temps.push_back(list[i]->tfileName);
    }
    std::sort(temps.begin(), temps.end());
    EXPECT_EQ(std::unique(temps.begin(), temps.end()), temps.end());
    EXPECT_EQ(temp_files().size(), 12u);

    cgiFreeResources();
    EXPECT_TRUE(temp_files().empty());
    EXPECT_TRUE(entries().empty());
}

// A temporary file that cannot be made fails the parse; nothing is left half built.
TEST_F(MultipartTest, UncreatableTemporaryFileFailsTheParse)
{
    std::filesystem::remove_all(root_.file("/tmp"));
    const std::string body = mp_field("bnd", "param", "7") + mp_file("bnd", "file", "f", "abc") + mp_close("bnd");
    EXPECT_EQ(parse(body), cgiParseIO);
    ASSERT_EQ(entries().size(), 1u);
    std::filesystem::create_directories(root_.file("/tmp"));
}

// Every delimiter, near miss, line end and closing mark of these bodies lands on every position
// relative to a block edge: the preamble grows by one byte per parse, through more than a block.
TEST_F(MultipartTest, BlockEdgesAnywhereInTheBodyChangeNothing)
{
    const std::string binary = all_byte_values();
    const std::string near_misses = "\r\n--bn\r\n--b\r\r\n-\r\n--bnD--bnd";
    // Boundary lines ended by a bare CR and a bare LF, header lines by LF and by CR, a part passed over.
    const std::string body_bnd = "--bnd\rContent-Disposition: form-data; name=\"a\"\r\n\r\n" + near_misses +
                                 "\r\n--bnd\nContent-Disposition: form-data; name=\"f\"; filename=\"f.bin\"\n"
                                 "Content-Type: x/y\r\r" +
                                 binary + near_misses + "\r\n" +
                                 mp_part("bnd", "Content-Disposition: attachment\r\n", "skipped\r\n--bn") +
                                 mp_field("bnd", "after", "") + mp_close("bnd");
    const std::vector<expected_entry> expected_bnd = {
        {"a", "", near_misses}, {"f", "f.bin", binary + near_misses}, {"after", "", ""}};
    // A failed match that restarts inside the bytes it gives back.
    const std::string overlap = "\r\n--aa\r\n--a\r\n--\r\n--aa-";
    const std::string body_aaa = "--aa--a" + mp_file("aaa", "f", "o.bin", overlap) + mp_field("aaa", "g", overlap) +
                                 mp_close("aaa");
    const std::vector<expected_entry> expected_aaa = {{"f", "o.bin", overlap}, {"g", "", overlap}};

    for (size_t block : {1, 2, 3, 5, 8, 13, 64}) {
        body_block_size = block;
        for (size_t shift = 0; shift <= block + 8; ++shift) {
            const std::string preamble = std::string(shift, '-');
            const std::string what = "block " + std::to_string(block) + ", shift " + std::to_string(shift);
            ASSERT_EQ(parse(preamble + "\r\n" + body_bnd), cgiParseSuccess) << what;
            expect_entries(expected_bnd, what);
            ASSERT_EQ(parse(preamble + "\r\n" + body_aaa, "aaa"), cgiParseSuccess) << what;
            expect_entries(expected_aaa, what);
            // Cut inside the file part, with the bytes still declared: the part fails, its file goes.
            const size_t cut = preamble.size() + 2 + body_bnd.find("x/y") + 100;
            ASSERT_EQ(parse((preamble + "\r\n" + body_bnd).substr(0, cut), "bnd", static_cast<long>(cut) + 50),
                      cgiParseIO)
                << what;
            ASSERT_EQ(entries().size(), 1u) << what;
            EXPECT_TRUE(temp_files().empty()) << what;
        }
    }
}

// The blocks the program reads by default: the delimiter after a file part that spans several blocks
// begins before, on and after a block edge, and a header line's CR LF is split by one.
TEST_F(MultipartTest, DelimiterAcrossTheDefaultBlockEdge)
{
    const std::string head = "--bnd\r\nContent-Disposition: form-data; name=\"f\"; filename=\"big\"\r\n\r\n";
    const size_t delimiter = strlen("\r\n--bnd");
    for (size_t edge : {body_block_max, 3 * body_block_max}) {
        for (size_t before = 0; before <= delimiter + 1; ++before) {
            std::string content(edge - before - head.size(), 'c');
            for (size_t i = 0; i < content.size(); i += 997)
                content[i] = '\r';
            ASSERT_EQ(parse(head + content + "\r\n" + mp_field("bnd", "v", std::string(edge, 'v')) + mp_close("bnd")),
                      cgiParseSuccess)
                << before;
            expect_entries({{"f", "big", content}, {"v", "", std::string(edge, 'v')}},
                           "delimiter " + std::to_string(before) + " bytes before byte " + std::to_string(edge));
        }
    }
    // A header line's CR the last byte of the first block, its LF the first of the next.
    const std::string line = "Content-Disposition: form-data; name=\"late\"\r\n";
    const std::string up_to_lf =
        std::string(body_block_max - line.size() - 8, 'p') + "\r\n--bnd\r\n" + line.substr(0, line.size() - 1);
    ASSERT_EQ(up_to_lf.size(), body_block_max);
    ASSERT_EQ(parse(up_to_lf + "\n\r\nvalue\r\n" + mp_close("bnd")), cgiParseSuccess);
    expect_entries({{"late", "", "value"}}, "split CR LF");
}

// The longest boundary a delimiter can hold is 1018 characters; with 1019 or 1020 only the first
// boundary line fits, so the first form field fails the parse while a part passed over does not;
// from 1021 on not even the first is looked for, and nothing is read.
TEST_F(MultipartTest, BoundaryTooLongForADelimiter)
{
    for (size_t length : {1018u, 1019u, 1020u, 1021u}) {
        const std::string b(length, 'b');
        const std::string what = std::to_string(length) + " characters";
        const cgiParseResultType field_result = parse(mp_field(b, "f", "1") + mp_close(b), b);
        if (length == 1018) {
            EXPECT_EQ(field_result, cgiParseSuccess) << what;
            expect_entries({{"f", "", "1"}}, what);
        } else {
            EXPECT_EQ(field_result, length < 1021 ? cgiParseIO : cgiParseSuccess) << what;
            EXPECT_TRUE(entries().empty()) << what;
            if (length == 1021) {
                EXPECT_EQ(consumed(), 0) << what;
            }
        }
        EXPECT_EQ(parse(mp_part(b, "Content-Disposition: inline\r\n", "x") + mp_file(b, "f", "n", "2") + mp_close(b), b),
                  cgiParseSuccess)
            << what;
        EXPECT_EQ(entries().size(), length == 1018 ? 1u : 0u) << what;
        EXPECT_TRUE(temp_files().empty() || length == 1018) << what;
    }
}
