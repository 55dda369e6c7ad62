// Sound effects and music.
#ifndef YANDORIX_SOUNDFX_H
#define YANDORIX_SOUNDFX_H

#include <SDL.h>

class Yandorix_ISoundFX {
 public:
  Yandorix_ISoundFX();
  ~Yandorix_ISoundFX();
  // Stand-in until sound is built: the audio device stays closed.
  void NoInit();
  int IsInit();
 private:
  Yandorix_ISoundFX(const Yandorix_ISoundFX&) = delete;
  Yandorix_ISoundFX& operator=(const Yandorix_ISoundFX&) = delete;
  struct sSoundFXPrivate* p;
};

extern Yandorix_ISoundFX* ISoundFX;

#endif
