// Sounds and music in archives: imports with their storage modes, loads from blocks, and exports
// that write the block back byte for byte, to safe names only, and never report a failed write.
#include "SoundTest.h"
#include "00_Platform.h"
#include <cerrno>
#include <cstring>

namespace {

class ArchiveTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    StartLibrary("disk");
    OpenMixer();
  }
  void TearDown() override {
    ydxplat::SetFaultHook(nullptr);
    SoundTest::TearDown();
  }
  // Mode the archive stored a block in; -1 when it is not there.
  static int StoredMode(int handle, const char* name, const char* type) {
    DPF_BlockData block;
    memset(&block, 0, sizeof block);
    strcpy(block.name, name);
    strcpy(block.type, type);
    return IStuffDPF->Search(handle, &block) == 1 ? block.mode : -1;
  }
  // A block stored directly, for names the import would refuse.
  static void AddRaw(int handle, const char* name, const char* type, const std::string& bytes) {
    DPF_BlockData block;
    memset(&block, 0, sizeof block);
    strcpy(block.name, name);
    strcpy(block.type, type);
    block.mode = 1;
    block.size = (int)bytes.size();
    block.data = const_cast<char*>(bytes.data());
    ASSERT_GT(IStuffDPF->AddData(handle, &block), 0);
  }
};

int shortWrites = 0;
int ShortWrite(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op == ydxplat::kOpWrite && shortWrites > 0 && *length > 1) {
    shortWrites--;
    *length /= 2;
  }
  return 0;
}

}  // namespace

TEST_F(ArchiveTest, ImportsPickTheirStorageModeAndRefuseDuplicates) {
  Save("boom.wav", ydxsnd::Wav(16, 1, 22050, 200));
  Save("tune.ogg", ydxsnd::OggVorbis(1, 22050, 0.2));
  Save("TUNE.OGG", ydxsnd::OggVorbis(1, 22050, 0.2));
  Save("song.xm", ydxsnd::XmModule());
  ASSERT_GT(ISoundFX->SoundImport(C("sfx.dpf"), C("boom"), C("boom.wav")), 0);   // creates the archive
  ASSERT_GT(ISoundFX->MusicImport(C("sfx.dpf"), C("tune"), C("tune.ogg")), 0);   // opens it
  int handle = IStuffDPF->Open("sfx.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_GT(ISoundFX->MusicImport(handle, C("TUNE"), C("TUNE.OGG")), 0);
  EXPECT_GT(ISoundFX->MusicImport(handle, C("song"), C("song.xm")), 0);
  EXPECT_GT(ISoundFX->SoundImport(handle, C("song"), C("song.xm")), 0);   // the same name as another type
  EXPECT_EQ(StoredMode(handle, "boom", "SND"), 2);
  EXPECT_EQ(StoredMode(handle, "tune", "MUS"), 2);
  EXPECT_EQ(StoredMode(handle, "TUNE", "MUS"), 2);
  EXPECT_EQ(StoredMode(handle, "song", "MUS"), 0);
  EXPECT_EQ(StoredMode(handle, "song", "SND"), 2);
  EXPECT_EQ(ISoundFX->SoundImport(handle, C("boom"), C("boom.wav")), -1);
  EXPECT_EQ(ISoundFX->MusicImport(handle, C("tune"), C("missing.ogg")), 0);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicImport('sfx.dpf','tune','missing.ogg')] Error: music not found.\n"));
  EXPECT_EQ(ISoundFX->SoundImport(handle, C("x"), C("missing.wav")), 0);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundImport('sfx.dpf','x','missing.wav'] Error: sound not found.\n"));
  EXPECT_EQ(ISoundFX->SoundImport(0, C("x"), C("boom.wav")), 0);
  EXPECT_EQ(ISoundFX->SoundImport(handle, C("a-name-of-thirty-two-characters!"), C("boom.wav")), 0);
  EXPECT_EQ(ISoundFX->MusicImport(handle, C("emptyname"), C("")), 0);   // no name to test for 'g'
  IStuffDPF->Close(handle);
  EXPECT_EQ(ISoundFX->SoundImport(C("no/such/dir/\0"), C("x"), C("boom.wav")), 0);
}

TEST_F(ArchiveTest, SoundsAndMusicLoadFromBlocks) {
  Save("boom.wav", ydxsnd::Wav(16, 1, 22050, 200));
  Save("a.mod", ydxsnd::ModModule());
  Save("tune.ogg", ydxsnd::OggVorbis(2, 22050, 0.3));
  int handle = IStuffDPF->Create("sfx.dpf");
  ASSERT_GT(ISoundFX->SoundImport(handle, C("boom"), C("boom.wav")), 0);
  ASSERT_GT(ISoundFX->MusicImport(handle, C("mod"), C("a.mod")), 0);
  ASSERT_GT(ISoundFX->MusicImport(handle, C("tune"), C("tune.ogg")), 0);
  AddRaw(handle, "noise", "SND", "this is not a sound file at all");
  AddRaw(handle, "cut", "SND", ydxsnd::OggVorbis(1, 22050, 0.2).substr(0, 300));
  AddRaw(handle, "loop", "SND", ydxsnd::AiffWithChunkPointingBack());
  IStuffDPF->Close(handle);

  EXPECT_EQ(ISoundFX->SoundLoad(C("sfx.dpf"), C("boom")), 0);
  EXPECT_EQ(ISoundFX->SoundLoad(C("sfx.dpf"), C("missing")), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('sfx.dpf','missing')] Error: sound not found.\n"));
  EXPECT_EQ(ISoundFX->SoundLoad(C("sfx.dpf"), C("noise")), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('sfx.dpf','noise')] Error: sound format unknown.\n"));
  EXPECT_EQ(ISoundFX->SoundLoad(C("sfx.dpf"), C("cut")), -1);   // a known kind the decoder gives up on
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('sfx.dpf','cut')] Error: sound format unknown.\n"));
  EXPECT_EQ(ISoundFX->SoundLoad(C("sfx.dpf"), C("loop")), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->SoundLoad('sfx.dpf','loop')] Error: sound format unknown.\n"));
  EXPECT_EQ(ISoundFX->SoundLoad(C("nothere.dpf"), C("boom")), -1);
  EXPECT_EQ(ISoundFX->SoundLoad(-4, C("boom")), -1);

  int mod = ISoundFX->MusicLoad(C("sfx.dpf"), C("mod"));
  int tune = ISoundFX->MusicLoad(C("sfx.dpf"), C("tune"));
  ASSERT_EQ(mod, 0);
  ASSERT_EQ(tune, 1);
  EXPECT_EQ(ISoundFX->MusicLoad(C("sfx.dpf"), C("boom")), -1);
  EXPECT_TRUE(Logged(" . [ISoundFX->MusicLoad('sfx.dpf','boom')] Error: music not found.\n"));
  EXPECT_EQ(ISoundFX->MusicLoad(C("nothere.dpf"), C("tune")), -1);
  EXPECT_EQ(ISoundFX->MusicPlay(mod, 0), 0);
  EXPECT_EQ(ISoundFX->MusicPlay(tune, 0), 0);
  EXPECT_EQ(ISoundFX->SoundPlay(-1, 0, 0), 0);
}

TEST_F(ArchiveTest, ExportWritesTheBlockUnderItsNameOrTheGivenFile) {
  std::string wav = ydxsnd::Wav(8, 1, 11025, 100), ogg = ydxsnd::OggVorbis(1, 11025, 0.2);
  std::string mod = ydxsnd::ModModule();
  Save("boom.wav", wav);
  Save("tune.ogg", ogg);
  Save("a.mod", mod);
  int handle = IStuffDPF->Create("sfx.dpf");
  ISoundFX->SoundImport(handle, C("boom"), C("boom.wav"));
  ISoundFX->MusicImport(handle, C("tune"), C("tune.ogg"));
  ISoundFX->MusicImport(handle, C("song"), C("a.mod"));
  EXPECT_EQ(ISoundFX->Export(handle, C("boom"), 0, NULL), 1);
  EXPECT_EQ(ydxtest::ReadFile("boom.WAV"), wav);
  EXPECT_EQ(ISoundFX->Export(handle, C("tune"), 1, NULL), 1);
  EXPECT_EQ(ydxtest::ReadFile("tune.OGG"), ogg);
  EXPECT_EQ(ISoundFX->Export(handle, C("song"), 1, NULL), 1);
  EXPECT_EQ(ydxtest::ReadFile("song.MOD"), mod);
  EXPECT_EQ(ISoundFX->Export(handle, C("tune"), 1, C("out/music/theme.ogg")), 1);   // directories made
  EXPECT_EQ(ydxtest::ReadFile("out/music/theme.ogg"), ogg);
  EXPECT_EQ(ISoundFX->Export(handle, C("tune"), 0, NULL), 0);   // no sound of that name
  EXPECT_TRUE(Logged(" . [ISoundFX->Export('sfx.dpf','tune',0,'(null)')] Error: sound block not found.\n"));
  EXPECT_EQ(ISoundFX->Export(0, C("tune"), 1, NULL), 0);
  IStuffDPF->Close(handle);
  EXPECT_EQ(ISoundFX->Export(C("sfx.dpf"), C("boom"), 0, C("copy.wav")), 1);
  EXPECT_EQ(ydxtest::ReadFile("copy.wav"), wav);
  EXPECT_EQ(ISoundFX->Export(C("nothere.dpf"), C("boom"), 0, C("copy.wav")), 0);
}

TEST_F(ArchiveTest, ExportRefusesNamesThatLeaveTheDirectoryAndFailedWrites) {
  std::string wav = ydxsnd::Wav(8, 1, 11025, 100);
  ASSERT_EQ(mkdir("work", 0755), 0);
  ASSERT_EQ(chdir("work"), 0);
  auto logged = [](const std::string& text) { return ydxtest::ReadFile("../test.log").find(text) != std::string::npos; };
  int handle = IStuffDPF->Create("sfx.dpf");
  const char* names[] = {"../escape", "a/b", "..", "sub\\x", "x..y"};
  for (const char* name : names) AddRaw(handle, name, "SND", wav);
  AddRaw(handle, "noise", "SND", "not a sound");
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ISoundFX->Export(handle, C(name), 0, NULL), 0);
    EXPECT_TRUE(logged(std::string("Export('sfx.dpf','") + name + "',0,'(null)')] Error: no safe file name for the block.\n"));
  }
  EXPECT_EQ(ISoundFX->Export(handle, C("noise"), 0, NULL), 0);   // no format to name it by
  EXPECT_FALSE(ydxtest::FileExists("../escape.WAV"));
  EXPECT_FALSE(ydxtest::FileExists("a"));
  EXPECT_FALSE(ydxtest::FileExists("sub"));

  // A short write leaves no file behind (and an existing target as it was), and is reported.
  AddRaw(handle, "boom", "SND", wav);
  ydxtest::WriteFile("boom.WAV", "previous");
  shortWrites = 1;
  ydxplat::SetFaultHook(ShortWrite);
  EXPECT_EQ(ISoundFX->Export(handle, C("boom"), 0, NULL), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("boom.WAV"), "previous");
  EXPECT_TRUE(logged(" . [ISoundFX->Export('sfx.dpf','boom',0,'(null)')] Error: 'boom.WAV' could not be written.\n"));
  shortWrites = 1;
  ydxplat::SetFaultHook(ShortWrite);
  EXPECT_EQ(ISoundFX->Export(handle, C("boom"), 0, C("fresh.wav")), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_FALSE(ydxtest::FileExists("fresh.wav"));
  IStuffDPF->Close(handle);
  ASSERT_EQ(chdir(".."), 0);
  for (const char* stray : {"escape.WAV", "b.WAV", "x.WAV"}) EXPECT_FALSE(ydxtest::FileExists(stray)) << stray;
}

TEST(ExportFileName, IsBoundedAndStaysInTheDirectory) {
  std::string name;
  char full[32];
  memset(full, 'n', sizeof full);   // 32 bytes, no terminator
  ASSERT_TRUE(ydxsound::ExportFileName(full, "WAV", &name));
  EXPECT_EQ(name, std::string(31, 'n') + ".WAV");
  EXPECT_TRUE(ydxsound::ExportFileName("boom", "OGG", &name));
  EXPECT_EQ(name, "boom.OGG");
  EXPECT_TRUE(ydxsound::ExportFileName(".hidden", "MOD", &name));
  for (const char* bad : {"", "..", "../x", "a/b", "a\\b", "x..y"}) EXPECT_FALSE(ydxsound::ExportFileName(bad, "WAV", &name)) << bad;
  EXPECT_FALSE(ydxsound::ExportFileName("boom", "", &name));
  EXPECT_FALSE(ydxsound::ExportFileName(NULL, "WAV", &name));
}
