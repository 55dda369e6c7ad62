// Fuzz target for archives: opens a mutated version-4.0 archive, scans it in both access modes and
// loads every block. The header CRC is recomputed with the built-in key first, so mutations reach the
// block layer; protected inputs are read with the password the seed corpus was written with.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "00_Platform.h"
#include "11_DPFCache.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ucl/ucl.h>
#include <zlib.h>

using ydxfuzz::ReadBack;
using ydxfuzz::Require;

namespace {

const char kPath[] = "fuzz.dpf";
const unsigned char kPassword[] = "fuzzing password";

// Makes the stored CRC match the blocks, as any archive that opens has it.
void MatchCRC(std::string& bytes) {
  if (bytes.size() < (size_t)ydxdpf::kBlocksOffset || bytes.compare(0, 5, "DPFv4") != 0) return;
  ydxdpf::Cipher cipher;
  ydxdpf::KeyWithHeaderKey(&cipher);
  uint8_t* header = reinterpret_cast<uint8_t*>(&bytes[ydxdpf::kHeaderOffset]);
  cipher.DecipherUnits(header, ydxdpf::kHeaderSize / 8);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()) + ydxdpf::kBlocksOffset,
                    (uInt)(bytes.size() - ydxdpf::kBlocksOffset));
  ydxdpf::PutU32(header + 96, (uint32_t)crc);
  cipher.EncipherUnits(header, ydxdpf::kHeaderSize / 8);
}

void ScanAndLoad(Yandorix_IStuffDPF& service, int handle, size_t fileSize) {
  // Every block starts with a 16-byte marker at a later offset: more blocks than that is a loop.
  const size_t limit = fileSize / 16 + 2;
  std::vector<DPF_BlockData> found;
  DPF_BlockData block;
  for (int r = service.FindFirst(handle, &block); r == 1; r = service.FindNext(handle, &block)) {
    found.push_back(block);
    Require(found.size() <= limit, "the scan does not end");
  }
  for (DPF_BlockData& entry : found) {
    DPF_BlockData loaded;
    service.LoadBlock(handle, entry.type, entry.name, &loaded);
    Require(!loaded.data || (int64_t)loaded.size <= (int64_t)fileSize * ydxdpf::kMaxExpansion,
            "a block larger than its file allows");
    service.FreeBlock(&loaded);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = ucl_init() == UCL_E_OK;
  (void)ready;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.compare(0, 5, "DPFv3") == 0) return 0;   // conversions have their own target
  MatchCRC(bytes);
  FILE* file = fopen(kPath, "wb");
  if (!file) return 0;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  {
    Yandorix_IStuffDPF service;
    service.SetPassword(kPassword, sizeof kPassword - 1);
    int handle = service.Open(kPath);
    if (handle > 0) {
      for (char mode : {0, 1}) {
        service.SetAccessMode(mode);
        ScanAndLoad(service, handle, bytes.size());
      }
      service.GetNumBlocks(handle);
      service.GetFragment(handle);
      service.Close(handle);
    }
  }
  Require(ReadBack(kPath) == bytes, "the input file was changed");
  remove(kPath);
  return 0;
}
