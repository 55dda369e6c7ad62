// Sprites in archives: the "SPR2" block written and read field by field, every count and size checked
// against the bytes before anything is allocated, and "SPR" blocks upgraded in the archive (or, when
// the archive cannot be written, loaded from the converted data).
#include "29_SpriteBlock.h"
#include "00_Platform.h"
#include "glSDL.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

Uint16 Get16(const Uint8* at) { return (Uint16)(at[0] | (at[1] << 8)); }
Uint32 Get32(const Uint8* at) {
  return (Uint32)at[0] | ((Uint32)at[1] << 8) | ((Uint32)at[2] << 16) | ((Uint32)at[3] << 24);
}
void Put16(std::vector<Uint8>* out, Uint16 value) {
  out->push_back((Uint8)value);
  out->push_back((Uint8)(value >> 8));
}
void Put32(std::vector<Uint8>* out, Uint32 value) {
  for (int i = 0; i < 4; ++i) out->push_back((Uint8)(value >> (8 * i)));
}

const char* Shown(const char* text) { return text ? text : "(null)"; }

bool Refuse(std::string* why, const std::string& reason) {
  *why = reason;
  return false;
}

// Sizes of one animation record and one frame record in a layout.
struct sLayout {
  uint64_t record;
  uint64_t frame;
  bool old;
};
const sLayout kNewLayout = {ydxspr::kAnimRecordSize, ydxspr::kFrameRecordSize, false};
const sLayout kOldLayout = {ydxspr::kOldAnimRecordSize, ydxspr::kOldFrameRecordSize, true};

bool DecodeHead(const Uint8* data, size_t size, ydxspr::sSpriteHead* head, std::string* why) {
  if (!data || size < ydxspr::kSpriteHeadSize) return Refuse(why, "block shorter than its header");
  head->framew = (Sint32)Get32(data);
  head->frameh = (Sint32)Get32(data + 4);
  head->posx = (Sint32)Get32(data + 8);
  head->posy = (Sint32)Get32(data + 12);
  head->animcount = (Sint32)Get32(data + 16);
  head->sheetwidth = (Sint32)Get32(data + 20);
  if (head->framew < 1 || head->frameh < 1) return Refuse(why, "frame size below 1 pixel");
  if (head->animcount < 1) return Refuse(why, "no animation");
  if (head->sheetwidth < head->framew) return Refuse(why, "sheet narrower than a frame");
  if (head->sheetwidth > kStoredImageMaxSide || (int64_t)head->animcount * head->frameh > kStoredImageMaxSide)
    return Refuse(why, "sheet larger than " + std::to_string((int)kStoredImageMaxSide) + " pixels");
  return true;
}

// Walks the animation entries keeping nothing: each lies inside the block, its frames fit the sheet
// and its range its frames. `*end` is the offset just past the last entry.
bool WalkEntries(const Uint8* data, size_t size, const ydxspr::sSpriteHead& head, const sLayout& layout,
                 uint64_t* end, std::string* why) {
  const int columns = head.sheetwidth / head.framew;
  uint64_t offset = ydxspr::kSpriteHeadSize;
  for (int i = 0; i < head.animcount; ++i) {
    std::string which = "animation " + std::to_string(i + 1);
    if (offset + layout.record > size) return Refuse(why, which + " runs past the block");
    const Uint8* record = data + offset;
    int count = Get16(record + 4);
    if (count > columns) return Refuse(why, which + " has more frames than the sheet holds");
    if (!layout.old && (Get16(record + 12) > Get16(record + 14) || Get16(record + 14) > count))
      return Refuse(why, which + " plays frames it does not have");
    offset += layout.record + (uint64_t)count * layout.frame;
    if (offset > size) return Refuse(why, "frames of " + which + " run past the block");
  }
  *end = offset;
  return true;
}

void ReadAnim(const Uint8* record, const sLayout& layout, sSpriteAnim* a) {
  a->type = Get16(record);
  a->statecode = Get16(record + 2);
  a->framecount = Get16(record + 4);
  a->curframe = Get16(record + 6);
  std::memset(a->reserved, 0, sizeof a->reserved);
  if (layout.old) {
    a->start = 0;
    a->end = a->framecount;
    a->hotx = a->hoty = 0;
  } else {
    a->start = Get16(record + 12);
    a->end = Get16(record + 14);
    a->hotx = (Sint16)Get16(record + 16);
    a->hoty = (Sint16)Get16(record + 18);
    std::memcpy(a->reserved, record + 20, sizeof a->reserved);
  }
  ydxspr::ClampFrame(a);
  a->frames.assign(a->framecount, sSpriteFrame());
  const Uint8* frame = record + layout.record;
  for (sSpriteFrame& f : a->frames) {
    f.time = Get32(frame);
    std::memset(f.reserved, 0, sizeof f.reserved);
    if (!layout.old) std::memcpy(f.reserved, frame + 4, sizeof f.reserved);
    frame += layout.frame;
  }
}

bool DecodeLayout(const Uint8* data, size_t size, const sLayout& layout, ydxspr::sSpriteBlock* out,
                  std::string* why) {
  ydxspr::sSpriteHead head;
  uint64_t entriesEnd = 0;
  if (!DecodeHead(data, size, &head, why) || !WalkEntries(data, size, head, layout, &entriesEnd, why)) return false;
  if (entriesEnd + kStoredFormatSize > size) return Refuse(why, "no room for the pixel format");
  sStoredPixelFormat format = ydxfmt::DecodeFormat(data + entriesEnd);
  if (layout.old && format.colorkey == 0) format.colorkey = -1;   // the old layout's "no key"
  uint64_t pixelBytes = 0;
  if (!ydxfmt::StoredImageBytes(head.sheetwidth, head.animcount * head.frameh, format, &pixelBytes, why)) return false;
  uint64_t remaining = size - entriesEnd - kStoredFormatSize;
  if (remaining != pixelBytes)
    return Refuse(why, std::to_string(remaining) + " pixel bytes for a sheet of " + std::to_string(pixelBytes));
  out->head = head;
  out->anims.assign((size_t)head.animcount, sSpriteAnim());
  const Uint8* record = data + ydxspr::kSpriteHeadSize;
  for (sSpriteAnim& a : out->anims) {
    ReadAnim(record, layout, &a);
    record += layout.record + a.framecount * layout.frame;
  }
  out->format = format;
  out->pixels = data + entriesEnd + kStoredFormatSize;
  out->pixelBytes = pixelBytes;
  return true;
}

// floor(value) as a 32-bit position (limited to that range).
Sint32 StoredPosition(float value) {
  double floored = std::floor((double)value);
  if (!(floored >= INT32_MIN)) return INT32_MIN;
  if (floored > INT32_MAX) return INT32_MAX;
  return (Sint32)floored;
}

Sint16 ScreenPosition(Sint32 value) { return (Sint16)std::clamp<Sint32>(value, SHRT_MIN, SHRT_MAX); }

}  // namespace

namespace ydxspr {

bool DecodeSpriteBlock(const Uint8* data, size_t size, sSpriteBlock* out, std::string* why) {
  return DecodeLayout(data, size, kNewLayout, out, why);
}

bool DecodeOldSpriteBlock(const Uint8* data, size_t size, sSpriteBlock* out, std::string* why) {
  return DecodeLayout(data, size, kOldLayout, out, why);
}

bool DecodeForLoad(const Uint8* data, size_t size, bool oldType, sSpriteBlock* out, bool* oldLayout,
                   std::string* why) {
  *oldLayout = false;
  if (!oldType) return DecodeSpriteBlock(data, size, out, why);
  // Both layouts describe their size exactly and differ in it, so at most one of them fits.
  std::string asNew;
  if (DecodeSpriteBlock(data, size, out, &asNew)) return true;
  if (!DecodeOldSpriteBlock(data, size, out, why)) return false;
  *oldLayout = true;
  return true;
}

void EncodeSpriteHead(const sSpriteHead& head, const std::vector<sSpriteAnim>& anims, std::vector<Uint8>* out) {
  Put32(out, (Uint32)head.framew);
  Put32(out, (Uint32)head.frameh);
  Put32(out, (Uint32)head.posx);
  Put32(out, (Uint32)head.posy);
  Put32(out, (Uint32)anims.size());
  Put32(out, (Uint32)head.sheetwidth);
  for (const sSpriteAnim& a : anims) {
    Put16(out, a.type);
    Put16(out, a.statecode);
    Put16(out, (Uint16)a.frames.size());
    Put16(out, a.curframe);
    Put32(out, 0);   // the frames pointer of the record in memory: meaningless in a file
    Put16(out, a.start);
    Put16(out, a.end);
    Put16(out, (Uint16)a.hotx);
    Put16(out, (Uint16)a.hoty);
    out->insert(out->end(), a.reserved, a.reserved + sizeof a.reserved);
    for (const sSpriteFrame& f : a.frames) {
      Put32(out, f.time);
      out->insert(out->end(), f.reserved, f.reserved + sizeof f.reserved);
    }
  }
}

void EncodeSpriteBlock(const sSpriteBlock& block, std::vector<Uint8>* out) {
  out->clear();
  EncodeSpriteHead(block.head, block.anims, out);
  Uint8 record[kStoredFormatSize];
  ydxfmt::EncodeFormat(block.format, record);
  out->insert(out->end(), record, record + kStoredFormatSize);
  out->insert(out->end(), block.pixels, block.pixels + block.pixelBytes);
}

int BuildSprite(sSpritePrivate* p, const sSpriteBlock& block, const char* archive, const char* name) {
  const sSpriteHead& head = block.head;
  int sheetHeight = head.animcount * head.frameh;
  auto shared = std::make_shared<sSpriteSheet>();
  if (Yandorix.IsGL()) {
    // The OpenGL copy is taken from the stored pixels as they are, before alpha, key or conversion.
    if (SDL_Surface* raw = ydxfmt::CreateSurface(head.sheetwidth, sheetHeight, block.format)) {
      ydxfmt::CopyStoredPixels(raw, block.pixels);
      shared->glcopy = MakeGLCopy(raw);
      SDL_FreeSurface(raw);
    }
  }
  char infoLine[512];
  std::snprintf(infoLine, sizeof infoLine, " . [CSprite->Load('%s','%s')] Info: surface with alpha per pixel "
                "loaded, it could slow down your graphics system.\n", archive, name);
  ydxfmt::sRebuilt rebuilt;
  if (!ydxfmt::RebuildSurface(head.sheetwidth, sheetHeight, block.format, block.pixels, infoLine, &rebuilt,
                              &shared->backup)) {
    if (shared->glcopy) SDL_FreeSurface(shared->glcopy);
    ILogSystem.Msg(0, " . [CSprite::Load('%s','%s')] Error: the sprite surface could not be created: %s\n", archive,
                   name, SDL_GetError());
    return 0;
  }
  shared->sheet = rebuilt.surface;
  if (shared->glcopy) {
    SDL_SetAlpha(shared->glcopy, rebuilt.alpha == 255 ? 0 : SDL_SRCALPHA, (Uint8)rebuilt.alpha);
    if (block.format.colorkey != -1) {
      Uint8 r, g, b;
      SDL_GetRGB((Uint32)rebuilt.colorkey, rebuilt.surface->format, &r, &g, &b);
      SDL_SetColorKey(shared->glcopy, SDL_SRCCOLORKEY, SDL_MapRGB(shared->glcopy->format, r, g, b));
    }
  }
  p->shared = shared;
  p->framew = head.framew;
  p->frameh = head.frameh;
  p->posx = (float)head.posx;
  p->posy = (float)head.posy;
  p->anims = block.anims;
  p->alpha = rebuilt.alpha;
  p->colorkey = rebuilt.colorkey;
  p->perpixel = rebuilt.perPixelAlpha ? 1 : 0;
  p->lastrect = SDL_Rect{ScreenPosition(head.posx), ScreenPosition(head.posy), (Uint16)head.framew,
                         (Uint16)head.frameh};
  p->curanim = 0;
  p->anims[0].curframe = p->anims[0].start;
  ClampFrame(&p->anims[0]);
  CopyName(p->name, name);
  if (p->autorestore) p->background = MakeBackground(head.framew, head.frameh);
  p->state = 1;
  p->role = 1;
  p->bgsaved = 0;
  return (int)p->anims.size();
}

}  // namespace ydxspr

using namespace ydxspr;

// ---------------------------------------------------------------------------------------------------
// Saving

int Yandorix_CSprite::Save(int handle, const char* type) {
  if (handle < 1 || p->state == 0 || !type || !IStuffDPF) return 0;
  SDL_Surface* sheet = GetSurface();   // checks a slave's master
  if (!sheet) return 0;
  SDL_Surface* copy = ydxfmt::SoftwareCopy(sheet);
  std::vector<Uint8> bytes;
  bool encoded = false;
  if (copy) {
    sSpriteHead head = {p->framew, p->frameh, StoredPosition(p->posx), StoredPosition(p->posy),
                        (Sint32)p->anims.size(), copy->w};
    EncodeSpriteHead(head, p->anims, &bytes);
    encoded = ydxfmt::AppendImageData(copy, p->colorkey, (Uint8)std::clamp(p->alpha, 0, 255), &bytes);
    SDL_FreeSurface(copy);
  }
  if (!encoded || bytes.size() > INT_MAX) {
    ILogSystem.Msg(0, " . [CSprite::Save(%d,'%s')] Error: the sprite sheet could not be stored.\n", handle, type);
    return 0;
  }
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  std::memcpy(block.name, p->name, sizeof block.name);
  // A type of 8 characters or more keeps no terminator here, so the archive refuses it by name.
  std::memcpy(block.type, type, std::min(std::strlen(type), sizeof block.type));
  block.mode = 0;
  block.size = (int)bytes.size();
  block.storedsize = 0;
  block.data = reinterpret_cast<char*>(bytes.data());
  return IStuffDPF->AddData(handle, &block);
}

int Yandorix_CSprite::Save(const char* file, const char* type) {
  if (!file || !IStuffDPF) return 0;
  int handle = ydxplat::Access(file, 0) != 0 ? IStuffDPF->Create(file) : IStuffDPF->Open(file);
  if (handle <= 0) return 0;
  int result = Save(handle, type);
  IStuffDPF->Close(handle);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Loading

namespace {

// Replaces a checked "SPR" block by its "SPR2" form. When the archive cannot take it (read only, or
// a write failed) nothing is deleted and the sprite still loads from the converted data.
void UpgradeInArchive(int handle, const sSpriteBlock& block, const char* archive, const char* name,
                      const char* text) {
  std::vector<Uint8> bytes;
  EncodeSpriteBlock(block, &bytes);
  DPF_BlockData upgraded;
  std::memset(&upgraded, 0, sizeof upgraded);
  std::strncpy(upgraded.name, name, sizeof upgraded.name - 1);
  std::strcpy(upgraded.type, "SPR2");
  upgraded.mode = 0;
  upgraded.size = (int)std::min<size_t>(bytes.size(), INT_MAX);
  upgraded.data = reinterpret_cast<char*>(bytes.data());
  if (bytes.size() > INT_MAX || IStuffDPF->AddData(handle, &upgraded) < 1) {
    ILogSystem.Msg(2, " . [CSprite::Load('%s','%s','%s')] Warning: update to v2.0 was not possible. The sprite was "
                   "loaded from the converted data and the archive was left as it was.\n", archive, name, text);
    return;
  }
  DPF_BlockData old;
  std::memset(&old, 0, sizeof old);
  std::strncpy(old.name, name, sizeof old.name - 1);
  std::strcpy(old.type, "SPR");
  IStuffDPF->Delete(handle, &old);
  ILogSystem.Msg(2, " . [CSprite::Load('%s','%s','%s')] Info: sprite successfully updated from v1.0 to v2.0.\n",
                 archive, name, text);
}

// The block of that name: "SPR2" first, then "SPR" (`*oldType` set). False when neither is there.
bool LoadSpriteBlock(int handle, const char* name, DPF_BlockData* block, bool* oldType) {
  *oldType = false;
  if (IStuffDPF->LoadBlock(handle, "SPR2", name, block) > 0) return true;
  IStuffDPF->FreeBlock(block);
  *oldType = true;
  if (IStuffDPF->LoadBlock(handle, "SPR", name, block) > 0) return true;
  IStuffDPF->FreeBlock(block);
  return false;
}

}  // namespace

int Yandorix_CSprite::Load(int handle, const char* name, const char* text) {
  if (!Yandorix_IsInitialised()) {
    const char* archive = IStuffDPF ? IStuffDPF->GetFilename(handle) : NULL;
    ILogSystem.Msg(0, " . [CSprite::Load('%s','%s','%s')] Error: Yandorix was not initialized. Aborting the sprite "
                   "load.\n", Shown(archive), Shown(name), Shown(text));
    return 0;
  }
  if (handle < 1 || !name || !text) return 0;
  const char* archive = Shown(IStuffDPF->GetFilename(handle));
  if (p->state != 0) {
    ILogSystem.Msg(2, " . [CSprite::Load('%s','%s','%s')] Warning: sprite already exists. It is not possible to "
                   "create another one.\n", archive, name, text);
    return 0;
  }
  DPF_BlockData block;
  bool oldType = false;
  if (!LoadSpriteBlock(handle, name, &block, &oldType)) {
    ILogSystem.Msg(0, " . [CSprite::Load('%s','%s','%s')] Error: sprite not found\n", archive, name, text);
    return 0;
  }
  sSpriteBlock parsed;
  bool oldLayout = false;
  std::string why;
  int result = 0;
  if (!DecodeForLoad(reinterpret_cast<const Uint8*>(block.data), (size_t)block.size, oldType, &parsed, &oldLayout,
                     &why)) {
    ILogSystem.Msg(0, " . [CSprite::Load('%s','%s','%s')] Error: the sprite block is not valid: %s.\n", archive, name,
                   text, why.c_str());
  } else {
    if (oldLayout) UpgradeInArchive(handle, parsed, archive, name, text);
    result = BuildSprite(p, parsed, archive, name);
  }
  IStuffDPF->FreeBlock(&block);
  return result;
}

int Yandorix_CSprite::Load(const char* file, const char* name, const char* text) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [CSprite::Load('%s','%s','%s')] Error: Yandorix was not initialized. Aborting the sprite "
                   "load.\n", Shown(file), Shown(name), Shown(text));
    return 0;
  }
  if (!file) return 0;
  int handle = IStuffDPF->Open(file);
  if (handle <= 0) return 0;
  int result = Load(handle, name, text);
  IStuffDPF->Close(handle);
  return result;
}
