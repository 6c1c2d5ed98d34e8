#!/usr/bin/env bash
# The main job: builds the programs, then runs the device's web side on this machine under a private
# VX_ROOT: nvr-sim as the main service (it seeds the configuration database and prints the
# administrator's password) and lighttpd as the web server, which runs nvr.cgi for
# http://127.0.0.1:8080/cgi-bin/nvr.cgi/<path name>. Prints ready-to-paste curl lines and serves
# until Ctrl-C, which stops both servers and removes the private directory.
#
#   tools/demo.sh            serve until Ctrl-C
#   tools/demo.sh --check    start everything, run the curl lines, print the answers, stop
#   tools/demo.sh --run CMD  start everything, run CMD with NVR_CGI_URL (the CGI's address),
#                            NVR_ADMIN_MD5 and NVR_DEMO_ROOT in its environment, stop; CMD's status
#
# NVR_DEMO_PORT sets the port (default 8080); NVR_BUILD_DIR the build directory (default build);
# NVR_DEMO_NO_BUILD=1 uses the programs already built there (the tests do).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

check=0
run_command=""
case "${1:-}" in
    "") ;;
    --check) check=1 ;;
    --run) [ -n "${2:-}" ] || { echo "usage: tools/demo.sh --run CMD" >&2; exit 2; }; run_command=$2 ;;
    *) echo "usage: tools/demo.sh [--check | --run CMD]" >&2; exit 2 ;;
esac
port=${NVR_DEMO_PORT:-8080}
build=${NVR_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$repo/$build" ;; esac

if [ "${NVR_DEMO_NO_BUILD:-0}" != 1 ]; then
    tools/install-deps.sh
    sqlite_source=$(tools/fetch-sqlite.sh)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNVR_SQLITE_SOURCE="$sqlite_source" >/dev/null
    cmake --build "$build" -j "$(nproc)" --target nvr.cgi nvr-sim vxdb-tool vxchip_update
fi

root=$(mktemp -d /tmp/nvr-demo-XXXXXX)
sim_pid=""
web_pid=""
stop_servers() {
    trap - EXIT INT TERM
    # Each server by its own process id; both remove what they created in VX_ROOT on SIGTERM.
    [ -n "$web_pid" ] && kill -TERM "$web_pid" 2>/dev/null && wait "$web_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
    rm -rf "$root"
}
trap stop_servers EXIT
trap 'echo; echo "stopping"; exit 0' INT TERM

mkdir -p "$root"/{tmp,mnt/nand/app,mnt/nand2,var/run,var/log,www/cgi-bin}
ln -s "$build/bin/nvr.cgi" "$root/www/cgi-bin/nvr.cgi"
sed -e "s|@ROOT@|$root|g" -e "s|@PORT@|$port|g" -e "s|@BIN@|$build/bin|g" tools/lighttpd.conf.in >"$root/lighttpd.conf"

# The main service first: the CGI needs its socket and the database it seeds.
ready="$root/var/run/nvr-sim.ready"
"$build/bin/nvr-sim" --root "$root" --log "$root/var/log/nvr-sim.log" --ready-file "$ready" \
    >"$root/nvr-sim.out" &
sim_pid=$!
for _ in $(seq 100); do
    [ -e "$ready" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -e "$ready" ]; then
    echo "nvr-sim did not start:" >&2
    cat "$root/var/log/nvr-sim.log" >&2 || true
    exit 1
fi
password=$(sed -n 's/^admin password: //p' "$root/nvr-sim.out")
md5=$(sed -n 's/^admin md5: //p' "$root/nvr-sim.out")

base="http://127.0.0.1:$port"
if curl -s -o /dev/null --max-time 2 "$base/"; then
    echo "port $port is taken by another server; set NVR_DEMO_PORT" >&2
    exit 1
fi
lighttpd -D -f "$root/lighttpd.conf" 2>"$root/var/log/lighttpd-start.log" &
web_pid=$!
for _ in $(seq 100); do
    curl -s -o /dev/null "$base/" && break
    if ! kill -0 "$web_pid" 2>/dev/null; then
        web_pid=""
        echo "lighttpd did not start (port $port taken? set NVR_DEMO_PORT):" >&2
        cat "$root/var/log/lighttpd-start.log" "$root/var/log/lighttpd-error.log" >&2 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done

cgi="$base/cgi-bin/nvr.cgi"
login="{\"userName\":\"admin\",\"md5\":\"$md5\"}"

# The session id of a login answer.
session_sed='s/.*"sessionId": "\([0-9]*\)".*/\1/p'
session_of() { sed -n "$session_sed"; }
login_line="curl -s -X POST -H 'Content-Type: application/json' -d '$login' $cgi/1000"

# Calls "$1" for each request with its name, the line to paste, and curl's arguments. The pages need
# the session of the login (its id in the "sessionId" cookie); the first request shows a page refused
# without one.
requests() {
    local cookie="sessionId=$sid; userName=admin"
    "$1" "list the users without a session (refused)" "curl -s -i $cgi/6070" -i "$cgi/6070"
    "$1" "list the users" "curl -s -b \"sessionId=\$sid; userName=admin\" $cgi/6070" -b "$cookie" "$cgi/6070"
    "$1" "read the disks" "curl -s -b \"sessionId=\$sid; userName=admin\" $cgi/6100" -b "$cookie" "$cgi/6100"
    "$1" "format disk 3" "curl -s -b \"sessionId=\$sid; userName=admin\" '$cgi/6102?3'" -b "$cookie" "$cgi/6102?3"
}
show() {
    echo "# $1"
    echo "$2"
}
failed=0
run() {
    echo "== $1"
    echo "\$ $2"
    shift 2
    curl -sS --max-time 120 -w '\n(HTTP %{http_code})\n' "$@" || failed=1
    echo
}

echo
echo "VX_ROOT        $root"
echo "web server     $base/ (lighttpd, as $(id -un)); nvr.cgi at $cgi/<path name>"
echo "main service   nvr-sim; its log: $root/var/log/nvr-sim.log"
echo "admin password $password"
echo "admin md5      $md5   (what the login page sends)"
echo

if [ -n "$run_command" ]; then
    status=0
    NVR_CGI_URL="$cgi" NVR_ADMIN_MD5="$md5" NVR_DEMO_ROOT="$root" "$run_command" || status=$?
    exit "$status"
fi

if [ "$check" -eq 0 ]; then
    echo "# log in: keeps the session id in \$sid for the lines below"
    echo "sid=\$($login_line | sed -n '$session_sed')"
    sid='$sid'
    requests show
    echo
    echo "Serving until Ctrl-C."
    wait "$web_pid"
    exit 0
fi

echo "== log in"
echo "\$ $login_line"
answer=$(curl -sS --max-time 60 -X POST -H "Content-Type: application/json" -d "$login" "$cgi/1000") || failed=1
echo "$answer"
echo
sid=$(printf '%s' "$answer" | session_of)
requests run
echo "== requests the main service received"
grep -E ' code [0-9-]+ ' "$root/var/log/nvr-sim.log" | cut -d' ' -f3- || echo "(none)"
exit "$failed"
