#!/usr/bin/env bash
# Times the workloads of bench/programs under quib (its default engine choice and the exact
# reducer alone), Hugs, Guile and Python side by side and prints medians, peak memory and the
# ratios of quib to each other interpreter, with instructions per nfib call for each quib engine.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: bash bench/run.sh [options]
  --quick              smaller sizes (seconds instead of minutes)
  --runs N             timed runs per workload and interpreter, after one warm-up (default 5)
  --only LIST          workloads, comma-separated (nfib,listsum,factorial,append,church,lines)
  --with LIST          interpreters, comma-separated (quib,quib-exact,hugs,guile,python);
                       quib-exact is quib with QUIB_ENGINE=exact
  --limit SECONDS      stop a run that takes longer and run that pair no more (default 60)
  --build DIR          build directory for quib in Release (default build-bench)
  --no-install         do not install missing interpreters; skip them instead
  --no-callgrind       do not count instructions per nfib call with callgrind
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
programs=$root/bench/programs
quick=0 runs=5 limit=60 install=1 callgrind=1
only=nfib,listsum,factorial,append,church,lines
with=quib,quib-exact,hugs,guile,python
build=$root/build-bench

while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1 ;;
    --runs) runs=$2; shift ;;
    --only) only=$2; shift ;;
    --with) with=$2; shift ;;
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
IFS=, read -r -a workloads <<<"$only"
IFS=, read -r -a interpreters <<<"$with"

# Sizes: the argument each program gets. The line count reads a generated file of this many bytes.
declare -A size
if [ $quick = 1 ]; then
  size=([nfib]=22 [listsum]=100000 [factorial]=1000 [append]=20000 [church]=14 [lines]=1048576)
else
  size=([nfib]=27 [listsum]=1000000 [factorial]=3000 [append]=200000 [church]=20 [lines]=10485760)
fi
for w in "${workloads[@]}"; do
  [ -n "${size[$w]:-}" ] || { echo "unknown workload: $w" >&2; exit 2; }
done

# --- tools -----------------------------------------------------------------------------------
have() { command -v "$1" >/dev/null 2>&1; }
wants() { [[ ",$with," == *",$1,"* ]]; }

missing=()
[ -x /usr/bin/time ] || missing+=(time)
wants hugs && ! have runhugs && missing+=(hugs)
wants guile && ! have guile && missing+=(guile-3.0)
[ $callgrind = 1 ] && [[ " ${workloads[*]} " == *" nfib "* ]] && ! have valgrind && missing+=(valgrind)
if [ ${#missing[@]} -gt 0 ] && [ $install = 1 ]; then
  echo "installing: ${missing[*]}" >&2
  sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
  if ! { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"; } >&2; then
    echo "installation failed; interpreters that are still missing are skipped" >&2
  fi
fi
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }

echo "building quib (Release) in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUIB_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quib >/dev/null || { echo "building quib failed" >&2; exit 1; }
quib=$build/quib

# The real interpreter behind a version-manager shim, so its start-up is not timed.
python=
have python3 && python=$(python3 -c 'import sys; print(sys.executable)')

available=()
for i in "${interpreters[@]}"; do
  case $i in
    quib|quib-exact) available+=("$i") ;;
    hugs) have runhugs && available+=(hugs) || echo "hugs missing: skipped" >&2 ;;
    guile) have guile && available+=(guile) || echo "guile missing: skipped" >&2 ;;
    python) [ -n "$python" ] && available+=(python) || echo "python3 missing: skipped" >&2 ;;
    *) echo "unknown interpreter: $i" >&2; exit 2 ;;
  esac
done

work=$(mktemp -d /tmp/quib-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The line-count input: lines of 0 to 79 bytes in a fixed pattern, cut at the size.
lines_file=$work/lines.txt
if [[ " ${workloads[*]} " == *" lines "* ]]; then
  awk -v size="${size[lines]}" 'BEGIN {
    pad = sprintf("%80s", ""); gsub(/ /, "x", pad)
    for (i = 0; total < size; i++) { n = (i * 37) % 80; print substr(pad, 1, n); total += n + 1 }
  }' >"$lines_file"
fi

argument() { if [ "$1" = lines ]; then echo "$lines_file"; else echo "${size[$1]}"; fi; }

command_for() {  # interpreter workload -> the command line, one word a line
  local arg; arg=$(argument "$2")
  case $1 in
    quib) printf '%s\n' "$quib" "$programs/$2.quib" "$arg" ;;
    quib-exact) printf '%s\n' env QUIB_ENGINE=exact "$quib" "$programs/$2.quib" "$arg" ;;
    # The list of a million cells needs a larger heap than Hugs starts with.
    hugs) if [ "$2" = listsum ]; then printf '%s\n' runhugs -h10000000 "$programs/$2.hs" "$arg"
          else printf '%s\n' runhugs "$programs/$2.hs" "$arg"; fi ;;
    guile) printf '%s\n' guile --no-auto-compile "$programs/$2.scm" "$arg" ;;
    python) printf '%s\n' "$python" "$programs/$2.py" "$arg" ;;
  esac
}

# --- measuring ---------------------------------------------------------------------------------
results=$work/results   # workload interpreter seconds kilobytes
: >"$results"
declare -A gave_up failed output

run_once() {  # interpreter workload record(0|1)
  local i=$1 w=$2 record=$3 key="$1 $2" cmd status=0 line
  [ -z "${gave_up[$key]:-}" ] || return 0
  mapfile -t cmd < <(command_for "$i" "$w")
  /usr/bin/time -f "%e %M" -o "$work/time" timeout -k 5 "$limit" "${cmd[@]}" \
    >"$work/out" 2>"$work/err" </dev/null || status=$?
  if [ $status = 124 ] || [ $status = 137 ]; then
    gave_up[$key]="over ${limit} s"; echo "  $i $w: stopped after $limit s" >&2; return 0
  elif [ $status != 0 ]; then
    # A failed run is counted and shown; the next run of the pair may still succeed.
    failed[$key]=$((${failed[$key]:-0} + 1))
    echo "  $i $w: status $status: $(head -c 300 "$work/err" | tr '\n' ' ')" >&2; return 0
  fi
  [ -n "${output[$key]:-}" ] || output[$key]=$(tr '\n' ' ' <"$work/out" | sed 's/ $//')
  line=$(tail -n 1 "$work/time")
  [ "$record" = 0 ] || echo "$w $i $line" >>"$results"
}

for w in "${workloads[@]}"; do
  echo "$w ${size[$w]}: warm-up and $runs runs of ${available[*]}" >&2
  for i in "${available[@]}"; do run_once "$i" "$w" 0; done
  # Each round starts with the next interpreter, so slow phases of a busy machine spread out.
  for ((r = 0; r < runs; r++)); do
    n=${#available[@]}
    for ((j = 0; j < n; j++)); do run_once "${available[(r + j) % n]}" "$w" 1; done
  done
done

# --- instructions per nfib call -------------------------------------------------------------------
# Exact counts that do not depend on the load: the difference between two sizes cancels start-up.
declare -A per_call
instructions() {  # interpreter size -> "instructions calls"
  local engine=
  [ "$1" = quib-exact ] && engine=exact
  env ${engine:+QUIB_ENGINE=$engine} valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "$quib" "$programs/nfib.quib" "$2" >"$work/cg.out" 2>"$work/cg.err" </dev/null || return 1
  echo "$(sed -n 's/.*I *refs: *//p' "$work/cg.err" | tr -d ,) $(cat "$work/cg.out")"
}
if [ $callgrind = 1 ] && [[ " ${workloads[*]} " == *" nfib "* ]] && have valgrind; then
  for i in quib quib-exact; do
    [[ " ${available[*]} " == *" $i "* ]] || continue
    echo "callgrind: $i nfib 20 and 22" >&2
    if small=$(instructions "$i" 20) && large=$(instructions "$i" 22); then
      per_call[$i]=$(awk -v s="$small" -v l="$large" 'BEGIN {
        split(s, a, " "); split(l, b, " "); if (b[2] > a[2]) printf "%.0f", (b[1] - a[1]) / (b[2] - a[2]) }')
    else
      echo "  callgrind failed for $i: $(head -c 300 "$work/cg.err" | tr '\n' ' ')" >&2
    fi
  done
fi

# --- the table ----------------------------------------------------------------------------------
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) exit; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
stat_of() {  # workload interpreter column -> median seconds or peak kilobytes
  awk -v w="$1" -v i="$2" -v c="$3" '$1 == w && $2 == i { print $c }' "$results" |
    if [ "$3" = 3 ]; then median; else sort -g | tail -n 1; fi
}

echo
echo "quib $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?'), $runs runs after one warm-up, $(nproc) cores, limit $limit s"
printf '%-18s %-10s %9s %9s %11s %11s  %s\n' workload interp "median s" "peak MB" "quib/x time" "quib/x mem" "result"
for w in "${workloads[@]}"; do
  qt=$(stat_of "$w" quib 3); qm=$(stat_of "$w" quib 4)
  label="$w ${size[$w]}"; [ "$w" = lines ] && label="lines $((size[lines] / 1048576)) MiB"
  for i in "${available[@]}"; do
    key="$i $w"; t=$(stat_of "$w" "$i" 3); m=$(stat_of "$w" "$i" 4)
    result=${output[$key]:-}
    if [ -z "$t" ]; then
      why=${gave_up[$key]:-every run failed}
      printf '%-18s %-10s %9s %9s %11s %11s  %s\n' "$label" "$i" - - - - "$why"
      label=; continue
    fi
    note=
    if [ "$w" = nfib ]; then
      note+=$(awk -v n="$result" -v t="$t" 'BEGIN { if (t > 0) printf "  %.0f calls/s", n / t }')
      [ -z "${per_call[$i]:-}" ] || note+="  ${per_call[$i]} instructions/call"
    fi
    if [ "$i" != quib ] && [ -n "${output[quib $w]:-}" ] && [ "$result" != "${output[quib $w]}" ]; then
      note+="  DIFFERS from quib"
    fi
    [ -z "${gave_up[$key]:-}" ] || note+="  (later run ${gave_up[$key]})"
    [ -z "${failed[$key]:-}" ] || note+="  (${failed[$key]} runs failed)"
    awk -v l="$label" -v i="$i" -v t="$t" -v m="$m" -v qt="$qt" -v qm="$qm" -v r="$result$note" 'BEGIN {
      rt = (qt != "" && t > 0) ? sprintf("%.2f", qt / t) : "-"
      rm = (qm != "" && m > 0) ? sprintf("%.2f", qm / m) : "-"
      printf "%-18s %-10s %9.2f %9.1f %11s %11s  %s\n", l, i, t, m / 1024, rt, rm, r
    }'
    label=
  done
done
