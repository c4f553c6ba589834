#!/usr/bin/env bash
# Builds the Debian package of both stations from a build folder (build/ by
# default; built first when it is missing or out of date) and prints its path.
#   scripts/package.sh [build-folder]
# Install it with:  apt install ./build/package/enrolldesk_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
if [ -f "$dir/CMakeCache.txt" ]; then
    cmake --build "$dir" -j "$(nproc)" >/dev/null
else
    scripts/build.sh "$dir"
fi
rm -f "$dir"/package/enrolldesk_*.deb
(cd "$dir" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
ls "$PWD/$dir"/package/enrolldesk_*.deb
