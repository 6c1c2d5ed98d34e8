// A test_root that the test process itself works in: VX_ROOT points at it while the object lives,
// and the process's database connections are closed on entry and on exit, so that a test neither
// sees another test's files nor keeps the program it runs from seeing what it stored.
#pragma once

#include "support/cgi_runner.h"
#include "vxdb/vxdb.h"

#include <cstdlib>
#include <string>

struct device_root {
    test_root root;
    device_root()
    {
        vxdb_close_all();
        setenv("VX_ROOT", root.path().c_str(), 1);
    }
    ~device_root()
    {
        vxdb_close_all();
        unsetenv("VX_ROOT");
    }
    device_root(const device_root &) = delete;
    device_root &operator=(const device_root &) = delete;

    // The file-system path of a device path.
    std::string file(const std::string &device_path) const { return root.file(device_path); }
};
