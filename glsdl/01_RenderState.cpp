// The OpenGL back end's drawing state with its single save slot. Effects save it, set what they need
// around one blit of a texture surface, and restore it.
#include "glSDL.h"

static const glSDL_RenderState kResetState = {255, 255, 255, 255, 0, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f};
static glSDL_RenderState state = kResetState;
static glSDL_RenderState saved = kResetState;

const glSDL_RenderState* glSDL_GetState() { return &state; }

void glSDL_SetStateAlpha(int alpha) { state.alpha = (Uint8)alpha; }

void glSDL_SetStateColor(int red, int green, int blue) {
  state.red = (Uint8)red;
  state.green = (Uint8)green;
  state.blue = (Uint8)blue;
}

void glSDL_SetStateFilter(int flag) {
  // Texture filters only mean something once a video device exists (a mode need not be open yet).
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  state.filter = (Uint8)flag != 0 ? 1 : 0;
}

void glSDL_SetStateCenter(float x, float y) {
  state.centrex = x;
  state.centrey = y;
}

void glSDL_SetStateRotation(float degrees) { state.rotation = degrees; }

void glSDL_SetStateScale(float x, float y) {
  state.scalex = x;
  state.scaley = y;
}

void glSDL_PushState() { saved = state; }

void glSDL_PopState() {
  state = saved;
  glSDL_SetStateFilter(saved.filter);
}

void glSDL_ResetState() { state = kResetState; }
