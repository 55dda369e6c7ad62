// Drawing primitives, pixel access, locking and colour-space conversions of IPrimitives.
// Lines, rectangles and boxes are clipped here in int arithmetic before anything reaches SDL's
// 16-bit rectangles, so no coordinate can wrap; lines keep their slope when clipped.
#include "01_Main.h"
#include "20_Primitives.h"
#include "glSDL.h"
#include <algorithm>
#include <cmath>
#include <cstring>

struct sPrimitivesPrivate {
  Sint32 collisionmethod;
};

Yandorix_IPrimitives::Yandorix_IPrimitives() {
  p = new sPrimitivesPrivate();
  p->collisionmethod = 1;
  ILogSystem.Msg(5, " . [IPrimitives] Interfaz created.\n");
}

Yandorix_IPrimitives::~Yandorix_IPrimitives() {
  delete p;
  ILogSystem.Msg(5, " . [IPrimitives] Interfaz deleted.\n");
}

void Yandorix_IPrimitives::SetCollisionMethod(int method) { p->collisionmethod = method < 0 ? 0 : method; }
int Yandorix_IPrimitives::GetCollisionMethod() { return p->collisionmethod; }

// ---------------------------------------------------------------------------------------------------
// Locking

namespace ydxpix {

bool LockForAccess(SDL_Surface* s) {
  if (MustLock(s) && SDL_LockSurface(s) < 0) return false;
  if (s->pixels) return true;
  if (MustLock(s)) SDL_UnlockSurface(s);
  SDL_SetError("surface has no pixels");
  return false;
}

void UnlockAfterAccess(SDL_Surface* s) {
  if (MustLock(s)) SDL_UnlockSurface(s);
}

}  // namespace ydxpix

void Yandorix_IPrimitives::Lock(SDL_Surface* s) {
  if (!s || !ydxpix::MustLock(s)) return;
  if (SDL_LockSurface(s) < 0) ILogSystem.Msg(0, " . [IPrimitives->Lock()] Error: %s\n", SDL_GetError());
}

void Yandorix_IPrimitives::UnLock(SDL_Surface* s) {
  if (s && ydxpix::MustLock(s)) SDL_UnlockSurface(s);
}

// ---------------------------------------------------------------------------------------------------
// Single pixels

static bool InsideSurface(const SDL_Surface* s, int x, int y) { return x >= 0 && y >= 0 && x < s->w && y < s->h; }

static bool InsideClip(const SDL_Surface* s, int x, int y) {
  const SDL_Rect& clip = s->clip_rect;
  return x >= clip.x && x < clip.x + clip.w && y >= clip.y && y < clip.y + clip.h;
}

unsigned int Yandorix_IPrimitives::GetPixel(SDL_Surface* s, short x, short y, unsigned char lock) {
  if (!s || !InsideSurface(s, x, y)) return 0;
  if (glSDL_IsTexture(s)) {
    Uint32 value = 0;
    glSDL_GetPixel(s, x, y, &value);
    return value;
  }
  if (lock == 1) Lock(s);
  unsigned int value = s->pixels ? ydxpix::ReadUnchecked(s, x, y) : 0;
  if (lock == 1) UnLock(s);
  return value;
}

void Yandorix_IPrimitives::PutPixelColor(SDL_Surface* s, short x, short y, unsigned int color,
                                         unsigned char lock) {
  if (!s || !InsideSurface(s, x, y) || !InsideClip(s, x, y)) return;
  if (glSDL_IsTexture(s)) {
    if (s == Yandorix.screen) glSDL_PutPixel(x, y, color);
    return;
  }
  if (lock == 1) Lock(s);
  if (s->pixels) ydxpix::WriteUnchecked(s, x, y, color);
  if (lock == 1) UnLock(s);
}

void Yandorix_IPrimitives::PutPixelRGBA(SDL_Surface* s, short x, short y, Uint8 r, Uint8 g, Uint8 b, Uint8 a,
                                        unsigned char lock) {
  if (s) PutPixelColor(s, x, y, SDL_MapRGBA(s->format, r, g, b, a), lock);
}

// The columns of the 16-pixel run starting at x that lie inside the row: [first, last) as run indices.
static bool RunInsideRow(const SDL_Surface* s, int x, int y, int* first, int* last) {
  if (y < 0 || y >= s->h) return false;
  *first = std::max(0, -x);
  *last = std::min(16, s->w - x);
  return *first < *last;
}

void Yandorix_IPrimitives::Get16Pixel(SDL_Surface* s, short x, short y, unsigned int* dst, unsigned char) {
  if (!s || glSDL_IsTexture(s)) return;
  Lock(s);
  int first = 0, last = 0;
  if (dst && s->pixels && s->format->BytesPerPixel == 4) {
    bool inside = RunInsideRow(s, x, y, &first, &last);
    for (int i = 0; i < 16; ++i)
      dst[i] = inside && i >= first && i < last ? ydxpix::ReadUnchecked(s, x + i, y) : 0;
  }
  UnLock(s);
}

void Yandorix_IPrimitives::Put16Pixel(SDL_Surface* s, short x, short y, unsigned int* src, unsigned char lock) {
  if (!s || glSDL_IsTexture(s)) return;
  if (lock == 1) Lock(s);
  int first = 0, last = 0;
  if (src && s->pixels && s->format->BytesPerPixel == 4 && RunInsideRow(s, x, y, &first, &last)) {
    Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + (size_t)y * s->pitch);
    std::memcpy(row + x + first, src + first, (size_t)(last - first) * 4);
  }
  if (lock == 1) UnLock(s);
}

// ---------------------------------------------------------------------------------------------------
// Lines, rectangles and boxes

template <int Bpp>
static inline void StorePixel(Uint8* at, Uint32 color, const Uint8* bytes3) {
  if (Bpp == 1) *at = (Uint8)color;
  else if (Bpp == 2) *reinterpret_cast<Uint16*>(at) = (Uint16)color;
  else if (Bpp == 4) *reinterpret_cast<Uint32*>(at) = color;
  else { at[0] = bytes3[0]; at[1] = bytes3[1]; at[2] = bytes3[2]; }
}

// The three bytes a 24-bit pixel of that value is stored as.
static void ThreeBytesOf(const SDL_PixelFormat* f, Uint32 color, Uint8 bytes3[4]) {
  bytes3[0] = bytes3[1] = bytes3[2] = bytes3[3] = 0;
  bytes3[f->Rshift / 8 & 3] = (Uint8)(color >> f->Rshift);
  bytes3[f->Gshift / 8 & 3] = (Uint8)(color >> f->Gshift);
  bytes3[f->Bshift / 8 & 3] = (Uint8)(color >> f->Bshift);
  bytes3[f->Ashift / 8 & 3] = (Uint8)(color >> f->Ashift);
}

template <int Bpp>
static void StoreColumn(Uint8* at, int pitch, int count, Uint32 color, const Uint8* bytes3) {
  for (; count > 0; --count, at += pitch) StorePixel<Bpp>(at, color, bytes3);
}

// A one-pixel column of a plain software surface, written directly: SDL_FillRect pays a row set-up
// for every pixel of it. Anything the video back end keeps for itself goes to SDL_FillRect.
static bool FillColumnDirect(SDL_Surface* s, int x, int top, int bottom, Uint32 color) {
  if ((s->flags & SDL_HWSURFACE) || glSDL_IsTexture(s) || s == Yandorix.screen || !ydxpix::LockForAccess(s))
    return false;
  Uint8 bytes3[4];
  ThreeBytesOf(s->format, color, bytes3);
  int bpp = s->format->BytesPerPixel, count = bottom - top + 1;
  Uint8* at = static_cast<Uint8*>(s->pixels) + (ptrdiff_t)top * s->pitch + (ptrdiff_t)x * bpp;
  switch (bpp) {
    case 1: StoreColumn<1>(at, s->pitch, count, color, bytes3); break;
    case 2: StoreColumn<2>(at, s->pitch, count, color, bytes3); break;
    case 3: StoreColumn<3>(at, s->pitch, count, color, bytes3); break;
    default: StoreColumn<4>(at, s->pitch, count, color, bytes3); break;
  }
  ydxpix::UnlockAfterAccess(s);
  return true;
}

// Fills the inclusive span [x1, x2] x [y1, y2] (either order) where it meets the clip rectangle.
static void FillClipped(SDL_Surface* s, int x1, int y1, int x2, int y2, Uint32 color) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  const SDL_Rect& clip = s->clip_rect;
  int left = std::max(x1, (int)clip.x), right = std::min(x2, clip.x + clip.w - 1);
  int top = std::max(y1, (int)clip.y), bottom = std::min(y2, clip.y + clip.h - 1);
  if (left > right || top > bottom) return;
  if (left == right && bottom > top && FillColumnDirect(s, left, top, bottom, color)) return;
  SDL_Rect area = {(Sint16)left, (Sint16)top, (Uint16)(right - left + 1), (Uint16)(bottom - top + 1)};
  SDL_FillRect(s, &area, color);
}

// Lets the software cursor put its background back over an area about to be drawn; true when it did.
static bool CursorRestore(int x, int y, int w, int h) {
  if (!ICursor) return false;
  SDL_Rect area = {(Sint16)x, (Sint16)y, (Uint16)std::min(w, 0xFFFF), (Uint16)std::min(h, 0xFFFF)};
  return ICursor->RestoreBG(&area) != 0;
}

static void CursorSave(bool restored) {
  if (restored && ICursor) ICursor->CopyBG();
}

void Yandorix_IPrimitives::HLineColor(SDL_Surface* s, short x1, short x2, short y, unsigned int color) {
  if (s) FillClipped(s, x1, y, x2, y, color);
}

void Yandorix_IPrimitives::HLineRGBA(SDL_Surface* s, short x1, short x2, short y, Uint8 r, Uint8 g, Uint8 b,
                                     Uint8 a) {
  if (s) HLineColor(s, x1, x2, y, SDL_MapRGBA(s->format, r, g, b, a));
}

void Yandorix_IPrimitives::VLineColor(SDL_Surface* s, short x, short y1, short y2, unsigned int color) {
  if (s) FillClipped(s, x, y1, x, y2, color);
}

void Yandorix_IPrimitives::VLineRGBA(SDL_Surface* s, short x, short y1, short y2, Uint8 r, Uint8 g, Uint8 b,
                                     Uint8 a) {
  if (s) VLineColor(s, x, y1, y2, SDL_MapRGBA(s->format, r, g, b, a));
}

void Yandorix_IPrimitives::RectangleColor(SDL_Surface* s, short x1, short y1, short x2, short y2,
                                          unsigned int color) {
  if (!s) return;
  int left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
  // The outline covers the last column and row, so the cursor must give them back too.
  bool restored = CursorRestore(left, top, right - left + 1, bottom - top + 1);
  FillClipped(s, left, top, right, top, color);
  FillClipped(s, left, bottom, right, bottom, color);
  FillClipped(s, left, top, left, bottom, color);
  FillClipped(s, right, top, right, bottom, color);
  CursorSave(restored);
}

void Yandorix_IPrimitives::RectangleRGBA(SDL_Surface* s, short x1, short y1, short x2, short y2, Uint8 r, Uint8 g,
                                         Uint8 b, Uint8 a) {
  if (s) RectangleColor(s, x1, y1, x2, y2, SDL_MapRGBA(s->format, r, g, b, a));
}

void Yandorix_IPrimitives::BoxColor(SDL_Surface* s, short x1, short y1, short x2, short y2, unsigned int color) {
  if (!s) return;
  int left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
  // A box leaves out its right column and bottom row.
  bool restored = CursorRestore(left, top, right - left, bottom - top);
  if (right > left && bottom > top) FillClipped(s, left, top, right - 1, bottom - 1, color);
  CursorSave(restored);
}

void Yandorix_IPrimitives::BoxRGBA(SDL_Surface* s, short x1, short y1, short x2, short y2, Uint8 r, Uint8 g,
                                   Uint8 b, Uint8 a) {
  if (s) BoxColor(s, x1, y1, x2, y2, SDL_MapRGBA(s->format, r, g, b, a));
}

// A Bresenham walk: point i sits at major0 + majorSign * i on the driving axis and at
// minor0 + minorSign * floor((den / 2 + i * add) / den) on the other.
struct sLineWalk {
  bool xDrives;
  int major0, minor0, majorSign, minorSign;
  int den, add;
  long long first, last;   // the points drawn, after clipping
};

static long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
static long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

// Limits [first, last] to the points whose driving coordinate lies in [lo, hi].
static void ClipMajor(sLineWalk& w, int lo, int hi) {
  if (w.majorSign > 0) {
    w.first = std::max<long long>(w.first, lo - w.major0);
    w.last = std::min<long long>(w.last, hi - w.major0);
  } else {
    w.first = std::max<long long>(w.first, w.major0 - hi);
    w.last = std::min<long long>(w.last, w.major0 - lo);
  }
}

// Limits [first, last] to the points whose other coordinate lies in [lo, hi].
static void ClipMinor(sLineWalk& w, int lo, int hi) {
  long long stepsLo = w.minorSign > 0 ? lo - w.minor0 : w.minor0 - hi;   // minor steps allowed
  long long stepsHi = w.minorSign > 0 ? hi - w.minor0 : w.minor0 - lo;
  if (w.add == 0) {
    if (stepsLo > 0 || stepsHi < 0) w.last = w.first - 1;
    return;
  }
  long long half = w.den >> 1;
  w.first = std::max(w.first, CeilDiv(stepsLo * w.den - half, w.add));
  w.last = std::min(w.last, FloorDiv((stepsHi + 1) * w.den - half - 1, w.add));
}

// Plots the points first..last of a walk. The minor steps of point i, floor((den / 2 + i * add) / den),
// come from 32.32 fixed point rounded up: with den and i at most 65535 the rounding error stays
// below 1 / den, so the floor is exact, and no point waits on a data-dependent branch.
template <int Bpp>
static void WalkLine(SDL_Surface* s, const sLineWalk& w, Uint32 color, const Uint8* bytes3) {
  const uint64_t den = w.den ? (uint64_t)w.den : 1;
  const uint64_t slope = (((uint64_t)w.add << 32) + den - 1) / den;
  uint64_t position = ((((uint64_t)(w.den >> 1)) << 32) + den - 1) / den + (uint64_t)w.first * slope;
  const uint64_t firstSteps = position >> 32;
  int major = w.major0 + w.majorSign * (int)w.first, minor = w.minor0 + w.minorSign * (int)firstSteps;
  int x = w.xDrives ? major : minor, y = w.xDrives ? minor : major;
  Uint8* at = static_cast<Uint8*>(s->pixels) + (ptrdiff_t)y * s->pitch + (ptrdiff_t)x * Bpp;
  const ptrdiff_t majorStep = w.xDrives ? w.majorSign * Bpp : (ptrdiff_t)w.majorSign * s->pitch;
  const ptrdiff_t minorStep = w.xDrives ? (ptrdiff_t)w.minorSign * s->pitch : w.minorSign * Bpp;
  for (long long count = w.last - w.first + 1; count > 0; --count) {
    StorePixel<Bpp>(at + (ptrdiff_t)((position >> 32) - firstSteps) * minorStep, color, bytes3);
    position += slope;
    at += majorStep;
  }
}

// The walk of the line from (x1, y1) to (x2, y2), cut to the surface's clip rectangle.
static bool ClipLine(const SDL_Surface* s, int x1, int y1, int x2, int y2, sLineWalk* w) {
  int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  w->xDrives = dx >= dy;
  w->major0 = w->xDrives ? x1 : y1;
  w->minor0 = w->xDrives ? y1 : x1;
  w->majorSign = (w->xDrives ? x2 >= x1 : y2 >= y1) ? 1 : -1;
  w->minorSign = (w->xDrives ? y2 >= y1 : x2 >= x1) ? 1 : -1;
  w->den = w->xDrives ? dx : dy;
  w->add = w->xDrives ? dy : dx;
  w->first = 0;
  w->last = w->den;
  const SDL_Rect& clip = s->clip_rect;
  int xLo = clip.x, xHi = clip.x + clip.w - 1, yLo = clip.y, yHi = clip.y + clip.h - 1;
  auto visible = [&](int x, int y) { return x >= xLo && x <= xHi && y >= yLo && y <= yHi; };
  if (visible(x1, y1) && visible(x2, y2)) return clip.w > 0 && clip.h > 0;   // nothing to cut
  ClipMajor(*w, w->xDrives ? xLo : yLo, w->xDrives ? xHi : yHi);
  ClipMinor(*w, w->xDrives ? yLo : xLo, w->xDrives ? yHi : xHi);
  return w->first <= w->last;
}

// The point `index` of a walk, for handing clipped endpoints to the OpenGL back end.
static void WalkPoint(const sLineWalk& w, long long index, int* x, int* y) {
  long long minorSteps = w.den ? ((w.den >> 1) + index * w.add) / w.den : 0;
  int major = w.major0 + w.majorSign * (int)index, minor = w.minor0 + w.minorSign * (int)minorSteps;
  *x = w.xDrives ? major : minor;
  *y = w.xDrives ? minor : major;
}

void Yandorix_IPrimitives::LineColor(SDL_Surface* s, short x1, short y1, short x2, short y2, unsigned int color) {
  sLineWalk walk;
  if (!s || !ClipLine(s, x1, y1, x2, y2, &walk)) return;
  if (glSDL_IsTexture(s)) {
    int ax, ay, bx, by;
    WalkPoint(walk, walk.first, &ax, &ay);
    WalkPoint(walk, walk.last, &bx, &by);
    if (s == Yandorix.screen) glSDL_DrawLine(s, (Sint16)ax, (Sint16)ay, (Sint16)bx, (Sint16)by, color);
    return;
  }
  Lock(s);
  if (s->pixels) {
    Uint8 bytes3[4];
    ThreeBytesOf(s->format, color, bytes3);
    switch (s->format->BytesPerPixel) {
      case 1: WalkLine<1>(s, walk, color, bytes3); break;
      case 2: WalkLine<2>(s, walk, color, bytes3); break;
      case 3: WalkLine<3>(s, walk, color, bytes3); break;
      default: WalkLine<4>(s, walk, color, bytes3); break;
    }
  }
  UnLock(s);
}

void Yandorix_IPrimitives::LineRGBA(SDL_Surface* s, short x1, short y1, short x2, short y2, Uint8 r, Uint8 g,
                                    Uint8 b, Uint8 a) {
  if (s) LineColor(s, x1, y1, x2, y2, SDL_MapRGBA(s->format, r, g, b, a));
}

// ---------------------------------------------------------------------------------------------------
// Colour conversions

void Yandorix_IPrimitives::RGBtoHSV(Uint8 r, Uint8 g, Uint8 b, float* h, float* s, float* v) {
  if (!h || !s || !v) return;
  float red = r / 255.0f, green = g / 255.0f, blue = b / 255.0f;
  float maxc = std::max(red, std::max(green, blue)), minc = std::min(red, std::min(green, blue));
  *v = maxc;
  float delta = maxc - minc;
  // Black and greys have no hue: -1, as the conversion back expects with saturation 0.
  if (maxc == 0 || delta == 0) {
    *s = 0;
    *h = -1;
    return;
  }
  *s = delta / maxc;
  float hue;
  if (red == maxc) hue = (green - blue) / delta;
  else if (green == maxc) hue = 2 + (blue - red) / delta;
  else hue = 4 + (red - green) / delta;
  hue *= 60;
  if (hue < 0) hue += 360;
  *h = hue;
}

// value * 255 truncated toward zero, keeping its low 8 bits (values outside 0..1 wrap as bytes do).
static Uint8 ScaledLowByte(float value) {
  double scaled = std::trunc((double)value * 255.0);
  long long lowBits = (long long)std::fmod(scaled, 256.0);
  return (Uint8)(lowBits & 0xFF);
}

void Yandorix_IPrimitives::HSVtoRGB(float h, float s, float v, Uint8* r, Uint8* g, Uint8* b) {
  if (!r || !g || !b) return;
  if (!std::isfinite(h) || !std::isfinite(s) || !std::isfinite(v)) {
    ILogSystem.Msg(0, " . [IPrimitives->HSVtoRGB()] Error: hue, saturation or value is not a number.\n");
    return;
  }
  float red, green, blue;
  if (s == 0) {
    red = green = blue = v;
  } else {
    float hue = std::fmod(h, 360.0f);   // 360 degrees is red again
    if (hue < 0) hue += 360.0f;
    float sector = hue / 60.0f;
    int i = (int)std::floor(sector);
    float f = sector - i;
    float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (i) {
      case 0: red = v; green = t; blue = p; break;
      case 1: red = q; green = v; blue = p; break;
      case 2: red = p; green = v; blue = t; break;
      case 3: red = p; green = q; blue = v; break;
      case 4: red = t; green = p; blue = v; break;
      default: red = v; green = p; blue = q; break;
    }
  }
  *r = ScaledLowByte(red);
  *g = ScaledLowByte(green);
  *b = ScaledLowByte(blue);
}

static int Limit(int value, int lo, int hi) { return value < lo ? lo : value > hi ? hi : value; }

void Yandorix_IPrimitives::RGBtoYUV(Uint8 r, Uint8 g, Uint8 b, Uint8* y, Uint8* u, Uint8* v) {
  if (!y || !u || !v) return;
  *y = (Uint8)Limit(((16829 * r + 33039 * g + 6416 * b + 32768) >> 16) + 16, 16, 235);
  *u = (Uint8)Limit(((-9714 * r - 19071 * g + 28784 * b + 32768) >> 16) + 128, 16, 240);
  *v = (Uint8)Limit(((28784 * r - 24103 * g - 4681 * b + 32768) >> 16) + 128, 16, 240);
}

void Yandorix_IPrimitives::YUVtoRGB(Uint8 y, Uint8 u, Uint8 v, Uint8* r, Uint8* g, Uint8* b) {
  if (!r || !g || !b) return;
  int c = y - 16, d = u - 128, e = v - 128;
  *r = (Uint8)Limit((76309 * c + 104597 * e + 32768) >> 16, 0, 255);
  *g = (Uint8)Limit((76309 * c - 25675 * d - 53279 * e + 32768) >> 16, 0, 255);
  *b = (Uint8)Limit((76309 * c + 132201 * d + 32768) >> 16, 0, 255);
}

void Yandorix_IPrimitives::RGBtoYCC(Uint8 r, Uint8 g, Uint8 b, Uint8* y, Uint8* cb, Uint8* cr) {
  if (!y || !cb || !cr) return;
  *y = (Uint8)Limit((int)((65.738 * r + 129.057 * g + 25.064 * b) / 256 + 16), 16, 235);
  *cb = (Uint8)Limit((int)((-37.945 * r - 74.494 * g + 112.439 * b) / 256 + 128), 16, 240);
  *cr = (Uint8)Limit((int)((112.439 * r - 94.154 * g - 18.285 * b) / 256 + 128), 16, 240);
}

void Yandorix_IPrimitives::YCCtoRGB(Uint8 y, Uint8 cb, Uint8 cr, Uint8* r, Uint8* g, Uint8* b) {
  if (!r || !g || !b) return;
  *r = (Uint8)Limit((int)((298.082 * y + 408.583 * cr) / 256 - 222.921), 0, 255);
  *g = (Uint8)Limit((int)((298.082 * y - 100.291 * cb - 208.12 * cr) / 256 + 135.576), 0, 255);
  *b = (Uint8)Limit((int)((298.082 * y + 516.412 * cb) / 256 - 276.836), 0, 255);
}

void Yandorix_IPrimitives::RGBtoCMYK(Uint8 r, Uint8 g, Uint8 b, Uint8* c, Uint8* m, Uint8* y, Uint8* k) {
  if (!c || !m || !y || !k) return;
  double cyan = 1 - r / 255.0, magenta = 1 - g / 255.0, yellow = 1 - b / 255.0;
  double black = std::min(cyan, std::min(magenta, yellow));
  *k = (Uint8)(int)(black * 100 + 0.5);
  if (black >= 1) {   // pure black: no colour part, and no division by zero
    *c = *m = *y = 0;
    return;
  }
  *c = (Uint8)(int)((cyan - black) / (1 - black) * 100 + 0.5);
  *m = (Uint8)(int)((magenta - black) / (1 - black) * 100 + 0.5);
  *y = (Uint8)(int)((yellow - black) / (1 - black) * 100 + 0.5);
}

void Yandorix_IPrimitives::CMYKtoRGB(Uint8 c, Uint8 m, Uint8 y, Uint8 k, Uint8* r, Uint8* g, Uint8* b) {
  if (!r || !g || !b) return;
  double black = k / 255.0;
  *r = (Uint8)(int)((1 - (black + c / 255.0 * (1 - black))) * 255 + 0.5);
  *g = (Uint8)(int)((1 - (black + m / 255.0 * (1 - black))) * 255 + 0.5);
  *b = (Uint8)(int)((1 - (black + y / 255.0 * (1 - black))) * 255 + 0.5);
}
