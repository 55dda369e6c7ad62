// Button descriptions in archives: the 24-byte "BUT" block codec and its checks, saving, loading (a
// whole button from one archive: its description and its tiles), deleting, and the information dump
// of every button and master.
#include "01_Main.h"
#include "00_Platform.h"
#include "26_Tile.h"
#include "41_Button.h"
#include <cstring>

using namespace ydxbut;
using ydxres::Get32;
using ydxres::Put32;
using ydxres::Shown;

// ---------------------------------------------------------------------------------------------------
// The codec

namespace ydxbut {

const char* KindName(int kind) {
  switch (kind) {
    case kPush: return "Normal button";
    case kIcon: return "Icon (deprecated)";
    case kComplex: return "Complex button";
    case kSlider: return "Slider";
    case kBar: return "Progress bar";
    case kCheck: return "Check button";
    case kInput: return "Input box";
    default: return "Unknown";
  }
}

const char* StateName(int state) {
  switch (state) {
    case kNormal: return "Normal";
    case kSelected: return "Selected";
    case kPressed: return "Pressed";
    case kAction: return "Action";
    case kDisabled: return "Disabled";
    default: return "Unknown";
  }
}

bool ValidKind(int kind) {
  return kind == kPush || kind == kIcon || kind == kComplex || kind == kSlider || kind == kBar || kind == kCheck ||
         kind == kInput;
}

static void Put16(Uint8* at, Uint16 value) {
  at[0] = (Uint8)value;
  at[1] = (Uint8)(value >> 8);
}

static Uint16 Get16(const Uint8* at) { return (Uint16)(at[0] | at[1] << 8); }

void EncodeDescription(const IButtonNew& desc, Uint8 out[kDescriptionSize]) {
  std::memset(out, 0, kDescriptionSize);   // the callback word and the padding
  Put16(out + 4, desc.key);
  out[6] = desc.type;
  Put32(out + 8, desc.colorselect);
  Put16(out + 12, desc.x);
  Put16(out + 14, desc.y);
  Put16(out + 16, desc.range);
  Put32(out + 20, (Uint32)desc.value);
}

IButtonNew DecodeDescription(const Uint8 in[kDescriptionSize]) {
  IButtonNew desc;
  desc.callback = NULL;
  desc.key = Get16(in + 4);
  desc.type = in[6];
  desc.colorselect = Get32(in + 8);
  desc.x = Get16(in + 12);
  desc.y = Get16(in + 14);
  desc.range = Get16(in + 16);
  desc.value = (Sint32)Get32(in + 20);
  return desc;
}

bool DescribesAButton(const IButtonNew& desc, std::string* why) {
  if (!ValidKind(desc.type)) {
    *why = "kind " + std::to_string(desc.type) + " is none of the button kinds";
    return false;
  }
  if (desc.colorselect == kRefusedColor) {
    *why = "selection colour 0xFFFFFFFF";
    return false;
  }
  return true;
}

int CheckKeyAndRange(const IButtonNew& desc, std::string* why) {
  if (desc.key > kMaxKey) {
    *why = "key " + std::to_string(desc.key) + " above 321";
    return -6;
  }
  bool ranged = desc.type == kSlider || desc.type == kBar;
  if (ranged && (desc.range >= 256 || desc.value < 0 || desc.value > desc.range)) {
    *why = "range " + std::to_string(desc.range) + " with value " + std::to_string(desc.value);
    return -7;
  }
  return 0;
}

}  // namespace ydxbut

// ---------------------------------------------------------------------------------------------------
// Archive operations

namespace {

const char* const kTileSuffixes[] = {"_p", "_n", "_o", "_s"};

// Whether a block of that type and name is in the archive.
bool HasBlock(int handle, const char* type, const std::string& name) {
  if (name.size() >= sizeof(DPF_BlockData{}.name)) return false;
  DPF_BlockData probe;
  std::memset(&probe, 0, sizeof probe);
  ydxres::CopyBounded(probe.name, sizeof probe.name, name.c_str());
  ydxres::CopyBounded(probe.type, sizeof probe.type, type);
  return IStuffDPF->Search(handle, &probe) == 1;
}

bool DeleteBlock(int handle, const char* type, const std::string& name) {
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  ydxres::CopyBounded(block.name, sizeof block.name, name.c_str());
  ydxres::CopyBounded(block.type, sizeof block.type, type);
  return IStuffDPF->Delete(handle, &block) == 1;
}

// An archive for a file-name form: opened, or for saving created when it does not exist yet.
int OpenArchive(const char* file, bool createMissing) {
  if (!file || !IStuffDPF) return 0;
  if (createMissing && ydxplat::Access(file, 0) != 0) return IStuffDPF->Create(file);
  return IStuffDPF->Open(file);
}

}  // namespace

int Yandorix_IButton::Save(int handle, const char* name, const IButtonNew* desc) {
  std::string why;
  // A selection colour creation refuses would make a block that can never be loaded again.
  if (!name || handle <= 0 || !desc || !IStuffDPF || !ValidKind(desc->type) || desc->colorselect == 0xFFFFFFFF ||
      std::strlen(name) > kMaxCreateName)
    return 0;
  static const int kMissingCodes[] = {-3, -2, -4, -5};
  for (int i = 0; i < 4; ++i) {
    if (i == 3 && desc->type != kComplex) break;
    if (!HasBlock(handle, "TILB2", std::string(name) + kTileSuffixes[i])) return kMissingCodes[i];
  }
  int check = CheckKeyAndRange(*desc, &why);
  if (check) return check;
  Uint8 bytes[kDescriptionSize];
  EncodeDescription(*desc, bytes);
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  ydxres::CopyBounded(block.name, sizeof block.name, name);
  std::strcpy(block.type, "BUT");
  block.mode = 0;
  block.size = kDescriptionSize;
  block.data = reinterpret_cast<char*>(bytes);
  return IStuffDPF->AddData(handle, &block);
}

int Yandorix_IButton::Save(const char* file, const char* name, const IButtonNew* desc) {
  int handle = OpenArchive(file, true);
  if (handle <= 0) return 0;
  int result = Save(handle, name, desc);
  IStuffDPF->Close(handle);
  return result;
}

int Yandorix_IButton::Load(int handle, const char* name, unsigned char master) {
  if (!name || handle <= 0 || !IStuffDPF) return -1;
  const char* archive = Shown(IStuffDPF->GetFilename(handle));
  if (!HasBlock(handle, "BUT", name)) {
    ILogSystem.Msg(0, " . [IButton->Load('%s','%s',%d)] Error: button not found.\n", name, archive, master);
    return -1;
  }
  ydxres::LoadedBlock loaded;
  if (!loaded.Load(handle, "BUT", name)) {
    ILogSystem.Msg(0, " . [IButton->Load('%s','%s',%d)] Error: load 'BUT' block of DPF failed!.\n", name, archive,
                   master);
    return -1;
  }
  if (loaded.Size() != kDescriptionSize) {
    ILogSystem.Msg(0, " . [IButton->Load('%s','%s',%d)] Error: 'BUT' block of %d bytes; a button description holds "
                   "24.\n", name, archive, master, (int)loaded.Size());
    return -1;
  }
  IButtonNew desc = DecodeDescription(loaded.Bytes());
  std::string why;
  if (!DescribesAButton(desc, &why) || CheckKeyAndRange(desc, &why) != 0) {
    ILogSystem.Msg(0, " . [IButton->Load('%s','%s',%d)] Error: the stored button description is refused: %s.\n", name,
                   archive, master, why.c_str());
    return -1;
  }
  int id = Create(&desc, name, master, handle);
  ILogSystem.Msg(5, " . [IButton->Load('%s','%s',%d)] Info: added new button(%d).\n", name, archive, master, id);
  return id;
}

int Yandorix_IButton::Load(const char* file, const char* name, unsigned char master) {
  int handle = OpenArchive(file, false);
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [IButton->Load('%s','%s',%d)] Error: archive could not be opened.\n", Shown(name), Shown(file),
                   master);
    return 0;
  }
  int id = Load(handle, name, master);
  IStuffDPF->Close(handle);
  return id;
}

int Yandorix_IButton::LoadHeader(int handle, const char* name, IButtonNew* out) {
  if (!name || handle <= 0 || !out || !IStuffDPF) return 0;
  ydxres::LoadedBlock loaded;
  if (!loaded.Load(handle, "BUT", name)) return 0;
  if (loaded.Size() != kDescriptionSize) {
    ILogSystem.Msg(0, " . [IButton->LoadHeader('%s','%s')] Error: 'BUT' block of %d bytes; a button description holds "
                   "24.\n", name, Shown(IStuffDPF->GetFilename(handle)), (int)loaded.Size());
    return 0;
  }
  *out = DecodeDescription(loaded.Bytes());
  return 1;
}

int Yandorix_IButton::LoadHeader(const char* file, const char* name, IButtonNew* out) {
  int handle = OpenArchive(file, false);
  if (handle <= 0) return 0;
  int result = LoadHeader(handle, name, out);
  IStuffDPF->Close(handle);
  return result;
}

int Yandorix_IButton::Delete(int handle, const char* name) {
  if (!name || handle <= 0 || !IStuffDPF || !HasBlock(handle, "BUT", name)) return 0;
  DeleteBlock(handle, "BUT", name);
  if (std::strlen(name) > kMaxCreateName) return 0;   // such a button has no tiles of its own name
  for (const char* suffix : kTileSuffixes) {
    std::string tile = std::string(name) + suffix;
    if (HasBlock(handle, "TILB2", tile)) DeleteBlock(handle, "TILB2", tile);
  }
  return 1;
}

int Yandorix_IButton::Delete(const char* file, const char* name) {
  int handle = OpenArchive(file, false);
  if (handle <= 0) return 0;
  int result = Delete(handle, name);
  IStuffDPF->Close(handle);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// The information dump

namespace {

void LogTile(const char* label, Yandorix_CTile* tile) {
  SDL_Surface* s = tile ? tile->GetSurface() : NULL;
  if (!s) return;
  ILogSystem.Msg(0, "             + %s state button of %d Kb located at %s (%dx%d with %dbits)\n", label,
                 s->h * s->pitch / 1024, (s->flags & SDL_HWSURFACE) ? "video memory" : "system memory", s->w, s->h,
                 s->format->BitsPerPixel);
  ILogSystem.Msg(0, "                Alpha blending: ");
  if ((s->flags & SDL_SRCALPHA) && s->format->alpha == 255) ILogSystem.Msg(0, "per-pixel");
  else if (s->flags & SDL_SRCALPHA) ILogSystem.Msg(0, "per-surface (%d)", s->format->alpha);
  else ILogSystem.Msg(0, "disabled");
  ILogSystem.Msg(0, " - Colorkey: ");
  ydxres::LogColorKey(s);
}

void LogTiles(const sButton& b) {
  LogTile("Normal", b.tile_n);
  LogTile("Press", b.tile_p);
  LogTile("Select", b.tile_s);
  LogTile("Off", b.tile_o);
}

void LogRangeOrText(const sButton& b) {
  if (b.kind == kInput) {
    ILogSystem.Msg(0, "Font: '%s' - Value: '%s'\n", b.font ? b.fontname : "none", b.text);
  } else {
    ILogSystem.Msg(0, "Range: %d - Value: %d\n", b.range, b.value);
  }
}

void LogKeyAndMouse(const char* lead, const sButton& b) {
  std::string mouse;
  if (b.mousemask & 1) mouse += "left ";
  if (b.mousemask & 2) mouse += "middle ";
  if (b.mousemask & 4) mouse += "right ";
  const char* key = b.key == 0 ? "none" : b.key < SDLK_LAST ? SDL_GetKeyName((SDLKey)b.key) : "unknown key";
  ILogSystem.Msg(0, "%s+ Associated key: '%s' - Mouse sensibility: ' %s' buttons.\n", lead, key, mouse.c_str());
}

void LogButton(const sButton& b) {
  ILogSystem.Msg(0, "\n        # Button name '%s' - ID '%d':\n", b.name, b.id);
  ILogSystem.Msg(0, "          + Type: '%s' - Visible: '%s' - Position: (%d,%d) - SelectBox: %d\n", KindName(b.kind),
                 b.visible ? "yes" : "no", b.x, b.y, (int)b.selectcolor);
  ILogSystem.Msg(0, "          + State: '%s' - Last state: '%s' - ", StateName(b.state), StateName(b.laststate));
  LogRangeOrText(b);
  LogKeyAndMouse("          ", b);
  if (b.clone) ILogSystem.Msg(0, "          + Cloned button. MasterID '%d'.\n", b.master);
  else LogTiles(b);
}

// The bytes of tiles a master's clones do not hold themselves (one set serves them all); a master
// without clones costs its set.
double SavedBytes(const sButton& m) {
  Sint64 bytes = 0;
  for (Yandorix_CTile* tile : {m.tile_n, m.tile_s, m.tile_p, m.tile_o})
    if (SDL_Surface* s = tile ? tile->GetSurface() : NULL) bytes += (Sint64)s->h * s->pitch;
  return (double)(bytes * (m.master - 1));
}

double LogMaster(const sButton& m) {
  double saved = SavedBytes(m);
  ILogSystem.Msg(0, "\n     -> Button name '%s' - MasterID '%d':\n", m.name, m.id);
  ILogSystem.Msg(0, "         + Cloned buttons: %d - Saved memory: %.1f Kbytes\n", m.master, saved / 1024);
  ILogSystem.Msg(0, "         + Type: '%s' - Visible: '%s' - Position: (%d,%d) - SelectBox: %d\n", KindName(m.kind),
                 m.visible ? "yes" : "no", m.x, m.y, (int)m.selectcolor);
  if (m.kind == kCheck)
    ILogSystem.Msg(0, "        + State: '%s' - Last state: '%s' - ", StateName(m.range), StateName(m.laststate));
  else
    ILogSystem.Msg(0, "         + State: '%s' - Last state: '%s' - ", StateName(m.state), StateName(m.laststate));
  LogRangeOrText(m);
  LogKeyAndMouse("         ", m);
  LogTiles(m);
  return saved;
}

}  // namespace

int Yandorix_IButton::Info(int id) {
  int masters = 0, used = 0, clones = 0;
  for (const sButton& m : p->masters) masters += m.free ? 0 : 1;
  for (const auto& layer : p->layers)
    for (const sButton& b : layer)
      if (!b.free) {
        used++;
        clones += b.clone ? 1 : 0;
      }
  if (id != -2) ILogSystem.Msg(0, "\n . IButton information:\n");
  if (id >= 0 && id < kFirstMaster) {
    if (const sButton* b = FindButton(p, id)) LogButton(*b);
  } else if (id >= kFirstMaster) {
    if (const sButton* m = FindButton(p, id)) LogMaster(*m);
  } else if (id == -1) {
    ILogSystem.Msg(0, "\n   - Masterbuttons: %d - Cloned buttons: %d - Total working buttons: %d - Current layer %d.\n",
                   masters, clones, used, p->currentlayer);
    ILogSystem.Msg(0, "\n   - Dumping Master button list:");
    if (!masters) ILogSystem.Msg(0, " None\n");
    ILogSystem.Msg(0, "\n");
    double saved = 0;
    for (const sButton& m : p->masters)
      if (!m.free) saved += LogMaster(m);
    if (masters) ILogSystem.Msg(0, "\n     -> Total saved memory: %.1f KBytes\n", saved / 1024);
    ILogSystem.Msg(0, "\n   - Dumping Working layer list:\n");
    for (int layer = 0; layer < kLayers; ++layer) {
      ILogSystem.Msg(0, "\n     -> Layer %d - %s state\n", layer, p->layervisible[layer] ? "Visible" : "Hidden");
      for (const sButton& b : p->layers[layer])
        if (!b.free) LogButton(b);
    }
  }
  // Each button once: clones are layer buttons like any other.
  return masters + used;
}
