// The OpenGL entry points of the back end, loaded by name from the driver SDL opened, and the small
// cache that keeps repeated enables, bindings and blend settings away from OpenGL.
#include "glSDL_Internal.h"

glSDL_GLTable gl;

static const char* const kNames[] = {
#define GLSDL_NAME(ret, name, args) #name,
    GLSDL_FUNCTIONS(GLSDL_NAME)
#undef GLSDL_NAME
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kGLFunctionCount, "the back end loads 52 entry points");
static_assert(sizeof(glSDL_GLTable) == kGLFunctionCount * sizeof(void*), "one slot per entry point");

const char* glSDL_GLFunctionName(int index) {
  return index >= 0 && index < kGLFunctionCount ? kNames[index] : NULL;
}

bool glSDL_LoadGLFunctions() {
  glSDL_GLTable loaded;
  void** slots = reinterpret_cast<void**>(&loaded);
  for (int i = 0; i < kGLFunctionCount; ++i) {
    slots[i] = SDL_GL_GetProcAddress(kNames[i]);
    if (!slots[i]) {
      SDL_SetError("Couldn't load GL function: %s\n", kNames[i]);
      return false;
    }
  }
  gl = loaded;
  return true;
}

// -1: unknown (OpenGL may hold anything).
static struct {
  int blend, texture2d;
  GLint bound;
  GLint blendsrc, blenddst;
} cache = {-1, -1, -1, -1, -1};

void glSDL_ForgetGLState() { cache = {-1, -1, -1, -1, -1}; }

static void Toggle(int* cached, GLenum cap, bool on) {
  if (*cached == (on ? 1 : 0)) return;
  if (on) gl.glEnable(cap);
  else gl.glDisable(cap);
  *cached = on ? 1 : 0;
}

void glSDL_SetBlending(bool on) { Toggle(&cache.blend, GL_BLEND, on); }
void glSDL_SetTexturing(bool on) { Toggle(&cache.texture2d, GL_TEXTURE_2D, on); }

void glSDL_SetBlendFunc(GLenum source, GLenum destination) {
  if (cache.blendsrc == (GLint)source && cache.blenddst == (GLint)destination) return;
  gl.glBlendFunc(source, destination);
  cache.blendsrc = (GLint)source;
  cache.blenddst = (GLint)destination;
}

void glSDL_Bind(GLuint texture) {
  if (cache.bound == (GLint)texture) return;
  gl.glBindTexture(GL_TEXTURE_2D, texture);
  cache.bound = (GLint)texture;
  GLint filter = glSDL_GetState()->filter ? GL_LINEAR : GL_NEAREST;
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

void glSDL_TextureDeleted(GLuint texture) {
  if (cache.bound == (GLint)texture) cache.bound = -1;   // OpenGL falls back to texture 0
}
