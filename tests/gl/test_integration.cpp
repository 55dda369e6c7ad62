// One scene drawn by the library's classes under renderer 64 and under the software renderer (X11)
// in the same virtual display: keyed tiles plain and transformed, a font string, sprites with and
// without an effect, and a rotated effect. The two pictures match within a small tolerance.
#include "GLTest.h"
#include "../fonts/FontTest.h"

namespace {

// A 128 x 32 tileset of four 32 x 32 tiles: an arrow-like figure over magenta (the key), so flips
// and mirrors show.
SDL_Surface* Tileset() {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 128, 32, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(s, NULL, SDL_MapRGB(s->format, 255, 0, 255));
  for (int t = 0; t < 4; ++t) {
    SDL_Rect shaft = {(Sint16)(t * 32 + 4), 14, 20, 4}, head = {(Sint16)(t * 32 + 22), 8, 6, 16};
    SDL_Rect corner = {(Sint16)(t * 32), 0, 5, 5};
    SDL_FillRect(s, &shaft, SDL_MapRGB(s->format, (Uint8)(60 * t + 40), 200, 30));
    SDL_FillRect(s, &head, SDL_MapRGB(s->format, 220, (Uint8)(50 * t), 90));
    SDL_FillRect(s, &corner, SDL_MapRGB(s->format, 10, 10, 250));
  }
  return s;
}

// Two 32 x 32 frames side by side, each with its own colour and a keyed border.
SDL_Surface* SpriteSheet() {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 32, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(s, NULL, SDL_MapRGB(s->format, 255, 0, 255));
  SDL_Rect first = {4, 4, 24, 20}, second = {36, 8, 20, 20};
  SDL_FillRect(s, &first, SDL_MapRGB(s->format, 30, 140, 240));
  SDL_FillRect(s, &second, SDL_MapRGB(s->format, 240, 240, 20));
  return s;
}

// Draws the scene on the current screen and returns it as RGB values.
std::vector<Uint32> DrawScene() {
  SDL_Surface* screen = Yandorix.screen;
  SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 40, 40, 60));
  std::vector<Uint32> picture;
  {
    SDL_Surface* image = Tileset();
    Yandorix_CTile tiles;
    EXPECT_EQ(tiles.Create(image, "scene"), 1);
    SDL_FreeSurface(image);
    tiles.SetTileSet(1, 32, 32);
    tiles.SetColorKey(255, 0, 255);
    const Uint32 kFlip = 0x40000000u, kMirror = 0x80000000u, kTurn90 = 0xA0000000u, kTurn180 = 0xC0000000u,
                 kTurn270 = 0x60000000u;
    const Uint32 ids[] = {1, 2, 1 | kMirror, 2 | kFlip, 3 | kTurn90, 4 | kTurn180, 1 | kTurn270};
    for (int i = 0; i < 7; ++i) {
      tiles.SetPosition(8 + i * 40, 8);
      tiles.Draw(screen, (int)ids[i]);
    }
    // Transformed tiles across the screen's bottom and right edges.
    tiles.SetPosition(250, 184);
    tiles.Draw(screen, (int)(2 | kFlip));
    tiles.SetPosition(300, 120);
    tiles.Draw(screen, (int)(3 | kMirror));
    // The rotated effect: a quarter turn of the whole tileset's first tile onto the screen.
    SDL_Rect first = {0, 0, 32, 32}, at = {20, 140, 32, 32};
    IScreenFX->Rotate(tiles.GetSurface(), &first, 0, 90.0, screen, &at);

    FontLayout layout;
    SurfacePtr fontImage = FontImage(&layout);
    Yandorix_CFont font;
    EXPECT_EQ(font.Create(fontImage.get()), 96);
    font.PutString(screen, 10, 60, "Hello,GL!{}~", NULL);
    font.PutString(screen, 10, 75, "0123456789", NULL);

    SDL_Surface* sheet = SpriteSheet();
    SDL_SetColorKey(sheet, SDL_SRCCOLORKEY, SDL_MapRGB(sheet->format, 255, 0, 255));
    Yandorix_CSprite sprite;
    EXPECT_GE(sprite.Create(sheet, "scene", 32, 32), 1);
    SDL_FreeSurface(sheet);
    sprite.SetPosition(200, 120, 0);
    sprite.Draw(screen);
    Yandorix_CSprite turned;   // a sprite with its own quarter-turn effect
    EXPECT_EQ(turned.Clone(&sprite), 1);
    turned.SetEffect(4, 0, 90.0, 0.0);
    turned.SetPosition(250, 60, 0);
    turned.Draw(screen);
    picture = gltest::ScreenRGB();
  }
  return picture;
}

}  // namespace

TEST_F(GLTest, TilesTextSpriteAndRotationMatchTheSoftwareRenderer) {
  ydxtest::ManualClock::Install(1000);
  ASSERT_EQ(OpenScreen(64, 320, 200), 1) << ydxtest::LogText();
  std::vector<Uint32> gl = DrawScene();
  ASSERT_EQ(OpenScreen(8, 320, 200), 1);
  ASSERT_EQ(Yandorix.IsGL(), 0);
  std::vector<Uint32> software = DrawScene();
  ASSERT_EQ(gl.size(), software.size());
  ASSERT_FALSE(gl.empty());
  int background = 0;
  for (Uint32 rgb : software) background += rgb == 0x28283Cu;
  EXPECT_LT(background, (int)software.size() - 1500) << "the scene drew little";
  // Exact for blits, a few pixels of the rotation's sampling may differ.
  int differ = gltest::CountDifferences(gl, software, 2);
  EXPECT_LE(differ, 40) << differ << " pixels differ";
  for (int y = 0; y < 200 && differ > 40; ++y)
    for (int x = 0; x < 320; ++x)
      if (gltest::CountDifferences({gl[(size_t)y * 320 + x]}, {software[(size_t)y * 320 + x]}, 2)) {
        ADD_FAILURE() << "first difference at " << x << "," << y << ": " << std::hex << gl[(size_t)y * 320 + x]
                      << " against " << software[(size_t)y * 320 + x];
        y = 200;
        break;
      }
}
