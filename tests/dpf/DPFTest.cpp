// The archive tests' fixture and helpers.
#include "DPFTest.h"
#include <cerrno>
#include <cstring>
#include <zlib.h>

static void NoPause(Uint32) {}

void DPFTest::SetUp() {
  YdxTest::SetUp();
  ydxtest::StartLog();
  ydxtest::ManualClock::Install(4242);
  ASSERT_EQ(Yandorix.Init(0), 1);
  ydxdpf::SetPauseFunction(NoPause);
}

void DPFTest::TearDown() {
  ydxplat::SetFaultHook(nullptr);
  Yandorix.Quit();
  ydxdpf::SetPauseFunction(nullptr);
  YdxTest::TearDown();
}

DPF_BlockData DPFTest::Block(const char* name, const char* type, int mode, const std::string& data) {
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  strncpy(block.name, name, sizeof block.name - 1);
  strncpy(block.type, type, sizeof block.type - 1);
  block.mode = (unsigned char)mode;
  block.size = (int)data.size();
  block.data = const_cast<char*>(data.data());
  return block;
}

int DPFTest::Add(int handle, const char* name, const char* type, int mode, const std::string& data) {
  DPF_BlockData block = Block(name, type, mode, data);
  return IStuffDPF->AddData(handle, &block);
}

std::string DPFTest::Load(int handle, const char* type, const char* name) {
  DPF_BlockData block;
  int size = IStuffDPF->LoadBlock(handle, type, name, &block);
  if (!block.data) return "<failed>";
  std::string data(block.data, (size_t)size);
  IStuffDPF->FreeBlock(&block);
  EXPECT_EQ(block.data, nullptr);
  return data;
}

bool DPFTest::Logged(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }

ydxdpf::ArchiveHeader DPFTest::HeaderOf(const std::string& path) {
  std::string bytes = ydxtest::ReadFile(path);
  ydxdpf::ArchiveHeader header;
  memset(&header, 0, sizeof header);
  if (bytes.size() < (size_t)ydxdpf::kBlocksOffset) return header;
  ydxdpf::Cipher cipher;
  ydxdpf::KeyWithHeaderKey(&cipher);
  uint8_t raw[ydxdpf::kHeaderSize];
  memcpy(raw, bytes.data() + ydxdpf::kHeaderOffset, sizeof raw);
  cipher.DecipherUnits(raw, sizeof raw / 8);
  ydxdpf::DecodeArchiveHeader(raw, &header);
  return header;
}

static uint32_t BlocksCRC(const std::string& bytes) {
  if (bytes.size() <= (size_t)ydxdpf::kBlocksOffset) return 0;
  return (uint32_t)crc32(0, reinterpret_cast<const Bytef*>(bytes.data()) + ydxdpf::kBlocksOffset,
                         (uInt)(bytes.size() - ydxdpf::kBlocksOffset));
}

bool DPFTest::CRCMatches(const std::string& path) {
  return HeaderOf(path).crc == BlocksCRC(ydxtest::ReadFile(path));
}

void DPFTest::FixCRC(const std::string& path) {
  std::string bytes = ydxtest::ReadFile(path);
  ydxdpf::ArchiveHeader header = HeaderOf(path);
  header.crc = BlocksCRC(bytes);
  ydxdpf::Cipher cipher;
  ydxdpf::KeyWithHeaderKey(&cipher);
  uint8_t raw[ydxdpf::kHeaderSize];
  ydxdpf::EncodeArchiveHeader(header, raw);
  cipher.EncipherUnits(raw, sizeof raw / 8);
  bytes.replace(ydxdpf::kHeaderOffset, sizeof raw, reinterpret_cast<const char*>(raw), sizeof raw);
  ydxtest::WriteFile(path, bytes);
}

static int failOpens = 0;
static int FailFirstOpen(ydxplat::FaultOp op, const char*, size_t*) {
  if (op != ydxplat::kOpOpen || failOpens <= 0) return 0;
  failOpens--;
  return EACCES;
}

int DPFTest::OpenReadOnly(const char* path) {
  failOpens = 1;
  ydxplat::SetFaultHook(FailFirstOpen);
  int handle = IStuffDPF->Open(path);
  ydxplat::SetFaultHook(nullptr);
  return handle;
}

void DPFTest::MakeArchive(const std::string& path, int blocks) {
  int handle = IStuffDPF->Create(path.c_str());
  ASSERT_GT(handle, 0);
  for (int i = 0; i < blocks; i++) {
    std::string name = "block" + std::to_string(i);
    ASSERT_GT(Add(handle, name.c_str(), "DATA", 1, "payload " + std::to_string(i)), 0);
  }
  IStuffDPF->Close(handle);
}
