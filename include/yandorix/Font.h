// Resource class Yandorix_CFont (declared by its component).
#ifndef YANDORIX_FONT_H
#define YANDORIX_FONT_H

class Yandorix_CFont;

#endif
