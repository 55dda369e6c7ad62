// What the fuzz targets share: reading a file back whole, invariant checks that stop the run (the
// fuzzer reports them like a crash), and an archive holding one given block.
#pragma once
#include <Yandorix.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

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

// libFuzzer reads its corpus directories, and saves what it finds into the first, only after
// LLVMFuzzerInitialize: a target that changes directory calls this first, so that relative corpus,
// dictionary and artifact paths on its command line keep naming what they named where it started.
inline void AbsolutePathArguments(int* argc, char*** argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  char here[4096];
  if (!argc || !argv || !getcwd(here, sizeof here)) return;
  auto absolute = [&](const std::string& path) { return path.empty() || path[0] == '/' ? path : here + ("/" + path); };
  texts.clear();
  for (int i = 0; i < *argc; i++) {
    std::string arg = (*argv)[i];
    if (i > 0 && !arg.empty() && arg[0] != '-') arg = absolute(arg);
    for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-merge_control_file="}) {
      size_t length = strlen(flag);
      if (i > 0 && arg.compare(0, length, flag) == 0) arg = flag + absolute(arg.substr(length));
    }
    texts.push_back(arg);
  }
  pointers.clear();
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  *argv = pointers.data();
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
