// The library's log. (Minimal until the log component is complete: file and stdout outputs.)
#include "01_Main.h"
#include <cstdio>
#include <cstring>

struct sLogPrivate {
  Uint8 state;
  Uint8 maxlevel;
  char outputs;
  FILE* file;
  SDL_mutex* mutex;
};

Yandorix_ILogSystem::Yandorix_ILogSystem() {
  p = new sLogPrivate();
  p->mutex = SDL_CreateMutex();
}

Yandorix_ILogSystem::~Yandorix_ILogSystem() {
  if (p->file) fclose(p->file);
  SDL_DestroyMutex(p->mutex);
  delete p;
}

void Yandorix_ILogSystem::Init(const char* filename, char outputs, char level, const char*, const char*,
                               const char*, const char*) {
  p->maxlevel = level < 0 ? 0 : (level > 5 ? 5 : level);
  p->outputs = outputs < 0 ? 0 : outputs;
  p->state = p->outputs ? 1 : 0;
  if ((outputs & 6) && filename) {
    if (p->file) fclose(p->file);
    p->file = fopen(filename, (outputs & 2) ? "wt" : "at");
  }
}

void Yandorix_ILogSystem::Msg(char level, const char* format, ...) {
  if (p->state != 1 || !p->outputs || (signed char)level > (signed char)p->maxlevel || !format) return;
  SDL_mutexP(p->mutex);
  va_list args;
  if (p->outputs & 8) {
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
  }
  if ((p->outputs & 6) && p->file) {
    va_start(args, format);
    vfprintf(p->file, format, args);
    va_end(args);
    fflush(p->file);
  }
  SDL_mutexV(p->mutex);
}

char Yandorix_ILogSystem::GetState() { return (char)p->state; }
void Yandorix_ILogSystem::Halt() { if (p->state == 1) p->state = 2; }
void Yandorix_ILogSystem::Resume() { if (p->state == 2) p->state = 1; }
void Yandorix_ILogSystem::ShowTime(char) {}
void Yandorix_ILogSystem::ProfileBegin(const char*) {}
void Yandorix_ILogSystem::ProfileEnd(const char*) {}
void Yandorix_ILogSystem::ProfileShow() {}
