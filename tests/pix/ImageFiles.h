// PNG and BMP files written byte by byte by the tests themselves (zlib for the compressed stream),
// standing for files that other programs wrote: the library's own writer never touches them.
#pragma once
#include <SDL.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace imagefiles {

inline void Put32BE(std::string& out, Uint32 v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += (char)(v >> shift);
}
inline void Put32LE(std::string& out, Uint32 v) {
  for (int shift = 0; shift < 32; shift += 8) out += (char)(v >> shift);
}
inline void Put16LE(std::string& out, Uint32 v) {
  out += (char)v;
  out += (char)(v >> 8);
}

inline std::string Chunk(const std::string& type, const std::string& data) {
  std::string chunk;
  Put32BE(chunk, (Uint32)data.size());
  std::string body = type + data;
  chunk += body;
  Put32BE(chunk, (Uint32)crc32(0L, reinterpret_cast<const Bytef*>(body.data()), (uInt)body.size()));
  return chunk;
}

inline std::string Deflate(const std::string& raw) {
  uLongf size = compressBound((uLong)raw.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), (uLong)raw.size(), 9);
  out.resize(size);
  return out;
}

// Scanlines with filter byte 0; `samples` holds one row of bytes after another (rowBytes each).
// With `interlaced` the rows are split into the seven Adam7 passes (byte-aligned pixels only).
inline std::string Scanlines(const std::string& samples, int w, int h, int bytesPerPixel, bool interlaced) {
  std::string raw;
  size_t rowBytes = (size_t)w * bytesPerPixel;
  if (!interlaced) {
    for (int y = 0; y < h; ++y) raw += '\0' + samples.substr(y * rowBytes, rowBytes);
    return raw;
  }
  static const int pass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  for (const auto& p : pass) {
    if (w <= p[0] || h <= p[1]) continue;
    for (int y = p[1]; y < h; y += p[3]) {
      raw += '\0';
      for (int x = p[0]; x < w; x += p[2]) raw += samples.substr(y * rowBytes + x * bytesPerPixel, bytesPerPixel);
    }
  }
  return raw;
}

// A PNG file: IHDR, the extra chunks (PLTE, tRNS, ...) in order, one IDAT and IEND.
inline std::string Png(int w, int h, int bitDepth, int colorType, const std::string& raw,
                       const std::vector<std::pair<std::string, std::string>>& chunks = {}, bool interlaced = false) {
  std::string file("\x89PNG\r\n\x1a\n", 8), ihdr;
  Put32BE(ihdr, (Uint32)w);
  Put32BE(ihdr, (Uint32)h);
  ihdr += (char)bitDepth;
  ihdr += (char)colorType;
  ihdr += std::string("\0\0", 2);
  ihdr += (char)(interlaced ? 1 : 0);
  file += Chunk("IHDR", ihdr);
  for (const auto& c : chunks) file += Chunk(c.first, c.second);
  file += Chunk("IDAT", Deflate(raw));
  file += Chunk("IEND", "");
  return file;
}

// A BMP file with a 40-byte header; `rows` holds the stored rows (already padded), bottom row first
// unless the height is negative. `extra` follows the header (palette or bit-field masks).
inline std::string Bmp(int w, int h, int bits, Uint32 compression, const std::string& extra, const std::string& rows,
                       Uint32 colorsUsed = 0) {
  std::string file("BM", 2);
  Uint32 offset = 14 + 40 + (Uint32)extra.size();
  Put32LE(file, offset + (Uint32)rows.size());
  Put32LE(file, 0);
  Put32LE(file, offset);
  Put32LE(file, 40);
  Put32LE(file, (Uint32)w);
  Put32LE(file, (Uint32)h);
  Put16LE(file, 1);
  Put16LE(file, (Uint32)bits);
  Put32LE(file, compression);
  Put32LE(file, (Uint32)rows.size());
  Put32LE(file, 2835);
  Put32LE(file, 2835);
  Put32LE(file, colorsUsed);
  Put32LE(file, 0);
  return file + extra + rows;
}

// Palette entries as a BMP stores them (blue, green, red, 0).
inline std::string BmpPalette(const std::vector<SDL_Color>& colours) {
  std::string out;
  for (const SDL_Color& c : colours) {
    out += (char)c.b;
    out += (char)c.g;
    out += (char)c.r;
    out += '\0';
  }
  return out;
}

}  // namespace imagefiles
