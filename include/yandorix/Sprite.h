// Resource class Yandorix_CSprite (declared by its component).
#ifndef YANDORIX_SPRITE_H
#define YANDORIX_SPRITE_H

class Yandorix_CSprite;

#endif
