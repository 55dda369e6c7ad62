// Layers out to image files and back: export, import at accuracy 100 and export again give the same
// pixels (PNG and BMP, with and without a keyed tileset), and image files that cannot be imported.
#include "LayerImageTest.h"
#include <map>

using namespace layerimg_test;
using qbte_test::Pixel;

namespace {

class RoundTripTest : public LayerImageTest {
 protected:
  // Layer 0: 8 x 6 cells of 32 x 32 that repeat 5 tiles, with empty cells in between.
  void Scene(bool keyed) {
    Start(3);
    Yandorix_CTile* tile = qbte_test::NewTileset("scene", 4, 2, 32, 32);
    if (keyed) tile->SetColorKey(0x10, 0x20, 0x30);
    engine->GetTilesetAt(engine->FindTileset((Uint32)engine->AddTileset(tile, 1)))->resourceControl = 1;
    Layer(0, 6, 8, 32, 32, [](int c, int r) { return (c + r) % 3 == 0 ? 0 : (c * 3 + r) % 5 + 1; });
  }
  Surface ExportOf(int layer) {
    SDL_Surface* out = NULL;
    EXPECT_EQ(ExportLayersToSurface(engine.get(), layer, &out), 1);
    return Surface(out);
  }
  // Layer 1's cells name the same tiles as layer 0's, one to one. Empty cells come back empty when
  // their colour is the key, else as one more tile of the background's colour.
  void ExpectSameTiling(bool keyed) {
    std::vector<Sint32> first = Cells(0), second = Cells(1);
    ASSERT_EQ(first.size(), second.size());
    std::map<Sint32, Sint32> to, from;
    for (size_t i = 0; i < first.size(); ++i) {
      EXPECT_EQ(to.emplace(first[i], second[i]).first->second, second[i]) << "cell " << i;
      EXPECT_EQ(from.emplace(second[i], first[i]).first->second, first[i]) << "cell " << i;
    }
    EXPECT_EQ(to.size(), 6u);
    EXPECT_EQ(to[0] == 0, keyed);
  }
  // The key the loaded file's pixels carry for the tileset's key colour (-1 without one).
  int KeyInFile(const char* file, bool keyed) {
    if (!keyed) return -1;
    Surface loaded(IImage->LoadIMG(file));
    return loaded ? (int)SDL_MapRGB(loaded->format, 0x10, 0x20, 0x30) : -1;
  }
  void RoundTrip(const char* file, bool keyed) {
    Scene(keyed);
    Surface before = ExportOf(0);
    ASSERT_EQ(ExportLayerToImage(engine.get(), 0, file), 1);
    ASSERT_EQ(ImportImageToLayer(engine.get(), 1, file, 32, 32, 100, KeyInFile(file, keyed)), 1);
    ExpectSameTiling(keyed);
    engine->SetLayerFlags(1, QBTE_RENDER, 1);
    Surface after = ExportOf(1);
    EXPECT_TRUE(SamePixels(before.get(), after.get()));
  }
};

}  // namespace

TEST_F(RoundTripTest, PngExportImportExportGivesTheSamePixels) { RoundTrip("layer.png", false); }
TEST_F(RoundTripTest, BmpExportImportExportGivesTheSamePixels) { RoundTrip("layer.bmp", false); }
TEST_F(RoundTripTest, KeyedPngRoundTripKeepsEmptyCellsEmpty) { RoundTrip("keyed.png", true); }
TEST_F(RoundTripTest, KeyedBmpRoundTripKeepsEmptyCellsEmpty) { RoundTrip("keyed.bmp", true); }

TEST_F(RoundTripTest, FilesThatCannotBeImported) {
  Scene(false);
  EXPECT_EQ(ImportImageToLayer(engine.get(), 1, NULL, 32, 32, 100, -1), -1);
  EXPECT_EQ(ImportImageToLayer(engine.get(), 1, "missing.png", 32, 32, 100, -1), -6);
  EXPECT_TRUE(LogHas("\n [QBTE] Error: can not load 'missing.png' file image in to layer ID '1'\n"));
  ASSERT_TRUE(ydxtest::WriteFile("notes.png", "not a picture"));
  EXPECT_EQ(ImportImageToLayer(engine.get(), 1, "notes.png", 32, 32, 100, -1), -6);
  // A loadable file still goes through every check of the import.
  ASSERT_EQ(ExportLayerToImage(engine.get(), 0, "layer.png"), 1);
  EXPECT_EQ(ImportImageToLayer(engine.get(), 0, "layer.png", 32, 32, 100, -1), -1);   // layer 0 has a map
  EXPECT_EQ(ImportImageToLayer(engine.get(), 1, "layer.png", 48, 32, 100, -1), -3);
  ExpectNothingImported(1, 1);
}
