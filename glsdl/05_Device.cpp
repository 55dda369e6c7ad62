// The OpenGL back end as SDL's video driver: it joins the running X11 driver by taking over the
// surface operations of its device record (after checking the record is the one it knows), opens an
// OpenGL window through that driver, and draws fills, blits, locks and flips with OpenGL. Quitting
// hands the record back with only what was replaced put back.
#include "glSDL_Internal.h"
#include <dlfcn.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

glSDL_Driver glsdl;

namespace {

// What the back end replaced in the record, put back when it lets go.
struct sReplaced {
  const char* name;
  SDL_VideoInfo info;
  SDL_PixelFormat* alphaDisplayFormat;
  int is32bit;
  SDL_Rect** (*ListModes)(sSDLDevice*, SDL_PixelFormat*, Uint32);
  SDL_Surface* (*SetVideoMode)(sSDLDevice*, SDL_Surface*, int, int, int, Uint32);
  int (*ToggleFullScreen)(sSDLDevice*, int);
  int (*SetColors)(sSDLDevice*, int, int, SDL_Color*);
  void (*UpdateRects)(sSDLDevice*, int, SDL_Rect*);
  void (*VideoQuit)(sSDLDevice*);
  int (*AllocHWSurface)(sSDLDevice*, SDL_Surface*);
  int (*CheckHWBlit)(sSDLDevice*, SDL_Surface*, SDL_Surface*);
  int (*FillHWRect)(sSDLDevice*, SDL_Surface*, SDL_Rect*, Uint32);
  int (*SetHWColorKey)(sSDLDevice*, SDL_Surface*, Uint32);
  int (*SetHWAlpha)(sSDLDevice*, SDL_Surface*, Uint8);
  int (*LockHWSurface)(sSDLDevice*, SDL_Surface*);
  void (*UnlockHWSurface)(sSDLDevice*, SDL_Surface*);
  int (*FlipHWSurface)(sSDLDevice*, SDL_Surface*);
  void (*FreeHWSurface)(sSDLDevice*, SDL_Surface*);
  int (*SetGamma)(sSDLDevice*, float, float, float);
  int (*GetGamma)(sSDLDevice*, float*, float*, float*);
  int (*SetGammaRamp)(sSDLDevice*, Uint16*);
  int (*GetGammaRamp)(sSDLDevice*, Uint16*);
};
sReplaced wrapped;

const SDL_version* injectedVersion = NULL;
void* (*pixelAllocator)(size_t, size_t) = calloc;

const char kDriverName[] = "glSDL";
const Uint32 kHardwareFlags = SDL_HWSURFACE | SDL_HWACCEL | SDL_ASYNCBLIT;

// ---- helpers ----

int LowestBit(Uint32 mask) {
  int shift = 0;
  while (mask && !(mask & 1u)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int BitCount(Uint32 mask) {
  int bits = 0;
  for (; mask; mask &= mask - 1) ++bits;
  return bits;
}

void FreeModeResources() {
  if (glsdl.readback) SDL_FreeSurface(glsdl.readback);
  glsdl.readback = NULL;
  std::vector<Uint8>().swap(glsdl.mirror);
}

// The screen's pixels are ours; the wrapped driver forgets them whenever it handles its image.
void ReleaseScreenPixels(SDL_Surface* screen) {
  if (glsdl.screenPixels) free(glsdl.screenPixels);
  glsdl.screenPixels = NULL;
  if (screen) screen->pixels = NULL;
}

// A new OpenGL context may come with a new window: every surface uploads again at its next use.
void DropAllTextures() {
  for (SDL_Surface* s = glsdl.head; s;) {
    glSDL_TexInfo* info = glSDL_InfoOf(s);
    if (!info) break;
    glSDL_DeleteTextures(info);
    s = info->next;
  }
}

void DrawRect(int x, int y, int w, int h) {
  gl.glBegin(GL_TRIANGLE_FAN);
  gl.glVertex2i(x, y);
  gl.glVertex2i(x + w, y);
  gl.glVertex2i(x + w, y + h);
  gl.glVertex2i(x, y + h);
  gl.glEnd();
}

void SetUpView(SDL_Surface* screen) {
  const SDL_Rect& c = screen->clip_rect;
  gl.glViewport(c.x, screen->h - (c.y + c.h), c.w, c.h);
  gl.glMatrixMode(GL_PROJECTION);
  gl.glLoadIdentity();
  gl.glOrtho(c.x, c.x + c.w, c.y + c.h, c.y, -1.0, 1.0);   // y grows downwards, one unit a pixel
  gl.glMatrixMode(GL_MODELVIEW);
  gl.glLoadIdentity();
  gl.glTranslatef(0.0f, 0.0f, 0.0f);
  gl.glDisable(GL_DEPTH_TEST);
  gl.glDisable(GL_CULL_FACE);
  glSDL_ForgetGLState();
}

void ClearScreen(sSDLDevice* self, SDL_Surface* screen) {
  glSDL_SetTexturing(false);
  glSDL_SetBlending(false);
  gl.glColor3ub(0, 0, 0);
  DrawRect(0, 0, screen->w, screen->h);
  self->GL_SwapBuffers(self);
  if (glsdl.doublebuf) DrawRect(0, 0, screen->w, screen->h);
}

// ---- device slots ----

SDL_Rect** ListModes(sSDLDevice*, SDL_PixelFormat*, Uint32) { return (SDL_Rect**)-1; }

int SetColors(sSDLDevice*, int, int, SDL_Color*) { return 0; }   // no palettes

void UpdateRects(sSDLDevice*, int, SDL_Rect*) { glSDL_Present(); }

int FlipHWSurface(sSDLDevice*, SDL_Surface*) {
  glSDL_Present();
  return 0;
}

int AllocHWSurface(sSDLDevice*, SDL_Surface* surface) {
  surface->flags |= SDL_HWSURFACE | SDL_HWACCEL;
  size_t bytes = (size_t)surface->pitch * (size_t)surface->h;
  surface->pixels = NULL;
  if (bytes == 0) return 0;
  surface->pixels = pixelAllocator(1, bytes);
  if (!surface->pixels) {
    // SDL allocates the pixels itself when this fails, and frees the surface on its own failure.
    surface->flags &= ~(SDL_HWSURFACE | SDL_HWACCEL);
    SDL_Error(SDL_ENOMEM);
    return -1;
  }
  return 0;
}

void FreeHWSurface(sSDLDevice*, SDL_Surface* surface) { glSDL_RemoveInfo(surface); }

int CheckHWBlit(sSDLDevice*, SDL_Surface* src, SDL_Surface*) {
  src->flags |= SDL_HWACCEL;
  MapOf(src)->hw_blit = glSDL_DispatchBlit;
  return 1;
}

int SetHWColorKey(sSDLDevice*, SDL_Surface* surface, Uint32) {
  glSDL_RemoveInfo(surface);   // the next upload rebuilds it with the new key
  return 0;
}

int SetHWAlpha(sSDLDevice*, SDL_Surface*, Uint8) { return 1; }   // alpha is applied when drawing

int FillHWRect(sSDLDevice*, SDL_Surface* dst, SDL_Rect* rect, Uint32 color) {
  if (!dst) return -1;
  SDL_Rect whole = {0, 0, (Uint16)dst->w, (Uint16)dst->h};
  if (!rect) rect = &whole;
  if (dst != glsdl.screen) {
    glSDL_Invalidate(dst, rect);
    Uint32 hardware = dst->flags & SDL_HWSURFACE;
    dst->flags &= ~SDL_HWSURFACE;
    SDL_FillRect(dst, rect, color);
    dst->flags |= hardware;
    return 0;
  }
  Uint8 r, g, b;
  glSDL_SplitColor(dst->format, color, &r, &g, &b);
  const glSDL_RenderState* st = glSDL_GetState();
  if (st->alpha != 255) {
    glSDL_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glSDL_SetBlending(true);
  } else {
    glSDL_SetBlending(false);
  }
  glSDL_SetTexturing(false);
  gl.glColor4ub(glSDL_Scale8(r, st->red), glSDL_Scale8(g, st->green), glSDL_Scale8(b, st->blue), st->alpha);
  DrawRect(rect->x, rect->y, rect->w, rect->h);
  return 0;
}

int LockHWSurface(sSDLDevice*, SDL_Surface* surface) {
  if (!surface) return -1;
  if (!glSDL_InfoOf(surface)) return 0;
  if (surface == glsdl.screen) {
    SDL_Rect whole = {0, 0, (Uint16)surface->w, (Uint16)surface->h};
    return glSDL_ReadBack(&whole, surface, &whole) < 0 ? -1 : 0;
  }
  glSDL_Invalidate(surface, NULL);
  return 0;
}

void UnlockHWSurface(sSDLDevice*, SDL_Surface* surface) {
  if (!glSDL_InfoOf(surface)) return;
  glSDL_TexInfo* info = glSDL_Upload(surface);
  if (!info || info->temporary || surface != glsdl.screen) return;
  // The screen's pixels go back as they are, whatever effect state is set.
  static const glSDL_RenderState kNeutral = {255, 255, 255, 255, 0, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f};
  glSDL_BlitWithState(surface, NULL, NULL, kNeutral);
}

void PutBackRecord(sSDLDevice* d) {
  d->name = wrapped.name;
  // Only the capability bits are ours; SDL keeps the memory size, format and current size up to date.
  d->info.hw_available = wrapped.info.hw_available;
  d->info.blit_hw = wrapped.info.blit_hw;
  d->info.blit_hw_CC = wrapped.info.blit_hw_CC;
  d->info.blit_hw_A = wrapped.info.blit_hw_A;
  d->info.blit_sw = wrapped.info.blit_sw;
  d->info.blit_sw_CC = wrapped.info.blit_sw_CC;
  d->info.blit_sw_A = wrapped.info.blit_sw_A;
  d->info.blit_fill = wrapped.info.blit_fill;
  d->alphaDisplayFormat = wrapped.alphaDisplayFormat;
  d->is32bit = wrapped.is32bit;
  d->ListModes = wrapped.ListModes;
  d->SetVideoMode = wrapped.SetVideoMode;
  d->ToggleFullScreen = wrapped.ToggleFullScreen;
  d->SetColors = wrapped.SetColors;
  d->UpdateRects = wrapped.UpdateRects;
  d->VideoQuit = wrapped.VideoQuit;
  d->AllocHWSurface = wrapped.AllocHWSurface;
  d->CheckHWBlit = wrapped.CheckHWBlit;
  d->FillHWRect = wrapped.FillHWRect;
  d->SetHWColorKey = wrapped.SetHWColorKey;
  d->SetHWAlpha = wrapped.SetHWAlpha;
  d->LockHWSurface = wrapped.LockHWSurface;
  d->UnlockHWSurface = wrapped.UnlockHWSurface;
  d->FlipHWSurface = wrapped.FlipHWSurface;
  d->FreeHWSurface = wrapped.FreeHWSurface;
  d->SetGamma = wrapped.SetGamma;
  d->GetGamma = wrapped.GetGamma;
  d->SetGammaRamp = wrapped.SetGammaRamp;
  d->GetGammaRamp = wrapped.GetGammaRamp;
}

void VideoQuit(sSDLDevice* self) {
  while (glsdl.head && glSDL_InfoOf(glsdl.head)) glSDL_RemoveInfo(glsdl.head);
  glsdl.head = NULL;
  FreeModeResources();
  if (glsdl.screen) {
    ReleaseScreenPixels(glsdl.screen);
    glsdl.screen->flags = glsdl.wrappedFlags;
  } else {
    ReleaseScreenPixels(NULL);
  }
  void (*quit)(sSDLDevice*) = wrapped.VideoQuit;
  PutBackRecord(self);
  glsdl.device = NULL;
  glsdl.active = false;
  glsdl.screen = NULL;
  glSDL_ForgetGLState();
  if (quit) quit(self);
}

bool Fail(const char* message) {
  SDL_SetError("%s", message);
  return false;
}

// The mode set; anything failing after the wrapped driver opened its window leaves SDL with the
// surface it passed in.
SDL_Surface* SetVideoMode(sSDLDevice* self, SDL_Surface* current, int width, int height, int bpp, Uint32 flags) {
  if (!wrapped.SetVideoMode) return NULL;
  if (flags & SDL_OPENGL) {
    SDL_SetError("glSDL: OpenGL application modes are not supported by this renderer");
    return NULL;
  }
  if (!glsdl.stateReset) {
    glSDL_ResetState();
    glsdl.stateReset = true;
  }
  flags = (flags & ~SDL_HWPALETTE) | SDL_OPENGL;
  glsdl.doublebuf = (flags & SDL_DOUBLEBUF) != 0;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, glsdl.doublebuf ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, glsdl.doublebuf ? 1 : 0);
  if (current && current == glsdl.screen) {   // hand our previous screen back as the driver made it
    DropAllTextures();
    ReleaseScreenPixels(current);
    current->flags = glsdl.wrappedFlags;
  }
  glsdl.active = false;
  glsdl.screen = NULL;
  FreeModeResources();

  SDL_Surface* made = wrapped.SetVideoMode(self, current, width, height, bpp, flags);
  if (!made) return NULL;
  glsdl.wrappedFlags = made->flags;
  Uint32 r = 0, g = 0, b = 0;
  if (bpp == 15) r = 0x7C00, g = 0x03E0, b = 0x001F;
  else if (bpp == 16) r = 0xF800, g = 0x07E0, b = 0x001F;
  else if (bpp == 24 || bpp == 32) r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
  SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, bpp, r, g, b, 0);
  if (!screen) return NULL;
  glsdl.screenPixels = screen->pixels;
  screen->flags = made->flags | SDL_HWSURFACE | SDL_OPENGL | (glsdl.doublebuf ? SDL_DOUBLEBUF : 0);
  self->is32bit = bpp == 32 ? 1 : 0;
  self->alphaDisplayFormat = &glsdl.alphaFormat;
  glsdl.readback = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
  bool ready = glsdl.readback && glSDL_LoadGLFunctions();
  if (ready && self->GL_MakeCurrent(self) < 0) ready = false;
  if (ready) ready = glSDL_LoadGLFunctions();
  if (ready) {
    try {
      glsdl.mirror.assign((size_t)screen->pitch * (size_t)height, 0);
    } catch (const std::bad_alloc&) {
      ready = Fail("glSDL: out of memory for the screen's read-back");
    }
  }
  if (!ready) {
    FreeModeResources();
    ReleaseScreenPixels(screen);
    SDL_FreeSurface(screen);
    return NULL;
  }
  glsdl.maxTextureSize = 256;
  gl.glDrawBuffer(glsdl.doublebuf ? GL_BACK : GL_FRONT);
  gl.glDisable(GL_DITHER);
  glsdl.screen = screen;
  glsdl.active = true;
  glSDL_ForgetGLState();
  glSDL_AttachInfo(screen);
  SetUpView(screen);
  gl.glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  gl.glDisable(GL_LIGHTING);
  ClearScreen(self, screen);
  SDL_FreeSurface(made);   // SDL keeps the new screen, not the surface it passed in
  return screen;
}

// ---- attaching ----

bool InLibrary(const void* address, const void* base) {
  Dl_info where;
  return address && dladdr(address, &where) && where.dli_fbase == base;
}

bool Refuse(char* why, size_t whysize, const char* text) {
  if (why && whysize) snprintf(why, whysize, "%s", text);
  return false;
}

}  // namespace

void glSDL_MakeFormat(SDL_PixelFormat* f, int bits, Uint32 r, Uint32 g, Uint32 b, Uint32 a) {
  memset(f, 0, sizeof *f);
  f->BitsPerPixel = (Uint8)bits;
  f->BytesPerPixel = (Uint8)((bits + 7) / 8);
  const Uint32 masks[4] = {r, g, b, a};
  Uint8* shifts[4] = {&f->Rshift, &f->Gshift, &f->Bshift, &f->Ashift};
  Uint8* losses[4] = {&f->Rloss, &f->Gloss, &f->Bloss, &f->Aloss};
  for (int i = 0; i < 4; ++i) {
    *shifts[i] = (Uint8)(masks[i] ? LowestBit(masks[i]) : 0);
    *losses[i] = (Uint8)(8 - BitCount(masks[i]));
  }
  f->Rmask = r;
  f->Gmask = g;
  f->Bmask = b;
  f->Amask = a;
  f->alpha = 255;
}

void glSDL_SplitColor(const SDL_PixelFormat* f, Uint32 color, Uint8* r, Uint8* g, Uint8* b) {
  if (f->palette) {
    const SDL_Palette* palette = f->palette;   // an index past the palette reads as black
    const SDL_Color c = palette->ncolors > 0 && color < (Uint32)palette->ncolors ? palette->colors[color]
                                                                                  : SDL_Color{0, 0, 0, 0};
    *r = c.r;
    *g = c.g;
    *b = c.b;
    return;
  }
  *r = (Uint8)(((color & f->Rmask) >> f->Rshift) << f->Rloss);
  *g = (Uint8)(((color & f->Gmask) >> f->Gshift) << f->Gloss);
  *b = (Uint8)(((color & f->Bmask) >> f->Bshift) << f->Bloss);
}

void glSDL_Present() {
  if (!glsdl.active || !glsdl.device) return;
  if (glsdl.doublebuf) glsdl.device->GL_SwapBuffers(glsdl.device);
  else gl.glFinish();
}

void glSDL_InvalidateMap(SDL_Surface* surface) {
  if (!surface || !surface->map) return;
  sSDLBlitMap* map = MapOf(surface);
  map->dst = NULL;
  map->formatVersion = 0;
}

int glSDL_CopyUnlocked(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect,
                       Uint32 dropFlags) {
  if (!src || !dst || !src->map) return -1;
  glSDL_BlitArea area;
  SDL_Rect bounds = {0, 0, (Uint16)dst->w, (Uint16)dst->h};
  if (!glSDL_ClipBlit(src->w, src->h, srcrect, dstrect, &bounds, &area)) return 0;
  SDL_Rect from = {(Sint16)area.sx, (Sint16)area.sy, (Uint16)area.w, (Uint16)area.h};
  SDL_Rect to = {(Sint16)area.x, (Sint16)area.y, (Uint16)area.w, (Uint16)area.h};
  Uint32 srcflags = src->flags, dstflags = dst->flags;
  src->flags &= ~(kHardwareFlags | dropFlags);
  dst->flags &= ~kHardwareFlags;
  glSDL_InvalidateMap(src);   // mapped again with the flags as they are now
  int result = SDL_LowerBlit(src, &from, dst, &to);
  Uint32 coded = src->flags & SDL_RLEACCEL;   // SDL may have decoded or coded the source
  dst->flags = dstflags;
  src->flags = (srcflags & ~(SDL_RLEACCEL | SDL_HWACCEL)) | coded;
  glSDL_InvalidateMap(src);   // the next blit maps it with its real flags
  return result;
}

int glSDL_ReadBack(const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect) {
  SDL_Surface* screen = glsdl.screen;
  if (!glsdl.active || !screen || !dst || !glsdl.readback) return -1;
  glSDL_Invalidate(dst, dstrect);
  glSDL_BlitArea area;   // the rectangle cut to the screen; the copy below cuts it to the destination
  if (!glSDL_ClipBlit(screen->w, screen->h, srcrect, dstrect, NULL, &area)) return 0;
  SDL_Surface* rb = glsdl.readback;
  GLint rowlength = 0, alignment = 4;
  gl.glGetIntegerv(GL_PACK_ROW_LENGTH, &rowlength);
  gl.glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  gl.glPixelStorei(GL_PACK_ROW_LENGTH, rb->w);   // with 4-byte alignment: SDL's row pitch
  gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
  gl.glReadPixels(area.sx, screen->h - (area.sy + area.h), area.w, area.h, GL_RGB, GL_UNSIGNED_BYTE, rb->pixels);
  gl.glPixelStorei(GL_PACK_ROW_LENGTH, rowlength);
  gl.glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  // OpenGL counts rows from the bottom: turn the rectangle upright.
  Uint8* rows = static_cast<Uint8*>(rb->pixels);
  size_t rowbytes = (size_t)area.w * 3;
  Uint8* spare = glsdl.mirror.data();
  for (int y = 0; y < area.h / 2; ++y) {
    Uint8* top = rows + (size_t)y * rb->pitch;
    Uint8* bottom = rows + (size_t)(area.h - 1 - y) * rb->pitch;
    memcpy(spare, top, rowbytes);
    memcpy(top, bottom, rowbytes);
    memcpy(bottom, spare, rowbytes);
  }
  SDL_Rect from = {0, 0, (Uint16)area.w, (Uint16)area.h};
  SDL_Rect to = {(Sint16)area.x, (Sint16)area.y, 0, 0};
  return glSDL_CopyUnlocked(rb, &from, dst, &to, 0) < 0 ? -1 : 0;
}

int glSDL_DispatchBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (!src || !dst) return -1;
  SDL_Surface* screen = glsdl.active ? glsdl.screen : NULL;
  if (screen && src == screen && dst == screen) {
    if (glSDL_ReadBack(srcrect, screen, dstrect) < 0) return -1;
    SDL_Rect area = dstrect ? *dstrect : SDL_Rect{0, 0, (Uint16)screen->w, (Uint16)screen->h};
    SDL_Rect at = area;
    return glSDL_BlitToScreen(screen, &area, &at);   // what was just read lies at the destination
  }
  if (screen && src == screen) return glSDL_ReadBack(srcrect, dst, dstrect);
  if (screen && dst == screen) return glSDL_BlitToScreen(src, srcrect, dstrect);
  glSDL_Invalidate(dst, dstrect);
  return glSDL_CopyUnlocked(src, srcrect, dst, dstrect, 0) < 0 ? -1 : 0;
}

void glSDL_PrepareBlit(SDL_Surface* src, SDL_Surface* dst) {
  if (!glsdl.active || !src || !dst || dst != glsdl.screen || src == dst || !src->map) return;
  if (src->locked || dst->locked || src->w <= 0 || src->h <= 0 || !dst->pixels) return;
  sSDLBlitMap* map = MapOf(src);
  if (map->dst == dst && map->formatVersion == dst->format_version && map->hw_blit == glSDL_DispatchBlit &&
      (src->flags & SDL_HWACCEL))
    return;
  // Let SDL map the surface for the screen without the driver (its one-pixel blit lands in the screen's
  // own pixels, which every lock reads back anyway), then route the map's blits to us.
  Uint32 srcflags = src->flags, dstflags = dst->flags;
  src->flags &= ~kHardwareFlags;
  dst->flags &= ~kHardwareFlags;
  glSDL_InvalidateMap(src);
  SDL_Rect pixel = {0, 0, 1, 1}, at = {0, 0, 1, 1};
  int mapped = SDL_LowerBlit(src, &pixel, dst, &at);
  Uint32 coded = src->flags & SDL_RLEACCEL;
  dst->flags = dstflags;
  src->flags = (srcflags & ~(SDL_RLEACCEL | SDL_HWACCEL)) | coded;
  if (mapped < 0 || map->dst != dst) {
    glSDL_InvalidateMap(src);
    return;
  }
  map->hw_blit = glSDL_DispatchBlit;
  src->flags |= SDL_HWACCEL;
}

int glSDL_IsActive() { return glsdl.active && glsdl.device ? 1 : 0; }

void glSDL_InjectLinkedVersion(const SDL_version* version) { injectedVersion = version; }
void glSDL_InjectPixelAllocator(void* (*allocator)(size_t, size_t)) { pixelAllocator = allocator ? allocator : calloc; }

bool glSDL_Attach(const char* caption, char* why, size_t whysize) {
  if (glsdl.device) return Refuse(why, whysize, "the backend is attached already");
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return Refuse(why, whysize, "SDL video is not running");
  const SDL_version* version = injectedVersion ? injectedVersion : SDL_Linked_Version();
  if (!version || version->major != 1 || version->minor != 2 || version->patch != 15) {
    char text[96];
    snprintf(text, sizeof text, "SDL %d.%d.%d is linked, the backend knows 1.2.15 only", version ? version->major : 0,
             version ? version->minor : 0, version ? version->patch : 0);
    return Refuse(why, whysize, text);
  }
  char name[32] = "";
  if (!SDL_VideoDriverName(name, sizeof name) || strcmp(name, "x11") != 0)
    return Refuse(why, whysize, "the running video driver is not 'x11'");
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (!info) return Refuse(why, whysize, "SDL gives no video information");
  sSDLDevice* d = reinterpret_cast<sSDLDevice*>(
      const_cast<char*>(reinterpret_cast<const char*>(info)) - offsetof(sSDLDevice, info));
  Dl_info sdl;
  if (!dladdr(reinterpret_cast<void*>(&SDL_Init), &sdl)) return Refuse(why, whysize, "libSDL cannot be located");
  // Every pointer followed below must lie in libSDL before it is read.
  if (!InLibrary(d->name, sdl.dli_fbase) || strcmp(d->name, name) != 0)
    return Refuse(why, whysize, "the device record does not name the running driver");
  const void* slots[] = {reinterpret_cast<const void*>(d->free), reinterpret_cast<const void*>(d->VideoQuit),
                         reinterpret_cast<const void*>(d->SetVideoMode),
                         reinterpret_cast<const void*>(d->GL_MakeCurrent),
                         reinterpret_cast<const void*>(d->GL_SwapBuffers)};
  for (const void* slot : slots)
    if (!InLibrary(slot, sdl.dli_fbase)) return Refuse(why, whysize, "the device record's operations are not SDL's");
  SDL_WM_SetCaption(caption ? caption : "", NULL);
  char* title = NULL;
  char* icon = NULL;
  SDL_WM_GetCaption(&title, &icon);
  if (!title || title != d->wm_title || strcmp(title, caption ? caption : "") != 0)
    return Refuse(why, whysize, "the device record does not hold the caption");
  if (d->visible != SDL_GetVideoSurface()) return Refuse(why, whysize, "the device record does not hold the screen");

  wrapped = sReplaced{d->name, d->info, d->alphaDisplayFormat, d->is32bit, d->ListModes, d->SetVideoMode,
                      d->ToggleFullScreen, d->SetColors, d->UpdateRects, d->VideoQuit, d->AllocHWSurface,
                      d->CheckHWBlit, d->FillHWRect, d->SetHWColorKey, d->SetHWAlpha, d->LockHWSurface,
                      d->UnlockHWSurface, d->FlipHWSurface, d->FreeHWSurface, d->SetGamma, d->GetGamma,
                      d->SetGammaRamp, d->GetGammaRamp};
  glSDL_MakeFormat(&glsdl.rgbFormat, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
  glSDL_MakeFormat(&glsdl.rgbaFormat, 32, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF000000);
  glSDL_MakeFormat(&glsdl.alphaFormat, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
  d->name = kDriverName;
  d->info.hw_available = 1;
  d->info.blit_hw = d->info.blit_hw_CC = d->info.blit_hw_A = 1;
  d->info.blit_sw = d->info.blit_sw_CC = d->info.blit_sw_A = 1;
  d->info.blit_fill = 1;
  d->ListModes = ListModes;
  d->SetVideoMode = SetVideoMode;
  d->ToggleFullScreen = NULL;
  d->SetColors = SetColors;
  d->UpdateRects = UpdateRects;
  d->VideoQuit = VideoQuit;
  d->AllocHWSurface = AllocHWSurface;
  d->CheckHWBlit = CheckHWBlit;
  d->FillHWRect = FillHWRect;
  d->SetHWColorKey = SetHWColorKey;
  d->SetHWAlpha = SetHWAlpha;
  d->LockHWSurface = LockHWSurface;
  d->UnlockHWSurface = UnlockHWSurface;
  d->FlipHWSurface = FlipHWSurface;
  d->FreeHWSurface = FreeHWSurface;
  d->SetGamma = NULL;
  d->GetGamma = NULL;
  d->SetGammaRamp = NULL;
  d->GetGammaRamp = NULL;
  glsdl.device = d;
  glsdl.active = false;
  glsdl.screen = NULL;
  glsdl.head = NULL;
  return true;
}

bool glSDL_ConfirmScreen(SDL_Surface* screen, char* why, size_t whysize) {
  if (!glsdl.device || !glsdl.active || !glsdl.screen) return Refuse(why, whysize, "the backend did not open the mode");
  if (screen != glsdl.screen || glsdl.device->screen != SDL_GetVideoSurface())
    return Refuse(why, whysize, "SDL does not hold the backend's screen");
  // SDL refuses to update OpenGL screens; the flag only had to steer SDL's own mode set.
  screen->flags &= ~SDL_OPENGL;
  return true;
}
