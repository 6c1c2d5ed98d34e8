# Cross build for the recorder (embedded Linux, 64-bit ARM) with Debian's cross compiler and the
# arm64 multiarch libraries (tools/install-deps.sh --cross installs both):
#
#   cmake -S . -B build-aarch64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# json-c, SQLite and GoogleTest come from the arm64 -dev packages in /usr/lib/aarch64-linux-gnu,
# next to the host's own, so no separate sysroot is needed. Programs of the build run through
# qemu-aarch64 in user mode: gtest_discover_tests and ctest use CMAKE_CROSSCOMPILING_EMULATOR, and the
# end-to-end tests put the same command in front of every aarch64 program they start.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(NVR_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${NVR_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${NVR_CROSS_TRIPLE}-g++)
# The compiler names the multiarch directory itself; set here so that the first try_compile agrees.
set(CMAKE_LIBRARY_ARCHITECTURE ${NVR_CROSS_TRIPLE})

# Libraries and headers are searched in the host's tree, where multiarch keeps the arm64 ones apart
# (/usr/lib/aarch64-linux-gnu); programs the build runs at build time are the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config must read the arm64 .pc files only, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${NVR_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# Programs run against the arm64 multiarch run-time (libc6:arm64, libstdc++6:arm64), which sits in the
# host's own tree, so qemu's prefix is "/". Not /usr/aarch64-linux-gnu: the dynamic loader there is
# the cross compiler's copy of the C library, while the loader's search still finds the multiarch
# libc.so.6 of another build of the same version, and the mix hangs in the first pthread_create.
# Statically linked programs (nvr.cgi) need no run-time at all.
find_program(NVR_QEMU_AARCH64 qemu-aarch64)
if(NVR_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NVR_QEMU_AARCH64} -L /)
endif()
