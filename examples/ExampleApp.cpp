// What the two example programs share: start-up (log, library, 640x400 window, 60 render and 20 logic
// frames per second, the engine drawing into the screen), the main loop and the shutdown.
#include "ExampleApp.h"

cQBTE_TileEngine* engine = NULL;

namespace {

bool quitRequested = false;

void RenderFrame(int) { engine->RenderLayers(-1); }

}  // namespace

int StartExample(const ExampleProgram& program) {
  ILogSystem->Init(program.logFile, 2, 2, program.title, NULL, NULL, NULL);
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
  while (!quitRequested) {
    engine->UpdateLayers(-1);
    while (Yandorix.Update(&event)) {
      if (event.type == SDL_QUIT) {
        quitRequested = true;
      } else if (event.type == SDL_KEYDOWN) {
        if (event.key.keysym.sym == SDLK_ESCAPE)
          quitRequested = true;
        else
          program.onKeyDown(event.key.keysym.sym);
      }
    }
    program.onLogicFrame();
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

void ReportMouseCell(int layer) {
  int column = -1, row = -1, x = -1, y = -1;
  engine->Screen2LayerCell(layer, Yandorix.mousex, Yandorix.mousey, &column, &row);
  engine->Screen2LayerAbsolute(layer, Yandorix.mousex, Yandorix.mousey, &x, &y);
  ILogSystem->Msg(2, " [Screen2LayerCell(%d) => (%d,%d)\n", layer, column, row);
  ILogSystem->Msg(2, " [Screen2LayerAbsolute(%d) => (%d,%d)\n", layer, x, y);
}
