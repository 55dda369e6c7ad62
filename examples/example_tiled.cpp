// example_tiled: imports the Tiled map "desert.tmx" (or, when that fails, converts the level
// "mylevel.qbm" to "mylevel.tmx" and imports that) and scrolls the first layer with the arrow keys.
// Keys, while the console is closed: arrows scroll, c reports the cell under the mouse, p pauses layer 0,
// s smooth scrolling, Escape quits.
#include "ExampleApp.h"
#include "QBTE_Level.h"
#include "QBTE_TMX.h"

namespace {

int pauseToggle = -1;
int smoothToggle = -1;

void OnKeyDown(int key) {
  if (key == SDLK_c) {
    ReportMouseCell(0);
  } else if (key == SDLK_p) {
    engine->SetLayerFlags(0, QBTE_PAUSE, Toggle(&pauseToggle));
  } else if (key == SDLK_s) {
    int value = Toggle(&smoothToggle);
    for (int layer = 0; layer < 6; ++layer) engine->SetLayerFlags(layer, QBTE_SMOOTHSCROLL, value);
  }
}

void OnLogicFrame() {
  if (KeyHeld(SDLK_UP)) engine->MoveLayer(0, 0.0f, -16.0f);
  if (KeyHeld(SDLK_DOWN)) engine->MoveLayer(0, 0.0f, 16.0f);
  if (KeyHeld(SDLK_LEFT)) engine->MoveLayer(0, -16.0f, 0.0f);
  if (KeyHeld(SDLK_RIGHT)) engine->MoveLayer(0, 16.0f, 0.0f);
}

// The level converted to TMX and imported again: shows that a level survives the round trip.
void ImportConvertedLevel() {
  engine->ResetEngine();
  LoadLevel(engine, "mylevel.qbm", NULL, NULL);
  engine->ResetLayer(1);
  ExportTMX(engine, "mylevel.tmx", NULL);
  engine->ResetEngine();
  ImportTMX(engine, "mylevel.tmx");
}

}  // namespace

int main(int, char**) {
  const ExampleProgram program = {"Example05_Tiled.log", "QBTE - Example05: Tiled Qt", 6, OnKeyDown, OnLogicFrame};
  if (!StartExample(program)) return 1;
  if (ImportTMX(engine, "desert.tmx") != 1) ImportConvertedLevel();
  RunExample(program);
  return EndExample();
}
