// Sound and music formats told from their headers: the channel count, sample format and rate that the
// mixer's loaders would give, read without decoding a single sample (a minute of Ogg Vorbis costs the
// same as a blip), and every field checked against the bytes actually there.
#include "60_SoundFX.h"
#include "00_Platform.h"
#include <cstring>
#include <unistd.h>

namespace ydxsound {

size_t MemorySource::ReadAt(uint64_t offset, void* buffer, size_t length) {
  if (offset >= size) return 0;
  size_t available = (size_t)(size - offset);
  if (length > available) length = available;
  memcpy(buffer, bytes + offset, length);
  return length;
}

FileSource::FileSource(const char* path) {
  if (!path || !*path) return;
  fd = ydxplat::Open(path, ydxplat::kRead | ydxplat::kNonBlock);
  if (fd < 0) return;
  struct stat st;
  int64_t length = -1;
  if (ydxplat::FileStat(fd, &st) == 0 && S_ISREG(st.st_mode)) length = ydxplat::FileLength(fd);
  if (length < 0) {
    ydxplat::Close(fd);
    fd = -1;
    return;
  }
  size = (uint64_t)length;
}

FileSource::~FileSource() {
  if (fd >= 0) ydxplat::Close(fd);
}

size_t FileSource::ReadAt(uint64_t offset, void* buffer, size_t length) {
  if (fd < 0 || offset >= size) return 0;
  // Headers sit at the start: one read of the first few kilobytes serves most questions.
  if (!windowRead) {
    windowRead = true;
    window.resize((size_t)(size < kWindow ? size : kWindow));
    int64_t got = window.empty() ? 0 : ydxplat::Read(fd, &window[0], window.size());
    window.resize(got < 0 ? 0 : (size_t)got);
  }
  if (offset + length <= window.size()) {
    memcpy(buffer, window.data() + offset, length);
    return length;
  }
  if (ydxplat::Seek(fd, (int64_t)offset, SEEK_SET) < 0) return 0;
  int64_t got = ydxplat::Read(fd, buffer, length);
  return got < 0 ? 0 : (size_t)got;
}

StreamSource::StreamSource(SDL_RWops* stream) : stream(stream) {
  int end = stream ? SDL_RWseek(stream, 0, RW_SEEK_END) : -1;
  if (end > 0) size = (uint64_t)end;
}

size_t StreamSource::ReadAt(uint64_t offset, void* buffer, size_t length) {
  if (offset >= size || length == 0) return 0;
  if (length > size - offset) length = (size_t)(size - offset);
  if (SDL_RWseek(stream, (int)offset, RW_SEEK_SET) != (int)offset) return 0;
  int got = SDL_RWread(stream, buffer, 1, (int)length);
  return got > 0 ? (size_t)got : 0;
}

namespace {

// Fixed-size reads at an offset; `ok` turns false for good once one falls short.
struct Reader {
  ByteSource& source;
  bool ok = true;
  explicit Reader(ByteSource& s) : source(s) {}
  bool Bytes(uint64_t offset, void* buffer, size_t length) {
    if (ok && source.ReadAt(offset, buffer, length) != length) ok = false;
    if (!ok) memset(buffer, 0, length);
    return ok;
  }
  uint32_t LE32(uint64_t offset) {
    uint8_t b[4];
    Bytes(offset, b, 4);
    return b[0] | b[1] << 8 | b[2] << 16 | (uint32_t)b[3] << 24;
  }
  uint16_t LE16(uint64_t offset) {
    uint8_t b[2];
    Bytes(offset, b, 2);
    return (uint16_t)(b[0] | b[1] << 8);
  }
  uint32_t BE32(uint64_t offset) {
    uint8_t b[4];
    Bytes(offset, b, 4);
    return (uint32_t)b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3];
  }
  uint16_t BE16(uint64_t offset) {
    uint8_t b[2];
    Bytes(offset, b, 2);
    return (uint16_t)(b[0] << 8 | b[1]);
  }
  uint8_t U8(uint64_t offset) {
    uint8_t b = 0;
    Bytes(offset, &b, 1);
    return b;
  }
  bool Tag(uint64_t offset, const char* tag) {
    char b[4];
    return source.ReadAt(offset, b, 4) == 4 && memcmp(b, tag, 4) == 0;
  }
};

void SetFormat(sAudioType* out, const char* text) {
  memset(out->format, 0, sizeof out->format);
  memcpy(out->format, text, strnlen(text, sizeof out->format - 1));
}

void SetSpec(sAudioType* out, int channels, Uint16 sampleformat, uint32_t frequency) {
  out->channels = (Uint8)channels;
  out->sampleformat = sampleformat;
  out->frequency = (Sint32)frequency;
}

// ---- WAV: "RIFF" size "WAVE" (or a bare size "WAVE"), then chunks; the mixer's loader takes the
// first chunk other than "fact"/"LIST" as "fmt " and needs a "data" chunk after it. Every chunk it
// reads must be non-empty and complete.
InfoResult WavInfo(Reader& r, sAudioType* out) {
  uint64_t size = r.source.Size();
  uint64_t pos;
  if (r.Tag(4, "WAVE")) {
    pos = 8;
  } else {
    if (!r.Tag(0, "RIFF") || !r.Tag(8, "WAVE")) return kInfoFailed;
    pos = 12;
  }
  auto chunkFits = [&](uint64_t at, uint32_t length) { return length > 0 && at + 8 + length <= size; };
  uint32_t length = 0;
  char tag[4];
  for (;;) {
    if (!r.Bytes(pos, tag, 4)) return kInfoFailed;
    length = r.LE32(pos + 4);
    if (!r.ok || !chunkFits(pos, length)) return kInfoFailed;
    if (memcmp(tag, "fact", 4) != 0 && memcmp(tag, "LIST", 4) != 0) break;
    pos += 8 + (uint64_t)length;
  }
  if (memcmp(tag, "fmt ", 4) != 0 || length < 16) return kInfoFailed;
  uint16_t encoding = r.LE16(pos + 8);
  uint16_t channels = r.LE16(pos + 10);
  uint32_t frequency = r.LE32(pos + 12);
  uint16_t bits = r.LE16(pos + 22);
  if (!r.ok) return kInfoFailed;
  bool adpcm = encoding == 0x0002 || encoding == 0x0011;
  if (encoding != 0x0001 && !adpcm) return kInfoFailed;
  Uint16 sampleformat;
  if (bits == 4 && adpcm) sampleformat = AUDIO_S16LSB;   // ADPCM decodes to 16-bit samples
  else if (bits == 8) sampleformat = AUDIO_U8;
  else if (bits == 16) sampleformat = AUDIO_S16LSB;
  else return kInfoFailed;
  for (pos += 8 + (uint64_t)length;; pos += 8 + (uint64_t)length) {
    if (!r.Bytes(pos, tag, 4)) return kInfoFailed;
    length = r.LE32(pos + 4);
    if (!r.ok || !chunkFits(pos, length)) return kInfoFailed;
    if (memcmp(tag, "data", 4) == 0) break;
  }
  SetSpec(out, (Uint8)channels, sampleformat, frequency);
  return kInfoOk;
}

// An 80-bit IEEE extended value (AIFF's sample rate) as a whole number: 1 for values below 1,
// 0 for negative ones; false for rates too large for any sound device.
bool ExtendedToRate(const uint8_t* b, uint32_t* rate) {
  if (b[0] & 0x80) {
    *rate = 0;
    return true;
  }
  int exponent = ((b[0] & 0x7F) << 8 | b[1]) - 16383;
  if (exponent < 0) {
    *rate = 1;
    return true;
  }
  if (exponent > 29) return false;
  uint64_t mantissa = 0;
  for (int i = 2; i < 10; i++) mantissa = mantissa << 8 | b[i];
  *rate = (uint32_t)(mantissa >> (63 - exponent));
  return true;
}

// ---- AIFF and 8SVX: "FORM" size "AIFF"/"8SVX", then chunks until both the sound description and the
// sample data are found. The samples the description announces must all be there.
InfoResult AiffInfo(Reader& r, sAudioType* out) {
  uint64_t size = r.source.Size();
  uint64_t pos = 12;
  bool svx;
  if (r.Tag(4, "AIFF")) {
    svx = false;
    pos = 8;
  } else if (r.Tag(8, "AIFF") || r.Tag(8, "8SVX")) {
    svx = r.Tag(8, "8SVX");
  } else {
    return kInfoFailed;
  }
  bool haveData = false, haveDescription = false;
  uint64_t start = 0, samples = 0;
  uint32_t channels = 0, samplebits = 0, frequency = 0;
  while ((!haveData || !haveDescription) && pos + 8 <= size) {
    char tag[4];
    r.Bytes(pos, tag, 4);
    uint32_t length = r.BE32(pos + 4);
    if (!r.ok || length == 0) break;
    uint64_t body = pos + 8;
    if (!svx && memcmp(tag, "SSND", 4) == 0) {
      start = body + 8 + (uint64_t)r.BE32(body);
      haveData = true;
    } else if (!svx && memcmp(tag, "COMM", 4) == 0) {
      channels = r.BE16(body);
      samples = r.BE32(body + 2);
      samplebits = r.BE16(body + 6);
      uint8_t extended[10];
      r.Bytes(body + 8, extended, sizeof extended);
      if (!r.ok || !ExtendedToRate(extended, &frequency) || frequency == 0) return kInfoFailed;
      haveDescription = true;
    } else if (svx && memcmp(tag, "VHDR", 4) == 0) {
      frequency = r.BE16(body + 12);
      channels = 1;
      samplebits = 8;
      haveDescription = true;
    } else if (svx && memcmp(tag, "BODY", 4) == 0) {
      samples = length;
      start = body;
      haveData = true;
    }
    if (!r.ok) return kInfoFailed;
    pos = body + length;
  }
  if (!haveData || !haveDescription) return kInfoFailed;
  Uint16 sampleformat;
  if (samplebits == 8) sampleformat = AUDIO_S8;
  else if (samplebits == 16) sampleformat = AUDIO_S16MSB;
  else return kInfoFailed;
  uint64_t bytes = (uint64_t)channels * samples * (samplebits / 8);
  if (bytes == 0 || start > size || bytes > size - start) return kInfoFailed;
  SetSpec(out, (Uint8)channels, sampleformat, frequency);
  return kInfoOk;
}

// ---- VOC: the 20-byte signature, the offset of the first block, then blocks; the first block that
// carries sound decides the format (an "extended" block only sets up the data block after it).
InfoResult VocInfo(Reader& r, sAudioType* out) {
  static const char kSignature[] = "Creative Voice File\x1A";
  char signature[20];
  if (!r.Bytes(0, signature, 20) || memcmp(signature, kSignature, 20) != 0) return kInfoFailed;
  uint64_t pos = r.LE16(20);
  uint64_t size = r.source.Size();
  bool extended = false;
  uint32_t channels = 0, frequency = 0;
  while (r.ok && pos < size) {
    uint8_t type = r.U8(pos);
    if (type == 0) return kInfoFailed;   // the terminator before any sound
    uint32_t length = r.U8(pos + 1) | r.U8(pos + 2) << 8 | r.U8(pos + 3) << 16;
    uint64_t body = pos + 4;
    if (!r.ok) return kInfoFailed;
    switch (type) {
      case 1: {   // 8-bit data with a rate code, unless an extended block came first
        if (length < 2) return kInfoFailed;
        uint8_t code = r.U8(body);
        if (r.U8(body + 1) != 0 || !r.ok) return kInfoFailed;   // packed (ADPCM) data is not played
        if (!extended) {
          if (code == 0) return kInfoFailed;
          channels = 1;
          frequency = (Uint16)(1000000 / (256 - code));
        }
        SetSpec(out, channels, AUDIO_U8, frequency);
        return kInfoOk;
      }
      case 8: {   // extended: time constant, packing and mono/stereo for the data block after it
        if (length < 4) return kInfoFailed;
        uint16_t constant = r.LE16(body);
        if (constant == 0 || r.U8(body + 2) != 0 || !r.ok) return kInfoFailed;
        channels = r.U8(body + 3) == 1 ? 2 : 1;
        frequency = (256000000u / (65536u - constant)) / channels;
        extended = true;
        break;
      }
      case 9: {   // rate, bits and channels of their own
        if (length < 12 || body + 12 > size) return kInfoFailed;   // the loader reads all 12 bytes
        uint32_t rate = r.LE32(body);
        uint8_t bits = r.U8(body + 4);
        uint8_t count = r.U8(body + 5);
        if (!r.ok || rate == 0) return kInfoFailed;
        if (bits != 8 && bits != 16) return kInfoFailed;
        SetSpec(out, count, bits == 16 ? AUDIO_S16LSB : AUDIO_U8, rate);
        return kInfoOk;
      }
      case 2:   // a continuation or a silence before any data says nothing of the format
      case 3:
        return kInfoFailed;
      default:  // markers, texts, loops: skipped
        break;
    }
    pos = body + length;
  }
  return kInfoFailed;
}

// ---- Ogg Vorbis: the first page holds the identification header alone (its checksum verified);
// the second page must begin with the comment header of the same stream.
// Eight tables: entry[k][i] is the checksum step of byte i followed by k zero bytes, so eight bytes
// take one step (a header page of a few kilobytes then costs less than reading it).
struct OggCRCTable {
  uint32_t entry[8][256];
  OggCRCTable() {
    for (uint32_t i = 0; i < 256; i++) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; k++) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      entry[0][i] = c;
    }
    for (int k = 1; k < 8; k++)
      for (int i = 0; i < 256; i++) entry[k][i] = entry[k - 1][i] << 8 ^ entry[0][entry[k - 1][i] >> 24];
  }
};

uint32_t OggCRC(const uint8_t* data, size_t length) {
  static const OggCRCTable table;
  const auto& t = table.entry;
  uint32_t crc = 0;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const uint8_t* b = data + i;
    uint32_t high = crc ^ ((uint32_t)b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]);
    crc = t[7][high >> 24] ^ t[6][(high >> 16) & 0xFF] ^ t[5][(high >> 8) & 0xFF] ^ t[4][high & 0xFF] ^
          t[3][b[4]] ^ t[2][b[5]] ^ t[1][b[6]] ^ t[0][b[7]];
  }
  for (; i < length; i++) crc = (crc << 8) ^ t[0][(crc >> 24) ^ data[i]];
  return crc;
}

// A whole page's stored checksum against the one computed with that field zeroed (left zeroed).
bool PageChecksumHolds(std::string* page) {
  std::string& whole = *page;
  uint32_t stored = (uint8_t)whole[22] | (uint8_t)whole[23] << 8 | (uint8_t)whole[24] << 16 |
                    (uint32_t)(uint8_t)whole[25] << 24;
  whole[22] = whole[23] = whole[24] = whole[25] = 0;
  return OggCRC((const uint8_t*)whole.data(), whole.size()) == stored;
}

// The first page's packet (the identification header), its checksum verified.
bool ReadFirstOggPage(Reader& r, std::string* packet, uint32_t* serial, uint64_t* end) {
  uint8_t head[27];
  if (!r.Bytes(0, head, 27) || memcmp(head, "OggS", 4) != 0 || head[4] != 0) return false;
  uint8_t segments[255];
  size_t count = head[26];
  if (!r.Bytes(27, segments, count)) return false;
  size_t bodyLength = 0, packetLength = 0;
  bool complete = false;
  for (size_t i = 0; i < count; i++) {
    bodyLength += segments[i];
    if (!complete) packetLength += segments[i];
    if (segments[i] < 255) complete = true;
  }
  if (!complete) return false;
  std::string whole(27 + count + bodyLength, '\0');
  if (!r.Bytes(0, &whole[0], whole.size())) return false;
  if (!PageChecksumHolds(&whole)) return false;
  *serial = head[14] | head[15] << 8 | head[16] << 16 | (uint32_t)head[17] << 24;
  *end = whole.size();
  *packet = whole.substr(27 + count, packetLength);
  return true;
}

// The second page must be there whole with its checksum right, belong to the same stream and open
// with the comment header (the decoder refuses a stream whose header pages are damaged). The setup
// header in it is not parsed: a minute of music must not cost more than a blip.
bool SecondOggPageFits(Reader& r, uint64_t pos, uint32_t serial) {
  uint8_t head[27];
  if (!r.Bytes(pos, head, 27) || memcmp(head, "OggS", 4) != 0 || head[4] != 0 || (head[5] & 0x01)) return false;
  uint32_t pageSerial = head[14] | head[15] << 8 | head[16] << 16 | (uint32_t)head[17] << 24;
  uint8_t segments[255];
  size_t count = head[26];
  if (pageSerial != serial || count == 0 || !r.Bytes(pos + 27, segments, count)) return false;
  uint64_t bodyLength = 0;
  for (size_t i = 0; i < count; i++) bodyLength += segments[i];
  uint64_t body = pos + 27 + count;
  if (body + bodyLength > r.source.Size()) return false;
  std::string whole(27 + count + bodyLength, '\0');
  if (!r.Bytes(pos, &whole[0], whole.size())) return false;
  if (bodyLength < 7 || !PageChecksumHolds(&whole)) return false;
  const char* start = whole.data() + 27 + count;
  return start[0] == 3 && memcmp(start + 1, "vorbis", 6) == 0;
}

InfoResult OggInfo(Reader& r, sAudioType* out) {
  std::string id;
  uint32_t serial;
  uint64_t end;
  if (!ReadFirstOggPage(r, &id, &serial, &end)) return kInfoFailed;
  if (id.size() < 30 || (uint8_t)id[0] != 1 || id.compare(1, 6, "vorbis") != 0) return kInfoFailed;
  MemorySource header(id.data(), id.size());
  Reader h(header);
  uint32_t version = h.LE32(7);
  uint8_t channels = h.U8(11);
  uint32_t rate = h.LE32(12);
  uint8_t blocksizes = h.U8(28);
  int small = blocksizes & 0x0F, large = blocksizes >> 4;
  if (version != 0 || channels == 0 || rate == 0 || small < 6 || large > 13 || small > large ||
      (h.U8(29) & 1) == 0)
    return kInfoFailed;
  if (!SecondOggPageFits(r, end, serial)) return kInfoFailed;
  SetSpec(out, channels, AUDIO_S16LSB, rate);   // the mixer decodes Vorbis to signed 16-bit samples
  return kInfoOk;
}

}  // namespace

bool IsSoundMagic(const void* first4) {
  static const char* const kMagics[] = {"FORM", "WAVE", "RIFF", "OggS", "Crea"};
  for (const char* magic : kMagics)
    if (memcmp(first4, magic, 4) == 0) return true;
  return false;
}

InfoResult SoundInfoOf(ByteSource& source, sAudioType* out) {
  Reader r(source);
  char magic[4];
  if (source.ReadAt(0, magic, 4) != 4) return kInfoUnknown;
  if (memcmp(magic, "FORM", 4) == 0) {
    SetFormat(out, "AIFF");
    return AiffInfo(r, out);
  }
  if (memcmp(magic, "WAVE", 4) == 0 || memcmp(magic, "RIFF", 4) == 0) {
    SetFormat(out, "WAV");
    return WavInfo(r, out);
  }
  if (memcmp(magic, "OggS", 4) == 0) {
    SetFormat(out, "OGG");
    return OggInfo(r, out);
  }
  if (memcmp(magic, "Crea", 4) == 0) {
    SetFormat(out, "VOC");
    return VocInfo(r, out);
  }
  return kInfoUnknown;
}

InfoResult MusicInfoOf(ByteSource& source, sAudioType* out) {
  // Module signatures lie in the first 48 bytes; a file shorter than 12 holds no module header.
  uint8_t head[48];
  size_t got = source.ReadAt(0, head, sizeof head);
  if (got < 12) return kInfoUnknown;
  if (memcmp(head, "OggS", 4) == 0) {
    Reader r(source);
    sAudioType found = *out;
    if (OggInfo(r, &found) != kInfoOk) return kInfoFailed;
    *out = found;
    SetFormat(out, "OGG");
    return kInfoOk;
  }
  if (memcmp(head, "IMPM", 4) == 0) SetFormat(out, "IT");
  else if (got >= 15 && memcmp(head, "Extended Module", 15) == 0) SetFormat(out, "XM");
  else if (got >= 48 && memcmp(head + 44, "SCRM", 4) == 0) SetFormat(out, "S3M");
  else SetFormat(out, "MOD");
  SetSpec(out, 0, 0, 0);
  return kInfoOk;
}

bool ExportFileName(const char* blockname, const char* format, std::string* out) {
  if (!blockname || !format) return false;
  size_t length = strnlen(blockname, 31);
  std::string name(blockname, length);
  if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name.find("..") != std::string::npos)
    return false;
  size_t formatLength = strnlen(format, 4);
  if (formatLength == 0) return false;
  *out = name + "." + std::string(format, formatLength);
  return true;
}

}  // namespace ydxsound
