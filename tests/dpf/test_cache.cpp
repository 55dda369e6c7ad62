// Handles and the file cache: Create, Open, Close, Flush, the slot rules, remembered files, identity by
// device and inode, read-only archives and the refusals of Open.
#include "DPFTest.h"
#include <cstring>
#include <sys/stat.h>

namespace {

int headerWrites = 0;
int64_t bytesRead = 0;

int CountingHook(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op == ydxplat::kOpWrite && *length == (size_t)ydxdpf::kHeaderSize) headerWrites++;
  if (op == ydxplat::kOpRead) bytesRead += (int64_t)*length;
  return 0;
}


}  // namespace

TEST_F(DPFTest, NewArchiveIs520BytesWithCRCZeroAndDescribesItself) {
  int handle = IStuffDPF->Create("sub/dir/new.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(ydxtest::ReadFile("sub/dir/new.dpf").size(), 520u);
  EXPECT_EQ(ydxtest::ReadFile("sub/dir/new.dpf").substr(0, 8), std::string("DPFv4.0\0", 8));
  ydxdpf::ArchiveHeader header = HeaderOf("sub/dir/new.dpf");
  EXPECT_EQ(header.crc, 0u);
  EXPECT_EQ(header.protectedFlag, 0);
  EXPECT_STREQ(header.copyright, Yandorix.GetCopyright());
  EXPECT_STREQ(IStuffDPF->GetName(), "DPFv4.0");
  EXPECT_EQ(strlen(IStuffDPF->GetCreateDate()), 24u);
  EXPECT_STREQ(IStuffDPF->GetCreateDate(), IStuffDPF->GetLastModified());
  EXPECT_STREQ(IStuffDPF->GetFilename(handle), "sub/dir/new.dpf");
  DPF_BlockData block;
  EXPECT_EQ(IStuffDPF->FindFirst(handle, &block), 0);
  EXPECT_EQ(IStuffDPF->Search(handle, &block), 0);
  IStuffDPF->Close(handle);
  EXPECT_EQ(IStuffDPF->GetFilename(handle), nullptr);
  EXPECT_EQ(IStuffDPF->Flush(handle), 0);
}

TEST_F(DPFTest, SameFileTwiceSharesOneHandleAndOneHeaderWrite) {
  MakeArchive("a.dpf", 0);
  int first = IStuffDPF->Open("a.dpf");
  int second = IStuffDPF->Open("./a.dpf");   // another spelling of the same file
  ASSERT_GT(first, 0);
  EXPECT_EQ(first, second);
  ASSERT_GT(Add(first, "x", "T", 1, "data"), 0);
  ydxplat::SetFaultHook(CountingHook);
  IStuffDPF->Close(second);
  EXPECT_EQ(headerWrites, 0);
  EXPECT_NE(IStuffDPF->GetFilename(first), nullptr);   // still open
  IStuffDPF->Close(first);
  EXPECT_EQ(headerWrites, 1);
  EXPECT_TRUE(CRCMatches("a.dpf"));
  int again = IStuffDPF->Open("a.dpf");
  EXPECT_GT(again, first);   // a closed handle is never valid again
  IStuffDPF->Close(again);
  IStuffDPF->Close(123456789);   // never given out: nothing happens
}

TEST_F(DPFTest, ThirtyThirdOpenArchiveIsRefusedAndSlotsAreReused) {
  MakeArchive("template.dpf", 0);
  std::string bytes = ydxtest::ReadFile("template.dpf");
  for (int i = 0; i < 34; i++) ydxtest::WriteFile("a" + std::to_string(i) + ".dpf", bytes);
  sStuffDPFPrivate* context = Yandorix_StuffDPFAccess::Of(*IStuffDPF);
  context->slots[0] = ydxdpf::Slot();   // forget the template: every slot starts unused
  int handles[32];
  for (int i = 0; i < 32; i++) {
    handles[i] = IStuffDPF->Open(("a" + std::to_string(i) + ".dpf").c_str());
    ASSERT_GT(handles[i], 0) << i;
    ASSERT_EQ(context->slots[i].handle, handles[i]);
  }
  EXPECT_EQ(IStuffDPF->Open("a32.dpf"), 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF] Warning: reached maximum limit of DPF files opened(32).\n"));
  IStuffDPF->Close(handles[9]);
  IStuffDPF->Close(handles[5]);
  int reused = IStuffDPF->Open("a32.dpf");
  EXPECT_EQ(context->slots[5].handle, reused);   // first closed slot from the replacement index 0
  IStuffDPF->Close(handles[0]);   // before the index: passed over
  int next = IStuffDPF->Open("a33.dpf");
  EXPECT_EQ(context->slots[9].handle, next);     // the search now starts at slot 1
  EXPECT_EQ(context->replaceIndex, 2);
  for (int i = 0; i < 32; i++) IStuffDPF->Close(handles[i]);
  IStuffDPF->Close(reused);
  IStuffDPF->Close(next);
}

TEST_F(DPFTest, RememberedUnchangedFileSkipsTheCRCButAChangedOneIsChecked) {
  MakeArchive("r.dpf", 20);
  int64_t length = (int64_t)ydxtest::ReadFile("r.dpf").size();
  ydxplat::SetFaultHook(CountingHook);
  int handle = IStuffDPF->Open("r.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_LT(bytesRead, length);   // signature and header only
  IStuffDPF->Close(handle);
  ydxplat::SetFaultHook(nullptr);
  std::string bytes = ydxtest::ReadFile("r.dpf");
  ydxtest::WriteFile("r.dpf", bytes + "trailing");
  EXPECT_EQ(IStuffDPF->Open("r.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('r.dpf')] Error: the given DPF is corrupted.\n"));
}

TEST_F(DPFTest, OpenRefusesWhatIsNotAnArchive) {
  EXPECT_EQ(IStuffDPF->Open("missing.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('missing.dpf')] Error: No such file or directory\n"));
  ydxtest::WriteFile("text.dpf", "hello world, not an archive");
  EXPECT_EQ(IStuffDPF->Open("text.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('text.dpf')] Error: it is not a valid DPF.\n"));
  ydxtest::WriteFile("v5.dpf", std::string("DPFv5.0\0", 8) + std::string(512, 'x'));
  EXPECT_EQ(IStuffDPF->Open("v5.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('v5.dpf')] Error: 'DPFv5.0' version is not supported.\n"));
  ydxtest::WriteFile("short.dpf", std::string("DPFv4.0\0", 8) + std::string(100, 'x'));
  EXPECT_EQ(IStuffDPF->Open("short.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('short.dpf')] Error: the given DPF is corrupted.\n"));
  EXPECT_EQ(IStuffDPF->Open(nullptr), -1);
}

TEST_F(DPFTest, CreateRefusesAnArchiveThatIsOpenAndKeepsItsBlocks) {
  MakeArchive("keep.dpf", 3);
  std::string before = ydxtest::ReadFile("keep.dpf");
  int handle = IStuffDPF->Open("keep.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(IStuffDPF->Create("./keep.dpf"), -1);
  EXPECT_TRUE(Logged("Error: the given DPF is already opened. We can not create it.\n"));
  EXPECT_EQ(ydxtest::ReadFile("keep.dpf"), before);
  EXPECT_EQ(Load(handle, "DATA", "block2"), "payload 2");
  IStuffDPF->Close(handle);
  int fresh = IStuffDPF->Create("keep.dpf");   // once closed it may be replaced
  ASSERT_GT(fresh, 0);
  EXPECT_EQ(IStuffDPF->GetNumBlocks(fresh), 0);
  IStuffDPF->Close(fresh);
}

TEST_F(DPFTest, ReadOnlyArchivesRefuseEveryWrite) {
  MakeArchive("ro.dpf", 2);
  std::string before = ydxtest::ReadFile("ro.dpf");
  int handle = OpenReadOnly("ro.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('ro.dpf')] Warning: file opened in read only mode.\n"));
  EXPECT_EQ(Load(handle, "DATA", "block1"), "payload 1");
  EXPECT_EQ(Add(handle, "new", "DATA", 1, "x"), 0);
  EXPECT_TRUE(Logged("AddData(" + std::to_string(handle) + ",'new')] Error: the DPF was opened in read only mode.\n"));
  DPF_BlockData block = Block("block0", "DATA", 1);
  EXPECT_EQ(IStuffDPF->Delete(handle, &block), 0);
  EXPECT_EQ(IStuffDPF->Flush(handle), 0);
  IStuffDPF->Close(handle);
  EXPECT_EQ(ydxtest::ReadFile("ro.dpf"), before);
}

TEST_F(DPFTest, LongPathsHaveNoFixedLimit) {
  std::string path;
  for (int i = 0; i < 6; i++) path += std::string(60, 'd' + i) + "/";
  path += "archive.dpf";
  ASSERT_GT(path.size(), 300u);
  int handle = IStuffDPF->Create(path.c_str());
  ASSERT_GT(handle, 0);
  EXPECT_EQ(IStuffDPF->GetFilename(handle), path);
  IStuffDPF->Close(handle);
}

TEST_F(DPFTest, FlushWritesDateAndCRCAndDestructorClosesLeftovers) {
  int handle = IStuffDPF->Create("f.dpf");
  ASSERT_GT(Add(handle, "b", "T", 0, std::string(1000, 'q')), 0);
  EXPECT_EQ(IStuffDPF->Flush(handle), 1);
  EXPECT_TRUE(CRCMatches("f.dpf"));
  Yandorix.Quit();   // the service closes what the application left open
  EXPECT_TRUE(Logged(" . [IStuffDPF] Warning: 'f.dpf' DPF file was not closed on your code. Doing it now!\n"));
  ASSERT_EQ(Yandorix.Init(0), 1);
  int again = IStuffDPF->Open("f.dpf");
  ASSERT_GT(again, 0);
  EXPECT_EQ(Load(again, "T", "b"), std::string(1000, 'q'));
  IStuffDPF->Close(again);
}

TEST_F(DPFTest, CacheTableDumpListsEverySlot) {
  MakeArchive("d.dpf", 0);
  int handle = IStuffDPF->Open("d.dpf");
  ydxdpf::DumpCacheTable(Yandorix_StuffDPFAccess::Of(*IStuffDPF));
  EXPECT_TRUE(Logged(" . [IStuffDPF->DumpCacheTable()] Info: dumping DPF cached table:\n"));
  EXPECT_TRUE(Logged("      -> Slot 0: " + std::to_string(handle) + " - "));
  EXPECT_TRUE(Logged("      -> Slot 31: 0 - -1 - '' - 0 - 0 - 0 - 0\n"));
  IStuffDPF->Close(handle);
}
