#!/usr/bin/env bash
# Builds the test programs that run exchanges on the worker thread with ThreadSanitizer into
# build-tsan and runs them with every exchange on that thread; any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
ensure_packages
targets=(test_link test_app test_service)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLOGDUMP_TSAN=ON -DLOGDUMP_WERROR=ON >&2
cmake --build build-tsan -j2 --target "${targets[@]}" >&2
# Qt is not built with the sanitizer: reports whose stacks lie inside Qt alone are suppressed.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tools/tsan.supp"
export QT_QPA_PLATFORM=offscreen
export LOGDUMP_TEST_WORKER_THREAD=1
for t in "${targets[@]}"; do
    echo "== $t (exchanges on the worker thread, ThreadSanitizer)" >&2
    # The sanitizer delivers signals at its own points, so the order the save's signal guard
    # keeps cannot be seen under it; those cases run in the other builds.
    build-tsan/bin/"$t" --gtest_filter=-SaveSignals.*
done
