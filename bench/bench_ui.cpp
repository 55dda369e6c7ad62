// Buttons and the software cursor against raw SDL blits in the same run: 256 buttons (a master and its
// clones over all eight layers) drawn per frame against one blit of their tile each, and a cursor update
// with auto restore while the mouse moves every frame against two raw blits of its size.
#include "Ratio.h"
#include <Yandorix.h>
#include <string>
#include <vector>

namespace {

const int kButtonW = 40, kButtonH = 30;   // 16 x 16 buttons fill a 640 x 480 screen
const int kCursor = 32;

bool Start() {
  static bool started = false, ready = false;
  if (started) return ready;
  started = true;
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  Yandorix.Init(SDL_INIT_VIDEO);
  Yandorix.colordepth = 32;
  Yandorix.resolutionx = 640;
  Yandorix.resolutiony = 480;
  ready = Yandorix.SetVideoMode() == 1;
  if (ready) ICursor->Init();
  return ready;
}

SDL_Surface* Picture(int w, int h) {
  SDL_Surface* s = SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  Uint32* pixels = static_cast<Uint32*>(s->pixels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixels[y * (s->pitch / 4) + x] = (Uint32)((x * 9) << 16 | (y * 5) << 8 | (x ^ y));
  return s;
}

// A master button of three tiles and 256 clones placed in a grid; returns the master's normal surface.
SDL_Surface* MakeButtons(std::vector<SDL_Rect>* places) {
  static SDL_Surface* normal = NULL;
  static std::vector<SDL_Rect> made;
  if (!normal) {
    int handle = IStuffDPF->Create("bench_ui.dpf");
    SDL_Surface* image = Picture(kButtonW, kButtonH);
    for (const char* suffix : {"_n", "_p", "_o"}) {
      Yandorix_CTile tile;
      tile.Create(image, (std::string("b") + suffix).c_str());
      tile.Save(handle, "TILB2");
    }
    SDL_FreeSurface(image);
    IButtonNew desc = IButtonNew();
    desc.type = 1;
    int master = IButton->Create(&desc, "b", 1, handle);
    IStuffDPF->Close(handle);
    for (int layer = 0; layer < 8; ++layer) {
      IButton->SetLayer((char)layer);
      for (int slot = 0; slot < 32; ++slot) {
        int i = layer * 32 + slot;
        int id = IButton->Clone(master);
        SDL_Rect at = {(Sint16)(i % 16 * kButtonW), (Sint16)(i / 16 * kButtonH), 0, 0};
        IButton->SetPosition(id, at.x, at.y);
        made.push_back(at);
      }
    }
    for (int layer = 0; layer < 8; ++layer) IButton->SetLayerVisibility((char)layer, 1);
    normal = IButton->GetSurface(1, 1);
  }
  *places = made;
  return normal;
}

void ButtonDraws(benchmark::State& state) {
  if (!Start()) return state.SkipWithError("no screen");
  std::vector<SDL_Rect> places;
  MakeButtons(&places);
  ICursor->Hide();
  for (auto _ : state) {
    Yandorix.RenderNeeded(1);
    benchmark::DoNotOptimize(IButton->Draw());
  }
}

void ButtonTileBlits(benchmark::State& state) {
  if (!Start()) return state.SkipWithError("no screen");
  std::vector<SDL_Rect> places;
  SDL_Surface* normal = MakeButtons(&places);
  for (auto _ : state)
    for (const SDL_Rect& place : places) {
      SDL_Rect at = place;
      SDL_BlitSurface(normal, NULL, Yandorix.screen, &at);
    }
}

// The cursor alternates between two places, so every update puts the area back, keeps the new one
// and draws the image.
void CursorUpdates(benchmark::State& state) {
  if (!Start()) return state.SkipWithError("no screen");
  static int slot = -1;
  if (slot < 0) {
    SDL_Surface* image = Picture(kCursor, kCursor);
    image->format->colorkey = (Uint32)-1;   // pixel (0, 0) becomes the key
    slot = ICursor->Create(image, 0);
    SDL_FreeSurface(image);
  }
  ICursor->SetSmooth(0);
  ICursor->Select((char)slot);
  ICursor->Show();
  int step = 0;
  for (auto _ : state) {
    Yandorix.mousex = 100 + (step & 1) * 7;
    Yandorix.mousey = 100 + (step & 1) * 5;
    ++step;
    ICursor->Update();
  }
  ICursor->Hide();
}

void TwoCursorSizedBlits(benchmark::State& state) {
  if (!Start()) return state.SkipWithError("no screen");
  SDL_Surface* image = Picture(kCursor, kCursor);
  SDL_SetColorKey(image, SDL_SRCCOLORKEY, 0);
  SDL_Surface* kept = SDL_DisplayFormat(image);
  SDL_SetColorKey(kept, 0, 0);
  int step = 0;
  for (auto _ : state) {
    SDL_Rect back = {(Sint16)(100 + (step & 1) * 7), (Sint16)(100 + (step & 1) * 5), 0, 0};
    SDL_Rect draw = {(Sint16)(100 + (~step & 1) * 7), (Sint16)(100 + (~step & 1) * 5), 0, 0};
    ++step;
    SDL_BlitSurface(kept, NULL, Yandorix.screen, &back);
    SDL_BlitSurface(image, NULL, Yandorix.screen, &draw);
  }
  SDL_FreeSurface(kept);
  SDL_FreeSurface(image);
}

int Register() {
  benchmark::RegisterBenchmark("sdl/Blit256ButtonTiles", ButtonTileBlits);
  benchmark::RegisterBenchmark("button/Draw256", ButtonDraws);
  ydxbench::Ratio("button/Draw256", "sdl/Blit256ButtonTiles");
  benchmark::RegisterBenchmark("sdl/TwoBlits32", TwoCursorSizedBlits);
  benchmark::RegisterBenchmark("cursor/UpdateMoving32", CursorUpdates);
  ydxbench::Ratio("cursor/UpdateMoving32", "sdl/TwoBlits32");
  return 0;
}

const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
