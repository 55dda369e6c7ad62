// Yandorix SDK: everything an application needs in one include.
// SDL's own interface comes first; then the main object, its services, resource classes and globals.
#ifndef YANDORIX_H
#define YANDORIX_H

#include <SDL.h>

#include "yandorix/LogSystem.h"
#include "yandorix/CPU.h"
#include "yandorix/Main.h"
#include "yandorix/TimeSystem.h"
#include "yandorix/StuffDPF.h"
#include "yandorix/Image.h"
#include "yandorix/Primitives.h"
#include "yandorix/ScreenFX.h"
#include "yandorix/Tile.h"
#include "yandorix/Font.h"
#include "yandorix/Sprite.h"
#include "yandorix/Cursor.h"
#include "yandorix/Button.h"
#include "yandorix/Windows.h"
#include "yandorix/SoundFX.h"
#include "yandorix/Video.h"
#include "yandorix/Network.h"

#endif
