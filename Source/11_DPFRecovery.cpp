// Archives a crash left in the middle of a change: the stored CRC says which state was committed, one
// pass over the blocks finds that state, and the file (or, read only, the view of it) goes back to it,
// so a killed program or a power cut costs at most the change that was under way.
#include "11_DPFCache.h"
#include "00_Platform.h"
#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace ydxdpf;

namespace {

constexpr size_t kSurveyChunk = 1 << 20;

// What one pass over the blocks region tells.
struct Survey {
  uint32_t wholeCRC = 0;          // of the file from offset 520 to its end
  int64_t committedEnd = -1;      // the last place an append may have begun where the CRC is the stored one
  std::vector<int64_t> markers;   // whole block markers, in file order
};

// Appends begin with a block marker at the old end of the file, so every marker, and a marker cut
// short at the very end, is a place where the committed archive may end. The CRC up to each of them is
// compared with the stored one while the CRC of the whole file is computed.
bool SurveyBlocks(int fd, int64_t length, uint32_t stored, Survey* out) {
  std::vector<uint8_t> buffer(kSurveyChunk + kMarkerSize);
  int64_t bufferStart = kBlocksOffset, next = kBlocksOffset, crcAt = kBlocksOffset;
  size_t kept = 0;
  uint32_t crc = 0;
  auto crcUpTo = [&](int64_t position) {
    crc = ExtendCRC(crc, buffer.data() + (crcAt - bufferStart), (size_t)(position - crcAt));
    crcAt = position;
    if (crc == stored) out->committedEnd = position;
  };
  while (next < length) {
    size_t want = (size_t)std::min<int64_t>((int64_t)kSurveyChunk, length - next);
    if (ReadAt(fd, next, buffer.data() + kept, want) != (int64_t)want) return false;
    next += (int64_t)want;
    size_t have = kept + want;
    for (size_t i = 0; i + kMarkerSize <= have; i++) {
      const void* at = memchr(buffer.data() + i, kBlockMarker[0], have - kMarkerSize + 1 - i);
      if (!at) break;
      i = (size_t)(static_cast<const uint8_t*>(at) - buffer.data());
      if (memcmp(at, kBlockMarker, kMarkerSize) != 0) continue;
      out->markers.push_back(bufferStart + (int64_t)i);
      crcUpTo(bufferStart + (int64_t)i);
    }
    if (next == length) {
      // A marker cut short by the end of the file: the append stopped inside its first bytes.
      for (size_t cut = std::min<size_t>(have, kMarkerSize - 1); cut > 0; cut--)
        if (memcmp(buffer.data() + have - cut, kBlockMarker, cut) == 0) crcUpTo(length - (int64_t)cut);
      crc = ExtendCRC(crc, buffer.data() + (crcAt - bufferStart), (size_t)(length - crcAt));
      break;
    }
    // The last bytes may start a marker that the next chunk completes.
    size_t carry = std::min<size_t>(have, kMarkerSize - 1);
    crc = ExtendCRC(crc, buffer.data() + (crcAt - bufferStart), (size_t)(bufferStart + (int64_t)(have - carry) - crcAt));
    memmove(buffer.data(), buffer.data() + have - carry, carry);
    bufferStart += (int64_t)(have - carry);
    crcAt = bufferStart;
    kept = carry;
  }
  out->wholeCRC = crc;
  return true;
}

// A deletion writes the header (with the CRC of the archive after it) before the block's own header,
// so a crash between the two leaves a live block whose deleted form is what the CRC covers.
struct UnfinishedDelete {
  int64_t headerOffset = 0;
  uint8_t deletedRaw[kBlockHeaderSize];
  char name[kNameField];
};

bool FindUnfinishedDelete(sStuffDPFPrivate* context, int fd, int64_t length, bool isProtected, uint32_t stored,
                          const Survey& survey, UnfinishedDelete* out) {
  if (isProtected && !context->passwordLength) return false;
  for (int64_t marker : survey.markers) {
    int64_t headerOffset = marker + kMarkerSize, behind = length - headerOffset - kBlockHeaderSize;
    if (behind < 0) continue;
    uint8_t raw[kBlockHeaderSize], plain[kBlockHeaderSize];
    if (ReadAt(fd, headerOffset, raw, sizeof raw) != (int64_t)sizeof raw) return false;
    memcpy(plain, raw, sizeof plain);
    if (isProtected) context->archiveCipher.DecipherUnits(plain, kBlockHeaderSize / 8);
    BlockHeader header;
    if (!DecodeBlockHeader(plain, behind, &header) || memcmp(header.type, kDeletedType, kTypeField) == 0) continue;
    memcpy(out->name, header.name, sizeof out->name);
    memcpy(plain + kNameField, kDeletedType, kTypeField);
    plain[0] = '?';
    memcpy(out->deletedRaw, plain, sizeof plain);
    if (isProtected) context->archiveCipher.EncipherUnits(out->deletedRaw, kBlockHeaderSize / 8);
    if (PatchCRC(survey.wholeCRC, raw, out->deletedRaw, kBlockHeaderSize, behind) == stored) {
      out->headerOffset = headerOffset;
      return true;
    }
  }
  return false;
}

bool Repaired(int fd, const char* path, bool done) {
  if (done && ydxplat::CommitData(fd) == 0) return true;
  ILogSystem.Msg(0, " . [IStuffDPF->Open('%s')] Error: the interrupted change could not be undone: %s\n", path,
                 strerror(errno ? errno : EIO));
  return false;
}

}  // namespace

namespace ydxdpf {

int64_t SlotLength(const Slot& slot) {
  int64_t length = ydxplat::FileLength(slot.descriptor);
  return slot.committedEnd >= 0 && length > slot.committedEnd ? slot.committedEnd : length;
}

bool RecoverArchive(sStuffDPFPrivate* context, int fd, const char* path, bool readOnly, RecoveredView* view) {
  const char* corrupted = " . [IStuffDPF->Open('%s')] Error: the given DPF is corrupted.\n";
  uint32_t stored = context->header.crc;
  bool isProtected = context->header.protectedFlag != 0;
  int64_t length = ydxplat::FileLength(fd);
  Survey survey;
  if (length < kBlocksOffset || !SurveyBlocks(fd, length, stored, &survey)) {
    ILogSystem.Msg(0, corrupted, path);
    return false;
  }
  *view = RecoveredView();
  view->repairPending = readOnly;
  if (survey.committedEnd >= 0) {
    long long tail = (long long)(length - survey.committedEnd);
    if (readOnly) {
      ILogSystem.Msg(2, " . [IStuffDPF->Open('%s')] Warning: the last %lld bytes were left by an interrupted write "
                     "and are not part of the DPF; they are ignored (read only).\n", path, tail);
      view->committedEnd = survey.committedEnd;
      return true;
    }
    ILogSystem.Msg(2, " . [IStuffDPF->Open('%s')] Warning: the last %lld bytes were left by an interrupted write "
                   "and are not part of the DPF; they were cut off.\n", path, tail);
    return Repaired(fd, path, ydxplat::Truncate(fd, survey.committedEnd) == 0);
  }
  UnfinishedDelete deletion;
  if (FindUnfinishedDelete(context, fd, length, isProtected, stored, survey, &deletion)) {
    if (readOnly) {
      ILogSystem.Msg(2, " . [IStuffDPF->Open('%s')] Warning: the deletion of block '%s' was interrupted; it stays "
                     "until the DPF is opened for writing.\n", path, deletion.name);
      return true;
    }
    ILogSystem.Msg(2, " . [IStuffDPF->Open('%s')] Warning: the deletion of block '%s' was interrupted; it was "
                   "completed.\n", path, deletion.name);
    return Repaired(fd, path, WriteAt(fd, deletion.headerOffset, deletion.deletedRaw, kBlockHeaderSize));
  }
  ILogSystem.Msg(0, corrupted, path);
  if (isProtected && !context->passwordLength)
    ILogSystem.Msg(0, " . [IStuffDPF->Open('%s')] Info: the DPF is protected and no password is set, so an "
                   "interrupted deletion could not be looked for.\n", path);
  return false;
}

}  // namespace ydxdpf
