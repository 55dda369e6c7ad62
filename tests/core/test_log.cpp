// The log: levels, outputs, the banner, time stamps, halting, fallbacks, threads and the profiler.
#include "CoreTest.h"
#include <sys/stat.h>
#include <sstream>
#include <thread>

class LogTest : public CoreTest {
 protected:
  void InitLog(const char* name, int outputs, int level = 5) {
    ILogSystem.Init(name, (char)outputs, (char)level, "title", NULL, NULL, NULL);
  }
  // The log text after the banner (which ends with the "Executing at" line).
  static std::string AfterBanner(const std::string& text) {
    size_t at = text.find("\n . Executing at ");
    if (at == std::string::npos) return text;
    return text.substr(text.find('\n', at + 2) + 1);
  }
};

TEST_F(LogTest, SilentBeforeInitAndWhenOff) {
  ILogSystem.Msg(0, "early\n");
  EXPECT_FALSE(ydxtest::FileExists("test.log"));
  EXPECT_EQ(ILogSystem.GetState(), 0);
  InitLog("test.log", 16);   // the console alone starts nothing
  EXPECT_EQ(ILogSystem.GetState(), 0);
  InitLog("test.log", 0);
  EXPECT_EQ(ILogSystem.GetState(), 0);
}

TEST_F(LogTest, LevelIsClamped) {
  InitLog("test.log", 2, 9);
  ILogSystem.Msg(5, "five\n");
  InitLog("low.log", 2, -3);
  ILogSystem.Msg(0, "zero\n");
  ILogSystem.Msg(2, "two\n");
  ILogSystem.Msg(-1, "negative\n");
  EXPECT_TRUE(Contains(ydxtest::ReadFile("test.log"), "five\n"));
  std::string low = AfterBanner(ydxtest::ReadFile("low.log"));
  EXPECT_EQ(low, "zero\nnegative\n");
}

TEST_F(LogTest, FileModesTruncateOrAppend) {
  ydxtest::WriteFile("a.log", "old line\n");
  ydxtest::WriteFile("b.log", "old line\n");
  ydxtest::WriteFile("c.log", "old line\n");
  InitLog("a.log", 2);
  InitLog("b.log", 4);
  InitLog("c.log", 6);
  EXPECT_FALSE(Contains(ydxtest::ReadFile("a.log"), "old line"));
  EXPECT_EQ(ydxtest::ReadFile("b.log").rfind("old line\n+---", 0), 0u);
  EXPECT_FALSE(Contains(ydxtest::ReadFile("c.log"), "old line"));
  ILogSystem.Msg(0, "only here\n");   // a new Init closed the previous files
  EXPECT_FALSE(Contains(ydxtest::ReadFile("a.log"), "only here"));
  EXPECT_TRUE(Contains(ydxtest::ReadFile("c.log"), "only here"));
}

TEST_F(LogTest, BannerBytesAndTitleLines) {
  ILogSystem.Init("test.log", 2, 5, "My Game", "line two", "line three", "line four");
  std::string text = ydxtest::ReadFile("test.log");
  std::string frame = "+" + std::string(58, '-') + "+\n";
  std::string expected = frame + "\xA6         Yandorix SDK Win32 v5.22 (build 3336)            \xA6\n" +
                         "\xA6               " + Yandorix.GetCopyright() + "                 \xA6\n";
  ASSERT_EQ(text.substr(0, expected.size()), expected);
  std::istringstream lines(text);
  std::string line;
  for (int i = 0; i < 5 && std::getline(lines, line); i++) EXPECT_EQ(line.size(), 60u) << "banner line " << i;
  EXPECT_TRUE(Contains(text, frame + "\n . My Game\n . line two - line three\n . line four\n\n . Executing at "));
  EXPECT_EQ(text.back(), '\n');
}

TEST_F(LogTest, BannerGoesToFileOnlyThenMessagesToBoth) {
  testing::internal::CaptureStdout();
  ILogSystem.Init("test.log", 2 | 8, 5, "title", NULL, NULL, NULL);
  // One argument list, several outputs: each output must see the same values.
  ILogSystem.Msg(0, " . %s=%d %s %.1f\n", "alpha", 42, "omega", 2.5);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, " . alpha=42 omega 2.5\n");
  EXPECT_EQ(AfterBanner(ydxtest::ReadFile("test.log")), " . alpha=42 omega 2.5\n");
}

TEST_F(LogTest, ConsoleOutputSurvivesWithAndWithoutConsole) {
  testing::internal::CaptureStdout();
  ILogSystem.Init("test.log", 2 | 8 | 16, 5, "title", NULL, NULL, NULL);
  ILogSystem.Msg(0, "before %s\n", "screen");
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  OpenScreen();
  ILogSystem.Msg(0, "with %s %d\n", "console", 7);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(Contains(out, "before screen\n"));
  EXPECT_TRUE(Contains(out, "with console 7\n"));
  EXPECT_TRUE(Contains(ydxtest::ReadFile("test.log"), "with console 7\n"));
}

TEST_F(LogTest, UnopenableNamesFallBackToErrorFile) {
  ASSERT_EQ(mkdir("adir", 0755), 0);
  InitLog("adir", 2);
  EXPECT_EQ(ILogSystem.GetState(), 1);
  ILogSystem.Msg(0, "after fallback\n");
  std::string text = ydxtest::ReadFile("ILogSysError.txt");
  EXPECT_TRUE(Contains(text, " . Warning: it was not possible to create your log file.\n"));
  EXPECT_TRUE(Contains(text, "after fallback\n"));

  remove("ILogSysError.txt");
  InitLog(NULL, 2);
  EXPECT_TRUE(ydxtest::FileExists("ILogSysError.txt"));

  remove("ILogSysError.txt");
  std::string longName(300, 'n');   // does not fit the name field: never cut to another name
  InitLog(longName.c_str(), 2);
  EXPECT_TRUE(ydxtest::FileExists("ILogSysError.txt"));
  EXPECT_FALSE(ydxtest::FileExists(longName.substr(0, 255)));
}

TEST_F(LogTest, NoFileAtAllLeavesStdoutOrNothing) {
  ASSERT_EQ(mkdir("adir", 0755), 0);
  ASSERT_EQ(mkdir("ILogSysError.txt", 0755), 0);
  InitLog("adir", 2);
  EXPECT_EQ(ILogSystem.GetState(), 0);
  testing::internal::CaptureStdout();
  InitLog("adir", 2 | 8);
  EXPECT_EQ(ILogSystem.GetState(), 1);
  ILogSystem.Msg(0, "to stdout\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "to stdout\n");
}

TEST_F(LogTest, TimeStampCountsFromInit) {
  StartLibrary();
  ydxtest::ManualClock::Advance(1500);
  ILogSystem.ShowTime(1);
  ILogSystem.Msg(0, "stamped\n");
  ILogSystem.ShowTime(0);
  ILogSystem.Msg(0, "plain\n");
  EXPECT_TRUE(Contains(ydxtest::LogText(), "\n{1.500s}stamped\nplain\n"));
}

TEST_F(LogTest, HaltDropsUntilResume) {
  InitLog("test.log", 2);
  ILogSystem.Halt();
  EXPECT_EQ(ILogSystem.GetState(), 2);
  ILogSystem.Msg(0, "dropped\n");
  ILogSystem.Resume();
  EXPECT_EQ(ILogSystem.GetState(), 1);
  ILogSystem.Msg(0, "kept\n");
  ILogSystem.Msg(0, NULL);
  EXPECT_EQ(AfterBanner(ydxtest::LogText()), "kept\n");
}

TEST_F(LogTest, TwoThreadsWriteWholeLines) {
  InitLog("test.log", 2);
  const int kLines = 10000;
  auto writer = [](int id) {
    for (int i = 0; i < kLines; i++)
      ILogSystem.Msg(0, " . [thread %d] line %05d with a payload long enough to tear if unlocked\n", id, i);
  };
  std::thread first(writer, 1), second(writer, 2);
  first.join();
  second.join();
  std::istringstream lines(AfterBanner(ydxtest::LogText()));
  std::string line;
  int next[3] = {0, 0, 0}, total = 0;
  while (std::getline(lines, line)) {
    int id = 0, number = -1;
    char tail[80] = "";
    ASSERT_EQ(sscanf(line.c_str(), " . [thread %d] line %d with a payload %79[^\n]", &id, &number, tail), 3) << line;
    ASSERT_TRUE(id == 1 || id == 2) << line;
    EXPECT_EQ(number, next[id]++) << line;
    EXPECT_STREQ(tail, "long enough to tear if unlocked");
    total++;
  }
  EXPECT_EQ(total, 2 * kLines);
}

class ProfileTest : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    InitLog("test.log", 2);
  }
  std::string Table() { return AfterBanner(ydxtest::LogText()); }
};

TEST_F(ProfileTest, NestedSampleIsIndentedAndExcludedFromOuter) {
  ILogSystem.ProfileBegin("outer");
  ydxtest::ManualClock::Advance(10);
  ILogSystem.ProfileBegin("inner");
  ydxtest::ManualClock::Advance(30);
  ILogSystem.ProfileEnd("inner");
  ydxtest::ManualClock::Advance(10);
  ILogSystem.ProfileEnd("outer");
  ydxtest::ManualClock::Advance(50);
  ILogSystem.ProfileShow();
  EXPECT_EQ(Table(),
            "\n . [ILogSystem::Profile] - Profile table:\n"
            "\n    Ave |   Min |   Max |   # | Profile Name\n"
            "  --------------------------------------------\n"
            "   20.0 |  20.0 |  20.0 |   1 | outer\n"
            "   30.0 |  30.0 |  30.0 |   1 |    inner\n"
            "\n");
}

TEST_F(ProfileTest, UnbalancedCallsAreReportedAndTableStillWritten) {
  ILogSystem.ProfileEnd("never begun");   // nothing: the profiler has not started
  ILogSystem.ProfileBegin("twice");
  ILogSystem.ProfileBegin("twice");
  ILogSystem.ProfileBegin("ended twice");
  ILogSystem.ProfileEnd("ended twice");
  ILogSystem.ProfileEnd("ended twice");
  ydxtest::ManualClock::Advance(5);
  ILogSystem.ProfileShow();
  std::string text = Table();
  EXPECT_EQ(Count(text, "Warning: ProfileBegin called without a ProfileEnd."), 1u);
  EXPECT_EQ(Count(text, "Warning: ProfileEnd called without a ProfileBegin."), 1u);
  EXPECT_TRUE(Contains(text, "|   2 | twice\n"));
  EXPECT_FALSE(Contains(text, "never begun"));
}

TEST_F(ProfileTest, ZeroLengthPeriodGivesFiniteShares) {
  ILogSystem.ProfileBegin("instant");
  ILogSystem.ProfileEnd("instant");
  ILogSystem.ProfileShow();
  std::string text = Table();
  EXPECT_TRUE(Contains(text, "    0.0 |   0.0 |   0.0 |   1 | instant\n")) << text;
  EXPECT_FALSE(Contains(text, "nan"));
  EXPECT_FALSE(Contains(text, "inf"));
}

TEST_F(ProfileTest, FiftySamplesAtMostWarnedOnce) {
  ILogSystem.ProfileShow();   // before any sample: nothing at all
  EXPECT_EQ(Table(), "");
  for (int i = 0; i < 55; i++) {
    std::string name = "sample" + std::to_string(i);
    ILogSystem.ProfileBegin(name.c_str());
    ILogSystem.ProfileEnd(name.c_str());
  }
  ILogSystem.ProfileBegin(std::string(300, 'x').c_str());   // too long for the name field: ignored
  ydxtest::ManualClock::Advance(10);
  ILogSystem.ProfileShow();
  std::string text = Table();
  EXPECT_EQ(Count(text, "Warning: maximum samples(50) reached."), 1u);
  EXPECT_TRUE(Contains(text, "| sample49\n"));
  EXPECT_FALSE(Contains(text, "sample50"));
  EXPECT_FALSE(Contains(text, "xxx"));
}

TEST_F(ProfileTest, HistoryFoldsLaterPeriods) {
  // The history weight grows with the clock: past 1.25 s the newest period counts whole.
  ydxtest::ManualClock::Install(5000);
  ILogSystem.ProfileShow();
  for (int share : {50, 10}) {
    ILogSystem.ProfileBegin("work");
    ydxtest::ManualClock::Advance(share);
    ILogSystem.ProfileEnd("work");
    ydxtest::ManualClock::Advance(100 - share);
    ILogSystem.ProfileShow();
  }
  std::string text = Table();
  EXPECT_TRUE(Contains(text, "   50.0 |  50.0 |  50.0 |   1 | work\n")) << text;
  EXPECT_TRUE(Contains(text, "   10.0 |  10.0 |  10.0 |   1 | work\n")) << text;
}
