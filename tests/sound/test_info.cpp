// Format information of sound and music files and blocks: every format's fields, the same values as
// SDL's and SDL_mixer's own loaders give, and short or damaged files refused without reading past them.
#include "SoundTest.h"
#include <SDL_mixer.h>
#include <cstring>

// SDL_mixer exports these loaders without declaring them; the info operations must agree with them.
extern "C" {
SDL_AudioSpec* Mix_LoadAIFF_RW(SDL_RWops* src, int freesrc, SDL_AudioSpec* spec, Uint8** audio_buf, Uint32* audio_len);
SDL_AudioSpec* Mix_LoadVOC_RW(SDL_RWops* src, int freesrc, SDL_AudioSpec* spec, Uint8** audio_buf, Uint32* audio_len);
SDL_AudioSpec* Mix_LoadOGG_RW(SDL_RWops* src, int freesrc, SDL_AudioSpec* spec, Uint8** audio_buf, Uint32* audio_len);
}

namespace {

struct SoundCase {
  const char* file;
  std::string bytes;
  const char* format;
  int channels;
  Uint16 sampleformat;
  int frequency;
};

std::vector<SoundCase> SoundCases() {
  return {
      {"u8.wav", ydxsnd::Wav(8, 1, 11025, 300), "WAV", 1, 0x0008, 11025},
      {"s16.wav", ydxsnd::Wav(16, 2, 22050, 300), "WAV", 2, 0x8010, 22050},
      {"chunks.wav", ydxsnd::WavWithExtraChunks(8000), "WAV", 1, 0x8010, 8000},
      {"s16.aiff", ydxsnd::Aiff(16, 2, 44100, 300), "AIFF", 2, 0x9010, 44100},
      {"s8.aiff", ydxsnd::Aiff(8, 1, 22050, 300), "AIFF", 1, 0x8008, 22050},
      {"u8.voc", ydxsnd::Voc8(10000, 300), "VOC", 1, 0x0008, 10000},
      {"s16.voc", ydxsnd::Voc16(2, 16000, 300), "VOC", 2, 0x8010, 16000},
      {"tone.ogg", ydxsnd::OggVorbis(2, 22050, 0.3), "OGG", 2, 0x8010, 22050},
      {"mono.ogg", ydxsnd::OggVorbis(1, 11025, 0.2), "OGG", 1, 0x8010, 11025},
  };
}

// What SDL's own loader reports for a sound file, chosen by the same magic as Mix_LoadWAV_RW.
bool LoaderSpec(const std::string& bytes, SDL_AudioSpec* spec) {
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), (int)bytes.size());
  Uint8* buffer = NULL;
  Uint32 length = 0;
  SDL_AudioSpec* got = NULL;
  std::string magic = bytes.substr(0, 4);
  if (magic == "RIFF" || magic == "WAVE") got = SDL_LoadWAV_RW(rw, 0, spec, &buffer, &length);
  else if (magic == "FORM") got = Mix_LoadAIFF_RW(rw, 0, spec, &buffer, &length);
  else if (magic == "Crea") got = Mix_LoadVOC_RW(rw, 0, spec, &buffer, &length);
  else if (magic == "OggS") got = Mix_LoadOGG_RW(rw, 0, spec, &buffer, &length);
  SDL_free(buffer);
  SDL_FreeRW(rw);   // the loaders do not all close their stream on failure
  return got != NULL;
}

class InfoTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    StartLibrary();
  }
  int archive = 0;
  void OpenArchive() { archive = IStuffDPF->Create("info.dpf"); }
};

}  // namespace

TEST_F(InfoTest, EverySoundFormatFromFilesAndBlocksAsTheLoadersSeeIt) {
  OpenArchive();
  ASSERT_GT(archive, 0);
  Mix_Init(MIX_INIT_OGG);
  for (const SoundCase& c : SoundCases()) {
    SCOPED_TRACE(c.file);
    SaveAndImport(archive, c.file, c.bytes);
    for (int fromArchive = 0; fromArchive < 2; fromArchive++) {
      sAudioType info;
      memset(&info, 0xEE, sizeof info);
      ASSERT_EQ(ISoundFX->SoundInfo(fromArchive ? archive : 0, C(c.file), &info), 1);
      EXPECT_STREQ(info.format, c.format);
      EXPECT_EQ(info.channels, c.channels);
      EXPECT_EQ(info.sampleformat, c.sampleformat);
      EXPECT_EQ(info.frequency, c.frequency);
      EXPECT_EQ(info.length, c.bytes.size());
    }
    SDL_AudioSpec spec;
    ASSERT_TRUE(LoaderSpec(c.bytes, &spec)) << SDL_GetError();
    EXPECT_EQ(spec.channels, c.channels);
    EXPECT_EQ(spec.format, c.sampleformat);
    EXPECT_EQ(spec.freq, c.frequency);
  }
  // The archive-file form opens and closes the archive itself.
  IStuffDPF->Close(archive);
  sAudioType info;
  EXPECT_EQ(ISoundFX->SoundInfo(C("info.dpf"), C("s16.aiff"), &info), 1);
  EXPECT_STREQ(info.format, "AIFF");
  EXPECT_EQ(ISoundFX->SoundInfo(C("nothere.dpf"), C("s16.aiff"), &info), 0);
}

TEST_F(InfoTest, MusicFormatsAndModulesBySignature) {
  struct MusicCase {
    const char* file;
    std::string bytes;
    const char* format;
    int channels, frequency;
  } cases[] = {
      {"tune.ogg", ydxsnd::OggVorbis(1, 22050, 0.2), "OGG", 1, 22050},
      {"tune.it", ydxsnd::ItStub(), "IT", 0, 0},
      {"tune.xm", ydxsnd::XmModule(), "XM", 0, 0},
      {"tune.s3m", ydxsnd::S3mStub(), "S3M", 0, 0},
      {"tune.mod", ydxsnd::ModModule(), "MOD", 0, 0},
      {"short.mod", std::string("0123456789AB"), "MOD", 0, 0},          // 12 bytes: just long enough
      {"cut.s3m", ydxsnd::S3mStub().substr(0, 47), "MOD", 0, 0},        // "SCRM" not complete
      {"cut.xm", std::string("Extended Modul"), "MOD", 0, 0},
  };
  OpenArchive();
  for (const MusicCase& c : cases) {
    SCOPED_TRACE(c.file);
    Save(c.file, c.bytes);
    ASSERT_GT(ISoundFX->MusicImport(archive, C(c.file), C(c.file)), 0);
    for (int fromArchive = 0; fromArchive < 2; fromArchive++) {
      sAudioType info;
      memset(&info, 0xEE, sizeof info);
      ASSERT_EQ(ISoundFX->MusicInfo(fromArchive ? archive : 0, C(c.file), &info), 1);
      EXPECT_STREQ(info.format, c.format);
      EXPECT_EQ(info.channels, c.channels);
      EXPECT_EQ(info.sampleformat, c.channels ? 0x8010 : 0);
      EXPECT_EQ(info.frequency, c.frequency);
      EXPECT_EQ(info.length, c.bytes.size());
    }
  }
}

TEST_F(InfoTest, UnknownShortAndDamagedFilesAreRefused) {
  std::string ogg = ydxsnd::OggVorbis(1, 8000, 0.1);
  std::string damagedOgg = ogg;
  damagedOgg[40] ^= 0x55;   // inside the identification header: its page checksum fails
  std::string damagedSecondPage = ogg;
  damagedSecondPage[ogg.find("OggS", 4) + 6] ^= 0x01;   // the comment page's position: its checksum fails
  std::string wav = ydxsnd::Wav(16, 1, 8000, 100);
  std::string badBits = wav;
  badBits[34] = 12;         // 12-bit PCM
  struct BadCase {
    const char* file;
    std::string bytes;
    bool music;
    const char* message;
  } cases[] = {
      {"empty.wav", "", false, "Error: sound format unknown.\n"},
      {"three.wav", "RIF", false, "Error: sound format unknown.\n"},
      {"text.wav", "hello, this is not a sound", false, "Error: sound format unknown.\n"},
      {"head.wav", wav.substr(0, 30), false, "Error: sound load failed.\n"},
      {"nodata.wav", wav.substr(0, 44), false, "Error: sound load failed.\n"},
      {"bits.wav", badBits, false, "Error: sound load failed.\n"},
      {"cut.aiff", ydxsnd::Aiff(16, 1, 8000, 100).substr(0, 60), false, "Error: sound load failed.\n"},
      {"cut.voc", ydxsnd::Voc8(8000, 10).substr(0, 27), false, "Error: sound load failed.\n"},
      {"cut16.voc", ydxsnd::Voc16(2, 8000, 10).substr(0, 38), false, "Error: sound load failed.\n"},
      {"bad.ogg", damagedOgg, false, "Error: sound load failed.\n"},
      {"page.ogg", ogg.substr(0, 58), false, "Error: sound load failed.\n"},
      {"page2.ogg", damagedSecondPage, false, "Error: sound load failed.\n"},
      {"empty.mod", "", true, "Error: music format unknown.\n"},
      {"eleven.mod", "0123456789A", true, "Error: music format unknown.\n"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.file);
    Save(c.file, c.bytes);
    sAudioType info;
    memset(&info, 0, sizeof info);
    int result = c.music ? ISoundFX->MusicInfo(0, C(c.file), &info) : ISoundFX->SoundInfo(0, C(c.file), &info);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Logged(std::string(c.file) + "',0x") && Logged(c.message));
    // Load failures name their cause on a line of their own first.
    bool failed = strstr(c.message, "load failed") != NULL;
    EXPECT_EQ(Logged(std::string("[ISoundFX->SoundInfo('(null)','") + c.file + "')] Error: sound refused ("), failed);
    if (!c.music) {   // what SDL's loaders make of the same bytes
      SDL_AudioSpec spec;
      EXPECT_FALSE(c.bytes.size() >= 4 && LoaderSpec(c.bytes, &spec));
    }
  }
  // A damaged Ogg Vorbis music file is refused with its cause only.
  Save("bad.ogg", damagedOgg);
  sAudioType info;
  EXPECT_EQ(ISoundFX->MusicInfo(0, C("bad.ogg"), &info), 0);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicInfo('(null)','bad.ogg')] Error: music refused (damaged Ogg Vorbis "
                     "headers).\n"));
  EXPECT_FALSE(Logged("MusicInfo('(null)','bad.ogg',0x"));
  // Missing files and blocks.
  EXPECT_EQ(ISoundFX->SoundInfo(0, C("missing.wav"), &info), 0);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundInfo('(null)','missing.wav')] Error: the file is missing, unreadable or "
                     "not a regular file.\n"));
  char expected[128];
  snprintf(expected, sizeof expected, " . [ISoundFX->SoundInfo('(null)','missing.wav',0x%x] Error: sound load failed.\n",
           (unsigned)(uintptr_t)&info);
  EXPECT_TRUE(Logged(expected));
  OpenArchive();
  EXPECT_EQ(ISoundFX->MusicInfo(archive, C("nothing"), &info), 0);
  snprintf(expected, sizeof expected, " . [ISoundFX->MusicInfo('info.dpf','nothing',0x%x)] Error: music not found.\n",
           (unsigned)(uintptr_t)&info);
  EXPECT_TRUE(Logged(expected));
}

TEST_F(InfoTest, FormatTextIsWrittenBeforeTheHeaderIsChecked) {
  Save("broken.voc", std::string("Creative Voice File\x1A\x1A\0", 22));
  sAudioType info;
  memset(&info, 0, sizeof info);
  EXPECT_EQ(ISoundFX->SoundInfo(0, C("broken.voc"), &info), 0);
  EXPECT_STREQ(info.format, "VOC");
}
