// Clients that read slowly or not at all: the server's per-client queues keep the others at full speed
// and in order, a client that cannot keep up is dropped, and the server's memory stays bounded.
#include "NetTest.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <unistd.h>

using nettest::RawMessage;
using nettest::WaitFor;

namespace {

const Uint32 kPassword = 0x3141;

uint64_t Micros() {
  return (uint64_t)std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Sender, sequence number and send time lead the payload.
std::string Stamped(int sender, uint32_t sequence, size_t size) {
  std::string payload(size, 'f');
  uint64_t now = Micros();
  payload[0] = (char)sender;
  memcpy(&payload[1], &sequence, 4);
  memcpy(&payload[5], &now, 8);
  return payload;
}

// A logged-in raw client whose thread reads all it gets (`pace` > 0: that many bytes a quarter second),
// checking each sender's messages come in order and noting their delay. The test's thread sends on it.
struct Listener {
  nettest::RawClient client;
  std::atomic<int> relayed{0}, errors{0};
  std::atomic<bool> stop{false}, hurry{false};
  size_t pace = 0;
  uint32_t next[4] = {};
  std::mutex lock;
  std::vector<uint32_t> delays;   // microseconds
  std::thread thread;

  bool Join(uint16_t port, const std::string& name, uint32_t firstSequence = 0) {
    client.answerPings = false;   // only the test's thread writes
    std::fill(next, next + 4, firstSequence);
    if (!client.Connect(port) || client.Login(name, kPassword) != 1) return false;
    thread = std::thread([this] { Run(); });
    return true;
  }
  void Run() {
    for (size_t taken = 0; !stop;) {
      pollfd wait{client.fd, POLLIN, 0};
      RawMessage message;   // once a message starts, it is read whole
      if (poll(&wait, 1, 50) <= 0) continue;
      if (!client.Read(message, 10000)) break;
      if (message.type == '@') Take(message.payload);
      if (pace && (taken += message.size) >= pace) {
        taken = 0;
        for (int step = 0; step < 25 && !stop && !hurry; step++) usleep(10000);
      }
    }
  }
  void Take(const std::string& payload) {
    uint32_t sequence = 0;
    uint64_t sent = 0;
    memcpy(&sequence, &payload[1], 4);
    memcpy(&sent, &payload[5], 8);
    std::lock_guard<std::mutex> guard(lock);
    if (payload[0] < 0 || payload[0] > 3 || sequence != next[(int)payload[0]]++) errors++;
    delays.push_back((uint32_t)(Micros() - sent));
    relayed++;
  }
  ~Listener() {
    stop = true;
    if (thread.joinable()) thread.join();
  }
};

bool LoggedIn(const char* name) {
  sClientInfo* list = nullptr;
  int count = INetwork->GetClientsInfo(&list);
  return std::any_of(list, list + count, [&](const sClientInfo& info) { return strcmp(info.name, name) == 0; });
}

uint64_t StatusBytes(const std::string& field) {   // VmRSS, VmHWM
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, field.size() + 1, field + ":") == 0) return std::stoull(line.substr(field.size() + 1)) << 10;
  return 0;
}

bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }

}  // namespace

TEST_F(NetTest, ASlowReaderLeavesTheFastOnesTheirSpeed) {
  uint16_t port = StartServer(kPassword);
  ASSERT_NE(port, 0);
  nettest::RawClient sender;
  ASSERT_TRUE(sender.Connect(port));
  ASSERT_EQ(sender.Login("sender", kPassword), 1);
  Listener fast[3];
  for (int i = 0; i < 3; i++) ASSERT_TRUE(fast[i].Join(port, "fast" + std::to_string(i)));
  // 6 MiB a phase: more than a socket holds, less than the server keeps for a slow client.
  uint32_t sequence = 0;
  auto phase = [&]() -> uint64_t {
    uint64_t start = Micros();
    for (int round = 0; round < 6; round++) {
      int target = (int)sequence + 16;
      for (int i = 0; i < 16; i++)
        if (!sender.SendUser('H', Stamped(0, sequence++, 64 << 10))) return 0;
      if (!WaitFor([&] { return std::all_of(fast, fast + 3, [&](Listener& l) { return l.relayed >= target; }); }, 20000))
        return 0;
    }
    return Micros() - start;
  };
  // Phases alone and with a slow reader take turns, so a busy machine weighs on both alike.
  uint64_t alone = 0, withSlow = 0;
  for (int turn = 0; turn < 3; turn++) {
    alone += phase();
    Listener slow;   // 256 KiB every quarter of a second
    slow.pace = 256 << 10;
    std::string name = "slow" + std::to_string(turn);
    ASSERT_TRUE(slow.Join(port, name, sequence));
    withSlow += phase();
    // It was kept, and once it reads faster it gets every message, whole and in order.
    EXPECT_TRUE(LoggedIn(name.c_str())) << name;
    slow.hurry = true;
    EXPECT_TRUE(WaitFor([&] { return slow.relayed >= 96; }, 20000)) << name;
    EXPECT_EQ(slow.errors, 0);
    EXPECT_FALSE(slow.client.badMessage);
  }
  ASSERT_TRUE(alone && withSlow) << "every round arrived";
  EXPECT_GE((double)alone / (double)withSlow, 0.5) << alone << " us alone, " << withSlow << " us with a slow reader";
  for (Listener& listener : fast) EXPECT_EQ(listener.errors + listener.client.badMessage, 0);
}

TEST_F(NetTest, StalledClientsDelayNobodyAndAreDroppedInBoundedMemory) {
  uint16_t port = StartServer(kPassword);
  ASSERT_NE(port, 0);
  Listener good[4];
  for (int i = 0; i < 4; i++) ASSERT_TRUE(good[i].Join(port, "good" + std::to_string(i)));
  nettest::RawClient stalled, hoarder;   // logged in, never read
  ASSERT_TRUE(stalled.Connect(port));
  ASSERT_EQ(stalled.Login("stalled", kPassword), 1);

  // 1,000 messages of 2 KiB from each good client: more than the stalled one's socket takes, less
  // than the backlog limit, so it goes for taking nothing for the send bound.
  std::vector<std::thread> senders;
  for (int i = 0; i < 4; i++)
    senders.emplace_back([&good, i] {
      for (uint32_t sequence = 0; sequence < 1000; sequence++) {
        if (!good[i].client.SendUser('H', Stamped(i, sequence, 2048))) return;
        if (sequence % 10 == 9) usleep(10000);
      }
    });
  for (std::thread& thread : senders) thread.join();
  for (Listener& listener : good) EXPECT_TRUE(WaitFor([&] { return listener.relayed >= 3000; }, 10000));
  std::vector<uint32_t> delays;
  for (Listener& listener : good) {
    std::lock_guard<std::mutex> guard(listener.lock);
    delays.insert(delays.end(), listener.delays.begin(), listener.delays.end());
  }
  ASSERT_EQ(delays.size(), 12000u) << "none lost";
  std::nth_element(delays.begin(), delays.begin() + 11880, delays.end());
  EXPECT_LT(delays[11880], 500000u) << "99th percentile of the delays, microseconds";
  EXPECT_TRUE(WaitFor([] { return LogHas(" [INetwork Server] Warning: client 'stalled' took no data for 2000 ms. Removing client.\n"); }, 5000));

  // 256 KiB messages while another never reads: past the backlog limit it goes, and the server holds
  // no more for it meanwhile.
  ASSERT_TRUE(hoarder.Connect(port));
  ASSERT_EQ(hoarder.Login("hoarder", kPassword), 1);
  const uint32_t kLarge = YDX_SANITIZED ? 64 : 192;   // 16 or 48 MiB
  uint64_t before = StatusBytes("VmRSS");
  for (uint32_t sequence = 1000; sequence < 1000 + kLarge; sequence++)
    ASSERT_TRUE(good[0].client.SendUser('H', Stamped(0, sequence, 256 << 10)));
  for (int i = 1; i < 4; i++) EXPECT_TRUE(WaitFor([&] { return good[i].relayed >= (int)(3000 + kLarge); }, 20000));
  uint64_t growth = StatusBytes("VmHWM") - std::min(before, StatusBytes("VmHWM"));
  EXPECT_TRUE(LogHas(" [INetwork Server] Warning: client 'hoarder' is too far behind ("));
  EXPECT_TRUE(hoarder.ClosedWithin(5000));
  if (!YDX_SANITIZED) {   // the sanitizer holds freed memory back on purpose
    EXPECT_LT(growth, 32u << 20) << "48 MiB went to a client that reads nothing";
  }
  for (Listener& listener : good) EXPECT_EQ(listener.errors + listener.client.badMessage, 0) << "none reordered";
}
