#include "support/cgi_runner.h"

#include <gtest/gtest.h>

#include <string>

namespace {
const std::string VXDB = std::string(NVR_BIN_DIR) + "/vxdb";
const std::string VXDB_TEST = std::string(NVR_BIN_DIR) + "/vxdb-test";  // with the example record kind

cgi_result vxdb(const test_root &root, std::vector<std::string> args, const std::string &input = "")
{
    args.insert(args.begin(), VXDB);
    return run_program(root, args, {}, input);
}

cgi_result vxdb_test(const test_root &root, std::vector<std::string> args, const std::string &input = "")
{
    args.insert(args.begin(), VXDB_TEST);
    return run_program(root, args, {}, input);
}
}  // namespace

TEST(vxdb_tool, GetSetAndListParameters)
{
    test_root root;
    cgi_result r = vxdb(root, {"get", "company"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vxdb: no parameter company\n");
    r = vxdb(root, {"get", "company", "Varnett"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "Varnett\n");
    EXPECT_EQ(vxdb(root, {"params"}).exit_status, 1);
    EXPECT_FALSE(file_exists(root.file("/mnt/nand/app/vxdb.db")));

    EXPECT_EQ(vxdb(root, {"set", "max_cameras", "16"}).exit_status, 0);
    EXPECT_EQ(vxdb(root, {"set", "company", "Acme & Sons; \"Ltd\""}).exit_status, 0);
    EXPECT_TRUE(file_exists(root.file("/mnt/nand/app/vxdb.db")));
    EXPECT_EQ(vxdb(root, {"get", "company", "Varnett"}).out, "Acme & Sons; \"Ltd\"\n");
    r = vxdb(root, {"params"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "company=Acme & Sons; \"Ltd\"\nmax_cameras=16\n");

    // --db takes a device path, placed under VX_ROOT like every other.
    EXPECT_EQ(vxdb(root, {"--db", "/mnt/nand2/oem.db", "set", "poepsd", "x1y2z3"}).exit_status, 0);
    EXPECT_TRUE(file_exists(root.file("/mnt/nand2/oem.db")));
    EXPECT_EQ(vxdb(root, {"--db", "/mnt/nand2/oem.db", "get", "poepsd"}).out, "x1y2z3\n");
    EXPECT_EQ(vxdb(root, {"get", "poepsd"}).exit_status, 1);
}

TEST(vxdb_tool, UsageMistakesExitWithTwo)
{
    test_root root;
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"set", "k"}, {"get"}, {"params", "x"}, {"--db"}, {"--nope", "x", "params"},
             {"dump"}, {"load", "example"}}) {
        cgi_result r = vxdb(root, args);
        EXPECT_EQ(r.exit_status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.err.rfind("usage: vxdb", 0), 0u);
    }
}

TEST(vxdb_tool, KindsDumpAndLoad)
{
    test_root root;
    cgi_result r = vxdb_test(root, {"kinds"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "example 168 0..63\n");

    write_file(root.path() + "/in.json",
               R"([{"channel": 9, "name": "nine", "mask": 18446744073709551615},
                   {"channel": 1, "name": "one", "zones": [4, 5],
                    "slots": [[{"start": "08:00", "end": "18:00", "action": 2}]]}])");
    r = vxdb_test(root, {"load", "example", root.path() + "/in.json"});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "stored 2 records\n");

    r = vxdb_test(root, {"dump", "example", "9"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind("{\n  \"channel\": 9,\n  \"enable\": 0,\n  \"name\": \"nine\",\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"mask\": 18446744073709551615,"), std::string::npos);

    // What dump writes, load takes back: copy every record into another database and compare.
    cgi_result all = vxdb_test(root, {"dump", "example"});
    EXPECT_EQ(all.exit_status, 0);
    EXPECT_LT(all.out.find("\"name\": \"one\""), all.out.find("\"name\": \"nine\""));  // index order
    EXPECT_NE(all.out.find("\"start\": \"08:00\""), std::string::npos);
    r = vxdb_test(root, {"--db", "/mnt/nand2/oem.db", "load", "example", "-"}, all.out);
    EXPECT_EQ(r.out, "stored 2 records\n");
    EXPECT_EQ(vxdb_test(root, {"--db", "/mnt/nand2/oem.db", "dump", "example"}).out, all.out);

    r = vxdb_test(root, {"dump", "example", "5"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "vxdb: no record 5\n");
    r = vxdb_test(root, {"dump", "camera"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "vxdb: no record kind camera (see: vxdb kinds)\n");
}

TEST(vxdb_tool, LoadRefusesBadFilesWithoutWritingAnything)
{
    test_root root;
    const std::string file = root.path() + "/bad.json";
    write_file(file, R"([{"channel": 2}, {"channel": 3, "colour": 1}])");
    cgi_result r = vxdb_test(root, {"load", "example", file});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "vxdb: " + file + ": record 1: colour: no such field\n");

    write_file(file, R"([{"channel": 2}, )");
    r = vxdb_test(root, {"load", "example", file});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "vxdb: " + file + ": not JSON\n");
    EXPECT_EQ(vxdb_test(root, {"load", "example", root.path() + "/none.json"}).exit_status, 1);
    EXPECT_FALSE(file_exists(root.file("/mnt/nand/app/vxdb.db")));
}

TEST(vxdb_tool, NamedTablesAreReachedWithTheTableOption)
{
    test_root root;
    cgi_result r = vxdb_test(root, {"--table", "motion_sche", "load", "example", "-"}, R"({"channel": 4})");
    EXPECT_EQ(r.out, "stored 1 records\n");
    EXPECT_EQ(vxdb_test(root, {"dump", "example", "4"}).exit_status, 1);
    EXPECT_EQ(vxdb_test(root, {"--table", "motion_sche", "dump", "example", "4"}).exit_status, 0);
    r = vxdb_test(root, {"--table", "bad name", "load", "example", "-"}, R"({"channel": 4})");
    EXPECT_EQ(r.exit_status, 1);
}
