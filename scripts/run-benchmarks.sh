#!/bin/sh
# Runs every benchmark executable of a build and lets each print its ratio table, then prints every ratio
# beside the one of the previous run (kept in <build>/ratios.txt) and flags each ratio that worsened by
# more than 15% plus the spread its repetitions showed in both runs (and its noise band), or misses its
# target in bench/targets.txt.
# Each benchmark executable runs in several processes one after another (YDX_BENCH_PASSES, 3), each
# repeating every benchmark with the repetitions of all its benchmarks interleaved at random, and a ratio
# is taken between the fastest repetitions of its two sides over all processes: load from other
# processes on this shared machine then spreads over both sides alike and is mostly left out, and what
# one process meets (the placement of its memory, a busy neighbour on its core) shows in the spread
# instead of in the ratio. YDX_BENCH_ARGS replaces the options of each process.
set -e
dir="$(cd "${1:-build-bench}" && pwd)"   # absolute: each benchmark runs in its own directory
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
args="${YDX_BENCH_ARGS:---benchmark_repetitions=2 --benchmark_min_time=0.1 --benchmark_enable_random_interleaving=true}"
passes="${YDX_BENCH_PASSES:-3}"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export YDX_BENCH_TIMES="$dir/times.new"
: > "$YDX_BENCH_TIMES"
found=0
pass=1
while [ "$pass" -le "$passes" ]; do
  for exe in "$dir"/bench/bench_*; do
    [ -x "$exe" ] || continue
    found=1
    echo "== $(basename "$exe") (process $pass of $passes)"
    work=$(mktemp -d)
    # shellcheck disable=SC2086   # the options are words on purpose
    (cd "$work" && "$exe" $args) || echo "   $(basename "$exe") failed"
    rm -rf "$work"
  done
  pass=$((pass + 1))
done
if [ "$found" = 0 ]; then
  echo "No benchmarks built yet."
  exit 0
fi
echo
echo "== ratios of all processes against the last run ($dir/ratios.txt) and bench/targets.txt"
"$dir/bench/ratio_report" "$source_dir/bench/targets.txt" "$dir/ratios.txt" "$YDX_BENCH_TIMES" "$dir/ratios.new"
mv "$dir/ratios.new" "$dir/ratios.txt"
rm -f "$YDX_BENCH_TIMES"
