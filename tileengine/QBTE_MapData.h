// Maps of the tile engine: the abstract map a layer shows (cell size, size in cells, type name and
// the operations the engine calls per cell) and the built-in "base" map, a grid of global tile ids
// saved to and loaded from XML elements of the level and TMX files.
#ifndef QBTE_MAPDATA_H
#define QBTE_MAPDATA_H

#include <SDL.h>
#include <stddef.h>
#include <string>

class cQBTE_TileEngine;

// Largest map the engine accepts: each side at most 65535 cells, at most 16M cells in all, cells of at
// most 65535 pixels a side (so every pixel sum the renderer makes stays far inside an int).
enum { QBTE_MAX_MAP_SIDE = 65535, QBTE_MAX_MAP_CELLS = 16 * 1024 * 1024, QBTE_MAX_CELL_SIZE = 65535 };

// 1 when rows x columns is a map the engine can hold (both at least 1 and within the limits above).
int QBTE_MapSizeAllowed(long long rows, long long columns);

class cQBTE_MapData;
// 1 when a map of any type has sizes the engine can walk and draw: 1..65535 cells a side and cell
// sizes of 1..65535 pixels. Zero or negative sizes would divide by zero or loop without end.
int QBTE_MapDrawable(const cQBTE_MapData* map);

class cQBTE_MapData {
 public:
  cQBTE_MapData();
  virtual ~cQBTE_MapData();

  // Non-zero when the engine may attach the map.
  virtual int IsReady() = 0;
  // One log line on the map at `level`; `ready` with bit 7 set asks for the short form.
  virtual int Info(char ready, char level) = 0;
  // Called for every visible cell of a layer with UpdateCells on each update.
  virtual int UpdateCell(int column, int row, cQBTE_TileEngine* engine, int, int) = 0;
  // Draws the cell with its top left corner at (x, y) of the engine's render target.
  virtual int DrawCell(int column, int row, int x, int y, cQBTE_TileEngine* engine, int alpha) = 0;
  // Writes (mode 1: a TMX "data" element; otherwise a level "mapdata" element) or reads the map
  // under / at the pointed element of an XML handle of the main object.
  virtual int SaveXML(int xml, int mode) = 0;
  virtual int LoadXML(int xml, int mode) = 0;

  char* GetType() { return type; }
  const char* GetType() const { return type; }
  int GetCellWidth() const { return cellWidth; }
  void SetCellWidth(int width) { cellWidth = width; }
  int GetCellHeight() const { return cellHeight; }
  void SetCellHeight(int height) { cellHeight = height; }
  int GetWidth() const { return width; }
  int GetHeight() const { return height; }

 protected:
  void SetType(const char* name);

  int cellWidth;
  int cellHeight;
  int width;    // columns
  int height;   // rows
  char type[16];

 private:
  cQBTE_MapData(const cQBTE_MapData&) = delete;
  cQBTE_MapData& operator=(const cQBTE_MapData&) = delete;
};

// The built-in map: one signed 32-bit global tile id per cell (0 empty; low 29 bits the id, top 3
// bits a flip, mirror or rotation), each cell drawn as one tile standing on the bottom of its cell.
class cQBTE_MapBase : public cQBTE_MapData {
 public:
  cQBTE_MapBase();
  // A map of rows x columns empty cells; no cells when a size is below 1 or beyond the limits.
  cQBTE_MapBase(int rows, int columns);
  ~cQBTE_MapBase() override;

  int IsReady() override;
  int Info(char ready, char level) override;
  int UpdateCell(int column, int row, cQBTE_TileEngine* engine, int, int) override;
  int DrawCell(int column, int row, int x, int y, cQBTE_TileEngine* engine, int alpha) override;
  int SaveXML(int xml, int mode) override;
  int LoadXML(int xml, int mode) override;

  // Cells of a map that has none yet, filled with `value` (negative: 0). 0 when the map has cells or
  // the size is negative or beyond the limits (logged).
  int CreateCells(int rows, int columns, short value);
  // Sets a row (-1: every row) and a column (-1: every column) to `value` (negative: 0).
  int FillCells(int row, int column, short value);
  // Copies every cell and the cell size into `other`, which gets cells of this size when it has none.
  int CopyCellsTo(cQBTE_MapBase* other);
  int FreeCells();
  int HasCells() const { return cells != NULL; }

  // One cell; 0 outside the map.
  Sint32 GetCell(int column, int row) const;
  // 1 when set, 0 outside the map.
  int SetCell(int column, int row, Sint32 value);
  // The `width` cells of a row, NULL outside the map.
  const Sint32* GetRow(int row) const { return cells && row >= 0 && row < height ? cells[row] : NULL; }

  // The text of the saved cells: each value unsigned, a ',' after every value but the map's last,
  // one blank after every row.
  std::string CellsToCSV() const;
  // Reads values separated by commas and blanks (0x.. hexadecimal, 0.. octal, else decimal) row after
  // row into the cells; short input logs a warning and changes nothing. Ends with IsReady.
  int LoadCellsFromCSV(const char* text);
  // Reads width x height little-endian signed 32-bit values row after row; `length` must hold them
  // all. The one-argument form trusts the caller that `bytes` holds width x height x 4 bytes.
  int LoadCellsFromBinary(const unsigned char* bytes, size_t length);
  int LoadCellsFromBinary(const unsigned char* bytes);

 protected:
  // Row table and one block of rows x columns values (not initialised); NULL when memory runs out.
  static Sint32** Alloc2D(int rows, int columns);
  static void Free2D(Sint32** table);
  // Takes over `table` as the cells (the old ones are freed).
  void AdoptCells(Sint32** table, int rows, int columns);
  // New tables holding the read values; NULL (short input logged) when the input falls short.
  static Sint32** ReadCSV(const char* text, int rows, int columns);

  Sint32** cells;

 private:
  int LoadLevelElement(int xml);
  int LoadTMXElement(int xml);
  int LoadBase64(int xml, const char* text);
};

// The engine's built-in factory: a new "base" map of rows x columns.
cQBTE_MapData* CreateMapBase(int rows, int columns);

#endif
