// GUI buttons in the frame loop: the input step of every logic frame (mouse over, pressed, released,
// shortcut keys with repeat) and the drawing of every render by kind and state, where the callbacks of
// mouse actions run.
#include "01_Main.h"
#include "41_Button.h"
#include <algorithm>
#include <cstring>

using namespace ydxbut;

// The frame driver's access to the service's private record.
struct Yandorix_ButtonAccess {
  static sButtonPrivate* Of(Yandorix_IButton* service) { return service->p; }
};

namespace {

// Clicks a button may owe before it shows them; and callbacks it may owe its next Draw.
const Uint8 kMaxClicks = 255;
const Uint32 kMaxPending = 1000;

bool HasShortcutKey(int kind) { return kind == kPush || kind == kIcon || kind == kComplex || kind == kCheck; }

bool InsideHitBox(const sButton& b, int x, int y) { return b.y1 < y && y < b.y2 && b.x1 < x && x < b.x2; }

// Buttons that take input: occupied and visible, on a visible layer, not disabled.
bool TakesInput(const sButtonPrivate* p, int layer, const sButton& b) {
  return p->layervisible[layer] && !b.free && b.visible && b.state != kDisabled;
}

// The shortcut key held now: Pressed, and Action once it was held longer than the repeat time.
void ApplyKey(sButton* b, bool keysBlocked, Uint32 now) {
  bool held = b->key != 0 && b->key < SDLK_LAST && !keysBlocked && Yandorix.GetKeystate(b->key);
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

bool PushSlot(sSlotQueue* queue, int index) {
  if (queue->count == sizeof queue->slots) return false;
  int at = (queue->first + queue->count) % (int)sizeof queue->slots;
  queue->slots[at] = (Uint8)index;
  queue->order[at] = queue->pushed++;
  queue->count++;
  return true;
}

bool PopSlot(sSlotQueue* queue, int* index) {
  if (queue->count == 0) return false;
  *index = queue->slots[queue->first];
  queue->first = (Uint16)((queue->first + 1) % sizeof queue->slots);
  queue->count--;
  return true;
}

// Whether the oldest entry came into the queue before `mark` (a count of entries pushed).
bool OldestBefore(const sSlotQueue& queue, Uint32 mark) {
  return queue.count > 0 && (Sint32)(queue.order[queue.first] - mark) < 0;
}

sButton* SlotButton(sButtonPrivate* p, int index) { return &p->layers[index / kSlots][index % kSlots]; }

// The layer slot (layer x 32 + slot) of a button, or -1 for a master.
int SlotIndex(sButtonPrivate* p, const sButton* b) {
  uintptr_t at = (uintptr_t)b, first = (uintptr_t)&p->layers[0][0];
  return at < first || at >= first + sizeof p->layers ? -1 : (int)((at - first) / sizeof(sButton));
}

// Takes a slot's entries out of a queue, the others keeping their order.
void DropSlot(sSlotQueue* queue, int index) {
  const int size = (int)sizeof queue->slots;
  int kept = 0;
  for (int i = 0; i < queue->count; ++i) {
    int from = (queue->first + i) % size;
    if (queue->slots[from] == index) continue;
    int to = (queue->first + kept++) % size;
    queue->slots[to] = queue->slots[from];
    queue->order[to] = queue->order[from];
  }
  queue->count = (Uint16)kept;
}

void AddClick(sButtonPrivate* p, int index) {
  sButton* b = SlotButton(p, index);
  if (b->clicks < kMaxClicks && PushSlot(&p->clicks, index)) b->clicks++;
}

// The button whose click comes next in the order they happened, or -1; clicks of buttons that let go
// of them meanwhile (hidden, disabled, removed) are passed over.
int NextClick(sButtonPrivate* p) {
  int index;
  while (PopSlot(&p->clicks, &index))
    if (TakesInput(p, index / kSlots, *SlotButton(p, index)) && SlotButton(p, index)->clicks > 0) return index;
  return -1;
}

// One mouse event, judged where it happened: a press that began on the button and its release on it
// is a click (true); a slider follows every motion of a drag that began on it and ends it wherever released.
bool JudgeMouseEvent(sButton* b, const sMouseEvent& event) {
  if (event.kind == kMouseReset) {
    b->heldby = 0;
    b->clicks = 0;
    return false;
  }
  bool slider = b->kind == kSlider;
  if (event.kind == kMouseMotion) {
    if (slider && b->heldby) b->value = ydxbut::SliderValueAt(*b, event.x);
    return false;
  }
  Uint8 mask = (Uint8)(event.button >= 1 && event.button <= 8 ? SDL_BUTTON(event.button) : 0);
  if (!(mask & b->mousemask) || b->kind == kInput) return false;
  bool on = !event.library && InsideHitBox(*b, event.x, event.y);
  if (event.kind == kMousePress) {
    if (!on || (Sint32)(event.serial - b->bornAt) < 0) return false;   // a press made before the button was
    b->heldby |= mask;
    if (slider) b->value = ydxbut::SliderValueAt(*b, event.x);
    return false;
  }
  if (!(b->heldby & mask)) return false;
  b->heldby &= (Uint8)~mask;
  if (slider) b->value = ydxbut::SliderValueAt(*b, event.x);
  return on || slider;
}

void UpdateButton(sButton* b, bool clicked, bool keysBlocked, bool pointerOnConsole, Uint32 now) {
  b->laststate = b->state;
  b->state = kNormal;
  bool over = !pointerOnConsole && InsideHitBox(*b, Yandorix.mousex, Yandorix.mousey);
  if (over) b->state = kSelected;
  if (b->kind != kInput) {
    if (clicked) {
      b->clicks--;
      b->state = kAction;
      if (b->pending < kMaxPending) b->pending++;
      Yandorix.RenderNeeded(1);   // a click right after another one changes no state: its callback waits for a draw
    } else if (b->heldby && (over || b->kind == kSlider)) {
      b->state = kPressed;
      if (b->kind == kSlider) Yandorix.RenderNeeded(1);
    }
  }
  if (HasShortcutKey(b->kind)) ApplyKey(b, keysBlocked, now);
  if (b->state != b->laststate) Yandorix.RenderNeeded(1);
}

}  // namespace

int ydxbut::SliderValueAt(const sButton& b, int mousex) {
  int track = TileWidth(b.tile_n) - 2 * kSliderEnd;
  if (track <= 0 || b.range <= 0) return b.value;
  int position = mousex - b.x - kSliderEnd;
  if (position <= 0) return 0;
  if (position >= track) return b.range;
  // Whole steps of the track inside it; the ends above, which whole steps cannot always reach.
  int step = (int)((float)track / (float)b.range);
  Sint64 along = (Sint64)(position + step * 0.5);
  Sint64 value = (Sint64)b.range * along / track;
  return value < 0 ? 0 : value > b.range ? b.range : (int)value;
}

void ydxbut::LetGo(sButtonPrivate* p, sButton* b) {
  b->heldby = 0;
  b->clicks = 0;
  b->pending = 0;
  int index = SlotIndex(p, b);
  if (index < 0) return;   // a master takes no input
  DropSlot(&p->clicks, index);
  DropSlot(&p->fired, index);
  Yandorix_ForgetKeyPresses(kReaderBox + index);   // keys typed into an input box go with it
}

int Yandorix_InputBoxAt(int x, int y) {
  if (!IButton) return -1;
  sButtonPrivate* p = Yandorix_ButtonAccess::Of(IButton);
  for (int index = 0; index < kLayers * kSlots; ++index) {
    const sButton& b = *SlotButton(p, index);
    if (b.kind == kInput && TakesInput(p, index / kSlots, b) && InsideHitBox(b, x, y)) return index;
  }
  return -1;
}

namespace {

// One mouse event judged by every button that takes input.
void JudgeEvent(sButtonPrivate* p, const sMouseEvent& event) {
  if (event.kind == kMouseReset) p->clicks.count = 0;   // every button lets go of its clicks not shown yet
  for (int index = 0; index < kLayers * kSlots; ++index)
    if (TakesInput(p, index / kSlots, *SlotButton(p, index)) && JudgeMouseEvent(SlotButton(p, index), event))
      AddClick(p, index);
}

// A snapshot the application wrote itself (a replay, a pointer a gamepad moves, a loop of its own, a
// test) is input too: the pointer moves to mousex, mousey and each mouse button that prevmousebuttons
// and mousebuttons show pressed or released is pressed or released there, save those whose change
// the polled events already told the buttons.
void JudgeSnapshot(sButtonPrivate* p) {
  Sint16 x = (Sint16)Yandorix.mousex, y = (Sint16)Yandorix.mousey;
  Uint32 serial = Yandorix_MouseEventsRecorded();
  JudgeEvent(p, sMouseEvent{kMouseMotion, 0, 0, x, y, serial});
  Uint8 library = Yandorix_LibraryWindowAt(x, y) ? 1 : 0;
  Uint8 changed = (Uint8)((Yandorix.prevmousebuttons ^ Yandorix.mousebuttons) & ~p->eventbuttons);
  for (Uint8 button = 1; changed && button <= 8; ++button)
    if (changed & SDL_BUTTON(button)) {
      Uint8 kind = Yandorix.mousebuttons & SDL_BUTTON(button) ? kMousePress : kMouseRelease;
      JudgeEvent(p, sMouseEvent{kind, button, library, x, y, serial});
    }
}

// The input step of a logic frame: the polled mouse events in their order, the application's own
// snapshot when it wrote one, then every button's state.
void UpdateInput(sButtonPrivate* p, bool applicationSnapshot) {
  Uint32 now = Yandorix_Ticks();
  // Buttons that stopped taking input let go of the presses they followed and of their clicks, also
  // of those whose callbacks had not run: a hidden shop's click does not act when it is shown again.
  for (int layer = 0; layer < kLayers; ++layer)
    for (sButton& b : p->layers[layer])
      if (!TakesInput(p, layer, b) && (b.heldby || b.clicks || b.pending)) ydxbut::LetGo(p, &b);
  sMouseEvent event;
  while (Yandorix_NextMouseEvent(&event)) {
    if ((event.kind == kMousePress || event.kind == kMouseRelease) && event.button >= 1 && event.button <= 8)
      p->eventbuttons |= (Uint8)SDL_BUTTON(event.button);
    JudgeEvent(p, event);
  }
  if (applicationSnapshot) JudgeSnapshot(p);
  p->eventbuttons &= (Uint8)(Yandorix.prevmousebuttons ^ Yandorix.mousebuttons);
  // One click shown per logic frame, across all buttons, in the order they happened.
  int clicked = NextClick(p);
  // The open console owns what is typed and the pointer over it.
  bool console = Yandorix_ConsoleTakesInput();
  bool keysBlocked = p->editing != 0 || console;
  bool pointerOnConsole = Yandorix_ConsoleCovers(Yandorix.mousex, Yandorix.mousey);
  for (int index = 0; index < kLayers * kSlots; ++index)
    if (TakesInput(p, index / kSlots, *SlotButton(p, index)))
      UpdateButton(SlotButton(p, index), index == clicked, keysBlocked, pointerOnConsole, now);
  if (clicked >= 0) {
    // A game that stops drawing its buttons for a whole queue of clicks loses the oldest callback.
    int oldest;
    if (p->fired.count == sizeof p->fired.slots && PopSlot(&p->fired, &oldest) && SlotButton(p, oldest)->pending)
      SlotButton(p, oldest)->pending--;
    PushSlot(&p->fired, clicked);
  }
}

}  // namespace

int Yandorix_IButton::Update() {
  UpdateInput(p, true);
  return 1;
}

void Yandorix_UpdateButtonsAtSnapshot() {
  if (IButton) UpdateInput(Yandorix_ButtonAccess::Of(IButton), false);
}

// ---------------------------------------------------------------------------------------------------
// Drawing

namespace {

SDL_Rect TextArea(const sButton& b) {
  int w = b.textrect[2] < 0 ? 0 : b.textrect[2], h = b.textrect[3] < 0 ? 0 : b.textrect[3];
  return SDL_Rect{(Sint16)(b.x + b.textrect[0]), (Sint16)(b.y + b.textrect[1]), (Uint16)w, (Uint16)h};
}

// Buttons whose mouse actions run callbacks in Draw: drawn and able to fire.
bool FiresCallbacks(const sButton& b) {
  return !b.free && b.visible && b.state != kDisabled && b.kind != kBar && b.kind != kInput;
}

// One mouse action's callback; a check button changes its check state after it, unless the callback
// already changed it, disabled the button or removed it.
void RunCallback(sButton* b) {
  int id = b->id;
  b->pending--;
  int checkState = b->range;
  if (b->callback) b->callback(b->param1, b->param2);
  if (b->free || b->id != id) return;
  if (b->kind == kCheck && b->range == checkState && (checkState == kNormal || checkState == kPressed))
    b->range = checkState == kNormal ? kPressed : kNormal;
}

// The callbacks of the clicks shown so far, in the order of the clicks; a button hidden since its click
// lets go of it. A callback may run the frame loop, draw the buttons or remove them: each click is taken
// out of the queue before its callback runs, a Draw inside a callback runs the older clicks first, and
// clicks shown meanwhile wait for the next Draw.
void RunCallbacks(sButtonPrivate* p) {
  const Uint32 shown = p->fired.pushed;
  int index;
  while (OldestBefore(p->fired, shown) && PopSlot(&p->fired, &index)) {
    sButton* b = SlotButton(p, index);
    if (b->pending == 0) continue;   // let go with the button
    if (p->layervisible[index / kSlots] && FiresCallbacks(*b))
      RunCallback(b);
    else
      ydxbut::LetGo(p, b);
  }
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
    // A mouse action whose logic frame no render fell in fires in this draw.
    return fired || (b->pending && FiresCallbacks(*b));
  }

 private:
  void Put(Yandorix_CTile* tile, int x, int y) {
    if (!tile) return;
    tile->SetPosition(x, y);
    tile->Draw(NULL, 1);   // a tileset tile shows its first tile
  }
  void Put(Yandorix_CTile* tile) { Put(tile, b->x, b->y); }

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
      case kAction: Put(b->tile_n); return true;
      case kDisabled: Put(b->tile_o); break;
    }
    return false;
  }

  bool PaintComplex() {
    switch (b->state) {
      case kNormal: Put(b->tile_n); break;
      case kSelected: Put(b->tile_s); break;
      case kPressed: Put(b->tile_p); break;
      case kAction: Put(b->tile_n); return true;
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

  bool PaintSlider() {
    if (b->state == kDisabled) {
      Put(b->tile_o);
      return false;
    }
    Put(b->tile_n);
    // A drag sets the value as the mouse moves; a slider pressed by SetState takes it from the pointer.
    if (b->state == kPressed && !b->heldby) b->value = SliderValueAt(*b, Yandorix.mousex);
    PaintKnob();
    return b->state == kAction;
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
    Put(b->range == kNormal ? b->tile_n : b->tile_p);   // its check state before the click's callback
    return b->state == kAction;
  }

  void PaintIdleBox() {
    Put(b->tile_n);
    if (!b->font) return;
    SDL_Rect clip = TextArea(*b);
    b->font->PutString(Yandorix.screen, clip.x, clip.y, b->text, &clip);
  }

  // One typed key: Backspace/Delete erase, a key with a name is added while it fits.
  void TypeIntoBox(int key) {
    if (!b->font) return;
    size_t length = std::strlen(b->text);
    if ((key == 8 || key == 127) && length > 0) b->text[--length] = '\0';
    const char* name = Yandorix.GetKeyName(key);
    if (name && length <= 30) {
      size_t added = std::strlen(name);
      int width = b->font->StringWidth(b->text) + b->font->StringWidth(name) + b->font->GetKerning() * (int)length;
      if (length + added < sizeof b->text && width < b->textrect[2] - 1) std::memcpy(b->text + length, name, added + 1);
    }
  }

  // The keys typed while the pointer was over the box, all of them: also those typed just before it
  // left, taken at the first Draw after. While the pointer is over it, a held key repeats once per
  // repeat time.
  void TakeKeys(bool editing) {
    int reader = kReaderBox + SlotIndex(p, b), key;
    for (int taken = 0; taken < kKeysTakenAtOnce; ++taken) {
      if (!(key = editing ? Yandorix_TypedKey(reader, 150) : Yandorix_WaitingKey(reader))) break;
      TypeIntoBox(key);
    }
  }

  // Typing into the box while the mouse is over it.
  void PaintEditingBox() {
    TakeKeys(true);
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
      case kNormal:
        TakeKeys(false);
        PaintIdleBox();
        break;
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
  Uint8 renderMode = MainPrivate()->renderneeded;
  p->editing = 0;
  int result = -1;
  for (int layer = 0; layer < kLayers; ++layer) {
    if (!p->layervisible[layer]) continue;
    for (sButton& b : p->layers[layer]) {
      if (b.free || !b.visible) continue;
      if (ButtonPainter(p, &b).Paint()) result = b.id;
    }
  }
  // An edit draws on every render; its end gives back the render-needed state it found (a game's own
  // RenderNeeded(2) stays), with one more render to show the idle box.
  if (p->editing && !wasEditing) p->editmode = renderMode;
  if (wasEditing && !p->editing) {
    if (p->editmode < 2) Yandorix.RenderNeeded(0);
    Yandorix.RenderNeeded(1);
  }
  RunCallbacks(p);   // once every button is drawn: a callback may change or remove any of them
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
