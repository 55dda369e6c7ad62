// Images: archive IMG blocks, BMP and PNG files.
#ifndef YANDORIX_IMAGE_H
#define YANDORIX_IMAGE_H

#include <SDL.h>

class Yandorix_IImage {
 public:
  Yandorix_IImage();
  ~Yandorix_IImage();

 private:
  Yandorix_IImage(const Yandorix_IImage&) = delete;
  Yandorix_IImage& operator=(const Yandorix_IImage&) = delete;
  struct sImagePrivate* p;
};

extern Yandorix_IImage* IImage;

#endif
