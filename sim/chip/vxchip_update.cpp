// vxchip_update: our stand-in for the device's chip tool, which reads and rewrites the chip
// identification of the recorder (layout: platform/vxrt/vx_chip.h, a chip part and a model part of
// 16 characters each). Here the identification lives in a file instead of the chip:
//
//   $VX_ROOT/mnt/nand2/.chipid   the 32 characters, nothing else; a dot file of the factory
//                                partition, so the factory clean-up that empties it keeps this one
//
// and a device that never had one stored reports the factory identification below.
//
//   vxchip_update -r N    prints "Read old:" and the first N (1 to 32) characters and a line end
//   vxchip_update ID      stores ID (a whole identification) and prints nothing
//
// Exit status 0; 1 when the stored identification is unreadable or ID is no identification (the
// reason on standard error, nothing stored); 2 for a usage mistake.
#include "vxrt/vx_chip.h"
#include "vxrt/vx_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr const char *id_file = "/mnt/nand2/.chipid";
constexpr const char *factory_id = "VXC7A01_________VXN7016_________";
static_assert(sizeof "VXC7A01_________VXN7016_________" == VX_CHIP_ID_LENGTH + 1);

int usage()
{
    fputs("usage: vxchip_update -r LENGTH | vxchip_update IDENTIFICATION\n", stderr);
    return 2;
}

// The stored identification, or the factory one when none was ever stored. False when the file
// exists but holds no identification.
bool read_id(char (&id)[VX_CHIP_ID_LENGTH + 1])
{
    const std::string path = vx_path(id_file);
    FILE *file = fopen(path.c_str(), "re");
    if (file == nullptr) {
        memcpy(id, factory_id, sizeof id);
        return true;
    }
    char text[VX_CHIP_ID_LENGTH + 2] = {};
    const size_t length = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    text[length] = '\0';
    if (!vx_chip_id_valid(text))
        return false;
    memcpy(id, text, sizeof id);
    return true;
}

// Writes the identification to a new file and moves it over the old one, so a reader never sees
// half of it.
bool store_id(const char *id)
{
    const std::string path = vx_path(id_file);
    const std::string fresh = path + ".new";
    int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = write(fd, id, VX_CHIP_ID_LENGTH) == static_cast<ssize_t>(VX_CHIP_ID_LENGTH);
    const bool closed = close(fd) == 0;
    if (written && closed && rename(fresh.c_str(), path.c_str()) == 0)
        return true;
    unlink(fresh.c_str());
    return false;
}

int print_id(const char *length_text)
{
    char *end = nullptr;
    const long length = strtol(length_text, &end, 10);
    if (*length_text == '\0' || *end != '\0' || length < 1 || length > static_cast<long>(VX_CHIP_ID_LENGTH))
        return usage();
    char id[VX_CHIP_ID_LENGTH + 1];
    if (!read_id(id)) {
        fputs("vxchip_update: the stored identification is unreadable\n", stderr);
        return 1;
    }
    printf("Read old:%.*s\n", static_cast<int>(length), id);
    return 0;
}
}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "-r") == 0)
        return print_id(argv[2]);
    if (argc != 2)
        return usage();
    if (!vx_chip_id_valid(argv[1])) {
        fprintf(stderr, "vxchip_update: an identification is %zu letters, digits, '.', '_' or '-'\n",
                VX_CHIP_ID_LENGTH);
        return 1;
    }
    if (!store_id(argv[1])) {
        fputs("vxchip_update: cannot store the identification\n", stderr);
        return 1;
    }
    return 0;
}
