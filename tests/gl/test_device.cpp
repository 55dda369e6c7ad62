// Renderer 64 on SDL's X11 driver in a virtual display: the mode set and its detection, the refusal
// path that leaves the software renderer usable, fills, blits, locking, colour keys, hardware surface
// allocation, quitting and starting again, and bad sizes and rectangles.
#include "GLTest.h"
#include <cstring>

using gltest::RGBAt;

namespace {

// A display-format copy of a pattern, kept as a texture.
SDL_Surface* TextureOf(SDL_Surface* source) {
  SDL_Surface* s = SDL_DisplayFormat(source);
  if (s) Yandorix.Surface2Texture(s);
  return s;
}

std::string DriverName() {
  char name[32] = "";
  return SDL_VideoDriverName(name, sizeof name) ? name : "";
}

}  // namespace

TEST_F(GLTest, ModeSetAttachesToX11AndDetectionReports64) {
  glSDL_SetStateFilter(1);   // video runs, no mode yet: the device takes the filter
  EXPECT_EQ(glSDL_GetState()->filter, 1);
  ASSERT_EQ(OpenScreen(64, 320, 200), 1) << ydxtest::LogText();
  SDL_Surface* screen = Yandorix.screen;
  EXPECT_EQ(Yandorix.IsGL(), 1);
  EXPECT_EQ(DriverName(), "glSDL");
  EXPECT_EQ(screen, SDL_GetVideoSurface());
  EXPECT_EQ(screen->w, 320);
  EXPECT_TRUE(screen->flags & SDL_HWSURFACE);
  EXPECT_FALSE(screen->flags & SDL_OPENGL);   // SDL would refuse to update it
  EXPECT_EQ(Yandorix.IsTexture(screen), 1);
  EXPECT_EQ(Yandorix.IsTexture(NULL), 0);
  EXPECT_EQ(screen->clip_rect.w, 320);
  EXPECT_TRUE(LogHas(" . [Yandorix.SetVideoMode()] Info: setting 'glSDL' backend for Win32\n"));
  const glSDL_RenderState* st = glSDL_GetState();
  EXPECT_EQ(st->alpha, 255);
  EXPECT_EQ(st->filter, 0);   // the first mode set starts from the reset state
  EXPECT_EQ(st->scalex, 1.0f);
  EXPECT_EQ(st->rotation, 0.0f);
  // The screen starts black.
  EXPECT_EQ(RGBAt(screen, 5, 5), 0u);
  Yandorix.VideoInfo();
  EXPECT_TRUE(LogHas("   . Renderer: glSDL\n"));
  EXPECT_TRUE(LogHas("     -> Hardware normal blits: yes\n"));

  // Renderer 1 finds the running back end: no restart, the same device, a new mode.
  Yandorix.renderer = 1;
  Yandorix.resolutionx = 200;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  EXPECT_EQ(Yandorix.renderer, 64);
  EXPECT_EQ(Yandorix.IsGL(), 1);
  EXPECT_EQ(Yandorix.screen->w, 200);
  SDL_FillRect(Yandorix.screen, NULL, SDL_MapRGB(Yandorix.screen->format, 1, 2, 3));
  EXPECT_EQ(RGBAt(Yandorix.screen, 199, 199), 0x010203u);
  // The checks refuse what is not the back end's: another surface as the screen, a second attach.
  char why[128] = "";
  SDL_Surface* other = Keep(gltest::PatternSurface(8, 8));
  EXPECT_FALSE(glSDL_ConfirmScreen(other, why, sizeof why));
  EXPECT_STREQ(why, "SDL does not hold the backend's screen");
  EXPECT_FALSE(glSDL_Attach("again", why, sizeof why));
  EXPECT_TRUE(glSDL_ConfirmScreen(Yandorix.screen, why, sizeof why));
  // Gamma and full-screen switching are not offered.
  EXPECT_EQ(SDL_WM_ToggleFullScreen(Yandorix.screen), 0);
}

TEST_F(GLTest, ADriverNamedGlSDLAtStartRunsTheBackEnd) {
  Yandorix.Quit();
  setenv("SDL_VIDEODRIVER", "glSDL", 1);
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  EXPECT_EQ(DriverName(), "glSDL");
  ASSERT_EQ(OpenScreen(1, 160, 100), 1) << ydxtest::LogText();
  EXPECT_EQ(Yandorix.renderer, 64);
  EXPECT_EQ(Yandorix.IsGL(), 1);
  EXPECT_EQ(Yandorix.IsTexture(Yandorix.screen), 1);
  EXPECT_STREQ(getenv("SDL_VIDEODRIVER"), "glSDL");   // the setting stays as the application made it
}

TEST_F(GLTest, AFailedCheckRefusesTheModeAndLeavesTheSoftwareRendererUsable) {
  ASSERT_EQ(OpenScreen(8, 160, 120), 1);   // X11 in software first
  SDL_version wrong = {1, 2, 14};
  glSDL_InjectLinkedVersion(&wrong);
  EXPECT_EQ(OpenScreen(64, 320, 200), 0);
  EXPECT_TRUE(LogHas(" . [Yandorix.SetVideoMode()] Error: the 'glSDL' OpenGL backend cannot run: SDL 1.2.14 is "
                     "linked, the backend knows 1.2.15 only.\n"))
      << ydxtest::LogText();
  EXPECT_EQ(Yandorix.IsGL(), 0);
  EXPECT_EQ(DriverName(), "x11");
  ASSERT_NE(Yandorix.screen, nullptr);   // the previous mode came back
  EXPECT_EQ(Yandorix.screen->w, 160);
  glSDL_InjectLinkedVersion(NULL);
  ASSERT_EQ(OpenScreen(1, 160, 120), 1);
  EXPECT_EQ(Yandorix.renderer, 8);
  EXPECT_EQ(Yandorix.IsTexture(Yandorix.screen), 0);
  SDL_FillRect(Yandorix.screen, NULL, SDL_MapRGB(Yandorix.screen->format, 40, 50, 60));
  EXPECT_EQ(RGBAt(Yandorix.screen, 10, 10), 0x28323Cu);
  // And the OpenGL back end still starts afterwards.
  ASSERT_EQ(OpenScreen(64, 320, 200), 1);
  EXPECT_EQ(DriverName(), "glSDL");
}

TEST_F(GLTest, FillsFollowTheColourModulationAndBlitsReadBackExactly) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  glSDL_PushState();
  glSDL_SetStateColor(128, 128, 255);
  SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 255, 255, 255));
  glSDL_PopState();
  EXPECT_EQ(RGBAt(screen, 0, 0), 0x8080FFu);
  EXPECT_EQ(RGBAt(screen, 319, 199), 0x8080FFu);

  SDL_Surface* pattern = Keep(gltest::PatternSurface(300, 100));
  SDL_Surface* texture = Keep(TextureOf(pattern));
  ASSERT_EQ(glSDL_IsTexture(texture), 1);
  SDL_Rect at = {7, 50, 0, 0};
  ASSERT_EQ(SDL_BlitSurface(texture, NULL, screen, &at), 0);
  std::vector<Uint32> shown = gltest::ScreenRGB();
  int wrong = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 300; ++x)
      wrong += shown[(size_t)(50 + y) * 320 + 7 + x] !=
               (static_cast<Uint32*>(pattern->pixels)[y * pattern->pitch / 4 + x] & 0xFFFFFF);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(at.w, 300);

  // A surface in another format (per-pixel alpha) reaches the screen through the back end as well.
  SDL_Surface* alpha = Keep(gltest::PatternSurface(16, 16, true));
  SDL_FillRect(alpha, NULL, SDL_MapRGBA(alpha->format, 255, 0, 0, 128));
  SDL_Surface* alphaTexture = Keep(SDL_DisplayFormatAlpha(alpha));
  SDL_Rect black = {0, 0, 16, 16};
  SDL_FillRect(screen, &black, 0);
  Yandorix.Blit(alphaTexture, NULL, screen, &black);
  Uint32 half = RGBAt(screen, 3, 3);
  EXPECT_NEAR((int)(half >> 16), 128, 2);
  EXPECT_EQ(half & 0xFFFF, 0u);

  // Per-surface alpha 128 under state alpha 128 draws with a quarter.
  SDL_FillRect(screen, &black, 0);
  SDL_Surface* white = Keep(SDL_DisplayFormat(pattern));
  SDL_FillRect(white, NULL, SDL_MapRGB(white->format, 255, 255, 255));
  SDL_SetAlpha(white, SDL_SRCALPHA, 128);
  glSDL_PushState();
  glSDL_SetStateAlpha(128);
  SDL_Rect part = {0, 0, 16, 16}, origin = {0, 0, 0, 0};
  SDL_BlitSurface(white, &part, screen, &origin);
  glSDL_PopState();
  EXPECT_NEAR((int)(RGBAt(screen, 2, 2) & 0xFF), 64, 2);
}

TEST_F(GLTest, LockWriteUnlockKeepsEarlierDrawingAndScreenCopiesMove) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  SDL_Rect red = {10, 10, 20, 20};
  SDL_FillRect(screen, &red, SDL_MapRGB(screen->format, 255, 0, 0));
  ASSERT_EQ(SDL_LockSurface(screen), 0);
  Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + 100 * screen->pitch);
  EXPECT_EQ(reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + 15 * screen->pitch)[15] & 0xFFFFFF,
            SDL_MapRGB(screen->format, 255, 0, 0));
  row[100] = SDL_MapRGB(screen->format, 0, 255, 0);
  SDL_UnlockSurface(screen);
  EXPECT_EQ(RGBAt(screen, 100, 100), 0x00FF00u);
  EXPECT_EQ(RGBAt(screen, 12, 29), 0xFF0000u);
  EXPECT_EQ(RGBAt(screen, 31, 31), 0u);
  // The screen onto itself: the area is read back and drawn at the destination.
  SDL_Rect from = {10, 10, 20, 20}, to = {200, 150, 0, 0};
  ASSERT_EQ(SDL_BlitSurface(screen, &from, screen, &to), 0);
  EXPECT_EQ(RGBAt(screen, 200, 150), 0xFF0000u);
  EXPECT_EQ(RGBAt(screen, 219, 169), 0xFF0000u);
  EXPECT_EQ(RGBAt(screen, 220, 170), 0u);
  // The screen into a software surface: an upright copy.
  SDL_Surface* copy = Keep(SDL_CreateRGBSurface(SDL_SWSURFACE, 40, 40, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_Rect corner = {0, 0, 40, 40};
  ASSERT_EQ(SDL_BlitSurface(screen, &corner, copy, NULL), 0);
  EXPECT_EQ(RGBAt(copy, 10, 10), 0xFF0000u);
  EXPECT_EQ(RGBAt(copy, 9, 10), 0u);
  EXPECT_EQ(RGBAt(copy, 10, 30), 0u);
  // A part of the screen across its corner into a smaller surface, at an offset.
  SDL_Rect dot = {310, 195, 1, 1};
  SDL_FillRect(screen, &dot, SDL_MapRGB(screen->format, 0, 200, 200));
  SDL_Surface* small = Keep(SDL_CreateRGBSurface(SDL_SWSURFACE, 16, 16, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  SDL_Rect across = {300, 190, 40, 40}, inside = {2, 2, 0, 0};
  ASSERT_EQ(SDL_BlitSurface(screen, &across, small, &inside), 0);
  EXPECT_EQ(RGBAt(small, 12, 7), 0x00C8C8u);
  EXPECT_EQ(RGBAt(small, 11, 7), 0u);
  // A single-buffered flip only waits for OpenGL; the picture stays.
  EXPECT_EQ(SDL_Flip(screen), 0);
  EXPECT_EQ(RGBAt(screen, 100, 100), 0x00FF00u);
}

TEST_F(GLTest, DoubleBufferedScreensSwap) {
  ASSERT_EQ(OpenScreen(64, 320, 200, 2), 1);
  EXPECT_TRUE(Yandorix.screen->flags & SDL_DOUBLEBUF);
  SDL_FillRect(Yandorix.screen, NULL, SDL_MapRGB(Yandorix.screen->format, 9, 8, 7));
  EXPECT_EQ(RGBAt(Yandorix.screen, 1, 1), 0x090807u);
  EXPECT_EQ(SDL_Flip(Yandorix.screen), 0);
}

TEST_F(GLTest, ColourKeysAndOffscreenChangesReachTheTexture) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  SDL_Surface* source = Keep(gltest::PatternSurface(32, 32));
  SDL_Surface* tex = Keep(TextureOf(source));
  Uint32 magenta = SDL_MapRGB(tex->format, 255, 0, 255), green = SDL_MapRGB(tex->format, 0, 255, 0);
  SDL_Rect left = {0, 0, 16, 32}, right = {16, 0, 16, 32};
  SDL_FillRect(tex, &left, magenta);   // a fill of a texture surface changes its pixels in software
  SDL_FillRect(tex, &right, green);
  SDL_SetColorKey(tex, SDL_SRCCOLORKEY, magenta);
  SDL_Rect blue = {0, 0, 100, 100};
  SDL_FillRect(screen, &blue, SDL_MapRGB(screen->format, 0, 0, 255));
  SDL_Rect at = {10, 10, 0, 0};
  Yandorix.Blit(tex, NULL, screen, &at);
  EXPECT_EQ(RGBAt(screen, 12, 12), 0x0000FFu);   // keyed: transparent
  EXPECT_EQ(RGBAt(screen, 30, 12), 0x00FF00u);
  // A key changed while SDL no longer tells the back end (a blit elsewhere dropped the acceleration).
  SDL_Surface* other = Keep(SDL_CreateRGBSurface(SDL_SWSURFACE, 32, 32, 32, 0xFF, 0xFF00, 0xFF0000, 0));
  SDL_BlitSurface(tex, NULL, other, NULL);
  ASSERT_FALSE(tex->flags & SDL_HWACCEL);
  SDL_SetColorKey(tex, SDL_SRCCOLORKEY, green);
  SDL_FillRect(screen, &blue, SDL_MapRGB(screen->format, 0, 0, 255));
  at = SDL_Rect{10, 10, 0, 0};
  Yandorix.Blit(tex, NULL, screen, &at);
  EXPECT_EQ(RGBAt(screen, 12, 12), 0xFF00FFu);
  EXPECT_EQ(RGBAt(screen, 30, 12), 0x0000FFu);
  // Locking an off-screen texture surface and writing uploads the change.
  ASSERT_EQ(SDL_LockSurface(tex), 0);
  static_cast<Uint32*>(tex->pixels)[0] = SDL_MapRGB(tex->format, 10, 20, 30);
  SDL_UnlockSurface(tex);
  at = SDL_Rect{10, 10, 0, 0};
  Yandorix.Blit(tex, NULL, screen, &at);
  EXPECT_EQ(RGBAt(screen, 10, 10), 0x0A141Eu);
}

static void* NoMemory(size_t, size_t) { return NULL; }

TEST_F(GLTest, AFailedHardwareAllocationLeavesTheSurfaceToSDL) {
  ASSERT_EQ(OpenScreen(), 1);
  glSDL_InjectPixelAllocator(NoMemory);
  SDL_Surface* s = Keep(SDL_CreateRGBSurface(SDL_HWSURFACE | SDL_SRCCOLORKEY, 40, 30, 32, 0, 0, 0, 0));
  glSDL_InjectPixelAllocator(NULL);
  ASSERT_NE(s, nullptr);
  EXPECT_NE(s->pixels, nullptr);   // SDL's own pixels
  EXPECT_FALSE(s->flags & SDL_HWSURFACE);
  SDL_FillRect(s, NULL, SDL_MapRGB(s->format, 1, 2, 3));
  SDL_Rect at = {0, 0, 0, 0};
  EXPECT_EQ(SDL_BlitSurface(s, NULL, Yandorix.screen, &at), 0);
  EXPECT_EQ(RGBAt(Yandorix.screen, 39, 29), 0x010203u);
}

TEST_F(GLTest, QuitAndASecondStartWork) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* pattern = gltest::PatternSurface(64, 64);
  SDL_Surface* tex = TextureOf(pattern);
  ASSERT_EQ(glSDL_IsTexture(tex), 1);
  ASSERT_EQ(OpenScreen(64, 300, 180), 1);   // renderer 64 again: video restarts under the back end
  EXPECT_EQ(glSDL_IsTexture(tex), 0);        // textures went with the old context
  SDL_Rect at = {5, 5, 0, 0};
  EXPECT_EQ(SDL_BlitSurface(tex, NULL, Yandorix.screen, &at), 0);
  EXPECT_EQ(RGBAt(Yandorix.screen, 5, 5), static_cast<Uint32*>(pattern->pixels)[0] & 0xFFFFFF);
  Yandorix.Quit();
  EXPECT_EQ(Yandorix.IsGL(), 0);             // the back end went with SDL
  SDL_FreeSurface(tex);                      // surfaces may outlive the back end
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  ASSERT_EQ(OpenScreen(64, 320, 200), 1) << ydxtest::LogText();
  EXPECT_EQ(DriverName(), "glSDL");
  tex = Keep(TextureOf(pattern));
  EXPECT_EQ(SDL_BlitSurface(tex, NULL, Yandorix.screen, &at), 0);
  EXPECT_EQ(RGBAt(Yandorix.screen, 6, 5), static_cast<Uint32*>(pattern->pixels)[1] & 0xFFFFFF);
  SDL_FreeSurface(pattern);
}

TEST_F(GLTest, BadSizesAndRectanglesAreRefusedCleanly) {
  ASSERT_EQ(OpenScreen(), 1);
  SDL_Surface* screen = Yandorix.screen;
  SDL_Surface* flat = Keep(SDL_CreateRGBSurface(SDL_HWSURFACE, 0, 10, 32, 0, 0, 0, 0));
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(glSDL_SurfaceToTexture(flat), 0);
  EXPECT_EQ(glSDL_IsTexture(flat), 0);
  EXPECT_EQ(glSDL_BlitToScreen(flat, NULL, NULL), 0);
  EXPECT_EQ(SDL_BlitSurface(flat, NULL, screen, NULL), 0);
  // Thin and odd sizes upload and draw.
  SDL_Surface* tall = Keep(SDL_CreateRGBSurface(SDL_HWSURFACE, 1, 65535, 32, 0, 0, 0, 0));
  if (tall) {
    SDL_FillRect(tall, NULL, SDL_MapRGB(tall->format, 0, 0, 200));
    EXPECT_EQ(glSDL_SurfaceToTexture(tall), 1);
    SDL_Rect at = {300, 0, 0, 0};
    EXPECT_EQ(SDL_BlitSurface(tall, NULL, screen, &at), 0);
    EXPECT_EQ(RGBAt(screen, 300, 199), 0x0000C8u);
  }
  SDL_Surface* odd = Keep(gltest::PatternSurface(257, 3));
  SDL_Rect at = {0, 100, 0, 0};
  EXPECT_EQ(SDL_BlitSurface(odd, NULL, screen, &at), 0);
  EXPECT_EQ(RGBAt(screen, 256, 102), static_cast<Uint32*>(odd->pixels)[2 * odd->pitch / 4 + 256] & 0xFFFFFF);
  // Rectangles far outside, negative, huge.
  SDL_Rect far = {-30000, -30000, 65535, 65535}, dst = {32000, 32000, 0, 0};
  EXPECT_EQ(glSDL_BlitToScreen(odd, &far, &dst), 0);
  SDL_Rect negative = {-100, -100, 50, 50}, place = {10, 10, 0, 0};
  EXPECT_EQ(glSDL_BlitToScreen(odd, &negative, &place), 0);
  EXPECT_EQ(place.w, 0);
  EXPECT_EQ(glSDL_BlitToScreen(NULL, NULL, NULL), -1);
  SDL_Rect huge = {-5, -5, 65535, 65535};
  SDL_FillRect(screen, &huge, 0);
  EXPECT_EQ(RGBAt(screen, 319, 199), 0u);
  // Pixel reads outside a surface leave the value alone.
  Uint32 value = 77;
  glSDL_GetPixel(screen, 320, 0, &value);
  glSDL_GetPixel(screen, -1, 5, &value);
  glSDL_GetPixel(odd, 0, 3, &value);
  glSDL_GetPixel(NULL, 0, 0, &value);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(IPrimitives->GetPixel(screen, 400, 400, 1), 0u);
}
