// The software mouse cursor: up to 32 cursor images drawn by the library at the mouse position once
// per rendered frame, optionally gliding between logic frames, with the mouse limited to a clip region.
// On screens that are not redrawn whole every frame it keeps the screen area under itself (auto
// restore): drawing code calls RestoreBG before and CopyBG after touching the screen.
#ifndef YANDORIX_CURSOR_H
#define YANDORIX_CURSOR_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_ICursor {
 public:
  Yandorix_ICursor();
  ~Yandorix_ICursor();

  // After SetVideoMode: hides the system cursor, centres the mouse, clips it to the screen, and turns
  // auto restore on for single-buffered screens outside OpenGL.
  void Init();
  // Gives the system cursor back and deletes every cursor image.
  void Close();

  // Hot-spot types: 0 top-left, 1 right edge, 2 bottom edge, 3 bottom-right, 4 centre (others are
  // limited to 0..4). Each returns the new cursor's slot 0..31, or -1 (full, or the image refused).
  // A surface is copied with its own colour key; only when its format's key value is -1 (fresh SDL
  // surfaces have 0) and it has no per-pixel alpha does its pixel (0, 0) become the key. Images from
  // files (BMP, PNG) and "IMG" blocks take pixel (0, 0) as key unless they carry per-pixel alpha.
  int Create(SDL_Surface* image, char type);
  int Create(const char* file, char type);
  int Load(const char* file, const char* block, char type);
  int Load(int handle, const char* block, char type);
  void Delete(char slot);

  // Makes a slot the drawn cursor and shows it; ChangeType gives a slot another hot spot.
  void Select(char slot);
  void ChangeType(char slot, char type);
  void Show();
  void Hide();
  void SetPosition(int x, int y);   // warps the mouse while the cursor is shown
  void AutoRestore(char on);         // never on under OpenGL
  void SetSmooth(char on);
  // The mouse is kept within x..xlimit and y..ylimit.
  void ClipRegion(int x, int y, int xlimit, int ylimit);

  // The cursor guard of code that draws on the screen: RestoreBG gives the screen under the cursor back
  // (1) when `area` (NULL: anywhere) meets the cursor; the caller then draws and calls CopyBG.
  void CopyBG();
  int RestoreBG(SDL_Rect* area);
  // The screen under the cursor changed behind the guard's back: takes it afresh.
  void Invalidate();

  // Called by the frame driver: the mouse position of each logic frame, and the drawing of each frame.
  void SaveCoordinates(int x, int y);
  void Update();
  void Info();

 private:
  Yandorix_ICursor(const Yandorix_ICursor&) = delete;
  Yandorix_ICursor& operator=(const Yandorix_ICursor&) = delete;
  struct sCursorPrivate* p;
};

extern YDX_API Yandorix_ICursor* ICursor;

#endif
