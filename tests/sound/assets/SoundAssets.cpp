// The test data generators: each container is written field by field from its published layout.
#include "SoundAssets.h"
#include <vorbis/vorbisenc.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ydxsnd {

namespace {

void LE16(std::string& s, unsigned v) {
  s += (char)(v & 0xFF);
  s += (char)((v >> 8) & 0xFF);
}
void LE32(std::string& s, uint32_t v) {
  LE16(s, v & 0xFFFF);
  LE16(s, v >> 16);
}
void BE16(std::string& s, unsigned v) {
  s += (char)((v >> 8) & 0xFF);
  s += (char)(v & 0xFF);
}
void BE32(std::string& s, uint32_t v) {
  BE16(s, v >> 16);
  BE16(s, v & 0xFFFF);
}
void Pad(std::string& s, size_t length, const char* text = "") {
  std::string field(text);
  field.resize(length, '\0');
  s += field;
}

// Square wave sample values, loud enough to be told from silence after mixing.
int Square(int i, int period = 32) { return (i / (period / 2)) % 2 ? 1 : -1; }

std::string Pcm(int bits, int channels, int frames, bool bigEndian) {
  std::string data;
  for (int i = 0; i < frames; i++)
    for (int c = 0; c < channels; c++) {
      int v = Square(i);
      if (bits == 8) {
        data += (char)(bigEndian ? v * 96 : 128 + v * 96);   // AIFF is signed, WAV unsigned
      } else if (bigEndian) {
        BE16(data, (unsigned)(int16_t)(v * 20000));
      } else {
        LE16(data, (unsigned)(int16_t)(v * 20000));
      }
    }
  return data;
}

std::string Chunk(const char* tag, const std::string& body) {
  std::string s(tag, 4);
  LE32(s, (uint32_t)body.size());
  return s + body;
}

std::string FmtChunk(int bits, int channels, int rate) {
  std::string fmt;
  LE16(fmt, 1);
  LE16(fmt, channels);
  LE32(fmt, rate);
  LE32(fmt, rate * channels * bits / 8);
  LE16(fmt, channels * bits / 8);
  LE16(fmt, bits);
  return Chunk("fmt ", fmt);
}

std::string Riff(const std::string& chunks) {
  std::string s = "RIFF";
  LE32(s, (uint32_t)(4 + chunks.size()));
  return s + "WAVE" + chunks;
}

// The 80-bit IEEE extended form of a whole number (AIFF's sample rate).
std::string Extended(uint32_t value) {
  int exponent = 31;
  while (exponent > 0 && !(value & (1u << exponent))) exponent--;
  uint64_t mantissa = (uint64_t)value << (63 - exponent);
  std::string s;
  BE16(s, 16383 + exponent);
  BE32(s, (uint32_t)(mantissa >> 32));
  BE32(s, (uint32_t)mantissa);
  return s;
}

std::string VocHeader() {
  std::string s = "Creative Voice File\x1A";
  LE16(s, 26);
  LE16(s, 0x010A);
  LE16(s, (unsigned)(~0x010A + 0x1234) & 0xFFFF);
  return s;
}

void VocBlock(std::string& s, int type, const std::string& body) {
  s += (char)type;
  s += (char)(body.size() & 0xFF);
  s += (char)((body.size() >> 8) & 0xFF);
  s += (char)((body.size() >> 16) & 0xFF);
  s += body;
}

}  // namespace

std::string Wav(int bits, int channels, int rate, int frames) {
  return Riff(FmtChunk(bits, channels, rate) + Chunk("data", Pcm(bits, channels, frames, false)));
}

std::string WavWithExtraChunks(int rate) {
  return Riff(Chunk("LIST", std::string("INFOISFT\x04\0\0\0ydx", 15) + '\0') + FmtChunk(16, 1, rate) +
              Chunk("cue ", std::string(4, '\0')) + Chunk("data", Pcm(16, 1, 256, false)));
}

std::string WavOf(const WavFields& f, const std::string& data) {
  std::string fmt;
  LE16(fmt, (unsigned)f.encoding);
  LE16(fmt, (unsigned)f.channels);
  LE32(fmt, (uint32_t)f.rate);
  LE32(fmt, (uint32_t)f.rate * (uint32_t)f.blockAlign);
  LE16(fmt, (unsigned)f.blockAlign);
  LE16(fmt, (unsigned)f.bits);
  return Riff(Chunk("fmt ", fmt + f.extra) + Chunk("data", data));
}

std::string WavAdpcm(bool ms, int channels, int rate, int blocks, int blockAlign, int samplesPerBlock) {
  const int headerBytes = ms ? 7 : 4;
  if (blockAlign <= 0) blockAlign = 256 * channels;
  if (samplesPerBlock < 0) samplesPerBlock = (blockAlign - headerBytes * channels) * 2 / channels + (ms ? 2 : 1);
  std::string extra;
  if (ms) {
    static const int kCoefficients[7][2] = {{256, 0},  {512, -256}, {0, 0},     {192, 64},
                                            {240, 0}, {460, -208}, {392, -232}};
    LE16(extra, (unsigned)samplesPerBlock);
    LE16(extra, 7);
    for (const auto& pair : kCoefficients) {
      LE16(extra, (unsigned)(int16_t)pair[0]);
      LE16(extra, (unsigned)(int16_t)pair[1]);
    }
  } else {
    LE16(extra, (unsigned)samplesPerBlock);
  }
  // Each block: its header per channel (predictor, step, first samples), then a square wave's codes.
  std::string data;
  for (int b = 0; b < blocks; b++) {
    std::string block;
    for (int c = 0; c < channels; c++) {
      if (ms) {
        block.insert((size_t)c, 1, (char)(b % 7));   // predictors come first, one per channel
      } else {
        LE16(block, 0);
        block += (char)(b % 89);   // step index
        block += '\0';
      }
    }
    if (ms)
      for (int field = 0; field < 3; field++)
        for (int c = 0; c < channels; c++) LE16(block, field == 0 ? 16 : 0);   // step, then two samples
    for (int i = (int)block.size(); i < blockAlign; i++) block += (char)(Square(i, 16) > 0 ? 0x17 : 0x9F);
    data += block.substr(0, (size_t)blockAlign);
  }
  std::string fmt;
  LE16(fmt, ms ? 2 : 0x11);
  LE16(fmt, (unsigned)channels);
  LE32(fmt, (uint32_t)rate);
  LE32(fmt, (uint32_t)((uint64_t)rate * (uint64_t)blockAlign / (uint64_t)(samplesPerBlock > 0 ? samplesPerBlock : 1)));
  LE16(fmt, (unsigned)blockAlign);
  LE16(fmt, 4);
  LE16(fmt, (unsigned)extra.size());
  std::string fact;
  LE32(fact, (uint32_t)(blocks * samplesPerBlock));
  return Riff(Chunk("fmt ", fmt + extra) + Chunk("fact", fact) + Chunk("data", data));
}

std::string Aiff(int bits, int channels, int rate, int frames) {
  std::string comm;
  BE16(comm, channels);
  BE32(comm, frames);
  BE16(comm, bits);
  comm += Extended(rate);
  std::string ssnd;
  BE32(ssnd, 0);
  BE32(ssnd, 0);
  ssnd += Pcm(bits, channels, frames, true);
  std::string body = "AIFF";
  body += "COMM";
  BE32(body, (uint32_t)comm.size());
  body += comm;
  body += "SSND";
  BE32(body, (uint32_t)ssnd.size());
  body += ssnd;
  std::string s = "FORM";
  BE32(s, (uint32_t)body.size());
  return s + body;
}

std::string Svx8(int rate, int samples) {
  std::string header;
  BE32(header, (uint32_t)samples);   // one-shot part
  BE32(header, 0);                   // no repeat part
  BE32(header, 0);
  BE16(header, (unsigned)rate);
  header += '\1';                    // one octave
  header += '\0';                    // not compressed
  BE32(header, 0x10000);             // full volume
  std::string body = "8SVX";
  body += "VHDR";
  BE32(body, (uint32_t)header.size());
  body += header;
  body += "BODY";
  BE32(body, (uint32_t)samples);
  body += Pcm(8, 1, samples, true);
  if (samples % 2) body += '\0';     // chunks keep an even length
  std::string s = "FORM";
  BE32(s, (uint32_t)body.size());
  return s + body;
}

std::string AiffWithChunkPointingBack() {
  std::string aiff = Aiff(16, 1, 8000, 100);
  const size_t afterComm = 12 + 8 + 18;
  // Stepping 0xFFFFFFF8 bytes on from the end of this chunk's header wraps round to its own start.
  return aiff.substr(0, afterComm) + "JUNK" + std::string("\xFF\xFF\xFF\xF8", 4) + aiff.substr(afterComm);
}

namespace {

// An 8-bit data block: rate code, no packing, the samples.
void Voc8Block(std::string& s, int rate, int channels, int samples) {
  std::string body;
  body += (char)(256 - 1000000 / rate);
  body += '\0';
  body += Pcm(8, channels, samples, false);
  VocBlock(s, 1, body);
}

// The fields of a "new format" block ahead of its 16-bit samples.
std::string Voc16Fields(int channels, int rate) {
  std::string body;
  LE32(body, (uint32_t)rate);
  body += (char)16;
  body += (char)channels;
  LE16(body, 4);   // codec: 16-bit signed PCM
  LE32(body, 0);
  return body;
}

}  // namespace

std::string Voc8(int rate, int samples) {
  std::string s = VocHeader();
  Voc8Block(s, rate, 1, samples);
  s += '\0';
  return s;
}

std::string Voc16(int channels, int rate, int samples) {
  std::string s = VocHeader();
  VocBlock(s, 9, Voc16Fields(channels, rate) + Pcm(16, channels, samples, false));
  s += '\0';
  return s;
}

std::string Voc8Stereo(int rate, int samples) {
  std::string s = VocHeader();
  std::string extended;
  LE16(extended, 65536 - 256000000 / (rate * 2));   // time constant of the two channels' joint rate
  extended += '\0';                                // not packed
  extended += '\1';                                // stereo
  VocBlock(s, 8, extended);
  Voc8Block(s, rate, 2, samples);
  s += '\0';
  return s;
}

std::string Voc16AsSox(int channels, int rate, int samples, const std::string& lastBytes) {
  std::string s = Voc16(channels, rate, samples);
  s.replace(s.size() - 9, 8, lastBytes.substr(0, 8));
  uint32_t length = ((uint8_t)s[27] | (uint8_t)s[28] << 8 | (uint8_t)s[29] << 16) - 8;
  for (int i = 0; i < 3; i++) s[27 + i] = (char)(length >> (8 * i));
  return s;
}

std::string VocContinued(int rate, int samples, int pieces) {
  std::string pcm = Pcm(16, 1, samples, false);
  size_t step = (pcm.size() / (size_t)pieces + 1) & ~(size_t)1;
  std::string s = VocHeader();
  VocBlock(s, 9, Voc16Fields(1, rate) + pcm.substr(0, step));
  for (size_t at = step; at < pcm.size(); at += step) VocBlock(s, 2, pcm.substr(at, step));
  s += '\0';
  return s;
}

// A chord that changes every quarter second over soft noise: a decoder works on it as on music.
float MusicSample(long i, int channel, int rate, uint32_t* noise) {
  static const double kRoots[] = {220.0, 246.9, 261.6, 293.7, 329.6, 196.0, 174.6, 164.8};
  double root = kRoots[(i / (rate / 4)) % 8], t = (double)i / rate;
  *noise = *noise * 1664525u + 1013904223u;
  return (float)(0.2 * std::sin(2 * M_PI * root * t + channel) + 0.15 * std::sin(2 * M_PI * root * 1.25 * t) +
                 0.1 * std::sin(2 * M_PI * root * 1.5 * t) + 0.05 * ((double)(*noise >> 8) / 8388608.0 - 1.0));
}

std::string OggVorbis(int channels, int rate, double seconds, float quality, unsigned serial, bool music) {
  uint32_t noise = serial;
  vorbis_info vi;
  vorbis_comment vc;
  vorbis_dsp_state vd;
  vorbis_block vb;
  ogg_stream_state os;
  ogg_page og;
  ogg_packet op, comment, code;
  std::string out;
  auto page = [&]() {
    out.append((const char*)og.header, og.header_len);
    out.append((const char*)og.body, og.body_len);
  };
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) return "";
  vorbis_comment_init(&vc);
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_init(&os, (int)serial);
  vorbis_analysis_headerout(&vd, &vc, &op, &comment, &code);
  ogg_stream_packetin(&os, &op);
  ogg_stream_packetin(&os, &comment);
  ogg_stream_packetin(&os, &code);
  while (ogg_stream_flush(&os, &og)) page();
  long total = (long)(seconds * rate), done = 0;
  bool eos = false;
  while (!eos) {
    long n = total - done < 1024 ? total - done : 1024;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, (int)n);
      for (long i = 0; i < n; i++)
        for (int c = 0; c < channels; c++)
          buffer[c][i] = music ? MusicSample(done + i, c, rate, &noise)
                               : 0.4f * (float)std::sin(2 * M_PI * 440.0 * (double)(done + i) / rate);
      vorbis_analysis_wrote(&vd, (int)n);
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, NULL);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) {
          page();
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
    if (n <= 0 && !eos) {
      while (ogg_stream_flush(&os, &og)) page();
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

std::string ModModule() {
  const int sampleWords = 64;
  std::string s;
  Pad(s, 20, "ydx square");
  for (int i = 0; i < 31; i++) {
    Pad(s, 22, i == 0 ? "square" : "");
    BE16(s, i == 0 ? sampleWords : 0);
    s += '\0';                      // finetune
    s += (char)(i == 0 ? 64 : 0);   // volume
    BE16(s, 0);                     // loop start
    BE16(s, i == 0 ? sampleWords : 1);
  }
  s += (char)1;     // song length
  s += (char)127;
  Pad(s, 128);      // order table: pattern 0
  s += "M.K.";
  for (int row = 0; row < 64; row++)
    for (int channel = 0; channel < 4; channel++) {
      if (row == 0 && channel == 0) {
        const int period = 428, sample = 1;
        s += (char)((sample & 0xF0) | (period >> 8));
        s += (char)(period & 0xFF);
        s += (char)((sample & 0x0F) << 4);
        s += '\0';
      } else {
        Pad(s, 4);
      }
    }
  for (int i = 0; i < sampleWords * 2; i++) s += (char)(Square(i) * 100);
  return s;
}

std::string XmModule() {
  std::string s = "Extended Module: ";
  Pad(s, 20, "ydx empty");
  s += '\x1A';
  Pad(s, 20, "ydx generator");
  LE16(s, 0x0104);
  LE32(s, 276);   // header size, counted from this field
  LE16(s, 1);     // song length
  LE16(s, 0);     // restart
  LE16(s, 4);     // channels
  LE16(s, 1);     // patterns
  LE16(s, 1);     // instruments
  LE16(s, 1);     // linear frequency table
  LE16(s, 6);     // tempo
  LE16(s, 125);   // BPM
  Pad(s, 256);    // orders
  LE32(s, 9);     // pattern header
  s += '\0';
  LE16(s, 64);
  LE16(s, 0);     // no packed data: every row empty
  LE32(s, 263);   // instrument header with one sample
  Pad(s, 22, "square");
  s += '\0';
  LE16(s, 1);
  LE32(s, 40);    // sample header size
  Pad(s, 96);     // every note plays sample 0
  Pad(s, 48);     // volume envelope points
  Pad(s, 48);     // panning envelope points
  Pad(s, 14);     // envelope counts, sustain and loop points, types, vibrato
  LE16(s, 0);     // fade-out
  Pad(s, 22);
  const int sampleLength = 32;
  LE32(s, sampleLength);
  LE32(s, 0);
  LE32(s, sampleLength);   // loop over the whole sample
  s += (char)64;           // volume
  s += '\0';
  s += (char)1;            // forward loop, 8-bit
  s += (char)128;          // centred
  s += '\0';
  s += '\0';
  Pad(s, 22, "square");
  int previous = 0;        // samples are stored as differences
  for (int i = 0; i < sampleLength; i++) {
    int value = Square(i, 16) * 100;
    s += (char)(value - previous);
    previous = value;
  }
  return s;
}

std::string S3mStub() {
  std::string s;
  Pad(s, 28, "ydx stub");
  s += '\x1A';
  s += (char)16;
  Pad(s, 14);
  s += "SCRM";
  Pad(s, 48);
  return s;
}

std::string ItStub() {
  std::string s = "IMPM";
  Pad(s, 26, "ydx stub");
  Pad(s, 162);
  return s;
}

// ---- MPEG-1 ----

namespace {

class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; i--) {
      current = (uint8_t)(current << 1 | ((value >> i) & 1));
      if (++used == 8) Flush();
    }
  }
  void Code(const char* bits) {
    for (; *bits; bits++) Put(*bits == '1', 1);
  }
  void Align() {
    while (used) Put(0, 1);
  }
  void StartCode(uint8_t code) {
    Align();
    bytes += std::string("\0\0\1", 3);
    bytes += (char)code;
  }
  std::string bytes;
 private:
  void Flush() {
    bytes += (char)current;
    current = 0;
    used = 0;
  }
  uint8_t current = 0;
  int used = 0;
};

const char* kLumaSize[] = {"100", "00", "01", "101", "110", "1110", "11110", "111110", "1111110"};
const char* kChromaSize[] = {"00", "01", "10", "110", "1110", "11110", "111110", "1111110", "11111110"};

// One intra block holding only its DC difference: size code, the difference's bits, end of block.
void DcBlock(BitWriter& w, int difference, bool luma) {
  int magnitude = difference < 0 ? -difference : difference, size = 0;
  while ((1 << size) <= magnitude) size++;
  w.Code(luma ? kLumaSize[size] : kChromaSize[size]);
  if (size) w.Put((uint32_t)(difference > 0 ? difference : difference + (1 << size) - 1), size);
  w.Code("10");
}

void Picture(BitWriter& w, int number, int width, int height, int y, int cb, int cr) {
  w.StartCode(0x00);
  w.Put(number & 0x3FF, 10);
  w.Put(1, 3);        // intra picture
  w.Put(0xFFFF, 16);  // no buffer delay given
  w.Put(0, 1);
  int columns = (width + 15) / 16, rows = (height + 15) / 16;
  for (int row = 0; row < rows; row++) {
    w.StartCode((uint8_t)(row + 1));
    w.Put(8, 5);   // quantiser scale
    w.Put(0, 1);
    for (int column = 0; column < columns; column++) {
      w.Code("1");   // address increment 1
      w.Code("1");   // intra
      // The DC predictors restart at 128 in every slice; after the first macroblock nothing changes.
      bool first = column == 0;
      for (int block = 0; block < 4; block++) DcBlock(w, first && block == 0 ? y - 128 : 0, true);
      DcBlock(w, first ? cb - 128 : 0, false);
      DcBlock(w, first ? cr - 128 : 0, false);
    }
  }
}

std::string VideoStream(int width, int height, int frames, int y, int cb, int cr, std::vector<size_t>* pictureStarts) {
  BitWriter w;
  w.StartCode(0xB3);
  w.Put(width, 12);
  w.Put(height, 12);
  w.Put(1, 4);        // square pixels
  w.Put(3, 4);        // 25 pictures a second
  w.Put(2875, 18);    // 1.15 Mbit/s
  w.Put(1, 1);
  w.Put(20, 10);      // buffer size
  w.Put(0, 3);        // not constrained, default matrices
  w.StartCode(0xB8);
  w.Put(0, 1);        // time code 00:00:00.00
  w.Put(0, 5);
  w.Put(0, 6);
  w.Put(1, 1);
  w.Put(0, 6);
  w.Put(0, 6);
  w.Put(1, 1);        // closed group
  w.Put(0, 1);
  for (int i = 0; i < frames; i++) {
    w.Align();
    if (pictureStarts) pictureStarts->push_back(w.bytes.size());
    Picture(w, i, width, height, y, cb, cr);
  }
  w.StartCode(0xB7);
  return w.bytes;
}

// Silent mono Layer II at 48 kHz, 64 kbit/s: 192-byte frames whose bit allocations are all zero.
std::string SilentAudioFrame() {
  std::string frame("\xFF\xFD\x44\xC0", 4);
  frame.resize(192, '\0');
  return frame;
}

void TimeStamp(std::string& s, int lead, uint64_t t) {
  s += (char)(lead << 4 | ((t >> 29) & 0x0E) | 1);
  s += (char)((t >> 22) & 0xFF);
  s += (char)(((t >> 14) & 0xFE) | 1);
  s += (char)((t >> 7) & 0xFF);
  s += (char)(((t << 1) & 0xFE) | 1);
}

std::string PackHeader(uint64_t scr) {
  std::string s("\0\0\1\xBA", 4);
  TimeStamp(s, 2, scr);
  const uint32_t muxRate = 2000000 / 400;   // in 50-byte units per second, generous
  s += (char)(0x80 | ((muxRate >> 15) & 0x7F));
  s += (char)((muxRate >> 7) & 0xFF);
  s += (char)(((muxRate << 1) & 0xFE) | 1);
  return s;
}

std::string SystemHeader(bool video, bool audio) {
  std::string body;
  const uint32_t rateBound = 2000000 / 400;
  body += (char)(0x80 | ((rateBound >> 15) & 0x7F));
  body += (char)((rateBound >> 7) & 0xFF);
  body += (char)(((rateBound << 1) & 0xFE) | 1);
  body += (char)((audio ? 1 : 0) << 2);
  body += (char)(0x20 | (video ? 1 : 0));
  body += '\xFF';
  if (video) body += std::string("\xE0\xE0\x2E", 3);   // buffer bound 46 x 1024 bytes
  if (audio) body += std::string("\xC0\xC0\x20", 3);   // buffer bound 32 x 128 bytes
  std::string s("\0\0\1\xBB", 4);
  BE16(s, (unsigned)body.size());
  return s + body;
}

std::string Packet(uint8_t stream, const std::string& data, int64_t pts) {
  std::string body;
  if (pts >= 0) TimeStamp(body, 2, (uint64_t)pts);
  else body += '\x0F';
  body += data;
  std::string s("\0\0\1", 3);
  s += (char)stream;
  BE16(s, (unsigned)body.size());
  return s + body;
}

struct Unit {
  uint64_t time;   // 90 kHz
  uint8_t stream;
  std::string data;
  int64_t pts;
};

std::string Multiplex(std::vector<Unit> units, bool video, bool audio) {
  std::string out;
  bool first = true;
  // Stable merge by time, video first on equal times so the stream opens with the sequence header.
  std::vector<Unit> sorted;
  while (!units.empty()) {
    size_t best = 0;
    for (size_t i = 1; i < units.size(); i++)
      if (units[i].time < units[best].time) best = i;
    sorted.push_back(units[best]);
    units.erase(units.begin() + (long)best);
  }
  for (const Unit& u : sorted) {
    uint64_t scr = u.time > 9000 ? u.time - 9000 : 0;
    out += PackHeader(scr);
    if (first) out += SystemHeader(video, audio);
    first = false;
    for (size_t at = 0; at < u.data.size(); at += 2000)
      out += Packet(u.stream, u.data.substr(at, 2000), at == 0 ? u.pts : -1);
  }
  out += std::string("\0\0\1\xB9", 4);
  return out;
}

std::vector<Unit> AudioUnits(int audioFrames) {
  std::vector<Unit> units;
  const int perPacket = 8;
  for (int f = 0; f < audioFrames; f += perPacket) {
    std::string data;
    for (int k = f; k < audioFrames && k < f + perPacket; k++) data += SilentAudioFrame();
    uint64_t time = 9000 + (uint64_t)f * 1152 * 90000 / 48000;
    units.push_back({time, 0xC0, data, (int64_t)time});
  }
  return units;
}

}  // namespace

std::string MpegVideo(int width, int height, int frames, int y, int cb, int cr) {
  return VideoStream(width, height, frames, y, cb, cr, NULL);
}

std::string MpegSystem(int width, int height, int frames, int y, int cb, int cr, bool withAudio) {
  std::vector<size_t> starts;
  std::string video = VideoStream(width, height, frames, y, cb, cr, &starts);
  std::vector<Unit> units;
  // Picture i goes out with its own time stamp; the headers ride with the first picture.
  for (int i = 0; i < frames; i++) {
    size_t from = i == 0 ? 0 : starts[i];
    size_t to = i + 1 < frames ? starts[i + 1] : video.size();
    uint64_t time = 9000 + (uint64_t)i * 90000 / 25;
    units.push_back({time, 0xE0, video.substr(from, to - from), (int64_t)time});
  }
  if (withAudio) {
    std::vector<Unit> audio = AudioUnits(frames * 48000 / 25 / 1152 + 2);
    units.insert(units.end(), audio.begin(), audio.end());
  }
  return Multiplex(units, true, withAudio);
}

std::string MpegAudioOnly(int audioFrames) { return Multiplex(AudioUnits(audioFrames), false, true); }

bool Save(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::vector<std::string> OggPages(const std::string& ogg) {
  std::vector<std::string> pages;
  for (size_t at = 0; at + 27 <= ogg.size();) {
    size_t segments = (unsigned char)ogg[at + 26], length = 27 + segments;
    for (size_t i = 0; i < segments && at + 27 + i < ogg.size(); i++) length += (unsigned char)ogg[at + 27 + i];
    pages.push_back(ogg.substr(at, length));
    at += length;
  }
  return pages;
}

std::string ResealOggPages(const std::vector<std::string>& pages) {
  std::string out;
  for (std::string page : pages) {
    ogg_page og;
    size_t header = 27 + (unsigned char)page[26];
    og.header = (unsigned char*)&page[0];
    og.header_len = (long)header;
    og.body = (unsigned char*)&page[0] + header;
    og.body_len = (long)(page.size() - header);
    ogg_page_checksum_set(&og);
    out += page;
  }
  return out;
}

}  // namespace ydxsnd
