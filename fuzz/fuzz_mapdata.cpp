// Fuzzes a map's XML element: byte 0 picks the form (bit 0: TMX "data" instead of a level "mapdata";
// bits 1-2: encoding csv, base64, another, none; bit 3: a "compression" attribute, bit 7 naming gzip;
// bit 6: one size attribute left out, bits 4-5 which), then four little-endian int32 (width, height,
// cell width, cell height), then the element's text. A refused read returns 0 and leaves the map as
// it was; a loaded map is attached to a free layer and drawn, and the layer that already had a map
// keeps it untouched.
#include "FuzzEngine.h"
#include "FuzzSupport.h"
#include "QBTE_TileEngine.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>


using fuzz_engine::CellsOf;
using ydxfuzz::Require;

namespace {

Sint32 Read32(const uint8_t* at) { return (Sint32)((Uint32)at[0] | (Uint32)at[1] << 8 | (Uint32)at[2] << 16 | (Uint32)at[3] << 24); }

cQBTE_TileEngine* engine = NULL;
cQBTE_MapBase* keptMap = NULL;
std::vector<Sint32> keptCells;

void StartEngine() {
  static SDL_Surface* target = SDL_CreateRGBSurface(0, 64, 48, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  static Yandorix_CTile tile;
  SDL_Surface* image = SDL_CreateRGBSurface(0, 64, 64, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(image, NULL, 0x123456);
  tile.Create(image, "fuzz");
  tile.SetTileSet(1, 16, 16);
  SDL_FreeSurface(image);
  engine = new cQBTE_TileEngine;
  engine->SetLogMode(0);
  engine->InitEngine(2, "fuzz");
  engine->SetRenderTarget(target);
  engine->AddTileset(&tile, 1);
  keptMap = new cQBTE_MapBase(3, 3);
  keptMap->SetCellWidth(8);
  keptMap->SetCellHeight(8);
  keptMap->FillCells(-1, -1, 5);
  engine->SetLayerMapData(0, keptMap);
  engine->SetLayerFlags(0, QBTE_RENDER, 1);
  keptCells = CellsOf(*keptMap);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary();
  StartEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 17 || size > (1u << 20)) return 0;
  Uint8 form = data[0];
  Sint32 sizes[4];
  for (int i = 0; i < 4; ++i) sizes[i] = Read32(data + 1 + 4 * i);
  std::string text(reinterpret_cast<const char*>(data + 17), size - 17);
  bool tmx = form & 1;
  int xml = Yandorix.XMLCreate("layer");
  if (xml <= 0) return 0;
  Yandorix.XMLNodeCreate(xml, tmx ? "data" : "mapdata");
  static const char* const kEncodings[] = {"csv", "base64", "xml", NULL};
  static const char* const kNames[] = {"width", "height", "cellwidth", "cellheight"};
  if (tmx) {
    if (const char* encoding = kEncodings[(form >> 1) & 3]) Yandorix.XMLAttributeSet(xml, "encoding", encoding);
    if (form & 8) Yandorix.XMLAttributeSet(xml, "compression", (form & 0x80) ? "gzip" : "zlib");
  } else {
    for (int i = 0; i < 4; ++i)
      if (!(form & 0x40) || ((form >> 4) & 3) != i) Yandorix.XMLAttributeSet(xml, kNames[i], (int)sizes[i]);
  }
  Yandorix.XMLTextSet(xml, text.c_str());

  // TMX data needs a map that already has cells; keep it small so each input stays quick.
  cQBTE_MapBase* map = tmx ? new cQBTE_MapBase(abs(sizes[1] % 257) + 1, abs(sizes[0] % 257) + 1) : new cQBTE_MapBase;
  map->SetCellWidth(tmx ? abs(sizes[2] % 70) : 0);
  map->SetCellHeight(tmx ? abs(sizes[3] % 70) : 0);
  std::vector<Sint32> before = CellsOf(*map);
  int cellWidth = map->GetCellWidth();
  int loaded = map->LoadXML(xml, tmx ? 1 : 0);
  Yandorix.XMLClose(xml);
  Require(loaded == 0 || loaded == 1, "LoadXML returned something else than 0 or 1");
  // A TMX read into a map without a drawable cell size completes and still answers 0 (not ready).
  bool refused = !loaded && (!tmx || QBTE_MapDrawable(map));
  if (refused) {
    Require(CellsOf(*map) == before && map->GetCellWidth() == cellWidth, "a refused read changed the map");
  } else if (loaded) {
    Require(QBTE_MapDrawable(map) == 1, "a loaded map has sizes the engine cannot draw");
  }
  if (loaded && engine->SetLayerMapData(1, map)) {
    engine->SetLayerResourceControl(1, 1);
    engine->SetLayerFlags(1, QBTE_RENDER | QBTE_UPDATECELLS | QBTE_LOOPX, 1);
    engine->SetLayerPosition(1, (float)sizes[0], (float)sizes[1]);
    engine->UpdateLayers(-1);
    engine->RenderLayers(-1);
    engine->ResetLayer(1);
  } else {
    delete map;
  }
  Require(engine->GetLayerMapData(0) == keptMap && CellsOf(*keptMap) == keptCells, "the other layer's map changed");
  return 0;
}
