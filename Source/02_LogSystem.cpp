// The library's log: a level filter in front of a text file, standard output and the in-game console,
// with an optional time stamp per file line and a small frame profiler for nested, named stretches.
// Msg may be called from any thread; everything else belongs to the application's thread.
#include "01_Main.h"
#include "00_Platform.h"
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

enum { kOff = 0, kRunning = 1, kHalted = 2 };
enum { kOutFileNew = 2, kOutFileAppend = 4, kOutStdout = 8, kOutConsole = 16, kOutFile = 6 };
enum { kNameSize = 256, kProfileSlots = 50 };

const char kFallbackName[] = "ILogSysError.txt";
const char kFrameLine[] = "+----------------------------------------------------------+\n";
// Third framed banner line: the same 60-column width as the frame line.
const char kContactLine[] = "\246       Support and updates: support@yandorix.example      \246\n";
static_assert(sizeof(kContactLine) == sizeof(kFrameLine), "banner lines share one width");

struct sProfileSample {
  Uint8 used;
  Sint32 calls;
  Sint32 open;
  char name[kNameSize];
  double start;      // seconds; double so long sessions keep millisecond resolution
  double total;
  double children;
  Sint32 depth;
};

struct sProfileHistory {
  Uint8 used;
  char name[kNameSize];
  float average, minimum, maximum;
};

// Copies a caller's text into a fixed field; false (and an empty field) when it does not fit.
bool CopyBounded(char* field, size_t size, const char* text) {
  field[0] = 0;
  if (!text) return false;
  size_t length = strnlen(text, size);
  if (length >= size) return false;
  memcpy(field, text, length + 1);
  return true;
}

double NowSeconds() { return Yandorix_Ticks() / 1000.0; }

}  // namespace

struct sLogPrivate {
  std::atomic<Uint8> state;        // read by Msg on any thread
  std::atomic<Uint8> maxlevel;
  std::atomic<char> outputs;
  FILE* file;
  char filename[kNameSize];
  std::atomic<Uint8> showtime;
  SDL_mutex* mutex;
  Uint8 profiling;
  sProfileSample* samples;
  sProfileHistory* history;
  Uint8 samplesfullwarned;
  double profilebegin;
  double profileend;
};

Yandorix_ILogSystem::Yandorix_ILogSystem() {
  p = new sLogPrivate();
  p->state = kOff;
  p->maxlevel = 0;
  p->outputs = 0;
  p->showtime = 0;
  p->mutex = SDL_CreateMutex();
}

Yandorix_ILogSystem::~Yandorix_ILogSystem() {
  if (p->profiling) {
    delete[] p->samples;
    delete[] p->history;
  }
  if (p->file) fclose(p->file);
  p->state = kOff;
  p->outputs = 0;
  SDL_DestroyMutex(p->mutex);
  delete p;
  p = NULL;
}

// Opens the log file (the fallback name when the requested one is unusable); NULL when neither opens.
static FILE* OpenLogFile(sLogPrivate* log, const char* filename, bool truncate) {
  const char* mode = truncate ? "we" : "ae";
  FILE* file = NULL;
  if (CopyBounded(log->filename, sizeof log->filename, filename))
    file = fopen(ydxplat::NativePath(log->filename).c_str(), mode);
  if (!file) {
    strcpy(log->filename, kFallbackName);
    file = fopen(log->filename, mode);
  }
  return file;
}

void Yandorix_ILogSystem::Init(const char* filename, char outputs, char level, const char* title,
                               const char* line2, const char* line3, const char* line4) {
  // A new Init starts from scratch: the previous file (if any) is closed first.
  SDL_mutexP(p->mutex);
  p->state = kOff;
  p->outputs = 0;
  if (p->file) fclose(p->file);
  p->file = NULL;
  p->filename[0] = 0;
  SDL_mutexV(p->mutex);

  p->maxlevel = level < 0 ? 0 : (level > 5 ? 5 : level);
  if (outputs <= 0) return;
  if (outputs & kOutStdout) {
    p->outputs = outputs;
    p->state = kRunning;
  }
  if (!(outputs & kOutFile)) return;

  FILE* file = OpenLogFile(p, filename, (outputs & kOutFileNew) != 0);
  if (!file) {
    p->filename[0] = 0;
    return;
  }
  SDL_mutexP(p->mutex);
  p->file = file;
  SDL_mutexV(p->mutex);
  p->outputs = kOutFileNew;   // the banner goes to the file only
  p->state = kRunning;
  WriteBanner(title, line2, line3, line4);
  if (strcmp(p->filename, kFallbackName) == 0)
    Msg(0, " . Warning: it was not possible to create your log file.\n");
  p->outputs = outputs;
}

void Yandorix_ILogSystem::WriteBanner(const char* title, const char* line2, const char* line3,
                                      const char* line4) {
  Msg(0, "%s", kFrameLine);
  Msg(0, "\246         %s%s\246\n", Yandorix.GetVersion(), "            ");
  Msg(0, "\246               %s                 \246\n", Yandorix.GetCopyright());
  Msg(0, "%s", kContactLine);
  Msg(0, "%s", kFrameLine);
  Msg(0, "\n . %s\n", title ? title : "");
  if (line2) {
    Msg(0, " . %s", line2);
    if (line3) Msg(0, " - %s", line3);
    Msg(0, "\n");
  }
  if (line4) Msg(0, " . %s\n", line4);
  time_t now = time(NULL);
  struct tm local;
  char stamp[64] = "?\n";
  if (localtime_r(&now, &local)) asctime_r(&local, stamp);
  Msg(0, "\n . Executing at %s", stamp);
}

void Yandorix_ILogSystem::Msg(char level, const char* format, ...) {
  if (p->state != kRunning || (signed char)level > (signed char)p->maxlevel || !format) return;
  char outputs = p->outputs;
  if (!outputs) return;
  SDL_mutexP(p->mutex);
  va_list args;
  va_start(args, format);
  if (outputs & kOutStdout) {
    va_list copy;
    va_copy(copy, args);
    vprintf(format, copy);
    va_end(copy);
    fflush(stdout);
  }
  if ((outputs & kOutFile) && p->file) {
    if (p->showtime) fprintf(p->file, "{%.3fs}", (Uint32)(Yandorix_Ticks() - (Uint32)Yandorix.inittime) / 1000.0);
    va_list copy;
    va_copy(copy, args);
    vfprintf(p->file, format, copy);
    va_end(copy);
    fflush(p->file);
  }
  if (outputs & kOutConsole) {
    va_list copy;
    va_copy(copy, args);
    Yandorix.ConvPrint(format, copy);
    va_end(copy);
  }
  va_end(args);
  SDL_mutexV(p->mutex);
}

char Yandorix_ILogSystem::GetState() { return (char)p->state; }

void Yandorix_ILogSystem::Halt() {
  if (p->state == kRunning) p->state = kHalted;
}

void Yandorix_ILogSystem::Resume() {
  if (p->state == kHalted) p->state = kRunning;
}

void Yandorix_ILogSystem::ShowTime(char on) { p->showtime = on != 0; }

// ---- Profiler ----

void Yandorix_ILogSystem::ProfileBegin(const char* name) {
  if (!p->profiling) {
    p->samples = new sProfileSample[kProfileSlots]();
    p->history = new sProfileHistory[kProfileSlots]();
    p->profiling = 1;
    p->profilebegin = NowSeconds();
  }
  // Names that do not fit the name field are not profiled (a cut name would merge distinct samples).
  if (!name || strnlen(name, kNameSize) >= kNameSize) return;
  double now = NowSeconds();
  for (int i = 0; i < kProfileSlots; i++) {
    sProfileSample& sample = p->samples[i];
    if (!sample.used) {
      sample = sProfileSample();
      strcpy(sample.name, name);
      sample.used = 1;
      sample.calls = 1;
      sample.open = 1;
      sample.start = now;
      return;
    }
    if (strcmp(sample.name, name) == 0) {
      sample.open++;
      sample.calls++;
      sample.start = now;
      return;
    }
  }
  if (!p->samplesfullwarned) {
    p->samplesfullwarned = 1;
    Msg(2, " . [ILogSystem::ProfileBegin] Warning: maximum samples(%d) reached. \n", kProfileSlots);
  }
}

void Yandorix_ILogSystem::ProfileEnd(const char* name) {
  if (!p->profiling || !name) return;
  double now = NowSeconds();
  sProfileSample* sample = NULL;
  for (int i = 0; i < kProfileSlots && p->samples[i].used; i++)
    if (strcmp(p->samples[i].name, name) == 0) {
      sample = &p->samples[i];
      break;
    }
  if (!sample) return;
  sample->open--;
  // The innermost sample still open is this one's parent: it gets the time as nested time.
  int stillOpen = 0;
  sProfileSample* parent = NULL;
  for (int i = 0; i < kProfileSlots && p->samples[i].used; i++) {
    sProfileSample& other = p->samples[i];
    if (other.open <= 0) continue;
    stillOpen++;
    if (!parent || other.start >= parent->start) parent = &other;
  }
  sample->depth = stillOpen;
  if (parent) parent->children += now - sample->start;
  sample->total += now - sample->start;
}

// Folds one period's share into the running history of the sample's name; false when the history is full.
static bool FoldHistory(sProfileHistory* history, const char* name, float share, float* average,
                        float* minimum, float* maximum) {
  float ratio = Yandorix_Ticks() * 0.8f / 1000.0f;
  if (ratio > 1.0f) ratio = 1.0f;
  for (int i = 0; i < kProfileSlots; i++) {
    sProfileHistory& record = history[i];
    if (!record.used) {
      record.used = 1;
      strcpy(record.name, name);
      record.average = record.minimum = record.maximum = share;
    } else if (strcmp(record.name, name) == 0) {
      record.average = share * ratio + record.average * (1 - ratio);
      if (share < record.minimum) {
        record.minimum = share;
      } else {
        record.minimum = share * ratio + record.minimum * (1 - ratio);
        if (record.minimum < 0) record.minimum = 0;
      }
      if (share > record.maximum)
        record.maximum = share;
      else
        record.maximum = share * ratio + record.maximum * (1 - ratio);
    } else {
      continue;
    }
    *average = record.average;
    *minimum = record.minimum;
    *maximum = record.maximum;
    return true;
  }
  return false;
}

void Yandorix_ILogSystem::ProfileShow() {
  p->profileend = NowSeconds();
  if (!p->profiling) return;
  Msg(0, "\n . [ILogSystem::Profile] - Profile table:\n");
  Msg(0, "\n    Ave |   Min |   Max |   # | Profile Name\n");
  Msg(0, "  --------------------------------------------\n");
  // A period shorter than a tick counts as 1 ms, so the shares stay finite.
  double period = p->profileend - p->profilebegin;
  if (period <= 0) period = 0.001;
  for (int i = 0; i < kProfileSlots && p->samples[i].used; i++) {
    const sProfileSample& sample = p->samples[i];
    if (sample.open < 0)
      Msg(2, " . [ILogSystem::ProfileBegin] Warning: ProfileEnd called without a ProfileBegin.\n");
    else if (sample.open > 0)
      Msg(2, " . [ILogSystem::ProfileBegin] Warning: ProfileBegin called without a ProfileEnd.\n");
    float share = (float)((sample.total - sample.children) / period * 100.0);
    float average = 0, minimum = 0, maximum = 0;
    if (!FoldHistory(p->history, sample.name, share, &average, &minimum, &maximum))
      Msg(2, " . [ILogSystem::Profile] Warning: maximum samples(%d) reached. \n", kProfileSlots);
    char ave[32], min[32], max[32], calls[32];
    snprintf(ave, sizeof ave, "%3.1f", average);
    snprintf(min, sizeof min, "%3.1f", minimum);
    snprintf(max, sizeof max, "%3.1f", maximum);
    snprintf(calls, sizeof calls, "%3d", sample.calls);
    int indent = sample.depth > 0 ? sample.depth * 3 : 0;
    Msg(0, "  %5s | %5s | %5s | %3s | %*s%s\n", ave, min, max, calls, indent, "", sample.name);
  }
  for (int i = 0; i < kProfileSlots; i++) p->samples[i].used = 0;
  p->profilebegin = NowSeconds();
  Msg(0, "\n");
}
