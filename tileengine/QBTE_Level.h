// Level files: the whole state of a tile engine (name, dates, viewport, tilesets, layers with their
// maps) as one XML document with the root "qbse_level", in a ".qbm" file or in a "FILE" block of a
// DPF archive; tileset pixels live beside it as BMP or PNG files or as "TILE2" blocks.
#ifndef QBTE_LEVEL_H
#define QBTE_LEVEL_H

#include <SDL.h>
#include <initializer_list>
#include <string>

class cQBTE_TileEngine;
class Yandorix_CTile;
struct sQBTE_Layer;

// Loads a level into the engine. With archive NULL, `file` is the level file; otherwise the name of
// the "FILE" block in that archive. levelName NULL takes the first "qbse_level" element, otherwise
// the first from there on whose "name" equals it (case-sensitive). Tileset sources are relative to
// the level's directory (the file's, or the archive's).
//   1 everything loaded            0 loaded, but some tilesets or layers were not
//  -1 engine not initialised      -2 file NULL
//  -3 the document does not open  -4 no "qbse_level" element
//  -5 no element of that name     -6 the element has no "name"
int LoadLevel(cQBTE_TileEngine* engine, const char* file, const char* archive, const char* levelName);

// Saves the engine as a level: the file dir(file) + base(file) + ".qbm", or with an archive the block
// base(file) + ".qbm" in dir(archive) + base(archive) + ".dpf". levelName NULL writes the engine's
// level name. Tileset images that already exist are never overwritten. Nothing is written before
// every tileset source is known to be storable, and a previous level file is replaced only by a
// complete new one.
//   1 written                      0 written, but some tilesets could not be stored in their archive
//                                    (the document names them in "error_msg_N" elements)
//  -1 engine not initialised      -2 file NULL
//  -3 a tileset's source is neither ".dpf", ".bmp", ".png" nor the default source (nothing written)
//  -4 the level document could not be built (a name the XML interface refuses, such as one that is
//     not UTF-8) or written; a previous one is left as it was
//  -5 a tileset image could not be written (the level document was not written)
int SaveLevel(cQBTE_TileEngine* engine, const char* file, const char* archive, const char* levelName);

// ---------------------------------------------------------------------------------------------------
// Also used by the TMX import and export.

// An XML handle of the main object that is closed on every path.
class QBTE_XMLDocument {
 public:
  explicit QBTE_XMLDocument(int handle) : handle(handle) {}
  ~QBTE_XMLDocument();
  int Handle() const { return handle; }
  bool IsOpen() const { return handle > 0; }

 private:
  QBTE_XMLDocument(const QBTE_XMLDocument&) = delete;
  QBTE_XMLDocument& operator=(const QBTE_XMLDocument&) = delete;
  int handle;
};

// The comment both kinds of document open with.
extern const char QBTE_DocumentComment[];

// Loaded and counted elements of one kind, for the closing line of a load.
struct QBTE_Counts {
  int loaded = 0;
  int total = 0;
};

// The results of the XML calls that build part of a document (each 1 on success), made in order:
// true when every one succeeded. A text the XML interface refuses (logged there) fails the save.
bool QBTE_Written(std::initializer_list<int> results);
// The pointed element's name is `name`.
bool QBTE_IsElement(int xml, const char* name);
// A text attribute of the pointed element; false (with NULL) when it is absent.
bool QBTE_ReadText(int xml, const char* name, const char** value);
// Tileset sources that are image files (".png", ".bmp").
bool QBTE_IsImageSource(const char* source);
// A number that is finite and within the float range, as a float; false otherwise.
bool QBTE_ToFloat(double number, float* value);
// A decimal attribute of the pointed element that QBTE_ToFloat takes.
int QBTE_ReadDecimal(int xml, const char* name, float* value);
// Whole numbers kept within [low, high].
int QBTE_Clamp(long long value, int low, int high);

// A loaded layer's position, taken over at once (the next update starts from it).
void QBTE_PlaceLayer(sQBTE_Layer* layer, float x, float y);
// A loaded layer's flags: the stored ones when its map is ready, else without the flags that need a
// ready map; timing restarts with the next update.
void QBTE_SetLoadedFlags(sQBTE_Layer* layer, Uint32 status);

// Writes a tileset's surface as a BMP (asBMP) or PNG file, its colour key off meanwhile (the key
// travels in the document, not in the pixels). Creates the file's directories. 1 when written.
int QBTE_SaveTilesetImage(Yandorix_CTile* tile, const std::string& path, bool asBMP);

#endif
