// The sound service's one decode path: the samples the header check found, decoded, spread over the
// open mixer's channels, resampled to its rate (libsoxr) and written in its sample format, either whole
// (a sound's chunk) or as the mixer reads them (a music stream in bounded memory).
#pragma once
#include "60_SoundFX.h"
#include <SDL_mixer.h>
#include <string>

namespace ydxsound {

struct MixerSpec {
  uint32_t rate = 0;
  Uint16 format = 0;
  int channels = 0;
};
// The open mixer's format; false when it is closed.
bool OpenMixerSpec(MixerSpec* out);

// What decoding a whole sound met: the audio decoded, whether damaged audio ended it before the stream's
// end, and whether damaged audio was left out on the way (an Ogg page lost in the middle).
struct DecodeNotes {
  double seconds = 0;
  bool cutShort = false, damagePassed = false;
};
// Decodes a whole sound into a chunk the mixer plays as it is: a malloc'd buffer in the mixer's format
// that Mix_FreeChunk releases. NULL with the reason in `why`.
Mix_Chunk* DecodeChunk(ByteSource& bytes, const SoundShape& shape, const MixerSpec& mixer, std::string* why,
                       DecodeNotes* notes);

// Music as a WAV stream at the mixer's rate and channels that decodes as the mixer's music player reads
// it, over `size` bytes at `data` (which must outlive the stream). SDL_RWclose releases it. NULL with
// the reason in `why`. Damaged audio it leaves out while playing is logged once, under `call`.
SDL_RWops* OpenMusicStream(const char* data, size_t size, const SoundShape& shape, const MixerSpec& mixer,
                           const std::string& call, std::string* why);
// The warning for damaged audio left out in the middle of a sound or a piece of music.
void WarnOfDamagePassed(const std::string& call);
// Back to the first sample; the caller holds the audio lock (the mixer reads the stream on its thread).
void RewindMusicStream(SDL_RWops* stream);

}  // namespace ydxsound
