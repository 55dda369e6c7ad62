// A virtual X display of the test process's own: Xvfb picks a free display number itself, and runs with
// -noreset so SDL's two connections in a row are always accepted.
#pragma once

namespace ydxtest {

// Whether a program is found on PATH.
bool OnPath(const char* tool);
// Starts Xvfb with one screen of `screen` (as "1024x768x24") and points DISPLAY at it; the display's
// number, or -1 when it did not start.
int StartXvfb(const char* screen);
// Ends the server StartXvfb started, if any.
void StopXvfb();

}  // namespace ydxtest
