// The frame driver on the manual clock: logic and render pacing, the frame event, the console toggle
// key, the debug-window drag, the render-needed state, the keyboard snapshot and CleanUp.
#include "CoreTest.h"

namespace {
int renderCount = 0;
int lastRenderArgument = -1;
void CountRender(int logicRan) {
  renderCount++;
  lastRenderArgument = logicRan;
}
void QuitFromCallback(int) { Yandorix.Quit(); }
int QuitCommand(std::vector<std::string>*) {
  Yandorix.Quit();
  return 1;
}

void PushKey(SDLKey key, SDLMod modifiers) { ydxtest::PushKey(SDL_KEYDOWN, key, modifiers); }

void PushMouse(Uint8 type, int x = 0, int y = 0) {
  SDL_Event event = SDL_Event();
  event.type = type;
  if (type == SDL_MOUSEMOTION) {
    event.motion.x = (Uint16)x;
    event.motion.y = (Uint16)y;
  } else {
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = (Uint16)x;
    event.button.y = (Uint16)y;
  }
  SDL_PushEvent(&event);
}
}  // namespace

class FrameTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    StartLibrary();
    OpenScreen();
    ITimeSystem->Init(0);
    Yandorix.SetRenderCallback(CountRender);
    renderCount = 0;
    lastRenderArgument = -1;
  }
  static int Pass() { return Yandorix.Update(NULL); }
  // Runs the loop every `step` ms for `duration` ms as applications do (at a fixed logic rate, passes
  // until one returns 1); counts the logic frames handed out.
  static int Run(int duration, int step) {
    int logicFrames = 0;
    bool fixedRate = ITimeSystem->GetDesiredLFR() > 0;
    for (int elapsed = 0; elapsed < duration; elapsed += step) {
      ydxtest::ManualClock::Advance(step);
      if (!fixedRate) {
        Pass();
        continue;
      }
      while (Pass() == 0) logicFrames++;
    }
    return logicFrames;
  }
  static void WarpAndSnapshot(int x, int y) {
    SDL_WarpMouse((Uint16)x, (Uint16)y);
    Pass();   // consumes the motion event and takes the snapshot (free-running logic)
  }
};

TEST_F(FrameTest, LogicRate20With150msHandsOutThreeFrames) {
  ITimeSystem->SetRate(0, 20);
  EXPECT_EQ(Pass(), 1);
  ydxtest::ManualClock::Advance(150);
  EXPECT_EQ(Pass(), 1);   // the time system reads the clock at the end of each pass
  float before = Yandorix.GetLogicTime();
  renderCount = 0;
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(renderCount, 0);
  EXPECT_EQ(Pass(), 1);
  EXPECT_NEAR(Yandorix.GetLogicTime() - before, 3.0f, 1e-4f);
  EXPECT_EQ(renderCount, 1);
  EXPECT_EQ(lastRenderArgument, 1);
  EXPECT_EQ(Pass(), 1);   // no time elapsed: no logic frame, and the scene did not change
  EXPECT_EQ(lastRenderArgument, 0);
  EXPECT_EQ(ITimeSystem->GetLogicFrames(), 3);
}

TEST_F(FrameTest, FreeRunningLogicSnapshotsAndRendersEveryPass) {
  ITimeSystem->SetRate(0, 0);
  for (int i = 0; i < 5; i++) EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(renderCount, 5);
  EXPECT_EQ(lastRenderArgument, 0);
  EXPECT_EQ(ITimeSystem->GetLogicFrames(), 5);
  EXPECT_EQ(ITimeSystem->GetRenderedFrames(), 5);
}

TEST_F(FrameTest, RenderRatePacesRenders) {
  ITimeSystem->SetRate(10, 0);
  Run(1000, 10);
  EXPECT_NEAR(renderCount, 10, 1);
}

TEST_F(FrameTest, FrameEventCarriesRenderCode) {
  SDL_Event event;
  ITimeSystem->SetRate(0, 20);
  EXPECT_EQ(Yandorix.Update(&event), 1);
  EXPECT_EQ(event.type, SDL_USEREVENT + 6);
  EXPECT_EQ(event.user.code, 1);
  ITimeSystem->SetRate(1, 20);   // one render a second: none due now
  EXPECT_EQ(Yandorix.Update(&event), 1);
  EXPECT_EQ(event.user.code, 0);
}

TEST_F(FrameTest, RestartedTimeSystemDoesNotFreezePacing) {
  ITimeSystem->SetRate(10, 20);
  Run(5000, 10);
  ITimeSystem->Init(0);   // time since start jumps back from 5 s to 0
  ITimeSystem->SetRate(10, 20);
  renderCount = 0;
  int logicFrames = Run(300, 10);
  EXPECT_NEAR(logicFrames, 6, 1);
  EXPECT_GE(renderCount, 2);
}

TEST_F(FrameTest, BackquoteTogglesConsoleUnlessShiftOrSwitchedOff) {
  MainPrivate()->console->Enable();
  Yandorix.ConFeatures(4);   // shown and hidden at once, without the fade
  PushKey(SDLK_BACKQUOTE, KMOD_NONE);
  Pass();
  EXPECT_EQ(Yandorix.ConisVisible(), 1);
  PushKey(SDLK_BACKQUOTE, KMOD_LSHIFT);
  Pass();
  PushKey(SDLK_BACKQUOTE, KMOD_RSHIFT);
  Pass();
  EXPECT_EQ(Yandorix.ConisVisible(), 1);
  SDL_Event event;
  PushKey(SDLK_BACKQUOTE, KMOD_NONE);
  EXPECT_EQ(Yandorix.Update(&event), 1);   // the caller gets the key, and the toggle applies too
  EXPECT_EQ(event.type, SDL_KEYDOWN);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  Yandorix.ConFeatures(1);
  PushKey(SDLK_BACKQUOTE, KMOD_NONE);
  Pass();
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
}

// The drag starts where the press happened, even when the pointer got there in the same instant (no
// snapshot has seen it there yet), and follows the motions' own positions.
TEST_F(FrameTest, DebugWindowDragsFromWhereThePressHappened) {
  cDebugWO* debug = MainPrivate()->debugwindow;
  debug->Enable();
  Yandorix.DwSetVisible(1);
  ASSERT_EQ(debug->isEnabled(), 1);
  const int x0 = debug->GetRect()->x, y0 = debug->GetRect()->y;   // (213, 240) on 640 x 480
  PushMouse(SDL_MOUSEBUTTONDOWN, x0 + 10, y0 + 10);
  Pass();
  PushMouse(SDL_MOUSEMOTION, x0 + 40, y0 + 30);
  Pass();
  EXPECT_EQ(debug->GetRect()->x, x0 + 30);
  EXPECT_EQ(debug->GetRect()->y, y0 + 20);
  PushMouse(SDL_MOUSEBUTTONUP, x0 + 40, y0 + 30);
  Pass();
  PushMouse(SDL_MOUSEMOTION, 10, 10);
  Pass();
  EXPECT_EQ(debug->GetRect()->x, x0 + 30);
}

TEST_F(FrameTest, PressOutsideDebugWindowStartsNoDrag) {
  cDebugWO* debug = MainPrivate()->debugwindow;
  debug->Enable();
  const SDL_Rect start = *debug->GetRect();
  WarpAndSnapshot(600, 100);
  PushMouse(SDL_MOUSEBUTTONDOWN);
  Pass();
  WarpAndSnapshot(620, 110);
  PushMouse(SDL_MOUSEMOTION);
  Pass();
  EXPECT_EQ(debug->GetRect()->x, start.x);
  EXPECT_EQ(debug->GetRect()->y, start.y);
}

TEST_F(FrameTest, RenderNeededStates) {
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 1);   // the button service asks for a first render when it starts
  Pass();
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 0);
  Yandorix.RenderNeeded(1);
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 1);
  Pass();   // one requested render is done
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 0);
  Yandorix.RenderNeeded(5);
  Yandorix.RenderNeeded(1);
  EXPECT_EQ(MainPrivate()->renderneeded, 2);
  Pass();
  EXPECT_EQ(MainPrivate()->renderneeded, 2);
  Yandorix.screen->flags |= SDL_DOUBLEBUF;   // a double-buffered screen keeps drawing its overlays
  Yandorix.RenderNeeded(0);
  Yandorix.screen->flags &= ~SDL_DOUBLEBUF;
  EXPECT_EQ(MainPrivate()->renderneeded, 2);
  Yandorix.RenderNeeded(0);
  EXPECT_EQ(Yandorix.IsRenderNeeded(), 0);
}

TEST_F(FrameTest, KeystateReadsTheSnapshotWithinRange) {
  Uint8* keys = SDL_GetKeyState(NULL);
  keys[SDLK_a] = 1;
  EXPECT_EQ(Yandorix.GetKeystate(SDLK_a), 0);   // no snapshot yet
  Pass();
  EXPECT_EQ(Yandorix.GetKeystate(SDLK_a), 1);
  EXPECT_EQ(Yandorix.GetKeystate(-1), 0);
  EXPECT_EQ(Yandorix.GetKeystate(SDLK_LAST), 0);
  EXPECT_EQ(Yandorix.GetKeystate(1 << 20), 0);
  keys[SDLK_a] = 0;
}

TEST_F(FrameTest, CleanUpClearsInputAndRestartsPacing) {
  ITimeSystem->SetRate(60, 20);
  Run(500, 10);
  ASSERT_GT(Yandorix.GetLogicTime(), 5.0f);
  SDL_GetKeyState(NULL)[SDLK_SPACE] = 1;
  SDL_SetModState(KMOD_LSHIFT);
  Yandorix.CleanUp();
  EXPECT_EQ(SDL_GetKeyState(NULL)[SDLK_SPACE], 0);
  EXPECT_EQ(SDL_GetModState(), KMOD_NONE);
  EXPECT_EQ(Yandorix.GetLogicTime(), 0.0f);
  EXPECT_EQ(ITimeSystem->GetLogicFrames(), 0);
  EXPECT_EQ(ITimeSystem->GetDesiredLFR(), 20);
}

TEST_F(FrameTest, CallbackMayShutTheLibraryDown) {
  Yandorix.SetRenderCallback(QuitFromCallback);
  EXPECT_EQ(Pass(), 0);
  EXPECT_EQ(IStuffDPF, nullptr);
  EXPECT_EQ(Pass(), 0);
}

// A console command runs inside the input snapshot; one that quits must not lead the rest of the pass
// into deleted services, at a fixed logic rate or with logic running free.
TEST_F(FrameTest, ConsoleCommandMayShutTheLibraryDown) {
  for (int logicRate : {20, 0}) {
    SCOPED_TRACE(logicRate);
    if (!IStuffDPF) {
      StartLibrary();
      OpenScreen();
      ITimeSystem->Init(0);
    }
    ITimeSystem->SetRate(0, (unsigned)logicRate);
    Yandorix.ConEnable();
    Yandorix.ConFeatures(4);
    Yandorix.ConSetVisible(1);
    ASSERT_EQ(Yandorix.ConAddCmdHandler((char*)"bye", (char*)"quits", QuitCommand), 1);
    Uint8* keys = SDL_GetKeyState(NULL);
    for (int key : {SDLK_b, SDLK_y, SDLK_e, SDLK_RETURN}) {
      keys[key] = 1;
      ydxtest::ManualClock::Advance(200);
      for (int pass = 0; pass < 6; pass++) Pass();   // at rate 20: the 200 ms show up, 4 logic frames
      keys[key] = 0;
    }
    EXPECT_EQ(IStuffDPF, nullptr);
    EXPECT_EQ(Pass(), 0);
  }
}

class FrameWithoutScreenTest : public CoreTest {};

TEST_F(FrameWithoutScreenTest, NothingRendersAndCodeStaysZero) {
  StartLibrary();
  Yandorix.SetRenderCallback(CountRender);
  renderCount = 0;
  SDL_Event event;
  EXPECT_EQ(Yandorix.Update(&event), 0);   // time system not started: logic runs free
  EXPECT_EQ(event.type, SDL_USEREVENT + 6);
  EXPECT_EQ(event.user.code, 0);
  EXPECT_EQ(renderCount, 0);
}

TEST_F(FrameWithoutScreenTest, UninitialisedLibraryOnlyPollsAndWarnsOnce) {
  ydxtest::StartLog();
  SDL_Event event;
  EXPECT_EQ(Yandorix.Update(&event), 0);
  EXPECT_EQ(event.type, SDL_USEREVENT + 6);
  EXPECT_EQ(Yandorix.Update(NULL), 0);
  Yandorix.CleanUp();
  EXPECT_EQ(Yandorix.GetKeyPressed(0), 0);
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  Yandorix.Quit();
  EXPECT_EQ(Yandorix.Update(NULL), 0);   // after Quit: the services are gone
  Yandorix.CleanUp();
  EXPECT_EQ(Count(ydxtest::LogText(), " . [Yandorix.Update()] Warning: Yandorix was not initialized.\n"), 2u);
}
