// Video mode. (Stand-in until the component is complete.)
#include "01_Main.h"

int Yandorix_Main::SetVideoMode() {
  screen = SDL_SetVideoMode(resolutionx, resolutiony, colordepth, 0);
  return screen ? 1 : 0;
}
int Yandorix_Main::IsGL() { return p->isgl; }
