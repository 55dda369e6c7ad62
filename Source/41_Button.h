// What the button files share: the button record and the service's private state, the lookup of a
// button by id, and the codec of the 24-byte description ("BUT" blocks), apart from archives so tests
// and fuzz targets reach it directly.
#pragma once
#include <Yandorix.h>
#include <string>

namespace ydxbut {

enum { kLayers = 8, kSlots = 32, kMasters = 100, kFirstMaster = 1000 };
enum { kDescriptionSize = 24, kNameField = 28, kMaxCreateName = 24, kTextField = 32, kMaxKey = 321 };
enum { kNormal = 1, kSelected = 2, kPressed = 4, kAction = 8, kDisabled = 16 };
enum { kPush = 1, kIcon = 2, kComplex = 4, kSlider = 8, kBar = 16, kCheck = 32, kInput = 64 };
// Tile choices of the per-tile setters and getters.
enum { kTileNormal = 1, kTileSelected = 2, kTilePressed = 4, kTileOff = 16 };
const Uint32 kRefusedColor = 0xFFFFFFFFu;
const Uint32 kKeyRepeatMs = 120;
// Sliders keep 25 pixels at each end of their track that the knob does not reach.
const int kSliderEnd = 25;

const char* KindName(int kind);
const char* StateName(int state);
bool ValidKind(int kind);

// The description field by field, little-endian; the callback word and the padding are written as 0.
void EncodeDescription(const IButtonNew& desc, Uint8 out[kDescriptionSize]);
// The stored fields; the callback is always NULL (a stored word is no function of this process).
IButtonNew DecodeDescription(const Uint8 in[kDescriptionSize]);

// The checks a stored description passes. DescribesAButton: a kind of the seven and a colour other
// than the refused one. CheckKeyAndRange: 0 when sound, -6 for a key above 321, -7 for a slider or
// progress bar whose range is 256 or more or whose value lies outside 0..range. `why` says what failed.
bool DescribesAButton(const IButtonNew& desc, std::string* why);
int CheckKeyAndRange(const IButtonNew& desc, std::string* why);

}  // namespace ydxbut

// One button slot.
struct sButton {
  void (*callback)(void*, void*);
  Uint16 key;
  Uint8 kind;
  Uint32 selectcolor;   // a pixel of the screen's format
  int x, y;
  int range;            // check buttons: the check state 1, 4, or 16 while disabled
  Uint8 visible;
  Uint8 clone;
  int value;            // disabled check buttons: the check state to go back to
  int id;
  Uint8 free;
  Uint8 state;
  Uint8 laststate;
  int x1, y1, x2, y2;   // hit box; the mouse counts when strictly inside
  Uint32 keytimer;      // when the shortcut key began to be held; 0 when not held
  Yandorix_CTile* tile_n;
  Yandorix_CTile* tile_s;
  Yandorix_CTile* tile_p;
  Yandorix_CTile* tile_o;
  char text[ydxbut::kTextField];
  Yandorix_CFont* font;
  char fontname[32];    // the font's name when it was given: the dump at shutdown never reads the font
  int textrect[4];      // horizontal margin, vertical margin, text width, text height
  char name[ydxbut::kNameField];
  int master;           // a clone: its master's id (0 once the master is gone); a master: its clones
  void* param1;
  void* param2;
  Uint32 mousemask;
  Uint32 pending;       // mouse actions whose callbacks wait for the button's next Draw
  Uint8 heldby;         // mouse buttons (SDL masks) whose press began on it and is not released yet
  Uint8 clicks;         // clicks not shown as Action yet: one per logic frame, none lost
  Uint32 bornAt;        // mouse events recorded before it was made: a press among them is not its own
};

// Layer slots (layer x 32 + slot) in the order things happened to them, oldest first. Fixed in size:
// the frame driver's pass fills it without allocating.
struct sSlotQueue {
  Uint8 slots[ydxbut::kLayers * ydxbut::kSlots];
  Uint32 order[ydxbut::kLayers * ydxbut::kSlots];   // of each entry: how many came into the queue before it
  Uint16 first;
  Uint16 count;
  Uint32 pushed;                                     // entries that came into the queue so far
};

struct sButtonPrivate {
  Uint8 layervisible[ydxbut::kLayers];
  sButton layers[ydxbut::kLayers][ydxbut::kSlots];
  sButton masters[ydxbut::kMasters];
  Uint8 currentlayer;
  Uint8 editing;      // an input box was being edited in the last Draw
  Uint8 editmode;     // the render-needed state in force when that edit began: its end gives it back
  Uint8 eventbuttons; // mouse buttons whose change the polled events told, until a snapshot shows them steady
  int count;          // occupied layer slots
  // Clicks on all buttons in the order they happened: shown as Action one per logic frame, and their
  // callbacks run in that order.
  sSlotQueue clicks;  // clicks not shown yet
  sSlotQueue fired;   // clicks shown whose callbacks have not run yet
  Yandorix_IButton* self;
};

namespace ydxbut {

// An empty slot: everything 0 except free, state Normal, visible and the left mouse button.
void ResetButton(sButton* b);
// The slot an id names (layer slots whether occupied or not; masters only when in use), or NULL.
sButton* FindButton(sButtonPrivate* p, int id);
// The occupied button an id names, or NULL.
sButton* FindUsed(sButtonPrivate* p, int id);
// The button's width and height: those of its normal tile (0 without it).
int TileWidth(const Yandorix_CTile* tile);
int TileHeight(const Yandorix_CTile* tile);
// A slider's value with the mouse at x: whole steps of the track inside it, 0 and range at or past its
// ends; the value it has when it has no track or no range.
int SliderValueAt(const sButton& b, int mousex);
// The button lets go of its presses and of its clicks, shown or not, whose callbacks have not run
// (hidden, disabled or removed): its places in the click queues go with them, so clicks it gets later
// come in their own order.
void LetGo(sButtonPrivate* p, sButton* b);

}  // namespace ydxbut
