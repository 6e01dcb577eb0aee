#!/usr/bin/env bash
# A program file with a "#!/usr/bin/env quib" first line runs as a script from the shell and
# gets its arguments; quib finds itself on PATH as the shell would.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
ln -s "$quib" "$work/bin/quib"
cat > "$work/each.quib" <<'PROGRAM'
#!/usr/bin/env quib
a\each(a+16)
,each\p\(getw p=0)7(x{puts(getw p)}each(p+8))
PROGRAM
chmod +x "$work/each.quib"

out=$(cd "$work" && PATH="$work/bin:$PATH" ./each.quib one "two words")
status=$?
expected=$'one\ntwo words'
if [ "$status" != 7 ] || [ "$out" != "$expected" ]; then
  echo "expected status 7 and the two arguments, got status $status and:"
  printf '%s\n' "$out"
  exit 1
fi
