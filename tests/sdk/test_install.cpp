// The SDK as a game programmer gets it: installed into a prefix of its own, then a small application
// built against the installed files through pkg-config alone, and run.
#include "YdxTest.h"
#include <cstdlib>
#include <sys/wait.h>

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char kGame[] = R"GAME(#include <Yandorix.h>
#include <stdio.h>

int main() {
  ILogSystem.Init((char*)"game.log", 2, 5, (char*)"Game", NULL, NULL, NULL);
  if (Yandorix.Init(SDL_INIT_TIMER) != 1) return 1;
  char* version = Yandorix.GetVersion();
  printf("%s crc %08x\n", version, Yandorix.CRC32((char*)"123456789", 9));
  Yandorix.Quit();
  return 0;
}
)GAME";

}  // namespace

class SdkTest : public YdxTest {};

TEST_F(SdkTest, TheInstalledSdkBuildsAndRunsAnApplicationThroughPkgConfig) {
  std::string prefix = dir + "/sdk", libdir = prefix + "/" YDX_INSTALL_LIBDIR;
  ASSERT_EQ(Shell(Quoted(YDX_CMAKE_COMMAND) + " --install " + Quoted(YDX_BINARY_DIR) + " --prefix " + Quoted(prefix) +
                " > install.log 2>&1"), 0) << ydxtest::ReadFile("install.log");
  for (const std::string& file : {libdir + "/libYandorix.so", libdir + "/libYandorix.so.5",
                                 libdir + "/libYandorix.so.5.22", libdir + "/pkgconfig/yandorix.pc",
                                 prefix + "/include/Yandorix.h", prefix + "/include/yandorix/StuffDPF.h"})
    EXPECT_TRUE(ydxtest::FileExists(file)) << file;
  ASSERT_EQ(Shell("readelf -d " + Quoted(libdir + "/libYandorix.so.5.22") + " > library.txt"), 0);
  EXPECT_TRUE(Has(ydxtest::ReadFile("library.txt"), "Library soname: [libYandorix.so.5]"));

  // Only the installed files and pkg-config: SDL's flags come along with the SDK's.
  std::string pkgconfig = "PKG_CONFIG_PATH=" + Quoted(libdir + "/pkgconfig") + " pkg-config";
  ASSERT_EQ(Shell(pkgconfig + " --cflags --libs yandorix > flags.txt"), 0);
  std::string flags = ydxtest::ReadFile("flags.txt");
  EXPECT_TRUE(Has(flags, "-lYandorix")) << flags;
  EXPECT_TRUE(Has(flags, "-lSDL")) << flags;
  EXPECT_TRUE(Has(flags, "/SDL")) << flags;   // SDL's include directory, for <SDL.h>
  ASSERT_TRUE(ydxtest::WriteFile("game.cpp", kGame));
  // A sanitized library needs its runtime loaded first, so the application is built the same way.
  std::string sanitizer = YDX_SANITIZED ? " -fsanitize=address,undefined" : "";
  ASSERT_EQ(Shell(Quoted(YDX_CXX_COMPILER) + " game.cpp -o game" + sanitizer + " $(" + pkgconfig +
                " --cflags --libs yandorix) > build.txt 2>&1"), 0) << ydxtest::ReadFile("build.txt");
  ASSERT_EQ(Shell("readelf -d game > game.txt"), 0);
  EXPECT_TRUE(Has(ydxtest::ReadFile("game.txt"), "Shared library: [libYandorix.so.5]"));
  ASSERT_EQ(Shell("LD_LIBRARY_PATH=" + Quoted(libdir) + " ./game > out.txt 2>&1"), 0) << ydxtest::ReadFile("out.txt");
  EXPECT_EQ(ydxtest::ReadFile("out.txt"), "Yandorix SDK Win32 v5.22 (build 3336) crc cbf43926\n");
  EXPECT_TRUE(Has(ydxtest::ReadFile("game.log"), "Yandorix successfully closed."));
}
