// TMX maps of the Tiled editor: import of an orthogonal map into a tile engine and export of an
// engine as one. What TMX has no field for (level name, dates, viewport, layer positions, speeds,
// parallax and flags) travels in TMX "properties".
#ifndef QBTE_TMX_H
#define QBTE_TMX_H

class cQBTE_TileEngine;
class Yandorix_CTile;

// Imports the map's tilesets and layers into the engine; image sources are relative to the map's
// directory. A layer without an "id" property takes the first slot without a map. An external tileset
// (a .tsx file) is not read: a Warning names its file, and the layers using it are not ready.
//   1 everything imported          0 imported, but some tilesets or layers were not
//  -1 engine not initialised      -2 path NULL
//  -3 the document does not open
//  -4 not a map this import reads: the root is not "map", "version" is not "1.0", "orientation" not
//     "orthogonal", a size is missing, or the map or tile size is below 1 or beyond the engine's limits
int ImportTMX(cQBTE_TileEngine* engine, const char* path);

// Writes the engine as dir(path) + base(path) + ".tmx", with the layers of the first layer's size and
// the tilesets as images beside it (written only when no file of that name exists). levelName NULL
// writes the engine's level name. Nothing is written before every tileset source is known to be
// writable, and a previous map file is replaced only by a complete new one.
//   1 written                      0 written, but layers of another size or cell size were left out;
//                                    or nothing written: a cell's tile is in no tileset (an Error line)
//  -1 engine not initialised      -2 path NULL
//  -3 no layer has a map          -4 a tileset's source is neither ".bmp", ".png" nor the default source
//  -5 the map document could not be written (a previous one is left as it was)
//  -6 a tileset image could not be written (the map document was not written)
int ExportTMX(cQBTE_TileEngine* engine, const char* path, const char* levelName);

// Adds a "property" child with "name" and "value" to the pointed element (a "properties" element)
// and points back at it; the result of setting the value. Decimals are written as the shortest text
// that reads back as the same float or double ("0.1", "1e+20").
int WriteProperty(int xml, const char* name, const char* value);
int WriteProperty(int xml, const char* name, int value);
int WriteProperty(int xml, const char* name, float value);
int WriteProperty(int xml, const char* name, double value);

// The value of the first "property" child of the pointed element whose "name" equals `name`
// (case-sensitive) and whose "value" reads as the wanted type: 1 with the value, else 0. The
// pointed element stays where it was. Texts belong to the document.
int ReadProperty(int xml, const char* name, char** value);
int ReadProperty(int xml, const char* name, const char** value);
int ReadProperty(int xml, const char* name, int* value);
int ReadProperty(int xml, const char* name, double* value);

// A new tile in tileset mode holding the tiles of an image laid out with a margin around them and
// spacing between them, packed edge to edge. NULL when a size is below 1, the margin or spacing is
// negative, the image does not load, or no whole tile fits in it.
Yandorix_CTile* CreateTilesetFromImage(const char* file, const char* name, int tileWidth, int tileHeight, int spacing,
                                       int margin);

#endif
