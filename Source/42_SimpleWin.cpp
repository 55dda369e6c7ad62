// The text-window base shared by the console and the debug window: rectangle, background, alpha, font,
// title and the one-second fade. Windows never draw on their own schedule: whatever changes their look
// asks the frame driver for a render.
#include "01_Main.h"
#include "42_BuiltinFont.h"
#include "43_Console.h"
#include "glSDL.h"
#include <algorithm>

namespace {

const int kMinWidth = 150, kMinHeight = 100;
const int kMinAlpha = 64;
const Uint32 kFadeTime = 1000;
const int kShowAtOnce = 4;   // feature bit: SetVisible switches without fading

using ydxcon::kHidden;
using ydxcon::kShown;
using ydxcon::kFadingIn;
using ydxcon::kFadingOut;

}  // namespace

cSimpleWin::cSimpleWin()
    : x(0),
      y(0),
      w((Uint16)kMinWidth),
      h((Uint16)kMinHeight),
      visibility(kHidden),
      bgcolor(0),
      bgsurface(NULL),
      bgimage(NULL),
      alpha(128),
      font(NULL),
      enabled(0),
      fadestart(0),
      features(0) {
  CreateBuiltinFont();
}

cSimpleWin::~cSimpleWin() {
  if (bgsurface) SDL_FreeSurface(bgsurface);
  if (bgimage) SDL_FreeSurface(bgimage);
  delete font;
  lines.clear();
  title.clear();
}

int cSimpleWin::CreateBuiltinFont() {
  if (font) return 1;
  if (!IImage) return 0;
  // Unconverted, so that the font is built from the RGB image whatever the screen's depth (fonts
  // refuse 8-bit images); the font converts itself for the screen afterwards.
  int savedSwitch = Yandorix_AutoConvert;
  Yandorix_AutoConvert = 0;
  SDL_Surface* image = IImage->LoadPNG(ydx_BuiltinFontPNG, ydx_BuiltinFontPNGSize);
  Yandorix_AutoConvert = savedSwitch;
  if (!image) return 0;
  Yandorix_CFont* created = new Yandorix_CFont();
  created->Create(image);
  SDL_FreeSurface(image);
  if (!created->GetSurface()) {
    delete created;   // an empty font would leave the window without a measurable height
    return 0;
  }
  created->SetCursorChar('_');
  created->SetAlpha(alpha);
  created->SetName("Yandorix built-in console font");
  if (Yandorix.IsGL()) glSDL_SurfaceToTexture(created->GetSurface());
  font = created;
  return 1;
}

// A change of look reaches the screen only while the window is shown or fading.
void cSimpleWin::LookChanged() {
  if (visibility != kHidden) Yandorix.RenderNeeded(1);
}

bool cSimpleWin::HasUsableFont() { return font && font->GetSurface() && font->StringHeight() > 0; }

void cSimpleWin::ApplyAlpha(int a) {
  if (a == -1) a = alpha;
  if (bgsurface) {
    if (a == 255)
      SDL_SetAlpha(bgsurface, 0, 0);
    else
      SDL_SetAlpha(bgsurface, SDL_SRCALPHA, (Uint8)a);
  }
  if (font) font->SetAlpha(a);
}

int cSimpleWin::Update() {
  if (!enabled || visibility == kHidden) return 0;
  if (visibility == kShown) return 1;
  Uint32 now = Yandorix_Ticks();
  if (fadestart == 0) fadestart = now;
  Uint32 elapsed = now - fadestart;
  if (elapsed > kFadeTime) {
    bool shown = visibility == kFadingIn;
    visibility = shown ? kShown : kHidden;
    ApplyAlpha(shown ? alpha : 0);
    fadestart = 0;
    Yandorix.RenderNeeded(1);   // the last step of the fade must reach the screen as well
    return 1;
  }
  int part = (int)(elapsed * alpha / kFadeTime);
  ApplyAlpha(visibility == kFadingIn ? part : alpha - part);
  Yandorix.RenderNeeded(1);
  return 1;
}

// The library's access to a window's fade.
struct cSimpleWinAccess {
  static void ReverseFade(cSimpleWin* w) {
    if (!w->enabled || (w->visibility != kFadingIn && w->visibility != kFadingOut)) return;
    Uint32 now = Yandorix_Ticks();
    Uint32 elapsed = w->fadestart ? std::min(now - w->fadestart, kFadeTime) : 0;
    // The reversed fade starts as far along as the alpha the first one reached.
    w->visibility = w->visibility == kFadingIn ? kFadingOut : kFadingIn;
    w->fadestart = now - (kFadeTime - elapsed);
    if (w->fadestart == 0) w->fadestart = 1;   // 0 means "not started": one millisecond off is no matter
    Yandorix.RenderNeeded(1);
  }
};

void ydxcon::ReverseFade(cSimpleWin* window) {
  if (window) cSimpleWinAccess::ReverseFade(window);
}

void cSimpleWin::Enable() {
  if (!Yandorix.screen) return;
  if (w < kMinWidth || h < kMinHeight) {
    ILogSystem.Msg(2, " \xC2\xB7 [SimpleWin] Warning: the window size is too small (%dx%d)\n", w, h);
    return;
  }
  if (!bgsurface) {
    ILogSystem.Msg(2, " \xC2\xB7 [SimpleWin] Warning: a background image or color is needed for the window\n");
    return;
  }
  if (!HasUsableFont()) {
    ILogSystem.Msg(2, " \xC2\xB7 [SimpleWin] Warning: a font is needed for the window\n");
    return;
  }
  enabled = 1;
}

unsigned char cSimpleWin::isEnabled() { return enabled; }
void cSimpleWin::Disable() { enabled = 0; }
unsigned char cSimpleWin::isVisible() { return visibility; }
Yandorix_CFont* cSimpleWin::GetFont() { return font; }
// x, y, w and h are declared together with the widths and order of an SDL_Rect's fields.
static_assert(sizeof(SDL_Rect) == 2 * sizeof(Sint16) + 2 * sizeof(Uint16), "SDL_Rect holds x, y, w, h only");
SDL_Rect* cSimpleWin::GetRect() { return reinterpret_cast<SDL_Rect*>(&x); }
unsigned char cSimpleWin::GetAlpha() { return alpha; }
SDL_Surface* cSimpleWin::GetBgImage() { return bgsurface; }

unsigned int cSimpleWin::GetBgColor() {
  if (!Yandorix.screen) return bgcolor;
  Uint8 r, g, b;
  SDL_GetRGB(bgcolor, Yandorix.screen->format, &r, &g, &b);
  return SDL_MapRGB(Yandorix.screen->format, r, g, b);
}

void cSimpleWin::SetTitle(const char* text) {
  if (!text) return;
  title = text;
  if (enabled) LookChanged();
}

int cSimpleWin::Features(int v) {
  if (v != -1) features ^= (unsigned int)v;
  return (int)features;
}

void cSimpleWin::SetAlpha(unsigned char a) {
  if (!enabled) return;
  alpha = std::max<unsigned char>(a, kMinAlpha);
  ApplyAlpha(-1);
  LookChanged();
}

void cSimpleWin::SetBgColor(unsigned int pixel) {
  if (!enabled || !Yandorix.screen) return;
  bgcolor = pixel;
  SDL_Surface* plain = SDL_CreateRGBSurface(0, w, h, 24, 0, 0, 0, 0);
  if (!plain) return;
  SDL_Surface* drawn = SDL_DisplayFormat(plain);
  SDL_FreeSurface(plain);
  if (!drawn) return;   // the old background stays
  if (bgsurface) SDL_FreeSurface(bgsurface);
  if (bgimage) SDL_FreeSurface(bgimage);
  bgimage = NULL;
  bgsurface = drawn;
  SDL_FillRect(bgsurface, NULL, pixel);
  ApplyAlpha(-1);
  LookChanged();
}

void cSimpleWin::SetBgColor(unsigned char r, unsigned char g, unsigned char b) {
  if (!enabled || !Yandorix.screen) return;
  SetBgColor(SDL_MapRGB(Yandorix.screen->format, r, g, b));
}

void cSimpleWin::SetBgImage(int handle, const char* name) {
  if (!enabled || !IImage || !IScreenFX) return;
  SDL_Surface* loaded = IImage->Load(handle, name, NULL);
  if (!loaded) return;
  SDL_Surface* scaled = IScreenFX->Resize(loaded, NULL, 1, (int)w, (int)h, NULL, NULL);
  if (!scaled) {
    SDL_FreeSurface(loaded);
    return;
  }
  if (bgsurface) SDL_FreeSurface(bgsurface);
  if (bgimage) SDL_FreeSurface(bgimage);
  bgsurface = scaled;
  bgimage = loaded;
  ApplyAlpha(-1);
  LookChanged();
}

void cSimpleWin::SetBgImage(const char* file, const char* name) {
  if (!enabled || !IStuffDPF) return;
  int handle = IStuffDPF->Open(file);
  if (handle <= 0) return;   // the archive layer said why
  SetBgImage(handle, name);
  IStuffDPF->Close(handle);
}

// Takes a freshly loaded font in place of the current one, or refuses it when it holds no glyphs (the
// font's load has logged why).
bool cSimpleWin::ReplaceFont(Yandorix_CFont* loaded) {
  if (!loaded->GetSurface() || loaded->StringHeight() <= 0) {
    delete loaded;
    return false;
  }
  delete font;
  font = loaded;
  ApplyAlpha(-1);
  Layout();
  LookChanged();
  return true;
}

void cSimpleWin::SetFont(int handle, const char* name) {
  if (!enabled) return;
  Yandorix_CFont* loaded = new Yandorix_CFont();
  loaded->SetCursorChar('_');
  loaded->Load(handle, name);
  ReplaceFont(loaded);
}

void cSimpleWin::SetFont(const char* file, const char* name) {
  if (!enabled) return;
  Yandorix_CFont* loaded = new Yandorix_CFont();
  loaded->SetCursorChar('_');
  loaded->Load(file, name);
  ReplaceFont(loaded);
}

void cSimpleWin::Move(short newx, short newy) {
  if (!enabled || !Yandorix.screen) return;
  int left = newx < 0 ? x : newx, top = newy < 0 ? y : newy;
  left = std::max(0, std::min(left, Yandorix.screen->w - (int)w));
  top = std::max(0, std::min(top, Yandorix.screen->h - (int)h));
  x = (Sint16)left;
  y = (Sint16)top;
  Layout();
  Yandorix.RenderNeeded(1);
}

void cSimpleWin::Resize(short neww, short newh) {
  if (!enabled || !Yandorix.screen) return;
  int width = w, height = h;
  if (neww >= kMinWidth) width = std::max(1, std::min((int)neww, Yandorix.screen->w - x));
  if (newh >= kMinHeight) height = std::max(1, std::min((int)newh, Yandorix.screen->h - y));
  if (width == w && height == h) return;
  w = (Uint16)width;
  h = (Uint16)height;
  if (bgimage && IScreenFX) {
    if (SDL_Surface* scaled = IScreenFX->Resize(bgimage, NULL, 1, width, height, NULL, NULL)) {
      if (bgsurface) SDL_FreeSurface(bgsurface);
      bgsurface = scaled;
      ApplyAlpha(-1);
    }
  } else if (!bgimage) {
    SetBgColor(bgcolor);
  }
  Layout();
  Yandorix.RenderNeeded(1);
}

void cSimpleWin::SetVisible(signed char v) {
  if (!enabled) return;
  if (features & kShowAtOnce) {
    visibility = v > 0 ? kShown : kHidden;
    fadestart = 0;
    // A window hidden by a fade carries alpha 0; shown at once it must be seen.
    if (visibility == kShown) ApplyAlpha(-1);
    Yandorix.RenderNeeded(1);
    return;
  }
  if (visibility == kFadingIn || visibility == kFadingOut) return;
  if (v <= 0) {
    if (visibility != kShown) return;
    visibility = kFadingOut;
  } else {
    if (visibility == kShown) return;
    visibility = kFadingIn;
    ApplyAlpha(0);
  }
  fadestart = 0;
  Yandorix.RenderNeeded(1);
}
