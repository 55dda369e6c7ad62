// Blocking MPEG playback.
#ifndef YANDORIX_VIDEO_H
#define YANDORIX_VIDEO_H

#include <SDL.h>

class Yandorix_IVideo {
 public:
  Yandorix_IVideo();
  ~Yandorix_IVideo();

 private:
  Yandorix_IVideo(const Yandorix_IVideo&) = delete;
  Yandorix_IVideo& operator=(const Yandorix_IVideo&) = delete;
  struct sVideoPrivate* p;
};

extern Yandorix_IVideo* IVideo;

#endif
