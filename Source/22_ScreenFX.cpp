// Screen effects. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sScreenFXPrivate {
  int unused;
};

Yandorix_IScreenFX::Yandorix_IScreenFX() {
  p = new sScreenFXPrivate();
  ILogSystem.Msg(5, " . [IScreenFX] Interfaz created.\n");
}

Yandorix_IScreenFX::~Yandorix_IScreenFX() {
  delete p;
  ILogSystem.Msg(5, " . [IScreenFX] Interfaz deleted.\n");
}

