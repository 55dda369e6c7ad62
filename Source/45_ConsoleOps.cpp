// The main object's console and debug-window operations: each hands the call to its window when the
// window exists (from SetVideoMode on) and does nothing otherwise. Console output from other threads
// never touches the console object; it is queued for the console's own thread.
#include "01_Main.h"
#include "43_Console.h"
#include <cctype>

// The operations both windows share, once for each window.
#define YDX_WINDOW_OPERATIONS(Prefix, window)                                                          \
  void Yandorix_Main::Prefix##Title(const char* text) {                                                \
    if (p->window) p->window->SetTitle(text);                                                          \
  }                                                                                                    \
  void Yandorix_Main::Prefix##Enable() {                                                               \
    if (p->window) p->window->Enable();                                                                \
  }                                                                                                    \
  void Yandorix_Main::Prefix##Disable() {                                                              \
    if (p->window) p->window->Disable();                                                               \
  }                                                                                                    \
  int Yandorix_Main::Prefix##isEnabled() { return p->window ? p->window->isEnabled() : 0; }            \
  void Yandorix_Main::Prefix##SetVisible(signed char v) {                                              \
    if (p->window) p->window->SetVisible(v);                                                           \
  }                                                                                                    \
  int Yandorix_Main::Prefix##isVisible() { return p->window ? p->window->isVisible() : 0; }            \
  void Yandorix_Main::Prefix##SetFont(const char* file, const char* name) {                            \
    if (p->window) p->window->SetFont(file, name);                                                     \
  }                                                                                                    \
  void Yandorix_Main::Prefix##SetFont(int handle, const char* name) {                                  \
    if (p->window) p->window->SetFont(handle, name);                                                   \
  }                                                                                                    \
  Yandorix_CFont* Yandorix_Main::Prefix##GetFont() { return p->window ? p->window->GetFont() : NULL; } \
  void Yandorix_Main::Prefix##Resize(short w, short h) {                                               \
    if (p->window) p->window->Resize(w, h);                                                            \
  }                                                                                                    \
  void Yandorix_Main::Prefix##Move(short x, short y) {                                                 \
    if (p->window) p->window->Move(x, y);                                                              \
  }                                                                                                    \
  SDL_Rect* Yandorix_Main::Prefix##GetRect() { return p->window ? p->window->GetRect() : NULL; }       \
  void Yandorix_Main::Prefix##SetBgColor(unsigned char r, unsigned char g, unsigned char b) {          \
    if (p->window) p->window->SetBgColor(r, g, b);                                                     \
  }                                                                                                    \
  void Yandorix_Main::Prefix##SetBgColor(unsigned int pixel) {                                         \
    if (p->window) p->window->SetBgColor(pixel);                                                       \
  }                                                                                                    \
  unsigned int Yandorix_Main::Prefix##GetBgColor() { return p->window ? p->window->GetBgColor() : 0; } \
  void Yandorix_Main::Prefix##SetBgImage(const char* file, const char* name) {                         \
    if (p->window) p->window->SetBgImage(file, name);                                                  \
  }                                                                                                    \
  void Yandorix_Main::Prefix##SetBgImage(int handle, const char* name) {                               \
    if (p->window) p->window->SetBgImage(handle, name);                                                \
  }                                                                                                    \
  SDL_Surface* Yandorix_Main::Prefix##GetBgImage() { return p->window ? p->window->GetBgImage() : NULL; } \
  void Yandorix_Main::Prefix##SetAlpha(unsigned char a) {                                              \
    if (p->window) p->window->SetAlpha(a);                                                             \
  }                                                                                                    \
  unsigned char Yandorix_Main::Prefix##GetAlpha() { return p->window ? p->window->GetAlpha() : 0; }

YDX_WINDOW_OPERATIONS(Con, console)
YDX_WINDOW_OPERATIONS(Dw, debugwindow)
#undef YDX_WINDOW_OPERATIONS

void Yandorix_Main::ConPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ConvPrint(format, args);
  va_end(args);
}

void Yandorix_Main::ConvPrint(const char* format, va_list args) {
  if (!format) return;
  if (!ydxcon::OnConsoleThread()) {
    ydxcon::QueueLine(format, args);   // does nothing while no console exists
    return;
  }
  if (p->console) p->console->ConsolePrint(format, args);
}

void Yandorix_Main::ConNewCmdLine() {
  if (p->console) p->console->NewCmdLine();
}

// A command or watch a game believes registered but is not would only show as missing later: a refusal
// says why in the log. 1 added, 0 refused.
static int Registered(const char* operation, const char* name, const char* refusal) {
  if (refusal) ILogSystem.Msg(0, " . [Yandorix.%s('%s')] Error: %s.\n", operation, name ? name : "(null)", refusal);
  return refusal ? 0 : 1;
}

// Typed lines are split into words at white space, so only a name of one word can ever be typed.
static bool UsableCommandName(const char* name) {
  if (!*name) return false;
  for (const char* c = name; *c; ++c)
    if (isspace((unsigned char)*c)) return false;
  return true;
}

int Yandorix_Main::ConAddCmdHandler(const char* name, const char* help, int (*handler)(std::vector<std::string>*)) {
  const char* refusal = NULL;
  if (!p->console) refusal = "there is no console before SetVideoMode";
  else if (!name || !help || !handler) refusal = "a name, a help text and a handler are all needed";
  else if (!UsableCommandName(name)) refusal = "a command name is one word: not empty, without white space";
  else if (!p->console->ConsoleAddCommand(name, help, handler)) refusal = "a command of that name exists already";
  return Registered("ConAddCmdHandler", name, refusal);
}

void Yandorix_Main::ConCmd(const char* line) {
  if (line && p->console && p->console->isEnabled()) p->console->ConsoleExecute(line);
}

int Yandorix_Main::ConFeatures(int v) { return p->console ? p->console->Features(v) : 0; }

int Yandorix_Main::DwAddWatch(const char* name, int* ivalue, double* dvalue) {
  const char* refusal = NULL;
  if (!p->debugwindow) refusal = "there is no debug window before SetVideoMode";
  else if (!name || (!ivalue && !dvalue)) refusal = "a name and at least one variable are needed";
  else if (!p->debugwindow->DebugWinAddWatch(name, ivalue, dvalue)) refusal = "a watch of that name exists already";
  return Registered("DwAddWatch", name, refusal);
}

int Yandorix_Main::DwRemoveWatch(const char* name) {
  return p->debugwindow ? p->debugwindow->DebugWinRemoveWatch(name) : 0;
}
