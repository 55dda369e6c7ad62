// Sound effects and music. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sSoundFXPrivate {
  int unused;
};

Yandorix_ISoundFX::Yandorix_ISoundFX() {
  p = new sSoundFXPrivate();
  ILogSystem.Msg(5, " . [ISoundFX] Interfaz created.\n");
}

Yandorix_ISoundFX::~Yandorix_ISoundFX() {
  delete p;
  ILogSystem.Msg(5, " . [ISoundFX] Interfaz deleted.\n");
}

void Yandorix_ISoundFX::NoInit() {}
int Yandorix_ISoundFX::IsInit() { return 0; }
