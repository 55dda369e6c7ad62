// The OpenGL renderer's tests run in a virtual X display of their own: the fixture starts Xvfb
// (with -noreset, so SDL's two connections in a row are always accepted), checks that the display
// offers OpenGL, starts the library and opens a screen on renderer 64. Without Xvfb or GLX the test
// is skipped with a message.
#pragma once
#include "YdxTest.h"
#include "01_Main.h"
#include "glSDL_Internal.h"
#include <string>
#include <vector>

namespace gltest {

// One Xvfb for the test process; DISPLAY points at it while it runs.
class VirtualDisplay {
 public:
  // Empty when the display runs and offers OpenGL, else why the test cannot run.
  static std::string Start();
  static void Stop();
};

// A test clock that moves one millisecond every time the library reads it.
struct SteppingClock {
  static Uint32 Read() { return ++ydxtest::ManualClock::now; }
  static void Install(Uint32 start = 1000) {
    ydxtest::ManualClock::now = start;
    Yandorix_SetClock(&SteppingClock::Read);
  }
};

// A pixel of any surface as 0xRRGGBB (through its format; the screen is locked for it).
Uint32 RGBAt(SDL_Surface* s, int x, int y);
// Every pixel of the screen as 0xRRGGBB, read back once.
std::vector<Uint32> ScreenRGB();
// A software surface with a pixel pattern, 32 bits XRGB (or ARGB with `alpha`).
SDL_Surface* PatternSurface(int w, int h, bool alpha = false);
// Pixels whose channels differ by more than `tolerance` between two pictures of the same size.
int CountDifferences(const std::vector<Uint32>& a, const std::vector<Uint32>& b, int tolerance);

}  // namespace gltest

class GLTest : public YdxTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Opens a screen on renderer 64 (or the given one); 1 or 0 as SetVideoMode.
  int OpenScreen(int renderer = 64, int width = 320, int height = 200, int accel = 1);
  static bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
  // Surfaces handed here are freed at the end of the test.
  SDL_Surface* Keep(SDL_Surface* s) {
    if (s) owned.push_back(s);
    return s;
  }
  std::vector<SDL_Surface*> owned;
};
