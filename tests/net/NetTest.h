// What the network tests share: the library started with the network up, free loopback ports, polling
// with deadlines, and a raw protocol client with its own encoder (zlib's CRC-32, std::mt19937 tokens)
// that can speak the protocol correctly or break it on purpose.
#pragma once
#include "YdxTest.h"
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <thread>

namespace nettest {

// How long a test waits for what must happen: it only bounds a hang, a busy machine just waits longer.
const int kPatienceMs = 60000;

// The wire image of one message as this test encoder writes it.
std::string Scramble(std::string bytes);
std::string Header(uint8_t type, uint8_t cmd, int16_t aux, uint32_t size, uint32_t check);
uint32_t CheckValue(uint8_t type, uint8_t cmd, int16_t aux, const std::string& payload);

struct RawMessage {
  uint8_t type = 0, cmd = 0;
  int16_t aux = 0;
  uint32_t size = 0, check = 0;
  std::string payload;
};

class RawClient {
 public:
  ~RawClient() { Close(); }
  bool Connect(uint16_t port);
  void Close();
  bool SendBytes(const std::string& bytes);
  // A system message (check 0, no token).
  bool SendSystem(uint8_t cmd, int16_t aux = 0, const std::string& payload = "");
  // A user message with the next token and its check value.
  bool SendUser(uint8_t cmd, const std::string& payload);
  // Login: 1 accepted (generators seeded), else -(refusal code) - 1 (so code 0 is -1), 0 on a bad read.
  int Login(const std::string& name, uint32_t password);
  // One whole message; user messages must pass their check value and token. False on timeout or close.
  bool Read(RawMessage& message, int timeoutMs = kPatienceMs);
  // Reads until a message with this type and command arrives (answering pings on the way).
  bool ReadUntil(uint8_t type, uint8_t cmd, RawMessage& message, int timeoutMs = kPatienceMs);
  // Bytes are waiting (a whole message then follows promptly), or the connection has ended.
  bool Readable();
  // True when the server closed the connection within the time (messages before it are skipped).
  bool ClosedWithin(int timeoutMs = kPatienceMs);
  bool answerPings = true;
  // Bytes a second it reads at most, steadily as a slow link takes them (0: as fast as it can).
  std::atomic<double> rate{0};
  bool badMessage = false;   // a user message failed its check value or token
  bool reset = false;        // the connection ended with a reset rather than a close
  std::mt19937 sending, receiving;
  int fd = -1;

 private:
  bool ReadExactly(char* into, size_t count, int timeoutMs);
  // How many bytes the rate lets it read now.
  size_t Allowance();
  std::chrono::steady_clock::time_point paceStart;
  double paced = 0;   // bytes read under a rate
};

// A stand-in server on a free loopback port that answers one login with the given bytes (or keeps
// silent), then holds the connection until the client closes it (at most 5 s).
class FakeServer {
 public:
  explicit FakeServer(std::string answer);
  ~FakeServer();
  uint16_t port = 0;

 private:
  void Serve();
  std::string answer_;
  int fd_ = -1;
  std::thread thread_;
};

// This process's server has a client of that name logged in.
bool LoggedIn(const char* name);
// Polls `condition` every few milliseconds until it holds or `ms` pass.
bool WaitFor(const std::function<bool()>& condition, int ms = kPatienceMs);
// Threads of this process right now.
int ThreadCount();

}  // namespace nettest

// The library and the network started; the log at every level in "test.log".
class NetTest : public YdxTest {
 public:
  // Starts a server on a free loopback port; returns the port (0 on failure).
  uint16_t StartServer(uint32_t password = 0x1234);
  // Stops this process's server and waits until its thread has ended (no client may be connected).
  void StopServer();
  // Takes the next message of the library's own client within `ms` (0 when none); `dataOnly` skips
  // the joined, left, list and ping notices on the way.
  int NextMessage(std::string* payload = nullptr, int ms = nettest::kPatienceMs, bool dataOnly = false);

 protected:
  void SetUp() override;
  void TearDown() override;
  int baseThreads = 0;
};
