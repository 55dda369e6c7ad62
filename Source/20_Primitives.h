// Unchecked pixel access for loops that clip (and lock) first; the public GetPixel/PutPixelColor
// check bounds and take the lock flag. Also the checked lock the library's own pixel loops use.
#pragma once
#include <SDL.h>

namespace ydxpix {

// True when SDL requires a lock before the pixels may be touched.
inline bool MustLock(const SDL_Surface* s) { return s->offset != 0 || (s->flags & 0x4005) != 0; }

// Locks when SDL requires it; false (nothing locked, SDL's error text set) when the lock failed
// or the surface has no pixel buffer to read.
bool LockForAccess(SDL_Surface* s);
// Undoes a successful LockForAccess.
void UnlockAfterAccess(SDL_Surface* s);

// The pixel at `at` of a surface with that many bytes per pixel (3: assembled by the format's shifts).
template <int Bpp>
inline Uint32 ReadAt(const Uint8* at, const SDL_PixelFormat* f) {
  if (Bpp == 1) return *at;
  if (Bpp == 2) return *reinterpret_cast<const Uint16*>(at);
  if (Bpp == 4) return *reinterpret_cast<const Uint32*>(at);
  return ((Uint32)at[f->Rshift / 8] << f->Rshift) | ((Uint32)at[f->Gshift / 8] << f->Gshift) |
         ((Uint32)at[f->Bshift / 8] << f->Bshift) | ((Uint32)at[f->Ashift / 8] << f->Ashift);
}

inline Uint32 ReadUnchecked(const SDL_Surface* s, int x, int y) {
  const Uint8* row = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch;
  switch (s->format->BytesPerPixel) {
    case 1: return ReadAt<1>(row + x, s->format);
    case 2: return ReadAt<2>(row + 2 * x, s->format);
    case 3: return ReadAt<3>(row + 3 * x, s->format);
    default: return ReadAt<4>(row + 4 * x, s->format);
  }
}

inline void WriteUnchecked(SDL_Surface* s, int x, int y, Uint32 color) {
  Uint8* row = static_cast<Uint8*>(s->pixels) + (size_t)y * s->pitch;
  switch (s->format->BytesPerPixel) {
    case 1: row[x] = (Uint8)color; break;
    case 2: reinterpret_cast<Uint16*>(row)[x] = (Uint16)color; break;
    case 3: {
      Uint8* px = row + 3 * x;
      const SDL_PixelFormat* f = s->format;
      px[f->Rshift / 8] = (Uint8)(color >> f->Rshift);
      px[f->Gshift / 8] = (Uint8)(color >> f->Gshift);
      px[f->Bshift / 8] = (Uint8)(color >> f->Bshift);
      px[f->Ashift / 8] = (Uint8)(color >> f->Ashift);
      break;
    }
    default: reinterpret_cast<Uint32*>(row)[x] = color; break;
  }
}

}  // namespace ydxpix
