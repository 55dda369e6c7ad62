// The tile engine object: its lifecycle, render target and viewport, level texts, log levels, map
// factories and the information print. Layers, tilesets and the frame operations live beside it
// (QBTE_Layers, QBTE_Tilesets, QBTE_Render).
#include "QBTE_TileEngine.h"
#include "QBTE_Shared.h"
#include <string.h>

namespace {

const char* Shown(const char* text) { return text ? text : ""; }

const char* ResourceControlWord(int mode) {
  switch (mode) {
    case 0: return "user";
    case 1: return "auto";
    default: return "internal";
  }
}

Uint32 (*engineClock)(void) = SDL_GetTicks;

}  // namespace

Uint32 QBTE_Ticks() { return engineClock(); }

void QBTE_SetClock(Uint32 (*clock)(void)) { engineClock = clock ? clock : SDL_GetTicks; }

cQBTE_TileEngine::cQBTE_TileEngine()
    : state(0), target(NULL), viewport(), reportLevel(0), infoLevel(2), positionLevel(6), logicTime(NULL),
      lastFound(-1), drawing(false) {
  levelName[0] = creationDate[0] = modificationDate[0] = '\0';
  for (MapDataFactory& factory : factories) factory = NULL;
}

cQBTE_TileEngine::~cQBTE_TileEngine() {
  if (state != 0) CloseEngine();
  // Slots made before InitEngine hold no map or tileset, only their records.
  for (sQBTE_Layer* layer : layers) delete layer;
  layers.clear();
}

// ---------------------------------------------------------------------------------------------------
// Lifecycle

int cQBTE_TileEngine::InitEngine(int layerCount, const char* name) {
  if (state != 0 || !name || !Yandorix.RequireVersion(5, 22)) return 0;
  state = 1;
  factories[0] = CreateMapBase;
  CopyBounded(levelName, name[0] ? name : "Default-LevelName", (int)sizeof levelName);
  CopyBounded(creationDate, NowText(), (int)sizeof creationDate);
  CopyBounded(modificationDate, NowText(), (int)sizeof modificationDate);
  ILogSystem.Msg(infoLevel, "\n [QBTE] Info: engine initialized.\n");
  SetLayerSlots(layerCount);
  return 1;
}

int cQBTE_TileEngine::SetLayerSlots(int count) {
  int current = (int)layers.size();
  if (count < 0) return current;
  if (count > current) {
    Uint32 now = QBTE_Ticks();
    while ((int)layers.size() < count) {
      sQBTE_Layer* layer = new sQBTE_Layer;
      DefaultLayer(layer, now);
      layers.push_back(layer);
    }
    ILogSystem.Msg(infoLevel, " [QBTE] Info: adding %d layer slots. Allocated layers: %d.\n", count - current, count);
  } else if (count < current) {
    while ((int)layers.size() > count) {
      sQBTE_Layer* layer = layers.back();
      ReleaseMap(layer, NULL);
      layers.pop_back();
      delete layer;
    }
    ILogSystem.Msg(infoLevel, " [QBTE] Info: removing %d layer slots. Allocated layers: %d.\n", current - count,
                   count);
  }
  return 1;
}

int cQBTE_TileEngine::ResetEngine() {
  ReleaseHeldAlpha();
  for (sQBTE_Tileset* tileset : tilesets) ReleaseTileset(tileset);
  tilesets.clear();
  lastFound = -1;
  for (sQBTE_Layer* layer : layers) {
    ReleaseMap(layer, NULL);
    DefaultLayer(layer, 0);
  }
  factories[1] = factories[2] = NULL;
  levelName[0] = creationDate[0] = modificationDate[0] = '\0';
  return 1;
}

int cQBTE_TileEngine::CloseEngine() {
  ResetEngine();
  for (sQBTE_Layer* layer : layers) delete layer;
  layers.clear();
  viewport = SDL_Rect();
  target = NULL;
  state = 0;
  ILogSystem.Msg(infoLevel, "\n [QBTE] Info: engine sucessfully closed.\n");
  return 1;
}

void cQBTE_TileEngine::SetLogMode(int mode) {
  if (mode <= 0) {
    reportLevel = infoLevel = positionLevel = 6;
  } else {
    reportLevel = 0;
    infoLevel = mode == 1 ? 6 : 2;
    positionLevel = mode >= 3 ? 5 : 6;
  }
}

void cQBTE_TileEngine::SetLogicTimeSource(float (*source)(void)) { logicTime = source; }

// ---------------------------------------------------------------------------------------------------
// Render target, viewport and level texts

int cQBTE_TileEngine::SetRenderTarget(SDL_Surface* surface) {
  if (state == 0 || !surface) return 0;
  target = surface;
  state = 2;
  viewport.x = viewport.y = 0;
  viewport.w = (Uint16)surface->w;
  viewport.h = (Uint16)surface->h;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: new render target assigned. Setting a new viewport.\n");
  return 1;
}

int cQBTE_TileEngine::SetViewport(SDL_Rect* rect) {
  if (state == 0 || !rect) return 0;
  if (target) {
    if (rect->w == 0 || rect->w > target->w) rect->w = (Uint16)target->w;
    if (rect->h == 0 || rect->h > target->h) rect->h = (Uint16)target->h;
  }
  viewport = *rect;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: new viewport set at (%d,%d)-(%d,%d).\n", viewport.x, viewport.y,
                 viewport.x + viewport.w, viewport.y + viewport.h);
  return 1;
}

SDL_Surface* cQBTE_TileEngine::GetRenderTarget() { return state == 2 ? target : NULL; }
SDL_Rect* cQBTE_TileEngine::GetViewport() { return state ? &viewport : NULL; }
char* cQBTE_TileEngine::GetLevelName() { return state ? levelName : NULL; }
char* cQBTE_TileEngine::GetCreationDate() { return state ? creationDate : NULL; }
char* cQBTE_TileEngine::GetModificationDate() { return state ? modificationDate : NULL; }

void cQBTE_TileEngine::SetLevelName(const char* name) {
  if (state && name) CopyBounded(levelName, name, (int)sizeof levelName);
}

// ---------------------------------------------------------------------------------------------------
// Map factories

int cQBTE_TileEngine::RegisterMapDataFactory(MapDataFactory factory) {
  if (!factory) return 0;
  for (int slot = 1; slot < 3; ++slot)
    if (!factories[slot]) {
      factories[slot] = factory;
      return 1;
    }
  return 0;
}

cQBTE_MapData* cQBTE_TileEngine::FindMapDataFactory(const char* type, int rows, int columns) {
  if (!type) return NULL;
  for (MapDataFactory factory : factories) {
    if (!factory) continue;
    cQBTE_MapData* map = factory(rows, columns);
    if (!map) continue;
    if (strcmp(map->GetType(), type) == 0) return map;
    delete map;
  }
  return NULL;
}

// ---------------------------------------------------------------------------------------------------
// Records for the level, TMX and image code

sQBTE_Layer* cQBTE_TileEngine::GetLayer(int id) { return ValidLayer(id) ? layers[id] : NULL; }

sQBTE_Tileset* cQBTE_TileEngine::GetTilesetAt(int index) {
  return index >= 0 && index < (int)tilesets.size() ? tilesets[index] : NULL;
}

// ---------------------------------------------------------------------------------------------------
// Information print

void cQBTE_TileEngine::InfoPrint(int layer) {
  if (state == 0) {
    ILogSystem.Msg(reportLevel, " [QBTE] InfoPrint: the scroll engine was not initialized.\n");
    return;
  }
  if (state == 1) {
    ILogSystem.Msg(reportLevel, " [QBTE] InfoPrint: the render target was not set.\n");
    return;
  }
  ILogSystem.Msg(reportLevel, "\n [QBTE] InfoPrint - QBTE v%s - Level name '%s'\n", QBTE_VERSION, levelName);
  ILogSystem.Msg(reportLevel, "        Created on %s\n", creationDate);
  ILogSystem.Msg(reportLevel, "        Last modification on %s\n\n", modificationDate);
  if (layer == -1) {
    ILogSystem.Msg(reportLevel, "      . Layers allocated: %d\n", (int)layers.size());
    for (int id = 0; id < (int)layers.size(); ++id) PrintLayer(id);
    ILogSystem.Msg(reportLevel, "      . Tilesets loaded: %d\n", (int)tilesets.size());
    for (const sQBTE_Tileset* tileset : tilesets)
      if (tileset->tile) PrintTileset(tileset);
  } else if (ValidLayer(layer)) {
    PrintLayer(layer);
  }
  ILogSystem.Msg(reportLevel, "\n");
}

void cQBTE_TileEngine::PrintLayer(int id) {
  const sQBTE_Layer* l = layers[id];
  if (strcmp(l->name, QBTE_LAYER_DEFAULT_NAME) == 0) return;
  ILogSystem.Msg(reportLevel, "      -> Layer name '%s' with ID '%d' ", l->name, id);
  if (l->parallaxRatio != 0.0f)
    ILogSystem.Msg(reportLevel, "(Linked - Parallax ratio %.2f)\n", l->parallaxRatio);
  else
    ILogSystem.Msg(reportLevel, "(Independent)\n");
  ILogSystem.Msg(reportLevel, "         . Flags: ");
  if (!l->flags) ILogSystem.Msg(reportLevel, "None");
  if (l->flags & QBTE_UPDATECELLS) ILogSystem.Msg(reportLevel, "UpdateCells ");
  else if (l->flags & QBTE_UPDATE) ILogSystem.Msg(reportLevel, "Update ");
  static const struct {
    Uint32 bit;
    const char* word;
  } kWords[] = {{QBTE_RENDER, "Render "}, {QBTE_SMOOTHSCROLL, "SmoothScroll "}, {QBTE_AUTOSCROLL, "AutoScroll "},
                {QBTE_LOOPX, "LoopX "},   {QBTE_LOOPY, "LoopY "},               {QBTE_SHOWGRID, "ShowGrid "},
                {QBTE_PAUSE, "Pause "}};
  for (const auto& word : kWords)
    if (l->flags & word.bit) ILogSystem.Msg(reportLevel, "%s", word.word);
  ILogSystem.Msg(reportLevel, " - Alpha value %d\n", l->alpha);
  ILogSystem.Msg(reportLevel,
                 "         . Position (%.2f,%.2f) - Speed (%.2f,%.2f) pixels/second - Max Offset (%d,%d)\n", l->posX,
                 l->posY, l->speedX, l->speedY, l->overhangX, l->overhangY);
  if (l->mapData)
    l->mapData->Info((char)l->ready, (char)reportLevel);
  else
    ILogSystem.Msg(reportLevel, "         . No mapdata is present\n");
  ILogSystem.Msg(reportLevel, "         . OnUpdateEnd: %s - OnRenderEnd: %s - Resource control: %s\n\n",
                 l->onUpdateEnd ? "enabled" : "disabled", l->onRenderEnd ? "enabled" : "disabled",
                 ResourceControlWord(l->resourceControl));
}

void cQBTE_TileEngine::PrintTileset(const sQBTE_Tileset* tileset) {
  Yandorix_CTile* tile = tileset->tile;
  int tileWidth = 0, tileHeight = 0;
  tile->GetOffset(&tileWidth, &tileHeight);
  ILogSystem.Msg(reportLevel, "      -> Tileset name '%s' with global ID '%d'\n", Shown(tile->GetName()),
                 (int)tileset->firstGid);
  ILogSystem.Msg(reportLevel, "         . Source '%s' - Resource control: %s\n", Shown(tileset->source),
                 ResourceControlWord(tileset->resourceControl));
  ILogSystem.Msg(reportLevel, "         . Number of tiles %d of %dx%d\n", tileset->tileCount, tileWidth, tileHeight);
  ILogSystem.Msg(reportLevel, "         . Alpha blending: ");
  int alpha = tile->GetAlpha();
  if (alpha == 256) ILogSystem.Msg(reportLevel, "per-pixel");
  else if (alpha == 255) ILogSystem.Msg(reportLevel, "disabled");
  else ILogSystem.Msg(reportLevel, "per-surface (%d)", alpha);
  ILogSystem.Msg(reportLevel, " - Colorkey: ");
  int key = tile->GetColorKey();
  SDL_Surface* surface = tile->GetSurface();
  if (key == -1 || !surface) {
    ILogSystem.Msg(reportLevel, "disabled\n");
  } else if (surface->format->BitsPerPixel == 8) {
    ILogSystem.Msg(reportLevel, "palette color number %d\n", key);
  } else {
    Uint8 r, g, b;
    SDL_GetRGB((Uint32)key, surface->format, &r, &g, &b);
    ILogSystem.Msg(reportLevel, "RGB(%d,%d,%d)\n", r, g, b);
  }
}
