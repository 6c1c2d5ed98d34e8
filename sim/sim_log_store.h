// The simulated device's log: what the main service records of events, operations, information,
// exceptions and debug messages. It starts with entries of the last days (a power-on, disks and the
// network coming up, log-ins and changes with their descriptions, an exception or two) and keeps
// every operation-log record the pages send (3485, 3509). The log pages search it (3495), export it
// to a result file (3494) and ask for an entry's detail text (3488). Guarded by one mutex.
#pragma once

#include "system/log_records.h"
#include "vxrt/vx_oplog.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class sim_log_store {
public:
    // Seeded with entries of the three days before `now` (seconds since 1970).
    explicit sim_log_store(int64_t now);

    // A record the device receives; a time of 0 becomes `now`. Returns its description.
    std::string add(operation_log entry, int64_t now);

    // 3495: the page of the query's matches, newest first; pages from 1 (0 and below read as 1).
    log_search_reply search(const log_query &query);

    // 3494: every match, newest first, with its description; written as a result file to the device
    // path `path` (under VX_ROOT). The number of entries written, or -1 when the file cannot be written.
    int export_to(const log_query &query, const std::string &path);

    // 3488: the description of the stored entry with the same time, types and channel, or one made
    // from the entry's numbers.
    std::string detail(const operation_log &entry);

    size_t size();

private:
    struct stored {
        operation_log entry;
        std::string description;
    };
    static bool matches(const log_query &query, const operation_log &entry);
    std::vector<const stored *> matching(const log_query &query);  // with the lock held
    void seed(int32_t main_type, int64_t sub_type, int64_t pts, int32_t parameter_type, int32_t chan_no,
              const char *user, const char *ip, const char *description);

    std::mutex lock_;
    std::vector<stored> entries_;  // in the order received
};

// The words of an entry's numbers, as the device describes a record that came without a text.
std::string sim_log_description(const operation_log &entry);
