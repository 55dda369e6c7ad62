// Client/server messaging over TCP: a server relays application messages between up to eight clients
// (optionally through an authoritative callback), measures their pings and hands out the client list.
// The wire protocol only obfuscates its bytes; it is not encryption and offers no secrecy.
#ifndef YANDORIX_NETWORK_H
#define YANDORIX_NETWORK_H

#include <SDL.h>
#include "Export.h"

// One client of a server as the client list reports it (28 bytes).
struct sClientInfo {
  char name[16];    // NUL-terminated
  Uint32 ip;        // IPv4, first dotted octet in the most significant byte; 0 = empty record
  Sint32 ping;      // most recent ping sample, ms
  Sint32 avgping;   // sum of the last ten samples / 10 (samples not yet taken count as 0)
};

class YDX_API Yandorix_INetwork {
 public:
  typedef ::sClientInfo sClientInfo;

  Yandorix_INetwork();
  ~Yandorix_INetwork();

  // Starts SDL_net and opens "Network.log" with the given output bits. 1 initialised, 0 not.
  // "Network.log" is written in the working directory: two programs there share the file.
  int Init(char outputs);
  // Stops the client, then the server, which first gives each client about a second for what was
  // queued for it, then its logout notice ','.
  void Quit();

  // Listens on every interface; logins must carry the low 16 bits of `password`. With block not 0 it
  // returns only when the server has ended. 1 started, 0 failed (or a server already runs).
  int CreateServer(Uint16 port, Uint32 password, Uint8 block);
  // Connects and logs in (name: 1 to 15 characters). 1 connected; 2..9 bad argument or local failure;
  // 10..15 refused (invalid name, duplicate name, server full, wrong password, logins off, other);
  // 16 unexpected answer, 17 invalid answer, 19 broken connection, 0 no answer, 254 already
  // connected, 255 cancelled with Escape.
  Uint8 ConnectTo(const char* host, Uint16 port, const char* name, Uint32 password);

  // Sends size (> 0) bytes to the server; validate 1 asks the server's callback to approve them.
  // Messages carry no sender: receivers see only the bytes, so put who sent them into the data.
  int SendData(const char* data, int size, char validate);
  // Takes the oldest waiting message: returns its command ('@' data of another client, 'D'/'F' own data
  // approved/denied, '(' / '*' a client joined / left with its name, '0' ping, ',' dropped by the
  // server, '.' new client list), 0 when none waits, 0x80 when none waits and the network has ended.
  // A non-NULL *data belongs to the network until passed to FreeData.
  Uint8 ReceiveData(char** data, unsigned int* size);
  void FreeData(char*& data);

  int QueryKillClient();    // asks the server to log this client out
  int QueryKillServer();    // a client asks its server to shut down; a server stops its own (returns 0)
  int QueryClientsInfo();   // asks for a fresh client list ('.' arrives through ReceiveData)
  // Points *list at a copy of the client list (valid until the next call); returns its record count.
  int GetClientsInfo(sClientInfo** list);

  // Authoritative mode: the server calls it for every 'validate' message; 1 relays, 0 denies.
  void SetCoreServerCallback(int (*callback)(void* data, int size));
  // XORs the bits in (bit 0: refuse logins); -1 only reads. Returns the new word (0 before Init).
  int Features(int toggle);
  void SetSimDelay(int delay, int unused);   // 0..2500 ms held after each received message
  void SetTimeOut(int ms);    // connect time-out, at least 500 ms
  void Info();
  int IsServer();
  int IsClient();
  Uint32 GetMyIP();           // first dotted octet in the most significant byte; 0 when neither role
  char* GetMyUserName();      // NULL when not connected

 private:
  Yandorix_INetwork(const Yandorix_INetwork&) = delete;
  Yandorix_INetwork& operator=(const Yandorix_INetwork&) = delete;
  struct sNetCore* p;
};

extern YDX_API Yandorix_INetwork* INetwork;

#endif
