// "FONT2" blocks: the layout read back through LoadBlock, round trips on black, opaque and transparent
// backgrounds and in 16 bits (the same text drawn the same way), an 8-bit screen's font saved as 32
// bits, the upgrade of an older "FONT" block and its load from a read-only archive, and refused
// blocks that leave font and archive alone.
#include "FontTest.h"

namespace {

const char kSample[] = "The quick brown fox {jumps} over 13 lazy dogs!";

class FontBlockTest : public FontTest {
 protected:
  // Row CRCs of a sample text drawn with kerning and the cursor.
  static std::vector<Uint32> SampleDrawing(Yandorix_CFont* font) {
    SurfacePtr dest = Dest(400, 10);
    font->PutStringWithCursor(dest.get(), 3, 1, kSample, 7, NULL, 1);
    return ydxtest::RowCRCs(dest.get());
  }
  // The "FONT2" bytes of a font of the generator's single-mark image.
  static std::string SavedBlock(int kerning) {
    FontLayout layout;
    SurfacePtr image = FontImage(&layout);
    Yandorix_CFont font;
    EXPECT_EQ(font.Create(image.get()), 96);
    font.SetKerning(kerning);
    int handle = IStuffDPF->Create("source.dpf");
    EXPECT_GT(font.Save(handle, "font"), 0);
    std::string bytes = Block(handle, "FONT2", "font");
    IStuffDPF->Close(handle);
    return bytes;
  }
};

}  // namespace

TEST_F(FontBlockTest, LayoutAndRoundTrips) {
  int handle = IStuffDPF->Create("fonts.dpf");
  struct Case {
    const char* name;
    FontLayout::Marks marks;
    Uint32 background;
    bool perPixel;
    int bpp;
  } cases[] = {{"black", FontLayout::kSingle, 0, false, 32},    {"white", FontLayout::kSingle, 0xFFFFFF, false, 32},
               {"built", FontLayout::kNone, 0, false, 32},      {"clear", FontLayout::kSingle, 0x00FF00, true, 32},
               {"white16", FontLayout::kDouble, 0xFFFFFF, false, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FontLayout layout;
    layout.marks = c.marks;
    layout.background = c.background;
    layout.perPixel = c.perPixel;
    SurfacePtr image = FontImage(&layout);
    SurfacePtr model(ydxtest::MakeSurface(ydxtest::PatternFormatNamed("rgb565"), 1, 1));
    if (c.bpp == 16) image.reset(SDL_ConvertSurface(image.get(), model->format, 0));
    Yandorix_CFont font;
    ASSERT_EQ(font.Create(image.get()), 96);
    font.SetKerning(-1);
    if (!c.perPixel) font.SetAlpha(200);
    ASSERT_GT(font.Save(handle, c.name), 0);
    std::string bytes = Block(handle, "FONT2", c.name);
    size_t n = (size_t)image->pitch * 8;
    ASSERT_EQ(bytes.size(), n + 180);
    EXPECT_EQ(Get32(bytes, 0) * 100 + Get32(bytes, 4), (Uint32)image->w * 100 + 8);
    EXPECT_EQ((Uint8)bytes[8 + 4], c.bpp);
    EXPECT_EQ(Get32(bytes, 8 + 28), c.perPixel ? 0xFF000000u : 0u);
    EXPECT_EQ(Get32(bytes, 8 + 32), c.perPixel ? 0xFFFFFFFFu : c.bpp == 16 ? c.background & 0xFFFF : c.background);
    EXPECT_EQ((Sint32)Get32(bytes, 48 + n), -1);
    EXPECT_EQ(bytes.substr(52 + n), std::string(128, '\0'));
    Yandorix_CFont back;
    ASSERT_EQ(back.Load(handle, c.name), 1);
    EXPECT_STREQ(back.GetName(), c.name);
    EXPECT_EQ(back.GetKerning(), -1);
    EXPECT_EQ(back.GetAlpha(), c.perPixel ? 256 : 200);
    EXPECT_EQ(SampleDrawing(&back), SampleDrawing(&font));
  }
  IStuffDPF->Close(handle);
}

TEST_F(FontBlockTest, AFontOnAn8BitScreenIsSavedAs32BitsOfTheSameColours) {
  Yandorix.colordepth = 8;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  FontLayout layout;
  SurfacePtr image = FontImage(&layout);
  Yandorix_CFont font;
  ASSERT_EQ(font.Create(image.get()), 96);
  SDL_Surface* s = font.GetSurface();
  ASSERT_EQ(s->format->BitsPerPixel, 8);
  int handle = IStuffDPF->Create("eight.dpf");
  ASSERT_GT(font.Save(handle, "f"), 0);
  std::string bytes = Block(handle, "FONT2", "f");
  IStuffDPF->Close(handle);
  ASSERT_EQ(bytes.size(), (size_t)s->w * 4 * 8 + 180);
  EXPECT_EQ((Uint8)bytes[8 + 4], 32);
  auto rgb = [](const SDL_Color& c) { return (Uint32)c.r << 16 | (Uint32)c.g << 8 | c.b; };
  EXPECT_EQ(Get32(bytes, 8 + 32), rgb(s->format->palette->colors[s->format->colorkey]));
  for (int y = 0; y < s->h; y += 3)
    for (int x = 0; x < s->w; x += 7)
      ASSERT_EQ(Get32(bytes, 48 + ((size_t)y * s->w + x) * 4) & 0xFFFFFF,
                rgb(s->format->palette->colors[static_cast<Uint8*>(s->pixels)[y * s->pitch + x]]));
}

TEST_F(FontBlockTest, OlderBlockIsUpgradedAndLoadsFromAReadOnlyArchiveWithoutWriting) {
  std::string current = SavedBlock(4);
  std::string older = current.substr(0, current.size() - 132);
  for (const char* file : {"old.dpf", "ro.dpf"}) {
    int handle = IStuffDPF->Create(file);
    ASSERT_GT(Add(handle, "FONT", "old", older), 0);
    ASSERT_GT(Add(handle, "FONT", "new", current), 0);   // the current layout under the old type
    IStuffDPF->Close(handle);
  }
  std::string before = ydxtest::ReadFile("ro.dpf");
  NextOpenReadOnly();
  for (const char* file : {"ro.dpf", "old.dpf"}) {
    Yandorix_CFont font, other;
    ASSERT_EQ(font.Load(file, "old"), 1) << file;
    EXPECT_EQ(font.GetKerning(), 0);
    EXPECT_EQ(font.StringWidth("!\"#"), 9);
    ASSERT_EQ(other.Load(file, "new"), 1) << file;
    EXPECT_EQ(other.GetKerning(), 4);
  }
  EXPECT_TRUE(LogHas(" . [CFont::Load('ro.dpf','old')] Warning: update to v2.0 was not possible"));
  EXPECT_EQ(ydxtest::ReadFile("ro.dpf"), before);
  EXPECT_TRUE(LogHas(" . [CFont::Load('old.dpf','old')] Info: font successfully updated from v1.0 to v2.0.\n"));
  int handle = IStuffDPF->Open("old.dpf");
  EXPECT_EQ(Block(handle, "FONT", "old"), "");
  EXPECT_EQ(Block(handle, "FONT2", "old"), older + std::string(132, '\0'));
  EXPECT_EQ(Block(handle, "FONT", "new"), current);
  EXPECT_EQ(Block(handle, "FONT2", "new"), "");
  IStuffDPF->Close(handle);
}

TEST_F(FontBlockTest, RefusedBlocksLeaveFontAndArchiveAlone) {
  std::string current = SavedBlock(0);
  std::string older = current.substr(0, current.size() - 132);
  std::string eightBit = current, blank = older;
  eightBit[8 + 4] = 8;
  std::fill(blank.begin() + 48, blank.end(), '\0');   // all background: no glyph to find
  struct Case {
    const char* name;
    const char* type;
    std::string bytes;
    const char* why;
  } cases[] = {{"short", "FONT2", current.substr(0, 30), "Error: font block refused"},
               {"cut", "FONT", older.substr(0, older.size() - 1), "Error: font block refused"},
               {"eight", "FONT2", eightBit, "Error: font block refused"},
               {"older", "FONT2", older, "Error: font block refused"},
               {"blank", "FONT", blank, "Error: internal failure (255).\n"}};
  int handle = IStuffDPF->Create("bad.dpf");
  for (const Case& c : cases) ASSERT_GT(Add(handle, c.type, c.name, c.bytes), 0) << c.name;
  IStuffDPF->Close(handle);
  std::string before = ydxtest::ReadFile("bad.dpf");
  for (const Case& c : cases) {
    Yandorix_CFont font;
    EXPECT_EQ(font.Load("bad.dpf", c.name), 0) << c.name;
    EXPECT_TRUE(LogHas(" . [CFont::Load('bad.dpf','" + std::string(c.name) + "')] " + c.why)) << c.name;
    EXPECT_EQ(font.GetAlpha(), -1);
  }
  Yandorix_CFont font;
  EXPECT_EQ(font.Load("bad.dpf", "nothing"), 0);
  EXPECT_TRUE(LogHas(" . [CFont::Load('bad.dpf','nothing')] Error: font not found\n"));
  EXPECT_EQ(font.Save("bad.dpf", "x"), 0);   // empty font
  EXPECT_EQ(ydxtest::ReadFile("bad.dpf"), before);
}
