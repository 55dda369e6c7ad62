// Mirror and flip in every pixel size, the source-area rules, key and alpha of the results, drawing
// into a destination, and the service object's ownership of the primitives service.
#include "FxTest.h"

using namespace fxtest;

namespace {

// The area (x, y, w, h) of src mirrored (mirror) or flipped, built pixel by pixel.
SDL_Surface* Reference(SDL_Surface* src, int ax, int ay, int aw, int ah, bool mirror) {
  SDL_Surface* out = NewSurface(aw, ah, src->format->BitsPerPixel == 32 && src->format->Amask ? 33
                                                                                             : src->format->BitsPerPixel);
  for (int y = 0; y < ah; y++)
    for (int x = 0; x < aw; x++)
      Put(out, x, y, mirror ? Get(src, ax + aw - 1 - x, ay + y) : Get(src, ax + x, ay + ah - 1 - y));
  return out;
}

}  // namespace

TEST_F(FxTest, MirrorAndFlipAreExactInEveryPixelSize) {
  for (int kind : {8, 16, 24, 32}) {
    SCOPED_TRACE(kind);
    SDL_Surface* src = Keep(Pattern(13, 7, kind));
    // Partly outside: x is raised to 0 without shortening the width; the height is cut at the bottom.
    SDL_Rect rect = {-3, 2, 10, 10};
    for (bool mirror : {true, false}) {
      SDL_Surface* out = Keep(mirror ? IScreenFX->Mirror(src, &rect, NULL, NULL) : IScreenFX->Flip(src, &rect, NULL, NULL));
      ASSERT_NE(out, nullptr);
      ASSERT_EQ(out->w, 10);
      ASSERT_EQ(out->h, 5);
      EXPECT_EQ(out->format->BitsPerPixel, src->format->BitsPerPixel);
      SDL_Surface* expected = Keep(Reference(src, 0, 2, 10, 5, mirror));
      EXPECT_EQ(RowCRCs(out), RowCRCs(expected));
      // Hand-checked corners.
      int bytes = src->format->BytesPerPixel;
      EXPECT_EQ(Get(out, 0, 0), mirror ? PatternValue(9, 2, bytes) : PatternValue(0, 6, bytes));
      EXPECT_EQ(Get(out, 9, 4), mirror ? PatternValue(0, 6, bytes) : PatternValue(9, 2, bytes));
    }
  }
}

TEST_F(FxTest, ResultsKeepKeyAlphaAndPalette) {
  SDL_Surface* keyed = Keep(Pattern(6, 4, 16));
  SDL_SetColorKey(keyed, SDL_SRCCOLORKEY, 0xF81F);
  SDL_SetAlpha(keyed, SDL_SRCALPHA, 90);
  SDL_Surface* out = Keep(IScreenFX->Flip(keyed, NULL, NULL, NULL));
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(out->format->colorkey, 0xF81Fu);
  EXPECT_TRUE(out->flags & SDL_SRCALPHA);
  EXPECT_EQ(out->format->alpha, 90);

  SDL_Surface* indexed = Keep(Pattern(5, 5, 8));
  indexed->format->palette->ncolors = 200;
  SDL_Surface* mirrored = Keep(IScreenFX->Mirror(indexed, NULL, NULL, NULL));
  ASSERT_NE(mirrored, nullptr);
  ASSERT_EQ(mirrored->format->palette->ncolors, 200);
  for (int i = 0; i < 200; i++) {
    const SDL_Color &want = indexed->format->palette->colors[i], &got = mirrored->format->palette->colors[i];
    ASSERT_TRUE(want.r == got.r && want.g == got.g && want.b == got.b) << i;
  }
}

TEST_F(FxTest, DrawingIntoADestinationKeepsTheKeyTransparent) {
  SDL_Surface* src = Keep(NewSurface(3, 1, 32));
  Put(src, 0, 0, 0x111111), Put(src, 1, 0, 0xFF00FF), Put(src, 2, 0, 0x333333);
  SDL_SetColorKey(src, SDL_SRCCOLORKEY, 0xFF00FF);
  SDL_Surface* dst = Keep(NewSurface(8, 4, 32));
  SDL_FillRect(dst, NULL, 0x777777);
  SDL_Rect at = {4, 2, 0, 0};
  EXPECT_EQ(IScreenFX->Mirror(src, NULL, dst, &at), dst);
  EXPECT_EQ(at.x, 4);   // the caller's rectangle is not rewritten
  EXPECT_EQ(Get(dst, 4, 2), 0x333333u);
  EXPECT_EQ(Get(dst, 5, 2), 0x777777u);   // keyed pixel not drawn
  EXPECT_EQ(Get(dst, 6, 2), 0x111111u);
  EXPECT_EQ(Get(dst, 3, 2), 0x777777u);
  EXPECT_EQ(IScreenFX->Flip(src, NULL, dst, NULL), dst);   // no rectangle: the corner
  EXPECT_EQ(Get(dst, 0, 0), 0x111111u);
}

TEST_F(FxTest, GeometricEffectsRefuseBadSourcesAndEmptyAreas) {
  SDL_Surface* src = Keep(Pattern(20, 20, 32));
  SDL_Rect atEdge = {20, 0, 5, 5}, below = {0, 25, 5, 5}, wide = {-5, 0, 10, 10}, empty = {3, 3, 0, 4};
  EXPECT_EQ(IScreenFX->Mirror(src, &atEdge, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Flip(src, &below, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Flip(src, &empty, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Mirror(NULL, NULL, NULL, NULL), nullptr);
  EXPECT_EQ(IScreenFX->Mirror(src, NULL, src, NULL), nullptr);
  EXPECT_TRUE(LogHas(" . [IScreenFX->Mirror()] Error: the source surface is NULL.\n"));
  EXPECT_TRUE(LogHas(" . [IScreenFX->Mirror()] Error: the source area lies outside the surface.\n"));
  SDL_Surface* out = Keep(IScreenFX->Mirror(src, &wide, NULL, NULL));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->w, 10);   // x 0..9: the width is kept when only x was raised
  EXPECT_EQ(Get(out, 0, 0), Get(src, 9, 0));
}

class FxObjectTest : public YdxTest {};

TEST_F(FxObjectTest, MadeBeforeInitItOwnsAndReleasesItsPrimitives) {
  ydxtest::StartLog();
  ASSERT_EQ(IPrimitives, nullptr);
  Yandorix_IScreenFX* fx = new Yandorix_IScreenFX();
  ASSERT_NE(IPrimitives, nullptr);
  delete fx;
  EXPECT_EQ(IPrimitives, nullptr);   // no dangling pointer to the deleted service

  Yandorix_IPrimitives* theirs = new Yandorix_IPrimitives();
  IPrimitives = theirs;
  fx = new Yandorix_IScreenFX();
  delete fx;
  EXPECT_EQ(IPrimitives, theirs);   // not its own: left alone
  delete theirs;
  IPrimitives = NULL;
}
