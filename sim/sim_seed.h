// A configuration database fit to log in to: what a device has after its first start.
#pragma once

#include <cstddef>
#include <string>

// `length` letters and digits from /dev/urandom ("" when it cannot be read).
std::string sim_random_text(size_t length);

// When the settings database is missing or has no enabled account, creates it and stores: the
// administrator (slot 0, "admin", type 0, every right) with `password` (stored as its MD5 text, as
// the login page sends it), the device parameters that are not there yet, and one configured
// network disk on port 9 that the device does not report (the disk page shows it offline).
// 1 when it seeded, 0 when accounts were there already (nothing is touched), -1 on a failed write.
int sim_seed_database(const std::string &password);

// The port of the seeded network disk.
constexpr int SIM_SEEDED_NAS_PORT = 9;

// The factory hardware address the device keeps (vxrt/vx_mac_conf.h), written when there is none:
// SIM_FACTORY_MAC, a locally administered address. 1 when written, 0 when one was there, -1 on failure.
constexpr const char *SIM_FACTORY_MAC = "02:56:58:00:70:16";
int sim_seed_factory_mac();
