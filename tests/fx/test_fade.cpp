// Fades on the dummy screen, timed by a clock that moves on every reading: the end picture, the areas,
// the caller's image left as it was, and the refusals.
#include "FxTest.h"

using namespace fxtest;

namespace {

class FadeTest : public FxTest {
 protected:
  void SetUp() override {
    FxTest::SetUp();
    Yandorix.colordepth = 32;
    Yandorix.resolutionx = 64;
    Yandorix.resolutiony = 48;
    ASSERT_EQ(Yandorix.SetVideoMode(), 1);
    SDL_FillRect(Yandorix.screen, NULL, SDL_MapRGB(Yandorix.screen->format, 10, 20, 30));
    SteppingClock::Install(5000);
  }
  void TearDown() override {
    Yandorix_SetClock(NULL);
    FxTest::TearDown();
  }
  Uint32 ScreenRGB(int x, int y) { return RGBOf(Yandorix.screen, x, y); }
};

}  // namespace

TEST_F(FadeTest, FadeToColorEndsOnTheColourAndTakesAboutItsTime) {
  Uint32 start = ydxtest::ManualClock::now;
  ASSERT_EQ(IScreenFX->FadeToColor(200, 0, 100, 300, NULL), 1);
  Uint32 spent = ydxtest::ManualClock::now - start;
  EXPECT_GE(spent, 250u);
  EXPECT_LE(spent, 600u);
  for (int y = 0; y < 48; y += 7)
    for (int x = 0; x < 64; x += 9) ASSERT_EQ(ScreenRGB(x, y), 0xC80064u) << x << "," << y;
}

TEST_F(FadeTest, ZeroDurationStillEndsOnTheColour) {
  ASSERT_EQ(IScreenFX->FadeToColor(0, 0, 0, 0, NULL), 1);
  EXPECT_EQ(ScreenRGB(0, 0), 0u);
  EXPECT_EQ(ScreenRGB(63, 47), 0u);
}

TEST_F(FadeTest, FadeToColorTouchesOnlyItsArea) {
  SDL_Rect area = {10, 5, 20, 8};
  ASSERT_EQ(IScreenFX->FadeToColor(255, 255, 255, 50, &area), 1);
  EXPECT_EQ(area.x, 10);
  EXPECT_EQ(area.w, 20);   // the caller's rectangle is left as given
  EXPECT_EQ(ScreenRGB(10, 5), 0xFFFFFFu);
  EXPECT_EQ(ScreenRGB(29, 12), 0xFFFFFFu);
  EXPECT_EQ(ScreenRGB(30, 12), 0x0A141Eu);
  EXPECT_EQ(ScreenRGB(9, 5), 0x0A141Eu);
  EXPECT_EQ(ScreenRGB(10, 13), 0x0A141Eu);
}

TEST_F(FadeTest, FadeToImageShowsTheImageAndRestoresItsAlpha) {
  SDL_Surface* image = Keep(Pattern(40, 30, 32));
  SDL_SetAlpha(image, SDL_SRCALPHA, 200);
  SDL_Rect area = {0, 0, 20, 10};   // smaller than the image: both areas take its size
  ASSERT_EQ(IScreenFX->FadeToImage(image, 100, &area, NULL), 1);
  EXPECT_TRUE(image->flags & SDL_SRCALPHA);
  EXPECT_EQ(image->format->alpha, 200);
  EXPECT_EQ(ScreenRGB(0, 0), RGBOf(image, 0, 0));
  EXPECT_EQ(ScreenRGB(19, 9), RGBOf(image, 19, 9));
  EXPECT_EQ(ScreenRGB(20, 9), 0x0A141Eu);
  EXPECT_EQ(ScreenRGB(0, 10), 0x0A141Eu);

  SDL_Surface* plain = Keep(Pattern(40, 30, 32));
  SDL_Rect part = {10, 10, 20, 10};   // no screen area: the screen area takes the image area's size
  ASSERT_EQ(IScreenFX->FadeToImage(plain, 100, NULL, &part), 1);
  EXPECT_FALSE(plain->flags & SDL_SRCALPHA);
  EXPECT_EQ(ScreenRGB(0, 0), RGBOf(plain, 10, 10));
  EXPECT_EQ(ScreenRGB(19, 9), RGBOf(plain, 29, 19));
}

TEST_F(FadeTest, FadesRefuseWhatTheyCannotShow) {
  SDL_Surface* perpixel = Keep(NewSurface(8, 8, 33));
  EXPECT_EQ(IScreenFX->FadeToImage(perpixel, 100, NULL, NULL), 0);
  EXPECT_EQ(IScreenFX->FadeToImage(NULL, 100, NULL, NULL), 0);
  EXPECT_EQ(IScreenFX->FadeToImage(Yandorix.screen, 100, NULL, NULL), 0);
  SDL_Rect empty = {5, 5, 0, 10};
  EXPECT_EQ(IScreenFX->FadeToColor(1, 2, 3, 10, &empty), 0);
  EXPECT_EQ(ScreenRGB(5, 5), 0x0A141Eu);
  EXPECT_TRUE(LogHas(" . [IScreenFX->FadeToImage()] Error: an image with per-pixel alpha cannot be faded in.\n"));
  Yandorix.screen = NULL;
  EXPECT_EQ(IScreenFX->FadeToColor(1, 2, 3, 10, NULL), 0);
  EXPECT_TRUE(LogHas(" . [IScreenFX->FadeToColor()] Error: there is no screen.\n"));
}
