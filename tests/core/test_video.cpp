// SetVideoMode on the dummy driver (8-bit desktop): depth rules, warnings, back-end codes, failed
// back-end switches, and the replacement of the overlay windows.
#include "CoreTest.h"
#include <cstdlib>

class VideoTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    StartLibrary();
  }
  static std::string Driver() {
    const char* value = getenv("SDL_VIDEODRIVER");
    return value ? value : "";
  }
};

static const char kPrefix[] = " . [Yandorix.SetVideoMode()] ";

TEST_F(VideoTest, RefusedWithoutVideoSubsystem) {
  Yandorix.Quit();
  EXPECT_EQ(Yandorix.SetVideoMode(), 0);
  EXPECT_TRUE(Contains(ydxtest::LogText(), std::string(kPrefix) + "Error: SDL_INIT_VIDEO was not initialized.\n"));
}

TEST_F(VideoTest, Depth24OpensAt32WithWarnings) {
  OpenScreen(24);
  EXPECT_EQ(Yandorix.colordepth, 32);
  EXPECT_EQ(Yandorix.screen->format->BitsPerPixel, 32);
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, std::string(kPrefix) +
                                 "Warning: failed attempt to set a 24bpp video mode.\n   It was changed to 32bpp.\n"));
  EXPECT_TRUE(Contains(text, std::string(kPrefix) + "Warning: running on window mode using different color depth "
                                                    "of your desktop will slow down the application.\n"));
  EXPECT_EQ(Yandorix.IsGL(), 0);
  EXPECT_EQ(Yandorix.renderer, 1);   // the dummy driver has no back-end code
}

TEST_F(VideoTest, DepthZeroIsDesktopInWindowAnd32FullScreen) {
  OpenScreen(0);
  EXPECT_EQ(Yandorix.screen->format->BitsPerPixel, 8);
  Yandorix.window = 0;
  Yandorix.colordepth = 0;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  EXPECT_EQ(Yandorix.colordepth, 32);
  EXPECT_EQ(Yandorix.screen->format->BitsPerPixel, 32);
  EXPECT_TRUE(Yandorix.screen->flags & SDL_FULLSCREEN);
  EXPECT_FALSE(Contains(ydxtest::LogText(), "instead of your requested full screen"));
}

TEST_F(VideoTest, HardwareDoubleBufferRequestWarnsAndSucceeds) {
  Yandorix.accel = 2;
  OpenScreen(32);
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, "Warning: running on software mode instead of your requested hardware mode.\n"));
  EXPECT_TRUE(Contains(text, "Warning: using a single-buffer instead of your requested double-buffer.\n"));
  EXPECT_EQ(Yandorix.backupsurfaces, 0);
}

TEST_F(VideoTest, SecondCallReplacesTheWindows) {
  OpenScreen(32);
  MainPrivate()->console->Enable();
  Yandorix.ConFeatures(4);   // shown at once, without the fade
  Yandorix.ConSetVisible(1);
  ASSERT_EQ(Yandorix.ConisVisible(), 1);
  OpenScreen(32, 800, 600);
  EXPECT_EQ(Yandorix.screen->w, 800);
  EXPECT_EQ(MainPrivate()->console->isEnabled(), 0);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  EXPECT_NE(MainPrivate()->debugwindow, nullptr);
}

TEST_F(VideoTest, WindowsOnlyBackendsWarnAndDetect) {
  Yandorix.renderer = 2;
  OpenScreen(32);
  EXPECT_EQ(Yandorix.renderer, 1);
  EXPECT_TRUE(Contains(ydxtest::LogText(), "Warning: the 'windib' backend exists on Win32 only"));
  EXPECT_EQ(Driver(), "dummy");
}

TEST_F(VideoTest, OpenGLRequestFailsAndLeavesVideoUsable) {
  unsetenv("DISPLAY");   // the X11 driver the OpenGL back end runs on cannot start
  OpenScreen(32, 320, 240);
  Yandorix.renderer = 64;
  EXPECT_EQ(Yandorix.SetVideoMode(), 0);
  EXPECT_TRUE(Contains(ydxtest::LogText(), std::string(kPrefix) + "Error: "));
  EXPECT_EQ(Yandorix.IsGL(), 0);
  EXPECT_EQ(Driver(), "dummy");
  ASSERT_NE(Yandorix.screen, nullptr);   // the previous mode came back
  EXPECT_EQ(Yandorix.screen->w, 320);
  EXPECT_EQ(SDL_GetVideoSurface(), Yandorix.screen);
  Yandorix.renderer = 1;
  OpenScreen(32);
}

TEST_F(VideoTest, FailedBackendSwitchRestoresDriverAndMode) {
  unsetenv("DISPLAY");   // the x11 driver cannot start
  OpenScreen(32, 320, 240);
  Yandorix.renderer = 8;
  EXPECT_EQ(Yandorix.SetVideoMode(), 0);
  EXPECT_TRUE(Contains(ydxtest::LogText(), std::string(kPrefix) + "Error: could not initialize SDL video system (8)"));
  EXPECT_EQ(Driver(), "dummy");
  EXPECT_TRUE(SDL_WasInit(SDL_INIT_VIDEO));
  ASSERT_NE(Yandorix.screen, nullptr);
  EXPECT_EQ(Yandorix.screen, SDL_GetVideoSurface());
  EXPECT_EQ(Yandorix.screen->w, 320);
  EXPECT_EQ(Yandorix.screen->format->BitsPerPixel, 32);
  Yandorix.renderer = 1;
  OpenScreen(32);
}

TEST_F(VideoTest, CursorVisibilityIsKept) {
  SDL_ShowCursor(SDL_DISABLE);
  OpenScreen(32);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}
