#!/usr/bin/env bash
# Fetches SQLite's single-file source (sqlite3.c, sqlite3.h), checks it against the sums below,
# unpacks it into a cache directory outside the work tree and prints that directory, for
# cmake -DNVR_SQLITE_SOURCE=... A second run finds the cache and needs no network.
#
# The source comes from the npm registry: the sqlite3 package carries SQLite's own release tarball
# (sqlite-autoconf-*.tar.gz) as it is published, unmodified. Only that tarball is used.
#
# NVR_CACHE_DIR sets the cache (default: $XDG_CACHE_HOME/nvr or ~/.cache/nvr).
set -euo pipefail

sqlite_version=3.44.2
sqlite_release=3440200          # the same version as SQLite writes it in its file names
npm_package=sqlite3@5.1.7
npm_sha256=44cc9bdee02705a7b636f76968d745e21c1d0b2f1c62810c678bc3b0ececab1b
tarball=sqlite-autoconf-$sqlite_release.tar.gz
tarball_sha256=1c6719a148bc41cf0f2bbbe3926d7ce3f5ca09d878f1246fcc20767b175bb407

cache=${NVR_CACHE_DIR:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/nvr}
dest="$cache/sqlite-$sqlite_release"

# The sums are written into the cache last, so a directory without them is an interrupted run.
if [ -f "$dest/sqlite3.c" ] && [ -f "$dest/sqlite3.h" ] && [ -f "$dest/SHA256SUMS" ] &&
   (cd "$dest" && sha256sum --quiet -c SHA256SUMS) >/dev/null 2>&1; then
    echo "$dest"
    exit 0
fi

command -v npm >/dev/null || { echo "fetch-sqlite: npm is missing (apt-get install npm)" >&2; exit 1; }
mkdir -p "$cache"
work=$(mktemp -d "$cache/.fetch-XXXXXX")
trap 'rm -rf "$work"' EXIT

# npm pack writes the registry's tarball as it is; its install scripts never run.
(cd "$work" && npm pack --silent "$npm_package" >/dev/null)
pack=$(ls "$work"/*.tgz)
echo "$npm_sha256  $pack" | sha256sum --quiet -c - ||
    { echo "fetch-sqlite: $npm_package does not match its recorded sha256" >&2; exit 1; }
tar -xzf "$pack" -C "$work" "package/deps/$tarball"
echo "$tarball_sha256  $work/package/deps/$tarball" | sha256sum --quiet -c - ||
    { echo "fetch-sqlite: $tarball does not match its recorded sha256" >&2; exit 1; }
tar -xzf "$work/package/deps/$tarball" -C "$work" --no-same-owner \
    "sqlite-autoconf-$sqlite_release/sqlite3.c" "sqlite-autoconf-$sqlite_release/sqlite3.h"

unpacked="$work/sqlite-autoconf-$sqlite_release"
grep -q "^#define SQLITE_VERSION  *\"$sqlite_version\"" "$unpacked/sqlite3.h" ||
    { echo "fetch-sqlite: $tarball holds another SQLite version" >&2; exit 1; }
(cd "$unpacked" && sha256sum sqlite3.c sqlite3.h >SHA256SUMS.tmp && mv SHA256SUMS.tmp SHA256SUMS)
rm -rf "$dest"
mv "$unpacked" "$dest"
echo "$dest"
