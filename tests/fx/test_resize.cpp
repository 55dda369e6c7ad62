// Resize and rotation: sizes, factors, mirroring, nearest and bilinear goldens, the 32-bit working copy
// of other depths, exact quarter turns at 8 and 32 bits, the rotation transform, drawing centred into
// a destination, and refusals of sizes SDL cannot make and of non-finite input.
#include "FxTest.h"
#include <climits>
#include <cmath>

using namespace fxtest;

namespace {

// The resampling rule written out per pixel: result pixel i samples i * step in 16.16.
Uint32 NearestByHand(const SDL_Surface* s, int i, int k, int w, int h) {
  long long sx = (long long)s->w * 65536 / w, sy = (long long)s->h * 65536 / h;
  return Get(s, (int)(i * sx >> 16), (int)(k * sy >> 16));
}

Uint32 Lerp(Uint32 a, Uint32 b, int f) {
  Uint32 out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int x = (a >> shift) & 255, y = (b >> shift) & 255;
    out |= (Uint32)((x + (((y - x) * f) >> 16)) & 255) << shift;
  }
  return out;
}

Uint32 BilinearByHand(const SDL_Surface* s, int i, int k, int w, int h) {
  long long sx = (long long)(s->w - 1) * 65536 / w, sy = (long long)(s->h - 1) * 65536 / h;
  long long px = i * sx, py = k * sy;
  int x0 = (int)(px >> 16), y0 = (int)(py >> 16);
  int x1 = std::min(x0 + 1, s->w - 1), y1 = std::min(y0 + 1, s->h - 1);
  int fx = (int)(px & 0xFFFF), fy = (int)(py & 0xFFFF);
  return Lerp(Lerp(Get(s, x0, y0), Get(s, x1, y0), fx), Lerp(Get(s, x0, y1), Get(s, x1, y1), fx), fy);
}

SDL_Surface* Row(std::initializer_list<Uint32> pixels, int kind = 32) {
  SDL_Surface* s = NewSurface((int)pixels.size(), 1, kind);
  int x = 0;
  for (Uint32 p : pixels) Put(s, x++, 0, p);
  return s;
}

}  // namespace

TEST_F(FxTest, ResizeBySizeMirrorsFlipsAndNeverGoesBelowOnePixel) {
  SDL_Surface* src = Keep(Pattern(9, 6, 32));
  SDL_Surface* mirrored = Keep(IScreenFX->Resize(src, NULL, 0, -9, 6, NULL, NULL));
  SDL_Surface* expected = Keep(IScreenFX->Mirror(src, NULL, NULL, NULL));
  ASSERT_TRUE(mirrored && expected);
  EXPECT_EQ(RowCRCs(mirrored), RowCRCs(expected));
  SDL_Surface* flipped = Keep(IScreenFX->Resize(src, NULL, 0, 9, -6, NULL, NULL));
  SDL_Surface* expectedFlip = Keep(IScreenFX->Flip(src, NULL, NULL, NULL));
  EXPECT_EQ(RowCRCs(flipped), RowCRCs(expectedFlip));
  SDL_Surface* dot = Keep(IScreenFX->Resize(src, NULL, 0, 0, 0, NULL, NULL));
  ASSERT_NE(dot, nullptr);
  EXPECT_EQ(dot->w, 1);
  EXPECT_EQ(dot->h, 1);
  EXPECT_EQ(Get(dot, 0, 0), Get(src, 0, 0));
}

TEST_F(FxTest, ResizeByFactors) {
  SDL_Surface* src = Keep(Pattern(3, 3, 8));
  SDL_Surface* half = Keep(IScreenFX->Resize(src, NULL, 0, 0.5, 0.5, NULL, NULL));
  ASSERT_NE(half, nullptr);
  EXPECT_EQ(half->w, 1);   // trunc(1.5)
  EXPECT_EQ(half->h, 1);
  SDL_Surface* wide = Keep(Pattern(10, 4, 32));
  SDL_SetColorKey(wide, SDL_SRCCOLORKEY, 0x123456);
  SDL_Surface* turned = Keep(IScreenFX->Resize(wide, NULL, 0, -1.0, -0.5, NULL, NULL));
  ASSERT_NE(turned, nullptr);
  EXPECT_EQ(turned->w, 10);
  EXPECT_EQ(turned->h, 2);
  EXPECT_EQ(Get(turned, 0, 0), Get(wide, 9, 3));   // mirrored and flipped: starts at the far corner
  EXPECT_EQ(Get(turned, 9, 1), Get(wide, 0, 1));
  EXPECT_TRUE(turned->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(turned->format->colorkey, 0x123456u);
}

TEST_F(FxTest, NearestGoldensUpAndDown) {
  SDL_Surface* tiny = Keep(NewSurface(2, 2, 32));
  Put(tiny, 0, 0, 0xA), Put(tiny, 1, 0, 0xB), Put(tiny, 0, 1, 0xC), Put(tiny, 1, 1, 0xD);
  SDL_Surface* up = Keep(IScreenFX->Resize(tiny, NULL, 0, 4, 4, NULL, NULL));
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(Get(up, 1, 1), 0xAu);
  EXPECT_EQ(Get(up, 2, 1), 0xBu);
  EXPECT_EQ(Get(up, 1, 2), 0xCu);
  EXPECT_EQ(Get(up, 3, 3), 0xDu);
  for (int kind : {32, 8}) {
    SCOPED_TRACE(kind);
    SDL_Surface* src = Keep(Pattern(37, 23, kind));
    for (auto size : {std::pair<int, int>{50, 31}, {17, 9}, {37, 1}}) {
      int mode = kind == 8 ? 1 : 0;   // 8 bits resample nearest whatever the mode asks
      SDL_Surface* out = Keep(IScreenFX->Resize(src, NULL, mode, size.first, size.second, NULL, NULL));
      ASSERT_NE(out, nullptr);
      SDL_Surface* expected = Keep(NewSurface(size.first, size.second, kind));
      for (int k = 0; k < size.second; k++)
        for (int i = 0; i < size.first; i++) Put(expected, i, k, NearestByHand(src, i, k, size.first, size.second));
      EXPECT_EQ(RowCRCs(out), RowCRCs(expected));
    }
  }
}

TEST_F(FxTest, BilinearGoldensClampAndHonourMirroring) {
  SDL_Surface* pair = Keep(Row({0x00000000, 0xC8C8C8C8}));
  SDL_Surface* out = Keep(IScreenFX->Resize(pair, NULL, 1, 4, 1, NULL, NULL));
  ASSERT_NE(out, nullptr);
  // Steps of a quarter: 0, 50, 100, 150 in every channel, alpha included; one row: no row below.
  EXPECT_EQ(Get(out, 0, 0), 0x00000000u);
  EXPECT_EQ(Get(out, 1, 0), 0x32323232u);
  EXPECT_EQ(Get(out, 2, 0), 0x64646464u);
  EXPECT_EQ(Get(out, 3, 0), 0x96969696u);
  SDL_Surface* mirrored = Keep(IScreenFX->Resize(pair, NULL, 1, -4, 1, NULL, NULL));
  EXPECT_EQ(Get(mirrored, 0, 0), 0xC8C8C8C8u);
  EXPECT_EQ(Get(mirrored, 1, 0), 0x96969696u);
  EXPECT_EQ(Get(mirrored, 3, 0), 0x32323232u);
  SDL_Surface* column = Keep(NewSurface(1, 3, 32));
  Put(column, 0, 0, 0x10), Put(column, 0, 1, 0x20), Put(column, 0, 2, 0x30);
  SDL_Surface* wide = Keep(IScreenFX->Resize(column, NULL, 1, 3, 2, NULL, NULL));
  ASSERT_NE(wide, nullptr);   // one pixel wide: the right neighbour is the pixel itself
  EXPECT_EQ(Get(wide, 2, 0), 0x10u);
  EXPECT_EQ(Get(wide, 2, 1), 0x20u);   // (3 - 1) / 2 rows down

  SDL_Surface* src = Keep(Pattern(37, 23, 33));
  for (auto size : {std::pair<int, int>{80, 45}, {20, 11}}) {
    SDL_Surface* scaled = Keep(IScreenFX->Resize(src, NULL, 1, size.first, size.second, NULL, NULL));
    SDL_Surface* expected = Keep(NewSurface(size.first, size.second, 33));
    for (int k = 0; k < size.second; k++)
      for (int i = 0; i < size.first; i++) Put(expected, i, k, BilinearByHand(src, i, k, size.first, size.second));
    EXPECT_EQ(RowCRCs(scaled), RowCRCs(expected));
  }
}

TEST_F(FxTest, OtherDepthsAreCopiedWithoutTheirKeyOrAlphaGettingInTheWay) {
  SDL_Surface* src = Keep(NewSurface(4, 1, 16));
  Uint32 key = SDL_MapRGB(src->format, 255, 0, 255);
  Put(src, 0, 0, key), Put(src, 1, 0, SDL_MapRGB(src->format, 255, 255, 255));
  Put(src, 2, 0, SDL_MapRGB(src->format, 0, 255, 0)), Put(src, 3, 0, key);
  SDL_SetColorKey(src, SDL_SRCCOLORKEY, key);
  SDL_SetAlpha(src, SDL_SRCALPHA, 100);
  // The same pixels copied plainly: what SDL's 16 to 32-bit blits make of them (each set of masks
  // has its own blitter, and they widen channels differently).
  SDL_Surface* plain = Keep(NewSurface(4, 1, 16));
  SDL_Surface* widened = Keep(SDL_CreateRGBSurface(0, 4, 1, 32, 0xFF, 0xFF00, 0xFF0000, 0));
  SDL_Surface* widenedDefault = Keep(SDL_CreateRGBSurface(0, 4, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  for (int x = 0; x < 4; x++) Put(plain, x, 0, Get(src, x, 0));
  SDL_BlitSurface(plain, NULL, widened, NULL);
  SDL_BlitSurface(plain, NULL, widenedDefault, NULL);

  SDL_Surface* out = Keep(IScreenFX->Resize(src, NULL, 0, 8, 2, NULL, NULL));
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->format->BitsPerPixel, 32);
  EXPECT_TRUE(out->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(Get(out, 0, 0), Get(widened, 0, 0));   // keyed pixels keep the key colour, not black
  EXPECT_EQ(out->format->colorkey, Get(out, 0, 0));   // and the key matches them
  EXPECT_EQ(Get(out, 2, 1), Get(widened, 1, 0));   // colours not darkened by the source's alpha
  EXPECT_TRUE(out->flags & SDL_SRCALPHA);
  EXPECT_EQ(out->format->alpha, 100);
  // The caller's surface is left as it was.
  EXPECT_EQ(src->format->colorkey, key);
  EXPECT_TRUE(src->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(src->format->alpha, 100);

  SDL_Surface* turned = Keep(IScreenFX->Rotate(src, NULL, 0, 90.0, NULL, NULL));
  ASSERT_NE(turned, nullptr);
  EXPECT_EQ(turned->format->colorkey, Get(turned, 0, 0));
  EXPECT_EQ(Get(turned, 0, 2), Get(widenedDefault, 2, 0));
}

TEST_F(FxTest, QuarterTurnsAreExactAtEightAndThirtyTwoBits) {
  for (int kind : {32, 8}) {
    SCOPED_TRACE(kind);
    SDL_Surface* src = Keep(Pattern(4, 2, kind));
    SDL_Surface* right = Keep(IScreenFX->Rotate(src, NULL, 0, 90.0, NULL, NULL));
    SDL_Surface* left = Keep(IScreenFX->Rotate(src, NULL, 0, -90.0, NULL, NULL));
    SDL_Surface* threeQuarters = Keep(IScreenFX->Rotate(src, NULL, 0, 270.0, NULL, NULL));
    SDL_Surface* half = Keep(IScreenFX->Rotate(src, NULL, 0, 180.0, NULL, NULL));
    SDL_Surface* whole = Keep(IScreenFX->RotateResize(src, NULL, 1, 720.0, 1.0, NULL, NULL));
    ASSERT_TRUE(right && left && threeQuarters && half && whole);
    ASSERT_EQ(right->w, 2);
    ASSERT_EQ(right->h, 4);
    ASSERT_EQ(half->w, 4);
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 4; x++) {
        Uint32 p = Get(src, x, y);
        ASSERT_EQ(Get(right, 1 - y, x), p);
        ASSERT_EQ(Get(left, y, 3 - x), p);
        ASSERT_EQ(Get(half, 3 - x, 1 - y), p);
        ASSERT_EQ(Get(whole, x, y), p);
      }
    EXPECT_EQ(Get(right, 1, 0), Get(src, 0, 0));   // the top-left goes to the top-right
    EXPECT_EQ(Get(left, 0, 3), Get(src, 0, 0));    // and to the bottom-left when turned back
    EXPECT_EQ(RowCRCs(left), RowCRCs(threeQuarters));
  }
}

TEST_F(FxTest, RotationSizeCornersAndTinyAngles) {
  SDL_Surface* src = Keep(NewSurface(10, 10, 32));
  SDL_FillRect(src, NULL, 0x336699);
  SDL_Surface* turned = Keep(IScreenFX->Rotate(src, NULL, 0, 45.0, NULL, NULL));
  ASSERT_NE(turned, nullptr);
  EXPECT_EQ(turned->w, 15);
  EXPECT_EQ(turned->h, 15);
  EXPECT_TRUE(turned->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(turned->format->colorkey, 0x00FF00FFu);
  EXPECT_EQ(Get(turned, 0, 0), 0x00FF00FFu);   // corners outside the turned image hold the key
  EXPECT_EQ(Get(turned, 7, 7), 0x336699u);
  SDL_Surface* smooth = Keep(IScreenFX->Rotate(src, NULL, 1, 45.0, NULL, NULL));
  EXPECT_EQ(Get(smooth, 7, 7), 0x336699u);

  SDL_Surface* pattern = Keep(Pattern(7, 5, 32));
  SDL_Surface* almost = Keep(IScreenFX->RotateResize(pattern, NULL, 0, 0.0005, 2.0, NULL, NULL));
  SDL_Surface* resized = Keep(IScreenFX->Resize(pattern, NULL, 0, 2.0, 2.0, NULL, NULL));
  ASSERT_TRUE(almost && resized);
  EXPECT_EQ(RowCRCs(almost), RowCRCs(resized));
}

// Nearest rotation of an 8-bit surface and of its 32-bit twin pick the same source pixels.
TEST_F(FxTest, RotationTransformAgreesAcrossDepthsAndStaysInside) {
  SDL_Surface* indexed = Keep(NewSurface(13, 9, 8));
  SDL_Surface* wide = Keep(NewSurface(13, 9, 32));
  for (int y = 0; y < 9; y++)
    for (int x = 0; x < 13; x++) Put(indexed, x, y, (x * 9 + y) % 250), Put(wide, x, y, (x * 9 + y) % 250);
  for (double angle : {30.0, -75.5, 200.0}) {
    SCOPED_TRACE(angle);
    SDL_Surface* a = Keep(IScreenFX->RotateResize(indexed, NULL, 0, angle, 1.5, NULL, NULL));
    SDL_Surface* b = Keep(IScreenFX->RotateResize(wide, NULL, 0, angle, 1.5, NULL, NULL));
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->w, b->w);
    ASSERT_EQ(a->h, b->h);
    for (int y = 0; y < a->h; y++)
      for (int x = 0; x < a->w; x++) {
        Uint32 pb = Get(b, x, y);
        ASSERT_EQ(Get(a, x, y), pb == 0x00FF00FF ? 0xFFu : pb) << x << "," << y;
      }
    SDL_Surface* smooth = Keep(IScreenFX->RotateResize(wide, NULL, 1, angle, 0.7, NULL, NULL));
    ASSERT_NE(smooth, nullptr);
  }
  SDL_Surface* dot = Keep(NewSurface(1, 1, 32));
  Put(dot, 0, 0, 0x445566);
  SDL_Surface* spun = Keep(IScreenFX->RotateResize(dot, NULL, 1, 30.0, 3.0, NULL, NULL));
  ASSERT_NE(spun, nullptr);   // bilinear on a single pixel reads nothing outside it
  EXPECT_EQ(Get(spun, spun->w / 2, spun->h / 2), 0x445566u);
}

TEST_F(FxTest, ResultsAreDrawnCentredIntoADestination) {
  SDL_Surface* src = Keep(NewSurface(100, 100, 32));
  SDL_FillRect(src, NULL, 0xFFFFFF);
  SDL_Surface* dst = Keep(NewSurface(120, 120, 32));
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, 50, 50, dst, NULL), dst);
  EXPECT_EQ(Get(dst, 24, 24), 0u);
  EXPECT_EQ(Get(dst, 25, 25), 0xFFFFFFu);
  EXPECT_EQ(Get(dst, 74, 74), 0xFFFFFFu);
  EXPECT_EQ(Get(dst, 75, 75), 0u);
  SDL_FillRect(dst, NULL, 0);
  SDL_Rect at = {10, 10, 0, 0};
  SDL_Surface* bar = Keep(NewSurface(20, 4, 32));
  SDL_FillRect(bar, NULL, 0xFFFFFF);
  EXPECT_EQ(IScreenFX->Rotate(bar, NULL, 0, 90.0, dst, &at), dst);   // 4 x 20 centred on the 20 x 4 area
  EXPECT_EQ(Get(dst, 18, 2), 0xFFFFFFu);
  EXPECT_EQ(Get(dst, 21, 21), 0xFFFFFFu);
  EXPECT_EQ(Get(dst, 17, 2), 0u);
  EXPECT_EQ(Get(dst, 22, 2), 0u);
  EXPECT_EQ(at.x, 10);
}

TEST_F(FxTest, ResizeAndRotationRefuseWhatSDLCannotMake) {
  SDL_Surface* src = Keep(Pattern(8, 8, 32));
  const double nan = std::nan(""), inf = INFINITY;
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, 20000, 1, NULL, NULL), nullptr);
  EXPECT_TRUE(LogHas(" . [IScreenFX->Resize()] Error: a 20000x1 surface of 32 bits is beyond what SDL can create.\n"));
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, INT_MIN, INT_MIN, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, 16000, 60000, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, 1e12, 1.0, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, nan, 1.0, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, 1.0, -inf, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->RotateResize(src, NULL, 0, nan, 1.0, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->RotateResize(src, NULL, 0, 30.0, inf, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->RotateResize(src, NULL, 0, 30.0, 1e9, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Rotate(NULL, NULL, 0, 30.0, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Resize(src, NULL, 0, 2, 2, src, NULL), nullptr);
  SDL_Rect outside = {8, 8, 4, 4};
  EXPECT_EQ(IScreenFX->Rotate(src, &outside, 0, 30.0, NULL, NULL), nullptr);
  EXPECT_TRUE(LogHas(" . [IScreenFX->RotateResize()] Error: the angle, zoom or factors must be finite numbers.\n"));
  // The smallest zoom still makes a picture.
  SDL_Surface* speck = Keep(IScreenFX->RotateResize(src, NULL, 0, 30.0, 0.0, NULL, NULL));
  ASSERT_NE(speck, nullptr);
  EXPECT_EQ(speck->w, 1);
}

// A tall area shrunk to one row: its 16.16 step no longer fits 32 bits.
TEST_F(FxTest, TinyFactorsOnLargeAreasStayExact) {
  SDL_Surface* tall = Keep(NewSurface(1, 40000, 8));
  for (int y = 0; y < 40000; y++) Put(tall, 0, y, y & 255);
  SDL_Surface* out = Keep(IScreenFX->Resize(tall, NULL, 0, 1.0, 0.00001, NULL, NULL));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->h, 1);
  EXPECT_EQ(Get(out, 0, 0), 0u);
  SDL_Surface* two = Keep(IScreenFX->Resize(tall, NULL, 0, 1, 2, NULL, NULL));
  EXPECT_EQ(Get(two, 0, 1), (Uint32)(20000 & 255));
}
