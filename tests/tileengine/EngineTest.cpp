// Encoders for the tile engine tests, written apart from the decoders they check.
#include "EngineTest.h"

namespace qbte_test {

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    Uint32 group = (Uint8)bytes[i] << 16;
    if (i + 1 < bytes.size()) group |= (Uint8)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) group |= (Uint8)bytes[i + 2];
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}

static std::string Deflate(const std::string& bytes, int windowBits) {
  z_stream s = {};
  deflateInit2(&s, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, bytes.size()) + 64, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  s.avail_in = (uInt)bytes.size();
  s.next_out = reinterpret_cast<Bytef*>(&out[0]);
  s.avail_out = (uInt)out.size();
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

std::string Zlib(const std::string& bytes) { return Deflate(bytes, 15); }
std::string Gzip(const std::string& bytes) { return Deflate(bytes, 15 + 16); }

std::string CellBytes(const std::vector<Uint32>& cells) {
  std::string out;
  for (Uint32 v : cells)
    for (int i = 0; i < 4; ++i) out += (char)(v >> (8 * i));
  return out;
}

}  // namespace qbte_test
