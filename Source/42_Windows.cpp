// Text windows. (Stand-ins until the windows are built: disabled, hidden, drawing nothing.)
#include "01_Main.h"

cSimpleWin::cSimpleWin() : rect{0, 0, 150, 100}, enabled(0), visible(0), features(0) {}
int cSimpleWin::Update() { return enabled && visible ? 1 : 0; }
void cSimpleWin::Enable() {}
void cSimpleWin::Render() {}
void cSimpleWin::Layout() {}
char cSimpleWin::isEnabled() { return enabled; }
void cSimpleWin::Disable() { enabled = 0; }
signed char cSimpleWin::isVisible() { return visible; }
void cSimpleWin::SetVisible(signed char v) {
  if (enabled) visible = v ? 1 : 0;
}
int cSimpleWin::Features(int v) {
  if (v != -1) features ^= (unsigned int)v;
  return (int)features;
}
SDL_Rect* cSimpleWin::GetRect() { return &rect; }
void cSimpleWin::Move(short x, short y) {
  if (!enabled) return;
  if (x >= 0) rect.x = x;
  if (y >= 0) rect.y = y;
}

cConsole::cConsole() {}
void cConsole::ConsolePrint(const char*, va_list) {}

cDebugWO::cDebugWO(cConsole*) {}
