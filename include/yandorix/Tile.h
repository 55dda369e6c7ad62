// Resource class Yandorix_CTile (declared by its component).
#ifndef YANDORIX_TILE_H
#define YANDORIX_TILE_H

class Yandorix_CTile;

#endif
