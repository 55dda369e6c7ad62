// Internals of the sound service: recognising sound and music files from their headers (without
// decoding them), the file name an exported block gets, and read-only views of the slot tables.
#pragma once
#include <Yandorix.h>
#include <stddef.h>
#include <stdint.h>
#include <string>

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

// What the header check learnt beyond the format record: why it refused, how many bytes of samples
// the loader will make, and where the sound ends when bytes follow that the loader must not see: the
// loader then gets the bytes up to there and a VOC terminator (0 when it may read the data as it is).
// `ignoredBytes` counts the bytes after the sound that looked like more of it but could not be (the
// game is warned); a terminator and what follows it are not counted.
struct SoundShape {
  const char* refusal = nullptr;
  uint64_t decodedBytes = 0;
  uint64_t soundEnd = 0;
  uint64_t ignoredBytes = 0;
};

// Sound files: WAV, AIFF (and 8SVX), Ogg Vorbis, VOC, told apart by their first four bytes. The format
// text is written as soon as the magic is known, also when the header then turns out to be bad.
// Channels, sample format and frequency are the values SDL's and SDL_mixer's loaders report.
// kInfoOk also promises that the mixer's loader takes the data without harm and turns it into a chunk
// with at least one sample frame (the mixer plays no other) for any mixer of 1, 2, 4 or 6 channels
// between `mixerRate` and 48000 Hz, given the data up to the shape's end: SDL's loaders and converter
// crash or loop on some shapes (no channels, a rate of 0, ADPCM blocks of size 0, ...), so only data
// that passes this check is ever handed to them.
// A sound must keep at least one sample frame at the mixer's rate once converted (each halving of
// the rate halves the frames): `mixerRate` is the open mixer's, or the slowest usual one without a mixer.
const uint32_t kSlowestMixerRate = 8000;
InfoResult SoundInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape = nullptr,
                       uint32_t mixerRate = kSlowestMixerRate);
// The channel counts and rates accepted by that check: those SDL's converter turns into any such mixer.
bool ChannelsConvertible(int channels);
const uint32_t kLowestRate = 1000, kHighestRate = 384000;
// Music files: Ogg Vorbis by its header (held to the same channel and rate rules as sounds); modules
// (IT, XM, S3M, MOD) by their signatures only.
InfoResult MusicInfoOf(ByteSource& source, sAudioType* out, SoundShape* shape = nullptr);

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
