// Fuzzes console command lines: each input is one line run through ConCmd on an enabled console with
// a shown debug window and an application command. Save commands are defused (the fuzzer must not
// write files it names). Afterwards both windows must still lie on the screen with a valid alpha and a
// font, and draw.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include <string>

using ydxfuzz::Require;

namespace {

int Echo(std::vector<std::string>* words) {
  for (size_t i = 1; i < words->size(); ++i) Yandorix.ConPrint((char*)"%s", (*words)[i].c_str());
  return 1;
}

bool OnScreen(const SDL_Rect* r) {
  return r && r->x >= 0 && r->y >= 0 && r->w >= 1 && r->h >= 1 && r->x + r->w <= Yandorix.screen->w &&
         r->y + r->h <= Yandorix.screen->h;
}

int watched = 3;
double real = 0.5;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary();
  atexit([] { Yandorix.Quit(); });   // the windows go with the library, before its objects are destroyed
  Yandorix.window = 1;
  Yandorix.colordepth = 32;
  Yandorix.resolutionx = 640;
  Yandorix.resolutiony = 400;
  Yandorix.SetVideoMode();
  Yandorix.ConEnable();
  Yandorix.ConAddCmdHandler((char*)"echo", (char*)"Prints its words", Echo);
  Yandorix.DwAddWatch((char*)"w", &watched, &real);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!Yandorix.ConisEnabled() || size > (1u << 16)) return 0;
  std::string line(reinterpret_cast<const char*>(data), size);
  for (size_t at = line.find("save"); at != std::string::npos; at = line.find("save", at)) line[at + 3] = '_';
  Yandorix.ConCmd((char*)"debug enable 1");
  Yandorix.ConCmd((char*)line.c_str());
  Require(OnScreen(Yandorix.ConGetRect()), "the console left the screen");
  Require(OnScreen(Yandorix.DwGetRect()), "the debug window left the screen");
  Require(Yandorix.ConGetAlpha() >= 64 && Yandorix.DwGetAlpha() >= 64, "an alpha below 64");
  Require(Yandorix.ConGetFont() && Yandorix.ConGetFont()->StringHeight() > 0, "the console lost its font");
  Yandorix.ConCmd((char*)"con features 4");   // shown at once
  Yandorix.ConSetVisible(1);
  Yandorix.RenderNeeded(1);
  Yandorix.Update(NULL);
  Yandorix.ConMove(0, 0);
  Yandorix.ConCmd((char*)"con clear");
  return 0;
}
