// DPF archives: named, typed, compressed and optionally protected blocks in one file.
#ifndef YANDORIX_STUFFDPF_H
#define YANDORIX_STUFFDPF_H

#include <SDL.h>

class Yandorix_IStuffDPF {
 public:
  Yandorix_IStuffDPF();
  ~Yandorix_IStuffDPF();

 private:
  Yandorix_IStuffDPF(const Yandorix_IStuffDPF&) = delete;
  Yandorix_IStuffDPF& operator=(const Yandorix_IStuffDPF&) = delete;
  struct sStuffDPFPrivate* p;
};

extern Yandorix_IStuffDPF* IStuffDPF;

#endif
