// The OpenGL renderer in a virtual display (Xvfb with Mesa's software OpenGL) against plain SDL in
// software in the same run: 2,000 tile blits per frame from a display-format sheet, a pixel collision
// of two 64 x 64 texture sprites, and a lock + unlock of the 640 x 400 screen against a 1 MB memcpy.
// Mesa renders in software here, so the ratios show that no path is pathological, not GPU speed.
#include "Ratio.h"
#include <Yandorix.h>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const int kDraws = 2000, kTile = 32, kCols = 16, kRows = 8;

pid_t server = -1;

void StopServer() {
  if (server > 0) {
    kill(server, SIGTERM);
    waitpid(server, NULL, 0);
  }
  server = -1;
}

// Xvfb on a display it picks itself; the display number, or -1.
int StartServer() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  server = fork();
  if (server == 0) {
    close(fds[0]);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-noreset", "-nolisten", "tcp",
           (char*)NULL);
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  struct pollfd wait = {fds[0], POLLIN, 0};
  char c;
  while (server > 0 && poll(&wait, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  return number.empty() ? -1 : atoi(number.c_str());
}

// The library on renderer 64, once; empty when it runs, else why not.
const std::string& StartOpenGL() {
  static std::string why = [] {
    int display = StartServer();
    if (display < 0) return std::string("Xvfb is missing or did not start");
    atexit(StopServer);
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    if (Yandorix.Init(SDL_INIT_VIDEO) < 0) return std::string("the library did not start");
    Yandorix.renderer = 64;
    Yandorix.colordepth = 0;
    Yandorix.resolutionx = 640;
    Yandorix.resolutiony = 400;
    if (!Yandorix.SetVideoMode()) return std::string("renderer 64 did not start (no GLX?)");
    return std::string();
  }();
  return why;
}

SDL_Surface* NewSurface(int w, int h) {
  return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
}

SDL_Surface* TilesetImage() {
  SDL_Surface* s = NewSurface(kCols * kTile, kRows * kTile);
  Uint32* pixels = static_cast<Uint32*>(s->pixels);
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) pixels[y * (s->pitch / 4) + x] = (Uint32)((x * 7) << 16 | (y * 3) << 8 | (x ^ y));
  return s;
}

struct Draw {
  SDL_Rect from, to;
};
std::vector<Draw> Sequence() {
  std::vector<Draw> draws;
  for (int i = 0; i < kDraws; ++i) {
    int id = i % (kCols * kRows);
    draws.push_back({{(Sint16)(id % kCols * kTile), (Sint16)(id / kCols * kTile), kTile, kTile},
                     {(Sint16)((i * 37) % (640 - kTile)), (Sint16)((i * 53) % (400 - kTile)), 0, 0}});
  }
  return draws;
}

void BlitAll(SDL_Surface* sheet, SDL_Surface* dest, const std::vector<Draw>& draws) {
  for (const Draw& d : draws) {
    SDL_Rect from = d.from, to = d.to;
    SDL_BlitSurface(sheet, &from, dest, &to);
  }
}

void SoftwareTiles(benchmark::State& state) {
  SDL_Surface* sheet = TilesetImage();
  SDL_Surface* dest = NewSurface(640, 400);
  std::vector<Draw> draws = Sequence();
  for (auto _ : state) BlitAll(sheet, dest, draws);
  SDL_FreeSurface(dest);
  SDL_FreeSurface(sheet);
}

// A frame: the blits, then OpenGL finishes drawing them.
void OpenGLTiles(benchmark::State& state) {
  if (!StartOpenGL().empty()) {
    state.SkipWithError(StartOpenGL().c_str());
    return;
  }
  SDL_Surface* image = TilesetImage();
  SDL_Surface* sheet = SDL_DisplayFormat(image);
  SDL_FreeSurface(image);
  Yandorix.Surface2Texture(sheet);
  std::vector<Draw> draws = Sequence();
  for (auto _ : state) {
    BlitAll(sheet, Yandorix.screen, draws);
    SDL_Flip(Yandorix.screen);
  }
  SDL_FreeSurface(sheet);
}

// Two 64 x 64 keyed sprites overlapping whole, solid in halves that never meet: every pixel is read.
SDL_Surface* HalfSprite(bool left) {
  SDL_Surface* s = NewSurface(64, 64);
  SDL_FillRect(s, NULL, SDL_MapRGB(s->format, 255, 0, 255));
  SDL_Rect half = {(Sint16)(left ? 0 : 32), 0, 32, 64};
  SDL_FillRect(s, &half, SDL_MapRGB(s->format, 30, 160, 90));
  SDL_SetColorKey(s, SDL_SRCCOLORKEY, SDL_MapRGB(s->format, 255, 0, 255));
  return s;
}

void Collide(benchmark::State& state, SDL_Surface* a, SDL_Surface* b) {
  SDL_Rect placeA = {100, 100, 64, 64}, placeB = {100, 100, 64, 64};
  for (auto _ : state) benchmark::DoNotOptimize(IPrimitives->PixelCollision(a, &placeA, b, &placeB, 0, NULL, NULL));
}

void SoftwareCollision(benchmark::State& state) {
  if (!IPrimitives && Yandorix.Init(SDL_INIT_VIDEO) < 0) {
    state.SkipWithError("the library did not start");
    return;
  }
  SDL_Surface* a = HalfSprite(true);
  SDL_Surface* b = HalfSprite(false);
  Collide(state, a, b);
  SDL_FreeSurface(a);
  SDL_FreeSurface(b);
}

void TextureCollision(benchmark::State& state) {
  if (!StartOpenGL().empty()) {
    state.SkipWithError(StartOpenGL().c_str());
    return;
  }
  SDL_Surface* sa = HalfSprite(true);
  SDL_Surface* sb = HalfSprite(false);
  SDL_Surface* a = SDL_DisplayFormat(sa);
  SDL_Surface* b = SDL_DisplayFormat(sb);
  SDL_FreeSurface(sa);
  SDL_FreeSurface(sb);
  Yandorix.Surface2Texture(a);
  Yandorix.Surface2Texture(b);
  if (!Yandorix.IsTexture(a) || !Yandorix.IsTexture(b)) state.SkipWithError("the sprites are not textures");
  else Collide(state, a, b);
  SDL_FreeSurface(a);
  SDL_FreeSurface(b);
}

void Memcpy1MB(benchmark::State& state) {
  std::vector<Uint8> from(640 * 400 * 4, 7), to(640 * 400 * 4);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}

// The screen read back into its pixels and drawn again.
void ScreenLockUnlock(benchmark::State& state) {
  if (!StartOpenGL().empty()) {
    state.SkipWithError(StartOpenGL().c_str());
    return;
  }
  for (auto _ : state) {
    SDL_LockSurface(Yandorix.screen);
    SDL_UnlockSurface(Yandorix.screen);
  }
}

// In real time: Mesa's software renderer draws on worker threads of its own.
int Register() {
  benchmark::RegisterBenchmark("sdl/Blit2000Tiles32Software", SoftwareTiles)->UseRealTime();
  benchmark::RegisterBenchmark("gl/Blit2000Tiles32", OpenGLTiles)->UseRealTime();
  ydxbench::Ratio("gl/Blit2000Tiles32/real_time", "sdl/Blit2000Tiles32Software/real_time");
  benchmark::RegisterBenchmark("software/PixelCollision64", SoftwareCollision)->UseRealTime();
  benchmark::RegisterBenchmark("gl/PixelCollision64Textures", TextureCollision)->UseRealTime();
  ydxbench::Ratio("gl/PixelCollision64Textures/real_time", "software/PixelCollision64/real_time");
  benchmark::RegisterBenchmark("memcpy/1MB", Memcpy1MB)->UseRealTime();
  benchmark::RegisterBenchmark("gl/ScreenLockUnlock640x400", ScreenLockUnlock)->UseRealTime();
  ydxbench::Ratio("gl/ScreenLockUnlock640x400/real_time", "memcpy/1MB/real_time");
  return 0;
}

const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
