#!/usr/bin/env bash
# The main job: builds the programs and sends a request through nvr.cgi the way the web server does,
# under a private VX_ROOT.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

root=$(mktemp -d /tmp/nvr-demo-XXXXXX)
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/mnt/nand2" "$root/var/run"
echo "VX_ROOT=$root"
echo
echo "== GET /echo?name=%22camera%22 through the test resources of build/bin/nvr-test.cgi"
env -i VX_ROOT="$root" REQUEST_METHOD=GET PATH_INFO=/echo QUERY_STRING='name=%22camera%22' \
    build/bin/nvr-test.cgi
echo
echo
echo "== the product program build/bin/nvr.cgi: an unregistered path answers nothing (exit status $(
    env -i VX_ROOT="$root" REQUEST_METHOD=GET PATH_INFO=/nothing build/bin/nvr.cgi; echo $?))"
