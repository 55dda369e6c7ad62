// Pictures into layers: merging of equal blocks and its numbering, empty blocks by colour key and by
// alpha, accuracy thresholds, the tileset's shape, keys of other depths, locked and untouched pictures,
// and every refusal leaving the engine as it was.
#include "LayerImageTest.h"

using namespace layerimg_test;
using qbte_test::Pixel;

namespace {

const Uint32 kKey = 0x00FF00FFu;

// Block content by position from a row-major list.
std::function<int(int, int)> Contents(std::vector<int> list, int columns) {
  return [list, columns](int c, int r) { return list[r * columns + c]; };
}

}  // namespace

TEST_F(LayerImageTest, TwoEqualHalvesGiveOneTile) {
  Start(2);
  Surface picture = BlockPicture(2, 1, 32, 32, [](int, int) { return 7; });
  ASSERT_EQ(Import(picture.get()), 1);
  EXPECT_TRUE(LogHas("\n [QBTE] Info: trying to import a 64x32 surface using 32x32 tiles in to layer ID '1'.\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: using an accuracy of %100 on tile matching (max pixels deviation 0).\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: found 1 unique tiles from a total of 2(%50 compression).\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: surface successfully imported.\n\n"));
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{1, 1}));

  ASSERT_EQ(engine->GetTilesetCount(), 1);
  sQBTE_Tileset* tileset = engine->GetTilesetAt(0);
  EXPECT_STREQ(tileset->tile->GetName(), "TS-ImportedImage-Layer1");
  EXPECT_EQ(tileset->resourceControl, 2);
  EXPECT_EQ(tileset->tile->GetColorKey(), -1);
  SDL_Surface* tiles = ImportedTileset();
  EXPECT_EQ(tiles->w, 32);
  EXPECT_EQ(tiles->h, 32);
  EXPECT_EQ(Pixel(tiles, 5, 9), ContentPixel(7, 5, 9));

  sQBTE_Layer* layer = engine->GetLayer(1);
  EXPECT_STREQ(layer->name, "ImportedImage-Layer1");
  EXPECT_EQ(layer->resourceControl, 2);
  EXPECT_EQ(layer->alpha, 255);
  EXPECT_EQ(layer->ready, 1);
  EXPECT_EQ(MapOf(1)->GetCellWidth(), 32);
}

TEST_F(LayerImageTest, DistinctTilesAreNumberedInOrderOfFirstAppearance) {
  Start(2);
  AddTiles(1, 32, 32, 2, 2);   // ids 1..4 are taken: the import follows them
  Surface picture = BlockPicture(4, 2, 16, 8, Contents({5, 6, 5, 9, 9, 6, 4, 5}, 4));
  ASSERT_EQ(Import(picture.get(), 16, 8), 1);
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{6, 7, 6, 8, 8, 7, 9, 6}));
  SDL_Surface* tiles = engine->GetTilesetTile(6)->GetSurface();
  ASSERT_EQ(tiles->w, 64);   // four tiles in one row
  EXPECT_EQ(Pixel(tiles, 0, 0), ContentPixel(5, 0, 0));
  EXPECT_EQ(Pixel(tiles, 16 + 3, 2), ContentPixel(6, 3, 2));
  EXPECT_EQ(Pixel(tiles, 48 + 15, 7), ContentPixel(4, 15, 7));
}

TEST_F(LayerImageTest, BlocksOfTheKeyOnlyAreEmptyAndAPictureOfTheKeyIsRefused) {
  Start(2);
  Surface picture = BlockPicture(3, 1, 32, 32, Contents({0, 3, 0}, 3), kKey);
  Pixel(picture.get(), 70, 3) = ContentPixel(1, 0, 0);   // one visible pixel: not empty
  ASSERT_EQ(Import(picture.get(), 32, 32, 100, (int)kKey), 1);
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{0, 1, 2}));
  EXPECT_TRUE(LogHas("found 2 unique tiles from a total of 3(%34 compression)"));
  EXPECT_EQ(engine->GetTilesetTile(1)->GetColorKey(), (int)kKey);

  Start(2);
  Surface onlyKey = BlockPicture(2, 2, 32, 32, [](int, int) { return 0; }, kKey);
  EXPECT_EQ(Import(onlyKey.get(), 32, 32, 100, (int)kKey), -5);
  EXPECT_TRUE(LogHas(" [QBTE] Error: failed to convert the surface to a tileset(-5).\n"));
  ExpectNothingImported();
}

TEST_F(LayerImageTest, TransparentBlocksAreEmptyWithPerPixelAlphaAndTheKeyIsIgnored) {
  Start(2);
  Surface picture(SDL_CreateRGBSurface(SDL_SWSURFACE, 96, 32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000));
  ASSERT_TRUE(picture->flags & SDL_SRCALPHA);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 96; ++x)
      Pixel(picture.get(), x, y) = x < 32 ? (Uint32)(x * 5 + y) : 0x80000000u | (Uint32)(x < 64 ? 0x1234 : 0x5678);
  ASSERT_EQ(Import(picture.get(), 32, 32, 100, 0x80001234), 1);
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{0, 1, 2}));
  Yandorix_CTile* tile = engine->GetTilesetTile(1);
  EXPECT_EQ(tile->GetAlpha(), 256);
  EXPECT_EQ(tile->GetSurface()->format->Amask, 0xFF000000u);
  Uint8 r, g, b, a;
  SDL_GetRGBA(Pixel(tile->GetSurface(), 3, 3), tile->GetSurface()->format, &r, &g, &b, &a);
  EXPECT_EQ(a, 0x80);   // copied, not blended
  EXPECT_EQ(r, 0x34);
  EXPECT_EQ(g, 0x12);
}

TEST_F(LayerImageTest, AccuracyAllowsThatManyDifferingPixels) {
  // Block 2 is block 1 with `changed` pixels altered; at 90 % a 32 x 32 tile may differ in 102.
  auto distinctTiles = [this](int changed, int accuracy) {
    Start(2);
    Surface picture = BlockPicture(2, 1, 32, 32, [](int, int) { return 1; });
    for (int i = 0; i < changed; ++i) Pixel(picture.get(), 32 + i % 32, i / 32) ^= 0x00010000u;
    EXPECT_EQ(Import(picture.get(), 32, 32, accuracy), 1);
    std::vector<Sint32> cells = Cells(1);
    return cells.empty() ? -1 : cells[1];
  };
  EXPECT_EQ(distinctTiles(102, 90), 1);
  EXPECT_TRUE(LogHas("using an accuracy of %90 on tile matching (max pixels deviation 102)"));
  // The tileset keeps the last block of the tile.
  EXPECT_EQ(Pixel(ImportedTileset(), 0, 0), ContentPixel(1, 0, 0) ^ 0x00010000u);
  EXPECT_EQ(distinctTiles(103, 90), 2);
  EXPECT_EQ(distinctTiles(1, 100), 2);
  EXPECT_EQ(distinctTiles(1, 250), 2);
  EXPECT_TRUE(LogHas("using an accuracy of %100"));
  EXPECT_EQ(distinctTiles(1000, -3), 1);   // clamped to 1: 1013 pixels may differ
  EXPECT_TRUE(LogHas("using an accuracy of %1 on tile matching (max pixels deviation 1013)"));
}

TEST_F(LayerImageTest, NearlyEmptyBlocksMergeIntoEmptyWithinTheTolerance) {
  Start(2);
  Surface picture = BlockPicture(3, 1, 10, 10, Contents({0, 0, 2}, 3), kKey);
  for (int i = 0; i < 5; ++i) Pixel(picture.get(), 10 + i, 0) = 0x1;   // 5 of 100 pixels visible
  ASSERT_EQ(Import(picture.get(), 10, 10, 95, (int)kKey), 1);
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{0, 0, 1}));
}

TEST_F(LayerImageTest, CompareTileBlocksResults) {
  Start(2);
  Surface picture = BlockPicture(3, 1, 4, 4, Contents({1, 1, 0}, 3), kKey);
  SDL_Rect a = {0, 0, 4, 4}, b = {4, 0, 4, 4}, keyOnly = {8, 0, 4, 4}, outside = {10, 0, 4, 4};
  EXPECT_EQ(CompareTileBlocks(&a, &b, picture.get(), 0, 4, 4, -1), 1);
  EXPECT_EQ(CompareTileBlocks(&a, &b, picture.get(), 0, 4, 4, (int)kKey), 1);
  EXPECT_EQ(CompareTileBlocks(&keyOnly, &keyOnly, picture.get(), 0, 4, 4, (int)kKey), 2);
  EXPECT_EQ(CompareTileBlocks(&a, &keyOnly, picture.get(), 15, 4, 4, (int)kKey), 0);
  EXPECT_EQ(CompareTileBlocks(&a, &keyOnly, picture.get(), 16, 4, 4, (int)kKey), 2);
  EXPECT_EQ(CompareTileBlocks(&a, &outside, picture.get(), 16, 4, 4, -1), 0);
  EXPECT_EQ(CompareTileBlocks(NULL, &b, picture.get(), 16, 4, 4, -1), 0);
  Surface rgb24(SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 4, 24, 0xFF, 0xFF00, 0xFF0000, 0));
  EXPECT_EQ(CompareTileBlocks(&a, &a, rgb24.get(), 16, 4, 4, -1), 0);
  // Per-pixel alpha at 16 bits: visible blocks are not taken for empty ones.
  Surface argb16(SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 4, 16, 0x0F00, 0x00F0, 0x000F, 0xF000));
  SDL_FillRect(argb16.get(), NULL, 0xF123);
  SDL_Rect clear = {4, 0, 4, 4};
  SDL_FillRect(argb16.get(), &clear, 0x0123);
  EXPECT_EQ(CompareTileBlocks(&a, &a, argb16.get(), 0, 4, 4, -1), 1);
  EXPECT_EQ(CompareTileBlocks(&clear, &clear, argb16.get(), 0, 4, 4, -1), 2);
}

TEST_F(LayerImageTest, FortyTilesGiveA1024x64Tileset) {
  Start(2);
  Surface picture = BlockPicture(8, 5, 32, 32, [](int c, int r) { return r * 8 + c + 1; });
  ASSERT_EQ(Import(picture.get()), 1);
  SDL_Surface* tiles = ImportedTileset();
  EXPECT_EQ(tiles->w, 1024);
  EXPECT_EQ(tiles->h, 64);
  EXPECT_EQ(Pixel(tiles, 31 * 32 + 2, 1), ContentPixel(32, 2, 1));
  EXPECT_EQ(Pixel(tiles, 7 * 32 + 4, 32 + 5), ContentPixel(40, 4, 5));
  EXPECT_EQ(Cells(1)[39], 40);
}

TEST_F(LayerImageTest, TilesWiderThanTheTilesetLimitGetOnePerRow) {
  Start(2);
  Surface picture = BlockPicture(1, 2, 1100, 4, [](int, int r) { return r + 1; });
  ASSERT_EQ(Import(picture.get(), 1100, 4), 1);
  SDL_Surface* tiles = ImportedTileset();
  EXPECT_EQ(tiles->w, 1100);
  EXPECT_EQ(tiles->h, 12);
  EXPECT_EQ(Pixel(tiles, 1099, 4 + 3), ContentPixel(2, 1099, 3));
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{1, 2}));
}

// The key is a pixel of the picture's format; the tileset is 32 bits, so drawn key pixels must vanish.
TEST_F(LayerImageTest, KeysOfOtherDepthsKeepTheirColourInTheTileset) {
  const Uint32 kBackground = 0x123456;
  auto rendered = [&](SDL_Surface* picture, int key) {
    Start(2, 64, 32);
    EXPECT_EQ(Import(picture, 32, 32, 100, key), 1);
    engine->SetLayerFlags(1, QBTE_RENDER, 1);
    SDL_FillRect(target.get(), NULL, kBackground);
    engine->RenderLayers(-1);
  };
  Surface rgb565(SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 32, 16, 0xF800, 0x07E0, 0x001F, 0));
  SDL_FillRect(rgb565.get(), NULL, 0xF81F);   // magenta, the key
  SDL_Rect visible = {8, 8, 4, 4};
  SDL_FillRect(rgb565.get(), &visible, 0x07E0);
  rendered(rgb565.get(), 0xF81F);
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{1, 0}));
  EXPECT_EQ(Pixel(target.get(), 0, 0), kBackground);
  EXPECT_EQ(Pixel(target.get(), 9, 9) & 0xFF00FF, 0u);   // green, however SDL widens 6 bits
  EXPECT_GE(Pixel(target.get(), 9, 9) >> 8 & 0xFF, 0xFCu);

  Surface indexed(SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 32, 8, 0, 0, 0, 0));
  SDL_Color colours[3] = {{0, 0, 0, 0}, {200, 10, 10, 0}, {10, 200, 10, 0}};
  SDL_SetColors(indexed.get(), colours, 0, 3);
  SDL_FillRect(indexed.get(), NULL, 2);
  SDL_FillRect(indexed.get(), &visible, 1);
  rendered(indexed.get(), 2);
  EXPECT_EQ(Pixel(target.get(), 20, 20), kBackground);
  EXPECT_EQ(Pixel(target.get(), 9, 9) & 0xFFFFFF, 0xC80A0Au);
}

TEST_F(LayerImageTest, ThePictureIsComparedLockedAndLeftAsItWas) {
  Start(2);
  Surface picture = BlockPicture(3, 1, 16, 16, Contents({1, 1, 2}, 3));
  SDL_SetAlpha(picture.get(), SDL_SRCALPHA, 100);
  SDL_SetColorKey(picture.get(), SDL_SRCCOLORKEY | SDL_RLEACCEL, kKey);
  Surface scratch(qbte_test::NewTarget(48, 16));
  SDL_BlitSurface(picture.get(), NULL, scratch.get(), NULL);   // encodes the picture run-length
  ASSERT_TRUE(picture->flags & SDL_RLEACCEL);
  ASSERT_EQ(Import(picture.get(), 16, 16), 1);
  EXPECT_EQ(Cells(1), (std::vector<Sint32>{1, 1, 2}));
  EXPECT_EQ(Pixel(ImportedTileset(), 16 + 2, 3), ContentPixel(2, 2, 3));   // raw, not blended at 100
  EXPECT_TRUE(picture->flags & SDL_SRCCOLORKEY);
  EXPECT_TRUE(picture->flags & SDL_SRCALPHA);
  EXPECT_EQ(picture->format->colorkey, kKey);
  EXPECT_EQ(picture->format->alpha, 100);
  EXPECT_EQ(picture->locked, 0);
}

TEST_F(LayerImageTest, RefusalsAreLoggedAndLeaveTheEngineAsItWas) {
  Surface good = BlockPicture(2, 1, 32, 32, [](int c, int) { return c + 1; });
  Surface rgb24(SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 32, 24, 0xFF, 0xFF00, 0xFF0000, 0));
  Surface bits1(SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 32, 1, 0, 0, 0, 0));
  // SDL keeps the row length in 16 bits: a surface made around wider rows has a wrapped pitch.
  std::vector<Uint32> wideRow(20000);
  Surface wrapped(SDL_CreateRGBSurfaceFrom(wideRow.data(), 20000, 1, 32, 80000, 0, 0, 0, 0));
  Surface tall(SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 40000, 8, 0, 0, 0, 0));
  std::vector<Uint8> longRow(40000);   // a sound pitch, but columns beyond what SDL rectangles reach
  Surface wide(SDL_CreateRGBSurfaceFrom(longRow.data(), 40000, 1, 8, 40000, 0, 0, 0, 0));
  ASSERT_TRUE(rgb24 && bits1 && wrapped && tall && wide);
  ASSERT_LT(wrapped->pitch, 80000);

  cQBTE_TileEngine closed;
  EXPECT_EQ(ImportSurfaceToLayer(&closed, 0, good.get(), 32, 32, 100, -1), -1);
  EXPECT_EQ(ImportSurfaceToLayer(NULL, 0, good.get(), 32, 32, 100, -1), -1);
  Start(2);
  AddTiles(1);
  Layer(0, 2, 2, 32, 32, [](int, int) { return 1; });
  struct Case {
    int layer, tw, th;
    SDL_Surface* picture;
    int expected;
  } cases[] = {
      {-1, 32, 32, good.get(), -1}, {2, 32, 32, good.get(), -1},   {0, 32, 32, good.get(), -1},
      {1, 0, 32, good.get(), -1},   {1, 32, -4, good.get(), -1},   {1, 32, 32, NULL, -2},
      {1, 32, 32, rgb24.get(), -2}, {1, 32, 32, bits1.get(), -2},  {1, 30, 32, good.get(), -3},
      {1, 32, 30, good.get(), -4},  {1, 1, 1, wrapped.get(), -7},  {1, 1, 8, tall.get(), -7},
      {1, 8, 1, wide.get(), -7},
  };
  for (const Case& c : cases) {
    size_t errors = LogCount(" [QBTE] Error: the surface can not be imported");
    EXPECT_EQ(ImportSurfaceToLayer(engine.get(), c.layer, c.picture, c.tw, c.th, 100, -1), c.expected)
        << "layer " << c.layer << " tile " << c.tw << "x" << c.th;
    EXPECT_EQ(LogCount(" [QBTE] Error: the surface can not be imported"), errors + 1);
    ExpectNothingImported(1, 1);
  }
  EXPECT_EQ(Cells(0), (std::vector<Sint32>{1, 1, 1, 1}));
}

TEST_F(LayerImageTest, ATilesetTheEngineRefusesIsDeletedAndNothingIsAttached) {
  Start(2);
  ASSERT_EQ(AddTiles(0x1FFFFFFE, 32, 32, 1, 1), 0x1FFFFFFE);   // no id is left after it
  int tilesBefore = Yandorix.numtiles;
  Surface picture = BlockPicture(1, 1, 32, 32, [](int, int) { return 1; });
  EXPECT_EQ(Import(picture.get()), -8);
  EXPECT_TRUE(LogHas("(the engine refused the new tileset)"));
  EXPECT_EQ(Yandorix.numtiles, tilesBefore);
  ExpectNothingImported(1, 1);
}
