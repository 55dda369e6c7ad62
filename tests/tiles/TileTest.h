// Tile test data: tilesets whose every pixel tells its tile and place, and the transforms written
// independently of the library.
#pragma once
#include "ResourceTest.h"

typedef ResourceTest TileTest;

const Uint32 kSentinel = 0x00123456;

inline SurfacePtr Filled(int w, int h, Uint32 value = kSentinel) {
  SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_FillRect(s.get(), NULL, value);
  return s;
}

// Pixel (x, y) of tile t (1-based): tile, column and row in the three channels.
inline Uint32 TileColor(int t, int x, int y) { return (Uint32)(t * 30) << 16 | (Uint32)(x * 40 + 1) << 8 | (Uint32)(y * 50 + 2); }

// cols x rows tiles of tw x th pixels, numbered row by row from 1, plus `extra` columns of no tile.
inline SurfacePtr TilesetImage(int cols, int rows, int tw, int th, int extra = 0) {
  SurfacePtr s = Filled(cols * tw + extra, rows * th, 0x00EEEEEE);
  for (int y = 0; y < rows * th; ++y)
    for (int x = 0; x < cols * tw; ++x) Pixel32(s.get(), x, y) = TileColor(y / th * cols + x / tw + 1, x % tw, y % th);
  return s;
}

// Which pixel of a w x h tile a transform code puts at (x, y) of its result, and the result's size.
struct Turned {
  int w, h, sx, sy;
};
inline Turned SourceOf(Uint32 code, int w, int h, int x, int y) {
  switch (code) {
    case 0x40000000u: return {w, h, x, h - 1 - y};           // flip
    case 0x80000000u: return {w, h, w - 1 - x, y};           // mirror
    case 0xA0000000u: return {h, w, y, h - 1 - x};           // 90 degrees clockwise
    case 0xC0000000u: return {w, h, w - 1 - x, h - 1 - y};   // 180
    case 0x60000000u: return {h, w, w - 1 - y, x};           // 270
    default: return {w, h, x, y};
  }
}

// The destination a correct draw leaves: tile t transformed and centred on its area at (px, py).
inline SurfacePtr ExpectedDraw(int size, int t, Uint32 code, int tw, int th, int px, int py) {
  SurfacePtr d = Filled(size, size);
  Turned turned = SourceOf(code, tw, th, 0, 0);
  for (int y = 0; y < turned.h; ++y)
    for (int x = 0; x < turned.w; ++x) {
      Turned from = SourceOf(code, tw, th, x, y);
      Pixel32(d.get(), px + (tw - turned.w) / 2 + x, py + (th - turned.h) / 2 + y) = TileColor(t, from.sx, from.sy);
    }
  return d;
}
