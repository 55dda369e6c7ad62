// Benchmark main with a ratio table: each benchmark file names pairs (ours, baseline) and, after the
// run, the table prints ours/baseline from the measured real times (below 1.0: ours is faster).
#pragma once
#include <benchmark/benchmark.h>
#include <string>

namespace ydxbench {
// Registers a row of the ratio table; `limit` > 0 prints whether the ratio meets it.
void Ratio(const std::string& ours, const std::string& baseline, double limit = 0.0);
int Main(int argc, char** argv);
}  // namespace ydxbench

#define YDX_BENCH_MAIN() \
  int main(int argc, char** argv) { return ydxbench::Main(argc, argv); }
