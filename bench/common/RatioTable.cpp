// Pooling the repetition times of a run into ratios, reading and writing the kept ratios and the target
// table, and judging one run against both.
#include "RatioTable.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace ydxbench {

namespace {

// A finite positive number (or 0 when `orZero`) that fills the whole text.
bool ParseNumber(const std::string& text, double* value, bool orZero = false) {
  char* end = nullptr;
  *value = strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0' && (*value > 0 || (orZero && *value == 0)) && *value < 1e300;
}

template <typename Row>
const Row* FindPair(const std::vector<Row>& rows, const std::string& ours, const std::string& baseline) {
  for (const Row& row : rows)
    if (row.ours == ours && row.baseline == baseline) return &row;
  return nullptr;
}

std::string Printed(const char* format, double value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

// The fastest repetition, and how far the upper quartile lies above it (0.1: 10%): the upper quartile
// rather than the slowest, so that one stray repetition does not count.
bool Fastest(const Times& times, const std::string& name, double* fastest, double* spread) {
  auto found = times.seconds.find(name);
  if (found == times.seconds.end() || found->second.empty()) return false;
  std::vector<double> sorted = found->second;
  std::sort(sorted.begin(), sorted.end());
  *fastest = sorted.front();
  if (*fastest <= 0) return false;
  double upperQuartile = sorted[(3 * (sorted.size() - 1) + 3) / 4];   // rounded up: the 5th of 6
  *spread = upperQuartile / *fastest - 1;
  return true;
}

// The text's tab-separated fields.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

std::string FormatTimes(const Times& times) {
  std::string text;
  for (const auto& entry : times.seconds)
    for (double seconds : entry.second) text += "time\t" + entry.first + "\t" + Printed("%.9g", seconds) + "\n";
  for (const auto& pair : times.pairs) text += "pair\t" + pair.first + "\t" + pair.second + "\n";
  return text;
}

void ParseTimes(const std::string& text, Times* times) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields = Fields(line);
    double seconds = 0;
    if (fields.size() != 3 || fields[1].empty() || fields[2].empty()) continue;
    if (fields[0] == "time" && ParseNumber(fields[2], &seconds))
      times->seconds[fields[1]].push_back(seconds);
    else if (fields[0] == "pair")
      times->pairs.push_back({fields[1], fields[2]});
  }
}

std::vector<RatioRow> PoolRatios(const Times& times) {
  std::vector<RatioRow> rows;
  for (const auto& pair : times.pairs) {
    double ours, baseline, oursSpread, baselineSpread;
    if (FindPair(rows, pair.first, pair.second) || !Fastest(times, pair.first, &ours, &oursSpread) ||
        !Fastest(times, pair.second, &baseline, &baselineSpread))
      continue;
    rows.push_back({pair.first, pair.second, ours / baseline, oursSpread + baselineSpread});
  }
  return rows;
}

std::string FormatRatios(const std::vector<RatioRow>& rows) {
  std::string text;
  for (const RatioRow& row : rows)
    text += row.ours + "\t" + row.baseline + "\t" + Printed("%.6g", row.value) + "\t" + Printed("%.4g", row.spread) + "\n";
  return text;
}

std::vector<RatioRow> ParseRatios(const std::string& text) {
  std::vector<RatioRow> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t first = line.find('\t');
    if (first == std::string::npos || first == 0) continue;
    size_t second = line.find('\t', first + 1);
    if (second == std::string::npos || second == first + 1) continue;
    size_t third = line.find('\t', second + 1);
    RatioRow row{line.substr(0, first), line.substr(first + 1, second - first - 1), 0};
    if (!ParseNumber(line.substr(second + 1, third - second - 1), &row.value)) continue;   // to the end without a spread
    if (third == std::string::npos || ParseNumber(line.substr(third + 1), &row.spread, true)) rows.push_back(row);
  }
  return rows;
}

bool ParseTargets(const std::string& text, std::vector<Target>* targets, std::string* error) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); number++) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string ours, baseline, limit, noise, extra;
    if (!(words >> ours)) continue;   // blank or comment only
    Target target{ours, "", 0};
    bool hasNoise = static_cast<bool>(words >> baseline >> limit >> noise);
    if (baseline.empty() || limit.empty() || (words >> extra) || !ParseNumber(limit, &target.limit) ||
        (hasNoise && !ParseNumber(noise, &target.noise, true))) {
      *error = "line " + std::to_string(number) + ": expected 'ours baseline limit [noise]'";
      return false;
    }
    target.baseline = baseline;
    targets->push_back(target);
  }
  return true;
}

std::vector<Verdict> Judge(const std::vector<RatioRow>& now, const std::vector<RatioRow>& last,
                           const std::vector<Target>& targets, double tolerance) {
  std::vector<Verdict> verdicts;
  for (const RatioRow& row : now) {
    if (FindPair(verdicts, row.ours, row.baseline)) continue;   // a pair registered twice counts once
    Verdict verdict;
    verdict.ours = row.ours;
    verdict.baseline = row.baseline;
    verdict.measured = true;
    verdict.now = row.value;
    const Target* target = FindPair(targets, row.ours, row.baseline);
    if (const RatioRow* before = FindPair(last, row.ours, row.baseline)) {
      verdict.hasLast = true;
      verdict.last = before->value;
      verdict.allowed = tolerance + row.spread + before->spread + (target ? target->noise : 0);
      verdict.worsened = row.value > before->value * (1 + verdict.allowed);
    }
    if (target) {
      verdict.hasTarget = true;
      verdict.target = target->limit;
      verdict.missed = row.value > target->limit;
    }
    verdicts.push_back(verdict);
  }
  for (const Target& target : targets) {
    if (FindPair(verdicts, target.ours, target.baseline)) continue;
    Verdict verdict;
    verdict.ours = target.ours;
    verdict.baseline = target.baseline;
    verdict.hasTarget = true;
    verdict.target = target.limit;
    verdict.missed = true;   // a renamed or failed benchmark must not drop out of sight
    verdicts.push_back(verdict);
  }
  return verdicts;
}

std::string Report(const std::vector<Verdict>& verdicts, double tolerance) {
  std::string text;
  char line[512];
  snprintf(line, sizeof line, "%-90s %8s %8s %8s %8s %9s  %s\n", "ratio (ours / baseline)", "last", "now", "change",
           "allowed", "target", "flags");
  text += line;
  int flagged = 0;
  for (const Verdict& v : verdicts) {
    std::string name = v.ours + " / " + v.baseline;
    std::string last = v.hasLast ? Printed("%.3f", v.last) : "-";
    std::string now = v.measured ? Printed("%.3f", v.now) : "-";
    bool compared = v.measured && v.hasLast;
    std::string change = compared ? Printed("%+.1f%%", (v.now / v.last - 1) * 100) : "";
    std::string allowed = compared ? Printed("+%.0f%%", v.allowed * 100) : "";
    std::string target = v.hasTarget ? Printed("<= %.2f", v.target) : "";
    std::string flags;
    if (v.worsened) flags += "WORSE beyond the allowed change";
    if (v.missed) flags += std::string(flags.empty() ? "" : ", ") + (v.measured ? "MISSED" : "NOT MEASURED");
    if (!flags.empty()) flagged++;
    snprintf(line, sizeof line, "%-90s %8s %8s %8s %8s %9s  %s\n", name.c_str(), last.c_str(), now.c_str(),
             change.c_str(), allowed.c_str(), target.c_str(), flags.c_str());
    text += line;
  }
  snprintf(line, sizeof line,
           "Allowed change: %.0f%% plus the spread of the repetitions in both runs and the ratio's noise band.\n",
           tolerance * 100);
  text += line;
  text += flagged ? std::to_string(flagged) + " of " + std::to_string(verdicts.size()) + " ratios flagged.\n"
                  : "No ratio flagged.\n";
  return text;
}

}  // namespace ydxbench
