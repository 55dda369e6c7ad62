// Animation on the library clock: Loop, Ping-Pong and One Shot sequences, frame times and the speed
// factor, the "keep" value, ranges that stay non-empty, SelectAnim/SelectFrame, pause and the 32-bit
// wrap of the tick counter.
#include "SpriteTest.h"

namespace {

class AnimationTest : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    ASSERT_NE(OpenScreen(), nullptr);
    sheet.reset(MakeSheet(5, 2, 8, 8));
    ASSERT_EQ(sprite.Create(sheet.get(), "anim", 8, 8), 2);
    sprite.AutoRestore(0);
  }
  // The frame shown after each of `draws` draws, `ms` apart (the first draw starts the clock).
  std::vector<int> Play(int draws, Uint32 ms = 101) {
    std::vector<int> frames;
    for (int i = 0; i < draws; ++i) {
      sprite.Draw();
      frames.push_back(sprite.GetFrame());
      ydxtest::ManualClock::Advance(ms);
    }
    return frames;
  }
  SurfaceHolder sheet;
  Yandorix_CSprite sprite;
};

}  // namespace

TEST_F(AnimationTest, LoopPingPongAndOneShotSequences) {
  ASSERT_EQ(sprite.SetAnimProperties(1, 2, 2730, 2730, 2730, 0, 4), 1);
  EXPECT_EQ(Play(10), (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1}));
  sprite.SelectFrame(0);
  ASSERT_EQ(sprite.SetAnimProperties(1, 4, 2730, 2730, 2730, 2730, 2730), 1);
  EXPECT_EQ(Play(10), (std::vector<int>{1, 2, 3, 2, 1, 0, 1, 2, 3, 2}));
  sprite.SelectFrame(0);
  ASSERT_EQ(sprite.SetAnimProperties(1, 8, 2730, 2730, 2730, 1, 3), 1);
  sprite.SelectAnim(0x8000);   // a One Shot restarts at its start frame
  EXPECT_EQ(sprite.GetFrame(), 1);
  EXPECT_EQ(sprite.IsFinished(), 0);
  EXPECT_EQ(Play(4), (std::vector<int>{2, 2, 2, 2}));
  EXPECT_EQ(sprite.IsFinished(), 1);
  EXPECT_EQ(sprite.SelectAnim(0x8000), 1);
  EXPECT_EQ(sprite.GetFrame(), 1);
}

TEST_F(AnimationTest, DrawReportsTheStepAndStepsAtMostOncePerDraw) {
  EXPECT_EQ(sprite.Draw(), 2);   // starts the clock
  ydxtest::ManualClock::Advance(100);
  EXPECT_EQ(sprite.Draw(), 2);   // exactly the frame time: not yet
  ydxtest::ManualClock::Advance(1);
  EXPECT_EQ(sprite.Draw(), 1);
  ydxtest::ManualClock::Advance(5000);
  EXPECT_EQ(sprite.Draw(), 1);
  EXPECT_EQ(sprite.GetFrame(), 2);
  sprite.Pause();
  ydxtest::ManualClock::Advance(5000);
  EXPECT_EQ(sprite.Draw(), 3);
  EXPECT_EQ(sprite.GetFrame(), 2);
  sprite.Resume();
  EXPECT_EQ(sprite.Draw(), 1);
}

TEST_F(AnimationTest, SpeedFactorDividesFrameTimesAndZeroOrBelowStops) {
  ASSERT_EQ(sprite.SetFrameProperties(1, 0, 100), 1);
  sprite.SetAnimFactor(2.0f);
  EXPECT_EQ(Play(4, 51), (std::vector<int>{0, 1, 2, 3}));
  for (float factor : {0.0f, -1.0f}) {
    sprite.SetAnimFactor(factor);
    EXPECT_EQ(Play(3, 100000), (std::vector<int>{3, 3, 3}));
  }
  sprite.SetAnimFactor(1.0f);
  ASSERT_EQ(sprite.SetFrameProperties(1, 1, 300), 1);   // 1-based: the first frame
  unsigned int ms = 0;
  EXPECT_EQ(sprite.GetFrameProperties(1, 2, &ms), 1);
  EXPECT_EQ(ms, 100u);
  EXPECT_EQ(sprite.SetFrameProperties(3, 1, 50), 0);
  EXPECT_EQ(sprite.SetFrameProperties(1, 6, 50), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::SetFrame(1,6,50)] Warning: frame not found.\n"));
  EXPECT_EQ(sprite.GetFrameProperties(1, 6, &ms), 0);
  sprite.Draw();   // restarts the frame clock
  sprite.SelectFrame(0);
  EXPECT_EQ(Play(3, 201), (std::vector<int>{0, 0, 1}));
}

TEST_F(AnimationTest, KeepValueAndRangesThatAlwaysHoldAFrame) {
  ASSERT_EQ(sprite.SetAnimProperties(1, 2730, 2730, 5, 6, 2730, 2730), 1);
  unsigned short type, code, count, start, end;
  short hotx, hoty;
  sprite.GetAnimProperties(1, &type, &code, &count, &hotx, &hoty, &start, &end);
  EXPECT_EQ(type, 2);
  EXPECT_EQ(code, 0x8000);
  EXPECT_EQ(hotx, 5);
  EXPECT_EQ(hoty, 6);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 5);
  EXPECT_EQ(sprite.SetAnimProperties(1, 3, 1, 1, 1, 1, 1), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::SetAnimProperties(1,3,1,1,1,1,1)] Warning: wrong animation type.\n"));
  EXPECT_EQ(sprite.SetAnimProperties(3, 2, 1, 1, 1, 1, 1), 0);
  sprite.GetAnimProperties(1, NULL, &code, NULL, &hotx, NULL, NULL, NULL);
  EXPECT_EQ(code, 0x8000);   // a refused call changes nothing
  EXPECT_EQ(hotx, 5);
  // start == end, start beyond the frames, end beyond the frames: each range still holds a frame.
  const unsigned short ranges[][4] = {{2, 2, 2, 3}, {9, 9, 3, 5}, {0, 60, 0, 5}, {3, 1, 3, 4}};
  for (const auto& r : ranges) {
    ASSERT_EQ(sprite.SetAnimProperties(1, 2730, 2730, 2730, 2730, r[0], r[1]), 1);
    sprite.GetAnimProperties(1, NULL, NULL, NULL, NULL, NULL, &start, &end);
    EXPECT_EQ(start, r[2]) << r[0] << "," << r[1];
    EXPECT_EQ(end, r[3]) << r[0] << "," << r[1];
    EXPECT_GE(sprite.GetFrame(), start);
    EXPECT_LT(sprite.GetFrame(), end);
  }
  EXPECT_EQ(sprite.SelectFrame(99), 1);
  EXPECT_EQ(sprite.GetFrame(), 3);
  EXPECT_EQ(sprite.SelectFrame(-5), 1);
  EXPECT_EQ(sprite.GetFrame(), 3);
}

TEST_F(AnimationTest, PingPongOverOneOrTwoFramesStaysInside) {
  ASSERT_EQ(sprite.SetAnimProperties(1, 4, 2730, 2730, 2730, 2, 3), 1);
  EXPECT_EQ(Play(5), (std::vector<int>{2, 2, 2, 2, 2}));
  ASSERT_EQ(sprite.SetAnimProperties(1, 4, 2730, 2730, 2730, 2730, 4), 1);
  EXPECT_EQ(Play(6), (std::vector<int>{3, 2, 3, 2, 3, 2}));
}

TEST_F(AnimationTest, SelectAnimKeepsTheFrameInsideTheNewRange) {
  sprite.SetAnimProperties(2, 2, 0x4001, 2730, 2730, 0, 2);
  sprite.SelectFrame(4);
  EXPECT_EQ(sprite.SelectAnim(0x4001), 1);
  EXPECT_EQ(sprite.GetAnim(), 0x4001);
  EXPECT_LT(sprite.GetFrame(), 2);
  EXPECT_EQ(Play(3), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(sprite.SelectAnim(0x1234), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::SelectAnim(4660)] Warning: animation not found.\n"));
}

TEST_F(AnimationTest, FrameTimingSurvivesTheWrapOfTheTickCounter) {
  ydxtest::ManualClock::Install(0xFFFFFFC0u);
  EXPECT_EQ(sprite.Draw(), 2);
  ydxtest::ManualClock::Advance(10);   // 10 ms later, the sum of tick and frame time has wrapped
  EXPECT_EQ(sprite.Draw(), 2);
  EXPECT_EQ(sprite.GetFrame(), 0);
  ydxtest::ManualClock::Advance(100);  // the counter itself wraps
  EXPECT_EQ(sprite.Draw(), 1);
  EXPECT_EQ(sprite.GetFrame(), 1);
  ydxtest::ManualClock::Advance(50);
  EXPECT_EQ(sprite.Draw(), 2);
}
