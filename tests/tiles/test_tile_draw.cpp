// Tile drawing: every tile of a 4 x 2 tileset with every transform code against an independent
// reference, tile ids out of range, the tileset grid, whole tiles from images that are not a multiple
// of the tile size, and the transformed-tile cache (no surface made again, dropped on every change).
#include "TileTest.h"
#include <dlfcn.h>

// Counts the surfaces the library makes: the executable's definition is found before SDL's.
static int surfacesCreated = 0;
extern "C" SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int w, int h, int depth, Uint32 r, Uint32 g, Uint32 b,
                                            Uint32 a) {
  typedef SDL_Surface* (*Create)(Uint32, int, int, int, Uint32, Uint32, Uint32, Uint32);
  static Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "SDL_CreateRGBSurface"));
  surfacesCreated++;
  return real(flags, w, h, depth, r, g, b, a);
}

namespace {

class TileDrawTest : public TileTest {
 protected:
  // A 4 x 2 tileset of 6 x 4 tiles (not square, so turns move the picture) at (10, 12).
  void MakeTileset(Yandorix_CTile* tile, int extra = 0) {
    SurfacePtr image = TilesetImage(4, 2, 6, 4, extra);
    ASSERT_EQ(tile->Create(image.get(), "set"), 1);
    ASSERT_EQ(tile->SetTileSet(1, 6, 4), 1);
    tile->SetPosition(10, 12);
  }
};

const Uint32 kCodes[] = {0x00000000u, 0x20000000u, 0x40000000u, 0x60000000u,
                         0x80000000u, 0xA0000000u, 0xC0000000u, 0xE0000000u};

}  // namespace

TEST_F(TileDrawTest, EveryTileWithEveryTransformCode) {
  Yandorix_CTile tile;
  MakeTileset(&tile);
  for (int t = 1; t <= 8; ++t)
    for (Uint32 code : kCodes) {
      SCOPED_TRACE("tile " + std::to_string(t) + " code " + std::to_string(code >> 29));
      SurfacePtr dest = Filled(32, 32);
      EXPECT_EQ(tile.Draw(dest.get(), (int)(code | (Uint32)t)), 1);
      SurfacePtr expected = ExpectedDraw(32, 32, t, code == 0xE0000000u || code == 0x20000000u ? 0 : code, 6, 4, 10, 12);
      EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), ydxtest::RowCRCs(expected.get())));
    }
}

TEST_F(TileDrawTest, HandCheckedPixelsOfFlipAndQuarterTurn) {
  Yandorix_CTile tile;
  MakeTileset(&tile);
  SurfacePtr dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x40000003u);   // tile 3 flipped: its bottom row on top
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(3, 0, 3));
  EXPECT_EQ(Pixel32(dest.get(), 15, 15), TileColor(3, 5, 0));
  EXPECT_EQ(Pixel32(dest.get(), 16, 12), kSentinel);
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0xA0000001u);   // 6 x 4 turned clockwise: 4 x 6 centred, at (11, 11)
  EXPECT_EQ(Pixel32(dest.get(), 14, 11), TileColor(1, 0, 0));   // top-left went top-right
  EXPECT_EQ(Pixel32(dest.get(), 11, 11), TileColor(1, 0, 3));
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), kSentinel);
}

TEST_F(TileDrawTest, IdsOutsideTheTilesetAndOutsideTilesetMode) {
  Yandorix_CTile tile;
  MakeTileset(&tile);
  SurfacePtr dest = Filled(32, 32);
  std::vector<Uint32> untouched = ydxtest::RowCRCs(dest.get());
  EXPECT_EQ(tile.Draw(dest.get(), 0), 0);
  EXPECT_EQ(tile.Draw(dest.get(), (int)0x40000000u), 0);
  EXPECT_FALSE(LogHas("does not exist"));
  EXPECT_EQ(tile.Draw(dest.get(), 9), 0);
  EXPECT_TRUE(LogHas(" . [CTileEngine::Draw(9)] Warning: the given tile id does not exist in current tileset.\n"));
  EXPECT_EQ(tile.Draw(dest.get(), (int)0xFFFFFFFFu), 0);
  EXPECT_TRUE(LogHas(" . [CTileEngine::Draw(536870911)] Warning"));
  EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), untouched));
  EXPECT_EQ(tile.Draw(dest.get(), 8), 1);   // the last tile
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(8, 0, 0));

  // Outside tileset mode the id only carries the transform: the whole image is drawn.
  EXPECT_EQ(tile.SetTileSet(0, 6, 4), 0);
  int w = 0, h = 0;
  EXPECT_EQ(tile.GetOffset(&w, &h), 0);
  EXPECT_EQ(w, 24);
  EXPECT_EQ(h, 8);
  dest = Filled(40, 40);
  EXPECT_EQ(tile.Draw(dest.get(), 12345), 1);
  EXPECT_EQ(Pixel32(dest.get(), 10 + 23, 12 + 7), TileColor(8, 5, 3));
  dest = Filled(40, 40);
  EXPECT_EQ(tile.Draw(dest.get(), (int)0x80000000u), 1);   // whole image mirrored
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(4, 5, 0));
}

TEST_F(TileDrawTest, TileSetGridAndClamps) {
  Yandorix_CTile tile;
  EXPECT_EQ(tile.SetTileSet(1, 32, 32), 0);   // empty tile
  SurfacePtr image = TilesetImage(3, 2, 32, 32, 4);   // 100 x 64
  ASSERT_EQ(tile.Create(image.get(), "grid"), 1);
  EXPECT_EQ(tile.SetTileSet(1, 32, 32), 1);
  EXPECT_EQ(tile.Draw(Filled(200, 100).get(), 6), 1);
  EXPECT_EQ(tile.Draw(Filled(200, 100).get(), 7), 0);

  EXPECT_EQ(tile.SetTileSet(1, 0, -5), 1);
  int w = 0, h = 0;
  EXPECT_EQ(tile.GetOffset(&w, &h), 1);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(tile.Draw(Filled(8, 8).get(), 100 * 64), 1);
  EXPECT_EQ(tile.Draw(Filled(8, 8).get(), 100 * 64 + 1), 0);

  EXPECT_EQ(tile.SetTileSet(1, 101, 8), 1);   // narrower image than one tile: nothing to draw
  EXPECT_EQ(tile.Draw(Filled(8, 8).get(), 1), 0);
  EXPECT_TRUE(LogHas(" . [CTileEngine::Draw(1)] Warning"));
}

TEST_F(TileDrawTest, ImagesThatAreNotAMultipleOfTheTileSizeDrawWholeTilesOnly) {
  Yandorix_CTile tile;
  SurfacePtr image = TilesetImage(3, 2, 32, 32, 4);   // 100 x 64: 3 tiles across, 4 columns left over
  ASSERT_EQ(tile.Create(image.get(), "grid"), 1);
  ASSERT_EQ(tile.SetTileSet(1, 32, 32), 1);
  for (Uint32 code : {0x00000000u, 0x80000000u}) {
    SurfacePtr dest = Filled(64, 64);
    tile.Draw(dest.get(), (int)(code | 2u));
    EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), ydxtest::RowCRCs(ExpectedDraw(64, 64, 2, code, 32, 32, 0, 0).get())));
    EXPECT_EQ(Pixel32(dest.get(), 32, 0), kSentinel) << "a column of the next tile was drawn";
  }
}

TEST_F(TileDrawTest, NullDestinationDrawsOnTheScreen) {
  Yandorix_CTile tile;
  MakeTileset(&tile);
  EXPECT_EQ(tile.Draw(NULL, 1), 0);
  EXPECT_TRUE(LogHas(" . [CTile::Draw()] Error: the given surface or Yandorix.screen are null.\n"));
  ASSERT_NE(OpenScreen(32), nullptr);
  SDL_FillRect(Yandorix.screen, NULL, 0);
  EXPECT_EQ(tile.Draw(NULL, 5), 1);
  SDL_LockSurface(Yandorix.screen);
  Uint8 r, g, b;
  SDL_GetRGB(Pixel32(Yandorix.screen, 10, 12), Yandorix.screen->format, &r, &g, &b);
  SDL_UnlockSurface(Yandorix.screen);
  EXPECT_EQ(r, 150);
}

TEST_F(TileDrawTest, TransformedTilesAreMadeOnceAndRemadeAfterChanges) {
  Yandorix_CTile tile;
  MakeTileset(&tile);
  SurfacePtr dest = Filled(32, 32);
  int first = surfacesCreated;
  for (Uint32 code : kCodes) tile.Draw(dest.get(), (int)(code | 4u));
  ASSERT_GT(surfacesCreated, first) << "the library's surfaces must be counted";
  int before = surfacesCreated;
  for (int round = 0; round < 50; ++round)
    for (Uint32 code : kCodes) tile.Draw(dest.get(), (int)(code | 4u));
  EXPECT_EQ(surfacesCreated, before) << "a transformed draw made a surface again";

  // A colour key set afterwards must show in the transformed draw too.
  tile.SetColorKey((int)TileColor(4, 0, 0));
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x80000004u);
  EXPECT_EQ(Pixel32(dest.get(), 15, 12), kSentinel);   // mirrored: source (0, 0) lands at the right end
  EXPECT_EQ(Pixel32(dest.get(), 14, 12), TileColor(4, 1, 0));
  tile.SetColorKey(-1);
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x80000004u);
  EXPECT_EQ(Pixel32(dest.get(), 15, 12), TileColor(4, 0, 0));

  // A new grid gives new tiles.
  tile.SetTileSet(1, 3, 4);
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x80000002u);
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(1, 5, 0));
}

TEST_F(TileDrawTest, PositionsBeyondSixteenBitsStayOffTheSurface) {
  Yandorix_CTile tile;
  MakeTileset(&tile);
  SurfacePtr dest = Filled(32, 32);
  std::vector<Uint32> untouched = ydxtest::RowCRCs(dest.get());
  tile.SetPosition(65536 + 2, 2);   // would wrap to x = 2 in SDL's 16-bit rectangle
  tile.Draw(dest.get(), 1);
  tile.SetPosition(2, -65536 + 2);
  tile.Draw(dest.get(), (int)0x80000001u);
  EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), untouched));
  EXPECT_EQ(tile.GetPosY(), -65534);
}
