// Fuzzes ImportTMX: the input is a TMX map. Whatever it holds, the import answers with a documented
// code, keeps the caller's layer and tileset, gives no layer or tileset IDs out of range, writes no
// file, and makes large maps only for data that may fill them.
#include "FuzzEngine.h"
#include "QBTE_TMX.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ydxfuzz::AbsolutePathArguments(argc, argv);
  fuzz_engine::Start();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz_engine::WriteInput("fuzz.tmx", data, size)) return 0;
  fuzz_engine::Scene scene;
  scene.Check(ImportTMX(&scene.engine, "fuzz.tmx"), -4);
  return 0;
}
