// What the two example programs share: start-up (log, library, 640x400 window, 60 render and 20 logic
// frames per second, the engine drawing into the screen), the main loop and the shutdown.
#include "ExampleApp.h"
#include <cstdlib>
#include <vector>

cQBTE_TileEngine* engine = NULL;

namespace {

bool quitRequested = false;
// What Update hands back when it polled no event; its code is 1 when it drew a frame.
const Uint8 kFrameEvent = SDL_USEREVENT + 6;
// Lines a test follows the program by. The log leaves them out unless YDX_EXAMPLE_LOG_LEVEL raises its
// level: a test waits for what the program did instead of guessing how long it takes.
const char kReportLevel = 5;

void RenderFrame(int) { engine->RenderLayers(-1); }

// Keys typed while the console is open (shown or fading in) are the console's, not the program's.
bool ConsoleTakesKeys() {
  int console = Yandorix.ConisVisible();
  return console == 1 || console == 33;
}

char LogLevel() {
  const char* level = getenv("YDX_EXAMPLE_LOG_LEVEL");
  return (char)(level && *level ? atoi(level) : 2);
}

// The state a test waits for, reported when it changes: the mouse and the layer positions at each logic
// frame, the console with the frame that shows it.
class Reported {
 public:
  explicit Reported(int layers) : positions((size_t)layers) {
    for (size_t id = 0; id < positions.size(); ++id) LayerMoved(id);
  }

  void LogicFrame() {
    if (Yandorix.mousex != mouseX || Yandorix.mousey != mouseY) {
      mouseX = Yandorix.mousex;
      mouseY = Yandorix.mousey;
      ILogSystem->Msg(kReportLevel, " [Example] Info: mouse at (%d,%d).\n", mouseX, mouseY);
    }
    for (size_t id = 0; id < positions.size(); ++id)
      if (LayerMoved(id))
        ILogSystem->Msg(kReportLevel, " [Example] Info: layer %d at (%.2f,%.2f).\n", (int)id, positions[id].first,
                        positions[id].second);
  }

  void FrameDrawn() {
    if (Yandorix.ConisVisible() != console) {
      console = Yandorix.ConisVisible();
      ILogSystem->Msg(kReportLevel, " [Example] Info: console %d.\n", console);
    }
    ILogSystem->Msg(kReportLevel, " [Example] Info: frame drawn.\n");
  }

 private:
  bool LayerMoved(size_t id) {
    std::pair<float, float> now(0.0f, 0.0f);
    engine->GetLayerPosition((int)id, &now.first, &now.second);
    bool moved = now != positions[id];
    positions[id] = now;
    return moved;
  }

  int mouseX = -1, mouseY = -1, console = 0;
  std::vector<std::pair<float, float>> positions;
};

}  // namespace

int StartExample(const ExampleProgram& program) {
  ILogSystem->Init(program.logFile, 2, LogLevel(), program.title, NULL, NULL, NULL);
  if (Yandorix.Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) {
    ILogSystem->Msg(2, " [LOG] - Couldn't initialize Yandorix: %s\n", SDL_GetError());
    return 0;
  }
  Yandorix.title = const_cast<char*>(program.title);   // the caption is only read
  Yandorix.resolutionx = 640;
  Yandorix.resolutiony = 400;
  Yandorix.mtfriendly = 1;
  if (!Yandorix.SetVideoMode()) {
    Yandorix.Quit();
    return 0;
  }
  // The console opens with the backquote key; the engine repaints the whole screen every frame, so
  // the overlay windows are drawn every frame too.
  Yandorix.ConEnable();
  Yandorix.RenderNeeded(2);
  ITimeSystem->Init(0);
  ITimeSystem->SetRate(60, 20);
  Yandorix.SetRenderCallback(RenderFrame);
  engine = new cQBTE_TileEngine;
  engine->InitEngine(program.layers, "");
  engine->SetRenderTarget(Yandorix.screen);
  return 1;
}

void RunExample(const ExampleProgram& program) {
  SDL_Event event;
  Reported reported(program.layers);
  while (!quitRequested) {
    engine->UpdateLayers(-1);
    while (Yandorix.Update(&event)) {
      if (event.type == SDL_QUIT) {
        quitRequested = true;
      } else if (event.type == SDL_KEYDOWN && !ConsoleTakesKeys()) {
        if (event.key.keysym.sym == SDLK_ESCAPE)
          quitRequested = true;
        else
          program.onKeyDown(event.key.keysym.sym);
      } else if (event.type == kFrameEvent && event.user.code == 1) {
        reported.FrameDrawn();
      }
    }
    reported.LogicFrame();
    if (!ConsoleTakesKeys()) program.onLogicFrame();
  }
}

int EndExample() {
  engine->InfoPrint(-1);
  engine->CloseEngine();
  delete engine;
  engine = NULL;
  ITimeSystem->Info();
  Yandorix.VideoInfo();
  Yandorix.Quit();
  return 0;
}

int Toggle(int* toggle) {
  *toggle = -*toggle;
  return (Sint8)*toggle;
}

bool KeyHeld(int key) {
  if (!Yandorix.GetKeystate(key)) return false;
  ILogSystem->Msg(kReportLevel, " [Example] Info: key %d held.\n", key);
  return true;
}

void ReportMouseCell(int layer) {
  int column = -1, row = -1, x = -1, y = -1;
  engine->Screen2LayerCell(layer, Yandorix.mousex, Yandorix.mousey, &column, &row);
  engine->Screen2LayerAbsolute(layer, Yandorix.mousex, Yandorix.mousey, &x, &y);
  ILogSystem->Msg(2, " [Screen2LayerCell(%d) => (%d,%d)\n", layer, column, row);
  ILogSystem->Msg(2, " [Screen2LayerAbsolute(%d) => (%d,%d)\n", layer, x, y);
}
