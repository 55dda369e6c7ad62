// Fixture of the text-window tests: the library started on the manual clock with a 640 x 400 screen,
// the console enabled, and helpers that read what the console holds through "con save" and type
// keys through SDL's key array.
#pragma once
#include "YdxTest.h"
#include "01_Main.h"
#include <string>
#include <vector>

class ConsoleTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::ManualClock::Install(1000);
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
    OpenScreen(640, 400);
    Yandorix.ConEnable();
    ASSERT_EQ(Yandorix.ConisEnabled(), 1);
  }
  void TearDown() override {
    ReleaseKeys();
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  static void OpenScreen(int width, int height) {
    Yandorix.window = 1;
    Yandorix.colordepth = 32;
    Yandorix.resolutionx = (Uint16)width;
    Yandorix.resolutiony = (Uint16)height;
    ASSERT_EQ(Yandorix.SetVideoMode(), 1);
    SDL_Event ignored;
    while (SDL_PollEvent(&ignored)) {
    }
  }

  // Every console line written so far, read back through the console's own save command (which
  // then adds its own message and an empty line after the file was written).
  std::vector<std::string> Lines() {
    Yandorix.ConCmd((char*)"con save lines.txt");
    return SplitLines(ydxtest::ReadFile("lines.txt"));
  }
  // The lines written since the last Mark().
  std::vector<std::string> Since() {
    std::vector<std::string> all = Lines();
    std::vector<std::string> fresh(all.begin() + (long)std::min(mark, all.size()), all.end());
    mark = all.size() + 2;   // the save command's message and empty line
    return fresh;
  }
  void Mark() { mark = Lines().size() + 2; }

  static std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "the file must end with a line feed";
    return lines;
  }

  // One frame-driver pass 200 ms later (logic runs free, so every pass takes the snapshot).
  static void Pass(Uint32 ms = 200) {
    ydxtest::ManualClock::Advance(ms);
    Yandorix.Update(NULL);
  }
  // Holds a key for one logic frame and lets it go.
  static void Press(int key) {
    Uint8* keys = SDL_GetKeyState(NULL);
    keys[key] = 1;
    Pass();
    keys[key] = 0;
    Pass();
  }
  // Types text made of keys that need no shift: lower-case letters, digits, blanks and . / -
  static void Type(const std::string& text) {
    for (char c : text) Press((unsigned char)c);
  }
  static void ReleaseKeys() {
    int count = 0;
    Uint8* keys = SDL_GetKeyState(&count);
    for (int i = 0; i < count; ++i) keys[i] = 0;
  }
  // Shows the console at once (feature bit 4 switches visibility without the fade).
  static void ShowConsole() {
    if (!(Yandorix.ConFeatures(-1) & 4)) Yandorix.ConFeatures(4);
    Yandorix.ConSetVisible(1);
  }
  static bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  size_t mark = 0;
};
