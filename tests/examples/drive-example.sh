#!/bin/sh
# Drives an example program inside a virtual X display (run it under xvfb-run): starts the program in
# the current directory, waits for its window, plays a list of actions through the X test extension
# and writes the program's exit code to "exit-code".
#   drive-example.sh program window-title log-file action...
# Actions:
#   wait:N:TEXT     wait until the log holds TEXT at least N times
#   key:NAME        press and release a key (xdotool key names: c, Escape, Right, ...)
#   hold:NAME:SEC   hold a key down for SEC seconds
#   move:X:Y        move the mouse to (X, Y) inside the window
#   shot:FILE       dump the window to FILE (X window dump format)
#   sleep:SEC       wait
#   term            send SIGTERM (the program must end as on a quit event)
program="$1" title="$2" log="$3"
shift 3
export SDL_VIDEODRIVER="${EXAMPLE_VIDEODRIVER:-x11}"   # glSDL: the OpenGL renderer
"$program" > program.out 2>&1 &
pid=$!

fail() {
  echo "drive-example: $*" >&2
  kill -KILL "$pid" 2>/dev/null
  echo "not finished" > exit-code
  exit 1
}

window=$(timeout 30 xdotool search --sync --name "$title" 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window named '$title'"
xdotool windowfocus "$window" 2>/dev/null

for action in "$@"; do
  kind=${action%%:*}
  rest=${action#*:}
  case "$kind" in
    wait)
      count=${rest%%:*}
      text=${rest#*:}
      tries=0
      while :; do
        found=$(grep -aF -c -- "$text" "$log" 2>/dev/null)
        [ "${found:-0}" -lt "$count" ] || break
        tries=$((tries + 1))
        [ $tries -le 600 ] || fail "'$text' did not appear $count times in $log"
        kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for '$text'"
        sleep 0.05
      done ;;
    key) xdotool key "$rest" ;;
    hold)
      xdotool keydown "${rest%%:*}"
      sleep "${rest#*:}"
      xdotool keyup "${rest%%:*}" ;;
    move) xdotool mousemove --window "$window" "${rest%%:*}" "${rest#*:}" ;;
    shot) xwd -silent -id "$window" -out "$rest" || fail "no window dump" ;;
    sleep) sleep "$rest" ;;
    term) kill -TERM "$pid" ;;
    *) fail "unknown action '$action'" ;;
  esac
done

# The program ends by itself after Escape or SIGTERM; give it a while, then stop it hard.
tries=0
while kill -0 "$pid" 2>/dev/null; do
  tries=$((tries + 1))
  [ $tries -le 300 ] || fail "the program did not end"
  sleep 0.05
done
wait "$pid"
echo $? > exit-code
