#!/usr/bin/env bash
# A directory named as the program file gives the Start report, not an empty program.
quib=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
"$quib" . > out 2> err
status=$?
printf 'Error.\n Type: Start\n Name: "."\nCould not read program file.\n\\/\n' > expected
[ "$status" = 128 ] || { echo "status $status"; exit 1; }
cmp -s expected err || { echo "stderr differs"; od -c err; exit 1; }
[ ! -s out ] || { echo "unexpected stdout"; exit 1; }
