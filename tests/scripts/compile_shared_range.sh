#!/usr/bin/env bash
# A result that doubles itself forty times by sharing prints as a text of about 2^40 cells;
# its Range report is cut to the printing limit and ended with "...", so printing stops there
# instead of walking the whole value.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  printf 'a\\'
  for _ in $(seq 40); do printf 'twice('; done
  printf '1'
  for _ in $(seq 40); do printf ')'; done
  printf ',twice\\x\\V x x\n'
} > "$work/doubled.quib"

timeout 600 "$quib" "$work/doubled.quib" 2> "$work/err"
status=$?
fail=0
[ "$status" = 128 ] || { echo "status $status, expected 128"; fail=1; }
head -c 200 "$work/err" > "$work/head"
expected_head=$(printf '\033[mError.\n Type: Range\n Name: (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V...\nThe program must return an integer. Instead we encountered:\n(V (V (V ')
[ "$(head -c ${#expected_head} "$work/err")" = "$expected_head" ] || { echo "report head differs:"; cat -v "$work/head"; fail=1; }
[ "$(tail -c 7 "$work/err")" = "$(printf '...\n\\/\n')" ] || { echo "report does not end in the cut mark"; fail=1; }
size=$(stat -c %s "$work/err")
limit=$((1 << 20))
[ "$size" -gt "$limit" ] && [ "$size" -lt $((limit + 300)) ] || { echo "report size $size"; fail=1; }
exit $fail
