// Test harness shared by every test executable: a fresh temporary directory per test, the SDL drivers
// set so no test touches a real display or sound card, and a clock the test drives by hand.
#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <Yandorix.h>
#include <functional>
#include <string>
#include <vector>

namespace ydxtest {

// The library's clock seam, driven by the test: every time reading inside the library returns this.
struct ManualClock {
  static Uint32 now;
  static Uint32 Read() { return now; }
  static void Install(Uint32 start = 1000);
  static void Advance(Uint32 ms) { now += ms; }
};

// Reads a whole file; empty when it is missing.
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Puts a key event into SDL's queue, as the keyboard would (SDL's key array is left alone).
void PushKey(Uint8 type, SDLKey key, SDLMod modifiers = KMOD_NONE);

// A free TCP port that stays kept for this test process: nothing else on the machine is given it while
// the process runs, and the test's own servers listen on it (0 when none could be found).
uint16_t FreePort();

// Starts the log into "test.log" in the test directory with every level, and returns its path.
std::string StartLog(int outputs = 2);
// What the log wrote so far.
std::string LogText();

// Runs `step` (when given) and tests `condition` until it holds or `ms` of real time pass; true when it
// held. The deadline only bounds a hang: a busy machine makes the wait longer, never the outcome other.
bool WaitUntil(const std::function<bool()>& condition, int ms = 60000, const std::function<void()>& step = {});

}  // namespace ydxtest

// Base fixture: each test runs in its own fresh directory with dummy SDL drivers.
class YdxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir;      // the test's own temporary directory (also the working directory)
 private:
  std::string olddir;
};
