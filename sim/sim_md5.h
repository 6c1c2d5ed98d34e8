// MD5 of a byte string, as lowercase hexadecimal text.
//
// The login page sends the MD5 of the password it was typed, and the user table stores the same
// text; the simulator needs it only to store the seeded administrator's password that way. MD5 is
// no protection for a password, which is why the stored text is never shown by the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The 16-byte digest of `size` bytes at `data`.
void sim_md5(const void *data, size_t size, uint8_t digest[16]);

// The digest of `text` as 32 lowercase hexadecimal digits.
std::string sim_md5_hex(const std::string &text);
