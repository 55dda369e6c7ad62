// Screen effects: mirror, flip, noise, blur, gamma, animated effects, fades, resize and rotation.
#ifndef YANDORIX_SCREENFX_H
#define YANDORIX_SCREENFX_H

#include <SDL.h>

class Yandorix_IScreenFX {
 public:
  Yandorix_IScreenFX();
  ~Yandorix_IScreenFX();

 private:
  Yandorix_IScreenFX(const Yandorix_IScreenFX&) = delete;
  Yandorix_IScreenFX& operator=(const Yandorix_IScreenFX&) = delete;
  struct sScreenFXPrivate* p;
};

extern Yandorix_IScreenFX* IScreenFX;

#endif
