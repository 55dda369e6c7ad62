// What the cursor and button tests share: the library with a 32-bit screen on the dummy driver and the
// manual clock, a backdrop whose every pixel is known, button tiles saved as "TILB2" blocks through the
// tile class, and one logic frame of input driven through the main object's snapshot fields.
#pragma once
#include "../tiles/ResourceTest.h"
#include "01_Main.h"
#include "25_BlitRule.h"

const Uint32 kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00, kWhite = 0xFFFFFF;

class UiTest : public ResourceTest {
 protected:
  void SetUp() override {
    ydxtest::ManualClock::Install(1000);
    ResourceTest::SetUp();
    Yandorix.window = 1;
    Yandorix.colordepth = 32;
    Yandorix.resolutionx = 640;
    Yandorix.resolutiony = 480;
    ASSERT_EQ(Yandorix.SetVideoMode(), 1);
    screen = Yandorix.screen;
    ASSERT_EQ(screen->format->BytesPerPixel, 4);
    ICursor->Init();
    Yandorix.Update(NULL);   // the first snapshot: SDL's key array becomes the keyboard state
    SDL_Event ignored;
    while (SDL_PollEvent(&ignored)) {
    }
  }
  void TearDown() override {
    Yandorix_SetBlitSeam(NULL);
    ResourceTest::TearDown();
  }

  // The colour of the screen at (x, y) as 0xRRGGBB.
  Uint32 At(int x, int y) {
    Uint8 r, g, b;
    SDL_GetRGB(Pixel32(screen, x, y), screen->format, &r, &g, &b);
    return (Uint32)r << 16 | g << 8 | b;
  }
  static Uint32 Backdrop(int x, int y) { return (Uint32)(x & 0xFF) << 16 | (Uint32)(y & 0xFF) << 8 | ((x ^ y) & 0x7F); }
  void PaintBackdrop() {
    for (int y = 0; y < screen->h; ++y)
      for (int x = 0; x < screen->w; ++x) Pixel32(screen, x, y) = MapOnScreen(Backdrop(x, y));
  }
  // Pixels of the area that are not the backdrop.
  int Disturbed(int x0, int y0, int w, int h) {
    int count = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) count += At(x, y) != Backdrop(x, y);
    return count;
  }
  Uint32 MapOnScreen(Uint32 rgb) { return SDL_MapRGB(screen->format, (Uint8)(rgb >> 16), (Uint8)(rgb >> 8), (Uint8)rgb); }

  static SurfacePtr Solid(int w, int h, Uint32 rgb) {
    SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0));
    SDL_FillRect(s.get(), NULL, rgb);
    return s;
  }
  // A tile of one colour stored under `name`.
  static void SaveTile(int handle, const std::string& name, int w, int h, Uint32 rgb) {
    SurfacePtr image = Solid(w, h, rgb);
    Yandorix_CTile tile;
    ASSERT_EQ(tile.Create(image.get(), name.c_str()), 1);
    ASSERT_GT(tile.Save(handle, "TILB2"), 0);
  }
  // A button's tiles: _n red, _p green (knobw wide when given), _o blue and, when asked, _s yellow.
  static void SaveButtonTiles(int handle, const std::string& name, int w, int h, bool selected = false, int knobw = 0,
                              int knobh = 0) {
    SaveTile(handle, name + "_n", w, h, kRed);
    SaveTile(handle, name + "_p", knobw ? knobw : w, knobh ? knobh : h, kGreen);
    SaveTile(handle, name + "_o", w, h, kBlue);
    if (selected) SaveTile(handle, name + "_s", w, h, kYellow);
  }
  static IButtonNew Desc(int kind, int x, int y, int range = 0, int value = 0, Uint32 color = 0) {
    IButtonNew d = IButtonNew();
    d.type = (Uint8)kind;
    d.x = (Uint16)x;
    d.y = (Uint16)y;
    d.range = (Uint16)range;
    d.value = value;
    d.colorselect = color;
    return d;
  }

  // One logic frame of input as the frame driver takes it, then `ms` milliseconds pass: the mouse moved
  // to (x, y), and the buttons that changed since the last frame were pressed or released there.
  static void Frame(int x, int y, Uint8 buttons, Uint32 ms = 50) {
    Yandorix_RecordMouseEvent(sMouseEvent{kMouseMotion, 0, 0, (Sint16)x, (Sint16)y});
    for (Uint8 button = 1; button <= 3; ++button) {
      Uint8 mask = (Uint8)SDL_BUTTON(button), changed = (Uint8)(buttons ^ Yandorix.mousebuttons);
      if (changed & mask)
        Yandorix_RecordMouseEvent(sMouseEvent{(Uint8)(buttons & mask ? kMousePress : kMouseRelease), button, 0,
                                              (Sint16)x, (Sint16)y});
    }
    Yandorix.prevmousebuttons = Yandorix.mousebuttons;
    Yandorix.mousex = x;
    Yandorix.mousey = y;
    Yandorix.mousebuttons = buttons;
    IButton->Update();
    ydxtest::ManualClock::Advance(ms);
  }
  static void HoldKey(SDLKey key, bool down) { SDL_GetKeyState(NULL)[key] = down ? 1 : 0; }
  static size_t Count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) n++;
    return n;
  }

  SDL_Surface* screen = NULL;
};
