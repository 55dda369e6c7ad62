// Layers as pictures: export of the drawn layers to a surface or an image file, and import of a
// picture into a layer with its tiles de-duplicated into a new tileset.
#ifndef QBTE_LAYERIMAGE_H
#define QBTE_LAYERIMAGE_H

#include <SDL.h>

class cQBTE_TileEngine;

// Largest surface SDL 1.2 can describe: its row length in bytes is 16 bits (16383 pixels at 32 bits)
// and rectangles place pixels with signed 16-bit coordinates (32767 rows or columns).
enum { QBTE_MAX_SURFACE_PITCH = 65535, QBTE_MAX_SURFACE_SIDE = 32767 };

// Draws one layer, or every layer stacked (negative layer), into a new 32-bit surface the size of the
// first qualifying layer's map. A layer qualifies when it is ready, has a map, has Render and an alpha
// above 0. *out must be NULL on entry; the caller frees the result.
//   1  drawn, *out the new surface
//   0  no layer qualified (*out stays NULL)
//  -1  engine NULL or not initialised
//  -2  layer beyond the layer slots
//  -3  out NULL, or *out not NULL on entry
//  -4  a qualifying layer's picture would be wider than 16383 or taller than 32767 pixels, or SDL
//      could not make the surface (out of memory); nothing is drawn
int ExportLayersToSurface(cQBTE_TileEngine* engine, int layer, SDL_Surface** out);

// Writes what ExportLayersToSurface draws as a BMP or PNG file (by the name's ending), replacing a
// file of that name only once the new one is complete.
//   1  written
//  -1  file NULL
//  -5  the name ends neither in ".bmp" nor ".png"
//  -6  the file could not be written (an existing file of that name is left as it was)
//  otherwise the result of ExportLayersToSurface (0, -1, -2, -4); every check runs before drawing,
//  so a refusal writes nothing
int ExportLayerToImage(cQBTE_TileEngine* engine, int layer, const char* file);

// Cuts the picture into tileWidth x tileHeight blocks, merges blocks equal within the tolerance that
// accuracy (1..100, clamped) allows, packs the distinct ones into a new engine-owned tileset
// "TS-ImportedImage-Layer<id>" and gives the layer a new base map of their ids. colorKey is a pixel
// value of the picture's format (-1 none; ignored for pictures with per-pixel alpha): blocks made only
// of it become empty cells, and the tileset gets the same colour as its key.
//   1  imported
//   0  the engine refused the map (the new tileset is unloaded again)
//  -1  engine NULL or not initialised, layer negative or beyond the slots, the layer already has a
//      map, or a tile size <= 0
//  -2  picture NULL, 24 bits per pixel, or pixels of fewer than 8 bits, or it could not be locked
//  -3  picture width not a multiple of tileWidth
//  -4  picture height not a multiple of tileHeight
//  -5  no distinct tile found (every block empty)
//  -7  picture or tileset beyond what SDL surfaces hold (rows longer than the picture's pitch, more
//      than 32767 rows or columns, a tileset wider than 16383 pixels or taller than 32767 rows) or a
//      map beyond the engine's limits
//  -8  out of memory, or the tileset could not be made or registered (the engine is left as it was)
// Every result but 1 comes with a log line. The picture is not changed.
int ImportSurfaceToLayer(cQBTE_TileEngine* engine, int layer, SDL_Surface* picture, int tileWidth, int tileHeight,
                         int accuracy, int colorKey);

// ImportSurfaceToLayer on a BMP or PNG file. A picture that loads with 24 bits per pixel (the BMP and
// opaque PNG files ExportLayerToImage writes do, unless loading converts them for the screen) is
// widened to 32 bits with the same masks first, so colorKey keeps its value.
//   -1  file NULL
//  -6  the file is neither a BMP nor a PNG, or does not load
//  otherwise the result of ImportSurfaceToLayer
int ImportImageToLayer(cQBTE_TileEngine* engine, int layer, const char* file, int tileWidth, int tileHeight,
                       int accuracy, int colorKey);

// Compares two width x height blocks of the picture pixel by pixel (raw pixel values), allowing up to
// maxDiff differing pixels. 0 the blocks differ (also for a 24-bit picture, NULL arguments or blocks
// outside the picture); 1 they match and block B has visible pixels; 2 they match and B is empty
// (every pixel is colorKey, or every alpha is 0 on a picture with per-pixel alpha).
int CompareTileBlocks(const SDL_Rect* blockA, const SDL_Rect* blockB, SDL_Surface* picture, int maxDiff, int width,
                      int height, int colorKey);

#endif
