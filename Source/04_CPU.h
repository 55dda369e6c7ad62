// Processor detection used by Init and GetCPUName.
#pragma once

// With NULL: logs the processor, requires MMX and selects the copy routine (Init's form).
// With a buffer: writes a one-line description there and selects nothing. 1 on success, 0 on failure.
int GetCPUFeatures(char* buffer);
