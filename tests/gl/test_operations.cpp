// What the library's classes call on the OpenGL back end: the texture test and upload, pixel reads
// in the surface's own format and collisions on textures, the screen grab and image saving, lines and
// points, and the two fades on the clock seam.
#include "GLTest.h"

using gltest::RGBAt;

TEST_F(GLTest, OnlyHardwareSurfacesBecomeTextures) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* software = Keep(gltest::PatternSurface(20, 20));
  EXPECT_EQ(glSDL_SurfaceToTexture(software), 0);
  EXPECT_EQ(glSDL_IsTexture(software), 0);
  EXPECT_EQ(Yandorix.Surface2Texture(software), 1);   // under OpenGL: 1 whatever the outcome
  EXPECT_EQ(Yandorix.Surface2Texture(NULL), 1);
  SDL_Surface* tex = Keep(SDL_DisplayFormat(software));
  SDL_Rect clip = {2, 3, 10, 11};
  SDL_SetClipRect(tex, &clip);
  EXPECT_EQ(glSDL_SurfaceToTexture(tex), 1);
  EXPECT_EQ(glSDL_IsTexture(tex), 1);
  EXPECT_EQ(tex->clip_rect.x, 2);   // the application's clip rectangle stays
  EXPECT_EQ(tex->clip_rect.h, 11);
  // Another driver's data in hwdata is never taken for texture information.
  int foreign = 12345;
  SDL_Surface* fake = Keep(gltest::PatternSurface(4, 4));
  fake->hwdata = reinterpret_cast<struct private_hwdata*>(&foreign);
  EXPECT_EQ(glSDL_IsTexture(fake), 0);
  fake->hwdata = NULL;
}

TEST_F(GLTest, PixelReadsGiveValuesOfTheSurfacesFormatAndCollisionsWork) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 12, 34, 56));
  EXPECT_EQ(IPrimitives->GetPixel(screen, 0, 0, 1), SDL_MapRGB(screen->format, 12, 34, 56));
  SDL_Rect spot = {319, 199, 1, 1};
  SDL_FillRect(screen, &spot, SDL_MapRGB(screen->format, 200, 100, 50));
  EXPECT_EQ(IPrimitives->GetPixel(screen, 319, 199, 1), SDL_MapRGB(screen->format, 200, 100, 50));

  // Two 64 x 64 sprites: keyed magenta background, a solid 8 x 8 block at their centres.
  SDL_Surface* image = Keep(SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 64, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_FillRect(image, NULL, SDL_MapRGB(image->format, 255, 0, 255));
  SDL_Rect block = {28, 28, 8, 8};
  SDL_FillRect(image, &block, SDL_MapRGB(image->format, 90, 180, 45));
  SDL_Surface* a = Keep(SDL_DisplayFormat(image));
  SDL_Surface* b = Keep(SDL_DisplayFormat(image));
  SDL_SetColorKey(a, SDL_SRCCOLORKEY, SDL_MapRGB(a->format, 255, 0, 255));
  SDL_SetColorKey(b, SDL_SRCCOLORKEY, SDL_MapRGB(b->format, 255, 0, 255));
  ASSERT_EQ(glSDL_SurfaceToTexture(a), 1);
  ASSERT_EQ(glSDL_SurfaceToTexture(b), 1);
  EXPECT_EQ(IPrimitives->GetPixel(a, 30, 30, 0), SDL_MapRGBA(a->format, 90, 180, 45, 255));
  EXPECT_EQ(IPrimitives->GetPixel(a, 0, 0, 0), 0u);   // keyed: transparent black
  SDL_Rect placeA = {0, 0, 64, 64}, touching = {7, 7, 64, 64}, apart = {40, 0, 64, 64};
  EXPECT_EQ(IPrimitives->PixelCollision(a, &placeA, b, &touching, 0, NULL, NULL), 1);
  EXPECT_EQ(IPrimitives->PixelCollision(a, &placeA, b, &apart, 0, NULL, NULL), 0);
  // The read-back of a texture follows its uploads.
  SDL_FillRect(a, &block, SDL_MapRGB(a->format, 1, 2, 3));
  SDL_Rect at = {0, 0, 0, 0};
  SDL_BlitSurface(a, NULL, screen, &at);
  EXPECT_EQ(IPrimitives->GetPixel(a, 30, 30, 0), SDL_MapRGBA(a->format, 1, 2, 3, 255));
}

TEST_F(GLTest, TheScreenGrabIsUprightAndSavedImagesShowTheScreen) {
  ASSERT_EQ(OpenScreen(64, 640, 400), 1);
  SDL_Surface* screen = Yandorix.screen;
  SDL_Rect top = {0, 0, 640, 1}, bottom = {0, 399, 640, 1};
  SDL_FillRect(screen, &top, SDL_MapRGB(screen->format, 255, 0, 0));
  SDL_FillRect(screen, &bottom, SDL_MapRGB(screen->format, 0, 0, 255));
  SDL_Surface* grab = Keep(glSDL_GrabScreen());
  ASSERT_NE(grab, nullptr);
  EXPECT_EQ(grab->w, 640);
  EXPECT_EQ(grab->h, 400);
  EXPECT_EQ(grab->format->BitsPerPixel, 32);
  EXPECT_EQ(grab->format->Amask, 0xFF000000u);
  EXPECT_EQ(RGBAt(grab, 5, 0), 0xFF0000u);
  EXPECT_EQ(RGBAt(grab, 5, 399), 0x0000FFu);
  EXPECT_EQ(RGBAt(grab, 5, 1), 0u);
  ASSERT_EQ(IImage->SaveBMP("screen.bmp", screen), 1);
  SDL_Surface* saved = Keep(SDL_LoadBMP("screen.bmp"));
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(RGBAt(saved, 0, 0), 0xFF0000u);
  EXPECT_EQ(RGBAt(saved, 639, 399), 0x0000FFu);
}

TEST_F(GLTest, LinesAndPointsLandOnTheirPixels) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  Uint32 white = SDL_MapRGB(screen->format, 255, 255, 255);
  IPrimitives->LineColor(screen, 10, 20, 30, 20, white);
  IPrimitives->LineColor(screen, 50, 5, 50, 15, white);
  IPrimitives->PutPixelColor(screen, 100, 100, white, 1);
  for (int x = 10; x <= 30; ++x) EXPECT_EQ(RGBAt(screen, x, 20), 0xFFFFFFu) << x;
  EXPECT_EQ(RGBAt(screen, 9, 20), 0u);
  EXPECT_EQ(RGBAt(screen, 31, 20), 0u);
  EXPECT_EQ(RGBAt(screen, 10, 21), 0u);
  for (int y = 5; y <= 15; ++y) EXPECT_EQ(RGBAt(screen, 50, y), 0xFFFFFFu) << y;
  EXPECT_EQ(RGBAt(screen, 100, 100), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(screen, 101, 100), 0u);
  glSDL_PushState();
  glSDL_SetStateColor(128, 255, 0);
  IPrimitives->PutPixelColor(screen, 5, 5, white, 1);
  glSDL_PopState();
  EXPECT_EQ(RGBAt(screen, 5, 5), 0x80FF00u);
}

TEST_F(GLTest, FadesRunOnTheClockSeamAndGiveTheImageItsAlphaBack) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 0, 0, 0));
  gltest::SteppingClock::Install(5000);
  Uint32 start = ydxtest::ManualClock::now;
  ASSERT_EQ(IScreenFX->FadeToColor(200, 100, 0, 1000, NULL), 1);
  Uint32 took = ydxtest::ManualClock::now - start;
  EXPECT_GE(took, 900u);
  EXPECT_LE(took, 1400u);
  Uint32 end = RGBAt(screen, 160, 100);   // the last frame stays just short of the colour
  EXPECT_NEAR((int)(end >> 16), 200, 12);
  EXPECT_NEAR((int)((end >> 8) & 0xFF), 100, 6);

  SDL_Rect area = {300, 180, 100, 100};   // partly off the screen
  EXPECT_EQ(glSDL_FadeToColor(0, 255, 0, 50, &area), 1);
  EXPECT_NEAR((int)((RGBAt(screen, 310, 190) >> 8) & 0xFF), 255, 16);
  EXPECT_NEAR((int)(RGBAt(screen, 10, 10) >> 16), 200, 12);
  SDL_Rect empty = {10, 10, 0, 5};
  EXPECT_EQ(glSDL_FadeToColor(1, 2, 3, 10, &empty), 0);

  // The image fades in at the screen's top-left corner and keeps its own alpha afterwards.
  SDL_Surface* image = Keep(SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 50, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_FillRect(image, NULL, SDL_MapRGB(image->format, 0, 0, 250));
  SDL_SetAlpha(image, SDL_SRCALPHA, 77);
  SDL_Rect part = {0, 0, 100, 50};
  ASSERT_EQ(IScreenFX->FadeToImage(image, 300, NULL, &part), 1);
  EXPECT_TRUE(image->flags & SDL_SRCALPHA);
  EXPECT_EQ(image->format->alpha, 77);
  EXPECT_GE((int)(RGBAt(screen, 99, 49) & 0xFF), 230);
  EXPECT_LT((int)(RGBAt(screen, 100, 49) & 0xFF), 10);
  SDL_SetAlpha(image, 0, 255);
  ASSERT_EQ(IScreenFX->FadeToImage(image, 10, NULL, NULL), 1);
  EXPECT_FALSE(image->flags & SDL_SRCALPHA);
  EXPECT_EQ(glSDL_FadeToImage(NULL, 10, NULL, NULL), 0);
}
