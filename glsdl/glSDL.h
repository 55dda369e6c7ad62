// The OpenGL back end's interface inside the library: its drawing state (alpha, colour modulation,
// filter, rotation centre, scale, rotation) and the operations other components call on texture surfaces.
#pragma once
#include <SDL.h>
#include <stddef.h>

struct glSDL_RenderState {
  Uint8 alpha;
  Uint8 red, green, blue;
  Uint8 filter;
  float centrex, centrey;
  float scalex, scaley;
  float rotation;
};

// The state the back end draws with (read-only for everyone but the back end).
const glSDL_RenderState* glSDL_GetState();
void glSDL_SetStateAlpha(int alpha);
void glSDL_SetStateColor(int red, int green, int blue);
void glSDL_SetStateFilter(int flag);
void glSDL_SetStateCenter(float x, float y);
void glSDL_SetStateRotation(float degrees);
void glSDL_SetStateScale(float x, float y);
void glSDL_PushState();
void glSDL_PopState();
void glSDL_ResetState();

// Texture surfaces and the operations on them.
int glSDL_IsTexture(SDL_Surface* surface);
int glSDL_SurfaceToTexture(SDL_Surface* surface);
SDL_Surface* glSDL_GrabScreen();
int glSDL_FadeToColor(Uint8 red, Uint8 green, Uint8 blue, Uint32 milliseconds, SDL_Rect* area);
int glSDL_FadeToImage(SDL_Surface* image, Uint32 milliseconds, SDL_Rect* destination, SDL_Rect* source);
int glSDL_DrawLine(SDL_Surface* surface, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint32 color);
void glSDL_PutPixel(int x, int y, Uint32 color);
void glSDL_GetPixel(SDL_Surface* surface, int x, int y, Uint32* value);

// Draws a surface onto the screen with the render state (transformed images are not cut to the
// screen's clip rectangle); 0, or -1 for a NULL surface or one that cannot be uploaded.
int glSDL_BlitToScreen(SDL_Surface* surface, SDL_Rect* srcrect, SDL_Rect* dstrect);

// Joining SDL's running video driver (x11 on this platform). Attach checks that the driver is the one
// the back end was built for and takes over its surface operations; false with the reason in `why`
// when anything does not match (nothing is changed then). After SDL_SetVideoMode, ConfirmScreen checks
// that SDL holds our screen and finishes the mode set; false with the reason otherwise.
bool glSDL_Attach(const char* caption, char* why, size_t whysize);
bool glSDL_ConfirmScreen(SDL_Surface* screen, char* why, size_t whysize);
// 1 while the back end holds the screen.
int glSDL_IsActive();
// Routes the next blits of `src` onto the screen through the back end, whatever its pixel format
// (SDL itself only does so for surfaces in the screen's own format). Nothing for other targets.
void glSDL_PrepareBlit(SDL_Surface* src, SDL_Surface* dst);
// Tests: the library version the attach checks (NULL: SDL's own).
void glSDL_InjectLinkedVersion(const SDL_version* version);
