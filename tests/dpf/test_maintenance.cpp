// Whole-archive work: the password, Protect/UnProtect, Compact, statistics and the version-3.0
// conversion, including failures injected through the platform layer that must leave files intact.
#include "DPFTest.h"
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <ucl/ucl.h>

namespace {

const unsigned char* Bytes(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }

int renameError = 0;
int shortWrites = 0;
int FaultHook(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op == ydxplat::kOpRename && renameError) return renameError;
  if (op == ydxplat::kOpWrite && shortWrites > 0 && *length > 16) {
    shortWrites--;
    *length /= 2;
  }
  return 0;
}

// Names of the files in the working directory, to see that no temporary file is left behind.
std::vector<std::string> Files(const std::string& dir = ".") {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d))
      if (entry->d_name[0] != '.' || strlen(entry->d_name) > 2) names.push_back(entry->d_name);
    closedir(d);
  }
  names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n == "." || n == ".."; }),
              names.end());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> BlockList(int handle) {
  std::vector<std::string> names;
  DPF_BlockData found;
  for (int r = IStuffDPF->FindFirst(handle, &found); r == 1; r = IStuffDPF->FindNext(handle, &found))
    names.push_back(std::string(found.name) + "/" + found.type);
  return names;
}

std::string LE32(int32_t value) {
  std::string bytes(4, '\0');
  ydxdpf::PutU32(reinterpret_cast<uint8_t*>(&bytes[0]), (uint32_t)value);
  return bytes;
}

std::string Field(const std::string& text, size_t width) { return (text + std::string(width, '\0')).substr(0, width); }

std::string V3Block(const std::string& name, const std::string& type, int mode, const std::string& original,
                    bool framedMarker) {
  std::string stored = original;
  if (mode == 0) {
    std::string out(original.size() + original.size() / 8 + 256, '\0');
    ucl_uint length = (ucl_uint)out.size();
    ucl_nrv2b_99_compress(reinterpret_cast<const ucl_bytep>(original.data()), (ucl_uint)original.size(),
                          reinterpret_cast<ucl_bytep>(&out[0]), &length, NULL, 6, NULL, NULL);
    stored = out.substr(0, length);
  } else if (mode == 2) {
    for (char& c : stored) c ^= (char)0x9E;
  }
  std::string marker = framedMarker ? "\xB7" "BlockData" "\xB7" : ".BlockData.";
  return marker + Field(name, 32) + Field(type, 5) + std::string(1, (char)mode) + LE32((int32_t)original.size()) +
         LE32((int32_t)stored.size()) + stored;
}

std::string V3Header() {
  std::string header = std::string("DPFv3.0\0", 8) + Field("(c) old times", 29) + Field("Mon Jan  1 10:00:00 2001", 32);
  return Field(header, 256);
}

std::string V3Archive() {
  return V3Header() + V3Block("text", "FILE", 0, std::string(3000, 'w') + "end", false) +
         V3Block("gone", "DELE", 1, "deleted data", true) + V3Block("raw", "IMG", 1, "raw bytes", true) +
         V3Block("masked", "SND", 2, "masked!", false);
}

}  // namespace

class DPFMaintenance : public DPFTest {
 protected:
  void MakeMixedArchive(const std::string& path) {
    int handle = IStuffDPF->Create(path.c_str());
    ASSERT_GT(handle, 0);
    ASSERT_GT(Add(handle, "one", "T", 0, std::string(2000, 'a')), 0);
    ASSERT_GT(Add(handle, "two", "T", 1, "second block"), 0);
    ASSERT_GT(Add(handle, "three", "T", 2, "third"), 0);
    ASSERT_GT(Add(handle, "four", "U", 1, "fourth"), 0);
    IStuffDPF->Close(handle);
  }
};

TEST_F(DPFMaintenance, ProtectAndUnProtectRoundTripKeepsEveryBlock) {
  MakeMixedArchive("data/pack.dpf");
  std::string original = ydxtest::ReadFile("data/pack.dpf");
  std::string other = "other password";
  IStuffDPF->SetPassword(Bytes(other), (unsigned char)other.size());
  std::string key = Password();
  ASSERT_EQ(IStuffDPF->Protect("data/pack.dpf", Bytes(key), (unsigned char)key.size()), 1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Protect('data/pack.dpf')] Info: process completed. New 'data/pack_secure.dpf' "
                     "file created.\n"));
  EXPECT_EQ(ydxtest::ReadFile("data/pack.dpf"), original);
  EXPECT_EQ(HeaderOf("data/pack_secure.dpf").protectedFlag, 1);
  EXPECT_TRUE(CRCMatches("data/pack_secure.dpf"));
  EXPECT_EQ(ydxtest::ReadFile("data/pack_secure.dpf").size(), original.size());
  EXPECT_EQ(ydxtest::ReadFile("data/pack_secure.dpf").find("second block"), std::string::npos);
  ASSERT_EQ(IStuffDPF->UnProtect("data/pack_secure.dpf", Bytes(key), (unsigned char)key.size()), 1);
  std::string plain = ydxtest::ReadFile("data/pack_secure_unsecure.dpf");
  EXPECT_EQ(plain.substr(520), original.substr(520));   // same blocks, byte for byte
  // The password set before is in force again.
  EXPECT_EQ(Yandorix_StuffDPFAccess::Of(*IStuffDPF)->passwordLength, other.size());
  UsePassword();
  int handle = IStuffDPF->Open("data/pack_secure.dpf");
  EXPECT_EQ(Load(handle, "T", "one"), std::string(2000, 'a'));
  EXPECT_EQ(Load(handle, "T", "three"), "third");
  IStuffDPF->Close(handle);
}

TEST_F(DPFMaintenance, ProtectionRefusalsWriteNothing) {
  MakeMixedArchive("p.dpf");
  std::string key = Password();
  EXPECT_EQ(IStuffDPF->UnProtect("p.dpf", Bytes(key), (unsigned char)key.size()), 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->UnProtect('p.dpf')] Warning: the given DPF is already unprotected.\n"));
  EXPECT_FALSE(ydxtest::FileExists("p_unsecure.dpf"));
  EXPECT_EQ(IStuffDPF->Protect("p.dpf", Bytes(key), 7), 0);
  EXPECT_EQ(IStuffDPF->Protect("p.dpf", nullptr, 8), 0);
  int handle = IStuffDPF->Open("p.dpf");
  EXPECT_EQ(IStuffDPF->Protect("./p.dpf", Bytes(key), (unsigned char)key.size()), 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Protect('./p.dpf')] Error: the given DPF is already opened. We can not protect "
                     "it.\n"));
  EXPECT_EQ(IStuffDPF->Compact("p.dpf"), 0);
  EXPECT_TRUE(Logged("Error: the given DPF is already opened. We can not compact it.\n"));
  IStuffDPF->Close(handle);
  ASSERT_EQ(IStuffDPF->Protect("p.dpf", Bytes(key), (unsigned char)key.size()), 1);
  EXPECT_EQ(IStuffDPF->Protect("p_secure.dpf", Bytes(key), (unsigned char)key.size()), 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Protect('p_secure.dpf')] Warning: the given DPF is already protected.\n"));
  EXPECT_FALSE(ydxtest::FileExists("p_secure_secure.dpf"));
  // A wrong password shows as invalid block headers: refused, and no file appears.
  std::string wrong = "not the password";
  EXPECT_EQ(IStuffDPF->UnProtect("p_secure.dpf", Bytes(wrong), (unsigned char)wrong.size()), 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->UnProtect('p_secure.dpf')] Error: process has failed. Is the password right?\n"));
  EXPECT_FALSE(ydxtest::FileExists("p_secure_unsecure.dpf"));
  // No password was set before: the archive cipher is back on the header key, not an empty key.
  EXPECT_EQ(Yandorix_StuffDPFAccess::Of(*IStuffDPF)->passwordLength, 0);
  handle = IStuffDPF->Open("p_secure.dpf");
  DPF_BlockData found;
  EXPECT_EQ(IStuffDPF->FindFirst(handle, &found), 0);
  IStuffDPF->Close(handle);
}

TEST_F(DPFMaintenance, AnExistingOutputIsReplacedOnlyWhenTheNewOneIsComplete) {
  MakeMixedArchive("q.dpf");
  ydxtest::WriteFile("q_secure.dpf", "an older copy");
  std::string key = Password();
  shortWrites = 3;
  ydxplat::SetFaultHook(FaultHook);
  EXPECT_EQ(IStuffDPF->Protect("q.dpf", Bytes(key), (unsigned char)key.size()), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("q_secure.dpf"), "an older copy");
  EXPECT_EQ(Files(), (std::vector<std::string>{"q.dpf", "q_secure.dpf", "test.log"}));
  EXPECT_EQ(IStuffDPF->Protect("q.dpf", Bytes(key), (unsigned char)key.size()), 1);
  EXPECT_EQ(HeaderOf("q_secure.dpf").protectedFlag, 1);
}

TEST_F(DPFMaintenance, SetPasswordAcceptsOnly8To56Bytes) {
  std::string fifty7(57, 'k'), seven(7, 'k'), eight(8, 'e'), fifty6(56, 'f');
  sStuffDPFPrivate* context = Yandorix_StuffDPFAccess::Of(*IStuffDPF);
  IStuffDPF->SetPassword(Bytes(seven), 7);
  IStuffDPF->SetPassword(Bytes(fifty7), 57);
  EXPECT_EQ(context->passwordLength, 0);
  IStuffDPF->SetPassword(Bytes(eight), 8);
  EXPECT_EQ(context->passwordLength, 8);
  IStuffDPF->SetPassword(Bytes(seven), 7);
  EXPECT_EQ(context->passwordLength, 8);
  IStuffDPF->SetPassword(Bytes(fifty6), 56);
  EXPECT_EQ(context->passwordLength, 56);
}

TEST_F(DPFMaintenance, CompactKeepsExactlyTheLiveBlocksInOrder) {
  MakeMixedArchive("c.dpf");
  int handle = IStuffDPF->Open("c.dpf");
  EXPECT_EQ(IStuffDPF->GetFragment(handle), 100);
  DPF_BlockData target = Block("two", "T", 1);
  ASSERT_EQ(IStuffDPF->Delete(handle, &target), 1);
  target = Block("four", "U", 1);
  ASSERT_EQ(IStuffDPF->Delete(handle, &target), 1);
  IStuffDPF->Close(handle);
  ydxdpf::ArchiveHeader before = HeaderOf("c.dpf");
  ASSERT_EQ(IStuffDPF->Compact("c.dpf"), 1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Compact('c.dpf')] Info: process completed.\n"));
  EXPECT_TRUE(CRCMatches("c.dpf"));
  EXPECT_STREQ(HeaderOf("c.dpf").created, before.created);
  EXPECT_EQ(memcmp(HeaderOf("c.dpf").filler, before.filler, sizeof before.filler), 0);
  handle = IStuffDPF->Open("c.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(BlockList(handle), (std::vector<std::string>{"one/T", "three/T"}));
  EXPECT_EQ(IStuffDPF->GetNumDelBlocks(handle), 0);
  EXPECT_EQ(Load(handle, "T", "three"), "third");
  IStuffDPF->Close(handle);
  EXPECT_EQ(IStuffDPF->Compact("c.dpf"), 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Compact('c.dpf')] Info: the given DPF does not need a compact process.\n"));
  EXPECT_EQ(Files(), (std::vector<std::string>{"c.dpf", "test.log"}));
}

TEST_F(DPFMaintenance, CompactOfAProtectedArchiveNeedsTheRightPassword) {
  MakeMixedArchive("s.dpf");
  std::string key = Password();
  ASSERT_EQ(IStuffDPF->Protect("s.dpf", Bytes(key), (unsigned char)key.size()), 1);
  UsePassword();
  int handle = IStuffDPF->Open("s_secure.dpf");
  DPF_BlockData target = Block("one", "T", 0);
  ASSERT_EQ(IStuffDPF->Delete(handle, &target), 1);
  IStuffDPF->Close(handle);
  std::string before = ydxtest::ReadFile("s_secure.dpf");
  std::string wrong = "definitely wrong";
  IStuffDPF->SetPassword(Bytes(wrong), (unsigned char)wrong.size());
  EXPECT_EQ(IStuffDPF->Compact("s_secure.dpf"), 0);
  EXPECT_EQ(ydxtest::ReadFile("s_secure.dpf"), before);
  UsePassword();
  IStuffDPF->SetAccessMode(1);
  ASSERT_EQ(IStuffDPF->Compact("s_secure.dpf"), 1);
  EXPECT_TRUE(Logged("Warning: compacting with LowLevel Access is extremly slow.\n"));
  IStuffDPF->SetAccessMode(0);
  handle = IStuffDPF->Open("s_secure.dpf");
  EXPECT_EQ(BlockList(handle), (std::vector<std::string>{"two/T", "three/T", "four/U"}));
  EXPECT_EQ(Load(handle, "U", "four"), "fourth");
  IStuffDPF->Close(handle);
}

TEST_F(DPFMaintenance, FailedRenameLeavesTheOriginalIntact) {
  for (int error : {EIO, EXDEV}) {
    MakeMixedArchive("f.dpf");
    int handle = IStuffDPF->Open("f.dpf");
    DPF_BlockData target = Block("two", "T", 1);
    ASSERT_EQ(IStuffDPF->Delete(handle, &target), 1);
    IStuffDPF->Close(handle);
    std::string before = ydxtest::ReadFile("f.dpf");
    renameError = error;
    ydxplat::SetFaultHook(FaultHook);
    EXPECT_EQ(IStuffDPF->Compact("f.dpf"), 0);
    ydxplat::SetFaultHook(nullptr);
    EXPECT_TRUE(Logged(" . [IStuffDPF->Compact('f.dpf')] Error: it was not possible to access to given DPF. (" +
                       std::string(strerror(error)) + ").\n"));
    EXPECT_EQ(ydxtest::ReadFile("f.dpf"), before);
    EXPECT_EQ(Files(), (std::vector<std::string>{"f.dpf", "test.log"}));
    handle = IStuffDPF->Open("f.dpf");
    EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), 4);
    IStuffDPF->Close(handle);
  }
}

TEST_F(DPFMaintenance, Version3ArchiveMigratesAndKeepsItsBackup) {
  std::string old = V3Archive();
  ydxtest::WriteFile("old.dpf", old);
  int handle = IStuffDPF->Open("old.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('old.dpf')] Info: the given DPF was updated from v3.0 to v4.0.\n"));
  EXPECT_TRUE(Logged("   - Original DPF v3.0 was renamed to old_v3.dpf\n\n"));
  EXPECT_STREQ(IStuffDPF->GetName(), "DPFv4.0");
  EXPECT_STREQ(IStuffDPF->GetCopyright(), "(c) old times");
  EXPECT_STREQ(IStuffDPF->GetCreateDate(), "Mon Jan  1 10:00:00 2001");
  EXPECT_EQ(BlockList(handle), (std::vector<std::string>{"text/FILE", "raw/IMG", "masked/SND"}));
  EXPECT_EQ(Load(handle, "FILE", "text"), std::string(3000, 'w') + "end");
  EXPECT_EQ(Load(handle, "IMG", "raw"), "raw bytes");
  EXPECT_EQ(Load(handle, "SND", "masked"), "masked!");
  IStuffDPF->Close(handle);
  EXPECT_EQ(ydxtest::ReadFile("old_v3.dpf"), old);
  EXPECT_TRUE(CRCMatches("old.dpf"));
  EXPECT_EQ(Files(), (std::vector<std::string>{"old.dpf", "old_v3.dpf", "test.log"}));
}

TEST_F(DPFMaintenance, AMigrationKilledAfterItsBackupRunsAgain) {
  // The backup is made as a second name of the old file before the new file replaces it; a process
  // killed in between leaves both names on the old file, and the next Open converts it all the same.
  std::string old = V3Archive();
  ydxtest::WriteFile("old.dpf", old);
  ASSERT_EQ(link("old.dpf", "old_v3.dpf"), 0);
  int handle = IStuffDPF->Open("old.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(Load(handle, "FILE", "text"), std::string(3000, 'w') + "end");
  IStuffDPF->Close(handle);
  EXPECT_EQ(ydxtest::ReadFile("old_v3.dpf"), old);
  EXPECT_EQ(Files(), (std::vector<std::string>{"old.dpf", "old_v3.dpf", "test.log"}));
}

TEST_F(DPFMaintenance, FailedMigrationsLeaveTheVersion3FileAsItWas) {
  std::string old = V3Archive();
  // A backup from an earlier conversion is never overwritten.
  ydxtest::WriteFile("a.dpf", old);
  ydxtest::WriteFile("a_v3.dpf", "earlier backup");
  EXPECT_EQ(IStuffDPF->Open("a.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('a.dpf')] Error: it was not possible to update the given DPF from v3.0 to "
                     "v4.0.\n"));
  EXPECT_EQ(ydxtest::ReadFile("a.dpf"), old);
  EXPECT_EQ(ydxtest::ReadFile("a_v3.dpf"), "earlier backup");
  // Sizes that run past the end of the file.
  std::string damaged = V3Header() + V3Block("x", "FILE", 1, "abc", false);
  damaged.replace(256 + 11 + 32 + 5 + 1 + 4, 4, LE32(1000));
  ydxtest::WriteFile("b.dpf", damaged);
  EXPECT_EQ(IStuffDPF->Open("b.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Update3to4('b.dpf')] Error: data block is corrupted.\n"));
  EXPECT_EQ(ydxtest::ReadFile("b.dpf"), damaged);
  // A rename that fails at the last step.
  ydxtest::WriteFile("c.dpf", old);
  renameError = EXDEV;
  ydxplat::SetFaultHook(FaultHook);
  EXPECT_EQ(IStuffDPF->Open("c.dpf"), -1);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("c.dpf"), old);
  EXPECT_EQ(Files(), (std::vector<std::string>{"a.dpf", "a_v3.dpf", "b.dpf", "c.dpf", "test.log"}));
}

namespace {
int AddedCommand(std::vector<std::string>*) { return 1; }
bool OpenScreen() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;   // the archive tests start without video
  Yandorix.colordepth = 32;
  Yandorix.resolutionx = 320;
  Yandorix.resolutiony = 200;
  return Yandorix.SetVideoMode() == 1;
}
}  // namespace

// Calls that fail where a newcomer meets them first (a short key, no mixer, no screen yet) return their
// failure value and say why in the log.
TEST_F(DPFMaintenance, FailedCallsSayWhyInTheLog) {
  MakeMixedArchive("s.dpf");
  ydxtest::WriteFile("plain.txt", "not a directory");
  ydxtest::WriteFile("partial.xml", "<setup><general mtfriendly='1'/><video renderer='1'/></setup>");
  const std::string key = "four";
  int watched = 0;
  const struct {
    std::function<int()> call;
    int result;
    const char* line;
  } cases[] = {
      {[&] { return IStuffDPF->Protect("s.dpf", Bytes(key), 4); }, 0,
       " . [IStuffDPF->Protect('s.dpf')] Error: the key of 4 bytes was refused: a key has 8 to 56 bytes.\n"},
      {[&] {
         IStuffDPF->SetPassword(Bytes(key), 3);
         return (int)Yandorix_StuffDPFAccess::Of(*IStuffDPF)->passwordLength;
       },
       0, " . [IStuffDPF->SetPassword(3)] Error: the key was refused: a key has 8 to 56 bytes. The password set before "
          "stays in force.\n"},
      {[&] { return IStuffDPF->Create("plain.txt/a.dpf"); }, -1,
       " . [IStuffDPF->Create('plain.txt/a.dpf')] Error: the file could not be written: Not a directory\n"},
      {[&] { return ISoundFX->Init(); }, 0,
       " . [ISoundFX->Init()] Info: audioenable is 0, so the mixer stays closed.\n"},
      {[&] { return ISoundFX->SoundLoad("beep.wav"); }, -1,
       " . [ISoundFX->SoundLoad('beep.wav')] Error: the mixer is not open (ISoundFX->Init() opens it when "
       "audioenable is 1).\n"},
      {[&] { return ISoundFX->MusicLoad("s.dpf", "tune"); }, -1,
       " . [ISoundFX->MusicLoad('s.dpf','tune')] Error: the mixer is not open"},
      {[&] { return Yandorix.ConAddCmdHandler("spawn", "spawn enemies", AddedCommand); }, 0,
       " . [Yandorix.ConAddCmdHandler('spawn')] Error: there is no console before SetVideoMode.\n"},
      {[&] { return Yandorix.DwAddWatch("score", &watched, NULL); }, 0,
       " . [Yandorix.DwAddWatch('score')] Error: there is no debug window before SetVideoMode.\n"},
      {[&] { return Yandorix.LoadConfig(NULL, "partial.xml", NULL); }, 0,
       " . [Yandorix.LoadConfig('','partial.xml')] Warning: 'resolutionx' is missing or not a whole number; the "
       "values from there on were not read.\n"},
      // With a console: names that no typed line could ever call.
      {[&] { return OpenScreen() ? Yandorix.ConAddCmdHandler("", "never typed", AddedCommand) : -1; }, 0,
       " . [Yandorix.ConAddCmdHandler('')] Error: a command name is one word: not empty, without white space.\n"},
      {[&] { return Yandorix.ConAddCmdHandler("two words", "never typed", AddedCommand); }, 0,
       " . [Yandorix.ConAddCmdHandler('two words')] Error: a command name is one word: not empty, without white "
       "space.\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), c.result) << c.line;
    EXPECT_TRUE(Logged(c.line)) << c.line;
  }
}
