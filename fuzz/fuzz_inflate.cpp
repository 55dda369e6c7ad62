// Fuzzes inflating: two little-endian bytes give the expected size (1..65536), the rest is zlib or
// gzip data. A result is NULL (with a log line) or a buffer of at most 64 times the expected size
// whose reported bytes are all readable.
#include "QBTE_MapDecode.h"
#include <Yandorix.h>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  int expected = (data[0] | data[1] << 8) + 1;
  std::string in(reinterpret_cast<const char*>(data + 2), size - 2);
  size_t length = 12345;
  unsigned char* buffer = InflateBuffer(in, expected, &length);
  if (!buffer) {
    if (length != 0) abort();
    return 0;
  }
  if (length > (size_t)expected * 64) {
    fprintf(stderr, "fuzz_inflate: %zu bytes from an expected %d\n", length, expected);
    abort();
  }
  unsigned sum = 0;
  for (size_t i = 0; i < length; ++i) sum += buffer[i];
  free(buffer);
  return (int)(sum & 0);
}
