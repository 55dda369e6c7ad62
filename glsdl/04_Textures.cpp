// Surfaces as OpenGL textures: how a surface is spread over square textures of at most 256 x 256,
// the texture information attached to it, the upload of its pixels, and blits onto the screen as
// textured quads drawn with the render state.
#include "glSDL_Internal.h"
#include "01_Main.h"
#include <algorithm>
#include <cstdio>
#include <new>
#include <unordered_set>

// ---------------------------------------------------------------------------------------------------
// Layout

static int CeilDiv(int a, int b) { return (a + b - 1) / b; }

bool glSDL_ComputeLayout(int w, int h, int maxsize, glSDL_Layout* out) {
  if (w <= 0 || h <= 0 || maxsize < 1 || w > 0xFFFF || h > 0xFFFF) return false;
  int longside = std::max(w, h), shortside = std::min(w, h);
  bool vertical = h > w;
  glSDL_Layout l;
  if (shortside > maxsize) {
    l.mode = kTileGrid;
    l.texsize = l.tilew = l.tileh = maxsize;
    l.tilespertex = 1;
    l.textures = CeilDiv(longside, maxsize) * CeilDiv(shortside, maxsize);
    *out = l;
    return true;
  }
  // The most nearly square arrangement of strips.
  int best = longside;
  for (int rows = 2;; ++rows) {
    int size = std::max(longside / rows, rows * shortside);
    if (size >= best) break;
    best = size;
  }
  best = std::min(best, maxsize);
  l.texsize = 1;
  while (l.texsize < best) l.texsize <<= 1;
  int strips = CeilDiv(longside, l.texsize);
  l.tilespertex = l.texsize / shortside;
  l.textures = CeilDiv(strips, l.tilespertex);
  if (strips == 1) {
    l.mode = kTileSingle;
    l.tilew = w;
    l.tileh = h;
  } else if (vertical) {
    l.mode = kTileVertical;
    l.tilew = w;
    l.tileh = l.texsize;
  } else {
    l.mode = kTileHorizontal;
    l.tilew = l.texsize;
    l.tileh = h;
  }
  *out = l;
  return true;
}

// The size of one tile's piece of the surface along x and y (the last ones may be cut).
static int SpanX(const glSDL_Layout& l, int w) {
  return l.mode == kTileHorizontal || l.mode == kTileGrid ? l.texsize : w;
}
static int SpanY(const glSDL_Layout& l, int h) {
  return l.mode == kTileVertical || l.mode == kTileGrid ? l.texsize : h;
}

int glSDL_TileCount(const glSDL_Layout& l, int w, int h) {
  return CeilDiv(w, SpanX(l, w)) * CeilDiv(h, SpanY(l, h));
}

glSDL_Tile glSDL_TileAt(const glSDL_Layout& l, int w, int h, int index) {
  int spanx = SpanX(l, w), spany = SpanY(l, h), columns = CeilDiv(w, spanx);
  int column = index % columns, row = index / columns;
  glSDL_Tile t;
  t.srcx = column * spanx;
  t.srcy = row * spany;
  t.w = std::min(spanx, w - t.srcx);
  t.h = std::min(spany, h - t.srcy);
  t.texx = t.texy = 0;
  switch (l.mode) {
    case kTileHorizontal:   // strips stacked from the top of each texture
      t.texture = index / l.tilespertex;
      t.texy = (index % l.tilespertex) * l.tileh;
      break;
    case kTileVertical:     // bands side by side from the left
      t.texture = index / l.tilespertex;
      t.texx = (index % l.tilespertex) * l.tilew;
      break;
    case kTileGrid: t.texture = index; break;
    default: t.texture = 0; break;
  }
  return t;
}

glSDL_Tile glSDL_TileHolding(const glSDL_Layout& l, int w, int h, int x, int y) {
  int spanx = SpanX(l, w), spany = SpanY(l, h);
  return glSDL_TileAt(l, w, h, (y / spany) * CeilDiv(w, spanx) + x / spanx);
}

void glSDL_SplitQuads(const glSDL_Layout& l, int w, int h, int sx, int sy, int cw, int ch, int x, int y,
                      std::vector<glSDL_Quad>* out) {
  out->clear();
  if (cw <= 0 || ch <= 0) return;
  int spanx = SpanX(l, w), spany = SpanY(l, h), columns = CeilDiv(w, spanx);
  float t = 1.0f / (float)l.texsize;
  for (int row = sy / spany; row <= (sy + ch - 1) / spany; ++row)
    for (int column = sx / spanx; column <= (sx + cw - 1) / spanx; ++column) {
      glSDL_Tile tile = glSDL_TileAt(l, w, h, row * columns + column);
      if (tile.texture >= l.textures) return;   // a texture the layout does not have ends the blit
      int left = std::max(sx, tile.srcx), right = std::min(sx + cw, tile.srcx + tile.w);
      int top = std::max(sy, tile.srcy), bottom = std::min(sy + ch, tile.srcy + tile.h);
      if (left >= right || top >= bottom) continue;
      glSDL_Quad q;
      q.texture = tile.texture;
      q.u1 = (float)(tile.texx + left - tile.srcx) * t;
      q.u2 = (float)(tile.texx + right - tile.srcx) * t;
      q.v1 = (float)(tile.texy + top - tile.srcy) * t;
      q.v2 = (float)(tile.texy + bottom - tile.srcy) * t;
      q.x1 = x + left - sx;
      q.x2 = x + right - sx;
      q.y1 = y + top - sy;
      q.y2 = y + bottom - sy;
      out->push_back(q);
    }
}

bool glSDL_ClipBlit(int surfacew, int surfaceh, const SDL_Rect* srcrect, const SDL_Rect* dstrect,
                    const SDL_Rect* clip, glSDL_BlitArea* out) {
  glSDL_BlitArea a;
  a.sx = srcrect ? srcrect->x : 0;
  a.sy = srcrect ? srcrect->y : 0;
  a.w = srcrect ? srcrect->w : surfacew;
  a.h = srcrect ? srcrect->h : surfaceh;
  a.x = dstrect ? dstrect->x : 0;
  a.y = dstrect ? dstrect->y : 0;
  if (a.sx < 0) {   // what lies left of the surface is skipped on the screen too
    a.x -= a.sx;
    a.w += a.sx;
    a.sx = 0;
  }
  if (a.sy < 0) {
    a.y -= a.sy;
    a.h += a.sy;
    a.sy = 0;
  }
  a.w = std::min(a.w, surfacew - a.sx);
  a.h = std::min(a.h, surfaceh - a.sy);
  if (clip) {
    int cut = clip->x - a.x;
    if (cut > 0) {
      a.sx += cut;
      a.w -= cut;
      a.x = clip->x;
    }
    cut = clip->y - a.y;
    if (cut > 0) {
      a.sy += cut;
      a.h -= cut;
      a.y = clip->y;
    }
    a.w = std::min(a.w, clip->x + clip->w - a.x);
    a.h = std::min(a.h, clip->y + clip->h - a.y);
  }
  if (a.w <= 0 || a.h <= 0) return false;
  *out = a;
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Texture information

// Every permanent information alive: a surface's hwdata counts as ours only when it is listed here,
// so a pointer another driver left there is never read.
static std::unordered_set<const glSDL_TexInfo*> attached;
static const glSDL_TexInfo* lastFound = NULL;   // pixel reads ask for the same one many times in a row

glSDL_TexInfo* glSDL_InfoOf(SDL_Surface* surface) {
  if (!surface || !surface->hwdata) return NULL;
  glSDL_TexInfo* info = reinterpret_cast<glSDL_TexInfo*>(surface->hwdata);
  if (info != lastFound && !attached.count(info)) return NULL;
  if (info->magic != kTexInfoMagic || info->owner != surface) return NULL;
  lastFound = info;
  return info;
}

glSDL_TexInfo* glSDL_CreateInfo(SDL_Surface* surface) {
  if (!surface) return NULL;
  if (glSDL_TexInfo* existing = glSDL_InfoOf(surface)) return existing;
  glSDL_Layout layout;
  if (!glSDL_ComputeLayout(surface->w, surface->h, glsdl.maxTextureSize, &layout)) return NULL;
  glSDL_TexInfo* info = new (std::nothrow) glSDL_TexInfo();
  if (!info) return NULL;
  try {
    info->names.assign((size_t)layout.textures, -1);
  } catch (const std::bad_alloc&) {
    if (layout.mode == kTileGrid) fprintf(stderr, "glSDL: INTERNAL ERROR: Failed to allocate texture name table!\n");
    delete info;
    return NULL;
  }
  info->magic = kTexInfoMagic;
  info->lw = surface->w;
  info->lh = surface->h;
  info->layout = layout;
  info->virt = SDL_Rect{0, 0, (Uint16)surface->w, (Uint16)surface->h};
  info->invalid = SDL_Rect{0, 0, 0, 0};
  info->temporary = 1;
  info->owner = NULL;
  info->next = info->prev = NULL;
  info->keyflag = info->key = 0;
  return info;
}

glSDL_TexInfo* glSDL_AttachInfo(SDL_Surface* surface) {
  glSDL_TexInfo* info = glSDL_CreateInfo(surface);
  if (!info || !info->temporary) return info;
  info->temporary = 0;
  info->owner = surface;
  info->prev = NULL;
  info->next = glsdl.head;
  surface->hwdata = reinterpret_cast<struct private_hwdata*>(info);
  attached.insert(info);
  if (glSDL_TexInfo* oldhead = glSDL_InfoOf(glsdl.head)) oldhead->prev = surface;
  glsdl.head = surface;
  // The screen draws through its whole area; other surfaces keep the clip rectangle their owner set.
  if (surface == glsdl.screen) SDL_SetClipRect(surface, NULL);
  return info;
}

void glSDL_DeleteTextures(glSDL_TexInfo* info) {
  if (!info) return;
  for (GLint& name : info->names) {
    if (name == -1) continue;
    GLuint texture = (GLuint)name;
    if (gl.glDeleteTextures) gl.glDeleteTextures(1, &texture);
    glSDL_TextureDeleted(texture);
    name = -1;
  }
  info->invalid = SDL_Rect{0, 0, 0, 0};
  info->readback.clear();
}

void glSDL_ReleaseInfo(glSDL_TexInfo* info) {
  if (!info) return;
  glSDL_DeleteTextures(info);
  info->magic = 0;
  delete info;
}

// Touches only the surface's hwdata and the list: SDL may already have freed its format and map.
void glSDL_RemoveInfo(SDL_Surface* surface) {
  glSDL_TexInfo* info = glSDL_InfoOf(surface);
  if (!info) return;
  if (glSDL_TexInfo* prev = glSDL_InfoOf(info->prev)) prev->next = info->next;
  if (glSDL_TexInfo* next = glSDL_InfoOf(info->next)) next->prev = info->prev;
  if (glsdl.head == surface) glsdl.head = info->next;
  attached.erase(info);
  if (lastFound == info) lastFound = NULL;
  surface->hwdata = NULL;
  glSDL_ReleaseInfo(info);
}

void glSDL_Invalidate(SDL_Surface* surface, const SDL_Rect* area) {
  glSDL_TexInfo* info = glSDL_InfoOf(surface);
  if (!info) return;
  SDL_Rect changed = area ? *area : info->virt;
  if (changed.w == 0 || changed.h == 0) return;   // an empty change leaves a pending one in place
  if (info->invalid.w == 0) {
    info->invalid = changed;
    return;
  }
  int left = std::min(info->invalid.x, changed.x), top = std::min(info->invalid.y, changed.y);
  int right = std::max(info->invalid.x + info->invalid.w, changed.x + changed.w);
  int bottom = std::max(info->invalid.y + info->invalid.h, changed.y + changed.h);
  info->invalid = SDL_Rect{(Sint16)left, (Sint16)top, (Uint16)(right - left), (Uint16)(bottom - top)};
}

// ---------------------------------------------------------------------------------------------------
// Upload

static bool SameMasks(const SDL_PixelFormat* a, const SDL_PixelFormat* b, bool alpha) {
  return a->BytesPerPixel == b->BytesPerPixel && a->Rmask == b->Rmask && a->Gmask == b->Gmask &&
         a->Bmask == b->Bmask && (!alpha || a->Amask == b->Amask);
}

// True when OpenGL can take the surface's pixels as they are.
static bool UploadsDirectly(const SDL_Surface* s) {
  const SDL_PixelFormat* f = s->format;
  if ((s->flags & SDL_SRCCOLORKEY) && !f->Amask) return false;
  if (s->flags & SDL_RLEACCEL) return false;   // its pixels are coded; the copy decodes them
  if (!s->pixels || s->pitch != s->w * f->BytesPerPixel) return false;
  return f->Amask ? SameMasks(f, &glsdl.rgbaFormat, true) : SameMasks(f, &glsdl.rgbFormat, false);
}

// The pixels in an upload format: keyed pixels become transparent black, alpha is carried over.
static SDL_Surface* ConvertForUpload(SDL_Surface* s) {
  bool alpha = s->format->Amask || (s->flags & SDL_SRCCOLORKEY);
  const SDL_PixelFormat& f = alpha ? glsdl.rgbaFormat : glsdl.rgbFormat;
  SDL_Surface* copy =
      SDL_CreateRGBSurface(SDL_SWSURFACE, s->w, s->h, f.BitsPerPixel, f.Rmask, f.Gmask, f.Bmask, f.Amask);
  if (!copy) return NULL;
  if (glSDL_CopyUnlocked(s, NULL, copy, NULL, SDL_SRCALPHA) < 0) {
    SDL_FreeSurface(copy);
    return NULL;
  }
  ++Yandorix_TexturesAtRun;
  return copy;
}

static void FillTextures(glSDL_TexInfo* info, SDL_Surface* pixels) {
  bool alpha = pixels->format->Amask != 0;
  GLenum format = alpha ? GL_RGBA : GL_RGB;
  GLint internal = alpha ? GL_RGBA8 : GL_RGB8;
  int bpp = pixels->format->BytesPerPixel;
  GLint rowlength = 0, alignment = 4;
  gl.glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowlength);
  gl.glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  // SDL rows are padded to 4 bytes unless they are packed exactly.
  gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels->w);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, pixels->pitch == pixels->w * bpp ? 1 : 4);
  const glSDL_Layout& l = info->layout;
  int tiles = glSDL_TileCount(l, info->lw, info->lh);
  for (int k = 0; k < tiles; ++k) {
    glSDL_Tile tile = glSDL_TileAt(l, info->lw, info->lh, k);
    if (tile.texture >= (int)info->names.size()) break;
    GLint& name = info->names[(size_t)tile.texture];
    if (name == -1) {
      GLuint created = 0;
      gl.glGenTextures(1, &created);
      name = (GLint)created;
      glSDL_Bind(created);
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      gl.glTexImage2D(GL_TEXTURE_2D, 0, internal, l.texsize, l.texsize, 0, format, GL_UNSIGNED_BYTE, NULL);
    }
    glSDL_Bind((GLuint)name);
    const Uint8* from = static_cast<const Uint8*>(pixels->pixels) + (size_t)tile.srcy * pixels->pitch +
                        (size_t)tile.srcx * bpp;
    gl.glTexSubImage2D(GL_TEXTURE_2D, 0, tile.texx, tile.texy, tile.w, tile.h, format, GL_UNSIGNED_BYTE, from);
  }
  gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, rowlength);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

static bool AllTexturesMade(const glSDL_TexInfo* info) {
  return std::find(info->names.begin(), info->names.end(), -1) == info->names.end();
}

glSDL_TexInfo* glSDL_Upload(SDL_Surface* surface) {
  if (!surface || !glsdl.active) return NULL;
  glSDL_TexInfo* info = glSDL_InfoOf(surface);
  if (!info) {
    if (surface->flags & SDL_HWSURFACE) {
      info = glSDL_AttachInfo(surface);
      if (info) surface->flags |= SDL_HWSURFACE | SDL_HWACCEL;
    } else {
      info = glSDL_CreateInfo(surface);
    }
    if (!info) return NULL;
  } else {
    // SDL tells the driver about key changes only while the surface is accelerated: compare.
    Uint32 keyflag = surface->flags & SDL_SRCCOLORKEY;
    if (keyflag != info->keyflag || (keyflag && surface->format->colorkey != info->key)) info->invalid = info->virt;
    if (info->invalid.w) glSDL_DeleteTextures(info);
    else if (AllTexturesMade(info)) return info;
  }
  if (info->layout.texsize > glsdl.maxTextureSize) {
    if (info->temporary) glSDL_ReleaseInfo(info);
    return NULL;
  }
  SDL_Surface* pixels = UploadsDirectly(surface) ? surface : ConvertForUpload(surface);
  if (!pixels) {
    if (info->temporary) glSDL_ReleaseInfo(info);
    return NULL;
  }
  FillTextures(info, pixels);
  if (pixels != surface) SDL_FreeSurface(pixels);
  info->keyflag = surface->flags & SDL_SRCCOLORKEY;
  info->key = surface->format->colorkey;
  info->invalid = SDL_Rect{0, 0, 0, 0};
  info->readback.clear();
  return info;
}

// ---------------------------------------------------------------------------------------------------
// Blits onto the screen

int glSDL_BlitWithState(SDL_Surface* surface, SDL_Rect* srcrect, SDL_Rect* dstrect, const glSDL_RenderState& st) {
  if (!surface || !glsdl.active || !glsdl.screen) return -1;
  bool plain = st.rotation == 0.0f && st.scalex == 1.0f && st.scaley == 1.0f;
  glSDL_BlitArea area;
  if (!glSDL_ClipBlit(surface->w, surface->h, srcrect, dstrect, plain ? &glsdl.screen->clip_rect : NULL, &area)) {
    if (dstrect) dstrect->w = dstrect->h = 0;
    return 0;
  }
  if (dstrect) *dstrect = SDL_Rect{(Sint16)area.x, (Sint16)area.y, (Uint16)area.w, (Uint16)area.h};
  glSDL_TexInfo* info = glSDL_Upload(surface);
  if (!info) return -1;

  bool surfaceAlpha = (surface->flags & SDL_SRCALPHA) != 0;
  Uint32 own = surfaceAlpha && !surface->format->Amask ? surface->format->alpha : 255;
  Uint8 alpha = glSDL_Scale8(own, st.alpha);
  if ((surface->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA)) || alpha != 255) {
    glSDL_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glSDL_SetBlending(true);
  } else {
    glSDL_SetBlending(false);
  }
  glSDL_SetTexturing(true);
  gl.glColor4ub(st.red, st.green, st.blue, alpha);

  int originx = area.x, originy = area.y;
  if (!plain) {
    int cx = (int)st.centrex, cy = (int)st.centrey;
    gl.glPushMatrix();
    gl.glTranslatef((float)(area.x + cx), (float)(area.y + cy), 0.0f);
    // The axis out of the screen is -z here (y grows downwards), so the effects' clockwise turns
    // (rotation -angle) come out clockwise as their software forms do.
    if (st.rotation != 0.0f) gl.glRotatef(st.rotation, 0.0f, 0.0f, -1.0f);
    if (!(st.scalex == 0.0f && st.scaley == 0.0f)) gl.glScalef(st.scalex, st.scaley, 1.0f);
    originx = -cx;
    originy = -cy;
  }
  static std::vector<glSDL_Quad> quads;
  glSDL_SplitQuads(info->layout, surface->w, surface->h, area.sx, area.sy, area.w, area.h, originx, originy, &quads);
  for (const glSDL_Quad& q : quads) {
    GLint name = info->names[(size_t)q.texture];
    if (name == -1) break;
    glSDL_Bind((GLuint)name);
    gl.glBegin(GL_TRIANGLE_FAN);
    gl.glTexCoord2f(q.u1, q.v1);
    gl.glVertex2i(q.x1, q.y1);
    gl.glTexCoord2f(q.u2, q.v1);
    gl.glVertex2i(q.x2, q.y1);
    gl.glTexCoord2f(q.u2, q.v2);
    gl.glVertex2i(q.x2, q.y2);
    gl.glTexCoord2f(q.u1, q.v2);
    gl.glVertex2i(q.x1, q.y2);
    gl.glEnd();
  }
  if (!plain) gl.glPopMatrix();
  if (info->temporary) glSDL_ReleaseInfo(info);
  return 0;
}

int glSDL_BlitToScreen(SDL_Surface* surface, SDL_Rect* srcrect, SDL_Rect* dstrect) {
  return glSDL_BlitWithState(surface, srcrect, dstrect, *glSDL_GetState());
}
