// Maps of the tile engine: the abstract map and the built-in "base" map with its cell grid, its
// drawing of one tile per cell and its CSV and base64 (optionally compressed) forms in XML elements.
// A map read from a file changes only when the whole read succeeded.
#include "QBTE_MapData.h"
#include "QBTE_MapDecode.h"
#include "QBTE_Shared.h"
#include "QBTE_TileEngine.h"
#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include <new>

namespace {

const int kMapLogLevel = 2;

bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One CSV field as the runtime's strtoul with base 0 reads it on a 32-bit system: optional sign,
// 0x/0X hexadecimal, leading 0 octal, else decimal; overflow gives 0xFFFFFFFF. The rest of the
// field is passed over.
Uint32 ReadField(const char** at) {
  const char* p = *at;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isxdigit((unsigned char)p[2])) {
    base = 16;
    p += 2;
  } else if (p[0] == '0') {
    base = 8;
  }
  Uint64 value = 0;
  bool overflow = false;
  for (;; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') digit = (unsigned)(*p - '0');
    else if (*p >= 'a' && *p <= 'f') digit = (unsigned)(*p - 'a' + 10);
    else if (*p >= 'A' && *p <= 'F') digit = (unsigned)(*p - 'A' + 10);
    else break;
    if (digit >= base) break;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) {
      overflow = true;
      value = 0xFFFFFFFFull;
    }
  }
  while (*p && !IsSeparator(*p)) ++p;
  *at = p;
  if (overflow) return 0xFFFFFFFFu;
  return negative ? (Uint32)(0u - (Uint32)value) : (Uint32)value;
}

char* AppendUnsigned(char* to, Uint32 value) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  while (count) *to++ = digits[--count];
  return to;
}

#if SDL_BYTEORDER != SDL_LIL_ENDIAN
Sint32 ReadLittleEndian(const unsigned char* at) {
  return (Sint32)((Uint32)at[0] | (Uint32)at[1] << 8 | (Uint32)at[2] << 16 | (Uint32)at[3] << 24);
}
#endif

}  // namespace

int QBTE_MapSizeAllowed(long long rows, long long columns) {
  return rows >= 1 && columns >= 1 && rows <= QBTE_MAX_MAP_SIDE && columns <= QBTE_MAX_MAP_SIDE &&
         rows * columns <= QBTE_MAX_MAP_CELLS;
}

int QBTE_MapDrawable(const cQBTE_MapData* map) {
  if (!map) return 0;
  int cw = map->GetCellWidth(), ch = map->GetCellHeight(), w = map->GetWidth(), h = map->GetHeight();
  return cw >= 1 && ch >= 1 && cw <= QBTE_MAX_CELL_SIZE && ch <= QBTE_MAX_CELL_SIZE && w >= 1 && h >= 1 &&
         w <= QBTE_MAX_MAP_SIDE && h <= QBTE_MAX_MAP_SIDE;
}

static void LogSizeRefused(long long rows, long long columns) {
  ILogSystem.Msg(kMapLogLevel,
                 " [QBTE] Error: a map of %lldx%lld cells is beyond the engine's limits (%d cells per side, %d cells "
                 "in all).\n", columns, rows, QBTE_MAX_MAP_SIDE, QBTE_MAX_MAP_CELLS);
}

// ---------------------------------------------------------------------------------------------------
// The abstract map

cQBTE_MapData::cQBTE_MapData() : cellWidth(0), cellHeight(0), width(0), height(0) { SetType("empty"); }

cQBTE_MapData::~cQBTE_MapData() {
  cellWidth = cellHeight = width = height = 0;
  type[0] = '\0';
}

void cQBTE_MapData::SetType(const char* name) { CopyBounded(type, name, (int)sizeof type); }

// ---------------------------------------------------------------------------------------------------
// The base map: construction and cells

cQBTE_MapBase::cQBTE_MapBase() : cells(NULL) { SetType("base"); }

cQBTE_MapBase::cQBTE_MapBase(int rows, int columns) : cells(NULL) {
  SetType("base");
  if (rows <= 0 || columns <= 0) return;
  if (!QBTE_MapSizeAllowed(rows, columns)) {
    LogSizeRefused(rows, columns);
    return;
  }
  if (Sint32** table = Alloc2D(rows, columns)) {
    memset(table[0], 0, (size_t)rows * (size_t)columns * sizeof(Sint32));
    AdoptCells(table, rows, columns);
  }
}

cQBTE_MapBase::~cQBTE_MapBase() { FreeCells(); }

cQBTE_MapData* CreateMapBase(int rows, int columns) { return new (std::nothrow) cQBTE_MapBase(rows, columns); }

Sint32** cQBTE_MapBase::Alloc2D(int rows, int columns) {
  if (rows < 0 || columns < 0) return NULL;
  // The block hangs from the first row pointer even for an empty map, so Free2D always finds it.
  Sint32** table = new (std::nothrow) Sint32*[rows > 0 ? rows : 1];
  if (!table) return NULL;
  size_t count = (size_t)rows * (size_t)columns;
  Sint32* block = new (std::nothrow) Sint32[count > 0 ? count : 1];
  if (!block) {
    delete[] table;
    return NULL;
  }
  table[0] = block;
  for (int row = 1; row < rows; ++row) table[row] = block + (size_t)row * (size_t)columns;
  return table;
}

void cQBTE_MapBase::Free2D(Sint32** table) {
  if (!table) return;
  delete[] table[0];
  delete[] table;
}

void cQBTE_MapBase::AdoptCells(Sint32** table, int rows, int columns) {
  if (table != cells) Free2D(cells);
  cells = table;
  height = rows;
  width = columns;
}

int cQBTE_MapBase::CreateCells(int rows, int columns, short value) {
  if (cells) return 0;
  if (rows < 0 || columns < 0 || rows > QBTE_MAX_MAP_SIDE || columns > QBTE_MAX_MAP_SIDE ||
      (long long)rows * columns > QBTE_MAX_MAP_CELLS) {
    LogSizeRefused(rows, columns);
    return 0;
  }
  Sint32** table = Alloc2D(rows, columns);
  if (!table) return 0;
  AdoptCells(table, rows, columns);
  if (rows && columns) {
    Sint32 fill = value < 0 ? 0 : value;
    Sint32* block = cells[0];
    for (size_t i = 0, count = (size_t)rows * (size_t)columns; i < count; ++i) block[i] = fill;
  }
  return 1;
}

int cQBTE_MapBase::FillCells(int row, int column, short value) {
  if (!cells || width == 0 || height == 0) return 0;
  // Below -1 counts as every row (column); beyond the map as one past its end, which matches nothing.
  row = row < -1 ? -1 : (row > height ? height : row);
  column = column < -1 ? -1 : (column > width ? width : column);
  Sint32 fill = value < 0 ? 0 : value;
  for (int r = 0; r < height; ++r) {
    if (row != -1 && row != r) continue;
    for (int c = 0; c < width; ++c)
      if (column == -1 || column == c) cells[r][c] = fill;
  }
  return 1;
}

int cQBTE_MapBase::CopyCellsTo(cQBTE_MapBase* other) {
  if (!cells || width == 0 || height == 0 || !other) return 0;
  if (other == this) return 1;
  if (other->cells && (other->width != width || other->height != height)) return 0;
  if (!other->cells) {
    Sint32** table = Alloc2D(height, width);
    if (!table) return 0;
    other->AdoptCells(table, height, width);
  }
  memcpy(other->cells[0], cells[0], (size_t)width * (size_t)height * sizeof(Sint32));
  other->cellWidth = cellWidth;
  other->cellHeight = cellHeight;
  return 1;
}

int cQBTE_MapBase::FreeCells() {
  if (!cells) return 0;
  Free2D(cells);
  cells = NULL;
  width = height = 0;
  return 1;
}

Sint32 cQBTE_MapBase::GetCell(int column, int row) const {
  if (!cells || column < 0 || row < 0 || column >= width || row >= height) return 0;
  return cells[row][column];
}

int cQBTE_MapBase::SetCell(int column, int row, Sint32 value) {
  if (!cells || column < 0 || row < 0 || column >= width || row >= height) return 0;
  cells[row][column] = value;
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// The base map: what the engine calls

int cQBTE_MapBase::IsReady() {
  // A derived class that keeps this slot answers for itself by its type name.
  if (strcmp(type, "base") != 0) return 1;
  return cells && QBTE_MapDrawable(this);
}

int cQBTE_MapBase::Info(char ready, char level) {
  if (!cells) return 0;
  ILogSystem.Msg(level, "         . Map type 'base' - Map size %dx%d - Cell size %dx%d", width, height, cellWidth,
                 cellHeight);
  if ((unsigned char)ready & 0x80)
    ILogSystem.Msg(level, "\n");
  else
    ILogSystem.Msg(level, " - Tilesets ready: %s\n", ready ? "yes" : "no");
  return 1;
}

int cQBTE_MapBase::UpdateCell(int column, int row, cQBTE_TileEngine*, int, int) {
  return cells && column >= 0 && row >= 0 && column < width && row < height;
}

int cQBTE_MapBase::DrawCell(int column, int row, int x, int y, cQBTE_TileEngine* engine, int alpha) {
  if (!cells || !engine || column < 0 || row < 0 || column >= width || row >= height) return 0;
  SDL_Surface* target = engine->GetRenderTarget();
  if (!target) return 0;   // the tile would otherwise draw on the screen
  Uint32 value = (Uint32)cells[row][column];
  if (value == 0) return 1;
  sQBTE_Tileset* tileset = engine->GetTilesetAt(engine->FindTileset(value));
  if (!tileset) return 1;
  Yandorix_CTile* tile = tileset->tile;
  int tileHeight = 0;
  tile->GetOffset(NULL, &tileHeight);
  int ownAlpha = -1;
  if (alpha != 255 && !engine->HoldTileAlpha(tile, alpha)) {
    int current = tile->GetAlpha();
    if (current != 256 && current != alpha) {
      ownAlpha = current;
      tile->SetAlpha(alpha);
    }
  }
  tile->SetPosition(x, y + cellHeight - tileHeight);   // tiles stand on the bottom of their cell
  Uint32 number = (value & 0x1FFFFFFFu) - tileset->firstGid + 1;
  tile->Draw(target, (int)(number | (value & 0xE0000000u)));
  if (ownAlpha >= 0) tile->SetAlpha(ownAlpha);
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// The base map: XML forms

std::string cQBTE_MapBase::CellsToCSV() const {
  std::string text;
  if (!cells || width <= 0 || height <= 0) return text;
  size_t count = (size_t)width * (size_t)height;
  text.resize(count * 11 + (size_t)height);   // ten digits and a separator per value, a blank per row
  char* to = &text[0];
  for (int row = 0; row < height; ++row) {
    const Sint32* values = cells[row];
    for (int column = 0; column < width; ++column) {
      to = AppendUnsigned(to, (Uint32)values[column]);
      if (row != height - 1 || column != width - 1) *to++ = ',';
    }
    *to++ = ' ';
  }
  text.resize((size_t)(to - &text[0]));
  return text;
}

int cQBTE_MapBase::SaveXML(int xml, int mode) {
  if (!Yandorix.XMLNodeCreate(xml, mode == 1 ? "data" : "mapdata")) return 0;
  if (mode == 1) {
    Yandorix.XMLAttributeSet(xml, "encoding", "csv");
  } else {
    Yandorix.XMLAttributeSet(xml, "type", "base");
    Yandorix.XMLAttributeSet(xml, "width", width);
    Yandorix.XMLAttributeSet(xml, "height", height);
    Yandorix.XMLAttributeSet(xml, "cellwidth", cellWidth);
    Yandorix.XMLAttributeSet(xml, "cellheight", cellHeight);
  }
  Yandorix.XMLTextSet(xml, CellsToCSV().c_str());
  Yandorix.XMLNodeParent(xml);
  return 1;
}

static void LogShortCSV() {
  ILogSystem.Msg(kMapLogLevel, " [QBTE] Warning: 2D integer array is bigger than CSV input data\n");
}

Sint32** cQBTE_MapBase::ReadCSV(const char* text, int rows, int columns) {
  const char* at = text ? text : "";
  size_t total = (size_t)rows * (size_t)columns, count = 0;
  // Each value takes a character and all but the last a separator: a text too short for that is
  // refused before a large map is allocated for it.
  if (total > 0 && strlen(at) < 2 * total - 1) {
    LogShortCSV();
    return NULL;
  }
  Sint32** table = Alloc2D(rows, columns);
  if (!table) return NULL;
  Sint32* values = table[0];
  while (count < total) {
    while (IsSeparator(*at)) ++at;
    if (!*at) break;
    values[count++] = (Sint32)ReadField(&at);
  }
  if (count < total) {
    LogShortCSV();
    Free2D(table);
    return NULL;
  }
  return table;
}

int cQBTE_MapBase::LoadCellsFromCSV(const char* text) {
  if (!cells) return 0;
  Sint32** table = ReadCSV(text, height, width);
  if (!table) return 0;
  AdoptCells(table, height, width);
  return IsReady();
}

int cQBTE_MapBase::LoadCellsFromBinary(const unsigned char* bytes, size_t length) {
  if (!cells || !bytes) return 0;
  size_t count = (size_t)width * (size_t)height;
  if (length < count * 4) {
    ILogSystem.Msg(kMapLogLevel,
                   " [QBTE] Warning: base64 input data is shorter than the 2D integer array (%lu of %lu bytes)\n",
                   (unsigned long)length, (unsigned long)(count * 4));
    return 0;
  }
  Sint32* values = cells[0];
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
  memcpy(values, bytes, count * 4);
#else
  for (size_t i = 0; i < count; ++i) values[i] = ReadLittleEndian(bytes + i * 4);
#endif
  return IsReady();
}

int cQBTE_MapBase::LoadCellsFromBinary(const unsigned char* bytes) {
  return LoadCellsFromBinary(bytes, (size_t)width * (size_t)height * 4);
}

int cQBTE_MapBase::LoadXML(int xml, int mode) { return mode == 1 ? LoadTMXElement(xml) : LoadLevelElement(xml); }

int cQBTE_MapBase::LoadLevelElement(int xml) {
  int columns = 0, rows = 0, newCellWidth = 0, newCellHeight = 0;
  if (!Yandorix.XMLAttributeGet(xml, "width", &columns) || !Yandorix.XMLAttributeGet(xml, "height", &rows) ||
      !Yandorix.XMLAttributeGet(xml, "cellwidth", &newCellWidth) ||
      !Yandorix.XMLAttributeGet(xml, "cellheight", &newCellHeight))
    return 0;
  if (columns <= 0 || rows <= 0 || newCellWidth <= 0 || newCellHeight <= 0) return 0;
  const char* text = Yandorix.XMLTextGet(xml);
  if (!text) return 0;
  if (!QBTE_MapSizeAllowed(rows, columns)) {
    LogSizeRefused(rows, columns);
    return 0;
  }
  if (newCellWidth > QBTE_MAX_CELL_SIZE || newCellHeight > QBTE_MAX_CELL_SIZE) {
    ILogSystem.Msg(kMapLogLevel, " [QBTE] Error: cells of %dx%d pixels are beyond the engine's limit (%d pixels a side).\n",
                   newCellWidth, newCellHeight, QBTE_MAX_CELL_SIZE);
    return 0;
  }
  if (cells && (columns != width || rows != height)) {
    ILogSystem.Msg(kMapLogLevel, " [QBTE] Warning: mapdata of %dx%d cells does not fit a map of %dx%d cells\n",
                   columns, rows, width, height);
    return 0;
  }
  Sint32** table = ReadCSV(text, rows, columns);
  if (!table) return 0;
  AdoptCells(table, rows, columns);
  cellWidth = newCellWidth;
  cellHeight = newCellHeight;
  return IsReady();
}

int cQBTE_MapBase::LoadTMXElement(int xml) {
  const char* encoding = NULL;
  if (!Yandorix.XMLAttributeGet(xml, "encoding", &encoding) || !encoding) return 0;
  const char* text = Yandorix.XMLTextGet(xml);
  if (!text) return 0;
  if (!cells) {
    ILogSystem.Msg(kMapLogLevel, " [QBTE] Warning: TMX data can not be read into a map without cells\n");
    return 0;
  }
  if (strcmp(encoding, "csv") == 0) return LoadCellsFromCSV(text);
  if (strcmp(encoding, "base64") == 0) return LoadBase64(xml, text);
  return 0;
}

int cQBTE_MapBase::LoadBase64(int xml, const char* text) {
  std::string bytes = Base64Decode(text);
  const char* compression = NULL;
  if (!Yandorix.XMLAttributeGet(xml, "compression", &compression) || !compression)
    return LoadCellsFromBinary(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  size_t inflated = 0;
  unsigned char* buffer = InflateBuffer(bytes, width * height * 4, &inflated);
  if (!buffer) {
    ILogSystem.Msg(kMapLogLevel,
                   " [QBTE] Warning: base64 input data is compressed using '%s' which is not a supported format\n",
                   compression);
    return 0;
  }
  int result = LoadCellsFromBinary(buffer, inflated);
  free(buffer);
  return result;
}
