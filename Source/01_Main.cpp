// The main object: construction of the global objects, Init, Quit and CleanUp.
// The log is defined before the main object so it is built first and destroyed last.
#include "01_Main.h"
#include "04_CPU.h"
#include <cstring>
#include <ucl/ucl.h>

Yandorix_ILogSystem ILogSystem;
Yandorix_Main Yandorix;

Yandorix_IStuffDPF* IStuffDPF = NULL;
Yandorix_IImage* IImage = NULL;
Yandorix_ICursor* ICursor = NULL;
Yandorix_IPrimitives* IPrimitives = NULL;
Yandorix_IButton* IButton = NULL;
Yandorix_IScreenFX* IScreenFX = NULL;
Yandorix_ITimeSystem* ITimeSystem = NULL;
Yandorix_INetwork* INetwork = NULL;
Yandorix_IVideo* IVideo = NULL;
Yandorix_ISoundFX* ISoundFX = NULL;

int Yandorix_AutoConvert = 1;
int Yandorix_TexturesAtLoad = 0;
int Yandorix_TexturesAtRun = 0;

static Uint32 (*clockSource)(void) = SDL_GetTicks;

Uint32 Yandorix_Ticks() { return clockSource(); }
void Yandorix_SetClock(Uint32 (*clock)(void)) { clockSource = clock ? clock : SDL_GetTicks; }

bool Yandorix_IsInitialised() { return MainPrivate()->initialised != 0; }

static const char kVersionText[] = "Yandorix SDK Win32 v5.22 (build 3336)";
static const char kCopyrightText[] = "(c) 2013 Yandorix Software";   // 26 characters
// The caption field is a char* the application may point anywhere; the default is writable too.
static char defaultTitle[] = "Yandorix SDK Application";

Yandorix_Main::Yandorix_Main() {
  static_assert(sizeof(kCopyrightText) - 1 == 26, "the copyright line is 26 characters");
  title = defaultTitle;
  icon = NULL;
  mtfriendly = 0;
  renderer = 1;
  accel = 1;
  window = 1;
  colordepth = 0;
  resolutionx = 640;
  resolutiony = 480;
  audioenable = 0;
  audioformat = 32776;
  audiofrequency = 11025;
  audiomode = 1;
  audiobuffer = 4096;
  musicvol = 128;
  soundvol = 128;
  screen = NULL;
  mousex = mousey = 0;
  mousebuttons = prevmousebuttons = 0;
  inittime = -1;
  backupsurfaces = 0;
  numtiles = numsprites = numfonts = 0;

  p = new sMainPrivate();   // value-initialised: every field 0 / NULL
  strcpy(p->version, kVersionText);
  strcpy(p->copyright, kCopyrightText);
  p->versionmajor = 5;
  p->versionminor = 22;
  p->mtindex = 625;
}

Yandorix_Main::~Yandorix_Main() {
  for (int h = 1; h <= kXMLSlots; h++) XMLClose(h);
  if (p->crcready) {
    delete[] p->crctable;
    p->crctable = NULL;
    p->crcready = 0;
  }
  delete p;
  p = NULL;
}

int Yandorix_Main::Init(unsigned int sdlflags) {
  if (p->initialised) {
    ILogSystem.Msg(2, " . [Yandorix.Init()] Warning: Yandorix was already initialized.\n");
    return 1;
  }
  if (!GetCPUFeatures(NULL)) return -1;
  if (Yandorix_StartSDL(sdlflags) < 0) {
    ILogSystem.Msg(0, " . [Yandorix.Init()] Error: Couldn't initialize SDL 1.2: %s\n", SDL_GetError());
    return -1;
  }
  IStuffDPF = new Yandorix_IStuffDPF();
  IImage = new Yandorix_IImage();
  ICursor = new Yandorix_ICursor();
  IPrimitives = new Yandorix_IPrimitives();
  IButton = new Yandorix_IButton();
  IScreenFX = new Yandorix_IScreenFX();
  ITimeSystem = new Yandorix_ITimeSystem();
  INetwork = new Yandorix_INetwork();
  IVideo = new Yandorix_IVideo();
  ISoundFX = new Yandorix_ISoundFX();
  ISoundFX->NoInit();
  if (ucl_init() != UCL_E_OK) ILogSystem.Msg(0, " . [Yandorix.Init()] Error: UCL failed to initiate\n");
  inittime = (Sint32)Yandorix_Ticks();
  p->initialised = 1;
  p->warnednotinit = 0;
  ILogSystem.Msg(0, "\n . Yandorix successfully initiated.\n");
  return 1;
}

template <class T>
static void DeleteService(T*& service) {
  delete service;
  service = NULL;
}

void Yandorix_Main::Quit() {
  if (!p->initialised) return;
  delete p->console;
  p->console = NULL;
  delete p->debugwindow;
  p->debugwindow = NULL;
  DeleteService(ISoundFX);
  DeleteService(IVideo);
  DeleteService(INetwork);
  DeleteService(ITimeSystem);
  DeleteService(IScreenFX);
  DeleteService(IButton);
  DeleteService(IPrimitives);
  DeleteService(ICursor);
  DeleteService(IImage);
  DeleteService(IStuffDPF);
  if (icon) {
    SDL_FreeSurface(icon);
    icon = NULL;
  }
  SDL_Quit();
  p->mouseevents = sMouseEventStore();   // the buttons they were for are gone
  p->mousedown = p->mousemismatch = p->polledmouse = 0;   // and SDL's own mouse state with them
  screen = NULL;   // the video surface went away with SDL, and the OpenGL back end with it
  p->isgl = 0;
  if (numtiles)
    ILogSystem.Msg(2, "\n . [CTiles] Warning! your application have left %d tiles without deleting.", numtiles);
  if (numsprites)
    ILogSystem.Msg(2, "\n . [CSprites] Warning! your application have left %d sprites without deleting.",
                   numsprites);
  if (numfonts)
    ILogSystem.Msg(2, "\n . [CFonts] Warning! your application have left %d fonts without deleting.", numfonts);
  ILogSystem.Msg(0, "\n . Yandorix successfully closed.\n\n");
  p->initialised = 0;
}
