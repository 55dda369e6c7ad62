// ratio_report TARGETS LAST NOW: prints the ratios of this `make bench` run beside the last run's and
// flags each one that worsened by more than 15% plus the spread of both runs' repetitions, or misses
// its target. LAST may be missing (first run).
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
  if (argc != 4) {
    fprintf(stderr, "usage: %s TARGETS LAST NOW\n", argv[0]);
    return 2;
  }
  std::string targetText, lastText, nowText, error;
  std::vector<ydxbench::Target> targets;
  if (!ReadWhole(argv[1], &targetText) || !ydxbench::ParseTargets(targetText, &targets, &error)) {
    fprintf(stderr, "%s: %s\n", argv[1], error.empty() ? "cannot be read" : error.c_str());
    return 2;
  }
  if (!ReadWhole(argv[3], &nowText)) {
    fprintf(stderr, "%s: cannot be read\n", argv[3]);
    return 2;
  }
  ReadWhole(argv[2], &lastText);
  const double kTolerance = 0.15;   // flag a ratio more than 15% (and its noise) above the last run's
  fputs(ydxbench::Report(ydxbench::Judge(ydxbench::ParseRatios(nowText), ydxbench::ParseRatios(lastText),
                                         targets, kTolerance),
                         kTolerance).c_str(),
        stdout);
  return 0;
}
