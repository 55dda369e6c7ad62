// Client/server messaging over TCP.
#ifndef YANDORIX_NETWORK_H
#define YANDORIX_NETWORK_H

#include <SDL.h>

class Yandorix_INetwork {
 public:
  Yandorix_INetwork();
  ~Yandorix_INetwork();

 private:
  Yandorix_INetwork(const Yandorix_INetwork&) = delete;
  Yandorix_INetwork& operator=(const Yandorix_INetwork&) = delete;
  struct sNetworkPrivate* p;
};

extern Yandorix_INetwork* INetwork;

#endif
