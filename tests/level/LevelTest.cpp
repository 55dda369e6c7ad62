// Helpers of the level and TMX tests; the encoders (base64, zlib, gzip) are the tile engine tests' own.
#include "LevelTest.h"
#include "../tileengine/EngineTest.cpp"

namespace level_test {

std::vector<Uint32> PixelsOf(SDL_Surface* surface) {
  std::vector<Uint32> pixels;
  if (!surface) return pixels;
  SDL_LockSurface(surface);
  for (int y = 0; y < surface->h; ++y)
    for (int x = 0; x < surface->w; ++x) {
      const Uint8* at =
          static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * surface->format->BytesPerPixel;
      Uint32 value = 0;
      memcpy(&value, at, surface->format->BytesPerPixel);  // little-endian host
      Uint8 r, g, b, a;
      SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
      pixels.push_back((Uint32)r << 24 | (Uint32)g << 16 | (Uint32)b << 8 | a);
    }
  SDL_UnlockSurface(surface);
  return pixels;
}

void WriteTilesetPNG(const std::string& path, int cols, int rows, int tw, int th) {
  Surface image = qbte_test::TilesetImage(cols, rows, tw, th);
  ASSERT_EQ(IImage->SavePNG(path.c_str(), image.get(), -1), 0) << path;
}

std::vector<Sint32> CellsOf(const cQBTE_MapData* map) {
  std::vector<Sint32> cells;
  const cQBTE_MapBase* base = dynamic_cast<const cQBTE_MapBase*>(map);
  if (!base) return cells;
  for (int row = 0; row < base->GetHeight(); ++row)
    for (int column = 0; column < base->GetWidth(); ++column) cells.push_back(base->GetCell(column, row));
  return cells;
}

size_t Count(const std::string& in, const std::string& text) {
  size_t count = 0;
  for (size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + 1)) ++count;
  return count;
}

}  // namespace level_test
