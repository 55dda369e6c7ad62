// How `make bench` pools the repetitions of its processes into ratios and judges a run: against the last
// run's ratios (worse by more than 15% plus the spread of both runs' repetitions and the noise band is
// flagged) and against the target table (above a target, or a target left unmeasured, is flagged).
#include "RatioTable.h"
#include "YdxTest.h"
#include <algorithm>

namespace {

using ydxbench::RatioRow;
using ydxbench::Target;

struct JudgeCase {
  const char* what;
  double last;     // 0: no last run
  double now;      // 0: not measured
  double target;   // 0: no target
  bool worsened, missed;
  double lastSpread = 0, nowSpread = 0, noise = 0;
};

TEST(RatioTable, JudgesEachRatioAgainstTheLastRunAndItsTarget) {
  const JudgeCase cases[] = {
      {"first run, no target", 0, 1.30, 0, false, false},
      {"14% worse stays quiet", 1.00, 1.14, 0, false, false},
      {"16% worse is flagged", 1.00, 1.16, 0, true, false},
      {"better is never flagged", 1.40, 0.70, 0, false, false},
      {"exactly at the target meets it", 0, 1.10, 1.10, false, false},
      {"above the target misses it", 1.09, 1.11, 1.10, false, true},
      {"worse and missed at once", 1.20, 1.50, 1.40, true, true},
      {"a target left unmeasured", 1.00, 0, 2.00, false, true},
      {"20% worse within the spreads stays quiet", 1.00, 1.20, 0, false, false, 0.02, 0.04},
      {"beyond the tolerance and the spreads is flagged", 1.00, 1.22, 0, true, false, 0.02, 0.04},
      {"a noise band beside the target widens it", 1.00, 1.40, 2.00, false, false, 0, 0, 0.30},
      {"and is exceeded like it", 1.00, 1.50, 2.00, true, false, 0, 0, 0.30},
  };
  for (const JudgeCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<RatioRow> now, last;
    std::vector<Target> targets;
    if (c.now > 0) now.push_back({"ours/x", "base/x", c.now, c.nowSpread});
    if (c.last > 0) last.push_back({"ours/x", "base/x", c.last, c.lastSpread});
    if (c.target > 0) targets.push_back({"ours/x", "base/x", c.target, c.noise});
    now.push_back({"ours/other", "base/x", 1.0});   // other rows never disturb the verdict on this one
    std::vector<ydxbench::Verdict> verdicts = ydxbench::Judge(now, last, targets, 0.15);
    auto mine = std::find_if(verdicts.begin(), verdicts.end(),
                             [](const ydxbench::Verdict& v) { return v.ours == "ours/x"; });
    ASSERT_NE(mine, verdicts.end());
    EXPECT_EQ(mine->worsened, c.worsened);
    EXPECT_EQ(mine->missed, c.missed);
    EXPECT_EQ(mine->measured, c.now > 0);
    std::string report = ydxbench::Report(verdicts, 0.15);
    EXPECT_NE(report.find(c.worsened || c.missed ? "1 of 2 ratios flagged." : "No ratio flagged."), std::string::npos)
        << report;
  }
}

TEST(RatioTable, KeptRatiosReadBackAndDamagedLinesAreSkipped) {
  std::vector<RatioRow> rows = {{"net/relay_slow_reader/1048576/real_time", "net/relay/1048576/real_time", 1.3217, 0.125},
                                {"Ours_SavePNG", "Base_LibpngSave", 0.98, 0}};
  // A run kept before spreads were kept reads with none.
  std::string text = ydxbench::FormatRatios(rows) + "old\tline\t1.5\nhalf a line\nx\ty\tnot-a-number\n\t\t1.0\n" +
                     "x\ty\t-1\nx\ty\t1.0\t-0.5\n";
  std::vector<RatioRow> back = ydxbench::ParseRatios(text);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].ours, rows[0].ours);
  EXPECT_EQ(back[0].baseline, rows[0].baseline);
  EXPECT_DOUBLE_EQ(back[0].value, 1.3217);
  EXPECT_DOUBLE_EQ(back[0].spread, 0.125);
  EXPECT_DOUBLE_EQ(back[1].value, 0.98);
  EXPECT_DOUBLE_EQ(back[2].value, 1.5);
  EXPECT_DOUBLE_EQ(back[2].spread, 0);
}

// The times of several processes pool into one ratio per pair: between the fastest repetitions of its
// sides over all processes, with the spread of each side's upper quartile over its fastest.
TEST(RatioTable, RepetitionsOfSeveralProcessesPoolIntoOneRatioPerPair) {
  const std::vector<double> ours[] = {{2.0, 4.0}, {2.5, 3.0}, {2.2, 9.0}}, base[] = {{1.0, 1.0}, {1.25, 1.0}, {1.0, 1.1}};
  ydxbench::Times pooled;
  for (int process = 0; process < 3; process++) {
    ydxbench::Times times;
    times.seconds = {{"ours", ours[process]}, {"base", base[process]}, {"alone", {3.0}}};
    times.pairs = {{"ours", "base"}, {"alone", "unmeasured"}};
    ydxbench::ParseTimes(ydxbench::FormatTimes(times) + "time\tours\tslow\nhalf a line\ntime\t\t1\n", &pooled);
  }
  EXPECT_EQ(pooled.seconds["ours"].size(), 6u);
  std::vector<RatioRow> rows = ydxbench::PoolRatios(pooled);
  ASSERT_EQ(rows.size(), 1u);   // registered by every process, counted once; "unmeasured" is left out
  EXPECT_EQ(rows[0].ours, "ours");
  EXPECT_DOUBLE_EQ(rows[0].value, 2.0);    // 2.0 / 1.0
  EXPECT_DOUBLE_EQ(rows[0].spread, 1.1);   // 4.0 / 2.0 - 1 (the stray 9.0 does not count) + 1.1 / 1.0 - 1
}

TEST(RatioTable, TargetTableTakesCommentsAndRefusesBrokenLines) {
  const struct {
    const char* text;
    bool ok;
    size_t count;
  } cases[] = {
      {"# header\n\na b 1.5   # why\n  c d 2\n", true, 2},
      {"a b 1.5 0.25\n", true, 1},
      {"a b 1.5 0\n", true, 1},
      {"a b\n", false, 0},
      {"a b 1.5 0.25 extra\n", false, 0},
      {"a b 1.5 noisy\n", false, 0},
      {"a b fast\n", false, 0},
      {"a b 0\n", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<Target> targets;
    std::string error;
    EXPECT_EQ(ydxbench::ParseTargets(c.text, &targets, &error), c.ok);
    if (c.ok) EXPECT_EQ(targets.size(), c.count);
    else EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  }
}

TEST(RatioTable, TheProjectsTargetTableParsesAndTracksTheSlowReaderRelay) {
  std::vector<Target> targets;
  std::string error;
  ASSERT_TRUE(ydxbench::ParseTargets(ydxtest::ReadFile(YDX_SOURCE_DIR "/bench/targets.txt"), &targets, &error))
      << error;
  EXPECT_TRUE(std::any_of(targets.begin(), targets.end(), [](const Target& t) {
    return t.ours == "net/relay_slow_reader/1048576/real_time" && t.limit == 2.0;
  }));
}

}  // namespace
