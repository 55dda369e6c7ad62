// The network's wire format: header layout, scrambling, check values, tokens, and the reader and writer
// of whole messages. Nothing here touches a socket, so tests and fuzzers drive it directly.
#include "70_NetWire.h"
#include "01_Main.h"
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <sys/mman.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const unsigned char kWordMask[4] = {0x17, 0xc9, 0xe2, 0x5b};   // 0x5be2c917, little-endian
const unsigned char kByteMask = 0x6e;

void PutLE16(unsigned char* at, Uint16 value) {
  at[0] = (unsigned char)value;
  at[1] = (unsigned char)(value >> 8);
}

void PutLE32(unsigned char* at, Uint32 value) {
  for (int i = 0; i < 4; i++) at[i] = (unsigned char)(value >> (8 * i));
}

Uint16 GetLE16(const unsigned char* at) { return (Uint16)(at[0] | at[1] << 8); }

Uint32 GetLE32(const unsigned char* at) {
  return (Uint32)at[0] | (Uint32)at[1] << 8 | (Uint32)at[2] << 16 | (Uint32)at[3] << 24;
}

// The word mask repeated over eight bytes, in host order, so whole blocks XOR at once.
Uint64 BlockMask() {
  unsigned char bytes[8];
  for (int i = 0; i < 8; i++) bytes[i] = kWordMask[i % 4];
  Uint64 mask;
  memcpy(&mask, bytes, sizeof mask);
  return mask;
}

}  // namespace

void NetScrambleCopy(unsigned char* to, const unsigned char* from, size_t count) {
  const Uint64 mask = BlockMask();
  size_t at = 0;
#ifdef __SSE2__
  // Megabyte payloads are scrambled at memory speed, 64 bytes a step.
  const __m128i wide = _mm_set1_epi64x((long long)mask);
  for (; at + 64 <= count; at += 64) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at + 32));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at + 48));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), _mm_xor_si128(a, wide));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at + 16), _mm_xor_si128(b, wide));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at + 32), _mm_xor_si128(c, wide));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at + 48), _mm_xor_si128(d, wide));
  }
#endif
  for (; at + 8 <= count; at += 8) {
    Uint64 block;
    memcpy(&block, from + at, sizeof block);
    block ^= mask;
    memcpy(to + at, &block, sizeof block);
  }
  size_t words = count / 4 * 4;
  for (; at < words; at++) to[at] = from[at] ^ kWordMask[at % 4];
  for (; at < count; at++) to[at] = from[at] ^ kByteMask;
}

void NetScramble(unsigned char* bytes, size_t count) { NetScrambleCopy(bytes, bytes, count); }

void NetWriteHeader(const DataNet& header, unsigned char bytes[kNetHeaderBytes]) {
  bytes[0] = header.Type;
  bytes[1] = header.Cmd;
  PutLE16(bytes + 2, (Uint16)header.Aux);
  PutLE32(bytes + 4, header.Size);
  PutLE32(bytes + 8, header.Check);
}

DataNet NetReadHeader(const unsigned char bytes[kNetHeaderBytes]) {
  DataNet header;
  header.Type = bytes[0];
  header.Cmd = bytes[1];
  header.Aux = (Sint16)GetLE16(bytes + 2);
  header.Size = GetLE32(bytes + 4);
  header.Check = GetLE32(bytes + 8);
  return header;
}

Uint32 NetHeaderCRC(const DataNet& header) {
  DataNet unchecked = header;
  unchecked.Check = 0;
  unchecked.Data = nullptr;
  unsigned char bytes[kNetHeaderBytes];
  NetWriteHeader(unchecked, bytes);
  return Yandorix.CRC32(reinterpret_cast<const char*>(bytes), (int)kNetHeaderBytes);
}

Uint32 NetPayloadCRC(const char* data, Uint32 size) {
  return size && data ? Yandorix.CRC32(data, (int)size) : 0;
}

// The plain bytes pass through a buffer that stays in the cache; each piece but the last is whole words.
Uint32 NetScrambledPayloadCRC(const char* data, Uint32 size) {
  if (!size || !data) return 0;
  unsigned char plain[4096];
  Uint32 crc = 0xFFFFFFFFu;
  for (Uint32 at = 0; at < size; at += (Uint32)sizeof plain) {
    size_t part = std::min<size_t>(sizeof plain, size - at);
    NetScrambleCopy(plain, reinterpret_cast<const unsigned char*>(data) + at, part);
    crc = Yandorix_CRCRunning(crc, plain, part);
  }
  return ~crc;
}

// ---- payload blocks ----

// A block holds its size, room for a header, then the payload. Large blocks are kept when freed and
// handed out again for payloads of about their size: fresh memory costs a page fault a page, which a
// server relaying megabytes while a client that is behind holds the last ones would pay on every
// message. They are mapped whole pages of their own, so one not kept goes back to the system at once:
// the allocator's heaps would hold on to the memory of freed megabytes, and the process would stay as
// large as the most they ever held.
namespace {

const size_t kBlockHead = sizeof(Uint32) + kNetHeaderBytes;
const size_t kKeptFrom = 64 << 10;    // blocks this large are mapped and kept...
const size_t kKeptBytes = 64u << 20;  // ...this much at most: what one client that is behind may hold
const size_t kPage = 4096;

unsigned char* MapBlock(size_t bytes) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : static_cast<unsigned char*>(block);
}

struct KeptBlocks {
  std::mutex lock;
  std::multimap<size_t, unsigned char*> bySize;
  size_t bytes = 0;
};
KeptBlocks& Kept() {
  static KeptBlocks* kept = new KeptBlocks();   // never destroyed: other threads may free payloads at exit
  return *kept;
}

// Lets the largest kept block go; returns its size. The caller holds the lock.
size_t ReleaseLargest(KeptBlocks& kept) {
  auto largest = std::prev(kept.bySize.end());
  size_t bytes = largest->first;
  kept.bytes -= bytes;
  munmap(largest->second, bytes);
  kept.bySize.erase(largest);
  return bytes;
}

// A kept block of `bytes` to a fifth more, or NULL; `bytes` becomes its size. When none fits, kept
// blocks as large make room for the new one, so what is kept never adds to what the payloads took at
// their most.
unsigned char* TakeKept(size_t& bytes) {
  KeptBlocks& kept = Kept();
  std::lock_guard<std::mutex> guard(kept.lock);
  auto fit = kept.bySize.lower_bound(bytes);
  if (fit != kept.bySize.end() && fit->first - bytes <= bytes / 5) {
    unsigned char* block = fit->second;
    bytes = fit->first;
    kept.bytes -= bytes;
    kept.bySize.erase(fit);
    return block;
  }
  for (size_t freed = 0; freed < bytes && !kept.bySize.empty();) freed += ReleaseLargest(kept);
  return nullptr;
}

}  // namespace

char* NetAllocPayload(Uint32 size) {
  size_t bytes = kBlockHead + size;
  unsigned char* block;
  if (bytes >= kKeptFrom) {
    bytes = (bytes + kPage - 1) / kPage * kPage;
    block = TakeKept(bytes);
    if (!block) block = MapBlock(bytes);
  } else {
    block = new (std::nothrow) unsigned char[bytes];
  }
  if (!block) return nullptr;
  Uint32 stored = (Uint32)bytes;
  memcpy(block, &stored, sizeof stored);
  return reinterpret_cast<char*>(block + kBlockHead);
}

void NetFreePayload(char* data) {
  if (!data) return;
  unsigned char* block = reinterpret_cast<unsigned char*>(data) - kBlockHead;
  Uint32 bytes;
  memcpy(&bytes, block, sizeof bytes);
  if (bytes < kKeptFrom) {
    delete[] block;
    return;
  }
  {
    KeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    if (kept.bytes + bytes <= kKeptBytes) {
      kept.bySize.emplace(bytes, block);
      kept.bytes += bytes;
      return;
    }
  }
  munmap(block, bytes);
}

void NetTrimKeptPayloads(size_t bytes) {
  KeptBlocks& kept = Kept();
  std::lock_guard<std::mutex> guard(kept.lock);
  while (kept.bytes > bytes) ReleaseLargest(kept);
}

// ---- reader ----

size_t NetReader::Wanted() const {
  switch (phase_) {
    case kHeader: return kNetHeaderBytes - got_;
    case kPayload: return header_.Size - got_;
    default: return 0;
  }
}

unsigned char* NetReader::Space() {
  if (phase_ == kHeader) return raw_ + got_;
  if (phase_ == kPayload) return reinterpret_cast<unsigned char*>(Payload()) + got_;
  return nullptr;
}

NetReader::Status NetReader::Advance(size_t count) {
  if (phase_ == kDone) return errors_ ? kFailed : kComplete;
  if (count > Wanted()) count = Wanted();
  got_ += count;
  if (Wanted() != 0) return kNeedMore;
  if (phase_ == kHeader) {
    NetScramble(raw_, kNetHeaderBytes);
    header_ = NetReadHeader(raw_);
    // got_ keeps the 12 header bytes until a payload phase starts: the error line reports them.
    if (loginOnly_ && (header_.Type != kNetSystem || header_.Cmd != kNetLogin || header_.Size < 1 ||
                       header_.Size > kNetNameBytes)) {
      // Besides the refusal, the flags a full read would have raised: the size, or the token of a
      // user message on a connection that has none yet.
      int flags = kNetErrNotLogin;
      if (header_.Size > kNetPayloadLimit)
        flags |= kNetErrSize;
      else if (header_.Type != kNetSystem)
        flags |= kNetErrToken;
      return Failed(flags);
    }
    if (header_.Size > kNetPayloadLimit) return Failed(kNetErrSize);
    if (header_.Size == 0) return Finish();
    got_ = 0;
    char* payload = NetAllocPayload(header_.Size);
    if (!payload) return Failed(kNetErrPayload);
    payload_.reset(payload);
    phase_ = kPayload;
    return kNeedMore;
  }
  if (!keepScrambled_) NetScramble(reinterpret_cast<unsigned char*>(Payload()), header_.Size);
  return Finish();
}

NetReader::Status NetReader::Finish() {
  readInFull_ = true;
  phase_ = kDone;
  if (header_.Type != kNetSystem) {
    // The check value first; the token is drawn even when it failed, so both sides stay in step.
    Uint32 payloadCRC = keepScrambled_ ? NetScrambledPayloadCRC(Payload(), header_.Size)
                                       : NetPayloadCRC(Payload(), header_.Size);
    if (NetHeaderCRC(header_) + payloadCRC != header_.Check) errors_ |= kNetErrCheck;
    if (!tokens_ || NetNextToken(*tokens_) != (Uint16)header_.Aux) errors_ |= kNetErrToken;
  }
  return errors_ ? kFailed : kComplete;
}

NetReader::Status NetReader::Fail() {
  if (phase_ == kDone) return errors_ ? kFailed : kComplete;
  if (phase_ == kPayload) payload_.reset();
  return Failed(phase_ == kHeader ? kNetErrHeader : kNetErrPayload);
}

DataNet NetReader::Take() {
  DataNet message = header_;
  message.Data = phase_ == kDone && !errors_ ? payload_.release() : nullptr;
  Reset();
  return message;
}

void NetReader::Reset() {
  phase_ = kHeader;
  got_ = 0;
  header_ = DataNet();
  payload_.reset();
  errors_ = 0;
  readInFull_ = false;
}

// ---- writer ----

int NetOutgoing::Prepare(Uint8 type, Uint8 cmd, Sint16 aux, const char* data, Uint32 size) {
  header_ = DataNet();
  header_.Type = type;
  header_.Cmd = cmd;
  header_.Aux = aux;
  block_.reset();
  if (size > kNetPayloadLimit) return kNetErrSize;
  if (!data) size = 0;
  char* payload = NetAllocPayload(size);
  if (!payload) return kNetErrPayload;
  header_.Size = size;
  block_ = std::make_shared<NetPayloadBlock>(payload);
  if (size)
    NetScrambleCopy(reinterpret_cast<unsigned char*>(payload), reinterpret_cast<const unsigned char*>(data), size);
  payloadCRC_ = type != kNetSystem ? NetPayloadCRC(data, size) : 0;
  return 0;
}

bool NetOutgoing::Adopt(DataNet& message, bool mayHaveChanged, bool scrambled) {
  header_ = message;
  header_.Data = nullptr;
  // The check value held the header's CRC plus the payload's; what remains is the payload's.
  payloadCRC_ = mayHaveChanged ? NetPayloadCRC(message.Data, message.Size) : message.Check - NetHeaderCRC(message);
  char* payload = message.Data ? message.Data : NetAllocPayload(0);
  message.Data = nullptr;
  block_.reset();
  if (!payload) return false;
  block_ = std::make_shared<NetPayloadBlock>(payload);
  if (!scrambled) NetScramble(reinterpret_cast<unsigned char*>(payload), header_.Size);
  return true;
}

DataNet NetOutgoing::StampHeader(Uint8 cmd, NetTokenGenerator* tokens, unsigned char bytes[kNetHeaderBytes]) const {
  DataNet header = header_;
  header.Cmd = cmd;
  header.Check = 0;
  if (header.Type != kNetSystem) {
    header.Aux = tokens ? (Sint16)NetNextToken(*tokens) : 0;
    header.Check = NetHeaderCRC(header) + payloadCRC_;
  }
  NetWriteHeader(header, bytes);
  NetScramble(bytes, kNetHeaderBytes);
  return header;
}

const unsigned char* NetOutgoing::Stamp(Uint8 cmd, NetTokenGenerator* tokens, DataNet* sent) {
  if (!block_) return nullptr;
  DataNet header = StampHeader(cmd, tokens, Wire());
  if (sent) *sent = header;
  return Wire();
}

bool NetOutgoing::Frame(Uint8 cmd, NetTokenGenerator* tokens, NetFrame& frame) {
  if (!block_) return false;
  frame.header = StampHeader(cmd, tokens, frame.wireHeader);
  if (header_.Size)
    frame.payload = block_;
  else
    frame.payload.reset();
  return true;
}

// ---- payloads ----

NetNameStatus NetParseName(const char* data, Uint32 size, char name[kNetNameBytes]) {
  name[0] = 0;
  if (!data || size == 0) return kNetNameEmpty;
  size_t length = strnlen(data, size < kNetNameBytes - 1 ? size : kNetNameBytes - 1);
  memcpy(name, data, length);
  name[length] = 0;
  if (size > kNetNameBytes || data[size - 1] != 0) return kNetNameMalformed;
  return name[0] ? kNetNameOk : kNetNameEmpty;
}

int NetParseClientList(const char* data, Uint32 size, sClientInfo list[kNetMaxClients]) {
  int count = 0;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  for (; data && count < (int)kNetMaxClients && (Uint32)(count + 1) * kNetClientRecordBytes <= size; count++) {
    const unsigned char* record = bytes + count * kNetClientRecordBytes;
    sClientInfo& info = list[count];
    memcpy(info.name, record, kNetNameBytes);
    info.name[kNetNameBytes - 1] = 0;
    info.ip = GetLE32(record + 16);
    info.ping = (Sint32)GetLE32(record + 20);
    info.avgping = (Sint32)GetLE32(record + 24);
  }
  return count;
}

Uint32 NetWriteClientList(const sClientInfo* list, int count, unsigned char* bytes) {
  if (count > (int)kNetMaxClients) count = kNetMaxClients;
  for (int i = 0; i < count; i++) {
    unsigned char* record = bytes + i * kNetClientRecordBytes;
    memset(record, 0, kNetNameBytes);
    memcpy(record, list[i].name, strnlen(list[i].name, kNetNameBytes - 1));
    PutLE32(record + 16, list[i].ip);
    PutLE32(record + 20, (Uint32)list[i].ping);
    PutLE32(record + 24, (Uint32)list[i].avgping);
  }
  return count > 0 ? (Uint32)count * kNetClientRecordBytes : 0;
}
