// Compile-time check of the graphics interface as an application writes against it: primitives,
// colour conversions, collision, screen effects and the tile, font and sprite classes, called with their
// own argument and result types. Never run; building and linking is the test.
#include <gtest/gtest.h>
#include <Yandorix.h>

static int CallPrimitivesAndEffects(SDL_Surface* s) {
  IPrimitives->SetCollisionMethod(2);
  int result = IPrimitives->GetCollisionMethod();
  IPrimitives->HLineColor(s, 0, 9, 1, 0xFFFFFF);
  IPrimitives->HLineRGBA(s, 0, 9, 1, 255, 0, 0, 255);
  IPrimitives->VLineColor(s, 1, 0, 9, 0xFFFFFF);
  IPrimitives->VLineRGBA(s, 1, 0, 9, 255, 0, 0, 255);
  IPrimitives->RectangleColor(s, 0, 0, 9, 9, 0xFFFFFF);
  IPrimitives->RectangleRGBA(s, 0, 0, 9, 9, 255, 0, 0, 255);
  IPrimitives->BoxColor(s, 0, 0, 9, 9, 0xFFFFFF);
  IPrimitives->BoxRGBA(s, 0, 0, 9, 9, 255, 0, 0, 255);
  IPrimitives->LineColor(s, 0, 0, 9, 9, 0xFFFFFF);
  IPrimitives->LineRGBA(s, 0, 0, 9, 9, 255, 0, 0, 255);
  unsigned int pixel = IPrimitives->GetPixel(s, 1, 1, 1);
  IPrimitives->PutPixelColor(s, 1, 1, pixel, 1);
  IPrimitives->PutPixelRGBA(s, 1, 1, 1, 2, 3, 4, 0);
  unsigned int row[16];
  IPrimitives->Get16Pixel(s, 0, 0, row, 1);
  IPrimitives->Put16Pixel(s, 0, 0, row, 1);
  IPrimitives->Lock(s);
  IPrimitives->UnLock(s);
  float h, sat, v;
  unsigned char r, g, b, c, m, y, k;
  IPrimitives->RGBtoHSV(1, 2, 3, &h, &sat, &v);
  IPrimitives->HSVtoRGB(h, sat, v, &r, &g, &b);
  IPrimitives->RGBtoYUV(r, g, b, &y, &c, &m);
  IPrimitives->YUVtoRGB(y, c, m, &r, &g, &b);
  IPrimitives->RGBtoYCC(r, g, b, &y, &c, &m);
  IPrimitives->YCCtoRGB(y, c, m, &r, &g, &b);
  IPrimitives->RGBtoCMYK(r, g, b, &c, &m, &y, &k);
  IPrimitives->CMYKtoRGB(c, m, y, k, &r, &g, &b);
  SDL_Rect place = {0, 0, 10, 10}, offset = {0, 0, 10, 10};
  result += IPrimitives->PixelCollision(s, &place, s, &place, 0, &offset, NULL);

  SDL_Surface* mirrored = IScreenFX->Mirror(s, &offset, NULL, NULL);
  SDL_Surface* flipped = IScreenFX->Flip(s, NULL, mirrored, &place);
  result += IScreenFX->Noise(s, 10) + IScreenFX->Blur(s, 10) + IScreenFX->GammaCorrect(s, 100, 100, 100);
  IScreenFX->RenderFX(s, flipped, 1);
  result += IScreenFX->FadeToImage(s, 500, &place, &offset);
  result += IScreenFX->FadeToColor(0, 0, 0, 500, NULL);
  SDL_Surface* resized = IScreenFX->Resize(s, NULL, 1, 20, 20, NULL, NULL);
  SDL_Surface* scaled = IScreenFX->Resize(s, NULL, 0, 2.0, 0.5, NULL, NULL);
  SDL_Surface* turned = IScreenFX->RotateResize(s, NULL, 1, 45.0, 2.0, NULL, NULL);
  SDL_Surface* rotated = IScreenFX->Rotate(s, &offset, 0, 90.0, NULL, NULL);
  return result + (resized != scaled) + (turned != rotated) + (int)pixel;
}

static int CallTile(SDL_Surface* s) {
  Yandorix_CTile tile;
  int result = tile.Create(s, (char*)"grass") + tile.Create((char*)"grass.png", (char*)"grass");
  result += tile.Load(1, (char*)"grass", (char*)"TILE2") + tile.Load((char*)"data.dpf", (char*)"grass", (char*)"TILE");
  result += tile.Save(1, (char*)"TILE2") + tile.Save((char*)"data.dpf", (char*)"TILB2");
  result += tile.Draw(NULL, 0x40000003) + tile.SetTileSet(1, 32, 32);
  int w = 0, h = 0;
  result += tile.GetOffset(&w, &h);
  tile.SetPosition(10, 20);
  result += tile.GetPosX() + tile.GetPosY() + tile.GetSizeX() + tile.GetSizeY();
  SDL_Surface* surface = tile.GetSurface();
  char* name = tile.GetName();
  tile.SetName((char*)"sand");
  result += tile.GetAlpha() + tile.GetColorKey();
  tile.SetAlpha(128);
  tile.SetColorKey(-1);
  tile.SetColorKey(255, 0, 255);
  tile.Info();
  tile.Clean();
  return result + w + h + (surface != NULL) + (name != NULL);
}

static int CallFont(SDL_Surface* s) {
  Yandorix_CFont font;
  int result = font.Create(s) + font.Create((char*)"font.bmp") + font.Test(s) + font.Test((char*)"font.bmp");
  SDL_Rect clip = {0, 0, 100, 20};
  font.PutString(s, 0, 0, (char*)"Hello", &clip);
  font.PutStringWithCursor(s, 0, 0, (char*)"Hello", 2, NULL, 1);
  font.PutStringXCenter(s, 0, (char*)"Hello", NULL);
  font.PutStringYCenter(s, 0, (char*)"Hello", &clip);
  result += font.StringWidth((char*)"Hello") + font.StringHeight() + font.SetCursorAt((char*)"Hello", 7);
  font.SetKerning(1);
  result += font.GetKerning();
  font.SetCursorChar('_');
  char cursor = font.GetCursorChar();
  font.SetName((char*)"small");
  char* name = font.GetName();
  SDL_Surface* surface = font.GetSurface();
  font.SetAlpha(200);
  result += font.GetAlpha();
  result += font.Save(1, (char*)"small") + font.Save((char*)"data.dpf", (char*)"small");
  result += font.Load(1, (char*)"small") + font.Load((char*)"data.dpf", (char*)"small");
  font.Info();
  font.Clean();
  return result + cursor + (name != NULL) + (surface != NULL);
}

static int CallSprite(SDL_Surface* s) {
  Yandorix_CSprite sprite, slave;
  int result = sprite.Create(s, (char*)"hero", 32, 32) + sprite.Create((char*)"hero.png", (char*)"hero", 32, 32);
  result += slave.Clone(&sprite);
  result += sprite.Load(1, (char*)"hero", (char*)"hero") + sprite.Load((char*)"data.dpf", (char*)"hero", (char*)"x");
  result += sprite.Save(1, (char*)"SPR2") + sprite.Save((char*)"data.dpf", (char*)"SPR2");
  result += sprite.SelectAnim(0x8000);
  result += sprite.SetAnimProperties(1, 2, 0x8000, 4, 4, 0, 3);
  unsigned short type, statecode, framecount, start, end;
  short hotx, hoty;
  sprite.GetAnimProperties(1, &type, &statecode, &framecount, &hotx, &hoty, &start, &end);
  sprite.SelectFrame(1);
  result += sprite.GetFrame() + sprite.GetAnim();
  result += sprite.SetFrameProperties(1, 0, 100);
  unsigned int ms = 0;
  sprite.GetFrameProperties(1, 1, &ms);
  sprite.SetAnimFactor(2.0f);
  sprite.Pause();
  sprite.Resume();
  result += sprite.IsFinished();
  sprite.SetPosition(10, 20, 1);
  short x = sprite.GetPosX(), y = sprite.GetPosY();
  int w = 0, h = 0;
  sprite.GetOffset(&w, &h);
  result += sprite.Draw(NULL) + sprite.Draw(s);
  sprite.AutoRestore(0);
  sprite.SetEffect(4, 0, 90.0, 1.0);
  sprite.SetAlpha(128);
  sprite.SetColorKey(-1);
  sprite.SetColorKey(255, 0, 255);
  result += sprite.GetAlpha() + sprite.GetColorKey();
  SDL_Surface* sheet = sprite.GetSurface();
  sprite.SetName((char*)"villain");
  char* name = sprite.GetName();
  sprite.SetCollisionMethod(-1);
  result += sprite.GetCollisionMethod();
  sprite.Info();
  SDL_Rect other = {0, 0, 8, 8};
  result += sprite.Collision(s, &other, -1, -1, 0) + sprite.Collision(&slave, -1, -1, 5, 5, 1);
  slave.Clean();
  sprite.Clean();
  return result + type + statecode + framecount + start + end + hotx + hoty + (int)ms + x + y + w + h +
         (sheet != NULL) + (name != NULL);
}

void CallGraphicsInterface() {
  SDL_Surface* surface = SDL_CreateRGBSurface(0, 64, 64, 32, 0, 0, 0, 0);
  int result = CallPrimitivesAndEffects(surface) + CallTile(surface) + CallFont(surface) + CallSprite(surface);
  ILogSystem.Msg(0, "%d\n", result);
  SDL_FreeSurface(surface);
}

TEST(Interface, Graphics) { SUCCEED(); }
