// What the layer-image tests share: the tile engine fixture, pictures painted block by block (block
// content n is a pattern that differs from every other content in every pixel), and surface checks.
#pragma once
#include "../tileengine/EngineTest.h"
#include "Pattern.h"
#include "QBTE_LayerImage.h"
#include <functional>

namespace layerimg_test {

using qbte_test::Pixel;

// The pixel of block content n at (x, y) inside the block: never 0, never the keys the tests use.
inline Uint32 ContentPixel(int n, int x, int y) { return 0x00100000u | (Uint32)(n << 10) | (Uint32)((x * 7 + y * 3) & 0x3FF); }

// A 32-bit picture (SDL's default masks) of blocks of tw x th; block (column, row) holds content
// content(column, row), painted by ContentPixel, or the key where the content is 0.
inline Surface BlockPicture(int columns, int rows, int tw, int th, const std::function<int(int, int)>& content,
                            Uint32 key = 0x00FF00FFu) {
  Surface s(SDL_CreateRGBSurface(SDL_SWSURFACE, columns * tw, rows * th, 32, 0, 0, 0, 0));
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) {
      int n = content(x / tw, y / th);
      Pixel(s.get(), x, y) = n ? ContentPixel(n, x % tw, y % th) : key;
    }
  return s;
}

// 1 when both surfaces have the same size and every pixel has the same colour and alpha.
inline ::testing::AssertionResult SamePixels(SDL_Surface* a, SDL_Surface* b) {
  if (a->w != b->w || a->h != b->h)
    return ::testing::AssertionFailure() << a->w << "x" << a->h << " against " << b->w << "x" << b->h;
  for (int y = 0; y < a->h; ++y)
    for (int x = 0; x < a->w; ++x) {
      Uint8 ra, ga, ba, aa, rb, gb, bb, ab;
      SDL_GetRGBA(Pixel(a, x, y), a->format, &ra, &ga, &ba, &aa);
      SDL_GetRGBA(Pixel(b, x, y), b->format, &rb, &gb, &bb, &ab);
      if (ra != rb || ga != gb || ba != bb || aa != ab)
        return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") differs";
    }
  return ::testing::AssertionSuccess();
}

}  // namespace layerimg_test

class LayerImageTest : public EngineTest {
 protected:
  int Import(SDL_Surface* picture, int tw = 32, int th = 32, int accuracy = 100, int key = -1, int layer = 1) {
    return ImportSurfaceToLayer(engine.get(), layer, picture, tw, th, accuracy, key);
  }
  const cQBTE_MapBase* MapOf(int layer) { return dynamic_cast<const cQBTE_MapBase*>(engine->GetLayerMapData(layer)); }
  // The cells of a layer's map, row after row.
  std::vector<Sint32> Cells(int layer) {
    std::vector<Sint32> cells;
    const cQBTE_MapBase* map = MapOf(layer);
    for (int r = 0; map && r < map->GetHeight(); ++r)
      for (int c = 0; c < map->GetWidth(); ++c) cells.push_back(map->GetCell(c, r));
    return cells;
  }
  SDL_Surface* ImportedTileset() {
    Yandorix_CTile* tile = engine->GetTilesetTile(1);
    return tile ? tile->GetSurface() : NULL;
  }
  // The engine as a refused import must leave it.
  void ExpectNothingImported(int layer = 1, int tilesets = 0) {
    EXPECT_EQ(engine->GetLayerMapData(layer), nullptr);
    EXPECT_EQ(engine->GetTilesetCount(), tilesets);
    EXPECT_STREQ(engine->GetLayerName(layer), QBTE_LAYER_DEFAULT_NAME);
  }
};
