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

// SDL 1.2 has no "glSDL" driver of its own: when SDL_VIDEODRIVER names it, SDL starts its X11 driver
// and the OpenGL back end joins it. 0 when video runs; -1 when SDL could not start; -2 when the back
// end could not join (video runs on plain X11 then, and the reason is logged under `op`).
static int StartVideo(Uint32 flags, bool whole, const char* op) {
  const char* asked = getenv("SDL_VIDEODRIVER");
  bool opengl = (flags & SDL_INIT_VIDEO) && asked && strcmp(asked, "glSDL") == 0;
  if (opengl) ydxplat::PutEnv("SDL_VIDEODRIVER", "x11");
  int started = whole ? SDL_Init(flags) : SDL_InitSubSystem(flags);
  if (opengl) ydxplat::PutEnv("SDL_VIDEODRIVER", "glSDL");
  if (started < 0) return -1;
  char why[160] = "";
  if (!opengl || glSDL_Attach(Yandorix.title, why, sizeof why)) return 0;
  ILogSystem.Msg(0, " . [Yandorix.%s] Error: the 'glSDL' OpenGL backend cannot run: %s.\n", op, why);
  return -2;
}

int Yandorix_StartSDL(Uint32 flags) { return StartVideo(flags, true, "Init()") == -1 ? -1 : 0; }

// Puts the previous driver setting back and restarts video on it with the previous mode, so the
// application keeps a usable screen after a failed switch.
static bool FallBack(Yandorix_Main& main, const DriverSetting& previousDriver, const ModeSetting& previousMode) {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  main.screen = NULL;
  Yandorix_MainAccess::Of(main)->isgl = 0;
  previousDriver.Restore();
  if (StartVideo(SDL_INIT_VIDEO, false, "SetVideoMode()") == -1) {
    ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: could not restore the previous video system (%s).\n",
                   SDL_GetError());
    return false;
  }
  if (previousMode.present) {
    if (main.title) SDL_WM_SetCaption(main.title, NULL);
    main.screen =
        SDL_SetVideoMode(previousMode.width, previousMode.height, previousMode.depth, previousMode.flags);
    if (main.screen && glSDL_IsActive()) glSDL_ConfirmScreen(main.screen, NULL, 0);
  }
  Yandorix_MainAccess::Of(main)->isgl = main.screen && glSDL_IsActive() ? 1 : 0;
  ILogSystem.Msg(2, " . [Yandorix.SetVideoMode()] Warning: the previous video backend was restored.\n");
  return true;
}

// Restarts SDL video, on `driver` when given. When the restart fails, the previous driver and mode
// come back.
static bool RestartVideo(Yandorix_Main& main, const char* driver) {
  DriverSetting previousDriver = DriverSetting::Current();
  ModeSetting previousMode = ModeSetting::Of(main.screen);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  main.screen = NULL;   // the surface went away with the subsystem
  if (driver) {
    ydxplat::PutEnv("SDL_VIDEODRIVER", driver);
    if (strcmp(driver, "glSDL") == 0)   // applications compare this line byte for byte
      ILogSystem.Msg(5, " . [Yandorix.SetVideoMode()] Info: setting 'glSDL' backend for Win32\n");
    else
      ILogSystem.Msg(5, " . [Yandorix.SetVideoMode()] Info: setting '%s' backend\n", driver);
  }
  int started = StartVideo(SDL_INIT_VIDEO, false, "SetVideoMode()");
  if (started == 0) return true;
  if (started == -1)
    ILogSystem.Msg(0, " . [Yandorix.SetVideoMode()] Error: could not initialize SDL video system (%d) (%s).\n",
                   main.renderer, SDL_GetError());
  FallBack(main, previousDriver, previousMode);
  return false;
}

// Where a failed OpenGL mode set returns to.
static DriverSetting openglPreviousDriver;
static ModeSetting openglPreviousMode;

static bool SwitchToOpenGL(Yandorix_Main& main) {
  openglPreviousDriver = DriverSetting::Current();
  openglPreviousMode = ModeSetting::Of(main.screen);
  return RestartVideo(main, "glSDL");
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
    if (main.renderer == kOpenGL) {   // the running back end may have to come back after a failure
      openglPreviousDriver = DriverSetting::Current();
      openglPreviousMode = ModeSetting::Of(main.screen);
    }
    return true;
  }
  if (main.renderer == kOpenGL) return SwitchToOpenGL(main);
  const char* driver = main.renderer == kX11 ? "x11" : (main.renderer == kFbcon ? "fbcon" : NULL);
  return RestartVideo(main, driver);
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
  p->console = new cConsole(NULL);
  delete p->debugwindow;
  p->debugwindow = new cDebugWO(p->console, NULL);
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
