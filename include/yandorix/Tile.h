// Tiles: one named image with a position, surface alpha and colour key, drawn through the blit rule
// that keeps the software cursor intact. In tileset mode the image is a grid of equal tiles drawn by
// 1-based id, whose top three bits ask for a flip, mirror or rotation. Stored as "TILE2"/"TILB2" blocks.
#ifndef YANDORIX_TILE_H
#define YANDORIX_TILE_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_CTile {
 public:
  Yandorix_CTile();
  ~Yandorix_CTile();
  // Frees the surface and returns to the empty state; the tile can be created again.
  void Clean();

  // 1 when created, 0 otherwise (the log says why). The surface is copied; the file (BMP or PNG) is
  // loaded with automatic conversion suspended. Names hold at most 31 characters.
  int Create(SDL_Surface* surface, const char* name);
  int Create(const char* file, const char* name);

  // Archive blocks: type "TILE"/"TILB" or any type beginning with those four letters; the versioned
  // type ("TILE2") is looked up first and an older block is upgraded where the archive allows it.
  int Load(int handle, const char* name, const char* type);
  int Load(const char* file, const char* name, const char* type);
  // The archive's stored size of the new block under the tile's name; -1 when it exists; 0 on failure.
  // The type is stored as given: "TILE2" for map tiles, "TILB2" for the tiles of buttons.
  int Save(int handle, const char* type);
  int Save(const char* file, const char* type);

  // Draws at the tile's position (dest NULL: the screen). Ids: the low 29 bits select the tile in
  // tileset mode, the top three bits the transform. 1 once a draw was tried, 0 when refused.
  int Draw(SDL_Surface* dest, int id);
  // Tileset mode on (sizes below 1 become 1; returns 1) or off (returns 0); 0 on an empty tile.
  int SetTileSet(int enable, int tilew, int tileh);
  // Tile size in tileset mode, else the image size; returns the tileset flag (0 on an empty tile).
  int GetOffset(int* w, int* h) const;

  void SetPosition(int x, int y);
  int GetPosX() const;
  int GetPosY() const;
  int GetSizeX() const;
  int GetSizeY() const;
  SDL_Surface* GetSurface() const;
  char* GetName() const;            // NULL on an empty tile
  void SetName(const char* name);   // names of 32 characters or more are ignored

  int GetAlpha() const;       // 256 with per-pixel alpha; -1 on an empty tile
  int GetColorKey() const;    // a pixel value of the tile's surface; -1 none
  void SetAlpha(int alpha);   // 0..255; refused with per-pixel alpha
  void SetColorKey(int key);  // -1 removes the key
  void SetColorKey(int r, int g, int b);
  void Info() const;

 private:
  Yandorix_CTile(const Yandorix_CTile&) = delete;
  Yandorix_CTile& operator=(const Yandorix_CTile&) = delete;
  struct sTilePrivate* p;
};

#endif
