// GUI buttons in the frame loop: the input step of every logic frame (mouse over, pressed, released,
// shortcut keys with repeat) and the drawing of every render by kind and state, where the callbacks of
// mouse actions run.
#include "01_Main.h"
#include "41_Button.h"
#include <cstring>

using namespace ydxbut;

namespace {

bool HasShortcutKey(int kind) { return kind == kPush || kind == kIcon || kind == kComplex || kind == kCheck; }

bool InsideHitBox(const sButton& b, int x, int y) { return b.y1 < y && y < b.y2 && b.x1 < x && x < b.x2; }

// The shortcut key held now: Pressed, and Action once it was held longer than the repeat time.
void ApplyKey(sButton* b, bool editing, Uint32 now) {
  bool held = b->key != 0 && b->key < SDLK_LAST && !editing && Yandorix.GetKeystate(b->key);
  if (!held) {
    b->keytimer = 0;
    return;
  }
  if (b->keytimer == 0) b->keytimer = now ? now : 1;
  if ((Sint32)(now - b->keytimer) > (Sint32)kKeyRepeatMs) {   // also across the tick counter's wrap
    b->state = kAction;
    b->keytimer = 0;
  } else {
    b->state = kPressed;
  }
}

void UpdateButton(sButton* b, bool editing, Uint32 now) {
  b->laststate = b->state;
  b->state = kNormal;
  bool down = (Yandorix.mousebuttons & b->mousemask) != 0;
  bool wasDown = (Yandorix.prevmousebuttons & b->mousemask) != 0;
  if (InsideHitBox(*b, Yandorix.mousex, Yandorix.mousey)) {
    b->state = kSelected;
    if (!down && wasDown) {
      if (b->kind != kInput) {
        b->state = kAction;
        b->pending = 1;
      }
    } else if (down && b->kind != kInput) {
      b->state = kPressed;
      if (b->kind == kSlider) Yandorix.RenderNeeded(1);
    }
    if (b->kind == kSlider && down && !wasDown) b->grabbed = 1;
  } else if (b->grabbed && down && b->laststate == kPressed) {
    // A drag that left the slider keeps setting it: past an end it reads that end.
    b->state = kPressed;
    Yandorix.RenderNeeded(1);
  }
  if (!down) b->grabbed = 0;
  if (HasShortcutKey(b->kind)) ApplyKey(b, editing, now);
  if (b->state != b->laststate) Yandorix.RenderNeeded(1);
}

}  // namespace

int Yandorix_IButton::Update() {
  Uint32 now = Yandorix_Ticks();
  for (int layer = 0; layer < kLayers; ++layer) {
    if (!p->layervisible[layer]) continue;
    for (sButton& b : p->layers[layer])
      if (!b.free && b.visible && b.state != kDisabled) UpdateButton(&b, p->editing != 0, now);
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Drawing

namespace {

SDL_Rect TextArea(const sButton& b) {
  int w = b.textrect[2] < 0 ? 0 : b.textrect[2], h = b.textrect[3] < 0 ? 0 : b.textrect[3];
  return SDL_Rect{(Sint16)(b.x + b.textrect[0]), (Sint16)(b.y + b.textrect[1]), (Uint16)w, (Uint16)h};
}

class ButtonPainter {
 public:
  ButtonPainter(sButtonPrivate* p, sButton* b) : p(p), b(b) {}

  // Draws the button by kind and state; true when it fired in this draw.
  bool Paint() {
    bool fired = false;
    switch (b->kind) {
      case kPush:
      case kIcon: fired = PaintPush(); break;
      case kComplex: fired = PaintComplex(); break;
      case kSlider: fired = PaintSlider(); break;
      case kBar: PaintBar(); break;
      case kCheck: fired = PaintCheck(); break;
      case kInput: PaintInput(); break;
    }
    // A mouse action whose logic frame no render fell in runs here, once.
    if (b->pending && b->state != kDisabled && b->kind != kBar && b->kind != kInput) fired = Fire();
    return fired;
  }

 private:
  void Put(Yandorix_CTile* tile, int x, int y) {
    if (!tile) return;
    tile->SetPosition(x, y);
    tile->Draw(NULL, 1);   // a tileset tile shows its first tile
  }
  void Put(Yandorix_CTile* tile) { Put(tile, b->x, b->y); }

  // The callback of a mouse action; a check button then changes its check state, unless the
  // callback already changed it, disabled the button or removed it.
  bool Fire() {
    if (!b->pending) return true;
    b->pending = 0;
    int id = b->id, checkState = b->range;
    if (b->callback) b->callback(b->param1, b->param2);
    bool untouched = !b->free && b->id == id && b->kind == kCheck && b->range == checkState;
    if (untouched && (checkState == kNormal || checkState == kPressed))
      b->range = checkState == kNormal ? kPressed : kNormal;
    return true;
  }

  bool PaintPush() {
    switch (b->state) {
      case kNormal: Put(b->tile_n); break;
      case kSelected:
        Put(b->tile_n);
        if (b->selectcolor && IPrimitives)
          IPrimitives->RectangleColor(Yandorix.screen, (short)b->x1, (short)b->y1, (short)b->x2, (short)b->y2,
                                      b->selectcolor);
        break;
      case kPressed: Put(b->tile_p); break;
      case kAction: Put(b->tile_n); return Fire();
      case kDisabled: Put(b->tile_o); break;
    }
    return false;
  }

  bool PaintComplex() {
    switch (b->state) {
      case kNormal: Put(b->tile_n); break;
      case kSelected: Put(b->tile_s); break;
      case kPressed: Put(b->tile_p); break;
      case kAction: Put(b->tile_n); return Fire();
      case kDisabled: Put(b->tile_o); break;
    }
    return false;
  }

  // The knob's travel is the track less the knob and the two ends; values map onto it evenly.
  void PaintKnob() {
    int travel = TileWidth(b->tile_n) - TileWidth(b->tile_p) - 2 * kSliderEnd;
    int offset = b->range > 0 ? (int)((Sint64)b->value * travel / b->range) : 0;
    int y = b->y + TileHeight(b->tile_n) / 2 - TileHeight(b->tile_p) / 2;
    Put(b->tile_p, b->x + offset + kSliderEnd, y);
  }

  // The value under the mouse, in whole steps of the track; at or past an end of the track, that end's
  // value, which whole steps cannot always reach (a range larger than the track).
  void TakeValueFromMouse() {
    int track = TileWidth(b->tile_n) - 2 * kSliderEnd;
    if (track <= 0 || b->range <= 0) return;
    int position = Yandorix.mousex - b->x - kSliderEnd;
    if (position <= 0 || position >= track) {
      b->value = position <= 0 ? 0 : b->range;
      return;
    }
    int step = (int)((float)track / (float)b->range);
    Sint64 along = (Sint64)(position + step * 0.5);
    Sint64 value = (Sint64)b->range * along / track;
    b->value = value < 0 ? 0 : value > b->range ? b->range : (int)value;
  }

  bool PaintSlider() {
    if (b->state == kDisabled) {
      Put(b->tile_o);
      return false;
    }
    Put(b->tile_n);
    bool fired = false;
    if (b->state == kPressed) TakeValueFromMouse();
    if (b->state == kAction) fired = Fire();
    PaintKnob();
    return fired;
  }

  void PaintCells(Yandorix_CTile* filled, Yandorix_CTile* empty) {
    int w = TileWidth(b->tile_n);
    for (int k = 0; k < b->range; ++k) Put(k < b->value ? filled : empty, b->x + k * w, b->y);
  }

  void PaintBar() {
    switch (b->state) {
      case kNormal: PaintCells(b->tile_n, b->tile_p); break;
      case kSelected: Put(b->tile_n); break;
      case kDisabled: PaintCells(b->tile_o, b->tile_o); break;
    }
  }

  bool PaintCheck() {
    if (b->state == kDisabled) {
      Put(b->tile_o);
      return false;
    }
    Put(b->range == kNormal ? b->tile_n : b->tile_p);
    return b->state == kAction ? Fire() : false;
  }

  void PaintIdleBox() {
    Put(b->tile_n);
    if (!b->font) return;
    SDL_Rect clip = TextArea(*b);
    b->font->PutString(Yandorix.screen, clip.x, clip.y, b->text, &clip);
  }

  // Typing into the box while the mouse is over it: one key per repeat time, Backspace/Delete erase.
  void PaintEditingBox() {
    int key = Yandorix.GetKeyPressed(150);
    if (b->font) {
      size_t length = std::strlen(b->text);
      if ((key == 8 || key == 127) && length > 0) b->text[--length] = '\0';
      const char* name = key ? Yandorix.GetKeyName(key) : NULL;
      if (name && length <= 30) {
        size_t added = std::strlen(name);
        int width = b->font->StringWidth(b->text) + b->font->StringWidth(name) + b->font->GetKerning() * (int)length;
        if (length + added < sizeof b->text && width < b->textrect[2] - 1) std::memcpy(b->text + length, name, added + 1);
      }
    }
    Put(b->tile_p);
    if (b->font) {
      SDL_Rect clip = TextArea(*b);
      unsigned char blink = Yandorix_Ticks() % 1000 <= 500 ? 1 : 0;
      b->font->PutStringWithCursor(Yandorix.screen, clip.x, clip.y, b->text, (int)std::strlen(b->text), &clip, blink);
    }
    Yandorix.RenderNeeded(2);
    p->editing = 1;
  }

  void PaintInput() {
    switch (b->state) {
      case kNormal: PaintIdleBox(); break;
      case kSelected: PaintEditingBox(); break;
      case kDisabled: Put(b->tile_o); break;
    }
  }

  sButtonPrivate* p;
  sButton* b;
};

}  // namespace

int Yandorix_IButton::Draw() {
  if (!Yandorix.screen) {
    ILogSystem.Msg(0, " . [IButton->Draw()] Error: Yandorix.screen was not initialized.\n");
    return -1;
  }
  if (!Yandorix.IsRenderNeeded()) return -1;
  bool wasEditing = p->editing != 0;
  p->editing = 0;
  int result = -1;
  for (int layer = 0; layer < kLayers; ++layer) {
    if (!p->layervisible[layer]) continue;
    for (sButton& b : p->layers[layer]) {
      if (b.free || !b.visible) continue;
      int id = b.id;   // a callback may remove its own button
      if (ButtonPainter(p, &b).Paint()) result = id;
    }
  }
  // An edit that ended gives the continuous redraw up, with one more render for whoever asked for one.
  if (wasEditing && !p->editing) {
    Yandorix.RenderNeeded(0);
    Yandorix.RenderNeeded(1);
  }
  return result;
}

int Yandorix_IButton::Check() {
  if (!Yandorix.screen) {
    ILogSystem.Msg(0, " . [IButton->Draw()] Error: Yandorix.screen was not initialized.\n");
    return -1;
  }
  for (int layer = 0; layer < kLayers; ++layer) {
    if (!p->layervisible[layer]) continue;
    for (const sButton& b : p->layers[layer])
      if (!b.free && b.visible && b.state == kAction) return b.id;
  }
  return -1;
}

int Yandorix_IButton::WhoIsSelected() {
  for (int layer = 0; layer < kLayers; ++layer) {
    if (!p->layervisible[layer]) continue;
    for (const sButton& b : p->layers[layer]) {
      if (b.free || !b.visible) continue;
      bool over = b.state == kSelected || b.state == kPressed;
      if (over || (b.state == kDisabled && InsideHitBox(b, Yandorix.mousex, Yandorix.mousey))) return b.id;
    }
  }
  return -1;
}
