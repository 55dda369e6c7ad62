// XML documents. (Stand-in until the component is built.)
#include "01_Main.h"

void Yandorix_Main::XMLClose(int) {}
