// Tests of the database library run in a private VX_ROOT, so the device paths land in a fresh
// directory; the connections of one test are closed before the next.
#pragma once

#include "support/cgi_runner.h"
#include "vxdb/vxdb.h"

#include <gtest/gtest.h>

#include <cstdlib>

class vxdb_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        vxdb_close_all();
        setenv("VX_ROOT", root.path().c_str(), 1);
    }
    void TearDown() override
    {
        vxdb_close_all();
        unsetenv("VX_ROOT");
    }
    // The file-system path of a database.
    std::string file(const char *device_path) const { return root.file(device_path); }

    test_root root;
};
