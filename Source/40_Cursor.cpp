// The software mouse cursor: 32 image slots with their hot spots, the position (clipped, optionally
// gliding between logic frames) and, on screens that are not redrawn whole every frame, the screen area
// under the cursor, kept so that every other drawing can give it back first and save it again after.
// The kept area never holds the cursor itself: it is taken only while the cursor is off the screen.
#include "01_Main.h"
#include "14_Image.h"
#include "20_Primitives.h"
#include "25_BlitRule.h"
#include "glSDL.h"
#include <algorithm>
#include <cmath>

namespace {

enum { kSlots = 32, kNoSlot = 255, kTypes = 5 };

const char* const kTypeNames[kTypes] = {"Normal", "Hot spot X on width size", "Hot spot Y on height size",
                                        "Hot spot X/Y on width/height sizes", "Center"};

Uint8 LimitType(char type) { return (Uint8)std::min(std::max((int)type, 0), kTypes - 1); }

Sint16 ToCoordinate(long v) { return (Sint16)std::min(std::max(v, -32768L), 32767L); }

bool SameRect(const SDL_Rect& a, const SDL_Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

// Inclusive edges: rectangles that only share a border row or column meet.
bool Meet(const SDL_Rect& a, const SDL_Rect& b) {
  return !(a.x + a.w - 1 < b.x || b.x + b.w - 1 < a.x || a.y + a.h - 1 < b.y || b.y + b.h - 1 < a.y);
}

// Where an image of w x h goes for the mouse at (x, y), by its hot-spot type.
SDL_Rect PlaceFor(Uint8 type, long x, long y, int w, int h) {
  long left = x, top = y;
  if (type == 1 || type == 3) left = x - w;
  if (type == 2 || type == 3) top = y - h;
  if (type == 4) {
    left = x - (w >> 1);
    top = y - (h >> 1);
  }
  return SDL_Rect{ToCoordinate(left), ToCoordinate(top), (Uint16)w, (Uint16)h};
}

struct sCursorSlot {
  SDL_Surface* image = NULL;
  SDL_Surface* background = NULL;   // the screen under the cursor, same size as the image
  Uint8 type = 0;
  Yandorix_PixelCopy backup;        // each image its own, so a repair never writes another's pixels
};

}  // namespace

struct sCursorPrivate {
  Uint8 shown = 0;
  Uint8 initialised = 0;
  Uint8 autorestore = 0;
  Uint8 bgvalid = 0;   // the current slot's background holds the screen under `bgrect`
  sCursorSlot slots[kSlots];
  Uint8 current = kNoSlot;
  float targetx = 0, targety = 0;
  float savedx = 0, savedy = 0;
  float drawnx = 0, drawny = 0;
  Uint8 smooth = 1;
  Sint16 clipx = 0, clipy = 0;
  Uint16 clipxlimit = 0, clipylimit = 0;
  SDL_Rect rect = {0, 0, 0, 0};     // where the image is drawn this frame
  SDL_Rect bgrect = {0, 0, 0, 0};   // where the background was taken (and the cursor last drawn)
  Uint8 redraw = 0;

  // The selected slot when it holds an image; NULL otherwise (nothing selected yet, or deleted).
  sCursorSlot* Current() {
    if (current >= kSlots || !slots[current].image) return NULL;
    return &slots[current];
  }
  bool Guarding() { return initialised && shown && autorestore && Current() && Yandorix.screen; }
};

Yandorix_ICursor::Yandorix_ICursor() {
  p = new sCursorPrivate();
  ILogSystem.Msg(5, " . [ICursor] Interfaz created.\n");
}

Yandorix_ICursor::~Yandorix_ICursor() {
  Close();
  delete p;
  ILogSystem.Msg(5, " . [ICursor] Interfaz deleted.\n");
}

void Yandorix_ICursor::Init() {
  SDL_Surface* screen = Yandorix.screen;
  if (!screen) {
    ILogSystem.Msg(0, " . [ICursor->Init()] Error: Yandorix.screen was not initialized.\n");
    return;
  }
  SDL_ShowCursor(0);
  p->clipxlimit = (Uint16)screen->w;
  p->clipylimit = (Uint16)screen->h;
  SDL_WarpMouse((Uint16)(screen->w / 2), (Uint16)(screen->h / 2));
  p->autorestore = !(screen->flags & SDL_DOUBLEBUF) && !Yandorix.IsGL() ? 1 : 0;
  p->bgvalid = 0;   // a new screen: whatever was kept belongs to the old one
  p->initialised = 1;
}

void Yandorix_ICursor::Close() {
  SDL_ShowCursor(1);
  for (int slot = 0; slot < kSlots; ++slot) Delete((char)slot);
  p->initialised = 0;
}

// ---------------------------------------------------------------------------------------------------
// Creation

int Yandorix_ICursor::Create(SDL_Surface* image, char type) {
  unsigned address = (unsigned)(uintptr_t)image;
  if (!p->initialised) {
    ILogSystem.Msg(0, " . [ICursor->Create(0x%x,%d)] Error: ICursor was not initialized.\n", address, type);
    return -1;
  }
  if (!image || image->w < 1 || image->h < 1) return -1;
  Uint8 hotspot = LimitType(type);
  int slot = 0;
  while (slot < kSlots && p->slots[slot].image) ++slot;
  if (slot == kSlots) return -1;

  SDL_Surface* copy = SDL_ConvertSurface(image, image->format, image->flags);
  if (!copy) return -1;
  copy->format->colorkey = image->format->colorkey;
  copy->format->alpha = image->format->alpha;
  bool perPixel = (image->flags & SDL_SRCALPHA) && image->format->alpha == 255;
  if (!perPixel && image->format->colorkey == (Uint32)-1 && ydxpix::LockForAccess(copy)) {
    Uint32 corner = ydxpix::ReadUnchecked(copy, 0, 0);
    ydxpix::UnlockAfterAccess(copy);
    SDL_SetColorKey(copy, SDL_SRCCOLORKEY, corner);
  }
  if (SurfaceDiffersFromScreen(copy)) {
    if (SDL_Surface* converted = ydxfmt::DisplayCopy(copy, perPixel)) {
      SDL_FreeSurface(copy);
      copy = converted;
    }
  }
  bool isGL = Yandorix.IsGL() != 0;
  SDL_Surface* background = NULL;
  if (!isGL) {
    // Plain pixels only: the background is put back exactly as it was taken.
    background = SDL_ConvertSurface(copy, copy->format, copy->flags & ~(SDL_SRCCOLORKEY | SDL_SRCALPHA | SDL_RLEACCEL));
    if (!background) {
      SDL_FreeSurface(copy);
      return -1;
    }
    SDL_SetAlpha(background, 0, 255);
    SDL_FillRect(background, NULL, SDL_MapRGB(background->format, 255, 0, 0));
    SDL_SetColorKey(background, 0, 0);
  }
  if (isGL && glSDL_SurfaceToTexture(copy)) ++Yandorix_TexturesAtLoad;

  sCursorSlot& entry = p->slots[slot];
  entry.image = copy;
  entry.background = background;
  entry.type = hotspot;
  entry.backup.Clear();
  if (Yandorix.backupsurfaces) entry.backup.Take(copy);
  ILogSystem.Msg(5, " . [ICursor->Create(0x%x,%d)] Info: cursor created.\n", address, type);
  return slot;
}

int Yandorix_ICursor::Create(const char* file, char type) {
  if (!p->initialised) {
    ILogSystem.Msg(0, " . [ICursor->Create('%s',%d)] Error: ICursor was not initialized.\n", file ? file : "", type);
    return -1;
  }
  if (!file) return -1;
  type = (char)LimitType(type);
  SDL_Surface* loaded = ydximg::LoadUnconverted(file);   // the caller's conversion setting is kept
  if (!loaded) {
    ILogSystem.Msg(0, " . [ICursor->Create('%s',%d)] Error: it was not possible to load the given image file.\n",
                   file, type);
    return -1;
  }
  bool perPixel = (loaded->flags & SDL_SRCALPHA) && loaded->format->alpha == 255;
  if (!perPixel && loaded->w > 0 && loaded->h > 0 && ydxpix::LockForAccess(loaded)) {
    Uint32 corner = ydxpix::ReadUnchecked(loaded, 0, 0);
    ydxpix::UnlockAfterAccess(loaded);
    SDL_SetColorKey(loaded, SDL_SRCCOLORKEY, corner);
    SDL_SetAlpha(loaded, 0, 255);
  }
  int slot = Create(loaded, type);
  SDL_FreeSurface(loaded);
  return slot;
}

// An "IMG" block as it is stored; the application's conversion setting is given back afterwards.
static SDL_Surface* LoadBlockUnconverted(int handle, const char* file, const char* block) {
  if (!IImage) return NULL;
  int savedSwitch = Yandorix_AutoConvert;
  Yandorix_AutoConvert = 0;
  SDL_Surface* loaded = file ? IImage->Load(file, block, NULL) : IImage->Load(handle, block, NULL);
  Yandorix_AutoConvert = savedSwitch;
  return loaded;
}

int Yandorix_ICursor::Load(const char* file, const char* block, char type) {
  if (!p->initialised) {
    ILogSystem.Msg(0, " . [ICursor->Load('%s','%s',%d)] Error: ICursor was not initialized.\n", file ? file : "",
                   block ? block : "", type);
    return -1;
  }
  if (!file || !block) return -1;
  type = (char)LimitType(type);
  SDL_Surface* loaded = LoadBlockUnconverted(0, file, block);
  if (!loaded) return -1;
  int slot = Create(loaded, type);
  SDL_FreeSurface(loaded);
  return slot;
}

int Yandorix_ICursor::Load(int handle, const char* block, char type) {
  if (!p->initialised) {
    const char* archive = IStuffDPF ? IStuffDPF->GetFilename(handle) : NULL;
    ILogSystem.Msg(0, " . [ICursor->Load('%s','%s',%d)] Error: ICursor was not initialized.\n", archive ? archive : "",
                   block ? block : "", type);
    return -1;
  }
  if (handle <= 0 || !block) return -1;
  type = (char)LimitType(type);
  SDL_Surface* loaded = LoadBlockUnconverted(handle, NULL, block);
  if (!loaded) return -1;
  int slot = Create(loaded, type);
  SDL_FreeSurface(loaded);
  return slot;
}

void Yandorix_ICursor::Delete(char slot) {
  Uint8 index = (Uint8)slot;
  if (index >= kSlots || !p->slots[index].image) return;
  if (index == p->current) {
    RestoreBG(NULL);   // the deleted cursor leaves nothing behind on the screen
    p->current = kNoSlot;
    p->bgvalid = 0;
  }
  sCursorSlot& entry = p->slots[index];
  SDL_FreeSurface(entry.image);
  entry.image = NULL;
  if (entry.background) SDL_FreeSurface(entry.background);
  entry.background = NULL;
  entry.backup.Clear();
  ILogSystem.Msg(5, " . [ICursor->Delete(%d)] Info: cursor deleted.\n", slot);
}

// ---------------------------------------------------------------------------------------------------
// Selection, visibility and settings

// Where the cursor goes this frame: the mouse kept in the clip region (written back into the main
// object) and, when smooth, the point between the last two logic frames' positions.
static void UpdatePosition(sCursorPrivate* p) {
  sCursorSlot* slot = p->Current();
  if (!slot) return;
  int x = Yandorix.mousex, y = Yandorix.mousey;
  if (x < p->clipx) x = p->clipx;
  else if (x > p->clipxlimit) x = p->clipxlimit;
  if (y < p->clipy) y = p->clipy;
  else if (y > p->clipylimit) y = p->clipylimit;
  Yandorix.mousex = x;
  Yandorix.mousey = y;
  p->targetx = (float)x;
  p->targety = (float)y;
  if (p->smooth) {
    float t = Yandorix.GetLogicTime();
    float f = t - std::floor(t);
    p->drawnx = f * p->targetx + (1.0f - f) * p->savedx;
    p->drawny = f * p->targety + (1.0f - f) * p->savedy;
  } else {
    p->drawnx = p->targetx;
    p->drawny = p->targety;
  }
  p->rect = PlaceFor(slot->type, (long)std::floor(p->drawnx), (long)std::floor(p->drawny), slot->image->w,
                     slot->image->h);
}

// The cursor comes onto the screen: the area under it is taken afresh and it is drawn at the next
// frame (whatever was kept while hidden is out of date).
static void Reveal(Yandorix_ICursor* cursor, sCursorPrivate* p) {
  p->shown = 1;
  p->bgvalid = 0;
  cursor->CopyBG();
  p->redraw = 1;
}

void Yandorix_ICursor::Select(char slot) {
  Uint8 index = (Uint8)slot;
  if (!p->initialised || index >= kSlots || !p->slots[index].image || index == p->current) return;
  if (p->shown) RestoreBG(NULL);
  p->current = index;
  UpdatePosition(p);
  Reveal(this, p);
}

void Yandorix_ICursor::ChangeType(char slot, char type) {
  Uint8 index = (Uint8)slot;
  if (!p->initialised || index >= kSlots || !p->slots[index].image) return;
  Uint8 hotspot = LimitType(type);
  if (hotspot == p->slots[index].type) return;
  bool onScreen = p->shown && index == p->current;
  if (onScreen) RestoreBG(NULL);
  p->slots[index].type = hotspot;
  if (!onScreen && p->shown) return;   // another slot: what is drawn stays as it is
  UpdatePosition(p);
  Reveal(this, p);
}

void Yandorix_ICursor::Show() {
  if (!p->initialised) return;
  if (!p->shown) Reveal(this, p);
  Yandorix.RenderNeeded(1);
}

void Yandorix_ICursor::Hide() {
  if (!p->initialised) return;
  if (p->shown) RestoreBG(NULL);   // off the screen before it is forgotten
  p->bgvalid = 0;
  p->shown = 0;
  Yandorix.RenderNeeded(1);
}

void Yandorix_ICursor::SetPosition(int x, int y) {
  if (p->initialised && p->shown) SDL_WarpMouse((Uint16)x, (Uint16)y);
}

void Yandorix_ICursor::AutoRestore(char on) {
  Uint8 value = on && !Yandorix.IsGL() ? 1 : 0;
  if (value == p->autorestore) return;
  p->autorestore = value;
  p->bgvalid = 0;   // taken at the next frame, after the application drew it
}

void Yandorix_ICursor::SetSmooth(char on) { p->smooth = on != 0 ? 1 : 0; }

void Yandorix_ICursor::ClipRegion(int x, int y, int xlimit, int ylimit) {
  p->clipx = (Sint16)x;
  p->clipy = (Sint16)y;
  p->clipxlimit = (Uint16)xlimit;
  p->clipylimit = (Uint16)ylimit;
}

// ---------------------------------------------------------------------------------------------------
// The screen under the cursor

void Yandorix_ICursor::CopyBG() {
  if (!p->Guarding()) return;
  sCursorSlot* slot = p->Current();
  if (!slot->background) return;
  SDL_Rect from = p->rect;
  SDL_Rect to = {0, 0, 0, 0};
  Yandorix_RawBlit(Yandorix.screen, &from, slot->background, &to);
  p->bgrect = p->rect;
  p->bgvalid = 1;
}

int Yandorix_ICursor::RestoreBG(SDL_Rect* area) {
  if (!p->Guarding() || !p->bgvalid) return 0;
  if (area && !Meet(*area, p->bgrect)) return 0;
  SDL_Rect to = p->bgrect;
  Yandorix_RawBlit(p->Current()->background, NULL, Yandorix.screen, &to);
  p->redraw = 1;
  return 1;
}

void Yandorix_ICursor::Invalidate() {
  if (!p->initialised || !p->shown) return;
  p->bgvalid = 0;
  CopyBG();
  p->redraw = 1;
}

void Yandorix_ICursor::SaveCoordinates(int x, int y) {
  p->savedx = (float)x;
  p->savedy = (float)y;
}

// ---------------------------------------------------------------------------------------------------
// Per rendered frame

// A lost image refilled from its own pixel copy; the screen under it is taken afresh first (the failed
// blit drew nothing there). False when the image cannot be refilled now.
static bool RepairLostImage(Yandorix_ICursor* cursor, sCursorPrivate* p, sCursorSlot* slot) {
  if (SDL_LockSurface(slot->image) < 0) {
    SDL_Delay(10);
    return false;
  }
  slot->backup.WriteInto(slot->image);
  SDL_UnlockSurface(slot->image);
  p->bgvalid = 0;
  cursor->CopyBG();
  SDL_Rect at = p->rect;
  Yandorix_RawBlit(slot->image, NULL, Yandorix.screen, &at);
  ILogSystem.Msg(5, " . [Yandorix_Blit()] Info: lost surface was restored.\n");
  return true;
}

void Yandorix_ICursor::Update() {
  sCursorSlot* slot = p->Current();
  if (!p->initialised || !p->shown || !slot || !Yandorix.screen) return;
  UpdatePosition(p);
  if (p->autorestore && (!p->bgvalid || !SameRect(p->rect, p->bgrect))) {
    RestoreBG(NULL);
    CopyBG();
    p->redraw = 1;
  }
  if (!p->redraw && p->autorestore) return;
  SDL_Rect at = p->rect;
  int result = Yandorix_RawBlit(slot->image, NULL, Yandorix.screen, &at);
  // A lost image that cannot be locked now is drawn again at the next frame.
  if (result == -2 && Yandorix.backupsurfaces && !slot->backup.Empty() && !RepairLostImage(this, p, slot)) return;
  p->redraw = 0;
}

void Yandorix_ICursor::Info() {
  if (!p->initialised) {
    ILogSystem.Msg(0, "\n . Cursor interface information: not initialized.\n");
    return;
  }
  int used = 0;
  for (const sCursorSlot& slot : p->slots) used += slot.image ? 1 : 0;
  ILogSystem.Msg(0, "\n . Cursor interface information:\n");
  ILogSystem.Msg(0, "      -> Number of loaded cursors: %d - Auto Restore: %s - Smooth movement: %s\n", used,
                 p->autorestore ? "on" : "off", p->smooth ? "on" : "off");
  ILogSystem.Msg(0, "      -> Current cursor: '%d' - %s mode - Clip region: (%d,%d) to (%d,%d)\n", (int)(Sint8)p->current,
                 p->shown ? "Visible" : "Hidden", p->clipx, p->clipy, p->clipx + p->clipxlimit,
                 p->clipy + p->clipylimit);
  int number = 0;
  for (const sCursorSlot& slot : p->slots) {
    if (!slot.image) continue;
    SDL_Surface* s = slot.image;
    ILogSystem.Msg(0, "\n      -> Cursor '%d' details:\n", number++);
    ILogSystem.Msg(0, "          + Surface of %d Kb located at %s\n", s->pitch * s->h / 1024,
                   (s->flags & SDL_HWSURFACE) ? "video memory" : "system memory");
    ILogSystem.Msg(0, "          + Cursor size: %dx%d - Type: %s - Color depth: %dbits\n", s->w, s->h,
                   kTypeNames[slot.type], s->format->BitsPerPixel);
    ILogSystem.Msg(0, "          + Alpha blending: ");
    if ((s->flags & SDL_SRCALPHA) && s->format->alpha == 255) ILogSystem.Msg(0, "per-pixel");
    else if (s->flags & SDL_SRCALPHA) ILogSystem.Msg(0, "per-surface (%d)", s->format->alpha);
    else ILogSystem.Msg(0, "disabled");
    ILogSystem.Msg(0, " - Colorkey: ");
    if (s->flags & SDL_SRCCOLORKEY) {
      Uint8 r, g, b;
      SDL_GetRGB(s->format->colorkey, s->format, &r, &g, &b);
      ILogSystem.Msg(0, "RGB(%d,%d,%d)\n", r, g, b);
    } else {
      ILogSystem.Msg(0, "disabled\n");
    }
  }
  ILogSystem.Msg(0, "\n");
}
