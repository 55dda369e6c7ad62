// The main object: configuration, screen, input snapshot and the frame driver, plus the services the
// rest of the library shares (CRC-32, random numbers, keys, surface helpers, XML documents, console).
#ifndef YANDORIX_MAIN_H
#define YANDORIX_MAIN_H

#include <SDL.h>
#include <stdarg.h>
#include <string>
#include <type_traits>
#include <vector>
#include "Export.h"

class Yandorix_CFont;

class YDX_API Yandorix_Main {
 public:
  // The configuration record: the same fields, order and widths as the head of the main object, so
  // LoadConfig/SaveConfig accept either a separate record or the main object itself.
  struct sConfig {
    char* title;
    SDL_Surface* icon;
    Sint8 mtfriendly;
    Uint8 renderer;
    Uint8 accel;
    Sint8 window;
    Uint8 colordepth;
    Uint16 resolutionx;
    Uint16 resolutiony;
    Uint8 audioenable;
    Sint32 audioformat;
    Sint32 audiofrequency;
    Sint32 audiomode;
    Sint32 audiobuffer;
    Uint8 musicvol;
    Uint8 soundvol;
  };

  // --- configuration (the head of the object; see sConfig) ---
  char* title;              // window caption; the application's own pointer, not copied
  SDL_Surface* icon;        // window icon; owned by the main object once set
  Sint8 mtfriendly;         // milliseconds slept at the end of every Update pass
  Uint8 renderer;           // 1 detect, 8 x11, 16 fbcon, 64 OpenGL (2 and 4 are Windows back ends)
  Uint8 accel;              // 1 software, 2 hardware + double buffer, 3 hardware
  Sint8 window;             // 0 full screen, 1 window, 2 window without frame
  Uint8 colordepth;         // bits per pixel; 0 = the desktop's
  Uint16 resolutionx;
  Uint16 resolutiony;
  Uint8 audioenable;
  Sint32 audioformat;       // 8 selects 8-bit samples, anything else 16-bit
  Sint32 audiofrequency;
  Sint32 audiomode;         // channels
  Sint32 audiobuffer;
  Uint8 musicvol;
  Uint8 soundvol;
  // --- state ---
  SDL_Surface* screen;      // the video surface; the default target of every drawing class
  Sint32 mousex;
  Sint32 mousey;
  // Buttons down at the last logic frame (SDL_BUTTON masks); a button pressed and released since the
  // frame before counts as down once. prevmousebuttons: the same of the frame before.
  Uint8 mousebuttons;
  Uint8 prevmousebuttons;
  Sint32 inittime;          // tick at the end of a successful Init; -1 before
  Uint8 backupsurfaces;     // 1 when video surfaces can be lost and must be restored from copies
  Sint32 numtiles;
  Sint32 numsprites;
  Sint32 numfonts;

  Yandorix_Main();
  ~Yandorix_Main();

  // Start-up and shutdown. A second Init without Quit warns and keeps the running services.
  // Init: 1 started, -1 refused (no MMX, or SDL_Init failed). The service pointers (IStuffDPF, ISoundFX,
  // ...) exist from a successful Init until Quit and are NULL before and after.
  int Init(unsigned int sdlflags);
  void Quit();
  // Between two runs of a frame loop: no key or button held, frame counters and pacing restarted.
  void CleanUp();

  // Video mode.
  // 1 when the screen is open, 0 on failure. Reads the configuration fields; renderer 1 becomes the
  // code of the back end it detected (8 X11, 64 OpenGL), and colordepth 24 becomes 32.
  int SetVideoMode();
  int IsGL();

  // Frame driver. 1: an event in `event`, or no logic frame due at a fixed logic rate; 0: run one logic
  // step. While the library is not initialised it only polls events (warning once): 1 when it placed an
  // event in `event`, else 0. Logic steps slower than the logic rate: about a quarter second of them at
  // most before a render, the rest of the backlog dropped (one Warning), so the game still renders.
  int Update(SDL_Event* event);
  // The callback draws one frame; its argument is 1 when logic frames ran since the previous render.
  void SetRenderCallback(void (*callback)(int));
  // Logic frames due since the start; the fraction is how far the clock is towards the next one.
  float GetLogicTime();
  int GetKeystate(int key);   // 0 before the first logic frame and for codes outside SDL's key range
  // Render-needed state: windows and buttons draw only while it is not 0. RenderNeeded(1) asks for one
  // such render, 2 for every render (games that repaint the whole screen), 0 for none (a double-buffered
  // screen stays at 2). An input box being typed into holds it at 2 and gives
  // back what it found when the typing ends.
  int IsRenderNeeded();   // 1 while the state is 1 or 2, 0 at 0: it does not tell 1 from 2
  void RenderNeeded(int n);

  // Utilities.
  unsigned int CRC32(const char* data, int length);
  unsigned int CRC32(const char* filename);   // 0: unreadable, empty, or not a regular file
  void RandSeed(unsigned int seed);
  unsigned int Rand();
  double RandReal();
  char* GetVersion();
  char* GetCopyright();
  int RequireVersion(int major, int minor);
  void PrintVersion();
  char* GetKeyName(int key);     // NULL for keys without a name
  // Typed keys as characters, one per call, oldest first; a held key repeats every delay ms; 0 for none.
  // A key is kept only for whoever had the focus when Update polled it: the open console, else the
  // input box the mouse is over, else the application while it reads keys (it called GetKeyPressed in
  // the last second, at least two logic frames); the application's keys are dropped once it stops
  // reading, a box's or the console's stay theirs. A held key repeats only for its reader. The key
  // press Update hands the caller in its record is the game's until the next logic frame.
  int GetKeyPressed(int delay);
  void VideoInfo();
  void AudioInfo();
  void SurfaceInfo(SDL_Surface* surface);
  int FreeSurface(SDL_Surface*& surface);   // 1 freed (pointer set to NULL), 0 for a NULL surface
  int IsTexture(SDL_Surface* surface);
  int Surface2Texture(SDL_Surface* surface);
  int SurfaceAutomaticConversion(int on);
  int Blit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect);
  // Makes every missing folder before the path's last '/' or '\': the last name is a file's and is not
  // made ("saves/slot1/game.sav" makes saves/slot1; "saves/" makes saves). 1 when all those folders
  // exist afterwards; 0 for a path without a folder part, or with an Error line naming the folder that
  // could not be made and why.
  int MakeDirectory(const char* path);
  // Writes "CPU vendor, name and features" into buffer (64 characters are enough).
  int GetCPUName(char* buffer);

  // ---- XML documents (handles 1..10) ----
  // Documents from a file, from a "FILE" block of an open archive or of an archive file, or new ones.
  int XMLOpen(const char* file);
  int XMLOpen(int dpf, const char* name);
  int XMLOpen(const char* dpffile, const char* name);
  int XMLCreate(const char* root);
  void XMLClose(int h);
  int XMLSave(int h, const char* file);
  int XMLSave(int h, int dpf, const char* name);
  int XMLSave(int h, const char* dpffile, const char* name);
  // The cursor: node, attribute, text and comment operations work on the pointed element.
  int XMLNodeFirst(int h);
  int XMLNodeNext(int h);
  int XMLNodePrev(int h);
  int XMLNodeParent(int h);
  int XMLNodeChild(int h);
  int XMLNodeStore(int h);
  int XMLNodeRestore(int h);
  // Follows n element names from the document (the first names the root); the rest are const char*.
  int XMLNodePointTo(int h, int n, const char* name, ...);
  // Editing. Returned texts belong to the document and stay valid until it changes.
  int XMLNodeCreate(int h, const char* name);
  int XMLNodeRemove(int h);
  int XMLNodeRename(int h, const char* name);
  char* XMLNodeGetName(int h);
  int XMLAttributeSet(int h, const char* name, const char* value);
  int XMLAttributeSet(int h, const char* name, int value);
  // Numbers are written as the shortest text that reads back as the same value (0.1 as "0.1").
  int XMLAttributeSet(int h, const char* name, double value);
  int XMLAttributeSet(int h, const char* name, float value);
  // The attribute's text (NULL when absent) through `value`; 1 when present.
  int XMLAttributeGet(int h, const char* name, char** value);
  int XMLAttributeGet(int h, const char* name, const char** value);
  int XMLAttributeGet(int h, const char* name, int* value);
  int XMLAttributeGet(int h, const char* name, double* value);
  int XMLAttributeRemove(int h, const char* name);
  char* XMLTextGet(int h);
  int XMLTextSet(int h, const char* text);
  int XMLTextRemove(int h);
  char* XMLCommentGet(int h);
  int XMLCommentSet(int h, const char* text);
  int XMLCommentRemove(int h);

  // ---- configuration file ----
  // The "setup" document as a plain file (empty or NULL dpf) or as a "FILE" block of the archive dpf.
  // A NULL config reads into / writes from the configuration fields at the head of this object.
  int LoadConfig(const char* dpf, const char* name, sConfig* config);
  // LoadConfig: 1 only when every value was read; 0 with an Info line, the values untouched, when nothing
  // was saved there yet (a first start). Elements other than the library's three are passed over.
  // SaveConfig: 1 when saved. It writes the document anew with the library's elements only (a game adds
  // its own after each save), and the fields as they are now, after SetVideoMode has replaced renderer 1
  // by the back end it detected.
  int SaveConfig(const char* dpf, const char* name, const sConfig* config);

  // ---- console and debug window ----
  // Both windows exist from SetVideoMode on (hidden and disabled); until then every operation here does
  // nothing and the getters return 0 or NULL. A new SetVideoMode replaces both windows with new ones.
  void ConTitle(const char* title);   // NULL keeps the title
  void ConEnable();                   // shows the title and an empty line once accepted
  void ConDisable();
  int ConisEnabled();
  void ConSetVisible(signed char v);  // v > 0 fades in, v <= 0 fades out
  int ConisVisible();                 // 0 hidden, 1 shown, 33 fading in, 223 fading out
  void ConSetFont(const char* file, const char* name);
  void ConSetFont(int handle, const char* name);
  Yandorix_CFont* ConGetFont();       // owned by the console
  void ConResize(short w, short h);   // as DwResize: at least 150 x 100, else that value is kept
  void ConMove(short x, short y);
  SDL_Rect* ConGetRect();             // the console's own rectangle
  void ConSetBgColor(unsigned char r, unsigned char g, unsigned char b);
  void ConSetBgColor(unsigned int pixel);
  unsigned int ConGetBgColor();
  void ConSetBgImage(const char* file, const char* name);
  void ConSetBgImage(int handle, const char* name);
  SDL_Surface* ConGetBgImage();       // the background as drawn; owned by the console
  void ConSetAlpha(unsigned char a);
  unsigned char ConGetAlpha();
  // One console line; lines printed on other threads appear at the console's next logic frame.
  void ConPrint(const char* format, ...) YDX_PRINTF(2, 3);
  void ConvPrint(const char* format, va_list args);
  // The same argument list carried in a char*, as in ConvPrint(format, (char*)args). Where va_list is a
  // plain char pointer the overload above is that very signature and is preferred; where it is an array
  // of one record, the char* points at the caller's record and is taken back as such.
  template <typename F> struct VaParameter;
  template <typename P> struct VaParameter<void(P)> { typedef P type; };   // va_list as a parameter has it
  template <typename C, typename std::enable_if<std::is_same<C, char>::value, int>::type = 0>
  void ConvPrint(const char* format, C* args) {
    ConvPrint(format, reinterpret_cast<typename VaParameter<void(va_list)>::type>(args));
  }
  void ConNewCmdLine();
  // 1 added; 0 for a NULL argument, a name already registered or no console. The two texts are kept
  // by pointer and must live as long as the console.
  int ConAddCmdHandler(const char* name, const char* help, int (*handler)(std::vector<std::string>*));
  // Runs a command line as if typed, on an enabled console only.
  void ConCmd(const char* line);
  // -1 returns the feature word; any other value is XORed into it (bit 1: no toggle key, 2: no input
  // line, 4: no fades). 0 without a console.
  int ConFeatures(int v);

  void DwTitle(const char* title);
  void DwEnable();
  void DwDisable();
  int DwisEnabled();
  // A mouse button pressed on the shown window drags it: the buttons under it do not get the press, the
  // game still gets its event from Update and sees it in mousebuttons.
  void DwSetVisible(signed char v);
  int DwisVisible();
  void DwSetFont(const char* file, const char* name);
  void DwSetFont(int handle, const char* name);
  Yandorix_CFont* DwGetFont();
  // Widths below 150 and heights below 100 keep the current value, without a log line; the window stays
  // on the screen.
  void DwResize(short w, short h);
  void DwMove(short x, short y);
  SDL_Rect* DwGetRect();
  void DwSetBgColor(unsigned char r, unsigned char g, unsigned char b);
  void DwSetBgColor(unsigned int pixel);
  unsigned int DwGetBgColor();
  void DwSetBgImage(const char* file, const char* name);
  void DwSetBgImage(int handle, const char* name);
  SDL_Surface* DwGetBgImage();
  void DwSetAlpha(unsigned char a);
  unsigned char DwGetAlpha();
  // Watches an int, a double or both under a name (all kept by pointer); 1 added, 0 refused. Drawn as
  // one flowing list of "name value", the watch added last first, re-read every 500 ms.
  int DwAddWatch(const char* name, int* ivalue, double* dvalue);
  int DwRemoveWatch(const char* name);   // 1 removed, 0 unknown

 private:
  Yandorix_Main(const Yandorix_Main&) = delete;
  Yandorix_Main& operator=(const Yandorix_Main&) = delete;
  friend struct Yandorix_MainAccess;
  struct sMainPrivate* p;
};

extern YDX_API Yandorix_Main Yandorix;

#endif
