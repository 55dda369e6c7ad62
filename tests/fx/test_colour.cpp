// In-place colour effects: gamma identity and saturation, noise invariants and determinism, the causal
// blur on a hand-worked example and a gradient, and their refusals.
#include "FxTest.h"
#include <cstdlib>

using namespace fxtest;

namespace {

Uint8 Red(const SDL_Surface* s, int x, int y) { return (Uint8)(RGBOf(s, x, y) >> 16); }

}  // namespace

TEST_F(FxTest, GammaIdentityChangesNoBitInAnyFormat) {
  for (int kind : {8, 16, 24, 32, 33}) {
    SCOPED_TRACE(kind);
    SDL_Surface* s = Keep(Pattern(17, 9, kind));
    std::vector<Uint32> before = RowCRCs(s);
    ASSERT_EQ(IScreenFX->GammaCorrect(s, 100, 100, 100), 1);
    EXPECT_EQ(RowCRCs(s), before);   // alpha bits included
  }
}

TEST_F(FxTest, GammaMovesMiddleTonesAndSaturates) {
  for (int kind : {32, 16}) {
    SCOPED_TRACE(kind);
    SDL_Surface* s = Keep(NewSurface(3, 1, kind));
    Put(s, 0, 0, SDL_MapRGB(s->format, 150, 100, 60));
    Put(s, 1, 0, SDL_MapRGB(s->format, 60, 200, 255));
    Put(s, 2, 0, SDL_MapRGB(s->format, 179, 71, 120));
    Uint32 stored0 = RGBOf(s, 0, 0), stored1 = RGBOf(s, 1, 0);
    ASSERT_EQ(IScreenFX->GammaCorrect(s, 200, 50, 100), 1);
    Uint8 r, g, b;
    SDL_GetRGB(Get(s, 0, 0), s->format, &r, &g, &b);
    EXPECT_EQ(r, 255);   // 300 saturates instead of wrapping to 44
    EXPECT_NEAR(g, 50, kind == 16 ? 4 : 0);
    EXPECT_EQ(b, stored0 & 255);   // below 71: stays
    EXPECT_EQ(RGBOf(s, 1, 0), stored1);   // 60, 200 and 255 lie outside 71..179
    if (kind == 32) {
      EXPECT_EQ(RGBOf(s, 2, 0), 0xFF2378u);   // 358 -> 255, 71 * 50 / 100 = 35, 120
    }
  }
}

TEST_F(FxTest, GammaKeepsPerPixelAlpha) {
  SDL_Surface* s = Keep(NewSurface(2, 1, 33));
  Put(s, 0, 0, SDL_MapRGBA(s->format, 100, 100, 100, 0));
  Put(s, 1, 0, SDL_MapRGBA(s->format, 100, 100, 100, 77));
  ASSERT_EQ(IScreenFX->GammaCorrect(s, 150, 150, 150), 1);
  EXPECT_EQ(Get(s, 0, 0), SDL_MapRGBA(s->format, 150, 150, 150, 0));
  EXPECT_EQ(Get(s, 1, 0), SDL_MapRGBA(s->format, 150, 150, 150, 77));
}

TEST_F(FxTest, NoiseStaysInItsBandAndRepeatsUnderTheSameSeed) {
  for (int kind : {32, 16}) {
    SCOPED_TRACE(kind);
    SDL_Surface* original = Keep(Pattern(40, 30, kind));
    SDL_Surface* first = Keep(Pattern(40, 30, kind));
    SDL_Surface* second = Keep(Pattern(40, 30, kind));
    const int amount = 40;
    srand(1234);
    ASSERT_EQ(IScreenFX->Noise(first, amount), 1);
    srand(1234);
    ASSERT_EQ(IScreenFX->Noise(second, amount), 1);
    EXPECT_EQ(RowCRCs(first), RowCRCs(second));
    EXPECT_NE(RowCRCs(first), RowCRCs(original));
    int quantum = kind == 16 ? 8 : 0;   // 5- and 6-bit channels store in steps
    for (int y = 0; y < 30; y++)
      for (int x = 0; x < 40; x++) {
        Uint32 before = RGBOf(original, x, y), after = RGBOf(first, x, y);
        for (int shift = 0; shift < 24; shift += 8) {
          int b = (before >> shift) & 255, a = (after >> shift) & 255;
          if (b < 31 || b > 219) {
            ASSERT_EQ(a, b) << x << "," << y;
          } else {
            ASSERT_GE(a, std::max(0, b - amount / 2 - quantum));
            ASSERT_LE(a, std::min(255, b + amount - 1 - amount / 2 + quantum));
          }
        }
      }
  }
}

TEST_F(FxTest, NoiseAmountZeroAndRefusals) {
  SDL_Surface* s = Keep(Pattern(8, 8, 32));
  std::vector<Uint32> before = RowCRCs(s);
  EXPECT_EQ(IScreenFX->Noise(s, 0), 1);
  EXPECT_EQ(IScreenFX->Noise(s, 101), 0);
  EXPECT_EQ(IScreenFX->Noise(s, -1), 0);
  EXPECT_EQ(IScreenFX->Blur(s, -1), 0);
  EXPECT_EQ(IScreenFX->Blur(s, 101), 0);
  EXPECT_EQ(IScreenFX->Blur(s, 0), 1);
  EXPECT_EQ(IScreenFX->GammaCorrect(s, 256, 100, 100), 0);
  EXPECT_EQ(IScreenFX->GammaCorrect(s, 100, -1, 100), 0);
  EXPECT_EQ(RowCRCs(s), before);
  EXPECT_EQ(IScreenFX->Noise(NULL, 10), 0);
  EXPECT_EQ(IScreenFX->Blur(NULL, 10), 0);
  EXPECT_EQ(IScreenFX->GammaCorrect(NULL, 1, 1, 1), 0);
  EXPECT_TRUE(LogHas(" . [IScreenFX->Noise()] Error: 101 is outside 0..100.\n"));
  EXPECT_TRUE(LogHas(" . [IScreenFX->Blur()] Error: the surface is NULL.\n"));
}

// Worked by hand: red channel 0, 80 / 160, 240 at amount 80 (centre 20 %, each neighbour 10 %),
// pixels above and to the left read already blurred.
TEST_F(FxTest, BlurReadsBlurredPixelsAboveAndLeft) {
  for (int kind : {32, 24}) {
    SCOPED_TRACE(kind);
    SDL_Surface* s = Keep(NewSurface(2, 2, kind));
    Put(s, 0, 0, SDL_MapRGB(s->format, 0, 0, 0));
    Put(s, 1, 0, SDL_MapRGB(s->format, 80, 0, 0));
    Put(s, 0, 1, SDL_MapRGB(s->format, 160, 0, 0));
    Put(s, 1, 1, SDL_MapRGB(s->format, 240, 0, 0));
    ASSERT_EQ(IScreenFX->Blur(s, 80), 1);
    EXPECT_EQ(Red(s, 0, 0), 72);
    EXPECT_EQ(Red(s, 1, 0), 118);
    EXPECT_EQ(Red(s, 0, 1), 153);
    EXPECT_EQ(Red(s, 1, 1), 179);
  }
}

// The same rules read straight off the surface, one pixel at a time.
static void BlurByHand(SDL_Surface* s, int amount) {
  auto at = [s](int x, int y) {
    x = x < 0 ? 0 : x >= s->w ? s->w - 1 : x;
    y = y < 0 ? 0 : y >= s->h ? s->h - 1 : y;
    return RGBOf(s, x, y);
  };
  for (int y = 0; y < s->h; y++)
    for (int x = 0; x < s->w; x++) {
      int out[3];
      for (int c = 0; c < 3; c++) {
        int shift = 16 - 8 * c, sum = ((at(x, y) >> shift) & 255) * (100 - amount) / 100;
        for (int dy = -1; dy <= 1; dy++)
          for (int dx = -1; dx <= 1; dx++)
            if (dx || dy) sum += (amount / 8) * (int)((at(x + dx, y + dy) >> shift) & 255) / 100;
        out[c] = sum & 255;
      }
      Put(s, x, y, SDL_MapRGB(s->format, out[0], out[1], out[2]));
    }
}

TEST_F(FxTest, BlurOfAGradientMatchesThePixelByPixelRule) {
  struct Case {
    int w, h, kind;
  } cases[] = {{23, 11, 32}, {23, 11, 16}, {23, 11, 8}, {5, 1, 32}, {1, 5, 32}, {1, 1, 24}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << "x" << c.kind);
    SDL_Surface* s = Keep(NewSurface(c.w, c.h, c.kind));
    SDL_Surface* expected = Keep(NewSurface(c.w, c.h, c.kind));
    for (int y = 0; y < c.h; y++)
      for (int x = 0; x < c.w; x++) {
        Uint32 v = SDL_MapRGB(s->format, x * 11, y * 23, (x * y * 5 + 90) & 255);
        Put(s, x, y, v);
        Put(expected, x, y, v);
      }
    ASSERT_EQ(IScreenFX->Blur(s, 64), 1);
    BlurByHand(expected, 64);
    EXPECT_EQ(RowCRCs(s), RowCRCs(expected));
  }
}
