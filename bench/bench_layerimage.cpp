// Layer images against their baseline in the same run: importing a 2048 x 1024 picture of 32 x 32
// tiles (2,048 cells, 64 distinct tiles) into a layer at accuracy 100 and 95, against exact
// de-duplication of the same blocks by hash and memcmp alone (no tileset, no map).
#include "Ratio.h"
#include "QBTE_LayerImage.h"
#include "QBTE_TileEngine.h"
#include <string.h>
#include <unordered_map>
#include <vector>

namespace {

const int kTile = 32, kColumns = 64, kRows = 32, kDistinct = 64;

void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  Yandorix.Init(SDL_INIT_VIDEO);
}

// Distinct tiles differ in nearly every pixel, so a 5 % tolerance merges none of them.
Uint32 TilePixel(int tile, int x, int y) {
  Uint32 v = (Uint32)(tile * 2654435761u) ^ (Uint32)(x * 40503u + y * 9973u);
  return (v ^ (v >> 13)) & 0x00FFFFFFu;
}

SDL_Surface* Picture() {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, kColumns * kTile, kRows * kTile, 32, 0, 0, 0, 0);
  for (int y = 0; y < s->h; ++y) {
    Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < s->w; ++x) {
      int column = x / kTile, cellRow = y / kTile;
      row[x] = TilePixel((column * 7 + cellRow * 13) % kDistinct, x % kTile, y % kTile);
    }
  }
  return s;
}

void Import(benchmark::State& state, int accuracy) {
  Start();
  SDL_Surface* picture = Picture();
  cQBTE_TileEngine engine;
  engine.SetLogMode(0);
  engine.InitEngine(2, "bench");
  for (auto _ : state) {
    if (ImportSurfaceToLayer(&engine, 1, picture, kTile, kTile, accuracy, -1) != 1) state.SkipWithError("refused");
    state.PauseTiming();
    if (engine.GetTilesetCount() != 1 || engine.GetTilesetAt(0)->tileCount < kDistinct)
      state.SkipWithError("wrong tileset");
    Uint32 firstGid = engine.GetTilesetAt(0)->firstGid;
    engine.ResetLayer(1);
    engine.UnloadTileset(firstGid);
    state.ResumeTiming();
  }
  engine.CloseEngine();
  SDL_FreeSurface(picture);
}

// The baseline: each block hashed (FNV-1a over 64-bit words), looked up, confirmed with memcmp and
// numbered in order of first appearance.
Uint64 HashBlock(const SDL_Surface* s, int x, int y) {
  Uint64 hash = 14695981039346656037ull;
  for (int row = 0; row < kTile; ++row) {
    const Uint8* at = static_cast<const Uint8*>(s->pixels) + (size_t)(y + row) * s->pitch + (size_t)x * 4;
    for (int i = 0; i < kTile * 4; i += 8) {
      Uint64 word;
      memcpy(&word, at + i, 8);
      hash = (hash ^ word) * 1099511628211ull;
    }
  }
  return hash;
}

bool SameBlock(const SDL_Surface* s, int ax, int ay, int bx, int by) {
  for (int row = 0; row < kTile; ++row)
    if (memcmp(static_cast<const Uint8*>(s->pixels) + (size_t)(ay + row) * s->pitch + (size_t)ax * 4,
               static_cast<const Uint8*>(s->pixels) + (size_t)(by + row) * s->pitch + (size_t)bx * 4, kTile * 4))
      return false;
  return true;
}

void HashDedup(benchmark::State& state) {
  SDL_Surface* picture = Picture();
  for (auto _ : state) {
    std::unordered_map<Uint64, std::vector<int>> byHash;
    std::vector<int> firstCell, ids(kColumns * kRows);
    for (int cell = 0; cell < kColumns * kRows; ++cell) {
      int x = cell % kColumns * kTile, y = cell / kColumns * kTile;
      std::vector<int>& candidates = byHash[HashBlock(picture, x, y)];
      int id = 0;
      for (int candidate : candidates) {
        int first = firstCell[candidate - 1];
        if (SameBlock(picture, first % kColumns * kTile, first / kColumns * kTile, x, y)) {
          id = candidate;
          break;
        }
      }
      if (!id) {
        firstCell.push_back(cell);
        id = (int)firstCell.size();
        candidates.push_back(id);
      }
      ids[cell] = id;
    }
    if (firstCell.size() != (size_t)kDistinct) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(ids.data());
  }
  SDL_FreeSurface(picture);
}

int Register() {
  benchmark::RegisterBenchmark("baseline/HashMemcmpDedup2048x1024", HashDedup)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("qbte/ImportSurface2048x1024/accuracy100", Import, 100)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("qbte/ImportSurface2048x1024/accuracy95", Import, 95)->Unit(benchmark::kMillisecond);
  ydxbench::Ratio("qbte/ImportSurface2048x1024/accuracy100", "baseline/HashMemcmpDedup2048x1024");
  ydxbench::Ratio("qbte/ImportSurface2048x1024/accuracy95", "baseline/HashMemcmpDedup2048x1024");
  return 0;
}

const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
