#!/usr/bin/env bash
# The differential fuzzer: generates programs, runs each under the exact reducer and the fast
# tier, compares status, standard output and standard error byte for byte (with --graphs, the result
# graphs too), and keeps every difference (program and both outputs) for reproduction. Exits 1 when
# any differs.
set -euo pipefail
shopt -s extglob

usage() {
  cat <<'EOF'
Usage: bash tests/difffuzz/run.sh [options]
  --programs N         how many programs to generate and run (default 300)
  --seed S             seed of the first program; program i has seed S+i (default 1)
  --step-limit N       machine steps the exact run may take (default 200000)
  --timeout SECONDS    guard against a hanging run; never a measure (default 60)
  --keep DIR           where differences are kept (default difffuzz-differences)
  --build DIR          build directory with quib and the generator (default build)
  --quib PATH          the interpreter (default BUILD/quib)
  --fast-quib PATH     the interpreter for the fast run (default: the same)
  --generator PATH     the program generator (default BUILD/tests/difffuzz/quib_difffuzz_generate)
  --require-passing P  fail unless at least P percent of the programs pass the checks
  --graphs             also compare the result graphs, structure and sharing (QUIB_GRAPH), the
                       fast tier turning every function and big integer into cells as it makes it
Without --quib, builds quib and the generator in BUILD (Release) first.
EOF
}

root=$(cd "$(dirname "$0")/../.." && pwd)
programs=300 seed=1 step_limit=200000 guard=60 keep=difffuzz-differences build=$root/build
quib= fast_quib= generator= require_passing=0 graphs=0

while [ $# -gt 0 ]; do
  case $1 in
    --programs) programs=$2; shift ;;
    --seed) seed=$2; shift ;;
    --step-limit) step_limit=$2; shift ;;
    --timeout) guard=$2; shift ;;
    --keep) keep=$2; shift ;;
    --build) build=$2; shift ;;
    --quib) quib=$2; shift ;;
    --fast-quib) fast_quib=$2; shift ;;
    --generator) generator=$2; shift ;;
    --require-passing) require_passing=$2; shift ;;
    --graphs) graphs=1 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done
for n in "$programs" "$seed" "$step_limit" "$guard" "$require_passing"; do
  case $n in ''|*[!0-9]*) echo "not a number: $n" >&2; exit 2 ;; esac
done

if [ -z "$quib" ]; then
  echo "building quib and the generator (Release) in $build" >&2
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target quib quib_difffuzz_generate >/dev/null
  quib=$build/quib
fi
fast_quib=${fast_quib:-$quib}
generator=${generator:-$build/tests/difffuzz/quib_difffuzz_generate}
# Programs run in a folder of their own, so every path is made absolute.
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
keep=$(absolute "$keep") quib=$(absolute "$quib") fast_quib=$(absolute "$fast_quib") generator=$(absolute "$generator")
for tool in "$quib" "$fast_quib" "$generator"; do
  [ -x "$tool" ] || { echo "not executable: $tool" >&2; exit 2; }
done

# The status and report of a run stopped at the step limit (engine/reducer.h).
limit_status=125
limit_report="quib: step limit $step_limit reached"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" "$seed" "$programs" "$work"

# run ENGINE PROGRAM PREFIX [ENV ARGUMENTS...]: PREFIX.out, PREFIX.err and PREFIX.status, which holds
# "time-out" when the guard stopped the run (a program may itself exit with timeout's status), and
# with --graphs PREFIX.graph when the run came back with a result.
# Programs run in an empty folder, so that whatever they write stays there. The guard kills: quib
# ends on TERM only once the step in hand is done, by when the shell between has gone and timeout
# has stopped waiting, so the run could still write its output into a later run's files.
run() {
  local engine=$1 program=$2 prefix=$3
  shift 3
  mkdir -p "$work/cwd"
  rm -f "$prefix.status" "$prefix.graph"
  local graph=()
  [ $graphs = 0 ] || graph=(QUIB_GRAPH="$prefix.graph")
  # The braces take the shell's own line about the killed job.
  { (cd "$work/cwd" && env "$@" "${graph[@]}" QUIB_ENGINE="$engine" timeout -s KILL "$guard" \
      sh -c '"$0" "$1" </dev/null >"$2.out" 2>"$2.err"; echo $? >"$2.status"' \
      "$(engine_binary "$engine")" "$program" "$prefix") || true; } 2>/dev/null
  [ -s "$prefix.status" ] || echo time-out >"$prefix.status"
}
engine_binary() { if [ "$1" = fast ]; then echo "$fast_quib"; else echo "$quib"; fi; }

# The outcome of the exact run: its report type, a step-limit stop, or an exit status.
outcome() {
  local prefix=$1 status type
  status=$(<"$prefix.status")
  if [ "$status" = $limit_status ] && [ "$(<"$prefix.err")" = "$limit_report" ]; then echo "past the step limit"
  elif [ "$status" = time-out ]; then echo "guard time-out"
  elif [ "$status" = 128 ] && type=$(sed -n 's/^ Type: //p' "$prefix.err") && [ -n "$type" ]; then echo "report $type"
  else echo "exit status"
  fi
}
is_check_report() {
  case $1 in "report "@(Match|Comma|Built|Place|Alive|Arity|Funky|Local)) return 0 ;; esac
  return 1
}

keep_difference() {  # seed program reason
  local dir=$keep/$1
  mkdir -p "$dir"
  cp "$2" "$dir/program.quib"
  for engine in exact fast; do
    for stream in out err status; do cp "$work/$engine.$stream" "$dir/$engine.$stream"; done
    [ ! -f "$work/$engine.graph" ] || cp "$work/$engine.graph" "$dir/$engine.graph"
  done
  echo "$3" >"$dir/reason"
}

# The fast run's own line about its work ("fast tier: C calls, H hand-overs, ..."), printed when the
# run ends normally, is counted and taken out before the comparison.
stats_line='^fast tier: [0-9]+ calls, [0-9]+ hand-overs(, .*)?$'
with_stats=0 with_calls=0 with_handovers=0 total_calls=0 total_handovers=0
count_fast_work() {
  local err=$1 found number calls handovers
  found=$(grep -n -E -m1 "$stats_line" "$err") || return 0
  number=${found%%:*}
  read -r calls handovers <<<"$(sed -E 's/^[0-9]+:fast tier: ([0-9]+) calls, ([0-9]+) hand-overs(, .*)?$/\1 \2/' <<<"$found")"
  with_stats=$((with_stats + 1))
  [ "$calls" = 0 ] || with_calls=$((with_calls + 1))
  [ "$handovers" = 0 ] || with_handovers=$((with_handovers + 1))
  total_calls=$((total_calls + calls)) total_handovers=$((total_handovers + handovers))
  sed -i "${number}d" "$err"
}

# Both runs wrote their result graph, the same, or neither did (an exit or a report before the end).
same_graph() {
  if [ -f "$work/exact.graph" ] && [ -f "$work/fast.graph" ]; then
    graphs_compared=$((graphs_compared + 1))
    ! grep -q '^\^' "$work/exact.graph" || graphs_sharing=$((graphs_sharing + 1))
    cmp -s "$work/exact.graph" "$work/fast.graph"
  else
    [ ! -f "$work/exact.graph" ] && [ ! -f "$work/fast.graph" ]
  fi
}

declare -A outcomes
graphs_compared=0 graphs_sharing=0
passed=0 compared=0 past_limit=0 differences=0
for ((i = 0; i < programs; i++)); do
  s=$((seed + i))
  program=$work/$s.quib
  run exact "$program" "$work/exact" QUIB_STEP_LIMIT="$step_limit"
  o=$(outcome "$work/exact")
  outcomes[$o]=$((${outcomes[$o]:-0} + 1))
  is_check_report "$o" || passed=$((passed + 1))
  case $o in
    "past the step limit") past_limit=$((past_limit + 1)); continue ;;
    "guard time-out") continue ;;
  esac
  run fast "$program" "$work/fast" -u QUIB_STEP_LIMIT QUIB_FAST_STATS=1
  count_fast_work "$work/fast.err"
  compared=$((compared + 1))
  reason=
  [ "$(<"$work/fast.status")" = time-out ] && reason="the fast run timed out"
  for stream in status out err; do
    cmp -s "$work/exact.$stream" "$work/fast.$stream" || reason="${reason:+$reason; }$stream differs"
  done
  [ $graphs = 0 ] || same_graph || reason="${reason:+$reason; }graph differs"
  if [ -n "$reason" ]; then
    differences=$((differences + 1))
    keep_difference "$s" "$program" "$reason"
    echo "difference at seed $s: $reason (kept in $keep/$s)" >&2
  fi
done

percent() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f%%", b ? 100 * a / b : 0 }'; }
echo "programs generated:  $programs (seeds $seed to $((seed + programs - 1)))"
echo "passed the checks:   $passed ($(percent "$passed" "$programs"))"
echo "compared:            $compared"
echo "past the step limit: $past_limit (limit $step_limit steps)"
echo "differences:         $differences"
[ $graphs = 0 ] || echo "result graphs compared: $graphs_compared ($graphs_sharing with shared pairs)"
echo "fast runs that said what they did: $with_stats (the others ended early: exit, report, time-out)"
echo "  with fast calls:     $with_calls ($(percent "$with_calls" "$compared") of those compared)"
echo "  with hand-overs:     $with_handovers ($(percent "$with_handovers" "$compared") of those compared)"
echo "  fast calls:          $total_calls"
echo "  hand-overs:          $total_handovers ($(awk -v a="$total_handovers" -v b="$with_stats" 'BEGIN { printf "%.1f", b ? a / b : 0 }') per program)"
echo "outcomes of the exact run:"
for o in "${!outcomes[@]}"; do
  printf '  %-22s %6d  %s\n' "$o" "${outcomes[$o]}" "$(percent "${outcomes[$o]}" "$programs")"
done | sort
echo "reproduce one: $generator SEED > p.quib; QUIB_ENGINE=exact $quib p.quib; QUIB_ENGINE=fast $quib p.quib"

[ "$differences" = 0 ] || exit 1
if [ $((passed * 100)) -lt $((require_passing * programs)) ]; then
  echo "only $(percent "$passed" "$programs") of the programs pass the checks (wanted $require_passing%)" >&2
  exit 1
fi
