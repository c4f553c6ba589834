#!/usr/bin/env bash
# Builds the Debian package of both stations from a build folder (build/ by
# default; configured first when it is missing) and prints its path. Only
# what the package ships is built: the two programs, the delivered data
# files, the manual pages and the changelog; no test and no benchmark.
#   scripts/package.sh [build-folder]
# Install it with:  apt install ./build/package/enrolldesk_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package >&2
dir=${1:-build}
if [ ! -f "$dir/CMakeCache.txt" ]; then
    launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$dir" -G Ninja -DDESK_WERROR=ON "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)" --target enrolldesk creditdesk delivered_data package_changelog package_manpages >/dev/null
rm -f "$dir"/package/enrolldesk_*.deb
(cd "$dir" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
ls "$PWD/$dir"/package/enrolldesk_*.deb
