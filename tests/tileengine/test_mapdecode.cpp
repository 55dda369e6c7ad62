// Map data decoding: base64 vectors and where decoding stops, zlib and gzip of the same cells, data
// larger than expected, and every refusal (trailing bytes, truncated or corrupt data, a bomb).
#include "EngineTest.h"
#include "QBTE_MapDecode.h"
#include <cstdlib>

using namespace qbte_test;

typedef EngineTest MapDecodeTest;

TEST_F(MapDecodeTest, Base64VectorsAndWhereDecodingStops) {
  EXPECT_EQ(Base64Decode("AQAAAA=="), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(Base64Decode("TWFu"), "Man");
  EXPECT_EQ(Base64Decode("TWE"), "Ma");    // a final run of 3 gives 2 bytes
  EXPECT_EQ(Base64Decode("TQ"), "M");      // of 2, 1 byte
  EXPECT_EQ(Base64Decode("TWFuT"), "Man"); // a lone character gives nothing
  EXPECT_EQ(Base64Decode("\nTWFu"), "");   // a leading line break stops at once
  EXPECT_EQ(Base64Decode("TWFu TWFu"), "Man");
  EXPECT_EQ(Base64Decode("TWFu=TWFu"), "Man");
  EXPECT_EQ(Base64Decode(NULL), "");
  EXPECT_EQ(Base64Decode("TWFuTWFu", 4), "Man");   // bounded by the given length
  std::string all;
  for (int i = 0; i < 256; ++i) all += (char)i;
  EXPECT_EQ(Base64Decode(Base64(all).c_str()), all);
  EXPECT_EQ(std::string(QBTE_Base64Alphabet).size(), 64u);
}

namespace {

std::vector<Uint32> SomeCells(size_t count) {
  std::vector<Uint32> cells;
  for (size_t i = 0; i < count; ++i) cells.push_back((Uint32)(i % 7 == 0 ? 0x80000000u | i : i % 13));
  return cells;
}

std::string Inflated(const std::string& in, int outSize, size_t* length) {
  unsigned char* buffer = InflateBuffer(in, outSize, length);
  if (!buffer) return "<null>";
  std::string bytes(reinterpret_cast<char*>(buffer), *length);
  free(buffer);
  return bytes;
}

}  // namespace

TEST_F(MapDecodeTest, ZlibAndGzipOfTheSameCellsInflateAlike) {
  std::string raw = CellBytes(SomeCells(1000));
  size_t length = 0;
  EXPECT_EQ(Inflated(Zlib(raw), (int)raw.size(), &length), raw);
  EXPECT_EQ(length, raw.size());
  EXPECT_EQ(Inflated(Gzip(raw), (int)raw.size(), &length), raw);
  EXPECT_EQ(length, raw.size());
}

TEST_F(MapDecodeTest, LargerOutputGrowsAndShorterOutputTellsItsLength) {
  std::string raw = CellBytes(SomeCells(5000));
  size_t length = 0;
  EXPECT_EQ(Inflated(Zlib(raw), 1000, &length), raw);   // grows by doubling to 20 times that
  EXPECT_EQ(Inflated(Zlib(raw.substr(0, 40)), (int)raw.size(), &length), raw.substr(0, 40));
  EXPECT_EQ(length, 40u);
}

TEST_F(MapDecodeTest, RefusalsLogTheirTextAndReturnNothing) {
  std::string raw = CellBytes(SomeCells(300));
  std::string z = Zlib(raw);
  size_t length = 99;
  EXPECT_EQ(InflateBuffer(z + "xyz", (int)raw.size(), &length), nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_TRUE(LogHas(" [QBTE] Warning: Incorrect zlib compressed data!\n"));   // a line of its own
  std::string corrupt = z;
  corrupt[0] = 'Q';
  EXPECT_EQ(InflateBuffer(corrupt, (int)raw.size()), nullptr);
  EXPECT_EQ(LogCount("Incorrect zlib compressed data!"), 2u);
  // Truncated input cannot make progress: it ends on the unknown-error path, never loops.
  EXPECT_EQ(InflateBuffer(z.substr(0, z.size() / 2), (int)raw.size()), nullptr);
  EXPECT_EQ(InflateBuffer(std::string(), 16), nullptr);
  EXPECT_EQ(LogCount("Unknown error while decompressing data!"), 2u);
  EXPECT_EQ(InflateBuffer(z, 0), nullptr);
}

TEST_F(MapDecodeTest, ACompressedBombIsRefusedAtSixtyFourTimesTheExpectedSize) {
  std::string zeros(64 * 1024 + 1, '\0');
  size_t length = 0;
  EXPECT_EQ(InflateBuffer(Zlib(zeros), 1024, &length), nullptr);   // 64 KiB + 1 from a 1 KiB map
  EXPECT_TRUE(LogHas("Out of memory while decompressing data!"));
  EXPECT_EQ(Inflated(Zlib(zeros.substr(1)), 1024, &length).size(), 64u * 1024);   // exactly the cap
}
