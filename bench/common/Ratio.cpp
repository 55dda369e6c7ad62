// Collects the time of every repetition of each benchmark and prints the registered ratios from each
// side's fastest repetition after the run; appends them to the file named by YDX_BENCH_RATIOS
// when it is set. Load from other processes only ever adds time, so the fastest repetition is the one
// it disturbed least: its ratios wander less from run to run than those of medians or means. How far
// the other repetitions lie above the fastest is kept beside each ratio as its spread: another run
// may find its fastest repetition anywhere in there.
#include "Ratio.h"
#include "RatioTable.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>
#include <vector>

namespace ydxbench {

struct Row {
  std::string ours, baseline;
};

static std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

void Ratio(const std::string& ours, const std::string& baseline, double) { Rows().push_back({ours, baseline}); }

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
  std::map<std::string, std::vector<double>> seconds;   // per iteration, one entry per repetition

  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") shown.push_back(run);
        continue;
      }
      if (!run.error_occurred && run.iterations > 0) seconds[run.benchmark_name()].push_back(SecondsPerIteration(run));
      if (run.repetitions <= 1 || run.error_occurred) shown.push_back(run);
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }

  // The fastest repetition, and how far the median lies above it (0.1: 10%).
  bool Fastest(const std::string& name, double* fastest, double* spread) const {
    auto found = seconds.find(name);
    if (found == seconds.end() || found->second.empty()) return false;
    std::vector<double> sorted = found->second;
    std::sort(sorted.begin(), sorted.end());
    *fastest = sorted.front();
    *spread = *fastest > 0 ? sorted[(sorted.size() - 1) / 2] / *fastest - 1 : 0;
    return true;
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
  if (Rows().empty()) return 0;
  std::vector<RatioRow> measured;
  printf("\n%-48s %-40s %8s %8s\n", "measured", "baseline", "ratio", "spread");
  for (const Row& row : Rows()) {
    double ours = 0, baseline = 0, oursSpread = 0, baselineSpread = 0;
    if (!collector.Fastest(row.ours, &ours, &oursSpread) || !collector.Fastest(row.baseline, &baseline, &baselineSpread) ||
        baseline <= 0) {
      printf("%-48s %-40s %8s\n", row.ours.c_str(), row.baseline.c_str(), "n/a");
      continue;
    }
    measured.push_back({row.ours, row.baseline, ours / baseline, oursSpread + baselineSpread});
    printf("%-48s %-40s %8.3f %7.1f%%\n", row.ours.c_str(), row.baseline.c_str(), ours / baseline,
           (oursSpread + baselineSpread) * 100);
  }
  const char* keep = getenv("YDX_BENCH_RATIOS");
  if (keep && *keep) {
    FILE* out = fopen(keep, "a");
    bool written = out && fputs(FormatRatios(measured).c_str(), out) >= 0;
    if (out && fclose(out) != 0) written = false;
    if (!written) {
      fprintf(stderr, "could not append the ratios to %s\n", keep);
      return 1;
    }
  }
  return 0;
}

}  // namespace ydxbench
