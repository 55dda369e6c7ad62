// The frame driver: each Update pass takes at most one event, applies the library's own bindings
// (console toggle key, debug-window drag), and paces logic frames and render frames by their own rates.
// A pass allocates nothing and waits only for `mtfriendly`.
#include "01_Main.h"
#include "43_Console.h"
#include <cmath>
#include <cstring>

namespace {

const Uint8 kFrameEvent = SDL_USEREVENT + 6;   // the record Update fills when it has no event
using ydxcon::kToggleKeyOff;
using ydxcon::kInputLineOff;
using ydxcon::kHidden;
using ydxcon::kFadingIn;
using ydxcon::kFadingOut;
// A cycle whose logic steps have taken this long considers a render before it hands out more: a game
// whose steps are slower than their budget still renders and answers clicks, running slower than real
// time instead. Steps that keep up never take this long together, so their pacing stays as it was.
const Uint32 kCatchUpMs = 250;

void SetFrameEvent(SDL_Event* record) {
  memset(record, 0, sizeof *record);
  record->user.type = kFrameEvent;
  record->user.code = 0;
}

bool InsideRect(const SDL_Rect* rect, int x, int y) {
  return x >= rect->x && x <= rect->x + rect->w && y >= rect->y && y <= rect->y + rect->h;
}

// Elapsed milliseconds between two readings of the time system; time that went backwards (the time
// system was restarted) counts as none.
Sint32 Elapsed(Uint32 now, Uint32 before) {
  Sint32 elapsed = (Sint32)(now - before);
  return elapsed < 0 ? 0 : elapsed;
}

}  // namespace

// ---- Mouse events for the button service ----

void Yandorix_RecordMouseEvent(const sMouseEvent& event) {
  sMouseEventStore* store = &MainPrivate()->mouseevents;
  if (event.kind == kMouseMotion && store->count > 0) {
    // Only where a run of motions ends matters to a button: keep the room for presses and releases.
    sMouseEvent& last = store->events[(store->first + store->count - 1) % kMouseEvents];
    if (last.kind == kMouseMotion) {
      last = event;
      last.serial = store->recorded++;
      return;
    }
  }
  if (store->count == kMouseEvents) {   // nobody took them for long: the oldest goes
    store->first = (Uint16)((store->first + 1) % kMouseEvents);
    store->count--;
  }
  sMouseEvent& stored = store->events[(store->first + store->count) % kMouseEvents];
  stored = event;
  stored.serial = store->recorded++;
  store->count++;
}

Uint32 Yandorix_MouseEventsRecorded() { return MainPrivate()->mouseevents.recorded; }

bool Yandorix_NextMouseEvent(sMouseEvent* event) {
  sMouseEventStore* store = &MainPrivate()->mouseevents;
  if (store->count == 0) return false;
  *event = store->events[store->first];
  store->first = (Uint16)((store->first + 1) % kMouseEvents);
  store->count--;
  return true;
}

static void RecordMouse(Uint8 kind, Uint8 button, int x, int y, bool library) {
  sMouseEvent event = {kind, button, (Uint8)(library ? 1 : 0), (Sint16)x, (Sint16)y};
  Yandorix_RecordMouseEvent(event);
  if (kind == kMouseReset) return;
  MainPrivate()->polledx = event.x;
  MainPrivate()->polledy = event.y;
}

Uint32 Yandorix_LogicFramesMs(int frames) {
  if (!ITimeSystem) return 0;
  int rate = ITimeSystem->GetDesiredLFR();
  return rate > 0 ? (Uint32)(frames * 1000 / rate) : 0;
}

// A console fading out was closed by the player: what is typed from then on is the game's.
bool Yandorix_ConsoleTakesInput() {
  cConsole* console = MainPrivate()->console;
  if (!console || !console->isEnabled() || (console->Features(-1) & kInputLineOff)) return false;
  return console->isVisible() != kHidden && console->isVisible() != kFadingOut;
}

bool Yandorix_ConsoleCovers(int x, int y) {
  if (!Yandorix_ConsoleTakesInput()) return false;
  const SDL_Rect* rect = MainPrivate()->console->GetRect();
  return x >= rect->x && x < rect->x + rect->w && y >= rect->y && y < rect->y + rect->h;
}

// A button pressed and released between two snapshots still counts as down in the next one. A polled
// release also ends the mask of a button held across CleanUp, so its next press is not taken for the old one.
static void RememberMouseButton(sMainPrivate* p, const SDL_MouseButtonEvent& event) {
  if (event.button < 1 || event.button > 8) return;
  Uint8 button = (Uint8)SDL_BUTTON(event.button);
  p->polledmouse |= button;
  if (event.type == SDL_MOUSEBUTTONDOWN) {
    p->pressedmouse |= button;
    p->mousedown |= button;
  } else {
    p->heldmousemask &= (Uint8)~button;
    p->mousedown &= (Uint8)~button;
  }
}

// A press on the shown debug window (where it happened) drags it; it is not the buttons' under it.
static bool DebugWindowCovers(sMainPrivate* p, int x, int y) {
  cDebugWO* debug = p->debugwindow;
  return debug && debug->isEnabled() && debug->isVisible() != 0 && InsideRect(debug->GetRect(), x, y);
}

bool Yandorix_LibraryWindowAt(int x, int y) {
  return DebugWindowCovers(MainPrivate(), x, y) || Yandorix_ConsoleCovers(x, y);
}

static void MouseButtonUp(sMainPrivate* p, const SDL_MouseButtonEvent& event) {
  RememberMouseButton(p, event);
  p->dragging = 0;
  RecordMouse(kMouseRelease, event.button, event.x, event.y, Yandorix_ConsoleCovers(event.x, event.y));
}

static void MouseButtonDown(sMainPrivate* p, const SDL_MouseButtonEvent& event) {
  if (event.button >= 1 && event.button <= 8 && (p->mousedown & SDL_BUTTON(event.button))) {
    // A second press of a button still down: its release never reached Update. It ends here.
    SDL_MouseButtonEvent release = event;
    release.type = SDL_MOUSEBUTTONUP;
    release.state = SDL_RELEASED;
    MouseButtonUp(p, release);
  }
  RememberMouseButton(p, event);
  // The drag starts where the press happened, however quickly the pointer got there.
  bool onDebugWindow = DebugWindowCovers(p, event.x, event.y);
  if (onDebugWindow && !p->dragging) {
    p->dragging = 1;
    p->draglastx = event.x;
    p->draglasty = event.y;
  }
  RecordMouse(kMousePress, event.button, event.x, event.y, onDebugWindow || Yandorix_ConsoleCovers(event.x, event.y));
}

// Who a key pressed now is for, decided as its event is polled: the open console owns what is typed;
// else an input box the pointer is over as the mouse events polled so far leave it, so a key typed
// just before the pointer leaves is still the box's; else the game. The press waits (`kept`) only
// while the game reads keys, or when it goes on to the game in Update's record (a game that calls
// GetKeyPressed when it gets a key event finds the key); a key nobody keeps still repeats for the game.
static int KeyFocus(sMainPrivate* p, bool toCaller, bool* kept) {
  *kept = true;
  if (Yandorix_ConsoleTakesInput()) return kReaderConsole;
  int box = Yandorix_InputBoxAt(p->polledx, p->polledy);
  if (box >= 0) {
    Yandorix.RenderNeeded(1);   // the box takes its keys when it is drawn
    return kReaderBox + box;
  }
  *kept = toCaller || Yandorix_GameReadsKeys();
  return kReaderGame;
}

// The toggle key opens a closed console and closes an open one; pressed again during a fade, it turns
// the fade round.
static void ToggleConsole(Yandorix_Main& main, sMainPrivate* p) {
  int visible = main.ConisVisible();
  if (visible == kFadingIn || visible == kFadingOut)
    ydxcon::ReverseFade(p->console);
  else
    main.ConSetVisible(visible == 0);
}

// The console toggle key and the debug-window drag, applied to every event before anyone sees it; key
// presses are remembered for their reader, mouse events for the next snapshot and the buttons.
// `toCaller`: the event goes on into the caller's record.
static void ApplyBindings(Yandorix_Main& main, sMainPrivate* p, const SDL_Event& event, bool toCaller) {
  cDebugWO* debug = p->debugwindow;
  switch (event.type) {
    case SDL_KEYDOWN: {
      bool toggle = p->console && event.key.keysym.sym == SDLK_BACKQUOTE && !(event.key.keysym.mod & KMOD_SHIFT) &&
                    !(p->console->Features(-1) & kToggleKeyOff);
      bool kept = false;
      int reader = kReaderNobody;   // the toggle key is typed into nothing it opens or uncovers
      if (toggle)
        ToggleConsole(main, p);
      else
        reader = KeyFocus(p, toCaller, &kept);
      Yandorix_RememberKeyEvent(event, reader, kept);
      break;
    }
    case SDL_KEYUP:
      Yandorix_RememberKeyEvent(event, kReaderNobody, false);
      break;
    case SDL_MOUSEBUTTONDOWN:
      MouseButtonDown(p, event.button);
      break;
    case SDL_MOUSEMOTION:
      if (debug && debug->isEnabled() && p->dragging) {
        const SDL_Rect* rect = debug->GetRect();
        debug->Move((short)(rect->x + event.motion.x - p->draglastx), (short)(rect->y + event.motion.y - p->draglasty));
        p->draglastx = event.motion.x;
        p->draglasty = event.motion.y;
      }
      RecordMouse(kMouseMotion, 0, event.motion.x, event.motion.y, false);
      break;
    case SDL_MOUSEBUTTONUP:
      MouseButtonUp(p, event.button);
      break;
  }
}

// Mouse buttons with a press or release still in SDL's queue.
static Uint8 QueuedMouseButtons() {
  SDL_Event queued[128];   // SDL 1.2's queue holds no more
  int count = SDL_PeepEvents(queued, 128, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWNMASK | SDL_MOUSEBUTTONUPMASK);
  Uint8 buttons = 0;
  for (int i = 0; i < count; ++i)
    if (queued[i].button.button >= 1 && queued[i].button.button <= 8) buttons |= (Uint8)SDL_BUTTON(queued[i].button.button);
  return buttons;
}

// Presses and releases Update never polled (the game, a movie or the network's connect wait took the
// events, or SDL's queue overflowed during a stall) would leave a press followed for ever, or none at
// all. When SDL's real button state disagrees with the polled events and nothing of that button is
// still queued, the press ends (or begins) where the pointer is now: at once when Update polled no
// press or release of it since the last snapshot (a game that takes the events itself keeps its quick
// clicks), else once the disagreement outlasts a second snapshot.
static void ReconcileMouseButtons(Yandorix_Main& main, sMainPrivate* p, Uint8 real) {
  Uint8 mismatch = (Uint8)((p->mousedown ^ real) & ~p->heldmousemask);
  Uint8 due = mismatch & (Uint8)(p->mousemismatch | ~p->polledmouse);
  if (due) due &= (Uint8)~QueuedMouseButtons();
  p->mousemismatch = (Uint8)(mismatch & ~due);
  for (Uint8 button = 1; due && button <= 8; ++button) {
    if (!(due & SDL_BUTTON(button))) continue;
    SDL_MouseButtonEvent event = SDL_MouseButtonEvent();
    bool down = real & SDL_BUTTON(button);
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button = button;
    event.x = (Uint16)main.mousex;
    event.y = (Uint16)main.mousey;
    if (down)
      MouseButtonDown(p, event);
    else
      MouseButtonUp(p, event);
  }
}

// A pointer that moved while Update polled no motion (the game took the events) and with none queued:
// the buttons see it move to the snapshot's position, so a drag follows it as the snapshots do.
static void FollowUnpolledMotion(Yandorix_Main& main, sMainPrivate* p) {
  if (main.mousex == p->polledx && main.mousey == p->polledy) return;
  SDL_Event queued;
  if (SDL_PeepEvents(&queued, 1, SDL_PEEKEVENT, SDL_MOUSEMOTIONMASK) > 0) return;
  RecordMouse(kMouseMotion, 0, main.mousex, main.mousey, false);
}

// The input snapshot of a logic frame.
static void TakeSnapshot(Yandorix_Main& main, sMainPrivate* p) {
  ITimeSystem->IncLF();
  SDL_PumpEvents();
  main.prevmousebuttons = main.mousebuttons;
  ICursor->SaveCoordinates(main.mousex, main.mousey);
  Uint8 buttons = SDL_GetMouseState(&main.mousex, &main.mousey);
  p->heldmousemask &= buttons;   // buttons held across CleanUp count again once released
  main.mousebuttons = (Uint8)((buttons | p->pressedmouse) & ~p->heldmousemask);
  ReconcileMouseButtons(main, p, buttons);
  FollowUnpolledMotion(main, p);
  p->pressedmouse = p->polledmouse = 0;   // shown in this snapshot; a press made up there is down now anyway
  p->keystate = SDL_GetKeyState(NULL);
  Yandorix_SyncKeysDown(p->keystate);
  if (!Yandorix_GameReadsKeys()) Yandorix_ForgetKeyPresses(kReaderGame);   // a game that starts to read gets no old keys
  Yandorix_UpdateButtonsAtSnapshot();
  if (p->console) p->console->Update();
  if (p->debugwindow) p->debugwindow->Update();
}

// Logic steps took kCatchUpMs in this cycle and frames are still due: they are dropped from the
// accumulator, so the cycle goes on to a render. Warns once in each episode of slow steps.
static void DropBacklog(sMainPrivate* p, int logicRate) {
  if (!p->fellbehind)
    ILogSystem.Msg(2, " . [Yandorix.Update()] Warning: the logic steps take longer than %d logic frames a second "
                      "allow; logic frames are dropped so that the game still renders, and it runs slower than real "
                      "time.\n", logicRate);
  p->fellbehind = 1;
  p->frameincrement -= (float)p->pendinglogic;
  p->pendinglogic = 0;
}

// Hands out the logic frames due in this cycle: true when one is handed out now (Update returns 0).
static bool LogicFrameDue(Yandorix_Main& main, sMainPrivate* p, int logicRate) {
  if (p->logicstate == 0) {
    p->cycletick = (Uint32)ITimeSystem->GetTime();
    p->frametime = (float)(Elapsed(p->cycletick, p->prevcycletick) * 0.001);
    p->frameincrement = logicRate * p->frametime;
    p->pendinglogic = (int)std::floor(p->logicaccum + p->frameincrement) - (int)std::floor(p->logicaccum);
    if (p->pendinglogic <= 1) p->fellbehind = 0;   // caught up: the episode of slow steps is over
  } else if (p->pendinglogic > 0 && Elapsed((Uint32)ITimeSystem->GetTimeNow(), p->cycletick) >= (Sint32)kCatchUpMs) {
    DropBacklog(p, logicRate);
  }
  if (p->pendinglogic > 0) {
    p->pendinglogic--;
    p->logicstate = 1;
    TakeSnapshot(main, p);
    return true;
  }
  p->logicaccum += p->frameincrement;
  return false;
}

// Whether a render frame is due by the render rate; commits the render clock when it is.
static bool RenderFrameDue(sMainPrivate* p, int renderRate, float* increment) {
  *increment = 0;
  if (renderRate <= 0) return true;
  // The time system's reading dates from the end of the last pass: after logic steps it is read afresh,
  // so steps that took long do not hold the render back for another cycle.
  p->rendertick = (Uint32)(p->logicstate == 1 ? ITimeSystem->GetTimeNow() : ITimeSystem->GetTime());
  if ((Sint32)(p->rendertick - p->prevrendertick) < 0) p->prevrendertick = p->rendertick;
  float frametime = (float)(Elapsed(p->rendertick, p->prevrendertick) * 0.001);
  *increment = renderRate * frametime;
  return std::floor(p->renderaccum + *increment) - std::floor(p->renderaccum) >= 1;
}

static void RenderFrame(Yandorix_Main& main, sMainPrivate* p, SDL_Event* record) {
  if (p->rendercallback) {
    p->rendercallback(p->logicstate == 1 ? 1 : 0);
    p->logicstate = 2;
    if (!p->initialised || !main.screen) return;   // the callback shut the library or the screen down
  }
  if (record->type == kFrameEvent) record->user.code = 1;
  if (p->renderneeded) {
    if (p->console) p->console->Render();
    if (p->debugwindow) p->debugwindow->Render();
  }
  ICursor->Update();
  SDL_Flip(main.screen);
  ITimeSystem->IncRF();
  if (p->renderneeded == 1) p->renderneeded = 0;
}

int Yandorix_Main::Update(SDL_Event* event) {
  SDL_Event* record = event ? event : &p->frameevent;
  if (SDL_PollEvent(record)) {
    if (p->eventwatch) p->eventwatch(*record);
    ApplyBindings(*this, p, *record, event != NULL);
    if (event) return 1;
  } else {
    SetFrameEvent(record);
  }
  if (!p->initialised) {
    if (!p->warnednotinit)
      ILogSystem.Msg(2, " . [Yandorix.Update()] Warning: Yandorix was not initialized.\n");
    p->warnednotinit = 1;
    return 0;
  }

  int logicRate = ITimeSystem->GetDesiredLFR();
  if (logicRate <= 0) {
    TakeSnapshot(*this, p);
    if (!p->initialised) return 0;   // a console command shut the library down
  } else if (LogicFrameDue(*this, p, logicRate)) {
    return 0;
  }

  if (screen) {
    int renderRate = ITimeSystem->GetDesiredRFR();
    float increment;
    if (RenderFrameDue(p, renderRate, &increment)) {
      RenderFrame(*this, p, record);
      if (!p->initialised) return 0;
      if (renderRate > 0) {
        // Only the fraction matters for the next decision; keeping it small keeps float precision.
        p->renderaccum += increment;
        p->renderaccum -= std::floor(p->renderaccum);
        p->prevrendertick = p->rendertick;
      }
    }
  }

  ITimeSystem->Update();
  p->prevcycletick = p->cycletick;
  p->logicstate = 0;
  if (mtfriendly > 0) SDL_Delay((Uint32)mtfriendly);
  return logicRate > 0 ? 1 : 0;
}

void Yandorix_Main::CleanUp() {
  // No key held and no button pressed from here on (SDL 1.2 does not export its own reset).
  int keyCount = 0;
  Uint8* keys = SDL_GetKeyState(&keyCount);
  if (keys && keyCount > 0) memset(keys, 0, (size_t)keyCount);
  SDL_SetModState(KMOD_NONE);
  p->heldmousemask = SDL_GetMouseState(NULL, NULL);
  p->pressedmouse = p->mousedown = p->mousemismatch = p->polledmouse = 0;
  p->keypresses = sKeyPressStore();
  // Presses the buttons still follow end here; what was clicked before is forgotten.
  p->mouseevents = sMouseEventStore();
  RecordMouse(kMouseReset, 0, 0, 0, false);
  if (ITimeSystem) ITimeSystem->Init(1);
  p->logicstate = 0;
  p->cycletick = p->prevcycletick = 0;
  p->pendinglogic = 0;
  p->frametime = p->frameincrement = 0;
  p->logicaccum = 0;
  p->rendertick = p->prevrendertick = 0;
  p->renderaccum = 0;
  p->fellbehind = 0;
}

void Yandorix_Main::SetRenderCallback(void (*callback)(int)) { p->rendercallback = callback; }

float Yandorix_Main::GetLogicTime() { return p->logicaccum; }

int Yandorix_Main::GetKeystate(int key) {
  if (!p->keystate || key < 0 || key >= SDLK_LAST) return 0;
  return p->keystate[key] ? 1 : 0;
}

int Yandorix_Main::IsRenderNeeded() { return p->renderneeded != 0 ? 1 : 0; }

void Yandorix_Main::RenderNeeded(int n) {
  if (n <= 0) {
    if (screen && !(screen->flags & SDL_DOUBLEBUF)) p->renderneeded = 0;
  } else if (n == 1) {
    if (p->renderneeded != 2) p->renderneeded = 1;
  } else {
    p->renderneeded = 2;
  }
}
