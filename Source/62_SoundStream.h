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

// Decodes a whole sound into a chunk the mixer plays as it is: a malloc'd buffer in the mixer's format
// that Mix_FreeChunk releases. NULL with the reason in `why`; `seconds` gets the audio decoded, and
// `cutShort` whether damaged audio ended it before the stream's end.
Mix_Chunk* DecodeChunk(ByteSource& bytes, const SoundShape& shape, const MixerSpec& mixer, std::string* why,
                       double* seconds, bool* cutShort);

// Music as a WAV stream at the mixer's rate and channels that decodes as the mixer's music player reads
// it, over `size` bytes at `data` (which must outlive the stream). SDL_RWclose releases it. NULL with
// the reason in `why`.
SDL_RWops* OpenMusicStream(const char* data, size_t size, const SoundShape& shape, const MixerSpec& mixer,
                           std::string* why);
// Back to the first sample; the caller holds the audio lock (the mixer reads the stream on its thread).
void RewindMusicStream(SDL_RWops* stream);

}  // namespace ydxsound
