#include "vxrt/vx_trans.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {
struct text_row {
    int64_t id;
    const char *text;
};

// Sorted by id, so a look-up is a binary search.
constexpr text_row english[] = {
    // Main types, by text id.
    {1, "All"}, {2, "Event"}, {3, "Operation"}, {4, "Information"}, {5, "Exception"}, {6, "Debug"},
    // Every main type's first sub type.
    {10, "All"},
    // Events.
    {11, "Motion detection start"}, {12, "Motion detection end"}, {13, "Alarm input start"},
    {14, "Alarm input end"}, {15, "Thermal alarm start"}, {16, "Thermal alarm end"}, {17, "Video loss start"},
    {18, "Video loss end"}, {19, "Line crossing"}, {20, "Intrusion"}, {21, "Region entrance"},
    {22, "Region exit"}, {23, "Loitering"}, {24, "Face detection"}, {25, "Object left"},
    {26, "Object removed"}, {27, "Audio exception"}, {28, "Scene change"}, {29, "Defocus"},
    {30, "People counting"}, {33, "Plate recognition"}, {34, "Plate on block list"},
    {35, "Plate on allow list"}, {36, "Crowd density"}, {37, "Camera alarm input start"},
    {38, "Human detection"}, {39, "Vehicle detection"}, {40, "Fire detection"}, {41, "Smoke detection"},
    {42, "Camera alarm input end"}, {43, "Tampering start"}, {44, "Tampering end"},
    // Operations at the device itself.
    {101, "Local login"}, {102, "Local logout"}, {103, "Local shutdown"}, {104, "Local reboot"},
    {105, "Local configuration"}, {106, "Local playback"}, {107, "Local backup"},
    {108, "Local record start"}, {109, "Local record stop"}, {110, "Local PTZ control"},
    {111, "Local disk format"}, {112, "Local upgrade"}, {113, "Local camera added"},
    {114, "Local camera deleted"}, {115, "Local camera settings"}, {116, "Local alarm output"},
    {117, "Local time set"}, {118, "Local network settings"}, {119, "Local user added"},
    {120, "Local user deleted"}, {121, "Local user changed"}, {122, "Local disk settings"},
    {123, "Local RAID created"}, {124, "Local RAID deleted"}, {125, "Local hot spare set"},
    {126, "Local snapshot"}, {127, "Local log export"}, {128, "Local configuration import"},
    {129, "Local configuration export"}, {130, "Local factory defaults"}, {131, "Local live view start"},
    {132, "Local live view stop"}, {133, "Local audio settings"}, {134, "Local display settings"},
    {135, "Local schedule settings"}, {136, "Local holiday settings"}, {137, "Local motion settings"},
    {138, "Local analysis settings"}, {139, "Local event actions"}, {140, "Local storage mode"},
    {141, "Local network disk settings"}, {142, "Local language set"}, {143, "Local set-up wizard"},
    {144, "Local screen lock"},
    // Operations through the network.
    {200, "Remote reboot"}, {201, "Remote login"}, {202, "Remote logout"}, {203, "Remote upgrade"},
    {204, "Remote configuration"}, {205, "Remote shutdown"}, {206, "Remote PTZ control"},
    {207, "Remote disk format"}, {208, "Remote stream change"}, {209, "Remote camera control"},
    {210, "Remote camera added"}, {211, "Remote camera deleted"}, {212, "Remote camera settings"},
    {213, "Remote configuration import"}, {214, "Remote configuration export"},
    {215, "Remote factory defaults"}, {216, "Remote playback"}, {217, "Remote image settings"},
    {218, "Remote backup"}, {219, "Remote record start"}, {220, "Remote record stop"},
    {221, "Remote alarm output"}, {222, "Remote snapshot"}, {223, "Remote time set"},
    {224, "Remote network disk settings"}, {225, "Remote RAID settings"}, {226, "Remote log export"},
    {227, "Remote diagnosis export"}, {228, "Remote two-way audio"}, {229, "Remote login refused"},
    // Exceptions.
    {400, "Disk full"}, {401, "Disk error"}, {402, "No disk"}, {403, "Disk unformatted"},
    {404, "Network disconnected"}, {405, "Illegal access"}, {406, "IP address conflict"},
    {407, "Recording error"}, {409, "Video signal abnormal"}, {410, "Fan failure"},
    {411, "Temperature too high"}, {412, "Power supply abnormal"}, {413, "RAID degraded"},
    // Information.
    {500, "System power on"}, {501, "System shutdown"}, {502, "Abnormal shutdown"}, {503, "Recording start"},
    {504, "Recording stop"}, {505, "Disk found"}, {506, "Disk removed"}, {511, "Camera online"},
    {512, "Camera offline"}, {513, "Network connected"}, {514, "Time synchronised"},
    {515, "Scheduled reboot"}, {516, "Storage overwritten"}, {517, "RAID rebuild start"},
    {518, "RAID rebuild end"}, {519, "Upgrade succeeded"}, {520, "Upgrade failed"}, {521, "Backup finished"},
    // Debug.
    {600, "Debug message"}, {601, "Main service restart"}, {602, "Stream statistics"}, {603, "Memory report"},
    // Parameter types: which setting an operation changed.
    {900, "General"}, {901, "Camera added"}, {902, "Camera deleted"}, {903, "Camera settings"}, {904, "PTZ"},
    {905, "Record mode"}, {906, "Encoding"}, {907, "Record schedule"}, {908, "Video loss"},
    {909, "Motion detection"}, {910, "Alarm input"}, {911, "Alarm output"}, {912, "Exception settings"},
    {913, "System settings"}, {914, "Network settings"}, {915, "Display settings"}, {916, "DDNS"},
    {917, "E-mail"}, {918, "Privacy mask"}, {919, "Disk settings"}, {920, "Holidays"}, {921, "User added"},
    {922, "User deleted"}, {923, "Camera alarm input"}, {924, "Audio detection"}, {925, "Audio files"},
};

constexpr bool sorted_by_id()
{
    for (size_t i = 1; i < std::size(english); ++i) {
        if (english[i - 1].id >= english[i].id)
            return false;
    }
    return true;
}
static_assert(sorted_by_id(), "the texts are looked up by binary search");

// Sub types whose channel number is a disk port, by main type.
constexpr int64_t disk_operations[] = {111, 122, 207, 224, 225};
constexpr int64_t disk_information[] = {505, 506, 517, 518};
constexpr int64_t disk_exceptions[] = {400, 401, 402, 403, 413};

template <size_t N> bool listed(const int64_t (&ids)[N], int64_t id)
{
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}
}  // namespace

int trans_init(const char *language)
{
    return language != nullptr ? 0 : -1;
}

int trans_get_value(int64_t id, char *buffer, int size)
{
    if (buffer == nullptr || size < 1)
        return -1;
    const text_row *row = std::lower_bound(std::begin(english), std::end(english), id,
                                           [](const text_row &r, int64_t wanted) { return r.id < wanted; });
    const bool found = row != std::end(english) && row->id == id;
    snprintf(buffer, static_cast<size_t>(size), "%s", found ? row->text : "");
    return found ? 0 : -1;
}

int trans_deinit()
{
    return 0;
}

int log_channo_is_disk(int main_type, int64_t sub_type)
{
    switch (main_type) {
    case 4: return listed(disk_operations, sub_type) ? 1 : 0;
    case 8: return listed(disk_information, sub_type) ? 1 : 0;
    case 32: return listed(disk_exceptions, sub_type) ? 1 : 0;
    default: return 0;
    }
}
