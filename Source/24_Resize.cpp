// Resizing and rotation: 16.16 fixed-point resampling (nearest at 8 and 32 bits, bilinear at 32),
// exact quarter turns, and the rotation transform. Other depths are worked on through a 32-bit copy.
#include "22_ScreenFX.h"
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace ydxfx;

namespace {

// Where each result pixel of one axis samples the area: its pixel, the next one along the (possibly
// mirrored) axis, clamped to the area, and the 16-bit fraction between them.
struct AxisMap {
  std::unique_ptr<int[]> first, second, fraction;
};

// The step table e[0] = 0, e[i + 1] = (e[i] & 0xFFFF) + step, walked into positions.
bool MapAxis(int count, int size, long long step, bool reverse, AxisMap* map, const char* op) {
  map->first.reset(new (std::nothrow) int[count]);
  map->second.reset(new (std::nothrow) int[count]);
  map->fraction.reset(new (std::nothrow) int[count]);
  if (!map->first || !map->second || !map->fraction) {
    LogError(op, "out of memory for the step tables.");
    return false;
  }
  long long entry = 0, position = 0;
  for (int i = 0; i < count; i++) {
    if (i > 0) {
      entry = (entry & 0xFFFF) + step;
      position += entry >> 16;
    }
    int at = position < size ? (int)position : size - 1;
    int next = at + 1 < size ? at + 1 : size - 1;
    map->first[i] = reverse ? size - 1 - at : at;
    map->second[i] = reverse ? size - 1 - next : next;
    map->fraction[i] = (int)(entry & 0xFFFF);
  }
  return true;
}

// The 16.16 interpolation of four pixels, every channel alpha included: along x,
// t = a + ((b - a) * ex >> 16) for the upper and the lower pair, then the same between them along y.
#if defined(__SSE2__)
// a + ((b - a) * f >> 16) on 16-bit lanes holding 0..255. The product is taken as (b + 256 - a) * f,
// which is never negative, in two 16-bit halves; 256 * f is taken off again in 32 bits.
inline __m128i LerpLanes(__m128i a, __m128i b, int f) {
  __m128i d = _mm_sub_epi16(_mm_add_epi16(b, _mm_set1_epi16(256)), a);
  __m128i weight = _mm_set1_epi16((short)f);
  __m128i low = _mm_mullo_epi16(d, weight), high = _mm_mulhi_epu16(d, weight);
  __m128i bias = _mm_set1_epi32(f << 8);
  __m128i first = _mm_srai_epi32(_mm_sub_epi32(_mm_unpacklo_epi16(low, high), bias), 16);
  __m128i second = _mm_srai_epi32(_mm_sub_epi32(_mm_unpackhi_epi16(low, high), bias), 16);
  return _mm_add_epi16(_mm_packs_epi32(first, second), a);
}

inline Uint32 Bilinear(Uint32 c00, Uint32 c01, Uint32 c10, Uint32 c11, int ex, int ey) {
  const __m128i zero = _mm_setzero_si128();
  __m128i left = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, (int)c10, (int)c00), zero);
  __m128i right = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, (int)c11, (int)c01), zero);
  __m128i rows = LerpLanes(left, right, ex);   // upper result in lanes 0..3, lower in 4..7
  __m128i mixed = LerpLanes(rows, _mm_srli_si128(rows, 8), ey);
  return (Uint32)_mm_cvtsi128_si32(_mm_packus_epi16(mixed, mixed));
}
#else
inline int Lerp(int a, int b, int f) { return (a + (((b - a) * f) >> 16)) & 255; }

inline Uint32 Bilinear(Uint32 c00, Uint32 c01, Uint32 c10, Uint32 c11, int ex, int ey) {
  Uint32 out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int upper = Lerp((c00 >> shift) & 255, (c01 >> shift) & 255, ex);
    int lower = Lerp((c10 >> shift) & 255, (c11 >> shift) & 255, ex);
    out |= (Uint32)Lerp(upper, lower, ey) << shift;
  }
  return out;
}
#endif

template <typename T>
inline const T* AreaRow(const SDL_Surface* s, const Area& a, int y) {
  return reinterpret_cast<const T*>(RowOf(s, a.y + y)) + a.x;
}

template <typename T>
inline T* ResultRow(SDL_Surface* s, int y) {
  return reinterpret_cast<T*>(RowOf(s, y));
}

// Nearest resampling; a result row that samples the same source row as the one before is copied.
template <typename T>
void ResampleNearest(const SDL_Surface* work, const Area& a, SDL_Surface* out, const AxisMap& cols,
                     const AxisMap& rows) {
  size_t rowbytes = (size_t)out->w * sizeof(T);
  for (int k = 0; k < out->h; k++) {
    T* to = ResultRow<T>(out, k);
    if (k > 0 && rows.first[k] == rows.first[k - 1]) {
      Yandorix_memcpy(to, ResultRow<T>(out, k - 1), rowbytes);
      continue;
    }
    const T* from = AreaRow<T>(work, a, rows.first[k]);
    for (int i = 0; i < out->w; i++) to[i] = from[cols.first[i]];
  }
}

void ResampleBilinear(const SDL_Surface* work, const Area& a, SDL_Surface* out, const AxisMap& cols,
                      const AxisMap& rows) {
  for (int k = 0; k < out->h; k++) {
    const Uint32* upper = AreaRow<Uint32>(work, a, rows.first[k]);
    const Uint32* lower = AreaRow<Uint32>(work, a, rows.second[k]);
    int ey = rows.fraction[k];
    Uint32* to = ResultRow<Uint32>(out, k);
    for (int i = 0; i < out->w; i++) {
      int c0 = cols.first[i], c1 = cols.second[i];
      to[i] = Bilinear(upper[c0], upper[c1], lower[c0], lower[c1], cols.fraction[i], ey);
    }
  }
}

// The working surface: 8 and 32-bit sources as they are, others through a 32-bit copy of the area
// (then `area` becomes the whole copy). NULL with an Error line when the copy fails.
SDL_Surface* WorkingSurface(SDL_Surface* src, Area* area, Uint32 rmask, Uint32 gmask, Uint32 bmask, const char* op) {
  int bits = src->format->BitsPerPixel;
  if (bits == 8 || bits == 32) return src;
  SDL_Surface* copy = WorkingCopy32(src, *area, rmask, gmask, bmask, op);
  if (copy) *area = Area{0, 0, area->w, area->h};
  return copy;
}

int WorkingBits(const SDL_Surface* src) { return src->format->BitsPerPixel == 8 ? 8 : 32; }

// Makes a w x h result in the working surface's format and lets `draw` fill it with both surfaces
// locked; frees a working copy; NULL when any step fails.
template <class Draw>
SDL_Surface* MakeResult(SDL_Surface* src, SDL_Surface* work, long long w, long long h, const char* op, Draw draw) {
  SDL_Surface* result = NewSurfaceLike(work, w, h, op);
  bool drawn = false;
  if (result) {
    PixelLock from(work, op), to(result, op);
    drawn = from.ok() && to.ok() && draw(result);
  }
  if (work != src) SDL_FreeSurface(work);
  if (result && !drawn) {
    SDL_FreeSurface(result);
    return NULL;
  }
  return result;
}

// Resamples the settled area to |w| x |h| (negative: mirrored, flipped) and delivers the result.
SDL_Surface* ResizeArea(SDL_Surface* src, Area area, int mode, long long w, long long h, SDL_Surface* dst,
                        const SDL_Rect* dstrect, const char* op) {
  bool mirror = w < 0, flip = h < 0;
  w = std::max(1LL, w < 0 ? -w : w);
  h = std::max(1LL, h < 0 ? -h : h);
  if (!SizeAccepted(w, h, WorkingBits(src), op)) return NULL;
  SDL_Surface* work = WorkingSurface(src, &area, 0x000000FF, 0x0000FF00, 0x00FF0000, op);
  if (!work) return NULL;
  SDL_Surface* result = MakeResult(src, work, w, h, op, [&](SDL_Surface* out) {
    bool bilinear = mode != 0 && work->format->BytesPerPixel == 4;
    // Bilinear steps span one pixel less, so the last sample's right and lower neighbours are in the area.
    long long sx = ((long long)area.w - (bilinear ? 1 : 0)) * 65536 / w;
    long long sy = ((long long)area.h - (bilinear ? 1 : 0)) * 65536 / h;
    AxisMap cols, rows;
    if (!MapAxis((int)w, area.w, sx, mirror, &cols, op) || !MapAxis((int)h, area.h, sy, flip, &rows, op)) return false;
    if (bilinear) ResampleBilinear(work, area, out, cols, rows);
    else if (work->format->BytesPerPixel == 4) ResampleNearest<Uint32>(work, area, out, cols, rows);
    else ResampleNearest<Uint8>(work, area, out, cols, rows);
    CopyKeyAndAlpha(work, out);
    return true;
  });
  if (!result) return NULL;
  return Deliver(result, dst, PlaceAt(dstrect, (area.w - w) / 2, (area.h - h) / 2), op);
}

// ---- rotation ----

struct RotationPlan {
  int quarter;          // 0..3 for an exact quarter turn at zoom 1, else -1
  long long w, h;       // result size
  long long isin, icos; // 16.16 steps of the transform
};

bool PlanRotation(int aw, int ah, double angle, double zoom, RotationPlan* plan, const char* op) {
  double turns = angle / 90.0;
  if (zoom == 1.0 && turns == std::trunc(turns)) {
    int n = (int)std::fmod(turns, 4.0);
    plan->quarter = n < 0 ? n + 4 : n;
    plan->w = plan->quarter % 2 ? ah : aw;
    plan->h = plan->quarter % 2 ? aw : ah;
    plan->isin = plan->icos = 0;
    return true;
  }
  plan->quarter = -1;
  if (zoom < 0.001) zoom = 0.001;
  double radians = -angle * 0.017453292519943295;
  double c = zoom * std::cos(radians), s = zoom * std::sin(radians);
  double w = std::ceil(std::fabs(aw * c) + std::fabs(ah * s));
  double h = std::ceil(std::fabs(aw * s) + std::fabs(ah * c));
  if (w > (double)kMaxWidth || h > (double)kMaxHeight) {
    LogError(op, "a %.0fx%.0f result is beyond what SDL can create.", w, h);
    return false;
  }
  plan->w = w < 1 ? 1 : (long long)w;
  plan->h = h < 1 ? 1 : (long long)h;
  plan->isin = (long long)(s * 65536.0 / (zoom * zoom));
  plan->icos = (long long)(c * 65536.0 / (zoom * zoom));
  return true;
}

// Colour key, alpha and fill of the rotated result; returns the fill value for uncovered pixels.
Uint32 PrepareRotated(const SDL_Surface* work, SDL_Surface* result) {
  const SDL_PixelFormat* f = work->format;
  bool perpixel = (work->flags & SDL_SRCALPHA) && f->alpha == 255 && f->Amask != 0;
  if (perpixel) return 0;   // uncovered corners stay transparent
  Uint32 key = (work->flags & SDL_SRCCOLORKEY) ? f->colorkey : f->BytesPerPixel == 1 ? 0xFF : 0x00FF00FF;
  SDL_SetColorKey(result, SDL_SRCCOLORKEY, key);
  if (work->flags & SDL_SRCALPHA) SDL_SetAlpha(result, SDL_SRCALPHA, f->alpha);
  else if (result->flags & SDL_SRCALPHA) SDL_SetAlpha(result, 0, 0);
  return key;
}

// Exact quarter turns, in tiles so reads and writes both stay in cache.
template <typename T>
void QuarterTurn(const SDL_Surface* work, const Area& a, SDL_Surface* out, int n) {
  const int tile = 32;
  int W = out->w, H = out->h;
  if (n == 0 || n == 2) {
    for (int y = 0; y < a.h; y++) {
      const T* from = AreaRow<T>(work, a, y);
      if (n == 0) {
        Yandorix_memcpy(ResultRow<T>(out, y), from, (size_t)a.w * sizeof(T));
        continue;
      }
      T* to = ResultRow<T>(out, H - 1 - y) + (W - 1);
      for (int x = 0; x < a.w; x++) to[-x] = from[x];
    }
    return;
  }
  for (int ty = 0; ty < a.h; ty += tile)
    for (int tx = 0; tx < a.w; tx += tile)
      for (int y = ty; y < a.h && y < ty + tile; y++) {
        const T* from = AreaRow<T>(work, a, y);
        for (int x = tx; x < a.w && x < tx + tile; x++) {
          if (n == 1) ResultRow<T>(out, x)[W - 1 - y] = from[x];
          else ResultRow<T>(out, H - 1 - x)[y] = from[x];
        }
      }
}

// The transform's source position at the start of result row y, in 16.16.
struct RowStart {
  long long sdx, sdy;
};

inline RowStart StartOfRow(const RotationPlan& p, const Area& a, int W, int H, int y) {
  long long cx = W / 2, cy = H / 2, dy = cy - y;
  long long xd = ((long long)a.w - W) * 32768, yd = ((long long)a.h - H) * 32768;
  return RowStart{cx * 65536 - p.icos * cx + p.isin * dy + xd, cy * 65536 - p.isin * cx - p.icos * dy + yd};
}

template <typename T>
void RotateNearest(const SDL_Surface* work, const Area& a, SDL_Surface* out, const RotationPlan& p, T fill) {
  Uint64 limitx = (Uint64)a.w << 16, limity = (Uint64)a.h << 16;
  for (int y = 0; y < out->h; y++) {
    RowStart pos = StartOfRow(p, a, out->w, out->h, y);
    T* to = ResultRow<T>(out, y);
    for (int x = 0; x < out->w; x++) {
      // One unsigned compare per axis: negative positions wrap to huge values.
      if ((Uint64)pos.sdx < limitx && (Uint64)pos.sdy < limity)
        to[x] = AreaRow<T>(work, a, (int)(pos.sdy >> 16))[pos.sdx >> 16];
      else
        to[x] = fill;
      pos.sdx += p.icos;
      pos.sdy += p.isin;
    }
  }
}

// Neighbours of a bilinear sample at the area's border (px in -1..sw, py in -1..sh).
void EdgeNeighbours(int px, int py, int sw, int sh, int c[4][2]) {
  int x0 = px, y0 = py, x1 = px, y1 = py, x2 = px, y2 = py, x3 = px, y3 = py;
  if (px == sw && py == sh) {
  } else if (px == -1 && py == -1) {
    x0 = x1 = x2 = x3 = 0;
    y0 = y1 = y2 = y3 = 0;
  } else if (px == -1 && py == sh) {
    x0 = x1 = x2 = x3 = 0;
  } else if (px == sw && py == -1) {
    y0 = y1 = y2 = y3 = 0;
  } else if (px == -1) {
    x0 = x1 = x2 = x3 = 0;
    y3 = py + 1;
  } else if (py == -1) {
    y0 = y1 = y2 = y3 = 0;
    x3 = px + 1;
  } else if (px == sw) {
    y2 = y3 = py + 1;
  } else {   // py == sh
    x1 = x2 = x3 = px + 1;
  }
  int coords[4][2] = {{x0, y0}, {x1, y1}, {x2, y2}, {x3, y3}};
  for (int i = 0; i < 4; i++) c[i][0] = coords[i][0], c[i][1] = coords[i][1];
}

Uint32 SampleBilinear(const SDL_Surface* work, const Area& a, long long sdx, long long sdy) {
  int px = (int)(sdx >> 16), py = (int)(sdy >> 16), sw = a.w - 1, sh = a.h - 1;
  int ex = (int)(sdx & 0xFFFF), ey = (int)(sdy & 0xFFFF);
  if (px >= 0 && px < sw && py >= 0 && py < sh) {
    const Uint32* upper = AreaRow<Uint32>(work, a, py);
    const Uint32* lower = AreaRow<Uint32>(work, a, py + 1);
    return Bilinear(upper[px], upper[px + 1], lower[px], lower[px + 1], ex, ey);
  }
  int c[4][2];
  EdgeNeighbours(px, py, sw, sh, c);
  return Bilinear(AreaRow<Uint32>(work, a, c[0][1])[c[0][0]], AreaRow<Uint32>(work, a, c[1][1])[c[1][0]],
                  AreaRow<Uint32>(work, a, c[2][1])[c[2][0]], AreaRow<Uint32>(work, a, c[3][1])[c[3][0]], ex, ey);
}

void RotateBilinear(const SDL_Surface* work, const Area& a, SDL_Surface* out, const RotationPlan& p, Uint32 fill) {
  // Samples whose four neighbours all lie inside take the short path; the border goes through the table.
  const Uint64 innerx = (Uint64)(a.w - 1) << 16, innery = (Uint64)(a.h - 1) << 16;
  const Uint32* base = AreaRow<Uint32>(work, a, 0);
  const size_t stride = work->pitch / 4;
  for (int y = 0; y < out->h; y++) {
    RowStart pos = StartOfRow(p, a, out->w, out->h, y);
    Uint32* to = ResultRow<Uint32>(out, y);
    for (int x = 0; x < out->w; x++) {
      if ((Uint64)pos.sdx < innerx && (Uint64)pos.sdy < innery) {
        const Uint32* c = base + (size_t)(pos.sdy >> 16) * stride + (pos.sdx >> 16);
        to[x] = Bilinear(c[0], c[1], c[stride], c[stride + 1], (int)(pos.sdx & 0xFFFF), (int)(pos.sdy & 0xFFFF));
      } else {
        bool inside = pos.sdx >= -65536 && pos.sdy >= -65536 && (pos.sdx >> 16) < a.w && (pos.sdy >> 16) < a.h;
        to[x] = inside ? SampleBilinear(work, a, pos.sdx, pos.sdy) : fill;
      }
      pos.sdx += p.icos;
      pos.sdy += p.isin;
    }
  }
}

void DrawRotated(const SDL_Surface* work, const Area& a, SDL_Surface* out, const RotationPlan& p, bool bilinear,
                 Uint32 fill) {
  bool wide = work->format->BytesPerPixel == 4;
  if (p.quarter >= 0) {
    if (wide) QuarterTurn<Uint32>(work, a, out, p.quarter);
    else QuarterTurn<Uint8>(work, a, out, p.quarter);
  } else if (wide && bilinear) {
    RotateBilinear(work, a, out, p, fill);
  } else if (wide) {
    RotateNearest<Uint32>(work, a, out, p, fill);
  } else {
    RotateNearest<Uint8>(work, a, out, p, (Uint8)fill);
  }
}

bool Finite(double a, double b, const char* op) {
  if (std::isfinite(a) && std::isfinite(b)) return true;
  LogError(op, "the angle, zoom or factors must be finite numbers.");
  return false;
}

}  // namespace

SDL_Surface* Yandorix_IScreenFX::Resize(SDL_Surface* src, const SDL_Rect* srcrect, int mode, int w, int h,
                                        SDL_Surface* dst, const SDL_Rect* dstrect) {
  const char* op = "Resize()";
  if (!SourceUsable(src, dst, op)) return NULL;
  if (dst && IsTexture(src)) {
    int aw, ah;
    GivenSize(src, srcrect, &aw, &ah);
    glSDL_PushState();
    glSDL_SetStateScale(aw ? (float)w / aw : 1.0f, ah ? (float)h / ah : 1.0f);
    glSDL_SetStateFilter(mode);
    BlitToScreenGL(src, srcrect, dstrect, 0, 0);
    glSDL_PopState();
    return dst;
  }
  Area area;
  if (!SettleArea(src, srcrect, &area, op)) return NULL;
  return ResizeArea(src, area, mode, w, h, dst, dstrect, op);
}

SDL_Surface* Yandorix_IScreenFX::Resize(SDL_Surface* src, const SDL_Rect* srcrect, int mode, double fx, double fy,
                                        SDL_Surface* dst, const SDL_Rect* dstrect) {
  const char* op = "Resize()";
  if (!SourceUsable(src, dst, op) || !Finite(fx, fy, op)) return NULL;
  if (dst && IsTexture(src)) {
    glSDL_PushState();
    glSDL_SetStateScale((float)fx, (float)fy);
    glSDL_SetStateFilter(mode);
    BlitToScreenGL(src, srcrect, dstrect, 0, 0);
    glSDL_PopState();
    return dst;
  }
  Area area;
  if (!SettleArea(src, srcrect, &area, op)) return NULL;
  double w = std::trunc(area.w * fx), h = std::trunc(area.h * fy);
  if (std::fabs(w) > (double)kMaxWidth || std::fabs(h) > (double)kMaxHeight) {
    LogError(op, "a %.0fx%.0f result is beyond what SDL can create.", std::fabs(w), std::fabs(h));
    return NULL;
  }
  return ResizeArea(src, area, mode, w == 0 ? 1 : (long long)w, h == 0 ? 1 : (long long)h, dst, dstrect, op);
}

SDL_Surface* Yandorix_IScreenFX::RotateResize(SDL_Surface* src, const SDL_Rect* srcrect, int mode, double angle,
                                              double zoom, SDL_Surface* dst, const SDL_Rect* dstrect) {
  const char* op = "RotateResize()";
  if (!SourceUsable(src, dst, op) || !Finite(angle, zoom, op)) return NULL;
  if (std::fabs(angle) < 0.001) return Resize(src, srcrect, mode, zoom, zoom, dst, dstrect);
  if (dst && IsTexture(src)) {
    int aw, ah;
    GivenSize(src, srcrect, &aw, &ah);
    glSDL_PushState();
    glSDL_SetStateScale((float)zoom, (float)zoom);
    glSDL_SetStateRotation((float)-angle);
    glSDL_SetStateCenter(aw / 2.0f, ah / 2.0f);
    glSDL_SetStateFilter(mode);
    BlitToScreenGL(src, srcrect, dstrect, 0, 0);
    glSDL_PopState();
    return NULL;   // drawn by OpenGL: there is no surface to hand back
  }
  Area area;
  if (!SettleArea(src, srcrect, &area, op)) return NULL;
  RotationPlan plan;
  if (!PlanRotation(area.w, area.h, angle, zoom, &plan, op) || !SizeAccepted(plan.w, plan.h, WorkingBits(src), op))
    return NULL;
  Area workarea = area;
  SDL_Surface* work = WorkingSurface(src, &workarea, 0x00FF0000, 0x0000FF00, 0x000000FF, op);
  if (!work) return NULL;
  SDL_Surface* result = MakeResult(src, work, plan.w, plan.h, op, [&](SDL_Surface* out) {
    DrawRotated(work, workarea, out, plan, mode != 0, PrepareRotated(work, out));
    return true;
  });
  if (!result) return NULL;
  return Deliver(result, dst, PlaceAt(dstrect, (area.w - plan.w) / 2, (area.h - plan.h) / 2), op);
}

SDL_Surface* Yandorix_IScreenFX::Rotate(SDL_Surface* src, const SDL_Rect* srcrect, int mode, double angle,
                                        SDL_Surface* dst, const SDL_Rect* dstrect) {
  return RotateResize(src, srcrect, mode, angle, 1.0, dst, dstrect);
}
