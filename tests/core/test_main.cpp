// The main object: layout and defaults, Init and Quit with their order and warnings, repeated calls,
// and refusal on a processor without MMX.
#include "CoreTest.h"
#include "04_CPU.h"

class MainTest : public CoreTest {};

static const char* const kServices[] = {"IStuffDPF", "IImage", "ICursor", "IPrimitives", "IButton",
                                        "IScreenFX", "ITimeSystem", "INetwork", "IVideo", "ISoundFX"};

static void* const* ServicePointers() {
  static void* pointers[10];
  void* current[10] = {IStuffDPF, IImage, ICursor, IPrimitives, IButton, IScreenFX, ITimeSystem, INetwork, IVideo,
                       ISoundFX};
  for (int i = 0; i < 10; i++) pointers[i] = current[i];
  return pointers;
}

TEST_F(MainTest, ConfigurationHeadMatchesTheRecord) {
  // LoadConfig/SaveConfig read the head of the main object as a configuration record.
  Yandorix_Main::sConfig config;
  const char* head = reinterpret_cast<const char*>(&Yandorix);
  const char* record = reinterpret_cast<const char*>(&config);
#define YDX_SAME_OFFSET(field) \
  EXPECT_EQ(reinterpret_cast<const char*>(&Yandorix.field) - head, reinterpret_cast<const char*>(&config.field) - record) << #field
  YDX_SAME_OFFSET(title);
  YDX_SAME_OFFSET(icon);
  YDX_SAME_OFFSET(mtfriendly);
  YDX_SAME_OFFSET(colordepth);
  YDX_SAME_OFFSET(resolutionx);
  YDX_SAME_OFFSET(audioformat);
  YDX_SAME_OFFSET(audiobuffer);
  YDX_SAME_OFFSET(soundvol);
#undef YDX_SAME_OFFSET
  EXPECT_STREQ(Yandorix.title, "Yandorix SDK Application");
  EXPECT_EQ(Yandorix.audioformat, 32776);
  EXPECT_NE(Yandorix.audioformat, 8);   // so the default selects 16-bit samples
  EXPECT_EQ(Yandorix.renderer, 1);
  EXPECT_EQ(Yandorix.resolutionx, 640);
  EXPECT_EQ(Yandorix.resolutiony, 480);
  EXPECT_EQ(Yandorix.inittime, -1);
  EXPECT_EQ(strlen(Yandorix.GetCopyright()), 26u);
  for (int i = 0; i < 10; i++) EXPECT_EQ(ServicePointers()[i], nullptr) << kServices[i];
}

TEST_F(MainTest, InitCreatesServicesInOrderAndQuitDeletesInReverse) {
  StartLibrary();
  EXPECT_EQ(Yandorix.inittime, 1000);
  EXPECT_TRUE(Yandorix_IsInitialised());
  for (int i = 0; i < 10; i++) EXPECT_NE(ServicePointers()[i], nullptr) << kServices[i];
  OpenScreen();
  ydxtest::ManualClock::Advance(50);
  Yandorix.Quit();
  for (int i = 0; i < 10; i++) EXPECT_EQ(ServicePointers()[i], nullptr) << kServices[i];
  EXPECT_EQ(Yandorix.screen, nullptr);
  EXPECT_EQ(Yandorix.inittime, 1000);   // kept for applications; the library asks the flag
  EXPECT_FALSE(Yandorix_IsInitialised());

  std::string text = ydxtest::LogText();
  size_t previous = 0;
  for (const char* name : kServices) {
    size_t at = text.find(std::string(" . [") + name + "] Interfaz created.\n");
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_GT(at, previous) << name;
    previous = at;
  }
  EXPECT_GT(text.find("\n . Yandorix successfully initiated.\n"), previous);
  for (int i = 9; i >= 0; i--) {
    size_t at = text.find(std::string(" . [") + kServices[i] + "] Interfaz deleted.\n");
    ASSERT_NE(at, std::string::npos) << kServices[i];
    EXPECT_GT(at, previous) << kServices[i];
    previous = at;
  }
  EXPECT_GT(text.find("\n . Yandorix successfully closed.\n\n"), previous);
}

TEST_F(MainTest, QuitWarnsAboutLeftObjectsAndSecondQuitIsSilent) {
  StartLibrary();
  Yandorix.numtiles = 2;
  Yandorix.numfonts = 1;
  Yandorix.Quit();
  Yandorix.numtiles = Yandorix.numfonts = 0;
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, "\n . [CTiles] Warning! your application have left 2 tiles without deleting."
                             "\n . [CFonts] Warning! your application have left 1 fonts without deleting."
                             "\n . Yandorix successfully closed.\n\n"));
  EXPECT_FALSE(Contains(text, "[CSprites]"));
  Yandorix.Quit();
  EXPECT_EQ(ydxtest::LogText(), text);
}

TEST_F(MainTest, SecondInitWarnsAndKeepsTheServices) {
  StartLibrary();
  Yandorix_IStuffDPF* archive = IStuffDPF;
  ydxtest::ManualClock::Advance(10);
  EXPECT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  EXPECT_EQ(IStuffDPF, archive);
  EXPECT_EQ(Yandorix.inittime, 1000);
  EXPECT_EQ(Count(ydxtest::LogText(), "] Interfaz created.\n"), 10u);
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [Yandorix.Init()] Warning: Yandorix was already initialized.\n"));
}

TEST_F(MainTest, InitAfterQuitStartsAgain) {
  StartLibrary();
  Yandorix.Quit();
  ydxtest::ManualClock::Advance(500);
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  EXPECT_EQ(Yandorix.inittime, 1500);
  EXPECT_NE(ITimeSystem, nullptr);
  OpenScreen();
}

TEST_F(MainTest, ProcessorWithoutMMXIsRefused) {
  ydxtest::StartLog();
  CPUProbe probe = CPU_Probe();
  probe.mmx = 0;
  CPU_OverrideProbe(&probe);
  EXPECT_EQ(Yandorix.Init(SDL_INIT_VIDEO), -1);
  CPU_OverrideProbe(NULL);
  EXPECT_EQ(IStuffDPF, nullptr);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(Yandorix.inittime, -1);
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [Yandorix.GetCPUFeatures()] Error: MMX not present!.\n"));
}

TEST_F(MainTest, FailedSDLStartCreatesNothing) {
  ydxtest::StartLog();
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  EXPECT_EQ(Yandorix.Init(SDL_INIT_VIDEO), -1);
  EXPECT_EQ(IStuffDPF, nullptr);
  EXPECT_FALSE(Yandorix_IsInitialised());
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [Yandorix.Init()] Error: Couldn't initialize SDL 1.2: "));
}

TEST_F(MainTest, QuitFreesTheIcon) {
  StartLibrary();
  Yandorix.icon = SDL_CreateRGBSurface(SDL_SWSURFACE, 32, 32, 32, 0, 0, 0, 0);
  OpenScreen();
  Yandorix.Quit();
  EXPECT_EQ(Yandorix.icon, nullptr);   // the sanitizer run would report a leak otherwise
}
