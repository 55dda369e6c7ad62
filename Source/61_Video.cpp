// MPEG playback. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sVideoPrivate {
  int unused;
};

Yandorix_IVideo::Yandorix_IVideo() {
  p = new sVideoPrivate();
  ILogSystem.Msg(5, " . [IVideo] Interfaz created.\n");
}

Yandorix_IVideo::~Yandorix_IVideo() {
  delete p;
  ILogSystem.Msg(5, " . [IVideo] Interfaz deleted.\n");
}

