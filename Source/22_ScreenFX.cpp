// Screen effects service: its object, the helpers every geometric effect shares (source area, result
// surfaces, key and alpha, drawing into a destination), and mirror, flip, noise, blur and gamma.
// Animated effects and fades live in 23_AnimFX.cpp, resizing and rotation in 24_Resize.cpp.
#include "22_ScreenFX.h"
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

namespace ydxfx {

void LogError(const char* op, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  ILogSystem.Msg(0, " . [IScreenFX->%s] Error: %s\n", op, text);
}

// One axis of the area: the start moved into 0..size, the length cut at the far edge.
static void LimitSpan(int* start, int* length, int size) {
  if (*start < 0) *start = 0;
  if (*start > size) *start = size;
  if (*start + *length > size) *length = size - *start;
}

bool SettleArea(const SDL_Surface* s, const SDL_Rect* r, Area* area, const char* op) {
  *area = r ? Area{r->x, r->y, r->w, r->h} : Area{0, 0, s->w, s->h};
  LimitSpan(&area->x, &area->w, s->w);
  LimitSpan(&area->y, &area->h, s->h);
  if (area->w > 0 && area->h > 0) return true;
  LogError(op, "the source area lies outside the surface.");
  return false;
}

void GivenSize(const SDL_Surface* s, const SDL_Rect* r, int* w, int* h) {
  *w = r ? r->w : s->w;
  *h = r ? r->h : s->h;
}

bool SourceUsable(const SDL_Surface* src, const SDL_Surface* dst, const char* op) {
  if (!src) {
    LogError(op, "the source surface is NULL.");
    return false;
  }
  if (src == dst) {
    LogError(op, "the source and the destination are the same surface.");
    return false;
  }
  return true;
}

bool SizeAccepted(long long w, long long h, int bpp, const char* op) {
  if (w >= 1 && h >= 1 && w <= kMaxWidth && h <= kMaxHeight && (w * ((bpp + 7) / 8) + 3) / 4 * 4 * h <= kMaxBytes)
    return true;
  LogError(op, "a %lldx%lld surface of %d bits is beyond what SDL can create.", w, h, bpp);
  return false;
}

SDL_Surface* NewSurface(long long w, long long h, int bpp, Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask,
                        const char* op) {
  if (!SizeAccepted(w, h, bpp, op)) return NULL;
  SDL_Surface* s = SDL_CreateRGBSurface(0, (int)w, (int)h, bpp, rmask, gmask, bmask, amask);
  if (!s) LogError(op, "SDL could not create a %lldx%lld surface: %s", w, h, SDL_GetError());
  return s;
}

SDL_Surface* NewSurfaceLike(const SDL_Surface* model, long long w, long long h, const char* op) {
  const SDL_PixelFormat* f = model->format;
  SDL_Surface* s = NewSurface(w, h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask, op);
  if (s && f->palette && s->format->palette) {
    int count = f->palette->ncolors < 256 ? f->palette->ncolors : 256;
    SDL_SetPalette(s, SDL_LOGPAL, f->palette->colors, 0, count);
    s->format->palette->ncolors = count;
  }
  return s;
}

PixelLock::PixelLock(SDL_Surface* surface, const char* op)
    : s(surface), locked(false), mustunlock(false) {
  if (ydxpix::MustLock(s)) {
    if (SDL_LockSurface(s) < 0) {
      LogError(op, "the surface could not be locked: %s", SDL_GetError());
      return;
    }
    mustunlock = true;
  }
  locked = s->pixels != NULL;
  if (!locked) LogError(op, "the surface has no pixels.");
}

PixelLock::~PixelLock() {
  if (mustunlock) SDL_UnlockSurface(s);
}

BlendingOff::BlendingOff(SDL_Surface* surface)
    : s(surface),
      alphaflags(surface->flags & (SDL_SRCALPHA | SDL_RLEACCELOK)),
      keyflags(surface->flags & (SDL_SRCCOLORKEY | SDL_RLEACCELOK)),
      key(surface->format->colorkey),
      alpha(surface->format->alpha) {
  SDL_SetAlpha(s, 0, 0);
  SDL_SetColorKey(s, 0, 0);
}

BlendingOff::~BlendingOff() {
  // SDL takes its "RLE allowed" request as SDL_RLEACCEL and stores it as SDL_RLEACCELOK.
  Uint32 rle = ((alphaflags | keyflags) & SDL_RLEACCELOK) ? SDL_RLEACCEL : 0;
  SDL_SetColorKey(s, (keyflags & SDL_SRCCOLORKEY) | rle, key);
  SDL_SetAlpha(s, (alphaflags & SDL_SRCALPHA) | rle, alpha);
}

void CopyKeyAndAlpha(const SDL_Surface* from, SDL_Surface* result) {
  if (from->flags & SDL_SRCCOLORKEY) SDL_SetColorKey(result, SDL_SRCCOLORKEY, from->format->colorkey);
  if ((from->flags & SDL_SRCALPHA) && from->format->alpha != 255)
    SDL_SetAlpha(result, SDL_SRCALPHA, from->format->alpha);
  else if (!(from->flags & SDL_SRCALPHA) && (result->flags & SDL_SRCALPHA))
    SDL_SetAlpha(result, 0, 0);   // SDL switches per-pixel alpha on for new surfaces; keep the source's choice
}

static Sint16 ToCoordinate(long long v) { return (Sint16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

SDL_Rect PlaceAt(const SDL_Rect* dstrect, long long dx, long long dy) {
  SDL_Rect place;
  place.x = ToCoordinate((dstrect ? dstrect->x : 0) + dx);
  place.y = ToCoordinate((dstrect ? dstrect->y : 0) + dy);
  place.w = place.h = 0;
  return place;
}

SDL_Surface* Deliver(SDL_Surface* result, SDL_Surface* dst, SDL_Rect place, const char* op) {
  if (!result || !dst) return result;
  SDL_SetAlpha(result, 0, 0);
  int blitted = Yandorix.Blit(result, NULL, dst, &place);
  SDL_FreeSurface(result);
  if (blitted < 0) {
    LogError(op, "the result could not be drawn into the destination: %s", SDL_GetError());
    return NULL;
  }
  return dst;
}

// The source's key as the blit converted its pixels: SDL's blitters widen channels by shifting, which
// differs from SDL_GetRGB, so the key goes through the same conversion as the pixels it must match.
static Uint32 ConvertedKey(const SDL_Surface* src, const SDL_Surface* copy, const char* op) {
  Uint8 r, g, b;
  SDL_GetRGB(src->format->colorkey, src->format, &r, &g, &b);
  Uint32 fallback = SDL_MapRGB(copy->format, r, g, b);
  SDL_Surface* from = NewSurfaceLike(src, 1, 1, op);
  SDL_Surface* to = NewSurfaceLike(copy, 1, 1, op);
  Uint32 key = fallback;
  if (from && to && !ydxpix::MustLock(from) && !ydxpix::MustLock(to)) {
    SDL_SetAlpha(from, 0, 0);
    ydxpix::WriteUnchecked(from, 0, 0, src->format->colorkey);
    if (SDL_BlitSurface(from, NULL, to, NULL) == 0) key = ydxpix::ReadUnchecked(to, 0, 0);
  }
  if (from) SDL_FreeSurface(from);
  if (to) SDL_FreeSurface(to);
  return key;
}

SDL_Surface* WorkingCopy32(SDL_Surface* src, const Area& area, Uint32 rmask, Uint32 gmask, Uint32 bmask,
                           const char* op) {
  Uint32 amask = src->format->Amask ? 0xFF000000u : 0;
  SDL_Surface* copy = NewSurface(area.w, area.h, 32, rmask, gmask, bmask, amask, op);
  if (!copy) return NULL;
  int copied;
  {
    BlendingOff copyExactly(src);
    SDL_Rect from = {(Sint16)area.x, (Sint16)area.y, (Uint16)area.w, (Uint16)area.h};
    copied = SDL_BlitSurface(src, &from, copy, NULL);
  }
  if (copied < 0) {
    LogError(op, "the 32-bit working copy failed: %s", SDL_GetError());
    SDL_FreeSurface(copy);
    return NULL;
  }
  if (src->flags & SDL_SRCCOLORKEY) SDL_SetColorKey(copy, SDL_SRCCOLORKEY, ConvertedKey(src, copy, op));
  if (src->flags & SDL_SRCALPHA) SDL_SetAlpha(copy, SDL_SRCALPHA, src->format->alpha);
  else SDL_SetAlpha(copy, 0, 0);
  return copy;
}

void BlitToScreenGL(SDL_Surface* src, const SDL_Rect* srcrect, const SDL_Rect* dstrect, long long dx,
                    long long dy) {
  SDL_Rect from = srcrect ? *srcrect : SDL_Rect{0, 0, 0, 0};
  SDL_Rect to = PlaceAt(dstrect, dx, dy);
  // Straight to the back end: SDL's own clipping would cut away transformed images whose rectangle
  // lies past the screen's edge although they are drawn back onto it (mirrors, flips, turns).
  glSDL_BlitToScreen(src, srcrect ? &from : NULL, &to);
}

// ---- colour codec ----

ColourCodec::ColourCodec(const SDL_PixelFormat* format)
    : fmt(format), direct(false), exact(false), keepmask(0) {
  const Uint32 masks[3] = {format->Rmask, format->Gmask, format->Bmask};
  const Uint8 shifts[3] = {format->Rshift, format->Gshift, format->Bshift};
  const Uint8 losses[3] = {format->Rloss, format->Gloss, format->Bloss};
  direct = format->palette == NULL && format->BytesPerPixel >= 2;
  for (int c = 0; c < 3; c++) {
    mask[c] = masks[c];
    shift[c] = shifts[c];
    loss[c] = losses[c];
    if (masks[c] == 0 || (masks[c] >> shifts[c]) > 255 || losses[c] > 7) direct = false;
  }
  if (!direct) return;
  exact = (mask[0] >> shift[0]) == 255 && (mask[1] >> shift[1]) == 255 && (mask[2] >> shift[2]) == 255;
  keepmask = ~(mask[0] | mask[1] | mask[2]);
  // Expansion of each raw channel value as SDL_GetRGB does it, so results match SDL's bit for bit.
  SDL_PixelFormat* sdlformat = const_cast<SDL_PixelFormat*>(format);
  for (int c = 0; c < 3; c++) {
    Uint32 top = mask[c] >> shift[c];
    for (Uint32 v = 0; v < 256; v++) {
      Uint8 rgb[3] = {0, 0, 0};
      if (v <= top) SDL_GetRGB(v << shift[c], sdlformat, &rgb[0], &rgb[1], &rgb[2]);
      expand[c][v] = rgb[c];
    }
  }
}

RGB ColourCodec::Decode(Uint32 p) const {
  RGB c = {0, 0, 0, 0};
  if (direct) {
    c.r = expand[0][(p & mask[0]) >> shift[0]];
    c.g = expand[1][(p & mask[1]) >> shift[1]];
    c.b = expand[2][(p & mask[2]) >> shift[2]];
  } else {
    SDL_GetRGB(p, const_cast<SDL_PixelFormat*>(fmt), &c.r, &c.g, &c.b);
  }
  return c;
}

Uint32 ColourCodec::Encode(const RGB& c) const {
  if (!direct) return SDL_MapRGB(const_cast<SDL_PixelFormat*>(fmt), c.r, c.g, c.b);
  return fmt->Amask | (Uint32)(c.r >> loss[0]) << shift[0] | (Uint32)(c.g >> loss[1]) << shift[1] |
         (Uint32)(c.b >> loss[2]) << shift[2];
}

RGB ColourCodec::Quantize(const RGB& c) const {
  if (exact) return c;
  if (!direct) return Decode(Encode(c));
  RGB q = {expand[0][c.r >> loss[0]], expand[1][c.g >> loss[1]], expand[2][c.b >> loss[2]], 0};
  return q;
}

template <int BPP, bool EXACT>
void ColourCodec::DecodeRowT(const SDL_Surface* s, int y, int x0, int count, RGB* out) const {
  const Uint8* row = RowOf(s, y);
  const Uint8 rs = shift[0], gs = shift[1], bs = shift[2];
  for (int i = 0; i < count; i++) {
    Uint32 p = LoadPixel<BPP>(s, row, x0 + i, y);
    if constexpr (EXACT) {
      out[i] = RGB{(Uint8)(p >> rs), (Uint8)(p >> gs), (Uint8)(p >> bs), 0};
    } else {
      out[i] = RGB{expand[0][(p & mask[0]) >> rs], expand[1][(p & mask[1]) >> gs], expand[2][(p & mask[2]) >> bs], 0};
    }
  }
}

template <int BPP>
void ColourCodec::EncodeRowT(SDL_Surface* s, int y, int x0, int count, const RGB* in, bool keepOther) const {
  Uint8* row = RowOf(s, y);
  const Uint8 rs = shift[0], gs = shift[1], bs = shift[2], rl = loss[0], gl = loss[1], bl = loss[2];
  if (keepOther) {
    const Uint32 keep = keepmask;
    for (int i = 0; i < count; i++) {
      Uint32 old = LoadPixel<BPP>(s, row, x0 + i, y) & keep;
      StorePixel<BPP>(s, row, x0 + i, y,
                      old | (Uint32)(in[i].r >> rl) << rs | (Uint32)(in[i].g >> gl) << gs | (Uint32)(in[i].b >> bl) << bs);
    }
    return;
  }
  const Uint32 opaque = fmt->Amask;
  for (int i = 0; i < count; i++)
    StorePixel<BPP>(s, row, x0 + i, y,
                    opaque | (Uint32)(in[i].r >> rl) << rs | (Uint32)(in[i].g >> gl) << gs | (Uint32)(in[i].b >> bl) << bs);
}

// Palettes and unusual formats go through SDL's own colour functions.
static void DecodeRowBySDL(const SDL_Surface* s, int y, int x0, int count, RGB* out) {
  for (int i = 0; i < count; i++) {
    out[i].unused = 0;
    SDL_GetRGB(ydxpix::ReadUnchecked(s, x0 + i, y), s->format, &out[i].r, &out[i].g, &out[i].b);
  }
}

static void EncodeRowBySDL(SDL_Surface* s, int y, int x0, int count, const RGB* in) {
  for (int i = 0; i < count; i++) ydxpix::WriteUnchecked(s, x0 + i, y, SDL_MapRGB(s->format, in[i].r, in[i].g, in[i].b));
}

void ColourCodec::DecodeRow(const SDL_Surface* s, int y, int x0, int count, RGB* out) const {
  if (!direct) return DecodeRowBySDL(s, y, x0, count, out);
  switch (s->format->BytesPerPixel) {
    case 2: DecodeRowT<2, false>(s, y, x0, count, out); break;
    case 3: exact ? DecodeRowT<3, true>(s, y, x0, count, out) : DecodeRowT<3, false>(s, y, x0, count, out); break;
    default: exact ? DecodeRowT<4, true>(s, y, x0, count, out) : DecodeRowT<4, false>(s, y, x0, count, out); break;
  }
}

void ColourCodec::EncodeRow(SDL_Surface* s, int y, int x0, int count, const RGB* in, bool keepOther) const {
  if (!direct) return EncodeRowBySDL(s, y, x0, count, in);
  switch (s->format->BytesPerPixel) {
    case 2: EncodeRowT<2>(s, y, x0, count, in, keepOther); break;
    case 3: EncodeRowT<3>(s, y, x0, count, in, keepOther); break;
    default: EncodeRowT<4>(s, y, x0, count, in, keepOther); break;
  }
}

template <int BPP>
void ColourCodec::ApplyRawTables(SDL_Surface* s, const Uint32 raw[3][256]) const {
  const Uint8 rs = shift[0], gs = shift[1], bs = shift[2];
  for (int y = 0; y < s->h; y++) {
    Uint8* row = RowOf(s, y);
    for (int x = 0; x < s->w; x++) {
      Uint32 p = LoadPixel<BPP>(s, row, x, y);
      StorePixel<BPP>(s, row, x, y,
                      (p & keepmask) | raw[0][(p & mask[0]) >> rs] | raw[1][(p & mask[1]) >> gs] |
                          raw[2][(p & mask[2]) >> bs]);
    }
  }
}

void ColourCodec::ApplyTables(SDL_Surface* s, const Uint8 tables[3][256]) const {
  if (direct) {
    // Composed once per channel: stored value -> component -> table -> stored value in place.
    Uint32 raw[3][256];
    for (int c = 0; c < 3; c++)
      for (int v = 0; v < 256; v++) raw[c][v] = (Uint32)(tables[c][expand[c][v]] >> loss[c]) << shift[c];
    switch (s->format->BytesPerPixel) {
      case 2: ApplyRawTables<2>(s, raw); break;
      case 3: ApplyRawTables<3>(s, raw); break;
      default: ApplyRawTables<4>(s, raw); break;
    }
    return;
  }
  // Palettes: each index is mapped once, then every pixel looks its new index up.
  if (s->format->BytesPerPixel == 1) {
    Uint8 index[256];
    for (int i = 0; i < 256; i++) {
      RGB c = Decode((Uint32)i);
      index[i] = (Uint8)Encode(RGB{tables[0][c.r], tables[1][c.g], tables[2][c.b], 0});
    }
    for (int y = 0; y < s->h; y++) {
      Uint8* row = RowOf(s, y);
      for (int x = 0; x < s->w; x++) row[x] = index[row[x]];
    }
    return;
  }
  for (int y = 0; y < s->h; y++)
    for (int x = 0; x < s->w; x++) {
      RGB c = Decode(ydxpix::ReadUnchecked(s, x, y));
      ydxpix::WriteUnchecked(s, x, y, Encode(RGB{tables[0][c.r], tables[1][c.g], tables[2][c.b], 0}));
    }
}

}  // namespace ydxfx

using namespace ydxfx;

struct sScreenFXPrivate {
  Yandorix_IPrimitives* ownprimitives;   // the primitives object this service made, if any
};

Yandorix_IScreenFX::Yandorix_IScreenFX() {
  p = new sScreenFXPrivate();
  createdprimitives = 0;
  if (!IPrimitives) {
    IPrimitives = new Yandorix_IPrimitives();
    p->ownprimitives = IPrimitives;
    createdprimitives = 1;
  }
  ILogSystem.Msg(5, " . [IScreenFX] Interfaz created.\n");
}

Yandorix_IScreenFX::~Yandorix_IScreenFX() {
  // A NULL global means someone else already released the primitives service.
  if (createdprimitives && IPrimitives) {
    if (IPrimitives == p->ownprimitives) IPrimitives = NULL;
    delete p->ownprimitives;
  }
  delete p;
  ILogSystem.Msg(5, " . [IScreenFX] Interfaz deleted.\n");
}

// ---- mirror and flip ----

struct Pixel3 {
  Uint8 bytes[3];
};

template <typename T>
static void ReverseRows(const SDL_Surface* src, const Area& a, SDL_Surface* out) {
  for (int y = 0; y < a.h; y++) {
    const T* from = reinterpret_cast<const T*>(RowOf(src, a.y + y)) + a.x;
    T* to = reinterpret_cast<T*>(RowOf(out, y)) + (a.w - 1);
    for (int i = 0; i < a.w; i++) to[-i] = from[i];
  }
}

static void MirrorRows(const SDL_Surface* src, const Area& a, SDL_Surface* out) {
  switch (src->format->BytesPerPixel) {
    case 1: ReverseRows<Uint8>(src, a, out); break;
    case 2: ReverseRows<Uint16>(src, a, out); break;
    case 3: ReverseRows<Pixel3>(src, a, out); break;
    default: ReverseRows<Uint32>(src, a, out); break;
  }
}

static void FlipRows(const SDL_Surface* src, const Area& a, SDL_Surface* out) {
  size_t bpp = src->format->BytesPerPixel;
  for (int y = 0; y < a.h; y++)
    Yandorix_memcpy(RowOf(out, y), RowOf(src, a.y + a.h - 1 - y) + a.x * bpp, a.w * bpp);
}

// The shared body of Mirror and Flip: the area copied row by row into a new surface of its size.
static SDL_Surface* CopyArea(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect,
                             const char* op, void (*copyRows)(const SDL_Surface*, const Area&, SDL_Surface*)) {
  Area area;
  if (!SettleArea(src, srcrect, &area, op)) return NULL;
  SDL_Surface* result = NewSurfaceLike(src, area.w, area.h, op);
  if (!result) return NULL;
  {
    PixelLock from(src, op), to(result, op);
    if (!from.ok() || !to.ok()) {
      SDL_FreeSurface(result);
      return NULL;
    }
    copyRows(src, area, result);
  }
  CopyKeyAndAlpha(src, result);
  return Deliver(result, dst, PlaceAt(dstrect, 0, 0), op);
}

SDL_Surface* Yandorix_IScreenFX::Mirror(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst,
                                        const SDL_Rect* dstrect) {
  if (!SourceUsable(src, dst, "Mirror()")) return NULL;
  if (dst && IsTexture(src)) {
    int w, h;
    GivenSize(src, srcrect, &w, &h);
    glSDL_PushState();
    glSDL_SetStateScale(-1.0f, 1.0f);
    BlitToScreenGL(src, srcrect, dstrect, w, 0);
    glSDL_PopState();
    return dst;
  }
  return CopyArea(src, srcrect, dst, dstrect, "Mirror()", MirrorRows);
}

SDL_Surface* Yandorix_IScreenFX::Flip(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst,
                                      const SDL_Rect* dstrect) {
  if (!SourceUsable(src, dst, "Flip()")) return NULL;
  if (dst && IsTexture(src)) {
    int w, h;
    GivenSize(src, srcrect, &w, &h);
    glSDL_PushState();
    glSDL_SetStateScale(1.0f, -1.0f);
    BlitToScreenGL(src, srcrect, dstrect, 0, h);
    glSDL_PopState();
    return dst;
  }
  return CopyArea(src, srcrect, dst, dstrect, "Flip()", FlipRows);
}

// ---- in-place colour effects ----

static inline Uint8 Clamp255(int v) { return (Uint8)(v < 0 ? 0 : v > 255 ? 255 : v); }

// Common checks of the in-place effects; `value` is the amount or factor, valid in 0..limit.
static bool InPlaceUsable(SDL_Surface* s, int value, int limit, const char* op) {
  if (!s) {
    LogError(op, "the surface is NULL.");
    return false;
  }
  if (IsTexture(s)) {
    LogError(op, "the surface is an OpenGL texture.");
    return false;
  }
  if ((unsigned)value > (unsigned)limit) {
    LogError(op, "%d is outside 0..%d.", value, limit);
    return false;
  }
  return true;
}

static std::unique_ptr<RGB[]> NewRow(long long count, const char* op) {
  std::unique_ptr<RGB[]> row(new (std::nothrow) RGB[(size_t)count]);
  if (!row) LogError(op, "out of memory for a row of %lld pixels.", count);
  return row;
}

// Runs `change` over every row of the surface as 8-bit components, in place, top to bottom.
template <typename Change>
static int ChangeRows(SDL_Surface* s, const char* op, Change change) {
  if (s->w <= 0 || s->h <= 0) return 1;
  std::unique_ptr<RGB[]> row = NewRow(s->w, op);
  if (!row) return 0;
  PixelLock lock(s, op);
  if (!lock.ok()) return 0;
  ColourCodec codec(s->format);
  for (int y = 0; y < s->h; y++) {
    codec.DecodeRow(s, y, 0, s->w, row.get());
    change(row.get(), s->w);
    codec.EncodeRow(s, y, 0, s->w, row.get(), true);
  }
  return 1;
}

// Mid-range components get rand() % amount - amount / 2 added; dark and bright ones stay.
static inline Uint8 AddNoise(Uint8 c, int amount) {
  if (c < 31 || c > 219) return c;
  return Clamp255(c + rand() % amount - amount / 2);
}

int Yandorix_IScreenFX::Noise(SDL_Surface* surface, int amount) {
  if (!InPlaceUsable(surface, amount, 100, "Noise()")) return 0;
  if (amount == 0) return 1;   // no noise to add
  return ChangeRows(surface, "Noise()", [amount](RGB* row, int count) {
    for (int i = 0; i < count; i++) {
      row[i].r = AddNoise(row[i].r, amount);
      row[i].g = AddNoise(row[i].g, amount);
      row[i].b = AddNoise(row[i].b, amount);
    }
  });
}

int Yandorix_IScreenFX::GammaCorrect(SDL_Surface* surface, int r, int g, int b) {
  if (!InPlaceUsable(surface, r, 255, "GammaCorrect()") || !InPlaceUsable(surface, g, 255, "GammaCorrect()") ||
      !InPlaceUsable(surface, b, 255, "GammaCorrect()"))
    return 0;
  // Only the middle tones move; brightening saturates at 255.
  Uint8 table[3][256];
  const int factors[3] = {r, g, b};
  for (int c = 0; c < 3; c++)
    for (int v = 0; v < 256; v++) table[c][v] = (v >= 71 && v <= 179) ? Clamp255(factors[c] * v / 100) : (Uint8)v;
  if (surface->w <= 0 || surface->h <= 0) return 1;
  PixelLock lock(surface, "GammaCorrect()");
  if (!lock.ok()) return 0;
  ColourCodec(surface->format).ApplyTables(surface, table);
  return 1;
}

// Blur weights: the centre keeps (100 - amount)%, each of the eight neighbours adds (amount / 8)%.
struct BlurWeights {
  int centre[256];
  int side[256];
};

static inline Uint8 BlurComponent(const BlurWeights& w, int c, int ul, int u, int ur, int l, int r, int dl, int d,
                                  int dr) {
  return (Uint8)(w.centre[c] + w.side[ul] + w.side[u] + w.side[ur] + w.side[l] + w.side[r] + w.side[dl] +
                 w.side[d] + w.side[dr]);
}

// One row of the blur. `row` is live: pixels left of x are already blurred, as the surface holds them
// at that moment; `up` and `down` may be `row` itself at the top and bottom edges. Index 0 and
// count + 1 are the edge pixels repeated.
static void BlurRow(const BlurWeights& w, const ColourCodec& codec, const RGB* up, RGB* row, const RGB* down,
                    int count) {
  for (int x = 1; x <= count; x++) {
    RGB out;
    out.r = BlurComponent(w, row[x].r, up[x - 1].r, up[x].r, up[x + 1].r, row[x - 1].r, row[x + 1].r, down[x - 1].r,
                          down[x].r, down[x + 1].r);
    out.g = BlurComponent(w, row[x].g, up[x - 1].g, up[x].g, up[x + 1].g, row[x - 1].g, row[x + 1].g, down[x - 1].g,
                          down[x].g, down[x + 1].g);
    out.b = BlurComponent(w, row[x].b, up[x - 1].b, up[x].b, up[x + 1].b, row[x - 1].b, row[x + 1].b, down[x - 1].b,
                          down[x].b, down[x + 1].b);
    out.unused = 0;
    row[x] = codec.Quantize(out);
  }
}

struct ColumnSum {
  int r, g, b;
};

// A row whose neighbours above and below are other rows: their share is summed once per column
// (`columns`, count + 2 entries), leaving the live left and right neighbours and the centre per pixel.
static void BlurInnerRow(const BlurWeights& w, const ColourCodec& codec, const RGB* up, RGB* row, const RGB* down,
                         int count, ColumnSum* columns) {
  for (int x = 0; x <= count + 1; x++)
    columns[x] = ColumnSum{w.side[up[x].r] + w.side[down[x].r], w.side[up[x].g] + w.side[down[x].g],
                           w.side[up[x].b] + w.side[down[x].b]};
  // The left neighbour is the pixel just blurred: its share is carried in registers, not re-read.
  ColumnSum done = {w.side[row[0].r], w.side[row[0].g], w.side[row[0].b]};
  for (int x = 1; x <= count; x++) {
    const ColumnSum &left = columns[x - 1], &middle = columns[x], &right = columns[x + 1];
    RGB out;
    out.r = (Uint8)(w.centre[row[x].r] + left.r + middle.r + right.r + w.side[row[x + 1].r] + done.r);
    out.g = (Uint8)(w.centre[row[x].g] + left.g + middle.g + right.g + w.side[row[x + 1].g] + done.g);
    out.b = (Uint8)(w.centre[row[x].b] + left.b + middle.b + right.b + w.side[row[x + 1].b] + done.b);
    out.unused = 0;
    row[x] = codec.Quantize(out);
    done = ColumnSum{w.side[row[x].r], w.side[row[x].g], w.side[row[x].b]};
  }
}

static void LoadPaddedRow(const ColourCodec& codec, const SDL_Surface* s, int y, RGB* buffer) {
  codec.DecodeRow(s, y, 0, s->w, buffer + 1);
  buffer[0] = buffer[1];
  buffer[s->w + 1] = buffer[s->w];
}

int Yandorix_IScreenFX::Blur(SDL_Surface* surface, int amount) {
  const char* op = "Blur()";
  if (!InPlaceUsable(surface, amount, 100, op)) return 0;
  int w = surface->w, h = surface->h;
  if (w <= 0 || h <= 0) return 1;
  BlurWeights weights;
  for (int v = 0; v < 256; v++) {
    weights.centre[v] = v * (100 - amount) / 100;
    weights.side[v] = (amount / 8) * v / 100;
  }
  std::unique_ptr<RGB[]> buffers = NewRow(3LL * (w + 2), op);
  std::unique_ptr<ColumnSum[]> columns(new (std::nothrow) ColumnSum[(size_t)w + 2]);
  if (!buffers) return 0;
  if (!columns) {
    LogError(op, "out of memory for a row of %d pixels.", w);
    return 0;
  }
  PixelLock lock(surface, op);
  if (!lock.ok()) return 0;
  ColourCodec codec(surface->format);
  RGB* above = buffers.get();
  RGB* current = above + (w + 2);
  RGB* below = current + (w + 2);
  LoadPaddedRow(codec, surface, 0, current);
  for (int y = 0; y < h; y++) {
    const RGB* up = y == 0 ? current : above;
    if (y + 1 < h) LoadPaddedRow(codec, surface, y + 1, below);
    const RGB* down = y + 1 < h ? below : current;
    if (up != current && down != current) BlurInnerRow(weights, codec, up, current, down, w, columns.get());
    else BlurRow(weights, codec, up, current, down, w);
    codec.EncodeRow(surface, y, 0, w, current + 1, true);
    // The blurred row becomes the upper neighbour of the next one, its edges repeated.
    current[0] = current[1];
    current[w + 1] = current[w];
    std::swap(above, current);
    std::swap(current, below);
  }
  return 1;
}
