# Functions shared by the benchmark scripts (sourced): installing what is missing, building quib,
# the generated text input, timing a run, counting its instructions, and the median.

have() { command -v "$1" >/dev/null 2>&1; }

# Installs Debian packages when allowed (install=1), as root or through sudo.
install_missing() {  # install(0|1) package...
  local install=$1 sudo=
  shift
  [ $# -gt 0 ] && [ "$install" = 1 ] || return 0
  echo "installing: $*" >&2
  [ "$(id -u)" = 0 ] || sudo=sudo
  if ! { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@"; } >&2; then
    echo "installation failed; interpreters that are still missing are skipped" >&2
  fi
}

build_quib() {  # root build-directory
  echo "building quib (Release) in $2" >&2
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DQUIB_TESTS=OFF >/dev/null
  cmake --build "$2" -j"$(nproc)" --target quib >/dev/null || { echo "building quib failed" >&2; exit 1; }
}

# The real interpreter behind a version-manager shim, so its start-up is not timed; empty if none.
python_path() { have python3 && python3 -c 'import sys; print(sys.executable)'; }

# Lines of 0 to 13 words from a fixed list, a few of them indented, separated by a space, now and
# then by two or by a tab, cut at the size. Park and Miller's generator keeps every product below
# 2^53, where awk's numbers are exact.
text_input() {  # size
  awk -v size="$1" 'BEGIN {
    n = split("the of and to in is that it was for on are with as his they be at one have this " \
      "from or had by word but what some we can out other were all there when up use your how " \
      "said an each she which do their time if will way about many then them write would like " \
      "so these her long make thing see him two has look more day could go come did number " \
      "sound no most people my over know water than call first who may down side been now find", w, " ")
    r = 1
    for (total = 0; total < size; ) {
      r = (r * 16807) % 2147483647; k = r % 14
      line = (r % 17 == 0) ? "  " : ""
      for (j = 0; j < k; j++) {
        r = (r * 16807) % 2147483647
        line = line w[r % n + 1]
        if (j < k - 1) line = line ((r % 23 == 0) ? "\t" : (r % 19 == 0) ? "  " : " ")
      }
      print line; total += length(line) + 1
    }
  }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) exit; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs a command with standard input empty and a time limit, its output in the files given. Sets
# run_status, run_seconds (elapsed, to the microsecond: time's own hundredths are too coarse for a
# tenth of a second) and run_kilobytes (the peak resident memory).
measure() {  # limit out err command...
  local limit=$1 out=$2 err=$3 start end peak
  shift 3
  peak=$(mktemp)
  run_status=0
  start=${EPOCHREALTIME/[.,]/}
  /usr/bin/time -f %M -o "$peak" timeout -k 5 "$limit" "$@" >"$out" 2>"$err" </dev/null || run_status=$?
  end=${EPOCHREALTIME/[.,]/}
  run_seconds=$(awk -v us=$((end - start)) 'BEGIN { printf "%.3f", us / 1e6 }')
  run_kilobytes=$(tail -n 1 "$peak")
  rm -f "$peak"
}

# The instructions a command executes, counted by callgrind; its output goes to the files given.
# Variables for its environment come first, as they would after env: valgrind must start the
# command itself, for it does not follow an exec.
count_instructions() {  # out err [VAR=value...] command...
  local out=$1 err=$2 vars=()
  shift 2
  while [[ $1 == [A-Z_]*=* ]]; do vars+=("$1"); shift; done
  env ${vars[@]+"${vars[@]}"} valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" \
    >"$out" 2>"$err" </dev/null || return 1
  sed -n 's/.*I *refs: *//p' "$err" | tr -d ,
}

hugs_command() {  # program argument -> the command line, one word a line
  # The lists of a million cells need a larger heap than Hugs starts with.
  case ${1##*/} in
    listsum.hs) printf '%s\n' runhugs -h10000000 "$1" "$2" ;;
    *) printf '%s\n' runhugs "$1" "$2" ;;
  esac
}
