// The two records of SDL 1.2.15 that the OpenGL back end reaches into: the video-device record of the
// running driver and a surface's blit map. Debian's SDL exports neither, so their x86-64 layout is
// declared here from measurement; the back end checks at run time that it is talking to 1.2.15.
// Only the fields the back end reads or replaces are named; the rest stays opaque.
#pragma once
#include <SDL.h>
#include <stddef.h>

struct sSDLDevice;

typedef int (*sSDLBlit)(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect);

struct sSDLDevice {
  const char* name;                                                          // 0
  int (*VideoInit)(sSDLDevice* self, SDL_PixelFormat* format);               // 8
  SDL_Rect** (*ListModes)(sSDLDevice* self, SDL_PixelFormat* format, Uint32 flags);
  SDL_Surface* (*SetVideoMode)(sSDLDevice* self, SDL_Surface* current, int width, int height, int bpp,
                               Uint32 flags);                                // 24
  int (*ToggleFullScreen)(sSDLDevice* self, int on);
  void (*UpdateMouse)(sSDLDevice* self);
  void* createOverlay;                                                       // 48, left to the driver
  int (*SetColors)(sSDLDevice* self, int first, int count, SDL_Color* colors);
  void (*UpdateRects)(sSDLDevice* self, int count, SDL_Rect* rects);         // 64
  void (*VideoQuit)(sSDLDevice* self);                                       // 72
  SDL_VideoInfo info;                                                        // 80, SDL_GetVideoInfo()
  SDL_PixelFormat* alphaDisplayFormat;                                       // 104
  int (*AllocHWSurface)(sSDLDevice* self, SDL_Surface* surface);             // 112
  int (*CheckHWBlit)(sSDLDevice* self, SDL_Surface* src, SDL_Surface* dst);
  int (*FillHWRect)(sSDLDevice* self, SDL_Surface* dst, SDL_Rect* rect, Uint32 color);
  int (*SetHWColorKey)(sSDLDevice* self, SDL_Surface* surface, Uint32 key);
  int (*SetHWAlpha)(sSDLDevice* self, SDL_Surface* surface, Uint8 value);
  int (*LockHWSurface)(sSDLDevice* self, SDL_Surface* surface);              // 152
  void (*UnlockHWSurface)(sSDLDevice* self, SDL_Surface* surface);
  int (*FlipHWSurface)(sSDLDevice* self, SDL_Surface* surface);
  void (*FreeHWSurface)(sSDLDevice* self, SDL_Surface* surface);             // 176
  Uint16* gammaTable;                                                        // 184, SDL's own
  int (*SetGamma)(sSDLDevice* self, float red, float green, float blue);     // 192
  int (*GetGamma)(sSDLDevice* self, float* red, float* green, float* blue);
  int (*SetGammaRamp)(sSDLDevice* self, Uint16* ramp);
  int (*GetGammaRamp)(sSDLDevice* self, Uint16* ramp);                       // 216
  int (*GL_LoadLibrary)(sSDLDevice* self, const char* path);
  void* (*GL_GetProcAddress)(sSDLDevice* self, const char* name);            // 232
  int (*GL_GetAttribute)(sSDLDevice* self, SDL_GLattr attribute, int* value);
  int (*GL_MakeCurrent)(sSDLDevice* self);                                   // 248
  void (*GL_SwapBuffers)(sSDLDevice* self);                                  // 256
  void* stockGL[27];                                                         // 264, SDL's own GL table
  int is32bit;                                                               // 480
  void* windowAndEvents[13];                                                 // 488, caption ... events
  SDL_Surface* screen;                                                       // 592
  SDL_Surface* shadow;
  SDL_Surface* visible;                                                      // 608, SDL_GetVideoSurface()
  void* physicalPalette;
  void* gammaColours;
  char* wm_title;                                                            // 632
  char* wm_icon;
  int offsetX, offsetY;
  int inputGrab, handlesAnySize;                                             // 656
  Uint8 gl_config[336];                                                      // 664, SDL_GL_SetAttribute's
  void* hidden;                                                              // 1000, the driver's own
  void* gl_data;
  void (*free)(sSDLDevice* self);                                            // 1016
};

static_assert(offsetof(sSDLDevice, info) == 80, "SDL 1.2.15 device: info");
static_assert(offsetof(sSDLDevice, alphaDisplayFormat) == 104, "SDL 1.2.15 device: alpha display format");
static_assert(offsetof(sSDLDevice, AllocHWSurface) == 112, "SDL 1.2.15 device: surface slots");
static_assert(offsetof(sSDLDevice, FreeHWSurface) == 176, "SDL 1.2.15 device: surface slots");
static_assert(offsetof(sSDLDevice, SetGamma) == 192, "SDL 1.2.15 device: gamma slots");
static_assert(offsetof(sSDLDevice, GL_GetProcAddress) == 232, "SDL 1.2.15 device: GL loader");
static_assert(offsetof(sSDLDevice, GL_SwapBuffers) == 256, "SDL 1.2.15 device: GL swap");
static_assert(offsetof(sSDLDevice, is32bit) == 480, "SDL 1.2.15 device: 32-bit flag");
static_assert(offsetof(sSDLDevice, screen) == 592, "SDL 1.2.15 device: screen");
static_assert(offsetof(sSDLDevice, visible) == 608, "SDL 1.2.15 device: visible surface");
static_assert(offsetof(sSDLDevice, wm_title) == 632, "SDL 1.2.15 device: caption");
static_assert(offsetof(sSDLDevice, gl_config) == 664, "SDL 1.2.15 device: GL attributes");
static_assert(offsetof(sSDLDevice, hidden) == 1000, "SDL 1.2.15 device: driver data");
static_assert(offsetof(sSDLDevice, free) == 1016, "SDL 1.2.15 device: release");
static_assert(sizeof(sSDLDevice) == 1024, "SDL 1.2.15 device: size");

// A surface's blit map (SDL_Surface::map).
struct sSDLBlitMap {
  SDL_Surface* dst;          // 0: the surface the map was made for
  int identity;              // 8
  Uint8* table;              // 16
  sSDLBlit hw_blit;          // 24: called while the source carries SDL_HWACCEL
  sSDLBlit sw_blit;          // 32
  void* hwData;              // 40
  void* swData;              // 48
  unsigned int formatVersion;// 56: must match dst->format_version for the map to count as valid
};

static_assert(offsetof(sSDLBlitMap, hw_blit) == 24, "SDL 1.2.15 blit map: hardware blit");
static_assert(offsetof(sSDLBlitMap, formatVersion) == 56, "SDL 1.2.15 blit map: format version");
static_assert(sizeof(sSDLBlitMap) == 64, "SDL 1.2.15 blit map: size");

inline sSDLBlitMap* MapOf(SDL_Surface* surface) { return reinterpret_cast<sSDLBlitMap*>(surface->map); }
