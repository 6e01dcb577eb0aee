#!/usr/bin/env bash
# Definition bodies a million levels deep pass every rewriting pass and check: a left-nested
# application chain and a right-nested one.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
depth=1000000
fail=0

run() {
  local name=$1 expected=$2
  timeout 100 "$quib" "$work/$name.quib" > /dev/null 2> "$work/$name.err"
  local status=$?
  if [ "$status" != "$expected" ]; then
    echo "$name: status $status, expected $expected"
    head -c 300 "$work/$name.err"
    fail=1
  fi
}

python3 - "$work" "$depth" <<'PY'
import sys
work, depth = sys.argv[1], int(sys.argv[2])
def write(name, text):
    with open(f"{work}/{name}.quib", "w") as f:
        f.write(text)
write("left", "a\\K 7 deep,deep\\" + " ".join(["I"] * depth))
write("right", "a\\K 7 deep,deep\\" + "I(" * depth + "0" + ")" * depth)
PY
for name in left right; do run "$name" 7; done
exit $fail
