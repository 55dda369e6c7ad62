// What images, tiles, fonts, sprites and the cursor share about stored pixels and drawing: the
// 40-byte stored pixel-format record (a codec of its own), the checks a stored image must pass,
// the rebuild of a surface from stored pixels, the pixel copy and the blit rule that repairs lost
// surfaces from it while keeping the software cursor intact.
#pragma once
#include <SDL.h>
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

enum {
  kStoredFormatSize = 40,      // the record as files carry it
  kStoredPaletteSize = 1024,   // 256 entries of red, green, blue, unused after 8-bit pixels
  kStoredImageMaxSide = 16384, // largest width or height any stored or decoded image may claim
};

// The stored pixel-format record: the fields of SDL's pixel format that a file keeps.
struct sStoredPixelFormat {
  Uint8 bitsPerPixel;
  Uint8 bytesPerPixel;
  Uint8 rloss, gloss, bloss, aloss;
  Uint8 rshift, gshift, bshift, ashift;
  Uint32 rmask, gmask, bmask, amask;
  Sint32 colorkey;   // a pixel value of this format; -1: none
  Uint8 alpha;       // per-surface alpha; 255: opaque
};

// A heap copy of an object's final surface pixels, kept to refill a surface whose video memory was
// lost. It remembers its own row length and row count, so a refill never reads past it.
class Yandorix_PixelCopy {
 public:
  // (Re)takes the surface's pixels; false when the surface cannot be read (the copy is then empty).
  bool Take(SDL_Surface* surface);
  void Clear();
  bool Empty() const { return bytes.empty(); }
  int Pitch() const { return pitch; }
  int Height() const { return height; }
  // Writes the copy back into the locked surface, row by row within both sizes.
  void WriteInto(SDL_Surface* surface) const;

 private:
  std::vector<Uint8> bytes;
  int pitch = 0;
  int height = 0;
};

// The blit rule of every drawing class: the cursor's background is given back over `dstrect`
// before and saved again after, and a lost source surface is refilled from `copy` and blitted once
// more. With `wholeCursor` the cursor is restored whatever the area (RestoreBG(NULL)) and saved
// always. Returns the result of the last blit made.
int Yandorix_Blit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect,
                  const Yandorix_PixelCopy* copy, bool wholeCursor = false);

// One blit through the same seam without the cursor guard: the cursor's own drawing and copies.
int Yandorix_RawBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect);

// The blit the rule calls (SDL_UpperBlit unless a test injects another; NULL restores it).
typedef int (*Yandorix_BlitFunction)(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect);
void Yandorix_SetBlitSeam(Yandorix_BlitFunction blit);

namespace ydxfmt {

// The record of an SDL pixel format (colour key and alpha as the format holds them).
sStoredPixelFormat FormatOf(const SDL_PixelFormat* format);

// Field by field, little-endian; the palette word and the padding are written as 0.
void EncodeFormat(const sStoredPixelFormat& format, Uint8 out[kStoredFormatSize]);
// Reads every field; readers then rely on bits per pixel, masks, colour key and alpha only.
sStoredPixelFormat DecodeFormat(const Uint8 in[kStoredFormatSize]);

// A record a surface can be rebuilt from: 8, 15, 16, 24 or 32 bits, masks within the pixel, a key
// of -1 or within the pixel. False with the reason otherwise.
bool CheckFormat(const sStoredPixelFormat& format, std::string* why);
// The row length of a software surface of that width and depth (width x bytes, rounded up to 4),
// checked: sides 1..kStoredImageMaxSide and a row SDL can describe.
bool StoredPitch(int width, int height, int bitsPerPixel, Uint32* pitch, std::string* why);
// Pixel bytes (+ palette at 8 bits) an image of that size and record carries: CheckFormat and
// StoredPitch together, as a 64-bit count.
bool StoredImageBytes(int width, int height, const sStoredPixelFormat& format, uint64_t* bytes,
                      std::string* why);

// A new software surface of that size and record (its pitch checked against StoredPitch).
SDL_Surface* CreateSurface(int width, int height, const sStoredPixelFormat& format);

// A software copy of the surface in its own format, for saving (the caller frees it).
SDL_Surface* SoftwareCopy(SDL_Surface* surface);
// Appends the record (with the given key and alpha), the pitch x height pixel bytes and, at 8 bits,
// the 1024 palette bytes of a software surface. False when its pixels cannot be read.
bool AppendImageData(SDL_Surface* surface, Sint32 colorkey, Uint8 alpha, std::vector<Uint8>* out);

// Copies checked stored pixels into a surface made by CreateSurface: pitch x height bytes, followed
// at 8 bits by the 1024 palette bytes that become its colours.
void CopyStoredPixels(SDL_Surface* surface, const Uint8* pixels);

// The rebuilt surface and what its owner takes over.
struct sRebuilt {
  SDL_Surface* surface;
  bool perPixelAlpha;
  int alpha;
  int colorkey;   // as a pixel value of the final surface, -1: none
};

// Rebuilds an object's surface from checked stored pixels (StoredImageBytes of `pixels`): software
// surface, per-pixel alpha or surface alpha and key, a 24-bit surface for 32 bits without alpha,
// display conversion (logging `alphaInfoLine` for per-pixel alpha), texture upload and the pixel
// copy when surfaces can be lost. False (nothing allocated) when the surface cannot be created.
bool RebuildSurface(int width, int height, const sStoredPixelFormat& format, const Uint8* pixels,
                    const char* alphaInfoLine, sRebuilt* out, Yandorix_PixelCopy* backup);

// The screen-format copy of a surface (SDL_DisplayFormatAlpha with format alpha 255 for per-pixel
// alpha, else SDL_DisplayFormat) whose colour key matches its converted key pixels. NULL when SDL
// cannot convert it; the source is left to the caller.
SDL_Surface* DisplayCopy(SDL_Surface* surface, bool perPixelAlpha);
// The value a pixel of `from` takes when SDL converts it into `to`.
Uint32 TranslatePixel(const SDL_Surface* from, Uint32 value, SDL_PixelFormat* to);

// The alpha change of an object without per-pixel alpha, `alpha` already checked to be 0..255.
// Crossing 255 on a video-memory screen (not OpenGL) converts the surface for the screen and logs
// the warning of `className` ("CTile", "CFont", "CSprite"); the pixel copy follows a replaced surface.
void ChangeAlpha(SDL_Surface** surface, int oldAlpha, int alpha, const char* className,
                 Yandorix_PixelCopy* backup);
// The colour-key change (-1 removes the key); under OpenGL the surface is converted and uploaded
// again. A per-pixel-alpha surface gets no key.
void ChangeColorKey(SDL_Surface** surface, int key, bool perPixelAlpha, const char* className,
                    Yandorix_PixelCopy* backup);

}  // namespace ydxfmt
