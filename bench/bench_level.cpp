// Level and TMX loading against parsing the same documents with TinyXML alone, in the same run:
// LoadLevel of a 6-layer level of 1000 x 1000 cells, and ImportTMX of the same layers as a TMX map.
// What the engine adds on top of the parse is reading the cells and setting up layers and tilesets.
#include "Ratio.h"
#include "QBTE_Level.h"
#include "QBTE_TMX.h"
#include "QBTE_TileEngine.h"
#include <tinyxml.h>

namespace {

const int kLayers = 6, kCells = 1000, kTile = 32, kSetSide = 8;

// Writes "bench.qbm" and "bench.tmx" (with the tileset image "tiles.png") once.
void WriteDocuments() {
  static bool written = false;
  if (written) return;
  written = true;
  Yandorix.Init(SDL_INIT_VIDEO);
  SDL_Surface* image = SDL_CreateRGBSurface(0, kSetSide * kTile, kSetSide * kTile, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(image, NULL, 0x336699);
  Yandorix_CTile* tile = new Yandorix_CTile;
  tile->Create(image, "tiles");
  tile->SetTileSet(1, kTile, kTile);
  SDL_FreeSurface(image);
  cQBTE_TileEngine engine;
  engine.SetLogMode(0);
  engine.InitEngine(kLayers, "bench");
  SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 400, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  engine.SetRenderTarget(target);
  engine.AddTileset(tile, 1);
  engine.GetTilesetAt(0)->resourceControl = 1;
  for (int layer = 0; layer < kLayers; ++layer) {
    cQBTE_MapBase* map = new cQBTE_MapBase(kCells, kCells);
    map->SetCellWidth(kTile);
    map->SetCellHeight(kTile);
    for (int r = 0; r < kCells; ++r)
      for (int c = 0; c < kCells; ++c) map->SetCell(c, r, (c * 3 + r * 7 + layer) % (kSetSide * kSetSide) + 1);
    engine.SetLayerMapData(layer, map);
    engine.SetLayerResourceControl(layer, 1);
    engine.SetLayerFlags(layer, QBTE_RENDER | QBTE_UPDATE, 1);
  }
  SaveLevel(&engine, "bench.qbm", NULL, NULL);
  ExportTMX(&engine, "bench.tmx", NULL);
  engine.CloseEngine();
  SDL_FreeSurface(target);
}

void LoadLevelBench(benchmark::State& state) {
  WriteDocuments();
  cQBTE_TileEngine engine;
  engine.SetLogMode(0);
  engine.InitEngine(kLayers, "bench");
  for (auto _ : state) {
    if (LoadLevel(&engine, "bench.qbm", NULL, NULL) != 1) state.SkipWithError("the level did not load");
    state.PauseTiming();
    engine.ResetEngine();
    state.ResumeTiming();
  }
  engine.CloseEngine();
}

void ImportTMXBench(benchmark::State& state) {
  WriteDocuments();
  cQBTE_TileEngine engine;
  engine.SetLogMode(0);
  engine.InitEngine(kLayers, "bench");
  for (auto _ : state) {
    if (ImportTMX(&engine, "bench.tmx") != 1) state.SkipWithError("the map did not import");
    state.PauseTiming();
    engine.ResetEngine();
    state.ResumeTiming();
  }
  engine.CloseEngine();
}

void TinyXMLParse(benchmark::State& state, const char* file) {
  WriteDocuments();
  for (auto _ : state) {
    TiXmlDocument document;
    if (!document.LoadFile(file)) state.SkipWithError("TinyXML did not parse the document");
    benchmark::DoNotOptimize(document.RootElement());
  }
}

int Register() {
  benchmark::RegisterBenchmark("tinyxml/Parse6x1000x1000Level", TinyXMLParse, "bench.qbm")
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("qbte/LoadLevel6x1000x1000", LoadLevelBench)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tinyxml/Parse6x1000x1000TMX", TinyXMLParse, "bench.tmx")->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("qbte/ImportTMX6x1000x1000", ImportTMXBench)->Unit(benchmark::kMillisecond);
  ydxbench::Ratio("qbte/LoadLevel6x1000x1000", "tinyxml/Parse6x1000x1000Level");
  ydxbench::Ratio("qbte/ImportTMX6x1000x1000", "tinyxml/Parse6x1000x1000TMX");
  return 0;
}
const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
