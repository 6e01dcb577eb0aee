#!/usr/bin/env bash
# A run whose value is a chain of ten million cells, released at once: a list of five million
# empty lists, built by doubling, applied to I turns into two pairs per element; the wing does
# not use the value, so the whole chain goes when the wing is contracted.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s' 'a\x{(grow 5000000)I}3,grow\n\(n<1)[](h{grow(n/2)}(h+h+((n%2=1)[[]][])))' > "$work/chain.quib"
timeout 600 "$quib" "$work/chain.quib" > /dev/null 2> "$work/chain.err"
status=$?
if [ "$status" != 3 ]; then
  echo "chain: status $status, expected 3"
  head -c 300 "$work/chain.err"
  exit 1
fi
