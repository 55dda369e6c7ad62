// BMP files: round trips of every layout, files written byte by byte as other programs write them,
// failed writes, and headers that must never reach SDL's reader.
#include "PixTest.h"
#include "ImageFiles.h"
#include "00_Platform.h"

using ydxtest::PatternFormat;
using ydxtest::PatternFormats;
using imagefiles::Bmp;

namespace {

class BmpTest : public PixTest {};

bool ColourIs(SDL_Surface* s, int x, int y, int r, int g, int b) {
  SDL_Color c = ydxtest::ColorAt(s, x, y);
  return c.r == r && c.g == g && c.b == b;
}

int failCommit(ydxplat::FaultOp op, const char*, size_t*) { return op == ydxplat::kOpCommit ? 5 /* EIO */ : 0; }

}  // namespace

TEST_F(BmpTest, EveryLayoutRoundTrips) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakePattern(f, 13, 9, 6));
    ASSERT_EQ(IImage->SaveBMP("round.bmp", s.get()), 1);
    EXPECT_EQ(IImage->isBMP("round.bmp"), 1);
    SurfaceHolder back(IImage->LoadBMP("round.bmp"));
    ASSERT_NE(back.get(), nullptr);
    EXPECT_EQ(back->format->BitsPerPixel, f.bpp == 8 ? 8 : 24);
    EXPECT_EQ(back->format->colorkey, 0xFFFFFFFFu);
    if (f.bpp == 8 || f.bpp == 24 || f.bpp == 32) {
      EXPECT_TRUE(ydxtest::SameColors(back.get(), s.get(), false));
    }
    SDL_Color c = ydxtest::ColorAt(back.get(), 12, 8), expected = ydxtest::ColorAt(s.get(), 12, 8);
    EXPECT_NEAR(c.r, expected.r, 7);
    EXPECT_NEAR(c.b, expected.b, 7);
  }
}

TEST_F(BmpTest, KeyedAndTranslucentSurfacesAreWrittenAsTheyAre) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), 6, 6));
  Uint32 key = RawAt(s.get(), 3, 3);
  SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, key);
  SDL_SetAlpha(s.get(), SDL_SRCALPHA, 40);
  ASSERT_EQ(IImage->SaveBMP("keyed.bmp", s.get()), 1);
  SurfaceHolder back(IImage->LoadBMP("keyed.bmp"));
  EXPECT_TRUE(ydxtest::SameColors(back.get(), s.get(), false));
  EXPECT_TRUE((s->flags & SDL_SRCCOLORKEY) && (s->flags & SDL_SRCALPHA));
  EXPECT_EQ(s->format->colorkey, key);
  EXPECT_EQ(s->format->alpha, 40);
}

TEST_F(BmpTest, FilesWrittenByOtherProgramsLoadToTheRightPixels) {
  // 8-bit, bottom-up, 3 pixels a row padded to 4, two palette colours used.
  std::string pal = imagefiles::BmpPalette({{10, 20, 30, 0}, {200, 100, 50, 0}});
  SurfaceHolder p8;
  ASSERT_TRUE(ydxtest::WriteFile("p8.bmp", Bmp(3, 2, 8, 0, pal, std::string("\1\0\1\0\0\1\0\0", 8), 2)));
  p8.reset(IImage->LoadBMP("p8.bmp"));
  ASSERT_NE(p8.get(), nullptr);
  EXPECT_TRUE(ColourIs(p8.get(), 0, 1, 200, 100, 50));   // bottom row is stored first
  EXPECT_TRUE(ColourIs(p8.get(), 1, 1, 10, 20, 30));
  EXPECT_TRUE(ColourIs(p8.get(), 1, 0, 200, 100, 50));
  EXPECT_EQ(p8->format->palette->ncolors, 256);   // undefined entries exist, black

  // 24-bit, odd width, top-down (negative height).
  std::string rows = std::string("\x01\x02\x03\x04\x05\x06\0\0", 8) + std::string("\x07\x08\x09\x0a\x0b\x0c\0\0", 8);
  ASSERT_TRUE(ydxtest::WriteFile("td.bmp", Bmp(2, -2, 24, 0, "", rows)));
  SurfaceHolder td(IImage->LoadBMP("td.bmp"));
  ASSERT_NE(td.get(), nullptr);
  EXPECT_TRUE(ColourIs(td.get(), 0, 0, 3, 2, 1));
  EXPECT_TRUE(ColourIs(td.get(), 1, 1, 12, 11, 10));

  // 4-bit with 16 colours and 1-bit.
  std::vector<SDL_Color> sixteen;
  for (int i = 0; i < 16; ++i) sixteen.push_back({(Uint8)(i * 16), (Uint8)(255 - i * 16), (Uint8)i, 0});
  ASSERT_TRUE(ydxtest::WriteFile("p4.bmp", Bmp(3, 1, 4, 0, imagefiles::BmpPalette(sixteen), std::string("\x0F\x70\0\0", 4), 16)));
  SurfaceHolder p4(IImage->LoadBMP("p4.bmp"));
  ASSERT_NE(p4.get(), nullptr);
  EXPECT_TRUE(ColourIs(p4.get(), 1, 0, 240, 15, 15));
  EXPECT_TRUE(ColourIs(p4.get(), 2, 0, 112, 143, 7));
  ASSERT_TRUE(ydxtest::WriteFile("p1.bmp", Bmp(9, 1, 1, 0, imagefiles::BmpPalette({{0, 0, 0, 0}, {255, 255, 255, 0}}),
                                              std::string("\xA0\x80\0\0", 4), 2)));
  SurfaceHolder p1(IImage->LoadBMP("p1.bmp"));
  ASSERT_NE(p1.get(), nullptr);
  EXPECT_TRUE(ColourIs(p1.get(), 0, 0, 255, 255, 255));
  EXPECT_TRUE(ColourIs(p1.get(), 1, 0, 0, 0, 0));
  EXPECT_TRUE(ColourIs(p1.get(), 8, 0, 255, 255, 255));

  // 16-bit 565 with bit-field masks.
  std::string masks;
  imagefiles::Put32LE(masks, 0xF800);
  imagefiles::Put32LE(masks, 0x07E0);
  imagefiles::Put32LE(masks, 0x001F);
  ASSERT_TRUE(ydxtest::WriteFile("b16.bmp", Bmp(2, 1, 16, 3, masks, std::string("\x00\xF8\x1F\x00", 4))));
  SurfaceHolder b16(IImage->LoadBMP("b16.bmp"));
  ASSERT_NE(b16.get(), nullptr);
  SDL_Color red = ydxtest::ColorAt(b16.get(), 0, 0), blue = ydxtest::ColorAt(b16.get(), 1, 0);
  EXPECT_TRUE(red.r > 240 && red.g == 0 && red.b == 0);
  EXPECT_TRUE(blue.b > 240 && blue.r == 0);
}

TEST_F(BmpTest, HeadersSDLWouldTrustAreRefused) {
  std::string pal = imagefiles::BmpPalette(std::vector<SDL_Color>(4, SDL_Color{1, 2, 3, 0}));
  std::string rows4(4, '\0');
  const std::pair<const char*, std::string> bad[] = {
      {"toomanycolours", Bmp(3, 1, 8, 0, pal, rows4, 300)},
      {"short", Bmp(3, 50, 8, 0, pal, rows4, 4)},
      {"wide", Bmp(20000, 1, 8, 0, pal, std::string(20000, '\0'), 4)},
      {"rle", Bmp(3, 1, 8, 1, pal, rows4, 4)},
      {"depth", Bmp(3, 1, 7, 0, pal, rows4, 4)},
      {"tiny", std::string("BM\0\0", 4)},
      {"notbmp", std::string("PNG, honestly")},
      {"minheight", Bmp(1, (int)0x80000000, 24, 0, "", rows4)},
  };
  for (const auto& b : bad) {
    std::string file = std::string(b.first) + ".bmp";
    ASSERT_TRUE(ydxtest::WriteFile(file, b.second));
    EXPECT_EQ(IImage->isBMP(file.c_str()), 0) << b.first;
    EXPECT_EQ(IImage->LoadBMP(file.c_str()), nullptr) << b.first;
    EXPECT_TRUE(LogHas(" . [IImage->LoadBMP(" + file + ")] Error: file not found.\n")) << b.first;
  }
  EXPECT_EQ(IImage->isBMP(NULL), 0);
  EXPECT_EQ(IImage->isBMP("missing.bmp"), 0);
}

TEST_F(BmpTest, SaveReportsFailuresAndKeepsTheOldFile) {
  EXPECT_EQ(IImage->SaveBMP("null.bmp", NULL), 0);
  EXPECT_TRUE(LogHas(" . [IImage->SaveBMP(null.bmp,0)] Error: surface is null.\n"));
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 5, 5));
  ASSERT_EQ(IImage->SaveBMP("keep.bmp", s.get()), 1);
  std::string before = ydxtest::ReadFile("keep.bmp");
  SurfaceHolder other(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 7, 3, 9));
  ydxplat::SetFaultHook(failCommit);
  EXPECT_EQ(IImage->SaveBMP("keep.bmp", other.get()), 0);
  ydxplat::SetFaultHook(NULL);
  EXPECT_EQ(ydxtest::ReadFile("keep.bmp"), before);
  EXPECT_TRUE(LogHas(" . [IImage->SaveBMP(keep.bmp)] Error"));
  ASSERT_EQ(IImage->SaveBMP("made/here/x.bmp", other.get()), 1);
  SurfaceHolder back(IImage->LoadIMG("made/here/x.bmp"));
  EXPECT_TRUE(ydxtest::SameColors(back.get(), other.get(), false));
}

TEST_F(BmpTest, DisplayStepConvertsForTheScreen) {
  ASSERT_NE(OpenScreen(32), nullptr);
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 6, 4));
  ASSERT_EQ(IImage->SaveBMP("p.bmp", s.get()), 1);
  SurfaceHolder back(IImage->LoadBMP("p.bmp"));
  EXPECT_EQ(back->format->BytesPerPixel, 4);
  EXPECT_FALSE(back->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(back->format->colorkey, 0xFFFFFFFFu);
  EXPECT_TRUE(ydxtest::SameColors(back.get(), s.get(), false));
}
