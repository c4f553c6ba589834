#!/usr/bin/env bash
# Runs one libFuzzer target as a test: its seed corpus once, then <runs> new
# inputs from a fixed seed. New inputs worth keeping land in <new-folder>
# (emptied first; the committed corpus is never written), a crashing input
# in <crash-folder> under the target's name; a dictionary of the format's
# words, when given, guides the mutations.
#   run-fuzzer.sh <fuzzer> <runs> <corpus-folder> <new-folder> <crash-folder> [dictionary]
set -euo pipefail
fuzzer=$1 runs=$2 corpus=$3 new=$4 crashes=$5
dict=()
[ -n "${6:-}" ] && dict=(-dict="$6")
rm -rf "$new"
mkdir -p "$new" "$crashes"
# Sanitizer reports end the run with a stack trace; leaks count as crashes.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(dirname "$0")/lsan.supp:print_suppressions=0}
exec "$fuzzer" -runs="$runs" -seed=1 -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$crashes/$(basename "$fuzzer")-" "${dict[@]}" "$new" "$corpus"
