// Drawing primitives, pixel access, locking, colour-space conversions and pixel-exact collision.
// Color operations take a pixel value in the target's format; RGBA operations take 8-bit components.
#ifndef YANDORIX_PRIMITIVES_H
#define YANDORIX_PRIMITIVES_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_IPrimitives {
 public:
  Yandorix_IPrimitives();
  ~Yandorix_IPrimitives();

  // 0: bounding boxes only; n > 0: pixel test on every n-th column and row.
  void SetCollisionMethod(int method);
  int GetCollisionMethod();

  void HLineColor(SDL_Surface* s, short x1, short x2, short y, unsigned int color);
  void HLineRGBA(SDL_Surface* s, short x1, short x2, short y, Uint8 r, Uint8 g, Uint8 b, Uint8 a);
  void VLineColor(SDL_Surface* s, short x, short y1, short y2, unsigned int color);
  void VLineRGBA(SDL_Surface* s, short x, short y1, short y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a);
  void RectangleColor(SDL_Surface* s, short x1, short y1, short x2, short y2, unsigned int color);
  void RectangleRGBA(SDL_Surface* s, short x1, short y1, short x2, short y2, Uint8 r, Uint8 g, Uint8 b,
                     Uint8 a);
  void BoxColor(SDL_Surface* s, short x1, short y1, short x2, short y2, unsigned int color);
  void BoxRGBA(SDL_Surface* s, short x1, short y1, short x2, short y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a);
  void LineColor(SDL_Surface* s, short x1, short y1, short x2, short y2, unsigned int color);
  void LineRGBA(SDL_Surface* s, short x1, short y1, short x2, short y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a);

  // Pixel access; lock = 1 locks around the access, 0 when the caller holds the lock for a whole pass.
  // GetPixel returns 0 for a point outside the surface.
  unsigned int GetPixel(SDL_Surface* s, short x, short y, unsigned char lock);
  void PutPixelColor(SDL_Surface* s, short x, short y, unsigned int color, unsigned char lock);
  void PutPixelRGBA(SDL_Surface* s, short x, short y, Uint8 r, Uint8 g, Uint8 b, Uint8 a, unsigned char lock);
  void Get16Pixel(SDL_Surface* s, short x, short y, unsigned int* dst, unsigned char lock);
  void Put16Pixel(SDL_Surface* s, short x, short y, unsigned int* src, unsigned char lock);

  // Lock only when SDL requires it (hardware, asynchronous-blit or RLE surfaces, or an offset).
  void Lock(SDL_Surface* s);
  void UnLock(SDL_Surface* s);

  void RGBtoHSV(Uint8 r, Uint8 g, Uint8 b, float* h, float* s, float* v);
  void HSVtoRGB(float h, float s, float v, Uint8* r, Uint8* g, Uint8* b);
  void RGBtoYUV(Uint8 r, Uint8 g, Uint8 b, Uint8* y, Uint8* u, Uint8* v);
  void YUVtoRGB(Uint8 y, Uint8 u, Uint8 v, Uint8* r, Uint8* g, Uint8* b);
  void RGBtoYCC(Uint8 r, Uint8 g, Uint8 b, Uint8* y, Uint8* cb, Uint8* cr);
  void YCCtoRGB(Uint8 y, Uint8 cb, Uint8 cr, Uint8* r, Uint8* g, Uint8* b);
  void RGBtoCMYK(Uint8 r, Uint8 g, Uint8 b, Uint8* c, Uint8* m, Uint8* y, Uint8* k);
  void CMYKtoRGB(Uint8 c, Uint8 m, Uint8 y, Uint8 k, Uint8* r, Uint8* g, Uint8* b);

  // 1 when the two placed images touch (boxes, then solid pixels by the collision method). place: where
  // the image lies (x, y, w, h, both on one plane, such as the screen); offset (NULL: 0, 0): the pixel
  // of the surface that lies at the place's top-left corner, such as one tile's cell in a tileset.
  int PixelCollision(SDL_Surface* a, SDL_Rect* placeA, SDL_Surface* b, SDL_Rect* placeB, unsigned char debug,
                     SDL_Rect* offsetA, SDL_Rect* offsetB);

 private:
  Yandorix_IPrimitives(const Yandorix_IPrimitives&) = delete;
  Yandorix_IPrimitives& operator=(const Yandorix_IPrimitives&) = delete;
  struct sPrimitivesPrivate* p;
};

extern YDX_API Yandorix_IPrimitives* IPrimitives;

#endif
