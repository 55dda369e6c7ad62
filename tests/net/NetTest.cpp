// The network tests' raw protocol client, written apart from the library's codec so each checks the
// other, and the fixture that starts the library with its network.
#include "NetTest.h"
#include "71_NetCore.h"
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace nettest {

namespace {

void PutLE(std::string& bytes, uint32_t value, int width) {
  for (int i = 0; i < width; i++) bytes += (char)(value >> (8 * i));
}

uint32_t GetLE(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = 0; i < width; i++) value |= (uint32_t)(unsigned char)bytes[at + i] << (8 * i);
  return value;
}

uint32_t Crc(const std::string& bytes) {
  return (uint32_t)crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
}

uint32_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

}  // namespace

std::string Scramble(std::string bytes) {
  static const unsigned char word[4] = {0x17, 0xc9, 0xe2, 0x5b};
  size_t whole = bytes.size() / 4 * 4, at = 0;
  // Eight bytes a step: readers of megabytes keep up with the server in a sanitizer build on a busy machine.
  uint64_t mask;
  for (int i = 0; i < 8; i++) reinterpret_cast<unsigned char*>(&mask)[i] = word[i % 4];
  for (uint64_t block; at + 8 <= whole; at += 8) {
    memcpy(&block, &bytes[at], 8);
    block ^= mask;
    memcpy(&bytes[at], &block, 8);
  }
  for (; at < bytes.size(); at++) bytes[at] = (char)(bytes[at] ^ (at < whole ? word[at % 4] : 0x6e));
  return bytes;
}

std::string Header(uint8_t type, uint8_t cmd, int16_t aux, uint32_t size, uint32_t check) {
  std::string bytes;
  bytes += (char)type;
  bytes += (char)cmd;
  PutLE(bytes, (uint16_t)aux, 2);
  PutLE(bytes, size, 4);
  PutLE(bytes, check, 4);
  return bytes;
}

uint32_t CheckValue(uint8_t type, uint8_t cmd, int16_t aux, const std::string& payload) {
  return Crc(Header(type, cmd, aux, (uint32_t)payload.size(), 0)) + (payload.empty() ? 0 : Crc(payload));
}

bool RawClient::Connect(uint16_t port) {
  Close();
  paceStart = std::chrono::steady_clock::now();
  fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Close();
    return false;
  }
  return true;
}

void RawClient::Close() {
  if (fd >= 0) close(fd);
  fd = -1;
}

bool RawClient::SendBytes(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t sent = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    done += (size_t)sent;
  }
  return true;
}

bool RawClient::SendSystem(uint8_t cmd, int16_t aux, const std::string& payload) {
  return SendBytes(Scramble(Header(' ', cmd, aux, (uint32_t)payload.size(), 0) + payload));
}

bool RawClient::SendUser(uint8_t cmd, const std::string& payload) {
  int16_t token = (int16_t)(sending() & 0xFFFF);
  uint32_t check = CheckValue('@', cmd, token, payload);
  return SendBytes(Scramble(Header('@', cmd, token, (uint32_t)payload.size(), check) + payload));
}

int RawClient::Login(const std::string& name, uint32_t password) {
  if (!SendSystem('&', (int16_t)(password & 0xFFFF), name + std::string(1, '\0'))) return 0;
  RawMessage answer;
  if (!Read(answer)) return 0;
  if (answer.type == ' ' && answer.cmd == '$') {
    sending.seed((uint16_t)answer.aux);
    receiving.seed((uint16_t)answer.aux);
    return 1;
  }
  if (answer.type == ' ' && answer.cmd == '"') return -answer.aux - 1;
  return 0;
}

bool RawClient::ReadExactly(char* into, size_t count, int timeoutMs) {
  uint32_t deadline = NowMs() + (uint32_t)timeoutMs;
  size_t done = 0;
  while (done < count) {
    int left = (int)(deadline - NowMs());
    if (left <= 0) return false;
    size_t wanted = std::min(count - done, Allowance());
    if (wanted == 0) {
      usleep(1000);
      continue;
    }
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, left) <= 0) continue;
    ssize_t got = recv(fd, into + done, wanted, 0);
    if (got < 0 && errno == ECONNRESET) reset = true;
    if (got <= 0) return false;
    done += (size_t)got;
    if (rate > 0) paced += (double)got;
  }
  return true;
}

size_t RawClient::Allowance() {
  double pace = rate;
  if (pace <= 0) return SIZE_MAX;
  double allowed = pace * std::chrono::duration<double>(std::chrono::steady_clock::now() - paceStart).count() - paced;
  return allowed < 1 ? 0 : (size_t)allowed;
}

bool RawClient::Read(RawMessage& message, int timeoutMs) {
  if (fd < 0) return false;
  std::string header(12, '\0');
  if (!ReadExactly(&header[0], 12, timeoutMs)) return false;
  header = Scramble(header);
  message.type = (uint8_t)header[0];
  message.cmd = (uint8_t)header[1];
  message.aux = (int16_t)GetLE(header, 2, 2);
  message.size = GetLE(header, 4, 4);
  message.check = GetLE(header, 8, 4);
  if (message.size > 0x400000) return false;
  message.payload.assign(message.size, '\0');
  if (message.size) {
    // Scrambled on its own: the header is three whole words, so the payload starts on a word.
    if (!ReadExactly(&message.payload[0], message.size, timeoutMs)) return false;
    message.payload = Scramble(message.payload);
  }
  if (message.type != ' ') {
    uint16_t expected = (uint16_t)(receiving() & 0xFFFF);
    if (CheckValue(message.type, message.cmd, message.aux, message.payload) != message.check ||
        expected != (uint16_t)message.aux)
      badMessage = true;
  }
  if (answerPings && message.type == ' ' && message.cmd == '0') SendSystem('0', message.aux);
  return true;
}

bool RawClient::ReadUntil(uint8_t type, uint8_t cmd, RawMessage& message, int timeoutMs) {
  uint32_t deadline = NowMs() + (uint32_t)timeoutMs;
  for (;;) {
    int left = (int)(deadline - NowMs());
    if (left <= 0 || !Read(message, left)) return false;
    if (message.type == type && message.cmd == cmd) return true;
  }
}

bool RawClient::Readable() {
  pollfd wait{fd, POLLIN, 0};
  return fd >= 0 && poll(&wait, 1, 0) > 0;
}

bool RawClient::ClosedWithin(int timeoutMs) {
  uint32_t deadline = NowMs() + (uint32_t)timeoutMs;
  char chunk[4096];
  for (;;) {
    int left = (int)(deadline - NowMs());
    if (left <= 0) return false;
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, left) <= 0) continue;
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == ECONNRESET) reset = true;
    if (got <= 0) return true;
  }
}

FakeServer::FakeServer(std::string answer) : answer_(std::move(answer)) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(fd_, 1);
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

FakeServer::~FakeServer() {
  thread_.join();
  close(fd_);
}

void FakeServer::Serve() {
  int peer = accept(fd_, nullptr, nullptr);
  if (peer < 0) return;
  char login[64];
  pollfd wait{peer, POLLIN, 0};
  if (poll(&wait, 1, 2000) > 0) recv(peer, login, sizeof login, 0);
  if (!answer_.empty()) send(peer, answer_.data(), answer_.size(), MSG_NOSIGNAL);
  for (int rounds = 0; rounds < 50; rounds++) {   // until the client closes
    if (poll(&wait, 1, 100) > 0 && recv(peer, login, sizeof login, 0) <= 0) break;
  }
  close(peer);
}

bool LoggedIn(const char* name) {
  sClientInfo* list = nullptr;
  int count = INetwork->GetClientsInfo(&list);
  return std::any_of(list, list + count, [&](const sClientInfo& info) { return strcmp(info.name, name) == 0; });
}

bool WaitFor(const std::function<bool()>& condition, int ms) { return ydxtest::WaitUntil(condition, ms); }

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(tasks))
      if (entry->d_name[0] != '.') count++;
    closedir(tasks);
  }
  return count;
}

}  // namespace nettest

void NetTest::SetUp() {
  YdxTest::SetUp();
  ydxtest::StartLog();
  ASSERT_EQ(Yandorix.Init(SDL_INIT_TIMER), 1);
  baseThreads = nettest::ThreadCount();
  ASSERT_EQ(INetwork->Init(2), 1);
}

void NetTest::TearDown() {
  Yandorix.Quit();
  NetSetLimits(NetLimits());
  YdxTest::TearDown();
}

uint16_t NetTest::StartServer(uint32_t password) {
  for (int attempt = 0; attempt < 10; attempt++) {
    uint16_t port = ydxtest::FreePort();
    if (port && INetwork->CreateServer(port, password, 0) == 1) return port;
  }
  return 0;
}

void NetTest::StopServer() {
  INetwork->QueryKillServer();
  char* data = NULL;
  unsigned int size = 0;
  EXPECT_TRUE(nettest::WaitFor([&] { return INetwork->ReceiveData(&data, &size) == 0x80; }));
}

int NetTest::NextMessage(std::string* payload, int ms, bool dataOnly) {
  int cmd = 0;
  nettest::WaitFor(
      [&] {
        char* data = NULL;
        unsigned int size = 0;
        cmd = INetwork->ReceiveData(&data, &size);
        if (cmd == 0x80 || (dataOnly && strchr("(*.0", cmd))) cmd = 0;
        if (payload) payload->assign(data ? data : "", data ? size : 0);
        INetwork->FreeData(data);
        return cmd != 0;
      },
      ms);
  return cmd;
}
