// Drawing primitives, pixel access, colour conversions and pixel-exact collision.
#ifndef YANDORIX_PRIMITIVES_H
#define YANDORIX_PRIMITIVES_H

#include <SDL.h>

class Yandorix_IPrimitives {
 public:
  Yandorix_IPrimitives();
  ~Yandorix_IPrimitives();

 private:
  Yandorix_IPrimitives(const Yandorix_IPrimitives&) = delete;
  Yandorix_IPrimitives& operator=(const Yandorix_IPrimitives&) = delete;
  struct sPrimitivesPrivate* p;
};

extern Yandorix_IPrimitives* IPrimitives;

#endif
