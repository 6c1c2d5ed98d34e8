// The device's factory hardware address, as written at manufacture.
//
// The factory partition keeps it in VX_MAC_CONF_FILE as text: twelve hexadecimal digits, either
// bare ("001122AABBCC") or in pairs joined by ':' or '-' ("00:11:22:aa:bb:cc"), optionally followed
// by white space and a line end. The file is a dot file so that the factory clean-up of that
// partition, which removes every other plain file there, keeps it.
#pragma once

inline constexpr const char *VX_MAC_CONF_FILE = "/mnt/nand2/.mac.conf";
inline constexpr int VX_MAC_DIGITS = 12;

// The factory address as bare upper-case hexadecimal digits ("001122AABBCC"), terminated, in
// `buffer` (at least VX_MAC_DIGITS + 1 bytes; the device's callers pass 32). 0; or -1 with `buffer`
// empty when the file is missing or holds anything but one such address, or the buffer is too small.
int read_mac_conf(char *buffer, int size);
