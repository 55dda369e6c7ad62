// Input made the way a player makes it: the library on SDL's x11 driver in a virtual display of the
// test's own, run by the loop games write (Update until it returns 0, one logic step, a render callback
// that draws the buttons), while xdotool clicks, drags and types into its window through the X test
// extension. Skipped with a message when Xvfb or xdotool is missing.
#pragma once
#include "../ui/UiTest.h"
#include "XvfbServer.h"
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace inputtest {
inline void DrawButtons(int) { IButton->Draw(); }
}  // namespace inputtest

class InputTest : public UiTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    if (!ydxtest::OnPath("Xvfb") || !ydxtest::OnPath("xdotool"))
      GTEST_SKIP() << "Xvfb or xdotool is missing (make setup installs them): real X input is not tested";
    if (ydxtest::StartXvfb("800x600x24") < 0) GTEST_SKIP() << "Xvfb did not start: real X input is not tested";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
    Yandorix.title = const_cast<char*>(kTitle);   // the caption is only read
    Yandorix.window = 1;
    Yandorix.colordepth = 32;
    Yandorix.resolutionx = 640;
    Yandorix.resolutiony = 400;
    Yandorix.mtfriendly = 1;
    ASSERT_EQ(Yandorix.SetVideoMode(), 1);
    ITimeSystem->Init(0);
    ITimeSystem->SetRate(60, 20);
    Yandorix.SetRenderCallback(inputtest::DrawButtons);
    handle = IStuffDPF->Create("buttons.dpf");
    ASSERT_GT(handle, 0);
  }
  void TearDown() override {
    if (handle > 0) IStuffDPF->Close(handle);
    UiTest::TearDown();
    ydxtest::StopXvfb();
  }

  // Plays xdotool `actions` (shell commands; $w is the library's window, focused) while the game loop
  // runs, then runs the loop until `done` holds; true when every action succeeded and `done` came
  // within the deadline, which only bounds a hang.
  bool Play(const std::string& actions, const std::function<bool()>& done) {
    std::string script = std::string("w=$(timeout 20 xdotool search --sync --name '^") + kTitle +
                         "$' | head -n 1); [ -n \"$w\" ] || exit 3; xdotool windowfocus --sync $w || exit 4; " +
                         "set -e; " + actions;
    pid_t child = fork();
    if (child == 0) {
      execl("/bin/sh", "sh", "-c", script.c_str(), (char*)NULL);
      _exit(127);
    }
    if (child < 0) return false;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) LoopOnce();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    return ydxtest::WaitUntil(done, 60000, LoopOnce);
  }
  // One turn of the game loop: every event and frame up to the next logic frame, then the logic step.
  static void LoopOnce() {
    SDL_Event event;
    while (Yandorix.Update(&event)) {
    }
  }

  static constexpr const char* kTitle = "Yandorix input test";
  int handle = 0;
};
