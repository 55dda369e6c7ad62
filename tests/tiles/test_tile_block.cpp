// "TILE2"/"TILB2" blocks: the layout read back through LoadBlock for every pixel layout, round trips,
// the upgrade of a hand-made older block (and its load on a read-only archive), blocks of the new
// layout under the old type, block types, and refused blocks that leave tile and archive alone.
#include "TileTest.h"
#include "00_Platform.h"
#include "25_BlitRule.h"
#include "26_Tile.h"
#include <cerrno>
#include <cstring>

namespace {

int failOpens = 0;
// Fails the read-write open of an archive, so it is opened read-only.
int ReadOnlyHook(ydxplat::FaultOp op, const char*, size_t*) {
  if (op == ydxplat::kOpOpen && failOpens > 0) {
    failOpens--;
    return EACCES;
  }
  return 0;
}

Uint32 Get32(const std::string& bytes, size_t at) {
  Uint32 v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | (Uint8)bytes[at + i];
  return v;
}
void Put32(std::string* bytes, size_t at, Uint32 v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = (char)(v >> (8 * i));
}

class TileBlockTest : public TileTest {
 protected:
  void TearDown() override {
    ydxplat::SetFaultHook(NULL);
    TileTest::TearDown();
  }
  // A block's bytes as the archive holds them; empty when there is none.
  static std::string Block(int handle, const char* type, const char* name) {
    DPF_BlockData block;
    if (IStuffDPF->LoadBlock(handle, type, name, &block) <= 0) return "";
    std::string bytes(block.data, (size_t)block.size);
    IStuffDPF->FreeBlock(&block);
    return bytes;
  }
  static int Add(int handle, const char* type, const char* name, const std::string& bytes) {
    DPF_BlockData block;
    std::memset(&block, 0, sizeof block);
    std::strcpy(block.name, name);
    std::strcpy(block.type, type);
    block.size = (int)bytes.size();
    block.data = const_cast<char*>(bytes.data());
    return IStuffDPF->AddData(handle, &block);
  }
};

// An older ("TILE", version 1.0) block made by hand: a 3 x 2 image of 16-bit 565 pixels (pitch 8),
// position (7, -9), tileset flag 1, tile width 1, stored colour key 0 ("none" in that layout).
std::string OlderBlock() {
  std::string bytes(24, '\0');
  Put32(&bytes, 0, 3);
  Put32(&bytes, 4, 2);
  Put32(&bytes, 8, 7);
  Put32(&bytes, 12, (Uint32)-9);
  Put32(&bytes, 16, 1);
  Put32(&bytes, 20, 1);
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
  const Uint16 rows[2][4] = {{0xF800, 0x07E0, 0x001F, 0xAAAA}, {0x0000, 0xFFFF, 0x1234, 0xBBBB}};
  for (const auto& row : rows)
    for (Uint16 px : row) bytes.append({(char)(px & 0xFF), (char)(px >> 8)});
  return bytes;   // 64 + 16 bytes
}

}  // namespace

TEST_F(TileBlockTest, LayoutAndRoundTripInEveryPixelLayout) {
  int handle = IStuffDPF->Create("tiles.dpf");
  ASSERT_GT(handle, 0);
  for (const ydxtest::PatternFormat& f : ydxtest::PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfacePtr image(ydxtest::MakePattern(f, 5, 3));
    bool perPixel = f.amask != 0;
    Uint32 key = f.bpp == 8 ? 3 : SDL_MapRGB(image->format, 255, 0, 255);
    if (!perPixel) {
      SDL_SetColorKey(image.get(), SDL_SRCCOLORKEY, key);
      SDL_SetAlpha(image.get(), SDL_SRCALPHA, 77);
    }
    Yandorix_CTile tile;
    ASSERT_EQ(tile.Create(image.get(), f.name), 1);
    tile.SetPosition(-7, 300000);
    tile.SetTileSet(1, 2, 3);
    ASSERT_GT(tile.Save(handle, "TILE2"), 0);

    std::string bytes = Block(handle, "TILE2", f.name);
    size_t pitch = ((size_t)5 * ((f.bpp + 7) / 8) + 3) & ~(size_t)3;
    size_t n = pitch * 3 + (f.bpp == 8 ? 1024 : 0);
    ASSERT_EQ(bytes.size(), n + 128);
    EXPECT_EQ(Get32(bytes, 0), 5u);
    EXPECT_EQ(Get32(bytes, 4), 3u);
    EXPECT_EQ((Sint32)Get32(bytes, 8), -7);
    EXPECT_EQ(Get32(bytes, 12), 300000u);
    EXPECT_EQ(Get32(bytes, 16), 1u);
    EXPECT_EQ(Get32(bytes, 20), 2u);
    EXPECT_EQ((Uint8)bytes[28], f.bpp);
    EXPECT_EQ(Get32(bytes, 24 + 16), f.rmask);
    EXPECT_EQ(Get32(bytes, 24 + 28), f.amask);
    EXPECT_EQ(Get32(bytes, 24 + 32), perPixel ? 0xFFFFFFFFu : key);
    EXPECT_EQ((Uint8)bytes[24 + 36], perPixel ? 255 : 77);
    EXPECT_EQ(Get32(bytes, 64 + n), 3u);
    EXPECT_EQ(bytes.substr(68 + n), std::string(60, '\0'));

    Yandorix_CTile back;
    ASSERT_EQ(back.Load(handle, f.name, "TILE"), 1);
    EXPECT_TRUE(ydxtest::SameColors(back.GetSurface(), image.get(), perPixel));
    EXPECT_EQ(back.GetPosX(), -7);
    EXPECT_EQ(back.GetPosY(), 300000);
    int w = 0, h = 0;
    EXPECT_EQ(back.GetOffset(&w, &h), 1);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(back.GetAlpha(), perPixel ? 256 : 77);
    EXPECT_STREQ(back.GetName(), f.name);
    if (perPixel) {
      EXPECT_EQ(back.GetColorKey(), -1);
    } else if (f.bpp == 8) {
      EXPECT_EQ(back.GetColorKey(), 3);
    } else {
      Uint8 r, g, b, r0, g0, b0;
      SDL_GetRGB((Uint32)back.GetColorKey(), back.GetSurface()->format, &r, &g, &b);
      SDL_GetRGB(key, image->format, &r0, &g0, &b0);
      EXPECT_EQ(r * 65536 + g * 256 + b, r0 * 65536 + g0 * 256 + b0);
      EXPECT_EQ(back.GetSurface()->format->colorkey, (Uint32)back.GetColorKey());
    }
  }
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, ButtonTilesAndFileForms) {
  SurfacePtr image = TilesetImage(1, 1, 4, 4);
  Yandorix_CTile tile;
  EXPECT_EQ(tile.Save("b.dpf", "TILB2"), 0);   // empty tile
  ASSERT_EQ(tile.Create(image.get(), "ok_n"), 1);
  EXPECT_GT(tile.Save("b.dpf", "TILB2"), 0);   // archive created
  EXPECT_EQ(tile.Save("b.dpf", "TILB2"), -1);  // the block exists
  EXPECT_EQ(tile.Save(0, "TILB2"), 0);
  EXPECT_EQ(tile.Save("b.dpf", "TOOLONGTYPE"), 0);
  Yandorix_CTile back;
  EXPECT_EQ(back.Load("b.dpf", "ok_n", "TILB"), 1);
  EXPECT_TRUE(ydxtest::RowsMatch(back.GetSurface(), ydxtest::RowCRCs(image.get())) ||
              ydxtest::SameColors(back.GetSurface(), image.get(), false));
  EXPECT_EQ(back.GetOffset(NULL, NULL), 0);
  Yandorix_CTile missing;
  EXPECT_EQ(missing.Load("b.dpf", "nothing", "TILB2"), 0);
  EXPECT_TRUE(LogHas("','nothing','TILB2')] Error: tile not found.\n"));
  EXPECT_EQ(missing.Load("none.dpf", "ok_n", "TILB2"), 0);
  EXPECT_EQ(missing.GetSurface(), nullptr);
}

TEST_F(TileBlockTest, TypesAreCheckedOnACopy) {
  int handle = IStuffDPF->Create("types.dpf");
  ASSERT_GT(handle, 0);
  SurfacePtr image = TilesetImage(1, 1, 4, 4);
  Yandorix_CTile tile;
  ASSERT_EQ(tile.Create(image.get(), "t"), 1);
  ASSERT_GT(tile.Save(handle, "TILEX2"), 0);
  const char literal[] = "TILEX";   // read-only memory in the caller's eyes: never written
  Yandorix_CTile back;
  EXPECT_EQ(back.Load(handle, "t", literal), 1);
  EXPECT_STREQ(literal, "TILEX");
  Yandorix_CTile refused;
  for (const char* type : {"TILEABC", "TIL", "XILE2", "tile2"}) {
    EXPECT_EQ(refused.Load(handle, "t", type), 0) << type;
    EXPECT_TRUE(LogHas("','t','" + std::string(type) + "')] Error: the typeblock is not supported.\n")) << type;
  }
  EXPECT_EQ(refused.Load(handle, "t", NULL), 0);
  EXPECT_EQ(refused.Load(handle, NULL, "TILE"), 0);
  EXPECT_EQ(refused.Load(0, "t", "TILE"), 0);
  ASSERT_EQ(refused.Load(handle, "t", "TILEX2"), 1);
  EXPECT_EQ(refused.Load(handle, "t", "TILEX2"), 0);
  EXPECT_TRUE(LogHas("','t','TILEX2')] Warning: tile already exists. It is not possible to create another one.\n"));
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, OlderBlockIsUpgradedInTheArchive) {
  int handle = IStuffDPF->Create("old.dpf");
  ASSERT_GT(handle, 0);
  std::string older = OlderBlock();
  ASSERT_GT(Add(handle, "TILE", "old", older), 0);
  Yandorix_CTile tile;
  ASSERT_EQ(tile.Load(handle, "old", "TILE"), 1);
  EXPECT_EQ(tile.GetColorKey(), -1);
  EXPECT_FALSE(tile.GetSurface()->flags & SDL_SRCCOLORKEY);
  int w = 0, h = 0;
  EXPECT_EQ(tile.GetOffset(&w, &h), 1);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(tile.GetPosX(), 7);
  EXPECT_EQ(tile.GetPosY(), -9);
  SDL_LockSurface(tile.GetSurface());
  EXPECT_EQ(static_cast<Uint16*>(tile.GetSurface()->pixels)[1], 0x07E0);
  EXPECT_EQ(static_cast<Uint16*>(tile.GetSurface()->pixels)[4 + 2], 0x1234);
  SDL_UnlockSurface(tile.GetSurface());
  EXPECT_TRUE(LogHas("','old','TILE')] Info: tile successfully updated from v1.0 to v2.0.\n"));

  EXPECT_EQ(Block(handle, "TILE", "old"), "");
  std::string upgraded = Block(handle, "TILE2", "old");
  std::string expected = older;
  Put32(&expected, 24 + 32, 0xFFFFFFFFu);
  expected += std::string("\x01\0\0\0", 4) + std::string(60, '\0');
  EXPECT_EQ(upgraded, expected);
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, OlderBlockOnAReadOnlyArchiveLoadsAndNothingIsWritten) {
  int handle = IStuffDPF->Create("ro.dpf");
  ASSERT_GT(handle, 0);
  ASSERT_GT(Add(handle, "TILE", "old", OlderBlock()), 0);
  IStuffDPF->Close(handle);
  std::string before = ydxtest::ReadFile("ro.dpf");
  failOpens = 1;
  ydxplat::SetFaultHook(ReadOnlyHook);
  Yandorix_CTile tile;
  ASSERT_EQ(tile.Load("ro.dpf", "old", "TILE"), 1);
  EXPECT_TRUE(LogHas(" . [IStuffDPF->Open('ro.dpf')] Warning: file opened in read only mode.\n"));
  EXPECT_TRUE(LogHas(" . [CTile::Load('ro.dpf','old','TILE')] Warning: update to v2.0 was not possible"));
  EXPECT_EQ(tile.GetColorKey(), -1);
  EXPECT_EQ(tile.GetSizeX(), 3);
  EXPECT_EQ(ydxtest::ReadFile("ro.dpf"), before);
}

TEST_F(TileBlockTest, NewLayoutUnderTheOldTypeIsNeitherUpgradedNorDeleted) {
  int handle = IStuffDPF->Create("plain.dpf");
  ASSERT_GT(handle, 0);
  SurfacePtr image = TilesetImage(2, 1, 2, 3);
  Yandorix_CTile tile;
  ASSERT_EQ(tile.Create(image.get(), "t"), 1);
  tile.SetTileSet(1, 2, 3);
  ASSERT_GT(tile.Save(handle, "TILE"), 0);
  std::string saved = Block(handle, "TILE", "t");
  Yandorix_CTile back;
  ASSERT_EQ(back.Load(handle, "t", "TILE"), 1);
  int w = 0, h = 0;
  back.GetOffset(&w, &h);
  EXPECT_EQ(h, 3);   // not taken for an older block with square tiles
  EXPECT_EQ(Block(handle, "TILE", "t"), saved);
  EXPECT_EQ(Block(handle, "TILE2", "t"), "");
  EXPECT_FALSE(LogHas("updated from v1.0"));
  IStuffDPF->Close(handle);
}

TEST_F(TileBlockTest, RefusedBlocksLeaveTileAndArchiveAlone) {
  int handle = IStuffDPF->Create("bad.dpf");
  ASSERT_GT(handle, 0);
  std::string older = OlderBlock();
  std::string badDepth = older;
  badDepth[28] = 12;
  std::string hugeSide = older;
  Put32(&hugeSide, 0, 0x40000000);
  std::string zeroHigh = older;
  Put32(&zeroHigh, 4, 0);
  std::string badKey = older;
  Put32(&badKey, 24 + 32, 0x10000);
  struct Case {
    const char* name;
    const char* type;
    std::string bytes;
  } cases[] = {{"short", "TILE", older.substr(0, 40)},   {"cut", "TILE", older.substr(0, older.size() - 1)},
               {"long", "TILE", older + "x"},             {"depth", "TILE", badDepth},
               {"huge", "TILE", hugeSide},                {"flat", "TILE", zeroHigh},
               {"key", "TILE", badKey},                   {"oldlayout", "TILE2", older}};
  for (const Case& c : cases) ASSERT_GT(Add(handle, c.type, c.name, c.bytes), 0) << c.name;
  IStuffDPF->Close(handle);
  std::string before = ydxtest::ReadFile("bad.dpf");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Yandorix_CTile tile;
    EXPECT_EQ(tile.Load("bad.dpf", c.name, "TILE"), 0);
    EXPECT_TRUE(LogHas(" . [CTile::Load('bad.dpf','" + std::string(c.name) + "','TILE')] Error: tile block refused: "));
    EXPECT_EQ(tile.GetSurface(), nullptr);
    EXPECT_EQ(tile.GetName(), nullptr);
  }
  EXPECT_EQ(ydxtest::ReadFile("bad.dpf"), before);
}

TEST_F(TileBlockTest, CodecTellsTheLayoutBySize) {
  std::string older = OlderBlock();
  ydxtile::sTileBlock block;
  std::string why;
  ASSERT_TRUE(ydxtile::DecodeTileBlock((const Uint8*)older.data(), older.size(), &block, &why)) << why;
  EXPECT_EQ(block.version, 1);
  EXPECT_EQ(block.tileh, 1);
  EXPECT_EQ(block.format.colorkey, -1);
  std::vector<Uint8> upgraded;
  ydxtile::UpgradeTileBlock((const Uint8*)older.data(), block, &upgraded);
  ASSERT_EQ(upgraded.size(), older.size() + 64);
  ASSERT_TRUE(ydxtile::DecodeTileBlock(upgraded.data(), upgraded.size(), &block, &why)) << why;
  EXPECT_EQ(block.version, 2);
  EXPECT_EQ(block.pixelBytes, 16u);
  for (size_t cut : {0, 10, 63, 70, 79, 81, 143})
    EXPECT_FALSE(ydxtile::DecodeTileBlock(upgraded.data(), cut, &block, &why)) << cut;
  upgraded.push_back(0);
  EXPECT_FALSE(ydxtile::DecodeTileBlock(upgraded.data(), upgraded.size(), &block, &why));
}
