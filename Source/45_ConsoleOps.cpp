// The main object's console and debug-window operations: each forwards to its window when it exists.
#include "01_Main.h"

void Yandorix_Main::ConSetVisible(signed char v) {
  if (p->console) p->console->SetVisible(v);
}
int Yandorix_Main::ConisVisible() { return p->console ? p->console->isVisible() : 0; }
int Yandorix_Main::ConFeatures(int v) { return p->console ? p->console->Features(v) : 0; }
void Yandorix_Main::ConPrint(const char* format, ...) {
  if (!p->console || !format) return;
  va_list args;
  va_start(args, format);
  p->console->ConsolePrint(format, args);
  va_end(args);
}
void Yandorix_Main::ConvPrint(const char* format, va_list args) {
  if (p->console && format) p->console->ConsolePrint(format, args);
}
int Yandorix_Main::DwisEnabled() { return p->debugwindow ? p->debugwindow->isEnabled() : 0; }
