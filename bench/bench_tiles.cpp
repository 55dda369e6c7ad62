// Tile and text drawing against raw SDL blits of the same rectangles in the same run: 2,000 draws of
// 32 x 32 tiles from a tileset, plain and with each transform code (transformed tiles are made on the
// first draw and kept), and an 80-character PutString against one blit per glyph.
#include "Ratio.h"
#include <Yandorix.h>
#include <string>
#include <vector>

namespace {

const int kDraws = 2000;
const int kTile = 32;
const int kCols = 16, kRows = 8;   // a 512 x 256 tileset

void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  Yandorix.Init(SDL_INIT_VIDEO);
}

SDL_Surface* NewSurface(int w, int h) { return SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0); }

SDL_Surface* TilesetImage() {
  SDL_Surface* s = NewSurface(kCols * kTile, kRows * kTile);
  Uint32* pixels = static_cast<Uint32*>(s->pixels);
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) pixels[y * (s->pitch / 4) + x] = (Uint32)((x * 7) << 16 | (y * 3) << 8 | (x ^ y));
  return s;
}

// Where draw i goes and which tile it shows: the same sequence for ours and the baseline.
struct Draw {
  int x, y, id;
};
std::vector<Draw> Sequence() {
  std::vector<Draw> draws;
  for (int i = 0; i < kDraws; ++i) draws.push_back({(i * 37) % (640 - kTile), (i * 53) % (400 - kTile), i % (kCols * kRows) + 1});
  return draws;
}

void TileDraws(benchmark::State& state, Uint32 code) {
  Start();
  SDL_Surface* image = TilesetImage();
  SDL_Surface* dest = NewSurface(640, 400);
  Yandorix_CTile tile;
  tile.Create(image, "bench");
  tile.SetTileSet(1, kTile, kTile);
  std::vector<Draw> draws = Sequence();
  for (auto _ : state)
    for (const Draw& d : draws) {
      tile.SetPosition(d.x, d.y);
      tile.Draw(dest, (int)(code | (Uint32)d.id));
    }
  SDL_FreeSurface(dest);
  SDL_FreeSurface(image);
}

void RawBlits(benchmark::State& state) {
  SDL_Surface* image = TilesetImage();
  SDL_Surface* dest = NewSurface(640, 400);
  std::vector<Draw> draws = Sequence();
  for (auto _ : state)
    for (const Draw& d : draws) {
      SDL_Rect from = {(Sint16)((d.id - 1) % kCols * kTile), (Sint16)((d.id - 1) / kCols * kTile), kTile, kTile};
      SDL_Rect to = {(Sint16)d.x, (Sint16)d.y, 0, 0};
      SDL_BlitSurface(image, &from, dest, &to);
    }
  SDL_FreeSurface(dest);
  SDL_FreeSurface(image);
}

// A font image with single-pixel marks: glyph i ('!' + i) 1 + i % 4 columns wide, 16 rows high.
const int kGlyphRows = 16;
int GlyphWidth(int i) { return 1 + i % 4; }

SDL_Surface* FontImage(std::vector<int>* marks) {
  int width = 1;
  for (int i = 0; i < 94; ++i) width += GlyphWidth(i) + 1;
  SDL_Surface* s = NewSurface(width, kGlyphRows + 1);
  SDL_FillRect(s, NULL, 0);
  Uint32* pixels = static_cast<Uint32*>(s->pixels);
  int x = 0;
  for (int i = 0; i <= 94; ++i) {
    marks->push_back(x);
    pixels[x++] = 0xFF00FF;
    if (i == 94) break;
    for (int j = 0; j < GlyphWidth(i); ++j, ++x)
      for (int y = 1; y <= kGlyphRows; ++y) pixels[y * (s->pitch / 4) + x] = 0x808080 + (Uint32)(i * 3 + y);
  }
  return s;
}

const char kLine[] = "The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN JUGS!!";

void PutString(benchmark::State& state) {
  Start();
  std::vector<int> marks;
  SDL_Surface* image = FontImage(&marks);
  SDL_Surface* dest = NewSurface(640, 400);
  Yandorix_CFont font;
  font.Create(image);
  for (auto _ : state) font.PutString(dest, 4, 100, kLine, NULL);
  SDL_FreeSurface(dest);
  SDL_FreeSurface(image);
}

// The same glyph rectangles, one blit each from the font's own (keyed) surface.
void GlyphBlits(benchmark::State& state) {
  Start();
  std::vector<int> marks;
  SDL_Surface* image = FontImage(&marks);
  SDL_Surface* dest = NewSurface(640, 400);
  Yandorix_CFont font;
  font.Create(image);
  std::vector<SDL_Rect> from, to;
  int x = 4;
  for (const char* c = kLine; *c; ++c) {
    if (*c == ' ') {
      x += font.StringWidth(" ");
      continue;
    }
    int i = *c - '!';
    Uint16 w = (Uint16)(marks[i + 1] - marks[i]);
    from.push_back({(Sint16)marks[i], 1, w, kGlyphRows});
    to.push_back({(Sint16)x, 100, 0, 0});
    x += w;
  }
  SDL_Surface* glyphs = font.GetSurface();
  for (auto _ : state)
    for (size_t g = 0; g < from.size(); ++g) {
      SDL_Rect at = to[g];
      SDL_BlitSurface(glyphs, &from[g], dest, &at);
    }
  SDL_FreeSurface(dest);
  SDL_FreeSurface(image);
}

int Register() {
  benchmark::RegisterBenchmark("sdl/GlyphBlits80", GlyphBlits);
  benchmark::RegisterBenchmark("font/PutString80", PutString);
  ydxbench::Ratio("font/PutString80", "sdl/GlyphBlits80");
  benchmark::RegisterBenchmark("sdl/Blit2000Tiles32", RawBlits);
  const struct {
    const char* name;
    Uint32 code;
  } codes[] = {{"plain", 0}, {"flip", 0x40000000u}, {"mirror", 0x80000000u}, {"rotate90", 0xA0000000u},
               {"rotate180", 0xC0000000u}, {"rotate270", 0x60000000u}};
  for (const auto& c : codes) {
    std::string name = std::string("tile/Draw2000Tiles32/") + c.name;
    benchmark::RegisterBenchmark(name.c_str(), TileDraws, c.code);
    ydxbench::Ratio(name, "sdl/Blit2000Tiles32");
  }
  return 0;
}

const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
