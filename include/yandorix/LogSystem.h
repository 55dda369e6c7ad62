// The library's log: a level filter in front of a file, standard output and the in-game console,
// with optional time stamps and a small frame profiler.
#ifndef YANDORIX_LOGSYSTEM_H
#define YANDORIX_LOGSYSTEM_H

#include "Export.h"

#define YDX_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

class YDX_API Yandorix_ILogSystem {
 public:
  Yandorix_ILogSystem();
  ~Yandorix_ILogSystem();

  // outputs: 2 file (truncated), 4 file (appended), 8 standard output, 16 the SDK console (together with
  // standard output or a file). level: messages above it (0..5) are dropped. A file name that cannot be
  // opened (NULL, or 256 characters and more) falls back to "ILogSysError.txt".
  void Init(const char* filename, char outputs, char level, const char* title, const char* line2,
            const char* line3, const char* line4);
  // One printf-style message; safe from any thread (one lock per log object, so lines never interleave).
  void Msg(char level, const char* format, ...) YDX_PRINTF(3, 4);
  char GetState();
  void Halt();
  void Resume();
  void ShowTime(char on);
  void ProfileBegin(const char* name);
  void ProfileEnd(const char* name);
  void ProfileShow();

  // Lets the global object be used as ILogSystem->Msg(...) as well as ILogSystem.Msg(...).
  Yandorix_ILogSystem* operator->() { return this; }

 private:
  Yandorix_ILogSystem(const Yandorix_ILogSystem&) = delete;
  Yandorix_ILogSystem& operator=(const Yandorix_ILogSystem&) = delete;
  void WriteBanner(const char* title, const char* line2, const char* line3, const char* line4);
  struct sLogPrivate* p;
};

extern YDX_API Yandorix_ILogSystem ILogSystem;

#endif
