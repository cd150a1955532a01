#!/usr/bin/env bash
# kelvaro-cli.exe under Wine against the Linux build's kelvaro-cli on the same sample site:
# the same bytes on stdout and stderr and the same exit code, then Ctrl-C during a batch.
#   end_to_end.sh WINE-RUN PREFIX KELVARO-CLI.exe DATA-DIR
# KELVARO_NATIVE_BUILD names the Linux build holding kelvaro-cli and kelvaro-sample-site
# (scripts/test-windows sets it).
set -uo pipefail
wine_run=$1 prefix=$2 exe=$3 data=$4
native=${KELVARO_NATIVE_BUILD:-}
if [ -z "$native" ] || [ ! -x "$native/src/kelvaro-cli" ] || [ ! -x "$native/tools/sample-site/kelvaro-sample-site" ]; then
  echo "KELVARO_NATIVE_BUILD must name a Linux build with kelvaro-cli and kelvaro-sample-site (run scripts/test-windows)"
  exit 1
fi
work=$(mktemp -d)
site_pid=
cleanup() {
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the sample site with the given options; sets $site.
start_site() {
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  rm -f "$work/site.out"  # the last site's port must not be read for this one's
  "$native/tools/sample-site/kelvaro-sample-site" --port 0 "$@" >"$work/site.out" 2>/dev/null &
  site_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/site.out" ] && break
    sleep 0.1
  done
  site=http://127.0.0.1:$(head -n 1 "$work/site.out")
}

failures=0
# Runs one command line on both builds and compares everything they give. With
# reason_differs=1 the system's own words for an error (after the last ": ") may differ;
# standard input comes from $input, closed when it is "-".
reason_differs=0
input=/dev/null
with_input() {
  if [ "$input" = - ]; then "$@" <&-; else "$@" <"$input"; fi
}
same() {
  local name=$1
  shift
  with_input "$native/src/kelvaro-cli" "$@" >"$work/linux.out" 2>"$work/linux.err"
  local linux_code=$?
  with_input "$wine_run" "$prefix" "$exe" "$@" >"$work/windows.out" 2>"$work/windows.err"
  local windows_code=$?
  # When each page was read is the run's own.
  sed -i -E 's/"looked_up_at": "[^"]*"/"looked_up_at": "TIME"/g' "$work/linux.out" "$work/windows.out"
  if [ "$reason_differs" = 1 ]; then
    sed -i 's/: [^:]*$/: REASON/' "$work/linux.err" "$work/windows.err"
  fi
  if [ "$linux_code" != "$windows_code" ] || ! cmp -s "$work/linux.out" "$work/windows.out" ||
    ! cmp -s "$work/linux.err" "$work/windows.err"; then
    echo "FAILED $name: exit $linux_code (Linux) / $windows_code (Windows)"
    diff <(od -c "$work/linux.out") <(od -c "$work/windows.out") | head -n 20
    diff "$work/linux.err" "$work/windows.err" | head -n 10
    failures=$((failures + 1))
  else
    echo "ok $name (exit $linux_code, $(wc -c <"$work/linux.out") bytes)"
  fi
}

start_site
same "check, current" check --site "$site" "GB 50016-2014"
same "check, superseded" check --site "$site" "GB/T50001-2010"
same "check, unknown" check --site "$site" "GB/T 99999-2010"
same "check, JSON" check --site "$site" --json "GB/T50001-2010"
for format in tsv csv json; do
  same "batch, $format" batch --site "$site" --format "$format" "$data/import/mixed_numbers.txt"
done
same "batch, removing superseded" batch --site "$site" --remove-superseded "$data/import/mixed_numbers.txt"
reason_differs=1 same "batch, missing file" batch --site "$site" "$work/none.txt"

# Citations as people write them, with CR LF and LF lines, a blank one and a line citing two.
printf '%s\r\n%s\n\n%s\n%s\n%s\n%s\n' '《建筑设计防火规范》GB 50016-2014（2018年版）' \
  '制图按 GB/T 50001—2017，抗震按 GB50011-2010(2016年版)' 'GB 50007－2011' 'ＧＢ　50017-2017' \
  'GB 50009-2012 建筑结构荷载规范' 'GB 50045-95' >"$work/notes.txt"
for format in tsv csv json; do
  same "extract, $format" extract --format "$format" "$work/notes.txt"
done
input=$work/notes.txt same "extract, standard input" extract --format json -
input=- same "extract, closed standard input" extract -
# A PDF made by LibreOffice: poppler reads it on Linux, the reader of our own on Windows.
for format in tsv json; do
  same "extract, PDF, $format" extract --format "$format" "$data/pdf/libreoffice.pdf"
done
same "batch --citations" batch --site "$site" --citations --format json "$work/notes.txt"
same "batch --citations, sources" batch --site "$site" --citations --sources "$work/notes.txt"
same "usage error" batch --speed 0 "$data/import/mixed_numbers.txt"

# A folder: its documents listed the same way by both systems, what is left out left out alike.
mkdir -p "$work/folder/计算" "$work/folder/.hidden"
cp "$work/notes.txt" "$work/folder/说明.txt"
printf 'GB 50017-2003\nGB 50016-2014\n' >"$work/folder/计算/荷载.txt"
printf 'GB 1-2000\n' >"$work/folder/.hidden/x.txt"
printf 'GB 2-2000\n' >"$work/folder/~\$说明.txt"
printf 'not a zip' >"$work/folder/坏.docx"
same "batch, a folder" batch --site "$site" --sources "$work/folder"
same "changes, a folder" changes --site "$site" --format json "$work/folder"

# A device is written in place, its name as Windows reads it, even in a folder that is not
# there.
for device in NUL nul.txt 'C:\kelvaro-missing\Nul'; do
  "$wine_run" "$prefix" "$exe" extract -o "$device" "$work/notes.txt" >"$work/windows.out" 2>"$work/windows.err"
  code=$?
  if [ "$code" != 0 ] || [ -s "$work/windows.out" ] || [ -s "$work/windows.err" ]; then
    echo "FAILED -o $device: exit $code, $(cat "$work/windows.err")"
    failures=$((failures + 1))
  else
    echo "ok -o $device (exit 0, nothing said)"
  fi
done

# Ctrl-C while a slow batch runs: exit 130 and the table as it stands, every row that was
# filled in as a full run fills it.
for i in $(seq 60); do sed -n "$(( (i - 1) % 11 + 1 ))p" "$data/import/mixed_numbers.txt"; done \
  | sed 's/$/\r/' >"$work/slow.txt"
"$native/src/kelvaro-cli" batch --site "$site" "$work/slow.txt" >"$work/full.tsv"
start_site --delay-ms 200
"$wine_run" "$prefix" "$exe" batch --site "$site" --speed 4 "$work/slow.txt" >"$work/cut.tsv" 2>/dev/null &
pid=$!
sleep 2  # Wine's start, then a few rows
kill -INT "$pid"  # Wine raises CTRL_C_EVENT in the program
wait "$pid"
code=$?
rows=$(($(wc -l <"$work/cut.tsv") - 1))
filled=0 wrong=0
while IFS= read -r line; do
  ordinal=${line%%$'\t'*}
  rest=${line#*$'\t'}
  rest=${rest#*$'\t'}
  [ -z "${rest%%$'\t'*}" ] && continue  # not looked up before the interrupt
  filled=$((filled + 1))
  expected=$(sed -n "$((ordinal + 1))p" "$work/full.tsv")
  [ "$line" = "$expected" ] || wrong=$((wrong + 1))
done < <(tail -n +2 "$work/cut.tsv")
if [ "$code" -ne 130 ] || [ "$rows" -ne 60 ] || [ "$filled" -lt 1 ] || [ "$filled" -ge 60 ] || [ "$wrong" -ne 0 ]; then
  echo "FAILED Ctrl-C: exit $code, $rows rows, $filled filled, $wrong unlike a full run"
  failures=$((failures + 1))
else
  echo "ok Ctrl-C during a batch: exit 130, 60 rows, $filled filled as a full run fills them"
fi
# Killed mid-batch, a store keeps every lookup it finished: the next run opens it without a
# word and answers those from it.
store_dir=$prefix/drive_c/kelvaro-store
rm -rf "$store_dir"
KELVARO_STORE='C:\kelvaro-store\lookups.sqlite3' "$wine_run" "$prefix" "$exe" batch --site "$site" \
  --speed 1 "$work/slow.txt" >/dev/null 2>&1 &
pid=$!
# A lookup kept (the log grows by a commit's frames past the store's making), then the
# program ended as a crash ends it (TerminateProcess); other tests share the prefix.
made=0
for _ in $(seq 300); do
  size=$(stat -c %s "$store_dir/lookups.sqlite3-wal" 2>/dev/null || echo 0)
  [ "$made" = 0 ] && [ "$size" -gt 0 ] && made=$size
  [ "$made" != 0 ] && [ "$size" -ge $((made + 12000)) ] && break
  sleep 0.1
done
"$wine_run" "$prefix" taskkill /F /IM kelvaro-cli.exe >/dev/null 2>&1
wait "$pid" 2>/dev/null
KELVARO_STORE='C:\kelvaro-store\lookups.sqlite3' "$wine_run" "$prefix" "$exe" batch --site "$site" \
  --format json "$work/slow.txt" >"$work/again.json" 2>"$work/again.err"
code=$?
answered=$(grep -c '"from_store": true' "$work/again.json")
if [ "$code" -ne 0 ] || grep -q warning "$work/again.err" || [ "$answered" -lt 1 ]; then
  echo "FAILED killed with a store: exit $code, $answered rows from the store, $(cat "$work/again.err")"
  failures=$((failures + 1))
else
  echo "ok killed with a store: the next run answered $answered of 60 rows from it"
fi
exit $((failures > 0))
