// Tilesets of the tile engine: each a tile object in tileset mode that owns a range of global tile ids,
// and the check that every non-zero cell of a layer's map has its tileset.
#include "QBTE_TileEngine.h"
#include "QBTE_Shared.h"
#include <stdlib.h>
#include <string.h>
#include <algorithm>

namespace {

const Uint32 kLargestGid = 0x1FFFFFFFu;

const char* Shown(const char* text) { return text ? text : ""; }

char* CopyText(const char* text) {
  size_t length = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(length));
  if (copy) memcpy(copy, text, length);
  return copy;
}

bool Holds(const sQBTE_Tileset* tileset, Uint32 id) {
  return id >= tileset->firstGid && id - tileset->firstGid < (Uint32)tileset->tileCount;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Adding and removing

// Why a tile cannot be added under gid with `count` tiles: -1 with a log line, 0 when it can. An
// explicit range must lie within the id space and overlap no loaded one.
int cQBTE_TileEngine::TilesetRangeRefusal(Yandorix_CTile* tile, int gid, int count) {
  Uint64 last = (Uint64)(Uint32)gid + (Uint64)count - 1;
  if (gid < 1 || last > kLargestGid) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: tileset '%s' with global ID '%d' was not loaded (IDs beyond %u)\n",
                   Shown(tile->GetName()), gid, kLargestGid);
    return -1;
  }
  const sQBTE_Tileset* first = NULL;
  const sQBTE_Tileset* lastHolder = NULL;
  const sQBTE_Tileset* overlapping = NULL;
  for (const sQBTE_Tileset* tileset : tilesets) {
    Uint64 end = (Uint64)tileset->firstGid + (Uint64)tileset->tileCount - 1;
    if (!first && Holds(tileset, (Uint32)gid)) first = tileset;
    if (!lastHolder && Holds(tileset, (Uint32)last)) lastHolder = tileset;
    if (!overlapping && (Uint64)(Uint32)gid <= end && (Uint64)tileset->firstGid <= last) overlapping = tileset;
  }
  if (!overlapping) return 0;
  const sQBTE_Tileset* named = first ? first : (lastHolder ? lastHolder : overlapping);
  ILogSystem.Msg(infoLevel, " [QBTE] Warning: tileset '%s' with global ID '%d' was not loaded (collision with gID '%d')\n",
                 Shown(tile->GetName()), gid, (int)named->firstGid);
  return -1;
}

int cQBTE_TileEngine::AddTileset(Yandorix_CTile* tile, int gid) {
  if (state == 0 || !tile || gid == 0) return -1;
  int tileWidth = 0, tileHeight = 0;
  tile->GetOffset(&tileWidth, &tileHeight);
  // A tile that was never created has no sizes to count tiles with.
  long long count = tileWidth > 0 && tileHeight > 0
                        ? (long long)(tile->GetSizeX() / tileWidth) * (tile->GetSizeY() / tileHeight) : 0;
  if (!tile->GetSurface() || count < 1 || count > kLargestGid) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: tileset '%s' with global ID '%d' was not loaded (it holds no tiles)\n",
                   Shown(tile->GetName()), gid);
    return -1;
  }
  if (gid < 0) {
    Uint64 next = 1;
    for (const sQBTE_Tileset* tileset : tilesets)
      next = std::max(next, (Uint64)tileset->firstGid + (Uint64)tileset->tileCount + 1);
    gid = next > kLargestGid ? (int)kLargestGid + 1 : (int)next;   // beyond the id space: refused below
  }
  if (TilesetRangeRefusal(tile, gid, (int)count) < 0) return -1;
  sQBTE_Tileset* tileset = new sQBTE_Tileset;
  tileset->firstGid = (Uint32)gid;
  tileset->source = CopyText(QBTE_TILESET_DEFAULT_SOURCE);
  tileset->tile = tile;
  tileset->tileCount = (int)count;
  tileset->resourceControl = 0;
  tilesets.push_back(tileset);

  int nowReady = 0;
  for (int id = 0; id < (int)layers.size(); ++id)
    if (layers[id]->mapData && !layers[id]->ready && CheckLayerCells(id)) ++nowReady;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: tileset '%s' with global ID '%d' loaded:\n", Shown(tile->GetName()), gid);
  ILogSystem.Msg(infoLevel, "         . %d tiles of %dx%d\n", tileset->tileCount, tileWidth, tileHeight);
  if (nowReady)
    ILogSystem.Msg(infoLevel, "         . %d %s now ready\n", nowReady, nowReady == 1 ? "layer is" : "layers are");
  return gid;
}

// Sets the source and resource control of a tileset the engine made itself; deletes the tile when
// it was not taken.
static int Adopt(cQBTE_TileEngine* engine, Yandorix_CTile* tile, int gid, const char* source) {
  int first = engine->AddTileset(tile, gid);
  if (first < 0) {
    delete tile;
    return -1;
  }
  engine->GetTilesetAt(engine->FindTileset((Uint32)first))->resourceControl = 1;
  engine->SetTilesetSource((Uint32)first, source);
  return first;
}

int cQBTE_TileEngine::LoadTilesetImage(const char* file, const char* name, int tileWidth, int tileHeight, int gid) {
  if (state == 0 || !file || !name) return -1;
  Yandorix_CTile* tile = new Yandorix_CTile;
  if (!tile->Create(file, name) || !tile->SetTileSet(1, tileWidth, tileHeight)) {
    delete tile;
    return -1;
  }
  return Adopt(this, tile, gid, file);
}

int cQBTE_TileEngine::LoadTilesetDPF(const char* archive, const char* block, int gid) {
  if (state == 0 || !archive || !block) return -1;
  Yandorix_CTile* tile = new Yandorix_CTile;
  if (tile->Load(archive, block, "TILE2") != 1) {
    delete tile;
    return -1;
  }
  return Adopt(this, tile, gid, archive);
}

void cQBTE_TileEngine::ReleaseTileset(sQBTE_Tileset* tileset) {
  // A tile whose alpha a running render holds gets it back before it goes.
  for (size_t i = 0; i < heldAlpha.size(); ++i)
    if (heldAlpha[i].tile == tileset->tile) {
      if (heldAlpha[i].alpha >= 0) tileset->tile->SetAlpha(heldAlpha[i].alpha);
      heldAlpha.erase(heldAlpha.begin() + (long)i);
      break;
    }
  free(tileset->source);
  if (tileset->resourceControl > 0) delete tileset->tile;
  delete tileset;
}

int cQBTE_TileEngine::UnloadTileset(Uint32 gid) {
  int index = state ? FindTileset(gid) : -1;
  if (index < 0) return 0;
  sQBTE_Tileset* tileset = tilesets[index];
  tilesets.erase(tilesets.begin() + index);
  lastFound = -1;
  int disabled = 0;
  for (int id = 0; id < (int)layers.size(); ++id)
    if (layers[id]->mapData && layers[id]->ready == 1 && !CheckLayerCells(id)) ++disabled;
  int tileWidth = 0, tileHeight = 0;
  tileset->tile->GetOffset(&tileWidth, &tileHeight);
  ILogSystem.Msg(infoLevel, " [QBTE] Info: tileset '%s' with global ID '%d' unloaded:\n",
                 Shown(tileset->tile->GetName()), (int)tileset->firstGid);
  ILogSystem.Msg(infoLevel, "         . %d tiles of %dx%d\n", tileset->tileCount, tileWidth, tileHeight);
  if (disabled)
    ILogSystem.Msg(infoLevel, "         . %d %s disabled\n", disabled, disabled == 1 ? "layer was" : "layers were");
  ReleaseTileset(tileset);
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Lookups

int cQBTE_TileEngine::FindTileset(Uint32 gid) {
  Uint32 id = gid & kLargestGid;
  if (id == 0) return -1;
  // Cells of a map come in runs of one tileset; ranges never overlap, so the last hit is the answer
  // whenever it holds the id.
  if (lastFound >= 0 && lastFound < (int)tilesets.size() && Holds(tilesets[lastFound], id)) return lastFound;
  for (int index = 0; index < (int)tilesets.size(); ++index)
    if (Holds(tilesets[index], id)) return lastFound = index;
  return -1;
}

char* cQBTE_TileEngine::GetTilesetSource(Uint32 gid) {
  sQBTE_Tileset* tileset = state ? GetTilesetAt(FindTileset(gid)) : NULL;
  return tileset ? tileset->source : NULL;
}

Yandorix_CTile* cQBTE_TileEngine::GetTilesetTile(Uint32 gid) {
  sQBTE_Tileset* tileset = state ? GetTilesetAt(FindTileset(gid)) : NULL;
  return tileset ? tileset->tile : NULL;
}

int cQBTE_TileEngine::SetTilesetSource(Uint32 gid, const char* source) {
  sQBTE_Tileset* tileset = state && source ? GetTilesetAt(FindTileset(gid)) : NULL;
  if (!tileset) return 0;
  if (!MatchExtension(source, ".png") && !MatchExtension(source, ".bmp") && !MatchExtension(source, ".dpf") &&
      strcmp(source, QBTE_TILESET_DEFAULT_SOURCE) != 0)
    return 0;
  char* copy = CopyText(source);
  if (!copy) return 0;
  free(tileset->source);
  tileset->source = copy;
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Cell check

int cQBTE_TileEngine::CheckLayerCells(int id) {
  if (!ValidLayer(id) || !layers[id]->mapData) return 0;
  sQBTE_Layer* layer = layers[id];
  cQBTE_MapData* map = layer->mapData;
  int cellWidth = map->GetCellWidth(), cellHeight = map->GetCellHeight();
  bool passed = QBTE_MapDrawable(map);
  if (!passed)
    ILogSystem.Msg(infoLevel, " [QBTE] Error: mapdata of layer '%s' with ID '%d' has a size or cell size out of range.\n",
                   layer->name, id);
  passed = passed && !tilesets.empty();   // without tilesets a map with cells cannot be drawn
  // Only maps built on the base map have cells the engine can read; others answer for themselves.
  const cQBTE_MapBase* base = dynamic_cast<const cQBTE_MapBase*>(map);
  std::vector<bool> measured(tilesets.size(), false);
  for (int row = 0; passed && base && row < map->GetHeight(); ++row) {
    const Sint32* values = base->GetRow(row);
    for (int column = 0; passed && values && column < map->GetWidth(); ++column) {
      Uint32 value = (Uint32)values[column];
      if (QBTE_IsEmptyCell(value)) continue;
      int index = FindTileset(value);
      if (index < 0) {
        ILogSystem.Msg(infoLevel,
                       " [QBTE] Error: tile '%u' in layer '%s' with ID '%d' at [%d,%d] was not found in the loaded "
                       "tilesets.\n", value, layer->name, id, column, row);
        passed = false;
        break;
      }
      if (measured[index]) continue;
      measured[index] = true;
      // Tiles larger than a cell reach out of it; rendering covers that much more.
      int tileWidth = 0, tileHeight = 0;
      tilesets[index]->tile->GetOffset(&tileWidth, &tileHeight);
      if (tileWidth > cellWidth)
        layer->overhangX = std::max(layer->overhangX, cellWidth * ((tileWidth + cellWidth - 1) / cellWidth - 1));
      if (tileHeight > cellHeight)
        layer->overhangY = std::max(layer->overhangY, cellHeight * ((tileHeight + cellHeight - 1) / cellHeight - 1));
    }
  }
  if (passed) {
    layer->ready = 1;
    return 1;
  }
  layer->flags = 0;
  layer->ready = 0;
  return 0;
}
