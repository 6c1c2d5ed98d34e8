// A create-array request as the RAID page's handler fills it, for tests that talk to the simulated
// device directly.
#pragma once

#include "storage/storage_records.h"

#include <initializer_list>

inline raid_request make_raid_request(int id, int level, std::initializer_list<int> members)
{
    raid_request request{};
    request.raid_id = id;
    request.enable = 1;
    request.level = level;
    request.member_count = static_cast<int32_t>(members.size());
    int i = 0;
    for (int m : members) {
        if (i < MAX_RAID_MEMBERS)
            request.members[i++] = m;
    }
    return request;
}
