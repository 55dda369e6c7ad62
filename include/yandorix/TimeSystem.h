// Frame-rate bookkeeping: desired render and logic rates, frame counters and rate statistics.
#ifndef YANDORIX_TIMESYSTEM_H
#define YANDORIX_TIMESYSTEM_H

#include "Export.h"

class YDX_API Yandorix_ITimeSystem {
 public:
  Yandorix_ITimeSystem();
  ~Yandorix_ITimeSystem();
  // 0 starts the counters with both rates unlimited (needs SDL_INIT_TIMER); 1 restarts the counters and
  // keeps the rates. Until then every getter reads -1, and the frame loop runs logic free.
  void Init(int mode);
  // Render frames (at most 120) and logic frames (at most 200) per second; 0 unlimited. Nothing before Init.
  void SetRate(unsigned int rfr, unsigned int lfr);
  int GetDesiredRFR();
  int GetDesiredLFR();
  float GetRFR();
  float GetLFR();
  int GetCurrentRFR();
  int GetCurrentLFR();
  int GetRenderedFrames();
  int GetLogicFrames();
  float GetSeconds();
  int GetTime();
  int GetTimeNow();
  void Update();
  void IncRF();
  void IncLF();
  void Info();

 private:
  Yandorix_ITimeSystem(const Yandorix_ITimeSystem&) = delete;
  Yandorix_ITimeSystem& operator=(const Yandorix_ITimeSystem&) = delete;
  struct sTimePrivate* p;
};

extern YDX_API Yandorix_ITimeSystem* ITimeSystem;

#endif
