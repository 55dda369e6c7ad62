// Blocking MPEG-1 playback onto the screen (a cut-scene player): SMPEG decodes on its own threads,
// the movie's sound goes through the mixer when it is open, and every frame may pass a screen effect.
#ifndef YANDORIX_VIDEO_H
#define YANDORIX_VIDEO_H

#include <SDL.h>
#include "Export.h"

class YDX_API Yandorix_IVideo {
 public:
  Yandorix_IVideo();
  ~Yandorix_IVideo();

  // Plays `file` and returns when it ends, Escape or a quit event arrives, or the frame function
  // returns 0: 1 after playing, 0 when playback could not start (also while another one runs).
  // `sound` plays the movie's sound; `filter` smooths the picture.
  // MPEG-1 system streams as SMPEG 0.4 reads them; it refuses some multiplexings other players accept.
  // `file` is a path: a movie kept in an archive is written to a temporary file and played from there.
  int PlayMPEG(const char* file, char sound, char filter);
  // Size of the shown movie (0 = the movie's own); ignored during a playback; negatives become 0.
  void SetScale(int width, int height);
  // Where the movie is shown; a negative coordinate centres it on the screen.
  void SetPosition(int x, int y);
  // Screen effect number applied to every frame (0 or 5: none).
  void SetFX(int effect);
  // Called on the playing thread after each new frame with the last key pressed (0: none), the frame
  // surface and the display area; returning 0 stops the playback.
  void SetFunction(int (*callback)(int, SDL_Surface*, SDL_Rect*));

 private:
  Yandorix_IVideo(const Yandorix_IVideo&) = delete;
  Yandorix_IVideo& operator=(const Yandorix_IVideo&) = delete;
  struct sVideoPrivate* p;
};

extern YDX_API Yandorix_IVideo* IVideo;

#endif
