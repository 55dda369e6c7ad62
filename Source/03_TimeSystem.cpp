// Frame-rate bookkeeping. (Stand-in until the time component is complete: never initialised.)
#include "01_Main.h"

struct sTimePrivate {
  Uint8 initialised;
};

Yandorix_ITimeSystem::Yandorix_ITimeSystem() {
  p = new sTimePrivate();
  ILogSystem.Msg(5, " . [ITimeSystem] Interfaz created.\n");
}
Yandorix_ITimeSystem::~Yandorix_ITimeSystem() {
  delete p;
  ILogSystem.Msg(5, " . [ITimeSystem] Interfaz deleted.\n");
}
void Yandorix_ITimeSystem::Init(int) {}
void Yandorix_ITimeSystem::SetRate(unsigned int, unsigned int) {}
int Yandorix_ITimeSystem::GetDesiredRFR() { return -1; }
int Yandorix_ITimeSystem::GetDesiredLFR() { return -1; }
float Yandorix_ITimeSystem::GetRFR() { return -1.0f; }
float Yandorix_ITimeSystem::GetLFR() { return -1.0f; }
int Yandorix_ITimeSystem::GetCurrentRFR() { return -1; }
int Yandorix_ITimeSystem::GetCurrentLFR() { return -1; }
int Yandorix_ITimeSystem::GetRenderedFrames() { return -1; }
int Yandorix_ITimeSystem::GetLogicFrames() { return -1; }
float Yandorix_ITimeSystem::GetSeconds() { return -1.0f; }
int Yandorix_ITimeSystem::GetTime() { return -1; }
int Yandorix_ITimeSystem::GetTimeNow() { return -1; }
void Yandorix_ITimeSystem::Update() {}
void Yandorix_ITimeSystem::IncRF() {}
void Yandorix_ITimeSystem::IncLF() {}
void Yandorix_ITimeSystem::Info() {}
