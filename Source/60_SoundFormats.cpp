// Sound and music formats told from their headers: channels, sample format and rate, and where and how
// the samples are stored for the decoder, read without decoding a single sample (a minute of Ogg Vorbis
// costs the same as a blip), and every field checked against the bytes actually there.
#include "60_SoundFX.h"
#include "01_Main.h"
#include "00_Platform.h"
#include <algorithm>
#include <cstring>
#include <ogg/ogg.h>
#include <unistd.h>
#include <vorbis/codec.h>

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
// reason for the caller's log line; what the check learns goes into `shape`.
struct Reader {
  ByteSource& source;
  bool ok = true;
  const char* refusal = nullptr;
  SoundShape shape;
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

// Where each channel plays when the file does not say: the usual orders of 1 to 8 channels.
const uint8_t kUsualSpeakers[kMostChannels + 1][kMostChannels] = {
    {},
    {kFrontCenter},
    {kFrontLeft, kFrontRight},
    {kFrontLeft, kFrontRight, kFrontCenter},
    {kFrontLeft, kFrontRight, kBackLeft, kBackRight},
    {kFrontLeft, kFrontRight, kFrontCenter, kBackLeft, kBackRight},
    {kFrontLeft, kFrontRight, kFrontCenter, kLowFrequency, kBackLeft, kBackRight},
    {kFrontLeft, kFrontRight, kFrontCenter, kLowFrequency, kBackCenter, kSideLeft, kSideRight},
    {kFrontLeft, kFrontRight, kFrontCenter, kLowFrequency, kBackLeft, kBackRight, kSideLeft, kSideRight},
};

// The last word on every sound: a channel count and rate the decoder takes, then the record is filled.
// Speakers the format did not place take the usual order.
InfoResult Accept(Reader& r, sAudioType* out, uint32_t channels, Uint16 sampleformat, uint32_t frequency) {
  if (channels < 1 || channels > kMostChannels) return r.Refuse("a channel count other than 1 to 8");
  if (frequency < kLowestRate || frequency > kHighestRate) return r.Refuse("a sampling rate outside 1000 to 384000 Hz");
  SoundShape& s = r.shape;
  if (s.channels != (int)channels) memcpy(s.speakers, kUsualSpeakers[channels], sizeof s.speakers);
  s.channels = (int)channels;
  s.rate = frequency;
  SetSpec(out, (int)channels, sampleformat, frequency);
  return kInfoOk;
}

// Integer or float samples stored one after the other from `offset`: the whole frames of `bytes`.
void SamplesAt(Reader& r, SampleCoding coding, int sampleBytes, bool bigEndian, bool unsignedSamples, int channels,
               uint64_t offset, uint64_t bytes) {
  SoundShape& s = r.shape;
  s.coding = coding;
  s.sampleBytes = sampleBytes;
  s.bigEndian = bigEndian;
  s.unsignedSamples = unsignedSamples;
  uint64_t frameBytes = (uint64_t)sampleBytes * (uint64_t)channels;
  s.frames = bytes / frameBytes;
  s.pieces.assign(1, SamplePiece{offset, s.frames * frameBytes, 0});
}

// SDL's codes of sample formats, extended the way later SDL versions mark wider and float samples.
Uint16 SampleFormatCode(int bits, bool isFloat, bool bigEndian, bool unsignedSamples) {
  Uint16 code = (Uint16)(bits | (unsignedSamples ? 0 : 0x8000) | (bigEndian ? 0x1000 : 0) | (isFloat ? 0x0100 : 0));
  return bits == 8 ? (unsignedSamples ? AUDIO_U8 : AUDIO_S8) : code;
}

// ---- WAV: "RIFF" size "WAVE", then chunks, each followed by a pad byte when its length is odd: a format
// chunk, then the data chunk; other chunks are passed over. PCM of 8 to 32 bits, float, A-law and mu-law
// are read here; MS- and IMA-ADPCM are decoded by SDL's own WAV loader, whose decoders divide by the
// block size and trust the block layout, so that layout must be the one the encoders write.
enum { kWavPcm = 0x0001, kWavMsAdpcm = 0x0002, kWavFloat = 0x0003, kWavALaw = 0x0006, kWavMuLaw = 0x0007,
       kWavImaAdpcm = 0x0011, kWavExtensible = 0xFFFE };

struct WavFormat {
  uint16_t encoding, channels, blockAlign, bits, samplesPerBlock, coefficients;
  uint32_t frequency, chunkLength, channelMask;
};

// Samples per block an ADPCM encoder writes for a block size: the header's samples, then two per byte.
uint32_t AdpcmBlockSamples(const WavFormat& f, uint32_t headerBytesPerChannel, uint32_t headerSamples) {
  uint32_t header = headerBytesPerChannel * f.channels;
  return (f.blockAlign - header) * 8 / (4u * f.channels) + headerSamples;
}

// The ADPCM layouts SDL decodes safely; the frames the data decodes to on success.
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
  SoundShape& s = r.shape;
  s.coding = kCodingAdpcm;
  s.frames = blocks * f.samplesPerBlock;
  s.pieces.assign(1, SamplePiece{dataPos, blocks * f.blockAlign, 0});
  return kInfoOk;
}

// The speakers a WAV channel mask names, in channel order, when it names one for every channel.
void SpeakersFromMask(Reader& r, uint32_t mask, int channels) {
  if (channels < 1 || channels > kMostChannels || __builtin_popcount(mask) != channels) return;
  int channel = 0;
  for (int bit = 0; bit < 32; bit++)
    if (mask >> bit & 1) r.shape.speakers[channel++] = (uint8_t)std::min(bit, (int)kOtherSpeaker);
  r.shape.channels = channels;   // Accept keeps speakers placed for this many channels
}

// The samples of a PCM, float or companded format chunk; false (refused) for any other encoding.
InfoResult WavSamples(Reader& r, sAudioType* out, const WavFormat& f, uint16_t encoding, uint64_t dataPos,
                      uint32_t dataLength) {
  int bytes = f.bits / 8;
  bool isFloat = encoding == kWavFloat;
  SampleCoding coding = isFloat ? kCodingFloat : kCodingInteger;
  Uint16 code = 0;
  if (encoding == kWavPcm) {
    if (f.bits % 8 != 0 || bytes < 1 || bytes > 4) return r.Refuse("PCM of other than 8, 16, 24 or 32 bits per sample");
    code = SampleFormatCode(f.bits, false, false, bytes == 1);
  } else if (isFloat) {
    if (f.bits != 32 && f.bits != 64) return r.Refuse("float samples of other than 32 or 64 bits");
    code = SampleFormatCode(f.bits, true, false, false);
  } else if (encoding == kWavALaw || encoding == kWavMuLaw) {
    if (f.bits != 8) return r.Refuse("A-law or mu-law of other than 8 bits per sample");
    coding = encoding == kWavALaw ? kCodingALaw : kCodingMuLaw;
    code = AUDIO_S16LSB;   // what they expand to
  } else {
    return r.Refuse("an encoding the decoder does not read");
  }
  if (f.channels < 1 || f.channels > kMostChannels) return r.Refuse("a channel count other than 1 to 8");
  SamplesAt(r, coding, bytes, false, bytes == 1 && coding == kCodingInteger, f.channels, dataPos, dataLength);
  return Accept(r, out, f.channels, code, f.frequency);
}

InfoResult WavInfo(Reader& r, sAudioType* out) {
  uint64_t size = r.source.Size();
  if (!r.Tag(0, "RIFF") || !r.Tag(8, "WAVE")) return r.Refuse("not a RIFF WAVE file");
  static const char kCut[] = "a chunk that runs past the end of the file";
  uint64_t fmtPos = 0, dataPos = 0;
  uint32_t fmtLength = 0, dataLength = 0;
  for (uint64_t pos = 12; !dataPos;) {
    char tag[4];
    if (pos + 8 > size || !r.Bytes(pos, tag, 4)) return r.Refuse(fmtPos ? "no complete data chunk" : "no format chunk");
    uint32_t length = r.LE32(pos + 4);
    uint64_t body = pos + 8;
    if (!r.ok || body + length > size) return r.Refuse(kCut);
    if (memcmp(tag, "fmt ", 4) == 0 && !fmtPos) {
      fmtPos = body;
      fmtLength = length;
    } else if (memcmp(tag, "data", 4) == 0) {
      if (!fmtPos) return r.Refuse("no format chunk ahead of the data chunk");
      dataPos = body;
      dataLength = length;
    }
    pos = body + length + (length & 1);
  }
  if (fmtLength < 16) return r.Refuse("a format chunk too short for its fields");
  WavFormat f;
  f.chunkLength = fmtLength;
  f.encoding = r.LE16(fmtPos);
  f.channels = r.LE16(fmtPos + 2);
  f.frequency = r.LE32(fmtPos + 4);
  f.blockAlign = r.LE16(fmtPos + 12);
  f.bits = r.LE16(fmtPos + 14);
  f.samplesPerBlock = fmtLength >= 20 ? r.LE16(fmtPos + 18) : 0;
  f.coefficients = fmtLength >= 22 ? r.LE16(fmtPos + 20) : 0;
  f.channelMask = 0;
  uint16_t encoding = f.encoding;
  if (encoding == kWavExtensible) {
    // The real encoding is the first two bytes of the subformat's GUID; the mask places the speakers.
    if (fmtLength < 40) return r.Refuse("an extensible format chunk too short for its fields");
    f.channelMask = r.LE32(fmtPos + 20);
    encoding = r.LE16(fmtPos + 24);
    SpeakersFromMask(r, f.channelMask, f.channels);
  }
  if (!r.ok) return r.Refuse(kCut);
  if (f.encoding == kWavMsAdpcm || f.encoding == kWavImaAdpcm) {
    if (AdpcmLayout(r, f, dataPos, dataLength) != kInfoOk) return kInfoFailed;
    r.shape.formatChunk = fmtPos;
    r.shape.formatLength = fmtLength;
    return Accept(r, out, f.channels, AUDIO_S16LSB, f.frequency);   // ADPCM decodes to signed 16-bit samples
  }
  return WavSamples(r, out, f, encoding, dataPos, dataLength);
}

// An 80-bit IEEE extended value (AIFF's sample rate) as a whole number, 0 for negative values and for
// values below 2; false for rates too large for any sound device.
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
// announces must all be there. A description of an unplayable rate is refused wherever it stands.
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
        return r.Refuse("an AIFF sampling rate the decoder cannot play");
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
  if (samplebits < 1 || samplebits > 32) return r.Refuse("AIFF of other than 1 to 32 bits per sample");
  if (channels < 1 || channels > kMostChannels) return r.Refuse("a channel count other than 1 to 8");
  // Samples narrower than their bytes are stored in the high bits, so they read as the wider size.
  int sampleBytes = (int)(samplebits + 7) / 8;
  uint64_t bytes = (uint64_t)channels * samples * (uint64_t)sampleBytes;
  if (bytes == 0 || start > size || bytes > size - start) return r.Refuse("AIFF samples missing from the file");
  SamplesAt(r, kCodingInteger, sampleBytes, true, false, (int)channels, start, bytes);
  return Accept(r, out, channels, SampleFormatCode(sampleBytes * 8, false, sampleBytes > 1, false), frequency);
}

// ---- VOC: the 20-byte signature, the offset of the first block, then blocks of a type byte and a
// 3-byte length; every sound block joins one sound. Only the block sequences that sound tools write are
// taken: an 8-bit data block (after an extended block for stereo) or a new-format block, continuations
// and further blocks of the same kind, silences in 8-bit mono sound, skipped blocks (texts, loops,
// unknown types), then the end of the file or a terminator. Whatever follows a terminator is ignored.
// sox writes the length of its 16-bit block 8 bytes short, so that its last samples and the terminator
// look like one more block, mostly one that runs past the end of the file: as sox and ffmpeg do, a sound
// under way ends at the first block that cannot continue it, and the rest of the file is ignored.
enum { kVocEnd = 0, kVocData = 1, kVocMore = 2, kVocSilence = 3, kVocMarker = 4, kVocExtended = 8, kVocNewData = 9 };

struct VocSound {
  int kind = 0;                 // the first sound block's type; 0 before it
  bool stereo = false;          // started by an extended block
  bool extendedPending = false; // an extended block waits for its data block
  uint32_t key = 0;             // rate code, time constant or rate that every later block must repeat
  uint32_t channels = 0, frequency = 0, bits = 8;
  uint64_t bytes = 0;
  std::vector<SamplePiece> pieces;
  void Samples(uint64_t offset, uint64_t length) {
    pieces.push_back(SamplePiece{offset, length, 0});
    bytes += length;
  }
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
      v.Samples(body + 2, length - 2);
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
      v.Samples(body + 12, length - 12);
      return kInfoOk;
    }
    case kVocMore:
      if (v.kind == 0 || v.extendedPending) return r.Refuse("VOC samples ahead of their sound block");
      if (length == 0) return r.Refuse(kVocEmpty);
      v.Samples(body, length);
      return kInfoOk;
    case kVocSilence:   // length and rate code of a pause in 8-bit mono sound
      if (v.kind != kVocData || v.stereo || v.extendedPending)
        return r.Refuse("a VOC silence outside 8-bit mono sound");
      if (length < 3 || r.U8(body + 2) != v.key) return r.Refuse(kVocMixed);
      v.pieces.push_back(SamplePiece{0, 0, r.LE16(body) + 1u});
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
  while (pos < size) {
    uint8_t type = r.U8(pos);
    if (type == kVocEnd) break;
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
    r.shape.ignoredBytes = size - pos;
    break;
  }
  if (v.kind == 0) return r.Refuse("a VOC file without sound");
  if (v.extendedPending) return r.Refuse("a VOC extended block without its data block");
  // Silences count in frames, samples in bytes of whole frames (a frame may straddle two blocks).
  SoundShape& s = r.shape;
  s.coding = kCodingInteger;
  s.sampleBytes = (int)v.bits / 8;
  s.unsignedSamples = v.bits == 8;
  s.frames = v.bytes / ((uint64_t)s.sampleBytes * v.channels);
  for (const SamplePiece& piece : v.pieces) s.frames += piece.silentFrames;
  s.pieces = std::move(v.pieces);
  return Accept(r, out, v.channels, v.bits == 16 ? AUDIO_S16LSB : AUDIO_U8, v.frequency);
}

// ---- Ogg Vorbis: a link opens with the identification header alone on its first page, then the
// comment header, which may run over several pages; libvorbis reads both as the decoder will. The setup
// header after them is not parsed: a minute of music must not cost more than a blip. Page checksums are
// verified on every page read.
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

// A whole page's stored checksum against the one computed with that field zeroed (restored after).
bool PageChecksumHolds(std::string* page) {
  std::string& whole = *page;
  char stored[4];
  memcpy(stored, &whole[22], 4);
  whole[22] = whole[23] = whole[24] = whole[25] = 0;
  uint32_t computed = OggCRC((const uint8_t*)whole.data(), whole.size());
  memcpy(&whole[22], stored, 4);
  return computed == ((uint8_t)stored[0] | (uint8_t)stored[1] << 8 | (uint8_t)stored[2] << 16 |
                      (uint32_t)(uint8_t)stored[3] << 24);
}

uint32_t OggSerial(const std::string& page) {
  return (uint8_t)page[14] | (uint8_t)page[15] << 8 | (uint8_t)page[16] << 16 | (uint32_t)(uint8_t)page[17] << 24;
}

int64_t OggGranule(const std::string& page) {
  uint64_t granule = 0;
  for (int i = 13; i >= 6; i--) granule = granule << 8 | (uint8_t)page[i];
  return (int64_t)granule;
}

// The page at `pos`, whole, when it lies inside the data and its checksum holds. `checked` counts the
// bytes whose checksum was computed.
bool WholeOggPage(ByteSource& source, uint64_t pos, std::string* page, uint64_t* checked = nullptr) {
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
  if (checked) *checked += page->size();
  return r.Bytes(pos, &(*page)[0], page->size()) && PageChecksumHolds(page);
}

// Hands a whole page to libogg's packet assembly.
int PageIn(ogg_stream_state* stream, std::string& page) {
  ogg_page og;
  size_t header = 27 + (uint8_t)page[26];
  og.header = (unsigned char*)&page[0];
  og.header_len = (long)header;
  og.body = (unsigned char*)&page[0] + header;
  og.body_len = (long)(page.size() - header);
  return ogg_stream_pagein(stream, &og);
}

struct OggLink {
  uint32_t serial = 0;
  int channels = 0;
  uint32_t rate = 0;
  uint64_t headersEnd = 0;   // the end of the page where the comment header ends
};

// The identification and comment headers of the link at `start`, read by libvorbis; whole pages of
// other streams grouped with them may come between, up to a bound.
bool ReadOggHeaders(ByteSource& source, uint64_t start, OggLink* link) {
  const int kOtherStreamPages = 32;
  std::string page;
  if (!WholeOggPage(source, start, &page)) return false;
  link->serial = OggSerial(page);
  ogg_stream_state stream;
  vorbis_info info;
  vorbis_comment comment;
  ogg_stream_init(&stream, (int)link->serial);
  vorbis_info_init(&info);
  vorbis_comment_init(&comment);
  ogg_packet packet;
  bool ok = PageIn(&stream, page) == 0 && ogg_stream_packetout(&stream, &packet) == 1 &&
            vorbis_synthesis_headerin(&info, &comment, &packet) == 0;
  uint64_t pos = start + page.size();
  for (int other = 0, got = 0; ok && got == 0; pos += page.size()) {
    ok = WholeOggPage(source, pos, &page);
    if (ok && OggSerial(page) != link->serial) {
      ok = ++other <= kOtherStreamPages;
      continue;
    }
    ok = ok && PageIn(&stream, page) == 0;
    got = ok ? ogg_stream_packetout(&stream, &packet) : 0;
    ok = ok && got >= 0 && (got == 0 || vorbis_synthesis_headerin(&info, &comment, &packet) == 0);
  }
  link->channels = info.channels;
  link->rate = (uint32_t)info.rate;
  link->headersEnd = pos;
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  ogg_stream_clear(&stream);
  return ok;
}

// The stream's last whole page with a granule position, looked for from the end backwards (only the
// tail is read): its granule (the sample frames the link holds) and where it ends. Damaged pages and
// other data in the tail are passed over, up to a bound of work, so a hostile tail costs little.
// `unreadable` tells a tail that could not be read.
bool OggLastPage(ByteSource& source, uint32_t serial, uint64_t headersEnd, int64_t* granule, uint64_t* pageEnd,
                 bool* unreadable) {
  const uint64_t size = source.Size(), kLargestWindow = 65536, kDamagedBytes = 4u << 20;
  const int kDamagedPages = 1024;
  uint64_t windowSize = 8192;   // a last page is seldom longer; the window grows when it is
  uint64_t checked = 0, damagedBytes = 0;
  int damaged = 0;
  std::string window, page;
  for (uint64_t end = size; end > headersEnd;) {
    uint64_t begin = end - std::min(end - headersEnd, windowSize);
    window.resize((size_t)(std::min(size, end + 3) - begin));   // a pattern may straddle `end`
    if (source.ReadAt(begin, &window[0], window.size()) != window.size()) {
      *unreadable = true;
      return false;
    }
    MemorySource inWindow(window.data(), window.size());
    for (size_t at = (size_t)(end - begin); at > 0;) {
      const void* capture = memrchr(window.data(), 'O', at);
      if (!capture) break;
      at = (size_t)((const char*)capture - window.data());
      if (at + 4 > window.size() || memcmp(window.data() + at, "OggS", 4) != 0) continue;
      // A page inside the window is checked there, without reading it again.
      uint64_t before = checked;
      if (!WholeOggPage(inWindow, at, &page, &checked) && !WholeOggPage(source, begin + at, &page, &checked)) {
        damagedBytes += checked - before;
        if (++damaged > kDamagedPages || damagedBytes > kDamagedBytes) return false;
        continue;
      }
      if (OggSerial(page) == serial && OggGranule(page) != -1) {
        *granule = OggGranule(page);
        *pageEnd = begin + at + page.size();
        return true;
      }
    }
    end = begin;
    windowSize = std::min(windowSize * 2, kLargestWindow);
  }
  return false;
}

// Channel orders of Vorbis streams of 1 to 8 channels.
const uint8_t kVorbisSpeakers[kMostChannels + 1][kMostChannels] = {
    {},
    {kFrontCenter},
    {kFrontLeft, kFrontRight},
    {kFrontLeft, kFrontCenter, kFrontRight},
    {kFrontLeft, kFrontRight, kBackLeft, kBackRight},
    {kFrontLeft, kFrontCenter, kFrontRight, kBackLeft, kBackRight},
    {kFrontLeft, kFrontCenter, kFrontRight, kBackLeft, kBackRight, kLowFrequency},
    {kFrontLeft, kFrontCenter, kFrontRight, kSideLeft, kSideRight, kBackCenter, kLowFrequency},
    {kFrontLeft, kFrontCenter, kFrontRight, kSideLeft, kSideRight, kBackLeft, kBackRight, kLowFrequency},
};

// The first link that holds audio is the one played (a link of headers alone may come first, as some
// tools write it). Its frames are its last page's claim; decoding stops at the end of that page, so
// what follows (damaged pages, other data, later links) costs nothing and is counted as ignored.
InfoResult OggInfo(Reader& r, sAudioType* out) {
  const int kLinksTried = 8;
  const uint64_t size = r.source.Size();
  OggLink first;
  uint64_t start = 0;
  for (int tried = 0; tried < kLinksTried; tried++) {
    OggLink link;
    if (!ReadOggHeaders(r.source, start, &link)) {
      if (tried == 0) return r.Refuse("damaged Ogg Vorbis headers");
      break;   // what follows a link without audio is no playable link
    }
    if (tried == 0) first = link;
    bool unreadable = false, found;
    int64_t granule = 0;
    uint64_t end = 0;
    found = OggLastPage(r.source, link.serial, link.headersEnd, &granule, &end, &unreadable);
    if (unreadable) return r.Refuse("the end of the Ogg file could not be read");
    if (found && granule > 0) {
      first = link;
      r.shape.frames = (uint64_t)granule;
      r.shape.streamStart = start;
      r.shape.streamEnd = end;
      r.shape.ignoredBytes = size - end;
      break;
    }
    if (!found || end >= size) break;
    start = end;
  }
  SoundShape& s = r.shape;
  s.coding = kCodingVorbis;
  if (first.channels >= 1 && first.channels <= kMostChannels) {
    memcpy(s.speakers, kVorbisSpeakers[first.channels], sizeof s.speakers);
    s.channels = first.channels;
  }
  return Accept(r, out, (uint32_t)first.channels, AUDIO_S16LSB, first.rate);   // Vorbis decodes to 16-bit samples
}

}  // namespace

namespace {

std::string limitText = "longer than the decoding limit of 3600 s of audio";
uint32_t limitSeconds = 3600;

InfoResult Finish(const Reader& r, InfoResult result, SoundShape* shape) {
  if (shape) {
    *shape = result == kInfoOk ? r.shape : SoundShape();
    shape->refusal = result == kInfoOk ? nullptr : r.refusal ? r.refusal : "a damaged header";
  }
  return result;
}

// What every sound and every piece of music must hold: at most the decoding limit, and at least one
// sample frame at the mixer's rate.
InfoResult Judge(Reader& r, InfoResult result, uint32_t mixerRate) {
  if (result != kInfoOk) return result;
  if (r.shape.frames > (uint64_t)limitSeconds * r.shape.rate) return r.Refuse(limitText.c_str());
  if (ResampledFrames(r.shape.frames, r.shape.rate, std::max<uint32_t>(mixerRate, 1)) < 1)
    return r.Refuse("too few samples to give the mixer one sample frame");
  return kInfoOk;
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

uint32_t DecodeLimitSeconds() { return limitSeconds; }

void SetDecodeLimitSeconds(uint32_t seconds) {
  limitSeconds = seconds;
  limitText = "longer than the decoding limit of " + std::to_string(seconds) + " s of audio";
}

uint64_t ResampledFrames(uint64_t frames, uint32_t rate, uint32_t mixerRate) {
  if (rate == mixerRate || rate == 0) return frames;
  unsigned __int128 scaled = (unsigned __int128)frames * mixerRate * 2 + rate;
  unsigned __int128 result = scaled / ((unsigned __int128)rate * 2);
  return result > UINT64_MAX ? UINT64_MAX : (uint64_t)result;
}

InfoResult SoundInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape, uint32_t mixerRate) {
  Reader r(source);
  InfoResult result = SoundKind(r, out);
  if (result == kInfoUnknown) r.refusal = "not a sound file of a kind the decoder knows";
  return Finish(r, Judge(r, result, mixerRate), shape);
}

InfoResult MusicInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape, uint32_t mixerRate) {
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
    if (Judge(r, OggInfo(r, &found), mixerRate) != kInfoOk) return Finish(r, kInfoFailed, shape);
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
