// Helpers shared by the screen effects: the source area, result surfaces SDL accepts, locking, the
// effects' colour-key and alpha rules, drawing a result into a destination, and row-wise colour
// decoding so per-pixel loops run on plain 8-bit components whatever the surface's format.
#pragma once
#include "01_Main.h"
#include "20_Primitives.h"
#include "glSDL.h"

// Internal to the library: hidden, so calls stay direct and small helpers inline.
#pragma GCC visibility push(hidden)
namespace ydxfx {

// What SDL 1.2 creates here: its pitch is 16 bits wide and Debian's build refuses widths of 16384 and
// more; the byte count must fit SDL's int arithmetic.
constexpr long long kMaxWidth = 16383;
constexpr long long kMaxHeight = 65535;
constexpr long long kMaxBytes = 0x7FFFFFFF;

// " . [IScreenFX-><op>] Error: <text>\n" at level 0.
void LogError(const char* op, const char* format, ...) YDX_PRINTF(2, 3);

inline bool IsTexture(SDL_Surface* s) { return glSDL_IsTexture(s) != 0; }

// A geometric effect needs a source other than its destination; false with an Error line.
bool SourceUsable(const SDL_Surface* src, const SDL_Surface* dst, const char* op);

struct Area {
  int x, y, w, h;
};

// The source rectangle (whole surface for NULL) limited to the surface; false with an Error line when
// nothing is left.
bool SettleArea(const SDL_Surface* s, const SDL_Rect* r, Area* area, const char* op);
// The rectangle's size as given (whole surface for NULL), for the OpenGL shortcuts.
void GivenSize(const SDL_Surface* s, const SDL_Rect* r, int* w, int* h);

// True when SDL can create a w x h surface of that depth; false with an Error line.
bool SizeAccepted(long long w, long long h, int bpp, const char* op);
// New zero-filled software surface; NULL with an Error line when SDL cannot make it.
SDL_Surface* NewSurface(long long w, long long h, int bpp, Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask,
                        const char* op);
// The same in model's depth and masks; 8-bit results get model's palette and colour count.
SDL_Surface* NewSurfaceLike(const SDL_Surface* model, long long w, long long h, const char* op);

// Locks a surface for direct pixel access when SDL requires it; unlocks at scope end.
class PixelLock {
 public:
  PixelLock(SDL_Surface* surface, const char* op);
  ~PixelLock();
  bool ok() const { return locked; }
  PixelLock(const PixelLock&) = delete;
  PixelLock& operator=(const PixelLock&) = delete;

 private:
  SDL_Surface* s;
  bool locked;
  bool mustunlock;
};

// Switches a surface's alpha and colour key off so a blit copies it exactly; restores both flags and
// values at scope end.
class BlendingOff {
 public:
  explicit BlendingOff(SDL_Surface* surface);
  ~BlendingOff();
  BlendingOff(const BlendingOff&) = delete;
  BlendingOff& operator=(const BlendingOff&) = delete;

 private:
  SDL_Surface* s;
  Uint32 alphaflags, keyflags, key;
  Uint8 alpha;
};

// Gives result the colour key and per-surface alpha of `from` (same pixel format).
void CopyKeyAndAlpha(const SDL_Surface* from, SDL_Surface* result);

// Where a result lands: the destination rectangle's corner (0, 0 for NULL) plus an offset.
SDL_Rect PlaceAt(const SDL_Rect* dstrect, long long dx, long long dy);
// Without a destination the result goes to the caller. With one it is drawn opaque (its colour key
// kept) at `place`, freed, and the destination is returned.
SDL_Surface* Deliver(SDL_Surface* result, SDL_Surface* dst, SDL_Rect place, const char* op);

// The area copied into a new 32-bit surface with the given colour masks (plus an alpha mask when the
// source has one); alpha and key are off while copying, the key is converted, the alpha carried over.
SDL_Surface* WorkingCopy32(SDL_Surface* src, const Area& area, Uint32 rmask, Uint32 gmask, Uint32 bmask,
                           const char* op);

// OpenGL shortcut: one blit of the source to the screen under the render state the caller has set.
void BlitToScreenGL(SDL_Surface* src, const SDL_Rect* srcrect, const SDL_Rect* dstrect, long long dx,
                    long long dy);

// Rows and pixels by bytes per pixel, fixed at compile time in the loops.
inline Uint8* RowOf(const SDL_Surface* s, int y) { return static_cast<Uint8*>(s->pixels) + (size_t)y * s->pitch; }

template <int BPP>
inline Uint32 LoadPixel(const SDL_Surface* s, const Uint8* row, int x, int y) {
  if constexpr (BPP == 1) return row[x];
  else if constexpr (BPP == 2) return reinterpret_cast<const Uint16*>(row)[x];
  else if constexpr (BPP == 4) return reinterpret_cast<const Uint32*>(row)[x];
  else return ydxpix::ReadUnchecked(s, x, y);
}

template <int BPP>
inline void StorePixel(SDL_Surface* s, Uint8* row, int x, int y, Uint32 value) {
  if constexpr (BPP == 1) row[x] = (Uint8)value;
  else if constexpr (BPP == 2) reinterpret_cast<Uint16*>(row)[x] = (Uint16)value;
  else if constexpr (BPP == 4) reinterpret_cast<Uint32*>(row)[x] = value;
  else ydxpix::WriteUnchecked(s, x, y, value);
}

struct RGB {
  Uint8 r, g, b, unused;
};

// Turns rows of pixels into 8-bit components and back exactly as SDL_GetRGB/SDL_MapRGB would, with
// direct channel arithmetic for packed formats and SDL's functions only for palettes.
class ColourCodec {
 public:
  explicit ColourCodec(const SDL_PixelFormat* format);
  void DecodeRow(const SDL_Surface* s, int y, int x0, int count, RGB* out) const;
  // keepOther: bits outside red, green and blue keep the old pixel's (in-place effects); otherwise the
  // alpha bits are set opaque as SDL_MapRGB does.
  void EncodeRow(SDL_Surface* s, int y, int x0, int count, const RGB* in, bool keepOther) const;
  Uint32 Encode(const RGB& c) const;
  RGB Decode(Uint32 pixel) const;
  // The colour that storing c and reading it back gives.
  RGB Quantize(const RGB& c) const;
  // In place over the whole surface: each 8-bit component c becomes tables[channel][c]; other bits stay.
  void ApplyTables(SDL_Surface* s, const Uint8 tables[3][256]) const;

 private:
  template <int BPP, bool EXACT>
  void DecodeRowT(const SDL_Surface* s, int y, int x0, int count, RGB* out) const;
  template <int BPP>
  void EncodeRowT(SDL_Surface* s, int y, int x0, int count, const RGB* in, bool keepOther) const;
  template <int BPP>
  void ApplyRawTables(SDL_Surface* s, const Uint32 raw[3][256]) const;

  const SDL_PixelFormat* fmt;
  bool direct;
  bool exact;             // 8-bit channels: no expansion table needed
  Uint32 mask[3];
  Uint8 shift[3], loss[3];
  Uint32 keepmask;
  Uint8 expand[3][256];   // raw channel value -> 8-bit component
};

}  // namespace ydxfx
#pragma GCC visibility pop
