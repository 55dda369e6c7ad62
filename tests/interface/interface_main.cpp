// Compile-time check of the core interface as an application writes against it: every operation of the
// main object (utilities, XML documents, configuration), the log, the time system and the processor
// functions, called with their own argument and result types. Never run; building and linking is the test.
#include <gtest/gtest.h>
#include <Yandorix.h>

static void OnRender(int logicRan) { (void)logicRan; }

void CallCoreInterface() {
  // Public fields of the main object, in the order applications rely on.
  Yandorix.title = (char*)"Game";
  char* title = Yandorix.title;
  SDL_Surface* icon = Yandorix.icon;
  Sint8 mtfriendly = Yandorix.mtfriendly;
  Uint8 renderer = Yandorix.renderer;
  Uint8 accel = Yandorix.accel;
  Sint8 window = Yandorix.window;
  Uint8 colordepth = Yandorix.colordepth;
  Uint16 resolutionx = Yandorix.resolutionx;
  Uint16 resolutiony = Yandorix.resolutiony;
  Uint8 audioenable = Yandorix.audioenable;
  Sint32 audioformat = Yandorix.audioformat;
  Sint32 audiofrequency = Yandorix.audiofrequency;
  Sint32 audiomode = Yandorix.audiomode;
  Sint32 audiobuffer = Yandorix.audiobuffer;
  Uint8 musicvol = Yandorix.musicvol;
  Uint8 soundvol = Yandorix.soundvol;
  SDL_Surface* screen = Yandorix.screen;
  Sint32 mousex = Yandorix.mousex;
  Sint32 mousey = Yandorix.mousey;
  Uint8 mousebuttons = Yandorix.mousebuttons;
  Uint8 prevmousebuttons = Yandorix.prevmousebuttons;
  Sint32 inittime = Yandorix.inittime;
  Uint8 backupsurfaces = Yandorix.backupsurfaces;
  Sint32 counts = Yandorix.numtiles + Yandorix.numsprites + Yandorix.numfonts;

  // The configuration record has the same fields.
  Yandorix_Main::sConfig config;
  config.title = title;
  config.icon = icon;
  config.mtfriendly = mtfriendly;
  config.renderer = renderer;
  config.accel = accel;
  config.window = window;
  config.colordepth = colordepth;
  config.resolutionx = resolutionx;
  config.resolutiony = resolutiony;
  config.audioenable = audioenable;
  config.audioformat = audioformat;
  config.audiofrequency = audiofrequency;
  config.audiomode = audiomode;
  config.audiobuffer = audiobuffer;
  config.musicvol = musicvol;
  config.soundvol = soundvol;
  int result = Yandorix.LoadConfig((char*)"data.dpf", (char*)"setup.xml", &config);
  result += Yandorix.SaveConfig((char*)"", (char*)"setup.xml", &config);
  result += Yandorix.LoadConfig(NULL, (char*)"setup.xml", NULL);

  // Log and start-up.
  ILogSystem.Init((char*)"game.log", 2 | 8, 5, (char*)"Game", (char*)"line 2", (char*)"line 3", (char*)"line 4");
  ILogSystem->Msg(0, (char*)" . [Game] Info: %d %d %d\n", screen != NULL, mousex + mousey, counts);
  ILogSystem.Msg(5, " . [Game] Info: %d %d\n", mousebuttons + prevmousebuttons, inittime + backupsurfaces);
  char state = ILogSystem.GetState();
  ILogSystem.Halt();
  ILogSystem.Resume();
  ILogSystem.ShowTime(state);
  ILogSystem.ProfileBegin((char*)"frame");
  ILogSystem.ProfileEnd((char*)"frame");
  ILogSystem.ProfileShow();
  result += Yandorix.Init(SDL_INIT_VIDEO);
  result += Yandorix.SetVideoMode();
  result += Yandorix.IsGL();
  Yandorix.CleanUp();

  // Frame driver.
  SDL_Event event;
  result += Yandorix.Update(&event);
  result += Yandorix.Update(NULL);
  Yandorix.SetRenderCallback(OnRender);
  float logicTime = Yandorix.GetLogicTime();
  result += Yandorix.GetKeystate(SDLK_a);
  result += Yandorix.IsRenderNeeded();
  Yandorix.RenderNeeded(1);

  // Utilities.
  unsigned int crc = Yandorix.CRC32((char*)"123456789", 9);
  crc += Yandorix.CRC32((char*)"file.bin");
  Yandorix.RandSeed(crc);
  unsigned int number = Yandorix.Rand();
  double real = Yandorix.RandReal();
  char* version = Yandorix.GetVersion();
  char* copyright = Yandorix.GetCopyright();
  result += Yandorix.RequireVersion(5, 22);
  Yandorix.PrintVersion();
  char* keyName = Yandorix.GetKeyName(97);
  result += Yandorix.GetKeyPressed(200);
  Yandorix.VideoInfo();
  Yandorix.AudioInfo();
  Yandorix.SurfaceInfo(screen);
  SDL_Surface* spare = SDL_CreateRGBSurface(0, 4, 4, 32, 0, 0, 0, 0);
  result += Yandorix.IsTexture(spare);
  result += Yandorix.Surface2Texture(spare);
  result += Yandorix.SurfaceAutomaticConversion(1);
  SDL_Rect area = {0, 0, 4, 4};
  result += Yandorix.Blit(spare, &area, screen, &area);
  result += Yandorix.FreeSurface(spare);
  result += Yandorix.MakeDirectory((char*)"saves/slot1/game.sav");
  char cpu[64];
  result += Yandorix.GetCPUName(cpu);

  // XML documents.
  int xml = Yandorix.XMLOpen((char*)"level.xml");
  xml += Yandorix.XMLOpen(1, (char*)"level.xml");
  xml += Yandorix.XMLOpen((char*)"data.dpf", (char*)"level.xml");
  int created = Yandorix.XMLCreate((char*)"setup");
  result += Yandorix.XMLSave(created, (char*)"setup.xml");
  result += Yandorix.XMLSave(created, 1, (char*)"setup.xml");
  result += Yandorix.XMLSave(created, (char*)"data.dpf", (char*)"setup.xml");
  result += Yandorix.XMLNodeFirst(created) + Yandorix.XMLNodeNext(created) + Yandorix.XMLNodePrev(created);
  result += Yandorix.XMLNodeParent(created) + Yandorix.XMLNodeChild(created);
  result += Yandorix.XMLNodeStore(created) + Yandorix.XMLNodeRestore(created);
  result += Yandorix.XMLNodePointTo(created, 2, (char*)"setup", (char*)"video");
  result += Yandorix.XMLNodeCreate(created, (char*)"video");
  result += Yandorix.XMLNodeRename(created, (char*)"audio");
  char* nodeName = Yandorix.XMLNodeGetName(created);
  result += Yandorix.XMLAttributeSet(created, (char*)"driver", (char*)"x11");
  result += Yandorix.XMLAttributeSet(created, (char*)"width", 640);
  result += Yandorix.XMLAttributeSet(created, (char*)"ratio", 0.5);
  char* text = NULL;
  int whole = 0;
  double decimal = 0.0;
  result += Yandorix.XMLAttributeGet(created, (char*)"driver", &text);
  result += Yandorix.XMLAttributeGet(created, (char*)"width", &whole);
  result += Yandorix.XMLAttributeGet(created, (char*)"ratio", &decimal);
  result += Yandorix.XMLAttributeRemove(created, (char*)"ratio");
  result += Yandorix.XMLTextSet(created, (char*)"text");
  char* inner = Yandorix.XMLTextGet(created);
  result += Yandorix.XMLTextRemove(created);
  result += Yandorix.XMLCommentSet(created, (char*)"comment");
  char* comment = Yandorix.XMLCommentGet(created);
  result += Yandorix.XMLCommentRemove(created);
  result += Yandorix.XMLNodeRemove(created);
  Yandorix.XMLClose(created);
  Yandorix.XMLClose(xml);

  // Time system.
  ITimeSystem->Init(0);
  ITimeSystem->SetRate(60, 20);
  result += ITimeSystem->GetDesiredRFR() + ITimeSystem->GetDesiredLFR();
  float rates = ITimeSystem->GetRFR() + ITimeSystem->GetLFR() + ITimeSystem->GetSeconds();
  result += ITimeSystem->GetCurrentRFR() + ITimeSystem->GetCurrentLFR();
  result += ITimeSystem->GetRenderedFrames() + ITimeSystem->GetLogicFrames();
  result += ITimeSystem->GetTime() + ITimeSystem->GetTimeNow();
  ITimeSystem->Update();
  ITimeSystem->IncRF();
  ITimeSystem->IncLF();
  ITimeSystem->Info();

  // Processor functions and the block copy.
  char vendor[13];
  result += CPU_haveCPUID() + CPU_getCPUIDFamily() + CPU_GetString(vendor) + SelectCPUCore(14);
  Yandorix_memcpy(cpu, vendor, sizeof vendor);

  // The service pointers Init publishes.
  void* services[] = {IStuffDPF, IImage, ICursor, IPrimitives, IButton, IScreenFX, ITimeSystem, INetwork, IVideo,
                      ISoundFX};
  ILogSystem.Msg(0, "%d %u %f %f %s %s %s %s %s %s %s %d %f %p\n", result, number, real, (double)logicTime, version,
                 copyright, keyName, nodeName, text, inner, comment, whole, decimal + rates, services[0]);
  Yandorix.Quit();
}

TEST(Interface, Core) { SUCCEED(); }
