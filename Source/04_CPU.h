// Processor detection used by Init and GetCPUName, the processor naming table, and the block-copy
// routines behind Yandorix_memcpy (listed here so tests and benchmarks can reach each one).
#pragma once
#include <stddef.h>

// What detection reads from the processor; tests may substitute their own (CPU_OverrideProbe).
struct CPUProbe {
  int hasCPUID;           // the ID flag of EFLAGS can be toggled
  int maxLeaf;            // highest standard CPUID leaf (0 when unknown)
  char vendor[13];        // the 12-character vendor text
  unsigned int signature; // EAX of leaf 1
  int mmx;
  int sse;
};

CPUProbe CPU_Probe();
// NULL restores the hardware reading.
void CPU_OverrideProbe(const CPUProbe* probe);

// With NULL: logs the processor, requires MMX and selects the copy routine (Init's form).
// With a buffer: writes a one-line description there and selects nothing. 1 on success, 0 on failure.
// The buffer needs 64 characters.
int GetCPUFeatures(char* buffer);

// The naming table: the name text ("- Core 2 Duo " ...) of an AMD ('A') or Intel ('G') processor and
// the code path it gets. Another vendor gets an empty name and code 0.
int CPU_NameFor(char vendor, int family, int model, int extendedModel, char* name, size_t size);

typedef void* (*CopyRoutine)(void* destination, const void* source, size_t length);
struct CopyRoutineInfo {
  const char* name;
  CopyRoutine routine;
  int blockSize;
};
// Every copy routine of the family, by name; `count` receives the number of entries.
const CopyRoutineInfo* CPU_CopyRoutines(int* count);
