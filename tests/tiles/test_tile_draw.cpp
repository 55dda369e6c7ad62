// Tile creation and drawing: every tile of a 4 x 2 tileset with every transform code against an
// independent reference, ids out of range, the grid and whole tiles, transformed tiles made once and
// remade after a change, and what a tile takes from the application's surface and image files.
#include "TileTest.h"
#include "01_Main.h"
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
  void SetUp() override {
    TileTest::SetUp();
    SurfacePtr image = TilesetImage(4, 2, 6, 4);
    ASSERT_EQ(tile.Create(image.get(), "set"), 1);
    ASSERT_EQ(tile.SetTileSet(1, 6, 4), 1);
    tile.SetPosition(10, 12);
  }
  Yandorix_CTile tile;
};

const Uint32 kCodes[] = {0, 0x20000000u, 0x40000000u, 0x60000000u, 0x80000000u, 0xA0000000u, 0xC0000000u, 0xE0000000u};

}  // namespace

TEST_F(TileDrawTest, EveryTileWithEveryTransformCodeAndNoSurfaceMadeTwice) {
  int before = surfacesCreated;
  for (int t = 1; t <= 8; ++t)
    for (Uint32 code : kCodes) {
      SCOPED_TRACE("tile " + std::to_string(t) + " code " + std::to_string(code >> 29));
      SurfacePtr dest = Filled(32, 32);
      EXPECT_EQ(tile.Draw(dest.get(), (int)(code | (Uint32)t)), 1);
      Uint32 drawn = code == 0x20000000u || code == 0xE0000000u ? 0 : code;
      EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), ydxtest::RowCRCs(ExpectedDraw(32, t, drawn, 6, 4, 10, 12).get())));
    }
  ASSERT_GT(surfacesCreated, before) << "the library's surfaces must be counted";
  SurfacePtr dest = Filled(32, 32);
  before = surfacesCreated;
  for (int round = 0; round < 20; ++round)
    for (Uint32 code : kCodes) tile.Draw(dest.get(), (int)(code | 3u));
  EXPECT_EQ(surfacesCreated, before) << "a transformed draw made a surface again";
  // Hand-checked: tile 3 flipped shows its bottom row on top; 6 x 4 turned is 4 x 6 at (11, 11).
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x40000003u);
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(3, 0, 3));
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0xA0000001u);
  EXPECT_EQ(Pixel32(dest.get(), 14, 11), TileColor(1, 0, 0));
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), kSentinel);
}

TEST_F(TileDrawTest, ChangesReachTransformedTiles) {
  SurfacePtr dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x80000004u);
  tile.SetColorKey((int)TileColor(4, 0, 0));
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x80000004u);   // mirrored: source (0, 0) lands at the right end
  EXPECT_EQ(Pixel32(dest.get(), 15, 12), kSentinel);
  EXPECT_EQ(Pixel32(dest.get(), 14, 12), TileColor(4, 1, 0));
  tile.SetTileSet(1, 3, 4);
  dest = Filled(32, 32);
  tile.Draw(dest.get(), (int)0x80000002u);
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(1, 5, 0));
}

TEST_F(TileDrawTest, TransformedTilesBlendLikeTheTile) {
  // Surface alpha: a flipped tile is as translucent as a plain one, also after a change.
  tile.SetAlpha(128);
  SurfacePtr plain = Filled(32, 32), flipped = Filled(32, 32);
  tile.Draw(plain.get(), 0x00000001);
  tile.Draw(flipped.get(), (int)0x40000001u);
  Uint32 blended = Pixel32(plain.get(), 10, 12);
  EXPECT_NE(blended, TileColor(1, 0, 0));
  EXPECT_EQ(Pixel32(flipped.get(), 10, 15), blended);   // flipped: source row 0 lands on the last row
  tile.SetAlpha(255);
  flipped = Filled(32, 32);
  tile.Draw(flipped.get(), (int)0x40000001u);
  EXPECT_EQ(Pixel32(flipped.get(), 10, 15), TileColor(1, 0, 0));

  // Per-pixel alpha: transparent pixels of a mirrored tile leave the destination alone.
  SurfacePtr image(SDL_CreateRGBSurface(0, 4, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) Pixel32(image.get(), x, y) = x == 0 ? 0x00FFFFFF : 0xFF000000 | TileColor(1, x, y);
  Yandorix_CTile clear;
  ASSERT_EQ(clear.Create(image.get(), "clear"), 1);
  ASSERT_EQ(clear.GetAlpha(), 256);
  SurfacePtr dest = Filled(8, 8);
  clear.Draw(dest.get(), (int)0x80000000u);
  EXPECT_EQ(Pixel32(dest.get(), 3, 0), kSentinel);            // source column 0, mirrored to the right end
  EXPECT_EQ(Pixel32(dest.get(), 0, 0), TileColor(1, 3, 0));
}

TEST_F(TileDrawTest, IdsOutsideTheTilesetAndOutsideTilesetMode) {
  SurfacePtr dest = Filled(40, 40);
  std::vector<Uint32> untouched = ydxtest::RowCRCs(dest.get());
  EXPECT_EQ(tile.Draw(dest.get(), 0), 0);
  EXPECT_EQ(tile.Draw(dest.get(), (int)0x40000000u), 0);
  EXPECT_FALSE(LogHas("does not exist"));
  EXPECT_EQ(tile.Draw(dest.get(), 9), 0);
  EXPECT_TRUE(LogHas(" . [CTileEngine::Draw(9)] Warning: the given tile id does not exist in current tileset.\n"));
  EXPECT_EQ(tile.Draw(dest.get(), (int)0xFFFFFFFFu), 0);
  EXPECT_TRUE(LogHas(" . [CTileEngine::Draw(536870911)] Warning"));
  tile.SetPosition(65536 + 2, 2);   // would wrap to x = 2 in SDL's 16-bit rectangle
  tile.Draw(dest.get(), 1);
  EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), untouched));
  EXPECT_EQ(tile.Draw(NULL, 1), 0);
  EXPECT_TRUE(LogHas(" . [CTile::Draw()] Error: the given surface or Yandorix.screen are null.\n"));
  // Outside tileset mode the id only carries the transform: the whole image is drawn.
  tile.SetPosition(10, 12);
  EXPECT_EQ(tile.SetTileSet(0, 6, 4), 0);
  EXPECT_EQ(tile.Draw(dest.get(), (int)0x80000000u), 1);
  EXPECT_EQ(Pixel32(dest.get(), 10, 12), TileColor(4, 5, 0));
  EXPECT_EQ(Pixel32(dest.get(), 33, 19), TileColor(5, 0, 3));
}

TEST_F(TileDrawTest, GridClampsAndWholeTilesFromImagesThatAreNotAMultiple) {
  Yandorix_CTile grid;
  EXPECT_EQ(grid.SetTileSet(1, 32, 32), 0);   // empty tile
  SurfacePtr image = TilesetImage(3, 2, 32, 32, 4);   // 100 x 64: 4 columns belong to no tile
  ASSERT_EQ(grid.Create(image.get(), "grid"), 1);
  EXPECT_EQ(grid.SetTileSet(1, 32, 32), 1);
  for (Uint32 code : {0u, 0x80000000u}) {
    SurfacePtr dest = Filled(64, 64);
    EXPECT_EQ(grid.Draw(dest.get(), (int)(code | 6u)), 1);
    EXPECT_TRUE(ydxtest::RowsMatch(dest.get(), ydxtest::RowCRCs(ExpectedDraw(64, 6, code, 32, 32, 0, 0).get())));
  }
  EXPECT_EQ(grid.Draw(Filled(8, 8).get(), 7), 0);
  int w = 0, h = 0;
  EXPECT_EQ(grid.SetTileSet(1, 0, -5), 1);
  EXPECT_EQ(grid.GetOffset(&w, &h), 1);
  EXPECT_EQ(w * 1000 + h, 1001);
  EXPECT_EQ(grid.Draw(Filled(8, 8).get(), 6400), 1);
  EXPECT_EQ(grid.SetTileSet(1, 101, 8), 1);   // narrower image than one tile: nothing to draw
  EXPECT_EQ(grid.Draw(Filled(8, 8).get(), 1), 0);
}

TEST_F(TileDrawTest, KeyAndAlphaCountOnlyWhereTheApplicationSwitchedThemOn) {
  SurfacePtr image = Filled(4, 4, 0);   // black, with SDL's key word 0 but no key switched on
  Yandorix_CTile plain, keyed, perPixel;
  ASSERT_EQ(plain.Create(image.get(), "plain"), 1);
  EXPECT_EQ(plain.GetColorKey(), -1);
  EXPECT_EQ(plain.GetAlpha(), 255);
  SurfacePtr dest = Filled(8, 8);
  plain.Draw(dest.get(), 0);
  EXPECT_EQ(Pixel32(dest.get(), 0, 0), 0u) << "black became transparent without a colour key";
  SDL_SetColorKey(image.get(), SDL_SRCCOLORKEY, 0);
  SDL_SetAlpha(image.get(), SDL_SRCALPHA, 128);
  ASSERT_EQ(keyed.Create(image.get(), "keyed"), 1);
  EXPECT_EQ(keyed.GetColorKey(), 0);
  EXPECT_EQ(keyed.GetAlpha(), 128);
  EXPECT_EQ(keyed.Create(image.get(), "again"), 0);
  EXPECT_TRUE(LogHas(",'again')] Warning: tile already exists. It is not possible to create another one.\n"));
  SurfacePtr rgba(SDL_CreateRGBSurface(0, 2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
  ASSERT_EQ(perPixel.Create(rgba.get(), "a name of thirty-one characters"), 1);
  perPixel.SetAlpha(10);
  perPixel.SetColorKey(7);
  EXPECT_EQ(perPixel.GetAlpha(), 256);
  EXPECT_EQ(perPixel.GetColorKey(), -1);
  Yandorix_CTile refused;
  EXPECT_EQ(refused.Create(rgba.get(), "a name of thirty-two characters!"), 0);
  EXPECT_EQ(refused.GetName(), nullptr);
}

TEST_F(TileDrawTest, ScreenConversionKeepsTheKeyAndImageFilesKeepTheSwitch) {
  Yandorix.colordepth = 16;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  SurfacePtr image = Filled(4, 4, 0x00FF00FF);
  SDL_SetColorKey(image.get(), SDL_SRCCOLORKEY, 0x00FF00FF);
  Yandorix_CTile keyed;
  ASSERT_EQ(keyed.Create(image.get(), "k"), 1);
  ASSERT_EQ(keyed.GetSurface()->format->BitsPerPixel, 16);
  EXPECT_EQ((Uint32)keyed.GetColorKey(), SDL_MapRGB(keyed.GetSurface()->format, 255, 0, 255));
  ASSERT_EQ(IImage->SaveBMP("set.bmp", image.get()), 1);
  ASSERT_EQ(IImage->SavePNG("set.png", image.get(), 6), 0);
  for (int setting : {0, 1})
    for (const char* file : {"set.bmp", "set.png"}) {
      Yandorix_AutoConvert = setting;
      Yandorix_CTile tile;
      ASSERT_EQ(tile.Create(file, "set"), 1) << file;
      EXPECT_EQ(Yandorix_AutoConvert, setting);
      EXPECT_EQ(tile.GetSurface()->format->BitsPerPixel, setting ? 16 : 24) << file;
    }
  Yandorix_CTile missing;
  EXPECT_EQ(missing.Create("missing.png", "x"), 0);
  EXPECT_TRUE(LogHas(" . [CTile::Create('missing.png','x')] Error: it was not possible to load the given image file.\n"));
}
