// A full console drawn by its Render (a screen-wide window holding 30 lines of text and the input line)
// against the same work done with raw SDL blits: the background blit and one SDL_UpperBlit per glyph
// rectangle the console itself drew, captured once through the blit seam.
#include "Ratio.h"
#include <Yandorix.h>
#include "01_Main.h"
#include "25_BlitRule.h"
#include <string>
#include <vector>

namespace {

const int kLines = 30;

struct Blit {
  SDL_Surface* src;
  SDL_Rect from, to;
};
std::vector<Blit>* captured = NULL;

int Capture(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (captured) captured->push_back({src, *srcrect, *dstrect});
  return SDL_UpperBlit(src, srcrect, dst, dstrect);
}

// The library on a 640 x 480 screen with a console 640 pixels wide showing exactly 30 full lines.
cConsole* FullConsole() {
  static cConsole* console = NULL;
  if (console) return console;
  Yandorix.Init(SDL_INIT_VIDEO);
  Yandorix.window = 1;
  Yandorix.colordepth = 32;
  Yandorix.resolutionx = 640;
  Yandorix.resolutiony = 480;
  Yandorix.SetVideoMode();
  Yandorix.ConEnable();
  Yandorix.ConFeatures(4);
  Yandorix.ConSetVisible(1);
  int height = Yandorix.ConGetFont()->StringHeight();
  Yandorix.ConResize(640, (short)(height * (kLines + 1) + 5));   // a window of h pixels shows h / H - 1 lines
  for (int i = 0; i < kLines; ++i)
    Yandorix.ConPrint((char*)"%02d The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN JUGS, 0123", i);
  console = MainPrivate()->console;
  return console;
}

void ConsoleRender(benchmark::State& state) {
  cConsole* console = FullConsole();
  for (auto _ : state) console->Render();
}

void RawGlyphBlits(benchmark::State& state) {
  cConsole* console = FullConsole();
  std::vector<Blit> blits;
  captured = &blits;
  Yandorix_SetBlitSeam(Capture);
  console->Render();
  Yandorix_SetBlitSeam(NULL);
  captured = NULL;
  if (blits.size() < (size_t)kLines * 60) state.SkipWithError("the console drew fewer glyphs than expected");
  SDL_Surface* background = Yandorix.ConGetBgImage();
  SDL_Rect area = *Yandorix.ConGetRect();
  for (auto _ : state) {
    SDL_Rect at = area;
    SDL_UpperBlit(background, NULL, Yandorix.screen, &at);
    for (Blit& b : blits) {
      SDL_Rect from = b.from, to = b.to;
      SDL_UpperBlit(b.src, &from, Yandorix.screen, &to);
    }
  }
  state.counters["glyphs"] = (double)blits.size();
}

}  // namespace

BENCHMARK(ConsoleRender);
BENCHMARK(RawGlyphBlits);

static int registered = (ydxbench::Ratio("ConsoleRender", "RawGlyphBlits"), 0);

YDX_BENCH_MAIN()
