// DPF archive bytes: the layouts of the signature, archive header, block marker and block header,
// their little-endian codecs, the archive cipher with its key schedule, and the private generator.
// Everything here is pure (no file access), so the tests exercise it directly.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

namespace ydxdpf {

// File layout of version 4.0.
constexpr int kSignatureSize = 8;
constexpr int kHeaderOffset = 8;
constexpr int kHeaderSize = 512;
constexpr int kBlocksOffset = kHeaderOffset + kHeaderSize;   // 520: a new, empty archive
constexpr int kMarkerSize = 16;
constexpr int kBlockHeaderSize = 64;
constexpr int kBlockLead = kMarkerSize + kBlockHeaderSize;   // marker and header before the data
constexpr int kNameField = 32;
constexpr int kTypeField = 8;
constexpr int kPasswordMin = 8;
constexpr int kPasswordMax = 56;
constexpr uint8_t kMaskByte = 0x9E;                           // mode 2 stores data XORed with this
// A compressed block never expands further than this when decoded: UCL's NRV2B at its longest match
// reaches about 656:1, so a larger claimed size is damage and is refused before allocating.
constexpr int64_t kMaxExpansion = 1024;

extern const uint8_t kBlockMarker[kMarkerSize];
extern const char kSignatureV4[kSignatureSize];
extern const char kDeletedType[kTypeField];                  // "DELETED" and a zero byte

// Version 3.0 layout (read by the migration only).
constexpr int kV3HeaderSize = 256;
constexpr int kV3MarkerSize = 11;
constexpr int kV3TypeField = 5;
constexpr int kV3BlockFields = 32 + kV3TypeField + 1 + 4 + 4;  // name, type, mode, size, stored size

inline uint32_t GetU32(const uint8_t* in) {
  return (uint32_t)in[0] | ((uint32_t)in[1] << 8) | ((uint32_t)in[2] << 16) | ((uint32_t)in[3] << 24);
}
inline void PutU32(uint8_t* out, uint32_t value) {
  out[0] = (uint8_t)value;
  out[1] = (uint8_t)(value >> 8);
  out[2] = (uint8_t)(value >> 16);
  out[3] = (uint8_t)(value >> 24);
}
// Data of `storedSize` bytes occupies this many bytes in the file (whole 8-byte cipher units).
inline int64_t PaddedSize(int64_t storedSize) { return (storedSize + 7) & ~(int64_t)7; }

// The 512-byte archive header, as deciphered. Texts are always terminated in their fields.
struct ArchiveHeader {
  char copyright[29];
  char created[32];
  char modified[32];
  uint8_t protectedFlag;
  uint8_t reserved94[2];
  uint32_t crc;               // CRC-32 of the file from offset 520 to its end
  uint8_t filler[410];
  uint8_t reserved510[2];
};
void EncodeArchiveHeader(const ArchiveHeader& header, uint8_t out[kHeaderSize]);
void DecodeArchiveHeader(const uint8_t in[kHeaderSize], ArchiveHeader* header);

// The 64-byte block header, as deciphered.
struct BlockHeader {
  char name[kNameField];
  char type[kTypeField];
  uint8_t mode;
  int32_t size;               // original size
  int32_t storedSize;         // meaningful data bytes before the padding
};
void EncodeBlockHeader(const BlockHeader& header, uint8_t out[kBlockHeaderSize]);
// Decodes and validates a header read from a file: reserved bytes zero, texts terminated in their
// fields, sizes not negative, the stored data within `bytesAfter` (the file bytes behind the header),
// equal sizes for the uncompressed modes, and a decodable size for compressed data. False: damaged,
// or deciphered with the wrong key.
bool DecodeBlockHeader(const uint8_t in[kBlockHeaderSize], int64_t bytesAfter, BlockHeader* header);
// The size rules alone, shared with the version-3 reader.
bool BlockSizesValid(uint8_t mode, int64_t size, int64_t storedSize, int64_t bytesAfter);

// Copies a caller's text into a fixed field; false (field untouched) when it does not fit with its
// terminator.
bool CopyField(char* field, size_t fieldSize, const char* text);
// True when the text is terminated within `fieldSize` bytes.
bool FitsField(const char* text, size_t fieldSize);

// The archive's block cipher: 16-round Blowfish in electronic-codebook mode over 8-byte units, each
// unit read as two little-endian words (left = bytes 0..3). The key schedule widens each key byte as
// a signed value, which is what the archives on disk were written with.
class Cipher {
 public:
  void SetKey(const uint8_t* key, size_t length, bool signExtend = true);
  void Encipher(uint32_t* left, uint32_t* right) const;
  void Decipher(uint32_t* left, uint32_t* right) const;
  void EncipherUnits(uint8_t* bytes, size_t units) const;
  void DecipherUnits(uint8_t* bytes, size_t units) const;
 private:
  uint32_t Round(uint32_t x) const;
  uint32_t p[18];
  uint32_t s[4][256];
};
extern const uint32_t kInitialP[18];
extern const uint32_t kInitialS[4][256];

// Keys a cipher with the library's built-in header key (kept masked; unmasked only while keying).
void KeyWithHeaderKey(Cipher* cipher);

// The library's own generator for handles and header filler (the application's rand() is its own).
class Random {
 public:
  void Seed(uint64_t seed) { state = seed; }
  uint32_t Next();
 private:
  uint64_t state = 0;
};

// CRC-32 (zlib's values) of bytes appended to a region whose CRC is `crc`.
uint32_t ExtendCRC(uint32_t crc, const uint8_t* data, size_t length);
// CRC-32 of a region after `length` bytes, followed by `bytesAfter` more, changed from `before` to
// `after`; computed from the old CRC without reading the rest of the region.
uint32_t PatchCRC(uint32_t crc, const uint8_t* before, const uint8_t* after, size_t length,
                  int64_t bytesAfter);

// The local time as the C library's asctime writes it, without its newline.
void DateText(char out[32]);

// The name a rewrite derives from an archive path: everything before the extension of the last path
// component (the whole path when that component has none), followed by `suffix`.
std::string DerivedPath(const char* path, const char* suffix);

}  // namespace ydxdpf
