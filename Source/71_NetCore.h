// The network core: the one state record behind the network interface, the server thread (accepts,
// logs in, relays, pings) and the client thread (receives and queues for the application).
#pragma once
#include "70_NetWire.h"
#include <SDL_net.h>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <signal.h>
#include <vector>

enum { kNetRoleClient = 0, kNetRoleServer = 1 };

enum : Uint32 {
  kNetLoginBoundMs = 3000,        // a new connection has this long to deliver its login request
  kNetBlockingSendBoundMs = 2000, // a blocking send of the server (a refusal, or where a socket's
                                  // descriptor is out of reach) that makes no progress this long fails
  kNetMaxPending = 32,            // connections accepted but not logged in yet
  kNetMaxClosing = 32,            // logged-out connections still taking their last bytes
  kNetUnsentBytes = 1 << 20,      // a client's socket on the server holds about this much not yet sent
  kNetWaitMs = 200,               // longest wait of either thread, so stop requests act promptly
  kNetProgressAskMs = 100,        // a busy server asks a client's socket what the peer took this often
  kNetPingPeriodMs = 1000,
  kNetPingSamples = 10,
  kNetReadingMs = 500,            // a game that asked for a message this recently is still reading
};

// What a waiting message costs in memory rather than on the wire. A queued frame costs its record and
// its share of the queue's blocks; a payload (counted once, however many queues share it) its bytes,
// its block's head (size and room for a header), the allocator's rounding and the record that shares
// it. Limits count these, so a flood of tiny messages meets them as soon as a flood of large ones that
// takes the same memory.
const Uint64 kNetFrameCost = sizeof(NetFrame) + 8;
const Uint64 kNetPayloadOverhead = sizeof(Uint32) + kNetHeaderBytes + 8 + 15 + 48;
inline Uint64 NetPayloadCost(Uint32 size) { return size + kNetPayloadOverhead; }

// How far a client may fall behind before the server logs it out, how long a connection may make no
// progress, and how long a closing connection gets for its last bytes. A burst the server can hold
// never logs out a client that reads: only one that stays far behind, that takes nothing for long,
// or that is so far behind that holding more would cost the others the server's memory. What waits
// is measured by its memory cost (above). Progress is what the peer's machine acknowledged, not what
// went into this machine's socket buffer, which hides a slow reader for megabytes.
struct NetLimits {
  Uint64 hardBytes = 64u << 20;    // waiting for one client: past this it is logged out at once
  Uint64 softBytes = 8u << 20;     // waiting for one client: past this for softMs, it is logged out
  Uint32 softMs = 10000;
  Uint32 stallMs = 15000;          // no byte taken of what waits, or no byte more of a message begun
  Uint64 totalBytes = 96u << 20;   // held for all clients, a payload shared by several counted once; with
                                   // the host's own reception queue (64 MiB) a process stays under 200 MB
  Uint32 closeFlushMs = 1000;      // a closing connection takes all that waits for it this long...
  Uint32 closeTakingMs = 500;      // ...then, while it took bytes this recently, the message in progress
  Uint32 closeCapMs = 6000;        // and the notice, until this long after its logout: a 4 MiB message
                                   // on a link of 1 MiB/s
};
// The limits that servers and connections started from now on keep to; tests shorten the times.
NetLimits NetGetLimits();
void NetSetLimits(const NetLimits& limits);

struct sNetCore;

// A log line that a peer can make the network repeat (once a message, or once a connection). The
// first `burst` of a second are written whole; past them, one line a second sums up how many more
// came and how many in all, so no flood fills the disk. Safe to use from any thread.
class NetLogLimit {
 public:
  // The summary goes to the library's log with `libraryLead` and/or to "Network.log" with
  // `networkLead` (NULL: not there), as "<lead><held> <what> in the last second, <total> in all.".
  NetLogLimit(const char* libraryLead, const char* networkLead, const char* what, char level, Uint32 burst)
      : libraryLead_(libraryLead), networkLead_(networkLead), what_(what), level_(level), burst_(burst) {}
  // Counts one; true when its own lines are to be written.
  bool Allow();
  // Writes the summary of what was held back once its second is over (at once with `now`).
  void Flush(sNetCore& core, bool now = false);
  void Reset();

 private:
  std::mutex lock_;
  const char* libraryLead_;
  const char* networkLead_;
  const char* what_;
  char level_;
  Uint32 burst_;
  Uint32 secondStart_ = 0;   // wall clock: the second the lines written and held belong to
  Uint32 written_ = 0;       // lines written whole in that second (`burst_` once a summary took it)
  bool started_ = false;
  Uint32 held_ = 0;
  Uint64 total_ = 0;
};

// Traffic counters of one role.
struct NetTraffic {
  Uint32 systemIn = 0, userIn = 0;
  Uint64 bytesIn = 0;
  Uint32 systemOut = 0, userOut = 0;
  Uint64 bytesOut = 0;
};

// The client's reception queue: entries in use form one run from the front; a taken user message (and a
// joined/left notice) stays until the application frees its payload.
class NetQueue {
 public:
  enum { kEntries = 512 };
  static const Uint64 kByteLimit = 64u << 20;   // memory its payloads take at most (NetPayloadCost)
  enum { kFree = 0, kReady = 1, kHandedOut = 2 };

  // false: the queue is full, the message was not taken (its payload is still the caller's).
  bool Insert(const DataNet& message);
  // The oldest ready entry: its command (>= 0) with payload, size and type, or -1 when none is ready.
  int Take(char** data, unsigned int* size, Uint8* type);
  // Frees a payload that Take handed out and removes its entry; false when it is not one of those.
  bool Free(char* data);
  // Frees everything; returns how many entries had not been taken.
  int Clear();
  void ResetStatistics();
  // Whether the application is still reading at `now`: it asked for a message lately, and either
  // something waits for it to take or it gave back a payload lately (one that only takes and never
  // frees is not). A full queue waits for such a reader rather than lose what comes.
  bool Reading(Uint32 now) const;
  void ForgetReads() { asked_ = freed_ = false; }

  int waiting = 0;     // entries ready
  int highest = -1;    // highest entry index ever filled
  int dropped = 0;

 private:
  void Remove(int index);
  struct Entry {
    DataNet message;
    Uint8 state = kFree;
  };
  Entry entries_[kEntries];
  int used_ = 0;
  Uint64 bytes_ = 0;
  bool asked_ = false, freed_ = false;   // the application asked for a message / freed one, at:
  Uint32 askedAt_ = 0, freedAt_ = 0;
};

// The memory the server holds for its clients: its queues, each shared payload counted once however
// many queues hold it, and the payloads of the messages being read.
class NetHeldBytes {
 public:
  void Add(const NetFrame& frame);
  void Remove(const NetFrame& frame);
  void SetReading(Uint64 bytes) { reading_ = bytes; }
  Uint64 Total() const { return total_ + reading_; }

 private:
  Uint64 total_ = 0;
  Uint64 reading_ = 0;
};

// The frames waiting for one connection, in the order they were stamped, written as its socket accepts
// them so the server never waits for one client.
class NetSendQueue {
 public:
  enum Status { kDrained, kWaiting, kFailed };
  NetSendQueue() = default;
  NetSendQueue(const NetSendQueue&) = delete;
  NetSendQueue& operator=(const NetSendQueue&) = delete;
  ~NetSendQueue() { Clear(); }
  // The server's tally that this queue's frames count in (NULL: none).
  void Track(NetHeldBytes* held) { held_ = held; }
  void Push(NetFrame frame);
  // Writes what the socket takes without waiting (a descriptor of -1: SDL_net's blocking send of each
  // whole frame); frames written in full are counted in `done`. Stops at the first error.
  Status Write(int fd, TCPsocket socket, NetTraffic& done);
  bool Empty() const { return frames_.empty(); }
  // Wire bytes not written yet.
  Uint64 Backlog() const { return backlog_; }
  // What the frames waiting take in memory, each counting its whole payload, and how many they are.
  Uint64 Cost() const { return cost_; }
  size_t Count() const { return frames_.size(); }
  // Drops the frames not begun, but the last one when `keepLast` (a closing connection's logout
  // notice); the wire bytes dropped.
  Uint64 Cut(bool keepLast);
  // Bytes written to the socket since the queue began.
  Uint64 Sent() const { return sent_; }
  // The frame being written and how much of it went out (for a failure's log lines).
  const DataNet& Head() const { return frames_.front().header; }
  size_t HeadWritten() const { return headWritten_; }
  void Clear();

 private:
  Status WriteBlocking(TCPsocket socket, NetTraffic& done);
  void Advance(size_t count, NetTraffic& done);
  void Drop(const NetFrame& frame);
  std::deque<NetFrame> frames_;
  size_t headWritten_ = 0;
  Uint64 backlog_ = 0;
  Uint64 cost_ = 0;
  Uint64 sent_ = 0;
  NetHeldBytes* held_ = nullptr;
};

// Bytes read beyond the message in progress: a client that sends many small messages is read many
// at a time, and the end of a large one comes in the same read as what follows it.
struct NetInbox {
  enum { kBytes = 16 << 10 };
  unsigned char bytes[kBytes];
  size_t start = 0, end = 0;
  size_t Held() const { return end - start; }
  void Clear() { start = end = 0; }
};

// Where a connection on the server is in its life. The whole closing of a logged-out connection is
// one walk down these stages, in one place of the server (its "closing" section).
enum class NetStage : Uint8 {
  kLoggedIn,       // reading and writing (or, before login, reading its login request)
  kDropped,        // to be logged out at the end of the pass, its queue gone: nothing more reaches it
  kDroppedNotice,  // to be logged out at the end of the pass by a limit while it may still read: it
                   // keeps the message in progress, followed by the logout notice
  kFlushing,       // logged out: it takes all that waits for it, for the flush time
  kLastMessage,    // logged out: it takes the message in progress and the notice, while it takes bytes
  kFinishing,      // all written and its side shut: the peer takes the last bytes
};

// One connection on the server: logged in (a slot), still expected to log in (pending), or logged
// out and taking its last bytes (closing).
struct NetPeer {
  TCPsocket socket = nullptr;
  char name[kNetNameBytes] = {};
  Uint32 address = 0;
  Sint32 ping[kNetPingSamples] = {};
  Sint32 ringpos = 0;              // the next sample to write, 1..10 after the first
  Uint32 lastping = 0;
  bool pingOutstanding = false;
  NetStage stage = NetStage::kLoggedIn;
  int fd = -1;                     // the socket's descriptor, -1 when out of reach
  Uint32 deadline = 0;             // reading: when the login must be complete, or the message in
                                   // progress must have moved on
  bool readable = false, writable = false;   // what the server's last wait found
  bool blocked = false;            // its socket took no more: written again once the wait finds room
  NetSendQueue outgoing;
  Uint64 acknowledged = 0;         // of the bytes written, what the peer's machine has taken
  Uint64 unacknowledged = 0;       // written, not taken yet (in this machine's socket or on the way)
  Uint32 lastProgress = 0;         // wall clock: the peer last took bytes, or nothing waited for it
  Uint32 progressAskedAt = 0;      // wall clock: its socket was last asked what the peer took
  bool overSoft = false;           // more than the soft limit waits for it, since overSoftSince
  Uint32 overSoftSince = 0;
  Uint32 closedAt = 0;             // wall clock of its logout
  bool hungUp = false;             // the peer closed its side
  NetTokens tokens;
  NetReader reader;
  std::unique_ptr<NetInbox> inbox; // once logged in
  bool LoggedIn() const { return stage == NetStage::kLoggedIn; }
};

struct sNetCore {
  // The client's connection; its send lock keeps whole messages of two threads from interleaving.
  NetTokens clientTokens;
  NetReader clientReader;
  NetInbox clientInbox;
  std::mutex clientSendLock;

  std::atomic<int (*)(void*, int)> callback{nullptr};
  NetLimits serverLimits;          // taken when the server starts
  Uint32 clientStallMs = 0;        // taken when the client connects

  std::mutex socketLock, queueLock, listLock, sentLock, receivedLock, settingsLock;
  std::timed_mutex acceptLock;

  NetQueue queue;
  std::condition_variable queueRoom;   // the application took or freed a queue entry
  NetTraffic traffic[2];           // by role
  Yandorix_ILogSystem* log = nullptr;   // "Network.log"

  std::atomic<Uint8> initialised{0}, serverRunning{0}, clientConnected{0};
  std::atomic<Uint8> clientState{0}, serverState{0};   // 0 not started, 1 running, 2 ended
  Uint8 logOutputs = 0;
  bool serverEverStarted = false;

  Uint32 serverAddress = 0, clientAddress = 0;
  Uint16 serverPort = 0, clientPort = 0;
  Uint32 password = 0;
  SDL_Thread* serverThread = nullptr;
  SDL_Thread* clientThread = nullptr;
  char userName[kNetNameBytes] = {};
  Sint32 timeout = 2000;
  Uint32 features = 0;
  Sint32 simDelay = 0;

  TCPsocket listener = nullptr, clientSocket = nullptr;
  int clientFd = -1;
  SDLNet_SocketSet serverSet = nullptr, clientSet = nullptr;

  // Server state, written by the server thread only; slots and their count change under the list lock.
  NetHeldBytes held;               // before the connections, whose queues count in it
  Uint8 numClients = 0;
  std::unique_ptr<NetPeer> slots[kNetMaxClients];
  std::vector<std::unique_ptr<NetPeer>> pending;
  std::vector<std::unique_ptr<NetPeer>> closing;   // logged out, still taking their last bytes
  int listenerFd = -1;
  std::mt19937 seedGenerator;      // the core's own, so the application's random sequence is untouched
  Uint32 lastPingCycle = 0;

  sClientInfo list[kNetMaxClients] = {};      // the last list (built or received)
  sClientInfo appList[kNetMaxClients] = {};   // the copy handed to the application

  struct sigaction oldPipeAction;
  bool pipeActionSaved = false;

  // Lines a peer can make repeat: the server's (counted from its start), then the client's (from Init).
  // Per connection some a second are written whole (logins and logouts, which a game makes in bursts
  // as a round starts or ends, more); per message one.
  NetLogLimit refusedLogins{" [INetwork Server] Warning: ", nullptr, "logins refused", 2, 10};
  NetLogLimit failedConnections{" [INetwork Server] Warning: ", " [SERVER] Warning: ", "connections failed", 2, 10};
  NetLogLimit refusedMessages{" [INetwork Server] Warning: ", " [SERVER] Warning: ",
                              "clients logged out for what they sent", 2, 10};
  NetLogLimit ignoredMessages{nullptr, " [SERVER] Warning: ", "messages ignored", 2, 1};
  NetLogLimit comings{" [INetwork Server] Info: ", " [SERVER] Info: ", "lines on logins and logouts", 2, 50};
  NetLogLimit listRequests{nullptr, " [SERVER] Info: ", "client list requests", 2, 4};
  NetLogLimit notices{nullptr, " [CLIENT] Info: ", "other clients logged in or out", 2, 10};
  NetLogLimit droppedIncoming{nullptr, " [CLIENT] Warning: full reception queue: ", "messages dropped", 2, 1};
  NetLogLimit failedSends{" [INetwork::SendData] Error: ", nullptr, "DataNets could not be sent", 0, 1};
};

// The real clock that bounds waits and reads. The ping schedule follows the library's clock instead,
// which a test may hold still; a held clock must never keep a read waiting.
Uint32 NetWallTicks();
inline bool NetPassed(Uint32 deadline, Uint32 now) { return (Sint32)(now - deadline) >= 0; }

// Blocking sends and reads on a connected socket that fail after `boundMs` without progress, and no
// delay. Returns its descriptor (for reads that drain what has arrived without another wait), -1 when
// it cannot be reached.
int NetTuneSocket(TCPsocket socket, Uint32 boundMs);
// The descriptor of a listening socket on `port`, -1 when it cannot be reached.
int NetListenerDescriptor(TCPsocket socket, Uint16 port);

// Writes one message (stamped with `cmd` and, for user messages, a token of `tokens`). Logs (as a line
// that may repeat) and returns 0 when fewer bytes than the whole message went out; else the bytes
// written. `reported`, when given, says whether a failure was logged.
int NetWrite(sNetCore& core, TCPsocket socket, NetOutgoing& message, Uint8 cmd, NetTokenGenerator* tokens, int role,
             bool* reported = nullptr);
// Prepares and writes one message; logs the size limit.
int NetSend(sNetCore& core, TCPsocket socket, Uint8 type, Uint8 cmd, Sint16 aux, const char* data, Uint32 size,
            NetTokenGenerator* tokens, int role, bool* reported = nullptr);
// The client's sends (application and client thread): under the connection's send lock.
int NetClientSend(sNetCore& core, Uint8 type, Uint8 cmd, Sint16 aux, const char* data, Uint32 size,
                  bool* reported = nullptr);

// Reads what a socket holds for the message in progress, without waiting, and stops at the first
// message complete: the caller takes it and pumps again. With an inbox it also reads what follows the
// message (used before the socket is read again); without one it never reads past the message.
// Without the descriptor it makes one read of SDL_net's, which waits: call it when the socket is
// ready. Every byte read moves `deadline` to `bound` ms ahead (bound 0: leave it as it is).
NetReader::Status NetPump(TCPsocket socket, int fd, NetReader& reader, NetInbox* inbox, Uint32& deadline,
                          Uint32 bound);
// The read ended at a message boundary because the peer closed (or reset) its connection: a peer that
// left, not a failure.
inline bool NetEndedCleanly(const NetReader& reader) {
  return reader.Errors() == kNetErrHeader && reader.PhaseBytes() == 0;
}
// After a read ended: counts it (when read in full) and, when `report`, logs its errors.
void NetFinishRead(sNetCore& core, const NetReader& reader, int role, bool report = true);
void NetDump(sNetCore& core, const DataNet& message);

int NetServerThread(void* core);
int NetClientThread(void* core);
// Closes the client's connection (socket set, socket, user name); safe to call twice. `report` logs it.
void NetCloseClient(sNetCore& core, bool report);
// The server's list from its connected clients; the caller holds the list lock. Returns the count.
int NetBuildClientList(sNetCore& core, sClientInfo list[kNetMaxClients]);
// Waits until a thread's state leaves 0 (it runs or already ended).
void NetWaitStarted(const std::atomic<Uint8>& state);
