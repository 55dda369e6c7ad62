// Small operations the tile engine's parts share: file-name endings, file tests, bounded text copies,
// the date text the level records carry, rounding, path pieces and tileset blocks in archives.
#ifndef QBTE_SHARED_H
#define QBTE_SHARED_H

#include <string>

// 1 when both texts hold a '.' and `name` ends with `ext`, compared from the end without regard to
// case; 0 otherwise (also for NULL).
int MatchExtension(const char* name, const char* ext);
// 1 when the file opens for binary reading.
int FileExists(const char* path);
// Copies at most size - 1 bytes and always terminates, cutting a longer text between two UTF-8
// characters; 1, or 0 when nothing can be copied (NULL texts, size below 1).
int CopyBounded(char* dst, const char* src, int size);
// The current local date and time as asctime writes it, without its final line break
// ("Tue Dec  8 08:24:23 2026"); the text lives in the runtime's static buffer.
char* NowText();
// The value rounded half away from zero (0.5 -> 1, -2.5 -> -3).
float RoundFloat(float value);
// Opens the archive, deletes the "TILE2" block of that name and closes it: the deletion's result,
// 0 when an argument is NULL or the archive does not open.
int DeleteTilesetBlock(const char* archive, const char* name);

// Path pieces. Both '/' and '\' separate; names keep their case (the file system is case-sensitive).
// The directory part with its final separator and without a drive ("C:"); "" when there is none.
std::string PathDirectory(const char* path);
// The file name without its directory and without its extension (from the last '.').
std::string PathBaseName(const char* path);
// A file name made from a free text (a tile's name): separators, drive colons and control characters
// become '_' so that the name stays inside the directory it is joined to.
std::string FileNameFrom(const char* text);

#endif
