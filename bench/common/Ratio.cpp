// Collects real times per benchmark name and prints the registered ratios after the run.
#include "Ratio.h"
#include <cstdio>
#include <map>
#include <vector>
#include <cstdlib>

namespace ydxbench {

struct Row {
  std::string ours, baseline;
  double limit;
};

static std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

void Ratio(const std::string& ours, const std::string& baseline, double limit) {
  Rows().push_back({ours, baseline, limit});
}

class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> times;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

int Main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  if (Rows().empty()) return 0;
  printf("\n%-48s %-40s %8s\n", "measured", "baseline", "ratio");
  for (const Row& row : Rows()) {
    auto a = collector.times.find(row.ours), b = collector.times.find(row.baseline);
    if (a == collector.times.end() || b == collector.times.end() || b->second <= 0) {
      printf("%-48s %-40s %8s\n", row.ours.c_str(), row.baseline.c_str(), "n/a");
      continue;
    }
    double ratio = a->second / b->second;
    if (row.limit > 0)
      printf("%-48s %-40s %8.3f  (target <= %.2f: %s)\n", row.ours.c_str(), row.baseline.c_str(), ratio,
             row.limit, ratio <= row.limit ? "met" : "MISSED");
    else
      printf("%-48s %-40s %8.3f\n", row.ours.c_str(), row.baseline.c_str(), ratio);
  }
  return 0;
}

}  // namespace ydxbench
