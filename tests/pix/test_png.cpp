// PNG files: round trips of every layout, files written byte by byte as other programs write them,
// compression levels, the display step and every refusal.
#include "PixTest.h"
#include "ImageFiles.h"
#include "14_Image.h"
#include "00_Platform.h"
#include <cstdlib>

using ydxtest::PatternFormat;
using ydxtest::PatternFormats;

namespace {

class PngTest : public PixTest {
 protected:
  SDL_Surface* LoadBytes(const std::string& bytes) { return IImage->LoadPNG(bytes.data(), (int)bytes.size()); }
};

// What the pixels look like as 24-bit RGB after SDL's own conversion (the reference for lossy layouts).
SDL_Surface* AsRGB(SDL_Surface* s, bool alpha) {
  SDL_Surface* rgb = SDL_CreateRGBSurface(0, s->w, s->h, alpha ? 32 : 24, 0xFF, 0xFF00, 0xFF0000, alpha ? 0xFF000000 : 0);
  Uint32 flags = s->flags;
  Uint8 surfaceAlpha = s->format->alpha;
  SDL_SetAlpha(s, 0, 255);
  SDL_BlitSurface(s, NULL, rgb, NULL);
  if (flags & SDL_SRCALPHA) SDL_SetAlpha(s, SDL_SRCALPHA, surfaceAlpha);
  return rgb;
}

// The first IDAT's zlib header and whether every row of the image used filter 0.
struct IdatInfo {
  int flg = -1;
  bool unfiltered = true;
};
IdatInfo InspectIdat(const std::string& png, int rowBytes, int rows) {
  IdatInfo info;
  std::string compressed;
  for (size_t at = 8; at + 8 <= png.size();) {
    Uint32 length = ((Uint8)png[at] << 24) | ((Uint8)png[at + 1] << 16) | ((Uint8)png[at + 2] << 8) | (Uint8)png[at + 3];
    if (png.compare(at + 4, 4, "IDAT") == 0) compressed += png.substr(at + 8, length);
    at += 12 + length;
  }
  if (compressed.size() < 2) return info;
  info.flg = (Uint8)compressed[1];
  std::string raw((size_t)(rowBytes + 1) * rows, '\0');
  uLongf size = raw.size();
  uncompress(reinterpret_cast<Bytef*>(&raw[0]), &size, reinterpret_cast<const Bytef*>(compressed.data()),
             compressed.size());
  for (int y = 0; y < rows; ++y) info.unfiltered = info.unfiltered && raw[(size_t)y * (rowBytes + 1)] == 0;
  return info;
}

std::string Samples(int w, int h, int channels, int bytesPerSample, unsigned seed) {
  std::string out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      SDL_Color c = ydxtest::PatternColor(x, y, seed);
      const Uint8 values[4] = {c.r, c.g, c.b, c.unused};
      for (int ch = 0; ch < channels; ++ch)
        for (int b = 0; b < bytesPerSample; ++b) out += (char)(b == 0 ? values[ch] : values[ch] ^ 0x5A);
    }
  return out;
}

}  // namespace

TEST_F(PngTest, EveryLayoutRoundTrips) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakePattern(f, 13, 9, 2));
    ASSERT_EQ(IImage->SavePNG("round.png", s.get(), 6), 0);
    SurfaceHolder back(IImage->LoadPNG("round.png"));
    ASSERT_NE(back.get(), nullptr);
    if (f.bpp == 8) {
      EXPECT_EQ(back->format->BitsPerPixel, 8);
      EXPECT_EQ(ydxtest::RowCRCs(back.get()), ydxtest::RowCRCs(s.get()));
      EXPECT_TRUE(ydxtest::SameColors(back.get(), s.get(), false));
    } else {
      EXPECT_EQ(back->format->BitsPerPixel, f.amask ? 32 : 24);
      SurfaceHolder expected(AsRGB(s.get(), f.amask != 0));
      EXPECT_EQ(ydxtest::RowCRCs(back.get()), ydxtest::RowCRCs(expected.get()));
    }
    EXPECT_EQ(back->format->colorkey, 0xFFFFFFFFu);
  }
}

TEST_F(PngTest, RgbaKeepsItsAlphaAndHandCheckedPixels) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("argb32"), 7, 5, 3));
  ASSERT_EQ(IImage->SavePNG("rgba.png", s.get(), -1), 0);
  SurfaceHolder back(IImage->LoadPNG("rgba.png"));
  ASSERT_NE(back.get(), nullptr);
  EXPECT_TRUE(back->flags & SDL_SRCALPHA);
  EXPECT_TRUE(ydxtest::SameColors(back.get(), s.get(), true));
  SDL_Color c = ydxtest::ColorAt(back.get(), 6, 4), expected = ydxtest::PatternColor(6, 4, 3);
  EXPECT_TRUE(c.r == expected.r && c.g == expected.g && c.b == expected.b && c.unused == expected.unused);
  EXPECT_TRUE(s->flags & SDL_SRCALPHA);   // restored after the copy
}

TEST_F(PngTest, KeyedSurfacesKeepTheirKeyColouredPixels) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), 5, 5));
  Uint32 key = RawAt(s.get(), 2, 3);
  SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, key);
  ASSERT_EQ(IImage->SavePNG("keyed.png", s.get(), 6), 0);
  SurfaceHolder back(IImage->LoadPNG("keyed.png"));
  SDL_Color c = ydxtest::ColorAt(back.get(), 2, 3), expected = ydxtest::ColorAt(s.get(), 2, 3);
  EXPECT_TRUE(c.r == expected.r && c.g == expected.g && c.b == expected.b) << "key pixels came out black";
  EXPECT_TRUE(s->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(s->format->colorkey, key);
}

// What a keyed picture looks like drawn over a background.
SDL_Surface* DrawnOverBackground(SDL_Surface* s) {
  SDL_Surface* canvas = SDL_CreateRGBSurface(0, s->w, s->h, 24, 0xFF, 0xFF00, 0xFF0000, 0);
  SDL_FillRect(canvas, NULL, SDL_MapRGB(canvas->format, 1, 2, 3));
  SDL_BlitSurface(s, NULL, canvas, NULL);
  return canvas;
}

// Every kind of colour key comes back from a saved file: the pixels of the key colour, and only
// they, are not drawn. A 16-bit file's transparent colour is compared at full depth.
TEST_F(PngTest, EveryKindOfColourKeyComesBackFromASavedFile) {
  for (const char* layout : {"pal8", "rgb24", "bgr24", "xrgb32", "rgb565"}) {
    SCOPED_TRACE(layout);
    SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed(layout), 7, 5, 4));
    SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, RawAt(s.get(), 2, 1));
    ASSERT_EQ(IImage->SavePNG("keyed.png", s.get(), 6), 0);
    SurfaceHolder back(IImage->LoadPNG("keyed.png"));
    ASSERT_NE(back.get(), nullptr);
    SurfaceHolder expected(DrawnOverBackground(s.get())), drawn(DrawnOverBackground(back.get()));
    EXPECT_TRUE(ydxtest::SameColors(drawn.get(), expected.get(), false));
    SDL_Color hidden = ydxtest::ColorAt(drawn.get(), 2, 1);
    EXPECT_TRUE(hidden.r == 1 && hidden.g == 2 && hidden.b == 3);
  }
  // 16-bit RGB: the key's own samples, the same high bytes with other low bytes, another colour.
  std::string samples("\x12\x34\x56\x78\x9A\xBC" "\x12\x35\x56\x78\x9A\xBC" "\x00\x00\x56\x78\x9A\xBC", 18);
  std::string trns("\x12\x34\x56\x78\x9A\xBC", 6);
  SurfaceHolder deep(LoadBytes(imagefiles::Png(3, 1, 16, 2, imagefiles::Scanlines(samples, 3, 1, 6, false), {{"tRNS", trns}})));
  ASSERT_NE(deep.get(), nullptr);
  EXPECT_EQ(ydxtest::ColorAt(deep.get(), 0, 0).unused, 0);
  EXPECT_EQ(ydxtest::ColorAt(deep.get(), 1, 0).unused, 255);
  EXPECT_EQ(ydxtest::ColorAt(deep.get(), 2, 0).unused, 255);
}

TEST_F(PngTest, PaletteWithOneTransparentEntryComesBackKeyed) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 8, 3));
  SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, 21);
  ASSERT_EQ(IImage->SavePNG("pal.png", s.get(), 6), 0);
  SurfaceHolder back(IImage->LoadPNG("pal.png"));
  ASSERT_NE(back.get(), nullptr);
  EXPECT_EQ(back->format->BitsPerPixel, 8);
  EXPECT_TRUE(back->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(back->format->colorkey, 21u);

  // The key value alone, with keying off, writes no transparency.
  SDL_SetColorKey(s.get(), 0, 0);
  s->format->colorkey = 21;
  ASSERT_EQ(IImage->SavePNG("pal2.png", s.get(), 6), 0);
  EXPECT_EQ(ydxtest::ReadFile("pal2.png").find("tRNS"), std::string::npos);
  back.reset(IImage->LoadPNG("pal2.png"));
  EXPECT_FALSE(back->flags & SDL_SRCCOLORKEY);
}

TEST_F(PngTest, CompressionLevelsAreLimitedAndZeroWritesUnfilteredRows) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 16, 8));
  SurfaceHolder rgb(AsRGB(s.get(), false));
  ASSERT_EQ(IImage->SavePNG("max.png", rgb.get(), 12), 0);
  IdatInfo high = InspectIdat(ydxtest::ReadFile("max.png"), 48, 8);
  EXPECT_EQ(high.flg >> 6, 3);   // zlib's "maximum compression" marker
  ASSERT_EQ(IImage->SavePNG("none.png", rgb.get(), 0), 0);
  IdatInfo none = InspectIdat(ydxtest::ReadFile("none.png"), 48, 8);
  EXPECT_EQ(none.flg >> 6, 0);
  EXPECT_TRUE(none.unfiltered);
  SurfaceHolder a(IImage->LoadPNG("max.png")), b(IImage->LoadPNG("none.png"));
  EXPECT_EQ(ydxtest::RowCRCs(a.get()), ydxtest::RowCRCs(rgb.get()));
  EXPECT_EQ(ydxtest::RowCRCs(b.get()), ydxtest::RowCRCs(rgb.get()));
}

TEST_F(PngTest, FilesWrittenByOtherProgramsLoadToTheRightPixels) {
  using imagefiles::Png;
  using imagefiles::Scanlines;
  // 16-bit RGB with a transparent colour no pixel has: samples cut to 8 bits, all opaque.
  std::string rgb16 = Samples(3, 2, 3, 2, 7);
  std::string trns16 = std::string("\x12\x99\x34\x88\x56\x77", 6);
  SurfaceHolder a(LoadBytes(Png(3, 2, 16, 2, Scanlines(rgb16, 3, 2, 6, false), {{"tRNS", trns16}})));
  ASSERT_NE(a.get(), nullptr);
  EXPECT_EQ(a->format->BitsPerPixel, 32);
  SDL_Color c = ydxtest::ColorAt(a.get(), 2, 1), expected = ydxtest::PatternColor(2, 1, 7);
  EXPECT_TRUE(c.r == expected.r && c.g == expected.g && c.b == expected.b && c.unused == 255);

  // 8-bit grey with a transparent level: a grey palette keyed at that level.
  std::string grey(6, '\0');
  for (int i = 0; i < 6; ++i) grey[i] = (char)(i * 40);
  SurfaceHolder g(LoadBytes(Png(3, 2, 8, 0, Scanlines(grey, 3, 2, 1, false), {{"tRNS", std::string("\0\x50", 2)}})));
  ASSERT_NE(g.get(), nullptr);
  EXPECT_EQ(g->format->BitsPerPixel, 8);
  EXPECT_EQ(g->format->colorkey, 0x50u);
  EXPECT_EQ(RawAt(g.get(), 2, 1), 200u);
  EXPECT_EQ(g->format->palette->colors[200].g, 200);

  // 4-bit grey: levels and the transparent level scaled to 8 bits.
  std::string packed = std::string("\0\x01\xF0\0\xA5\x00", 6);   // rows of 3 pixels: 0,1,15 and 10,5,0
  SurfaceHolder g4(LoadBytes(Png(3, 2, 4, 0, packed, {{"tRNS", std::string("\0\x0A", 2)}})));
  ASSERT_NE(g4.get(), nullptr);
  EXPECT_EQ(RawAt(g4.get(), 1, 0), 17u);
  EXPECT_EQ(RawAt(g4.get(), 2, 0), 255u);
  EXPECT_EQ(RawAt(g4.get(), 0, 1), 170u);
  EXPECT_EQ(g4->format->colorkey, 170u);

  // Grey with alpha becomes RGBA.
  std::string ga = Samples(2, 2, 2, 1, 1);
  SurfaceHolder rgba(LoadBytes(Png(2, 2, 8, 4, Scanlines(ga, 2, 2, 2, false))));
  ASSERT_NE(rgba.get(), nullptr);
  EXPECT_EQ(rgba->format->Amask, 0xFF000000u);
  SDL_Color px = ydxtest::ColorAt(rgba.get(), 1, 1), src = ydxtest::PatternColor(1, 1, 1);
  EXPECT_TRUE(px.r == src.r && px.g == src.r && px.b == src.r && px.unused == src.g);

  // A palette with graded transparency becomes RGBA.
  std::string plte = std::string("\xFF\0\0\0\xFF\0\0\0\xFF", 9);
  SurfaceHolder graded(LoadBytes(Png(2, 1, 8, 3, std::string("\0\x01\x02", 3), {{"PLTE", plte}, {"tRNS", std::string("\xFF\x80", 2)}})));
  ASSERT_NE(graded.get(), nullptr);
  EXPECT_EQ(graded->format->BitsPerPixel, 32);
  SDL_Color half = ydxtest::ColorAt(graded.get(), 0, 0), blue = ydxtest::ColorAt(graded.get(), 1, 0);
  EXPECT_TRUE(half.g == 255 && half.unused == 0x80);
  EXPECT_TRUE(blue.b == 255 && blue.unused == 255);

  // Interlaced RGB with odd sides.
  std::string rgb = Samples(9, 7, 3, 1, 5);
  SurfaceHolder inter(LoadBytes(Png(9, 7, 8, 2, Scanlines(rgb, 9, 7, 3, true), {}, true)));
  ASSERT_NE(inter.get(), nullptr);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      SDL_Color got = ydxtest::ColorAt(inter.get(), x, y), want = ydxtest::PatternColor(x, y, 5);
      ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
    }
}

TEST_F(PngTest, FilesFromImageMagickWhenAvailable) {
  if (system("convert -version 2>/dev/null | grep -q '^Version: ImageMagick'") != 0)
    GTEST_SKIP() << "ImageMagick's convert is not installed";
  // A 5 x 3 PPM of our pattern, turned into an interlaced 16-bit PNG by ImageMagick.
  std::string ppm = "P6\n5 3\n255\n" + Samples(5, 3, 3, 1, 9);
  ASSERT_TRUE(ydxtest::WriteFile("in.ppm", ppm));
  ASSERT_EQ(system("convert in.ppm -depth 16 -interlace PNG out.png 2>/dev/null"), 0);
  EXPECT_EQ(IImage->isPNG("out.png"), 1);
  SurfaceHolder s(IImage->LoadIMG("out.png"));
  ASSERT_NE(s.get(), nullptr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      SDL_Color got = ydxtest::ColorAt(s.get(), x, y), want = ydxtest::PatternColor(x, y, 9);
      ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
    }
  ASSERT_EQ(system("convert in.ppm BMP3:out.bmp 2>/dev/null"), 0);
  s.reset(IImage->LoadIMG("out.bmp"));
  ASSERT_NE(s.get(), nullptr);
  SDL_Color got = ydxtest::ColorAt(s.get(), 4, 2), want = ydxtest::PatternColor(4, 2, 9);
  EXPECT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b);
}

TEST_F(PngTest, DisplayStepConvertsForTheScreen) {
  ASSERT_NE(OpenScreen(32), nullptr);
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 6, 4));
  ASSERT_EQ(IImage->SavePNG("rgb.png", s.get(), 6), 0);
  SurfaceHolder back(IImage->LoadPNG("rgb.png"));
  EXPECT_EQ(back->format->BytesPerPixel, 4);
  EXPECT_TRUE(ydxtest::SameColors(back.get(), s.get(), false));
  SurfaceHolder alpha(ydxtest::MakePattern(ydxtest::PatternFormatNamed("argb32"), 6, 4));
  ASSERT_EQ(IImage->SavePNG("rgba.png", alpha.get(), 6), 0);
  back.reset(IImage->LoadPNG("rgba.png"));
  EXPECT_EQ(back->format->Amask, 0xFF000000u);
  EXPECT_EQ(back->format->alpha, 255);
  EXPECT_TRUE(ydxtest::SameColors(back.get(), alpha.get(), true));
  Yandorix.SurfaceAutomaticConversion(0);
  back.reset(IImage->LoadPNG("rgb.png"));
  EXPECT_EQ(back->format->BytesPerPixel, 3);
}

TEST_F(PngTest, ConvertedPaletteKeepsItsTransparentEntry) {
  SDL_Surface* screen = OpenScreen(32);
  ASSERT_NE(screen, nullptr);
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 8, 3));
  Uint32 keyIndex = ((Uint8*)s->pixels)[1];
  SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, keyIndex);
  ASSERT_EQ(IImage->SavePNG("pal.png", s.get(), 6), 0);
  SurfaceHolder back(IImage->LoadPNG("pal.png"));
  ASSERT_NE(back.get(), nullptr);
  ASSERT_EQ(back->format->BytesPerPixel, 4);
  ASSERT_TRUE(back->flags & SDL_SRCCOLORKEY);
  // Pixels of the transparent entry carry the key and are not drawn.
  EXPECT_EQ(((Uint32*)back->pixels)[1], back->format->colorkey);
  SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 1, 2, 3));
  SDL_BlitSurface(back.get(), NULL, screen, NULL);
  EXPECT_EQ(((Uint32*)screen->pixels)[1], SDL_MapRGB(screen->format, 1, 2, 3));
}

TEST_F(PngTest, RefusalsReturnTheFailureValueAndLog) {
  EXPECT_EQ(IImage->LoadPNG((const void*)"\x89PNG", 0), nullptr);
  EXPECT_EQ(IImage->LoadPNG((const void*)"\x89PNG", -4), nullptr);
  EXPECT_EQ(IImage->LoadPNG((const void*)NULL, 10), nullptr);
  EXPECT_TRUE(LogHas("Error: no data to read.\n"));
  EXPECT_EQ(IImage->SavePNG("null.png", NULL, 6), -1);
  EXPECT_TRUE(LogHas(" . [IImage->SavePNG(null.png,0)] Error: surface is null.\n"));
  EXPECT_FALSE(ydxtest::FileExists("null.png"));

  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 6, 4));
  ASSERT_EQ(IImage->SavePNG("good.png", s.get(), 6), 0);
  std::string good = ydxtest::ReadFile("good.png");
  EXPECT_EQ(LoadBytes(good.substr(0, good.size() - 20)), nullptr);   // cut inside the image data
  std::string badCrc = good;
  badCrc[30] ^= 1;   // inside IHDR's CRC
  EXPECT_EQ(LoadBytes(badCrc), nullptr);
  EXPECT_EQ(LoadBytes("not a png at all"), nullptr);
  // A few hundred bytes claiming 16000 x 16000 pixels, and a header past the size limit.
  std::string row(16000 * 3 + 1, '\0');
  std::string huge = imagefiles::Png(16000, 16000, 8, 2, row);
  EXPECT_EQ(LoadBytes(huge), nullptr);
  EXPECT_EQ(LoadBytes(imagefiles::Png(16385, 1, 8, 0, std::string(16386, '\0'))), nullptr);
  EXPECT_TRUE(LogHas(" . [IImage->LoadPNG(0x"));
  EXPECT_EQ(IImage->LoadPNG("missing.png"), nullptr);
  EXPECT_TRUE(LogHas(" . [IImage->LoadPNG(missing.png)] Error:"));
  // Rows that would not fit SDL's 16-bit pitch once widened to RGBA are refused, not overrun.
  SurfaceHolder wide(SDL_CreateRGBSurface(0, 20000, 1, 16, 0xF00, 0xF0, 0xF, 0xF000));
  EXPECT_EQ(IImage->SavePNG("wide.png", wide.get(), 6), -1);
  EXPECT_EQ(IImage->SaveBMP("wide.bmp", wide.get()), 0);
  EXPECT_FALSE(ydxtest::FileExists("wide.png") || ydxtest::FileExists("wide.bmp"));
}

TEST_F(PngTest, SignatureProbe) {
  EXPECT_EQ(IImage->isPNG("missing.png"), -1);
  EXPECT_EQ(IImage->isPNG(NULL), -1);
  ydxtest::WriteFile("short.png", "\x89PN");
  EXPECT_EQ(IImage->isPNG("short.png"), 0);
  ydxtest::WriteFile("sig.png", "\x89PNG-and-nothing-else");
  EXPECT_EQ(IImage->isPNG("sig.png"), 1);
  ydxtest::WriteFile("other.png", "GIF89a");
  EXPECT_EQ(IImage->isPNG("other.png"), 0);
  // LoadIMG tries the BMP reader first, then PNG; a file that is neither gives NULL and a log line.
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 4, 4));
  ASSERT_EQ(IImage->SavePNG("real.png", s.get(), 6), 0);
  EXPECT_EQ(IImage->isBMP("real.png"), 0);
  SurfaceHolder back(IImage->LoadIMG("real.png"));
  EXPECT_NE(back.get(), nullptr);
  EXPECT_EQ(IImage->LoadIMG("other.png"), nullptr);
  EXPECT_TRUE(LogHas(" . [IImage->LoadIMG(other.png)] Error"));
}

namespace {
int failWrites(ydxplat::FaultOp op, const char*, size_t*) { return op == ydxplat::kOpWrite ? 28 /* ENOSPC */ : 0; }
}  // namespace

TEST_F(PngTest, AFailedSaveLeavesTheOldFileAndReportsFailure) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 6, 4));
  ASSERT_EQ(IImage->SavePNG("keep.png", s.get(), 6), 0);
  std::string before = ydxtest::ReadFile("keep.png");
  SurfaceHolder other(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 9, 9, 4));
  ydxplat::SetFaultHook(failWrites);
  EXPECT_EQ(IImage->SavePNG("keep.png", other.get(), 6), -1);
  ydxplat::SetFaultHook(NULL);
  EXPECT_EQ(ydxtest::ReadFile("keep.png"), before);
  EXPECT_TRUE(LogHas(" . [IImage->SavePNG(keep.png)] Error"));
  ASSERT_EQ(IImage->SavePNG("sub/dir/new.png", other.get(), 6), 0);   // directories are made
  EXPECT_EQ(IImage->isPNG("sub/dir/new.png"), 1);
}
