// Deterministic test surfaces in every pixel layout the library stores, and golden checks as CRC-32
// per row, shared by every pixel-handling test (images, tiles, fonts, sprites, effects).
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ydxtest {

// One pixel layout: bits per pixel and the four masks (all 0 for the 8-bit palette layout).
struct PatternFormat {
  const char* name;
  int bpp;
  Uint32 rmask, gmask, bmask, amask;
};

// 8-bit palette, 15 and 16 bits in both mask orders, 24 bits in both orders, 32-bit XRGB and ARGB.
const std::vector<PatternFormat>& PatternFormats();
const PatternFormat& PatternFormatNamed(const std::string& name);

// The colour the pattern puts at (x, y); alpha varies (with fully transparent and opaque cells).
SDL_Color PatternColor(int x, int y, unsigned seed);

// A new software surface of the layout filled with the pattern (the caller frees it). The 8-bit
// layout gets a deterministic 256-colour palette and indices that walk through it.
SDL_Surface* MakePattern(const PatternFormat& format, int w, int h, unsigned seed = 1);
SDL_Surface* MakeSurface(const PatternFormat& format, int w, int h);

// CRC-32 of each row's w * BytesPerPixel pixel bytes (row padding left out); locks when needed.
std::vector<Uint32> RowCRCs(SDL_Surface* surface);
// The row CRCs as text ("0x1234abcd, ...") for writing a golden into a test.
std::string RowCRCText(SDL_Surface* surface);
// Compares a surface with a golden row list and names the first row that differs.
::testing::AssertionResult RowsMatch(SDL_Surface* surface, const std::vector<Uint32>& golden);
// Compares the pixels (as RGBA through each format) of two surfaces of the same size.
::testing::AssertionResult SameColors(SDL_Surface* a, SDL_Surface* b, bool compareAlpha);

// Reads one pixel as RGBA through the surface's format.
SDL_Color ColorAt(SDL_Surface* surface, int x, int y);

}  // namespace ydxtest
