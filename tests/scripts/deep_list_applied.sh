#!/usr/bin/env bash
# A list literal nested a million deep, applied as a function, converts without native
# recursion and in memory linear in its depth: the peak resident size above that of a trivial
# run at most doubles, with some slack, when the depth doubles. The engine's unit tests count
# the conversion's work.
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints the peak resident kilobytes of running the program applied to a list nested n deep.
peak_kb() {
  local n=$1
  python3 -c "
n = $n
open('$work/deep.quib', 'w').write('a\\\\x{' + '[' * n + ']' * n + ' I}0')
"
  timeout 500 /usr/bin/time -f %M -o "$work/peak" "$quib" "$work/deep.quib" > "$work/out" 2> "$work/err"
  local status=$?
  [ "$status" = 0 ] || { echo "depth $n: status $status" >&2; head -c 300 "$work/err" >&2; return 1; }
  [ ! -s "$work/out" ] && [ ! -s "$work/err" ] || { echo "depth $n: unexpected output" >&2; return 1; }
  tail -1 "$work/peak"
}

base=$(peak_kb 1) && single=$(peak_kb 500000) && twice=$(peak_kb 1000000) || exit 1
echo "peak KB: trivial $base, depth 500000 $single, depth 1000000 $twice"
(( (twice - base) * 10 <= (single - base) * 22 )) || { echo "memory grows faster than the depth"; exit 1; }
