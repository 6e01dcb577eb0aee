#!/usr/bin/env bash
# Runs one end-to-end case: NAME.quib with optional NAME.args (one argument a line) and
# NAME.stdin; compares the exit status (NAME.status, default 0), standard output (NAME.out)
# and standard error (NAME.err) byte for byte (missing files mean empty). A third argument
# names where the expectation files live when they are not beside the program.
set -u
quib=$1
case_file=$2
base=${3:-${case_file%.quib}}
dir=$(dirname "$case_file")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

args=()
if [ -f "$base.args" ]; then
  while IFS= read -r line || [ -n "$line" ]; do args+=("$line"); done < "$base.args"
fi
stdin=/dev/null
[ -f "$base.stdin" ] && stdin="$base.stdin"

expected_status=0
[ -f "$base.status" ] && expected_status=$(tr -d ' \n' < "$base.status")

(cd "$dir" && "$quib" "$case_file" "${args[@]}" < "$stdin" > "$work/out" 2> "$work/err")
status=$?

fail=0
if [ "$status" != "$expected_status" ]; then
  echo "status: expected $expected_status, got $status"
  fail=1
fi
for stream in out err; do
  expected="$base.$stream"
  [ -f "$expected" ] || expected=/dev/null
  if ! cmp -s "$expected" "$work/$stream"; then
    echo "std$stream differs (expected, then got):"
    od -c "$expected" | head -20
    echo "---"
    od -c "$work/$stream" | head -20
    fail=1
  fi
done
exit $fail
