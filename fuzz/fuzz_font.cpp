// Fuzzes font blocks: the first byte picks the block type ("FONT2" or "FONT"), the rest is the block,
// stored in a fresh archive and loaded, then every character is drawn. A refused block leaves the font
// empty and the archive byte for byte as it was; only a block that checks out as the older layout,
// stored under the older type and loading as a font, may change the archive.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "27_Font.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using ydxfuzz::ReadBack;
using ydxfuzz::Require;
using ydxfuzz::StoreBlock;

namespace {

const char kPath[] = "fuzz_font.dpf";

// Every character from 1 to 255, measured and drawn with a clip and a cursor.
void DrawEverything(Yandorix_CFont* font, SDL_Surface* dest) {
  char text[256];
  for (int i = 0; i < 255; ++i) text[i] = (char)(i + 1);
  text[255] = '\0';
  SDL_Rect clip = {3, 1, 50, 6};
  font->StringWidth(text);
  font->SetCursorAt(text, 40);
  font->PutStringWithCursor(dest, -5, 0, text, 60, &clip, 1);
  font->PutString(dest, 0, 2, text, NULL);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 20) || !IStuffDPF) return 0;
  bool olderType = (data[0] & 1) != 0;
  const uint8_t* block = data + 1;
  size_t blockSize = size - 1;
  ydxfont::sFontBlock decoded;
  std::string why;
  bool sound = ydxfont::DecodeFontBlock(block, blockSize, &decoded, &why);
  if (!StoreBlock(kPath, olderType ? "FONT" : "FONT2", block, blockSize)) return 0;
  std::string before = ReadBack(kPath);
  Yandorix_CFont font;
  int loaded = font.Load(kPath, "fuzz");
  Require(loaded == 0 || loaded == 1, "Load returned something else than 1 or 0");
  if (!loaded) Require(font.GetSurface() == NULL && font.GetName() == NULL, "a refused font is not empty");
  if (loaded) Require(sound && (olderType || decoded.version == 2), "a refused block was loaded");
  bool mayWrite = loaded && olderType && decoded.version == 1;
  if (!mayWrite) Require(ReadBack(kPath) == before, "the archive changed");
  if (loaded) {
    SDL_Surface* dest = SDL_CreateRGBSurface(0, 64, 16, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    if (dest) DrawEverything(&font, dest);
    if (dest) SDL_FreeSurface(dest);
  }
  return 0;
}
