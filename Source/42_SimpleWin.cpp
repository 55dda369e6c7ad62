// The text-window base shared by the console and the debug window: rectangle, background, alpha, font,
// title and the one-second fade. Windows never draw on their own schedule: whatever changes their look
// asks the frame driver for a render.
#include "01_Main.h"
#include "42_BuiltinFont.h"
#include "glSDL.h"
#include <algorithm>

namespace {

const int kMinWidth = 150, kMinHeight = 100;
const int kMinAlpha = 64;
const Uint32 kFadeTime = 1000;
const int kShowAtOnce = 4;   // feature bit: SetVisible switches without fading

enum { kHidden = 0, kShown = 1, kFadingIn = 33, kFadingOut = 223 };

}  // namespace

cSimpleWin::cSimpleWin()
    : rect{0, 0, (Uint16)kMinWidth, (Uint16)kMinHeight},
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

void cSimpleWin::Enable() {
  if (!Yandorix.screen) return;
  if (rect.w < kMinWidth || rect.h < kMinHeight) {
    ILogSystem.Msg(2, " \xC2\xB7 [SimpleWin] Warning: the window size is too small (%dx%d)\n", rect.w, rect.h);
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
SDL_Rect* cSimpleWin::GetRect() { return &rect; }
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
  SDL_Surface* plain = SDL_CreateRGBSurface(0, rect.w, rect.h, 24, 0, 0, 0, 0);
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
  SDL_Surface* scaled = IScreenFX->Resize(loaded, NULL, 1, (int)rect.w, (int)rect.h, NULL, NULL);
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

// Takes a freshly loaded font in place of the current one, or refuses it when it holds no glyphs.
bool cSimpleWin::ReplaceFont(Yandorix_CFont* loaded) {
  if (!loaded->GetSurface() || loaded->StringHeight() <= 0) {
    delete loaded;
    ILogSystem.Msg(2, " \xC2\xB7 [SimpleWin] Warning: the font could not be loaded; the current font stays\n");
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

void cSimpleWin::Move(short x, short y) {
  if (!enabled || !Yandorix.screen) return;
  int newx = x < 0 ? rect.x : x, newy = y < 0 ? rect.y : y;
  newx = std::max(0, std::min(newx, Yandorix.screen->w - (int)rect.w));
  newy = std::max(0, std::min(newy, Yandorix.screen->h - (int)rect.h));
  rect.x = (Sint16)newx;
  rect.y = (Sint16)newy;
  Layout();
  Yandorix.RenderNeeded(1);
}

void cSimpleWin::Resize(short w, short h) {
  if (!enabled || !Yandorix.screen) return;
  int neww = rect.w, newh = rect.h;
  if (w >= kMinWidth) neww = std::max(1, std::min((int)w, Yandorix.screen->w - rect.x));
  if (h >= kMinHeight) newh = std::max(1, std::min((int)h, Yandorix.screen->h - rect.y));
  if (neww == rect.w && newh == rect.h) return;
  rect.w = (Uint16)neww;
  rect.h = (Uint16)newh;
  if (bgimage && IScreenFX) {
    if (SDL_Surface* scaled = IScreenFX->Resize(bgimage, NULL, 1, neww, newh, NULL, NULL)) {
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
