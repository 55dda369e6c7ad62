// Animated sprites cut from one sheet: each row of the sheet is an animation, each animation a run of
// equally sized frames. Sprites play, move (optionally interpolated between logic frames), draw through
// a cached effect, clone into slaves sharing the master's pixels, collide, and live in "SPR2" blocks.
#ifndef YANDORIX_SPRITE_H
#define YANDORIX_SPRITE_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_CSprite {
 public:
  Yandorix_CSprite();
  ~Yandorix_CSprite();
  // Back to the empty state; slaves of a cleaned master stop drawing (they report their lost master).
  void Clean();

  // A sprite from a sheet (copied) or an image file; the number of animations, 0 on failure.
  // Sheet row r becomes animation r + 1 with state code 0x8000 + r; a row ends at its first empty frame.
  int Create(SDL_Surface* sheet, const char* name, int framew, int frameh);
  int Create(const char* file, const char* name, int framew, int frameh);
  // A slave drawing the master's pixels with animation state of its own; the master must outlive it.
  int Clone(const Yandorix_CSprite* master);
  // "SPR2" blocks (older "SPR" blocks are upgraded in the archive). `text` only names the request in
  // the log. Load returns the number of animations, Save the archive's result; 0 on failure.
  int Load(int handle, const char* name, const char* text);
  int Load(const char* file, const char* name, const char* text);
  // Save with type "SPR2": Load finds "SPR2" (and older "SPR") blocks only.
  int Save(int handle, const char* type);
  int Save(const char* file, const char* type);

  // Animation control; animations and frames are 1-based where they are counted. Types: 2 Loop,
  // 4 Ping-Pong, 8 One Shot; state codes: direction in the high byte, row in the low byte; 2730 passed
  // for a property of SetAnimProperties keeps it.
  int SelectAnim(int statecode);
  int SetAnimProperties(int anim, unsigned short type, unsigned short statecode, short hotx, short hoty,
                        unsigned short start, unsigned short end);
  int GetAnimProperties(int anim, unsigned short* type, unsigned short* statecode, unsigned short* framecount,
                        short* hotx, short* hoty, unsigned short* start, unsigned short* end);
  int SelectFrame(int frame);
  int GetFrame();   // 0-based current frame of the current animation; -1 when empty
  int GetAnim();    // state code of the current animation; -1 when empty
  int SetFrameProperties(int anim, int frame, unsigned int ms);   // frame 0: every frame of the animation
  int GetFrameProperties(int anim, int frame, unsigned int* ms);
  // A frame lasts its time divided by the factor; a factor of 0 or below stops the animation.
  void SetAnimFactor(float factor);
  void Pause();
  void Resume();
  int IsFinished();

  // Position and drawing. Draw returns 1 (frame stepped), 2 (not stepped), 3 (paused), 0 (not drawn).
  void SetPosition(int x, int y, int smooth);
  short GetPosX();
  short GetPosY();
  void GetOffset(int* w, int* h);
  int Draw(SDL_Surface* dest = NULL);
  void AutoRestore(char on);
  // 0 none, 1 flip, 2 mirror, 3 resize (p1, p2 factors), 4 rotate (p1 degrees), 5 rotate (p1) and resize (p2).
  void SetEffect(int effect, int mode, double p1, double p2);

  // Properties.
  void SetAlpha(int alpha);
  void SetColorKey(int key);
  void SetColorKey(int r, int g, int b);
  int GetAlpha();          // 256 with per-pixel alpha; -1 when empty
  int GetColorKey();       // -1 when none or empty
  SDL_Surface* GetSurface();
  void SetName(const char* name);   // at most 31 characters are kept
  char* GetName();                  // NULL when empty
  void SetCollisionMethod(int method);   // -1: the IPrimitives setting
  int GetCollisionMethod();
  void Info();

  // Pixel-exact collisions, 1 on collision. x, y (x1, y1): this sprite's position as SetPosition takes
  // it; x2, y2 the other sprite's; -1 takes the position of the last Draw. `other` is a whole picture
  // whose pixel (0, 0) lies at otherrect's x, y (w, h its size there): one tile of a tileset is cut out
  // into a picture of its own first.
  int Collision(SDL_Surface* other, const SDL_Rect* otherrect, short x, short y, unsigned char debug);
  int Collision(Yandorix_CSprite* other, short x1, short y1, short x2, short y2, unsigned char debug);

 private:
  Yandorix_CSprite(const Yandorix_CSprite&) = delete;
  Yandorix_CSprite& operator=(const Yandorix_CSprite&) = delete;
  friend struct Yandorix_SpriteAccess;
  struct sSpritePrivate* p;
};

#endif
