// Pixel-exact collision: boxes, colour-key and alpha modes, offsets, sampling steps, and placements
// that reach beyond the surfaces.
#include "PixTest.h"

using ydxtest::PatternFormat;
using ydxtest::PatternFormats;

namespace {

class CollisionTest : public PixTest {
 protected:
  // A surface of the layout filled with its colour key (0), with solid pixels where listed.
  SDL_Surface* Sparse(const PatternFormat& f, int w, int h, std::initializer_list<std::pair<int, int>> solid) {
    SDL_Surface* s = ydxtest::MakeSurface(f, w, h);
    SDL_SetColorKey(s, SDL_SRCCOLORKEY, 0);
    SDL_FillRect(s, NULL, 0);
    Uint32 value = f.bpp == 8 ? 5 : SDL_MapRGBA(s->format, 250, 120, 30, 255);
    for (auto p : solid) IPrimitives->PutPixelColor(s, (short)p.first, (short)p.second, value, 1);
    return s;
  }
  int Collide(SDL_Surface* a, SDL_Rect placeA, SDL_Surface* b, SDL_Rect placeB, SDL_Rect* offA = NULL,
              SDL_Rect* offB = NULL, unsigned char debug = 0) {
    return IPrimitives->PixelCollision(a, &placeA, b, &placeB, debug, offA, offB);
  }
};

SDL_Rect Place(int x, int y, int w, int h) { return SDL_Rect{(Sint16)x, (Sint16)y, (Uint16)w, (Uint16)h}; }

}  // namespace

TEST_F(CollisionTest, BoxesSharingOneColumnTouchAndBoxesApartDoNot) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("rgb565");
  SurfaceHolder a(Sparse(f, 10, 10, {})), b(Sparse(f, 10, 10, {}));
  IPrimitives->SetCollisionMethod(0);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 10, 10), b.get(), Place(9, 0, 10, 10)), 1);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 10, 10), b.get(), Place(10, 0, 10, 10)), 0);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 10, 10), b.get(), Place(0, 10, 10, 10)), 0);
  IPrimitives->SetCollisionMethod(1);   // empty images never touch by pixels
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 10, 10), b.get(), Place(9, 0, 10, 10)), 0);
}

TEST_F(CollisionTest, ColourKeyModeInEveryDepth) {
  for (const PatternFormat& f : PatternFormats()) {
    if (f.amask) continue;
    SCOPED_TRACE(f.name);
    SurfaceHolder a(Sparse(f, 12, 9, {{7, 4}})), b(Sparse(f, 12, 9, {{2, 1}}));
    // B placed so its solid pixel lands on A's: (5 + 2, 3 + 1) = (7, 4).
    EXPECT_EQ(Collide(a.get(), Place(0, 0, 12, 9), b.get(), Place(5, 3, 12, 9)), 1);
    EXPECT_EQ(Collide(a.get(), Place(0, 0, 12, 9), b.get(), Place(6, 3, 12, 9)), 0);
  }
}

TEST_F(CollisionTest, SurfaceAlphaWithoutKeyUsesTheFormatsKeyValue) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("xrgb32");
  SurfaceHolder a(ydxtest::MakeSurface(f, 4, 4)), b(ydxtest::MakeSurface(f, 4, 4));
  SDL_SetAlpha(a.get(), SDL_SRCALPHA, 128);
  SDL_FillRect(a.get(), NULL, 0);
  SDL_FillRect(b.get(), NULL, 0x00FFFFFF);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 4, 4), b.get(), Place(0, 0, 4, 4)), 0);   // 0 is the key value
  IPrimitives->PutPixelColor(a.get(), 2, 2, 0x000100, 1);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 4, 4), b.get(), Place(0, 0, 4, 4)), 1);
}

TEST_F(CollisionTest, AlphaModeTreatsTransparentAndOpaqueBlackAsEmpty) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("argb32");
  SurfaceHolder a(ydxtest::MakeSurface(f, 3, 1)), b(ydxtest::MakeSurface(f, 3, 1));
  ASSERT_TRUE(a->flags & SDL_SRCALPHA);
  Uint32 opaqueBlack = SDL_MapRGBA(a->format, 0, 0, 0, 255), clearWhite = SDL_MapRGBA(a->format, 255, 255, 255, 0);
  Uint32 solid = SDL_MapRGBA(a->format, 10, 0, 0, 1);
  IPrimitives->PutPixelColor(a.get(), 0, 0, opaqueBlack, 1);
  IPrimitives->PutPixelColor(a.get(), 1, 0, clearWhite, 1);
  IPrimitives->PutPixelColor(a.get(), 2, 0, solid, 1);
  SDL_FillRect(b.get(), NULL, solid);
  IPrimitives->SetCollisionMethod(1);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 2, 1), b.get(), Place(0, 0, 3, 1)), 0);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 3, 1), b.get(), Place(0, 0, 3, 1)), 1);
  // With the alpha channel switched off the same surface is tested by its key value instead.
  SDL_SetAlpha(a.get(), 0, 255);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 2, 1), b.get(), Place(0, 0, 3, 1)), 1);
}

TEST_F(CollisionTest, SourceOffsetsPickTheFrameOfASheet) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("bgr24");
  // A sheet of two 8x8 frames: frame 0 empty, frame 1 solid at its (3, 3).
  SurfaceHolder sheet(Sparse(f, 16, 8, {{11, 3}})), dot(Sparse(f, 1, 1, {{0, 0}}));
  SDL_Rect frame1 = {8, 0, 8, 8};
  EXPECT_EQ(Collide(sheet.get(), Place(100, 50, 8, 8), dot.get(), Place(103, 53, 1, 1)), 0);
  EXPECT_EQ(Collide(sheet.get(), Place(100, 50, 8, 8), dot.get(), Place(103, 53, 1, 1), &frame1), 1);
  EXPECT_EQ(Collide(dot.get(), Place(103, 53, 1, 1), sheet.get(), Place(100, 50, 8, 8), NULL, &frame1), 1);
}

TEST_F(CollisionTest, SamplingStepVisitsOnlyTheGridFromTheOverlapCorner) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("xrgb32");
  SurfaceHolder full(ydxtest::MakeSurface(f, 16, 16));
  SDL_FillRect(full.get(), NULL, 0x00FF00);
  SurfaceHolder offGrid(Sparse(f, 16, 16, {{5, 6}})), onGrid(Sparse(f, 16, 16, {{8, 4}}));
  IPrimitives->SetCollisionMethod(4);
  EXPECT_EQ(Collide(full.get(), Place(0, 0, 16, 16), offGrid.get(), Place(0, 0, 16, 16)), 0);
  EXPECT_EQ(Collide(full.get(), Place(0, 0, 16, 16), onGrid.get(), Place(0, 0, 16, 16)), 1);
  // The grid starts at the overlap's corner, not at the surfaces' origin.
  EXPECT_EQ(Collide(full.get(), Place(1, 2, 16, 16), offGrid.get(), Place(0, 0, 16, 16)), 1);
  IPrimitives->SetCollisionMethod(1);
  EXPECT_EQ(Collide(full.get(), Place(0, 0, 16, 16), offGrid.get(), Place(0, 0, 16, 16)), 1);
}

TEST_F(CollisionTest, PlacementsBeyondTheSurfacesCountAsEmpty) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("argb32");
  SurfaceHolder a(ydxtest::MakeSurface(f, 8, 8)), b(ydxtest::MakeSurface(f, 8, 8));
  Uint32 solid = SDL_MapRGBA(a->format, 200, 200, 200, 255);
  SDL_FillRect(a.get(), NULL, solid);
  SDL_FillRect(b.get(), NULL, solid);
  // Boxes far larger than the surfaces; the surfaces themselves are 20 pixels apart.
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 300, 300), b.get(), Place(28, 0, 300, 300)), 0);
  SDL_Rect past = {30000, -30000, 0, 0};
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 64, 64), b.get(), Place(0, 0, 64, 64), &past), 0);
  SDL_Rect inside = {4, 4, 0, 0};   // A's surface runs out after 4 pixels: still touches B at the corner
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 64, 64), b.get(), Place(3, 3, 64, 64), &inside), 1);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 64, 64), b.get(), Place(4, 4, 64, 64), &inside), 0);
}

TEST_F(CollisionTest, FailedLockGivesNoCollisionAndALogLine) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("xrgb32");
  SurfaceHolder a(ydxtest::MakeSurface(f, 4, 4));
  SDL_FillRect(a.get(), NULL, 0xFFFFFF);
  SurfaceHolder empty(SDL_CreateRGBSurfaceFrom(NULL, 4, 4, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0));
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_EQ(Collide(a.get(), Place(0, 0, 4, 4), empty.get(), Place(0, 0, 4, 4)), 0);
  EXPECT_TRUE(LogHas(" . [IPrimitives->PixelCollision()] Error"));
  EXPECT_EQ(IPrimitives->PixelCollision(NULL, NULL, a.get(), NULL, 0, NULL, NULL), 0);
}

TEST_F(CollisionTest, DebugOutlinesBothBoxesInBlueAndTheOverlapInRed) {
  SDL_Surface* screen = OpenScreen(32, 40, 30);
  ASSERT_NE(screen, nullptr);
  const PatternFormat& f = ydxtest::PatternFormatNamed("xrgb32");
  SurfaceHolder a(Sparse(f, 10, 10, {})), b(Sparse(f, 10, 10, {}));
  Uint32 blue = SDL_MapRGB(screen->format, 0, 0, 255), red = SDL_MapRGB(screen->format, 255, 0, 0);
  IPrimitives->SetCollisionMethod(0);
  EXPECT_EQ(Collide(a.get(), Place(2, 2, 10, 10), b.get(), Place(6, 6, 10, 10), NULL, NULL, 1), 1);
  EXPECT_EQ(RawAt(screen, 2, 2), blue);
  EXPECT_EQ(RawAt(screen, 15, 15), blue);
  EXPECT_NE(RawAt(screen, 11, 6), red);
  SDL_FillRect(screen, NULL, 0);
  IPrimitives->SetCollisionMethod(1);
  EXPECT_EQ(Collide(a.get(), Place(2, 2, 10, 10), b.get(), Place(6, 6, 10, 10), NULL, NULL, 1), 0);
  EXPECT_EQ(RawAt(screen, 11, 6), red);   // overlap (6,6)-(11,11), drawn over the boxes
  EXPECT_EQ(RawAt(screen, 2, 2), blue);
}
