// Creating sprites: sheets cut into animations, the refusals, names, colour keys and alpha taken from
// the application's surface, images from files, clones, and the life cycle with Clean.
#include "SpriteTest.h"
#include <cstring>

TEST_F(SpriteTest, SheetIsCutIntoRowsOfFramesStoppingAtTheFirstEmptyFrame) {
  OpenScreen();
  SurfaceHolder sheet(MakeSheet(4, 3, 32, 32));
  BlankFrame(sheet.get(), 2, 1, 32, 32, SDL_MapRGB(sheet->format, 9, 9, 9));
  Yandorix_CSprite sprite;
  EXPECT_EQ(Yandorix.numsprites, 1);
  ASSERT_EQ(sprite.Create(sheet.get(), "hero", 32, 32), 3);
  unsigned short type, code, count, start, end;
  short hotx, hoty;
  const unsigned short expected[3] = {4, 2, 4};
  for (int anim = 1; anim <= 3; ++anim) {
    SCOPED_TRACE(anim);
    ASSERT_EQ(sprite.GetAnimProperties(anim, &type, &code, &count, &hotx, &hoty, &start, &end), 1);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(code, 0x8000 + anim - 1);
    EXPECT_EQ(count, expected[anim - 1]);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, expected[anim - 1]);
    EXPECT_EQ(hotx, 0);
    unsigned int ms = 0;
    EXPECT_EQ(sprite.GetFrameProperties(anim, 1, &ms), 1);
    EXPECT_EQ(ms, 100u);
  }
  EXPECT_EQ(sprite.GetAnimProperties(4, &type, NULL, NULL, NULL, NULL, NULL, NULL), 0);
  EXPECT_STREQ(sprite.GetName(), "hero");
  EXPECT_EQ(sprite.GetFrame(), 0);
  EXPECT_EQ(sprite.GetAnim(), 0x8000);
  int w = 0, h = 0;
  sprite.GetOffset(&w, &h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(sprite.Create(sheet.get(), "again", 32, 32), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Create('again',32,32)] Warning: sprite already exists."));
}

TEST_F(SpriteTest, CreationRefusesBadSheetsAndUninitialisedLibrary) {
  SurfaceHolder sheet(MakeSheet(3, 2, 10, 10));
  Yandorix_CSprite sprite;
  EXPECT_EQ(sprite.Create((SDL_Surface*)NULL, "a", 10, 10), 0);
  EXPECT_EQ(sprite.Create(sheet.get(), NULL, 10, 10), 0);
  const int sizes[][2] = {{0, 10}, {7, 10}, {10, 7}};
  for (const auto& size : sizes) EXPECT_EQ(sprite.Create(sheet.get(), "a", size[0], size[1]), 0);
  SurfaceHolder nothing(SDL_CreateRGBSurface(0, 0, 0, 32, 0, 0, 0, 0));
  ASSERT_NE(nothing.get(), nullptr);
  EXPECT_EQ(sprite.Create(nothing.get(), "a", 10, 10), 0);   // no frame at all
  EXPECT_TRUE(LogHas(" . [CSprite::Create('a',10,7)] Error: Offset Y does not split correctly the sprite surface.\n"));
  EXPECT_EQ(sprite.GetName(), nullptr);
  EXPECT_EQ(sprite.GetFrame(), -1);
  EXPECT_EQ(sprite.IsFinished(), 1);
  EXPECT_EQ(sprite.Draw(), 0);
  Yandorix.Quit();
  EXPECT_EQ(sprite.Create(sheet.get(), "late", 10, 10), 0);
  EXPECT_EQ(sprite.Create("file.bmp", "late", 10, 10), 0);
  EXPECT_EQ(sprite.Load("file.dpf", "late", "x"), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Load('file.dpf','late','x')] Error: Yandorix was not initialized."));
}

TEST_F(SpriteTest, LongNamesAreTruncatedToThirtyOneCharacters) {
  SurfaceHolder sheet(MakeSheet(1, 1, 4, 4));
  Yandorix_CSprite sprite;
  std::string longName(40, 'n');
  ASSERT_EQ(sprite.Create(sheet.get(), longName.c_str(), 4, 4), 1);
  EXPECT_EQ(std::string(sprite.GetName()), longName.substr(0, 31));
  sprite.SetName(std::string(64, 'm').c_str());
  EXPECT_EQ(std::string(sprite.GetName()), std::string(31, 'm'));
}

TEST_F(SpriteTest, ColourKeyOnlyWhenTheSurfaceHasOneAndSurfaceAlphaKept) {
  OpenScreen();
  SurfaceHolder plain(MakeSheet(2, 1, 8, 8));
  plain->format->colorkey = 0;   // SDL's field reads 0 on every unkeyed surface
  Yandorix_CSprite unkeyed;
  ASSERT_EQ(unkeyed.Create(plain.get(), "plain", 8, 8), 1);
  EXPECT_EQ(unkeyed.GetColorKey(), -1);
  EXPECT_FALSE(unkeyed.GetSurface()->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(unkeyed.GetAlpha(), 255);

  SurfaceHolder keyed(MakeSheet(2, 1, 8, 8, 16));
  Uint32 key = SDL_MapRGB(keyed->format, 20, 20, 200);
  SDL_SetColorKey(keyed.get(), SDL_SRCCOLORKEY, key);
  SDL_SetAlpha(keyed.get(), SDL_SRCALPHA, 100);
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(keyed.get(), "keyed", 8, 8), 1);
  SDL_Surface* sheet = sprite.GetSurface();
  EXPECT_EQ(sheet->format->BitsPerPixel, 32);   // converted for the 32-bit screen
  EXPECT_TRUE(sheet->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ((Uint32)sprite.GetColorKey(), sheet->format->colorkey);
  EXPECT_EQ(RawAt(sheet, 4, 4), sheet->format->colorkey);   // the key still marks frame 0's pixels
  EXPECT_EQ(sprite.GetAlpha(), 100);
  sprite.SetAlpha(300);
  sprite.SetAlpha(-1);
  EXPECT_EQ(sprite.GetAlpha(), 100);
  sprite.SetColorKey(-1, 0, 0);
  EXPECT_EQ(sprite.GetColorKey(), -1);
  EXPECT_FALSE(sprite.GetSurface()->flags & SDL_SRCCOLORKEY);
}

TEST_F(SpriteTest, PerPixelAlphaSheetsKeepTheirAlphaAndIgnoreSurfaceAlpha) {
  OpenScreen(16);
  const ydxtest::PatternFormat& argb = ydxtest::PatternFormatNamed("argb32");
  SurfaceHolder sheet(ydxtest::MakePattern(argb, 12, 6));
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "glow", 6, 6), 1);
  EXPECT_EQ(sprite.GetAlpha(), 256);
  EXPECT_TRUE(LogHas(" . [CSprite->Create('glow',6,6)] Info: surface with alpha per pixel loaded"));
  SDL_Surface* converted = sprite.GetSurface();
  EXPECT_NE(converted->format->Amask, 0u);   // SDL_DisplayFormatAlpha keeps the channel
  EXPECT_EQ(converted->format->alpha, 255);
  sprite.SetAlpha(10);
  EXPECT_EQ(sprite.GetAlpha(), 256);
  EXPECT_TRUE(ydxtest::SameColors(converted, sheet.get(), true));
}

TEST_F(SpriteTest, CreateFromFileLeavesTheAutomaticConversionSwitchAsItWas) {
  OpenScreen(16);
  SurfaceHolder sheet(MakeSheet(3, 2, 8, 8));
  ASSERT_EQ(IImage->SaveBMP("sheet.bmp", sheet.get()), 1);
  ASSERT_EQ(IImage->SavePNG("sheet.png", sheet.get(), 6), 0);
  for (int setting = 0; setting <= 1; ++setting) {
    SCOPED_TRACE(setting);
    Yandorix.SurfaceAutomaticConversion(setting);
    Yandorix_CSprite fromBmp, fromPng;
    EXPECT_EQ(fromBmp.Create("sheet.bmp", "bmp", 8, 8), 2);
    EXPECT_EQ(Yandorix_AutoConvert, setting);
    EXPECT_EQ(fromPng.Create("sheet.png", "png", 8, 8), 2);
    EXPECT_EQ(Yandorix_AutoConvert, setting);
    EXPECT_EQ(fromPng.GetSurface()->format->BitsPerPixel, 16);   // converted once, by the sprite
  }
  Yandorix_CSprite missing;
  EXPECT_EQ(missing.Create("none.bmp", "none", 8, 8), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Create('none.bmp','none')] Error: it was not possible to load the given image file.\n"));
  EXPECT_EQ(missing.Create((const char*)NULL, "none", 8, 8), 0);
}

TEST_F(SpriteTest, ClonesCopyAnimationsAndShareTheSheet) {
  OpenScreen();
  SurfaceHolder sheet(MakeSheet(4, 2, 8, 8));
  Yandorix_CSprite master, slave, other, empty;
  ASSERT_EQ(master.Create(sheet.get(), "walker", 8, 8), 2);
  master.SetAnimProperties(2, 4, 0x1001, 3, 4, 1, 3);
  master.SetPosition(7, 9, 0);
  ASSERT_EQ(slave.Clone(&master), 2);
  EXPECT_EQ(Yandorix.numsprites, 4);
  EXPECT_STREQ(slave.GetName(), "walker");
  EXPECT_EQ(slave.GetSurface(), master.GetSurface());
  EXPECT_EQ(slave.GetPosX(), 7);
  unsigned short type, code, start, end;
  short hotx, hoty;
  ASSERT_EQ(slave.GetAnimProperties(2, &type, &code, NULL, &hotx, &hoty, &start, &end), 1);
  EXPECT_EQ(type, 4);
  EXPECT_EQ(code, 0x1001);
  EXPECT_EQ(hotx, 3);
  EXPECT_EQ(end, 3);
  // Its own state: changing the clone leaves the master alone.
  slave.SetAnimProperties(1, 8, 2730, 2730, 2730, 2730, 2730);
  ASSERT_EQ(master.GetAnimProperties(1, &type, NULL, NULL, NULL, NULL, NULL, NULL), 1);
  EXPECT_EQ(type, 2);
  EXPECT_EQ(other.Clone(&slave), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Clone()] Warning: the given sprite is already a clone. You can only clone a master sprite.\n"));
  EXPECT_EQ(slave.Clone(&master), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Clone()] Warning: sprite already exists."));
  EXPECT_EQ(other.Clone(&empty), 0);
  EXPECT_EQ(other.Clone(NULL), 0);
  EXPECT_EQ(other.GetName(), nullptr);
}

// Run under ASan: a slave whose master went away must never touch the freed sheet.
TEST_F(SpriteTest, SlaveOfADeletedOrCleanedMasterRefusesEveryUse) {
  OpenScreen();
  SurfaceHolder sheet(MakeSheet(2, 1, 8, 8));
  Yandorix_CSprite slave, cleanedSlave;
  Yandorix_CSprite cleaned;
  {
    Yandorix_CSprite master;
    ASSERT_EQ(master.Create(sheet.get(), "gone", 8, 8), 1);
    ASSERT_EQ(slave.Clone(&master), 1);
    EXPECT_EQ(slave.Draw(), 2);
  }
  ASSERT_EQ(cleaned.Create(sheet.get(), "cleaned", 8, 8), 1);
  ASSERT_EQ(cleanedSlave.Clone(&cleaned), 1);
  cleaned.Clean();
  EXPECT_EQ(cleaned.GetName(), nullptr);
  ASSERT_EQ(cleaned.Create(sheet.get(), "cleaned", 8, 8), 1);   // a new sheet is not the old one
  for (Yandorix_CSprite* orphan : {&slave, &cleanedSlave}) {
    EXPECT_EQ(orphan->Draw(), 0);
    EXPECT_EQ(orphan->GetSurface(), nullptr);
    SDL_Rect area = {0, 0, 8, 8};
    EXPECT_EQ(orphan->Collision(Yandorix.screen, &area, 0, 0, 0), 0);
    EXPECT_EQ(orphan->Collision(&cleaned, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(cleaned.Collision(orphan, 0, 0, 0, 0, 0), 0);
    orphan->SetAlpha(100);
    orphan->SetColorKey(1, 2, 3);
    orphan->SetColorKey(5);
    EXPECT_EQ(orphan->Save("orphans.dpf", "SPR2"), 0);
    orphan->Info();
  }
  EXPECT_TRUE(LogHas(". [CSprite::ValidateClone()] Error: 'gone' slave sprite has lost its master sprite. Check your code to avoid it.\n"));
  EXPECT_TRUE(LogHas("Error: 'cleaned' slave sprite has lost its master sprite."));
  EXPECT_FALSE(LogHas("Sprite information of 'gone'"));
  slave.Clean();
  EXPECT_EQ(slave.GetName(), nullptr);
}

TEST_F(SpriteTest, CleanEmptiesPausedSpritesAndTheCountFollowsObjects) {
  SurfaceHolder sheet(MakeSheet(2, 1, 8, 8));
  {
    Yandorix_CSprite sprite;
    ASSERT_EQ(sprite.Create(sheet.get(), "paused", 8, 8), 1);
    sprite.Pause();
    sprite.Clean();
    EXPECT_EQ(sprite.GetName(), nullptr);
    EXPECT_EQ(sprite.Create(sheet.get(), "reused", 8, 8), 1);
    EXPECT_EQ(Yandorix.numsprites, 1);
  }
  EXPECT_EQ(Yandorix.numsprites, 0);
  Yandorix_CSprite* leaked = new Yandorix_CSprite();
  Yandorix.Quit();
  EXPECT_TRUE(LogHas("\n . [CSprites] Warning! your application have left 1 sprites without deleting."));
  delete leaked;
}
