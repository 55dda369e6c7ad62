// Font creation and drawing: boxes and advances from single- and double-pixel marks and from marks
// built out of empty columns, Test and its diagnostic image, honest results for wrong counts, the
// 255-character measure, clipping, the text cursor, cursor placement, the conversion switch and the
// errors of the font's own pixel access.
#include "FontTest.h"
#include "01_Main.h"
#include "27_Font.h"

namespace {

class FontDrawTest : public FontTest {};

Row Joined(Row a, const Row& b) {
  a.insert(a.end(), b.begin(), b.end());
  std::sort(a.begin(), a.end());
  return a;
}

}  // namespace

TEST_F(FontDrawTest, BoxesAndAdvancesFromEveryKindOfMarks) {
  for (FontLayout::Marks marks : {FontLayout::kSingle, FontLayout::kDouble, FontLayout::kNone}) {
    SCOPED_TRACE(marks);
    FontLayout layout;
    layout.marks = marks;
    SurfacePtr image = FontImage(&layout);
    Yandorix_CFont font;
    ASSERT_EQ(font.Create(image.get()), 96);
    EXPECT_EQ(font.StringHeight(), kGlyphRows);
    // Two-pixel marks: the box edge on the second column, advances one less than the mark distance.
    int shorter = marks == FontLayout::kDouble ? 1 : 0;
    for (int i = 0; i < 94; ++i) {
      char text[2] = {(char)('!' + i), 0};
      ASSERT_EQ(font.StringWidth(text), layout.markx[i + 1] - layout.markx[i] - shorter) << text;
    }
    EXPECT_EQ(font.StringWidth("\x7f"), image->w - layout.markx[94]);   // code 127: to the edge
    SurfacePtr dest = Dest(64, 10);
    font.PutString(dest.get(), 3, 1, "!$", NULL);
    EXPECT_EQ(Drawn(dest.get(), 1), Expected("!$", 3, 1));
    EXPECT_EQ(Drawn(dest.get(), 7), Expected("!$", 3, 7));
    EXPECT_TRUE(Drawn(dest.get(), 0).empty() && Drawn(dest.get(), 8).empty());
  }
}

TEST_F(FontDrawTest, TestWritesTheDiagnosticImageAndResultsAreHonest) {
  FontLayout layout;
  layout.marks = FontLayout::kNone;
  SurfacePtr image = FontImage(&layout);
  Yandorix_CFont font;
  EXPECT_EQ(font.Test(image.get()), 0);
  EXPECT_FALSE(ydxtest::FileExists("FontWithErrors.bmp"));
  layout.touching = 10;
  image = FontImage(&layout);
  EXPECT_EQ(font.Test(image.get()), 93);
  EXPECT_TRUE(LogHas(" . [CFont::CreateUpperMark()] Warning: it was not possible to import bitmap with font characters.\n"));
  SurfacePtr shown(SDL_LoadBMP("FontWithErrors.bmp"));
  ASSERT_NE(shown.get(), nullptr);
  SurfacePtr wide(SDL_ConvertSurface(shown.get(), image->format, 0));
  EXPECT_EQ(Pixel32(wide.get(), 0, 0) & 0xFFFFFF, 0xFF00FFu);   // the marks it got
  EXPECT_EQ(Pixel32(wide.get(), 1, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(Pixel32(image.get(), 0, 0), 0u) << "Test marked the caller's image";
  EXPECT_EQ(font.Create(image.get()), 93);
  EXPECT_EQ(font.Test("FontWithErrors.bmp"), 255);   // its marks fill every column
  // 96 glyphs halve to the success value and 300 marks wrap a byte: both are reported as too many.
  layout = FontLayout();
  layout.marks = FontLayout::kNone;
  layout.glyphs = 96;
  image = FontImage(&layout);
  EXPECT_EQ(font.Create(image.get()), 254);
  EXPECT_EQ(font.Test(image.get()), 254);
  for (int glyphs : {95, 299}) {
    layout = FontLayout();
    layout.glyphs = glyphs;
    image = FontImage(&layout);
    EXPECT_EQ(font.Create(image.get()), 254) << glyphs;
  }
  layout.glyphs = 20;
  image = FontImage(&layout);
  EXPECT_EQ(font.Create(image.get()), 21);
  SurfacePtr blank(SDL_CreateRGBSurface(0, 40, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0));
  EXPECT_EQ(font.Test(blank.get()), 255);
  EXPECT_EQ(font.Create(blank.get()), 255);
  SurfacePtr eight(SDL_CreateRGBSurface(0, 8, 8, 8, 0, 0, 0, 0));
  EXPECT_EQ(font.Create(eight.get()), 255);
  EXPECT_TRUE(LogHas(" . [CFont::Create()] Warning: 8bits surface loaded is not supported to create a font.\n"));
  EXPECT_EQ(font.GetSurface(), nullptr);
}

TEST_F(FontDrawTest, MeasuringClippingAndTheCursor) {
  FontLayout layout;
  SurfacePtr image = FontImage(&layout);
  Yandorix_CFont font;
  ASSERT_EQ(font.Create(image.get()), 96);
  EXPECT_EQ(font.StringWidth(std::string(300, '!').c_str()), 255 * 2);
  EXPECT_EQ(font.StringWidth("!\t\n\xC3!"), 4);
  font.SetKerning(3);
  EXPECT_EQ(font.StringWidth("! !"), 2 + 3 + font.StringWidth(" ") + 2);
  SurfacePtr dest = Dest(64, 10);
  font.PutString(dest.get(), 0, 0, "!\t\xC3!", NULL);   // moves by advance + kerning, skips the rest
  EXPECT_EQ(Drawn(dest.get(), 0), Expected("!!", 0, 1, 3));
  font.SetKerning(0);
  // '$' covers x 1..4 and y 0..6; the clip keeps x 2..3, y 2..4.
  dest = Dest(16, 10);
  SDL_Rect clip = {2, 2, 2, 3};
  font.PutString(dest.get(), 0, 0, "$", &clip);
  for (int y = 0; y < 10; ++y)
    EXPECT_EQ(Drawn(dest.get(), y), y < 2 || y > 4 ? Row() : Row({{2, GlyphColor(3, 1, y + 1)}, {3, GlyphColor(3, 2, y + 1)}}));
  // '|' has a background column at its box's left edge: the cursor is drawn one pixel left of the
  // text position (+ 2 - the offset of 2), before the character at `pos` or after the text.
  dest = Dest(64, 10);
  font.PutStringWithCursor(dest.get(), 10, 0, "!", 5, NULL, 1);
  EXPECT_EQ(Drawn(dest.get(), 0), Joined(Expected("!", 10, 1), Expected("|", 12, 1)));
  dest = Dest(64, 10);
  font.PutStringWithCursor(dest.get(), 10, 0, "!", 0, NULL, 0);
  EXPECT_EQ(Drawn(dest.get(), 0), Expected("!", 10, 1));
  dest = Dest(64, 10);
  font.PutStringXCenter(dest.get(), 0, "!#", NULL);   // 6 wide: from x 29
  EXPECT_EQ(Drawn(dest.get(), 0), Expected("!#", 29, 1));
  // Advances 'a' 2, 'b' 3, 'c' 4: a click goes before the first character whose middle lies past it.
  EXPECT_EQ(font.SetCursorAt("abc", 0), 0);
  EXPECT_EQ(font.SetCursorAt("abc", 1), 1);
  EXPECT_EQ(font.SetCursorAt("abc", 3), 2);
  EXPECT_EQ(font.SetCursorAt("abc", 7), 3);
}

TEST_F(FontDrawTest, PerPixelFontsAndTheConversionSwitch) {
  FontLayout layout;
  layout.perPixel = true;
  layout.background = 0x00FFFFFF;   // white but fully transparent
  SurfacePtr image = FontImage(&layout);
  Yandorix_CFont font;
  ASSERT_EQ(font.Create(image.get()), 96);
  font.SetAlpha(100);
  EXPECT_EQ(font.GetAlpha(), 256);
  SurfacePtr dest = Dest(64, 10);
  font.PutString(dest.get(), 0, 0, "!#", NULL);
  EXPECT_EQ(Drawn(dest.get(), 3), Expected("!#", 0, 4));
  Yandorix.colordepth = 16;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  ASSERT_EQ(IImage->SavePNG("font.png", image.get(), 6), 0);
  for (int setting : {0, 1}) {
    Yandorix_AutoConvert = setting;
    Yandorix_CFont loaded;
    EXPECT_EQ(loaded.Create("font.png"), 96);
    EXPECT_EQ(Yandorix_AutoConvert, setting);
    EXPECT_EQ(loaded.StringWidth("!\"#"), 9);
  }
  Yandorix_CFont missing;
  EXPECT_EQ(missing.Create("missing.png"), 255);
  EXPECT_TRUE(LogHas(" . [CFont::Create('missing.png')] Error: it was not possible to load the given image file.\n"));
}

// The font's own pixel access reports a surface it cannot lock, and a pixel size it does not read, in
// the font's own words; a read then gives 0.
TEST_F(FontDrawTest, PixelAccessFailuresAreLogged) {
  Uint32 pixel = 0x00ABCDEF;
  SurfacePtr unlockable(SDL_CreateRGBSurfaceFrom(NULL, 4, 4, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0));
  ASSERT_TRUE(unlockable);
  unsigned address = (unsigned)(uintptr_t)unlockable.get();
  char line[128];
  EXPECT_EQ(ydxfont::FontGetPixel(unlockable.get(), 1, 2), 0u);
  snprintf(line, sizeof line, " . [CFont::CFontGetPixel(0x%x,1,2)] Error: surface has no pixels\n", address);
  EXPECT_TRUE(LogHas(line)) << line;
  EXPECT_FALSE(ydxfont::FontLockForWrite(unlockable.get(), 0, 0));
  EXPECT_TRUE(LogHas(" . [CFont::CFontSetPixel()] Error: surface has no pixels\n"));

  SurfacePtr odd(SDL_CreateRGBSurfaceFrom(&pixel, 1, 1, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0));
  ASSERT_TRUE(odd);
  odd->format->BytesPerPixel = 5;   // no SDL surface has it; a damaged one might
  EXPECT_EQ(ydxfont::FontGetPixel(odd.get(), 0, 0), 0u);
  EXPECT_FALSE(ydxfont::FontLockForWrite(odd.get(), 0, 0));
  odd->format->BytesPerPixel = 4;
  snprintf(line, sizeof line, " . [CFont::CFontGetPixel(0x%x,0,0)] Error: loading font", (unsigned)(uintptr_t)odd.get());
  EXPECT_TRUE(LogHas(line)) << line;
  EXPECT_EQ(ydxfont::FontGetPixel(odd.get(), 0, 0), pixel);

  // A font image whose marks cannot be read is refused with the lock's error, not silently.
  EXPECT_EQ(ydxfont::BuildMarkerRow(unlockable.get()), -1);
  EXPECT_TRUE(LogHas(" . [IPrimitives->Lock()] Error: surface has no pixels\n"));
}
