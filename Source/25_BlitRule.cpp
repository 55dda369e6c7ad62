// The stored pixel-format record codec, the checks and rebuild of stored images, the pixel copy and
// the shared blit rule. Stored records are written and read field by field, never as SDL's struct.
#include "01_Main.h"
#include "20_Primitives.h"
#include "25_BlitRule.h"
#include "glSDL.h"
#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------------
// Pixel copy and the blit rule

bool Yandorix_PixelCopy::Take(SDL_Surface* surface) {
  Clear();
  if (!surface || !ydxpix::LockForAccess(surface)) return false;
  pitch = surface->pitch;
  height = surface->h;
  const Uint8* pixels = static_cast<const Uint8*>(surface->pixels);
  bytes.assign(pixels, pixels + (size_t)pitch * height);
  ydxpix::UnlockAfterAccess(surface);
  return true;
}

void Yandorix_PixelCopy::Clear() {
  bytes.clear();
  bytes.shrink_to_fit();
  pitch = height = 0;
}

void Yandorix_PixelCopy::WriteInto(SDL_Surface* surface) const {
  if (!surface || !surface->pixels || Empty()) return;
  size_t rowBytes = (size_t)std::min<int>(pitch, surface->pitch);
  int rows = std::min(height, surface->h);
  Uint8* target = static_cast<Uint8*>(surface->pixels);
  for (int y = 0; y < rows; ++y) Yandorix_memcpy(target + (size_t)y * surface->pitch, &bytes[(size_t)y * pitch], rowBytes);
}

static Yandorix_BlitFunction blitSeam = NULL;

void Yandorix_SetBlitSeam(Yandorix_BlitFunction blit) { blitSeam = blit; }

static int SeamBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (blitSeam) return blitSeam(src, srcrect, dst, dstrect);
  glSDL_PrepareBlit(src, dst);   // under OpenGL every format reaches the screen through the back end
  return SDL_UpperBlit(src, srcrect, dst, dstrect);
}

int Yandorix_RawBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  return SeamBlit(src, srcrect, dst, dstrect);
}

// Refills a source whose video memory was lost and blits it again; false when it could not be locked.
static bool RepairAndBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect,
                          const SDL_Rect* requested, const Yandorix_PixelCopy& copy, int* result) {
  if (SDL_LockSurface(src) < 0) {
    SDL_Delay(10);   // give the driver a moment; the next draw tries again
    return false;
  }
  copy.WriteInto(src);
  SDL_UnlockSurface(src);
  if (dstrect) *dstrect = *requested;   // SDL clipped it during the failed attempt
  *result = SeamBlit(src, srcrect, dst, dstrect);
  ILogSystem.Msg(5, " . [Yandorix_Blit()] Info: lost surface was restored.\n");
  return true;
}

int Yandorix_Blit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect,
                  const Yandorix_PixelCopy* copy, bool wholeCursor) {
  bool restored = ICursor && ICursor->RestoreBG(wholeCursor ? NULL : dstrect) == 1;
  SDL_Rect requested = {0, 0, 0, 0};
  if (dstrect) requested = *dstrect;
  int result = SeamBlit(src, srcrect, dst, dstrect);
  if (result == -2 && Yandorix.backupsurfaces && copy && !copy->Empty() && src)
    RepairAndBlit(src, srcrect, dst, dstrect, &requested, *copy, &result);
  if ((restored || wholeCursor) && ICursor) ICursor->CopyBG();
  return result;
}

namespace ydxfmt {

// ---------------------------------------------------------------------------------------------------
// The record codec

sStoredPixelFormat FormatOf(const SDL_PixelFormat* f) {
  sStoredPixelFormat r;
  r.bitsPerPixel = f->BitsPerPixel;
  r.bytesPerPixel = f->BytesPerPixel;
  r.rloss = f->Rloss;
  r.gloss = f->Gloss;
  r.bloss = f->Bloss;
  r.aloss = f->Aloss;
  r.rshift = f->Rshift;
  r.gshift = f->Gshift;
  r.bshift = f->Bshift;
  r.ashift = f->Ashift;
  r.rmask = f->Rmask;
  r.gmask = f->Gmask;
  r.bmask = f->Bmask;
  r.amask = f->Amask;
  r.colorkey = (Sint32)f->colorkey;
  r.alpha = f->alpha;
  return r;
}

static void Put32(Uint8* at, Uint32 value) {
  for (int i = 0; i < 4; ++i) at[i] = (Uint8)(value >> (8 * i));
}

static Uint32 Get32(const Uint8* at) {
  return (Uint32)at[0] | ((Uint32)at[1] << 8) | ((Uint32)at[2] << 16) | ((Uint32)at[3] << 24);
}

void EncodeFormat(const sStoredPixelFormat& f, Uint8 out[kStoredFormatSize]) {
  std::memset(out, 0, kStoredFormatSize);   // palette word and padding
  out[4] = f.bitsPerPixel;
  out[5] = f.bytesPerPixel;
  const Uint8 small[8] = {f.rloss, f.gloss, f.bloss, f.aloss, f.rshift, f.gshift, f.bshift, f.ashift};
  std::memcpy(out + 6, small, sizeof small);
  Put32(out + 16, f.rmask);
  Put32(out + 20, f.gmask);
  Put32(out + 24, f.bmask);
  Put32(out + 28, f.amask);
  Put32(out + 32, (Uint32)f.colorkey);
  out[36] = f.alpha;
}

sStoredPixelFormat DecodeFormat(const Uint8 in[kStoredFormatSize]) {
  sStoredPixelFormat f;
  f.bitsPerPixel = in[4];
  f.bytesPerPixel = in[5];
  f.rloss = in[6];
  f.gloss = in[7];
  f.bloss = in[8];
  f.aloss = in[9];
  f.rshift = in[10];
  f.gshift = in[11];
  f.bshift = in[12];
  f.ashift = in[13];
  f.rmask = Get32(in + 16);
  f.gmask = Get32(in + 20);
  f.bmask = Get32(in + 24);
  f.amask = Get32(in + 28);
  f.colorkey = (Sint32)Get32(in + 32);
  f.alpha = in[36];
  return f;
}

// ---------------------------------------------------------------------------------------------------
// Checks

static bool FitsPixel(Uint32 value, int bitsPerPixel) { return bitsPerPixel >= 32 || (value >> bitsPerPixel) == 0; }

bool CheckFormat(const sStoredPixelFormat& f, std::string* why) {
  int bpp = f.bitsPerPixel;
  if (bpp != 8 && bpp != 15 && bpp != 16 && bpp != 24 && bpp != 32) {
    *why = "unsupported bits per pixel " + std::to_string(bpp);
    return false;
  }
  if (!FitsPixel(f.rmask, bpp) || !FitsPixel(f.gmask, bpp) || !FitsPixel(f.bmask, bpp) || !FitsPixel(f.amask, bpp)) {
    *why = "channel masks wider than the pixel";
    return false;
  }
  if (f.colorkey != -1 && !FitsPixel((Uint32)f.colorkey, bpp)) {
    *why = "colour key out of range";
    return false;
  }
  return true;
}

bool StoredPitch(int width, int height, int bitsPerPixel, Uint32* pitch, std::string* why) {
  if (width < 1 || height < 1 || width > kStoredImageMaxSide || height > kStoredImageMaxSide) {
    *why = "size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
    return false;
  }
  uint64_t rowBytes = ((uint64_t)width * (uint64_t)((bitsPerPixel + 7) / 8) + 3) & ~(uint64_t)3;
  if (rowBytes > 0xFFFF) {   // SDL 1.2 keeps the pitch in 16 bits
    *why = "rows too long for a surface";
    return false;
  }
  *pitch = (Uint32)rowBytes;
  return true;
}

bool StoredImageBytes(int width, int height, const sStoredPixelFormat& format, uint64_t* bytes, std::string* why) {
  Uint32 pitch = 0;
  if (!CheckFormat(format, why) || !StoredPitch(width, height, format.bitsPerPixel, &pitch, why)) return false;
  *bytes = (uint64_t)pitch * (uint64_t)height + (format.bitsPerPixel == 8 ? kStoredPaletteSize : 0);
  return true;
}

SDL_Surface* CreateSurface(int width, int height, const sStoredPixelFormat& f) {
  Uint32 pitch = 0;
  std::string why;
  if (!StoredPitch(width, height, f.bitsPerPixel, &pitch, &why)) {
    SDL_SetError("%s", why.c_str());
    return NULL;
  }
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, f.bitsPerPixel, f.rmask, f.gmask, f.bmask, f.amask);
  if (s && (s->pitch != pitch || !s->pixels)) {
    SDL_FreeSurface(s);
    SDL_SetError("surface layout differs from the stored rows");
    return NULL;
  }
  return s;
}

// ---------------------------------------------------------------------------------------------------
// Writing stored pixels

SDL_Surface* SoftwareCopy(SDL_Surface* surface) {
  if (!surface) return NULL;
  return SDL_ConvertSurface(surface, surface->format, surface->flags & ~SDL_HWSURFACE);
}

static void AppendPalette(const SDL_Palette* palette, std::vector<Uint8>* out) {
  size_t start = out->size();
  out->resize(start + kStoredPaletteSize, 0);
  int entries = palette ? std::min(palette->ncolors, 256) : 0;
  for (int i = 0; i < entries; ++i) {
    Uint8* at = &(*out)[start + 4 * (size_t)i];
    at[0] = palette->colors[i].r;
    at[1] = palette->colors[i].g;
    at[2] = palette->colors[i].b;
    at[3] = palette->colors[i].unused;
  }
}

bool AppendImageData(SDL_Surface* surface, Sint32 colorkey, Uint8 alpha, std::vector<Uint8>* out) {
  if (!surface) return false;
  sStoredPixelFormat record = FormatOf(surface->format);
  record.colorkey = colorkey;
  record.alpha = alpha;
  Uint32 pitch = 0;
  std::string why;
  // Nothing is stored that no reader would take back.
  if (!CheckFormat(record, &why) || !StoredPitch(surface->w, surface->h, record.bitsPerPixel, &pitch, &why)) return false;
  if (!ydxpix::LockForAccess(surface)) return false;   // also decodes an RLE surface
  Uint8 encoded[kStoredFormatSize];
  EncodeFormat(record, encoded);
  out->insert(out->end(), encoded, encoded + kStoredFormatSize);
  // Rows always go out at the software pitch readers expect, whatever this surface's pitch is.
  size_t rowBytes = std::min<size_t>(pitch, surface->pitch);
  for (int y = 0; y < surface->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(surface->pixels) + (size_t)y * surface->pitch;
    out->insert(out->end(), row, row + rowBytes);
    out->resize(out->size() + (pitch - rowBytes), 0);
  }
  ydxpix::UnlockAfterAccess(surface);
  if (surface->format->BitsPerPixel == 8) AppendPalette(surface->format->palette, out);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Rebuilding stored pixels

void CopyStoredPixels(SDL_Surface* s, const Uint8* pixels) {
  Yandorix_memcpy(s->pixels, pixels, (size_t)s->pitch * s->h);
  if (s->format->BitsPerPixel != 8 || !s->format->palette) return;
  const Uint8* palette = pixels + (size_t)s->pitch * s->h;
  SDL_Color colors[256];
  for (int i = 0; i < 256; ++i) {
    colors[i].r = palette[4 * i];
    colors[i].g = palette[4 * i + 1];
    colors[i].b = palette[4 * i + 2];
    colors[i].unused = palette[4 * i + 3];
  }
  SDL_SetColors(s, colors, 0, 256);
}

// A 24-bit copy of a 32-bit surface without alpha (the old one is freed); the old one when it fails.
static SDL_Surface* To24Bits(SDL_Surface* s) {
  SDL_Surface* narrow = SDL_CreateRGBSurface(0, s->w, s->h, 24, 0, 0, 0, 0);
  if (!narrow) return s;
  SDL_BlitSurface(s, NULL, narrow, NULL);
  SDL_FreeSurface(s);
  return narrow;
}

Uint32 TranslatePixel(const SDL_Surface* from, Uint32 value, SDL_PixelFormat* to) {
  const SDL_PixelFormat* f = from->format;
  SDL_Surface* one = SDL_CreateRGBSurface(0, 1, 1, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask);
  if (!one) return SDL_MapRGB(to, 0, 0, 0);
  if (f->palette && one->format->palette) SDL_SetColors(one, f->palette->colors, 0, f->palette->ncolors);
  ydxpix::WriteUnchecked(one, 0, 0, value);
  SDL_Surface* converted = SDL_ConvertSurface(one, to, 0);
  Uint32 result = 0;
  if (converted && ydxpix::LockForAccess(converted)) {
    result = ydxpix::ReadUnchecked(converted, 0, 0);
    ydxpix::UnlockAfterAccess(converted);
  } else {
    Uint8 r, g, b;
    SDL_GetRGB(value, one->format, &r, &g, &b);
    result = SDL_MapRGB(to, r, g, b);
  }
  if (converted) SDL_FreeSurface(converted);
  SDL_FreeSurface(one);
  return result;
}

SDL_Surface* DisplayCopy(SDL_Surface* s, bool perPixelAlpha) {
  SDL_Surface* converted = perPixelAlpha ? SDL_DisplayFormatAlpha(s) : SDL_DisplayFormat(s);
  if (!converted) return NULL;
  if (perPixelAlpha) {
    converted->format->alpha = 255;
  } else if (s->flags & SDL_SRCCOLORKEY) {
    // SDL carries the key over by its colour, which misses the converted pixels where the
    // conversion rounds differently (16 to 32 bits): take the key pixel through the same conversion.
    Uint32 key = TranslatePixel(s, s->format->colorkey, converted->format);
    SDL_SetColorKey(converted, SDL_SRCCOLORKEY | (converted->flags & SDL_RLEACCELOK), key);
  }
  return converted;
}

// Surface alpha and colour key of a rebuilt surface without per-pixel alpha; 32 bits become 24. The
// key is returned as a pixel value of the (possibly new) surface, -1 for none.
static SDL_Surface* ApplyStoredAlphaAndKey(SDL_Surface* s, const sStoredPixelFormat& format, bool isGL, Sint64* key) {
  Uint8 r = 0, g = 0, b = 0;
  if (format.colorkey != -1) SDL_GetRGB((Uint32)format.colorkey, s->format, &r, &g, &b);
  bool narrowed = s->format->BitsPerPixel == 32;
  if (narrowed) s = To24Bits(s);
  SDL_SetAlpha(s, format.alpha == 255 ? 0 : SDL_SRCALPHA, format.alpha);
  *key = -1;
  if (format.colorkey == -1) {
    SDL_SetColorKey(s, 0, 0);
    return s;
  }
  *key = narrowed ? SDL_MapRGB(s->format, r, g, b) : (Uint32)format.colorkey;
  if (isGL) SDL_SetColorKey(s, SDL_SRCCOLORKEY, SDL_MapRGB(s->format, r, g, b));
  return s;
}

bool RebuildSurface(int width, int height, const sStoredPixelFormat& format, const Uint8* pixels,
                    const char* alphaInfoLine, sRebuilt* out, Yandorix_PixelCopy* backup) {
  SDL_Surface* s = CreateSurface(width, height, format);
  if (!s) return false;
  CopyStoredPixels(s, pixels);
  bool perPixel = (s->flags & SDL_SRCALPHA) && s->format->Amask != 0;
  bool isGL = Yandorix.IsGL() != 0;
  Sint64 key = format.colorkey;
  if (!perPixel) s = ApplyStoredAlphaAndKey(s, format, isGL, &key);
  out->perPixelAlpha = perPixel;
  out->alpha = format.alpha;
  out->colorkey = format.colorkey;
  if (SurfaceDiffersFromScreen(s)) {
    if (perPixel && alphaInfoLine) ILogSystem.Msg(5, "%s", alphaInfoLine);
    if (SDL_Surface* converted = DisplayCopy(s, perPixel)) {
      if (!perPixel && key != -1) key = TranslatePixel(s, (Uint32)key, converted->format);
      SDL_FreeSurface(s);
      s = converted;
    }
  }
  if (isGL && glSDL_SurfaceToTexture(s)) ++Yandorix_TexturesAtLoad;
  if (format.colorkey == -1) {
    s->format->colorkey = (Uint32)-1;
  } else if (!perPixel && !isGL) {
    SDL_SetColorKey(s, SDL_SRCCOLORKEY, (Uint32)key);
    out->colorkey = (int)(Uint32)key;
  }
  if (Yandorix.backupsurfaces && backup) backup->Take(s);
  out->surface = s;
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Alpha and colour-key changes

// Replaces the surface by its display-format copy; the pixel copy follows it.
static bool ReplaceForScreen(SDL_Surface** surface, Yandorix_PixelCopy* backup) {
  SDL_Surface* converted = DisplayCopy(*surface, false);
  if (!converted) return false;
  SDL_FreeSurface(*surface);
  *surface = converted;
  if (backup && !backup->Empty()) backup->Take(converted);
  return true;
}

void ChangeAlpha(SDL_Surface** surface, int oldAlpha, int alpha, const char* className, Yandorix_PixelCopy* backup) {
  if (!surface || !*surface) return;
  SDL_SetAlpha(*surface, alpha == 255 ? 0 : SDL_SRCALPHA, (Uint8)(alpha == 255 ? 0 : alpha));
  bool crosses = (oldAlpha == 255) != (alpha == 255);
  SDL_Surface* screen = Yandorix.screen;
  if (!crosses || !screen || !(screen->flags & SDL_HWSURFACE) || Yandorix.IsGL()) return;
  if (ReplaceForScreen(surface, backup))
    ILogSystem.Msg(2, " . [%s::SetAlpha(%d)] Warning: on-the-fly surface conversion. It may affect to the performance.\n",
                   className, alpha);
}

void ChangeColorKey(SDL_Surface** surface, int key, bool perPixelAlpha, const char* className,
                    Yandorix_PixelCopy* backup) {
  if (!surface || !*surface) return;
  if (!perPixelAlpha) {
    if (key == -1) SDL_SetColorKey(*surface, 0, 0);
    else SDL_SetColorKey(*surface, SDL_SRCCOLORKEY, (Uint32)key);
  }
  if (!Yandorix.screen || !Yandorix.IsGL()) return;
  if (!ReplaceForScreen(surface, backup)) return;
  glSDL_SurfaceToTexture(*surface);
  ILogSystem.Msg(2, " . [%s::SetColorKey(%d)] Warning: on-the-fly surface conversion. It may affect to the performance.\n",
                 className, key);
}

}  // namespace ydxfmt
