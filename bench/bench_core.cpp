// Core runtime speed: CRC32 of 64 MiB against zlib's crc32, and every block-copy routine behind
// Yandorix_memcpy against the runtime memcpy at 2,560 B, 1 MB and 32 MB.
#include "Ratio.h"
#include "01_Main.h"
#include "04_CPU.h"
#include <map>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

const std::vector<char>& CRCInput() {
  static std::vector<char> bytes = [] {
    std::vector<char> filled(64u << 20);
    std::mt19937 generator(1);
    for (char& c : filled) c = (char)generator();
    return filled;
  }();
  return bytes;
}

void CRCOurs(benchmark::State& state) {
  const std::vector<char>& input = CRCInput();
  unsigned int expected = (unsigned int)crc32(0L, reinterpret_cast<const Bytef*>(input.data()), (uInt)input.size());
  if (Yandorix.CRC32(input.data(), (int)input.size()) != expected) state.SkipWithError("CRC differs from zlib");
  for (auto _ : state) benchmark::DoNotOptimize(Yandorix.CRC32(input.data(), (int)input.size()));
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)input.size());
}

void CRCZlib(benchmark::State& state) {
  const std::vector<char>& input = CRCInput();
  for (auto _ : state)
    benchmark::DoNotOptimize(crc32(0L, reinterpret_cast<const Bytef*>(input.data()), (uInt)input.size()));
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)input.size());
}

BENCHMARK(CRCOurs)->Name("ours/crc32_64MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(CRCZlib)->Name("zlib/crc32_64MiB")->Unit(benchmark::kMillisecond);

struct CopyBuffers {
  std::vector<unsigned char> source, destination;
};

CopyBuffers& BuffersFor(size_t length) {
  static std::map<size_t, CopyBuffers> buffers;
  CopyBuffers& pair = buffers[length];
  if (pair.source.empty()) {
    pair.source.assign(length, 0x5A);
    pair.destination.assign(length, 0);
  }
  return pair;
}

void Copy(benchmark::State& state, CopyRoutine routine, size_t length) {
  CopyBuffers& buffers = BuffersFor(length);
  for (auto _ : state) {
    routine(buffers.destination.data(), buffers.source.data(), length);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)length);
}

// The copy table: one row per routine and size, each against memcpy of the same size.
const int kRegistered = [] {
  const size_t kSizes[] = {2560, 1u << 20, 32u << 20};
  const char* kSizeNames[] = {"2560B", "1MB", "32MB"};
  ydxbench::Ratio("ours/crc32_64MiB", "zlib/crc32_64MiB");
  int count = 0;
  const CopyRoutineInfo* routines = CPU_CopyRoutines(&count);
  for (int s = 0; s < 3; s++) {
    std::string baseline = std::string("memcpy/") + kSizeNames[s];
    size_t length = kSizes[s];
    benchmark::RegisterBenchmark(baseline.c_str(), [length](benchmark::State& state) {
      Copy(state, memcpy, length);
    });
    for (int r = 0; r < count; r++) {
      std::string name = std::string("copy/") + routines[r].name + "/" + kSizeNames[s];
      CopyRoutine routine = routines[r].routine;
      benchmark::RegisterBenchmark(name.c_str(), [routine, length](benchmark::State& state) {
        Copy(state, routine, length);
      });
      ydxbench::Ratio(name, baseline);
    }
  }
  return count;
}();

}  // namespace

YDX_BENCH_MAIN()
