// Sprite drawing against SDL in the same run: 500 colour-keyed, animating sprites (a master and its
// clones) drawn per frame, against raw SDL_BlitSurface of the same frames of the same sheet at the same
// places. The sprites redraw a whole scene, so their auto restore is off.
#include "Ratio.h"
#include <Yandorix.h>
#include <vector>

namespace {

const int kSprites = 500, kColumns = 8, kRows = 4, kFrame = 32;

struct Scene {
  SDL_Surface* sheet;   // the master's own (screen-format) sheet, blitted raw by the baseline
  std::vector<Yandorix_CSprite*> sprites;
  std::vector<SDL_Rect> places;
};

// A keyed sheet: each frame a disc of its own colour on the key colour.
SDL_Surface* MakeSheet() {
  SDL_Surface* s = SDL_CreateRGBSurface(0, kColumns * kFrame, kRows * kFrame, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  Uint32 key = SDL_MapRGB(s->format, 255, 0, 255);
  SDL_FillRect(s, NULL, key);
  for (int row = 0; row < kRows; ++row)
    for (int column = 0; column < kColumns; ++column)
      for (int y = 0; y < kFrame; ++y)
        for (int x = 0; x < kFrame; ++x) {
          int dx = x - kFrame / 2, dy = y - kFrame / 2, radius = 6 + column;
          if (dx * dx + dy * dy > radius * radius) continue;
          SDL_Rect dot = {(Sint16)(column * kFrame + x), (Sint16)(row * kFrame + y), 1, 1};
          SDL_FillRect(s, &dot, SDL_MapRGB(s->format, 30 * column, 60 * row, 200));
        }
  SDL_SetColorKey(s, SDL_SRCCOLORKEY, key);
  return s;
}

Scene& TheScene() {
  static Scene* scene = [] {
    Scene* s = new Scene();
    Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER);
    Yandorix.colordepth = 32;
    Yandorix.resolutionx = 640;
    Yandorix.resolutiony = 480;
    Yandorix.SetVideoMode();
    SDL_Surface* source = MakeSheet();
    Uint32 seed = 2024;
    for (int i = 0; i < kSprites; ++i) {
      Yandorix_CSprite* sprite = new Yandorix_CSprite();
      if (i == 0) sprite->Create(source, "bench", kFrame, kFrame);
      else sprite->Clone(s->sprites[0]);
      sprite->AutoRestore(0);
      seed = seed * 1103515245u + 12345u;
      int x = (int)((seed >> 8) % 620) - 10, y = (int)((seed >> 4) % 460) - 10;
      sprite->SetPosition(x, y, 0);
      sprite->SelectAnim(0x8000 + i % kRows);
      sprite->SelectFrame(i % kColumns);
      s->sprites.push_back(sprite);
      s->places.push_back(SDL_Rect{(Sint16)x, (Sint16)y, kFrame, kFrame});
    }
    SDL_FreeSurface(source);
    s->sheet = s->sprites[0]->GetSurface();
    return s;
  }();
  return *scene;
}

void Ours_Draw500Sprites(benchmark::State& state) {
  Scene& scene = TheScene();
  for (auto _ : state)
    for (Yandorix_CSprite* sprite : scene.sprites) benchmark::DoNotOptimize(sprite->Draw());
}

void Base_Blit500Frames(benchmark::State& state) {
  Scene& scene = TheScene();
  int frame = 0;
  for (auto _ : state) {
    for (int i = 0; i < kSprites; ++i) {
      SDL_Rect source = {(Sint16)(((i + frame) % kColumns) * kFrame), (Sint16)((i % kRows) * kFrame), kFrame, kFrame};
      SDL_Rect place = scene.places[(size_t)i];
      benchmark::DoNotOptimize(SDL_BlitSurface(scene.sheet, &source, Yandorix.screen, &place));
    }
    frame++;
  }
}

BENCHMARK(Ours_Draw500Sprites);
BENCHMARK(Base_Blit500Frames);

const bool ratios = [] {
  ydxbench::Ratio("Ours_Draw500Sprites", "Base_Blit500Frames");
  return true;
}();

}  // namespace

YDX_BENCH_MAIN()
