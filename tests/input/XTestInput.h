// Mouse and keyboard input sent through the X test extension in one flush: the X server plays the
// events with the delays given between them while the game loop runs, so several land inside one
// logic frame, as a quick player's do. Positions are in the library's window.
#pragma once
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/extensions/XTest.h>
#include <string>

class XTestInput {
 public:
  ~XTestInput() { Close(); }
  // Connects to the display and focuses the library's window; false when either fails.
  bool Open() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    int unused;
    Window child;
    if (SDL_GetWMInfo(&info) != 1 || !(display = XOpenDisplay(NULL)) ||
        !XTestQueryExtension(display, &unused, &unused, &unused, &unused))
      return false;
    XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, &left, &top, &child);
    XSetInputFocus(display, info.info.x11.wmwindow, RevertToParent, CurrentTime);
    XSync(display, False);
    return true;
  }
  void Close() {   // before the display goes away
    if (display) XCloseDisplay(display);
    display = NULL;
  }
  // Each event is played `after` ms after the one before it.
  XTestInput& Move(int x, int y, unsigned after = 0) {
    XTestFakeMotionEvent(display, DefaultScreen(display), left + x, top + y, after);
    return *this;
  }
  XTestInput& Button(bool down, unsigned after = 0) {
    XTestFakeButtonEvent(display, 1, down, after);
    return *this;
  }
  XTestInput& Click(int x, int y, unsigned after = 0) { return Move(x, y, after).Button(true).Button(false, 5); }
  XTestInput& KeyEvent(const char* name, bool down, unsigned after = 0) {   // an X key name: "a", "Return"
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XStringToKeysym(name)), down, after);
    return *this;
  }
  XTestInput& Key(const char* name, unsigned after = 0, unsigned hold = 5) {
    return KeyEvent(name, true, after).KeyEvent(name, false, hold);
  }
  XTestInput& Type(const std::string& text, unsigned gap) {
    for (char c : text) Key(c == ' ' ? "space" : std::string(1, c).c_str(), gap);
    return *this;
  }
  // Hands everything queued to the server at once; it plays the events while the caller goes on.
  void Send() { XFlush(display); }

 private:
  Display* display = NULL;
  int left = 0, top = 0;   // the window's corner on the screen
};
