// GUI buttons. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sButtonPrivate {
  int unused;
};

Yandorix_IButton::Yandorix_IButton() {
  p = new sButtonPrivate();
  ILogSystem.Msg(5, " . [IButton] Interfaz created.\n");
}

Yandorix_IButton::~Yandorix_IButton() {
  delete p;
  ILogSystem.Msg(5, " . [IButton] Interfaz deleted.\n");
}

void Yandorix_IButton::Update() {}
