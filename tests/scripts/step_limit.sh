#!/usr/bin/env bash
# QUIB_STEP_LIMIT=N stops a run after N machine steps with its own report and status 125,
# keeping the output written before; a run that ends within the limit, or a limit of 0 or none,
# is not affected.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

loop='K(puts(init[before])*0+go(1)),go\n\go(n+1)'
answer='K(fact 5),fact\n\(n<2) 1 (n*fact(n-1))'
# A main the fast tier compiles: a limit keeps it on the reducer, whose steps it counts.
compiled_loop='a\puts(init[before])*0+go(1),go\n\go(n+1)'
compiled_answer='a\fact 5,fact\n\(n<2) 1 (n*fact(n-1))'

fail=0
# limit | program | status | stdout | stderr
while IFS='|' read -r limit program status out err; do
  printf '%s' "$program" >"$work/p.quib"
  if [ "$limit" = unset ]; then
    (cd "$work" && timeout 20 "$quib" p.quib >out 2>err); got=$?
  else
    (cd "$work" && QUIB_STEP_LIMIT=$limit timeout 20 "$quib" p.quib >out 2>err); got=$?
  fi
  printf '%b' "$out" >"$work/want_out"
  printf '%b' "$err" >"$work/want_err"
  if [ "$got" != "$status" ] || ! cmp -s "$work/out" "$work/want_out" || ! cmp -s "$work/err" "$work/want_err"; then
    echo "limit $limit, $program: status $got (want $status), stdout '$(cat "$work/out")', stderr '$(cat "$work/err")'"
    fail=1
  fi
done <<CASES
1000|$loop|125|before\n|quib: step limit 1000 reached\n
1|$answer|125||quib: step limit 1 reached\n
100000|$answer|120||
0|$answer|120||
unset|$answer|120||
1000|$compiled_loop|125|before\n|quib: step limit 1000 reached\n
100000|$compiled_answer|120||
CASES
exit $fail
