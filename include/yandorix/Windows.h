// The library's text windows drawn over the application's picture: the base window, the in-game console
// with its command language, and the debug watch window. The main object owns one of each from
// SetVideoMode on and exports their operations as Con* and Dw*.
#ifndef YANDORIX_WINDOWS_H
#define YANDORIX_WINDOWS_H

#include <SDL.h>
#include <stdarg.h>
#include <string>
#include <vector>
#include "LogSystem.h"
#include "Export.h"

class Yandorix_CFont;

// A console command: gets the whole line split into words (word 0 is the command's name) and returns
// non-zero when it handled the line; 0 makes the console answer with its syntax error.
typedef int (*ConsoleCmdHandler)(std::vector<std::string>*);

// One entry of the console's command table. Name and help text are kept by pointer: the caller keeps
// both alive as long as the console.
struct ConsoleCommand {
  char* name;
  char* help;
  ConsoleCmdHandler handler;
};

// One watch of the debug window. The name and both variables are kept by pointer and must outlive the
// watch; at least one of the two value pointers is set.
struct DebugWatch {
  char* name;
  int* ivalue;
  double* dvalue;
};

// What both text windows share: rectangle, background (a colour or an archive image), alpha, font,
// title, text lines, the one-second fade and the feature bits. Every setter does nothing until
// Enable accepted the window (SetTitle, Features and the getters always work).
class YDX_API cSimpleWin {
 public:
  cSimpleWin();

  // Once per logic frame: runs the fade; 1 while the window is enabled and not hidden.
  virtual int Update();
  // Accepts the window once a screen, a size of at least 150 x 100, a background and a font exist.
  virtual void Enable();
  virtual void Render() = 0;
  // Recomputes text positions after a move, resize or font change.
  virtual void Layout() = 0;
  // Declared after the four operations above so that they keep the first four virtual slots.
  virtual ~cSimpleWin();

  unsigned char isEnabled();
  void Disable();
  unsigned char isVisible();   // 0 hidden, 1 shown, 33 fading in, 223 fading out
  Yandorix_CFont* GetFont();   // owned by the window
  SDL_Rect* GetRect();         // the window's own x, y, w, h, laid out as an SDL_Rect
  unsigned char GetAlpha();
  SDL_Surface* GetBgImage();   // the background as drawn (w x h); owned by the window
  unsigned int GetBgColor();   // a pixel value of the screen's format
  void SetTitle(const char* title);   // NULL keeps the title
  // -1 returns the feature word; any other value is XORed into it. Bits: 1 no console toggle key,
  // 2 no console input line, 4 show and hide at once instead of fading.
  int Features(int v);
  void SetAlpha(unsigned char a);   // below 64 raised to 64
  void SetBgColor(unsigned int pixel);
  void SetBgColor(unsigned char r, unsigned char g, unsigned char b);
  // An "IMG" block scaled to the window; the previous background stays when it cannot be loaded.
  void SetBgImage(int handle, const char* name);
  void SetBgImage(const char* file, const char* name);
  // A "FONT2" block; the current font stays when the new one cannot be loaded.
  void SetFont(int handle, const char* name);
  void SetFont(const char* file, const char* name);
  // Negative values keep the current coordinate; the window stays on the screen.
  void Move(short x, short y);
  // Widths below 150 and heights below 100 keep the current value; the window stays on the screen.
  void Resize(short w, short h);
  // v > 0 shows, v <= 0 hides (fading unless feature bit 4 is set); ignored during a fade.
  void SetVisible(signed char v);

 protected:
  std::vector<std::string> lines;   // the window's text, oldest first
  Sint16 x, y;                      // top-left corner on the screen
  Uint16 w, h;                      // size; together with x and y in the order of an SDL_Rect
  unsigned char visibility;
  unsigned int bgcolor;
  SDL_Surface* bgsurface;           // the background as drawn, always w x h
  SDL_Surface* bgimage;             // the image as loaded, kept for rescaling; NULL for a colour
  unsigned char alpha;              // the configured alpha
  Yandorix_CFont* font;
  unsigned char enabled;
  std::string title;
  unsigned int fadestart;           // clock reading when the current fade began; 0 = not started
  unsigned int features;

  int CreateBuiltinFont();
  void ApplyAlpha(int a);           // -1: the configured alpha
  bool HasUsableFont();             // a created font with a height
  void LookChanged();               // asks for a render when the window is on the screen

 private:
  cSimpleWin(const cSimpleWin&) = delete;
  cSimpleWin& operator=(const cSimpleWin&) = delete;
  bool ReplaceFont(Yandorix_CFont* loaded);
  friend struct cSimpleWinAccess;   // the library's own key binding turns a fade round
};

// The in-game console: text lines over an input line with the prompt '>', a history of entered lines
// and a table of named commands ("help", "con" and the application's own).
class YDX_API cConsole : public cSimpleWin {
 public:
  typedef ::ConsoleCommand ConsoleCommand;

  explicit cConsole(const char* title);   // NULL: " Console for Yandorix SDK initialized"
  ~cConsole() override;

  int Update() override;
  // The base Enable; an accepted console then shows its title and an empty line.
  void Enable() override;
  void Render() override;
  void Layout() override;

  // One console line (line breaks inside are kept), only while enabled. From another thread than the
  // console's own the line is queued and printed by the console's next Update.
  void ConsolePrint(const char* format, va_list args);
  void ConsolePrint(const char* format, ...) YDX_PRINTF(2, 3);
  void NewCmdLine();
  // 1 added; 0 for a NULL argument or a name already registered.
  int ConsoleAddCommand(const char* name, const char* help, ConsoleCmdHandler handler);
  // Runs one command line; answers with the syntax error when nothing handled it, then an empty line.
  void ConsoleExecute(const char* line);

 protected:
  int inputlimit;      // characters the input line may hold, prompt included
  int textx;           // x of every text line and of the input line
  int inputy;          // y of the input line
  int cursorshown;     // 1 in the visible half-second of the blinking cursor
  char* input;         // the input line (inputlimit + 1 bytes); always starts with the prompt '>'
  std::vector<std::string> history;   // entered lines, oldest first
  std::vector<ConsoleCommand> commands;
  int cursor;          // position in input: 1 just after the prompt
  int historypos;      // steps gone back into the history; 0 = a fresh line

  void AddHistory(const char* line);

 private:
  bool Execute(const char* line);   // false when running it deleted this console
  void AppendLine(std::string text);
  void PrintQueued();
  bool HandleKey(int key);
  void RecallHistory();
  int FittingLimit();
  bool ResizeInput(int limit);
  void ReportUnwritable(const std::string& path);
  static int HelpCommand(std::vector<std::string>* words);
  static int ConCommand(std::vector<std::string>* words);
};

// The debug watch window: named int and double variables of the application, re-read every 500 ms
// and drawn as a flowing list under a centred title; controlled with the console command "debug".
class YDX_API cDebugWO : public cSimpleWin {
 public:
  typedef ::DebugWatch DebugWatch;

  // Registers "debug" in the console when one is given. NULL title: "Yandorix Debug Window".
  cDebugWO(cConsole* console, const char* title);
  ~cDebugWO() override;

  int Update() override;
  void Render() override;
  void Layout() override;

  // 1 added; 0 for a NULL name, no variable, or a name already watched.
  int DebugWinAddWatch(const char* name, int* ivalue, double* dvalue);
  // 1 removed; 0 for a NULL or unknown name.
  int DebugWinRemoveWatch(const char* name);

 protected:
  std::vector<DebugWatch> watches;
  int textx;                  // left edge of the watch text
  int texty;                  // top of the watch text area
  unsigned int refreshstart;  // clock reading when the current 500 ms wait began; 0 = start one
  cConsole* console;          // receives the command's output; not owned

 private:
  static int DebugCommand(std::vector<std::string>* words);
};

#endif
