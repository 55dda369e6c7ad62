#!/bin/sh
# Drives an example program in the X display DISPLAY names: starts the program in the current directory,
# plays a list of actions through the X test extension and writes the program's exit code to
# "exit-code". The program runs with its report lines on (YDX_EXAMPLE_LOG_LEVEL=5), so every action can
# wait for what the program did; nothing waits for a fixed time.
#   drive-example.sh program window-title log-file action...
# Actions:
#   wait:N:TEXT     wait until the log holds TEXT on at least N lines
#   wait:+N:TEXT    wait until the log holds TEXT on N lines more than when this action began
#   file:NAME       wait until the program has written the file NAME
#   key:NAMES       press and release keys, one after the other (xdotool key names: c, Escape, Right, ...)
#   down:NAME       press a key and keep it down
#   up:NAME         release a key
#   move:X:Y        move the mouse to (X, Y) inside the window
#   shot:FILE       dump the window to FILE (X window dump format)
#   term            send SIGTERM (the program must end as on a quit event)
# Each wait gives up after 60 s: that bound only ends a hang, however busy the machine is.
program="$1" title="$2" log="$3"
shift 3
export SDL_VIDEODRIVER="${EXAMPLE_VIDEODRIVER:-x11}"   # glSDL: the OpenGL renderer
export YDX_EXAMPLE_LOG_LEVEL=5
rm -f -- "$log"   # a log of an earlier run must not answer this run's waits
"$program" > program.out 2>&1 &
pid=$!
window=""

fail() {
  echo "drive-example: $*" >&2
  kill -KILL "$pid" 2>/dev/null
  echo "not finished" > exit-code
  exit 1
}

# Runs `condition` (a shell command) until it succeeds; fails the run after 60 s or when the program ended.
wait_for() {
  what="$1" condition="$2"
  deadline=$(($(date +%s) + 60))
  until eval "$condition"; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "$what: not within 60 s"
    kill -0 "$pid" 2>/dev/null || fail "$what: the program ended"
    sleep 0.05
  done
}

lines() {
  found=$(grep -aF -c -- "$1" "$log" 2>/dev/null)
  echo "${found:-0}"
}

# The program's window, looked up when an action first needs it: by then the program has said it is
# ready, so this is the mapped window it draws into, not one its start-up replaced.
need_window() {
  [ -n "$window" ] && return
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" 2>/dev/null | head -n 1)
  [ -n "$window" ] || fail "no visible window named '$title'"
  timeout 60 xdotool windowfocus --sync "$window" || fail "could not focus the window"
}

for action in "$@"; do
  kind=${action%%:*}
  rest=${action#*:}
  case "$kind" in
    wait)
      count=${rest%%:*}
      text=${rest#*:}
      case "$count" in
        +*) count=$(($(lines "$text") + ${count#+})) ;;
      esac
      wait_for "'$text' on $count lines of $log" '[ "$(lines "$text")" -ge "$count" ]' ;;
    file) wait_for "the file '$rest'" '[ -f "$rest" ]' ;;
    key) need_window; timeout 60 xdotool key --delay 0 $rest || fail "xdotool key $rest" ;;
    down) need_window; timeout 60 xdotool keydown "$rest" || fail "xdotool keydown $rest" ;;
    up) need_window; timeout 60 xdotool keyup "$rest" || fail "xdotool keyup $rest" ;;
    move) need_window; timeout 60 xdotool mousemove --window "$window" "${rest%%:*}" "${rest#*:}" || fail "xdotool mousemove" ;;
    shot) need_window; timeout 60 xwd -silent -id "$window" -out "$rest" || fail "no window dump" ;;
    term) kill -TERM "$pid" ;;
    *) fail "unknown action '$action'" ;;
  esac
done

# The program ends by itself after Escape or SIGTERM.
deadline=$(($(date +%s) + 60))
while kill -0 "$pid" 2>/dev/null; do
  [ "$(date +%s)" -lt "$deadline" ] || fail "the program did not end within 60 s"
  sleep 0.05
done
wait "$pid"
echo $? > exit-code
