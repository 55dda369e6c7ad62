// The archive bytes themselves: block and header codecs, the cipher and its key schedule, CRC
// patching, derived file names, and a golden archive that pins the built-in header key.
#include "DPFTest.h"
#include <cstring>
#include <zlib.h>

using namespace ydxdpf;

namespace {

std::string FromHex(const char* hex) {
  std::string bytes;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) bytes.push_back((char)std::stoi(std::string(hex + i, 2), nullptr, 16));
  return bytes;
}

// Enciphers one block given as 16 hex digits in the published big-endian notation.
std::string EncipherHex(const char* keyHex, const char* plainHex, bool signExtend) {
  std::string key = FromHex(keyHex), plain = FromHex(plainHex);
  Cipher cipher;
  cipher.SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size(), signExtend);
  auto word = [&](int at) {
    return (uint32_t)(uint8_t)plain[at] << 24 | (uint32_t)(uint8_t)plain[at + 1] << 16 |
           (uint32_t)(uint8_t)plain[at + 2] << 8 | (uint32_t)(uint8_t)plain[at + 3];
  };
  uint32_t left = word(0), right = word(4);
  cipher.Encipher(&left, &right);
  char text[17];
  snprintf(text, sizeof text, "%08X%08X", left, right);
  return text;
}

// Written by this library with the built-in key: one block "hello"/"TXT" (mode 1, "Golden!"),
// protected with Password(). If the header key or the key schedule changes, this stops opening.
const char kGoldenArchive[] =
    "44504676342e30007a40186c520a6150d7f5e6b602ee44ead002f1d035581939"
    "31901274115cd6875c4931a79707b62002edfffccb6f0f8185bcc730aae47541"
    "1cfcccbfd104dfa45c4931a79707b62002edfffccb6f0f8185bcc730aae47541"
    "999ba0975d1540b00449da2cb8518883f047ded943a196e6284460520aa9287e"
    "703bb26c8f502e28ecc2b089e6046fb15e06bf3c4a9df74b2b8a103eac646ef8"
    "522db10816048978590dfb74284558bfb339b9fc41a1bfed42f056fcbedc13e1"
    "8ee9ed9bdee9c23ef487097d639d96831282b1eeb8da9f58faaa1e77e345218c"
    "9410665872a2131ef0a6ea68e96a1b28ff42f50b8fecb3953bef17105929ec72"
    "1111c10b88c68f73f27442fd2f1e03483c1fc68551eb09bc3546f41f9be733de"
    "226e30dac02d996caa7011e9e860bc0da204cd193fd5537561d8302e275baf49"
    "262257cbac80085970f4f5377643d448c019ae6df1406046fd03830fd952f4b2"
    "6944dac5b2be7aecfeb6275abad3c02d6b89fe9e208411a481d2973b43e5ad49"
    "8ae5e9f605fc7b741a84c98d7a64f0f42bfae94a0d6ec29c2ff9d92e8852687a"
    "c3cb4a4cc534e2d2216a296eec1c410bee2ef5f7bad2d8e4d06d0c8449b64db2"
    "4007d841c5b756b15f6f0f783995f5659727aae6f2b8c5aa2d461476c23d25bf"
    "331ed4e7918e29e48c11dd4c1d9458f79f7278e7db119019c37a9bafec5177b4"
    "92025442a939f6bdb7aece426c6f636b2d44617461ceafb7c24d35766533cc3a"
    "713a5ba9378b03ce713a5ba9378b03ce713a5ba9378b03ce37e7939098197b63"
    "0839cba07fb3d8ef8067bb28abdfda8b713a5ba9378b03ce836257924af179c1";

}  // namespace

TEST(DPFCipher, PublishedVectorsWithThePlainKeySchedule) {
  EXPECT_EQ(EncipherHex("0000000000000000", "0000000000000000", false), "4EF997456198DD78");
  EXPECT_EQ(EncipherHex("FEDCBA9876543210", "0123456789ABCDEF", false), "0ACEAB0FC6A0A28D");
}

TEST(DPFCipher, SignExtendingScheduleDiffersOnlyForHighKeyBytes) {
  // Vectors of the format's own schedule (computed independently by scripts/gen_dpf_tables.py).
  EXPECT_EQ(EncipherHex("FEDCBA9876543210", "0123456789ABCDEF", true), "F2D1C164BFB9E4EA");
  EXPECT_EQ(EncipherHex("80FF7F0011223344", "0000000000000000", true), "5EB237F12816DD68");
  // Keys below 0x80 give the published cipher either way.
  EXPECT_EQ(EncipherHex("0000000000000000", "0000000000000000", true), "4EF997456198DD78");
  EXPECT_EQ(EncipherHex("3000000000000000", "1000000000000001", true),
            EncipherHex("3000000000000000", "1000000000000001", false));
}

TEST(DPFCipher, UnitsAreLittleEndianWordsInCodebookMode) {
  Cipher cipher;
  const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  cipher.SetKey(key, sizeof key);
  uint8_t bytes[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                       0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
  uint32_t left = 0x76543210, right = 0xFEDCBA98;
  cipher.Encipher(&left, &right);
  cipher.EncipherUnits(bytes, 2);
  EXPECT_EQ(GetU32(bytes), left);
  EXPECT_EQ(GetU32(bytes + 4), right);
  EXPECT_EQ(memcmp(bytes, bytes + 8, 8), 0);   // no chaining
  cipher.DecipherUnits(bytes, 2);
  EXPECT_EQ(GetU32(bytes), 0x76543210u);
  EXPECT_EQ(GetU32(bytes + 12), 0xFEDCBA98u);
}

TEST(DPFCodec, BlockHeaderRoundTripAndLayout) {
  BlockHeader header = {};
  strcpy(header.name, "sprite");
  strcpy(header.type, "SPR2");
  header.mode = 0;
  header.size = 100000;
  header.storedSize = 300;
  uint8_t bytes[kBlockHeaderSize];
  EncodeBlockHeader(header, bytes);
  EXPECT_EQ(memcmp(bytes, "sprite\0\0", 8), 0);
  EXPECT_EQ(memcmp(bytes + 32, "SPR2\0\0\0\0", 8), 0);
  EXPECT_EQ(bytes[44], 0xA0);   // 100000 = 0x000186A0, little-endian
  EXPECT_EQ(bytes[45], 0x86);
  EXPECT_EQ(bytes[46], 0x01);
  EXPECT_EQ(GetU32(bytes + 48), 300u);
  BlockHeader decoded;
  ASSERT_TRUE(DecodeBlockHeader(bytes, 300, &decoded));
  EXPECT_STREQ(decoded.name, "sprite");
  EXPECT_EQ(decoded.size, 100000);
  EXPECT_FALSE(DecodeBlockHeader(bytes, 299, &decoded));   // data would run past the end
}

TEST(DPFCodec, DamagedBlockHeadersAreRefused) {
  BlockHeader header = {};
  strcpy(header.name, "n");
  strcpy(header.type, "T");
  header.mode = 1;
  header.size = header.storedSize = 16;
  uint8_t good[kBlockHeaderSize], bad[kBlockHeaderSize];
  BlockHeader out;
  EncodeBlockHeader(header, good);
  ASSERT_TRUE(DecodeBlockHeader(good, 1000, &out));
  auto refused = [&](void (*damage)(uint8_t*)) {
    memcpy(bad, good, sizeof bad);
    damage(bad);
    return !DecodeBlockHeader(bad, 1000, &out);
  };
  EXPECT_TRUE(refused([](uint8_t* b) { b[42] = 1; }));                     // reserved after the mode
  EXPECT_TRUE(refused([](uint8_t* b) { b[60] = 1; }));                     // reserved at the end
  EXPECT_TRUE(refused([](uint8_t* b) { memset(b, 'x', 32); }));            // name without terminator
  EXPECT_TRUE(refused([](uint8_t* b) { memset(b + 32, 'x', 8); }));        // type without terminator
  EXPECT_TRUE(refused([](uint8_t* b) { PutU32(b + 48, 0xFFFFFFF0u); }));   // negative stored size
  EXPECT_TRUE(refused([](uint8_t* b) { PutU32(b + 44, 0xFFFFFFF0u); }));   // negative size
  EXPECT_TRUE(refused([](uint8_t* b) { PutU32(b + 44, 17); }));            // mode 1 with a size that differs
  EXPECT_TRUE(refused([](uint8_t* b) { b[40] = 0; PutU32(b + 44, 16 * 1024 + 1); }));   // cannot decode to that
  EXPECT_FALSE(refused([](uint8_t* b) { b[40] = 0; PutU32(b + 44, 16 * 1024); }));
}

TEST(DPFCodec, ArchiveHeaderFieldsAndTerminatedTexts) {
  ArchiveHeader header;
  memset(&header, 0, sizeof header);
  strcpy(header.copyright, "copy");
  header.protectedFlag = 1;
  header.crc = 0x11223344;
  header.filler[0] = 0xAB;
  uint8_t bytes[kHeaderSize];
  EncodeArchiveHeader(header, bytes);
  EXPECT_EQ(bytes[93], 1);
  EXPECT_EQ(GetU32(bytes + 96), 0x11223344u);
  EXPECT_EQ(bytes[100], 0xAB);
  memset(bytes + 29, 'z', 32);   // a creation date that fills its field
  ArchiveHeader decoded;
  DecodeArchiveHeader(bytes, &decoded);
  EXPECT_EQ(strlen(decoded.created), 31u);
  EXPECT_STREQ(decoded.copyright, "copy");
}

TEST(DPFCodec, CRCHelpersAgreeWithAFullComputation) {
  std::string region(5000, '\0');
  for (size_t i = 0; i < region.size(); i++) region[i] = (char)(i * 31 + 7);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(region.data());
  uint32_t whole = (uint32_t)crc32(0, bytes, (uInt)region.size());
  EXPECT_EQ(ExtendCRC(ExtendCRC(0, bytes, 1234), bytes + 1234, region.size() - 1234), whole);
  std::string changed = region;
  for (int i = 0; i < 64; i++) changed[3000 + i] = (char)(i ^ 0x5A);
  uint32_t expected = (uint32_t)crc32(0, reinterpret_cast<const uint8_t*>(changed.data()), (uInt)changed.size());
  EXPECT_EQ(PatchCRC(whole, bytes + 3000, reinterpret_cast<const uint8_t*>(changed.data()) + 3000, 64,
                     (int64_t)region.size() - 3064), expected);
}

TEST(DPFCodec, DerivedNamesUseOnlyTheLastComponentsExtension) {
  EXPECT_EQ(DerivedPath("data/pack.dpf", "_secure.dpf"), "data/pack_secure.dpf");
  EXPECT_EQ(DerivedPath("data.v2/pack", "_v3.dpf"), "data.v2/pack_v3.dpf");
  EXPECT_EQ(DerivedPath("dir\\a.b.dpf", "_unsecure.dpf"), "dir\\a.b_unsecure.dpf");
  EXPECT_EQ(DerivedPath("dir/.hidden", "_v3.dpf"), "dir/.hidden_v3.dpf");
}

TEST_F(DPFTest, GoldenArchiveOpensWithTheBuiltInKey) {
  ASSERT_TRUE(ydxtest::WriteFile("golden.dpf", FromHex(kGoldenArchive)));
  ASSERT_EQ(ydxtest::ReadFile("golden.dpf").size(), 608u);
  UsePassword();
  int handle = IStuffDPF->Open("golden.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_STREQ(IStuffDPF->GetName(), "DPFv4.0");
  EXPECT_STREQ(IStuffDPF->GetCopyright(), "(c) 2013 Yandorix Software");
  EXPECT_STREQ(IStuffDPF->GetCreateDate(), "Wed Dec  9 05:01:06 2026");
  EXPECT_EQ(IStuffDPF->IsProtected(), 1);
  EXPECT_EQ(Load(handle, "TXT", "hello"), "Golden!");
  IStuffDPF->Close(handle);
}

// The fuzz seeds are written by scripts/gen_dpf_corpus.py with its own cipher and layout code: the
// library reading them checks both writers against each other.
TEST_F(DPFTest, ArchivesFromTheIndependentCorpusWriterLoad) {
  std::string seeds = std::string(YDX_SOURCE_DIR) + "/fuzz/corpus/dpf/";
  for (const char* name : {"modes.dpf", "protected.dpf"}) ydxtest::WriteFile(name, ydxtest::ReadFile(seeds + name));
  int handle = IStuffDPF->Open("modes.dpf");
  ASSERT_GT(handle, 0);
  std::string level = Load(handle, "FILE", "level");
  EXPECT_EQ(level.substr(0, 18), "<level name='one'>");
  EXPECT_EQ(Load(handle, "SND", "snd"), "masked bytes");
  IStuffDPF->Close(handle);
  const unsigned char password[] = "fuzzing password";
  IStuffDPF->SetPassword(password, sizeof password - 1);
  handle = IStuffDPF->Open("protected.dpf");
  ASSERT_GT(handle, 0);
  EXPECT_EQ(Load(handle, "FILE", "level"), level);
  EXPECT_EQ(Load(handle, "IMG", "pix").size(), 256u);
  IStuffDPF->Close(handle);
}
