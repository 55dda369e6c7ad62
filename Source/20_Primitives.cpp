// Drawing primitives and pixel access. (Partial: pixel access and locking; the rest is being built.)
#include "01_Main.h"
#include "20_Primitives.h"

struct sPrimitivesPrivate {
  Sint32 collisionmethod;
};

Yandorix_IPrimitives::Yandorix_IPrimitives() {
  p = new sPrimitivesPrivate();
  p->collisionmethod = 1;
  ILogSystem.Msg(5, " . [IPrimitives] Interfaz created.\n");
}

Yandorix_IPrimitives::~Yandorix_IPrimitives() {
  delete p;
  ILogSystem.Msg(5, " . [IPrimitives] Interfaz deleted.\n");
}

void Yandorix_IPrimitives::SetCollisionMethod(int method) { p->collisionmethod = method < 0 ? 0 : method; }
int Yandorix_IPrimitives::GetCollisionMethod() { return p->collisionmethod; }

void Yandorix_IPrimitives::Lock(SDL_Surface* s) {
  if (!s || !ydxpix::MustLock(s)) return;
  if (SDL_LockSurface(s) < 0) ILogSystem.Msg(0, " . [IPrimitives->Lock()] Error: %s\n", SDL_GetError());
}

void Yandorix_IPrimitives::UnLock(SDL_Surface* s) {
  if (s && ydxpix::MustLock(s)) SDL_UnlockSurface(s);
}

unsigned int Yandorix_IPrimitives::GetPixel(SDL_Surface* s, short x, short y, unsigned char lock) {
  if (!s || x < 0 || y < 0 || x >= s->w || y >= s->h) return 0;
  if (lock == 1) Lock(s);
  unsigned int value = s->pixels ? ydxpix::ReadUnchecked(s, x, y) : 0;
  if (lock == 1) UnLock(s);
  return value;
}

void Yandorix_IPrimitives::PutPixelColor(SDL_Surface* s, short x, short y, unsigned int color,
                                         unsigned char lock) {
  if (!s || x < 0 || y < 0 || x >= s->w || y >= s->h) return;
  const SDL_Rect& clip = s->clip_rect;
  if (x < clip.x || x >= clip.x + clip.w || y < clip.y || y >= clip.y + clip.h) return;
  if (lock == 1) Lock(s);
  if (s->pixels) ydxpix::WriteUnchecked(s, x, y, color);
  if (lock == 1) UnLock(s);
}

void Yandorix_IPrimitives::PutPixelRGBA(SDL_Surface* s, short x, short y, Uint8 r, Uint8 g, Uint8 b, Uint8 a,
                                        unsigned char lock) {
  if (s) PutPixelColor(s, x, y, SDL_MapRGBA(s->format, r, g, b, a), lock);
}
