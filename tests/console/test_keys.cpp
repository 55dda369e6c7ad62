// The console driven through the keyboard as the frame driver sees it: SDL's key array read at each
// logic frame on the manual clock, and key events it polls. Line editing, the history, the line's length
// limit, the backquote toggle with its fade, and the switched-off, closing or hidden input line.
#include "ConsoleTest.h"

namespace {

const char kSyntax[] = " Syntax error or command not found";

void PushKeyDown(SDLKey key, SDLMod modifiers, Uint8 type = SDL_KEYDOWN) { ydxtest::PushKey(type, key, modifiers); }

}  // namespace

class ConsoleKeysTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    ShowConsole();
    Mark();
  }
  // Types `count` letters into the line, enters it and returns how many reached the line.
  size_t TypedLength(int count, int key) {
    for (int i = 0; i < count; ++i) Press(key);
    Press(SDLK_RETURN);
    std::vector<std::string> lines = Since();
    return lines.empty() ? 0 : lines[0].size();
  }
};

TEST_F(ConsoleKeysTest, EnterUpDownAndBackspaceEditAndRecallLines) {
  Press(SDLK_RETURN);   // only the prompt: nothing happens
  Type("ab");
  Press(SDLK_RETURN);
  Type("cd");
  Press(SDLK_RETURN);
  Press(SDLK_UP);
  Press(SDLK_UP);
  Press(SDLK_DOWN);   // the newest entry again
  Press(SDLK_BACKSPACE);
  Press(SDLK_RETURN);
  Press(SDLK_UP);
  Press(SDLK_DOWN);   // back at a fresh line: empty
  Press(SDLK_RETURN);
  Press(SDLK_DOWN);   // already at a fresh line
  Press(SDLK_RETURN);
  EXPECT_EQ(Since(), (std::vector<std::string>{"ab", kSyntax, "", "cd", kSyntax, "", "c", kSyntax, ""}));

  Type("con history save h.txt");
  Press(SDLK_RETURN);
  EXPECT_EQ(ydxtest::ReadFile("h.txt"), "ab\ncd\nc\ncon history save h.txt\n");
  EXPECT_EQ(Since(),
            (std::vector<std::string>{"con history save h.txt", " Save history to 'h.txt' file", ""}));
  for (int i = 0; i < 5; ++i) Press(SDLK_UP);   // beyond the oldest entry: stays there
  Press(SDLK_RETURN);
  EXPECT_EQ(Since(), (std::vector<std::string>{"ab", kSyntax, ""}));

  // A cleared history leaves nothing to recall.
  Yandorix.ConCmd((char*)"con history clear");
  Press(SDLK_UP);
  Press(SDLK_RETURN);
  EXPECT_EQ(Since(), (std::vector<std::string>{" Console history cleared", ""}));

  // A command that runs the frame loop while the player goes on typing: the keys go into a new line.
  ASSERT_EQ(Yandorix.ConAddCmdHandler("wait", "runs the frame loop", [](std::vector<std::string>*) {
    ReleaseKeys();   // Return
    Type("x");
    Press(SDLK_RETURN);
    return 1;
  }), 1);
  Type("wait");
  Press(SDLK_RETURN);
  EXPECT_EQ(Since(), (std::vector<std::string>{"wait", "x", kSyntax, "", ""}));
}

TEST_F(ConsoleKeysTest, CursorKeysMoveWhereCharactersGo) {
  Type("acd");
  Press(SDLK_LEFT);
  Press(SDLK_LEFT);
  Type("b");   // inserted before the cursor's character
  Press(SDLK_HOME);
  Press(SDLK_DELETE);
  Press(SDLK_END);
  Press(SDLK_RIGHT);   // already at the end
  Type("e");
  Press(SDLK_END);
  Press(SDLK_DELETE);   // nothing after the cursor
  SDL_SetModState(KMOD_LSHIFT);
  Press('5');   // '%' is never typed
  Press('1');   // '!'
  SDL_SetModState(KMOD_NONE);
  Press('`');   // the toggle key is not typed either
  Press(SDLK_LEFT);
  Press(SDLK_HOME);
  Press(SDLK_LEFT);   // already after the prompt
  Press(SDLK_BACKSPACE);   // nothing before the cursor
  Press(SDLK_RETURN);
  EXPECT_EQ(Since(), (std::vector<std::string>{"bcde!", kSyntax, ""}));
}

TEST_F(ConsoleKeysTest, DeletingNeverShortensWhatTheLineCanHold) {
  // 640 pixels hold 76 characters as wide as "M" with the prompt; 'm' is that wide.
  EXPECT_EQ(TypedLength(70, 'm'), 70u);
  for (int i = 0; i < 30; ++i) Press('a');
  for (int i = 0; i < 30; ++i) Press(SDLK_BACKSPACE);
  EXPECT_EQ(TypedLength(70, 'm'), 70u);
  for (int i = 0; i < 30; ++i) Press('a');
  Press(SDLK_HOME);
  for (int i = 0; i < 30; ++i) Press(SDLK_DELETE);
  EXPECT_EQ(TypedLength(70, 'm'), 70u);
  // A full line drops the key that found it full, then makes room for what still fits the width.
  size_t full = TypedLength(120, 'i');
  EXPECT_GT(full, 120u / 2);
  EXPECT_LT(full, 120u);
}

TEST_F(ConsoleKeysTest, NoKeysReachASwitchedOffLineOrAHiddenOrDisabledConsole) {
  Yandorix.ConFeatures(4);   // fading again: keys typed once the player closed it are the game's
  Yandorix.ConSetVisible(0);
  Type("gh");
  ASSERT_EQ(Yandorix.ConisVisible(), 223);
  Yandorix.ConFeatures(4);
  Pass(1000);
  Yandorix.ConFeatures(2);   // no input line
  Type("ab");
  Press(SDLK_RETURN);
  Yandorix.ConFeatures(2);
  Yandorix.ConSetVisible(0);
  Type("cd");
  Press(SDLK_RETURN);
  Yandorix.ConSetVisible(1);
  Yandorix.ConDisable();
  Type("ef");
  Press(SDLK_RETURN);
  Yandorix.ConEnable();
  Mark();
  Press(SDLK_RETURN);   // the line is still empty
  EXPECT_EQ(Since(), std::vector<std::string>{});
}

class ConsoleToggleTest : public ConsoleTest {};

TEST_F(ConsoleToggleTest, BackquoteFadesTheConsoleInAndOut) {
  SDL_Surface* background = Yandorix.ConGetBgImage();
  ASSERT_NE(background, nullptr);
  PushKeyDown(SDLK_BACKQUOTE, KMOD_NONE);
  Pass(0);   // the toggle applies to the event; the fade starts at this logic frame
  EXPECT_EQ(Yandorix.ConisVisible(), 33);
  EXPECT_EQ(background->format->alpha, 0);
  Pass(500);
  EXPECT_EQ(background->format->alpha, 64);   // half of the configured 128
  PushKeyDown(SDLK_BACKQUOTE, KMOD_NONE);      // during a fade: turns it round where it stands
  Pass(0);
  EXPECT_EQ(Yandorix.ConisVisible(), 223);
  EXPECT_EQ(background->format->alpha, 64);
  Pass(250);
  EXPECT_EQ(background->format->alpha, 32);
  Pass(251);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  PushKeyDown(SDLK_BACKQUOTE, KMOD_NONE);
  Pass(0);
  Pass(1000);
  EXPECT_EQ(Yandorix.ConisVisible(), 33);   // exactly 1000 ms: not yet over
  Pass(1);
  EXPECT_EQ(Yandorix.ConisVisible(), 1);
  EXPECT_EQ(background->format->alpha, 128);

  PushKeyDown(SDLK_BACKQUOTE, KMOD_LSHIFT);   // with Shift it is the tilde, not the toggle
  Pass(0);
  EXPECT_EQ(Yandorix.ConisVisible(), 1);
  SDL_Event event;
  PushKeyDown(SDLK_BACKQUOTE, KMOD_NONE);
  EXPECT_EQ(Yandorix.Update(&event), 1);   // the caller gets the key, and the console toggles
  EXPECT_EQ(event.key.keysym.sym, SDLK_BACKQUOTE);
  EXPECT_EQ(Yandorix.ConisVisible(), 223);
  Pass(0);
  Pass(250);
  EXPECT_EQ(background->format->alpha, 96);
  Pass(751);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  EXPECT_EQ(background->format->alpha, 0);

  Yandorix.ConFeatures(1);   // the toggle key switched off
  PushKeyDown(SDLK_BACKQUOTE, KMOD_NONE);
  Pass(0);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  Yandorix.ConFeatures(1);
  PushKeyDown(SDLK_BACKQUOTE, KMOD_NONE);
  Pass(0);
  EXPECT_EQ(Yandorix.ConisVisible(), 33);
}

TEST_F(ConsoleToggleTest, ShowingAtOnceAfterAFadeIsSeen) {
  Yandorix.ConSetVisible(1);
  Pass(0);
  Pass(1001);
  Yandorix.ConSetVisible(0);
  Pass(0);
  Pass(1001);
  ASSERT_EQ(Yandorix.ConGetBgImage()->format->alpha, 0);   // faded out
  Yandorix.ConFeatures(4);
  Yandorix.ConSetVisible(1);
  EXPECT_EQ(Yandorix.ConisVisible(), 1);
  EXPECT_EQ(Yandorix.ConGetBgImage()->format->alpha, 128);
}

// Keys tapped while the console was hidden were meant for the game: opening it with the toggle key
// drops them, and what is tapped after the toggle is typed in order, one key per logic frame.
TEST_F(ConsoleToggleTest, OnlyKeysTappedAfterTheToggleReachTheLine) {
  Yandorix.ConFeatures(4);
  Mark();
  for (SDLKey key : {SDLK_x, SDLK_BACKQUOTE, SDLK_o, SDLK_k, SDLK_RETURN}) {
    PushKeyDown(key, KMOD_NONE);
    PushKeyDown(key, KMOD_NONE, SDL_KEYUP);
  }
  for (int pass = 0; pass < 12; pass++) Pass(50);
  EXPECT_EQ(Yandorix.ConisVisible(), 1);
  EXPECT_EQ(Since(), (std::vector<std::string>{"ok", kSyntax, ""}));
}
