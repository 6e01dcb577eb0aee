#!/usr/bin/env bash
# Deep and long inputs end in a result or a report, never in a crash: a million nested
# parentheses, a million nested list brackets, long unary, operator and wing chains, and a data
# list built element by element.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

# run NAME STATUS [STDOUT]: the exit status must be STATUS (a status above 128 means a signal:
# a crash), and standard output STDOUT when given.
run() {
  local name=$1 expected=$2 out=${3-}
  timeout 250 "$quib" "$work/$name.quib" > "$work/$name.out" 2> "$work/$name.err"
  local status=$?
  if [ "$status" != "$expected" ]; then
    echo "$name: status $status, expected $expected"
    head -c 300 "$work/$name.err"
    fail=1
  elif [ -n "$out" ] && [ "$(cat "$work/$name.out")" != "$out" ]; then
    echo "$name: printed $(head -c 100 "$work/$name.out"), expected $out"
    fail=1
  fi
}

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
def write(name, text):
    with open(f"{work}/{name}.quib", "w") as f:
        f.write(text)
million, long = 1000000, 100000
show = "a\\x{puts(init(lisp(%s)))}0"
write("parens", "a\\" + "(" * million + "7" + ")" * million)
write("brackets", show % ("rank " + "[" * million + "]" * million))
write("unary", "a\\" + "~" * long + "7")
write("sum", "a\\" + "+".join(["1"] * long))
write("wings", "a\\" + "".join("x{%d}" % (i % 10) for i in range(long)) + "x")
# Each step appends one element: a left-nested chain of data pairs as long as the list.
write("elements", show % "rank(grow %d [])" % long + ",grow\\n\\l\\(n<1)l(grow(n-1)(l-[]))")
PY

run parens 7
run brackets 0 2000000
run unary 7
run sum 160
run wings 9
run elements 0 200002
exit $fail
