#!/usr/bin/env bash
# Function values built in the ways the fast tier keeps as objects must come out of both engines as
# the same graph, sharing included (QUIB_GRAPH), with the fast tier making every object's cells at once.
set -u
quib=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each case: a name, then the program. fp pairs two values as a partial application, so that both
# end up in one result graph; fa takes three arguments.
common='fp\x\y\z\z x y,
fa\n\m\k\V n m k'
cases=(
  "partial application extended" 'a\fe(fa 1,2),
fe\f\k\fp f (f k)'
  "the same parameter twice" 'a\fe (fa 1),
fe\f\fp (fa f f) f'
  "closed prefix of a partial application" 'a\fb 3,
fb\n\fp (fa (K 1) n) (fa (K 1))'
  "closure made inside a closure" 'a\fe (fc 3) 5,
fc\n\q{n+1}(y\z\V (K q) y z),
fe\f\k\fp f (f k)'
  "closure handing over a captured subterm" 'a\fe (fc 3) 5,
fc\n\q{n+1}(y\V (K q) y),
fe\f\k\fp f (f k)'
  "partial application inside a closure" 'a\fe (fc 3) 5,
fc\n\q{n+1}(y\fa (K q) y),
fe\f\k\fp f (f k)'
  "closure from a binding" 'a\fb 3 4,
fb\n\m\g{(y\z\V n m z y)}fp g (g 1)'
)
fail=0
for ((i = 0; i < ${#cases[@]}; i += 2)); do
  name=${cases[i]}
  printf '%s,\n%s\n' "${cases[i + 1]}" "$common" >"$work/p.quib"
  for engine in exact fast; do
    QUIB_ENGINE=$engine QUIB_GRAPH="$work/$engine.graph" "$quib" "$work/p.quib" >"$work/$engine.out" 2>&1
  done
  if ! grep -q 'Type: Range' "$work/exact.out"; then
    echo "$name: no function result"; cat "$work/exact.out"; fail=1
  elif ! grep -q '^\^' "$work/exact.graph"; then
    echo "$name: the result shares nothing"; fail=1
  elif ! cmp -s "$work/exact.graph" "$work/fast.graph"; then
    echo "$name: the graphs differ"; diff "$work/exact.graph" "$work/fast.graph" | head -20; fail=1
  fi
done
exit $fail
