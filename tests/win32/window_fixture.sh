#!/usr/bin/env bash
# What the window tests need around them, as a CTest fixture:
#   window_fixture.sh start STATE-DIR SAMPLE-SITE-BINARY WINE-PREFIX
#   window_fixture.sh stop STATE-DIR WINE-PREFIX
# start: an Xvfb of its own and two sample sites on free loopback ports (one answering at
# once, one after 30 s), their addresses written to STATE-DIR/env for scripts/wine-gui.
set -euo pipefail
action=$1
state=$2
prefix=""
case $action in start) prefix=${4:-} ;; stop) prefix=${3:-} ;; esac

# A Wine server kept from an earlier run still holds that run's X display, on which no
# window can be made any more: every run starts and ends without one.
end_wine() {
  [ -n "$prefix" ] && [ -d "$prefix" ] || return 0
  WINEPREFIX=$(realpath -m "$prefix") "${WINESERVER:-/usr/lib/wine/wineserver}" -k 2>/dev/null || true
}

stop() {
  for pid_file in "$state"/*.pid; do
    [ -f "$pid_file" ] || continue
    kill "$(cat "$pid_file")" 2>/dev/null || true
    rm -f "$pid_file"
  done
  rm -f "$state/env"
}

wait_for_line() {  # file: the first line, once written
  for _ in $(seq 200); do
    [ -s "$1" ] && head -1 "$1" | grep -q . && { head -1 "$1"; return 0; }
    sleep 0.05
  done
  echo "window_fixture: nothing in $1" >&2
  return 1
}

case $action in
  start)
    site=$3
    [ -x "$site" ] || { echo "window_fixture: no sample site at $site" >&2; exit 1; }
    mkdir -p "$state"
    stop
    end_wine
    rm -f "$state"/*.out
    # Started apart from this script's output, so that CTest does not wait for them.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display.out" \
      </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    "$site" --port 0 </dev/null >"$state/site.out" 2>/dev/null &
    echo $! >"$state/site.pid"
    "$site" --port 0 --delay-ms 30000 </dev/null >"$state/slow-site.out" 2>/dev/null &
    echo $! >"$state/slow-site.pid"
    display=$(wait_for_line "$state/display.out")
    port=$(wait_for_line "$state/site.out")
    slow_port=$(wait_for_line "$state/slow-site.out")
    cat >"$state/env" <<END
DISPLAY=:$display
KELVARO_SAMPLE_SITE=http://127.0.0.1:$port
KELVARO_SLOW_SITE=http://127.0.0.1:$slow_port
END
    ;;
  stop)
    end_wine
    stop
    ;;
  *)
    echo "usage: window_fixture.sh start STATE-DIR SAMPLE-SITE WINE-PREFIX | stop STATE-DIR WINE-PREFIX" >&2
    exit 2
    ;;
esac
