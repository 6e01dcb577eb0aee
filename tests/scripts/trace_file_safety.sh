#!/usr/bin/env bash
# The trace line goes only to a regular file of the user's own: never through a symbolic link,
# into another user's file, a FIFO (which must not hold the run up either) or a folder; a
# missing trace file is made with mode 0600. The cases run in a mount namespace of their own
# whose /tmp is private, so the real trace file, and the other tests that write it, are not
# touched.
set -u
quib=$1
if unshare -m true 2>/dev/null; then
  namespace=(unshare -m)
elif unshare -rm true 2>/dev/null; then
  namespace=(unshare -rm)  # root of a user namespace: no other user to give a file to
else
  echo "no mount namespace to be had here: nothing tested"
  exit 0
fi

exec 9<"$quib"  # the binary stays reachable once /tmp is covered
"${namespace[@]}" bash -s <<'INNER'
set -u
mount -t tmpfs tmpfs /tmp || { echo "cannot mount a private /tmp"; exit 1; }
cp /proc/self/fd/9 /tmp/quib && chmod 700 /tmp/quib
exec 9<&-
umask 022
log=/tmp/redv.log
printf '%s' 'a\tracedfoo 1,tracedfoo\acc\acc' >/tmp/p.quib
line='First tracedfoo: (\ acc acc)'
fail=0

run() {
  timeout 60 /tmp/quib /tmp/p.quib >/dev/null 2>&1
  local status=$?
  [ "$status" = 1 ] || { echo "$1: status $status"; fail=1; }
}
expect() { [ "$2" = "$3" ] || { echo "$1: got '$2', want '$3'"; fail=1; }; }
reset() { rm -rf "$log" /tmp/target /tmp/made; }

reset
run fresh
expect fresh "$(stat -c '%F %a %u' "$log")" "regular file 600 $(id -u)"
expect fresh "$(cat "$log")" "$line"

reset
printf 'earlier\n' >"$log"
run own
expect own "$(cat "$log")" "earlier
$line"

reset
: >/tmp/target
ln -s /tmp/target "$log"
run link
expect link "$(stat -c %s /tmp/target)" 0

reset
ln -s /tmp/made "$log"
run dangling-link
expect dangling-link "$([ -e /tmp/made ] && echo made || echo absent)" absent

reset
mkfifo "$log"
run fifo

reset
mkdir "$log"
run folder

reset
: >"$log"
if chown 65534 "$log" 2>/dev/null; then
  run other-owner
  expect other-owner "$(stat -c %s "$log")" 0
else
  echo "no other user to own the file: that case is skipped"
fi
exit $fail
INNER
