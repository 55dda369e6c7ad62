// Compile-time check of the sound and video interfaces: every public operation called and every public
// field read with the argument and result types applications use. Never run.
#include <gtest/gtest.h>
#include <Yandorix.h>

namespace {

int FrameFunction(int key, SDL_Surface* frame, SDL_Rect* area) { return key + (frame != NULL) + area->x; }

[[maybe_unused]] int UseSoundAndVideo() {
  Yandorix_ISoundFX* s = ISoundFX;
  int r = 0;
  r += s->Init();
  r += s->Init((int)22050, (Uint16)AUDIO_S16LSB, (int)2, (int)1024);
  s->NoInit();
  r += s->Initialized();
  int frequency = 0, channels = 0;
  Uint16 format = 0;
  r += s->QuerySpec(&frequency, &format, &channels);
  r += s->AllocateChannels(8);
  r += s->ChannelVolume(-1, 64) + s->ChannelGetVolume(0);
  r += s->SoundVolume(0, 64) + s->SoundGetVolume(0);
  r += s->MusicVolume(64) + s->MusicGetVolume();
  r += s->SoundPlay(-1, 0, 0) + s->ChannelFadeIn(-1, 0, -1, 500) + s->ChannelStop(-1);
  s->ChannelPause(0);
  s->ChannelResume(0);
  r += s->ChannelIsPaused(0) + s->ChannelFadeOut(0, 100) + s->IsPlaying(0);
  r += s->MusicPlay(0, -1) + s->MusicFadeIn(0, 1, 200) + s->MusicStop();
  s->MusicPause();
  s->MusicResume();
  s->MusicRewind();
  r += s->MusicIsPaused() + s->MusicFadeOut(300) + s->IsPlaying();
  int handle = 1;
  r += s->SoundLoad((char*)"boom.wav");
  r += s->SoundLoad(handle, (char*)"boom");
  r += s->SoundLoad((char*)"sfx.dpf", (char*)"boom");
  r += s->MusicLoad((char*)"theme.ogg");
  r += s->MusicLoad(handle, (char*)"theme");
  r += s->MusicLoad((char*)"sfx.dpf", (char*)"theme");
  s->SoundFree(0);
  s->MusicFree(0);
  r += s->SoundImport(handle, (char*)"boom", (char*)"boom.wav");
  r += s->SoundImport((char*)"sfx.dpf", (char*)"boom", (char*)"boom.wav");
  r += s->MusicImport(handle, (char*)"theme", (char*)"theme.ogg");
  r += s->MusicImport((char*)"sfx.dpf", (char*)"theme", (char*)"theme.ogg");
  sAudioType info;
  r += s->SoundInfo(handle, (char*)"boom", &info);
  r += s->SoundInfo(0, (char*)"boom.wav", &info);
  r += s->SoundInfo((char*)"sfx.dpf", (char*)"boom", &info);
  r += s->MusicInfo(handle, (char*)"theme", &info);
  r += s->MusicInfo((char*)"sfx.dpf", (char*)"theme", &info);
  char* text = info.format;
  Uint8 infoChannels = info.channels;
  Uint16 sampleformat = info.sampleformat;
  Sint32 infoFrequency = info.frequency;
  Uint32 length = info.length;
  r += text[0] + infoChannels + sampleformat + infoFrequency + (int)length;
  r += s->Export(handle, (char*)"boom", (char)0, (char*)NULL);
  r += s->Export((char*)"sfx.dpf", (char*)"theme", (char)1, (char*)"theme.ogg");
  s->Quit();

  Yandorix_IVideo* v = IVideo;
  v->SetScale(320, 240);
  v->SetPosition(-1, -1);
  v->SetFX(6);
  v->SetFunction(FrameFunction);
  r += v->PlayMPEG((char*)"intro.mpg", (char)1, (char)0);
  return r;
}

}  // namespace

TEST(Interface, Sound) { SUCCEED(); }
