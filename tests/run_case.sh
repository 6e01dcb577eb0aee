#!/usr/bin/env bash
# Runs one end-to-end case: NAME.quib with optional NAME.args (one argument a line) and
# NAME.stdin; compares the exit status (NAME.status, default 0), standard output (NAME.out)
# and standard error (NAME.err) byte for byte (missing files mean empty). A third argument
# names where the expectation files live when they are not beside the program.
# NAME.env holds VAR=value lines for quib's environment; such a case names its program
# relative to its directory, so that file:line:column lines do not depend on the checkout.
# With QUIB_CASE_DIAGNOSE=1, a case without NAME.env runs with QUIB_DIAGNOSE=1: status and
# standard output stay as expected, and standard error is the expected bytes followed only by
# lines starting with "quib: ".
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

environment=()
program=$case_file
adds_lines=0
if [ -f "$base.env" ]; then
  while IFS= read -r line || [ -n "$line" ]; do [ -n "$line" ] && environment+=("$line"); done < "$base.env"
  program=$(basename "$case_file")
elif [ "${QUIB_CASE_DIAGNOSE:-}" = 1 ]; then
  environment+=(QUIB_DIAGNOSE=1)
  adds_lines=1
fi

(cd "$dir" && env -u QUIB_DIAGNOSE "${environment[@]}" "$quib" "$program" "${args[@]}" \
   < "$stdin" > "$work/out" 2> "$work/err")
status=$?

# Keeps in $work/err only the bytes before the added "quib: " lines; fails when anything else follows.
split_added_lines() {
  local size added
  size=$(stat -c %s "$1")
  added=$(tail -c +$((size + 1)) "$work/err")
  if [ -n "$added" ] && grep -qv '^quib: ' <<< "$added"; then
    echo "stderr has more than quib: lines after the expected bytes:"
    printf '%s\n' "$added" | head -20
    return 1
  fi
  head -c "$size" "$work/err" > "$work/err.kept" && mv "$work/err.kept" "$work/err"
}

fail=0
if [ "$status" != "$expected_status" ]; then
  echo "status: expected $expected_status, got $status"
  fail=1
fi
for stream in out err; do
  expected="$base.$stream"
  [ -f "$expected" ] || expected=/dev/null
  if [ "$stream" = err ] && [ "$adds_lines" = 1 ] && ! split_added_lines "$expected"; then
    fail=1
  fi
  if ! cmp -s "$expected" "$work/$stream"; then
    echo "std$stream differs (expected, then got):"
    od -c "$expected" | head -20
    echo "---"
    od -c "$work/$stream" | head -20
    fail=1
  fi
done
exit $fail
