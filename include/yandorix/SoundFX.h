// Sound effects and music over SDL_mixer: the mixer opened from the main object's audio settings,
// 256 sound and 32 music slots addressed by small integer handles, channels, volumes and fades, and
// "SND"/"MUS" archive blocks that hold sound and music files byte for byte.
#ifndef YANDORIX_SOUNDFX_H
#define YANDORIX_SOUNDFX_H

#include <SDL.h>
#include "Export.h"

// What SoundInfo/MusicInfo report about a sound or music file.
struct sAudioType {
  char format[5];       // "WAV", "AIFF", "OGG", "VOC" (sounds); "OGG", "IT", "XM", "S3M", "MOD" (music)
  Uint8 channels;       // 0 for modules
  Uint16 sampleformat;  // SDL sample format of the source (AUDIO_U8, AUDIO_S16LSB, ...); 0 for modules
  Sint32 frequency;     // Hz; 0 for modules
  Uint32 length;        // bytes of the stored file (file length, or the block's original size)
};

class YDX_API Yandorix_ISoundFX {
 public:
  Yandorix_ISoundFX();
  ~Yandorix_ISoundFX();   // frees what the application left loaded (with a warning) and closes the mixer

  // Opens the mixer from Yandorix's audio settings: 1 opened (or already open), 0 audio disabled in the
  // settings, 255 when the device could not be opened.
  // Yandorix.audioenable is 0 until the application (or its configuration file) sets it.
  int Init();
  // Opens the mixer with these values (the configured volumes are not applied): 1 or 0.
  int Init(int frequency, Uint16 format, int channels, int buffer);
  void NoInit();
  int Initialized();   // 1 while the mixer is open through this object
  void Quit();
  int QuerySpec(int* frequency, Uint16* format, int* channels);   // 0 when not open
  int AllocateChannels(int count);                                 // -1 when not open

  // Volumes 0..128 (larger values act as 128); -1 reads the current value. 0 (setters) or -1 (getters)
  // when not open or the handle is empty.
  int ChannelVolume(int channel, int volume);   // channel -1: every channel
  int ChannelGetVolume(int channel);
  int SoundVolume(int sound, int volume);
  int SoundGetVolume(int sound);
  int MusicVolume(int volume);
  int MusicGetVolume();

  // Channels. channel -1 is the first free channel; loops -1 repeats forever.
  int SoundPlay(int channel, int sound, int loops);   // the channel playing it, or -1
  int ChannelFadeIn(int channel, int sound, int loops, int ms);   // the channel, or -1
  int ChannelStop(int channel);
  void ChannelPause(int channel);
  void ChannelResume(int channel);
  int ChannelIsPaused(int channel);
  int ChannelFadeOut(int channel, int ms);
  int IsPlaying(int channel);

  // Music. At most one module keeps a player at a time: playing a module releases the last one's.
  int MusicPlay(int music, int loops);           // 0, or -1 on failure
  int MusicFadeIn(int music, int loops, int ms); // -1 also for a module that is not loaded yet
  int MusicStop();
  void MusicPause();
  void MusicResume();
  void MusicRewind();
  int MusicIsPaused();
  int MusicFadeOut(int ms);
  int IsPlaying();

  // Loading: a handle (0..255 sounds, 0..31 music) or -1. `handle` is an open archive; the archive
  // file forms open and close it themselves.
  // Sounds: WAV, AIFF, VOC, Ogg Vorbis, decoded whole. Music: Ogg Vorbis and IT, XM, S3M, MOD modules.
  int SoundLoad(const char* file);
  int SoundLoad(int handle, const char* name);
  int SoundLoad(const char* archive, const char* name);
  int MusicLoad(const char* file);
  int MusicLoad(int handle, const char* name);
  int MusicLoad(const char* archive, const char* name);
  void SoundFree(int sound);
  void MusicFree(int music);

  // Storing files as "SND"/"MUS" blocks: the archive's stored size, -1 when the block exists, 0 on
  // failure. The archive file forms create the archive when it does not exist.
  int SoundImport(int handle, const char* name, const char* file);
  int SoundImport(const char* archive, const char* name, const char* file);
  int MusicImport(int handle, const char* name, const char* file);
  int MusicImport(const char* archive, const char* name, const char* file);

  // Format of a stored sound or music: 1 and *out filled, or 0. Handle 0 reads the file named `name`.
  int SoundInfo(int handle, const char* name, sAudioType* out);
  int SoundInfo(const char* archive, const char* name, sAudioType* out);
  int MusicInfo(int handle, const char* name, sAudioType* out);
  int MusicInfo(const char* archive, const char* name, sAudioType* out);

  // Writes a stored block back to a file: `file`, or (NULL) the block name plus "." and its format
  // text in the working directory. 1 when written, else 0.
  int Export(int handle, const char* name, char music, const char* file);
  int Export(const char* archive, const char* name, char music, const char* file);

 private:
  Yandorix_ISoundFX(const Yandorix_ISoundFX&) = delete;
  Yandorix_ISoundFX& operator=(const Yandorix_ISoundFX&) = delete;
  struct sSoundFXPrivate* p;
};

extern YDX_API Yandorix_ISoundFX* ISoundFX;

#endif
