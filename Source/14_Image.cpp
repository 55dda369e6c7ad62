// Images. (Stand-in until the component is built: it exists, logs its creation and does nothing else.)
#include "01_Main.h"

struct sImagePrivate {
  int unused;
};

Yandorix_IImage::Yandorix_IImage() {
  p = new sImagePrivate();
  ILogSystem.Msg(5, " . [IImage] Interfaz created.\n");
}

Yandorix_IImage::~Yandorix_IImage() {
  delete p;
  ILogSystem.Msg(5, " . [IImage] Interfaz deleted.\n");
}

