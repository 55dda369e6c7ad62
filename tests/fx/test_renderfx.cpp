// RenderFX: the colour maps at 16 and 32 bits (written in the destination's format), the wave and the
// mosaic at known counter values (the counter starts at 100 in every test process), smear, tints.
#include "FxTest.h"
#include <cstdlib>

using namespace fxtest;

namespace {

Uint32 RGB24(int r, int g, int b) { return (Uint32)r << 16 | (Uint32)g << 8 | (Uint32)b; }

// What the destination holds for a colour after storing it in its own format.
Uint32 Stored(const SDL_Surface* dst, Uint32 rgb) {
  Uint32 pixel = SDL_MapRGB(dst->format, (rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255);
  Uint8 r, g, b;
  SDL_GetRGB(pixel, dst->format, &r, &g, &b);
  return RGB24(r, g, b);
}

// Runs one effect over a row of colours and returns the destination's colours.
std::vector<Uint32> RunFX(FxTest* t, int type, const std::vector<Uint32>& colours, int dstkind) {
  SDL_Surface* src = t->Keep(NewSurface((int)colours.size(), 1, 32));
  SDL_Surface* dst = t->Keep(NewSurface((int)colours.size(), 1, dstkind));
  for (size_t i = 0; i < colours.size(); i++) Put(src, (int)i, 0, colours[i]);
  IScreenFX->RenderFX(src, dst, type);
  std::vector<Uint32> out;
  for (size_t i = 0; i < colours.size(); i++) out.push_back(RGBOf(dst, (int)i, 0));
  return out;
}

void AdvanceCounter(int calls) {
  SDL_Surface* a = NewSurface(1, 1, 32);
  SDL_Surface* b = NewSurface(1, 1, 32);
  for (int i = 0; i < calls; i++) IScreenFX->RenderFX(a, b, i % 2 ? 13 : 0);
  SDL_FreeSurface(a);
  SDL_FreeSurface(b);
}

}  // namespace

TEST_F(FxTest, RenderFXColourMapsInTheDestinationsFormat) {
  for (int kind : {32, 16}) {
    SCOPED_TRACE(kind);
    SDL_Surface* probe = Keep(NewSurface(1, 1, kind));
    auto in = [&](Uint32 rgb) { return Stored(probe, rgb); };
    EXPECT_EQ(RunFX(this, 1, {RGB24(100, 200, 255)}, kind), std::vector<Uint32>{in(RGB24(85, 170, 255))});
    EXPECT_EQ(RunFX(this, 6, {RGB24(0, 128, 255)}, kind), std::vector<Uint32>{in(RGB24(255, 127, 0))});
    EXPECT_EQ(RunFX(this, 7, {RGB24(10, 20, 33)}, kind), std::vector<Uint32>{in(RGB24(21, 21, 21))});
    EXPECT_EQ(RunFX(this, 8, {RGB24(255, 255, 255)}, kind), std::vector<Uint32>{in(RGB24(78, 78, 78))});
    EXPECT_EQ(RunFX(this, 9, {RGB24(128, 128, 127), RGB24(128, 128, 128)}, kind),
              (std::vector<Uint32>{0, in(0xFFFFFF)}));
    // Stripes by (x + y) % 3: green and blue, red and blue, red and green halved.
    EXPECT_EQ(RunFX(this, 4, {RGB24(200, 100, 50), RGB24(200, 100, 50), RGB24(200, 100, 50)}, kind),
              (std::vector<Uint32>{in(RGB24(200, 50, 25)), in(RGB24(100, 100, 25)), in(RGB24(100, 50, 50))}));
  }
}

TEST_F(FxTest, RenderFXReadsASixteenBitSourceAndStaysInsideBothSurfaces) {
  SDL_Surface* src = Keep(NewSurface(6, 4, 16));
  SDL_FillRect(src, NULL, SDL_MapRGB(src->format, 255, 0, 255));
  SDL_Surface* small = Keep(NewSurface(3, 2, 32));
  SDL_Surface* large = Keep(NewSurface(8, 8, 32));
  SDL_FillRect(large, NULL, 0x123456);
  IScreenFX->RenderFX(src, small, 6);   // the destination is smaller: clipped, never overrun
  IScreenFX->RenderFX(src, large, 6);
  EXPECT_EQ(RGBOf(small, 2, 1), 0x00FF00u);
  EXPECT_EQ(RGBOf(large, 5, 3), 0x00FF00u);
  EXPECT_EQ(RGBOf(large, 6, 3), 0x123456u);
  EXPECT_EQ(RGBOf(large, 0, 4), 0x123456u);
}

TEST_F(FxTest, RenderFXWaveShiftsRowsByTheCounter) {
  SDL_Surface* src = Keep(Pattern(30, 2, 32));
  SDL_Surface* dst = Keep(NewSurface(40, 2, 32));
  IScreenFX->RenderFX(src, dst, 2);   // counter 100: rows at 800 and 802 degrees
  EXPECT_EQ(Get(dst, 3, 0), Get(src, 0, 0));   // 20 cos 80 degrees = 3.47
  EXPECT_EQ(Get(dst, 2, 1), Get(src, 0, 1));   // 20 cos 82 degrees = 2.78
  EXPECT_EQ(Get(dst, 32, 0), Get(src, 29, 0));
  IScreenFX->RenderFX(src, src, 2);
  IScreenFX->RenderFX(NULL, dst, 1);
  EXPECT_TRUE(LogHas(" . [IScreenFX->RenderFX()] Error: the wave needs a destination other than its source.\n"));
  EXPECT_TRUE(LogHas(" . [IScreenFX->RenderFX()] Error: the source or the destination surface is NULL.\n"));
}

TEST_F(FxTest, RenderFXMosaicFollowsTheCounter) {
  SDL_Surface* src = Keep(Pattern(7, 5, 32));
  SDL_Surface* dst = Keep(NewSurface(7, 5, 32));
  AdvanceCounter(60);   // types 0 and 13 only move the counter: 100 -> 160
  EXPECT_EQ(RowCRCs(dst), RowCRCs(Keep(NewSurface(7, 5, 32))));
  IScreenFX->RenderFX(src, dst, 3);   // counter 160: squares of 1, a plain copy
  EXPECT_EQ(RowCRCs(dst), RowCRCs(src));
  AdvanceCounter(3);
  SDL_FillRect(dst, NULL, 0);
  IScreenFX->RenderFX(src, dst, 3);   // counter 164: squares of 2
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 7; x++) ASSERT_EQ(RGBOf(dst, x, y), RGBOf(src, x / 2 * 2, y / 2 * 2)) << x << "," << y;
  AdvanceCounter(35);
  IScreenFX->RenderFX(src, dst, 3);   // counter 200: k = 50, the shrinking half gives 11 - 0 = 11
  EXPECT_EQ(RGBOf(dst, 6, 4), RGBOf(src, 0, 0));
}

TEST_F(FxTest, RenderFXSmearAveragesFourPixelsAndShiftsTheRow) {
  for (int kind : {32, 16}) {
    SCOPED_TRACE(kind);
    SDL_Surface* src = Keep(NewSurface(8, 1, 32));
    SDL_Surface* dst = Keep(NewSurface(8, 1, kind));
    for (int x = 0; x < 8; x++) Put(src, x, 0, RGB24(x * 20, 200 - x * 10, 7 * x));
    Uint32 marker = SDL_MapRGB(dst->format, 8, 16, 24);
    SDL_FillRect(dst, NULL, marker);
    srand(99);
    int shift = rand() % 4;
    srand(99);
    IScreenFX->RenderFX(src, dst, 5);
    for (int x = 0; x < 3 + shift; x++) EXPECT_EQ(Get(dst, x, 0), marker) << x;
    for (int x = 3; x + shift < 8; x++) {
      int r = 0, g = 0, b = 0;
      for (int i = x - 3; i <= x; i++) r += i * 20, g += 200 - i * 10, b += 7 * i;
      EXPECT_EQ(RGBOf(dst, x + shift, 0), Stored(dst, RGB24(r >> 2, g >> 2, b >> 2))) << x;
    }
  }
}

TEST_F(FxTest, RenderFXTintsColourTwoByTwoBlocks) {
  const Uint32 expected[3] = {RGB24(63, 53, 31), RGB24(37, 63, 31), RGB24(31, 31, 63)};   // black, worked by hand
  for (int kind : {32, 16}) {
    for (int type = 10; type <= 12; type++) {
      SCOPED_TRACE(testing::Message() << kind << " " << type);
      SDL_Surface* src = Keep(NewSurface(5, 3, 32));   // odd sizes: the last column and row stay
      SDL_Surface* dst = Keep(NewSurface(5, 3, kind));
      SDL_FillRect(dst, NULL, SDL_MapRGB(dst->format, 255, 255, 255));
      IScreenFX->RenderFX(src, dst, type);
      for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
          EXPECT_EQ(RGBOf(dst, x, y), x < 4 && y < 2 ? Stored(dst, expected[type - 10]) : 0xFFFFFFu) << x << "," << y;
    }
  }
  SDL_Surface* line = Keep(NewSurface(6, 1, 32));
  SDL_Surface* dst = Keep(NewSurface(6, 1, 32));
  SDL_FillRect(dst, NULL, 0xABCDEF);
  IScreenFX->RenderFX(line, dst, 10);   // one pixel high: nothing drawn
  EXPECT_EQ(Get(dst, 0, 0), 0xABCDEFu);
}
