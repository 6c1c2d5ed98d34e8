#include "camera/camera_module.h"

// Path names in the module's fixed order; each is added here as its handler is built.
const web_table camera_table = {nullptr, 0, &camera_waits, web_right::settings, nullptr, 0};
