// Fuzzes the file names exports derive from block names: the input's first byte picks sound or music,
// the next 32 are the block name as an archive could hold it (any bytes, unterminated), the rest the
// block's data. The derived name never leaves the working directory, and an export writes at most
// that one file there, byte for byte.
#include "FuzzSupport.h"
#include "60_SoundFX.h"
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <set>
#include <string>

namespace {

std::set<std::string> Entries(const char* path) {
  std::set<std::string> names;
  if (DIR* dir = opendir(path)) {
    while (dirent* entry = readdir(dir))
      if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.insert(entry->d_name);
    closedir(dir);
  }
  return names;
}

char base[] = "/tmp/ydxfuzz-export-XXXXXX";
std::string work;

void RemoveDirectories() {
  rmdir(work.c_str());
  rmdir(base);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ydxfuzz::AbsolutePathArguments(argc, argv);
  ydxfuzz::StartLibrary(SDL_INIT_VIDEO | SDL_INIT_AUDIO);
  // A fresh directory whose only entry is the working directory "export": anything else appearing
  // beside it was written outside.
  if (!mkdtemp(base)) abort();
  work = std::string(base) + "/export";
  if (mkdir(work.c_str(), 0755) != 0) abort();
  atexit(RemoveDirectories);
  if (ISoundFX->Init(22050, AUDIO_S16LSB, 1, 1024) != 1) abort();   // exports need the mixer open
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || chdir(work.c_str()) != 0) return 0;
  char music = (char)(data[0] & 1);
  char raw[32] = {0};
  size_t nameBytes = size - 1 < 32 ? size - 1 : 32;
  memcpy(raw, data + 1, nameBytes);
  const uint8_t* body = data + 1 + nameBytes;
  size_t bodySize = size - 1 - nameBytes;

  std::string derived;
  if (ydxsound::ExportFileName(raw, "WAV", &derived)) {
    ydxfuzz::Require(derived.find('/') == std::string::npos && derived.find('\\') == std::string::npos,
                     "derived name has a separator");
    std::string base(raw, strnlen(raw, 31));
    ydxfuzz::Require(base.find("..") == std::string::npos && derived == base + ".WAV", "derived name not the block name");
    ydxfuzz::Require(derived.size() <= 31 + 4, "derived name too long");
  }

  // A real export of a block with this name (as far as the archive takes it) and data.
  std::string name(raw, strnlen(raw, 31));
  if (name.empty() || !ydxfuzz::StoreBlock("fuzz.dpf", music ? "MUS" : "SND", body, bodySize)) {
    remove("fuzz.dpf");
    return 0;
  }
  // StoreBlock names the block "fuzz"; add a second one under the fuzzed name.
  int handle = IStuffDPF->Open("fuzz.dpf");
  if (handle > 0) {
    DPF_BlockData block;
    memset(&block, 0, sizeof block);
    memcpy(block.name, name.data(), name.size());
    strcpy(block.type, music ? "MUS" : "SND");
    block.mode = 1;
    block.size = (int)bodySize;
    block.data = const_cast<char*>(reinterpret_cast<const char*>(body));
    if (IStuffDPF->AddData(handle, &block) > 0) ISoundFX->Export(handle, name.c_str(), music, NULL);
    IStuffDPF->Close(handle);
  }
  std::set<std::string> here = Entries(".");
  here.erase("fuzz.dpf");
  ydxfuzz::Require(here.size() <= 1, "more than one file written");
  for (const std::string& file : here) {
    ydxfuzz::Require(ydxfuzz::ReadBack(file.c_str()) == std::string((const char*)body, bodySize), "exported bytes differ");
    remove(file.c_str());
  }
  ydxfuzz::Require(Entries("..").count("export") == 1 && Entries("..").size() == 1, "a file outside the directory");
  remove("fuzz.dpf");
  return 0;
}
