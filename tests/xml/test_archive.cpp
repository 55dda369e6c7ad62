// XML documents kept as "FILE" blocks of DPF archives: they read back as from a file, replace their
// block without losing it (also when the saving process is killed halfway), and block bytes are parsed
// as safely as file bytes.
#include "XmlFixture.h"
#include "00_Platform.h"
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Adds a block with exactly these bytes (no terminator) in the given storage mode.
int AddBlock(int dpf, const char* name, const std::string& bytes, unsigned char mode = 0) {
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  strcpy(block.name, name);
  strcpy(block.type, "FILE");
  block.mode = mode;
  block.size = (int)bytes.size();
  std::string copy = bytes;
  block.data = &copy[0];
  return IStuffDPF->AddData(dpf, &block);
}

std::string BlockBytes(int dpf, const char* name) {
  DPF_BlockData block;
  int size = IStuffDPF->LoadBlock(dpf, "FILE", name, &block);
  std::string bytes = size > 0 ? std::string(block.data, (size_t)size) : std::string();
  IStuffDPF->FreeBlock(&block);
  return bytes;
}

// Live and deleted blocks of the archive, as "name/type" lines.
std::string BlockList(int dpf) {
  std::string list;
  DPF_BlockData block;
  for (int found = IStuffDPF->FindFirst(dpf, &block); found == 1; found = IStuffDPF->FindNext(dpf, &block))
    list += std::string(block.name) + "/" + block.type + "\n";
  return list;
}

int MakeLevel(const char* title) {
  int h = Yandorix.XMLCreate("qbse_level");
  Yandorix.XMLAttributeSet(h, "name", title);
  Yandorix.XMLNodeCreate(h, "layer");
  Yandorix.XMLAttributeSet(h, "scroll", 0.75);
  Yandorix.XMLTextSet(h, "1,2,3,\n4,5,6");
  Yandorix.XMLNodeParent(h);
  Yandorix.XMLCommentSet(h, "made by a test");
  return h;
}

// Everything the cursor can read from a document, in order.
std::string Describe(int h) {
  std::string out;
  if (!Yandorix.XMLNodeFirst(h)) return out;
  for (;;) {
    const char* name = nullptr;
    const char* scroll = nullptr;
    Yandorix.XMLAttributeGet(h, "name", &name);
    Yandorix.XMLAttributeGet(h, "scroll", &scroll);
    const char* text = Yandorix.XMLTextGet(h);
    const char* comment = Yandorix.XMLCommentGet(h);
    out += std::string(Yandorix.XMLNodeGetName(h)) + "|" + (name ? name : "-") + "|" + (scroll ? scroll : "-") +
           "|" + (text ? text : "-") + "|" + (comment ? comment : "-") + "\n";
    if (Yandorix.XMLNodeChild(h)) continue;
    while (!Yandorix.XMLNodeNext(h))
      if (!Yandorix.XMLNodeParent(h)) return out;
  }
}

}  // namespace

class XmlArchiveTest : public XmlTest {};

TEST_F(XmlArchiveTest, TheSameDocumentReadsBackAlikeFromAFileAndFromAnArchive) {
  int h = MakeLevel("first");
  ASSERT_EQ(Yandorix.XMLSave(h, "level.xml"), 1);
  ASSERT_GT(Yandorix.XMLSave(h, "levels.dpf", "level"), 0);
  int dpf = IStuffDPF->Open("levels.dpf");
  ASSERT_GT(dpf, 0);
  EXPECT_EQ(BlockBytes(dpf, "level"), ydxtest::ReadFile("level.xml"));
  IStuffDPF->Close(dpf);
  int fromFile = Yandorix.XMLOpen("level.xml");
  int fromArchive = Yandorix.XMLOpen("levels.dpf", "level");
  ASSERT_GT(fromArchive, 0);
  std::string described = Describe(fromFile);
  EXPECT_EQ(described, "qbse_level|first|-|-|made by a test\nlayer|-|0.75|1,2,3,\n4,5,6|-\n");
  EXPECT_EQ(Describe(fromArchive), described);
}

TEST_F(XmlArchiveTest, SavingTwiceLeavesOneLiveBlockAndNoWorkingFile) {
  int dpf = IStuffDPF->Create("levels.dpf");
  ASSERT_GT(dpf, 0);
  int first = MakeLevel("first");
  int second = MakeLevel("second");
  ASSERT_GT(Yandorix.XMLSave(first, dpf, "level"), 0);
  ASSERT_GT(Yandorix.XMLSave(second, dpf, "level"), 0);
  EXPECT_EQ(BlockList(dpf), "?evel/DELETED\nlevel/FILE\n");
  int back = Yandorix.XMLOpen(dpf, "level");
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  const char* name = nullptr;
  ASSERT_EQ(Yandorix.XMLAttributeGet(back, "name", &name), 1);
  EXPECT_STREQ(name, "second");
  IStuffDPF->Close(dpf);
  std::vector<std::string> files;
  if (DIR* dir = opendir(".")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.' || strlen(entry->d_name) > 2) files.push_back(entry->d_name);
    closedir(dir);
  }
  for (const std::string& file : files)
    EXPECT_TRUE(file == "levels.dpf" || file == "probe.dpf" || file == "test.log") << file;
}

TEST_F(XmlArchiveTest, AnArchiveFileIsCreatedWhenMissing) {
  int h = MakeLevel("new");
  ASSERT_GT(Yandorix.XMLSave(h, "fresh.dpf", "doc"), 0);
  int back = Yandorix.XMLOpen("fresh.dpf", "doc");
  ASSERT_GT(back, 0);
  EXPECT_EQ(Yandorix.XMLOpen("missing.dpf", "doc"), 0);
  EXPECT_EQ(Yandorix.XMLOpen("fresh.dpf", "other"), 0);
  EXPECT_TRUE(Logged("','other')] Error: block not found in the given DPF.\n"));
  EXPECT_EQ(OpenSlots(), 2);
}

TEST_F(XmlArchiveTest, BlockBytesAreParsedLikeAFile) {
  int dpf = IStuffDPF->Create("raw.dpf");
  ASSERT_GT(dpf, 0);
  // No terminator after the bytes (the sanitizer run catches a read past them), Windows line ends.
  ASSERT_GT(AddBlock(dpf, "crlf", "<r v='a\r\nb'>\r\n<e/>\r\n</r>"), 0);
  ASSERT_GT(AddBlock(dpf, "stored", "<r v='a\r\nb'>\r\n<e/>\r\n</r>", 1), 0);
  std::string deep;
  for (int i = 0; i < 100000; i++) deep += "<a>";
  ASSERT_GT(AddBlock(dpf, "deep", deep), 0);
  ASSERT_GT(AddBlock(dpf, "broken", "<r><e></r>"), 0);
  for (const char* name : {"crlf", "stored"}) {
    int h = Yandorix.XMLOpen(dpf, name);
    ASSERT_GT(h, 0) << name;
    ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
    const char* v = nullptr;
    ASSERT_EQ(Yandorix.XMLAttributeGet(h, "v", &v), 1);
    EXPECT_STREQ(v, "a b");   // a line end in an attribute value reads as a space
    Yandorix.XMLClose(h);
  }
  EXPECT_EQ(Yandorix.XMLOpen(dpf, "deep"), 0);
  EXPECT_TRUE(Logged("','deep')] Error: line 1, column 769: elements are nested deeper than 256 levels.\n"));
  EXPECT_EQ(Yandorix.XMLOpen(dpf, "broken"), 0);
  EXPECT_TRUE(Logged("','broken')] Error: line 1, column 7: the end tag </r> does not close <e>.\n"));
  EXPECT_EQ(OpenSlots(), 0);
  IStuffDPF->Close(dpf);
}

TEST_F(XmlArchiveTest, ATooLongBlockNameIsRefusedBeforeAnythingIsTouched) {
  int dpf = IStuffDPF->Create("names.dpf");
  const char name31[] = "abcdefghijklmnopqrstuvwxyz01234";
  int h = MakeLevel("x");
  ASSERT_GT(Yandorix.XMLSave(h, dpf, name31), 0);
  std::string name32 = std::string(name31) + "5";
  EXPECT_EQ(Yandorix.XMLSave(h, dpf, name32.c_str()), 0);
  EXPECT_TRUE(Logged("Error: the block name is longer than 31 characters.\n"));
  EXPECT_EQ(BlockList(dpf), std::string(name31) + "/FILE\n");
  IStuffDPF->Close(dpf);
}

namespace {
size_t failFrom = 0;
int failLargeWrites(ydxplat::FaultOp op, const char*, size_t* length) {
  return op == ydxplat::kOpWrite && *length >= failFrom ? ENOSPC : 0;
}
}  // namespace

TEST_F(XmlArchiveTest, ABlockThatCannotBeReplacedKeepsItsOldDocument) {
  int dpf = IStuffDPF->Create("keep.dpf");
  int small = MakeLevel("old");
  ASSERT_GT(Yandorix.XMLSave(small, dpf, "level"), 0);
  int large = MakeLevel("new");
  std::string filler;   // letters that do not compress much
  for (unsigned seed = 1; filler.size() < 20000;) {
    seed = seed * 1103515245u + 12345u;
    filler += (char)('a' + (seed >> 16) % 26);
  }
  ASSERT_EQ(Yandorix.XMLTextSet(large, filler.c_str()), 1);
  failFrom = 8192;   // the new document's bytes do not fit on the disk, the old one's do
  ydxplat::SetFaultHook(failLargeWrites);
  EXPECT_LE(Yandorix.XMLSave(large, dpf, "level"), 0);
  ydxplat::SetFaultHook(nullptr);
  int back = Yandorix.XMLOpen(dpf, "level");
  ASSERT_GT(back, 0);
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  const char* name = nullptr;
  ASSERT_EQ(Yandorix.XMLAttributeGet(back, "name", &name), 1);
  EXPECT_STREQ(name, "old");
  IStuffDPF->Close(dpf);
}

namespace {

// Saves documents numbered from `first` on into one block until killed, reporting each save that returned.
[[noreturn]] void SaveUntilKilled(int first, int report) {
  ILogSystem.Halt();
  int dpf = IStuffDPF->Open("saves.dpf");
  for (int n = first;; n++) {
    int h = Yandorix.XMLCreate("save");
    Yandorix.XMLAttributeSet(h, "n", n);
    Yandorix.XMLTextSet(h, std::string((size_t)(n % 5) * 3000, 'x').c_str());
    if (Yandorix.XMLSave(h, dpf, "game") <= 0) _exit(3);
    Yandorix.XMLClose(h);
    if (write(report, &n, sizeof n) != (ssize_t)sizeof n) _exit(4);
  }
}

}  // namespace

TEST_F(XmlArchiveTest, ASaveKilledHalfwayKeepsThePreviousDocument) {
  int h = Yandorix.XMLCreate("save");
  Yandorix.XMLAttributeSet(h, "n", 0);
  ASSERT_GT(Yandorix.XMLSave(h, "saves.dpf", "game"), 0);
  int last = 0;
  for (int round = 0; round < 20; round++) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ends[0]);
      SaveUntilKilled(last + 1, ends[1]);
    }
    close(ends[1]);
    usleep((useconds_t)(300 + round * 431 % 9000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    for (int n = 0; read(ends[0], &n, sizeof n) == (ssize_t)sizeof n;) last = n;
    close(ends[0]);
    // The save under way when the kill came is there whole or not at all; the one before it is kept.
    int back = Yandorix.XMLOpen("saves.dpf", "game");
    ASSERT_GT(back, 0) << "round " << round;
    int n = -1;
    ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
    ASSERT_EQ(Yandorix.XMLAttributeGet(back, "n", &n), 1);
    EXPECT_TRUE(n == last || n == last + 1) << "round " << round << ": " << n << " after " << last;
    last = n;
    Yandorix.XMLClose(back);
  }
}
