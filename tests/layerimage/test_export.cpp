// Layers into surfaces and image files: cells at their places with flips, backgrounds from keys of
// any depth and from per-pixel alpha, stacking, SDL's size limits, and files written only when every
// check passed, with failed writes reported and the old file kept.
#include "LayerImageTest.h"
#include "00_Platform.h"

using namespace layerimg_test;
using qbte_test::Pixel;
using qbte_test::TileAt;

namespace {

class ExportTest : public LayerImageTest {
 protected:
  // Layer 0: 4 x 3 cells of 32 x 32 from a 16 x 16 tileset at id 1; cell (c, r) shows id c + 4r + 1,
  // cell (3, 2) is empty and cell (2, 2) shows its tile mirrored.
  void Scene() {
    Start(2);
    AddTiles(1);
    Layer(0, 3, 4, 32, 32, [](int c, int r) {
      if (c == 3 && r == 2) return 0;
      return c == 2 && r == 2 ? (int)(0x80000000u | 11u) : c + 4 * r + 1;
    });
  }
  // A one-tile tileset from a surface, added at gid and owned by the engine.
  int AddSurfaceTileset(SDL_Surface* surface, int gid, const char* name = "surface") {
    Yandorix_CTile* tile = new Yandorix_CTile;
    tile->Create(surface, name);
    tile->SetTileSet(1, surface->w, surface->h);
    int first = engine->AddTileset(tile, gid);
    engine->GetTilesetAt(engine->FindTileset((Uint32)first))->resourceControl = 1;
    return first;
  }
  int Export(int layer, SDL_Surface** out) { return ExportLayersToSurface(engine.get(), layer, out); }
};

}  // namespace

TEST_F(ExportTest, MapsWithoutReadableCellsAreSkipped) {
  Scene();
  engine->SetLayerMapData(1, new qbte_test::ForeignMap("own", 32, 2));
  engine->SetLayerResourceControl(1, 1);
  engine->SetLayerFlags(1, QBTE_RENDER, 1);
  ASSERT_EQ(engine->GetLayerFlags(1), QBTE_RENDER);
  SDL_Surface* out = NULL;
  EXPECT_EQ(Export(1, &out), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: layer 'TE-LAYER-EMTPY' with ID '1' has a mapdata type 'own' that can not be exported.\n"));
  ASSERT_EQ(Export(-1, &out), 1);
  EXPECT_TRUE(LogHas("exported '1' layers"));
  SDL_FreeSurface(out);
}

TEST_F(ExportTest, CellsAreDrawnAtTheirPlaces) {
  Scene();
  SDL_Surface* out = NULL;
  ASSERT_EQ(Export(0, &out), 1);
  Surface surface(out);
  EXPECT_EQ(surface->w, 128);
  EXPECT_EQ(surface->h, 96);
  EXPECT_EQ(surface->format->BitsPerPixel, 32);
  EXPECT_EQ(surface->format->Amask, 0u);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(TileAt(Pixel(out, c * 32 + 5, r * 32 + 5)), c + 4 * r + 1);
  EXPECT_TRUE(Pixel(out, 0, 0) & qbte_test::kLeftCol);
  EXPECT_EQ(Pixel(out, 3 * 32 + 5, 2 * 32 + 5), 0u);              // the empty cell keeps the background
  EXPECT_TRUE(Pixel(out, 2 * 32 + 31, 2 * 32 + 5) & qbte_test::kLeftCol);   // mirrored
  EXPECT_FALSE(Pixel(out, 2 * 32, 2 * 32 + 5) & qbte_test::kLeftCol);
  EXPECT_TRUE(LogHas("\n [QBTE] Info: exported '1' layers to the given surface\n"));
}

TEST_F(ExportTest, RefusalsAndLayersThatDoNotQualify) {
  cQBTE_TileEngine closed;
  SDL_Surface* out = NULL;
  EXPECT_EQ(ExportLayersToSurface(&closed, 0, &out), -1);
  EXPECT_EQ(ExportLayersToSurface(NULL, 0, &out), -1);
  Scene();
  EXPECT_EQ(Export(2, &out), -2);
  EXPECT_EQ(Export(0, NULL), -3);
  SDL_Surface* held = qbte_test::NewTarget(4, 4);
  out = held;
  EXPECT_EQ(Export(0, &out), -3);
  EXPECT_EQ(out, held);
  SDL_FreeSurface(held);
  out = NULL;
  EXPECT_EQ(Export(1, &out), 0);   // no map
  engine->SetLayerAlpha(0, 0);
  EXPECT_EQ(Export(-1, &out), 0);
  engine->SetLayerAlpha(0, 255);
  engine->SetLayerFlags(0, QBTE_RENDER, 0);
  EXPECT_EQ(Export(0, &out), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(LogCount(" [QBTE] Error: "), 5u);
  EXPECT_EQ(LogCount(" [QBTE] Warning: no layer to export"), 3u);
}

TEST_F(ExportTest, TheBackgroundIsTheColourOfTheLastKeyMet) {
  Start(2);
  // A 16-bit keyed tileset: its key value 0xF81F is magenta, 0xF800F8 in the 32-bit export.
  Surface keyed(SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 16, 0xF800, 0x07E0, 0x001F, 0));
  SDL_FillRect(keyed.get(), NULL, 0xF81F);
  SDL_Rect dot = {0, 0, 2, 2};
  SDL_FillRect(keyed.get(), &dot, 0x001F);
  SDL_SetColorKey(keyed.get(), SDL_SRCCOLORKEY, 0xF81F);
  AddTiles(1, 8, 8, 2, 1);
  int gid = AddSurfaceTileset(keyed.get(), 10, "keyed");
  Layer(0, 1, 3, 8, 8, [gid](int c, int) { return c == 1 ? gid : c / 2 + 1; });
  SDL_Surface* out = NULL;
  ASSERT_EQ(Export(0, &out), 1);
  Surface surface(out);
  Uint8 r, g, b;
  SDL_GetRGB(0xF81F, keyed->format, &r, &g, &b);
  EXPECT_EQ(Pixel(out, 8 + 5, 5), SDL_MapRGB(out->format, r, g, b));   // through the keyed tile
  EXPECT_GE(r, 0xF8);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(Pixel(out, 8, 0) & 0xFFFF00, 0u);   // the blue dot
  EXPECT_GE(Pixel(out, 8, 0) & 0xFF, 0xF8u);
  EXPECT_EQ(TileAt(Pixel(out, 17, 1)), 2);
}

TEST_F(ExportTest, PerPixelAlphaLayersStayTransparentAndKeepTheirAlpha) {
  Start(2);
  Surface rgba(SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
  SDL_FillRect(rgba.get(), NULL, 0x80102030);
  SDL_Rect corner = {0, 0, 1, 1};
  SDL_FillRect(rgba.get(), &corner, 0xFF405060);
  int gid = AddSurfaceTileset(rgba.get(), 1, "rgba");
  Layer(0, 1, 3, 8, 8, [gid](int c, int) { return c == 0 ? gid : (c == 1 ? 0 : (int)(0x80000000u | (Uint32)gid)); });
  SDL_Surface* out = NULL;
  ASSERT_EQ(Export(0, &out), 1);
  Surface surface(out);
  EXPECT_EQ(out->format->Rmask, 0x000000FFu);
  EXPECT_EQ(out->format->Amask, 0xFF000000u);
  SDL_Color c = ydxtest::ColorAt(out, 3, 3);
  EXPECT_EQ(c.unused, 0x80);
  EXPECT_EQ(c.r, 0x10);
  EXPECT_EQ(c.b, 0x30);
  EXPECT_EQ(ydxtest::ColorAt(out, 0, 0).unused, 0xFF);
  EXPECT_EQ(ydxtest::ColorAt(out, 12, 3).unused, 0);       // the empty cell
  EXPECT_EQ(ydxtest::ColorAt(out, 16 + 7, 0).unused, 0xFF);   // mirrored: the opaque corner moved right
  EXPECT_EQ(ydxtest::ColorAt(out, 16 + 3, 3).unused, 0x80);
  EXPECT_EQ(engine->GetTilesetTile(gid)->GetAlpha(), 256);   // the tileset's own tile is unchanged
}

TEST_F(ExportTest, LaterLayersAreKeyedOverTheFirst) {
  Scene();
  Surface keyedImage = qbte_test::TilesetImage(2, 1, 32, 32);
  SDL_SetColorKey(keyedImage.get(), SDL_SRCCOLORKEY, qbte_test::TilePixel(2, 1, 1));
  int gid = AddSurfaceTileset(keyedImage.get(), 300, "top");
  // Layer 1 is larger than layer 0 and mostly empty: it is cut to layer 0's size.
  Layer(1, 10, 10, 32, 32, [gid](int c, int r) { return c == 1 && r == 0 ? gid : 0; });
  SDL_Surface* out = NULL;
  ASSERT_EQ(Export(-1, &out), 1);
  Surface surface(out);
  EXPECT_EQ(surface->w, 128);
  EXPECT_EQ(TileAt(Pixel(out, 32 + 5, 5)), 1);    // layer 1's tile over layer 0's tile 2
  EXPECT_EQ(TileAt(Pixel(out, 5, 5)), 1);         // layer 0 shows through the empty cells
  EXPECT_EQ(TileAt(Pixel(out, 64 + 5, 32 + 5)), 7);
  EXPECT_TRUE(LogHas("exported '2' layers to the given surface"));
}

TEST_F(ExportTest, PicturesLargerThanSDLSurfacesAreRefused) {
  Start(2);
  AddTiles(1);
  Layer(0, 1, 512, 32, 32, [](int, int) { return 1; });   // 16384 pixels wide
  Layer(1, 1024, 1, 32, 32, [](int, int) { return 1; });  // 32768 rows
  SDL_Surface* out = NULL;
  EXPECT_EQ(Export(0, &out), -4);
  EXPECT_EQ(Export(1, &out), -4);
  EXPECT_EQ(Export(-1, &out), -4);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(LogHas("would be a 16384x32 picture, larger than SDL surfaces can be (16383 pixels wide, 32767 rows)"));
  engine->ResetLayer(0);
  engine->ResetLayer(1);
  Layer(0, 1, 511, 32, 32, [](int, int) { return 1; });
  ASSERT_EQ(Export(0, &out), 1);
  EXPECT_EQ(out->w, 16352);
  EXPECT_EQ(TileAt(Pixel(out, 16351, 31)), 1);
  SDL_FreeSurface(out);
}

TEST_F(ExportTest, ImageFilesAreWrittenOnlyWhenEveryCheckPasses) {
  Scene();
  EXPECT_EQ(ExportLayerToImage(engine.get(), 0, NULL), -1);
  EXPECT_EQ(ExportLayerToImage(engine.get(), 0, "layer.jpg"), -5);
  EXPECT_EQ(ExportLayerToImage(engine.get(), 5, "layer.png"), -2);
  EXPECT_EQ(ExportLayerToImage(engine.get(), 1, "layer.png"), 0);
  cQBTE_TileEngine closed;
  EXPECT_EQ(ExportLayerToImage(&closed, 0, "layer.png"), -1);
  EXPECT_FALSE(ydxtest::FileExists("layer.jpg"));
  EXPECT_FALSE(ydxtest::FileExists("layer.png"));
  EXPECT_FALSE(LogHas("Export time"));

  ASSERT_EQ(ExportLayerToImage(engine.get(), 0, "layer.png"), 1);
  ASSERT_EQ(ExportLayerToImage(engine.get(), -1, "layer.BMP"), 1);
  EXPECT_TRUE(LogHas("Export time: 0ms\n"));
  EXPECT_TRUE(LogHas("                         - surface saved to 'layer.png' image file\n"));
  EXPECT_EQ(IImage->isPNG("layer.png"), 1);   // pixels read back: see the round-trip tests
  EXPECT_EQ(IImage->isBMP("layer.BMP"), 1);
}

TEST_F(ExportTest, AFailedWriteIsReportedAndKeepsTheOldFile) {
  Scene();
  ASSERT_TRUE(ydxtest::WriteFile("layer.png", "old picture"));
  ydxplat::SetFaultHook([](ydxplat::FaultOp op, const char*, size_t*) { return op == ydxplat::kOpWrite ? 28 : 0; });
  EXPECT_EQ(ExportLayerToImage(engine.get(), 0, "layer.png"), -6);
  EXPECT_EQ(ExportLayerToImage(engine.get(), 0, "other.bmp"), -6);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("layer.png"), "old picture");
  EXPECT_FALSE(ydxtest::FileExists("other.bmp"));
  EXPECT_TRUE(LogHas(" [QBTE] Error: the exported layers could not be written to 'layer.png' image file.\n"));
  EXPECT_FALSE(LogHas("surface saved to"));
}
