// The debug watch window: the application's named int and double variables, re-read every 500 ms and
// drawn as a flowing list under a centred title, with the console command "debug" to control it.
#include "01_Main.h"
#include "43_Console.h"
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kDefaultTitle[] = "Yandorix Debug Window";
const Uint32 kRefreshTime = 500;

const char* const kDebugUsage[] = {
    " usage: debug <parameter> [value]",
    "  <alpha> [64 to 255] - Adjust the alpha value of the console",
    "  <color> R G B - Set the debug window background color",
    "  <enable> [0]|[1] - Enable or disable the debug window",
    "  <hide> - Hide the debug window",
    "  <list> - List all watches and its values",
    "  <move> x y - Move the debug window to (x,y). Negative value to preserve current value",
    "  <remove> watch - Remove a watch",
    "  <resize> w h - Resize the debug window to (w,h). Negative value to preserve current value",
    "  <show> - Show the debug window",
};

// The live windows that registered the "debug" command, oldest first: the command acts on the newest.
std::vector<cDebugWO*> hookedWindows;

// One watch as text, cut at 127 characters.
void FormatWatch(const cDebugWO::DebugWatch& watch, char (&text)[128]) {
  if (watch.ivalue && watch.dvalue)
    snprintf(text, sizeof text, "%s %d %.4f", watch.name, *watch.ivalue, *watch.dvalue);
  else if (watch.ivalue)
    snprintf(text, sizeof text, "%s %d", watch.name, *watch.ivalue);
  else
    snprintf(text, sizeof text, "%s %.4f", watch.name, *watch.dvalue);
}

}  // namespace

using ydxcon::ParseNumber;
using ydxcon::ParseShort;

cDebugWO::cDebugWO(cConsole* hook, const char* newtitle) : textx(-1), texty(-1), refreshstart(500), console(NULL) {
  title = newtitle ? newtitle : kDefaultTitle;
  if (SDL_Surface* screen = Yandorix.screen) {
    x = (Sint16)(screen->w / 3);
    w = (Uint16)(screen->w / 3);
    y = (Sint16)(screen->h / 2);
    h = (Uint16)(screen->h / 3);
    enabled = 1;
    SetBgColor(0, 192, 0);
    enabled = 0;
    Layout();
  }
  if (!hook) {
    ILogSystem.Msg(2, " . [DebugWO] Warning: console hook not available.\n");
    return;
  }
  console = hook;
  console->ConsoleAddCommand("debug", "Debug window control commands", DebugCommand);
  hookedWindows.push_back(this);
}

cDebugWO::~cDebugWO() {
  watches.clear();
  hookedWindows.erase(std::remove(hookedWindows.begin(), hookedWindows.end(), this), hookedWindows.end());
}

int cDebugWO::DebugWinAddWatch(const char* name, int* ivalue, double* dvalue) {
  if (!name || (!ivalue && !dvalue)) return 0;
  for (const DebugWatch& watch : watches)
    if (strcmp(watch.name, name) == 0) return 0;
  // Kept by pointer, as the caller was told; the window never writes through the name.
  watches.push_back(DebugWatch{const_cast<char*>(name), ivalue, dvalue});
  return 1;
}

int cDebugWO::DebugWinRemoveWatch(const char* name) {
  if (!name) return 0;
  for (size_t i = 0; i < watches.size(); ++i)
    if (strcmp(watches[i].name, name) == 0) {
      watches.erase(watches.begin() + (long)i);
      return 1;
    }
  return 0;
}

int cDebugWO::Update() {
  if (!cSimpleWin::Update()) return 0;
  Uint32 now = Yandorix_Ticks();
  if (refreshstart == 0) refreshstart = now;
  if (now - refreshstart < kRefreshTime) return 0;
  refreshstart = 0;
  Yandorix.RenderNeeded(1);
  // The strings are reused, so a steady set of watches allocates nothing once their texts fit.
  lines.resize(watches.size());
  char text[128];
  for (size_t i = 0; i < watches.size(); ++i) {
    FormatWatch(watches[i], text);
    lines[i].assign(text);
  }
  return 1;
}

void cDebugWO::Layout() {
  if (!HasUsableFont() || font->StringWidth("M") <= 0 || w == 0) return;
  textx = x + 5;
  texty = y + font->StringHeight() + 5;
}

void cDebugWO::Render() {
  if (!enabled || visibility == 0 || !Yandorix.screen || !HasUsableFont()) return;
  SDL_Surface* screen = Yandorix.screen;
  SDL_Rect* clip = GetRect();
  SDL_Rect area = *clip;
  if (bgsurface) Yandorix.Blit(bgsurface, NULL, screen, &area);
  font->PutString(screen, x + (w - font->StringWidth(title.c_str())) / 2, y + 5, title.c_str(), clip);
  int height = font->StringHeight();
  int row = 5, column = 5;
  for (size_t i = lines.size(); i-- > 0;) {
    if (row + height >= h) break;
    const char* text = lines[i].c_str();
    int width = font->StringWidth(text), offset;
    if (width + column >= w) {
      row += height;
      offset = 5;
      column = width + 15;
    } else {
      offset = column;
      column += width + 10;
    }
    font->PutString(screen, textx + offset, texty + row, text, clip);
  }
}

// ---- The "debug" command ----

// The window hooked into the console that runs the command, else the newest one; the answer goes to
// the console the command was typed into.
int cDebugWO::DebugCommand(std::vector<std::string>* words) {
  cConsole* running = ydxcon::RunningConsole();
  cDebugWO* d = hookedWindows.empty() ? NULL : hookedWindows.back();
  for (cDebugWO* window : hookedWindows)
    if (window->console == running) d = window;
  if (!d || !words) return 0;
  cConsole* out = running ? running : d->console;
  const std::vector<std::string>& w = *words;
  size_t n = w.size();
  if (n == 1) {
    for (const char* usage : kDebugUsage) out->ConsolePrint("%s", usage);
    return 1;
  }
  if (ydxcon::WindowCommand(d, out, w, "debug")) return 1;
  const std::string& sub = w[1];
  if (sub == "enable") {
    if (n >= 3) {
      if (ParseNumber(w[2], INT_MIN, INT_MAX) < 1)
        d->Disable();
      else
        d->Enable();
    }
    out->ConsolePrint(n < 3 ? " Debug window is %s" : " Debug window %s", d->enabled ? "enabled" : "disabled");
    return 1;
  }
  if (sub == "hide" || sub == "show") {
    d->SetVisible(sub == "show" ? 1 : 0);
    return 1;
  }
  if (sub == "list") {
    char text[128];
    for (const DebugWatch& watch : d->watches) {
      FormatWatch(watch, text);
      out->ConsolePrint(" %s", text);
    }
    return 1;
  }
  if (sub == "remove") {
    if (n < 3) return 0;
    bool removed = d->DebugWinRemoveWatch(w[2].c_str()) == 1;
    out->ConsolePrint(removed ? " Watch '%s' removed" : " Watch '%s' not found", w[2].c_str());
    return 1;
  }
  return 0;
}
