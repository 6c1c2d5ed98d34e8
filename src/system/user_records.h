// The device's user accounts as the configuration database keeps them.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MAX_USERS = 100;           // slots 0..99
constexpr int USER_NAME_MATCH = 31;      // names that agree in this many characters are the same name
constexpr int USER_TYPE_NO_WEB = 3;      // may not log in through the web interface

// One account (544 bytes). The field after the four channel strings is one this program never uses;
// it is given 33 characters so that the four channel masks start at byte 512, an 8-byte boundary.
struct user_record {
    int32_t id;      // slot 0..99; preset to -1 before a lookup by name
    int32_t enable;  // 1: slot in use
    char name[64];
    char password[33];  // the password hash text the login page sends as "md5"
    int32_t type;       // 0..3
    char localliveview[65];  // one '0'/'1' per channel
    char localplayback[65];
    char remoteliveview[65];
    char remoteplayback[65];
    char reserved_text[33];
    char init_flag[16];  // "0" for an account added through the web interface
    int32_t localLiveView;
    int32_t localPlayback;
    int32_t localRetrieve;
    int32_t localSmartAnalysis;
    int32_t localEvent;
    int32_t localCamera;
    int32_t localStorage;
    int32_t localSettings;
    int32_t localStatus;
    int32_t localShutdown;
    int32_t remoteLiveView;
    int32_t remotePlayback;
    int32_t remoteRetrieve;
    int32_t remoteSmartAnalysis;
    int32_t remoteEvent;
    int32_t remoteCamera;
    int32_t remoteStorage;
    int32_t remoteSettings;
    int32_t remoteStatus;
    int32_t remoteShutdown;
    int32_t permission;        // -1 or a non-negative summary
    int32_t remotePermission;
    uint64_t local_liveview_mask;  // bit i: channel i, from the strings above
    uint64_t local_playback_mask;
    uint64_t remote_liveview_mask;
    uint64_t remote_playback_mask;
};
static_assert(sizeof(user_record) == 544);
static_assert(offsetof(user_record, password) == 72 && offsetof(user_record, type) == 108);
static_assert(offsetof(user_record, localliveview) == 112 && offsetof(user_record, remoteplayback) == 307);
static_assert(offsetof(user_record, localLiveView) == 424 && offsetof(user_record, permission) == 504);
static_assert(offsetof(user_record, remotePermission) == 508 && offsetof(user_record, local_liveview_mask) == 512);

// A factory account of "/mnt/nand2/oem.db" (544 bytes; the rest of the record is not used here).
struct oem_user_record {
    int32_t id;
    int32_t enable;
    char name[64];
    char password[33];
    int32_t type;
    int32_t permission;
    int32_t remotePermission;
    unsigned char reserved[424];
};
static_assert(sizeof(oem_user_record) == 544);
static_assert(offsetof(oem_user_record, type) == 108 && offsetof(oem_user_record, remotePermission) == 116);
