// Fuzz target for archives a crash left behind: the stored CRC of a mutated archive is made to cover
// only part of it (the blocks up to a marker or any offset) or the archive with one block deleted,
// as an interrupted append or deletion leaves it. Opening read only must not change the file; opening
// for writing must leave an archive whose CRC matches and that opens again without repair.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "00_Platform.h"
#include "11_DPFCache.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <ucl/ucl.h>
#include <zlib.h>

using ydxfuzz::ReadBack;
using ydxfuzz::Require;

namespace {

const char kPath[] = "fuzz-recovery.dpf";
const unsigned char kPassword[] = "fuzzing password";

uint32_t BlocksCRC(const std::string& bytes, size_t end) {
  return (uint32_t)crc32(0, reinterpret_cast<const Bytef*>(bytes.data()) + ydxdpf::kBlocksOffset,
                         (uInt)(end - ydxdpf::kBlocksOffset));
}

void SetStoredCRC(std::string& bytes, uint32_t crc) {
  ydxdpf::Cipher cipher;
  ydxdpf::KeyWithHeaderKey(&cipher);
  uint8_t* header = reinterpret_cast<uint8_t*>(&bytes[ydxdpf::kHeaderOffset]);
  cipher.DecipherUnits(header, ydxdpf::kHeaderSize / 8);
  ydxdpf::PutU32(header + 96, crc);
  cipher.EncipherUnits(header, ydxdpf::kHeaderSize / 8);
}

// Offset of the n-th block marker at or after the blocks' start, or the end of the bytes.
size_t MarkerOffset(const std::string& bytes, int n) {
  std::string marker(reinterpret_cast<const char*>(ydxdpf::kBlockMarker), ydxdpf::kMarkerSize);
  size_t at = bytes.find(marker, ydxdpf::kBlocksOffset);
  for (; at != std::string::npos && n > 0; n--) at = bytes.find(marker, at + 1);
  return at == std::string::npos ? bytes.size() : at;
}

// The selector byte: below 0x80 the committed end is that marker, 0x80..0xFD an offset in proportion,
// 0xFE the archive with the header after that marker taken as deleted (plain archives), 0xFF the
// stored CRC as it is.
void Stage(std::string& bytes, uint8_t selector, uint8_t which) {
  size_t length = bytes.size();
  if (selector == 0xFF) return;
  if (selector == 0xFE) {
    std::string deleted = bytes;
    size_t header = MarkerOffset(bytes, which) + ydxdpf::kMarkerSize;
    if (header + ydxdpf::kBlockHeaderSize > length) return;
    deleted[header] = '?';
    memcpy(&deleted[header + ydxdpf::kNameField], ydxdpf::kDeletedType, ydxdpf::kTypeField);
    SetStoredCRC(bytes, BlocksCRC(deleted, length));
    return;
  }
  size_t end = selector < 0x80 ? MarkerOffset(bytes, selector)
                               : ydxdpf::kBlocksOffset + (length - ydxdpf::kBlocksOffset) * (selector - 0x80) / 0x7D;
  SetStoredCRC(bytes, BlocksCRC(bytes, end));
}

bool StoredCRCMatches(std::string bytes) {
  if (bytes.size() < (size_t)ydxdpf::kBlocksOffset) return false;
  ydxdpf::Cipher cipher;
  ydxdpf::KeyWithHeaderKey(&cipher);
  uint8_t* header = reinterpret_cast<uint8_t*>(&bytes[ydxdpf::kHeaderOffset]);
  cipher.DecipherUnits(header, ydxdpf::kHeaderSize / 8);
  return ydxdpf::GetU32(header + 96) == BlocksCRC(bytes, bytes.size());
}

int failOpens = 0;
int ReadOnlyHook(ydxplat::FaultOp op, const char*, size_t*) {
  if (op == ydxplat::kOpOpen && failOpens > 0) {
    failOpens--;
    return EACCES;
  }
  return 0;
}

void Scan(Yandorix_IStuffDPF& service, int handle, size_t fileSize) {
  DPF_BlockData block;
  size_t found = 0;
  for (int r = service.FindFirst(handle, &block); r == 1; r = service.FindNext(handle, &block))
    Require(++found <= fileSize / 16 + 2, "the scan does not end");
  if (!found) return;
  DPF_BlockData loaded;
  service.LoadBlock(handle, block.type, block.name, &loaded);
  service.FreeBlock(&loaded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = ucl_init() == UCL_E_OK;
  (void)ready;
  if (size < 2 + (size_t)ydxdpf::kBlocksOffset) return 0;
  std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  if (bytes.compare(0, 5, "DPFv4") != 0) return 0;
  Stage(bytes, data[0], data[1]);
  FILE* file = fopen(kPath, "wb");
  if (!file) return 0;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  {
    Yandorix_IStuffDPF service;
    service.SetPassword(kPassword, sizeof kPassword - 1);
    failOpens = 1;
    ydxplat::SetFaultHook(ReadOnlyHook);
    int handle = service.Open(kPath);
    ydxplat::SetFaultHook(nullptr);
    if (handle > 0) {
      Scan(service, handle, bytes.size());
      service.Close(handle);
    }
    Require(ReadBack(kPath) == bytes, "a read-only open changed the file");
    handle = service.Open(kPath);
    if (handle > 0) {
      Scan(service, handle, bytes.size());
      service.Close(handle);
      std::string repaired = ReadBack(kPath);
      Require(repaired.size() <= bytes.size(), "the repair made the file longer");
      Require(StoredCRCMatches(repaired), "the repaired archive's CRC does not match");
    }
  }
  remove(kPath);
  return 0;
}
