// Fixture and helpers shared by the core runtime tests: a manual clock from the start, the library
// started with the log at every level, and a screen on the dummy driver when a test asks for one.
#pragma once
#include "YdxTest.h"
#include "01_Main.h"
#include <string>

class CoreTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::ManualClock::Install(1000);
  }
  void TearDown() override {
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  // Log into test.log at every level, then Init with video and timer.
  void StartLibrary() {
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  }
  void OpenScreen(int depth = 32, int width = 640, int height = 480) {
    Yandorix.window = 1;
    Yandorix.colordepth = (Uint8)depth;
    Yandorix.resolutionx = (Uint16)width;
    Yandorix.resolutiony = (Uint16)height;
    ASSERT_EQ(Yandorix.SetVideoMode(), 1);
    SDL_Event ignored;
    while (SDL_PollEvent(&ignored)) {
    }
  }
  static size_t Count(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
      count++;
    return count;
  }
  static bool Contains(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
  }
};
