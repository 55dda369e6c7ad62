// "SPR2" blocks: the exact layout and size, byte-exact round trips, full 32-bit positions, every pixel
// layout, the upgrade of hand-made "SPR" blocks (also on a read-only archive), new blocks saved under
// the old type, and broken blocks refused before anything is allocated or written.
#include "SpriteTest.h"
#include "29_SpriteBlock.h"
#include "00_Platform.h"
#include <cerrno>
#include <cstring>

namespace {

Uint32 Le32(const std::string& b, size_t at) {
  return (Uint8)b[at] | ((Uint8)b[at + 1] << 8) | ((Uint8)b[at + 2] << 16) | ((Uint32)(Uint8)b[at + 3] << 24);
}
Uint16 Le16(const std::string& b, size_t at) { return (Uint16)((Uint8)b[at] | ((Uint8)b[at + 1] << 8)); }
void Put32(std::string* out, Uint32 v) {
  for (int i = 0; i < 4; ++i) out->push_back((char)(v >> (8 * i)));
}
void Put16(std::string* out, Uint16 v) {
  out->push_back((char)v);
  out->push_back((char)(v >> 8));
}

int failOpens = 0;
// Fails the read-write open of an archive, so it opens read only.
int ReadOnlyHook(ydxplat::FaultOp op, const char*, size_t*) {
  if (op == ydxplat::kOpOpen && failOpens > 0) {
    failOpens--;
    return EACCES;
  }
  return 0;
}

class BlockTest : public SpriteTest {
 protected:
  void TearDown() override {
    ydxplat::SetFaultHook(nullptr);
    SpriteTest::TearDown();
  }
  // The data of a block, empty when the archive has none of that type and name.
  static std::string BlockData(const char* file, const char* type, const char* name) {
    int handle = IStuffDPF->Open(file);
    DPF_BlockData block;
    int size = IStuffDPF->LoadBlock(handle, type, name, &block);
    std::string data = size > 0 ? std::string(block.data, (size_t)size) : std::string();
    IStuffDPF->FreeBlock(&block);
    IStuffDPF->Close(handle);
    return data;
  }
  static int AddBlock(const char* file, const char* type, const char* name, const std::string& data) {
    int handle = ydxplat::Access(file, 0) == 0 ? IStuffDPF->Open(file) : IStuffDPF->Create(file);
    DPF_BlockData block;
    std::memset(&block, 0, sizeof block);
    std::strcpy(block.name, name);
    std::strcpy(block.type, type);
    block.size = (int)data.size();
    block.data = const_cast<char*>(data.data());
    int result = IStuffDPF->AddData(handle, &block);
    IStuffDPF->Close(handle);
    return result;
  }
  // A version-1 block: 2 animations of 2 and 3 frames of 4 x 4 at 16 bits, key 0 (none), a record word
  // that means nothing, and frame times 10, 20 / 30, 40, 50.
  static std::string OldBlock(SDL_Surface** sheetOut) {
    SDL_Surface* sheet = MakeSheet(3, 2, 4, 4, 16);
    std::string b;
    for (Uint32 v : {4u, 4u, (Uint32)-3, 7u, 2u, 12u}) Put32(&b, v);
    const Uint16 counts[2] = {2, 3};
    Uint32 time = 10;
    for (int anim = 0; anim < 2; ++anim) {
      Put16(&b, anim ? 8 : 4);
      Put16(&b, (Uint16)(0x4000 + anim));
      Put16(&b, counts[anim]);
      Put16(&b, 1);
      Put32(&b, 0xDEADBEEF);
      for (int f = 0; f < counts[anim]; ++f, time += 10) Put32(&b, time);
    }
    sStoredPixelFormat format = ydxfmt::FormatOf(sheet->format);
    format.colorkey = 0;
    format.alpha = 255;
    Uint8 record[kStoredFormatSize];
    ydxfmt::EncodeFormat(format, record);
    b.append((const char*)record, sizeof record);
    b.append((const char*)sheet->pixels, (size_t)sheet->pitch * sheet->h);
    *sheetOut = sheet;
    return b;
  }
};

}  // namespace

TEST_F(BlockTest, TwoAnimationsOf3And4FramesAt32BitsMake33072BytesAndRoundTripByteForByte) {
  OpenScreen(32);
  SurfaceHolder sheet(MakeSheet(4, 2, 32, 32));
  BlankFrame(sheet.get(), 3, 0, 32, 32);
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "runner", 32, 32), 2);
  sprite.SetAnimProperties(1, 4, 0x2000, 5, -3, 1, 3);
  sprite.SetAnimProperties(2, 8, 0xC001, 7, 8, 0, 4);
  for (int f = 1; f <= 4; ++f) sprite.SetFrameProperties(2, f, 1000 * f);
  sprite.SetFrameProperties(1, 2, 77);
  sprite.SetColorKey(20, 60, 200);
  sprite.SetAlpha(200);
  sprite.SetPosition(-6, 3, 0);
  sprite.SelectFrame(2);
  ASSERT_GT(sprite.Save("run.dpf", "SPR2"), 0);

  std::string b = BlockData("run.dpf", "SPR2", "runner");
  ASSERT_EQ(b.size(), 33072u);   // 64 + 64 x 2 + 16 x 7 + 2 x 32 rows of 512 bytes
  EXPECT_EQ(Le32(b, 0), 32u);
  EXPECT_EQ(Le32(b, 4), 32u);
  EXPECT_EQ(Le32(b, 8), 0xFFFFFFFAu);   // -6, as the old sign-extended 16 bits
  EXPECT_EQ(Le32(b, 12), 3u);
  EXPECT_EQ(Le32(b, 16), 2u);
  EXPECT_EQ(Le32(b, 20), 128u);
  const size_t first = 24, second = 24 + 64 + 3 * 16, format = second + 64 + 4 * 16;
  EXPECT_EQ(Le16(b, first), 4);
  EXPECT_EQ(Le16(b, first + 2), 0x2000);
  EXPECT_EQ(Le16(b, first + 4), 3);
  EXPECT_EQ(Le16(b, first + 6), 2);
  EXPECT_EQ(Le32(b, first + 8), 0u);   // the pointer word
  EXPECT_EQ(Le16(b, first + 12), 1);
  EXPECT_EQ(Le16(b, first + 14), 3);
  EXPECT_EQ((Sint16)Le16(b, first + 16), 5);
  EXPECT_EQ((Sint16)Le16(b, first + 18), -3);
  EXPECT_EQ(b.substr(first + 20, 44), std::string(44, '\0'));
  EXPECT_EQ(Le32(b, first + 64 + 16), 77u);
  EXPECT_EQ(Le16(b, second + 2), 0xC001);
  EXPECT_EQ(Le32(b, second + 64 + 3 * 16), 4000u);
  EXPECT_EQ(b[format + 4], 32);
  EXPECT_EQ((Uint8)b[format + 36], 200);
  EXPECT_EQ(Le32(b, format + 32), SDL_MapRGB(sprite.GetSurface()->format, 20, 60, 200));

  Yandorix_CSprite loaded;
  ASSERT_EQ(loaded.Load("run.dpf", "runner", "round trip"), 2);
  EXPECT_STREQ(loaded.GetName(), "runner");
  EXPECT_EQ(loaded.GetAlpha(), 200);
  EXPECT_EQ(loaded.GetColorKey(), sprite.GetColorKey());
  EXPECT_EQ(loaded.GetPosX(), -6);
  EXPECT_EQ(loaded.GetFrame(), 1);   // the first animation starts at its start frame
  EXPECT_TRUE(ydxtest::SameColors(loaded.GetSurface(), sprite.GetSurface(), false));
  loaded.SelectFrame(2);
  ASSERT_GT(loaded.Save("again.dpf", "SPR2"), 0);
  EXPECT_EQ(BlockData("again.dpf", "SPR2", "runner"), b);
}

TEST_F(BlockTest, PositionsBeyond16BitsKeepAllTheirBits) {
  SurfaceHolder sheet(MakeSheet(1, 1, 4, 4));
  Yandorix_CSprite sprite, loaded;
  ASSERT_EQ(sprite.Create(sheet.get(), "far", 4, 4), 1);
  sprite.SetPosition(40000, -70000, 0);
  ASSERT_GT(sprite.Save("far.dpf", "SPR2"), 0);
  std::string b = BlockData("far.dpf", "SPR2", "far");
  EXPECT_EQ((Sint32)Le32(b, 8), 40000);
  EXPECT_EQ((Sint32)Le32(b, 12), -70000);
  ASSERT_EQ(loaded.Load("far.dpf", "far", "x"), 1);
  EXPECT_EQ(loaded.GetPosX(), 32767);   // the 16-bit getter holds what it can
  ASSERT_GT(loaded.Save("far2.dpf", "SPR2"), 0);
  EXPECT_EQ(BlockData("far2.dpf", "SPR2", "far").substr(0, 24), b.substr(0, 24));
}

TEST_F(BlockTest, EveryPixelLayoutComesBackWithItsExactBlockSize) {
  for (const ydxtest::PatternFormat& f : ydxtest::PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder sheet(ydxtest::MakePattern(f, 15, 8, 5));
    Yandorix_CSprite sprite, loaded;
    ASSERT_EQ(sprite.Create(sheet.get(), f.name, 5, 4), 2);
    ASSERT_GT(sprite.Save("layouts.dpf", "SPR2"), 0);
    unsigned short count1 = 0, count2 = 0;
    sprite.GetAnimProperties(1, NULL, NULL, &count1, NULL, NULL, NULL, NULL);
    sprite.GetAnimProperties(2, NULL, NULL, &count2, NULL, NULL, NULL, NULL);
    size_t pitch = ((size_t)15 * ((f.bpp + 7) / 8) + 3) & ~(size_t)3;
    size_t expected = 64 + 64 * 2 + 16 * (count1 + count2) + 8 * pitch + (f.bpp == 8 ? 1024 : 0);
    std::string b = BlockData("layouts.dpf", "SPR2", f.name);
    EXPECT_EQ(b.size(), expected);
    ASSERT_EQ(loaded.Load("layouts.dpf", f.name, "layouts"), 2);
    EXPECT_TRUE(ydxtest::SameColors(loaded.GetSurface(), sheet.get(), f.amask != 0));
    EXPECT_EQ(loaded.GetAlpha(), f.amask ? 256 : 255);
  }
}

TEST_F(BlockTest, OldBlocksAreUpgradedOnceInTheArchive) {
  SDL_Surface* raw = NULL;
  std::string old = OldBlock(&raw);
  SurfaceHolder sheet(raw);
  ASSERT_GT(AddBlock("old.dpf", "SPR", "oldie", old), 0);
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Load("old.dpf", "oldie", "upgrade"), 2);
  EXPECT_TRUE(LogHas(" . [CSprite::Load('old.dpf','oldie','upgrade')] Info: sprite successfully updated from v1.0 to v2.0.\n"));
  EXPECT_EQ(BlockData("old.dpf", "SPR", "oldie"), "");
  std::string upgraded = BlockData("old.dpf", "SPR2", "oldie");
  EXPECT_EQ(upgraded.size(), old.size() + 52 * 2 + 12 * 5);
  EXPECT_EQ(Le32(upgraded, 24 + 8), 0u);   // the old record word is not carried over
  EXPECT_EQ(sprite.GetColorKey(), -1);
  EXPECT_EQ(sprite.GetPosX(), -3);
  unsigned short type, code, count, start, end;
  sprite.GetAnimProperties(2, &type, &code, &count, NULL, NULL, &start, &end);
  EXPECT_EQ(type, 8);
  EXPECT_EQ(code, 0x4001);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 3);
  unsigned int ms = 0;
  sprite.GetFrameProperties(2, 3, &ms);
  EXPECT_EQ(ms, 50u);
  EXPECT_TRUE(ydxtest::SameColors(sprite.GetSurface(), sheet.get(), false));
  sprite.Clean();
  ASSERT_EQ(sprite.Load("old.dpf", "oldie", "second"), 2);
  EXPECT_FALSE(LogHas("second')] Info: sprite successfully updated"));
}

TEST_F(BlockTest, OldBlockOnAReadOnlyArchiveLoadsWithoutTouchingIt) {
  SDL_Surface* raw = NULL;
  std::string old = OldBlock(&raw);
  SurfaceHolder sheet(raw);
  ASSERT_GT(AddBlock("ro.dpf", "SPR", "oldie", old), 0);
  std::string before = ydxtest::ReadFile("ro.dpf");
  failOpens = 1;
  ydxplat::SetFaultHook(ReadOnlyHook);
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Load("ro.dpf", "oldie", "ro"), 2);
  EXPECT_TRUE(LogHas(" . [CSprite::Load('ro.dpf','oldie','ro')] Warning: update to v2.0 was not possible."));
  EXPECT_EQ(sprite.GetColorKey(), -1);
  EXPECT_TRUE(ydxtest::SameColors(sprite.GetSurface(), sheet.get(), false));
  EXPECT_EQ(ydxtest::ReadFile("ro.dpf"), before);
}

TEST_F(BlockTest, NewBlockSavedUnderTheOldTypeLoadsWithoutBeingDeleted) {
  SurfaceHolder sheet(MakeSheet(3, 2, 4, 4));
  Yandorix_CSprite sprite, loaded;
  ASSERT_EQ(sprite.Create(sheet.get(), "plain", 4, 4), 2);
  sprite.SetAnimProperties(2, 2730, 2730, 1, 1, 1, 2);
  ASSERT_GT(sprite.Save("typed.dpf", "SPR"), 0);
  std::string before = ydxtest::ReadFile("typed.dpf");
  ASSERT_EQ(loaded.Load("typed.dpf", "plain", "x"), 2);
  unsigned short start = 0, end = 0;
  loaded.GetAnimProperties(2, NULL, NULL, NULL, NULL, NULL, &start, &end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 2);
  EXPECT_EQ(ydxtest::ReadFile("typed.dpf"), before);
  EXPECT_FALSE(LogHas("updated from v1.0"));
}

TEST_F(BlockTest, BrokenBlocksAreRefusedWholeAndNothingIsWritten) {
  SurfaceHolder sheet(MakeSheet(3, 2, 4, 4, 16));
  Yandorix_CSprite sprite;
  ASSERT_EQ(sprite.Create(sheet.get(), "good", 4, 4), 2);
  ASSERT_GT(sprite.Save("good.dpf", "SPR2"), 0);
  const std::string good = BlockData("good.dpf", "SPR2", "good");
  const size_t second = 24 + 64 + 3 * 16, format = second + 64 + 3 * 16;
  ydxspr::sSpriteBlock parsed;
  std::string why;
  ASSERT_TRUE(ydxspr::DecodeSpriteBlock((const Uint8*)good.data(), good.size(), &parsed, &why)) << why;
  struct Breakage {
    const char* what;
    size_t at;
    Uint32 value;
    int width;
  };
  const Breakage breakages[] = {
      {"no animation", 16, 0, 4},          {"more animations", 16, 3, 4},
      {"huge count", 16, 0x7FFFFFFF, 4},   {"negative count", 16, 0xFFFFFFFF, 4},
      {"frame width 0", 0, 0, 4},          {"frame height 0", 4, 0, 4},
      {"wider frames", 0, 13, 4},          {"huge sheet", 20, 1u << 20, 4},
      {"more frames", 24 + 4, 4, 2},       {"start after end", second + 12, 4, 2},
      {"end past count", second + 14, 4, 2}, {"bad depth", format + 4, 13, 1},
      {"key too wide", format + 32, 0x10000, 4},
  };
  for (const Breakage& breakage : breakages) {
    std::string bad = good;
    for (int i = 0; i < breakage.width; ++i) bad[breakage.at + i] = (char)(breakage.value >> (8 * i));
    EXPECT_FALSE(ydxspr::DecodeSpriteBlock((const Uint8*)bad.data(), bad.size(), &parsed, &why)) << breakage.what;
    bool oldLayout = true;
    EXPECT_FALSE(ydxspr::DecodeForLoad((const Uint8*)bad.data(), bad.size(), true, &parsed, &oldLayout, &why))
        << breakage.what;
  }
  for (size_t size : {good.size() - 1, good.size() + 1, (size_t)23, (size_t)0}) {
    std::string bad = good;
    bad.resize(size);
    EXPECT_FALSE(ydxspr::DecodeSpriteBlock((const Uint8*)bad.data(), bad.size(), &parsed, &why)) << size;
  }
  // Through the archive: the sprite stays empty, and a broken old block is never upgraded.
  std::string shortBlock = good.substr(0, good.size() - 2);
  SDL_Surface* raw = NULL;
  std::string oldBroken = OldBlock(&raw);
  SDL_FreeSurface(raw);
  oldBroken[24 + 4] = 9;   // more frames than the sheet holds
  ASSERT_GT(AddBlock("bad.dpf", "SPR2", "short", shortBlock), 0);
  ASSERT_GT(AddBlock("bad.dpf", "SPR", "oldbad", oldBroken), 0);
  std::string before = ydxtest::ReadFile("bad.dpf");
  Yandorix_CSprite target;
  EXPECT_EQ(target.Load("bad.dpf", "short", "t"), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Load('bad.dpf','short','t')] Error: the sprite block is not valid: "));
  EXPECT_EQ(target.Load("bad.dpf", "oldbad", "t"), 0);
  EXPECT_EQ(target.GetName(), nullptr);
  EXPECT_EQ(ydxtest::ReadFile("bad.dpf"), before);
}

TEST_F(BlockTest, SaveAndLoadRefusals) {
  SurfaceHolder sheet(MakeSheet(2, 1, 4, 4));
  Yandorix_CSprite sprite, empty, other;
  ASSERT_EQ(sprite.Create(sheet.get(), "dup", 4, 4), 1);
  EXPECT_EQ(empty.Save("r.dpf", "SPR2"), 0);
  EXPECT_EQ(sprite.Save("r.dpf", NULL), 0);
  EXPECT_GT(sprite.Save("r.dpf", "SPR2"), 0);
  EXPECT_EQ(sprite.Save("r.dpf", "SPR2"), -1);   // the archive keeps one block of a name and type
  EXPECT_EQ(sprite.Save("r.dpf", "SPRITES2"), 0);   // refused whole, not cut to "SPRITES"
  EXPECT_EQ(BlockData("r.dpf", "SPRITES", "dup"), "");
  EXPECT_EQ(other.Load("r.dpf", "missing", "why"), 0);
  EXPECT_TRUE(LogHas(" . [CSprite::Load('r.dpf','missing','why')] Error: sprite not found\n"));
  EXPECT_EQ(other.Load("r.dpf", "dup", NULL), 0);
  EXPECT_EQ(sprite.Load("r.dpf", "dup", "x"), 0);
  EXPECT_EQ(other.Load("r.dpf", "dup", "x"), 1);
}
