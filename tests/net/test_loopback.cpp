// The network over loopback as an application sees it: a session from login to logout, every refusal
// and its result code, relaying with and without the authoritative callback, pings, closing the server,
// the state rules and settings.
#include "NetTest.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using nettest::FakeServer;
using nettest::RawClient;
using nettest::RawMessage;
using nettest::WaitFor;

namespace {

std::string Named(const char* name) { return std::string(name, strlen(name) + 1); }

int verdict = 0;
bool editFirst = false;   // an authoritative server may correct the data it approves
int callbackCalls = 0;
std::string callbackSeen;

int Verdict(void* data, int size) {
  callbackCalls++;
  callbackSeen.assign(static_cast<char*>(data), (size_t)size);
  if (editFirst) static_cast<char*>(data)[0] = '#';
  return verdict;
}

}  // namespace

TEST_F(NetTest, SessionFromLoginToLogout) {
  uint16_t port = StartServer(0x7A3B9C1D);
  ASSERT_NE(port, 0);
  RawClient ann;
  ASSERT_TRUE(ann.Connect(port));
  ASSERT_EQ(ann.Login("ann", 0x7A3B9C1D), 1);
  // Only the password's low 16 bits travel.
  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", 0xABCD9C1Du), 1);
  EXPECT_EQ(INetwork->IsClient(), 1);
  EXPECT_STREQ(INetwork->GetMyUserName(), "bob");
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob2", 0x7A3B9C1D), 254);
  INetwork->SetSimDelay(100, 0);
  INetwork->SetSimDelay(2501, 0);   // out of range: ignored
  INetwork->Info();
  INetwork->SetSimDelay(0, 0);
  EXPECT_NE(ydxtest::LogText().find("  -> Simulated delay 100 ms\n"), std::string::npos);
  EXPECT_NE(ydxtest::LogText().find("  -> Reception DN queue: Waiting "), std::string::npos);
  RawMessage message;
  ASSERT_TRUE(ann.ReadUntil(' ', '(', message));
  EXPECT_EQ(message.payload, Named("bob"));
  EXPECT_EQ(NextMessage(), '.') << "the list asked for at login";
  sClientInfo* list = nullptr;
  ASSERT_EQ(INetwork->GetClientsInfo(&list), 2);
  EXPECT_STREQ(list[0].name, "ann");
  EXPECT_STREQ(list[1].name, "bob");
  EXPECT_EQ(list[1].ip, 0x7F000001u);

  EXPECT_EQ(INetwork->SendData((char*)"hi ann", 6, 0), 1);
  ASSERT_TRUE(ann.ReadUntil('@', '@', message));
  EXPECT_EQ(message.payload, "hi ann");
  ASSERT_TRUE(ann.SendUser('H', "hi bob"));
  std::string payload;
  EXPECT_EQ(NextMessage(&payload), '@');
  EXPECT_EQ(payload, "hi bob");

  ASSERT_TRUE(ann.SendSystem('*'));   // QUIT CLIENT
  ASSERT_TRUE(ann.ReadUntil(' ', ',', message)) << "the kill signal first";
  EXPECT_TRUE(ann.ClosedWithin());
  EXPECT_EQ(NextMessage(&payload), '*');
  EXPECT_EQ(payload, Named("ann"));
  EXPECT_EQ(NextMessage(), '.') << "a leave brings a fresh list";
  ASSERT_EQ(INetwork->GetClientsInfo(&list), 1);
  EXPECT_STREQ(list[0].name, "bob");
  EXPECT_FALSE(ann.badMessage);

  EXPECT_EQ(INetwork->QueryKillClient(), 1);
  EXPECT_EQ(NextMessage(), ',');
  EXPECT_TRUE(WaitFor([] { return INetwork->IsClient() == 0; }));
  EXPECT_EQ(INetwork->GetMyUserName(), nullptr);
  EXPECT_EQ(INetwork->QueryKillServer(), 0) << "not a client: stops its own server";
  EXPECT_TRUE(WaitFor([] { return INetwork->IsServer() == 0; }));
  char* data = (char*)"stale";
  unsigned int size = 7;
  EXPECT_TRUE(WaitFor([&] { return INetwork->ReceiveData(&data, &size) == 0x80; })) << "once both threads ended";
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  std::string network = ydxtest::ReadFile("Network.log");
  EXPECT_NE(network.find(" [SERVER] Client 'ann' has requested a QUIT CLIENT signal.\n"), std::string::npos);
  EXPECT_NE(network.find(" [CLIENT] Server send us kill signal.\n"), std::string::npos);
  EXPECT_EQ(network.find("lost connection"), std::string::npos);
}

TEST_F(NetTest, EveryRefusalHasItsResultAndTheNinthClientWaits) {
  uint16_t port = StartServer(0x7A3B9C1D);
  ASSERT_NE(port, 0);
  RawClient bob;
  ASSERT_TRUE(bob.Connect(port));
  ASSERT_EQ(bob.Login("Bob", 0x7A3B9C1D), 1);
  struct Case {
    const char* what;
    const char* name;
    Uint32 password;
    bool refuseLogins;
    Uint8 result;
    const char* text;
  };
  const Case cases[] = {
      {"empty name", "", 0x7A3B9C1D, false, 10, "access denied: invalid client name."},
      {"same name but for case", "bob", 0x7A3B9C1D, false, 11, "access denied: duplicated client name."},
      {"wrong password", "carl", 0x1235, false, 13, "access denied: wrong password."},
      {"logins refused", "carl", 0x7A3B9C1D, true, 14, "access denied: server does not allow login."},
  };
  for (const Case& c : cases) {
    if (c.refuseLogins) {
      EXPECT_EQ(INetwork->Features(1), 1);
    }
    EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)c.name, c.password), c.result) << c.what;
    if (c.refuseLogins) {
      EXPECT_EQ(INetwork->Features(1), 0) << "toggled back";
    }
    EXPECT_NE(ydxtest::LogText().find(c.text), std::string::npos) << c.what;
    EXPECT_EQ(INetwork->IsClient(), 0);
  }
  RawClient notLogin;
  ASSERT_TRUE(notLogin.Connect(port));
  ASSERT_TRUE(notLogin.SendSystem('.'));
  RawMessage answer;
  ASSERT_TRUE(notLogin.Read(answer));
  EXPECT_EQ(answer.cmd, '"');
  EXPECT_EQ(answer.aux, 0) << "code 0: the first message was not a login";
  EXPECT_EQ(ydxtest::LogText().find("ReceiveDataNet(32,46)] Error"), std::string::npos)
      << "a well-formed message is refused, not reported as a broken connection";

  // Eight logged in (Bob and seven more); the ninth is refused with code 3 until one leaves.
  RawClient others[8];
  for (int i = 0; i < 7; i++) {
    ASSERT_TRUE(others[i].Connect(port));
    ASSERT_EQ(others[i].Login("p" + std::to_string(i), 0x7A3B9C1D), 1) << i;
  }
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"ninth", 0x7A3B9C1D), 12);
  ASSERT_TRUE(others[7].Connect(port));
  EXPECT_EQ(others[7].Login("ninth", 0x7A3B9C1D), -3 - 1);
  EXPECT_NE(ydxtest::LogText().find("server can not add more client (limit:8)"), std::string::npos);
  ASSERT_TRUE(others[0].SendSystem('*'));
  EXPECT_TRUE(others[0].ClosedWithin());
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"ninth", 0x7A3B9C1D), 1);
  sClientInfo* list = nullptr;
  EXPECT_EQ(INetwork->GetClientsInfo(&list), 8);
}

TEST_F(NetTest, AnswersNoServerOfOursGives) {
  struct Case {
    const char* what;
    std::string answer;
    Uint8 result;
  };
  const Case cases[] = {
      {"unknown refusal code", nettest::Scramble(nettest::Header(' ', '"', 9, 0, 0)), 15},
      {"neither acceptance nor refusal", nettest::Scramble(nettest::Header(' ', '.', 0, 0, 0)), 16},
      {"a user message out of step", nettest::Scramble(nettest::Header('@', '@', 1, 0, 0)), 17},
      {"half a header", nettest::Scramble(nettest::Header(' ', '$', 1, 0, 0)).substr(0, 5), 17},
      {"a header without its payload", nettest::Scramble(nettest::Header(' ', '$', 1, 4, 0)), 17},
      {"no answer at all", "", 0},
  };
  for (const Case& c : cases) {
    FakeServer server(c.answer);
    EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", server.port, (char*)"bob", 1), c.result) << c.what;
    EXPECT_EQ(INetwork->IsClient(), 0);
  }
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find("Error(14): access denied: unknown reason."), std::string::npos);
  EXPECT_NE(log.find("Error(15): unexpected DataNet type after a login attempt."), std::string::npos);
  EXPECT_NE(log.find("Error(16): DataNet received was invalid."), std::string::npos);
  EXPECT_NE(log.find(" [INetwork::ConnectTo] Warning: access to server was denied to 'bob'\n"), std::string::npos);
}

TEST_F(NetTest, RelaysPlainAndThroughTheCallback) {
  uint16_t port = StartServer(7);
  ASSERT_NE(port, 0);
  RawClient ann, cid;
  ASSERT_TRUE(ann.Connect(port));
  ASSERT_EQ(ann.Login("ann", 7), 1);
  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", 7), 1);
  ASSERT_TRUE(cid.Connect(port));
  ASSERT_EQ(cid.Login("cid", 7), 1);
  struct Case {
    const char* what;
    bool callback;
    int verdict;
    char validate;
    int toSender;   // what the sender gets back, 0 nothing
    bool toOthers;
    bool edit;
  };
  const Case cases[] = {
      {"no callback", false, 0, 0, 0, true, false},
      {"no callback, validation asked", false, 0, 1, 0, true, false},
      {"callback approves", true, 1, 1, 'D', true, false},
      {"callback edits and approves", true, 1, 1, 'D', true, true},
      {"callback denies", true, 0, 1, 'F', false, false},
      {"callback answers 2", true, 2, 1, 0, false, false},
      {"plain data under a callback", true, 0, 0, 'D', true, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    std::string data = std::string("data of case ") + std::to_string(index++);
    INetwork->SetCoreServerCallback(c.callback ? Verdict : NULL);
    verdict = c.verdict;
    editFirst = c.edit;
    callbackCalls = 0;
    ASSERT_EQ(INetwork->SendData(data.data(), (int)data.size(), c.validate), 1) << c.what;
    ASSERT_EQ(INetwork->SendData("marker", 6, 0), 1);   // plain: under a callback it comes back as 'D'
    std::string sent = data;
    if (c.edit) data[0] = '#';
    for (RawClient* other : {&ann, &cid}) {
      RawMessage message;
      ASSERT_TRUE(other->ReadUntil('@', '@', message)) << c.what;
      EXPECT_EQ(message.payload, c.toOthers ? data : std::string("marker")) << c.what;
      if (c.toOthers) {
        ASSERT_TRUE(other->ReadUntil('@', '@', message));
        EXPECT_EQ(message.payload, "marker");
      }
    }
    ASSERT_TRUE(ann.SendUser('H', "back"));   // handled after both of bob's messages
    std::string payload;
    if (c.toSender) {
      EXPECT_EQ(NextMessage(&payload, nettest::kPatienceMs, true), c.toSender) << c.what;
      EXPECT_EQ(payload, data);
    }
    if (c.callback) {
      EXPECT_EQ(NextMessage(&payload, nettest::kPatienceMs, true), 'D') << c.what;
      EXPECT_EQ(payload, "marker");
    }
    EXPECT_EQ(NextMessage(&payload, nettest::kPatienceMs, true), '@') << c.what;
    EXPECT_EQ(payload, "back") << c.what;
    RawMessage back;
    ASSERT_TRUE(cid.ReadUntil('@', '@', back));
    EXPECT_EQ(back.payload, "back");
    EXPECT_EQ(callbackCalls, c.callback && c.validate == 1 ? 1 : 0) << c.what << ": plain data skips it";
    if (callbackCalls) {
      EXPECT_EQ(callbackSeen, sent);
    }
  }
  EXPECT_FALSE(ann.badMessage || cid.badMessage);
  EXPECT_NE(ydxtest::ReadFile("Network.log").find("unknown CoreServer_Callback() returned value 2. Doing nothing!"),
            std::string::npos);
}

TEST_F(NetTest, PingSamplesFillTheRingAndWrap) {
  ydxtest::ManualClock::Install(5000);
  uint16_t port = StartServer(1);
  ASSERT_NE(port, 0);
  RawClient ann;
  ASSERT_TRUE(ann.Connect(port));
  ASSERT_EQ(ann.Login("ann", 1), 1);
  ann.answerPings = false;
  // Sample k takes k * 10 ms of the library's clock; the eleventh replaces the first.
  const int expectedAverage[] = {0, 1, 3, 6, 10, 15, 21, 28, 36, 45, 55, 65};
  for (int k = 1; k <= 11; k++) {
    ydxtest::ManualClock::Advance(1000);   // a cycle is due
    RawMessage ping;
    ASSERT_TRUE(ann.ReadUntil(' ', '0', ping)) << k;
    ydxtest::ManualClock::Advance((Uint32)k * 10);
    ASSERT_TRUE(ann.SendSystem('0'));
    sClientInfo* list = nullptr;
    EXPECT_TRUE(WaitFor([&] { return INetwork->GetClientsInfo(&list) == 1 && list[0].ping == k * 10; })) << k;
    EXPECT_EQ(list[0].avgping, expectedAverage[k]) << "ten slots, unfilled ones count as 0";
  }
}

TEST_F(NetTest, AnyClientClosesTheServerAndQuitLeavesNoThread) {
  uint16_t port = StartServer(3);
  ASSERT_NE(port, 0);
  RawClient ann, silent;
  ASSERT_TRUE(ann.Connect(port));
  ASSERT_EQ(ann.Login("ann", 3), 1);
  ASSERT_EQ(INetwork->ConnectTo((char*)"localhost", port, (char*)"bob", 3), 1);
  ASSERT_TRUE(ann.SendSystem(','));   // CLOSE SERVER
  RawMessage message;
  EXPECT_TRUE(ann.ReadUntil(' ', ',', message));
  int next;
  while ((next = NextMessage()) != 0 && strchr("(*.0", next)) {   // ann's leave comes first
  }
  EXPECT_EQ(next, ',');
  EXPECT_TRUE(WaitFor([] { return INetwork->IsServer() == 0 && INetwork->IsClient() == 0; }));
  std::string network = ydxtest::ReadFile("Network.log");
  EXPECT_NE(network.find(" [SERVER] Client 'ann' has requested a CLOSE SERVER signal.\n"), std::string::npos);
  EXPECT_NE(network.find(" [SERVER] Info: server closed.\n"), std::string::npos);

  // A new server starts at once; a client and a silent connection do not hold up Quit.
  port = StartServer(3);
  ASSERT_NE(port, 0);
  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", 3), 1);
  ASSERT_TRUE(silent.Connect(port));
  struct sigaction pipe;
  sigaction(SIGPIPE, NULL, &pipe);
  EXPECT_EQ(pipe.sa_handler, SIG_IGN) << "a vanished peer fails a send instead of ending the process";
  INetwork->Quit();
  sigaction(SIGPIPE, NULL, &pipe);
  EXPECT_EQ(pipe.sa_handler, SIG_DFL) << "restored once SDL_net is down";
  EXPECT_EQ(nettest::ThreadCount(), baseThreads);
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find(" [INetwork::Quit] Warning: client closed using the smooth way.\n"), std::string::npos);
  EXPECT_NE(log.find(" [INetwork::Quit] Warning: server closed using the smooth way.\n"), std::string::npos);
  EXPECT_TRUE(silent.ClosedWithin());
}

TEST_F(NetTest, StateRulesSettingsAndMaskedPasswords) {
  EXPECT_EQ(INetwork->Init(2), 0);
  EXPECT_NE(ydxtest::LogText().find(" . [INetwork::Init] Warning: INetwork is already initialized.\n"), std::string::npos);
  EXPECT_EQ(INetwork->Features(-1), 0);
  char* data = NULL;
  unsigned int size = 0;
  EXPECT_EQ(INetwork->ReceiveData(&data, &size), 0x80) << "neither role runs";
  EXPECT_EQ(INetwork->SendData("x", 1, 0), 0) << "not connected";
  EXPECT_EQ(INetwork->QueryClientsInfo(), 0);
  EXPECT_EQ(INetwork->GetMyIP(), 0u);

  struct Case {
    const char* host;
    Uint16 port;
    const char* name;
    Uint8 result;
    const char* text;
  };
  const Case arguments[] = {
      {"127.0.0.1", 0, "bob", 2, "remote server port parameter is null."},
      {nullptr, 1, "bob", 3, "remote server name parameter is null."},
      {"127.0.0.1", 1, nullptr, 4, ",'(null)',****)] Error(3): user name parameter is null."},
      {"0.0.0.0", 1, "bob", 6, "it was not possible to resolve the host name."},   // SDL_net would listen
      {"127.0.0.1", 1, "sixteen-letters!", 4, "maximun length of user name reached."},
  };
  for (const Case& c : arguments) {
    EXPECT_EQ(INetwork->ConnectTo(c.host, c.port, c.name, 0x7A3B9C1D), c.result) << c.text;
    EXPECT_NE(ydxtest::LogText().find(c.text), std::string::npos);
  }
  EXPECT_EQ(ydxtest::LogText().find("connecting to"), std::string::npos) << "refused before touching the network";

  // Nothing listens: attempts are paced over the (raised) time-out, and the password stays hidden.
  uint16_t port = StartServer(0x7A3B9C1D);
  ASSERT_NE(port, 0);
  StopServer();
  INetwork->SetTimeOut(100);
  Uint32 start = SDL_GetTicks();
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", 0x7A3B9C1D), 7);
  EXPECT_GE(SDL_GetTicks() - start, 500u);
  std::string log = ydxtest::LogText();
  size_t connecting = log.find("(timeout 500ms)...");
  ASSERT_NE(connecting, std::string::npos);
  std::string dots = log.substr(connecting + 18, log.find('\n', connecting) - connecting - 18);
  EXPECT_GE(dots.size(), 2u);
  EXPECT_LE(dots.size(), 12u) << "about one attempt per 75 ms";
  EXPECT_NE(log.find(",'bob',****)] Error(6): "), std::string::npos);
  EXPECT_EQ(log.find("2050726941"), std::string::npos);

  // A second server while one runs is refused silently; a port in use is refused with the password hidden.
  port = StartServer(0x7A3B9C1D);
  ASSERT_NE(port, 0);
  size_t before = ydxtest::LogText().size();
  EXPECT_EQ(INetwork->CreateServer(port, 0x7A3B9C1D, 0), 0);
  EXPECT_EQ(ydxtest::LogText().size(), before);
  StopServer();
  int holder = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(holder, 1), 0);
  EXPECT_EQ(INetwork->CreateServer(port, 0x7A3B9C1D, 0), 0);
  close(holder);
  log = ydxtest::LogText();
  EXPECT_NE(log.find(std::string(" [INetwork::CreateServer(") + std::to_string(port) + ",****,0)] Error(4): "),
            std::string::npos);
  EXPECT_EQ(log.find("2050726941"), std::string::npos);
}

namespace {
int renders = 0;
void CountRender(int) { renders++; }
}  // namespace

TEST_F(NetTest, ConnectKeepsTheFrameLoopGoingAndEscapeCancels) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  uint16_t port = StartServer(1);   // started and stopped: a port where nothing listens
  ASSERT_NE(port, 0);
  StopServer();
  INetwork->SetTimeOut(500);
  // Without a screen the frame driver is left alone, and a pending Escape cancels the attempt.
  SDL_Event escape;
  memset(&escape, 0, sizeof escape);
  escape.type = SDL_KEYDOWN;
  escape.key.keysym.sym = SDLK_ESCAPE;
  ASSERT_EQ(SDL_PushEvent(&escape), 0);
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", 1), 255);
  EXPECT_NE(ydxtest::LogText().find("attempt to connect to server was cancelled by ESCAPE key."), std::string::npos);
  // With a screen, every attempt lets the frame loop run.
  Yandorix.colordepth = 32;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  Yandorix.SetRenderCallback(CountRender);
  SDL_Event ignored;
  while (SDL_PollEvent(&ignored)) {
  }
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", 1), 7);
  EXPECT_GE(renders, 2);
  Yandorix.SetRenderCallback(NULL);
}

// A listener whose queue of waiting connections is full drops new ones unanswered, as an address that
// never answers does: the connect gives up at its time-out instead of the system's minutes.
TEST_F(NetTest, AConnectToAnAddressThatNeverAnswersEndsAtItsTimeOut) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in at;
  memset(&at, 0, sizeof at);
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  ASSERT_EQ(bind(listener, (sockaddr*)&at, sizeof at), 0);
  ASSERT_EQ(listen(listener, 0), 0);
  ASSERT_EQ(getsockname(listener, (sockaddr*)&at, &length), 0);
  std::vector<int> waiting;
  for (int i = 0; i < 4; ++i) {
    int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(filler, (sockaddr*)&at, sizeof at);
    waiting.push_back(filler);
  }
  INetwork->SetTimeOut(600);
  Uint32 start = SDL_GetTicks();
  EXPECT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", ntohs(at.sin_port), (char*)"bob", 1), 7);
  EXPECT_LT(SDL_GetTicks() - start, 30000u) << "not the system's minutes";
  for (int filler : waiting) close(filler);
  close(listener);
}

TEST_F(NetTest, AServerReportsAnAddressOfThisMachine) {
  uint16_t port = StartServer(1);
  ASSERT_NE(port, 0);
  Uint32 ip = INetwork->GetMyIP();
  ASSERT_NE(ip, 0u) << "not the any-address it listens on";
  // The machine holds the address: a socket binds to it.
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(ip);
  EXPECT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  close(probe);
  char line[64];
  snprintf(line, sizeof line, " [INetwork Server] IP %u.%u.%u.%u\n", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255);
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find(line), std::string::npos) << "the banner shows the same address";
  EXPECT_EQ(log.find(" [INetwork Server] Host name: 0.0.0.0\n"), std::string::npos);
}
