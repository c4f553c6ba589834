#!/usr/bin/env bash
# Configures and builds into a build folder.
#   scripts/build.sh [build-folder] [extra cmake options...]
# The build also lays out ready station folders under <build-folder>/stations/.
# Where ccache is installed it keeps compiled objects between build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DDESK_WERROR=ON "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
