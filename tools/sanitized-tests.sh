#!/usr/bin/env bash
# Builds the suite with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan and runs
# it; any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
ensure_packages
build_tree build-asan -DCMAKE_BUILD_TYPE=Debug -DLOGDUMP_SANITIZE=ON -DLOGDUMP_WERROR=ON -DLOGDUMP_BENCH=ON
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd build-asan
ctest -j2 --output-on-failure
