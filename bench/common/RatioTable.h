// The ratios of one `make bench` run held against their targets and against the previous run's, so a
// ratio that got worse is noticed even while it still meets its target.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ydxbench {

// The repetition times of one `make bench` run, pooled over every process that ran the benchmarks (each
// benchmark executable runs several times, so that what one process meets, such as the placement of
// its memory, shows in the spread instead of in the ratio): seconds per iteration of every repetition
// by benchmark name, and the registered pairs (ours, baseline).
struct Times {
  std::map<std::string, std::vector<double>> seconds;
  std::vector<std::pair<std::string, std::string>> pairs;
};
// One line per repetition, "time<TAB>name<TAB>seconds", and per pair, "pair<TAB>ours<TAB>baseline".
std::string FormatTimes(const Times& times);
// Adds what the text holds to `times`; lines that do not parse are skipped.
void ParseTimes(const std::string& text, Times* times);

// The spread is how far the repetitions of this run scattered: the upper quartile over the fastest
// repetition, less 1, of each side, added (0.05: the ratio may be 5% off what another run gives). On a
// busy machine another run may find its fastest repetitions anywhere in there.
struct RatioRow {
  std::string ours, baseline;
  double value;
  double spread = 0;
};

// The ratio of each pair (once, in the order first registered) between its sides' fastest repetitions,
// with its spread; a pair with a side that was not measured is left out.
std::vector<RatioRow> PoolRatios(const Times& times);

// One row per line: ours, baseline, the ratio and its spread, separated by tabs (a line without the
// spread, as older runs kept them, reads with 0). Lines that do not parse are skipped.
std::string FormatRatios(const std::vector<RatioRow>& rows);
std::vector<RatioRow> ParseRatios(const std::string& text);

// The target table: "ours baseline limit [noise]" per line (names hold no blanks), '#' starts a comment.
// The noise band (a fraction, 0 when left out) widens the change allowed against the last run, for a
// ratio that swings between runs more than the repetitions of one run show. False with `error` naming
// the line when a line does not parse.
struct Target {
  std::string ours, baseline;
  double limit;
  double noise = 0;
};
bool ParseTargets(const std::string& text, std::vector<Target>* targets, std::string* error);

struct Verdict {
  std::string ours, baseline;
  bool measured = false;
  double now = 0;
  bool hasLast = false;
  double last = 0;
  double allowed = 0;      // the change the tolerance and both runs' spreads allow, as a fraction
  bool hasTarget = false;
  double target = 0;
  bool worsened = false;   // above the last run's ratio by more than the tolerance and both spreads
  bool missed = false;     // above its target, or a target that was not measured
};

// Every row measured now, in order, then every target that was not measured. A ratio has worsened when
// it exceeds the last run's by more than the tolerance plus the spreads of both runs and its noise band:
// a change that the repetitions themselves could account for is not flagged.
std::vector<Verdict> Judge(const std::vector<RatioRow>& now, const std::vector<RatioRow>& last,
                           const std::vector<Target>& targets, double tolerance);

// The table `make bench` prints, closing with the number of flagged ratios.
std::string Report(const std::vector<Verdict>& verdicts, double tolerance);

}  // namespace ydxbench
