#!/usr/bin/env bash
# Output that cannot be delivered is never reported as success: with standard output on a full
# device every way of ending (a result, a report, the exit builtin, the step limit) adds one line
# with the reason and ends with status 128, under both engines. A pipe whose reader has gone
# ends the run quietly by SIGPIPE, also when the signal came in ignored.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -w /dev/full ] || { echo "no /dev/full here: nothing to test"; exit 0; }

lost='quib: error writing standard output: No space left on device\n'
report='\e[mError.\n Type: Range\n Name: Z\nThe program must return an integer. Instead we encountered:\nZ\n\\/\n'
long=$(printf 'x%.0s' $(seq 3000))

fail=0
# program | QUIB_STEP_LIMIT | status | stderr
while IFS='|' read -r program limit status err; do
  printf '%s' "$program" >"$work/p.quib"
  printf '%b' "$err" >"$work/want_err"
  for engine in exact fast; do
    QUIB_ENGINE=$engine QUIB_STEP_LIMIT=$limit timeout 60 "$quib" "$work/p.quib" >/dev/full 2>"$work/err"
    got=$?
    if [ "$got" != "$status" ] || ! cmp -s "$work/err" "$work/want_err"; then
      echo "$engine, $program: status $got (want $status), stderr '$(cat "$work/err")'"
      fail=1
    fi
  done
done <<CASES
K(puts(init[hello])*0+7)|0|128|$lost
K(puts(init[$long])*0+puts(init[$long])*0+7)|0|128|$lost
K 7|0|7|
K(puts(init[hello])*0+Z)|0|128|$report$lost
K(puts(init[hello])*0+exit(9))|0|128|$lost
K(puts(init[hello])*0+go(1)),go\n\go(n+1)|1000|128|quib: step limit 1000 reached\n$lost
CASES

# A reader that has gone: the default SIGPIPE, and SIGPIPE inherited as ignored.
printf '%s' 'K(puts(init[hello])*0+7)' >"$work/p.quib"
for disposition in default ignored; do
  python3 - "$quib" "$work/p.quib" "$disposition" >"$work/pipe" <<'PY'
import os, signal, subprocess, sys
quib, program, disposition = sys.argv[1:]
signal.signal(signal.SIGPIPE, signal.SIG_DFL if disposition == "default" else signal.SIG_IGN)
read_end, write_end = os.pipe()
os.close(read_end)
run = subprocess.run([quib, program], stdout=write_end, stderr=subprocess.PIPE, timeout=60,
                     restore_signals=False)
print(run.returncode, run.stderr.decode())
PY
  if [ "$(cat "$work/pipe")" != "-13 " ]; then
    echo "closed pipe, SIGPIPE $disposition: $(cat "$work/pipe") (want -13 and nothing said)"
    fail=1
  fi
done
exit $fail
