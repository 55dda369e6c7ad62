// The tile engine of the example programs: ordered layers that each show a map of global tile ids,
// scroll on their own or linked by a parallax ratio, and are drawn into a viewport of a render target
// from tilesets that each own a range of global ids.
#ifndef QBTE_TILEENGINE_H
#define QBTE_TILEENGINE_H

#include <Yandorix.h>
#include <vector>
#include "QBTE_MapData.h"

// The engine's clock: every time reading of the engine goes through it. SDL_GetTicks unless a test
// drives it (the engine is application code and cannot reach the library's own clock).
Uint32 QBTE_Ticks();
void QBTE_SetClock(Uint32 (*clock)(void));   // NULL restores SDL_GetTicks

#define QBTE_VERSION "1.10"

// Layer flags.
enum {
  QBTE_LOOPX = 0x1,          // the map repeats horizontally; X position unclamped
  QBTE_LOOPY = 0x2,          // the map repeats vertically; Y position unclamped
  QBTE_AUTOSCROLL = 0x4,     // each update moves the layer by its speed
  QBTE_UPDATE = 0x8,         // the layer takes part in updates
  QBTE_UPDATECELLS = 0x10,   // as QBTE_UPDATE, and each visible cell gets the map's per-cell update
  QBTE_RENDER = 0x20,        // the layer is drawn
  QBTE_SMOOTHSCROLL = 0x40,  // rendering interpolates between the last two updates
  QBTE_SHOWGRID = 0x80,      // rendering draws cell grid lines
  QBTE_PAUSE = 0x100,        // auto-scrolling suspended, position requests refused
};

// Special values of SetLayerPosition/SetLayerSpeed arguments.
#define QBTE_POS_KEEP 16777214.0f       // leaves the axis unchanged
#define QBTE_POS_START 16777213.0f      // the map's start
#define QBTE_POS_CENTER 16777212.0f     // the map's centre
#define QBTE_POS_END 16777211.0f        // the map's end
#define QBTE_POS_CENTER_ON 167772160.0f // plus a map pixel: centres the viewport on that pixel

// Default names and sources.
#define QBTE_LAYER_DEFAULT_NAME "TE-LAYER-EMTPY"
#define QBTE_TILESET_DEFAULT_SOURCE "TE-TS-DEFAULT-SOURCE"

// A cell whose id bits (the low 29) are 0 is empty, whatever its flip bits say.
inline bool QBTE_IsEmptyCell(Uint32 value) { return (value & 0x1FFFFFFFu) == 0; }

typedef void (*LayerEndCallback)(int, int, int, int, int, int, int, int);
typedef cQBTE_MapData* (*MapDataFactory)(int rows, int columns);

struct sQBTE_Layer {
  Uint32 flags;
  Sint8 resourceControl;   // owner of the map: 0 user, 1 auto (engine), 2 internal (engine, loaders)
  Uint8 ready;             // every non-zero cell has a loaded tileset
  float parallaxRatio;     // 0.0: independent
  float speedX, speedY;    // pixels per second
  int alpha;               // 255: the tiles' own alpha
  Uint32 gridColor;
  cQBTE_MapData* mapData;
  LayerEndCallback onUpdateEnd;
  LayerEndCallback onRenderEnd;
  char name[32];
  float posX, posY;        // requested position: the map pixel at the viewport's top left corner
  float curX, curY;        // taken over by the last update
  float prevX, prevY;      // before the last update
  float renderX, renderY;  // used by the last render
  int overhangX, overhangY;  // pixels tiles larger than a cell reach out of it
  Uint32 lastTick;         // clock of the last update; 0: not timed yet (the next update starts from now)
  int snap;                // the next update does not interpolate (the position jumped)
};

struct sQBTE_Tileset {
  Uint32 firstGid;
  char* source;             // heap copy
  Yandorix_CTile* tile;
  int tileCount;
  Uint8 resourceControl;    // > 0: the engine deletes the tile with the tileset
};

class cQBTE_TileEngine {
 public:
  cQBTE_TileEngine();
  ~cQBTE_TileEngine();

  // Lifecycle.
  int InitEngine(int layers, const char* levelName);
  int SetLayerSlots(int count);
  int ResetEngine();
  int CloseEngine();
  void SetLogMode(int mode);

  // Render target and viewport.
  int SetRenderTarget(SDL_Surface* target);
  int SetViewport(SDL_Rect* rect);
  SDL_Surface* GetRenderTarget();
  SDL_Rect* GetViewport();
  char* GetLevelName();          // the fields themselves (32 bytes each), NULL before InitEngine
  char* GetCreationDate();
  char* GetModificationDate();
  void SetLevelName(const char* name);

  // Layer properties.
  int SetLayerName(int id, const char* name);
  char* GetLayerName(int id);
  int GetLayerFlags(int id);
  int SetLayerFlags(int id, int mask, int value);
  int GetLayerResourceControl(int id);
  int SetLayerResourceControl(int id, int mode);
  float GetLayerParallax(int id);
  int SetLayerParallax(int id, float ratio);
  int GetLayerAlpha(int id);
  int SetLayerAlpha(int id, int alpha);
  int SetLayerGridColor(int id, Uint32 pixel);
  int GetLayerSpeed(int id, float* x, float* y);
  int SetLayerSpeed(int id, float x, float y);
  int GetLayerPosition(int id, float* x, float* y);
  int SetLayerPosition(int id, float x, float y);
  int MoveLayer(int id, float dx, float dy);
  int SetOnUpdateEnd(int id, LayerEndCallback callback);
  int SetOnRenderEnd(int id, LayerEndCallback callback);
  LayerEndCallback* GetOnUpdateEnd(int id);
  LayerEndCallback* GetOnRenderEnd(int id);
  cQBTE_MapData* GetLayerMapData(int id);
  int ResetLayer(int id);

  // Maps of layers.
  int SetLayerMapData(int id, cQBTE_MapData* map);
  int AddCustomMapData(int id, cQBTE_MapData* map);
  int ConvertLayerToBase(int id);
  int RegisterMapDataFactory(MapDataFactory factory);
  cQBTE_MapData* FindMapDataFactory(const char* type, int rows, int columns);
  int CheckLayerCells(int id);

  // Tilesets.
  int AddTileset(Yandorix_CTile* tile, int gid);
  int LoadTilesetImage(const char* file, const char* name, int tileWidth, int tileHeight, int gid);
  int LoadTilesetDPF(const char* archive, const char* block, int gid);
  int FindTileset(Uint32 gid);
  char* GetTilesetSource(Uint32 gid);
  Yandorix_CTile* GetTilesetTile(Uint32 gid);
  int SetTilesetSource(Uint32 gid, const char* source);
  int UnloadTileset(Uint32 gid);

  // Diagnostics.
  void InfoPrint(int layer);

  // Every frame: advance the layers (once per logic frame) and draw them (-1: all layers).
  int UpdateLayers(int layer);
  int RenderLayers(int layer);
  int Screen2LayerAbsolute(int layer, int sx, int sy, int* x, int* y);
  int Screen2LayerCell(int layer, int sx, int sy, int* col, int* row);

  // For the level, TMX and image code: the records themselves (NULL outside the lists), the
  // tilesets in list order, and the three log levels.
  sQBTE_Layer* GetLayer(int id);
  int GetTilesetCount() const { return (int)tilesets.size(); }
  sQBTE_Tileset* GetTilesetAt(int index);
  int GetReportLevel() const { return reportLevel; }
  int GetInfoLevel() const { return infoLevel; }
  int GetPositionLevel() const { return positionLevel; }

  // Where SmoothScroll takes the logic time from (NULL: the main object's GetLogicTime).
  void SetLogicTimeSource(float (*source)(void));

  // For DrawCell of maps while a layer is drawn: applies the layer alpha to the tile once for the
  // whole layer and gives the tile's own alpha back after the layer. 1 when the engine holds the
  // alpha (inside RenderLayers), 0 when the caller must set and restore it itself.
  int HoldTileAlpha(Yandorix_CTile* tile, int alpha);

 private:
  cQBTE_TileEngine(const cQBTE_TileEngine&) = delete;
  cQBTE_TileEngine& operator=(const cQBTE_TileEngine&) = delete;

  bool ValidLayer(int id) const { return id >= 0 && id < (int)layers.size(); }
  sQBTE_Layer* Initialised(int id);   // the layer when the engine is initialised and the id valid
  void DefaultLayer(sQBTE_Layer* layer, Uint32 tick);
  void ReleaseMap(sQBTE_Layer* layer, cQBTE_MapData* keep);
  void ReleaseTileset(sQBTE_Tileset* tileset);
  int AttachMap(int id, cQBTE_MapData* map);
  int DetachMap(int id);
  bool ClampedSetX(sQBTE_Layer* layer, float wanted);
  bool ClampedSetY(sQBTE_Layer* layer, float wanted);
  float DecodePosition(float value, bool vertical, const cQBTE_MapData* map, bool* jump) const;
  void CascadePosition(int id, bool vertical, bool jump);
  void CascadeSpeed(int id, bool vertical);
  int TilesetRangeRefusal(Yandorix_CTile* tile, int gid, int count);
  void PrintLayer(int id);
  void PrintTileset(const sQBTE_Tileset* tileset);
  void UpdateLayer(int id);
  void UpdateLayerCells(int id, int firstCol, int endCol, int firstRow, int endRow);
  void RenderLayer(int id);
  void DrawLayerCells(int id, sQBTE_Layer* layer, int startX, int endX, int startY, int endY, int sx0, int sy0);
  void DrawLayerGrid(const sQBTE_Layer* layer, int sx0, int sy0, int mx, int my);
  void ReleaseHeldAlpha();

  Uint8 state;
  SDL_Surface* target;
  SDL_Rect viewport;
  std::vector<sQBTE_Layer*> layers;
  std::vector<sQBTE_Tileset*> tilesets;
  int reportLevel;
  int infoLevel;
  int positionLevel;
  char levelName[32];
  char creationDate[32];
  char modificationDate[32];
  MapDataFactory factories[3];

  float (*logicTime)(void);
  int lastFound;   // tileset index of the last FindTileset hit, -1 none
  bool drawing;    // inside a layer's cells in RenderLayers
  struct HeldAlpha {
    Yandorix_CTile* tile;
    int alpha;
  };
  std::vector<HeldAlpha> heldAlpha;
};

#endif
