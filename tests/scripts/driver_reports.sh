#!/usr/bin/env bash
# The driver's own reports: no program file named, and a file that cannot be opened.
quib=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
fail=0

"$quib" > out 2> err
status=$?
printf 'Error.\n Type: Usage\nUsage: quib file arg0 arg1 arg2 ...\n\\/\n' > expected
[ "$status" = 1 ] || { echo "usage: status $status"; fail=1; }
cmp -s expected err || { echo "usage: stderr differs"; od -c err; fail=1; }
[ ! -s out ] || { echo "usage: unexpected stdout"; fail=1; }

"$quib" 'no[such' extra args > out 2> err
status=$?
printf 'Error.\n Type: Start\n Name: "no[5B]such"\nCould not read program file.\n\\/\n' > expected
[ "$status" = 128 ] || { echo "start: status $status"; fail=1; }
cmp -s expected err || { echo "start: stderr differs"; od -c err; fail=1; }
[ ! -s out ] || { echo "start: unexpected stdout"; fail=1; }

# Carriage returns and NUL bytes are kept: the NUL becomes a line feed atom, \r a name.
printf 'K 7\r' > crlf.quib
"$quib" crlf.quib > out 2> err
status=$?
grep -q 'Alive' err || { echo "crlf: expected the carriage return to be kept as a name"; cat err; fail=1; }
exit $fail
