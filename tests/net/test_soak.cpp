// A loopback soak: four clients (the library's own and three raw ones) exchange 10,000 messages while
// 1,000 malformed connections hit the same server. Nothing may be lost or reordered, the server must
// keep accepting, and after Quit no thread of the network may remain.
#include "NetTest.h"
#include <atomic>
#include <map>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using nettest::RawClient;
using nettest::RawMessage;

namespace {

const Uint32 kPassword = 0x5151;
const int kClients = 4;            // client 0 is the library's, 1..3 are raw
const int kPerClient = 2500;       // 10,000 messages in all
const int kMalformed = 1000;

std::string Payload(int client, int sequence) { return "c" + std::to_string(client) + ":" + std::to_string(sequence); }

// Checks each sender's messages arrive complete and in order.
struct Tally {
  std::atomic<int> next[kClients] = {};
  int errors = 0;
  std::atomic<int> total{0};
  void Take(const std::string& payload) {
    int client = -1, sequence = -1;
    if (sscanf(payload.c_str(), "c%d:%d", &client, &sequence) != 2 || client < 0 || client >= kClients ||
        sequence != next[client]) {
      errors++;
      return;
    }
    next[client]++;
    total++;
  }
};

// A logged-in raw client sending its share and tallying what the others send. It keeps at most
// kAhead messages ahead of what the library's client has taken, as a game does not outrun the frame
// loop of its peers: the library's queue holds 512.
const int kAhead = 128;

void RawPeer(RawClient& client, int id, Tally& tally, const Tally& library, std::atomic<bool>& failed) {
  const int expected = (kClients - 1) * kPerClient;
  int sent = 0;
  Uint32 deadline = SDL_GetTicks() + nettest::kPatienceMs;
  while ((sent < kPerClient || tally.total < expected) && (Sint32)(SDL_GetTicks() - deadline) < 0) {
    if (sent < kPerClient && sent - library.next[id] < kAhead && !client.SendUser('H', Payload(id, sent++))) break;
    if (sent < kPerClient && sent - library.next[id] >= kAhead && !client.Readable()) usleep(200);
    while ((client.Readable() || (sent == kPerClient && tally.total < expected)) &&
           (Sint32)(SDL_GetTicks() - deadline) < 0) {
      RawMessage message;
      if (!client.Read(message)) break;
      if (message.type == '@') tally.Take(message.payload);
    }
  }
  if (client.badMessage) failed = true;
}

// Malformed connections that logged in, and the client lists the library's client has taken. Each
// brings that client four messages: joined, left, and the list it asks for after each (which a busy
// server may answer in one burst). They wait for it to keep up, as its queue of 512 also holds the
// others' messages.
std::atomic<int> malformedLogins{0}, listsTaken{0};
const int kMalformedAhead = 8;

// One malformed connection of kind `kind`; returns once the server has answered or closed it.
void Malformed(uint16_t port, int index) {
  if (index % 6 == 4) nettest::WaitFor([] { return 2 * malformedLogins - listsTaken < 2 * kMalformedAhead; });
  RawClient peer;
  if (!peer.Connect(port)) return;
  std::string name = "bad" + std::to_string(index);
  switch (index % 6) {
    case 0:   // gone at once
      break;
    case 1:   // noise
      peer.SendBytes(std::string((size_t)(index % 40) + 12, (char)index));
      break;
    case 2:   // not a login, with a size that would wrap
      peer.SendBytes(nettest::Scramble(nettest::Header(' ', '.', 0, 0xFFFFFFF0u, 0)));
      break;
    case 3:   // wrong password
      peer.Login(name, kPassword + 1);
      break;
    case 4:   // logged in, then out of step
      if (peer.Login(name, kPassword) == 1) {
        malformedLogins++;
        peer.sending();
        peer.SendUser('H', "out of step");
      }
      break;
    case 5:   // half a header
      peer.SendBytes(nettest::Scramble(nettest::Header(' ', '&', 0, 4, 0)).substr(0, 6));
      break;
  }
  if (index % 6 != 0 && index % 6 != 5) peer.ClosedWithin();
}

}  // namespace

TEST_F(NetTest, SoakOfMessagesAndMalformedConnections) {
  uint16_t port = StartServer(kPassword);
  ASSERT_NE(port, 0);
  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"lib", kPassword), 1);
  std::atomic<bool> failed{false};
  Tally tallies[kClients];
  std::vector<std::thread> threads;
  std::atomic<int> malformedDone{0};
  RawClient silent[4];   // idle connections that never log in, closed by the server in time
  for (RawClient& idle : silent) ASSERT_TRUE(idle.Connect(port));
  RawClient peers[kClients];   // all logged in before anyone sends
  for (int id = 1; id < kClients; id++) {
    ASSERT_TRUE(peers[id].Connect(port));
    ASSERT_EQ(peers[id].Login("raw" + std::to_string(id), kPassword), 1);
  }
  for (int id = 1; id < kClients; id++)
    threads.emplace_back(RawPeer, std::ref(peers[id]), id, std::ref(tallies[id]), std::cref(tallies[0]),
                         std::ref(failed));
  for (int half = 0; half < 2; half++)
    threads.emplace_back([port, half, &malformedDone] {
      for (int i = half; i < kMalformed; i += 2) Malformed(port, i);
      malformedDone++;
    });

  // The library's client sends its share while draining what arrives.
  Uint32 start = SDL_GetTicks();
  const int expected = (kClients - 1) * kPerClient;
  int sent = 0;
  while ((sent < kPerClient || tallies[0].total < expected || malformedDone < 2) &&
         SDL_GetTicks() - start < (Uint32)nettest::kPatienceMs) {
    if (sent < kPerClient) {
      std::string data = Payload(0, sent++);
      ASSERT_EQ(INetwork->SendData(data.data(), (int)data.size(), 0), 1);
    }
    char* data = NULL;
    unsigned int size = 0;
    int cmd;
    while ((cmd = INetwork->ReceiveData(&data, &size)) != 0 && cmd != 0x80) {
      if (cmd == '@') tallies[0].Take(std::string(data, size));
      if (cmd == '.') listsTaken++;
      INetwork->FreeData(data);
    }
    if (sent == kPerClient) usleep(500);   // the frame loop of a game that has sent its share
  }
  for (std::thread& thread : threads) thread.join();
  for (int id = 0; id < kClients; id++) {
    EXPECT_EQ(tallies[id].total, expected) << "client " << id << " next " << tallies[id].next[0] << " "
                                           << tallies[id].next[1] << " " << tallies[id].next[2] << " "
                                           << tallies[id].next[3];
    EXPECT_EQ(tallies[id].errors, 0) << "client " << id;
  }
  EXPECT_FALSE(failed);
  for (RawClient& idle : silent) EXPECT_TRUE(idle.ClosedWithin());
  RawClient late;
  ASSERT_TRUE(late.Connect(port));
  EXPECT_EQ(late.Login("late", kPassword), 1) << "still accepting";
  late.Close();
  INetwork->Quit();
  EXPECT_EQ(nettest::ThreadCount(), baseThreads);
  EXPECT_EQ(ydxtest::ReadFile("Network.log").find("dropped an incoming"), std::string::npos);
}
