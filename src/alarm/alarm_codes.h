// Requests of the alarm pages to the main service.
#pragma once

#include "link/link_codes.h"

// No request of these pages waits longer than the default.
