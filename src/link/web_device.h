// Facts of the device itself: its hardware addresses, its camera line and its chip identification.
#pragma once

#include <cstddef>

constexpr size_t MAC_TEXT_SIZE = 18;  // "XX:XX:XX:XX:XX:XX" and its end

// Hardware addresses of eth0 and eth1 as "%02X:..." texts (MAC_TEXT_SIZE bytes each); an interface
// without an address gets a fixed fallback, the second one higher in its last byte. Returns 0.
int get_mac_addr(char *first, char *second);

// 1 for the device line's own plate-recognition camera types 11 to 14, else 0.
int on_cgi_is_vx_lpr(int camera_type);

// The chip identification: the text after "Read old:" in the output of "vxchip_update -r 32" (the
// chip tool on PATH, run without a shell, its output in a file of this call alone), cut to size - 1.
// 0, or 255 when it could not be read.
int get_chip_info(char *buffer, int size);
