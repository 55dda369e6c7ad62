// The software mouse cursor.
#ifndef YANDORIX_CURSOR_H
#define YANDORIX_CURSOR_H

#include <SDL.h>

class Yandorix_ICursor {
 public:
  Yandorix_ICursor();
  ~Yandorix_ICursor();
  // Stand-in until the software cursor is built: only what the frame driver and the blit rule call.
  void SaveCoordinates(int x, int y);
  void Update();
  int RestoreBG(SDL_Rect* area);
  void CopyBG();
 private:
  Yandorix_ICursor(const Yandorix_ICursor&) = delete;
  Yandorix_ICursor& operator=(const Yandorix_ICursor&) = delete;
  struct sCursorPrivate* p;
};

extern Yandorix_ICursor* ICursor;

#endif
