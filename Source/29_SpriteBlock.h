// The sprite's archive blocks as pure codecs, apart from archives so tests and the fuzz target reach
// them directly: the "SPR2" layout, the older "SPR" layout it upgrades, and a checked block turned
// into a loaded sprite.
#pragma once
#include "28_Sprite.h"
#include <stdint.h>
#include <string>
#include <vector>

namespace ydxspr {

enum {
  kSpriteHeadSize = 24,        // frame width and height, position, animation count, sheet width
  kAnimRecordSize = 64,        // "SPR2" animation record; its frames follow it
  kFrameRecordSize = 16,
  kOldAnimRecordSize = 12,     // "SPR": the first 12 bytes of the record, then 32-bit frame times
  kOldFrameRecordSize = 4,
};

struct sSpriteHead {
  Sint32 framew, frameh;
  Sint32 posx, posy;           // full 32-bit positions (in-range positions keep the old bytes)
  Sint32 animcount;
  Sint32 sheetwidth;
};

// A checked block: every count, range and size agrees with its bytes. `pixels` points into the block
// (the sheet's rows, then the palette at 8 bits).
struct sSpriteBlock {
  sSpriteHead head;
  std::vector<sSpriteAnim> anims;
  sStoredPixelFormat format;
  const Uint8* pixels;
  uint64_t pixelBytes;
};

// "SPR2" and "SPR" layouts; false with the reason, nothing kept, for anything that does not add up.
bool DecodeSpriteBlock(const Uint8* data, size_t size, sSpriteBlock* out, std::string* why);
bool DecodeOldSpriteBlock(const Uint8* data, size_t size, sSpriteBlock* out, std::string* why);
// A block found under "SPR2" must have that layout. One found under "SPR" is taken in the new layout
// when it has exactly its size (a sprite saved under the unversioned type), else in the old one
// (`*oldLayout` set: it is to be upgraded).
bool DecodeForLoad(const Uint8* data, size_t size, bool oldType, sSpriteBlock* out, bool* oldLayout,
                   std::string* why);

// Header and animation entries (records with their pointer word 0, then their frames).
void EncodeSpriteHead(const sSpriteHead& head, const std::vector<sSpriteAnim>& anims, std::vector<Uint8>* out);
// A whole "SPR2" block of a checked block (the upgrade of an old one).
void EncodeSpriteBlock(const sSpriteBlock& block, std::vector<Uint8>* out);

// Makes an empty sprite the master of a checked block's sheet and animations, named `name`;
// `archive` names the request in the log. The number of animations, 0 (logged) on failure.
int BuildSprite(sSpritePrivate* p, const sSpriteBlock& block, const char* archive, const char* name);

}  // namespace ydxspr
