// The file layer: paths written with '\' reach the same files as with '/', through the layer itself and
// through the library's operations that take file names; replaced files appear only when complete, a
// link keeps pointing at the replaced file, and what is not a regular file is never replaced.
#include "CoreTest.h"
#include "00_Platform.h"
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(PlatformTest, ReplacedFilesFollowLinksAndOnlyRegularFilesAreReplaced) {
  StartLibrary();
  ASSERT_EQ(mkdir("real", 0777), 0);
  ASSERT_TRUE(ydxtest::WriteFile("real/doc.xml", "<old/>"));
  ASSERT_EQ(symlink("real/doc.xml", "link.xml"), 0);
  ASSERT_EQ(symlink("doc.xml", "real/relative.xml"), 0);   // relative to the link's own directory
  ASSERT_EQ(symlink("fifo", "fifo-link"), 0);
  ASSERT_EQ(mkfifo("fifo", 0644), 0);
  const struct {
    const char* path;
    int saved;
    const char* line;   // the refusal's line
  } cases[] = {
      {"link.xml", 1, ""},
      {"real/relative.xml", 1, ""},
      {"fifo", 0, " . [Yandorix] Error: 'fifo' is not a regular file, so it is not replaced.\n"},
      {"fifo-link", 0, " . [Yandorix] Error: 'fifo-link' leads to 'fifo', which is not a regular file, so it is not "
                       "replaced.\n"},
  };
  int h = Yandorix.XMLCreate("new");
  for (const auto& c : cases) {
    EXPECT_EQ(Yandorix.XMLSave(h, c.path), c.saved) << c.path;
    EXPECT_TRUE(Contains(ydxtest::LogText(), c.line)) << c.path;
  }
  Yandorix.XMLClose(h);
  struct stat st;
  for (const char* link : {"link.xml", "real/relative.xml", "fifo-link"})
    EXPECT_TRUE(lstat(link, &st) == 0 && S_ISLNK(st.st_mode)) << link;
  EXPECT_TRUE(lstat("fifo", &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_NE(ydxtest::ReadFile("real/doc.xml").find("<new />"), std::string::npos);
}
