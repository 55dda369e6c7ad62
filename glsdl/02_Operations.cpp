// Operations of the OpenGL back end on texture surfaces. (Stand-in until the back end is built: no
// surface is ever a texture, so callers take their software paths.)
#include "glSDL.h"

int glSDL_IsTexture(SDL_Surface*) { return 0; }
int glSDL_SurfaceToTexture(SDL_Surface*) { return 0; }
SDL_Surface* glSDL_GrabScreen() { return NULL; }
int glSDL_FadeToColor(Uint8, Uint8, Uint8, Uint32, SDL_Rect*) { return 0; }
int glSDL_FadeToImage(SDL_Surface*, Uint32, SDL_Rect*, SDL_Rect*) { return 0; }
int glSDL_DrawLine(SDL_Surface*, Sint16, Sint16, Sint16, Sint16, Uint32) { return 1; }
void glSDL_PutPixel(int, int, Uint32) {}
void glSDL_GetPixel(SDL_Surface*, int, int, Uint32* value) {
  if (value) *value = 0;
}
