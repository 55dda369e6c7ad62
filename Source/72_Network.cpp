// The network interface the application calls: start and stop, server creation, connect and login,
// sending, the reception queue, the client list and settings. Everything runs on the application's
// thread but ConnectTo's short-lived connection attempts; the long-running threads live in the core.
#include "71_NetCore.h"
#include "01_Main.h"
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <signal.h>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace {

const char kMaskedPassword[] = "****";   // passwords never reach the log
const char kVersion[] = "v5.00";

void PrintIP(char* text, size_t size, Uint32 address) {
  snprintf(text, size, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255, (address >> 8) & 255, address & 255);
}

// Where other machines reach this one: its first IPv4 interface that is up and not loopback, else the
// loopback address (the any-address a server listens on reaches nobody).
Uint32 ReachableAddress() {
  Uint32 found = INADDR_LOOPBACK;
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return found;
  for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP) ||
        (entry->ifa_flags & IFF_LOOPBACK))
      continue;
    found = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
    break;
  }
  freeifaddrs(interfaces);
  return found;
}

// Waits up to `limit` ms in 50 ms steps for a thread to end; true when it did.
bool AwaitEnd(const std::atomic<Uint8>& state, Sint32 limit) {
  for (Sint32 waited = 0; state == 1 && waited < limit; waited += 50) SDL_Delay(50);
  return state != 1;
}

void Join(SDL_Thread*& thread) {
  if (thread) SDL_WaitThread(thread, NULL);
  thread = nullptr;
}

// Slots and client lists, before a server starts (the client's queue is left alone).
void ClearServerTables(sNetCore& core) {
  std::lock_guard<std::mutex> lock(core.listLock);
  for (auto& slot : core.slots) slot.reset();
  core.pending.clear();
  core.closing.clear();
  core.numClients = 0;
  memset(core.list, 0, sizeof core.list);
  memset(core.appList, 0, sizeof core.appList);
}

// Queue, statistics, slots and lists.
void ClearTables(sNetCore& core) {
  {
    std::lock_guard<std::mutex> lock(core.queueLock);
    core.queue.Clear();
    core.queue.ResetStatistics();
  }
  {
    std::lock_guard<std::mutex> lock(core.sentLock);
    for (NetTraffic& traffic : core.traffic) traffic.systemOut = traffic.userOut = 0, traffic.bytesOut = 0;
  }
  {
    std::lock_guard<std::mutex> lock(core.receivedLock);
    for (NetTraffic& traffic : core.traffic) traffic.systemIn = traffic.userIn = 0, traffic.bytesIn = 0;
  }
  ClearServerTables(core);
}

}  // namespace

Yandorix_INetwork::Yandorix_INetwork() {
  p = new sNetCore();
  ILogSystem.Msg(5, " . [INetwork] Interfaz created.\n");
}

Yandorix_INetwork::~Yandorix_INetwork() {
  if (p->initialised) {
    ILogSystem.Msg(2, " . [INetwork:~INetwork()] Warning: INetwork is still initialized, do not forget to call "
                      "Quit(). Calling it now!\n");
    Quit();
  }
  delete p->log;
  delete p;
  p = nullptr;
  ILogSystem.Msg(5, " . [INetwork] Interfaz deleted.\n");
}

int Yandorix_INetwork::Init(char outputs) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [INetwork::Init] Error: Yandorix was not initialized.\n");
    return 0;
  }
  if (p->initialised) {
    ILogSystem.Msg(2, " . [INetwork::Init] Warning: INetwork is already initialized.\n");
    return 0;
  }
  // The CRC table is built here, before any network thread can ask for it.
  const char probe = 0;
  Yandorix.CRC32(&probe, 1);
  // A peer that disappears must fail a send, not end the process. The application's own handling
  // (saved before SDL_net changes it) comes back at Quit.
  struct sigaction ignore;
  memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  p->pipeActionSaved = sigaction(SIGPIPE, &ignore, &p->oldPipeAction) == 0;
  if (SDLNet_Init() < 0) {
    ILogSystem.Msg(0, " . [INetwork::Init] Error: %s\n", SDLNet_GetError());
    if (p->pipeActionSaved) sigaction(SIGPIPE, &p->oldPipeAction, NULL);
    p->pipeActionSaved = false;
  } else {
    sigaction(SIGPIPE, &ignore, NULL);
    p->initialised = 1;
  }
  ClearTables(*p);
  for (NetLogLimit* limit : {&p->droppedIncoming, &p->failedSends, &p->notices}) limit->Reset();
  delete p->log;
  p->log = new Yandorix_ILogSystem();
  p->log->Init("Network.log", outputs, 2, "INetwork Debug Information", NULL, NULL, NULL);
  p->log->ShowTime(1);
  p->logOutputs = (Uint8)outputs;
  return p->initialised;
}

void Yandorix_INetwork::Quit() {
  if (!p->initialised) {
    ILogSystem.Msg(2, " . [INetwork::Quit] Warning: INetwork is not initialized.\n");
    return;
  }
  if (p->clientConnected || p->clientState == 1) {
    ILogSystem.Msg(2, " [INetwork::Quit] Warning: we are closing the client!\n");
    Sint32 delay;
    {
      std::lock_guard<std::mutex> lock(p->settingsLock);
      delay = p->simDelay;
    }
    p->clientConnected = 0;
    bool smooth = AwaitEnd(p->clientState, 3 * delay + 750);
    ILogSystem.Msg(2, " [INetwork::Quit] Warning: client closed using the %s way.\n", smooth ? "smooth" : "brute");
  }
  if (p->serverRunning || p->serverState == 1) {
    ILogSystem.Msg(2, " [INetwork::Quit] Warning: we are closing the server!\n");
    p->serverRunning = 0;
    // Its clients take what was queued for them first, for a bounded time.
    bool smooth = AwaitEnd(p->serverState, 750 + (Sint32)p->serverLimits.closeCapMs);
    ILogSystem.Msg(2, " [INetwork::Quit] Warning: server closed using the %s way.\n", smooth ? "smooth" : "brute");
  }
  // Both threads end by themselves within their bounded waits: they are joined, never killed.
  Join(p->clientThread);
  Join(p->serverThread);
  NetCloseClient(*p, false);
  int untaken;
  {
    std::lock_guard<std::mutex> lock(p->queueLock);
    untaken = p->queue.Clear();
  }
  if (untaken)
    ILogSystem.Msg(2, " [INetwork::Quit] Info: %d DataNets were deleted before quit due to they were not handled.\n",
                   untaken);
  for (NetLogLimit* limit : {&p->droppedIncoming, &p->failedSends, &p->notices}) limit->Flush(*p, true);
  ClearTables(*p);
  NetTrimKeptPayloads(0);
  p->clientState = 0;
  p->serverState = 0;
  p->serverEverStarted = false;
  p->serverAddress = p->clientAddress = 0;
  SDLNet_Quit();
  if (p->pipeActionSaved) sigaction(SIGPIPE, &p->oldPipeAction, NULL);
  p->pipeActionSaved = false;
  delete p->log;
  p->log = nullptr;
  p->initialised = 0;
}

int Yandorix_INetwork::CreateServer(Uint16 port, Uint32 password, Uint8 block) {
  if (!p || p->serverRunning || p->serverState == 1) return 0;
  int error = 0;
  const char* text = "";
  char hostName[256] = "";
  IPaddress address;
  if (!p->initialised) {
    error = 1;
    text = "you must init network interface.";
  } else {
    Join(p->serverThread);   // one that ended by itself
    p->serverPort = port;
    if (SDLNet_ResolveHost(&address, NULL, port) < 0) {
      error = 3;
      text = SDLNet_GetError();
    }
  }
  if (!error) {
    // The name of the any-address a server listens on is no name here: the machine's own is.
    if (gethostname(hostName, sizeof hostName) != 0) hostName[0] = 0;
    hostName[sizeof hostName - 1] = 0;
    std::lock_guard<std::mutex> lock(p->socketLock);
    p->listener = SDLNet_TCP_Open(&address);
    if (!p->listener) {
      error = 4;
      text = SDLNet_GetError();
    } else {
      p->listenerFd = NetListenerDescriptor(p->listener, port);
    }
  }
  if (!error) {
    p->serverAddress = ReachableAddress();
    char ip[16];
    PrintIP(ip, sizeof ip, p->serverAddress);
    ILogSystem.Msg(2, "\n [INetwork Server] INetwork Server %s\n", kVersion);
    ILogSystem.Msg(2, " [INetwork Server] IP %s\n", ip);
    ILogSystem.Msg(2, " [INetwork Server] Host name: %s\n", hostName[0] ? hostName : "N/A");
    ILogSystem.Msg(2, " [INetwork Server] Port: %d\n\n", port);
    std::lock_guard<std::mutex> lock(p->socketLock);
    p->serverSet = SDLNet_AllocSocketSet(1);
    if (!p->serverSet) {
      error = 5;
      text = SDLNet_GetError();
    } else if (SDLNet_TCP_AddSocket(p->serverSet, p->listener) < 0) {
      error = 6;
      text = SDLNet_GetError();
    }
  }
  if (!error) {
    ClearServerTables(*p);
    for (NetLogLimit* limit : {&p->refusedLogins, &p->failedConnections, &p->refusedMessages, &p->ignoredMessages,
                               &p->comings, &p->listRequests})
      limit->Reset();
    p->serverLimits = NetGetLimits();
    p->password = password;
    p->lastPingCycle = 0;
    p->serverState = 0;
    p->serverRunning = 1;
    p->serverEverStarted = true;
    p->serverThread = SDL_CreateThread(NetServerThread, p);
    if (!p->serverThread) {
      p->serverRunning = 0;
      error = 7;
      text = SDL_GetError();
    }
  }
  if (error) {
    ILogSystem.Msg(0, " [INetwork::CreateServer(%d,%s,%d)] Error(%d): %s\n", port, kMaskedPassword, block, error, text);
    std::lock_guard<std::mutex> lock(p->socketLock);
    if (p->serverSet) SDLNet_FreeSocketSet(p->serverSet);
    p->serverSet = nullptr;
    if (p->listener) SDLNet_TCP_Close(p->listener);
    p->listener = nullptr;
    p->listenerFd = -1;
    return 0;
  }
  NetWaitStarted(p->serverState);
  if (block) Join(p->serverThread);
  return 1;
}

namespace {

// ---- waiting without freezing the game ----

// What the player did while ConnectTo waited: Escape cancels it; a request to quit is the game's.
struct ConnectWatch {
  bool escape = false;
  Yandorix_QuitKeeper* quit = nullptr;
};
ConnectWatch watch;   // used on the application's thread only

void NoteEvent(const SDL_Event& event) {
  if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) watch.escape = true;
  if (watch.quit) watch.quit->Note(event);
}

// For the length of a ConnectTo the frame driver shows this file every event it polls, whoever
// drains it; a request to quit polled meanwhile is queued again for the game afterwards.
class WatchEvents {
 public:
  WatchEvents() : previous_(MainPrivate()->eventwatch) {
    watch = ConnectWatch();
    watch.quit = &quit_;
    MainPrivate()->eventwatch = NoteEvent;
  }
  ~WatchEvents() {
    MainPrivate()->eventwatch = previous_;
    watch.quit = nullptr;
  }

 private:
  void (*previous_)(const SDL_Event&);
  Yandorix_QuitKeeper quit_;   // pushes the close again as the wait ends
};

enum WaitEnd { kWaitReady, kWaitTimedOut, kWaitEscaped };

// Waits until `ready()` holds or the deadline passes. With a screen the game's frame loop runs all
// along (Update renders at the game's own rate); without one the events are watched. Escape ends the
// wait at once.
template <class Ready>
WaitEnd WaitResponsive(Uint32 deadline, Ready ready) {
  const Uint32 kIdleStepMs = 5;
  for (;;) {
    if (watch.escape) return kWaitEscaped;
    if (ready()) return kWaitReady;
    Uint32 now = NetWallTicks();
    if (NetPassed(deadline, now)) return kWaitTimedOut;
    if (Yandorix.screen) {
      Yandorix.Update(NULL);
      if (!Yandorix.mtfriendly) SDL_Delay(1);   // a wait of seconds is no reason to take a whole core
      continue;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) NoteEvent(event);
    Uint32 left = deadline - now;
    if (!watch.escape) SDL_Delay(left < kIdleStepMs ? left : kIdleStepMs);
  }
}

// ---- connecting ----

int InterruptSignal() { return SIGRTMAX - 1; }
void KeepRunning(int) {}

// The quiet handler of the interrupt, installed while connection attempts may need interrupting.
// Without SA_RESTART, so an interrupted connect gives up instead of going on.
class InterruptHandler {
 public:
  InterruptHandler() {
    struct sigaction quiet;
    memset(&quiet, 0, sizeof quiet);
    quiet.sa_handler = KeepRunning;
    sigemptyset(&quiet.sa_mask);
    installed = sigaction(InterruptSignal(), &quiet, &previous_) == 0;
  }
  ~InterruptHandler() {
    if (installed) sigaction(InterruptSignal(), &previous_, NULL);
  }
  bool installed;

 private:
  struct sigaction previous_;
};

// One connection attempt on a thread of its own: SDL_net connects in one blocking call, which an
// address that never answers holds for the system's TCP time-out (minutes). The application's thread
// keeps the game going meanwhile, and gives up by interrupting that call with a signal aimed at the
// attempt's thread alone; SDL_net then closes its socket and reports no connection.
class ConnectAttempt {
 public:
  explicit ConnectAttempt(const IPaddress& address) : address_(address) {
    thread_ = SDL_CreateThread(Run, this);
    if (!thread_) {
      snprintf(error_, sizeof error_, "%s", SDL_GetError());
      done_ = true;
    }
  }
  ConnectAttempt(const ConnectAttempt&) = delete;
  ConnectAttempt& operator=(const ConnectAttempt&) = delete;
  ~ConnectAttempt() { Finish(false); }
  bool Done() const { return done_; }
  // Waits for the attempt to end, first interrupting a connect still waiting when `interrupt`, and
  // hands over its socket (NULL: none, Error() says why).
  TCPsocket Finish(bool interrupt) {
    if (thread_) {
      // A signal that lands just before the connect begins is lost: it is repeated until the end.
      while (!done_) {
        if (interrupt && started_) pthread_kill(self_, InterruptSignal());
        SDL_Delay(1);
      }
      SDL_WaitThread(thread_, NULL);
      thread_ = nullptr;
    }
    TCPsocket socket = socket_;
    socket_ = nullptr;
    return socket;
  }
  const char* Error() const { return error_; }

 private:
  static int Run(void* data) {
    ConnectAttempt& attempt = *static_cast<ConnectAttempt*>(data);
    attempt.self_ = pthread_self();
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, InterruptSignal());
    pthread_sigmask(SIG_UNBLOCK, &wanted, NULL);
    attempt.started_ = true;
    attempt.socket_ = SDLNet_TCP_Open(&attempt.address_);
    if (!attempt.socket_) snprintf(attempt.error_, sizeof attempt.error_, "%s", SDLNet_GetError());
    attempt.done_ = true;
    return 0;
  }
  IPaddress address_;
  SDL_Thread* thread_ = nullptr;
  pthread_t self_;
  std::atomic<bool> started_{false}, done_{false};
  TCPsocket socket_ = nullptr;   // written before done_, read after it
  char error_[256] = "";
};

// Tries to connect until the time-out passes, one paced attempt after another, while the game keeps
// running. Returns the socket; NULL when the time ran out (`error` says why) or Escape was pressed.
TCPsocket OpenConnection(sNetCore& core, const IPaddress& address, bool& locked, std::string& error) {
  const Uint32 kPaceMs = 75;
  InterruptHandler interrupt;
  Uint32 deadline = NetWallTicks() + (Uint32)core.timeout;
  for (;;) {
    if (core.serverEverStarted && !locked) {
      core.acceptLock.lock();
      locked = true;
    }
    ConnectAttempt attempt(address);
    WaitEnd end = WaitResponsive(deadline, [&] { return attempt.Done(); });
    TCPsocket socket = attempt.Finish(interrupt.installed);
    if (socket && end != kWaitEscaped) {
      ILogSystem.Msg(2, "connected!\n");
      return socket;
    }
    if (socket) {
      std::lock_guard<std::mutex> lock(core.socketLock);
      SDLNet_TCP_Close(socket);
    }
    error = attempt.Error();
    if (locked) core.acceptLock.unlock();
    locked = false;
    ILogSystem.Msg(2, ".");
    if (end != kWaitReady) return nullptr;
    Uint32 next = NetWallTicks() + kPaceMs;
    WaitResponsive(NetPassed(deadline, next) ? deadline : next, [] { return false; });
    if (watch.escape || NetPassed(deadline, NetWallTicks())) return nullptr;
  }
}

enum LoginOutcome { kLoginAnswered, kLoginBroken, kLoginNoAnswer, kLoginWaitFailed };

// Waits for the server's answer to the login request: up to three seconds (three waits of a second
// that end at the first whole message or failed read), while the game keeps running.
LoginOutcome AwaitLoginAnswer(sNetCore& core) {
  const Uint32 kAnswerMs = 3 * 1000;
  LoginOutcome outcome = kLoginNoAnswer;
  auto arrived = [&] {
    int ready = SDLNet_CheckSockets(core.clientSet, 0);
    if (ready < 0) {
      outcome = kLoginWaitFailed;
    } else if (ready > 0 && SDLNet_SocketReady(core.clientSocket)) {
      Uint32 unused = 0;
      NetReader::Status status =
          NetPump(core.clientSocket, core.clientFd, core.clientReader, &core.clientInbox, unused, 0);
      if (status != NetReader::kNeedMore) outcome = status == NetReader::kComplete ? kLoginAnswered : kLoginBroken;
    }
    return outcome != kLoginNoAnswer;
  };
  WaitResponsive(NetWallTicks() + kAnswerMs, arrived);
  if (outcome == kLoginNoAnswer || outcome == kLoginWaitFailed) core.clientReader.Fail();
  return outcome;
}

Uint8 RefusalResult(Sint16 code) {
  switch (code) {
    case 1: return 10;
    case 2: return 11;
    case 3: return 12;
    case 4: return 13;
    case 5: return 14;
    default: return 15;
  }
}

const char* RefusalText(Uint8 result) {
  switch (result) {
    case 10: return "access denied: invalid client name.";
    case 11: return "access denied: duplicated client name.";
    case 12: return "access denied: server can not add more client.";
    case 13: return "access denied: wrong password.";
    case 14: return "access denied: server does not allow login.";
    default: return "access denied: unknown reason.";
  }
}

}  // namespace

Uint8 Yandorix_INetwork::ConnectTo(const char* host, Uint16 port, const char* name, Uint32 password) {
  if (!p) return 0;
  Uint8 result = 0;
  const char* text = "";
  bool answered = false;   // the login went out: a failure from here on is a denied access
  Uint32 shown = 0;
  std::string connectError;
  WatchEvents watching;
  if (!p->initialised) {
    text = "you must init network interface.";
  } else if (p->clientConnected) {
    return 254;
  } else if (port == 0) {
    result = 2, text = "remote server port parameter is null.";
  } else if (!host) {
    result = 3, text = "remote server name parameter is null.";
  } else if (!name) {
    result = 4, text = "user name parameter is null.";
  } else if (strlen(name) >= kNetNameBytes) {
    result = 4, text = "maximun length of user name reached.";
  }
  IPaddress address;
  if (!result && p->initialised) {
    std::lock_guard<std::mutex> lock(p->socketLock);
    p->clientSet = SDLNet_AllocSocketSet(1);
    if (!p->clientSet) result = 5, text = SDLNet_GetError();
  }
  // SDL_net takes the "any" and "none" addresses for a request to listen, not to connect.
  if (!result && p->initialised &&
      (SDLNet_ResolveHost(&address, host, port) < 0 || address.host == INADDR_ANY || address.host == INADDR_NONE))
    result = 6, text = "it was not possible to resolve the host name.";
  if (!result && p->initialised) {
    shown = SDL_SwapBE32(address.host);
    char ip[16];
    PrintIP(ip, sizeof ip, shown);
    ILogSystem.Msg(2, " [INetwork Client] Info: connecting to '%s:%d' (timeout %dms)...", ip, port, p->timeout);
    bool locked = false;
    TCPsocket socket = OpenConnection(*p, address, locked, connectError);
    ILogSystem.Msg(2, "\n");
    if (watch.escape) {
      result = 255;
    } else if (!socket) {
      result = 7, text = connectError.c_str();
    } else {
      p->clientStallMs = NetGetLimits().stallMs;
      int fd = NetTuneSocket(socket, p->clientStallMs);
      {
        std::lock_guard<std::mutex> lock(p->socketLock);
        p->clientSocket = socket;
        p->clientFd = fd;
        if (SDLNet_TCP_AddSocket(p->clientSet, socket) < 0) result = 8, text = SDLNet_GetError();
      }
      if (!result) {
        p->clientAddress = shown;
        p->clientPort = port;
        snprintf(p->userName, sizeof p->userName, "%s", name);
        p->clientReader.Reset();
        p->clientReader.Configure(false, &p->clientTokens.receiving);
        p->clientInbox.Clear();
        {
          std::lock_guard<std::mutex> lock(p->queueLock);
          p->queue.ForgetReads();   // reading is about this connection: the game has read none of it yet
        }
        if (!NetClientSend(*p, kNetSystem, kNetLogin, (Sint16)(password & 0xFFFF), name, (Uint32)strlen(name) + 1))
          result = 9, text = "we can not send credentials, login failed.";
      }
      if (locked) p->acceptLock.unlock();
    }
  }
  LoginOutcome outcome = kLoginNoAnswer;
  if (!result && p->initialised) {
    outcome = AwaitLoginAnswer(*p);
    if (watch.escape) {
      p->clientReader.Reset();
      result = 255;
    }
  }
  if (!result && p->initialised) {
    answered = true;
    // A header that arrived (even without its payload) is an answer, though a broken one.
    bool started = p->clientReader.ReadInFull() || p->clientReader.PhaseBytes() > 0 ||
                   (p->clientReader.Errors() & kNetErrPayload);
    NetFinishRead(*p, p->clientReader, kNetRoleClient);
    DataNet answer = p->clientReader.Take();
    if (outcome == kLoginNoAnswer && !started)
      text = "no answer from the server to the login request.";   // result 0
    else if (outcome == kLoginWaitFailed)
      result = 19, text = "broken server pipe.";
    else if (outcome != kLoginAnswered)
      result = 17, text = "DataNet received was invalid.";
    else if (answer.Type == kNetSystem && answer.Cmd == kNetAccepted)
      result = 1;
    else if (answer.Type == kNetSystem && answer.Cmd == kNetRefused)
      result = RefusalResult(answer.Aux), text = RefusalText(result);
    else
      result = 16, text = "unexpected DataNet type after a login attempt.";
    NetFreePayload(answer.Data);
    if (result == 1) {
      char ip[16];
      PrintIP(ip, sizeof ip, shown);
      ILogSystem.Msg(2, "\n [INetwork Client] INetwork Client %s.\n", kVersion);
      ILogSystem.Msg(2, " [INetwork Client] Connected to server '%s' at port %d.\n", ip, port);
      ILogSystem.Msg(2, " [INetwork Client] IP '%s'. Client name '%s'.\n\n", ip, p->userName);
      p->clientTokens.Seed((Uint16)answer.Aux);
      p->clientConnected = 1;
      Join(p->clientThread);   // an earlier connection's thread
      p->clientState = 0;
      p->clientThread = SDL_CreateThread(NetClientThread, p);
      if (p->clientThread) {
        NetWaitStarted(p->clientState);
        QueryClientsInfo();
        return 1;
      }
      p->clientConnected = 0;
      result = 0, text = SDL_GetError();
    }
  }
  if (answered) {
    ILogSystem.Msg(2, " [INetwork::ConnectTo] Warning: access to server was denied to '%s'\n", name);
    ILogSystem.Msg(2, " [INetwork::ConnectTo] Info: client closed.\n");
  }
  if (p->initialised) NetCloseClient(*p, false);
  p->clientConnected = 0;
  if (result == 255) {
    ILogSystem.Msg(2, "\n [INetwork::ConnectTo] Info: attempt to connect to server was cancelled by ESCAPE key.\n");
  } else {
    char ip[16];
    PrintIP(ip, sizeof ip, shown);
    ILogSystem.Msg(0, " [INetwork::ConnectTo('%s',%d,'%s',%s)] Error(%d): %s\n", ip, port, name ? name : "(null)",
                   kMaskedPassword, result ? result - 1 : 0, text);
  }
  return result;
}

int Yandorix_INetwork::SendData(const char* data, int size, char validate) {
  if (!p->initialised || !p->clientConnected) return 0;
  if (!data || size <= 0) {   // an empty message would read as a broken stream at every receiver
    if (p->failedSends.Allow())   // a game may repeat it every frame, as any failed send
      ILogSystem.Msg(0, " [INetwork::SendData] Error: there is no data to send (%d bytes).\n", size);
    return 0;
  }
  bool reported = false;
  int sent = NetClientSend(*p, kNetUser, validate == 1 ? kNetValidate : kNetPlain, 0, data, (Uint32)size, &reported);
  long long total = (long long)size + kNetHeaderBytes;
  if (sent < total) {
    if (reported)   // a game may go on sending every frame: the failures are summed up once a second
      ILogSystem.Msg(0, " [INetwork::SendData] Error: %d bytes were sent of a total of %lld\n", sent, total);
    return 0;
  }
  return 1;
}

Uint8 Yandorix_INetwork::ReceiveData(char** data, unsigned int* size) {
  if (data) *data = NULL;
  if (size) *size = 0;
  if (!p->initialised || !data || !size) return 0;
  int cmd;
  Uint8 type = 0;
  {
    std::lock_guard<std::mutex> lock(p->queueLock);
    cmd = p->queue.Take(data, size, &type);
  }
  if (cmd >= 0) p->queueRoom.notify_one();
  if (cmd < 0) return p->clientState != 1 && p->serverState != 1 ? 0x80 : 0;
  if (type == kNetSystem && (cmd == kNetJoined || cmd == kNetQuit)) QueryClientsInfo();
  return (Uint8)cmd;
}

void Yandorix_INetwork::FreeData(char*& data) {
  if (!data) return;
  {
    std::lock_guard<std::mutex> lock(p->queueLock);
    if (!p->queue.Free(data)) return;
  }
  data = NULL;
  p->queueRoom.notify_one();
}

int Yandorix_INetwork::QueryKillClient() {
  if (!p->initialised || !p->clientConnected) return 0;
  return NetClientSend(*p, kNetSystem, kNetQuit, 0, nullptr, 0) > 0;
}

int Yandorix_INetwork::QueryKillServer() {
  if (!p->initialised) return 0;
  if (p->clientConnected) return NetClientSend(*p, kNetSystem, kNetClose, 0, nullptr, 0) > 0;
  if (p->serverRunning) p->serverRunning = 0;
  return 0;
}

int Yandorix_INetwork::QueryClientsInfo() {
  if (!p->initialised || !p->clientConnected) return 0;
  return NetClientSend(*p, kNetSystem, kNetClients, 0, nullptr, 0) > 0;
}

int Yandorix_INetwork::GetClientsInfo(sClientInfo** list) {
  if (!p->initialised || !list) return 0;
  std::lock_guard<std::mutex> lock(p->listLock);
  if (p->serverRunning) NetBuildClientList(*p, p->list);
  memset(p->appList, 0, sizeof p->appList);
  int count = 0;
  for (const sClientInfo& info : p->list)
    if (info.ip != 0) p->appList[count++] = info;
  if (count) *list = p->appList;
  return count;
}

void Yandorix_INetwork::SetCoreServerCallback(int (*callback)(void* data, int size)) {
  if (!p->initialised) return;
  if (!p->serverRunning)
    ILogSystem.Msg(2, " [INetwork Server] Entering in %sauthoritative mode\n", callback ? "" : "non-");
  p->callback = callback;
}

int Yandorix_INetwork::Features(int toggle) {
  if (!p->initialised) return 0;
  std::lock_guard<std::mutex> lock(p->settingsLock);
  if (toggle != -1) p->features ^= (Uint32)toggle;
  return (int)p->features;
}

void Yandorix_INetwork::SetSimDelay(int delay, int) {
  if ((unsigned)delay > 2500) return;
  std::lock_guard<std::mutex> lock(p->settingsLock);
  p->simDelay = delay;
}

void Yandorix_INetwork::SetTimeOut(int ms) { p->timeout = ms < 500 ? 500 : ms; }

void Yandorix_INetwork::Info() {
  if (!p->initialised) return;
  NetTraffic traffic[2];
  {
    std::lock_guard<std::mutex> lock(p->sentLock);
    for (int role = 0; role < 2; role++) {
      traffic[role].systemOut = p->traffic[role].systemOut;
      traffic[role].userOut = p->traffic[role].userOut;
      traffic[role].bytesOut = p->traffic[role].bytesOut;
    }
  }
  {
    std::lock_guard<std::mutex> lock(p->receivedLock);
    for (int role = 0; role < 2; role++) {
      traffic[role].systemIn = p->traffic[role].systemIn;
      traffic[role].userIn = p->traffic[role].userIn;
      traffic[role].bytesIn = p->traffic[role].bytesIn;
    }
  }
  Sint32 delay;
  Uint32 features;
  {
    std::lock_guard<std::mutex> lock(p->settingsLock);
    delay = p->simDelay;
    features = p->features;
  }
  int waiting, highest, dropped;
  {
    std::lock_guard<std::mutex> lock(p->queueLock);
    waiting = p->queue.waiting;
    highest = p->queue.highest;
    dropped = p->queue.dropped;
  }
  auto counters = [](const NetTraffic& t) {
    ILogSystem.Msg(0, "  -> Incoming DNs: System %d - User %d - Total data received %llu bytes\n", (int)t.systemIn,
                   (int)t.userIn, (unsigned long long)t.bytesIn);
    ILogSystem.Msg(0, "  -> Outgoing DNs: System %d - User %d - Total data sent %llu bytes\n", (int)t.systemOut,
                   (int)t.userOut, (unsigned long long)t.bytesOut);
  };
  if (p->clientConnected) {
    ILogSystem.Msg(0, "\n . INetwork Client info:\n");
    ILogSystem.Msg(0, "  -> Simulated delay %d ms\n", delay);
    ILogSystem.Msg(0, "  -> Reception DN queue: Waiting %d - Maximum population %d/%d - DN dropped %d\n", waiting,
                   highest + 1, (int)NetQueue::kEntries, dropped);
    counters(traffic[kNetRoleClient]);
  }
  if (p->serverRunning) {
    ILogSystem.Msg(0, " . INetwork Server info:\n");
    ILogSystem.Msg(0, "  -> Server features: 0x0%x\n", features);
    counters(traffic[kNetRoleServer]);
  }
  ILogSystem.Msg(0, "\n");
}

int Yandorix_INetwork::IsServer() { return p->initialised && p->serverRunning ? 1 : 0; }

int Yandorix_INetwork::IsClient() { return p->initialised && p->clientConnected ? 1 : 0; }

Uint32 Yandorix_INetwork::GetMyIP() {
  if (!p->initialised) return 0;
  if (p->serverRunning) return p->serverAddress;
  if (p->clientConnected) return p->clientAddress;
  return 0;
}

char* Yandorix_INetwork::GetMyUserName() {
  return p->initialised && p->clientConnected ? p->userName : NULL;
}
