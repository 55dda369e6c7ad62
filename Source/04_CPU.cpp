// Processor detection and block copy. (Stand-in until the component is complete: plain memcpy.)
#include "01_Main.h"
#include "04_CPU.h"
#include <cstring>

extern "C" {
void* (*Yandorix_memcpy)(void*, const void*, size_t) = memcpy;
int SelectCPUCore(int code) { return code == 0 ? 1 : 0; }
int CPU_haveCPUID(void) { return 0; }
int CPU_getCPUIDFamily(void) { return 0; }
int CPU_GetString(char* buffer) {
  if (buffer) buffer[12] = 0;
  return 0;
}
}

int GetCPUFeatures(char*) { return 1; }
int Yandorix_Main::GetCPUName(char* buffer) { return GetCPUFeatures(buffer); }
