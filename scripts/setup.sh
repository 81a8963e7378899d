#!/bin/sh
# Installs what building, testing, fuzzing and benchmarking need on a Debian machine, only what is missing.
# Run as root.
set -eu
packages="cmake ninja-build dpkg-dev file pkgconf g++ clang-format googletest libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev libvalijson-dev python3 libbenchmark-dev clang libclang-rt-14-dev valgrind chromium"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends $missing >/dev/null 2>&1 ||
        { apt-get update >/dev/null && apt-get install -y --no-install-recommends $missing >/dev/null; }
fi
