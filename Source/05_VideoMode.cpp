// Video mode: turns the configuration at the head of the main object into an open screen surface on the
// chosen SDL video back end, and gives the new screen a fresh console and debug window.
// A back-end switch that fails puts the previous SDL_VIDEODRIVER back and reopens the previous mode.
#include "01_Main.h"
#include "00_Platform.h"
#include "glSDL.h"
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum { kDetect = 1, kWindib = 2, kDirectX = 4, kX11 = 8, kFbcon = 16, kOpenGL = 64, kQuartz = 128 };

struct BackendName {
  const char* driver;
  Uint8 code;
};
// The running driver's name, looked up in this order, gives the detected code.
const BackendName kDetectedBackends[] = {{"windib", kWindib}, {"directx", kDirectX}, {"glSDL", kOpenGL},
                                         {"x11", kX11},       {"fbcon", kFbcon},     {"quartz", kQuartz}};

const Uint32 kRequestFlags =
    SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_ANYFORMAT | SDL_HWPALETTE | SDL_DOUBLEBUF | SDL_FULLSCREEN | SDL_NOFRAME;

Uint8 DetectedRenderer() {
  char name[21] = "";
  if (!SDL_VideoDriverName(name, sizeof name)) return kDetect;
  for (const BackendName& backend : kDetectedBackends)
    if (strcmp(name, backend.driver) == 0) return backend.code;
  return kDetect;
}

// The environment setting a restart may have to put back.
struct DriverSetting {
  bool present;
  std::string value;
  static DriverSetting Current() {
    const char* value = getenv("SDL_VIDEODRIVER");
    return DriverSetting{value != NULL, value ? value : ""};
  }
  void Restore() const { ydxplat::PutEnv("SDL_VIDEODRIVER", present ? value.c_str() : NULL); }
};

// The mode a failed switch reopens.
struct ModeSetting {
  bool present;
  int width, height, depth;
  Uint32 flags;
  static ModeSetting Of(SDL_Surface* screen) {
    if (!screen) return ModeSetting{false, 0, 0, 0, 0};
    return ModeSetting{true, screen->w, screen->h, screen->format->BitsPerPixel, screen->flags & kRequestFlags};
  }
};

}  // namespace

// Puts the previous driver setting back and restarts video on it with the previous mode, so the
// application keeps a usable screen after a failed switch.
static bool FallBack(Yandorix_Main& main, const DriverSetting& previousDriver, const ModeSetting& previousMode) {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  main.screen = NULL;
  Yandorix_MainAccess::Of(main)->isgl = 0;   // whatever comes back, the OpenGL back end is not on it
  previousDriver.Restore();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: could not restore the previous video system (%s).\n",
                   SDL_GetError());
    return false;
  }
  if (previousMode.present) {
    if (main.title) SDL_WM_SetCaption(main.title, NULL);
    main.screen =
        SDL_SetVideoMode(previousMode.width, previousMode.height, previousMode.depth, previousMode.flags);
  }
  ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: the previous video backend was restored.\n");
  return true;
}

// Restarts SDL video, on `driver` when given (logged as `backend`). When the restart fails, the
// previous driver and mode come back.
static bool RestartVideo(Yandorix_Main& main, const char* driver, const char* backend) {
  DriverSetting previousDriver = DriverSetting::Current();
  ModeSetting previousMode = ModeSetting::Of(main.screen);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  main.screen = NULL;   // the surface went away with the subsystem
  if (driver) {
    ydxplat::PutEnv("SDL_VIDEODRIVER", driver);
    ILogSystem.Msg(5, " . [Yandorix.SetVideoMode()] Info: setting '%s' backend\n", backend);
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: could not initialize SDL video system (%d) (%s).\n",
                 main.renderer, SDL_GetError());
  FallBack(main, previousDriver, previousMode);
  return false;
}

// Where a failed OpenGL switch returns to.
static DriverSetting openglPreviousDriver;
static ModeSetting openglPreviousMode;

// The OpenGL back end runs on SDL's X11 driver: video restarts on it and the back end joins it.
static bool AttachOpenGLBackend(Yandorix_Main& main) {
  openglPreviousDriver = DriverSetting::Current();
  openglPreviousMode = ModeSetting::Of(main.screen);
  if (!RestartVideo(main, "x11", "glSDL")) return false;
  char why[160] = "";
  if (glSDL_Attach(main.title, why, sizeof why)) return true;
  ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: the 'glSDL' OpenGL backend cannot run: %s.\n", why);
  FallBack(main, openglPreviousDriver, openglPreviousMode);
  return false;
}

// After the mode set under the OpenGL back end: SDL must hold the back end's screen.
static bool ConfirmOpenGLScreen(Yandorix_Main& main) {
  char why[160] = "";
  if (main.screen && glSDL_ConfirmScreen(main.screen, why, sizeof why)) return true;
  if (main.screen)
    ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: the 'glSDL' OpenGL backend cannot run: %s.\n", why);
  FallBack(main, openglPreviousDriver, openglPreviousMode);
  return false;
}

// Picks the back end the configuration asks for; false when the switch failed.
static bool ChooseBackend(Yandorix_Main& main) {
  if (main.renderer == kWindib || main.renderer == kDirectX) {
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: the '%s' backend exists on Win32 only; the running "
                      "backend is detected instead.\n",
                   main.renderer == kWindib ? "windib" : "directx");
    main.renderer = kDetect;
  }
  if (main.renderer == kDetect) {
    main.renderer = DetectedRenderer();
    return true;
  }
  if (main.renderer == kOpenGL) return AttachOpenGLBackend(main);
  const char* driver = main.renderer == kX11 ? "x11" : (main.renderer == kFbcon ? "fbcon" : NULL);
  return RestartVideo(main, driver, driver);
}

static Uint32 FlagsFor(const Yandorix_Main& main) {
  Uint32 flags = 0;
  if (main.accel == 2) flags = SDL_HWSURFACE | SDL_DOUBLEBUF;
  if (main.accel == 3) flags = SDL_HWSURFACE;
  if (main.accel == 1 && main.renderer == kOpenGL)
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: using OpenGL on software mode is quite slow.\n");
  if (main.window == 0) flags |= SDL_FULLSCREEN;
  if (main.window == 2) flags |= SDL_NOFRAME;
  return flags;
}

static void AdjustDepth(Yandorix_Main& main) {
  if (main.renderer == kOpenGL) main.colordepth = 0;   // the OpenGL back end takes the desktop's depth
  if (main.colordepth == 24) {
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: failed attempt to set a 24bpp video mode.\n   It "
                      "was changed to 32bpp.\n");
    main.colordepth = 32;
  }
  if (main.window == 0 && main.colordepth == 0 && main.renderer != kOpenGL) main.colordepth = 32;
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (main.window != 0 && main.colordepth != 0 && info && info->vfmt &&
      main.colordepth != info->vfmt->BitsPerPixel)
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: running on window mode using different color depth "
                      "of your desktop will slow down the application.\n");
}

// Level-2 warnings where the surface obtained differs from the one asked for.
static void WarnAboutMismatches(const Yandorix_Main& main, Uint32 flags) {
  const SDL_Surface* screen = main.screen;
  if ((flags & SDL_HWSURFACE) && !(screen->flags & SDL_HWSURFACE))
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: running on software mode instead of your requested "
                      "hardware mode.\n");
  if ((flags & SDL_DOUBLEBUF) && !(screen->flags & SDL_DOUBLEBUF))
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: using a single-buffer instead of your requested "
                      "double-buffer.\n");
  if (main.window != 0 && (screen->flags & SDL_FULLSCREEN))
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: running on a full screen instead of your requested "
                      "window mode.\n");
  if (main.window == 0 && !(screen->flags & SDL_FULLSCREEN))
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: running on a window mode instead of your requested "
                      "full screen.\n");
}

// Opens the configured mode on the chosen back end and replaces the overlay windows; 1 or 0.
static int OpenScreen(Yandorix_Main& main) {
  sMainPrivate* p = Yandorix_MainAccess::Of(main);
  if (!ChooseBackend(main)) return 0;
  Uint32 flags = FlagsFor(main);
  if (main.icon) SDL_WM_SetIcon(main.icon, NULL);
  if (main.title) SDL_WM_SetCaption(main.title, NULL);
  AdjustDepth(main);
  main.screen = SDL_SetVideoMode(main.resolutionx, main.resolutiony, main.colordepth, flags);
  SDL_Surface* screen = main.screen;
  if (!screen) {
    ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: Couldn't set video mode %dx%d with %dbpp: %s\n",
                   main.resolutionx, main.resolutiony, main.colordepth, SDL_GetError());
    if (main.renderer == kOpenGL) ConfirmOpenGLScreen(main);
    return 0;
  }
  if (main.renderer == kOpenGL && !ConfirmOpenGLScreen(main)) return 0;
  if (screen->format->BitsPerPixel == 24)
    ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: your desktop is using 24bpp.\n   This color depth "
                      "mode is very slow and could cause problems. Try to change it or to run at fullscreen.\n");
  if (main.renderer == kDirectX && main.accel != 1) main.backupsurfaces = 1;   // such surfaces can be lost
  p->isgl = main.renderer == kOpenGL ? 1 : 0;
  WarnAboutMismatches(main, flags);

  delete p->console;
  p->console = new cConsole();
  delete p->debugwindow;
  p->debugwindow = new cDebugWO(p->console);
  p->dragging = 0;
  if (screen->flags & SDL_DOUBLEBUF) p->renderneeded = 2;
  return 1;
}

int Yandorix_Main::SetVideoMode() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: SDL_INIT_VIDEO was not initialized.\n");
    return 0;
  }
  int cursorVisible = SDL_ShowCursor(SDL_QUERY);
  int opened = OpenScreen(*this);
  SDL_ShowCursor(cursorVisible);
  return opened;
}

int Yandorix_Main::IsGL() { return p->isgl; }
