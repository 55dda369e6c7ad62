// Level files: loading a "qbse_level" document into a tile engine and saving an engine as one, with
// the tilesets stored beside the document. A tileset keeps its source as the document names it
// (relative to the level's directory), so saving where it was loaded from never nests directories.
#include "QBTE_Level.h"
#include "QBTE_Shared.h"
#include "QBTE_TileEngine.h"
#include <math.h>
#include <string.h>
#include <vector>

namespace {

const char kRoot[] = "qbse_level";
const Uint32 kKnownFlags = 0x1FF;
const Uint32 kNeedsReadyMap = QBTE_UPDATE | QBTE_UPDATECELLS | QBTE_RENDER | QBTE_SMOOTHSCROLL;

const char* Shown(const char* text) { return text ? text : ""; }

// ---------------------------------------------------------------------------------------------------
// Loading

// Points at the level element to load: 1, or the refusal (-4, -5, -6).
int SelectLevelElement(int xml, const char* levelName) {
  if (!Yandorix.XMLNodePointTo(xml, 1, kRoot)) return -4;
  const char* name = NULL;
  if (!levelName) return QBTE_ReadText(xml, "name", &name) ? 1 : -6;
  do {
    if (QBTE_IsElement(xml, kRoot) && QBTE_ReadText(xml, "name", &name) && strcmp(name, levelName) == 0) return 1;
  } while (Yandorix.XMLNodeNext(xml));
  return -5;
}

void LogRefusal(cQBTE_TileEngine* engine, int result, const char* file, const char* levelName) {
  int level = engine->GetInfoLevel();
  if (result == -4)
    ILogSystem.Msg(level, " [QBTE] Error: '%s' can not be loaded as a level: it has no 'qbse_level' element.\n", file);
  else if (result == -5)
    ILogSystem.Msg(level, " [QBTE] Error: '%s' can not be loaded as a level: it has no level named '%s'.\n", file,
                   Shown(levelName));
  else
    ILogSystem.Msg(level, " [QBTE] Error: '%s' can not be loaded as a level: its level element has no name.\n", file);
}

void ReadLevelHead(cQBTE_TileEngine* engine, int xml) {
  const char* text = NULL;
  if (QBTE_ReadText(xml, "creation_date", &text)) CopyBounded(engine->GetCreationDate(), text, 32);
  if (QBTE_ReadText(xml, "modification_date", &text)) CopyBounded(engine->GetModificationDate(), text, 32);
  int x = 0, w = 0, y = 0, h = 0;
  Yandorix.XMLAttributeGet(xml, "viewport_x", &x);
  Yandorix.XMLAttributeGet(xml, "viewport_width", &w);
  Yandorix.XMLAttributeGet(xml, "viewport_y", &y);
  Yandorix.XMLAttributeGet(xml, "viewport_height", &h);
  SDL_Rect view;
  view.x = (Sint16)QBTE_Clamp(x, -32768, 32767);
  view.y = (Sint16)QBTE_Clamp(y, -32768, 32767);
  view.w = (Uint16)QBTE_Clamp(w, 0, 65535);
  view.h = (Uint16)QBTE_Clamp(h, 0, 65535);
  engine->SetViewport(&view);
}

// An image tileset with its tile size, colour key and alpha from the element; its first ID, or -1.
int LoadImageTileset(cQBTE_TileEngine* engine, int xml, const std::string& path, const char* tileName, int gid) {
  int tileWidth = 0, tileHeight = 0, colorKey = -1, alpha = 255;
  Yandorix.XMLAttributeGet(xml, "tilewidth", &tileWidth);
  Yandorix.XMLAttributeGet(xml, "tileheight", &tileHeight);
  Yandorix.XMLAttributeGet(xml, "colorkey", &colorKey);
  Yandorix.XMLAttributeGet(xml, "alphavalue", &alpha);
  if (tileWidth < 1 || tileHeight < 1) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Warning: tileset '%s' has no valid tile size (%dx%d)\n", tileName,
                   tileWidth, tileHeight);
    return -1;
  }
  int first = engine->LoadTilesetImage(path.c_str(), tileName, tileWidth, tileHeight, gid);
  if (first > 0) {
    Yandorix_CTile* tile = engine->GetTilesetTile((Uint32)first);
    tile->SetColorKey(colorKey);
    if (alpha >= 0 && alpha <= 255) tile->SetAlpha(alpha);  // 256 stands for per-pixel alpha
  }
  return first;
}

// One "tileset" element; true when its tileset is loaded.
bool LoadLevelTileset(cQBTE_TileEngine* engine, int xml, const std::string& directory) {
  int gid = 0;
  const char *name = NULL, *source = NULL;
  if (!Yandorix.XMLAttributeGet(xml, "gid", &gid) || gid < 1 || !QBTE_ReadText(xml, "name", &name) ||
      !QBTE_ReadText(xml, "source", &source)) {
    ILogSystem.Msg(engine->GetInfoLevel(),
                   " [QBTE] Warning: a tileset element without a valid gid, name or source was passed over\n");
    return false;
  }
  char tileName[32];
  CopyBounded(tileName, name, (int)sizeof tileName);
  std::string path = directory + source;
  int first = QBTE_IsImageSource(source) ? LoadImageTileset(engine, xml, path, tileName, gid)
                                         : engine->LoadTilesetDPF(path.c_str(), tileName, gid);
  if (first <= 0) return false;
  engine->GetTilesetAt(engine->FindTileset((Uint32)first))->resourceControl = 2;
  engine->SetTilesetSource((Uint32)first, source);  // as the document names it, not the joined path
  return true;
}

QBTE_Counts LoadLevelTilesets(cQBTE_TileEngine* engine, int xml, const std::string& directory) {
  QBTE_Counts counts;
  if (!Yandorix.XMLNodeChild(xml)) return counts;
  do {
    if (!QBTE_IsElement(xml, "tileset")) continue;
    ++counts.total;
    if (LoadLevelTileset(engine, xml, directory)) ++counts.loaded;
  } while (Yandorix.XMLNodeNext(xml));
  Yandorix.XMLNodeParent(xml);
  return counts;
}

// What the "mapdata" children of a layer element put in place.
struct PlacedMaps {
  bool base = false;
  bool custom = false;
};

// A base map takes the layer; a custom map placed before it is detached (not deleted) and added on
// top of it. When the custom map does not fit, the base map goes and the custom map stays.
bool PlaceBaseMap(cQBTE_TileEngine* engine, int id, cQBTE_MapData* map, bool customPlaced) {
  sQBTE_Layer* layer = engine->GetLayer(id);
  cQBTE_MapData* waiting = customPlaced ? layer->mapData : NULL;
  if (waiting) {
    layer->mapData = NULL;
    layer->ready = 0;
    layer->flags = 0;
  }
  if (!engine->SetLayerMapData(id, map)) {
    delete map;
    if (waiting) engine->SetLayerMapData(id, waiting);
    return false;
  }
  if (waiting && !engine->AddCustomMapData(id, waiting)) {
    engine->SetLayerMapData(id, NULL);  // deletes the base map: the layer's maps are the engine's
    engine->SetLayerMapData(id, waiting);
    return false;
  }
  return true;
}

bool PlaceCustomMap(cQBTE_TileEngine* engine, int id, cQBTE_MapData* map, bool basePlaced) {
  int placed = basePlaced ? engine->AddCustomMapData(id, map) : engine->SetLayerMapData(id, map);
  if (!placed) delete map;
  return placed != 0;
}

// One "mapdata" child; the pointed element stays where it was whatever the map's reader does.
void LoadMapElement(cQBTE_TileEngine* engine, int xml, int id, PlacedMaps* placed) {
  const char* type = NULL;
  if (!QBTE_ReadText(xml, "type", &type)) return;
  bool isBase = strcmp(type, "base") == 0;
  if (isBase ? placed->base : placed->custom) return;  // one map of each kind
  int infoLevel = engine->GetInfoLevel();
  cQBTE_MapData* map = engine->FindMapDataFactory(type, 0, 0);
  if (!map) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: handler for parsing layer ID '%d' mapdata type '%s' was not found.\n",
                   id, type);
    return;
  }
  std::string typeName(type);  // the reader may change the document the text lives in
  Yandorix.XMLNodeStore(xml);
  int read = map->LoadXML(xml, 0);
  Yandorix.XMLNodeRestore(xml);
  if (!read) {
    ILogSystem.Msg(infoLevel,
                   " [QBTE] Warning: it was not possible to parse mapdata type '%s' found in layer ID '%d'\n",
                   typeName.c_str(), id);
    engine->GetLayer(id)->flags = 0;
    delete map;
    return;
  }
  engine->GetLayer(id)->resourceControl = 2;
  if (isBase)
    placed->base = PlaceBaseMap(engine, id, map, placed->custom);
  else
    placed->custom = PlaceCustomMap(engine, id, map, placed->base);
}

PlacedMaps LoadLayerMaps(cQBTE_TileEngine* engine, int xml, int id) {
  PlacedMaps placed;
  if (!Yandorix.XMLNodeChild(xml)) {
    ILogSystem.Msg(engine->GetInfoLevel(),
                   " [QBTE] Warning: 'mapdata' subnode was not found while parsing layer ID '%d'\n", id);
    return placed;
  }
  do {
    if (QBTE_IsElement(xml, "mapdata")) LoadMapElement(engine, xml, id, &placed);
  } while (!(placed.base && placed.custom) && Yandorix.XMLNodeNext(xml));
  Yandorix.XMLNodeParent(xml);
  return placed;
}

// The layer's attributes in the order they are taken: a layer skipped on a later one keeps the
// earlier ones. False when one that must be there is missing.
bool ReadLayerAttributes(cQBTE_TileEngine* engine, int xml, int id, int* status) {
  sQBTE_Layer* layer = engine->GetLayer(id);
  const char* name = NULL;
  if (!QBTE_ReadText(xml, "name", &name)) return false;
  engine->SetLayerName(id, name);
  if (!Yandorix.XMLAttributeGet(xml, "status", status)) return false;
  float ratio = 0.0f, x = 0.0f, y = 0.0f, speedX = 0.0f, speedY = 0.0f;
  if (!QBTE_ReadDecimal(xml, "parallax_ratio", &ratio)) return false;
  layer->parallaxRatio = ratio;
  if (!QBTE_ReadDecimal(xml, "position_x", &x) || !QBTE_ReadDecimal(xml, "position_y", &y)) return false;
  QBTE_PlaceLayer(layer, x, y);
  if (!QBTE_ReadDecimal(xml, "speed_x", &speedX) || !QBTE_ReadDecimal(xml, "speed_y", &speedY)) return false;
  layer->speedX = speedX;
  layer->speedY = speedY;
  int gridColor = 0, alpha = 255;
  Yandorix.XMLAttributeGet(xml, "gridcolor", &gridColor);
  Yandorix.XMLAttributeGet(xml, "alphavalue", &alpha);
  layer->gridColor = (Uint32)gridColor;
  layer->alpha = QBTE_Clamp(alpha, 0, 255);
  return true;
}

// One "layer" element; true when a map of it was placed.
bool LoadLevelLayer(cQBTE_TileEngine* engine, int xml) {
  int infoLevel = engine->GetInfoLevel();
  int id = -1, status = 0;
  bool hasId = Yandorix.XMLAttributeGet(xml, "id", &id) != 0;
  if (!hasId || !engine->GetLayer(id) || engine->GetLayer(id)->mapData) {
    ILogSystem.Msg(infoLevel,
                   " [QBTE] Warning: a layer element was passed over (its ID is missing, beyond the layer "
                   "slots or taken)\n");
    return false;
  }
  if (!ReadLayerAttributes(engine, xml, id, &status)) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: layer element with ID '%d' misses one of its attributes\n", id);
    return false;
  }
  PlacedMaps placed = LoadLayerMaps(engine, xml, id);
  sQBTE_Layer* layer = engine->GetLayer(id);
  if (!layer->mapData) return false;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: mapdata for layer '%s' with ID '%d' loaded:\n", layer->name, id);
  layer->mapData->Info(-1, (char)infoLevel);
  if (placed.base && layer->ready) {
    QBTE_SetLoadedFlags(layer, (Uint32)status);
    ILogSystem.Msg(infoLevel, "         . Layer is ready\n");
  } else {
    layer->flags = 0;
    ILogSystem.Msg(infoLevel, "         . Layer was disabled as it is not ready\n");
  }
  return true;
}

QBTE_Counts LoadLevelLayers(cQBTE_TileEngine* engine, int xml) {
  QBTE_Counts counts;
  if (!Yandorix.XMLNodeChild(xml)) return counts;
  do {
    if (!QBTE_IsElement(xml, "layer")) continue;
    ++counts.total;
    if (LoadLevelLayer(engine, xml)) ++counts.loaded;
  } while (Yandorix.XMLNodeNext(xml));
  Yandorix.XMLNodeParent(xml);
  return counts;
}

}  // namespace

int LoadLevel(cQBTE_TileEngine* engine, const char* file, const char* archive, const char* levelName) {
  if (!engine || !engine->GetLevelName()) return -1;
  if (!file) return -2;
  QBTE_XMLDocument document(archive ? Yandorix.XMLOpen(archive, file) : Yandorix.XMLOpen(file));
  if (!document.IsOpen()) return -3;  // the XML interface logged why
  int xml = document.Handle();
  int selected = SelectLevelElement(xml, levelName);
  if (selected < 0) {
    LogRefusal(engine, selected, archive ? archive : file, levelName);
    return selected;
  }
  const char* name = NULL;
  QBTE_ReadText(xml, "name", &name);
  CopyBounded(engine->GetLevelName(), name, 32);
  int infoLevel = engine->GetInfoLevel();
  ILogSystem.Msg(infoLevel, "\n [QBTE] Info: trying to load '%s' level from '%s'%s\n", engine->GetLevelName(),
                 (PathBaseName(file) + ".qbm").c_str(), archive ? " stored in a DPF..." : "...");
  ReadLevelHead(engine, xml);
  QBTE_Counts tilesets = LoadLevelTilesets(engine, xml, PathDirectory(archive ? archive : file));
  QBTE_Counts layers = LoadLevelLayers(engine, xml);
  if (tilesets.loaded == tilesets.total && layers.loaded == layers.total) {
    ILogSystem.Msg(infoLevel, " [QBTE] Info: '%s' level successfully loaded.\n\n", engine->GetLevelName());
    return 1;
  }
  ILogSystem.Msg(infoLevel, " [QBTE] Warning: some resources could not be loaded: tileset %d/%d and layers %d/%d\n\n",
                 tilesets.loaded, tilesets.total, layers.loaded, layers.total);
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// Saving

namespace {

// Where a level goes: the directory its tileset sources are relative to, the file written (the level
// file, or the archive holding it) and, in an archive, the block's name.
struct LevelPlace {
  std::string directory;
  std::string path;
  std::string block;
  bool inArchive;
};

LevelPlace PlaceOf(const char* file, const char* archive) {
  LevelPlace place;
  place.inArchive = archive != NULL;
  const char* home = archive ? archive : file;
  place.directory = PathDirectory(home);
  place.path = place.directory + PathBaseName(home) + (archive ? ".dpf" : ".qbm");
  if (archive) place.block = PathBaseName(file) + ".qbm";
  return place;
}

enum StoreKind { kInArchive, kAsBMP, kAsPNG };

struct TilesetPlan {
  const sQBTE_Tileset* tileset;
  std::string source;  // as the document will name it
  StoreKind kind;
};

// How every tileset is stored; false (nothing planned) when one has a source that cannot be.
bool PlanTilesets(cQBTE_TileEngine* engine, const LevelPlace& place, const char* archive,
                  std::vector<TilesetPlan>* plans) {
  for (int index = 0; index < engine->GetTilesetCount(); ++index) {
    const sQBTE_Tileset* tileset = engine->GetTilesetAt(index);
    const char* source = tileset->source ? tileset->source : QBTE_TILESET_DEFAULT_SOURCE;
    TilesetPlan plan = {tileset, source, kAsPNG};
    if (MatchExtension(source, ".dpf")) {
      plan.kind = kInArchive;
    } else if (MatchExtension(source, ".bmp")) {
      plan.kind = kAsBMP;
    } else if (MatchExtension(source, ".png")) {
      plan.kind = kAsPNG;
    } else if (strcmp(source, QBTE_TILESET_DEFAULT_SOURCE) == 0) {
      plan.kind = place.inArchive ? kInArchive : kAsPNG;
      plan.source = place.inArchive ? PathBaseName(archive) + ".dpf" : FileNameFrom(tileset->tile->GetName()) + ".png";
    } else {
      return false;
    }
    plans->push_back(plan);
  }
  return true;
}

bool WriteLevelHead(cQBTE_TileEngine* engine, int xml, const char* levelName, const std::string& now) {
  const SDL_Rect* view = engine->GetViewport();
  return QBTE_Written({Yandorix.XMLCommentSet(xml, QBTE_DocumentComment),
                       Yandorix.XMLAttributeSet(xml, "version", QBTE_VERSION),
                       Yandorix.XMLAttributeSet(xml, "name", levelName),
                       Yandorix.XMLAttributeSet(xml, "creation_date", engine->GetCreationDate()),
                       Yandorix.XMLAttributeSet(xml, "modification_date", now.c_str()),
                       Yandorix.XMLAttributeSet(xml, "viewport_x", (int)view->x),
                       Yandorix.XMLAttributeSet(xml, "viewport_width", (int)view->w),
                       Yandorix.XMLAttributeSet(xml, "viewport_y", (int)view->y),
                       Yandorix.XMLAttributeSet(xml, "viewport_height", (int)view->h)});
}

bool WriteLevelLayer(int xml, int id, const sQBTE_Layer* layer) {
  bool written = QBTE_Written({Yandorix.XMLNodeCreate(xml, "layer"), Yandorix.XMLAttributeSet(xml, "id", id),
                               Yandorix.XMLAttributeSet(xml, "name", layer->name),
                               Yandorix.XMLAttributeSet(xml, "status", (int)layer->flags),
                               Yandorix.XMLAttributeSet(xml, "parallax_ratio", layer->parallaxRatio),
                               Yandorix.XMLAttributeSet(xml, "position_x", layer->posX),
                               Yandorix.XMLAttributeSet(xml, "position_y", layer->posY),
                               Yandorix.XMLAttributeSet(xml, "speed_x", layer->speedX),
                               Yandorix.XMLAttributeSet(xml, "speed_y", layer->speedY),
                               Yandorix.XMLAttributeSet(xml, "gridcolor", (int)layer->gridColor),
                               Yandorix.XMLAttributeSet(xml, "alphavalue", layer->alpha)});
  if (!written) return false;
  Yandorix.XMLNodeStore(xml);
  layer->mapData->SaveXML(xml, 0);
  Yandorix.XMLNodeRestore(xml);
  return Yandorix.XMLNodeParent(xml) == 1;
}

bool WriteLevelLayers(cQBTE_TileEngine* engine, int xml) {
  for (int id = 0; engine->GetLayer(id); ++id) {
    const sQBTE_Layer* layer = engine->GetLayer(id);
    if (layer->mapData && !WriteLevelLayer(xml, id, layer)) return false;
  }
  return true;
}

// Stores a tileset as the "TILE2" block of its name, replacing an older block of that name.
bool StoreTilesetBlock(Yandorix_CTile* tile, const std::string& archive) {
  if (tile->Save(archive.c_str(), "TILE2") > 0) return true;
  return DeleteTilesetBlock(archive.c_str(), tile->GetName()) && tile->Save(archive.c_str(), "TILE2") > 0;
}

struct SaveState {
  cQBTE_TileEngine* engine;
  int xml;
  std::string directory;
  int issues;        // tilesets that could not be stored in their archive
  bool imageFailed;  // a tileset image could not be written
};

// The note is best effort: an archive path a comment cannot hold ("--") leaves the element bare.
void NoteUnstoredTileset(SaveState* save, const TilesetPlan& plan, const std::string& archive) {
  const char* tileName = Shown(plan.tileset->tile->GetName());
  int gid = (int)plan.tileset->firstGid;
  std::string element = "error_msg_" + std::to_string(++save->issues);
  std::string comment = std::string("Tileset '") + tileName + "' with ID '" + std::to_string(gid) +
                        "' could not be saved into the DPF '" + archive + "'";
  Yandorix.XMLNodeCreate(save->xml, element.c_str());
  Yandorix.XMLCommentSet(save->xml, comment.c_str());
  Yandorix.XMLNodeParent(save->xml);
  ILogSystem.Msg(save->engine->GetInfoLevel(),
                 " [QBTE] Warning: can not save '%s' tileset with ID '%d' into the DPF '%s'\n", tileName, gid,
                 plan.source.c_str());
}

// The "tileset" element and, once it is written, the tileset's pixels; false when the element was not.
bool WriteLevelTileset(SaveState* save, const TilesetPlan& plan) {
  int xml = save->xml;
  Yandorix_CTile* tile = plan.tileset->tile;
  bool image = plan.kind != kInArchive;
  int tileWidth = 0, tileHeight = 0;
  tile->GetOffset(&tileWidth, &tileHeight);
  bool written = QBTE_Written({Yandorix.XMLNodeCreate(xml, "tileset"),
                               Yandorix.XMLAttributeSet(xml, "gid", (int)plan.tileset->firstGid),
                               Yandorix.XMLAttributeSet(xml, "name", Shown(tile->GetName())),
                               Yandorix.XMLAttributeSet(xml, "source", plan.source.c_str())}) &&
                 (!image || QBTE_Written({Yandorix.XMLAttributeSet(xml, "tilewidth", tileWidth),
                                          Yandorix.XMLAttributeSet(xml, "tileheight", tileHeight),
                                          Yandorix.XMLAttributeSet(xml, "colorkey", tile->GetColorKey()),
                                          Yandorix.XMLAttributeSet(xml, "alphavalue", tile->GetAlpha())}));
  if (!written) return false;
  std::string path = save->directory + plan.source;
  if (!image) {
    if (!StoreTilesetBlock(tile, path)) NoteUnstoredTileset(save, plan, path);
  } else if (!FileExists(path.c_str()) && !QBTE_SaveTilesetImage(tile, path, plan.kind == kAsBMP)) {
    ILogSystem.Msg(save->engine->GetInfoLevel(),
                   " [QBTE] Error: can not save '%s' tileset with ID '%d' into the image '%s'\n",
                   Shown(tile->GetName()), (int)plan.tileset->firstGid, path.c_str());
    save->imageFailed = true;
  }
  return Yandorix.XMLNodeParent(xml) == 1;
}

}  // namespace

int SaveLevel(cQBTE_TileEngine* engine, const char* file, const char* archive, const char* levelName) {
  if (!engine || !engine->GetLevelName()) return -1;
  if (!file) return -2;
  LevelPlace place = PlaceOf(file, archive);
  std::vector<TilesetPlan> plans;
  if (!PlanTilesets(engine, place, archive, &plans)) return -3;
  const char* name = levelName ? levelName : engine->GetLevelName();
  int infoLevel = engine->GetInfoLevel();
  std::string now = NowText();
  QBTE_XMLDocument document(Yandorix.XMLCreate(kRoot));
  if (!document.IsOpen()) return -4;
  SaveState save = {engine, document.Handle(), place.directory, 0, false};
  // Nothing more is written once the document cannot hold a part of the level.
  bool built = WriteLevelHead(engine, save.xml, name, now) && WriteLevelLayers(engine, save.xml);
  for (size_t i = 0; i < plans.size() && built && !save.imageFailed; ++i) built = WriteLevelTileset(&save, plans[i]);
  if (save.imageFailed) return -5;
  if (!built || (place.inArchive ? Yandorix.XMLSave(save.xml, place.path.c_str(), place.block.c_str())
                                 : Yandorix.XMLSave(save.xml, place.path.c_str())) <= 0) {
    ILogSystem.Msg(infoLevel, " [QBTE] Error: '%s' level could not be saved to '%s'.\n", name, place.path.c_str());
    return -4;
  }
  CopyBounded(engine->GetModificationDate(), now.c_str(), 32);
  if (save.issues) {
    ILogSystem.Msg(infoLevel, " [QBTE] Info: '%s' level saved to '%s' but some issues were detected.\n", name,
                   place.path.c_str());
    return 0;
  }
  ILogSystem.Msg(infoLevel, " [QBTE] Info: '%s' level successfully saved to '%s'.\n", name, place.path.c_str());
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Shared with the TMX import and export

QBTE_XMLDocument::~QBTE_XMLDocument() {
  if (handle > 0) Yandorix.XMLClose(handle);
}

const char QBTE_DocumentComment[] = "Quembrook TileEngine - Yandorix SDK";

bool QBTE_Written(std::initializer_list<int> results) {
  for (int result : results)
    if (result != 1) return false;
  return true;
}

bool QBTE_IsElement(int xml, const char* name) {
  const char* element = Yandorix.XMLNodeGetName(xml);
  return element && strcmp(element, name) == 0;
}

bool QBTE_ReadText(int xml, const char* name, const char** value) {
  *value = NULL;
  return Yandorix.XMLAttributeGet(xml, name, value) && *value;
}

bool QBTE_IsImageSource(const char* source) { return MatchExtension(source, ".png") || MatchExtension(source, ".bmp"); }

bool QBTE_ToFloat(double number, float* value) {
  if (!isfinite(number) || fabs(number) > 3.4e38) return false;
  *value = (float)number;
  return true;
}

int QBTE_ReadDecimal(int xml, const char* name, float* value) {
  double number = 0.0;
  return Yandorix.XMLAttributeGet(xml, name, &number) && QBTE_ToFloat(number, value);
}

int QBTE_Clamp(long long value, int low, int high) { return value < low ? low : (value > high ? high : (int)value); }

void QBTE_PlaceLayer(sQBTE_Layer* layer, float x, float y) {
  layer->posX = layer->curX = layer->prevX = layer->renderX = x;
  layer->posY = layer->curY = layer->prevY = layer->renderY = y;
  layer->snap = 1;
}

void QBTE_SetLoadedFlags(sQBTE_Layer* layer, Uint32 status) {
  Uint32 flags = status & kKnownFlags;
  layer->flags = layer->ready ? flags : flags & ~kNeedsReadyMap;
  layer->lastTick = 0;
}

int QBTE_SaveTilesetImage(Yandorix_CTile* tile, const std::string& path, bool asBMP) {
  SDL_Surface* surface = tile ? tile->GetSurface() : NULL;
  if (!surface || !IImage) return 0;
  Yandorix.MakeDirectory(path.c_str());
  int colorKey = tile->GetColorKey();
  if (colorKey != -1) tile->SetColorKey(-1);
  surface = tile->GetSurface();  // a key change may replace the surface
  int written = asBMP ? IImage->SaveBMP(path.c_str(), surface) == 1 : IImage->SavePNG(path.c_str(), surface, -1) == 0;
  if (colorKey != -1) tile->SetColorKey(colorKey);
  return written;
}
