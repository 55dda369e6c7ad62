// Fuzzes the stored pixel-format record: 8 bytes of width and height, the 40-byte record, then the
// pixels. An accepted record rebuilds a surface from exactly the bytes it asks for and encodes back
// to the same fields.
#include <Yandorix.h>
#include "25_BlitRule.h"
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8 + kStoredFormatSize) return 0;
  Sint32 width, height;
  std::memcpy(&width, data, 4);
  std::memcpy(&height, data + 4, 4);
  sStoredPixelFormat format = ydxfmt::DecodeFormat(data + 8);
  Uint8 encoded[kStoredFormatSize];
  ydxfmt::EncodeFormat(format, encoded);
  if (std::memcmp(encoded + 4, data + 8 + 4, 10) != 0 || std::memcmp(encoded + 16, data + 8 + 16, 21) != 0) abort();
  uint64_t bytes = 0;
  std::string why;
  if (!ydxfmt::StoredImageBytes(width, height, format, &bytes, &why) || bytes > (4u << 20)) return 0;
  std::vector<Uint8> pixels(bytes, 0);
  std::memcpy(pixels.data(), data + 48, std::min<size_t>(size - 48, pixels.size()));
  ydxfmt::sRebuilt rebuilt;
  if (!ydxfmt::RebuildSurface(width, height, format, pixels.data(), NULL, &rebuilt, NULL)) return 0;
  SDL_FreeSurface(rebuilt.surface);
  return 0;
}
