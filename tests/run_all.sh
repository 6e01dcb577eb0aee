#!/usr/bin/env bash
# Builds quib and runs the whole test suite: unit and end-to-end tests, then the same suite
# under AddressSanitizer (with its leak checker) and UndefinedBehaviorSanitizer, then a short
# run of each fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tests/install_deps.sh --fuzz

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUIB_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(cd build && ctest --output-on-failure --no-tests=error -j"$jobs") | tee -a "$log"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUIB_SANITIZE=ON -DQUIB_TESTS=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-sanitize && ctest --output-on-failure --no-tests=error -j"$jobs") | tee -a "$log"

bash tests/fuzz_smoke.sh

# Every step above stops the script on a failure, so reaching here means all passed.
total=$(grep -oE 'tests failed out of [0-9]+' "$log" | awk '{s += $5} END {print s + 2}')
echo "suite: $total passed, 0 failed"

