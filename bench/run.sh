#!/usr/bin/env bash
# Times the workloads of bench/programs under quib (its default engine choice, and each engine
# forced), Hugs, Guile and Python side by side, and the word count, line numberer and grep
# of examples/ beside wc, cat -n, grep -F and Python one-liners; prints medians, peak memory and
# the ratios of quib to each other program, with callgrind's instructions per nfib call and per
# input byte of the text tools for each quib engine.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: bash bench/run.sh [options]
  --quick              smaller sizes (seconds instead of minutes)
  --runs N             timed runs per workload and interpreter, after one warm-up (default 5)
  --only LIST          workloads, comma-separated
                       (nfib,listsum,factorial,append,church,lines,wc,number,grep)
  --with LIST          interpreters, comma-separated
                       (quib,quib-exact,quib-fast,hugs,guile,python,tool); quib-exact and
                       quib-fast are quib with QUIB_ENGINE=exact or fast, tool the program a text
                       workload is checked against (wc, cat -n, grep -F)
  --limit SECONDS      stop a run that takes longer and run that pair no more (default 60)
  --build DIR          build directory for quib in Release (default build-bench)
  --no-install         do not install missing interpreters; skip them instead
  --no-callgrind       do not count instructions with callgrind

A text workload whose output differs from its tool's is not timed, and the script then exits
with 1.
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
programs=$root/bench/programs
quick=0 runs=5 limit=60 install=1 callgrind=1
only=nfib,listsum,factorial,append,church,lines,wc,number,grep
with=quib,quib-exact,quib-fast,hugs,guile,python,tool
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

# Sizes: the argument each program gets. The line count and the text workloads read generated
# files of this many bytes.
declare -A size
if [ $quick = 1 ]; then
  size=([nfib]=22 [listsum]=100000 [factorial]=1000 [append]=20000 [church]=14 [lines]=1048576
        [wc]=1048576 [number]=1048576 [grep]=1048576)
else
  size=([nfib]=27 [listsum]=1000000 [factorial]=3000 [append]=200000 [church]=20 [lines]=10485760
        [wc]=10485760 [number]=10485760 [grep]=10485760)
fi
# The text workloads: the example run by quib, the tool that gives the expected output, and the
# Python one-liner. The word the grep looks for is on about one line in fifteen.
grep_word=water
declare -A tool_of=([wc]="wc" [number]="cat -n" [grep]="grep -F $grep_word")
declare -A python_of=(
  [wc]='import sys;d=open(sys.argv[1],"rb").read();print(d.count(b"\n"),len(d.split()),len(d))'
  [number]='import sys;sys.stdout.buffer.writelines(b"%6d\t%s"%(i,l) for i,l in enumerate(open(sys.argv[1],"rb"),1))'
  [grep]='import sys;w=sys.argv[1].encode();sys.stdout.buffer.writelines(l for l in open(sys.argv[2],"rb") if w in l)'
)
is_text() { [ -n "${tool_of[$1]:-}" ]; }
for w in "${workloads[@]}"; do
  [ -n "${size[$w]:-}" ] || { echo "unknown workload: $w" >&2; exit 2; }
done

# --- tools -----------------------------------------------------------------------------------
. "$root/bench/common.sh"
wants() { [[ ",$with," == *",$1,"* ]]; }

missing=()
[ -x /usr/bin/time ] || missing+=(time)
wants hugs && ! have runhugs && missing+=(hugs)
wants guile && ! have guile && missing+=(guile-3.0)
[ $callgrind = 1 ] && ! have valgrind && missing+=(valgrind)
install_missing $install ${missing[@]+"${missing[@]}"}
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }

build_quib "$root" "$build"
quib=$build/quib

python=$(python_path)

available=()
for i in "${interpreters[@]}"; do
  case $i in
    quib|quib-exact|quib-fast|tool) available+=("$i") ;;
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

text_file=$work/text.txt
text_size=
for w in "${workloads[@]}"; do is_text "$w" && text_size=${size[$w]}; done
[ -z "$text_size" ] || text_input "$text_size" >"$text_file"

argument() {
  case $1 in
    lines) echo "$lines_file" ;;
    grep) printf '%s\n' "$grep_word" "$text_file" ;;
    wc|number) echo "$text_file" ;;
    *) echo "${size[$1]}" ;;
  esac
}

# The quib program of a workload: a text workload runs the example a user would copy.
program_of() { if is_text "$1"; then echo "$root/examples/$1.quib"; else echo "$programs/$1.quib"; fi; }

# Whether an interpreter has a program for the workload.
runs() {
  case $1 in
    quib|quib-exact|quib-fast) true ;;
    tool) is_text "$2" ;;
    python) is_text "$2" || [ -f "$programs/$2.py" ] ;;
    hugs) [ -f "$programs/$2.hs" ] ;;
    guile) [ -f "$programs/$2.scm" ] ;;
  esac
}

command_for() {  # interpreter workload -> the command line, one word a line
  local arg; arg=$(argument "$2")
  case $1 in
    quib) printf '%s\n' "$quib" "$(program_of "$2")" "$arg" ;;
    quib-exact|quib-fast) printf '%s\n' env QUIB_ENGINE="${1#quib-}" "$quib" "$(program_of "$2")" "$arg" ;;
    tool) printf '%s\n' env LC_ALL=C ${tool_of[$2]} "$text_file" ;;
    python) if is_text "$2"; then printf '%s\n' "$python" -c "${python_of[$2]}" "$arg"
            else printf '%s\n' "$python" "$programs/$2.py" "$arg"; fi ;;
    hugs) hugs_command "$programs/$2.hs" "$arg" ;;
    guile) printf '%s\n' guile --no-auto-compile "$programs/$2.scm" "$arg" ;;
  esac
}

# The output a text workload must give: its tool's, with wc's counts alone.
expected_output() {  # workload
  local cmd
  mapfile -t cmd < <(command_for tool "$1")
  if [ "$1" = wc ]; then "${cmd[@]}" | awk '{ print $1, $2, $3 }'; else "${cmd[@]}"; fi
}
declare -A expected
for w in "${workloads[@]}"; do
  if is_text "$w"; then expected[$w]=$work/$w.expected; expected_output "$w" >"${expected[$w]}"; fi
done
wrong=0

# What the table shows of a text workload's output, once it is known to be right.
summary() {  # workload
  if [ "$1" = wc ]; then cat "$work/out"; else echo "$(wc -l <"$work/out") lines as $(tool_name "$1")"; fi
}
tool_name() { echo "${tool_of[$1]% "$grep_word"}"; }

# --- measuring ---------------------------------------------------------------------------------
results=$work/results   # workload interpreter seconds kilobytes
: >"$results"
declare -A gave_up failed output

run_once() {  # interpreter workload record(0|1)
  local i=$1 w=$2 record=$3 key="$1 $2" cmd status line
  [ -z "${gave_up[$key]:-}" ] && runs "$i" "$w" || return 0
  mapfile -t cmd < <(command_for "$i" "$w")
  measure "$limit" "$work/out" "$work/err" "${cmd[@]}"
  status=$run_status
  if [ $status = 124 ] || [ $status = 137 ]; then
    gave_up[$key]="over ${limit} s"; echo "  $i $w: stopped after $limit s" >&2; return 0
  elif [ $status != 0 ]; then
    # A failed run is counted and shown; the next run of the pair may still succeed.
    failed[$key]=$((${failed[$key]:-0} + 1))
    echo "  $i $w: status $status: $(head -c 300 "$work/err" | tr '\n' ' ')" >&2; return 0
  fi
  if [ -n "${expected[$w]:-}" ]; then
    if [ "$w" = wc ]; then awk '{ print $1, $2, $3 }' "$work/out" >"$work/counts"; mv "$work/counts" "$work/out"; fi
    if ! cmp -s "$work/out" "${expected[$w]}"; then
      gave_up[$key]="wrong output"; wrong=1
      echo "  $i $w: output differs from ${tool_of[$w]}: $(cmp "$work/out" "${expected[$w]}" 2>&1 | head -n 1)" >&2
      return 0
    fi
    [ -n "${output[$key]:-}" ] || output[$key]=$(summary "$w")
  fi
  [ -n "${output[$key]:-}" ] || output[$key]=$(tr '\n' ' ' <"$work/out" | sed 's/ $//')
  line="$run_seconds $run_kilobytes"
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

# --- instructions per unit of work ----------------------------------------------------------------
# Exact counts that do not depend on the load: the difference between two sizes cancels start-up.
# Units: nfib's calls at 20 and 22 (its output), a text workload's input bytes at 32 and 64 KiB.
declare -A per_unit
instructions() {  # interpreter workload small|large -> "instructions units"
  local engine= args file count
  [ "$1" = quib ] || engine=${1#quib-}
  if is_text "$2"; then
    file=$work/cg.$3.txt
    [ -f "$file" ] || text_input $([ "$3" = small ] && echo 32768 || echo 65536) >"$file"
    args=("$file"); [ "$2" = grep ] && args=("$grep_word" "$file")
  else
    args=($([ "$3" = small ] && echo 20 || echo 22))
  fi
  count=$(count_instructions "$work/cg.out" "$work/cg.err" \
    ${engine:+QUIB_ENGINE=$engine} "$quib" "$(program_of "$2")" "${args[@]}") || return 1
  echo "$count $(if is_text "$2"; then stat -c %s "$file"; else cat "$work/cg.out"; fi)"
}
per_unit_of() {  # interpreter workload -> instructions per call or per input byte
  local small large
  small=$(instructions "$1" "$2" small) && large=$(instructions "$1" "$2" large) || return 1
  awk -v s="$small" -v l="$large" 'BEGIN {
    split(s, a, " "); split(l, b, " "); if (b[2] > a[2]) printf "%.0f", (b[1] - a[1]) / (b[2] - a[2]) }'
}
if [ $callgrind = 1 ] && have valgrind; then
  for w in "${workloads[@]}"; do
    [ "$w" = nfib ] || is_text "$w" || continue
    for i in quib quib-exact quib-fast; do
      [[ " ${available[*]} " == *" $i "* ]] || continue
      echo "callgrind: $i $w at two sizes" >&2
      per_unit["$i $w"]=$(per_unit_of "$i" "$w") ||
        echo "  callgrind failed for $i $w: $(head -c 300 "$work/cg.err" | tr '\n' ' ')" >&2
    done
  done
fi

# --- the table ----------------------------------------------------------------------------------
stat_of() {  # workload interpreter column -> median seconds or peak kilobytes
  awk -v w="$1" -v i="$2" -v c="$3" '$1 == w && $2 == i { print $c }' "$results" |
    if [ "$3" = 3 ]; then median; else sort -g | tail -n 1; fi
}

echo
echo "quib $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?'), $runs runs after one warm-up, $(nproc) cores, limit $limit s"
printf '%-18s %-10s %9s %9s %11s %11s  %s\n' workload interp "median s" "peak MB" "quib/x time" "quib/x mem" "result"
for w in "${workloads[@]}"; do
  qt=$(stat_of "$w" quib 3); qm=$(stat_of "$w" quib 4)
  label="$w ${size[$w]}"
  [ "$w" = lines ] || is_text "$w" && label="$w $((size[$w] / 1048576)) MiB"
  for i in "${available[@]}"; do
    runs "$i" "$w" || continue
    key="$i $w"; t=$(stat_of "$w" "$i" 3); m=$(stat_of "$w" "$i" 4)
    name=$i; [ "$i" != tool ] || name=$(tool_name "$w")
    result=${output[$key]:-}
    if [ -z "$t" ]; then
      why=${gave_up[$key]:-every run failed}
      printf '%-18s %-10s %9s %9s %11s %11s  %s\n' "$label" "$name" - - - - "$why"
      label=; continue
    fi
    note=
    if [ "$w" = nfib ]; then
      note+=$(awk -v n="$result" -v t="$t" 'BEGIN { if (t > 0) printf "  %.0f calls/s", n / t }')
      [ -z "${per_unit[$key]:-}" ] || note+="  ${per_unit[$key]} instructions/call"
    fi
    [ "$w" = nfib ] || [ -z "${per_unit[$key]:-}" ] || note+="  ${per_unit[$key]} instructions/byte"
    if [ "$i" != quib ] && [ -n "${output[quib $w]:-}" ] && [ "$result" != "${output[quib $w]}" ]; then
      note+="  DIFFERS from quib"
    fi
    [ -z "${gave_up[$key]:-}" ] || note+="  (later run ${gave_up[$key]})"
    [ -z "${failed[$key]:-}" ] || note+="  (${failed[$key]} runs failed)"
    awk -v l="$label" -v i="$name" -v t="$t" -v m="$m" -v qt="$qt" -v qm="$qm" -v r="$result$note" 'BEGIN {
      rt = (qt != "" && t > 0) ? sprintf("%.2f", qt / t) : "-"
      rm = (qm != "" && m > 0) ? sprintf("%.2f", qm / m) : "-"
      printf "%-18s %-10s %9.3f %9.1f %11s %11s  %s\n", l, i, t, m / 1024, rt, rm, r
    }'
    label=
  done
done
exit $wrong
