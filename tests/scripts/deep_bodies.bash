#!/usr/bin/env bash
# Definition bodies a million levels deep pass every rewriting pass and check. Called by the
# compile_deep_*.sh cases with the quib path and the variants to run (split so that each case
# stays within the per-test time under the sanitizers).
set -u
quib=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

python3 - "$work" 1000000 "$@" <<'PY'
import sys
work, depth, names = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
bodies = {
    "left": " ".join(["I"] * depth),                      # left-nested application chain
    "right": "I(" * depth + "0" + ")" * depth,            # right-nested one
    "parens": "(" * depth + "I 1" + ")" * depth,          # deep parentheses
    "quoted": "`(" + " ".join(["I"] * depth) + ")",       # printed source cut at the limit
}
for name in names:
    with open(f"{work}/{name}.quib", "w") as f:
        f.write("a\\K 7 deep,deep\\" + bodies[name])
PY

for name in "$@"; do
  timeout 600 "$quib" "$work/$name.quib" > /dev/null 2> "$work/$name.err"
  status=$?
  if [ "$status" != 7 ]; then
    echo "$name: status $status, expected 7"
    head -c 300 "$work/$name.err"
    fail=1
  fi
done
exit $fail
