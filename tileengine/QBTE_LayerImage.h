// Layers as pictures: export of the drawn layers to a surface or an image file, and import of a
// picture into a layer with its tiles de-duplicated into a new tileset.
#ifndef QBTE_LAYERIMAGE_H
#define QBTE_LAYERIMAGE_H

#include <SDL.h>

class cQBTE_TileEngine;

// A negative layer means all layers. *out must be NULL on entry; the caller frees the result.
int ExportLayersToSurface(cQBTE_TileEngine* engine, int layer, SDL_Surface** out);
int ExportLayerToImage(cQBTE_TileEngine* engine, int layer, const char* file);
int ImportSurfaceToLayer(cQBTE_TileEngine* engine, int layer, SDL_Surface* picture, int tileWidth, int tileHeight,
                         int accuracy, int colorKey);
int ImportImageToLayer(cQBTE_TileEngine* engine, int layer, const char* file, int tileWidth, int tileHeight,
                       int accuracy, int colorKey);
// 0 the blocks differ; 1 they match and block B has visible pixels; 2 they match and B is empty.
int CompareTileBlocks(const SDL_Rect* blockA, const SDL_Rect* blockB, SDL_Surface* picture, int maxDiff, int width,
                      int height, int colorKey);

#endif
