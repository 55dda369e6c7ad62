// Bursts and clients that read slowly or not at all: a burst the server can hold reaches every client
// that reads, whole and in order, while a slow or stalled client holds up nobody; each limit logs out
// only the client that passed it and says why; Quit lets queued data go before the logout notice.
#include "NetTest.h"
#include "71_NetCore.h"
#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <poll.h>
#include <unistd.h>

using nettest::LoggedIn;
using nettest::RawClient;
using nettest::RawMessage;
using nettest::WaitFor;

namespace {

const Uint32 kPassword = 0x3141;
const size_t kKiB = 1024, kMiB = 1024 * 1024;

// The sender's number and the message's sequence number lead the payload; a 4-byte payload holds the
// sequence number of sender 0 alone.
std::string Stamped(int sender, uint32_t sequence, size_t size) {
  std::string payload(size, 'f');
  if (size == 4) {
    memcpy(&payload[0], &sequence, 4);
    return payload;
  }
  payload[0] = (char)sender;
  memcpy(&payload[1], &sequence, 4);
  return payload;
}

// How a reader reads: `rate` bytes a second, taken steadily (0: as fast as it can); with a `budget`
// (not -1) it takes that many messages, then waits to be released (a budget of 0: it never reads).
struct Pace {
  double rate;
  int budget;
};

// A logged-in raw client whose thread reads what the server sends it at its pace, checking that each
// sender's messages come whole and in order, and that nothing follows the logout notice. Released, it
// reads as fast as it can. Other threads may send on its connection.
struct Reader {
  explicit Reader(Pace how) : budget(how.budget) { client.rate = how.rate; }
  RawClient client;
  const int budget;
  std::atomic<bool> release{false}, stop{false}, ended{false}, noticed{false};
  std::atomic<int> relayed{0}, errors{0};

  bool Join(uint16_t port, const std::string& name) {
    client.answerPings = false;   // it never writes: the test's thread may
    if (!client.Connect(port) || client.Login(name, kPassword) != 1) return false;
    thread = std::thread([this] { Run(); });
    return true;
  }
  void Release() {
    client.rate = 0;
    release = true;
  }
  ~Reader() {
    stop = true;
    if (thread.joinable()) thread.join();
  }

 private:
  void Run() {
    while (!stop) {
      if (!release && budget >= 0 && relayed >= budget) {
        usleep(2000);
        continue;
      }
      pollfd wait{client.fd, POLLIN, 0};
      if (poll(&wait, 1, 50) <= 0) continue;
      RawMessage message;
      if (!client.Read(message)) break;
      if (message.type == '@' || noticed) Take(message.payload);
      if (message.type == ' ' && message.cmd == ',') noticed = true;
    }
    ended = true;
  }
  void Take(const std::string& payload) {
    uint32_t sequence = 0;
    char sender = payload.size() == 4 ? 0 : payload[0];
    if (payload.size() >= 4) memcpy(&sequence, &payload[payload.size() == 4 ? 0 : 1], 4);
    if (noticed || payload.size() < 4 || sequence != next[sender]++) errors++;
    relayed++;
  }
  std::map<char, uint32_t> next;   // by sender
  std::thread thread;
};

// The peak resident size from now on.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

uint64_t PeakBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, 7, "VmHWM:") == 0) return std::stoull(line.substr(7)) << 10;
  return 0;
}

bool LogHas(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }

// The wire image of `count` stamped user messages of `size` bytes from a raw sender, from `first` on:
// many messages to a write.
std::string Batch(RawClient& sender, int first, int count, size_t size) {
  std::string wire;
  for (int sequence = first; sequence < first + count; sequence++) {
    std::string payload = Stamped(0, (uint32_t)sequence, size);
    int16_t token = (int16_t)(sender.sending() & 0xFFFF);
    wire += nettest::Scramble(nettest::Header('@', 'H', token, (uint32_t)payload.size(),
                                              nettest::CheckValue('@', 'H', token, payload)) + payload);
  }
  return wire;
}

// Starts a server under the default limits with `lower` applied; its port, 0 when it did not start.
uint16_t StartLowered(NetTest& test, const std::function<void(NetLimits&)>& lower) {
  NetLimits limits;
  lower(limits);
  NetSetLimits(limits);
  return test.StartServer(kPassword);
}

typedef std::vector<std::unique_ptr<Reader>> Readers;

// Readers logged in as `name` followed by their number; false when one could not log in.
bool JoinAll(uint16_t port, const std::vector<Pace>& paces, const std::string& name, Readers& readers) {
  for (const Pace& pace : paces) {
    readers.emplace_back(new Reader(pace));
    if (!readers.back()->Join(port, name + std::to_string(readers.size() - 1))) return false;
  }
  return true;
}

bool AllHave(const Readers& readers, int count, bool budgeted) {
  return std::all_of(readers.begin(), readers.end(),
                     [&](const std::unique_ptr<Reader>& r) { return (r->budget >= 0) != budgeted || r->relayed >= count; });
}

// A burst: `count` messages of `size` bytes sent at once, by the library's own client (the host, the
// server and a client in one program) or by a raw client, to readers at their paces. A reader with a
// budget must still be within it once the others have everything; it is released once it has taken
// its budget. `stallMs` (not 0) shortens the time a client may take nothing.
struct Burst {
  const char* what;
  bool fromHost;
  int count;
  size_t size;
  std::vector<Pace> readers;
  Uint32 stallMs = 0;
};

void Deliver(NetTest& test, const Burst& burst) {
  SCOPED_TRACE(burst.what);
  NetLimits limits;
  if (burst.stallMs) limits.stallMs = burst.stallMs;
  NetSetLimits(limits);
  uint16_t port = test.StartServer(kPassword);
  ASSERT_NE(port, 0);
  Readers readers;
  ASSERT_TRUE(JoinAll(port, burst.readers, "reader", readers));
  RawClient sender;
  if (burst.fromHost) {
    ASSERT_EQ(INetwork->ConnectTo("127.0.0.1", port, "host", kPassword), 1);
  } else {
    ASSERT_TRUE(sender.Connect(port));
    ASSERT_EQ(sender.Login("sender", kPassword), 1);
  }
  for (int sequence = 0; sequence < burst.count; sequence++) {
    std::string payload = Stamped(0, (uint32_t)sequence, burst.size);
    if (burst.fromHost)
      ASSERT_EQ(INetwork->SendData(payload.data(), (int)payload.size(), 0), 1) << sequence;
    else
      ASSERT_TRUE(sender.SendUser('H', payload)) << sequence;
  }
  EXPECT_TRUE(WaitFor([&] { return AllHave(readers, burst.count, false); })) << "every reader has the whole burst";
  for (auto& reader : readers) {
    if (reader->budget < 0) continue;
    EXPECT_LE(reader->relayed, reader->budget) << "the others did not wait for the slow reader";
    EXPECT_TRUE(WaitFor([&] { return reader->relayed >= reader->budget; }));
    reader->Release();
  }
  EXPECT_TRUE(WaitFor([&] { return AllHave(readers, burst.count, true); })) << "the slow reader catches up";
  for (auto& reader : readers) {
    EXPECT_EQ(reader->errors, 0) << "whole and in order";
    EXPECT_FALSE(reader->client.badMessage || reader->ended);
  }
  EXPECT_FALSE(LogHas("Removing client")) << "nobody that reads is logged out";
  readers.clear();
  test.StopServer();   // the host's own client asks the server to close, as any client may
}

}  // namespace

TEST_F(NetTest, ASlowReaderLeavesTheFastOnesTheirSpeed) {
  // 6 MiB: more than sockets hold, and the fast readers get it all while the slow one has its budget.
  const Pace fast{0, -1}, slow{256 * kKiB, 8};
  Deliver(*this, {"64 KiB messages to three fast readers and a slow one", false, 96, 64 * kKiB, {fast, fast, fast, slow}});
}

TEST_F(NetTest, BurstsPastTheOldBoundReachEveryClientThatReads) {
  const Pace fast{0, -1}, link20{20.0 * kMiB, -1}, link8{8.0 * kMiB, -1};
  // Seconds of a slow link with more waiting than the sockets hold: the reader shows progress though
  // the server's socket buffer takes long to free room.
  const Pace slowLink{256 * kKiB, 12};
  const Burst bursts[] = {
      {"a level sent by the host", true, 10, 4000000, {link20, link20, fast}},
      // Half as many in a sanitizer build, whose readers are the slow side there.
      {"many smaller messages from the host", true, YDX_SANITIZED ? 400 : 800, 64 * kKiB, {fast, fast, fast}},
      {"a relayed burst to an ordinary link", false, 16, kMiB, {link8, fast}},
      {"a slow link under a short stall time", false, 96, 64 * kKiB, {slowLink}, 2000},
  };
  for (const Burst& burst : bursts) Deliver(*this, burst);
}

namespace {

// One limit lowered; good clients each send `count` messages of `size` bytes in rounds of `window`,
// every round read by all of them before the next (so they never fall behind), while a victim reads
// at its pace; the victim alone is logged out, with the given line in both logs.
struct Limit {
  const char* what;
  std::function<void(NetLimits&)> lower;
  int goodClients, count, window;
  size_t size;
  Pace victim;
  const char* line;
  bool boundsMemory;   // the victim is aimed at far more than the limit: the server's memory stays near it
  bool notice = false;   // the victim reads: it gets its message in progress and the logout notice
};

}  // namespace

TEST_F(NetTest, StalledClientsDelayNobodyAndAreDroppedInBoundedMemory) {
  const Pace deaf{0, 0}, slow{256 * kKiB, -1};
  const int large = YDX_SANITIZED ? 48 : 96;   // 24 or 48 MiB to the victim
  const Limit limits[] = {
      {"takes nothing", [](NetLimits& l) { l.stallMs = 1500; }, 4, 1000, 100, 2 * kKiB, deaf,
       " [INetwork Server] Warning: client 'victim0' took no data for ", false},
      // Less than the server's socket buffers hold: only the victim's own machine stops taking bytes.
      {"takes nothing under light traffic", [](NetLimits& l) { l.stallMs = 1500; }, 2, 100, 10, 2 * kKiB, deaf,
       " [INetwork Server] Warning: client 'victim0' took no data for ", false},
      {"stays past the soft limit",
       [](NetLimits& l) { l.softBytes = kMiB, l.softMs = 1500, l.closeTakingMs = 10000, l.closeCapMs = 60000; }, 2, 12,
       2, kMiB, slow,
       " [INetwork Server] Warning: client 'victim0' stayed too far behind (over the soft limit of 1048576 bytes for ",
       false, true},
      {"passes the hard limit", [](NetLimits& l) { l.hardBytes = 8 * kMiB; }, 2, large, 4, 256 * kKiB, deaf,
       " [INetwork Server] Warning: client 'victim0' is too far behind (", true},
      {"holds more than the server's memory limit", [](NetLimits& l) { l.totalBytes = 8 * kMiB; }, 2, large, 4,
       256 * kKiB, deaf, " [INetwork Server] Warning: client 'victim0' is the furthest behind (", true},
  };
  for (const Limit& limit : limits) {
    SCOPED_TRACE(limit.what);
    uint16_t port = StartLowered(*this, limit.lower);
    ASSERT_NE(port, 0);
    Readers good, victim;
    ASSERT_TRUE(JoinAll(port, std::vector<Pace>((size_t)limit.goodClients, Pace{0, -1}), "good", good));
    ASSERT_TRUE(JoinAll(port, {limit.victim}, "victim", victim));
    ResetPeak();
    uint64_t before = PeakBytes();
    int each = 0;   // messages each good client has from every other
    for (; each < limit.count; each += limit.window) {
      for (int i = 0; i < limit.goodClients; i++)
        for (int sequence = each; sequence < each + limit.window; sequence++)
          ASSERT_TRUE(good[i]->client.SendUser('H', Stamped(i, (uint32_t)sequence, limit.size)));
      int expected = (each + limit.window) * (limit.goodClients - 1);
      ASSERT_TRUE(WaitFor([&] { return AllHave(good, expected, false); })) << "round " << each;
    }
    EXPECT_TRUE(WaitFor([&] { return LogHas(limit.line); }));
    const std::string own = std::string(" [SERVER]") + (strchr(limit.line, ']') + 1);   // the network's own log
    EXPECT_TRUE(WaitFor([&] { return ydxtest::ReadFile("Network.log").find(own) != std::string::npos; }));
    EXPECT_TRUE(WaitFor([&] { return !LoggedIn("victim0"); }));
    if (limit.notice) {
      victim[0]->Release();   // what the sockets still hold need not come at the slow pace
      EXPECT_TRUE(WaitFor([&] { return victim[0]->ended.load(); }));
      EXPECT_TRUE(victim[0]->noticed && victim[0]->errors == 0) << "the message in progress whole, then the notice";
    }
    uint64_t growth = PeakBytes() - std::min(before, PeakBytes());
    if (limit.boundsMemory && !YDX_SANITIZED) {   // the sanitizer holds freed memory back on purpose
      EXPECT_LT(growth, 32 * kMiB) << (limit.count * limit.size * limit.goodClients >> 20)
                                   << " MiB went to a client that reads nothing";
    }
    for (auto& reader : good) {
      EXPECT_EQ(reader->errors + reader->client.badMessage, 0) << "none lost or reordered";
      EXPECT_FALSE(reader->ended) << "only the victim is logged out";
    }
    good.clear();
    StopServer();
  }
}

namespace {

// The host quits while a burst still waits for a client that reads slowly and for one that reads
// nothing: the reader gets what it can take for a moment, then the message in progress whole (however
// large), the logout notice and an orderly end; the other does not hold Quit up.
void QuitWithQueued(NetTest& test, uint32_t count, size_t size) {
  SCOPED_TRACE(size);
  // What the sockets already hold comes before the message in progress, at the slow pace too: the
  // reader keeps its connection as long as it takes bytes, and a starved test thread is no stop.
  uint16_t port = StartLowered(test, [](NetLimits& l) { l.closeTakingMs = 5000, l.closeCapMs = nettest::kPatienceMs; });
  ASSERT_NE(port, 0);
  Reader reader(Pace{kMiB, -1});
  ASSERT_TRUE(reader.Join(port, "reader"));
  RawClient deaf;
  ASSERT_TRUE(deaf.Connect(port));
  ASSERT_EQ(deaf.Login("deaf", kPassword), 1);
  ASSERT_EQ(INetwork->ConnectTo("127.0.0.1", port, "host", kPassword), 1);
  for (uint32_t sequence = 0; sequence < count; sequence++) {
    std::string payload = Stamped(0, sequence, size);
    ASSERT_EQ(INetwork->SendData(payload.data(), (int)payload.size(), 0), 1);
  }
  ASSERT_TRUE(WaitFor([&] { return reader.relayed > 0; }));
  INetwork->Quit();
  reader.Release();   // what the sockets still hold need not come at the slow pace
  EXPECT_TRUE(deaf.ClosedWithin());
  ASSERT_TRUE(WaitFor([&] { return reader.ended.load(); }));
  EXPECT_TRUE(reader.noticed) << "the logout notice came after what it got";
  EXPECT_FALSE(reader.client.reset) << "an orderly end, not a reset";
  EXPECT_EQ(reader.errors, 0) << "what it got came whole and in order, and nothing after the notice";
  EXPECT_GT(reader.relayed, 0);
}

}  // namespace

TEST_F(NetTest, QuitLetsQueuedDataGoBeforeTheLogoutNotice) {
  QuitWithQueued(*this, 250, 32 * kKiB);
  ASSERT_EQ(INetwork->Init(2), 1);   // again after Quit
  QuitWithQueued(*this, 3, 4000000);   // a message in progress larger than a slow link takes in seconds
}

namespace {

// A flood to a client that stopped reading, from a raw sender, in rounds that a reading client and the
// host's own client (whose game reads nothing) take before the next. One limit is lowered; the stopped
// client must go by it, with a line that gives what its waiting messages cost in memory.
struct Flood {
  const char* what;
  size_t size;
  int count, round;
  std::function<void(NetLimits&)> lower;
  const char* line;   // the stopped client's logout line, up to its figures
};

// Counts the occurrences of `text` in `log`.
int Occurrences(const std::string& log, const std::string& text) {
  int count = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) count++;
  return count;
}

}  // namespace

TEST_F(NetTest, FloodsOfAnySizeMeetTheLimitsByWhatTheyCost) {
  const Flood floods[] = {
      {"4-byte messages past the hard limit", 4, 200000, 500, [](NetLimits& l) { l.hardBytes = 2 * kMiB; },
       "is too far behind ("},
      {"1 KiB messages past the hard limit", kKiB, 8000, 100, [](NetLimits& l) { l.hardBytes = 4 * kMiB; },
       "is too far behind ("},
      {"1 MiB messages past the hard limit", kMiB, 24, 1, [](NetLimits& l) { l.hardBytes = 8 * kMiB; },
       "is too far behind ("},
      {"4-byte messages past the server's memory limit", 4, 200000, 500,
       [](NetLimits& l) { l.totalBytes = 4 * kMiB; }, "is the furthest behind ("},
  };
  Uint32 start = SDL_GetTicks();
  for (const Flood& flood : floods) {
    SCOPED_TRACE(flood.what);
    // A busy machine may take long over the flood: the stopped client must go by the row's limit, not
    // for taking nothing.
    uint16_t port = StartLowered(*this, [&](NetLimits& l) {
      flood.lower(l);
      l.stallMs = 10 * nettest::kPatienceMs;
    });
    ASSERT_NE(port, 0);
    Readers reader, stopped;
    ASSERT_TRUE(JoinAll(port, {Pace{0, -1}}, "reader", reader));
    const std::string gone = "stopped" + std::to_string(&flood - floods);   // a name of its own in each row
    ASSERT_TRUE(JoinAll(port, {Pace{0, 0}}, gone, stopped));
    ASSERT_EQ(INetwork->ConnectTo("127.0.0.1", port, "host", kPassword), 1);
    RawClient sender;
    ASSERT_TRUE(sender.Connect(port));
    ASSERT_EQ(sender.Login("sender", kPassword), 1);
    const std::string line = " [INetwork Server] Warning: client '" + gone + "0' " + flood.line;
    // Rounds until the stopped client has gone (the count only bounds a flood that never meets the limit).
    for (int sequence = 0; sequence < flood.count && !LogHas(line); sequence += flood.round) {
      ASSERT_TRUE(sender.SendBytes(Batch(sender, sequence, flood.round, flood.size)));
      ASSERT_TRUE(WaitFor([&] { return AllHave(reader, sequence + flood.round, false); })) << sequence;
    }
    ASSERT_TRUE(WaitFor([&] { return LogHas(line); }));
    std::string log = ydxtest::LogText();
    unsigned long long bytes = 0, messages = 0;
    ASSERT_EQ(sscanf(log.c_str() + log.find(line) + line.size(), "%llu bytes in %llu messages", &bytes, &messages), 2);
    // Each message counts its record in the queue, and each of the flood's its payload's memory, not its
    // bytes on the wire; pings (no payload) may wait among them.
    ASSERT_GT(bytes, messages * kNetFrameCost);
    const unsigned long long payloadBytes = bytes - messages * kNetFrameCost, each = NetPayloadCost((Uint32)flood.size);
    EXPECT_EQ(payloadBytes % each, 0u) << bytes << " bytes in " << messages << " messages";
    EXPECT_GE(payloadBytes / each, 1u);
    EXPECT_TRUE(WaitFor([&] { return !LoggedIn((gone + "0").c_str()); }));
    EXPECT_TRUE(LoggedIn("reader0") && LoggedIn("sender")) << "only the client that stopped goes";
    EXPECT_EQ(INetwork->IsClient(), 1) << "the host's client reads, though its game does not";
    EXPECT_EQ(reader[0]->errors + reader[0]->client.badMessage, 0);
    reader.clear();
    stopped.clear();
    StopServer();
  }
  // The host's client dropped what its game did not take, and said so in a line a second at most, and
  // a last one as its connection ended.
  std::string network = ydxtest::ReadFile("Network.log");
  int lines = Occurrences(network, " [CLIENT] Warning: client has dropped an incoming ") +
              Occurrences(network, " [CLIENT] Warning: full reception queue: ");
  EXPECT_GE(Occurrences(network, " [CLIENT] Warning: full reception queue: "), 1);
  EXPECT_LE(lines, (int)((SDL_GetTicks() - start) / 1000 + 1 + sizeof floods / sizeof floods[0]));
}

// A stream of messages many to a write reaches a game that reads every frame whole and in order,
// however many come at once: what its reception queue has no room for waits on the connection.
TEST_F(NetTest, AGameThatReadsGetsEveryMessageOfABatchedStream) {
  struct Stream {
    const char* what;
    size_t size;
    int count, batch;
  };
  const Stream streams[] = {
      {"4-byte messages, 4096 to a write", 4, 40960, 4096},
      {"1 KiB messages, 256 to a write", kKiB, 4096, 256},
  };
  for (const Stream& stream : streams) {
    SCOPED_TRACE(stream.what);
    uint16_t port = StartServer(kPassword);
    ASSERT_NE(port, 0);
    ASSERT_EQ(INetwork->ConnectTo("127.0.0.1", port, "host", kPassword), 1);
    RawClient sender;
    ASSERT_TRUE(sender.Connect(port));
    ASSERT_EQ(sender.Login("sender", kPassword), 1);
    int got = 0, errors = 0;
    auto read = [&] {   // a frame of the game
      char* data;
      unsigned int size;
      while (Uint8 cmd = INetwork->ReceiveData(&data, &size)) {
        uint32_t sequence = 0;
        if (cmd == '@' && size == stream.size) memcpy(&sequence, data + (size == 4 ? 0 : 1), 4);
        if (cmd == '@' && (size != stream.size || sequence != (uint32_t)got++)) errors++;
        INetwork->FreeData(data);
      }
      return got >= stream.count;
    };
    read();
    for (int sequence = 0; sequence < stream.count; sequence += stream.batch) {
      ASSERT_TRUE(sender.SendBytes(Batch(sender, sequence, stream.batch, stream.size)));
      read();
    }
    EXPECT_TRUE(WaitFor(read)) << got << " of " << stream.count;
    EXPECT_EQ(errors, 0) << "none lost, none out of order";
    StopServer();
  }
  EXPECT_EQ(ydxtest::ReadFile("Network.log").find("full reception queue"), std::string::npos);
  EXPECT_EQ(ydxtest::ReadFile("Network.log").find("due to full queue"), std::string::npos);
}
