// Small operations the tile engine's parts share: file-name endings, file tests, bounded text copies
// and the date text the level records carry.
#include "QBTE_Shared.h"
#include <ctype.h>
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
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  fclose(file);
  return 1;
}

int CopyBounded(char* dst, const char* src, int size) {
  if (!dst || !src || size < 1) return 0;
  size_t length = strnlen(src, (size_t)size - 1);
  memcpy(dst, src, length);
  dst[length] = '\0';
  return 1;
}

const char* NowText() {
  time_t now = time(NULL);
  struct tm* local = localtime(&now);
  if (!local) return "";
  char* text = asctime(local);
  if (!text) return "";
  size_t length = strlen(text);
  if (length > 0 && text[length - 1] == '\n') text[length - 1] = '\0';
  return text;
}
