#include "vxrt/vx_chip.h"

#include <cstring>

int vx_chip_id_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
                   c == '-'
               ? 1
               : 0;
}

int vx_chip_id_valid(const char *text)
{
    if (text == nullptr || strnlen(text, VX_CHIP_ID_LENGTH + 1) != VX_CHIP_ID_LENGTH)
        return 0;
    for (size_t i = 0; i < VX_CHIP_ID_LENGTH; ++i)
        if (!vx_chip_id_char(text[i]))
            return 0;
    return 1;
}

int vx_chip_part_valid(const char *value)
{
    if (value == nullptr)
        return 0;
    const size_t length = strnlen(value, VX_CHIP_PART_LENGTH + 1);
    if (length == 0 || length > VX_CHIP_PART_LENGTH)
        return 0;
    for (size_t i = 0; i < length; ++i)
        if (!vx_chip_id_char(value[i]))
            return 0;
    return 1;
}

int vx_chip_set_part(char *id, size_t offset, const char *value)
{
    if (id == nullptr || !vx_chip_part_valid(value) || (offset != VX_CHIP_PART && offset != VX_MODEL_PART))
        return -1;
    const size_t length = strlen(value);
    memset(id + offset, VX_CHIP_FILL, VX_CHIP_PART_LENGTH);
    memcpy(id + offset, value, length);
    return 0;
}
