// The log search, the detail text and the type catalogue through the real program: the query bytes
// the main service reads, the answers made of its replies, and what each page refuses.
#include "e2e/log_pages.h"
#include "support/device_root.h"
#include "vxdb/vxdb_param.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

#include <string>
#include <vector>

using namespace log_pages;

namespace {
std::string json_ints(const std::vector<int> &values)
{
    std::string text = "[ ";
    for (size_t i = 0; i < values.size(); ++i)
        text += (i > 0 ? ", " : "") + std::to_string(values[i]);
    return text + " ]";
}

std::vector<int> detail_words(std::vector<std::pair<size_t, int>> set)
{
    std::vector<int> words(128, 0);
    for (const auto &[at, value] : set)
        words[at] = value;
    return words;
}

const std::string empty_page = JSON + "{ \"count\": 0, \"num\": 0, \"curPageNum\": 3, \"log\": [ ] }";

exchange_row search_row(const std::string &body, const std::string &query, const std::string &answer = empty_page)
{
    return {.request = log_post("/1002", body),
            .script = {replies(LOG_SEARCH, page_reply(0, 0))},
            .sent = {asks(LOG_SEARCH, query)},
            .answer = answer};
}

exchange_row refused_search(const std::string &body)
{
    return {.request = log_post("/1002", body, NO_REPLY_WAIT_MS), .answer = JSON_ERROR};
}

json_object *member(json_object *object, const char *key)
{
    json_object *value = nullptr;
    json_object_object_get_ex(object, key, &value);
    return value;
}
}  // namespace

TEST(LogSearch, SendsTheQueryOfTheBody)
{
    const std::string mask_70 = "1" + std::string(62, '0') + "1" + std::string(6, '1');
    run_exchanges({
        search_row(json_of(search_body), query_bytes(2, {11, 12}, 3, 0b0101, 1)),
        // Only the first 64 characters of the mask are channels.
        search_row(json_of(search_body, {{"chnMask", "\"" + mask_70 + "\""}}),
                   query_bytes(2, {11, 12}, 3, 1 | uint64_t{1} << 63, 1)),
        // Every type, no mask, and no sub-type expansion for a search.
        search_row(json_of(search_body, {{"mainType", "4"}, {"subTypeArr", "[11,10,10]"}}, {"chnMask", "searchNoChn"}),
                   query_bytes(4, {11, 10, 10}, 3, 0, 0)),
        search_row(json_of(search_body, {{"mainType", "1"}, {"subTypeArr", "[10]"}, {"curPageNum", "0"}}),
                   query_bytes(1, {10}, 0, 0b0101, 1),
                   JSON + "{ \"count\": 0, \"num\": 0, \"curPageNum\": 0, \"log\": [ ] }"),
    });
}

TEST(LogSearch, RefusesQueriesThatAreNotOnesWithTheErrorFormAndSendsNothing)
{
    std::string hundred_and_one = "[11";
    for (int i = 0; i < 100; ++i)
        hundred_and_one += ",12";
    hundred_and_one += "]";
    std::vector<exchange_row> rows;
    for (const char *key : {"language", "mainType", "subTypeArr", "startTime", "endTime", "curPageNum"})
        rows.push_back(refused_search(json_of(search_body, {}, {key})));
    for (const members &wrong : std::vector<members>{
             {{"mainType", "0"}}, {{"mainType", "65"}}, {{"subTypeArr", "[]"}}, {{"subTypeArr", "[9,11]"}},
             {{"subTypeArr", "[\"11\"]"}}, {{"subTypeArr", "11"}}, {{"subTypeArr", hundred_and_one}},
             {{"startTime", "\"2026-12-01T00:00:00\""}}, {{"startTime", "\"2026-13-01 00:00:00\""}},
             {{"endTime", "\"2026-12-08 23:59:59 tomorrow\""}}, {{"endTime", "\"\""}}})
        rows.push_back(refused_search(json_of(search_body, wrong)));
    rows.push_back(refused_search("not json"));
    rows.push_back(refused_search("[1]"));
    run_exchanges(rows);
}

TEST(LogSearch, AnswersThePageEntryByEntry)
{
    operation_log format = entry(4, 207, DEC_7_MORNING, 900, 3, "admin", "::ffff:192.168.1.20");
    format.size = 16;
    memcpy(format.detail, "Disk 3", 6);
    memset(format.detail + 508, 0xff, 4);
    operation_log debug = entry(64, 999, DEC_1, 0, 0, "operator", "fe80::1%eth0");
    // Texts that fill their fields without an end: the address runs into the user name.
    operation_log full = entry(3, 11, DEC_8_END, 919, 64, std::string(64, 'u'), std::string(46, '9'));
    full.remote = 0;

    const std::string answer =
        JSON + "{ \"count\": 250, \"num\": 3, \"curPageNum\": 3, \"log\": [ "
        "{ \"no\": 0, \"mainTypeValue\": 4, \"mainType\": \"Operation\", \"subTypeValue\": 207, \"subType\": "
        "\"Remote disk format\", \"pts\": 1796638530, \"ptc\": \"2026-12-07 10:15:30\", \"parameterValue\": 900, "
        "\"parameter\": \"General\", \"remote\": 1, \"chanNo\": 3, \"disk\": 1, \"size\": 16, \"detail\": \"Disk 3\", "
        "\"detail2\": " + json_ints(detail_words({{0, 1147761515}, {1, 540213248}, {127, -1}})) +
        ", \"ip\": \"192.168.1.20\", \"user\": \"admin\" }, "
        "{ \"no\": 1, \"mainTypeValue\": 64, \"mainType\": \"Debug\", \"subTypeValue\": 999, \"subType\": \"\", "
        "\"pts\": 1796083200, \"ptc\": \"2026-12-01 00:00:00\", \"parameterValue\": 0, \"parameter\": \"\", "
        "\"remote\": 1, \"chanNo\": 0, \"disk\": 0, \"size\": 0, \"detail\": \"\", \"detail2\": " +
        json_ints(detail_words({})) + ", \"ip\": \"fe80::1\", \"user\": \"operator\" }, "
        "{ \"no\": 2, \"mainTypeValue\": 3, \"mainType\": \"\", \"subTypeValue\": 11, \"subType\": "
        "\"Motion detection start\", \"pts\": 1796774399, \"ptc\": \"2026-12-08 23:59:59\", \"parameterValue\": 919, "
        "\"parameter\": \"Disk settings\", \"remote\": 0, \"chanNo\": 64, \"disk\": 0, \"size\": 0, \"detail\": \"\", "
        "\"detail2\": " + json_ints(detail_words({})) + ", \"ip\": \"" + std::string(46, '9') + "\", \"user\": \"" +
        std::string(64, 'u') + "\" } ] }";
    run_exchanges({
        {.request = log_post("/1002", json_of(search_body)),
         .script = {replies(LOG_SEARCH, page_reply(250, 3, {format, debug, full}))},
         .sent = {asks(LOG_SEARCH, query_bytes(2, {11, 12}, 3, 0b0101, 1))},
         .answer = answer},
        // A count the page cannot hold lists the page's slots; a negative one none.
        {.request = log_post("/1002", json_of(search_body)),
         .script = {replies(LOG_SEARCH, page_reply(7, -5, {format}))},
         .sent = {asks(LOG_SEARCH, query_bytes(2, {11, 12}, 3, 0b0101, 1))},
         .answer = JSON + "{ \"count\": 7, \"num\": 0, \"curPageNum\": 3, \"log\": [ ] }"},
        // A reply shorter than the page: at once, not after a later whole one.
        {.request = log_post("/1002", json_of(search_body)),
         .script = {unusable_then_whole(LOG_SEARCH, page_reply(1, 1, {format}).substr(0, 68007), page_reply(0, 0))},
         .sent = {asks(LOG_SEARCH, query_bytes(2, {11, 12}, 3, 0b0101, 1))},
         .answer = JSON + "ERROR"},
        {.request = log_post("/1002", json_of(search_body), NO_REPLY_WAIT_MS),
         .sent = {asks(LOG_SEARCH, query_bytes(2, {11, 12}, 3, 0b0101, 1))},
         .answer = JSON_ERROR},
    });
}

TEST(LogSearch, AFullPageListsAHundredEntries)
{
    device_root dev;
    fake_main_service fms(dev.root);
    std::vector<operation_log> entries(100, entry(4, 201, DEC_1, 900, 0, "admin", "10.0.0.1"));
    fms.script(LOG_SEARCH, fms_script().reply(reply_of(LOG_SEARCH), page_reply(1000, 1000, entries)));
    cgi_result r = run_page(dev.root, log_post("/1002", json_of(search_body)));
    ASSERT_EQ(r.out.compare(0, JSON.size(), JSON), 0);
    json_object *answer = json_tokener_parse(r.out.c_str() + JSON.size());
    ASSERT_NE(answer, nullptr) << r.out.substr(0, 200);
    EXPECT_EQ(json_object_get_int(member(answer, "num")), 100);
    EXPECT_EQ(json_object_get_int(member(answer, "count")), 1000);
    EXPECT_EQ(json_object_array_length(member(answer, "log")), 100u);
    json_object_put(answer);
}

TEST(LogDetail, SendsTheEntryAndAnswersTheTextAsItRuns)
{
    operation_log asked = entry(4, 207, DEC_7_MORNING, 900, 3, "admin", std::string(45, '4'));
    asked.size = 16;
    const unsigned char words[] = {0x44, 0x69, 0x73, 0x6b, 0x20, 0x33, 0, 0, 0xff, 0xff, 0xff, 0xff, 0x80, 0, 0, 0};
    memcpy(asked.detail, words, sizeof words);
    const std::string body = "{\"mainTypeValue\":4,\"subTypeValue\":207,\"pts\":1796638530,\"parameterValue\":900,"
                             "\"remote\":1,\"chanNo\":3,\"size\":16,\"detail2\":[1147761515,540213248,-1,2147483648],"
                             "\"ip\":\"" + std::string(50, '4') + "\",\"user\":\"admin\"}";
    run_exchanges({
        {.request = log_post("/1021", body),
         .script = {replies(LOG_DETAIL, std::string("Disk 3 formatted, \"quick\"\0junk after the end", 44))},
         .sent = {asks(LOG_DETAIL, fms_record(asked))},
         .answer = TEXT + "Disk 3 formatted, \"quick\""},
        // Members left out are 0; a text without an end is answered whole.
        {.request = log_post("/1021", "{}"),
         .script = {replies(LOG_DETAIL, "No detail")},
         .sent = {asks(LOG_DETAIL, fms_record(operation_log{}))},
         .answer = TEXT + "No detail"},
        {.request = log_post("/1021", "{}"),
         .script = {unusable_then_whole(LOG_DETAIL, "", "late")},
         .sent = {asks(LOG_DETAIL, fms_record(operation_log{}))},
         .answer = TEXT_ERROR},
        {.request = log_post("/1021", "{}", NO_REPLY_WAIT_MS),
         .sent = {asks(LOG_DETAIL, fms_record(operation_log{}))},
         .answer = TEXT_ERROR},
    });
    std::string many = "[0";
    for (int i = 0; i < 128; ++i)
        many += ",0";
    many += "]";
    run_refusals({posts("/1021", {"", "not json", "[1,2]", "{\"detail2\":" + many + "}", "{\"detail2\":[\"1\"]}",
                                  "{\"detail2\":[4294967296]}", "{\"detail2\":7}", "{\"chanNo\":\"three\"}"})});
}

TEST(LogTypes, ListsEveryMainTypeAndItsSubTypesWithTheirNames)
{
    for (int oem_type : {0, 90}) {
        SCOPED_TRACE("oem_type " + std::to_string(oem_type));
        device_root dev;
        if (oem_type != 0) {
            ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "oem_type", oem_type), 0);
        }
        cgi_result r = run_page(dev.root, log_post("/1015", "{\"lan\":\"fr\"}"));
        ASSERT_EQ(r.out.compare(0, JSON.size(), JSON), 0) << r.out;
        json_object *answer = json_tokener_parse(r.out.c_str() + JSON.size());
        ASSERT_NE(answer, nullptr);
        json_object *main_types = member(answer, "mainType");
        json_object *sub_types = member(answer, "subType");
        const std::vector<int> mains = {1, 2, 4, 8, 32, 64};
        const std::vector<const char *> names = {"All", "Event", "Operation", "Information", "Exception", "Debug"};
        const std::vector<size_t> lengths = {1, oem_type == 90 ? 33u : 31u, 74, 19, 14, 5};
        ASSERT_EQ(json_object_array_length(main_types), 6u);
        ASSERT_EQ(json_object_array_length(sub_types), 6u);
        std::vector<int> event_keys;
        for (size_t m = 0; m < 6; ++m) {
            json_object *main = json_object_array_get_idx(main_types, m);
            EXPECT_EQ(json_object_get_int(member(main, "key")), mains[m]);
            EXPECT_STREQ(json_object_get_string(member(main, "name")), names[m]);
            json_object *list = json_object_array_get_idx(sub_types, m);
            EXPECT_EQ(json_object_array_length(list), lengths[m]) << mains[m];
            for (size_t i = 0; i < json_object_array_length(list); ++i) {
                json_object *sub = json_object_array_get_idx(list, i);
                const int key = json_object_get_int(member(sub, "key"));
                EXPECT_STRNE(json_object_get_string(member(sub, "name")), "") << "no name for " << key;
                if (mains[m] == 2)
                    event_keys.push_back(key);
            }
            EXPECT_EQ(json_object_get_int(member(json_object_array_get_idx(list, 0), "key")), 10);
        }
        std::vector<int> expected = {10, 11, 12, 13, 14};
        if (oem_type == 90)
            expected.insert(expected.end(), {15, 16});
        for (int k = 17; k <= 30; ++k)
            expected.push_back(k);
        expected.insert(expected.end(), {33, 34, 35, 36, 38, 39, 40, 41, 37, 42, 43, 44});
        EXPECT_EQ(event_keys, expected);
        const auto key_at = [&](size_t m, size_t i) {
            return json_object_get_int(member(json_object_array_get_idx(json_object_array_get_idx(sub_types, m), i), "key"));
        };
        EXPECT_EQ(key_at(2, 44), 144);
        EXPECT_EQ(key_at(2, 45), 200);
        EXPECT_EQ(key_at(3, 8), 511);
        EXPECT_EQ(key_at(4, 9), 409);
        EXPECT_EQ(key_at(5, 4), 603);
        json_object_put(answer);
    }
    run_exchanges({
        {.request = log_post("/1015", "{}"), .answer = JSON_ERROR},
        {.request = log_post("/1015", "lan=en"), .answer = JSON_ERROR},
    });
}
