// Network speed: the server relaying 64 KiB and 1 MiB messages from one sender to three receivers on
// loopback, against a plain TCP relay moving the same bytes in the same shape; the same 1 MiB relay
// while a fourth client reads slowly, against the relay without it; encoding and decoding one 1 MiB
// message against memcpy and zlib's crc32 of the same bytes; and the peak resident size and log bytes
// of a server flooded with tiny messages, and with the largest, for clients that stopped reading.
#include "Ratio.h"
#include "01_Main.h"
#include "70_NetWire.h"
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

const int kReceivers = 3;
const Uint32 kPassword = 0x77;

void NoDelay(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int ListenLoopback(uint16_t* port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(fd, 8);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

uint16_t FreePort() {
  uint16_t port = 0;
  close(ListenLoopback(&port));
  return port;
}

int Connect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  NoDelay(fd);
  return fd;
}

bool SendAll(int fd, const void* bytes, size_t count) {
  const char* at = static_cast<const char*>(bytes);
  while (count) {
    ssize_t sent = send(fd, at, count, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    at += sent;
    count -= (size_t)sent;
  }
  return true;
}

// A receiving socket whose bytes a thread counts as fast as they come.
struct Drain {
  int fd = -1;
  std::atomic<Uint64> bytes{0};
  std::atomic<bool> stop{false};
  std::thread thread;
  void Start() {
    thread = std::thread([this] {
      std::vector<char> buffer(1 << 20);
      while (!stop) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 50) <= 0) continue;
        ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
        if (got <= 0) break;
        bytes += (Uint64)got;
      }
    });
  }
  void Stop() {
    stop = true;
    if (thread.joinable()) thread.join();
    if (fd >= 0) close(fd);
    fd = -1;
  }
};

// Logs a socket in with the library's own codec; the token seed, or -1.
int LoginRaw(int fd, const char* name) {
  NetOutgoing login;
  login.Prepare(kNetSystem, kNetLogin, (Sint16)kPassword, name, (Uint32)strlen(name) + 1);
  if (!SendAll(fd, login.Stamp(kNetLogin, nullptr), login.WireSize())) return -1;
  NetReader reader;
  for (;;) {
    ssize_t got = recv(fd, reader.Space(), reader.Wanted(), 0);
    if (got <= 0) return -1;
    NetReader::Status status = reader.Advance((size_t)got);
    if (status == NetReader::kFailed) return -1;
    if (status == NetReader::kComplete) break;
  }
  DataNet answer = reader.Take();
  NetFreePayload(answer.Data);
  return answer.Type == kNetSystem && answer.Cmd == kNetAccepted ? (Uint16)answer.Aux : -1;
}

// What both relays share: one sender and three counted receivers.
struct Topology {
  int sender = -1;
  Drain receivers[kReceivers];
  Uint64 delivered = 0;   // bytes each receiver must have counted so far

  // Sends `count` wire images of `bytes` and waits until every receiver has them all.
  bool Move(const std::function<const unsigned char*()>& next, size_t wireSize, int count) {
    for (int i = 0; i < count; i++)
      if (!SendAll(sender, next(), wireSize)) return false;
    delivered += (Uint64)wireSize * (Uint64)count;
    return Await();
  }
  // Waits until every receiver has counted `delivered` bytes.
  bool Await() {
    for (Drain& receiver : receivers)
      while (receiver.bytes < delivered) {
        if (receiver.stop) return false;
        std::this_thread::yield();   // leave the cores to the relay and the receivers
      }
    return true;
  }
};

// A client on a slow link: it reads 256 KiB every quarter of a second. When the server has dropped it
// for falling behind, a new one joins under a new name, so a slow client is always there.
struct SlowReader {
  uint16_t port = 0;
  int joined = 0;
  std::string name;
  std::mutex lock;   // the connection is swapped while the reading thread is between reads
  int fd = -1;
  std::atomic<bool> stop{false};
  std::thread thread;

  bool LoggedIn() {
    sClientInfo* list = nullptr;
    int count = INetwork->GetClientsInfo(&list);
    for (int i = 0; i < count; i++)
      if (name == list[i].name) return true;
    return false;
  }
  // Lets a new slow client in when the last one was dropped: the bytes of the notices this brings the
  // receivers (0 when it is still there), or -1.
  long Keep() {
    if (fd >= 0 && LoggedIn()) return 0;
    int fresh = Connect(port);
    std::string next = "slow" + std::to_string(1000 + joined++);
    if (fresh < 0 || LoginRaw(fresh, next.c_str()) < 0) return -1;
    long notices = (long)(kNetHeaderBytes + next.size() + 1);   // joined
    std::lock_guard<std::mutex> guard(lock);
    if (fd >= 0) {
      close(fd);
      notices *= 2;   // and the left notice of the one before (names of one length)
    }
    fd = fresh;
    name = next;
    if (!thread.joinable()) thread = std::thread([this] { Read(); });
    return notices;
  }
  // Logs the slow client out, so the benchmarks after this one relay to the three receivers alone: the
  // bytes of the left notice this brings them.
  long Leave() {
    std::lock_guard<std::mutex> guard(lock);
    if (fd < 0) return 0;
    close(fd);
    fd = -1;
    return (long)(kNetHeaderBytes + name.size() + 1);
  }
  void Read() {
    std::vector<char> buffer(256 << 10);
    while (!stop) {
      {
        std::lock_guard<std::mutex> guard(lock);
        for (size_t got = 0; fd >= 0 && got < buffer.size();) {
          ssize_t part = recv(fd, buffer.data() + got, buffer.size() - got, MSG_DONTWAIT);
          if (part <= 0) break;
          got += (size_t)part;
        }
      }
      for (int step = 0; step < 25 && !stop; step++) usleep(10000);
    }
  }
  void Stop() {
    stop = true;
    if (thread.joinable()) thread.join();
    if (fd >= 0) close(fd);
    fd = -1;
  }
};

// The library's server relaying between raw clients.
struct OurRelay : Topology {
  NetTokenGenerator tokens;
  bool ready = false;
  SlowReader slow;
};

// A plain TCP relay: whatever the sender writes goes to every receiver.
struct PlainRelay : Topology {
  int listener = -1;
  std::atomic<bool> stop{false};
  std::thread forward;
  bool ready = false;
};

OurRelay* ours = nullptr;
PlainRelay* plain = nullptr;

void StopAll() {
  if (ours) {
    ours->slow.Stop();
    Yandorix.Quit();   // the server thread first, so the receivers see their connections end
    for (Drain& receiver : ours->receivers) receiver.Stop();
    if (ours->sender >= 0) close(ours->sender);
  }
  if (plain) {
    plain->stop = true;
    if (plain->sender >= 0) shutdown(plain->sender, SHUT_RDWR);
    if (plain->forward.joinable()) plain->forward.join();
    for (Drain& receiver : plain->receivers) receiver.Stop();
    close(plain->listener);
  }
}

OurRelay& Ours() {
  if (ours) return *ours;
  ours = new OurRelay();
  atexit(StopAll);
  Yandorix.Init(SDL_INIT_TIMER);
  INetwork->Init(0);
  uint16_t port = 0;
  for (int attempt = 0; attempt < 10 && !port; attempt++) {   // a port free a moment ago may be taken since
    port = FreePort();
    if (INetwork->CreateServer(port, kPassword, 0) != 1) port = 0;
  }
  if (!port) return *ours;
  ours->sender = Connect(port);
  int seed = LoginRaw(ours->sender, "sender");
  if (seed < 0) return *ours;
  ours->tokens.seed((Uint32)seed);
  ours->slow.port = port;
  for (int i = 0; i < kReceivers; i++) {
    Drain& receiver = ours->receivers[i];
    receiver.fd = Connect(port);
    if (LoginRaw(receiver.fd, ("receiver" + std::to_string(i)).c_str()) < 0) return *ours;
    receiver.Start();
  }
  usleep(200000);   // let the joined notices drain before counting
  for (Drain& receiver : ours->receivers) receiver.bytes = 0;
  ours->ready = true;
  return *ours;
}

PlainRelay& Plain() {
  if (plain) return *plain;
  plain = new PlainRelay();
  uint16_t port = 0;
  plain->listener = ListenLoopback(&port);
  plain->sender = Connect(port);
  int incoming = accept(plain->listener, nullptr, nullptr);
  int outgoing[kReceivers];
  for (int i = 0; i < kReceivers; i++) {
    plain->receivers[i].fd = Connect(port);
    outgoing[i] = accept(plain->listener, nullptr, nullptr);
    NoDelay(outgoing[i]);
    plain->receivers[i].Start();
  }
  NoDelay(incoming);
  plain->forward = std::thread([incoming, outgoing] {
    std::vector<char> buffer(1 << 20);
    while (!plain->stop) {
      ssize_t got = recv(incoming, buffer.data(), buffer.size(), 0);
      if (got <= 0) break;
      for (int fd : outgoing)
        if (!SendAll(fd, buffer.data(), (size_t)got)) return;
    }
    for (int fd : outgoing) close(fd);
    close(incoming);
  });
  plain->ready = true;
  return *plain;
}

std::vector<char> Payload(size_t size) {
  std::vector<char> bytes(size);
  for (size_t i = 0; i < size; i++) bytes[i] = (char)(i * 131 + 7);
  return bytes;
}

int MessagesPer(size_t size) { return size >= (1u << 20) ? 4 : 32; }

void RelayOurs(benchmark::State& state) {
  OurRelay& relay = Ours();
  if (!relay.ready) return state.SkipWithError("the server did not start");
  size_t size = (size_t)state.range(0);
  std::vector<char> payload = Payload(size);
  NetOutgoing message;   // the sender's scrambled payload and check value are made once
  message.Prepare(kNetUser, kNetPlain, 0, payload.data(), (Uint32)size);
  auto next = [&] { return message.Stamp(kNetPlain, &relay.tokens); };
  for (auto _ : state)
    if (!relay.Move(next, message.WireSize(), MessagesPer(size))) return state.SkipWithError("relay stopped");
  state.SetBytesProcessed((int64_t)state.iterations() * MessagesPer(size) * (int64_t)message.WireSize() * kReceivers);
}

// The same relay while a client that reads slowly is logged in.
void RelayWithSlowReader(benchmark::State& state) {
  OurRelay& relay = Ours();
  if (!relay.ready) return state.SkipWithError("the server did not start");
  size_t size = (size_t)state.range(0);
  std::vector<char> payload = Payload(size);
  NetOutgoing message;
  message.Prepare(kNetUser, kNetPlain, 0, payload.data(), (Uint32)size);
  auto next = [&] { return message.Stamp(kNetPlain, &relay.tokens); };
  for (auto _ : state) {
    state.PauseTiming();
    long notices = relay.slow.Keep();
    if (notices < 0) return state.SkipWithError("the slow client was not let in");
    relay.delivered += (Uint64)notices;
    if (!relay.Await()) return state.SkipWithError("relay stopped");
    state.ResumeTiming();
    if (!relay.Move(next, message.WireSize(), MessagesPer(size))) return state.SkipWithError("relay stopped");
  }
  state.SetBytesProcessed((int64_t)state.iterations() * MessagesPer(size) * (int64_t)message.WireSize() * kReceivers);
  relay.delivered += (Uint64)relay.slow.Leave();
  if (!relay.Await()) state.SkipWithError("relay stopped");
}

void RelayPlainTCP(benchmark::State& state) {
  PlainRelay& relay = Plain();
  size_t size = (size_t)state.range(0);
  std::vector<unsigned char> wire(size + kNetHeaderBytes, 0x5A);
  auto next = [&] { return wire.data(); };
  for (auto _ : state)
    if (!relay.Move(next, wire.size(), MessagesPer(size))) return state.SkipWithError("relay stopped");
  state.SetBytesProcessed((int64_t)state.iterations() * MessagesPer(size) * (int64_t)wire.size() * kReceivers);
}

const size_t kCodecBytes = 1u << 20;

void EncodeMessage(benchmark::State& state) {
  std::vector<char> payload = Payload(kCodecBytes);
  NetTokenGenerator tokens(1);
  for (auto _ : state) {
    NetOutgoing message;
    message.Prepare(kNetUser, kNetPlain, 0, payload.data(), (Uint32)payload.size());
    benchmark::DoNotOptimize(message.Stamp(kNetPlain, &tokens));
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kCodecBytes);
}

void DecodeMessage(benchmark::State& state) {
  std::vector<char> payload = Payload(kCodecBytes);
  NetTokenGenerator sending(1), receiving(1);
  NetOutgoing message;
  message.Prepare(kNetUser, kNetPlain, 0, payload.data(), (Uint32)payload.size());
  NetReader reader;
  reader.Configure(false, &receiving);
  for (auto _ : state) {
    // A new stamp per message keeps the tokens in step (it touches only the 12 header bytes).
    const unsigned char* wire = message.Stamp(kNetPlain, &sending);
    memcpy(reader.Space(), wire, kNetHeaderBytes);
    reader.Advance(kNetHeaderBytes);
    memcpy(reader.Space(), wire + kNetHeaderBytes, kCodecBytes);   // stands in for the socket's read
    if (reader.Advance(kCodecBytes) != NetReader::kComplete) return state.SkipWithError("decode failed");
    NetFreePayload(reader.Take().Data);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kCodecBytes);
}

void Memcpy(benchmark::State& state) {
  std::vector<char> from = Payload(kCodecBytes), to(kCodecBytes);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), kCodecBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kCodecBytes);
}

void ZlibCRC(benchmark::State& state) {
  std::vector<char> bytes = Payload(kCodecBytes);
  for (auto _ : state)
    benchmark::DoNotOptimize(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)kCodecBytes));
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kCodecBytes);
}


// ---- floods ----

// A flood runs against a server in a process of its own (this program started again with this flag),
// so the resident size measured is the server's alone. Its own client joins it, and its game reads
// nothing: what the host keeps for a game that stopped reading counts too.
const char kFloodServerFlag[] = "--net-flood-server";

int RunFloodServer(const char* directory) {
  const int control = 3;   // the benchmark's end: the port goes out on it, its close ends this process
  if (chdir(directory) != 0) return 1;
  ILogSystem.Init("server.log", 2, 5, "Flood server", NULL, NULL, NULL);
  if (Yandorix.Init(SDL_INIT_TIMER) != 1 || INetwork->Init(2) != 1) return 1;
  uint16_t port = 0;
  for (int attempt = 0; attempt < 10 && !port; attempt++) {
    port = FreePort();
    if (INetwork->CreateServer(port, kPassword, 0) != 1) port = 0;
  }
  if (!port || INetwork->ConnectTo("127.0.0.1", port, "host", kPassword) != 1) return 1;
  std::string line = std::to_string(port) + "\n";
  if (write(control, line.data(), line.size()) != (ssize_t)line.size()) return 1;
  char byte;
  while (read(control, &byte, 1) > 0) {
  }
  _exit(0);   // at once: what a Quit would drain is no part of the flood
}

class FloodServer {
 public:
  FloodServer() {
    char pattern[] = "/tmp/ydx-flood-XXXXXX";
    if (!mkdtemp(pattern)) return;
    directory_ = pattern;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
    control_ = ends[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
    char* argv[] = {const_cast<char*>("bench_net"), const_cast<char*>(kFloodServerFlag),
                    const_cast<char*>(directory_.c_str()), nullptr};
    if (posix_spawn(&pid_, "/proc/self/exe", &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    char text[16] = {};
    pollfd wait{control_, POLLIN, 0};
    if (pid_ > 0 && poll(&wait, 1, 60000) > 0 && read(control_, text, sizeof text - 1) > 0) port = (uint16_t)atoi(text);
  }
  ~FloodServer() {
    if (control_ >= 0) close(control_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    if (!directory_.empty()) {
      for (const char* name : {"server.log", "Network.log"}) unlink((directory_ + "/" + name).c_str());
      rmdir(directory_.c_str());
    }
  }
  // The server process's peak resident size so far.
  uint64_t PeakBytes() const {
    FILE* status = fopen(("/proc/" + std::to_string(pid_) + "/status").c_str(), "r");
    if (!status) return 0;
    char line[256];
    unsigned long long kib = 0;
    while (fgets(line, sizeof line, status))
      if (sscanf(line, "VmHWM: %llu kB", &kib) == 1) break;
    fclose(status);
    return kib << 10;
  }
  // Both of its logs.
  uint64_t LogBytes() const {
    uint64_t total = 0;
    for (const char* name : {"server.log", "Network.log"}) {
      struct stat info;
      if (stat((directory_ + "/" + name).c_str(), &info) == 0) total += (uint64_t)info.st_size;
    }
    return total;
  }
  uint16_t port = 0;

 private:
  std::string directory_;
  int control_ = -1;
  pid_t pid_ = -1;
};

// Reads one whole message; false on a close, an error or after a minute of nothing.
bool ReadMessage(int fd, NetReader& reader, DataNet& message) {
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, 60000) <= 0) return false;
    ssize_t got = recv(fd, reader.Space(), reader.Wanted(), 0);
    if (got <= 0) return false;
    NetReader::Status status = reader.Advance((size_t)got);
    if (status == NetReader::kFailed) return false;
    if (status == NetReader::kComplete) break;
  }
  message = reader.Take();
  return true;
}

// One client sends `count` messages of `size` bytes as fast as the server takes them, to three
// clients that stopped reading and to the host, whose game reads nothing. Once the server has handled
// them all (it answers the sender's client list request after them), its peak resident size and the
// bytes of its logs are reported, with how many clients it logged out meanwhile.
void FloodStoppedReaders(benchmark::State& state) {
  const size_t size = (size_t)state.range(0);
  const int count = (int)state.range(1);
  std::vector<char> payload = Payload(size);
  for (auto _ : state) {
    FloodServer server;
    if (!server.port) return state.SkipWithError("the flood server did not start");
    int stopped[kReceivers];
    for (int& fd : stopped) {
      fd = Connect(server.port);
      if (LoginRaw(fd, ("stopped" + std::to_string(&fd - stopped)).c_str()) < 0)
        return state.SkipWithError("a reader was not let in");
    }
    int sender = Connect(server.port);
    int seed = LoginRaw(sender, "flooder");
    if (seed < 0) return state.SkipWithError("the sender was not let in");
    NetTokenGenerator sending((Uint32)seed), receiving((Uint32)seed);
    NetOutgoing message;
    message.Prepare(kNetUser, kNetPlain, 0, payload.data(), (Uint32)size);
    std::vector<unsigned char> batch;
    const size_t kBatchBytes = 1 << 20;
    for (int sent = 0; sent < count;) {
      batch.clear();
      for (; sent < count && (batch.empty() || batch.size() + message.WireSize() <= kBatchBytes); sent++) {
        const unsigned char* wire = message.Stamp(kNetPlain, &sending);
        batch.insert(batch.end(), wire, wire + message.WireSize());
      }
      if (!SendAll(sender, batch.data(), batch.size())) return state.SkipWithError("the server stopped the flood");
    }
    NetOutgoing request;
    request.Prepare(kNetSystem, kNetClients, 0, nullptr, 0);
    if (!SendAll(sender, request.Stamp(kNetClients, nullptr), request.WireSize()))
      return state.SkipWithError("the server stopped the flood");
    NetReader reader;
    reader.Configure(false, &receiving);
    int left = 0;
    for (DataNet answer; answer.Type != kNetSystem || answer.Cmd != kNetClients;) {
      NetFreePayload(answer.Data);
      answer = DataNet();
      if (!ReadMessage(sender, reader, answer)) return state.SkipWithError("no answer after the flood");
      if (answer.Type == kNetSystem && answer.Cmd == kNetQuit) left++;
    }
    state.counters["peak_resident"] = benchmark::Counter((double)server.PeakBytes(), benchmark::Counter::kDefaults,
                                                         benchmark::Counter::kIs1024);
    state.counters["log_bytes"] = benchmark::Counter((double)server.LogBytes(), benchmark::Counter::kDefaults,
                                                     benchmark::Counter::kIs1024);
    state.counters["logged_out"] = left;
    for (int fd : stopped) close(fd);
    close(sender);
  }
}

BENCHMARK(RelayOurs)->Name("net/relay")->Arg(64 << 10)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RelayWithSlowReader)->Name("net/relay_slow_reader")->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RelayPlainTCP)->Name("tcp/relay")->Arg(64 << 10)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeMessage)->Name("net/encode_1MiB")->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeMessage)->Name("net/decode_1MiB")->Unit(benchmark::kMicrosecond);
BENCHMARK(Memcpy)->Name("memcpy/1MiB")->Unit(benchmark::kMicrosecond);
BENCHMARK(ZlibCRC)->Name("zlib/crc32_1MiB")->Unit(benchmark::kMicrosecond);
// Once: a flood takes seconds and its figures are no time.
BENCHMARK(FloodStoppedReaders)->Name("net/flood_stopped_readers")->Args({4, 2000000})->Args({kNetPayloadLimit, 200})
    ->Iterations(1)->Repetitions(1)->UseRealTime()->Unit(benchmark::kSecond);

// Time ratios (their targets are in bench/targets.txt): a relay at 0.5x the plain relay's throughput
// takes twice its time; 0.8x would be 1.25.
const int kRegistered = [] {
  ydxbench::Ratio("net/relay/65536/real_time", "tcp/relay/65536/real_time");
  ydxbench::Ratio("net/relay/1048576/real_time", "tcp/relay/1048576/real_time");
  ydxbench::Ratio("net/relay_slow_reader/1048576/real_time", "net/relay/1048576/real_time");
  ydxbench::Ratio("net/encode_1MiB", "memcpy/1MiB");
  ydxbench::Ratio("net/encode_1MiB", "zlib/crc32_1MiB");
  ydxbench::Ratio("net/decode_1MiB", "memcpy/1MiB");
  ydxbench::Ratio("net/decode_1MiB", "zlib/crc32_1MiB");
  return 0;
}();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], kFloodServerFlag) == 0) return RunFloodServer(argv[2]);
  return ydxbench::Main(argc, argv);
}
