// Level files: a save and a load give back every field, cell and tileset pixel; a second save differs
// only in its date and rewrites no image; tileset paths stay put across load and save cycles (files
// and archives); archive storage; choosing the level by name; custom maps placed before the base map;
// layers that are skipped or not ready; every failure code, with the user's files left intact.
#include "LevelTest.h"
#include "00_Platform.h"
#include <errno.h>
#include <regex>
#include <stdlib.h>

using level_test::CellsOf;
using level_test::PixelsOf;
using level_test::WriteTilesetPNG;

namespace {

const Uint32 kFlipped = 0x80000000u;

// A minimal level element: one 2 x 2 layer whose cells all hold `cell`, over tiles.png (gid 1).
std::string LevelElement(const char* name, int cell, const char* extraAttributes = "") {
  char text[1024];
  snprintf(text, sizeof text,
           "<qbse_level version=\"1.10\" %s%s%s %s>"
           "<tileset gid=\"1\" name=\"tiles\" source=\"tiles.png\" tilewidth=\"32\" tileheight=\"32\" colorkey=\"-1\" "
           "alphavalue=\"255\"/>"
           "<layer id=\"0\" name=\"ground\" status=\"41\" parallax_ratio=\"1\" position_x=\"0\" position_y=\"0\" "
           "speed_x=\"0\" speed_y=\"0\"><mapdata type=\"base\" width=\"2\" height=\"2\" cellwidth=\"32\" "
           "cellheight=\"32\">%d,%d,%d,%d</mapdata></layer></qbse_level>",
           name ? "name=\"" : "", name ? name : "", name ? "\"" : "", extraAttributes, cell, cell, cell, cell);
  return text;
}

std::string WithoutModificationDate(const std::string& text) {
  return std::regex_replace(text, std::regex("modification_date=\"[^\"]*\""), "modification_date=\"\"");
}

// A map of another type that reads the level form like the base map.
int customMapsDeleted = 0;
class CustomMap : public cQBTE_MapBase {
 public:
  CustomMap(int rows, int columns) : cQBTE_MapBase(rows, columns) { SetType("custom"); }
  ~CustomMap() override { ++customMapsDeleted; }
};
cQBTE_MapData* CreateCustomMap(int rows, int columns) { return new CustomMap(rows, columns); }

const char* failingEnding = "";
int FailOpensOf(ydxplat::FaultOp op, const char* path, size_t*) {
  return op == ydxplat::kOpOpen && path && MatchExtension(path, failingEnding) ? EIO : 0;
}
int FailRenamesOf(ydxplat::FaultOp op, const char* path, size_t*) {
  return op == ydxplat::kOpRename && path && MatchExtension(path, failingEnding) ? EIO : 0;
}

class LevelFileTest : public LevelTest {
 protected:
  void TearDown() override {
    ydxplat::SetFaultHook(nullptr);
    LevelTest::TearDown();
  }

  // Two layers and two tilesets with something unusual in every field: a PNG tileset with a colour
  // key and alpha, a tileset made in memory (default source), flipped cells, fractional positions
  // and speeds, a grid colour with the top bit set, layer alpha, LoopX and SmoothScroll.
  void BuildLevel() {
    Fresh(4);
    WriteTilesetPNG("tiles.png", 4, 5);
    ASSERT_EQ(engine->LoadTilesetImage("tiles.png", "tiles", 32, 32, 1), 1);
    Yandorix_CTile* tiles = engine->GetTilesetTile(1);
    tiles->SetColorKey((int)SDL_MapRGB(tiles->GetSurface()->format, 0x20, 0, 3));
    tiles->SetAlpha(200);
    ASSERT_EQ(AddTiles(100, 16, 16, 4, 4, "made"), 100);
    Layer(
        0, 4, 6, 32, 32, [](int c, int r) { return (Sint32)(((c + r * 6) % 20 + 1) | (c == 2 ? kFlipped : 0)); },
        QBTE_RENDER | QBTE_UPDATE | QBTE_LOOPX | QBTE_SMOOTHSCROLL);
    Layer(
        2, 2, 3, 16, 16, [](int c, int) { return c == 1 ? 0 : 100 + c; }, QBTE_RENDER);
    engine->SetLayerName(0, "ground");
    engine->SetLayerName(2, "top");
    L(0)->parallaxRatio = 0.3f;
    L(0)->posX = 12.345f;
    L(0)->posY = 1.0f / 3.0f;
    L(0)->speedX = 1.25f;
    L(0)->speedY = -3.1f;
    L(0)->gridColor = 0xFF00FF10u;
    L(0)->alpha = 77;
    SDL_Rect view = {5, 6, 300, 200};
    engine->SetViewport(&view);
    engine->SetLevelName("castle");
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Round trips

TEST_F(LevelFileTest, SaveAndLoadGiveBackEveryFieldCellAndPixel) {
  BuildLevel();
  std::vector<Uint32> tilesPixels = PixelsOf(engine->GetTilesetTile(1)->GetSurface());
  std::vector<Uint32> madePixels = PixelsOf(engine->GetTilesetTile(100)->GetSurface());
  std::vector<Sint32> cells0 = CellsOf(L(0)->mapData), cells2 = CellsOf(L(2)->mapData);
  int colorKey = engine->GetTilesetTile(1)->GetColorKey();
  Uint32 flags0 = L(0)->flags;
  ASSERT_EQ(SaveLevel(engine.get(), "castle.xml", NULL, NULL), 1);
  std::string created = engine->GetCreationDate(), modified = engine->GetModificationDate();
  EXPECT_TRUE(ydxtest::FileExists("castle.qbm"));  // the extension given is replaced
  EXPECT_TRUE(ydxtest::FileExists("made.png"));    // the default source becomes the tile's name
  EXPECT_TRUE(LogHas(" [QBTE] Info: 'castle' level successfully saved to 'castle.qbm'.\n"));

  Fresh(4);
  ASSERT_EQ(LoadLevel(engine.get(), "castle.qbm", NULL, NULL), 1);
  EXPECT_TRUE(LogHas("\n [QBTE] Info: trying to load 'castle' level from 'castle.qbm'...\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: 'castle' level successfully loaded.\n\n"));
  EXPECT_STREQ(engine->GetLevelName(), "castle");
  EXPECT_EQ(engine->GetCreationDate(), created);
  EXPECT_EQ(engine->GetModificationDate(), modified);
  const SDL_Rect* view = engine->GetViewport();
  EXPECT_EQ(view->x, 5);
  EXPECT_EQ(view->y, 6);
  EXPECT_EQ(view->w, 300);
  EXPECT_EQ(view->h, 200);

  EXPECT_STREQ(L(0)->name, "ground");
  EXPECT_EQ(L(0)->flags, flags0);
  EXPECT_EQ(L(0)->parallaxRatio, 0.3f);
  EXPECT_EQ(L(0)->posX, 12.345f);
  EXPECT_EQ(L(0)->posY, 1.0f / 3.0f);
  EXPECT_EQ(L(0)->speedX, 1.25f);
  EXPECT_EQ(L(0)->speedY, -3.1f);
  EXPECT_EQ(L(0)->gridColor, 0xFF00FF10u);
  EXPECT_EQ(L(0)->alpha, 77);
  EXPECT_EQ(L(0)->resourceControl, 2);
  EXPECT_EQ(L(0)->snap, 1);
  EXPECT_EQ(CellsOf(L(0)->mapData), cells0);
  EXPECT_EQ(CellsOf(L(2)->mapData), cells2);
  EXPECT_EQ(L(2)->mapData->GetCellWidth(), 16);
  EXPECT_EQ(L(2)->flags, (Uint32)QBTE_RENDER);
  EXPECT_EQ(L(1)->mapData, nullptr);

  ASSERT_EQ(engine->GetTilesetCount(), 2);
  EXPECT_STREQ(engine->GetTilesetSource(1), "tiles.png");
  EXPECT_STREQ(engine->GetTilesetSource(100), "made.png");
  EXPECT_EQ(engine->GetTilesetAt(0)->resourceControl, 2);
  EXPECT_EQ(engine->GetTilesetTile(1)->GetColorKey(), colorKey);
  EXPECT_EQ(engine->GetTilesetTile(1)->GetAlpha(), 200);
  int tileWidth = 0, tileHeight = 0;
  engine->GetTilesetTile(100)->GetOffset(&tileWidth, &tileHeight);
  EXPECT_EQ(tileWidth, 16);
  EXPECT_EQ(tileHeight, 16);
  EXPECT_EQ(PixelsOf(engine->GetTilesetTile(100)->GetSurface()), madePixels);
  engine->GetTilesetTile(1)->SetColorKey(-1);  // compare every pixel, keyed or not
  EXPECT_EQ(PixelsOf(engine->GetTilesetTile(1)->GetSurface()), tilesPixels);
}

TEST_F(LevelFileTest, SavingTwiceDiffersOnlyInTheDateAndRewritesNoImage) {
  BuildLevel();
  ASSERT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), 1);
  std::string first = ydxtest::ReadFile("castle.qbm");
  ydxtest::WriteFile("made.png", "changed by the user");
  ASSERT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), 1);
  EXPECT_EQ(WithoutModificationDate(ydxtest::ReadFile("castle.qbm")), WithoutModificationDate(first));
  EXPECT_EQ(ydxtest::ReadFile("made.png"), "changed by the user");
  // Decimals are written so they read back as they were.
  EXPECT_NE(first.find("position_x=\"12.345\""), std::string::npos);
  EXPECT_NE(first.find("<!--Quembrook TileEngine - Yandorix SDK-->"), std::string::npos);
}

TEST_F(LevelFileTest, TilesetSourcesStayRelativeAcrossLoadAndSaveCycles) {
  ASSERT_EQ(Yandorix.MakeDirectory("maps/x"), 1);
  Fresh(2);
  WriteTilesetPNG("maps/tiles.png", 4, 5);
  ydxtest::WriteFile("maps/town.qbm", LevelElement("town", 3));
  for (int cycle = 0; cycle < 3; ++cycle) {
    Fresh(2);
    ASSERT_EQ(LoadLevel(engine.get(), "maps/town.qbm", NULL, NULL), 1) << cycle;
    EXPECT_STREQ(engine->GetTilesetSource(1), "tiles.png");
    ASSERT_EQ(SaveLevel(engine.get(), "maps/town.qbm", NULL, NULL), 1);
  }
  EXPECT_FALSE(ydxtest::FileExists("maps/maps"));
  EXPECT_NE(ydxtest::ReadFile("maps/town.qbm").find("source=\"tiles.png\""), std::string::npos);
}

TEST_F(LevelFileTest, ArchiveTilesetSourcesStayRelativeToo) {
  ASSERT_EQ(Yandorix.MakeDirectory("maps/x"), 1);
  BuildLevel();
  ASSERT_EQ(SaveLevel(engine.get(), "town.xml", "maps/pack.dat", NULL), 1);
  for (int cycle = 0; cycle < 2; ++cycle) {
    Fresh(4);
    ASSERT_EQ(LoadLevel(engine.get(), "town.qbm", "maps/pack.dpf", NULL), 1) << cycle;
    EXPECT_TRUE(LogHas("level from 'town.qbm' stored in a DPF...\n"));
    EXPECT_STREQ(engine->GetTilesetSource(100), "pack.dpf");
    ASSERT_EQ(SaveLevel(engine.get(), "town.qbm", "maps/pack.dpf", NULL), 1);
  }
  EXPECT_FALSE(ydxtest::FileExists("maps/maps"));
}

TEST_F(LevelFileTest, ArchiveHoldsTheLevelAndItsTilesetBlocks) {
  BuildLevel();
  ASSERT_EQ(SaveLevel(engine.get(), "town.xml", "pack.dat", NULL), 1);
  ASSERT_EQ(SaveLevel(engine.get(), "town.xml", "pack.dat", "renamed"), 1);
  EXPECT_TRUE(LogHas(" [QBTE] Info: 'renamed' level successfully saved to 'pack.dpf'.\n"));
  EXPECT_FALSE(ydxtest::FileExists("pack.dat"));
  int dpf = IStuffDPF->Open("pack.dpf");
  ASSERT_GT(dpf, 0);
  int liveFiles = 0, liveTiles = 0;
  DPF_BlockData block;
  for (int found = IStuffDPF->FindFirst(dpf, &block); found == 1; found = IStuffDPF->FindNext(dpf, &block)) {
    if (strcmp(block.type, "FILE") == 0 && strcmp(block.name, "town.qbm") == 0) ++liveFiles;
    if (strcmp(block.type, "TILE2") == 0 && strcmp(block.name, "made") == 0) ++liveTiles;
  }
  IStuffDPF->Close(dpf);
  EXPECT_EQ(liveFiles, 1);
  EXPECT_EQ(liveTiles, 1);
  EXPECT_TRUE(ydxtest::FileExists("tiles.png"));  // image sources stay files beside the archive

  Fresh(4);
  ASSERT_EQ(LoadLevel(engine.get(), "town.qbm", "pack.dpf", NULL), 1);
  EXPECT_STREQ(engine->GetLevelName(), "renamed");
  EXPECT_EQ(engine->GetTilesetAt(engine->FindTileset(100))->tileCount, 16);
}

TEST_F(LevelFileTest, TilesetThatCannotBeStoredIsNamedInTheDocument) {
  BuildLevel();
  ydxtest::WriteFile("broken.dpf", "not an archive");
  sQBTE_Tileset* made = engine->GetTilesetAt(engine->FindTileset(100));
  free(made->source);
  made->source = strdup("broken.dpf");
  EXPECT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), 0);
  std::string text = ydxtest::ReadFile("castle.qbm");
  EXPECT_NE(text.find("<error_msg_1>"), std::string::npos);
  EXPECT_NE(text.find("Tileset 'made' with ID '100' could not be saved into the DPF 'broken.dpf'"), std::string::npos);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: can not save 'made' tileset with ID '100' into the DPF 'broken.dpf'\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: 'castle' level saved to 'castle.qbm' but some issues were detected.\n"));
  EXPECT_EQ(ydxtest::ReadFile("broken.dpf"), "not an archive");
}

// ---------------------------------------------------------------------------------------------------
// Choosing the level, skipped and partial layers, custom maps

TEST_F(LevelFileTest, LevelNamePicksTheElement) {
  Fresh(2);
  WriteTilesetPNG("tiles.png", 4, 5);
  ydxtest::WriteFile("days.qbm", LevelElement("day", 1) + LevelElement(NULL, 5) + LevelElement("night", 2));
  ASSERT_EQ(LoadLevel(engine.get(), "days.qbm", NULL, "night"), 1);
  EXPECT_STREQ(engine->GetLevelName(), "night");
  EXPECT_EQ(CellsOf(L(0)->mapData), std::vector<Sint32>(4, 2));
  Fresh(2);
  ASSERT_EQ(LoadLevel(engine.get(), "days.qbm", NULL, NULL), 1);
  EXPECT_EQ(CellsOf(L(0)->mapData), std::vector<Sint32>(4, 1));
  Fresh(2);
  EXPECT_EQ(LoadLevel(engine.get(), "days.qbm", NULL, "Night"), -5);  // case-sensitive
  EXPECT_TRUE(LogHas(" [QBTE] Error: 'days.qbm' can not be loaded as a level: it has no level named 'Night'.\n"));
}

TEST_F(LevelFileTest, LoadRefusals) {
  cQBTE_TileEngine idle;
  EXPECT_EQ(LoadLevel(&idle, "x.qbm", NULL, NULL), -1);
  EXPECT_EQ(LoadLevel(NULL, "x.qbm", NULL, NULL), -1);
  Fresh(2);
  EXPECT_EQ(LoadLevel(engine.get(), NULL, NULL, NULL), -2);
  EXPECT_EQ(LoadLevel(engine.get(), "missing.qbm", NULL, NULL), -3);
  ydxtest::WriteFile("other.qbm", "<map/>");
  EXPECT_EQ(LoadLevel(engine.get(), "other.qbm", NULL, NULL), -4);
  EXPECT_TRUE(LogHas("'other.qbm' can not be loaded as a level: it has no 'qbse_level' element.\n"));
  ydxtest::WriteFile("nameless.qbm", LevelElement(NULL, 1));
  EXPECT_EQ(LoadLevel(engine.get(), "nameless.qbm", NULL, NULL), -6);
  EXPECT_EQ(LoadLevel(engine.get(), "nameless.qbm", NULL, "any"), -5);
  EXPECT_EQ(LoadLevel(engine.get(), "x.qbm", "missing.dpf", NULL), -3);
  EXPECT_EQ(L(0)->mapData, nullptr);
  EXPECT_EQ(engine->GetTilesetCount(), 0);
}

TEST_F(LevelFileTest, SkippedLayersAndMissingTilesetsGivePartialLoads) {
  Fresh(2);
  ydxtest::WriteFile("partial.qbm",
                     "<qbse_level name=\"partial\">"
                     "<tileset gid=\"1\" name=\"tiles\" source=\"absent.png\" tilewidth=\"32\" tileheight=\"32\"/>"
                     "<layer id=\"0\" name=\"kept name\" parallax_ratio=\"1\" position_x=\"0\" position_y=\"0\" "
                     "speed_x=\"0\" speed_y=\"0\"><mapdata type=\"base\" width=\"1\" height=\"1\" cellwidth=\"8\" "
                     "cellheight=\"8\">1</mapdata></layer>"
                     "<layer id=\"1\" name=\"flat\" status=\"105\" parallax_ratio=\"1\" position_x=\"0\" "
                     "position_y=\"0\" speed_x=\"0\" speed_y=\"0\"><mapdata type=\"base\" width=\"1\" height=\"1\" "
                     "cellwidth=\"8\" cellheight=\"8\">1</mapdata></layer>"
                     "<layer id=\"7\" name=\"beyond\" status=\"0\" parallax_ratio=\"1\" position_x=\"0\" "
                     "position_y=\"0\" speed_x=\"0\" speed_y=\"0\"/>"
                     "</qbse_level>");
  EXPECT_EQ(LoadLevel(engine.get(), "partial.qbm", NULL, NULL), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: some resources could not be loaded: tileset 0/1 and layers 1/3\n\n"));
  EXPECT_STREQ(L(0)->name, "kept name");  // skipped on its missing status, after the name was taken
  EXPECT_EQ(L(0)->mapData, nullptr);
  ASSERT_NE(L(1)->mapData, nullptr);  // loaded, but its tileset is missing: no flags at all
  EXPECT_EQ(L(1)->ready, 0);
  EXPECT_EQ(L(1)->flags, 0u);
  EXPECT_TRUE(LogHas("         . Layer was disabled as it is not ready\n"));
}

TEST_F(LevelFileTest, MapElementsThatCannotBeRead) {
  Fresh(2);
  WriteTilesetPNG("tiles.png", 4, 5);
  ydxtest::WriteFile("maps.qbm",
                     "<qbse_level name=\"maps\">"
                     "<layer id=\"0\" name=\"a\" status=\"41\" parallax_ratio=\"1\" position_x=\"0\" position_y=\"0\" "
                     "speed_x=\"0\" speed_y=\"0\"/>"
                     "<layer id=\"1\" name=\"b\" status=\"41\" parallax_ratio=\"1\" position_x=\"0\" position_y=\"0\" "
                     "speed_x=\"0\" speed_y=\"0\"><mapdata type=\"hexagons\"/>"
                     "<mapdata type=\"base\" width=\"2\" height=\"2\" cellwidth=\"8\" cellheight=\"8\">1</mapdata>"
                     "</layer></qbse_level>");
  EXPECT_EQ(LoadLevel(engine.get(), "maps.qbm", NULL, NULL), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: 'mapdata' subnode was not found while parsing layer ID '0'\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Warning: handler for parsing layer ID '1' mapdata type 'hexagons' was not found.\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Warning: it was not possible to parse mapdata type 'base' found in layer ID '1'\n"));
  EXPECT_EQ(L(1)->mapData, nullptr);
}

TEST_F(LevelFileTest, CustomMapBeforeTheBaseMapTakesItsCells) {
  Fresh(2);
  WriteTilesetPNG("tiles.png", 4, 5);
  ASSERT_EQ(engine->RegisterMapDataFactory(CreateCustomMap), 1);
  const char* layer =
      "<layer id=\"%d\" name=\"c\" status=\"41\" parallax_ratio=\"1\" position_x=\"0\" position_y=\"0\" speed_x=\"0\" "
      "speed_y=\"0\"><mapdata type=\"custom\" width=\"%d\" height=\"2\" cellwidth=\"32\" cellheight=\"32\">%s</mapdata>"
      "<mapdata type=\"base\" width=\"2\" height=\"2\" cellwidth=\"32\" cellheight=\"32\">7,8,9,10</mapdata>"
      "<mapdata type=\"base\" width=\"2\" height=\"2\" cellwidth=\"32\" cellheight=\"32\">1,1,1,1</mapdata></layer>";
  char fits[512], wider[512];
  snprintf(fits, sizeof fits, layer, 0, 2, "0,0,0,0");
  snprintf(wider, sizeof wider, layer, 1, 3, "2,2,2,2,2,2");
  ydxtest::WriteFile("custom.qbm",
                     std::string("<qbse_level name=\"custom\"><tileset gid=\"1\" name=\"tiles\" source=\"tiles.png\" "
                                 "tilewidth=\"32\" tileheight=\"32\"/>") +
                         fits + wider + "</qbse_level>");
  customMapsDeleted = 0;
  EXPECT_EQ(LoadLevel(engine.get(), "custom.qbm", NULL, NULL), 1);
  // The custom map was detached, not deleted, and received the (first) base map's cells.
  ASSERT_NE(dynamic_cast<CustomMap*>(L(0)->mapData), nullptr);
  EXPECT_EQ(CellsOf(L(0)->mapData), (std::vector<Sint32>{7, 8, 9, 10}));
  EXPECT_EQ(L(0)->flags, 41u);
  EXPECT_TRUE(LogHas(" [QBTE] Info: custom mapdata successfully added.\n\n"));
  // A custom map of another size cannot take the cells: it stays, the base map goes.
  ASSERT_NE(dynamic_cast<CustomMap*>(L(1)->mapData), nullptr);
  EXPECT_EQ(CellsOf(L(1)->mapData), std::vector<Sint32>(6, 2));
  EXPECT_EQ(L(1)->flags, 0u);
  EXPECT_EQ(customMapsDeleted, 0);
}

// ---------------------------------------------------------------------------------------------------
// Save refusals and failed writes

TEST_F(LevelFileTest, SaveRefusalsWriteNothing) {
  cQBTE_TileEngine idle;
  EXPECT_EQ(SaveLevel(&idle, "x.qbm", NULL, NULL), -1);
  BuildLevel();
  EXPECT_EQ(SaveLevel(engine.get(), NULL, NULL, NULL), -2);
  sQBTE_Tileset* made = engine->GetTilesetAt(engine->FindTileset(100));
  free(made->source);
  made->source = strdup("made.tga");
  EXPECT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), -3);
  EXPECT_FALSE(ydxtest::FileExists("castle.qbm"));
  EXPECT_FALSE(ydxtest::FileExists("made.png"));
}

// A write that fails, or a name the document refuses (not UTF-8), leaves the previous file as it was.
TEST_F(LevelFileTest, FailedDocumentWriteKeepsThePreviousLevel) {
  BuildLevel();
  ASSERT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), 1);
  std::string before = ydxtest::ReadFile("castle.qbm");
  std::string date = engine->GetModificationDate();
  const struct {
    ydxplat::FaultHook hook;
    const char* layerName;
  } cases[] = {{FailRenamesOf, "changed"}, {nullptr, "caf\xE9"}};
  for (const auto& c : cases) {
    engine->SetLayerName(0, c.layerName);
    failingEnding = ".qbm";
    ydxplat::SetFaultHook(c.hook);
    EXPECT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), -4) << c.layerName;
    ydxplat::SetFaultHook(nullptr);
    EXPECT_EQ(ydxtest::ReadFile("castle.qbm"), before);
    EXPECT_EQ(engine->GetModificationDate(), date);
  }
  EXPECT_EQ(level_test::Count(ydxtest::LogText(), " [QBTE] Error: 'castle' level could not be saved to 'castle.qbm'.\n"),
            2u);
}

TEST_F(LevelFileTest, FailedImageWriteLeavesTheLevelUnwritten) {
  BuildLevel();
  failingEnding = ".png";
  ydxplat::SetFaultHook(FailOpensOf);
  EXPECT_EQ(SaveLevel(engine.get(), "castle.qbm", NULL, NULL), -5);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_FALSE(ydxtest::FileExists("castle.qbm"));
  EXPECT_FALSE(ydxtest::FileExists("made.png"));
  EXPECT_TRUE(LogHas(" [QBTE] Error: can not save 'made' tileset with ID '100' into the image 'made.png'\n"));
}

// ---------------------------------------------------------------------------------------------------
// Shared small operations

TEST(QBTEShared, PathPiecesAcceptBothSeparatorsAndKeepCase) {
  EXPECT_EQ(PathDirectory("maps/Town.XML"), "maps/");
  EXPECT_EQ(PathDirectory("maps\\sub/town.qbm"), "maps\\sub/");
  EXPECT_EQ(PathDirectory("C:\\games\\town.qbm"), "\\games\\");
  EXPECT_EQ(PathDirectory("town.qbm"), "");
  EXPECT_EQ(PathDirectory(NULL), "");
  EXPECT_EQ(PathBaseName("maps/Town.XML"), "Town");
  EXPECT_EQ(PathBaseName("maps.d\\town"), "town");
  EXPECT_EQ(PathBaseName("a/b.c.d"), "b.c");
  EXPECT_EQ(FileNameFrom("../up\\and:over"), ".._up_and_over");
  EXPECT_EQ(FileNameFrom(".."), "_..");
}

TEST(QBTEShared, RoundingCopyingAndExtensions) {
  EXPECT_EQ(RoundFloat(127.5f), 128.0f);
  EXPECT_EQ(RoundFloat(101.99999f), 102.0f);
  EXPECT_EQ(RoundFloat(-2.5f), -3.0f);
  EXPECT_EQ(RoundFloat(0.49f), 0.0f);
  char text[4] = "abc";
  EXPECT_EQ(CopyBounded(text, "xyz", 0), 0);
  EXPECT_EQ(CopyBounded(text, "xyz", -5), 0);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(CopyBounded(text, "longer", 4), 1);
  EXPECT_STREQ(text, "lon");
  char name[8];   // longer texts are cut between two characters
  EXPECT_EQ(CopyBounded(name, "ab\xC3\xA9\xC3\xA9\xC3\xA9", 8), 1);
  EXPECT_STREQ(name, "ab\xC3\xA9\xC3\xA9");
  EXPECT_EQ(CopyBounded(name, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 7), 1);
  EXPECT_STREQ(name, "\xF0\x9F\x98\x80");
  EXPECT_EQ(MatchExtension("Tiles.PNG", ".png"), 1);
  EXPECT_EQ(MatchExtension("png", ".png"), 0);
  EXPECT_EQ(DeleteTilesetBlock(NULL, "x"), 0);
  EXPECT_EQ(DeleteTilesetBlock("missing.dpf", "x"), 0);
}
