// Fixture for the sprite tests: the library on the dummy driver with the manual clock, a log to read
// back, sheets whose frames tell themselves apart by colour, and a view into a sprite's record.
#pragma once
#include "../pix/PixTest.h"
#include "28_Sprite.h"
#include <string>
#include <vector>

class SpriteTest : public PixTest {
 protected:
  void SetUp() override {
    ydxtest::ManualClock::Install(1000);
    PixTest::SetUp();
  }
  void TearDown() override {
    PixTest::TearDown();
    Yandorix_SetClock(NULL);
  }
  // A screen of that depth on the dummy driver, cleared to black.
  SDL_Surface* OpenScreen(int bpp = 32, int w = 160, int h = 120) {
    if (!PixTest::OpenScreen(bpp, w, h)) return NULL;
    SDL_FillRect(Yandorix.screen, NULL, 0);
    return Yandorix.screen;
  }
  static sSpritePrivate* Record(Yandorix_CSprite& sprite) { return Yandorix_SpriteAccess::Of(sprite); }
};

// Frame (column, row) of the sheets below: red 40 x column + 20, green 40 x row + 20, blue 200, with a
// mark of blue 50 at its top-left pixel, so no frame is empty.
inline SDL_Color FrameColor(int column, int row) {
  return SDL_Color{(Uint8)(40 * column + 20), (Uint8)(40 * row + 20), 200, 255};
}

inline SDL_Surface* MakeSheet(int columns, int rows, int framew, int frameh, int bpp = 32) {
  SDL_Surface* s = bpp == 16 ? SDL_CreateRGBSurface(0, columns * framew, rows * frameh, 16, 0xF800, 0x07E0, 0x001F, 0)
                             : SDL_CreateRGBSurface(0, columns * framew, rows * frameh, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      SDL_Color c = FrameColor(column, row);
      SDL_Rect frame = {(Sint16)(column * framew), (Sint16)(row * frameh), (Uint16)framew, (Uint16)frameh};
      SDL_FillRect(s, &frame, SDL_MapRGB(s->format, c.r, c.g, c.b));
      SDL_Rect mark = {frame.x, frame.y, 1, 1};
      SDL_FillRect(s, &mark, SDL_MapRGB(s->format, c.r, c.g, 50));
    }
  return s;
}

// Fills one frame with a single colour (an empty frame).
inline void BlankFrame(SDL_Surface* s, int column, int row, int framew, int frameh, Uint32 color = 0) {
  SDL_Rect frame = {(Sint16)(column * framew), (Sint16)(row * frameh), (Uint16)framew, (Uint16)frameh};
  SDL_FillRect(s, &frame, color);
}

// The frame column whose colour is at (x, y), or -1.
inline int ColumnAt(SDL_Surface* s, int x, int y) {
  SDL_Color c = ydxtest::ColorAt(s, x, y);
  return c.b == 200 && c.r >= 20 && (c.r - 20) % 40 == 0 ? (c.r - 20) / 40 : -1;
}
