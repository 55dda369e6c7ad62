// The network's wire format as pure functions: the 12-byte header, scrambling, check values and tokens,
// an incremental reader that rebuilds one message from bytes as they arrive, a writer that prepares a
// message once and stamps it for each recipient, and the name and client-list payloads.
#pragma once
#include <Yandorix.h>
#include <cstddef>
#include <memory>
#include <random>

enum : Uint8 { kNetSystem = ' ', kNetUser = '@' };

// Command letters.
enum : Uint8 {
  kNetLogin = '&',      // client: login request (Aux: low 16 bits of the password, payload: name and NUL)
  kNetAccepted = '$',   // server: login accepted (Aux: token seed, payload: the request's payload)
  kNetRefused = '"',    // server: login refused (Aux: refusal code)
  kNetJoined = '(',     // server: another client logged in (payload: its name)
  kNetQuit = '*',       // client: log me out; server: another client logged out (payload: its name)
  kNetClose = ',',      // client: shut the server down; server: you are dropped
  kNetClients = '.',    // client: client list request; server: the list
  kNetPing = '0',       // server: ping; the client returns it unchanged
  kNetValidate = 'B',   // user data the server's callback must validate
  kNetPlain = 'H',      // user data that needs no validation
  kNetRelayed = '@',    // user data relayed to the other clients
  kNetApproved = 'D',   // the sender's data was validated and relayed
  kNetDenied = 'F',     // the sender's data was denied
};

enum : Uint32 {
  kNetHeaderBytes = 12,
  kNetWireLimit = 0x400000,                         // header and payload together
  kNetPayloadLimit = kNetWireLimit - kNetHeaderBytes,
  kNetNameBytes = 16,                               // a name with its NUL
  kNetClientRecordBytes = 28,
  kNetMaxClients = 8,
};

// Receive error flags (combined).
enum {
  kNetErrHeader = 1,     // the header could not be read (closed, failed or timed out)
  kNetErrSize = 2,       // the payload exceeds the limit
  kNetErrPayload = 4,    // the payload could not be read or allocated
  kNetErrCheck = 8,      // the check value does not match
  kNetErrToken = 0x10,   // the token is not the expected one
  kNetErrNotLogin = 0x20 // before login: anything but a login header of 1 to 16 payload bytes
};

// One message in memory. The wire header is written field by field, never copied from this record.
struct DataNet {
  Uint8 Type = 0;
  Uint8 Cmd = 0;
  Sint16 Aux = 0;       // system: the command's argument; user: the connection token
  Uint32 Size = 0;
  Uint32 Check = 0;
  char* Data = nullptr; // Size bytes from NetAllocPayload, NULL when Size is 0
};

// Payloads live behind room for a wire header, so a received message is relayed without a copy.
char* NetAllocPayload(Uint32 size);   // NULL when there is no memory
void NetFreePayload(char* data);      // NULL: nothing
// Large payload blocks are kept when freed (up to 64 MiB), for the next payloads of their size; this
// lets them go until what is kept takes at most `bytes`. A freed block only moves from a payload to
// what is kept, so a server that trims this to what its memory limit leaves keeps both within it.
void NetTrimKeptPayloads(size_t bytes);
struct NetPayloadFree {
  void operator()(char* data) const { NetFreePayload(data); }
};

// Token generators of one side of a connection: one for what it sends, one for what it receives.
typedef std::mt19937 NetTokenGenerator;
struct NetTokens {
  NetTokenGenerator sending, receiving;
  void Seed(Uint16 seed) {
    sending.seed(seed);
    receiving.seed(seed);
  }
};
inline Uint16 NetNextToken(NetTokenGenerator& generator) { return (Uint16)(generator() & 0xFFFF); }

// XORs whole little-endian words with 0x5be2c917 and the trailing bytes with 0x6e; its own inverse.
void NetScramble(unsigned char* bytes, size_t count);
// `to` = the scrambled copy of `from` (one pass; the areas must not overlap).
void NetScrambleCopy(unsigned char* to, const unsigned char* from, size_t count);

// The plain (unscrambled) header bytes of a record, and back.
void NetWriteHeader(const DataNet& header, unsigned char bytes[kNetHeaderBytes]);
DataNet NetReadHeader(const unsigned char bytes[kNetHeaderBytes]);
// Check value of a user message: CRC-32 of its header with Check 0, plus the payload's CRC-32.
Uint32 NetHeaderCRC(const DataNet& header);
Uint32 NetPayloadCRC(const char* data, Uint32 size);
// The same of a payload still scrambled, which stays so.
Uint32 NetScrambledPayloadCRC(const char* data, Uint32 size);
inline Uint32 NetCheckValue(const DataNet& header, const char* data) {
  return NetHeaderCRC(header) + NetPayloadCRC(data, header.Size);
}

// Rebuilds one message at a time from the bytes of a connection. It asks for no more than the message
// in progress still needs, so the next message's bytes stay on the connection.
class NetReader {
 public:
  enum Status { kNeedMore, kComplete, kFailed };

  // Before login only a login header of 1 to 16 payload bytes is taken; its payload is never read
  // otherwise. `tokens` draws the expected token of user messages (NULL: every user message fails).
  // With `keepScrambled` payloads are checked but handed over as they came (a relay sends them on so).
  void Configure(bool loginOnly, NetTokenGenerator* tokens, bool keepScrambled = false) {
    loginOnly_ = loginOnly;
    tokens_ = tokens;
    keepScrambled_ = keepScrambled;
  }
  size_t Wanted() const;
  unsigned char* Space();
  // Accounts for `count` bytes placed at Space().
  Status Advance(size_t count);
  // The read of the current phase failed or timed out.
  Status Fail();

  bool Started() const { return phase_ != kHeader || got_ != 0; }
  int Errors() const { return errors_; }
  // Header and payload arrived in full (also when the check value or the token is wrong).
  bool ReadInFull() const { return readInFull_; }
  int PhaseBytes() const { return (int)got_; }
  // The payload of the message in progress, taken whole as its header arrived (0: none held).
  Uint32 PayloadHeld() const { return payload_ ? header_.Size : 0; }
  const DataNet& Header() const { return header_; }
  // After kComplete: the message (its payload now belongs to the caller, freed with NetFreePayload).
  // Also resets the reader.
  DataNet Take();
  // Drops the message in progress (and its payload) and any error.
  void Reset();

 private:
  enum Phase { kHeader, kPayload, kDone };
  Status Finish();
  Status Failed(int flags) {
    errors_ |= flags;
    phase_ = kDone;
    return kFailed;
  }
  bool loginOnly_ = false, keepScrambled_ = false;
  NetTokenGenerator* tokens_ = nullptr;
  Phase phase_ = kHeader;
  size_t got_ = 0;
  unsigned char raw_[kNetHeaderBytes] = {};
  DataNet header_;
  std::unique_ptr<char, NetPayloadFree> payload_;
  char* Payload() const { return payload_.get(); }
  int errors_ = 0;
  bool readInFull_ = false;
};

// The scrambled payload of one message going out (from NetAllocPayload, so a header fits before it),
// shared by every recipient's frame. `queues` counts the send queues that hold it, so what it takes in
// memory is counted once.
struct NetPayloadBlock {
  explicit NetPayloadBlock(char* payload) : data(payload) {}
  ~NetPayloadBlock() { NetFreePayload(data); }
  NetPayloadBlock(const NetPayloadBlock&) = delete;
  NetPayloadBlock& operator=(const NetPayloadBlock&) = delete;
  char* data;
  Uint32 queues = 0;
};

// One message as one recipient gets it: its own scrambled header and the scrambled payload, which
// every recipient of the message shares.
struct NetFrame {
  DataNet header;                                // as sent: Aux and Check filled, Data NULL
  unsigned char wireHeader[kNetHeaderBytes] = {};
  std::shared_ptr<NetPayloadBlock> payload;      // NULL without one
  size_t WireSize() const { return kNetHeaderBytes + header.Size; }
  const unsigned char* Payload() const {
    return payload ? reinterpret_cast<const unsigned char*>(payload->data) : nullptr;
  }
};

// One message ready to go out: the payload's check value and scrambled copy are made once; each
// recipient then gets its own header (command, token, check value) stamped in front of them.
class NetOutgoing {
 public:
  // 0, kNetErrSize (larger than the limit) or kNetErrPayload (no memory).
  int Prepare(Uint8 type, Uint8 cmd, Sint16 aux, const char* data, Uint32 size);
  // Takes over the payload of a received user message that passed its check value: a plain one is
  // scrambled again where it lies (`scrambled`: it still is), and its check value reused unless the
  // payload may have been changed since. `message.Data` becomes NULL. False when there was no memory
  // (the message is dropped).
  bool Adopt(DataNet& message, bool mayHaveChanged, bool scrambled);
  // The wire image for one recipient. A user message takes its token from `tokens`; `sent`, when given,
  // receives the header as sent (Aux and Check filled).
  const unsigned char* Stamp(Uint8 cmd, NetTokenGenerator* tokens, DataNet* sent = nullptr);
  // The same for a recipient whose bytes wait in a queue: the frame shares this message's payload,
  // which stays as it is from here on. `frame` is left as it was when nothing was prepared (false).
  bool Frame(Uint8 cmd, NetTokenGenerator* tokens, NetFrame& frame);
  size_t WireSize() const { return kNetHeaderBytes + header_.Size; }
  const DataNet& Header() const { return header_; }

 private:
  DataNet StampHeader(Uint8 cmd, NetTokenGenerator* tokens, unsigned char bytes[kNetHeaderBytes]) const;
  DataNet header_;
  Uint32 payloadCRC_ = 0;
  std::shared_ptr<NetPayloadBlock> block_;   // header room, then the scrambled payload
  unsigned char* Wire() const { return reinterpret_cast<unsigned char*>(block_->data) - kNetHeaderBytes; }
};

// Name payloads (login, joined, left): 1 to 16 bytes, the last one NUL, the name not empty.
enum NetNameStatus { kNetNameOk, kNetNameEmpty, kNetNameMalformed };
// Copies the (bounded, terminated) name into `name` in every case, so it can be logged.
NetNameStatus NetParseName(const char* data, Uint32 size, char name[kNetNameBytes]);

// Client list payloads: whole 28-byte records, at most 8; names are cut to 15 characters.
int NetParseClientList(const char* data, Uint32 size, sClientInfo list[kNetMaxClients]);
// Writes `count` records (count <= 8); returns the bytes written.
Uint32 NetWriteClientList(const sClientInfo* list, int count, unsigned char* bytes);
