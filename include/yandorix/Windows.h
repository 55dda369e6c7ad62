// The library's text windows: the in-game console and the debug watch window.
#ifndef YANDORIX_WINDOWS_H
#define YANDORIX_WINDOWS_H

#include <SDL.h>
#include <stdarg.h>

// Stand-ins until the text windows are built: they can be enabled on a screen, shown, hidden and moved,
// and draw nothing.
class cSimpleWin {
 public:
  cSimpleWin();
  virtual int Update();
  virtual void Enable();
  virtual void Render();
  virtual void Layout();
  char isEnabled();
  void Disable();
  signed char isVisible();
  void SetVisible(signed char v);
  int Features(int v);
  SDL_Rect* GetRect();
  void Move(short x, short y);

 protected:
  SDL_Rect rect;
  char enabled;
  signed char visible;
  unsigned int features;
};

class cConsole final : public cSimpleWin {
 public:
  cConsole();
  void ConsolePrint(const char* format, va_list args);
};

class cDebugWO final : public cSimpleWin {
 public:
  explicit cDebugWO(cConsole* console);
};

#endif
