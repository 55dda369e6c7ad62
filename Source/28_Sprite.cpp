// Animated sprites: creation from a sheet, clones sharing a master's pixels, animation control and
// frame timing on the library clock, drawing through the blit rule with auto restore, interpolation
// and a cached effect, pixel-exact collisions and the information report.
#include "28_Sprite.h"
#include "14_Image.h"
#include "20_Primitives.h"
#include "glSDL.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

const char* Shown(const char* text) { return text ? text : "(null)"; }

// Floors a float position into the range SDL rectangles can hold.
Sint16 ToSint16(double value) {
  double floored = std::floor(value);
  if (!(floored >= SHRT_MIN)) return SHRT_MIN;   // also NaN
  if (floored > SHRT_MAX) return SHRT_MAX;
  return (Sint16)floored;
}

}  // namespace

namespace ydxspr {

void ResetRecord(sSpritePrivate* p) {
  p->smooth = 0;
  p->drawx = p->drawy = p->maxdx = p->maxdy = p->posx = p->posy = p->prevx = p->prevy = 0;
  p->animfactor = 1.0f;
  p->lastrect = SDL_Rect{0, 0, 0, 0};
  p->shared.reset();
  p->background = NULL;
  p->framew = p->frameh = 0;
  p->state = 0;
  std::memset(p->name, 0, sizeof p->name);
  p->lasttick = 0;
  p->pingpongdir = 1;
  SDL_Surface* screen = Yandorix.screen;
  p->autorestore = screen && !(screen->flags & SDL_DOUBLEBUF) && !Yandorix.IsGL() ? 1 : 0;
  p->bgsaved = 0;
  p->role = 0;
  p->perpixel = 0;
  p->alpha = 0;
  p->colorkey = -1;
  p->collisionmethod = -1;
  p->effectparam1 = p->effectparam2 = 0;
  p->effect = p->effectdirty = p->effectmode = 0;
  p->effectcache = NULL;
  p->curanim = 0;
  p->anims.clear();
  p->anims.shrink_to_fit();
}

void Release(sSpritePrivate* p) {
  if (p->role == 1 && p->shared) {
    // Slaves hold the same record: from now on they find it invalid instead of freed surfaces.
    sSpriteSheet& sheet = *p->shared;
    if (sheet.sheet) SDL_FreeSurface(sheet.sheet);
    if (sheet.glcopy) SDL_FreeSurface(sheet.glcopy);
    sheet.sheet = sheet.glcopy = NULL;
    sheet.backup.Clear();
    sheet.valid = false;
  }
  if (p->background) SDL_FreeSurface(p->background);
  if (p->effectcache) SDL_FreeSurface(p->effectcache);
  ResetRecord(p);
}

void CopyName(char* field, const char* name) {
  std::memset(field, 0, kSpriteNameSize);
  if (name) std::strncpy(field, name, kSpriteNameSize - 1);
}

SDL_Surface* MakeBackground(int w, int h) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0, 0, 0, 0);
  if (!s) return NULL;
  SDL_SetAlpha(s, 0, 255);
  SDL_SetColorKey(s, 0, 0);
  if (SurfaceDiffersFromScreen(s)) {
    if (SDL_Surface* converted = SDL_DisplayFormat(s)) {
      SDL_FreeSurface(s);
      s = converted;
    }
  }
  return s;
}

SDL_Surface* MakeGLCopy(SDL_Surface* surface) {
  SDL_Surface* copy = SDL_CreateRGBSurface(SDL_SWSURFACE, surface->w, surface->h, 32, 0, 0, 0, 0);
  if (!copy) return NULL;
  // Keyed and surface-alpha pixels are copied as they are: the sprite gives the copy its own key and
  // alpha, and a keyed blit would leave the background black, which collisions take for solid.
  const Uint32 flags = surface->flags, key = surface->format->colorkey;
  const Uint8 alpha = surface->format->alpha;
  const Uint32 rle = (flags & SDL_RLEACCELOK) ? SDL_RLEACCEL : 0;
  const bool surfaceAlpha = (flags & SDL_SRCALPHA) && !surface->format->Amask;
  if (flags & SDL_SRCCOLORKEY) SDL_SetColorKey(surface, 0, 0);
  if (surfaceAlpha) SDL_SetAlpha(surface, 0, 255);
  SDL_BlitSurface(surface, NULL, copy, NULL);
  if (surfaceAlpha) SDL_SetAlpha(surface, SDL_SRCALPHA | rle, alpha);
  if (flags & SDL_SRCCOLORKEY) SDL_SetColorKey(surface, SDL_SRCCOLORKEY | rle, key);
  return copy;
}

void ClampFrame(sSpriteAnim* anim) {
  int last = anim->end > anim->start ? anim->end - 1 : anim->start;
  anim->curframe = (Uint16)std::clamp<int>(anim->curframe, anim->start, last);
}

}  // namespace ydxspr

using namespace ydxspr;

// ---------------------------------------------------------------------------------------------------
// Life cycle

Yandorix_CSprite::Yandorix_CSprite() {
  p = new sSpritePrivate();
  ResetRecord(p);
  Yandorix.numsprites++;
}

Yandorix_CSprite::~Yandorix_CSprite() {
  Release(p);
  delete p;
  Yandorix.numsprites--;
}

void Yandorix_CSprite::Clean() {
  if (p->state != 0) Release(p);
}

// A slave checks on every use that its master still has the sheet they share.
static bool ValidateClone(sSpritePrivate* p) {
  if (p->role != 2 || p->state == 0 || (p->shared && p->shared->valid)) return true;
  ILogSystem.Msg(0, ". [CSprite::ValidateClone()] Error: '%s' slave sprite has lost its master sprite. Check your "
                 "code to avoid it.\n", p->name);
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Creation

namespace {

// A frame is empty when every pixel repeats its top-left pixel or is fully transparent.
bool FrameIsEmpty(const SDL_Surface* s, int left, int top, int w, int h) {
  const Uint32 first = ydxpix::ReadUnchecked(s, left, top);
  const Uint32 alphaMask = s->format->Amask;
  for (int y = top; y < top + h; ++y)
    for (int x = left; x < left + w; ++x) {
      Uint32 pixel = ydxpix::ReadUnchecked(s, x, y);
      if (pixel != first && (!alphaMask || (pixel & alphaMask) != 0)) return false;
    }
  return true;
}

// One Loop animation per row, cut at the row's first empty frame; every frame lasts 100 ms.
bool CutAnimations(SDL_Surface* sheet, int framew, int frameh, std::vector<sSpriteAnim>* anims) {
  if (!ydxpix::LockForAccess(sheet)) return false;
  int columns = sheet->w / framew, rows = sheet->h / frameh;
  anims->assign((size_t)rows, sSpriteAnim());
  for (int row = 0; row < rows; ++row) {
    sSpriteAnim& anim = (*anims)[(size_t)row];
    int count = 0;
    while (count < columns && !FrameIsEmpty(sheet, count * framew, row * frameh, framew, frameh)) count++;
    anim.type = kAnimLoop;
    anim.statecode = (Uint16)(0x8000 + row);
    anim.framecount = anim.end = (Uint16)count;
    anim.curframe = anim.start = 0;
    anim.hotx = anim.hoty = 0;
    std::memset(anim.reserved, 0, sizeof anim.reserved);
    anim.frames.assign((size_t)count, sSpriteFrame{kSpriteFrameTime, {0}});
  }
  ydxpix::UnlockAfterAccess(sheet);
  return true;
}

// The reason a sheet cannot be cut into frames of that size, or NULL.
const char* SheetRefusal(const SDL_Surface* sheet, const char* name, int framew, int frameh) {
  if (!sheet || !name) return "Error: sprite surface or name are null.";
  if (framew < 1 || frameh < 1) return "Error: Offset X and/or Y are less than 1 pixel.";
  if (sheet->w % framew || sheet->w < framew) return "Error: Offset X does not split correctly the sprite surface.";
  if (sheet->h % frameh || sheet->h < frameh) return "Error: Offset Y does not split correctly the sprite surface.";
  // Larger sheets could neither be addressed by SDL rectangles nor stored.
  if (sheet->w > kStoredImageMaxSide || sheet->h > kStoredImageMaxSide)
    return "Error: the sprite surface is larger than 16384 pixels.";
  return NULL;
}

// The sheet in the screen's format (the old one freed), its key carried over; as it was when SDL
// cannot convert it.
SDL_Surface* ConvertForScreen(SDL_Surface* sheet, bool perPixel, int* key) {
  SDL_Surface* converted = ydxfmt::DisplayCopy(sheet, perPixel);
  if (!converted) return sheet;
  if (*key != -1) *key = (int)ydxfmt::TranslatePixel(sheet, (Uint32)*key, converted->format);
  SDL_FreeSurface(sheet);
  return converted;
}

}  // namespace

int Yandorix_CSprite::Create(SDL_Surface* source, const char* name, int framew, int frameh) {
  const char* shown = Shown(name);
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [CSprite::Create('%s',%d,%d)] Error: Yandorix was not initialized. Aborting the sprite "
                   "load.\n", shown, framew, frameh);
    return 0;
  }
  if (p->state != 0) {
    ILogSystem.Msg(2, " . [CSprite::Create('%s',%d,%d)] Warning: sprite already exists. It is not possible to "
                   "create another one.\n", shown, framew, frameh);
    return 0;
  }
  if (const char* refusal = SheetRefusal(source, name, framew, frameh)) {
    ILogSystem.Msg(0, " . [CSprite::Create('%s',%d,%d)] %s\n", shown, framew, frameh, refusal);
    return 0;
  }
  SDL_Surface* sheet = SDL_ConvertSurface(source, source->format, source->flags);
  if (!sheet) return 0;
  std::vector<sSpriteAnim> anims;
  if (!CutAnimations(sheet, framew, frameh, &anims)) {
    SDL_FreeSurface(sheet);
    return 0;
  }
  // An application's surface is keyed only when it says so; alpha counts only with SDL_SRCALPHA.
  bool perPixel = (sheet->flags & SDL_SRCALPHA) && sheet->format->Amask != 0;
  int key = (source->flags & SDL_SRCCOLORKEY) ? (int)source->format->colorkey : -1;
  int alpha = (source->flags & SDL_SRCALPHA) ? source->format->alpha : 255;
  auto shared = std::make_shared<sSpriteSheet>();
  if (Yandorix.IsGL()) shared->glcopy = MakeGLCopy(sheet);
  if (SurfaceDiffersFromScreen(sheet)) {
    if (perPixel)
      ILogSystem.Msg(5, " . [CSprite->Create('%s',%d,%d)] Info: surface with alpha per pixel loaded, it could slow "
                     "down your graphics system.\n", name, framew, frameh);
    sheet = ConvertForScreen(sheet, perPixel, &key);
  }
  if (Yandorix.IsGL() && glSDL_SurfaceToTexture(sheet)) ++Yandorix_TexturesAtLoad;
  if (Yandorix.backupsurfaces) shared->backup.Take(sheet);
  shared->sheet = sheet;

  p->shared = shared;
  p->anims.swap(anims);
  p->framew = framew;
  p->frameh = frameh;
  p->lastrect = SDL_Rect{0, 0, (Uint16)framew, (Uint16)frameh};
  CopyName(p->name, name);
  p->curanim = 0;
  p->perpixel = perPixel ? 1 : 0;
  p->alpha = alpha;
  if (p->autorestore) p->background = MakeBackground(framew, frameh);
  p->state = 1;
  p->bgsaved = 0;
  p->role = 1;
  SetColorKey(key);
  SetAlpha(alpha);
  return (int)p->anims.size();
}

int Yandorix_CSprite::Create(const char* file, const char* name, int framew, int frameh) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [CSprite::Create('%s','%s')] Error: Yandorix was not initialized. Aborting the sprite "
                   "creation.\n", Shown(file), Shown(name));
    return 0;
  }
  if (!file || !name) return 0;
  if (p->state != 0) {
    ILogSystem.Msg(2, " . [CSprite::Create('%s','%s')] Warning: sprite already exists. It is not possible to create "
                   "another one.\n", file, name);
    return 0;
  }
  // The sheet is converted once, by Create itself; the caller's switch is left as it was.
  SDL_Surface* image = ydximg::LoadUnconverted(file);
  if (!image) {
    ILogSystem.Msg(0, " . [CSprite::Create('%s','%s')] Error: it was not possible to load the given image file.\n",
                   file, name);
    return 0;
  }
  int result = Create(image, name, framew, frameh);
  SDL_FreeSurface(image);
  return result;
}

int Yandorix_CSprite::Clone(const Yandorix_CSprite* master) {
  if (!master) return 0;
  if (p->state != 0) {
    ILogSystem.Msg(2, " . [CSprite::Clone()] Warning: sprite already exists. It is not possible to create another "
                   "one.\n");
    return 0;
  }
  const sSpritePrivate* m = master->p;
  if (m->role == 2) {
    ILogSystem.Msg(2, " . [CSprite::Clone()] Warning: the given sprite is already a clone. You can only clone a "
                   "master sprite.\n");
    return 0;
  }
  if (m->state == 0 || !m->shared) {
    ILogSystem.Msg(2, " . [CSprite::Clone()] Warning: the given sprite is empty. There is nothing to clone.\n");
    return 0;
  }
  p->animfactor = m->animfactor;
  p->framew = m->framew;
  p->frameh = m->frameh;
  std::memcpy(p->name, m->name, sizeof p->name);
  p->autorestore = m->autorestore;
  p->anims = m->anims;
  p->alpha = m->alpha;
  p->colorkey = m->colorkey;
  p->perpixel = m->perpixel;
  p->posx = m->posx;
  p->posy = m->posy;
  p->shared = m->shared;
  if (p->autorestore) p->background = MakeBackground(p->framew, p->frameh);
  p->bgsaved = 0;
  p->state = m->state;
  p->role = 2;
  return (int)p->anims.size();
}

// ---------------------------------------------------------------------------------------------------
// Animation control

int Yandorix_CSprite::SelectAnim(int statecode) {
  if (p->state == 0) return 0;
  for (size_t i = 0; i < p->anims.size(); ++i) {
    sSpriteAnim& anim = p->anims[i];
    if (anim.statecode != statecode) continue;
    p->curanim = (int)i;
    if (anim.type == kAnimOneShot) anim.curframe = anim.start;
    ClampFrame(&anim);
    p->effectdirty = 1;   // a cached effect shows the frame of the animation left
    return 1;
  }
  ILogSystem.Msg(2, " . [CSprite::SelectAnim(%d)] Warning: animation not found.\n", statecode);
  return 0;
}

int Yandorix_CSprite::SetAnimProperties(int anim, unsigned short type, unsigned short statecode, short hotx,
                                        short hoty, unsigned short start, unsigned short end) {
  if (p->state == 0) return 0;
  if (anim < 1 || anim > (int)p->anims.size()) {
    ILogSystem.Msg(2, " . [CSprite::SetAnimProperties(%d,%d,%d,%d,%d,%d,%d)] Warning: animation not found.\n", anim,
                   type, statecode, hotx, hoty, start, end);
    return 0;
  }
  if (type != kSpriteKeep && type != kAnimLoop && type != kAnimPingPong && type != kAnimOneShot) {
    ILogSystem.Msg(2, " . [CSprite::SetAnimProperties(%d,%d,%d,%d,%d,%d,%d)] Warning: wrong animation type.\n", anim,
                   type, statecode, hotx, hoty, start, end);
    return 0;
  }
  sSpriteAnim& a = p->anims[(size_t)anim - 1];
  if (type != kSpriteKeep) a.type = type;
  if (statecode != kSpriteKeep) a.statecode = statecode;
  if (hotx != kSpriteKeep) a.hotx = hotx;
  if (hoty != kSpriteKeep) a.hoty = hoty;
  if (start != kSpriteKeep) a.start = std::min({start, a.end, a.framecount});
  if (end != kSpriteKeep) a.end = std::min(std::max(end, a.start), a.framecount);
  // A range always holds at least one frame when the row has any.
  if (a.framecount > 0) {
    a.start = std::min<Uint16>(a.start, (Uint16)(a.framecount - 1));
    if (a.end <= a.start) a.end = (Uint16)(a.start + 1);
  }
  ClampFrame(&a);
  return 1;
}

int Yandorix_CSprite::GetAnimProperties(int anim, unsigned short* type, unsigned short* statecode,
                                        unsigned short* framecount, short* hotx, short* hoty, unsigned short* start,
                                        unsigned short* end) {
  if (p->state == 0 || anim < 1 || anim > (int)p->anims.size()) return 0;
  const sSpriteAnim& a = p->anims[(size_t)anim - 1];
  if (type) *type = a.type;
  if (statecode) *statecode = a.statecode;
  if (framecount) *framecount = a.framecount;
  if (hotx) *hotx = a.hotx;
  if (hoty) *hoty = a.hoty;
  if (start) *start = a.start;
  if (end) *end = a.end;
  return 1;
}

int Yandorix_CSprite::SelectFrame(int frame) {
  if (p->state == 0) return 0;
  sSpriteAnim& a = p->anims[(size_t)p->curanim];
  a.curframe = (Uint16)std::max<int>(a.start, std::min<int>(frame, a.end - 1));
  ClampFrame(&a);
  p->effectdirty = 1;
  return 1;
}

int Yandorix_CSprite::GetFrame() { return p->state == 0 ? -1 : p->anims[(size_t)p->curanim].curframe; }

int Yandorix_CSprite::GetAnim() { return p->state == 0 ? -1 : p->anims[(size_t)p->curanim].statecode; }

int Yandorix_CSprite::SetFrameProperties(int anim, int frame, unsigned int ms) {
  if (p->state == 0) return 0;
  if (anim < 1 || anim > (int)p->anims.size()) {
    ILogSystem.Msg(2, " . [CSprite::SetFrame(%d,%d,%d)] Warning: animation not found.\n", anim, frame, (int)ms);
    return 0;
  }
  sSpriteAnim& a = p->anims[(size_t)anim - 1];
  if (frame < 0 || frame > (int)a.frames.size()) {
    ILogSystem.Msg(2, " . [CSprite::SetFrame(%d,%d,%d)] Warning: frame not found.\n", anim, frame, (int)ms);
    return 0;
  }
  if (frame == 0) {
    for (sSpriteFrame& f : a.frames) f.time = ms;
  } else {
    a.frames[(size_t)frame - 1].time = ms;
  }
  return 1;
}

int Yandorix_CSprite::GetFrameProperties(int anim, int frame, unsigned int* ms) {
  if (p->state == 0 || !ms || anim < 1 || anim > (int)p->anims.size()) return 0;
  const sSpriteAnim& a = p->anims[(size_t)anim - 1];
  if (frame < 1 || frame > (int)a.frames.size()) return 0;
  *ms = a.frames[(size_t)frame - 1].time;
  return 1;
}

void Yandorix_CSprite::SetAnimFactor(float factor) {
  if (p->state != 0) p->animfactor = factor;
}

void Yandorix_CSprite::Pause() {
  if (p->state == 1) p->state = 2;
}

void Yandorix_CSprite::Resume() {
  if (p->state == 2) p->state = 1;
}

int Yandorix_CSprite::IsFinished() {
  if (p->state == 0) return 1;
  const sSpriteAnim& a = p->anims[(size_t)p->curanim];
  return a.type == kAnimOneShot && a.end == a.curframe + 1 ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------------
// The frame step

namespace {

// How long the current frame lasts; false when the animation does not advance (factor 0 or below).
bool FrameDuration(const sSpritePrivate* p, const sSpriteAnim& a, Uint32* duration) {
  if (!(p->animfactor > 0)) return false;
  double ms = a.frames[a.curframe].time / (double)p->animfactor;
  *duration = ms >= 4294967295.0 ? 0xFFFFFFFFu : (Uint32)ms;
  return true;
}

// One step of the animation by its type, always ending inside start..end-1.
void Advance(sSpritePrivate* p, sSpriteAnim* a) {
  const int first = a->start, last = a->end - 1;
  int frame = a->curframe;
  switch (a->type) {
    case kAnimLoop:
      frame = frame >= last ? first : frame + 1;
      break;
    case kAnimOneShot:
      frame = frame >= last ? last : frame + 1;
      break;
    case kAnimPingPong: {
      int next = frame + p->pingpongdir;
      if (next > last) {
        next = last - 1;
        p->pingpongdir = -1;
      }
      if (next <= first) {
        next = first;
        p->pingpongdir = 1;
      }
      frame = next;
      break;
    }
    default:
      return;   // an unknown type stands still
  }
  a->curframe = (Uint16)std::clamp(frame, first, last);
}

// Runs once per Draw: 1 stepped, 2 not stepped, 3 paused.
int StepFrame(sSpritePrivate* p) {
  if (p->state == 2) return 3;
  sSpriteAnim& a = p->anims[(size_t)p->curanim];
  if (a.end <= a.start || a.curframe >= a.end) return 2;
  Uint32 now = Yandorix_Ticks();
  if (p->lasttick == 0) p->lasttick = now;
  Uint32 duration = 0;
  // Differences of ticks stay right across the 32-bit wrap of the clock.
  if (!FrameDuration(p, a, &duration) || (Uint32)(now - p->lasttick) <= duration) return 2;
  p->lasttick = now;
  Advance(p, &a);
  p->effectdirty = 1;
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Position and source

// The drawn coordinate between the previous and the target position by the logic-time fraction; it
// never moves back towards the previous position within a logic frame.
void Interpolate(float fraction, float target, float previous, float* maxd, float* drawn) {
  float between = fraction * target + (1 - fraction) * previous;
  float distance = std::fabs(previous - between);
  if (distance > *maxd && target != *drawn) {
    *maxd = distance;
    *drawn = between;
  } else {
    *drawn = target;
  }
}

void UpdateDrawPosition(sSpritePrivate* p) {
  if (!p->smooth) {
    p->drawx = p->posx;
    p->drawy = p->posy;
    return;
  }
  float logic = Yandorix.GetLogicTime();
  float fraction = logic - std::floor(logic);
  Interpolate(fraction, p->posx, p->prevx, &p->maxdx, &p->drawx);
  Interpolate(fraction, p->posy, p->prevy, &p->maxdy, &p->drawy);
}

// What a draw or collision shows: the frame of the sheet, or the whole cached effect result, and the
// hot spot placed on it.
struct sSpriteSource {
  SDL_Surface* surface;
  SDL_Rect rect;
  SDL_Rect frame;        // the frame on the sheet (or its OpenGL copy)
  int hotx, hoty;
  bool effectResult;
};

SDL_Surface* BuildEffect(const sSpritePrivate* p, SDL_Surface* source, const SDL_Rect& frame) {
  if (!IScreenFX) return NULL;
  switch (p->effect) {
    case 1: return IScreenFX->Flip(source, &frame, NULL, NULL);
    case 2: return IScreenFX->Mirror(source, &frame, NULL, NULL);
    case 3: return IScreenFX->Resize(source, &frame, p->effectmode, p->effectparam1, p->effectparam2, NULL, NULL);
    case 4: return IScreenFX->Rotate(source, &frame, p->effectmode, p->effectparam1, NULL, NULL);
    case 5:
      return IScreenFX->RotateResize(source, &frame, p->effectmode, p->effectparam1, p->effectparam2, NULL, NULL);
  }
  return NULL;
}

// The hot spot on an effect result of w x h pixels.
void EffectHotSpot(const sSpritePrivate* p, int w, int h, int* hotx, int* hoty) {
  double hx = *hotx, hy = *hoty, k = p->effectparam2;
  switch (p->effect) {
    case 3:
      hx = hx * w / p->framew;
      hy = hy * h / p->frameh;
      break;
    case 4:
      hx -= (p->framew - w) / 2;
      hy -= (p->frameh - h) / 2;
      break;
    case 5:
      hx = hx * k - (p->framew * k - w) * 0.5;
      hy = hy * k - (p->frameh * k - h) * 0.5;
      break;
  }
  *hotx = (int)hx;
  *hoty = (int)hy;
}

bool SourceOf(sSpritePrivate* p, sSpriteSource* out) {
  SDL_Surface* sheet = SheetOf(p);
  if (!sheet) return false;
  SDL_Surface* glcopy = p->shared->glcopy;
  SDL_Surface* base = glcopy && glSDL_IsTexture(sheet) ? glcopy : sheet;
  const sSpriteAnim& a = p->anims[(size_t)p->curanim];
  out->frame = SDL_Rect{(Sint16)(a.curframe * p->framew), (Sint16)(p->curanim * p->frameh), (Uint16)p->framew,
                        (Uint16)p->frameh};
  out->hotx = a.hotx;
  out->hoty = a.hoty;
  out->effectResult = p->effect != 0;
  if (!p->effect) {
    out->surface = base;
    out->rect = out->frame;
    return true;
  }
  if (!p->effectcache) p->effectdirty = 1;
  if (p->effectdirty) {
    if (p->effectcache) SDL_FreeSurface(p->effectcache);
    p->effectcache = BuildEffect(p, base, out->frame);
    p->effectdirty = 0;
  }
  if (!p->effectcache) return false;
  out->surface = p->effectcache;
  out->rect = SDL_Rect{0, 0, (Uint16)p->effectcache->w, (Uint16)p->effectcache->h};
  int w = out->rect.w, h = out->rect.h;
  if (Yandorix.IsGL() && !glSDL_IsTexture(p->effectcache)) {
    w = p->framew;
    h = p->frameh;
  }
  EffectHotSpot(p, w, h, &out->hotx, &out->hoty);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Drawing

// Puts back the screen under the previous drawing and keeps the screen under the new one.
void SwapBackground(sSpritePrivate* p, const SDL_Rect& target) {
  SDL_Surface* screen = Yandorix.screen;
  if (!screen) return;
  if (p->bgsaved && p->background) {
    SDL_Rect at = p->lastrect;
    SDL_BlitSurface(p->background, NULL, screen, &at);
  }
  p->lastrect = target;
  if (p->background && (p->background->w != target.w || p->background->h != target.h)) {
    SDL_FreeSurface(p->background);
    p->background = NULL;
  }
  if (!p->background) p->background = MakeBackground(target.w, target.h);
  p->bgsaved = 0;
  if (!p->background) return;
  SDL_Rect area = target;
  SDL_Rect origin = {0, 0, 0, 0};
  SDL_BlitSurface(screen, &area, p->background, &origin);
  p->bgsaved = 1;
}

// The sprite's own alpha goes back on the sheet a master may share with slaves of other alphas.
void ApplyOwnAlpha(sSpritePrivate* p) {
  if (p->perpixel || p->alpha < 0 || p->alpha > 255) return;
  SDL_Surface* sheet = p->shared->sheet;
  Uint32 wanted = p->alpha == 255 ? 0 : SDL_SRCALPHA;
  // Nothing to change: SDL would do nothing either, and an RLE sheet keeps its encoding.
  if ((sheet->flags & SDL_SRCALPHA) == wanted && (!wanted || sheet->format->alpha == p->alpha)) return;
  ydxfmt::ChangeAlpha(&p->shared->sheet, sheet->format->alpha, p->alpha, "CSprite", &p->shared->backup);
}

// Under OpenGL a software effect source is drawn by the effect itself onto the screen: the effect
// takes its OpenGL path only when it is given a destination, and then hands that destination back.
void DrawEffectThroughGL(sSpritePrivate* p, const sSpriteSource& src, SDL_Surface* dest, const SDL_Rect& target) {
  SDL_Surface* sheet = p->shared->sheet;
  SDL_Rect frame = src.frame;
  SDL_Surface* result = NULL;
  switch (p->effect) {
    case 1: result = IScreenFX->Flip(sheet, &frame, dest, &target); break;
    case 2: result = IScreenFX->Mirror(sheet, &frame, dest, &target); break;
    case 3:
      result = IScreenFX->Resize(sheet, &frame, p->effectmode, p->effectparam1, p->effectparam2, dest, &target);
      break;
    case 4: result = IScreenFX->Rotate(sheet, &frame, p->effectmode, p->effectparam1, dest, &target); break;
    case 5:
      result = IScreenFX->RotateResize(sheet, &frame, p->effectmode, p->effectparam1, p->effectparam2, dest, &target);
      break;
  }
  if (result && result != dest) SDL_FreeSurface(result);
}

void BlitSource(sSpritePrivate* p, sSpriteSource& src, SDL_Surface* dest, SDL_Rect target) {
  const Yandorix_PixelCopy* copy = src.effectResult ? NULL : &p->shared->backup;
  if (!Yandorix.IsGL() || glSDL_IsTexture(src.surface)) {
    Yandorix_Blit(src.surface, &src.rect, dest, &target, copy);
  } else if (!p->effect) {
    Yandorix_Blit(p->shared->sheet, &src.frame, dest, &target, &p->shared->backup);
  } else if (IScreenFX) {
    DrawEffectThroughGL(p, src, dest, target);
  }
}

// The smallest rectangle holding both.
SDL_Rect Bounds(const SDL_Rect& a, const SDL_Rect& b) {
  int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  int right = std::max(a.x + a.w, b.x + b.w), bottom = std::max(a.y + a.h, b.y + b.h);
  return SDL_Rect{(Sint16)left, (Sint16)top, (Uint16)std::min(right - left, 0xFFFF),
                  (Uint16)std::min(bottom - top, 0xFFFF)};
}

}  // namespace

void Yandorix_CSprite::SetPosition(int x, int y, int smooth) {
  if (p->state == 0) return;
  if (smooth >= 1) {
    p->prevx = p->posx;
    p->prevy = p->posy;
    p->maxdx = p->maxdy = -1.0f;
    p->smooth = 1;
  } else {
    p->smooth = 0;
  }
  p->posx = (float)x;
  p->posy = (float)y;
}

short Yandorix_CSprite::GetPosX() { return p->state == 0 ? 0 : (short)ToSint16(p->posx); }
short Yandorix_CSprite::GetPosY() { return p->state == 0 ? 0 : (short)ToSint16(p->posy); }

void Yandorix_CSprite::GetOffset(int* w, int* h) {
  if (w) *w = p->framew;
  if (h) *h = p->frameh;
}

int Yandorix_CSprite::Draw(SDL_Surface* dest) {
  if (p->state == 0) return 0;
  if (!dest) dest = Yandorix.screen;
  if (!dest) {
    ILogSystem.Msg(0, " . [CSprite::Draw()] Error: Yandorix.screen was not initialized.\n");
    return 0;
  }
  if (!ValidateClone(p)) return 0;
  int stepped = StepFrame(p);
  UpdateDrawPosition(p);
  ApplyOwnAlpha(p);   // before the source is taken: it may convert the sheet, and effects copy it
  sSpriteSource src;
  if (!SourceOf(p, &src)) return 0;
  SDL_Rect target = {ToSint16(std::floor(p->drawx) - src.hotx), ToSint16(std::floor(p->drawy) - src.hoty),
                     src.rect.w, src.rect.h};
  // Putting back the screen under the last drawing touches that place too: the cursor must be off
  // both, and keeps what lies under it once the old drawing is gone.
  SDL_Rect guarded = p->autorestore && p->bgsaved ? Bounds(target, p->lastrect) : target;
  bool restored = ICursor && ICursor->RestoreBG(&guarded) == 1;
  if (p->autorestore) {
    SwapBackground(p, target);
    if (restored) ICursor->CopyBG();
  }
  BlitSource(p, src, dest, target);
  if (restored && ICursor) ICursor->CopyBG();
  return stepped;
}

void Yandorix_CSprite::AutoRestore(char on) {
  if (p->state == 0) return;
  if (Yandorix.IsGL()) {
    p->autorestore = 0;
    return;
  }
  int wanted = on ? 1 : 0;
  if (wanted == p->autorestore) return;
  p->autorestore = wanted;
  p->bgsaved = 0;
  if (p->background) SDL_FreeSurface(p->background);
  p->background = wanted ? MakeBackground(p->framew, p->frameh) : NULL;
}

void Yandorix_CSprite::SetEffect(int effect, int mode, double p1, double p2) {
  if (effect < 0 || effect > 5) return;
  if (effect == 3 || effect == 5) {
    p->effectmode = std::clamp(mode, 0, 1);
    p->effectparam1 = p1;
    p->effectparam2 = p2;
  } else if (effect == 4) {
    p->effectmode = mode;
    p->effectparam1 = p1;
  }
  if (effect != p->effect) p->effectdirty = 1;
  p->effect = effect;
}

// ---------------------------------------------------------------------------------------------------
// Properties

void Yandorix_CSprite::SetAlpha(int alpha) {
  if (p->state == 0 || !ValidateClone(p)) return;
  if (alpha < 0 || alpha > 255 || p->perpixel) return;
  sSpriteSheet& shared = *p->shared;
  ydxfmt::ChangeAlpha(&shared.sheet, shared.sheet->format->alpha, alpha, "CSprite", &shared.backup);
  if (shared.glcopy) SDL_SetAlpha(shared.glcopy, alpha == 255 ? 0 : SDL_SRCALPHA, (Uint8)alpha);
  if (alpha != p->alpha) p->effectdirty = 1;   // a cached effect carries the alpha it was made with
  p->alpha = alpha;
}

void Yandorix_CSprite::SetColorKey(int key) {
  if (p->state == 0 || !ValidateClone(p) || key == p->colorkey) return;
  sSpriteSheet& shared = *p->shared;
  if (shared.glcopy) {
    Uint32 glkey = key == -1 ? 0 : ydxfmt::TranslatePixel(shared.sheet, (Uint32)key, shared.glcopy->format);
    SDL_SetColorKey(shared.glcopy, key == -1 ? 0 : SDL_SRCCOLORKEY, glkey);
  }
  ydxfmt::ChangeColorKey(&shared.sheet, key, p->perpixel != 0, "CSprite", &shared.backup);
  p->colorkey = key;
  p->effectdirty = 1;
}

void Yandorix_CSprite::SetColorKey(int r, int g, int b) {
  if (r == -1 || g == -1 || b == -1) {
    SetColorKey(-1);
    return;
  }
  SDL_Surface* sheet = p->state != 0 && ValidateClone(p) ? SheetOf(p) : NULL;
  if (sheet) SetColorKey((int)SDL_MapRGB(sheet->format, (Uint8)r, (Uint8)g, (Uint8)b));
}

int Yandorix_CSprite::GetAlpha() {
  if (p->state == 0) return -1;
  return p->perpixel ? 256 : p->alpha;
}

int Yandorix_CSprite::GetColorKey() { return p->state == 0 ? -1 : p->colorkey; }

SDL_Surface* Yandorix_CSprite::GetSurface() {
  if (p->state == 0 || !ValidateClone(p)) return NULL;
  return SheetOf(p);
}

void Yandorix_CSprite::SetName(const char* name) {
  if (p->state != 0 && name) CopyName(p->name, name);
}

char* Yandorix_CSprite::GetName() { return p->state == 0 ? NULL : p->name; }

void Yandorix_CSprite::SetCollisionMethod(int method) { p->collisionmethod = method < -1 ? -1 : method; }

int Yandorix_CSprite::GetCollisionMethod() { return p->collisionmethod; }

// ---------------------------------------------------------------------------------------------------
// Collision

namespace {

// The sprite's placed rectangle at (x, y), -1 taking the position of the last Draw.
SDL_Rect PlaceOf(const sSpritePrivate* p, const sSpriteSource& src, short x, short y) {
  int px = x == -1 ? (int)std::floor(p->drawx) : x;
  int py = y == -1 ? (int)std::floor(p->drawy) : y;
  return SDL_Rect{ToSint16(px - src.hotx), ToSint16(py - src.hoty), src.rect.w, src.rect.h};
}

// PixelCollision with the sprite's own collision method for this one call.
int CollideWithMethod(int method, SDL_Surface* a, SDL_Rect* placeA, SDL_Surface* b, SDL_Rect* placeB,
                      unsigned char debug, SDL_Rect* offsetA, SDL_Rect* offsetB) {
  int saved = IPrimitives->GetCollisionMethod();
  if (method != -1) IPrimitives->SetCollisionMethod(method);
  int result = IPrimitives->PixelCollision(a, placeA, b, placeB, debug, offsetA, offsetB);
  if (method != -1) IPrimitives->SetCollisionMethod(saved);
  return result;
}

}  // namespace

int Yandorix_CSprite::Collision(SDL_Surface* other, const SDL_Rect* otherrect, short x, short y,
                                unsigned char debug) {
  if (p->state == 0 || !other || !otherrect || !IPrimitives || !ValidateClone(p)) return 0;
  sSpriteSource src;
  if (!SourceOf(p, &src)) return 0;
  SDL_Rect place = PlaceOf(p, src, x, y);
  SDL_Rect otherPlace = *otherrect;
  return CollideWithMethod(p->collisionmethod, src.surface, &place, other, &otherPlace, debug, &src.rect, NULL);
}

int Yandorix_CSprite::Collision(Yandorix_CSprite* other, short x1, short y1, short x2, short y2,
                                unsigned char debug) {
  if (p->state == 0 || !other || other->p->state == 0 || !IPrimitives) return 0;
  if (!ValidateClone(p) || !ValidateClone(other->p)) return 0;
  sSpriteSource mine, theirs;
  if (!SourceOf(p, &mine) || !SourceOf(other->p, &theirs)) return 0;
  SDL_Rect placeMine = PlaceOf(p, mine, x1, y1);
  SDL_Rect placeTheirs = PlaceOf(other->p, theirs, x2, y2);
  return CollideWithMethod(p->collisionmethod, mine.surface, &placeMine, theirs.surface, &placeTheirs, debug,
                           &mine.rect, &theirs.rect);
}

// ---------------------------------------------------------------------------------------------------
// Information

namespace {

const char* DirectionName(int direction) {
  switch (direction) {
    case 0x01: return "DownLeft";
    case 0x02: return "UpRight";
    case 0x04: return "UpLeft";
    case 0x08: return "Right";
    case 0x10: return "Left";
    case 0x20: return "Down";
    case 0x40: return "Up";
    case 0x80: return "Normal";
    case 0xC0: return "DownRight";
  }
  return NULL;
}

const char* TypeName(int type) {
  switch (type) {
    case kAnimLoop: return "Loop";
    case kAnimPingPong: return "Ping-Pong";
    case kAnimOneShot: return "One Shot";
  }
  return "unknown";
}

void InfoAlphaAndKey(const sSpritePrivate* p, SDL_Surface* sheet) {
  if (p->perpixel) ILogSystem.Msg(0, "      -> Alpha blending: per-pixel");
  else if (p->alpha != 255) ILogSystem.Msg(0, "      -> Alpha blending: per-surface (%d)", p->alpha);
  else ILogSystem.Msg(0, "      -> Alpha blending: disabled");
  if (p->colorkey == -1) {
    ILogSystem.Msg(0, " - Colorkey: disabled\n");
  } else if (sheet->format->BitsPerPixel == 8) {
    ILogSystem.Msg(0, " - Colorkey: palette color number %d\n", p->colorkey);
  } else {
    Uint8 r, g, b;
    SDL_GetRGB((Uint32)p->colorkey, sheet->format, &r, &g, &b);
    ILogSystem.Msg(0, " - Colorkey: RGB(%d,%d,%d)\n", r, g, b);
  }
}

void InfoAnimation(const sSpritePrivate* p, const sSpriteAnim& a) {
  const char* direction = DirectionName(a.statecode >> 8);
  if (direction)
    ILogSystem.Msg(0, "      -> State animation %s(%d) - Type ", direction, (a.statecode & 0xFF) + 1);
  else
    ILogSystem.Msg(0, "  . [CSprite::Info()] unknown state %d.\n", a.statecode);
  ILogSystem.Msg(0, "%s\n", TypeName(a.type));
  ILogSystem.Msg(0, "         . Status: %d - Number of frames: %d - Current frame: %d\n", p->state, a.framecount,
                 a.curframe + 1);
  ILogSystem.Msg(0, "         . HotSpot X: %d - HotSpot Y: %d - Start frame: %d - End frame: %d\n", a.hotx, a.hoty,
                 a.start + 1, a.end);
  for (size_t i = 0; i < a.frames.size(); ++i)
    ILogSystem.Msg(0, "         . Frame %d - Time %d ms \n", (int)i + 1, (int)a.frames[i].time);
}

}  // namespace

void Yandorix_CSprite::Info() {
  if (p->state == 0) {
    ILogSystem.Msg(0, "\n . Sprite information: current sprite is empty.\n");
    return;
  }
  if (!ValidateClone(p)) return;
  SDL_Surface* sheet = SheetOf(p);
  // A shared sheet carries whichever sprite drew last: this sprite's own settings go back on it.
  if (!p->perpixel) {
    if (p->colorkey == -1) SDL_SetColorKey(sheet, 0, 0);
    else SDL_SetColorKey(sheet, SDL_SRCCOLORKEY, (Uint32)p->colorkey);
    ApplyOwnAlpha(p);
    sheet = SheetOf(p);
  }
  ILogSystem.Msg(0, "\n . Sprite information of '%s':\n", p->name);
  ILogSystem.Msg(0, "      -> Surface of %d Kb located at %s\n", (int)((size_t)sheet->pitch * sheet->h / 1024),
                 (sheet->flags & SDL_HWSURFACE) ? "video memory" : "system memory");
  ILogSystem.Msg(0, "      -> AutoRestore: %s", p->autorestore ? "On" : "Off");
  ILogSystem.Msg(0, " - Sprite type: %s - Special Effect: %s\n", p->role == 1 ? "Master" : "Slave",
                 p->effect ? "Yes" : "None");
  ILogSystem.Msg(0, "      -> Frame size: %dx%d - Color depth: %dbits - Position: (%d,%d)\n", p->framew, p->frameh,
                 sheet->format->BitsPerPixel, (int)std::floor(p->posx), (int)std::floor(p->posy));
  InfoAlphaAndKey(p, sheet);
  ILogSystem.Msg(0, "      -> Number of animations: %d - Current animation: %d\n", (int)p->anims.size(),
                 p->curanim + 1);
  for (const sSpriteAnim& a : p->anims) InfoAnimation(p, a);
  ILogSystem.Msg(0, "\n");
}
