#!/usr/bin/env bash
# Configures and builds into a build folder.
#   scripts/build.sh [build-folder] [extra cmake options...]
# The build also lays out ready station folders under <build-folder>/stations/.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DDESK_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
