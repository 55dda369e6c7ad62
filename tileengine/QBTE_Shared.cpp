// Small operations the tile engine's parts share: file-name endings, file tests, bounded text copies,
// the date text the level records carry, rounding, path pieces and tileset blocks in archives.
#include "QBTE_Shared.h"
#include <string>
#include <algorithm>
#include <Yandorix.h>
#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

int MatchExtension(const char* name, const char* ext) {
  if (!name || !ext || !strchr(name, '.') || !strchr(ext, '.')) return 0;
  size_t nameLength = strlen(name), extLength = strlen(ext);
  if (extLength > nameLength) return 0;
  const char* ending = name + nameLength - extLength;
  for (size_t i = 0; i < extLength; ++i)
    if (tolower((unsigned char)ending[i]) != tolower((unsigned char)ext[i])) return 0;
  return 1;
}

int FileExists(const char* path) {
  if (!path) return 0;
  std::string native(path);   // level files may name their tilesets with '\' separators
  std::replace(native.begin(), native.end(), '\\', '/');
  FILE* file = fopen(native.c_str(), "rb");
  if (!file) return 0;
  fclose(file);
  return 1;
}

int CopyBounded(char* dst, const char* src, int size) {
  if (!dst || !src || size < 1) return 0;
  size_t length = strnlen(src, (size_t)size - 1);
  // A cut never splits a UTF-8 character (at most three continuation bytes follow its lead): the
  // documents the names go into refuse half a character.
  for (int back = 0; back < 3 && length > 0 && ((unsigned char)src[length] & 0xC0) == 0x80; ++back) --length;
  memcpy(dst, src, length);
  dst[length] = '\0';
  return 1;
}

char* NowText() {
  static char unknown[1] = "";
  time_t now = time(NULL);
  struct tm* local = localtime(&now);
  if (!local) return unknown;
  char* text = asctime(local);
  if (!text) return unknown;
  size_t length = strlen(text);
  if (length > 0 && text[length - 1] == '\n') text[length - 1] = '\0';
  return text;
}

float RoundFloat(float value) { return roundf(value); }

int DeleteTilesetBlock(const char* archive, const char* name) {
  if (!archive || !name || !IStuffDPF) return 0;
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  if (!CopyBounded(block.name, name, (int)sizeof block.name) || strlen(name) >= sizeof block.name) return 0;
  CopyBounded(block.type, "TILE2", (int)sizeof block.type);
  int handle = IStuffDPF->Open(archive);
  if (handle <= 0) return 0;
  int deleted = IStuffDPF->Delete(handle, &block);
  IStuffDPF->Close(handle);
  return deleted;
}

// ---------------------------------------------------------------------------------------------------
// Path pieces

static bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Where the directory part of `path` ends (one past its last separator), after a drive prefix.
static size_t DirectoryEnd(const std::string& path, size_t* driveLength) {
  *driveLength = path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0]) ? 2 : 0;
  size_t end = *driveLength;
  for (size_t i = *driveLength; i < path.size(); ++i)
    if (IsSeparator(path[i])) end = i + 1;
  return end;
}

std::string PathDirectory(const char* path) {
  if (!path) return std::string();
  std::string text(path);
  size_t drive = 0, end = DirectoryEnd(text, &drive);
  return text.substr(drive, end - drive);
}

std::string PathBaseName(const char* path) {
  if (!path) return std::string();
  std::string text(path);
  size_t drive = 0;
  std::string name = text.substr(DirectoryEnd(text, &drive));
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FileNameFrom(const char* text) {
  std::string name(text ? text : "");
  for (char& c : name)
    if (IsSeparator(c) || c == ':' || (unsigned char)c < 0x20) c = '_';
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  return name;
}
