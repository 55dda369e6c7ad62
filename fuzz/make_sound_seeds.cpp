// Writes the seed corpora of fuzz_sound_info, fuzz_sound_export and fuzz_sound_agree from the tests'
// generators:
//   g++ -std=c++17 -Itests/sound/assets fuzz/make_sound_seeds.cpp tests/sound/assets/SoundAssets.cpp \
//       $(pkg-config --cflags --libs vorbisenc vorbis ogg) -o /tmp/make_sound_seeds && /tmp/make_sound_seeds fuzz/corpus
#include "SoundAssets.h"
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace {

// An Ogg file whose last page claims `granule` frames, or whose vendor string claims `vendor` bytes.
std::string OggClaiming(uint64_t granule, uint32_t vendor) {
  std::vector<std::string> pages = ydxsnd::OggPages(ydxsnd::OggVorbis(1, 8000, 0.05));
  if (granule)
    for (int i = 0; i < 8; i++) pages.back()[6 + i] = (char)(granule >> (8 * i));
  size_t at = pages[1].find("\x03vorbis") + 7;
  if (vendor)
    for (int i = 0; i < 4; i++) pages[1][at + i] = (char)(vendor >> (8 * i));
  return ydxsnd::ResealOggPages(pages);
}

}  // namespace

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "fuzz/corpus";
  std::string info = root + "/sound_info/", exportDir = root + "/sound_export/", agree = root + "/sound_agree/";
  mkdir(info.c_str(), 0755);
  mkdir(exportDir.c_str(), 0755);
  mkdir(agree.c_str(), 0755);
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
  // Every kind the loaders decode, and shapes next to those they cannot survive.
  WavFields noChannels, floats;
  noChannels.channels = 0;
  floats.encoding = 3;
  floats.bits = 32;
  floats.blockAlign = 4;
  WavFields f24, ext, law;
  f24.bits = 24;
  f24.blockAlign = 3;
  std::string wav24 = WavOf(f24, std::string(60, '\x21'));
  ext.encoding = 0xFFFE;   // extensible: 6 channels of 16-bit PCM at their usual places
  ext.channels = 6;
  ext.blockAlign = 12;
  ext.extra = std::string("\x16\0\x10\0\x3f\0\0\0\x01\0\0\0\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71", 24);
  std::string extensible = WavOf(ext, std::string(120, '\x05'));
  law.encoding = 6;
  law.bits = 8;
  law.blockAlign = 1;
  std::string alaw = WavOf(law, std::string(40, '\xd5'));
  std::string junkPad = Wav(16, 1, 8000, 20);
  junkPad.insert(12, std::string("JUNK\x09\0\0\0" "123456789\0", 18));
  junkPad[4] = (char)(junkPad[4] + 18);
  std::string soxVoc16 = Voc16(1, 8000, 40);
  soxVoc16[27] = (char)(soxVoc16[27] - 8);   // a block length 8 short of its data, as one tool writes it
  Seed agreeSeeds[] = {
      {"wav8", Wav(8, 1, 11025, 40)},          {"wav16", Wav(16, 2, 22050, 40)},
      {"ms-adpcm", WavAdpcm(true, 1, 22050, 2, 64)},
      {"ima-adpcm", WavAdpcm(false, 2, 8000, 2, 64)},
      {"no-channels", WavOf(noChannels, std::string(40, '\x10'))},
      {"float", WavOf(floats, std::string(40, '\0'))},
      {"aiff16", Aiff(16, 2, 44100, 40)},       {"8svx", Svx8(8363, 41)},
      {"voc8", Voc8(10000, 40)},
      {"voc8-stereo", Voc8Stereo(11025, 40)},   {"voc16-pieces", VocContinued(16000, 60, 3)},
      {"voc16-short-length", soxVoc16},        {"ogg", OggVorbis(1, 8000, 0.05)},
      {"voc16-sox-trailer", Voc16(2, 22050, 40) + std::string("\x02\x04\x01\x01\x10\x20\x30\x40", 8)},
      {"voc16-sox-past-the-end", Voc16AsSox(2, 22050, 40, std::string("\x2f\xa7\x8a\xb2\x33\xc6\xf5\xe1", 8))},
      {"voc16-sox-empty-block", Voc16AsSox(1, 22050, 40, std::string("\1\0\0\0\xff\xff\0\0", 8))},
      {"ogg-headers-only", OggVorbis(2, 44100, 0)},
      {"ogg-one-frame", OggVorbis(2, 44100, 1.5 / 44100)},
      // Headers that claim what the file does not hold, and shapes only the library's own decoder reads.
      {"ogg-claims-500m-frames", OggClaiming(500000000, 0)},
      {"ogg-granule-near-2-63", OggClaiming(0x7FFFFFFFFFFFFF00ull, 0)},
      {"ogg-vendor-4gb", OggClaiming(0, 0xFFFFFFFFu)},
      {"ogg-empty-first-link", OggVorbis(1, 8000, 0) + OggVorbis(1, 8000, 0.05, 0, 7)},
      {"ogg-junk-after", OggVorbis(1, 8000, 0.05) + std::string(300, 'j')},
      {"voc8-silences", Voc8(8000, 10).substr(0, Voc8(8000, 10).size() - 1) +
                            std::string("\x03\x03\0\0\xff\x0f\x83\x03\x03\0\0\xff\x01\x83\0", 15)},
      {"wav24", wav24},
      {"wav-extensible-6", extensible},
      {"wav-alaw", alaw},
      {"aiff16-6", Aiff(16, 6, 22050, 20)},
      {"wav-junk-pad", junkPad},
  };
  for (const Seed& s : agreeSeeds) Save(agree + s.name, s.bytes);
  return 0;
}
