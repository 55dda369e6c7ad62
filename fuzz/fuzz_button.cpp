// Fuzzes "BUT" blocks: the first byte's low bit asks for a master button, the rest is the block, stored
// beside a complete set of tiles of the same name and loaded. A refused description gives -1 with an
// Error line in the log and creates no button; a sound one makes exactly one, which is then removed.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "41_Button.h"
#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using ydxfuzz::ReadBack;
using ydxfuzz::Require;

namespace {

const char kPath[] = "fuzz_button.dpf";
std::string logPath;
std::string tilesArchive;   // an archive holding only the button's four tiles

long LogSize() {
  struct stat st;
  return stat(logPath.c_str(), &st) == 0 ? (long)st.st_size : 0;
}

void CleanUp() {
  remove(logPath.c_str());
  rmdir(logPath.substr(0, logPath.rfind('/')).c_str());
}

// The four tiles, small and of one colour, made once; every input starts from a copy of them.
void MakeTiles() {
  char dir[] = "/tmp/ydxfuzzbutton-XXXXXX";
  if (!mkdtemp(dir)) abort();
  logPath = std::string(dir) + "/button.log";
  atexit(CleanUp);
  ILogSystem.Init(logPath.c_str(), 2, 0, "fuzz_button", NULL, NULL, NULL);
  std::string archive = std::string(dir) + "/tiles.dpf";
  int handle = IStuffDPF->Create(archive.c_str());
  SDL_Surface* image = SDL_CreateRGBSurface(0, 60, 12, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(image, NULL, 0x804020);
  for (const char* suffix : {"_n", "_p", "_o", "_s"}) {
    Yandorix_CTile tile;
    tile.Create(image, (std::string("fuzz") + suffix).c_str());
    tile.Save(handle, "TILB2");
  }
  SDL_FreeSurface(image);
  IStuffDPF->Close(handle);
  tilesArchive = ReadBack(archive.c_str());
  remove(archive.c_str());
}

bool Sound(const uint8_t* block, size_t size) {
  if (size != ydxbut::kDescriptionSize) return false;
  IButtonNew desc = ydxbut::DecodeDescription(block);
  std::string why;
  return ydxbut::DescribesAButton(desc, &why) && ydxbut::CheckKeyAndRange(desc, &why) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary();
  MakeTiles();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096 || !IStuffDPF || !IButton) return 0;
  unsigned char master = data[0] & 1;
  const uint8_t* block = data + 1;
  size_t blockSize = size - 1;
  FILE* file = fopen(kPath, "wb");
  if (!file) return 0;
  bool written = fwrite(tilesArchive.data(), 1, tilesArchive.size(), file) == tilesArchive.size();
  if (fclose(file) != 0 || !written) return 0;
  int handle = IStuffDPF->Open(kPath);
  if (handle <= 0) return 0;
  DPF_BlockData stored;
  std::memset(&stored, 0, sizeof stored);
  std::strcpy(stored.name, "fuzz");
  std::strcpy(stored.type, "BUT");
  stored.size = (int)blockSize;
  stored.data = const_cast<char*>(reinterpret_cast<const char*>(block));
  if (IStuffDPF->AddData(handle, &stored) <= 0) {
    IStuffDPF->Close(handle);
    return 0;
  }

  int buttonsBefore = IButton->Info(-2);
  long logBefore = LogSize();
  IButtonNew header;
  int headerRead = IButton->LoadHeader(handle, "fuzz", &header);
  Require(headerRead == (blockSize == ydxbut::kDescriptionSize ? 1 : 0), "LoadHeader disagrees with the block size");
  if (headerRead) Require(header.callback == NULL, "a loaded description carries a callback");
  int id = IButton->Load(handle, "fuzz", master);
  if (!Sound(block, blockSize)) {
    Require(id == -1, "a refused description gave something else than -1");
    Require(IButton->Info(-2) == buttonsBefore, "a refused description created a button");
    Require(LogSize() > logBefore, "a refused description logged nothing");
  } else {
    Require(master ? id == 1000 : id == 1, "a sound description made no button");
    Require(IButton->Info(-2) == buttonsBefore + 1, "a sound description made more than one button");
    if (master) IButton->RemoveMaster(id);
    else IButton->Remove(id);
  }
  IStuffDPF->Close(handle);
  return 0;
}
