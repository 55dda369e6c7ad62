// Bitmap fonts: the glyphs '!' to '~' side by side in one image whose top row marks the glyphs with
// magenta (255, 0, 255) pixels (built from empty columns when missing). Strings are drawn with kerning,
// a clip rectangle and a text cursor through the blit rule, measured, and stored as "FONT2" blocks.
#ifndef YANDORIX_FONT_H
#define YANDORIX_FONT_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_CFont {
 public:
  Yandorix_CFont();
  ~Yandorix_CFont();
  // Frees the image and returns to the empty state; name, kerning and cursor character are kept.
  void Clean();

  // 96 when created; 255 when refused; otherwise the number of glyphs (marker row built from empty
  // columns) or markers (given marker row) found, 0..95, or 254 for more than 95. The file (BMP or
  // PNG) is loaded with automatic conversion suspended.
  // Marker row: a magenta pixel at the first column of each glyph and one after the last (95 in all),
  // the first in column 0; the bottom-left pixel is the background, made transparent.
  int Create(SDL_Surface* image);
  int Create(const char* file);
  // Checks that a marker row can be built: 0 when it can; otherwise the image with its marks is
  // written as "FontWithErrors.bmp" in the current directory and the number of glyphs found is
  // returned (255 when there are none, 254 for more than 95).
  int Test(SDL_Surface* image);
  // The file form reads BMP files only.
  int Test(const char* bmpfile);

  // Drawing on a created font; a NULL destination or text draws nothing. The clip rectangle (NULL:
  // none) limits every glyph.
  void PutString(SDL_Surface* dest, int x, int y, const char* text, const SDL_Rect* clip);
  // Also draws the cursor character before character `pos` when `show` is not 0.
  void PutStringWithCursor(SDL_Surface* dest, int x, int y, const char* text, int pos, const SDL_Rect* clip,
                           unsigned char show);
  void PutStringXCenter(SDL_Surface* dest, int y, const char* text, const SDL_Rect* clip);
  void PutStringYCenter(SDL_Surface* dest, int x, const char* text, const SDL_Rect* clip);

  int StringWidth(const char* text) const;   // over at most 255 characters
  int StringHeight() const;
  // The index of the character a click at px pixels from the text's start falls before.
  int SetCursorAt(const char* text, int px) const;

  void SetKerning(int kerning);
  int GetKerning() const;
  void SetCursorChar(char c);
  char GetCursorChar() const;
  void SetName(const char* name);   // names of 32 characters or more are ignored
  char* GetName() const;            // NULL on an empty font
  SDL_Surface* GetSurface() const;
  void SetAlpha(int alpha);         // 0..255; refused with per-pixel alpha
  int GetAlpha() const;             // 256 with per-pixel alpha; -1 on an empty font

  // "FONT2" blocks; an older "FONT" block is upgraded where the archive can be written. Save returns
  // the archive's stored size (-1 when the block exists, 0 on failure); Load 1 or 0.
  int Save(int handle, const char* name);
  int Save(const char* file, const char* name);
  int Load(int handle, const char* name);
  int Load(const char* file, const char* name);
  void Info() const;

 private:
  Yandorix_CFont(const Yandorix_CFont&) = delete;
  Yandorix_CFont& operator=(const Yandorix_CFont&) = delete;
  struct sFontPrivate* p;
};

#endif
