// Layers as pictures: layers drawn into one surface or image file, and pictures cut into tiles that
// are merged within a pixel tolerance, packed into a new tileset and given to a layer as its map.
// Every check runs before a pixel is drawn or an object is made, so a refusal leaves nothing behind.
#include "QBTE_LayerImage.h"
#include "QBTE_Shared.h"
#include "QBTE_TileEngine.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

const Uint32 kIdMask = 0x1FFFFFFFu;
const Uint32 kTransformBits = 0xE0000000u;
const int kTilesetMaxWidth = 1024;
// Surfaces with per-pixel alpha made here: RGBA in byte order, as PNG files store it.
const Uint32 kAlphaRmask = 0x000000FFu, kAlphaGmask = 0x0000FF00u, kAlphaBmask = 0x00FF0000u,
             kAlphaAmask = 0xFF000000u;

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
typedef std::unique_ptr<SDL_Surface, SurfaceFree> SurfaceHolder;

bool Initialised(cQBTE_TileEngine* engine) { return engine && engine->GetLevelName() != NULL; }
// A NULL engine has no level of its own: its refusals are logged as errors always are.
int InfoLevel(cQBTE_TileEngine* engine) { return engine ? engine->GetInfoLevel() : 0; }

bool PerPixelAlpha(const SDL_Surface* s) { return (s->flags & SDL_SRCALPHA) && s->format->Amask != 0; }

bool FitsSDLSurface(long long width, long long height, int bytesPerPixel) {
  return width >= 1 && height >= 1 && width * bytesPerPixel <= QBTE_MAX_SURFACE_PITCH &&
         height <= QBTE_MAX_SURFACE_SIDE;
}

SDL_Surface* NewSurface32(int width, int height, bool perPixel) {
  if (perPixel) return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, kAlphaRmask, kAlphaGmask, kAlphaBmask, kAlphaAmask);
  return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0, 0, 0, 0);   // SDL's default masks
}

// The key and surface alpha of a surface, switched off so a blit copies its pixels as they are.
struct sBlending {
  Uint32 flags;
  Uint32 colorKey;
  Uint8 alpha;
};

sBlending SwitchOffBlending(SDL_Surface* s) {
  sBlending saved = {s->flags, s->format->colorkey, s->format->alpha};
  if (s->flags & SDL_SRCALPHA) SDL_SetAlpha(s, 0, 255);
  if (s->flags & SDL_SRCCOLORKEY) SDL_SetColorKey(s, 0, 0);
  return saved;
}

void RestoreBlending(SDL_Surface* s, const sBlending& saved) {
  // Run-length coding asked for (done or still to come at the next blit) is asked for again.
  Uint32 runLength = saved.flags & (SDL_RLEACCEL | SDL_RLEACCELOK) ? SDL_RLEACCEL : 0;
  if (saved.flags & SDL_SRCCOLORKEY) SDL_SetColorKey(s, SDL_SRCCOLORKEY | runLength, saved.colorKey);
  if (saved.flags & SDL_SRCALPHA) SDL_SetAlpha(s, SDL_SRCALPHA | runLength, saved.alpha);
}

// Creates a tile with the library's automatic conversion suspended. The public interface only sets the
// switch, so it is switched on again afterwards, as the library's own loaders do after theirs.
Yandorix_CTile* UnconvertedTile(SDL_Surface* surface, const char* name, int tileWidth, int tileHeight) {
  Yandorix_CTile* tile = new (std::nothrow) Yandorix_CTile;
  if (!tile) return NULL;
  Yandorix.SurfaceAutomaticConversion(0);
  int created = tile->Create(surface, name);
  Yandorix.SurfaceAutomaticConversion(1);
  if (!created || !tile->SetTileSet(1, tileWidth, tileHeight)) {
    delete tile;
    return NULL;
  }
  return tile;
}

// ===================================================================================================
// Export

// The engine, the layer id and the output are usable: 1, or the refusal code with its log line.
int CheckExportRequest(cQBTE_TileEngine* engine, int layer) {
  if (!Initialised(engine)) {
    ILogSystem.Msg(InfoLevel(engine), " [QBTE] Error: layers can not be exported (the engine was not initialized).\n");
    return -1;
  }
  if (layer >= engine->SetLayerSlots(-1)) {
    ILogSystem.Msg(InfoLevel(engine), " [QBTE] Error: layer ID '%d' can not be exported (there are %d layer slots).\n",
                   layer, engine->SetLayerSlots(-1));
    return -2;
  }
  return 1;
}

struct sExportLayer {
  int id;
  const cQBTE_MapBase* map;
  int width, height;   // pixels
};

bool Qualifies(const sQBTE_Layer* layer) {
  return layer && layer->ready && layer->mapData && (layer->flags & QBTE_RENDER) && layer->alpha != 0;
}

// The layers an export draws, bottom first: 1 with `plan` filled, 0 when none qualifies, -4 when one
// is larger than an SDL surface can be.
int PlanExport(cQBTE_TileEngine* engine, int layer, std::vector<sExportLayer>* plan) {
  int first = layer < 0 ? 0 : layer;
  int last = layer < 0 ? engine->SetLayerSlots(-1) - 1 : layer;
  for (int id = first; id <= last; ++id) {
    const sQBTE_Layer* record = engine->GetLayer(id);
    if (!Qualifies(record)) continue;
    // Only maps built on the base map hold cells that can be read here.
    const cQBTE_MapBase* map = dynamic_cast<const cQBTE_MapBase*>(record->mapData);
    if (!map || !QBTE_MapDrawable(map)) {
      ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Warning: layer '%s' with ID '%d' has a mapdata type '%s' that can "
                     "not be exported.\n", record->name, id, record->mapData->GetType());
      continue;
    }
    long long width = (long long)map->GetCellWidth() * map->GetWidth();
    long long height = (long long)map->GetCellHeight() * map->GetHeight();
    if (!FitsSDLSurface(width, height, 4)) {
      ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: layer '%s' with ID '%d' would be a %lldx%lld picture, larger "
                     "than SDL surfaces can be (%d pixels wide, %d rows).\n", record->name, id, width, height,
                     QBTE_MAX_SURFACE_PITCH / 4, QBTE_MAX_SURFACE_SIDE);
      return -4;
    }
    plan->push_back({id, map, (int)width, (int)height});
  }
  if (plan->empty()) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Warning: no layer to export (a layer needs its mapdata, its tilesets, "
                   "the Render flag and an alpha above 0).\n");
    return 0;
  }
  return 1;
}

// The tiles an export draws with: each tileset's own, or a stand-in made once per export where the
// tileset's own would not give its pixels: a texture (read back through a display-format copy), or
// per-pixel alpha, whose blend into the transparent surface would leave every pixel transparent, so
// its stand-in copies pixels and alpha as they are (flipped tiles too).
class ExportTiles {
 public:
  explicit ExportTiles(cQBTE_TileEngine* engine) : engine(engine) {}
  ~ExportTiles() {
    for (Yandorix_CTile* tile : standIns) delete tile;
  }
  Yandorix_CTile* For(int index) {
    const sQBTE_Tileset* tileset = engine->GetTilesetAt(index);
    if ((int)made.size() <= index) {
      made.resize((size_t)index + 1, false);
      standIns.resize((size_t)index + 1, NULL);
    }
    if (!made[index]) {
      made[index] = true;
      standIns[index] = StandIn(tileset->tile);
    }
    return standIns[index] ? standIns[index] : tileset->tile;
  }

 private:
  ExportTiles(const ExportTiles&) = delete;
  ExportTiles& operator=(const ExportTiles&) = delete;

  static Yandorix_CTile* StandIn(Yandorix_CTile* tile) {
    SDL_Surface* surface = tile->GetSurface();
    bool perPixel = tile->GetAlpha() == 256;
    SurfaceHolder copy;
    if (Yandorix.IsTexture(surface)) copy.reset(perPixel ? SDL_DisplayFormatAlpha(surface) : SDL_DisplayFormat(surface));
    else if (perPixel) copy.reset(SDL_ConvertSurface(surface, surface->format, SDL_SWSURFACE));
    if (!copy) return NULL;
    if (perPixel) SDL_SetAlpha(copy.get(), 0, 255);
    int tileWidth = 0, tileHeight = 0;
    tile->GetOffset(&tileWidth, &tileHeight);
    return UnconvertedTile(copy.get(), "TileTmp", tileWidth, tileHeight);
  }

  cQBTE_TileEngine* engine;
  std::vector<bool> made;
  std::vector<Yandorix_CTile*> standIns;
};

// How a layer's surface starts: transparent when one of its tiles has per-pixel alpha, else filled
// with the colour key of the last keyed tileset its cells use (the key's colour, in this surface's
// format), or 0.
struct sLayerBackground {
  bool perPixel = false;
  const Yandorix_CTile* keyed = NULL;
};

sLayerBackground ScanBackground(cQBTE_TileEngine* engine, const cQBTE_MapBase* map) {
  sLayerBackground background;
  for (int row = 0; row < map->GetHeight(); ++row) {
    const Sint32* cells = map->GetRow(row);
    for (int column = 0; column < map->GetWidth(); ++column) {
      if (!cells[column]) continue;
      const Yandorix_CTile* tile = engine->GetTilesetTile((Uint32)cells[column]);
      if (!tile) continue;
      if (tile->GetAlpha() == 256) {
        background.perPixel = true;
        return background;
      }
      if (tile->GetColorKey() != -1) background.keyed = tile;
    }
  }
  return background;
}

Uint32 BackgroundPixel(const sLayerBackground& background, const SDL_Surface* surface) {
  if (!background.keyed) return 0;
  Uint8 r = 0, g = 0, b = 0;
  SDL_GetRGB((Uint32)background.keyed->GetColorKey(), background.keyed->GetSurface()->format, &r, &g, &b);
  return SDL_MapRGB(surface->format, r, g, b);
}

void DrawLayerCells(cQBTE_TileEngine* engine, const sExportLayer& layer, ExportTiles* tiles, SDL_Surface* surface) {
  const int cellWidth = layer.map->GetCellWidth(), cellHeight = layer.map->GetCellHeight();
  for (int row = 0; row < layer.map->GetHeight(); ++row) {
    const Sint32* cells = layer.map->GetRow(row);
    for (int column = 0; column < layer.map->GetWidth(); ++column) {
      Uint32 value = (Uint32)cells[column];
      int index = value ? engine->FindTileset(value) : -1;
      if (index < 0) continue;
      const sQBTE_Tileset* tileset = engine->GetTilesetAt(index);
      Yandorix_CTile* tile = tiles->For(index);
      tile->SetPosition(column * cellWidth, row * cellHeight);
      Uint32 number = (value & kIdMask) - tileset->firstGid + 1;
      tile->Draw(surface, (int)(number | (value & kTransformBits)));
    }
  }
}

// One layer drawn into a new surface; NULL when SDL cannot make it. *keyPixel gets the background
// pixel when the surface has no per-pixel alpha.
SDL_Surface* DrawLayer(cQBTE_TileEngine* engine, const sExportLayer& layer, ExportTiles* tiles, bool* perPixel,
                       Uint32* keyPixel) {
  sLayerBackground background = ScanBackground(engine, layer.map);
  SDL_Surface* surface = NewSurface32(layer.width, layer.height, background.perPixel);
  if (!surface) return NULL;
  *perPixel = background.perPixel;
  *keyPixel = background.perPixel ? 0 : BackgroundPixel(background, surface);
  SDL_FillRect(surface, NULL, *keyPixel);
  DrawLayerCells(engine, layer, tiles, surface);
  return surface;
}

// The planned layers drawn one over the other into the first one's surface; NULL when out of memory.
SDL_Surface* DrawPlan(cQBTE_TileEngine* engine, const std::vector<sExportLayer>& plan) {
  ExportTiles tiles(engine);
  SurfaceHolder result;
  for (const sExportLayer& layer : plan) {
    bool perPixel = false;
    Uint32 keyPixel = 0;
    SurfaceHolder drawn(DrawLayer(engine, layer, &tiles, &perPixel, &keyPixel));
    if (!drawn) {
      ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: there is no memory for the %dx%d picture of layer ID '%d'.\n",
                     layer.width, layer.height, layer.id);
      return NULL;
    }
    if (!result) {
      result = std::move(drawn);
      continue;
    }
    if (!perPixel) SDL_SetColorKey(drawn.get(), SDL_SRCCOLORKEY, keyPixel);
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(drawn.get(), NULL, result.get(), &at);
  }
  return result.release();
}

// The planned layers drawn into *out: 1, or -4 when out of memory.
int DrawPlanned(cQBTE_TileEngine* engine, const std::vector<sExportLayer>& plan, SDL_Surface** out) {
  *out = DrawPlan(engine, plan);
  if (!*out) return -4;
  ILogSystem.Msg(engine->GetInfoLevel(), "\n [QBTE] Info: exported '%d' layers to the given surface\n", (int)plan.size());
  return 1;
}

int SaveExport(cQBTE_TileEngine* engine, SDL_Surface* surface, const char* file) {
  bool written = false;
  if (IImage && MatchExtension(file, ".bmp")) written = IImage->SaveBMP(file, surface) == 1;
  else if (IImage) written = IImage->SavePNG(file, surface, -1) == 0;
  if (!written) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: the exported layers could not be written to '%s' image file.\n",
                   file);
    return -6;
  }
  ILogSystem.Msg(engine->GetInfoLevel(), "                         - surface saved to '%s' image file\n", file);
  return 1;
}

}  // namespace

int ExportLayersToSurface(cQBTE_TileEngine* engine, int layer, SDL_Surface** out) {
  int checked = CheckExportRequest(engine, layer);
  if (checked != 1) return checked;
  if (!out || *out) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: layers can not be exported (the output surface pointer %s).\n",
                   out ? "does not hold NULL" : "is NULL");
    return -3;
  }
  std::vector<sExportLayer> plan;
  int planned = PlanExport(engine, layer, &plan);
  if (planned != 1) return planned;
  return DrawPlanned(engine, plan, out);
}

int ExportLayerToImage(cQBTE_TileEngine* engine, int layer, const char* file) {
  if (!file) {
    ILogSystem.Msg(InfoLevel(engine), " [QBTE] Error: layers can not be exported to an image file (no file name).\n");
    return -1;
  }
  // Everything that can refuse is asked before a pixel is drawn.
  int checked = CheckExportRequest(engine, layer);
  if (checked != 1) return checked;
  std::vector<sExportLayer> plan;
  int planned = PlanExport(engine, layer, &plan);
  if (planned != 1) return planned;
  if (!MatchExtension(file, ".bmp") && !MatchExtension(file, ".png")) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: '%s' is neither a .bmp nor a .png file name.\n", file);
    return -5;
  }
  Uint32 start = QBTE_Ticks();
  SDL_Surface* surface = NULL;
  int exported = DrawPlanned(engine, plan, &surface);
  ILogSystem.Msg(2, "Export time: %dms\n", (int)(QBTE_Ticks() - start));
  if (exported != 1) return exported;
  int saved = SaveExport(engine, surface, file);
  SDL_FreeSurface(surface);
  return saved;
}

// ===================================================================================================
// Import

namespace {

// One block of the picture: its tile number (-1 not yet decided, 0 empty, 1.. distinct tile) and the
// pixel position of its top left corner.
struct sTileRecord {
  Sint32 tile;
  Sint32 x;
  Sint32 y;
};

// A row table and one block of rows x columns records; NULL when memory runs out.
sTileRecord** Alloc2DRecords(int rows, int columns) {
  sTileRecord** table = static_cast<sTileRecord**>(malloc((size_t)rows * sizeof(sTileRecord*)));
  sTileRecord* block = static_cast<sTileRecord*>(malloc((size_t)rows * (size_t)columns * sizeof(sTileRecord)));
  if (!table || !block) {
    free(table);
    free(block);
    return NULL;
  }
  for (int row = 0; row < rows; ++row) table[row] = block + (size_t)row * (size_t)columns;
  return table;
}

void Free2DRecords(sTileRecord** table) {
  if (!table) return;
  free(table[0]);
  free(table);
}

// The picture's pixels while it is locked, and what a comparison needs to know about them.
struct sPixels {
  const Uint8* pixels;
  int pitch;
  int bytesPerPixel;
  Uint32 amask;
  bool perPixel;
  bool hasKey;
  Uint32 key;
};

template <class Pixel>
int CompareBlocksAs(const sPixels& p, int ax, int ay, int bx, int by, int width, int height, int maxDiff) {
  int result = p.perPixel ? 2 : 1;
  int keyFlag = p.hasKey ? 2 : 1;
  int differences = 0;
  for (int y = 0; y < height; ++y) {
    const Pixel* a = reinterpret_cast<const Pixel*>(p.pixels + (size_t)(ay + y) * p.pitch) + ax;
    const Pixel* b = reinterpret_cast<const Pixel*>(p.pixels + (size_t)(by + y) * p.pitch) + bx;
    for (int x = 0; x < width; ++x) {
      Uint32 pixel = b[x];
      if (p.hasKey && pixel != p.key) keyFlag = 1;
      if (pixel & p.amask) result = 1;
      if (a[x] != pixel) {
        if (differences >= maxDiff) return 0;
        ++differences;
      }
    }
  }
  return std::max(result, keyFlag);
}

int CompareBlocks(const sPixels& p, int ax, int ay, int bx, int by, int width, int height, int maxDiff) {
  switch (p.bytesPerPixel) {
    case 1: return CompareBlocksAs<Uint8>(p, ax, ay, bx, by, width, height, maxDiff);
    case 2: return CompareBlocksAs<Uint16>(p, ax, ay, bx, by, width, height, maxDiff);
    case 4: return CompareBlocksAs<Uint32>(p, ax, ay, bx, by, width, height, maxDiff);
    default: return 0;   // 24 bits: never compared
  }
}

sPixels PixelsOf(SDL_Surface* locked, int colorKey) {
  sPixels p;
  p.pixels = static_cast<const Uint8*>(locked->pixels);
  p.pitch = locked->pitch;
  p.bytesPerPixel = locked->format->BytesPerPixel;
  p.perPixel = PerPixelAlpha(locked);
  p.amask = p.perPixel ? locked->format->Amask : 0;
  p.hasKey = colorKey != -1;
  p.key = (Uint32)colorKey;
  return p;
}

bool InsidePicture(const SDL_Rect* block, const SDL_Surface* picture, int width, int height) {
  return block->x >= 0 && block->y >= 0 && (long long)block->x + width <= picture->w &&
         (long long)block->y + height <= picture->h;
}

// ---------------------------------------------------------------------------------------------------
// Matching. Blocks with identical pixels always share their fate in the pairwise matching (each
// comparison depends on the pixels alone), so identical blocks are grouped by hash first and only
// one block of each group takes part; the numbering is the same as comparing every pair of blocks.

// Four independent lanes over 32-byte steps, so the multiplications do not wait on each other.
class BlockHasher {
 public:
  BlockHasher() : lanes{0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull} {}
  void Add(const Uint8* bytes, size_t length) {
    size_t at = 0;
    for (; at + 32 <= length; at += 32)
      for (int lane = 0; lane < 4; ++lane) Step(&lanes[lane], Word(bytes + at + 8 * lane));
    for (; at + 8 <= length; at += 8) Step(&lanes[0], Word(bytes + at));
    for (; at < length; ++at) Step(&lanes[1], bytes[at]);
  }
  Uint64 Finish() const {
    Uint64 hash = lanes[0];
    for (int lane = 1; lane < 4; ++lane) Step(&hash, lanes[lane]);
    return hash ^ (hash >> 32);
  }

 private:
  static Uint64 Word(const Uint8* at) {
    Uint64 word;
    memcpy(&word, at, 8);
    return word;
  }
  static void Step(Uint64* lane, Uint64 value) {
    Uint64 mixed = (*lane ^ value) * 0x9E3779B97F4A7C15ull;
    *lane = mixed << 31 | mixed >> 33;   // high bits, where the product mixes best, come back down
  }
  Uint64 lanes[4];
};

Uint64 BlockHash(const sPixels& p, int x, int y, int width, int height) {
  size_t rowBytes = (size_t)width * p.bytesPerPixel;
  BlockHasher hasher;
  for (int row = 0; row < height; ++row)
    hasher.Add(p.pixels + (size_t)(y + row) * p.pitch + (size_t)x * p.bytesPerPixel, rowBytes);
  return hasher.Finish();
}

bool SameBlock(const sPixels& p, int ax, int ay, int bx, int by, int width, int height) {
  size_t rowBytes = (size_t)width * p.bytesPerPixel;
  for (int row = 0; row < height; ++row)
    if (memcmp(p.pixels + (size_t)(ay + row) * p.pitch + (size_t)ax * p.bytesPerPixel,
               p.pixels + (size_t)(by + row) * p.pitch + (size_t)bx * p.bytesPerPixel, rowBytes) != 0)
      return false;
  return true;
}

struct sImport {
  int columns, rows;
  int tileWidth, tileHeight;
  int accuracy;   // 1..100
  int maxDiff;     // differing pixels two matching blocks may have
  sTileRecord** grid;
};

// The first block of each group of identical blocks, in row order, and each block's group.
void GroupIdenticalBlocks(const sPixels& p, const sImport& job, std::vector<sTileRecord*>* firsts,
                          std::vector<int>* groupOf) {
  std::unordered_map<Uint64, std::vector<int>> byHash;
  byHash.reserve((size_t)job.rows * job.columns);
  groupOf->reserve((size_t)job.rows * job.columns);
  for (int row = 0; row < job.rows; ++row)
    for (int column = 0; column < job.columns; ++column) {
      sTileRecord* block = &job.grid[row][column];
      std::vector<int>& candidates = byHash[BlockHash(p, block->x, block->y, job.tileWidth, job.tileHeight)];
      int group = -1;
      for (int candidate : candidates) {
        const sTileRecord* first = (*firsts)[candidate];
        if (SameBlock(p, first->x, first->y, block->x, block->y, job.tileWidth, job.tileHeight)) {
          group = candidate;
          break;
        }
      }
      if (group < 0) {
        group = (int)firsts->size();
        firsts->push_back(block);
        candidates.push_back(group);
      }
      groupOf->push_back(group);
    }
}

// Numbers the groups: each undecided one in row order is compared with itself (empty or a new
// distinct tile) and, when the tolerance allows differences, with every later undecided one, which
// takes its number (1) or becomes empty (2). Returns the count of distinct tiles.
int NumberGroups(const sPixels& p, const sImport& job, const std::vector<sTileRecord*>& firsts) {
  int count = 0;
  for (size_t at = 0; at < firsts.size(); ++at) {
    sTileRecord* block = firsts[at];
    if (block->tile != -1) continue;
    int self = CompareBlocks(p, block->x, block->y, block->x, block->y, job.tileWidth, job.tileHeight, job.maxDiff);
    block->tile = self == 1 ? ++count : 0;
    if (job.maxDiff == 0) continue;   // different groups never match without a tolerance
    for (size_t later = at + 1; later < firsts.size(); ++later) {
      sTileRecord* other = firsts[later];
      if (other->tile != -1) continue;
      int match = CompareBlocks(p, block->x, block->y, other->x, other->y, job.tileWidth, job.tileHeight, job.maxDiff);
      if (match == 1) other->tile = block->tile;
      else if (match == 2) other->tile = 0;
    }
  }
  return count;
}

int MatchBlocks(const sPixels& p, const sImport& job) {
  for (int row = 0; row < job.rows; ++row)
    for (int column = 0; column < job.columns; ++column)
      job.grid[row][column] = {-1, column * job.tileWidth, row * job.tileHeight};
  std::vector<sTileRecord*> firsts;
  std::vector<int> groupOf;
  GroupIdenticalBlocks(p, job, &firsts, &groupOf);
  int count = NumberGroups(p, job, firsts);
  size_t index = 0;
  for (int row = 0; row < job.rows; ++row)
    for (int column = 0; column < job.columns; ++column) job.grid[row][column].tile = firsts[groupOf[index++]]->tile;
  return count;
}

// ---------------------------------------------------------------------------------------------------
// The tileset

struct sTilesetShape {
  int width, height;
  int perRow;
};

// At most 1024 pixels wide, but at least one tile per row however wide the tiles are.
sTilesetShape ShapeFor(int count, int tileWidth, int tileHeight, long long* wantedWidth, long long* wantedHeight) {
  long long width = std::max(std::min((long long)count * tileWidth, (long long)kTilesetMaxWidth), (long long)tileWidth);
  int rowLimit = std::max(kTilesetMaxWidth / tileWidth, 1);
  long long height = (long long)tileHeight * (count / rowLimit + 1);
  *wantedWidth = width;
  *wantedHeight = height;
  sTilesetShape shape = {(int)std::min(width, (long long)INT_MAX), (int)std::min(height, (long long)INT_MAX), 0};
  shape.perRow = (int)(width / tileWidth);
  return shape;
}

// Copies the last block of each distinct tile into its place, the picture's pixels as they are.
void CopyDistinctTiles(SDL_Surface* picture, const sImport& job, int count, const sTilesetShape& shape,
                       SDL_Surface* tileset) {
  std::vector<const sTileRecord*> last((size_t)count + 1, NULL);
  for (int row = 0; row < job.rows; ++row)
    for (int column = 0; column < job.columns; ++column)
      if (job.grid[row][column].tile > 0) last[job.grid[row][column].tile] = &job.grid[row][column];
  sBlending saved = SwitchOffBlending(picture);
  for (int n = 1; n <= count; ++n) {
    SDL_Rect from = {(Sint16)last[n]->x, (Sint16)last[n]->y, (Uint16)job.tileWidth, (Uint16)job.tileHeight};
    SDL_Rect to = {(Sint16)((n - 1) % shape.perRow * job.tileWidth), (Sint16)((n - 1) / shape.perRow * job.tileHeight),
                   0, 0};
    SDL_BlitSurface(picture, &from, tileset, &to);
  }
  RestoreBlending(picture, saved);
}

// The colour of a key pixel of the picture, as a blit into the tileset's format makes it (so the key
// matches the copied pixels exactly, whatever the picture's depth).
bool KeyColour(SDL_Surface* picture, Uint32 key, const SDL_PixelFormat* tilesetFormat, SDL_Color* colour) {
  const SDL_PixelFormat* f = picture->format;
  SurfaceHolder one(SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask));
  SurfaceHolder converted(SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, tilesetFormat->Rmask, tilesetFormat->Gmask,
                                               tilesetFormat->Bmask, tilesetFormat->Amask));
  if (!one || !converted) return false;
  if (f->palette) SDL_SetColors(one.get(), f->palette->colors, 0, f->palette->ncolors);
  SDL_SetAlpha(one.get(), 0, 255);
  switch (f->BytesPerPixel) {
    case 1: *static_cast<Uint8*>(one->pixels) = (Uint8)key; break;
    case 2: *static_cast<Uint16*>(one->pixels) = (Uint16)key; break;
    default: *static_cast<Uint32*>(one->pixels) = key; break;
  }
  if (SDL_BlitSurface(one.get(), NULL, converted.get(), NULL) < 0) return false;
  SDL_GetRGB(*static_cast<Uint32*>(converted->pixels), converted->format, &colour->r, &colour->g, &colour->b);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Checks

void LogRefusal(cQBTE_TileEngine* engine, int layer, const char* why) {
  ILogSystem.Msg(InfoLevel(engine), " [QBTE] Error: the surface can not be imported in to layer ID '%d' (%s).\n", layer,
                 why);
}

int CheckImportTarget(cQBTE_TileEngine* engine, int layer, int tileWidth, int tileHeight) {
  const char* why = NULL;
  if (!Initialised(engine)) why = "the engine was not initialized";
  else if (!engine->GetLayer(layer)) why = "no such layer";
  else if (engine->GetLayer(layer)->mapData) why = "the layer already has a mapdata";
  else if (tileWidth <= 0 || tileHeight <= 0) why = "tile sizes must be above 0";
  if (!why) return 1;
  LogRefusal(engine, layer, why);
  return -1;
}

int CheckPicture(cQBTE_TileEngine* engine, int layer, const SDL_Surface* picture, int tileWidth, int tileHeight) {
  const SDL_PixelFormat* f = picture->format;
  int bytes = f->BytesPerPixel;
  if ((bytes != 1 && bytes != 2 && bytes != 4) || f->BitsPerPixel < 8) {
    LogRefusal(engine, layer, "only pictures of 8, 15, 16 and 32 bits per pixel can be imported");
    return -2;
  }
  if (picture->w % tileWidth != 0) {
    LogRefusal(engine, layer, "the picture width is not a multiple of the tile width");
    return -3;
  }
  if (picture->h % tileHeight != 0) {
    LogRefusal(engine, layer, "the picture height is not a multiple of the tile height");
    return -4;
  }
  if (!picture->pixels && !(picture->flags & SDL_RLEACCEL)) {
    LogRefusal(engine, layer, "the picture has no pixels");
    return -2;
  }
  // Blocks are copied with SDL rectangles, whose positions are signed 16-bit.
  if ((long long)picture->w * bytes > picture->pitch || picture->w > QBTE_MAX_SURFACE_SIDE ||
      picture->h > QBTE_MAX_SURFACE_SIDE || picture->w < 1) {
    LogRefusal(engine, layer, "the picture is larger than SDL surfaces can be");
    return -7;
  }
  if (!QBTE_MapSizeAllowed(picture->h / tileHeight, picture->w / tileWidth)) {
    LogRefusal(engine, layer, "the map would be larger than the engine holds");
    return -7;
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Steps of an import after its checks

// Makes the tileset from the matched blocks and registers it; the code -7 or -8 when refused.
int RegisterTileset(cQBTE_TileEngine* engine, int layer, SDL_Surface* picture, const sImport& job, int count,
                    int colorKey, int* firstGid) {
  long long wantedWidth = 0, wantedHeight = 0;
  sTilesetShape shape = ShapeFor(count, job.tileWidth, job.tileHeight, &wantedWidth, &wantedHeight);
  if (!FitsSDLSurface(wantedWidth, wantedHeight, 4)) {
    LogRefusal(engine, layer, "the tileset would be larger than SDL surfaces can be");
    return -7;
  }
  bool perPixel = PerPixelAlpha(picture);
  SurfaceHolder surface(NewSurface32(shape.width, shape.height, perPixel));
  if (!surface) {
    LogRefusal(engine, layer, "there is no memory for the tileset");
    return -8;
  }
  SDL_FillRect(surface.get(), NULL, 0);
  CopyDistinctTiles(picture, job, count, shape, surface.get());
  ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Info: here!\n");
  SDL_Color key = {0, 0, 0, 0};
  bool keyed = colorKey != -1 && KeyColour(picture, (Uint32)colorKey, surface->format, &key);

  char name[32];
  snprintf(name, sizeof name, "TS-ImportedImage-Layer%d", layer);
  Yandorix_CTile* tile = new (std::nothrow) Yandorix_CTile;
  if (!tile || !tile->Create(surface.get(), name) || !tile->SetTileSet(1, job.tileWidth, job.tileHeight)) {
    delete tile;
    LogRefusal(engine, layer, "the tileset could not be created");
    return -8;
  }
  if (keyed) tile->SetColorKey(key.r, key.g, key.b);
  int gid = engine->AddTileset(tile, -1);
  if (gid < 0) {
    delete tile;
    LogRefusal(engine, layer, "the engine refused the new tileset");
    return -8;
  }
  engine->GetTilesetAt(engine->FindTileset((Uint32)gid))->resourceControl = 2;
  *firstGid = gid;
  return 1;
}

void FillMap(cQBTE_MapBase* map, const sImport& job, int firstGid) {
  for (int row = 0; row < job.rows; ++row)
    for (int column = 0; column < job.columns; ++column) {
      int number = job.grid[row][column].tile;
      map->SetCell(column, row, number > 0 ? firstGid + number - 1 : 0);
    }
}

int AttachImportedMap(cQBTE_TileEngine* engine, int layer, cQBTE_MapBase* map, int firstGid) {
  if (!engine->SetLayerMapData(layer, map)) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: it was not possible to import the surface.\n\n");
    // The engine lists the tileset until it is unloaded, which also deletes its tile.
    engine->UnloadTileset((Uint32)firstGid);
    delete map;
    return 0;
  }
  char name[32];
  snprintf(name, sizeof name, "ImportedImage-Layer%d", layer);
  engine->SetLayerName(layer, name);
  sQBTE_Layer* record = engine->GetLayer(layer);
  record->resourceControl = 2;
  record->alpha = 255;
  ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Info: surface successfully imported.\n\n");
  return 1;
}

// Matching, tileset and map for a checked picture; the picture is locked only while it is compared.
int ImportChecked(cQBTE_TileEngine* engine, int layer, SDL_Surface* picture, sImport* job, int colorKey) {
  std::unique_ptr<cQBTE_MapBase> map(new (std::nothrow) cQBTE_MapBase(job->rows, job->columns));
  job->grid = Alloc2DRecords(job->rows, job->columns);
  std::unique_ptr<sTileRecord*, void (*)(sTileRecord**)> gridHolder(job->grid, Free2DRecords);
  if (!map || !map->HasCells() || !job->grid) {
    LogRefusal(engine, layer, "there is no memory for the map");
    return -8;
  }
  map->SetCellWidth(job->tileWidth);
  map->SetCellHeight(job->tileHeight);
  ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Info: using an accuracy of %%%d on tile matching (max pixels deviation %d).\n",
                 job->accuracy, job->maxDiff);
  if (SDL_LockSurface(picture) < 0) {
    LogRefusal(engine, layer, "the picture could not be locked");
    return -2;
  }
  int count = MatchBlocks(PixelsOf(picture, colorKey), *job);
  SDL_UnlockSurface(picture);
  int cells = job->rows * job->columns;
  if (count == 0) {
    ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Error: failed to convert the surface to a tileset(%d).\n", -5);
    return -5;
  }
  ILogSystem.Msg(engine->GetInfoLevel(), " [QBTE] Info: found %d unique tiles from a total of %d(%%%d compression).\n",
                 count, cells, 100 - (int)((long long)count * 100 / cells));
  int firstGid = 0;
  int registered = RegisterTileset(engine, layer, picture, *job, count, colorKey, &firstGid);
  if (registered != 1) return registered;
  FillMap(map.get(), *job, firstGid);
  return AttachImportedMap(engine, layer, map.release(), firstGid);
}

}  // namespace

int CompareTileBlocks(const SDL_Rect* blockA, const SDL_Rect* blockB, SDL_Surface* picture, int maxDiff, int width,
                      int height, int colorKey) {
  if (!blockA || !blockB || !picture || width < 0 || height < 0) return 0;
  int bytes = picture->format->BytesPerPixel;
  if ((bytes != 1 && bytes != 2 && bytes != 4) || picture->format->BitsPerPixel < 8) return 0;
  if ((long long)picture->w * bytes > picture->pitch) return 0;
  if (!InsidePicture(blockA, picture, width, height) || !InsidePicture(blockB, picture, width, height)) return 0;
  if (SDL_LockSurface(picture) < 0) return 0;
  int result = CompareBlocks(PixelsOf(picture, colorKey), blockA->x, blockA->y, blockB->x, blockB->y, width, height,
                             std::max(maxDiff, 0));
  SDL_UnlockSurface(picture);
  return result;
}

int ImportSurfaceToLayer(cQBTE_TileEngine* engine, int layer, SDL_Surface* picture, int tileWidth, int tileHeight,
                         int accuracy, int colorKey) {
  int checked = CheckImportTarget(engine, layer, tileWidth, tileHeight);
  if (checked != 1) return checked;
  if (!picture) {
    LogRefusal(engine, layer, "no surface was given");
    return -2;
  }
  // A texture's pixels are read from a display-format copy.
  SurfaceHolder displayCopy;
  if (Yandorix.IsTexture(picture)) {
    displayCopy.reset(PerPixelAlpha(picture) ? SDL_DisplayFormatAlpha(picture) : SDL_DisplayFormat(picture));
    if (!displayCopy) {
      LogRefusal(engine, layer, "the texture could not be read back");
      return -8;
    }
    picture = displayCopy.get();
  }
  checked = CheckPicture(engine, layer, picture, tileWidth, tileHeight);
  if (checked != 1) return checked;
  if (PerPixelAlpha(picture)) colorKey = -1;
  accuracy = std::min(std::max(accuracy, 1), 100);
  ILogSystem.Msg(engine->GetInfoLevel(), "\n [QBTE] Info: trying to import a %dx%d surface using %dx%d tiles in to layer "
                 "ID '%d'.\n", picture->w, picture->h, tileWidth, tileHeight, layer);
  sImport job;
  job.columns = picture->w / tileWidth;
  job.rows = picture->h / tileHeight;
  job.tileWidth = tileWidth;
  job.tileHeight = tileHeight;
  job.accuracy = accuracy;
  job.maxDiff = (int)((long long)tileWidth * tileHeight * (100 - accuracy) / 100);
  job.grid = NULL;
  return ImportChecked(engine, layer, picture, &job, colorKey);
}

// ---------------------------------------------------------------------------------------------------

namespace {

// A 24-bit picture as 32 bits with the same colour masks, so its pixel values (and a key given for
// them) stay the same; NULL when out of memory.
SDL_Surface* WidenedTo32(SDL_Surface* picture) {
  const SDL_PixelFormat* f = picture->format;
  SDL_Surface* wide = SDL_CreateRGBSurface(SDL_SWSURFACE, picture->w, picture->h, 32, f->Rmask, f->Gmask, f->Bmask, 0);
  if (!wide) return NULL;
  sBlending saved = SwitchOffBlending(picture);
  SDL_BlitSurface(picture, NULL, wide, NULL);
  RestoreBlending(picture, saved);
  return wide;
}

}  // namespace

int ImportImageToLayer(cQBTE_TileEngine* engine, int layer, const char* file, int tileWidth, int tileHeight,
                       int accuracy, int colorKey) {
  if (!file) {
    LogRefusal(engine, layer, "no file name was given");
    return -1;
  }
  SurfaceHolder picture;
  if (IImage && IImage->isBMP(file) == 1) picture.reset(IImage->LoadBMP(file));
  else if (IImage && IImage->isPNG(file) == 1) picture.reset(IImage->LoadPNG(file));
  if (picture && picture->format->BytesPerPixel == 3) picture.reset(WidenedTo32(picture.get()));
  if (!picture) {
    ILogSystem.Msg(InfoLevel(engine), "\n [QBTE] Error: can not load '%s' file image in to layer ID '%d'\n", file, layer);
    return -6;
  }
  return ImportSurfaceToLayer(engine, layer, picture.get(), tileWidth, tileHeight, accuracy, colorKey);
}
