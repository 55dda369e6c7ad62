// Compile-time check of the image interface as an application writes against it: every operation of the
// image service and every field of the image description, with their own argument and result types.
// Never run; building and linking is the test.
#include <gtest/gtest.h>
#include <Yandorix.h>

void CallImageInterface() {
  sHeaderIPF header;
  SDL_Surface* image = IImage->Load(1, (char*)"hero", &header);
  SDL_Surface* other = IImage->Load((char*)"data.dpf", (char*)"hero", NULL);
  Sint32 width = header.width;
  Sint32 height = header.height;
  Uint8 bpp = header.bpp;
  Sint32 alpha = header.alpha;
  Sint32 colorkey = header.colorkey;
  char* name = header.name;
  int result = IImage->Save(1, (char*)"hero", image) + IImage->Save((char*)"data.dpf", (char*)"hero", image);
  result += IImage->isBMP((char*)"hero.bmp");
  SDL_Surface* bmp = IImage->LoadBMP((char*)"hero.bmp");
  result += IImage->SaveBMP((char*)"copy.bmp", bmp);
  result += IImage->isPNG((char*)"hero.png");
  SDL_Surface* png = IImage->LoadPNG((char*)"hero.png");
  char bytes[64] = {0};
  SDL_Surface* fromMemory = IImage->LoadPNG((void*)bytes, (int)sizeof bytes);
  result += IImage->SavePNG((char*)"copy.png", png, 9);
  SDL_Surface* any = IImage->LoadIMG((char*)"hero.png");
  ILogSystem.Msg(0, "%d %d %d %d %d %d %s %p %p %p\n", result, width, height, bpp, alpha, colorkey, name,
                 (void*)other, (void*)fromMemory, (void*)any);
}

TEST(Interface, Images) { SUCCEED(); }
