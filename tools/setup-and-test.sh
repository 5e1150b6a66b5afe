#!/usr/bin/env bash
# Installs what is missing, builds everything under AddressSanitizer and UBSan, smoke-runs the
# fuzz targets, runs the whole test suite (its threaded parts again under ThreadSanitizer), then
# checks the installed layout and the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

bash tools/fuzz.sh 20

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON >/dev/null
cmake --build build/test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/tests/ubsan.supp"
ctest --test-dir build/test --output-on-failure -j2 --timeout 600

# The parts with threads of their own, again under ThreadSanitizer (README: Development).
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVANE_THREAD_SANITIZE=ON >/dev/null
cmake --build build/tsan --target platform_tests settings_tests sources_tests music_tests idle_tests
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
    ctest --test-dir build/tsan --output-on-failure -j2 --timeout 600 -L unit -E '_NOT_BUILT$'

bash tools/check-install.sh
