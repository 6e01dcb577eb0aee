#!/usr/bin/env bash
# Under a limit on the address space (ulimit -v), under both engines:
# - a program that grows without bound ends the same clear way whichever allocation fails first
#   (cells, C++ objects, GMP numbers): what it wrote is flushed, then one line
#   "quib: out of memory" and status 128;
# - deep programs of a million levels (applications, lists, lambdas, wings, quotes, comparisons,
#   printing in a report) give the status they should and the same bytes as without the limit.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The sanitizers reserve terabytes of address space and end on a failed allocation by themselves.
if ldd "$quib" 2>/dev/null | grep -q 'lib[at]san'; then
  echo "sanitizer build: not run under a memory limit"
  exit 0
fi
fail=0

growing_limit_kb=200000
# shape | program
while IFS='|' read -r shape program; do
  printf '%s' "$program" >"$work/p.quib"
  for engine in exact fast; do
    (ulimit -v "$growing_limit_kb"; QUIB_ENGINE=$engine timeout 600 "$quib" "$work/p.quib" >"$work/out" 2>"$work/err")
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

deep_limit_kb=1000000
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
n = 1000000
nested = "[" * n + "]" * n
chain = ",deep\\n\\(n<1)[](V(deep(n-1))[])"
shapes = {
    "identities": "a\\" + "I(" * n + "a" + ")" * n + "*0+7",
    "printed_list": "a\\x{puts(init(lisp(rank(" + nested + "))))}0",
    "lambdas": "a\\" + "(b\\" * n + "b" + ")1" * n,
    "wings": "a\\" + "x{" * n + "7" + "}x" * n,
    "quotes": "a\\rank(lisp(" + "`" * 2000 + "7))",
    "same": "a\\(" + nested + "=" + nested + ")0 1",
    "less_built": "a\\(deep %d<deep %d)0 1,deep\\n\\(n<1)[](deep(n-1)-[])" % (n, n),
    "shared_copy": "a\\raws(tern(" + nested + "))(tern(" + nested + "))0 1",
    "reals": "a\\rank(lisp(" + "real(" * n + "1" + ")" * n + "))",
    "report": "a\\deep %d" % n + chain,
}
for name, text in shapes.items():
    with open(f"{work}/{name}.quib", "w") as f:
        f.write(text)
PY

# shape | status (empty: any but a signal's) | engines (tern keeps a program on the exact
# reducer)
while IFS='|' read -r shape status engines; do
  for engine in $engines; do
    for limit in unlimited "$deep_limit_kb"; do
      (ulimit -v "$limit"; QUIB_ENGINE=$engine timeout 600 "$quib" "$work/$shape.quib" \
        >"$work/$shape.$limit.out" 2>"$work/$shape.$limit.err"; echo $? >"$work/$shape.$limit.status")
    done
    got=$(cat "$work/$shape.$deep_limit_kb.status") unlimited=$(cat "$work/$shape.unlimited.status")
    if [ "$unlimited" != "$got" ] || [ "$got" -gt 128 ] || { [ -n "$status" ] && [ "$got" != "$status" ]; }; then
      echo "$shape, $engine: status $unlimited unlimited, $got limited (want ${status:-the same, not a signal})"
      head -c 300 "$work/$shape.$deep_limit_kb.err"
      fail=1
    elif ! cmp -s "$work/$shape.unlimited.out" "$work/$shape.$deep_limit_kb.out" ||
         ! cmp -s "$work/$shape.unlimited.err" "$work/$shape.$deep_limit_kb.err"; then
      echo "$shape, $engine: the limit changed the output"
      fail=1
    fi
  done
done <<CASES
identities|7|exact fast
printed_list|0|exact fast
lambdas|1|exact fast
wings|7|exact fast
quotes||exact fast
same|0|exact fast
less_built|1|exact fast
shared_copy|0|exact
reals|20|exact fast
report|128|exact fast
CASES
exit $fail
