// The service commands of "/vb.htm" through the real program: one whole text answer per option,
// what each stores or sends, the limits of the option text, the chip identification through the
// chip tool's stand-in (and a recording one that shows what runs), and the OEM clean-up's files.
#include "e2e/page_table.h"
#include "support/device_root.h"
#include "system/system_codes.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const std::string SYSTEM_PATH = "/usr/bin:/bin";

// PATH with the build's programs first. A cross-built program under test runs in the emulator and
// cannot start another program of its build by itself, so there a shell wrapper that starts the tool
// through the emulator stands in for it.
std::string with_tools()
{
    static const struct tools_dir {
        std::string dir;
        tools_dir()
        {
            const std::string emulator = test_emulator_command();
            if (emulator.empty())
                return;
            char name[] = "/tmp/nvr-tools-XXXXXX";
            if (mkdtemp(name) == nullptr)
                return;
            dir = name;
            write_file(dir + "/vxchip_update", "#!/bin/sh\nexec " + emulator + " " + NVR_BIN_DIR + "/vxchip_update \"$@\"\n");
            chmod((dir + "/vxchip_update").c_str(), 0755);
        }
        ~tools_dir()
        {
            if (!dir.empty()) {
                unlink((dir + "/vxchip_update").c_str());
                rmdir(dir.c_str());
            }
        }
    } tools;
    return (tools.dir.empty() ? std::string(NVR_BIN_DIR) : tools.dir) + ":" + SYSTEM_PATH;
}

cgi_request vb(const std::string &query, const std::string &path = SYSTEM_PATH)
{
    cgi_request request = page_get("/vb.htm", query);
    request.env.push_back({"PATH", path});
    return request;
}

std::string answers(std::initializer_list<const char *> texts)
{
    std::string out;
    for (const char *text : texts)
        out += TEXT + text;
    return out;
}

std::string repeat(const std::string &piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// "key=value" for each key, "key" alone when it is not stored.
state_reader stored_params(std::vector<std::string> keys)
{
    return [keys](const test_root &) {
        vxdb_close_all();
        std::string out;
        for (const std::string &key : keys) {
            std::string value;
            out += key + (vxdb_param_text(VXDB_MAIN_DB, key.c_str(), &value) == 0 ? "=" + value : "") + " ";
        }
        return out;
    };
}

std::function<void(const test_root &)> with_param(const char *key, const char *value)
{
    return [key, value](const test_root &) { ASSERT_EQ(set_param_value(VXDB_MAIN_DB, key, value), 0); };
}

exchange_row vb_row(const std::string &query, const std::string &answer)
{
    return {.request = vb(query), .answer = answer};
}

exchange_row vb_stores(const std::string &query, const std::string &answer, const std::string &state)
{
    exchange_row row = vb_row(query, answer);
    row.read_state = stored_params({"decode", "hdmihotplug"});
    row.state = state;
    return row;
}

const char *const CHIP_ID_FILE = "/mnt/nand2/.chipid";  // where the stand-in keeps it
const std::string CHIP = "CHIP-A.1_2345678";
const std::string MODEL = "MODEL-B.9_876543";

// A row of the chip options, run with the stand-in tool on PATH and the identification CHIP MODEL.
exchange_row chip_row(const std::string &query, const std::string &answer, const std::string &stored,
                      const std::string &path = with_tools())
{
    return {.request = vb(query, path),
            .setup = [](const test_root &root) { write_file(root.file(CHIP_ID_FILE), CHIP + MODEL); },
            .answer = TEXT + answer,
            .read_state = [](const test_root &root) { return read_file(root.file(CHIP_ID_FILE)); },
            .state = stored};
}
}  // namespace

TEST(VbOptionPages, EachOptionAnswersInTurn)
{
    run_exchanges({
        vb_stores("decode=1&hotplug=0", answers({"OK", "OK"}), "decode=1 hdmihotplug=0 "),
        {.request = vb("decode=2"), .setup = with_param("decode", "7"), .answer = TEXT + "OK",
         .read_state = stored_params({"decode"}), .state = "decode=2 "},
        vb_stores("decode=1&bogus=2&hotplug=0", answers({"OK", "ERROR"}), "decode=1 hdmihotplug "),
        {.request = vb("setlang=2"), .sent = {notifies(SET_LANGUAGE, fms_int(2))}, .answer = TEXT + "OK"},
        {.request = vb("setlang=-7&setlang=99999999999"),
         .sent = {notifies(SET_LANGUAGE, fms_int(-7)), notifies(SET_LANGUAGE, fms_int(INT32_MAX))},
         .answer = answers({"OK", "OK"})},
        vb_row("softversion", TEXT + "7x.7.0.9"),
        {.request = vb("softversion=1"), .setup = with_param("software_version", "8.2.1-beta"),
         .answer = TEXT + "8.2.1-beta"},
        vb_row("setdefault=1", ""),
        vb_stores("setdefault=1&decode=5", TEXT + "OK", "decode=5 hdmihotplug "),
        vb_row("paratest=other", TEXT + "Param ERROR"),
        vb_row("debug", TEXT + "ERROR"),
        vb_row("velto", TEXT + "ERROR"),
        vb_row("", TEXT + "ERROR"),
        vb_row("decode", TEXT + "PARAM ERROR"),
    });
}

// Every character of the options within the first 64 of the text, names and values within 63, at
// most 64 options: anything beyond runs no option at all.
TEST(VbOptionPages, OptionTextLimits)
{
    run_exchanges({
        vb_stores("decode=" + std::string(57, '9'), TEXT + "OK", "decode=" + std::string(57, '9') + " hdmihotplug "),
        vb_stores("decode=" + std::string(58, '9'), TEXT + "PARAM ERROR", "decode hdmihotplug "),
        vb_row(std::string(65, 'd') + "=1234", TEXT + "PARAM ERROR"),
        vb_row(std::string(64, 'n') + "=", TEXT + "PARAM ERROR"),
        vb_row(std::string(63, 'n') + "=", TEXT + "ERROR"),
        vb_stores("decode=1" + repeat("&=", 63), answers({"OK", "ERROR"}), "decode=1 hdmihotplug "),
        vb_stores("decode=1" + repeat("&=", 64), TEXT + "PARAM ERROR", "decode hdmihotplug "),
        vb_stores("decode=1" + repeat("&=", 200), TEXT + "PARAM ERROR", "decode hdmihotplug "),
    });
}

TEST(VbOptionPages, ChipIdentificationThroughTheTool)
{
    const std::string id = CHIP + MODEL;
    const std::string filled_chip = "NEW_____________";
    run_exchanges({
        chip_row("paratest=chipinfo", "OK chipinfo=" + id + "\r\n", id),
        chip_row("chipupdate=NEW", "OK chipupdate", filled_chip + MODEL),
        chip_row("modelupdate=M-1.2", "OK modelupdate", CHIP + "M-1.2___________"),
        chip_row("modelupdate=0123456789abcdef", "OK modelupdate", CHIP + "0123456789abcdef"),
        chip_row("chipupdate=NEW&paratest=chipinfo", "OK chipupdate" + TEXT + "OK chipinfo=" + filled_chip + MODEL + "\r\n",
                 filled_chip + MODEL),
        chip_row("chipupdate=0123456789abcdefg", "NG chipupdate", id),
        chip_row("chipupdate=", "NG chipupdate", id),
        chip_row("modelupdate=a;b", "NG modelupdate", id),
        chip_row("modelupdate=a%20b", "NG modelupdate", id),
        // Without the tool nothing can be read or stored.
        chip_row("paratest=chipinfo", "ERROR", id, SYSTEM_PATH),
        chip_row("chipupdate=NEW", "NG chipupdate", id, SYSTEM_PATH),
    });
}

// A value built to reach a shell runs no program at all; a valid one runs the tool twice, the new
// identification as one argument.
TEST(VbOptionPages, ChipValuesNeverReachAShell)
{
    device_root dev;
    fake_main_service fms(dev.root);
    const std::string bin = dev.file("/fakebin");
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    const std::string tool = bin + "/vxchip_update";
    write_file(tool, "#!/bin/sh\n"
                     "for a in \"$@\"; do printf '[%s]' \"$a\"; done >>\"$VX_ROOT/tmp/chip-calls\"\n"
                     "echo >>\"$VX_ROOT/tmp/chip-calls\"\n"
                     "[ \"$1\" = -r ] && echo 'Read old:" + CHIP + MODEL + "'\n"
                     "exit 0\n");
    ASSERT_EQ(chmod(tool.c_str(), 0755), 0);
    const std::string path = bin + ":" + SYSTEM_PATH;
    const state_reader calls = [](const test_root &root) { return read_file(root.file("/tmp/chip-calls")); };
    std::vector<exchange_row> rows;
    for (const char *value : {"a;touch pwned", "$(touch pwned)", "`touch pwned`", "a|touch", "a'b", "a%22b",
                              "../x", "a>b", "a\nb", "a\\b"}) {
        rows.push_back({.request = vb(std::string("chipupdate=") + value, path), .answer = TEXT + "NG chipupdate",
                        .read_state = calls, .state = ""});
    }
    rows.push_back({.request = vb("modelupdate=$(id)", path), .answer = TEXT + "NG modelupdate",
                    .read_state = calls, .state = ""});
    rows.push_back({.request = vb("chipupdate=NEW.1", path), .answer = TEXT + "OK chipupdate", .read_state = calls,
                    .state = "[-r][32]\n[NEW.1___________" + MODEL + "]\n"});
    run_exchanges(dev.root, fms, rows);
    EXPECT_FALSE(file_exists(dev.file("/pwned")));
}

namespace {
const char *const WEB_ARCHIVE = "/opt/app/www/web.tar.gz";

void make_dirs(const test_root &root, std::initializer_list<const char *> dirs)
{
    for (const char *dir : dirs)
        ASSERT_EQ(mkdir(root.file(dir).c_str(), 0755), 0) << dir;
}

// The OEM's device: its logo and resources in place, their backups and other files in /mnt/nand2,
// the device's own pages packed in web.tar.gz beside the OEM's, and "oem_type" 90.
void oem_device(const test_root &root)
{
    make_dirs(root, {"/opt", "/opt/app", "/opt/app/bin", "/opt/app/www", "/mnt/nand2/pictures", "/stage",
                     "/stage/js"});
    write_file(root.file("/mnt/nand2/logo.jpg_bk"), "own logo");
    write_file(root.file("/mnt/nand2/gui.rcc_bk"), "own resources");
    write_file(root.file("/mnt/nand2/oem.conf"), "oem");
    write_file(root.file("/mnt/nand2/.factory"), "kept");
    write_file(root.file("/mnt/nand2/pictures/p.jpg"), "kept too");
    ASSERT_EQ(symlink("pictures", root.file("/mnt/nand2/link").c_str()), 0);
    write_file(root.file("/opt/app/bin/logo.jpg"), "oem logo");
    write_file(root.file("/opt/app/www/index.html"), "oem page");
    write_file(root.file("/opt/app/www/oem.js"), "oem script");
    write_file(root.file("/stage/index.html"), "own page");
    write_file(root.file("/stage/js/app.js"), "own script");
    const std::string pack = "tar -czf '" + root.file(WEB_ARCHIVE) + "' -C '" + root.file("/stage") + "' .";
    ASSERT_EQ(system(pack.c_str()), 0);
    ASSERT_EQ(set_param_int(VXDB_MAIN_DB, "oem_type", 90), 0);
}

// The sorted entries of a directory, a '/' after each directory.
std::string listing(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *entry = readdir(d)) {
            const std::string name = entry->d_name;
            struct stat st {};
            if (name == "." || name == ".." || lstat((dir + "/" + name).c_str(), &st) != 0)
                continue;
            names.push_back(name + (S_ISDIR(st.st_mode) ? "/" : ""));
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string &name : names)
        out += name + " ";
    return out;
}

std::string markers(const test_root &root)
{
    std::string out;
    for (const char *name : {"eraseip", "eraseuser", "eraseall"})
        out += file_exists(root.file("/mnt/nand/app/") + name) ? std::string(" ") + name : "";
    return out;
}

std::string oem_state(const test_root &root)
{
    vxdb_close_all();
    return "bin: " + listing(root.file("/opt/app/bin")) + "| logo " + read_file(root.file("/opt/app/bin/logo.jpg")) +
           " | gui " + read_file(root.file("/opt/app/bin/gui.rcc")) + " | nand2: " + listing(root.file("/mnt/nand2")) +
           "| pictures: " + listing(root.file("/mnt/nand2/pictures")) + "| www: " +
           read_file(root.file("/opt/app/www/index.html")) + ", " + read_file(root.file("/opt/app/www/js/app.js")) +
           ", " + read_file(root.file("/opt/app/www/oem.js")) + " | markers:" + markers(root) + " | oem_type " + std::to_string(get_param_int(VXDB_MAIN_DB, "oem_type", -1));
}
}  // namespace

TEST(VbOptionPages, OemCleanRestoresTheDevicesOwnFiles)
{
    const std::string restored = "bin: gui.rcc logo.jpg | logo own logo | gui own resources | nand2: .factory pictures/ "
                                 "| pictures: p.jpg | www: own page, own script, oem script "
                                 "| markers: eraseip eraseuser eraseall ";
    run_exchanges({
        {.request = vb("oemclean"), .setup = oem_device, .answer = TEXT + "OK", .read_state = oem_state,
         .state = restored + "| oem_type 0"},
        {.request = vb("oemclean=1&softversion=1"), .setup = oem_device, .answer = answers({"OK", "7x.7.0.9"}),
         .read_state = oem_state, .state = restored + "| oem_type 0"},
    });
}
