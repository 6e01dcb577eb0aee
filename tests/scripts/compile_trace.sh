#!/usr/bin/env bash
# The renaming trace: a definition with a named parameter appends exactly its "First" line to
# /tmp/redv.log, quotes' texts written out; one with only one-letter parameters appends
# nothing. Other cases may write the same file at the same time, so only lines naming this
# script's definitions are counted.
set -u
quib=$1
log=/tmp/redv.log
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

appended_since() { tail -c +"$(( $1 + 1 ))" "$log" 2>/dev/null; }
size_of() { stat -c %s "$log" 2>/dev/null || echo 0; }

# traces CASE PROGRAM STATUS DEFINITION [LINE]: running PROGRAM ends with STATUS and appends
# LINE once as the only line for DEFINITION, or no line for it when LINE is not given.
traces() {
  local name=$1 program=$2 expected=$3 definition=$4 line=${5-}
  printf '%s\n' "$program" > "$work/$name.quib"
  local before
  before=$(size_of)
  "$quib" "$work/$name.quib"
  local status=$?
  [ "$status" = "$expected" ] || { echo "$name: status $status, expected $expected"; fail=1; }
  local lines
  lines=$(appended_since "$before" | grep -c "^First $definition:")
  if [ -z "$line" ]; then
    [ "$lines" = 0 ] || { echo "$name: $lines trace lines appended"; fail=1; }
    return
  fi
  local count
  count=$(appended_since "$before" | grep -cxF "$line")
  [ "$count" = 1 ] || { echo "$name: expected line appended $count times"; fail=1; }
  [ "$lines" = 1 ] || { echo "$name: $lines lines for the definition"; fail=1; }
}

traces named 'a\tracedfoo 1 2 3,tracedfoo\a\b\acc\plus acc (plus a b)' 6 tracedfoo \
  'First tracedfoo: (\a (\b (\ acc (plus acc (plus a b)))))'
traces quote 'a\tracedquote 5 H,tracedquote\acc\`(acc)' 5 tracedquote \
  'First tracedquote: (\ acc (V [acc] acc))'
traces letters 'a\tracedbar 1 2,tracedbar\a\b\plus a b' 3 tracedbar
exit $fail
