// The debug watch window: where it opens and how often it re-reads its watches.
#include "ConsoleTest.h"

namespace {

// A debug window of the test's own, so its text lines can be read.
class ProbeWindow : public cDebugWO {
 public:
  explicit ProbeWindow(cConsole* console) : cDebugWO(console, NULL) {}
  const std::vector<std::string>& Text() const { return lines; }
};

}  // namespace

TEST_F(ConsoleTest, DebugWindowOpensInTheMiddleThirdOfTheScreen) {
  const SDL_Rect* rect = Yandorix.DwGetRect();
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->x, 213);
  EXPECT_EQ(rect->y, 200);
  EXPECT_EQ(rect->w, 213);
  EXPECT_EQ(rect->h, 133);
  EXPECT_EQ(Yandorix.DwisEnabled(), 0);
  EXPECT_EQ(Yandorix.DwisVisible(), 0);
  Uint8 r, g, b;
  SDL_GetRGB(Yandorix.DwGetBgColor(), Yandorix.screen->format, &r, &g, &b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 192);
  EXPECT_EQ(b, 0);
  const SDL_Rect* console = Yandorix.ConGetRect();
  EXPECT_EQ(console->x, 0);
  EXPECT_EQ(console->y, 0);
  EXPECT_EQ(console->w, 640);
  EXPECT_EQ(console->h, 133);
}

TEST_F(ConsoleTest, WatchesAreReadAgainEvery500ms) {
  int hp = 5;
  double speed = 2.5;
  ProbeWindow window(MainPrivate()->console);
  ASSERT_EQ(window.DebugWinAddWatch((char*)"hp", &hp, NULL), 1);
  ASSERT_EQ(window.DebugWinAddWatch((char*)"speed", NULL, &speed), 1);
  ASSERT_EQ(window.DebugWinAddWatch((char*)"both", &hp, &speed), 1);
  window.Enable();
  window.Features(4);
  window.SetVisible(1);

  ydxtest::ManualClock::now = 999;
  EXPECT_EQ(window.Update(), 0);   // the first refresh comes once the clock reaches 1000
  EXPECT_TRUE(window.Text().empty());
  ydxtest::ManualClock::now = 1000;
  EXPECT_EQ(window.Update(), 1);
  EXPECT_EQ(window.Text(), (std::vector<std::string>{"hp 5", "speed 2.5000", "both 5 2.5000"}));

  hp = -12;
  speed = 1.0 / 3.0;
  EXPECT_EQ(window.Update(), 0);   // a new wait starts here, at 1000
  ydxtest::ManualClock::now = 1499;
  EXPECT_EQ(window.Update(), 0);
  EXPECT_EQ(window.Text()[0], "hp 5");
  ydxtest::ManualClock::now = 1500;
  EXPECT_EQ(window.Update(), 1);
  EXPECT_EQ(window.Text(), (std::vector<std::string>{"hp -12", "speed 0.3333", "both -12 0.3333"}));

  window.DebugWinRemoveWatch("speed");
  window.Disable();   // a disabled window is not updated
  ydxtest::ManualClock::now = 5000;
  EXPECT_EQ(window.Update(), 0);
  EXPECT_EQ(window.Text().size(), 3u);
}
