// Mouse and keyboard input sent through the X test extension in one flush: the X server plays the
// events with the delays given between them while the game loop runs, so several of them land inside
// one logic frame, as a quick player's do.
#pragma once
#include <string>

typedef struct _XDisplay Display;

class XTestInput {
 public:
  ~XTestInput() { Close(); }
  // Connects to the display and focuses the library's window; false when either fails.
  bool Open();
  // Ends the connection (before the display goes away).
  void Close();

  // Each event is played `after` ms after the one before it. Positions are in the window.
  XTestInput& Move(int x, int y, unsigned after = 0);
  XTestInput& Button(int button, bool down, unsigned after = 0);
  // Moves to (x, y), then presses and releases the left button `hold` ms apart.
  XTestInput& Click(int x, int y, unsigned after = 0, unsigned hold = 5);
  // An X key name ("a", "space", "Return").
  XTestInput& Key(const char* name, bool down, unsigned after = 0);
  // Each character pressed `gap` ms after the one before and released 5 ms later.
  XTestInput& Type(const std::string& text, unsigned gap);

  // Hands everything queued to the server at once; it plays the events while the caller goes on.
  void Send();

 private:
  Display* display = nullptr;
  unsigned long window = 0;
  int originx = 0, originy = 0;   // the window's top-left corner on the screen
};
