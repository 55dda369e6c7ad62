// Runs a fuzz target over every file of a corpus directory, in a private working directory,
// so the seed corpus is replayed by the ordinary (and the sanitizer) test run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <algorithm>
#include <vector>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s corpus-directory\n", argv[0]);
    return 2;
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> files;
  if (DIR* dir = opendir(argv[1])) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') files.push_back(std::string(argv[1]) + "/" + entry->d_name);
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  char templ[] = "/tmp/ydxreplay-XXXXXX";
  if (!mkdtemp(templ) || chdir(templ) != 0) return 2;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string data = bytes.str();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  printf("replayed %zu inputs\n", files.size());
  std::string cleanup = std::string("rm -rf ") + templ;
  return system(cleanup.c_str()) == 0 ? 0 : 0;
}
