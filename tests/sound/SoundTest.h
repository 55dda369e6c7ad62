// Fixture of the sound and video tests: the library started with its log at every level, the audio
// driver each test picks (disk output in the test directory, dummy, or one that cannot open), and
// helpers for the generated files and the log.
#pragma once
#include "YdxTest.h"
#include "01_Main.h"
#include "60_SoundFX.h"
#include "SoundAssets.h"
#include <cstdlib>
#include <string>

class SoundTest : public YdxTest {
 protected:
  void TearDown() override {
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  // "disk" writes the mixed output to out.raw in the test directory, faster than real time.
  void UseAudioDriver(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
  }
  void StartLibrary(const char* driver = "dummy") {
    UseAudioDriver(driver);
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  }
  // The mixer at 22050 Hz, signed 16-bit, stereo, from the main object's settings.
  void OpenMixer(int format = 16) {
    Yandorix.audioenable = 1;
    Yandorix.audioformat = format;
    Yandorix.audiofrequency = 22050;
    Yandorix.audiomode = 2;
    Yandorix.audiobuffer = 1024;
    ASSERT_EQ(ISoundFX->Init(), 1);
  }
  void OpenScreen(int width = 640, int height = 400) {
    Yandorix.colordepth = 32;
    Yandorix.resolutionx = (Uint16)width;
    Yandorix.resolutiony = (Uint16)height;
    ASSERT_EQ(Yandorix.SetVideoMode(), 1);
    SDL_Event ignored;
    while (SDL_PollEvent(&ignored)) {
    }
  }
  static std::string Save(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(ydxsnd::Save(name, bytes)) << name;
    return name;
  }
  // Writes a generated file and stores it in the archive under its own name, for tests that compare
  // the file with the block.
  static void SaveAndImport(int archive, const char* name, const std::string& bytes) {
    Save(name, bytes);
    ASSERT_GT(ISoundFX->SoundImport(archive, name, name), 0) << name;
  }
  static bool Logged(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
  static char* C(const std::string& s) { return const_cast<char*>(s.c_str()); }
};
