// ConnectTo with a screen open: the game's frame loop keeps rendering while the connect and the login
// wait last, an Escape polled by that loop cancels at once, and a quit request comes back to the game.
#include "NetTest.h"
#include <arpa/inet.h>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const int kRendersBeforeEscape = 3;
int renders = 0;

// The player presses Escape once the wait has drawn a few frames: only a wait that renders and sees
// what the frame loop polls ever ends with a cancellation.
void RenderThenEscape(int) {
  if (++renders == kRendersBeforeEscape) ydxtest::PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
}

// Where ConnectTo waits: a port that refuses at once (it retries), a listener whose queue is full (the
// connect itself hangs), a listener that takes the connection but never answers the login.
enum Peer { kRefuses, kNeverAccepts, kNeverAnswers };

// A loopback socket standing for the peer, held until the end of the test.
struct RawPeer {
  explicit RawPeer(Peer kind) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at);
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length);
    if (kind != kRefuses) listen(listener, kind == kNeverAccepts ? 0 : 8);
    for (int i = 0; kind == kNeverAccepts && i < 4; i++) {
      fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
      connect(fillers.back(), reinterpret_cast<sockaddr*>(&at), sizeof at);
    }
  }
  ~RawPeer() {
    for (int filler : fillers) close(filler);
    close(listener);
  }
  Uint16 Port() const { return ntohs(at.sin_port); }
  int listener;
  sockaddr_in at{};
  std::vector<int> fillers;
};

}  // namespace

TEST_F(NetTest, ConnectWithAScreenRendersAndEscapeOrQuitReachTheirOwners) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  Yandorix.colordepth = 32;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  ITimeSystem->Init(0);
  Yandorix.SetRenderCallback(RenderThenEscape);
  INetwork->SetTimeOut(nettest::kPatienceMs);   // only Escape ends the connect in time

  struct Case {
    const char* what;
    Peer peer;
    unsigned renderRate, logicRate;   // 0: every pass renders
    bool quitBefore;
  };
  const Case cases[] = {
      {"refused, retried", kRefuses, 60, 20, true},
      {"connect that hangs", kNeverAccepts, 60, 20, false},
      {"login never answered", kNeverAnswers, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RawPeer peer(c.peer);
    ITimeSystem->SetRate(c.renderRate, c.logicRate);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    if (c.quitBefore) {
      event.type = SDL_QUIT;
      ASSERT_EQ(SDL_PushEvent(&event), 0);
    }
    renders = 0;
    size_t logBefore = ydxtest::LogText().size();
    EXPECT_EQ(INetwork->ConnectTo("127.0.0.1", peer.Port(), "bob", 1), 255);
    EXPECT_GE(renders, kRendersBeforeEscape);
    std::string log = ydxtest::LogText().substr(logBefore);
    EXPECT_NE(log.find("attempt to connect to server was cancelled by ESCAPE key."), std::string::npos);
    EXPECT_EQ(log.find("access to server was denied"), std::string::npos) << "a cancel is no refusal";
    EXPECT_EQ(nettest::ThreadCount(), baseThreads) << "no attempt is left running";
    EXPECT_EQ(SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_QUITMASK), c.quitBefore ? 1 : 0)
        << "the game gets back its quit request, and only that";
  }
  Yandorix.SetRenderCallback(NULL);
}
