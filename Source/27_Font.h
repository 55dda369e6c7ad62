// The font block codec ("FONT2" and the older "FONT" layout) and the marker-row builder, apart from
// archives and the font object so tests and fuzz targets reach them directly.
#pragma once
#include <SDL.h>
#include <stddef.h>
#include <string>
#include <vector>
#include "25_BlitRule.h"

namespace ydxfont {

enum {
  kFontHeaderSize = 8 + kStoredFormatSize,   // width, height, pixel format
  kFontTailSize = 4 + 128,                    // kerning and reserved bytes (the newer layout only)
  kFontGlyphs = 94,                           // '!' to '~'
  kFontMarks = 95,                            // one more mark than glyphs: code 127 sits after the last
  kMarkTransitions = 2 * kFontGlyphs + 1,     // gap, glyph, gap, ..., glyph, gap
};

// What a checked block holds; `pixels` points into the block.
struct sFontBlock {
  int version;   // 2: the current layout; 1: the older one, without the tail
  int width, height;
  sStoredPixelFormat format;
  const Uint8* pixels;
  size_t pixelBytes;
  int kerning;   // 0 in the older layout
};

// Accepts only blocks a font image can be rebuilt from (never 8 bits); the layout is told by the size.
bool DecodeFontBlock(const Uint8* data, size_t size, sFontBlock* out, std::string* why);
// The current layout for a software surface of 15 bits or more.
bool EncodeFontBlock(SDL_Surface* surface, Sint32 colorkey, Uint8 alpha, int kerning, std::vector<Uint8>* out);
// The current layout of a checked older block: its bytes, kerning 0 and the reserved bytes.
void UpgradeFontBlock(const Uint8* data, const sFontBlock& block, std::vector<Uint8>* out);

// Marks every column without content with a magenta pixel in row 0 and returns the number of
// content changes from column to column (the state before column 0 counting as content):
// kMarkTransitions for 94 glyphs framed by empty columns. A pixel has content when its raw value is
// not 0, its alpha is not 0 and, on a keyed surface, it is not the colour key. -1 when the surface
// cannot be read.
int BuildMarkerRow(SDL_Surface* image);

// The font's own raw pixel access (glyph lookups, marker scan and replacement), locking when SDL
// requires it. A point outside the surface, a surface that cannot be locked or a pixel size other
// than 1 to 4 bytes logs an Error line; the read then gives 0. The lock forms serve passes over many
// pixels (reading from, or writing to, the point named): false after the line, else the caller
// unlocks with ydxpix::UnlockAfterAccess.
Uint32 FontGetPixel(SDL_Surface* s, int x, int y);
bool FontLockForRead(SDL_Surface* s, int x, int y);
bool FontLockForWrite(SDL_Surface* s, int x, int y);

// The result reported for a count of glyphs or marks that is not the expected one: 254 for more
// than 95, else the count (never 96, which means success, nor 255, which means refused).
inline int CountResult(int count) { return count > 95 ? 254 : count; }

}  // namespace ydxfont
