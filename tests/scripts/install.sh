#!/usr/bin/env bash
# cmake --install into a fresh prefix: the installed binary runs every installed example that
# has expectations and gives exactly its expected output, every guide is installed, and the
# manual page renders without warnings.
set -u
quib=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
docs=$prefix/share/doc/quib
fail=0

cmake --install "$(dirname "$quib")" --prefix "$prefix" > "$work/install.log" 2>&1 ||
  { echo "install failed:"; cat "$work/install.log"; exit 1; }

for file in bin/quib share/man/man1/quib.1; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; fail=1; }
done
for guide in "$root"/docs/*.md; do
  [ -f "$docs/${guide##*/}" ] || { echo "guide not installed: ${guide##*/}"; fail=1; }
done

for expectation in "$root"/tests/examples/*.status; do
  name=$(basename "$expectation" .status)
  bash "$root/tests/run_case.sh" "$prefix/bin/quib" "$docs/examples/$name.quib" "${expectation%.status}" \
    > "$work/$name.log" 2>&1 || { echo "installed example $name:"; cat "$work/$name.log"; fail=1; }
done

page=$prefix/share/man/man1/quib.1
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "manual page warnings:"; echo "$warnings"; fail=1; }
MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q 'quib file \[arg0 arg1 \.\.\.\]' ||
  { echo "manual page does not render its synopsis"; fail=1; }
exit $fail
