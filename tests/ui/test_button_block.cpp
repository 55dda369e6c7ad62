// "BUT" blocks: the description's bytes, every result of Save, the blocks Load refuses (and creates
// nothing from), round trips through blocks and archive files, Delete, and the dump without buttons.
#include "UiTest.h"
#include "41_Button.h"

namespace {

void Ignored(void*, void*) {}

class ButtonBlockTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    handle = IStuffDPF->Create("gui.dpf");
    ASSERT_GT(handle, 0);
  }
  void TearDown() override {
    IStuffDPF->Close(handle);
    UiTest::TearDown();
  }
  bool HasBlock(const char* type, const std::string& name) { return !Block(handle, type, name.c_str()).empty(); }
  int handle = 0;
};

}  // namespace

TEST(ButtonCodec, DescriptionIsLittleEndianFieldByField) {
  IButtonNew d = {Ignored, 0x0113, 8, 0x00A1B2C3, 0x0102, 0x0304, 0x00FF, -2};
  Uint8 bytes[24];
  ydxbut::EncodeDescription(d, bytes);
  const Uint8 expected[24] = {0, 0, 0, 0, 0x13, 0x01, 8, 0, 0xC3, 0xB2, 0xA1, 0, 0x02, 0x01, 0x04, 0x03,
                              0xFF, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::string((char*)bytes, 24), std::string((const char*)expected, 24));
  bytes[0] = bytes[1] = 0x5A;   // whatever a file holds there is no function of this process
  IButtonNew back = ydxbut::DecodeDescription(bytes);
  EXPECT_EQ(back.callback, nullptr);
  EXPECT_EQ(back.key, d.key);
  EXPECT_EQ(back.type, d.type);
  EXPECT_EQ(back.colorselect, d.colorselect);
  EXPECT_EQ(back.x, d.x);
  EXPECT_EQ(back.y, d.y);
  EXPECT_EQ(back.range, d.range);
  EXPECT_EQ(back.value, d.value);
}

TEST_F(ButtonBlockTest, EverySaveResult) {
  // Tiles: n p o s present as the letters say.
  const struct {
    const char* name;
    const char* tiles;
    int kind, key, range, value;
    Uint32 color;
    int expected;   // 1: a stored size
  } rows[] = {
      {"plain", "npo", 1, 0, 0, 0, 0, 1},        {"plain", "npo", 1, 0, 0, 0, 0, -1},
      {"no_n", "po", 1, 0, 0, 0, 0, -2},         {"no_p", "no", 1, 0, 0, 0, 0, -3},
      {"no_o", "np", 1, 0, 0, 0, 0, -4},         {"complex", "npo", 4, 0, 0, 0, 0, -5},
      {"keyed", "npos", 4, 400, 0, 0, 0, -6},    {"slider", "npo", 8, 0, 100, 101, 0, -7},
      {"bar", "npo", 16, 0, 256, 0, 0, -7},      {"negative", "npo", 8, 0, 10, -1, 0, -7},
      {"kind3", "npo", 3, 0, 0, 0, 0, 0},        {"white", "npo", 1, 0, 0, 0, 0xFFFFFFFF, 0},
      {"twenty-five characters!!!", "npo", 1, 0, 0, 0, 0, 0},
      {"input", "npo", 64, 321, 300, -4, 0, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    for (const char* t = row.tiles; *t; ++t)
      if (!HasBlock("TILB2", std::string(row.name) + "_" + *t)) SaveTile(handle, std::string(row.name) + "_" + *t, 4, 4, kRed);
    IButtonNew d = Desc(row.kind, 0, 0, row.range, row.value, row.color);
    d.key = (Uint16)row.key;
    int result = IButton->Save(handle, row.name, &d);
    if (row.expected == 1) EXPECT_GT(result, 0);
    else EXPECT_EQ(result, row.expected);
  }
  IButtonNew d = Desc(1, 0, 0);
  EXPECT_EQ(IButton->Save(handle, NULL, &d), 0);
  EXPECT_EQ(IButton->Save(0, "plain", &d), 0);
}

TEST_F(ButtonBlockTest, LoadRefusesBadBlocksWithAnErrorAndCreatesNothing) {
  SaveButtonTiles(handle, "bad", 8, 8);
  IButtonNew good = Desc(8, 5, 5, 10, 3);
  Uint8 bytes[24];
  ydxbut::EncodeDescription(good, bytes);
  std::string base((char*)bytes, 24);
  auto with = [&](size_t at, std::initializer_list<Uint8> values) {
    std::string b = base;
    for (Uint8 v : values) b[at++] = (char)v;
    return b;
  };
  const struct {
    const char* what;
    std::string block;
  } cases[] = {{"short", base.substr(0, 23)}, {"long", base + '\0'},        {"kind", with(6, {3})},
               {"key", with(4, {0x90, 0x01})}, {"range", with(16, {0, 1})}, {"value", with(20, {11})},
               {"negative", with(20, {0xFF, 0xFF, 0xFF, 0xFF})},           {"colour", with(8, {0xFF, 0xFF, 0xFF, 0xFF})}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string log = ydxtest::LogText();
    ASSERT_GT(Add(handle, "BUT", "bad", c.block), 0);
    EXPECT_EQ(IButton->Load(handle, "bad", 0), -1);
    EXPECT_EQ(Count(ydxtest::LogText(), "Error:"), Count(log, "Error:") + 1);
    EXPECT_EQ(IButton->GetNum(), 0);
    DPF_BlockData old = {};
    std::strcpy(old.name, "bad");
    std::strcpy(old.type, "BUT");
    ASSERT_EQ(IStuffDPF->Delete(handle, &old), 1);
  }
  EXPECT_EQ(IButton->Load(handle, "absent", 0), -1);
  EXPECT_TRUE(LogHas(" . [IButton->Load('absent','gui.dpf',0)] Error: button not found.\n"));
  ASSERT_GT(Add(handle, "BUT", "bad", base), 0);
  EXPECT_EQ(IButton->Load(handle, "bad", 0), 1);
}

TEST_F(ButtonBlockTest, RoundTripThroughBlocksAndFiles) {
  SaveButtonTiles(handle, "go", 10, 10, true);
  IButtonNew d = Desc(4, 30, 40, 0, 0, 0x123456);
  d.callback = Ignored;   // never stored
  d.key = SDLK_g;
  ASSERT_GT(IButton->Save(handle, "go", &d), 0);
  EXPECT_EQ(Block(handle, "BUT", "go").substr(0, 8), std::string("\0\0\0\0\x67\0\4\0", 8));
  IButtonNew back;
  ASSERT_EQ(IButton->LoadHeader(handle, "go", &back), 1);
  EXPECT_EQ(back.callback, nullptr);
  EXPECT_EQ(back.key, SDLK_g);
  EXPECT_EQ(back.colorselect, 0x123456u);
  EXPECT_EQ(back.x, 30);
  EXPECT_EQ(back.y, 40);
  EXPECT_EQ(IButton->LoadHeader(handle, "missing", &back), 0);
  int id = IButton->Load(handle, "go", 0);
  EXPECT_EQ(id, 1);
  EXPECT_TRUE(LogHas(" . [IButton->Load('go','gui.dpf',0)] Info: added new button(1).\n"));
  EXPECT_EQ(IButton->GetKey(id), SDLK_g);
  Frame(35, 45, 1);
  Frame(35, 45, 0);
  EXPECT_EQ(IButton->Draw(), id) << "fires without a callback";
  EXPECT_EQ(IButton->Load(handle, "go", 1), 1000);

  EXPECT_EQ(IButton->Delete(handle, "go"), 1);
  for (const char* t : {"_n", "_p", "_o", "_s"}) EXPECT_FALSE(HasBlock("TILB2", std::string("go") + t));
  EXPECT_EQ(IButton->LoadHeader(handle, "go", &back), 0);
  EXPECT_EQ(IButton->Delete(handle, "go"), 0);

  // File names: Save creates a missing archive; Load, LoadHeader and Delete only open one.
  EXPECT_EQ(IButton->Save("fresh.dpf", "go", &d), -3);
  EXPECT_TRUE(ydxtest::FileExists("fresh.dpf"));
  EXPECT_EQ(IButton->Load("missing.dpf", "go", 0), 0);
  EXPECT_EQ(IButton->LoadHeader("missing.dpf", "go", &back), 0);
  EXPECT_EQ(IButton->Delete("missing.dpf", "go"), 0);
}

TEST_F(ButtonBlockTest, InfoWithoutButtons) {
  EXPECT_EQ(IButton->Info(-1), 0);
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find("\n . IButton information:\n"
                     "\n   - Masterbuttons: 0 - Cloned buttons: 0 - Total working buttons: 0 - Current layer 0.\n"
                     "\n   - Dumping Master button list: None\n\n"
                     "\n   - Dumping Working layer list:\n"
                     "\n     -> Layer 0 - Visible state\n"
                     "\n     -> Layer 1 - Hidden state\n"),
            std::string::npos);
  EXPECT_EQ(Count(log, " - Hidden state\n"), 7u);
}
