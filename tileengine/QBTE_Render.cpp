// The tile engine's frame operations: advancing the layers once per logic frame (automatic scrolling,
// per-cell updates, the update callback), drawing them inside the viewport with repetition, smooth
// interpolation and grid lines, and mapping screen points to layer pixels and cells.
#include "QBTE_TileEngine.h"
#include <math.h>
#include <algorithm>

namespace {

// Positions far beyond any map still convert to an int safely.
int ToPixel(float value) {
  if (!(value == value)) return 0;   // NaN
  const float limit = 1073741824.0f;
  return (int)std::max(-limit, std::min(limit, value));
}

int FloorDiv(int value, int step) {
  int quotient = value / step;
  return (value % step != 0 && (value < 0) != (step < 0)) ? quotient - 1 : quotient;
}

// An index of a looping dimension repeats; outside a non-looping one it is skipped (-1).
int Wrap(int index, int size, bool loops) {
  if (index >= 0 && index < size) return index;
  if (!loops) return -1;
  if (index >= size) return index % size;
  return size - ((-index - 1) % size) - 1;
}

Sint16 ToCoordinate(int value) { return (Sint16)std::max(-32768, std::min(32767, value)); }

float MainLogicTime() { return Yandorix.GetLogicTime(); }

// Cells a layer covers, from its position's pixel: columns reach overhang pixels further left (wide
// tiles reach right out of their cell) and rows further down (tall tiles reach up out of theirs).
struct CellRange {
  int firstCol, endCol, firstRow, endRow;   // end bounds exclusive
};

CellRange VisibleCells(int pixelX, int pixelY, const SDL_Rect& view, const sQBTE_Layer* layer,
                       const cQBTE_MapData* map) {
  int cw = map->GetCellWidth(), ch = map->GetCellHeight();
  CellRange range;
  range.firstCol = FloorDiv(pixelX - layer->overhangX, cw);
  range.endCol = std::max(range.firstCol, FloorDiv(pixelX + view.w - 1, cw) + 1);
  range.firstRow = FloorDiv(pixelY, ch);
  range.endRow = std::max(range.firstRow, FloorDiv(pixelY + view.h + layer->overhangY - 1, ch) + 1);
  return range;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Update

int cQBTE_TileEngine::UpdateLayers(int layer) {
  if (state != 2 || layer >= (int)layers.size()) return 0;
  for (int id = 0; id < (int)layers.size(); ++id) {
    if (layer != -1 && layer != id) continue;
    if (layers[id]->flags & (QBTE_UPDATE | QBTE_UPDATECELLS))
      UpdateLayer(id);
    else
      layers[id]->lastTick = 0;   // timing starts again from the update that finds it on
  }
  return 1;
}

void cQBTE_TileEngine::UpdateLayer(int id) {
  sQBTE_Layer* layer = layers[id];
  cQBTE_MapData* map = layer->mapData;
  if (!QBTE_MapDrawable(map)) return;
  Uint32 now = QBTE_Ticks();
  if (layer->lastTick == 0) layer->lastTick = now;
  float seconds = (float)(Uint32)(now - layer->lastTick) * 0.001f;
  layer->lastTick = now;
  if ((layer->flags & QBTE_AUTOSCROLL) && !(layer->flags & QBTE_PAUSE)) {
    if (layer->speedX != 0.0f) ClampedSetX(layer, layer->posX + seconds * layer->speedX);
    if (layer->speedY != 0.0f) ClampedSetY(layer, layer->posY + seconds * layer->speedY);
  }
  if (layer->snap) {
    layer->snap = 0;
    layer->prevX = layer->posX;
    layer->prevY = layer->posY;
  } else {
    layer->prevX = layer->curX;
    layer->prevY = layer->curY;
  }
  layer->curX = layer->posX;
  layer->curY = layer->posY;

  CellRange cells = VisibleCells(ToPixel(layer->curX), ToPixel(layer->curY), viewport, layer, map);
  if (layer->flags & QBTE_UPDATECELLS) UpdateLayerCells(id, cells.firstCol, cells.endCol, cells.firstRow, cells.endRow);
  if (!ValidLayer(id) || layers[id] != layer || !layer->onUpdateEnd) return;
  int cw = map == layer->mapData ? map->GetCellWidth() : 0, ch = map == layer->mapData ? map->GetCellHeight() : 0;
  if (!cw || !ch) return;   // the map went away during the cell updates
  int left = viewport.x - layer->overhangX - cells.firstCol * cw;
  int top = viewport.y - cells.firstRow * ch;
  // What callbacks receive in the fourth and seventh place is unsettled; the products stay 32 bits.
  layer->onUpdateEnd(cells.firstCol, cells.firstRow, left, (int)(Uint32)((long long)cells.endCol * left), cw, top,
                     (int)(Uint32)((long long)cells.endRow * top), ch);
}

// Each visible cell's own update; stops when an update takes the cells' map or UpdateCells away.
void cQBTE_TileEngine::UpdateLayerCells(int id, int firstCol, int endCol, int firstRow, int endRow) {
  sQBTE_Layer* layer = layers[id];
  cQBTE_MapData* map = layer->mapData;
  int width = map->GetWidth(), height = map->GetHeight();
  bool loopX = layer->flags & QBTE_LOOPX, loopY = layer->flags & QBTE_LOOPY;
  auto unchanged = [&] {
    return ValidLayer(id) && layers[id] == layer && layer->mapData == map && (layer->flags & QBTE_UPDATECELLS);
  };
  for (int row = firstRow; row < endRow && unchanged(); ++row) {
    int mapRow = Wrap(row, height, loopY);
    if (mapRow < 0) continue;
    for (int col = firstCol; col < endCol; ++col) {
      int mapCol = Wrap(col, width, loopX);
      if (mapCol < 0) continue;
      map->UpdateCell(mapCol, mapRow, this, 0, 0);
      if (!unchanged()) return;
    }
  }
}

// ---------------------------------------------------------------------------------------------------
// Render

int cQBTE_TileEngine::RenderLayers(int layer) {
  if (state != 2 || !target || layer >= (int)layers.size()) return 0;
  SDL_Surface* surface = target;
  SDL_Rect saved;
  SDL_GetClipRect(surface, &saved);
  SDL_Rect view = viewport;
  SDL_SetClipRect(surface, &view);
  for (int id = 0; id < (int)layers.size(); ++id)
    if ((layer == -1 || layer == id) && (layers[id]->flags & QBTE_RENDER)) RenderLayer(id);
  SDL_SetClipRect(surface, &saved);
  return 1;
}

int cQBTE_TileEngine::HoldTileAlpha(Yandorix_CTile* tile, int alpha) {
  if (!drawing || !tile) return 0;
  for (const HeldAlpha& held : heldAlpha)
    if (held.tile == tile) return 1;
  // Set once for the layer: every SetAlpha makes SDL rebuild its blit and the tile drop its
  // transformed copies.
  int own = tile->GetAlpha();
  if (own == 256 || own == alpha) {
    heldAlpha.push_back({tile, -1});
  } else {
    tile->SetAlpha(alpha);
    heldAlpha.push_back({tile, own});
  }
  return 1;
}

void cQBTE_TileEngine::ReleaseHeldAlpha() {
  for (const HeldAlpha& held : heldAlpha)
    if (held.alpha >= 0) held.tile->SetAlpha(held.alpha);
  heldAlpha.clear();
  drawing = false;
}

void cQBTE_TileEngine::RenderLayer(int id) {
  sQBTE_Layer* layer = layers[id];
  cQBTE_MapData* map = layer->mapData;
  if (!QBTE_MapDrawable(map)) return;
  if (layer->flags & QBTE_SMOOTHSCROLL) {
    float time = logicTime ? logicTime() : MainLogicTime();
    float f = time - floorf(time);
    layer->renderX = f * layer->curX + (1.0f - f) * layer->prevX;
    layer->renderY = f * layer->curY + (1.0f - f) * layer->prevY;
  } else {
    layer->renderX = layer->curX;
    layer->renderY = layer->curY;
  }
  int cw = map->GetCellWidth(), ch = map->GetCellHeight();
  int rx = ToPixel(layer->renderX), ry = ToPixel(layer->renderY);
  int mx = rx % cw, my = ry % ch;
  if (mx < 0) mx += cw;
  if (my < 0) my += ch;
  int startX = rx - layer->overhangX - mx, endX = rx + viewport.w;
  int startY = ry - my, endY = ry + viewport.h + layer->overhangY;
  int sx0 = viewport.x - mx - layer->overhangX, sy0 = viewport.y - my;

  drawing = true;
  DrawLayerCells(id, layer, startX, endX, startY, endY, sx0, sy0);
  ReleaseHeldAlpha();
  if (!ValidLayer(id) || layers[id] != layer) return;

  if (layer->onRenderEnd && layer->mapData == map) {
    int firstCol = Wrap(startX / cw, map->GetWidth(), layer->flags & QBTE_LOOPX);
    int firstRow = Wrap(startY / ch, map->GetHeight(), layer->flags & QBTE_LOOPY);
    layer->onRenderEnd(firstCol, firstRow, startX, endX, cw, startY, endY, ch);
    if (!ValidLayer(id) || layers[id] != layer) return;
  }
  if ((layer->flags & QBTE_SHOWGRID) && layer->mapData == map) DrawLayerGrid(layer, sx0, sy0, mx, my);
}

// Rows from startY and columns from startX in cell steps (both multiples of the cell size), wrapped
// by the loop flags; each cell drawn by the map itself. Stops when a draw takes the map away.
void cQBTE_TileEngine::DrawLayerCells(int id, sQBTE_Layer* layer, int startX, int endX, int startY, int endY, int sx0,
                                      int sy0) {
  cQBTE_MapData* map = layer->mapData;
  int cw = map->GetCellWidth(), ch = map->GetCellHeight();
  int width = map->GetWidth(), height = map->GetHeight();
  bool loopX = layer->flags & QBTE_LOOPX, loopY = layer->flags & QBTE_LOOPY;
  int alpha = layer->alpha;
  for (int y = startY, screenY = sy0; y < endY; y += ch, screenY += ch) {
    int row = Wrap(y / ch, height, loopY);
    if (row < 0) continue;
    for (int x = startX, screenX = sx0; x < endX; x += cw, screenX += cw) {
      int column = Wrap(x / cw, width, loopX);
      if (column < 0) continue;
      map->DrawCell(column, row, screenX, screenY, this, alpha);
      if (layer->mapData != map || layers.size() <= (size_t)id || layers[id] != layer) return;
    }
  }
}

void cQBTE_TileEngine::DrawLayerGrid(const sQBTE_Layer* layer, int sx0, int sy0, int mx, int my) {
  if (!IPrimitives) return;
  const cQBTE_MapData* map = layer->mapData;
  int cw = map->GetCellWidth(), ch = map->GetCellHeight();
  // Lines are drawn outside the blit rule, so the software cursor is given its background first.
  int restored = (target == Yandorix.screen && ICursor) ? ICursor->RestoreBG(&viewport) : 0;
  int right = viewport.x + viewport.w, bottom = viewport.y + viewport.h;
  for (int y = sy0; y < sy0 + viewport.h + layer->overhangY + my; y += ch)
    IPrimitives->HLineColor(target, ToCoordinate(sx0), ToCoordinate(right), ToCoordinate(y), layer->gridColor);
  for (int x = sx0; x < sx0 + viewport.w + layer->overhangX + mx; x += cw)
    IPrimitives->VLineColor(target, ToCoordinate(x), ToCoordinate(sy0), ToCoordinate(bottom), layer->gridColor);
  if (restored == 1) ICursor->CopyBG();
}

// ---------------------------------------------------------------------------------------------------
// Screen points

int cQBTE_TileEngine::Screen2LayerAbsolute(int layer, int sx, int sy, int* x, int* y) {
  if (state == 0 || !ValidLayer(layer) || !x || !y) return 0;
  const sQBTE_Layer* l = layers[layer];
  if (!(l->flags & QBTE_RENDER)) return 0;
  if (sx < viewport.x || sx > viewport.x + viewport.w || sy < viewport.y || sy > viewport.y + viewport.h) return 0;
  *x = sx - viewport.x + ToPixel(l->posX);
  *y = sy - viewport.y + ToPixel(l->posY);
  return 1;
}

int cQBTE_TileEngine::Screen2LayerCell(int layer, int sx, int sy, int* col, int* row) {
  int x = 0, y = 0;
  if (!col || !row || !Screen2LayerAbsolute(layer, sx, sy, &x, &y)) return 0;
  const cQBTE_MapData* map = layers[layer]->mapData;
  if (!QBTE_MapDrawable(map)) return 0;
  // Floored like the renderer, so points left of or above the map's start fall in column (row) -1.
  *col = FloorDiv(x, map->GetCellWidth());
  *row = FloorDiv(y, map->GetCellHeight());
  return 1;
}
