#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: once in the
# normal build (build/) and once with the address and undefined-behaviour
# sanitizers (build-asan/), and the package test on the package built from
# build/, and the fuzz targets of tests/fuzz in build-fuzz/ (clang). Set
# DESK_SKIP_SANITIZER=1 to leave out the sanitizer build, DESK_SKIP_FUZZ=1
# to leave out the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test

export QT_QPA_PLATFORM=offscreen
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)")
# The Debian package, made from build/, unpacked into a scratch root and
# started from there.
tests/package/test_package.sh "$(scripts/package.sh build)"

# The readers of files from elsewhere under libFuzzer: each target replays
# its committed corpus and tries a fixed number of new inputs.
if [ "${DESK_SKIP_FUZZ:-0}" != 1 ]; then
    scripts/build.sh build-fuzz -DDESK_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DDESK_WERROR=OFF
    (cd build-fuzz && ctest --output-on-failure -j "$(nproc)" -L fuzz)
fi

if [ "${DESK_SKIP_SANITIZER:-0}" != 1 ]; then
    scripts/build.sh build-asan -DDESK_SANITIZE=ON -DDESK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
    (cd build-asan && ctest --output-on-failure -j "$(nproc)")
fi
echo "All tests passed."
