// Frame driver. (Stand-in until the component is complete.)
#include "01_Main.h"

int Yandorix_Main::Update(SDL_Event*) { return 0; }
void Yandorix_Main::CleanUp() {}
void Yandorix_Main::SetRenderCallback(void (*callback)(int)) { p->rendercallback = callback; }
float Yandorix_Main::GetLogicTime() { return p->logicaccum; }
int Yandorix_Main::GetKeystate(int) { return 0; }
int Yandorix_Main::IsRenderNeeded() { return p->renderneeded != 0; }
void Yandorix_Main::RenderNeeded(int) {}
