// Map data classes: the base map's cell operations and size limits, its CSV text both ways (flipped
// ids as unsigned, short and long input, octal and hex), the TMX data forms (csv, base64, zlib and
// gzip), refusals that leave the map as it was, and what a map without cells does when asked to draw.
#include "EngineTest.h"

using namespace qbte_test;

namespace {

class MapDataTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    xml = Yandorix.XMLCreate("level");
    ASSERT_GT(xml, 0);
  }
  void TearDown() override {
    Yandorix.XMLClose(xml);
    EngineTest::TearDown();
  }
  // A child element of the root with attributes and text, pointed to.
  void Element(const char* name, const std::vector<std::pair<const char*, const char*>>& attributes, const char* text) {
    Yandorix.XMLNodeFirst(xml);
    Yandorix.XMLNodeCreate(xml, name);
    for (const auto& a : attributes) Yandorix.XMLAttributeSet(xml, a.first, a.second);
    if (text) Yandorix.XMLTextSet(xml, text);
  }
  void LevelElement(const char* w, const char* h, const char* text, const char* cw = "8", const char* ch = "8") {
    Element("mapdata", {{"type", "base"}, {"width", w}, {"height", h}, {"cellwidth", cw}, {"cellheight", ch}}, text);
  }
  static std::vector<Sint32> Cells(const cQBTE_MapBase& map) {
    std::vector<Sint32> cells;
    for (int r = 0; r < map.GetHeight(); ++r)
      for (int c = 0; c < map.GetWidth(); ++c) cells.push_back(map.GetCell(c, r));
    return cells;
  }
  int xml = 0;
};

class CustomMap : public cQBTE_MapBase {
 public:
  CustomMap() { SetType("custom"); }
};

}  // namespace

TEST_F(MapDataTest, ConstructionAndReadiness) {
  std::unique_ptr<cQBTE_MapData> none(CreateMapBase(0, 10));
  EXPECT_FALSE(static_cast<cQBTE_MapBase*>(none.get())->HasCells());
  EXPECT_EQ(none->GetWidth(), 0);
  EXPECT_EQ(none->IsReady(), 0);
  EXPECT_STREQ(none->GetType(), "base");
  cQBTE_MapBase map(2, 3);
  EXPECT_EQ(map.GetWidth(), 3);
  EXPECT_EQ(map.GetHeight(), 2);
  EXPECT_EQ(Cells(map), std::vector<Sint32>(6, 0));
  EXPECT_EQ(map.IsReady(), 0);   // cell size still 0
  map.SetCellWidth(8);
  map.SetCellHeight(-8);
  EXPECT_EQ(map.IsReady(), 0);   // negative sizes are not ready either
  map.SetCellHeight(8);
  EXPECT_EQ(map.IsReady(), 1);
  CustomMap custom;   // a derived type answers for itself
  EXPECT_EQ(custom.IsReady(), 1);
}

TEST_F(MapDataTest, SizesBeyondTheLimitsAreRefusedWithALogLine) {
  cQBTE_MapBase wide(1, 65536);
  EXPECT_FALSE(wide.HasCells());
  cQBTE_MapBase many(4097, 4096);   // one row past 16M cells
  EXPECT_FALSE(many.HasCells());
  EXPECT_EQ(LogCount("beyond the engine's limits"), 2u);
  cQBTE_MapBase map;
  EXPECT_EQ(map.CreateCells(-1, 4, 1), 0);
  EXPECT_EQ(map.CreateCells(70000, 70000, 1), 0);   // overflows 32 bits
  EXPECT_FALSE(map.HasCells());
  EXPECT_EQ(map.CreateCells(4096, 4096, 0), 1);     // exactly 16M
  EXPECT_EQ(map.CreateCells(1, 1, 0), 0);           // already has cells
  EXPECT_EQ(QBTE_MapSizeAllowed(65535, 256), 1);
  EXPECT_EQ(QBTE_MapSizeAllowed(65535, 257), 0);
}

TEST_F(MapDataTest, CreateFillAndCopyCells) {
  cQBTE_MapBase map;
  ASSERT_EQ(map.CreateCells(3, 4, -2), 1);
  EXPECT_EQ(Cells(map), std::vector<Sint32>(12, 0));
  EXPECT_EQ(map.FillCells(-1, 3, 7), 1);
  EXPECT_EQ(map.FillCells(2, -1, -5), 1);   // negative value gives 0
  EXPECT_EQ(map.FillCells(-9, 0, 4), 1);    // below -1 counts as every row
  EXPECT_EQ(map.FillCells(1, 99, 9), 1);    // beyond the width matches no column
  EXPECT_EQ(Cells(map), (std::vector<Sint32>{4, 0, 0, 7, 4, 0, 0, 7, 4, 0, 0, 0}));
  map.SetCellWidth(16);
  map.SetCellHeight(8);
  cQBTE_MapBase copy, other(2, 2);
  EXPECT_EQ(map.CopyCellsTo(&copy), 1);
  EXPECT_EQ(Cells(copy), Cells(map));
  EXPECT_EQ(copy.GetCellWidth(), 16);
  EXPECT_EQ(map.CopyCellsTo(&other), 0);   // cells of another size
  EXPECT_EQ(map.CopyCellsTo(NULL), 0);
  EXPECT_EQ(map.FreeCells(), 1);
  EXPECT_EQ(map.FreeCells(), 0);
  EXPECT_EQ(map.FillCells(-1, -1, 1), 0);
}

TEST_F(MapDataTest, LevelFormWritesAttributesAndUnsignedCSV) {
  cQBTE_MapBase map(2, 3);
  map.SetCellWidth(32);
  map.SetCellHeight(16);
  Sint32 values[] = {1, 2, 3, 4, 5, (Sint32)0x80000006u};
  for (int i = 0; i < 6; ++i) map.SetCell(i % 3, i / 3, values[i]);
  Yandorix.XMLNodeFirst(xml);
  ASSERT_EQ(map.SaveXML(xml, 0), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(xml), "level");   // back on the parent
  ASSERT_EQ(Yandorix.XMLNodeChild(xml), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(xml), "mapdata");
  const char* type = NULL;
  int width = 0, height = 0, cw = 0, ch = 0;
  Yandorix.XMLAttributeGet(xml, "type", &type);
  Yandorix.XMLAttributeGet(xml, "width", &width);
  Yandorix.XMLAttributeGet(xml, "height", &height);
  Yandorix.XMLAttributeGet(xml, "cellwidth", &cw);
  Yandorix.XMLAttributeGet(xml, "cellheight", &ch);
  EXPECT_STREQ(type, "base");
  EXPECT_EQ(width * 100 + height, 302);
  EXPECT_EQ(cw * 100 + ch, 3216);
  EXPECT_EQ(map.CellsToCSV(), "1,2,3, 4,5,2147483654 ");
  cQBTE_MapBase loaded;
  EXPECT_EQ(loaded.LoadXML(xml, 0), 1);
  EXPECT_EQ(Cells(loaded), Cells(map));
  EXPECT_EQ(loaded.GetCellWidth(), 32);
  Yandorix.XMLNodeFirst(xml);
  cQBTE_MapBase(1, 1).SaveXML(xml, 1);
  Yandorix.XMLNodePointTo(xml, 2, "level", "data");
  const char* encoding = NULL;
  Yandorix.XMLAttributeGet(xml, "encoding", &encoding);
  EXPECT_STREQ(encoding, "csv");
  EXPECT_STREQ(Yandorix.XMLTextGet(xml), "0 ");
}

TEST_F(MapDataTest, CSVFieldsShortAndLongInput) {
  cQBTE_MapBase map;
  LevelElement("2", "2", "010, 0x10\n0XfF,4294967295");
  EXPECT_EQ(map.LoadXML(xml, 0), 1);
  EXPECT_EQ(Cells(map), (std::vector<Sint32>{8, 16, 255, -1}));
  LevelElement("2", "2", "1,2,3,4,5");   // the fifth value is ignored
  EXPECT_EQ(map.LoadXML(xml, 0), 1);
  EXPECT_EQ(Cells(map), (std::vector<Sint32>{1, 2, 3, 4}));
  LevelElement("2", "2", "9,,9 ,9");   // empty fields vanish: three values are too few
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: 2D integer array is bigger than CSV input data\n"));
  EXPECT_EQ(Cells(map), (std::vector<Sint32>{1, 2, 3, 4})) << "a short read left the map changed";
  LevelElement("3", "2", "1,2,3,4,5,6");   // another size than the map's cells
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  EXPECT_EQ(map.GetWidth(), 2);
  EXPECT_EQ(map.LoadCellsFromCSV("7 8 9 10"), 1);
  EXPECT_EQ(Cells(map), (std::vector<Sint32>{7, 8, 9, 10}));
}

TEST_F(MapDataTest, LevelFormRefusesMissingOrBadAttributesWithoutChange) {
  cQBTE_MapBase map;
  LevelElement("2", "0", "1,2");
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  LevelElement("2", "1", "1,2", "0");
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  LevelElement("2", "1", NULL);
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  Element("mapdata", {{"width", "2"}, {"height", "1"}, {"cellwidth", "8"}}, "1,2");
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  LevelElement("70000", "1", "1");
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  LevelElement("2", "1", "1,2", "70000");   // cells wider than any pixel sum the renderer allows for
  EXPECT_EQ(map.LoadXML(xml, 0), 0);
  EXPECT_TRUE(LogHas("cells of 70000x8 pixels are beyond the engine's limit (65535 pixels a side)"));
  EXPECT_FALSE(map.HasCells());
  EXPECT_EQ(map.GetCellWidth(), 0);
}

TEST_F(MapDataTest, TMXDataInEveryEncoding) {
  std::vector<Uint32> values = {1, 0x80000002u, 0, 4, 5, 0x40000006u};
  std::string raw = CellBytes(values);
  std::vector<Sint32> expected(values.begin(), values.end());
  struct Form {
    const char* name;
    std::vector<std::pair<const char*, const char*>> attributes;
    std::string text;
  };
  std::string zlib = Base64(Zlib(raw)), gzip = Base64(Gzip(raw)), plain = Base64(raw);
  std::vector<Form> forms = {{"csv", {{"encoding", "csv"}}, "1,2147483650,0,\n4,5,1073741830\n"},
                             {"base64", {{"encoding", "base64"}}, plain},
                             {"zlib", {{"encoding", "base64"}, {"compression", "zlib"}}, zlib},
                             {"gzip", {{"encoding", "base64"}, {"compression", "gzip"}}, gzip}};
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    cQBTE_MapBase map(2, 3);
    map.SetCellWidth(8);
    map.SetCellHeight(8);
    Element("data", form.attributes, form.text.c_str());
    EXPECT_EQ(map.LoadXML(xml, 1), 1);
    EXPECT_EQ(Cells(map), expected);
  }
}

TEST_F(MapDataTest, TMXRefusalsLeaveTheCellsAlone) {
  std::string raw = CellBytes({1, 2, 3, 4, 5, 6});
  cQBTE_MapBase map(2, 3);
  map.SetCellWidth(8);
  map.SetCellHeight(8);
  map.FillCells(-1, -1, 9);
  Element("data", {{"encoding", "base64"}}, Base64(raw.substr(0, 20)).c_str());
  EXPECT_EQ(map.LoadXML(xml, 1), 0);   // 20 of 24 bytes
  EXPECT_TRUE(LogHas("base64 input data is shorter than the 2D integer array (20 of 24 bytes)"));
  Element("data", {{"encoding", "base64"}, {"compression", "zlib"}}, Base64(Zlib(raw.substr(0, 20))).c_str());
  EXPECT_EQ(map.LoadXML(xml, 1), 0);   // inflates fine but short
  Element("data", {{"encoding", "base64"}, {"compression", "lzma"}}, Base64(raw).c_str());
  EXPECT_EQ(map.LoadXML(xml, 1), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: base64 input data is compressed using 'lzma' which is not a supported format\n"));
  Element("data", {{"encoding", "hex"}}, "00");
  EXPECT_EQ(map.LoadXML(xml, 1), 0);
  Element("data", {}, "1,2,3,4,5,6");
  EXPECT_EQ(map.LoadXML(xml, 1), 0);
  EXPECT_EQ(Cells(map), std::vector<Sint32>(6, 9));
  cQBTE_MapBase empty;   // TMX data needs cells to read into
  Element("data", {{"encoding", "csv"}}, "1");
  EXPECT_EQ(empty.LoadXML(xml, 1), 0);
  EXPECT_EQ(empty.LoadCellsFromBinary(reinterpret_cast<const unsigned char*>(raw.data()), raw.size()), 0);
  EXPECT_EQ(empty.LoadCellsFromBinary(reinterpret_cast<const unsigned char*>(raw.data())), 0);
  // The one-argument form reads the map's own width x height cells.
  EXPECT_EQ(map.LoadCellsFromBinary(reinterpret_cast<const unsigned char*>(raw.data())), 1);
  EXPECT_EQ(Cells(map), (std::vector<Sint32>{1, 2, 3, 4, 5, 6}));
}

TEST_F(MapDataTest, AMapWithoutCellsDrawsAndUpdatesNothing) {
  Start();
  AddTiles(1);
  cQBTE_MapBase empty;
  cQBTE_MapBase map(2, 2);
  EXPECT_EQ(empty.DrawCell(0, 0, 0, 0, engine.get(), 255), 0);
  EXPECT_EQ(empty.UpdateCell(0, 0, engine.get(), 0, 0), 0);
  EXPECT_EQ(map.DrawCell(2, 0, 0, 0, engine.get(), 255), 0);
  EXPECT_EQ(map.DrawCell(0, -1, 0, 0, engine.get(), 255), 0);
  EXPECT_EQ(map.DrawCell(0, 0, 0, 0, NULL, 255), 0);
  EXPECT_EQ(map.UpdateCell(1, 1, engine.get(), 0, 0), 1);
  EXPECT_EQ(map.Info(-1, 0), 1);
  EXPECT_EQ(empty.Info(-1, 0), 0);
  EXPECT_TRUE(LogHas("         . Map type 'base' - Map size 2x2 - Cell size 0x0\n"));
  map.Info(0, 0);
  EXPECT_TRUE(LogHas("         . Map type 'base' - Map size 2x2 - Cell size 0x0 - Tilesets ready: no\n"));
}
