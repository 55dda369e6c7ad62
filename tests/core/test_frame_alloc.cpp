// One Update pass allocates nothing: a counting operator new watches 10,000 passes of a running frame
// loop with a screen, both overlay windows, a render callback and input events.
#include "CoreTest.h"
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocationCount{0};
int rendered = 0;
void Render(int) { rendered++; }
}  // namespace

// Counting replacements for the whole test program (every other test is unaffected by the count).
void* operator new(size_t size) {
  allocationCount++;
  if (void* block = malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

class FrameAllocationTest : public CoreTest {};

TEST_F(FrameAllocationTest, TenThousandPassesAllocateNothing) {
  StartLibrary();
  long beforeScreen = allocationCount.load();
  OpenScreen();
  ASSERT_GT(allocationCount.load(), beforeScreen) << "the library's own allocations must be counted";
  ITimeSystem->Init(0);
  ITimeSystem->SetRate(60, 20);
  Yandorix.SetRenderCallback(Render);
  MainPrivate()->console->Enable();
  MainPrivate()->debugwindow->Enable();
  Yandorix.ConSetVisible(1);
  Yandorix.RenderNeeded(2);
  for (int warmup = 0; warmup < 100; warmup++) Yandorix.Update(NULL);

  SDL_Event event;
  long before = allocationCount.load();
  for (int pass = 0; pass < 10000; pass++) {
    if (pass % 100 == 0) {
      SDL_Event motion = SDL_Event();
      motion.type = SDL_MOUSEMOTION;
      SDL_PushEvent(&motion);
    }
    ydxtest::ManualClock::Advance(pass % 3);
    Yandorix.Update(pass % 2 ? &event : NULL);
  }
  long during = allocationCount.load() - before;
  EXPECT_EQ(during, 0);
  EXPECT_GT(rendered, 100);
  EXPECT_GT(ITimeSystem->GetLogicFrames(), 100);
}
