// Format information of a one-minute Ogg Vorbis file: SoundInfo and MusicInfo read its headers only,
// against decoding the whole file (libvorbisfile) and against merely reading the file. Loading a minute
// of 48000 Hz stereo Ogg Vorbis and WAV on a 44100 Hz mixer, against the same decoding and libsoxr alone,
// and the music stream of that Ogg Vorbis minute against its decoding alone.
#include "Ratio.h"
#include "SoundAssets.h"
#include "62_SoundStream.h"
#include <Yandorix.h>
#include <soxr.h>
#include <vorbis/vorbisfile.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kFile[] = "minute.ogg";

bool Ready() {
  static int state = 0;
  if (state) return state > 0;
  state = -1;
  if (Yandorix.Init(SDL_INIT_TIMER) != 1) return false;
  std::string ogg = ydxsnd::OggVorbis(2, 44100, 60.0, 0.0f);
  if (ogg.empty() || !ydxsnd::Save(kFile, ogg)) return false;
  state = 1;
  return true;
}

void SoundInfo(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no test file");
  sAudioType info;
  for (auto _ : state) {
    if (ISoundFX->SoundInfo(0, kFile, &info) != 1) return state.SkipWithError("SoundInfo failed");
    benchmark::DoNotOptimize(info);
  }
}

void MusicInfo(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no test file");
  sAudioType info;
  for (auto _ : state) {
    if (ISoundFX->MusicInfo(0, kFile, &info) != 1) return state.SkipWithError("MusicInfo failed");
    benchmark::DoNotOptimize(info);
  }
}

// What a decode-to-learn-the-format costs: every sample of the minute.
void FullDecode(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no test file");
  static char pcm[65536];
  for (auto _ : state) {
    OggVorbis_File vf;
    if (ov_fopen(kFile, &vf) != 0) return state.SkipWithError("ov_fopen failed");
    int section;
    long total = 0, got;
    while ((got = ov_read(&vf, pcm, sizeof pcm, 0, 2, 1, &section)) > 0) total += got;
    ov_clear(&vf);
    benchmark::DoNotOptimize(total);
  }
}

void PlainRead(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no test file");
  static char buffer[65536];
  for (auto _ : state) {
    FILE* file = fopen(kFile, "rb");
    if (!file) return state.SkipWithError("fopen failed");
    size_t total = 0, got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) total += got;
    fclose(file);
    benchmark::DoNotOptimize(total);
  }
}

// ---- loading and streaming at another rate ----

const char kOgg48[] = "minute48.ogg", kWav48[] = "minute48.wav";
// A minute of music at the quality games usually ship (about 128 kbit/s).
const double kOggSeconds = 60.0;
const float kMusicQuality = 0.4f;

std::string music48;   // the bytes of kOgg48

bool MixerReady() {
  static int state = 0;
  if (state) return state > 0;
  state = -1;
  if (!Ready()) return false;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  music48 = ydxsnd::OggVorbis(2, 48000, kOggSeconds, kMusicQuality, 0x59445831, true);
  if (music48.empty() || !ydxsnd::Save(kOgg48, music48) || !ydxsnd::Save(kWav48, ydxsnd::Wav(16, 2, 48000, 48000 * 60)))
    return false;
  if (ISoundFX->Init(44100, AUDIO_S16LSB, 2, 1024) != 1) return false;
  state = 1;
  return true;
}

void Load(benchmark::State& state, const char* file) {
  if (!MixerReady()) return state.SkipWithError("no mixer or test file");
  for (auto _ : state) {
    int sound = ISoundFX->SoundLoad(file);
    if (sound < 0) return state.SkipWithError("SoundLoad failed");
    ISoundFX->SoundFree(sound);
  }
}

// The resampler alone: 48000 Hz stereo floats to 44100 Hz, fed in blocks of 4096 frames as the loader
// feeds it, into a buffer sized for the whole minute.
struct Resampler {
  soxr_t soxr = soxr_create(48000, 44100, 2, NULL, NULL, NULL, NULL);
  std::vector<float> out = std::vector<float>((44100 * 61) * 2);
  size_t total = 0;
  ~Resampler() { soxr_delete(soxr); }
  void Feed(const float* in, size_t frames) {
    size_t used = 0, made = 0;
    for (size_t offered = 0; offered < frames; offered += used) {
      size_t block = std::min<size_t>(4096, frames - offered);
      soxr_process(soxr, in + offered * 2, block, &used, &out[total * 2], out.size() / 2 - total, &made);
      total += made;
    }
  }
  void Flush() {
    size_t made = 0;
    do {
      soxr_process(soxr, NULL, 0, NULL, &out[total * 2], out.size() / 2 - total, &made);
      total += made;
    } while (made > 0);
  }
};

void DecodeAndResampleOgg(benchmark::State& state) {
  if (!MixerReady()) return state.SkipWithError("no test file");
  std::vector<float> interleaved;
  for (auto _ : state) {
    OggVorbis_File vf;
    if (ov_fopen(kOgg48, &vf) != 0) return state.SkipWithError("ov_fopen failed");
    Resampler resampler;
    float** pcm;
    int section;
    long got;
    while ((got = ov_read_float(&vf, &pcm, 4096, &section)) > 0) {
      interleaved.resize((size_t)got * 2);
      for (long i = 0; i < got; i++) {
        interleaved[i * 2] = pcm[0][i];
        interleaved[i * 2 + 1] = pcm[1][i];
      }
      resampler.Feed(interleaved.data(), (size_t)got);
    }
    resampler.Flush();
    ov_clear(&vf);
    benchmark::DoNotOptimize(resampler.total);
  }
}

void ReadAndResampleWav(benchmark::State& state) {
  if (!MixerReady()) return state.SkipWithError("no test file");
  int16_t samples[4096 * 2];
  float floats[4096 * 2];
  for (auto _ : state) {
    FILE* file = fopen(kWav48, "rb");
    if (!file) return state.SkipWithError("fopen failed");
    fseek(file, 44, SEEK_SET);
    Resampler resampler;
    size_t got;
    while ((got = fread(samples, 4, 4096, file)) > 0) {
      for (size_t i = 0; i < got * 2; i++) floats[i] = samples[i] * (1.0f / 32768.0f);
      resampler.Feed(floats, got);
    }
    fclose(file);
    resampler.Flush();
    benchmark::DoNotOptimize(resampler.total);
  }
}

// The music player's reads of the stream, in pieces of one mixer buffer, against decoding alone.
void MusicStream(benchmark::State& state) {
  if (!MixerReady()) return state.SkipWithError("no mixer or test file");
  const std::string& data = music48;
  ydxsound::MemorySource memory(data.data(), data.size());
  ydxsound::SoundShape shape;
  ydxsound::MixerSpec mixer;
  sAudioType info;
  if (ydxsound::MusicInfoOf(memory, &info, &shape, 44100) != ydxsound::kInfoOk || !ydxsound::OpenMixerSpec(&mixer))
    return state.SkipWithError("no music");
  static char buffer[4096];
  for (auto _ : state) {
    std::string why;
    SDL_RWops* stream = ydxsound::OpenMusicStream(data.data(), data.size(), shape, mixer, &why);
    if (!stream) return state.SkipWithError("no stream");
    SDL_RWseek(stream, 44, RW_SEEK_SET);
    long total = 0;
    while (SDL_RWread(stream, buffer, sizeof buffer, 1) == 1) total++;
    SDL_RWclose(stream);
    benchmark::DoNotOptimize(total);
  }
}

// Bytes in memory read as a stream, as the music stream reads them.
struct InMemory {
  const std::string* data;
  size_t at;
  static size_t Read(void* buffer, size_t size, size_t count, void* self) {
    InMemory* m = static_cast<InMemory*>(self);
    size_t n = std::min(size * count, m->data->size() - m->at);
    memcpy(buffer, m->data->data() + m->at, n);
    m->at += n;
    return n / size;
  }
};

void DecodeOggInMemory(benchmark::State& state) {
  if (!MixerReady()) return state.SkipWithError("no test file");
  const std::string& data = music48;
  for (auto _ : state) {
    OggVorbis_File vf;
    InMemory source = {&data, 0};
    if (ov_open_callbacks(&source, &vf, NULL, 0, ov_callbacks{InMemory::Read, NULL, NULL, NULL}) != 0)
      return state.SkipWithError("ov_open failed");
    float** pcm;
    int section;
    long got, total = 0;
    while ((got = ov_read_float(&vf, &pcm, 4096, &section)) > 0) total += got;
    ov_clear(&vf);
    benchmark::DoNotOptimize(total);
  }
}

int registered = [] {
  benchmark::RegisterBenchmark("ours/sound_info_ogg60", SoundInfo);
  benchmark::RegisterBenchmark("ours/music_info_ogg60", MusicInfo);
  benchmark::RegisterBenchmark("vorbisfile/full_decode_ogg60", FullDecode);   // one unit for every row: the ratios compare raw times
  benchmark::RegisterBenchmark("libc/read_ogg60", PlainRead);
  ydxbench::Ratio("ours/sound_info_ogg60", "vorbisfile/full_decode_ogg60");
  ydxbench::Ratio("ours/sound_info_ogg60", "libc/read_ogg60");
  ydxbench::Ratio("ours/music_info_ogg60", "libc/read_ogg60");
  benchmark::RegisterBenchmark("ours/sound_load_ogg60_48k", Load, kOgg48);
  benchmark::RegisterBenchmark("vorbisfile+soxr/ogg60_48k", DecodeAndResampleOgg);
  benchmark::RegisterBenchmark("ours/sound_load_wav60_48k", Load, kWav48);
  benchmark::RegisterBenchmark("read+soxr/wav60_48k", ReadAndResampleWav);
  benchmark::RegisterBenchmark("ours/music_stream_ogg60_48k", MusicStream);
  benchmark::RegisterBenchmark("vorbisfile/decode_ogg60_48k", DecodeOggInMemory);
  ydxbench::Ratio("ours/sound_load_ogg60_48k", "vorbisfile+soxr/ogg60_48k");
  ydxbench::Ratio("ours/sound_load_wav60_48k", "read+soxr/wav60_48k");
  ydxbench::Ratio("ours/music_stream_ogg60_48k", "vorbisfile/decode_ogg60_48k");
  return 0;
}();

}  // namespace

YDX_BENCH_MAIN()
