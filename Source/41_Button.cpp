// GUI buttons: the service object, creation from descriptions and archive tiles, masters and their
// clones, layers, and the per-button settings. Input and drawing are in 41_ButtonFrame.cpp, the "BUT"
// blocks and the information dump in 41_ButtonBlock.cpp.
#include "01_Main.h"
#include "26_Tile.h"
#include "41_Button.h"
#include <algorithm>
#include <climits>
#include <cstring>

using namespace ydxbut;
using ydxres::CopyBounded;
using ydxres::Shown;

namespace ydxbut {

void ResetButton(sButton* b) {
  std::memset(b, 0, sizeof *b);
  b->free = 1;
  b->state = b->laststate = kNormal;
  b->visible = 1;
  b->mousemask = 1;
}

sButton* FindButton(sButtonPrivate* p, int id) {
  if (id <= 0 || id >= kFirstMaster + kMasters) return NULL;
  if (id >= kFirstMaster) {
    sButton* m = &p->masters[id - kFirstMaster];
    return m->free ? NULL : m;
  }
  int layer = id <= 100 ? 0 : id / 100;
  int slot = id <= 100 ? id - 1 : id % 100 - 1;
  if (layer >= kLayers || slot < 0 || slot >= kSlots) return NULL;
  return &p->layers[layer][slot];
}

sButton* FindUsed(sButtonPrivate* p, int id) {
  sButton* b = FindButton(p, id);
  return b && !b->free ? b : NULL;
}

int TileWidth(const Yandorix_CTile* tile) { return tile ? tile->GetSizeX() : 0; }
int TileHeight(const Yandorix_CTile* tile) { return tile ? tile->GetSizeY() : 0; }

}  // namespace ydxbut

namespace {

// The hit box by kind, from the position and the normal tile's size. A progress bar gets none when it
// is created and its first cell once it is placed.
void SetHitBox(sButton* b, bool creating) {
  int w = TileWidth(b->tile_n), h = TileHeight(b->tile_n);
  b->x1 = b->x;
  b->y1 = b->y;
  switch (b->kind) {
    case kBar:
      if (creating) {
        b->x2 = b->y2 = 0;
        return;
      }
      [[fallthrough]];
    case kPush:
    case kIcon:
      b->x2 = b->x + w - 1;
      b->y2 = b->y + h - 1;
      break;
    case kSlider:
      b->x1 = b->x + kSliderEnd;
      b->x2 = b->x + w - kSliderEnd;
      b->y2 = b->y + h;
      break;
    default:
      b->x2 = b->x + w;
      b->y2 = b->y + h;
      break;
  }
}

void MoveTiles(sButton* b) {
  for (Yandorix_CTile* tile : {b->tile_n, b->tile_p, b->tile_o})
    if (tile) tile->SetPosition(b->x, b->y);
  if (b->kind == kComplex && b->tile_s) b->tile_s->SetPosition(b->x, b->y);
}

void DeleteTiles(sButton* b) {
  delete b->tile_n;
  delete b->tile_s;
  delete b->tile_p;
  delete b->tile_o;
  b->tile_n = b->tile_s = b->tile_p = b->tile_o = NULL;
}

// The tiles `which` selects (0: all four).
int ChosenTiles(sButton* b, int which, Yandorix_CTile* out[4]) {
  int n = 0;
  if (which == 0 || which == kTileNormal) out[n++] = b->tile_n;
  if (which == 0 || which == kTileSelected) out[n++] = b->tile_s;
  if (which == 0 || which == kTilePressed) out[n++] = b->tile_p;
  if (which == 0 || which == kTileOff) out[n++] = b->tile_o;
  return n;
}

// The one tile a getter asks for; NULL for other choices or a tile the button lacks.
Yandorix_CTile* OneTile(sButton* b, int which) {
  switch (which) {
    case kTileNormal: return b->tile_n;
    case kTileSelected: return b->tile_s;
    case kTilePressed: return b->tile_p;
    case kTileOff: return b->tile_o;
    default: return NULL;
  }
}

int ClampToInt(Sint64 v) { return (int)std::min<Sint64>(std::max<Sint64>(v, INT_MIN), INT_MAX); }

int IdOf(int layer, int slot) { return layer * 100 + slot + 1; }

// Whatever changes how buttons look asks for a render (buttons draw only when one is needed); calls
// that change nothing ask for none.
void LookChanged() { Yandorix.RenderNeeded(1); }

// Deletes a layer button: a clone gives its master one clone less, any other button its tiles.
void RemoveButton(sButtonPrivate* p, sButton* b) {
  if (b->clone) {
    if (sButton* m = b->master >= kFirstMaster ? FindUsed(p, b->master) : NULL) m->master--;
  } else {
    DeleteTiles(b);
  }
  LetGo(p, b);
  ResetButton(b);
  p->count--;
}

}  // namespace

Yandorix_IButton::Yandorix_IButton() {
  p = new sButtonPrivate();
  std::memset(p->layervisible, 0, sizeof p->layervisible);
  p->currentlayer = 0;
  Yandorix.RenderNeeded(1);
  p->count = 0;
  for (auto& layer : p->layers)
    for (sButton& b : layer) ResetButton(&b);
  for (sButton& m : p->masters) ResetButton(&m);
  p->layervisible[0] = 1;
  p->editing = 0;
  p->self = this;
  ILogSystem.Msg(5, " . [IButton] Interfaz created.\n");
}

Yandorix_IButton::~Yandorix_IButton() {
  int left = Info(-2);
  if (left) {
    ILogSystem.Msg(2, " . [IButton] Warning! your application has left %d buttons without deleting.\n", left);
    Info(-1);
  }
  for (int layer = 0; layer < kLayers; ++layer) {
    SetLayer((char)layer);
    RemoveAll();
  }
  RemoveMaster(-1);
  delete p;
  ILogSystem.Msg(5, " . [IButton] Interfaz deleted.\n");
}

// ---------------------------------------------------------------------------------------------------
// Creation and removal

namespace {

// The button's tiles from "TILB2" blocks named after it; false (none kept) when any is missing.
bool LoadTiles(sButton* b, int handle, const char* name, int kind) {
  struct {
    Yandorix_CTile** tile;
    const char* suffix;
  } wanted[] = {{&b->tile_n, "_n"}, {&b->tile_p, "_p"}, {&b->tile_o, "_o"}, {&b->tile_s, "_s"}};
  bool all = true;
  for (auto& w : wanted) {
    if (w.tile == &b->tile_s && kind != kComplex) continue;
    *w.tile = new Yandorix_CTile();
    std::string block = std::string(name) + w.suffix;
    if (!(*w.tile)->Load(handle, block.c_str(), "TILB2")) all = false;
  }
  if (!all) DeleteTiles(b);
  return all;
}

}  // namespace

int Yandorix_IButton::Create(const IButtonNew* desc, const char* name, unsigned char master, int handle) {
  const char* archive = handle > 0 && IStuffDPF ? IStuffDPF->GetFilename(handle) : NULL;
  unsigned address = (unsigned)(uintptr_t)desc;
  const char* shownName = Shown(name);
  if (!desc || desc->colorselect == kRefusedColor || !ValidKind(desc->type) || handle < 1 || !name || !IStuffDPF) {
    ILogSystem.Msg(0, " . [IButton->Create(0x%x,'%s',%d,'%s')] Error: wrong parameters.\n", address, shownName,
                   master, Shown(archive));
    return -1;
  }
  if (std::strlen(name) > kMaxCreateName) {
    ILogSystem.Msg(0, " . [IButton->Create(0x%x,'%s',%d,'%s')] Error: button name too long, limit on 25 characters.\n",
                   address, name, master, Shown(archive));
    return -1;
  }
  sButton* b = NULL;
  int id = -1;
  if (master) {
    for (int i = 0; i < kMasters && !b; ++i)
      if (p->masters[i].free) b = &p->masters[i], id = kFirstMaster + i;
    if (!b) {
      ILogSystem.Msg(2, " . [IButton->Create(0x%x,'%s',%d,'%s')] Warning: we have reached the maximum master buttons "
                     "limit(%d).\n", address, name, master, Shown(archive), kMasters);
      return -1;
    }
  } else {
    for (int slot = 0; slot < kSlots && !b; ++slot)
      if (p->layers[p->currentlayer][slot].free) b = &p->layers[p->currentlayer][slot], id = IdOf(p->currentlayer, slot);
    if (!b) {
      ILogSystem.Msg(2, " . [IButton->Create(0x%x,'%s',%d,'%s')] Warning: we have reached maximum buttons number(%d) in "
                     "this layer(%d).\n", address, name, master, Shown(archive), kSlots, p->currentlayer);
      return -1;
    }
  }
  sButton made;
  ResetButton(&made);
  if (!LoadTiles(&made, handle, name, desc->type)) {
    ILogSystem.Msg(0, " . [IButton->Create(0x%x,'%s',%d,'%s')] Error: we could not find valid tiles for this kind of "
                   "button.\n", address, name, master, Shown(archive));
    return -1;
  }
  Uint32 c = desc->colorselect;
  SDL_Surface* screen = Yandorix.screen;
  made.callback = desc->callback;
  made.selectcolor = screen ? SDL_MapRGB(screen->format, (Uint8)(c >> 16), (Uint8)(c >> 8), (Uint8)c) : c;
  made.key = desc->key;
  made.kind = desc->type;
  made.id = id;
  made.free = 0;
  CopyBounded(made.name, sizeof made.name, name);
  if (desc->x || desc->y) {
    made.x = desc->x;
    made.y = desc->y;
    MoveTiles(&made);
  }
  SetHitBox(&made, true);
  int w = TileWidth(made.tile_n), h = TileHeight(made.tile_n);
  if (made.kind == kSlider || made.kind == kBar) {
    made.range = desc->range;
    made.value = desc->value;
  } else if (made.kind == kCheck) {
    made.range = kNormal;
  } else if (made.kind == kInput) {
    made.textrect[0] = desc->value;
    made.textrect[1] = desc->range;
    made.textrect[2] = ClampToInt((Sint64)w - 2 * (Sint64)desc->value - 1);
    made.textrect[3] = h - 2 * desc->range;
  }
  *b = made;
  b->bornAt = Yandorix_MouseEventsRecorded();
  if (!master) p->count++;
  LookChanged();
  ILogSystem.Msg(5, " . [IButton->Create(0x%x,'%s',%d,'%s')] Info: created new button(%d).\n", address, name, master,
                 Shown(archive), id);
  return id;
}

int Yandorix_IButton::Create(const IButtonNew* desc, const char* name, unsigned char master, const char* file) {
  if (!file || !IStuffDPF) return -1;
  int handle = IStuffDPF->Open(file);
  if (handle <= 0) return -1;
  int id = Create(desc, name, master, handle);
  IStuffDPF->Close(handle);
  return id;
}

int Yandorix_IButton::Clone(int masterid) {
  sButton* m = masterid >= kFirstMaster ? FindUsed(p, masterid) : NULL;
  if (!m) {
    ILogSystem.Msg(0, " . [IButton->Clone(%d)] Error: master button not found\n", masterid);
    return -1;
  }
  int slot = 0;
  while (slot < kSlots && !p->layers[p->currentlayer][slot].free) ++slot;
  if (slot == kSlots) {
    ILogSystem.Msg(2, " . [IButton->Clone(%d)] Warning: we have reached maximum buttons number(%d) in this layer(%d).\n",
                   masterid, kSlots, p->currentlayer);
    return -1;
  }
  sButton& b = p->layers[p->currentlayer][slot];
  b = *m;
  b.bornAt = Yandorix_MouseEventsRecorded();
  b.clone = 1;
  b.id = IdOf(p->currentlayer, slot);
  b.master = masterid;
  m->master++;
  p->count++;
  LookChanged();
  ILogSystem.Msg(5, " . [IButton->Clone(%d)] Info: added new clone button(%d).\n", masterid, slot);
  return b.id;
}

int Yandorix_IButton::Remove(int id) {
  if (id >= kFirstMaster) return 0;
  sButton* b = FindUsed(p, id);
  if (!b) return 0;
  RemoveButton(p, b);
  LookChanged();
  ILogSystem.Msg(5, " . [IButton->Remove(%d)] Info: button was deleted.\n", id);
  return 1;
}

int Yandorix_IButton::RemoveAll() {
  int removed = 0;
  for (sButton& b : p->layers[p->currentlayer])
    if (!b.free) {
      RemoveButton(p, &b);
      removed++;
    }
  if (removed) LookChanged();
  ILogSystem.Msg(5, " . [IButton->Remove()] Info: %d buttons of layer %d were deleted.\n", removed, p->currentlayer);
  return removed;
}

int Yandorix_IButton::RemoveMaster(int id) {
  if (id > 0 && (id < kFirstMaster || id >= kFirstMaster + kMasters)) return 0;
  int first = id < 0 ? 0 : id == 0 ? 0 : id - kFirstMaster;
  int last = id < 0 ? kMasters - 1 : first;
  int freed = 0;
  for (int i = first; i <= last; ++i) {
    sButton& m = p->masters[i];
    if (m.free) continue;
    int number = id < 0 ? id : i;
    if (m.master > 0) {
      ILogSystem.Msg(0, " . [IButton->FreeMaster(%d)] Warning: this master button still has %d cloned buttons!\n",
                     number, m.master);
      // Its clones stay but draw nothing from now on: the tiles they shared are gone.
      for (auto& layer : p->layers)
        for (sButton& b : layer)
          if (!b.free && b.clone && b.master == m.id) {
            b.tile_n = b.tile_s = b.tile_p = b.tile_o = NULL;
            b.master = 0;
          }
      LookChanged();
    }
    DeleteTiles(&m);
    ResetButton(&m);
    freed++;
    ILogSystem.Msg(5, " . [IButton->FreeMaster(%d)] Info: master button deleted.\n", number);
  }
  return freed;
}

// ---------------------------------------------------------------------------------------------------
// Layers

namespace {

// A hidden layer's buttons let go of their presses and of the clicks whose callbacks have not run.
void LetGoOfLayer(sButtonPrivate* p, int layer) {
  for (sButton& b : p->layers[layer])
    if (!b.free) LetGo(p, &b);
}

}  // namespace

void Yandorix_IButton::SetLayer(char layer) {
  Uint8 index = (Uint8)layer;
  if (index >= kLayers) return;
  Uint8 before[kLayers];
  std::memcpy(before, p->layervisible, sizeof before);
  std::memset(p->layervisible, 0, sizeof p->layervisible);
  p->currentlayer = index;
  p->layervisible[index] = 1;
  for (int other = 0; other < kLayers; ++other)
    if (before[other] && !p->layervisible[other]) LetGoOfLayer(p, other);
  if (std::memcmp(before, p->layervisible, sizeof before) != 0) LookChanged();
}

void Yandorix_IButton::SetLayerVisibility(char layer, char v) {
  Uint8 index = (Uint8)layer;
  if (index >= kLayers) return;
  Uint8 visible = v < 0 ? 0 : v > 1 ? 1 : (Uint8)v;
  if (visible == p->layervisible[index]) return;
  p->layervisible[index] = visible;
  if (!visible) LetGoOfLayer(p, index);
  LookChanged();
}

int Yandorix_IButton::GetLayer() { return p->currentlayer; }

int Yandorix_IButton::GetLayerVisibility(char layer) {
  Uint8 index = (Uint8)layer;
  return index < kLayers ? p->layervisible[index] : -1;
}

int Yandorix_IButton::GetNum() { return p->count; }

// ---------------------------------------------------------------------------------------------------
// Per button

void Yandorix_IButton::SetState(int id, char s) {
  sButton* b = FindUsed(p, id);
  if (!b || (s != kNormal && s != kSelected && s != kPressed && s != kAction && s != kDisabled)) return;
  if (s == kDisabled) LetGo(p, b);   // it acts on no click it had not run yet
  Uint8 stateBefore = b->state;
  int rangeBefore = b->range;
  if (b->kind != kCheck) {
    b->state = (Uint8)s;
  } else {
    bool disabled = b->state == kDisabled && b->range == kDisabled;
    if (s == kDisabled) {
      if (!disabled) b->value = b->range;
      b->state = kDisabled;
      b->range = kDisabled;
    } else {
      int next = disabled ? b->value : s;
      b->state = (Uint8)next;
      b->range = next;
    }
  }
  if (b->state != stateBefore || b->range != rangeBefore) LookChanged();
}

int Yandorix_IButton::GetState(int id) {
  sButton* b = FindUsed(p, id);
  if (!b) return -1;
  return b->kind == kCheck ? b->range : b->state;
}

void Yandorix_IButton::SetPosition(int id, int x, int y) {
  sButton* b = FindUsed(p, id);
  if (!b) return;
  bool moved = b->x != x || b->y != y;
  b->x = x;
  b->y = y;
  MoveTiles(b);
  SetHitBox(b, false);
  if (moved) LookChanged();
}

void Yandorix_IButton::SetAlpha(int id, int which, int alpha) {
  sButton* b = FindUsed(p, id);
  Yandorix_CTile* tiles[4];
  int n = b ? ChosenTiles(b, which, tiles) : 0;
  for (int i = 0; i < n; ++i)
    if (tiles[i]) tiles[i]->SetAlpha(alpha);
  if (n) LookChanged();
}

void Yandorix_IButton::SetColorKey(int id, int which, int key) {
  sButton* b = FindUsed(p, id);
  Yandorix_CTile* tiles[4];
  int n = b ? ChosenTiles(b, which, tiles) : 0;
  for (int i = 0; i < n; ++i)
    if (tiles[i]) tiles[i]->SetColorKey(key);
  if (n) LookChanged();
}

void Yandorix_IButton::SetColorKey(int id, int which, int r, int g, int b) {
  sButton* button = FindUsed(p, id);
  Yandorix_CTile* tiles[4];
  int n = button ? ChosenTiles(button, which, tiles) : 0;
  for (int i = 0; i < n; ++i)
    if (tiles[i]) tiles[i]->SetColorKey(r, g, b);
  if (n) LookChanged();
}

int Yandorix_IButton::GetAlpha(int id, int which) {
  sButton* b = FindUsed(p, id);
  Yandorix_CTile* tile = b ? OneTile(b, which) : NULL;
  return tile ? tile->GetAlpha() : -1;
}

int Yandorix_IButton::GetColorKey(int id, int which) {
  sButton* b = FindUsed(p, id);
  Yandorix_CTile* tile = b ? OneTile(b, which) : NULL;
  return tile ? tile->GetColorKey() : -1;
}

SDL_Surface* Yandorix_IButton::GetSurface(int id, int which) {
  sButton* b = FindUsed(p, id);
  Yandorix_CTile* tile = b ? OneTile(b, which) : NULL;
  return tile ? tile->GetSurface() : NULL;
}

void Yandorix_IButton::SetFunction(int id, void (*callback)(void*, void*), void* param1, void* param2) {
  if (sButton* b = FindUsed(p, id)) {
    b->callback = callback;
    b->param1 = param1;
    b->param2 = param2;
  }
}

void Yandorix_IButton::SetValue(int id, int v) {
  sButton* b = FindUsed(p, id);
  if (!b || (b->kind != kSlider && b->kind != kBar)) return;
  int value = v < 0 ? 0 : v > b->range ? b->range : v;
  if (value == b->value) return;
  b->value = value;
  LookChanged();
}

int Yandorix_IButton::GetValue(int id) {
  sButton* b = FindUsed(p, id);
  return b && (b->kind == kSlider || b->kind == kBar) ? b->value : -1;
}

int Yandorix_IButton::GetRange(int id) {
  sButton* b = FindUsed(p, id);
  return b && (b->kind == kSlider || b->kind == kBar) ? b->range : -1;
}

void Yandorix_IButton::SetVisible(int id, unsigned char v) {
  sButton* b = FindUsed(p, id);
  if (!b || b->visible == v) return;
  b->visible = v;
  if (!v) LetGo(p, b);   // shown again at once, it still acts on no click from before
  LookChanged();
}

void Yandorix_IButton::SetMouseButtons(int id, int mask) {
  sButton* b = FindUsed(p, id);
  if (b && mask >= 1 && mask <= 7) b->mousemask = (Uint32)mask;
}

int Yandorix_IButton::GetMouseButtons(int id) {
  sButton* b = FindUsed(p, id);
  return b ? (int)b->mousemask : -1;
}

void Yandorix_IButton::SetKey(int id, int key) {
  if (sButton* b = FindUsed(p, id)) b->key = (Uint16)key;
}

int Yandorix_IButton::GetKey(int id) {
  sButton* b = FindUsed(p, id);
  return b ? b->key : 0;
}

void Yandorix_IButton::SetColorSelect(int id, int pixel) {
  if (sButton* b = FindUsed(p, id)) b->selectcolor = (Uint32)pixel;
}

void Yandorix_IButton::SetColorSelect(int id, int r, int g, int b) {
  sButton* button = FindUsed(p, id);
  SDL_Surface* normal = button && button->tile_n ? button->tile_n->GetSurface() : NULL;
  if (normal) button->selectcolor = SDL_MapRGB(normal->format, (Uint8)r, (Uint8)g, (Uint8)b);
}

int Yandorix_IButton::GetColorSelect(int id) {
  sButton* b = FindUsed(p, id);
  return b ? (int)b->selectcolor : 0;
}

char* Yandorix_IButton::GetName(int id) {
  sButton* b = FindButton(p, id);
  return b ? b->name : NULL;
}

void Yandorix_IButton::SetName(int id, const char* name) {
  sButton* b = FindButton(p, id);
  if (b && name) CopyBounded(b->name, sizeof b->name, name);
}

void Yandorix_IButton::SetTextFont(int id, Yandorix_CFont* font) {
  sButton* b = FindUsed(p, id);
  if (!b || b->kind != kInput || !font) return;
  b->font = font;
  const char* fontName = font->GetName();
  CopyBounded(b->fontname, sizeof b->fontname, fontName ? fontName : "none");
  if (b->textrect[1] == 0) {
    int h = TileHeight(b->tile_n);
    b->textrect[1] = (h - font->StringHeight()) / 2 + 1;
    b->textrect[3] = h + 1 - 2 * b->textrect[1];
  }
  LookChanged();
}

void Yandorix_IButton::SetTextRect(int id, SDL_Rect* r) {
  sButton* b = FindUsed(p, id);
  if (!b || b->kind != kInput || !r) return;
  b->textrect[0] = r->x;
  b->textrect[1] = r->y;
  b->textrect[2] = r->w;
  b->textrect[3] = r->h;
  LookChanged();
}

void Yandorix_IButton::SetText(int id, const char* text) {
  sButton* b = FindUsed(p, id);
  if (!b || b->kind != kInput || !b->font || !text) return;
  CopyBounded(b->text, sizeof b->text, text);
  int room = b->textrect[2] - b->font->StringWidth("m");
  size_t length = std::strlen(b->text);
  while (length > 0 && b->font->StringWidth(b->text) > room) b->text[--length] = '\0';
  LookChanged();
}

char* Yandorix_IButton::GetText(int id) {
  sButton* b = FindUsed(p, id);
  return b && b->kind == kInput ? b->text : NULL;
}

void Yandorix_IButton::ForceDraw() {}
