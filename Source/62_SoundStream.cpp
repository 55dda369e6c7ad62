// The sound service's one decode path: PCM, companded and float samples read here, ADPCM through SDL's
// WAV loader, Ogg Vorbis through libvorbisfile; then the channels spread over the mixer's speakers, the
// rate changed by libsoxr (SDL 1.2's own converter changes rates only by powers of two) and the samples
// written in the mixer's format. Memory follows what is decoded, never what a header claims.
#include "62_SoundStream.h"
#include <SDL.h>
#include <soxr.h>
#include <vorbis/vorbisfile.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace ydxsound {

bool OpenMixerSpec(MixerSpec* out) {
  int rate = 0, channels = 0;
  Uint16 format = 0;
  if (!Mix_QuerySpec(&rate, &format, &channels) || rate <= 0 || channels <= 0) return false;
  out->rate = (uint32_t)rate;
  out->format = format;
  out->channels = channels;
  return true;
}

namespace {

// ---- sources: a sound's frames as interleaved floats in its own channels and rate ----

class FrameSource {
 public:
  virtual ~FrameSource() {}
  bool cutShort = false;   // damaged data ended the sound early; what came before it was kept
  // Up to `frames` frames into `out`; 0 at the end, -1 when the data cannot be decoded (`failure` says why).
  virtual long Read(float* out, size_t frames) = 0;
  virtual bool Restart() = 0;
  const char* failure = nullptr;
};

int16_t ALawSample(uint8_t code) {
  code ^= 0x55;
  int magnitude = (code & 0x0F) << 4, segment = (code & 0x70) >> 4;
  magnitude = segment == 0 ? magnitude + 8 : ((magnitude + 0x108) << (segment - 1));
  return (int16_t)((code & 0x80) ? magnitude : -magnitude);
}

int16_t MuLawSample(uint8_t code) {
  code = (uint8_t)~code;
  int magnitude = (((code & 0x0F) << 3) + 0x84) << ((code & 0x70) >> 4);
  return (int16_t)((code & 0x80) ? 0x84 - magnitude : magnitude - 0x84);
}

// Integer, float and companded samples in the pieces the header check found; VOC silences give zeros.
class PcmSource : public FrameSource {
 public:
  PcmSource(ByteSource& bytes, const SoundShape& shape) : bytes(bytes), shape(shape) {
    frameBytes = (size_t)shape.sampleBytes * (size_t)shape.channels;
    if (shape.coding == kCodingALaw || shape.coding == kCodingMuLaw)
      for (int code = 0; code < 256; code++)
        companded[code] = (shape.coding == kCodingALaw ? ALawSample((uint8_t)code) : MuLawSample((uint8_t)code)) / 32768.0f;
  }
  bool Restart() override {
    piece = 0;
    offset = 0;
    carry = 0;
    framesLeft = shape.frames;
    return true;
  }
  long Read(float* out, size_t frames) override {
    frames = (size_t)std::min<uint64_t>(frames, framesLeft);
    size_t done = 0;
    while (done < frames && piece < shape.pieces.size()) {
      const SamplePiece& p = shape.pieces[piece];
      if (p.silentFrames) {
        size_t n = (size_t)std::min<uint64_t>(frames - done, p.silentFrames - offset);
        std::fill(out + done * shape.channels, out + (done + n) * shape.channels, 0.0f);
        done += n;
        Advance(n, p.silentFrames);
        continue;
      }
      size_t want = std::min<uint64_t>((frames - done) * frameBytes - carry, p.bytes - offset);
      raw.resize(carry + want);
      if (bytes.ReadAt(p.offset + offset, raw.data() + carry, want) != want) {
        failure = "the samples could not be read";
        return -1;
      }
      Advance(want, p.bytes);
      size_t whole = (carry + want) / frameBytes;
      Convert(raw.data(), whole * (size_t)shape.channels, out + done * shape.channels);
      done += whole;
      carry = carry + want - whole * frameBytes;   // a frame that runs on into the next piece
      memmove(raw.data(), raw.data() + whole * frameBytes, carry);
    }
    framesLeft -= done;
    return (long)done;
  }

 private:
  void Advance(uint64_t n, uint64_t pieceLength) {
    offset += n;
    if (offset < pieceLength) return;
    piece++;
    offset = 0;
  }
  void Convert(const uint8_t* in, size_t samples, float* out) const {
    const int width = shape.sampleBytes;
    if (shape.coding == kCodingInteger && width == 2 && !shape.bigEndian) {   // the usual WAV: one plain loop
      for (size_t i = 0; i < samples; i++) {
        int16_t sample;
        memcpy(&sample, in + 2 * i, 2);
        out[i] = sample * (1.0f / 32768.0f);
      }
      return;
    }
    for (size_t i = 0; i < samples; i++, in += width) {
      if (shape.coding == kCodingALaw || shape.coding == kCodingMuLaw) {
        out[i] = companded[*in];
      } else if (shape.coding == kCodingFloat) {
        double value = 0;
        if (width == 4) {
          float single;
          memcpy(&single, in, 4);
          value = single;
        } else {
          memcpy(&value, in, 8);
        }
        out[i] = std::isfinite(value) ? (float)value : 0.0f;
      } else {
        uint32_t word = 0;   // the sample in the top bits of a 32-bit word
        for (int b = 0; b < width; b++) word |= (uint32_t)in[shape.bigEndian ? b : width - 1 - b] << (24 - 8 * b);
        if (shape.unsignedSamples) word ^= 0x80000000u;
        out[i] = (float)(int32_t)word * (1.0f / 2147483648.0f);
      }
    }
  }
  ByteSource& bytes;
  const SoundShape& shape;
  size_t frameBytes = 1, piece = 0, carry = 0;
  uint64_t offset = 0, framesLeft = 0;
  std::vector<uint8_t> raw;
  float companded[256] = {};
};

// ADPCM: SDL's WAV loader decodes the blocks, a run of them at a time (so memory stays bounded), each
// run handed to it as a WAV file of the format chunk and those blocks alone (it walks chunks without the
// pad bytes other tools write).
class AdpcmSource : public FrameSource {
 public:
  AdpcmSource(ByteSource& bytes, const SoundShape& shape) : bytes(bytes), shape(shape) {
    format.resize((size_t)shape.formatLength);
    if (bytes.ReadAt(shape.formatChunk, &format[0], format.size()) == format.size())
      blockAlign = (uint8_t)format[12] | (uint8_t)format[13] << 8;
  }
  ~AdpcmSource() override { Release(); }
  bool Restart() override {
    Release();
    nextBlock = 0;
    return true;
  }
  long Read(float* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      if (next >= length / 2) {
        int decoded = DecodeRun();
        if (decoded < 0) {
          failure = "SDL's loader could not decode the ADPCM data";
          return -1;
        }
        if (decoded == 0) break;
      }
      const int16_t* run = reinterpret_cast<const int16_t*>(samples);
      size_t count = std::min<size_t>((frames - done) * shape.channels, length / 2 - next);
      for (size_t i = 0; i < count; i++) out[done * shape.channels + i] = run[next + i] * (1.0f / 32768.0f);
      next += count;
      done += count / shape.channels;
    }
    return (long)done;
  }

 private:
  void Release() {
    if (samples) SDL_FreeWAV(samples);
    samples = NULL;
    length = 0;
    next = 0;
  }
  // The next run of blocks; 0 after the last one, -1 when SDL refuses it.
  int DecodeRun() {
    Release();
    uint64_t blocks = blockAlign ? shape.pieces[0].bytes / blockAlign : 0;
    if (nextBlock >= blocks) return 0;
    uint64_t count = std::min<uint64_t>(std::max(1u, 65536u / blockAlign), blocks - nextBlock);
    std::string wav = "RIFF";
    auto le32 = [&wav](uint64_t v) {
      for (int i = 0; i < 4; i++) wav += (char)(v >> (8 * i));
    };
    le32(4 + 8 + format.size() + 8 + count * blockAlign);
    wav += "WAVEfmt ";
    le32(format.size());
    wav += format + "data";
    le32(count * blockAlign);
    size_t at = wav.size();
    wav.resize(at + count * blockAlign);
    if (bytes.ReadAt(shape.pieces[0].offset + nextBlock * blockAlign, &wav[at], count * blockAlign) != count * blockAlign)
      return -1;
    nextBlock += count;
    SDL_AudioSpec spec;
    SDL_RWops* stream = SDL_RWFromConstMem(wav.data(), (int)wav.size());
    if (!stream || !SDL_LoadWAV_RW(stream, 1, &spec, &samples, &length)) return -1;
    return spec.format == AUDIO_S16SYS && spec.channels == shape.channels ? 1 : -1;
  }
  ByteSource& bytes;
  const SoundShape& shape;
  std::string format;
  uint32_t blockAlign = 0;
  uint64_t nextBlock = 0;
  Uint8* samples = NULL;
  Uint32 length = 0;
  size_t next = 0;
};

// Ogg Vorbis through libvorbisfile, read as a stream (it neither seeks nor searches) over the link the
// header check chose, up to its last whole page. The link ends where another begins.
class VorbisSource : public FrameSource {
 public:
  VorbisSource(ByteSource& bytes, const SoundShape& shape) : bytes(bytes), shape(shape) {}
  ~VorbisSource() override { Close(); }
  bool Restart() override {
    Close();
    position = shape.streamStart;
    link = -1;
    finished = false;
    cutShort = false;
    ov_callbacks callbacks = {ReadBytes, NULL, NULL, NULL};
    open = ov_open_callbacks(this, &file, NULL, 0, callbacks) == 0;
    if (!open) failure = "libvorbisfile cannot read the stream's headers";
    return open;
  }
  // Fills `frames` where the stream allows: the resampler works best on long runs.
  long Read(float* out, size_t frames) override {
    if (!open) return -1;
    size_t done = 0;
    while (done < frames && !finished) {
      float** pcm = NULL;
      int section = 0;
      long got = ov_read_float(&file, &pcm, (int)std::min<size_t>(frames - done, 4096), &section);
      if (got == OV_HOLE) continue;   // a damaged or missing page: decoding goes on after it
      if (got < 0 && link < 0) {
        failure = "libvorbisfile cannot decode the stream";
        return -1;
      }
      if (got < 0) {   // what decoded before the damage is kept
        cutShort = true;
        finished = true;
        break;
      }
      vorbis_info* info = got > 0 ? ov_info(&file, -1) : NULL;
      if (!info || (link >= 0 && section != link) || info->channels != shape.channels ||
          (uint32_t)info->rate != shape.rate) {
        finished = true;   // the end, or the next link
        break;
      }
      link = section;
      Interleave(pcm, (size_t)got, out + done * shape.channels);
      done += (size_t)got;
    }
    return (long)done;
  }

 private:
  static size_t ReadBytes(void* buffer, size_t size, size_t count, void* self) {
    VorbisSource* s = static_cast<VorbisSource*>(self);
    uint64_t left = s->shape.streamEnd > s->position ? s->shape.streamEnd - s->position : 0;
    size_t want = (size_t)std::min<uint64_t>(left, (uint64_t)size * count);
    size_t got = s->bytes.ReadAt(s->position, buffer, want);
    s->position += got;
    return size ? got / size : 0;
  }
  void Close() {
    if (open) ov_clear(&file);
    open = false;
  }
  ByteSource& bytes;
  const SoundShape& shape;
  void Interleave(float** pcm, size_t frames, float* out) const {
    if (shape.channels == 2) {
      for (size_t i = 0; i < frames; i++) {
        out[2 * i] = pcm[0][i];
        out[2 * i + 1] = pcm[1][i];
      }
      return;
    }
    for (int c = 0; c < shape.channels; c++)
      for (size_t i = 0; i < frames; i++) out[i * shape.channels + c] = pcm[c][i];
  }
  OggVorbis_File file;
  bool open = false, finished = false;
  uint64_t position = 0;
  int link = -1;
};

std::unique_ptr<FrameSource> SourceFor(ByteSource& bytes, const SoundShape& shape) {
  switch (shape.coding) {
    case kCodingVorbis: return std::unique_ptr<FrameSource>(new VorbisSource(bytes, shape));
    case kCodingAdpcm: return std::unique_ptr<FrameSource>(new AdpcmSource(bytes, shape));
    default: return std::unique_ptr<FrameSource>(new PcmSource(bytes, shape));
  }
}

// ---- the way to the mixer: speakers, rate, sample format ----

// Where the mixer's channels play: SDL 1.2 hands 4 and 6 channels to the device as front pair, back
// pair, then centre and low frequency.
void MixerSpeakers(int channels, uint8_t* out) {
  static const uint8_t kSix[] = {kFrontLeft, kFrontRight, kBackLeft, kBackRight, kFrontCenter, kLowFrequency};
  if (channels == 1) out[0] = kFrontCenter;
  else for (int c = 0; c < channels && c < 6; c++) out[c] = kSix[c];
}

// The share of each source channel in each mixer channel: a speaker the mixer has plays there; one it
// lacks is folded into its neighbours, low frequency dropped; a mono mixer takes the average and a mono
// source plays on both front speakers. No mixer channel adds up to more than full scale.
std::vector<float> SpeakerMatrix(const SoundShape& shape, int mixerChannels) {
  uint8_t mixer[kMostChannels] = {};
  MixerSpeakers(mixerChannels, mixer);
  auto find = [&](int speaker) {
    for (int c = 0; c < mixerChannels; c++)
      if (mixer[c] == speaker) return c;
    return -1;
  };
  std::vector<float> weights((size_t)mixerChannels * shape.channels, 0.0f);
  auto add = [&](int speaker, int source, float gain) {
    int target = find(speaker);
    if (target >= 0) weights[(size_t)target * shape.channels + source] += gain;
    return target >= 0;
  };
  const float kHalfPower = 0.70710678f;
  for (int s = 0; s < shape.channels; s++) {
    int speaker = shape.speakers[s];
    if (mixerChannels == 1) {
      if (speaker != kLowFrequency) weights[s] = 1.0f;
    } else if (shape.channels == 1) {
      add(kFrontLeft, s, 1.0f);
      add(kFrontRight, s, 1.0f);
    } else if (add(speaker, s, 1.0f) || speaker == kLowFrequency) {
    } else if (speaker == kFrontCenter) {
      add(kFrontLeft, s, kHalfPower);
      add(kFrontRight, s, kHalfPower);
    } else if (speaker == kBackLeft || speaker == kSideLeft || speaker == kFrontLeftCenter) {
      add(kBackLeft, s, 1.0f) || add(kFrontLeft, s, kHalfPower);
    } else if (speaker == kBackRight || speaker == kSideRight || speaker == kFrontRightCenter) {
      add(kBackRight, s, 1.0f) || add(kFrontRight, s, kHalfPower);
    } else {
      if (!add(kBackLeft, s, kHalfPower) || !add(kBackRight, s, kHalfPower)) {
        add(kFrontLeft, s, 0.5f);
        add(kFrontRight, s, 0.5f);
      }
    }
  }
  for (int m = 0; m < mixerChannels; m++) {
    float sum = 0;
    for (int s = 0; s < shape.channels; s++) sum += weights[(size_t)m * shape.channels + s];
    if (sum > 1.0f)
      for (int s = 0; s < shape.channels; s++) weights[(size_t)m * shape.channels + s] /= sum;
  }
  return weights;
}

// A float already clipped to the 16-bit range, rounded to the nearest whole number (ties to even): added
// to 1.5 * 2^23, its low mantissa bits hold the result, without a call into the maths library per sample.
inline int32_t Rounded(float value) {
  float shifted = value + 12582912.0f;
  int32_t bits;
  memcpy(&bits, &shifted, 4);
  return bits - 0x4B400000;
}

// Floats to one of SDL 1.2's sample formats, rounded and clipped; in short runs through a local array,
// so that each loop stays simple enough for the compiler to vectorise.
void WriteSamples(const float* in, size_t count, Uint16 format, uint8_t* out) {
  const bool isSigned = format & 0x8000, swap = (format & 0x1000) != 0, wide = (format & 0xFF) != 8;
  const float scale = wide ? 32768.0f : 128.0f, high = scale - 1;
  const int32_t offset = isSigned ? 0 : (int32_t)scale;
  int32_t words[1024];
  for (size_t done = 0; done < count;) {
    size_t n = std::min<size_t>(count - done, 1024);
    for (size_t i = 0; i < n; i++) words[i] = Rounded(std::min(std::max(in[done + i] * scale, -scale), high)) + offset;
    if (!wide) {
      for (size_t i = 0; i < n; i++) out[done + i] = (uint8_t)words[i];
    } else {
      uint16_t packed[1024];
      for (size_t i = 0; i < n; i++) packed[i] = (uint16_t)words[i];
      if (swap)
        for (size_t i = 0; i < n; i++) packed[i] = (uint16_t)(packed[i] << 8 | packed[i] >> 8);
      memcpy(out + 2 * done, packed, 2 * n);
    }
    done += n;
  }
}

int SampleBytes(Uint16 format) { return (format & 0xFF) == 8 ? 1 : 2; }

// Resamplers kept for the next sound between the same rates: designing the filter for a ratio such as
// 48000 to 44100 Hz costs milliseconds, and games load many short sounds of one rate.
class ResamplerPool {
 public:
  ~ResamplerPool() {
    for (const Kept& k : kept) soxr_delete(k.resampler);
    kept.clear();
  }
  static soxr_t Take(uint32_t from, uint32_t to, unsigned channels) {
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = 0; i < kept.size(); i++) {
      if (kept[i].from != from || kept[i].to != to || kept[i].channels != channels) continue;
      soxr_t resampler = kept[i].resampler;
      kept.erase(kept.begin() + (long)i);
      soxr_clear(resampler);
      return resampler;
    }
    soxr_error_t error = NULL;
    soxr_t resampler = soxr_create(from, to, channels, &error, NULL, NULL, NULL);
    return error ? NULL : resampler;
  }
  static void Give(soxr_t resampler, uint32_t from, uint32_t to, unsigned channels) {
    const size_t kKept = 8;
    std::lock_guard<std::mutex> lock(mutex);
    kept.push_back(Kept{resampler, from, to, channels});
    if (kept.size() > kKept) {
      soxr_delete(kept.front().resampler);
      kept.erase(kept.begin());
    }
  }

 private:
  struct Kept {
    soxr_t resampler;
    uint32_t from, to;
    unsigned channels;
  };
  static std::mutex mutex;
  static std::vector<Kept> kept;
};
std::mutex ResamplerPool::mutex;
std::vector<ResamplerPool::Kept> ResamplerPool::kept;
ResamplerPool releasedAtExit;

// Floats appended at the back and handed out from the front; grown without zero-filling what is about to
// be written over.
class FloatQueue {
 public:
  size_t size() const { return length; }
  float* data() { return store.get(); }
  void resize(size_t n) {
    Reserve(n);
    length = n;
  }
  void append(const float* from, size_t n) {
    Reserve(length + n);
    if (n) memcpy(store.get() + length, from, n * sizeof(float));
    length += n;
  }
  void dropFront(size_t n) {
    memmove(store.get(), store.get() + n, (length - n) * sizeof(float));
    length -= n;
  }
  void clear() { length = 0; }

 private:
  void Reserve(size_t n) {
    if (n <= capacity) return;
    size_t grownCapacity = std::max(n, capacity * 2);
    std::unique_ptr<float[]> grown(new float[grownCapacity]);
    if (length) memcpy(grown.get(), store.get(), length * sizeof(float));
    store.swap(grown);
    capacity = grownCapacity;
  }
  std::unique_ptr<float[]> store;
  size_t length = 0, capacity = 0;
};

// A source on its way to the mixer: frames are pulled through the speaker matrix and the resampler (fewer
// channels go through the resampler: the matrix comes first when it narrows) into `ready`.
class MixerPipe {
 public:
  MixerPipe(ByteSource& bytes, const SoundShape& shape, uint32_t rate, int channels, Uint16 format)
      : shape(shape), rate(rate), channels(channels), format(format), source(SourceFor(bytes, shape)),
        matrix(SpeakerMatrix(shape, channels)) {
    mixFirst = channels <= shape.channels;
    identity = channels == shape.channels;
    for (int m = 0; m < channels && identity; m++)
      for (int c = 0; c < shape.channels; c++) identity = identity && matrix[(size_t)m * shape.channels + c] == (m == c);
    if (shape.rate != rate) resampler = ResamplerPool::Take(shape.rate, rate, Width());
  }
  ~MixerPipe() {
    if (resampler) ResamplerPool::Give(resampler, shape.rate, rate, Width());
  }
  bool Restart() {
    if (resampler) soxr_clear(resampler);
    ready.clear();
    readyAt = 0;
    ended = false;
    sourceFrames = 0;
    failure = nullptr;
    if (shape.rate != rate && !resampler) failure = "the resampler could not be set up";
    return !failure && source->Restart();
  }
  // Up to `frames` mixer frames in the mixer's format; fewer only at the end, -1 on failure.
  long Produce(uint8_t* out, size_t frames) {
    if (Ready() < frames && readyAt > 0) {   // what was handed out goes; fewer frames than asked stay
      ready.dropFront(readyAt * channels);
      readyAt = 0;
    }
    while (Ready() < frames && !ended)
      if (!Pull()) return -1;
    size_t n = std::min(frames, Ready());
    WriteSamples(ready.data() + readyAt * channels, n * channels, format, out);
    readyAt += n;
    return (long)n;
  }
  const char* Failure() const { return failure ? failure : source->failure; }
  bool CutShort() const { return source->cutShort; }
  uint64_t sourceFrames = 0;

 private:
  size_t Ready() const { return ready.size() / channels - readyAt; }
  unsigned Width() const { return (unsigned)(mixFirst ? channels : shape.channels); }   // channels resampled
  // One block of the source through the matrix and the resampler; at the source's end, the resampler's tail.
  bool Pull() {
    const size_t kBlock = 4096;
    input.resize(kBlock * shape.channels);
    long got = source->Read(input.data(), kBlock);
    if (got < 0) return false;
    sourceFrames += (uint64_t)got;
    const float* block = input.data();
    if ((mixFirst || !resampler) && !identity) {
      mixed.resize((size_t)got * channels);
      Mix(block, (size_t)got, mixed.data());
      block = mixed.data();
    }
    if (!resampler) {
      ready.append(block, (size_t)got * channels);
    } else if (!Resample(block, (size_t)got)) {
      return false;
    }
    if (got == 0) ended = true;
    return true;
  }
  void Mix(const float* in, size_t frames, float* out) const {
    for (size_t f = 0; f < frames; f++, in += shape.channels)
      for (int m = 0; m < channels; m++) {
        float sum = 0;
        const float* row = &matrix[(size_t)m * shape.channels];
        for (int s = 0; s < shape.channels; s++) sum += row[s] * in[s];
        *out++ = sum;
      }
  }
  // `frames` source frames (0: the end) through the resampler onto `ready` (through the matrix after it
  // when that widens).
  bool Resample(const float* in, size_t frames) {
    const int width = (int)Width();
    const bool direct = mixFirst || identity;
    size_t offered = 0;
    for (;;) {
      size_t room = (size_t)((double)(frames - offered) * rate / shape.rate) + 1024, used = 0, made = 0;
      size_t at = ready.size();
      float* out;
      if (direct) {
        ready.resize(at + room * width);
        out = ready.data() + at;
      } else {
        resampled.resize(room * width);
        out = resampled.data();
      }
      soxr_error_t error = soxr_process(resampler, frames ? in + offered * width : NULL, frames - offered, &used,
                                        out, room, &made);
      if (direct) ready.resize(at + made * width);
      if (error) {
        failure = "the resampler failed";
        return false;
      }
      offered += used;
      if (!direct) {
        ready.resize(at + made * channels);
        Mix(resampled.data(), made, ready.data() + at);
      }
      if (frames ? offered >= frames || (used == 0 && made == 0) : made == 0) return true;
    }
  }
  const SoundShape& shape;
  const uint32_t rate;
  const int channels;
  const Uint16 format;
  std::unique_ptr<FrameSource> source;
  std::vector<float> matrix, input, mixed, resampled;
  FloatQueue ready;
  size_t readyAt = 0;
  bool mixFirst = true, identity = false, ended = false;
  soxr_t resampler = NULL;
  const char* failure = nullptr;
};

// Grows a malloc'd buffer by at most 32 MB at a time: large blocks are remapped, not copied, so the
// memory a sound costs stays close to what it decodes to.
bool Grow(uint8_t** buffer, size_t* capacity, size_t needed) {
  if (needed <= *capacity) return true;
  size_t step = std::min<size_t>(std::max<size_t>(*capacity, 65536), 32u << 20);
  size_t wanted = std::max(needed, *capacity + step);
  uint8_t* grown = (uint8_t*)realloc(*buffer, wanted);
  if (!grown) return false;
  *buffer = grown;
  *capacity = wanted;
  return true;
}

}  // namespace

Mix_Chunk* DecodeChunk(ByteSource& bytes, const SoundShape& shape, const MixerSpec& mixer, std::string* why,
                       double* seconds, bool* cutShort) {
  MixerPipe pipe(bytes, shape, mixer.rate, mixer.channels, mixer.format);
  const size_t frameBytes = (size_t)SampleBytes(mixer.format) * mixer.channels;
  const uint64_t limitFrames = (uint64_t)DecodeLimitSeconds() * shape.rate;
  // Samples that are in the file (or VOC silences, counted as audio) are sized at once; an Ogg stream
  // only claims its length, so its buffer grows as it decodes.
  size_t capacity = 0, length = 0;
  uint8_t* buffer = NULL;
  uint64_t expected = ResampledFrames(shape.frames, shape.rate, mixer.rate);
  if (shape.coding != kCodingVorbis && expected < UINT32_MAX / frameBytes && !Grow(&buffer, &capacity, expected * frameBytes))
    *why = "out of memory";
  if (why->empty() && !pipe.Restart()) *why = pipe.Failure() ? pipe.Failure() : "the data cannot be decoded";
  while (why->empty()) {
    const size_t kStep = 65536;
    if (!Grow(&buffer, &capacity, length + kStep * frameBytes)) {
      *why = "out of memory";
      break;
    }
    long made = pipe.Produce(buffer + length, kStep);
    if (made < 0) {
      *why = pipe.Failure() ? pipe.Failure() : "the data cannot be decoded";
      break;
    }
    length += (size_t)made * frameBytes;
    if (pipe.sourceFrames > limitFrames) {
      *why = "it decodes to more than the decoding limit of " + std::to_string(DecodeLimitSeconds()) + " s of audio";
      break;
    }
    if (length > UINT32_MAX - kStep * frameBytes) {
      *why = "it is too long for one sound at the mixer's format";
      break;
    }
    if ((size_t)made < kStep) {
      if (length == 0) *why = "it decodes to no sample frame: its audio data is damaged";
      break;
    }
  }
  Mix_Chunk* chunk = why->empty() ? (Mix_Chunk*)malloc(sizeof(Mix_Chunk)) : NULL;
  if (!chunk) {
    if (why->empty()) *why = "out of memory";
    free(buffer);
    return NULL;
  }
  uint8_t* exact = (uint8_t*)realloc(buffer, length);
  chunk->allocated = 1;
  chunk->abuf = exact ? exact : buffer;
  chunk->alen = (Uint32)length;
  chunk->volume = MIX_MAX_VOLUME;
  *seconds = (double)pipe.sourceFrames / shape.rate;
  *cutShort = pipe.CutShort();
  return chunk;
}

// ---- music as a WAV stream ----

namespace {

const int kWavHeader = 44;

struct MusicStream {
  MemorySource bytes;
  SoundShape shape;
  MixerPipe pipe;
  std::string header;
  uint64_t dataBytes;
  int64_t position = 0;
  uint64_t produced = 0;   // data bytes the pipe has handed out since it started
  MusicStream(const char* data, size_t size, const SoundShape& s, const MixerSpec& mixer, Uint16 format)
      : bytes(data, size), shape(s), pipe(bytes, shape, mixer.rate, mixer.channels, format) {}
};

MusicStream* StreamOf(SDL_RWops* rw) { return static_cast<MusicStream*>(rw->hidden.unknown.data1); }

std::string WavHeader(const MixerSpec& mixer, int bits, uint64_t dataBytes) {
  std::string h;
  auto le = [&h](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) h += (char)(v >> (8 * i));
  };
  uint32_t frameBytes = (uint32_t)(bits / 8 * mixer.channels);
  h += "RIFF";
  le((uint32_t)(dataBytes + kWavHeader - 8), 4);
  h += "WAVEfmt ";
  le(16, 4);
  le(1, 2);
  le((uint32_t)mixer.channels, 2);
  le(mixer.rate, 4);
  le(mixer.rate * frameBytes, 4);
  le(frameBytes, 2);
  le((uint32_t)bits, 2);
  h += "data";
  le((uint32_t)dataBytes, 4);
  return h;
}

int StreamSeek(SDL_RWops* rw, int offset, int whence) {
  MusicStream* s = StreamOf(rw);
  int64_t base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? s->position : kWavHeader + (int64_t)s->dataBytes;
  s->position = std::max<int64_t>(0, base + offset);
  return (int)s->position;
}

// The data at the stream's position: decoded on from where the pipe stands, from the start again when
// the mixer went back (a loop, a rewind), silence past the decoder's end.
bool StreamData(MusicStream* s, uint8_t* out, size_t length) {
  uint64_t at = (uint64_t)(s->position - kWavHeader);
  if (at < s->produced) {
    if (!s->pipe.Restart()) return false;
    s->produced = 0;
  }
  const size_t frameBytes = (size_t)SampleBytes(s->header[34] == 8 ? AUDIO_U8 : AUDIO_S16LSB) * (uint8_t)s->header[22];
  uint8_t skipped[4096];
  while (s->produced < at) {   // the mixer skipped ahead: decode up to there
    size_t n = (size_t)std::min<uint64_t>(at - s->produced, sizeof skipped) / frameBytes;
    long made = n ? s->pipe.Produce(skipped, n) : -1;
    if (made <= 0) return false;
    s->produced += (uint64_t)made * frameBytes;
  }
  size_t done = 0;
  long made = s->pipe.Produce(out, length / frameBytes);
  if (made > 0) done = (size_t)made * frameBytes;
  memset(out + done, s->header[34] == 8 ? 0x80 : 0, length - done);
  s->produced += length;
  return true;
}

int StreamRead(SDL_RWops* rw, void* buffer, int size, int count) {
  MusicStream* s = StreamOf(rw);
  if (size <= 0 || count <= 0) return 0;
  int64_t end = kWavHeader + (int64_t)s->dataBytes;
  int64_t length = std::min<int64_t>((int64_t)size * count, std::max<int64_t>(0, end - s->position));
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  if (s->position < kWavHeader && length > 0) {
    done = std::min<int64_t>(length, kWavHeader - s->position);
    memcpy(out, s->header.data() + s->position, (size_t)done);
    s->position += done;
  }
  if (done < length) {
    size_t rest = (size_t)(length - done), frame = (size_t)(uint8_t)s->header[32];
    rest -= rest % frame;   // the mixer reads whole frames; a stray byte stays unread
    if (rest && !StreamData(s, out + done, rest)) memset(out + done, 0, rest);
    s->position += (int64_t)rest;
    done += (int64_t)rest;
  }
  return (int)(done / size);
}

int StreamWrite(SDL_RWops*, const void*, int, int) { return -1; }

int StreamClose(SDL_RWops* rw) {
  delete StreamOf(rw);
  SDL_FreeRW(rw);
  return 0;
}

}  // namespace

SDL_RWops* OpenMusicStream(const char* data, size_t size, const SoundShape& shape, const MixerSpec& mixer,
                           std::string* why) {
  // The WAV header can say 8-bit unsigned or 16-bit signed little-endian samples; the mixer turns them
  // into its own sign and byte order without touching the rate.
  int bits = SampleBytes(mixer.format) * 8;
  uint64_t frames = ResampledFrames(shape.frames, shape.rate, mixer.rate);
  uint64_t dataBytes = frames * (uint64_t)(bits / 8) * (uint64_t)mixer.channels;
  if (dataBytes > (uint64_t)INT_MAX - kWavHeader) {
    *why = "it is too long for a music stream at the mixer's format";
    return NULL;
  }
  std::unique_ptr<MusicStream> stream(
      new (std::nothrow) MusicStream(data, size, shape, mixer, bits == 8 ? AUDIO_U8 : AUDIO_S16LSB));
  SDL_RWops* rw = stream ? SDL_AllocRW() : NULL;
  if (!rw) {
    *why = "out of memory";
    return NULL;
  }
  if (!stream->pipe.Restart()) {
    *why = stream->pipe.Failure() ? stream->pipe.Failure() : "the data cannot be decoded";
    SDL_FreeRW(rw);
    return NULL;
  }
  stream->header = WavHeader(mixer, bits, dataBytes);
  stream->dataBytes = dataBytes;
  rw->seek = StreamSeek;
  rw->read = StreamRead;
  rw->write = StreamWrite;
  rw->close = StreamClose;
  rw->hidden.unknown.data1 = stream.release();
  return rw;
}

void RewindMusicStream(SDL_RWops* stream) {
  if (stream && stream->close == StreamClose) StreamOf(stream)->position = kWavHeader;
}

}  // namespace ydxsound
