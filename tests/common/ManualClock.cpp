// The manual clock installed into the library's clock seam. Kept apart from the rest of the harness:
// the seam is internal, and test areas that link the shared library as applications do cannot reach it.
#include "YdxTest.h"
#include "01_Main.h"

namespace ydxtest {

Uint32 ManualClock::now = 1000;

void ManualClock::Install(Uint32 start) {
  now = start;
  Yandorix_SetClock(&ManualClock::Read);
}

}  // namespace ydxtest
