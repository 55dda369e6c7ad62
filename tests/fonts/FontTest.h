// Font test data: a generator of font images whose
// boxes and advances are known in advance: glyph i ('!' + i) is 1 + i % 4 columns wide, every column
// filled on every glyph row with a colour that names glyph, column and row.
#pragma once
#include "../tiles/ResourceTest.h"
#include <algorithm>
#include <vector>

typedef ResourceTest FontTest;

const int kGlyphRows = 7;   // image height 8 with the marker row
const Uint32 kDestFill = 0x00123456;

inline int GlyphWidth(int i) { return 1 + i % 4; }
inline Uint32 GlyphColor(int i, int j, int r) { return (Uint32)(i + 1) << 16 | (Uint32)(j * 40 + 10) << 8 | (Uint32)(r * 20 + 5); }

struct FontLayout {
  enum Marks { kSingle, kDouble, kNone } marks = kSingle;
  Uint32 background = 0;   // with perPixel an ARGB value
  bool perPixel = false;   // 32-bit ARGB image, glyphs opaque
  int glyphs = 94;
  int touching = -1;       // glyph followed by the next one without a gap
  std::vector<int> markx;  // filled: first column of each mark (or gap)
};

// A mark (one or two magenta columns, or one empty column) before every glyph and after the last.
inline SurfacePtr FontImage(FontLayout* layout) {
  int markw = layout->marks == FontLayout::kDouble ? 2 : 1, width = markw;
  for (int i = 0; i < layout->glyphs; ++i) width += GlyphWidth(i) + (i == layout->touching ? 0 : markw);
  Uint32 opaque = layout->perPixel ? 0xFF000000u : 0;
  SurfacePtr s(SDL_CreateRGBSurface(0, width, kGlyphRows + 1, 32, 0xFF0000, 0xFF00, 0xFF, opaque));
  SDL_FillRect(s.get(), NULL, layout->background);
  layout->markx.clear();
  for (int i = 0, x = 0; i <= layout->glyphs; ++i) {
    if (i == 0 || i - 1 != layout->touching) {
      layout->markx.push_back(x);
      for (int m = 0; m < markw; ++m, ++x)
        if (layout->marks != FontLayout::kNone) Pixel32(s.get(), x, 0) = 0x00FF00FF | opaque;
    }
    for (int j = 0; i < layout->glyphs && j < GlyphWidth(i); ++j, ++x)
      for (int r = 1; r <= kGlyphRows; ++r) Pixel32(s.get(), x, r) = GlyphColor(i, j, r) | opaque;
  }
  return s;
}

inline SurfacePtr Dest(int w, int h) {
  SurfacePtr s(SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_FillRect(s.get(), NULL, kDestFill);
  return s;
}

typedef std::vector<std::pair<int, Uint32>> Row;
// The columns of a destination row that differ from the fill, with their colours.
inline Row Drawn(SDL_Surface* d, int y) {
  Row out;
  for (int x = 0; x < d->w; ++x)
    if (Pixel32(d, x, y) != kDestFill) out.push_back({x, Pixel32(d, x, y) & 0xFFFFFF});
  return out;
}
// Where the glyph columns of a text land (boxes as wide as their advances): the pen moves by the
// advance plus kerning after each glyph.
inline Row Expected(const std::string& text, int x, int row, int kerning = 0) {
  Row out;
  for (char c : text) {
    int i = c - '!';
    for (int j = 0; j < GlyphWidth(i); ++j) out.push_back({x + 1 + j, GlyphColor(i, j, row)});
    x += GlyphWidth(i) + 1 + kerning;
  }
  std::sort(out.begin(), out.end());
  return out;
}
