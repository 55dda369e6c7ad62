// The software cursor on the dummy screen: the area under it given back pixel for pixel after moves,
// guarded drawing, hiding and showing (no ghost), the 32 slots and the current slot's guards, hot
// spots, the clip region, smooth movement, image files and lost images repaired from their own copy.
#include "UiTest.h"

namespace {

class CursorTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ICursor->SetSmooth(0);
    PaintBackdrop();
  }
  // Moves the mouse and renders the cursor once.
  static void MoveTo(int x, int y) {
    Yandorix.mousex = x;
    Yandorix.mousey = y;
    ICursor->Update();
  }
};

// Counts the blits of keyed images to the screen that the seam turns into a lost surface.
int lostBlits = 0;
int LoseKeyedImageOnce(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (dst == Yandorix.screen && (src->flags & SDL_SRCCOLORKEY) && lostBlits-- > 0) {
    SDL_FillRect(src, NULL, 0);   // what a lost video surface holds is undefined
    return -2;
  }
  return SDL_UpperBlit(src, srcrect, dst, dstrect);
}

}  // namespace

TEST_F(CursorTest, BackgroundComesBackPixelExactlyAndNeverHoldsTheCursor) {
  SurfacePtr white = Solid(16, 16, kWhite);
  Yandorix.mousex = Yandorix.mousey = 100;
  ASSERT_EQ(ICursor->Create(white.get(), 0), 0);
  ICursor->Select(0);   // the first selection already keeps the area under the cursor
  ICursor->Update();
  EXPECT_EQ(Disturbed(100, 100, 16, 16), 256);
  EXPECT_EQ(At(116, 100), Backdrop(116, 100));
  MoveTo(200, 100);
  EXPECT_EQ(Disturbed(100, 100, 16, 16), 0);
  EXPECT_EQ(At(215, 115), kWhite);

  // Guarded drawing over the cursor: the box is what comes back once the cursor moves on.
  IPrimitives->BoxColor(screen, 190, 90, 230, 130, MapOnScreen(kBlue));
  EXPECT_EQ(At(200, 100), kBlue);
  ICursor->Update();
  EXPECT_EQ(At(200, 100), kWhite);
  MoveTo(300, 100);
  for (int y = 100; y < 116; ++y)
    for (int x = 200; x < 216; ++x) ASSERT_EQ(At(x, y), kBlue) << x << "," << y;

  // Hidden, moved, shown: nothing of the cursor stays where it was.
  ICursor->Hide();
  EXPECT_EQ(Disturbed(300, 100, 16, 16), 0);
  Yandorix.mousex = 400;
  ICursor->Update();
  EXPECT_EQ(Disturbed(400, 100, 16, 16), 0);
  ICursor->Show();
  ICursor->Update();
  MoveTo(500, 100);
  EXPECT_EQ(Disturbed(300, 100, 16, 16), 0);
  EXPECT_EQ(Disturbed(400, 100, 16, 16), 0);
  EXPECT_EQ(Disturbed(500, 100, 16, 16), 256);
  // Taken afresh after the application redraws the screen itself.
  PaintBackdrop();
  ICursor->Invalidate();
  ICursor->Update();
  MoveTo(520, 130);
  EXPECT_EQ(Disturbed(500, 100, 16, 16), 0);
}

TEST_F(CursorTest, ThirtyTwoSlotsAndTheCurrentSlotGuards) {
  SurfacePtr white = Solid(8, 8, kWhite);
  ICursor->Show();   // nothing selected yet: there is nothing to draw
  ICursor->Update();
  EXPECT_EQ(Disturbed(0, 0, 640, 480), 0);
  for (int slot = 0; slot < 32; ++slot) ASSERT_EQ(ICursor->Create(white.get(), 0), slot);
  EXPECT_EQ(ICursor->Create(white.get(), 0), -1);
  ICursor->Delete(5);
  EXPECT_EQ(ICursor->Create(white.get(), 0), 5);
  size_t deletions = Count(ydxtest::LogText(), "Info: cursor deleted.");
  ICursor->Delete(40);
  ICursor->Delete((char)-3);
  EXPECT_EQ(Count(ydxtest::LogText(), "Info: cursor deleted."), deletions);

  // Deleting the drawn cursor takes it off the screen; what follows draws nothing and reads nothing.
  Yandorix.mousex = Yandorix.mousey = 50;
  ICursor->Select(3);
  ICursor->Update();
  EXPECT_EQ(Disturbed(50, 50, 8, 8), 64);
  ICursor->Delete(3);
  EXPECT_EQ(Disturbed(50, 50, 8, 8), 0);
  ICursor->Update();
  ICursor->Hide();
  ICursor->Show();
  ICursor->ChangeType(4, 2);
  EXPECT_EQ(ICursor->RestoreBG(NULL), 0);
  ICursor->CopyBG();
  ICursor->Info();
  EXPECT_TRUE(LogHas("      -> Number of loaded cursors: 31 - Auto Restore: on - Smooth movement: off\n"));
  EXPECT_TRUE(LogHas("      -> Current cursor: '-1' - Visible mode - Clip region: (0,0) to (640,480)\n"));
  ICursor->Select(4);
  ICursor->Update();
  EXPECT_EQ(Disturbed(50, 42, 8, 8), 64) << "slot 4 has the bottom-edge hot spot";
}

TEST_F(CursorTest, HotSpotClipRegionAndSmoothMovement) {
  SurfacePtr white = Solid(16, 16, kWhite);
  ASSERT_EQ(ICursor->Create(white.get(), 9), 0);   // types above 4 are the centre
  Yandorix.mousex = 100;
  Yandorix.mousey = 50;
  ICursor->Select(0);
  ICursor->Update();
  EXPECT_EQ(At(92, 42), kWhite);
  EXPECT_EQ(At(91, 42), Backdrop(91, 42));
  EXPECT_EQ(At(107, 57), kWhite);
  EXPECT_EQ(At(108, 57), Backdrop(108, 57));

  ICursor->ClipRegion(100, 100, 200, 150);
  MoveTo(10, 300);
  EXPECT_EQ(Yandorix.mousex, 100);
  EXPECT_EQ(Yandorix.mousey, 150);
  MoveTo(500, 0);
  EXPECT_EQ(Yandorix.mousex, 200);
  EXPECT_EQ(Yandorix.mousey, 100);
  ICursor->Info();
  EXPECT_TRUE(LogHas("Clip region: (100,100) to (300,250)\n"));
  EXPECT_TRUE(LogHas("          + Cursor size: 16x16 - Type: Center - Color depth: 32bits\n"));

  // A quarter through the logic frame, a quarter of the way from the saved position.
  ICursor->ClipRegion(0, 0, 640, 480);
  ICursor->ChangeType(0, 0);
  ICursor->SetSmooth(1);
  ICursor->SaveCoordinates(0, 0);
  MainPrivate()->logicaccum = 3.25f;
  MoveTo(100, 0);
  EXPECT_EQ(At(25, 0), kWhite);
  EXPECT_EQ(At(24, 0), Backdrop(24, 0));
}

TEST_F(CursorTest, ImageFilesKeepTheConversionSettingAndTakeTheCornerAsKey) {
  SurfacePtr image = Solid(8, 8, kWhite);
  Pixel32(image.get(), 0, 0) = 0xFF00FF;
  ASSERT_EQ(SDL_SaveBMP(image.get(), "arrow.bmp"), 0);
  Yandorix.SurfaceAutomaticConversion(0);
  ASSERT_EQ(ICursor->Create("arrow.bmp", 0), 0);
  EXPECT_EQ(Yandorix_AutoConvert, 0);
  int handle = IStuffDPF->Create("cursors.dpf");
  ASSERT_GT(IImage->Save(handle, "arrow", image.get()), 0);
  EXPECT_EQ(ICursor->Load(handle, "arrow", 0), 1);
  EXPECT_EQ(ICursor->Load(handle, "missing", 0), -1);
  IStuffDPF->Close(handle);
  EXPECT_EQ(ICursor->Load("cursors.dpf", "arrow", 0), 2);
  EXPECT_EQ(Yandorix_AutoConvert, 0);
  Yandorix.SurfaceAutomaticConversion(1);
  EXPECT_EQ(ICursor->Create("missing.bmp", 0), -1);
  EXPECT_TRUE(LogHas(" . [ICursor->Create('missing.bmp',0)] Error: it was not possible to load the given image file.\n"));

  for (char slot = 0; slot < 3; ++slot) {
    PaintBackdrop();
    ICursor->Select(slot);
    MoveTo(60 + slot, 60);
    EXPECT_EQ(At(60 + slot, 60), Backdrop(60 + slot, 60)) << "keyed corner of slot " << (int)slot;
    EXPECT_EQ(At(61 + slot, 61), kWhite);
    ICursor->Hide();
  }
}

TEST_F(CursorTest, LostImageIsRepairedFromItsOwnCopy) {
  Yandorix.backupsurfaces = 1;
  SurfacePtr big = Solid(32, 32, kWhite), small = Solid(8, 8, kGreen);
  big->format->colorkey = (Uint32)-1;   // no key of its own: pixel (0, 0) becomes it
  Pixel32(big.get(), 0, 0) = 0xFF00FF;
  ASSERT_EQ(ICursor->Create(big.get(), 0), 0);
  small->format->colorkey = (Uint32)-1;
  ASSERT_EQ(ICursor->Create(small.get(), 0), 1);   // the latest copy is the small one's
  Yandorix_SetBlitSeam(LoseKeyedImageOnce);
  lostBlits = 1;
  Yandorix.mousex = Yandorix.mousey = 200;
  ICursor->Select(0);
  ICursor->Update();
  EXPECT_TRUE(LogHas(" . [Yandorix_Blit()] Info: lost surface was restored.\n"));
  EXPECT_EQ(At(200, 200), Backdrop(200, 200));
  EXPECT_EQ(At(231, 231), kWhite);
  MoveTo(300, 300);
  EXPECT_EQ(Disturbed(200, 200, 32, 32), 0);
}

TEST_F(CursorTest, FrameDriverDrawsItAtTheSnapshotPosition) {
  SurfacePtr white = Solid(4, 4, kWhite);
  ASSERT_EQ(ICursor->Create(white.get(), 0), 0);
  ICursor->Select(0);
  SDL_WarpMouse(300, 200);
  Yandorix.Update(NULL);   // free-running logic: snapshot, then render with the cursor
  EXPECT_EQ(At(300, 200), kWhite);
  EXPECT_EQ(At(299, 200), Backdrop(299, 200));
}

// A sprite that puts back the screen under its last drawing, moving under the cursor: what the cursor
// covered stays the backdrop, with no trace of the sprite's earlier place.
TEST_F(CursorTest, SpriteMovingUnderTheCursorLeavesNoGhost) {
  SurfacePtr white = Solid(16, 16, kWhite), sheet = Solid(8, 8, kGreen);
  Yandorix.mousex = Yandorix.mousey = 100;
  ASSERT_EQ(ICursor->Create(white.get(), 0), 0);
  ICursor->Select(0);
  ICursor->Update();
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "walker", 8, 8), 1);
  sprite.SetPosition(96, 96, 0);   // over the cursor's top-left corner
  sprite.Draw();
  ICursor->Update();
  sprite.SetPosition(110, 110, 0);   // still over the cursor, elsewhere
  sprite.Draw();
  ICursor->Update();
  MoveTo(300, 300);
  EXPECT_EQ(Disturbed(96, 96, 14, 14), 0) << "the sprite's first place";
  EXPECT_EQ(Disturbed(110, 110, 8, 8), 64);
}
