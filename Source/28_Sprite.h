// The sprite's private record and the pieces its drawing code and its "SPR2" block code share:
// animation and frame records, the sheet a master shares with its slaves, and small set-up helpers.
#pragma once
#include "01_Main.h"
#include "25_BlitRule.h"
#include <memory>
#include <vector>

enum {
  kSpriteNameSize = 32,
  kSpriteKeep = 2730,          // SetAnimProperties: keep the current value
  kSpriteFrameTime = 100,      // milliseconds a frame lasts after Create
  kAnimLoop = 2, kAnimPingPong = 4, kAnimOneShot = 8,
  kAnimReservedSize = 44, kFrameReservedSize = 12,
};

// One frame: its time, and reserved bytes kept as a block carried them.
struct sSpriteFrame {
  Uint32 time;
  Uint8 reserved[kFrameReservedSize];
};

// One animation (a row of the sheet). The frames in use are start..end-1; the current frame stays in
// that range, or at start when the range is empty.
struct sSpriteAnim {
  Uint16 type;
  Uint16 statecode;
  Uint16 framecount;
  Uint16 curframe;
  Uint16 start;
  Uint16 end;
  Sint16 hotx;
  Sint16 hoty;
  Uint8 reserved[kAnimReservedSize];
  std::vector<sSpriteFrame> frames;   // framecount records
};

// What a master shares with its slaves. The master frees the surfaces when it is cleaned or deleted
// and marks the record invalid; slaves keep the record itself alive, so they can always ask.
struct sSpriteSheet {
  SDL_Surface* sheet = NULL;
  SDL_Surface* glcopy = NULL;     // 32-bit software copy under OpenGL (effects and collisions)
  Yandorix_PixelCopy backup;      // pixel copy when surfaces can be lost
  bool valid = true;
};

struct sSpritePrivate {
  Sint32 smooth;
  float drawx, drawy;
  float maxdx, maxdy;
  float posx, posy;
  float prevx, prevy;
  float animfactor;
  SDL_Rect lastrect;
  std::shared_ptr<sSpriteSheet> shared;   // NULL when empty
  SDL_Surface* background;
  Sint32 framew, frameh;
  Sint32 state;                           // 0 empty, 1 running, 2 paused
  char name[kSpriteNameSize];
  Uint32 lasttick;                        // 0: not started
  Sint8 pingpongdir;
  Sint32 autorestore;
  Uint8 bgsaved;
  Uint8 role;                             // 1 master, 2 slave
  Sint32 perpixel;
  Sint32 alpha;
  Sint32 colorkey;
  Sint32 collisionmethod;
  double effectparam1, effectparam2;
  Sint32 effect;
  Sint32 effectdirty;
  Sint32 effectmode;
  SDL_Surface* effectcache;
  Sint32 curanim;
  std::vector<sSpriteAnim> anims;         // the animation count is its size
};

struct Yandorix_SpriteAccess {
  static sSpritePrivate* Of(Yandorix_CSprite& sprite) { return sprite.p; }
  static const sSpritePrivate* Of(const Yandorix_CSprite& sprite) { return sprite.p; }
};

namespace ydxspr {

// The record as the constructor leaves it (autorestore from the current screen).
void ResetRecord(sSpritePrivate* p);
// Frees what the sprite owns (the shared sheet only as a master) and empties it.
void Release(sSpritePrivate* p);
// The sheet in use: the master's, also for a slave; NULL when empty or when a slave's master is gone.
inline SDL_Surface* SheetOf(const sSpritePrivate* p) {
  return p->shared && p->shared->valid ? p->shared->sheet : NULL;
}
// Copies a name, keeping at most 31 characters.
void CopyName(char* field, const char* name);
// The auto-restore background: a software surface of that size, alpha and key off, in the screen's
// format when it differs. NULL when it cannot be made.
SDL_Surface* MakeBackground(int w, int h);
// A 32-bit software copy of a surface (OpenGL keeps one beside a sheet uploaded as a texture).
SDL_Surface* MakeGLCopy(SDL_Surface* surface);
// Keeps the current frame inside the animation's range.
void ClampFrame(sSpriteAnim* anim);

}  // namespace ydxspr
