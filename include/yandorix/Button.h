// Layered GUI buttons drawn from tiles: push buttons, sliders, progress bars, check buttons and input
// boxes in 8 layers of 32 slots, plus 100 master buttons whose tiles clones share. Descriptions and
// tiles are kept in DPF archives ("BUT" blocks beside "TILB2" tiles named <button>_n, _p, _o, _s).
#ifndef YANDORIX_BUTTON_H
#define YANDORIX_BUTTON_H

#include <SDL.h>
#include "Export.h"

class Yandorix_CFont;

// A button description, as "BUT" blocks store it (24 bytes, little-endian). The callback is never
// stored: files hold 0 there and a loaded description carries NULL.
struct IButtonNew {
  void (*callback)(void*, void*);   // called when the button fires by mouse; NULL for none
  Uint16 key;                       // SDL key code that presses the button, 0 for none
  // Tiles by kind: _n normal, slider track, filled bar cell, unchecked, idle box; _p pressed, knob, empty
  // cell, checked, box being typed in; _o disabled; _s mouse over (complex buttons only).
  Uint8 type;                       // 1 normal, 2 icon, 4 complex, 8 slider, 16 progress bar, 32 check, 64 input
  Uint32 colorselect;               // 0xRRGGBB of the selection rectangle; 0 none; 0xFFFFFFFF refused
  Uint16 x, y;                      // position; x = y = 0 keeps the tiles' own
  // Input box: the text goes at (x + value, y + range), cut to w - 2 x value - 1 by h - 2 x range
  // (w, h: the _n tile's size); a range of 0 lets SetTextFont centre it.
  Uint16 range;                     // slider/bar maximum (cells of a bar); input box: vertical text margin
  Sint32 value;                     // slider/bar initial value; input box: horizontal text margin
};

class YDX_API Yandorix_IButton {
 public:
  Yandorix_IButton();
  ~Yandorix_IButton();

  // Ids: layer buttons are layer x 100 + slot + 1 (1..32, 101..132, ... 701..732), masters 1000..1099.
  // Create returns the new id or -1; the tiles come from the archive (handle or file).
  int Create(const IButtonNew* desc, const char* name, unsigned char master, int handle);
  int Create(const IButtonNew* desc, const char* name, unsigned char master, const char* file);
  int Clone(int masterid);          // a layer button sharing a master's tiles; id or -1
  int Remove(int id);               // layer buttons only; 1 when one was removed
  int RemoveAll();                  // the current layer's; the number removed
  int RemoveMaster(int id);         // 1000..1099 (0: the first), negative: all; the number freed

  // Layers 0..7: one current layer for creation, any set of visible layers for input and drawing.
  void SetLayer(char layer);        // also makes it the only visible layer
  void SetLayerVisibility(char layer, char v);
  int GetLayer();
  int GetLayerVisibility(char layer);   // 0 or 1; -1 for no such layer
  int GetNum();                         // occupied layer slots, clones included

  // Per logic frame (the frame driver calls it) and per render: Draw returns the id of the button that
  // fired in this draw, or -1 (also when no render is needed); Check the first button in Action.
  // Draw reports a button in Action on every render of that logic frame; act on Check in the logic step or
  // on the callback, which runs once per click. A click is a press and a release on the button, judged
  // where each happened; clicks quicker than the logic frames fire in consecutive frames, one each, in
  // the order they happened across all buttons; a button hidden or disabled before its click's callback
  // ran drops the click. A held shortcut key fires once held more than 120 ms, judged at logic frames
  // (at 20 a second: 150 ms, then every 200 ms), without the callback. A game that writes mousex,
  // mousey, mousebuttons and prevmousebuttons itself (a replay, a gamepad) calls Update after writing
  // them: a button down now and not before is pressed at the pointer, one down before and up now released.
  int Update();
  int Draw();
  int Check();
  int WhoIsSelected();
  void ForceDraw();

  // Per button; operations on ids that find no button change nothing. States: 1 normal, 2 selected
  // (mouse over it), 4 pressed, 8 action (it fired), 16 disabled. `which` picks tiles: 1 normal,
  // 2 selected, 4 pressed, 16 off (0: all four for the setters).
  void SetState(int id, char s);
  int GetState(int id);             // check buttons: 1 unchecked, 4 checked, 16 disabled
  void SetPosition(int id, int x, int y);
  void SetAlpha(int id, int which, int alpha);
  void SetColorKey(int id, int which, int key);
  void SetColorKey(int id, int which, int r, int g, int b);
  int GetAlpha(int id, int which);
  int GetColorKey(int id, int which);
  SDL_Surface* GetSurface(int id, int which);
  void SetFunction(int id, void (*callback)(void*, void*), void* param1, void* param2);
  // Sliders take the mouse only strictly inside x + 25 .. x + w - 25: their 25-pixel ends ignore taps.
  void SetValue(int id, int v);     // sliders and progress bars, limited to 0..range
  int GetValue(int id);
  int GetRange(int id);
  void SetVisible(int id, unsigned char v);
  void SetMouseButtons(int id, int mask);   // 1 left, 2 middle, 4 right; masks outside 1..7 ignored
  int GetMouseButtons(int id);
  void SetKey(int id, int key);
  int GetKey(int id);
  void SetColorSelect(int id, int pixel);
  void SetColorSelect(int id, int r, int g, int b);
  int GetColorSelect(int id);
  char* GetName(int id);            // NULL when the id finds no slot
  void SetName(int id, const char* name);   // kept to 27 characters
  // Input boxes. The text has the font's own colours. With a vertical margin of 0, SetTextFont centres
  // the text: margin (h - font height) / 2 + 1, text height h + 1 - 2 x margin; a font taller than the
  // box then hangs over its edges, cut, without a log line.
  // GetState: 2 while the mouse is over the box and it takes typed keys (also those typed
  // just before the mouse left it), 1 idle, 16 disabled.
  void SetTextFont(int id, Yandorix_CFont* font);   // not owned
  void SetTextRect(int id, SDL_Rect* r);            // margins x, y and text size w, h
  void SetText(int id, const char* text);           // at most 31 characters that fit the box
  char* GetText(int id);

  // "BUT" blocks. Save returns the archive's stored size, -1 when the block exists, 0 for bad arguments,
  // -2/-3/-4/-5 for a missing _n/_p/_o/_s tile, -6 for a key above 321, -7 for a slider or bar range
  // of 256 or more or a value outside 0..range. Load returns the new id or -1 (0 when the file cannot
  // be opened); LoadHeader 1 or 0; Delete 1 when the block and its tiles were deleted.
  int Save(int handle, const char* name, const IButtonNew* desc);
  int Save(const char* file, const char* name, const IButtonNew* desc);
  int Load(int handle, const char* name, unsigned char master);
  int Load(const char* file, const char* name, unsigned char master);
  int LoadHeader(int handle, const char* name, IButtonNew* out);
  int LoadHeader(const char* file, const char* name, IButtonNew* out);
  int Delete(int handle, const char* name);
  int Delete(const char* file, const char* name);
  // Logs one button (layer id) or master (1000..), or everything (-1); returns the number of buttons.
  int Info(int id);

 private:
  Yandorix_IButton(const Yandorix_IButton&) = delete;
  Yandorix_IButton& operator=(const Yandorix_IButton&) = delete;
  friend struct Yandorix_ButtonAccess;   // the frame driver's input step
  struct sButtonPrivate* p;
};

extern YDX_API Yandorix_IButton* IButton;

#endif
