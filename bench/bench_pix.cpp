// Pixel hot paths against their baselines in one run: boxes against SDL_FillRect, lines and
// rectangles against SDL_gfx, collision against a plain row-pointer loop, PNG against libpng used
// directly and against SDL's BMP reader and writer.
#include "Ratio.h"
#include <Yandorix.h>
#include <cstdio>
#include <fcntl.h>
#include <png.h>
#include <unistd.h>
#include <vector>
#if __has_include(<SDL_gfxPrimitives.h>)
#include <SDL_gfxPrimitives.h>
#define HAVE_SDL_GFX 1
#endif

namespace {

SDL_Surface* Canvas() {
  static SDL_Surface* canvas = SDL_CreateRGBSurface(SDL_SWSURFACE, 640, 400, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  return canvas;
}

Yandorix_IPrimitives& Primitives() {
  static Yandorix_IPrimitives* primitives = new Yandorix_IPrimitives();
  return *primitives;
}

Yandorix_IImage& Images() {
  static Yandorix_IImage* images = new Yandorix_IImage();
  return *images;
}

// ------------------------------------------------------------------------------------------------
// Boxes

void Ours_BoxColor(benchmark::State& state) {
  for (auto _ : state) Primitives().BoxColor(Canvas(), 0, 0, 640, 400, 0x336699);
}
void Base_FillRect(benchmark::State& state) {
  SDL_Rect all = {0, 0, 640, 400};
  for (auto _ : state) SDL_FillRect(Canvas(), &all, 0x336699);
}
BENCHMARK(Ours_BoxColor);
BENCHMARK(Base_FillRect);

// ------------------------------------------------------------------------------------------------
// Lines and rectangles: the same fixed set of shapes for both sides, some reaching past the edges.

struct Shape {
  Sint16 x1, y1, x2, y2;
};

const std::vector<Shape>& Shapes() {
  static std::vector<Shape> shapes = [] {
    std::vector<Shape> list;
    Uint32 seed = 12345;
    auto next = [&seed](int range, int offset) {
      seed = seed * 1103515245u + 12345u;
      return (Sint16)((int)((seed >> 8) % (Uint32)range) + offset);
    };
    for (int i = 0; i < 1000; ++i) list.push_back({next(700, -30), next(460, -30), next(700, -30), next(460, -30)});
    return list;
  }();
  return shapes;
}

void Ours_LineColor(benchmark::State& state) {
  for (auto _ : state)
    for (const Shape& s : Shapes()) Primitives().LineColor(Canvas(), s.x1, s.y1, s.x2, s.y2, 0xFFCC00);
}
void Ours_LineRGBA(benchmark::State& state) {
  for (auto _ : state)
    for (const Shape& s : Shapes()) Primitives().LineRGBA(Canvas(), s.x1, s.y1, s.x2, s.y2, 255, 204, 0, 255);
}
void Ours_RectangleColor(benchmark::State& state) {
  for (auto _ : state)
    for (const Shape& s : Shapes())
      Primitives().RectangleColor(Canvas(), std::min(s.x1, s.x2), std::min(s.y1, s.y2), std::max(s.x1, s.x2),
                                  std::max(s.y1, s.y2), 0xFFCC00);
}
BENCHMARK(Ours_LineColor);
BENCHMARK(Ours_LineRGBA);
BENCHMARK(Ours_RectangleColor);

#ifdef HAVE_SDL_GFX
void Gfx_lineColor(benchmark::State& state) {
  for (auto _ : state)
    for (const Shape& s : Shapes()) lineColor(Canvas(), s.x1, s.y1, s.x2, s.y2, 0xFFCC00FF);
}
void Gfx_lineRGBA(benchmark::State& state) {
  for (auto _ : state)
    for (const Shape& s : Shapes()) lineRGBA(Canvas(), s.x1, s.y1, s.x2, s.y2, 255, 204, 0, 255);
}
void Gfx_rectangleColor(benchmark::State& state) {
  for (auto _ : state)
    for (const Shape& s : Shapes())
      rectangleColor(Canvas(), std::min(s.x1, s.x2), std::min(s.y1, s.y2), std::max(s.x1, s.x2), std::max(s.y1, s.y2),
                     0xFFCC00FF);
}
BENCHMARK(Gfx_lineColor);
BENCHMARK(Gfx_lineRGBA);
BENCHMARK(Gfx_rectangleColor);
#endif

// ------------------------------------------------------------------------------------------------
// Collision of two 128 x 128 sprites that overlap completely without touching (A solid on even
// rows, B on odd rows), so every method scans its whole grid.

SDL_Surface* Sprite(int solidRowParity) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 128, 128, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  for (int y = 0; y < 128; ++y) {
    Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < 128; ++x) row[x] = (y & 1) == solidRowParity ? 0xFF808080 : 0x00808080;
  }
  return s;
}

SDL_Surface* SpriteA() {
  static SDL_Surface* a = Sprite(0);
  return a;
}
SDL_Surface* SpriteB() {
  static SDL_Surface* b = Sprite(1);
  return b;
}

void CollideWith(benchmark::State& state, int method) {
  Primitives().SetCollisionMethod(method);
  SDL_Rect placeA = {10, 10, 128, 128}, placeB = {10, 10, 128, 128};
  for (auto _ : state)
    benchmark::DoNotOptimize(Primitives().PixelCollision(SpriteA(), &placeA, SpriteB(), &placeB, 0, NULL, NULL));
}
void Ours_Collision_BoxOnly(benchmark::State& state) { CollideWith(state, 0); }
void Ours_Collision_Method1(benchmark::State& state) { CollideWith(state, 1); }
void Ours_Collision_Method4(benchmark::State& state) { CollideWith(state, 4); }

// The plain loop a programmer would write for the same test on these two surfaces.
int ReferenceCollision(SDL_Surface* a, SDL_Surface* b, int step) {
  for (int y = 0; y < 128; y += step) {
    const Uint32* rowA = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(a->pixels) + y * a->pitch);
    const Uint32* rowB = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(b->pixels) + y * b->pitch);
    for (int x = 0; x < 128; x += step)
      if ((rowA[x] & 0xFF000000) && (rowA[x] & 0xFFFFFF) && (rowB[x] & 0xFF000000) && (rowB[x] & 0xFFFFFF)) return 1;
  }
  return 0;
}
void Base_RowLoop_Step1(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ReferenceCollision(SpriteA(), SpriteB(), 1));
}
void Base_RowLoop_Step4(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ReferenceCollision(SpriteA(), SpriteB(), 4));
}
BENCHMARK(Ours_Collision_BoxOnly);
BENCHMARK(Ours_Collision_Method1);
BENCHMARK(Ours_Collision_Method4);
BENCHMARK(Base_RowLoop_Step1);
BENCHMARK(Base_RowLoop_Step4);

// ------------------------------------------------------------------------------------------------
// PNG of a 2048 x 2048 RGBA image (gradients with some texture, so deflate has real work).

SDL_Surface* Picture() {
  static SDL_Surface* picture = [] {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 2048, 2048, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    for (int y = 0; y < 2048; ++y) {
      Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
      for (int x = 0; x < 2048; ++x) {
        Uint32 noise = ((x * 7919u) ^ (y * 104729u)) >> 5 & 7;
        row[x] = ((x / 8 + noise) & 255) | (((y / 8) & 255) << 8) | (((x + y) / 16 & 255) << 16) |
                 ((Uint32)(255 - noise) << 24);
      }
    }
    return s;
  }();
  return picture;
}

// Both sides save durably, as SavePNG promises: a temporary file beside the target, flushed to disk,
// renamed over it, and the directory flushed. A baseline that skipped the flushes would measure how busy
// the disk is rather than our code. The picture is made before the clock runs.
void Ours_SavePNG(benchmark::State& state) {
  SDL_Surface* picture = Picture();
  for (auto _ : state) Images().SavePNG("ours.png", picture, -1);
}

bool DirectSavePNG(SDL_Surface* s, const char* file) {
  char temp[] = "direct-XXXXXX";
  int fd = mkstemp(temp);
  FILE* out = fd < 0 ? NULL : fdopen(fd, "wb");
  if (!out) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows(s->h);
  for (int y = 0; y < s->h; ++y) rows[y] = static_cast<png_bytep>(s->pixels) + y * s->pitch;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(out);
    unlink(temp);
    return false;
  }
  png_init_io(png, out);
  png_set_compression_level(png, -1);
  png_set_IHDR(png, info, s->w, s->h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, NULL);
  png_destroy_write_struct(&png, &info);
  bool ok = fflush(out) == 0 && fsync(fileno(out)) == 0;
  ok = fclose(out) == 0 && ok && rename(temp, file) == 0;
  if (!ok) {
    unlink(temp);
    return false;
  }
  int dir = open(".", O_RDONLY | O_DIRECTORY);
  ok = dir >= 0 && fsync(dir) == 0;
  if (dir >= 0) close(dir);
  return ok;
}

void Base_LibpngSave(benchmark::State& state) {
  SDL_Surface* picture = Picture();
  for (auto _ : state)
    if (!DirectSavePNG(picture, "direct.png")) state.SkipWithError("save");
}

void Ours_LoadPNG(benchmark::State& state) {
  Images().SavePNG("load.png", Picture(), -1);
  for (auto _ : state) SDL_FreeSurface(Images().LoadPNG("load.png"));
}

SDL_Surface* DirectLoadPNG(const char* file) {
  FILE* in = fopen(file, "rb");
  if (!in) return NULL;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png_create_info_struct(png);
  SDL_Surface* volatile s = NULL;   // set after setjmp, read after longjmp
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, NULL);
    fclose(in);
    if (s) SDL_FreeSurface(s);
    return NULL;
  }
  png_init_io(png, in);
  png_read_info(png, info);
  png_read_update_info(png, info);
  s = SDL_CreateRGBSurface(SDL_SWSURFACE, png_get_image_width(png, info), png_get_image_height(png, info), 32, 0xFF,
                           0xFF00, 0xFF0000, 0xFF000000);
  rows.resize(s->h);
  for (int y = 0; y < s->h; ++y) rows[y] = static_cast<png_bytep>(s->pixels) + y * s->pitch;
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, NULL);
  fclose(in);
  return s;
}

void Base_LibpngLoad(benchmark::State& state) {
  Images().SavePNG("load.png", Picture(), -1);
  for (auto _ : state) SDL_FreeSurface(DirectLoadPNG("load.png"));
}

void Base_SDL_SaveBMP(benchmark::State& state) {
  SDL_Surface* picture = Picture();
  for (auto _ : state) SDL_SaveBMP(picture, "sdl.bmp");
}
void Base_SDL_LoadBMP(benchmark::State& state) {
  SDL_SaveBMP(Picture(), "load.bmp");
  for (auto _ : state) SDL_FreeSurface(SDL_LoadBMP("load.bmp"));
}

BENCHMARK(Ours_SavePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(Base_LibpngSave)->Unit(benchmark::kMillisecond);
BENCHMARK(Ours_LoadPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(Base_LibpngLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(Base_SDL_SaveBMP)->Unit(benchmark::kMillisecond);
BENCHMARK(Base_SDL_LoadBMP)->Unit(benchmark::kMillisecond);

const bool ratios = [] {
  ydxbench::Ratio("Ours_BoxColor", "Base_FillRect");
#ifdef HAVE_SDL_GFX
  ydxbench::Ratio("Ours_LineColor", "Gfx_lineColor");
  ydxbench::Ratio("Ours_LineRGBA", "Gfx_lineRGBA");
  ydxbench::Ratio("Ours_RectangleColor", "Gfx_rectangleColor");
#endif
  ydxbench::Ratio("Ours_Collision_Method1", "Base_RowLoop_Step1");
  ydxbench::Ratio("Ours_Collision_Method4", "Base_RowLoop_Step4");
  ydxbench::Ratio("Ours_Collision_Method1", "Ours_Collision_BoxOnly");
  ydxbench::Ratio("Ours_SavePNG", "Base_LibpngSave");
  ydxbench::Ratio("Ours_LoadPNG", "Base_LibpngLoad");
  ydxbench::Ratio("Ours_SavePNG", "Base_SDL_SaveBMP");
  ydxbench::Ratio("Ours_LoadPNG", "Base_SDL_LoadBMP");
  return true;
}();

}  // namespace

YDX_BENCH_MAIN()
