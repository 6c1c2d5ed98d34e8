// Device paths.
//
// Every fixed absolute path of the device (files, directories, databases, the main-service socket,
// paths handed to external programs) is turned into a file-system path here, and only here. When the
// environment variable VX_ROOT is set and not empty its value is put in front of the device path, so
// that tests and the demo run the whole program inside a private directory. Unset, the device path is
// used as it stands. A web server never passes VX_ROOT from a client.
//
// Paths inside the program stay device paths ("/tmp/name"): the prefix is applied only at the moment
// a file is opened, created, moved or removed, or a path is handed to another program.
#pragma once

#include <string>

std::string vx_path(const char *device_path);
