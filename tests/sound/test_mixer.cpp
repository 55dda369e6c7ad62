// The mixer through the sound service: opening and closing, slot tables and handles, volumes heard in
// the disk driver's output, and module players released and re-created from the data they keep.
#include "SoundTest.h"
#include <SDL_mixer.h>
#include <cstring>
#include <sys/stat.h>

namespace {

class MixerTest : public SoundTest {
 protected:
  // Waits (on SDL's audio thread, which runs faster than real time here) until the disk driver has
  // written `bytes` more bytes, and returns them.
  std::string NextOutput(size_t bytes) {
    size_t start = OutputSize();
    for (int waited = 0; OutputSize() < start + bytes && waited < 5000; waited += 5) SDL_Delay(5);
    std::string all = ydxtest::ReadFile("out.raw");
    return all.size() >= start + bytes ? all.substr(start, bytes) : "";
  }
  size_t OutputSize() {
    struct stat st;
    return stat("out.raw", &st) == 0 ? (size_t)st.st_size : 0;
  }
  static bool Silent(const std::string& pcm) {
    return !pcm.empty() && pcm.find_first_not_of('\0') == std::string::npos;
  }
};

}  // namespace

TEST_F(MixerTest, OpeningFollowsTheSettingsOnceAndRefusesCleanly) {
  StartLibrary("dummy");
  EXPECT_EQ(ISoundFX->Initialized(), 0);
  EXPECT_EQ(ISoundFX->Init(), 0);   // audio disabled in the settings
  struct FormatCase {
    int configured;
    Uint16 opened;
  } formats[] = {{8, AUDIO_S8}, {16, AUDIO_S16LSB}, {0x8008, AUDIO_S16LSB}, {0, AUDIO_S16LSB}};
  for (const FormatCase& c : formats) {
    SCOPED_TRACE(c.configured);
    OpenMixer(c.configured);
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    EXPECT_EQ(ISoundFX->QuerySpec(&frequency, &format, &channels), 1);
    EXPECT_EQ(format, c.opened);
    EXPECT_EQ(frequency, 22050);
    EXPECT_EQ(channels, 2);
    // A second Init keeps the one device; one Quit closes it.
    EXPECT_EQ(ISoundFX->Init(), 1);
    EXPECT_EQ(ISoundFX->Init(44100, AUDIO_U8, 1, 512), 1);
    ISoundFX->Quit();
    EXPECT_EQ(ISoundFX->Initialized(), 0);
    EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 0);
  }
  EXPECT_EQ(ISoundFX->Init(11025, AUDIO_U8, 1, 512), 1);
  EXPECT_EQ(ISoundFX->AllocateChannels(4), 4);
  ISoundFX->Quit();
  EXPECT_EQ(ISoundFX->AllocateChannels(4), -1);
  EXPECT_EQ(ISoundFX->QuerySpec(NULL, NULL, NULL), 0);
}

TEST_F(MixerTest, ADeviceThatCannotOpenLeavesEverythingRefused) {
  StartLibrary("none");   // no such driver: the open fails the same way every time
  Yandorix.audioenable = 1;
  EXPECT_EQ(ISoundFX->Init(), 255);
  EXPECT_TRUE(Logged(" . [ISoundFX->Init()] Error: "));
  EXPECT_EQ(ISoundFX->Init(22050, AUDIO_S16LSB, 2, 1024), 0);
  EXPECT_EQ(ISoundFX->Initialized(), 0);
  Save("beep.wav", ydxsnd::Wav(16, 1, 22050, 100));
  EXPECT_EQ(ISoundFX->SoundLoad("beep.wav"), -1);
  EXPECT_EQ(ISoundFX->MusicLoad("beep.wav"), -1);
  EXPECT_EQ(ISoundFX->SoundPlay(-1, 0, 0), -1);
  EXPECT_EQ(ISoundFX->ChannelFadeIn(-1, 0, 0, 10), -1);
  EXPECT_EQ(ISoundFX->ChannelVolume(-1, 10), 0);
  EXPECT_EQ(ISoundFX->ChannelGetVolume(0), -1);
  EXPECT_EQ(ISoundFX->SoundVolume(0, 10), 0);
  EXPECT_EQ(ISoundFX->SoundGetVolume(0), -1);
  EXPECT_EQ(ISoundFX->MusicVolume(10), 0);
  EXPECT_EQ(ISoundFX->MusicGetVolume(), -1);
  EXPECT_EQ(ISoundFX->ChannelStop(-1), 0);
  EXPECT_EQ(ISoundFX->ChannelIsPaused(0), 0);
  EXPECT_EQ(ISoundFX->ChannelFadeOut(0, 10), -1);
  EXPECT_EQ(ISoundFX->IsPlaying(0), 0);
  EXPECT_EQ(ISoundFX->MusicPlay(0, 0), -1);
  EXPECT_EQ(ISoundFX->MusicFadeIn(0, 0, 10), -1);
  EXPECT_EQ(ISoundFX->MusicStop(), 0);
  EXPECT_EQ(ISoundFX->MusicIsPaused(), 0);
  EXPECT_EQ(ISoundFX->MusicFadeOut(10), 0);
  EXPECT_EQ(ISoundFX->IsPlaying(), 0);
  ISoundFX->ChannelPause(0);
  ISoundFX->ChannelResume(0);
  ISoundFX->MusicPause();
  ISoundFX->MusicResume();
  ISoundFX->MusicRewind();
  EXPECT_EQ(ISoundFX->Export(C("a.dpf"), C("beep"), 0, NULL), 0);
  EXPECT_EQ(ISoundFX->SoundLoad(C("b.dpf"), C("beep")), -1);
  // The archive forms open the archive before the closed mixer refuses.
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('a.dpf')] Error: "));
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('b.dpf')] Error: "));
}

TEST_F(MixerTest, SoundSlotsHandOutHandlesUntilFull) {
  StartLibrary("disk");
  OpenMixer();
  Save("beep.wav", ydxsnd::Wav(16, 1, 22050, 64));
  for (int i = 0; i < 256; i++) ASSERT_EQ(ISoundFX->SoundLoad("beep.wav"), i);
  EXPECT_EQ(ISoundFX->SoundLoad("beep.wav"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX] Warning: reached maximum limit of sound objects opened(256)\n"));
  ISoundFX->SoundFree(300);
  ISoundFX->SoundFree(-1);
  EXPECT_EQ(ydxsound::UsedSoundSlots(), 256);
  ISoundFX->SoundFree(17);
  EXPECT_EQ(ISoundFX->SoundLoad("beep.wav"), 17);   // the first free slot again
  Save("noise.wav", "this is no sound");
  EXPECT_EQ(ISoundFX->SoundLoad("noise.wav"), -1);   // refused before the mixer's loader sees it
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('noise.wav')] Error: sound not found.\n"));
  Save("loop.aiff", ydxsnd::AiffWithChunkPointingBack());
  EXPECT_EQ(ISoundFX->SoundLoad("loop.aiff"), -1);   // the mixer's loader would walk its chunks forever
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('loop.aiff')] Error: sound not found.\n"));
  EXPECT_EQ(ISoundFX->SoundLoad("missing.wav"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('missing.wav')] Error: sound not found.\n"));
  for (int i = 0; i < 256; i++) ISoundFX->SoundFree(i);
  EXPECT_EQ(ydxsound::UsedSoundSlots(), 0);
}

TEST_F(MixerTest, VolumesAreClampedAndAChannelAtZeroIsSilent) {
  StartLibrary("disk");
  Yandorix.soundvol = 200;
  OpenMixer();
  EXPECT_EQ(ISoundFX->ChannelGetVolume(0), 128);   // 200 applied to every channel acts as 128
  Save("tone.wav", ydxsnd::Wav(16, 1, 22050, 22050));
  int sound = ISoundFX->SoundLoad("tone.wav");
  ASSERT_EQ(sound, 0);
  EXPECT_EQ(ISoundFX->SoundGetVolume(sound), 128);
  EXPECT_EQ(ISoundFX->SoundVolume(sound, 90), 128);   // the previous volume
  EXPECT_EQ(ISoundFX->SoundGetVolume(sound), 90);
  EXPECT_EQ(ISoundFX->SoundGetVolume(5), -1);
  EXPECT_EQ(ISoundFX->MusicVolume(300), 128);
  EXPECT_EQ(ISoundFX->MusicGetVolume(), 128);

  EXPECT_EQ(ISoundFX->ChannelVolume(0, 0), 128);
  ASSERT_EQ(ISoundFX->SoundPlay(0, sound, -1), 0);   // channel 0 is a real answer
  EXPECT_EQ(ISoundFX->IsPlaying(0), 1);
  NextOutput(16384);   // what was mixed before the sound started
  EXPECT_TRUE(Silent(NextOutput(16384)));
  ISoundFX->ChannelVolume(0, 128);
  NextOutput(16384);
  EXPECT_FALSE(Silent(NextOutput(16384)));
  ISoundFX->ChannelPause(0);
  EXPECT_EQ(ISoundFX->ChannelIsPaused(0), 1);
  ISoundFX->ChannelResume(0);
  EXPECT_EQ(ISoundFX->ChannelStop(0), 0);
  EXPECT_EQ(ISoundFX->SoundPlay(0, 99, 0), -1);   // empty slot
  EXPECT_GE(ISoundFX->ChannelFadeIn(-1, sound, -1, 50), 0);
  EXPECT_GE(ISoundFX->ChannelFadeOut(-1, 10), 0);
}

TEST_F(MixerTest, ModulePlayersAreReleasedAndRecreatedFromTheirData) {
  StartLibrary("disk");
  OpenMixer();
  Save("a.mod", ydxsnd::ModModule());
  Save("b.xm", ydxsnd::XmModule());
  int a = ISoundFX->MusicLoad("a.mod"), b = ISoundFX->MusicLoad("b.xm");
  ASSERT_EQ(a, 0);
  ASSERT_EQ(b, 1);
  ydxsound::MusicSlotView va, vb;
  ASSERT_TRUE(ydxsound::ViewMusicSlot(a, &va));
  EXPECT_EQ(va.kind, 1);
  EXPECT_EQ(va.loaded, 0);
  EXPECT_FALSE(va.player);
  EXPECT_TRUE(va.source && va.data);
  EXPECT_EQ(ISoundFX->MusicFadeIn(a, 0, 10), -1);   // not loaded yet
  ASSERT_EQ(ISoundFX->MusicPlay(a, -1), 0);
  EXPECT_EQ(ISoundFX->IsPlaying(), 1);
  EXPECT_FALSE(Silent(NextOutput(16384) + NextOutput(16384)));
  ydxsound::ViewMusicSlot(a, &va);
  EXPECT_TRUE(va.loaded && va.player);

  ASSERT_EQ(ISoundFX->MusicPlay(b, 0), 0);
  ydxsound::ViewMusicSlot(a, &va);
  ydxsound::ViewMusicSlot(b, &vb);
  EXPECT_FALSE(va.loaded || va.player);
  EXPECT_TRUE(va.data && va.source);   // kept to play A again
  EXPECT_TRUE(vb.loaded && vb.player);

  ASSERT_EQ(ISoundFX->MusicPlay(a, 0), 0);
  ydxsound::ViewMusicSlot(a, &va);
  ydxsound::ViewMusicSlot(b, &vb);
  EXPECT_TRUE(va.loaded && va.player);
  EXPECT_FALSE(vb.loaded || vb.player);
  EXPECT_EQ(ISoundFX->MusicFadeIn(a, 0, 10), 0);
  ISoundFX->MusicPause();
  EXPECT_EQ(ISoundFX->MusicIsPaused(), 1);
  ISoundFX->MusicResume();
  ISoundFX->MusicRewind();
  EXPECT_EQ(ISoundFX->MusicFadeOut(10), 1);
  EXPECT_EQ(ISoundFX->MusicStop(), 0);

  // Garbage is taken as a module until it is played.
  Save("junk.mod", std::string(100, 'j'));
  int junk = ISoundFX->MusicLoad("junk.mod");
  ASSERT_EQ(junk, 2);
  EXPECT_EQ(ISoundFX->MusicPlay(junk, 0), -1);
  ydxsound::MusicSlotView vj;
  ydxsound::ViewMusicSlot(junk, &vj);
  EXPECT_EQ(vj.loaded, 0);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicPlay(2,0)] Error: music format unknown ('"));
  ISoundFX->MusicFree(40);
  ISoundFX->MusicFree(-3);
  EXPECT_EQ(ydxsound::UsedMusicSlots(), 3);
  ISoundFX->MusicFree(a);
  ydxsound::ViewMusicSlot(a, &va);
  EXPECT_FALSE(va.used || va.player || va.source || va.data);
}

TEST_F(MixerTest, OggMusicKeepsItsStreamAndBadOggTakesNoSlot) {
  StartLibrary("disk");
  OpenMixer();
  Save("tune.ogg", ydxsnd::OggVorbis(2, 22050, 0.5));
  std::string bad = ydxsnd::OggVorbis(2, 22050, 0.5).substr(0, 200);
  Save("bad.ogg", bad);
  EXPECT_EQ(ISoundFX->MusicLoad("bad.ogg"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicLoad('bad.ogg')] Error: music format unknown ('"));
  EXPECT_EQ(ydxsound::UsedMusicSlots(), 0);
  int music = ISoundFX->MusicLoad("tune.ogg");
  ASSERT_EQ(music, 0);
  ydxsound::MusicSlotView v;
  ydxsound::ViewMusicSlot(music, &v);
  EXPECT_EQ(v.kind, 0);
  EXPECT_TRUE(v.player && v.source && v.data);
  ASSERT_EQ(ISoundFX->MusicPlay(music, 0), 0);
  EXPECT_FALSE(Silent(NextOutput(16384) + NextOutput(16384)));   // streams from the slot's data
  EXPECT_EQ(ISoundFX->MusicFadeIn(music, 0, 10), 0);
  for (int i = 1; i < 32; i++) ASSERT_EQ(ISoundFX->MusicLoad("tune.ogg"), i);
  EXPECT_EQ(ISoundFX->MusicLoad("tune.ogg"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX] Warning: reached maximum limit of music objects opened(32)\n"));
  EXPECT_EQ(ISoundFX->MusicLoad("missing.ogg"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicLoad('missing.ogg')] Error: music not found.\n"));
  Save("empty.mod", "");
  for (int i = 0; i < 32; i++) ISoundFX->MusicFree(i);
  EXPECT_EQ(ISoundFX->MusicLoad("empty.mod"), -1);
}

TEST_F(MixerTest, LeftoversAreFreedAndCountedAtQuit) {
  StartLibrary("disk");
  OpenMixer();
  Save("beep.wav", ydxsnd::Wav(8, 1, 22050, 64));
  Save("a.mod", ydxsnd::ModModule());
  ISoundFX->SoundLoad("beep.wav");
  ISoundFX->SoundLoad("beep.wav");
  ASSERT_EQ(ISoundFX->MusicPlay(ISoundFX->MusicLoad("a.mod"), 0), 0);
  // Closing the mixer releases the module's player; playing after a new open re-creates it.
  ISoundFX->Quit();
  ydxsound::MusicSlotView v;
  ydxsound::ViewMusicSlot(0, &v);
  EXPECT_FALSE(v.loaded || v.player);
  OpenMixer();
  ASSERT_EQ(ISoundFX->MusicPlay(0, 0), 0);
  Yandorix.Quit();
  EXPECT_TRUE(Logged(" . [ISoundFX] Warning! your application has left 2 sounds without deleting."));
  EXPECT_TRUE(Logged(" . [ISoundFX] Warning! your application has left 1 music without deleting."));
  EXPECT_TRUE(Logged(" . [ISoundFX] Interfaz deleted.\n"));
  EXPECT_EQ(ydxsound::UsedSoundSlots() + ydxsound::UsedMusicSlots(), 0);
}
