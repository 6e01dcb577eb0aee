#!/usr/bin/env bash
# The word count, line numberer and grep of examples/ agree byte for byte with wc, cat -n and
# grep -F, under both engines, on a file made to trip them: white space of every kind, empty
# lines, a NUL byte, a line and a word running across the 64 KiB block boundary, and a last
# line without a line feed.
set -u
quib=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

input=$work/input.txt
{
  printf 'the quick brown fox\n\n\tleading tab,  two spaces and a trailing one \n'
  printf 'other\vwhite\fspace\rbytes\n'
  printf 'a NUL\0in a line with water\n'
  awk 'BEGIN { for (i = 0; i < 6000; i++) printf "ab water "; print "" }'
  awk 'BEGIN { for (i = 0; i < 65000; i++) printf "x"; print " words after a long one" }'
  printf 'the end, no line feed water'
} >"$input"
# wc counts a word only of printable bytes, which the examples do not ask: its input has no NUL.
tr -d '\000' <"$input" >"$work/printable.txt"

fail=0
check() {  # name expected-file command...
  local name=$1 expected=$2
  shift 2
  if ! "$@" >"$work/got" 2>"$work/err" || ! cmp -s "$work/got" "$expected"; then
    echo "$name differs from its reference tool ($QUIB_ENGINE):"
    cmp "$work/got" "$expected" | head -n 3
    head -c 300 "$work/err"
    fail=1
  fi
}
wc <"$work/printable.txt" | awk '{ print $1, $2, $3 }' >"$work/wc.expected"
cat -n "$input" >"$work/number.expected"
grep -aF water "$input" >"$work/grep.expected"
grep -aF '' "$input" >"$work/all.expected"
cd "$work"
for engine in exact fast; do
  export QUIB_ENGINE=$engine
  check wc "$work/wc.expected" "$quib" "$root/examples/wc.quib" printable.txt
  check number "$work/number.expected" "$quib" "$root/examples/number.quib" input.txt
  check grep "$work/grep.expected" "$quib" "$root/examples/grep.quib" water input.txt
  check "grep of the empty text" "$work/all.expected" "$quib" "$root/examples/grep.quib" '' input.txt
  "$quib" "$root/examples/grep.quib" nowhere input.txt >/dev/null
  [ $? = 1 ] || { echo "grep without a match must exit with 1 ($engine)"; fail=1; }
done
exit $fail
