// The ratios of one `make bench` run held against their targets and against the previous run's, so a
// ratio that got worse is noticed even while it still meets its target.
#pragma once
#include <string>
#include <vector>

namespace ydxbench {

struct RatioRow {
  std::string ours, baseline;
  double value;
};

// One row per line: ours, baseline and the ratio, separated by tabs. Lines that do not parse are skipped.
std::string FormatRatios(const std::vector<RatioRow>& rows);
std::vector<RatioRow> ParseRatios(const std::string& text);

// The target table: "ours baseline limit" per line (names hold no blanks), '#' starts a comment.
// False with `error` naming the line when a line does not parse.
struct Target {
  std::string ours, baseline;
  double limit;
};
bool ParseTargets(const std::string& text, std::vector<Target>* targets, std::string* error);

struct Verdict {
  std::string ours, baseline;
  bool measured = false;
  double now = 0;
  bool hasLast = false;
  double last = 0;
  bool hasTarget = false;
  double target = 0;
  bool worsened = false;   // above the last run's ratio by more than the tolerance
  bool missed = false;     // above its target, or a target that was not measured
};

// Every row measured now, in order, then every target that was not measured.
std::vector<Verdict> Judge(const std::vector<RatioRow>& now, const std::vector<RatioRow>& last,
                           const std::vector<Target>& targets, double tolerance);

// The table `make bench` prints, closing with the number of flagged ratios.
std::string Report(const std::vector<Verdict>& verdicts, double tolerance);

}  // namespace ydxbench
