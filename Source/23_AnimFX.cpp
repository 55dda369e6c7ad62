// Animated frame effects (RenderFX: colour maps, wave, mosaic, smear, tints) driven by one frame
// counter, and the blocking fades of a screen area towards an image or a colour on the library clock.
#include "22_ScreenFX.h"
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

using namespace ydxfx;

// Advanced by every RenderFX call; the wave and the mosaic animate with it.
static Uint32 frameCounter = 100;

// ---- RenderFX ----

static std::unique_ptr<RGB[]> NewRows(long long count, const char* op) {
  std::unique_ptr<RGB[]> rows(new (std::nothrow) RGB[(size_t)count]);
  if (!rows) LogError(op, "out of memory for a row of %lld pixels.", count);
  return rows;
}

static inline int Min(int a, int b) { return a < b ? a : b; }

// Type 1 and 4 to 9: each pixel's colour mapped on its own; (x, y) is the pixel's place.
static RGB MapColour(int type, RGB c, int x, int y) {
  switch (type) {
    case 1: c.r = c.r / 85 * 85; c.g = c.g / 85 * 85; c.b = c.b / 85 * 85; break;
    case 4:
      switch ((x + y) % 3) {
        case 0: c.g >>= 1; c.b >>= 1; break;
        case 1: c.r >>= 1; c.b >>= 1; break;
        default: c.r >>= 1; c.g >>= 1; break;
      }
      break;
    case 6: c.r = 255 - c.r; c.g = 255 - c.g; c.b = 255 - c.b; break;
    case 7: c.r = c.g = c.b = (Uint8)((c.r + c.g + c.b) / 3); break;
    case 8: c.r = c.g = c.b = (Uint8)((77 * c.r + 153 * c.g + 6 * c.b) / 765); break;
    default: c.r = c.g = c.b = (c.r + c.g + c.b) / 3 > 127 ? 255 : 0; break;   // 9: threshold
  }
  return c;
}

static void ColourMapFX(SDL_Surface* src, SDL_Surface* dst, int type, const char* op) {
  int w = Min(src->w, dst->w), h = Min(src->h, dst->h);
  if (w <= 0 || h <= 0) return;
  std::unique_ptr<RGB[]> row = NewRows(w, op);
  if (!row) return;
  PixelLock from(src, op), to(dst, op);
  if (!from.ok() || !to.ok()) return;
  ColourCodec in(src->format), out(dst->format);
  for (int y = 0; y < h; y++) {
    in.DecodeRow(src, y, 0, w, row.get());
    for (int x = 0; x < w; x++) row[x] = MapColour(type, row[x], x, y);
    out.EncodeRow(dst, y, 0, w, row.get(), false);
  }
}

// Type 2: every row slides sideways on a cosine of the counter and the row.
static void WaveFX(SDL_Surface* src, SDL_Surface* dst) {
  for (int y = 0; y < src->h && y <= 32767; y++) {
    double degrees = (double)frameCounter * 8.0 + y * 2.0;
    SDL_Rect from = {0, (Sint16)y, (Uint16)src->w, 1};
    SDL_Rect to = {(Sint16)(int)(20.0 * cos(degrees / 180.0 * 3.1416)), (Sint16)y, 0, 0};
    SDL_UpperBlit(src, &from, dst, &to);
  }
}

// Type 3: squares of n x n pixels, n growing from 1 to 10 and shrinking from 11 to 2 with the counter.
static int MosaicSize(Uint32 counter) {
  Uint32 k = counter / 4;
  return k % 20 <= 9 ? (int)(k % 10) + 1 : 11 - (int)(k % 10);
}

static void MosaicFX(SDL_Surface* src, SDL_Surface* dst, const char* op) {
  int n = MosaicSize(frameCounter);
  if (n < 2) {
    SDL_Rect origin = {0, 0, 0, 0};
    SDL_UpperBlit(src, NULL, dst, &origin);
    return;
  }
  if (src->w <= 0) return;
  std::unique_ptr<RGB[]> row = NewRows(src->w, op);
  if (!row) return;
  ColourCodec in(src->format), out(dst->format);
  for (int y = 0; y < src->h && y <= 32767; y += n) {
    {
      // The source is unlocked again before filling: it may be the destination itself.
      PixelLock from(src, op);
      if (!from.ok()) return;
      in.DecodeRow(src, y, 0, src->w, row.get());
    }
    for (int x = 0; x < src->w && x <= 32767; x += n) {
      SDL_Rect square = {(Sint16)x, (Sint16)y, (Uint16)n, (Uint16)n};
      SDL_FillRect(dst, &square, out.Encode(row[x]));
    }
  }
}

// Type 5: each component is the mean of four neighbours in the row, the row shifted by 0..3 pixels.
static void SmearFX(SDL_Surface* src, SDL_Surface* dst, const char* op) {
  int h = Min(src->h, dst->h);
  if (src->w <= 0 || h <= 0) return;
  std::unique_ptr<RGB[]> rows = NewRows(2LL * src->w + 3, op);
  if (!rows) return;
  RGB* in = rows.get();
  RGB* out = in + src->w;
  PixelLock from(src, op), to(dst, op);
  if (!from.ok() || !to.ok()) return;
  ColourCodec incodec(src->format), outcodec(dst->format);
  for (int y = 0; y < h; y++) {
    int shift = rand() % 4;
    incodec.DecodeRow(src, y, 0, src->w, in);
    for (int x = 3; x < src->w; x++) {
      out[x].r = (Uint8)((in[x - 3].r + in[x - 2].r + in[x - 1].r + in[x].r) >> 2);
      out[x].g = (Uint8)((in[x - 3].g + in[x - 2].g + in[x - 1].g + in[x].g) >> 2);
      out[x].b = (Uint8)((in[x - 3].b + in[x - 2].b + in[x - 1].b + in[x].b) >> 2);
    }
    int last = Min(src->w - 1 + shift, dst->w - 1);   // writes past the destination's width are dropped
    if (last >= 3 + shift) outcodec.EncodeRow(dst, y, 3 + shift, last - 2 - shift, out + 3, false);
  }
}

// Types 10 to 12: 2 x 2 blocks recoloured to one hue, saturation and brightness softened.
static void TintFX(SDL_Surface* src, SDL_Surface* dst, float hue, const char* op) {
  if (src->w < 2 || src->h < 2) return;
  if (!IPrimitives) {
    LogError(op, "the primitives service is missing.");
    return;
  }
  int covered = Min(src->w / 2 * 2, dst->w);
  if (covered <= 0) return;
  std::unique_ptr<RGB[]> rows = NewRows(2LL * src->w, op);
  if (!rows) return;
  RGB* in = rows.get();
  RGB* out = in + src->w;
  PixelLock from(src, op), to(dst, op);
  if (!from.ok() || !to.ok()) return;
  ColourCodec incodec(src->format), outcodec(dst->format);
  for (int y = 0; y < src->h - 1; y += 2) {
    incodec.DecodeRow(src, y, 0, src->w, in);
    for (int x = 0; x < src->w - 1; x += 2) {
      float h, s, v;
      IPrimitives->RGBtoHSV(in[x].r, in[x].g, in[x].b, &h, &s, &v);
      IPrimitives->HSVtoRGB(hue, s * 0.5f + 0.5f, v * 0.5f + 0.25f, &out[x].r, &out[x].g, &out[x].b);
      out[x + 1] = out[x];
    }
    for (int row = y; row < y + 2 && row < dst->h; row++) outcodec.EncodeRow(dst, row, 0, covered, out, false);
  }
}

// Texture sources under OpenGL: the tint is the render state's colour modulation.
static void TintTextureGL(SDL_Surface* src, int type) {
  static const int kModulation[3][3] = {{255, 128, 128}, {128, 255, 128}, {128, 128, 255}};
  const int* m = kModulation[type - 10];
  glSDL_PushState();
  glSDL_SetStateColor(m[0], m[1], m[2]);
  glSDL_PrepareBlit(src, Yandorix.screen);
  SDL_UpperBlit(src, NULL, Yandorix.screen, NULL);
  glSDL_PopState();
}

void Yandorix_IScreenFX::RenderFX(SDL_Surface* src, SDL_Surface* dst, int type) {
  const char* op = "RenderFX()";
  if (!src || !dst) {
    LogError(op, "the source or the destination surface is NULL.");
    return;
  }
  if (IsTexture(src)) {
    if (type == 1 || (type >= 4 && type <= 9)) return;
    if (type >= 10 && type <= 12) {
      TintTextureGL(src, type);
      frameCounter++;
      return;
    }
  }
  if (type == 2 && src == dst) {
    LogError(op, "the wave needs a destination other than its source.");
    return;
  }
  static const float kHues[3] = {40.0f, 110.0f, 240.0f};
  switch (type) {
    case 1: case 4: case 6: case 7: case 8: case 9: ColourMapFX(src, dst, type, op); break;
    case 2: WaveFX(src, dst); break;
    case 3: MosaicFX(src, dst, op); break;
    case 5: SmearFX(src, dst, op); break;
    case 10: case 11: case 12: TintFX(src, dst, kHues[type - 10], op); break;
    default: break;   // no effect; only the counter moves
  }
  frameCounter++;
}

// ---- fades ----

// A rectangle argument copied, so SDL's rewriting of it never reaches the caller or the next frame.
static SDL_Rect* CopyOrNull(const SDL_Rect* given, SDL_Rect* copy) {
  if (!given) return NULL;
  *copy = *given;
  return copy;
}

static SDL_Rect WholeOf(const SDL_Surface* s) { return SDL_Rect{0, 0, (Uint16)s->w, (Uint16)s->h}; }

// Rectangles by value: each blit works on its own copies.
static int BlitArea(SDL_Surface* src, SDL_Rect from, SDL_Surface* dst, SDL_Rect to) {
  return SDL_BlitSurface(src, &from, dst, &to);
}

// Restores an image's alpha flag and value, which the fade changes every frame.
class AlphaKeeper {
 public:
  explicit AlphaKeeper(SDL_Surface* surface)
      : s(surface), flags(surface ? surface->flags & (SDL_SRCALPHA | SDL_RLEACCELOK) : 0),
        alpha(surface ? surface->format->alpha : 255) {}
  ~AlphaKeeper() {
    if (s) SDL_SetAlpha(s, (flags & SDL_SRCALPHA) | ((flags & SDL_RLEACCELOK) ? SDL_RLEACCEL : 0), alpha);
  }
  AlphaKeeper(const AlphaKeeper&) = delete;
  AlphaKeeper& operator=(const AlphaKeeper&) = delete;

 private:
  SDL_Surface* s;
  Uint32 flags;
  Uint8 alpha;
};

// The surfaces one fade works with; whatever was made is freed with it.
struct FadeSurfaces {
  SDL_Surface* snapshot = NULL;      // the screen area as it was
  SDL_Surface* target = NULL;        // what the area fades to
  SDL_Surface* composition = NULL;   // software copy of a video-memory screen
  bool ownstarget = false;
  SDL_Rect targetarea = {0, 0, 0, 0};
  FadeSurfaces() = default;
  FadeSurfaces(const FadeSurfaces&) = delete;
  FadeSurfaces& operator=(const FadeSurfaces&) = delete;
  ~FadeSurfaces() {
    if (snapshot) SDL_FreeSurface(snapshot);
    if (ownstarget && target) SDL_FreeSurface(target);
    if (composition) SDL_FreeSurface(composition);
  }
};

// The fade's target: a software copy of a video-memory image, the image itself, or a colour field.
static bool MakeTarget(FadeSurfaces& f, SDL_Surface* screen, SDL_Surface* image, const SDL_Rect& a,
                       const SDL_Rect& b, Uint8 r, Uint8 g, Uint8 bl, const char* op) {
  if (image && !(image->flags & SDL_HWSURFACE)) {
    f.target = image;
    f.targetarea = b;
    return true;
  }
  f.ownstarget = true;
  f.targetarea = SDL_Rect{0, 0, b.w, b.h};
  if (image) {
    f.target = NewSurfaceLike(image, b.w, b.h, op);
    if (!f.target) return false;
    {
      BlendingOff copyExactly(image);
      BlitArea(image, b, f.target, SDL_Rect{0, 0, 0, 0});
    }
    if (image->flags & SDL_SRCCOLORKEY) SDL_SetColorKey(f.target, SDL_SRCCOLORKEY, image->format->colorkey);
    return true;
  }
  f.target = NewSurfaceLike(screen, a.w, a.h, op);
  if (!f.target) return false;
  SDL_FillRect(f.target, NULL, SDL_MapRGB(screen->format, r, g, bl));
  return true;
}

static bool MakeFadeSurfaces(FadeSurfaces& f, SDL_Surface* screen, SDL_Surface* image, const SDL_Rect& a,
                             const SDL_Rect& b, Uint8 r, Uint8 g, Uint8 bl, const char* op) {
  f.snapshot = NewSurfaceLike(screen, a.w, a.h, op);
  if (!f.snapshot) return false;
  BlitArea(screen, a, f.snapshot, SDL_Rect{0, 0, 0, 0});
  if (!MakeTarget(f, screen, image, a, b, r, g, bl, op)) return false;
  if (screen->flags & SDL_HWSURFACE) {
    f.composition = NewSurfaceLike(screen, screen->w, screen->h, op);
    if (!f.composition) return false;
    BlitArea(screen, WholeOf(screen), f.composition, SDL_Rect{0, 0, 0, 0});
  }
  return true;
}

// One frame: the old area, then the target over it at the frame's alpha.
static void DrawFadeFrame(const FadeSurfaces& f, SDL_Surface* screen, const SDL_Rect& a) {
  SDL_Surface* canvas = f.composition ? f.composition : screen;
  BlitArea(f.snapshot, WholeOf(f.snapshot), canvas, a);
  BlitArea(f.target, f.targetarea, canvas, a);
  if (f.composition) {
    SDL_SetAlpha(f.composition, 0, 0);
    BlitArea(f.composition, WholeOf(f.composition), screen, SDL_Rect{0, 0, 0, 0});
  }
}

// Shows the frame until it has been up `frametime` ms; returns how long it took since t0.
static Uint32 PresentFadeFrame(const FadeSurfaces& f, SDL_Surface* screen, Uint32 t0, Uint32 frametime) {
  Uint32 elapsed;
  do {
    if ((screen->flags & SDL_DOUBLEBUF) && f.composition)
      BlitArea(f.composition, WholeOf(f.composition), screen, SDL_Rect{0, 0, 0, 0});
    SDL_Flip(screen);
    elapsed = Yandorix_Ticks() - t0;
  } while (elapsed < frametime);
  return elapsed;
}

// The fade loop: alpha rises from 0; the step grows whenever frames fall behind the duration.
static void RunFade(const FadeSurfaces& f, SDL_Surface* screen, const SDL_Rect& a, Uint32 ms) {
  int alpha = 0, step = 1;
  while (alpha < 255) {
    Uint32 t0 = Yandorix_Ticks();
    SDL_SetAlpha(f.target, SDL_SRCALPHA, (Uint8)alpha);
    DrawFadeFrame(f, screen, a);
    Uint32 elapsed = PresentFadeFrame(f, screen, t0, ms / (Uint32)(255 / step));
    if ((Uint64)ms < (Uint64)elapsed * (Uint64)((255 - alpha) / step)) step++;
    alpha += step;
  }
  SDL_SetAlpha(f.target, 0, 0);
  BlitArea(f.target, f.targetarea, screen, a);
  SDL_Flip(screen);
}

static int SoftwareFade(Uint8 r, Uint8 g, Uint8 b, SDL_Surface* image, Uint32 ms, const SDL_Rect* screenarea,
                        const SDL_Rect* imagearea, const char* op) {
  SDL_Surface* screen = Yandorix.screen;
  if (!screen) {
    LogError(op, "there is no screen.");
    return 0;
  }
  SDL_Rect a = screenarea ? *screenarea : WholeOf(screen);
  SDL_Rect area = imagearea ? *imagearea : WholeOf(image ? image : screen);
  // Both areas take one size: the screen area's when the caller gave one, else the image's.
  if (screenarea) {
    area.w = a.w;
    area.h = a.h;
  } else {
    a.w = area.w;
    a.h = area.h;
  }
  if (a.w == 0 || a.h == 0) {
    LogError(op, "the area to fade is empty.");
    return 0;
  }
  AlphaKeeper keepImageAlpha(image);
  FadeSurfaces f;
  if (!MakeFadeSurfaces(f, screen, image, a, area, r, g, b, op)) return 0;
  RunFade(f, screen, a, ms);
  return 1;
}

int Yandorix_IScreenFX::FadeToImage(SDL_Surface* image, unsigned int ms, const SDL_Rect* screenarea,
                                    const SDL_Rect* imagearea) {
  const char* op = "FadeToImage()";
  if (!image) {
    LogError(op, "the image is NULL.");
    return 0;
  }
  if (image == Yandorix.screen) {
    LogError(op, "the image is the screen itself.");
    return 0;
  }
  if ((image->flags & SDL_SRCALPHA) && image->format->Amask) {
    LogError(op, "an image with per-pixel alpha cannot be faded in.");
    return 0;
  }
  if (Yandorix.IsGL()) {
    SDL_Rect to, from;
    return glSDL_FadeToImage(image, ms, CopyOrNull(screenarea, &to), CopyOrNull(imagearea, &from));
  }
  return SoftwareFade(0, 0, 0, image, ms, screenarea, imagearea, op);
}

int Yandorix_IScreenFX::FadeToColor(unsigned char r, unsigned char g, unsigned char b, unsigned int ms,
                                    const SDL_Rect* screenarea) {
  if (Yandorix.IsGL()) {
    SDL_Rect to;
    return glSDL_FadeToColor(r, g, b, ms, CopyOrNull(screenarea, &to));
  }
  return SoftwareFade(r, g, b, NULL, ms, screenarea, NULL, "FadeToColor()");
}
