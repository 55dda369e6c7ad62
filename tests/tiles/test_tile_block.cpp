// "TILE2"/"TILB2" blocks: the layout read back through LoadBlock and round trips in every pixel
// layout, the upgrade of a hand-made older block (and its load from a read-only archive), the newer
// layout under the old type, block types taken from a copy, and refused blocks that change nothing.
#include "TileTest.h"
#include "25_BlitRule.h"

namespace {

class TileBlockTest : public TileTest {};

// An older ("TILE", version 1.0) block made by hand: 3 x 2 pixels of 16-bit 565 (pitch 8), position
// (7, -9), tileset flag 1, tile width 1, stored colour key 0 ("none" in that layout).
std::string OlderBlock() {
  std::string bytes(24, '\0');
  const Uint32 head[6] = {3, 2, 7, (Uint32)-9, 1, 1};
  for (int i = 0; i < 6; ++i) Put32(&bytes, 4 * i, head[i]);
  sStoredPixelFormat f = {};
  f.bitsPerPixel = 16;
  f.bytesPerPixel = 2;
  f.rmask = 0xF800;
  f.gmask = 0x07E0;
  f.bmask = 0x001F;
  f.colorkey = 0;
  f.alpha = 255;
  Uint8 record[kStoredFormatSize];
  ydxfmt::EncodeFormat(f, record);
  bytes.append(reinterpret_cast<char*>(record), sizeof record);
  for (Uint16 px : {0xF800, 0x07E0, 0x001F, 0xAAAA, 0x0000, 0xFFFF, 0x1234, 0xBBBB}) bytes.append({(char)px, (char)(px >> 8)});
  return bytes;
}

}  // namespace

TEST_F(TileBlockTest, LayoutAndRoundTripInEveryPixelLayout) {
  int handle = IStuffDPF->Create("tiles.dpf");
  ASSERT_GT(handle, 0);
  for (const ydxtest::PatternFormat& f : ydxtest::PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfacePtr image(ydxtest::MakePattern(f, 5, 3));
    bool perPixel = f.amask != 0;
    const char* type = f.bpp == 16 ? "TILB2" : "TILE2";
    Uint32 key = f.bpp == 8 ? 3 : SDL_MapRGB(image->format, 255, 0, 255);
    if (!perPixel) {
      SDL_SetColorKey(image.get(), SDL_SRCCOLORKEY, key);
      SDL_SetAlpha(image.get(), SDL_SRCALPHA, 77);
    }
    Yandorix_CTile tile;
    ASSERT_EQ(tile.Create(image.get(), f.name), 1);
    tile.SetPosition(-7, 300000);
    tile.SetTileSet(1, 2, 3);
    ASSERT_GT(tile.Save(handle, type), 0);

    std::string bytes = Block(handle, type, f.name);
    size_t n = ((5 * ((f.bpp + 7) / 8) + 3) & ~3) * 3 + (f.bpp == 8 ? 1024 : 0);
    ASSERT_EQ(bytes.size(), n + 128);
    const Uint32 head[6] = {5, 3, (Uint32)-7, 300000, 1, 2};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Get32(bytes, 4 * i), head[i]) << "field " << i;
    EXPECT_EQ((Uint8)bytes[28], f.bpp);
    EXPECT_EQ(Get32(bytes, 24 + 16), f.rmask);
    EXPECT_EQ(Get32(bytes, 24 + 28), f.amask);
    EXPECT_EQ(Get32(bytes, 24 + 32), perPixel ? 0xFFFFFFFFu : key);
    EXPECT_EQ((Uint8)bytes[24 + 36], perPixel ? 255 : 77);
    EXPECT_EQ(Get32(bytes, 64 + n), 3u);
    EXPECT_EQ(bytes.substr(68 + n), std::string(60, '\0'));

    Yandorix_CTile back;
    ASSERT_EQ(back.Load(handle, f.name, type[3] == 'B' ? "TILB" : "TILE"), 1);
    EXPECT_TRUE(ydxtest::SameColors(back.GetSurface(), image.get(), perPixel));
    EXPECT_EQ(back.GetPosX() + back.GetPosY(), 300000 - 7);
    int w = 0, h = 0;
    EXPECT_EQ(back.GetOffset(&w, &h), 1);
    EXPECT_EQ(w * 10 + h, 23);
    EXPECT_EQ(back.GetAlpha(), perPixel ? 256 : 77);
    EXPECT_STREQ(back.GetName(), f.name);
    if (!perPixel) {
      Uint8 r, g, b, r0, g0, b0;
      SDL_GetRGB((Uint32)back.GetColorKey(), back.GetSurface()->format, &r, &g, &b);
      SDL_GetRGB(key, image->format, &r0, &g0, &b0);
      EXPECT_EQ(r << 16 | g << 8 | b, r0 << 16 | g0 << 8 | b0);
    }
  }
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, OlderBlockIsUpgradedAndLoadsFromAReadOnlyArchiveWithoutWriting) {
  std::string older = OlderBlock();
  for (const char* file : {"old.dpf", "ro.dpf"}) {
    int handle = IStuffDPF->Create(file);
    ASSERT_GT(Add(handle, "TILE", "old", older), 0);
    IStuffDPF->Close(handle);
  }
  std::string before = ydxtest::ReadFile("ro.dpf");
  NextOpenReadOnly();
  for (const char* file : {"ro.dpf", "old.dpf"}) {
    SCOPED_TRACE(file);
    Yandorix_CTile tile;
    ASSERT_EQ(tile.Load(file, "old", "TILE"), 1);
    EXPECT_EQ(tile.GetColorKey(), -1);
    int w = 0, h = 0;
    EXPECT_EQ(tile.GetOffset(&w, &h), 1);
    EXPECT_EQ(w * 10 + h, 11);
    EXPECT_EQ(tile.GetPosX() * 100 + tile.GetPosY(), 700 - 9);
    SDL_LockSurface(tile.GetSurface());
    EXPECT_EQ(static_cast<Uint16*>(tile.GetSurface()->pixels)[4 + 2], 0x1234);
    SDL_UnlockSurface(tile.GetSurface());
  }
  EXPECT_TRUE(LogHas(" . [CTile::Load('ro.dpf','old','TILE')] Warning: update to v2.0 was not possible"));
  EXPECT_EQ(ydxtest::ReadFile("ro.dpf"), before);
  EXPECT_TRUE(LogHas(" . [CTile::Load('old.dpf','old','TILE')] Info: tile successfully updated from v1.0 to v2.0.\n"));
  int handle = IStuffDPF->Open("old.dpf");
  EXPECT_EQ(Block(handle, "TILE", "old"), "");
  std::string expected = older;
  Put32(&expected, 24 + 32, 0xFFFFFFFFu);
  EXPECT_EQ(Block(handle, "TILE2", "old"), expected + std::string("\x01\0\0\0", 4) + std::string(60, '\0'));
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, NewerLayoutUnderTheOldTypeAndTypesTakenFromACopy) {
  int handle = IStuffDPF->Create("plain.dpf");
  SurfacePtr image = TilesetImage(2, 1, 2, 3);
  Yandorix_CTile tile;
  ASSERT_EQ(tile.Create(image.get(), "t"), 1);
  tile.SetTileSet(1, 2, 3);
  ASSERT_GT(tile.Save(handle, "TILE"), 0);
  ASSERT_GT(tile.Save(handle, "TILEX2"), 0);
  std::string saved = Block(handle, "TILE", "t");
  Yandorix_CTile back;
  ASSERT_EQ(back.Load(handle, "t", "TILE"), 1);
  int w = 0, h = 0;
  back.GetOffset(&w, &h);
  EXPECT_EQ(h, 3) << "taken for an older block with square tiles";
  EXPECT_EQ(Block(handle, "TILE", "t"), saved);
  EXPECT_EQ(Block(handle, "TILE2", "t"), "");
  const char type[] = "TILEX";   // the caller's text is never written
  Yandorix_CTile other;
  EXPECT_EQ(other.Load(handle, "t", type), 1);
  EXPECT_STREQ(type, "TILEX");
  for (const char* refused : {"TILEABC", "TIL", "XILE2"}) {
    Yandorix_CTile none;
    EXPECT_EQ(none.Load(handle, "t", refused), 0);
    EXPECT_TRUE(LogHas("','t','" + std::string(refused) + "')] Error: the typeblock is not supported.\n"));
  }
  EXPECT_EQ(tile.Save(handle, "TOOLONGTYPE"), 0);
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, RefusedBlocksLeaveTileAndArchiveAlone) {
  std::string older = OlderBlock();
  std::string badDepth = older, huge = older, flat = older, badKey = older;
  badDepth[28] = 12;
  Put32(&huge, 0, 0x40000000);
  Put32(&flat, 4, 0);
  Put32(&badKey, 24 + 32, 0x10000);
  struct Case {
    const char* name;
    const char* type;
    std::string bytes;
  } cases[] = {{"short", "TILE", older.substr(0, 40)}, {"cut", "TILE", older.substr(0, older.size() - 1)},
               {"long", "TILE", older + "x"},           {"depth", "TILE", badDepth},
               {"huge", "TILE", huge},                  {"flat", "TILE", flat},
               {"key", "TILE", badKey},                 {"oldlayout", "TILE2", older}};
  int handle = IStuffDPF->Create("bad.dpf");
  for (const Case& c : cases) ASSERT_GT(Add(handle, c.type, c.name, c.bytes), 0) << c.name;
  IStuffDPF->Close(handle);
  std::string before = ydxtest::ReadFile("bad.dpf");
  for (const Case& c : cases) {
    Yandorix_CTile tile;
    EXPECT_EQ(tile.Load("bad.dpf", c.name, "TILE"), 0) << c.name;
    EXPECT_TRUE(LogHas(" . [CTile::Load('bad.dpf','" + std::string(c.name) + "','TILE')] Error: tile block refused: "));
    EXPECT_EQ(tile.GetSurface(), nullptr);
  }
  Yandorix_CTile tile;
  EXPECT_EQ(tile.Load("bad.dpf", "nothing", "TILB2"), 0);
  EXPECT_TRUE(LogHas(" . [CTile::Load('bad.dpf','nothing','TILB2')] Error: tile not found.\n"));
  EXPECT_EQ(ydxtest::ReadFile("bad.dpf"), before);
}
