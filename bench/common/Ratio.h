// Benchmark main with a ratio table: each benchmark file names pairs (ours, baseline) and, after the
// run, the table prints ours/baseline from each side's fastest repetition, in CPU time unless the
// benchmark asked for real time (below 1.0: ours is faster). With YDX_BENCH_TIMES naming a file, every
// repetition's time and the pairs are appended to it as well, so that `make bench` can pool several
// runs of the executable and hold the ratios against bench/targets.txt and against its previous run.
#pragma once
#include <benchmark/benchmark.h>
#include <string>

namespace ydxbench {
// Registers a row of the ratio table. Targets live in bench/targets.txt only; a third argument is
// still accepted from older callers and has no effect.
void Ratio(const std::string& ours, const std::string& baseline, double ignoredLimit = 0.0);
int Main(int argc, char** argv);
}  // namespace ydxbench

#define YDX_BENCH_MAIN() \
  int main(int argc, char** argv) { return ydxbench::Main(argc, argv); }
