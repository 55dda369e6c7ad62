// Decoding of map cells stored as text: base64 and zlib or gzip compressed bytes, as TMX maps keep
// their layers. Failures log zlib's outcome as one of four texts and hand back nothing.
#include "QBTE_MapDecode.h"
#include <Yandorix.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>
#include <algorithm>

const char QBTE_Base64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

// Six-bit value of each byte, -1 outside the alphabet ('=' and NUL included).
struct Base64Values {
  signed char of[256];
  constexpr Base64Values() : of() {
    for (int i = 0; i < 256; ++i) of[i] = -1;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) of[(unsigned char)alphabet[i]] = (signed char)i;
  }
};
constexpr Base64Values kBase64;

inline unsigned SixBits(const char* at) { return (unsigned)kBase64.of[(unsigned char)*at]; }

// A compressed bomb is refused well before it exhausts memory; legitimate data never comes close.
const size_t kGrowthFactor = 64;
const size_t kAbsoluteLimit = (size_t)256 << 20;

const char kIncorrect[] = "Incorrect zlib compressed data!";
const char kVersion[] = "Incompatible zlib version!";
const char kMemory[] = "Out of memory while decompressing data!";
const char kUnknown[] = "Unknown error while decompressing data!";

const char* FailureText(int zlibResult) {
  switch (zlibResult) {
    case Z_NEED_DICT:
    case Z_STREAM_ERROR:
    case Z_DATA_ERROR: return kIncorrect;
    case Z_VERSION_ERROR: return kVersion;
    case Z_MEM_ERROR: return kMemory;
    default: return kUnknown;
  }
}

}  // namespace

std::string Base64Decode(const char* text) { return text ? Base64Decode(text, strlen(text)) : std::string(); }

std::string Base64Decode(const char* text, size_t length) {
  std::string out;
  if (!text) return out;
  size_t valid = 0;
  while (valid < length && kBase64.of[(unsigned char)text[valid]] >= 0) ++valid;
  size_t tail = valid % 4;
  out.resize(valid / 4 * 3 + (tail >= 2 ? tail - 1 : 0));
  char* to = &out[0];
  const char* from = text;
  for (const char* end = text + valid - tail; from < end; from += 4, to += 3) {
    unsigned group = SixBits(from) << 18 | SixBits(from + 1) << 12 | SixBits(from + 2) << 6 | SixBits(from + 3);
    to[0] = (char)(group >> 16);
    to[1] = (char)(group >> 8);
    to[2] = (char)group;
  }
  if (tail >= 2) {
    unsigned group = SixBits(from) << 18 | SixBits(from + 1) << 12 | (tail == 3 ? SixBits(from + 2) << 6 : 0);
    to[0] = (char)(group >> 16);
    if (tail == 3) to[1] = (char)(group >> 8);
  }
  return out;
}

namespace {

// Doubles the buffer within the limit; false when the limit is reached or memory runs out.
bool Grow(unsigned char** buffer, size_t* capacity, size_t limit, z_stream* stream) {
  if (*capacity >= limit) return false;
  size_t filled = *capacity - stream->avail_out;
  size_t larger = std::min(*capacity * 2, limit);
  unsigned char* grown = static_cast<unsigned char*>(realloc(*buffer, larger));
  if (!grown) return false;
  *buffer = grown;
  *capacity = larger;
  stream->next_out = grown + filled;
  stream->avail_out = (uInt)(larger - filled);
  return true;
}

unsigned char* Fail(const char* text, unsigned char* buffer, z_stream* stream) {
  ILogSystem.Msg(2, " [QBTE] Warning: %s\n", text);   // a line of its own, as the engine writes them
  if (stream) inflateEnd(stream);
  free(buffer);
  return NULL;
}

}  // namespace

unsigned char* InflateBuffer(const std::string& in, int outSize, size_t* inflatedSize) {
  if (inflatedSize) *inflatedSize = 0;
  if (outSize <= 0 || in.size() > (size_t)UINT32_MAX) return Fail(kUnknown, NULL, NULL);
  size_t capacity = (size_t)outSize;
  size_t limit = std::max(capacity, std::min(capacity * kGrowthFactor, kAbsoluteLimit));
  unsigned char* buffer = static_cast<unsigned char*>(malloc(capacity));
  if (!buffer) return Fail(kMemory, NULL, NULL);
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  stream.avail_in = (uInt)in.size();
  int result = inflateInit2(&stream, 15 + 32);
  if (result != Z_OK) return Fail(FailureText(result), buffer, NULL);
  stream.next_out = buffer;
  stream.avail_out = (uInt)capacity;
  for (;;) {
    result = inflate(&stream, Z_SYNC_FLUSH);
    if (result == Z_STREAM_END) break;
    // Without progress zlib answers Z_BUF_ERROR, so truncated input ends here instead of looping.
    if (result != Z_OK) return Fail(FailureText(result), buffer, &stream);
    if (stream.avail_out == 0 && !Grow(&buffer, &capacity, limit, &stream)) return Fail(kMemory, buffer, &stream);
  }
  if (stream.avail_in != 0) return Fail(kIncorrect, buffer, &stream);
  if (inflatedSize) *inflatedSize = capacity - stream.avail_out;
  inflateEnd(&stream);
  return buffer;
}
