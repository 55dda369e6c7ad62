// Fuzzes PNG loading from memory and writing back what was loaded: NULL or a complete surface,
// no allocation a small input cannot justify, and every loaded surface encodes again.
#include <Yandorix.h>
#include "14_Image.h"
#include <climits>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Yandorix_IImage* image = new Yandorix_IImage();
  if (size > INT_MAX) return 0;
  SDL_Surface* s = image->LoadPNG(data, (int)size);
  if (!s) return 0;
  std::vector<Uint8> png;
  if (!ydximg::EncodePNG(s, 1, &png)) abort();
  SDL_FreeSurface(s);
  return 0;
}
