// Layers of the tile engine: their properties and flags, the speed and position requests that
// linked layers follow by their parallax ratio, and the maps they show.
#include "QBTE_TileEngine.h"
#include "QBTE_Shared.h"
#include <string.h>

namespace {

const char* const kFlagNames[] = {"LoopX",  "LoopY",  "AutoScroll",   "Update", "UpdateCells",
                                  "Render", "SmoothScroll", "ShowGrid", "Pause"};
const Uint32 kNeedsReadyMap = QBTE_UPDATE | QBTE_UPDATECELLS | QBTE_RENDER | QBTE_SMOOTHSCROLL;

// The low byte of a flag or mode value: a negative byte means 0, anything above 1 means 1.
int NormalisedSwitch(int value) {
  Sint8 low = (Sint8)(value & 0xFF);
  return low < 0 ? 0 : (low > 1 ? 1 : low);
}

}  // namespace

sQBTE_Layer* cQBTE_TileEngine::Initialised(int id) { return state != 0 && ValidLayer(id) ? layers[id] : NULL; }

void cQBTE_TileEngine::DefaultLayer(sQBTE_Layer* layer, Uint32 tick) {
  memset(layer, 0, sizeof *layer);
  layer->alpha = 255;
  CopyBounded(layer->name, QBTE_LAYER_DEFAULT_NAME, (int)sizeof layer->name);
  layer->lastTick = tick;
}

void cQBTE_TileEngine::ReleaseMap(sQBTE_Layer* layer, cQBTE_MapData* keep) {
  if (layer->mapData && layer->mapData != keep && layer->resourceControl > 0) delete layer->mapData;
}

// ---------------------------------------------------------------------------------------------------
// Properties

int cQBTE_TileEngine::SetLayerName(int id, const char* name) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer || !name) return 0;
  CopyBounded(layer->name, name, (int)sizeof layer->name);
  return 1;
}

char* cQBTE_TileEngine::GetLayerName(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? layer->name : NULL;
}

int cQBTE_TileEngine::GetLayerFlags(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? (int)layer->flags : -1;
}

int cQBTE_TileEngine::SetLayerFlags(int id, int mask, int value) {
  if (state != 2 || !ValidLayer(id)) return 0;
  sQBTE_Layer* layer = layers[id];
  int wanted = NormalisedSwitch(value);
  if (mask == 0 && layer->flags) {
    layer->flags = 0;
    ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' disabled.\n", layer->name, id);
    return 1;
  }
  for (int index = 0; index < 9; ++index) {
    Uint32 bit = 1u << index;
    if (!(mask & bit) || ((layer->flags & bit) != 0) == (wanted != 0)) continue;
    const char* name = kFlagNames[index];
    if (!wanted) {
      layer->flags &= ~bit;
      ILogSystem.Msg(infoLevel, " [QBTE] Info: unset %s flag for layer '%s' with ID '%d'.\n", name, layer->name, id);
      continue;
    }
    if ((bit & kNeedsReadyMap) && (!layer->mapData || !layer->ready)) {
      ILogSystem.Msg(infoLevel, " [QBTE] Warning: attempt to set %s flag for layer '%s' with ID '%d' failed (%s)\n",
                     name, layer->name, id, layer->mapData ? "Needed tilesets are not loaded" : "Mapdata was not set");
      continue;
    }
    // Updates that resume count time from now, not from the last update before they stopped.
    if ((bit & (QBTE_UPDATE | QBTE_UPDATECELLS)) && !(layer->flags & (QBTE_UPDATE | QBTE_UPDATECELLS)))
      layer->lastTick = 0;
    layer->flags |= bit;
    ILogSystem.Msg(infoLevel, " [QBTE] Info: set %s flag for layer '%s' with ID '%d'.\n", name, layer->name, id);
  }
  return 1;
}

int cQBTE_TileEngine::GetLayerResourceControl(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? layer->resourceControl : -1;
}

int cQBTE_TileEngine::SetLayerResourceControl(int id, int mode) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer || layer->resourceControl == 2) return 0;
  int wanted = NormalisedSwitch(mode);
  if (wanted != layer->resourceControl) {
    ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' changed to ", layer->name, id);
    ILogSystem.Msg(infoLevel, "user resource control mode.\n");
    layer->resourceControl = (Sint8)wanted;
  }
  return 1;
}

float cQBTE_TileEngine::GetLayerParallax(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? layer->parallaxRatio : 0.0f;
}

int cQBTE_TileEngine::SetLayerParallax(int id, float ratio) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  if (layer->parallaxRatio != ratio)
    ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' changed parallax ratio to '%.2f' value.\n",
                   layer->name, id, ratio);
  layer->parallaxRatio = ratio;
  return 1;
}

int cQBTE_TileEngine::GetLayerAlpha(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? layer->alpha : -1;
}

int cQBTE_TileEngine::SetLayerAlpha(int id, int alpha) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  alpha = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
  ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' changed alpha value to '%d'\n", layer->name, id,
                 alpha);
  layer->alpha = alpha;
  return 1;
}

int cQBTE_TileEngine::SetLayerGridColor(int id, Uint32 pixel) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  layer->gridColor = pixel;
  return 1;
}

int cQBTE_TileEngine::SetOnUpdateEnd(int id, LayerEndCallback callback) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  layer->onUpdateEnd = callback;
  return 1;
}

int cQBTE_TileEngine::SetOnRenderEnd(int id, LayerEndCallback callback) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  layer->onRenderEnd = callback;
  return 1;
}

LayerEndCallback* cQBTE_TileEngine::GetOnUpdateEnd(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? &layer->onUpdateEnd : NULL;
}

LayerEndCallback* cQBTE_TileEngine::GetOnRenderEnd(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? &layer->onRenderEnd : NULL;
}

cQBTE_MapData* cQBTE_TileEngine::GetLayerMapData(int id) {
  sQBTE_Layer* layer = Initialised(id);
  return layer ? layer->mapData : NULL;
}

int cQBTE_TileEngine::ResetLayer(int id) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  ReleaseMap(layer, NULL);
  DefaultLayer(layer, 0);
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Speed

int cQBTE_TileEngine::GetLayerSpeed(int id, float* x, float* y) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return -1;
  if (x) *x = layer->speedX;
  if (y) *y = layer->speedY;
  return 1;
}

int cQBTE_TileEngine::SetLayerSpeed(int id, float x, float y) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return 0;
  if (x != QBTE_POS_KEEP) {
    if (layer->speedX != x)
      ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' changed X speed to '%.2f' value(Requested)\n",
                     layer->name, id, x);
    layer->speedX = x;
    CascadeSpeed(id, false);
  }
  if (y != QBTE_POS_KEEP) {
    if (layer->speedY != y)
      ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' changed Y speed to '%.2f' value(Requested)\n",
                     layer->name, id, y);
    layer->speedY = y;
    CascadeSpeed(id, true);
  }
  return 1;
}

void cQBTE_TileEngine::CascadeSpeed(int id, bool vertical) {
  const sQBTE_Layer* source = layers[id];
  if (source->parallaxRatio == 0.0f) return;
  float speed = vertical ? source->speedY : source->speedX;
  for (int other = 0; other < (int)layers.size(); ++other) {
    sQBTE_Layer* layer = layers[other];
    if (other == id || layer->parallaxRatio == 0.0f) continue;
    float follow = layer->parallaxRatio * (speed / source->parallaxRatio);
    float& current = vertical ? layer->speedY : layer->speedX;
    if (current != follow)
      ILogSystem.Msg(infoLevel, " [QBTE] Info: layer '%s' with ID '%d' changed %c speed to '%.2f' value(Cascade)\n",
                     layer->name, other, vertical ? 'Y' : 'X', follow);
    current = follow;
  }
}

// ---------------------------------------------------------------------------------------------------
// Position

// The wanted position kept within the map: the end bound first, so that a map narrower than the
// viewport stays at 0 instead of going negative. True when the position changed.
bool cQBTE_TileEngine::ClampedSetX(sQBTE_Layer* layer, float wanted) {
  if (wanted == layer->posX) return false;
  if (!(layer->flags & QBTE_LOOPX)) {
    const cQBTE_MapData* map = layer->mapData;
    double mapWidth = map ? (double)map->GetWidth() * map->GetCellWidth() : 0.0;
    if (wanted + (double)viewport.w > mapWidth) wanted = (float)(mapWidth - viewport.w);
    if (wanted < 0.0f) wanted = 0.0f;
  }
  bool changed = wanted != layer->posX;
  layer->posX = wanted;
  return changed;
}

bool cQBTE_TileEngine::ClampedSetY(sQBTE_Layer* layer, float wanted) {
  if (wanted == layer->posY) return false;
  if (!(layer->flags & QBTE_LOOPY)) {
    const cQBTE_MapData* map = layer->mapData;
    double mapHeight = map ? (double)map->GetHeight() * map->GetCellHeight() : 0.0;
    if (wanted + (double)viewport.h > mapHeight) wanted = (float)(mapHeight - viewport.h);
    if (wanted < 0.0f) wanted = 0.0f;
  }
  bool changed = wanted != layer->posY;
  layer->posY = wanted;
  return changed;
}

// The map pixel a requested value stands for; the start, centre and end codes are jumps.
float cQBTE_TileEngine::DecodePosition(float value, bool vertical, const cQBTE_MapData* map, bool* jump) const {
  float view = vertical ? (float)viewport.h : (float)viewport.w;
  float extent = vertical ? (float)map->GetHeight() * (float)map->GetCellHeight()
                          : (float)map->GetWidth() * (float)map->GetCellWidth();
  if (value > QBTE_POS_CENTER_ON) value = value - QBTE_POS_CENTER_ON - view * 0.5f;
  *jump = true;
  if (value == QBTE_POS_START) return 0.0f;
  if (value == QBTE_POS_CENTER) return extent * 0.5f - (float)((vertical ? viewport.h : viewport.w) >> 1);
  if (value == QBTE_POS_END) return extent - view;
  *jump = false;
  return value;
}

void cQBTE_TileEngine::CascadePosition(int id, bool vertical, bool jump) {
  const sQBTE_Layer* source = layers[id];
  if (source->parallaxRatio == 0.0f) return;
  float position = vertical ? source->posY : source->posX;
  for (int other = 0; other < (int)layers.size(); ++other) {
    sQBTE_Layer* layer = layers[other];
    // A layer without a map has no extent to keep its position in.
    if (other == id || layer->parallaxRatio == 0.0f || !layer->mapData) continue;
    float follow = layer->parallaxRatio * (position / source->parallaxRatio);
    if (!(vertical ? ClampedSetY(layer, follow) : ClampedSetX(layer, follow))) continue;
    ILogSystem.Msg(positionLevel, " [QBTE] Info: layer '%s' with ID '%d' changed %c position to '%.2f' value(Cascade)\n",
                   layer->name, other, vertical ? 'Y' : 'X', vertical ? layer->posY : layer->posX);
    if (jump) layer->snap = 1;
  }
}

int cQBTE_TileEngine::GetLayerPosition(int id, float* x, float* y) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return -1;
  if (x) *x = layer->posX;
  if (y) *y = layer->posY;
  return 1;
}

int cQBTE_TileEngine::SetLayerPosition(int id, float x, float y) {
  if (state == 0) return 0;
  if (!ValidLayer(id)) return -1;
  sQBTE_Layer* layer = layers[id];
  if (!layer->mapData || !layer->ready) return -1;
  if (layer->flags & QBTE_PAUSE) return 0;
  bool changedX = false, changedY = false;
  for (int axis = 0; axis < 2; ++axis) {
    bool vertical = axis == 1;
    float value = vertical ? y : x;
    if (value == QBTE_POS_KEEP) continue;
    bool jump = false;
    float wanted = DecodePosition(value, vertical, layer->mapData, &jump);
    bool changed = vertical ? ClampedSetY(layer, wanted) : ClampedSetX(layer, wanted);
    if (!changed) continue;
    (vertical ? changedY : changedX) = true;
    ILogSystem.Msg(positionLevel, " [QBTE] Info: layer '%s' with ID '%d' changed %c position to '%.2f' value(Request)\n",
                   layer->name, id, vertical ? 'Y' : 'X', vertical ? layer->posY : layer->posX);
    if (jump) layer->snap = 1;
    CascadePosition(id, vertical, jump);
  }
  return changedX || changedY ? 1 : 0;
}

int cQBTE_TileEngine::MoveLayer(int id, float dx, float dy) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer) return -1;
  return SetLayerPosition(id, dx == 0.0f ? QBTE_POS_KEEP : layer->posX + dx,
                          dy == 0.0f ? QBTE_POS_KEEP : layer->posY + dy);
}

// ---------------------------------------------------------------------------------------------------
// Maps

int cQBTE_TileEngine::SetLayerMapData(int id, cQBTE_MapData* map) {
  if (!Initialised(id)) return 0;
  return map ? AttachMap(id, map) : DetachMap(id);
}

int cQBTE_TileEngine::AttachMap(int id, cQBTE_MapData* map) {
  sQBTE_Layer* layer = layers[id];
  if (!map->IsReady()) return 0;
  if (!QBTE_MapDrawable(map)) {
    ILogSystem.Msg(infoLevel,
                   " [QBTE] Warning: mapdata for layer '%s' with ID '%d' was refused (map size %dx%d, cell size %dx%d)\n",
                   layer->name, id, map->GetWidth(), map->GetHeight(), map->GetCellWidth(), map->GetCellHeight());
    return 0;
  }
  bool wasReady = layer->ready != 0;
  ReleaseMap(layer, map);
  layer->mapData = map;
  int passed = CheckLayerCells(id);
  ILogSystem.Msg(infoLevel, " [QBTE] Info: mapdata for layer '%s' with ID '%d' loaded:\n", layer->name, id);
  map->Info(-1, (char)infoLevel);
  if (passed)
    ILogSystem.Msg(infoLevel, "         . Layer is ready\n");
  else if (wasReady)
    ILogSystem.Msg(infoLevel, "         . Layer was disabled as it is not ready\n");
  return 1;
}

int cQBTE_TileEngine::DetachMap(int id) {
  sQBTE_Layer* layer = layers[id];
  cQBTE_MapData* old = layer->mapData;
  if (!old) return 0;
  bool hadFlags = layer->flags != 0;
  layer->flags = 0;
  layer->ready = 0;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: mapdata for layer '%s' with ID '%d' unloaded:\n", layer->name, id);
  old->Info(-1, (char)infoLevel);
  ILogSystem.Msg(infoLevel, "         . layer is not ready %s\n", hadFlags ? "and was disabled" : "");
  ReleaseMap(layer, NULL);
  layer->mapData = NULL;
  return 1;
}

int cQBTE_TileEngine::AddCustomMapData(int id, cQBTE_MapData* map) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer || !map) return 0;
  ILogSystem.Msg(infoLevel, "\n [QBTE] Info: trying to add a custom mapdata type '%s' to layer '%s' with ID '%d'...\n",
                 map->GetType(), layer->name, id);
  if (!layer->mapData) return SetLayerMapData(id, map);
  if (strcmp(map->GetType(), "base") == 0) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: wrong mapdata type signature found.\n\n");
    return 0;
  }
  if (strcmp(layer->mapData->GetType(), "base") != 0) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: a custom mapdata is already set.\n\n");
    return 0;
  }
  // Only maps built on the base map hold cells that can be handed over.
  cQBTE_MapBase* current = dynamic_cast<cQBTE_MapBase*>(layer->mapData);
  cQBTE_MapBase* custom = dynamic_cast<cQBTE_MapBase*>(map);
  if (!current || !custom || !QBTE_MapDrawable(current) || !current->CopyCellsTo(custom)) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: mapdata and custom mapdata dont have compatible attributes.\n\n");
    return 0;
  }
  ReleaseMap(layer, map);
  layer->mapData = map;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: custom mapdata successfully added.\n\n");
  return 1;
}

int cQBTE_TileEngine::ConvertLayerToBase(int id) {
  sQBTE_Layer* layer = Initialised(id);
  if (!layer || !layer->mapData || strcmp(layer->mapData->GetType(), "base") == 0) return 0;
  cQBTE_MapBase* current = dynamic_cast<cQBTE_MapBase*>(layer->mapData);
  if (!current) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: mapdata and custom mapdata dont have compatible attributes.\n\n");
    return 0;
  }
  cQBTE_MapBase* base = new cQBTE_MapBase(current->GetHeight(), current->GetWidth());
  base->SetCellWidth(current->GetCellWidth());
  base->SetCellHeight(current->GetCellHeight());
  if (!current->CopyCellsTo(base)) {
    delete base;
    return 0;
  }
  ReleaseMap(layer, NULL);
  layer->mapData = base;
  return 1;
}
