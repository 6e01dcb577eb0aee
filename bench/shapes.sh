#!/usr/bin/env bash
# Runs every shape of bench/shapes (one workload written in several ways) beside the workload's
# Python and Hugs peers. Each shape must give the Python peer's output, and the same output and
# status under both engines; then it is timed, and one row per shape shows its median times, the
# ratios to the peers, peak memory under each engine, callgrind's instructions and the fast tier's
# calls and hand-overs at two sizes.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: bash bench/shapes.sh [options]
  --quick              smaller sizes
  --runs N             timed runs of each shape and peer, after the checking run (default 3)
  --only LIST          workloads or single shapes (WORKLOAD.SHAPE), comma-separated
  --limit SECONDS      stop a run that takes longer and run that one no more (default 60)
  --build DIR          build directory for quib in Release (default build-bench)
  --no-install         do not install missing interpreters; skip them instead
  --no-callgrind       do not count instructions with callgrind

A shape whose output differs from its peer's, or whose engines differ, is not timed, and the
script then exits with 1. Sizes are in bench/shapes/sizes.
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
shapes=$root/bench/shapes
quick=0 runs=3 limit=60 install=1 callgrind=1 only= build=$root/build-bench

while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1 ;;
    --runs) runs=$2; shift ;;
    --only) only=$2; shift ;;
    --limit) limit=$2; shift ;;
    --build) build=$2; shift ;;
    --no-install) install=0 ;;
    --no-callgrind) callgrind=0 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done
case $runs in ''|*[!0-9]*|0) echo "--runs wants a positive number" >&2; exit 2 ;; esac
case $limit in ''|*[!0-9]*|0) echo "--limit wants a positive number of seconds" >&2; exit 2 ;; esac

. "$root/bench/common.sh"

declare -A size small large
workloads=()
while read -r w tiny q full s l; do
  case $w in ''|'#'*) continue ;; esac
  if [ -n "$only" ] && [[ ",$only," != *",$w,"* ]] && [[ ",$only," != *",$w."* ]]; then continue; fi
  workloads+=("$w")
  size[$w]=$([ $quick = 1 ] && echo "$q" || echo "$full"); small[$w]=$s; large[$w]=$l
done <"$shapes/sizes"
[ ${#workloads[@]} -gt 0 ] || { echo "no workload matches --only $only" >&2; exit 2; }

# The shapes of a workload that --only keeps, as WORKLOAD.SHAPE.
shapes_of() {
  local f name
  for f in "$shapes/$1".*.quib; do
    name=$(basename "$f" .quib)
    if [ -z "$only" ] || [[ ",$only," == *",$1,"* ]] || [[ ",$only," == *",$name,"* ]]; then echo "$name"; fi
  done
}

missing=()
[ -x /usr/bin/time ] || missing+=(time)
have runhugs || missing+=(hugs)
[ $callgrind = 1 ] && ! have valgrind && missing+=(valgrind)
install_missing $install ${missing[@]+"${missing[@]}"}
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }
have runhugs || echo "hugs missing: skipped" >&2
[ $callgrind = 0 ] || have valgrind || { echo "valgrind missing: no instructions" >&2; callgrind=0; }
python=$(python_path)
[ -n "$python" ] || { echo "python3 is needed: its programs give the expected outputs" >&2; exit 1; }

build_quib "$root" "$build"
quib=$build/quib

work=$(mktemp -d /tmp/quib-shapes.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The argument a workload's programs get at a size: the number itself, or for the word count the
# name of a generated text of that many bytes. Shapes that cannot reach the argument vector read
# the same argument from the variable ARG.
argument() {  # workload size
  if [ "$1" = wordcount ]; then
    [ -f "$work/text.$2" ] || text_input "$2" >"$work/text.$2"
    echo "$work/text.$2"
  else
    echo "$2"
  fi
}

# A contestant is a peer (python or hugs) or a shape under an engine (SHAPE@exact, SHAPE@fast).
command_for() {  # contestant workload argument -> the command line, one word a line
  case $1 in
    python) printf '%s\n' "$python" "$shapes/$2.py" "$3" ;;
    hugs) hugs_command "$shapes/$2.hs" "$3" ;;
    *@exact) printf '%s\n' env ARG="$3" QUIB_ENGINE=exact "$quib" "$shapes/${1%@*}.quib" "$3" ;;
    *@fast) printf '%s\n' env ARG="$3" QUIB_ENGINE=fast QUIB_FAST_STATS=1 "$quib" "$shapes/${1%@*}.quib" "$3" ;;
  esac
}

declare -A gave_up output note times peak calls_small hands_small calls_large hands_large calls_run hands_run instr
wrong=0
growing=() flat=()

run_once() {  # contestant workload argument record(0|1) -> keeps the time, or marks the contestant
  local c=$1 cmd
  [ -z "${gave_up[$c]:-}" ] || return 0
  mapfile -t cmd < <(command_for "$c" "$2" "$3")
  measure "$limit" "$work/out" "$work/err" "${cmd[@]}"
  if [ $run_status = 124 ] || [ $run_status = 137 ]; then
    gave_up[$c]="over $limit s"; echo "  $c: stopped after $limit s" >&2; return 0
  fi
  # The fast tier's counters at the size timed, the last line of its standard error, are no
  # part of the output compared.
  if [[ $c == *@fast ]]; then
    read -r "calls_run[${c%@*}]" "hands_run[${c%@*}]" <<<"$(counters "$work/err")" || true
    sed -i '${/^fast tier: /d}' "$work/err"
  fi
  local got; got="status $run_status: $(cat "$work/out")$(cat "$work/err")"
  if [ -z "${output[$c]+set}" ]; then
    output[$c]=$got
  elif [ "$got" != "${output[$c]}" ]; then
    gave_up[$c]="output changed between runs"; wrong=1; return 0
  fi
  [ "$4" = 1 ] || return 0
  times[$c]+="$run_seconds "
  [ "${peak[$c]:-0}" -ge "$run_kilobytes" ] || peak[$c]=$run_kilobytes
}

median_of() { tr ' ' '\n' <<<"${times[$1]:-}" | { grep . || true; } | median; }

# The fast tier's counters, read from its last line on standard error.
counters() {  # file -> "calls hand-overs", or nothing
  tail -n 1 "$1" | sed -n 's/^fast tier: \([0-9]*\) calls, \([0-9]*\) hand-overs.*/\1 \2/p'
}
fast_stats() {  # shape workload size -> "calls hand-overs", or nothing
  local arg; arg=$(argument "$2" "$3")
  measure "$limit" "$work/stats.out" "$work/stats.err" \
    env ARG="$arg" QUIB_ENGINE=fast QUIB_FAST_STATS=1 "$quib" "$shapes/$1.quib" "$arg"
  counters "$work/stats.err"
}

for w in "${workloads[@]}"; do
  arg=$(argument "$w" "${size[$w]}")
  for p in python hugs; do unset "output[$p]" "times[$p]" "peak[$p]" "note[$p]" "gave_up[$p]"; done
  contestants=(python)
  [ -f "$shapes/$w.hs" ] && have runhugs && contestants+=(hugs)
  for s in $(shapes_of "$w"); do contestants+=("$s@exact" "$s@fast"); done
  echo "$w ${size[$w]}: checking run and $runs timed runs of ${#contestants[@]} programs" >&2

  # The checking run, which also warms up: every shape against Python, and its engines together.
  for c in "${contestants[@]}"; do run_once "$c" "$w" "$arg" 0; done
  expected=${output[python]:-}
  [ -n "$expected" ] || { echo "  python gave no output for $w" >&2; wrong=1; }
  if [ -n "${output[hugs]:-}" ] && [ "${output[hugs]}" != "$expected" ]; then
    note[hugs]="DIFFERS from python"; gave_up[hugs]="wrong output"; wrong=1
  fi
  for s in $(shapes_of "$w"); do
    e=${output[$s@exact]:-} f=${output[$s@fast]:-}
    if [ -n "$e" ] && [ -n "$f" ] && [ "$e" != "$f" ]; then
      note[$s]="ENGINES DIFFER: exact ${e:0:80} / fast ${f:0:80}"
    elif [ -n "$expected" ] && [ -n "$e$f" ] && [ "${e:-$f}" != "$expected" ]; then
      note[$s]="WRONG: ${e:-$f}"
    else
      continue
    fi
    note[$s]=$(tr '\n' ' ' <<<"${note[$s]}")
    wrong=1; gave_up[$s@exact]=${note[$s]}; gave_up[$s@fast]=${note[$s]}
    echo "  $s: ${note[$s]}" >&2
  done

  # Each round starts with the next program, so slow phases of a busy machine spread out.
  n=${#contestants[@]}
  for ((r = 0; r < runs; r++)); do
    for ((j = 0; j < n; j++)); do run_once "${contestants[(r + j) % n]}" "$w" "$arg" 1; done
  done

  for s in $(shapes_of "$w"); do
    [ -z "${note[$s]:-}" ] || continue
    read -r "calls_small[$s]" "hands_small[$s]" <<<"$(fast_stats "$s" "$w" "${small[$w]}")" || true
    read -r "calls_large[$s]" "hands_large[$s]" <<<"$(fast_stats "$s" "$w" "${large[$w]}")" || true
    # Each size has more work than the one before: the small, the large, the size timed.
    if [ "${hands_large[$s]:-0}" -gt "${hands_small[$s]:-0}" ] ||
       [ "${hands_run[$s]:-0}" -gt "${hands_large[$s]:-0}" ]; then
      growing+=("$s")
    fi
    # The large size has about twice the work: calls that do not follow leave the work to the reducer.
    if [ -n "${calls_large[$s]:-}" ] && [ $((2 * calls_large[$s])) -le $((3 * calls_small[$s])) ]; then
      flat+=("$s")
    fi
    [ $callgrind = 1 ] || continue
    small_arg=$(argument "$w" "${small[$w]}")
    for e in exact fast; do
      instr[$s@$e]=$(count_instructions "$work/cg.out" "$work/cg.err" ARG="$small_arg" QUIB_ENGINE=$e \
        "$quib" "$shapes/$s.quib" "$small_arg") || instr[$s@$e]=
    done
  done

  # The table of this workload.
  py=$(median_of python); hs=$(median_of hugs)
  echo
  printf '%s %s, expected %s\n' "$w" "${size[$w]}" "$(tr '\n' ' ' <<<"${expected#status 0: }" | sed 's/ $//')"
  for p in python hugs; do
    t=$(median_of $p)
    [ -z "$t" ] || printf '  %-6s %8.3f s %8.1f MB  %s\n' "$p" "$t" "$(awk -v k="${peak[$p]}" 'BEGIN { print k / 1024 }')" "${note[$p]:-}"
  done
  printf '%-22s %8s %8s %8s %8s %9s %8s %8s %9s %9s %10s %9s %10s %9s %10s %9s  %s\n' shape "exact s" \
    "fast s" exact/py fast/py fast/hugs "exact MB" "fast MB" "exact Mi" "fast Mi" "calls:S" "hand:S" \
    "calls:L" "hand:L" "calls:T" "hand:T" note
  for s in $(shapes_of "$w"); do
    te=$(median_of "$s@exact"); tf=$(median_of "$s@fast")
    extra=${note[$s]:-}
    if [ -z "$extra" ]; then
      for e in exact fast; do [ -z "${gave_up[$s@$e]:-}" ] || extra+="${extra:+; }$e ${gave_up[$s@$e]}"; done
    fi
    [[ " ${flat[*]} " != *" $s "* ]] || extra="calls flat${extra:+; $extra}"
    [[ " ${growing[*]} " != *" $s "* ]] || extra="hand-overs grow${extra:+; $extra}"
    awk -v s="$s" -v te="$te" -v tf="$tf" -v py="$py" -v hs="$hs" -v me="${peak[$s@exact]:-}" \
        -v mf="${peak[$s@fast]:-}" -v ie="${instr[$s@exact]:-}" -v if_="${instr[$s@fast]:-}" \
        -v cs="${calls_small[$s]:-}" -v hs_="${hands_small[$s]:-}" -v cl="${calls_large[$s]:-}" \
        -v hl="${hands_large[$s]:-}" -v ct="${calls_run[$s]:-}" -v ht="${hands_run[$s]:-}" -v note="$extra" 'function num(v, f) { return v == "" ? "-" : sprintf(f, v) }
      function ratio(a, b) { return (a == "" || b == "" || b == 0) ? "-" : sprintf("%.2f", a / b) }
      BEGIN {
        printf "%-22s %8s %8s %8s %8s %9s %8s %8s %9s %9s %10s %9s %10s %9s %10s %9s  %s\n", s,
          num(te, "%.3f"), num(tf, "%.3f"), ratio(te, py), ratio(tf, py), ratio(tf, hs),
          num(me == "" ? "" : me / 1024, "%.1f"), num(mf == "" ? "" : mf / 1024, "%.1f"),
          num(ie == "" ? "" : ie / 1e6, "%.1f"), num(if_ == "" ? "" : if_ / 1e6, "%.1f"),
          num(cs, "%d"), num(hs_, "%d"), num(cl, "%d"), num(hl, "%d"), num(ct, "%d"), num(ht, "%d"), note
      }'
  done
done

echo
echo "quib $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?'), $runs runs after a checking run, $(nproc) cores, limit $limit s"
echo "S, L and T: the fast tier's counters at the sizes small and large (bench/shapes/sizes) and at the"
echo "size timed; instructions in millions (Mi) at the small size"
echo "shapes whose hand-overs grow with the size: ${growing[*]:-none}"
echo "shapes whose compiled calls do not follow the work (the reducer does it): ${flat[*]:-none}"
exit $wrong
