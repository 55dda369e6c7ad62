// The virtual display of the OpenGL tests and their pixel helpers.
#include "GLTest.h"
#include "XvfbServer.h"
#include <cstdlib>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gltest {

namespace {

// A child process opens an OpenGL window on the display: a failure there says GLX is missing.
bool DisplayOffersOpenGL() {
  pid_t child = fork();
  if (child == 0) {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    int ok = SDL_Init(SDL_INIT_VIDEO) == 0 && SDL_SetVideoMode(8, 8, 0, SDL_OPENGL) != NULL;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string VirtualDisplay::Start() {
  if (!ydxtest::OnPath("Xvfb")) return "Xvfb is missing (make setup installs it): the OpenGL renderer is not tested";
  if (ydxtest::StartXvfb("1024x768x24") < 0) {
    Stop();
    return "Xvfb did not start: the OpenGL renderer is not tested";
  }
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  // Mesa draws on the test's own thread: its worker threads outlive their contexts, which the leak
  // checker of the sanitizer build cannot stop at exit.
  setenv("LP_NUM_THREADS", "0", 1);
  // Keep the OpenGL libraries mapped after SDL lets them go, so leak reports can name them.
  const char* libraries[] = {"libGL.so.1", "libGLX_mesa.so.0", "libGLdispatch.so.0", "libglapi.so.0",
                             "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"};
  for (const char* library : libraries) dlopen(library, RTLD_LAZY | RTLD_GLOBAL | RTLD_NODELETE);
  if (!DisplayOffersOpenGL()) {
    Stop();
    return "the virtual display offers no OpenGL (GLX; make setup installs Mesa): the OpenGL renderer is not tested";
  }
  return "";
}

void VirtualDisplay::Stop() { ydxtest::StopXvfb(); }

Uint32 RGBAt(SDL_Surface* s, int x, int y) {
  Uint8 r, g, b;
  SDL_LockSurface(s);
  const Uint8* row = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch;
  Uint32 pixel = 0;
  memcpy(&pixel, row + (size_t)x * s->format->BytesPerPixel, s->format->BytesPerPixel);
  SDL_UnlockSurface(s);
  SDL_GetRGB(pixel, s->format, &r, &g, &b);
  return (Uint32)r << 16 | (Uint32)g << 8 | b;
}

std::vector<Uint32> ScreenRGB() {
  SDL_Surface* s = Yandorix.screen;
  std::vector<Uint32> out;
  if (!s || SDL_LockSurface(s) < 0) return out;
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) {
      Uint32 pixel = 0;
      memcpy(&pixel, static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch + (size_t)x * s->format->BytesPerPixel,
             s->format->BytesPerPixel);
      Uint8 r, g, b;
      SDL_GetRGB(pixel, s->format, &r, &g, &b);
      out.push_back((Uint32)r << 16 | (Uint32)g << 8 | b);
    }
  SDL_UnlockSurface(s);
  return out;
}

SDL_Surface* PatternSurface(int w, int h, bool alpha) {
  SDL_Surface* s = alpha ? SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                         : SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  if (!s) return NULL;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Uint32 rgb = (Uint32)((x * 37 + 11) & 0xFF) << 16 | (Uint32)((y * 53 + 7) & 0xFF) << 8 | (Uint32)((x ^ y) & 0xFF);
      static_cast<Uint32*>(s->pixels)[(size_t)y * (s->pitch / 4) + x] = rgb | (alpha ? 0xFF000000u : 0);
    }
  return s;
}

int CountDifferences(const std::vector<Uint32>& a, const std::vector<Uint32>& b, int tolerance) {
  if (a.size() != b.size()) return -1;
  int count = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int shift = 0; shift <= 16; shift += 8) {
      int d = (int)((a[i] >> shift) & 0xFF) - (int)((b[i] >> shift) & 0xFF);
      if (d > tolerance || d < -tolerance) {
        ++count;
        break;
      }
    }
  return count;
}

}  // namespace gltest

void GLTest::SetUp() {
  YdxTest::SetUp();
  std::string why = gltest::VirtualDisplay::Start();
  if (!why.empty()) GTEST_SKIP() << why;
  setenv("SDL_VIDEODRIVER", "x11", 1);
  ydxtest::StartLog();
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
}

void GLTest::TearDown() {
  for (SDL_Surface* s : owned) SDL_FreeSurface(s);
  owned.clear();
  Yandorix_SetClock(NULL);
  glSDL_InjectLinkedVersion(NULL);
  glSDL_InjectPixelAllocator(NULL);
  Yandorix.Quit();
  gltest::VirtualDisplay::Stop();
  YdxTest::TearDown();
}

int GLTest::OpenScreen(int renderer, int width, int height, int accel) {
  Yandorix.renderer = (Uint8)renderer;
  Yandorix.accel = (Uint8)accel;
  Yandorix.window = 1;
  Yandorix.colordepth = 0;
  Yandorix.resolutionx = (Uint16)width;
  Yandorix.resolutiony = (Uint16)height;
  return Yandorix.SetVideoMode();
}
