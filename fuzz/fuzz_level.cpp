// Fuzzes LoadLevel: the input is a level file (inputs of odd length ask for the level named "b",
// the others for the first). Whatever it holds, the load answers with a documented code, keeps
// the caller's layer and tileset, gives no layer or tileset IDs out of range and writes no file.
#include "FuzzEngine.h"
#include "QBTE_Level.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ydxfuzz::AbsolutePathArguments(argc, argv);
  fuzz_engine::Start();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz_engine::WriteInput("fuzz.qbm", data, size)) return 0;
  fuzz_engine::Scene scene;
  const char* levelName = size % 2 ? "b" : NULL;
  scene.Check(LoadLevel(&scene.engine, "fuzz.qbm", NULL, levelName), -6);
  return 0;
}
