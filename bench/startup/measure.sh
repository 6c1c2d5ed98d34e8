#!/usr/bin/env bash
# Measures what linking costs a request: the start-up probe linked dynamically, with its libraries
# linked in but the C library shared (mixed), and fully static, against the static C floor.
#   bench/startup/measure.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")"
runs=${1:-2000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
CXX=${CXX:-g++}
CC=${CC:-gcc}
flags="-O2 -std=c++20 -I/usr/include/json-c"
$CXX $flags -o "$out/driver" ../spawn_driver.cpp
$CC -O2 -static -o "$out/floor" floor.c
$CXX $flags -o "$out/dynamic" probe.cpp -ljson-c -lsqlite3
$CXX $flags -static-libstdc++ -static-libgcc -o "$out/mixed" probe.cpp -l:libjson-c.a -l:libsqlite3.a -lm -ldl -pthread
$CXX $flags -static -o "$out/static" probe.cpp -l:libjson-c.a -l:libsqlite3.a -lm -pthread 2>/dev/null
sqlite3_db="$out/probe.db"
python3 -c "import sqlite3; c=sqlite3.connect('$sqlite3_db'); c.execute('create table params(key text primary key, value text)'); c.execute(\"insert into params values('max_cameras','32')\"); c.commit()"
strip -o "$out/dynamic.s" "$out/dynamic"; strip -o "$out/mixed.s" "$out/mixed"; strip -o "$out/static.s" "$out/static"
printf '%-8s %s %s\n' variant "$(printf 'size_bytes')" result
for v in floor dynamic mixed static; do
    size=$(stat -c %s "$out/$v.s" 2>/dev/null || stat -c %s "$out/$v")
    printf '%-8s %10s %s\n' "$v" "$size" "$("$out/driver" "$runs" --env PROBE_DB="$sqlite3_db" -- "$out/$v")"
done
