// Buttons in the frame loop, one logic frame at a time on the manual clock: a full click and its
// callback, a held shortcut key, slider steps, check buttons, typing into an input box, masters and
// clones after their master is freed, ids, layer limits and names.
#include "UiTest.h"
#include "../fonts/FontTest.h"

namespace {

int calls = 0;
void CountCall(void* counter, void*) { ++*static_cast<int*>(counter); }

class ButtonTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    calls = 0;
    handle = IStuffDPF->Create("buttons.dpf");
    ASSERT_GT(handle, 0);
  }
  void TearDown() override {
    IStuffDPF->Close(handle);
    UiTest::TearDown();
  }
  // A click at each x in turn (a press frame and a release frame), at y 15.
  static void Clicks(std::initializer_list<int> xs) {
    for (int x : xs) {
      Frame(x, 15, 1);
      Frame(x, 15, 0);
    }
  }
  int handle = 0;
};

}  // namespace

TEST_F(ButtonTest, ClickRunsItsCallbackOnceAtTheNextDraw) {
  SaveButtonTiles(handle, "ok", 40, 20);
  IButtonNew d = Desc(1, 10, 10, 0, 0, kYellow);
  int id = IButton->Create(&d, "ok", 0, handle);
  ASSERT_EQ(id, 1);
  IButton->SetFunction(id, CountCall, &calls, NULL);
  const struct {
    int x, y;
    Uint8 buttons;
    int state;
    Uint32 drawn;   // at (30, 20) after Draw
  } frames[] = {{0, 0, 0, 1, kRed}, {20, 15, 0, 2, kRed}, {20, 15, 1, 4, kGreen}, {21, 16, 1, 4, kGreen},
                {20, 15, 0, 8, kRed}, {20, 15, 0, 2, kRed}, {49, 29, 0, 1, kRed}};
  int actions = 0;
  for (const auto& f : frames) {
    Frame(f.x, f.y, f.buttons);
    EXPECT_EQ(IButton->GetState(id), f.state);
    EXPECT_EQ(IButton->Check(), f.state == 8 ? id : -1);
    EXPECT_EQ(calls, actions) << "the callback waits for the draw";
    actions += f.state == 8;
    EXPECT_EQ(IButton->Draw(), f.state == 8 ? id : -1);
    EXPECT_EQ(calls, actions);
    EXPECT_EQ(At(30, 20), f.drawn);
    EXPECT_EQ(At(10, 10), f.state == 2 ? kYellow : f.drawn) << "the selection rectangle";
  }
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(IButton->WhoIsSelected(), -1);

  // No render fell in the action's frame: the callback runs at the next draw of the button, once.
  Frame(20, 15, 1);
  Frame(20, 15, 0);
  Frame(20, 15, 0);
  EXPECT_EQ(IButton->WhoIsSelected(), id);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(IButton->Draw(), id);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(IButton->Draw(), -1);
  // A later action by its key runs no callback.
  IButton->SetKey(id, SDLK_RETURN);
  HoldKey(SDLK_RETURN, true);
  for (int i = 0; i < 4; ++i) Frame(0, 0, 0);   // held 150 ms at the fourth frame
  EXPECT_EQ(IButton->GetState(id), 8);
  EXPECT_EQ(IButton->Draw(), id);
  EXPECT_EQ(calls, 2);
  HoldKey(SDLK_RETURN, false);
  // Nothing is drawn while no render is needed; settings that change nothing ask for none.
  Frame(0, 0, 0);
  Yandorix.RenderNeeded(0);
  EXPECT_EQ(IButton->Draw(), -1);
  IButton->SetState(id, 1);
  IButton->SetPosition(id, 10, 10);
  IButton->SetVisible(id, 1);
  IButton->SetLayer(0);
  IButton->SetLayerVisibility(0, 1);
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 0);
  IButton->SetState(id, 16);
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 1);
}

// A snapshot the application writes itself (a replay, a pointer a gamepad moves, a loop of its own)
// drives the buttons as its fields say, with no event polled: pressed, then one action and one callback.
TEST_F(ButtonTest, ASnapshotTheApplicationWritesClicksEveryKind) {
  SaveButtonTiles(handle, "s", 160, 20, false, 10, 10);
  const struct {
    int kind, range;
    int pressed, after;   // GetState while held and after the click (a check button's: its check state)
  } kinds[] = {{1, 0, 4, 2}, {8, 128, 4, 2}, {32, 0, 1, 4}};
  auto write = [](Uint8 buttons) {
    Yandorix.prevmousebuttons = Yandorix.mousebuttons;
    Yandorix.mousebuttons = buttons;
    Yandorix.mousex = 130;
    Yandorix.mousey = 110;
    IButton->Update();
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.kind);
    IButtonNew d = Desc(k.kind, 100, 100, k.range);
    int id = IButton->Create(&d, "s", 0, handle);
    IButton->SetFunction(id, CountCall, &calls, NULL);
    calls = 0;
    write(1);
    EXPECT_EQ(IButton->GetState(id), k.pressed);
    write(0);
    EXPECT_EQ(IButton->Check(), id);
    EXPECT_EQ(IButton->Draw(), id);
    write(0);
    IButton->Draw();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(IButton->GetState(id), k.after);
    IButton->Remove(id);
  }
}

// A callback that runs frames of its own: the clicks made in them wait for the next Draw, in the order
// they happened, whatever the buttons' slots.
std::string order;

TEST_F(ButtonTest, CallbacksRunInClickOrderAndNeverForClicksTheButtonLetGoOf) {
  SaveButtonTiles(handle, "ok", 40, 20);
  IButtonNew a = Desc(1, 10, 10), b = Desc(1, 60, 10);
  int first = IButton->Create(&a, "ok", 0, handle), second = IButton->Create(&b, "ok", 0, handle);
  void (*nested)(void*, void*) = [](void* name, void*) {
    order += static_cast<const char*>(name);
    if (order != "A") return;
    Clicks({70, 20});   // B, then A
    Frame(0, 0, 0);
  };
  IButton->SetFunction(first, nested, (void*)"A", NULL);
  IButton->SetFunction(second, nested, (void*)"B", NULL);
  order.clear();
  Clicks({20});
  IButton->Draw();
  EXPECT_EQ(order, "A");
  Yandorix.RenderNeeded(1);
  IButton->Draw();
  EXPECT_EQ(order, "ABA");

  // A click dropped while its layer was hidden keeps no place in the queue: later clicks run in their order.
  IButton->SetFunction(first, [](void*, void*) { order += "a"; }, NULL, NULL);
  IButton->SetFunction(second, [](void*, void*) { order += "b"; }, NULL, NULL);
  order.clear();
  Clicks({70});   // b's click is shown, and nothing draws before its layer is hidden
  IButton->SetLayerVisibility(0, 0);
  Frame(0, 0, 0);
  IButton->SetLayerVisibility(0, 1);
  Clicks({20, 70});
  Frame(0, 0, 0);
  Yandorix.RenderNeeded(1);
  IButton->Draw();
  EXPECT_EQ(order, "ab");

  // A Draw inside a callback runs the clicks shown before its own first; a button hidden and shown
  // again at once keeps none of its clicks; one made anew takes no press recorded before it.
  static int archive;
  archive = handle;
  IButton->SetFunction(first, [](void*, void*) {
    order += "a";
    if (order.size() > 1) return;
    Clicks({20});
    IButton->Draw();   // b, shown before this callback ran, then the a just clicked
  }, NULL, NULL);
  order.clear();
  Clicks({20, 70});
  Frame(0, 0, 0);
  Yandorix.RenderNeeded(1);
  IButton->Draw();
  EXPECT_EQ(order, "aba");

  order.clear();
  Clicks({70});
  IButton->SetVisible(second, 0);
  IButton->SetVisible(second, 1);
  IButton->SetFunction(first, [](void*, void*) {
    order += "a";
    IButton->Remove(2);
    IButtonNew again = Desc(1, 60, 10);
    IButton->Create(&again, "ok", 0, archive);
    IButton->SetFunction(2, [](void*, void*) { order += "B"; }, NULL, NULL);
  }, NULL, NULL);
  Clicks({20});
  for (Uint8 kind : {kMousePress, kMouseRelease})   // polled, not judged yet, when the callback runs
    Yandorix_RecordMouseEvent(sMouseEvent{kind, 1, 0, 70, 15});
  IButton->Draw();
  for (int frame = 0; frame < 3; ++frame) Frame(0, 0, 0);
  Yandorix.RenderNeeded(1);
  IButton->Draw();
  EXPECT_EQ(order, "a");
}

TEST_F(ButtonTest, HeldKeyFiresAfter120msAndAgainWhileHeld) {
  SaveButtonTiles(handle, "k", 10, 10, true);
  IButtonNew d = Desc(4, 300, 300);
  d.key = SDLK_k;
  int id = IButton->Create(&d, "k", 0, handle);
  ASSERT_GT(id, 0);
  HoldKey(SDLK_k, true);
  std::vector<int> actions;
  for (int frame = 0; frame < 30; ++frame) {
    Frame(0, 0, 0, 10);
    int state = IButton->GetState(id);
    EXPECT_TRUE(state == 4 || state == 8) << frame;
    if (state == 8) actions.push_back(frame);
  }
  EXPECT_EQ(actions, (std::vector<int>{13, 27}));   // held 130 ms, then again 130 ms after the restart
  HoldKey(SDLK_k, false);
  Frame(0, 0, 0, 10);
  EXPECT_EQ(IButton->GetState(id), 1);
  // Held from the tick counter's first and last milliseconds on: pressed first, like any other time.
  for (Uint32 start : {0u, 0xFFFFFFF0u}) {
    ydxtest::ManualClock::now = start;
    HoldKey(SDLK_k, true);
    Frame(0, 0, 0, 100);
    EXPECT_EQ(IButton->GetState(id), 4) << start;
    Frame(0, 0, 0, 30);
    EXPECT_EQ(IButton->GetState(id), 4) << start;
    Frame(0, 0, 0);
    EXPECT_EQ(IButton->GetState(id), 8) << start;
    HoldKey(SDLK_k, false);
    Frame(0, 0, 0);
  }
  // Codes beyond SDL's keys never index the key array.
  IButton->SetKey(id, SDLK_LAST + 5);
  Frame(0, 0, 0, 200);
  EXPECT_EQ(IButton->GetState(id), 1);
}

TEST_F(ButtonTest, SliderKnobMovesIn18PixelSteps) {
  SaveButtonTiles(handle, "s", 250, 20, false, 20, 10);
  IButtonNew d = Desc(8, 100, 100, 10, 0);
  int id = IButton->Create(&d, "s", 0, handle);
  ASSERT_GT(id, 0);
  for (int v = 0; v <= 10; ++v) {
    IButton->SetValue(id, v);
    PaintBackdrop();
    IButton->Draw();
    int knob = 100 + 25 + 18 * v;
    EXPECT_EQ(At(knob, 105), kGreen) << v;
    EXPECT_EQ(At(knob + 19, 114), kGreen) << v;
    EXPECT_EQ(At(knob - 1, 105), kRed) << v;
    EXPECT_EQ(At(knob + 20, 105), kRed) << v;
  }
  const struct {
    int x, value;
  } presses[] = {{126, 0}, {224, 5}, {134, 0}, {135, 1}, {324, 10}};
  for (const auto& press : presses) {
    Frame(press.x, 110, 1);
    EXPECT_EQ(IButton->GetState(id), 4);
    IButton->Draw();
    EXPECT_EQ(IButton->GetValue(id), press.value) << press.x;
  }
  IButton->SetValue(id, 300);
  EXPECT_EQ(IButton->GetValue(id), 10);
  IButton->SetValue(id, -5);
  EXPECT_EQ(IButton->GetValue(id), 0);
  // A slider without range, or with a track no longer than its two ends, draws without dividing.
  SaveButtonTiles(handle, "short", 50, 20);
  IButtonNew none = Desc(8, 10, 300, 0, 0), narrow = Desc(8, 10, 350, 5, 2);
  int a = IButton->Create(&none, "s", 0, handle), b = IButton->Create(&narrow, "short", 0, handle);
  IButton->SetState(a, 4);
  IButton->SetState(b, 4);
  Yandorix.mousex = 40;
  EXPECT_EQ(IButton->Draw(), -1);
  EXPECT_EQ(IButton->GetValue(a), 0);
  EXPECT_EQ(IButton->GetValue(b), 2);
}

// A range larger than the track: whole steps never reach the ends, the ends themselves do; a drag that
// began on the slider keeps setting it outside the hit box and acts where it is released, one that
// began elsewhere does not touch it.
TEST_F(ButtonTest, SliderFollowsADragItStartedAndReachesBothEnds) {
  SaveButtonTiles(handle, "s", 160, 20, false, 10, 10);
  IButtonNew d = Desc(8, 100, 100, 128, 64);
  int id = IButton->Create(&d, "s", 0, handle);
  ASSERT_GT(id, 0);
  const struct {
    int x, y;
    Uint8 buttons;
    int state, value;
  } frames[] = {
      {180, 110, 1, 4, 64}, {234, 110, 1, 4, 126}, {235, 110, 1, 4, 128}, {600, 150, 1, 4, 128},
      {20, 110, 1, 4, 0},   {126, 110, 1, 4, 1},   {130, 110, 0, 8, 5},    {600, 110, 1, 1, 5},
      {180, 110, 1, 2, 5},  {600, 110, 0, 1, 5},   {180, 110, 1, 4, 64},   {700, 300, 0, 8, 128},
  };
  for (const auto& f : frames) {
    Frame(f.x, f.y, f.buttons);
    EXPECT_EQ(IButton->GetState(id), f.state) << f.x << "," << (int)f.buttons;
    IButton->Draw();
    EXPECT_EQ(IButton->GetValue(id), f.value) << f.x << "," << (int)f.buttons;
  }
}

TEST_F(ButtonTest, CheckButtonTogglesOnClickAndKeepsItsStateWhileDisabled) {
  SaveButtonTiles(handle, "c", 16, 16);
  IButtonNew d = Desc(32, 50, 50);
  int id = IButton->Create(&d, "c", 0, handle);
  EXPECT_EQ(IButton->GetState(id), 1);
  Frame(55, 55, 1);
  Frame(55, 55, 0);
  IButton->Draw();
  EXPECT_EQ(IButton->GetState(id), 4);
  Frame(0, 0, 0);
  IButton->Draw();
  EXPECT_EQ(At(55, 55), kGreen);
  IButton->SetState(id, 16);
  EXPECT_EQ(IButton->GetState(id), 16);
  Frame(55, 55, 1);
  Frame(55, 55, 0);   // disabled: no action
  EXPECT_EQ(IButton->Check(), -1);
  IButton->Draw();
  EXPECT_EQ(At(55, 55), kBlue);
  IButton->SetState(id, 1);
  EXPECT_EQ(IButton->GetState(id), 4);

  // The callback runs before the check state changes; one that disables the button keeps it disabled,
  // one that removes its button still has it reported.
  struct Seen {
    int id, state;
    void (*then)(int);
  } seen = {id, 0, NULL};
  auto look = [](void* param, void*) {
    Seen* s = static_cast<Seen*>(param);
    s->state = IButton->GetState(s->id);
    if (s->then) s->then(s->id);
  };
  IButton->SetFunction(id, look, &seen, NULL);
  const struct {
    int before;
    void (*then)(int);
    int after;
  } clicks[] = {{4, NULL, 1},
                {1, [](int b) { IButton->SetState(b, 16); }, 16},
                {1, [](int b) { IButton->Remove(b); }, -1}};
  for (const auto& click : clicks) {
    IButton->SetState(id, (char)click.before);
    seen.then = click.then;
    Frame(55, 55, 1);
    Frame(55, 55, 0);
    EXPECT_EQ(IButton->Draw(), id);
    EXPECT_EQ(seen.state, click.before);
    EXPECT_EQ(IButton->GetState(id), click.after);
  }
}

TEST_F(ButtonTest, ClonesOfAFreedMasterDrawNothing) {
  SaveButtonTiles(handle, "m", 12, 12);
  IButtonNew d = Desc(1, 0, 0);
  EXPECT_EQ(IButton->Create(&d, "m", 1, handle), 1000);
  IButton->Info(1000);
  EXPECT_TRUE(LogHas("         + Cloned buttons: 0 - Saved memory: -1.7 Kbytes\n")) << "three 12 x 12 tiles unshared";
  int a = IButton->Clone(1000), b = IButton->Clone(1000);
  EXPECT_EQ(IButton->Clone(1001), -1);
  IButton->SetPosition(a, 100, 100);
  IButton->SetPosition(b, 200, 100);
  IButton->Draw();
  EXPECT_EQ(At(105, 105), kRed);
  EXPECT_EQ(At(205, 105), kRed);
  EXPECT_EQ(IButton->GetNum(), 2);
  EXPECT_EQ(IButton->Info(-2), 3) << "one master and two clones, each counted once";
  IButton->RemoveMaster(1000);
  EXPECT_TRUE(LogHas(" . [IButton->FreeMaster(0)] Warning: this master button still has 2 cloned buttons!\n"));
  PaintBackdrop();
  IButton->Draw();
  EXPECT_EQ(Disturbed(100, 100, 12, 12) + Disturbed(200, 100, 12, 12), 0);
  // A new master in the same slot is no master of the old clones.
  EXPECT_EQ(IButton->Create(&d, "m", 1, handle), 1000);
  int c = IButton->Clone(1000);
  EXPECT_EQ(IButton->Remove(a), 1);
  EXPECT_EQ(IButton->Remove(1000), 0);
  IButton->Info(1000);
  EXPECT_TRUE(LogHas("         + Cloned buttons: 1 - Saved memory: 0.0 Kbytes\n"));
  EXPECT_EQ(IButton->Remove(c), 1);
  EXPECT_EQ(IButton->RemoveMaster(-1), 1);
  EXPECT_EQ(IButton->GetNum(), 1);
  EXPECT_EQ(IButton->Remove(b), 1);
}

TEST_F(ButtonTest, IdsLayerLimitsAndNames) {
  SaveButtonTiles(handle, "b", 8, 8);
  IButtonNew d = Desc(2, 0, 0);
  IButton->SetLayer(2);
  EXPECT_EQ(IButton->GetLayerVisibility(0), 0);
  for (int i = 1; i <= 32; ++i) ASSERT_EQ(IButton->Create(&d, "b", 0, handle), 200 + i);
  EXPECT_EQ(IButton->Create(&d, "b", 0, handle), -1);
  EXPECT_TRUE(LogHas("Warning: we have reached maximum buttons number(32) in this layer(2).\n"));
  EXPECT_EQ(IButton->GetName(203), std::string("b"));
  EXPECT_EQ(IButton->GetName(33), nullptr);
  EXPECT_EQ(IButton->GetName(850), nullptr);
  EXPECT_NE(IButton->GetName(732), nullptr) << "a free slot still has a name field";
  IButton->SetName(203, "a name much longer than its twenty-seven characters");
  EXPECT_EQ(std::string(IButton->GetName(203)), "a name much longer than its");
  IButton->SetMouseButtons(203, 8);
  EXPECT_EQ(IButton->GetMouseButtons(203), 1);
  EXPECT_EQ(IButton->GetValue(203), -1);
  EXPECT_EQ(IButton->RemoveAll(), 32);

  std::string name24(24, 'n'), name25(25, 'n');
  SaveButtonTiles(handle, name24, 8, 8);
  EXPECT_EQ(IButton->Create(&d, name25.c_str(), 0, handle), -1);
  EXPECT_TRUE(LogHas("Error: button name too long, limit on 25 characters.\n"));
  EXPECT_EQ(IButton->Create(&d, name24.c_str(), 0, handle), 201);
  IButtonNew wrong = Desc(3, 0, 0);
  EXPECT_EQ(IButton->Create(&wrong, "b", 0, handle), -1);
  EXPECT_EQ(IButton->Create(&d, "nothing", 0, handle), -1);
  EXPECT_TRUE(LogHas("Error: we could not find valid tiles for this kind of button.\n"));
  EXPECT_EQ(IButton->GetNum(), 1);
}

TEST_F(ButtonTest, InputBoxTakesKeysWhileTheMouseIsOverIt) {
  FontLayout layout;
  SurfacePtr image = FontImage(&layout);
  Yandorix_CFont font;
  ASSERT_EQ(font.Create(image.get()), 96);
  SaveButtonTiles(handle, "in", 100, 16);
  IButtonNew d = Desc(64, 10, 10, 0, 2);   // margins: 0 rows (from the font), 2 columns
  int id = IButton->Create(&d, "in", 0, handle);
  IButton->SetTextFont(id, &font);
  IButton->SetText(id, "ab");
  EXPECT_STREQ(IButton->GetText(id), "ab");
  Frame(50, 15, 1);
  EXPECT_EQ(IButton->GetState(id), 2) << "input boxes are never pressed";
  HoldKey(SDLK_c, true);
  IButton->Draw();
  EXPECT_STREQ(IButton->GetText(id), "abc");
  EXPECT_EQ(At(11, 11), kGreen);
  EXPECT_EQ(MainPrivate()->renderneeded, 2) << "redrawn every frame while edited";
  HoldKey(SDLK_c, false);
  HoldKey(SDLK_BACKSPACE, true);
  ydxtest::ManualClock::Advance(200);
  IButton->Draw();
  EXPECT_STREQ(IButton->GetText(id), "ab");
  HoldKey(SDLK_BACKSPACE, false);
  // The edit ends when the mouse leaves; an idle box leaves other render requests alone.
  Frame(0, 0, 0);
  IButton->Draw();
  EXPECT_EQ(MainPrivate()->renderneeded, 1);
  EXPECT_EQ(At(11, 11), kRed);
  IButton->Draw();
  EXPECT_EQ(MainPrivate()->renderneeded, 1);
  IButton->Info(id);
  EXPECT_TRUE(LogHas("          + State: 'Normal' - Last state: 'Selected' - Font: 'Created on execution time' - "
                     "Value: 'ab'\n"));
  // The font goes before the buttons do: the dump at shutdown does not read it.
}
