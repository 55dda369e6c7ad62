// Drawing: the current frame at the position minus the hot spot, other destinations, interpolation
// by the frame driver's logic time, auto restore of the screen, the cached effect and its hot spot,
// slaves drawing the master's pixels, and collisions with hot spot and frame offset.
#include "SpriteTest.h"
#include <cmath>

namespace {

class DrawTest : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    ASSERT_NE(screen = OpenScreen(), nullptr);
    sheet.reset(MakeSheet(4, 2, 8, 6));
  }
  // Leftmost screen column of row y showing a sheet colour, or -1.
  int LeftEdge(int y) {
    for (int x = 0; x < screen->w; ++x)
      if (ColumnAt(screen, x, y) >= 0) return x;
    return -1;
  }
  // Moves the frame driver's logic time on by `ms` at one logic frame per second.
  void AdvanceLogic(Uint32 ms) {
    ydxtest::ManualClock::Advance(ms);
    Yandorix.Update(NULL);   // the time system reads the clock at the end of a pass
    while (Yandorix.Update(NULL) == 0) {}
  }
  // A single solid pixel to collide with.
  SDL_Surface* Dot() {
    if (!dot.get()) {
      dot.reset(SDL_CreateRGBSurface(0, 1, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0));
      SDL_FillRect(dot.get(), NULL, 0xFFFFFF);
    }
    return dot.get();
  }
  SDL_Surface* screen = NULL;
  SurfaceHolder sheet, dot;
};

}  // namespace

TEST_F(DrawTest, CurrentFrameIsDrawnExactlyAtPositionMinusHotSpot) {
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "hero", 8, 6), 2);
  sprite.AutoRestore(0);
  sprite.SetAnimProperties(2, 2730, 2730, 3, 2, 2730, 2730);
  ASSERT_EQ(sprite.SelectAnim(0x8001), 1);
  sprite.SelectFrame(2);
  sprite.SetPosition(20, 30, 0);
  EXPECT_EQ(sprite.Draw(), 2);
  SurfaceHolder expected(SDL_CreateRGBSurface(0, 8, 6, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_Rect frame = {16, 6, 8, 6};
  SDL_BlitSurface(sheet.get(), &frame, expected.get(), NULL);
  SurfaceHolder drawn(SDL_CreateRGBSurface(0, 8, 6, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_Rect at = {17, 28, 8, 6};
  SDL_BlitSurface(screen, &at, drawn.get(), NULL);
  EXPECT_TRUE(ydxtest::RowsMatch(drawn.get(), ydxtest::RowCRCs(expected.get())));
  EXPECT_EQ(ydxtest::ColorAt(screen, 17, 28).b, 50);   // the frame's mark
  EXPECT_EQ(ydxtest::ColorAt(screen, 16, 28).b, 0);    // nothing left of it
  EXPECT_EQ(ydxtest::ColorAt(screen, 25, 28).b, 0);
  EXPECT_EQ(ydxtest::ColorAt(screen, 17, 34).b, 0);
  // Another destination; frames at the screen's edge are clipped, not refused.
  SurfaceHolder target(SDL_CreateRGBSurface(0, 10, 10, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  sprite.SetPosition(3, 2, 0);
  sprite.Draw(target.get());
  EXPECT_EQ(ColumnAt(target.get(), 1, 1), 2);
  EXPECT_EQ(ydxtest::ColorAt(target.get(), 0, 0).b, 50);
  sprite.SetPosition(-2, -1, 0);
  EXPECT_EQ(sprite.Draw(), 2);
  EXPECT_EQ(sprite.GetPosX(), -2);
}

TEST_F(DrawTest, SmoothPositionFollowsTheLogicTimeFractionAndNeverMovesBack) {
  ITimeSystem->Init(0);
  ITimeSystem->SetRate(0, 1);
  AdvanceLogic(1000);   // to the start of a logic frame
  ASSERT_NEAR(Yandorix.GetLogicTime() - std::floor(Yandorix.GetLogicTime()), 0.0f, 0.01f);
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "glide", 8, 6), 2);
  sprite.AutoRestore(0);
  sprite.SetPosition(0, 50, 0);
  sprite.SetPosition(10, 50, 1);
  const int expected[] = {0, 2, 5, 7};
  for (int quarter = 0; quarter < 4; ++quarter) {
    SCOPED_TRACE(quarter);
    if (quarter) AdvanceLogic(250);
    SDL_FillRect(screen, NULL, 0);
    sprite.Draw();
    EXPECT_EQ(LeftEdge(52), expected[quarter]);
  }
  AdvanceLogic(250);   // the next logic frame: the fraction is back near 0, the sprite stays at 10
  SDL_FillRect(screen, NULL, 0);
  sprite.Draw();
  EXPECT_EQ(LeftEdge(52), 10);
  SDL_Rect wall = {10, 50, 1, 1};
  EXPECT_EQ(sprite.Collision(Dot(), &wall, -1, -1, 0), 1);   // -1: where it was drawn
  wall.x = 9;
  EXPECT_EQ(sprite.Collision(Dot(), &wall, -1, -1, 0), 0);
  sprite.SetPosition(30, 50, 0);
  SDL_FillRect(screen, NULL, 0);
  sprite.Draw();
  EXPECT_EQ(LeftEdge(52), 30);
}

TEST_F(DrawTest, AutoRestorePutsBackTheScreenUnderThePreviousDrawing) {
  SurfaceHolder backdrop(ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), screen->w, screen->h, 3));
  SDL_BlitSurface(backdrop.get(), NULL, screen, NULL);
  std::vector<Uint32> original = ydxtest::RowCRCs(screen);
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "ghost", 8, 6), 2);
  sprite.SetPosition(10, 10, 0);
  sprite.Draw();
  EXPECT_EQ(ColumnAt(screen, 12, 12), 0);
  sprite.SetPosition(-4, 40, 0);   // partly off the screen
  sprite.Draw();
  EXPECT_NE(ColumnAt(screen, 0, 41), -1);
  sprite.SetPosition(100, 100, 0);
  sprite.Draw();
  SDL_Rect last = {100, 100, 8, 6};
  SDL_BlitSurface(backdrop.get(), &last, screen, &last);   // hide the last drawing by hand
  EXPECT_TRUE(ydxtest::RowsMatch(screen, original));
  sprite.AutoRestore(0);
  sprite.SetPosition(10, 10, 0);
  sprite.Draw();
  sprite.SetPosition(50, 10, 0);
  sprite.Draw();
  EXPECT_EQ(ColumnAt(screen, 12, 12), 0);   // off: the old drawing stays
}

TEST_F(DrawTest, EffectResultIsCachedUntilTheNextFrameStep) {
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "fx", 8, 6), 2);
  sprite.AutoRestore(0);
  sprite.SetEffect(1, 0, 0, 0);   // flip: the frame's mark moves to its bottom-left pixel
  sprite.SetPosition(40, 40, 0);
  EXPECT_EQ(sprite.Draw(), 2);
  EXPECT_EQ(ydxtest::ColorAt(screen, 40, 45).b, 50);
  EXPECT_EQ(ydxtest::ColorAt(screen, 40, 40).b, 200);
  SDL_Surface* cached = Record(sprite)->effectcache;
  ASSERT_NE(cached, nullptr);
  sprite.SetEffect(1, 1, 5, 5);   // same effect: nothing recomputed
  ydxtest::ManualClock::Advance(50);
  sprite.Draw();
  EXPECT_EQ(Record(sprite)->effectcache, cached);
  ydxtest::ManualClock::Advance(60);
  EXPECT_EQ(sprite.Draw(), 1);
  EXPECT_EQ(ColumnAt(screen, 40, 40), 1);   // the new frame, flipped
  EXPECT_EQ(ydxtest::ColorAt(screen, 40, 45).b, 50);
  sprite.SelectFrame(3);
  sprite.Draw();
  EXPECT_EQ(ColumnAt(screen, 40, 40), 3);   // a selected frame shows at once
  // Resize by 2: the hot spot scales with the result.
  sprite.SetAnimProperties(1, 2730, 2730, 2, 3, 2730, 2730);
  sprite.SetEffect(3, 0, 2.0, 2.0);
  SDL_FillRect(screen, NULL, 0);
  sprite.Draw();
  EXPECT_EQ(LeftEdge(40), 36);
  EXPECT_EQ(ColumnAt(screen, 38, 34), 3);
  EXPECT_EQ(ColumnAt(screen, 38, 33), -1);
  SDL_Rect box = {51, 45, 1, 1};
  EXPECT_EQ(sprite.Collision(Dot(), &box, 40, 40, 0), 1);   // 36 + 16 - 1, 34 + 12 - 1
  box.x = 52;
  EXPECT_EQ(sprite.Collision(Dot(), &box, 40, 40, 0), 0);
}

TEST_F(DrawTest, SlavesDrawTheMastersPixelsWithTheirOwnFrameAndAlpha) {
  Yandorix_CSprite master, slave;
  ASSERT_EQ(master.Create(sheet.get(), "crowd", 8, 6), 2);
  ASSERT_EQ(slave.Clone(&master), 2);
  master.AutoRestore(0);
  slave.AutoRestore(0);
  slave.SelectFrame(3);
  slave.SetAlpha(128);
  master.SetPosition(0, 0, 0);
  slave.SetPosition(20, 0, 0);
  master.Draw();
  slave.Draw();
  EXPECT_EQ(ColumnAt(screen, 2, 2), 0);
  SDL_Color blended = ydxtest::ColorAt(screen, 22, 2);
  SDL_Color full = FrameColor(3, 0);
  EXPECT_NEAR(blended.r, full.r / 2, 2);   // half over black
  EXPECT_EQ(master.GetAlpha(), 255);
  master.Draw();
  EXPECT_EQ(ydxtest::ColorAt(screen, 2, 2).r, FrameColor(0, 0).r);   // the master's own alpha back on the sheet
  slave.SetEffect(2, 0, 0, 0);   // an effect result carries the slave's alpha too
  SDL_FillRect(screen, NULL, 0);
  slave.Draw();
  master.Draw();
  EXPECT_NEAR(ydxtest::ColorAt(screen, 22, 2).r, full.r / 2, 2);
  EXPECT_EQ(ydxtest::ColorAt(screen, 27, 0).b, 50 / 2);   // the mark, mirrored to the right
  EXPECT_EQ(ydxtest::ColorAt(screen, 2, 2).r, FrameColor(0, 0).r);
}

TEST_F(DrawTest, CollisionsUseTheCurrentFrameTheHotSpotAndTheMethod) {
  // Frame 0: solid left half; frame 1: solid right half; the rest keyed out.
  SurfaceHolder shapes(SDL_CreateRGBSurface(0, 16, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  Uint32 key = SDL_MapRGB(shapes->format, 255, 0, 255);
  SDL_FillRect(shapes.get(), NULL, key);
  SDL_Rect left = {0, 0, 4, 4}, right = {12, 0, 4, 4};
  SDL_FillRect(shapes.get(), &left, SDL_MapRGB(shapes->format, 1, 2, 3));
  SDL_FillRect(shapes.get(), &right, SDL_MapRGB(shapes->format, 4, 5, 6));
  SDL_SetColorKey(shapes.get(), SDL_SRCCOLORKEY, key);
  Yandorix_CSprite a, b;
  ASSERT_EQ(a.Create(shapes.get(), "a", 8, 4), 1);
  ASSERT_EQ(b.Create(shapes.get(), "b", 8, 4), 1);
  SDL_Rect at = {6, 1, 1, 1};
  EXPECT_EQ(a.Collision(Dot(), &at, 0, 0, 0), 0);   // frame 0 is empty on its right
  a.SelectFrame(1);
  EXPECT_EQ(a.Collision(Dot(), &at, 0, 0, 0), 1);
  a.SetAnimProperties(1, 2730, 2730, 2, 0, 2730, 2730);
  EXPECT_EQ(a.Collision(Dot(), &at, 0, 0, 0), 0);   // the hot spot moves the frame 2 to the left
  EXPECT_EQ(a.Collision(Dot(), &at, 2, 0, 0), 1);
  // Sprite against sprite: a's right half (x 4..7 at 0) against b's left half (x 0..3 at 5).
  EXPECT_EQ(a.Collision(&b, 2, 0, 5, 0, 0), 1);
  EXPECT_EQ(a.Collision(&b, 2, 0, 8, 0, 0), 0);
  EXPECT_EQ(a.Collision(&b, 2, 0, -4, 0, 0), 0);   // the boxes meet, the solid pixels do not
  a.SetCollisionMethod(0);   // bounding boxes only, for this sprite's calls
  EXPECT_EQ(a.Collision(&b, 2, 0, -4, 0, 0), 1);
  EXPECT_EQ(IPrimitives->GetCollisionMethod(), 1);
  a.SetCollisionMethod(-7);
  EXPECT_EQ(a.GetCollisionMethod(), -1);
  EXPECT_EQ(a.Collision(Dot(), NULL, 0, 0, 0), 0);
}

TEST_F(DrawTest, InfoDescribesTheSpriteAndEachAnimation) {
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "report", 8, 6), 2);
  sprite.SetAnimProperties(2, 4, 0x1003, 1, 2, 1, 3);
  sprite.SetAlpha(90);
  sprite.Info();
  EXPECT_TRUE(LogHas("      -> Alpha blending: per-surface (90) - Colorkey: disabled\n"));
  EXPECT_TRUE(LogHas("      -> State animation Left(4) - Type Ping-Pong\n"));
  EXPECT_TRUE(LogHas("         . HotSpot X: 1 - HotSpot Y: 2 - Start frame: 2 - End frame: 3\n"));
}
