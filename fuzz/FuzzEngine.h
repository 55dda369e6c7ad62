// What the level and TMX fuzz targets share: a private working directory holding a small tileset
// image, an engine per input with one layer and one tileset of the caller's that a load must leave
// alone, and the checks every load must pass.
#pragma once
#include "FuzzSupport.h"
#include "QBTE_TileEngine.h"
#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <set>
#include <string>
#include <vector>

namespace fuzz_engine {

using ydxfuzz::Require;

inline std::set<std::string> Files() {
  std::set<std::string> names;
  if (DIR* dir = opendir(".")) {
    while (dirent* entry = readdir(dir)) names.insert(entry->d_name);
    closedir(dir);
  }
  return names;
}

inline std::vector<Sint32> CellsOf(const cQBTE_MapBase& map) {
  std::vector<Sint32> cells;
  for (int r = 0; r < map.GetHeight(); ++r)
    for (int c = 0; c < map.GetWidth(); ++c) cells.push_back(map.GetCell(c, r));
  return cells;
}

inline char* WorkingDirectory() {
  static char directory[] = "/tmp/ydxfuzz-XXXXXX";
  return directory;
}

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

// Gone after a normal end; a run that aborts on a finding keeps it with its artifacts.
inline void RemoveWorkingDirectory() { nftw(WorkingDirectory(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS); }

// The library on the dummy driver, a working directory of its own with "tiles.png" (4 x 4 tiles of
// 16 x 16) and "spaced.png" (the same with a margin and spacing of 1).
inline void Start() {
  ydxfuzz::StartLibrary();
  Require(mkdtemp(WorkingDirectory()) && chdir(WorkingDirectory()) == 0, "no working directory");
  atexit(RemoveWorkingDirectory);
  SDL_Surface* image = SDL_CreateRGBSurface(0, 64, 64, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  for (int i = 0; i < 16; ++i) {
    SDL_Rect tile = {(Sint16)(i % 4 * 16), (Sint16)(i / 4 * 16), 16, 16};
    SDL_FillRect(image, &tile, (Uint32)(i * 0x0F0D0B));
  }
  IImage->SavePNG("tiles.png", image, -1);
  SDL_FreeSurface(image);
  image = SDL_CreateRGBSurface(0, 69, 69, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(image, NULL, 0xFF00FF);
  IImage->SavePNG("spaced.png", image, -1);
  SDL_FreeSurface(image);
}

// An engine of three layers whose layer 0 shows the caller's map over the caller's tileset (gid 900).
class Scene {
 public:
  Scene() : map(4, 4) {
    static SDL_Surface* target = SDL_CreateRGBSurface(0, 64, 48, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* image = SDL_CreateRGBSurface(0, 32, 32, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(image, NULL, 0x123456);
    tile.Create(image, "mine");
    tile.SetTileSet(1, 16, 16);
    SDL_FreeSurface(image);
    map.SetCellWidth(16);
    map.SetCellHeight(16);
    map.FillCells(-1, -1, 901);
    engine.SetLogMode(0);
    engine.InitEngine(3, "fuzz");
    engine.SetRenderTarget(target);
    engine.AddTileset(&tile, 900);
    engine.SetLayerMapData(0, &map);
    cells = CellsOf(map);
    files = Files();
  }
  // What every load must leave true, whatever it read; then draws and updates what it loaded.
  void Check(int result, int lowest) {
    Require(result >= lowest && result <= 1, "a result outside the documented codes");
    Require(engine.SetLayerSlots(-1) == 3, "the layer slots changed");
    Require(engine.GetLayerMapData(0) == &map && CellsOf(map) == cells, "the caller's layer changed");
    Require(engine.GetTilesetTile(900) == &tile, "the caller's tileset changed");
    for (int i = 0; i < engine.GetTilesetCount(); ++i) {
      const sQBTE_Tileset* tileset = engine.GetTilesetAt(i);
      Require(tileset->firstGid >= 1 && tileset->tileCount >= 1 &&
                  (Uint64)tileset->firstGid + (Uint64)tileset->tileCount - 1 <= 0x1FFFFFFFu,
              "a tileset with global IDs out of range");
    }
    Require(Files() == files, "a load wrote a file");
    engine.UpdateLayers(-1);
    engine.RenderLayers(-1);
  }

 private:
  // Declared before the engine, so the engine lets go of them before they go.
  Yandorix_CTile tile;
  cQBTE_MapBase map;
  std::vector<Sint32> cells;
  std::set<std::string> files;

 public:
  cQBTE_TileEngine engine;
};

// Writes the input as `name`; false when it is too large to be worth a run.
inline bool WriteInput(const char* name, const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return false;
  FILE* file = fopen(name, "wb");
  if (!file) return false;
  bool written = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && written;
}

}  // namespace fuzz_engine
