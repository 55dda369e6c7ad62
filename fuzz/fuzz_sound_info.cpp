// Fuzzes the sound and music format detection and header reading: any bytes, in memory or as a file,
// give "unknown", a refusal or a known format with sane fields, never a read past their end.
#include "FuzzSupport.h"
#include "60_SoundFX.h"
#include <vector>

namespace {

bool KnownText(const char* format, const char* const* texts) {
  for (; *texts; texts++)
    if (strcmp(format, *texts) == 0) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kSounds[] = {"WAV", "AIFF", "OGG", "VOC", NULL};
  static const char* const kMusic[] = {"OGG", "IT", "XM", "S3M", "MOD", NULL};
  // An exact-size copy, so the sanitizer sees any read past the end.
  std::vector<uint8_t> bytes(data, data + size);
  ydxsound::MemorySource memory(bytes.data(), bytes.size());
  sAudioType sound, music;
  memset(&sound, 0, sizeof sound);
  memset(&music, 0, sizeof music);
  ydxsound::InfoResult s = ydxsound::SoundInfoOf(memory, &sound);
  ydxsound::InfoResult m = ydxsound::MusicInfoOf(memory, &music);
  ydxfuzz::Require(s != ydxsound::kInfoOk || KnownText(sound.format, kSounds), "sound format text");
  ydxfuzz::Require(s != ydxsound::kInfoOk || (sound.channels > 0 && sound.sampleformat != 0),
                   "sound without channels or sample format");
  ydxfuzz::Require(m != ydxsound::kInfoOk || KnownText(music.format, kMusic), "music format text");
  ydxfuzz::Require(size < 12 || m != ydxsound::kInfoUnknown, "music of 12 bytes or more always has a kind");
  ydxfuzz::Require(size >= 12 || m == ydxsound::kInfoUnknown, "short music files are unknown");
  ydxfuzz::Require(sound.format[4] == 0 && music.format[4] == 0, "format text unterminated");

  // The same bytes through the file form of the public operations.
  FILE* file = fopen("fuzz.snd", "wb");
  if (!file) return 0;
  fwrite(data, 1, size, file);
  fclose(file);
  sAudioType viaFile;
  memset(&viaFile, 0, sizeof viaFile);
  int soundResult = ISoundFX->SoundInfo(0, "fuzz.snd", &viaFile);
  ydxfuzz::Require(soundResult == (s == ydxsound::kInfoOk), "file and memory disagree (sound)");
  ydxfuzz::Require(!soundResult || viaFile.length == size, "sound length");
  int musicResult = ISoundFX->MusicInfo(0, "fuzz.snd", &viaFile);
  ydxfuzz::Require(musicResult == (m == ydxsound::kInfoOk), "file and memory disagree (music)");
  remove("fuzz.snd");
  return 0;
}
