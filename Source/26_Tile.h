// The tile block codec ("TILE2"/"TILB2" and the older "TILE"/"TILB" layout), apart from archives so
// tests and fuzz targets reach it directly (every field little-endian, one by one), and the small
// helpers the resource classes share around archive blocks and names.
#pragma once
#include <Yandorix.h>
#include <algorithm>
#include <stddef.h>
#include <string.h>
#include <string>
#include <vector>
#include "25_BlitRule.h"

namespace ydxtile {

enum {
  kTileHeaderSize = 24 + kStoredFormatSize,   // size, position, tileset flag and width, pixel format
  kTileTailSize = 64,                         // tile height and 60 reserved bytes (the newer layout only)
  kTileReservedSize = 60,
};

// What a checked block holds; `pixels` points into the block (pitch x sizey bytes, then the palette).
struct sTileBlock {
  int version;   // 2: the current layout; 1: the older one, without the tail
  int sizex, sizey;
  int posx, posy;
  int tileset;
  int tilew, tileh;   // the older layout has square tiles: tileh = tilew
  sStoredPixelFormat format;   // in the older layout a stored key of 0 already reads -1 here
  const Uint8* pixels;
  size_t pixelBytes;
};

// Accepts only blocks a surface can be rebuilt from; the layout is told by the size alone (the two
// layouts of one image differ by the 64-byte tail). False with the reason otherwise.
bool DecodeTileBlock(const Uint8* data, size_t size, sTileBlock* out, std::string* why);

// The fields of a tile that go with its pixels into a block.
struct sTileFields {
  int posx, posy;
  int tileset;
  int tilew, tileh;
  Sint32 colorkey;
  Uint8 alpha;
};
// The current layout for a software surface; false when its pixels cannot be read or stored.
bool EncodeTileBlock(SDL_Surface* surface, const sTileFields& fields, std::vector<Uint8>* out);

// The current layout of a checked older block: its bytes, the key that meant "none" written as -1,
// then the tile height (= width) and the reserved bytes.
void UpgradeTileBlock(const Uint8* data, const sTileBlock& block, std::vector<Uint8>* out);

}  // namespace ydxtile

namespace ydxres {

// A NULL text shown in a log line.
inline const char* Shown(const char* text) { return text ? text : ""; }

// Copies at most capacity - 1 characters and always terminates.
inline void CopyBounded(char* to, size_t capacity, const char* from) {
  size_t length = strnlen(from, capacity - 1);
  memcpy(to, from, length);
  to[length] = '\0';
}

inline bool HasPerPixelAlpha(const SDL_Surface* s) { return (s->flags & SDL_SRCALPHA) && s->format->Amask != 0; }

// Little-endian 32-bit fields of stored blocks.
inline Uint32 Get32(const Uint8* at) {
  return (Uint32)at[0] | ((Uint32)at[1] << 8) | ((Uint32)at[2] << 16) | ((Uint32)at[3] << 24);
}
inline void Put32(Uint8* at, Uint32 value) {
  for (int i = 0; i < 4; ++i) at[i] = (Uint8)(value >> (8 * i));
}
inline void Append32(std::vector<Uint8>* out, Uint32 value) {
  for (int i = 0; i < 4; ++i) out->push_back((Uint8)(value >> (8 * i)));
}

// A block LoadBlock filled, released on every path.
struct LoadedBlock {
  DPF_BlockData block;
  LoadedBlock() { memset(&block, 0, sizeof block); }
  ~LoadedBlock() {
    if (block.data && IStuffDPF) IStuffDPF->FreeBlock(&block);
  }
  LoadedBlock(const LoadedBlock&) = delete;
  LoadedBlock& operator=(const LoadedBlock&) = delete;
  bool Load(int handle, const char* type, const char* name) {
    return IStuffDPF->LoadBlock(handle, type, name, &block) > 0 && block.data;
  }
  const Uint8* Bytes() const { return reinterpret_cast<const Uint8*>(block.data); }
  size_t Size() const { return (size_t)std::max(block.size, 0); }
};


// Stores the upgraded bytes of an older block under the new type (same name) and then deletes the
// older block. Nothing is deleted unless the new block was written.
enum ReplaceResult { kReplaced, kNotWritten, kOlderKept };
ReplaceResult ReplaceOlderBlock(int handle, const DPF_BlockData& older, const char* newType, std::vector<Uint8>& bytes);

// The lines the Info operations of tiles and fonts share: "Surface of ..." and "Alpha blending: ... -
// Colorkey: " (the key itself is each class's own), and a key as "RGB(...)\n" or "disabled\n".
void LogSurfaceMemory(const SDL_Surface* s);
void LogAlphaBlending(const SDL_Surface* s);
void LogColorKey(const SDL_Surface* s);

}  // namespace ydxres
