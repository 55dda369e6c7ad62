// What the console shares with the main object's console operations: which thread may print into the
// console directly, and the queue that carries lines printed by other threads to that one.
#pragma once
#include <stdarg.h>
#include <string>
#include <vector>

class cConsole;
class cSimpleWin;

namespace ydxcon {

// What a window's isVisible reports, and the console's feature bits that change how it takes input.
enum WindowVisibility : int { kHidden = 0, kShown = 1, kFadingIn = 33, kFadingOut = 223 };
enum ConsoleFeature : int { kToggleKeyOff = 1, kInputLineOff = 2 };

// True on the thread that created the newest console (the application's thread).
bool OnConsoleThread();
// Formats a line printed on another thread and queues it for the console's thread; nothing while no
// console exists. The console's object is never touched here.
void QueueLine(const char* format, va_list args);
// Takes the queued lines, oldest first (called on the console's thread).
void TakeQueued(std::vector<std::string>* out);

// The text printf would produce; an empty text for a NULL format or a formatting error.
std::string Format(const char* format, va_list args);

// Turns a window's fade round where it stands (the console's toggle key pressed during a fade): a
// window fading in fades out from the alpha it reached, and the other way round.
void ReverseFade(cSimpleWin* window);

// The console running a command line right now, or NULL.
cConsole* RunningConsole();

// A number in a command word (read as strtol reads it, so "12x" is 12 and "x" is 0), held within
// low..high; ParseShort within the 16-bit range of window coordinates.
long ParseNumber(const std::string& word, long low, long high);
short ParseShort(const std::string& word);

// The sub-commands the console and the debug window answer alike ("alpha", "color", "move",
// "resize"), acting on `window` and answering in `out`; `kind` names the window in the position and
// size answers. False when words[1] is none of them.
bool WindowCommand(cSimpleWin* window, cConsole* out, const std::vector<std::string>& words, const char* kind);

}  // namespace ydxcon
