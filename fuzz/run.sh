#!/usr/bin/env bash
# Builds the fuzz targets with clang and the sanitizers and runs each for a bounded time on a
# copy of its seed corpus. Usage: fuzz/run.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
ensure_packages clang libclang-rt-14-dev
seconds=${1:-30}
CC=clang CXX=clang++ build_tree build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLOGDUMP_FUZZ=ON -DLOGDUMP_TESTS=OFF -DLOGDUMP_SANITIZE=ON
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
work=$(mktemp -d /tmp/logdump-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
for target in build-fuzz/bin/fuzz_*; do
    name=${target##*/fuzz_}
    mkdir -p "$work/$name"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/$name/"
    echo "== fuzzing $name for ${seconds}s" >&2
    if ! (cd "$work" && "$OLDPWD/$target" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 "$work/$name" 2>"$work/$name.log"); then
        tail -n 40 "$work/$name.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_units|Done" "$work/$name.log" | tail -n 1 >&2 || true
    fi
done
exit $status
