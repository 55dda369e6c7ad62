// Fuzzes ImportSurfaceToLayer with pictures of random sizes, depths, tile sizes, accuracies and keys.
// Input: byte 0 the depth (bits 0-2), the target (bits 3-4: free layer 1, layer 0 that has a map, an id
// outside the slots, an engine that is not initialised), no picture (bit 5), a run-length key (bit 6),
// surface alpha 128 (bit 7); bytes 1 and 2 tile width and height (signed, halved); bytes 3 and 4
// columns and rows; byte 5 one pixel more in width (bits 0-1 = 3) or height (bits 2-3 = 3), an id below
// 0 instead of 2 (bit 5), no key (bit 6), tiles wider than 1024 pixels (bit 7); byte 6 the accuracy;
// bytes 7-10 the key (little-endian); the rest fills the pixel rows over and over.
// What must hold: a known result; a refusal logs a line and changes nothing; an import gives only ids
// of its own tileset; the other layer, the picture and the working directory stay as they were.
#include "FuzzEngine.h"
#include "QBTE_LayerImage.h"
#include "QBTE_TileEngine.h"
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using fuzz_engine::CellsOf;
using ydxfuzz::Require;

namespace {

cQBTE_TileEngine* engine = NULL;
cQBTE_TileEngine* closedEngine = NULL;
cQBTE_MapBase* keptMap = NULL;
std::vector<Sint32> keptCells;
std::string logPath;
int inputs = 0;

long long LogSize() {
  struct stat st;
  return stat(logPath.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

int DirectoryEntries() {
  int count = 0;
  if (DIR* dir = opendir(".")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

void StartLog() { ILogSystem.Init(logPath.c_str(), 2, 5, "fuzz_layerimage", NULL, NULL, NULL); }

std::string logDirectory;
void RemoveLog() {
  remove(logPath.c_str());
  rmdir(logDirectory.c_str());
}

void StartEngines() {
  static Yandorix_CTile tile;
  SDL_Surface* image = SDL_CreateRGBSurface(0, 32, 32, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(image, NULL, 0x123456);
  tile.Create(image, "fuzz");
  tile.SetTileSet(1, 16, 16);
  SDL_FreeSurface(image);
  engine = new cQBTE_TileEngine;
  engine->InitEngine(2, "fuzz");
  engine->AddTileset(&tile, 1);
  keptMap = new cQBTE_MapBase(2, 3);
  keptMap->SetCellWidth(16);
  keptMap->SetCellHeight(16);
  keptMap->FillCells(-1, -1, 3);
  engine->SetLayerMapData(0, keptMap);
  keptCells = CellsOf(*keptMap);
  closedEngine = new cQBTE_TileEngine;
}

struct sFormat {
  int bits;
  Uint32 r, g, b, a;
  bool perPixel;
};
const sFormat kFormats[8] = {
    {8, 0, 0, 0, 0, false},
    {15, 0x7C00, 0x03E0, 0x001F, 0, false},
    {16, 0xF800, 0x07E0, 0x001F, 0, false},
    {24, 0xFF, 0xFF00, 0xFF0000, 0, false},
    {32, 0xFF0000, 0xFF00, 0xFF, 0, false},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true},
    {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, false},
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000, true},
};

// The picture of the input, its rows filled from `fill` over and over; NULL when SDL refuses the size.
SDL_Surface* MakePicture(const sFormat& format, int width, int height, const uint8_t* fill, size_t fillSize) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, format.bits, format.r, format.g, format.b, format.a);
  if (!s) return NULL;
  if (!format.perPixel && format.a) SDL_SetAlpha(s, 0, 255);
  if (format.bits == 8) {
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = {(Uint8)i, (Uint8)(255 - i), (Uint8)(i * 7), 0};
    SDL_SetColors(s, colours, 0, 256);
  }
  size_t rowBytes = (size_t)width * s->format->BytesPerPixel, at = 0;
  for (int y = 0; y < height; ++y) {
    Uint8* row = static_cast<Uint8*>(s->pixels) + (size_t)y * s->pitch;
    for (size_t i = 0; i < rowBytes; ++i) row[i] = fillSize ? fill[at++ % fillSize] : 0;
  }
  return s;
}

std::vector<Uint8> PixelBytes(SDL_Surface* s) {
  std::vector<Uint8> bytes;
  if (SDL_LockSurface(s) < 0) return bytes;
  size_t rowBytes = (size_t)s->w * s->format->BytesPerPixel;
  for (int y = 0; y < s->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch;
    bytes.insert(bytes.end(), row, row + rowBytes);
  }
  SDL_UnlockSurface(s);
  return bytes;
}

// A successful import: a new tileset after the kept one, a map of the picture's cells holding only
// ids of that tileset; then the layer and the tileset are released again.
void CheckImported(int columns, int rows) {
  Require(engine->GetTilesetCount() == 2, "an import did not add exactly one tileset");
  const sQBTE_Tileset* tileset = engine->GetTilesetAt(1);
  const cQBTE_MapBase* map = dynamic_cast<const cQBTE_MapBase*>(engine->GetLayerMapData(1));
  Require(map && map->GetWidth() == columns && map->GetHeight() == rows, "the imported map has the wrong size");
  for (Sint32 cell : CellsOf(*map))
    Require(cell == 0 || ((Uint32)cell >= tileset->firstGid && (Uint32)cell - tileset->firstGid < (Uint32)tileset->tileCount),
            "an imported cell holds an id outside the new tileset");
  Require(engine->GetLayer(1)->ready == 1 && engine->GetLayer(1)->resourceControl == 2, "the imported layer is not set up");
  Uint32 firstGid = tileset->firstGid;
  engine->ResetLayer(1);
  engine->UnloadTileset(firstGid);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char logDir[] = "/tmp/ydxfuzzlog-XXXXXX";
  if (!mkdtemp(logDir)) abort();
  logDirectory = logDir;
  logPath = logDirectory + "/layerimage.log";
  atexit(RemoveLog);
  StartLog();
  ydxfuzz::StartLibrary();
  StartEngines();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 11 || size > (1u << 16)) return 0;
  if (++inputs % 5000 == 0) StartLog();   // keeps the log small over long runs
  const sFormat& format = kFormats[data[0] & 7];
  int target = (data[0] >> 3) & 3;
  Uint8 shape = data[5];
  bool wide = shape & 0x80;
  int tileWidth = (Sint8)data[1] / 2, tileHeight = (Sint8)data[2] / 2;
  int columns = data[3] % 12 + 1, rows = data[4] % 12 + 1;
  if (wide) {
    tileWidth = 1025 + abs(tileWidth) * 2;
    tileHeight %= 5;
    columns = data[3] % 2 + 1;
    rows = data[4] % 2 + 1;
  }
  int width = std::max(abs(tileWidth), 1) * columns + ((shape & 3) == 3 ? 1 : 0);
  int height = std::max(abs(tileHeight), 1) * rows + (((shape >> 2) & 3) == 3 ? 1 : 0);
  int accuracy = (Sint8)data[6];
  int key = (shape & 0x40) ? -1 : (int)((Uint32)data[7] | (Uint32)data[8] << 8 | (Uint32)data[9] << 16 | (Uint32)data[10] << 24);

  SDL_Surface* picture = (data[0] & 0x20) ? NULL : MakePicture(format, width, height, data + 11, size - 11);
  if (picture && (data[0] & 0x80)) SDL_SetAlpha(picture, SDL_SRCALPHA, 128);
  if (picture && (data[0] & 0x40)) SDL_SetColorKey(picture, SDL_SRCCOLORKEY | SDL_RLEACCEL, (Uint32)key);
  Uint32 flagsBefore = picture ? picture->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY) : 0;
  std::vector<Uint8> pixelsBefore = picture ? PixelBytes(picture) : std::vector<Uint8>();

  cQBTE_TileEngine* into = target == 3 ? closedEngine : engine;
  int layer = target == 0 || target == 3 ? 1 : (target == 1 ? 0 : ((shape & 0x20) ? -1 - data[3] : 2 + data[4]));
  long long logBefore = LogSize();
  int entriesBefore = DirectoryEntries();
  int result = ImportSurfaceToLayer(into, layer, picture, tileWidth, tileHeight, accuracy, key);

  Require(result == 1 || result == 0 || result == -1 || result == -2 || result == -3 || result == -4 || result == -5 ||
              result == -7 || result == -8, "an unknown result");
  if (result == 1) {
    CheckImported(width / tileWidth, height / tileHeight);
  } else {
    Require(LogSize() > logBefore, "a refusal wrote no log line");
    Require(engine->GetTilesetCount() == 1 && !engine->GetLayerMapData(1), "a refusal left something behind");
  }
  Require(engine->GetLayerMapData(0) == keptMap && CellsOf(*keptMap) == keptCells, "the other layer's map changed");
  Require(DirectoryEntries() == entriesBefore, "an import wrote a file");
  if (picture) {
    Require((picture->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY)) == flagsBefore, "the picture's blending changed");
    Require(PixelBytes(picture) == pixelsBefore, "the picture's pixels changed");
    SDL_FreeSurface(picture);
  }
  return 0;
}
