// Collects the time of every repetition of each benchmark and prints the registered ratios from each
// side's fastest repetition after the run; appends the repetition times and the pairs to the file named
// by YDX_BENCH_TIMES when it is set, where `make bench` pools them with those of its other runs of the
// same executable. Load from other processes only ever adds time, so the fastest repetition is the one
// it disturbed least: its ratios wander less from run to run than those of medians or means.
#include "Ratio.h"
#include "RatioTable.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace ydxbench {

static Times& Registered() {
  static Times times;
  return times;
}

void Ratio(const std::string& ours, const std::string& baseline, double) {
  Registered().pairs.push_back({ours, baseline});
}

// The CPU time of the benchmark's thread, or its real time when it asked for that (its work runs on other
// threads too, as the relay's and OpenGL's do). On a shared machine the real time of a single thread also
// holds the time it waited for a core, which swings every ratio with the other processes' load. In
// seconds, not the display unit: the two sides of a ratio may be shown in different units.
double SecondsPerIteration(const benchmark::BenchmarkReporter::Run& run) {
  double seconds = run.run_name.time_type.empty() ? run.cpu_accumulated_time : run.real_accumulated_time;
  return seconds / (double)run.iterations;
}

// Shows one line per benchmark (the median of its repetitions when it was repeated) and keeps every
// repetition's time for the ratios.
class Collector : public benchmark::ConsoleReporter {
 public:
  explicit Collector(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") shown.push_back(run);
        continue;
      }
      if (!run.error_occurred && run.iterations > 0)
        Registered().seconds[run.benchmark_name()].push_back(SecondsPerIteration(run));
      if (run.repetitions <= 1 || run.error_occurred) shown.push_back(run);
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }
};

int Main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  Collector collector(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                            : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  const Times& times = Registered();
  if (times.pairs.empty()) return 0;
  std::vector<RatioRow> measured = PoolRatios(times);
  printf("\n%-48s %-40s %8s %8s\n", "measured", "baseline", "ratio", "spread");
  for (const auto& pair : times.pairs) {
    auto row = std::find_if(measured.begin(), measured.end(),
                            [&](const RatioRow& r) { return r.ours == pair.first && r.baseline == pair.second; });
    if (row == measured.end())
      printf("%-48s %-40s %8s\n", pair.first.c_str(), pair.second.c_str(), "n/a");
    else
      printf("%-48s %-40s %8.3f %7.1f%%\n", pair.first.c_str(), pair.second.c_str(), row->value, row->spread * 100);
  }
  const char* keep = getenv("YDX_BENCH_TIMES");
  if (keep && *keep) {
    FILE* out = fopen(keep, "a");
    bool written = out && fputs(FormatTimes(times).c_str(), out) >= 0;
    if (out && fclose(out) != 0) written = false;
    if (!written) {
      fprintf(stderr, "could not append the repetition times to %s\n", keep);
      return 1;
    }
  }
  return 0;
}

}  // namespace ydxbench
