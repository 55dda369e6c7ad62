// Fuzz target for the conversion of version-3.0 archives: a mutated old file is opened (and so
// converted). Either the conversion succeeds and the old bytes survive as the "_v3.dpf" backup, or it
// fails and the old file is untouched, with no backup and no temporary file left behind.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>
#include <ucl/ucl.h>

using ydxfuzz::ReadBack;
using ydxfuzz::Require;

namespace {

bool Exists(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file) fclose(file);
  return file != NULL;
}

int FilesHere() {
  int count = 0;
  if (DIR* dir = opendir(".")) {
    while (dirent* entry = readdir(dir))
      if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, "..")) count++;
    closedir(dir);
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = ucl_init() == UCL_E_OK;
  (void)ready;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.size() < 8) bytes.resize(8, '\0');
  bytes.replace(0, 5, "DPFv3");   // every input is an old archive
  remove("old_v3.dpf");
  FILE* file = fopen("old.dpf", "wb");
  if (!file) return 0;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  int filesBefore = FilesHere();
  {
    Yandorix_IStuffDPF service;
    int handle = service.Open("old.dpf");
    if (handle > 0) {
      // Collect first: LoadBlock starts a scan of its own, and an old file may hold one name twice.
      std::vector<DPF_BlockData> found;
      DPF_BlockData block;
      for (int r = service.FindFirst(handle, &block); r == 1; r = service.FindNext(handle, &block)) {
        found.push_back(block);
        Require(found.size() <= bytes.size() / 16 + 2, "the scan does not end");
      }
      for (DPF_BlockData& entry : found) {
        DPF_BlockData loaded;
        service.LoadBlock(handle, entry.type, entry.name, &loaded);
        service.FreeBlock(&loaded);
      }
      service.Close(handle);
      Require(ReadBack("old_v3.dpf") == bytes, "the backup differs from the old file");
      Require(FilesHere() == filesBefore + 1, "a stray file after a conversion");
    } else {
      Require(ReadBack("old.dpf") == bytes, "a failed conversion changed the old file");
      Require(!Exists("old_v3.dpf") && FilesHere() == filesBefore, "a failed conversion left files behind");
    }
  }
  remove("old.dpf");
  remove("old_v3.dpf");
  return 0;
}
