// DPF archive bytes: header and block-header codecs, the archive cipher and its key schedule, the
// built-in header key, CRC helpers and the small text helpers the archive operations share.
#include "10_DPFFormat.h"
#include "01_Main.h"
#include <cstring>
#include <ctime>
#include <zlib.h>

namespace ydxdpf {

const uint8_t kBlockMarker[kMarkerSize] = {0xB7, 0xAE, 0xCE, 'B', 'l', 'o', 'c', 'k',
                                           '-',  'D',  'a',  't', 'a', 0xCE, 0xAF, 0xB7};
const char kSignatureV4[kSignatureSize] = {'D', 'P', 'F', 'v', '4', '.', '0', '\0'};
const char kDeletedType[kTypeField] = {'D', 'E', 'L', 'E', 'T', 'E', 'D', '\0'};

// The header key every archive shares. Changing it makes every existing archive unreadable: the
// golden-archive test pins it.
static const uint8_t kHeaderKeyMask = 0xA7;
static const uint8_t kMaskedHeaderKey[16] = {0xFC, 0x63, 0xBE, 0xD9, 0x05, 0x94, 0x57, 0xCA,
                                             0x2C, 0x86, 0x79, 0xE0, 0x35, 0xAB, 0x12, 0xCF};

// Copies a field of a decoded header, forcing its terminator.
static void TerminatedCopy(char* out, const uint8_t* in, size_t fieldSize) {
  memcpy(out, in, fieldSize);
  out[fieldSize - 1] = '\0';
}

// Copies at most fieldSize - 1 characters of a text into a field that is already zero.
static void BoundedCopy(void* field, const char* text, size_t fieldSize) {
  memcpy(field, text, strnlen(text, fieldSize - 1));
}

void EncodeArchiveHeader(const ArchiveHeader& header, uint8_t out[kHeaderSize]) {
  memset(out, 0, kHeaderSize);
  memcpy(out + 0, header.copyright, sizeof header.copyright);
  memcpy(out + 29, header.created, sizeof header.created);
  memcpy(out + 61, header.modified, sizeof header.modified);
  out[93] = header.protectedFlag;
  memcpy(out + 94, header.reserved94, 2);
  PutU32(out + 96, header.crc);
  memcpy(out + 100, header.filler, sizeof header.filler);
  memcpy(out + 510, header.reserved510, 2);
}

void DecodeArchiveHeader(const uint8_t in[kHeaderSize], ArchiveHeader* header) {
  TerminatedCopy(header->copyright, in + 0, sizeof header->copyright);
  TerminatedCopy(header->created, in + 29, sizeof header->created);
  TerminatedCopy(header->modified, in + 61, sizeof header->modified);
  header->protectedFlag = in[93];
  memcpy(header->reserved94, in + 94, 2);
  header->crc = GetU32(in + 96);
  memcpy(header->filler, in + 100, sizeof header->filler);
  memcpy(header->reserved510, in + 510, 2);
}

void EncodeBlockHeader(const BlockHeader& header, uint8_t out[kBlockHeaderSize]) {
  memset(out, 0, kBlockHeaderSize);
  BoundedCopy(out, header.name, kNameField);
  BoundedCopy(out + 32, header.type, kTypeField);
  out[40] = header.mode;
  PutU32(out + 44, (uint32_t)header.size);
  PutU32(out + 48, (uint32_t)header.storedSize);
}

static bool AllZero(const uint8_t* bytes, size_t length) {
  for (size_t i = 0; i < length; i++)
    if (bytes[i]) return false;
  return true;
}

bool BlockSizesValid(uint8_t mode, int64_t size, int64_t storedSize, int64_t bytesAfter) {
  if (size < 0 || storedSize < 0 || storedSize > bytesAfter) return false;
  if (mode != 0) return size == storedSize;   // stored as they are, or masked byte by byte
  return size <= storedSize * kMaxExpansion;
}

bool DecodeBlockHeader(const uint8_t in[kBlockHeaderSize], int64_t bytesAfter, BlockHeader* header) {
  if (!AllZero(in + 41, 3) || !AllZero(in + 52, 12)) return false;
  if (!memchr(in, 0, kNameField) || !memchr(in + 32, 0, kTypeField)) return false;
  uint8_t mode = in[40];
  int32_t size = (int32_t)GetU32(in + 44);
  int32_t storedSize = (int32_t)GetU32(in + 48);
  if (!BlockSizesValid(mode, size, storedSize, bytesAfter)) return false;
  memcpy(header->name, in, kNameField);
  memcpy(header->type, in + 32, kTypeField);
  header->mode = mode;
  header->size = size;
  header->storedSize = storedSize;
  return true;
}

bool FitsField(const char* text, size_t fieldSize) { return text && memchr(text, 0, fieldSize) != NULL; }

bool CopyField(char* field, size_t fieldSize, const char* text) {
  if (!FitsField(text, fieldSize)) return false;
  memset(field, 0, fieldSize);
  strcpy(field, text);
  return true;
}

// ---- cipher ----

uint32_t Cipher::Round(uint32_t x) const {
  return ((s[0][x >> 24] + s[1][(x >> 16) & 255]) ^ s[2][(x >> 8) & 255]) + s[3][x & 255];
}

void Cipher::Encipher(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left, r = *right;
  for (int i = 0; i < 16; i++) {
    l ^= p[i];
    r ^= Round(l);
    uint32_t swap = l;
    l = r;
    r = swap;
  }
  *right = l ^ p[16];
  *left = r ^ p[17];
}

void Cipher::Decipher(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left, r = *right;
  for (int i = 17; i > 1; i--) {
    l ^= p[i];
    r ^= Round(l);
    uint32_t swap = l;
    l = r;
    r = swap;
  }
  *right = l ^ p[1];
  *left = r ^ p[0];
}

void Cipher::SetKey(const uint8_t* key, size_t length, bool signExtend) {
  memcpy(p, kInitialP, sizeof p);
  memcpy(s, kInitialS, sizeof s);
  size_t next = 0;
  for (int i = 0; i < 18; i++) {
    uint32_t word = 0;
    for (int k = 0; k < 4; k++) {
      uint32_t byte = signExtend ? (uint32_t)(int32_t)(int8_t)key[next] : (uint32_t)key[next];
      word = (word << 8) | byte;
      next = (next + 1) % length;
    }
    p[i] ^= word;
  }
  uint32_t left = 0, right = 0;
  for (int i = 0; i < 18; i += 2) {
    Encipher(&left, &right);
    p[i] = left;
    p[i + 1] = right;
  }
  for (int box = 0; box < 4; box++)
    for (int i = 0; i < 256; i += 2) {
      Encipher(&left, &right);
      s[box][i] = left;
      s[box][i + 1] = right;
    }
}

void Cipher::EncipherUnits(uint8_t* bytes, size_t units) const {
  for (size_t u = 0; u < units; u++, bytes += 8) {
    uint32_t left = GetU32(bytes), right = GetU32(bytes + 4);
    Encipher(&left, &right);
    PutU32(bytes, left);
    PutU32(bytes + 4, right);
  }
}

void Cipher::DecipherUnits(uint8_t* bytes, size_t units) const {
  for (size_t u = 0; u < units; u++, bytes += 8) {
    uint32_t left = GetU32(bytes), right = GetU32(bytes + 4);
    Decipher(&left, &right);
    PutU32(bytes, left);
    PutU32(bytes + 4, right);
  }
}

void KeyWithHeaderKey(Cipher* cipher) {
  uint8_t key[sizeof kMaskedHeaderKey];
  for (size_t i = 0; i < sizeof key; i++) key[i] = kMaskedHeaderKey[i] ^ kHeaderKeyMask;
  cipher->SetKey(key, sizeof key);
  volatile uint8_t* wipe = key;
  for (size_t i = 0; i < sizeof key; i++) wipe[i] = 0;
}

// splitmix64: small, fast and good enough for handles and filler bytes.
uint32_t Random::Next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return (uint32_t)((z ^ (z >> 31)) >> 32);
}

// ---- CRC ----

uint32_t ExtendCRC(uint32_t crc, const uint8_t* data, size_t length) {
  // The main object's CRC-32 takes an int length: feed it in pieces and join them.
  static const size_t kPiece = 1 << 20;
  while (length > 0) {
    size_t piece = length < kPiece ? length : kPiece;
    uint32_t pieceCRC = Yandorix.CRC32(reinterpret_cast<const char*>(data), (int)piece);
    crc = (uint32_t)crc32_combine64(crc, pieceCRC, (z_off64_t)piece);
    data += piece;
    length -= piece;
  }
  return crc;
}

uint32_t PatchCRC(uint32_t crc, const uint8_t* before, const uint8_t* after, size_t length,
                  int64_t bytesAfter) {
  // CRC-32 is affine: for equal lengths crc(A) ^ crc(B) ^ crc(zeros) = crc(A ^ B). The change therefore
  // shifts through the bytes behind it like a message of its own, which crc32_combine computes.
  static const uint8_t kZeros[256] = {0};
  uint8_t difference[256];
  while (length > 0) {
    size_t piece = length < sizeof difference ? length : sizeof difference;
    for (size_t i = 0; i < piece; i++) difference[i] = before[i] ^ after[i];
    uint32_t raw = ExtendCRC(0, difference, piece) ^ ExtendCRC(0, kZeros, piece);
    int64_t behind = bytesAfter + (int64_t)(length - piece);
    crc ^= (uint32_t)crc32_combine64(raw, 0, (z_off64_t)behind);
    before += piece;
    after += piece;
    length -= piece;
  }
  return crc;
}

// ---- texts ----

void DateText(char out[32]) {
  time_t now = time(NULL);
  struct tm local;
  char text[64];
  memset(out, 0, 32);
  if (!localtime_r(&now, &local) || !asctime_r(&local, text)) return;
  text[strcspn(text, "\n")] = '\0';
  BoundedCopy(out, text, 32);
}

std::string DerivedPath(const char* path, const char* suffix) {
  std::string whole(path ? path : "");
  size_t separator = whole.find_last_of("/\\");
  size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  size_t dot = whole.find_last_of('.');
  // Only a dot inside the last component, after its first character, starts an extension.
  if (dot == std::string::npos || dot <= nameStart) return whole + suffix;
  return whole.substr(0, dot) + suffix;
}

}  // namespace ydxdpf
