#!/usr/bin/env bash
# Runs the one-line example of every builtin in docs/builtins.md ("`expr` is `value`") and
# compares what the expression computes: numerals and atoms as printed, texts as "text ...",
# lists as "list ...". Examples that end the process or only print are skipped. All examples
# run in one program, one parameterless definition each, so that the check stays quick.
set -u
quib=$(realpath "$1")
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

row='^\| `[a-z_]+` \| [0-9] \|.* \| `(.*)` (prints [^|]*, )?is `([^`]*)`( with no input)? \|$'
# Shows example n's value r after a mark "=>n ", apart from what the example prints itself.
show() {
  printf 't{type r}x{puts(init[=>%d ]+(t=[post])(init[text ]+r)((t=[zits])(init[list ]+init(r))(init(lisp r))))}0' "$1"
}
# Definition names hold no digits: example n is named ex followed by n in the letters a..j.
name_of() { echo "ex$(echo "$1" | tr 0-9 a-j)"; }

exprs=()
wants=()
while IFS= read -r line; do
  [[ $line =~ $row ]] || continue
  exprs+=("${BASH_REMATCH[1]}")
  wants+=("${BASH_REMATCH[3]}")
done < "$root/docs/builtins.md"
[ ${#exprs[@]} -gt 0 ] || { echo "no examples found in docs/builtins.md"; exit 1; }

# Unbuffered standard output keeps what examples write with write() in its place.
{
  printf 'K(x{setbuf(stdout,0)}0'
  for i in "${!exprs[@]}"; do printf '+%s' "$(name_of "$i")"; done
  printf ')\n'
  for i in "${!exprs[@]}"; do printf ',%s\\r{%s}%s\n' "$(name_of "$i")" "${exprs[$i]}" "$(show "$i")"; done
} > "$work/examples.quib"

# One-line examples allocate without freeing; a sanitizer build is not to count that.
(cd "$work" && ASAN_OPTIONS=detect_leaks=0 timeout 60 "$quib" examples.quib < /dev/null > "$work/out" 2> "$work/err")
status=$?
fail=0
if [ "$status" != 0 ]; then
  echo "the examples' program ended with status $status:"
  head -20 "$work/err"
  fail=1
fi
for i in "${!exprs[@]}"; do
  got=$(grep -a -o "=>$i .*" "$work/out" | head -1)
  got=${got#"=>$i "}
  if [ "$got" != "${wants[$i]}" ]; then
    echo "${exprs[$i]}: expected '${wants[$i]}', got '$got'"
    fail=1
  fi
done
exit $fail
