#include "sim_seed.h"
#include "sim_md5.h"

#include "storage/disk_db.h"
#include "system/user_db.h"
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_param.h"
#include "vxrt/vx_mac_conf.h"
#include "vxrt/vx_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
constexpr int SEEDED_CHANNELS = 32;

// Parameters a device ships with; keys already present keep their values.
const struct {
    const char *key;
    const char *value;
} device_parameters[] = {
    {"software_version", "7.2.0.18"},
    {"hardware_version", "V1.1"},
    {"model", "NVR-3204-SIM"},
    {"max_cameras", "32"},
    {"alarm_in", "16"},
    {"alarm_out", "4"},
    {"esata_type", "0"},
    {"raidmode", "0"},
    {"group_mode", "0"},
    {"failover_mode", "0"},
    {"same_channel_exist", "0"},
    {"permission_update", "0"},
    // A commissioned device: every page but the sign-in needs a signed-in session.
    {"web_session_check", "1"},
};

void set_rights(user_record *user)
{
    int32_t *rights[] = {
        &user->localLiveView,  &user->localPlayback,  &user->localRetrieve,  &user->localSmartAnalysis,
        &user->localEvent,     &user->localCamera,    &user->localStorage,   &user->localSettings,
        &user->localStatus,    &user->localShutdown,  &user->remoteLiveView, &user->remotePlayback,
        &user->remoteRetrieve, &user->remoteSmartAnalysis, &user->remoteEvent, &user->remoteCamera,
        &user->remoteStorage,  &user->remoteSettings, &user->remoteStatus,   &user->remoteShutdown,
    };
    for (int32_t *right : rights)
        *right = 1;
    // The summaries: bit i for the i-th of the ten rights of each side.
    user->permission = (1 << 10) - 1;
    user->remotePermission = (1 << 10) - 1;
}

int seed_admin(const std::string &password)
{
    user_record admin{};
    admin.id = -1;
    admin.enable = 1;
    snprintf(admin.name, sizeof admin.name, "%s", "admin");
    snprintf(admin.password, sizeof admin.password, "%s", sim_md5_hex(password).c_str());
    admin.type = 0;
    std::string every_channel(SEEDED_CHANNELS, '1');
    for (char *channels : {admin.localliveview, admin.localplayback, admin.remoteliveview, admin.remoteplayback})
        snprintf(channels, sizeof admin.localliveview, "%s", every_channel.c_str());
    uint64_t mask = (uint64_t{1} << SEEDED_CHANNELS) - 1;
    admin.local_liveview_mask = admin.local_playback_mask = mask;
    admin.remote_liveview_mask = admin.remote_playback_mask = mask;
    set_rights(&admin);
    return add_user(VXDB_MAIN_DB, &admin);
}

int seed_network_disk()
{
    disk_record nas{};
    const int found = read_disk(VXDB_MAIN_DB, &nas, SIM_SEEDED_NAS_PORT);
    if (found <= 0)
        return found;  // the port is configured already, or the table cannot be read
    nas.id = SIM_SEEDED_NAS_PORT;
    nas.enable = 1;
    nas.type = DISK_TYPE_NFS;
    nas.group = 1;
    nas.property = 1;
    snprintf(nas.vendor, sizeof nas.vendor, "%s", "NFS archive");
    snprintf(nas.address, sizeof nas.address, "%s", "192.0.2.50");  // documentation range: never reached
    snprintf(nas.directory, sizeof nas.directory, "%s", "/export/recordings");
    return write_disk(VXDB_MAIN_DB, &nas);
}
}  // namespace

std::string sim_random_text(size_t length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr unsigned letters = sizeof alphabet - 1;  // 62
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "";
    std::string text;
    while (text.size() < length) {
        unsigned char bytes[64];
        ssize_t n = read(fd, bytes, sizeof bytes);
        if (n <= 0) {
            text.clear();
            break;
        }
        for (ssize_t i = 0; i < n && text.size() < length; ++i) {
            // 248 = 4 * 62: the bytes above would favour the first letters.
            if (bytes[i] < 4 * letters)
                text += alphabet[bytes[i] % letters];
        }
    }
    close(fd);
    return text;
}

int sim_seed_database(const std::string &password)
{
    const int accounts = read_user_count(VXDB_MAIN_DB);
    if (accounts != 0)
        return accounts > 0 ? 0 : -1;
    for (const auto &parameter : device_parameters) {
        if (check_param_key(VXDB_MAIN_DB, parameter.key) != 0 &&
            set_param_value(VXDB_MAIN_DB, parameter.key, parameter.value) != 0)
            return -1;
    }
    if (seed_network_disk() != 0 || seed_admin(password) != 0)
        return -1;
    return 1;
}

int sim_seed_factory_mac()
{
    const std::string path = vx_path(VX_MAC_CONF_FILE);
    if (access(path.c_str(), F_OK) == 0)
        return 0;
    FILE *file = fopen(path.c_str(), "we");
    if (file == nullptr)
        return -1;
    const bool written = fprintf(file, "%s\n", SIM_FACTORY_MAC) > 0;
    return fclose(file) == 0 && written ? 1 : -1;
}
