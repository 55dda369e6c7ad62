// Format information of a one-minute Ogg Vorbis file: SoundInfo and MusicInfo read its headers only,
// against decoding the whole file (libvorbisfile) and against merely reading the file.
#include "Ratio.h"
#include "SoundAssets.h"
#include <Yandorix.h>
#include <vorbis/vorbisfile.h>
#include <cstdio>
#include <string>

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

int registered = [] {
  benchmark::RegisterBenchmark("ours/sound_info_ogg60", SoundInfo);
  benchmark::RegisterBenchmark("ours/music_info_ogg60", MusicInfo);
  benchmark::RegisterBenchmark("vorbisfile/full_decode_ogg60", FullDecode);   // one unit for every row: the ratios compare raw times
  benchmark::RegisterBenchmark("libc/read_ogg60", PlainRead);
  ydxbench::Ratio("ours/sound_info_ogg60", "vorbisfile/full_decode_ogg60");
  ydxbench::Ratio("ours/sound_info_ogg60", "libc/read_ogg60");
  ydxbench::Ratio("ours/music_info_ogg60", "libc/read_ogg60");
  return 0;
}();

}  // namespace

YDX_BENCH_MAIN()
