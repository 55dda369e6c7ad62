// The server thread: accepts connections, logs clients in, relays their messages (directly or through
// the authoritative callback) and pings them. Every connection is read a piece at a time as its bytes
// arrive, with a deadline, so a silent or stalled peer never holds up the others.
#include "71_NetCore.h"
#include "01_Main.h"
#include <cerrno>
#include <chrono>
#include <cstring>
#include <strings.h>
#include <sys/socket.h>

namespace {

struct ServerPass {
  explicit ServerPass(sNetCore& owner) : core(owner) {}
  sNetCore& core;
  bool setDirty = false;      // the socket set no longer matches the connections
  bool closeRequested = false;
  DataNet last;               // the last message read, for the failure dump
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

// One message to every client, to one slot only (`only` >= 0), or to all but `skip`. A client whose
// send fails is marked: its stream is out of step, so it is logged out once the pass is over.
void SendToClients(sNetCore& core, NetOutgoing& message, Uint8 cmd, int only, int skip) {
  for (int i = 0; i < core.numClients; i++) {
    if ((only >= 0 && i != only) || i == skip) continue;
    NetPeer& peer = *core.slots[i];
    if (!peer.socket || peer.broken) continue;
    if (NetWrite(core, peer.socket, message, cmd, &peer.tokens.sending, kNetRoleServer)) continue;
    ILogSystem.Msg(0, " [INetwork Server] Error: DataNet could not be sent to '%s'.\n", peer.name);
    DataNet header = message.Header();
    header.Cmd = cmd;
    NetDump(core, header);
    peer.broken = true;
  }
}

void SendSystem(sNetCore& core, Uint8 cmd, const char* data, Uint32 size, int only, int skip) {
  NetOutgoing message;
  if (message.Prepare(kNetSystem, cmd, 0, data, size) == 0) SendToClients(core, message, cmd, only, skip);
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
  CloseSocket(core, peer->socket);
  ILogSystem.Msg(2, " [INetwork Server] Info: client '%s' logged out,it was using socket 0x%x.\n", peer->name, shown);
  pass.setDirty = true;
  SendSystem(core, kNetQuit, peer->name, (Uint32)strlen(peer->name) + 1, -1, -1);
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
    int fd = NetTuneSocket(socket, kNetServerSendBoundMs);
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
    connection->reader.Configure(true, nullptr);
    core.pending.push_back(std::move(connection));
    pass.setDirty = true;
  }
}

void ServePending(ServerPass& pass) {
  sNetCore& core = pass.core;
  Uint32 now = NetWallTicks();
  for (size_t i = 0; i < core.pending.size();) {
    NetPeer& connection = *core.pending[i];
    NetReader::Status status = NetReader::kNeedMore;
    if (SDLNet_SocketReady(connection.socket)) status = NetPump(connection.socket, connection.fd, connection.reader, connection.deadline, 0);
    if (status == NetReader::kNeedMore && NetPassed(connection.deadline, now)) status = connection.reader.Fail();
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

void ServeClients(ServerPass& pass) {
  sNetCore& core = pass.core;
  Uint32 now = NetWallTicks();
  for (int i = 0; i < core.numClients && !pass.closeRequested;) {
    NetPeer& peer = *core.slots[i];
    NetReader::Status status = NetReader::kNeedMore;
    if (SDLNet_SocketReady(peer.socket)) status = NetPump(peer.socket, peer.fd, peer.reader, peer.deadline, kNetMessageBoundMs);
    if (status == NetReader::kNeedMore && peer.reader.Started() && NetPassed(peer.deadline, now))
      status = peer.reader.Fail();   // stalled half-way through a message
    if (status == NetReader::kNeedMore) {
      i++;
      continue;
    }
    NetFinishRead(core, peer.reader, kNetRoleServer);
    if (status == NetReader::kFailed) {
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
  for (int i = 0; i < core.numClients; i++) {
    NetPeer& peer = *core.slots[i];
    if (peer.broken) continue;
    {
      std::lock_guard<std::mutex> lock(core.listLock);
      peer.lastping = Yandorix_Ticks();
      peer.pingOutstanding = true;
    }
    if (NetSend(core, peer.socket, kNetSystem, kNetPing, 0, nullptr, 0, nullptr, kNetRoleServer)) continue;
    ILogSystem.Msg(2, " [INetwork Server] Error: client '%s' doesn't respond to Ping signal. Removing client.\n",
                   peer.name);
    peer.broken = true;
  }
}

void CloseServer(ServerPass& pass) {
  sNetCore& core = pass.core;
  while (core.numClients) Logout(pass, 0, true);
  for (auto& connection : core.pending) CloseSocket(core, connection->socket);
  core.pending.clear();
  {
    std::lock_guard<std::mutex> lock(core.socketLock);
    if (core.serverSet) SDLNet_FreeSocketSet(core.serverSet);
    core.serverSet = nullptr;
    if (core.listener) SDLNet_TCP_Close(core.listener);
    core.listener = nullptr;
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
    int ready = core.serverSet ? SDLNet_CheckSockets(core.serverSet, kNetWaitMs) : -1;
    if (ready < 0) {
      failure = 10;
      break;
    }
    if (ready == 0 && Yandorix_Ticks() - core.lastPingCycle >= kNetPingPeriodMs) PingCycle(core);
    if (ready > 0 && SDLNet_SocketReady(core.listener)) AcceptConnections(pass);
    // Deadlines are checked on every pass, ready or not.
    ServePending(pass);
    ServeClients(pass);
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
