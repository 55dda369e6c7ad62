#!/bin/sh
# Starts example_tiled from its data directory: in a window when there is a display, otherwise under
# Xvfb for a few seconds with a screenshot whose path is printed.
set -e
build="${1:-build}"
exe="$build/examples/example_tiled"
if [ ! -x "$exe" ]; then
  echo "The library is built ($build/libYandorix.so); the example programs do not exist yet, so there is nothing to run."
  exit 0
fi
rundir="$build/examples/run"
cd "$rundir"
if [ -n "$DISPLAY" ]; then
  exec ../example_tiled
fi
shot="$(pwd)/screenshot.png"
xvfb-run -a -s "-screen 0 640x400x24" sh -c "
  ../example_tiled & pid=\$!
  sleep 3
  xwd -root -silent | convert xwd:- '$shot' 2>/dev/null || import -window root '$shot'
  kill \$pid 2>/dev/null; wait \$pid 2>/dev/null; true"
echo "Screenshot: $shot"
