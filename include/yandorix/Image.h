// Images: surfaces from and to archive "IMG" blocks, BMP files and PNG files. Loaded surfaces are
// converted for the screen when the automatic-conversion switch is on, and belong to the caller.
#ifndef YANDORIX_IMAGE_H
#define YANDORIX_IMAGE_H

#include <SDL.h>
#include "Export.h"

// What Load tells about an "IMG" block it loaded.
struct sHeaderIPF {
  Sint32 width;
  Sint32 height;
  Uint8 bpp;          // bits per pixel as stored
  Sint32 alpha;       // stored per-surface alpha, 255 opaque
  Sint32 colorkey;    // stored colour key, -1 none
  char name[32];      // the block name asked for
};

class YDX_API Yandorix_IImage {
 public:
  Yandorix_IImage();
  ~Yandorix_IImage();

  // "IMG" blocks in an open archive (handle) or an archive file; header may be NULL.
  SDL_Surface* Load(int handle, const char* name, sHeaderIPF* header);
  SDL_Surface* Load(const char* file, const char* name, sHeaderIPF* header);
  // The archive's stored size of the new block; -1 when a block of that name exists; 0 on failure.
  int Save(int handle, const char* name, SDL_Surface* surface);
  int Save(const char* file, const char* name, SDL_Surface* surface);

  // BMP files: isBMP is 1 when the file loads as a BMP; SaveBMP 1 when written, 0 on failure.
  int isBMP(const char* file);
  SDL_Surface* LoadBMP(const char* file);
  int SaveBMP(const char* file, SDL_Surface* surface);

  // PNG files: isPNG is 1 for the signature, 0 without it, -1 when the file cannot be opened;
  // SavePNG 0 when written, -1 on failure; level 0..9, below 0 zlib's default.
  int isPNG(const char* file);
  SDL_Surface* LoadPNG(const char* file);
  SDL_Surface* LoadPNG(const void* memory, int length);
  int SavePNG(const char* file, SDL_Surface* surface, int level);

  // BMP or PNG, whichever the file is.
  SDL_Surface* LoadIMG(const char* file);

 private:
  Yandorix_IImage(const Yandorix_IImage&) = delete;
  Yandorix_IImage& operator=(const Yandorix_IImage&) = delete;
  struct sImagePrivate* p;
};

extern YDX_API Yandorix_IImage* IImage;

#endif
