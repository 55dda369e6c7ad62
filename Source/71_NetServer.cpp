// The server thread: accepts connections, logs clients in, relays their messages (directly or through
// the authoritative callback) and pings them. Every connection is read as its bytes arrive, many
// messages to a read, with a deadline, and written from its own queue once a pass as its socket takes
// bytes, so a silent, stalled or slow peer never holds up the others.
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

typedef unsigned long long Figure;   // byte counts as the log lines print them

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

// An address as its dotted text.
struct Dotted {
  explicit Dotted(Uint32 a) {
    snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255);
  }
  char text[16];
};

// Counts a finished read and logs its errors, as lines that may repeat.
void FinishRead(sNetCore& core, const NetReader& reader, NetLogLimit& limit) {
  bool failed = (reader.Errors() & ~kNetErrNotLogin) != 0;
  NetFinishRead(core, reader, kNetRoleServer, failed && limit.Allow());
}

// ---- closing: the stages a logged-out connection goes through, all in this section ----

// Marks a logged-in client to be logged out at the end of the pass. One that may still read
// (`notice`) keeps the message it is in the middle of, followed by the logout notice, so a library
// client reports a logout and not a lost connection; from one that may not, what waits goes at once.
void Drop(NetPeer& peer, bool notice) {
  if (!peer.LoggedIn()) return;
  if (!notice) {
    peer.outgoing.Clear();
    peer.stage = NetStage::kDropped;
    return;
  }
  peer.outgoing.Cut(false);
  NetOutgoing farewell;
  NetFrame frame;
  if (farewell.Prepare(kNetSystem, kNetClose, 0, nullptr, 0) == 0 && farewell.Frame(kNetClose, nullptr, frame))
    peer.outgoing.Push(std::move(frame));
  peer.stage = NetStage::kDroppedNotice;
}

// A client that cannot keep up is logged out rather than let the others wait or the memory grow; the
// line says which limit it passed and by how much.
void FallenBehind(sNetCore& core, NetPeer& peer, const char* why, bool notice) {
  if (core.failedConnections.Allow()) LogRemoval(core, peer.name, why);
  Drop(peer, notice);
}

// A logged-out connection that must give way before it took its last bytes (`why`).
void CloseOldestClosing(sNetCore& core, const char* why) {
  NetPeer& peer = *core.closing.front();
  if (core.failedConnections.Allow())
    ILogSystem.Msg(2, " [INetwork Server] Warning: client '%s' is closed before it took its last %llu bytes (%s).\n",
                   peer.name, (Figure)peer.outgoing.Backlog(), why);
  CloseSocket(core, peer.socket);
  core.closing.erase(core.closing.begin());
}

// A logged-out client that is owed its last bytes (its kill signal, and what waited before it) stays
// open a while to take them (ServeOneClosing); what such connections hold counts in the server's tally.
// One dropped by a limit has only the message in progress and the notice left; one dropped without
// them, or without a descriptor to write to without waiting, is closed at once.
void Retire(sNetCore& core, std::unique_ptr<NetPeer> peer, bool notice) {
  bool limited = peer->stage == NetStage::kDroppedNotice;
  bool owed = limited || notice || !peer->outgoing.Empty();
  if (peer->stage == NetStage::kDropped || peer->fd < 0 || !owed) {
    CloseSocket(core, peer->socket);
    return;
  }
  if (core.closing.size() >= kNetMaxClosing) CloseOldestClosing(core, "too many connections closing");
  peer->stage = limited ? NetStage::kLastMessage : NetStage::kFlushing;
  peer->inbox.reset();   // nothing more is read from it
  peer->reader.Reset();
  peer->closedAt = NetWallTicks();
  core.closing.push_back(std::move(peer));
}

void SendSystem(sNetCore& core, Uint8 cmd, const char* data, Uint32 size, int only, int skip);

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
  if (core.comings.Allow())
    ILogSystem.Msg(2, " [INetwork Server] Info: client '%s' logged out,it was using socket 0x%x.\n", name, shown);
  pass.setDirty = true;
  SendSystem(core, kNetQuit, name, (Uint32)strlen(name) + 1, -1, -1);
}

// Logs out the clients marked during the pass.
void LogoutDropped(ServerPass& pass) {
  for (int i = 0; i < pass.core.numClients;) {
    if (!pass.core.slots[i]->LoggedIn())
      Logout(pass, i, false);   // its leave may mark others; the walk goes on from the same place
    else
      i++;
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

void WatchProgress(NetPeer& peer, Uint32 now, bool fresh);

// Moves a logged-out connection on. It gets all that waits for it for the flush time; after that,
// while it keeps taking bytes, only the message in progress and the logout notice, up to the cap, so a
// reader on a slow link gets the message whole and the notice; one that takes nothing is closed. Once
// all is written its side is shut, and it closes when the peer has every byte or has gone. Returns
// false when it is to be closed.
bool ServeOneClosing(const NetLimits& limits, sNetCore& core, NetPeer& peer, Uint32 now) {
  NetSendQueue::Status status = FlushClosing(core, peer);
  if (status == NetSendQueue::kFailed) return false;
  WatchProgress(peer, now, true);
  if (status == NetSendQueue::kDrained) {
    if (peer.stage != NetStage::kFinishing) shutdown(peer.fd, SHUT_WR);   // the peer sees the end after the notice
    peer.stage = NetStage::kFinishing;
    if (peer.hungUp || !peer.unacknowledged) return false;
  }
  Uint32 elapsed = now - peer.closedAt;
  if (elapsed < limits.closeFlushMs) return true;
  Uint64 waiting = peer.outgoing.Backlog();
  if (!NetPassed(peer.lastProgress + limits.closeTakingMs, now) && elapsed < limits.closeCapMs) {
    if (peer.stage == NetStage::kFlushing) {
      Uint64 dropped = peer.outgoing.Cut(true);
      if (dropped && core.failedConnections.Allow())
        ILogSystem.Msg(2, " [INetwork Server] Warning: client '%s' still had %llu bytes waiting %u ms after its "
                          "logout; %llu of them were dropped ahead of its last message.\n",
                       peer.name, (Figure)waiting, elapsed, (Figure)dropped);
      peer.stage = NetStage::kLastMessage;
    }
    return true;
  }
  if (core.failedConnections.Allow())
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

// ---- sending ----

// False when the connection failed: the frame it was writing is logged and the client dropped, its
// stream is no longer in step. A failed ping is reported as a ping that went unanswered.
bool Flush(sNetCore& core, NetPeer& peer) {
  NetSendQueue::Status status = WriteQueued(core, peer);
  peer.blocked = status == NetSendQueue::kWaiting;
  if (status != NetSendQueue::kFailed) return true;
  const DataNet head = peer.outgoing.Head();
  if (core.failedConnections.Allow()) {
    ILogSystem.Msg(0, " [INetwork::SendDataNet(%d,%d)] - Error: %d/%d bytes were transmitted (Sent by 'server').\n",
                   head.Type, head.Cmd, (int)peer.outgoing.HeadWritten(), (int)(kNetHeaderBytes + head.Size));
    if (head.Type == kNetSystem && head.Cmd == kNetPing) {
      ILogSystem.Msg(2, " [INetwork Server] Error: client '%s' doesn't respond to Ping signal. Removing client.\n",
                     peer.name);
      core.log->Msg(2, " [SERVER] Error: client '%s' doesn't respond to Ping signal. Removing client.\n", peer.name);
    } else {
      ILogSystem.Msg(0, " [INetwork Server] Error: DataNet could not be sent to '%s'.\n", peer.name);
      NetDump(core, head);
    }
  }
  Drop(peer, false);
  return false;
}

// The one place the hard limit is held to: what waits for a client, as it grows.
void HoldToHard(sNetCore& core, NetPeer& peer) {
  Uint64 hard = core.serverLimits.hardBytes;
  if (peer.outgoing.Cost() <= hard) return;
  char why[160];
  snprintf(why, sizeof why, "is too far behind (%llu bytes in %llu messages waiting, hard limit %llu)",
           (Figure)peer.outgoing.Cost(), (Figure)peer.outgoing.Count(), (Figure)hard);
  FallenBehind(core, peer, why, true);
}

void HoldToTotal(sNetCore& core);

// Queues one message for one client; its socket takes it once the pass is over, with what else the
// pass gave it. The limits on memory hold as the queues grow, not only once a pass.
void SendTo(sNetCore& core, NetPeer& peer, NetOutgoing& message, Uint8 cmd) {
  NetFrame frame;
  if (!message.Frame(cmd, &peer.tokens.sending, frame)) return;
  peer.outgoing.Push(std::move(frame));
  HoldToHard(core, peer);
  if (core.held.Total() > core.serverLimits.totalBytes) HoldToTotal(core);
}

// One message to every client, to one slot only (`only` >= 0), or to all but `skip`. The message is
// encoded once; each recipient's queue gets its own header in front of the shared payload.
void SendToClients(sNetCore& core, NetOutgoing& message, Uint8 cmd, int only, int skip) {
  for (int i = 0; i < core.numClients; i++) {
    if ((only >= 0 && i != only) || i == skip) continue;
    NetPeer& peer = *core.slots[i];
    if (peer.socket && peer.LoggedIn()) SendTo(core, peer, message, cmd);
  }
}

void SendSystem(sNetCore& core, Uint8 cmd, const char* data, Uint32 size, int only, int skip) {
  NetOutgoing message;
  if (message.Prepare(kNetSystem, cmd, 0, data, size) == 0) SendToClients(core, message, cmd, only, skip);
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
  FinishRead(core, reader, core.failedConnections);
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
      if (core.refusedLogins.Allow())
        ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to '%s': invalid client name.\n", name);
      code = 1;
    } else {
      for (int i = 0; i < core.numClients && code < 0; i++)
        if (strcasecmp(core.slots[i]->name, name) == 0) code = 2;
      if (code < 0 && core.numClients >= kNetMaxClients) code = 3;
      if (code == 2 && core.refusedLogins.Allow())
        ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to '%s': duplicated client name.\n", name);
      if (code == 3 && core.refusedLogins.Allow())
        ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to '%s': server can not add more client "
                          "(limit:%d).\n", name, (int)kNetMaxClients);
    }
  }
  if (code == 0 && core.refusedLogins.Allow())   // garbage, or a peer of another protocol
    ILogSystem.Msg(2, " [INetwork Server] Warning: access denied to a connection from %s: it sent no login request "
                      "(type %d, command %d, %llu bytes).\n", Dotted(connection->address).text, header.Type,
                   header.Cmd, (Figure)header.Size + kNetHeaderBytes);
  if (code >= 0) {
    NetFreePayload(request.Data);
    Refuse(core, *connection, code);
    CloseSocket(core, connection->socket);
    return;
  }

  memcpy(connection->name, name, sizeof name);
  connection->reader.Configure(false, &connection->tokens.receiving, true);   // relayed as they came
  connection->reader.Reset();
  connection->inbox.reset(new NetInbox());
  TCPsocket socket = connection->socket;
  int slot;
  {
    std::lock_guard<std::mutex> lock(core.listLock);
    slot = core.numClients;
    core.slots[slot] = std::move(connection);
    core.numClients++;
  }
  pass.setDirty = true;
  if (core.comings.Allow())
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
      if (core.failedConnections.Allow())
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
  char text[160];
  snprintf(text, sizeof text, "Warning: a connection from %s sent no whole login request within %u ms; it is "
           "closed.\n", Dotted(connection.address).text, (unsigned)kNetLoginBoundMs);
  if (core.failedConnections.Allow()) LogBoth(core, text);
  return connection.reader.Fail();
}

void ServePending(ServerPass& pass) {
  sNetCore& core = pass.core;
  Uint32 now = NetWallTicks();
  for (size_t i = 0; i < core.pending.size();) {
    NetPeer& connection = *core.pending[i];
    NetReader::Status status = NetReader::kNeedMore;
    // Readiness is used once: a connection that moves on to a slot is not read again this pass.
    if (std::exchange(connection.readable, false))
      status = NetPump(connection.socket, connection.fd, connection.reader, nullptr, connection.deadline, 0);
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

// The payload goes on as it came, scrambled, with the check value it came with; each recipient costs
// only a header. A payload shown to the callback was made plain, and may have been changed: it is
// scrambled again and its check value computed afresh.
void Relay(sNetCore& core, int sender, DataNet& message, Uint8 toSender, Uint8 toOthers, bool shown) {
  NetOutgoing relay;
  if (!relay.Adopt(message, shown, !shown)) return;
  if (toSender) SendToClients(core, relay, toSender, sender, -1);
  if (toOthers) SendToClients(core, relay, toOthers, -1, sender);
}

// Answers a client list request. A client can ask with every message: the lines are limited as such.
void ClientsInfo(sNetCore& core, int sender) {
  sClientInfo list[kNetMaxClients];
  int count;
  {
    std::lock_guard<std::mutex> lock(core.listLock);
    count = NetBuildClientList(core, core.list);
    memcpy(list, core.list, sizeof list);
  }
  bool report = core.listRequests.Allow();
  if (report)
    core.log->Msg(2, " [SERVER] Client '%s' has requested a CLIENTS INFO signal.\n", core.slots[sender]->name);
  for (int i = 0; report && i < count; i++)
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
    if (core.ignoredMessages.Allow()) core.log->Msg(2, " [SERVER] Warning: empty data from '%s' was ignored.\n", name);
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
    NetScramble(reinterpret_cast<unsigned char*>(message.Data), message.Size);   // the callback sees it plain
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
    if (core.ignoredMessages.Allow())
      core.log->Msg(2, " [SERVER] Warning: unknown CoreServer_Callback() returned value %d. Doing nothing!\n", verdict);
    return;
  }
  core.log->Msg(5, " [SERVER] Info: received data from '%s' was validated by CoreServer callback.\n", name);
  Relay(core, sender, message, kNetApproved, kNetRelayed, message.Cmd == kNetValidate);
}

// The logout line of a client whose message was refused: what was wrong with it, the message, and the
// error number.
void LogRefusal(sNetCore& core, const char* name, const char* fault, const DataNet& header, int error) {
  char text[224];
  snprintf(text, sizeof text, "Warning: client '%s' is logged out: it sent %s (type %d, command %d, %llu bytes) "
           "(error %d).\n", name, fault, header.Type, header.Cmd, (Figure)header.Size + kNetHeaderBytes, error);
  LogBoth(core, text);
}

// A client that sent what no client sends is out of step: it is logged out (with the notice, as the
// server itself is fine). An unknown kind is error 5, as a client numbers it; an unknown command its
// letter plus 100, as one byte.
void Refused(ServerPass& pass, int sender, const char* what, const DataNet& message, int error) {
  sNetCore& core = pass.core;
  if (core.refusedMessages.Allow()) LogRefusal(core, core.slots[sender]->name, what, message, error);
  Logout(pass, sender, true);
}

void Dispatch(ServerPass& pass, int sender, DataNet& message) {
  sNetCore& core = pass.core;
  NetPeer& peer = *core.slots[sender];
  if (message.Type == kNetUser) return UserMessage(core, sender, message);
  if (message.Type != kNetSystem) return Refused(pass, sender, "a message of unknown kind", message, 5);
  switch (message.Cmd) {
    case kNetQuit:
      if (core.comings.Allow())
        core.log->Msg(2, " [SERVER] Client '%s' has requested a QUIT CLIENT signal.\n", peer.name);
      Logout(pass, sender, true);
      break;
    case kNetClose:
      core.log->Msg(2, " [SERVER] Client '%s' has requested a CLOSE SERVER signal.\n", peer.name);
      pass.closeRequested = true;
      break;
    case kNetClients:
      ClientsInfo(core, sender);
      break;
    case kNetPing:
      PingAnswered(core, peer);
      break;
    default:   // not a client's command: this one client is out of step, the server is not
      Refused(pass, sender, "an unknown command", message, (Uint8)(message.Cmd + 100));
      break;
  }
}

// What was wrong with a message whose read failed, for its sender's logout line.
const char* ReadFault(int errors) {
  if (errors & kNetErrSize) return "an oversized message";
  if ((errors & kNetErrCheck) && (errors & kNetErrToken)) return "a message with a bad check value and token";
  if (errors & kNetErrCheck) return "a message with a bad check value";
  if (errors & kNetErrToken) return "a message out of step (a bad token)";
  return nullptr;   // no message refused: the connection ended in the middle of one
}

// Why a client's read ended. A client that closed its connection between messages has just left: an
// Info line. A refused message names what was wrong with it; a connection that ended half-way through
// a message says so; both with the error number.
void ReportReadEnd(sNetCore& core, const NetPeer& peer) {
  const NetReader& reader = peer.reader;
  if (NetEndedCleanly(reader)) {
    NetFinishRead(core, reader, kNetRoleServer, false);
    if (!core.comings.Allow()) return;
    ILogSystem.Msg(2, " [INetwork Server] Info: client '%s' closed its connection.\n", peer.name);
    core.log->Msg(2, " [SERVER] Info: client '%s' closed its connection.\n", peer.name);
    return;
  }
  const char* fault = ReadFault(reader.Errors());
  NetLogLimit& limit = fault ? core.refusedMessages : core.failedConnections;
  bool report = limit.Allow();
  NetFinishRead(core, reader, kNetRoleServer, report);
  if (!report) return;
  if (fault) return LogRefusal(core, peer.name, fault, reader.Header(), reader.Errors());
  char text[160];
  snprintf(text, sizeof text, "Warning: client '%s' is logged out: its connection ended half-way through a message "
           "(error %d).\n", peer.name, reader.Errors());
  LogBoth(core, text);
}

// A client that stopped half-way through a message is out of step for good.
NetReader::Status Stalled(sNetCore& core, NetPeer& peer, Uint32 now, bool& reported) {
  Uint32 limit = core.serverLimits.stallMs;
  reported = core.failedConnections.Allow();
  if (reported) {
    char why[96];
    snprintf(why, sizeof why, "sent nothing more of a message for %u ms (limit %u ms)", now - (peer.deadline - limit),
             limit);
    LogRemoval(core, peer.name, why);
  }
  return peer.reader.Fail();
}

// Reads and handles what one client sent: many messages to a pass while they keep coming, but no more
// than a share, so a client that floods the server holds up nobody. False when the client is gone (its
// slot holds the next one).
bool ServeClient(ServerPass& pass, int index, Uint32 now) {
  const Uint64 kShareBytes = 1 << 20;
  sNetCore& core = pass.core;
  NetPeer& peer = *core.slots[index];
  bool ready = std::exchange(peer.readable, false) || (peer.inbox && peer.inbox->Held());
  for (Uint64 taken = 0; taken < kShareBytes && !pass.closeRequested && peer.LoggedIn();) {
    NetReader::Status status = NetReader::kNeedMore;
    if (ready)
      status = NetPump(peer.socket, peer.fd, peer.reader, peer.inbox.get(), peer.deadline, core.serverLimits.stallMs);
    bool stalled = false, reported = false;
    if (status == NetReader::kNeedMore && peer.reader.Started() && NetPassed(peer.deadline, now)) {
      stalled = true;
      status = Stalled(core, peer, now, reported);
    }
    if (status == NetReader::kNeedMore) return true;
    if (status == NetReader::kFailed) {
      if (stalled)
        NetFinishRead(core, peer.reader, kNetRoleServer, reported);
      else
        ReportReadEnd(core, peer);
      pass.last = peer.reader.Header();
      peer.reader.Reset();
      Logout(pass, index, false);
      return false;
    }
    NetFinishRead(core, peer.reader, kNetRoleServer);
    DataNet message = peer.reader.Take();
    pass.last = message;
    pass.last.Data = nullptr;
    taken += kNetHeaderBytes + message.Size;
    int before = core.numClients;
    Dispatch(pass, index, message);
    NetFreePayload(message.Data);
    if (core.numClients != before) return false;
    if (peer.fd < 0) return true;   // SDL_net's reads wait: one a readiness
  }
  return true;
}

void ServeClients(ServerPass& pass) {
  sNetCore& core = pass.core;
  Uint32 now = NetWallTicks();
  for (int i = 0; i < core.numClients && !pass.closeRequested;)
    if (ServeClient(pass, i, now)) i++;
  // A message's payload is taken whole as its header arrives: what is being read counts as held.
  Uint64 reading = 0;
  for (int i = 0; i < core.numClients; i++)
    if (Uint32 size = core.slots[i]->reader.PayloadHeld()) reading += NetPayloadCost(size);
  core.held.SetReading(reading);
}

void PingCycle(sNetCore& core) {
  core.lastPingCycle = Yandorix_Ticks();
  NetOutgoing ping;
  if (ping.Prepare(kNetSystem, kNetPing, 0, nullptr, 0) != 0) return;
  for (int i = 0; i < core.numClients; i++) {
    NetPeer& peer = *core.slots[i];
    if (!peer.LoggedIn()) continue;
    {
      std::lock_guard<std::mutex> lock(core.listLock);
      peer.lastping = Yandorix_Ticks();
      peer.pingOutstanding = true;
    }
    SendTo(core, peer, ping, kNetPing);
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
// bytes waiting; not at all while a client has messages read ahead and not handled yet. Sets the flags
// of every connection; returns how many connections to accept or clients have something to read, -1
// when the wait failed.
int Wait(ServerPass& pass) {
  sNetCore& core = pass.core;
  std::vector<NetPeer*>& peers = pass.waitedOn;
  peers.clear();
  for (auto& connection : core.pending) peers.push_back(connection.get());
  for (int i = 0; i < core.numClients; i++) peers.push_back(core.slots[i].get());
  size_t reading = peers.size();   // logged-out connections after these are only written
  for (auto& connection : core.closing) peers.push_back(connection.get());
  bool reachable = core.listenerFd >= 0, waiting = false, readAhead = false;
  for (NetPeer* peer : peers) {
    reachable = reachable && peer->fd >= 0;
    waiting = waiting || !peer->outgoing.Empty();
    readAhead = readAhead || (peer->inbox && peer->inbox->Held());   // logged-in clients only have one
  }
  if (!reachable) {
    // SDL_net's wait sees only reading: clients with bytes waiting are tried again soon.
    Uint32 ms = readAhead ? 0u : waiting ? 10u : (Uint32)kNetWaitMs;
    int ready = core.serverSet ? SDLNet_CheckSockets(core.serverSet, ms) : -1;
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
  do ready = poll(watched.data(), watched.size(), readAhead ? 0 : (int)kNetWaitMs);
  while (ready < 0 && errno == EINTR);
  if (ready < 0) return -1;
  pass.listenerReady = watched[0].revents & (POLLIN | POLLERR | POLLHUP);
  int readable = pass.listenerReady ? 1 : 0;
  for (size_t i = 0; i < peers.size(); i++) {
    MarkReady(*peers[i], watched[i + 1].revents);
    if (i < reading && (peers[i]->readable || (peers[i]->inbox && peers[i]->inbox->Held()))) readable++;
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

// The one place the stall limit is held to: a client that takes none of the bytes waiting for it for
// long is closed at once (it would take no notice either).
void HoldToStall(sNetCore& core, NetPeer& peer, Uint32 now) {
  const NetLimits& limits = core.serverLimits;
  WatchProgress(peer, now, false);
  if (!NetPassed(peer.lastProgress + limits.stallMs, now)) return;
  WatchProgress(peer, now, true);
  if (!NetPassed(peer.lastProgress + limits.stallMs, now)) return;
  char why[192];
  snprintf(why, sizeof why, "took no data for %u ms (%llu bytes waiting and %llu sent but not taken, limit %u ms)",
           now - peer.lastProgress, (Figure)peer.outgoing.Backlog(), (Figure)peer.unacknowledged, limits.stallMs);
  FallenBehind(core, peer, why, false);
}

// The one place the soft limit is held to: a client that stays past it for long goes, with its notice.
void HoldToSoft(sNetCore& core, NetPeer& peer, Uint32 now) {
  const NetLimits& limits = core.serverLimits;
  if (peer.outgoing.Cost() <= limits.softBytes) {
    peer.overSoft = false;
  } else if (!peer.overSoft) {
    peer.overSoft = true;
    peer.overSoftSince = now;
  }
  if (!peer.overSoft || !NetPassed(peer.overSoftSince + limits.softMs, now)) return;
  char why[192];
  snprintf(why, sizeof why, "stayed too far behind (over the soft limit of %llu bytes for %u ms, %llu bytes in %llu "
           "messages waiting)", (Figure)limits.softBytes, now - peer.overSoftSince, (Figure)peer.outgoing.Cost(),
           (Figure)peer.outgoing.Count());
  FallenBehind(core, peer, why, true);
}

// The one place the server's memory limit is held to: past it, connections already logged out lose
// their last bytes first, then the client furthest behind goes. Payload blocks kept for reuse fill
// only what is left below it.
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
      if (peer.LoggedIn() && (!furthest || peer.outgoing.Cost() > furthest->outgoing.Cost())) furthest = &peer;
    }
    if (!furthest || furthest->outgoing.Empty()) break;
    char why[192];
    snprintf(why, sizeof why, "is the furthest behind (%llu bytes in %llu messages waiting) while the server holds "
             "%llu bytes for its clients, limit %llu", (Figure)furthest->outgoing.Cost(),
             (Figure)furthest->outgoing.Count(), (Figure)core.held.Total(), (Figure)limit);
    FallenBehind(core, *furthest, why, true);
  }
  NetTrimKeptPayloads((size_t)(limit - std::min(limit, core.held.Total())));
}

// Writes what the pass gave each client, and where the wait found room; holds every client to its
// limits and the server to its memory. Connections that were logged out go once their last bytes are
// out.
void ServeWrites(sNetCore& core) {
  Uint32 now = NetWallTicks();
  for (int i = 0; i < core.numClients; i++) {
    NetPeer& peer = *core.slots[i];
    if (!peer.LoggedIn()) continue;
    if (!peer.outgoing.Empty() && (peer.writable || !peer.blocked) && !Flush(core, peer)) continue;
    HoldToStall(core, peer, now);
    HoldToSoft(core, peer, now);
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

void FlushServerLines(sNetCore& core, bool now) {
  for (NetLogLimit* limit : {&core.refusedLogins, &core.failedConnections, &core.refusedMessages, &core.ignoredMessages,
                             &core.comings, &core.listRequests})
    limit->Flush(core, now);
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
  FlushServerLines(core, true);
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
    LogoutDropped(pass);
    FlushServerLines(core, false);
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
