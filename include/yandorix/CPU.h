// Processor detection and the selectable block-copy routine used by the library's own surface copies.
#ifndef YANDORIX_CPU_H
#define YANDORIX_CPU_H

#include <stddef.h>
#include "Export.h"

extern "C" {
// Selected block-copy routine; the runtime memcpy until Init or SelectCPUCore picks another.
extern YDX_API void* (*Yandorix_memcpy)(void* destination, const void* source, size_t length);
YDX_API int SelectCPUCore(int code);
YDX_API int CPU_haveCPUID(void);
YDX_API int CPU_getCPUIDFamily(void);
// Writes the 12-character vendor text and a terminator: the buffer holds at least 13 characters.
YDX_API int CPU_GetString(char* buffer);
}

#endif
