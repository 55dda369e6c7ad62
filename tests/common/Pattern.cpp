// Pattern surfaces and row-CRC goldens for pixel tests. Everything here is computed, never loaded,
// so a golden only changes when the code under test changes.
#include "Pattern.h"
#include <cstdio>
#include <stdexcept>
#include <zlib.h>

namespace ydxtest {

const std::vector<PatternFormat>& PatternFormats() {
  static const std::vector<PatternFormat> formats = {
      {"pal8", 8, 0, 0, 0, 0},
      {"rgb555", 15, 0x7C00, 0x03E0, 0x001F, 0},
      {"bgr555", 15, 0x001F, 0x03E0, 0x7C00, 0},
      {"rgb565", 16, 0xF800, 0x07E0, 0x001F, 0},
      {"bgr565", 16, 0x001F, 0x07E0, 0xF800, 0},
      {"rgb24", 24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
      {"bgr24", 24, 0x0000FF, 0x00FF00, 0xFF0000, 0},
      {"xrgb32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
      {"argb32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
  };
  return formats;
}

const PatternFormat& PatternFormatNamed(const std::string& name) {
  for (const PatternFormat& f : PatternFormats())
    if (name == f.name) return f;
  throw std::invalid_argument("no pattern format " + name);
}

SDL_Color PatternColor(int x, int y, unsigned seed) {
  SDL_Color c;
  c.r = (Uint8)(x * 37 + y * 11 + seed * 7);
  c.g = (Uint8)((x * 5) ^ (y * 29 + seed));
  c.b = (Uint8)((x + y) * 13 + seed * 3);
  int cell = (x / 3 + y / 2 + (int)seed) % 5;   // some cells fully transparent, some opaque
  c.unused = cell == 0 ? 0 : cell == 1 ? 255 : (Uint8)(x * 19 + y * 23);
  return c;
}

SDL_Surface* MakeSurface(const PatternFormat& f, int w, int h) {
  return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, f.bpp, f.rmask, f.gmask, f.bmask, f.amask);
}

static void PutRaw(SDL_Surface* s, int x, int y, Uint32 value) {
  Uint8* at = static_cast<Uint8*>(s->pixels) + (size_t)y * s->pitch + (size_t)x * s->format->BytesPerPixel;
  for (int i = 0; i < s->format->BytesPerPixel; ++i) at[i] = (Uint8)(value >> (8 * i));   // little-endian
}

SDL_Surface* MakePattern(const PatternFormat& f, int w, int h, unsigned seed) {
  SDL_Surface* s = MakeSurface(f, w, h);
  if (!s) return NULL;
  if (f.bpp == 8) {
    SDL_Color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = PatternColor(i, i / 16, seed);
    SDL_SetColors(s, palette, 0, 256);
  }
  SDL_LockSurface(s);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      SDL_Color c = PatternColor(x, y, seed);
      Uint32 value = f.bpp == 8 ? (Uint32)((x * 7 + y * 13 + seed) & 255)
                                : SDL_MapRGBA(s->format, c.r, c.g, c.b, c.unused);
      PutRaw(s, x, y, value);
    }
  SDL_UnlockSurface(s);
  return s;
}

std::vector<Uint32> RowCRCs(SDL_Surface* s) {
  std::vector<Uint32> crcs;
  if (SDL_LockSurface(s) < 0) return crcs;
  size_t rowBytes = (size_t)s->w * s->format->BytesPerPixel;
  for (int y = 0; y < s->h; ++y) {
    const Bytef* row = static_cast<const Bytef*>(s->pixels) + (size_t)y * s->pitch;
    crcs.push_back((Uint32)crc32(0L, row, (uInt)rowBytes));
  }
  SDL_UnlockSurface(s);
  return crcs;
}

std::string RowCRCText(SDL_Surface* s) {
  std::string text;
  char item[16];
  for (Uint32 crc : RowCRCs(s)) {
    snprintf(item, sizeof item, "0x%08x, ", crc);
    text += item;
  }
  return text;
}

::testing::AssertionResult RowsMatch(SDL_Surface* s, const std::vector<Uint32>& golden) {
  std::vector<Uint32> rows = RowCRCs(s);
  if (rows.size() != golden.size())
    return ::testing::AssertionFailure() << rows.size() << " rows, golden has " << golden.size() << "; rows: "
                                         << RowCRCText(s);
  for (size_t y = 0; y < rows.size(); ++y)
    if (rows[y] != golden[y])
      return ::testing::AssertionFailure() << "row " << y << " differs; all rows: " << RowCRCText(s);
  return ::testing::AssertionSuccess();
}

SDL_Color ColorAt(SDL_Surface* s, int x, int y) {
  SDL_LockSurface(s);
  const Uint8* at = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch + (size_t)x * s->format->BytesPerPixel;
  Uint32 value = 0;
  for (int i = 0; i < s->format->BytesPerPixel; ++i) value |= (Uint32)at[i] << (8 * i);
  SDL_UnlockSurface(s);
  SDL_Color c;
  SDL_GetRGBA(value, s->format, &c.r, &c.g, &c.b, &c.unused);
  return c;
}

::testing::AssertionResult SameColors(SDL_Surface* a, SDL_Surface* b, bool compareAlpha) {
  if (a->w != b->w || a->h != b->h)
    return ::testing::AssertionFailure() << "sizes " << a->w << "x" << a->h << " and " << b->w << "x" << b->h;
  for (int y = 0; y < a->h; ++y)
    for (int x = 0; x < a->w; ++x) {
      SDL_Color ca = ColorAt(a, x, y), cb = ColorAt(b, x, y);
      if (ca.r != cb.r || ca.g != cb.g || ca.b != cb.b || (compareAlpha && ca.unused != cb.unused))
        return ::testing::AssertionFailure()
               << "pixel (" << x << "," << y << "): " << (int)ca.r << "," << (int)ca.g << "," << (int)ca.b << ","
               << (int)ca.unused << " vs " << (int)cb.r << "," << (int)cb.g << "," << (int)cb.b << ","
               << (int)cb.unused;
    }
  return ::testing::AssertionSuccess();
}

}  // namespace ydxtest
