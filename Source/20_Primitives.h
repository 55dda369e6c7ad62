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

inline Uint32 ReadUnchecked(const SDL_Surface* s, int x, int y) {
  const Uint8* row = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch;
  switch (s->format->BytesPerPixel) {
    case 1: return row[x];
    case 2: return reinterpret_cast<const Uint16*>(row)[x];
    case 3: {
      const Uint8* px = row + 3 * x;
      const SDL_PixelFormat* f = s->format;
      return ((Uint32)px[f->Rshift / 8] << f->Rshift) | ((Uint32)px[f->Gshift / 8] << f->Gshift) |
             ((Uint32)px[f->Bshift / 8] << f->Bshift) | ((Uint32)px[f->Ashift / 8] << f->Ashift);
    }
    default: return reinterpret_cast<const Uint32*>(row)[x];
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
