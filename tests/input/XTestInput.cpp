// The X test extension behind XTestInput: the library's own window from SDL, its place on the screen,
// and fake events queued on a connection of the test's own.
#include "XTestInput.h"
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

void XTestInput::Close() {
  if (display) XCloseDisplay(display);
  display = nullptr;
}

bool XTestInput::Open() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return false;
  display = XOpenDisplay(NULL);
  int event, error, major, minor;
  if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) return false;
  window = info.info.x11.window;
  Window child;
  if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &originx, &originy, &child))
    return false;
  XSetInputFocus(display, info.info.x11.wmwindow, RevertToParent, CurrentTime);
  XSync(display, False);
  return true;
}

XTestInput& XTestInput::Move(int x, int y, unsigned after) {
  XTestFakeMotionEvent(display, DefaultScreen(display), originx + x, originy + y, after);
  return *this;
}

XTestInput& XTestInput::Button(int button, bool down, unsigned after) {
  XTestFakeButtonEvent(display, (unsigned)button, down, after);
  return *this;
}

XTestInput& XTestInput::Click(int x, int y, unsigned after, unsigned hold) {
  return Move(x, y, after).Button(1, true).Button(1, false, hold);
}

XTestInput& XTestInput::Key(const char* name, bool down, unsigned after) {
  KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name));
  XTestFakeKeyEvent(display, code, down, after);
  return *this;
}

XTestInput& XTestInput::Type(const std::string& text, unsigned gap) {
  for (char c : text) {
    std::string name = c == ' ' ? "space" : std::string(1, c);
    Key(name.c_str(), true, gap).Key(name.c_str(), false, 5);
  }
  return *this;
}

void XTestInput::Send() { XFlush(display); }
