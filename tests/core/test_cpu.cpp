// Processor detection and the copy routines: the naming table as a pure function, detection on
// substituted processors, code-path selection, and every routine against memcpy.
#include "CoreTest.h"
#include "04_CPU.h"
#include <vector>

class CPUTest : public CoreTest {
 protected:
  void TearDown() override {
    CPU_OverrideProbe(NULL);
    Yandorix_memcpy = memcpy;
    CoreTest::TearDown();
  }
  static CPUProbe Processor(const char* vendor, int family, int model, int extendedModel) {
    CPUProbe probe = CPUProbe();
    probe.hasCPUID = 1;
    probe.maxLeaf = 13;
    snprintf(probe.vendor, sizeof probe.vendor, "%s", vendor);
    probe.signature = (unsigned)(family << 8 | model << 4 | extendedModel << 16);
    probe.mmx = 1;
    probe.sse = 1;
    return probe;
  }
  static CopyRoutine Routine(const char* name) {
    int count = 0;
    const CopyRoutineInfo* routines = CPU_CopyRoutines(&count);
    for (int i = 0; i < count; i++)
      if (strcmp(routines[i].name, name) == 0) return routines[i].routine;
    return NULL;
  }
};

TEST_F(CPUTest, NamingTable) {
  struct Case {
    char vendor;
    int family, model, extendedModel;
    const char* name;
    int code;
  } cases[] = {
      {'G', 6, 7, 0, "- Pentium III ", 14},
      {'G', 6, 7, 1, "- Core 2 Dual core ", 20},
      {'G', 6, 3, 1, "- Core i5 (Arrandale) ", 21},
      {'G', 6, 12, 0, "- Atom ", 12},
      {'G', 6, 14, 1, "- Core i7 (Nehalem) ", 21},
      {'G', 6, 11, 2, "- Pentium (2-11) ", 0},
      {'G', 5, 4, 0, "- Pentium ", 0},
      {'G', 15, 1, 0, "- Pentium 4(Willamette) ", 0},
      {'G', 15, 4, 0, "- Pentium 4(Prescott+) ", 18},
      {'G', 15, 9, 0, "- Pentium 4 (0-9) ", 0},
      {'G', 7, 2, 3, "- Family 7 - Model: 3-2 ", 0},
      {'A', 5, 8, 0, "- K6-2 ", 0},
      {'A', 5, 11, 0, "- K5/K6 (11) ", 0},
      {'A', 6, 8, 0, "- Sempron ", 11},
      {'A', 6, 13, 0, "- Duron/Athlon (13)", 10},
      {'A', 15, 2, 0, "- Phenom X3/X4", 19},
      {'A', 15, 11, 0, "- Athlon X2 ", 19},
      {'A', 15, 1, 4, "- Athlon64 (4-1)", 19},
      {'A', 4, 1, 0, "- Family 4 - Model: 0-1 ", 0},
      {'C', 6, 15, 0, "", 0},
  };
  for (const Case& c : cases) {
    char name[64];
    EXPECT_EQ(CPU_NameFor(c.vendor, c.family, c.model, c.extendedModel, name, sizeof name), c.code)
        << c.vendor << c.family << "/" << c.model;
    EXPECT_STREQ(name, c.name);
  }
}

TEST_F(CPUTest, DescriptionOfSubstitutedProcessors) {
  char buffer[64];
  CPUProbe intel = Processor("GenuineIntel", 6, 7, 1);
  CPU_OverrideProbe(&intel);
  ASSERT_EQ(Yandorix.GetCPUName(buffer), 1);
  EXPECT_STREQ(buffer, "INTEL - Core 2 Dual core - MMX - SSE");

  CPUProbe other = Processor("CentaurHauls", 6, 15, 0);
  other.sse = 0;
  CPU_OverrideProbe(&other);
  ASSERT_EQ(Yandorix.GetCPUName(buffer), 1);
  EXPECT_STREQ(buffer, "CentaurHauls - Family 6 - Model 0-15 - MMX ");

  CPUProbe noMMX = Processor("AuthenticAMD", 6, 6, 0);
  noMMX.mmx = 0;
  CPU_OverrideProbe(&noMMX);
  EXPECT_EQ(Yandorix.GetCPUName(buffer), 0);
  EXPECT_STREQ(buffer, "MMX not available! MMX instruction set are required");

  CPUProbe noLeaf = Processor("GenuineIntel", 5, 0, 0);
  noLeaf.maxLeaf = 0;
  CPU_OverrideProbe(&noLeaf);
  EXPECT_EQ(Yandorix.GetCPUName(buffer), 0);
  EXPECT_STREQ(buffer, "CPUID not available! A Pentium class processor is required");

  CPUProbe noCPUID = CPUProbe();
  CPU_OverrideProbe(&noCPUID);
  strcpy(buffer, "untouched");
  EXPECT_EQ(Yandorix.GetCPUName(buffer), 1);
  EXPECT_STREQ(buffer, "untouched");
}

TEST_F(CPUTest, DetectionLogsAndSelectsTheCodePath) {
  ydxtest::StartLog();
  CPUProbe intel = Processor("GenuineIntel", 6, 7, 1);
  CPU_OverrideProbe(&intel);
  ASSERT_EQ(GetCPUFeatures(NULL), 1);
  EXPECT_EQ(Yandorix_memcpy, Routine("MMX_V"));
  CPUProbe willamette = Processor("GenuineIntel", 15, 1, 0);
  CPU_OverrideProbe(&willamette);
  ASSERT_EQ(GetCPUFeatures(NULL), 1);
  EXPECT_EQ(Yandorix_memcpy, (CopyRoutine)memcpy);   // named, but the normal path
  CPUProbe noCPUID = CPUProbe();
  CPU_OverrideProbe(&noCPUID);
  EXPECT_EQ(GetCPUFeatures(NULL), 1);
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, " . Running on INTEL processor - Core 2 Dual core - MMX - SSE\n"
                             " . Selected 'Core/Core2' optimized code path.\n"));
  EXPECT_TRUE(Contains(text, " . Running on INTEL processor - Pentium 4(Willamette) - MMX - SSE\n"
                             " . Selected normal code path.\n"));
  EXPECT_EQ(Count(text, " . Selected normal code path.\n"), 2u);
}

TEST_F(CPUTest, SelectCPUCoreTable) {
  ydxtest::StartLog();
  EXPECT_EQ(Yandorix_memcpy, (CopyRoutine)memcpy);   // before any selection
  EXPECT_EQ(SelectCPUCore(7), 0);
  EXPECT_EQ(SelectCPUCore(-1), 0);
  EXPECT_EQ(SelectCPUCore(22), 0);
  EXPECT_EQ(Yandorix_memcpy, (CopyRoutine)memcpy);
  EXPECT_EQ(ydxtest::LogText().find("Selected"), std::string::npos);
  EXPECT_EQ(SelectCPUCore(14), 1);
  EXPECT_EQ(Yandorix_memcpy, Routine("MMX_II"));
  EXPECT_EQ(SelectCPUCore(1), 1);
  EXPECT_EQ(Yandorix_memcpy, Routine("MMX_I"));
  EXPECT_EQ(SelectCPUCore(0), 1);
  EXPECT_EQ(Yandorix_memcpy, (CopyRoutine)memcpy);
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . Selected 'PentiumIII' optimized code path.\n"
                                           " . Selected 'MMX-I' optimized code path.\n"
                                           " . Selected normal code path.\n"));
}

TEST_F(CPUTest, HardwareReadings) {
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(CPU_haveCPUID(), 1);
  char vendor[13];
  memset(vendor, 'x', sizeof vendor);
  EXPECT_GE(CPU_GetString(vendor), 1);
  EXPECT_EQ(strlen(vendor), 12u);
  EXPECT_NE(CPU_getCPUIDFamily(), 0);
  char buffer[64];
  EXPECT_EQ(Yandorix.GetCPUName(buffer), 1);
  EXPECT_TRUE(Contains(buffer, "- MMX"));
#else
  GTEST_SKIP() << "CPUID exists on x86 only";
#endif
}

TEST_F(CPUTest, EveryRoutineCopiesLikeMemcpy) {
  const size_t kGuard = 16, kMaxLength = 300, kMaxOffset = 8;
  std::vector<unsigned char> source(kMaxLength + kMaxOffset + 600);   // room for the prefetch distance
  for (size_t i = 0; i < source.size(); i++) source[i] = (unsigned char)(i * 37 + 11);
  std::vector<unsigned char> actual(kGuard + kMaxOffset + kMaxLength + kGuard);
  std::vector<unsigned char> expected(actual.size());
  int count = 0;
  const CopyRoutineInfo* routines = CPU_CopyRoutines(&count);
  ASSERT_EQ(count, 12);
  for (int r = 0; r < count; r++)
    for (size_t from = 0; from < kMaxOffset; from++)
      for (size_t to = 0; to < kMaxOffset; to++)
        for (size_t length = 0; length <= kMaxLength; length++) {
          memset(actual.data(), 0xA5, actual.size());
          memset(expected.data(), 0xA5, expected.size());
          void* result = routines[r].routine(&actual[kGuard + to], &source[from], length);
          memcpy(&expected[kGuard + to], &source[from], length);
          ASSERT_EQ(result, &actual[kGuard + to]);
          ASSERT_EQ(actual, expected) << routines[r].name << " from+" << from << " to+" << to << " length " << length;
        }
}
