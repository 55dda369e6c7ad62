// Blocks of an open archive: round trips in every mode, exact sizes on disk, scans, search, delete,
// the refusals with their log lines, damaged and hostile files, and failed or interrupted writes.
#include "DPFTest.h"
#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Pattern(size_t size, int seed) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; i++) data[i] = (char)((i * 131 + seed) ^ (i >> 7));
  return data;
}

int shortWrites = 0;
int ShortWriteHook(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op == ydxplat::kOpWrite && *length > 1000 && shortWrites > 0) {
    shortWrites--;
    *length /= 2;
  }
  return 0;
}

// Writes raw bytes after the blocks of an archive and makes its CRC match again.
void AppendRaw(const std::string& path, const std::string& bytes) {
  ydxtest::WriteFile(path, ydxtest::ReadFile(path) + bytes);
  DPFTest::FixCRC(path);
}

std::string Marker() { return std::string(reinterpret_cast<const char*>(ydxdpf::kBlockMarker), 16); }

std::string RawHeader(const char* name, const char* type, int mode, int32_t size, int32_t stored) {
  ydxdpf::BlockHeader header = {};
  strcpy(header.name, name);
  strcpy(header.type, type);
  header.mode = (uint8_t)mode;
  header.size = size;
  header.storedSize = stored;
  uint8_t bytes[64];
  ydxdpf::EncodeBlockHeader(header, bytes);
  return std::string(reinterpret_cast<char*>(bytes), 64);
}

}  // namespace

class DPFBlocks : public DPFTest {
 protected:
  // An empty archive, protected with Password() (left in force) when asked.
  int NewArchive(bool isProtected) {
    int handle = IStuffDPF->Create("plain.dpf");
    if (!isProtected) return handle;
    IStuffDPF->Close(handle);
    std::string key = Password();
    EXPECT_EQ(IStuffDPF->Protect("plain.dpf", reinterpret_cast<const unsigned char*>(key.data()),
                                 (unsigned char)key.size()), 1);
    UsePassword();
    return IStuffDPF->Open("plain_secure.dpf");
  }
  void RoundTrip(bool isProtected) {
    int handle = NewArchive(isProtected);
    ASSERT_GT(handle, 0);
    std::string path = IStuffDPF->GetFilename(handle);
    for (int mode : {0, 1, 2, 7})
      for (size_t size : {0, 5, 8, 9, 100000}) {
        std::string name = "m" + std::to_string(mode) + "s" + std::to_string(size);
        std::string data = Pattern(size, mode);
        DPF_BlockData block = Block(name.c_str(), "RT", mode, data);
        int stored = IStuffDPF->AddData(handle, &block);
        if (mode == 0) EXPECT_GT(stored, 0) << name;
        else EXPECT_EQ(stored, (int)size) << name;
        EXPECT_EQ(block.mode, mode == 7 ? 2 : mode);   // any other mode is stored masked
        EXPECT_EQ(Load(handle, "RT", name.c_str()), data) << name;
      }
    IStuffDPF->Close(handle);
    EXPECT_TRUE(CRCMatches(path));
    Yandorix.Quit();   // a fresh service checks the CRC again and reads everything back
    ASSERT_EQ(Yandorix.Init(0), 1);
    if (isProtected) UsePassword();
    handle = IStuffDPF->Open(path.c_str());
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Load(handle, "RT", "m0s100000"), Pattern(100000, 0));
    EXPECT_EQ(Load(handle, "RT", "m2s9"), Pattern(9, 2));
    EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), 20);
    IStuffDPF->Close(handle);
  }
};

TEST_F(DPFBlocks, RoundTripInEveryModePlain) { RoundTrip(false); }
TEST_F(DPFBlocks, RoundTripInEveryModeProtected) { RoundTrip(true); }

TEST_F(DPFBlocks, BlocksOccupyMarkerHeaderAndPaddedData) {
  int handle = NewArchive(false);
  ASSERT_EQ(Add(handle, "empty", "T", 1, ""), 0);
  EXPECT_EQ(ydxtest::ReadFile("plain.dpf").size(), 520u + 80);
  ASSERT_EQ(Add(handle, "nine", "T", 1, "123456789"), 9);
  EXPECT_EQ(ydxtest::ReadFile("plain.dpf").size(), 520u + 80 + 96);
  ASSERT_EQ(Add(handle, "eight", "T", 1, "12345678"), 8);
  EXPECT_EQ(ydxtest::ReadFile("plain.dpf").size(), 520u + 80 + 96 + 88);
  DPF_BlockData block;
  ASSERT_EQ(IStuffDPF->LoadBlock(handle, "T", "nine", &block), 9);
  EXPECT_EQ(std::string(block.data, 16), std::string("123456789\0\0\0\0\0\0\0", 16));   // padding follows
  IStuffDPF->FreeBlock(&block);
  ASSERT_EQ(Add(handle, "five", "T", 2, "abcde"), 5);
  std::string file = ydxtest::ReadFile("plain.dpf");
  EXPECT_EQ(file.substr(file.size() - 8, 5), std::string("abcde").replace(0, 5, "\xFF\xFC\xFD\xFA\xFB"));
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, DuplicatesAreRefusedAndNamesAreBounded) {
  int handle = NewArchive(false);
  ASSERT_EQ(Add(handle, "hero", "SPR2", 1, "first"), 5);
  DPF_BlockData again = Block("hero", "SPR2", 0, "second!");
  EXPECT_EQ(IStuffDPF->AddData(handle, &again), -1);
  EXPECT_EQ(again.size, 5);   // the stored block's fields
  EXPECT_TRUE(Logged("AddData(" + std::to_string(handle) + ",'hero')] Info: block already exists.\n"));
  EXPECT_EQ(Add(handle, "hero", "FONT2", 1, "other"), 5);
  std::string name31(31, 'n'), type7(7, 't');
  EXPECT_GT(Add(handle, name31.c_str(), type7.c_str(), 1, "ok"), 0);
  DPF_BlockData longName = Block("x", "T", 1, "data");
  memset(longName.name, 'n', sizeof longName.name);   // 32 characters, no terminator
  EXPECT_EQ(IStuffDPF->AddData(handle, &longName), 0);
  DPF_BlockData longType = Block("x", "T", 1, "data");
  memset(longType.type, 't', sizeof longType.type);
  EXPECT_EQ(IStuffDPF->AddData(handle, &longType), 0);
  EXPECT_TRUE(Logged("Error: name or type are too long. Maximum chars for name is 32 and 8 for type.\n"));
  EXPECT_EQ(Load(handle, "T", std::string(40, 'n').c_str()), "<failed>");
  EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), 3);
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, BadSizesAndDataAreRefusedBeforeWriting) {
  int handle = NewArchive(false);
  DPF_BlockData negative = Block("neg", "T", 1, "abc");
  negative.size = -5;
  EXPECT_EQ(IStuffDPF->AddData(handle, &negative), 0);
  DPF_BlockData missing = Block("nul", "T", 0, "");
  missing.size = 10;
  missing.data = nullptr;
  EXPECT_EQ(IStuffDPF->AddData(handle, &missing), 0);
  EXPECT_TRUE(Logged("Error: the block has a negative size or no data.\n"));
  EXPECT_EQ(IStuffDPF->AddData(handle, nullptr), 0);
  EXPECT_EQ(IStuffDPF->AddData(987654, &negative), 0);
  EXPECT_EQ(ydxtest::ReadFile("plain.dpf").size(), 520u);
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, DeleteHidesTheBlockFromSearchButScansStillSeeIt) {
  int handle = NewArchive(false);
  ASSERT_GT(Add(handle, "a", "T", 1, "alpha"), 0);
  ASSERT_GT(Add(handle, "b", "T", 0, Pattern(3000, 1)), 0);
  ASSERT_GT(Add(handle, "c", "T", 1, "gamma"), 0);
  int64_t length = (int64_t)ydxtest::ReadFile("plain.dpf").size();
  DPF_BlockData target = Block("b", "T", 1);
  EXPECT_EQ(IStuffDPF->Delete(handle, &target), 1);
  EXPECT_STREQ(target.name, "b");
  EXPECT_EQ((int64_t)ydxtest::ReadFile("plain.dpf").size(), length);
  EXPECT_TRUE(CRCMatches("plain.dpf"));   // the header is current without a Close
  DPF_BlockData found = Block("b", "T", 1);
  EXPECT_EQ(IStuffDPF->Search(handle, &found), 0);
  EXPECT_EQ(IStuffDPF->Delete(handle, &found), 0);
  EXPECT_TRUE(Logged("Delete(" + std::to_string(handle) + ")] Warning: datablock was not found in the given DPF.\n"));
  ASSERT_EQ(IStuffDPF->FindFirst(handle, &found), 1);
  ASSERT_EQ(IStuffDPF->FindNext(handle, &found), 1);
  EXPECT_STREQ(found.name, "?");
  EXPECT_EQ(std::string(found.type, 8), std::string("DELETED\0", 8));
  EXPECT_GT(found.storedsize, 0);
  EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), 3);
  EXPECT_EQ(IStuffDPF->GetNumDelBlocks(handle), 1);
  int fragment = IStuffDPF->GetFragment(handle);
  EXPECT_EQ(fragment, (int)(100 - (int64_t)found.storedsize * 100 / length));
  EXPECT_GT(Add(handle, "b", "T", 1, "beta again"), 0);
  EXPECT_EQ(Load(handle, "T", "b"), "beta again");
  EXPECT_EQ(Load(handle, "T", "c"), "gamma");
  IStuffDPF->Close(handle);
  EXPECT_TRUE(CRCMatches("plain.dpf"));
}

TEST_F(DPFBlocks, LowLevelAccessFindsMarkersInsideDataAndMatchesNormalScan) {
  int handle = NewArchive(false);
  std::string inner = "lead" + Marker() + RawHeader("inner", "IN", 1, 0, 0);
  ASSERT_GT(Add(handle, "outer", "T", 1, inner), 0);
  ASSERT_GT(Add(handle, "last", "T", 1, "z"), 0);
  DPF_BlockData found;
  std::vector<std::string> normal, lowLevel;
  for (int r = IStuffDPF->FindFirst(handle, &found); r == 1; r = IStuffDPF->FindNext(handle, &found))
    normal.push_back(found.name);
  IStuffDPF->SetAccessMode(1);
  for (int r = IStuffDPF->FindFirst(handle, &found); r == 1; r = IStuffDPF->FindNext(handle, &found))
    lowLevel.push_back(found.name);
  EXPECT_EQ(normal, (std::vector<std::string>{"outer", "last"}));
  EXPECT_EQ(lowLevel, (std::vector<std::string>{"outer", "inner", "last"}));
  EXPECT_TRUE(Logged(" . [IStuffDPF->SetAccessMode()] Info: lowlevel access to data blocks in DPF was selected.\n"));
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, HostileSizesEndTheScanWithAnErrorAndNeverLoop) {
  MakeArchive("h.dpf", 2);
  struct Case { int mode; int32_t size, stored; };
  for (Case c : {Case{1, -80, -80}, Case{1, 5, 1 << 30}, Case{1, 100, 8}, Case{0, 1 << 30, 8}}) {
    ydxtest::WriteFile("bad.dpf", ydxtest::ReadFile("h.dpf"));
    AppendRaw("bad.dpf", Marker() + RawHeader("evil", "T", c.mode, c.size, c.stored) + std::string(8, 'e') +
                         Marker() + RawHeader("after", "T", 1, 1, 1) + std::string(8, 'a'));
    int handle = IStuffDPF->Open("bad.dpf");
    ASSERT_GT(handle, 0);
    EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), -1);
    DPF_BlockData probe = Block("after", "T", 1);
    EXPECT_EQ(IStuffDPF->Search(handle, &probe), 2);
    EXPECT_EQ(Load(handle, "DATA", "block1"), "payload 1");   // blocks before the damage still load
    EXPECT_EQ(Add(handle, "more", "T", 1, "x"), 0);          // nothing is appended behind damage
    IStuffDPF->SetAccessMode(1);                              // low-level access looks past it
    EXPECT_EQ(Load(handle, "T", "after"), "a");
    IStuffDPF->SetAccessMode(0);
    IStuffDPF->Close(handle);
  }
  EXPECT_TRUE(Logged("Error: the DPF is damaged: the block header at offset 712 is not valid.\n"));
}

TEST_F(DPFBlocks, AMarkerCutShortByTheEndOfTheFileEndsTheBlocks) {
  MakeArchive("cut.dpf", 1);
  AppendRaw("cut.dpf", Marker().substr(0, 10));
  int handle = IStuffDPF->Open("cut.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), 1);
  EXPECT_GT(Add(handle, "next", "T", 1, "still works"), 0);
  EXPECT_EQ(Load(handle, "T", "next"), "still works");
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, WrongPasswordIsDetectedAndNothingIsWritten) {
  int handle = NewArchive(true);
  ASSERT_GT(Add(handle, "secret", "T", 0, Pattern(500, 3)), 0);
  IStuffDPF->Close(handle);
  std::string before = ydxtest::ReadFile("plain_secure.dpf");
  IStuffDPF->SetPassword(reinterpret_cast<const unsigned char*>("wrong password"), 14);
  handle = IStuffDPF->Open("plain_secure.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(Load(handle, "T", "secret"), "<failed>");
  EXPECT_TRUE(Logged("is not valid: the password is wrong or the DPF is damaged.\n"));
  EXPECT_EQ(Add(handle, "intruder", "T", 1, "x"), 0);
  DPF_BlockData target = Block("secret", "T", 0);
  EXPECT_EQ(IStuffDPF->Delete(handle, &target), 0);
  EXPECT_EQ(IStuffDPF->GetNumBlocks(handle), -1);
  IStuffDPF->Close(handle);
  EXPECT_EQ(ydxtest::ReadFile("plain_secure.dpf"), before);
}

TEST_F(DPFBlocks, ProtectedArchiveWithoutPasswordRefuses) {
  int handle = NewArchive(true);
  ASSERT_GT(Add(handle, "s", "T", 1, "x"), 0);
  IStuffDPF->Close(handle);
  Yandorix.Quit();
  ASSERT_EQ(Yandorix.Init(0), 1);
  handle = IStuffDPF->Open("plain_secure.dpf");
  ASSERT_GT(handle, 0);
  DPF_BlockData found;
  EXPECT_EQ(IStuffDPF->FindFirst(handle, &found), 0);
  EXPECT_TRUE(Logged("Find(" + std::to_string(handle) + ")] Error: the given DPF is protected and the key was not set.\n"));
  EXPECT_EQ(Load(handle, "T", "s"), "<failed>");
  EXPECT_TRUE(Logged("LoadBlock('plain_secure.dpf','T','s')] Error: the given DPF is protected and the key was not set.\n"));
  EXPECT_EQ(Add(handle, "t", "T", 1, "y"), 0);
  EXPECT_TRUE(Logged("AddData(" + std::to_string(handle) + ",'t')] Error: the given DPF is protected and the key was not set.\n"));
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, FailedAppendLeavesTheArchiveAsItWas) {
  int handle = NewArchive(false);
  ASSERT_GT(Add(handle, "kept", "T", 1, "safe"), 0);
  std::string before = ydxtest::ReadFile("plain.dpf");
  shortWrites = 1;
  ydxplat::SetFaultHook(ShortWriteHook);
  EXPECT_EQ(Add(handle, "big", "T", 1, Pattern(5000, 9)), 0);
  EXPECT_TRUE(Logged("AddData(" + std::to_string(handle) + ",'big')] Error: the block could not be written: "));
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("plain.dpf"), before);
  EXPECT_GT(Add(handle, "big", "T", 1, Pattern(5000, 9)), 0);
  EXPECT_EQ(Load(handle, "T", "big"), Pattern(5000, 9));
  IStuffDPF->Close(handle);
  EXPECT_TRUE(CRCMatches("plain.dpf"));
}

TEST_F(DPFBlocks, AddFileStoresTheFileUnderItsPath) {
  int handle = NewArchive(false);
  ydxtest::WriteFile("level.xml", "<level/>");
  EXPECT_GT(IStuffDPF->AddFile(handle, "level.xml"), 0);
  EXPECT_EQ(Load(handle, "FILE", "level.xml"), "<level/>");
  EXPECT_EQ(IStuffDPF->AddFile(handle, "nothing-here.xml"), 0);
  std::string longPath = std::string(40, 'p') + ".xml";
  ydxtest::WriteFile(longPath, "x");
  EXPECT_EQ(IStuffDPF->AddFile(handle, longPath.c_str()), 0);
  IStuffDPF->Close(handle);
}

TEST_F(DPFBlocks, ProcessKilledBetweenAddsLosesNoBlock) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int handle = IStuffDPF->Create("killed.dpf");
    for (int i = 0; i < 5; i++) {
      std::string name = "b" + std::to_string(i);
      if (Add(handle, name.c_str(), "T", i % 3, Pattern(1000 + i, i)) < 0) _exit(3);
    }
    DPF_BlockData gone = Block("b1", "T", 0);
    IStuffDPF->Delete(handle, &gone);
    raise(SIGKILL);   // no Close, no destructor
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  int handle = IStuffDPF->Open("killed.dpf");
  ASSERT_GT(handle, 0);
  for (int i = 0; i < 5; i++) {
    std::string name = "b" + std::to_string(i);
    EXPECT_EQ(Load(handle, "T", name.c_str()), i == 1 ? "<failed>" : Pattern(1000 + i, i)) << name;
  }
  IStuffDPF->Close(handle);
}

namespace {
int failHeaderWrites = 0;
int HeaderWriteHook(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op == ydxplat::kOpWrite && *length == (size_t)ydxdpf::kHeaderSize && failHeaderWrites > 0) {
    failHeaderWrites--;
    return EIO;
  }
  return 0;
}
}  // namespace

TEST_F(DPFBlocks, FailedDeleteRestoresTheBlockHeader) {
  int handle = NewArchive(false);
  ASSERT_GT(Add(handle, "stay", "T", 1, "still here"), 0);
  std::string before = ydxtest::ReadFile("plain.dpf");
  failHeaderWrites = 1;   // the archive header write that commits the deletion
  ydxplat::SetFaultHook(HeaderWriteHook);
  DPF_BlockData target = Block("stay", "T", 1);
  EXPECT_EQ(IStuffDPF->Delete(handle, &target), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_TRUE(Logged("Delete(" + std::to_string(handle) + ")] Error: the block header could not be written: "));
  EXPECT_EQ(ydxtest::ReadFile("plain.dpf").substr(520), before.substr(520));   // blocks as they were
  EXPECT_TRUE(CRCMatches("plain.dpf"));
  EXPECT_EQ(Load(handle, "T", "stay"), "still here");
  IStuffDPF->Close(handle);
}
