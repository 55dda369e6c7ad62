// What the level and TMX tests share: the tile engine fixture with PNG tilesets written to disk,
// pixels and cells read back in a form that does not depend on surface formats, and documents
// written as text.
#pragma once
#include "../tileengine/EngineTest.h"
#include "QBTE_Level.h"
#include "QBTE_Shared.h"
#include "QBTE_TMX.h"
#include <string>
#include <vector>

namespace level_test {

// Every pixel as 0xRRGGBBAA, row after row.
std::vector<Uint32> PixelsOf(SDL_Surface* surface);
// A PNG tileset image of cols x rows tiles of tw x th, tile n painted as qbte_test::TilePixel.
void WriteTilesetPNG(const std::string& path, int cols, int rows, int tw = 32, int th = 32);
// Every cell of a base map, row after row.
std::vector<Sint32> CellsOf(const cQBTE_MapData* map);
// How often `text` occurs in `in`.
size_t Count(const std::string& in, const std::string& text);

}  // namespace level_test

class LevelTest : public EngineTest {
 protected:
  // A fresh engine (the previous one closed) with `layers` slots on the 640x400 target.
  cQBTE_TileEngine* Fresh(int layers = 4) { return Start(layers); }
  sQBTE_Layer* L(int id) { return engine->GetLayer(id); }
};
