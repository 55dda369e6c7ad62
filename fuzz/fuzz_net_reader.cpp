// Fuzzes the message reader with bytes arriving in arbitrary pieces. Byte 0 picks the login-only
// mode (else whether payloads stay scrambled, as a server relays them) and the piece sizes, bytes 1-2
// seed the token generator, the rest is the stream. Every message taken must be within the limits and,
// encoded again, give back exactly the bytes it came from.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "70_NetWire.h"
#include <algorithm>
#include <cstring>
#include <string>

using ydxfuzz::Require;

namespace {

// The bytes a message took on the wire, as it arrived.
void CheckAgainstWire(const DataNet& message, const std::string& wire, NetTokenGenerator& twin, bool scrambled) {
  if (scrambled && message.Data) NetScramble(reinterpret_cast<unsigned char*>(message.Data), message.Size);
  Require(message.Size <= kNetPayloadLimit, "a message over the size limit was taken");
  Require((message.Data != nullptr) == (message.Size != 0), "payload and size disagree");
  Require(wire.size() == kNetHeaderBytes + message.Size, "the message took more or fewer bytes than it holds");
  std::string plain = wire;
  NetScramble(reinterpret_cast<unsigned char*>(&plain[0]), plain.size());
  DataNet header = NetReadHeader(reinterpret_cast<const unsigned char*>(plain.data()));
  Require(header.Type == message.Type && header.Cmd == message.Cmd && header.Aux == message.Aux &&
              header.Size == message.Size && header.Check == message.Check,
          "header fields changed on the way");
  Require(message.Size == 0 || memcmp(plain.data() + kNetHeaderBytes, message.Data, message.Size) == 0,
          "payload changed on the way");
  if (message.Type == kNetSystem) return;
  NetOutgoing again;
  Require(again.Prepare(message.Type, message.Cmd, 0, message.Data, message.Size) == 0, "a taken message cannot be sent");
  const unsigned char* bytes = again.Stamp(message.Cmd, &twin);
  Require(std::string(reinterpret_cast<const char*>(bytes), again.WireSize()) == wire,
          "a verified user message does not encode back to its bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > (1u << 20)) return 0;
  bool loginOnly = data[0] & 1;
  bool keepScrambled = !loginOnly && (data[0] & 2);
  unsigned pieces = (data[0] >> 1) + 1u;
  Uint16 seed = (Uint16)(data[1] | data[2] << 8);
  NetTokenGenerator tokens(seed), twin(seed);
  NetReader reader;
  reader.Configure(loginOnly, &tokens, keepScrambled);
  std::string wire;   // the bytes of the message in progress
  size_t at = 3;
  unsigned step = 0;
  while (at < size) {
    size_t wanted = reader.Wanted();
    Require(wanted > 0 && reader.Space() != nullptr, "the reader wants nothing in the middle of a message");
    size_t count = std::min(std::min(wanted, (size_t)(1 + (pieces * ++step) % 23)), size - at);
    memcpy(reader.Space(), data + at, count);
    wire.append(reinterpret_cast<const char*>(data + at), count);
    at += count;
    NetReader::Status status = reader.Advance(count);
    if (status == NetReader::kNeedMore) continue;
    if (status == NetReader::kComplete) {
      Require(reader.Errors() == 0, "complete with errors");
      DataNet message = reader.Take();
      if (loginOnly)
        Require(message.Type == kNetSystem && message.Cmd == kNetLogin && message.Size >= 1 && message.Size <= 16,
                "before login something but a login was taken");
      CheckAgainstWire(message, wire, twin, keepScrambled);
      NetFreePayload(message.Data);
    } else {
      Require(reader.Errors() != 0, "failed without an error");
      if (reader.ReadInFull() && reader.Header().Type != kNetSystem) twin();   // its token was drawn
      reader.Reset();
    }
    wire.clear();
  }
  if (reader.Started()) {
    Require(reader.Fail() == NetReader::kFailed, "a cut message did not fail");
    Require(reader.Errors() & (kNetErrHeader | kNetErrPayload), "a cut message failed for another reason");
    Require(reader.Take().Data == nullptr, "a cut message kept its payload");
  }
  return 0;
}
