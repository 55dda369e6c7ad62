// The tile engine object: lifecycle and state checks, tileset ids (automatic, explicit, overlapping,
// out of range, empty tiles), layer flags and their refusals, speed and position requests with their
// special codes and parallax cascades, readiness as tilesets come and go, custom maps and factories,
// and who deletes maps and tiles in each resource-control mode.
#include "EngineTest.h"

using namespace qbte_test;

namespace {

typedef EngineTest EngineObjectTest;

auto Ones = [](int, int) { return 1; };

// Maps that count themselves, so a test sees which ones the engine deleted.
int liveMaps = 0;
class CountedMap : public cQBTE_MapBase {
 public:
  CountedMap(int rows, int cols, const char* type = "base") : cQBTE_MapBase(rows, cols) {
    SetType(type);
    SetCellWidth(32);
    SetCellHeight(32);
    FillCells(-1, -1, 1);
    ++liveMaps;
  }
  ~CountedMap() override { --liveMaps; }
};

cQBTE_MapData* CustomFactory(int rows, int cols) { return new CountedMap(rows > 0 ? rows : 1, cols > 0 ? cols : 1, "custom"); }
cQBTE_MapData* NullFactory(int, int) { return NULL; }

}  // namespace

TEST_F(EngineObjectTest, LifecycleAndStateChecks) {
  cQBTE_TileEngine e;
  EXPECT_EQ(e.SetRenderTarget(target.get()), 0);
  EXPECT_EQ(e.GetLevelName(), nullptr);
  EXPECT_EQ(e.InitEngine(6, NULL), 0);
  ASSERT_EQ(e.InitEngine(6, ""), 1);
  EXPECT_EQ(e.InitEngine(6, "again"), 0);
  EXPECT_STREQ(e.GetLevelName(), "Default-LevelName");
  EXPECT_EQ(strlen(e.GetCreationDate()), 24u);
  EXPECT_EQ(e.SetLayerSlots(-1), 6);
  EXPECT_STREQ(e.GetLayerName(5), "TE-LAYER-EMTPY");
  EXPECT_TRUE(LogHas("\n [QBTE] Info: engine initialized.\n [QBTE] Info: adding 6 layer slots. Allocated layers: 6.\n"));
  EXPECT_EQ(e.SetLayerFlags(0, QBTE_LOOPX, 1), 0);   // needs a render target
  e.SetLayerSlots(2);
  EXPECT_TRUE(LogHas(" [QBTE] Info: removing 4 layer slots. Allocated layers: 2.\n"));
  EXPECT_EQ(e.GetLayerName(2), nullptr);
  e.SetLevelName("a level name that is longer than thirty-one characters");
  EXPECT_STREQ(e.GetLevelName(), "a level name that is longer tha");
  e.InfoPrint(-1);
  EXPECT_TRUE(LogHas(" [QBTE] InfoPrint: the render target was not set.\n"));
  EXPECT_EQ(e.CloseEngine(), 1);
  EXPECT_TRUE(LogHas("\n [QBTE] Info: engine sucessfully closed.\n"));
  EXPECT_EQ(e.InitEngine(1, "x"), 1);
  cQBTE_TileEngine unused;
  EXPECT_EQ(unused.SetLayerSlots(3), 1);   // no state check; its records go with the engine
}

TEST_F(EngineObjectTest, RenderTargetAndViewport) {
  Start(1, 320, 200);
  EXPECT_EQ(engine->SetViewport(NULL), 0);
  SDL_Rect rect = {10, -5, 0, 500};
  EXPECT_EQ(engine->SetViewport(&rect), 1);
  EXPECT_EQ(rect.w, 320);   // corrected values are written back
  EXPECT_EQ(rect.h, 200);
  EXPECT_TRUE(LogHas(" [QBTE] Info: new viewport set at (10,-5)-(330,195).\n"));
  EXPECT_EQ(engine->GetViewport()->x, 10);
  EXPECT_EQ(engine->GetRenderTarget(), target.get());
}

TEST_F(EngineObjectTest, TilesetIdsAutomaticExplicitAndCollisions) {
  Start();
  EXPECT_EQ(AddTiles(-1, 32, 32, 10, 1, "ten"), 1);
  EXPECT_EQ(AddTiles(-1, 32, 32, 10, 1, "next"), 12);   // largest end + 1, plus 1
  EXPECT_TRUE(LogHas(" [QBTE] Info: tileset 'next' with global ID '12' loaded:\n         . 10 tiles of 32x32\n"));
  engine->UnloadTileset(1);
  engine->UnloadTileset(12);
  EXPECT_EQ(AddTiles(11, 32, 32, 20, 1, "twenty"), 11);
  EXPECT_EQ(AddTiles(1, 32, 32, 10, 1, "ten"), 1);
  EXPECT_EQ(AddTiles(25, 32, 32, 10, 1, "third"), -1);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: tileset 'third' with global ID '25' was not loaded (collision with gID '11')\n"));
  // A range that contains a loaded one without holding its ends in it is a collision too.
  engine->UnloadTileset(1);
  EXPECT_EQ(AddTiles(5, 32, 32, 40, 1, "around"), -1);
  EXPECT_TRUE(LogHas("tileset 'around' with global ID '5' was not loaded (collision with gID '11')"));
  EXPECT_EQ(engine->FindTileset(0x80000000u | 30), 0);   // flip bits do not count
  EXPECT_EQ(engine->FindTileset(31), -1);
  EXPECT_EQ(engine->FindTileset(0), -1);
}

TEST_F(EngineObjectTest, TilesetIdsOutOfRangeAndEmptyTilesAreRefused) {
  Start();
  EXPECT_EQ(AddTiles(0x1FFFFFFF, 32, 32, 2, 1), -1);   // the second id would not fit 29 bits
  EXPECT_EQ(AddTiles(0x20000000), -1);
  EXPECT_EQ(AddTiles(0x1FFFFFFF, 32, 32, 1, 1), 0x1FFFFFFF);
  EXPECT_EQ(AddTiles(-1, 32, 32, 1, 1), -1);           // no automatic id left
  EXPECT_EQ(LogCount("was not loaded (IDs beyond 536870911)"), 3u);
  Yandorix_CTile never;
  EXPECT_EQ(engine->AddTileset(&never, 1), -1);
  EXPECT_EQ(engine->AddTileset(NULL, 1), -1);
  Surface small = TilesetImage(1, 1, 16, 16);
  Yandorix_CTile tooLarge;
  tooLarge.Create(small.get(), "big");
  tooLarge.SetTileSet(1, 32, 32);   // tiles larger than the image: none
  EXPECT_EQ(engine->AddTileset(&tooLarge, 1), -1);
  EXPECT_EQ(LogCount("was not loaded (it holds no tiles)"), 2u);
  EXPECT_EQ(engine->GetTilesetCount(), 1);
}

TEST_F(EngineObjectTest, TilesetSourcesAndFiles) {
  Start();
  int gid = AddTiles(1);
  EXPECT_STREQ(engine->GetTilesetSource(5), "TE-TS-DEFAULT-SOURCE");
  EXPECT_EQ(engine->SetTilesetSource(5, "dir/Tiles.PNG"), 1);
  EXPECT_STREQ(engine->GetTilesetSource(gid), "dir/Tiles.PNG");
  EXPECT_EQ(engine->SetTilesetSource(5, "tiles.jpg"), 0);
  EXPECT_EQ(engine->SetTilesetSource(5, "png"), 0);
  EXPECT_EQ(engine->SetTilesetSource(999, "a.png"), 0);
  EXPECT_EQ(engine->SetTilesetSource(5, "TE-TS-DEFAULT-SOURCE"), 1);
  Surface image = TilesetImage(4, 2, 16, 16);
  ASSERT_EQ(SDL_SaveBMP(image.get(), "set.bmp"), 0);
  int live = Yandorix.numtiles;
  EXPECT_EQ(engine->LoadTilesetImage("set.bmp", "fromfile", 16, 16, -1), 258);
  EXPECT_STREQ(engine->GetTilesetSource(258), "set.bmp");
  EXPECT_EQ(engine->GetTilesetAt(1)->resourceControl, 1);
  EXPECT_EQ(engine->LoadTilesetImage("missing.bmp", "x", 16, 16, -1), -1);
  EXPECT_EQ(engine->LoadTilesetImage("set.bmp", "clash", 16, 16, 3), -1);
  EXPECT_EQ(Yandorix.numtiles, live + 1) << "a refused tile object was not deleted";
  Yandorix_CTile* tile = engine->GetTilesetTile(258);
  ASSERT_NE(tile, nullptr);
  ASSERT_GT(tile->Save("sets.dpf", "TILE2"), 0);
  EXPECT_EQ(engine->LoadTilesetDPF("sets.dpf", "fromfile", 500), 500);
  EXPECT_STREQ(engine->GetTilesetSource(500), "sets.dpf");
  EXPECT_EQ(engine->LoadTilesetDPF("sets.dpf", "nothere", 600), -1);
}

TEST_F(EngineObjectTest, LayerFlagsNeedAReadyMapAndNormaliseTheirValue) {
  Start(3);
  EXPECT_EQ(engine->SetLayerFlags(0, QBTE_RENDER | QBTE_LOOPX, 1), 1);
  EXPECT_TRUE(LogHas(" [QBTE] Info: set LoopX flag for layer 'TE-LAYER-EMTPY' with ID '0'.\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Warning: attempt to set Render flag for layer 'TE-LAYER-EMTPY' with ID '0' failed "
                     "(Mapdata was not set)\n"));
  EXPECT_EQ(engine->GetLayerFlags(0), QBTE_LOOPX);
  engine->SetLayerMapData(1, NewMap(2, 2, 32, 32, Ones));
  engine->SetLayerResourceControl(1, 1);
  EXPECT_EQ(engine->SetLayerFlags(1, QBTE_SMOOTHSCROLL, 1), 1);
  EXPECT_TRUE(LogHas("attempt to set SmoothScroll flag for layer 'TE-LAYER-EMTPY' with ID '1' failed "
                     "(Needed tilesets are not loaded)\n"));
  AddTiles(1);
  EXPECT_EQ(engine->SetLayerFlags(1, 0x1FF, 2), 1);   // 2..127 set
  EXPECT_EQ(engine->GetLayerFlags(1), 0x1FF);
  engine->SetLayerFlags(1, QBTE_PAUSE, -1);             // 0x80..0xFF unset
  engine->SetLayerFlags(1, QBTE_LOOPY, 256);            // only the low byte counts: 0
  EXPECT_EQ(engine->GetLayerFlags(1), 0x1FF & ~(QBTE_PAUSE | QBTE_LOOPY));
  EXPECT_TRUE(LogHas(" [QBTE] Info: unset Pause flag for layer 'TE-LAYER-EMTPY' with ID '1'.\n"));
  EXPECT_EQ(engine->SetLayerFlags(1, 0, 0), 1);
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '1' disabled.\n"));
  EXPECT_EQ(engine->GetLayerFlags(1), 0);
  EXPECT_EQ(engine->SetLayerFlags(7, QBTE_LOOPX, 1), 0);
  EXPECT_EQ(engine->GetLayerFlags(-1), -1);
}

TEST_F(EngineObjectTest, ResourceControlModes) {
  Start();
  EXPECT_EQ(engine->SetLayerResourceControl(0, 5), 1);
  EXPECT_EQ(engine->GetLayerResourceControl(0), 1);
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '0' changed to user resource control mode.\n"));
  engine->SetLayerResourceControl(0, 0x180);   // negative low byte
  EXPECT_EQ(engine->GetLayerResourceControl(0), 0);
  engine->GetLayer(0)->resourceControl = 2;   // as the level loaders set it
  EXPECT_EQ(engine->SetLayerResourceControl(0, 0), 0);
  EXPECT_EQ(engine->GetLayerResourceControl(0), 2);
}

TEST_F(EngineObjectTest, SpeedCascadesByParallax) {
  Start(3);
  engine->SetLayerParallax(1, 1.0f);
  engine->SetLayerParallax(0, 0.5f);
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '0' changed parallax ratio to '0.50' value.\n"));
  EXPECT_EQ(engine->SetLayerSpeed(1, 32.0f, QBTE_POS_KEEP), 1);
  float x = 0.0f, y = 5.0f;
  EXPECT_EQ(engine->GetLayerSpeed(0, &x, &y), 1);   // written although *x was 0.0
  EXPECT_EQ(x, 16.0f);
  EXPECT_EQ(y, 0.0f);
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '1' changed X speed to '32.00' value(Requested)\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '0' changed X speed to '16.00' value(Cascade)\n"));
  engine->GetLayerSpeed(2, &x, NULL);               // independent layer untouched; NULL is fine
  EXPECT_EQ(x, 0.0f);
  engine->SetLayerSpeed(0, QBTE_POS_KEEP, 10.0f);
  engine->GetLayerSpeed(1, NULL, &y);
  EXPECT_EQ(y, 20.0f);
  engine->SetLayerParallax(1, 0.0f);
  engine->SetLayerSpeed(1, 64.0f, QBTE_POS_KEEP);
  engine->GetLayerSpeed(0, &x, NULL);
  EXPECT_EQ(x, 16.0f) << "an independent layer cascaded";
  EXPECT_EQ(engine->GetLayerSpeed(9, &x, &y), -1);
}

TEST_F(EngineObjectTest, PositionCodesClampsAndCascades) {
  Start(2);
  AddTiles(1);
  Layer(0, 20, 100, 32, 32, Ones);   // 3200 x 640 pixels
  Layer(1, 20, 50, 32, 32, Ones);
  engine->SetLogMode(3);   // position lines at level 5, which the test log keeps
  sQBTE_Layer* layer = engine->GetLayer(0);
  EXPECT_EQ(engine->SetLayerPosition(0, 100.0f, QBTE_POS_KEEP), 1);
  EXPECT_EQ(layer->snap, 0);
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '0' changed X position to '100.00' value(Request)\n"));
  EXPECT_EQ(engine->SetLayerPosition(0, 100.0f, QBTE_POS_KEEP), 0);   // unchanged
  EXPECT_EQ(engine->SetLayerPosition(0, QBTE_POS_START, QBTE_POS_KEEP), 1);
  EXPECT_EQ(layer->posX, 0.0f);
  EXPECT_EQ(layer->snap, 1);
  engine->SetLayerPosition(0, QBTE_POS_CENTER, QBTE_POS_END);
  EXPECT_EQ(layer->posX, 1600.0f - 320.0f);
  EXPECT_EQ(layer->posY, 640.0f - 400.0f);
  engine->SetLayerPosition(0, QBTE_POS_CENTER_ON + 480.0f, QBTE_POS_KEEP);
  EXPECT_EQ(layer->posX, 160.0f);
  engine->SetLayerPosition(0, 5000.0f, -50.0f);   // clamped to the map
  float x = 0.0f, y = 7.0f;
  EXPECT_EQ(engine->GetLayerPosition(0, &x, &y), 1);   // written although *x was 0.0
  EXPECT_EQ(x, 3200.0f - 640.0f);
  EXPECT_EQ(y, 0.0f);
  EXPECT_EQ(engine->GetLayerPosition(0, NULL, NULL), 1);
  EXPECT_EQ(engine->GetLayerPosition(5, &x, &y), -1);
  engine->SetLayerFlags(0, QBTE_LOOPX, 1);
  engine->SetLayerPosition(0, -70.0f, QBTE_POS_KEEP);
  EXPECT_EQ(layer->posX, -70.0f);
  EXPECT_EQ(engine->MoveLayer(0, 10.0f, 0.0f), 1);
  EXPECT_EQ(layer->posX, -60.0f);
  // Linked layers follow by their ratios, each within its own map.
  engine->SetLayerParallax(0, 1.0f);
  engine->SetLayerParallax(1, 0.5f);
  engine->SetLayerPosition(0, 1000.0f, QBTE_POS_KEEP);
  EXPECT_EQ(engine->GetLayer(1)->posX, 500.0f);
  EXPECT_TRUE(LogHas(" [QBTE] Info: layer 'TE-LAYER-EMTPY' with ID '1' changed X position to '500.00' value(Cascade)\n"));
  engine->SetLayerPosition(0, 2400.0f, QBTE_POS_KEEP);
  EXPECT_EQ(engine->GetLayer(1)->posX, 1600.0f - 640.0f);
  engine->SetLayerPosition(0, QBTE_POS_START, QBTE_POS_KEEP);
  EXPECT_EQ(engine->GetLayer(1)->snap, 1);
  engine->SetLayerFlags(0, QBTE_PAUSE, 1);
  EXPECT_EQ(engine->SetLayerPosition(0, 300.0f, QBTE_POS_KEEP), 0);
  EXPECT_EQ(engine->MoveLayer(0, 5.0f, 5.0f), 0);
  EXPECT_EQ(layer->posX, 0.0f);
}

TEST_F(EngineObjectTest, AMapNarrowerThanTheViewportStaysAtZero) {
  Start(1);
  AddTiles(1);
  Layer(0, 5, 10, 32, 32, Ones);   // 320 x 160 in a 640 x 400 viewport
  EXPECT_EQ(engine->SetLayerPosition(0, 0.0f, QBTE_POS_KEEP), 0);
  EXPECT_EQ(engine->MoveLayer(0, 16.0f, 16.0f), 0);
  EXPECT_EQ(engine->GetLayer(0)->posX, 0.0f);
  EXPECT_EQ(engine->GetLayer(0)->posY, 0.0f);
  EXPECT_EQ(engine->SetLayerPosition(1, 0.0f, 0.0f), -1);
  engine->SetLayerSlots(2);
  EXPECT_EQ(engine->SetLayerPosition(1, 0.0f, 0.0f), -1);   // no map
}

TEST_F(EngineObjectTest, MissingTilesDisableALayerOnceAndTilesetsReadyItAgain) {
  Start(2);
  AddTiles(1, 32, 32, 4, 1);
  Layer(0, 3, 3, 32, 32, [](int c, int r) { return c == 2 && r == 1 ? 7 : 1; });
  EXPECT_EQ(engine->GetLayer(0)->ready, 0);
  EXPECT_EQ(engine->GetLayerFlags(0), 0);
  EXPECT_EQ(LogCount("was not found in the loaded tilesets"), 1u);
  EXPECT_TRUE(LogHas(" [QBTE] Error: tile '7' in layer 'TE-LAYER-EMTPY' with ID '0' at [2,1] was not found in the "
                     "loaded tilesets.\n"));
  AddTiles(5, 32, 32, 4, 1, "second");
  EXPECT_TRUE(LogHas("         . 1 layer is now ready\n"));
  EXPECT_EQ(engine->GetLayer(0)->ready, 1);
}

TEST_F(EngineObjectTest, UnloadingTheOnlyTilesetDisablesEveryLayerUsingIt) {
  Start(2);
  AddTiles(1);
  Layer(0, 3, 3, 32, 32, Ones);
  Layer(1, 3, 3, 32, 32, Ones);
  ASSERT_EQ(engine->GetLayerFlags(1), QBTE_RENDER | QBTE_UPDATE);
  int live = Yandorix.numtiles;
  EXPECT_EQ(engine->UnloadTileset(3), 1);
  EXPECT_TRUE(LogHas(" [QBTE] Info: tileset 'tiles' with global ID '1' unloaded:\n         . 256 tiles of 32x32\n"
                     "         . 2 layers were disabled\n"));
  EXPECT_EQ(engine->GetLayerFlags(0) | engine->GetLayerFlags(1), 0);
  EXPECT_EQ(Yandorix.numtiles, live - 1);
  EXPECT_EQ(engine->UnloadTileset(3), 0);
}

TEST_F(EngineObjectTest, TallAndWideTilesWidenTheCoveredArea) {
  Start(1);
  AddTiles(1, 32, 80, 4, 1);   // 32 x 80 tiles on 16 x 32 cells
  Layer(0, 3, 3, 16, 32, Ones);
  EXPECT_EQ(engine->GetLayer(0)->overhangX, 16);   // 16 x (ceil(32/16) - 1)
  EXPECT_EQ(engine->GetLayer(0)->overhangY, 64);   // 32 x (ceil(80/32) - 1)
}

TEST_F(EngineObjectTest, MapsWithoutAPositiveSizeAreRefused) {
  Start(1);
  AddTiles(1);
  cQBTE_MapBase* flat = NewMap(2, 2, 0, 32, Ones);
  EXPECT_EQ(engine->SetLayerMapData(0, flat), 0);   // not ready: cell width 0
  ForeignMap foreign;
  foreign.SetCellHeight(-16);   // a derived type says it is ready; its size says otherwise
  EXPECT_EQ(engine->SetLayerMapData(0, &foreign), 0);
  EXPECT_TRUE(LogHas("was refused (map size 4x4, cell size 16x-16)"));
  foreign.SetCellHeight(65536);
  EXPECT_EQ(engine->SetLayerMapData(0, &foreign), 0);
  flat->SetCellWidth(32);
  ASSERT_EQ(engine->SetLayerMapData(0, flat), 1);
  engine->SetLayerResourceControl(0, 1);
  engine->SetLayerFlags(0, QBTE_RENDER, 1);
  flat->SetCellWidth(0);   // changed behind the engine's back
  EXPECT_EQ(engine->CheckLayerCells(0), 0);
  EXPECT_EQ(engine->GetLayerFlags(0), 0);
  EXPECT_EQ(engine->RenderLayers(-1), 1);
}

TEST_F(EngineObjectTest, MapOwnershipFollowsResourceControl) {
  Start(2);
  AddTiles(1);
  liveMaps = 0;
  {
    CountedMap mine(2, 2);   // user mode: never deleted by the engine
    ASSERT_EQ(engine->SetLayerMapData(0, &mine), 1);
    CountedMap* other = new CountedMap(2, 2);
    engine->SetLayerMapData(0, other);
    EXPECT_EQ(liveMaps, 2);
    engine->SetLayerMapData(0, &mine);
    EXPECT_EQ(liveMaps, 2);
    delete other;
    engine->SetLayerMapData(0, NULL);
  }
  liveMaps = 0;
  engine->ResetLayer(0);
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    CountedMap* first = new CountedMap(2, 2);
    engine->SetLayerMapData(0, first);
    engine->GetLayer(0)->resourceControl = (Sint8)mode;
    engine->SetLayerMapData(0, first);   // the same map again is kept
    EXPECT_EQ(liveMaps, 1);
    engine->SetLayerMapData(0, new CountedMap(2, 2));
    EXPECT_EQ(liveMaps, 1);
    engine->SetLayerMapData(0, NULL);
    EXPECT_EQ(liveMaps, 0);
    engine->SetLayerMapData(0, new CountedMap(2, 2));
    engine->ResetLayer(0);
    EXPECT_EQ(liveMaps, 0);
    EXPECT_EQ(engine->GetLayer(0)->resourceControl, 0);
  }
  engine->SetLayerMapData(1, new CountedMap(2, 2));
  engine->SetLayerResourceControl(1, 1);
  engine->SetLayerSlots(1);
  EXPECT_EQ(liveMaps, 0);
  engine->SetLayerMapData(0, new CountedMap(2, 2));
  engine->SetLayerResourceControl(0, 1);
  engine.reset();
  EXPECT_EQ(liveMaps, 0);
}

TEST_F(EngineObjectTest, TileOwnershipFollowsResourceControl) {
  Start();
  int live = Yandorix.numtiles;
  Yandorix_CTile* mine = NewTileset("mine", 2, 2, 8, 8);
  engine->AddTileset(mine, 1);
  for (Uint8 mode : {1, 2}) {
    int gid = engine->AddTileset(NewTileset("owned", 2, 2, 8, 8), -1);
    engine->GetTilesetAt(engine->FindTileset((Uint32)gid))->resourceControl = mode;
  }
  EXPECT_EQ(Yandorix.numtiles, live + 3);
  engine->UnloadTileset(1);
  EXPECT_EQ(Yandorix.numtiles, live + 3);   // the application's tile stays
  engine->ResetEngine();                    // modes 1 and 2 are the engine's
  EXPECT_EQ(Yandorix.numtiles, live + 1);
  delete mine;
}

TEST_F(EngineObjectTest, CustomMapsAndConversionBackToBase) {
  Start(1);
  AddTiles(1);
  Layer(0, 2, 3, 32, 32, [](int c, int r) { return r * 3 + c + 1; });
  liveMaps = 0;
  EXPECT_EQ(engine->AddCustomMapData(0, NULL), 0);
  cQBTE_MapBase base(2, 3);
  EXPECT_EQ(engine->AddCustomMapData(0, &base), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: wrong mapdata type signature found.\n\n"));
  ForeignMap foreign;
  EXPECT_EQ(engine->AddCustomMapData(0, &foreign), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: mapdata and custom mapdata dont have compatible attributes.\n\n"));
  CountedMap* custom = new CountedMap(1, 1, "custom");
  custom->FreeCells();
  EXPECT_EQ(engine->AddCustomMapData(0, custom), 1);
  EXPECT_TRUE(LogHas("\n [QBTE] Info: trying to add a custom mapdata type 'custom' to layer 'TE-LAYER-EMTPY' with ID "
                     "'0'...\n"));
  EXPECT_TRUE(LogHas(" [QBTE] Info: custom mapdata successfully added.\n\n"));
  EXPECT_EQ(custom->GetCell(2, 1), 6);
  EXPECT_EQ(engine->GetLayerFlags(0), QBTE_RENDER | QBTE_UPDATE);
  CountedMap other(2, 3, "custom");
  EXPECT_EQ(engine->AddCustomMapData(0, &other), 0);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: a custom mapdata is already set.\n\n"));
  EXPECT_EQ(engine->ConvertLayerToBase(0), 1);
  EXPECT_EQ(liveMaps, 1);   // the custom map was the engine's (auto mode) and went
  cQBTE_MapBase* converted = dynamic_cast<cQBTE_MapBase*>(engine->GetLayerMapData(0));
  ASSERT_NE(converted, nullptr);
  EXPECT_STREQ(converted->GetType(), "base");
  EXPECT_EQ(converted->GetCell(2, 1), 6);
  EXPECT_EQ(converted->GetCellWidth(), 32);
  EXPECT_EQ(engine->ConvertLayerToBase(0), 0);
  engine->SetLayerResourceControl(0, 0);
  engine->SetLayerMapData(0, NULL);
  delete converted;
  ForeignMap* alone = new ForeignMap;
  ASSERT_EQ(engine->SetLayerMapData(0, alone), 1);   // a foreign map is ready once tilesets exist
  EXPECT_EQ(engine->ConvertLayerToBase(0), 0);       // its cells cannot be read
  engine->SetLayerMapData(0, NULL);
  delete alone;
}

TEST_F(EngineObjectTest, MapFactoriesInSlotOrder) {
  Start(1);
  liveMaps = 0;
  EXPECT_EQ(engine->RegisterMapDataFactory(NullFactory), 1);
  EXPECT_EQ(engine->RegisterMapDataFactory(CustomFactory), 1);
  EXPECT_EQ(engine->RegisterMapDataFactory(CustomFactory), 0);
  std::unique_ptr<cQBTE_MapData> base(engine->FindMapDataFactory("base", 2, 3));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->GetWidth(), 3);
  EXPECT_EQ(liveMaps, 0);   // the custom factory was not asked
  std::unique_ptr<cQBTE_MapData> custom(engine->FindMapDataFactory("custom", 0, 0));
  ASSERT_NE(custom, nullptr);
  EXPECT_STREQ(custom->GetType(), "custom");
  EXPECT_EQ(engine->FindMapDataFactory("Custom", 1, 1), nullptr);
  EXPECT_EQ(liveMaps, 1);   // the one built for the wrong name was deleted at once
  engine->ResetEngine();
  EXPECT_EQ(engine->FindMapDataFactory("custom", 1, 1), nullptr);
  EXPECT_EQ(engine->RegisterMapDataFactory(CustomFactory), 1);
}

TEST_F(EngineObjectTest, InfoPrintDescribesLayersAndTilesets) {
  Start(2);
  AddTiles(1);
  engine->GetTilesetAt(0)->tile->SetAlpha(100);
  Layer(0, 2, 3, 32, 32, Ones, QBTE_RENDER | QBTE_UPDATECELLS | QBTE_UPDATE | QBTE_LOOPY);
  engine->SetLayerName(0, "ground");
  engine->SetLayerParallax(0, 0.75f);
  engine->InfoPrint(-1);
  const char* expected[] = {
      "\n [QBTE] InfoPrint - QBTE v1.10 - Level name 'test'\n",
      "      . Layers allocated: 2\n",
      "      -> Layer name 'ground' with ID '0' (Linked - Parallax ratio 0.75)\n",
      "         . Flags: UpdateCells Render LoopY  - Alpha value 255\n",
      "         . Position (0.00,0.00) - Speed (0.00,0.00) pixels/second - Max Offset (0,0)\n",
      "         . Map type 'base' - Map size 3x2 - Cell size 32x32 - Tilesets ready: yes\n",
      "         . OnUpdateEnd: disabled - OnRenderEnd: disabled - Resource control: auto\n\n",
      "      . Tilesets loaded: 1\n",
      "      -> Tileset name 'tiles' with global ID '1'\n",
      "         . Source 'TE-TS-DEFAULT-SOURCE' - Resource control: auto\n",
      "         . Number of tiles 256 of 32x32\n",
      "         . Alpha blending: per-surface (100) - Colorkey: disabled\n"};
  for (const char* line : expected) EXPECT_TRUE(LogHas(line)) << line;
  EXPECT_FALSE(LogHas("ID '1' (Independent)")) << "a layer with the default name is skipped";
}
