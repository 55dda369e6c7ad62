// Pixel-exact collision of two placed images: bounding boxes first, then solid pixels of the overlap
// on the grid the collision method sets. The overlap is cut to what both surfaces really hold, and
// rows are decoded by depth-specialised loops with the surfaces locked once.
#include "01_Main.h"
#include "20_Primitives.h"
#include "glSDL.h"
#include <algorithm>
#include <vector>

namespace {

// One object in the common space: the surface, its placement box and the source offset.
struct sCollider {
  SDL_Surface* surface;
  int left, top, right, bottom;   // inclusive box
  int offsetX, offsetY;           // surface pixel at the box's top-left corner
  bool texture;
  bool alphaMode;                 // per-pixel alpha: solid = some alpha and not pure black
};

sCollider MakeCollider(SDL_Surface* s, const SDL_Rect* place, const SDL_Rect* offset) {
  sCollider c;
  c.surface = s;
  c.left = place->x;
  c.top = place->y;
  c.right = place->x + place->w - 1;
  c.bottom = place->y + place->h - 1;
  c.offsetX = offset ? offset->x : 0;
  c.offsetY = offset ? offset->y : 0;
  c.texture = glSDL_IsTexture(s) != 0;
  // SDL reports alpha 255 for surfaces without an alpha channel too: the alpha mask decides.
  c.alphaMode = c.texture || ((s->flags & SDL_SRCALPHA) && s->format->Amask != 0);
  return c;
}

bool SolidGeneric(const sCollider& c, Uint32 pixel) {
  if (!c.alphaMode) return pixel != c.surface->format->colorkey;
  Uint8 r, g, b, a;
  SDL_GetRGBA(pixel, c.surface->format, &r, &g, &b, &a);
  return a != 0 && (r | g | b) != 0;
}

// Solid-pixel flags of one sampled row: flags[k] for the column firstX + k * step (surface coordinates).
template <int Bpp, bool Alpha>
void SolidRowOf(const SDL_Surface* s, int y, int firstX, int step, int count, Uint8* flags) {
  const SDL_PixelFormat* f = s->format;
  const Uint32 key = f->colorkey, alphaMask = f->Amask, colourMask = f->Rmask | f->Gmask | f->Bmask;
  const Uint8* at = static_cast<const Uint8*>(s->pixels) + (size_t)y * s->pitch + (size_t)firstX * Bpp;
  const size_t stride = (size_t)step * Bpp;
  for (int k = 0; k < count; ++k, at += stride) {
    Uint32 pixel;
    if (Bpp == 1) pixel = *at;
    else if (Bpp == 2) pixel = *reinterpret_cast<const Uint16*>(at);
    else if (Bpp == 4) pixel = *reinterpret_cast<const Uint32*>(at);
    else pixel = ((Uint32)at[f->Rshift / 8] << f->Rshift) | ((Uint32)at[f->Gshift / 8] << f->Gshift) |
                 ((Uint32)at[f->Bshift / 8] << f->Bshift) | ((Uint32)at[f->Ashift / 8] << f->Ashift);
    flags[k] = Alpha ? ((pixel & alphaMask) != 0 && (pixel & colourMask) != 0) : pixel != key;
  }
}

template <bool Alpha>
void SolidRowByDepth(const SDL_Surface* s, int y, int firstX, int step, int count, Uint8* flags) {
  switch (s->format->BytesPerPixel) {
    case 1: SolidRowOf<1, Alpha>(s, y, firstX, step, count, flags); break;
    case 2: SolidRowOf<2, Alpha>(s, y, firstX, step, count, flags); break;
    case 3: SolidRowOf<3, Alpha>(s, y, firstX, step, count, flags); break;
    default: SolidRowOf<4, Alpha>(s, y, firstX, step, count, flags); break;
  }
}

void SolidRow(const sCollider& c, int y, int firstX, int step, int count, Uint8* flags) {
  if (c.texture) {
    for (int k = 0; k < count; ++k)
      flags[k] = SolidGeneric(c, IPrimitives->GetPixel(c.surface, (short)(firstX + k * step), (short)y, 0));
  } else if (c.alphaMode) {
    SolidRowByDepth<true>(c.surface, y, firstX, step, count, flags);
  } else {
    SolidRowByDepth<false>(c.surface, y, firstX, step, count, flags);
  }
}

// The first value >= from on the grid origin + k * step.
int GridAtOrAfter(int from, int origin, int step) {
  int behind = from - origin;
  return origin + (behind <= 0 ? 0 : (behind + step - 1) / step * step);
}

// Limits the inclusive span [lo, hi] of the common space to where the surface holds pixels.
void CutToSurface(int boxStart, int offset, int size, int* lo, int* hi) {
  *lo = std::max(*lo, boxStart - offset);
  *hi = std::min(*hi, boxStart - offset + size - 1);
}

bool LockCollider(const sCollider& c) { return c.texture || ydxpix::LockForAccess(c.surface); }
void UnlockCollider(const sCollider& c) {
  if (!c.texture) ydxpix::UnlockAfterAccess(c.surface);
}

// The pixel test over the overlap [x0, x1] x [y0, y1] on the grid starting at (gridX, gridY).
int ScanOverlap(const sCollider& a, const sCollider& b, int gridX, int gridY, int x0, int y0, int x1, int y1,
                int step) {
  int firstX = GridAtOrAfter(x0, gridX, step), firstY = GridAtOrAfter(y0, gridY, step);
  if (firstX > x1 || firstY > y1) return 0;
  int count = (x1 - firstX) / step + 1;
  std::vector<Uint8> solidA(count), solidB(count);
  int ax = firstX - a.left + a.offsetX, bx = firstX - b.left + b.offsetX;
  for (int y = firstY; y <= y1; y += step) {
    SolidRow(a, y - a.top + a.offsetY, ax, step, count, solidA.data());
    if (std::find(solidA.begin(), solidA.end(), 1) == solidA.end()) continue;
    SolidRow(b, y - b.top + b.offsetY, bx, step, count, solidB.data());
    for (int k = 0; k < count; ++k)
      if (solidA[k] & solidB[k]) return 1;
  }
  return 0;
}

void OutlineOnScreen(int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b) {
  if (Yandorix.screen && IPrimitives)
    IPrimitives->RectangleRGBA(Yandorix.screen, (short)x1, (short)y1, (short)x2, (short)y2, r, g, b, 255);
}

}  // namespace

int Yandorix_IPrimitives::PixelCollision(SDL_Surface* sa, SDL_Rect* placeA, SDL_Surface* sb, SDL_Rect* placeB,
                                         unsigned char debug, SDL_Rect* offsetA, SDL_Rect* offsetB) {
  if (!sa || !sb || !placeA || !placeB) return 0;
  sCollider a = MakeCollider(sa, placeA, offsetA), b = MakeCollider(sb, placeB, offsetB);
  if (debug) {
    OutlineOnScreen(a.left, a.top, a.right, a.bottom, 0, 0, 255);
    OutlineOnScreen(b.left, b.top, b.right, b.bottom, 0, 0, 255);
  }
  if (b.right < a.left || a.right < b.left || b.bottom < a.top || a.bottom < b.top) return 0;
  int step = GetCollisionMethod();
  if (step == 0) return 1;
  int x0 = std::max(a.left, b.left), x1 = std::min(a.right, b.right);
  int y0 = std::max(a.top, b.top), y1 = std::min(a.bottom, b.bottom);
  if (debug) OutlineOnScreen(x0, y0, x1, y1, 255, 0, 0);
  // Outside either surface counts as empty: test only where both hold pixels.
  int gridX = x0, gridY = y0;
  CutToSurface(a.left, a.offsetX, sa->w, &x0, &x1);
  CutToSurface(b.left, b.offsetX, sb->w, &x0, &x1);
  CutToSurface(a.top, a.offsetY, sa->h, &y0, &y1);
  CutToSurface(b.top, b.offsetY, sb->h, &y0, &y1);
  if (x0 > x1 || y0 > y1) return 0;
  if (!LockCollider(a)) {
    ILogSystem.Msg(0, " . [IPrimitives->PixelCollision()] Error: surface could not be locked: %s\n", SDL_GetError());
    return 0;
  }
  if (!LockCollider(b)) {
    UnlockCollider(a);
    ILogSystem.Msg(0, " . [IPrimitives->PixelCollision()] Error: surface could not be locked: %s\n", SDL_GetError());
    return 0;
  }
  int hit = ScanOverlap(a, b, gridX, gridY, x0, y0, x1, y1, step);
  UnlockCollider(b);
  UnlockCollider(a);
  return hit;
}
