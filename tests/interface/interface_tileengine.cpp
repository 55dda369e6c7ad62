// Compile-time check of the tile engine as the example programs write against it: the engine's
// operations and records, a map class of the application's own, level files, TMX maps, layer pictures
// and the shared helpers, with their own argument and result types. Never run; building and linking is
// the test.
#include <gtest/gtest.h>
#include <Yandorix.h>
#include "QBTE_LayerImage.h"
#include "QBTE_Level.h"
#include "QBTE_MapDecode.h"
#include "QBTE_Shared.h"
#include "QBTE_TMX.h"
#include "QBTE_TileEngine.h"

// A map type of the application's own, reaching the fields a derived map owns.
class WaterMap : public cQBTE_MapData {
 public:
  WaterMap(int rows, int columns) {
    width = columns;
    height = rows;
    cellWidth = 32;
    cellHeight = 32;
    SetType("water");
  }
  int IsReady() override { return width > 0 && height > 0; }
  int Info(char ready, char level) override { return ready + level; }
  int UpdateCell(int column, int row, cQBTE_TileEngine* engine, int, int) override {
    return column + row + (engine != NULL);
  }
  int DrawCell(int column, int row, int x, int y, cQBTE_TileEngine* engine, int alpha) override {
    return column + row + x + y + alpha + (engine != NULL);
  }
  int SaveXML(int xml, int mode) override { return xml + mode; }
  int LoadXML(int xml, int mode) override { return xml + mode + (type[0] != 0); }
};

static cQBTE_MapData* CreateWaterMap(int rows, int columns) { return new WaterMap(rows, columns); }
static void OnLayerEnd(int, int, int, int, int, int, int, int) {}

static int CallMaps() {
  cQBTE_MapBase empty;
  cQBTE_MapBase map(2, 3);
  int result = empty.CreateCells(2, 2, 0) + map.FillCells(-1, 1, 7) + map.CopyCellsTo(&empty) + empty.FreeCells();
  result += map.IsReady() + map.Info(-1, 2) + map.UpdateCell(0, 0, NULL, 0, 0);
  result += map.DrawCell(0, 0, 0, 0, NULL, 255) + map.SaveXML(1, 0) + map.LoadXML(1, 1);
  result += map.LoadCellsFromCSV((char*)"1,2,3, 4,5,6 ");
  unsigned char bytes[24] = {1};
  result += map.LoadCellsFromBinary(bytes) + map.LoadCellsFromBinary(bytes, sizeof bytes);
  char* type = map.GetType();
  map.SetCellWidth(16);
  map.SetCellHeight(16);
  result += map.GetCellWidth() + map.GetCellHeight() + map.GetWidth() + map.GetHeight();
  cQBTE_MapData* made = CreateMapBase(4, 4);
  WaterMap water(4, 4);
  result += water.IsReady() + (type != NULL);
  delete made;
  return result;
}

static int CallLayers(cQBTE_TileEngine& engine) {
  int result = engine.SetLayerName(0, (char*)"ground") + engine.GetLayerFlags(0);
  char* layerName = engine.GetLayerName(0);
  result += engine.SetLayerFlags(0, QBTE_RENDER | QBTE_UPDATE, 1);
  result += engine.GetLayerResourceControl(0) + engine.SetLayerResourceControl(0, 1);
  float ratio = engine.GetLayerParallax(0);
  result += engine.SetLayerParallax(0, 0.5f) + engine.GetLayerAlpha(0) + engine.SetLayerAlpha(0, 128);
  result += engine.SetLayerGridColor(0, 0xFFFFFF);
  float x = 0, y = 0;
  result += engine.GetLayerSpeed(0, &x, &y) + engine.SetLayerSpeed(0, 32.0f, QBTE_POS_KEEP);
  result += engine.GetLayerPosition(0, &x, &y) + engine.SetLayerPosition(0, QBTE_POS_START, 0.0f);
  result += engine.MoveLayer(0, 1.0f, -1.0f);
  result += engine.SetOnUpdateEnd(0, OnLayerEnd) + engine.SetOnRenderEnd(0, OnLayerEnd);
  LayerEndCallback* onUpdate = engine.GetOnUpdateEnd(0);
  LayerEndCallback* onRender = engine.GetOnRenderEnd(0);
  cQBTE_MapData* map = engine.GetLayerMapData(0);
  result += engine.SetLayerMapData(0, CreateMapBase(10, 10)) + engine.AddCustomMapData(0, new WaterMap(10, 10));
  result += engine.ConvertLayerToBase(0) + engine.RegisterMapDataFactory(CreateWaterMap);
  cQBTE_MapData* found = engine.FindMapDataFactory((char*)"water", 3, 3);
  delete found;
  result += engine.CheckLayerCells(0) + engine.ResetLayer(0);
  return result + (layerName != NULL) + (int)ratio + (onUpdate != onRender) + (map != NULL);
}

static int CallTilesets(cQBTE_TileEngine& engine) {
  Yandorix_CTile* tile = new Yandorix_CTile;
  int gid = engine.AddTileset(tile, -1);
  gid += engine.LoadTilesetImage((char*)"tiles.png", (char*)"tiles", 32, 32, 100);
  gid += engine.LoadTilesetDPF((char*)"data.dpf", (char*)"tiles", -1);
  int result = engine.FindTileset(1);
  char* source = engine.GetTilesetSource(1);
  Yandorix_CTile* holder = engine.GetTilesetTile(1);
  result += engine.SetTilesetSource(1, (char*)"tiles.bmp") + engine.UnloadTileset(1);
  return result + gid + (source != NULL) + (holder != NULL);
}

static int CallRecords(cQBTE_TileEngine& engine) {
  sQBTE_Layer* layer = engine.GetLayer(0);
  int result = (int)layer->flags + layer->resourceControl + layer->ready + layer->alpha + (int)layer->gridColor;
  float floats = layer->parallaxRatio + layer->speedX + layer->speedY + layer->posX + layer->posY + layer->curX +
                 layer->curY + layer->prevX + layer->prevY + layer->renderX + layer->renderY;
  result += (layer->mapData != NULL) + (layer->onUpdateEnd != NULL) + (layer->onRenderEnd != NULL);
  result += layer->name[0] + layer->overhangX + layer->overhangY + (int)layer->lastTick + layer->snap;
  sQBTE_Tileset* tileset = engine.GetTilesetAt(0);
  result += (int)tileset->firstGid + (tileset->source != NULL) + (tileset->tile != NULL) + tileset->tileCount;
  result += tileset->resourceControl + engine.GetTilesetCount();
  return result + (int)floats;
}

static int CallFiles(cQBTE_TileEngine& engine) {
  int result = LoadLevel(&engine, (char*)"mylevel.qbm", NULL, NULL);
  result += LoadLevel(&engine, (char*)"mylevel.qbm", (char*)"data.dpf", (char*)"night");
  result += SaveLevel(&engine, (char*)"mylevel.qbm", NULL, NULL) + SaveLevel(&engine, (char*)"x", (char*)"d.dpf", (char*)"x");
  result += ImportTMX(&engine, (char*)"desert.tmx") + ExportTMX(&engine, (char*)"mylevel.tmx", NULL);
  result += WriteProperty(1, (char*)"name", (char*)"desert") + WriteProperty(1, (char*)"id", 3);
  result += WriteProperty(1, (char*)"parallax_ratio", 0.5);
  char* text = NULL;
  int whole = 0;
  double decimal = 0.0;
  result += ReadProperty(1, (char*)"name", &text) + ReadProperty(1, (char*)"id", &whole);
  result += ReadProperty(1, (char*)"parallax_ratio", &decimal);
  Yandorix_CTile* spaced = CreateTilesetFromImage((char*)"tiles.png", (char*)"tiles", 32, 32, 2, 2);
  delete spaced;
  SDL_Surface* picture = NULL;
  result += ExportLayersToSurface(&engine, -1, &picture) + ExportLayerToImage(&engine, 0, (char*)"layer1-image.png");
  result += ImportSurfaceToLayer(&engine, 1, picture, 32, 32, 100, -1);
  result += ImportImageToLayer(&engine, 2, (char*)"layer1-image.png", 32, 32, 90, -1);
  SDL_Rect a = {0, 0, 32, 32}, b = {32, 0, 32, 32};
  result += CompareTileBlocks(&a, &b, picture, 0, 32, 32, -1);
  SDL_FreeSurface(picture);
  char name[32];
  result += MatchExtension((char*)"a.PNG", (char*)".png") + FileExists((char*)"a.png");
  result += CopyBounded(name, (char*)"level", (int)sizeof name) + DeleteTilesetBlock((char*)"data.dpf", (char*)"tiles");
  char* now = NowText();
  float rounded = RoundFloat(2.5f);
  std::string bytes = Base64Decode((char*)"AQAAAA==");
  unsigned char* inflated = InflateBuffer(bytes, 4);
  free(inflated);
  return result + whole + (int)decimal + (text != NULL) + (now != NULL) + (int)rounded;
}

void CallTileEngineInterface() {
  cQBTE_TileEngine engine;
  int result = engine.InitEngine(6, (char*)"Level") + engine.SetLayerSlots(-1) + engine.SetRenderTarget(Yandorix.screen);
  SDL_Rect view = {0, 0, 640, 400};
  result += engine.SetViewport(&view);
  SDL_Surface* target = engine.GetRenderTarget();
  SDL_Rect* viewport = engine.GetViewport();
  char* level = engine.GetLevelName();
  char* created = engine.GetCreationDate();
  char* modified = engine.GetModificationDate();
  engine.SetLevelName((char*)"Desert");
  engine.SetLogMode(2);
  result += CallMaps() + CallLayers(engine) + CallTilesets(engine) + CallRecords(engine) + CallFiles(engine);
  result += engine.UpdateLayers(-1) + engine.RenderLayers(-1);
  int x = 0, y = 0;
  result += engine.Screen2LayerAbsolute(0, 10, 10, &x, &y) + engine.Screen2LayerCell(0, 10, 10, &x, &y);
  engine.InfoPrint(-1);
  result += engine.ResetEngine() + engine.CloseEngine();
  ILogSystem.Msg(0, "%d %d %d %s %s %s %p %p\n", result, x, y, level, created, modified, (void*)target,
                 (void*)viewport);
}

TEST(Interface, TileEngine) { SUCCEED(); }
