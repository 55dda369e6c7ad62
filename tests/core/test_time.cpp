// The time system on the manual clock: rates and their limits, restarts, the one-second window, the
// averages, and the tick counter's wrap.
#include "CoreTest.h"

class TimeTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    StartLibrary();
  }
};

TEST_F(TimeTest, GettersReadMinusOneUntilInit) {
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), -1);
  EXPECT_EQ(ITimeSystem->GetDesiredRFR(), -1);
  EXPECT_EQ(ITimeSystem->GetTime(), -1);
  EXPECT_EQ(ITimeSystem->GetRFR(), -1.0f);
  ITimeSystem->SetRate(60, 20);
  ITimeSystem->Init(1);   // a restart before any start does nothing
  ITimeSystem->Init(5);
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), -1);
  ITimeSystem->Update();
  ITimeSystem->Update();
  EXPECT_EQ(Count(ydxtest::LogText(), "[ITimeSystem->Update()] Warning: ITimeSystem was not initialized."), 1u);
}

TEST_F(TimeTest, InitStartsAtOneMillisecond) {
  ITimeSystem->Init(0);
  EXPECT_EQ(ITimeSystem->GetTime(), 1);
  EXPECT_FLOAT_EQ(ITimeSystem->GetSeconds(), 0.001f);
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), 0);
  ydxtest::ManualClock::Advance(250);
  EXPECT_EQ(ITimeSystem->GetTimeNow(), 250);
  EXPECT_EQ(ITimeSystem->GetTime(), 1);   // until the next Update
  ITimeSystem->Update();
  EXPECT_EQ(ITimeSystem->GetTime(), 250);
}

TEST_F(TimeTest, RatesAreLimitedAndKeptAcrossRestart) {
  ITimeSystem->Init(0);
  ITimeSystem->SetRate(200, 500);
  EXPECT_EQ(ITimeSystem->GetDesiredRFR(), 120);
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), 200);
  ITimeSystem->SetRate(0, 20);
  EXPECT_EQ(ITimeSystem->GetDesiredRFR(), 0);
  EXPECT_EQ(ITimeSystem->GetCurrentLFR(), 20);
  ITimeSystem->IncLF();
  ydxtest::ManualClock::Advance(300);
  ITimeSystem->Update();
  ITimeSystem->Init(1);
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), 20);
  EXPECT_EQ(ITimeSystem->GetLogicFrames(), 0);
  EXPECT_EQ(ITimeSystem->GetTime(), 1);
  ITimeSystem->Init(0);
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), 0);
}

TEST_F(TimeTest, DoubleBufferedScreenWarnsAboutRenderRate) {
  ITimeSystem->Init(0);
  SDL_Surface* fake = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0, 0, 0, 0);
  fake->flags |= SDL_DOUBLEBUF;
  Yandorix.screen = fake;
  ITimeSystem->SetRate(60, 20);
  Yandorix.screen = NULL;
  fake->flags &= ~SDL_DOUBLEBUF;
  SDL_FreeSurface(fake);
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [ITimeSystem->SetRate(60,20)] Warning: doublebuffer screen detected. "
                                           "Use 0 for RFR to get the smoothest animation.\n"));
  EXPECT_EQ(ITimeSystem->GetDesiredRFR(), 60);
}

TEST_F(TimeTest, LastSecondWindowAndAverages) {
  ydxtest::ManualClock::Install(0);
  ITimeSystem->Init(0);
  for (int frame = 0; frame < 30; frame++) {
    ydxtest::ManualClock::Advance(40);
    ITimeSystem->IncRF();
    ITimeSystem->IncLF();
  }
  ITimeSystem->Update();   // 1200 ms: the first window closes with every frame in it
  EXPECT_EQ(ITimeSystem->GetCurrentRFR(), 30);
  EXPECT_NEAR(ITimeSystem->GetRFR(), 25.0f, 0.01f);
  for (int frame = 0; frame < 10; frame++) ITimeSystem->IncRF();
  ydxtest::ManualClock::Advance(300);
  ITimeSystem->Update();   // within the next second: the window holds
  EXPECT_EQ(ITimeSystem->GetCurrentRFR(), 30);
  ydxtest::ManualClock::Advance(701);
  ITimeSystem->Update();
  EXPECT_EQ(ITimeSystem->GetCurrentRFR(), 10);
  EXPECT_EQ(ITimeSystem->GetRenderedFrames(), 40);
}

TEST_F(TimeTest, StatisticsSurviveTheTickWrap) {
  ydxtest::ManualClock::Install(0xFFFFFFFFu - 2000u);
  ITimeSystem->Init(0);
  ITimeSystem->Update();
  for (int frame = 0; frame < 5; frame++) ITimeSystem->IncRF();
  ydxtest::ManualClock::Advance(2500);   // past the wrap of the 32-bit millisecond counter
  ITimeSystem->Update();
  EXPECT_EQ(ITimeSystem->GetCurrentRFR(), 5);
  EXPECT_EQ(ITimeSystem->GetTime(), 2500);
  EXPECT_NEAR(ITimeSystem->GetRFR(), 2.0f, 0.01f);
}

TEST_F(TimeTest, InfoReportsDesiredOrUnlimited) {
  ITimeSystem->Info();
  ITimeSystem->Init(0);
  ITimeSystem->Info();
  ITimeSystem->SetRate(60, 20);
  ITimeSystem->Info();
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, "\n . Timer information:\n      -> ITimeSystem was not initialized.\n"));
  EXPECT_TRUE(Contains(text, "      -> Rendering Frame Rate: Unlimited - Last second 0 - Average 0.00.\n"));
  EXPECT_TRUE(Contains(text, "      -> Logic Frame Rate: Unlimited - Last second 0 - Average 0.00.\n"));
  EXPECT_TRUE(Contains(text, "      -> Rendering Frame Rate: Desired 60 - Last second 60 - Average 60.00.\n"));
  EXPECT_TRUE(Contains(text, "      -> Logic Frame Rate: Desired 20 - Last second 20 - Average 20.00\n"));
}

class TimeWithoutTimerTest : public CoreTest {};

TEST_F(TimeWithoutTimerTest, InitWarnsAndStaysUninitialised) {
  ydxtest::StartLog();
  Yandorix_ITimeSystem time;
  time.Init(0);
  EXPECT_EQ(time.GetTime(), -1);
  EXPECT_TRUE(ydxtest::LogText().find(" . [ITimeSystem->Init()] Warning: SDL_INIT_TIMER was not initialized.\n") !=
              std::string::npos);
}
