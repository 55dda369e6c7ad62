// DPF archives. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sStuffDPFPrivate {
  int unused;
};

Yandorix_IStuffDPF::Yandorix_IStuffDPF() {
  p = new sStuffDPFPrivate();
  ILogSystem.Msg(5, " . [IStuffDPF] Interfaz created.\n");
}

Yandorix_IStuffDPF::~Yandorix_IStuffDPF() {
  delete p;
  ILogSystem.Msg(5, " . [IStuffDPF] Interfaz deleted.\n");
}

