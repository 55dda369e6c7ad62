// Fuzzes the "IMG" block reader: any bytes give a complete surface or NULL, never a read past the
// block; an accepted block written again has the same size.
#include <Yandorix.h>
#include "14_Image.h"
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SDL_Surface* s = ydximg::ImageFromBlock(data, size, "fuzz.dpf", "fuzz", NULL);
  if (!s) return 0;
  std::vector<Uint8> again;
  if (!ydximg::ImageBlockOf(s, &again) || again.size() != size) abort();
  SDL_FreeSurface(s);
  return 0;
}
