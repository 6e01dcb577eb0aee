#!/usr/bin/env bash
# Every shape of bench/shapes, at its workload's tiny size, prints what the workload's Python
# program prints, with status 0 and nothing on standard error, under both engines.
set -u
quib=$1
root=$2
shapes=$root/bench/shapes
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/bench/common.sh"

# Fifty times the slowest run in the sanitizer build (1.1 s): only a hang reaches it, at any load.
guard=60
fail=0
while read -r workload tiny _; do
  case $workload in ''|'#'*) continue ;; esac
  arg=$tiny
  if [ "$workload" = wordcount ]; then text_input "$tiny" >"$work/text"; arg=$work/text; fi
  if ! python3 "$shapes/$workload.py" "$arg" >"$work/expected"; then
    echo "$workload.py failed"; fail=1; continue
  fi
  for program in "$shapes/$workload".*.quib; do
    for engine in exact fast; do
      status=0
      ARG=$arg QUIB_ENGINE=$engine timeout -s KILL $guard "$quib" "$program" "$arg" \
        >"$work/out" 2>"$work/err" </dev/null || status=$?
      if [ $status != 0 ] || [ -s "$work/err" ] || ! cmp -s "$work/out" "$work/expected"; then
        echo "$(basename "$program") under $engine: status $status, expected $(tr '\n' ' ' <"$work/expected")"
        echo "standard output: $(head -c 300 "$work/out" | tr '\n' ' ')"
        echo "standard error: $(head -c 300 "$work/err")"
        fail=1
      fi
    done
  done
done <"$shapes/sizes"
exit $fail
