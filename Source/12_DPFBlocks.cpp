// The blocks of an open archive: the marker scan (FindFirst, FindNext, Search), loading, appending
// (AddData, AddFile) and deleting. Every header read from the file is validated before anything is
// allocated, and every change leaves the header on disk with a CRC that matches the blocks.
#include "11_DPFCache.h"
#include "00_Platform.h"
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <ucl/ucl.h>

using namespace ydxdpf;

namespace {

enum { kBlockInvalid = 3 };                 // a marker whose header does not hold together
constexpr size_t kFirstScanChunk = 1024;    // the next marker is usually within the padding
constexpr size_t kMaxScanChunk = 256 * 1024;

// Finds the first whole block marker at or after `start`, reading through a buffer. A marker cut
// short by the end of the file ends the blocks.
int FindMarker(sStuffDPFPrivate* context, int fd, int64_t start, int64_t fileLength, int64_t* marker) {
  std::vector<uint8_t>& buffer = context->scanBuffer;
  size_t chunk = kFirstScanChunk;
  int64_t position = start;
  while (position + kMarkerSize <= fileLength) {
    size_t want = (size_t)std::min<int64_t>((int64_t)chunk, fileLength - position);
    if (buffer.size() < want) buffer.resize(want);
    int64_t got = ReadAt(fd, position, buffer.data(), want);
    if (got < 0) return kScanError;
    if (got < kMarkerSize) return kScanEnd;   // the file is shorter than it was a moment ago
    const uint8_t* begin = buffer.data();
    const uint8_t* lastStart = begin + got - kMarkerSize;
    for (const uint8_t* at = begin; at <= lastStart; at++) {
      at = static_cast<const uint8_t*>(memchr(at, kBlockMarker[0], (size_t)(lastStart - at) + 1));
      if (!at) break;
      if (memcmp(at, kBlockMarker, kMarkerSize) == 0) {
        *marker = position + (at - begin);
        return kScanFound;
      }
    }
    position += got - (kMarkerSize - 1);   // a marker may straddle the chunks
    chunk = std::min(chunk * 4, kMaxScanChunk);
  }
  return kScanEnd;
}

void FillRecord(const BlockHeader& header, DPF_BlockData* out) {
  memcpy(out->name, header.name, sizeof out->name);
  memcpy(out->type, header.type, sizeof out->type);
  out->mode = header.mode;
  out->size = header.size;
  out->storedsize = header.storedSize;
  out->data = NULL;
}

// Reads, deciphers and validates the block whose marker is at `marker`, and makes it the block last
// found. kScanFound, kBlockInvalid, or the short-header results of a scan.
int ReadBlockAt(sStuffDPFPrivate* context, const Slot& slot, int handle, int64_t marker, int64_t fileLength,
                bool first, DPF_BlockData* out) {
  uint8_t lead[kBlockLead];
  int64_t got = ReadAt(slot.descriptor, marker, lead, kBlockLead);
  if (got < 0) return kScanError;
  if (got < kMarkerSize || memcmp(lead, kBlockMarker, kMarkerSize) != 0) return kBlockInvalid;
  if (got < kBlockLead) {
    if (first)
      ILogSystem.Msg(0, " . [IStuffDPF->FindFirst(%d)] Error: the first block was unsuccessfully loaded.\n", handle);
    else
      ILogSystem.Msg(0, " . [IStuffDPF->FindNext(%d)] Error: the next block was unsuccessfully loaded.\n", handle);
    return got == kMarkerSize ? kScanEnd : kScanError;
  }
  uint8_t* raw = lead + kMarkerSize;
  memcpy(context->blockHeaderRaw, raw, kBlockHeaderSize);
  if (slot.isProtected) context->archiveCipher.DecipherUnits(raw, kBlockHeaderSize / 8);
  BlockHeader header;
  if (!DecodeBlockHeader(raw, fileLength - (marker + kBlockLead), &header)) return kBlockInvalid;
  memcpy(context->blockHeader, raw, kBlockHeaderSize);
  FillRecord(header, out);
  context->scanPosition = marker + kBlockLead;
  context->lastStoredSize = header.storedSize;
  return kScanFound;
}

// Scans forward from `start` to the next valid block. Low-level access on a plain archive looks past a
// damaged header for the blocks behind it; otherwise a damaged header ends the scan with an error.
int ScanFrom(sStuffDPFPrivate* context, const Slot& slot, int handle, int64_t start, bool first,
             DPF_BlockData* out) {
  int64_t fileLength = SlotLength(slot);
  if (fileLength < 0) return kScanError;
  for (;;) {
    int64_t marker = 0;
    int result = FindMarker(context, slot.descriptor, start, fileLength, &marker);
    if (result != kScanFound) return result;
    result = ReadBlockAt(context, slot, handle, marker, fileLength, first, out);
    if (result != kBlockInvalid) return result;
    if (context->accessMode && !slot.isProtected) {
      start = marker + 1;
      continue;
    }
    if (slot.isProtected)
      ILogSystem.Msg(0, " . [IStuffDPF->Find(%d)] Error: the block header at offset %lld is not valid: the "
                     "password is wrong or the DPF is damaged.\n", handle, (long long)marker);
    else
      ILogSystem.Msg(0, " . [IStuffDPF->Find(%d)] Error: the DPF is damaged: the block header at offset %lld "
                     "is not valid.\n", handle, (long long)marker);
    return kScanError;
  }
}

int Find(sStuffDPFPrivate* context, int handle, DPF_BlockData* out, bool first) {
  Slot* slot = SlotOf(context, handle);
  if (!slot) return kScanError;
  if (slot->isProtected && !context->passwordLength) {
    ILogSystem.Msg(0, " . [IStuffDPF->Find(%d)] Error: the given DPF is protected and the key was not set.\n",
                   handle);
    return kScanEnd;
  }
  DPF_BlockData scratch;
  if (!out) out = &scratch;
  memset(context->blockHeader, 0, sizeof context->blockHeader);
  int64_t start;
  if (first) {
    context->scanPosition = 0;
    start = kBlocksOffset;
  } else {
    // Normal access jumps over the data; low-level access reads it for markers inside.
    start = context->accessMode ? context->scanPosition : context->scanPosition + context->lastStoredSize;
  }
  return ScanFrom(context, *slot, handle, std::max<int64_t>(start, kBlocksOffset), first, out);
}

void BuildIndex(sStuffDPFPrivate* context, Slot& slot, int handle) {
  slot.index.Clear();
  DPF_BlockData found;
  int result = Find(context, handle, &found, true);
  while (result == kScanFound) {
    slot.index.first.emplace(IndexKey(found.name, found.type), context->scanPosition - kBlockLead);
    result = Find(context, handle, &found, false);
  }
  slot.index.built = true;
  slot.index.endResult = result;
}

// Search through the slot's block index (normal access only). -1 when the index cannot answer and a
// plain scan must.
int IndexedSearch(sStuffDPFPrivate* context, Slot& slot, int handle, DPF_BlockData* block) {
  if (!slot.index.built) BuildIndex(context, slot, handle);
  auto entry = slot.index.first.find(IndexKey(block->name, block->type));
  if (entry == slot.index.first.end()) return slot.index.endResult == kScanEnd ? kScanEnd : -1;
  DPF_BlockData found;
  int64_t fileLength = SlotLength(slot);
  int result = ReadBlockAt(context, slot, handle, entry->second, fileLength, true, &found);
  if (result == kScanFound && strcmp(found.name, block->name) == 0 && strcmp(found.type, block->type) == 0) {
    *block = found;
    return kScanFound;
  }
  slot.index.Clear();
  return -1;
}

bool NamesFit(const char* name, const char* type) {
  return FitsField(name, kNameField) && FitsField(type, kTypeField);
}

// Turns the bytes read for a block into its original data; NULL (with the stored bytes released) when
// they do not decode to exactly the original size.
char* DecodeData(const DPF_BlockData& block, char* stored, int64_t padded) {
  if (block.mode == 2) {
    char* data = stored;
    if (padded != block.storedsize) {
      data = new (std::nothrow) char[std::max(block.storedsize, 1)];
      if (data) memcpy(data, stored, (size_t)block.storedsize);
      delete[] stored;
    }
    for (int i = 0; data && i < block.storedsize; i++) data[i] ^= (char)kMaskByte;
    return data;
  }
  if (block.mode != 0) return stored;
  char* data = new (std::nothrow) char[std::max(block.size, 1)];
  ucl_uint decoded = (ucl_uint)block.size;
  int result = data ? ucl_nrv2b_decompress_safe_8(reinterpret_cast<const ucl_bytep>(stored), (ucl_uint)block.storedsize,
                                                   reinterpret_cast<ucl_bytep>(data), &decoded, NULL)
                    : UCL_E_OUT_OF_MEMORY;
  delete[] stored;
  if (result != UCL_E_OK || decoded != (ucl_uint)block.size) {
    delete[] data;
    return NULL;
  }
  return data;
}

}  // namespace

int Yandorix_IStuffDPF::FindFirst(int handle, DPF_BlockData* out) { return Find(p, handle, out, true); }
int Yandorix_IStuffDPF::FindNext(int handle, DPF_BlockData* out) { return Find(p, handle, out, false); }

int Yandorix_IStuffDPF::Search(int handle, DPF_BlockData* block) {
  if (!block) return kScanError;
  if (!NamesFit(block->name, block->type)) {
    ILogSystem.Msg(0, " . [IStuffDPF->Search(%d)] Error: name or type are too long. Maximum chars for name is 32 "
                   "and 8 for type.\n", handle);
    return kScanEnd;
  }
  Slot* slot = SlotOf(p, handle);
  if (slot && !p->accessMode && !(slot->isProtected && !p->passwordLength)) {
    int result = IndexedSearch(p, *slot, handle, block);
    if (result >= 0) return result;
  }
  DPF_BlockData found;
  int result = FindFirst(handle, &found);
  while (result == kScanFound) {
    if (strcmp(found.name, block->name) == 0 && strcmp(found.type, block->type) == 0) {
      *block = found;
      return kScanFound;
    }
    result = FindNext(handle, &found);
  }
  return result;
}

int Yandorix_IStuffDPF::LoadBlock(int handle, const char* type, const char* name, DPF_BlockData* out) {
  if (!out) return 0;
  memset(out, 0, sizeof *out);
  Slot* slot = SlotOf(p, handle);
  if (!slot) return 0;
  const char* path = slot->path.c_str();
  if (!NamesFit(name, type)) {
    ILogSystem.Msg(0, " . [IStuffDPF->LoadBlock('%s','%s','%s')] Error: name or type are too long. Maximum chars "
                   "for name is 32 and 8 for type.\n", path, Shown(type), Shown(name));
    return 0;
  }
  if (slot->isProtected && !p->passwordLength) {
    ILogSystem.Msg(0, " . [IStuffDPF->LoadBlock('%s','%s','%s')] Error: the given DPF is protected and the key "
                   "was not set.\n", path, type, name);
    return 0;
  }
  strcpy(out->type, type);
  strcpy(out->name, name);
  if (Search(handle, out) != kScanFound) {
    ILogSystem.Msg(2, " . [IStuffDPF->LoadBlock('%s','%s','%s')] Warning: datablock was not found in the given "
                   "DPF.\n", path, type, name);
    return 0;
  }
  int64_t padded = PaddedSize(out->storedsize);
  char* stored = new (std::nothrow) char[std::max<int64_t>(padded, 1)];
  if (!stored || ReadAt(slot->descriptor, p->scanPosition, stored, (size_t)padded) != padded) {
    delete[] stored;
    ILogSystem.Msg(0, " . [IStuffDPF->LoadBlock('%s','%s','%s')] Error: datablock was not loaded successfully.\n",
                   path, type, name);
    return 0;
  }
  if (slot->isProtected) p->archiveCipher.DecipherUnits(reinterpret_cast<uint8_t*>(stored), (size_t)padded / 8);
  char* data = DecodeData(*out, stored, padded);
  if (!data) {
    ILogSystem.Msg(0, " . [IStuffDPF->LoadBlock('%s','%s','%s')] Error: UCL failed to decompress the data "
                   "block.\n", path, type, name);
    return 0;
  }
  out->data = data;
  return out->size;
}

int Yandorix_IStuffDPF::FreeBlock(DPF_BlockData* block) {
  if (block && block->data) {
    delete[] block->data;
    block->data = NULL;
  }
  return 1;
}

// ---- appending ----

namespace {

// The whole block as it goes to the file: marker, header and padded data, enciphered when protected.
// Empty on failure (after logging why).
std::unique_ptr<uint8_t[]> ComposeBlock(sStuffDPFPrivate* context, const Slot& slot, int handle,
                                        DPF_BlockData* block, int64_t* total, int32_t* storedSize) {
  int64_t size = block->size;
  int64_t capacity = block->mode == 0 ? size + size / 8 + 256 : size;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[(size_t)(kBlockLead + PaddedSize(capacity))]());
  if (!bytes) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: there is not enough memory for the block.\n", handle,
                   block->name);
    return NULL;
  }
  uint8_t* data = bytes.get() + kBlockLead;
  static const uint8_t kNothing = 0;
  const uint8_t* source = size ? reinterpret_cast<const uint8_t*>(block->data) : &kNothing;
  int64_t stored = size;
  if (block->mode == 0) {
    ucl_uint compressed = (ucl_uint)capacity;
    if (ucl_nrv2b_99_compress(source, (ucl_uint)size, data, &compressed, NULL, 6, NULL, NULL) != UCL_E_OK) {
      ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: UCL failed to compress the data block.\n", handle,
                     block->name);
      return NULL;
    }
    stored = (int64_t)compressed;
    if (stored > INT_MAX) {
      ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: the compressed block is too large.\n", handle,
                     block->name);
      return NULL;
    }
  } else {
    if (block->mode != 1) block->mode = 2;
    memcpy(data, source, (size_t)size);
    if (block->mode == 2)
      for (int64_t i = 0; i < size; i++) data[i] ^= kMaskByte;
  }
  BlockHeader header;
  CopyField(header.name, kNameField, block->name);
  CopyField(header.type, kTypeField, block->type);
  header.mode = block->mode;
  header.size = block->size;
  header.storedSize = (int32_t)stored;
  memcpy(bytes.get(), kBlockMarker, kMarkerSize);
  EncodeBlockHeader(header, bytes.get() + kMarkerSize);
  if (slot.isProtected)
    context->archiveCipher.EncipherUnits(bytes.get() + kMarkerSize, (size_t)(kBlockHeaderSize + PaddedSize(stored)) / 8);
  *total = kBlockLead + PaddedSize(stored);
  *storedSize = (int32_t)stored;
  return bytes;
}

// Appends a composed block and brings the header's CRC up to date; on any failure the file is cut
// back to its previous length and its header left as it was. The header's CRC is what commits the
// block: the block is on disk before the header that covers it is written, so a crash or a power cut
// at any moment leaves either the old archive with an uncommitted tail (cut off at the next Open) or
// the new one.
bool AppendBlock(sStuffDPFPrivate* context, Slot& slot, const uint8_t* bytes, int64_t total, int64_t* offset) {
  int64_t end = ydxplat::FileLength(slot.descriptor);
  if (end < kBlocksOffset) return false;
  uint32_t previousCRC = slot.crc;
  bool blockWritten = WriteAt(slot.descriptor, end, bytes, (size_t)total);
  if (blockWritten && ydxplat::CommitData(slot.descriptor) == 0) {
    slot.crc = ExtendCRC(previousCRC, bytes, (size_t)total);
    if (WriteHeaderBack(context, slot, false)) {
      *offset = end;
      slot.fileSize = end + total;
      return true;
    }
  }
  int savedErrno = errno;
  slot.crc = previousCRC;
  bool restored = ydxplat::Truncate(slot.descriptor, end) == 0 && (!blockWritten || WriteHeaderBack(context, slot, false));
  if (!restored)
    ILogSystem.Msg(0, " . [IStuffDPF->AddData()] Error: '%s' could not be restored after a failed write: %s\n",
                   slot.path.c_str(), strerror(errno ? errno : EIO));
  errno = savedErrno;
  return false;
}

// The checks every change of an archive makes first; the slot, or NULL after logging why not.
Slot* WritableSlot(sStuffDPFPrivate* context, int handle, const char* operation, const char* name) {
  Slot* slot = SlotOf(context, handle);
  if (!slot) return NULL;
  if (slot->readOnly) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s(%d,'%s')] Error: the DPF was opened in read only mode.\n", operation,
                   handle, name);
    return NULL;
  }
  if (slot->isProtected && !context->passwordLength) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s(%d,'%s')] Error: the given DPF is protected and the key was not set.\n",
                   operation, handle, name);
    return NULL;
  }
  return slot;
}

}  // namespace

namespace {

// The checks of every append; the slot, or NULL after logging why not.
Slot* SlotForAppend(sStuffDPFPrivate* context, int handle, DPF_BlockData* block) {
  if (!block) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: no block was given.\n", handle, "(null)");
    return NULL;
  }
  if (!NamesFit(block->name, block->type)) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%.31s')] Error: name or type are too long. Maximum chars for "
                   "name is 32 and 8 for type.\n", handle, block->name);
    return NULL;
  }
  Slot* slot = WritableSlot(context, handle, "AddData", block->name);
  if (slot && (block->size < 0 || (!block->data && block->size > 0))) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: the block has a negative size or no data.\n",
                   handle, block->name);
    return NULL;
  }
  return slot;
}

// Composes and appends the block; its stored size (with its marker's offset), or 0 after logging why.
int AppendNewBlock(sStuffDPFPrivate* context, Slot& slot, int handle, DPF_BlockData* block, int64_t* offset) {
  int64_t total = 0;
  int32_t storedSize = 0;
  std::unique_ptr<uint8_t[]> bytes = ComposeBlock(context, slot, handle, block, &total, &storedSize);
  if (!bytes) return 0;
  if (!AppendBlock(context, slot, bytes.get(), total, offset)) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: the block could not be written: %s\n", handle,
                   block->name, strerror(errno ? errno : EIO));
    slot.index.Clear();
    return 0;
  }
  slot.modified = 1;
  if (slot.index.built) slot.index.first.emplace(IndexKey(block->name, block->type), *offset);
  return storedSize;
}

}  // namespace

int Yandorix_IStuffDPF::AddData(int handle, DPF_BlockData* block) {
  Slot* slot = SlotForAppend(p, handle, block);
  if (!slot) return 0;
  int found = Search(handle, block);
  if (found == kScanFound) {
    ILogSystem.Msg(5, " . [IStuffDPF->AddData(%d,'%s')] Info: block already exists.\n", handle, block->name);
    return -1;
  }
  if (found != kScanEnd) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: it was not possible to access to the DPF.\n",
                   handle, block->name);
    return 0;
  }
  int64_t offset = 0;
  return AppendNewBlock(p, *slot, handle, block, &offset);
}

int Yandorix_IStuffDPF::AddFile(int handle, const char* path) {
  int fd = ydxplat::Open(path, ydxplat::kRead);
  if (fd < 0) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddFile(%d,'%s')] Error: %s\n", handle, Shown(path), strerror(errno));
    return 0;
  }
  int64_t length = ydxplat::FileLength(fd);
  std::unique_ptr<char[]> bytes(length >= 0 && length <= INT_MAX - 4 ? new (std::nothrow) char[length + 4]() : NULL);
  bool read = bytes && ydxplat::Read(fd, bytes.get(), (size_t)length) == length;
  ydxplat::Close(fd);
  if (!read) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddFile(%d,'%s')] Error: the file could not be read.\n", handle, path);
    return 0;
  }
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  if (!CopyField(block.name, sizeof block.name, path)) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: name or type are too long. Maximum chars for name "
                   "is 32 and 8 for type.\n", handle, path);
    return 0;
  }
  strcpy(block.type, "FILE");
  block.mode = 0;
  block.size = (int)length;
  block.data = bytes.get();
  return AddData(handle, &block);
}

// ---- deleting ----

namespace {

// Rewrites the header of the block last found in place, with a '?' name and the type "DELETED" (marker
// and data stay). The archive header with the CRC of the result goes out first and reaches the disk
// before the block's header is touched: a crash in between leaves a state the next Open recognises
// and completes. On failure the old bytes are put back.
bool MarkFoundBlockDeleted(sStuffDPFPrivate* context, Slot& slot) {
  int64_t headerOffset = context->scanPosition - kBlockHeaderSize;
  uint8_t plain[kBlockHeaderSize], raw[kBlockHeaderSize];
  memcpy(plain, context->blockHeader, sizeof plain);
  memcpy(plain + kNameField, kDeletedType, kTypeField);
  plain[0] = '?';
  memcpy(raw, plain, sizeof raw);
  if (slot.isProtected) context->archiveCipher.EncipherUnits(raw, kBlockHeaderSize / 8);
  int64_t bytesBehind = ydxplat::FileLength(slot.descriptor) - headerOffset - kBlockHeaderSize;
  uint32_t previousCRC = slot.crc;
  slot.index.Clear();
  slot.crc = PatchCRC(previousCRC, context->blockHeaderRaw, raw, sizeof raw, bytesBehind);
  bool committed = WriteHeaderBack(context, slot, false) && ydxplat::CommitData(slot.descriptor) == 0;
  if (committed && WriteAt(slot.descriptor, headerOffset, raw, sizeof raw)) {
    memcpy(context->blockHeader, plain, sizeof plain);
    memcpy(context->blockHeaderRaw, raw, sizeof raw);
    return true;
  }
  int savedErrno = errno;
  slot.crc = previousCRC;
  // A failed write may still have changed some bytes: put the old ones back.
  if (!WriteAt(slot.descriptor, headerOffset, context->blockHeaderRaw, kBlockHeaderSize) ||
      !WriteHeaderBack(context, slot, false))
    ILogSystem.Msg(0, " . [IStuffDPF->Delete()] Error: '%s' could not be restored after a failed write.\n",
                   slot.path.c_str());
  errno = savedErrno;
  return false;
}

}  // namespace

int Yandorix_IStuffDPF::Delete(int handle, DPF_BlockData* block) {
  if (!block) return 0;
  if (!NamesFit(block->name, block->type)) {
    ILogSystem.Msg(0, " . [IStuffDPF->Delete(%d)] Error: name or type are too long. Maximum chars for name is 32 "
                   "and 8 for type.\n", handle);
    return 0;
  }
  Slot* slot = SlotOf(p, handle);
  if (slot && !WritableSlot(p, handle, "Delete", block->name)) return 0;
  DPF_BlockData kept = *block;
  if (Search(handle, block) != kScanFound) {
    ILogSystem.Msg(2, " . [IStuffDPF->Delete(%d)] Warning: datablock was not found in the given DPF.\n", handle);
    return 0;
  }
  block->data = kept.data;
  block->size = kept.size;
  block->storedsize = kept.storedsize;
  block->mode = kept.mode;
  if (!MarkFoundBlockDeleted(p, *slot)) {
    ILogSystem.Msg(0, " . [IStuffDPF->Delete(%d)] Error: the block header could not be written: %s\n", handle,
                   strerror(errno ? errno : EIO));
    return 0;
  }
  slot->modified = 1;
  return 1;
}

void Yandorix_IStuffDPF::SetAccessMode(char mode) {
  if (mode <= 0) {
    p->accessMode = 0;
    ILogSystem.Msg(5, " . [IStuffDPF->SetAccessMode()] Info: normal access to data blocks in DPF was selected.\n");
  } else {
    p->accessMode = 1;
    ILogSystem.Msg(5, " . [IStuffDPF->SetAccessMode()] Info: lowlevel access to data blocks in DPF was selected.\n");
  }
}

namespace ydxdpf {

int ReplaceBlock(Yandorix_IStuffDPF& service, int handle, DPF_BlockData* block) {
  sStuffDPFPrivate* context = Yandorix_StuffDPFAccess::Of(service);
  Slot* slot = SlotForAppend(context, handle, block);
  if (!slot) return 0;
  // Every live block of this name and type, in file order. Only block starts count (normal access):
  // a marker inside some block's data is no block to delete.
  std::vector<int64_t> previous;
  uint8_t mode = context->accessMode;
  context->accessMode = 0;
  DPF_BlockData found;
  int result = Find(context, handle, &found, true);
  for (; result == kScanFound; result = Find(context, handle, &found, false))
    if (strcmp(found.name, block->name) == 0 && strcmp(found.type, block->type) == 0)
      previous.push_back(context->scanPosition - kBlockLead);
  context->accessMode = mode;
  if (result != kScanEnd) {
    ILogSystem.Msg(0, " . [IStuffDPF->AddData(%d,'%s')] Error: it was not possible to access to the DPF.\n",
                   handle, block->name);
    return 0;
  }
  int64_t offset = 0;
  int stored = AppendNewBlock(context, *slot, handle, block, &offset);
  if (stored <= 0) return 0;
  int64_t fileLength = SlotLength(*slot);
  for (auto at = previous.rbegin(); at != previous.rend(); ++at) {
    if (ReadBlockAt(context, *slot, handle, *at, fileLength, true, &found) == kScanFound &&
        MarkFoundBlockDeleted(context, *slot))
      continue;
    ILogSystem.Msg(0, " . [IStuffDPF->Delete(%d)] Error: the block header could not be written: %s\n", handle,
                   strerror(errno ? errno : EIO));
    return 0;
  }
  return stored;
}

}  // namespace ydxdpf
