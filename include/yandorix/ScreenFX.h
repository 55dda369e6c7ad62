// Screen effects on SDL surfaces: mirror, flip, noise, blur, gamma, animated frame effects, fades,
// resizing and rotation. Geometric effects return a new surface owned by the caller, or draw into the
// given destination and return it; NULL means refused (the log says why).
#ifndef YANDORIX_SCREENFX_H
#define YANDORIX_SCREENFX_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_IScreenFX {
 public:
  Yandorix_IScreenFX();
  ~Yandorix_IScreenFX();

  // Left-right mirror image and upside-down image of the source area (the whole surface for NULL).
  SDL_Surface* Mirror(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect);
  SDL_Surface* Flip(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, const SDL_Rect* dstrect);

  // In place; amount 0..100, gamma factors 0..255 in percent. 1 when applied, 0 when refused.
  int Noise(SDL_Surface* surface, int amount);
  int Blur(SDL_Surface* surface, int amount);
  int GammaCorrect(SDL_Surface* surface, int r, int g, int b);

  // Renders src into dst through effect `type` (1..12); every call advances the frame counter.
  void RenderFX(SDL_Surface* src, SDL_Surface* dst, int type);
  // Blocking fades of a screen area towards an image or a colour over `ms` milliseconds.
  int FadeToImage(SDL_Surface* image, unsigned int ms, const SDL_Rect* screenarea, const SDL_Rect* imagearea);
  int FadeToColor(unsigned char r, unsigned char g, unsigned char b, unsigned int ms,
                  const SDL_Rect* screenarea);

  // Resampling to w x h pixels (negative w mirrors, negative h flips) or by factors; mode 1 asks for
  // bilinear filtering of 32-bit surfaces. With a destination the result is drawn centred on the area.
  SDL_Surface* Resize(SDL_Surface* src, const SDL_Rect* srcrect, int mode, int w, int h, SDL_Surface* dst,
                      const SDL_Rect* dstrect);
  SDL_Surface* Resize(SDL_Surface* src, const SDL_Rect* srcrect, int mode, double fx, double fy,
                      SDL_Surface* dst, const SDL_Rect* dstrect);
  // Turned clockwise by `angle` degrees and scaled by `zoom`; the corners are transparent (colour key).
  SDL_Surface* RotateResize(SDL_Surface* src, const SDL_Rect* srcrect, int mode, double angle, double zoom,
                            SDL_Surface* dst, const SDL_Rect* dstrect);
  SDL_Surface* Rotate(SDL_Surface* src, const SDL_Rect* srcrect, int mode, double angle, SDL_Surface* dst,
                      const SDL_Rect* dstrect);

 private:
  Yandorix_IScreenFX(const Yandorix_IScreenFX&) = delete;
  Yandorix_IScreenFX& operator=(const Yandorix_IScreenFX&) = delete;
  struct sScreenFXPrivate* p;
  unsigned char createdprimitives;   // 1 when this object made the IPrimitives service itself
};

extern YDX_API Yandorix_IScreenFX* IScreenFX;

#endif
