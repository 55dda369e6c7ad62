// Decoding of map cells stored as text: base64 and zlib or gzip compressed bytes, as TMX maps keep
// their layers. The map classes read the result as little-endian 32-bit cell values.
#ifndef QBTE_MAPDECODE_H
#define QBTE_MAPDECODE_H

#include <stddef.h>
#include <string>

// The base64 alphabet (A-Z, a-z, 0-9, '+', '/').
extern const char QBTE_Base64Alphabet[65];

// Decodes from the start up to the first '=', the first character outside the alphabet or the end:
// every run of 4 characters gives 3 bytes, a final run of 2 or 3 characters 1 or 2 bytes. Leading
// blanks therefore decode to nothing.
std::string Base64Decode(const char* text);
std::string Base64Decode(const char* text, size_t length);

// Inflates zlib or gzip data (the header tells which) into a new buffer of at least `outSize` bytes,
// released by the caller with free(). Larger output grows the buffer up to 64 times `outSize`; more
// is refused as a compressed bomb. `inflatedSize` (when given) receives the real decompressed length,
// which may be shorter than `outSize`. NULL with a log line on failure, on trailing bytes after the
// stream and on truncated input.
unsigned char* InflateBuffer(const std::string& in, int outSize, size_t* inflatedSize = NULL);

#endif
