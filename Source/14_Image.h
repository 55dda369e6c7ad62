// The image service's codecs, apart from files and archives so tests and fuzz targets reach them
// directly: the "IMG" block layout, the PNG coder over libpng and the checked BMP reader.
#pragma once
#include <SDL.h>
#include <string>
#include <vector>
#include "25_BlitRule.h"

struct sHeaderIPF;

namespace ydximg {

enum { kImageBlockHeader = 8 + kStoredFormatSize };   // width, height, the pixel-format record

// A checked "IMG" block; `pixels` points into the block (pitch x height bytes, then the palette).
struct sImageBlock {
  int width;
  int height;
  sStoredPixelFormat format;
  const Uint8* pixels;
};

// Accepts only blocks a surface can be rebuilt from, of exactly the size their header asks for.
bool DecodeImageBlock(const Uint8* data, size_t size, sImageBlock* out, std::string* why);
// Width, height, the record (with the given key and alpha), the rows and at 8 bits the palette of
// a software surface. False when its pixels cannot be read or its size cannot be stored.
bool EncodeImageBlock(SDL_Surface* surface, Sint32 colorkey, Uint8 alpha, std::vector<Uint8>* out);

// The whole block Save stores for a surface: a software copy in its own format with its colour key
// (-1 unless keying is on) and surface alpha (255 unless surface alpha is on).
bool ImageBlockOf(SDL_Surface* surface, std::vector<Uint8>* out);

// The surface of an "IMG" block's data, ready for the screen; `archive`, `name` and `header` name
// the request in log lines and `header` is filled when given. NULL (logged) when refused.
SDL_Surface* ImageFromBlock(const Uint8* data, size_t size, const char* archive, const char* name,
                            sHeaderIPF* header);

// PNG from an SDL stream: the decoded software surface, or NULL with SDL's error text set and the
// stream back where it was.
SDL_Surface* DecodePNG(SDL_RWops* src);
// PNG of a surface into `out`; false with SDL's error text set.
bool EncodePNG(SDL_Surface* surface, int level, std::vector<Uint8>* out);

// BMP from an SDL stream, its header checked before SDL's reader sees it; NULL with SDL's error set.
SDL_Surface* DecodeBMP(SDL_RWops* src);

// A BMP (or, unless bmpOnly, a PNG) file as it is stored: the automatic-conversion switch is off for
// the load and given back after it. Resource classes convert what they make themselves.
SDL_Surface* LoadUnconverted(const char* file, bool bmpOnly = false);

}  // namespace ydximg
