#!/usr/bin/env bash
# The guides quote example programs in blocks opened by "```quib examples/NAME.quib": each such
# block must equal that file byte for byte, and the file must have expectations in
# tests/examples so that the suite runs it. The tutorial and the cookbook quote at least one.
set -u
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail=0
for required in tutorial.md cookbook.md; do
  [ -f "$root/docs/$required" ] || { echo "docs/$required is missing"; fail=1; }
done
for guide in "$root"/docs/*.md; do
  # Writes each quoted block to $work/N.quib and its file name to $work/N.name.
  rm -f "$work"/*
  awk -v out="$work" '
    /^```quib examples\/[A-Za-z0-9_]+\.quib$/ { n++; quoting = 1; split($0, w, " ");
                                                print w[2] > (out "/" n ".name"); printf "" > (out "/" n ".quib"); next }
    quoting && /^```$/ { quoting = 0; next }
    quoting { print > (out "/" n ".quib") }
  ' "$guide"
  quoted=0
  for name_file in "$work"/*.name; do
    [ -e "$name_file" ] || continue
    quoted=$((quoted + 1))
    example=$(cat "$name_file")
    block=${name_file%.name}.quib
    base=$(basename "$example" .quib)
    if [ ! -f "$root/$example" ]; then
      echo "$(basename "$guide") quotes $example, which does not exist"
      fail=1
    elif ! cmp -s "$block" "$root/$example"; then
      echo "$(basename "$guide") differs from $example:"
      diff "$block" "$root/$example" | head -10
      fail=1
    fi
    if [ ! -f "$root/tests/examples/$base.status" ]; then
      echo "$example is quoted by $(basename "$guide") but not run: tests/examples/$base.status is missing"
      fail=1
    fi
  done
  case $(basename "$guide") in
    tutorial.md | cookbook.md)
      if [ "$quoted" -eq 0 ]; then echo "$(basename "$guide") quotes no example program"; fail=1; fi ;;
  esac
done
exit $fail
