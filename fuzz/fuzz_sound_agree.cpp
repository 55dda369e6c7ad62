// Fuzzes the agreement of sound information and sound loading: the same bytes go through the
// information reader (in memory, as a file, as an archive block) and through the guarded loads with the
// mixer open. SoundInfo must report 1 exactly when SoundLoad loads, with channels, a sample format and
// a frequency, what loads must play, and nothing may crash; music the library decodes (Ogg Vorbis, WAV,
// AIFF) is loaded and played too, and plays exactly when its information says it is good.
// Information reads an Ogg Vorbis file's headers and its last page, never its audio: the one refusal it
// cannot foresee is audio that libvorbisfile itself decodes to nothing, which is checked apart.
// YDXFUZZ_MIXER="rate,format,channels" picks another mixer than 22050 Hz, S16, stereo; above 48000 Hz an
// hour of sound may not fit one chunk, so there only what loads must be informed of.
#include "FuzzSupport.h"
#include "60_SoundFX.h"
#include <algorithm>
#include <ftw.h>
#include <vorbis/vorbisfile.h>

namespace {

char directory[] = "/tmp/ydxfuzz-agree-XXXXXX";
std::string soundFile, archiveFile;
bool commonMixer = true;   // one that takes every sound the information reader accepts
uint32_t judgedRate = 22050;   // the rate short sounds are judged by with this mixer

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }
void RemoveDirectory() { nftw(directory, RemoveEntry, 4, FTW_DEPTH | FTW_PHYS); }

bool Write(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && written;
}

void RequireSane(const sAudioType& info, const char* what) {
  ydxfuzz::Require(info.channels > 0 && info.sampleformat != 0 && info.frequency > 0, what);
}

// Whether libvorbisfile alone decodes any sample frame from the Ogg link information chose, read as a
// stream up to the last whole page information found.
bool OggLinkDecodes(const std::vector<uint8_t>& bytes) {
  ydxsound::MemorySource memory(bytes.data(), bytes.size());
  ydxsound::SoundShape shape;
  sAudioType info;
  if (ydxsound::SoundInfoOf(memory, &info, &shape, judgedRate) != ydxsound::kInfoOk) return false;
  struct View {
    const uint8_t* at;
    size_t left;
    static size_t Read(void* out, size_t size, size_t count, void* self) {
      View* v = static_cast<View*>(self);
      size_t n = std::min(size * count, v->left);
      memcpy(out, v->at, n);
      v->at += n;
      v->left -= n;
      return size ? n / size : 0;
    }
  } view = {bytes.data() + shape.streamStart, (size_t)(shape.streamEnd - shape.streamStart)};
  OggVorbis_File file;
  if (ov_open_callbacks(&view, &file, NULL, 0, ov_callbacks{View::Read, NULL, NULL, NULL}) != 0) return false;
  float** pcm;
  int section;
  long got;
  while ((got = ov_read_float(&file, &pcm, 4096, &section)) == OV_HOLE) {
  }
  ov_clear(&file);
  return got > 0;
}

// Information and loading of one copy of the bytes; `archive` 0 for the plain file. `undecodable`: Ogg
// Vorbis audio that the decoder itself cannot decode, which loading alone finds.
void CheckAgreement(int archive, bool memoryVerdict, bool undecodable) {
  sAudioType info;
  memset(&info, 0, sizeof info);
  const char* name = archive ? "fuzz" : soundFile.c_str();
  int informed = ISoundFX->SoundInfo(archive, name, &info);
  ydxfuzz::Require(informed == memoryVerdict, "information from memory and from storage disagree");
  if (informed) RequireSane(info, "information without channels, sample format or frequency");
  int sound = archive ? ISoundFX->SoundLoad(archive, name) : ISoundFX->SoundLoad(name);
  ydxfuzz::Require(sound < 0 || informed == 1, "a sound loads that information refuses");
  ydxfuzz::Require(sound >= 0 || informed == 0 || !commonMixer || undecodable, "information and loading disagree");
  if (sound >= 0) ydxfuzz::Require(ISoundFX->SoundPlay(-1, sound, 0) >= 0, "a loaded sound the mixer will not play");
  ISoundFX->SoundFree(sound);
}

void CheckMusic(const uint8_t* data, bool soundVerdict) {
  bool ogg = memcmp(data, "OggS", 4) == 0;
  if (!ogg && memcmp(data, "RIFF", 4) != 0 && memcmp(data, "FORM", 4) != 0) return;   // modules are not ours
  sAudioType info;
  memset(&info, 0, sizeof info);
  int informed = ISoundFX->MusicInfo(0, soundFile.c_str(), &info);
  int music = ISoundFX->MusicLoad(soundFile.c_str());
  if (ogg) ydxfuzz::Require(music < 0 || informed == 1, "music loads that information refuses");
  if (ogg) ydxfuzz::Require(music >= 0 || informed == 0 || !commonMixer, "music information and loading disagree");
  if (music < 0) return;
  int played = ISoundFX->MusicPlay(music, 0);
  if (!ogg) ydxfuzz::Require((played >= 0) == soundVerdict || !commonMixer, "WAV or AIFF music plays against its information");
  ISoundFX->MusicStop();
  ISoundFX->MusicFree(music);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary(SDL_INIT_VIDEO | SDL_INIT_AUDIO);
  if (!mkdtemp(directory)) abort();
  atexit(RemoveDirectory);
  soundFile = std::string(directory) + "/fuzz.snd";
  archiveFile = std::string(directory) + "/fuzz.dpf";
  int rate = 22050, channels = 2;
  unsigned format = AUDIO_S16LSB;
  if (const char* mixer = getenv("YDXFUZZ_MIXER")) sscanf(mixer, "%d,%i,%d", &rate, &format, &channels);
  if (ISoundFX->Init(rate, (Uint16)format, channels, 1024) != 1) abort();
  commonMixer = rate <= 48000;
  judgedRate = (uint32_t)rate;   // SoundInfo judges short sounds at the open mixer's rate
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  // An exact-size copy, so the sanitizer sees any read past the end.
  std::vector<uint8_t> bytes(data, data + size);
  ydxsound::MemorySource memory(bytes.data(), bytes.size());
  sAudioType fromMemory;
  memset(&fromMemory, 0, sizeof fromMemory);
  bool memoryVerdict = ydxsound::SoundInfoOf(memory, &fromMemory, nullptr, judgedRate) == ydxsound::kInfoOk;
  if (memoryVerdict) RequireSane(fromMemory, "information without channels, sample format or frequency");

  if (!Write(soundFile, data, size)) return 0;
  bool undecodable = memoryVerdict && memcmp(data, "OggS", 4) == 0 && !OggLinkDecodes(bytes);
  CheckAgreement(0, memoryVerdict, undecodable);
  // Archive blocks reach the loader through a memory stream: every other input takes that road too.
  if (size % 2 && ydxfuzz::StoreBlock(archiveFile.c_str(), "SND", data, size)) {
    int archive = IStuffDPF->Open(archiveFile.c_str());
    if (archive > 0) {
      CheckAgreement(archive, memoryVerdict, undecodable);
      IStuffDPF->Close(archive);
    }
  }
  CheckMusic(data, memoryVerdict);
  remove(soundFile.c_str());
  remove(archiveFile.c_str());
  return 0;
}
