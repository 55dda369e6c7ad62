// The programs of the guide and the README, as a reader builds and runs them: each must end by itself
// with 0, print exactly what the page shows under it, and leave no Error line and no undeleted tile,
// font or sprite in its logs. The network chat runs as two programs in two directories, the renderer
// listing also in a virtual X display with OpenGL, and the movie listings also with a movie to play.
#include "YdxTest.h"
#include "SoundAssets.h"
#include "XvfbServer.h"
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Listing {
  std::string name, program, expected, page;
  std::vector<std::string> flags;
  bool Has(const std::string& flag) const { return std::find(flags.begin(), flags.end(), flag) != flags.end(); }
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

// The manifest written at configure time: "name|flags|program|expected output or -|page" per line.
std::vector<Listing> ReadManifest() {
  std::vector<Listing> listings;
  for (const std::string& line : Split(ydxtest::ReadFile(YDX_DOCS_MANIFEST), '\n')) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
    if (fields.size() != 5) continue;
    listings.push_back({fields[0], fields[2], fields[3], fields[4], Split(fields[1], ' ')});
  }
  return listings;
}

const Listing* FindListing(const std::string& flag) {
  static const std::vector<Listing> all = ReadManifest();
  for (const Listing& listing : all)
    if (listing.Has(flag)) return &listing;
  return nullptr;
}

// Starts `argv` in `dir` with stdout and stderr in files there; the process id, or -1. The program sees
// no X display unless `display` names one.
pid_t Start(const std::string& dir, const std::vector<std::string>& argv, const std::string& display = "") {
  pid_t child = fork();
  if (child != 0) return child;
  int out = open((dir + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open((dir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (chdir(dir.c_str()) != 0 || out < 0 || err < 0) _exit(126);
  // No X display of the developer's: what the pages show is a run without one, or in the test's own.
  if (display.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", display.c_str(), 1);
  dup2(out, 1);
  dup2(err, 2);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// Waits for the process; its exit code, or -1 when it crashed or had to be killed after `seconds`, a
// bound that only ends a hang.
int Finish(pid_t child, int seconds) {
  int status = 0;
  if (ydxtest::WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, seconds * 1000))
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return -1;
}

std::string MakeDirectory(const std::string& path) {
  mkdir(path.c_str(), 0755);
  return path;
}

// What went wrong in the logs the program left in `dir`: Error lines (unless the listing shows them
// on purpose) and the warnings of Quit about tiles, fonts and sprites left undeleted.
std::string LogComplaints(const std::string& dir, bool errorsShown) {
  std::string complaints;
  DIR* entries = opendir(dir.c_str());
  if (!entries) return "no directory " + dir;
  while (dirent* entry = readdir(entries)) {
    std::string file = entry->d_name;
    if (file.size() < 4 || file.compare(file.size() - 4, 4, ".log") != 0) continue;
    for (const std::string& line : Split(ydxtest::ReadFile(dir + "/" + file), '\n')) {
      bool error = line.find("] Error") != std::string::npos;
      if ((error && !errorsShown) || line.find("without deleting") != std::string::npos)
        complaints += file + ": " + line + "\n";
    }
  }
  closedir(entries);
  return complaints;
}

std::string Describe(const Listing& listing, const std::string& dir) {
  return "listing " + listing.name + " of " + listing.page + "\nstdout:\n" + ydxtest::ReadFile(dir + "/stdout.txt") +
         "stderr:\n" + ydxtest::ReadFile(dir + "/stderr.txt");
}

// Runs a listing in `dir` with extra arguments; its exit code.
int RunListing(const Listing& listing, const std::string& dir, const std::vector<std::string>& arguments = {},
               int seconds = 60) {
  std::vector<std::string> argv = {listing.program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  pid_t child = Start(dir, argv);
  return child < 0 ? -1 : Finish(child, seconds);
}

}  // namespace

// One test per program, named after it (Listing.first_game, ...). Programs that need a partner run in
// the tests further down.
class ListingTest : public YdxTest {
 public:
  explicit ListingTest(const Listing& listing) : listing(listing) {}
  void TestBody() override {
    std::vector<std::string> arguments;
    if (listing.Has("port")) arguments.push_back(std::to_string(ydxtest::FreePort()));
    ASSERT_EQ(RunListing(listing, dir, arguments), 0) << Describe(listing, dir);
    if (listing.expected != "-") {
      EXPECT_EQ(ydxtest::ReadFile(dir + "/stdout.txt"), ydxtest::ReadFile(listing.expected)) << Describe(listing, dir);
    }
    EXPECT_EQ(LogComplaints(dir, listing.Has("errors")), "") << Describe(listing, dir);
  }

 private:
  Listing listing;
};

const bool listingsRegistered = [] {
  for (const Listing& listing : ReadManifest()) {
    if (listing.Has("peers")) continue;
    ::testing::RegisterTest("Listing", listing.name.c_str(), nullptr, nullptr, listing.page.c_str(), 0,
                            [listing]() -> YdxTest* { return new ListingTest(listing); });
  }
  return true;
}();

class DocsTest : public YdxTest {
 protected:
  void TearDown() override {
    ydxtest::StopXvfb();
    YdxTest::TearDown();
  }
};

TEST_F(DocsTest, TheGuideHasAtLeastSixCompletePrograms) {
  int inGuide = 0;
  for (const Listing& listing : ReadManifest())
    if (listing.page.find("/docs/") != std::string::npos) ++inGuide;
  EXPECT_GE(inGuide, 6);
}

// Host and guest in directories of their own (each writes "Network.log" where it runs): the guest's
// hello reaches the host with the guest's name in it, the host's welcome reaches the guest, and the
// host sees the guest leave.
TEST_F(DocsTest, TheChatRunsAsTwoProgramsInTwoDirectories) {
  const Listing* chat = FindListing("peers");
  ASSERT_NE(chat, nullptr) << "no listing is marked as a pair of programs";
  std::string port = std::to_string(ydxtest::FreePort());
  std::string host = MakeDirectory(dir + "/host"), guest = MakeDirectory(dir + "/guest");
  pid_t hostProcess = Start(host, {chat->program, port, "alice"});
  ASSERT_GT(hostProcess, 0);
  // The guest joins once the host has joined its own server, as a player would wait for it.
  const std::string hosting = "alice hosts on port " + port + "\n";
  EXPECT_TRUE(ydxtest::WaitUntil([&] { return ydxtest::ReadFile(host + "/stdout.txt") == hosting; }))
      << Describe(*chat, host);
  EXPECT_EQ(RunListing(*chat, guest, {port, "bob", "127.0.0.1"}), 0) << Describe(*chat, guest);
  EXPECT_EQ(Finish(hostProcess, 30), 0) << Describe(*chat, host);
  EXPECT_EQ(ydxtest::ReadFile(host + "/stdout.txt"), hosting + "bob joined\nbob: hello everyone\nbob left\n");
  EXPECT_EQ(ydxtest::ReadFile(guest + "/stdout.txt"), "alice: welcome bob\n");
  EXPECT_TRUE(ydxtest::FileExists(host + "/Network.log") && ydxtest::FileExists(guest + "/Network.log"));
  EXPECT_EQ(LogComplaints(host, false) + LogComplaints(guest, false), "");
}

// In an X display with GLX the renderer listing draws with OpenGL and keeps that choice in its file.
TEST_F(DocsTest, TheRendererListingDrawsWithOpenGLInAVirtualDisplay) {
  const Listing* listing = FindListing("xvfb");
  ASSERT_NE(listing, nullptr) << "no listing is marked to run in a virtual X display";
  if (!ydxtest::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is missing (make setup installs it): OpenGL is not tried";
  int display = ydxtest::StartXvfb("800x600x24");
  ASSERT_GE(display, 0) << "Xvfb did not start";
  // Mesa's modules unloaded at exit hold allocations the leak checker cannot name (see tests/examples).
  const char* sanitizer = getenv("ASAN_OPTIONS");
  std::string options = std::string(sanitizer ? sanitizer : "") + (sanitizer ? ":" : "") + "detect_leaks=0";
  pid_t child = Start(dir, {"env", "SDL_VIDEODRIVER=x11", "ASAN_OPTIONS=" + options, listing->program},
                      ":" + std::to_string(display));
  ASSERT_GT(child, 0);
  int code = Finish(child, 120);
  ASSERT_EQ(code, 0) << Describe(*listing, dir);
  std::string printed = ydxtest::ReadFile(dir + "/stdout.txt");
  if (printed.find("drawing with software") != std::string::npos &&
      ydxtest::ReadFile(dir + "/setup.log").find("OpenGL backend cannot run") != std::string::npos)
    GTEST_SKIP() << "the virtual display offers no OpenGL (GLX; make setup installs Mesa)";
  EXPECT_NE(printed.find("drawing with OpenGL\n"), std::string::npos) << Describe(*listing, dir);
  EXPECT_NE(printed.find("setup.xml: renderer 64,"), std::string::npos) << Describe(*listing, dir);
}

// With "intro.mpg" beside them the listings that play a movie play it: the sound listing through the
// open mixer, the archive listing from the temporary file it writes the movie's block to.
TEST_F(DocsTest, TheMovieListingsPlayTheIntroMovieWhenThereIsOne) {
  int movies = 0;
  for (const Listing& listing : ReadManifest()) {
    if (!listing.Has("movie")) continue;
    movies++;
    std::string here = MakeDirectory(dir + "/" + listing.name);
    ASSERT_TRUE(ydxsnd::Save(here + "/intro.mpg", ydxsnd::MpegSystem(160, 120, 10, 120, 100, 160)));
    ASSERT_EQ(RunListing(listing, here), 0) << Describe(listing, here);
    EXPECT_NE(ydxtest::ReadFile(here + "/stdout.txt").find("intro: played\n"), std::string::npos)
        << Describe(listing, here);
    EXPECT_EQ(LogComplaints(here, false), "");
  }
  EXPECT_GE(movies, 2) << "the sound listing and the archive listing are marked to play a movie";
}
