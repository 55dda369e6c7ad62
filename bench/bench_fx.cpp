// Screen-effect speed against SDL in the same run: in-place colour effects against one blit of the
// same surface (the memory floor), nearest resizing against SDL_SoftStretch, rotation against
// SDL_gfx's rotozoomSurface, and a quarter turn against a plain copy.
#include "Ratio.h"
#include <Yandorix.h>
#if __has_include(<SDL_rotozoom.h>)
#include <SDL_rotozoom.h>
#define YDX_HAVE_ROTOZOOM 1
#endif

namespace {

// The library once, with the dummy video driver; the effects need their service object.
void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  Yandorix.Init(SDL_INIT_VIDEO);
}

SDL_Surface* Pattern(int w, int h, int bits) {
  SDL_Surface* s = bits == 16 ? SDL_CreateRGBSurface(0, w, h, 16, 0xF800, 0x07E0, 0x001F, 0)
                              : SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      SDL_Rect dot = {(Sint16)x, (Sint16)y, 1, 1};
      SDL_FillRect(s, &dot, SDL_MapRGB(s->format, x * 3, y * 5, (x ^ y) * 7));
    }
  return s;
}

void Blit(benchmark::State& state, int bits) {
  SDL_Surface* src = Pattern(640, 400, bits);
  SDL_Surface* dst = Pattern(640, 400, bits);
  for (auto _ : state) benchmark::DoNotOptimize(SDL_BlitSurface(src, NULL, dst, NULL));
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

template <class Effect>
void InPlace(benchmark::State& state, int bits, Effect effect) {
  Start();
  SDL_Surface* s = Pattern(640, 400, bits);
  for (auto _ : state) benchmark::DoNotOptimize(effect(s));
  SDL_FreeSurface(s);
}

void Blur(benchmark::State& state, int bits) {
  InPlace(state, bits, [](SDL_Surface* s) { return IScreenFX->Blur(s, 40); });
}
void Gamma(benchmark::State& state, int bits) {
  InPlace(state, bits, [](SDL_Surface* s) { return IScreenFX->GammaCorrect(s, 120, 90, 110); });
}
void Noise(benchmark::State& state, int bits) {
  InPlace(state, bits, [](SDL_Surface* s) { return IScreenFX->Noise(s, 30); });
}

void ResizeNearest(benchmark::State& state) {
  Start();
  SDL_Surface* src = Pattern(256, 256, 32);
  for (auto _ : state) SDL_FreeSurface(IScreenFX->Resize(src, NULL, 0, 512, 512, NULL, NULL));
  SDL_FreeSurface(src);
}

void SoftStretch(benchmark::State& state) {
  SDL_Surface* src = Pattern(256, 256, 32);
  SDL_Surface* dst = Pattern(512, 512, 32);
  for (auto _ : state) benchmark::DoNotOptimize(SDL_SoftStretch(src, NULL, dst, NULL));
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void Rotate(benchmark::State& state, int mode) {
  Start();
  SDL_Surface* src = Pattern(256, 256, 32);
  for (auto _ : state) SDL_FreeSurface(IScreenFX->RotateResize(src, NULL, mode, 30.0, 1.5, NULL, NULL));
  SDL_FreeSurface(src);
}

#ifdef YDX_HAVE_ROTOZOOM
// rotozoomSurface turns counter-clockwise: -30 is the same picture as ours at 30.
void RotoZoom(benchmark::State& state, int smooth) {
  SDL_Surface* src = Pattern(256, 256, 32);
  for (auto _ : state) SDL_FreeSurface(rotozoomSurface(src, -30.0, 1.5, smooth));
  SDL_FreeSurface(src);
}
#endif

void QuarterTurn(benchmark::State& state) {
  Start();
  SDL_Surface* src = Pattern(512, 512, 32);
  for (auto _ : state) SDL_FreeSurface(IScreenFX->Rotate(src, NULL, 0, 90.0, NULL, NULL));
  SDL_FreeSurface(src);
}

void PlainCopy(benchmark::State& state) {
  SDL_Surface* src = Pattern(512, 512, 32);
  for (auto _ : state) SDL_FreeSurface(SDL_ConvertSurface(src, src->format, 0));
  SDL_FreeSurface(src);
}

int Register() {
  for (int bits : {32, 16}) {
    std::string b = std::to_string(bits);
    benchmark::RegisterBenchmark(("sdl/Blit640x400/" + b).c_str(), Blit, bits);
    benchmark::RegisterBenchmark(("fx/Blur640x400/" + b).c_str(), Blur, bits);
    benchmark::RegisterBenchmark(("fx/Gamma640x400/" + b).c_str(), Gamma, bits);
    benchmark::RegisterBenchmark(("fx/Noise640x400/" + b).c_str(), Noise, bits);
    ydxbench::Ratio("fx/Blur640x400/" + b, "sdl/Blit640x400/" + b);
    ydxbench::Ratio("fx/Gamma640x400/" + b, "sdl/Blit640x400/" + b);
    ydxbench::Ratio("fx/Noise640x400/" + b, "sdl/Blit640x400/" + b);
  }
  benchmark::RegisterBenchmark("fx/ResizeNearest256to512", ResizeNearest);
  benchmark::RegisterBenchmark("sdl/SoftStretch256to512", SoftStretch);
  ydxbench::Ratio("fx/ResizeNearest256to512", "sdl/SoftStretch256to512");
  benchmark::RegisterBenchmark("fx/Rotate30Zoom1.5/nearest", Rotate, 0);
  benchmark::RegisterBenchmark("fx/Rotate30Zoom1.5/bilinear", Rotate, 1);
#ifdef YDX_HAVE_ROTOZOOM
  benchmark::RegisterBenchmark("gfx/rotozoom30Zoom1.5/nearest", RotoZoom, 0);
  benchmark::RegisterBenchmark("gfx/rotozoom30Zoom1.5/bilinear", RotoZoom, 1);
#endif
  ydxbench::Ratio("fx/Rotate30Zoom1.5/nearest", "gfx/rotozoom30Zoom1.5/nearest");
  ydxbench::Ratio("fx/Rotate30Zoom1.5/bilinear", "gfx/rotozoom30Zoom1.5/bilinear");
  benchmark::RegisterBenchmark("fx/QuarterTurn512", QuarterTurn);
  benchmark::RegisterBenchmark("sdl/PlainCopy512", PlainCopy);
  ydxbench::Ratio("fx/QuarterTurn512", "sdl/PlainCopy512");
  return 0;
}

const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
