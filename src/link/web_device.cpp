#include "link/web_device.h"
#include "vxrt/vx_path.h"
#include "vxrt/vx_spawn.h"

#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
// Locally administered addresses, used when an interface reports none.
const unsigned char fallback_mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

// The tool's output goes to a file of this request alone (mkstemp), never to a name another request
// or another user of /tmp could take over.
constexpr const char *chip_info_file = "/tmp/chipinfo.XXXXXX";

void format_mac(char *text, const unsigned char *mac)
{
    snprintf(text, MAC_TEXT_SIZE, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

bool read_mac(int sock, const char *interface, unsigned char *mac)
{
    if (sock < 0)
        return false;
    struct ifreq request {};
    strncpy(request.ifr_name, interface, IFNAMSIZ - 1);
    if (ioctl(sock, SIOCGIFHWADDR, &request) != 0)
        return false;
    memcpy(mac, request.ifr_hwaddr.sa_data, 6);
    return true;
}
}  // namespace

int get_mac_addr(char *first, char *second)
{
    char *const texts[] = {first, second};
    const char *const interfaces[] = {"eth0", "eth1"};
    for (int i = 0; i < 2; ++i) {
        if (texts[i] == nullptr)
            continue;
        int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (sock < 0)
            fputs("create socket fail\n", stderr);
        unsigned char mac[6];
        if (!read_mac(sock, interfaces[i], mac)) {
            memcpy(mac, fallback_mac, sizeof mac);
            mac[5] = static_cast<unsigned char>(mac[5] + i);
        }
        if (sock >= 0)
            close(sock);
        format_mac(texts[i], mac);
    }
    return 0;
}

int on_cgi_is_vx_lpr(int camera_type)
{
    return camera_type >= 11 && camera_type <= 14 ? 1 : 0;
}

int get_chip_info(char *buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 255;
    std::string output = vx_path(chip_info_file);
    int fd = mkostemp(output.data(), O_CLOEXEC);
    if (fd < 0)
        return 255;
    const char *argv[] = {"vxchip_update", "-r", "32", nullptr};
    vx_spawn_wait(argv, output.c_str());

    int result = 255;
    if (FILE *file = fdopen(fd, "r")) {
        char line[128];
        while (fgets(line, sizeof line, file) != nullptr) {
            if (strstr(line, "Read old:") != nullptr) {
                // The identification is everything from the tenth character of that line on.
                const char *start = line + strnlen(line, 9);
                snprintf(buffer, static_cast<size_t>(size), "%s", start);
                result = 0;
                break;
            }
        }
        fclose(file);
    } else {
        close(fd);
    }
    unlink(output.c_str());
    return result;
}
