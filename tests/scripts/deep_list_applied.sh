#!/usr/bin/env bash
# A list literal nested a million deep, applied as a function, converts in linear time and
# memory, without native recursion.
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 -c "
n = 1000000
open('$work/deep.quib', 'w').write('a\\\\x{' + '[' * n + ']' * n + ' I}0')
"
timeout 100 "$quib" "$work/deep.quib" > "$work/out" 2> "$work/err"
status=$?
[ "$status" = 0 ] || { echo "status $status"; head -c 300 "$work/err"; exit 1; }
