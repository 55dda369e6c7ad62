// What the fuzz targets share: reading a file back whole, invariant checks that stop the run (the
// fuzzer reports them like a crash), and an archive holding one given block.
#pragma once
#include <Yandorix.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ydxfuzz {

inline std::string ReadBack(const char* path) {
  std::string bytes;
  if (FILE* file = fopen(path, "rb")) {
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    fclose(file);
  }
  return bytes;
}

// The library on the dummy drivers, started once for the whole run.
inline void StartLibrary(Uint32 sdlflags = SDL_INIT_VIDEO) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  Yandorix.Init(sdlflags);
}

inline void Require(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "%s: %s\n", program_invocation_short_name, what);
  abort();
}

// Stores the block as the only one of a new archive at `path`; false when the archive refuses it.
inline bool StoreBlock(const char* path, const char* type, const uint8_t* data, size_t size) {
  remove(path);
  int handle = IStuffDPF->Create(path);
  if (handle <= 0) return false;
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  std::strcpy(block.name, "fuzz");
  std::strcpy(block.type, type);
  block.size = (int)size;
  block.data = const_cast<char*>(reinterpret_cast<const char*>(data));
  int stored = IStuffDPF->AddData(handle, &block);
  IStuffDPF->Close(handle);
  return stored > 0;
}

}  // namespace ydxfuzz
