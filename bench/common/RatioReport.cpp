// ratio_report TARGETS LAST TIMES NOW: pools the repetition times of this `make bench` run (TIMES, from
// every process of every benchmark executable) into ratios, keeps them in NOW for the next run, prints
// them beside the last run's (LAST, missing at the first run) and flags each one that worsened by more
// than 15% plus the spread of both runs' repetitions and its noise band, or misses its target.
#include "RatioTable.h"
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool ReadWhole(const char* path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  *text = bytes.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s TARGETS LAST TIMES NOW\n", argv[0]);
    return 2;
  }
  std::string targetText, lastText, timesText, error;
  std::vector<ydxbench::Target> targets;
  if (!ReadWhole(argv[1], &targetText) || !ydxbench::ParseTargets(targetText, &targets, &error)) {
    fprintf(stderr, "%s: %s\n", argv[1], error.empty() ? "cannot be read" : error.c_str());
    return 2;
  }
  if (!ReadWhole(argv[3], &timesText)) {
    fprintf(stderr, "%s: cannot be read\n", argv[3]);
    return 2;
  }
  ReadWhole(argv[2], &lastText);
  ydxbench::Times times;
  ydxbench::ParseTimes(timesText, &times);
  std::vector<ydxbench::RatioRow> now = ydxbench::PoolRatios(times);
  std::ofstream kept(argv[4], std::ios::binary);
  if (!(kept << ydxbench::FormatRatios(now)) || !kept.flush()) {
    fprintf(stderr, "%s: cannot be written\n", argv[4]);
    return 2;
  }
  const double kTolerance = 0.15;   // flag a ratio more than 15% (and its noise) above the last run's
  fputs(ydxbench::Report(ydxbench::Judge(now, ydxbench::ParseRatios(lastText), targets, kTolerance), kTolerance)
            .c_str(),
        stdout);
  return 0;
}
