// The software mouse cursor. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sCursorPrivate {
  int unused;
};

Yandorix_ICursor::Yandorix_ICursor() {
  p = new sCursorPrivate();
  ILogSystem.Msg(5, " . [ICursor] Interfaz created.\n");
}

Yandorix_ICursor::~Yandorix_ICursor() {
  delete p;
  ILogSystem.Msg(5, " . [ICursor] Interfaz deleted.\n");
}

void Yandorix_ICursor::SaveCoordinates(int, int) {}
void Yandorix_ICursor::Update() {}
int Yandorix_ICursor::RestoreBG(SDL_Rect*) { return 0; }
void Yandorix_ICursor::CopyBG() {}
