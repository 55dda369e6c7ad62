// "IMG" blocks without an archive: the block layout, surfaces rebuilt from it in every layout with
// palette, key and both alpha kinds, display conversion, and every refused block.
#include "PixTest.h"
#include "14_Image.h"
#include <cstring>

using ydxtest::PatternFormat;
using ydxtest::PatternFormats;

namespace {

class ImageBlockTest : public PixTest {
 protected:
  std::vector<Uint8> BlockOf(SDL_Surface* s) {
    std::vector<Uint8> bytes;
    EXPECT_TRUE(ydximg::ImageBlockOf(s, &bytes));
    return bytes;
  }
  SDL_Surface* FromBlock(const std::vector<Uint8>& bytes, sHeaderIPF* header = NULL) {
    return ydximg::ImageFromBlock(bytes.data(), bytes.size(), "pics.dpf", "hero", header);
  }
};

Uint32 Le32(const std::vector<Uint8>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | ((Uint32)b[at + 3] << 24);
}

}  // namespace

TEST_F(ImageBlockTest, BlockLayoutCheckedByHand) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("bgr24"), 5, 3));
  std::vector<Uint8> block = BlockOf(s.get());
  ASSERT_EQ(block.size(), 48u + 16u * 3u);   // 5 x 3 bytes rounded up to 16 per row
  EXPECT_EQ(Le32(block, 0), 5u);
  EXPECT_EQ(Le32(block, 4), 3u);
  EXPECT_EQ(Le32(block, 8), 0u);             // the palette word
  EXPECT_EQ(block[12], 24);
  EXPECT_EQ(block[13], 3);
  EXPECT_EQ(Le32(block, 24), 0x0000FFu);     // red mask
  EXPECT_EQ(Le32(block, 40), 0xFFFFFFFFu);   // no key
  EXPECT_EQ(block[44], 255);
  SDL_Color first = ydxtest::PatternColor(0, 0, 1);
  EXPECT_EQ(block[48], first.r);             // red in the low byte of this layout
  EXPECT_EQ(block[50], first.b);
  EXPECT_EQ(block[48 + 16 + 3], ydxtest::PatternColor(1, 1, 1).r);

  SurfaceHolder pal(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 3, 2));
  block = BlockOf(pal.get());
  ASSERT_EQ(block.size(), 48u + 4u * 2u + 1024u);
  EXPECT_EQ(block[48 + 8 + 4 * 7 + 1], pal->format->palette->colors[7].g);
}

TEST_F(ImageBlockTest, EveryLayoutComesBackPixelForPixel) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakePattern(f, 11, 7, 4));
    sHeaderIPF header;
    std::memset(&header, 0x55, sizeof header);
    SurfaceHolder back(FromBlock(BlockOf(s.get()), &header));
    ASSERT_NE(back.get(), nullptr);
    EXPECT_EQ(back->format->BitsPerPixel, f.bpp);
    EXPECT_EQ(ydxtest::RowCRCs(back.get()), ydxtest::RowCRCs(s.get()));
    EXPECT_EQ(header.width, 11);
    EXPECT_EQ(header.height, 7);
    EXPECT_EQ(header.bpp, f.bpp);
    EXPECT_EQ(header.alpha, 255);
    EXPECT_EQ(header.colorkey, -1);
    EXPECT_STREQ(header.name, "hero");
    if (f.amask) {
      EXPECT_TRUE(back->flags & SDL_SRCALPHA);   // per-pixel alpha, no key
    } else {
      EXPECT_FALSE(back->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY));
      EXPECT_EQ(back->format->colorkey, 0xFFFFFFFFu);
    }
    if (f.bpp == 8) {
      for (int i = 0; i < 256; ++i) ASSERT_EQ(back->format->palette->colors[i].b, s->format->palette->colors[i].b);
    }
  }
}

TEST_F(ImageBlockTest, KeyAndSurfaceAlphaTravelWithTheBlock) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb565"), 6, 4));
  Uint32 key = RawAt(s.get(), 2, 2);
  SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, key);
  SDL_SetAlpha(s.get(), SDL_SRCALPHA, 77);
  sHeaderIPF header;
  SurfaceHolder back(FromBlock(BlockOf(s.get()), &header));
  ASSERT_NE(back.get(), nullptr);
  EXPECT_EQ(header.colorkey, (Sint32)key);
  EXPECT_EQ(header.alpha, 77);
  EXPECT_TRUE(back->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(back->format->colorkey, key);
  EXPECT_TRUE(back->flags & SDL_SRCALPHA);
  EXPECT_EQ(back->format->alpha, 77);

  // A surface whose key field holds a value while keying is off is stored without a key.
  SurfaceHolder plain(ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), 4, 4));
  ASSERT_FALSE(plain->flags & SDL_SRCCOLORKEY);
  std::vector<Uint8> block = BlockOf(plain.get());
  EXPECT_EQ(Le32(block, 40), 0xFFFFFFFFu);
  back.reset(FromBlock(block));
  EXPECT_FALSE(back->flags & SDL_SRCCOLORKEY);

  SurfaceHolder keyedPalette(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 4, 4));
  SDL_SetColorKey(keyedPalette.get(), SDL_SRCCOLORKEY, 9);
  back.reset(FromBlock(BlockOf(keyedPalette.get())));
  EXPECT_TRUE(back->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(back->format->colorkey, 9u);
}

TEST_F(ImageBlockTest, ConversionForTheScreen) {
  ASSERT_NE(OpenScreen(32), nullptr);
  SurfaceHolder s16(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb565"), 6, 4));
  SurfaceHolder back(FromBlock(BlockOf(s16.get())));
  EXPECT_EQ(back->format->BytesPerPixel, 4);
  EXPECT_EQ(back->format->colorkey, 0xFFFFFFFFu);

  SurfaceHolder s8(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 6, 4));
  back.reset(FromBlock(BlockOf(s8.get())));
  EXPECT_EQ(back->format->BitsPerPixel, 8);   // never converted
  EXPECT_TRUE(LogHas(" . [IImage->Load('pics.dpf','hero',0x0)] Warning: 8bits surface loaded, it could be a different "
                     "screen format.\n"));

  SurfaceHolder argb(ydxtest::MakePattern(ydxtest::PatternFormatNamed("argb32"), 6, 4));
  SDL_Surface* abgr = SDL_CreateRGBSurface(0, 6, 4, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
  SDL_SetAlpha(argb.get(), 0, 255);
  SDL_BlitSurface(argb.get(), NULL, abgr, NULL);   // alpha copied, not blended
  back.reset(FromBlock(BlockOf(abgr)));
  EXPECT_EQ(back->format->Amask, 0xFF000000u);
  EXPECT_EQ(back->format->alpha, 255);
  EXPECT_TRUE(ydxtest::SameColors(back.get(), abgr, true));
  EXPECT_TRUE(LogHas("Info: surface with alpha per pixel loaded, it could slow down your graphics system.\n"));
  SDL_FreeSurface(abgr);

  // A keyed 16-bit image keeps its transparent pixels through the conversion.
  Uint32 key = RawAt(s16.get(), 1, 1);
  SDL_SetColorKey(s16.get(), SDL_SRCCOLORKEY, key);
  back.reset(FromBlock(BlockOf(s16.get())));
  EXPECT_EQ(back->format->colorkey, RawAt(back.get(), 1, 1));

  Yandorix.SurfaceAutomaticConversion(0);
  back.reset(FromBlock(BlockOf(s16.get())));
  EXPECT_EQ(back->format->BytesPerPixel, 2);
}

TEST_F(ImageBlockTest, DamagedBlocksAreRefusedWithAnErrorLine) {
  SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), 4, 3));
  const std::vector<Uint8> good = BlockOf(s.get());
  SurfaceHolder pal(ydxtest::MakePattern(ydxtest::PatternFormatNamed("pal8"), 4, 3));
  const std::vector<Uint8> goodPalette = BlockOf(pal.get());
  SurfaceHolder s16(ydxtest::MakePattern(ydxtest::PatternFormatNamed("rgb565"), 4, 3));
  const std::vector<Uint8> good16 = BlockOf(s16.get());
  auto with = [](std::vector<Uint8> b, size_t at, Uint32 value) {
    for (int i = 0; i < 4; ++i) b[at + i] = (Uint8)(value >> (8 * i));
    return b;
  };
  std::vector<std::vector<Uint8>> bad = {
      std::vector<Uint8>(good.begin(), good.end() - 1),                // one byte short
      [&] { auto b = good; b.push_back(0); return b; }(),              // one byte over
      std::vector<Uint8>(good.begin(), good.begin() + 47),             // not even a header
      with(good, 0, 0), with(good, 4, (Uint32)-3),                     // no width, negative height
      with(good, 0, 100000), with(good, 4, 0x7FFFFFFF),                // sizes the block cannot hold
      [&] { auto b = good; b[12] = 12; return b; }(),                  // unknown depth
      with(good16, 24, 0x1F800),                                       // mask wider than the pixel
      with(good16, 40, 0x10000),                                       // key wider than the pixel
      std::vector<Uint8>(goodPalette.begin(), goodPalette.end() - 1024),   // 8 bits without palette
      with(goodPalette, 40, 256),                                      // 8-bit key past the palette
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(FromBlock(bad[i]), nullptr) << "case " << i;
  }
  EXPECT_EQ(ydximg::ImageFromBlock(NULL, 0, "a", "b", NULL), nullptr);
  std::string log = ydxtest::LogText();
  size_t lines = 0;
  for (size_t at = 0; (at = log.find(" . [IImage->Load('pics.dpf','hero',0x0)] Error: image block refused", at)) !=
                      std::string::npos; ++at)
    ++lines;
  EXPECT_EQ(lines, bad.size());
  SurfaceHolder fine(FromBlock(good));
  EXPECT_NE(fine.get(), nullptr);
}
