// Pixel-exact collision of two placed images: bounding boxes first, then solid pixels of the overlap
// on the grid the collision method sets. The overlap is cut to what both surfaces really hold, and
// rows are decoded by depth-specialised loops with the surfaces locked once.
#include "01_Main.h"
#include "20_Primitives.h"
#include "glSDL.h"
#include <algorithm>

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

// A sampled row: the columns firstX + k * step (surface coordinates) for k < count.
// Marking sets flags[k] for A's solid columns and returns how many there are; checking tests B only
// at the columns A marked and returns 1 at the first solid one.
typedef int (*RowScan)(const sCollider& c, int y, int firstX, int step, int count, Uint8* flags);

template <int Bpp, bool Alpha>
inline bool SolidAt(const Uint8* at, const SDL_PixelFormat* f, Uint32 key, Uint32 alphaMask, Uint32 colourMask) {
  Uint32 pixel = ydxpix::ReadAt<Bpp>(at, f);
  return Alpha ? ((pixel & alphaMask) != 0 && (pixel & colourMask) != 0) : pixel != key;
}

template <int Bpp, bool Alpha>
int MarkRow(const sCollider& c, int y, int firstX, int step, int count, Uint8* flags) {
  const SDL_PixelFormat* f = c.surface->format;
  const Uint32 key = f->colorkey, alphaMask = f->Amask, colourMask = f->Rmask | f->Gmask | f->Bmask;
  const Uint8* at = static_cast<const Uint8*>(c.surface->pixels) + (size_t)y * c.surface->pitch + (size_t)firstX * Bpp;
  const size_t stride = (size_t)step * Bpp;
  int found = 0;
  for (int k = 0; k < count; ++k, at += stride) {
    flags[k] = SolidAt<Bpp, Alpha>(at, f, key, alphaMask, colourMask);
    found += flags[k];
  }
  return found;
}

template <int Bpp, bool Alpha>
int CheckRow(const sCollider& c, int y, int firstX, int step, int count, Uint8* flags) {
  const SDL_PixelFormat* f = c.surface->format;
  const Uint32 key = f->colorkey, alphaMask = f->Amask, colourMask = f->Rmask | f->Gmask | f->Bmask;
  const Uint8* at = static_cast<const Uint8*>(c.surface->pixels) + (size_t)y * c.surface->pitch + (size_t)firstX * Bpp;
  const size_t stride = (size_t)step * Bpp;
  for (int k = 0; k < count; ++k, at += stride)
    if (flags[k] && SolidAt<Bpp, Alpha>(at, f, key, alphaMask, colourMask)) return 1;
  return 0;
}

// Texture surfaces are read pixel by pixel through the OpenGL back end.
int MarkTextureRow(const sCollider& c, int y, int firstX, int step, int count, Uint8* flags) {
  int found = 0;
  for (int k = 0; k < count; ++k) {
    flags[k] = SolidGeneric(c, IPrimitives->GetPixel(c.surface, (short)(firstX + k * step), (short)y, 0));
    found += flags[k];
  }
  return found;
}

int CheckTextureRow(const sCollider& c, int y, int firstX, int step, int count, Uint8* flags) {
  for (int k = 0; k < count; ++k)
    if (flags[k] && SolidGeneric(c, IPrimitives->GetPixel(c.surface, (short)(firstX + k * step), (short)y, 0)))
      return 1;
  return 0;
}

template <bool Mark, bool Alpha>
RowScan ScanByDepth(int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1: return Mark ? MarkRow<1, Alpha> : CheckRow<1, Alpha>;
    case 2: return Mark ? MarkRow<2, Alpha> : CheckRow<2, Alpha>;
    case 3: return Mark ? MarkRow<3, Alpha> : CheckRow<3, Alpha>;
    default: return Mark ? MarkRow<4, Alpha> : CheckRow<4, Alpha>;
  }
}

// The row scan for a surface, chosen once per test so no row decides on depth or mode again.
template <bool Mark>
RowScan ScanFor(const sCollider& c) {
  if (c.texture) return Mark ? MarkTextureRow : CheckTextureRow;
  int bytes = c.surface->format->BytesPerPixel;
  return c.alphaMode ? ScanByDepth<Mark, true>(bytes) : ScanByDepth<Mark, false>(bytes);
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

// The pixel test over the overlap [x0, x1] x [y0, y1] on the grid starting at (gridX, gridY): per row,
// A's solid columns first, then B only where A is solid, in chunks that fit a stack buffer.
int ScanOverlap(const sCollider& a, const sCollider& b, int gridX, int gridY, int x0, int y0, int x1, int y1,
                int step) {
  enum { kChunk = 512 };
  int firstX = GridAtOrAfter(x0, gridX, step), firstY = GridAtOrAfter(y0, gridY, step);
  if (firstX > x1 || firstY > y1) return 0;
  int columns = (x1 - firstX) / step + 1;
  Uint8 solidA[kChunk];
  RowScan markA = ScanFor<true>(a), checkB = ScanFor<false>(b);
  for (int y = firstY; y <= y1; y += step) {
    int rowA = y - a.top + a.offsetY, rowB = y - b.top + b.offsetY;
    for (int done = 0; done < columns; done += kChunk) {
      int count = std::min<int>(kChunk, columns - done), x = firstX + done * step;
      if (markA(a, rowA, x - a.left + a.offsetX, step, count, solidA) == 0) continue;
      if (checkB(b, rowB, x - b.left + b.offsetX, step, count, solidA)) return 1;
    }
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
