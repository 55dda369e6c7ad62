// The wire codec on its own: the protocol's byte vectors, scrambling, check values and tokens against
// zlib and std::mt19937, the reader's reassembly and refusals, the writer's limit, the name and list
// payloads, and the reception queue.
#include "NetTest.h"
#include "70_NetWire.h"
#include "71_NetCore.h"
#include <zlib.h>

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += (char)value;
  return bytes;
}

std::string Wire(Uint8 type, Uint8 cmd, Sint16 aux, const std::string& payload, NetTokenGenerator* tokens) {
  NetOutgoing message;
  EXPECT_EQ(message.Prepare(type, cmd, aux, payload.data(), (Uint32)payload.size()), 0);
  const unsigned char* wire = message.Stamp(cmd, tokens);
  return std::string(reinterpret_cast<const char*>(wire), message.WireSize());
}

// Feeds `wire` to the reader in chunks of `chunk` bytes (0: one at a time growing by one).
NetReader::Status Feed(NetReader& reader, const std::string& wire, size_t chunk, size_t* used = nullptr) {
  size_t at = 0, step = chunk ? chunk : 1;
  NetReader::Status status = NetReader::kNeedMore;
  while (status == NetReader::kNeedMore && at < wire.size()) {
    size_t count = std::min(std::min(step, reader.Wanted()), wire.size() - at);
    memcpy(reader.Space(), wire.data() + at, count);
    at += count;
    status = reader.Advance(count);
    if (!chunk) step++;
  }
  if (used) *used = at;
  return status;
}

}  // namespace

TEST(Wire, EncodesTheProtocolVectors) {
  NetTokenGenerator tokens(1234);
  EXPECT_EQ(Wire(' ', '&', 0x1234, std::string("bob", 4), nullptr),
            Bytes({0x37, 0xef, 0xd6, 0x49, 0x13, 0xc9, 0xe2, 0x5b, 0x17, 0xc9, 0xe2, 0x5b, 0x75, 0xa6, 0x80, 0x5b}));
  EXPECT_EQ(Wire(' ', '*', 0, "", nullptr),
            Bytes({0x37, 0xe3, 0xe2, 0x5b, 0x17, 0xc9, 0xe2, 0x5b, 0x17, 0xc9, 0xe2, 0x5b}));
  EXPECT_EQ(Wire('@', 'H', 0, "hello", &tokens),
            Bytes({0x57, 0x81, 0xcd, 0x30, 0x12, 0xc9, 0xe2, 0x5b, 0xec, 0xaf, 0x2c, 0x1e, 0x7f, 0xac, 0x8e, 0x37, 0x01}));
  // The test's own encoder agrees on all three.
  std::mt19937 oracle(1234);
  std::string payload = "hello";
  int16_t token = (int16_t)(oracle() & 0xFFFF);
  EXPECT_EQ(nettest::Scramble(nettest::Header('@', 'H', token, 5, nettest::CheckValue('@', 'H', token, payload)) + payload),
            Bytes({0x57, 0x81, 0xcd, 0x30, 0x12, 0xc9, 0xe2, 0x5b, 0xec, 0xaf, 0x2c, 0x1e, 0x7f, 0xac, 0x8e, 0x37, 0x01}));
}

TEST(Wire, ScramblesWordsThenTrailingBytes) {
  std::mt19937 random(7);
  std::vector<size_t> lengths;
  for (size_t length = 0; length <= 41; length++) lengths.push_back(length);
  for (size_t length : {63, 64, 65, 127, 128, 131, 1000}) lengths.push_back(length);   // the wide path
  for (size_t length : lengths) {
    std::string plain(length, '\0');
    for (char& c : plain) c = (char)random();
    std::string ours(length, '\0');
    NetScrambleCopy(reinterpret_cast<unsigned char*>(&ours[0]), reinterpret_cast<const unsigned char*>(plain.data()),
                    length);
    EXPECT_EQ(ours, nettest::Scramble(plain)) << length;
    NetScramble(reinterpret_cast<unsigned char*>(&ours[0]), length);
    EXPECT_EQ(ours, plain) << "its own inverse at " << length;
  }
  // A 17-byte image scrambled whole equals its 12-byte header and 5-byte payload scrambled apart.
  std::string whole = nettest::Header('@', 'H', 1, 5, 2) + "hello", apart = whole;
  NetScramble(reinterpret_cast<unsigned char*>(&whole[0]), 17);
  NetScramble(reinterpret_cast<unsigned char*>(&apart[0]), 12);
  NetScramble(reinterpret_cast<unsigned char*>(&apart[12]), 5);
  EXPECT_EQ(whole, apart);
}

TEST(Wire, CheckValuesAndTokensFollowZlibAndMT19937) {
  const std::string payloads[] = {"", "x", "hello", std::string(1000, 'q') + "end"};
  NetTokenGenerator tokens(4242);
  std::mt19937 oracle(4242);
  for (const std::string& payload : payloads) {
    DataNet sent;
    NetOutgoing message;
    ASSERT_EQ(message.Prepare('@', 'B', 0, payload.data(), (Uint32)payload.size()), 0);
    message.Stamp('B', &tokens, &sent);
    EXPECT_EQ((Uint16)sent.Aux, (Uint16)(oracle() & 0xFFFF)) << payload.size();
    std::string header = nettest::Header('@', 'B', sent.Aux, (uint32_t)payload.size(), 0);
    uint32_t expected = (uint32_t)crc32(0, reinterpret_cast<const Bytef*>(header.data()), 12);
    if (!payload.empty()) expected += (uint32_t)crc32(0, reinterpret_cast<const Bytef*>(payload.data()), (uInt)payload.size());
    EXPECT_EQ(sent.Check, expected) << "an empty payload leaves the header's CRC alone";
  }
  // System messages draw no token and carry check value 0.
  DataNet system;
  NetOutgoing ping;
  ASSERT_EQ(ping.Prepare(' ', '0', 0, nullptr, 0), 0);
  ping.Stamp('0', &tokens, &system);
  EXPECT_EQ(system.Check, 0u);
  EXPECT_EQ((Uint16)(tokens() & 0xFFFF), (Uint16)(oracle() & 0xFFFF));
}

TEST(Wire, ReaderRebuildsMessagesWhateverTheChunks) {
  NetTokenGenerator senderTokens(99);
  std::string stream = Wire('@', 'H', 0, "first message", &senderTokens);
  stream += Wire(' ', '.', 0, "", nullptr);
  stream += Wire('@', 'B', 0, std::string(3000, 'z'), &senderTokens);
  stream += Wire(' ', '(', 0, std::string("ann", 4), nullptr);
  const char* expectedPayloads[] = {"first message", "", nullptr, "ann"};
  for (size_t chunk : {0, 1, 5, 12, 13, 4096}) {
    NetTokenGenerator receiving(99);
    NetReader reader;
    reader.Configure(false, &receiving);
    size_t at = 0;
    for (int index = 0; index < 4; index++) {
      size_t used = 0;
      ASSERT_EQ(Feed(reader, stream.substr(at), chunk, &used), NetReader::kComplete) << chunk << " " << index;
      at += used;
      DataNet message = reader.Take();
      std::string payload(message.Data ? message.Data : "", message.Size);
      if (expectedPayloads[index])
        EXPECT_EQ(payload, std::string(expectedPayloads[index], strlen(expectedPayloads[index]) + (index == 3)));
      else
        EXPECT_EQ(payload, std::string(3000, 'z'));
      EXPECT_EQ(message.Data == nullptr, message.Size == 0);
      NetFreePayload(message.Data);
    }
    EXPECT_EQ(at, stream.size()) << "never reads into the next message";
  }
}

TEST(Wire, ReaderRefusesWhatBreaksTheProtocol) {
  struct Case {
    const char* what;
    std::string wire;
    bool loginOnly;
    int errors;
    bool wantsPayload;   // the payload phase was entered
  };
  auto user = [](Uint32 seed) {
    NetTokenGenerator tokens(seed);
    return Wire('@', 'H', 0, "abc", &tokens);
  };
  std::string badCheck = user(77);
  badCheck[8] ^= 0x40;
  const Case cases[] = {
      {"largest payload", nettest::Scramble(nettest::Header(' ', '.', 0, 0x400000 - 12, 0)), false, 0, true},
      {"one byte over", nettest::Scramble(nettest::Header(' ', '.', 0, 0x400000 - 11, 0)), false, kNetErrSize, false},
      {"size wrapping past 2^32", nettest::Scramble(nettest::Header('@', 'H', 0, 0xFFFFFFF8u, 0)), false, kNetErrSize,
       false},
      {"in step", user(77), false, 0, true},
      {"bad check value", badCheck, false, kNetErrCheck, true},
      {"wrong token", user(5), false, kNetErrToken, true},
      {"before login: not a login", Wire(' ', '.', 0, "", nullptr), true, kNetErrNotLogin, false},
      {"before login: user message", user(77), true, kNetErrNotLogin | kNetErrToken, false},
      {"before login: oversized", nettest::Scramble(nettest::Header(' ', '.', 0, 0xFFFFFFF0u, 0)), true,
       kNetErrNotLogin | kNetErrSize, false},
      {"before login: empty login", Wire(' ', '&', 0, "", nullptr), true, kNetErrNotLogin, false},
      {"before login: 17-byte login", Wire(' ', '&', 0, std::string(17, 'a'), nullptr), true, kNetErrNotLogin, false},
      {"before login: 16-byte login", Wire(' ', '&', 0, std::string(16, 'a'), nullptr), true, 0, true},
  };
  for (const Case& c : cases) {
    NetTokenGenerator receiving(77);
    NetReader reader;
    reader.Configure(c.loginOnly, &receiving);
    NetReader::Status status = Feed(reader, c.wire, 7);
    if (c.errors) {
      EXPECT_EQ(status, NetReader::kFailed) << c.what;
      EXPECT_EQ(reader.Errors(), c.errors) << c.what;
    } else if (c.wire.size() == 12 && c.wantsPayload) {
      EXPECT_EQ(status, NetReader::kNeedMore) << c.what;
      EXPECT_EQ(reader.Wanted(), 0x400000u - 12) << c.what;
    } else {
      EXPECT_EQ(status, NetReader::kComplete) << c.what;
    }
    if (!c.wantsPayload) {
      EXPECT_FALSE(reader.ReadInFull()) << c.what << ": its payload is never read";
      EXPECT_EQ(reader.PhaseBytes(), 12) << c.what << ": the error line reports the header read";
    }
    reader.Reset();
  }
  // Without a generator (a connection not logged in) every user message fails its token.
  NetReader anonymous;
  EXPECT_EQ(Feed(anonymous, user(77), 64), NetReader::kFailed);
  EXPECT_EQ(anonymous.Errors(), kNetErrToken);
  EXPECT_EQ(anonymous.PhaseBytes(), 3) << "the payload was the last phase";
  anonymous.Reset();
  EXPECT_EQ(Feed(anonymous, Wire('@', 'H', 0, "", nullptr), 64), NetReader::kFailed);
  EXPECT_EQ(anonymous.PhaseBytes(), 12) << "without a payload the header was the last phase";
  // A check value that failed still drew its token, so the next good message is in step.
  NetTokenGenerator sender(31), receiving(31);
  NetReader reader;
  reader.Configure(false, &receiving);
  std::string spoiled = Wire('@', 'H', 0, "one", &sender);
  spoiled[13] ^= 1;
  EXPECT_EQ(Feed(reader, spoiled, 64), NetReader::kFailed);
  EXPECT_EQ(reader.Errors(), kNetErrCheck);
  EXPECT_TRUE(reader.ReadInFull()) << "counted as received";
  reader.Reset();
  EXPECT_EQ(Feed(reader, Wire('@', 'H', 0, "two", &sender), 64), NetReader::kComplete);
  NetFreePayload(reader.Take().Data);
  // Reads that fail: error 1 in the header, 4 in the payload (which is dropped).
  reader.Reset();
  EXPECT_EQ(Feed(reader, Wire('@', 'H', 0, "three", &sender).substr(0, 5), 64), NetReader::kNeedMore);
  EXPECT_EQ(reader.Fail(), NetReader::kFailed);
  EXPECT_EQ(reader.Errors(), kNetErrHeader);
  reader.Reset();
  EXPECT_EQ(Feed(reader, Wire(' ', '(', 0, "someone", nullptr).substr(0, 14), 64), NetReader::kNeedMore);
  EXPECT_EQ(reader.Fail(), NetReader::kFailed);
  EXPECT_EQ(reader.Errors(), kNetErrPayload);
  EXPECT_EQ(reader.Take().Data, nullptr);
}

// What a server relays: a payload read and checked while still scrambled goes on with the recipient's
// token and is exactly the wire image of the plain payload, whatever its length; one the callback saw
// (made plain, perhaps changed) is scrambled and checked afresh; a spoiled byte anywhere is refused.
TEST(Wire, ARelayedPayloadGoesOutAsItsWireImage) {
  for (size_t size : {1, 2, 3, 4, 5, 4095, 4096, 4097, 8195, 70001}) {
    std::string payload(size, '\0');
    for (size_t i = 0; i < size; i++) payload[i] = (char)(i * 131 + (i >> 9));
    for (int variant = 0; variant < 3; variant++) {   // as it came, changed by the callback, spoiled
      SCOPED_TRACE(testing::Message() << size << " bytes, variant " << variant);
      NetTokenGenerator sending(5), receiving(5), relaying(9);
      std::string wire = Wire('@', 'H', 0, payload, &sending), expected = payload;
      if (variant == 2) wire[kNetHeaderBytes + size / 2] ^= 0x10;
      NetReader reader;
      reader.Configure(false, &receiving, true);
      NetReader::Status status = Feed(reader, wire, 4096);
      if (variant == 2) {
        EXPECT_EQ(status, NetReader::kFailed);
        EXPECT_EQ(reader.Errors(), kNetErrCheck);
        continue;
      }
      ASSERT_EQ(status, NetReader::kComplete);
      DataNet message = reader.Take();
      if (variant == 1) {
        NetScramble(reinterpret_cast<unsigned char*>(message.Data), message.Size);
        EXPECT_EQ(std::string(message.Data, size), payload) << "the callback sees it plain";
        message.Data[0] = expected[0] = '#';
      }
      NetOutgoing relay;
      ASSERT_TRUE(relay.Adopt(message, variant == 1, variant == 0));
      const unsigned char* out = relay.Stamp('@', &relaying);
      std::mt19937 oracle(9);
      int16_t token = (int16_t)(oracle() & 0xFFFF);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), relay.WireSize()),
                nettest::Scramble(nettest::Header('@', '@', token, (uint32_t)size,
                                                  nettest::CheckValue('@', '@', token, expected)) + expected));
    }
  }
}

TEST(Wire, WriterKeepsToTheSizeLimit) {
  std::string largest(0x400000 - 12, 'a');
  NetOutgoing message;
  EXPECT_EQ(message.Prepare('@', 'H', 0, largest.data(), (Uint32)largest.size()), 0);
  EXPECT_EQ(message.WireSize(), 0x400000u);
  EXPECT_EQ(message.Prepare('@', 'H', 0, largest.data(), (Uint32)largest.size() + 1), kNetErrSize);
  EXPECT_EQ(message.Prepare('@', 'H', 0, largest.data(), 0xFFFFFFFFu), kNetErrSize);
  EXPECT_EQ(message.Stamp('H', nullptr), nullptr) << "nothing to send after a refusal";
}

TEST(Wire, NameAndClientListPayloads) {
  struct NameCase {
    std::string payload;
    NetNameStatus status;
    const char* name;
  };
  const NameCase names[] = {
      {std::string("bob", 4), kNetNameOk, "bob"},
      {std::string("ab\0\0", 4), kNetNameOk, "ab"},
      {std::string(15, 'n') + '\0', kNetNameOk, "nnnnnnnnnnnnnnn"},
      {std::string(16, 'n'), kNetNameMalformed, "nnnnnnnnnnnnnnn"},
      {std::string(16, 'n') + '\0', kNetNameMalformed, "nnnnnnnnnnnnnnn"},
      {std::string("bob"), kNetNameMalformed, "bob"},
      {std::string(1, '\0'), kNetNameEmpty, ""},
      {std::string(), kNetNameEmpty, ""},
  };
  for (const NameCase& c : names) {
    char name[16];
    memset(name, 'x', sizeof name);
    EXPECT_EQ(NetParseName(c.payload.data(), (Uint32)c.payload.size(), name), c.status) << c.name;
    EXPECT_STREQ(name, c.name);
  }

  sClientInfo records[9];
  memset(records, 0, sizeof records);
  for (int i = 0; i < 9; i++) {
    snprintf(records[i].name, sizeof records[i].name, "player%d", i);
    records[i].ip = 0x7F000001u + (Uint32)i;
    records[i].ping = i * 3;
    records[i].avgping = -i;
  }
  unsigned char bytes[9 * 28];
  ASSERT_EQ(NetWriteClientList(records, 3, bytes), 84u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 16), std::string("player0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(bytes[16], 0x01);
  EXPECT_EQ(bytes[19], 0x7F) << "first octet in the most significant byte, little-endian on the wire";
  NetWriteClientList(records, 8, bytes);
  NetWriteClientList(records + 8, 1, bytes + 8 * 28);
  memset(bytes + 28, 'X', 16);   // an unterminated name in the second record
  struct ListCase {
    Uint32 size;
    int count;
  };
  for (ListCase c : {ListCase{0, 0}, ListCase{27, 0}, ListCase{28, 1}, ListCase{84 + 5, 3}, ListCase{9 * 28, 8}}) {
    sClientInfo list[8];
    memset(list, 0x55, sizeof list);
    ASSERT_EQ(NetParseClientList(reinterpret_cast<char*>(bytes), c.size, list), c.count) << c.size;
    for (int i = 0; i < c.count; i++) {
      EXPECT_EQ(list[i].ip, records[i].ip);
      EXPECT_EQ(list[i].ping, records[i].ping);
      EXPECT_EQ(list[i].avgping, records[i].avgping);
      EXPECT_EQ(strnlen(list[i].name, 16), i == 1 ? 15u : 7u);
    }
  }
}

TEST(Wire, QueueDropsWhenFullAndKeepsPayloadsUntilFreed) {
  std::unique_ptr<NetQueue> queue(new NetQueue());
  auto message = [](Uint8 type, Uint8 cmd, Uint32 size) {
    DataNet m;
    m.Type = type;
    m.Cmd = cmd;
    m.Size = size;
    m.Data = size ? NetAllocPayload(size) : nullptr;
    return m;
  };
  EXPECT_TRUE(queue->Insert(message(' ', '0', 0)));
  EXPECT_TRUE(queue->Insert(message('@', '@', 10)));
  for (int i = 2; i < NetQueue::kEntries; i++) ASSERT_TRUE(queue->Insert(message(' ', '.', 0)));
  DataNet extra = message('@', '@', 4);
  EXPECT_FALSE(queue->Insert(extra)) << "the 513th is refused";
  EXPECT_EQ(queue->highest, 511);
  char* data = nullptr;
  unsigned int size = 99;
  Uint8 type = 0;
  EXPECT_EQ(queue->Take(&data, &size, &type), '0');
  EXPECT_EQ(data, nullptr);
  EXPECT_TRUE(queue->Insert(extra)) << "a taken ping made room at once";
  EXPECT_EQ(queue->Take(&data, &size, &type), '@');
  EXPECT_EQ(size, 10u);
  EXPECT_FALSE(queue->Insert(message(' ', '.', 0))) << "a taken payload keeps its place until freed";
  char foreign[4];
  EXPECT_FALSE(queue->Free(foreign));
  EXPECT_TRUE(queue->Free(data));
  EXPECT_EQ(queue->waiting, 511);
  EXPECT_EQ(queue->Clear(), 511);
  EXPECT_EQ(queue->waiting, 0);
  // The memory payloads take is bounded too, whatever the entry count.
  DataNet big = message('@', '@', 0);
  big.Size = (Uint32)(NetQueue::kByteLimit - NetPayloadCost(0));
  EXPECT_TRUE(queue->Insert(big));
  DataNet more = message('@', '@', 1);
  EXPECT_FALSE(queue->Insert(more));
  NetFreePayload(more.Data);
  queue->Clear();
}
