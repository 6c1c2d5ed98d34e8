#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the benchmark need, when any is missing.
# npm fetches SQLite's source (tools/fetch-sqlite.sh); a machine whose Node.js brings its own npm
# keeps it, since Debian's npm package would fight that Node.js.
# --cross adds what the aarch64 build for the device and its tests under qemu need: the cross
# compiler, qemu in user mode, and the arm64 libraries (multiarch, next to the host's own).
set -euo pipefail
# wrk and python3: bench/run.sh (the load runs through lighttpd, and picking a free port).
packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev libgtest-dev
          libjson-c-dev libsqlite3-dev lighttpd curl wrk python3)
command -v npm >/dev/null || packages+=(npm)
cross=no
for arg in "$@"; do
    case "$arg" in
        --cross) cross=yes ;;
        *) echo "usage: $0 [--cross]" >&2; exit 2 ;;
    esac
done
if [ "$cross" = yes ]; then
    # libc6 and libstdc++6 for arm64: the run-time the test programs find under qemu (-L /).
    packages+=(gcc-aarch64-linux-gnu g++-aarch64-linux-gnu qemu-user libc6:arm64 libstdc++6:arm64
               libjson-c-dev:arm64 libsqlite3-dev:arm64 libgtest-dev:arm64)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
options=()
if [ "$cross" = yes ]; then
    dpkg --print-foreign-architectures | grep -qx arm64 || dpkg --add-architecture arm64
    # An arm64 library must never push out a host package: apt then fails instead.
    options+=(--no-remove)
fi
apt-get update -qq
apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
