#!/usr/bin/env bash
# Fuzzing smoke test: builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, leak checking on) and runs each from the seed corpus for
# QUIB_FUZZ_SECONDS seconds (default 60). A crash, a leak or a sanitizer report fails it; the
# input that caused it is kept under build-fuzz/artifacts (QUIB_FUZZ_BUILD names another build
# directory). Slow inputs and memory-hungry ones are recorded there too but do not fail the run:
# a program may ask for a power with millions of digits, and that is its right.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${QUIB_FUZZ_SECONDS:-60}
build=${QUIB_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DQUIB_FUZZ=ON -DQUIB_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_load fuzz_run

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$root/tests/fuzz/build_corpus.sh" "$root" "$work/seeds"
mkdir -p "$build/artifacts"

# In fork mode libFuzzer exits with the status of the last job it saw, even one it was told to
# ignore: 70 when that job timed out, 71 when it ran out of memory. Such an input is kept as an
# artifact like any slow one; only a job it did not ignore (a crash, a leak, a sanitizer report),
# whose log it prints, fails the run.
failed() {  # status log
  [ "$1" != 0 ] || return 1
  { [ "$1" = 70 ] || [ "$1" = 71 ]; } && ! grep -q 'log from the inner process' "$2" && return 1
  return 0
}

fail=0
for target in fuzz_load fuzz_run; do
  mkdir -p "$work/$target"
  echo "fuzzing $target for ${seconds}s"
  status=0
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -dict="$root/tests/fuzz/quib.dict" \
    -max_len=4096 -timeout=30 -rss_limit_mb=2048 -fork=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -artifact_prefix="$build/artifacts/$target-" "$work/$target" "$work/seeds" > "$work/$target.log" 2>&1 ||
    status=$?
  if failed "$status" "$work/$target.log"; then
    echo "$target found a failure:"
    grep -v -E '^#[0-9]+' "$work/$target.log" | tail -60
    fail=1
  else
    grep -E 'cov:' "$work/$target.log" | tail -1
  fi
done
exit $fail
