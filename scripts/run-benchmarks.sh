#!/bin/sh
# Runs every benchmark executable of a build and lets each print its ratio table, then prints every ratio
# beside the one of the previous run (kept in <build>/ratios.txt) and flags each ratio that worsened by
# more than 15% plus the spread its repetitions showed in both runs, or misses its target in
# bench/targets.txt.
# Each benchmark is repeated, the repetitions of all benchmarks of an executable interleaved at random,
# and a ratio is taken between the fastest repetitions of its two sides: load from other processes on
# this shared machine then spreads over both sides alike and is mostly left out. YDX_BENCH_ARGS replaces
# these options.
set -e
dir="$(cd "${1:-build-bench}" && pwd)"   # absolute: each benchmark runs in its own directory
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
args="${YDX_BENCH_ARGS:---benchmark_repetitions=5 --benchmark_min_time=0.1 --benchmark_enable_random_interleaving=true}"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export YDX_BENCH_RATIOS="$dir/ratios.new"
: > "$YDX_BENCH_RATIOS"
found=0
for exe in "$dir"/bench/bench_*; do
  [ -x "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  work=$(mktemp -d)
  # shellcheck disable=SC2086   # the options are words on purpose
  (cd "$work" && "$exe" $args) || echo "   $(basename "$exe") failed"
  rm -rf "$work"
done
if [ "$found" = 0 ]; then
  echo "No benchmarks built yet."
  exit 0
fi
echo
echo "== ratios against the last run ($dir/ratios.txt) and bench/targets.txt"
"$dir/bench/ratio_report" "$source_dir/bench/targets.txt" "$dir/ratios.txt" "$YDX_BENCH_RATIOS"
mv "$YDX_BENCH_RATIOS" "$dir/ratios.txt"
