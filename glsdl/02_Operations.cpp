// What the library's classes ask of the OpenGL back end directly: the texture test and upload, the
// screen grab, the two blocking fades, and line, point and pixel reads on texture surfaces.
#include "glSDL_Internal.h"
#include "01_Main.h"

int glSDL_IsTexture(SDL_Surface* surface) {
  if (!glsdl.active) return 0;
  glSDL_TexInfo* info = glSDL_InfoOf(surface);
  return info && !info->temporary ? 1 : 0;
}

int glSDL_SurfaceToTexture(SDL_Surface* surface) {
  glSDL_TexInfo* info = glSDL_Upload(surface);
  if (!info) return 0;
  if (info->temporary) {
    glSDL_ReleaseInfo(info);
    return 0;
  }
  glSDL_PrepareBlit(surface, glsdl.screen);
  return 1;
}

SDL_Surface* glSDL_GrabScreen() {
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (!screen) return NULL;
  SDL_Surface* grab =
      SDL_CreateRGBSurface(SDL_SWSURFACE, screen->w, screen->h, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
  if (!grab) return NULL;
  SDL_Rect whole = {0, 0, (Uint16)screen->w, (Uint16)screen->h};
  if (glSDL_ReadBack(&whole, grab, &whole) < 0) {
    SDL_FreeSurface(grab);
    return NULL;
  }
  return grab;
}

// ---------------------------------------------------------------------------------------------------
// Fades

namespace {

// The screen as it is now, as a texture the fade draws under every frame; NULL when it cannot be made.
SDL_Surface* Snapshot() {
  SDL_Surface* grab = glSDL_GrabScreen();
  if (!grab) return NULL;
  SDL_Surface* copy = SDL_DisplayFormat(grab);
  SDL_FreeSurface(grab);
  if (copy) glSDL_SurfaceToTexture(copy);
  return copy;
}

void DrawSnapshot(SDL_Surface* snapshot) {
  SDL_Rect whole = {0, 0, (Uint16)snapshot->w, (Uint16)snapshot->h};
  glSDL_BlitToScreen(snapshot, NULL, &whole);
}

// How long each frame stays up: the duration spread over the frames still to come at this step.
Uint32 FrameTime(Uint32 ms, int step) {
  int frames = 255 / step;
  return frames > 0 ? ms / (Uint32)frames : ms;
}

bool EmptyArea(const SDL_Rect* area, const char* op) {
  if (!area || (area->w && area->h)) return false;
  ILogSystem.Msg(0, " . [IScreenFX->%s] Error: the area to fade is empty.\n", op);
  return true;
}

// The caller's image gets back the alpha the fade changed on every frame.
class AlphaKept {
 public:
  explicit AlphaKept(SDL_Surface* s)
      : image(s), flags(s->flags & (SDL_SRCALPHA | SDL_RLEACCELOK)), alpha(s->format->alpha) {}
  ~AlphaKept() { SDL_SetAlpha(image, (flags & SDL_SRCALPHA) | ((flags & SDL_RLEACCELOK) ? SDL_RLEACCEL : 0), alpha); }
  AlphaKept(const AlphaKept&) = delete;
  AlphaKept& operator=(const AlphaKept&) = delete;

 private:
  SDL_Surface* image;
  Uint32 flags;
  Uint8 alpha;
};

}  // namespace

int glSDL_FadeToColor(Uint8 red, Uint8 green, Uint8 blue, Uint32 ms, SDL_Rect* area) {
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (!screen || EmptyArea(area, "FadeToColor()")) return 0;
  int x1 = area ? area->x : 0, y1 = area ? area->y : 0;
  int x2 = area ? area->x + area->w : screen->w, y2 = area ? area->y + area->h : screen->h;
  SDL_Surface* snapshot = Snapshot();
  if (!snapshot) return 0;
  int step = 1, alpha = 0;
  do {
    Uint32 t0 = Yandorix_Ticks(), frametime = FrameTime(ms, step), elapsed;
    do {
      DrawSnapshot(snapshot);
      glSDL_SetTexturing(false);
      glSDL_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glSDL_SetBlending(true);
      gl.glColor4ub(red, green, blue, (GLubyte)alpha);
      gl.glBegin(GL_TRIANGLE_FAN);
      gl.glVertex2i(x1, y1);
      gl.glVertex2i(x2, y1);
      gl.glVertex2i(x2, y2);
      gl.glVertex2i(x1, y2);
      gl.glEnd();
      glSDL_Present();
      elapsed = Yandorix_Ticks() - t0;
    } while (elapsed < frametime);
    if ((Uint64)elapsed * (Uint64)((255 - alpha) / step) > ms) ++step;   // behind: larger steps
    alpha += step;
  } while (alpha <= 254);
  SDL_FreeSurface(snapshot);
  return 1;
}

int glSDL_FadeToImage(SDL_Surface* image, Uint32 ms, SDL_Rect* destination, SDL_Rect* source) {
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (!screen || !image) return 0;
  SDL_Rect to = destination ? *destination : SDL_Rect{0, 0, (Uint16)screen->w, (Uint16)screen->h};
  SDL_Rect from = source ? *source : SDL_Rect{0, 0, (Uint16)image->w, (Uint16)image->h};
  if (to.w != from.w) {
    if (destination) from.w = to.w;
    else to.w = from.w;
  }
  if (to.h != from.h) {
    if (destination) from.h = to.h;
    else to.h = from.h;
  }
  if (EmptyArea(&to, "FadeToImage()")) return 0;
  SDL_Surface* snapshot = Snapshot();
  if (!snapshot) return 0;
  {
    AlphaKept keep(image);
    int step = 1;
    float a = 0.0f;
    do {
      Uint32 t0 = Yandorix_Ticks(), frametime = FrameTime(ms, step), elapsed;
      do {
        DrawSnapshot(snapshot);
        SDL_SetAlpha(image, SDL_SRCALPHA, (Uint8)(int)a);
        SDL_Rect s = from, d = to;
        glSDL_BlitToScreen(image, &s, &d);
        glSDL_Present();
        elapsed = Yandorix_Ticks() - t0;
      } while (elapsed < frametime);
      if ((double)elapsed * (255.0 - a) / step > (double)ms) ++step;
      a += (float)step;
    } while (a < 255.0f);
  }
  SDL_FreeSurface(snapshot);
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Lines, points and pixel reads

namespace {

// Colour and blending of untextured drawing under the render state.
void UseFlatColor(const SDL_PixelFormat* format, Uint32 color) {
  Uint8 r, g, b;
  glSDL_SplitColor(format, color, &r, &g, &b);
  const glSDL_RenderState* st = glSDL_GetState();
  glSDL_SetTexturing(false);
  if (st->alpha != 255) {
    glSDL_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glSDL_SetBlending(true);
  } else {
    glSDL_SetBlending(false);
  }
  gl.glColor4ub(glSDL_Scale8(r, st->red), glSDL_Scale8(g, st->green), glSDL_Scale8(b, st->blue), st->alpha);
}

// Pixel centres, so each vertex lands on exactly one pixel.
void Point(int x, int y) {
  gl.glBegin(GL_POINTS);
  gl.glVertex2f((float)x + 0.5f, (float)y + 0.5f);
  gl.glEnd();
}

}  // namespace

int glSDL_DrawLine(SDL_Surface* surface, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint32 color) {
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (!screen) return 1;
  UseFlatColor(surface ? surface->format : screen->format, color);
  gl.glBegin(GL_LINES);
  gl.glVertex2f((float)x1 + 0.5f, (float)y1 + 0.5f);
  gl.glVertex2f((float)x2 + 0.5f, (float)y2 + 0.5f);
  gl.glEnd();
  Point(x2, y2);   // OpenGL leaves a line's last pixel out; the software line draws both ends
  gl.glFlush();
  return 1;
}

void glSDL_PutPixel(int x, int y, Uint32 color) {
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (!screen) return;
  UseFlatColor(screen->format, color);
  Point(x, y);
}

// The texture's pixels, read once per upload of the texture (collisions read many pixels in a row).
static const glSDL_TexInfo::Readback* TexturePixels(glSDL_TexInfo* info, int texture) {
  if (info->readback.size() != info->names.size()) info->readback.assign(info->names.size(), glSDL_TexInfo::Readback());
  glSDL_TexInfo::Readback& cached = info->readback[(size_t)texture];
  if (!cached.pixels.empty()) return &cached;
  glSDL_Bind((GLuint)info->names[(size_t)texture]);
  GLint w = 0, h = 0;
  gl.glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  gl.glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  if (w <= 0 || h <= 0) return NULL;
  cached.pixels.assign((size_t)w * (size_t)h * 4, 0);
  cached.width = w;
  GLint alignment = 4;
  gl.glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
  gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, cached.pixels.data());
  gl.glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  return &cached;
}

void glSDL_GetPixel(SDL_Surface* surface, int x, int y, Uint32* value) {
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (!screen || !surface || !value || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return;
  if (surface == screen) {
    Uint8 rgb[4] = {0, 0, 0, 0};
    GLint alignment = 4;
    gl.glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.glReadPixels(x, screen->h - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    *value = SDL_MapRGB(screen->format, rgb[0], rgb[1], rgb[2]);
    return;
  }
  glSDL_TexInfo* info = glSDL_Upload(surface);
  if (!info) return;
  glSDL_Tile tile = glSDL_TileHolding(info->layout, surface->w, surface->h, x, y);
  const glSDL_TexInfo::Readback* texels = NULL;
  if (tile.texture < (int)info->names.size() && info->names[(size_t)tile.texture] != -1)
    texels = TexturePixels(info, tile.texture);
  if (texels) {
    size_t at = ((size_t)(tile.texy + y - tile.srcy) * (size_t)texels->width + (size_t)(tile.texx + x - tile.srcx)) * 4;
    const std::vector<Uint8>& p = texels->pixels;
    if (at + 3 < p.size()) *value = SDL_MapRGBA(surface->format, p[at], p[at + 1], p[at + 2], p[at + 3]);
  }
  if (info->temporary) glSDL_ReleaseInfo(info);
}
