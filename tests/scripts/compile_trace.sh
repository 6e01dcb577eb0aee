#!/usr/bin/env bash
# The renaming trace: a definition with a named parameter appends exactly its "First" line to
# /tmp/redv.log; one with only one-letter parameters appends nothing. Other cases may write the
# same file at the same time, so only lines naming this script's definitions are counted.
set -u
quib=$1
log=/tmp/redv.log
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

appended_since() { tail -c +"$(( $1 + 1 ))" "$log" 2>/dev/null; }
size_of() { stat -c %s "$log" 2>/dev/null || echo 0; }

printf 'a\\tracedfoo 1 2 3,tracedfoo\\a\\b\\acc\\plus acc (plus a b)\n' > "$work/named.quib"
before=$(size_of)
"$quib" "$work/named.quib"
status=$?
[ "$status" = 6 ] || { echo "named parameter: status $status, expected 6"; fail=1; }
expected='First tracedfoo: (\a (\b (\ acc (plus acc (plus a b)))))'
count=$(appended_since "$before" | grep -cxF "$expected")
[ "$count" = 1 ] || { echo "named parameter: expected line appended $count times"; fail=1; }
others=$(appended_since "$before" | grep -c '^First tracedfoo' )
[ "$others" = 1 ] || { echo "named parameter: $others lines for the definition"; fail=1; }

# A quote's text is written out in the trace.
printf 'a\\tracedquote 5 H,tracedquote\\acc\\`(acc)\n' > "$work/quote.quib"
before=$(size_of)
"$quib" "$work/quote.quib"
status=$?
[ "$status" = 5 ] || { echo "quote: status $status, expected 5"; fail=1; }
count=$(appended_since "$before" | grep -cxF 'First tracedquote: (\ acc (V [acc] acc))')
[ "$count" = 1 ] || { echo "quote: expected line appended $count times"; fail=1; }

printf 'a\\tracedbar 1 2,tracedbar\\a\\b\\plus a b\n' > "$work/letters.quib"
before=$(size_of)
"$quib" "$work/letters.quib"
status=$?
[ "$status" = 3 ] || { echo "letters only: status $status, expected 3"; fail=1; }
count=$(appended_since "$before" | grep -c '^First tracedbar')
[ "$count" = 0 ] || { echo "letters only: $count trace lines appended"; fail=1; }
exit $fail
