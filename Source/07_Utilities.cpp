// Main object utilities. (Partial until the component is complete: CRC-32 and directories.)
#include "01_Main.h"
#include "00_Platform.h"
#include <cstring>
#include <string>
#include <zlib.h>

unsigned int Yandorix_Main::CRC32(const char* data, int length) {
  if (!data || length <= 0) return 0;
  return (unsigned int)crc32(0L, reinterpret_cast<const Bytef*>(data), (uInt)length);
}

unsigned int Yandorix_Main::CRC32(const char* filename) {
  int fd = ydxplat::Open(filename, ydxplat::kRead);
  if (fd < 0) return 0;
  uLong crc = 0;
  static const size_t kChunk = 1 << 16;
  std::string buffer(kChunk, '\0');
  for (;;) {
    int64_t got = ydxplat::Read(fd, &buffer[0], kChunk);
    if (got <= 0) break;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), (uInt)got);
  }
  ydxplat::Close(fd);
  return (unsigned int)crc;
}

void Yandorix_Main::RandSeed(unsigned int) {}
unsigned int Yandorix_Main::Rand() { return 0; }
double Yandorix_Main::RandReal() { return 0.0; }
const char* Yandorix_Main::GetVersion() { return p->version; }
const char* Yandorix_Main::GetCopyright() { return p->copyright; }
int Yandorix_Main::RequireVersion(int, int) { return 1; }
void Yandorix_Main::PrintVersion() {}
const char* Yandorix_Main::GetKeyName(int) { return NULL; }
int Yandorix_Main::GetKeyPressed(int) { return 0; }
void Yandorix_Main::VideoInfo() {}
void Yandorix_Main::AudioInfo() {}
void Yandorix_Main::SurfaceInfo(SDL_Surface*) {}

int Yandorix_Main::FreeSurface(SDL_Surface*& surface) {
  if (!surface) return 0;
  SDL_FreeSurface(surface);
  surface = NULL;
  return 1;
}

int Yandorix_Main::IsTexture(SDL_Surface*) { return 0; }
int Yandorix_Main::Surface2Texture(SDL_Surface*) { return 0; }
int Yandorix_Main::SurfaceAutomaticConversion(int on) {
  Yandorix_AutoConvert = on > 0;
  return 1;
}

int Yandorix_Main::Blit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  return SDL_UpperBlit(src, srcrect, dst, dstrect);
}

int Yandorix_Main::MakeDirectory(const char* path) {
  if (!path || !*path) return 0;
  std::string dir = ydxplat::SplitPath(path).dir;
  if (dir.empty()) return 0;
  for (char& c : dir)
    if (c == '\\') c = '/';
  std::string prefix;
  size_t start = 0;
  while (start < dir.size()) {
    size_t slash = dir.find('/', start);
    if (slash == std::string::npos) slash = dir.size();
    prefix = dir.substr(0, slash);
    start = slash + 1;
    if (prefix.empty()) continue;   // leading '/' of an absolute path
    struct stat st;
    if (ydxplat::Stat(prefix.c_str(), &st) != 0 && ydxplat::MakeDir(prefix.c_str()) != 0) return 0;
  }
  return 1;
}
