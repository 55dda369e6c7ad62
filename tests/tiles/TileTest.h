// Fixture for the tile tests: the library on the dummy driver, a log to read back, tilesets whose
// every pixel tells its tile and place, and a reference of the transforms written independently of
// the library (plain pixel arithmetic).
#pragma once
#include "YdxTest.h"
#include "Pattern.h"
#include <memory>
#include <string>

class TileTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  }
  void TearDown() override {
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  SDL_Surface* OpenScreen(int bpp, int w = 64, int h = 48) {
    Yandorix.colordepth = (Uint8)bpp;
    Yandorix.resolutionx = (Uint16)w;
    Yandorix.resolutiony = (Uint16)h;
    return Yandorix.SetVideoMode() == 1 ? Yandorix.screen : NULL;
  }
  static bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
};

struct SurfaceFree {
  void operator()(SDL_Surface* s) const {
    if (s) SDL_FreeSurface(s);
  }
};
typedef std::unique_ptr<SDL_Surface, SurfaceFree> SurfacePtr;

const Uint32 kSentinel = 0x00123456;

// A 32-bit XRGB surface filled with one value.
inline SurfacePtr Filled(int w, int h, Uint32 value = kSentinel) {
  SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_FillRect(s.get(), NULL, value);
  return s;
}

inline Uint32 Pixel32(SDL_Surface* s, int x, int y) {
  return static_cast<const Uint32*>(s->pixels)[(size_t)y * (s->pitch / 4) + x];
}
inline void SetPixel32(SDL_Surface* s, int x, int y, Uint32 v) {
  static_cast<Uint32*>(s->pixels)[(size_t)y * (s->pitch / 4) + x] = v;
}

// The colour of pixel (x, y) of tile t (1-based) in TilesetImage: tile, column and row in the channels.
inline Uint32 TileColor(int t, int x, int y) { return ((Uint32)(t * 30) << 16) | ((Uint32)(x * 40 + 1) << 8) | (Uint32)(y * 50 + 2); }

// cols x rows tiles of tw x th pixels, 32-bit XRGB, tiles numbered row by row from 1, plus `extra`
// columns on the right that belong to no tile.
inline SurfacePtr TilesetImage(int cols, int rows, int tw, int th, int extra = 0) {
  SurfacePtr s = Filled(cols * tw + extra, rows * th, 0x00EEEEEE);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) SetPixel32(s.get(), c * tw + x, r * th + y, TileColor(r * cols + c + 1, x, y));
  return s;
}

// The picture a transform code makes of a w x h tile: which source pixel lands at (x, y) of the result,
// and the result's size. Codes are the top three bits of a tile id.
struct Turned {
  int w, h;
  int sx, sy;
};
inline Turned SourceOf(Uint32 code, int w, int h, int x, int y) {
  switch (code) {
    case 0x40000000u: return {w, h, x, h - 1 - y};              // flip
    case 0x80000000u: return {w, h, w - 1 - x, y};              // mirror
    case 0xA0000000u: return {h, w, y, h - 1 - x};              // 90 degrees clockwise
    case 0xC0000000u: return {w, h, w - 1 - x, h - 1 - y};      // 180
    case 0x60000000u: return {h, w, w - 1 - y, x};              // 270
    default: return {w, h, x, y};
  }
}

// The destination as a correct draw leaves it: tile t of TilesetImage transformed and centred on the
// tile's area at (px, py).
inline SurfacePtr ExpectedDraw(int destw, int desth, int t, Uint32 code, int tw, int th, int px, int py) {
  SurfacePtr d = Filled(destw, desth);
  Turned size = SourceOf(code, tw, th, 0, 0);
  int ox = px + (tw - size.w) / 2, oy = py + (th - size.h) / 2;
  for (int y = 0; y < size.h; ++y)
    for (int x = 0; x < size.w; ++x) {
      Turned from = SourceOf(code, tw, th, x, y);
      int dx = ox + x, dy = oy + y;
      if (dx >= 0 && dy >= 0 && dx < destw && dy < desth) SetPixel32(d.get(), dx, dy, TileColor(t, from.sx, from.sy));
    }
  return d;
}
