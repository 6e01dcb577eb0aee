#!/usr/bin/env bash
# The command line's options, taken as options only when no file has their name: --help and -h
# print the usage on standard output, --version the version, and - reads the program from
# standard input. A program file that cannot be read keeps its exact Start report, and a
# diagnosing run adds the reason.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0

start_report() { printf 'Error.\\n Type: Start\\n Name: "%s"\\nCould not read program file.\\n\\\\/\\n' "$1"; }

# case_ NAME STATUS STDOUT-PATTERN STDERR STDIN [ENV=value...] -- ARGS: the first line of standard
# output must match the pattern (empty: no output at all) and standard error, with printf's
# escapes, is compared whole.
case_() {
  local name=$1 status=$2 pattern=$3 err=$4 input=$5
  shift 5
  local environment=()
  while [ "$1" != -- ]; do environment+=("$1"); shift; done
  shift
  printf '%s' "$input" | env -u QUIB_DIAGNOSE "${environment[@]}" timeout 60 "$quib" "$@" >out 2>err
  local got=$?
  printf '%b' "$err" >want_err
  local first
  first=$(head -n 1 out)
  if [ "$got" != "$status" ] || ! cmp -s err want_err ||
     { [ -z "$pattern" ] && [ -s out ]; } || { [ -n "$pattern" ] && ! grep -qE "$pattern" <<<"$first"; }; then
    echo "$name: status $got (want $status), stdout '$(cat out)', stderr '$(cat err)'"
    fail=1
  fi
}

usage='^Usage: quib file arg0 arg1 arg2 \.\.\.$'
case_ help 0 "$usage" '' '' -- --help
case_ short-help 0 "$usage" '' '' -- -h
case_ version 0 '^quib [0-9]' '' '' -- --version
case_ from-stdin 42 '' '' 'K 42' -- -
case_ from-stdin-with-arguments 5 '' '' 'a\atoi(getw(a+16))' -- - 5
case_ missing 128 '' "$(start_report nosuch)" '' -- nosuch
case_ missing-diagnosed 128 '' "$(start_report nosuch)quib: nosuch: No such file or directory\n" '' QUIB_DIAGNOSE=1 -- nosuch
mkdir folder
case_ folder-diagnosed 128 '' "$(start_report folder)quib: folder: Is a directory\n" '' QUIB_DIAGNOSE=1 -- folder

# A file of an option's name is a program like any other.
for option in --help -h --version -; do
  printf 'K 7' >"./$option"
  case_ "file named $option" 7 '' '' '' -- "$option"
  rm -f "./$option"
done
exit $fail
