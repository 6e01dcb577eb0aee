#!/usr/bin/env bash
# The driver's own reports: no program file named, a file that cannot be opened, and the
# report on a file whose line ends with a carriage return.
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

# A carriage return is kept as a name of its own, undefined, and shown as its control letter.
printf 'K 7\r' > crlf.quib
"$quib" crlf.quib > out 2> err
status=$?
printf '\e[mError.\n Type: Alive\n Name: \e[32mM\e[m\nAlive [\e[32mM\e[m] referenced by [TOP] but not defined.\n\\/\n' > expected
[ "$status" = 128 ] || { echo "crlf: status $status"; fail=1; }
cmp -s expected err || { echo "crlf: stderr differs"; od -c err; fail=1; }
[ ! -s out ] || { echo "crlf: unexpected stdout"; fail=1; }
exit $fail
