#!/usr/bin/env bash
# Measures what a request costs: nvr.cgi started the way a web server starts it, per route, against
# the floor (a static C program writing "OK") in the same run; then requests per second through
# lighttpd; then the size of the stripped program. Prints one report on standard output.
#
#   bench/run.sh [--quick]      --quick: 50 requests per route and 2 s per load run (proves it works)
#
# BENCH_RUNS and BENCH_SECONDS override the counts; BENCH_PORT the lighttpd port (default: a free one).
# Nothing here passes or fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

runs=1000 seconds=10
case "${1:-}" in
    "") ;;
    --quick) runs=50 seconds=2 ;;
    *) echo "usage: bench/run.sh [--quick]" >&2; exit 2 ;;
esac
runs=${BENCH_RUNS:-$runs}
seconds=${BENCH_SECONDS:-$seconds}
build="$repo/build-bench"

sqlite_source=$(tools/fetch-sqlite.sh)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNVR_SQLITE_SOURCE="$sqlite_source" >/dev/null
ninja -C "$build" -j2 nvr.cgi nvr-sim vxdb-tool >/dev/null
tools="$build/bench"
mkdir -p "$tools"
g++ -O2 -std=c++20 -Wall -Wextra -o "$tools/spawn-driver" bench/spawn_driver.cpp
g++ -O2 -std=c++20 -Wall -Wextra -Iplatform -o "$tools/sim-reply" bench/sim_reply.cpp
gcc -O2 -static -o "$tools/floor" bench/startup/floor.c
cgi="$build/bin/nvr.cgi"

loadavg_before=$(cut -d' ' -f1-3 /proc/loadavg)
root=$(mktemp -d /tmp/nvr-bench-XXXXXX)
sim_pid="" web_pid=""
stop() {
    [ -n "$web_pid" ] && kill -TERM "$web_pid" 2>/dev/null && wait "$web_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
    rm -rf "$root"
}
trap stop EXIT
mkdir -p "$root"/{tmp,mnt/nand/app,mnt/nand2,var/run,var/log,www/cgi-bin} "$root/bench"

# start_sim ROOT: nvr-sim seeds the database under ROOT and answers on its socket; sets sim_pid.
start_sim() {
    local ready="$1/var/run/nvr-sim.ready"
    "$build/bin/nvr-sim" --root "$1" --seed 1 --log "$1/var/log/nvr-sim.log" --ready-file "$ready" \
        >"$1/nvr-sim.out" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -e "$ready" ] && break
        sleep 0.1
    done
    [ -e "$ready" ] || { echo "nvr-sim did not start" >&2; cat "$1/var/log/nvr-sim.log" >&2; exit 1; }
}

# A second root whose database nobody holds open: nvr-sim seeds it and stops. A request there is the
# only connection to the file, as on a device whose main service holds none open, and so is also the
# first to open it and the last to close it, which costs work of its own (the write-ahead log's files
# and their set-up, the checkpoint).
# seed_alone ROOT: a database seeded by nvr-sim, which then stops.
seed_alone() {
    mkdir -p "$1"/{tmp,mnt/nand/app,mnt/nand2,var/run,var/log}
    start_sim "$1"
    kill -TERM "$sim_pid" && wait "$sim_pid" || { echo "nvr-sim did not stop" >&2; exit 1; }
    sim_pid=""
}
# set_param ROOT KEY VALUE
set_param() { VX_ROOT="$1" "$build/bin/vxdb" set "$2" "$3" >/dev/null; }

# nvr-sim seeds a commissioned device, whose pages need a signed-in session. The routes are measured
# with the session check off, as the program's own cost; a third root measures the check itself: a
# signed-in session on the same page ("/6108 session check" against "/6108 no nvr-sim").
alone="$root/alone"
seed_alone "$alone"
set_param "$alone" web_session_check 0
gated="$root/gated"
seed_alone "$gated"

start_sim "$root"
set_param "$root" web_session_check 0
md5=$(sed -n 's/^admin md5: //p' "$root/nvr-sim.out")
gated_md5=$(sed -n 's/^admin md5: //p' "$gated/nvr-sim.out")
# The sign-in of the gated root; no main service answers there, so its log record is not waited for.
gated_login="{\"userName\":\"admin\",\"md5\":\"$gated_md5\"}"
gated_sid=$(printf '%s' "$gated_login" |
    env -i VX_ROOT="$gated" VX_IPC_TIMEOUT_MS=100 REQUEST_METHOD=POST PATH_INFO=/1000 CONTENT_TYPE=application/json \
        CONTENT_LENGTH=${#gated_login} REMOTE_ADDR=127.0.0.1 "$cgi" |
    sed -n 's/.*"sessionId": "\([0-9]*\)".*/\1/p')
[ -n "$gated_sid" ] || { echo "sign-in in the gated root failed" >&2; exit 1; }

# Request bodies.
b="$root/bench"
printf '{"portId":3,"property":1,"group":2,"private":0}' >"$b/6101.json"
printf '{"userName":"admin","md5":"%s"}' "$md5" >"$b/login.json"
pad=$(head -c 29900 /dev/zero | tr '\0' x)
printf '{"userName":"admin","md5":"%s","note":"%s"}' "$md5" "$pad" >"$b/login-30k.json"
# The video-loss page of channel 1 saved whole: three week schedules of 8 x 12 segments, the interval,
# and a copy to channels 2 and 3; then read back by "/6094".
python3 - "$b/6095.json" <<'PY'
import json, sys
week = [[["08:00", "18:00", 1]] * 12] * 8
dialog = {"interval": 10, "audible": week, "email": week, "ptz": week}
json.dump({"chnid": 1, "dialog": dialog, "copyCnt": 2, "copyChn": [2, 3]}, open(sys.argv[1], "w"))
PY
printf '{"chnid":1}' >"$b/6094.json"
printf '{"language":"en","mainType":1,"subTypeArr":[10],"curPageNum":1,"startTime":"2000-01-01 00:00:00","endTime":"2037-12-31 23:59:59","chnMask":""}' >"$b/1002.json"
boundary=benchboundary7d3a
{
    printf -- '--%s\r\nContent-Disposition: form-data; name="file"; filename="bench-upload.bin"\r\n' "$boundary"
    printf 'Content-Type: application/octet-stream\r\n\r\n'
    head -c 1048576 /dev/urandom
    printf '\r\n--%s--\r\n' "$boundary"
} >"$b/upload.multipart"

# The environment lighttpd gives a CGI request process, minus the headers no route reads.
cgi_env=(--env GATEWAY_INTERFACE=CGI/1.1 --env SERVER_PROTOCOL=HTTP/1.1 --env SERVER_SOFTWARE=lighttpd
         --env SERVER_NAME=127.0.0.1 --env SERVER_PORT=8080 --env REMOTE_ADDR=127.0.0.1
         --env SCRIPT_NAME=/cgi-bin/nvr.cgi)
common=(--env "VX_ROOT=$root" "${cgi_env[@]}")

# The routes run in turns: ROUNDS rounds of RUNS/ROUNDS requests each, so that whatever else the machine
# does weighs on every route alike. The first round keeps the answer (checked) and reads peak memory.
rounds=10
per_round=$(( (runs + rounds - 1) / rounds ))
route_names=() route_checks=() route_args=()
# route NAME EXPECTED-REGEX DRIVER-ARGS... -- PROGRAM   (the arguments kept as one tab-joined word)
route() {
    route_names+=("$1")
    route_checks+=("$2")
    shift 2
    local IFS=$'\t'
    route_args+=("$*")
}
get() { route "$1" "$2" "${common[@]}" --env REQUEST_METHOD=GET --env "PATH_INFO=$1" --env QUERY_STRING= -- "$cgi"; }
post() {
    route "$1" "$2" "${common[@]}" --env REQUEST_METHOD=POST --env "PATH_INFO=$3" --env QUERY_STRING= \
        --env "CONTENT_TYPE=$4" --env "CONTENT_LENGTH=$(stat -c %s "$5")" --stdin "$5" -- "$cgi"
}

route floor 'OK$' "${common[@]}" -- "$tools/floor"
get /6108 '(^|[[:space:]])0$'
route "/6108 no nvr-sim" '(^|[[:space:]])0$' --env "VX_ROOT=$alone" "${cgi_env[@]}" --env REQUEST_METHOD=GET \
    --env PATH_INFO=/6108 --env QUERY_STRING= -- "$cgi"
route "/6108 session check" '(^|[[:space:]])0$' --env "VX_ROOT=$gated" "${cgi_env[@]}" --env REQUEST_METHOD=GET \
    --env PATH_INFO=/6108 --env QUERY_STRING= --env "HTTP_COOKIE=sessionId=$gated_sid; userName=admin" -- "$cgi"
get /6100 '"resultString": "OK"'
post "/6101 setter" '(^|[[:space:]])OK$' /6101 application/json "$b/6101.json"
post "/1000 login" '"sessionId": "[0-9]{32}"' /1000 application/json "$b/login.json"
post "/1000 30 KB body" '"sessionId": "[0-9]{32}"' /1000 application/json "$b/login-30k.json"
post "/6095 event save" '(^|[[:space:]])OK$' /6095 application/json "$b/6095.json"
post "/6094 event page" '\{ "chnid": 1, "enable": 2, ' /6094 application/json "$b/6094.json"
post "/1002 log search" '"curPageNum": 1, "log": \[ \{' /1002 application/json "$b/1002.json"
route "/6108 1 MB upload" '(^|[[:space:]])0$' "${common[@]}" --env REQUEST_METHOD=POST --env PATH_INFO=/6108 \
    --env QUERY_STRING= --env "CONTENT_TYPE=multipart/form-data; boundary=$boundary" \
    --env "CONTENT_LENGTH=$(stat -c %s "$b/upload.multipart")" --stdin "$b/upload.multipart" \
    --remove "$root/tmp/bench-upload.bin" -- "$cgi"

declare -A peak failures
for ((round = 1; round <= rounds; ++round)); do
    for i in "${!route_names[@]}"; do
        IFS=$'\t' read -r -a args <<<"${route_args[$i]}"
        extra=(--rss-runs 0)
        [ "$round" = 1 ] && extra=(--rss-runs 20 --out "$b/answer.$i")
        line=$("$tools/spawn-driver" "$per_round" --times "$b/times.$i" "${extra[@]}" "${args[@]}")
        failures[$i]=$(( ${failures[$i]:-0} + $(awk '{print $12}' <<<"$line") ))
        if [ "$round" = 1 ]; then
            peak[$i]=$(awk '{print $8}' <<<"$line")
            if ! tr -d '\r' <"$b/answer.$i" | grep -Ezq -- "${route_checks[$i]}"; then
                echo "${route_names[$i]}: unexpected answer:" >&2
                head -c 400 "$b/answer.$i" >&2
                echo >&2
                exit 1
            fi
        fi
    done
    "$tools/sim-reply" "$per_round" "$root/var/run/vxsocket" "$b/times.sim" >/dev/null
done
leftover=$(find "$root/tmp" -name 'cgic*' | wc -l)

# percentiles FILE: "median p95" in microseconds
percentiles() { sort -n "$1" | awk '{t[NR] = $1} END {i = int(NR * 95 / 100) + 1; if (i > NR) i = NR; print t[int(NR / 2) + 1], t[i]}'; }
results="$b/results"
: >"$results"
read -r floor_us _ < <(percentiles "$b/times.0")
for i in "${!route_names[@]}"; do
    read -r median p95 < <(percentiles "$b/times.$i")
    [ "${failures[$i]}" = 0 ] || echo "${route_names[$i]}: ${failures[$i]} requests ended with a non-zero status" >&2
    printf '%s\t%s\t%s\t%s\t%s\n' "${route_names[$i]}" "$median" "$p95" "${peak[$i]}" \
        "$(awk -v m="$median" -v f="$floor_us" 'BEGIN{printf "%.2f", m/f}')" >>"$results"
done
read -r sim_median sim_p95 < <(percentiles "$b/times.sim")
sim_line="median $sim_median us, p95 $sim_p95 us"
loadavg_after_spawn=$(cut -d' ' -f1-3 /proc/loadavg)

# Through lighttpd with wrk over loopback.
port=${BENCH_PORT:-$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')}
ln -s "$cgi" "$root/www/cgi-bin/nvr.cgi"
sed -e "s|@ROOT@|$root|g" -e "s|@PORT@|$port|g" tools/lighttpd.conf.in >"$root/lighttpd.conf"
# An access log line per request would measure the disk, not the CGI.
sed -i 's|^accesslog.filename.*|accesslog.filename = "/dev/null"|' "$root/lighttpd.conf"
lighttpd -D -f "$root/lighttpd.conf" 2>"$root/var/log/lighttpd-start.log" &
web_pid=$!
url="http://127.0.0.1:$port/cgi-bin/nvr.cgi"
for _ in $(seq 100); do
    curl -s -o /dev/null "$url/6108" && break
    sleep 0.1
done
load=()
if command -v wrk >/dev/null; then
    for path in /6108 /6100; do
        for c in 1 8; do
            rps=$(wrk -t "$([ "$c" = 1 ] && echo 1 || echo 2)" -c "$c" -d "${seconds}s" "$url$path" |
                  awk '/^Requests\/sec/ {print $2} /Non-2xx/ {print "non-2xx:" $NF}' | tr '\n' ' ')
            load+=("$path c=$c: $rps")
        done
    done
else
    load+=("wrk missing: apt-get install wrk")
fi

strip -o "$b/nvr.cgi.stripped" "$cgi"
host_size=$(stat -c %s "$b/nvr.cgi.stripped")
arm_size="(build-aarch64/bin/nvr.cgi not built)"
if [ -e build-aarch64/bin/nvr.cgi ] && command -v aarch64-linux-gnu-strip >/dev/null; then
    arm_type=$(sed -n "s/^CMAKE_BUILD_TYPE:STRING=//p" build-aarch64/CMakeCache.txt)
    aarch64-linux-gnu-strip -o "$b/nvr.cgi.aarch64" build-aarch64/bin/nvr.cgi
    arm_size="$(stat -c %s "$b/nvr.cgi.aarch64") bytes ($(awk -v s="$(stat -c %s "$b/nvr.cgi.aarch64")" 'BEGIN{printf "%.2f", s/1048576}') MiB, build type ${arm_type:-none})"
fi

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), kernel $(uname -r)"
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'); load average before: $loadavg_before, after the spawned requests: $loadavg_after_spawn"
echo "requests per route: $((per_round * rounds)) in $rounds turns; peak RSS = VmHWM at exit over 20 traced requests"
echo
printf '| %-19s | %10s | %10s | %8s | %13s |\n' route "median us" "p95 us" "/ floor" "peak RSS KiB"
printf '|%s|%s|%s|%s|%s|\n' --------------------- ------------ ------------ ---------- ---------------
while IFS=$'\t' read -r name median p95 rss ratio; do
    printf '| %-19s | %10s | %10s | %8s | %13s |\n' "$name" "$median" "$p95" "$ratio" "$rss"
done <"$results"
echo
echo "nvr-sim's own reply to 3433 (fresh connection each, no request process): $sim_line"
echo "upload temporary files left behind: $leftover"
echo
echo "through lighttpd (wrk, loopback, ${seconds} s each), requests/s:"
printf '  %s\n' "${load[@]}"
echo
echo "stripped nvr.cgi: host $host_size bytes ($(awk -v s="$host_size" 'BEGIN{printf "%.2f", s/1048576}') MiB); aarch64 $arm_size"
