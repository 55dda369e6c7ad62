// Text windows. (Stand-ins until the windows are built: hidden until shown, drawing nothing. They can be
// enabled on a screen and moved, so the frame driver's toggle key and drag work on them.)
#include "01_Main.h"

cSimpleWin::cSimpleWin() : rect{0, 0, 150, 100}, enabled(0), visible(0), features(0) {}
int cSimpleWin::Update() { return enabled && visible ? 1 : 0; }
void cSimpleWin::Enable() {
  if (Yandorix.screen && rect.w >= 150 && rect.h >= 100) enabled = 1;
}
void cSimpleWin::Render() {}
void cSimpleWin::Layout() {}
char cSimpleWin::isEnabled() { return enabled; }
void cSimpleWin::Disable() { enabled = 0; }
signed char cSimpleWin::isVisible() { return visible; }
void cSimpleWin::SetVisible(signed char v) {
  if (!enabled) return;
  visible = v > 0 ? 1 : 0;
  Yandorix.RenderNeeded(1);
}
int cSimpleWin::Features(int v) {
  if (v != -1) features ^= (unsigned int)v;
  return (int)features;
}
SDL_Rect* cSimpleWin::GetRect() { return &rect; }
// Negative coordinates keep the current ones; the window stays on the screen.
void cSimpleWin::Move(short x, short y) {
  if (!enabled || !Yandorix.screen) return;
  if (x >= 0) rect.x = x;
  if (y >= 0) rect.y = y;
  int maxX = Yandorix.screen->w - rect.w, maxY = Yandorix.screen->h - rect.h;
  if (rect.x > maxX) rect.x = (Sint16)maxX;
  if (rect.y > maxY) rect.y = (Sint16)maxY;
  Layout();
  Yandorix.RenderNeeded(1);
}

cConsole::cConsole() {}
void cConsole::ConsolePrint(const char*, va_list) {}

cDebugWO::cDebugWO(cConsole*) {}
