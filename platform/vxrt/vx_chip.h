// The chip identification of the device and the layout its chip tool `vxchip_update` keeps.
//
// The identification is VX_CHIP_ID_LENGTH characters, each a letter, a digit, '.', '_' or '-':
//
//   characters  1-16  the chip part   (VX_CHIP_PART)
//   characters 17-32  the model part  (VX_MODEL_PART)
//
// A part is written left-aligned and filled up to its 16 characters with '_'. The tool prints it as
// "Read old:<identification>" ("-r 32") and stores a whole new one given as its one argument; the
// service commands replace one part and hand the tool the result.
#pragma once

#include <cstddef>

inline constexpr size_t VX_CHIP_ID_LENGTH = 32;
inline constexpr size_t VX_CHIP_PART_LENGTH = 16;
inline constexpr size_t VX_CHIP_PART = 0;    // offset of the chip part
inline constexpr size_t VX_MODEL_PART = 16;  // offset of the model part
inline constexpr char VX_CHIP_FILL = '_';

// 1 for a character an identification may hold, else 0.
int vx_chip_id_char(char c);

// 1 when `text` is a whole identification: exactly VX_CHIP_ID_LENGTH characters of the set.
int vx_chip_id_valid(const char *text);

// 1 when `value` may be a part: 1 to VX_CHIP_PART_LENGTH characters of the set, else 0.
int vx_chip_part_valid(const char *value);

// Replaces the part at `offset` (VX_CHIP_PART or VX_MODEL_PART) of the identification `id` (a valid
// one, VX_CHIP_ID_LENGTH + 1 bytes) with `value`, filled with VX_CHIP_FILL. 0; or -1, `id`
// unchanged, for an empty value, one longer than a part or holding a character outside the set.
int vx_chip_set_part(char *id, size_t offset, const char *value);
