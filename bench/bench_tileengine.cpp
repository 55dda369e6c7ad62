// Tile engine against its baselines in the same run: RenderLayers of 6 layers at 640 x 400 with 32-pixel
// tiles against a raw SDL_BlitSurface loop over the same rectangles (plain; with layer alpha against
// blits with surface alpha; with half the tiles flipped, without and with alpha), and decoding a 1000 x 1000 base64 + zlib
// layer against zlib's uncompress plus a memcpy into the cells.
#include "Ratio.h"
#include "QBTE_TileEngine.h"
#include "QBTE_MapDecode.h"
#include <zlib.h>
#include <string>
#include <vector>

namespace {

const int kTile = 32, kSetSide = 16;   // a 512 x 512 tileset of 256 tiles
const int kLayers = 6, kMapSide = 100, kWidth = 640, kHeight = 400;

void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  Yandorix.Init(SDL_INIT_VIDEO);
}

SDL_Surface* NewSurface(int w, int h) { return SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0); }

SDL_Surface* TilesetImage() {
  SDL_Surface* s = NewSurface(kSetSide * kTile, kSetSide * kTile);
  Uint32* pixels = static_cast<Uint32*>(s->pixels);
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) pixels[y * (s->pitch / 4) + x] = (Uint32)((x * 7) << 16 | (y * 3) << 8 | (x ^ y));
  return s;
}

// The id of a cell: every tile of the set in turn; `flipped` sets the flip bit on every other cell.
Uint32 CellId(int layer, int col, int row, bool flipped) {
  Uint32 id = (Uint32)((col * 3 + row * 5 + layer * 11) % (kSetSide * kSetSide) + 1);
  return flipped && (col + row) % 2 ? id | 0x40000000u : id;
}
int LayerX(int layer) { return 40 + layer * 37; }
int LayerY(int layer) { return 20 + layer * 23; }

struct Scene {
  Yandorix_CTile tile;
  SDL_Surface* target = NULL;
  cQBTE_TileEngine engine;
  Scene(int alpha, bool flipped) {
    Start();
    SDL_Surface* image = TilesetImage();
    tile.Create(image, "bench");
    SDL_FreeSurface(image);
    tile.SetTileSet(1, kTile, kTile);
    target = NewSurface(kWidth, kHeight);
    engine.SetLogMode(0);
    engine.InitEngine(kLayers, "bench");
    engine.SetRenderTarget(target);
    engine.AddTileset(&tile, 1);
    for (int layer = 0; layer < kLayers; ++layer) {
      cQBTE_MapBase* map = new cQBTE_MapBase(kMapSide, kMapSide);
      map->SetCellWidth(kTile);
      map->SetCellHeight(kTile);
      for (int r = 0; r < kMapSide; ++r)
        for (int c = 0; c < kMapSide; ++c) map->SetCell(c, r, (Sint32)CellId(layer, c, r, flipped));
      engine.SetLayerMapData(layer, map);
      engine.SetLayerResourceControl(layer, 1);
      engine.SetLayerFlags(layer, QBTE_RENDER | QBTE_UPDATE, 1);
      engine.SetLayerAlpha(layer, alpha);
      engine.SetLayerPosition(layer, (float)LayerX(layer), (float)LayerY(layer));
    }
    engine.UpdateLayers(-1);
  }
  ~Scene() {
    engine.CloseEngine();
    SDL_FreeSurface(target);
  }
};

void RenderLayers(benchmark::State& state, int alpha, bool flipped) {
  Scene scene(alpha, flipped);
  for (auto _ : state) scene.engine.RenderLayers(-1);
}

// The rectangles the engine blits, worked out here from the positions: each visible cell's tile at
// its screen place, clipped by the target's clip rectangle.
struct Blit {
  SDL_Rect from, to;
};
std::vector<Blit> SameRectangles() {
  std::vector<Blit> blits;
  for (int layer = 0; layer < kLayers; ++layer) {
    int mx = LayerX(layer) % kTile, my = LayerY(layer) % kTile;
    for (int sy = -my, row = LayerY(layer) / kTile; sy < kHeight; sy += kTile, ++row)
      for (int sx = -mx, col = LayerX(layer) / kTile; sx < kWidth; sx += kTile, ++col) {
        int index = (int)CellId(layer, col, row, false) - 1;
        SDL_Rect from = {(Sint16)(index % kSetSide * kTile), (Sint16)(index / kSetSide * kTile), kTile, kTile};
        SDL_Rect to = {(Sint16)sx, (Sint16)sy, 0, 0};
        blits.push_back({from, to});
      }
  }
  return blits;
}

void RawBlits(benchmark::State& state, int alpha) {
  Start();
  SDL_Surface* image = TilesetImage();
  SDL_Surface* dest = NewSurface(kWidth, kHeight);
  if (alpha != 255) SDL_SetAlpha(image, SDL_SRCALPHA, (Uint8)alpha);
  std::vector<Blit> blits = SameRectangles();
  for (auto _ : state)
    for (const Blit& b : blits) {
      SDL_Rect from = b.from, to = b.to;
      SDL_BlitSurface(image, &from, dest, &to);
    }
  SDL_FreeSurface(dest);
  SDL_FreeSurface(image);
}

// ---------------------------------------------------------------------------------------------------
// Decoding

const int kCells = 1000;

std::string LayerBytes() {
  std::string bytes;
  bytes.reserve((size_t)kCells * kCells * 4);
  for (int r = 0; r < kCells; ++r)
    for (int c = 0; c < kCells; ++c) {
      Uint32 v = (Uint32)((c / 7 + r / 5) % 50 + 1 + ((c * 31 + r * 17) % 97 == 0 ? 100 : 0));
      for (int i = 0; i < 4; ++i) bytes += (char)(v >> (8 * i));
    }
  return bytes;
}

std::string Compressed() {
  std::string raw = LayerBytes();
  uLongf size = compressBound(raw.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 6);
  out.resize(size);
  return out;
}

std::string Base64(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    Uint32 group = (Uint8)bytes[i] << 16;
    if (i + 1 < bytes.size()) group |= (Uint8)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) group |= (Uint8)bytes[i + 2];
    out += QBTE_Base64Alphabet[(group >> 18) & 63];
    out += QBTE_Base64Alphabet[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? QBTE_Base64Alphabet[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? QBTE_Base64Alphabet[group & 63] : '=';
  }
  return out;
}

// The map reads a TMX "data" element: base64 text, inflated, into its cells.
void DecodeLayer(benchmark::State& state) {
  Start();
  int xml = Yandorix.XMLCreate("layer");
  Yandorix.XMLNodeCreate(xml, "data");
  Yandorix.XMLAttributeSet(xml, "encoding", "base64");
  Yandorix.XMLAttributeSet(xml, "compression", "zlib");
  Yandorix.XMLTextSet(xml, Base64(Compressed()).c_str());
  cQBTE_MapBase map(kCells, kCells);
  map.SetCellWidth(32);
  map.SetCellHeight(32);
  for (auto _ : state)
    if (map.LoadXML(xml, 1) != 1) state.SkipWithError("the layer did not load");
  Yandorix.XMLClose(xml);
}

void UncompressAndCopy(benchmark::State& state) {
  std::string compressed = Compressed();
  std::vector<Uint8> buffer((size_t)kCells * kCells * 4);
  std::vector<Sint32> cells((size_t)kCells * kCells);
  for (auto _ : state) {
    uLongf size = buffer.size();
    uncompress(buffer.data(), &size, reinterpret_cast<const Bytef*>(compressed.data()), compressed.size());
    memcpy(cells.data(), buffer.data(), size);
    benchmark::DoNotOptimize(cells.data());
  }
}

int Register() {
  benchmark::RegisterBenchmark("sdl/Blit6Layers640x400", RawBlits, 255);
  benchmark::RegisterBenchmark("sdl/Blit6Layers640x400/alpha", RawBlits, 128);
  benchmark::RegisterBenchmark("qbte/RenderLayers6/plain", RenderLayers, 255, false);
  benchmark::RegisterBenchmark("qbte/RenderLayers6/alpha", RenderLayers, 128, false);
  benchmark::RegisterBenchmark("qbte/RenderLayers6/flipped50", RenderLayers, 255, true);
  benchmark::RegisterBenchmark("qbte/RenderLayers6/alpha_flipped50", RenderLayers, 128, true);
  ydxbench::Ratio("qbte/RenderLayers6/plain", "sdl/Blit6Layers640x400");
  ydxbench::Ratio("qbte/RenderLayers6/alpha", "sdl/Blit6Layers640x400/alpha");
  ydxbench::Ratio("qbte/RenderLayers6/flipped50", "sdl/Blit6Layers640x400");
  ydxbench::Ratio("qbte/RenderLayers6/alpha_flipped50", "sdl/Blit6Layers640x400/alpha");
  benchmark::RegisterBenchmark("zlib/UncompressMemcpy1000x1000", UncompressAndCopy)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("qbte/DecodeBase64Zlib1000x1000", DecodeLayer)->Unit(benchmark::kMillisecond);
  ydxbench::Ratio("qbte/DecodeBase64Zlib1000x1000", "zlib/UncompressMemcpy1000x1000");
  return 0;
}

const int registered = Register();

}  // namespace

YDX_BENCH_MAIN()
