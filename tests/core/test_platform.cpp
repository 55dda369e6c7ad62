// The file layer: paths written with '\' reach the same files as with '/', through the layer itself and
// through the library's operations that take file names; replaced files appear only when complete.
#include "CoreTest.h"
#include "00_Platform.h"
#include <sys/stat.h>

class PlatformTest : public CoreTest {};

TEST_F(PlatformTest, BackslashPathsReachTheSameFiles) {
  ASSERT_EQ(Yandorix.MakeDirectory("maps\\deep\\level.qbm"), 1);
  struct stat st;
  ASSERT_EQ(stat("maps/deep", &st), 0);
  ASSERT_TRUE(ydxtest::WriteFile("maps/deep/level.qbm", "<qbse_level name=\"a\"/>"));
  EXPECT_EQ(ydxplat::Stat("maps\\deep\\level.qbm", &st), 0);
  int fd = ydxplat::Open("maps\\deep\\level.qbm", ydxplat::kRead);
  ASSERT_GE(fd, 0);
  ydxplat::Close(fd);
  EXPECT_EQ(Yandorix.CRC32("maps\\deep\\level.qbm"), Yandorix.CRC32("maps/deep/level.qbm"));
  EXPECT_NE(Yandorix.CRC32("maps\\deep\\level.qbm"), 0u);
  EXPECT_TRUE(ydxplat::SameFile("maps\\deep\\level.qbm", "./maps/deep/level.qbm"));

  ASSERT_EQ(Yandorix.Init(SDL_INIT_TIMER), 1);
  int h = Yandorix.XMLOpen("maps\\deep\\level.qbm");
  EXPECT_GT(h, 0);
  Yandorix.XMLClose(h);
  Yandorix.Quit();

  ydxplat::ReplaceFile out;
  ASSERT_TRUE(out.Begin("maps\\deep\\new.txt"));
  ASSERT_TRUE(out.Write("done", 4));
  EXPECT_FALSE(ydxtest::FileExists("maps/deep/new.txt"));   // nothing appears before the commit
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(ydxtest::ReadFile("maps/deep/new.txt"), "done");
  EXPECT_EQ(ydxplat::Rename("maps\\deep\\new.txt", "maps\\deep\\moved.txt"), 0);
  EXPECT_EQ(ydxplat::Remove("maps\\deep\\moved.txt"), 0);
  EXPECT_FALSE(ydxtest::FileExists("maps/deep/moved.txt"));
}

TEST_F(PlatformTest, TheLogFileAcceptsBackslashPaths) {
  ASSERT_EQ(mkdir("logs", 0777), 0);
  ILogSystem.Init("logs\\game.log", 2, 5, "title", NULL, NULL, NULL);
  ILogSystem.Msg(0, "a line\n");
  EXPECT_NE(ydxtest::ReadFile("logs/game.log").find("a line\n"), std::string::npos);
  EXPECT_FALSE(ydxtest::FileExists("ILogSysError.txt"));
}
