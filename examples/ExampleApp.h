// What the two example programs share: the start-up of the library, the window and the tile engine,
// the main loop that feeds key presses and logic frames to the program, and the shutdown.
#ifndef EXAMPLEAPP_H
#define EXAMPLEAPP_H

#include "QBTE_TileEngine.h"

// The program's one engine, drawn whole by the render callback.
extern cQBTE_TileEngine* engine;

struct ExampleProgram {
  const char* logFile;
  const char* title;
  int layers;
  // Neither runs while the console is open: what is typed then is the console's.
  void (*onKeyDown)(int key);  // a key-down event (SDL key symbol)
  void (*onLogicFrame)();      // once per logic frame, after the events: held keys
};

// Log, library, window, frame rates and engine in the documented order. 1, or 0 when the program must
// end with 1 (the log says why).
int StartExample(const ExampleProgram& program);
// Updates the layers, drains the frame driver and runs the program's handlers until Escape or a quit
// event (a window close, SIGTERM or SIGINT).
void RunExample(const ExampleProgram& program);
// Engine report, engine and library shutdown; the program's exit code (0).
int EndExample();

// The value a toggle passes to SetLayerFlags: negated on every press from -1, so presses alternate
// between setting (1) and clearing (-1, a negative byte) the flag.
int Toggle(int* toggle);
// Whether a key is down in the logic frame's snapshot; a test sees each such frame in the log.
bool KeyHeld(int key);
// Logs the cell and the map pixel of a layer under the mouse (-1 when the point is outside the layer).
void ReportMouseCell(int layer);

#endif
