// Fuzzes tile blocks: the first byte picks the block type ("TILE2", "TILE", "TILB2", "TILB"), the rest
// is the block, stored in a fresh archive and loaded with the old type (so both lookups run). A refused
// block leaves the tile empty and the archive byte for byte as it was; only a block that checks out
// as the older layout, stored under the older type, may change the archive.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "26_Tile.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using ydxfuzz::ReadBack;
using ydxfuzz::Require;
using ydxfuzz::StoreBlock;

namespace {

const char kPath[] = "fuzz_tile.dpf";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 20) || !IStuffDPF) return 0;
  static const char* const kTypes[] = {"TILE2", "TILE", "TILB2", "TILB"};
  const char* type = kTypes[data[0] & 3];
  bool olderType = (data[0] & 1) != 0;
  const uint8_t* block = data + 1;
  size_t blockSize = size - 1;
  ydxtile::sTileBlock decoded;
  std::string why;
  bool sound = ydxtile::DecodeTileBlock(block, blockSize, &decoded, &why);
  bool mayWrite = sound && olderType && decoded.version == 1;
  if (!StoreBlock(kPath, type, block, blockSize)) return 0;
  std::string before = ReadBack(kPath);
  Yandorix_CTile tile;
  int loaded = tile.Load(kPath, "fuzz", (data[0] & 2) ? "TILB" : "TILE");
  Require(loaded == 0 || loaded == 1, "Load returned something else than 1 or 0");
  if (!loaded) Require(tile.GetSurface() == NULL && tile.GetName() == NULL, "a refused tile is not empty");
  if (loaded) Require(sound && (olderType || decoded.version == 2), "a refused block was loaded");
  if (loaded) tile.Draw(NULL, 1);
  if (!mayWrite) Require(ReadBack(kPath) == before, "the archive changed");
  return 0;
}
