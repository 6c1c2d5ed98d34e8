// Tests of the database library run in a private VX_ROOT, so the device paths land in a fresh
// directory; the connections of one test are closed before the next.
#pragma once

#include "support/db_lock.h"
#include "support/device_root.h"

#include <gtest/gtest.h>

class vxdb_test : public ::testing::Test, protected device_root {};
