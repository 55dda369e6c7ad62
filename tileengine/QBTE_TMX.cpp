// TMX maps: import of an orthogonal Tiled map (tilesets from images with margin, spacing and a
// transparent colour; layers in CSV or base64, optionally compressed) into a tile engine, export of
// an engine as a TMX map, the "property" helpers both use, and the repacking of spaced tilesets.
#include "QBTE_TMX.h"
#include "QBTE_Level.h"
#include "QBTE_Shared.h"
#include "QBTE_TileEngine.h"
#include <ctype.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char* Shown(const char* text) { return text ? text : ""; }

bool TileSizeAllowed(int width, int height) {
  return width >= 1 && height >= 1 && width <= QBTE_MAX_CELL_SIZE && height <= QBTE_MAX_CELL_SIZE;
}

// A decimal property that QBTE_ToFloat takes.
bool ReadDecimalProperty(int xml, const char* name, float* value) {
  double number = 0.0;
  return ReadProperty(xml, name, &number) && QBTE_ToFloat(number, value);
}

// Calls `read` with the pointer on each child element named `name`; the pointer is back on the
// parent afterwards.
template <class Read>
void ForEachChild(int xml, const char* name, Read read) {
  if (!Yandorix.XMLNodeChild(xml)) return;
  do {
    if (QBTE_IsElement(xml, name)) read();
  } while (Yandorix.XMLNodeNext(xml));
  Yandorix.XMLNodeParent(xml);
}

// ---------------------------------------------------------------------------------------------------
// Import

struct MapHead {
  int width, height, tileWidth, tileHeight;
};

// Why the document is not a map the import reads; NULL when it is (the pointer on "map").
const char* CheckMapHead(int xml, MapHead* head) {
  if (!Yandorix.XMLNodeFirst(xml) || !QBTE_IsElement(xml, "map")) return "its root is not 'map'";
  const char *version = NULL, *orientation = NULL;
  if (!QBTE_ReadText(xml, "version", &version) || strcmp(version, "1.0") != 0) return "only version 1.0 is read";
  if (!QBTE_ReadText(xml, "orientation", &orientation) || strcmp(orientation, "orthogonal") != 0)
    return "only orthogonal maps are read";
  if (!Yandorix.XMLAttributeGet(xml, "width", &head->width) ||
      !Yandorix.XMLAttributeGet(xml, "height", &head->height) ||
      !Yandorix.XMLAttributeGet(xml, "tilewidth", &head->tileWidth) ||
      !Yandorix.XMLAttributeGet(xml, "tileheight", &head->tileHeight))
    return "its map or tile size is missing";
  if (!QBTE_MapSizeAllowed(head->height, head->width) || !TileSizeAllowed(head->tileWidth, head->tileHeight))
    return "its map or tile size is below 1 or beyond the engine's limits";
  return NULL;
}

struct MapProperties {
  std::string levelName;
  int viewport[4] = {0, 0, 0, 0};  // x, width, y, height
};

void ReadMapProperties(cQBTE_TileEngine* engine, int xml, MapProperties* properties) {
  static const char* const kViewport[] = {"viewport_x", "viewport_width", "viewport_y", "viewport_height"};
  ForEachChild(xml, "properties", [&] {
    const char* text = NULL;
    if (ReadProperty(xml, "name", &text)) properties->levelName = text;
    if (ReadProperty(xml, "creation_date", &text)) CopyBounded(engine->GetCreationDate(), text, 32);
    if (ReadProperty(xml, "modification_date", &text)) CopyBounded(engine->GetModificationDate(), text, 32);
    for (int i = 0; i < 4; ++i) ReadProperty(xml, kViewport[i], &properties->viewport[i]);
  });
  SDL_Rect view;
  view.x = (Sint16)QBTE_Clamp(properties->viewport[0], -32768, 32767);
  view.w = (Uint16)QBTE_Clamp(properties->viewport[1], 0, 65535);
  view.y = (Sint16)QBTE_Clamp(properties->viewport[2], -32768, 32767);
  view.h = (Uint16)QBTE_Clamp(properties->viewport[3], 0, 65535);
  engine->SetViewport(&view);
  engine->SetLevelName(properties->levelName.c_str());
}

// A "trans" colour: six (or fewer) hexadecimal digits of RGB, with or without a leading '#'.
bool ParseTransparentColour(const char* text, Uint32* rgb) {
  if (*text == '#') ++text;
  size_t length = strlen(text);
  if (length < 1 || length > 6) return false;
  Uint32 value = 0;
  for (size_t i = 0; i < length; ++i) {
    if (!isxdigit((unsigned char)text[i])) return false;
    value = value * 16 +
            (Uint32)(isdigit((unsigned char)text[i]) ? text[i] - '0' : tolower((unsigned char)text[i]) - 'a' + 10);
  }
  *rgb = value;
  return true;
}

struct TilesetElement {
  int firstGid = 0;
  std::string name, source;
  int tileWidth, tileHeight, spacing = 0, margin = 0, alpha = 255;
  bool hasKey = false;
  Uint32 keyRGB = 0;
};

// Reads a "tileset" element: false when it lacks its "firstgid" or "name".
bool ReadTilesetElement(int xml, const MapHead& head, TilesetElement* tileset) {
  const char* name = NULL;
  if (!Yandorix.XMLAttributeGet(xml, "firstgid", &tileset->firstGid) || !QBTE_ReadText(xml, "name", &name))
    return false;
  tileset->name = name;
  tileset->tileWidth = head.tileWidth;
  tileset->tileHeight = head.tileHeight;
  Yandorix.XMLAttributeGet(xml, "tilewidth", &tileset->tileWidth);
  Yandorix.XMLAttributeGet(xml, "tileheight", &tileset->tileHeight);
  Yandorix.XMLAttributeGet(xml, "spacing", &tileset->spacing);
  Yandorix.XMLAttributeGet(xml, "margin", &tileset->margin);
  bool imageSeen = false;
  if (!Yandorix.XMLNodeChild(xml)) return true;
  do {
    if (QBTE_IsElement(xml, "properties")) {
      ReadProperty(xml, "alphavalue", &tileset->alpha);
    } else if (QBTE_IsElement(xml, "image") && !imageSeen) {
      imageSeen = true;
      const char *trans = NULL, *source = NULL;
      if (QBTE_ReadText(xml, "trans", &trans)) tileset->hasKey = ParseTransparentColour(trans, &tileset->keyRGB);
      if (QBTE_ReadText(xml, "source", &source)) tileset->source = source;
    }
  } while (Yandorix.XMLNodeNext(xml));
  Yandorix.XMLNodeParent(xml);
  return true;
}

// Why a tileset element cannot be loaded; NULL when it can be tried.
const char* TilesetRefusal(const TilesetElement& tileset) {
  if (tileset.firstGid < 1) return "its first global ID is below 1";
  if (tileset.source.empty()) return "it has no image (external tilesets are not read)";
  if (!QBTE_IsImageSource(tileset.source.c_str())) return "its image is neither a PNG nor a BMP file";
  if (!TileSizeAllowed(tileset.tileWidth, tileset.tileHeight) || tileset.spacing < 0 || tileset.margin < 0)
    return "its tile size, margin or spacing is out of range";
  return NULL;
}

// Loads a tileset element's image; the first global ID, or -1.
int LoadTilesetImageOf(cQBTE_TileEngine* engine, const TilesetElement& tileset, const char* tileName,
                       const std::string& path, bool* repacked) {
  *repacked = tileset.spacing != 0 || tileset.margin != 0;
  if (!*repacked)
    return engine->LoadTilesetImage(path.c_str(), tileName, tileset.tileWidth, tileset.tileHeight, tileset.firstGid);
  Yandorix_CTile* tile = CreateTilesetFromImage(path.c_str(), tileName, tileset.tileWidth, tileset.tileHeight,
                                                tileset.spacing, tileset.margin);
  if (!tile) return -1;
  int first = engine->AddTileset(tile, tileset.firstGid);
  if (first < 0) delete tile;
  return first;
}

bool ImportTileset(cQBTE_TileEngine* engine, int xml, const MapHead& head, const std::string& directory) {
  int infoLevel = engine->GetInfoLevel();
  const char* external = NULL;
  if (QBTE_ReadText(xml, "source", &external)) {   // Tiled keeps such a tileset in a .tsx file of its own
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: the external tileset '%s' was not imported: tilesets kept in files of "
                   "their own are not read (embed it in the map)\n", external);
    return false;
  }
  TilesetElement tileset;
  if (!ReadTilesetElement(xml, head, &tileset)) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: a tileset without 'firstgid' or 'name' was not imported\n");
    return false;
  }
  char tileName[32];
  CopyBounded(tileName, tileset.name.c_str(), (int)sizeof tileName);
  if (const char* why = TilesetRefusal(tileset)) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: tileset '%s' was not imported: %s\n", tileName, why);
    return false;
  }
  bool repacked = false;
  int first = LoadTilesetImageOf(engine, tileset, tileName, directory + tileset.source, &repacked);
  if (first < 0) return false;
  Yandorix_CTile* tile = engine->GetTilesetTile((Uint32)first);
  if (tileset.hasKey)
    tile->SetColorKey((int)(tileset.keyRGB >> 16 & 0xFF), (int)(tileset.keyRGB >> 8 & 0xFF),
                      (int)(tileset.keyRGB & 0xFF));
  else
    tile->SetColorKey(-1);
  if (tileset.alpha >= 0 && tileset.alpha <= 255) tile->SetAlpha(tileset.alpha);
  engine->GetTilesetAt(engine->FindTileset((Uint32)first))->resourceControl = 2;
  // A later save writes the repacked pixels under a name of their own; others keep the map's name.
  std::string source = repacked ? FileNameFrom(tileName) + "-converted.png" : tileset.source;
  engine->SetTilesetSource((Uint32)first, source.c_str());
  return true;
}

struct LayerElement {
  std::string name;
  int id = -1, gridColor = 0, alpha = 255;
  Uint32 flags = 0;
  float x = 0.0f, y = 0.0f, speedX = 0.0f, speedY = 0.0f, ratio = 1.0f;
  std::string type = "base";
};

// The layer's alpha from its opacity: rounded, and values around the middle taken as 128.
int AlphaOfOpacity(double opacity) {
  if (!(opacity == opacity)) opacity = 1.0;
  opacity = opacity < 0.0 ? 0.0 : (opacity > 1.0 ? 1.0 : opacity);
  int alpha = (int)RoundFloat((float)(opacity * 255.0));
  return alpha >= 123 && alpha <= 133 ? 128 : alpha;
}

bool ReadLayerElement(int xml, LayerElement* layer) {
  const char* name = NULL;
  if (!QBTE_ReadText(xml, "name", &name)) return false;
  layer->name = name;
  double opacity = 1.0;
  int visible = 1;
  Yandorix.XMLAttributeGet(xml, "opacity", &opacity);
  Yandorix.XMLAttributeGet(xml, "visible", &visible);
  layer->alpha = AlphaOfOpacity(opacity);
  layer->flags = visible > 0 ? QBTE_UPDATE | QBTE_RENDER : 0;
  ForEachChild(xml, "properties", [&] {
    int status = 0;
    const char* type = NULL;
    ReadProperty(xml, "id", &layer->id);
    ReadProperty(xml, "gridcolor", &layer->gridColor);
    if (ReadProperty(xml, "status", &status)) layer->flags = (Uint32)status;
    ReadDecimalProperty(xml, "position_x", &layer->x);
    ReadDecimalProperty(xml, "position_y", &layer->y);
    ReadDecimalProperty(xml, "speed_x", &layer->speedX);
    ReadDecimalProperty(xml, "speed_y", &layer->speedY);
    ReadDecimalProperty(xml, "parallax_ratio", &layer->ratio);
    if (ReadProperty(xml, "custom-type", &type)) layer->type = type;
  });
  return true;
}

// The slot a layer goes to: its "id" when that slot has no map, else the first without one; -1 none.
int LayerSlot(cQBTE_TileEngine* engine, int id) {
  if (id != -1) return engine->GetLayer(id) && !engine->GetLayer(id)->mapData ? id : -1;
  for (int slot = 0; engine->GetLayer(slot); ++slot)
    if (!engine->GetLayer(slot)->mapData) return slot;
  return -1;
}

// Whether the pointed "data" element's text can hold the map's cells at all, judged from its length:
// CSV needs a digit and a separator per cell, base64 four characters per three bytes, and compressed
// data at least one byte per 1032 (zlib's largest expansion). A map of millions of cells is then
// only made for a text that may fill it. Encodings the base map does not read cannot fill it either.
bool DataMayFill(int xml, const MapHead& head, const LayerElement& layer) {
  const char *encoding = NULL, *compression = NULL, *text = Yandorix.XMLTextGet(xml);
  QBTE_ReadText(xml, "encoding", &encoding);
  double cells = (double)head.width * head.height, length = text ? (double)strlen(text) : 0.0;
  if (encoding && strcmp(encoding, "csv") == 0) return length >= 2.0 * cells - 1.0;
  if (encoding && strcmp(encoding, "base64") == 0) {
    double bytes = cells * 4.0;
    if (QBTE_ReadText(xml, "compression", &compression)) bytes /= 1032.0;
    return length * 3.0 / 4.0 >= bytes - 3.0;
  }
  return layer.type != "base";
}

// The layer's first "data" child read into a new map of the element's type; NULL when it fails.
cQBTE_MapData* ReadLayerData(cQBTE_TileEngine* engine, int xml, const MapHead& head, const LayerElement& layer) {
  int infoLevel = engine->GetInfoLevel();
  bool found = false;
  if (Yandorix.XMLNodeChild(xml)) {
    do found = QBTE_IsElement(xml, "data");
    while (!found && Yandorix.XMLNodeNext(xml));
    if (!found) Yandorix.XMLNodeParent(xml);
  }
  if (!found) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: layer '%s' has no 'data' element\n", layer.name.c_str());
    return NULL;
  }
  if (!DataMayFill(xml, head, layer)) {
    Yandorix.XMLNodeParent(xml);
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: it was not possible to parse '%s' layer with data type '%s'\n",
                   layer.name.c_str(), layer.type.c_str());
    ILogSystem.Msg(infoLevel, "         . its data can not fill a map of %dx%d cells\n", head.width, head.height);
    return NULL;
  }
  cQBTE_MapData* map = engine->FindMapDataFactory(layer.type.c_str(), head.height, head.width);
  int read = 0;
  if (map) {
    map->SetCellWidth(head.tileWidth);
    map->SetCellHeight(head.tileHeight);
    Yandorix.XMLNodeStore(xml);
    read = map->LoadXML(xml, 1);
    Yandorix.XMLNodeRestore(xml);
  }
  Yandorix.XMLNodeParent(xml);
  if (!map)
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: handler for parsing '%s' layer with data type '%s' was not found.\n",
                   layer.name.c_str(), layer.type.c_str());
  else if (!read)
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: it was not possible to parse '%s' layer with data type '%s'\n",
                   layer.name.c_str(), layer.type.c_str());
  if (read) return map;
  delete map;
  return NULL;
}

void TakeOverLayer(cQBTE_TileEngine* engine, int slot, const LayerElement& element) {
  sQBTE_Layer* layer = engine->GetLayer(slot);
  int infoLevel = engine->GetInfoLevel();
  layer->gridColor = (Uint32)element.gridColor;
  layer->alpha = element.alpha;
  QBTE_PlaceLayer(layer, element.x, element.y);
  layer->speedX = element.speedX;
  layer->speedY = element.speedY;
  layer->parallaxRatio = element.ratio;
  layer->resourceControl = 2;
  ILogSystem.Msg(infoLevel, " [QBTE] Info: mapdata for layer '%s' with ID '%d' loaded:\n", layer->name, slot);
  layer->mapData->Info(-1, (char)infoLevel);
  QBTE_SetLoadedFlags(layer, element.flags);
  ILogSystem.Msg(infoLevel, layer->ready ? "         . Layer is ready\n" : "         . Layer is not ready\n");
}

bool ImportLayer(cQBTE_TileEngine* engine, int xml, const MapHead& head) {
  int infoLevel = engine->GetInfoLevel();
  LayerElement element;
  if (!ReadLayerElement(xml, &element)) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: a layer without 'name' was not imported\n");
    return false;
  }
  int slot = LayerSlot(engine, element.id);
  if (slot < 0) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: layer '%s' with ID '%d' was not imported: no free layer slot\n",
                   element.name.c_str(), element.id);
    return false;
  }
  cQBTE_MapData* map = ReadLayerData(engine, xml, head, element);
  if (!map) return false;
  engine->SetLayerName(slot, element.name.c_str());
  if (!engine->SetLayerMapData(slot, map)) {
    engine->SetLayerName(slot, QBTE_LAYER_DEFAULT_NAME);
    delete map;
    return false;
  }
  TakeOverLayer(engine, slot, element);
  return true;
}

}  // namespace

int ImportTMX(cQBTE_TileEngine* engine, const char* path) {
  if (!engine || !engine->GetLevelName()) return -1;
  if (!path) return -2;
  QBTE_XMLDocument document(Yandorix.XMLOpen(path));
  if (!document.IsOpen()) return -3;  // the XML interface logged why
  int xml = document.Handle();
  int infoLevel = engine->GetInfoLevel();
  MapHead head;
  if (const char* why = CheckMapHead(xml, &head)) {
    ILogSystem.Msg(infoLevel, " [QBTE] Error: '%s' can not be imported: %s.\n", path, why);
    return -4;
  }
  ILogSystem.Msg(infoLevel, "\n [QBTE] Info: trying to import '%s' TMX file\n", path);
  MapProperties properties;
  properties.levelName = PathBaseName(path) + ".tmx";
  ReadMapProperties(engine, xml, &properties);
  std::string directory = PathDirectory(path);
  QBTE_Counts tilesets, layers;
  ForEachChild(xml, "tileset", [&] {
    ++tilesets.total;
    if (ImportTileset(engine, xml, head, directory)) ++tilesets.loaded;
  });
  ForEachChild(xml, "layer", [&] {
    ++layers.total;
    if (ImportLayer(engine, xml, head)) ++layers.loaded;
  });
  if (tilesets.loaded == tilesets.total && layers.loaded == layers.total) {
    ILogSystem.Msg(infoLevel, " [QBTE] Info: '%s' level successfully imported.\n\n", engine->GetLevelName());
    return 1;
  }
  ILogSystem.Msg(infoLevel, " [QBTE] Warning: some resources could not be imported: tileset %d/%d and layers %d/%d\n\n",
                 tilesets.loaded, tilesets.total, layers.loaded, layers.total);
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// Export

namespace {

struct ImagePlan {
  const sQBTE_Tileset* tileset;
  std::string source;  // as the map will name it
};

// The image every tileset is written as; false when one has a source that cannot be.
bool PlanTilesetImages(cQBTE_TileEngine* engine, std::vector<ImagePlan>* plans) {
  for (int index = 0; index < engine->GetTilesetCount(); ++index) {
    const sQBTE_Tileset* tileset = engine->GetTilesetAt(index);
    const char* source = tileset->source ? tileset->source : QBTE_TILESET_DEFAULT_SOURCE;
    if (QBTE_IsImageSource(source))
      plans->push_back({tileset, source});
    else if (strcmp(source, QBTE_TILESET_DEFAULT_SOURCE) == 0)
      plans->push_back({tileset, FileNameFrom(tileset->tile->GetName()) + ".png"});
    else
      return false;
  }
  return true;
}

// Whether a layer's map is written: the first map's size and cell size are the TMX map's.
bool Writable(const cQBTE_MapData* map, const cQBTE_MapData* first) {
  return map && map->GetWidth() == first->GetWidth() && map->GetHeight() == first->GetHeight() &&
         map->GetCellWidth() == first->GetCellWidth() && map->GetCellHeight() == first->GetCellHeight();
}

// Tiled refuses a map with a cell whose tile is in no tileset: the first such cell of the layers to be
// written, logged; false when there is none.
bool FindTileOfNoTileset(cQBTE_TileEngine* engine, const cQBTE_MapData* first, const char* name, const std::string& file) {
  for (int id = 0; engine->GetLayer(id); ++id) {
    const sQBTE_Layer* layer = engine->GetLayer(id);
    const cQBTE_MapBase* base = dynamic_cast<const cQBTE_MapBase*>(layer->mapData);
    if (!base || !Writable(base, first)) continue;   // other map types answer for their own cells
    for (int row = 0; row < base->GetHeight(); ++row) {
      const Sint32* cells = base->GetRow(row);
      for (int column = 0; cells && column < base->GetWidth(); ++column)
        if (cells[column] && engine->FindTileset((Uint32)cells[column]) < 0) {
          ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: '%s' level was not exported to '%s': tile %u in layer "
                         "'%s' at [%d,%d] is in no tileset.\n", name, file.c_str(), (unsigned)cells[column],
                         layer->name, column, row);
          return true;
        }
    }
  }
  return false;
}

const cQBTE_MapData* FirstMap(cQBTE_TileEngine* engine) {
  for (int id = 0; engine->GetLayer(id); ++id)
    if (QBTE_MapDrawable(engine->GetLayer(id)->mapData)) return engine->GetLayer(id)->mapData;
  return NULL;
}

void WriteMapHead(cQBTE_TileEngine* engine, int xml, const cQBTE_MapData* first, const char* levelName,
                  const std::string& now) {
  Yandorix.XMLCommentSet(xml, QBTE_DocumentComment);
  Yandorix.XMLAttributeSet(xml, "version", "1.0");
  Yandorix.XMLAttributeSet(xml, "orientation", "orthogonal");
  Yandorix.XMLAttributeSet(xml, "width", first->GetWidth());
  Yandorix.XMLAttributeSet(xml, "height", first->GetHeight());
  Yandorix.XMLAttributeSet(xml, "tilewidth", first->GetCellWidth());
  Yandorix.XMLAttributeSet(xml, "tileheight", first->GetCellHeight());
  const SDL_Rect* view = engine->GetViewport();
  Yandorix.XMLNodeCreate(xml, "properties");
  WriteProperty(xml, "version", QBTE_VERSION);
  WriteProperty(xml, "name", levelName);
  WriteProperty(xml, "creation_date", engine->GetCreationDate());
  WriteProperty(xml, "modification_date", now.c_str());
  WriteProperty(xml, "viewport_x", (int)view->x);
  WriteProperty(xml, "viewport_width", (int)view->w);
  WriteProperty(xml, "viewport_y", (int)view->y);
  WriteProperty(xml, "viewport_height", (int)view->h);
  Yandorix.XMLNodeParent(xml);
}

// The "tileset" element and, when no file of its name exists yet, its image. False when the image
// could not be written.
bool WriteTileset(cQBTE_TileEngine* engine, int xml, const ImagePlan& plan, const std::string& directory) {
  Yandorix_CTile* tile = plan.tileset->tile;
  SDL_Surface* surface = tile->GetSurface();
  int tileWidth = 0, tileHeight = 0;
  tile->GetOffset(&tileWidth, &tileHeight);
  Yandorix.XMLNodeCreate(xml, "tileset");
  Yandorix.XMLAttributeSet(xml, "firstgid", (int)plan.tileset->firstGid);
  Yandorix.XMLAttributeSet(xml, "name", Shown(tile->GetName()));
  Yandorix.XMLAttributeSet(xml, "tilewidth", tileWidth);
  Yandorix.XMLAttributeSet(xml, "tileheight", tileHeight);
  Yandorix.XMLAttributeSet(xml, "spacing", 0);
  Yandorix.XMLAttributeSet(xml, "margin", 0);
  Yandorix.XMLNodeCreate(xml, "properties");
  WriteProperty(xml, "alphavalue", tile->GetAlpha());
  Yandorix.XMLNodeParent(xml);
  Yandorix.XMLNodeCreate(xml, "image");
  Yandorix.XMLAttributeSet(xml, "source", plan.source.c_str());
  int colorKey = tile->GetColorKey();
  if (colorKey != -1 && surface) {
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB((Uint32)colorKey, surface->format, &r, &g, &b);
    char rgb[8];
    snprintf(rgb, sizeof rgb, "%02x%02x%02x", r, g, b);
    Yandorix.XMLAttributeSet(xml, "trans", rgb);
  }
  Yandorix.XMLAttributeSet(xml, "width", surface ? surface->w : 0);
  Yandorix.XMLAttributeSet(xml, "height", surface ? surface->h : 0);
  Yandorix.XMLNodeParent(xml);
  Yandorix.XMLNodeParent(xml);
  std::string path = directory + plan.source;
  if (FileExists(path.c_str()) || QBTE_SaveTilesetImage(tile, path, MatchExtension(path.c_str(), ".bmp"))) return true;
  ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: can not save '%s' tileset with ID '%d' into the image '%s'\n",
                 Shown(tile->GetName()), (int)plan.tileset->firstGid, path.c_str());
  return false;
}

void WriteLayer(int xml, int id, const sQBTE_Layer* layer) {
  const cQBTE_MapData* map = layer->mapData;
  Yandorix.XMLNodeCreate(xml, "layer");
  Yandorix.XMLAttributeSet(xml, "name", layer->name);
  Yandorix.XMLAttributeSet(xml, "width", map->GetWidth());
  Yandorix.XMLAttributeSet(xml, "height", map->GetHeight());
  Yandorix.XMLAttributeSet(xml, "opacity", (float)layer->alpha / 255.0f);
  Yandorix.XMLAttributeSet(xml, "visible", (layer->flags & QBTE_RENDER) ? 1 : 0);
  Yandorix.XMLNodeCreate(xml, "properties");
  WriteProperty(xml, "id", id);
  WriteProperty(xml, "status", (int)layer->flags);
  WriteProperty(xml, "parallax_ratio", layer->parallaxRatio);
  WriteProperty(xml, "position_x", layer->posX);
  WriteProperty(xml, "position_y", layer->posY);
  WriteProperty(xml, "speed_x", layer->speedX);
  WriteProperty(xml, "speed_y", layer->speedY);
  WriteProperty(xml, "gridcolor", (int)layer->gridColor);
  Yandorix.XMLNodeParent(xml);
  Yandorix.XMLNodeStore(xml);
  layer->mapData->SaveXML(xml, 1);
  Yandorix.XMLNodeRestore(xml);
  Yandorix.XMLNodeParent(xml);
}

// Writes the layers a map of the first one's size and cell size can hold; the number left out.
int WriteLayers(cQBTE_TileEngine* engine, int xml, const cQBTE_MapData* first) {
  int leftOut = 0;
  for (int id = 0; engine->GetLayer(id); ++id) {
    const sQBTE_Layer* layer = engine->GetLayer(id);
    if (!layer->mapData) continue;
    if (Writable(layer->mapData, first)) WriteLayer(xml, id, layer);
    else ++leftOut;
  }
  return leftOut;
}

}  // namespace

int ExportTMX(cQBTE_TileEngine* engine, const char* path, const char* levelName) {
  if (!engine || !engine->GetLevelName()) return -1;
  if (!path) return -2;
  const cQBTE_MapData* first = FirstMap(engine);
  if (!first) return -3;
  std::vector<ImagePlan> plans;
  if (!PlanTilesetImages(engine, &plans)) return -4;
  const char* name = levelName ? levelName : engine->GetLevelName();
  int infoLevel = engine->GetInfoLevel();
  std::string directory = PathDirectory(path);
  std::string file = directory + PathBaseName(path) + ".tmx";
  if (FindTileOfNoTileset(engine, first, name, file)) return 0;
  std::string now = NowText();
  QBTE_XMLDocument document(Yandorix.XMLCreate("map"));
  if (!document.IsOpen()) return -5;
  int xml = document.Handle();
  WriteMapHead(engine, xml, first, name, now);
  for (const ImagePlan& plan : plans)
    if (!WriteTileset(engine, xml, plan, directory)) return -6;
  int leftOut = WriteLayers(engine, xml, first);
  if (Yandorix.XMLSave(xml, file.c_str()) <= 0) {
    ILogSystem.Msg(infoLevel, " [QBTE] Error: '%s' level could not be exported to '%s'.\n", name, file.c_str());
    return -5;
  }
  CopyBounded(engine->GetModificationDate(), now.c_str(), 32);
  if (leftOut) {
    ILogSystem.Msg(infoLevel, " [QBTE] Warning: '%s' level exported to '%s' but some issues were detected.\n", name,
                   file.c_str());
    return 0;
  }
  ILogSystem.Msg(infoLevel, " [QBTE] Info: '%s' level successfully exported to '%s'.\n", name, file.c_str());
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Properties

namespace {

template <class Value>
int AddProperty(int xml, const char* name, Value value) {
  if (!name || !Yandorix.XMLNodeCreate(xml, "property")) return 0;
  Yandorix.XMLAttributeSet(xml, "name", name);
  int result = Yandorix.XMLAttributeSet(xml, "value", value);
  Yandorix.XMLNodeParent(xml);
  return result;
}

template <class Value>
int FindProperty(int xml, const char* name, Value* value) {
  if (!name || !value || !Yandorix.XMLNodeChild(xml)) return 0;
  int found = 0;
  do {
    const char* propertyName = NULL;
    found = QBTE_IsElement(xml, "property") && QBTE_ReadText(xml, "name", &propertyName) &&
            strcmp(propertyName, name) == 0 && Yandorix.XMLAttributeGet(xml, "value", value);
  } while (!found && Yandorix.XMLNodeNext(xml));
  Yandorix.XMLNodeParent(xml);
  return found;
}

}  // namespace

int WriteProperty(int xml, const char* name, const char* value) { return value ? AddProperty(xml, name, value) : 0; }
int WriteProperty(int xml, const char* name, int value) { return AddProperty(xml, name, value); }
int WriteProperty(int xml, const char* name, float value) { return AddProperty(xml, name, value); }
int WriteProperty(int xml, const char* name, double value) { return AddProperty(xml, name, value); }

int ReadProperty(int xml, const char* name, const char** value) {
  const char* text = NULL;
  if (!FindProperty(xml, name, &text) || !text) return 0;
  *value = text;
  return 1;
}
int ReadProperty(int xml, const char* name, char** value) {
  const char* text = NULL;
  if (!ReadProperty(xml, name, &text)) return 0;
  *value = const_cast<char*>(text);
  return 1;
}
int ReadProperty(int xml, const char* name, int* value) { return FindProperty(xml, name, value); }
int ReadProperty(int xml, const char* name, double* value) { return FindProperty(xml, name, value); }

// ---------------------------------------------------------------------------------------------------
// Spaced tilesets

namespace {

// Tiles of `tile` pixels that fit along `size` pixels between two margins, `spacing` apart.
int FittingTiles(int size, int tile, int spacing, int margin) {
  long long room = (long long)size - 2LL * margin - tile;
  return room < 0 ? 0 : (int)(room / ((long long)tile + spacing) + 1);
}

SDL_Surface* PackedSurface(SDL_Surface* image, int width, int height, bool perPixel) {
  const SDL_PixelFormat* f = image->format;
  if (perPixel)
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask);
  return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0, 0, 0, 0);
}

}  // namespace

Yandorix_CTile* CreateTilesetFromImage(const char* file, const char* name, int tileWidth, int tileHeight, int spacing,
                                       int margin) {
  if (!file || !name || tileWidth < 1 || tileHeight < 1 || spacing < 0 || margin < 0 || !IImage) return NULL;
  SDL_Surface* image = IImage->LoadIMG(file);
  if (!image) return NULL;
  int columns = FittingTiles(image->w, tileWidth, spacing, margin);
  int rows = FittingTiles(image->h, tileHeight, spacing, margin);
  // Blit positions are 16-bit: larger images cannot be cut.
  if (columns < 1 || rows < 1 || image->w > 32767 || image->h > 32767) {
    ILogSystem.Msg(2, " [QBTE] Warning: no whole %dx%d tile fits in '%s' (%dx%d, margin %d, spacing %d)\n", tileWidth,
                   tileHeight, file, image->w, image->h, margin, spacing);
    SDL_FreeSurface(image);
    return NULL;
  }
  bool perPixel = (image->flags & SDL_SRCALPHA) && image->format->Amask;
  SDL_Surface* packed = PackedSurface(image, columns * tileWidth, rows * tileHeight, perPixel);
  // The pixels are copied as they are: the alpha channel with them, colour-keyed pixels too. The image
  // is freed afterwards, so its settings need no restoring.
  SDL_SetAlpha(image, 0, 255);
  SDL_SetColorKey(image, 0, 0);
  for (int row = 0; packed && row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      SDL_Rect from = {(Sint16)(margin + column * (tileWidth + spacing)),
                       (Sint16)(margin + row * (tileHeight + spacing)), (Uint16)tileWidth, (Uint16)tileHeight};
      SDL_Rect to = {(Sint16)(column * tileWidth), (Sint16)(row * tileHeight), 0, 0};
      SDL_BlitSurface(image, &from, packed, &to);
    }
  SDL_FreeSurface(image);
  Yandorix_CTile* tile = packed ? new Yandorix_CTile : NULL;
  if (tile && (!tile->Create(packed, name) || !tile->SetTileSet(1, tileWidth, tileHeight))) {
    delete tile;
    tile = NULL;
  }
  SDL_FreeSurface(packed);
  return tile;
}
