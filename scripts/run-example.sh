#!/bin/sh
# Starts example_tiled from its data directory: in a window when there is a display, otherwise under
# Xvfb for a few seconds, with a screenshot of its window whose path is printed.
#   scripts/run-example.sh [build-directory] [seconds under Xvfb]
set -e
build="$(cd "${1:-build}" && pwd)"
seconds="${2:-3}"
exe="$build/examples/example_tiled"
rundir="$build/examples/run"
if [ ! -x "$exe" ] || [ ! -f "$rundir/desert.tmx" ]; then
  echo "example_tiled or its data is missing in $build/examples; build first (make build)." >&2
  exit 1
fi
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"   # the examples play no sound
cd "$rundir"
if [ -n "$DISPLAY" ]; then
  export SDL_VIDEODRIVER=x11
  exec "$exe"
fi
for tool in xvfb-run xdotool xwd; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "No display and no $tool: run 'make setup' (or set DISPLAY) to see example_tiled." >&2
    exit 1
  fi
done

shot="$rundir/screenshot.png"
rm -f "$shot" screenshot.xwd
# Inside the virtual display: start the program, wait for its window, let it draw, capture the
# window, then end the program the way a desktop would (SIGTERM becomes a quit event).
SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 640x400x24 -noreset" sh -c '
  "$1" & pid=$!
  window=$(timeout 20 xdotool search --sync --name "QBTE - Example05" 2>/dev/null | head -n 1)
  sleep "$2"
  if [ -n "$window" ]; then xwd -silent -id "$window" -out screenshot.xwd; fi
  kill -TERM $pid 2>/dev/null || true
  wait $pid
' run-example "$exe" "$seconds" || true

if [ ! -s screenshot.xwd ]; then
  echo "example_tiled did not open its window; see $rundir/Example05_Tiled.log" >&2
  exit 1
fi
if command -v convert >/dev/null 2>&1 && convert xwd:screenshot.xwd "$shot" 2>/dev/null; then
  rm -f screenshot.xwd
  echo "Screenshot: $shot"
else
  echo "Screenshot (X window dump; install imagemagick for PNG): $rundir/screenshot.xwd"
fi
