// Drawing primitives. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sPrimitivesPrivate {
  int unused;
};

Yandorix_IPrimitives::Yandorix_IPrimitives() {
  p = new sPrimitivesPrivate();
  ILogSystem.Msg(5, " . [IPrimitives] Interfaz created.\n");
}

Yandorix_IPrimitives::~Yandorix_IPrimitives() {
  delete p;
  ILogSystem.Msg(5, " . [IPrimitives] Interfaz deleted.\n");
}

