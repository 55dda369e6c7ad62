// The in-game console: scrolling text over an input line with the prompt '>', a history of entered lines,
// and a command table holding the built-in "help" and "con" and the application's commands. Lines
// printed on other threads wait in a queue until the console's own thread prints them.
#include "01_Main.h"
#include "00_Platform.h"
#include "43_Console.h"
#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

namespace {

const char kDefaultTitle[] = " Console for Yandorix SDK initialized";
const char kSyntaxError[] = " Syntax error or command not found";
using ydxcon::kInputLineOff;
using ydxcon::kFadingOut;
const int kKeyRepeat = 120;    // ms before a held key repeats

enum {
  kKeyBackspace = 8, kKeyEnter = 13, kKeyPercent = 37, kKeyToggle = 96, kKeyDelete = 127,
  kKeyUp = 273, kKeyDown = 274, kKeyRight = 275, kKeyLeft = 276, kKeyHome = 278, kKeyEnd = 279,
};

const char* const kConUsage[] = {
    " usage: con <parameter> [value]",
    "  <alpha> [64 to 255] - Adjust the alpha value of the console",
    "  <clear> - Clear the console",
    "  <color> R G B - Set the console background color",
    "  <features> [value] - Get current features or set new ones",
    "  <hide> - Hide the console",
    "  <history> clear|save [filename] - Clear the command history or save them to the filename",
    "  <move> x y - Move the console to (x,y). Negative value to preserve current value",
    "  <resize> w h - Resize the console to (w,h). Negative value to preserve current value",
    "  <save> filename - Save the console text to the filename",
};

// The live consoles, oldest first, and the one running a command line: the built-in commands act on
// the console they were typed into, else on the newest one.
std::vector<cConsole*> liveConsoles;
cConsole* executingConsole = NULL;
cConsole* NewestConsole() { return liveConsoles.empty() ? NULL : liveConsoles.back(); }
cConsole* CommandTarget() { return executingConsole ? executingConsole : NewestConsole(); }

// Lines from other threads, and the thread that may print directly (the newest console's).
std::mutex queueLock;
std::vector<std::string> queuedLines;
int consoleCount = 0;
std::thread::id consoleThread;
std::atomic<bool> haveQueued{false};   // read without the lock, so an empty queue costs nothing

// Words of a command line, split at runs of white space.
std::vector<std::string> SplitWords(const char* line) {
  std::vector<std::string> words;
  const char* c = line;
  while (*c) {
    while (*c && isspace((unsigned char)*c)) ++c;
    const char* start = c;
    while (*c && !isspace((unsigned char)*c)) ++c;
    if (c > start) words.emplace_back(start, (size_t)(c - start));
  }
  return words;
}

// Writes one line feed after every entry; false when the file could not be written whole (the old
// file, if any, then stays as it was).
bool SaveLines(const std::string& path, const std::vector<std::string>& entries) {
  ydxplat::ReplaceFile file;
  if (!file.Begin(path.c_str())) return false;
  for (const std::string& entry : entries)
    if (!file.Write(entry.data(), entry.size()) || !file.Write("\n", 1)) return false;
  return file.Commit();
}

}  // namespace

namespace ydxcon {

bool OnConsoleThread() {
  std::lock_guard<std::mutex> hold(queueLock);
  return consoleCount > 0 && std::this_thread::get_id() == consoleThread;
}

std::string Format(const char* format, va_list args) {
  if (!format) return std::string();
  va_list measure;
  va_copy(measure, args);
  int length = vsnprintf(NULL, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::string text((size_t)length + 1, '\0');
  va_list write;
  va_copy(write, args);
  vsnprintf(&text[0], text.size(), format, write);
  va_end(write);
  text.resize((size_t)length);
  return text;
}

void QueueLine(const char* format, va_list args) {
  std::string text = Format(format, args);
  std::lock_guard<std::mutex> hold(queueLock);
  if (consoleCount == 0) return;
  queuedLines.push_back(std::move(text));
  haveQueued = true;
}

void TakeQueued(std::vector<std::string>* out) {
  std::lock_guard<std::mutex> hold(queueLock);
  out->swap(queuedLines);
  queuedLines.clear();
  haveQueued = false;
}

cConsole* RunningConsole() { return executingConsole; }

long ParseNumber(const std::string& word, long low, long high) {
  long value = strtol(word.c_str(), NULL, 10);
  return std::min(std::max(value, low), high);
}
short ParseShort(const std::string& word) { return (short)ParseNumber(word, SHRT_MIN, SHRT_MAX); }

bool WindowCommand(cSimpleWin* window, cConsole* out, const std::vector<std::string>& w, const char* kind) {
  size_t n = w.size();
  const std::string& sub = w[1];
  SDL_Rect* rect = window->GetRect();
  if (sub == "alpha") {
    if (n >= 3) window->SetAlpha((unsigned char)ParseNumber(w[2], 64, 255));
    out->ConsolePrint(n < 3 ? " Current alpha value: %d" : " New alpha value %d set", window->GetAlpha());
  } else if (sub == "color") {
    if (n < 5) {
      out->ConsolePrint(" Current background color value (0x00%x)", window->GetBgColor());
      return true;
    }
    int r = (int)ParseNumber(w[2], 0, 255), g = (int)ParseNumber(w[3], 0, 255), b = (int)ParseNumber(w[4], 0, 255);
    window->SetBgColor((unsigned char)r, (unsigned char)g, (unsigned char)b);
    out->ConsolePrint(" New background color (%d,%d,%d) set", r, g, b);
  } else if (sub == "move") {
    if (n < 4) {
      out->ConsolePrint(" Current %s position (%d,%d)", kind, rect->x, rect->y);
      return true;
    }
    window->Move(ParseShort(w[2]), ParseShort(w[3]));
    out->ConsolePrint(" New position (%d,%d) set", rect->x, rect->y);
  } else if (sub == "resize") {
    if (n < 4) {
      out->ConsolePrint(" Current %s size (%dx%d)", kind, rect->w, rect->h);
      return true;
    }
    window->Resize(ParseShort(w[2]), ParseShort(w[3]));
    out->ConsolePrint(" New size (%dx%d) set", rect->w, rect->h);
  } else {
    return false;
  }
  return true;
}

}  // namespace ydxcon

using ydxcon::ParseNumber;
using ydxcon::ParseShort;

cConsole::cConsole(const char* newtitle)
    : inputlimit(1), textx(0), inputy(0), cursorshown(0), input(NULL), cursor(1), historypos(0) {
  input = static_cast<char*>(malloc(2));
  if (!input) throw std::bad_alloc();
  strcpy(input, ">");
  ConsoleAddCommand("help", "List all registered commands", HelpCommand);
  ConsoleAddCommand("con", "Console control commands", ConCommand);
  if (SDL_Surface* screen = Yandorix.screen) {
    w = (Uint16)screen->w;
    h = (Uint16)(screen->h / 3);
    x = y = 0;
    enabled = 1;
    SetBgColor(0, 0, 192);
    enabled = 0;
    Layout();
  }
  title = newtitle ? newtitle : kDefaultTitle;
  liveConsoles.push_back(this);
  std::lock_guard<std::mutex> hold(queueLock);
  consoleCount++;
  consoleThread = std::this_thread::get_id();
}

cConsole::~cConsole() {
  free(input);
  input = NULL;
  commands.clear();
  history.clear();
  if (executingConsole == this) executingConsole = NULL;
  if (MainPrivate()) Yandorix_ForgetKeyPresses(kReaderConsole);   // a console made anew starts with nothing typed
  liveConsoles.erase(std::remove(liveConsoles.begin(), liveConsoles.end(), this), liveConsoles.end());
  std::lock_guard<std::mutex> hold(queueLock);
  if (--consoleCount > 0) return;
  queuedLines.clear();
  haveQueued = false;
}

void cConsole::Enable() {
  cSimpleWin::Enable();
  if (!enabled) return;
  AppendLine(title);
  AppendLine(std::string());
}

void cConsole::AppendLine(std::string text) {
  lines.push_back(std::move(text));
  Yandorix.RenderNeeded(1);
}

// Lines other threads printed since the last logic frame, in their order; dropped while disabled,
// like any other print.
void cConsole::PrintQueued() {
  if (!haveQueued) return;
  std::vector<std::string> taken;
  ydxcon::TakeQueued(&taken);
  if (!enabled) return;
  for (std::string& text : taken) AppendLine(std::move(text));
}

void cConsole::ConsolePrint(const char* format, va_list args) {
  if (!format) return;
  if (!ydxcon::OnConsoleThread()) {
    ydxcon::QueueLine(format, args);
    return;
  }
  if (!enabled) return;
  PrintQueued();
  AppendLine(ydxcon::Format(format, args));
}

void cConsole::ConsolePrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ConsolePrint(format, args);
  va_end(args);
}

void cConsole::NewCmdLine() {
  if (!enabled) return;
  strcpy(input, ">");
  cursor = 1;
  Yandorix.RenderNeeded(1);
}

int cConsole::ConsoleAddCommand(const char* name, const char* help, ConsoleCmdHandler handler) {
  if (!name || !help || !handler) return 0;
  for (const ConsoleCommand& command : commands)
    if (strcmp(command.name, name) == 0) return 0;
  // Kept by pointer, as the caller was told; the console never writes through them.
  commands.push_back(ConsoleCommand{const_cast<char*>(name), const_cast<char*>(help), handler});
  return 1;
}

void cConsole::ConsoleExecute(const char* line) { Execute(line); }

bool cConsole::Execute(const char* line) {
  if (!line) return true;
  std::vector<std::string> words = SplitWords(line);
  int handled = 0;
  if (!words.empty()) {
    ConsoleCmdHandler handler = NULL;
    for (const ConsoleCommand& command : commands)
      if (words[0] == command.name) {
        handler = command.handler;   // copied: the handler may register commands and move the table
        break;
      }
    if (handler) {
      cConsole* outer = executingConsole;
      executingConsole = this;
      handled = handler(&words);
      bool gone = executingConsole != this;   // the handler deleted this console (a new video mode)
      executingConsole = outer;
      if (gone) return false;
    }
  }
  if (!handled) ConsolePrint("%s", kSyntaxError);
  ConsolePrint("%s", "");
  return true;
}

void cConsole::AddHistory(const char* line) {
  history.push_back(line ? line : "");
  historypos = 0;
}

int cConsole::FittingLimit() {
  int m = font->StringWidth("M");
  return std::max(1, ((int)w - 2 * m - 10) / m);
}

// Gives the input buffer room for `limit` characters; on failure the buffer and its limit stay.
bool cConsole::ResizeInput(int limit) {
  char* resized = static_cast<char*>(realloc(input, (size_t)limit + 1));
  if (!resized) {
    ILogSystem.Msg(0, " . [Console] Error: memory reallocation failed!\n");
    return false;
  }
  input = resized;
  inputlimit = limit;
  return true;
}

void cConsole::Layout() {
  if (!HasUsableFont() || w == 0) return;
  int m = font->StringWidth("M");
  if (m <= 0) return;
  textx = x + 5;
  inputy = y + h - font->StringHeight() - 5;
  ResizeInput(FittingLimit());
  strcpy(input, ">");
  cursor = 1;
}

// The history entry `historypos` steps back (1 = the newest) after a fresh prompt.
void cConsole::RecallHistory() {
  NewCmdLine();
  if (historypos < 1 || historypos > (int)history.size()) return;
  const std::string& entry = history[history.size() - (size_t)historypos];
  size_t taken = std::min(entry.size(), (size_t)std::max(0, inputlimit - 1));
  memcpy(input + 1, entry.data(), taken);
  input[1 + taken] = '\0';
  cursor = (int)(1 + taken);
}

// Applies one key to the input line; true when the line or the cursor changed.
bool cConsole::HandleKey(int key) {
  int length = (int)strlen(input);
  switch (key) {
    case kKeyBackspace:
      if (length <= 1 || cursor <= 1) return false;
      memmove(input + cursor - 1, input + cursor, (size_t)(length - cursor + 1));
      cursor--;
      return true;
    case kKeyEnter: {
      if (length <= 1) return false;
      std::string text(input + 1);
      ConsolePrint("%s", text.c_str());
      AddHistory(text.c_str());
      // A fresh line first: a command that runs the frame loop meanwhile (waiting for something) types
      // the keys it takes into a new line, not after its own.
      NewCmdLine();
      return Execute(text.c_str());   // false: the command deleted this console
    }
    case kKeyPercent:
      return false;
    case kKeyDelete:
      if (length <= 1 || cursor >= length) return false;
      memmove(input + cursor, input + cursor + 1, (size_t)(length - cursor));
      return true;
    case kKeyUp:
      if (historypos >= (int)history.size()) return false;
      historypos++;
      RecallHistory();
      return true;
    case kKeyDown:
      if (historypos < 1) return false;
      historypos--;
      RecallHistory();
      return true;
    case kKeyRight:
      if (cursor >= length) return false;
      cursor++;
      return true;
    case kKeyLeft:
      if (length <= 1 || cursor <= 1) return false;
      cursor--;
      return true;
    case kKeyHome:
      cursor = 1;
      return true;
    case kKeyEnd:
      cursor = length;
      return true;
  }
  if (length >= inputlimit) {
    // Proportional glyphs may leave room for more characters than the width of "M" promised.
    int m = font->StringWidth("M");
    int room = (int)w - (font->StringWidth(input) + 2 * m + 10);
    if (m > 0 && room > m) ResizeInput(inputlimit + room / m);
    return false;
  }
  const char* name = Yandorix.GetKeyName(key);
  if (!name || !*name) return false;
  if (cursor >= length) {
    // The whole name when it fits, as much of it as fits otherwise.
    size_t taken = std::min(strlen(name), (size_t)(inputlimit - length));
    memcpy(input + length, name, taken);
    input[(size_t)length + taken] = '\0';
  } else {
    memmove(input + cursor + 1, input + cursor, (size_t)(length - cursor + 1));
    input[cursor] = name[0];
  }
  cursor++;
  return true;
}

int cConsole::Update() {
  PrintQueued();
  int open = cSimpleWin::Update();
  if (!enabled || (features & kInputLineOff)) {
    Yandorix_ForgetKeyPresses(kReaderConsole);   // it reads no keys now: what was typed into it is nobody's
    return open;
  }
  if (open) {
    int shown = Yandorix_Ticks() % 1000 <= 500 ? 1 : 0;
    if (shown != cursorshown) {
      cursorshown = shown;
      Yandorix.RenderNeeded(1);
    }
  }
  // Every key typed into the console since the last logic frame, so the line keeps up with the typing.
  // Once the player closed it, only what was typed before (a line ended with Return still runs), and no
  // held key repeats into it. A command run by Enter may hide, replace or delete this console: the keys
  // after it wait for the next frame.
  bool reading = open && visibility != kFadingOut;
  for (int taken = 0; taken < kKeysTakenAtOnce; ++taken) {
    int key = reading ? Yandorix_TypedKey(kReaderConsole, kKeyRepeat) : Yandorix_WaitingKey(kReaderConsole);
    if (key == 0) break;
    if (key == kKeyToggle || !HasUsableFont()) continue;
    bool command = key == kKeyEnter && input[1] != '\0';
    bool changed = HandleKey(key);
    if (command && !changed) break;   // the command deleted this console
    if (changed) Yandorix.RenderNeeded(1);
    if (key == kKeyEnter) break;
  }
  return open;
}

void cConsole::Render() {
  if (!enabled || visibility == 0 || !Yandorix.screen || !HasUsableFont()) return;
  SDL_Surface* screen = Yandorix.screen;
  SDL_Rect* clip = GetRect();
  SDL_Rect area = *clip;
  if (bgsurface) Yandorix.Blit(bgsurface, NULL, screen, &area);
  int height = font->StringHeight();
  int rows = h / height;
  for (int k = 1; k <= (int)lines.size() && k < rows; ++k)
    font->PutString(screen, textx, inputy - k * height - 5, lines[lines.size() - (size_t)k].c_str(), clip);
  if (!(features & kInputLineOff))
    font->PutStringWithCursor(screen, textx, inputy, input, cursor, clip, (unsigned char)cursorshown);
}

// ---- Built-in commands ----

// A save that failed says so in the log, after the command's own message (the console's answers stay
// those of the command language).
void cConsole::ReportUnwritable(const std::string& path) {
  ILogSystem.Msg(0, " . [Console] Error: the file '%s' could not be written.\n", path.c_str());
}

int cConsole::HelpCommand(std::vector<std::string>*) {
  cConsole* c = CommandTarget();
  if (!c) return 0;
  for (size_t i = c->commands.size(); i-- > 0;) c->ConsolePrint(" %s - %s", c->commands[i].name, c->commands[i].help);
  return 1;
}

int cConsole::ConCommand(std::vector<std::string>* words) {
  cConsole* c = CommandTarget();
  if (!c || !words) return 0;
  const std::vector<std::string>& w = *words;
  size_t n = w.size();
  if (n == 1) {
    for (const char* usage : kConUsage) c->ConsolePrint("%s", usage);
    return 1;
  }
  if (ydxcon::WindowCommand(c, c, w, "console")) return 1;
  const std::string& sub = w[1];
  if (sub == "clear") {
    c->lines.clear();
    c->ConsolePrint("%s", c->title.c_str());
    return 1;
  }
  if (sub == "features") {
    if (n >= 3) c->features = (unsigned int)ParseNumber(w[2], INT_MIN, INT_MAX);
    char digits[33];
    IntToBinaryText((int)c->features, digits);
    c->ConsolePrint(n < 3 ? " Current features: %s" : " New features %s set", digits);
    return 1;
  }
  if (sub == "hide") {
    c->SetVisible(0);
    return 1;
  }
  if (sub == "history") {
    if (n >= 3 && w[2] == "clear") {
      c->history.clear();
      c->historypos = 0;   // Up and Down must not reach for entries that are gone
      c->ConsolePrint("%s", " Console history cleared");
      return 1;
    }
    if (n >= 4 && w[2] == "save") {
      bool saved = SaveLines(w[3], c->history);
      c->ConsolePrint(" Save history to '%s' file", w[3].c_str());
      if (!saved) c->ReportUnwritable(w[3]);
      return 1;
    }
    return 0;
  }
  if (sub == "save") {
    if (n < 3) return 0;
    bool saved = SaveLines(w[2], c->lines);
    c->ConsolePrint(" Save console text to '%s' file", w[2].c_str());
    if (!saved) c->ReportUnwritable(w[2]);
    return 1;
  }
  return 0;
}
