// Layered GUI buttons.
#ifndef YANDORIX_BUTTON_H
#define YANDORIX_BUTTON_H

#include <SDL.h>

class Yandorix_IButton {
 public:
  Yandorix_IButton();
  ~Yandorix_IButton();
  // Stand-in until the GUI buttons are built: only what the frame driver calls.
  void Update();
 private:
  Yandorix_IButton(const Yandorix_IButton&) = delete;
  Yandorix_IButton& operator=(const Yandorix_IButton&) = delete;
  struct sButtonPrivate* p;
};

extern Yandorix_IButton* IButton;

#endif
