// Layers as pictures. (Stand-in until the layer-image component is built: every operation refuses.)
#include "QBTE_LayerImage.h"

int ExportLayersToSurface(cQBTE_TileEngine*, int, SDL_Surface**) { return -1; }
int ExportLayerToImage(cQBTE_TileEngine*, int, const char*) { return -1; }
int ImportSurfaceToLayer(cQBTE_TileEngine*, int, SDL_Surface*, int, int, int, int) { return -1; }
int ImportImageToLayer(cQBTE_TileEngine*, int, const char*, int, int, int, int) { return -1; }
int CompareTileBlocks(const SDL_Rect*, const SDL_Rect*, SDL_Surface*, int, int, int, int) { return 0; }
