#include "vxrt/vx_path.h"

#include <cstdlib>

std::string vx_path(const char *device_path)
{
    const char *root = std::getenv("VX_ROOT");
    std::string path = (root != nullptr) ? root : "";
    path += (device_path != nullptr) ? device_path : "";
    return path;
}
