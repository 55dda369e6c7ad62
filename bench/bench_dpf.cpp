// Archive speed against plain baselines in the same run: loading every block of an archive against
// reading the same bytes from plain files (and its growth with the block count), compressed loads
// against zlib, UCL's compression ratio against zlib's, and Open+Flush against one read plus crc32.
#include "Ratio.h"
#include <Yandorix.h>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <ucl/ucl.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr int kBlockSize = 64 * 1024;

// Deterministic payloads: image-like (smooth 32-bit pixels with a little noise) and text-like.
std::string ImageLike(size_t size, unsigned seed) {
  std::string data(size, '\0');
  unsigned noise = seed * 2654435761u + 1;
  for (size_t i = 0; i + 4 <= size; i += 4) {
    size_t pixel = i / 4, x = pixel % 256, y = pixel / 256;
    noise = noise * 1103515245u + 12345u;
    data[i] = (char)(x + (noise >> 29));
    data[i + 1] = (char)(y * 2 + seed);
    data[i + 2] = (char)((x + y) / 2);
    data[i + 3] = (char)255;
  }
  return data;
}

std::string TextLike(size_t size, unsigned seed) {
  static const char* words[] = {"the", "tile", "layer", "sprite", "level", "<tile id=", "/>", "frame", "of",
                                "and", "scroll", "parallax", "name=", "\"castle\"", "\n", "  ", "width", "42"};
  std::string text;
  unsigned state = seed + 7;
  while (text.size() < size) {
    state = state * 1664525u + 1013904223u;
    text += words[(state >> 16) % (sizeof words / sizeof *words)];
    text += ' ';
  }
  text.resize(size);
  return text;
}

Yandorix_IStuffDPF& Service() {
  static Yandorix_IStuffDPF* service = [] {
    ucl_init();
    return new Yandorix_IStuffDPF();
  }();
  return *service;
}

std::string BlockName(int i) { return "block" + std::to_string(i); }

// Puts a file's bytes in memory the way a game's data gets there: from disk, read in once. Pages this
// process has just written stay cached in the pieces they were written in (an archive appended block by
// block in small ones, a file written whole in large ones), and reading them back then costs more or
// less by how the file was written, not by what reads it. Both sides of every ratio get this treatment.
void ReadInFromDisk(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  std::vector<char> chunk(1 << 20);
  while (read(fd, chunk.data(), chunk.size()) > 0) {
  }
  close(fd);
}

// An archive of `count` blocks of 64 KiB in mode 1, made once.
std::string LoadArchive(int count) {
  std::string path = "load_" + std::to_string(count) + ".dpf";
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return path;
  int handle = Service().Create(path.c_str());
  for (int i = 0; i < count; i++) {
    std::string data = ImageLike(kBlockSize, (unsigned)i);
    DPF_BlockData block = {};
    strcpy(block.name, BlockName(i).c_str());
    strcpy(block.type, "DATA");
    block.mode = 1;
    block.size = kBlockSize;
    block.data = &data[0];
    Service().AddData(handle, &block);
  }
  Service().Close(handle);
  ReadInFromDisk(path);
  return path;
}

void LoadEveryBlock(Yandorix_IStuffDPF& service, const std::string& path, int count, benchmark::State& state) {
  int handle = service.Open(path.c_str());
  for (int i = 0; i < count; i++) {
    DPF_BlockData block;
    if (service.LoadBlock(handle, "DATA", BlockName(i).c_str(), &block) != kBlockSize) state.SkipWithError("load");
    benchmark::DoNotOptimize(block.data);
    service.FreeBlock(&block);
  }
  service.Close(handle);
}

// Warm: the cache remembers the unchanged archive (no CRC pass, block index kept), as in a running game.
void BM_DPFLoadAll(benchmark::State& state) {
  int count = (int)state.range(0);
  std::string path = LoadArchive(count);
  for (auto _ : state) LoadEveryBlock(Service(), path, count, state);
  state.SetBytesProcessed(state.iterations() * (int64_t)count * kBlockSize);
}
BENCHMARK(BM_DPFLoadAll)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// Cold: a fresh service checks the CRC of the whole file and builds the block index first.
void BM_DPFLoadAllCold(benchmark::State& state) {
  int count = (int)state.range(0);
  std::string path = LoadArchive(count);
  for (auto _ : state) {
    Yandorix_IStuffDPF fresh;
    LoadEveryBlock(fresh, path, count, state);
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)count * kBlockSize);
}
BENCHMARK(BM_DPFLoadAllCold)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same bytes read directly from the same archive file: each block's marker and header, then its data
// into a new buffer, as LoadBlock hands it out. What LoadBlock adds to this is the library's own cost.
void BM_ArchiveReads(benchmark::State& state) {
  int count = (int)state.range(0);
  int fd = open(LoadArchive(count).c_str(), O_RDONLY);
  const off_t kFirstBlock = 520, kLead = 80;
  for (auto _ : state) {
    for (int i = 0; i < count; i++) {
      off_t marker = kFirstBlock + (off_t)i * (kLead + kBlockSize);
      char lead[kLead];
      std::unique_ptr<char[]> data(new char[kBlockSize]);
      if (pread(fd, lead, kLead, marker) != kLead || pread(fd, data.get(), kBlockSize, marker + kLead) != kBlockSize)
        state.SkipWithError("read");
      benchmark::DoNotOptimize(data.get());
    }
  }
  close(fd);
  state.SetBytesProcessed(state.iterations() * (int64_t)count * kBlockSize);
}
BENCHMARK(BM_ArchiveReads)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// The first `count` block files in plain/, written once and read in from disk like the archives.
void PlainFiles(int count) {
  static int ready = 0;
  mkdir("plain", 0755);
  for (; ready < count; ready++) {
    std::string path = "plain/" + BlockName(ready);
    std::string data = ImageLike(kBlockSize, (unsigned)ready);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool written = fd >= 0 && write(fd, data.data(), data.size()) == (ssize_t)data.size();
    if (fd >= 0) close(fd);
    if (!written) return;
    ReadInFromDisk(path);
  }
}

void BM_PlainFiles(benchmark::State& state) {
  int count = (int)state.range(0);
  PlainFiles(count);
  for (auto _ : state) {
    for (int i = 0; i < count; i++) {
      int fd = open(("plain/" + BlockName(i)).c_str(), O_RDONLY);
      struct stat st;
      fstat(fd, &st);
      std::unique_ptr<char[]> buffer(new char[st.st_size]);
      if (read(fd, buffer.get(), st.st_size) != st.st_size) state.SkipWithError("read");
      benchmark::DoNotOptimize(buffer.get());
      close(fd);
    }
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)count * kBlockSize);
}
BENCHMARK(BM_PlainFiles)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// ---- compressed blocks ----

constexpr int kCompressedBlocks = 64;

std::string PayloadOf(int i) { return i % 2 ? TextLike(kBlockSize, (unsigned)i) : ImageLike(kBlockSize, (unsigned)i); }

std::string CompressedArchive() {
  static std::string path;
  if (!path.empty()) return path;
  path = "compressed.dpf";
  int handle = Service().Create(path.c_str());
  for (int i = 0; i < kCompressedBlocks; i++) {
    std::string data = PayloadOf(i);
    DPF_BlockData block = {};
    strcpy(block.name, BlockName(i).c_str());
    strcpy(block.type, "DATA");
    block.mode = 0;
    block.size = kBlockSize;
    block.data = &data[0];
    Service().AddData(handle, &block);
  }
  Service().Close(handle);
  return path;
}

void BM_DPFLoadMode0(benchmark::State& state) {
  std::string path = CompressedArchive();
  for (auto _ : state) LoadEveryBlock(Service(), path, kCompressedBlocks, state);
  state.SetBytesProcessed(state.iterations() * (int64_t)kCompressedBlocks * kBlockSize);
}
BENCHMARK(BM_DPFLoadMode0)->Unit(benchmark::kMillisecond);

void BM_ZlibUncompress(benchmark::State& state) {
  std::vector<std::string> packed;
  for (int i = 0; i < kCompressedBlocks; i++) {
    std::string data = PayloadOf(i);
    uLongf length = compressBound(data.size());
    std::string out(length, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &length, reinterpret_cast<const Bytef*>(data.data()), data.size(), 6);
    packed.push_back(out.substr(0, length));
  }
  for (auto _ : state) {
    for (const std::string& in : packed) {
      std::unique_ptr<char[]> out(new char[kBlockSize]);
      uLongf length = kBlockSize;
      uncompress(reinterpret_cast<Bytef*>(out.get()), &length, reinterpret_cast<const Bytef*>(in.data()), in.size());
      benchmark::DoNotOptimize(out.get());
    }
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)kCompressedBlocks * kBlockSize);
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

// Compression ratios (original / compressed) as counters: argument 0 image-like, 1 text-like data.
void BM_CompressionRatio(benchmark::State& state) {
  std::string data;
  for (int i = 0; i < 16; i++) data += state.range(0) ? TextLike(kBlockSize, (unsigned)i) : ImageLike(kBlockSize, (unsigned)i);
  std::string ucl(data.size() + data.size() / 8 + 256, '\0');
  ucl_uint uclLength = 0;
  uLongf zlibLength = 0;
  for (auto _ : state) {
    uclLength = (ucl_uint)ucl.size();
    ucl_nrv2b_99_compress(reinterpret_cast<const ucl_bytep>(data.data()), (ucl_uint)data.size(),
                          reinterpret_cast<ucl_bytep>(&ucl[0]), &uclLength, NULL, 6, NULL, NULL);
    zlibLength = compressBound(data.size());
    std::string zlib(zlibLength, '\0');
    compress2(reinterpret_cast<Bytef*>(&zlib[0]), &zlibLength, reinterpret_cast<const Bytef*>(data.data()),
              data.size(), 6);
  }
  state.SetLabel(state.range(0) ? "text-like" : "image-like");
  state.counters["ucl6_ratio"] = (double)data.size() / uclLength;
  state.counters["zlib6_ratio"] = (double)data.size() / zlibLength;
}
BENCHMARK(BM_CompressionRatio)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- Open and Flush of a 256 MiB archive ----

void BM_DPFOpenFlush(benchmark::State& state) {
  std::string path = LoadArchive(4000);
  for (auto _ : state) {
    Yandorix_IStuffDPF fresh;   // nothing remembered: Open checks the CRC of the whole file
    int handle = fresh.Open(path.c_str());
    if (handle <= 0 || fresh.Flush(handle) != 1) state.SkipWithError("open/flush");
    fresh.Close(handle);
  }
}
BENCHMARK(BM_DPFOpenFlush)->Unit(benchmark::kMillisecond);

void BM_ReadAndCRC(benchmark::State& state) {
  std::string path = LoadArchive(4000);
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    int fd = open(path.c_str(), O_RDONLY);
    uLong crc = crc32(0, NULL, 0);
    ssize_t got;
    while ((got = read(fd, buffer.data(), buffer.size())) > 0)
      crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), (uInt)got);
    benchmark::DoNotOptimize(crc);
    close(fd);
  }
}
BENCHMARK(BM_ReadAndCRC)->Unit(benchmark::kMillisecond);

const bool kRatios = [] {
  ydxbench::Ratio("BM_DPFLoadAll/1000", "BM_PlainFiles/1000");
  ydxbench::Ratio("BM_DPFLoadAll/100", "BM_PlainFiles/100");
  ydxbench::Ratio("BM_DPFLoadAllCold/1000", "BM_PlainFiles/1000");
  // The library's own cost over reading the same bytes: a scan per load would show here as a ratio
  // that grows with the block count (the direct reads are linear by construction).
  ydxbench::Ratio("BM_DPFLoadAll/1000", "BM_ArchiveReads/1000");
  ydxbench::Ratio("BM_DPFLoadAll/4000", "BM_ArchiveReads/4000");
  // Growth with the block count, for reference: linear would be 10 and 4, but from 100 to 1000 to 4000
  // blocks the data (6.4, 64, 256 MiB) also leaves the CPU caches, and the direct reads grow alike.
  ydxbench::Ratio("BM_DPFLoadAll/1000", "BM_DPFLoadAll/100");
  ydxbench::Ratio("BM_PlainFiles/1000", "BM_PlainFiles/100");
  ydxbench::Ratio("BM_DPFLoadAll/4000", "BM_DPFLoadAll/1000");
  ydxbench::Ratio("BM_ArchiveReads/4000", "BM_ArchiveReads/1000");
  ydxbench::Ratio("BM_DPFLoadMode0", "BM_ZlibUncompress");
  ydxbench::Ratio("BM_DPFOpenFlush", "BM_ReadAndCRC");
  return true;
}();

}  // namespace

YDX_BENCH_MAIN()
