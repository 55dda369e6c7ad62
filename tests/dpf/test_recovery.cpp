// Archives left by a crash in the middle of a change: an append whose header never went out is cut off
// (or, read only, ignored), a deletion whose header went out first is completed, a replaced block stays
// found until its successor is complete, real damage is still refused, and a writer killed at random
// moments fifty times loses no block whose call had returned.
#include "DPFTest.h"
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Pattern(size_t size, int seed) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; i++) data[i] = (char)((i * 131 + seed * 7) ^ (i >> 5) ^ seed);
  return data;
}

std::string Marker() { return std::string(reinterpret_cast<const char*>(ydxdpf::kBlockMarker), 16); }

int CountBlocks(int handle) {
  DPF_BlockData found;
  int count = 0, result = IStuffDPF->FindFirst(handle, &found);
  for (; result == 1; result = IStuffDPF->FindNext(handle, &found)) count++;
  return result == 0 ? count : -1;
}

}  // namespace

class DPFRecovery : public DPFTest {
 protected:
  // The bytes one more AddData appends to a copy of `path`: a whole block as a crash leaves it.
  static std::string AppendedBlock(const std::string& path) {
    std::string before = ydxtest::ReadFile(path);
    ydxtest::WriteFile("scratch.dpf", before);
    int handle = IStuffDPF->Open("scratch.dpf");
    EXPECT_GT(Add(handle, "late", "DATA", 0, Pattern(3000, 5)), 0);
    IStuffDPF->Close(handle);
    return ydxtest::ReadFile("scratch.dpf").substr(before.size());
  }
};

TEST_F(DPFRecovery, AnAppendThatNeverCommittedIsIgnoredReadOnlyAndCutOffForWriting) {
  MakeArchive("a.dpf", 3);
  std::string committed = ydxtest::ReadFile("a.dpf");
  std::string block = AppendedBlock("a.dpf");
  const struct {
    const char* what;
    std::string tail;
  } tails[] = {{"a marker cut short", Marker().substr(0, 5)},
               {"a marker alone", Marker()},
               {"a header cut short", block.substr(0, 40)},
               {"data cut short", block.substr(0, block.size() - 9)},
               {"a whole block", block}};
  for (const auto& entry : tails) {
    SCOPED_TRACE(entry.what);
    ydxtest::WriteFile("t.dpf", committed + entry.tail);
    int handle = OpenReadOnly("t.dpf");
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(Logged(" . [IStuffDPF->Open('t.dpf')] Warning: the last " + std::to_string(entry.tail.size()) +
                       " bytes were left by an interrupted write and are not part of the DPF; they are ignored "
                       "(read only).\n"));
    EXPECT_EQ(CountBlocks(handle), 3);
    EXPECT_EQ(Load(handle, "DATA", "block2"), "payload 2");
    EXPECT_EQ(Load(handle, "DATA", "late"), "<failed>");
    EXPECT_EQ(IStuffDPF->GetSize(handle), (int)(committed.size() / 1024));
    IStuffDPF->Close(handle);
    EXPECT_EQ(ydxtest::ReadFile("t.dpf"), committed + entry.tail) << "a read-only open changed the file";

    handle = IStuffDPF->Open("t.dpf");   // remembered by the cache, but the tail must go now
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(Logged("they were cut off.\n"));
    EXPECT_EQ(ydxtest::ReadFile("t.dpf"), committed);
    EXPECT_GT(Add(handle, "next", "DATA", 1, "taken"), 0);
    EXPECT_EQ(Load(handle, "DATA", "next"), "taken");
    IStuffDPF->Close(handle);
    EXPECT_TRUE(CRCMatches("t.dpf"));
  }
}

TEST_F(DPFRecovery, ADeletionInterruptedAfterItsHeaderIsCompleted) {
  for (bool isProtected : {false, true}) {
    SCOPED_TRACE(isProtected ? "protected" : "plain");
    MakeArchive("d.dpf", 4);
    std::string path = "d.dpf";
    if (isProtected) {
      std::string key = Password();
      ASSERT_EQ(IStuffDPF->Protect("d.dpf", reinterpret_cast<const unsigned char*>(key.data()),
                                   (unsigned char)key.size()), 1);
      UsePassword();
      path = "d_secure.dpf";
    }
    std::string before = ydxtest::ReadFile(path);
    int handle = IStuffDPF->Open(path.c_str());
    DPF_BlockData gone = Block("block1", "DATA", 1);
    ASSERT_EQ(IStuffDPF->Delete(handle, &gone), 1);
    IStuffDPF->Close(handle);
    std::string after = ydxtest::ReadFile(path);
    // The state a crash between the two writes leaves: the new header over the old blocks.
    ydxtest::WriteFile("crashed.dpf", after.substr(0, 520) + before.substr(520));
    handle = OpenReadOnly("crashed.dpf");
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(Logged(" . [IStuffDPF->Open('crashed.dpf')] Warning: the deletion of block 'block1' was "
                       "interrupted; it stays until the DPF is opened for writing.\n"));
    EXPECT_EQ(Load(handle, "DATA", "block1"), "payload 1");
    IStuffDPF->Close(handle);
    handle = IStuffDPF->Open("crashed.dpf");
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(Logged(" . [IStuffDPF->Open('crashed.dpf')] Warning: the deletion of block 'block1' was "
                       "interrupted; it was completed.\n"));
    EXPECT_EQ(ydxtest::ReadFile("crashed.dpf").substr(520), after.substr(520));
    EXPECT_EQ(Load(handle, "DATA", "block1"), "<failed>");
    EXPECT_EQ(Load(handle, "DATA", "block3"), "payload 3");
    IStuffDPF->Close(handle);
    EXPECT_TRUE(CRCMatches("crashed.dpf"));
  }
}

TEST_F(DPFRecovery, DamageIsStillRefused) {
  MakeArchive("a.dpf", 3);
  std::string bytes = ydxtest::ReadFile("a.dpf");
  const struct {
    const char* what;
    std::string file;
  } damaged[] = {{"a byte changed inside a block", bytes.substr(0, 600) + "#" + bytes.substr(601)},
                 {"a tail that is no block", bytes + "trailing junk"},
                 {"blocks missing at the end", bytes.substr(0, bytes.size() - 40)}};
  for (const auto& entry : damaged) {
    SCOPED_TRACE(entry.what);
    ydxtest::WriteFile("bad.dpf", entry.file);
    EXPECT_EQ(IStuffDPF->Open("bad.dpf"), -1);
    EXPECT_TRUE(Logged(" . [IStuffDPF->Open('bad.dpf')] Error: the given DPF is corrupted.\n"));
    EXPECT_EQ(ydxtest::ReadFile("bad.dpf"), entry.file) << "a refused file was changed";
  }
  // An unfinished deletion in a protected archive can only be told apart from damage with the key.
  std::string key = Password();
  ASSERT_EQ(IStuffDPF->Protect("a.dpf", reinterpret_cast<const unsigned char*>(key.data()), (unsigned char)key.size()),
            1);
  std::string secure = ydxtest::ReadFile("a_secure.dpf");
  ydxtest::WriteFile("bad.dpf", secure.substr(0, 700) + "#" + secure.substr(701));
  EXPECT_EQ(IStuffDPF->Open("bad.dpf"), -1);
  EXPECT_TRUE(Logged(" . [IStuffDPF->Open('bad.dpf')] Info: the DPF is protected and no password is set, so an "
                     "interrupted deletion could not be looked for.\n"));
}

namespace {
int headerWritesUntilFailure = -1;
int FailAHeaderWrite(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op != ydxplat::kOpWrite || *length != (size_t)ydxdpf::kHeaderSize || headerWritesUntilFailure < 0) return 0;
  return headerWritesUntilFailure-- == 0 ? EIO : 0;
}

std::string LiveList(int handle) {
  std::string list;
  DPF_BlockData found;
  for (int r = IStuffDPF->FindFirst(handle, &found); r == 1; r = IStuffDPF->FindNext(handle, &found))
    list += std::string(found.name) + "/" + found.type + " ";
  return list;
}
}  // namespace

TEST_F(DPFRecovery, AReplacedBlockIsFoundAsItWasUntilItsSuccessorIsComplete) {
  int handle = IStuffDPF->Create("r.dpf");
  ASSERT_GT(Add(handle, "doc", "FILE", 0, "version 1"), 0);
  std::string second = "version 2";
  DPF_BlockData block = Block("doc", "FILE", 0, second);
  headerWritesUntilFailure = 1;   // the append commits, the deletion of the old block fails
  ydxplat::SetFaultHook(FailAHeaderWrite);
  EXPECT_EQ(ydxdpf::ReplaceBlock(*IStuffDPF, handle, &block), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(LiveList(handle), "doc/FILE doc/FILE ");
  EXPECT_EQ(Load(handle, "FILE", "doc"), "version 1");
  // The next replacement removes both, the newer leftover first, and its own block is the one found.
  std::string third = "version 3";
  block = Block("doc", "FILE", 0, third);
  EXPECT_GT(ydxdpf::ReplaceBlock(*IStuffDPF, handle, &block), 0);
  EXPECT_EQ(LiveList(handle), "?oc/DELETED ?oc/DELETED doc/FILE ");
  EXPECT_EQ(Load(handle, "FILE", "doc"), "version 3");
  IStuffDPF->Close(handle);
  EXPECT_TRUE(CRCMatches("r.dpf"));
}

// ---------------------------------------------------------------------------------------------------
// A writer killed at random moments

namespace {

// The writer's work, the same in every run: operation i adds block "b<i>", except that every third
// one deletes the block added two operations before.
bool IsDelete(int op) { return op % 3 == 2; }
std::string NameOf(int op) { return "b" + std::to_string(IsDelete(op) ? op - 2 : op); }
std::string DataOf(int op) {
  size_t size = op % 7 == 0 ? 30000 + (size_t)(op * 977) % 40000 : 1 + (size_t)(op * 37) % 3000;
  return Pattern(size, op);
}
int ModeOf(int op) { return (op / 3) % 3; }

// Runs operations from `first` on until killed, telling the parent after each one that returned.
[[noreturn]] void Writer(int first, int report) {
  ILogSystem.Halt();
  int handle = IStuffDPF->Open("crash.dpf");
  if (handle <= 0) _exit(2);
  for (int op = first;; op++) {
    if (IsDelete(op)) {
      DPF_BlockData target = DPFTest::Block(NameOf(op).c_str(), "T", 0);
      IStuffDPF->Delete(handle, &target);
    } else {
      std::string data = DataOf(op);
      if (DPFTest::Add(handle, NameOf(op).c_str(), "T", ModeOf(op), data) <= 0) _exit(3);
    }
    if (write(report, &op, sizeof op) != (ssize_t)sizeof op) _exit(4);
  }
}

// The last operation the writer reported as returned; first - 1 when none.
int LastReported(int fd, int first) {
  int last = first - 1, op = 0;
  while (read(fd, &op, sizeof op) == (ssize_t)sizeof op) last = op;
  return last;
}

}  // namespace

TEST_F(DPFRecovery, AWriterKilledAtRandomMomentsLosesNoBlockWhoseCallReturned) {
  IStuffDPF->Close(IStuffDPF->Create("crash.dpf"));
  std::map<std::string, std::string> live;   // the blocks that must be there, with their bytes
  std::set<std::string> named;                // every name ever used
  std::mt19937 random(20240917);
  int next = 0;
  for (int round = 0; round < 50; round++) {
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_NONBLOCK), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeEnds[0]);
      Writer(next, pipeEnds[1]);
    }
    close(pipeEnds[1]);
    usleep((useconds_t)std::uniform_int_distribution<int>(200, 12000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << WEXITSTATUS(status);
    int last = LastReported(pipeEnds[0], next);
    close(pipeEnds[0]);
    SCOPED_TRACE("round " + std::to_string(round) + ", operations " + std::to_string(next) + " to " +
                 std::to_string(last + 1));
    for (int op = next; op <= last; op++) {
      named.insert(NameOf(op));
      if (IsDelete(op))
        live.erase(NameOf(op));
      else
        live[NameOf(op)] = DataOf(op);
    }
    int handle = IStuffDPF->Open("crash.dpf");
    ASSERT_GT(handle, 0) << "the archive did not survive the kill";
    // The operation under way when the kill came may have committed or not, but never half.
    int unsure = last + 1;
    std::string name = NameOf(unsure), found = Load(handle, "T", name.c_str());
    named.insert(name);
    if (IsDelete(unsure) && live.count(name) && found == "<failed>") live.erase(name);
    if (!IsDelete(unsure) && found != "<failed>") live[name] = DataOf(unsure);
    for (const std::string& each : named) {
      auto entry = live.find(each);
      ASSERT_EQ(Load(handle, "T", each.c_str()), entry == live.end() ? "<failed>" : entry->second) << each;
    }
    // And it still takes new blocks.
    std::string probe = "probe" + std::to_string(round);
    ASSERT_GT(Add(handle, probe.c_str(), "P", 1, probe), 0);
    ASSERT_EQ(Load(handle, "P", probe.c_str()), probe);
    IStuffDPF->Close(handle);
    next = unsure + 1;
  }
  std::string log = ydxtest::LogText();
  size_t tails = 0, deletions = 0;
  for (size_t at = log.find("interrupted write"); at != std::string::npos; at = log.find("interrupted write", at + 1))
    tails++;
  for (size_t at = log.find("was interrupted; it was completed"); at != std::string::npos;
       at = log.find("was interrupted; it was completed", at + 1))
    deletions++;
  std::cout << "[ recovered ] " << tails << " uncommitted appends, " << deletions << " unfinished deletions\n";
}
