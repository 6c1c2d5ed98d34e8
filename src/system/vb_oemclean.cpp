// "/vb.htm" option "oemclean": puts back the device's own logo, interface resources and web pages
// in place of an OEM's, removes the OEM's files from /mnt/nand2, and leaves the markers that make the device
// erase its addresses, its accounts and all else at the next start. The outcome of each step is not
// examined: a step that cannot be done leaves the next ones to do theirs.
#include "link/web_answer.h"
#include "link/web_files.h"
#include "system/vb_option.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_alloc.h"
#include "vxrt/vx_path.h"
#include "vxrt/vx_spawn.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {
constexpr const char *factory_dir = "/mnt/nand2";
constexpr const char *web_dir = "/opt/app/www/";
constexpr const char *web_archive = "/opt/app/www/web.tar.gz";

struct restored_file {
    const char *backup;
    const char *target;
};
const restored_file restored_files[] = {
    {"/mnt/nand2/logo.jpg_bk", "/opt/app/bin/logo.jpg"},
    {"/mnt/nand2/gui.rcc_bk", "/opt/app/bin/gui.rcc"},
};

constexpr const char *erase_markers_before_oem_type[] = {"/mnt/nand/app/eraseip", "/mnt/nand/app/eraseuser"};
constexpr const char *erase_all_marker = "/mnt/nand/app/eraseall";

void copy_file(const char *source, const char *target)
{
    int length = 0;
    unsigned char *data = vx_get_file_data(source, &length);
    if (data == nullptr)
        return;
    vx_wirte_file_data(target, data, length);
    VX_FREE(data);
}

// Removes every entry of the directory that is not a directory itself and whose name does not begin
// with '.' (a symbolic link is removed, not what it names).
void remove_plain_entries(const char *device_dir)
{
    const std::string dir_path = vx_path(device_dir);
    DIR *dir = opendir(dir_path.c_str());
    if (dir == nullptr)
        return;
    const int dir_fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        struct stat st {};
        if (entry->d_name[0] == '.' || fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(st.st_mode))
            unlinkat(dir_fd, entry->d_name, 0);
    }
    closedir(dir);
}

// Unpacks the device's own web pages over the current ones.
void unpack_web_pages()
{
    if (IsFileExisted(web_archive) != 0)
        return;
    const std::string archive = vx_path(web_archive);
    const std::string into = vx_path(web_dir);
    const char *argv[] = {"tar", "-zxf", archive.c_str(), "-C", into.c_str(), nullptr};
    vx_spawn_wait(argv, "/dev/null");
}

void leave_marker(const char *path)
{
    vx_wirte_file_data(path, nullptr, 0);
}
}  // namespace

void on_vb_oemclean(const http_option * /*option*/)
{
    for (const restored_file &file : restored_files)
        copy_file(file.backup, file.target);
    remove_plain_entries(factory_dir);
    unpack_web_pages();
    for (const char *marker : erase_markers_before_oem_type)
        leave_marker(marker);
    set_param_int(VXDB_MAIN_DB, "oem_type", 0);
    leave_marker(erase_all_marker);
    sync();
    cgi_answer_text("OK");
}
