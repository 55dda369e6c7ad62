// What the tile engine tests share: the library on the dummy driver with a log to read back and a
// hand-driven clock, tilesets whose tile n is painted in a colour that encodes n (top row and left
// column marked, so flips show), off-screen 32-bit targets, and base64/zlib encoders of our own.
#pragma once
#include "YdxTest.h"
#include "QBTE_TileEngine.h"
#include <zlib.h>
#include <memory>
#include <string>
#include <vector>

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
typedef std::unique_ptr<SDL_Surface, SurfaceDeleter> Surface;

namespace qbte_test {

const Uint32 kDrawn = 0x00200000u;     // every tile pixel carries it; the background does not
const Uint32 kTopRow = 0x00800000u;    // the tile's top row
const Uint32 kLeftCol = 0x00400000u;   // the tile's left column

inline Uint32 TilePixel(int n, int x, int y) {
  return kDrawn | (Uint32)n | (y == 0 ? kTopRow : 0) | (x == 0 ? kLeftCol : 0);
}
inline int TileAt(Uint32 pixel) { return (pixel & kDrawn) ? (int)(pixel & 0xFFFF) : 0; }

inline SDL_Surface* NewTarget(int w, int h) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(s, NULL, 0);
  return s;
}
inline Uint32& Pixel(SDL_Surface* s, int x, int y) { return static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x]; }

// A tileset image of cols x rows tiles of tw x th; tile n (1-based, row-major) painted with TilePixel.
inline Surface TilesetImage(int cols, int rows, int tw, int th) {
  Surface s(NewTarget(cols * tw, rows * th));
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x) Pixel(s.get(), x, y) = TilePixel((y / th) * cols + x / tw + 1, x % tw, y % th);
  return s;
}

// A heap tile the engine may own.
inline Yandorix_CTile* NewTileset(const char* name, int cols, int rows, int tw, int th) {
  Surface image = TilesetImage(cols, rows, tw, th);
  Yandorix_CTile* tile = new Yandorix_CTile;
  tile->Create(image.get(), name);
  tile->SetTileSet(1, tw, th);
  return tile;
}

// A base map of rows x cols with cell size cw x ch whose cells are value(col, row).
template <class F>
cQBTE_MapBase* NewMap(int rows, int cols, int cw, int ch, F value) {
  cQBTE_MapBase* map = new cQBTE_MapBase(rows, cols);
  map->SetCellWidth(cw);
  map->SetCellHeight(ch);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) map->SetCell(c, r, value(c, r));
  return map;
}

std::string Base64(const std::string& bytes);
std::string Zlib(const std::string& bytes);
std::string Gzip(const std::string& bytes);
// Cells as little-endian 32-bit values.
std::string CellBytes(const std::vector<Uint32>& cells);

// A map type of the application's own, not built on the base map: it keeps no cells anyone can read.
class ForeignMap : public cQBTE_MapData {
 public:
  explicit ForeignMap(const char* type = "foreign", int cellSize = 16, int cells = 4) {
    SetType(type);
    cellWidth = cellHeight = cellSize;
    width = height = cells;
  }
  int IsReady() override { return 1; }
  int Info(char, char) override { return 1; }
  int UpdateCell(int, int, cQBTE_TileEngine*, int, int) override { return 1; }
  int DrawCell(int, int, int, int, cQBTE_TileEngine*, int) override { return 1; }
  int SaveXML(int, int) override { return 0; }
  int LoadXML(int, int) override { return 0; }
};

}  // namespace qbte_test

class EngineTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::StartLog();
    ydxtest::ManualClock::Install(1000);
    QBTE_SetClock(&ydxtest::ManualClock::Read);
    ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  }
  void TearDown() override {
    engine.reset();
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  static bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
  static size_t LogCount(const std::string& text) {
    std::string log = ydxtest::LogText();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  }
  // An engine with `layers` slots rendering into a w x h target.
  cQBTE_TileEngine* Start(int layers = 2, int w = 640, int h = 400) {
    engine.reset(new cQBTE_TileEngine);
    target.reset(qbte_test::NewTarget(w, h));
    engine->InitEngine(layers, "test");
    engine->SetRenderTarget(target.get());
    return engine.get();
  }
  // Adds an engine-owned tileset of cols x rows tiles of tw x th at gid (deleted here when refused).
  int AddTiles(int gid, int tw = 32, int th = 32, int cols = 16, int rows = 16, const char* name = "tiles") {
    Yandorix_CTile* tile = qbte_test::NewTileset(name, cols, rows, tw, th);
    int first = engine->AddTileset(tile, gid);
    if (first > 0) engine->GetTilesetAt(engine->FindTileset((Uint32)first))->resourceControl = 1;
    else delete tile;
    return first;
  }
  // Attaches an engine-owned map and makes the layer drawn and updated.
  template <class F>
  void Layer(int id, int rows, int cols, int cw, int ch, F value, int flags = QBTE_RENDER | QBTE_UPDATE) {
    engine->SetLayerMapData(id, qbte_test::NewMap(rows, cols, cw, ch, value));
    engine->SetLayerResourceControl(id, 1);
    engine->SetLayerFlags(id, flags, 1);
  }
  std::unique_ptr<cQBTE_TileEngine> engine;
  Surface target;
};
