#include "stream/stream_module.h"

// Path names in the module's fixed order; each is added here as its handler is built.
const web_table stream_table = {nullptr, 0, &stream_waits, web_right::session, nullptr, 0};
