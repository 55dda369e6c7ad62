// Taps, typing and drags played through the X server while the game loop runs: none of them may be lost
// between two logic frames, typed keys keep their order, and sliders reach both ends of their range.
#include "InputTest.h"
#include <algorithm>

namespace {

int taps = 0;
void CountTap(void*, void*) { ++taps; }

std::vector<std::string> scoreWords;
int ScoreCommand(std::vector<std::string>* words) {
  scoreWords = *words;
  return 1;
}

class TypingTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Yandorix.ConEnable();
    ASSERT_EQ(Yandorix.ConisEnabled(), 1);
    Yandorix.ConFeatures(4);   // shown at once, without the fade
    Yandorix.ConSetVisible(1);
    scoreWords.clear();
    ASSERT_EQ(Yandorix.ConAddCmdHandler("score", "keeps its words", ScoreCommand), 1);
  }
  // The lines entered into the console so far, read back through its history.
  static std::vector<std::string> Entered() {
    unlink("history.txt");
    Yandorix.ConCmd("con history save history.txt");
    std::vector<std::string> lines;
    std::string text = ydxtest::ReadFile("history.txt"), line;
    for (char c : text)
      if (c == '\n') {
        lines.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    return lines;
  }
};

}  // namespace

TEST_F(InputTest, EveryTapOnAPushButtonRunsItsCallbackOnce) {
  SaveButtonTiles(handle, "ok", 80, 40);
  IButtonNew d = Desc(1, 100, 100);
  int id = IButton->Create(&d, "ok", 0, handle);
  ASSERT_GT(id, 0);
  IButton->SetFunction(id, CountTap, NULL, NULL);
  taps = 0;
  ASSERT_TRUE(Play("xdotool mousemove --window $w 140 120; sleep 0.3; "
                   "for i in 1 2 3 4 5; do xdotool click 1; sleep 0.3; done",
                   [] { return taps >= 5; }));
  EXPECT_EQ(taps, 5);
}

TEST_F(TypingTest, TypingReachesTheConsoleWholeAndInOrderAndHeldKeysRepeat) {
  ASSERT_TRUE(Play("xdotool type --delay 30 'score 12345 aBc'; xdotool key Return",
                   [] { return !scoreWords.empty(); }));
  EXPECT_EQ(scoreWords, (std::vector<std::string>{"score", "12345", "aBc"}));
  // Two keys held over each other come out in the order they went down, not in key-code order.
  ASSERT_TRUE(Play("xdotool keydown b keydown a keyup b keyup a; xdotool key Return",
                   [] { return Entered().size() >= 2; }));
  // A held key: its press, then one more 'a' every 120 ms (taken at 50 ms logic frames), about seven in
  // a second; a busy machine may give fewer, never a doubled press.
  ASSERT_TRUE(Play("xdotool keydown a sleep 1 keyup a; xdotool key Return", [] { return Entered().size() >= 3; }));
  std::vector<std::string> lines = Entered();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "ba");
  EXPECT_EQ(lines[2].find_first_not_of('a'), std::string::npos) << lines[2];
  EXPECT_GE(lines[2].size(), 3u) << lines[2];
  EXPECT_LE(lines[2].size(), 12u) << lines[2];
}

TEST_F(InputTest, SlidersReachBothEndsAndFollowADragOutsideThem) {
  // Range 128 on a 160-pixel track: the track (110 pixels between its ends) is shorter than the range.
  SaveButtonTiles(handle, "wide", 160, 20, false, 10, 10);
  IButtonNew wide = Desc(8, 100, 100, 128, 64);
  int w = IButton->Create(&wide, "wide", 0, handle);
  ASSERT_GT(w, 0);
  // Range 10 on a 250-pixel track with a 20-pixel knob: just inside each end gives 0 and 10.
  SaveButtonTiles(handle, "ten", 250, 20, false, 20, 10);
  IButtonNew ten = Desc(8, 100, 200, 10, 5);
  int t = IButton->Create(&ten, "ten", 0, handle);
  ASSERT_GT(t, 0);
  // Press, move (or stay), hold, release; the value the slider is left with, once its release was taken.
  const struct {
    int id, fromx, fromy, tox, toy, value;
  } drags[] = {{w, 180, 110, 600, 140, 128}, {w, 180, 110, 5, 110, 0}, {t, 126, 210, 126, 210, 0},
               {t, 324, 210, 324, 210, 10}};
  std::vector<int> values;
  for (const auto& drag : drags) {
    char actions[256];
    snprintf(actions, sizeof actions,
             "xdotool mousemove --window $w %d %d mousedown 1; sleep 0.2; xdotool mousemove --window $w %d %d; "
             "sleep 0.3; xdotool mouseup 1",
             drag.fromx, drag.fromy, drag.tox, drag.toy);
    int id = drag.id, value = drag.value;
    EXPECT_TRUE(Play(actions, [id, value] {
      return !(Yandorix.mousebuttons & SDL_BUTTON(1)) && IButton->GetValue(id) == value;
    }));
    values.push_back(IButton->GetValue(drag.id));
  }
  EXPECT_EQ(values, (std::vector<int>{128, 0, 0, 10}));
}
