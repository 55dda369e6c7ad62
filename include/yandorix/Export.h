// What the shared library exports. It is built with hidden visibility, so only declarations marked
// YDX_API (the public classes, the global objects and the processor functions) are visible to
// applications; everything else stays inside the library and cannot be replaced from outside.
#ifndef YANDORIX_EXPORT_H
#define YANDORIX_EXPORT_H

#define YDX_API __attribute__((visibility("default")))

#endif
