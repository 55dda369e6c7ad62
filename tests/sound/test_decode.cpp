// The library's own decoding: every source rate, channel count and sample format comes out at the open
// mixer's rate to the resampler's rounding, plays its length and pitch through the disk driver, and
// hostile or damaged files are refused with their reason or cost what their audio holds.
#include "SoundTest.h"
#include <SDL_mixer.h>
#include <sys/stat.h>

namespace {

class DecodeTest : public SoundTest {
 protected:
  // The frames of the chunk a loaded sound plays; -1 when it did not load.
  static long LoadedFrames(int sound, int frameBytes) {
    int channel = ISoundFX->SoundPlay(-1, sound, 0);
    long frames = channel >= 0 ? (long)(Mix_GetChunk(channel)->alen / frameBytes) : -1;
    ISoundFX->ChannelStop(channel);
    ISoundFX->SoundFree(sound);
    return frames;
  }
  static size_t OutputSize() {
    struct stat st;
    return stat("out.raw", &st) == 0 ? (size_t)st.st_size : 0;
  }
};

// The resampler gives the nearest whole number of frames, halves rounded up.
long Resampled(long frames, long rate, long mixerRate) { return (frames * mixerRate * 2 + rate) / (rate * 2); }

std::string Samples(int bytesPerSample, int channels, int frames) {
  std::string data;
  for (int i = 0; i < frames * channels * bytesPerSample; i++) data += (char)(i * 37);
  return data;
}

std::string SourceFile(int kind, int channels, int rate, int frames) {
  ydxsnd::WavFields f;
  f.channels = channels;
  f.rate = rate;
  switch (kind) {
    case 0: return ydxsnd::Wav(8, channels, rate, frames);
    case 1: return ydxsnd::Wav(16, channels, rate, frames);
    case 2:
      f.bits = 24;
      f.blockAlign = 3 * channels;
      return ydxsnd::WavOf(f, Samples(3, channels, frames));
    case 3:
      f.encoding = 3;
      f.bits = 32;
      f.blockAlign = 4 * channels;
      return ydxsnd::WavOf(f, std::string((size_t)(4 * channels * frames), '\0'));
    case 4: return ydxsnd::Aiff(16, channels, rate, frames);
    case 5: return ydxsnd::Voc16(channels, rate, frames);
    default:   // libvorbisenc's own 5.1 set-up leaks, so surround Ogg Vorbis is 7.1 here
      return ydxsnd::OggVorbis(channels == 6 ? 8 : channels, rate, (frames + 0.5) / rate);
  }
}

}  // namespace

TEST_F(DecodeTest, EveryRateChannelCountAndFormatComesOutAtTheMixersRate) {
  StartLibrary("dummy");
  const char* kinds[] = {"u8.wav", "s16.wav", "s24.wav", "f32.wav", "s16.aiff", "s16.voc", "vorbis.ogg"};
  const int rates[] = {8000, 11025, 22050, 32000, 44100, 48000, 96000}, channels[] = {1, 2, 6};
  struct Mixer {
    int rate;
    Uint16 format;
    int channels;
  } mixers[] = {{22050, AUDIO_S16LSB, 2}, {44100, AUDIO_S16LSB, 2}, {48000, AUDIO_S16LSB, 2},
                {44100, AUDIO_S8, 6}, {22050, AUDIO_U16MSB, 1}};
  int row = 0;
  for (int rate : rates)
    for (int kind = 0; kind < 7; kind++, row++) {
      int frames = rate / 20 + 7, sourceChannels = channels[row % 3];
      Save(std::to_string(row) + kinds[kind], SourceFile(kind, sourceChannels, rate, frames));
    }
  for (const Mixer& m : mixers) {
    ASSERT_EQ(ISoundFX->Init(m.rate, m.format, m.channels, 512), 1);
    const int frameBytes = m.channels * ((m.format & 0xFF) / 8);
    row = 0;
    for (int rate : rates)
      for (int kind = 0; kind < 7; kind++, row++) {
        std::string name = std::to_string(row) + kinds[kind];
        SCOPED_TRACE(name + " at " + std::to_string(rate) + " Hz on a mixer of " + std::to_string(m.rate) + " Hz");
        EXPECT_EQ(LoadedFrames(ISoundFX->SoundLoad(name.c_str()), frameBytes), Resampled(rate / 20 + 7, rate, m.rate));
      }
    ISoundFX->Quit();
  }
}

// A second of 48000 Hz sound, and of 48000 Hz Ogg music, played on a 44100 Hz mixer: the disk driver's
// output holds 44100 frames of it, with the tone's zero crossings (1500 Hz square, 440 Hz sine).
TEST_F(DecodeTest, A48000HzSecondPlaysOneSecondAtItsPitchOnA44100HzMixer) {
  StartLibrary("disk");
  ASSERT_EQ(ISoundFX->Init(44100, AUDIO_S16LSB, 2, 1024), 1);
  Save("square.wav", ydxsnd::Wav(16, 2, 48000, 48000));
  Save("sine.ogg", ydxsnd::OggVorbis(2, 48000, 1.0));
  const struct {
    bool music;
    const char* file;
    int crossings;
  } cases[] = {{false, "square.wav", 3000}, {true, "sine.ogg", 880}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    size_t start = OutputSize();
    int handle = c.music ? ISoundFX->MusicLoad(c.file) : ISoundFX->SoundLoad(c.file);
    ASSERT_GE(handle, 0);
    ASSERT_GE(c.music ? ISoundFX->MusicPlay(handle, 0) : ISoundFX->SoundPlay(-1, handle, 0), 0);
    EXPECT_TRUE(ydxtest::WaitUntil([&] { return c.music ? !ISoundFX->IsPlaying() : !ISoundFX->IsPlaying(-1); }));
    size_t end = OutputSize();
    EXPECT_TRUE(ydxtest::WaitUntil([&] { return OutputSize() >= end + 16384; }));   // the last buffers written
    std::string out = ydxtest::ReadFile("out.raw").substr(start);
    std::vector<int16_t> left;
    for (size_t i = 0; i + 4 <= out.size(); i += 4) left.push_back((int16_t)((uint8_t)out[i] | (uint8_t)out[i + 1] << 8));
    size_t first = 0, last = left.size();
    while (first < last && left[first] == 0) first++;
    while (last > first && left[last - 1] == 0) last--;
    EXPECT_NEAR((double)(last - first), 44100.0, 441.0);
    int crossings = 0;
    for (size_t i = first + 1, previous = first; i < last; i++) {
      if (left[i] == 0) continue;
      crossings += (left[i] > 0) != (left[previous] > 0);
      previous = i;
    }
    EXPECT_NEAR(crossings, c.crossings, 3);
    if (c.music) ISoundFX->MusicFree(handle);
    else ISoundFX->SoundFree(handle);
  }
}

namespace {

std::string WithGranule(const std::string& ogg, uint64_t granule) {
  std::vector<std::string> pages = ydxsnd::OggPages(ogg);
  for (int i = 0; i < 8; i++) pages.back()[6 + i] = (char)(granule >> (8 * i));
  return ydxsnd::ResealOggPages(pages);
}

std::string WithVendorLength(const std::string& ogg, uint32_t length) {
  std::vector<std::string> pages = ydxsnd::OggPages(ogg);
  size_t at = pages[1].find("\x03vorbis") + 7;
  for (int i = 0; i < 4; i++) pages[1][at + i] = (char)(length >> (8 * i));
  return ydxsnd::ResealOggPages(pages);
}

// The last `count` pages with a checksum that no longer holds.
std::string WithDamagedTail(const std::string& ogg, size_t count) {
  std::vector<std::string> pages = ydxsnd::OggPages(ogg);
  std::string out;
  for (size_t i = 0; i < pages.size(); i++) {
    if (i + count >= pages.size()) pages[i][22] ^= 0x5A;
    out += pages[i];
  }
  return out;
}

// Frames of the pages before the last `count`: what a decoder keeps of a damaged tail.
long FramesBeforeTail(const std::string& ogg, size_t count) {
  std::vector<std::string> pages = ydxsnd::OggPages(ogg);
  const std::string& last = pages[pages.size() - 1 - count];
  long granule = 0;
  for (int i = 7; i >= 0; i--) granule = granule << 8 | (uint8_t)last[6 + i];
  return granule;
}

// 8000 Hz mono 8-bit sound followed by `blocks` silences of 65536 frames each.
std::string VocWithSilences(int blocks) {
  std::string voc = ydxsnd::Voc8(8000, 10);
  voc.pop_back();   // the terminator
  for (int i = 0; i < blocks; i++) voc += std::string("\x03\x03\0\0\xff\xff\x83", 7);
  return voc + '\0';
}

std::string Junk(size_t bytes) {
  std::string junk;
  uint32_t seed = 12345;
  for (size_t i = 0; i < bytes; i++) junk += (char)((seed = seed * 1103515245 + 12345) >> 24 | 1);
  return junk;
}

}  // namespace

TEST_F(DecodeTest, HostileAndDamagedFilesAreRefusedWithTheirReasonOrCostWhatTheyHold) {
  StartLibrary("dummy");
  ASSERT_EQ(ISoundFX->Init(22050, AUDIO_S16LSB, 2, 512), 1);
  const std::string half = ydxsnd::OggVorbis(2, 22050, 0.5), eight = ydxsnd::OggVorbis(2, 22050, 8.0);
  // A 9-byte chunk and its pad byte ahead of the format chunk; the RIFF size grows by 18.
  std::string junkChunk = ydxsnd::Wav(16, 2, 22050, 100);
  junkChunk.insert(12, std::string("JUNK\x09\0\0\0" "123456789\0", 18));
  junkChunk[4] = (char)(junkChunk[4] + 18);
  const std::string kLimit = "sound refused before decoding (longer than the decoding limit of 3600 s of audio)";
  const std::string kIgnored = "Warning: the Ogg stream ends at its last whole page; the last ";
  const struct {
    const char* name;
    std::string bytes;
    long frames;           // at 22050 Hz when it loads; -1: refused
    std::string logged;    // the Error line's reason or the Warning
  } cases[] = {
      {"claims-500m-frames.ogg", WithGranule(half, 500000000), -1, kLimit},
      {"granule-near-2-63.ogg", WithGranule(half, 0x7FFFFFFFFFFFFF00ull), -1, kLimit},
      {"vendor-4gb.ogg", WithVendorLength(half, 0xFFFFFFFFu), -1, "(damaged Ogg Vorbis headers)"},
      {"two-hours-of-silence.voc", VocWithSilences(440), -1, kLimit},
      {"half-a-minute-of-silence.voc", VocWithSilences(4), Resampled(10 + 4 * 65536, 8000, 22050), ""},
      {"junk-after.ogg", half + Junk(1 << 20), 11025, kIgnored + "1048576 bytes"},
      {"damaged-tail.ogg", WithDamagedTail(eight, 2), FramesBeforeTail(eight, 2), kIgnored},
      {"empty-first-link.ogg", ydxsnd::OggVorbis(2, 22050, 0) + ydxsnd::OggVorbis(1, 22050, 0.5, 0, 7), 11025, ""},
      {"six-channels.aiff", ydxsnd::Aiff(16, 6, 22050, 1000), 1000, ""},
      {"junk-chunk-and-pad.wav", junkChunk, 100, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Save(c.name, c.bytes);
    sAudioType info;
    EXPECT_EQ(ISoundFX->SoundInfo(0, C(c.name), &info), c.frames >= 0 ? 1 : 0);
    EXPECT_EQ(LoadedFrames(ISoundFX->SoundLoad(c.name), 4), c.frames);
    if (!c.logged.empty()) {
      EXPECT_TRUE(Logged(std::string("[ISoundFX->SoundLoad('") + c.name + "')] ") && Logged(c.logged));
    }
  }
  // The bound is one setting: lowered, a two-second sound is refused by it, and so is music.
  ydxsound::SetDecodeLimitSeconds(1);
  Save("two-seconds.wav", ydxsnd::Wav(16, 2, 22050, 44100));
  Save("two-seconds.ogg", ydxsnd::OggVorbis(1, 22050, 2.0));
  EXPECT_EQ(ISoundFX->SoundLoad("two-seconds.wav"), -1);
  EXPECT_TRUE(Logged("[ISoundFX->SoundLoad('two-seconds.wav')] Error: sound refused before decoding (longer than "
                     "the decoding limit of 1 s of audio).\n"));
  EXPECT_EQ(ISoundFX->MusicLoad("two-seconds.ogg"), -1);
  EXPECT_TRUE(Logged("('longer than the decoding limit of 1 s of audio')"));
  ydxsound::SetDecodeLimitSeconds(3600);
}
