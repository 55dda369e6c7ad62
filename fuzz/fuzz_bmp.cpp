// Fuzzes BMP reading: headers are checked before SDL's reader sees them, so any bytes give NULL or
// a surface whose palette covers every index.
#include <Yandorix.h>
#include "14_Image.h"
#include <climits>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  SDL_RWops* src = SDL_RWFromConstMem(data, (int)size);
  SDL_Surface* s = ydximg::DecodeBMP(src);
  SDL_RWclose(src);
  if (!s) return 0;
  if (s->format->BitsPerPixel == 8 && s->format->palette->ncolors != 256) abort();
  SDL_FreeSurface(s);
  return 0;
}
