// "IMG" blocks in real archives: round trips by handle and by file name, duplicates and missing
// blocks. Each test first checks that the archive service is there.
#include "PixTest.h"
#include <cstring>

using ydxtest::PatternFormatNamed;

namespace {

class ImageArchiveTest : public PixTest {
 protected:
  // An open, empty archive; 0 when the archive service cannot create one.
  int NewArchive(const char* file) {
    int handle = IStuffDPF->Create(file);
    return handle > 0 ? handle : 0;
  }
};

}  // namespace

TEST_F(ImageArchiveTest, EveryDepthRoundTripsByHandle) {
  int handle = NewArchive("images.dpf");
  ASSERT_GT(handle, 0);
  struct Case {
    const char* name;
    const char* format;
    int key;     // pixel (key, key) becomes the key; -1 none
    int alpha;   // surface alpha; 255 none
  } cases[] = {{"pal", "pal8", 2, 255}, {"c16", "rgb565", 1, 255}, {"c24", "bgr24", -1, 90},
               {"c32", "xrgb32", 3, 255}, {"a32", "argb32", -1, 255}, {"a32s", "argb32", -1, 200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SurfaceHolder s(ydxtest::MakePattern(PatternFormatNamed(c.format), 9, 5, 3));
    Uint32 key = c.key >= 0 ? RawAt(s.get(), c.key, c.key) : 0;
    if (c.key >= 0) SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, key);
    if (c.alpha != 255) SDL_SetAlpha(s.get(), SDL_SRCALPHA, (Uint8)c.alpha);
    EXPECT_GT(IImage->Save(handle, c.name, s.get()), 0);
    sHeaderIPF header;
    SurfaceHolder back(IImage->Load(handle, c.name, &header));
    ASSERT_NE(back.get(), nullptr);
    EXPECT_EQ(ydxtest::RowCRCs(back.get()), ydxtest::RowCRCs(s.get()));
    EXPECT_EQ(header.colorkey, c.key >= 0 ? (Sint32)key : -1);
    EXPECT_EQ(header.alpha, c.alpha);
    EXPECT_STREQ(header.name, c.name);
    EXPECT_EQ(back->format->colorkey, c.key >= 0 ? key : 0xFFFFFFFFu);
  }
  IStuffDPF->Close(handle);
}

TEST_F(ImageArchiveTest, ByFileNameDuplicatesAndMissingBlocks) {
  SurfaceHolder s(ydxtest::MakePattern(PatternFormatNamed("rgb24"), 6, 6));
  EXPECT_GT(IImage->Save("new.dpf", "tile", s.get()), 0);   // the archive is created
  SurfaceHolder other(ydxtest::MakePattern(PatternFormatNamed("rgb24"), 6, 6, 8));
  EXPECT_EQ(IImage->Save("new.dpf", "tile", other.get()), -1);
  SurfaceHolder back(IImage->Load("new.dpf", "tile", NULL));
  ASSERT_NE(back.get(), nullptr);
  EXPECT_EQ(ydxtest::RowCRCs(back.get()), ydxtest::RowCRCs(s.get()));   // the first one stays
  EXPECT_EQ(IImage->Load("new.dpf", "nothere", NULL), nullptr);
  EXPECT_TRUE(LogHas("','nothere',0x0)] Error: image not found.\n"));
  EXPECT_EQ(IImage->Save(0, "x", s.get()), 0);
  EXPECT_EQ(IImage->Load(0, "x", NULL), nullptr);
  EXPECT_EQ(IImage->Save("new.dpf", "a-name-that-is-longer-than-31-chars", s.get()), 0);
}

TEST_F(ImageArchiveTest, WithoutAnArchiveServiceEverythingRefuses) {
  // Holds whether or not archives work: bad handles and files never give a surface.
  SurfaceHolder s(ydxtest::MakePattern(PatternFormatNamed("rgb24"), 2, 2));
  EXPECT_EQ(IImage->Load(-1, "x", NULL), nullptr);
  EXPECT_EQ(IImage->Load("missing/none.dpf", "x", NULL), nullptr);
  EXPECT_TRUE(LogHas(" . [IImage->Load('missing/none.dpf','x',0x0)] Error"));
  EXPECT_EQ(IImage->Save(-3, "x", s.get()), 0);
  EXPECT_EQ(IImage->Save(1, "x", NULL), 0);
}
