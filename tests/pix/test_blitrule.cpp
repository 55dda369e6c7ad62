// The stored pixel-format record, stored-image checks, surface rebuild, alpha and key changes and
// the blit rule's lost-surface repair.
#include "PixTest.h"
#include "25_BlitRule.h"
#include <cstring>

using ydxtest::PatternFormat;
using ydxtest::PatternFormats;

namespace {

class BlitRuleTest : public PixTest {
 protected:
  void TearDown() override {
    Yandorix_SetBlitSeam(NULL);
    Yandorix.backupsurfaces = 0;
    PixTest::TearDown();
  }
};

sStoredPixelFormat Record(int bpp, Uint32 r, Uint32 g, Uint32 b, Uint32 a, Sint32 key) {
  sStoredPixelFormat f = {};
  f.bitsPerPixel = (Uint8)bpp;
  f.rmask = r;
  f.gmask = g;
  f.bmask = b;
  f.amask = a;
  f.colorkey = key;
  f.alpha = 255;
  return f;
}

// Stored pixels of a surface (record, rows, palette) and the pixel part of them.
std::vector<Uint8> Stored(SDL_Surface* s, Sint32 key, Uint8 alpha) {
  std::vector<Uint8> bytes;
  EXPECT_TRUE(ydxfmt::AppendImageData(s, key, alpha, &bytes));
  return bytes;
}

int losses = 0;
int LoseFirstBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (losses > 0) {
    --losses;
    if (dstrect) dstrect->x = 999;   // SDL rewrites the rectangle of a failed attempt too
    return -2;
  }
  return SDL_UpperBlit(src, srcrect, dst, dstrect);
}

}  // namespace

TEST_F(BlitRuleTest, RecordRoundTripsInEveryLayout) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakeSurface(f, 3, 3));
    sStoredPixelFormat record = ydxfmt::FormatOf(s->format);
    record.colorkey = f.bpp == 8 ? 17 : -1;
    record.alpha = 99;
    Uint8 bytes[kStoredFormatSize];
    std::memset(bytes, 0xCC, sizeof bytes);
    ydxfmt::EncodeFormat(record, bytes);
    sStoredPixelFormat back = ydxfmt::DecodeFormat(bytes);
    EXPECT_EQ(std::memcmp(&back.rmask, &record.rmask, 4 * sizeof(Uint32)), 0);
    EXPECT_EQ(back.bitsPerPixel, f.bpp);
    EXPECT_EQ(back.bytesPerPixel, s->format->BytesPerPixel);
    EXPECT_EQ(back.rshift, s->format->Rshift);
    EXPECT_EQ(back.aloss, s->format->Aloss);
    EXPECT_EQ(back.colorkey, record.colorkey);
    EXPECT_EQ(back.alpha, 99);
    for (int i : {0, 1, 2, 3, 14, 15, 37, 38, 39}) EXPECT_EQ(bytes[i], 0) << "byte " << i;
    std::string why;
    EXPECT_TRUE(ydxfmt::CheckFormat(back, &why)) << why;
  }
}

TEST_F(BlitRuleTest, RecordBytesOfA565SurfaceCheckedByHand) {
  sStoredPixelFormat f = Record(16, 0xF800, 0x07E0, 0x001F, 0, 0x1234);
  f.bytesPerPixel = 2;
  f.rloss = 3;
  f.gloss = 2;
  f.bloss = 3;
  f.aloss = 8;
  f.rshift = 11;
  f.gshift = 5;
  f.alpha = 128;
  Uint8 bytes[kStoredFormatSize];
  ydxfmt::EncodeFormat(f, bytes);
  const Uint8 expected[kStoredFormatSize] = {0, 0, 0, 0, 16, 2, 3, 2, 3, 8, 11, 5, 0, 0, 0, 0,
                                             0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0, 0, 0, 0, 0,
                                             0x34, 0x12, 0, 0, 128, 0, 0, 0};
  EXPECT_EQ(std::vector<Uint8>(bytes, bytes + 40), std::vector<Uint8>(expected, expected + 40));
  f.colorkey = -1;
  ydxfmt::EncodeFormat(f, bytes);
  EXPECT_EQ(bytes[32] & bytes[33] & bytes[34] & bytes[35], 0xFF);
}

TEST_F(BlitRuleTest, StoredImagesOutsideTheLimitsAreRefused) {
  std::string why;
  uint64_t bytes = 0;
  EXPECT_FALSE(ydxfmt::CheckFormat(Record(12, 0xF00, 0xF0, 0xF, 0, -1), &why));
  EXPECT_FALSE(ydxfmt::CheckFormat(Record(0, 0, 0, 0, 0, -1), &why));
  EXPECT_FALSE(ydxfmt::CheckFormat(Record(16, 0x1F800, 0x7E0, 0x1F, 0, -1), &why));
  EXPECT_FALSE(ydxfmt::CheckFormat(Record(24, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, -1), &why));
  EXPECT_FALSE(ydxfmt::CheckFormat(Record(8, 0, 0, 0, 0, 256), &why));
  EXPECT_TRUE(ydxfmt::CheckFormat(Record(8, 0, 0, 0, 0, 255), &why));
  EXPECT_FALSE(ydxfmt::CheckFormat(Record(15, 0x7C00, 0x3E0, 0x1F, 0, 0x8000), &why));
  EXPECT_TRUE(ydxfmt::CheckFormat(Record(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, (Sint32)0xFFFFFFFE), &why));

  sStoredPixelFormat rgba = Record(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, -1);
  EXPECT_FALSE(ydxfmt::StoredImageBytes(0, 5, rgba, &bytes, &why));
  EXPECT_FALSE(ydxfmt::StoredImageBytes(5, -1, rgba, &bytes, &why));
  EXPECT_FALSE(ydxfmt::StoredImageBytes(16384, 1, rgba, &bytes, &why));   // a 65536-byte row
  EXPECT_TRUE(ydxfmt::StoredImageBytes(16383, 1, rgba, &bytes, &why));
  EXPECT_FALSE(ydxfmt::StoredImageBytes(16, 16385, rgba, &bytes, &why));
  EXPECT_TRUE(ydxfmt::StoredImageBytes(5, 3, Record(24, 0, 0, 0, 0, -1), &bytes, &why));
  EXPECT_EQ(bytes, 16u * 3u);
  EXPECT_TRUE(ydxfmt::StoredImageBytes(5, 3, Record(8, 0, 0, 0, 0, -1), &bytes, &why));
  EXPECT_EQ(bytes, 8u * 3u + 1024u);
}

TEST_F(BlitRuleTest, SurfacesRebuildFromTheirStoredPixelsInEveryLayout) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder source(ydxtest::MakePattern(f, 13, 7, 5));
    std::vector<Uint8> bytes = Stored(source.get(), -1, 255);
    uint64_t expected = 0;
    std::string why;
    sStoredPixelFormat record = ydxfmt::DecodeFormat(bytes.data());
    ASSERT_TRUE(ydxfmt::StoredImageBytes(13, 7, record, &expected, &why)) << why;
    ASSERT_EQ(bytes.size(), kStoredFormatSize + expected);
    EXPECT_EQ(record.rmask, f.rmask);
    ydxfmt::sRebuilt rebuilt;
    ASSERT_TRUE(ydxfmt::RebuildSurface(13, 7, record, bytes.data() + kStoredFormatSize, NULL, &rebuilt, NULL));
    SurfaceHolder back(rebuilt.surface);
    EXPECT_FALSE(back->flags & SDL_SRCCOLORKEY);
    EXPECT_EQ(back->format->colorkey, 0xFFFFFFFFu);
    EXPECT_EQ(rebuilt.perPixelAlpha, f.amask != 0);
    if (f.bpp == 32 && !f.amask) {
      EXPECT_EQ(back->format->BitsPerPixel, 24);   // 32 bits without alpha are kept in 24
    } else {
      EXPECT_EQ(back->format->BitsPerPixel, f.bpp);
      EXPECT_EQ(ydxtest::RowCRCs(back.get()), ydxtest::RowCRCs(source.get()));
    }
    EXPECT_TRUE(ydxtest::SameColors(back.get(), source.get(), f.amask != 0));
  }
}

TEST_F(BlitRuleTest, EightBitStoredImagesEndWithTheirPalette) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("pal8");
  SurfaceHolder source(ydxtest::MakePattern(f, 6, 2, 9));
  std::vector<Uint8> bytes = Stored(source.get(), 3, 255);
  ASSERT_EQ(bytes.size(), 40u + 8u * 2u + 1024u);
  const Uint8* palette = &bytes[40 + 16];
  for (int i = 0; i < 256; ++i) {
    const SDL_Color& c = source->format->palette->colors[i];
    ASSERT_TRUE(palette[4 * i] == c.r && palette[4 * i + 1] == c.g && palette[4 * i + 2] == c.b) << i;
  }
  ydxfmt::sRebuilt rebuilt;
  ASSERT_TRUE(ydxfmt::RebuildSurface(6, 2, ydxfmt::DecodeFormat(bytes.data()), &bytes[40], NULL, &rebuilt, NULL));
  SurfaceHolder back(rebuilt.surface);
  EXPECT_TRUE(back->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(back->format->colorkey, 3u);
  EXPECT_EQ(rebuilt.colorkey, 3);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(back->format->palette->colors[i].g, source->format->palette->colors[i].g);
}

TEST_F(BlitRuleTest, RebuildConvertsForTheScreenAndKeepsTheKeyColour) {
  SDL_Surface* screen = OpenScreen(32);
  ASSERT_NE(screen, nullptr);
  SurfaceHolder source(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb565"), 9, 4, 2));
  Uint32 key565 = RawAt(source.get(), 4, 1);
  std::vector<Uint8> bytes = Stored(source.get(), (Sint32)key565, 100);
  ydxfmt::sRebuilt rebuilt;
  Yandorix_PixelCopy backup;
  Yandorix.backupsurfaces = 1;
  ASSERT_TRUE(ydxfmt::RebuildSurface(9, 4, ydxfmt::DecodeFormat(bytes.data()), &bytes[40], "alpha info\n", &rebuilt,
                                     &backup));
  SurfaceHolder back(rebuilt.surface);
  EXPECT_EQ(back->format->BytesPerPixel, 4);
  EXPECT_EQ(rebuilt.alpha, 100);
  EXPECT_EQ((Uint32)rebuilt.colorkey, RawAt(back.get(), 4, 1));   // the key follows into the new format
  EXPECT_EQ(back->format->colorkey, (Uint32)rebuilt.colorkey);
  EXPECT_TRUE(back->flags & SDL_SRCALPHA);
  SDL_SetAlpha(back.get(), 0, 255);
  SDL_FillRect(screen, NULL, 0x00FF00);
  SDL_BlitSurface(back.get(), NULL, screen, NULL);
  EXPECT_EQ(RawAt(screen, 4, 1), 0x00FF00u) << "key pixels must stay transparent after the conversion";
  EXPECT_NE(RawAt(screen, 3, 1), 0x00FF00u);
  EXPECT_EQ(backup.Pitch(), back->pitch);
  EXPECT_EQ(backup.Height(), 4);
  EXPECT_FALSE(LogHas("alpha info"));

  SurfaceHolder alphaSource(ydxtest::MakePattern(ydxtest::PatternFormatNamed("argb32"), 5, 5));
  bytes = Stored(alphaSource.get(), -1, 255);
  SDL_Surface* bgra = SDL_CreateRGBSurface(0, 1, 1, 32, 0xFF00, 0xFF0000, 0xFF000000, 0xFF);
  sStoredPixelFormat otherOrder = ydxfmt::FormatOf(bgra->format);   // differs from the screen's masks
  SDL_FreeSurface(bgra);
  SurfaceHolder reordered(ydxtest::MakeSurface({"bgra", 32, otherOrder.rmask, otherOrder.gmask, otherOrder.bmask,
                                                otherOrder.amask}, 5, 5));
  SDL_SetAlpha(alphaSource.get(), 0, 255);
  SDL_BlitSurface(alphaSource.get(), NULL, reordered.get(), NULL);
  bytes = Stored(reordered.get(), -1, 255);
  ASSERT_TRUE(ydxfmt::RebuildSurface(5, 5, ydxfmt::DecodeFormat(bytes.data()), &bytes[40], "alpha info\n", &rebuilt,
                                     NULL));
  back.reset(rebuilt.surface);
  EXPECT_TRUE(rebuilt.perPixelAlpha);
  EXPECT_EQ(back->format->alpha, 255);
  EXPECT_TRUE(LogHas("alpha info"));
  EXPECT_TRUE(ydxtest::SameColors(back.get(), reordered.get(), true));
}

TEST_F(BlitRuleTest, LostSurfacesAreRefilledFromTheirCopyAndDrawnWhereAsked) {
  SDL_Surface* screen = OpenScreen(32, 32, 32);
  ASSERT_NE(screen, nullptr);
  SDL_FillRect(screen, NULL, 0);
  SurfaceHolder image(ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), 8, 8));
  SurfaceHolder expected(ydxtest::MakeSurface(ydxtest::PatternFormatNamed("xrgb32"), 32, 32));
  SDL_Rect at = {-3, 20, 0, 0};
  SDL_BlitSurface(image.get(), NULL, expected.get(), &at);
  Yandorix_PixelCopy copy;
  ASSERT_TRUE(copy.Take(image.get()));
  SDL_FillRect(image.get(), NULL, 0x123456);   // the video memory's content is gone
  Yandorix_SetBlitSeam(LoseFirstBlit);

  // Without backups the loss is left as it is: nothing drawn, nothing logged.
  losses = 1;
  SDL_Rect where = {-3, 20, 0, 0};
  EXPECT_EQ(Yandorix_Blit(image.get(), NULL, screen, &where, &copy), -2);
  EXPECT_FALSE(LogHas("lost surface"));

  Yandorix.backupsurfaces = 1;
  losses = 1;
  where = SDL_Rect{-3, 20, 0, 0};
  EXPECT_EQ(Yandorix_Blit(image.get(), NULL, screen, &where, &copy), 0);
  EXPECT_TRUE(LogHas(" . [Yandorix_Blit()] Info: lost surface was restored.\n"));
  EXPECT_EQ(ydxtest::RowCRCs(screen), ydxtest::RowCRCs(expected.get()));
  EXPECT_EQ(Yandorix_Blit(image.get(), NULL, screen, NULL, NULL), 0);
}

TEST_F(BlitRuleTest, ACopyOfAnotherSizeNeverWritesPastTheSurface) {
  SurfaceHolder wide(ydxtest::MakePattern(ydxtest::PatternFormatNamed("argb32"), 40, 30));
  SurfaceHolder narrow(ydxtest::MakeSurface(ydxtest::PatternFormatNamed("argb32"), 7, 3));
  SurfaceHolder target(ydxtest::MakeSurface(ydxtest::PatternFormatNamed("argb32"), 16, 16));
  Yandorix_PixelCopy copy;
  ASSERT_TRUE(copy.Take(wide.get()));
  Yandorix.backupsurfaces = 1;
  Yandorix_SetBlitSeam(LoseFirstBlit);
  losses = 1;
  Yandorix_Blit(narrow.get(), NULL, target.get(), NULL, &copy);   // the sanitizer build catches overruns
  EXPECT_EQ(RawAt(narrow.get(), 6, 2), RawAt(wide.get(), 6, 2));
  // The owner refreshes the copy after replacing the surface; it then matches again.
  ASSERT_TRUE(copy.Take(narrow.get()));
  EXPECT_EQ(copy.Pitch(), narrow->pitch);
  EXPECT_EQ(copy.Height(), 3);
}

TEST_F(BlitRuleTest, AlphaCrossingOpaqueOnAVideoMemoryScreenConvertsOnce) {
  SDL_Surface* screen = OpenScreen(32);
  ASSERT_NE(screen, nullptr);
  screen->flags |= SDL_HWSURFACE;   // the dummy driver has no video memory; pretend it has
  SDL_Surface* tile = ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb565"), 6, 6);
  Yandorix_PixelCopy backup;
  backup.Take(tile);
  ydxfmt::ChangeAlpha(&tile, 255, 128, "CTile", &backup);
  EXPECT_EQ(tile->format->BytesPerPixel, 4);
  EXPECT_EQ(backup.Pitch(), tile->pitch);   // the copy follows the replaced surface
  EXPECT_TRUE(tile->flags & SDL_SRCALPHA);
  EXPECT_EQ(tile->format->alpha, 128);
  EXPECT_TRUE(LogHas(" . [CTile::SetAlpha(128)] Warning: on-the-fly surface conversion. It may affect to the "
                     "performance.\n"));
  SDL_Surface* before = tile;
  ydxfmt::ChangeAlpha(&tile, 128, 64, "CTile", &backup);
  EXPECT_EQ(tile, before);
  EXPECT_FALSE(LogHas("SetAlpha(64)"));
  ydxfmt::ChangeAlpha(&tile, 64, 255, "CSprite", &backup);
  EXPECT_FALSE(tile->flags & SDL_SRCALPHA);
  EXPECT_TRUE(LogHas(" . [CSprite::SetAlpha(255)] Warning"));
  screen->flags &= ~SDL_HWSURFACE;
  SDL_FreeSurface(tile);

  SurfaceHolder keyed(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb24"), 4, 4));
  SDL_Surface* k = keyed.get();
  ydxfmt::ChangeColorKey(&k, 0x10203, false, "CTile", NULL);
  EXPECT_TRUE(k->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(k->format->colorkey, 0x10203u);
  ydxfmt::ChangeColorKey(&k, -1, false, "CTile", NULL);
  EXPECT_FALSE(k->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(k, keyed.get());   // only the OpenGL renderer converts on a key change
}
