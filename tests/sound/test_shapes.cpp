// Sound data of every kind and of shapes SDL's loaders and converter cannot survive: information and
// loading give the same verdict from files and from archive blocks, refused loads say why, and the
// open mixer's own limits are kept.
#include "SoundTest.h"
#include <SDL_mixer.h>
#include <cstring>

namespace {

class ShapeTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    StartLibrary("dummy");
  }
};

std::string WithByte(std::string bytes, size_t at, char value) {
  bytes.replace(at, 1, 1, value);
  return bytes;
}

std::string WavShape(int encoding, int channels, int rate, int bits, int blockAlign, size_t dataBytes = 64) {
  ydxsnd::WavFields f;
  f.encoding = encoding;
  f.channels = channels;
  f.rate = rate;
  f.bits = bits;
  f.blockAlign = blockAlign;
  return ydxsnd::WavOf(f, std::string(dataBytes, '\x40'));
}

struct ShapeCase {
  const char* name;
  std::string bytes;
  int channels;   // 0: refused
  Uint16 sampleformat;
  int frequency;
};

// Offsets into the generated files: the block size of a WAV format chunk, the first ADPCM block's
// first byte (after the "fact" chunk), a VOC file's first block type and length, the end of an AIFF
// file's "COMM" chunk.
const size_t kBlockAlign = 32, kMsFirstBlock = 12 + 58 + 12 + 8, kVocBlock = 26, kVocLength = 27, kAfterComm = 38;

// The last 8 sample bytes of sox files, which its short block length turns into a block header: one that
// runs past the end of the file, an empty 8-bit block (then one past the end), a terminator.
const std::string kSoxPastTheEnd("\x2f\xa7\x8a\xb2\x33\xc6\xf5\xe1", 8), kSoxEmptyBlock("\1\0\0\0\xff\xff\0\0", 8),
    kSoxTerminator("\0\0\x05\0\x02\0\x01\0", 8);

std::vector<ShapeCase> Shapes() {
  using namespace ydxsnd;
  std::string ms = WavAdpcm(true, 1, 22050, 2), ima = WavAdpcm(false, 2, 8000, 2);
  std::string voc16 = Voc16(1, 8000, 40), aiff = Aiff(8, 1, 22050, 40);
  // A description of 1 Hz ahead of the real one: the mixer's loader refuses it though the last one is good.
  std::string slowComm = aiff.substr(12, 26).replace(16, 10, std::string("\x3f\xff\x80\0\0\0\0\0\0\0", 10));
  // Two streams grouped in one file, as ffmpeg writes them: both first pages, then the rest of each.
  std::vector<std::string> first = OggPages(OggVorbis(1, 11025, 0.1)), second = OggPages(OggVorbis(2, 8000, 0.1, 0, 7));
  std::string grouped = first[0] + second[0];
  for (const auto* pages : {&first, &second})
    for (size_t i = 1; i < pages->size(); i++) grouped += (*pages)[i];
  return {
      {"u8.wav", ydxsnd::Wav(8, 1, 11025, 40), 1, AUDIO_U8, 11025},
      {"s16-quad.wav", WavShape(1, 4, 22050, 16, 8), 4, AUDIO_S16LSB, 22050},
      {"lowest-rate.wav", WavShape(1, 1, 1000, 16, 2), 1, AUDIO_S16LSB, 1000},
      {"highest-rate.wav", WavShape(1, 6, 384000, 16, 12, 32 * 12), 6, AUDIO_S16LSB, 384000},
      {"enough-for-22050-hz.wav", WavShape(1, 6, 384000, 16, 12, 9 * 12), 6, AUDIO_S16LSB, 384000},
      {"too-short-for-22050-hz.wav", WavShape(1, 6, 384000, 16, 12, 8 * 12), 0, 0, 0},
      {"no-channels.wav", WavShape(1, 0, 22050, 16, 2), 0, 0, 0},
      {"three-channels.wav", WavShape(1, 3, 22050, 16, 6), 3, AUDIO_S16LSB, 22050},
      {"nine-channels.wav", WavShape(1, 9, 22050, 16, 18, 180), 0, 0, 0},
      {"rate-0.wav", WavShape(1, 1, 0, 16, 2), 0, 0, 0},
      {"rate-999.wav", WavShape(1, 1, 999, 16, 2), 0, 0, 0},
      {"rate-384001.wav", WavShape(1, 1, 384001, 16, 2), 0, 0, 0},
      {"24-bit.wav", WavShape(1, 1, 22050, 24, 3, 63), 1, 0x8018, 22050},
      {"float.wav", WavShape(3, 1, 22050, 32, 4), 1, 0x8120, 22050},
      {"12-bit.wav", WavShape(1, 1, 22050, 12, 2), 0, 0, 0},
      {"ms-adpcm.wav", ms, 1, AUDIO_S16LSB, 22050},
      {"ms-adpcm-stereo.wav", WavAdpcm(true, 2, 44100, 3), 2, AUDIO_S16LSB, 44100},
      {"ima-adpcm.wav", ima, 2, AUDIO_S16LSB, 8000},
      {"ima-adpcm-mono.wav", WavAdpcm(false, 1, 11025, 3), 1, AUDIO_S16LSB, 11025},
      {"ms-adpcm-block-0.wav", WithByte(WithByte(ms, kBlockAlign, 0), kBlockAlign + 1, 0), 0, 0, 0},
      {"ms-adpcm-samples.wav", WavAdpcm(true, 1, 22050, 2, 0, 499), 0, 0, 0},
      {"ms-adpcm-predictor.wav", WithByte(ms, kMsFirstBlock + 256, 7), 0, 0, 0},
      {"ima-adpcm-block-0.wav", WithByte(WithByte(ima, kBlockAlign, 0), kBlockAlign + 1, 0), 0, 0, 0},
      {"ima-adpcm-block-odd.wav", WavAdpcm(false, 2, 8000, 2, 510), 0, 0, 0},
      {"ms-adpcm-3-bits.wav", WithByte(ms, kBlockAlign + 2, 3), 0, 0, 0},
      {"u8.voc", Voc8(10000, 40), 1, AUDIO_U8, 10000},
      {"stereo.voc", Voc8Stereo(11025, 40), 2, AUDIO_U8, 11025},
      {"s16.voc", Voc16(2, 16000, 40), 2, AUDIO_S16LSB, 16000},
      {"s16-pieces.voc", VocContinued(22050, 100, 3), 1, AUDIO_S16LSB, 22050},
      {"s16-short-length.voc", WithByte(voc16, kVocLength, (char)(voc16[kVocLength] - 8)), 1, AUDIO_S16LSB, 8000},
      {"s16-no-channels.voc", WithByte(voc16, kVocBlock + 9, 0), 0, 0, 0},
      {"extended-mono.voc", WithByte(Voc8Stereo(11025, 40), kVocBlock + 7, 0), 0, 0, 0},
      {"marker.voc", WithByte(voc16, kVocBlock, 4), 0, 0, 0},
      {"zero-padded.voc", voc16 + std::string(16, '\0'), 1, AUDIO_S16LSB, 8000},
      {"sox16.voc", Voc16AsSox(2, 22050, 40, kSoxPastTheEnd), 2, AUDIO_S16LSB, 22050},
      {"sox16-empty-block.voc", Voc16AsSox(1, 22050, 40, kSoxEmptyBlock), 1, AUDIO_S16LSB, 22050},
      {"sox16-cut-first-block.voc", Voc16AsSox(1, 22050, 40, kSoxPastTheEnd).substr(0, 60), 0, 0, 0},
      {"after-terminator.voc", voc16 + std::string("\x02\x04\0\0\x10\x20\x30\x40", 8), 1, AUDIO_S16LSB, 8000},
      {"s16.aiff", Aiff(16, 2, 44100, 40), 2, AUDIO_S16MSB, 44100},
      {"three-channels.aiff", Aiff(8, 3, 22050, 40), 3, AUDIO_S8, 22050},
      {"padded-chunk.aiff", aiff.substr(0, kAfterComm) + std::string("ANNO\0\0\0\3abc\0", 12) + aiff.substr(kAfterComm),
       1, AUDIO_S8, 22050},
      {"unpadded-chunk.aiff", aiff.substr(0, kAfterComm) + std::string("ANNO\0\0\0\3abc", 11) + aiff.substr(kAfterComm),
       0, 0, 0},
      {"two-descriptions.aiff", aiff.substr(0, 12) + slowComm + aiff.substr(12), 0, 0, 0},
      {"voice.8svx", Svx8(8363, 41), 1, AUDIO_S8, 8363},
      {"rate-0.8svx", Svx8(0, 41), 0, 0, 0},
      {"mono.ogg", OggVorbis(1, 11025, 0.1), 1, AUDIO_S16LSB, 11025},
      {"three-channels.ogg", OggVorbis(3, 11025, 0.1), 3, AUDIO_S16LSB, 11025},
      {"headers-only.ogg", OggVorbis(2, 44100, 0), 0, 0, 0},
      {"four-frames.ogg", OggVorbis(2, 44100, 0.0001), 2, AUDIO_S16LSB, 44100},
      {"grouped-streams.ogg", grouped, 1, AUDIO_S16LSB, 11025},
      {"half-a-frame.wav", WavShape(1, 2, 22050, 16, 4, 2), 0, 0, 0},
  };
}

}  // namespace

TEST_F(ShapeTest, InformationAndLoadingGiveOneVerdictForEveryShape) {
  OpenMixer();
  int archive = IStuffDPF->Create("shapes.dpf");
  ASSERT_GT(archive, 0);
  for (const ShapeCase& c : Shapes()) {
    SCOPED_TRACE(c.name);
    SaveAndImport(archive, c.name, c.bytes);
    for (int fromArchive = 0; fromArchive < 2; fromArchive++) {
      sAudioType info = sAudioType();
      int informed = ISoundFX->SoundInfo(fromArchive ? archive : 0, C(c.name), &info);
      int sound = fromArchive ? ISoundFX->SoundLoad(archive, C(c.name)) : ISoundFX->SoundLoad(c.name);
      EXPECT_EQ(informed, c.channels ? 1 : 0);
      EXPECT_EQ(sound >= 0, informed == 1);
      if (sound >= 0) {
        EXPECT_GE(ISoundFX->SoundPlay(-1, sound, 0), 0);   // no chunk the mixer refuses to play
      }
      if (c.channels) {
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.sampleformat, c.sampleformat);
        EXPECT_EQ(info.frequency, c.frequency);
      }
      ISoundFX->SoundFree(sound);
    }
  }
  IStuffDPF->Close(archive);
}

// Bytes after a VOC terminator, and the last samples that sox's short block length leaves outside its
// block, are ignored, and the mixer's loader never sees them: from a file and from an archive, the sound
// loads exactly as one whose block ends there. Only the bytes that looked like a block are warned of.
TEST_F(ShapeTest, WhatFollowsTheLastWholeVocBlockNeverReachesTheLoader) {
  OpenMixer();
  const char kWarning[] = "Warning: the sound ends at a VOC block that cannot continue it; the last 9 bytes of the "
                          "file were ignored.\n";
  const struct {
    const char* name;
    std::string bytes;
    int frames;   // as loaded: the frames of the blocks as declared
    bool warned;
  } cases[] = {
      {"trailer.voc", ydxsnd::Voc16(2, 22050, 40) + std::string("\x02\x04\x01\x01\x10\x20\x30\x40", 8), 40, false},
      {"sox-past-the-end.voc", ydxsnd::Voc16AsSox(2, 22050, 40, kSoxPastTheEnd), 38, true},
      {"sox-empty-block.voc", ydxsnd::Voc16AsSox(2, 22050, 40, kSoxEmptyBlock), 38, true},
      {"sox-terminator.voc", ydxsnd::Voc16AsSox(2, 22050, 40, kSoxTerminator), 38, false},
  };
  int archive = IStuffDPF->Create("voc.dpf");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SaveAndImport(archive, c.name, c.bytes);
    Save("plain.voc", ydxsnd::Voc16(2, 22050, c.frames));
    std::vector<Uint32> lengths;
    for (int sound : {ISoundFX->SoundLoad(c.name), ISoundFX->SoundLoad(archive, C(c.name)),
                      ISoundFX->SoundLoad("plain.voc")}) {
      int channel = ISoundFX->SoundPlay(-1, sound, -1);
      ASSERT_GE(channel, 0);
      lengths.push_back(Mix_GetChunk(channel)->alen);
      ISoundFX->ChannelStop(channel);
      ISoundFX->SoundFree(sound);
    }
    EXPECT_EQ(lengths, std::vector<Uint32>(3, lengths[2]));
    EXPECT_EQ(Logged(std::string("[ISoundFX->SoundLoad('") + c.name + "')] " + kWarning), c.warned);
  }
}

TEST_F(ShapeTest, RefusedDataIsNamedWithItsReason) {
  OpenMixer();
  Save("none.wav", WavShape(1, 0, 22050, 16, 2));
  EXPECT_EQ(ISoundFX->SoundLoad("none.wav"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('none.wav')] Error: sound refused before decoding (a channel count "
                     "other than 1 to 8).\n"));
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('none.wav')] Error: sound not found.\n"));
  ASSERT_GT(ISoundFX->SoundImport(C("a.dpf"), C("none"), C("none.wav")), 0);
  EXPECT_EQ(ISoundFX->SoundLoad(C("a.dpf"), C("none")), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('a.dpf','none')] Error: sound refused before decoding (a channel "
                     "count other than 1 to 8).\n"));
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('a.dpf','none')] Error: sound format unknown.\n"));
  // Headers that hold together as far as they are read, and a setup header the decoder cannot read: the
  // decoder's reason is given.
  std::vector<std::string> pages = ydxsnd::OggPages(ydxsnd::OggVorbis(1, 11025, 0.1));
  pages[1][pages[1].find("\x05vorbis") + 1] = 'x';
  Save("bad-setup.ogg", ydxsnd::ResealOggPages(pages));
  EXPECT_EQ(ISoundFX->SoundLoad("bad-setup.ogg"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('bad-setup.ogg')] Error: the sound could not be decoded (libvorbisfile "
                     "cannot read the stream's headers).\n"));
  sAudioType info;
  EXPECT_EQ(ISoundFX->SoundInfo(0, C("none.wav"), &info), 0);
  EXPECT_TRUE(Logged("none.wav',0x") && Logged("] Error: sound load failed.\n"));

  // Music decoded as it plays is held to the same rules: Ogg Vorbis when loaded, WAV when played.
  Save("headers.ogg", ydxsnd::OggVorbis(2, 11025, 0));
  EXPECT_EQ(ISoundFX->MusicLoad("headers.ogg"), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicLoad('headers.ogg')] Error: music format unknown ('too few samples to give "
                     "the mixer one sample frame').\n"));
  EXPECT_EQ(ISoundFX->MusicInfo(0, C("headers.ogg"), &info), 0);
  int music = ISoundFX->MusicLoad("none.wav");
  ASSERT_GE(music, 0);   // kept as module data until played
  EXPECT_EQ(ISoundFX->MusicPlay(music, 0), -1);
  EXPECT_TRUE(Logged("Error: music format unknown ('a channel count other than 1 to 8').\n"));
  ISoundFX->MusicFree(music);
}

// A sound must keep a sample frame at the open mixer's rate once resampled; without a mixer it is judged
// by the slowest usual one.
TEST_F(ShapeTest, ShortSoundsAreJudgedAtTheOpenMixersRate) {
  ASSERT_EQ(ISoundFX->Init(44100, AUDIO_S16LSB, 2, 512), 1);
  Save("one.ogg", ydxsnd::OggVorbis(2, 44100, 1.5 / 44100));
  sAudioType info;
  EXPECT_EQ(ISoundFX->SoundInfo(0, C("one.ogg"), &info), 1);
  int sound = ISoundFX->SoundLoad("one.ogg");
  EXPECT_GE(ISoundFX->SoundPlay(-1, sound, 0), 0);
  ISoundFX->SoundFree(sound);
  ISoundFX->Quit();
  EXPECT_EQ(ISoundFX->SoundInfo(0, C("one.ogg"), &info), 0);
  EXPECT_TRUE(Logged("'one.ogg')] Error: sound refused (too few samples to give the mixer one sample frame).\n"));
}
