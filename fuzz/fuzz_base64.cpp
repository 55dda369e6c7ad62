// Fuzzes base64 decoding: the output length follows from the valid prefix alone, and every whole
// group of four characters of that prefix encodes back to itself.
#include "QBTE_MapDecode.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::string decoded = Base64Decode(text, size);
  size_t valid = 0;
  while (valid < size && data[valid] && strchr(QBTE_Base64Alphabet, data[valid])) ++valid;
  size_t tail = valid % 4;
  if (decoded.size() != valid / 4 * 3 + (tail >= 2 ? tail - 1 : 0)) {
    fprintf(stderr, "fuzz_base64: %zu bytes from %zu valid characters\n", decoded.size(), valid);
    abort();
  }
  for (size_t group = 0; group + 4 <= valid; group += 4) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(decoded.data()) + group / 4 * 3;
    unsigned bits = (unsigned)bytes[0] << 16 | (unsigned)bytes[1] << 8 | bytes[2];
    for (int i = 0; i < 4; ++i)
      if (QBTE_Base64Alphabet[(bits >> (18 - 6 * i)) & 63] != text[group + (size_t)i]) {
        fprintf(stderr, "fuzz_base64: group at %zu does not encode back\n", group);
        abort();
      }
  }
  return 0;
}
