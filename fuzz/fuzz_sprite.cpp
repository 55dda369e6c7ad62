// Fuzzes the sprite block readers: any bytes, read as an "SPR2" block and as an "SPR" block, give a
// loaded sprite or an empty one and never a read past the block. An old block is upgraded only when it
// checked whole, into a block that reads back in the new layout; loaded sprites draw every animation.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "29_SpriteBlock.h"
#include "01_Main.h"
#include <cstdio>
#include <cstdlib>

using ydxfuzz::Require;

namespace {

// Every reading of the clock is a millisecond later, so frames of 0 ms step at each draw.
Uint32 steadyTicks = 1;
Uint32 SteadyClock() { return steadyTicks++; }

size_t FrameCount(const ydxspr::sSpriteBlock& block) {
  size_t frames = 0;
  for (const sSpriteAnim& a : block.anims) frames += a.frames.size();
  return frames;
}

// Draws each animation (a few of them) through a few frame steps into a small surface.
void DrawAll(Yandorix_CSprite& sprite, int anims) {
  SDL_Surface* target = SDL_CreateRGBSurface(0, 48, 48, 32, 0, 0, 0, 0);
  if (!target) return;
  sprite.SetPosition(20, 20, 0);
  for (int anim = 1; anim <= anims && anim <= 4; ++anim) {
    unsigned short code = 0;
    Require(sprite.GetAnimProperties(anim, NULL, &code, NULL, NULL, NULL, NULL, NULL) == 1, "animation lost");
    sprite.SelectAnim(code);
    sprite.SetFrameProperties(anim, 0, 0);
    for (int step = 0; step < 3; ++step) sprite.Draw(target);
  }
  SDL_FreeSurface(target);
}

void Exercise(const uint8_t* data, size_t size, bool oldType) {
  ydxspr::sSpriteBlock block;
  bool oldLayout = false;
  std::string why;
  Yandorix_CSprite sprite;
  if (!ydxspr::DecodeForLoad(data, size, oldType, &block, &oldLayout, &why)) {
    Require(!why.empty(), "refusal without a reason");
    return;
  }
  Require(oldType || !oldLayout, "an SPR2 block taken for the old layout");
  std::vector<Uint8> encoded;
  ydxspr::EncodeSpriteBlock(block, &encoded);
  size_t grown = oldLayout ? 52 * block.anims.size() + 12 * FrameCount(block) : 0;
  Require(encoded.size() == size + grown, "re-encoded block of another size");
  ydxspr::sSpriteBlock again;
  Require(ydxspr::DecodeSpriteBlock(encoded.data(), encoded.size(), &again, &why), "re-encoded block refused");
  int anims = ydxspr::BuildSprite(Yandorix_SpriteAccess::Of(sprite), block, "fuzz.dpf", "fuzz");
  Require(anims == 0 || anims == (int)block.anims.size(), "wrong animation count");
  Require((anims == 0) == (sprite.GetName() == NULL), "a failed load left the sprite filled");
  if (anims) DrawAll(sprite, anims);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Yandorix_SetClock(SteadyClock);
  Exercise(data, size, false);
  Exercise(data, size, true);
  return 0;
}
