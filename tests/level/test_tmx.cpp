// TMX maps: every data encoding (CSV with line breaks, base64 raw, zlib, gzip; zstd refused with a
// warning), the maps the import refuses, external tilesets (refused, their cells not exported), spaced
// tilesets, the transparent colour as RGB, opacity and properties through export and import, slots for
// layers, the export's failure codes, images written once, and import-export-import keeping every cell.
#include "LevelTest.h"
#include "00_Platform.h"
#include <errno.h>
#include <stdlib.h>

using level_test::CellsOf;
using level_test::PixelsOf;
using level_test::WriteTilesetPNG;

namespace {

// The cells of the 4 x 3 test map: ids 1..12, some flipped or mirrored.
std::vector<Uint32> MapCells() {
  std::vector<Uint32> cells;
  for (Uint32 i = 1; i <= 12; ++i) cells.push_back(i | (i == 5 ? 0x80000000u : 0u) | (i == 9 ? 0x40000000u : 0u));
  return cells;
}

std::vector<Sint32> Signed(const std::vector<Uint32>& cells) { return std::vector<Sint32>(cells.begin(), cells.end()); }

std::string CSV(const std::vector<Uint32>& cells) {
  std::string text = "\n";
  for (size_t i = 0; i < cells.size(); ++i)
    text += std::to_string(cells[i]) + (i + 1 < cells.size() ? "," : "") + ((i + 1) % 4 ? "" : "\n");
  return text;
}

struct TMX {
  std::string mapAttributes =
      "version=\"1.0\" orientation=\"orthogonal\" width=\"4\" height=\"3\" tilewidth=\"32\" tileheight=\"32\"";
  std::string tilesets = "<tileset firstgid=\"1\" name=\"tiles\"><image source=\"tiles.png\"/></tileset>";
  std::string layers;
  std::string Text() const {
    return "<?xml version=\"1.0\"?><map " + mapAttributes + ">" + tilesets + layers + "</map>";
  }
  void AddLayer(const std::string& name, const std::string& data, const std::string& extra = "") {
    layers += "<layer name=\"" + name + "\" width=\"4\" height=\"3\"" + extra + ">" + data + "</layer>";
  }
};

std::string Data(const std::string& attributes, const std::string& text) {
  return "<data " + attributes + ">" + text + "</data>";
}

const char* failingEnding = "";
int FailOpensOf(ydxplat::FaultOp op, const char* path, size_t*) {
  return op == ydxplat::kOpOpen && path && MatchExtension(path, failingEnding) ? EIO : 0;
}
int FailRenamesOf(ydxplat::FaultOp op, const char* path, size_t*) {
  return op == ydxplat::kOpRename && path && MatchExtension(path, failingEnding) ? EIO : 0;
}

class TMXTest : public LevelTest {
 protected:
  void SetUp() override {
    LevelTest::SetUp();
    WriteTilesetPNG("tiles.png", 4, 4);
  }
  void TearDown() override {
    ydxplat::SetFaultHook(nullptr);
    LevelTest::TearDown();
  }
  int Import(const TMX& map, int layers = 4) {
    Fresh(layers);
    ydxtest::WriteFile("map.tmx", map.Text());
    return ImportTMX(engine.get(), "map.tmx");
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Import

TEST_F(TMXTest, EveryDataEncodingGivesTheSameCells) {
  std::string bytes = qbte_test::CellBytes(MapCells());
  TMX map;
  map.AddLayer("csv", Data("encoding=\"csv\"", CSV(MapCells())));
  map.AddLayer("raw", Data("encoding=\"base64\"", "\n   " + qbte_test::Base64(bytes) + "\n  "));
  map.AddLayer("zlib", Data("encoding=\"base64\" compression=\"zlib\"", qbte_test::Base64(qbte_test::Zlib(bytes))));
  map.AddLayer("gzip", Data("encoding=\"base64\" compression=\"gzip\"", qbte_test::Base64(qbte_test::Gzip(bytes))));
  ASSERT_EQ(Import(map), 1);
  for (int id = 0; id < 4; ++id) {
    ASSERT_NE(L(id)->mapData, nullptr) << id;
    EXPECT_EQ(CellsOf(L(id)->mapData), Signed(MapCells())) << L(id)->name;
    EXPECT_EQ(L(id)->mapData->GetCellWidth(), 32);
    EXPECT_EQ(L(id)->flags, (Uint32)(QBTE_UPDATE | QBTE_RENDER));
    EXPECT_EQ(L(id)->parallaxRatio, 1.0f);
    EXPECT_EQ(L(id)->resourceControl, 2);
  }
  EXPECT_STREQ(L(3)->name, "gzip");
  EXPECT_STREQ(engine->GetLevelName(), "map.tmx");
  EXPECT_STREQ(engine->GetTilesetSource(1), "tiles.png");
  EXPECT_TRUE(LogHas("\n [QBTE] Info: trying to import 'map.tmx' TMX file\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: 'map.tmx' level successfully imported.\n\n"));
}

TEST_F(TMXTest, UnsupportedPartsAreLeftOutWithAWarning) {
  TMX map;
  map.tilesets += "<tileset firstgid=\"100\" source=\"external.tsx\"/>";
  map.AddLayer("zstd", Data("encoding=\"base64\" compression=\"zstd\"", "KLUv/SAEIQAAAQ=="));
  map.AddLayer("plain", Data("encoding=\"csv\"", CSV(MapCells())));
  EXPECT_EQ(Import(map), 0);
  EXPECT_TRUE(LogHas("compressed using 'zstd' which is not a supported format\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Warning: it was not possible to parse 'zstd' layer with data type 'base'\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Warning: some resources could not be imported: tileset 1/2 and layers 1/2\n\n"));
  EXPECT_STREQ(L(0)->name, "plain");
}

// A map as Tiled saves it with its tileset in a .tsx file: the tileset is refused, naming the file, and
// the cells that refer to it keep the map from being exported as one Tiled would refuse.
TEST_F(TMXTest, AnExternalTilesetIsRefusedAndCellsWithoutATilesetAreNotExported) {
  TMX map;
  map.tilesets = "<tileset firstgid=\"1\" source=\"desert.tsx\"/>";
  map.AddLayer("Ground", Data("encoding=\"csv\"", CSV(MapCells())));
  EXPECT_EQ(Import(map), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: the external tileset 'desert.tsx' was not imported: tilesets kept in files of "
                     "their own are not read (embed it in the map)\n"));
  EXPECT_EQ(L(0)->ready, 0);
  EXPECT_EQ(ExportTMX(engine.get(), "again.tmx", NULL), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Error: 'map.tmx' level was not exported to 'again.tmx': tile 1 in layer 'Ground' at "
                     "[0,0] is in no tileset.\n"));
  EXPECT_FALSE(ydxtest::FileExists("again.tmx"));
}

TEST_F(TMXTest, MapsTheImportDoesNotReadAreRefused) {
  struct Case {
    const char* attributes;
    const char* why;
  } cases[] = {
      {"version=\"1.2\" orientation=\"orthogonal\" width=\"4\" height=\"3\" tilewidth=\"32\" tileheight=\"32\"",
       "only version 1.0"},
      {"version=\"1.0\" orientation=\"isometric\" width=\"4\" height=\"3\" tilewidth=\"32\" tileheight=\"32\"",
       "only orthogonal"},
      {"version=\"1.0\" orientation=\"orthogonal\" height=\"3\" tilewidth=\"32\" tileheight=\"32\"", "is missing"},
      {"version=\"1.0\" orientation=\"orthogonal\" width=\"0\" height=\"3\" tilewidth=\"32\" tileheight=\"32\"",
       "below 1"},
      {"version=\"1.0\" orientation=\"orthogonal\" width=\"70000\" height=\"70000\" tilewidth=\"32\" tileheight=\"32\"",
       "beyond"},
      {"version=\"1.0\" orientation=\"orthogonal\" width=\"4\" height=\"3\" tilewidth=\"-32\" tileheight=\"32\"",
       "below 1"},
  };
  for (const Case& c : cases) {
    TMX map;
    map.mapAttributes = c.attributes;
    map.AddLayer("l", Data("encoding=\"csv\"", CSV(MapCells())));
    EXPECT_EQ(Import(map), -4) << c.attributes;
    EXPECT_TRUE(LogHas(c.why)) << c.why;
    EXPECT_EQ(L(0)->mapData, nullptr);
    EXPECT_EQ(engine->GetTilesetCount(), 0);
  }
  Fresh(2);
  ydxtest::WriteFile("level.tmx", "<qbse_level/>");
  EXPECT_EQ(ImportTMX(engine.get(), "level.tmx"), -4);
  EXPECT_EQ(ImportTMX(engine.get(), "missing.tmx"), -3);
  EXPECT_EQ(ImportTMX(engine.get(), NULL), -2);
  cQBTE_TileEngine idle;
  EXPECT_EQ(ImportTMX(&idle, "level.tmx"), -1);
}

TEST_F(TMXTest, LargeMapIsMadeOnlyForDataThatMayFillIt) {
  TMX map;
  map.mapAttributes =
      "version=\"1.0\" orientation=\"orthogonal\" width=\"4096\" height=\"4096\" tilewidth=\"8\" tileheight=\"8\"";
  map.AddLayer("csv", Data("encoding=\"csv\"", "1,2,3"));
  map.AddLayer("zlib", Data("encoding=\"base64\" compression=\"zlib\"", qbte_test::Base64(qbte_test::Zlib("tiny"))));
  map.AddLayer("tiles", "<data><tile gid=\"1\"/></data>");
  EXPECT_EQ(Import(map), 0);
  EXPECT_EQ(level_test::Count(ydxtest::LogText(), "         . its data can not fill a map of 4096x4096 cells\n"), 3u);
  EXPECT_EQ(L(0)->mapData, nullptr);
}

TEST_F(TMXTest, LayersTakeTheirSlotOrTheFirstFreeOne) {
  TMX map;
  std::string data = Data("encoding=\"csv\"", CSV(MapCells()));
  map.AddLayer("third", "<properties><property name=\"id\" value=\"2\"/></properties>" + data);
  map.AddLayer("first free", data);
  map.AddLayer("taken", "<properties><property name=\"id\" value=\"2\"/></properties>" + data);
  map.AddLayer("beyond", "<properties><property name=\"id\" value=\"9\"/></properties>" + data);
  map.AddLayer("negative", "<properties><property name=\"id\" value=\"-3\"/></properties>" + data);
  map.AddLayer("second free", data);
  map.AddLayer("no room", data);
  EXPECT_EQ(Import(map, 3), 0);
  EXPECT_STREQ(L(2)->name, "third");
  EXPECT_STREQ(L(0)->name, "first free");
  EXPECT_STREQ(L(1)->name, "second free");
  EXPECT_TRUE(LogHas("tileset 1/1 and layers 3/7"));
  EXPECT_TRUE(LogHas(" [QBTE] Warning: layer 'no room' with ID '-1' was not imported: no free layer slot\n"));
}

TEST_F(TMXTest, LayerThatIsNotReadyKeepsNoFlagThatNeedsAReadyMap) {
  TMX map;
  map.tilesets = "<tileset firstgid=\"1\" name=\"tiles\"><image source=\"absent.png\"/></tileset>";
  map.AddLayer("unready", "<properties><property name=\"status\" value=\"" +
                              std::to_string(QBTE_LOOPX | QBTE_UPDATE | QBTE_UPDATECELLS | QBTE_RENDER |
                                             QBTE_SMOOTHSCROLL | QBTE_PAUSE) +
                              "\"/></properties>" + Data("encoding=\"csv\"", CSV(MapCells())));
  EXPECT_EQ(Import(map), 0);
  ASSERT_NE(L(0)->mapData, nullptr);
  EXPECT_EQ(L(0)->ready, 0);
  EXPECT_EQ(L(0)->flags, (Uint32)(QBTE_LOOPX | QBTE_PAUSE));
  EXPECT_TRUE(LogHas("         . Layer is not ready\n"));
}

TEST_F(TMXTest, SpacedTilesetIsRepackedWithTheRightPixels) {
  // A 4 x 2 sheet of 32 x 32 tiles with margin 2 and spacing 3; margins and gaps painted 0x123456.
  Surface tiles = qbte_test::TilesetImage(4, 2, 32, 32);
  Surface sheet(qbte_test::NewTarget(2 * 2 + 4 * 32 + 3 * 3, 2 * 2 + 2 * 32 + 3));
  SDL_FillRect(sheet.get(), NULL, 0x123456);
  for (int n = 0; n < 8; ++n) {
    SDL_Rect from = {(Sint16)(n % 4 * 32), (Sint16)(n / 4 * 32), 32, 32};
    SDL_Rect to = {(Sint16)(2 + n % 4 * 35), (Sint16)(2 + n / 4 * 35), 0, 0};
    SDL_BlitSurface(tiles.get(), &from, sheet.get(), &to);
  }
  ASSERT_EQ(IImage->SavePNG("spaced.png", sheet.get(), -1), 0);
  TMX map;
  map.tilesets =
      "<tileset firstgid=\"1\" name=\"spaced\" spacing=\"3\" margin=\"2\"><properties>"
      "<property name=\"alphavalue\" value=\"much\"/><property name=\"alphavalue\" value=\"90\"/></properties>"
      "<image source=\"spaced.png\" trans=\"#200005\"/><image source=\"ignored.png\"/></tileset>";
  map.AddLayer("l", Data("encoding=\"csv\"", CSV(MapCells())));
  ASSERT_EQ(Import(map), 1);  // ids 9..12 are beyond the 8 tiles: loaded, but not ready
  Yandorix_CTile* tile = engine->GetTilesetTile(1);
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(PixelsOf(tile->GetSurface()), PixelsOf(tiles.get()));
  EXPECT_EQ(engine->GetTilesetAt(0)->tileCount, 8);
  EXPECT_STREQ(engine->GetTilesetSource(1), "spaced-converted.png");
  EXPECT_EQ(tile->GetAlpha(), 90);  // the value that reads as a number
  // The transparent colour is RGB, mapped through the tile's own format.
  EXPECT_EQ(tile->GetColorKey(), (int)SDL_MapRGB(tile->GetSurface()->format, 0x20, 0x00, 0x05));
}

TEST_F(TMXTest, CreateTilesetFromImageRefusesWhatCannotBeCut) {
  Fresh(2);
  Surface image(qbte_test::NewTarget(100, 40));
  ASSERT_EQ(IImage->SavePNG("hundred.png", image.get(), -1), 0);
  std::unique_ptr<Yandorix_CTile> two(CreateTilesetFromImage("hundred.png", "two", 32, 32, 2, 2));
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->GetSizeX(), 64);  // 2 + 32 + 34 = 68 <= 98; the next end, 102, is not
  EXPECT_EQ(two->GetSizeY(), 32);
  EXPECT_EQ(CreateTilesetFromImage("hundred.png", "x", 0, 32, 0, 0), nullptr);
  EXPECT_EQ(CreateTilesetFromImage("hundred.png", "x", 32, -1, 0, 0), nullptr);
  EXPECT_EQ(CreateTilesetFromImage("hundred.png", "x", 32, 32, -2, 0), nullptr);
  EXPECT_EQ(CreateTilesetFromImage("hundred.png", "x", 32, 32, 0, -1), nullptr);
  EXPECT_EQ(CreateTilesetFromImage("hundred.png", "x", 32, 32, 0, 5), nullptr);  // 5 + 32 > 40 - 5
  EXPECT_EQ(CreateTilesetFromImage("missing.png", "x", 32, 32, 0, 0), nullptr);
  TMX map;
  map.tilesets =
      "<tileset firstgid=\"1\" name=\"zero\" tilewidth=\"0\" spacing=\"1\"><image source=\"hundred.png\"/></tileset>";
  EXPECT_EQ(Import(map), 0);
  EXPECT_TRUE(
      LogHas(" [QBTE] Warning: tileset 'zero' was not imported: its tile size, margin or spacing is out of range\n"));
}

// ---------------------------------------------------------------------------------------------------
// Export

TEST_F(TMXTest, ExportAndImportKeepCellsOpacityAndProperties) {
  Fresh(3);
  ASSERT_EQ(engine->LoadTilesetImage("tiles.png", "tiles", 32, 32, 1), 1);
  Yandorix_CTile* tile = engine->GetTilesetTile(1);
  tile->SetColorKey((int)SDL_MapRGB(tile->GetSurface()->format, 0xFF, 0x80, 0x01));
  ASSERT_EQ(AddTiles(50, 32, 32, 2, 2, "made"), 50);
  std::vector<Uint32> cells = MapCells();
  Layer(
      0, 3, 4, 32, 32, [&](int c, int r) { return (Sint32)cells[r * 4 + c]; }, QBTE_RENDER | QBTE_UPDATE | QBTE_LOOPY);
  Layer(
      2, 3, 4, 32, 32, [](int c, int) { return c ? 50 + c : 0; }, QBTE_UPDATE);
  engine->SetLayerName(0, "ground");
  L(0)->alpha = 200;  // 200 / 255 * 255 truncated would come back as 199
  L(0)->parallaxRatio = 0.5f;
  L(0)->posX = 3.7f;
  L(0)->posY = 0.1f;
  L(0)->speedX = -12.5f;
  L(0)->gridColor = 0x80FF00FFu;
  L(2)->alpha = 102;
  SDL_Rect view = {1, 2, 320, 200};
  engine->SetViewport(&view);
  ASSERT_EQ(ExportTMX(engine.get(), "out/export.xml", "exported"), 1);
  EXPECT_TRUE(LogHas(" [QBTE] Info: 'exported' level successfully exported to 'out/export.tmx'.\n"));
  std::string text = ydxtest::ReadFile("out/export.tmx");
  EXPECT_NE(text.find("trans=\"ff8001\""), std::string::npos);
  EXPECT_NE(text.find("<property name=\"version\" value=\"1.10\" />"), std::string::npos);
  EXPECT_TRUE(ydxtest::FileExists("out/tiles.png"));
  EXPECT_TRUE(ydxtest::FileExists("out/made.png"));

  Fresh(3);
  ASSERT_EQ(ImportTMX(engine.get(), "out/export.tmx"), 1);
  EXPECT_STREQ(engine->GetLevelName(), "exported");
  EXPECT_EQ(engine->GetViewport()->w, 320);
  EXPECT_EQ(engine->GetViewport()->y, 2);
  EXPECT_STREQ(L(0)->name, "ground");
  EXPECT_EQ(CellsOf(L(0)->mapData), Signed(cells));
  EXPECT_EQ(L(0)->flags, (Uint32)(QBTE_RENDER | QBTE_UPDATE | QBTE_LOOPY));
  EXPECT_EQ(L(0)->alpha, 200);
  EXPECT_EQ(L(0)->parallaxRatio, 0.5f);
  EXPECT_EQ(L(0)->posX, 3.7f);
  EXPECT_EQ(L(0)->posY, 0.1f);
  EXPECT_EQ(L(0)->speedX, -12.5f);
  EXPECT_EQ(L(0)->gridColor, 0x80FF00FFu);
  EXPECT_EQ(L(2)->alpha, 102);
  EXPECT_EQ(L(2)->flags, (Uint32)QBTE_UPDATE);  // not visible, but its stored flags say so
  EXPECT_EQ(L(1)->mapData, nullptr);
  Yandorix_CTile* back = engine->GetTilesetTile(1);
  EXPECT_EQ(back->GetColorKey(), (int)SDL_MapRGB(back->GetSurface()->format, 0xFF, 0x80, 0x01));
  EXPECT_STREQ(engine->GetTilesetSource(50), "made.png");
}

TEST_F(TMXTest, OpacityRoundsToTheNearestAlphaAndSnapsAroundTheMiddle) {
  struct Case {
    const char* opacity;
    int alpha;
  } cases[] = {{"0.4", 102},   {"0.5", 128}, {"0.51", 128}, {"0.482", 128}, {"0.47", 120},
               {"0.999", 255}, {"7", 255},   {"-1", 0},     {"0", 0}};
  TMX map;
  for (const Case& c : cases)
    map.AddLayer(c.opacity, Data("encoding=\"csv\"", CSV(MapCells())), std::string(" opacity=\"") + c.opacity + "\"");
  ASSERT_EQ(Import(map, 9), 1);
  for (int id = 0; id < 9; ++id) EXPECT_EQ(L(id)->alpha, cases[id].alpha) << cases[id].opacity;
}

TEST_F(TMXTest, ImportExportImportKeepsEveryCell) {
  std::string bytes = qbte_test::CellBytes(MapCells());
  TMX map;
  map.AddLayer("zlib", Data("encoding=\"base64\" compression=\"zlib\"", qbte_test::Base64(qbte_test::Zlib(bytes))));
  map.AddLayer("csv", Data("encoding=\"csv\"", CSV(std::vector<Uint32>(12, 16))));
  ASSERT_EQ(Import(map), 1);
  ASSERT_EQ(ExportTMX(engine.get(), "again.tmx", NULL), 1);
  Fresh(4);
  ASSERT_EQ(ImportTMX(engine.get(), "again.tmx"), 1);
  EXPECT_EQ(CellsOf(L(0)->mapData), Signed(MapCells()));
  EXPECT_EQ(CellsOf(L(1)->mapData), std::vector<Sint32>(12, 16));
  EXPECT_STREQ(engine->GetLevelName(), "map.tmx");
}

TEST_F(TMXTest, ExportingTwiceWritesTheImagesOnce) {
  Fresh(2);
  ASSERT_EQ(AddTiles(1, 32, 32, 4, 4, "made"), 1);
  Layer(0, 3, 4, 32, 32, [](int c, int) { return c + 1; });
  Layer(1, 5, 4, 32, 32, [](int c, int) { return c + 1; });  // another size: left out
  EXPECT_EQ(ExportTMX(engine.get(), "twice.tmx", NULL), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: 'test' level exported to 'twice.tmx' but some issues were detected.\n"));
  ydxtest::WriteFile("made.png", "the user's own");
  EXPECT_EQ(ExportTMX(engine.get(), "twice.tmx", NULL), 0);
  EXPECT_EQ(ydxtest::ReadFile("made.png"), "the user's own");
  EXPECT_EQ(level_test::Count(ydxtest::ReadFile("twice.tmx"), "<layer "), 1u);
}

TEST_F(TMXTest, ExportRefusalsAndFailedWrites) {
  cQBTE_TileEngine idle;
  EXPECT_EQ(ExportTMX(&idle, "x.tmx", NULL), -1);
  Fresh(2);
  EXPECT_EQ(ExportTMX(engine.get(), NULL, NULL), -2);
  EXPECT_EQ(ExportTMX(engine.get(), "x.tmx", NULL), -3);
  ASSERT_EQ(AddTiles(1, 32, 32, 4, 4, "made"), 1);
  Layer(0, 3, 4, 32, 32, [](int c, int) { return c + 1; });
  sQBTE_Tileset* made = engine->GetTilesetAt(0);
  free(made->source);
  made->source = strdup("pack.dpf");
  EXPECT_EQ(ExportTMX(engine.get(), "x.tmx", NULL), -4);
  EXPECT_FALSE(ydxtest::FileExists("x.tmx"));
  engine->SetTilesetSource(1, QBTE_TILESET_DEFAULT_SOURCE);

  failingEnding = ".png";
  ydxplat::SetFaultHook(FailOpensOf);
  EXPECT_EQ(ExportTMX(engine.get(), "x.tmx", NULL), -6);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_FALSE(ydxtest::FileExists("x.tmx"));
  EXPECT_FALSE(ydxtest::FileExists("made.png"));

  ASSERT_EQ(ExportTMX(engine.get(), "x.tmx", NULL), 1);
  std::string before = ydxtest::ReadFile("x.tmx");
  engine->SetLayerName(0, "renamed");
  failingEnding = ".tmx";
  ydxplat::SetFaultHook(FailRenamesOf);
  EXPECT_EQ(ExportTMX(engine.get(), "x.tmx", NULL), -5);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("x.tmx"), before);
}

TEST_F(TMXTest, PropertiesAreFoundByNameAndType) {
  int xml = Yandorix.XMLCreate("properties");
  ASSERT_GT(xml, 0);
  double missing = 0.0;
  EXPECT_EQ(ReadProperty(xml, "x", &missing), 0);  // no children: the pointer stays
  EXPECT_STREQ(Yandorix.XMLNodeGetName(xml), "properties");
  EXPECT_EQ(WriteProperty(xml, "speed", "fast"), 1);
  EXPECT_EQ(WriteProperty(xml, "speed", 2.5f), 1);
  EXPECT_EQ(WriteProperty(xml, "count", 7), 1);
  EXPECT_EQ(WriteProperty(xml, "exact", 0.1), 1);
  EXPECT_EQ(WriteProperty(xml, "Count", 8), 1);
  const char* text = NULL;
  double speed = 0.0, exact = 0.0;
  int count = 0;
  EXPECT_EQ(ReadProperty(xml, "speed", &text), 1);
  EXPECT_STREQ(text, "fast");
  EXPECT_EQ(ReadProperty(xml, "speed", &speed), 1);  // "fast" is passed over
  EXPECT_EQ(speed, 2.5);
  EXPECT_EQ(ReadProperty(xml, "count", &count), 1);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(ReadProperty(xml, "exact", &exact), 1);
  EXPECT_EQ(exact, 0.1);
  EXPECT_EQ(ReadProperty(xml, "missing", &count), 0);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(xml), "properties");
  Yandorix.XMLClose(xml);
}
