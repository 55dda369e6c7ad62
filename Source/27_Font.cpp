// Bitmap fonts: glyph boxes from a magenta marker row (built from empty columns when the image has
// none), string drawing with kerning, clipping and a text cursor through the blit rule, measuring,
// and "FONT2" archive blocks (older "FONT" blocks upgraded where the archive can be written).
#include "01_Main.h"
#include "00_Platform.h"
#include "20_Primitives.h"
#include "22_ScreenFX.h"
#include "25_BlitRule.h"
#include "26_Tile.h"
#include "27_Font.h"
#include "14_Image.h"
#include "glSDL.h"
#include <algorithm>
#include <climits>
#include <cstring>

using ydxres::CopyBounded;
using ydxres::HasPerPixelAlpha;
using ydxres::LoadedBlock;
using ydxres::Shown;

// ---------------------------------------------------------------------------------------------------
// Block codec and marker row

namespace ydxfont {

bool DecodeFontBlock(const Uint8* data, size_t size, sFontBlock* out, std::string* why) {
  if (!data || size < kFontHeaderSize) {
    *why = "block shorter than its header";
    return false;
  }
  out->width = (int)(Sint32)ydxres::Get32(data);
  out->height = (int)(Sint32)ydxres::Get32(data + 4);
  out->format = ydxfmt::DecodeFormat(data + 8);
  if (out->format.bitsPerPixel == 8) {
    *why = "8-bit font images are never stored";
    return false;
  }
  uint64_t pixelBytes = 0;
  if (!ydxfmt::StoredImageBytes(out->width, out->height, out->format, &pixelBytes, why)) return false;
  uint64_t older = kFontHeaderSize + pixelBytes;
  uint64_t newer = older + kFontTailSize;
  if (size != newer && size != older) {
    *why = "block of " + std::to_string(size) + " bytes for " + std::to_string(newer) + " (or " +
           std::to_string(older) + " in the older layout)";
    return false;
  }
  out->version = size == newer ? 2 : 1;
  out->pixels = data + kFontHeaderSize;
  out->pixelBytes = (size_t)pixelBytes;
  out->kerning = out->version == 2 ? (int)(Sint32)ydxres::Get32(data + older) : 0;
  return true;
}

bool EncodeFontBlock(SDL_Surface* surface, Sint32 colorkey, Uint8 alpha, int kerning, std::vector<Uint8>* out) {
  if (!surface || surface->format->BitsPerPixel == 8) return false;
  out->clear();
  ydxres::Append32(out, (Uint32)surface->w);
  ydxres::Append32(out, (Uint32)surface->h);
  if (!ydxfmt::AppendImageData(surface, colorkey, alpha, out)) return false;
  ydxres::Append32(out, (Uint32)kerning);
  out->resize(out->size() + kFontTailSize - 4, 0);
  return true;
}

void UpgradeFontBlock(const Uint8* data, const sFontBlock& block, std::vector<Uint8>* out) {
  out->assign(data, data + kFontHeaderSize + block.pixelBytes);
  out->resize(out->size() + kFontTailSize, 0);
}

// A column has content when one of its pixels is visible: not raw 0, not fully transparent and not
// the colour key (a stored font's background is its key, whatever its value).
static bool ColumnHasContent(const SDL_Surface* s, int x, bool keyed) {
  for (int y = 0; y < s->h; ++y) {
    Uint32 raw = ydxpix::ReadUnchecked(s, x, y);
    if (raw == 0 || (keyed && raw == s->format->colorkey)) continue;
    Uint8 r, g, b, a;
    SDL_GetRGBA(raw, s->format, &r, &g, &b, &a);
    if (a != 0) return true;
  }
  return false;
}

int BuildMarkerRow(SDL_Surface* image) {
  if (!image) return -1;
  if (!ydxpix::LockForAccess(image)) {
    // The marks are read and drawn with the primitives' pixel access, which reports this way.
    ILogSystem.Msg(0, " . [IPrimitives->Lock()] Error: %s\n", SDL_GetError());
    return -1;
  }
  Uint32 magenta = SDL_MapRGB(image->format, 255, 0, 255);
  bool keyed = (image->flags & SDL_SRCCOLORKEY) != 0;
  bool previous = true;
  int transitions = 0;
  for (int x = 0; x < image->w; ++x) {
    bool content = ColumnHasContent(image, x, keyed);
    if (!content) ydxpix::WriteUnchecked(image, x, 0, magenta);
    if (content != previous) transitions++;
    previous = content;
  }
  ydxpix::UnlockAfterAccess(image);
  if (transitions != kMarkTransitions)
    ILogSystem.Msg(2, " . [CFont::CreateUpperMark()] Warning: it was not possible to import bitmap with font "
                   "characters.\n");
  return transitions;
}

// Every failure of the font's own pixel access is reported in the font's words; a pass that locks
// once for many pixels reports once. Pixel sizes other than 1 to 4 bytes are not read or written.
static bool UsualPixelSize(SDL_Surface* s, int x, int y) {
  int bytes = s->format->BytesPerPixel;
  if (bytes >= 1 && bytes <= 4) return true;
  ILogSystem.Msg(0, " . [CFont::CFontGetPixel(0x%x,%d,%d)] Error: loading font", (unsigned)(uintptr_t)s, x, y);
  return false;
}

bool FontLockForRead(SDL_Surface* s, int x, int y) {
  if (!UsualPixelSize(s, x, y)) return false;
  if (ydxpix::LockForAccess(s)) return true;
  ILogSystem.Msg(0, " . [CFont::CFontGetPixel(0x%x,%d,%d)] Error: %s\n", (unsigned)(uintptr_t)s, x, y, SDL_GetError());
  return false;
}

bool FontLockForWrite(SDL_Surface* s, int x, int y) {
  if (!UsualPixelSize(s, x, y)) return false;
  if (ydxpix::LockForAccess(s)) return true;
  ILogSystem.Msg(0, " . [CFont::CFontSetPixel()] Error: %s\n", SDL_GetError());
  return false;
}

Uint32 FontGetPixel(SDL_Surface* s, int x, int y) {
  if (!s || x < 0 || y < 0 || x >= s->w || y >= s->h) {
    ILogSystem.Msg(0, " . [CFont::CFontGetPixel(0x%x,%d,%d)] Error: wrong function parameters.\n",
                   (unsigned)(uintptr_t)s, x, y);
    return 0;
  }
  if (!FontLockForRead(s, x, y)) return 0;
  Uint32 value = ydxpix::ReadUnchecked(s, x, y);
  ydxpix::UnlockAfterAccess(s);
  return value;
}

}  // namespace ydxfont

// ---------------------------------------------------------------------------------------------------
// The font object

namespace {

const char kDefaultName[] = "Created on execution time";

// Glyph boxes and advances as the marker row gives them.
struct sGlyphTables {
  int glyphx[96];   // 0..94: the marks; 95: the image width
  int glyphw[96];   // advances; 94 is code 127, 95 the distance from the last mark to the edge
  // The marker runs themselves (first column, column after the last): saving puts them back into
  // row 0, so a font whose glyphs have empty columns inside loads again with the same boxes.
  int markstart[95];
  int markend[95];
};

using ydxfont::FontGetPixel;

// Scans row 0 for runs of marker pixels. Returns the number of runs; the tables are complete only
// when there are exactly 95.
int ScanMarkerRow(SDL_Surface* s, sGlyphTables* tables) {
  std::memset(tables, 0, sizeof *tables);
  if (!ydxfont::FontLockForRead(s, 0, 0)) return 0;
  Uint32 magenta = SDL_MapRGB(s->format, 255, 0, 255);
  int runs = 0, lastStart = 0, previousEnd = 0;
  for (int x = 0; x < s->w;) {
    if (ydxpix::ReadUnchecked(s, x, 0) != magenta) {
      ++x;
      continue;
    }
    int start = x;
    while (x < s->w && ydxpix::ReadUnchecked(s, x, 0) == magenta) ++x;
    int end = x < s->w ? x : s->w - 1;
    if (runs < ydxfont::kFontMarks) {
      tables->glyphx[runs] = (start + end) / 2;
      tables->markstart[runs] = start;
      tables->markend[runs] = x;
    }
    if (runs >= 1 && runs <= ydxfont::kFontGlyphs) tables->glyphw[runs - 1] = start - previousEnd + 1;
    previousEnd = end;
    lastStart = start;
    runs++;
  }
  ydxpix::UnlockAfterAccess(s);
  if (runs == ydxfont::kFontMarks) {
    tables->glyphx[95] = s->w;
    tables->glyphw[95] = s->w - lastStart;
    tables->glyphw[94] = tables->glyphw[95];   // code 127 reaches from the last mark to the edge
  }
  return runs;
}

// Paints the marker runs of the tables into row 0 of a software copy.
void RestoreMarkerRow(SDL_Surface* s, const sGlyphTables& tables) {
  if (!ydxfont::FontLockForWrite(s, 0, 0)) return;
  Uint32 magenta = SDL_MapRGB(s->format, 255, 0, 255);
  for (int k = 0; k < ydxfont::kFontMarks; ++k)
    for (int x = tables.markstart[k]; x < tables.markend[k] && x < s->w; ++x) ydxpix::WriteUnchecked(s, x, 0, magenta);
  ydxpix::UnlockAfterAccess(s);
}

// Every marker pixel becomes the background value.
void ReplaceMarkers(SDL_Surface* s, Uint32 background) {
  if (!ydxfont::FontLockForWrite(s, 0, 0)) return;
  Uint32 magenta = SDL_MapRGB(s->format, 255, 0, 255);
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      if (ydxpix::ReadUnchecked(s, x, y) == magenta) ydxpix::WriteUnchecked(s, x, y, background);
  ydxpix::UnlockAfterAccess(s);
}

bool StartsWithMarker(SDL_Surface* s) {
  if (!ydxpix::LockForAccess(s)) return false;
  Uint8 r, g, b;
  SDL_GetRGB(ydxpix::ReadUnchecked(s, 0, 0), s->format, &r, &g, &b);
  ydxpix::UnlockAfterAccess(s);
  return r == 255 && g == 0 && b == 255;
}

// SDL keeps positions in 16 bits; anything beyond lies off every surface SDL can make.
Sint16 ToCoordinate(long long v) { return (Sint16)std::min<long long>(std::max<long long>(v, -32768), 32767); }

// A glyph's source and destination, cut to the clip rectangle on all four sides.
struct GlyphRects {
  long long sx, sy, dx, dy, w, h;
};

void ClipGlyphRect(GlyphRects* g, const SDL_Rect* clip) {
  long long left = clip->x - g->dx, top = clip->y - g->dy;
  if (left > 0) {
    g->dx += left;
    g->sx += left;
    g->w -= left;
  }
  if (top > 0) {
    g->dy += top;
    g->sy += top;
    g->h -= top;
  }
  long long right = g->dx + g->w - (clip->x + clip->w), bottom = g->dy + g->h - (clip->y + clip->h);
  if (right > 0) g->w -= right;
  if (bottom > 0) g->h -= bottom;
  g->w = std::max(g->w, 0LL);
  g->h = std::max(g->h, 0LL);
}

}  // namespace

struct sFontPrivate {
  int alpha = 255;
  int glyphh = 0;
  SDL_Surface* surface = NULL;
  sGlyphTables tables = {};
  int lastchar = 0;
  int spacew = 0;
  int cursoroffset = 0;
  Uint32 keyvalue = 0;
  Uint8 created = 0;
  Uint8 perpixel = 0;
  int kerning = 0;
  char name[32];
  char cursorchar = '|';
  Yandorix_PixelCopy backup;

  // Codes are taken as signed 8-bit values, so codes above 127 are never glyphs.
  bool IsGlyph(char c) const {
    int code = (signed char)c;
    return code >= 33 && code <= lastchar;
  }
  int Advance(char c) const { return tables.glyphw[(signed char)c - 33]; }
  int BoxX(char c) const { return tables.glyphx[(signed char)c - 33]; }
  int BoxW(char c) const { return tables.glyphx[(signed char)c - 32] - tables.glyphx[(signed char)c - 33]; }

  // The width of at most 255 characters: spaces, glyph advances and the kerning between glyphs.
  long long TextWidth(const char* text) const {
    long long width = 0;
    for (int i = 0; i < 255 && text[i]; ++i) {
      if (text[i] == ' ') {
        width += spacew;
      } else if (IsGlyph(text[i])) {
        width += Advance(text[i]);
        if (text[i + 1]) width += kerning;
      }
    }
    return width;
  }

  // Draws glyph c whose pen position is (penx, y); the box is centred on the advance.
  void DrawGlyph(SDL_Surface* dest, long long penx, long long y, char c, const SDL_Rect* clip, bool wholeCursor) {
    GlyphRects g = {BoxX(c), 1, penx - (BoxW(c) - Advance(c)) / 2, y, BoxW(c), glyphh};
    if (clip) ClipGlyphRect(&g, clip);
    if (g.w <= 0 || g.h <= 0) return;
    SDL_Rect from = {(Sint16)g.sx, (Sint16)g.sy, (Uint16)g.w, (Uint16)g.h};
    SDL_Rect to = {ToCoordinate(g.dx), ToCoordinate(g.dy), (Uint16)g.w, (Uint16)g.h};
    Yandorix_Blit(surface, &from, dest, &to, &backup, wholeCursor);
  }
};

Yandorix_CFont::Yandorix_CFont() {
  p = new sFontPrivate();
  CopyBounded(p->name, sizeof p->name, kDefaultName);
  Yandorix.numfonts++;
}

Yandorix_CFont::~Yandorix_CFont() {
  Clean();
  delete p;
  Yandorix.numfonts--;
}

void Yandorix_CFont::Clean() {
  if (!p->created) return;
  if (p->surface) SDL_FreeSurface(p->surface);
  p->surface = NULL;
  p->backup.Clear();
  p->alpha = 255;
  p->glyphh = p->lastchar = p->spacew = p->cursoroffset = 0;
  p->tables = sGlyphTables();
  p->keyvalue = 0;
  p->created = p->perpixel = 0;
}

// ---------------------------------------------------------------------------------------------------
// Creation

namespace {

// The marker row as the image has it or as it is built from empty columns; 0 when ready, else the
// result Create reports.
int EnsureMarkerRow(SDL_Surface* s) {
  if (StartsWithMarker(s)) return 0;
  int transitions = ydxfont::BuildMarkerRow(s);
  if (transitions == ydxfont::kMarkTransitions) return 0;
  return transitions / 2 <= 0 ? 255 : ydxfont::CountResult(transitions / 2);
}

// The width of the cursor glyph's leading background in its middle row, plus one.
int CursorOffset(const sFontPrivate* p, SDL_Surface* s) {
  int y = p->glyphh / 2, x = p->BoxX('|');
  if (FontGetPixel(s, x, y) != p->keyvalue) return 1;
  long long limit = std::min<long long>(p->TextWidth("|") + 1, s->w - x);
  int count = 0;
  while (count < limit && FontGetPixel(s, x + count, y) == p->keyvalue) ++count;
  return count + 1;
}

}  // namespace

int Yandorix_CFont::Create(SDL_Surface* image) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [CFont::Create()] Error: Yandorix was not initialized. Aborting the font creation.\n");
    return 255;
  }
  if (p->created) {
    ILogSystem.Msg(2, " . [CFont::Create()] Warning: font already exists. It is not possible to create another one.\n");
    return 255;
  }
  if (!image) {
    ILogSystem.Msg(0, " . [CFont::Create()] Error: font surface is null\n");
    return 255;
  }
  if (image->format->BitsPerPixel == 8) {
    ILogSystem.Msg(2, " . [CFont::Create()] Warning: 8bits surface loaded is not supported to create a font.\n");
    return 255;
  }
  SDL_Surface* s = SDL_ConvertSurface(image, image->format, image->flags);
  if (!s) return 255;
  s->format->colorkey = image->format->colorkey;
  s->format->alpha = image->format->alpha;
  sGlyphTables tables;
  int refused = EnsureMarkerRow(s);
  int runs = refused ? 0 : ScanMarkerRow(s, &tables);
  if (!refused && runs != ydxfont::kFontMarks) refused = ydxfont::CountResult(runs);
  if (refused) {
    SDL_FreeSurface(s);
    return refused;
  }
  p->alpha = std::min(std::max(p->alpha, 0), 255);
  p->perpixel = HasPerPixelAlpha(s) ? 1 : 0;
  if (!p->perpixel) SDL_SetAlpha(s, p->alpha == 255 ? 0 : SDL_SRCALPHA, (Uint8)p->alpha);
  p->glyphh = s->h - 1;
  p->tables = tables;
  p->lastchar = 128;
  p->keyvalue = FontGetPixel(s, 0, p->glyphh);
  if (!p->perpixel) SDL_SetColorKey(s, SDL_SRCCOLORKEY, p->keyvalue);
  ReplaceMarkers(s, p->keyvalue);
  p->spacew = (int)p->TextWidth("a");
  if (!p->spacew) p->spacew = (int)p->TextWidth("A");
  if (!p->spacew) p->spacew = (int)p->TextWidth("0");
  if (!p->spacew) p->spacew = tables.glyphx[1] - tables.glyphx[0];
  p->cursoroffset = CursorOffset(p, s);
  if (SurfaceDiffersFromScreen(s)) {
    if (p->perpixel)
      ILogSystem.Msg(5, " . [CFont->Create()] Info: surface with alpha per pixel loaded, it could slow down your "
                     "graphics system.\n");
    if (SDL_Surface* converted = ydxfmt::DisplayCopy(s, p->perpixel != 0)) {
      SDL_FreeSurface(s);
      s = converted;
    }
  }
  if (Yandorix.IsGL() && glSDL_SurfaceToTexture(s)) ++Yandorix_TexturesAtLoad;
  if (Yandorix.backupsurfaces) p->backup.Take(s);
  p->surface = s;
  p->created = 1;
  return 96;
}

namespace {

}  // namespace

int Yandorix_CFont::Create(const char* file) {
  if (!file) return 255;
  if (!Yandorix_IsInitialised()) return Create((SDL_Surface*)NULL);   // logs the refusal
  SDL_Surface* loaded = ydximg::LoadUnconverted(file);
  if (!loaded) {
    ILogSystem.Msg(0, " . [CFont::Create('%s')] Error: it was not possible to load the given image file.\n", file);
    return 255;
  }
  int result = Create(loaded);
  SDL_FreeSurface(loaded);
  return result;
}

int Yandorix_CFont::Test(SDL_Surface* image) {
  if (!image) return 255;
  if (image->format->BitsPerPixel == 8) {
    ILogSystem.Msg(2, " . [CFont::Test()] Warning: 8bits surface loaded is not supported to create a font.\n");
    return 255;
  }
  SDL_Surface* copy = SDL_ConvertSurface(image, image->format, image->flags);
  if (!copy) return 255;
  int transitions = ydxfont::BuildMarkerRow(copy);
  if (transitions == ydxfont::kMarkTransitions) {
    SDL_FreeSurface(copy);
    return 0;
  }
  // The image with the marks it got shows where the columns run together or fall apart.
  if (IImage) IImage->SaveBMP("FontWithErrors.bmp", copy);
  SDL_FreeSurface(copy);
  return transitions / 2 <= 0 ? 255 : ydxfont::CountResult(transitions / 2);
}

int Yandorix_CFont::Test(const char* bmpfile) {
  SDL_Surface* loaded = ydximg::LoadUnconverted(bmpfile, true);
  if (!loaded) return 255;
  int result = Test(loaded);
  SDL_FreeSurface(loaded);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Drawing and measuring

void Yandorix_CFont::PutString(SDL_Surface* dest, int x, int y, const char* text, const SDL_Rect* clip) {
  if (!p->created || !dest || !text) return;
  long long pen = x;
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') {
      pen += p->spacew;
    } else if (p->IsGlyph(*c)) {
      p->DrawGlyph(dest, pen, y, *c, clip, false);
      pen += p->Advance(*c) + p->kerning;
    }
  }
}

void Yandorix_CFont::PutStringWithCursor(SDL_Surface* dest, int x, int y, const char* text, int pos,
                                         const SDL_Rect* clip, unsigned char show) {
  if (!p->created || !dest || !text) return;
  if (show && p->IsGlyph(p->cursorchar)) {
    long long cursorx = x;
    for (int i = 0; i < pos && text[i]; ++i) {
      if (text[i] == ' ') cursorx += p->spacew;
      else if (p->IsGlyph(text[i])) cursorx += p->Advance(text[i]) + p->kerning;
    }
    p->DrawGlyph(dest, cursorx - p->cursoroffset + 2, y, p->cursorchar, clip, true);
  }
  PutString(dest, x, y, text, clip);
}

void Yandorix_CFont::PutStringXCenter(SDL_Surface* dest, int y, const char* text, const SDL_Rect* clip) {
  if (!p->created || !dest || !text) return;
  PutString(dest, (int)(dest->w / 2 - p->TextWidth(text) / 2), y, text, clip);
}

void Yandorix_CFont::PutStringYCenter(SDL_Surface* dest, int x, const char* text, const SDL_Rect* clip) {
  if (!p->created || !dest || !text) return;
  PutString(dest, x, dest->h / 2 - p->surface->h / 2, text, clip);
}

int Yandorix_CFont::StringWidth(const char* text) const {
  if (!p->created || !text) return 0;
  return (int)std::min<long long>(std::max<long long>(p->TextWidth(text), INT_MIN), INT_MAX);
}

int Yandorix_CFont::StringHeight() const { return p->created ? p->glyphh : 0; }

int Yandorix_CFont::SetCursorAt(const char* text, int px) const {
  if (!p->created || !text || px <= 0) return 0;
  long long offset = 0;
  int i = 0;
  for (; text[i]; ++i) {
    int step = text[i] == ' ' ? p->spacew : p->IsGlyph(text[i]) ? p->Advance(text[i]) : 0;
    if ((offset + offset + step) / 2 > px) return i;
    offset += step;
  }
  return i;
}

// ---------------------------------------------------------------------------------------------------
// Properties

void Yandorix_CFont::SetKerning(int kerning) {
  if (p->created) p->kerning = kerning;
}
int Yandorix_CFont::GetKerning() const { return p->created ? p->kerning : 0; }
void Yandorix_CFont::SetCursorChar(char c) { p->cursorchar = c; }
char Yandorix_CFont::GetCursorChar() const { return p->cursorchar; }

void Yandorix_CFont::SetName(const char* name) {
  if (!p->created || !name || std::strlen(name) >= sizeof p->name) return;
  std::strcpy(p->name, name);
}

char* Yandorix_CFont::GetName() const { return p->created ? p->name : NULL; }
SDL_Surface* Yandorix_CFont::GetSurface() const { return p->created ? p->surface : NULL; }

void Yandorix_CFont::SetAlpha(int alpha) {
  if (!p->created || alpha < 0 || alpha > 255 || p->perpixel) return;
  ydxfmt::ChangeAlpha(&p->surface, p->alpha, alpha, "CFont", &p->backup);
  p->alpha = alpha;
}

int Yandorix_CFont::GetAlpha() const {
  if (!p->created) return -1;
  return p->perpixel ? 256 : p->alpha;
}

void Yandorix_CFont::Info() const {
  if (!p->created) {
    ILogSystem.Msg(0, "\n . Font information: current font is empty.\n");
    return;
  }
  SDL_Surface* s = p->surface;
  ILogSystem.Msg(0, "\n . Font information of '%s':\n", p->name);
  ydxres::LogSurfaceMemory(s);
  ILogSystem.Msg(0, "      -> Font size: %dx%d - Color depth: %dbits - Kerning: %d\n", s->w, s->h,
                 s->format->BitsPerPixel, p->kerning);
  ydxres::LogAlphaBlending(s);
  ydxres::LogColorKey(s);
  ILogSystem.Msg(0, "\n");
}

// ---------------------------------------------------------------------------------------------------
// Archive blocks

namespace {

// A software copy of the font image for saving: 8-bit images (a screen of that depth) are widened
// to 32 bits with their colours copied exactly.
SDL_Surface* CopyForSaving(SDL_Surface* surface, Sint32* key) {
  bool keyed = (surface->flags & SDL_SRCCOLORKEY) != 0;
  *key = keyed ? (Sint32)surface->format->colorkey : -1;
  if (surface->format->BitsPerPixel != 8) return ydxfmt::SoftwareCopy(surface);
  SDL_Surface* wide = SDL_CreateRGBSurface(0, surface->w, surface->h, 32, 0, 0, 0, 0);
  if (!wide) return NULL;
  {
    ydxfx::BlendingOff exactly(surface);
    SDL_BlitSurface(surface, NULL, wide, NULL);
  }
  if (keyed) *key = (Sint32)ydxfmt::TranslatePixel(surface, surface->format->colorkey, wide->format);
  return wide;
}

// The software image of a checked block, with its stored colour key switched on so its background
// counts as empty when the marker row is built again.
SDL_Surface* BlockImage(const ydxfont::sFontBlock& block) {
  SDL_Surface* s = ydxfmt::CreateSurface(block.width, block.height, block.format);
  if (!s) return NULL;
  ydxfmt::CopyStoredPixels(s, block.pixels);
  if (block.format.colorkey != -1) SDL_SetColorKey(s, SDL_SRCCOLORKEY, (Uint32)block.format.colorkey);
  s->format->alpha = block.format.alpha;
  return s;
}

void UpgradeInArchive(int handle, const LoadedBlock& old, const ydxfont::sFontBlock& decoded, const char* archive,
                      const char* name) {
  std::vector<Uint8> upgraded;
  ydxfont::UpgradeFontBlock(old.Bytes(), decoded, &upgraded);
  switch (ydxres::ReplaceOlderBlock(handle, old.block, "FONT2", upgraded)) {
    case ydxres::kReplaced:
      ILogSystem.Msg(2, " . [CFont::Load('%s','%s')] Info: font successfully updated from v1.0 to v2.0.\n", archive,
                     name);
      break;
    case ydxres::kNotWritten:
      ILogSystem.Msg(2, " . [CFont::Load('%s','%s')] Warning: update to v2.0 was not possible; the font is loaded "
                     "without updating the archive.\n", archive, name);
      break;
    case ydxres::kOlderKept:
      ILogSystem.Msg(2, " . [CFont::Load('%s','%s')] Warning: the v1.0 block could not be deleted.\n", archive, name);
      break;
  }
}

}  // namespace

int Yandorix_CFont::Save(int handle, const char* name) {
  if (!p->created || handle < 1 || !name || !IStuffDPF) return 0;
  if (std::strlen(name) >= sizeof(DPF_BlockData{}.name)) {
    ILogSystem.Msg(0, " . [CFont::Save(%d,'%s')] Error: block names hold at most 31 characters.\n", handle, name);
    return 0;
  }
  Sint32 key = -1;
  SDL_Surface* copy = CopyForSaving(p->surface, &key);
  if (copy) RestoreMarkerRow(copy, p->tables);
  std::vector<Uint8> bytes;
  Uint8 alpha = p->perpixel ? 255 : (Uint8)p->alpha;
  bool encoded = copy && ydxfont::EncodeFontBlock(copy, key, alpha, p->kerning, &bytes) && bytes.size() <= INT_MAX;
  if (copy) SDL_FreeSurface(copy);
  if (!encoded) {
    ILogSystem.Msg(0, " . [CFont::Save(%d,'%s')] Error: the font surface could not be copied.\n", handle, name);
    return 0;
  }
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  std::strcpy(block.name, name);
  std::strcpy(block.type, "FONT2");
  block.mode = 0;
  block.size = (int)bytes.size();
  block.data = reinterpret_cast<char*>(bytes.data());
  return IStuffDPF->AddData(handle, &block);
}

int Yandorix_CFont::Save(const char* file, const char* name) {
  if (!file || !IStuffDPF) return 0;
  bool exists = ydxplat::Access(file, 0) == 0;
  int handle = exists ? IStuffDPF->Open(file) : IStuffDPF->Create(file);
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [CFont::Save('%s','%s')] Error: archive could not be opened.\n", file, Shown(name));
    return 0;
  }
  int result = Save(handle, name);
  IStuffDPF->Close(handle);
  return result;
}

int Yandorix_CFont::Load(int handle, const char* name) {
  if (handle < 1 || !name) return 0;
  const char* archive = IStuffDPF ? Shown(IStuffDPF->GetFilename(handle)) : "";
  if (!Yandorix_IsInitialised() || !IStuffDPF) {
    ILogSystem.Msg(0, " . [CFont::Load('%s','%s')] Error: Yandorix was not initialized. Aborting the font load.\n",
                   archive, name);
    return 0;
  }
  if (p->created) {
    ILogSystem.Msg(2, " . [CFont::Load('%s','%s')] Warning: font already exists. It is not possible to create another "
                   "one.\n", archive, name);
    return 0;
  }
  LoadedBlock loaded;
  bool underOlderType = false;
  if (!loaded.Load(handle, "FONT2", name)) {
    underOlderType = true;
    if (!loaded.Load(handle, "FONT", name)) {
      ILogSystem.Msg(0, " . [CFont::Load('%s','%s')] Error: font not found\n", archive, name);
      return 0;
    }
  }
  ydxfont::sFontBlock decoded;
  std::string why;
  bool sound = ydxfont::DecodeFontBlock(loaded.Bytes(), loaded.Size(), &decoded, &why);
  if (sound && decoded.version == 1 && !underOlderType) {
    sound = false;
    why = "a versioned block in the older layout";
  }
  if (!sound) {
    ILogSystem.Msg(0, " . [CFont::Load('%s','%s')] Error: font block refused: %s.\n", archive, name, why.c_str());
    return 0;
  }
  SDL_Surface* image = BlockImage(decoded);
  if (!image) {
    ILogSystem.Msg(0, " . [CFont::Load('%s','%s')] Error: %s\n", archive, name, SDL_GetError());
    return 0;
  }
  int keptKerning = p->kerning;
  p->alpha = decoded.format.alpha;
  p->kerning = decoded.kerning;
  int result = Create(image);
  SDL_FreeSurface(image);
  if (result != 96) {
    ILogSystem.Msg(0, " . [CFont::Load('%s','%s')] Error: internal failure (%d).\n", archive, name, result);
    p->alpha = 255;
    p->kerning = keptKerning;
    return 0;
  }
  if (decoded.version == 1) UpgradeInArchive(handle, loaded, decoded, archive, name);
  CopyBounded(p->name, sizeof p->name, loaded.block.name);
  return 1;
}

int Yandorix_CFont::Load(const char* file, const char* name) {
  if (!file || !IStuffDPF) return 0;
  int handle = IStuffDPF->Open(file);
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [CFont::Load('%s','%s')] Error: archive could not be opened.\n", file, Shown(name));
    return 0;
  }
  int result = Load(handle, name);
  IStuffDPF->Close(handle);
  return result;
}
