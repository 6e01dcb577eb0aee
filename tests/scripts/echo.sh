#!/usr/bin/env bash
# Loopback echo: the example server runs in the background on a free port of 127.0.0.1, the
# example client sends one line and must get the same line back. Both are bounded in time and
# nothing is left running.
set -u
quib=$1
root=$2

port_hex() { printf '%04X' "$1"; }
port_taken() { grep -q ":$(port_hex "$1") " /proc/net/tcp /proc/net/tcp6 2>/dev/null; }
# Listening sockets are in state 0A; looking does not take the server's one connection.
listening() { awk -v p=":$(port_hex "$1")\$" '$2 ~ p && $4 == "0A" { found = 1 } END { exit !found }' /proc/net/tcp; }

port=
for _ in $(seq 1 50); do
  candidate=$((20000 + RANDOM % 40000))
  if ! port_taken "$candidate"; then port=$candidate; break; fi
done
[ -n "$port" ] || { echo "no free port found"; exit 1; }

work=$(mktemp -d)
timeout 300 "$quib" "$root/examples/echo_server.quib" "$port" > "$work/server.out" 2>&1 &
server=$!
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

for _ in $(seq 1 3000); do
  listening "$port" && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if ! listening "$port"; then
  echo "the server is not listening on port $port"
  cat "$work/server.out"
  exit 1
fi

timeout 300 "$quib" "$root/examples/echo_client.quib" "$port" > "$work/client.out" 2>&1
client_status=$?
wait "$server"
server_status=$?
server=

fail=0
if [ "$client_status" != 0 ]; then echo "client status $client_status"; fail=1; fi
if [ "$server_status" != 0 ]; then echo "server status $server_status"; cat "$work/server.out"; fail=1; fi
if [ "$(cat "$work/client.out")" != "hello echo" ]; then
  echo "client output:"
  od -c "$work/client.out" | head
  fail=1
fi
exit $fail
