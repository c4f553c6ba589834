#!/usr/bin/env bash
# A longer fuzzing campaign on one target of tests/fuzz (workbook,
# workbook_stream, dbase, jpeg, settings, access, xlsx, ods, sheet, csv, html):
#   scripts/fuzz.sh <target> [seconds] [libFuzzer options...]
#   e.g.  scripts/fuzz.sh workbook 3600 -jobs=2 -workers=2
# Builds build-fuzz/ with clang, then fuzzes from the committed corpus.
# Inputs that reach new code are kept in build-fuzz/campaign/<target>/ (the
# next campaign goes on from them); a crashing input is written to
# build-fuzz/crashes/. Reproduce one with
#   build-fuzz/tests/fuzz/fuzz_<target> <input>
# and, once fixed, add it to tests/fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: $0 <target> [seconds] [libFuzzer options...]}
seconds=${2:-600}
shift $(( $# >= 2 ? 2 : 1 ))
[ -d "tests/fuzz/corpus/$target" ] || { echo "no fuzz target \"$target\" (tests/fuzz/corpus/$target)" >&2; exit 2; }
scripts/build.sh build-fuzz -DDESK_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DDESK_WERROR=OFF
mkdir -p "build-fuzz/campaign/$target" build-fuzz/crashes
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/fuzz/lsan.supp:print_suppressions=0}
dict=()
[ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
exec "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
    -artifact_prefix="build-fuzz/crashes/fuzz_$target-" "${dict[@]}" "$@" "build-fuzz/campaign/$target" "tests/fuzz/corpus/$target"
