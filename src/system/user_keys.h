// The JSON keys of a user account, as the login answer, the user list and the add and change pages
// name them. The rights come in two groups that every one of those pages lists in the same order;
// each group expands to rows of a json_field table (link/json_fields.h):
//
//     const json_field user_list_keys[] = {
//         JSON_INT("id", user_record, id, JF_OPTIONAL, JF_ANY),
//         ...
//         USER_LOCAL_RIGHTS_KEYS,
//         JSON_INT("remotePermission", user_record, remotePermission, JF_OPTIONAL, USER_PERMISSION_RANGE),
//         USER_REMOTE_RIGHTS_KEYS,
//     };
#pragma once

#include "link/json_fields.h"
#include "system/user_records.h"

#include <cstdint>

// A rights flag is whatever 32-bit number the page sends.
#define USER_FLAG_RANGE INT32_MIN, INT32_MAX
// A summary permission is -1 (none) or a non-negative value.
#define USER_PERMISSION_RANGE -1, INT32_MAX
#define USER_TYPE_RANGE 0, USER_TYPE_NO_WEB

// The ten local rights flags, then the local live-view and playback channel strings.
#define USER_LOCAL_RIGHTS_KEYS                                                                 \
    JSON_INT("localLiveView", user_record, localLiveView, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("localPlayback", user_record, localPlayback, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("localRetrieve", user_record, localRetrieve, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("localSmartAnalysis", user_record, localSmartAnalysis, JF_OPTIONAL, USER_FLAG_RANGE), \
    JSON_INT("localEvent", user_record, localEvent, JF_OPTIONAL, USER_FLAG_RANGE),                 \
    JSON_INT("localCamera", user_record, localCamera, JF_OPTIONAL, USER_FLAG_RANGE),               \
    JSON_INT("localStorage", user_record, localStorage, JF_OPTIONAL, USER_FLAG_RANGE),             \
    JSON_INT("localSettings", user_record, localSettings, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("localStatus", user_record, localStatus, JF_OPTIONAL, USER_FLAG_RANGE),               \
    JSON_INT("localShutdown", user_record, localShutdown, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_TEXT("localliveview", user_record, localliveview, JF_OPTIONAL),                           \
    JSON_TEXT("localplayback", user_record, localplayback, JF_OPTIONAL)

// The ten remote rights flags, then the remote live-view and playback channel strings.
#define USER_REMOTE_RIGHTS_KEYS                                                                  \
    JSON_INT("remoteLiveView", user_record, remoteLiveView, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("remotePlayback", user_record, remotePlayback, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("remoteRetrieve", user_record, remoteRetrieve, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("remoteSmartAnalysis", user_record, remoteSmartAnalysis, JF_OPTIONAL, USER_FLAG_RANGE), \
    JSON_INT("remoteEvent", user_record, remoteEvent, JF_OPTIONAL, USER_FLAG_RANGE),                 \
    JSON_INT("remoteCamera", user_record, remoteCamera, JF_OPTIONAL, USER_FLAG_RANGE),               \
    JSON_INT("remoteStorage", user_record, remoteStorage, JF_OPTIONAL, USER_FLAG_RANGE),             \
    JSON_INT("remoteSettings", user_record, remoteSettings, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_INT("remoteStatus", user_record, remoteStatus, JF_OPTIONAL, USER_FLAG_RANGE),               \
    JSON_INT("remoteShutdown", user_record, remoteShutdown, JF_OPTIONAL, USER_FLAG_RANGE),           \
    JSON_TEXT("remoteliveview", user_record, remoteliveview, JF_OPTIONAL),                           \
    JSON_TEXT("remoteplayback", user_record, remoteplayback, JF_OPTIONAL)

// Sets the four channel masks from the four channel strings: bit i follows character i ('1' set,
// anything else cleared) for the first 64 characters; bits past the end of a string keep their value.
void set_channel_masks(user_record *user);
