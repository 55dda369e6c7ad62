// Private state of the main object and the library-wide internals every component may use:
// the clock seam, the initialised test and the automatic-conversion switch.
#pragma once
#include <Yandorix.h>
#include <mutex>

class TiXmlDocument;
class TiXmlElement;

// One XML document slot (handles are the slot number plus one).
struct sXMLSlot {
  TiXmlDocument* document;
  TiXmlElement* pointed;
  TiXmlElement* stored;
};

enum { kXMLSlots = 10, kKeyTimes = 300, kKeyPresses = 64, kMouseEvents = 128 };
// Keys a reader takes in one go at most: all that can wait, and a few held keys once each.
enum { kKeysTakenAtOnce = kKeyPresses + 32 };

// Who a typed key is for, decided when its event is polled: the open console, else the input box the
// pointer is over (each box its own reader, kReaderBox + its layer slot), else the game while it reads
// keys; nobody when none of them (the console's toggle key is nobody's either).
enum { kReaderNobody = 0, kReaderGame = 1, kReaderConsole = 2, kReaderBox = 3 };

// A key press seen as an event: the key, the modifiers it was pressed with, and its reader.
struct sKeyPress {
  Uint16 key;
  Uint16 mod;
  Uint16 reader;
};

// Key presses waiting for their reader, oldest first, so a key tapped between two logic frames is
// still typed and keys come out in the order they were pressed. Fixed in size: the frame driver
// records into it without allocating.
struct sKeyPressStore {
  sKeyPress presses[kKeyPresses];
  Uint8 count;
  Uint8 down[(SDLK_LAST + 7) / 8];      // keys down as the events tell: SDL's own repeats are no presses
  Uint16 owner[SDLK_LAST];              // the reader the press of each key down went to: only it sees the key repeat
};

// What a polled mouse event did. A reset (CleanUp) lets go of every press still followed.
enum { kMousePress = 1, kMouseRelease = 2, kMouseMotion = 3, kMouseReset = 4 };

// One mouse event as Update polled it, with the position where it happened.
struct sMouseEvent {
  Uint8 kind;
  Uint8 button;     // SDL's button number of a press or release
  Uint8 library;    // it happened on the open console or the visible debug window: no button's business
  Sint16 x, y;
  Uint32 serial = 0;   // events recorded before it (the store numbers them)
};

// Mouse events since the button service last took them, oldest first; successive motions keep only
// the last position. A fixed ring: the frame driver records into it without allocating.
struct sMouseEventStore {
  sMouseEvent events[kMouseEvents];
  Uint16 first;
  Uint16 count;
  Uint32 recorded;   // events recorded so far
};

struct sMainPrivate {
  Uint8* keystate;                 // SDL's key array at the last snapshot; NULL before the first
  Uint32 keytimes[kKeyTimes];      // last tick GetKeyPressed reported each key
  char version[64];
  char copyright[32];
  Sint32 versionmajor;
  Sint32 versionminor;
  Uint32* crctable;                // 8 x 256 entries (byte table first, slicing tables after), built once
  Uint32 mtstate[624];
  Sint32 mtindex;                  // 625: never seeded
  sXMLSlot xmlslots[kXMLSlots];
  Uint8 initialised;               // 1 between a successful Init and Quit
  Uint8 crcready;
  Sint32 isgl;
  void (*rendercallback)(int);
  Uint8 renderneeded;
  // Frame pacing.
  Sint32 logicstate;
  Uint32 cycletick, prevcycletick;
  Sint32 pendinglogic;
  float frametime, frameincrement;
  float logicaccum;
  Uint32 rendertick, prevrendertick;
  float renderaccum;
  cConsole* console;
  cDebugWO* debugwindow;
  Sint32 draglastx, draglasty, dragging;
  // Library-side state that is not part of the documented block.
  std::mutex randmutex;            // Rand/RandSeed are shared with the network threads
  std::once_flag crconce;          // the CRC table is built once, whichever thread asks first
  Uint8 warnednotinit;             // Update's "not initialised" warning was given
  Uint8 heldmousemask;             // buttons held at CleanUp, masked until released
  Uint8 pressedmouse;              // buttons pressed since the last snapshot, shown down in the next one
  Uint8 mousedown;                 // buttons down as the events Update polled tell
  Uint8 mousemismatch;             // buttons whose real state disagreed with those events at the last snapshot
  Uint8 polledmouse;               // buttons with a press or release Update polled since the last snapshot
  Sint16 polledx, polledy;         // the pointer as the mouse events polled so far leave it: the key focus
  sKeyPressStore keypresses;
  sMouseEventStore mouseevents;
  Uint32 appkeyread;               // the tick of the application's last GetKeyPressed
  Uint8 appreadskeys;              // the application has called GetKeyPressed
  Uint8 fellbehind;                // logic frames were dropped in this episode of slow logic steps (warned)
  SDL_Event frameevent;            // Update's own record when the caller passes none
  void (*eventwatch)(const SDL_Event& event);   // sees each event Update polls (NULL: none), so a
                                                // wait that runs the frame loop sees Escape and quit
};

// The library's access to the main object's private block.
struct Yandorix_MainAccess {
  static sMainPrivate* Of(Yandorix_Main& main) { return main.p; }
};
inline sMainPrivate* MainPrivate() { return Yandorix_MainAccess::Of(Yandorix); }

// True between a successful Init and Quit (inittime keeps its value after Quit for applications).
bool Yandorix_IsInitialised();

// The one clock every time reading of the library goes through (SDL_GetTicks unless a test replaces it).
Uint32 Yandorix_Ticks();
void Yandorix_SetClock(Uint32 (*clock)(void));   // NULL restores SDL_GetTicks

// 1 when `surface` must be converted before blitting to the screen (depth, masks or memory kind
// differ); 0 without a screen.
int SurfaceDiffersFromScreen(const SDL_Surface* surface);
// Binary digits of `value`, most significant first, without leading zeros; a negative value gives its
// 32-bit pattern. `buffer` holds at least 33 characters. Returns `buffer`.
char* IntToBinaryText(int value, char* buffer);

// Remembers a key press or release polled by Update, for GetKeyPressed: the press is `reader`'s, it
// waits for that reader when `kept`, and the key repeats only for that reader while it is held.
void Yandorix_RememberKeyEvent(const SDL_Event& event, int reader, bool kept);
// Forgets keys that are up in SDL's key array although no release reached Update (SDL refreshes the
// array without events when the window regains focus); called at every snapshot.
void Yandorix_SyncKeysDown(const Uint8* keystate);
// Drops the presses waiting for `reader` (it stopped reading, or went away).
void Yandorix_ForgetKeyPresses(int reader);
// Whether the game reads keys: it called GetKeyPressed in the last second, and at least within the
// last two logic frames.
bool Yandorix_GameReadsKeys();
// GetKeyPressed for one reader: the presses kept for it, oldest first, then the held keys whose press
// went to it (or that no polled press announced), each at most once per `delay` ms.
int Yandorix_TypedKey(int reader, int delay);
// Only the oldest press kept for `reader`, no held key; 0 when none waits.
int Yandorix_WaitingKey(int reader);
// Milliseconds that `frames` logic frames last at the desired rate; 0 while logic runs free.
Uint32 Yandorix_LogicFramesMs(int frames);

// Whether the console is open and takes typed keys (enabled, shown or fading in, input line on), and
// whether it covers the screen point (x, y) while it does.
bool Yandorix_ConsoleTakesInput();
bool Yandorix_ConsoleCovers(int x, int y);
// Whether a mouse press at (x, y) is the library's own: on the open console or the shown debug window.
bool Yandorix_LibraryWindowAt(int x, int y);
// The layer slot (layer x 32 + slot) of the input box that takes typed keys with the pointer at (x, y),
// or -1: a box that takes input, the pointer strictly inside it.
int Yandorix_InputBoxAt(int x, int y);
// The button service's input step at a snapshot of the frame driver: judged from the polled mouse
// events alone (IButton->Update called by the application judges its snapshot fields as well).
void Yandorix_UpdateButtonsAtSnapshot();

// Keeps the first window close polled by a wait that takes the events itself (a connect, a movie) and
// puts it back on SDL's queue when the wait ends, so the game still sees it.
class Yandorix_QuitKeeper {
 public:
  Yandorix_QuitKeeper() = default;
  Yandorix_QuitKeeper(const Yandorix_QuitKeeper&) = delete;
  Yandorix_QuitKeeper& operator=(const Yandorix_QuitKeeper&) = delete;
  void Note(const SDL_Event& event) {
    if (event.type == SDL_QUIT && !kept) kept = true, quit = event;
  }
  ~Yandorix_QuitKeeper() {
    if (kept) SDL_PushEvent(&quit);
  }

 private:
  bool kept = false;
  SDL_Event quit;
};

// The mouse events Update polled, for the button service: records one, and hands out the oldest
// (false when none is left).
void Yandorix_RecordMouseEvent(const sMouseEvent& event);
// How many mouse events were recorded so far: a button made now takes no press recorded before.
Uint32 Yandorix_MouseEventsRecorded();
bool Yandorix_NextMouseEvent(sMouseEvent* event);

// The running CRC-32 of CRC32 (reflected, neither complemented in nor out) continued over more bytes.
Uint32 Yandorix_CRCRunning(Uint32 crc, const unsigned char* data, size_t length);

// SDL_Init for Init: "glSDL" in SDL_VIDEODRIVER starts the OpenGL back end on SDL's X11 driver.
int Yandorix_StartSDL(Uint32 flags);

// The automatic-conversion switch of the loaders and the texture counters.
extern int Yandorix_AutoConvert;
extern int Yandorix_TexturesAtLoad;
extern int Yandorix_TexturesAtRun;
