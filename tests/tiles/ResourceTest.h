// What the tile and font tests share: the library on the dummy driver with a log to read back,
// surfaces freed at scope end, blocks read and written through the archive service, and a fault hook
// that makes the next archive open read-only.
#pragma once
#include "YdxTest.h"
#include "Pattern.h"
#include "00_Platform.h"
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

namespace ydxres_test {
inline int& FailOpens() {
  static int count = 0;
  return count;
}
inline int ReadOnlyHook(ydxplat::FaultOp op, const char*, size_t*) {
  if (op != ydxplat::kOpOpen || FailOpens() <= 0) return 0;
  FailOpens()--;
  return EACCES;
}
}  // namespace ydxres_test

class ResourceTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  }
  void TearDown() override {
    ydxplat::SetFaultHook(NULL);
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  static bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
  // The next archive opened for writing is opened read-only.
  static void NextOpenReadOnly() {
    ydxres_test::FailOpens() = 1;
    ydxplat::SetFaultHook(ydxres_test::ReadOnlyHook);
  }
  static std::string Block(int handle, const char* type, const char* name) {
    DPF_BlockData block;
    if (IStuffDPF->LoadBlock(handle, type, name, &block) <= 0) return "";
    std::string bytes(block.data, (size_t)block.size);
    IStuffDPF->FreeBlock(&block);
    return bytes;
  }
  static int Add(int handle, const char* type, const char* name, const std::string& bytes) {
    DPF_BlockData block = {};
    std::strcpy(block.name, name);
    std::strcpy(block.type, type);
    block.size = (int)bytes.size();
    block.data = const_cast<char*>(bytes.data());
    return IStuffDPF->AddData(handle, &block);
  }
};

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
typedef std::unique_ptr<SDL_Surface, SurfaceFree> SurfacePtr;

// Little-endian fields of block bytes.
inline Uint32 Get32(const std::string& b, size_t at) {
  return (Uint8)b[at] | (Uint8)b[at + 1] << 8 | (Uint8)b[at + 2] << 16 | (Uint32)(Uint8)b[at + 3] << 24;
}
inline void Put32(std::string* bytes, size_t at, Uint32 v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = (char)(v >> (8 * i));
}

inline Uint32& Pixel32(SDL_Surface* s, int x, int y) { return static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x]; }
