// Processor detection with CPUID and the block-copy routines tuned for processor generations; the pick
// is published through Yandorix_memcpy. The copy routines move whole blocks through the MMX registers
// and leave the tail to memcpy; on processors other than x86 every routine is the plain memcpy.
#include "01_Main.h"
#include "04_CPU.h"
#include <cstdio>
#include <cstring>
#include <initializer_list>

#if defined(__x86_64__) || defined(__i386__)
#define YDX_X86 1
#include <cpuid.h>
#endif

extern "C" {
void* (*Yandorix_memcpy)(void*, const void*, size_t) = memcpy;
}

// ---- Copy routines ----

namespace {

#ifdef YDX_X86
// 32-byte blocks: two loads and two stores at a time.
void* CopyBlocks32(void* destination, const void* source, size_t length) {
  size_t blocks = length / 32;
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (blocks) {
    __asm__ volatile(
        "1:\n\t"
        "movq (%0), %%mm0\n\t"
        "movq 8(%0), %%mm1\n\t"
        "movq %%mm0, (%1)\n\t"
        "movq %%mm1, 8(%1)\n\t"
        "movq 16(%0), %%mm2\n\t"
        "movq 24(%0), %%mm3\n\t"
        "movq %%mm2, 16(%1)\n\t"
        "movq %%mm3, 24(%1)\n\t"
        "add $32, %0\n\t"
        "add $32, %1\n\t"
        "dec %2\n\t"
        "jnz 1b\n\t"
        "emms"
        : "+r"(from), "+r"(to), "+r"(blocks)
        :
        : "memory", "cc", "mm0", "mm1", "mm2", "mm3", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)",
          "st(6)", "st(7)");
  }
  if (length % 32) memcpy(to, from, length % 32);
  return destination;
}

// 64-byte blocks: eight loads, then eight stores; optionally a non-temporal prefetch 512 bytes ahead.
#define YDX_COPY64_BODY                 \
  "movq (%0), %%mm0\n\t"                \
  "movq 8(%0), %%mm1\n\t"               \
  "movq 16(%0), %%mm2\n\t"              \
  "movq 24(%0), %%mm3\n\t"              \
  "movq 32(%0), %%mm4\n\t"              \
  "movq 40(%0), %%mm5\n\t"              \
  "movq 48(%0), %%mm6\n\t"              \
  "movq 56(%0), %%mm7\n\t"              \
  "movq %%mm0, (%1)\n\t"                \
  "movq %%mm1, 8(%1)\n\t"               \
  "movq %%mm2, 16(%1)\n\t"              \
  "movq %%mm3, 24(%1)\n\t"              \
  "movq %%mm4, 32(%1)\n\t"              \
  "movq %%mm5, 40(%1)\n\t"              \
  "movq %%mm6, 48(%1)\n\t"              \
  "movq %%mm7, 56(%1)\n\t"              \
  "add $64, %0\n\t"                     \
  "add $64, %1\n\t"                     \
  "dec %2\n\t"                          \
  "jnz 1b\n\t"                          \
  "emms"
#define YDX_MMX_CLOBBERS                                                                               \
  "memory", "cc", "mm0", "mm1", "mm2", "mm3", "mm4", "mm5", "mm6", "mm7", "st", "st(1)", "st(2)", "st(3)", \
      "st(4)", "st(5)", "st(6)", "st(7)"

template <bool kPrefetch>
void* CopyBlocks64(void* destination, const void* source, size_t length) {
  size_t blocks = length / 64;
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (blocks) {
    if (kPrefetch)
      __asm__ volatile("1:\n\tprefetchnta 512(%0)\n\t" YDX_COPY64_BODY
                       : "+r"(from), "+r"(to), "+r"(blocks)
                       :
                       : YDX_MMX_CLOBBERS);
    else
      __asm__ volatile("1:\n\t" YDX_COPY64_BODY : "+r"(from), "+r"(to), "+r"(blocks) : : YDX_MMX_CLOBBERS);
  }
  if (length % 64) memcpy(to, from, length % 64);
  return destination;
}
#undef YDX_COPY64_BODY
#undef YDX_MMX_CLOBBERS
#else
void* CopyBlocks32(void* destination, const void* source, size_t length) {
  return memcpy(destination, source, length);
}
template <bool kPrefetch>
void* CopyBlocks64(void* destination, const void* source, size_t length) {
  return memcpy(destination, source, length);
}
#endif

// The family members differ only in block size and prefetching.
const CopyRoutine MemCopy_MMX_I = CopyBlocks32;
const CopyRoutine MemCopy_MMX_II = CopyBlocks64<false>;
const CopyRoutine MemCopy_MMX_V = CopyBlocks64<true>;
const CopyRoutine MemCopy_SSE_2 = CopyBlocks64<false>;
const CopyRoutine MemCopy_K7 = CopyBlocks64<false>;
const CopyRoutine MemCopy_Athlon = CopyBlocks64<false>;
const CopyRoutine MemCopy_Banias = CopyBlocks64<true>;
const CopyRoutine MemCopy_Dothan = CopyBlocks64<true>;
const CopyRoutine MemCopy_P4_Willamette = CopyBlocks64<false>;
const CopyRoutine MemCopy_P4_Northwood = CopyBlocks64<false>;
const CopyRoutine MemCopy_P4_Prescott = CopyBlocks64<false>;
const CopyRoutine MemCopy_P4_PrescottPlus = CopyBlocks64<false>;

const CopyRoutineInfo kCopyRoutines[] = {
    {"MMX_I", MemCopy_MMX_I, 32},
    {"MMX_II", MemCopy_MMX_II, 64},
    {"MMX_V", MemCopy_MMX_V, 64},
    {"SSE_2", MemCopy_SSE_2, 64},
    {"K7", MemCopy_K7, 64},
    {"Athlon", MemCopy_Athlon, 64},
    {"Banias", MemCopy_Banias, 64},
    {"Dothan", MemCopy_Dothan, 64},
    {"P4_Willamette", MemCopy_P4_Willamette, 64},
    {"P4_Northwood", MemCopy_P4_Northwood, 64},
    {"P4_Prescott", MemCopy_P4_Prescott, 64},
    {"P4_PrescottPlus", MemCopy_P4_PrescottPlus, 64},
};

struct CorePath {
  CopyRoutine routine;
  const char* label;   // NULL: a code not in the table
};

// Code paths by SelectCPUCore code (0..21).
const CorePath kCorePaths[] = {
    {memcpy, "normal"},
    {MemCopy_MMX_I, "'MMX-I' optimized"},
    {MemCopy_MMX_II, "'MMX-II' optimized"},
    {MemCopy_MMX_V, "'MMX-V' optimized"},
    {MemCopy_SSE_2, "'SSE-2' optimized"},
    {MemCopy_K7, "'K7' optimized"},
    {NULL, NULL},
    {NULL, NULL},
    {NULL, NULL},
    {NULL, NULL},
    {MemCopy_Athlon, "'Athlon' optimized"},
    {MemCopy_Athlon, "'AthlonXP' optimized"},
    {MemCopy_Banias, "'Banias' optimized"},
    {MemCopy_Dothan, "'Dothan' optimized"},
    {MemCopy_MMX_II, "'PentiumIII' optimized"},
    {MemCopy_P4_Willamette, "'P4 Willamette' optimized"},
    {MemCopy_P4_Northwood, "'P4 Northwood' optimized"},
    {MemCopy_P4_Prescott, "'P4 Prescott' optimized"},
    {MemCopy_P4_PrescottPlus, "'P4 Prescott+' optimized"},
    {MemCopy_Athlon, "'Athlon64' optimized"},
    {MemCopy_MMX_V, "'Core/Core2' optimized"},
    {MemCopy_SSE_2, "'i5/i7' optimized"},
};

}  // namespace

const CopyRoutineInfo* CPU_CopyRoutines(int* count) {
  if (count) *count = (int)(sizeof kCopyRoutines / sizeof kCopyRoutines[0]);
  return kCopyRoutines;
}

// ---- CPUID ----

extern "C" {

int SelectCPUCore(int code) {
  if (code < 0 || code >= (int)(sizeof kCorePaths / sizeof kCorePaths[0]) || !kCorePaths[code].label) return 0;
  Yandorix_memcpy = kCorePaths[code].routine;
  ILogSystem.Msg(2, " . Selected %s code path.\n", kCorePaths[code].label);
  return 1;
}

int CPU_haveCPUID(void) {
#if defined(__x86_64__)
  unsigned long long before = __builtin_ia32_readeflags_u64();
  __builtin_ia32_writeeflags_u64(before ^ (1ull << 21));
  unsigned long long after = __builtin_ia32_readeflags_u64();
  __builtin_ia32_writeeflags_u64(before);
  return (int)(((before ^ after) >> 21) & 1);
#elif defined(__i386__)
  unsigned int before = __builtin_ia32_readeflags_u32();
  __builtin_ia32_writeeflags_u32(before ^ (1u << 21));
  unsigned int after = __builtin_ia32_readeflags_u32();
  __builtin_ia32_writeeflags_u32(before);
  return (int)(((before ^ after) >> 21) & 1);
#else
  return 0;
#endif
}

int CPU_getCPUIDFamily(void) {
#ifdef YDX_X86
  unsigned int eax, ebx, ecx, edx;
  if (!CPU_haveCPUID() || __get_cpuid_max(0, NULL) < 1) return 0;
  __cpuid(1, eax, ebx, ecx, edx);
  return (int)eax;
#else
  return 0;
#endif
}

int CPU_GetString(char* buffer) {
  if (!buffer) return 0;
  int maxLeaf = 0;
#ifdef YDX_X86
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (CPU_haveCPUID()) __cpuid(0, eax, ebx, ecx, edx);
  maxLeaf = (int)eax;
  if (maxLeaf >= 1) {
    memcpy(buffer, &ebx, 4);
    memcpy(buffer + 4, &edx, 4);
    memcpy(buffer + 8, &ecx, 4);
  }
#endif
  buffer[12] = 0;
  return maxLeaf >= 1 ? maxLeaf : 0;
}

}  // extern "C"

// ---- Detection ----

static const CPUProbe* probeOverride = NULL;

void CPU_OverrideProbe(const CPUProbe* probe) { probeOverride = probe; }

CPUProbe CPU_Probe() {
  if (probeOverride) return *probeOverride;
  CPUProbe probe = CPUProbe();
  probe.hasCPUID = CPU_haveCPUID();
  if (probe.hasCPUID) {
    probe.maxLeaf = CPU_GetString(probe.vendor);
    probe.signature = (unsigned int)CPU_getCPUIDFamily();
  }
  probe.mmx = SDL_HasMMX() ? 1 : 0;
  probe.sse = SDL_HasSSE() ? 1 : 0;
  return probe;
}

namespace {

enum ExtendedModel { kAny, kExtOne, kExtNotOne };
enum NameArgs { kNoArgs, kModelArg, kExtAndModelArgs };

struct NameRule {
  char vendor;
  int family;
  unsigned int models;   // bit n set: model n matches
  ExtendedModel extended;
  const char* format;
  NameArgs args;
  int code;
};

constexpr unsigned int Models(std::initializer_list<int> list) {
  unsigned int mask = 0;
  for (int model : list) mask |= 1u << model;
  return mask;
}
constexpr unsigned int kAllModels = 0xFFFF;

// First match wins; a vendor's family without a rule falls to the "Family" text.
const NameRule kNameRules[] = {
    {'G', 5, kAllModels, kAny, "- Pentium ", kNoArgs, 0},
    {'G', 6, Models({0, 1}), kAny, "- Pentium Pro ", kNoArgs, 0},
    {'G', 6, Models({3, 5}), kExtOne, "- Core i5 (Arrandale) ", kNoArgs, 21},
    {'G', 6, Models({3, 5}), kExtNotOne, "- Pentium II ", kNoArgs, 0},
    {'G', 6, Models({6}), kExtOne, "- Core 2 Single core ", kNoArgs, 20},
    {'G', 6, Models({6}), kExtNotOne, "- Celeron ", kNoArgs, 0},
    {'G', 6, Models({7, 8}), kExtOne, "- Core 2 Dual core ", kNoArgs, 20},
    {'G', 6, Models({7, 8}), kExtNotOne, "- Pentium III ", kNoArgs, 14},
    {'G', 6, Models({9}), kAny, "- Banias ", kNoArgs, 12},
    {'G', 6, Models({10}), kAny, "- Core i7 (Sandy Bridge) ", kNoArgs, 21},
    {'G', 6, Models({12}), kExtOne, "- Core i7 (Westmere) ", kNoArgs, 21},
    {'G', 6, Models({12}), kExtNotOne, "- Atom ", kNoArgs, 12},
    {'G', 6, Models({13}), kAny, "- Dothan ", kNoArgs, 13},
    {'G', 6, Models({14}), kExtOne, "- Core i7 (Nehalem) ", kNoArgs, 21},
    {'G', 6, Models({14}), kExtNotOne, "- Core Duo ", kNoArgs, 20},
    {'G', 6, Models({15}), kAny, "- Core 2 Duo ", kNoArgs, 20},
    {'G', 6, Models({2, 4, 11}), kAny, "- Pentium (%d-%d) ", kExtAndModelArgs, 0},
    {'G', 15, Models({0, 1}), kAny, "- Pentium 4(Willamette) ", kNoArgs, 0},
    {'G', 15, Models({2}), kAny, "- Pentium 4(Northwood) ", kNoArgs, 16},
    {'G', 15, Models({3}), kAny, "- Pentium 4(Prescott) ", kNoArgs, 17},
    {'G', 15, Models({4}), kAny, "- Pentium 4(Prescott+) ", kNoArgs, 18},
    {'G', 15, Models({6}), kAny, "- Pentium 4(DualCore) ", kNoArgs, 18},
    {'G', 15, kAllModels, kAny, "- Pentium 4 (%d-%d) ", kExtAndModelArgs, 0},
    {'A', 5, Models({0, 1, 2, 3, 6, 7}), kAny, "- K6 ", kNoArgs, 0},
    {'A', 5, Models({8}), kAny, "- K6-2 ", kNoArgs, 0},
    {'A', 5, Models({9}), kAny, "- K6-III ", kNoArgs, 0},
    {'A', 5, kAllModels, kAny, "- K5/K6 (%d) ", kModelArg, 0},
    {'A', 6, Models({1, 2, 4}), kAny, "- Athlon ", kNoArgs, 10},
    {'A', 6, Models({3}), kAny, "- Duron(A) ", kNoArgs, 10},
    {'A', 6, Models({6}), kAny, "- AthlonXP(A) ", kNoArgs, 11},
    {'A', 6, Models({7}), kAny, "- Duron(B) ", kNoArgs, 11},
    {'A', 6, Models({8}), kAny, "- Sempron ", kNoArgs, 11},
    {'A', 6, Models({10}), kAny, "- AthlonXP(B) ", kNoArgs, 11},
    {'A', 6, kAllModels, kAny, "- Duron/Athlon (%d)", kModelArg, 10},
    {'A', 15, Models({2}), kAny, "- Phenom X3/X4", kNoArgs, 19},
    {'A', 15, Models({3, 11}), kAny, "- Athlon X2 ", kNoArgs, 19},
    {'A', 15, kAllModels, kAny, "- Athlon64 (%d-%d)", kExtAndModelArgs, 19},
};

bool RuleMatches(const NameRule& rule, char vendor, int family, int model, int extendedModel) {
  if (rule.vendor != vendor || rule.family != family || model < 0 || model > 15) return false;
  if (!(rule.models & (1u << model))) return false;
  if (rule.extended == kExtOne) return extendedModel == 1;
  if (rule.extended == kExtNotOne) return extendedModel != 1;
  return true;
}

}  // namespace

int CPU_NameFor(char vendor, int family, int model, int extendedModel, char* name, size_t size) {
  if (!name || !size) return 0;
  name[0] = 0;
  if (vendor != 'A' && vendor != 'G') return 0;
  for (const NameRule& rule : kNameRules) {
    if (!RuleMatches(rule, vendor, family, model, extendedModel)) continue;
    if (rule.args == kModelArg)
      snprintf(name, size, rule.format, model);
    else if (rule.args == kExtAndModelArgs)
      snprintf(name, size, rule.format, extendedModel, model);
    else
      snprintf(name, size, "%s", rule.format);
    return rule.code;
  }
  snprintf(name, size, "- Family %d - Model: %d-%d ", family, extendedModel, model);
  return 0;
}

// Appends to the description buffer of GetCPUFeatures' buffer form (64 characters).
static void Append(char* buffer, const char* text) {
  size_t used = strlen(buffer);
  snprintf(buffer + used, used < 64 ? 64 - used : 0, "%s", text);
}

int GetCPUFeatures(char* buffer) {
  CPUProbe probe = CPU_Probe();
  if (!probe.hasCPUID) return buffer ? 1 : SelectCPUCore(0);
  if (probe.maxLeaf < 1) {
    if (buffer)
      strcpy(buffer, "CPUID not available! A Pentium class processor is required");
    else
      ILogSystem.Msg(0, " . [Yandorix.GetCPUFeatures()] Error: CPUID not available! Your CPU must be 486 or less\n");
    return 0;
  }
  int family = (probe.signature >> 8) & 15, model = (probe.signature >> 4) & 15;
  int extendedModel = (probe.signature >> 16) & 15;
  char vendor = probe.vendor[0] == 'A' || probe.vendor[0] == 'G' ? probe.vendor[0] : 0;
  char name[64], vendorText[64];
  int code = CPU_NameFor(vendor, family, model, extendedModel, name, sizeof name);
  if (vendor == 'A' || vendor == 'G') {
    snprintf(vendorText, sizeof vendorText, "%s", vendor == 'A' ? "AMD " : "INTEL ");
  } else {
    snprintf(vendorText, sizeof vendorText, "%s - Family %d - Model %d-%d ", probe.vendor, family,
             extendedModel, model);
  }
  if (buffer) {
    buffer[0] = 0;
    Append(buffer, vendorText);
    Append(buffer, name);
  } else {
    if (vendor == 'A' || vendor == 'G')
      ILogSystem.Msg(0, " . Running on %s processor ", vendor == 'A' ? "AMD" : "INTEL");
    else
      ILogSystem.Msg(0, " . Running on %s - Family %d - Model: %d-%d  ", probe.vendor, family, extendedModel, model);
    if (name[0]) ILogSystem.Msg(0, "%s", name);
  }
  if (!probe.mmx) {
    if (buffer)
      strcpy(buffer, "MMX not available! MMX instruction set are required");
    else
      ILogSystem.Msg(0, " . [Yandorix.GetCPUFeatures()] Error: MMX not present!.\n");
    return 0;
  }
  if (buffer) {
    Append(buffer, "- MMX ");
    if (probe.sse) Append(buffer, "- SSE");
    return 1;
  }
  ILogSystem.Msg(0, "- MMX");
  if (probe.sse) ILogSystem.Msg(0, " - SSE");
  ILogSystem.Msg(0, "\n");
  return SelectCPUCore(code);
}

int Yandorix_Main::GetCPUName(char* buffer) { return GetCPUFeatures(buffer); }
