// Internals of the sound service: recognising sound and music files from their headers (without
// decoding them), the file name an exported block gets, and read-only views of the slot tables.
#pragma once
#include <Yandorix.h>
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

namespace ydxsound {

// Random access to the bytes of a sound file: an archive block in memory or a file on disk.
class ByteSource {
 public:
  virtual ~ByteSource() {}
  virtual uint64_t Size() const = 0;
  // Copies up to `length` bytes from `offset`; the number copied (short only at the end).
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t length) = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : bytes((const uint8_t*)data), size(size) {}
  uint64_t Size() const override { return size; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t length) override;
 private:
  const uint8_t* bytes;
  size_t size;
};

// A file opened read-only; Ok() is false when it could not be opened or measured.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const char* path);
  ~FileSource() override;
  bool Ok() const { return fd >= 0; }
  uint64_t Size() const override { return size; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t length) override;
 private:
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  static const uint64_t kWindow = 8192;
  int fd = -1;
  uint64_t size = 0;
  std::string window;   // the file's first bytes, read on the first question
  bool windowRead = false;
};

// An SDL stream (a file or memory), read at offsets; it starts at offset 0 and its end is where
// seeking to the end lands. Size() is 0 when the stream cannot seek.
class StreamSource : public ByteSource {
 public:
  explicit StreamSource(SDL_RWops* stream);
  uint64_t Size() const override { return size; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t length) override;
 private:
  SDL_RWops* stream;
  uint64_t size = 0;
};

enum InfoResult { kInfoOk, kInfoUnknown, kInfoFailed };

// How a sound's samples are stored, as the header check found them: enough for the decoder to read
// them without looking at the header again, so information and loading cannot disagree on it.
enum SampleCoding { kCodingInteger, kCodingFloat, kCodingALaw, kCodingMuLaw, kCodingAdpcm, kCodingVorbis };
// Samples in the file (`bytes` from `offset`), or a pause of `silentFrames` (VOC silence blocks).
struct SamplePiece {
  uint64_t offset, bytes, silentFrames;
};
// Speaker positions, numbered as the WAV channel mask's bits (front left = 0, front right = 1, ...).
enum Speaker { kFrontLeft, kFrontRight, kFrontCenter, kLowFrequency, kBackLeft, kBackRight, kFrontLeftCenter,
               kFrontRightCenter, kBackCenter, kSideLeft, kSideRight, kOtherSpeaker };
const int kMostChannels = 8;

// What the header check learnt beyond the format record: why it refused, the sample frames the file
// holds (an Ogg stream's as its last page claims them), and where and how they are stored. Bytes after
// the sound that cannot belong to it (a VOC block that cannot continue it, damaged Ogg pages or other
// data after the stream's last whole page) are counted in `ignoredBytes`; the game is warned of them.
struct SoundShape {
  const char* refusal = nullptr;
  uint64_t frames = 0;
  uint32_t rate = 0;
  int channels = 0;
  uint8_t speakers[kMostChannels] = {};
  SampleCoding coding = kCodingInteger;
  int sampleBytes = 0;               // integer and float samples: bytes per sample
  bool bigEndian = false, unsignedSamples = false;
  std::vector<SamplePiece> pieces;   // PCM, in order; ADPCM: the data chunk
  uint64_t formatChunk = 0, formatLength = 0;   // ADPCM: the WAV format chunk's body
  uint64_t streamStart = 0, streamEnd = 0;      // Ogg: the link that is played, to its last whole page
  uint64_t ignoredBytes = 0;
};

// The one bound on decoded audio, in seconds of the source: a sound or a piece of music that holds or
// claims more is refused, and decoding stops there. Kept here so tests can lower it.
uint32_t DecodeLimitSeconds();
void SetDecodeLimitSeconds(uint32_t seconds);
// The frames a source of `frames` at `rate` gives at `mixerRate` once resampled (the resampler rounds
// to the nearest frame).
uint64_t ResampledFrames(uint64_t frames, uint32_t rate, uint32_t mixerRate);

// Sound files: WAV, AIFF (and 8SVX), Ogg Vorbis, VOC, told apart by their first four bytes. The format
// text is written as soon as the magic is known, also when the header then turns out to be bad.
// Channels and frequency are the file's; the sample format is the SDL code of the file's samples
// (beyond SDL 1.2's own codes: 0x8018/0x9018 24-bit, 0x8020/0x9020 32-bit, 0x8120 and 0x8140 float,
// little/big-endian as SDL marks them), signed 16-bit for Ogg Vorbis and ADPCM, which decode to it.
// kInfoOk also promises that the sound keeps at least one sample frame at `mixerRate` (the open
// mixer's, or the slowest usual one without a mixer) and stays within the decoding limit.
const uint32_t kSlowestMixerRate = 8000;
InfoResult SoundInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape = nullptr,
                       uint32_t mixerRate = kSlowestMixerRate);
const uint32_t kLowestRate = 1000, kHighestRate = 384000;
// Music files: Ogg Vorbis by its header (held to the same rules as sounds); modules (IT, XM, S3M, MOD)
// by their signatures only.
InfoResult MusicInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape = nullptr,
                       uint32_t mixerRate = kSlowestMixerRate);

// The file name an export without a target gets: the block name (at most 31 of its 32 bytes) plus "."
// and the format text. False for a name that is empty or could leave the working directory.
bool ExportFileName(const char* blockname, const char* format, std::string* out);

// Read-only views of the slot tables, for checks from outside the service.
struct MusicSlotView {
  int used, kind, loaded;
  bool player, source, data;
};
bool ViewMusicSlot(int music, MusicSlotView* out);   // false for a handle outside 0..31
int UsedSoundSlots();
int UsedMusicSlots();

}  // namespace ydxsound
