// The server thread: accepts connections, logs clients in, relays their messages (directly or through
// the authoritative callback) and pings them. Every connection is read a piece at a time as its bytes
// arrive, with a deadline, and written from its own queue as its socket takes bytes, so a silent,
// stalled or slow peer never holds up the others.
#include "71_NetCore.h"
#include "01_Main.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <strings.h>
#include <utility>
#include <sys/socket.h>
#include <vector>

namespace {

struct ServerPass {
  explicit ServerPass(sNetCore& owner) : core(owner) {}
  sNetCore& core;
  bool setDirty = false;      // the socket set no longer matches the connections
  bool closeRequested = false;
  bool listenerReady = false; // the last wait found a connection to accept
  DataNet last;               // the last message read, for the failure dump
  std::vector<NetPeer*> waitedOn;   // the wait's lists, kept from pass to pass
  std::vector<pollfd> watched;
};

Uint32 PeerAddress(TCPsocket socket) {
  const IPaddress* peer = SDLNet_TCP_GetPeerAddress(socket);
  return peer ? SDL_SwapBE32(peer->host) : 0;
}

void CloseSocket(sNetCore& core, TCPsocket socket) {
  std::lock_guard<std::mutex> lock(core.socketLock);
  SDLNet_TCP_Close(socket);
}

bool RebuildSet(ServerPass& pass) {
  sNetCore& core = pass.core;
  std::lock_guard<std::mutex> lock(core.socketLock);
  if (core.serverSet) SDLNet_FreeSocketSet(core.serverSet);
  core.serverSet = SDLNet_AllocSocketSet(1 + core.numClients + (int)core.pending.size());
  pass.setDirty = false;
  if (!core.serverSet) {
    ILogSystem.Msg(0, " . [Network->UpdateSocketSet()] Error: %s\n", SDLNet_GetError());
    return false;
  }
  SDLNet_TCP_AddSocket(core.serverSet, core.listener);
  for (int i = 0; i < core.numClients; i++) SDLNet_TCP_AddSocket(core.serverSet, core.slots[i]->socket);
  for (auto& connection : core.pending) SDLNet_TCP_AddSocket(core.serverSet, connection->socket);
  return true;
}

// Writes what a connection's socket takes now, without waiting, and counts the messages gone out whole.
NetSendQueue::Status WriteQueued(sNetCore& core, NetPeer& peer) {
  NetTraffic done;
  NetSendQueue::Status status = peer.outgoing.Write(peer.fd, peer.socket, done);
  if (done.bytesOut) {
    std::lock_guard<std::mutex> lock(core.sentLock);
    NetTraffic& traffic = core.traffic[kNetRoleServer];
    traffic.bytesOut += done.bytesOut;
    traffic.systemOut += done.systemOut;
    traffic.userOut += done.userOut;
  }
  return status;
}

// False when the connection failed: the frame it was writing is logged and the client marked, its
// stream is no longer in step.
bool Flush(sNetCore& core, NetPeer& peer) {
  if (WriteQueued(core, peer) != NetSendQueue::kFailed) return true;
  const DataNet& head = peer.outgoing.Head();
  ILogSystem.Msg(0, " [INetwork::SendDataNet(%d,%d)] - Error: %d/%d bytes were transmitted (Sent by 'server').\n",
                 head.Type, head.Cmd, (int)peer.outgoing.HeadWritten(), (int)(kNetHeaderBytes + head.Size));
  peer.broken = true;
  return false;
}

// Why a connection is dropped goes to the library's log and to the network's own (warning level).
void LogBoth(sNetCore& core, const char* text) {
  ILogSystem.Msg(2, " [INetwork Server] %s", text);
  core.log->Msg(2, " [SERVER] %s", text);
}

void LogRemoval(sNetCore& core, const char* name, const char* why) {
  char text[256];
  snprintf(text, sizeof text, "Warning: client '%s' %s. Removing client.\n", name, why);
  LogBoth(core, text);
}

// A client that cannot keep up is logged out rather than let the others wait or the memory grow; the
// line says which limit it passed and by how much. What waits for it goes at once; one that may still
// read (`notice`) keeps the message it is in the middle of, followed by the logout notice, so a
// library client reports a logout and not a lost connection.
void FallenBehind(sNetCore& core, NetPeer& peer, const char* why, bool notice) {
  LogRemoval(core, peer.name, why);
  peer.broken = true;
  if (!notice) {
    peer.outgoing.Clear();
    return;
  }
  peer.outgoing.Cut(false);
  NetOutgoing farewell;
  NetFrame frame;
  if (farewell.Prepare(kNetSystem, kNetClose, 0, nullptr, 0) == 0 && farewell.Frame(kNetClose, nullptr, frame))
    peer.outgoing.Push(std::move(frame));
  peer.farewell = true;
}

typedef unsigned long long Figure;   // byte counts as the log lines print them

// Queues one message for one client and writes what its socket takes at once (behind bytes that
// already wait, the socket has no room: the wait says when it has). False when the connection failed
// (a client that fell too far behind is marked, but that is no send failure).
bool SendTo(sNetCore& core, NetPeer& peer, NetOutgoing& message, Uint8 cmd) {
  NetFrame frame;
  if (!message.Frame(cmd, &peer.tokens.sending, frame)) return true;
  bool idle = peer.outgoing.Empty();
  peer.outgoing.Push(std::move(frame));
  if (idle && !Flush(core, peer)) return false;
  Uint64 hard = core.serverLimits.hardBytes;
  if (peer.outgoing.Backlog() > hard) {
    char why[112];
    snprintf(why, sizeof why, "is too far behind (%llu bytes waiting, hard limit %llu)",
             (Figure)peer.outgoing.Backlog(), (Figure)hard);
    FallenBehind(core, peer, why, true);
  }
  return true;
}

void ReportSendFailure(sNetCore& core, NetPeer& peer) {
  ILogSystem.Msg(0, " [INetwork Server] Error: DataNet could not be sent to '%s'.\n", peer.name);
  DataNet head = peer.outgoing.Head();
  NetDump(core, head);
}

// One message to every client, to one slot only (`only` >= 0), or to all but `skip`. The message is
// encoded once; each recipient's queue gets its own header in front of the shared payload. A client
// whose send fails is logged out once the pass is over.
void SendToClients(sNetCore& core, NetOutgoing& message, Uint8 cmd, int only, int skip) {
  for (int i = 0; i < core.numClients; i++) {
    if ((only >= 0 && i != only) || i == skip) continue;
    NetPeer& peer = *core.slots[i];
    if (!peer.socket || peer.broken) continue;
    if (!SendTo(core, peer, message, cmd)) ReportSendFailure(core, peer);
  }
}

void SendSystem(sNetCore& core, Uint8 cmd, const char* data, Uint32 size, int only, int skip) {
  NetOutgoing message;
  if (message.Prepare(kNetSystem, cmd, 0, data, size) == 0) SendToClients(core, message, cmd, only, skip);
}

// A logged-out connection that must give way before it took its last bytes (`why`).
void CloseOldestClosing(sNetCore& core, const char* why) {
  NetPeer& peer = *core.closing.front();
  ILogSystem.Msg(2, " [INetwork Server] Warning: client '%s' is closed before it took its last %llu bytes (%s).\n",
                 peer.name, (Figure)peer.outgoing.Backlog(), why);
  CloseSocket(core, peer.socket);
  core.closing.erase(core.closing.begin());
}

// A logged-out client that is owed its last bytes (its kill signal, and what waited before it) stays
// open a while to take them (ServeClosing); what such connections hold counts in the server's tally.
// One logged out by a limit has only the message in progress and the notice left.
void Retire(sNetCore& core, std::unique_ptr<NetPeer> peer, bool notice) {
  notice = notice || peer->farewell;
  if ((peer->broken && !peer->farewell) || (!notice && peer->outgoing.Empty()) || peer->fd < 0) {
    CloseSocket(core, peer->socket);
    return;
  }
  if (core.closing.size() >= kNetMaxClosing) CloseOldestClosing(core, "too many connections closing");
  peer->closing = peer->farewell ? NetPeer::kNotice : NetPeer::kSending;
  peer->closedAt = NetWallTicks();
  core.closing.push_back(std::move(peer));
}

void Logout(ServerPass& pass, int index, bool notice) {
  sNetCore& core = pass.core;
  if (index < 0 || index >= core.numClients || !core.slots[index]) return;
  if (notice) SendSystem(core, kNetClose, nullptr, 0, index, -1);
  std::unique_ptr<NetPeer> peer;
  {
    std::lock_guard<std::mutex> lock(core.listLock);
    peer = std::move(core.slots[index]);
    for (int i = index; i + 1 < core.numClients; i++) core.slots[i] = std::move(core.slots[i + 1]);
    core.numClients--;
  }
  unsigned shown = (unsigned)(uintptr_t)peer->socket;
  char name[kNetNameBytes];
  memcpy(name, peer->name, sizeof name);
  Retire(core, std::move(peer), notice);
  ILogSystem.Msg(2, " [INetwork Server] Info: client '%s' logged out,it was using socket 0x%x.\n", name, shown);
  pass.setDirty = true;
  SendSystem(core, kNetQuit, name, (Uint32)strlen(name) + 1, -1, -1);
}

void LogoutBroken(ServerPass& pass) {
  for (int i = 0; i < pass.core.numClients;) {
    if (pass.core.slots[i]->broken)
      Logout(pass, i, false);   // its leave may mark others; the walk goes on from the same place
    else
      i++;
  }
}

// ---- login ----

void Refuse(sNetCore& core, NetPeer& connection, int code) {
  NetSend(core, connection.socket, kNetSystem, kNetRefused, (Sint16)code, nullptr, 0, nullptr, kNetRoleServer);
  // What the peer sent beyond its header is read away, so closing does not reset the connection
  // before the refusal arrives.
  SDLNet_SocketSet one = SDLNet_AllocSocketSet(1);
  if (one && SDLNet_TCP_AddSocket(one, connection.socket) > 0) {
    char discard[4096];
    for (int rounds = 0; rounds < 16 && SDLNet_CheckSockets(one, 0) > 0; rounds++) {
      errno = 0;
      if (SDLNet_TCP_Recv(connection.socket, discard, sizeof discard) <= 0) break;
    }
  }
  if (one) SDLNet_FreeSocketSet(one);
}

// Answers the first message of a connection: refused (the connection is closed) or logged in.
void Login(ServerPass& pass, std::unique_ptr<NetPeer> connection) {
  sNetCore& core = pass.core;
  NetReader& reader = connection->reader;
  NetFinishRead(core, reader, kNetRoleServer);
  if (reader.Errors() & (kNetErrHeader | kNetErrPayload)) {   // nothing (whole) to answer
    CloseSocket(core, connection->socket);
    return;
  }
  const DataNet& header = reader.Header();
  Uint32 features;
  {
    std::lock_guard<std::mutex> lock(core.settingsLock);
    features = core.features;
  }
  int code = -1;
  char name[kNetNameBytes] = {};
  if (header.Type != kNetSystem || header.Cmd != kNetLogin) {
    code = 0;
  } else if (features & 1) {
    code = 5;
  } else if ((Uint16)header.Aux != (Uint16)(core.password & 0xFFFF)) {
    code = 4;
  }
  DataNet request;
  if (code < 0) {
    // A login of 1..16 bytes read in full; one of another size was not read and has no name.
    request = reader.Take();
    if (NetParseName(request.Data, request.Size, name) != kNetNameOk) {
      ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to '%s': invalid client name.\n", name);
      code = 1;
    } else {
      for (int i = 0; i < core.numClients && code < 0; i++)
        if (strcasecmp(core.slots[i]->name, name) == 0) {
          ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to '%s': duplicated client name.\n", name);
          code = 2;
        }
      if (code < 0 && core.numClients >= kNetMaxClients) {
        ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to '%s': server can not add more client (limit:%d).\n",
                       name, (int)kNetMaxClients);
        code = 3;
      }
    }
  }
  if (code >= 0) {
    NetFreePayload(request.Data);
    Refuse(core, *connection, code);
    CloseSocket(core, connection->socket);
    return;
  }

  memcpy(connection->name, name, sizeof name);
  connection->reader.Configure(false, &connection->tokens.receiving);
  connection->reader.Reset();
  TCPsocket socket = connection->socket;
  int slot;
  {
    std::lock_guard<std::mutex> lock(core.listLock);
    slot = core.numClients;
    core.slots[slot] = std::move(connection);
    core.numClients++;
  }
  pass.setDirty = true;
  ILogSystem.Msg(2, " [INetwork Server] Info: client '%s' logged in, it's using socket 0x%x.\n", name,
                 (unsigned)(uintptr_t)socket);

  core.seedGenerator.seed(Yandorix_Ticks());
  Uint16 seed = (Uint16)((core.seedGenerator() & 0xFFFF) % 65535);
  NetOutgoing accepted;
  if (accepted.Prepare(kNetSystem, kNetAccepted, (Sint16)seed, request.Data, request.Size) == 0)
    SendToClients(core, accepted, kNetAccepted, slot, -1);
  NetFreePayload(request.Data);
  core.slots[slot]->tokens.Seed(seed);
  SendSystem(core, kNetJoined, name, (Uint32)strlen(name) + 1, -1, slot);
}

void AcceptConnections(ServerPass& pass) {
  sNetCore& core = pass.core;
  for (int accepted = 0; accepted < 8; accepted++) {
    // A client of this process may be half-way through its login on this server: wait a moment, and
    // when it is not done, leave the connection waiting rather than stall everyone.
    if (!core.acceptLock.try_lock_for(std::chrono::milliseconds(50))) return;
    core.acceptLock.unlock();
    TCPsocket socket;
    {
      std::lock_guard<std::mutex> lock(core.socketLock);
      socket = SDLNet_TCP_Accept(core.listener);
    }
    if (!socket) return;
    int fd = NetTuneSocket(socket, kNetBlockingSendBoundMs);
    // What the socket holds beyond what is on its way is kept small: the queue then shows how far behind
    // the client is, and a closing client's message in progress is not stuck behind megabytes.
    int unsent = kNetUnsentBytes;
    if (fd >= 0) setsockopt(fd, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &unsent, sizeof unsent);
    if (core.pending.size() >= kNetMaxPending) {   // a flood of idle connections: the oldest goes
      core.log->Msg(2, " [SERVER] Warning: too many connections waiting to log in, the oldest is closed.\n");
      CloseSocket(core, core.pending.front()->socket);
      core.pending.erase(core.pending.begin());
    }
    std::unique_ptr<NetPeer> connection(new NetPeer());
    connection->socket = socket;
    connection->fd = fd;
    connection->address = PeerAddress(socket);
    connection->deadline = NetWallTicks() + kNetLoginBoundMs;
    connection->lastProgress = NetWallTicks();
    connection->reader.Configure(true, nullptr);
    connection->outgoing.Track(&core.held);
    core.pending.push_back(std::move(connection));
    pass.setDirty = true;
  }
}

// A connection that has not logged in within the login bound is closed; the line says so, the read's
// own error line follows.
NetReader::Status LoginTooLate(sNetCore& core, NetPeer& connection) {
  Uint32 a = connection.address;
  char text[160];
  snprintf(text, sizeof text, "Warning: a connection from %u.%u.%u.%u sent no whole login request within %u ms; "
           "it is closed.\n", a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255, (unsigned)kNetLoginBoundMs);
  LogBoth(core, text);
  return connection.reader.Fail();
}

void ServePending(ServerPass& pass) {
  sNetCore& core = pass.core;
  Uint32 now = NetWallTicks();
  for (size_t i = 0; i < core.pending.size();) {
    NetPeer& connection = *core.pending[i];
    NetReader::Status status = NetReader::kNeedMore;
    // Readiness is used once: a connection that moves on to a slot is not read again this pass.
    if (std::exchange(connection.readable, false)) status = NetPump(connection.socket, connection.fd, connection.reader, connection.deadline, 0);
    if (status == NetReader::kNeedMore && NetPassed(connection.deadline, now)) status = LoginTooLate(core, connection);
    if (status == NetReader::kNeedMore) {
      i++;
      continue;
    }
    std::unique_ptr<NetPeer> taken = std::move(core.pending[i]);
    core.pending.erase(core.pending.begin() + (long)i);
    pass.setDirty = true;
    Login(pass, std::move(taken));
  }
}

// ---- messages of logged-in clients ----

// The payload is scrambled and its check value found once; each recipient costs only a header. The
// callback may have changed the payload it was shown: then its check value is computed afresh.
void Relay(sNetCore& core, int sender, DataNet& message, Uint8 toSender, Uint8 toOthers, bool shown) {
  NetOutgoing relay;
  relay.Adopt(message, shown);
  if (toSender) SendToClients(core, relay, toSender, sender, -1);
  if (toOthers) SendToClients(core, relay, toOthers, -1, sender);
}

void ClientsInfo(sNetCore& core, int sender) {
  sClientInfo list[kNetMaxClients];
  int count;
  {
    std::lock_guard<std::mutex> lock(core.listLock);
    count = NetBuildClientList(core, core.list);
    memcpy(list, core.list, sizeof list);
  }
  for (int i = 0; i < count; i++)
    core.log->Msg(2, " [SERVER] '%s' - IP '%d.%d.%d.%d' - Current %dms - Average %dms.\n", list[i].name,
                  list[i].ip >> 24, (list[i].ip >> 16) & 255, (list[i].ip >> 8) & 255, list[i].ip & 255, list[i].ping,
                  list[i].avgping);
  if (count == 0) return;
  unsigned char bytes[kNetMaxClients * kNetClientRecordBytes];
  Uint32 size = NetWriteClientList(list, count, bytes);
  SendSystem(core, kNetClients, reinterpret_cast<const char*>(bytes), size, sender, -1);
}

void PingAnswered(sNetCore& core, NetPeer& peer) {
  std::lock_guard<std::mutex> lock(core.listLock);
  if (!peer.pingOutstanding) return;   // an answer to no ping would record a meaningless time
  peer.pingOutstanding = false;
  if (peer.ringpos >= (Sint32)kNetPingSamples) peer.ringpos = 0;
  peer.ping[peer.ringpos++] = (Sint32)(Yandorix_Ticks() - peer.lastping);
}

void UserMessage(sNetCore& core, int sender, DataNet& message) {
  const char* name = core.slots[sender]->name;
  if (message.Size == 0) {   // nothing to relay: receivers would take it for a broken stream
    core.log->Msg(2, " [SERVER] Warning: empty data from '%s' was ignored.\n", name);
    return;
  }
  int (*callback)(void*, int) = core.callback;
  if (!callback) {
    core.log->Msg(5, " [SERVER] Info: sending data from '%s' to others (%d bytes).\n", name, (int)message.Size);
    Relay(core, sender, message, 0, kNetRelayed, false);
    return;
  }
  int verdict = 1;
  if (message.Cmd == kNetValidate) {
    verdict = callback(message.Data, (int)message.Size);
    if (verdict == 0) {
      core.log->Msg(5, " [SERVER] Info: received data from '%s' was denied by CoreServer callback.\n", name);
      Relay(core, sender, message, kNetDenied, 0, true);
      return;
    }
  } else if (message.Cmd != kNetPlain) {
    verdict = 3;
  }
  if (verdict != 1) {
    core.log->Msg(2, " [SERVER] Warning: unknown CoreServer_Callback() returned value %d. Doing nothing!\n", verdict);
    return;
  }
  core.log->Msg(5, " [SERVER] Info: received data from '%s' was validated by CoreServer callback.\n", name);
  Relay(core, sender, message, kNetApproved, kNetRelayed, message.Cmd == kNetValidate);
}

void Dispatch(ServerPass& pass, int sender, DataNet& message) {
  sNetCore& core = pass.core;
  NetPeer& peer = *core.slots[sender];
  if (message.Type == kNetUser) return UserMessage(core, sender, message);
  if (message.Type != kNetSystem) return Logout(pass, sender, true);
  switch (message.Cmd) {
    case kNetQuit:
      core.log->Msg(2, " [SERVER] Client '%s' has requested a QUIT CLIENT signal.\n", peer.name);
      Logout(pass, sender, true);
      break;
    case kNetClose:
      core.log->Msg(2, " [SERVER] Client '%s' has requested a CLOSE SERVER signal.\n", peer.name);
      pass.closeRequested = true;
      break;
    case kNetClients:
      core.log->Msg(2, " [SERVER] Client '%s' has requested a CLIENTS INFO signal.\n", peer.name);
      ClientsInfo(core, sender);
      break;
    case kNetPing:
      PingAnswered(core, peer);
      break;
    default:   // not a client's command: this one client is out of step, the server is not
      core.log->Msg(2, " [SERVER] Warning: client '%s' sent the unknown command %d and is logged out.\n", peer.name,
                    message.Cmd);
      Logout(pass, sender, true);
      break;
  }
}

// A client that stopped half-way through a message is out of step for good.
NetReader::Status Stalled(sNetCore& core, NetPeer& peer, Uint32 now) {
  Uint32 limit = core.serverLimits.stallMs;
  char why[96];
  snprintf(why, sizeof why, "sent nothing more of a message for %u ms (limit %u ms)", now - (peer.deadline - limit),
           limit);
  LogRemoval(core, peer.name, why);
  return peer.reader.Fail();
}

void ServeClients(ServerPass& pass) {
  sNetCore& core = pass.core;
  Uint32 now = NetWallTicks();
  for (int i = 0; i < core.numClients && !pass.closeRequested;) {
    NetPeer& peer = *core.slots[i];
    NetReader::Status status = NetReader::kNeedMore;
    if (std::exchange(peer.readable, false))
      status = NetPump(peer.socket, peer.fd, peer.reader, peer.deadline, core.serverLimits.stallMs);
    bool stalled = status == NetReader::kNeedMore && peer.reader.Started() && NetPassed(peer.deadline, now);
    if (stalled) status = Stalled(core, peer, now);
    if (status == NetReader::kNeedMore) {
      i++;
      continue;
    }
    NetFinishRead(core, peer.reader, kNetRoleServer);
    if (status == NetReader::kFailed) {
      if (!stalled)
        core.log->Msg(2, " [SERVER] Warning: client '%s' is logged out: its connection ended or what it sent was "
                         "refused (error %d).\n", peer.name, peer.reader.Errors());
      pass.last = peer.reader.Header();
      peer.reader.Reset();
      Logout(pass, i, false);
      continue;
    }
    DataNet message = peer.reader.Take();
    pass.last = message;
    pass.last.Data = nullptr;
    int before = core.numClients;
    Dispatch(pass, i, message);
    NetFreePayload(message.Data);
    if (core.numClients == before) i++;
  }
}

void PingCycle(sNetCore& core) {
  core.lastPingCycle = Yandorix_Ticks();
  NetOutgoing ping;
  if (ping.Prepare(kNetSystem, kNetPing, 0, nullptr, 0) != 0) return;
  for (int i = 0; i < core.numClients; i++) {
    NetPeer& peer = *core.slots[i];
    if (peer.broken) continue;
    {
      std::lock_guard<std::mutex> lock(core.listLock);
      peer.lastping = Yandorix_Ticks();
      peer.pingOutstanding = true;
    }
    if (SendTo(core, peer, ping, kNetPing)) continue;
    ILogSystem.Msg(2, " [INetwork Server] Error: client '%s' doesn't respond to Ping signal. Removing client.\n",
                   peer.name);
    core.log->Msg(2, " [SERVER] Error: client '%s' doesn't respond to Ping signal. Removing client.\n", peer.name);
  }
}

// ---- waiting and writing ----

// What a wait found for one connection. One that failed or closed counts as both: the read or the
// write then finds out.
void MarkReady(NetPeer& peer, short found) {
  peer.readable = found & (POLLIN | POLLERR | POLLHUP);
  peer.writable = found & (POLLOUT | POLLERR | POLLHUP);
}

// What to wait for on a connection: bytes to read (until its peer has closed its side), and room in
// its socket while bytes wait for it.
short Wanted(const NetPeer& peer) {
  return (short)((peer.hungUp ? 0 : POLLIN) | (peer.outgoing.Empty() ? 0 : POLLOUT));
}

// Waits up to one wait period for a connection, bytes to read, or room in the socket of a client with
// bytes waiting. Sets the flags of every connection; returns how many connections to accept or
// clients have something to read, -1 when the wait failed.
int Wait(ServerPass& pass) {
  sNetCore& core = pass.core;
  std::vector<NetPeer*>& peers = pass.waitedOn;
  peers.clear();
  for (auto& connection : core.pending) peers.push_back(connection.get());
  for (int i = 0; i < core.numClients; i++) peers.push_back(core.slots[i].get());
  size_t reading = peers.size();   // logged-out connections after these are only written
  for (auto& connection : core.closing) peers.push_back(connection.get());
  bool reachable = core.listenerFd >= 0, waiting = false;
  for (NetPeer* peer : peers) {
    reachable = reachable && peer->fd >= 0;
    waiting = waiting || !peer->outgoing.Empty();
  }
  if (!reachable) {
    // SDL_net's wait sees only reading: clients with bytes waiting are tried again soon.
    int ready = core.serverSet ? SDLNet_CheckSockets(core.serverSet, waiting ? 10u : (Uint32)kNetWaitMs) : -1;
    pass.listenerReady = ready > 0 && SDLNet_SocketReady(core.listener);
    for (NetPeer* peer : peers) {
      peer->readable = ready > 0 && SDLNet_SocketReady(peer->socket);
      peer->writable = true;
    }
    return ready;
  }
  std::vector<pollfd>& watched = pass.watched;
  watched.clear();
  watched.push_back({core.listenerFd, POLLIN, 0});
  for (NetPeer* peer : peers) watched.push_back({peer->fd, Wanted(*peer), 0});
  int ready;
  do ready = poll(watched.data(), watched.size(), kNetWaitMs);
  while (ready < 0 && errno == EINTR);
  if (ready < 0) return -1;
  pass.listenerReady = watched[0].revents & (POLLIN | POLLERR | POLLHUP);
  int readable = pass.listenerReady ? 1 : 0;
  for (size_t i = 0; i < peers.size(); i++) {
    MarkReady(*peers[i], watched[i + 1].revents);
    if (i < reading && peers[i]->readable) readable++;
  }
  return readable;
}

// Follows what the peer's machine has taken of the bytes written to it (the socket's unacknowledged
// bytes going down), so a slow reader shows its progress however much this machine's socket buffer
// holds; without a descriptor, what the socket took counts. The socket is asked at most once an asking
// period unless `fresh` (a decision hangs on the answer), not once a message. While nothing waits for
// the peer anywhere on this side, the clock of its last progress stands at now.
void WatchProgress(NetPeer& peer, Uint32 now, bool fresh) {
  Uint64 sent = peer.outgoing.Sent();
  if (sent == peer.acknowledged) {
    peer.unacknowledged = 0;
  } else if (fresh || now - peer.progressAskedAt >= kNetProgressAskMs) {
    int inSocket = 0;
    if (peer.fd < 0 || ioctl(peer.fd, SIOCOUTQ, &inSocket) != 0) inSocket = 0;
    peer.progressAskedAt = now;
    peer.unacknowledged = std::min<Uint64>(sent, (Uint64)std::max(inSocket, 0));
    if (sent - peer.unacknowledged > peer.acknowledged) {
      peer.acknowledged = sent - peer.unacknowledged;
      peer.lastProgress = now;
    }
  }
  if (peer.outgoing.Empty() && !peer.unacknowledged) peer.lastProgress = now;
}

// Logs out a client that stays past the soft limit, or that takes none of the bytes waiting for it,
// for long. One that takes nothing is closed at once; one that is slow gets its logout notice.
void HoldToLimits(sNetCore& core, NetPeer& peer, Uint32 now) {
  const NetLimits& limits = core.serverLimits;
  WatchProgress(peer, now, false);
  Uint64 waiting = peer.outgoing.Backlog();
  if (waiting <= limits.softBytes) {
    peer.overSoft = false;
  } else if (!peer.overSoft) {
    peer.overSoft = true;
    peer.overSoftSince = now;
  }
  char why[192];
  if (NetPassed(peer.lastProgress + limits.stallMs, now)) WatchProgress(peer, now, true);
  if (NetPassed(peer.lastProgress + limits.stallMs, now)) {
    snprintf(why, sizeof why, "took no data for %u ms (%llu bytes waiting and %llu sent but not taken, limit %u ms)",
             now - peer.lastProgress, (Figure)waiting, (Figure)peer.unacknowledged, limits.stallMs);
    FallenBehind(core, peer, why, false);
  } else if (peer.overSoft && NetPassed(peer.overSoftSince + limits.softMs, now)) {
    snprintf(why, sizeof why, "stayed too far behind (over the soft limit of %llu bytes for %u ms, %llu bytes waiting)",
             (Figure)limits.softBytes, now - peer.overSoftSince, (Figure)waiting);
    FallenBehind(core, peer, why, true);
  }
}

// The server's memory: past its limit, connections already logged out lose their last bytes first,
// then the client furthest behind goes.
void HoldToTotal(sNetCore& core) {
  const Uint64 limit = core.serverLimits.totalBytes;
  while (core.held.Total() > limit) {
    if (!core.closing.empty()) {
      CloseOldestClosing(core, "the server holds too much for its clients");
      continue;
    }
    NetPeer* furthest = nullptr;
    for (int i = 0; i < core.numClients; i++) {
      NetPeer& peer = *core.slots[i];
      if (!peer.broken && (!furthest || peer.outgoing.Backlog() > furthest->outgoing.Backlog())) furthest = &peer;
    }
    if (!furthest || furthest->outgoing.Empty()) return;
    char why[160];
    snprintf(why, sizeof why, "is the furthest behind (%llu bytes waiting) while the server holds %llu bytes for its "
             "clients, limit %llu", (Figure)furthest->outgoing.Backlog(), (Figure)core.held.Total(), (Figure)limit);
    FallenBehind(core, *furthest, why, true);
  }
}

// Reads away what a logged-out connection still sends, so closing it does not reset the connection
// before its last bytes arrive; then writes those. A full socket signals room only once a third of it
// is free, so the few last bytes are tried on every pass.
NetSendQueue::Status FlushClosing(sNetCore& core, NetPeer& peer) {
  char discard[4096];
  for (int rounds = 0; peer.readable && !peer.hungUp && rounds < 16; rounds++) {
    ssize_t got = recv(peer.fd, discard, sizeof discard, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) peer.hungUp = true;
    if (got <= 0) break;
  }
  return peer.outgoing.Empty() ? NetSendQueue::kDrained : WriteQueued(core, peer);
}

// Moves a logged-out connection on. It gets all that waited for it for the flush time; after that,
// while it keeps taking bytes, only the message in progress and the logout notice, up to the cap, so a
// reader on a slow link gets the message whole and the notice; one that takes nothing is closed. Once
// all is written its side is shut, and it closes when the peer has every byte or has gone. Returns
// false when it is to be closed.
bool ServeOneClosing(const NetLimits& limits, sNetCore& core, NetPeer& peer, Uint32 now) {
  NetSendQueue::Status status = FlushClosing(core, peer);
  if (status == NetSendQueue::kFailed) return false;
  WatchProgress(peer, now, true);
  if (status == NetSendQueue::kDrained) {
    if (!peer.finishing) shutdown(peer.fd, SHUT_WR);   // the peer sees the end after the notice
    peer.finishing = true;
    if (peer.hungUp || !peer.unacknowledged) return false;
  }
  Uint32 elapsed = now - peer.closedAt;
  if (peer.closing == NetPeer::kSending && elapsed < limits.closeFlushMs) return true;
  Uint64 waiting = peer.outgoing.Backlog();
  if (!NetPassed(peer.lastProgress + limits.closeTakingMs, now) && elapsed < limits.closeCapMs) {
    if (peer.closing == NetPeer::kSending) {
      if (Uint64 dropped = peer.outgoing.Cut(true))
        ILogSystem.Msg(2, " [INetwork Server] Warning: client '%s' still had %llu bytes waiting %u ms after its "
                          "logout; %llu of them were dropped ahead of its last message.\n",
                       peer.name, (Figure)waiting, elapsed, (Figure)dropped);
      peer.closing = NetPeer::kNotice;
    }
    return true;
  }
  ILogSystem.Msg(2, " [INetwork Server] Warning: client '%s' did not take its last %llu bytes within %u ms of its "
                    "logout; its connection is closed.\n",
                 peer.name, (Figure)(waiting + peer.unacknowledged), elapsed);
  return false;
}

void ServeClosing(sNetCore& core, Uint32 now) {
  for (size_t i = 0; i < core.closing.size();) {
    if (ServeOneClosing(core.serverLimits, core, *core.closing[i], now)) {
      i++;
      continue;
    }
    CloseSocket(core, core.closing[i]->socket);
    core.closing.erase(core.closing.begin() + (long)i);
  }
}

// Writes where the wait found room; holds every client to its limits and the server to its memory.
// Connections that were logged out go once their last bytes are out.
void ServeWrites(sNetCore& core) {
  Uint32 now = NetWallTicks();
  for (int i = 0; i < core.numClients; i++) {
    NetPeer& peer = *core.slots[i];
    if (peer.broken) continue;
    if (peer.writable && !peer.outgoing.Empty() && !Flush(core, peer)) {
      ReportSendFailure(core, peer);
      continue;
    }
    HoldToLimits(core, peer, now);
  }
  HoldToTotal(core);
  ServeClosing(core, now);
}

// A closing server lets logged-out connections take their last bytes: every one has a bounded time.
void DrainClosing(sNetCore& core) {
  std::vector<pollfd> watched;
  while (!core.closing.empty()) {
    watched.clear();
    for (auto& peer : core.closing) watched.push_back({peer->fd, Wanted(*peer), 0});
    if (poll(watched.data(), watched.size(), 50) < 0 && errno != EINTR) break;
    for (size_t i = 0; i < watched.size(); i++) MarkReady(*core.closing[i], watched[i].revents);
    ServeClosing(core, NetWallTicks());
  }
}

void CloseServer(ServerPass& pass) {
  sNetCore& core = pass.core;
  while (core.numClients) Logout(pass, 0, true);
  DrainClosing(core);
  for (auto& connection : core.closing) CloseSocket(core, connection->socket);
  core.closing.clear();
  for (auto& connection : core.pending) CloseSocket(core, connection->socket);
  core.pending.clear();
  {
    std::lock_guard<std::mutex> lock(core.socketLock);
    if (core.serverSet) SDLNet_FreeSocketSet(core.serverSet);
    core.serverSet = nullptr;
    if (core.listener) SDLNet_TCP_Close(core.listener);
    core.listener = nullptr;
    core.listenerFd = -1;
  }
  ILogSystem.Msg(2, " [INetwork Server] Info: server closed.\n");
}

}  // namespace

int NetBuildClientList(sNetCore& core, sClientInfo list[kNetMaxClients]) {
  memset(list, 0, sizeof(sClientInfo) * kNetMaxClients);
  int count = 0;
  for (int i = 0; i < core.numClients; i++) {
    const NetPeer& peer = *core.slots[i];
    if (!peer.name[0]) continue;
    sClientInfo& info = list[count++];
    memcpy(info.name, peer.name, sizeof info.name);
    info.ip = peer.address;
    info.ping = peer.ringpos > 0 ? peer.ping[peer.ringpos - 1] : 0;
    Sint32 sum = 0;
    for (Sint32 sample : peer.ping) sum += sample;
    info.avgping = sum / kNetPingSamples;
  }
  return count;
}

int NetServerThread(void* argument) {
  ServerPass pass(*static_cast<sNetCore*>(argument));
  sNetCore& core = pass.core;
  core.serverState = 1;
  int failure = 0;
  while (core.serverRunning && !pass.closeRequested) {
    if (pass.setDirty && !RebuildSet(pass)) {
      failure = 10;
      break;
    }
    int ready = Wait(pass);
    if (ready < 0) {
      failure = 10;
      break;
    }
    if (ready == 0 && Yandorix_Ticks() - core.lastPingCycle >= kNetPingPeriodMs) PingCycle(core);
    if (pass.listenerReady) AcceptConnections(pass);
    // Deadlines are checked on every pass, ready or not.
    ServePending(pass);
    ServeClients(pass);
    ServeWrites(core);
    LogoutBroken(pass);
  }
  if (failure) {
    core.log->Msg(2, " [SERVER] Error: internal failure! (bFlagErr:%d).\n", failure);
    NetDump(core, pass.last);
  }
  CloseServer(pass);
  core.log->Msg(2, " [SERVER] Info: server closed.\n");
  core.serverRunning = 0;
  core.serverState = 2;
  return failure;
}
