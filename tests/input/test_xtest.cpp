// Quick players through the X test extension: sequences the X server plays in real time while the game
// loop runs, several events inside one logic frame. Every click counts where it happened, sliders
// follow the whole drag, and typed keys and clicks go to whoever was reading when they were made.
// Each case ends with a click on a marker button: once its callback ran, everything before was judged.
#include "InputTest.h"
#include "XTestInput.h"
#include <functional>

namespace {

void CountCall(void* counter, void*) { ++*static_cast<int*>(counter); }

int sliderId = -1, sliderCalls = 0, sliderValue = -1;
void SliderMoved(void*, void*) {
  sliderCalls++;
  sliderValue = IButton->GetValue(sliderId);
}

void OpenConsole(void*, void*) { Yandorix.ConSetVisible(1); }

std::vector<std::string> runs;   // the lines the "score" command ran
int Score(std::vector<std::string>* words) {
  std::string line;
  for (const std::string& word : *words) line += (line.empty() ? "" : " ") + word;
  runs.push_back(line);
  return 1;
}

class XTestGame : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    SaveButtonTiles(handle, "ok", 80, 40);
    marker = Button(1, 500, 300, &markers);
    ASSERT_TRUE(x.Open()) << "no X test extension or no window";
  }
  void TearDown() override {
    x.Close();
    InputTest::TearDown();
  }
  int Button(int kind, int left, int top, int* counter) {
    IButtonNew d = Desc(kind, left, top);
    int id = IButton->Create(&d, "ok", 0, handle);
    EXPECT_GT(id, 0);
    if (counter) IButton->SetFunction(id, CountCall, counter, NULL);
    return id;
  }
  // One turn of the game loop, then what its logic step looks at.
  void Step() {
    LoopOnce();
    if (keyButton > 0 && IButton->Check() == keyButton) keyActions++;
    waitingAfterFrame = std::max(waitingAfterFrame, (int)MainPrivate()->keypresses.count);
  }
  bool Await(const std::function<bool()>& condition) {
    return ydxtest::WaitUntil(condition, 60000, [this] { Step(); });
  }
  // A click on the marker after what was sent, and the loop run until its callback ran and nothing
  // else is still firing.
  bool Settle(const std::function<bool()>& done = [] { return true; }) {
    int before = markers;
    x.Click(540, 320, 20).Send();
    return Await([&] { return markers > before && IButton->Check() == -1 && done(); });
  }

  XTestInput x;
  int marker = -1, markers = 0;
  int keyButton = -1, keyActions = 0;
  int waitingAfterFrame = 0;
};

}  // namespace

TEST_F(XTestGame, EveryClickCountsWhereItHappened) {
  int taps = 0;
  int ok = Button(1, 100, 100, &taps);   // strictly inside: 101..178 x 101..138
  auto clicks = [](int spacing) {
    return [spacing](XTestInput& in) {
      for (int i = 0; i < 10; i++) in.Click(140, 120, i ? spacing - 5 : 20);
    };
  };
  const struct {
    const char* what;
    std::function<void(XTestInput&)> play;
    int callbacks;
  } cases[] = {
      {"10 clicks 30 ms apart", clicks(30), 10},
      {"10 clicks 60 ms apart", clicks(60), 10},
      {"10 clicks 80 ms apart", clicks(80), 10},
      {"10 clicks 150 ms apart", clicks(150), 10},
      {"pressed on the field, released on the button",
       [](XTestInput& in) { in.Move(300, 250, 20).Button(1, true).Move(140, 120, 60).Button(1, false, 60); }, 0},
      {"clicked on the field, then the pointer moved onto the button within the frame",
       [](XTestInput& in) { in.Click(300, 250, 20).Move(140, 120, 5); }, 0},
      {"clicked on the button, then the pointer moved off within the frame",
       [](XTestInput& in) { in.Click(140, 120, 20).Move(300, 250, 5); }, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    taps = 0;
    c.play(x);
    ASSERT_TRUE(Settle([&] { return taps >= c.callbacks; }));
    EXPECT_EQ(taps, c.callbacks);
  }
  EXPECT_GT(ok, 0);
}

TEST_F(XTestGame, SlidersFollowTheDragAndTheOpenConsoleOwnsItsInput) {
  // Range 128 on a 160-pixel track (110 pixels between its ends at 125 and 235); the knob sits at 175
  // for 64.
  SaveButtonTiles(handle, "wide", 160, 20, false, 10, 10);
  IButtonNew wide = Desc(8, 100, 200, 128, 64);
  sliderId = IButton->Create(&wide, "wide", 0, handle);
  ASSERT_GT(sliderId, 0);
  IButton->SetFunction(sliderId, SliderMoved, NULL, NULL);
  const struct {
    const char* what;
    std::function<void(XTestInput&)> play;
    int value;
  } drags[] = {
      {"flicked past the right end within a frame",
       [](XTestInput& in) { in.Move(180, 210, 20).Button(1, true).Move(400, 210, 5).Button(1, false, 5); }, 128},
      {"dragged past the left end and released outside the slider",
       [](XTestInput& in) {
         in.Move(180, 210, 20).Button(1, true).Move(150, 210, 60).Move(20, 300, 60).Button(1, false, 60);
       },
       0},
      {"dragged to 75 pixels along the track and released below it",
       [](XTestInput& in) { in.Move(180, 210, 20).Button(1, true).Move(200, 350, 60).Button(1, false, 60); }, 87},
      {"a tap 5 pixels along the track", [](XTestInput& in) { in.Click(130, 210, 20); }, 5},
  };
  for (const auto& drag : drags) {
    SCOPED_TRACE(drag.what);
    IButton->SetValue(sliderId, 64);
    sliderCalls = 0;
    drag.play(x);
    ASSERT_TRUE(Settle([] { return sliderCalls > 0; }));
    EXPECT_EQ(sliderCalls, 1);
    EXPECT_EQ(sliderValue, drag.value);
    EXPECT_EQ(IButton->GetValue(sliderId), drag.value);
  }

  // Keys typed while nothing reads them never reach the console a button opens.
  Yandorix.ConEnable();
  Yandorix.ConFeatures(4);   // shown and hidden at once
  ASSERT_EQ(Yandorix.ConAddCmdHandler("score", "keeps its line", Score), 1);
  int opener = Button(1, 300, 200, NULL);
  IButton->SetFunction(opener, OpenConsole, NULL, NULL);
  x.Type("score 9", 40).Click(340, 220, 40).Send();
  ASSERT_TRUE(Await([] { return Yandorix.ConisVisible() == 1; }));
  x.Key("Return", true, 20).Key("Return", false, 5).Type("score 7", 40).Key("Return", true, 40).Key("Return", false, 5);
  x.Send();
  ASSERT_TRUE(Await([] { return !runs.empty(); }));
  EXPECT_EQ(runs, std::vector<std::string>{"score 7"});

  // The open console owns its keys and the clicks on it: a button's shortcut key held while typing
  // does not act, nor does a click on the console reach the button under it.
  int under = 0;
  Button(1, 100, 40, &under);
  keyButton = Button(1, 300, 400 - 40, NULL);
  IButton->SetKey(keyButton, SDLK_j);
  runs.clear();
  x.Click(140, 60, 20).Type("score ", 40).Key("j", true, 40).Key("j", false, 600).Key("Return", true, 20);
  x.Key("Return", false, 5).Send();
  ASSERT_TRUE(Settle([] { return !runs.empty(); }));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].compare(0, 7, "score j"), 0) << runs[0];
  EXPECT_EQ(keyActions, 0);
  EXPECT_EQ(under, 0);

  // 50 characters at 25 a second: every key is taken in the logic frame it arrived in.
  std::string line = "score ";
  for (int i = 0; i < 44; i++) line += (char)('a' + i % 26);
  runs.clear();
  waitingAfterFrame = 0;
  x.Type(line, 40).Key("Return", true, 40).Key("Return", false, 5).Send();
  ASSERT_TRUE(Await([] { return !runs.empty(); }));
  EXPECT_EQ(runs, std::vector<std::string>{line});
  EXPECT_EQ(waitingAfterFrame, 0);

  // Keys typed with the pointer elsewhere never appear in an input box it moves onto later.
  Yandorix.ConSetVisible(0);
  int box = Button(64, 100, 250, NULL);
  IButton->SetTextFont(box, Yandorix.ConGetFont());
  x.Move(560, 380, 20).Type("wasd", 40).Move(140, 270, 40).Send();
  ASSERT_TRUE(Await([box] { return IButton->GetState(box) == 2 && Yandorix_InputBoxEditing(); }));
  x.Type("x", 20).Send();
  ASSERT_TRUE(Await([box] { return IButton->GetText(box)[0] != '\0'; }));
  EXPECT_STREQ(IButton->GetText(box), "x");
  // The backquote that opens and closes the console over it is typed into neither.
  x.Key("grave", true, 20).Key("grave", false, 5).Send();
  ASSERT_TRUE(Await([] { return Yandorix.ConisVisible() == 1; }));
  x.Key("grave", true, 40).Key("grave", false, 5).Type("y", 40).Send();
  ASSERT_TRUE(Await([box] { return strlen(IButton->GetText(box)) >= 2; }));
  EXPECT_STREQ(IButton->GetText(box), "xy");
}
