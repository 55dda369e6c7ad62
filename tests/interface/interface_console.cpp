// Compile-time check of the text windows' public interface as applications write against it: every
// operation of cSimpleWin, cConsole and cDebugWO and every console and debug-window operation of the
// main object, called with the argument and result types applications use. Never run.
#include <Yandorix.h>
#include <gtest/gtest.h>
#include <stdarg.h>

namespace {

int Handler(std::vector<std::string>* words) { return words ? (int)words->size() : 0; }

void ForwardToConsole(char* format, ...) {
  va_list args;
  va_start(args, format);
  Yandorix.ConvPrint(format, args);
  va_end(args);
}

// Callers that keep the argument list in a char*, as the operation's own parameter type has it.
void ForwardAsCharPointer(char* format, ...) {
  va_list args;
  va_start(args, format);
  char* raw = (char*)args;
  Yandorix.ConvPrint(format, raw);
  va_end(args);
}

// Windows derived by an application read the fields with their own types.
class ConsoleFields : public cConsole {
 public:
  ConsoleFields() : cConsole(NULL) {}
  void Read() {
    std::vector<std::string>* text = &lines;
    Sint16* left = &x;
    Sint16* top = &y;
    Uint16* width = &w;
    Uint16* height = &h;
    unsigned char* shown = &visibility;
    unsigned int* colour = &bgcolor;
    SDL_Surface** drawn = &bgsurface;
    SDL_Surface** image = &bgimage;
    unsigned char* configured = &alpha;
    Yandorix_CFont** used = &font;
    unsigned char* on = &enabled;
    std::string* heading = &title;
    unsigned int* fade = &fadestart;
    unsigned int* bits = &features;
    int* limit = &inputlimit;
    int* column = &textx;
    int* row = &inputy;
    int* blink = &cursorshown;
    char** line = &input;
    std::vector<std::string>* entered = &history;
    std::vector<ConsoleCommand>* table = &commands;
    int* at = &cursor;
    int* back = &historypos;
    AddHistory((char*)"line");
    (void)text, (void)left, (void)top, (void)width, (void)height, (void)shown, (void)colour, (void)drawn,
        (void)image, (void)configured, (void)used, (void)on, (void)heading, (void)fade, (void)bits, (void)limit,
        (void)column, (void)row, (void)blink, (void)line, (void)entered, (void)table, (void)at, (void)back;
  }
};

class DebugFields : public cDebugWO {
 public:
  DebugFields() : cDebugWO(NULL, NULL) {}
  void Read() {
    std::vector<DebugWatch>* list = &watches;
    int* left = &textx;
    int* top = &texty;
    unsigned int* wait = &refreshstart;
    cConsole** hook = &console;
    int made = CreateBuiltinFont();
    ApplyAlpha(-1);
    (void)list, (void)left, (void)top, (void)wait, (void)hook, (void)made;
  }
};

void PrintThroughConsole(cConsole* console, char* format, ...) {
  va_list args;
  va_start(args, format);
  console->ConsolePrint(format, args);
  va_end(args);
}

[[maybe_unused]] void UseTheTextWindows() {
  char* title = (char*)"title";
  char* file = (char*)"data.dpf";
  char* name = (char*)"block";
  int value = 0;
  double real = 0.0;

  // The main object's operations on both windows.
  Yandorix.ConTitle(title);
  Yandorix.ConEnable();
  Yandorix.ConDisable();
  int enabled = Yandorix.ConisEnabled();
  Yandorix.ConSetVisible((signed char)1);
  int visible = Yandorix.ConisVisible();
  Yandorix.ConSetFont(file, name);
  Yandorix.ConSetFont(1, name);
  Yandorix_CFont* font = Yandorix.ConGetFont();
  Yandorix.ConResize((short)300, (short)200);
  Yandorix.ConMove((short)10, (short)20);
  SDL_Rect* rect = Yandorix.ConGetRect();
  Yandorix.ConSetBgColor((unsigned char)1, (unsigned char)2, (unsigned char)3);
  Yandorix.ConSetBgColor((unsigned int)0x123456);
  unsigned int colour = Yandorix.ConGetBgColor();
  Yandorix.ConSetBgImage(file, name);
  Yandorix.ConSetBgImage(1, name);
  SDL_Surface* background = Yandorix.ConGetBgImage();
  Yandorix.ConSetAlpha((unsigned char)100);
  unsigned char alpha = Yandorix.ConGetAlpha();
  Yandorix.ConPrint((char*)"%s %d", title, value);
  ForwardToConsole((char*)"%d", value);
  ForwardAsCharPointer((char*)"%d", value);
  Yandorix.ConNewCmdLine();
  int added = Yandorix.ConAddCmdHandler(name, title, Handler);
  int (*handler)(std::vector<std::string>*) = Handler;
  added += Yandorix.ConAddCmdHandler(name, title, handler);
  Yandorix.ConCmd((char*)"help");
  int features = Yandorix.ConFeatures(-1);

  Yandorix.DwTitle(title);
  Yandorix.DwEnable();
  Yandorix.DwDisable();
  enabled += Yandorix.DwisEnabled();
  Yandorix.DwSetVisible((signed char)0);
  visible += Yandorix.DwisVisible();
  Yandorix.DwSetFont(file, name);
  Yandorix.DwSetFont(1, name);
  font = Yandorix.DwGetFont();
  Yandorix.DwResize((short)300, (short)200);
  Yandorix.DwMove((short)10, (short)20);
  rect = Yandorix.DwGetRect();
  Yandorix.DwSetBgColor((unsigned char)1, (unsigned char)2, (unsigned char)3);
  Yandorix.DwSetBgColor((unsigned int)0x123456);
  colour += Yandorix.DwGetBgColor();
  Yandorix.DwSetBgImage(file, name);
  Yandorix.DwSetBgImage(1, name);
  background = Yandorix.DwGetBgImage();
  Yandorix.DwSetAlpha((unsigned char)100);
  alpha = Yandorix.DwGetAlpha();
  int watched = Yandorix.DwAddWatch(name, &value, &real);
  watched += Yandorix.DwRemoveWatch(name);

  // The classes themselves.
  cConsole console(title);
  cDebugWO debug(&console, title);
  cSimpleWin* window = &console;
  ConsoleCmdHandler command = Handler;
  added += console.ConsoleAddCommand(name, title, command);
  console.ConsolePrint((char*)"%s", title);
  PrintThroughConsole(&console, (char*)"%d", value);
  console.NewCmdLine();
  console.ConsoleExecute((char*)"help");
  watched += debug.DebugWinAddWatch(name, &value, NULL);
  watched += debug.DebugWinAddWatch(name, NULL, &real);
  watched += debug.DebugWinRemoveWatch(name);
  cConsole::ConsoleCommand entry = {name, title, command};
  cDebugWO::DebugWatch watch = {name, &value, &real};
  ConsoleCommand record = {name, title, command};
  char* commandName = record.name;
  char* commandHelp = record.help;
  ConsoleCmdHandler commandHandler = record.handler;
  DebugWatch watched2 = {name, &value, NULL};
  char* watchName = watched2.name;
  int* watchInt = watched2.ivalue;
  double* watchReal = watched2.dvalue;
  ConsoleFields fields;
  fields.Read();
  DebugFields debugFields;
  debugFields.Read();
  int updated = window->Update();
  window->Enable();
  window->Render();
  window->Layout();
  unsigned char on = window->isEnabled();
  window->Disable();
  unsigned char state = window->isVisible();
  font = window->GetFont();
  rect = window->GetRect();
  alpha = window->GetAlpha();
  background = window->GetBgImage();
  colour += window->GetBgColor();
  window->SetTitle(title);
  features += window->Features(2);
  window->SetAlpha((unsigned char)200);
  window->SetBgColor((unsigned int)0);
  window->SetBgColor((unsigned char)0, (unsigned char)0, (unsigned char)192);
  window->SetBgImage(1, name);
  window->SetBgImage(file, name);
  window->SetFont(1, name);
  window->SetFont(file, name);
  window->Move((short)-1, (short)5);
  window->Resize((short)200, (short)-1);
  window->SetVisible((signed char)1);
  cSimpleWin* owned = new cConsole(NULL);
  delete owned;
  (void)enabled, (void)visible, (void)font, (void)rect, (void)colour, (void)background, (void)alpha,
      (void)added, (void)features, (void)watched, (void)entry, (void)watch, (void)updated, (void)on, (void)state,
      (void)commandName, (void)commandHelp, (void)commandHandler, (void)watchName, (void)watchInt, (void)watchReal;
}

}  // namespace

TEST(Interface, Console) { SUCCEED(); }
