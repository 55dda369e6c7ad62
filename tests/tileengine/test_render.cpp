// Rendering and updating: tiles decoded from an off-screen 32-bit target (column positions at a
// scroll, LoopX wrap, narrow maps, tall tiles standing on their cell, flip bits, grid lines, the
// viewport clip, layer alpha set once and given back), screen-to-layer mapping, and update steps,
// pauses, snaps, timing restarts and smooth-scroll fractions on the clock and logic-time seams.
#include "EngineTest.h"
#include <dlfcn.h>

using namespace qbte_test;
using ydxtest::ManualClock;

// Counts SDL_SetAlpha calls: the executable's definition is found before SDL's.
static int setAlphaCalls = 0;
extern "C" int SDL_SetAlpha(SDL_Surface* surface, Uint32 flags, Uint8 alpha) {
  typedef int (*SetAlpha)(SDL_Surface*, Uint32, Uint8);
  static SetAlpha real = reinterpret_cast<SetAlpha>(dlsym(RTLD_NEXT, "SDL_SetAlpha"));
  setAlphaCalls++;
  return real(surface, flags, alpha);
}

namespace {

float logicTime = 0.0f;
float LogicTime() { return logicTime; }

class RenderTest : public EngineTest {
 protected:
  // Layer 0: 100 x 20 cells of 32 x 32 whose tile is its column + 1.
  void Columns(int flags = QBTE_RENDER | QBTE_UPDATE, int columns = 100) {
    Start(2);
    engine->SetLogicTimeSource(LogicTime);
    AddTiles(1);
    Layer(0, 20, columns, 32, 32, [](int c, int) { return c + 1; }, flags);
  }
  int TileAtScreen(int x, int y) { return TileAt(Pixel(target.get(), x, y)); }
  void Clear() { SDL_FillRect(target.get(), NULL, 0); }
  sQBTE_Layer* L(int id = 0) { return engine->GetLayer(id); }
};

struct Call {
  int args[8];
};
std::vector<Call> calls;
void Record(int a, int b, int c, int d, int e, int f, int g, int h) { calls.push_back({{a, b, c, d, e, f, g, h}}); }

// A base map that records each per-cell update.
class UpdateCounter : public cQBTE_MapBase {
 public:
  UpdateCounter(int rows, int cols) : cQBTE_MapBase(rows, cols) {
    SetCellWidth(32);
    SetCellHeight(32);
    FillCells(-1, -1, 1);
  }
  int UpdateCell(int column, int row, cQBTE_TileEngine*, int, int) override {
    updated.push_back({column, row});
    return 1;
  }
  std::vector<std::pair<int, int>> updated;
};

}  // namespace

TEST_F(RenderTest, ColumnsAtAScrollPosition) {
  Columns();
  engine->SetLayerPosition(0, 40.0f, QBTE_POS_KEEP);
  engine->UpdateLayers(-1);
  ASSERT_EQ(engine->RenderLayers(-1), 1);
  EXPECT_EQ(TileAtScreen(0, 5), 2);   // column 1 at screen x -8
  EXPECT_EQ(TileAtScreen(23, 5), 2);
  for (int k = 0; k < 20; ++k) {
    int x = 24 + 32 * k;
    EXPECT_EQ(TileAtScreen(x, 5), k + 3) << "screen x " << x;
    EXPECT_TRUE(Pixel(target.get(), x, 5) & kLeftCol);
  }
  EXPECT_EQ(TileAtScreen(639, 399), 22);   // column 21 is the 21st and last
  EXPECT_EQ(L()->renderX, 40.0f);
}

TEST_F(RenderTest, LoopXWrapsLeftAndANonLoopingLayerLeavesItEmpty) {
  Columns(QBTE_RENDER | QBTE_UPDATE | QBTE_LOOPX);
  engine->SetLayerPosition(0, -10.0f, QBTE_POS_KEEP);
  engine->UpdateLayers(-1);
  engine->RenderLayers(-1);
  EXPECT_EQ(TileAtScreen(0, 5), 100);   // column W - 1 at screen x -22
  EXPECT_EQ(TileAtScreen(9, 5), 100);
  EXPECT_EQ(TileAtScreen(10, 5), 1);
  EXPECT_TRUE(Pixel(target.get(), 10, 5) & kLeftCol);
  engine->SetLayerFlags(0, QBTE_LOOPX, 0);
  Clear();
  engine->RenderLayers(-1);
  EXPECT_EQ(TileAtScreen(5, 5), 0);
  EXPECT_EQ(TileAtScreen(10, 5), 1);
}

TEST_F(RenderTest, ANarrowMapLeavesTheRestEmpty) {
  Columns(QBTE_RENDER | QBTE_UPDATE, 5);
  engine->MoveLayer(0, 16.0f, 0.0f);   // clamped to 0: the map is narrower than the viewport
  engine->UpdateLayers(-1);
  engine->RenderLayers(-1);
  EXPECT_EQ(TileAtScreen(0, 5), 1);
  EXPECT_EQ(TileAtScreen(159, 5), 5);
  EXPECT_EQ(TileAtScreen(160, 5), 0);
  EXPECT_EQ(TileAtScreen(639, 5), 0);
}

TEST_F(RenderTest, TallTilesStandOnTheBottomOfTheirCell) {
  Start(1, 64, 64);
  AddTiles(1, 32, 64, 4, 1);
  Layer(0, 4, 2, 32, 32, [](int, int r) { return r + 1; });
  EXPECT_EQ(L()->overhangY, 32);
  engine->UpdateLayers(-1);
  engine->RenderLayers(-1);
  // Row 1's tile covers screen rows 0..63; row 2's, from 32 down, reaches into the viewport from the
  // cell below its bottom edge and covers the lower half.
  EXPECT_EQ(TileAtScreen(5, 0), 2);
  EXPECT_TRUE(Pixel(target.get(), 5, 0) & kTopRow);
  EXPECT_EQ(TileAtScreen(5, 31), 2);
  EXPECT_EQ(TileAtScreen(5, 32), 3);
  EXPECT_TRUE(Pixel(target.get(), 5, 32) & kTopRow);
  EXPECT_EQ(TileAtScreen(5, 63), 3);
}

TEST_F(RenderTest, FlipBitsReachTheTile) {
  Start(1, 64, 32);
  AddTiles(1, 32, 32, 4, 1);
  Layer(0, 1, 2, 32, 32, [](int c, int) { return (int)(c == 0 ? 0x40000002u : 0x80000003u); });
  engine->UpdateLayers(-1);
  engine->RenderLayers(-1);
  EXPECT_EQ(TileAtScreen(5, 31), 2);
  EXPECT_TRUE(Pixel(target.get(), 5, 31) & kTopRow) << "flipped: the top row at the bottom";
  EXPECT_FALSE(Pixel(target.get(), 5, 0) & kTopRow);
  EXPECT_EQ(TileAtScreen(63, 5), 3);
  EXPECT_TRUE(Pixel(target.get(), 63, 5) & kLeftCol) << "mirrored: the left column at the right";
}

TEST_F(RenderTest, GridLinesInsideTheViewportAndTheClipRestored) {
  Columns(QBTE_RENDER | QBTE_UPDATE | QBTE_SHOWGRID);
  SDL_Rect view = {100, 50, 200, 100};
  engine->SetViewport(&view);
  engine->SetLayerGridColor(0, 0x00FF00FFu);
  engine->SetLayerPosition(0, 40.0f, 8.0f);
  engine->UpdateLayers(-1);
  SDL_Rect clip = {1, 2, 300, 300};
  SDL_SetClipRect(target.get(), &clip);
  engine->RenderLayers(-1);
  SDL_Rect after;
  SDL_GetClipRect(target.get(), &after);
  EXPECT_EQ(after.x * 1000 + after.y, 1002);
  EXPECT_EQ(after.w * 1000 + after.h, 300300);
  // Vertical lines at viewport x - 8 + 32k, horizontal ones at viewport y - 8 + 32k.
  EXPECT_EQ(Pixel(target.get(), 124, 60), 0x00FF00FFu);
  EXPECT_EQ(Pixel(target.get(), 120, 74), 0x00FF00FFu);
  EXPECT_NE(Pixel(target.get(), 125, 60), 0x00FF00FFu);
  EXPECT_EQ(Pixel(target.get(), 299, 149 - 11), 0x00FF00FFu);   // y 138 = 50 - 8 + 96
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 640; ++x) {
      if (x >= 100 && x < 300 && y >= 50 && y < 150) continue;
      ASSERT_EQ(Pixel(target.get(), x, y), 0u) << x << "," << y;
    }
  EXPECT_EQ(TileAtScreen(100, 50), 2);
}

TEST_F(RenderTest, LayerAlphaIsSetOnceAndGivenBack) {
  Columns();
  Yandorix_CTile* tile = engine->GetTilesetAt(0)->tile;
  engine->SetLayerAlpha(0, 128);
  engine->UpdateLayers(-1);
  setAlphaCalls = 0;
  engine->RenderLayers(-1);
  EXPECT_GE(setAlphaCalls, 1) << "SDL_SetAlpha calls must be counted";
  EXPECT_LE(setAlphaCalls, 2) << "alpha was set per cell";
  EXPECT_EQ(tile->GetAlpha(), 255);
  Uint8 r, g, b;
  SDL_GetRGB(Pixel(target.get(), 100, 100), target->format, &r, &g, &b);
  EXPECT_NEAR(r, 0x10, 1);   // half of the tile's 0x20 red over black
  tile->SetAlpha(200);
  Clear();
  engine->RenderLayers(-1);
  EXPECT_EQ(tile->GetAlpha(), 200);
  SDL_GetRGB(Pixel(target.get(), 100, 100), target->format, &r, &g, &b);
  EXPECT_NEAR(r, 0x10, 1);
  // Outside a render the map sets and restores the alpha around each cell itself.
  cQBTE_MapData* map = engine->GetLayerMapData(0);
  Clear();
  EXPECT_EQ(map->DrawCell(3, 0, 0, 0, engine.get(), 64), 1);
  EXPECT_EQ(tile->GetAlpha(), 200);
  SDL_GetRGB(Pixel(target.get(), 5, 5), target->format, &r, &g, &b);
  EXPECT_NEAR(r, 0x08, 1);
}

TEST_F(RenderTest, ScreenPointsToLayerCells) {
  Columns();
  engine->SetLayerPosition(0, 40.0f, 0.0f);
  int col = -7, row = -7, x = -7, y = -7;
  EXPECT_EQ(engine->Screen2LayerCell(0, 640, 399, &col, &row), 1);   // the right edge pixel is accepted
  EXPECT_EQ(col, 21);
  EXPECT_EQ(row, 12);
  EXPECT_EQ(engine->Screen2LayerAbsolute(0, 641, 5, &x, &y), 0);
  EXPECT_EQ(x, -7);
  EXPECT_EQ(engine->Screen2LayerAbsolute(0, 10, 400, &x, &y), 1);
  EXPECT_EQ(x * 1000 + y, 50400);
  EXPECT_EQ(engine->Screen2LayerCell(1, 10, 10, &col, &row), 0);   // layer 1 is not drawn
  engine->SetLayerFlags(0, QBTE_LOOPX, 1);
  engine->SetLayerPosition(0, -10.0f, QBTE_POS_KEEP);
  engine->Screen2LayerCell(0, 0, 0, &col, &row);
  EXPECT_EQ(col, -1) << "points left of the map's start floor";
}

TEST_F(RenderTest, AutoScrollStepsByTheClockAndPauseStopsIt) {
  Columns(QBTE_RENDER | QBTE_UPDATE | QBTE_AUTOSCROLL);
  engine->SetLayerSpeed(0, 32.0f, 16.0f);
  engine->UpdateLayers(-1);
  EXPECT_EQ(L()->posX, 0.0f);
  ManualClock::Advance(500);
  engine->UpdateLayers(-1);
  EXPECT_FLOAT_EQ(L()->posX, 16.0f);
  EXPECT_FLOAT_EQ(L()->posY, 8.0f);
  EXPECT_FLOAT_EQ(L()->prevX, 0.0f);
  engine->UpdateLayers(-1);   // the same millisecond: no move, but prev catches up
  EXPECT_FLOAT_EQ(L()->posX, 16.0f);
  EXPECT_FLOAT_EQ(L()->prevX, 16.0f);
  engine->SetLayerFlags(0, QBTE_PAUSE, 1);
  ManualClock::Advance(1000);
  engine->UpdateLayers(-1);
  EXPECT_FLOAT_EQ(L()->posX, 16.0f);
  engine->SetLayerFlags(0, QBTE_PAUSE, 0);
  ManualClock::Advance(250);
  engine->UpdateLayers(0);
  EXPECT_FLOAT_EQ(L()->posX, 24.0f);
  EXPECT_EQ(engine->UpdateLayers(2), 0);
}

TEST_F(RenderTest, TimingRestartsInsteadOfJumping) {
  Columns(QBTE_RENDER | QBTE_UPDATE | QBTE_AUTOSCROLL);
  engine->SetLayerSpeed(0, 10.0f, QBTE_POS_KEEP);
  engine->UpdateLayers(-1);
  engine->SetLayerFlags(0, QBTE_UPDATE, 0);
  ManualClock::Advance(60000);   // a minute without updates
  engine->SetLayerFlags(0, QBTE_UPDATE, 1);
  engine->UpdateLayers(-1);
  EXPECT_EQ(L()->posX, 0.0f);
  ManualClock::Advance(100);
  engine->UpdateLayers(-1);
  EXPECT_FLOAT_EQ(L()->posX, 1.0f);
  engine->ResetLayer(0);
  EXPECT_EQ(L()->lastTick, 0u);
  ManualClock::Advance(60000);
  engine->SetLayerMapData(0, NewMap(2, 100, 32, 32, [](int, int) { return 1; }));
  engine->SetLayerResourceControl(0, 1);
  engine->GetLayer(0)->flags = QBTE_UPDATE | QBTE_AUTOSCROLL;   // as a loader writes a stored status
  engine->SetLayerSpeed(0, 10.0f, QBTE_POS_KEEP);
  engine->UpdateLayers(-1);
  EXPECT_EQ(L()->posX, 0.0f) << "the first update after a reset jumped";
}

TEST_F(RenderTest, SmoothScrollInterpolatesAndSnapsDoNot) {
  Columns(QBTE_RENDER | QBTE_UPDATE | QBTE_SMOOTHSCROLL);
  engine->UpdateLayers(-1);
  engine->SetLayerPosition(0, 64.0f, QBTE_POS_KEEP);
  engine->UpdateLayers(-1);
  logicTime = 12.25f;
  engine->RenderLayers(-1);
  EXPECT_FLOAT_EQ(L()->renderX, 16.0f);
  EXPECT_EQ(TileAtScreen(0, 0), 1);
  EXPECT_EQ(TileAtScreen(16, 0), 2);
  engine->SetLayerPosition(0, QBTE_POS_END, QBTE_POS_KEEP);   // a jump
  engine->UpdateLayers(-1);
  engine->RenderLayers(-1);
  EXPECT_FLOAT_EQ(L()->renderX, 3200.0f - 640.0f);
  engine->SetLayerFlags(0, QBTE_SMOOTHSCROLL, 0);
  engine->SetLayerPosition(0, 0.0f, QBTE_POS_KEEP);
  engine->RenderLayers(-1);   // seen only after the next update
  EXPECT_FLOAT_EQ(L()->renderX, 3200.0f - 640.0f);
}

TEST_F(RenderTest, CellUpdatesCoverTheVisibleCellsAndCallbacksGetTheirRange) {
  Start(1);
  AddTiles(1);
  UpdateCounter* map = new UpdateCounter(20, 100);
  engine->SetLayerMapData(0, map);
  engine->SetLayerResourceControl(0, 1);
  engine->SetLayerFlags(0, QBTE_RENDER | QBTE_UPDATECELLS | QBTE_LOOPX | QBTE_PAUSE | QBTE_AUTOSCROLL, 1);
  engine->SetOnUpdateEnd(0, Record);
  engine->SetOnRenderEnd(0, Record);
  engine->SetLayerFlags(0, QBTE_PAUSE, 0);
  engine->SetLayerPosition(0, 40.0f, 0.0f);
  engine->SetLayerFlags(0, QBTE_PAUSE, 1);
  engine->UpdateLayers(-1);   // paused layers keep updating their cells
  EXPECT_EQ(map->updated.size(), 21u * 13u);   // columns 1..21 and rows 0..12 are visible
  EXPECT_EQ(map->updated.front(), std::make_pair(1, 0));
  EXPECT_EQ(map->updated.back(), std::make_pair(21, 12));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0] * 100 + calls[0].args[1], 100);
  engine->RenderLayers(-1);
  ASSERT_EQ(calls.size(), 2u);
  const int expected[8] = {1, 0, 32, 680, 32, 0, 400, 32};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(calls[1].args[i], expected[i]) << "argument " << i;
  engine->SetLayerFlags(0, QBTE_PAUSE, 0);
  engine->SetLayerPosition(0, -10.0f, QBTE_POS_KEEP);
  map->updated.clear();
  engine->UpdateLayers(-1);
  EXPECT_EQ(map->updated.front(), std::make_pair(99, 0)) << "column -1 wraps to the last";
  EXPECT_EQ(map->updated.size(), 21u * 13u);
}

TEST_F(RenderTest, FrameOperationsNeedARenderTarget) {
  cQBTE_TileEngine idle;
  EXPECT_EQ(idle.RenderLayers(-1), 0);
  idle.InitEngine(1, "x");
  EXPECT_EQ(idle.UpdateLayers(-1), 0);
  EXPECT_EQ(idle.RenderLayers(-1), 0);
  int x = 0, y = 0;
  EXPECT_EQ(idle.Screen2LayerAbsolute(0, 0, 0, &x, &y), 0);
  Columns();
  EXPECT_EQ(engine->RenderLayers(2), 0);
  EXPECT_EQ(engine->RenderLayers(1), 1);
  EXPECT_EQ(TileAtScreen(5, 5), 0);
}
