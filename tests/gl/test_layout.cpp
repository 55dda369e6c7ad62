// The OpenGL renderer's arithmetic without a display: how surfaces are spread over textures, how a
// blit splits into quads at texture edges, blit clipping, and the render state's channel scaling.
#include <gtest/gtest.h>
#include "glSDL_Internal.h"

namespace {

struct LayoutCase {
  int w, h;
  int mode, texsize, tilew, tileh, tilespertex, textures, tiles;
};

}  // namespace

TEST(GLLayout, SurfacesSpreadOverTexturesOfAtMost256) {
  const LayoutCase cases[] = {
      {32, 32, kTileSingle, 32, 32, 32, 1, 1, 1},
      {640, 400, kTileGrid, 256, 256, 256, 1, 6, 6},
      {1000, 20, kTileHorizontal, 256, 256, 20, 12, 1, 4},
      {20, 1000, kTileVertical, 256, 20, 256, 12, 1, 4},
      {300, 100, kTileHorizontal, 256, 256, 100, 2, 1, 2},
      {1, 1000, kTileVertical, 32, 1, 32, 32, 1, 32},
      {257, 3, kTileHorizontal, 32, 32, 3, 10, 1, 9},
      {1, 65535, kTileVertical, 256, 1, 256, 256, 1, 256},
      {256, 256, kTileSingle, 256, 256, 256, 1, 1, 1},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    glSDL_Layout l;
    ASSERT_TRUE(glSDL_ComputeLayout(c.w, c.h, 256, &l));
    EXPECT_EQ(l.mode, c.mode);
    EXPECT_EQ(l.texsize, c.texsize);
    EXPECT_EQ(l.tilew, c.tilew);
    EXPECT_EQ(l.tileh, c.tileh);
    EXPECT_EQ(l.tilespertex, c.tilespertex);
    EXPECT_EQ(l.textures, c.textures);
    EXPECT_EQ(glSDL_TileCount(l, c.w, c.h), c.tiles);
    // Every tile fits its texture, and no two tiles share texels.
    for (int k = 0; k < glSDL_TileCount(l, c.w, c.h); ++k) {
      glSDL_Tile t = glSDL_TileAt(l, c.w, c.h, k);
      EXPECT_LT(t.texture, l.textures);
      EXPECT_LE(t.texx + t.w, l.texsize);
      EXPECT_LE(t.texy + t.h, l.texsize);
      for (int j = 0; j < k; ++j) {
        glSDL_Tile o = glSDL_TileAt(l, c.w, c.h, j);
        bool apart = o.texture != t.texture || o.texx + o.w <= t.texx || t.texx + t.w <= o.texx ||
                     o.texy + o.h <= t.texy || t.texy + t.h <= o.texy;
        EXPECT_TRUE(apart) << "tiles " << j << " and " << k;
      }
    }
  }
  // The last grid column of a 640 x 400 screen is 128 wide, the last row 144 high.
  glSDL_Layout grid;
  ASSERT_TRUE(glSDL_ComputeLayout(640, 400, 256, &grid));
  glSDL_Tile last = glSDL_TileAt(grid, 640, 400, 5);
  EXPECT_EQ(last.srcx, 512);
  EXPECT_EQ(last.srcy, 256);
  EXPECT_EQ(last.w, 128);
  EXPECT_EQ(last.h, 144);
  // A 300 x 100 surface: strip 1 (44 x 100) sits below strip 0 in the same texture.
  glSDL_Layout strips;
  ASSERT_TRUE(glSDL_ComputeLayout(300, 100, 256, &strips));
  glSDL_Tile second = glSDL_TileAt(strips, 300, 100, 1);
  EXPECT_EQ(second.w, 44);
  EXPECT_EQ(second.texture, 0);
  EXPECT_EQ(second.texy, 100);
}

TEST(GLLayout, EmptySurfacesAndMissingLimitsGetNoLayout) {
  glSDL_Layout l;
  EXPECT_FALSE(glSDL_ComputeLayout(0, 10, 256, &l));
  EXPECT_FALSE(glSDL_ComputeLayout(10, 0, 256, &l));
  EXPECT_FALSE(glSDL_ComputeLayout(10, 10, -1, &l));   // before the first mode set
  EXPECT_FALSE(glSDL_ComputeLayout(-3, 10, 256, &l));
}

TEST(GLLayout, TileHoldingFindsTheTexelOfEveryPixel) {
  const int sizes[][2] = {{1000, 20}, {20, 1000}, {640, 400}, {257, 3}};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    glSDL_Layout l;
    ASSERT_TRUE(glSDL_ComputeLayout(w, h, 256, &l));
    for (int y = 0; y < h; y += 7)
      for (int x = 0; x < w; x += 5) {
        glSDL_Tile t = glSDL_TileHolding(l, w, h, x, y);
        ASSERT_TRUE(x >= t.srcx && x < t.srcx + t.w && y >= t.srcy && y < t.srcy + t.h) << x << "," << y;
      }
  }
}

TEST(GLBlit, QuadsSplitAtTextureEdges) {
  std::vector<glSDL_Quad> quads;
  glSDL_Layout l;
  // 1000 x 20: source columns 250 to 269 come from strip 0 (6 columns) and strip 1 (14 columns).
  ASSERT_TRUE(glSDL_ComputeLayout(1000, 20, 256, &l));
  glSDL_SplitQuads(l, 1000, 20, 250, 0, 20, 20, 10, 30, &quads);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_EQ(quads[0].x2 - quads[0].x1, 6);
  EXPECT_EQ(quads[1].x2 - quads[1].x1, 14);
  EXPECT_EQ(quads[0].x1, 10);
  EXPECT_EQ(quads[1].x1, 16);
  EXPECT_EQ(quads[1].x2, 30);
  EXPECT_FLOAT_EQ(quads[0].u1, 250.0f / 256);
  EXPECT_FLOAT_EQ(quads[0].u2, 1.0f);
  EXPECT_FLOAT_EQ(quads[1].u1, 0.0f);
  EXPECT_FLOAT_EQ(quads[1].u2, 14.0f / 256);
  EXPECT_FLOAT_EQ(quads[1].v1, 20.0f / 256);   // strip 1 lies below strip 0
  EXPECT_FLOAT_EQ(quads[1].v2, 40.0f / 256);
  // A 640 x 400 grid: an area across the four middle tiles gives four quads covering it once.
  ASSERT_TRUE(glSDL_ComputeLayout(640, 400, 256, &l));
  glSDL_SplitQuads(l, 640, 400, 250, 250, 10, 10, 0, 0, &quads);
  ASSERT_EQ(quads.size(), 4u);
  int area = 0;
  for (const glSDL_Quad& q : quads) area += (q.x2 - q.x1) * (q.y2 - q.y1);
  EXPECT_EQ(area, 100);
  EXPECT_EQ(quads[3].texture, 4);
  // Vertical bands: the offset inside the texture runs along x.
  ASSERT_TRUE(glSDL_ComputeLayout(20, 1000, 256, &l));
  glSDL_SplitQuads(l, 20, 1000, 0, 300, 20, 10, 0, 0, &quads);
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_FLOAT_EQ(quads[0].u1, 20.0f / 256);
  EXPECT_FLOAT_EQ(quads[0].v1, 44.0f / 256);
}

TEST(GLBlit, ClippingMovesTheDestinationForNegativeSourcesAndCutsToTheScreen) {
  glSDL_BlitArea a;
  SDL_Rect src = {-5, -2, 20, 10}, dst = {100, 50, 0, 0};
  ASSERT_TRUE(glSDL_ClipBlit(64, 64, &src, &dst, NULL, &a));
  EXPECT_EQ(a.sx, 0);
  EXPECT_EQ(a.sy, 0);
  EXPECT_EQ(a.x, 105);   // shifted right by the 5 columns left of the surface
  EXPECT_EQ(a.y, 52);
  EXPECT_EQ(a.w, 15);
  EXPECT_EQ(a.h, 8);
  // Cut to the surface and to the clip rectangle (the source start follows what is cut).
  SDL_Rect clip = {0, 0, 320, 200};
  SDL_Rect big = {50, 0, 1000, 1000}, edge = {-10, 190, 0, 0};
  ASSERT_TRUE(glSDL_ClipBlit(64, 64, &big, &edge, &clip, &a));
  EXPECT_EQ(a.sx, 60);
  EXPECT_EQ(a.w, 4);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.h, 10);
  // Nothing left: off the screen, past the surface, empty.
  SDL_Rect away = {400, 0, 0, 0}, past = {64, 0, 10, 10}, none = {0, 0, 0, 0};
  EXPECT_FALSE(glSDL_ClipBlit(64, 64, NULL, &away, &clip, &a));
  EXPECT_FALSE(glSDL_ClipBlit(64, 64, &past, NULL, &clip, &a));
  EXPECT_FALSE(glSDL_ClipBlit(64, 64, &none, NULL, &clip, &a));
  EXPECT_FALSE(glSDL_ClipBlit(0, 0, NULL, NULL, &clip, &a));
  // A transformed blit is not cut to the clip rectangle.
  EXPECT_TRUE(glSDL_ClipBlit(64, 64, NULL, &away, NULL, &a));
}

TEST(GLState, ChannelScalingAndTheSaveSlot) {
  EXPECT_EQ(glSDL_Scale8(255, 128), 128);
  EXPECT_EQ(glSDL_Scale8(255, 255), 255);
  EXPECT_EQ(glSDL_Scale8(128, 255), 128);
  EXPECT_EQ(glSDL_Scale8(128, 128), 64);
  EXPECT_EQ(glSDL_Scale8(0, 255), 0);
  EXPECT_EQ(glSDL_Scale8(200, 0), 0);
  glSDL_ResetState();
  glSDL_SetStateColor(128, 128, 255);
  glSDL_SetStateAlpha(0x1FF);   // low 8 bits kept
  glSDL_PushState();
  glSDL_SetStateColor(1, 2, 3);
  glSDL_PushState();            // one slot: the second save replaces the first
  glSDL_SetStateScale(-1.0f, 1.0f);
  glSDL_PopState();
  glSDL_PopState();
  const glSDL_RenderState* st = glSDL_GetState();
  EXPECT_EQ(st->red, 1);
  EXPECT_EQ(st->blue, 3);
  EXPECT_EQ(st->alpha, 255);
  EXPECT_EQ(st->scalex, 1.0f);
  glSDL_SetStateFilter(1);      // no video device: the filter stays off
  EXPECT_EQ(glSDL_GetState()->filter, 0);
  glSDL_ResetState();
}

TEST(GLState, ColoursSplitByMasksOrPalette) {
  SDL_PixelFormat rgb;
  glSDL_MakeFormat(&rgb, 16, 0xF800, 0x07E0, 0x001F, 0);
  Uint8 r, g, b;
  glSDL_SplitColor(&rgb, 0xFFFF, &r, &g, &b);
  EXPECT_EQ(r, 248);
  EXPECT_EQ(g, 252);
  EXPECT_EQ(b, 248);
  SDL_Color colours[2] = {{1, 2, 3, 0}, {40, 50, 60, 0}};
  SDL_Palette palette = {2, colours};
  SDL_PixelFormat indexed;
  glSDL_MakeFormat(&indexed, 8, 0, 0, 0, 0);
  indexed.palette = &palette;
  glSDL_SplitColor(&indexed, 1, &r, &g, &b);
  EXPECT_EQ(g, 50);
  for (Uint32 outside : {2u, 0x80000000u, 0xFFFFFFFFu}) {   // past the palette: black, nothing read
    glSDL_SplitColor(&indexed, outside, &r, &g, &b);
    EXPECT_EQ(r | g | b, 0) << outside;
  }
}

TEST(GLTable, FiftyTwoEntryPointsInOrder) {
  EXPECT_STREQ(glSDL_GLFunctionName(0), "glBegin");
  EXPECT_STREQ(glSDL_GLFunctionName(35), "glReadPixels");
  EXPECT_STREQ(glSDL_GLFunctionName(51), "glViewport");
  EXPECT_EQ(glSDL_GLFunctionName(52), nullptr);
}
