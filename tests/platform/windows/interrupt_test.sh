#!/usr/bin/env bash
# Ctrl-C twice for the interrupt probe under Wine: one callback, exit code 130.
#   interrupt_test.sh WINE-RUN PREFIX PROBE.exe
set -uo pipefail
wine_run=$1 prefix=$2 probe=$3
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$wine_run" "$prefix" "$probe" >"$out" 2>&1 &
pid=$!
for _ in $(seq 200); do
  grep -q '^ready' "$out" && break
  sleep 0.1
done
grep -q '^ready' "$out" || { echo "probe never got ready:"; cat "$out"; kill "$pid"; exit 1; }
kill -INT "$pid"
sleep 0.2
kill -INT "$pid" 2>/dev/null
wait "$pid"
code=$?
expected=$'ready\ncalls 1'
actual=$(tr -d '\r' <"$out")
if [ "$code" -ne 130 ] || [ "$actual" != "$expected" ]; then
  echo "exit code $code (expected 130), output:"
  printf '%s\n' "$actual"
  exit 1
fi
echo "Ctrl-C: one callback, exit code 130"
