// Frame-rate bookkeeping: the desired render and logic rates the frame driver paces by, frame counters,
// the rates of the last whole second and the averages since start. Time comes from the library's clock.
// Tick comparisons use differences, so the 49.7-day wrap of the millisecond counter changes nothing.
#include "01_Main.h"

namespace {
enum { kMaxRenderRate = 120, kMaxLogicRate = 200, kAverageEvery = 250, kSecond = 1000 };
}

struct sTimePrivate {
  Uint8 initialised;
  Uint8 warnedupdate;
  Uint32 nowtick;
  Uint32 starttick;
  Uint32 renderedframes;
  Uint32 logicframes;
  Uint32 currentrfr;
  Uint32 currentlfr;
  float averagerfr;
  float averagelfr;
  float executionseconds;
  Uint32 desiredrfr;
  Uint32 desiredlfr;
  Uint32 secondrf;
  Uint32 secondlf;
  Uint32 secondtick;
  Uint32 averagetick;
};

Yandorix_ITimeSystem::Yandorix_ITimeSystem() {
  p = new sTimePrivate();
  ILogSystem.Msg(5, " . [ITimeSystem] Interfaz created.\n");
}

Yandorix_ITimeSystem::~Yandorix_ITimeSystem() {
  p->initialised = 0;
  p->warnedupdate = 0;
  delete p;
  p = NULL;
  ILogSystem.Msg(5, " . [ITimeSystem] Interfaz deleted.\n");
}

void Yandorix_ITimeSystem::Init(int mode) {
  if (mode == 0) {
    p->desiredrfr = 0;
    p->desiredlfr = 0;
  } else if (mode != 1 || !p->initialised) {
    return;
  }
  Uint32 desiredrfr = p->desiredrfr, desiredlfr = p->desiredlfr;
  Uint8 warned = p->warnedupdate;
  *p = sTimePrivate();
  p->desiredrfr = desiredrfr;
  p->desiredlfr = desiredlfr;
  p->warnedupdate = warned;
  p->starttick = Yandorix_Ticks();
  p->nowtick = p->starttick + 1;
  if (SDL_WasInit(SDL_INIT_TIMER)) {
    p->initialised = 1;
  } else {
    ILogSystem.Msg(2, " . [ITimeSystem->Init()] Warning: SDL_INIT_TIMER was not initialized.\n");
    p->nowtick = p->starttick = 0;
  }
}

void Yandorix_ITimeSystem::SetRate(unsigned int rfr, unsigned int lfr) {
  if (!p->initialised) return;
  if (rfr > kMaxRenderRate) rfr = kMaxRenderRate;
  p->desiredrfr = p->currentrfr = rfr;
  p->averagerfr = (float)rfr;
  if (rfr && Yandorix.screen && (Yandorix.screen->flags & SDL_DOUBLEBUF))
    ILogSystem.Msg(2,
                   " . [ITimeSystem->SetRate(%d,%d)] Warning: doublebuffer screen detected. Use 0 for RFR to "
                   "get the smoothest animation.\n",
                   rfr, lfr);
  if (lfr > kMaxLogicRate) lfr = kMaxLogicRate;
  p->desiredlfr = p->currentlfr = lfr;
  p->averagelfr = (float)lfr;
}

int Yandorix_ITimeSystem::GetDesiredRFR() { return p->initialised ? (int)p->desiredrfr : -1; }
int Yandorix_ITimeSystem::GetDesiredLFR() { return p->initialised ? (int)p->desiredlfr : -1; }
float Yandorix_ITimeSystem::GetRFR() { return p->initialised ? p->averagerfr : -1.0f; }
float Yandorix_ITimeSystem::GetLFR() { return p->initialised ? p->averagelfr : -1.0f; }
int Yandorix_ITimeSystem::GetCurrentRFR() { return p->initialised ? (int)p->currentrfr : -1; }
int Yandorix_ITimeSystem::GetCurrentLFR() { return p->initialised ? (int)p->currentlfr : -1; }
int Yandorix_ITimeSystem::GetRenderedFrames() { return p->initialised ? (int)p->renderedframes : -1; }
int Yandorix_ITimeSystem::GetLogicFrames() { return p->initialised ? (int)p->logicframes : -1; }

// Milliseconds since Init as of the last Update; 0 counts as 1 so callers may divide by it.
static Uint32 ElapsedMilliseconds(const sTimePrivate* time) {
  Uint32 elapsed = time->nowtick - time->starttick;
  return elapsed ? elapsed : 1;
}

float Yandorix_ITimeSystem::GetSeconds() {
  return p->initialised ? ElapsedMilliseconds(p) / 1000.0f : -1.0f;
}

int Yandorix_ITimeSystem::GetTime() { return p->initialised ? (int)(p->nowtick - p->starttick) : -1; }

int Yandorix_ITimeSystem::GetTimeNow() {
  return p->initialised ? (int)(Yandorix_Ticks() - p->starttick) : -1;
}

void Yandorix_ITimeSystem::Update() {
  if (!p->initialised) {
    if (!p->warnedupdate)
      ILogSystem.Msg(2, " . [ITimeSystem->Update()] Warning: ITimeSystem was not initialized.\n");
    p->warnedupdate = 1;
    return;
  }
  p->nowtick = Yandorix_Ticks();
  if (p->nowtick - p->averagetick > (Uint32)kAverageEvery) {
    p->averagetick = p->nowtick;
    float seconds = ElapsedMilliseconds(p) / 1000.0f;
    p->executionseconds = seconds;
    p->averagerfr = p->renderedframes / seconds;
    p->averagelfr = p->logicframes / seconds;
  }
  if (p->nowtick - p->secondtick > (Uint32)kSecond) {
    p->secondtick = p->nowtick;
    p->currentrfr = p->secondrf;
    p->secondrf = 0;
    p->currentlfr = p->secondlf;
    p->secondlf = 0;
  }
}

void Yandorix_ITimeSystem::IncRF() {
  if (!p->initialised) return;
  p->renderedframes++;
  p->secondrf++;
}

void Yandorix_ITimeSystem::IncLF() {
  if (!p->initialised) return;
  p->logicframes++;
  p->secondlf++;
}

void Yandorix_ITimeSystem::Info() {
  ILogSystem.Msg(0, "\n . Timer information:\n");
  if (!p->initialised) {
    ILogSystem.Msg(0, "      -> ITimeSystem was not initialized.\n");
    return;
  }
  ILogSystem.Msg(0, "      -> Execution time: %.2fs (%d ticks)\n", p->executionseconds, p->nowtick);
  ILogSystem.Msg(0, "      -> Total Logic Frames: %d - Total Rendering Frames: %d\n", p->logicframes,
                 p->renderedframes);
  if (p->desiredrfr)
    ILogSystem.Msg(0, "      -> Rendering Frame Rate: Desired %d - Last second %d - Average %.2f.\n", p->desiredrfr,
                   p->currentrfr, p->averagerfr);
  else
    ILogSystem.Msg(0, "      -> Rendering Frame Rate: Unlimited - Last second %d - Average %.2f.\n", p->currentrfr,
                   p->averagerfr);
  if (p->desiredlfr)
    ILogSystem.Msg(0, "      -> Logic Frame Rate: Desired %d - Last second %d - Average %.2f\n", p->desiredlfr,
                   p->currentlfr, p->averagelfr);
  else
    ILogSystem.Msg(0, "      -> Logic Frame Rate: Unlimited - Last second %d - Average %.2f.\n", p->currentlfr,
                   p->averagelfr);
}
