// Shared pieces of the screen-effect tests: a fixture with the library initialised, surfaces of every
// depth filled with a position-dependent pattern, raw pixel access and per-row CRCs.
#pragma once
#include "YdxTest.h"
#include "01_Main.h"
#include "20_Primitives.h"
#include <string>
#include <vector>
#include <zlib.h>

class FxTest : public YdxTest {
 public:
  // Surfaces handed here are freed at the end of the test.
  SDL_Surface* Keep(SDL_Surface* s) {
    if (s) owned.push_back(s);
    return s;
  }

 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
    ASSERT_NE(IScreenFX, nullptr);
  }
  void TearDown() override {
    for (SDL_Surface* s : owned) SDL_FreeSurface(s);
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  std::vector<SDL_Surface*> owned;
};

namespace fxtest {

// A surface of 8 (grey-ramp palette), 16 (565), 24, 32 (XRGB) or 33 (RGBA, 32 bits with alpha) bits.
inline SDL_Surface* NewSurface(int w, int h, int kind) {
  SDL_Surface* s = NULL;
  switch (kind) {
    case 8: {
      s = SDL_CreateRGBSurface(0, w, h, 8, 0, 0, 0, 0);
      SDL_Color colours[256];
      for (int i = 0; i < 256; i++) colours[i] = SDL_Color{(Uint8)i, (Uint8)(255 - i), (Uint8)(i * 7), 0};
      SDL_SetPalette(s, SDL_LOGPAL, colours, 0, 256);
      break;
    }
    case 16: s = SDL_CreateRGBSurface(0, w, h, 16, 0xF800, 0x07E0, 0x001F, 0); break;
    case 24: s = SDL_CreateRGBSurface(0, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0); break;
    case 33: s = SDL_CreateRGBSurface(0, w, h, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000); break;
    default: s = SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0); break;
  }
  return s;
}

inline Uint32 Get(const SDL_Surface* s, int x, int y) { return ydxpix::ReadUnchecked(s, x, y); }
inline void Put(SDL_Surface* s, int x, int y, Uint32 v) { ydxpix::WriteUnchecked(s, x, y, v); }

// Every pixel different from its neighbours, all bits of the pixel used.
inline Uint32 PatternValue(int x, int y, int bytes) {
  Uint32 v = (Uint32)(x * 2654435761u) ^ (Uint32)(y * 40503u + 0x9E3779B9u) ^ (Uint32)(x * y * 97u);
  return bytes == 4 ? v : v & ((1u << (8 * bytes)) - 1);
}

inline SDL_Surface* Pattern(int w, int h, int kind) {
  SDL_Surface* s = NewSurface(w, h, kind);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) Put(s, x, y, PatternValue(x, y, s->format->BytesPerPixel));
  return s;
}

inline Uint32 RowCRC(const SDL_Surface* s, int y) {
  const Uint8* row = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch;
  return (Uint32)crc32(0, row, (uInt)(s->w * s->format->BytesPerPixel));
}

inline std::vector<Uint32> RowCRCs(const SDL_Surface* s) {
  std::vector<Uint32> crcs;
  for (int y = 0; y < s->h; y++) crcs.push_back(RowCRC(s, y));
  return crcs;
}

inline Uint32 RGBOf(const SDL_Surface* s, int x, int y) {
  Uint8 r, g, b;
  SDL_GetRGB(Get(s, x, y), s->format, &r, &g, &b);
  return (Uint32)r << 16 | (Uint32)g << 8 | b;
}

// A test clock that moves one millisecond every time the library reads it.
struct SteppingClock {
  static Uint32 Read() { return ++ydxtest::ManualClock::now; }
  static void Install(Uint32 start = 1000) {
    ydxtest::ManualClock::now = start;
    Yandorix_SetClock(&SteppingClock::Read);
  }
};

inline bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }

}  // namespace fxtest
