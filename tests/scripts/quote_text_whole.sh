#!/usr/bin/env bash
# A quote carries the whole printed text of its source however long it is, under both engines:
# only reports cut what they print.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
n = 700000
source = "K" + " ab" * n + " cd"
with open(f"{work}/quote.quib", "w") as f:
    f.write("a\\t{(`(" + source + ")) K}x{puts(init t)}0,ab\\1,cd\\2")
with open(f"{work}/expected", "w") as f:
    f.write("(" + source + ")\n")
PY

fail=0
for engine in exact fast; do
  QUIB_ENGINE=$engine timeout 600 "$quib" "$work/quote.quib" >"$work/out" 2>"$work/err"
  status=$?
  if [ "$status" != 0 ] || [ -s "$work/err" ] || ! cmp -s "$work/expected" "$work/out"; then
    echo "$engine: status $status, $(wc -c <"$work/out") bytes out of $(wc -c <"$work/expected"), stderr '$(head -c 300 "$work/err")'"
    fail=1
  fi
done
exit $fail
