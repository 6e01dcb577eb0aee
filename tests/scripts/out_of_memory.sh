#!/usr/bin/env bash
# A program that grows without bound under a limit on the address space (ulimit -v) ends the
# same clear way under both engines, whichever allocation fails first (cells, C++ objects, GMP
# numbers): what it wrote is flushed, then one line "quib: out of memory" and status 128.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The sanitizers reserve terabytes of address space and end on a failed allocation by themselves.
if ldd "$quib" 2>/dev/null | grep -q 'lib[at]san'; then
  echo "sanitizer build: not run under a memory limit"
  exit 0
fi
limit_kb=200000

fail=0
# shape | program
while IFS='|' read -r shape program; do
  printf '%s' "$program" >"$work/p.quib"
  for engine in exact fast; do
    (ulimit -v "$limit_kb"; QUIB_ENGINE=$engine timeout 600 "$quib" "$work/p.quib" >"$work/out" 2>"$work/err")
    got=$?
    if [ "$got" != 128 ] || [ "$(cat "$work/out")" != before ] || [ "$(cat "$work/err")" != "quib: out of memory" ]; then
      echo "$shape, $engine: status $got, stdout '$(head -c 100 "$work/out")', stderr '$(head -c 300 "$work/err")'"
      fail=1
    fi
  done
done <<'CASES'
text doubling|K(puts(init[before])*0+grow[ab]),grow\t\grow(t+t)
list doubling|K(puts(init[before])*0+grow[[a][b]]),grow\l\grow(l+l)
number squaring|K(puts(init[before])*0+grow(2^(2^18))),grow\n\grow(n*n)
endless list|a\x{puts(init[before])}from 1,from\n\V n(from(n+1))
CASES
exit $fail
