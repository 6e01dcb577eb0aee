#!/usr/bin/env bash
# Runs the one-line example of every builtin in docs/builtins.md ("`expr` is `value`") and
# compares what the expression computes: numerals and atoms as printed, texts as "text ...",
# lists as "list ...". Examples that end the process or only print are skipped.
set -u
quib=$(realpath "$1")
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Shows the value of r after a "=>" mark, so that what the example prints itself stays apart.
show='t{type r}x{puts(init[=>]+(t=[post])(init[text ]+r)((t=[zits])(init[list ]+init(r))(init(lisp r))))}0'
row='^\| `[a-z_]+` \| [0-9] \|.* \| `(.*)` (prints [^|]*, )?is `([^`]*)`( with no input)? \|$'

fail=0
checked=0
while IFS= read -r line; do
  [[ $line =~ $row ]] || continue
  expr=${BASH_REMATCH[1]}
  want=${BASH_REMATCH[3]}
  printf 'K(r{%s}%s)\n' "$expr" "$show" > "$work/example.quib"
  got=$(cd "$work" && timeout 10 "$quib" example.quib < /dev/null 2> /dev/null)
  got=${got##*=>}
  checked=$((checked + 1))
  if [ "$got" != "$want" ]; then
    echo "$expr: expected '$want', got '$got'"
    fail=1
  fi
done < "$root/docs/builtins.md"
[ "$checked" -gt 0 ] || { echo "no examples found in docs/builtins.md"; exit 1; }
exit $fail
