#!/usr/bin/env bash
# The X server the window's tests run on with Qt's xcb platform: started once before them and
# stopped after them (a CTest fixture), and a test program run on it.
#   xvfb.sh start DIR           starts Xvfb on a free display; DIR keeps its number, id and log
#   xvfb.sh stop DIR            stops the Xvfb that `start` started in DIR
#   xvfb.sh run DIR PROGRAM...  runs PROGRAM with DISPLAY set to that server
set -euo pipefail
command=$1
dir=$2
shift 2

stop() {
  if [[ -f "$dir/pid" ]]; then
    local pid
    pid=$(cat "$dir/pid")
    # Only the server this script started: the id it wrote, if that process is still Xvfb.
    if [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == Xvfb ]]; then
      kill "$pid"
      for _ in $(seq 50); do
        [[ -e "/proc/$pid" ]] || break
        sleep 0.1
      done
    fi
    rm -f "$dir/pid" "$dir/display"
  fi
}

case "$command" in
  start)
    command -v Xvfb > /dev/null || { echo "xvfb.sh: Xvfb is missing (Debian package xvfb)" >&2; exit 1; }
    mkdir -p "$dir"
    stop  # one left over by a run that was killed before its cleanup
    # -displayfd: the server takes the first free display number itself and writes it once it
    # accepts clients, so that runs side by side (two builds, other projects) never collide.
    Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3> "$dir/display" \
      < /dev/null > "$dir/log" 2>&1 &
    echo $! > "$dir/pid"
    for _ in $(seq 200); do
      if [[ -s "$dir/display" ]]; then
        echo "Xvfb on :$(cat "$dir/display")"
        exit 0
      fi
      kill -0 "$(cat "$dir/pid")" 2> /dev/null || break
      sleep 0.1
    done
    echo "xvfb.sh: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    stop
    exit 1
    ;;
  stop)
    stop
    ;;
  run)
    display=$(cat "$dir/display")
    DISPLAY=":$display" exec "$@"
    ;;
  *)
    echo "xvfb.sh: unknown command $command" >&2
    exit 2
    ;;
esac
