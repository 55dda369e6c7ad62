// The sound service: opens SDL_mixer from the main object's audio settings, keeps loaded sounds and
// music in two process-wide slot tables, plays them on mixer channels, and moves sound and music
// files in and out of archives as "SND"/"MUS" blocks.
#include "01_Main.h"
#include "00_Platform.h"
#include "60_SoundFX.h"
#include "62_SoundStream.h"
#include <SDL_mixer.h>
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace {

enum { kSoundSlots = 256, kMusicSlots = 32 };
enum { kMusicOgg = 0, kMusicModule = 1 };

// One music slot. The file data stays for as long as the slot is used: an Ogg Vorbis player streams
// from it, and a module's player is re-created from it each time the module is played again. WAV and
// AIFF data kept as module data is played through a decoding stream of its own (`decoder`).
struct sMusicEntry {
  Sint16 used;
  Uint8 kind;
  Uint8 loaded;          // modules: the player exists now
  Mix_Music* music;      // the player; NULL while a module is not loaded
  SDL_RWops* source;     // Ogg Vorbis: the decoding stream the player reads; modules: memory stream over `data`
  SDL_RWops* decoder;    // WAV or AIFF kept as module data: the decoding stream its player reads
  char* data;            // new[]-allocated file bytes, owned by the slot
  int size;
};

Mix_Chunk* soundTable[kSoundSlots];
sMusicEntry musicTable[kMusicSlots];
int lastPlayed = -1;   // the slot MusicPlay or MusicFadeIn started last

const char* Text(const char* s) { return s ? s : "(null)"; }

const char* ArchiveName(int handle) {
  const char* name = IStuffDPF ? IStuffDPF->GetFilename(handle) : NULL;
  return Text(name);
}

unsigned Address(const void* p) { return (unsigned)(uintptr_t)p; }

bool ValidSound(int sound) { return sound >= 0 && sound < kSoundSlots && soundTable[sound]; }
bool ValidMusic(int music) { return music >= 0 && music < kMusicSlots && musicTable[music].used; }

// A module's player and, for WAV or AIFF data, the stream it reads.
void ReleasePlayer(sMusicEntry& entry) {
  if (entry.music) Mix_FreeMusic(entry.music);
  if (entry.decoder) SDL_RWclose(entry.decoder);
  entry.music = NULL;
  entry.decoder = NULL;
  entry.loaded = 0;
}

void ReleaseMusic(sMusicEntry& entry) {
  ReleasePlayer(entry);
  if (entry.source) SDL_RWclose(entry.source);
  delete[] entry.data;
  memset(&entry, 0, sizeof entry);
}

// The operation and its arguments as log lines name them (printf style).
std::string CallText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string CallText(const char* format, ...) {
  char call[600];
  va_list args;
  va_start(args, format);
  vsnprintf(call, sizeof call, format, args);
  va_end(args);
  return call;
}

// The rate sounds are judged by: the open mixer's, or without a mixer the slowest usual one.
uint32_t JudgedRate() {
  ydxsound::MixerSpec mixer;
  return ydxsound::OpenMixerSpec(&mixer) ? mixer.rate : ydxsound::kSlowestMixerRate;
}

ydxsound::InfoResult CheckSound(ydxsound::ByteSource& bytes, sAudioType* out, ydxsound::SoundShape* shape) {
  return ydxsound::SoundInfoOf(bytes, out, shape, JudgedRate());
}

// Bytes at the end that were left out of an accepted sound are worth a warning: the file may be cut or
// damaged. `seconds` is the audio kept.
void WarnOfIgnoredBytes(const std::string& call, const ydxsound::SoundShape& shape, double seconds) {
  if (!shape.ignoredBytes) return;
  if (shape.coding == ydxsound::kCodingVorbis)
    ILogSystem.Msg(2, " . [ISoundFX->%s] Warning: the Ogg stream ends at its last whole page; the last %llu bytes of "
                   "the file (damaged pages or other data) were ignored, %.3f s of audio kept.\n", call.c_str(),
                   (unsigned long long)shape.ignoredBytes, seconds);
  else
    ILogSystem.Msg(2, " . [ISoundFX->%s] Warning: the sound ends at a VOC block that cannot continue it; the last "
                   "%llu bytes of the file were ignored.\n", call.c_str(), (unsigned long long)shape.ignoredBytes);
}

// Decodes a sound into a chunk in the open mixer's format. Data the header check refuses is named with
// its reason under `call`, as is data that then cannot be decoded.
Mix_Chunk* LoadChunk(ydxsound::ByteSource& bytes, const std::string& call) {
  sAudioType sound;
  ydxsound::SoundShape shape;
  ydxsound::MixerSpec mixer;
  if (!ydxsound::OpenMixerSpec(&mixer)) return NULL;
  if (ydxsound::SoundInfoOf(bytes, &sound, &shape, mixer.rate) != ydxsound::kInfoOk) {
    ILogSystem.Msg(0, " . [ISoundFX->%s] Error: sound refused before decoding (%s).\n", call.c_str(), shape.refusal);
    return NULL;
  }
  std::string failure;
  double seconds = 0;
  bool cutShort = false;
  Mix_Chunk* chunk = ydxsound::DecodeChunk(bytes, shape, mixer, &failure, &seconds, &cutShort);
  if (!chunk) {
    ILogSystem.Msg(0, " . [ISoundFX->%s] Error: the sound could not be decoded (%s).\n", call.c_str(), failure.c_str());
    return NULL;
  }
  WarnOfIgnoredBytes(call, shape, seconds);
  if (cutShort)
    ILogSystem.Msg(2, " . [ISoundFX->%s] Warning: the audio data is damaged after %.3f s; the sound ends there.\n",
                   call.c_str(), seconds);
  return chunk;
}

// A decoding stream over music data the header check takes (Ogg Vorbis, WAV, AIFF): the mixer's music
// player reads it as WAV at its own rate. NULL with SDL's error text set to the reason.
SDL_RWops* MusicStreamOf(const char* data, int size, const std::string& call) {
  ydxsound::MemorySource memory(data, (size_t)size);
  ydxsound::MixerSpec mixer;
  sAudioType music;
  ydxsound::SoundShape shape;
  std::string why;
  if (!ydxsound::OpenMixerSpec(&mixer)) {
    why = "the mixer is not open";
  } else if ((memcmp(data, "OggS", 4) == 0 ? ydxsound::MusicInfoOf(memory, &music, &shape, mixer.rate)
                                           : ydxsound::SoundInfoOf(memory, &music, &shape, mixer.rate)) !=
             ydxsound::kInfoOk) {
    why = shape.refusal;
  } else {
    SDL_RWops* stream = ydxsound::OpenMusicStream(data, (size_t)size, shape, mixer, &why);
    if (stream) {
      WarnOfIgnoredBytes(call, shape, (double)shape.frames / shape.rate);
      return stream;
    }
  }
  SDL_SetError("%s", why.c_str());
  return NULL;
}

bool DecodedMusic(const char* data, int size) {
  return size >= 12 && (memcmp(data, "OggS", 4) == 0 || memcmp(data, "RIFF", 4) == 0 || memcmp(data, "FORM", 4) == 0);
}

// Puts a chunk into the first free sound slot at the configured sound volume.
int PutSound(Mix_Chunk* chunk) {
  for (int i = 0; i < kSoundSlots; i++) {
    if (soundTable[i]) continue;
    soundTable[i] = chunk;
    Mix_VolumeChunk(chunk, Yandorix.soundvol);
    return i;
  }
  ILogSystem.Msg(2, " . [ISoundFX] Warning: reached maximum limit of sound objects opened(%d)\n", kSoundSlots);
  Mix_FreeChunk(chunk);
  return -1;
}

// Puts file data into the first free music slot; the slot takes the data over only on success.
// Ogg Vorbis gets its player now; a module keeps only its stream until it is played.
int PutMusic(char* data, int size, const std::string& call) {
  if (!data) return -1;
  int slot = -1;
  for (int i = 0; i < kMusicSlots && slot < 0; i++)
    if (!musicTable[i].used) slot = i;
  if (slot < 0) {
    ILogSystem.Msg(2, " . [ISoundFX] Warning: reached maximum limit of music objects opened(%d)\n", kMusicSlots);
    return -1;
  }
  if (size <= 0) {
    SDL_SetError("the music file is empty");
    return -1;
  }
  bool ogg = size >= 4 && memcmp(data, "OggS", 4) == 0;
  SDL_RWops* source = ogg ? MusicStreamOf(data, size, call) : SDL_RWFromMem(data, size);
  if (!source) return -1;
  sMusicEntry& entry = musicTable[slot];
  memset(&entry, 0, sizeof entry);
  if (ogg) {
    Mix_Music* music = Mix_LoadMUS_RW(source);
    if (!music) {
      SDL_RWclose(source);
      return -1;
    }
    entry.kind = kMusicOgg;
    entry.music = music;
  } else {
    entry.kind = kMusicModule;
  }
  entry.source = source;
  entry.data = data;
  entry.size = size;
  entry.used = 1;
  return slot;
}

// Reads a whole file into a new[] buffer with `extra` zero bytes after it; false when it cannot.
bool ReadWholeFile(const char* path, char** data, int* size, int extra = 0) {
  *data = NULL;
  *size = 0;
  if (!path || !*path) return false;
  int fd = ydxplat::Open(path, ydxplat::kRead | ydxplat::kNonBlock);
  if (fd < 0) return false;
  struct stat st;
  int64_t length = -1;
  if (ydxplat::FileStat(fd, &st) == 0 && S_ISREG(st.st_mode)) length = ydxplat::FileLength(fd);
  if (length < 0 || length > INT_MAX - 8) {
    ydxplat::Close(fd);
    return false;
  }
  char* buffer = new (std::nothrow) char[(size_t)length + extra + 1]();
  if (!buffer) {
    ydxplat::Close(fd);
    return false;
  }
  int64_t got = length ? ydxplat::Read(fd, buffer, (size_t)length) : 0;
  ydxplat::Close(fd);
  if (got != length) {
    delete[] buffer;
    return false;
  }
  *data = buffer;
  *size = (int)length;
  return true;
}

// Loads and exports need the open mixer. Without it they say so in the log, naming the call.
bool MixerOpen(int initialised, const std::string& call) {
  if (initialised) return true;
  ILogSystem.Msg(0, " . [ISoundFX->%s] Error: the mixer is not open (ISoundFX->Init() opens it when audioenable "
                 "is 1).\n", call.c_str());
  return false;
}

// An archive file opened for one call of a handle form, closed again when the call is done.
struct ArchiveFile {
  int handle = 0;
  ArchiveFile(const char* path, bool create) {
    if (!IStuffDPF || !path || !*path) return;
    if (create && ydxplat::Access(path, 0) != 0) handle = IStuffDPF->Create(path);
    else handle = IStuffDPF->Open(path);
  }
  ~ArchiveFile() {
    if (handle > 0 && IStuffDPF) IStuffDPF->Close(handle);
  }
  bool Ok() const { return handle > 0; }
};

}  // namespace

namespace ydxsound {

bool ViewMusicSlot(int music, MusicSlotView* out) {
  if (music < 0 || music >= kMusicSlots) return false;
  const sMusicEntry& e = musicTable[music];
  out->used = e.used;
  out->kind = e.kind;
  out->loaded = e.loaded;
  out->player = e.music != NULL;
  out->source = e.source != NULL;
  out->data = e.data != NULL;
  return true;
}

int UsedSoundSlots() {
  int n = 0;
  for (Mix_Chunk* chunk : soundTable) n += chunk != NULL;
  return n;
}

int UsedMusicSlots() {
  int n = 0;
  for (const sMusicEntry& e : musicTable) n += e.used != 0;
  return n;
}

}  // namespace ydxsound

struct sSoundFXPrivate {
  int initialised;
};

Yandorix_ISoundFX::Yandorix_ISoundFX() {
  p = new sSoundFXPrivate();
  memset(musicTable, 0, sizeof musicTable);
  memset(soundTable, 0, sizeof soundTable);
  ILogSystem.Msg(5, " . [ISoundFX] Interfaz created.\n");
  p->initialised = 0;
}

Yandorix_ISoundFX::~Yandorix_ISoundFX() {
  int musicLeft = 0, soundsLeft = 0;
  for (sMusicEntry& entry : musicTable) {
    if (!entry.used) continue;
    ReleaseMusic(entry);
    musicLeft++;
  }
  for (Mix_Chunk*& chunk : soundTable) {
    if (!chunk) continue;
    Mix_FreeChunk(chunk);
    chunk = NULL;
    soundsLeft++;
  }
  Quit();
  if (soundsLeft)
    ILogSystem.Msg(2, " . [ISoundFX] Warning! your application has left %d sounds without deleting.", soundsLeft);
  if (musicLeft)
    ILogSystem.Msg(2, " . [ISoundFX] Warning! your application has left %d music without deleting.", musicLeft);
  delete p;
  ILogSystem.Msg(5, " . [ISoundFX] Interfaz deleted.\n");
}

// ---- set-up ----

int Yandorix_ISoundFX::Init() {
  if (!Yandorix.audioenable) {
    // Sound switched off in the configuration is a choice, not an error; the log still tells why.
    ILogSystem.Msg(5, " . [ISoundFX->Init()] Info: audioenable is 0, so the mixer stays closed.\n");
    return 0;
  }
  if (p->initialised) return 1;   // SDL_mixer counts opens: a second open would need a second close
  Uint16 format = Yandorix.audioformat == 8 ? AUDIO_S8 : AUDIO_S16LSB;
  if (Mix_OpenAudio(Yandorix.audiofrequency, format, Yandorix.audiomode, Yandorix.audiobuffer) < 0) {
    ILogSystem.Msg(0, " . [ISoundFX->Init()] Error: %s.\n", Mix_GetError());
    return 255;
  }
  p->initialised = 1;
  MusicVolume(Yandorix.musicvol);
  ChannelVolume(-1, Yandorix.soundvol);
  return 1;
}

int Yandorix_ISoundFX::Init(int frequency, Uint16 format, int channels, int buffer) {
  if (p->initialised) return 1;
  if (Mix_OpenAudio(frequency, format, channels, buffer) < 0) {
    ILogSystem.Msg(0, " . [ISoundFX->Init(%d,%d,%d,%d)] Error: %s.\n", frequency, format, channels, buffer,
                   Mix_GetError());
    return 0;
  }
  p->initialised = 1;
  return 1;
}

void Yandorix_ISoundFX::NoInit() { p->initialised = 0; }

int Yandorix_ISoundFX::Initialized() { return p->initialised; }

void Yandorix_ISoundFX::Quit() {
  if (!p->initialised) return;
  // Module players belong to the module engine that closes with the mixer; they are re-created from
  // the slot's data when played again.
  for (sMusicEntry& entry : musicTable)
    if (entry.used && entry.kind == kMusicModule) ReleasePlayer(entry);
  Mix_CloseAudio();
  p->initialised = 0;
}

int Yandorix_ISoundFX::QuerySpec(int* frequency, Uint16* format, int* channels) {
  if (!p->initialised) return 0;
  return Mix_QuerySpec(frequency, format, channels);
}

int Yandorix_ISoundFX::AllocateChannels(int count) {
  if (!p->initialised) return -1;
  return Mix_AllocateChannels(count);
}

// ---- volumes ----

int Yandorix_ISoundFX::ChannelVolume(int channel, int volume) {
  return p->initialised ? Mix_Volume(channel, volume) : 0;
}

int Yandorix_ISoundFX::ChannelGetVolume(int channel) {
  return p->initialised ? Mix_Volume(channel, -1) : -1;
}

int Yandorix_ISoundFX::SoundVolume(int sound, int volume) {
  if (!p->initialised || !ValidSound(sound)) return 0;
  return Mix_VolumeChunk(soundTable[sound], volume);
}

int Yandorix_ISoundFX::SoundGetVolume(int sound) {
  if (!p->initialised || !ValidSound(sound)) return -1;
  return Mix_VolumeChunk(soundTable[sound], -1);
}

int Yandorix_ISoundFX::MusicVolume(int volume) { return p->initialised ? Mix_VolumeMusic(volume) : 0; }

int Yandorix_ISoundFX::MusicGetVolume() { return p->initialised ? Mix_VolumeMusic(-1) : -1; }

// ---- channels ----

int Yandorix_ISoundFX::SoundPlay(int channel, int sound, int loops) {
  // Channel 0 is a valid answer, so every failure is -1.
  if (!p->initialised || !ValidSound(sound)) return -1;
  return Mix_PlayChannelTimed(channel, soundTable[sound], loops, -1);
}

int Yandorix_ISoundFX::ChannelFadeIn(int channel, int sound, int loops, int ms) {
  if (!p->initialised || !ValidSound(sound)) return -1;
  return Mix_FadeInChannelTimed(channel, soundTable[sound], loops, ms, -1);
}

int Yandorix_ISoundFX::ChannelStop(int channel) { return p->initialised ? Mix_HaltChannel(channel) : 0; }

void Yandorix_ISoundFX::ChannelPause(int channel) {
  if (p->initialised) Mix_Pause(channel);
}

void Yandorix_ISoundFX::ChannelResume(int channel) {
  if (p->initialised) Mix_Resume(channel);
}

int Yandorix_ISoundFX::ChannelIsPaused(int channel) { return p->initialised ? Mix_Paused(channel) : 0; }

int Yandorix_ISoundFX::ChannelFadeOut(int channel, int ms) {
  return p->initialised ? Mix_FadeOutChannel(channel, ms) : -1;
}

int Yandorix_ISoundFX::IsPlaying(int channel) { return p->initialised ? Mix_Playing(channel) : 0; }

// ---- music ----

int Yandorix_ISoundFX::MusicPlay(int music, int loops) {
  if (!p->initialised || !ValidMusic(music)) return -1;
  sMusicEntry& entry = musicTable[music];
  if (entry.kind == kMusicModule) {
    // One module player at a time: the module engine plays one song, and modules are re-created
    // cheaply from the data their slots keep.
    for (int i = 0; i < kMusicSlots; i++) {
      sMusicEntry& other = musicTable[i];
      if (i == music || !other.used || other.kind != kMusicModule || !other.loaded) continue;
      ReleasePlayer(other);
      break;
    }
    if (!entry.music) {
      // WAV and AIFF data is decoded by the library at the mixer's rate; the rest goes to the module engine.
      if (DecodedMusic(entry.data, entry.size)) {
        entry.decoder = MusicStreamOf(entry.data, entry.size, CallText("MusicPlay(%d,%d)", music, loops));
        if (entry.decoder) entry.music = Mix_LoadMUS_RW(entry.decoder);
      } else {
        SDL_RWseek(entry.source, 0, RW_SEEK_SET);
        entry.music = Mix_LoadMUS_RW(entry.source);
      }
      if (!entry.music) {
        ILogSystem.Msg(0, " . [ISoundFX->MusicPlay(%d,%d)] Error: music format unknown ('%s').\n", music, loops,
                       Mix_GetError());
        ReleasePlayer(entry);
        return -1;
      }
      entry.loaded = 1;
    }
  }
  lastPlayed = music;
  return Mix_PlayMusic(entry.music, loops);
}

int Yandorix_ISoundFX::MusicFadeIn(int music, int loops, int ms) {
  if (!p->initialised || !ValidMusic(music) || !musicTable[music].music) return -1;
  lastPlayed = music;
  return Mix_FadeInMusic(musicTable[music].music, loops, ms);
}

int Yandorix_ISoundFX::MusicStop() { return p->initialised ? Mix_HaltMusic() : 0; }

void Yandorix_ISoundFX::MusicPause() {
  if (p->initialised) Mix_PauseMusic();
}

void Yandorix_ISoundFX::MusicResume() {
  if (p->initialised) Mix_ResumeMusic();
}

void Yandorix_ISoundFX::MusicRewind() {
  if (!p->initialised) return;
  // The mixer cannot set the position of the WAV streams the library decodes music into; the stream
  // itself goes back to its start, under the audio lock, while that music plays.
  SDL_RWops* stream = NULL;
  if (lastPlayed >= 0 && ValidMusic(lastPlayed) && Mix_PlayingMusic()) {
    const sMusicEntry& entry = musicTable[lastPlayed];
    stream = entry.kind == kMusicOgg ? entry.source : entry.decoder;
  }
  if (!stream) {
    Mix_RewindMusic();
    return;
  }
  SDL_LockAudio();
  ydxsound::RewindMusicStream(stream);
  SDL_UnlockAudio();
}

int Yandorix_ISoundFX::MusicIsPaused() { return p->initialised ? Mix_PausedMusic() : 0; }

int Yandorix_ISoundFX::MusicFadeOut(int ms) { return p->initialised ? Mix_FadeOutMusic(ms) : 0; }

int Yandorix_ISoundFX::IsPlaying() { return p->initialised ? Mix_PlayingMusic() : 0; }

// ---- loading and freeing ----

int Yandorix_ISoundFX::SoundLoad(const char* file) {
  std::string call = CallText("SoundLoad('%s')", Text(file));
  if (!MixerOpen(p->initialised, call)) return -1;
  ydxsound::FileSource source(file);
  Mix_Chunk* chunk = source.Ok() ? LoadChunk(source, call) : NULL;
  if (!chunk) {
    ILogSystem.Msg(0, " . [ISoundFX->SoundLoad('%s')] Error: sound not found.\n", Text(file));
    return -1;
  }
  return PutSound(chunk);
}

int Yandorix_ISoundFX::SoundLoad(int handle, const char* name) {
  std::string call = CallText("SoundLoad('%s','%s')", ArchiveName(handle), Text(name));
  if (!MixerOpen(p->initialised, call)) return -1;
  if (handle <= 0 || !IStuffDPF) return -1;
  DPF_BlockData block = DPF_BlockData();
  if (!IStuffDPF->LoadBlock(handle, "SND", Text(name), &block) || !block.data) {
    IStuffDPF->FreeBlock(&block);
    ILogSystem.Msg(0, " . [ISoundFX->SoundLoad('%s','%s')] Error: sound not found.\n", ArchiveName(handle), Text(name));
    return -1;
  }
  ydxsound::MemorySource source(block.data, (size_t)block.size);
  Mix_Chunk* chunk = LoadChunk(source, call);
  IStuffDPF->FreeBlock(&block);   // the chunk holds its own converted samples
  if (!chunk) {
    ILogSystem.Msg(0, " . [ISoundFX->SoundLoad('%s','%s')] Error: sound format unknown.\n", ArchiveName(handle),
                   Text(name));
    return -1;
  }
  return PutSound(chunk);
}

int Yandorix_ISoundFX::SoundLoad(const char* archive, const char* name) {
  ArchiveFile dpf(archive, false);
  return dpf.Ok() ? SoundLoad(dpf.handle, name) : -1;
}

int Yandorix_ISoundFX::MusicLoad(const char* file) {
  std::string call = CallText("MusicLoad('%s')", Text(file));
  if (!MixerOpen(p->initialised, call)) return -1;
  char* data;
  int size;
  if (!ReadWholeFile(file, &data, &size)) {
    ILogSystem.Msg(0, " . [ISoundFX->MusicLoad('%s')] Error: music not found.\n", Text(file));
    return -1;
  }
  int music = PutMusic(data, size, call);
  if (music < 0) {
    delete[] data;
    ILogSystem.Msg(0, " . [ISoundFX->MusicLoad('%s')] Error: music format unknown ('%s').\n", Text(file),
                   Mix_GetError());
  }
  return music;
}

int Yandorix_ISoundFX::MusicLoad(int handle, const char* name) {
  std::string call = CallText("MusicLoad('%s','%s')", ArchiveName(handle), Text(name));
  if (!MixerOpen(p->initialised, call)) return -1;
  if (handle <= 0 || !IStuffDPF) return -1;
  DPF_BlockData block = DPF_BlockData();
  if (!IStuffDPF->LoadBlock(handle, "MUS", Text(name), &block) || !block.data) {
    IStuffDPF->FreeBlock(&block);
    ILogSystem.Msg(0, " . [ISoundFX->MusicLoad('%s','%s')] Error: music not found.\n", ArchiveName(handle), Text(name));
    return -1;
  }
  int music = PutMusic(block.data, block.size, call);   // the slot owns the block's buffer from now on
  if (music < 0) {
    IStuffDPF->FreeBlock(&block);
    ILogSystem.Msg(0, " . [ISoundFX->MusicLoad('%s','%s')] Error: music format unknown ('%s').\n",
                   ArchiveName(handle), Text(name), Mix_GetError());
  }
  return music;
}

int Yandorix_ISoundFX::MusicLoad(const char* archive, const char* name) {
  ArchiveFile dpf(archive, false);
  return dpf.Ok() ? MusicLoad(dpf.handle, name) : -1;
}

void Yandorix_ISoundFX::SoundFree(int sound) {
  if (!p->initialised || !ValidSound(sound)) return;
  Mix_FreeChunk(soundTable[sound]);   // stops the channels playing it
  soundTable[sound] = NULL;
}

void Yandorix_ISoundFX::MusicFree(int music) {
  if (!p->initialised || !ValidMusic(music)) return;
  ReleaseMusic(musicTable[music]);
}

// ---- archive blocks ----

namespace {

// Stores a whole file as one block; `isMusic` picks the type, the name's ending the storage mode.
int ImportFile(int handle, const char* name, const char* file, bool isMusic) {
  const char* what = isMusic ? "Music" : "Sound";
  if (handle <= 0 || !IStuffDPF) return 0;
  char* data;
  int size;
  if (!ReadWholeFile(file, &data, &size, 4)) {
    if (isMusic)
      ILogSystem.Msg(0, " . [ISoundFX->MusicImport('%s','%s','%s')] Error: music not found.\n", ArchiveName(handle),
                     Text(name), Text(file));
    else
      ILogSystem.Msg(0, " . [ISoundFX->SoundImport('%s','%s','%s'] Error: sound not found.\n", ArchiveName(handle),
                     Text(name), Text(file));
    return 0;
  }
  DPF_BlockData block = DPF_BlockData();
  memset(&block, 0, sizeof block);
  if (!name || strlen(name) >= sizeof block.name) {
    ILogSystem.Msg(0, " . [ISoundFX->%sImport('%s','%s','%s')] Error: the block name is empty or too long.\n", what,
                   ArchiveName(handle), Text(name), Text(file));
    delete[] data;
    return 0;
  }
  strcpy(block.name, name);
  strcpy(block.type, isMusic ? "MUS" : "SND");
  // Ogg Vorbis (a name ending in g) is compressed already; masking it costs nothing, packing it would.
  size_t length = strlen(file);
  bool ogg = length > 0 && (file[length - 1] == 'g' || file[length - 1] == 'G');
  block.mode = (!isMusic || ogg) ? 2 : 0;
  block.size = size;
  block.data = data;
  int result = IStuffDPF->AddData(handle, &block);
  delete[] data;
  return result;
}

}  // namespace

int Yandorix_ISoundFX::SoundImport(int handle, const char* name, const char* file) {
  return ImportFile(handle, name, file, false);
}

int Yandorix_ISoundFX::SoundImport(const char* archive, const char* name, const char* file) {
  ArchiveFile dpf(archive, true);
  return dpf.Ok() ? ImportFile(dpf.handle, name, file, false) : 0;
}

int Yandorix_ISoundFX::MusicImport(int handle, const char* name, const char* file) {
  return ImportFile(handle, name, file, true);
}

int Yandorix_ISoundFX::MusicImport(const char* archive, const char* name, const char* file) {
  ArchiveFile dpf(archive, true);
  return dpf.Ok() ? ImportFile(dpf.handle, name, file, true) : 0;
}

// ---- information ----

namespace {

// The info operations share everything but their texts and the format rules.
struct InfoTexts {
  const char* operation;
  const char* type;
  const char* notFound;
  const char* loadFailed;
  const char* unknown;
  bool music;   // music: modules by their signatures, and no load-failed line for bad Ogg Vorbis headers
};

const InfoTexts kSoundTexts = {
    "SoundInfo", "SND", " . [ISoundFX->SoundInfo('%s','%s',0x%x] Error: sound not found.\n",
    " . [ISoundFX->SoundInfo('%s','%s',0x%x] Error: sound load failed.\n",
    " . [ISoundFX->SoundInfo('%s','%s',0x%x] Error: sound format unknown.\n", false};
const InfoTexts kMusicTexts = {
    "MusicInfo", "MUS", " . [ISoundFX->MusicInfo('%s','%s',0x%x)] Error: music not found.\n",
    " . [ISoundFX->MusicInfo('%s','%s',0x%x)] Error: music load failed.\n",
    " . [ISoundFX->MusicInfo('%s','%s',0x%x)] Error: music format unknown.\n", true};

ydxsound::InfoResult InfoOf(ydxsound::ByteSource& bytes, sAudioType* out, ydxsound::SoundShape* shape, bool music) {
  return music ? ydxsound::MusicInfoOf(bytes, out, shape, JudgedRate()) : CheckSound(bytes, out, shape);
}

// The load-failed line is the same for every cause; a line before it says which one it was.
int Info(int handle, const char* name, sAudioType* out, const InfoTexts& texts) {
  if (!out) return 0;
  const char* archive = ArchiveName(handle);
  unsigned where = Address(out);
  std::string call = CallText("%s('%s','%s')", texts.operation, archive, Text(name));
  ydxsound::SoundShape shape;
  ydxsound::InfoResult result;
  if (handle == 0) {
    ydxsound::FileSource file(name);
    if (!file.Ok()) {
      ILogSystem.Msg(0, " . [ISoundFX->%s] Error: the file is missing, unreadable or not a regular file.\n",
                     call.c_str());
      ILogSystem.Msg(0, texts.loadFailed, archive, Text(name), where);
      return 0;
    }
    result = InfoOf(file, out, &shape, texts.music);
    if (result == ydxsound::kInfoOk) out->length = (Uint32)file.Size();
  } else {
    DPF_BlockData block = DPF_BlockData();
    if (!IStuffDPF || !IStuffDPF->LoadBlock(handle, texts.type, Text(name), &block) || !block.data) {
      if (IStuffDPF) IStuffDPF->FreeBlock(&block);
      ILogSystem.Msg(0, texts.notFound, archive, Text(name), where);
      return 0;
    }
    ydxsound::MemorySource memory(block.data, (size_t)block.size);
    result = InfoOf(memory, out, &shape, texts.music);
    if (result == ydxsound::kInfoOk) out->length = (Uint32)block.size;
    IStuffDPF->FreeBlock(&block);
  }
  if (result == ydxsound::kInfoUnknown) {
    ILogSystem.Msg(0, texts.unknown, archive, Text(name), where);
  } else if (result == ydxsound::kInfoFailed) {
    ILogSystem.Msg(0, " . [ISoundFX->%s] Error: %s refused (%s).\n", call.c_str(), texts.music ? "music" : "sound",
                   shape.refusal);
    if (!texts.music) ILogSystem.Msg(0, texts.loadFailed, archive, Text(name), where);
  } else {
    WarnOfIgnoredBytes(call, shape, shape.rate ? (double)shape.frames / shape.rate : 0);
  }
  return result == ydxsound::kInfoOk;
}

}  // namespace

int Yandorix_ISoundFX::SoundInfo(int handle, const char* name, sAudioType* out) {
  return Info(handle, name, out, kSoundTexts);
}

int Yandorix_ISoundFX::SoundInfo(const char* archive, const char* name, sAudioType* out) {
  ArchiveFile dpf(archive, false);
  return dpf.Ok() ? Info(dpf.handle, name, out, kSoundTexts) : 0;
}

int Yandorix_ISoundFX::MusicInfo(int handle, const char* name, sAudioType* out) {
  return Info(handle, name, out, kMusicTexts);
}

int Yandorix_ISoundFX::MusicInfo(const char* archive, const char* name, sAudioType* out) {
  ArchiveFile dpf(archive, false);
  return dpf.Ok() ? Info(dpf.handle, name, out, kMusicTexts) : 0;
}

// ---- export ----

int Yandorix_ISoundFX::Export(int handle, const char* name, char music, const char* file) {
  std::string call = CallText("Export('%s','%s',%d,'%s')", ArchiveName(handle), Text(name), music, Text(file));
  if (!MixerOpen(p->initialised, call)) return 0;
  if (handle <= 0 || !IStuffDPF) return 0;
  const char* archive = ArchiveName(handle);
  DPF_BlockData block = DPF_BlockData();
  if (!IStuffDPF->LoadBlock(handle, music ? "MUS" : "SND", Text(name), &block) || !block.data) {
    IStuffDPF->FreeBlock(&block);
    ILogSystem.Msg(0, " . [ISoundFX->Export('%s','%s',%d,'%s')] Error: sound block not found.\n", archive, Text(name),
                   music, Text(file));
    return 0;
  }
  std::string target;
  if (file) {
    target = file;
  } else {
    sAudioType info;
    memset(&info, 0, sizeof info);
    ydxsound::MemorySource memory(block.data, (size_t)block.size);
    if (music) ydxsound::MusicInfoOf(memory, &info);
    else ydxsound::SoundInfoOf(memory, &info);
    // The block name comes from the archive: it must not lead the file out of the working directory.
    if (!ydxsound::ExportFileName(block.name, info.format, &target)) {
      ILogSystem.Msg(0, " . [ISoundFX->Export('%s','%s',%d,'%s')] Error: no safe file name for the block.\n",
                     archive, Text(name), music, Text(file));
      IStuffDPF->FreeBlock(&block);
      return 0;
    }
  }
  Yandorix.MakeDirectory(target.c_str());
  ydxplat::ReplaceFile out;
  bool written = out.Begin(target.c_str()) && out.Write(block.data, (size_t)block.size) && out.Commit();
  IStuffDPF->FreeBlock(&block);
  if (!written) {
    out.Abort();
    ILogSystem.Msg(0, " . [ISoundFX->Export('%s','%s',%d,'%s')] Error: '%s' could not be written.\n", archive,
                   Text(name), music, Text(file), target.c_str());
    return 0;
  }
  return 1;
}

int Yandorix_ISoundFX::Export(const char* archive, const char* name, char music, const char* file) {
  ArchiveFile dpf(archive, false);
  return dpf.Ok() ? Export(dpf.handle, name, music, file) : 0;
}
