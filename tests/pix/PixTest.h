// Fixture for the pixel tests: the library initialised on the dummy driver, a log to read back, and
// small helpers to read surfaces without the code under test.
#pragma once
#include "YdxTest.h"
#include "Pattern.h"

class PixTest : public YdxTest {
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
  // Opens a screen of the given depth on the dummy driver (never 15 bits there).
  SDL_Surface* OpenScreen(int bpp, int w = 64, int h = 48) {
    Yandorix.colordepth = (Uint8)bpp;
    Yandorix.resolutionx = (Uint16)w;
    Yandorix.resolutiony = (Uint16)h;
    return Yandorix.SetVideoMode() == 1 ? Yandorix.screen : NULL;
  }
  static bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
};

// Raw pixel value at (x, y), read without the library.
inline Uint32 RawAt(SDL_Surface* s, int x, int y) {
  SDL_LockSurface(s);
  const Uint8* at = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch + (size_t)x * s->format->BytesPerPixel;
  Uint32 value = 0;
  for (int i = 0; i < s->format->BytesPerPixel; ++i) value |= (Uint32)at[i] << (8 * i);
  SDL_UnlockSurface(s);
  return value;
}

// Frees a surface at the end of a scope.
struct SurfaceHolder {
  SDL_Surface* s;
  explicit SurfaceHolder(SDL_Surface* surface = NULL) : s(surface) {}
  ~SurfaceHolder() {
    if (s) SDL_FreeSurface(s);
  }
  void reset(SDL_Surface* surface) {
    if (s && s != surface) SDL_FreeSurface(s);
    s = surface;
  }
  SDL_Surface* get() const { return s; }
  SDL_Surface* operator->() const { return s; }
  SurfaceHolder(const SurfaceHolder&) = delete;
  SurfaceHolder& operator=(const SurfaceHolder&) = delete;
};
