// Tiles: creation from surfaces and image files, "TILE2"/"TILB2" archive blocks (older blocks upgraded
// where the archive can be written), tileset mode and drawing with flip, mirror and rotation. A
// transformed tile is made once per tileset and code and kept, so drawing it again costs one blit.
#include "01_Main.h"
#include "00_Platform.h"
#include "25_BlitRule.h"
#include "26_Tile.h"
#include "14_Image.h"
#include "glSDL.h"
#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_map>

using ydxres::CopyBounded;
using ydxres::HasPerPixelAlpha;
using ydxres::LoadedBlock;
using ydxres::Shown;

// ---------------------------------------------------------------------------------------------------
// The block codec

namespace ydxtile {

using ydxres::Append32;
using ydxres::Get32;

enum { kKeyOffset = 24 + 32 };   // the colour key inside the stored pixel-format record

bool DecodeTileBlock(const Uint8* data, size_t size, sTileBlock* out, std::string* why) {
  if (!data || size < kTileHeaderSize) {
    *why = "block shorter than its header";
    return false;
  }
  out->sizex = (int)(Sint32)Get32(data);
  out->sizey = (int)(Sint32)Get32(data + 4);
  out->posx = (int)(Sint32)Get32(data + 8);
  out->posy = (int)(Sint32)Get32(data + 12);
  out->tileset = (int)(Sint32)Get32(data + 16);
  out->tilew = (int)(Sint32)Get32(data + 20);
  out->format = ydxfmt::DecodeFormat(data + 24);
  // The pixel count does not depend on the key; the key is checked once the layout is known.
  sStoredPixelFormat sizing = out->format;
  sizing.colorkey = -1;
  uint64_t pixelBytes = 0;
  if (!ydxfmt::StoredImageBytes(out->sizex, out->sizey, sizing, &pixelBytes, why)) return false;
  uint64_t newer = kTileHeaderSize + pixelBytes + kTileTailSize;
  uint64_t older = kTileHeaderSize + pixelBytes;
  if (size != newer && size != older) {
    *why = "block of " + std::to_string(size) + " bytes for " + std::to_string(newer) + " (or " +
           std::to_string(older) + " in the older layout)";
    return false;
  }
  out->version = size == newer ? 2 : 1;
  out->pixels = data + kTileHeaderSize;
  out->pixelBytes = (size_t)pixelBytes;
  if (out->version == 2) {
    out->tileh = (int)(Sint32)Get32(data + older);
  } else {
    out->tileh = out->tilew;
    if (out->format.colorkey == 0) out->format.colorkey = -1;   // the older layout's "no key"
  }
  return ydxfmt::CheckFormat(out->format, why);
}

bool EncodeTileBlock(SDL_Surface* surface, const sTileFields& fields, std::vector<Uint8>* out) {
  if (!surface) return false;
  out->clear();
  Append32(out, (Uint32)surface->w);
  Append32(out, (Uint32)surface->h);
  Append32(out, (Uint32)fields.posx);
  Append32(out, (Uint32)fields.posy);
  Append32(out, (Uint32)fields.tileset);
  Append32(out, (Uint32)fields.tilew);
  if (!ydxfmt::AppendImageData(surface, fields.colorkey, fields.alpha, out)) return false;
  Append32(out, (Uint32)fields.tileh);
  out->resize(out->size() + kTileReservedSize, 0);
  return true;
}

void UpgradeTileBlock(const Uint8* data, const sTileBlock& block, std::vector<Uint8>* out) {
  size_t oldSize = kTileHeaderSize + block.pixelBytes;
  out->assign(data, data + oldSize);
  ydxres::Put32(out->data() + kKeyOffset, (Uint32)block.format.colorkey);
  Append32(out, (Uint32)block.tilew);
  out->resize(out->size() + kTileReservedSize, 0);
}

}  // namespace ydxtile

// ---------------------------------------------------------------------------------------------------
// What the resource classes share

namespace ydxres {

ReplaceResult ReplaceOlderBlock(int handle, const DPF_BlockData& older, const char* newType,
                                std::vector<Uint8>& bytes) {
  DPF_BlockData block = older;
  CopyBounded(block.type, sizeof block.type, newType);
  block.mode = 0;
  block.size = (int)bytes.size();
  block.storedsize = 0;
  block.data = reinterpret_cast<char*>(bytes.data());
  if (IStuffDPF->AddData(handle, &block) < 1) return kNotWritten;
  DPF_BlockData old = older;
  old.data = NULL;
  return IStuffDPF->Delete(handle, &old) < 1 ? kOlderKept : kReplaced;
}

void LogSurfaceMemory(const SDL_Surface* s) {
  ILogSystem.Msg(0, "      -> Surface of %d Kb located at %s\n", s->pitch * s->h / 1024,
                 (s->flags & SDL_HWSURFACE) ? "video memory" : "system memory");
}

void LogAlphaBlending(const SDL_Surface* s) {
  ILogSystem.Msg(0, "      -> Alpha blending: ");
  if ((s->flags & SDL_SRCALPHA) && s->format->alpha == 255) ILogSystem.Msg(0, "per-pixel");
  else if (s->flags & SDL_SRCALPHA) ILogSystem.Msg(0, "per-surface (%d)", s->format->alpha);
  else ILogSystem.Msg(0, "disabled");
  ILogSystem.Msg(0, " - Colorkey: ");
}

void LogColorKey(const SDL_Surface* s) {
  if (!(s->flags & SDL_SRCCOLORKEY)) {
    ILogSystem.Msg(0, "disabled\n");
    return;
  }
  Uint8 r, g, b;
  SDL_GetRGB(s->format->colorkey, s->format, &r, &g, &b);
  ILogSystem.Msg(0, "RGB(%d,%d,%d)\n", r, g, b);
}

}  // namespace ydxres

// ---------------------------------------------------------------------------------------------------
// The tile object

namespace {

// Transforms by the top three bits of a tile id.
enum Transform { kPlain = -1, kFlip = 0, kMirror, kRotate90, kRotate180, kRotate270, kTransforms };

Transform TransformOf(Uint32 id) {
  switch (id & 0xE0000000u) {
    case 0x40000000u: return kFlip;
    case 0x80000000u: return kMirror;
    case 0xA0000000u: return kRotate90;
    case 0xC0000000u: return kRotate180;
    case 0x60000000u: return kRotate270;
    default: return kPlain;
  }
}

// SDL keeps positions in 16 bits; anything beyond lies off every surface SDL can make.
Sint16 ToCoordinate(int v) { return (Sint16)std::min(std::max(v, -32768), 32767); }

}  // namespace

struct sTilePrivate {
  int posx = 0, posy = 0;
  SDL_Surface* surface = NULL;
  int sizex = 0, sizey = 0;
  int alpha = 255;
  int colorkey = -1;
  int created = 0;
  char name[32] = {0};
  int perpixel = 0;
  Yandorix_PixelCopy backup;
  int tileset = 0;
  int cols = 0, rows = 0, count = 0;
  int tilew = 0, tileh = 0;
  // Transformed tiles made so far, by tile index x kTransforms + transform. Any change of the surface,
  // its key or alpha, or the grid drops them.
  std::unordered_map<Uint64, SDL_Surface*> transformed;

  void DropTransformed() {
    for (auto& made : transformed)
      if (made.second) SDL_FreeSurface(made.second);
    transformed.clear();
  }
  // The key as the current surface holds it (surfaces converted for the screen carry a new value).
  void TakeKeyFromSurface() {
    colorkey = !perpixel && (surface->flags & SDL_SRCCOLORKEY) ? (int)surface->format->colorkey : -1;
  }
};

Yandorix_CTile::Yandorix_CTile() {
  p = new sTilePrivate();
  Yandorix.numtiles++;
}

Yandorix_CTile::~Yandorix_CTile() {
  Clean();
  delete p;
  Yandorix.numtiles--;
}

void Yandorix_CTile::Clean() {
  if (!p->created) return;
  p->DropTransformed();
  if (p->surface) SDL_FreeSurface(p->surface);
  p->surface = NULL;
  p->backup.Clear();
  p->posx = p->posy = p->sizex = p->sizey = 0;
  p->alpha = 255;
  p->colorkey = -1;
  p->created = p->perpixel = 0;
  std::memset(p->name, 0, sizeof p->name);
  p->tileset = p->cols = p->rows = p->count = p->tilew = p->tileh = 0;
}

// ---------------------------------------------------------------------------------------------------
// Creation

int Yandorix_CTile::Create(SDL_Surface* source, const char* name) {
  unsigned address = (unsigned)(uintptr_t)source;
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [CTile::Create(0x%x,'%s')] Error: Yandorix was not initialized. Aborting the tile creation.\n",
                   address, Shown(name));
    return 0;
  }
  if (!source || !name) return 0;
  if (p->created) {
    ILogSystem.Msg(2, " . [CTile::Create(0x%x,'%s')] Warning: tile already exists. It is not possible to create another "
                   "one.\n", address, name);
    return 0;
  }
  if (std::strlen(name) >= sizeof p->name) {
    ILogSystem.Msg(0, " . [CTile::Create(0x%x,'%s')] Error: tile names hold at most 31 characters.\n", address, name);
    return 0;
  }
  SDL_Surface* copy = SDL_ConvertSurface(source, source->format, source->flags);
  if (!copy) return 0;
  bool perPixel = HasPerPixelAlpha(source);
  // Key and surface alpha count only where the application switched them on.
  int key = !perPixel && (source->flags & SDL_SRCCOLORKEY) ? (int)source->format->colorkey : -1;
  int alpha = !perPixel && (source->flags & SDL_SRCALPHA) ? source->format->alpha : 255;
  if (!perPixel) SDL_SetAlpha(copy, alpha == 255 ? 0 : SDL_SRCALPHA, (Uint8)alpha);
  if (key == -1) SDL_SetColorKey(copy, 0, 0);
  else SDL_SetColorKey(copy, SDL_SRCCOLORKEY, (Uint32)key);
  if (Yandorix_AutoConvert && SurfaceDiffersFromScreen(copy)) {
    if (SDL_Surface* converted = ydxfmt::DisplayCopy(copy, perPixel)) {
      SDL_FreeSurface(copy);
      copy = converted;
    }
  }
  if (Yandorix.IsGL() && Yandorix_AutoConvert && glSDL_SurfaceToTexture(copy)) ++Yandorix_TexturesAtLoad;
  p->surface = copy;
  p->perpixel = perPixel ? 1 : 0;
  p->alpha = alpha;
  p->TakeKeyFromSurface();
  if (Yandorix.backupsurfaces) p->backup.Take(copy);
  p->sizex = copy->w;
  p->sizey = copy->h;
  std::strcpy(p->name, name);
  p->created = 1;
  return 1;
}

int Yandorix_CTile::Create(const char* file, const char* name) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [CTile::Create('%s','%s')] Error: Yandorix was not initialized. Aborting the tile creation.\n",
                   Shown(file), Shown(name));
    return 0;
  }
  if (!file || !name) return 0;
  if (p->created) {
    ILogSystem.Msg(2, " . [CTile::Create('%s','%s')] Warning: tile already exists. It is not possible to create another "
                   "one.\n", file, name);
    return 0;
  }
  SDL_Surface* loaded = ydximg::LoadUnconverted(file);
  if (!loaded) {
    ILogSystem.Msg(0, " . [CTile::Create('%s','%s')] Error: it was not possible to load the given image file.\n", file,
                   name);
    return 0;
  }
  int result = Create(loaded, name);
  SDL_FreeSurface(loaded);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Archive blocks

namespace {

// The versioned type a load looks for first ("TILE" -> "TILE2"); empty when refused.
std::string VersionedType(const char* type) {
  if (std::strncmp(type, "TILE", 4) != 0 && std::strncmp(type, "TILB", 4) != 0) return "";
  std::string versioned = type;
  if (versioned.back() != '2') versioned += '2';
  if (versioned.size() >= sizeof(DPF_BlockData{}.type)) return "";
  return versioned;
}

// Writes the current layout of an older block and removes the old one. On an archive that cannot be
// written the tile still loads from the converted bytes, and nothing is removed.
void UpgradeInArchive(int handle, const LoadedBlock& old, const ydxtile::sTileBlock& decoded,
                      const std::string& newType, const char* archive, const char* name, const char* type) {
  std::vector<Uint8> upgraded;
  ydxtile::UpgradeTileBlock(old.Bytes(), decoded, &upgraded);
  switch (ydxres::ReplaceOlderBlock(handle, old.block, newType.c_str(), upgraded)) {
    case ydxres::kReplaced:
      ILogSystem.Msg(2, " . [CTile::Load('%s','%s','%s')] Info: tile successfully updated from v1.0 to v2.0.\n",
                     archive, name, type);
      break;
    case ydxres::kNotWritten:
      ILogSystem.Msg(2, " . [CTile::Load('%s','%s','%s')] Warning: update to v2.0 was not possible; the tile is "
                     "loaded without updating the archive.\n", archive, name, type);
      break;
    case ydxres::kOlderKept:
      ILogSystem.Msg(2, " . [CTile::Load('%s','%s','%s')] Warning: the v1.0 block could not be deleted.\n", archive,
                     name, type);
      break;
  }
}

}  // namespace

int Yandorix_CTile::Load(int handle, const char* name, const char* type) {
  if (handle <= 0 || !name || !type) return 0;
  const char* archive = IStuffDPF ? Shown(IStuffDPF->GetFilename(handle)) : "";
  if (!Yandorix_IsInitialised() || !IStuffDPF) {
    ILogSystem.Msg(0, " . [CTile::Load('%s','%s','%s')] Error: Yandorix was not initialized. Aborting the tile "
                   "creation.\n", archive, name, type);
    return 0;
  }
  if (p->created) {
    ILogSystem.Msg(2, " . [CTile::Load('%s','%s','%s')] Warning: tile already exists. It is not possible to create "
                   "another one.\n", archive, name, type);
    return 0;
  }
  std::string versioned = VersionedType(type);
  if (versioned.empty()) {
    ILogSystem.Msg(0, " . [CTile::Load('%s','%s','%s')] Error: the typeblock is not supported.\n", archive, name, type);
    return 0;
  }
  std::string older = versioned.substr(0, versioned.size() - 1);
  LoadedBlock loaded;
  bool underOlderType = false;
  if (!loaded.Load(handle, versioned.c_str(), name)) {
    underOlderType = true;
    if (!loaded.Load(handle, older.c_str(), name)) {
      ILogSystem.Msg(0, " . [CTile::Load('%s','%s','%s')] Error: tile not found.\n", archive, name, type);
      return 0;
    }
  }
  ydxtile::sTileBlock decoded;
  std::string why;
  bool sound = ydxtile::DecodeTileBlock(loaded.Bytes(), loaded.Size(), &decoded, &why);
  if (sound && decoded.version == 1 && !underOlderType) {
    sound = false;
    why = "a versioned block in the older layout";
  }
  if (!sound) {
    ILogSystem.Msg(0, " . [CTile::Load('%s','%s','%s')] Error: tile block refused: %s.\n", archive, name, type,
                   why.c_str());
    return 0;
  }
  std::string info = " . [CTile::Load('" + std::string(archive) + "','" + name +
                     "')] Info: surface with alpha per pixel loaded, it could slow down your graphics system.\n";
  ydxfmt::sRebuilt rebuilt;
  if (!ydxfmt::RebuildSurface(decoded.sizex, decoded.sizey, decoded.format, decoded.pixels, info.c_str(), &rebuilt,
                              &p->backup)) {
    ILogSystem.Msg(0, " . [CTile::Load('%s','%s','%s')] Error: %s\n", archive, name, type, SDL_GetError());
    return 0;
  }
  // Only a block that is truly of the older layout is upgraded; the newer layout under the old type
  // is loaded as it is.
  if (decoded.version == 1) UpgradeInArchive(handle, loaded, decoded, versioned, archive, name, type);
  p->surface = rebuilt.surface;
  p->perpixel = rebuilt.perPixelAlpha ? 1 : 0;
  p->alpha = rebuilt.alpha;
  p->colorkey = rebuilt.perPixelAlpha ? -1 : rebuilt.colorkey;
  p->sizex = rebuilt.surface->w;
  p->sizey = rebuilt.surface->h;
  p->created = 1;
  SetPosition(decoded.posx, decoded.posy);
  CopyBounded(p->name, sizeof p->name, loaded.block.name);
  if (decoded.tileset && (decoded.tilew || decoded.tileh)) SetTileSet(1, decoded.tilew, decoded.tileh);
  else SetTileSet(0, 0, 0);
  return 1;
}

int Yandorix_CTile::Load(const char* file, const char* name, const char* type) {
  if (!file || !IStuffDPF) return 0;
  int handle = IStuffDPF->Open(file);
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [CTile::Load('%s','%s','%s')] Error: archive could not be opened.\n", file, Shown(name),
                   Shown(type));
    return 0;
  }
  int result = Load(handle, name, type);
  IStuffDPF->Close(handle);
  return result;
}

int Yandorix_CTile::Save(int handle, const char* type) {
  if (!p->created || handle < 1 || !type || !IStuffDPF) return 0;
  if (!*type || std::strlen(type) >= sizeof(DPF_BlockData{}.type)) {
    ILogSystem.Msg(0, " . [CTile::Save(%d,'%s')] Error: block types hold 1 to 7 characters.\n", handle, type);
    return 0;
  }
  SDL_Surface* copy = ydxfmt::SoftwareCopy(p->surface);
  ydxtile::sTileFields fields = {p->posx, p->posy, p->tileset, p->tilew, p->tileh, p->colorkey, (Uint8)p->alpha};
  std::vector<Uint8> bytes;
  bool encoded = copy && ydxtile::EncodeTileBlock(copy, fields, &bytes) && bytes.size() <= INT_MAX;
  if (copy) SDL_FreeSurface(copy);
  if (!encoded) {
    ILogSystem.Msg(0, " . [CTile::Save(%d,'%s')] Error: the tile surface could not be copied.\n", handle, type);
    return 0;
  }
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  CopyBounded(block.name, sizeof block.name, p->name);
  std::strcpy(block.type, type);
  block.mode = 0;
  block.size = (int)bytes.size();
  block.data = reinterpret_cast<char*>(bytes.data());
  return IStuffDPF->AddData(handle, &block);
}

int Yandorix_CTile::Save(const char* file, const char* type) {
  if (!file || !IStuffDPF) return 0;
  bool exists = ydxplat::Access(file, 0) == 0;
  int handle = exists ? IStuffDPF->Open(file) : IStuffDPF->Create(file);
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [CTile::Save('%s','%s')] Error: archive could not be opened.\n", file, Shown(type));
    return 0;
  }
  int result = Save(handle, type);
  IStuffDPF->Close(handle);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Drawing

namespace {

// The effect of a transform on an area of the tile: into `dest` when given, else a new surface.
SDL_Surface* ApplyTransform(SDL_Surface* surface, SDL_Rect* area, Transform transform, SDL_Surface* dest,
                            SDL_Rect* place) {
  switch (transform) {
    case kFlip: return IScreenFX->Flip(surface, area, dest, place);
    case kMirror: return IScreenFX->Mirror(surface, area, dest, place);
    case kRotate90: return IScreenFX->Rotate(surface, area, 0, 90.0, dest, place);
    case kRotate180: return IScreenFX->Rotate(surface, area, 0, 180.0, dest, place);
    case kRotate270: return IScreenFX->Rotate(surface, area, 0, 270.0, dest, place);
    default: return NULL;
  }
}

}  // namespace

// Transformed copies blend as the tile itself does: with its per-pixel alpha or its surface alpha
// (a translucent layer stays translucent where its tiles are flipped or turned).
static void MatchBlending(SDL_Surface* made, const sTilePrivate* p) {
  bool perPixel = p->perpixel && made->format->Amask;
  Uint32 flag = perPixel || p->alpha != 255 ? SDL_SRCALPHA : 0;
  Uint8 value = perPixel ? 255 : (Uint8)p->alpha;
  if ((made->flags & SDL_SRCALPHA) == flag && made->format->alpha == value) return;
  SDL_SetAlpha(made, flag | ((made->flags & SDL_RLEACCELOK) ? SDL_RLEACCEL : 0), value);
}

// The transformed tile is drawn centred on the tile's area, its colour key kept.
static void DrawTransformed(sTilePrivate* p, SDL_Surface* dest, SDL_Rect area, SDL_Rect place, Transform transform,
                            size_t tileIndex) {
  if (!IScreenFX) return;
  if (glSDL_IsTexture(p->surface)) {   // textures are transformed by the renderer itself
    int restored = ICursor ? ICursor->RestoreBG(&place) : 0;
    ApplyTransform(p->surface, &area, transform, dest, &place);
    if (restored == 1 && ICursor) ICursor->CopyBG();
    return;
  }
  SDL_Surface*& made = p->transformed[(Uint64)tileIndex * kTransforms + transform];
  if (!made) {
    made = ApplyTransform(p->surface, &area, transform, NULL, NULL);
    if (!made) return;
    // Kept for many draws: run-length coding makes keyed blits cheap and changes no pixel.
    if (made->flags & SDL_SRCCOLORKEY) SDL_SetColorKey(made, SDL_SRCCOLORKEY | SDL_RLEACCEL, made->format->colorkey);
  }
  MatchBlending(made, p);
  SDL_Rect at = {ToCoordinate(place.x + (area.w - made->w) / 2), ToCoordinate(place.y + (area.h - made->h) / 2),
                 (Uint16)made->w, (Uint16)made->h};
  Yandorix_Blit(made, NULL, dest, &at, NULL);
}

int Yandorix_CTile::Draw(SDL_Surface* dest, int id) {
  if (!p->created) return 0;
  if (!dest) dest = Yandorix.screen;
  if (!dest) {
    ILogSystem.Msg(0, " . [CTile::Draw()] Error: the given surface or Yandorix.screen are null.\n");
    return 0;
  }
  Transform transform = TransformOf((Uint32)id);
  Uint32 number = (Uint32)id & 0x1FFFFFFFu;
  SDL_Rect area = {0, 0, (Uint16)p->sizex, (Uint16)p->sizey};
  size_t tileIndex = 0;
  if (p->tileset) {
    if (number > (Uint32)p->count) {
      ILogSystem.Msg(2, " . [CTileEngine::Draw(%d)] Warning: the given tile id does not exist in current tileset.\n",
                     (int)number);
      return 0;
    }
    if (number == 0) return 0;
    tileIndex = number - 1;
    // Whole tiles only: the tile size, not the image size over the columns, so no column of the next
    // tile shows when the image is not a multiple of the tile size.
    area.x = (Sint16)((tileIndex % p->cols) * p->tilew);
    area.y = (Sint16)((tileIndex / p->cols) * p->tileh);
    area.w = (Uint16)p->tilew;
    area.h = (Uint16)p->tileh;
  }
  SDL_Rect place = {ToCoordinate(p->posx), ToCoordinate(p->posy), area.w, area.h};
  if (transform == kPlain) Yandorix_Blit(p->surface, &area, dest, &place, &p->backup);
  else DrawTransformed(p, dest, area, place, transform, tileIndex);
  return 1;
}

int Yandorix_CTile::SetTileSet(int enable, int tilew, int tileh) {
  if (!p->created) return 0;
  p->DropTransformed();
  if (!enable) {
    p->tileset = p->cols = p->rows = p->count = p->tilew = p->tileh = 0;
    return 0;
  }
  p->tilew = std::max(tilew, 1);
  p->tileh = std::max(tileh, 1);
  p->cols = p->sizex / p->tilew;
  p->rows = p->sizey / p->tileh;
  p->count = p->cols * p->rows;
  p->tileset = 1;
  return 1;
}

int Yandorix_CTile::GetOffset(int* w, int* h) const {
  if (!p->created) return 0;
  if (w) *w = p->tileset ? p->tilew : p->sizex;
  if (h) *h = p->tileset ? p->tileh : p->sizey;
  return p->tileset;
}

// ---------------------------------------------------------------------------------------------------
// Properties

void Yandorix_CTile::SetPosition(int x, int y) {
  if (!p->created) return;
  p->posx = x;
  p->posy = y;
}

int Yandorix_CTile::GetPosX() const { return p->created ? p->posx : 0; }
int Yandorix_CTile::GetPosY() const { return p->created ? p->posy : 0; }
int Yandorix_CTile::GetSizeX() const { return p->created ? p->sizex : 0; }
int Yandorix_CTile::GetSizeY() const { return p->created ? p->sizey : 0; }
SDL_Surface* Yandorix_CTile::GetSurface() const { return p->created ? p->surface : NULL; }
char* Yandorix_CTile::GetName() const { return p->created ? p->name : NULL; }

void Yandorix_CTile::SetName(const char* name) {
  if (!p->created || !name || std::strlen(name) >= sizeof p->name) return;
  std::strcpy(p->name, name);
}

int Yandorix_CTile::GetAlpha() const {
  if (!p->created) return -1;
  return p->perpixel ? 256 : p->alpha;
}

int Yandorix_CTile::GetColorKey() const { return p->created ? p->colorkey : -1; }

void Yandorix_CTile::SetAlpha(int alpha) {
  if (!p->created || alpha < 0 || alpha > 255 || p->perpixel || alpha == p->alpha) return;
  SDL_Surface* before = p->surface;
  ydxfmt::ChangeAlpha(&p->surface, p->alpha, alpha, "CTile", &p->backup);
  if (p->surface != before) p->DropTransformed();   // kept copies follow the alpha at their next draw
  p->alpha = alpha;
  if (p->colorkey != -1) p->TakeKeyFromSurface();   // a converted surface holds its key in its own format
}

void Yandorix_CTile::SetColorKey(int key) {
  if (!p->created || key == p->colorkey) return;
  p->DropTransformed();
  ydxfmt::ChangeColorKey(&p->surface, key, p->perpixel != 0, "CTile", &p->backup);
  if (!p->perpixel) p->colorkey = key;
}

void Yandorix_CTile::SetColorKey(int r, int g, int b) {
  if (!p->created) return;
  if (r == -1 || g == -1 || b == -1) SetColorKey(-1);
  else SetColorKey((int)SDL_MapRGB(p->surface->format, (Uint8)r, (Uint8)g, (Uint8)b));
}

void Yandorix_CTile::Info() const {
  if (!p->created) {
    ILogSystem.Msg(0, "\n . Tile information: current tile is empty.\n");
    return;
  }
  SDL_Surface* s = p->surface;
  ILogSystem.Msg(0, "\n . Tile information of '%s':\n", p->name);
  ydxres::LogSurfaceMemory(s);
  ILogSystem.Msg(0, "      -> Tile size: %dx%d - Color depth: %dbits - Position: (%d,%d)\n", s->w, s->h,
                 s->format->BitsPerPixel, p->posx, p->posy);
  ydxres::LogAlphaBlending(s);
  if ((s->flags & SDL_SRCCOLORKEY) && s->format->BitsPerPixel == 8)
    ILogSystem.Msg(0, "palette color number %d\n", (int)s->format->colorkey);
  else
    ydxres::LogColorKey(s);
  if (p->tileset)
    ILogSystem.Msg(0, "      -> Tileset: enabled - OffsetX: %d - OffsetY: %d - Number of tiles: %d\n", p->tilew,
                   p->tileh, p->count);
  else
    ILogSystem.Msg(0, "      -> Tileset: disabled\n");
  ILogSystem.Msg(0, "\n");
}
