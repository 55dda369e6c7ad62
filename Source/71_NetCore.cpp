// The network core's shared machinery: bounded socket reads and writes of whole messages, traffic
// counters, the reception queue and the client thread that fills it.
#include "71_NetCore.h"
#include "01_Main.h"
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/uio.h>

Uint32 NetWallTicks() { return SDL_GetTicks(); }

static NetLimits limits;

NetLimits NetGetLimits() { return limits; }

void NetSetLimits(const NetLimits& chosen) { limits = chosen; }

// ---- repeated log lines ----

bool NetLogLimit::Allow() {
  std::lock_guard<std::mutex> guard(lock_);
  total_++;
  Uint32 now = NetWallTicks();
  if (!held_ && (!started_ || now - secondStart_ >= 1000)) {
    started_ = true;
    secondStart_ = now;
    written_ = 0;
  }
  if (!held_ && written_ < burst_) {
    written_++;
    return true;
  }
  held_++;
  return false;
}

void NetLogLimit::Flush(sNetCore& core, bool now) {
  Uint32 held;
  unsigned long long total;
  {
    std::lock_guard<std::mutex> guard(lock_);
    Uint32 ticks = NetWallTicks();
    if (!held_ || (!now && ticks - secondStart_ < 1000)) return;
    held = held_;
    total = total_;
    held_ = 0;
    // The summary is this second's line: under a steady flood, one line a second.
    secondStart_ = ticks;
    written_ = burst_;
  }
  const char* text = "%s%u %s in the last second, %llu in all.\n";
  if (libraryLead_) ILogSystem.Msg(level_, text, libraryLead_, (unsigned)held, what_, total);
  if (networkLead_ && core.log) core.log->Msg(level_, text, networkLead_, (unsigned)held, what_, total);
}

void NetLogLimit::Reset() {
  std::lock_guard<std::mutex> guard(lock_);
  started_ = false;
  written_ = 0;
  held_ = 0;
  total_ = 0;
}

// ---- sockets ----

namespace {

// SDL_net 1.2 keeps the descriptor right after the ready flag of its socket record. The record is not
// public, so the descriptor is used only when it is a socket connected to the peer SDL_net reports.
struct TCPsocketHead {
  int ready;
  int channel;
};

int SocketDescriptor(TCPsocket socket);

int ConnectedDescriptor(TCPsocket socket) {
  int fd = SocketDescriptor(socket);
  if (fd < 0) return -1;
  const IPaddress* peer = SDLNet_TCP_GetPeerAddress(socket);
  sockaddr_in address;
  socklen_t length = sizeof address;
  if (!peer || getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sin_family != AF_INET || address.sin_addr.s_addr != peer->host || address.sin_port != peer->port)
    return -1;
  return fd;
}

int SocketDescriptor(TCPsocket socket) {
  if (!socket) return -1;
  int fd = reinterpret_cast<const TCPsocketHead*>(socket)->channel;
  struct stat info;
  return fd >= 0 && fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode) ? fd : -1;
}

timeval Milliseconds(Uint32 ms) {
  timeval value;
  value.tv_sec = ms / 1000;
  value.tv_usec = (ms % 1000) * 1000;
  return value;
}

}  // namespace

int NetTuneSocket(TCPsocket socket, Uint32 boundMs) {
  int fd = ConnectedDescriptor(socket);
  if (fd < 0) {
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true))
      ILogSystem.Msg(2, " . [INetwork] Warning: socket options are out of reach; sends to a peer that stops "
                        "reading are not bounded.\n");
    return -1;
  }
  // Reads only follow readiness; the receive bound is a safety net should one ever block.
  timeval bound = Milliseconds(boundMs);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

int NetListenerDescriptor(TCPsocket socket, Uint16 port) {
  int fd = SocketDescriptor(socket);
  int listening = 0;
  socklen_t size = sizeof listening;
  sockaddr_in address;
  socklen_t length = sizeof address;
  if (fd < 0 || getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET ||
      ntohs(address.sin_port) != port)
    return -1;
  return fd;
}

// ---- writing ----

static const char* SenderName(const sNetCore& core, int role) {
  return role == kNetRoleServer ? "server" : core.userName;
}

// A failed send of the server's is a connection that failed; the client's repeat with every send.
static NetLogLimit& SendFailures(sNetCore& core, int role) {
  return role == kNetRoleServer ? core.failedConnections : core.failedSends;
}

int NetWrite(sNetCore& core, TCPsocket socket, NetOutgoing& message, Uint8 cmd, NetTokenGenerator* tokens, int role,
             bool* reported) {
  DataNet sent;
  const unsigned char* wire = message.Stamp(cmd, tokens, &sent);
  int total = (int)message.WireSize();
  int written = 0;
  if (wire && socket) {
    errno = 0;   // SDL_net retries while errno says interrupted, even after a successful call
    written = SDLNet_TCP_Send(socket, wire, total);
  }
  if (written < total) {
    bool report = SendFailures(core, role).Allow();
    if (reported) *reported = report;
    if (report)
      ILogSystem.Msg(0, " [INetwork::SendDataNet(%d,%d)] - Error: %d/%d bytes were transmitted (Sent by '%s').\n",
                     sent.Type, sent.Cmd, written < 0 ? 0 : written, total, SenderName(core, role));
    return 0;
  }
  std::lock_guard<std::mutex> lock(core.sentLock);
  NetTraffic& traffic = core.traffic[role];
  traffic.bytesOut += (Uint64)total;
  if (sent.Type == kNetSystem)
    traffic.systemOut++;
  else
    traffic.userOut++;
  return written;
}

int NetSend(sNetCore& core, TCPsocket socket, Uint8 type, Uint8 cmd, Sint16 aux, const char* data, Uint32 size,
            NetTokenGenerator* tokens, int role, bool* reported) {
  if (reported) *reported = true;
  if (!socket) return 0;
  NetOutgoing message;
  int refused = message.Prepare(type, cmd, aux, data, size);
  if (refused) {
    bool report = SendFailures(core, role).Allow();
    if (reported) *reported = report;
    if (report)
      ILogSystem.Msg(0, " [INetwork::SendDataNet(%d,%d)] - Error: %s (%llu) (Sent by '%s').\n", type, cmd,
                     refused == kNetErrSize ? "size limit exceed" : "no memory for the bytes",
                     (unsigned long long)size + kNetHeaderBytes, SenderName(core, role));
    return 0;
  }
  return NetWrite(core, socket, message, cmd, tokens, role, reported);
}

int NetClientSend(sNetCore& core, Uint8 type, Uint8 cmd, Sint16 aux, const char* data, Uint32 size, bool* reported) {
  std::lock_guard<std::mutex> lock(core.clientSendLock);
  return NetSend(core, core.clientSocket, type, cmd, aux, data, size, &core.clientTokens.sending, kNetRoleClient,
                 reported);
}

// ---- server's outgoing queues ----

// A frame's record and, for the first queue to hold its payload, the payload.
void NetHeldBytes::Add(const NetFrame& frame) {
  total_ += kNetFrameCost;
  if (frame.payload && frame.payload->queues++ == 0) total_ += NetPayloadCost(frame.header.Size);
}

void NetHeldBytes::Remove(const NetFrame& frame) {
  total_ -= kNetFrameCost;
  if (frame.payload && --frame.payload->queues == 0) total_ -= NetPayloadCost(frame.header.Size);
}

static Uint64 FrameCost(const NetFrame& frame) {
  return kNetFrameCost + (frame.payload ? NetPayloadCost(frame.header.Size) : 0);
}

void NetSendQueue::Push(NetFrame frame) {
  backlog_ += frame.WireSize();
  cost_ += FrameCost(frame);
  if (held_) held_->Add(frame);
  frames_.push_back(std::move(frame));
}

void NetSendQueue::Drop(const NetFrame& frame) {
  cost_ -= FrameCost(frame);
  if (held_) held_->Remove(frame);
}

void NetSendQueue::Advance(size_t count, NetTraffic& done) {
  while (count && !frames_.empty()) {
    const NetFrame& head = frames_.front();
    size_t part = head.WireSize() - headWritten_;
    if (part > count) part = count;
    headWritten_ += part;
    backlog_ -= part;
    sent_ += part;
    count -= part;
    if (headWritten_ < head.WireSize()) break;
    done.bytesOut += head.WireSize();
    if (head.header.Type == kNetSystem)
      done.systemOut++;
    else
      done.userOut++;
    Drop(head);
    frames_.pop_front();
    headWritten_ = 0;
  }
}

NetSendQueue::Status NetSendQueue::Write(int fd, TCPsocket socket, NetTraffic& done) {
  if (fd < 0) return WriteBlocking(socket, done);
  // Small frames go out many to a call; the first one may be part written already.
  const size_t kFramesPerCall = 256;
  while (!frames_.empty()) {
    iovec parts[2 * kFramesPerCall];
    size_t count = 0, skip = headWritten_;
    for (size_t i = 0; i < frames_.size() && i < kFramesPerCall; i++, skip = 0) {
      const NetFrame& frame = frames_[i];
      if (skip < kNetHeaderBytes)
        parts[count++] = {const_cast<unsigned char*>(frame.wireHeader) + skip, kNetHeaderBytes - skip};
      size_t payloadSkip = skip > kNetHeaderBytes ? skip - kNetHeaderBytes : 0;
      if (frame.header.Size > payloadSkip)
        parts[count++] = {const_cast<unsigned char*>(frame.Payload()) + payloadSkip, frame.header.Size - payloadSkip};
    }
    msghdr message;
    memset(&message, 0, sizeof message);
    message.msg_iov = parts;
    message.msg_iovlen = count;
    ssize_t sent = sendmsg(fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kWaiting;
    if (sent <= 0) return kFailed;
    Advance((size_t)sent, done);
  }
  return kDrained;
}

NetSendQueue::Status NetSendQueue::WriteBlocking(TCPsocket socket, NetTraffic& done) {
  while (!frames_.empty()) {
    const NetFrame& frame = frames_.front();
    const unsigned char* parts[2] = {frame.wireHeader, frame.Payload()};
    const size_t sizes[2] = {kNetHeaderBytes, frame.header.Size};
    for (int i = 0; i < 2; i++) {
      if (!sizes[i]) continue;
      errno = 0;   // SDL_net retries while errno says interrupted, even after a successful call
      int sent = socket ? SDLNet_TCP_Send(socket, parts[i], (int)sizes[i]) : 0;
      if (sent > 0) Advance((size_t)sent, done);
      if (sent < (int)sizes[i]) return kFailed;
    }
  }
  return kDrained;
}

void NetSendQueue::Clear() {
  for (const NetFrame& frame : frames_) Drop(frame);
  frames_.clear();
  headWritten_ = 0;
  backlog_ = 0;
  cost_ = 0;
}

Uint64 NetSendQueue::Cut(bool keepLast) {
  size_t first = headWritten_ ? 1 : 0, end = frames_.size();
  if (keepLast && end > first) end--;
  if (end <= first) return 0;
  Uint64 dropped = 0;
  for (size_t i = first; i < end; i++) {
    dropped += frames_[i].WireSize();
    Drop(frames_[i]);
  }
  frames_.erase(frames_.begin() + (long)first, frames_.begin() + (long)end);
  backlog_ -= dropped;
  return dropped;
}

// ---- reading ----

static size_t Chunk(size_t wanted) { return wanted > (1u << 20) ? (1u << 20) : wanted; }

// SDL_net's read, which waits: one per readiness, never past the message in progress.
static NetReader::Status PumpBlocking(TCPsocket socket, NetReader& reader, Uint32& deadline, Uint32 bound) {
  errno = 0;
  int got = SDLNet_TCP_Recv(socket, reader.Space(), (int)Chunk(reader.Wanted()));
  if (got <= 0) return reader.Fail();
  if (bound) deadline = NetWallTicks() + bound;
  return reader.Advance((size_t)got);
}

// Hands the reader what the inbox holds of the message in progress.
static NetReader::Status FromInbox(NetInbox& inbox, NetReader& reader) {
  size_t part = std::min(inbox.Held(), reader.Wanted());
  memcpy(reader.Space(), inbox.bytes + inbox.start, part);
  inbox.start += part;
  if (!inbox.Held()) inbox.Clear();
  return reader.Advance(part);
}

NetReader::Status NetPump(TCPsocket socket, int fd, NetReader& reader, NetInbox* inbox, Uint32& deadline,
                          Uint32 bound) {
  if (reader.Wanted() == 0) return reader.Advance(0);
  if (fd < 0) return PumpBlocking(socket, reader, deadline, bound);
  for (;;) {
    NetReader::Status status = NetReader::kNeedMore;
    if (inbox && inbox->Held()) {
      status = FromInbox(*inbox, reader);
    } else {
      // Straight into the message, and what follows it into the inbox, in one read.
      iovec parts[2] = {{reader.Space(), Chunk(reader.Wanted())}, {inbox ? inbox->bytes : nullptr, NetInbox::kBytes}};
      msghdr request;
      memset(&request, 0, sizeof request);
      request.msg_iov = parts;
      request.msg_iovlen = inbox ? 2 : 1;
      ssize_t got = recvmsg(fd, &request, MSG_DONTWAIT);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return NetReader::kNeedMore;
      if (got <= 0) return reader.Fail();
      if (bound) deadline = NetWallTicks() + bound;
      size_t direct = std::min((size_t)got, parts[0].iov_len);
      if (inbox) inbox->end = (size_t)got - direct;
      status = reader.Advance(direct);
    }
    if (status != NetReader::kNeedMore) return status;
  }
}

void NetFinishRead(sNetCore& core, const NetReader& reader, int role, bool report) {
  const DataNet& header = reader.Header();
  if (reader.ReadInFull()) {
    std::lock_guard<std::mutex> lock(core.receivedLock);
    NetTraffic& traffic = core.traffic[role];
    traffic.bytesIn += (Uint64)header.Size + kNetHeaderBytes;
    if (header.Type == kNetSystem)
      traffic.systemIn++;
    else
      traffic.userIn++;
  }
  // A well-formed first message that is no login is refused, not a broken connection: it logs nothing.
  int errors = reader.Errors() & ~kNetErrNotLogin;
  if (errors && report)
    ILogSystem.Msg(0, " [INetwork::ReceiveDataNet(%d,%d)] Error(%d): network connection failed! (%d-%d)\n",
                   header.Type, header.Cmd, errors, reader.PhaseBytes(), (int)kNetHeaderBytes);
}

void NetDump(sNetCore& core, const DataNet& message) {
  ILogSystem.Msg(0, " [INetwork %s] Info: DataNet 0x%x: - Type: %d - Cmd: %d - Aux: %d - Size: %d\n",
                 core.serverRunning ? "SERVER" : "CLIENT", (unsigned)(uintptr_t)&message, message.Type, message.Cmd,
                 message.Aux, (int)message.Size);
}

void NetWaitStarted(const std::atomic<Uint8>& state) {
  while (state == 0) SDL_Delay(5);
}

// ---- reception queue ----

// The one limit of the reception queue: its entries, and the memory their payloads take.
bool NetQueue::Insert(const DataNet& message) {
  Uint64 cost = message.Size ? NetPayloadCost(message.Size) : 0;
  if (used_ >= kEntries || bytes_ + cost > kByteLimit) return false;
  entries_[used_].message = message;
  entries_[used_].state = kReady;
  if (used_ > highest) highest = used_;
  used_++;
  waiting++;
  bytes_ += cost;
  return true;
}

int NetQueue::Take(char** data, unsigned int* size, Uint8* type) {
  asked_ = true;
  askedAt_ = NetWallTicks();
  for (int i = 0; i < used_; i++) {
    Entry& entry = entries_[i];
    if (entry.state != kReady) continue;
    *data = entry.message.Data;
    *size = entry.message.Size;
    *type = entry.message.Type;
    int cmd = entry.message.Cmd;
    waiting--;
    // Entries with a payload wait for FreeData; the others are done with.
    if (entry.message.Data)
      entry.state = kHandedOut;
    else
      Remove(i);
    return cmd;
  }
  return -1;
}

bool NetQueue::Free(char* data) {
  for (int i = 0; i < used_; i++) {
    Entry& entry = entries_[i];
    if (entry.state != kHandedOut || entry.message.Data != data) continue;
    NetFreePayload(entry.message.Data);
    bytes_ -= NetPayloadCost(entry.message.Size);
    Remove(i);
    freed_ = true;
    freedAt_ = NetWallTicks();
    return true;
  }
  return false;
}

void NetQueue::Remove(int index) {
  for (int i = index; i + 1 < used_; i++) entries_[i] = entries_[i + 1];
  used_--;
  entries_[used_] = Entry();
}

int NetQueue::Clear() {
  int untaken = 0;
  for (int i = 0; i < used_; i++) {
    if (entries_[i].state == kReady) untaken++;
    NetFreePayload(entries_[i].message.Data);
    entries_[i] = Entry();
  }
  used_ = 0;
  bytes_ = 0;
  waiting = 0;
  ForgetReads();
  return untaken;
}

bool NetQueue::Reading(Uint32 now) const {
  return asked_ && now - askedAt_ < kNetReadingMs && (waiting > 0 || (freed_ && now - freedAt_ < kNetReadingMs));
}

void NetQueue::ResetStatistics() {
  highest = -1;
  dropped = 0;
}

// ---- client thread ----

void NetCloseClient(sNetCore& core, bool report) {
  std::lock_guard<std::mutex> sending(core.clientSendLock);
  bool open = core.clientSocket || core.clientSet;
  {
    std::lock_guard<std::mutex> lock(core.socketLock);
    if (core.clientSet) SDLNet_FreeSocketSet(core.clientSet);
    core.clientSet = nullptr;
    if (core.clientSocket) SDLNet_TCP_Close(core.clientSocket);
    core.clientSocket = nullptr;
    core.clientFd = -1;
  }
  core.clientInbox.Clear();
  if (open && report) ILogSystem.Msg(2, " [INetwork Client] Info: client closed.\n");
  memset(core.userName, 0, sizeof core.userName);
}

namespace {

Sint32 SimulatedDelay(sNetCore& core) {
  std::lock_guard<std::mutex> lock(core.settingsLock);
  return core.simDelay;
}

// The simulated delay, cut short when the client is being stopped.
void HoldFor(sNetCore& core, Sint32 ms) {
  Uint32 until = NetWallTicks() + (Uint32)ms;
  while (ms > 0 && core.clientConnected) {
    Sint32 left = (Sint32)(until - NetWallTicks());
    if (left <= 0) break;
    SDL_Delay(left < 50 ? (Uint32)left : 50);
  }
}

// Handles one message from the server; 0 when it goes on to the queue, else the error that ends the
// connection. A kill signal sets `ended`; the client list is taken in here (its payload freed).
int ClientDispatch(sNetCore& core, DataNet& message, Sint32& delay, bool& ended) {
  char name[kNetNameBytes];
  if (message.Type == kNetUser) return message.Size ? 0 : 4;
  if (message.Type != kNetSystem) return 5;
  switch (message.Cmd) {
    case kNetJoined:
      if (NetParseName(message.Data, message.Size, name) != kNetNameOk) return 1;
      if (core.notices.Allow()) core.log->Msg(2, " [CLIENT] Client '%s' logged in.\n", name);
      return 0;
    case kNetQuit:
      if (NetParseName(message.Data, message.Size, name) != kNetNameOk) return 2;
      if (core.notices.Allow()) core.log->Msg(2, " [CLIENT] Client '%s' logged out.\n", name);
      return 0;
    case kNetClose:
      core.log->Msg(2, " [CLIENT] Server send us kill signal.\n");
      ended = true;
      return 0;
    case kNetClients: {
      core.log->Msg(5, " [CLIENT] Server send us the list of clients with updated information.\n");
      std::lock_guard<std::mutex> lock(core.listLock);
      for (sClientInfo& info : core.list) info.ip = 0;
      NetParseClientList(message.Data, message.Size, core.list);
      NetFreePayload(message.Data);
      message.Data = nullptr;
      message.Size = 0;
      return 0;
    }
    case kNetPing:
      core.log->Msg(5, " [CLIENT] Server send us ping signal.\n");
      NetClientSend(core, kNetSystem, kNetPing, message.Aux, nullptr, 0);
      delay = SimulatedDelay(core);
      return 0;
    default:
      return 3;
  }
}

// A game that reads gets every message: while its queue is full, what follows stays on the connection,
// where the server's limits see it. Only what a game that stopped reading has no room for is dropped.
void Enqueue(sNetCore& core, DataNet& message) {
  bool taken;
  {
    std::unique_lock<std::mutex> lock(core.queueLock);
    while (!(taken = core.queue.Insert(message)) && core.clientConnected && core.queue.Reading(NetWallTicks()))
      core.queueRoom.wait_for(lock, std::chrono::milliseconds(kNetWaitMs / 4));
    if (!taken) core.queue.dropped++;
  }
  if (taken) return;
  NetFreePayload(message.Data);
  message.Data = nullptr;
  if (core.droppedIncoming.Allow())
    core.log->Msg(2, " [CLIENT] Warning: client has dropped an incoming %s DataNet due to full queue.\n",
                  message.Type == kNetUser ? "User" : "System");
}

void FlushClientLines(sNetCore& core, bool now) {
  for (NetLogLimit* limit : {&core.droppedIncoming, &core.failedSends, &core.notices}) limit->Flush(core, now);
}

}  // namespace

int NetClientThread(void* argument) {
  sNetCore& core = *static_cast<sNetCore*>(argument);
  core.clientState = 1;
  Sint32 delay = SimulatedDelay(core);
  int failure = 0;
  Uint32 deadline = 0;
  DataNet last;
  NetReader& reader = core.clientReader;
  while (core.clientConnected) {
    FlushClientLines(core, false);
    // Messages read ahead are taken before waiting again.
    bool ready = core.clientInbox.Held() > 0;
    if (!ready) {
      int waited = SDLNet_CheckSockets(core.clientSet, kNetWaitMs);
      if (waited < 0) {
        failure = 10;
        break;
      }
      ready = waited > 0 && SDLNet_SocketReady(core.clientSocket);
    }
    NetReader::Status status = NetReader::kNeedMore;
    if (ready)
      status = NetPump(core.clientSocket, core.clientFd, reader, &core.clientInbox, deadline, core.clientStallMs);
    if (status == NetReader::kNeedMore && reader.Started() && NetPassed(deadline, NetWallTicks()))
      status = reader.Fail();   // a message that stalled half-way counts as a failed read
    if (status == NetReader::kNeedMore) continue;
    NetFinishRead(core, reader, kNetRoleClient);
    if (status == NetReader::kFailed) {
      last = reader.Header();
      reader.Reset();
      failure = '!';
      break;
    }
    DataNet message = reader.Take();
    last = message;
    last.Data = nullptr;
    if (delay > 0) HoldFor(core, delay);
    bool ended = false;
    int error = ClientDispatch(core, message, delay, ended);
    if (error) {
      NetFreePayload(message.Data);
      failure = error;
      break;
    }
    Enqueue(core, message);
    if (ended) break;
  }
  if (failure) {
    core.log->Msg(2, " [CLIENT] Error(%d): client lost connection with server.\n", failure);
    NetDump(core, last);
  }
  FlushClientLines(core, true);
  core.log->Msg(2, " [CLIENT] Info: client closed.\n");
  NetCloseClient(core, true);
  core.clientConnected = 0;
  core.clientState = 2;
  return failure;
}
