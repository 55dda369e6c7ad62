// Tile creation and properties: what a tile takes from the application's surface (keys and alpha
// only where switched on), image files with the automatic-conversion switch given back, refusals,
// alpha and colour-key changes, Clean and the live count.
#include "TileTest.h"
#include "01_Main.h"

namespace {

class TileCreateTest : public TileTest {};

}  // namespace

TEST_F(TileCreateTest, KeyAndAlphaCountOnlyWhereTheApplicationSwitchedThemOn) {
  SurfacePtr image = Filled(4, 4, 0);   // black, with SDL's default key word 0 and alpha 255
  SetPixel32(image.get(), 1, 1, 0x00FF0000);
  Yandorix_CTile plain;
  ASSERT_EQ(plain.Create(image.get(), "plain"), 1);
  EXPECT_EQ(plain.GetColorKey(), -1);
  EXPECT_EQ(plain.GetAlpha(), 255);
  SurfacePtr dest = Filled(8, 8);
  plain.Draw(dest.get(), 0);
  EXPECT_EQ(Pixel32(dest.get(), 0, 0), 0u) << "black became transparent without a colour key";

  SDL_SetColorKey(image.get(), SDL_SRCCOLORKEY, 0);
  SDL_SetAlpha(image.get(), SDL_SRCALPHA, 128);
  Yandorix_CTile keyed;
  ASSERT_EQ(keyed.Create(image.get(), "keyed"), 1);
  EXPECT_EQ(keyed.GetColorKey(), 0);
  EXPECT_EQ(keyed.GetAlpha(), 128);
  dest = Filled(8, 8, 0);
  keyed.SetAlpha(255);
  keyed.Draw(dest.get(), 0);
  EXPECT_EQ(Pixel32(dest.get(), 1, 1), 0x00FF0000u);

  SurfacePtr rgba(SDL_CreateRGBSurface(0, 2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
  SDL_SetColorKey(rgba.get(), SDL_SRCCOLORKEY, 5);
  Yandorix_CTile perPixel;
  ASSERT_EQ(perPixel.Create(rgba.get(), "rgba"), 1);
  EXPECT_EQ(perPixel.GetAlpha(), 256);
  EXPECT_EQ(perPixel.GetColorKey(), -1);
  perPixel.SetAlpha(10);
  perPixel.SetColorKey(7);
  EXPECT_EQ(perPixel.GetAlpha(), 256);
  EXPECT_EQ(perPixel.GetColorKey(), -1);
}

TEST_F(TileCreateTest, RefusalsAndTheLiveCount) {
  int live = Yandorix.numtiles;
  {
    Yandorix_CTile tile;
    EXPECT_EQ(Yandorix.numtiles, live + 1);
    SurfacePtr image = Filled(4, 4);
    EXPECT_EQ(tile.Create((SDL_Surface*)NULL, "x"), 0);
    EXPECT_EQ(tile.Create(image.get(), NULL), 0);
    EXPECT_EQ(tile.Create(image.get(), "a name of thirty-two characters!"), 0);
    EXPECT_TRUE(LogHas("Error: tile names hold at most 31 characters.\n"));
    EXPECT_EQ(tile.GetName(), nullptr);
    EXPECT_EQ(tile.GetSurface(), nullptr);
    EXPECT_EQ(tile.GetAlpha(), -1);
    EXPECT_EQ(tile.Draw(image.get(), 0), 0);
    ASSERT_EQ(tile.Create(image.get(), "a name of thirty-one characters"), 1);
    unsigned address = (unsigned)(uintptr_t)image.get();
    EXPECT_EQ(tile.Create(image.get(), "again"), 0);
    char expected[160];
    snprintf(expected, sizeof expected, " . [CTile::Create(0x%x,'again')] Warning: tile already exists. It is not "
             "possible to create another one.\n", address);
    EXPECT_TRUE(LogHas(expected));
    EXPECT_STREQ(tile.GetName(), "a name of thirty-one characters");
    tile.SetName("a name that is too long to be kept by the tile");
    EXPECT_STREQ(tile.GetName(), "a name of thirty-one characters");
    tile.SetName("short");
    EXPECT_STREQ(tile.GetName(), "short");
    tile.Clean();
    EXPECT_EQ(tile.GetSurface(), nullptr);
    EXPECT_EQ(tile.Create(image.get(), "again"), 1);
  }
  EXPECT_EQ(Yandorix.numtiles, live);
}

TEST_F(TileCreateTest, BeforeInitEveryCreationIsRefused) {
  Yandorix.Quit();
  Yandorix_CTile tile;
  SurfacePtr image = Filled(4, 4);
  EXPECT_EQ(tile.Create(image.get(), "t"), 0);
  EXPECT_EQ(tile.Create("file.bmp", "t"), 0);
  EXPECT_EQ(tile.Load(1, "t", "TILE"), 0);
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find(",'t')] Error: Yandorix was not initialized. Aborting the tile creation.\n"), std::string::npos);
  EXPECT_NE(log.find(" . [CTile::Create('file.bmp','t')] Error: Yandorix was not initialized."), std::string::npos);
  EXPECT_NE(log.find(" . [CTile::Load('','t','TILE')] Error: Yandorix was not initialized."), std::string::npos);
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);   // for TearDown
}

TEST_F(TileCreateTest, ImageFilesLoadWithTheConversionSwitchGivenBack) {
  ASSERT_NE(OpenScreen(16), nullptr);
  SurfacePtr image = TilesetImage(2, 1, 4, 4);
  ASSERT_EQ(IImage->SaveBMP("set.bmp", image.get()), 1);
  ASSERT_EQ(IImage->SavePNG("set.png", image.get(), 6), 0);
  for (int setting : {0, 1}) {
    for (const char* file : {"set.bmp", "set.png"}) {
      SCOPED_TRACE(std::string(file) + " switch " + std::to_string(setting));
      Yandorix_AutoConvert = setting;
      Yandorix_CTile tile;
      ASSERT_EQ(tile.Create(file, "set"), 1);
      EXPECT_EQ(Yandorix_AutoConvert, setting);
      EXPECT_EQ(tile.GetSurface()->format->BitsPerPixel, setting ? 16 : 24);
      EXPECT_EQ(tile.GetSizeX(), 8);
    }
  }
  Yandorix_CTile tile;
  EXPECT_EQ(tile.Create("missing.png", "x"), 0);
  EXPECT_TRUE(LogHas(" . [CTile::Create('missing.png','x')] Error: it was not possible to load the given image file.\n"));
}

TEST_F(TileCreateTest, KeyFollowsTheSurfaceThroughScreenConversion) {
  ASSERT_NE(OpenScreen(16), nullptr);
  SurfacePtr image = Filled(4, 4, 0x00FF00FF);
  SetPixel32(image.get(), 0, 0, 0x0000FF00);
  SDL_SetColorKey(image.get(), SDL_SRCCOLORKEY, 0x00FF00FF);
  Yandorix_CTile tile;
  ASSERT_EQ(tile.Create(image.get(), "k"), 1);
  SDL_Surface* s = tile.GetSurface();
  ASSERT_EQ(s->format->BitsPerPixel, 16);
  EXPECT_EQ((Uint32)tile.GetColorKey(), s->format->colorkey);
  EXPECT_EQ((Uint32)tile.GetColorKey(), SDL_MapRGB(s->format, 255, 0, 255));
  SDL_FillRect(Yandorix.screen, NULL, 0);
  tile.Draw(NULL, 0);
  Uint8 r, g, b;
  SDL_LockSurface(Yandorix.screen);
  Uint16 keyed = static_cast<Uint16*>(Yandorix.screen->pixels)[1];
  Uint16 green = static_cast<Uint16*>(Yandorix.screen->pixels)[0];
  SDL_UnlockSurface(Yandorix.screen);
  EXPECT_EQ(keyed, 0);
  SDL_GetRGB(green, Yandorix.screen->format, &r, &g, &b);
  EXPECT_EQ(g, 255);
}

TEST_F(TileCreateTest, AlphaAndKeyChanges) {
  SurfacePtr image = Filled(4, 4, 0x00102030);
  Yandorix_CTile tile;
  tile.SetAlpha(100);   // empty: nothing
  ASSERT_EQ(tile.Create(image.get(), "a"), 1);
  tile.SetAlpha(300);
  tile.SetAlpha(-1);
  EXPECT_EQ(tile.GetAlpha(), 255);
  tile.SetAlpha(128);
  EXPECT_EQ(tile.GetAlpha(), 128);
  EXPECT_TRUE(tile.GetSurface()->flags & SDL_SRCALPHA);
  EXPECT_EQ(tile.GetSurface()->format->alpha, 128);
  tile.SetAlpha(255);
  EXPECT_FALSE(tile.GetSurface()->flags & SDL_SRCALPHA);
  tile.SetColorKey(16, 32, 48);
  EXPECT_EQ(tile.GetColorKey(), 0x00102030);
  EXPECT_TRUE(tile.GetSurface()->flags & SDL_SRCCOLORKEY);
  tile.SetColorKey(-1, 0, 0);
  EXPECT_EQ(tile.GetColorKey(), -1);
  EXPECT_FALSE(tile.GetSurface()->flags & SDL_SRCCOLORKEY);
}

TEST_F(TileCreateTest, InfoDescribesTheTile) {
  Yandorix_CTile tile;
  tile.Info();
  EXPECT_TRUE(LogHas("\n . Tile information: current tile is empty.\n"));
  SurfacePtr image = TilesetImage(2, 2, 16, 16);
  ASSERT_EQ(tile.Create(image.get(), "info"), 1);
  tile.SetPosition(3, 4);
  tile.SetAlpha(90);
  tile.SetColorKey(1, 2, 3);
  tile.SetTileSet(1, 16, 16);
  tile.Info();
  EXPECT_TRUE(LogHas("\n . Tile information of 'info':\n      -> Surface of 4 Kb located at system memory\n"
                     "      -> Tile size: 32x32 - Color depth: 32bits - Position: (3,4)\n"
                     "      -> Alpha blending: per-surface (90) - Colorkey: RGB(1,2,3)\n"
                     "      -> Tileset: enabled - OffsetX: 16 - OffsetY: 16 - Number of tiles: 4\n\n"));
}
