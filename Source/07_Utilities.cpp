// Services of the main object used across the library and by applications: CRC-32, the MT19937
// generator, version texts, key names and key polling, diagnostic dumps, surface helpers and
// directory creation. CRC32 and Rand are also called from the network threads.
#include "01_Main.h"
#include "00_Platform.h"
#include "glSDL.h"
#include <SDL_mixer.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#define YDX_CRC_FOLDING 1
#include <immintrin.h>
#endif

// ---- CRC-32 (the zlib/PNG checksum: reflected polynomial 0xEDB88320) ----
//
// Long buffers are folded 64 bytes at a time with carry-less multiplication where the processor has
// it; the last 16 folded bytes and the tail go through the byte table. Elsewhere slicing-by-8 tables.

namespace {

const Uint32 kCRCPolynomial = 0xEDB88320u;   // reflected form of x^32 + x^26 + ... + 1
enum { kCRCTables = 8, kCRCTableSize = 256 };

#ifdef YDX_CRC_FOLDING
// Folding constants: for a fold over D bits, the high and low 64-bit halves of a 128-bit chunk are
// multiplied by x^(D+64) and x^D modulo the polynomial (stored bit-reversed, pre-shifted by one).
struct CRCFoldKeys {
  bool available;
  Uint64 high512, low512, high128, low128;
};
CRCFoldKeys foldKeys;

// x^n mod P in normal bit order (bit k = coefficient of x^k).
Uint32 XPowerModP(unsigned int n) {
  const Uint32 normalPolynomial = 0x04C11DB7u;
  Uint32 value = 1;
  for (unsigned int i = 0; i < n; i++) value = (value & 0x80000000u) ? (value << 1) ^ normalPolynomial : value << 1;
  return value;
}

Uint64 ReversedKey(unsigned int power) {
  Uint32 residue = XPowerModP(power);
  Uint64 reversed = 0;
  for (int bit = 0; bit < 32; bit++)
    if (residue & (1u << bit)) reversed |= 1ull << (63 - bit);
  return reversed;
}
#endif

void BuildCRCTables(Uint32* tables) {
  for (Uint32 byte = 0; byte < kCRCTableSize; byte++) {
    Uint32 crc = byte;
    for (int bit = 0; bit < 8; bit++) crc = (crc & 1) ? (crc >> 1) ^ kCRCPolynomial : crc >> 1;
    tables[byte] = crc;
  }
  for (int table = 1; table < kCRCTables; table++)
    for (int byte = 0; byte < kCRCTableSize; byte++) {
      Uint32 previous = tables[(table - 1) * kCRCTableSize + byte];
      tables[table * kCRCTableSize + byte] = (previous >> 8) ^ tables[previous & 0xFF];
    }
#ifdef YDX_CRC_FOLDING
  __builtin_cpu_init();
  foldKeys.available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  foldKeys.high512 = ReversedKey(512 + 63);
  foldKeys.low512 = ReversedKey(512 - 1);
  foldKeys.high128 = ReversedKey(128 + 63);
  foldKeys.low128 = ReversedKey(128 - 1);
#endif
}

Uint32 CRCBytes(Uint32 crc, const unsigned char* data, size_t length, const Uint32* table) {
  while (length--) crc = (crc >> 8) ^ table[(crc ^ *data++) & 0xFF];
  return crc;
}

Uint32 CRCSliced(Uint32 crc, const unsigned char* data, size_t length, const Uint32* t) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; length >= 8; data += 8, length -= 8) {
    Uint32 low, high;
    memcpy(&low, data, 4);
    memcpy(&high, data + 4, 4);
    low ^= crc;
    crc = t[7 * 256 + (low & 0xFF)] ^ t[6 * 256 + ((low >> 8) & 0xFF)] ^ t[5 * 256 + ((low >> 16) & 0xFF)] ^
          t[4 * 256 + (low >> 24)] ^ t[3 * 256 + (high & 0xFF)] ^ t[2 * 256 + ((high >> 8) & 0xFF)] ^
          t[1 * 256 + ((high >> 16) & 0xFF)] ^ t[high >> 24];
  }
#endif
  return CRCBytes(crc, data, length, t);
}

#ifdef YDX_CRC_FOLDING
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i chunk, __m128i keys) {
  return _mm_xor_si128(_mm_clmulepi64_si128(chunk, keys, 0x00), _mm_clmulepi64_si128(chunk, keys, 0x11));
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const unsigned char* data) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}

// Needs at least 64 bytes.
__attribute__((target("pclmul,sse2"))) Uint32 CRCFolded(Uint32 crc, const unsigned char* data, size_t length,
                                                       const Uint32* table) {
  const __m128i keys512 = _mm_set_epi64x((long long)foldKeys.low512, (long long)foldKeys.high512);
  const __m128i keys128 = _mm_set_epi64x((long long)foldKeys.low128, (long long)foldKeys.high128);
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128((int)crc));
  __m128i x1 = Load(data + 16), x2 = Load(data + 32), x3 = Load(data + 48);
  data += 64;
  length -= 64;
  for (; length >= 64; data += 64, length -= 64) {
    x0 = _mm_xor_si128(Fold(x0, keys512), Load(data));
    x1 = _mm_xor_si128(Fold(x1, keys512), Load(data + 16));
    x2 = _mm_xor_si128(Fold(x2, keys512), Load(data + 32));
    x3 = _mm_xor_si128(Fold(x3, keys512), Load(data + 48));
  }
  __m128i folded = _mm_xor_si128(Fold(x0, keys128), x1);
  folded = _mm_xor_si128(Fold(folded, keys128), x2);
  folded = _mm_xor_si128(Fold(folded, keys128), x3);
  for (; length >= 16; data += 16, length -= 16) folded = _mm_xor_si128(Fold(folded, keys128), Load(data));
  unsigned char rest[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), folded);
  return CRCBytes(CRCBytes(0, rest, sizeof rest, table), data, length, table);
}
#endif

// The running (uncomplemented) CRC over more bytes.
Uint32 CRCUpdate(Uint32 crc, const unsigned char* data, size_t length, const Uint32* table) {
#ifdef YDX_CRC_FOLDING
  if (foldKeys.available && length >= 256) return CRCFolded(crc, data, length, table);
#endif
  return CRCSliced(crc, data, length, table);
}

const Uint32* CRCTable(sMainPrivate* p) {
  std::call_once(p->crconce, [p] {
    p->crctable = new Uint32[kCRCTables * kCRCTableSize];
    BuildCRCTables(p->crctable);
    p->crcready = 1;
  });
  return p->crctable;
}

}  // namespace

Uint32 Yandorix_CRCRunning(Uint32 crc, const unsigned char* data, size_t length) {
  return length ? CRCUpdate(crc, data, length, CRCTable(MainPrivate())) : crc;
}

unsigned int Yandorix_Main::CRC32(const char* data, int length) {
  if (!data || length <= 0) return 0;
  const Uint32* table = CRCTable(p);
  return ~CRCUpdate(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(data), (size_t)length, table);
}

// Streams the file in chunks; 0 when it cannot be opened or read, is not a regular file, or is empty.
unsigned int Yandorix_Main::CRC32(const char* filename) {
  int fd = ydxplat::Open(filename, ydxplat::kRead | ydxplat::kNonBlock);
  if (fd < 0) return 0;
  struct stat info;
  if (ydxplat::FileStat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ydxplat::Close(fd);
    return 0;
  }
  const Uint32* table = CRCTable(p);
  const size_t kChunk = 1 << 20;
  std::vector<unsigned char> chunk(kChunk);
  Uint32 crc = 0xFFFFFFFFu;
  int64_t total = 0, got;
  while ((got = ydxplat::Read(fd, chunk.data(), kChunk)) > 0) {
    crc = CRCUpdate(crc, chunk.data(), (size_t)got, table);
    total += got;
    if ((size_t)got < kChunk) break;
  }
  ydxplat::Close(fd);
  if (got < 0 || total == 0) return 0;
  return ~crc;
}

// ---- MT19937 ----

namespace {
enum { kMTWords = 624, kMTNeverSeeded = 625, kMTShift = 397 };

void MTSeed(sMainPrivate* p, Uint32 seed) {
  p->mtstate[0] = seed;
  for (Uint32 i = 1; i < kMTWords; i++)
    p->mtstate[i] = 1812433253u * (p->mtstate[i - 1] ^ (p->mtstate[i - 1] >> 30)) + i;
  p->mtindex = kMTWords;
}

void MTRegenerate(sMainPrivate* p) {
  for (int i = 0; i < kMTWords; i++) {
    Uint32 y = (p->mtstate[i] & 0x80000000u) | (p->mtstate[(i + 1) % kMTWords] & 0x7FFFFFFFu);
    p->mtstate[i] = p->mtstate[(i + kMTShift) % kMTWords] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFu : 0);
  }
  p->mtindex = 0;
}
}  // namespace

void Yandorix_Main::RandSeed(unsigned int seed) {
  std::lock_guard<std::mutex> lock(p->randmutex);
  MTSeed(p, seed);
}

unsigned int Yandorix_Main::Rand() {
  std::lock_guard<std::mutex> lock(p->randmutex);
  if (p->mtindex >= kMTWords) {
    if (p->mtindex == kMTNeverSeeded) MTSeed(p, 5489);
    MTRegenerate(p);
  }
  Uint32 y = p->mtstate[p->mtindex++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

double Yandorix_Main::RandReal() { return Rand() * (1.0 / 4294967295.0); }

// ---- Version ----

char* Yandorix_Main::GetVersion() { return p->version; }
char* Yandorix_Main::GetCopyright() { return p->copyright; }

int Yandorix_Main::RequireVersion(int major, int minor) {
  if (p->versionmajor * 100 + p->versionminor >= major * 100 + minor) return 1;
  ILogSystem.Msg(0, "\n . [Error] - Found %s and minimum v%d.%d is required.\n\n", "Yandorix SDK Win32 v5.22", major,
                 minor);
  return 0;
}

void Yandorix_Main::PrintVersion() {
  ILogSystem.Msg(0, "\n . %s\n%s\nCompiled on %s %s\n", p->version, p->copyright, __DATE__, __TIME__);
}

// ---- Keys ----

namespace {

// Writable like every text the main object hands out (callers hold them as char*); filled at compile time.
struct OneCharacterTexts {
  char text[128][2];
  constexpr OneCharacterTexts() : text() {
    for (int c = 0; c < 128; c++) text[c][0] = (char)c;
  }
};
OneCharacterTexts oneCharacter;

// The US layout's shifted characters.
int ShiftedCharacter(int key) {
  static const char kPlain[] = "',-./0123456789;=[\\]`";
  static const char kShifted[] = "\"<_>?)!@#$%^&*(:+{|}~";
  static_assert(sizeof kPlain == sizeof kShifted, "one shifted character per plain one");
  if (key >= 'a' && key <= 'z') return key - 'a' + 'A';
  if (key <= 0 || key > 127) return 0;
  const char* found = strchr(kPlain, key);
  return found ? kShifted[found - kPlain] : 0;
}

int TranslateKey(int key, SDLMod modifiers) {
  if (modifiers & KMOD_SHIFT) {
    int shifted = ShiftedCharacter(key);
    if (shifted) return shifted;
  }
  switch (key) {
    case SDLK_KP_DIVIDE: return '/';
    case SDLK_KP_MULTIPLY: return '*';
    case SDLK_KP_MINUS: return '-';
    case SDLK_KP_PLUS: return '+';
    case SDLK_KP_ENTER: return 13;
  }
  if (key >= SDLK_KP0 && key <= SDLK_KP_PERIOD) {
    if (modifiers & KMOD_NUM) return key == SDLK_KP_PERIOD ? '.' : '0' + (key - SDLK_KP0);
    static const int kNavigation[] = {SDLK_INSERT, SDLK_END,  SDLK_DOWN, SDLK_PAGEDOWN, SDLK_LEFT, SDLK_KP5,
                                      SDLK_RIGHT,  SDLK_HOME, SDLK_UP,   SDLK_PAGEUP,   SDLK_DELETE};
    return kNavigation[key - SDLK_KP0];
  }
  return key;
}

}  // namespace

char* Yandorix_Main::GetKeyName(int key) {
  if (key == ' ' || key == '%') return oneCharacter.text[key];
  if ((key >= 33 && key <= 64) || (key >= 91 && key <= 122)) return SDL_GetKeyName((SDLKey)key);
  if ((key >= 'A' && key <= 'Z') || (key >= '{' && key <= '~')) return oneCharacter.text[key];
  return NULL;
}

// ---- Key presses between logic frames ----
//
// A key tapped between two snapshots never shows in SDL's key array, and two keys held at once come out
// of it in key-code order. So the presses Update polls wait here, with their own modifiers, until
// GetKeyPressed hands them out; only then does a key still held repeat from the key array. A press is
// kept only for the reader that had the focus when it was polled (the frame driver decides): keys typed
// for the game never surface in a console or an input box that opens afterwards, and a key typed into
// a box or the console is that reader's even once the pointer left or the console closed.

namespace {

enum { kFirstTypedKey = 8, kLastTypedKey = 295 };
// The application counts as reading keys for this long after its last GetKeyPressed, and at least
// two logic frames: a game that reads at its own pace keeps what is typed between its reads.
const Uint32 kGameReadMs = 1000;

bool KeyDown(const sKeyPressStore& store, int key) { return (store.down[key >> 3] >> (key & 7)) & 1; }

void SetKeyDown(sKeyPressStore* store, int key, bool down) {
  Uint8 bit = (Uint8)(1 << (key & 7));
  store->down[key >> 3] = (Uint8)(down ? store->down[key >> 3] | bit : store->down[key >> 3] & ~bit);
}

void RemovePress(sKeyPressStore* store, int index) {
  memmove(&store->presses[index], &store->presses[index + 1], (size_t)(store->count - index - 1) * sizeof(sKeyPress));
  store->count--;
}

// The oldest press kept for `reader`, taken out of the store; false when none waits.
bool TakePress(sKeyPressStore* store, int reader, sKeyPress* press) {
  for (int index = 0; index < store->count; ++index)
    if (store->presses[index].reader == reader) {
      *press = store->presses[index];
      RemovePress(store, index);
      return true;
    }
  return false;
}

// Whether SDL's queue still holds a press of `key` that Update has not polled: the key array already
// shows such a key down, but its press is typed from the store once polled, not twice. SDL's queue is
// looked at once per call, and only when a held key is about to be reported.
class UnpolledPresses {
 public:
  bool Hold(int key) {
    if (count < 0) count = std::max(0, SDL_PeepEvents(events, kQueueSize, SDL_PEEKEVENT, SDL_KEYDOWNMASK));
    for (int i = 0; i < count; ++i)
      if (events[i].key.keysym.sym == key) return true;
    return false;
  }

 private:
  enum { kQueueSize = 128 };   // SDL 1.2's queue holds no more
  SDL_Event events[kQueueSize];
  int count = -1;
};

}  // namespace

bool Yandorix_GameReadsKeys() {
  const sMainPrivate* p = MainPrivate();
  if (!p->appreadskeys) return false;
  Uint32 window = std::max(kGameReadMs, Yandorix_LogicFramesMs(2));
  return Yandorix_Ticks() - p->appkeyread <= window;
}

void Yandorix_RememberKeyEvent(const SDL_Event& event, int reader, bool kept) {
  if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
  sKeyPressStore* store = &MainPrivate()->keypresses;
  int key = event.key.keysym.sym;
  if (key <= 0 || key >= SDLK_LAST) return;
  if (event.type == SDL_KEYUP) {
    SetKeyDown(store, key, false);
    return;
  }
  // With SDL's key repeat on, a held key sends presses of its own; the held-key repeat covers those.
  int repeatDelay = 0, repeatInterval = 0;
  SDL_GetKeyRepeat(&repeatDelay, &repeatInterval);
  bool repeat = repeatDelay > 0 && KeyDown(*store, key);
  SetKeyDown(store, key, true);
  if (key < kFirstTypedKey || key > kLastTypedKey || repeat) return;
  store->owner[key] = (Uint16)reader;
  if (!kept || reader == kReaderNobody) return;
  if (store->count == kKeyPresses) RemovePress(store, 0);
  store->presses[store->count++] = sKeyPress{(Uint16)key, (Uint16)event.key.keysym.mod, (Uint16)reader};
}

void Yandorix_SyncKeysDown(const Uint8* keystate) {
  if (!keystate) return;
  sKeyPressStore* store = &MainPrivate()->keypresses;
  for (int byte = 0; byte < (int)sizeof store->down; ++byte)
    for (int key = byte * 8; store->down[byte] && key < byte * 8 + 8 && key < SDLK_LAST; ++key)
      if (!keystate[key]) SetKeyDown(store, key, false);
}

void Yandorix_ForgetKeyPresses(int reader) {
  sKeyPressStore* store = &MainPrivate()->keypresses;
  int kept = 0;
  for (int index = 0; index < store->count; ++index)
    if (store->presses[index].reader != reader) store->presses[kept++] = store->presses[index];
  store->count = (Uint8)kept;
}

int Yandorix_WaitingKey(int reader) {
  sMainPrivate* p = MainPrivate();
  sKeyPress press;
  if (!p->keystate || !TakePress(&p->keypresses, reader, &press)) return 0;
  p->keytimes[press.key] = Yandorix_Ticks();   // a key still held repeats `delay` ms after its press was typed
  return TranslateKey(press.key, (SDLMod)press.mod);
}

int Yandorix_TypedKey(int reader, int delay) {
  sMainPrivate* p = MainPrivate();
  if (!p->keystate) return 0;
  int waiting = Yandorix_WaitingKey(reader);
  if (waiting) return waiting;
  Uint32 now = Yandorix_Ticks();
  Uint32 wait = delay < 0 ? 0 : (Uint32)delay;
  const sKeyPressStore& store = p->keypresses;
  UnpolledPresses unpolled;
  for (int key = kFirstTypedKey; key <= kLastTypedKey; key++) {
    if (!p->keystate[key] || now - p->keytimes[key] <= wait) continue;
    if (KeyDown(store, key) && store.owner[key] != reader) continue;   // its press went to another reader
    if (unpolled.Hold(key)) continue;
    p->keytimes[key] = now;
    return TranslateKey(key, SDL_GetModState());
  }
  return 0;
}

int Yandorix_Main::GetKeyPressed(int delay) {
  // What waited for a game that stopped reading went at the snapshots meanwhile; a hitch in the game's
  // own step since its last read (no snapshot) drops nothing typed before it.
  p->appreadskeys = 1;
  p->appkeyread = Yandorix_Ticks();
  return Yandorix_TypedKey(kReaderGame, delay);
}

// ---- Diagnostic dumps ----

static const char* YesNo(Uint32 flag) { return flag ? "yes" : "no"; }

void Yandorix_Main::VideoInfo() {
  ILogSystem.Msg(0, "\n . Video subsystem info:\n");
  const SDL_VideoInfo* info = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetVideoInfo() : NULL;
  if (!info) {
    ILogSystem.Msg(0, "   . Video subsystem was not initiated.\n\n");
    return;
  }
  char driver[21] = "";
  if (!SDL_VideoDriverName(driver, sizeof driver)) strcpy(driver, "unknown");
  ILogSystem.Msg(0, "   . Renderer: %s\n", driver);
  ILogSystem.Msg(0, "     -> Video memory: %d Mb\n", (int)(info->video_mem / 1024));
  ILogSystem.Msg(0, "     -> Hardware surfaces: %s\n", YesNo(info->hw_available));
  ILogSystem.Msg(0, "     -> Hardware color fill: %s\n", YesNo(info->blit_fill));
  ILogSystem.Msg(0, "     -> Hardware normal blits: %s\n", YesNo(info->blit_hw));
  ILogSystem.Msg(0, "     -> Hardware colorkey blits: %s\n", YesNo(info->blit_hw_CC));
  ILogSystem.Msg(0, "     -> Hardware alpha blending blits: %s\n", YesNo(info->blit_hw_A));
  if (screen) {
    const char* mode = (screen->flags & SDL_FULLSCREEN) ? "full screen" : "window screen";
    ILogSystem.Msg(0, "\n   . Main screen surface info:\n");
    ILogSystem.Msg(0, "     -> Resolution: %d x %d with %d bits.\n", screen->w, screen->h,
                   screen->format->BitsPerPixel);
    if (screen->flags & SDL_HWSURFACE)
      ILogSystem.Msg(0, "     -> Surface is stored on video memory(VRAM) with double-buffer %s and %s.\n",
                     (screen->flags & SDL_DOUBLEBUF) ? "enabled" : "disabled", mode);
    else
      ILogSystem.Msg(0, "     -> Surface is stored on system memory(RAM) and %s\n", mode);
  }
  ILogSystem.Msg(0, "\n   . Stats:\n");
  ILogSystem.Msg(0, "     -> Surface to Texture conversions: at loading time %d and at running time %d\n",
                 Yandorix_TexturesAtLoad, Yandorix_TexturesAtRun);
  ILogSystem.Msg(0, "\n");
}

void Yandorix_Main::AudioInfo() {
  ILogSystem.Msg(0, "\n . Audio subsystem info: ");
  if (!p->initialised || !ISoundFX) {
    ILogSystem.Msg(0, "Yandorix was not initiated.\n");
    return;
  }
  int frequency = 0, channels = 0;
  Uint16 format = 0;
  if (!ISoundFX->Initialized() || !Mix_QuerySpec(&frequency, &format, &channels)) {
    ILogSystem.Msg(0, "Audio subsystem was not initiated.\n");
    return;
  }
  char driver[32] = "";
  if (!SDL_AudioDriverName(driver, sizeof driver)) strcpy(driver, "unknown");
  const char* mode = channels <= 0 ? "Null" : channels == 1 ? "Mono" : channels == 2 ? "Stereo" : "Multichannel";
  ILogSystem.Msg(0, "\n   -> Driver: %s\n", driver);
  ILogSystem.Msg(0, "   -> Frequency: %dHz - Format: %dbit - Mode: %s\n", frequency, format & 0xFF, mode);
}

static std::string SurfaceFlagWords(SDL_Surface* surface, bool texture) {
  static const struct {
    Uint32 flag;
    const char* word;
  } kWords[] = {{SDL_ASYNCBLIT, "SDL_ASYNCBLIT"}, {SDL_FULLSCREEN, "SDL_FULLSCREEN"},
                {SDL_DOUBLEBUF, "SDL_DOUBLEBUF"}, {SDL_HWACCEL, "SDL_HWACCEL"},
                {SDL_SRCCOLORKEY, "SDL_SRCCOLORKEY"}, {SDL_RLEACCEL, "SDL_RLEACCEL"},
                {SDL_SRCALPHA, "SDL_SRCALPHA"}};
  std::string words = texture ? "SDL_OPENGL " : "SDL_SWSURFACE ";
  for (const auto& entry : kWords)
    if (surface->flags & entry.flag) words += std::string(entry.word) + " ";
  return words;
}

void Yandorix_Main::SurfaceInfo(SDL_Surface* surface) {
  if (!surface) {
    ILogSystem.Msg(0, " . [Yandorix.SurfaceInfo()] Error: there is no surface to describe.\n");
    return;
  }
  const SDL_PixelFormat* format = surface->format;
  ILogSystem.Msg(0, "\n . Surface(0x%x) info:\n", (unsigned)(uintptr_t)surface);
  ILogSystem.Msg(0, "   -> Flags: %s\n", SurfaceFlagWords(surface, IsTexture(surface) != 0).c_str());
  ILogSystem.Msg(0, "   -> Width: %d - Height: %d - Pitch: %d\n", surface->w, surface->h, surface->pitch);
  ILogSystem.Msg(0, "   -> Alpha blending: ");
  if ((surface->flags & SDL_SRCALPHA) && format->alpha == 255)
    ILogSystem.Msg(0, "per-pixel");
  else if (surface->flags & SDL_SRCALPHA)
    ILogSystem.Msg(0, "per-surface (%d)", format->alpha);
  else
    ILogSystem.Msg(0, "disabled");
  ILogSystem.Msg(0, " - Colorkey: ");
  if ((surface->flags & SDL_SRCCOLORKEY) && format->BitsPerPixel == 8) {
    ILogSystem.Msg(0, "palette color number %d\n", (int)format->colorkey);
  } else if (surface->flags & SDL_SRCCOLORKEY) {
    Uint8 red, green, blue;
    SDL_GetRGB(format->colorkey, format, &red, &green, &blue);
    ILogSystem.Msg(0, "RGB(%d,%d,%d)\n", red, green, blue);
  } else {
    ILogSystem.Msg(0, "disabled\n");
  }
  ILogSystem.Msg(0, "   -> Palette: %d - Bits(per each pixel): %d\n", (int)(unsigned)(uintptr_t)format->palette,
                 format->BitsPerPixel);
  ILogSystem.Msg(0, "   -> Mask[%d,%d,%d,%d] - Shift[%d,%d,%d,%d]\n", format->Rmask, format->Gmask, format->Bmask,
                 format->Amask, format->Rshift, format->Gshift, format->Bshift, format->Ashift);
  ILogSystem.Msg(0, "   -> Loss[%d,%d,%d,%d] - Refcount: %d\n", format->Rloss, format->Gloss, format->Bloss,
                 format->Aloss, surface->refcount);
  ILogSystem.Msg(0, "   -> Pixels: 0x%x\n", (unsigned)(uintptr_t)surface->pixels);
  ILogSystem.Msg(0, "   -> ClipRegion (%d,%d) - (%d,%d)\n", surface->clip_rect.x, surface->clip_rect.y,
                 surface->clip_rect.w, surface->clip_rect.h);
  ILogSystem.Msg(0, "   -> Lock: %d - FormatV: %d\n", surface->locked, surface->format_version);
}

// ---- Surfaces ----

int Yandorix_Main::FreeSurface(SDL_Surface*& surface) {
  if (!surface) {
    ILogSystem.Msg(5, " . [Yandorix.FreeSurface()] Warning: an attempt to free a null surface was detected and "
                      "avoided.\n");
    return 0;
  }
  SDL_FreeSurface(surface);
  surface = NULL;
  return 1;
}

int Yandorix_Main::IsTexture(SDL_Surface* surface) { return surface && glSDL_IsTexture(surface) ? 1 : 0; }

int Yandorix_Main::Surface2Texture(SDL_Surface* surface) {
  if (!p->isgl) return 0;   // the result tells whether OpenGL runs, not whether the upload worked
  if (surface && glSDL_SurfaceToTexture(surface)) Yandorix_TexturesAtLoad++;
  return 1;
}

int Yandorix_Main::SurfaceAutomaticConversion(int on) {
  Yandorix_AutoConvert = on > 0 ? 1 : 0;
  return 1;
}

// What a blit at `dstrect` covers: SDL takes the size from the source, whatever dstrect's own size says
// (callers commonly leave it 0). NULL, meaning anywhere, when there is no destination rectangle.
static SDL_Rect* CoveredArea(const SDL_Surface* src, const SDL_Rect* srcrect, const SDL_Rect* dstrect,
                             SDL_Rect* area) {
  if (!dstrect) return NULL;
  *area = *dstrect;
  if (src) {
    area->w = srcrect ? srcrect->w : (Uint16)src->w;
    area->h = srcrect ? srcrect->h : (Uint16)src->h;
  }
  return area;
}

int Yandorix_Main::Blit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  bool onScreen = dst && dst == screen && ICursor;
  SDL_Rect covered;
  int restored = onScreen ? ICursor->RestoreBG(CoveredArea(src, srcrect, dstrect, &covered)) : 0;
  glSDL_PrepareBlit(src, dst);
  int result = SDL_UpperBlit(src, srcrect, dst, dstrect);
  if (restored && ICursor) ICursor->CopyBG();
  return result;
}

int SurfaceDiffersFromScreen(const SDL_Surface* surface) {
  const SDL_Surface* screen = Yandorix.screen;
  if (!screen || !surface) return 0;
  if ((screen->flags & SDL_HWSURFACE) && !(surface->flags & SDL_HWSURFACE)) return 1;
  const SDL_PixelFormat* a = surface->format;
  const SDL_PixelFormat* b = screen->format;
  return a->BytesPerPixel != b->BytesPerPixel || a->Rmask != b->Rmask || a->Gmask != b->Gmask ||
                 a->Bmask != b->Bmask || a->Amask != b->Amask
             ? 1
             : 0;
}

char* IntToBinaryText(int value, char* buffer) {
  if (!buffer) return buffer;
  Uint32 bits = (Uint32)value;
  int highest = 31;
  while (highest > 0 && !(bits & (1u << highest))) highest--;
  char* out = buffer;
  for (int bit = highest; bit >= 0; bit--) *out++ = (bits & (1u << bit)) ? '1' : '0';
  *out = 0;
  return buffer;
}

// ---- Directories ----

// Makes one folder of a path being built; true when it is a folder afterwards, else `reason` says why.
static bool EnsureDirectory(const std::string& path, std::string* reason) {
  struct stat info;
  if (ydxplat::Stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    *reason = "a file of that name is in the way";
    return false;
  }
  if (ydxplat::MakeDir(path.c_str()) == 0) return true;
  int error = errno;
  if (ydxplat::Stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;   // made by someone else meanwhile
  *reason = strerror(error);
  return false;
}

// The last name of the path is a file name and is not made: every caller in the library passes the
// path of a file it is about to write. A game that wants the last name made too ends the path with '/'.
int Yandorix_Main::MakeDirectory(const char* path) {
  if (!path || !*path) return 0;
  std::string directory = ydxplat::SplitPath(path).dir;
  if (directory.empty()) return 0;
  for (char& c : directory)
    if (c == '\\') c = '/';
  size_t start = 0;
  while (start < directory.size()) {
    size_t slash = directory.find('/', start);
    if (slash == std::string::npos) slash = directory.size();
    std::string prefix = directory.substr(0, slash);
    start = slash + 1;
    if (prefix.empty() || prefix.back() == '/') continue;   // the root, or a doubled separator
    std::string reason;
    if (!EnsureDirectory(prefix, &reason)) {
      ILogSystem.Msg(0, " . [Yandorix.MakeDirectory('%s')] Error: the folder '%s' could not be made: %s.\n", path,
                     prefix.c_str(), reason.c_str());
      return 0;
    }
  }
  return 1;
}
