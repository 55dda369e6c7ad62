// Sound and music formats told from their headers: the channel count, sample format and rate that the
// mixer's loaders would give, read without decoding a single sample (a minute of Ogg Vorbis costs the
// same as a blip), and every field checked against the bytes actually there.
#include "60_SoundFX.h"
#include "01_Main.h"
#include "00_Platform.h"
#include <algorithm>
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
  if (ydxplat::FileStat(fd, &st) == 0 && S_ISREG(st.st_mode)) length = (int64_t)st.st_size;
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
  int64_t got = ydxplat::ReadAt(fd, buffer, length, (int64_t)offset);
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

// Fixed-size reads at an offset; `ok` turns false for good once one falls short. A refusal keeps its
// reason for the caller's log line.
struct Reader {
  ByteSource& source;
  bool ok = true;
  const char* refusal = nullptr;
  uint64_t decodedBytes = 0;
  uint64_t soundEnd = 0;
  uint64_t ignoredBytes = 0;
  explicit Reader(ByteSource& s) : source(s) {}
  InfoResult Refuse(const char* why) {
    refusal = why;
    return kInfoFailed;
  }
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

// The last word on every sound: channels and rate the converter can take, then the record is filled.
InfoResult Accept(Reader& r, sAudioType* out, uint32_t channels, Uint16 sampleformat, uint32_t frequency) {
  if (!ChannelsConvertible((int)channels)) return r.Refuse("a channel count other than 1, 2, 4 or 6");
  if (frequency < kLowestRate || frequency > kHighestRate) return r.Refuse("a sampling rate outside 1000 to 384000 Hz");
  SetSpec(out, (int)channels, sampleformat, frequency);
  return kInfoOk;
}

// ---- WAV: "RIFF" size "WAVE", then chunks. SDL's loader skips "LIST" and "fact" chunks, takes the
// next one as "fmt " and reads on, chunk by chunk (no pad bytes), to "data"; every chunk it reads must
// be non-empty and complete. It decodes 8- and 16-bit PCM, MS-ADPCM and IMA-ADPCM; its ADPCM decoders
// divide by the block size and trust the block layout, so that layout must be the one the encoders write.
enum { kWavPcm = 0x0001, kWavMsAdpcm = 0x0002, kWavImaAdpcm = 0x0011 };

struct WavFormat {
  uint16_t encoding, channels, blockAlign, bits, samplesPerBlock, coefficients;
  uint32_t frequency, chunkLength;
};

// Samples per block an ADPCM encoder writes for a block size: the header's samples, then two per byte.
uint32_t AdpcmBlockSamples(const WavFormat& f, uint32_t headerBytesPerChannel, uint32_t headerSamples) {
  uint32_t header = headerBytesPerChannel * f.channels;
  return (f.blockAlign - header) * 8 / (4u * f.channels) + headerSamples;
}

// The ADPCM layouts SDL decodes safely; the data's decoded size on success.
InfoResult AdpcmLayout(Reader& r, const WavFormat& f, uint64_t dataPos, uint32_t dataLength) {
  const bool ms = f.encoding == kWavMsAdpcm;
  const uint32_t headerBytes = ms ? 7 : 4, headerSamples = ms ? 2 : 1;
  if (f.channels != 1 && f.channels != 2) return r.Refuse("ADPCM with other than 1 or 2 channels");
  if (f.bits != 4) return r.Refuse("ADPCM of other than 4 bits per sample");
  if (f.chunkLength < (ms ? 50u : 20u)) return r.Refuse("an ADPCM format chunk too short for its fields");
  if (ms && f.coefficients != 7) return r.Refuse("an MS-ADPCM coefficient table of other than 7 pairs");
  uint32_t header = headerBytes * f.channels;
  if (f.blockAlign < header || (!ms && f.blockAlign % header != 0))
    return r.Refuse("an ADPCM block size that cannot hold its block header");
  if (f.samplesPerBlock != AdpcmBlockSamples(f, headerBytes, headerSamples))
    return r.Refuse("ADPCM samples per block that do not match the block size");
  uint64_t blocks = dataLength / f.blockAlign;
  // MS-ADPCM blocks open with one predictor index per channel into the 7 coefficient pairs; the blocks
  // are read many at a time.
  if (ms) {
    const uint64_t perRead = std::max<uint64_t>(1, 65536 / f.blockAlign);
    std::string piece;
    for (uint64_t first = 0; first < blocks; first += perRead) {
      uint64_t count = std::min(perRead, blocks - first);
      piece.resize((size_t)((count - 1) * f.blockAlign + f.channels));
      if (!r.Bytes(dataPos + first * f.blockAlign, &piece[0], piece.size())) return r.Refuse("cut MS-ADPCM data");
      for (uint64_t b = 0; b < count; b++)
        for (int c = 0; c < f.channels; c++)
          if ((uint8_t)piece[(size_t)(b * f.blockAlign) + c] >= 7)
            return r.Refuse("an MS-ADPCM block with a predictor outside the table");
    }
  }
  r.decodedBytes = blocks * f.samplesPerBlock * f.channels * 2;
  return kInfoOk;
}

InfoResult WavInfo(Reader& r, sAudioType* out) {
  uint64_t size = r.source.Size();
  if (!r.Tag(0, "RIFF") || !r.Tag(8, "WAVE")) return r.Refuse("not a RIFF WAVE file");
  // One chunk header at `pos`: its tag and length, refused unless the body is there and not empty.
  char tag[4];
  uint32_t length = 0;
  auto readChunk = [&](uint64_t pos) {
    if (!r.Bytes(pos, tag, 4)) return false;
    length = r.LE32(pos + 4);
    return r.ok && length > 0 && pos + 8 + length <= size;
  };
  static const char kBadChunk[] = "a chunk that is empty or runs past the end of the file";
  uint64_t pos = 12;
  for (;; pos += 8 + (uint64_t)length) {
    if (!readChunk(pos)) return r.Refuse(kBadChunk);
    if (memcmp(tag, "fact", 4) != 0 && memcmp(tag, "LIST", 4) != 0) break;
  }
  if (memcmp(tag, "fmt ", 4) != 0) return r.Refuse("no format chunk ahead of the other chunks");
  if (length < 16) return r.Refuse("a format chunk too short for its fields");
  WavFormat f;
  f.chunkLength = length;
  f.encoding = r.LE16(pos + 8);
  f.channels = r.LE16(pos + 10);
  f.frequency = r.LE32(pos + 12);
  f.blockAlign = r.LE16(pos + 20);
  f.bits = r.LE16(pos + 22);
  f.samplesPerBlock = length >= 20 ? r.LE16(pos + 26) : 0;
  f.coefficients = length >= 22 ? r.LE16(pos + 28) : 0;
  if (!r.ok) return r.Refuse(kBadChunk);
  for (pos += 8 + (uint64_t)length;; pos += 8 + (uint64_t)length) {
    if (!readChunk(pos)) return r.Refuse(memcmp(tag, "data", 4) == 0 ? kBadChunk : "no complete data chunk");
    if (memcmp(tag, "data", 4) == 0) break;
  }
  Uint16 sampleformat = AUDIO_S16LSB;   // ADPCM decodes to 16-bit samples
  if (f.encoding == kWavPcm) {
    if (f.bits != 8 && f.bits != 16) return r.Refuse("PCM of other than 8 or 16 bits per sample");
    if (f.bits == 8) sampleformat = AUDIO_U8;
    r.decodedBytes = length;
  } else if (f.encoding == kWavMsAdpcm || f.encoding == kWavImaAdpcm) {
    if (AdpcmLayout(r, f, pos + 8, length) != kInfoOk) return kInfoFailed;
  } else {
    return r.Refuse("an encoding the mixer does not decode");
  }
  return Accept(r, out, f.channels, sampleformat, f.frequency);
}

// An 80-bit IEEE extended value (AIFF's sample rate) as a whole number, 0 for negative values and for
// values below 2, which the mixer's loader reads as 0 and refuses in every description it meets, not
// only the last; false for rates too large for any sound device.
bool ExtendedToRate(const uint8_t* b, uint32_t* rate) {
  int exponent = ((b[0] & 0x7F) << 8 | b[1]) - 16383;
  if ((b[0] & 0x80) || exponent < 1) {
    *rate = 0;
    return true;
  }
  if (exponent > 29) return false;
  uint64_t mantissa = 0;
  for (int i = 2; i < 10; i++) mantissa = mantissa << 8 | b[i];
  *rate = (uint32_t)(mantissa >> (63 - exponent));
  return true;
}

// ---- AIFF and 8SVX: "FORM" size "AIFF"/"8SVX", then chunks (an odd length followed by a pad byte)
// until both the sound description and the sample data are found. The samples the description
// announces must all be there.
InfoResult AiffInfo(Reader& r, sAudioType* out) {
  static const char kAiffChunks[] = "AIFF chunks that do not hold together";
  uint64_t size = r.source.Size();
  uint64_t pos = 12;
  if (!r.Tag(8, "AIFF") && !r.Tag(8, "8SVX")) return r.Refuse("a FORM file other than AIFF or 8SVX");
  bool svx = r.Tag(8, "8SVX");
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
      if (!r.ok || !ExtendedToRate(extended, &frequency) || frequency == 0)
        return r.Refuse("an AIFF sampling rate the mixer cannot play");
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
    if (!r.ok) return r.Refuse(kAiffChunks);
    pos = body + length + (length & 1);
  }
  if (!haveData || !haveDescription) return r.Refuse(kAiffChunks);
  Uint16 sampleformat;
  if (samplebits == 8) sampleformat = AUDIO_S8;
  else if (samplebits == 16) sampleformat = AUDIO_S16MSB;
  else return r.Refuse("AIFF of other than 8 or 16 bits per sample");
  uint64_t bytes = (uint64_t)channels * samples * (samplebits / 8);
  if (bytes == 0 || start > size || bytes > size - start) return r.Refuse("AIFF samples missing from the file");
  r.decodedBytes = bytes;
  return Accept(r, out, channels, sampleformat, frequency);
}

// ---- VOC: the 20-byte signature, the offset of the first block, then blocks of a type byte and a
// 3-byte length; the mixer's loader joins every sound block into one sample. It divides by zero on an
// extended block for mono sound or one that no data block follows, and on a marker ahead of the sound;
// after the sound it takes or refuses a marker depending on the bytes behind it; it frees twice when
// a sound block without samples is continued, reads past the end of a cut block, and reads blocks
// after the terminator into a buffer sized without them. So only the block
// sequences that sound tools write, in forms that load cleanly, are taken: an 8-bit data block (after
// an extended block for stereo) or a new-format block, continuations and further blocks of the same
// kind, silences in 8-bit sound, skipped blocks (texts, loops, unknown types), then the end of the
// file or a terminator. Whatever follows a terminator is ignored. sox writes the length of its
// 16-bit block 8 bytes short, so that its last samples and the terminator look like one more block,
// mostly one that runs past the end of the file: as sox and ffmpeg do, a sound under way ends at the
// first block that cannot continue it, and the rest of the file is ignored. The loader is handed the
// sound up to its end and a terminator.
enum { kVocEnd = 0, kVocData = 1, kVocMore = 2, kVocSilence = 3, kVocMarker = 4, kVocExtended = 8, kVocNewData = 9 };

struct VocSound {
  int kind = 0;                 // the first sound block's type; 0 before it
  bool stereo = false;          // started by an extended block
  bool extendedPending = false; // an extended block waits for its data block
  uint32_t key = 0;             // rate code, time constant or rate that every later block must repeat
  uint32_t channels = 0, frequency = 0, bits = 8;
  uint64_t bytes = 0;
};

const char kVocMixed[] = "VOC sound blocks of different kinds or rates";
const char kVocEmpty[] = "a VOC sound block without samples";

InfoResult VocBlockOf(Reader& r, VocSound& v, uint8_t type, uint64_t body, uint32_t length) {
  switch (type) {
    case kVocData: {   // rate code and packing, then 8-bit samples
      if (length < 3) return r.Refuse(kVocEmpty);
      uint8_t code = r.U8(body), packing = r.U8(body + 1);
      if (packing != 0) return r.Refuse("packed VOC samples");
      if (code == 0) return r.Refuse("a VOC rate code of 0");
      if (v.kind == kVocNewData) return r.Refuse(kVocMixed);
      if (v.kind == 0) {
        v.kind = kVocData;
        v.stereo = v.extendedPending;
        if (!v.stereo) {
          v.key = code;
          v.channels = 1;
          v.frequency = 1000000u / (256u - code);
        }
      } else if (v.stereo != v.extendedPending || (!v.stereo && code != v.key)) {
        return r.Refuse(kVocMixed);
      }
      v.extendedPending = false;
      v.bytes += length - 2;
      return kInfoOk;
    }
    case kVocExtended: {   // time constant, packing and mode for the data block after it
      if (length != 4) return r.Refuse("a VOC extended block of other than 4 bytes");
      uint16_t constant = r.LE16(body);
      if (r.U8(body + 2) != 0) return r.Refuse("packed VOC samples");
      if (r.U8(body + 3) == 0) return r.Refuse("a VOC extended block for mono sound");
      if (constant == 0) return r.Refuse("a VOC time constant of 0");
      if (v.extendedPending || (v.kind != 0 && (!v.stereo || constant != v.key))) return r.Refuse(kVocMixed);
      v.key = constant;
      v.channels = 2;
      v.frequency = 256000000u / (65536u - constant) / 2;
      v.extendedPending = true;
      return kInfoOk;
    }
    case kVocNewData: {   // rate, bits, channels and codec, then the samples
      if (length < 12) return r.Refuse("a VOC block too short for its fields");
      uint32_t rate = r.LE32(body), bits = r.U8(body + 4), channels = r.U8(body + 5);
      if (bits != 8 && bits != 16) return r.Refuse("VOC samples of other than 8 or 16 bits");
      if (length - 12 < bits / 8 * channels || channels == 0) return r.Refuse(kVocEmpty);
      if (v.kind == kVocData || v.extendedPending) return r.Refuse(kVocMixed);
      if (v.kind == 0) {
        v.kind = kVocNewData;
        v.key = rate;
        v.channels = channels;
        v.frequency = rate;
        v.bits = bits;
      } else if (rate != v.key || channels != v.channels || bits != v.bits) {
        return r.Refuse(kVocMixed);
      }
      v.bytes += length - 12;
      return kInfoOk;
    }
    case kVocMore:
      if (v.kind == 0 || v.extendedPending) return r.Refuse("VOC samples ahead of their sound block");
      if (length == 0) return r.Refuse(kVocEmpty);
      v.bytes += length;
      return kInfoOk;
    case kVocSilence:   // length and rate code of a pause in 8-bit mono sound
      if (v.kind != kVocData || v.stereo || v.extendedPending)
        return r.Refuse("a VOC silence outside 8-bit mono sound");
      if (length < 3 || r.U8(body + 2) != v.key) return r.Refuse(kVocMixed);
      v.bytes += r.LE16(body) + 1u;
      return kInfoOk;
    case kVocMarker:
      return r.Refuse("a VOC marker block");
    default:   // texts, loops and unknown blocks are skipped
      return kInfoOk;
  }
}

InfoResult VocInfo(Reader& r, sAudioType* out) {
  static const char kSignature[] = "Creative Voice File\x1A";
  char signature[20];
  if (!r.Bytes(0, signature, 20) || memcmp(signature, kSignature, 20) != 0) return r.Refuse("not a VOC file");
  uint64_t size = r.source.Size();
  uint64_t pos = r.LE16(20);
  if (!r.ok || pos < 26) return r.Refuse("a VOC header whose first block lies inside it");
  VocSound v;
  uint64_t end = size;   // where the sound's blocks end
  while (pos < size) {
    uint8_t type = r.U8(pos);
    if (type == kVocEnd) {
      end = pos;
      break;
    }
    uint32_t length = r.U8(pos + 1) | r.U8(pos + 2) << 8 | r.U8(pos + 3) << 16;
    uint64_t body = pos + 4;
    bool whole = r.ok && body + length <= size;
    if (whole && VocBlockOf(r, v, type, body, length) == kInfoOk && r.ok) {
      pos = body + length;
      continue;
    }
    if (!whole || !r.ok) r.Refuse("a VOC block that runs past the end of the file");
    // Before any sound, or between an extended block and its data, the block's fault is the file's.
    if (v.kind == 0 || v.extendedPending) return kInfoFailed;
    r.ok = true;
    r.refusal = nullptr;
    end = pos;
    r.ignoredBytes = size - pos;
    break;
  }
  if (v.kind == 0) return r.Refuse("a VOC file without sound");
  if (v.extendedPending) return r.Refuse("a VOC extended block without its data block");
  if (r.ignoredBytes > 0 || end + 1 < size) r.soundEnd = end;
  r.decodedBytes = v.bytes;
  return Accept(r, out, v.channels, v.bits == 16 ? AUDIO_S16LSB : AUDIO_U8, v.frequency);
}

// ---- Ogg Vorbis: the first page holds the identification header alone (its checksum verified);
// the second page must begin with the comment header of the same stream.
// The Ogg checksum is the library's CRC-32 with the bits of every byte taken the other way round: the
// bytes go in with their bits reversed and the result comes out reversed, so the folded CRC serves
// both (the header pages and the last page then cost less than reading the file).
uint64_t ReverseBitsInBytes(uint64_t w) {
  w = (w >> 1 & 0x5555555555555555ull) | (w & 0x5555555555555555ull) << 1;
  w = (w >> 2 & 0x3333333333333333ull) | (w & 0x3333333333333333ull) << 2;
  return (w >> 4 & 0x0F0F0F0F0F0F0F0Full) | (w & 0x0F0F0F0F0F0F0F0Full) << 4;
}

uint32_t OggCRC(const uint8_t* data, size_t length) {
  uint32_t crc = 0;
  uint8_t turned[4096];
  while (length) {
    size_t n = std::min(length, sizeof turned), i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      memcpy(&w, data + i, 8);
      w = ReverseBitsInBytes(w);
      memcpy(turned + i, &w, 8);
    }
    for (; i < n; i++) turned[i] = (uint8_t)ReverseBitsInBytes(data[i]);
    crc = Yandorix_CRCRunning(crc, turned, n);
    data += n;
    length -= n;
  }
  uint64_t reversed = ReverseBitsInBytes(crc);   // bits within each byte, then the bytes
  return __builtin_bswap32((uint32_t)reversed);
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

uint32_t OggSerial(const std::string& page) {
  return (uint8_t)page[14] | (uint8_t)page[15] << 8 | (uint8_t)page[16] << 16 | (uint32_t)(uint8_t)page[17] << 24;
}

// The page at `pos`, whole, when it lies inside the data and its checksum holds.
bool WholeOggPage(ByteSource& source, uint64_t pos, std::string* page) {
  Reader r(source);
  uint8_t head[27];
  if (!r.Bytes(pos, head, 27) || memcmp(head, "OggS", 4) != 0 || head[4] != 0) return false;
  uint8_t segments[255];
  size_t count = head[26];
  if (!r.Bytes(pos + 27, segments, count)) return false;
  uint64_t bodyLength = 0;
  for (size_t i = 0; i < count; i++) bodyLength += segments[i];
  if (pos + 27 + count + bodyLength > source.Size()) return false;
  page->assign(27 + count + bodyLength, '\0');
  return r.Bytes(pos, &(*page)[0], page->size()) && PageChecksumHolds(page);
}

// The stream's second page must be there whole with its checksum right and open with the comment
// header (the decoder refuses a stream whose header pages are damaged); whole pages of other streams
// grouped with it may come first, up to a bound. The setup header in it is not parsed: a minute of
// music must not cost more than a blip. `end` is where it ends.
bool SecondOggPageFits(Reader& r, uint64_t pos, uint32_t serial, uint64_t* end) {
  const int kOtherStreamPages = 32;
  std::string whole;
  for (int other = 0;; ++other, pos += whole.size()) {
    if (other > kOtherStreamPages || !WholeOggPage(r.source, pos, &whole)) return false;
    if (OggSerial(whole) == serial) break;
  }
  if (whole[5] & 0x01) return false;
  size_t count = (uint8_t)whole[26];
  if (count == 0 || whole.size() < 27 + count + 7) return false;
  const char* start = whole.data() + 27 + count;
  *end = pos + whole.size();
  return start[0] == 3 && memcmp(start + 1, "vorbis", 6) == 0;
}

// The sample frames the decoder gives: the granule position of the stream's last page, looked for
// from the end backwards as the decoder does (only the tail is read). 0 when no whole page after the
// headers carries one, as in a file of headers without audio; `unreadable` tells a tail that could not
// be read from one without audio.
uint64_t OggFrames(ByteSource& source, uint32_t serial, uint64_t headersEnd, bool* unreadable) {
  const uint64_t size = source.Size(), kLargestWindow = 65536;
  uint64_t windowSize = 8192;   // a last page is seldom longer; the window grows when it is
  int damaged = 0;   // capture patterns that lead to no whole page; a tail full of them is given up on
  std::string window, page;
  for (uint64_t end = size; end > headersEnd;) {
    uint64_t begin = end - std::min(end - headersEnd, windowSize);
    window.resize((size_t)(std::min(size, end + 3) - begin));   // a pattern may straddle `end`
    if (source.ReadAt(begin, &window[0], window.size()) != window.size()) {
      *unreadable = true;
      return 0;
    }
    MemorySource inWindow(window.data(), window.size());
    for (size_t at = (size_t)(end - begin); at > 0;) {
      const void* capture = memrchr(window.data(), 'O', at);
      if (!capture) break;
      at = (size_t)((const char*)capture - window.data());
      if (at + 4 > window.size() || memcmp(window.data() + at, "OggS", 4) != 0) continue;
      // A page inside the window is checked there, without reading it again.
      if (!WholeOggPage(inWindow, at, &page) && !WholeOggPage(source, begin + at, &page)) {
        if (++damaged > 16) return 0;
        continue;
      }
      int64_t granule = 0;
      for (int i = 13; i >= 6; i--) granule = (int64_t)((uint64_t)granule << 8 | (uint8_t)page[i]);
      if (OggSerial(page) == serial && granule != -1) return granule > 0 ? (uint64_t)granule : 0;
    }
    end = begin;
    windowSize = std::min(windowSize * 2, kLargestWindow);
  }
  return 0;
}

InfoResult OggInfo(Reader& r, sAudioType* out) {
  static const char kHeaders[] = "damaged Ogg Vorbis headers";
  std::string id;
  uint32_t serial;
  uint64_t end;
  if (!ReadFirstOggPage(r, &id, &serial, &end)) return r.Refuse(kHeaders);
  if (id.size() < 30 || (uint8_t)id[0] != 1 || id.compare(1, 6, "vorbis") != 0) return r.Refuse(kHeaders);
  MemorySource header(id.data(), id.size());
  Reader h(header);
  uint32_t version = h.LE32(7);
  uint8_t channels = h.U8(11);
  uint32_t rate = h.LE32(12);
  uint8_t blocksizes = h.U8(28);
  int small = blocksizes & 0x0F, large = blocksizes >> 4;
  if (version != 0 || channels == 0 || rate == 0 || small < 6 || large > 13 || small > large ||
      (h.U8(29) & 1) == 0)
    return r.Refuse(kHeaders);
  uint64_t headersEnd = 0;
  if (!SecondOggPageFits(r, end, serial, &headersEnd)) return r.Refuse(kHeaders);
  // Far more frames than any file holds are only a claim; kept below what 64 bits can multiply.
  bool unreadable = false;
  uint64_t frames = OggFrames(r.source, serial, headersEnd, &unreadable);
  if (unreadable) return r.Refuse("the end of the Ogg file could not be read");
  r.decodedBytes = std::min<uint64_t>(frames, 1ull << 48) * channels * 2;
  return Accept(r, out, channels, AUDIO_S16LSB, rate);   // the mixer decodes Vorbis to signed 16-bit samples
}

}  // namespace

bool ChannelsConvertible(int channels) { return channels == 1 || channels == 2 || channels == 4 || channels == 6; }

namespace {

InfoResult Finish(const Reader& r, InfoResult result, SoundShape* shape) {
  if (shape) {
    shape->refusal = result == kInfoOk ? nullptr : r.refusal ? r.refusal : "a damaged header";
    shape->decodedBytes = result == kInfoOk ? r.decodedBytes : 0;
    shape->soundEnd = result == kInfoOk ? r.soundEnd : 0;
    shape->ignoredBytes = result == kInfoOk ? r.ignoredBytes : 0;
  }
  return result;
}

// The fewest sample frames a sound needs to keep one when the converter halves its rate, step by step,
// down to the mixer's, comparing rates in hundreds of Hz as SDL does.
uint64_t FramesForMixer(uint32_t frequency, uint32_t mixerRate) {
  uint64_t needed = 1;
  for (uint64_t low = std::max<uint32_t>(mixerRate, 1); low * 2 / 100 <= frequency / 100; low *= 2) needed *= 2;
  return needed;
}

InfoResult SoundKind(Reader& r, sAudioType* out) {
  char magic[4];
  if (r.source.ReadAt(0, magic, 4) != 4) return kInfoUnknown;
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

}  // namespace

InfoResult SoundInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape, uint32_t mixerRate) {
  Reader r(source);
  InfoResult result = SoundKind(r, out);
  if (result == kInfoUnknown) r.refusal = "not a sound file of a kind the mixer knows";
  // The mixer refuses to play a chunk without a whole sample frame, so such a sound is no sound.
  if (result == kInfoOk) {
    uint64_t frameBytes = (uint64_t)out->channels * ((out->sampleformat & 0xFF) / 8);
    if (r.decodedBytes / frameBytes < FramesForMixer((uint32_t)out->frequency, mixerRate))
      result = r.Refuse("too few samples to give the mixer one sample frame");
  }
  return Finish(r, result, shape);
}

InfoResult MusicInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape) {
  // Module signatures lie in the first 48 bytes; a file shorter than 12 holds no module header.
  Reader r(source);
  uint8_t head[48];
  size_t got = source.ReadAt(0, head, sizeof head);
  if (got < 12) {
    r.refusal = "too short for any music file";
    return Finish(r, kInfoUnknown, shape);
  }
  if (memcmp(head, "OggS", 4) == 0) {
    sAudioType found = *out;
    if (OggInfo(r, &found) != kInfoOk) return Finish(r, kInfoFailed, shape);
    *out = found;
    SetFormat(out, "OGG");
    return Finish(r, kInfoOk, shape);
  }
  if (memcmp(head, "IMPM", 4) == 0) SetFormat(out, "IT");
  else if (got >= 15 && memcmp(head, "Extended Module", 15) == 0) SetFormat(out, "XM");
  else if (got >= 48 && memcmp(head + 44, "SCRM", 4) == 0) SetFormat(out, "S3M");
  else SetFormat(out, "MOD");
  SetSpec(out, 0, 0, 0);
  return Finish(r, kInfoOk, shape);
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
