// Network. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sNetworkPrivate {
  int unused;
};

Yandorix_INetwork::Yandorix_INetwork() {
  p = new sNetworkPrivate();
  ILogSystem.Msg(5, " . [INetwork] Interfaz created.\n");
}

Yandorix_INetwork::~Yandorix_INetwork() {
  delete p;
  ILogSystem.Msg(5, " . [INetwork] Interfaz deleted.\n");
}

