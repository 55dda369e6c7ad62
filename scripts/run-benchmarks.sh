#!/bin/sh
# Runs every benchmark executable of a build and lets each print its ratio table.
set -e
dir=$(cd "${1:-build-bench}" && pwd)   # absolute: each benchmark runs in its own directory
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
found=0
for exe in "$dir"/bench/bench_*; do
  [ -x "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  work=$(mktemp -d)
  (cd "$work" && "$exe" --benchmark_min_time=0.2) || echo "   $(basename "$exe") failed"
  rm -rf "$work"
done
[ "$found" = 1 ] || echo "No benchmarks built yet."
