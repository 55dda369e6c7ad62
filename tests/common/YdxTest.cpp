// Shared test harness: temporary directories, SDL driver environment and log helpers.
#include "YdxTest.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ftw.h>

namespace ydxtest {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), (std::streamsize)bytes.size());
  return (bool)out;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void PushKey(Uint8 type, SDLKey key, SDLMod modifiers) {
  SDL_Event event = SDL_Event();
  event.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = key;
  event.key.keysym.mod = modifiers;
  SDL_PushEvent(&event);
}

uint16_t FreePort() {
  // The socket stays bound, not listening, until the process ends: meanwhile the kernel hands its port to
  // no other bind and no outgoing connection, while a server (SO_REUSEADDR, as SDL_net sets it) may listen.
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int reuse = 1;
  setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  uint16_t port = 0;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (port == 0) close(probe);
  return port;
}

std::string StartLog(int outputs) {
  ILogSystem.Init("test.log", (char)outputs, 5, "test", NULL, NULL, NULL);
  return "test.log";
}

std::string LogText() { return ReadFile("test.log"); }

bool WaitUntil(const std::function<bool()>& condition, int ms, const std::function<void()>& step) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (step) step();
    else usleep(2000);
  }
}

}  // namespace ydxtest

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

void YdxTest::SetUp() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  char cwd[4096];
  olddir = getcwd(cwd, sizeof cwd) ? cwd : "/tmp";
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/ydxtest-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  ASSERT_NE(mkdtemp(buf.data()), nullptr);
  dir = buf.data();
  ASSERT_EQ(chdir(dir.c_str()), 0);
}

void YdxTest::TearDown() {
  if (chdir(olddir.c_str()) != 0) return;
  // Keep the directory of a failed test for inspection.
  if (!HasFailure() && !dir.empty()) nftw(dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}
