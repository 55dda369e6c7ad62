// Quick players through the X test extension, several events inside one logic frame: every click counts
// where it happened, sliders follow the whole drag, and typed keys and clicks go to whoever was reading
// when they were made. A case ends with a click on a marker button: once its callback ran, all was judged.
#include "InputTest.h"
#include "XTestInput.h"
#include <functional>

namespace {

std::vector<Uint32> callTicks, renderTicks, releaseTicks;   // when callbacks ran, renders and releases were polled
void CountCall(void* counter, void*) {
  ++*static_cast<int*>(counter);
  callTicks.push_back(Yandorix_Ticks());
}
void DrawAndNote(int) {
  renderTicks.push_back(Yandorix_Ticks());
  IButton->Draw();
}
void Note(void* order, void* name) { *static_cast<std::string*>(order) += static_cast<const char*>(name); }
int sliderId = -1, sliderCalls = 0, sliderValue = -1;
void SliderMoved(void*, void*) { sliderCalls++, sliderValue = IButton->GetValue(sliderId); }
void OpenConsole(void*, void*) { Yandorix.ConSetVisible(1); }
std::vector<std::string> runs;   // the lines the "score" command ran
int Score(std::vector<std::string>* words) {
  runs.push_back(words->size() > 1 ? (*words)[1] : "");
  return 1;
}
typedef std::function<void(XTestInput&)> Sequence;

class XTestGame : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    SaveButtonTiles(handle, "ok", 80, 40);
    Button(1, 500, 300, &markers);
    Yandorix.SetRenderCallback(DrawAndNote);
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
  // The loop until `condition` holds; each logic step counts the key button's actions and the typed
  // keys left waiting, and reads typed keys while the game reads them. With `stepMs` set, time is the
  // manual clock's: each logic step lasts that long and each pass in between a millisecond.
  bool Await(const std::function<bool()>& condition) {
    return ydxtest::WaitUntil(condition, 60000, [this] {
      SDL_Event event;
      while (Yandorix.Update(&event)) {
        if (event.type == SDL_MOUSEBUTTONUP) releaseTicks.push_back(Yandorix_Ticks());
        if (stepMs) ydxtest::ManualClock::Advance(1);
      }
      keyActions += keyButton > 0 && IButton->Check() == keyButton;
      waiting = std::max(waiting, (int)MainPrivate()->keypresses.count);
      for (int key; gameReads && (key = Yandorix.GetKeyPressed(150)) != 0;) gameTyped += (char)key;
      ydxtest::ManualClock::Advance(stepMs);
    });
  }
  // The game takes the events itself, as a movie or a cut scene does, until `condition` holds.
  static bool TakeEvents(const std::function<bool()>& condition) {
    return ydxtest::WaitUntil(condition, 60000, [] {
      SDL_Event event;
      while (SDL_PollEvent(&event)) {
      }
    });
  }
  // Plays what was queued and a click on the marker, until its callback ran and no button fires.
  bool Settle(const std::function<bool()>& done) {
    int before = markers;
    x.Click(540, 320, 20).Send();
    return Await([&] { return markers > before && IButton->Check() == -1 && done(); });
  }

  XTestInput x;
  int markers = 0, keyButton = -1, keyActions = 0, waiting = 0;
  bool gameReads = false;
  std::string gameTyped;
  Uint32 stepMs = 0;
};

}  // namespace

TEST_F(XTestGame, EveryClickCountsWhereItHappened) {
  int taps = 0;
  int first = Button(1, 100, 100, &taps);   // strictly inside: 101..178 x 101..138
  auto clicks = [](unsigned spacing) -> Sequence {
    return [spacing](XTestInput& in) {
      for (int i = 0; i < 10; i++) in.Click(140, 120, i ? spacing - 5 : 20);
    };
  };
  const struct {
    const char* what;
    Sequence play;
    int callbacks;
    Uint32 stepMs;   // how long each logic step lasts on the manual clock; 0: the real clock
  } cases[] = {
      {"30 ms apart", clicks(30), 10, 0},
      {"60 ms apart", clicks(60), 10, 0},
      {"80 ms apart", clicks(80), 10, 0},
      {"150 ms apart", clicks(150), 10, 0},
      {"pressed elsewhere, released on it",
       [](XTestInput& in) { in.Move(300, 250, 20).Button(true).Move(140, 120, 60).Button(false, 60); }, 0, 0},
      {"clicked elsewhere, moved onto it in the frame",
       [](XTestInput& in) { in.Click(300, 250, 20).Move(140, 120, 5); }, 0, 0},
      {"clicked on it, moved off in the frame", [](XTestInput& in) { in.Click(140, 120, 20).Move(300, 250, 5); }, 1,
       0},
      {"released off it while the game took the events, then pressed elsewhere and released on it",
       [this](XTestInput& in) {
         in.Move(140, 120, 20).Button(true).Send();
         ASSERT_TRUE(Await([] { return (Yandorix.mousebuttons & 1) != 0; }));
         in.Move(300, 250, 20).Button(false, 20).Send();
         ASSERT_TRUE(TakeEvents([] { return !(SDL_GetMouseState(NULL, NULL) & 1); }));
         in.Button(true, 20).Move(140, 120, 60).Button(false, 60);
       },
       0, 0},
      {"a quick click the game took itself, shown down at one snapshot only",
       [](XTestInput& in) {
         for (bool down : {true, false}) {
           in.Move(140, 120, 20).Button(down).Send();
           ASSERT_TRUE(TakeEvents([down] { return ((SDL_GetMouseState(NULL, NULL) & 1) != 0) == down; }));
           LoopOnce();
         }
       },
       1, 0},
      // Steps four times their budget at 20 logic frames a second: the game still renders twice a second
      // and runs each click's callback within a second of it, warning once that it fell behind.
      {"100 ms apart, in a game whose steps take 200 ms", clicks(100), 10, 200},
  };
  const char kBehind[] = "logic frames are dropped so that the game still renders";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    taps = 0;
    size_t warnings = Count(ydxtest::LogText(), kBehind);
    if (c.stepMs) ydxtest::ManualClock::Install(SDL_GetTicks());
    stepMs = c.stepMs;
    callTicks.clear(), renderTicks.clear(), releaseTicks.clear();
    c.play(x);
    ASSERT_TRUE(Settle([&] { return taps >= c.callbacks; }));
    stepMs = 0;
    Yandorix_SetClock(NULL);
    EXPECT_EQ(taps, c.callbacks);
    if (!c.stepMs) continue;
    for (size_t i = 1; i < renderTicks.size(); ++i) EXPECT_LE(renderTicks[i] - renderTicks[i - 1], 500u) << i;
    ASSERT_GE(releaseTicks.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_LE(callTicks[i] - releaseTicks[i], 1000u) << i;
    EXPECT_EQ(Count(ydxtest::LogText(), kBehind), warnings + 1);
  }

  // Clicks on two buttons act in the order they happened, several inside one logic frame.
  std::string order;
  IButton->SetFunction(first, Note, &order, (void*)"A");
  IButton->SetFunction(Button(1, 200, 100, NULL), Note, &order, (void*)"B");
  for (int i = 0; i < 10; i++) x.Click(140, 120, 25).Click(240, 120, 25);
  ASSERT_TRUE(Settle([&] { return order.size() >= 20; }));
  EXPECT_EQ(order, "ABABABABABABABABABAB");
}

TEST_F(XTestGame, SlidersFollowTheDragAndTheOpenConsoleOwnsItsInput) {
  // Range 128 on a 160-pixel track: 110 pixels between its ends at 125 and 235; 64 puts the knob at 175.
  SaveButtonTiles(handle, "wide", 160, 20, false, 10, 10);
  IButtonNew wide = Desc(8, 100, 200, 128, 64);
  sliderId = IButton->Create(&wide, "wide", 0, handle);
  IButton->SetFunction(sliderId, SliderMoved, NULL, NULL);
  auto drag = [](int x, int y) -> Sequence {
    return [x, y](XTestInput& in) { in.Move(180, 210, 20).Button(true).Move(x, y, 60).Button(false, 60); };
  };
  const struct {
    const char* what;
    Sequence play;
    int value;
  } drags[] = {
      {"flicked past the right end in a frame",
       [](XTestInput& in) { in.Move(180, 210, 20).Button(true).Move(400, 210, 5).Button(false, 5); }, 128},
      {"released past the left end, outside", drag(20, 300), 0},
      {"released below, 75 pixels along", drag(200, 350), 87},
      {"tapped 5 pixels along", [](XTestInput& in) { in.Click(130, 210, 20); }, 5},
  };
  for (const auto& d : drags) {
    SCOPED_TRACE(d.what);
    IButton->SetValue(sliderId, 64);
    sliderCalls = 0;
    d.play(x);
    ASSERT_TRUE(Settle([] { return sliderCalls > 0; }));
    EXPECT_EQ(sliderCalls, 1);
    EXPECT_EQ(sliderValue, d.value);
  }

  // Keys typed while nothing reads them never reach the console a button opens.
  Yandorix.ConEnable();
  Yandorix.ConFeatures(4);   // shown and hidden at once
  ASSERT_EQ(Yandorix.ConAddCmdHandler("score", "keeps its line", Score), 1);
  IButton->SetFunction(Button(1, 300, 200, NULL), OpenConsole, NULL, NULL);
  x.Type("score 9", 40).Click(340, 220, 40).Send();
  ASSERT_TRUE(Await([] { return Yandorix.ConisVisible() == 1; }));
  x.Key("Return", 20).Type("score 7", 40).Key("Return", 40).Send();
  ASSERT_TRUE(Await([] { return !runs.empty(); }));
  EXPECT_EQ(runs, std::vector<std::string>{"7"});

  // The open console owns its keys and clicks: a shortcut key held while typing does not act, nor does
  // a click on it reach the button under it.
  int under = 0;
  Button(1, 100, 40, &under);
  keyButton = Button(1, 300, 360, NULL);
  IButton->SetKey(keyButton, SDLK_j);
  runs.clear();
  x.Click(140, 60, 20).Type("score ", 40).Key("j", 40, 600).Key("Return", 20);
  ASSERT_TRUE(Settle([] { return !runs.empty(); }));
  EXPECT_EQ(runs[0].substr(0, 1), "j") << "typed, then repeated while held";
  EXPECT_EQ(keyActions, 0);
  EXPECT_EQ(under, 0);

  // 50 characters at 25 a second: every key is taken in the logic frame it arrived in.
  std::string word;
  for (int i = 0; i < 44; i++) word += (char)('a' + i % 26);
  runs.clear();
  waiting = 0;
  x.Type("score " + word, 35).Key("Return", 35).Send();
  ASSERT_TRUE(Await([] { return !runs.empty(); }));
  EXPECT_EQ(runs, std::vector<std::string>{word});
  EXPECT_EQ(waiting, 0);

  // What is typed before the toggle key closes the console is the console's; a key held while the
  // console opens was the game's and does not repeat into it.
  runs.clear();
  x.Type("score 3", 35).Key("Return", 35).Key("grave", 5).Send();
  ASSERT_TRUE(Await([] { return !runs.empty() && Yandorix.ConisVisible() == 0; }));
  x.KeyEvent("w", true, 20).Key("grave", 100).KeyEvent("w", false, 700).Type("score 5", 40).Key("Return", 40);
  ASSERT_TRUE(Settle([] { return true; }));
  EXPECT_EQ(runs, (std::vector<std::string>{"3", "5"}));

  // Keys typed with the pointer elsewhere never appear in an input box it moves onto later; the
  // backquote opening and closing the console over it is typed into neither.
  Yandorix.ConSetVisible(0);
  int box = Button(64, 100, 250, NULL);
  IButton->SetTextFont(box, Yandorix.ConGetFont());
  x.Move(560, 380, 20).Type("wasd", 40).Move(140, 270, 40).Send();
  ASSERT_TRUE(Await([box] {
    return IButton->GetState(box) == 2 && Yandorix_InputBoxAt(MainPrivate()->polledx, MainPrivate()->polledy) == box - 1;
  }));
  // What is typed into it while the game hitches (no renders) is the box's all the same.
  x.Type("xyz", 60).Send();
  SDL_Event queued[3];
  ASSERT_TRUE(ydxtest::WaitUntil([&] { return SDL_PeepEvents(queued, 3, SDL_PEEKEVENT, SDL_KEYDOWNMASK) == 3; }, 60000,
                                 SDL_PumpEvents));
  ASSERT_TRUE(Await([box] { return strlen(IButton->GetText(box)) >= 3; }));
  EXPECT_STREQ(IButton->GetText(box), "xyz");
  x.Key("grave", 20).Send();
  ASSERT_TRUE(Await([] { return Yandorix.ConisVisible() == 1; }));
  x.Key("grave", 40).Type("w", 40).Send();
  ASSERT_TRUE(Await([box] { return strlen(IButton->GetText(box)) >= 4; }));
  EXPECT_STREQ(IButton->GetText(box), "xyzw");
}

// A typed key goes to whoever had the focus when it was polled: an input box the pointer was over keeps
// it even once the pointer has left, and a game that reads keys gets what is typed elsewhere. A game's
// own RenderNeeded(2) outlasts every box the pointer crosses.
TEST_F(XTestGame, KeysGoToWhoeverHadTheFocusAndBoxesKeepTheRenderMode) {
  int left = Button(64, 100, 250, NULL), right = Button(64, 300, 250, NULL);
  for (int box : {left, right}) IButton->SetTextFont(box, Yandorix.ConGetFont());
  Yandorix.RenderNeeded(2);   // as a game that repaints its whole screen does once
  const struct {
    const char* what;
    bool gameReads;
    Sequence play;
    const char *left, *right, *game;
  } rows[] = {
      {"typed 5 ms apart on a box, the pointer leaving at once", false,
       [](XTestInput& in) { in.Move(140, 270, 20).Type("ab", 5).Move(560, 380); }, "ab", "", ""},
      {"typed while the pointer crosses two boxes", false,
       [](XTestInput& in) { in.Move(140, 270, 20).Key("c", 5).Move(340, 270, 5).Key("d", 5).Move(560, 380, 5); },
       "c", "d", ""},
      {"typed away from the boxes while the game reads keys", true,
       [](XTestInput& in) { in.Move(560, 380, 20).Type("ef", 30).Move(140, 270, 5); }, "", "", "ef"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    gameReads = row.gameReads;
    gameTyped.clear();
    row.play(x);
    size_t expected = strlen(row.left) + strlen(row.right) + strlen(row.game);
    ASSERT_TRUE(Settle([&] {
      return strlen(IButton->GetText(left)) + strlen(IButton->GetText(right)) + gameTyped.size() >= expected;
    }));
    EXPECT_STREQ(IButton->GetText(left), row.left);
    EXPECT_STREQ(IButton->GetText(right), row.right);
    EXPECT_EQ(gameTyped, row.game);
    EXPECT_EQ(MainPrivate()->renderneeded, 2);
    IButton->SetText(left, "");
    IButton->SetText(right, "");
  }
}
