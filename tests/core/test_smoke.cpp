// Start-up and shutdown of the library on the dummy drivers.
#include "YdxTest.h"
#include "01_Main.h"

TEST_F(YdxTest, InitCreatesServicesAndQuitReleasesThem) {
  ydxtest::StartLog();
  EXPECT_EQ(Yandorix.inittime, -1);
  EXPECT_EQ(IStuffDPF, nullptr);
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  EXPECT_NE(Yandorix.inittime, -1);
  EXPECT_NE(IStuffDPF, nullptr);
  EXPECT_NE(ISoundFX, nullptr);
  Yandorix.Quit();
  EXPECT_EQ(IStuffDPF, nullptr);
  EXPECT_EQ(ISoundFX, nullptr);
  EXPECT_NE(ydxtest::LogText().find("\n . Yandorix successfully initiated.\n"), std::string::npos);
}
