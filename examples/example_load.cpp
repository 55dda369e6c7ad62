// example_load: loads the level "mylevel.qbm", scrolls its two layers automatically, and on exit
// saves the level again (only when it loaded whole) and exports layer 1 as "layer1-image.png".
// Keys, while the console is closed: Up/Down move layer 1, c reports the cell under the mouse, p pauses,
// s smooth scrolling, a automatic scrolling, Escape quits.
#include "ExampleApp.h"
#include "QBTE_Level.h"
#include "QBTE_LayerImage.h"

namespace {

int pauseToggle = -1;
int smoothToggle = -1;
int autoScrollToggle = -1;

void ToggleBoth(int flag, int* toggle) {
  int value = Toggle(toggle);
  engine->SetLayerFlags(0, flag, value);
  engine->SetLayerFlags(1, flag, value);
}

void OnKeyDown(int key) {
  if (key == SDLK_c)
    ReportMouseCell(1);
  else if (key == SDLK_p)
    ToggleBoth(QBTE_PAUSE, &pauseToggle);
  else if (key == SDLK_s)
    ToggleBoth(QBTE_SMOOTHSCROLL, &smoothToggle);
  else if (key == SDLK_a)
    ToggleBoth(QBTE_AUTOSCROLL, &autoScrollToggle);
}

void OnLogicFrame() {
  if (KeyHeld(SDLK_UP)) engine->MoveLayer(1, 0.0f, -2.0f);
  if (KeyHeld(SDLK_DOWN)) engine->MoveLayer(1, 0.0f, 2.0f);
}

}  // namespace

int main(int, char**) {
  const ExampleProgram program = {"Example03_Load.log", "QBTE - Example03: Load QBM", 2, OnKeyDown, OnLogicFrame};
  if (!StartExample(program)) return 1;
  int loaded = LoadLevel(engine, "mylevel.qbm", NULL, NULL);
  engine->SetLayerFlags(0, QBTE_AUTOSCROLL, 1);
  engine->SetLayerFlags(1, QBTE_AUTOSCROLL, 1);
  engine->SetLayerSpeed(1, 32.0f, QBTE_POS_KEEP);
  RunExample(program);
  // A level that did not load whole is not written back: that would drop what was missing for good.
  if (loaded == 1) SaveLevel(engine, "mylevel.qbm", NULL, NULL);
  ExportLayerToImage(engine, 1, "layer1-image.png");
  return EndExample();
}
