// What the files of the OpenGL back end share: the OpenGL entry points it loads itself, the cached
// OpenGL state, the texture information attached to surfaces, the back end's process-wide data, and
// the pure arithmetic (texture layout, quad splitting, colour modulation) that tests reach directly.
#pragma once
#include "glSDL.h"
#include "SDL12Device.h"
#include <GL/gl.h>
#include <vector>

// ---------------------------------------------------------------------------------------------------
// OpenGL entry points, loaded by name through SDL_GL_GetProcAddress in this order.

#define GLSDL_FUNCTIONS(X)                                                                                     \
  X(void, glBegin, (GLenum mode))                                                                              \
  X(void, glBindTexture, (GLenum target, GLuint texture))                                                      \
  X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor))                                                       \
  X(void, glClear, (GLbitfield mask))                                                                          \
  X(void, glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a))                                      \
  X(void, glColor3ub, (GLubyte r, GLubyte g, GLubyte b))                                                       \
  X(void, glColor4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a))                                             \
  X(void, glColor4ub, (GLubyte r, GLubyte g, GLubyte b, GLubyte a))                                            \
  X(void, glCopyTexImage2D, (GLenum t, GLint l, GLenum f, GLint x, GLint y, GLsizei w, GLsizei h, GLint b))    \
  X(void, glDeleteTextures, (GLsizei n, const GLuint* textures))                                               \
  X(void, glDisable, (GLenum cap))                                                                             \
  X(void, glDrawBuffer, (GLenum mode))                                                                         \
  X(void, glDrawPixels, (GLsizei w, GLsizei h, GLenum format, GLenum type, const GLvoid* pixels))              \
  X(void, glEnable, (GLenum cap))                                                                              \
  X(void, glEnd, (void))                                                                                       \
  X(void, glFinish, (void))                                                                                    \
  X(void, glFlush, (void))                                                                                     \
  X(void, glGenTextures, (GLsizei n, GLuint* textures))                                                        \
  X(GLenum, glGetError, (void))                                                                                \
  X(void, glGetIntegerv, (GLenum pname, GLint* params))                                                        \
  X(const GLubyte*, glGetString, (GLenum name))                                                                \
  X(void, glGetTexImage, (GLenum t, GLint level, GLenum format, GLenum type, GLvoid* pixels))                  \
  X(void, glGetTexLevelParameteriv, (GLenum t, GLint level, GLenum pname, GLint* params))                      \
  X(void, glHint, (GLenum target, GLenum mode))                                                                \
  X(void, glLineWidth, (GLfloat width))                                                                        \
  X(void, glLoadIdentity, (void))                                                                              \
  X(void, glMatrixMode, (GLenum mode))                                                                         \
  X(void, glOrtho, (GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f))                   \
  X(void, glPixelStorei, (GLenum pname, GLint param))                                                          \
  X(void, glPopAttrib, (void))                                                                                 \
  X(void, glPopClientAttrib, (void))                                                                           \
  X(void, glPopMatrix, (void))                                                                                 \
  X(void, glPushAttrib, (GLbitfield mask))                                                                     \
  X(void, glPushClientAttrib, (GLbitfield mask))                                                               \
  X(void, glPushMatrix, (void))                                                                                \
  X(void, glReadPixels, (GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, GLvoid* pixels))  \
  X(void, glRotated, (GLdouble angle, GLdouble x, GLdouble y, GLdouble z))                                     \
  X(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z))                                         \
  X(void, glScalef, (GLfloat x, GLfloat y, GLfloat z))                                                         \
  X(void, glShadeModel, (GLenum mode))                                                                         \
  X(void, glTexCoord2f, (GLfloat s, GLfloat t))                                                                \
  X(void, glTexEnvf, (GLenum target, GLenum pname, GLfloat param))                                             \
  X(void, glTexImage2D, (GLenum t, GLint l, GLint ifmt, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum type,  \
                         const GLvoid* pixels))                                                                \
  X(void, glTexParameterf, (GLenum target, GLenum pname, GLfloat param))                                       \
  X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param))                                         \
  X(void, glTexSubImage2D, (GLenum t, GLint l, GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum type,  \
                            const GLvoid* pixels))                                                             \
  X(void, glTranslated, (GLdouble x, GLdouble y, GLdouble z))                                                  \
  X(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z))                                                     \
  X(void, glVertex2f, (GLfloat x, GLfloat y))                                                                  \
  X(void, glVertex2i, (GLint x, GLint y))                                                                      \
  X(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z))                                                       \
  X(void, glViewport, (GLint x, GLint y, GLsizei w, GLsizei h))

struct glSDL_GLTable {
#define GLSDL_MEMBER(ret, name, args) ret(APIENTRY* name) args;
  GLSDL_FUNCTIONS(GLSDL_MEMBER)
#undef GLSDL_MEMBER
};
enum { kGLFunctionCount = 52 };

extern glSDL_GLTable gl;
// Fills the table by name; on the first missing entry point sets SDL's error and returns false.
bool glSDL_LoadGLFunctions();
// The entry point names in table order (for tests and the error text).
const char* glSDL_GLFunctionName(int index);

// ---------------------------------------------------------------------------------------------------
// Cached OpenGL state: enables, bound texture and blend factors go to OpenGL only when they change.

void glSDL_ForgetGLState();               // everything unknown (every mode set)
void glSDL_SetBlending(bool on);
void glSDL_SetTexturing(bool on);
void glSDL_SetBlendFunc(GLenum source, GLenum destination);
// Binds the texture; a texture that was not bound gets the render state's filter.
void glSDL_Bind(GLuint texture);
void glSDL_TextureDeleted(GLuint texture);

// ---------------------------------------------------------------------------------------------------
// Pure arithmetic.

// One 8-bit channel scaled by another: (c * m * 258) >> 16 (255 x 255 stays 255).
inline Uint8 glSDL_Scale8(Uint32 c, Uint32 m) { return (Uint8)((c * m * 258u) >> 16); }

enum { kTileSingle = 0, kTileHorizontal = 1, kTileVertical = 2, kTileGrid = 3 };

// How a surface is spread over square textures.
struct glSDL_Layout {
  int mode;
  int texsize;        // side of every texture, a power of two
  int tilew, tileh;   // one tile in pixels
  int tilespertex;
  int textures;       // number of textures
};

// The layout of a w x h surface with textures of at most `maxsize`; false for an empty surface or a
// maximum below 1.
bool glSDL_ComputeLayout(int w, int h, int maxsize, glSDL_Layout* out);

// One tile: the source pixels it holds and where they sit in which texture.
struct glSDL_Tile {
  int srcx, srcy, w, h;
  int texture;
  int texx, texy;
};
int glSDL_TileCount(const glSDL_Layout& layout, int w, int h);
glSDL_Tile glSDL_TileAt(const glSDL_Layout& layout, int w, int h, int index);
// The tile holding source pixel (x, y), which must lie inside the surface.
glSDL_Tile glSDL_TileHolding(const glSDL_Layout& layout, int w, int h, int x, int y);

// One textured quad of a blit: texture index, texture coordinates and integer corner positions.
struct glSDL_Quad {
  int texture;
  float u1, v1, u2, v2;
  int x1, y1, x2, y2;
};
// The quads that draw source area (sx, sy, cw, ch), already inside the surface, with its top-left
// corner at (x, y): one per tile the area touches, cut to the part of the area inside it.
void glSDL_SplitQuads(const glSDL_Layout& layout, int w, int h, int sx, int sy, int cw, int ch, int x, int y,
                      std::vector<glSDL_Quad>* out);

// Clipping of a blit to the screen. The source area starts inside the surface (a negative start moves
// the destination instead) and ends at its edge; a plain blit is also cut to `clip`. False when
// nothing is left.
struct glSDL_BlitArea {
  int sx, sy, w, h;   // source area
  int x, y;           // destination of its top-left corner
};
bool glSDL_ClipBlit(int surfacew, int surfaceh, const SDL_Rect* srcrect, const SDL_Rect* dstrect,
                    const SDL_Rect* clip, glSDL_BlitArea* out);

// ---------------------------------------------------------------------------------------------------
// Texture information attached to a surface (its hwdata) or free-standing for one use.

struct glSDL_TexInfo {
  Uint32 magic;                   // kTexInfoMagic while alive
  int lw, lh;                     // logical size
  glSDL_Layout layout;
  std::vector<GLint> names;       // texture names, -1 = not created
  SDL_Rect virt;                  // 0, 0, w, h
  SDL_Rect invalid;               // changed since the last upload; w 0 = textures current
  int temporary;
  SDL_Surface* owner;             // the surface it is attached to (NULL when temporary)
  SDL_Surface* next;
  SDL_Surface* prev;
  // What the textures were made from: a key change rebuilds them even when SDL never told us.
  Uint32 keyflag, key;
  // Pixel reads of a texture keep its read-back until the texture is made again.
  struct Readback {
    std::vector<Uint8> pixels;    // RGBA rows of `width` texels
    int width = 0;
  };
  std::vector<Readback> readback;
};
enum : Uint32 { kTexInfoMagic = 0x674C5444u };

// ---------------------------------------------------------------------------------------------------
// The back end's process-wide data.

struct glSDL_Driver {
  sSDLDevice* device = NULL;      // the running driver's record while attached
  bool active = false;            // a mode set of ours holds the screen
  SDL_Surface* screen = NULL;     // our screen surface
  Uint32 wrappedFlags = 0;        // the flags the wrapped driver gave its surface
  void* screenPixels = NULL;      // our own pixel buffer of the screen
  bool doublebuf = false;
  bool stateReset = false;        // the render state was reset by the first mode set of the process
  int maxTextureSize = -1;        // -1 until the first mode set
  SDL_PixelFormat rgbFormat = {}, rgbaFormat = {}, alphaFormat = {};
  SDL_Surface* readback = NULL;   // 24-bit RGB, screen size
  std::vector<Uint8> mirror;      // one read-back image, for turning rows upright
  SDL_Surface* head = NULL;       // list of surfaces with texture information
};
extern glSDL_Driver glsdl;

// Our own pixel format record (shifts and losses from the masks, no palette).
void glSDL_MakeFormat(SDL_PixelFormat* format, int bits, Uint32 r, Uint32 g, Uint32 b, Uint32 a);

// Texture information of a surface; NULL when it carries none of ours.
glSDL_TexInfo* glSDL_InfoOf(SDL_Surface* surface);
glSDL_TexInfo* glSDL_CreateInfo(SDL_Surface* surface);   // temporary, or the existing one
glSDL_TexInfo* glSDL_AttachInfo(SDL_Surface* surface);   // permanent, linked into the list
void glSDL_RemoveInfo(SDL_Surface* surface);
void glSDL_ReleaseInfo(glSDL_TexInfo* info);
void glSDL_DeleteTextures(glSDL_TexInfo* info);
void glSDL_Invalidate(SDL_Surface* surface, const SDL_Rect* area);
// Uploads what changed; the surface's information (temporary for non-hardware surfaces), or NULL.
glSDL_TexInfo* glSDL_Upload(SDL_Surface* surface);
// The same with a given state instead of the render state.
int glSDL_BlitWithState(SDL_Surface* surface, SDL_Rect* srcrect, SDL_Rect* dstrect, const glSDL_RenderState& state);
// Reads a screen rectangle back into a surface at dstrect; 0 or -1.
int glSDL_ReadBack(const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect);
// Copies through SDL's blit mapping without locking either surface; the rectangles are cut to both
// surfaces. `dropFlags` are cleared from the source for the copy (e.g. SDL_SRCALPHA).
int glSDL_CopyUnlocked(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect,
                       Uint32 dropFlags);
// Makes a blit map invalid so SDL_LowerBlit maps it again.
void glSDL_InvalidateMap(SDL_Surface* surface);
// Swaps buffers or waits for OpenGL, as the screen is double-buffered or not.
void glSDL_Present();
// The map's hardware blit routine of every blit that involves our surfaces.
int glSDL_DispatchBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect);
// Pixel values of the render state's colour: red, green, blue of `color` in `format`.
void glSDL_SplitColor(const SDL_PixelFormat* format, Uint32 color, Uint8* r, Uint8* g, Uint8* b);

// Tests: the allocator of hardware-surface pixels (NULL: calloc).
void glSDL_InjectPixelAllocator(void* (*allocator)(size_t count, size_t size));
