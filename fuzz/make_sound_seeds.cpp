// Writes the seed corpora of fuzz_sound_info and fuzz_sound_export from the tests' generators:
//   g++ -std=c++17 -Itests/sound/assets fuzz/make_sound_seeds.cpp tests/sound/assets/SoundAssets.cpp \
//       $(pkg-config --cflags --libs vorbisenc vorbis ogg) -o /tmp/make_sound_seeds && /tmp/make_sound_seeds fuzz/corpus
#include "SoundAssets.h"
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "fuzz/corpus";
  std::string info = root + "/sound_info/", exportDir = root + "/sound_export/";
  mkdir(info.c_str(), 0755);
  mkdir(exportDir.c_str(), 0755);
  using namespace ydxsnd;
  struct Seed {
    const char* name;
    std::string bytes;
  } seeds[] = {
      {"wav8", Wav(8, 1, 11025, 40)},         {"wav16", Wav(16, 2, 22050, 40)},
      {"wavchunks", WavWithExtraChunks(8000)}, {"aiff16", Aiff(16, 2, 44100, 40)},
      {"aiff8", Aiff(8, 1, 22050, 40)},       {"voc8", Voc8(10000, 40)},
      {"voc16", Voc16(2, 16000, 40)},         {"ogg", OggVorbis(1, 8000, 0.05)},
      {"mod", ModModule()},                   {"xm", XmModule()},
      {"s3m", S3mStub()},                     {"it", ItStub()},
      {"short11", "0123456789A"},             {"magic-only", "RIFF"},
      {"empty", ""},                         {"aiff-loop", AiffWithChunkPointingBack()},
  };
  for (const Seed& s : seeds) Save(info + s.name, s.bytes);
  auto exportSeed = [&](const char* file, char music, const std::string& name, const std::string& body) {
    std::string field = name;
    field.resize(32, '\0');
    Save(exportDir + file, std::string(1, music) + field + body);
  };
  exportSeed("wav", 0, "boom", Wav(8, 1, 11025, 20));
  exportSeed("ogg-music", 1, "theme", OggVorbis(1, 8000, 0.05));
  exportSeed("mod-music", 1, "song", ModModule());
  exportSeed("traversal", 0, "../escape", Wav(8, 1, 11025, 20));
  exportSeed("separator", 0, "a/b", Wav(8, 1, 11025, 20));
  exportSeed("full-name", 0, std::string(32, 'n'), Wav(8, 1, 11025, 20));
  exportSeed("unknown", 0, "noise", "not a sound");
  return 0;
}
